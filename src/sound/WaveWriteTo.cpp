#include "sound/WaveWriteTo.h"

#include "sound/MixBlocks.h"
#include "sound/TVolumer.h"
#include "sound/TWaveBuffer.h"

#include <algorithm>
#include <cstring>

namespace {

inline std::int32_t Scale(std::int32_t value, float volume)
{
    // Truncates like an integer conversion, but a huge (or NaN) volume cannot overflow it:
    // max(lo, r) turns NaN into lo.
    const float r = float(value) * volume;
    const float clamped = std::min(std::max(-2147483648.0f, r), 2147483520.0f);
    return std::int32_t(clamped);
}

inline std::int32_t Saturate16(std::int32_t v)
{
    return v > 32767 ? 32767 : (v < -32768 ? -32768 : v);
}

inline bool Unity(const TVolumer* volumer) { return !volumer || volumer->IsUnity(); }

} // namespace

WaveWriteTo::WaveWriteTo(const TWaveBuffer& source, TWaveBuffer& destination, bool wholeRuns)
    : source_(source), destination_(destination), srcChannels_(source.GetFormat().nChannels),
      dstChannels_(destination.GetFormat().nChannels), wholeRuns_(wholeRuns)
{
    const std::size_t width = std::max(srcChannels_, dstChannels_);
    if (width <= kInlineChannels) {
        acc_ = inline_.data();
    } else {
        wide_.assign(width, 0);
        acc_ = wide_.data();
    }
}

template <int SrcBits, int SrcCh, int DstCh>
inline void WaveWriteTo::Load(std::uint32_t frame, std::int32_t* acc)
{
    const std::size_t srcChannels = SrcCh ? std::size_t(SrcCh) : srcChannels_;
    const std::size_t dstChannels = DstCh ? std::size_t(DstCh) : dstChannels_;
    const std::uint8_t* p = source_.GetData(frame);
    for (std::size_t c = 0; c < srcChannels; ++c) {
        if constexpr (SrcBits == 16) {
            acc[c] = std::int16_t(std::uint16_t(p[0] | p[1] << 8));
            p += 2;
        } else {
            acc[c] = (std::int32_t(*p++) - 128) * 128;
        }
    }
    for (std::size_t c = srcChannels; c < dstChannels; ++c)
        acc[c] = acc[srcChannels - 1];
}

template <int DstBits, bool Mix, int DstCh>
inline void WaveWriteTo::Store(std::uint32_t frame, const std::int32_t* acc)
{
    const std::size_t dstChannels = DstCh ? std::size_t(DstCh) : dstChannels_;
    std::uint8_t* p = destination_.GetData(frame);
    for (std::size_t c = 0; c < dstChannels; ++c) {
        const std::int32_t v = acc[c];
        if constexpr (DstBits == 16) {
            std::int32_t out;
            if constexpr (Mix)
                out = Saturate16(v + std::int16_t(std::uint16_t(p[0] | p[1] << 8)));
            else
                out = Saturate16(v);
            p[0] = std::uint8_t(out);
            p[1] = std::uint8_t(std::uint32_t(out) >> 8);
            p += 2;
        } else {
            // The 8-bit path treats +-16383 as its full scale.
            if constexpr (Mix) {
                const std::int32_t sum = v + (std::int32_t(*p) - 128) * 128;
                if (sum > 16383)
                    *p = 128 + 127;
                else if (sum < -16383)
                    *p = 128 - 127;
                else
                    *p = std::uint8_t((sum >> 7) + 128);
            } else {
                *p = std::uint8_t((v >> 7) + 128);
            }
            ++p;
        }
    }
}

template <int DstCh>
inline void WaveWriteTo::ApplyVolume(TVolumer& volumer, std::int32_t* acc)
{
    if constexpr (DstCh > 0) {
        // A fixed trip count keeps this loop scalar: a vector load of accumulator values just
        // stored one by one would stall on every frame.
        if (volumer.Channels() >= std::size_t(DstCh)) {
            const float* volume = volumer.Volumes().data();
            for (int c = 0; c < DstCh; ++c)
                acc[c] = Scale(acc[c], volume[c]);
            volumer.AdvanceOne();
            return;
        }
    }
    const std::size_t n = std::min(DstCh ? std::size_t(DstCh) : dstChannels_, volumer.Channels());
    const float* volume = volumer.Volumes().data();
    for (std::size_t c = 0; c < n; ++c)
        acc[c] = Scale(acc[c], volume[c]);
    volumer.AdvanceOne();
}

template <int DstCh>
inline void WaveWriteTo::ApplyVolumes(TVolumer* instanceVolumer, TVolumer* masterVolumer, std::int32_t* acc)
{
    if (masterVolumer)
        ApplyVolume<DstCh>(*masterVolumer, acc);
    if (instanceVolumer)
        ApplyVolume<DstCh>(*instanceVolumer, acc);
}

template <int SrcBits, int DstBits, bool Mix>
void WaveWriteTo::RunChannels(std::uint32_t& dstPos, std::uint32_t& srcPos, std::uint32_t dstEnd,
                              std::uint32_t srcEnd, double pitch, TVolumer* instanceVolumer,
                              TVolumer* masterVolumer)
{
    if (srcChannels_ == 2 && dstChannels_ == 2)
        RunTyped<SrcBits, DstBits, Mix, 2, 2>(dstPos, srcPos, dstEnd, srcEnd, pitch, instanceVolumer, masterVolumer);
    else if (srcChannels_ == 1 && dstChannels_ == 2)
        RunTyped<SrcBits, DstBits, Mix, 1, 2>(dstPos, srcPos, dstEnd, srcEnd, pitch, instanceVolumer, masterVolumer);
    else if (srcChannels_ == 1 && dstChannels_ == 1)
        RunTyped<SrcBits, DstBits, Mix, 1, 1>(dstPos, srcPos, dstEnd, srcEnd, pitch, instanceVolumer, masterVolumer);
    else
        RunTyped<SrcBits, DstBits, Mix, 0, 0>(dstPos, srcPos, dstEnd, srcEnd, pitch, instanceVolumer, masterVolumer);
}

template <int SrcBits, int DstBits, bool Mix, int SrcCh, int DstCh>
void WaveWriteTo::RunTyped(std::uint32_t& dstPos, std::uint32_t& srcPos, std::uint32_t dstEnd,
                           std::uint32_t srcEnd, double pitch, TVolumer* instanceVolumer, TVolumer* masterVolumer)
{
    const bool volumes = instanceVolumer || masterVolumer;
    std::int32_t* const acc = acc_;
    if (pitch == 1.0) {
        const std::uint32_t n = std::min(srcEnd - srcPos, dstEnd - dstPos);
        std::uint32_t s = srcPos, d = dstPos;
        srcPos += n;
        dstPos += n;
        for (std::uint32_t i = 0; i < n; ++i, ++s, ++d) {
            Load<SrcBits, SrcCh, DstCh>(s, acc);
            if (volumes)
                ApplyVolumes<DstCh>(instanceVolumer, masterVolumer, acc);
            Store<DstBits, Mix, DstCh>(d, acc);
        }
    } else if (pitch < 1.0) {
        // Slower: every destination frame repeats the last source frame loaded.
        double phase = 1.0;
        while (dstPos < dstEnd && srcPos < srcEnd) {
            if (phase >= 1.0) {
                Load<SrcBits, SrcCh, DstCh>(srcPos, acc);
                if (volumes)
                    ApplyVolumes<DstCh>(instanceVolumer, masterVolumer, acc);
                phase -= 1.0;
                ++srcPos;
            }
            Store<DstBits, Mix, DstCh>(dstPos, acc);
            phase += pitch;
            ++dstPos;
        }
    } else {
        // Faster: source frames between two destination frames are dropped.
        const double step = 1.0 / pitch;
        double phase = 1.0;
        while (dstPos < dstEnd && srcPos < srcEnd) {
            Load<SrcBits, SrcCh, DstCh>(srcPos, acc);
            ++srcPos;
            if (phase >= 1.0) {
                if (volumes)
                    ApplyVolumes<DstCh>(instanceVolumer, masterVolumer, acc);
                Store<DstBits, Mix, DstCh>(dstPos, acc);
                phase -= 1.0;
                ++dstPos;
            }
            phase += step;
        }
    }
}

bool WaveWriteTo::RunWhole(std::uint32_t& dstPos, std::uint32_t& srcPos, std::uint32_t dstEnd, std::uint32_t srcEnd,
                           bool mix)
{
    // Whole runs read all of one buffer before writing the other: they must not be one buffer.
    if (&source_ == &destination_)
        return false;
    const std::uint32_t n = std::min(srcEnd - srcPos, dstEnd - dstPos);
    const std::uint8_t* src = source_.GetData(srcPos);
    std::uint8_t* dst = destination_.GetData(dstPos);
    if (srcChannels_ == dstChannels_) {
        const std::size_t samples = std::size_t(n) * srcChannels_;
        // A copy stores each 16-bit sample unchanged: saturating it is a no-op.
        if (mix)
            mixblocks::AddSaturate16(dst, src, samples);
        else
            std::memcpy(dst, src, samples * 2);
    } else if (srcChannels_ == 1 && dstChannels_ == 2) {
        mixblocks::MonoToStereo16(dst, src, n, mix);
    } else {
        return false;
    }
    srcPos += n;
    dstPos += n;
    return true;
}

void WaveWriteTo::Run(std::uint32_t& dstPos, std::uint32_t& srcPos, std::uint32_t dstEnd, std::uint32_t srcEnd,
                      float pitch, bool mix, TVolumer* instanceVolumer, TVolumer* masterVolumer)
{
    dstEnd = std::min(dstEnd, destination_.GetFrames());
    srcEnd = std::min(srcEnd, source_.GetFrames());
    if (dstPos >= dstEnd || srcPos >= srcEnd || srcChannels_ == 0 || dstChannels_ == 0)
        return;
    float rate = pitch;
    const std::uint32_t srcRate = source_.GetFormat().nSamplesPerSec;
    const std::uint32_t dstRate = destination_.GetFormat().nSamplesPerSec;
    if (srcRate != dstRate && dstRate != 0)
        rate = float(double(pitch) * srcRate / dstRate);
    const double p = rate;
    const bool src16 = source_.GetFormat().wBitsPerSample == 16;
    const bool dst16 = destination_.GetFormat().wBitsPerSample == 16;
    // A unity envelope scales by exactly 1.0 and its per-sample step changes nothing.
    if (wholeRuns_ && p == 1.0 && src16 && dst16 && Unity(instanceVolumer) && Unity(masterVolumer) &&
        RunWhole(dstPos, srcPos, dstEnd, srcEnd, mix))
        return;
    if (src16 && dst16)
        mix ? RunChannels<16, 16, true>(dstPos, srcPos, dstEnd, srcEnd, p, instanceVolumer, masterVolumer)
            : RunChannels<16, 16, false>(dstPos, srcPos, dstEnd, srcEnd, p, instanceVolumer, masterVolumer);
    else if (src16)
        mix ? RunChannels<16, 8, true>(dstPos, srcPos, dstEnd, srcEnd, p, instanceVolumer, masterVolumer)
            : RunChannels<16, 8, false>(dstPos, srcPos, dstEnd, srcEnd, p, instanceVolumer, masterVolumer);
    else if (dst16)
        mix ? RunChannels<8, 16, true>(dstPos, srcPos, dstEnd, srcEnd, p, instanceVolumer, masterVolumer)
            : RunChannels<8, 16, false>(dstPos, srcPos, dstEnd, srcEnd, p, instanceVolumer, masterVolumer);
    else
        mix ? RunChannels<8, 8, true>(dstPos, srcPos, dstEnd, srcEnd, p, instanceVolumer, masterVolumer)
            : RunChannels<8, 8, false>(dstPos, srcPos, dstEnd, srcEnd, p, instanceVolumer, masterVolumer);
}
