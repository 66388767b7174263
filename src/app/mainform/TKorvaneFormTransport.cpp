// The transport (Play, Pause, Stop), the two timers that drive the environment and the position
// displays, and the volume sliders.
#include "app/mainform/TKorvaneForm.h"

#include "app/game/Kvwavescene.h"

#include "app/game/TKorvaneEnv.h"
#include "config/TDVContext.h"
#include "controls/THVPanel.h"
#include "controls/THVSlider.h"
#include "platform/ui/EventBridge.h"
#include "platform/drawing/TBrush.h"
#include "platform/drawing/TCanvas.h"
#include "platform/ui/TImage.h"
#include "platform/ui/TLabel.h"
#include "platform/ui/TPanel.h"
#include "platform/ui/TTimer.h"
#include "sound/midi/Player.h"
#include "sound/TWaveScene.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr TColor kBarMarkerColor = clWhite;
constexpr TColor kBarTrackColor = clBlack;
constexpr int kBarMarkerWidth = 2;

// Clears the flag when the tick ends, however it ends.
class BusyGuard {
public:
    explicit BusyGuard(std::uint8_t& flag) : flag_(flag) { flag_ = 1; }
    ~BusyGuard() { flag_ = 0; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    std::uint8_t& flag_;
};

}  // namespace

bool TKorvaneForm::IsPaused() const
{
    return env_ != nullptr && env_->GameState() == TGameEnvObj::StatePaused;
}

void TKorvaneForm::ClearClips()
{
    clips_.Clear();
}

void TKorvaneForm::PlayButtonClick(TObject* sender)
{
    if (loading_ || env_ == nullptr)
        return;
    if (IsPaused()) {
        SetPaused(false);
        return;
    }
    bindings_.ForgetHeldRiffKeys();
    StopButtonClick(nullptr);
    if (env_->GameState() == TGameEnvObj::StateReady && sender != nullptr && !env_->CanStart())
        return;
    BarLabel->Show();
    lastTickTime_ = NowSeconds();
    std::srand(lastTickTime_);
    MainTimer->SetEnabled(false);
    try {
        env_->NewGame(0);
    } catch (const std::exception& error) {
        ShowException(error.what());
        Halt(0);
        return;
    }
    MainTimer->SetEnabled(true);
    playing_ = true;
    if (sender != nullptr) {
        WaveScene.ClearLog();
        WaveScene.StartRecordClock();
        recording_ = true;
        WaveScene.Recording = true;
        const float volume = Settings()->GetFloat("groove_volume");
        WaveScene.SetInstanceVolume("groove", 0, volume, 0);
        WaveScene.PlayInstance("groove", 1000, nullptr, -1, 0);
        WaveScene.Play();
    }
}

void TKorvaneForm::StopButtonClick(TObject* sender)
{
    if (loading_ || env_ == nullptr)
        return;
    ClearClips();
    BarLabel->Hide();
    WaveScene.StopReplay();
    WaveScene.StopAllInstances();
    recording_ = false;
    WaveScene.Recording = false;
    soundingRiff_.clear();
    player_->Stop();
    env_->PostEvent("MIDIOFF", 0);
    env_->SetGameState(TGameEnvObj::StateReady);
    if (sender == nullptr && !env_->CurrentMode().empty()) {
        busy_ = 0;
        MainTimer->SetEnabled(false);
        env_->EndGame(0);
        PlayButton->SetChecked(false);
        PauseButton->SetChecked(false);
    }
}

void TKorvaneForm::SetPaused(bool paused)
{
    if (env_ == nullptr || env_->GameState() == TGameEnvObj::StateReady)
        return;
    env_->Pause(paused);
    PauseButton->SetChecked(paused);
    if (paused) {
        WaveScene.Pause();
        if (player_->IsPlaying())
            player_->Stop();
    } else {
        // The output clock stood still while paused, so the recording's clock runs on as it
        // was: restarted, it would stamp what follows before what came before the pause.
        WaveScene.Play();
        MainTimer->Wake();
    }
}

void TKorvaneForm::PauseButtonClick(TObject* /*sender*/)
{
    if (loading_)
        return;
    SetPaused(!IsPaused());
}

void TKorvaneForm::MainTimerTimer(TObject* /*sender*/)
{
    if (busy_ != 0 || env_ == nullptr)
        return;
    BusyGuard guard(busy_);
    // With nothing queued the next ticks would only store the time, which nobody reads between
    // ticks: the timer rests until an event is queued or the game resumes, instead of waking the
    // program a hundred times a second for nothing.
    if (IsPaused()) {
        lastTickTime_ = NowSeconds();
        MainTimer->Rest();
        return;
    }
    env_->ProcessEvents();
    lastTickTime_ = NowSeconds();
    if (env_->GameState() == TGameEnvObj::StateRunning)
        playing_ = false;
    if (env_->Queue().empty() && !playing_)
        MainTimer->Rest();
}

std::string TKorvaneForm::BarText(double positionMs, int size, double grooveLengthMs)
{
    if (size <= 0 || !(grooveLengthMs > 0))
        return {};
    const long long bar = (long long)std::trunc(positionMs * size / grooveLengthMs);
    return "Bar " + std::to_string(bar % 4 + 1);
}

int TKorvaneForm::BarMarkerX(double positionMs, int size, double grooveLengthMs, int width)
{
    if (size <= 0 || !(grooveLengthMs > 0))
        return 0;
    const long long barLen = (long long)std::trunc(grooveLengthMs / size);
    if (barLen <= 0)
        return 0;
    const long long inBar = (long long)std::trunc(positionMs) % barLen;
    return int(std::trunc(double(inBar) * (width - 2) / (grooveLengthMs / size)));
}

void TKorvaneForm::DrawBarMarker(int x)
{
    // Redrawn only when it moves: an idle board costs nothing per tick.
    if (x == barMarkerX_)
        return;
    barMarkerX_ = x;
    TCanvas* canvas = BarPosImg->Canvas();
    canvas->Brush()->SetColor(kBarTrackColor);
    canvas->FillRect(BarPosImg->ClientRect());
    canvas->Brush()->SetColor(kBarMarkerColor);
    canvas->FillRect(TRect(x, 0, x + kBarMarkerWidth, BarPosImg->Height()));
    BarPosImg->Invalidate();
}

void TKorvaneForm::PaintBeneathBarLabel()
{
    // The transparent label shows its parent's canvas; the animation picture lies on a sibling
    // image, so its part under the label is put there first.
    const TRect area = BarLabel->BoundsRect();
    AnimationAreaPanel->Canvas()->CopyRect(area, AnimationAreaImage->Canvas(), area);
}

void TKorvaneForm::EventsTimerTimer(TObject* /*sender*/)
{
    if (busy_ != 0 || loading_ || env_ == nullptr)
        return;
    BusyGuard guard(busy_);
    env_->UpdateObjects();
    env_->DrawObjects();
    env_->ProcessEvents();

    TDVContext* mode = env_->FindMode("");
    const int size = mode->Exists("size") ? mode->GetInteger("size") : 0;
    const double position = HasInstance("groove")
                                ? double(WaveScene.GetInstancePositionMs("groove", false))
                                : 0.0;
    const std::string text = BarText(position, size, grooveLength_);
    if (text != BarLabel->Caption())
        PaintBeneathBarLabel();
    if (env_->GameState() == TGameEnvObj::StateRunning && !text.empty()) {
        BarPositionBkg->Show();
        BarLabel->SetCaption(text);
        DrawBarMarker(BarMarkerX(position, size, grooveLength_, BarPositionBkg->Width()));
    } else {
        BarLabel->SetCaption("");
        DrawBarMarker(0);
        BarPositionBkg->Hide();
    }
    DrawRiffPosition();
    // Stands in for the notation image's paint hook: the buttons follow the page shown.
    UpdatePageButtons(false);
}

int TKorvaneForm::RiffPositionX(RiffStruct& record, float positionMs, bool followPage)
{
    const int s = int(std::trunc(record.stepLength));
    if (s <= 0 || record.notation.positions.size() < 2)
        return record.notation.positions.empty() ? 0 : record.notation.positions.front();
    const int j = int(std::trunc((positionMs + 1) / float(s)));
    int i = j - record.notation.page + 1;
    int count = FindNotationPosition();
    if (i >= count || i < 0) {
        if (!RMP_Autoswitch || !followPage)
            return i < 0 ? record.notation.positions.front() : record.notation.positions.back();
        // The page that holds step j: the last page whose first step is not after it.
        auto holding = record.notationPositions.upper_bound(j + 1);
        if (holding == record.notationPositions.begin())
            return record.notation.positions.front();
        --holding;
        UpdateNotationWindow(holding->first);
        ShowRiff(record.riffName);
        if (record.notation.positions.size() < 2)
            return record.notation.positions.empty() ? 0 : record.notation.positions.front();
        i = j - record.notation.page + 1;
        count = FindNotationPosition();
    }
    const auto& pos = record.notation.positions;
    i = std::min({i, count - 2, int(pos.size()) - 2});
    i = std::max(i, 0);
    const double fraction = (double(positionMs) - j * double(record.stepLength)) / record.stepLength;
    return int(std::trunc(pos[std::size_t(i)] + fraction * (pos[std::size_t(i) + 1] - pos[std::size_t(i)])));
}

int TKorvaneForm::PositionToIndex(float positionMs)
{
    RiffStruct* record = CurrentRecord();
    if (record == nullptr || record->notation.positions.empty())
        return 0;
    const auto& pos = record->notation.positions;
    const int s = int(std::trunc(record->stepLength));
    if (s <= 0 || pos.size() < 2)
        return pos.front();
    const float q = positionMs + 1;
    const int j = int(std::trunc(q / float(s)));
    int i = j - record->notation.page + 1;
    const int count = FindNotationPosition();
    if (i >= count)
        return pos.back();
    if (i < 0)
        return pos.front();
    if (i + 1 >= count)
        i = count - 2;
    i = std::max(0, std::min(i, int(pos.size()) - 2));
    return int(std::trunc((q - record->stepLength * j) / record->stepLength *
                              (pos[std::size_t(i) + 1] - pos[std::size_t(i)]) +
                          pos[std::size_t(i)]));
}

void TKorvaneForm::DrawRiffPosition()
{
    RiffStruct* record = CurrentRecord();
    const bool shown = RiffPositionBkg->Visible() && record != nullptr && !record->riffName.empty() &&
                       !WaveScene.IsReplaying() && HasInstance(record->riffName) &&
                       WaveScene.IsInstancePlaying(record->riffName);
    if (!shown) {
        RiffPosition->SetLeft(0);
        RiffPosition->SetWidth(0);
        return;
    }
    // The page follows the play position only: the start of the played stretch is marked on the
    // page shown (at its first position when it lies on an earlier page), so a start reset to 0
    // when the riff looped cannot pull the page back.
    const float now = float(WaveScene.GetInstancePositionMs(record->riffName, false));
    const int b = RiffPositionX(*record, now, true);
    // A position just sought reads back in whole frames, up to 1 ms before the start it was set to.
    if (float(record->startPosition) > now + 1.0f)
        record->startPosition = 0;
    const int a = RiffPositionX(*record, float(record->startPosition), false);
    RiffPosition->SetLeft(a + 2);
    RiffPosition->SetWidth(std::max(0, b - a - 4));
}

void TKorvaneForm::MsgTimerTimer(TObject* /*sender*/)
{
    MessageLabel->Hide();
    MsgTimer->SetEnabled(false);
}

void TKorvaneForm::RiffVolumeChange(TObject* /*sender*/)
{
    if (loading_ || root_ == nullptr)
        return;
    const float volume = 1.0f - float(MelodyVolume->Position()) / float(MelodyVolume->MaxPosition());
    Settings()->SetFloat("groove_volume", volume);
    SettingChanged();
    if (WaveScene.GetState() == 1 && HasInstance("groove"))
        WaveScene.SetInstanceVolume("groove", 30, volume, 0);
}

void TKorvaneForm::MelodyVolumeChange(TObject* /*sender*/)
{
    if (loading_ || root_ == nullptr)
        return;
    const float volume = 1.0f - float(RiffVolume->Position()) / float(RiffVolume->MaxPosition());
    Settings()->SetFloat("riff_volume", volume);
    SettingChanged();
    RiffStruct* record = CurrentRecord();
    if (WaveScene.GetState() == 1 && record != nullptr && !record->riffName.empty() &&
        HasInstance(record->riffName) && WaveScene.IsInstancePlaying(record->riffName))
        WaveScene.SetInstanceVolume(record->riffName, 30, volume, 0);
}
