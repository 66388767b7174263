// The on-screen keyboard: keys and colour schemes from the configuration, the on-screen modifier
// keys, hover, and the drawing of the active binding set.
#include "app/AppTestSupport.h"
#include "app/keyboard/OnScreenKeyboard.h"
#include "platform/ui/ApplicationInstance.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TCanvas.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kConfig = R"(context keyboard
	string key_skins[]=""
	context key[]
		string Caption=""
		integer left=0
		integer top=0
		integer width=30
		integer height=20
		integer scan_code=0
		bool slim=0
		string skin="none"
		string state="initial"
	endcontext
endcontext
keyboard.key_skins[1]="Dot"
keyboard.key[Q] {
	left=10
	top=10
	scan_code=81
	skin="Dot"
}
keyboard.key[W] {
	Caption="W"
	left=50
	top=10
	scan_code=87
	state="pressed"
}
keyboard.key[E] {
	left=90
	top=10
	scan_code=69
}
keyboard.key[SHIFT] {
	left=10
	top=40
	scan_code=16
	slim=1
}
keyboard.key[CTRL] {
	left=50
	top=40
	scan_code=17
	slim=1
}
keyboard.key[ALT] {
	left=90
	top=40
	scan_code=18
	slim=1
}
keyboard.key[Q] {
	left=10
	top=10
	width=30
	scan_code=81
	skin="Dot"
}
context color_schemes[]
	context initial
		integer fill_color[3]
		integer edge_color[3]
		integer caption_color[3]
		integer edge_width=1
	endcontext
	context mouse
		integer fill_color[3]
		integer edge_color[3]
		integer caption_color[3]
		integer edge_width=1
	endcontext
	context pressed
		integer fill_color[3]
		integer edge_color[3]
		integer caption_color[3]
		integer edge_width=1
	endcontext
endcontext
color_schemes[lead] {
	initial.fill_color=10,20,30
	initial.edge_color=0,0,255
	initial.caption_color=1,2,3
	mouse.fill_color=40,50,60
	mouse.edge_color=0,255,0
	mouse.caption_color=4,5,6
	mouse.edge_width=2
	pressed.fill_color=70,80,90
	pressed.edge_color=0,128,0
	pressed.caption_color=7,8,9
	pressed.edge_width=3
}
color_schemes[neutral] {
	initial.fill_color=5,5,5
}
context mode[]
	context riff[]
		string color_scheme="neutral"
	endcontext
endcontext
mode[m] {
	riff[a].color_scheme="lead"
	riff[b].color_scheme="lead"
}
)";

constexpr TColor Rgb(int r, int g, int b) { return r | g << 8 | b << 16; }

class OnScreenKeyboardTest : public ::testing::Test {
protected:
    OnScreenKeyboardTest()
    {
        LoadText(root, kConfig);
        keyboard.LoadLayout(&root);
        keyboard.LoadColorSchemes(&root);
    }

    TDVContext root;
    OnScreenKeyboard keyboard;
};

TEST_F(OnScreenKeyboardTest, LoadsEveryKeyWithItsFields)
{
    ASSERT_EQ(keyboard.Keys().size(), 6u) << "a later entry of the same name replaces the earlier";
    const TKBButton* w = keyboard.Find("W");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->name, "W");
    EXPECT_EQ(w->Caption, "W");
    EXPECT_EQ(w->left, 50);
    EXPECT_EQ(w->top, 10);
    EXPECT_EQ(w->width, 30);
    EXPECT_EQ(w->height, 20);
    EXPECT_EQ(w->scan_code, 87);
    EXPECT_FALSE(w->slim);
    EXPECT_EQ(w->skin, "none");
    EXPECT_EQ(w->state, "pressed");
    EXPECT_TRUE(keyboard.Find("SHIFT")->slim);
    EXPECT_EQ(keyboard.Find("missing"), nullptr);
    EXPECT_EQ(keyboard.State("missing"), "");
}

TEST_F(OnScreenKeyboardTest, SchemeColoursAreRedGreenBlueBytes)
{
    ASSERT_EQ(keyboard.Schemes().size(), 2u);
    const TKBColSch& lead = keyboard.Scheme("lead");
    EXPECT_EQ(lead.states[0].fill, Rgb(10, 20, 30));
    EXPECT_EQ(lead.states[0].edge, Rgb(0, 0, 255));
    EXPECT_EQ(lead.states[1].caption, Rgb(4, 5, 6));
    EXPECT_EQ(lead.states[1].edgeWidth, 2);
    EXPECT_EQ(lead.states[2].fill, Rgb(70, 80, 90));
    EXPECT_EQ(lead.states[2].edgeWidth, 3);
}

TEST_F(OnScreenKeyboardTest, UnknownStatesDrawAsPressedAndUnknownSchemesAsDefault)
{
    const TKBColSch& lead = keyboard.Scheme("lead");
    EXPECT_EQ(&lead.ForState("initial"), &lead.states[0]);
    EXPECT_EQ(&lead.ForState("mouse"), &lead.states[1]);
    EXPECT_EQ(&lead.ForState("pressed"), &lead.states[2]);
    EXPECT_EQ(&lead.ForState("sticky"), &lead.states[2]);
    EXPECT_EQ(keyboard.Scheme("undefined").states[0].fill, TKBColSch{}.states[0].fill);
}

TEST_F(OnScreenKeyboardTest, ModifierKeysGiveTheShiftStateAndSetIndex)
{
    EXPECT_EQ(keyboard.GetShiftFromModifierKeys(), 0u);
    EXPECT_EQ(keyboard.GetBindingSetIndex(), 0);
    keyboard.SetModifierKeysFromShift(ssShift | ssCtrl);
    EXPECT_EQ(keyboard.State("SHIFT"), "pressed");
    EXPECT_EQ(keyboard.State("CTRL"), "pressed");
    EXPECT_EQ(keyboard.State("ALT"), "initial");
    EXPECT_EQ(keyboard.GetShiftFromModifierKeys(), ssShift | ssCtrl);
    EXPECT_EQ(keyboard.GetBindingSetIndex(), 1);
    keyboard.SetModifierKeysFromShift(ssShift | ssAlt);
    EXPECT_EQ(keyboard.GetBindingSetIndex(), 2) << "Alt wins";
}

TEST_F(OnScreenKeyboardTest, SteppingTheSetWrapsAndLeavesCtrl)
{
    keyboard.SetState("CTRL", "pressed");
    keyboard.StepBindingSet(-1);
    EXPECT_EQ(keyboard.GetBindingSetIndex(), 2) << "back from the initial set is the ALT set";
    keyboard.StepBindingSet(+1);
    EXPECT_EQ(keyboard.GetBindingSetIndex(), 0) << "forward from the ALT set is the initial set";
    keyboard.StepBindingSet(+1);
    EXPECT_EQ(keyboard.GetBindingSetIndex(), 1);
    keyboard.StepBindingSet(+1);
    EXPECT_EQ(keyboard.GetBindingSetIndex(), 2);
    keyboard.StepBindingSet(-1);
    EXPECT_EQ(keyboard.GetBindingSetIndex(), 1);
    EXPECT_EQ(keyboard.State("CTRL"), "pressed");
}

TEST_F(OnScreenKeyboardTest, KeyAtPointIncludesTheEdgesAndFollowsTheNames)
{
    const TStringList names{"Q", "W"};
    EXPECT_EQ(keyboard.KeyAtPoint(names, 10, 10), "Q");
    EXPECT_EQ(keyboard.KeyAtPoint(names, 40, 30), "Q");
    EXPECT_EQ(keyboard.KeyAtPoint(names, 41, 30), "");
    EXPECT_EQ(keyboard.KeyAtPoint(names, 95, 15), "") << "E is not in the names";
    EXPECT_EQ(keyboard.KeyAtPoint(names, -10, -10), "");
}

TEST_F(OnScreenKeyboardTest, HoverMarksTheKeyUnderThePointerOnce)
{
    const TStringList names{"Q", "W", "E"};
    EXPECT_EQ(keyboard.HoverAt(names, 15, 15), OnScreenKeyboard::THover::Entered);
    EXPECT_EQ(keyboard.State("Q"), "mouse");
    EXPECT_EQ(keyboard.HoverAt(names, 16, 15), OnScreenKeyboard::THover::Unchanged);
    EXPECT_EQ(keyboard.HoverAt(names, 55, 15), OnScreenKeyboard::THover::Entered);
    EXPECT_EQ(keyboard.State("Q"), "initial");
    EXPECT_EQ(keyboard.State("W"), "pressed") << "a pressed key keeps its look under the mouse";
    EXPECT_EQ(keyboard.HoverAt(names, -10, -10), OnScreenKeyboard::THover::Left);
    EXPECT_EQ(keyboard.HoveredKey(), "");
    EXPECT_EQ(keyboard.HoverAt(names, -10, -10), OnScreenKeyboard::THover::Unchanged) << "leaving twice does nothing";
}

TEST_F(OnScreenKeyboardTest, ResetHoverReturnsKeysButModifiersToInitial)
{
    const TStringList names{"Q", "W", "SHIFT"};
    keyboard.SetState("SHIFT", "pressed");
    EXPECT_FALSE(keyboard.ResetHover(names)) << "nothing hovered: nothing changes";
    EXPECT_EQ(keyboard.State("W"), "pressed");
    ASSERT_EQ(keyboard.HoverAt(names, 15, 15), OnScreenKeyboard::THover::Entered);
    EXPECT_TRUE(keyboard.ResetHover(names));
    EXPECT_EQ(keyboard.State("Q"), "initial");
    EXPECT_EQ(keyboard.State("W"), "initial");
    EXPECT_EQ(keyboard.State("SHIFT"), "pressed");
    EXPECT_EQ(keyboard.HoveredKey(), "");
}

class OnScreenKeyboardDrawing : public OnScreenKeyboardTest {
protected:
    OnScreenKeyboardDrawing()
    {
        EnsureApplication();
        image.SetSize(140, 70);
        background.SetSize(140, 70);
        background.Canvas()->Brush()->SetColor(kBackground);
        background.Canvas()->FillRect(TRect{0, 0, 140, 70});
        auto dot = std::make_unique<TBitmap>();
        dot->SetSize(6, 6);
        dot->Canvas()->Brush()->SetColor(clWhite);
        dot->Canvas()->FillRect(TRect{0, 0, 6, 6});
        dot->Canvas()->SetPixels(4, 4, kDot);
        skins.push_back(std::move(dot));
        skinNames.Add("Dot");
        names = TStringList{"Q", "W", "SHIFT"};
        input.background = &background;
        input.boundNames = &names;
        input.riffOfKey = [](const std::string& key) { return key == "Q" ? "a" : key == "W" ? "b" : ""; };
        input.mode = root.GetContextByID("mode[#]", "m");
        input.skinNames = &skinNames;
        input.skins = &skins;
    }

    TColor Pixel(int x, int y) { return image.Canvas()->Pixels(x, y); }
    void Draw() { keyboard.DrawKeys(*image.Canvas(), input); }

    static constexpr TColor kBackground = 0x123456;
    static constexpr TColor kDot = 0x0000AA;
    TBitmap image;
    TBitmap background;
    std::vector<std::unique_ptr<TBitmap>> skins;
    TStringList skinNames;
    TStringList names;
    OnScreenKeyboard::TDrawInput input;
};

TEST_F(OnScreenKeyboardDrawing, KeysTakeTheColoursOfTheirStateInTheirRiffsScheme)
{
    Draw();
    EXPECT_EQ(Pixel(20, 25), Rgb(10, 20, 30)) << "Q initial fill";
    EXPECT_EQ(Pixel(10, 20), Rgb(0, 0, 255)) << "Q initial edge";
    EXPECT_EQ(Pixel(52, 25), Rgb(70, 80, 90)) << "W pressed fill";
    EXPECT_EQ(Pixel(50, 20), Rgb(0, 128, 0)) << "W pressed edge";
    EXPECT_EQ(Pixel(20, 50), Rgb(5, 5, 5)) << "SHIFT has no riff: the riff list's default scheme";
    EXPECT_EQ(Pixel(100, 20), kBackground) << "E is not in the set: only the background";
    EXPECT_EQ(Pixel(135, 65), kBackground);
}

TEST_F(OnScreenKeyboardDrawing, KeyOfARiffTheModeLacksTakesTheDefaultScheme)
{
    input.riffOfKey = [](const std::string&) { return std::string("gone"); };
    Draw();
    EXPECT_EQ(Pixel(20, 25), Rgb(5, 5, 5));
}

TEST_F(OnScreenKeyboardDrawing, HoverAndUnknownStatesChangeTheColours)
{
    keyboard.SetState("Q", "mouse");
    keyboard.SetState("W", "sticky");
    Draw();
    EXPECT_EQ(Pixel(20, 25), Rgb(40, 50, 60));
    EXPECT_EQ(Pixel(52, 25), Rgb(70, 80, 90));
}

TEST_F(OnScreenKeyboardDrawing, CurrentRiffsKeyIsOutlinedInRedOnePixelLarger)
{
    Draw();
    EXPECT_EQ(Pixel(9, 20), kBackground);
    EXPECT_EQ(Pixel(40, 20), kBackground);
    input.currentRiff = "a";
    Draw();
    EXPECT_EQ(Pixel(9, 20), clRed);
    EXPECT_EQ(Pixel(40, 20), clRed);
    EXPECT_EQ(Pixel(20, 25), Rgb(10, 20, 30));
    EXPECT_EQ(Pixel(50, 20), Rgb(0, 128, 0)) << "other keys keep their edge";
}

TEST_F(OnScreenKeyboardDrawing, SkinIsDrawnWithWhiteTransparentOnlyForKnownSkins)
{
    Draw();
    EXPECT_EQ(Pixel(14, 14), kDot) << "Q's skin at its top left";
    EXPECT_EQ(Pixel(12, 12), Rgb(10, 20, 30)) << "white leaves the fill";
    EXPECT_EQ(Pixel(54, 14), Rgb(70, 80, 90)) << "W's skin \"none\" draws no picture";
}

TEST_F(OnScreenKeyboardDrawing, CaptionIsDrawnInTheCaptionColourCentred)
{
    Draw();
    int inked = 0;
    int inCaptionColour = 0;
    int left = 1000;
    int right = -1;
    for (int y = 10; y < 30; ++y)
        for (int x = 50; x < 80; ++x)
            if (Pixel(x, y) != Rgb(70, 80, 90) && Pixel(x, y) != Rgb(0, 128, 0)) {
                ++inked;
                inCaptionColour += Pixel(x, y) == Rgb(7, 8, 9) ? 1 : 0;
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GT(inked, 0);
    EXPECT_GT(inCaptionColour, 0);
    EXPECT_NEAR((left + right) / 2.0, 65.0, 2.0);
}

TEST_F(OnScreenKeyboardDrawing, NoBoundNamesDrawsOnlyTheBackground)
{
    input.boundNames = nullptr;
    Draw();
    EXPECT_EQ(Pixel(20, 25), kBackground);
}

} // namespace
