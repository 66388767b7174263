#pragma once
// A per-channel volume envelope counted in samples: the current volumes move linearly towards a
// target, and further ramps wait in a queue. Not thread-safe: the scene's lock guards every use.
#include <cstddef>
#include <cstdint>
#include <vector>

class TVolumer {
public:
    struct VolNode {
        std::vector<float> target;
        std::uint32_t samples = 0;
    };

    // One volume per channel (1.0 = unchanged level); the channel count never changes.
    explicit TVolumer(std::vector<float> volumes = {});

    // No ramp running, nothing queued and every volume exactly 1.0: multiplying would change nothing.
    [[nodiscard]] bool IsUnity() const;
    [[nodiscard]] bool IsRampDone() const { return samplesLeft_ == 0; }

    // Ramps from the current volumes to target over n samples; n = 0 sets target at once.
    // target must have the channel count (extra entries are ignored, missing ones keep their channel).
    void StartRamp(const std::vector<float>& target, std::uint32_t n);
    // Drops the queue, then StartRamp.
    void SetVolume(const std::vector<float>& target, std::uint32_t n);
    // Queues a ramp; an idle envelope starts it at once.
    void AddNode(const std::vector<float>& target, std::uint32_t n);
    // Moves on by n samples; a ramp that ends inside them hands the rest to the next queued ramp.
    void Advance(std::uint32_t n);
    // Advance(1), cheap in the middle of a ramp and when idle (the mixing kernel's per-sample step).
    void AdvanceOne()
    {
        if (samplesLeft_ > 1) {
            for (std::size_t c = 0; c < current_.size(); ++c)
                current_[c] += step_[c];
            --samplesLeft_;
        } else if (samplesLeft_ != 0 || !queue_.empty()) {
            Advance(1);
        }
    }

    [[nodiscard]] std::size_t Channels() const { return current_.size(); }
    [[nodiscard]] float Volume(std::size_t channel) const { return current_[channel]; }
    [[nodiscard]] const std::vector<float>& Volumes() const { return current_; }
    [[nodiscard]] std::int32_t SamplesLeft() const { return samplesLeft_; }
    [[nodiscard]] std::size_t QueuedNodes() const { return queue_.size(); }

private:
    std::vector<float> current_;
    std::vector<float> step_;
    std::int32_t samplesLeft_ = 0;
    // A vector used first-in first-out: copying an envelope into one of the same shape then
    // reuses its storage, which keeps the per-period copy of the master envelope allocation-free.
    std::vector<VolNode> queue_;
};
