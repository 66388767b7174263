#include "sound/TVolumer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

TVolumer::TVolumer(std::vector<float> volumes) : current_(std::move(volumes)), step_(current_.size(), 0.0f) {}

bool TVolumer::IsUnity() const
{
    if (samplesLeft_ != 0 || !queue_.empty())
        return false;
    return std::all_of(current_.begin(), current_.end(), [](float v) { return v == 1.0f; });
}

void TVolumer::StartRamp(const std::vector<float>& target, std::uint32_t n)
{
    // Ramps that keep aiming at 0.0 leave ever smaller remainders; subnormal volumes and steps
    // would cost the mixer a slow path per sample while being inaudible, so they become 0.
    for (float& v : current_)
        if (std::fpclassify(v) == FP_SUBNORMAL)
            v = 0.0f;
    const std::size_t channels = std::min(current_.size(), target.size());
    if (n == 0) {
        std::copy_n(target.begin(), channels, current_.begin());
        std::fill(step_.begin(), step_.end(), 0.0f);
        samplesLeft_ = 0;
        return;
    }
    const auto samples = std::min<std::uint32_t>(n, std::numeric_limits<std::int32_t>::max());
    for (std::size_t c = 0; c < channels; ++c)
    {
        step_[c] = (target[c] - current_[c]) / float(samples);
        if (std::fpclassify(step_[c]) == FP_SUBNORMAL)
            step_[c] = 0.0f;
    }
    for (std::size_t c = channels; c < step_.size(); ++c)
        step_[c] = 0.0f;
    samplesLeft_ = std::int32_t(samples);
}

void TVolumer::SetVolume(const std::vector<float>& target, std::uint32_t n)
{
    queue_.clear();
    StartRamp(target, n);
}

void TVolumer::AddNode(const std::vector<float>& target, std::uint32_t n)
{
    queue_.push_back(VolNode{target, n});
    if (samplesLeft_ == 0)
        Advance(0);
}

void TVolumer::Advance(std::uint32_t n)
{
    std::int64_t remaining = n;
    for (;;) {
        std::int64_t left = samplesLeft_;
        if (left >= 1 && remaining > 0) {
            const std::int64_t k = std::min(left, remaining);
            for (std::size_t c = 0; c < current_.size(); ++c)
                current_[c] += step_[c] * float(k);
            left -= remaining;
        }
        if (left >= 1) {
            samplesLeft_ = std::int32_t(left);
            return;
        }
        if (queue_.empty()) {
            samplesLeft_ = 0;
            return;
        }
        const std::int64_t overshoot = -left;
        VolNode node = std::move(queue_.front());
        queue_.erase(queue_.begin());
        StartRamp(node.target, node.samples);
        if (overshoot > 0) {
            remaining = overshoot;  // the rest of the n samples is spent on the new ramp
            continue;
        }
        if (samplesLeft_ == 0 && !queue_.empty()) {
            remaining = 0;  // a ramp of no samples is over at once: the next one starts now
            continue;
        }
        return;
    }
}
