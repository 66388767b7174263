#include "platform/system/TEvent.h"
#include "platform/system/TThread.h"
#include "platform/system/Threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace {

TEST(TEvent, AutoResetLetsOneWaitThroughPerSet)
{
    TEvent event(false, false);
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
}

TEST(TEvent, ManualResetStaysSignalledUntilReset)
{
    TEvent event(true, true);
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(TEvent, WaitTimesOutAfterRoughlyTheTimeout)
{
    TEvent event;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.Wait(30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(TThread, SetFromAnotherThreadWakesAnInfiniteWait)
{
    TEvent go, done;
    std::atomic<int> seen{0};
    TThread thread(
        [&] {
            if (go.Wait(INFINITE))
                seen = 1;
            done.Set();
        },
        THREAD_PRIORITY_HIGHEST);
    go.Set();
    EXPECT_TRUE(done.Wait(5000));
    thread.Join();
    EXPECT_EQ(seen.load(), 1);
}

TEST(Interlocked, IncrementAndDecrementReturnTheNewValue)
{
    std::atomic<std::int32_t> value{0};
    EXPECT_EQ(InterlockedIncrement(value), 1);
    EXPECT_EQ(InterlockedIncrement(value), 2);
    EXPECT_EQ(InterlockedDecrement(value), 1);
}

} // namespace
