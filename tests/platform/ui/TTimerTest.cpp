// The timer on the GUI thread's event loop: when it ticks and when it does not, and handlers that
// throw, stop or destroy their own timer.
#include "platform/ui/TTimer.h"

#include "platform/ui/EventBridge.h"
#include "platform/system/Exception.h"
#include "platform/ui/WindowMessages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Runs the event loop until done() or the time is up; true when done() became true.
bool RunUntil(const std::function<bool()>& done, int ms = 30000)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        ProcessMessages();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

TEST(TTimer, TicksEveryIntervalWithItselfAsSender)
{
    TTimer timer;
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    int ticks = 0;
    TObject* sender = nullptr;
    timer.SetInterval(10);
    const auto start = Clock::now();
    timer.SetOnTimer([&](TObject* s) {
        sender = s;
        ++ticks;
    });
    ASSERT_TRUE(RunUntil([&] { return ticks >= 5; }));
    EXPECT_EQ(sender, &timer);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(45));
}

TEST(TTimer, DoesNotTickWhenDisabledOrWithoutIntervalOrHandler)
{
    int ticks = 0;
    TTimer disabled;
    disabled.SetEnabled(false);
    disabled.SetInterval(5);
    disabled.SetOnTimer([&](TObject*) { ++ticks; });
    TTimer zero;
    zero.SetInterval(0);
    zero.SetOnTimer([&](TObject*) { ++ticks; });
    TTimer negative;
    negative.SetInterval(-5);
    EXPECT_EQ(negative.Interval(), 0u);
    negative.SetOnTimer([&](TObject*) { ++ticks; });
    TTimer noHandler;
    noHandler.SetInterval(5);
    EXPECT_FALSE(RunUntil([&] { return ticks > 0; }, 100));
    disabled.SetEnabled(true);
    EXPECT_TRUE(RunUntil([&] { return ticks > 0; }));
}

TEST(TTimer, HandlerCanDisableItsTimer)
{
    TTimer timer;
    timer.SetInterval(5);
    int ticks = 0;
    timer.SetOnTimer([&](TObject*) {
        ++ticks;
        timer.SetEnabled(false);
    });
    ASSERT_TRUE(RunUntil([&] { return ticks > 0; }));
    RunUntil([] { return false; }, 60);
    EXPECT_EQ(ticks, 1);
}

TEST(TTimer, RestsUntilWokenThenTicksOnItsOldBeat)
{
    TTimer timer;
    timer.SetInterval(40);
    std::vector<Clock::time_point> ticks;
    timer.SetOnTimer([&](TObject*) {
        ticks.push_back(Clock::now());
        if (ticks.size() == 1)
            timer.Rest();
    });
    ASSERT_TRUE(RunUntil([&] { return !ticks.empty(); }));
    EXPECT_TRUE(timer.Resting());
    EXPECT_TRUE(timer.Enabled());
    RunUntil([] { return false; }, 130);
    ASSERT_EQ(ticks.size(), 1u);

    // Woken between beats: no tick before the next beat of the old period, then the full period.
    const auto woken = Clock::now();
    timer.Wake();
    timer.Wake();
    EXPECT_FALSE(timer.Resting());
    ASSERT_TRUE(RunUntil([&] { return ticks.size() >= 3; }));
    const auto period = std::chrono::milliseconds(40);
    const auto beat = ticks[0] + ((woken - ticks[0]) / period + 1) * period;
    EXPECT_GE(ticks[1], beat - std::chrono::milliseconds(2));
    // Counted from the beat, not from the tick: a loaded machine may run that tick late.
    EXPECT_GE(ticks[2], beat + period - std::chrono::milliseconds(2));

    // Disabling ends a rest; a timer not resting ignores Wake.
    timer.Rest();
    timer.SetEnabled(false);
    EXPECT_FALSE(timer.Resting());
    timer.Wake();
    const std::size_t count = ticks.size();
    RunUntil([] { return false; }, 100);
    EXPECT_EQ(ticks.size(), count);
}

// The deadline a Wake sets, read back, so no tick need come: the next beat of an hour's period, not
// a whole period from the Wake. The time the machine takes can only shorten what is left.
TEST(TTimer, WakeSetsTheNextBeatOfTheOldPeriod)
{
    TTimer timer;
    const auto hour = std::chrono::hours(1);
    const int period = int(std::chrono::milliseconds(hour).count());
    timer.SetInterval(period);
    const auto start = Clock::now();
    timer.SetOnTimer([](TObject*) {});
    timer.Rest();
    EXPECT_EQ(timer.NextTickIn(), -1);
    const auto rest = std::chrono::milliseconds(100);
    std::this_thread::sleep_for(rest);
    timer.Wake();
    const int left = timer.NextTickIn();
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    // Within rounding to whole milliseconds, here and in the toolkit.
    EXPECT_LE(left, period - int(rest.count()) + 2);
    EXPECT_GE(left, period - int(since.count()) - 2);
}

TEST(TTimer, HandlerCanDestroyItsTimer)
{
    auto* timer = new TTimer;
    timer->SetInterval(5);
    bool destroyed = false;
    timer->SetOnTimer([&](TObject* sender) {
        delete static_cast<TTimer*>(sender);
        destroyed = true;
    });
    ASSERT_TRUE(RunUntil([&] { return destroyed; }));
    RunUntil([] { return false; }, 30);
}

TEST(TTimer, ExceptionInHandlerIsShownAndTheTimerGoesOn)
{
    std::string shown;
    TExceptionSink before = SetExceptionSink([&](const std::string& text) { shown = text; });
    TTimer timer;
    timer.SetInterval(5);
    int ticks = 0;
    timer.SetOnTimer([&](TObject*) {
        ++ticks;
        throw Exception("tick failed");
    });
    EXPECT_TRUE(RunUntil([&] { return ticks >= 2; }));
    SetExceptionSink(before);
    EXPECT_EQ(shown, "tick failed.");
}

}  // namespace
