#pragma once
// A kernel-style event: signalled or not, with automatic or manual reset. Any thread may set,
// reset or wait on it.
#include "platform/system/Threads.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

class TEvent {
public:
    // An auto-reset event lets exactly one waiter through per Set and unsignals itself;
    // a manual-reset event stays signalled until Reset.
    explicit TEvent(bool manualReset = false, bool initialState = false);
    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;

    void Set();
    void Reset();
    // Waits until the event is signalled or timeoutMs passed (INFINITE waits for ever).
    // True when signalled; false on timeout.
    [[nodiscard]] bool Wait(std::uint32_t timeoutMs = INFINITE);

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool manualReset_ = false;
    bool signalled_ = false;
};
