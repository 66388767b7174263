#include "app/game/TKorvaneEnv.h"

#include "app/game/TGameObj.h"
#include "config/TDVContext.h"

namespace {

TKorvaneEnv::TObjectMakers& DefaultMakers()
{
    static TKorvaneEnv::TObjectMakers makers;
    return makers;
}

}  // namespace

TKorvaneEnv::TObjectMakers TKorvaneEnv::SetDefaultObjectMakers(TObjectMakers makers)
{
    TObjectMakers old = std::move(DefaultMakers());
    DefaultMakers() = std::move(makers);
    return old;
}

TKorvaneEnv::TKorvaneEnv(TDVContext* root, TImage* fretboardImage, TImage* keyboardImage, TImage* notationImage,
                         TImage* animationImage)
    : TKorvaneEnv(root, fretboardImage, keyboardImage, notationImage, animationImage, DefaultMakers())
{
}

TKorvaneEnv::TKorvaneEnv(TDVContext* root, TImage* fretboardImage, TImage* keyboardImage, TImage* notationImage,
                         TImage* animationImage, const TObjectMakers& makers)
    : root_(root)
{
    ClearSubscriptions();
    root_->EnumListIDs("mode", modes_);
    currentMode_ = GetSettingsContext()->GetValueText("current_mode");
    fretboardImage_ = fretboardImage;
    keyboardImage_ = keyboardImage;
    notationImage_ = notationImage;
    animationImage_ = animationImage;
    if (makers.fretboard) {
        std::unique_ptr<TGameObj> object = makers.fretboard(*this, fretboardImage_);
        fretboard_ = object.get();
        AddObject(std::move(object));
    }
    if (makers.transcription) {
        std::unique_ptr<TGameObj> object = makers.transcription(*this, notationImage_);
        transcription_ = object.get();
        AddObject(std::move(object));
    }
}

TKorvaneEnv::~TKorvaneEnv()
{
    fretboard_ = nullptr;
    transcription_ = nullptr;
    DeleteObjects();
}

void TKorvaneEnv::SetMode(const std::string& name, std::int32_t param, bool force)
{
    ClearQueue();
    if (name == currentMode_ && !force)
        return;
    BeforeModeChange();
    currentMode_ = name;
    ModeChanged(param);
}

TDVContext* TKorvaneEnv::GetGeneralContext()
{
    return root_->GetContext("general");
}

TDVContext* TKorvaneEnv::GetSettingsContext()
{
    return root_->GetContext("settings");
}

TDVContext* TKorvaneEnv::FindMode(const std::string& name)
{
    return root_->GetContextByID("mode[#]", name.empty() ? currentMode_ : name);
}

void TKorvaneEnv::OnEvent(const TGameEvent& event, std::int32_t /*param*/)
{
    if (event.name == "END_GAME") {
        SetGameState(StateReady);
        EndGame(0);
    } else if (event.name == "NEW_GAME") {
        SetGameState(StateReady);
    } else if (event.name == "PAUSE_GAME") {
        SetGameState(StatePaused);
    } else if (event.name == "UNPAUSE_GAME") {
        SetGameState(StateRunning);
    }
}

std::string TKorvaneEnv::GetModeComboTitle(const std::string& name)
{
    return FindMode(name)->GetValueText("title_in_combo");
}

std::string TKorvaneEnv::GetModeDropTitle(const std::string& name)
{
    return FindMode(name)->GetValueText("title_in_drop");
}

void TKorvaneEnv::FillModeList(TStringList& strings)
{
    for (const std::string& id : modes_.Lines())
        strings.Add(GetModeDropTitle(id));
}

std::string TKorvaneEnv::GetModeName(int index)
{
    if (index < 0) {
        index = -1;
        for (int i = 0; i < modes_.Count(); ++i)
            if (modes_[i] == currentMode_) {
                index = i;
                break;
            }
        if (index < 0)
            return {};
    }
    return modes_[index];
}
