#pragma once
// Whole runs of 16-bit little-endian samples for the mixing kernel's common case: pitch 1, no
// volume to apply. Each result equals the per-frame kernel's, sample for sample. Any thread;
// pointers need no alignment; source and destination must not overlap.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mixblocks {

// dst[i] = saturate16(dst[i] + src[i]) for samples values.
void AddSaturate16(std::uint8_t* dst, const std::uint8_t* src, std::size_t samples);
using AddFunction = void (*)(std::uint8_t* dst, const std::uint8_t* src, std::size_t samples);
// Every form of AddSaturate16 this processor runs, the one it uses first and the byte-wise one
// last (tests hold each to the last).
std::vector<AddFunction> AddForms();

// Mono source into stereo destination: each source sample goes to both channels of its frame,
// added with saturation (mix) or stored.
void MonoToStereo16(std::uint8_t* dst, const std::uint8_t* src, std::size_t frames, bool mix);

} // namespace mixblocks
