#pragma once
// The configuration of the demo: "Korvane.DEF" with the general, audio, keyboard, colour-scheme
// and settings defaults, and the game modes in "DemoModes.inc", which it includes. No user file
// is written: the program creates "Korvane.INI" when it closes.
#include <filesystem>

namespace demo {

inline constexpr const char* kDefaultsFile = "Korvane.DEF";
inline constexpr const char* kModesFile = "DemoModes.inc";

void WriteDefaultsFile(const std::filesystem::path& dir);
void WriteModesFile(const std::filesystem::path& dir);

} // namespace demo
