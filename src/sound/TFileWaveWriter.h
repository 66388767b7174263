#pragma once
// Renders mix buffers into a WAV file as fast as the scene can render them: rendering is not tied
// to the clock (the operation log is replayed against the written count), so the thread asks for
// the next buffer as soon as it has appended the last one, and rests only while the scene gives
// nothing (stopped, paused, or the file at its limit). The thread waits (suspended) from
// construction until Open and again after Close.
//
// A file that cannot be written completely (not created, disk full, file too big) ends up as a
// valid WAV file holding the whole frames that did reach it, and the writer reports the failure.
#include "platform/system/TEvent.h"
#include "platform/system/TThread.h"
#include "sound/TWaveWriter.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

class TFileWaveWriter : public TWaveWriter {
public:
    TFileWaveWriter(TBufferDoneCallback callback, void* object);
    // Ends the thread (appending a buffer still waiting) and finishes the file. Never with the
    // scene's lock held.
    ~TFileWaveWriter() override;

    // Creates the WAV file name (a failed creation shows as Failed) and lets the thread run. An
    // open file is finished first. The buffer limit stays as set.
    void Open(const std::string& name, TWaveBuffer& mixBuffer) override;
    // Waits until the thread has appended what was written and stopped, then finishes the file
    // and checks it on disk (see Failed). Throws "Wave file not opened. Use Open method." when not
    // open. Never with the scene's lock held.
    void Close() override;
    // Throws "Wave file not opened. Use Open method." when not open.
    void WriteBuffer(const void* samples) override;
    // 0 once the limit is reached or the file failed, so the scene stops rendering for it.
    [[nodiscard]] int GetFreeBuffers() const override;
    [[nodiscard]] bool IsOpen() const override;
    void StopThread() override;

    // The file takes at most limit buffers (0: no limit), so that a render ends where the
    // performance ends however fast the thread runs. Any thread.
    void SetBufferLimit(std::int32_t limit) { limit_ = limit; }
    // Whether the file lost data since Open: an append failed (no further one is tried, so the
    // file keeps a gapless start), or, once closed, the file on disk did not hold everything
    // appended and was cut back to what it holds. Any thread.
    [[nodiscard]] bool Failed() const { return failed_.load(); }
    // Result of the latest append (WavFile's code).
    [[nodiscard]] std::int32_t GetLastAppendResult() const { return lastAppend_.load(); }

private:
    static constexpr std::int32_t kRun = 0;
    static constexpr std::int32_t kExit = 1;
    static constexpr std::int32_t kSuspend = 2;

    void CheckOpen() const;
    void Run();
    void AppendPending();
    void AppendLocked();
    void FinishLocked();
    void Park();

    mutable std::mutex holdingMutex_;  // guards holding_, name_ and appended_; never held while calling the scene
    std::unique_ptr<TWaveBuffer> holding_;
    std::string name_;
    std::uint64_t appended_ = 0;  // bytes the appends reported written
    std::atomic<std::int32_t> state_{kRun};
    std::atomic<std::int32_t> lastAppend_{0};
    std::atomic<std::int32_t> limit_{0};
    std::atomic<bool> failed_{false};
    TEvent resume_{false, false};
    std::mutex parkMutex_;
    std::condition_variable parkedChanged_;
    bool parked_ = true;  // the thread starts suspended
    std::unique_ptr<TThread> thread_;
};
