#pragma once
// The demo's waves under "wavs\": one looping groove per mode (drums, bass and a rhythm guitar
// over whole bars) and one wave per riff rendered from the riff's own MIDI notes, all 44100 Hz,
// 16 bits, stereo.
#include "demo/DemoModel.h"
#include "demo/LoopMix.h"

#include <filesystem>

namespace demo {

// The loudest sample of a groove and of a riff: together they stay below the mixer's
// saturation at full volume.
inline constexpr int kGroovePeak = 8000;
inline constexpr int kRiffPeak = 8000;

[[nodiscard]] LoopMix GrooveMix(const DemoMode& mode);
[[nodiscard]] LoopMix RiffMix(const DemoMode& mode, const DemoRiff& riff);

void WriteWaves(const std::filesystem::path& dir);

} // namespace demo
