#include "sound/TWaveContainer.h"

#include "platform/system/Exception.h"
#include "WavFixture.h"

#include <gtest/gtest.h>

namespace {

using namespace wavfixture;

std::string LoadError(TWaveContainer& c, const std::string& file, const std::string& name)
{
    try {
        c.AddWaveFromFile(file, name);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

TEST(TWaveContainer, LoadsEightAndSixteenBitMonoAndStereo)
{
    TempDir dir;
    TWaveContainer c;
    c.AddWaveFromFile(dir.Write("a.wav", Riff({Fmt(1, 22050, 8), Data8({1, 2, 3})})), "a");
    c.AddWaveFromFile(dir.Write("b.wav", Riff({Fmt(2, 44100, 16), Data16({1, 2, 3, 4, 5, 6})})), "b");
    EXPECT_EQ(c.GetWave("a")->GetFrames(), 3u);
    EXPECT_EQ(c.GetWave("a")->GetFormat().nSamplesPerSec, 22050u);
    EXPECT_EQ(c.GetWave("b")->GetFrames(), 3u);
    EXPECT_EQ(c.GetWave("b")->GetFormat().nChannels, 2);
}

TEST(TWaveContainer, FailuresGiveTheirTextsAndChangeNothing)
{
    TempDir dir;
    TWaveContainer c;
    const std::string good = dir.Write("good.wav", Riff({Fmt(1, 8000, 8), Data8({1})}));
    c.AddWaveFromFile(good, "w");
    struct Case {
        std::string file, name, error;
    } cases[] = {
        {good, "w", "Wave name 'w' allready present."},
        {dir.File("missing.wav"), "x", "Error open file '" + dir.File("missing.wav") + "'"},
        {dir.Write("empty.wav", Riff({Fmt(1, 8000, 8), Data8({})})), "x",
         "file '" + dir.File("empty.wav") + "' is empty"},
        {dir.Write("adpcm.wav", Riff({Fmt(1, 8000, 16, 2), Data16({1})})), "x",
         "File '" + dir.File("adpcm.wav") + "' read error: non-PCM wav format"},
        {dir.Write("24.wav", Riff({Fmt(2, 44100, 24), Chunk{"data", Bytes(12, 0)}})), "x",
         "WaveBuffer supports 8 and 16 bit depth only!"},
        {dir.Write("align.wav", Riff({Fmt(2, 44100, 16, 1, 3), Data16({1, 2})})), "x",
         "WaveBuffer block align must be channels * bits / 8!"},
        {dir.Write("align0.wav", Riff({Fmt(2, 44100, 16, 1, 0), Data16({1, 2})})), "x",
         "WaveBuffer block align must be channels * bits / 8!"},
    };
    for (const Case& k : cases)
        EXPECT_EQ(LoadError(c, k.file, k.name), k.error);
    EXPECT_EQ(c.Count(), 1u);
    EXPECT_EQ(c.GetWave("w")->GetFrames(), 1u);
    EXPECT_EQ(LoadError(c, good, "y"), "");
}

TEST(TWaveContainer, PartialFramesAreIgnored)
{
    TempDir dir;
    TWaveContainer c;
    Chunk odd{"data", {1, 0, 2, 0, 3}};  // two 16-bit frames and a trailing byte
    c.AddWaveFromFile(dir.Write("odd.wav", Riff({Fmt(1, 8000, 16), odd})), "odd");
    EXPECT_EQ(c.GetWave("odd")->GetFrames(), 2u);
}

TEST(TWaveContainer, TruncatedDataYieldsOnlyTheFramesInTheFile)
{
    TempDir dir;
    TWaveContainer c;
    Chunk data = Data16({10, 20, 30});
    data.declaredSize = 4000;
    c.AddWaveFromFile(dir.Write("cut.wav", Riff({Fmt(1, 8000, 16), data})), "cut");
    TWaveBuffer* w = c.GetWave("cut");
    ASSERT_EQ(w->GetFrames(), 3u);
    EXPECT_EQ(reinterpret_cast<const std::int16_t*>(w->GetData(0))[2], 30);
}

TEST(TWaveContainer, FileNamesMayUseBackslashesAndAnyCase)
{
    TempDir dir;
    dir.Write("groove.wav", Riff({Fmt(1, 8000, 8), Data8({1, 2})}));
    TWaveContainer c;
    c.AddWaveFromFile(dir.File("") + "\\GROOVE.WAV", "g");
    EXPECT_EQ(c.GetWave("g")->GetFrames(), 2u);
}

TEST(TWaveContainer, GetWaveOfUnknownNameThrows)
{
    TWaveContainer c;
    EXPECT_FALSE(c.Contains("none"));
    try {
        (void)c.GetWave("none");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Wave with name 'none' not found");
    }
}

} // namespace
