#pragma once
// One key of a time-ordered animation: at `time` (in the caller's clock units) the animation shows
// `value` (a frame index for frame animations, an alpha value for alpha animations).
#include <cstdint>

struct TAKey {
    std::int32_t time = 0;
    std::int32_t value = 0;

    constexpr TAKey() = default;
    // Value first, time second.
    constexpr TAKey(std::int32_t keyValue, std::int32_t keyTime) : time(keyTime), value(keyValue) {}
};
