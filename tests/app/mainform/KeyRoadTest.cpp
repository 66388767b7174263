// The main window's key road on content made in the test: keys and clicks start and stop riffs
// through the binding sets, the scene's and the player's notifications become environment
// events, clips, and the riff navigation.
#include "app/KorvaneFormTestContent.h"

#include "app/mainform/KorvaneShared.h"
#include "app/game/TFretboardObj.h"
#include "config/TDVContext.h"
#include "controls/THVPanel.h"
#include "platform/ui/ControlsInternal.h"
#include "platform/ui/EventBridge.h"
#include "platform/drawing/TCanvas.h"
#include "platform/ui/TImage.h"
#include "sound/midi/Player.h"
#include "sound/TWaveScene.h"

namespace {

using korvane_test::EventLog;
using korvane_test::FormTest;
using korvane_test::SendKey;

class KeyRoad : public FormTest {
protected:
    TKorvaneForm& StartWithLog()
    {
        TKorvaneForm& f = Start();
        EXPECT_TRUE(ui->boxes.empty());
        log = &korvane_test::AttachEventLog(f);
        return f;
    }
    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool repeat = false)
    {
        SendKey(form.get(), true, key, modifiers, repeat);
    }
    void Release(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool repeat = false)
    {
        SendKey(form.get(), false, key, modifiers, repeat);
    }
    void Report(std::uint32_t packed)
    {
        TMessage message{WM_MIDI_EVENT, 0, LPARAM(packed), 0};
        form->Dispatch(message);
    }
    bool WaitForMidi(int ms = kEventDeadlineMs)
    {
        return korvane_test::PumpUntil([this] { return form->MidiPlayer()->IsPlaying(); }, ms);
    }

    EventLog* log = nullptr;
};

QRgb TColorToRgb(TColor c)
{
    return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)) & 0xFFFFFF;
}

std::uint32_t Short(std::uint8_t status, std::uint8_t d1, std::uint8_t d2)
{
    return std::uint32_t(status) | std::uint32_t(d1) << 8 | std::uint32_t(d2) << 16;
}

TEST_F(KeyRoad, BoundKeyStartsItsRiffAndItsReleaseStopsIt)
{
    TKorvaneForm& f = StartWithLog();
    Press(Qt::Key_Q);
    EXPECT_EQ(f.SoundingRiff(), "b2");
    EXPECT_TRUE(WaveScene.IsInstancePlaying("b2"));
    EXPECT_EQ(f.Keyboard().State("Q"), "pressed");
    EXPECT_NE(log->Find("SHOWRIFF:b2"), -1);
    // The scene's start notification schedules the riff's MIDI.
    EXPECT_TRUE(WaitForMidi());

    Release(Qt::Key_Q);
    EXPECT_EQ(f.Keyboard().State("Q"), "initial");
    EXPECT_NE(log->Find("STOPRIFF:b2"), -1);
    EXPECT_GE(log->Count("MIDIOFF"), 1);
    EXPECT_FALSE(f.MidiPlayer()->IsPlaying());
    EXPECT_TRUE(f.Bindings().HeldKeys().empty());
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(KeyRoad, SecondKeyWhileTheFirstIsHeldStopsTheFirst)
{
    TKorvaneForm& f = StartWithLog();
    Press(Qt::Key_Q);
    Press(Qt::Key_W);
    const int stop = log->Find("STOPRIFF:b2");
    ASSERT_NE(stop, -1);
    EXPECT_NE(log->Find("SHOWRIFF:b1", stop), -1) << "the first riff stops before the second shows";
    EXPECT_EQ(f.SoundingRiff(), "b1");
    EXPECT_EQ(f.Keyboard().State("Q"), "initial");
    EXPECT_EQ(f.Keyboard().State("W"), "pressed");
    ASSERT_EQ(f.Bindings().HeldKeys().size(), 1u);
    EXPECT_EQ(f.Bindings().HeldKeys().front().name, "W");
}

TEST_F(KeyRoad, ShiftAndAltHeldTogetherSelectTheAltSet)
{
    TKorvaneForm& f = StartWithLog();
    Press(Qt::Key_W, Qt::ShiftModifier | Qt::AltModifier);
    EXPECT_EQ(f.Bindings().ActiveSetName(), "ALT_");
    EXPECT_EQ(f.SoundingRiff(), "b2");
}

TEST_F(KeyRoad, AutoRepeatSequenceTriggersOnce)
{
    // X11 repeats a held key as release and press pairs, both marked as repeats.
    TKorvaneForm& f = StartWithLog();
    Press(Qt::Key_Q);
    for (int i = 0; i < 3; ++i) {
        Release(Qt::Key_Q, Qt::NoModifier, true);
        Press(Qt::Key_Q, Qt::NoModifier, true);
    }
    EXPECT_EQ(log->Count("STOPRIFF:b2"), 0);
    Release(Qt::Key_Q);
    EXPECT_EQ(log->Count("SHOWRIFF:b2"), 1);
    EXPECT_EQ(log->Count("STOPRIFF:b2"), 1);
    EXPECT_EQ(f.History().Entries().size(), 1u);
}

TEST_F(KeyRoad, LosingTheFocusReleasesEveryHeldKey)
{
    TKorvaneForm& f = StartWithLog();
    Press(Qt::Key_Q);
    ASSERT_EQ(f.Bindings().HeldKeys().size(), 1u);
    QEvent deactivate(QEvent::ApplicationDeactivate);
    QCoreApplication::sendEvent(qApp, &deactivate);
    EXPECT_TRUE(f.Bindings().HeldKeys().empty());
    EXPECT_EQ(log->Count("STOPRIFF:b2"), 1);
    EXPECT_EQ(f.Keyboard().State("Q"), "initial");
}

TEST_F(KeyRoad, ClickDuringAHeldBackReleaseLeavesNoKeyStuck)
{
    // Q as the X server sends it (keycode and keysym): its release waits for a repeat's press.
    TKorvaneForm& f = StartWithLog();
    const auto sendQ = [&f](QEvent::Type type, quint64 time) {
        QKeyEvent event(type, Qt::Key_Q, Qt::NoModifier, 24, 0x71, 0);
        event.setTimestamp(time);
        QCoreApplication::sendEvent(&f, &event);
    };
    sendQ(QEvent::KeyPress, 100);
    sendQ(QEvent::KeyRelease, 200);
    ASSERT_EQ(f.Bindings().HeldKeys().size(), 1u) << "the release is held back";
    QWidget* keyboard = WidgetOf(f.KeyboardAreaImage);
    const auto sendMouse = [keyboard](QEvent::Type type, Qt::MouseButtons held) {
        const QPointF onW(70, 20);
        QMouseEvent event(type, onW, keyboard->mapToGlobal(onW), Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(keyboard, &event);
    };
    sendMouse(QEvent::MouseButtonPress, Qt::LeftButton);
    EXPECT_TRUE(f.Bindings().HeldKeys().empty()) << "Q's key-up came before the click";
    EXPECT_EQ(f.SoundingRiff(), "b1");
    // Had it not, its deadline brings it now, while the mouse holds W.
    ASSERT_TRUE(korvane_test::PumpUntil([&f] { return f.Bindings().HeldKeys().empty(); }, 20000));
    sendMouse(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_EQ(f.Keyboard().State("W"), "initial");
    EXPECT_EQ(f.Bindings().SoundingKey(), "");
    EXPECT_EQ(log->Count("STOPRIFF:b2"), 1);
    EXPECT_EQ(log->Count("STOPRIFF:b1"), 1);
}

TEST_F(KeyRoad, SlimOnScreenKeyTogglesOnTheSecondClick)
{
    TKorvaneForm& f = StartWithLog();
    auto click = [&] {
        f.KeyboardAreaImageMouseDown(nullptr, mbLeft, 0, 20, 110);
        f.KeyboardAreaImageMouseUp(nullptr, mbLeft, 0, 20, 110);
    };
    click();
    EXPECT_EQ(f.Keyboard().State("SHIFT"), "pressed");
    EXPECT_EQ(f.Bindings().ActiveSetName(), "SHIFT_");
    click();
    EXPECT_EQ(f.Keyboard().State("SHIFT"), "initial");
    EXPECT_EQ(f.Bindings().ActiveSetName(), "INITIAL_");
}

TEST_F(KeyRoad, HoverFollowsTheMouseAndLeavesOnceOffTheKeyboard)
{
    TKorvaneForm& f = StartWithLog();
    f.KeyboardAreaImageMouseMove(nullptr, 0, 20, 20);
    EXPECT_EQ(f.Keyboard().State("Q"), "mouse");
    EXPECT_EQ(f.KeyboardAreaImage->Tag(), 1);
    f.KeyboardAreaImageMouseMove(nullptr, 0, 70, 20);
    EXPECT_EQ(f.Keyboard().State("Q"), "initial");
    EXPECT_EQ(f.Keyboard().State("W"), "mouse");
    EXPECT_EQ(log->entries.back().name, "SHOWRIFF:b1") << "the hovered key's riff is shown";

    f.AnimationAreaImageMouseMove(nullptr, 0, 5, 5);
    EXPECT_EQ(f.Keyboard().State("W"), "initial");
    EXPECT_EQ(f.KeyboardAreaImage->Tag(), 0);
    EXPECT_EQ(log->entries.back().name, "SHOWRIFF:b2") << "the current riff is shown again";
    const std::size_t seen = log->entries.size();
    f.AnimationAreaImageMouseMove(nullptr, 0, 6, 6);
    EXPECT_EQ(log->entries.size(), seen) << "further moves do nothing";
}

TEST_F(KeyRoad, KeyboardImageShowsTheKeysOfTheActiveSetOnly)
{
    TKorvaneForm& f = StartWithLog();
    const QRgb background = korvane_test::SkinColor("KeyboardArea.png") & 0xFFFFFF;
    auto pixel = [&](int x, int y) { return TColorToRgb(f.KeyboardAreaImage->Canvas()->Pixels(x, y)); };
    EXPECT_NE(pixel(30, 25), background) << "Q is bound in the plain set";
    EXPECT_EQ(pixel(300, 150), background);
    EXPECT_EQ(pixel(130, 25), background) << "E belongs to the Shift set only";
    f.StepBindingSet(+1);
    f.DrawKeyboard();
    EXPECT_EQ(f.Bindings().ActiveSetName(), "SHIFT_");
    EXPECT_NE(pixel(130, 25), background);
    EXPECT_EQ(pixel(70, 25), background) << "W is not in the Shift set";
}

TEST_F(KeyRoad, CtrlStartsTheRiffAtTheNearerSubdivision)
{
    // Bars of 2000 ms in quarters of 500 ms; the mixer is held so the groove stands still.
    TKorvaneForm& f = StartWithLog();
    f.PlayButtonClick(f.PlayButton);
    WaveScene.Pause();
    WaveScene.SetInstancePositionMs("groove", 2300);
    Press(Qt::Key_W, Qt::ControlModifier);
    EXPECT_FLOAT_EQ(WaveScene.GetInstanceDelayMs("b1"), 200.0f) << "the next boundary is 200 ms ahead";
    Release(Qt::Key_W, Qt::ControlModifier);

    WaveScene.SetInstancePositionMs("groove", 2200);
    Press(Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(WaveScene.GetInstanceDelayMs("b1"), 0.0f);
    EXPECT_EQ(WaveScene.GetInstancePositionMs("b1", false), 200u)
        << "the boundary passed 200 ms ago: the riff starts that far in";
    Release(Qt::Key_W, Qt::ControlModifier);

    // A tie waits for the later boundary.
    WaveScene.SetInstancePositionMs("groove", 2250);
    Press(Qt::Key_W, Qt::ControlModifier);
    EXPECT_FLOAT_EQ(WaveScene.GetInstanceDelayMs("b1"), 250.0f);
}

TEST_F(KeyRoad, RiffTriggeredAgainDuringItsFadeGetsItsMidiAgain)
{
    TKorvaneForm& f = StartWithLog();
    Press(Qt::Key_Q);
    ASSERT_TRUE(WaitForMidi());
    Release(Qt::Key_Q);
    ASSERT_FALSE(f.MidiPlayer()->IsPlaying());
    ASSERT_TRUE(WaveScene.IsInstancePlaying("b2")) << "still fading out";
    Press(Qt::Key_Q);
    EXPECT_TRUE(f.MidiPlayer()->IsPlaying());
}

TEST_F(KeyRoad, UnreadableRiffMidiIsToldOnceAndItsRiffStops)
{
    content.Write("MIDI/blues02.mid", "not a MIDI file");
    TKorvaneForm& f = StartWithLog();
    std::vector<std::string> errors;
    const TExceptionSink before = SetExceptionSink([&](const std::string& text) { errors.push_back(text); });
    Press(Qt::Key_Q);
    EXPECT_TRUE(korvane_test::PumpUntil([&] { return !errors.empty(); }, kEventDeadlineMs));
    // The 1000 ms riff would start over twice here if it kept looping.
    korvane_test::PumpFor(2300);
    EXPECT_EQ(errors, std::vector<std::string>{"Error while loading Midi file: " + content.Dir() + "MIDI/blues02.mid."});
    EXPECT_FALSE(WaveScene.IsInstancePlaying("b2"));
    EXPECT_EQ(f.Keyboard().State("Q"), "initial");
    EXPECT_TRUE(f.Bindings().HeldKeys().empty()) << "the key-up went to the box";

    // Pressed again, the riff sounds without its displays and nothing more is told.
    Release(Qt::Key_Q);
    Press(Qt::Key_Q);
    EXPECT_TRUE(WaveScene.IsInstancePlaying("b2"));
    korvane_test::PumpFor(1300);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_TRUE(WaveScene.IsInstancePlaying("b2"));
    Release(Qt::Key_Q);
    SetExceptionSink(before);
}

TEST_F(KeyRoad, StartNotificationOfAnotherRiffLeavesTheCurrentMidiAlone)
{
    TKorvaneForm& f = StartWithLog();
    Press(Qt::Key_Q);
    ASSERT_TRUE(WaitForMidi());
    log->entries.clear();
    WaveScene.PushInstanceMessage("b1", 8);
    f.OnSceneMessage();
    EXPECT_EQ(log->Count("MIDIOFF"), 0);
    EXPECT_TRUE(f.MidiPlayer()->IsPlaying());
}

TEST_F(KeyRoad, ReportedMidiEventsBecomeEnvironmentEvents)
{
    TKorvaneForm& f = StartWithLog();
    ASSERT_EQ(_UpcomingSteps, 2);
    Report(Short(0x9A, 64, 100));
    Report(Short(0x9A, 64, 0));
    Report(Short(0x8B, 65, 0));
    Report(Short(0xBA, 85, 3));
    Report(Short(0xBA, 86, 67));
    Report(Short(0xBA, 87, 67));
    Report(Short(0xBA, 88, 67));  // past the upcoming steps
    f.Env()->ProcessEvents();
    std::vector<std::pair<std::string, std::int32_t>> seen;
    for (const EventLog::Entry& e : log->entries)
        seen.emplace_back(e.name, e.param);
    const std::vector<std::pair<std::string, std::int32_t>> expected = {
        {"NOTEON", 64 | 10 << 8},
        {"NOTEOFF", 64 | 10 << 8},
        {"NOTEOFF", 65 | 11 << 8},
        {"MIDICTRL", 3},
        {"UPC_NOTEON", TFretboardObj::UpcomingEventParam(0, 10, 67)},
        {"UPC_NOTEON", TFretboardObj::UpcomingEventParam(1, 10, 67)},
    };
    EXPECT_EQ(seen, expected);
}

TEST_F(KeyRoad, NextRiffWalksTheBoundKeysAcrossTheSets)
{
    TKorvaneForm& f = StartWithLog();
    ASSERT_EQ(f.CurrentRecord()->riffName, "b2");
    struct Step {
        const char* riff;
        TShiftState set;
    };
    const Step steps[] = {{"b1", 0}, {"b1", ssShift}, {"b2", ssAlt}, {"b2", 0}};
    for (const Step& step : steps) {
        f.NextRiffButtonClick(nullptr);
        EXPECT_EQ(f.CurrentRecord()->riffName, step.riff);
        EXPECT_EQ(f.CurrentRecord()->bindingSet, step.set) << step.riff;
        EXPECT_EQ(f.RiffLastShown(), step.riff);
    }
    // Back from the first key of the plain set: the last riff of the Alt set.
    f.PrevRiffButtonClick(nullptr);
    EXPECT_EQ(f.CurrentRecord()->riffName, "b2");
    EXPECT_EQ(f.CurrentRecord()->bindingSet, TShiftState(ssAlt));
    // A click event with the button as sender does nothing: the buttons act on mouse-down.
    f.NextRiffButtonClick(f.NextRiffButton);
    EXPECT_EQ(f.CurrentRecord()->bindingSet, TShiftState(ssAlt));
}

TEST_F(KeyRoad, HistoryGoesBackAndForwardWithoutRecording)
{
    TKorvaneForm& f = StartWithLog();
    Press(Qt::Key_Q);
    Release(Qt::Key_Q);
    Press(Qt::Key_W);
    Release(Qt::Key_W);
    ASSERT_EQ(f.History().Entries().size(), 2u);
    f.HistoryPrevRiffButtonClick(nullptr);
    EXPECT_EQ(f.CurrentRecord()->riffName, "b2");
    f.HistoryPrevRiffButtonClick(nullptr);
    EXPECT_EQ(f.CurrentRecord()->riffName, "b2");
    f.HistoryNextRiffButtonClick(nullptr);
    EXPECT_EQ(f.CurrentRecord()->riffName, "b1");
    EXPECT_EQ(f.History().Entries().size(), 2u);
}

TEST_F(KeyRoad, NoteGroupClipsStepForwardAndBackAroundTheRiff)
{
    // Step 0: groups of the riff's own MIDI (no "_sa" file): notes 0 and 40 ticks together, the
    // one at 480 ticks alone.
    TKorvaneForm& f = StartWithLog();
    f.PlayClipButtonClick(nullptr);
    ASSERT_EQ(f.Clips().Clips().size(), 2u);
    EXPECT_EQ(f.Clips().Clips()[0].startMs, 0);
    EXPECT_EQ(f.Clips().Clips()[0].endMs, 250);
    EXPECT_EQ(f.Clips().Clips()[1].startMs, 500);
    EXPECT_EQ(f.Clips().Current(), 0);
    EXPECT_TRUE(WaveScene.IsInstancePlaying("b2"));
    EXPECT_EQ(f.SoundingRiff(), "b2");
    f.NextClipButtonClick(nullptr);
    EXPECT_EQ(f.Clips().Current(), 1);
    f.NextClipButtonClick(nullptr);
    EXPECT_EQ(f.Clips().Current(), 0);
    f.PrevClipButtonClick(nullptr);
    EXPECT_EQ(f.Clips().Current(), 1);
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(KeyRoad, BarSliceClipsCutTheRiffIntoQuarterBars)
{
    TKorvaneForm& f = StartWithLog();
    f.SetStepAdvance(2);  // quarters of the 2000 ms bar
    f.PlayClipButtonClick(nullptr);
    ASSERT_EQ(f.Clips().Clips().size(), 2u);
    EXPECT_EQ(f.Clips().Clips()[0].startMs, 0);
    EXPECT_EQ(f.Clips().Clips()[0].endMs, 500);
    EXPECT_EQ(f.Clips().Clips()[1].endMs, 1000);
}

TEST_F(KeyRoad, ClipEndPostsItsRecordedEventsAgain)
{
    TKorvaneForm& f = StartWithLog();
    f.PlayClipButtonClick(nullptr);
    ASSERT_EQ(f.Clips().Current(), 0);
    Report(Short(0x9A, 64, 100));
    log->entries.clear();
    TMessage end{WM_MIDI_SCHEDULE_END, 0, 0, 0};
    f.Dispatch(end);
    ASSERT_EQ(log->entries.size(), 2u);
    EXPECT_EQ(log->entries[0].name, "MIDIOFF");
    EXPECT_EQ(log->entries[1].name, "NOTEON");
    EXPECT_EQ(log->entries[1].param, 64 | 10 << 8);
}

}  // namespace
