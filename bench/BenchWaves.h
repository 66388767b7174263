#pragma once
// Deterministic 16-bit noise waves for the sound benchmarks: the same bytes on every run, so a
// case and its reference mix the same samples. `divisor` scales the amplitude down (4 keeps a
// mix of several waves clear of saturation).
#include "sound/TWaveBuffer.h"

#include <cstdint>
#include <memory>
#include <vector>

inline std::unique_ptr<TWaveBuffer> Noise(std::uint32_t rate, std::uint16_t channels, std::uint32_t frames,
                                          std::uint32_t seed = 12345, std::int32_t divisor = 1)
{
    std::vector<std::int16_t> s(std::size_t(frames) * channels);
    std::uint32_t x = seed;
    for (auto& v : s) {
        x = x * 1664525u + 1013904223u;
        v = std::int16_t(std::int32_t(x >> 16) / divisor);
    }
    WAVEFORMATEX f;
    InitWaveFormat(f, rate, channels, 16);
    return std::make_unique<TWaveBuffer>(frames, f, s.data());
}
