#pragma once
// The texts that come with the content: "readme.txt" (opened from the about box) and the help
// file "korvane.hlp" (opened by Help and F1), both plain text.
#include <filesystem>

namespace demo {

void WriteReadme(const std::filesystem::path& dir);
void WriteHelpFile(const std::filesystem::path& dir);

} // namespace demo
