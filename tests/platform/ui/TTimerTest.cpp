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

namespace {

using Clock = std::chrono::steady_clock;

// Runs the event loop until done() or the time is up; true when done() became true.
bool RunUntil(const std::function<bool()>& done, int ms = 5000)
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
