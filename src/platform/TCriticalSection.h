#pragma once
// The class library's critical section: re-entrant, so the thread that holds it may enter again.
#include <mutex>

class TCriticalSection {
public:
    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }
    [[nodiscard]] bool TryEnter() { return mutex_.try_lock(); }
    void Acquire() { Enter(); }
    void Release() { Leave(); }

private:
    std::recursive_mutex mutex_;
};
