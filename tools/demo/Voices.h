#pragma once
// The instruments of the demo waves, each rendered as one mono note of float samples (about
// -1 .. 1) at 44100 Hz, ready to be placed into a loop.
#include <cstdint>
#include <vector>

namespace demo {

[[nodiscard]] double NoteFrequency(int midiNote);

// A plucked string (Karplus-Strong): sounds for `frames`, then fades out over `releaseFrames`.
// Lower `brightness` (0 .. 1) gives a rounder, bass-like tone.
[[nodiscard]] std::vector<float> PluckedString(double frequency, int frames, int releaseFrames,
                                               std::uint32_t seed, float brightness);
[[nodiscard]] std::vector<float> KickDrum();
[[nodiscard]] std::vector<float> SnareDrum(std::uint32_t seed);
[[nodiscard]] std::vector<float> HiHat(std::uint32_t seed);

} // namespace demo
