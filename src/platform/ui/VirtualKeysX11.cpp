// The X11 side of the key mapping: keysyms of the keys whose meaning does not depend on the
// layout, and the keycodes of the PC keyboard (X keycode = evdev code + 8) on the US layout.
#include "platform/ui/VirtualKeys.h"

#include <array>
#include <cstddef>

namespace {

struct SymEntry {
    std::uint32_t keySym;
    WORD key;
};

// Keypad keysyms first: with Num Lock the keypad digits are keys of their own; without it (or
// with Shift) X reports the editing keysyms, which share the main keys' codes as on Windows.
constexpr SymEntry kSyms[] = {
    {0xffb0, VK_NUMPAD0},     {0xffb1, VK_NUMPAD0 + 1}, {0xffb2, VK_NUMPAD0 + 2}, {0xffb3, VK_NUMPAD0 + 3},
    {0xffb4, VK_NUMPAD0 + 4}, {0xffb5, VK_NUMPAD0 + 5}, {0xffb6, VK_NUMPAD0 + 6}, {0xffb7, VK_NUMPAD0 + 7},
    {0xffb8, VK_NUMPAD0 + 8}, {0xffb9, VK_NUMPAD0 + 9},
    {0xffaa, VK_MULTIPLY},    // KP_Multiply
    {0xffab, VK_ADD},         // KP_Add
    {0xffac, VK_SEPARATOR},   // KP_Separator
    {0xffad, VK_SUBTRACT},    // KP_Subtract
    {0xffae, VK_DECIMAL},     // KP_Decimal
    {0xffaf, VK_DIVIDE},      // KP_Divide
    {0xff8d, VK_RETURN},      // KP_Enter
    {0xff80, VK_SPACE},       // KP_Space
    {0xff89, VK_TAB},         // KP_Tab
    {0xff95, VK_HOME},        // KP_Home
    {0xff96, VK_LEFT},        // KP_Left
    {0xff97, VK_UP},          // KP_Up
    {0xff98, VK_RIGHT},       // KP_Right
    {0xff99, VK_DOWN},        // KP_Down
    {0xff9a, VK_PRIOR},       // KP_Prior
    {0xff9b, VK_NEXT},        // KP_Next
    {0xff9c, VK_END},         // KP_End
    {0xff9d, VK_CLEAR},       // KP_Begin
    {0xff9e, VK_INSERT},      // KP_Insert
    {0xff9f, VK_DELETE},      // KP_Delete
    {0xff08, VK_BACK},        // BackSpace
    {0xff09, VK_TAB},         // Tab
    {0xfe20, VK_TAB},         // ISO_Left_Tab (Shift+Tab)
    {0xff0b, VK_CLEAR},       // Clear
    {0xff0d, VK_RETURN},      // Return
    {0xff13, VK_PAUSE},       // Pause
    {0xff6b, VK_PAUSE},       // Break (Ctrl+Pause)
    {0xff14, VK_SCROLL},      // Scroll_Lock
    {0xff15, VK_SNAPSHOT},    // Sys_Req (Alt+Print)
    {0xff1b, VK_ESCAPE},      // Escape
    {0xff50, VK_HOME},        // Home
    {0xff51, VK_LEFT},        // Left
    {0xff52, VK_UP},          // Up
    {0xff53, VK_RIGHT},       // Right
    {0xff54, VK_DOWN},        // Down
    {0xff55, VK_PRIOR},       // Prior
    {0xff56, VK_NEXT},        // Next
    {0xff57, VK_END},         // End
    {0xff61, VK_SNAPSHOT},    // Print
    {0xff63, VK_INSERT},      // Insert
    {0xff67, VK_APPS},        // Menu
    {0xff7f, VK_NUMLOCK},     // Num_Lock
    {0xffe1, VK_SHIFT},       // Shift_L
    {0xffe2, VK_SHIFT},       // Shift_R
    {0xffe3, VK_CONTROL},     // Control_L
    {0xffe4, VK_CONTROL},     // Control_R
    {0xffe5, VK_CAPITAL},     // Caps_Lock
    {0xffe7, VK_MENU},        // Meta_L (Alt on many layouts with Shift)
    {0xffe8, VK_MENU},        // Meta_R
    {0xffe9, VK_MENU},        // Alt_L
    {0xffea, VK_MENU},        // Alt_R
    {0xfe03, VK_MENU},        // ISO_Level3_Shift (AltGr)
    {0xffeb, VK_LWIN},        // Super_L
    {0xffec, VK_RWIN},        // Super_R
    {0xffff, VK_DELETE},      // Delete
    {0x0020, VK_SPACE},       // space
};

// US-layout codes by evdev code (X keycode - 8); 0 where the key has none.
constexpr std::array<WORD, 128> MakeCodeTable()
{
    std::array<WORD, 128> t{};
    t[1] = VK_ESCAPE;
    const char digits[] = "1234567890";
    for (int i = 0; i < 10; ++i)
        t[2 + i] = WORD(digits[i]);
    t[12] = VK_OEM_MINUS;
    t[13] = VK_OEM_PLUS;
    t[14] = VK_BACK;
    t[15] = VK_TAB;
    const char row1[] = "QWERTYUIOP";
    for (int i = 0; i < 10; ++i)
        t[16 + i] = WORD(row1[i]);
    t[26] = VK_OEM_4;
    t[27] = VK_OEM_6;
    t[28] = VK_RETURN;
    t[29] = VK_CONTROL;
    const char row2[] = "ASDFGHJKL";
    for (int i = 0; i < 9; ++i)
        t[30 + i] = WORD(row2[i]);
    t[39] = VK_OEM_1;
    t[40] = VK_OEM_7;
    t[41] = VK_OEM_3;
    t[42] = VK_SHIFT;
    t[43] = VK_OEM_5;
    const char row3[] = "ZXCVBNM";
    for (int i = 0; i < 7; ++i)
        t[44 + i] = WORD(row3[i]);
    t[51] = VK_OEM_COMMA;
    t[52] = VK_OEM_PERIOD;
    t[53] = VK_OEM_2;
    t[54] = VK_SHIFT;
    t[55] = VK_MULTIPLY;
    t[56] = VK_MENU;
    t[57] = VK_SPACE;
    t[58] = VK_CAPITAL;
    for (int i = 0; i < 10; ++i)
        t[59 + i] = WORD(VK_F1 + i);
    t[69] = VK_NUMLOCK;
    t[70] = VK_SCROLL;
    // The keypad as it types with Num Lock on.
    t[71] = VK_NUMPAD0 + 7;
    t[72] = VK_NUMPAD0 + 8;
    t[73] = VK_NUMPAD0 + 9;
    t[74] = VK_SUBTRACT;
    t[75] = VK_NUMPAD0 + 4;
    t[76] = VK_NUMPAD0 + 5;
    t[77] = VK_NUMPAD0 + 6;
    t[78] = VK_ADD;
    t[79] = VK_NUMPAD0 + 1;
    t[80] = VK_NUMPAD0 + 2;
    t[81] = VK_NUMPAD0 + 3;
    t[82] = VK_NUMPAD0;
    t[83] = VK_DECIMAL;
    t[86] = VK_OEM_102;
    t[87] = VK_F1 + 10;
    t[88] = VK_F1 + 11;
    t[96] = VK_RETURN;  // keypad Enter
    t[97] = VK_CONTROL;
    t[98] = VK_DIVIDE;
    t[99] = VK_SNAPSHOT;
    t[100] = VK_MENU;  // right Alt
    t[102] = VK_HOME;
    t[103] = VK_UP;
    t[104] = VK_PRIOR;
    t[105] = VK_LEFT;
    t[106] = VK_RIGHT;
    t[107] = VK_END;
    t[108] = VK_DOWN;
    t[109] = VK_NEXT;
    t[110] = VK_INSERT;
    t[111] = VK_DELETE;
    t[119] = VK_PAUSE;
    t[125] = VK_LWIN;
    t[126] = VK_RWIN;
    t[127] = VK_APPS;
    return t;
}

constexpr std::array<WORD, 128> kCodes = MakeCodeTable();

WORD FromKeyCode(std::uint32_t keyCode)
{
    if (keyCode < 8)
        return 0;
    const std::uint32_t code = keyCode - 8;
    if (code < kCodes.size())
        return kCodes[code];
    if (code >= 183 && code <= 194)  // F13 to F24
        return WORD(VK_F1 + 12 + (code - 183));
    return 0;
}

}  // namespace

WORD VirtualKeyFromX11(std::uint32_t keySym, std::uint32_t keyCode)
{
    if (keySym >= 0xffbe && keySym <= 0xffbe + 23)  // F1 to F24
        return WORD(VK_F1 + (keySym - 0xffbe));
    for (const SymEntry& e : kSyms)
        if (e.keySym == keySym)
            return e.key;
    if ((keySym >= 'a' && keySym <= 'z') || (keySym >= 'A' && keySym <= 'Z'))
        return VirtualKeyFromCharacter(char32_t(keySym));
    if (const WORD key = FromKeyCode(keyCode))
        return key;
    if (keySym >= 0x20 && keySym < 0x7f)
        return VirtualKeyFromCharacter(char32_t(keySym));
    return 0;
}
