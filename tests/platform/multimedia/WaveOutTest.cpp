#include "platform/multimedia/WaveOut.h"

#include "platform/system/TEvent.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Seen {
    std::mutex mutex;
    std::vector<UINT> messages;
    std::vector<std::uintptr_t> blocks;
    TEvent closed{true, false};
};

void Callback(HWAVEOUT, UINT message, std::uintptr_t instance, std::uintptr_t param1, std::uintptr_t)
{
    auto* seen = reinterpret_cast<Seen*>(instance);
    std::lock_guard lock(seen->mutex);
    seen->messages.push_back(message);
    if (message == WOM_DONE)
        seen->blocks.push_back(reinterpret_cast<WAVEHDR*>(param1)->dwUser);
}

class WaveOut : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        InitFormat(format);
    }
    static void InitFormat(WAVEFORMATEX& f)
    {
        f.wFormatTag = WAVE_FORMAT_PCM;
        f.nChannels = 2;
        f.nSamplesPerSec = 44100;
        f.wBitsPerSample = 16;
        f.nBlockAlign = 4;
        f.nAvgBytesPerSec = 44100 * 4;
    }
    WAVEFORMATEX format;
    Seen seen;
};

TEST_F(WaveOut, BlocksComeBackDoneInOrderBetweenOpenAndClose)
{
    HWAVEOUT device = nullptr;
    ASSERT_EQ(waveOutOpen(&device, 0, &format, &Callback, reinterpret_cast<std::uintptr_t>(&seen), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    std::vector<std::vector<char>> data(4, std::vector<char>(44100 * 4));  // a second each
    std::vector<WAVEHDR> headers(4);
    for (std::size_t i = 0; i < headers.size(); ++i) {
        headers[i].lpData = data[i].data();
        headers[i].dwBufferLength = std::uint32_t(data[i].size());
        headers[i].dwUser = i;
        ASSERT_EQ(waveOutPrepareHeader(device, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutWrite(device, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(waveOutWrite(device, &headers[0], sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutClose(device), WAVERR_STILLPLAYING);
    // Reset returns whatever has not played yet, after its WOM_DONE ran.
    ASSERT_EQ(waveOutReset(device), MMSYSERR_NOERROR);
    for (WAVEHDR& h : headers) {
        EXPECT_TRUE(h.dwFlags & WHDR_DONE);
        EXPECT_EQ(waveOutUnprepareHeader(device, &h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
    EXPECT_EQ(seen.messages, (std::vector<UINT>{WOM_OPEN, WOM_DONE, WOM_DONE, WOM_DONE, WOM_DONE, WOM_CLOSE}));
    EXPECT_EQ(seen.blocks, (std::vector<std::uintptr_t>{0, 1, 2, 3}));
}

TEST_F(WaveOut, UnpreparedBlocksAndBadFormatsAreRefused)
{
    HWAVEOUT device = nullptr;
    WAVEFORMATEX bad = format;
    bad.nBlockAlign = 3;
    EXPECT_EQ(waveOutOpen(&device, 0, &bad, &Callback, 0, CALLBACK_FUNCTION), WAVERR_BADFORMAT);
    EXPECT_EQ(device, nullptr);
    bad = format;
    bad.wBitsPerSample = 24;
    bad.nBlockAlign = 6;
    EXPECT_EQ(waveOutOpen(&device, 0, &bad, &Callback, 0, CALLBACK_FUNCTION), WAVERR_BADFORMAT);
    EXPECT_EQ(waveOutOpen(&device, 77, &format, &Callback, 0, CALLBACK_FUNCTION), MMSYSERR_BADDEVICEID);
    ASSERT_EQ(waveOutOpen(&device, 0, &format, nullptr, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    std::vector<char> data(64);
    WAVEHDR header;
    header.lpData = data.data();
    header.dwBufferLength = 64;
    EXPECT_EQ(waveOutWrite(device, &header, sizeof(WAVEHDR)), WAVERR_UNPREPARED);
    EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
}

TEST(WaveOutPull, FiveMillisecondsAtOpenUpToAQuarterOfTheFirstBlock)
{
    const struct {
        std::uint32_t rate, blockFrames;
        std::uint16_t pull;
    } rows[] = {
        {44100, 0, 256},    {48000, 0, 256},    {22050, 0, 128},    {8000, 0, 64},      {96000, 0, 512},
        {25600, 0, 128},    {25601, 0, 256} /* 5 ms exactly, and a frame more */,       {2000000, 0, 4096},
        {44100, 2047, 256}, {44100, 2048, 512}, {44100, 4095, 512}, {44100, 4096, 1024}, {8000, 511, 64},
        {8000, 512, 128},   {44100, 5292, 1024} /* the default 120 ms */,               {44100, 1u << 30, 4096},
    };
    for (const auto& row : rows)
        EXPECT_EQ(waveOutPullFor(row.rate, row.blockFrames), row.pull) << row.rate << " Hz, " << row.blockFrames;
}

// The first block opens the device again with that block's pull; should the system refuse it,
// the device opens once more with the pull it had and still plays. A first block that allows no
// longer pull leaves the device as it was opened.
TEST_F(WaveOut, FirstBlockReopensWithItsPullOrFallsBackToTheOldOne)
{
    const struct {
        const char* name;
        std::uint32_t blockFrames;
        bool refuseLonger;
        std::vector<std::uint16_t> asked;  // the pulls of every open, in order
    } rows[] = {
        {"longer pull granted", 5292, false, {256, 1024}},
        {"longer pull refused", 5292, true, {256, 1024, 256}},
        {"block of the pull's size", 256, false, {256}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::uint16_t> asked;
        waveOutSetOpenGate([&](std::uint16_t pull) {
            asked.push_back(pull);
            return !(row.refuseLonger && pull > 256);
        });
        const struct Ungate {
            ~Ungate() { waveOutSetOpenGate({}); }
        } ungate;
        Seen played;
        HWAVEOUT device = nullptr;
        ASSERT_EQ(waveOutOpen(&device, 0, &format, &Callback, reinterpret_cast<std::uintptr_t>(&played),
                              CALLBACK_FUNCTION),
                  MMSYSERR_NOERROR);
        std::vector<std::vector<char>> data(2, std::vector<char>(row.blockFrames * 4));
        std::vector<WAVEHDR> headers(2);
        for (std::size_t i = 0; i < headers.size(); ++i) {
            headers[i].lpData = data[i].data();
            headers[i].dwBufferLength = std::uint32_t(data[i].size());
            ASSERT_EQ(waveOutPrepareHeader(device, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
            ASSERT_EQ(waveOutWrite(device, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        }
        EXPECT_EQ(asked, row.asked);
        // Played out, not returned by a reset: a device left closed would never get here.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        const auto done = [&] {
            std::lock_guard lock(played.mutex);
            return played.blocks.size() == headers.size();
        };
        while (!done() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_TRUE(done());
        ASSERT_EQ(waveOutReset(device), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
    }
}

} // namespace
