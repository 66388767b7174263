#pragma once
// One clip of the current riff: a stretch of the riff's wave, in milliseconds and in frames of
// the 44100 Hz scene. Plain data; copyable.
#include <cstdint>

struct TRiffClip {
    static constexpr double FramesPerMs = 44.1;

    std::int32_t startFrame = 0;  // trunc(startMs * 44.1)
    std::int32_t endFrame = 0;    // trunc(endMs * 44.1)
    std::int32_t startMs = 0;
    std::int32_t endMs = 0;

    // A clip over [startMs, endMs] with its frames.
    [[nodiscard]] static TRiffClip FromMs(std::int32_t startMs, std::int32_t endMs);
    bool operator==(const TRiffClip&) const = default;
};
