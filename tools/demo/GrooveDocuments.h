#pragma once
// The printable document of each mode, opened by "print all riffs": every transcription page of
// the mode's riffs, four to an A4 page, as a PDF in the skin folder named after the mode's groove
// file (up to and including its first ".", then "pdf").
#include "demo/DemoModel.h"

#include <filesystem>
#include <string>

namespace demo {

// "blues_groove.wav" gives "blues_groove.pdf"; a name without "." gets "pdf" appended.
[[nodiscard]] std::string GrooveDocumentName(const DemoMode& mode);
// Throws Exception when a document cannot be written. The same build writes the same bytes.
void WriteGrooveDocuments(const std::filesystem::path& dir);

} // namespace demo
