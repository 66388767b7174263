#pragma once
// A small seeded generator for noise, so that every run writes the same samples.
#include <cstdint>

namespace demo {

class DemoRandom {
public:
    explicit DemoRandom(std::uint32_t seed) : state_(seed * 2654435761u + 1u) {}
    // Uniform in [-1, 1).
    float Next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<float>(static_cast<std::int32_t>(state_)) / 2147483648.0f;
    }

private:
    std::uint32_t state_;
};

} // namespace demo
