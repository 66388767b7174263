#pragma once
// Keyboard events in the codes a Windows keyboard reports: the virtual-key code of the key (Shift
// never changes it: Shift+1 is '1'; the numeric keypad and the F-keys have codes of their own),
// the held Shift, Alt and Ctrl, and whether a key-down is an auto-repeat. The mapping is pure: a
// window turns its toolkit event into TKeyEventData (VirtualKeysQt.h) and routes it here, so the
// rules are testable without a window or a display.
//
// Any thread; nothing here throws.
#include "platform/ui/TShiftState.h"

#include <cstdint>

using WORD = std::uint16_t;

constexpr WORD VK_BACK = 0x08;
constexpr WORD VK_TAB = 0x09;
constexpr WORD VK_CLEAR = 0x0C;
constexpr WORD VK_RETURN = 0x0D;
constexpr WORD VK_SHIFT = 0x10;
constexpr WORD VK_CONTROL = 0x11;
constexpr WORD VK_MENU = 0x12;  // Alt
constexpr WORD VK_PAUSE = 0x13;
constexpr WORD VK_CAPITAL = 0x14;
constexpr WORD VK_ESCAPE = 0x1B;
constexpr WORD VK_SPACE = 0x20;
constexpr WORD VK_PRIOR = 0x21;
constexpr WORD VK_NEXT = 0x22;
constexpr WORD VK_END = 0x23;
constexpr WORD VK_HOME = 0x24;
constexpr WORD VK_LEFT = 0x25;
constexpr WORD VK_UP = 0x26;
constexpr WORD VK_RIGHT = 0x27;
constexpr WORD VK_DOWN = 0x28;
constexpr WORD VK_SNAPSHOT = 0x2C;
constexpr WORD VK_INSERT = 0x2D;
constexpr WORD VK_DELETE = 0x2E;
// '0' to '9' and 'A' to 'Z' are their own codes.
constexpr WORD VK_LWIN = 0x5B;
constexpr WORD VK_RWIN = 0x5C;
constexpr WORD VK_APPS = 0x5D;
constexpr WORD VK_NUMPAD0 = 0x60;  // to VK_NUMPAD0 + 9
constexpr WORD VK_MULTIPLY = 0x6A;
constexpr WORD VK_ADD = 0x6B;
constexpr WORD VK_SEPARATOR = 0x6C;
constexpr WORD VK_SUBTRACT = 0x6D;
constexpr WORD VK_DECIMAL = 0x6E;
constexpr WORD VK_DIVIDE = 0x6F;
constexpr WORD VK_F1 = 0x70;  // to VK_F1 + 23 (F24)
constexpr WORD VK_F24 = 0x87;
constexpr WORD VK_NUMLOCK = 0x90;
constexpr WORD VK_SCROLL = 0x91;
constexpr WORD VK_OEM_1 = 0xBA;       // ;:
constexpr WORD VK_OEM_PLUS = 0xBB;    // =+
constexpr WORD VK_OEM_COMMA = 0xBC;   // ,<
constexpr WORD VK_OEM_MINUS = 0xBD;   // -_
constexpr WORD VK_OEM_PERIOD = 0xBE;  // .>
constexpr WORD VK_OEM_2 = 0xBF;       // /?
constexpr WORD VK_OEM_3 = 0xC0;       // `~
constexpr WORD VK_OEM_4 = 0xDB;       // [{
constexpr WORD VK_OEM_5 = 0xDC;       // \|
constexpr WORD VK_OEM_6 = 0xDD;       // ]}
constexpr WORD VK_OEM_7 = 0xDE;       // '"
constexpr WORD VK_OEM_102 = 0xE2;     // the extra key of ISO keyboards, <>

// What a key event of the window system carries.
struct TKeyEventData {
    bool press = true;        // false: a release
    bool autoRepeat = false;  // the toolkit's mark; on X11 it marks both halves of a repeat pair
    int toolkitKey = 0;       // the toolkit's key code (Qt::Key)
    bool keypad = false;      // the key is on the numeric keypad
    TShiftState shift = 0;    // ssShift, ssAlt, ssCtrl as the toolkit reports them
    std::uint32_t nativeScanCode = 0;  // X11: the keycode; 0 when there is no native data
    std::uint32_t nativeKeySym = 0;    // X11: the keysym; 0 when there is no native data
    std::uint64_t time = 0;  // the window system's time stamp (X11: server milliseconds); 0 for none
};

enum class TKeyAction { KeyDown, KeyUp, Ignore };

// What the window does with one event.
struct TKeyRoute {
    TKeyAction action = TKeyAction::Ignore;
    WORD key = 0;
    TShiftState shift = 0;
    bool repeat = false;  // a key-down that the held key repeats
};

// The code of the key: from the native keysym and keycode when there are any, else from the
// toolkit's key. 0 for a key without a code.
[[nodiscard]] WORD VirtualKeyCode(const TKeyEventData& event);
// The X11 rule (VirtualKeysX11.cpp): keypad, function, editing and modifier keysyms by a table;
// letters by their keysym (so the layout decides, as on Windows); every other key (digits and
// punctuation, whose keysym changes with Shift) by its keycode on the US layout, falling back to
// the keysym's unshifted character. 0 when neither says.
[[nodiscard]] WORD VirtualKeyFromX11(std::uint32_t keySym, std::uint32_t keyCode);
// The toolkit-key rule, for events without native data: keypad keys by the keypad mark, every
// character (shifted or not) by the key that types it on the US layout.
[[nodiscard]] WORD VirtualKeyFromToolkitKey(int key, bool keypad);
// The key that types ch on the US layout, shifted or not ('!' is '1', 'a' is 'A'); 0 for none.
[[nodiscard]] WORD VirtualKeyFromCharacter(char32_t ch);
// Turns an event into a key-down, a key-up or nothing: the release half of an auto-repeat pair
// is no release (ignored), its press half is a repeated key-down; a key without a code is
// ignored. The shift state counts a modifier key as held in its own key-down and as released in
// its own key-up.
[[nodiscard]] TKeyRoute RouteKeyEvent(const TKeyEventData& event);
