#include "sound/TWaveBuffer.h"

#include "platform/system/Exception.h"
#include "sound/TVolumer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

WAVEFORMATEX Format(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits)
{
    WAVEFORMATEX f;
    InitWaveFormat(f, rate, channels, bits);
    return f;
}

TWaveBuffer Buffer16(std::uint32_t rate, std::uint16_t channels, const std::vector<std::int16_t>& samples)
{
    return TWaveBuffer(std::uint32_t(samples.size() / channels), Format(rate, channels, 16), samples.data());
}

std::vector<std::int16_t> Samples16(TWaveBuffer& b)
{
    const auto* p = reinterpret_cast<const std::int16_t*>(b.GetData(0));
    return std::vector<std::int16_t>(p, p + b.GetByteSize() / 2);
}

std::string ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

TEST(TWaveBuffer, RefusesFormatsBitsFirst)
{
    struct Case {
        std::uint16_t tag, bits, channels, align;
        const char* error;
    } cases[] = {
        {3, 24, 2, 6, "WaveBuffer supports 8 and 16 bit depth only!"},
        {1, 24, 2, 6, "WaveBuffer supports 8 and 16 bit depth only!"},
        {3, 16, 2, 4, "WaveBuffer supports WAVE_FORMAT_PCM only!"},
        {1, 16, 2, 3, "WaveBuffer block align must be channels * bits / 8!"},
        {1, 16, 0, 0, "WaveBuffer block align must be channels * bits / 8!"},
        {1, 8, 1, 1, ""},
    };
    for (const Case& c : cases) {
        WAVEFORMATEX f = Format(44100, c.channels, c.bits);
        f.wFormatTag = c.tag;
        f.nBlockAlign = c.align;
        EXPECT_EQ(ErrorOf([&] { TWaveBuffer b(4, f); }), c.error) << c.tag << "/" << c.bits;
    }
}

TEST(TWaveBuffer, AppendBeforeCreateThrows)
{
    TWaveBuffer b(4, Format(44100, 2, 16));
    EXPECT_EQ(ErrorOf([&] { (void)b.AppendToWaveFile(); }), "File not createt yet. Use CreateWaveFile");
}

TEST(TWaveBuffer, ZeroOrNegativePitchThrows)
{
    TWaveBuffer src = Buffer16(44100, 1, {1, 2});
    TWaveBuffer dst(2, Format(44100, 1, 16));
    std::uint32_t d = 0, s = 0;
    EXPECT_EQ(ErrorOf([&] { src.WriteTo(dst, d, s, 2, 2, 0.0f, false, nullptr, nullptr); }), "Pitch<=0");
    EXPECT_EQ(ErrorOf([&] { src.WriteTo(dst, d, s, 2, 2, -1.0f, false, nullptr, nullptr); }), "Pitch<=0");
}

// One source sample written onto one destination sample: copy or add, and the result.
struct MixCase {
    const char* name;
    std::int16_t src, dst;
    bool mix;
    std::int16_t expected;
};

void PrintTo(const MixCase& c, std::ostream* os) { *os << c.name; }

class Mix16 : public ::testing::TestWithParam<MixCase> {};

TEST_P(Mix16, StoresSaturatedAtSixteenBitRange)
{
    const MixCase& c = GetParam();
    TWaveBuffer src = Buffer16(44100, 1, {c.src});
    TWaveBuffer dst = Buffer16(44100, 1, {c.dst});
    std::uint32_t d = 0, s = 0;
    src.WriteTo(dst, d, s, 1, 1, 1.0f, c.mix, nullptr, nullptr);
    EXPECT_EQ(Samples16(dst)[0], c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Mix16,
    ::testing::Values(MixCase{"AddWithinRange", 10000, 6000, true, 16000},
                      MixCase{"AddAboveOldLimit", 10000, 10000, true, 20000},
                      MixCase{"AddClipsPositive", 32767, 32767, true, 32767},
                      MixCase{"AddClipsNegative", -32768, -32768, true, -32768},
                      MixCase{"AddOppositeSigns", 32767, -32768, true, -1},
                      MixCase{"CopyKeepsFullScale", 32767, 5, false, 32767},
                      MixCase{"CopyKeepsNegativeFullScale", -32768, 5, false, -32768}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TWaveBuffer, CopyWithGainSaturatesInsteadOfWrapping)
{
    TWaveBuffer src = Buffer16(44100, 1, {30000, -30000});
    TWaveBuffer dst(2, Format(44100, 1, 16));
    TVolumer gain(std::vector<float>{2.0f});
    std::uint32_t d = 0, s = 0;
    src.WriteTo(dst, d, s, 2, 2, 1.0f, false, &gain, nullptr);
    EXPECT_EQ(Samples16(dst), (std::vector<std::int16_t>{32767, -32768}));
}

TEST(TWaveBuffer, EightBitPathClipsAtItsFullScale)
{
    const std::uint8_t s8[] = {255, 0, 128 + 64};
    const std::uint8_t d8[] = {255, 0, 128 + 32};
    TWaveBuffer src(3, Format(22050, 1, 8), s8);
    TWaveBuffer dst(3, Format(22050, 1, 8), d8);
    std::uint32_t d = 0, s = 0;
    src.WriteTo(dst, d, s, 3, 3, 1.0f, true, nullptr, nullptr);
    EXPECT_EQ(dst.GetData(0)[0], 255);
    EXPECT_EQ(dst.GetData(0)[1], 1);
    EXPECT_EQ(dst.GetData(0)[2], 128 + 96);
    // An 8-bit source copied into 16 bits keeps its scale: (byte - 128) * 128.
    TWaveBuffer wide(3, Format(22050, 1, 16));
    d = s = 0;
    src.WriteTo(wide, d, s, 3, 3, 1.0f, false, nullptr, nullptr);
    EXPECT_EQ(Samples16(wide), (std::vector<std::int16_t>{127 * 128, -128 * 128, 64 * 128}));
}

struct PitchCase {
    const char* name;
    std::uint32_t srcRate;
    float pitch;
    std::vector<std::int16_t> expected;  // destination of 8 frames, from source 1..8
    std::uint32_t srcAdvance;
};

void PrintTo(const PitchCase& c, std::ostream* os) { *os << c.name; }

class Pitch : public ::testing::TestWithParam<PitchCase> {};

TEST_P(Pitch, StepsThroughTheSourceAtTheRateRatio)
{
    const PitchCase& c = GetParam();
    TWaveBuffer src = Buffer16(c.srcRate, 1, {1, 2, 3, 4, 5, 6, 7, 8});
    TWaveBuffer dst(8, Format(44100, 1, 16));
    std::uint32_t d = 0, s = 0;
    src.WriteTo(dst, d, s, 8, 8, c.pitch, false, nullptr, nullptr);
    EXPECT_EQ(Samples16(dst), c.expected);
    EXPECT_EQ(s, c.srcAdvance);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Pitch,
    ::testing::Values(PitchCase{"One", 44100, 1.0f, {1, 2, 3, 4, 5, 6, 7, 8}, 8},
                      PitchCase{"HalfRepeatsEachFrame", 44100, 0.5f, {1, 1, 2, 2, 3, 3, 4, 4}, 4},
                      PitchCase{"DoubleDropsEverySecondFrame", 44100, 2.0f, {1, 3, 5, 7, 0, 0, 0, 0}, 8},
                      PitchCase{"HalfRateSourcePlaysAsHalfPitch", 22050, 1.0f, {1, 1, 2, 2, 3, 3, 4, 4}, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TWaveBuffer, MonoSourceFillsEveryStereoChannel)
{
    TWaveBuffer src = Buffer16(44100, 1, {100, -200});
    TWaveBuffer dst(2, Format(44100, 2, 16));
    std::uint32_t d = 0, s = 0;
    src.WriteTo(dst, d, s, 2, 2, 1.0f, false, nullptr, nullptr);
    EXPECT_EQ(Samples16(dst), (std::vector<std::int16_t>{100, 100, -200, -200}));
}

TEST(TWaveBuffer, EndsBeyondTheBuffersAreCut)
{
    TWaveBuffer src = Buffer16(44100, 1, {1, 2, 3});
    TWaveBuffer dst(2, Format(44100, 1, 16));
    std::uint32_t d = 0, s = 0;
    src.WriteTo(dst, d, s, 100, 100, 1.0f, false, nullptr, nullptr);
    EXPECT_EQ(d, 2u);
    EXPECT_EQ(s, 2u);
}

TEST(TWaveBuffer, EnvelopesScalePerChannelAndAdvancePerFrame)
{
    TWaveBuffer src = Buffer16(44100, 2, {1000, 1000, 1000, 1000, 1000, 1000});
    TWaveBuffer dst(3, Format(44100, 2, 16));
    TVolumer master(std::vector<float>{0.5f, 1.0f});
    TVolumer instance(std::vector<float>{1.0f, 1.0f});
    instance.SetVolume(std::vector<float>{0.0f, 0.0f}, 2);
    std::uint32_t d = 0, s = 0;
    src.WriteTo(dst, d, s, 3, 3, 1.0f, false, &instance, &master);
    EXPECT_EQ(Samples16(dst), (std::vector<std::int16_t>{500, 1000, 250, 500, 0, 0}));
    EXPECT_TRUE(instance.IsRampDone());
}

} // namespace
