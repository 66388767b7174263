#include "sound/TDeviceWaveWriter.h"
#include "sound/TFileWaveWriter.h"
#include "sound/TWaveScene.h"

#include "platform/system/Exception.h"
#include "platform/system/Threads.h"
#include "SoundEnv.h"
#include "WavFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <chrono>
#include <csignal>
#include <functional>
#include <sys/resource.h>

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

bool WaitFor(const std::function<bool()>& done, int ms)
{
    for (int i = 0; i < ms / 2; ++i) {
        if (done())
            return true;
        Sleep(2);
    }
    return done();
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
    EXPECT_FALSE(writer.Failed());
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

// A scene that plays one looping wave whose samples never repeat within a period and are never
// zero, rendered by a file writer: sample i of the file must be sample i of the loop.
class FileRender : public ::testing::Test {
protected:
    static constexpr std::uint32_t kLoopFrames = 7919;
    static constexpr std::uint32_t kPeriodBytes = 5292 * 4;  // 120 ms of 16-bit stereo
    static constexpr std::uint32_t kHeaderBytes = 56;        // RIFF, fmt, fact and data headers

    void SetUp() override
    {
        std::vector<std::int16_t> s(kLoopFrames * 2);
        for (std::size_t i = 0; i < s.size(); ++i)
            s[i] = std::int16_t(1 + i % 9973);
        WAVEFORMATEX f;
        InitWaveFormat(f, 44100, 2, 16);
        loop = std::make_unique<TWaveBuffer>(kLoopFrames, f, s.data());
        scene = std::make_unique<TWaveScene>();
        scene->SetSceneFormat(44100, 16, 2, 120);
        scene->AddInstance(loop.get(), "loop", 0);
        scene->PlayInstance("loop", 1000000, nullptr, 0, 0);
    }
    void TearDown() override { scene.reset(); }

    TFileWaveWriter& Start(const std::string& path, std::int32_t limit)
    {
        scene->SetoutputDevice(TWaveScene::OutputFile, path);
        auto& writer = dynamic_cast<TFileWaveWriter&>(*scene->GetWriter());
        writer.SetBufferLimit(limit);
        scene->Play();
        return writer;
    }
    // The count of whole periods the file holds, each sample checked against the loop, and the
    // chunk sizes against the file's length.
    std::size_t CheckedPeriods(const std::string& path)
    {
        const wavfixture::Bytes bytes = wavfixture::ReadFile(path);
        const std::uint32_t data = wavfixture::Get32(bytes, kHeaderBytes - 4);
        EXPECT_EQ(wavfixture::Get32(bytes, 4), bytes.size() - 8) << "RIFF size";
        EXPECT_EQ(data, bytes.size() - kHeaderBytes) << "data size";
        EXPECT_EQ(data % kPeriodBytes, 0u);
        const auto* expected = reinterpret_cast<const std::int16_t*>(loop->GetData(0));
        for (std::size_t i = 0; i < data / 2; ++i)
            if (std::memcmp(bytes.data() + kHeaderBytes + 2 * i, &expected[i % (kLoopFrames * 2)], 2) != 0) {
                ADD_FAILURE() << "sample " << i;
                break;
            }
        return data / kPeriodBytes;
    }

    std::unique_ptr<TWaveBuffer> loop;
    std::unique_ptr<TWaveScene> scene;
    wavfixture::TempDir dir;
};

TEST_F(FileRender, RendersAheadOfTheClockAndStopsAtItsLimit)
{
    const std::string path = dir.File("limit.wav");
    // 48 s of periods: a writer paced like the device would take all of them.
    const auto t0 = std::chrono::steady_clock::now();
    TFileWaveWriter& writer = Start(path, 400);
    ASSERT_TRUE(WaitFor([&] { return writer.GetBuffersCompleted() == 400; }, 60000));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(48));
    Sleep(30);
    EXPECT_EQ(writer.GetBuffersWritten(), 400) << "nothing past the limit";
    scene->Stop();
    writer.Close();
    EXPECT_FALSE(writer.Failed());
    EXPECT_EQ(CheckedPeriods(path), 400u);
}

TEST_F(FileRender, AFileThatCannotTakeEverythingIsReportedAndLeftValid)
{
    // The file size limit stands in for a disk that fills: writes beyond it fail.
    const std::string path = dir.File("full.wav");
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    auto* handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = kHeaderBytes + kPeriodBytes * 7 / 2;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    TFileWaveWriter& writer = Start(path, 50);
    const bool stopped = WaitFor([&] { return writer.Failed(); }, 8000);
    scene->Stop();
    writer.Close();
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, handler);
    ASSERT_TRUE(stopped);
    EXPECT_TRUE(writer.Failed());
    EXPECT_LT(writer.GetBuffersWritten(), 50) << "rendering stops with the first failed append";
    EXPECT_EQ(CheckedPeriods(path), 3u) << "the whole periods that reached the file";

    // A file that takes nothing at all.
    TFileWaveWriter& device = Start("/dev/full", 50);
    EXPECT_TRUE(WaitFor([&] { return device.Failed(); }, 8000));
    scene->Stop();
    device.Close();
    EXPECT_TRUE(device.Failed());
}

} // namespace
