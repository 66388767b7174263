#pragma once
// Writing the demo's files: folder names as the content refers to them, and small writers that
// say what they wrote. Every failure throws Exception with the file's name.
#include "platform/system/TStringList.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace demo {

inline constexpr const char* kSkinFolder = "Pics01";
inline constexpr const char* kWaveFolder = "wavs";
inline constexpr const char* kMidiFolder = "MIDI";

// Creates dir/sub (and dir) when missing and returns it.
std::filesystem::path Folder(const std::filesystem::path& dir, const std::string& sub);

void SaveLines(const TStringList& lines, const std::filesystem::path& file);
void SaveBytes(const std::vector<std::uint8_t>& bytes, const std::filesystem::path& file);
// One line on standard output: the file and what it holds.
void Report(const std::filesystem::path& file, const std::string& what);

} // namespace demo
