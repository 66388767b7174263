#include "demo/LoopMix.h"

#include <algorithm>
#include <cmath>

namespace demo {

LoopMix::LoopMix(int frames)
    : frames_(frames), left_(static_cast<std::size_t>(frames)), right_(static_cast<std::size_t>(frames))
{
}

void LoopMix::Add(const std::vector<float>& sound, int at, float left, float right)
{
    for (std::size_t i = 0; i < sound.size(); ++i) {
        const auto frame = static_cast<std::size_t>((static_cast<long long>(at) + static_cast<long long>(i)) % frames_);
        left_[frame] += sound[i] * left;
        right_[frame] += sound[i] * right;
    }
}

std::vector<std::int16_t> LoopMix::ToPcm(int peak) const
{
    float loudest = 1e-6f;
    for (std::size_t i = 0; i < left_.size(); ++i)
        loudest = std::max({loudest, std::fabs(left_[i]), std::fabs(right_[i])});
    const float scale = static_cast<float>(peak) / loudest;
    std::vector<std::int16_t> pcm(left_.size() * 2);
    for (std::size_t i = 0; i < left_.size(); ++i) {
        pcm[2 * i] = static_cast<std::int16_t>(std::lround(left_[i] * scale));
        pcm[2 * i + 1] = static_cast<std::int16_t>(std::lround(right_[i] * scale));
    }
    return pcm;
}

} // namespace demo
