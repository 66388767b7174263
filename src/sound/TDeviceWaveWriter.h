#pragma once
// Plays mix buffers on a wave-out device with two buffers in flight. A feeder thread (time-critical
// priority) is woken by the device callback through an auto-reset event and calls back into the
// scene, which renders and writes the next buffer. The device callback only counts and signals.
// Open, Close and WriteBuffer run under the scene's lock (the scene's Play and its callback), or
// after StopThread, so they never overlap.
#include "platform/system/TEvent.h"
#include "platform/system/TThread.h"
#include "platform/multimedia/WaveOut.h"
#include "sound/TWaveWriter.h"

#include <array>
#include <memory>
#include <vector>

class TDeviceWaveWriter : public TWaveWriter {
public:
    // Starts the feeder thread at once (blocked until the device reports).
    TDeviceWaveWriter(TBufferDoneCallback callback, void* object);
    // Stops the feeder and closes the device. Never with the scene's lock held.
    ~TDeviceWaveWriter() override;

    // name is the device number as decimal text. Closes an open device first. Throws
    // "TDeviceWaveWriter::Open: Cant open wave device".
    void Open(const std::string& name, TWaveBuffer& mixBuffer) override;
    // Returns the queued buffers, then closes the device.
    void Close() override;
    // Throws "TDeviceWaveWriter::WriteBuffer: WaveOutDevice not open.".
    void WriteBuffer(const void* samples) override;
    [[nodiscard]] int GetFreeBuffers() const override;
    [[nodiscard]] bool IsOpen() const override { return handle_ != nullptr; }
    void StopThread() override;

    // The device callback (platform notifier thread).
    static void WaveOutProc(HWAVEOUT device, UINT message, std::uintptr_t instance, std::uintptr_t param1,
                            std::uintptr_t param2);

    [[nodiscard]] std::uint8_t GetDeviceState() const { return state_.load(); }

private:
    void Feed();

    HWAVEOUT handle_ = nullptr;
    std::array<WAVEHDR, 2> headers_{};
    std::array<std::vector<char>, 2> blocks_;
    std::uint32_t byteSize_ = 0;
    TEvent event_{false, false};
    std::atomic<std::int32_t> pending_{0};
    std::atomic<std::uint8_t> state_{0};
    std::atomic<bool> stop_{false};
    std::unique_ptr<TThread> thread_;
};
