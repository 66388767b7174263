#include "app/game/TFretboardObj.h"

#include "app/mainform/KorvaneShared.h"
#include "app/game/TKorvaneEnv.h"
#include "config/TDVContext.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TCanvas.h"
#include "platform/ui/TImage.h"
#include "platform/drawing/TPicture.h"
#include "sprite/PicUtils.h"
#include "sprite/TAScene.h"
#include "sprite/TASprite.h"
#include "sprite/TASpriteLibrary.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace {

// Finger colours by label, used as entry (label - 1) mod 4: blue, red, green, yellow.
constexpr std::array<TColor, 4> kFingerColors = {0xFF0000, 0x0000FF, 0x008000, 0x00FFFF};

// Controller values above this choose a spot picture, the others a finger label.
constexpr int kLastLabelValue = 33;

// A still frame: two keys at times 0 and 1 showing the same frame.
TAnimation StillFrame(const std::string& name, int frame)
{
    TAnimation animation(name);
    animation.AddKey(TAKey(frame, 0));
    animation.AddKey(TAKey(frame, 1));
    return animation;
}

std::string SpotFileStem(const std::string& imagesDir, int n)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02d", n + 1);
    return imagesDir + "Spot" + digits;
}

}  // namespace

TFretboardObj::TFretboardObj(TGameEnvObj* env, TImage* image, std::string imagesDir)
    : TGameObj(env), image_(image), imagesDir_(std::move(imagesDir))
{
    image_->Picture()->Bitmap()->SetHandleType(bmDIB);

    library_ = std::make_unique<TASpriteLibrary>();
    scene_ = std::make_unique<TAScene>(image_);

    auto sprite = std::make_unique<TASprite>("Spot");
    for (int n = 0;; ++n) {
        const std::string stem = SpotFileStem(imagesDir_, n);
        if (!FileExists(stem + ".png"))
            break;
        const int frame = sprite->AddImageFromFile(stem + ".png", TASprite::kNoTransparentColor, true, false, 0);
        sprite->AddAnimation(StillFrame(std::to_string(n), frame));
        int bent = frame;
        if (FileExists(stem + "C.png"))
            bent = sprite->AddImageFromFile(stem + "C.png", TASprite::kNoTransparentColor, true, false, 0);
        sprite->AddAnimation(StillFrame(std::to_string(n) + "C", bent));
    }
    int upcoming = 0;
    for (;; ++upcoming) {
        const std::string file = imagesDir_ + "UpcSpot" + std::to_string(upcoming) + ".png";
        if (!FileExists(file))
            break;
        const int frame = sprite->AddImageFromFile(file, TASprite::kNoTransparentColor, true, false, 0);
        sprite->AddAnimation(StillFrame("UPN" + std::to_string(upcoming), frame));
    }
    _UpcomingSteps = upcoming;
    library_->AddSprite(sprite.release());

    for (int i = 0; i < kSpots; ++i) {
        TASpriteInstance* spot = library_->CreateInstance("Spot");
        scene_->AddInstance(spot);
        spot->SetX(0);
        spot->SetY(0);
        spot->SetAnimation("0");
        spot->StartAnimation(0);
        spot->SetVisible(false);
    }

    // Last: an object whose construction failed must leave no subscription behind.
    env->Subscribe("MIDIOFF", this);
    env->Subscribe("NOTEON", this);
    env->Subscribe("NOTEOFF", this);
    env->Subscribe("MIDICTRL", this);
    env->Subscribe("UPC_NOTEON", this);
}

TFretboardObj::~TFretboardObj()
{
    scene_.reset();
    library_.reset();
}

std::function<std::unique_ptr<TGameObj>(TKorvaneEnv&, TImage*)> TFretboardObj::Maker(std::string imagesDir)
{
    return [dir = std::move(imagesDir)](TKorvaneEnv& env, TImage* image) -> std::unique_ptr<TGameObj> {
        if (image == nullptr)
            return nullptr;
        return std::make_unique<TFretboardObj>(&env, image, dir);
    };
}

std::int32_t TFretboardObj::UpcomingEventParam(int step, int channel, int note)
{
    return ((step + 1) & 0xFF) << 16 | (channel & 0xFF) << 8 | (note & 0xFF);
}

int TFretboardObj::SpotOf(std::int32_t param)
{
    const int string = std::abs(((param >> 8) & 0xFF) - 10) % kStrings;
    const int fret = std::abs((param & 127) - _StringTuning[std::size_t(string)]) % kFrets;
    return string * kFrets + fret;
}

TASpriteInstance* TFretboardObj::Spot(int spot) const
{
    return scene_->GetInstance(spot);
}

void TFretboardObj::Place(TASpriteInstance* spot, int string, int fret)
{
    TDVContext* general = Env()->GetGeneralContext();
    const int x = general->GetIntegerAt("Fretboard.X[#]", fret + 1);
    const int y = general->GetIntegerAt("Fretboard.chord[#].Y[#]", string + 1, fret + 1);
    spot->SetX(float(x));
    spot->SetY(float(y));
    spot->SetVisible(true);
    spot->SetChanged(true);
    scene_->SetNeedsRedraw(true);
}

TColor TFretboardObj::ColorOf(TDVContext* label, const std::string& key)
{
    const int red = label->GetIntegerAt(key + "[#]", 1) & 0xFF;
    const int green = label->GetIntegerAt(key + "[#]", 2) & 0xFF;
    const int blue = label->GetIntegerAt(key + "[#]", 3) & 0xFF;
    return red + green * 256 + blue * 65536;
}

void TFretboardObj::NoteOn(int number, int string, int fret)
{
    TASpriteInstance* spot = Spot(number);
    std::string animation = std::to_string(spotPicture_);
    if (ShowColorSpots)
        animation += "C";
    // Both are consumed before use: a picture the sprite lacks or a label the configuration
    // lacks fails this note only, and its choices do not pass to the next one.
    spotPicture_ = 0;
    const int labelIndex = labelIndex_;
    labelIndex_ = 0;
    spot->SetAnimation(animation);
    Place(spot, string, fret);

    const int cx = int(spot->GetX());
    const int cy = int(spot->GetY());
    if (ShowShapes || ShowFilledShapes) {
        const int halfWidth = spot->GetWidth() / 2;
        const int halfHeight = spot->GetHeight() / 2;
        shapes_[number] = TRect(cx - halfWidth, cy - halfHeight, cx + halfWidth, cy + halfHeight);
        TColor color = clWhite;
        if (ShowFilledShapes && labelIndex != 0) {
            TDVContext* label = Env()->GetGeneralContext()->GetContextAt("Fretboard.BLabel[#]", labelIndex);
            if (label->Exists("FColor"))
                color = ColorOf(label, "FColor");
            else
                color = kFingerColors[std::size_t(((labelIndex - 1) % 4 + 4) % 4)];
        }
        shapeColors_[number] = color;
    }
    if (labelIndex != 0) {
        TDVContext* label = Env()->GetGeneralContext()->GetContextAt("Fretboard.BLabel[#]", labelIndex);
        TextCaption caption;
        caption.text = label->GetValueText("Caption");
        caption.fontSize = label->GetInteger("FontSize");
        caption.X = label->GetInteger("X");
        caption.Y = label->GetInteger("Y");
        caption.color = ColorOf(label, "Color");
        if (caption.X == -1 || caption.Y == -1) {
            const SIZE extent = image_->Canvas()->TextExtent(caption.text);
            if (caption.X < 0)
                caption.X = -(extent.cx / 2);
            if (caption.Y < 0)
                caption.Y = -(extent.cy / 2);
        }
        caption.X += cx;
        caption.Y += cy;
        captions_[number] = caption;
    }
}

void TFretboardObj::OnEvent(const TGameEnvObj::TGameEvent& event, std::int32_t param)
{
    const std::string& name = event.name;
    if (name == "MIDICTRL") {
        if (param > kLastLabelValue)
            spotPicture_ = std::abs(param - 34);
        else if (ShowFingering)
            labelIndex_ = param;
        return;
    }
    if (name == "MIDIOFF") {
        for (int i = 0; i < scene_->GetInstanceCount(); ++i) {
            TASpriteInstance* spot = scene_->GetInstance(i);
            spot->SetVisible(false);
            spot->SetChanged(true);
        }
        captions_.clear();
        scene_->SetNeedsRedraw(true);
        return;
    }
    if (name != "NOTEON" && name != "NOTEOFF" && name != "UPC_NOTEON")
        return;

    const int number = SpotOf(param);
    const int string = number / kFrets;
    const int fret = number % kFrets;
    TASpriteInstance* spot = Spot(number);
    if (name == "UPC_NOTEON") {
        const int ownStep = (param >> 16) & 0xFF;
        const int step = ownStep != 0 ? ownStep - 1 : upcomingStep_;
        if (spot->IsVisible() &&
            spot->GetOwner()->GetAnimationName(spot->GetFrameAnimation()).find("UPN") == std::string::npos)
            return;
        spot->SetAnimation("UPN" + std::to_string(step));
        Place(spot, string, fret);
    } else if (name == "NOTEOFF") {
        captions_.erase(number);
        shapes_.erase(number);
        shapeColors_.erase(number);
        spot->SetVisible(false);
        spot->SetChanged(true);
        scene_->SetNeedsRedraw(true);
    } else {
        NoteOn(number, string, fret);
    }
}

void TFretboardObj::Draw()
{
    if (!scene_->NeedsRedraw())
        return;
    scene_->Draw(drawnOverlays_ != 0, true);
    drawnOverlays_ = int(captions_.size() + shapes_.size());

    TCanvas* canvas = image_->Canvas();
    if (ShowFilledShapes) {
        canvas->Brush()->SetStyle(bsSolid);
        for (const auto& [number, rect] : shapes_) {
            if (!Spot(number)->IsVisible())
                continue;
            const auto color = shapeColors_.find(number);
            const TColor fill = color != shapeColors_.end() ? color->second : clWhite;
            canvas->Pen()->SetColor(fill);
            canvas->Brush()->SetColor(fill);
            canvas->Ellipse(rect);
        }
    }

    canvas->Brush()->SetStyle(bsClear);
    canvas->Font()->SetStyle(canvas->Font()->Style() | fsBold);
    for (const auto& [number, caption] : captions_) {
        if (!Spot(number)->IsVisible())
            continue;
        canvas->Font()->SetName("Arial");
        canvas->Font()->SetSize(caption.fontSize);
        canvas->Font()->SetColor(caption.color);
        canvas->TextOut(caption.X, caption.Y, caption.text);
    }

    if (ShowShapes) {
        canvas->Pen()->SetColor(clWhite);
        canvas->Brush()->SetColor(clGray);
        canvas->Brush()->SetStyle(bsClear);
        for (const auto& [number, rect] : shapes_)
            if (Spot(number)->IsVisible())
                canvas->Ellipse(rect);
    }

    canvas->Brush()->SetStyle(bsSolid);
    Refresh(false);
}

void TFretboardObj::Update()
{
    scene_->Update(sceneClock_);
}

void TFretboardObj::Refresh(bool /*flag*/)
{
    image_->Refresh();
}

void TFretboardObj::ClearOverlays()
{
    captions_.clear();
    shapes_.clear();
    shapeColors_.clear();
}

void TFretboardObj::HideSpots()
{
    for (int i = 0; i < scene_->GetInstanceCount(); ++i) {
        TASpriteInstance* spot = scene_->GetInstance(i);
        spot->SetVisible(false);
        spot->SetX(0);
    }
    scene_->DrawBackground(true);
}

void TFretboardObj::LoadBackground(const std::string& fileName)
{
    TBitmap background;
    LoadImageToBitmap(&background, imagesDir_ + fileName);
    scene_->SetBackground(&background);
    image_->Picture()->SetBitmap(&background);
    HideSpots();
    image_->Refresh();
}

void TFretboardObj::OnNewGame(std::int32_t /*param*/)
{
    HideSpots();
    ClearOverlays();
    spotPicture_ = 0;
    upcomingStep_ = 0;
    labelIndex_ = 0;
    sceneClock_ = 0;
}

void TFretboardObj::OnEndGame(std::int32_t /*param*/)
{
    HideSpots();
    ClearOverlays();
    scene_->SetNeedsRedraw(true);
    Draw();
}
