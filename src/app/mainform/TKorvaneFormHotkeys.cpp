// The hot keys of the main window: the keys outside the active binding set run the commands of
// the hot-key table (HotKeyTable.h).
#include "app/mainform/TKorvaneForm.h"

#include "app/keyboard/HotKeyTable.h"
#include "controls/THVPanel.h"
#include "controls/THVSlider.h"
#include "platform/ui/TPanel.h"

#include <algorithm>
#include <cmath>

namespace {

// A tenth of the slider's range per press; the slider clamps and reports the change.
void StepSlider(THVSlider* slider, int sign)
{
    slider->SetPosition(int(std::trunc(slider->Position() + sign * slider->MaxPosition() * 0.1)));
}

}  // namespace

bool TKorvaneForm::HotkeyCommand(std::uint16_t key, TShiftState shift)
{
    // An auto-repeat of a key already handled: nothing until some key goes up.
    if (std::find(heldHotKeys_.begin(), heldHotKeys_.end(), int(key)) != heldHotKeys_.end())
        return true;
    const THotKeyCell cell = HotKeyTable::Lookup(key, shift);
    if (cell.command == THotKeyCommand::None)
        return false;
    // Held from here on: a command may open a modal window, which the key-up then reaches instead
    // of this one (the window's deactivation forgets the held hot keys).
    if (!HotKeyTable::RepeatsWhileHeld(cell))
        heldHotKeys_.push_back(key);
    TObject* const sender = cell.formSender ? GlobalPanel : nullptr;
    using C = THotKeyCommand;
    switch (cell.command) {
    case C::None: break;
    case C::Stop: StopButtonClick(sender); break;
    case C::Play: PlayButtonClick(sender); break;
    case C::Pause: PauseButtonClick(sender); break;
    case C::Help: HelpClick(sender); break;
    case C::Settings: SettingsButtonClick(sender); break;
    case C::CloseWindow: close(); break;
    case C::Latch: LatchSoundingKey(); break;
    case C::PlayRiff: PlayRiffButtonClick(sender); break;
    case C::PlayRiffWhileHeld:
        // The next key-up stops the riff (the key road calls the play-riff handler for tag 2).
        if (PlayRiffButton->Tag() != 2) {
            PlayRiffButtonClick(sender);
            PlayRiffButton->SetTag(2);
        }
        break;
    case C::PrevClip: PrevClipButtonClick(sender); break;
    case C::PlayClip: PlayClipButtonClick(sender); break;
    case C::NextClip: NextClipButtonClick(sender); break;
    case C::RiffVideo: VideoButtonClick(sender); break;
    case C::TutorialVideos: TutorialVideoButtonClick(sender); break;
    case C::RiffList: RiffListButtonClick(sender); break;
    case C::HalfSpeed: HalfSpeedButtonClick(sender); break;
    case C::CreateWave: WaveButtonClick(sender); break;
    case C::Print: PrintButtonClick(sender); break;
    case C::NextPage: RMP_NextButtonClick(sender); break;
    case C::PrevPage: RMP_PrevButtonClick(sender); break;
    case C::NextRiff: NextRiffButtonClick(sender); break;
    case C::PrevRiff: PrevRiffButtonClick(sender); break;
    case C::HistoryPrevRiff: HistoryPrevRiffButtonClick(sender); break;
    case C::HistoryNextRiff: HistoryNextRiffButtonClick(sender); break;
    case C::RhythmSlider: StepSlider(MelodyVolume, cell.argument); break;
    case C::SoloSlider: StepSlider(RiffVolume, cell.argument); break;
    case C::StepSetting: SetStepAdvance(cell.argument); break;
    }
    return true;
}
