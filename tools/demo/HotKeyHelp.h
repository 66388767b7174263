#pragma once
// The help file's table of hot keys, written from the program's own hot-key table so that the
// help lists every hot key the program knows and nothing else.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace demo {

// The table's layout: a two-blank indent, the key's name in the first column, then one cell
// per modifier column, each padded to its width so that a reader can cut the columns apart.
inline constexpr std::size_t kHotKeyIndent = 2;
inline constexpr std::size_t kHotKeyNameWidth = 10;
inline constexpr std::size_t kHotKeyCellWidth = 18;

// What the help calls a key: "Esc", "Space", "F1" .. "F24", "keypad *" and so on; empty for a
// key it has no name for.
[[nodiscard]] std::string HotKeyName(std::uint16_t key);

// The title row ("Key", "alone", "Shift+", "Alt+", "Ctrl+"), then one row per hot key in key
// code order, each cell saying what a key-down with that modifier held does. Throws Exception
// when the program's table holds a key or a command the help has no words for.
[[nodiscard]] std::vector<std::string> HotKeyHelpLines();

} // namespace demo
