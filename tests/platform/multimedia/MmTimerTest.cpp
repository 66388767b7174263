#include "platform/multimedia/MmTimer.h"
#include "platform/multimedia/MmTimerService.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Fired {
    UINT id;
    DWORD at;
    bool onTimerThread;
};

// Records every callback; user data points at the recorder.
struct Recorder {
    std::mutex mutex;
    std::vector<Fired> fired;
    static void Callback(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
    {
        auto* self = reinterpret_cast<Recorder*>(user);
        std::lock_guard lock(self->mutex);
        self->fired.push_back({id, timeGetTime(), MmTimerService::Instance().IsTimerThread()});
    }
    std::vector<Fired> Take()
    {
        std::lock_guard lock(mutex);
        return fired;
    }
};

class MmTimerVirtual : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(MmTimerService::Instance().UseVirtualTime(1000)); }
    void TearDown() override { EXPECT_TRUE(MmTimerService::Instance().UseSteadyClock()); }
    static void Advance(std::uint32_t ms) { MmTimerService::Instance().AdvanceVirtualTime(ms); }
};

TEST_F(MmTimerVirtual, OneShotFiresOnceAtItsDueTimeOnTheTimerThread)
{
    Recorder rec;
    const UINT id = timeSetEvent(10, 1, Recorder::Callback, DWORD_PTR(&rec), TIME_ONESHOT);
    ASSERT_NE(id, 0u);
    Advance(9);
    EXPECT_TRUE(rec.Take().empty());
    Advance(1);
    Advance(100);
    const auto fired = rec.Take();
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].id, id);
    EXPECT_EQ(fired[0].at, 1010u);
    EXPECT_TRUE(fired[0].onTimerThread);
    EXPECT_EQ(timeGetTime(), 1110u);
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);  // already fired: still a success
}

struct Chain {
    Recorder rec;
    int left = 4;
    static void Callback(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR a, DWORD_PTR b)
    {
        auto* self = reinterpret_cast<Chain*>(user);
        Recorder::Callback(id, msg, DWORD_PTR(&self->rec), a, b);
        if (--self->left > 0) {
            EXPECT_NE(timeSetEvent(5, 1, Callback, user, TIME_ONESHOT), 0u);
        }
    }
};

TEST_F(MmTimerVirtual, CallbackArmsTheNextTimer)
{
    Chain chain;
    ASSERT_NE(timeSetEvent(5, 1, Chain::Callback, DWORD_PTR(&chain), TIME_ONESHOT), 0u);
    Advance(100);
    std::vector<DWORD> times;
    for (const Fired& f : chain.rec.Take())
        times.push_back(f.at);
    EXPECT_EQ(times, (std::vector<DWORD>{1005, 1010, 1015, 1020}));
}

TEST_F(MmTimerVirtual, TimersRunInDueOrderAndEqualDueTimesInArmingOrder)
{
    Recorder rec;
    const UINT late = timeSetEvent(30, 1, Recorder::Callback, DWORD_PTR(&rec), TIME_ONESHOT);
    const UINT first = timeSetEvent(20, 1, Recorder::Callback, DWORD_PTR(&rec), TIME_ONESHOT);
    const UINT second = timeSetEvent(20, 1, Recorder::Callback, DWORD_PTR(&rec), TIME_ONESHOT);
    Advance(50);
    const auto fired = rec.Take();
    ASSERT_EQ(fired.size(), 3u);
    EXPECT_EQ(fired[0].id, first);
    EXPECT_EQ(fired[1].id, second);
    EXPECT_EQ(fired[2].id, late);
}

TEST_F(MmTimerVirtual, KillCancelsAPendingTimerAndRefusesUnknownIds)
{
    Recorder rec;
    const UINT id = timeSetEvent(10, 1, Recorder::Callback, DWORD_PTR(&rec), TIME_ONESHOT);
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    Advance(50);
    EXPECT_TRUE(rec.Take().empty());
    EXPECT_EQ(timeKillEvent(0), TIMERR_NOCANDO);
    EXPECT_EQ(timeKillEvent(id + 1000), TIMERR_NOCANDO);
}

struct SelfKiller {
    std::atomic<UINT> other{0};
    std::atomic<bool> done{false};
    static void Callback(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
    {
        auto* self = reinterpret_cast<SelfKiller*>(user);
        EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);  // must not wait for itself
        EXPECT_EQ(timeKillEvent(self->other), TIMERR_NOERROR);
        self->done = true;
    }
};

TEST_F(MmTimerVirtual, KillFromTheTimerThreadReturnsAtOnce)
{
    SelfKiller killer;
    Recorder rec;
    ASSERT_NE(timeSetEvent(5, 1, SelfKiller::Callback, DWORD_PTR(&killer), TIME_ONESHOT), 0u);
    killer.other = timeSetEvent(10, 1, Recorder::Callback, DWORD_PTR(&rec), TIME_ONESHOT);
    Advance(20);
    EXPECT_TRUE(killer.done);
    EXPECT_TRUE(rec.Take().empty());
}

struct Slow {
    std::promise<void> started;
    std::atomic<bool> finished{false};
    static void Callback(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
    {
        auto* self = reinterpret_cast<Slow*>(user);
        self->started.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        self->finished = true;
    }
};

TEST_F(MmTimerVirtual, KillFromAnotherThreadWaitsForTheRunningCallback)
{
    Slow slow;
    const UINT id = timeSetEvent(5, 1, Slow::Callback, DWORD_PTR(&slow), TIME_ONESHOT);
    std::thread advancer([] { Advance(10); });
    slow.started.get_future().wait();
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    EXPECT_TRUE(slow.finished);
    advancer.join();
}

TEST_F(MmTimerVirtual, ClockWrapsAroundAfterTwoToThe32Milliseconds)
{
    ASSERT_TRUE(MmTimerService::Instance().UseVirtualTime(0xFFFFFFF0u));
    Recorder rec;
    ASSERT_NE(timeSetEvent(32, 1, Recorder::Callback, DWORD_PTR(&rec), TIME_ONESHOT), 0u);
    EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u);
    Advance(32);
    const auto fired = rec.Take();
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].at, 0x10u);
    EXPECT_EQ(DWORD(timeGetTime() - 0xFFFFFFF0u), 32u);
}

TEST_F(MmTimerVirtual, ClockCannotBeSwitchedWhileATimerIsPending)
{
    Recorder rec;
    const UINT id = timeSetEvent(10, 1, Recorder::Callback, DWORD_PTR(&rec), TIME_ONESHOT);
    EXPECT_FALSE(MmTimerService::Instance().UseSteadyClock());
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
}

TEST(MmTimer, CapsPeriodsAndRefusedKinds)
{
    TIMECAPS caps;
    ASSERT_EQ(timeGetDevCaps(&caps, sizeof caps), TIMERR_NOERROR);
    EXPECT_EQ(caps.wPeriodMin, 1u);
    EXPECT_GE(caps.wPeriodMax, caps.wPeriodMin);
    EXPECT_EQ(timeGetDevCaps(nullptr, sizeof caps), TIMERR_NOCANDO);

    EXPECT_EQ(timeBeginPeriod(0), TIMERR_NOCANDO);
    EXPECT_EQ(timeBeginPeriod(1), TIMERR_NOERROR);
    EXPECT_EQ(timeEndPeriod(1), TIMERR_NOERROR);
    EXPECT_EQ(timeEndPeriod(1), TIMERR_NOCANDO);

    Recorder rec;
    EXPECT_EQ(timeSetEvent(5, 1, nullptr, 0, TIME_ONESHOT), 0u);
    EXPECT_EQ(timeSetEvent(5, 1, Recorder::Callback, DWORD_PTR(&rec), TIME_PERIODIC), 0u);
}

TEST(MmTimer, SteadyClockFiresNoEarlierThanTheDelay)
{
    std::promise<DWORD> at;
    const DWORD start = timeGetTime();
    ASSERT_NE(timeSetEvent(
                  5, 1,
                  [](UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
                      reinterpret_cast<std::promise<DWORD>*>(user)->set_value(timeGetTime());
                  },
                  DWORD_PTR(&at), TIME_ONESHOT),
              0u);
    EXPECT_GE(DWORD(at.get_future().get() - start), 5u);
}

} // namespace
