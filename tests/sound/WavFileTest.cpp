#include "sound/WavFile.h"

#include "sound/TWaveBuffer.h"
#include "WavFixture.h"

#include <gtest/gtest.h>

namespace {

using namespace wavfixture;

TEST(WavFile, ReadsChunksInAnyOrder)
{
    TempDir dir;
    struct Case {
        const char* name;
        std::vector<Chunk> chunks;
    } cases[] = {
        {"plain", {Fmt(2, 44100, 16), Data16({1, 2, 3, 4})}},
        {"dataFirst", {Data16({1, 2, 3, 4}), Fmt(2, 44100, 16)}},
        {"oddChunkBetween", {Chunk{"LIST", {'a', 'b', 'c'}}, Fmt(2, 44100, 16), Chunk{"junk", {9}}, Data16({1, 2, 3, 4})}},
    };
    for (const Case& c : cases) {
        const std::string path = dir.Write(std::string(c.name) + ".wav", Riff(c.chunks));
        WavFile wav;
        ASSERT_EQ(wav.Open(path, nullptr, WavFile::ModeRead), 0) << c.name;
        EXPECT_EQ(wav.GetFormat()->nChannels, 2) << c.name;
        EXPECT_EQ(wav.GetFormat()->nSamplesPerSec, 44100u) << c.name;
        ASSERT_EQ(wav.GetSize(), 8u) << c.name;
        std::int16_t got[4] = {};
        std::uint32_t read = 0;
        EXPECT_EQ(wav.Read(got, 8, &read), 0);
        EXPECT_EQ(read, 8u);
        EXPECT_EQ(got[3], 4) << c.name;
    }
}

TEST(WavFile, BrokenHeadersFailToOpen)
{
    TempDir dir;
    struct Case {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"notRiff", Riff({Fmt(1, 8000, 8), Data8({1})}, "WAVE", "RIFX")},
        {"notWave", Riff({Fmt(1, 8000, 8), Data8({1})}, "AVI ")},
        {"shortFmt", Riff({Chunk{"fmt ", Bytes(14, 1)}, Data8({1})})},
        {"noData", Riff({Fmt(1, 8000, 8)})},
        {"noFmt", Riff({Data8({1})})},
        {"empty", Bytes{}},
        {"truncatedHeader", Bytes{'R', 'I', 'F', 'F', 4, 0}},
    };
    for (const Case& c : cases) {
        WavFile wav;
        EXPECT_EQ(wav.Open(dir.Write(std::string(c.name) + ".wav", c.bytes), nullptr, WavFile::ModeRead), -1)
            << c.name;
        EXPECT_FALSE(wav.IsOpen());
    }
    WavFile missing;
    EXPECT_EQ(missing.Open(dir.File("missing.wav"), nullptr, WavFile::ModeRead), -1);
    EXPECT_EQ(missing.Open("", nullptr, WavFile::ModeRead), WavFile::E_INVALIDARG);
}

TEST(WavFile, DataChunkLongerThanTheFileCountsOnlyWhatIsThere)
{
    TempDir dir;
    Chunk data = Data16({7, 8, 9});
    data.declaredSize = 1000;
    WavFile wav;
    ASSERT_EQ(wav.Open(dir.Write("cut.wav", Riff({Fmt(1, 22050, 16), data})), nullptr, WavFile::ModeRead), 0);
    EXPECT_EQ(wav.GetSize(), 6u);
}

TEST(WavFile, ClosedWrittenFileHoldsSizesAndFactZero)
{
    TempDir dir;
    const std::string path = dir.File("out.wav");
    WAVEFORMATEX f;
    InitWaveFormat(f, 22050, 1, 8);
    {
        WavFile wav;
        ASSERT_EQ(wav.Open(path, &f, WavFile::ModeWrite), 0);
        const std::uint8_t samples[] = {1, 2, 3};
        std::uint32_t written = 0;
        EXPECT_EQ(wav.Write(3, samples, &written), 0);
        EXPECT_EQ(written, 3u);
        EXPECT_EQ(wav.Close(), 0);
    }
    const Bytes b = ReadFile(path);
    // RIFF(4+4) WAVE(4) fmt(8+16) fact(8+4) data(8+3+pad)
    ASSERT_EQ(b.size(), 12u + 24 + 12 + 12);
    EXPECT_EQ(Get32(b, 4), b.size() - 8);
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "fact");
    EXPECT_EQ(Get32(b, 44), 0u);
    EXPECT_EQ(std::string(b.begin() + 48, b.begin() + 52), "data");
    EXPECT_EQ(Get32(b, 52), 3u);

    WavFile back;
    ASSERT_EQ(back.Open(path, nullptr, WavFile::ModeRead), 0);
    EXPECT_EQ(back.GetSize(), 3u);
    EXPECT_EQ(back.GetFormat()->wBitsPerSample, 8);
}

TEST(WavFile, OpenFileHoldsFactAllOnes)
{
    TempDir dir;
    const std::string path = dir.File("open.wav");
    WAVEFORMATEX f;
    InitWaveFormat(f, 44100, 2, 16);
    WavFile wav;
    ASSERT_EQ(wav.Open(path, &f, WavFile::ModeWrite), 0);
    ASSERT_EQ(mmioFOURCC('f', 'a', 'c', 't'), mmioFOURCC('f', 'a', 'c', 't'));
    const std::int16_t frame[2] = {1, 2};
    std::uint32_t written = 0;
    ASSERT_EQ(wav.Write(4, frame, &written), 0);
    // Without the flush on Close the header may still be buffered; the fact value is written first.
    EXPECT_EQ(wav.Close(), 0);
    WavFile again;
    ASSERT_EQ(again.Open(path, &f, WavFile::ModeWrite), 0);
    const Bytes b = ReadFile(path);
    ASSERT_GE(b.size(), 48u);
    EXPECT_EQ(Get32(b, 44), 0xFFFFFFFFu);
}

TEST(WavFile, BufferAppendsItselfWholeToItsFile)
{
    TempDir dir;
    const std::string path = dir.File("buffer.wav");
    WAVEFORMATEX f;
    InitWaveFormat(f, 44100, 2, 16);
    const std::int16_t samples[] = {1, -1, 2, -2};
    {
        TWaveBuffer b(2, f, samples);
        b.CreateWaveFile(path);
        EXPECT_EQ(b.AppendToWaveFile(), 0);
        EXPECT_EQ(b.AppendToWaveFile(), 0);
    }
    WavFile back;
    ASSERT_EQ(back.Open(path, nullptr, WavFile::ModeRead), 0);
    EXPECT_EQ(back.GetSize(), 16u);
}

TEST(WavFile, AppendsToAFileThatCouldNotBeCreatedFail)
{
    TempDir dir;
    WAVEFORMATEX f;
    InitWaveFormat(f, 44100, 2, 16);
    TWaveBuffer b(2, f);
    b.CreateWaveFile(dir.File("no/such/folder.wav"));
    EXPECT_LT(b.AppendToWaveFile(), 0);
}

} // namespace
