// Windows virtual-key codes from X11 keysyms and keycodes and from toolkit keys, and the routing
// of presses, releases and auto-repeats.
#include "platform/ui/VirtualKeys.h"

#include <gtest/gtest.h>

namespace {

// Toolkit (Qt) key codes the fallback sees; the values are the toolkit's.
constexpr int kQtKeyF1 = 0x01000030;
constexpr int kQtKeyF12 = 0x0100003b;
constexpr int kQtKeyShift = 0x01000020;
constexpr int kQtKeyEscape = 0x01000000;
constexpr int kQtKeyHome = 0x01000010;
constexpr int kQtKeyEnter = 0x01000005;

struct X11Case {
    const char* what;
    std::uint32_t keySym;
    std::uint32_t keyCode;
    WORD expected;
};

TEST(VirtualKeys, X11KeysMapToTheCodesWindowsReports)
{
    const X11Case cases[] = {
        {"1", 0x31, 10, '1'},
        {"Shift+1 types !, still the key 1", 0x21, 10, '1'},
        {"Shift+- types _", 0x5f, 20, VK_OEM_MINUS},
        {"a", 0x61, 38, 'A'},
        {"Shift+a types A", 0x41, 38, 'A'},
        {"AZERTY: the a key where US has q", 0x61, 24, 'A'},
        {"AZERTY: & on the 1 key", 0x26, 10, '1'},
        {"space", 0x20, 65, VK_SPACE},
        {"keypad 1 with Num Lock", 0xffb1, 87, VK_NUMPAD0 + 1},
        {"keypad 1 without Num Lock", 0xff9c, 87, VK_END},
        {"keypad *", 0xffaa, 63, VK_MULTIPLY},
        {"keypad +", 0xffab, 86, VK_ADD},
        {"keypad -", 0xffad, 82, VK_SUBTRACT},
        {"keypad /", 0xffaf, 106, VK_DIVIDE},
        {"keypad Enter", 0xff8d, 104, VK_RETURN},
        {"F1", 0xffbe, 67, VK_F1},
        {"F12", 0xffc9, 96, VK_F1 + 11},
        {"Shift+F1 keeps F1", 0xffbe, 67, VK_F1},
        {"left Shift", 0xffe1, 50, VK_SHIFT},
        {"right Shift", 0xffe2, 62, VK_SHIFT},
        {"right Ctrl", 0xffe4, 105, VK_CONTROL},
        {"AltGr", 0xfe03, 108, VK_MENU},
        {"Escape", 0xff1b, 9, VK_ESCAPE},
        {"Shift+Tab", 0xfe20, 23, VK_TAB},
        {"ISO extra key", 0x3c, 94, VK_OEM_102},
        {"keycode only", 0, 38, 'A'},
        {"keysym only, shifted", 0x40, 0, '2'},
        {"unknown", 0x1008ff11, 122, 0},
    };
    for (const X11Case& c : cases)
        EXPECT_EQ(VirtualKeyFromX11(c.keySym, c.keyCode), c.expected) << c.what;
}

TEST(VirtualKeys, ToolkitKeysWithoutNativeDataMapTheSameWay)
{
    EXPECT_EQ(VirtualKeyFromToolkitKey('!', false), '1');
    EXPECT_EQ(VirtualKeyFromToolkitKey('A', false), 'A');
    EXPECT_EQ(VirtualKeyFromToolkitKey('?', false), VK_OEM_2);
    EXPECT_EQ(VirtualKeyFromToolkitKey('1', true), VK_NUMPAD0 + 1);
    EXPECT_EQ(VirtualKeyFromToolkitKey('*', true), VK_MULTIPLY);
    EXPECT_EQ(VirtualKeyFromToolkitKey('*', false), '8');
    EXPECT_EQ(VirtualKeyFromToolkitKey('/', true), VK_DIVIDE);
    EXPECT_EQ(VirtualKeyFromToolkitKey(kQtKeyEnter, true), VK_RETURN);
    EXPECT_EQ(VirtualKeyFromToolkitKey(kQtKeyHome, true), VK_HOME);
    EXPECT_EQ(VirtualKeyFromToolkitKey(kQtKeyF1, false), VK_F1);
    EXPECT_EQ(VirtualKeyFromToolkitKey(kQtKeyF12, false), VK_F1 + 11);
    EXPECT_EQ(VirtualKeyFromToolkitKey(kQtKeyShift, false), VK_SHIFT);
    EXPECT_EQ(VirtualKeyFromToolkitKey(kQtKeyEscape, false), VK_ESCAPE);
    EXPECT_EQ(VirtualKeyFromToolkitKey(0x00e9, false), 0) << "a letter outside ASCII has no US key";
}

TEST(VirtualKeys, NativeDataWinsOverTheToolkitKey)
{
    TKeyEventData e;
    e.toolkitKey = '!';
    e.nativeKeySym = 0x21;
    e.nativeScanCode = 10;
    EXPECT_EQ(VirtualKeyCode(e), '1');
    e.nativeKeySym = 0x1008ff11;  // a media key X knows and the table does not
    e.nativeScanCode = 122;
    e.toolkitKey = kQtKeyF1;
    EXPECT_EQ(VirtualKeyCode(e), VK_F1) << "falls back to the toolkit's key";
}

TEST(VirtualKeys, AutoRepeatReleaseIsNoRelease)
{
    TKeyEventData e;
    e.toolkitKey = 'Q';
    e.press = false;
    e.autoRepeat = true;
    EXPECT_EQ(RouteKeyEvent(e).action, TKeyAction::Ignore);
    e.press = true;
    TKeyRoute down = RouteKeyEvent(e);
    EXPECT_EQ(down.action, TKeyAction::KeyDown);
    EXPECT_TRUE(down.repeat);
    EXPECT_EQ(down.key, 'Q');
    e.press = false;
    e.autoRepeat = false;
    TKeyRoute up = RouteKeyEvent(e);
    EXPECT_EQ(up.action, TKeyAction::KeyUp);
    EXPECT_FALSE(up.repeat);
}

TEST(VirtualKeys, ModifierKeyCountsInItsOwnDownNotInItsUp)
{
    TKeyEventData shiftDown;
    shiftDown.toolkitKey = kQtKeyShift;
    TKeyRoute r = RouteKeyEvent(shiftDown);
    EXPECT_EQ(r.key, VK_SHIFT);
    EXPECT_EQ(r.shift, TShiftState(ssShift));
    TKeyEventData shiftUp = shiftDown;
    shiftUp.press = false;
    shiftUp.shift = ssShift | ssCtrl;
    r = RouteKeyEvent(shiftUp);
    EXPECT_EQ(r.action, TKeyAction::KeyUp);
    EXPECT_EQ(r.shift, TShiftState(ssCtrl));
    TKeyEventData plain;
    plain.toolkitKey = '!';
    plain.shift = ssShift | ssLeft;  // mouse buttons are not key state
    r = RouteKeyEvent(plain);
    EXPECT_EQ(r.key, '1');
    EXPECT_EQ(r.shift, TShiftState(ssShift));
}

TEST(VirtualKeys, KeyWithoutACodeIsIgnored)
{
    TKeyEventData e;
    e.toolkitKey = 0x01ffffff;
    EXPECT_EQ(RouteKeyEvent(e).action, TKeyAction::Ignore);
}

}  // namespace
