#pragma once
// The riffs' transcription pages in the skin folder: one bar of tablature per page, named by the
// page's file prefix (PagePrefix), a variant with the fingering ("f" before ".png"), and a small
// picture of the first page for the riff list (prefix + "sm.png").
#include "demo/DemoModel.h"

#include <QImage>

#include <filesystem>

namespace demo {

[[nodiscard]] QImage TranscriptionPage(const DemoMode& mode, const DemoRiff& riff, int bar, bool fingering);
void WriteTranscriptionPages(const std::filesystem::path& dir);

} // namespace demo
