#include "app/game/TRiffImageObj.h"

#include "app/dialogs/TBusyFrm.h"
#include "app/game/TKorvaneEnv.h"
#include "config/TDVContext.h"
#include "platform/system/Exception.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/drawing/TBitmap.h"
#include "platform/ui/TImage.h"
#include "platform/drawing/TPicture.h"
#include "platform/system/TStringList.h"
#include "platform/ui/WindowMessages.h"
#include "sprite/PicUtils.h"
#include "sprite/TAScene.h"
#include "sprite/TASprite.h"
#include "sprite/TASpriteLibrary.h"

#include <QProgressBar>

#include <algorithm>
#include <new>

TRiffImageObj::TRiffImageObj(TGameEnvObj* env, TImage* image, std::string imagesDir,
                             std::function<TBusyFrm*()> busy)
    : TGameObj(env), image_(image), imagesDir_(std::move(imagesDir)), busy_(std::move(busy))
{
    image_->Picture()->Bitmap()->SetHandleType(bmDIB);
    env->Subscribe("SHOWRIFF", this);
    env->Subscribe("HIDERIFF", this);
}

TRiffImageObj::~TRiffImageObj()
{
    scene_.reset();
    library_.reset();
}

std::function<std::unique_ptr<TGameObj>(TKorvaneEnv&, TImage*)>
TRiffImageObj::Maker(std::string imagesDir, std::function<TBusyFrm*()> busy)
{
    return [dir = std::move(imagesDir), busy = std::move(busy)](TKorvaneEnv& env,
                                                                 TImage* image) -> std::unique_ptr<TGameObj> {
        if (image == nullptr)
            return nullptr;
        return std::make_unique<TRiffImageObj>(&env, image, dir, busy);
    };
}

std::string TRiffImageObj::FoldCase(const std::string& text)
{
    std::string folded = text;
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; });
    return folded;
}

TASpriteInstance* TRiffImageObj::Page() const
{
    return scene_ ? scene_->GetInstance(0) : nullptr;
}

void TRiffImageObj::OnModeChanged(std::int32_t /*param*/)
{
    LoadImages();
}

void TRiffImageObj::LoadImages()
{
    TBusyFrm* busy = busy_ ? busy_() : nullptr;
    if (busy != nullptr) {
        // The busy window is shared: the riff loading before this leaves its own range on the bar.
        busy->ProgressBar->setRange(0, 100);
        busy->Show();
        ProcessMessages();
    }
    try {
        // The old scene borrows the old library's instances: it goes first.
        scene_.reset();
        library_.reset();
        pages_.clear();
        library_ = std::make_unique<TASpriteLibrary>();
        scene_ = std::make_unique<TAScene>(image_);
        auto sprite = std::make_unique<TASprite>("Spot");

        TDVContext* mode = Env()->FindMode("");
        TStringList riffs;
        mode->EnumListIDs("riff", riffs);
        const int n = riffs.Count();
        if (busy != nullptr) {
            busy->ProgressBar->setValue(100 / (n + 1));
            ProcessMessages();
            busy->SetText("Loading images...");
        }

        TDVContext* settings = Env()->GetSettingsContext();
        const bool fingering =
            settings->Exists("ShowFingeringOnTranscriptions") && settings->GetBool("ShowFingeringOnTranscriptions");

        std::string firstPage;
        for (int i = 0; i < n; ++i) {
            TDVContext* riff = mode->GetContextByID("riff[#]", riffs[i]);
            TStringList ids;
            ids.Add(std::string());
            riff->EnumListIDs("file_prefix", ids);
            for (const std::string& id : ids.Lines()) {
                const std::string prefix = riff->GetValueTextByID("file_prefix[#]", id);
                const std::string key = FoldCase(prefix);
                if (pages_.count(key) != 0)
                    continue;
                pages_[key] = prefix;
                std::string file = imagesDir_ + prefix + ".png";
                if (fingering && FileExists(imagesDir_ + prefix + "f.png"))
                    file = imagesDir_ + prefix + "f.png";
                const int frame = sprite->AddImageFromFile(file, TASprite::kNoTransparentColor, false, false, -1);
                TAnimation animation(prefix);
                animation.AddKey(TAKey(frame, 0));
                animation.AddKey(TAKey(frame, 1));
                sprite->AddAnimation(animation);
                if (pages_.size() == 1)
                    firstPage = prefix;
            }
            if (busy != nullptr)
                busy->ProgressBar->setValue((i + 2) * 100 / (n + 1));
            ProcessMessages();
        }

        library_->AddSprite(sprite.release());
        // Without a page there is nothing to show: the scene stays without an instance, and
        // "SHOWRIFF" finds none.
        if (!pages_.empty()) {
            TASpriteInstance* page = library_->CreateInstance("Spot");
            scene_->AddInstance(page);
            page->SetX(float(image_->Width() / 2));
            page->SetY(float(image_->Height() / 2));
            page->SetAnimation(firstPage);
            page->StartAnimation(0);
            page->SetVisible(false);
        }

        TBitmap background;
        LoadImageToBitmap(&background, imagesDir_ + "NoteArea.png");
        scene_->SetBackground(&background);
        image_->Picture()->SetBitmap(&background);
    } catch (const std::bad_alloc&) {
        throw Exception("Out of memory!");
    }

    HideAll();
    image_->Refresh();
    if (busy != nullptr) {
        busy->hide();
        busy->SetDone(true);
    }
}

void TRiffImageObj::HideAll()
{
    if (!scene_)
        return;
    for (int i = 0; i < scene_->GetInstanceCount(); ++i)
        scene_->GetInstance(i)->SetVisible(false);
    scene_->DrawBackground(true);
}

void TRiffImageObj::OnEvent(const TGameEnvObj::TGameEvent& event, std::int32_t param)
{
    TASpriteInstance* page = Page();
    if (page == nullptr)
        return;
    if (event.name.find("SHOWRIFF") != std::string::npos) {
        const std::string riff = event.name.size() > 9 ? event.name.substr(9, 255) : std::string();
        const std::string prefix =
            Env()->FindMode("")->GetValueTextByID("riff[#].file_prefix[#]", riff, std::to_string(param));
        const auto found = pages_.find(FoldCase(prefix));
        page->SetAnimation(found != pages_.end() ? found->second : prefix);
        page->SetVisible(true);
        scene_->SetNeedsRedraw(true);
    } else if (event.name.find("HIDERIFF") != std::string::npos) {
        page->SetVisible(false);
        scene_->SetNeedsRedraw(true);
    }
}

void TRiffImageObj::Update()
{
    if (!scene_)
        return;
    scene_->Update(clock_);
    clock_ += 2;
}

void TRiffImageObj::Draw()
{
    if (!scene_ || !scene_->NeedsRedraw())
        return;
    scene_->Draw(true, true);
    Refresh(false);
}

void TRiffImageObj::Refresh(bool /*flag*/)
{
    if (scene_)
        image_->Refresh();
}

void TRiffImageObj::OnNewGame(std::int32_t /*param*/)
{
    clock_ = 0;
}
