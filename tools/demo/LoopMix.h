#pragma once
// A stereo loop being mixed: sounds placed past its end wrap round to its start, so the loop
// plays on without a seam when it repeats.
#include <cstdint>
#include <vector>

namespace demo {

class LoopMix {
public:
    explicit LoopMix(int frames);

    // Adds the mono sound from frame `at` on, scaled per side.
    void Add(const std::vector<float>& sound, int at, float left, float right);
    // Interleaved 16-bit frames, scaled so the loudest sample reaches `peak`.
    [[nodiscard]] std::vector<std::int16_t> ToPcm(int peak) const;
    [[nodiscard]] int Frames() const { return frames_; }

private:
    int frames_;
    std::vector<float> left_;
    std::vector<float> right_;
};

} // namespace demo
