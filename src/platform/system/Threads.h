#pragma once
// Thread helpers of the platform: sleeping, interlocked counters and thread priority hints.
#include <atomic>
#include <cstdint>

constexpr std::uint32_t INFINITE = 0xFFFFFFFFu;

// Priority hints, from lowest to highest. They are hints: an unprivileged Linux process may not
// raise a thread above normal, and then the thread simply runs at normal priority.
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
// For threads with deadlines of a few milliseconds (audio, timers): the lowest real-time
// priority where the system grants it, else HIGHEST, else unchanged.
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;

// Suspends the calling thread for at least ms milliseconds (any thread).
void Sleep(std::uint32_t ms);

// Atomic increment and decrement; both return the new value (any thread).
inline std::int32_t InterlockedIncrement(std::atomic<std::int32_t>& value)
{
    return value.fetch_add(1) + 1;
}
inline std::int32_t InterlockedDecrement(std::atomic<std::int32_t>& value)
{
    return value.fetch_sub(1) - 1;
}

// Applies a priority hint to the calling thread. False when the system refused it.
bool SetCurrentThreadPriority(int priority);
