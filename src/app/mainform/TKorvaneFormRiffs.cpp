// Riffs in sound: triggering and stopping their instances, the scene's notifications and the
// player's reports that keep the riff MIDI and the displays in step, the riff MIDI files and the
// clips.
#include "app/mainform/TKorvaneForm.h"

#include "app/game/Kvwavescene.h"

#include "app/mainform/KorvaneShared.h"
#include "app/riffs/RiffQuantize.h"
#include "app/game/TFretboardObj.h"
#include "app/game/TKorvaneEnv.h"
#include "app/game/UpcomingNotes.h"
#include "config/TDVContext.h"
#include "controls/THVPanel.h"
#include "platform/system/Exception.h"
#include "sound/midi/Player.h"
#include "sound/TWaveScene.h"

#include <algorithm>
#include <cmath>

namespace {

// Notification codes of the wave scene.
constexpr std::uint32_t kStarted = 1;
constexpr std::uint32_t kFinished = 2;
constexpr std::uint32_t kStopped = 4;
constexpr std::uint32_t kResumed = 8;

// A riff resumed this close to its start plays its MIDI from the beginning.
constexpr std::uint32_t kMidiFromStartMs = 81;

constexpr std::uint8_t kFingerController = 85;
constexpr std::uint8_t kFirstUpcomingController = 86;

}  // namespace

void TKorvaneForm::SetRiffRate(const std::string& riff)
{
    const double rate = HalfSpeedButton->Visible() && HalfSpeedButton->Checked() ? 0.5 : 1.0;
    WaveScene.SetInstancePitch(riff, float(rate));
    if (player_->GetSpeed() != rate)
        player_->SetSpeed(rate);
}

void TKorvaneForm::TriggerRiff(const std::string& riff, TShiftState shift)
{
    ClearClips();
    TDVContext* mode = env_->FindMode("");
    TDVContext* riffContext = mode->GetContextByID("riff[#]", riff);
    const std::int32_t type = riffContext->Exists("type") ? riffContext->GetInteger("type") : 0;
    const float volume = Settings()->GetFloat("riff_volume");
    const bool ctrl = InShift(shift, ssCtrl) || keyboard_.IsPressed(OnScreenKeyboard::CtrlKey);
    // Still sounding (a fade-out, or the riff itself again): no start notification will come.
    const bool wasPlaying = WaveScene.IsInstancePlaying(riff);
    RemoveRiffSound(riff);

    if (type == 0 && !ctrl && env_->GameState() == TGameEnvObj::StateRunning) {
        WaveScene.FadeInstance(riff, 0, 0);
        WaveScene.SyncInstanceToInstance("groove", riff, true);
        WaveScene.SetInstanceVolume(riff, 50, volume, 0);
        WaveScene.ResumeInstance(riff);
    } else {
        std::int32_t offset = 0;
        const std::int32_t quantize = Settings()->Exists("QuantizeMode") ? Settings()->GetInteger("QuantizeMode") : 5;
        if (ctrl && quantize < 5) {
            const std::int32_t size = mode->Exists("size") ? mode->GetInteger("size") : 0;
            offset = RiffQuantizeOffset(std::int32_t(WaveScene.GetInstancePositionMs("groove", false)),
                                        GrooveBarLength(grooveLength_, size), quantize);
        }
        WaveScene.SetInstanceVolume(riff, 0, volume, 0);
        if (offset < 0) {
            WaveScene.SetInstancePositionMs(riff, std::uint32_t(-offset));
            WaveScene.ResumeInstance(riff);
        } else {
            if (offset > 0)
                WaveScene.SetInstanceDelayMs(riff, std::uint32_t(offset));
            WaveScene.PlayInstance(riff, -1, nullptr, -1, -1);
        }
    }
    SetRiffRate(riff);

    if (!soundingRiff_.empty() && soundingRiff_ != riff)
        StopRiff(soundingRiff_);
    soundingRiff_ = riff;
    SelectRiff(riff, keyboard_.GetShiftFromModifierKeys());
    history_.Record(riff, keyboard_.GetShiftFromModifierKeys());

    if (wasPlaying && WaveScene.GetInstanceDelayMs(riff) == 0.0f) {
        if (RiffStruct* record = CurrentRecord(); record != nullptr && record->riffName == riff)
            StartRiffMidi(*record, 0);
    }
}

void TKorvaneForm::StopRiff(const std::string& riff)
{
    if (riff.empty())
        return;
    if (WaveScene.GetInstanceDelayMs(riff) != 0.0f)
        WaveScene.StopInstance(riff);
    else
        WaveScene.FadeInstance(riff, 100, 1);
    player_->Stop();
    env_->PostEvent("MIDIOFF", 0);
}

void TKorvaneForm::RemoveRiffSound(const std::string& riff)
{
    const auto it = riffsInScene_.find(riff);
    if (it == riffsInScene_.end())
        return;
    WaveScene.SetInstanceRange(riff, 0, 0);
    WaveScene.SetInstanceRepeat(riff, 9999);
    riffsInScene_.erase(it);
}

void TKorvaneForm::PlayRiffButtonClick(TObject* sender)
{
    if (loading_ || env_ == nullptr)
        return;
    RiffStruct* record = CurrentRecord();
    if (record == nullptr || record->riffName.empty())
        return;
    const std::string riff = record->riffName;
    if (!soundingRiff_.empty() && soundingRiff_ != riff)
        StopRiff(soundingRiff_);
    if (sender == nullptr || WaveScene.IsInstancePlaying(riff)) {
        PlayRiffButton->SetTag(0);
        if (!bindings_.SoundingKey().empty()) {
            bindings_.ReleaseKey(bindings_.SoundingKey());
            DrawKeyboard();
        } else {
            StopRiff(riff);
        }
        return;
    }
    PlayCurrentRiff();
}

void TKorvaneForm::PlayCurrentRiff()
{
    RiffStruct* record = CurrentRecord();
    if (record == nullptr || record->riffName.empty())
        return;
    const std::string riff = record->riffName;
    PlayRiffButton->SetTag(1);
    if (keyboard_.GetShiftFromModifierKeys() != record->bindingSet) {
        SetModifierKeysFromShift(record->bindingSet);
        DrawKeyboard();
    }
    TriggerRiff(riff, 0);
    record = CurrentRecord();
    const int first = record->notation.page;
    if (first > 1) {
        const float at = float(first - 1) * record->stepLength;
        record->startPosition = std::int32_t(std::trunc(at));
        WaveScene.SetInstancePositionMs(riff, std::uint32_t(at));
    }
}

void TKorvaneForm::StartRiffMidi(RiffStruct& record, std::uint32_t renderedAheadMs)
{
    player_->Stop();
    env_->PostEvent("MIDIOFF", 0);
    env_->ProcessEvents();
    std::uint32_t position = WaveScene.GetInstancePositionMs(record.riffName, false);
    position = position > renderedAheadMs ? position - renderedAheadMs : 0;
    if (position < kMidiFromStartMs)
        position = 0;
    PositionToClip(record, int(position));
}

void TKorvaneForm::OnSceneMessage()
{
    if (WaveScene.IsMessageQueueEmpty())
        return;
    if (WaveScene.IsReplaying()) {
        WaveScene.ClearMessages();
        return;
    }
    std::string name;
    std::uint32_t code = 0;
    // A riff MIDI file that fails is told once, after the queue is drained.
    std::string failure;
    while (WaveScene.PopInstanceMessage(name, code)) {
        if (!HasInstance(name))
            continue;
        RiffStruct* record = CurrentRecord();
        // Only the current riff's own instance drives the MIDI: a previous riff still fading out
        // must not show its notes for the current one.
        const bool current = record != nullptr && !record->riffName.empty() && name == record->riffName;
        if ((code == kStarted && WaveScene.GetInstanceVolumeMode(name) == 0) || code == kResumed) {
            // A start is reported once the mixer rendered a buffer from it: the instance is up to
            // a buffer past its start, and the notes at its start must not be skipped.
            if (current) {
                try {
                    StartRiffMidi(*record, code == kStarted ? std::uint32_t(_AudioBufferMs) : 0);
                } catch (const std::exception& error) {
                    failure = error.what();
                }
            }
        } else if (code == kFinished || code == kStopped) {
            if (current && !WaveScene.IsInstancePlaying(name)) {
                player_->Stop();
                if (clips_.Current() < 0) {
                    env_->PostEvent("MIDIOFF", 0);
                    env_->ProcessEvents();
                } else {
                    OnClipEnd();
                }
            }
        }
    }
    if (!failure.empty())
        throw Exception(failure);
}

void TKorvaneForm::PositionToClip(RiffStruct& record, int positionMs)
{
    if (record.riffName.empty())
        return;
    // A riff whose MIDI file failed plays without its displays: its error was told once, and
    // telling it again at every start of the looping riff would pile up boxes without end.
    if (failedMidiFiles_.count(record.midiFile) != 0)
        return;
    try {
        LoadRiffMidi(record);
    } catch (const std::exception&) {
        failedMidiFiles_.insert(record.midiFile);
        // The box about to show takes the key-up: the riff would sound on behind it, and the
        // key would stay held.
        bindings_.ReleaseAll();
        if (!bindings_.SoundingKey().empty())
            bindings_.ReleaseKey(bindings_.SoundingKey());
        DrawKeyboard();
        StopRiff(record.riffName);
        PlayRiffButton->SetTag(0);
        throw;
    }
    if (clips_.Current() < 0) {
        (void)player_->Prepare(record.riffMidi, positionMs, false);
    } else {
        const int from = Player::FirstNoteOnAfter(record.clipMidi, std::max(0, positionMs - _AudioBufferMs), true);
        (void)player_->Prepare(record.clipMidi, from, false);
    }
}

void TKorvaneForm::OnMidiNote(LPARAM message)
{
    if (env_ == nullptr)
        return;
    const std::uint32_t packed = std::uint32_t(message);
    const std::uint8_t status = packed & 0xFF;
    const int d1 = int((packed >> 8) & 0x7F);
    const int d2 = int((packed >> 16) & 0x7F);
    const int channel = status & 0x0F;
    const int kind = status & 0xF0;
    if (kind == 0x80 || kind == 0x90) {
        const std::int32_t value = d1 | channel << 8;
        if (kind == 0x80 || d2 == 0) {
            env_->PostEvent("NOTEOFF", value);
        } else {
            env_->PostEvent("NOTEON", value);
            clips_.Record("NOTEON", value);
        }
        env_->ProcessEvents();
    } else if (d1 == kFingerController) {
        env_->PostEvent("MIDICTRL", d2);
        clips_.Record("MIDICTRL", d2);
    } else if (d1 >= kFirstUpcomingController && d1 < kFirstUpcomingController + _UpcomingSteps) {
        const int step = d1 - kFirstUpcomingController;
        if (auto* board = dynamic_cast<TFretboardObj*>(env_->Fretboard()))
            board->SetUpcomingStep(step);
        env_->PostEvent("UPC_NOTEON", TFretboardObj::UpcomingEventParam(step, channel, d2));
    }
}

void TKorvaneForm::OnMidiOff()
{
    // The player posts the end of its schedule once more at a stop marker: both leave the
    // displays as one does.
    if (env_ == nullptr)
        return;
    if (clips_.Current() < 0) {
        env_->PostEvent("MIDIOFF", 0);
        env_->ProcessEvents();
    } else {
        OnClipEnd();
    }
}

void TKorvaneForm::LoadRiffMidi(RiffStruct& record)
{
    TDVContext* settings = Settings();
    const int step = settings->Exists("StepAdvanceThroughClipsBy") ? settings->GetInteger("StepAdvanceThroughClipsBy") : 0;
    std::function<void(MIDIData&)> addUpcoming;
    if (settings->Exists("ShowUpcomingNotes") && settings->GetBool("ShowUpcomingNotes"))
        addUpcoming = [settings](MIDIData& midi) {
            (void)BuildUpcomingNotes(midi, _UpcomingSteps, UpcomingNoteInterval(settings));
        };
    RiffClips::LoadRiffMidi(record, _app_path, step, loadedMidiKey_, addUpcoming);
}

int TKorvaneForm::BuildRiffClips()
{
    ClearClips();
    RiffStruct* record = CurrentRecord();
    if (record == nullptr || record->riffName.empty())
        return 0;
    TDVContext* mode = env_->FindMode("");
    const RiffClips::TClipSettings clip =
        RiffClips::ReadSettings(Settings(), mode->GetContextByID("riff[#]", record->riffName));
    const std::int32_t length = std::int32_t(WaveScene.GetInstanceLengthMs(record->riffName, false));
    if (clip.step - 1 < 0) {
        LoadRiffMidi(*record);
        return clips_.BuildNoteGroups(record->clipMidi, clip.tickDistance, clip.beforeMs, clip.afterMs, length);
    }
    const std::int32_t size = mode->Exists("size") ? mode->GetInteger("size") : 0;
    return clips_.BuildSlices(GrooveBarLength(grooveLength_, size), clip.step - 1, clip.beforeMs, clip.afterMs,
                              length);
}

void TKorvaneForm::ClearRecordedEvents()
{
    if (!clips_.RecordedEvents().empty())
        OnClipEnd();
    clips_.ClearRecordedEvents();
}

void TKorvaneForm::SetStepAdvance(int step)
{
    Settings()->SetInteger("StepAdvanceThroughClipsBy", step + 1);
    SettingChanged();
}

void TKorvaneForm::PlayClipButtonClick(TObject* /*sender*/)
{
    if (loading_ || env_ == nullptr)
        return;
    const RiffStruct* record = CurrentRecord();
    if (record == nullptr || record->riffName.empty())
        return;
    StopRiff(soundingRiff_);
    if (clips_.Empty() && BuildRiffClips() == 0)
        return;
    if (!clips_.EnsureCurrent())
        return;
    PlayCurrentClip();
}

void TKorvaneForm::NextClipButtonClick(TObject* sender)
{
    if (loading_ || env_ == nullptr)
        return;
    StopRiff(soundingRiff_);
    if (clips_.Current() >= 0)
        (void)clips_.StepForward();
    PlayClipButtonClick(sender);
}

void TKorvaneForm::PrevClipButtonClick(TObject* sender)
{
    if (loading_ || env_ == nullptr)
        return;
    StopRiff(soundingRiff_);
    if (clips_.Current() >= 0)
        (void)clips_.StepBack();
    PlayClipButtonClick(sender);
}

void TKorvaneForm::PlayCurrentClip()
{
    const RiffStruct* record = CurrentRecord();
    const TRiffClip* clip = clips_.CurrentClip();
    if (record == nullptr || clip == nullptr)
        return;
    const std::string riff = record->riffName;
    const float volume = Settings()->GetFloat("riff_volume");
    const std::vector<float> volumes(2, volume);
    WaveScene.PlayInstance(riff, 0, &volumes, clip->startFrame, clip->endFrame);
    clips_.ClearRecordedEvents();
    riffsInScene_[riff] = true;
    SetRiffRate(riff);
    soundingRiff_ = riff;
}

void TKorvaneForm::OnClipEnd()
{
    if (env_ != nullptr)
        clips_.EndClip(*env_);
}
