#include "sound/WaveWriteTo.h"

#include "sound/TVolumer.h"
#include "sound/TWaveBuffer.h"

#include <algorithm>

namespace {

inline std::int32_t Scale(std::int32_t value, float volume)
{
    // Truncates like an integer conversion, but a huge (or NaN) volume cannot overflow it.
    const float r = float(value) * volume;
    if (r >= 2147483520.0f)
        return 2147483520;
    if (!(r > -2147483648.0f))
        return r != r ? 0 : -2147483647 - 1;
    return std::int32_t(r);
}

inline std::int32_t Saturate16(std::int32_t v)
{
    return v > 32767 ? 32767 : (v < -32768 ? -32768 : v);
}

} // namespace

WaveWriteTo::WaveWriteTo(const TWaveBuffer& source, TWaveBuffer& destination)
    : source_(source), destination_(destination), srcChannels_(source.GetFormat().nChannels),
      dstChannels_(destination.GetFormat().nChannels)
{
    const std::size_t width = std::max(srcChannels_, dstChannels_);
    if (width <= kInlineChannels) {
        acc_ = inline_.data();
    } else {
        wide_.assign(width, 0);
        acc_ = wide_.data();
    }
}

template <int SrcBits>
inline void WaveWriteTo::Load(std::uint32_t frame)
{
    const std::uint8_t* p = source_.GetData(frame);
    for (std::size_t c = 0; c < srcChannels_; ++c) {
        if constexpr (SrcBits == 16) {
            acc_[c] = std::int16_t(std::uint16_t(p[0] | p[1] << 8));
            p += 2;
        } else {
            acc_[c] = (std::int32_t(*p++) - 128) * 128;
        }
    }
    for (std::size_t c = srcChannels_; c < dstChannels_; ++c)
        acc_[c] = acc_[srcChannels_ - 1];
}

template <int DstBits, bool Mix>
inline void WaveWriteTo::Store(std::uint32_t frame)
{
    std::uint8_t* p = destination_.GetData(frame);
    for (std::size_t c = 0; c < dstChannels_; ++c) {
        const std::int32_t v = acc_[c];
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

void WaveWriteTo::ApplyVolumes(TVolumer* instanceVolumer, TVolumer* masterVolumer)
{
    for (TVolumer* v : {masterVolumer, instanceVolumer}) {
        if (!v)
            continue;
        const std::size_t n = std::min(dstChannels_, v->Channels());
        for (std::size_t c = 0; c < n; ++c)
            acc_[c] = Scale(acc_[c], v->Volume(c));
        v->Advance(1);
    }
}

template <int SrcBits, int DstBits, bool Mix>
void WaveWriteTo::RunTyped(std::uint32_t& dstPos, std::uint32_t& srcPos, std::uint32_t dstEnd,
                           std::uint32_t srcEnd, double pitch, TVolumer* instanceVolumer, TVolumer* masterVolumer)
{
    const bool volumes = instanceVolumer || masterVolumer;
    if (pitch == 1.0) {
        const std::uint32_t n = std::min(srcEnd - srcPos, dstEnd - dstPos);
        std::uint32_t s = srcPos, d = dstPos;
        srcPos += n;
        dstPos += n;
        for (std::uint32_t i = 0; i < n; ++i, ++s, ++d) {
            Load<SrcBits>(s);
            if (volumes)
                ApplyVolumes(instanceVolumer, masterVolumer);
            Store<DstBits, Mix>(d);
        }
    } else if (pitch < 1.0) {
        // Slower: every destination frame repeats the last source frame loaded.
        double phase = 1.0;
        while (dstPos < dstEnd && srcPos < srcEnd) {
            if (phase >= 1.0) {
                Load<SrcBits>(srcPos);
                if (volumes)
                    ApplyVolumes(instanceVolumer, masterVolumer);
                phase -= 1.0;
                ++srcPos;
            }
            Store<DstBits, Mix>(dstPos);
            phase += pitch;
            ++dstPos;
        }
    } else {
        // Faster: source frames between two destination frames are dropped.
        const double step = 1.0 / pitch;
        double phase = 1.0;
        while (dstPos < dstEnd && srcPos < srcEnd) {
            Load<SrcBits>(srcPos);
            ++srcPos;
            if (phase >= 1.0) {
                if (volumes)
                    ApplyVolumes(instanceVolumer, masterVolumer);
                Store<DstBits, Mix>(dstPos);
                phase -= 1.0;
                ++dstPos;
            }
            phase += step;
        }
    }
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
    if (src16 && dst16)
        mix ? RunTyped<16, 16, true>(dstPos, srcPos, dstEnd, srcEnd, p, instanceVolumer, masterVolumer)
            : RunTyped<16, 16, false>(dstPos, srcPos, dstEnd, srcEnd, p, instanceVolumer, masterVolumer);
    else if (src16)
        mix ? RunTyped<16, 8, true>(dstPos, srcPos, dstEnd, srcEnd, p, instanceVolumer, masterVolumer)
            : RunTyped<16, 8, false>(dstPos, srcPos, dstEnd, srcEnd, p, instanceVolumer, masterVolumer);
    else if (dst16)
        mix ? RunTyped<8, 16, true>(dstPos, srcPos, dstEnd, srcEnd, p, instanceVolumer, masterVolumer)
            : RunTyped<8, 16, false>(dstPos, srcPos, dstEnd, srcEnd, p, instanceVolumer, masterVolumer);
    else
        mix ? RunTyped<8, 8, true>(dstPos, srcPos, dstEnd, srcEnd, p, instanceVolumer, masterVolumer)
            : RunTyped<8, 8, false>(dstPos, srcPos, dstEnd, srcEnd, p, instanceVolumer, masterVolumer);
}
