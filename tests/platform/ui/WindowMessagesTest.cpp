#include "platform/ui/WindowMessages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Received {
    UINT msg;
    WPARAM w;
    LPARAM l;
};

TEST(WindowMessages, PostsFromManyThreadsArriveInOrderPerThread)
{
    std::vector<Received> got;
    HWND window = AllocateHWnd([&](UINT msg, WPARAM w, LPARAM l) { got.push_back({msg, w, l}); });
    constexpr int kThreads = 4, kEach = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([=] {
            for (int i = 0; i < kEach; ++i)
                ASSERT_TRUE(PostMessage(window, WM_APP + t, WPARAM(i), LPARAM(-i)));
        });
    for (auto& t : threads)
        t.join();
    ProcessMessages();
    ASSERT_EQ(got.size(), size_t(kThreads * kEach));
    std::vector<int> next(kThreads, 0);
    for (const Received& r : got) {
        int t = int(r.msg - WM_APP);
        ASSERT_EQ(int(r.w), next[t]) << "thread " << t;
        EXPECT_EQ(r.l, -LPARAM(r.w));
        ++next[t];
    }
    DeallocateHWnd(window);
}

TEST(WindowMessages, DeadWindowTakesNothing)
{
    int calls = 0;
    HWND window = AllocateHWnd([&](UINT, WPARAM, LPARAM) { ++calls; });
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(PostMessage(window, WM_USER, 0, 0));
    DeallocateHWnd(window);  // the queued message is dropped with it
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(PostMessage(window, WM_USER, 0, 0));
    ProcessMessages();
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(IsWindow(nullptr));
}

TEST(WindowMessages, RegisteredNumbersAreStablePerName)
{
    UINT a = RegisterWindowMessage("one");
    UINT b = RegisterWindowMessage("two");
    EXPECT_GE(a, 0xC000u);
    EXPECT_NE(a, b);
    EXPECT_EQ(RegisterWindowMessage("one"), a);
}

TEST(WindowMessages, ThrowingReceiverDoesNotStopDelivery)
{
    int after = 0;
    HWND bad = AllocateHWnd([](UINT, WPARAM, LPARAM) { throw std::runtime_error("boom"); });
    HWND good = AllocateHWnd([&](UINT, WPARAM, LPARAM) { ++after; });
    PostMessage(bad, WM_USER, 0, 0);
    PostMessage(good, WM_USER, 0, 0);
    ProcessMessages();
    EXPECT_EQ(after, 1);
    DeallocateHWnd(bad);
    DeallocateHWnd(good);
}

} // namespace
