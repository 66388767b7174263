#include "sound/TDeviceWaveWriter.h"
#include "sound/TFileWaveWriter.h"

#include "platform/Exception.h"
#include "platform/Threads.h"
#include "SoundEnv.h"
#include "WavFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

namespace {

std::string ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

std::atomic<int> callbacks{0};
void CountCallback(void*, std::uint8_t state)
{
    if (state == 1)
        ++callbacks;
}

TWaveBuffer MixBuffer()
{
    WAVEFORMATEX f;
    InitWaveFormat(f, 44100, 2, 16);
    return TWaveBuffer(441, f);
}

TEST(TDeviceWaveWriter, OpenOfAMissingDeviceThrows)
{
    TWaveBuffer mix = MixBuffer();
    TDeviceWaveWriter writer(&CountCallback, nullptr);
    for (const char* name : {"99", "abc", ""})
        EXPECT_EQ(ErrorOf([&] { writer.Open(name, mix); }), "TDeviceWaveWriter::Open: Cant open wave device") << name;
    EXPECT_FALSE(writer.IsOpen());
}

TEST(TDeviceWaveWriter, OpenWithoutAnyAudioDriverThrows)
{
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    TWaveBuffer mix = MixBuffer();
    TDeviceWaveWriter writer(&CountCallback, nullptr);
    EXPECT_EQ(ErrorOf([&] { writer.Open("0", mix); }), "TDeviceWaveWriter::Open: Cant open wave device");
}

TEST(TDeviceWaveWriter, WriteBufferOnAClosedDeviceThrows)
{
    TDeviceWaveWriter writer(&CountCallback, nullptr);
    std::vector<std::uint8_t> samples(1764);
    EXPECT_EQ(ErrorOf([&] { writer.WriteBuffer(samples.data()); }),
              "TDeviceWaveWriter::WriteBuffer: WaveOutDevice not open.");
}

TEST(TDeviceWaveWriter, PlaysTwoBuffersAndCallsBackForEachReturnedOne)
{
    TWaveBuffer mix = MixBuffer();
    callbacks = 0;
    TDeviceWaveWriter writer(&CountCallback, nullptr);
    writer.Open("0", mix);
    EXPECT_EQ(writer.GetFreeBuffers(), 2);
    writer.WriteBuffer(mix.GetData(0));
    writer.WriteBuffer(mix.GetData(0));
    EXPECT_EQ(writer.GetFreeBuffers(), 0);
    for (int i = 0; i < 200 && writer.GetBuffersCompleted() < 2; ++i)
        Sleep(10);
    EXPECT_EQ(writer.GetBuffersCompleted(), 2);
    EXPECT_EQ(writer.GetFreeBuffers(), 2);
    // The callback carries the state after the latest device message, so the wake-up for
    // WOM_OPEN may already ask for a buffer: at least one request per returned buffer.
    for (int i = 0; i < 200 && callbacks < 2; ++i)
        Sleep(10);
    EXPECT_GE(callbacks.load(), 2);
    EXPECT_EQ(writer.GetBuffersWritten(), 2);
    writer.Close();
    EXPECT_FALSE(writer.IsOpen());
}

TEST(TFileWaveWriter, NothingWorksBeforeOpen)
{
    TFileWaveWriter writer(&CountCallback, nullptr);
    std::vector<std::uint8_t> samples(1764);
    EXPECT_EQ(ErrorOf([&] { writer.WriteBuffer(samples.data()); }), "Wave file not opened. Use Open method.");
    EXPECT_EQ(ErrorOf([&] { writer.Close(); }), "Wave file not opened. Use Open method.");
}

TEST(TFileWaveWriter, AppendsEveryBufferWrittenAndFinishesTheFileOnClose)
{
    wavfixture::TempDir dir;
    const std::string path = dir.File("render.wav");
    TWaveBuffer mix = MixBuffer();
    TFileWaveWriter writer(nullptr, nullptr);
    writer.Open(path, mix);
    EXPECT_EQ(writer.GetFreeBuffers(), 1);
    for (int i = 0; i < 3; ++i) {
        reinterpret_cast<std::int16_t*>(mix.GetData(0))[0] = std::int16_t(i + 1);
        while (writer.GetFreeBuffers() == 0)
            Sleep(1);
        writer.WriteBuffer(mix.GetData(0));
    }
    writer.Close();
    EXPECT_EQ(writer.GetBuffersCompleted(), 3);
    WavFile back;
    ASSERT_EQ(back.Open(path, nullptr, WavFile::ModeRead), 0);
    ASSERT_EQ(back.GetSize(), 3 * mix.GetByteSize());
    std::vector<std::int16_t> samples(back.GetSize() / 2);
    std::uint32_t read = 0;
    ASSERT_EQ(back.Read(samples.data(), back.GetSize(), &read), 0);
    EXPECT_EQ(samples[0], 1);
    EXPECT_EQ(samples[882], 2);
    EXPECT_EQ(samples[1764], 3);
}

} // namespace
