// The key road of the main window: computer keys and the on-screen keyboard press and release
// riffs through the binding sets; the keyboard image is redrawn after every change.
#include "app/mainform/TKorvaneForm.h"

#include "app/game/TKorvaneEnv.h"
#include "controls/THVPanel.h"
#include "platform/ui/TImage.h"
#include "platform/ui/TPanel.h"
#include "platform/ui/EventBridge.h"
#include "platform/drawing/TPicture.h"
#include "platform/ui/VirtualKeysQt.h"

#include <QCursor>
#include <QTimer>

void TKorvaneForm::BindKeyRoad()
{
    KeyBindings::THost host;
    host.triggerRiff = [this](const std::string& riff, TShiftState shift) {
        if (PlayRiffButton->Tag() != 0)
            PlayRiffButtonClick(nullptr);
        TriggerRiff(riff, shift);
        ShowRiff(riff);
    };
    host.stopRiff = [this](const std::string& riff) {
        StopRiff(riff);
        env_->PostEvent("STOPRIFF:" + riff, 0);
        env_->ProcessEvents();
    };
    host.showRiff = [this](const std::string& riff) { ShowRiff(riff); };
    host.showCurrentRiff = [this] {
        const RiffStruct* record = CurrentRecord();
        if (record != nullptr && !record->riffName.empty())
            ShowRiff(record->riffName);
        else
            HideRiff();
    };
    host.hotKeyDown = [this](std::uint16_t& key, TShiftState shift) { HotKeyDown(key, shift); };
    host.keyUpStarted = [this] {
        heldHotKeys_.clear();
        // A riff the play-riff hot key started sounds only while its key is down. It is stopped
        // here rather than through the sounding key: that key is the held Alt (an on-screen
        // modifier without a riff), whose release would leave the riff playing.
        if (PlayRiffButton->Tag() == 2) {
            PlayRiffButton->SetTag(0);
            if (const RiffStruct* record = CurrentRecord(); record != nullptr)
                StopRiff(record->riffName);
        }
    };
    host.redraw = [this] { DrawKeyboard(); };
    host.refreshHover = [this] { RefreshHover(); };
    bindings_.SetHost(std::move(host));

    KeyboardAreaImage->OnMouseDown = [this](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
        KeyboardAreaImageMouseDown(sender, button, shift, x, y);
    };
    KeyboardAreaImage->OnMouseUp = [this](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
        KeyboardAreaImageMouseUp(sender, button, shift, x, y);
    };
    KeyboardAreaImage->OnMouseMove = [this](TObject* sender, TShiftState shift, int x, int y) {
        KeyboardAreaImageMouseMove(sender, shift, x, y);
    };
    for (TControl* area : {static_cast<TControl*>(GlobalPanel), static_cast<TControl*>(AnimationAreaImage),
                           static_cast<TControl*>(NotationAreaImage)})
        area->OnMouseMove = [this](TObject* sender, TShiftState shift, int x, int y) {
            AnimationAreaImageMouseMove(sender, shift, x, y);
        };

    // The navigation buttons act when the mouse button goes down.
    PrevRiffButton->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) { PrevRiffButtonClick(nullptr); };
    NextRiffButton->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) { NextRiffButtonClick(nullptr); };
    HistoryPrevRiffButton->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) {
        HistoryPrevRiffButtonClick(nullptr);
    };
    HistoryNextRiffButton->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) {
        HistoryNextRiffButtonClick(nullptr);
    };
    PrevRiffButton->OnClick = [this](TObject* sender) { PrevRiffButtonClick(sender); };
    NextRiffButton->OnClick = [this](TObject* sender) { NextRiffButtonClick(sender); };
    HistoryPrevRiffButton->OnClick = [this](TObject* sender) { HistoryPrevRiffButtonClick(sender); };
    HistoryNextRiffButton->OnClick = [this](TObject* sender) { HistoryNextRiffButtonClick(sender); };
    RMP_PrevButton->OnClick = [this](TObject* sender) { RMP_PrevButtonClick(sender); };
    RMP_NextButton->OnClick = [this](TObject* sender) { RMP_NextButtonClick(sender); };
    PlayRiffButton->OnClick = [this](TObject* sender) { PlayRiffButtonClick(sender); };
    PlayClipButton->OnClick = [this](TObject* sender) { PlayClipButtonClick(sender); };
    NextClipButton->OnClick = [this](TObject* sender) { NextClipButtonClick(sender); };
    PrevClipButton->OnClick = [this](TObject* sender) { PrevClipButtonClick(sender); };
    NotationAreaImage->OnMouseDown = [this](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
        RiffPositionBkgMouseDown(sender, button, shift, x, y);
    };
    RiffPositionBkg->OnMouseDown = [this](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
        RiffPositionBkgMouseDown(sender, button, shift, x, y);
    };
}

void TKorvaneForm::HotKeyDown(std::uint16_t& key, TShiftState shift)
{
    // A handled hot key goes no further: Space must not also press the focused control.
    if (HotkeyCommand(key, shift))
        key = 0;
}

void TKorvaneForm::BuildKeyBindings(TShiftState shift)
{
    bindings_.Build(shift);
}

void TKorvaneForm::FormKeyDown(TObject* /*sender*/, std::uint16_t& key, TShiftState shift)
{
    if (loading_ || env_ == nullptr)
        return;
    bindings_.KeyDown(key, shift);
}

void TKorvaneForm::FormKeyUp(TObject* /*sender*/, std::uint16_t& key, TShiftState shift)
{
    if (loading_ || env_ == nullptr)
        return;
    bindings_.KeyUp(key, shift);
}

void TKorvaneForm::PressKey(const std::string& name)
{
    bindings_.PressKey(name);
}

void TKorvaneForm::ReleaseKey(const std::string& name)
{
    bindings_.ReleaseKey(name);
}

std::string TKorvaneForm::KeyAtPoint(int x, int y) const
{
    return keyboard_.KeyAtPoint(bindings_.BoundNames(), x, y);
}

void TKorvaneForm::KeyboardAreaImageMouseDown(TObject* /*sender*/, TMouseButton /*button*/, TShiftState /*shift*/,
                                              int x, int y)
{
    if (loading_ || env_ == nullptr)
        return;
    bindings_.MouseDown(x, y);
    DrawKeyboard();
}

void TKorvaneForm::KeyboardAreaImageMouseUp(TObject* /*sender*/, TMouseButton /*button*/, TShiftState /*shift*/,
                                            int /*x*/, int /*y*/)
{
    if (loading_ || env_ == nullptr)
        return;
    bindings_.MouseUp();
    DrawKeyboard();
}

void TKorvaneForm::KeyboardAreaImageMouseMove(TObject* /*sender*/, TShiftState /*shift*/, int x, int y)
{
    if (loading_ || env_ == nullptr)
        return;
    if (bindings_.MouseMove(x, y))
        KeyboardAreaImage->SetTag(1);
}

void TKorvaneForm::AnimationAreaImageMouseMove(TObject* /*sender*/, TShiftState /*shift*/, int /*x*/, int /*y*/)
{
    if (loading_ || env_ == nullptr || KeyboardAreaImage->Tag() == 0)
        return;
    (void)bindings_.MouseMove(-10, -10);
    KeyboardAreaImage->SetTag(0);
}

void TKorvaneForm::ApplicationEvents1Deactivate(TObject* /*sender*/)
{
    if (env_ == nullptr)
        return;
    bindings_.ReleaseAll();
}

void TKorvaneForm::ResyncKeyRoad()
{
    heldHotKeys_.clear();
    if (loading_ || env_ == nullptr)
        return;
    // Its key-up of no key also ends a riff held by the play-riff hot key.
    bindings_.ReleaseHeld(HeldModifiers());
    DrawKeyboard();
}

void TKorvaneForm::QueueKeyRoadResync()
{
    if (resyncQueued_)
        return;
    resyncQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        resyncQueued_ = false;
        CallEventHandler([this] { ResyncKeyRoad(); });
    });
}

void TKorvaneForm::RefreshKeyStates()
{
    keyboard_.ResetHover(bindings_.BoundNames());
}

void TKorvaneForm::RefreshHover()
{
    if (loading_ || env_ == nullptr)
        return;
    const QPoint cursor = QCursor::pos();
    const POINT point = KeyboardAreaImage->ScreenToClient(POINT{cursor.x(), cursor.y()});
    if (bindings_.MouseMove(point.x, point.y))
        KeyboardAreaImage->SetTag(1);
}

void TKorvaneForm::DrawKeyboard()
{
    if (env_ == nullptr || keyboardBackground_ == nullptr)
        return;
    TDVContext* mode = bindings_.Mode();
    const RiffStruct* record = CurrentRecord();
    OnScreenKeyboard::TDrawInput input;
    input.background = keyboardBackground_->Bitmap();
    input.boundNames = mode != nullptr ? &bindings_.BoundNames() : nullptr;
    input.riffOfKey = [this](const std::string& key) { return bindings_.RiffForKey(key); };
    input.mode = mode;
    input.currentRiff = record != nullptr ? record->riffName : std::string();
    input.skinNames = &keySkinNames_;
    input.skins = &keySkins_;
    keyboard_.DrawKeys(*KeyboardAreaImage->Canvas(), input);
    KeyboardAreaImage->Repaint();
}

void TKorvaneForm::SetModifierKeysFromShift(TShiftState shift)
{
    keyboard_.SetModifierKeysFromShift(shift);
    bindings_.Build(shift);
}

void TKorvaneForm::StepBindingSet(int step)
{
    keyboard_.StepBindingSet(step);
    bindings_.Build(keyboard_.GetShiftFromModifierKeys());
}

void TKorvaneForm::LatchSoundingKey()
{
    bindings_.LatchSoundingKey();
}
