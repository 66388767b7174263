#pragma once
// Wave-out: plays PCM blocks on an audio output device. Blocks handed to the device with
// waveOutWrite come back "done", in the order they were written, through the callback given
// to waveOutOpen (WOM_OPEN first, then WOM_DONE per block, WOM_CLOSE last). The callback runs on
// one platform thread per open device: it must be short and must not call the waveOut functions.
// Every other call belongs to the thread(s) that own the device, one at a time.
#include "platform/multimedia/Mmio.h"  // MMRESULT and MMSYSERR_NOERROR
#include "platform/ui/WindowMessages.h"

#include <atomic>
#include <cstdint>
#include <functional>

// The published wave-format record.
struct WAVEFORMATEX {
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;
};

constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

struct HWAVEOUT__;
using HWAVEOUT = HWAVEOUT__*;

constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;

constexpr UINT WAVE_MAPPER = 0xFFFFFFFFu;
constexpr std::uint32_t CALLBACK_NULL = 0x00000;
constexpr std::uint32_t CALLBACK_FUNCTION = 0x30000;

constexpr UINT WOM_OPEN = 0x3BB;
constexpr UINT WOM_CLOSE = 0x3BC;
constexpr UINT WOM_DONE = 0x3BD;

constexpr std::uint32_t WHDR_DONE = 0x01;
constexpr std::uint32_t WHDR_PREPARED = 0x02;
constexpr std::uint32_t WHDR_INQUEUE = 0x10;

// One block of samples. The owner keeps it (and lpData) alive from waveOutPrepareHeader until
// waveOutUnprepareHeader.
struct WAVEHDR {
    char* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uintptr_t dwUser = 0;
    std::atomic<std::uint32_t> dwFlags{0};  // WHDR_*: the device thread changes them
};

// Callback: (device, message, instance given to waveOutOpen, param1 = the WAVEHDR* for WOM_DONE, 0).
using WAVEOUTPROC = void (*)(HWAVEOUT device, UINT message, std::uintptr_t instance, std::uintptr_t param1,
                             std::uintptr_t param2);

// Opens device deviceId (0 or WAVE_MAPPER: the desktop's default output; n >= 1: the n-th other
// output) for PCM 8/16-bit in format. The device starts playing with the first waveOutWrite.
// MMSYSERR_BADDEVICEID / MMSYSERR_NODRIVER / WAVERR_BADFORMAT on failure, *device then null.
[[nodiscard]] MMRESULT waveOutOpen(HWAVEOUT* device, UINT deviceId, const WAVEFORMATEX* format,
                                   WAVEOUTPROC callback, std::uintptr_t instance, std::uint32_t flags);
MMRESULT waveOutPrepareHeader(HWAVEOUT device, WAVEHDR* header, UINT size);
MMRESULT waveOutUnprepareHeader(HWAVEOUT device, WAVEHDR* header, UINT size);
// Queues a prepared block for playing. Never waits for the device.
MMRESULT waveOutWrite(HWAVEOUT device, WAVEHDR* header, UINT size);
// Stops playing and returns every queued block as done; returns after their WOM_DONE callbacks ran.
MMRESULT waveOutReset(HWAVEOUT device);
// Closes the device (after waveOutReset: WAVERR_STILLPLAYING while blocks are queued); the
// WOM_CLOSE callback has run when it returns.
MMRESULT waveOutClose(HWAVEOUT device);
// Number of output devices besides the default one.
[[nodiscard]] UINT waveOutGetNumDevs();

// Not of the Windows API: how many times, over all devices since the process started, the device
// wanted samples while blocks were outstanding but none was waiting (it played silence in the
// middle of the stream). For measuring the smallest buffer a machine sustains. Any thread.
[[nodiscard]] std::uint64_t waveOutUnderruns();

// Not of the Windows API: the frames the device pulls at a time at rate frames a second: about
// 5 ms (a power of two) when opened (blockFrames 0), and once the first block is written, longer
// blocks allow longer pulls, up to a quarter of that block; at most 4096. Any thread.
[[nodiscard]] std::uint16_t waveOutPullFor(std::uint32_t rate, std::uint32_t blockFrames);

// Not of the Windows API, for tests: called before each open of the system's device (in waveOutOpen
// and when the first waveOutWrite opens it again) with the frames per pull it asks for; false
// makes that open fail as a refusal of the system would. Empty (the default) lets every open go
// ahead. Set it while no device is opening.
void waveOutSetOpenGate(std::function<bool(std::uint16_t pullFrames)> gate);
