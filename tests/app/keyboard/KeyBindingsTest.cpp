// The key road's binding sets and held keys, driven like the main window drives them, with the
// window's side recorded.
#include "app/AppTestSupport.h"
#include "app/keyboard/KeyBindings.h"
#include "app/keyboard/OnScreenKeyboard.h"
#include "platform/ui/VirtualKeys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Keys Q, W, E, A, S, the slim riff key P and the three slim modifiers; one mode whose sets bind
// Q/W/E/P (INITIAL_), A/S (SHIFT_) and Q (ALT_).
const char* const kConfig = R"(context keyboard
	context key[]
		string Caption=""
		integer left=0
		integer top=0
		integer width=40
		integer height=40
		integer scan_code=0
		bool slim=0
		string skin="none"
		string state="initial"
	endcontext
endcontext
keyboard.key[Q] {
	left=0
	scan_code=81
}
keyboard.key[W] {
	left=50
	scan_code=87
}
keyboard.key[E] {
	left=100
	scan_code=69
}
keyboard.key[A] {
	left=0
	top=50
	scan_code=65
}
keyboard.key[S] {
	left=50
	top=50
	scan_code=83
}
keyboard.key[P] {
	left=150
	scan_code=80
	slim=1
}
keyboard.key[SHIFT] {
	top=100
	scan_code=16
	slim=1
}
keyboard.key[CTRL] {
	left=50
	top=100
	scan_code=17
	slim=1
}
keyboard.key[ALT] {
	left=100
	top=100
	scan_code=18
	slim=1
}
context mode[]
	context toggle[]
		string bind[]=""
	endcontext
endcontext
mode[m] {
	toggle[INITIAL_].bind[Q]="a"
	toggle[INITIAL_].bind[W]="b"
	toggle[INITIAL_].bind[E]="c"
	toggle[INITIAL_].bind[P]="t"
	toggle[INITIAL_].bind[SHIFT]=""
	toggle[INITIAL_].bind[CTRL]=""
	toggle[INITIAL_].bind[ALT]=""
	toggle[SHIFT_].bind[A]="d"
	toggle[SHIFT_].bind[S]="e"
	toggle[SHIFT_].bind[Q]=""
	toggle[SHIFT_].bind[SHIFT]=""
	toggle[SHIFT_].bind[CTRL]=""
	toggle[SHIFT_].bind[ALT]=""
	toggle[ALT_].bind[Q]="f"
	toggle[ALT_].bind[SHIFT]=""
	toggle[ALT_].bind[CTRL]=""
	toggle[ALT_].bind[ALT]=""
}
)";

class KeyBindingsRoad : public ::testing::Test {
protected:
    KeyBindingsRoad()
    {
        LoadText(root, kConfig);
        keyboard.LoadLayout(&root);
        bindings.SetMode(root.GetContextByID("mode[#]", "m"));
        KeyBindings::THost host;
        host.triggerRiff = [this](const std::string& riff, TShiftState) { log.push_back("start " + riff); };
        host.stopRiff = [this](const std::string& riff) { log.push_back("stop " + riff); };
        host.hotKeyDown = [this](std::uint16_t& key, TShiftState) { log.push_back("hot " + std::to_string(key)); };
        bindings.SetHost(host);
        bindings.Build(0);
    }

    void Down(std::uint16_t key, TShiftState shift = 0) { bindings.KeyDown(key, shift); }
    void Up(std::uint16_t key, TShiftState shift = 0) { bindings.KeyUp(key, shift); }
    // Feeds an event the way the window does: through the platform's key routing.
    void Route(const TKeyEventData& event)
    {
        const TKeyRoute route = RouteKeyEvent(event);
        if (route.action == TKeyAction::KeyDown)
            Down(route.key, route.shift);
        else if (route.action == TKeyAction::KeyUp)
            Up(route.key, route.shift);
    }
    [[nodiscard]] std::vector<std::uint16_t> Held() const
    {
        std::vector<std::uint16_t> codes;
        for (const auto& k : bindings.HeldKeys())
            codes.push_back(k.code);
        return codes;
    }

    TDVContext root;
    OnScreenKeyboard keyboard;
    KeyBindings bindings{keyboard};
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

TEST(KeyBindingsSets, SetNameAltWinsOverShift)
{
    EXPECT_EQ(KeyBindings::SetName(0), "INITIAL_");
    EXPECT_EQ(KeyBindings::SetName(ssCtrl), "INITIAL_");
    EXPECT_EQ(KeyBindings::SetName(ssShift), "SHIFT_");
    EXPECT_EQ(KeyBindings::SetName(ssAlt), "ALT_");
    EXPECT_EQ(KeyBindings::SetName(ssShift | ssAlt | ssCtrl), "ALT_");
}

TEST_F(KeyBindingsRoad, BuildListsTheSetsKeysWithTheirCodes)
{
    EXPECT_EQ(bindings.ActiveSetName(), "INITIAL_");
    EXPECT_EQ(bindings.BoundNames().Lines(), (std::vector<std::string>{"Q", "W", "E", "P", "SHIFT", "CTRL", "ALT"}));
    EXPECT_EQ(bindings.BoundCodes(), (std::vector<int>{81, 87, 69, 80, 16, 17, 18}));
    EXPECT_EQ(bindings.RiffForKey("W"), "b");
    EXPECT_EQ(bindings.RiffForKey("A"), "") << "a key outside the set";
    EXPECT_EQ(bindings.RiffOfKey(7), "") << "past the end of the list";
    EXPECT_EQ(bindings.IndexOfCode(69), 2);
    EXPECT_EQ(bindings.IndexOfCode(65), -1);
}

TEST_F(KeyBindingsRoad, OnScreenModifiersChooseTheSet)
{
    keyboard.SetState("SHIFT", "pressed");
    bindings.Build(0);
    EXPECT_EQ(bindings.ActiveSetName(), "SHIFT_");
    keyboard.SetState("ALT", "pressed");
    bindings.Build(0);
    EXPECT_EQ(bindings.ActiveSetName(), "ALT_");
    EXPECT_EQ(bindings.RiffForKey("Q"), "f");
}

TEST_F(KeyBindingsRoad, ModeWithoutTheSetBindsNothing)
{
    TDVContext other;
    LoadText(other, "context mode[]\n\tcontext toggle[]\n\t\tstring bind[]=\"\"\n\tendcontext\nendcontext\n"
                    "mode[x] {\n\ttoggle[SHIFT_].bind[Q]=\"a\"\n}\n");
    bindings.SetMode(other.GetContextByID("mode[#]", "x"));
    bindings.Build(0);
    EXPECT_EQ(bindings.BindingSet(), nullptr);
    EXPECT_EQ(bindings.BoundNames().Count(), 0);
    Down('Q');
    EXPECT_EQ(log, (Log{"hot 81"}));
}

TEST_F(KeyBindingsRoad, ShiftAndAltHeldSelectTheAltSet)
{
    Down('Q', ssShift | ssAlt);
    EXPECT_EQ(bindings.ActiveSetName(), "ALT_");
    EXPECT_EQ(log, (Log{"start f"}));
    EXPECT_EQ(keyboard.State("Q"), "pressed");
}

TEST_F(KeyBindingsRoad, SecondKeyWhileTheFirstIsHeldStopsTheFirst)
{
    Down('Q');
    Down('W');
    EXPECT_EQ(log, (Log{"start a", "stop a", "start b"}));
    EXPECT_EQ(Held(), (std::vector<std::uint16_t>{'W'}));
    EXPECT_EQ(keyboard.State("Q"), "initial");
    Up('W');
    EXPECT_EQ(log.back(), "stop b");
    EXPECT_TRUE(bindings.HeldKeys().empty());
    EXPECT_EQ(bindings.SoundingKey(), "");
}

TEST_F(KeyBindingsRoad, X11AutoRepeatTriggersOnce)
{
    TKeyEventData e;
    e.toolkitKey = 'Q';
    e.nativeScanCode = 24;
    e.nativeKeySym = 'q';
    Route(e);
    for (int i = 0; i < 3; ++i) {
        TKeyEventData release = e;
        release.press = false;
        release.autoRepeat = true;
        Route(release);
        TKeyEventData press = e;
        press.autoRepeat = true;
        Route(press);
    }
    TKeyEventData last = e;
    last.press = false;
    Route(last);
    EXPECT_EQ(log, (Log{"start a", "stop a"}));
}

TEST_F(KeyBindingsRoad, KeyOutsideTheSetGoesToTheHotKeys)
{
    Down(VK_F1);
    EXPECT_EQ(log, (Log{"hot 112"}));
    EXPECT_TRUE(bindings.HeldKeys().empty());
    Up(VK_F1);
    EXPECT_EQ(log, (Log{"hot 112"})) << "a hot key's release is no riff release";
}

TEST_F(KeyBindingsRoad, UnboundKeyOnlyChangesItsLook)
{
    keyboard.SetState("SHIFT", "pressed");
    bindings.Build(0);
    Down('Q');  // bound to "" in SHIFT_
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(keyboard.State("Q"), "pressed");
    Up('Q');
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(keyboard.State("Q"), "initial");
}

TEST_F(KeyBindingsRoad, LosingFocusReleasesEveryHeldKey)
{
    Down(VK_SHIFT, ssShift);
    EXPECT_EQ(keyboard.State("SHIFT"), "pressed") << "the physical Shift presses the on-screen one";
    Down('A', ssShift);
    EXPECT_EQ(Held(), (std::vector<std::uint16_t>{VK_SHIFT, 'A'})) << "modifier keys stay held";
    bindings.ReleaseAll();
    EXPECT_EQ(log, (Log{"start d", "stop d"}));
    EXPECT_TRUE(bindings.HeldKeys().empty());
    EXPECT_EQ(keyboard.State("SHIFT"), "initial");
    EXPECT_EQ(keyboard.State("A"), "initial");
}

TEST_F(KeyBindingsRoad, ReleaseStopsTheRiffTheKeyStartedAfterTheSetChanged)
{
    Down('Q');
    // The on-screen ALT is clicked while Q stays down: Q now binds "f".
    keyboard.SetState("ALT", "pressed");
    bindings.Rebuild();
    ASSERT_EQ(bindings.RiffForKey("Q"), "f");
    Up('Q');
    EXPECT_EQ(log, (Log{"start a", "stop a"}));
}

TEST_F(KeyBindingsRoad, ShiftPressedWhileAKeyIsHeldStopsThatKeysRiff)
{
    Down('Q');
    Down(VK_SHIFT, ssShift);  // SHIFT_ binds Q to nothing
    EXPECT_EQ(log, (Log{"start a", "stop a"}));
    EXPECT_EQ(bindings.ActiveSetName(), "SHIFT_");
    Up('Q', ssShift);
    EXPECT_EQ(log, (Log{"start a", "stop a"})) << "the key was released once";
    Up(VK_SHIFT, 0);
    EXPECT_EQ(bindings.ActiveSetName(), "INITIAL_");
    EXPECT_EQ(keyboard.State("SHIFT"), "initial");
}

TEST_F(KeyBindingsRoad, KeyUpEndsOnlyWhatItsPressStarted)
{
    // A click on W ends the held Q's riff; Q's key-up arrives while the mouse still holds W.
    Down('Q');
    bindings.MouseDown(60, 10);
    Up('Q');
    EXPECT_EQ(bindings.SoundingKey(), "W");
    EXPECT_EQ(keyboard.State("W"), "pressed");
    bindings.MouseUp();
    EXPECT_EQ(log, (Log{"start a", "stop a", "start b", "stop b"}));
    EXPECT_EQ(keyboard.State("W"), "initial");

    // Shift goes up while the mouse holds A of the Shift set.
    log.clear();
    Down(VK_SHIFT, ssShift);
    bindings.MouseDown(5, 55);
    Up(VK_SHIFT, 0);
    EXPECT_EQ(bindings.SoundingKey(), "A");
    bindings.MouseUp();
    EXPECT_EQ(log, (Log{"start d", "stop d"}));
    EXPECT_EQ(keyboard.State("A"), "initial");
    EXPECT_EQ(keyboard.State("SHIFT"), "initial");
}

TEST_F(KeyBindingsRoad, LatchedKeyKeepsSoundingUntilTheNextPress)
{
    Down('Q');
    bindings.SetLatchedKey("Q");
    Up('Q');
    EXPECT_EQ(log, (Log{"start a"}));
    EXPECT_TRUE(bindings.HeldKeys().empty());
    Down('W');
    EXPECT_EQ(log, (Log{"start a", "stop a", "start b"}));
    EXPECT_EQ(bindings.LatchedKey(), "");

    // The latched key itself pressed again: it starts over and its key-up ends it.
    bindings.SetLatchedKey("W");
    Up('W');
    Down('W');
    Up('W');
    EXPECT_EQ(log, (Log{"start a", "stop a", "start b", "stop b", "start b", "stop b"}));
    EXPECT_EQ(keyboard.State("W"), "initial");
    EXPECT_EQ(bindings.SoundingKey(), "");
}

TEST_F(KeyBindingsRoad, ShiftThatBindsARiffKeepsItWhileDownAndShowsOnlyWhatItsPressStarted)
{
    root.SetString("mode[m].toggle[SHIFT_].bind[SHIFT]", "g");
    Down(VK_SHIFT, ssShift);
    ASSERT_EQ(log, (Log{"start g"}));
    // Another window takes the keyboard while Shift stays down.
    bindings.ReleaseHeld(ssShift);
    EXPECT_EQ(log, (Log{"start g"})) << "the modifier still down keeps its riff";
    EXPECT_EQ(Held(), (std::vector<std::uint16_t>{VK_SHIFT}));
    Up(VK_SHIFT, 0);
    EXPECT_EQ(log, (Log{"start g", "stop g"}));

    // Shift pressed in the other window: its riff never started, so its key shows nothing.
    bindings.ReleaseHeld(ssShift);
    EXPECT_EQ(bindings.ActiveSetName(), "SHIFT_");
    EXPECT_EQ(keyboard.State("SHIFT"), "initial");
    EXPECT_TRUE(bindings.HeldKeys().empty());
    EXPECT_EQ(log, (Log{"start g", "stop g"}));
}

TEST_F(KeyBindingsRoad, SlimOnScreenKeyToggles)
{
    // P is at (150, 0); a click presses it and the mouse-up keeps it sounding.
    bindings.MouseDown(160, 10);
    bindings.MouseUp();
    EXPECT_EQ(log, (Log{"start t"}));
    EXPECT_EQ(keyboard.State("P"), "pressed");
    bindings.MouseDown(160, 10);
    bindings.MouseUp();
    EXPECT_EQ(log, (Log{"start t", "stop t"}));
    EXPECT_EQ(keyboard.State("P"), "initial");
}

TEST_F(KeyBindingsRoad, ClickOnAnOnScreenModifierSwitchesTheSet)
{
    bindings.MouseDown(5, 105);  // SHIFT
    bindings.MouseUp();
    EXPECT_EQ(bindings.ActiveSetName(), "SHIFT_");
    bindings.MouseDown(5, 55);  // A
    EXPECT_EQ(log, (Log{"start d"}));
    bindings.MouseUp();
    EXPECT_EQ(log, (Log{"start d", "stop d"}));
    EXPECT_EQ(keyboard.State("SHIFT"), "pressed") << "a slim key stays down";
    bindings.MouseDown(5, 105);
    EXPECT_EQ(bindings.ActiveSetName(), "INITIAL_");
}

TEST_F(KeyBindingsRoad, HoverShowsTheKeysRiffAndLeavingShowsTheCurrentOne)
{
    std::vector<std::string> shown;
    KeyBindings::THost host;
    host.showRiff = [&](const std::string& riff) { shown.push_back(riff); };
    host.showCurrentRiff = [&] { shown.push_back("current"); };
    bindings.SetHost(host);
    EXPECT_TRUE(bindings.MouseMove(60, 10));
    EXPECT_EQ(keyboard.State("W"), "mouse");
    EXPECT_TRUE(bindings.MouseMove(61, 11));
    EXPECT_TRUE(bindings.MouseMove(300, 300));
    EXPECT_EQ(keyboard.State("W"), "initial");
    EXPECT_TRUE(bindings.MouseMove(301, 300));
    EXPECT_EQ(shown, (std::vector<std::string>{"b", "current"}));
    bindings.MouseDown(5, 5);
    EXPECT_FALSE(bindings.MouseMove(60, 10)) << "no hover while a key sounds";
}

} // namespace
