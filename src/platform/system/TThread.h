#pragma once
// A thread that runs one body from construction. Nothing stops it from outside: the body ends
// when its owner tells it to (a flag, an event), and the owner then joins it.
#include "platform/system/Threads.h"

#include <functional>
#include <thread>

class TThread {
public:
    // Starts body at once on a new thread, which first applies the priority hint.
    explicit TThread(std::function<void()> body, int priority = THREAD_PRIORITY_NORMAL);
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;
    // Joins: the owner must have told the body to end. Calling it from the thread itself is a
    // programming error and is refused (the thread is detached instead of deadlocking).
    ~TThread();

    // Waits for the body to return. Does nothing when already joined.
    void Join();
    [[nodiscard]] bool IsCurrent() const { return thread_.get_id() == std::this_thread::get_id(); }

private:
    std::thread thread_;
};
