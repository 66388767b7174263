#pragma once
// Renders mix buffers into a WAV file as fast as its thread asks: every 10 ms the thread calls
// back into the scene for one buffer and appends it to the file. The thread waits (suspended)
// from construction until Open and again after Close.
#include "platform/TEvent.h"
#include "platform/TThread.h"
#include "sound/TWaveWriter.h"

#include <condition_variable>
#include <memory>
#include <mutex>

class TFileWaveWriter : public TWaveWriter {
public:
    TFileWaveWriter(TBufferDoneCallback callback, void* object);
    // Ends the thread (appending a buffer still waiting) and finishes the file. Never with the
    // scene's lock held.
    ~TFileWaveWriter() override;

    // Creates the WAV file name (a failed creation shows only as failing appends) and lets the
    // thread run. An open file is finished first.
    void Open(const std::string& name, TWaveBuffer& mixBuffer) override;
    // Waits until the thread has appended what was written and stopped, then finishes the file.
    // Throws "Wave file not opened. Use Open method." when not open. Never with the scene's lock held.
    void Close() override;
    // Throws "Wave file not opened. Use Open method." when not open.
    void WriteBuffer(const void* samples) override;
    [[nodiscard]] int GetFreeBuffers() const override;
    [[nodiscard]] bool IsOpen() const override;
    void StopThread() override;

    // Result of the latest append (WavFile's code).
    [[nodiscard]] std::int32_t GetLastAppendResult() const { return lastAppend_.load(); }

private:
    static constexpr std::int32_t kRun = 0;
    static constexpr std::int32_t kExit = 1;
    static constexpr std::int32_t kSuspend = 2;

    void CheckOpen() const;
    void Run();
    void AppendPending();
    void Park();

    mutable std::mutex holdingMutex_;  // guards holding_; never held while calling the scene
    std::unique_ptr<TWaveBuffer> holding_;
    std::atomic<std::int32_t> state_{kRun};
    std::atomic<std::int32_t> lastAppend_{0};
    TEvent resume_{false, false};
    std::mutex parkMutex_;
    std::condition_variable parkedChanged_;
    bool parked_ = true;  // the thread starts suspended
    std::unique_ptr<TThread> thread_;
};
