#include "sound/WaveWriteTo.h"

#include "sound/MixBlocks.h"
#include "sound/TVolumer.h"
#include "sound/TWaveBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// Samples crowd the ends of the range so that sums saturate often.
std::vector<std::uint8_t> RandomBytes(std::mt19937& rng, std::size_t n)
{
    std::vector<std::uint8_t> out(n);
    for (std::size_t i = 0; i + 1 < n; i += 2) {
        std::int16_t v;
        switch (rng() % 4) {
        case 0: v = 32767 - std::int16_t(rng() % 3); break;
        case 1: v = std::int16_t(-32768 + int(rng() % 3)); break;
        default: v = std::int16_t(rng()); break;
        }
        std::memcpy(&out[i], &v, 2);
    }
    return out;
}

TVolumer RandomVolumer(std::mt19937& rng, std::uint16_t channels, int kind)
{
    std::vector<float> start(channels, 1.0f);
    if (kind == 0)
        return TVolumer(start);  // unity
    for (float& v : start)
        v = float(rng() % 300) / 100.0f;
    TVolumer v(start);
    if (kind == 2)
        v.SetVolume(std::vector<float>(channels, 0.25f), 1 + rng() % 200);
    return v;
}

// The whole-run path against the per-frame one on the same random case, for every layout both
// take: random formats, pitches, positions, ends and envelopes (absent, unity, level, ramp).
TEST(WaveWriteTo, WholeRunsMatchThePerFrameKernel)
{
    std::mt19937 rng(20261207);
    const float pitches[] = {1.0f, 1.0f, 1.0f, 0.5f, 1.5f, 0.73f};
    const std::uint32_t rates[] = {44100, 44100, 22050};
    for (int round = 0; round < 3000; ++round) {
        const std::uint16_t srcCh = std::uint16_t(1 + rng() % 3), dstCh = std::uint16_t(1 + rng() % 3);
        const std::uint16_t srcBits = rng() % 5 ? 16 : 8, dstBits = rng() % 5 ? 16 : 8;
        WAVEFORMATEX sf, df;
        InitWaveFormat(sf, rates[rng() % 3], srcCh, srcBits);
        InitWaveFormat(df, 44100, dstCh, dstBits);
        const std::uint32_t srcFrames = 1 + rng() % 300, dstFrames = 1 + rng() % 300;
        const auto srcBytes = RandomBytes(rng, std::size_t(srcFrames) * sf.nBlockAlign + 1);
        const auto dstBytes = RandomBytes(rng, std::size_t(dstFrames) * df.nBlockAlign + 1);
        const TWaveBuffer src(srcFrames, sf, srcBytes.data());
        TWaveBuffer fast(dstFrames, df, dstBytes.data()), plain(dstFrames, df, dstBytes.data());

        const float pitch = pitches[rng() % 6];
        const bool mix = rng() % 2;
        const std::uint32_t srcPos = rng() % srcFrames, dstPos = rng() % dstFrames;
        const std::uint32_t srcEnd = srcPos + rng() % (srcFrames + 20), dstEnd = dstPos + rng() % (dstFrames + 20);
        const int instanceKind = int(rng() % 4), masterKind = int(rng() % 4);  // 3: none
        TVolumer instanceA = RandomVolumer(rng, dstCh, instanceKind % 3), instanceB = instanceA;
        TVolumer masterA = RandomVolumer(rng, dstCh, masterKind % 3), masterB = masterA;

        std::uint32_t fs = srcPos, fd = dstPos, ps = srcPos, pd = dstPos;
        WaveWriteTo(src, fast).Run(fd, fs, dstEnd, srcEnd, pitch, mix, instanceKind < 3 ? &instanceA : nullptr,
                                   masterKind < 3 ? &masterA : nullptr);
        WaveWriteTo(src, plain, false)
            .Run(pd, ps, dstEnd, srcEnd, pitch, mix, instanceKind < 3 ? &instanceB : nullptr,
                 masterKind < 3 ? &masterB : nullptr);
        SCOPED_TRACE(::testing::Message() << "round " << round << ": " << srcCh << "x" << srcBits << " -> " << dstCh
                                          << "x" << dstBits << " pitch " << pitch << " mix " << mix);
        ASSERT_EQ(fs, ps);
        ASSERT_EQ(fd, pd);
        ASSERT_EQ(0, std::memcmp(fast.GetData(0), plain.GetData(0), fast.GetByteSize()));
        ASSERT_EQ(instanceA.Volumes(), instanceB.Volumes());
        ASSERT_EQ(masterA.SamplesLeft(), masterB.SamplesLeft());
    }
}

// Every instruction-set form of the saturating add, on every length around its block sizes.
TEST(WaveWriteTo, EverySaturatingAddFormMatchesTheBytewiseOne)
{
    std::mt19937 rng(7);
    const auto forms = mixblocks::AddForms();
    for (std::size_t samples = 0; samples < 300; ++samples) {
        const auto src = RandomBytes(rng, samples * 2 + 1), dst = RandomBytes(rng, samples * 2 + 1);
        auto expected = dst;
        forms.back()(expected.data(), src.data() + 1, samples);
        for (std::size_t f = 0; f + 1 < forms.size(); ++f) {
            auto got = dst;
            forms[f](got.data(), src.data() + 1, samples);  // an odd address on purpose
            ASSERT_EQ(got, expected) << "form " << f << ", " << samples << " samples";
        }
    }
}

} // namespace
