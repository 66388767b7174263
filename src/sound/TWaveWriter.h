#pragma once
// The scene's output: takes one mix buffer at a time and, from a thread of its own, calls back
// into the scene whenever it can take the next. The scene serialises WriteBuffer (its lock);
// Open and Close run on the GUI thread.
#include "sound/TWaveBuffer.h"

#include <atomic>
#include <cstdint>
#include <string>

// Called on the writer's thread as callback(object, device state); state 1 asks for a buffer.
using TBufferDoneCallback = void (*)(void* object, std::uint8_t deviceState);

class TWaveWriter {
public:
    TWaveWriter(TBufferDoneCallback callback, void* object) : callback_(callback), object_(object) {}
    TWaveWriter(const TWaveWriter&) = delete;
    TWaveWriter& operator=(const TWaveWriter&) = delete;
    virtual ~TWaveWriter() = default;

    // Opens the output named name for buffers of mixBuffer's format and size. Throws Exception.
    virtual void Open(const std::string& name, TWaveBuffer& mixBuffer) = 0;
    virtual void Close() = 0;
    // Takes one mix buffer's bytes. Throws Exception when the output is not open.
    virtual void WriteBuffer(const void* samples) = 0;
    // How many buffers the output can take now.
    [[nodiscard]] virtual int GetFreeBuffers() const = 0;
    [[nodiscard]] virtual bool IsOpen() const = 0;
    // Ends the writer's thread and waits for it; afterwards no callback comes any more. GUI
    // thread, never with the scene's lock held (the thread may be waiting for that lock).
    virtual void StopThread() = 0;

    // Buffers taken since Open: the scene's output clock.
    [[nodiscard]] std::int32_t GetBuffersWritten() const { return written_.load(); }
    [[nodiscard]] std::int32_t GetBuffersCompleted() const { return completed_.load(); }
    // Exceptions the callback raised on the writer's thread (they are caught there).
    [[nodiscard]] std::int32_t GetCallbackErrors() const { return callbackErrors_.load(); }

protected:
    // Runs the callback on the writer's thread; nothing escapes into the thread.
    void DoCallback(std::uint8_t deviceState) noexcept;

    TBufferDoneCallback callback_ = nullptr;
    void* object_ = nullptr;
    std::atomic<std::int32_t> completed_{0};
    std::atomic<std::int32_t> written_{0};
    std::atomic<std::int32_t> callbackErrors_{0};
};
