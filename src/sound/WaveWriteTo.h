#pragma once
// The mixing kernel behind TWaveBuffer::WriteTo: a one-frame accumulator (one signed 32-bit value
// per channel) between a source and a destination buffer. Runs on whichever thread mixes (the
// audio thread); allocates only for more than kInlineChannels channels.
#include <array>
#include <cstdint>
#include <vector>

class TVolumer;
class TWaveBuffer;

class WaveWriteTo {
public:
    static constexpr std::size_t kInlineChannels = 16;

    // wholeRuns false keeps every case on the per-frame path (tests compare the two).
    WaveWriteTo(const TWaveBuffer& source, TWaveBuffer& destination, bool wholeRuns = true);
    WaveWriteTo(const WaveWriteTo&) = delete;
    WaveWriteTo& operator=(const WaveWriteTo&) = delete;

    // See TWaveBuffer::WriteTo; pitch must be > 0. Ends beyond a buffer are cut to its frames.
    void Run(std::uint32_t& dstPos, std::uint32_t& srcPos, std::uint32_t dstEnd, std::uint32_t srcEnd, float pitch,
             bool mix, TVolumer* instanceVolumer, TVolumer* masterVolumer);

private:
    // Pitch 1, 16-bit to 16-bit, nothing to scale: whole runs of samples at once. False when the
    // channel layout is not one it handles.
    bool RunWhole(std::uint32_t& dstPos, std::uint32_t& srcPos, std::uint32_t dstEnd, std::uint32_t srcEnd, bool mix);
    template <int SrcBits, int DstBits, bool Mix>
    void RunChannels(std::uint32_t& dstPos, std::uint32_t& srcPos, std::uint32_t dstEnd, std::uint32_t srcEnd,
                     double pitch, TVolumer* instanceVolumer, TVolumer* masterVolumer);
    // SrcCh/DstCh: the channel counts when known at compile time (the common mono and stereo
    // cases), 0 for any other count.
    template <int SrcBits, int DstBits, bool Mix, int SrcCh, int DstCh>
    void RunTyped(std::uint32_t& dstPos, std::uint32_t& srcPos, std::uint32_t dstEnd, std::uint32_t srcEnd,
                  double pitch, TVolumer* instanceVolumer, TVolumer* masterVolumer);
    template <int SrcBits, int SrcCh, int DstCh>
    void Load(std::uint32_t frame, std::int32_t* acc);
    template <int DstBits, bool Mix, int DstCh>
    void Store(std::uint32_t frame, const std::int32_t* acc);
    template <int DstCh>
    void ApplyVolume(TVolumer& volumer, std::int32_t* acc);
    template <int DstCh>
    void ApplyVolumes(TVolumer* instanceVolumer, TVolumer* masterVolumer, std::int32_t* acc);

    const TWaveBuffer& source_;
    TWaveBuffer& destination_;
    std::size_t srcChannels_ = 0;
    std::size_t dstChannels_ = 0;
    bool wholeRuns_ = true;
    std::array<std::int32_t, kInlineChannels> inline_{};
    std::vector<std::int32_t> wide_;
    std::int32_t* acc_ = nullptr;
};
