// Wave-out on Linux over SDL2 audio. SDL pulls samples from its own thread through a callback;
// the blocks written by the program wait in a lock-free ring for that callback, which copies
// them out, never blocks, and hands finished blocks to a notifier thread through a second ring.
// The notifier thread runs the program's callback (WOM_OPEN, WOM_DONE..., WOM_CLOSE in order), so
// the program's callback never runs on SDL's audio thread and may take locks of its own.
#include "platform/multimedia/WaveOut.h"

#include "platform/system/Threads.h"

#include <SDL.h>

#include <array>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <semaphore>
#include <string>
#include <thread>

namespace {

// SDL would otherwise install its own SIGINT/SIGTERM handlers, and the program could then no
// longer be ended from a terminal or by its session.
bool InitAudio()
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // SDL's own audio thread pulls on a deadline too: real-time where the system allows it.
    SDL_SetHint(SDL_HINT_THREAD_FORCE_REALTIME_TIME_CRITICAL, "1");
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

std::function<bool(std::uint16_t)> g_openGate;

constexpr std::uint32_t kMaxBlocks = 64;  // blocks written and not yet returned done

std::atomic<std::uint64_t> g_underruns{0};

// Single producer, single consumer; a slot is published by the release store of tail.
class BlockRing {
public:
    bool Push(WAVEHDR* header)
    {
        const std::uint32_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == kMaxBlocks)
            return false;
        slots_[tail % kMaxBlocks] = header;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }
    bool Pop(WAVEHDR*& header)
    {
        const std::uint32_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire))
            return false;
        header = slots_[head % kMaxBlocks];
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

private:
    std::array<WAVEHDR*, kMaxBlocks> slots_{};
    std::atomic<std::uint32_t> head_{0};
    std::atomic<std::uint32_t> tail_{0};
};

} // namespace

std::uint16_t waveOutPullFor(std::uint32_t rate, std::uint32_t blockFrames)
{
    // About 5 ms: short enough for the shortest buffer setting, since the block after a pull's
    // block is written only when that block has played out (two are in flight).
    std::uint16_t samples = 64;
    while (samples < 4096 && samples * 200u < rate)
        samples *= 2;
    // Every pull is a wake-up of SDL's thread, stopped or playing: longer blocks allow longer
    // pulls, up to a quarter of a block (the proportion the shortest setting has).
    while (samples < 4096 && samples * 8u <= blockFrames)
        samples *= 2;
    return samples;
}

void waveOutSetOpenGate(std::function<bool(std::uint16_t)> gate)
{
    g_openGate = std::move(gate);
}

struct HWAVEOUT__ {
    SDL_AudioDeviceID device = 0;
    WAVEFORMATEX format{};
    std::string name;   // SDL's device name; empty for the desktop's default output
    Uint16 pull = 0;    // samples per pull of the open device
    WAVEOUTPROC callback = nullptr;
    std::uintptr_t instance = 0;
    std::uint8_t silence = 0;

    BlockRing queued;  // waveOutWrite -> SDL callback
    BlockRing done;    // SDL callback (or waveOutReset) -> notifier
    // Owned by the SDL callback; waveOutReset touches them only with the device locked.
    WAVEHDR* current = nullptr;
    std::uint32_t offset = 0;
    bool playing = false;  // a block has been played since the open or the last reset
    bool starved = false;  // and then the queue ran dry

    std::counting_semaphore<> wake{0};
    std::atomic<bool> closing{false};
    std::thread notifier;

    std::mutex writeMutex;  // serialises waveOutWrite/waveOutReset/waveOutClose callers
    bool started = false;

    std::mutex countMutex;
    std::condition_variable returned;
    std::uint64_t written = 0;    // blocks written (guarded by countMutex)
    std::uint64_t delivered = 0;  // blocks returned through WOM_DONE (guarded by countMutex)

    void Notify(UINT message, std::uintptr_t param)
    {
        if (callback)
            callback(this, message, instance, param, 0);
    }

    void RunNotifier()
    {
        // A returned block is the program's cue to write the next one: with short buffers a late
        // cue is a gap in the sound, so this thread runs at the feeder's priority (where allowed).
        (void)SetCurrentThreadPriority(THREAD_PRIORITY_TIME_CRITICAL);
        Notify(WOM_OPEN, 0);
        for (;;) {
            wake.acquire();
            WAVEHDR* header = nullptr;
            while (done.Pop(header)) {
                header->dwFlags = (header->dwFlags.load() & ~WHDR_INQUEUE) | WHDR_DONE;
                Notify(WOM_DONE, reinterpret_cast<std::uintptr_t>(header));
                {
                    std::lock_guard lock(countMutex);
                    ++delivered;
                }
                returned.notify_all();
            }
            if (closing.load())
                break;
        }
        Notify(WOM_CLOSE, 0);
    }

    // SDL's audio thread: copies queued blocks out, silence when none is there. Never blocks.
    void Fill(Uint8* stream, int length)
    {
        std::uint32_t left = std::uint32_t(length);
        while (left > 0) {
            if (!current && !queued.Pop(current)) {
                // Silence after sound: a gap, if more sound follows (else the stream's end).
                starved = playing;
                std::memset(stream, silence, left);
                return;
            }
            if (starved)
                g_underruns.fetch_add(1, std::memory_order_relaxed);
            starved = false;
            playing = true;
            const std::uint32_t n = std::min(left, current->dwBufferLength - offset);
            std::memcpy(stream, current->lpData + offset, n);
            stream += n;
            left -= n;
            offset += n;
            if (offset >= current->dwBufferLength) {
                done.Push(current);  // cannot overflow: at most kMaxBlocks are outstanding
                wake.release();
                current = nullptr;
                offset = 0;
            }
        }
    }

    static void SDLCALL FillCallback(void* userdata, Uint8* stream, int length)
    {
        static_cast<HWAVEOUT__*>(userdata)->Fill(stream, length);
    }

    // Opens the SDL device (paused) pulling the given samples at a time; 0 when SDL refuses.
    SDL_AudioDeviceID OpenDevice(Uint16 samples)
    {
        if (g_openGate && !g_openGate(samples))
            return 0;
        SDL_AudioSpec want{};
        want.freq = int(format.nSamplesPerSec);
        want.format = format.wBitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
        want.channels = Uint8(format.nChannels);
        want.samples = samples;
        want.callback = &HWAVEOUT__::FillCallback;
        want.userdata = this;
        SDL_AudioSpec have{};
        return SDL_OpenAudioDevice(name.empty() ? nullptr : name.c_str(), 0, &want, &have, 0);
    }

    // Before the first block plays, the device is opened again with the pull that block's length
    // allows, when that is longer. Some drivers open a device only once, so the first is closed
    // before; should neither pull be had again, the device stays closed and plays nothing.
    void FitPullTo(std::uint32_t blockBytes)
    {
        const Uint16 samples = waveOutPullFor(format.nSamplesPerSec, blockBytes / format.nBlockAlign);
        if (samples <= pull)
            return;
        SDL_CloseAudioDevice(device);
        if ((device = OpenDevice(samples)) != 0)
            pull = samples;
        else
            device = OpenDevice(pull);
    }
};

MMRESULT waveOutOpen(HWAVEOUT* device, UINT deviceId, const WAVEFORMATEX* format, WAVEOUTPROC callback,
                     std::uintptr_t instance, std::uint32_t flags)
{
    if (!device)
        return MMSYSERR_INVALPARAM;
    *device = nullptr;
    if (!format)
        return MMSYSERR_INVALPARAM;
    if (format->wFormatTag != WAVE_FORMAT_PCM || (format->wBitsPerSample != 8 && format->wBitsPerSample != 16) ||
        format->nChannels == 0 || format->nChannels > 8 || format->nSamplesPerSec == 0 ||
        format->nBlockAlign != format->wBitsPerSample / 8 * format->nChannels)
        return WAVERR_BADFORMAT;
    if (!InitAudio())
        return MMSYSERR_NODRIVER;
    const char* name = nullptr;  // the desktop's default output
    if (deviceId != 0 && deviceId != WAVE_MAPPER) {
        const int count = SDL_GetNumAudioDevices(0);
        if (count < 0 || deviceId > UINT(count) || !(name = SDL_GetAudioDeviceName(int(deviceId) - 1, 0))) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return MMSYSERR_BADDEVICEID;
        }
    }
    auto* handle = new HWAVEOUT__;
    handle->callback = (flags & CALLBACK_FUNCTION) == CALLBACK_FUNCTION ? callback : nullptr;
    handle->instance = instance;
    handle->silence = format->wBitsPerSample == 8 ? 0x80 : 0;
    handle->format = *format;
    handle->name = name ? name : "";
    handle->pull = waveOutPullFor(format->nSamplesPerSec, 0);
    handle->device = handle->OpenDevice(handle->pull);
    if (handle->device == 0) {
        delete handle;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return MMSYSERR_BADDEVICEID;
    }
    handle->notifier = std::thread([handle] { handle->RunNotifier(); });
    *device = handle;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutPrepareHeader(HWAVEOUT device, WAVEHDR* header, UINT)
{
    if (!device)
        return MMSYSERR_INVALHANDLE;
    if (!header || (!header->lpData && header->dwBufferLength))
        return MMSYSERR_INVALPARAM;
    header->dwFlags = (header->dwFlags.load() | WHDR_PREPARED) & ~WHDR_INQUEUE;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT device, WAVEHDR* header, UINT)
{
    if (!device)
        return MMSYSERR_INVALHANDLE;
    if (!header)
        return MMSYSERR_INVALPARAM;
    if (header->dwFlags.load() & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    header->dwFlags = header->dwFlags.load() & ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutWrite(HWAVEOUT device, WAVEHDR* header, UINT)
{
    if (!device)
        return MMSYSERR_INVALHANDLE;
    if (!header)
        return MMSYSERR_INVALPARAM;
    const std::uint32_t flags = header->dwFlags.load();
    if (!(flags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    if (flags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    std::lock_guard writing(device->writeMutex);
    {
        std::lock_guard lock(device->countMutex);
        if (device->written - device->delivered >= kMaxBlocks)
            return MMSYSERR_NOMEM;
        ++device->written;
    }
    header->dwFlags = (flags & ~WHDR_DONE) | WHDR_INQUEUE;
    device->queued.Push(header);
    if (!device->started) {
        device->FitPullTo(header->dwBufferLength);
        SDL_PauseAudioDevice(device->device, 0);
        device->started = true;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutReset(HWAVEOUT device)
{
    if (!device)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard writing(device->writeMutex);
    SDL_LockAudioDevice(device->device);
    if (device->current) {
        device->done.Push(device->current);
        device->current = nullptr;
        device->offset = 0;
    }
    WAVEHDR* header = nullptr;
    while (device->queued.Pop(header))
        device->done.Push(header);
    device->playing = device->starved = false;
    SDL_UnlockAudioDevice(device->device);
    device->wake.release();
    std::unique_lock lock(device->countMutex);
    device->returned.wait(lock, [device] { return device->delivered == device->written; });
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutClose(HWAVEOUT device)
{
    if (!device)
        return MMSYSERR_INVALHANDLE;
    {
        std::lock_guard writing(device->writeMutex);
        std::lock_guard lock(device->countMutex);
        // Blocks still playing would be returned after their owner freed them.
        if (device->delivered != device->written)
            return WAVERR_STILLPLAYING;
    }
    SDL_CloseAudioDevice(device->device);  // no callback runs after this
    device->closing = true;
    device->wake.release();
    device->notifier.join();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    delete device;
    return MMSYSERR_NOERROR;
}

std::uint64_t waveOutUnderruns()
{
    return g_underruns.load(std::memory_order_relaxed);
}

UINT waveOutGetNumDevs()
{
    if (!InitAudio())
        return 0;
    const int count = SDL_GetNumAudioDevices(0);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return count > 0 ? UINT(count) : 0;
}
