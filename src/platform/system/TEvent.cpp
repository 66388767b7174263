#include "platform/system/TEvent.h"

#include <chrono>

TEvent::TEvent(bool manualReset, bool initialState) : manualReset_(manualReset), signalled_(initialState) {}

void TEvent::Set()
{
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    if (manualReset_)
        cv_.notify_all();
    else
        cv_.notify_one();
}

void TEvent::Reset()
{
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool TEvent::Wait(std::uint32_t timeoutMs)
{
    std::unique_lock lock(mutex_);
    if (timeoutMs == INFINITE)
        cv_.wait(lock, [this] { return signalled_; });
    else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return signalled_; }))
        return false;
    if (!manualReset_)
        signalled_ = false;
    return true;
}
