// One instance per user: the lock decides, a later start asks the first to show its window, a
// lock left by a dead process is taken over, and the real second process ends with code 0.
#include "platform/system/AppPath.h"
#include "platform/system/SingleInstance.h"
#include "platform/ui/WindowMessages.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool RunUntil(const std::function<bool()>& done, int ms = 30000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        ProcessMessages();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

TEST(SingleInstance, NamesCarryTheKeyAndTheUserInTheRuntimeFolder)
{
    ::setenv("XDG_RUNTIME_DIR", "/run/user/test", 1);
    SingleInstance instance("HV.Korvane");
    EXPECT_EQ(instance.LockFileName().rfind("/run/user/test/HV.Korvane-", 0), 0u);
    EXPECT_GT(instance.LockFileName().size(), std::string("/run/user/test/HV.Korvane-.lock").size());
    EXPECT_EQ(instance.ServerName().substr(0, instance.ServerName().size() - 7),
              instance.LockFileName().substr(0, instance.LockFileName().size() - 5));
}

TEST(SingleInstance, LaterStartAsksTheFirstToShowItselfAndIsNotFirst)
{
    TestFolder dir{"single-"};
    SingleInstance first("HV.Korvane", dir.Path().string());
    int activations = 0;
    first.SetOnActivate([&] { ++activations; });
    ASSERT_TRUE(first.Claim());
    {
        SingleInstance second("HV.Korvane", dir.Path().string());
        EXPECT_FALSE(second.Claim());
        EXPECT_TRUE(second.Notified());
    }
    EXPECT_TRUE(RunUntil([&] { return activations == 1; }));
}

TEST(SingleInstance, EndedFirstInstanceFreesTheClaim)
{
    TestFolder dir{"single-"};
    {
        SingleInstance first("HV.Korvane", dir.Path().string());
        ASSERT_TRUE(first.Claim());
    }
    SingleInstance next("HV.Korvane", dir.Path().string());
    EXPECT_TRUE(next.Claim());
}

TEST(SingleInstance, LockOfADeadProcessIsTakenOver)
{
    TestFolder dir{"single-"};
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    int status = 0;
    ::waitpid(child, &status, 0);
    SingleInstance instance("HV.Korvane", dir.Path().string());
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    std::ofstream(instance.LockFileName()) << child << "\nkorvane\n" << host << "\n";
    std::ofstream(instance.ServerName()) << "left over";
    EXPECT_TRUE(instance.Claim(300));
}

TEST(SingleInstance, LaterStartIsNotFirstEvenWhenTheFirstDoesNotAnswer)
{
    TestFolder dir{"single-"};
    SingleInstance first("HV.Korvane", dir.Path().string());
    ASSERT_TRUE(first.Claim());
    std::error_code ignored;
    fs::remove(first.ServerName(), ignored);  // nobody listens any more
    SingleInstance second("HV.Korvane", dir.Path().string());
    EXPECT_FALSE(second.Claim(200));
    EXPECT_FALSE(second.Notified());
}

// Run as a second process by the test below: exits 0 when it is not the first, as the program
// does, and 1 when it would have started.
TEST(SingleInstance, ChildProcessClaim)
{
    const char* dir = std::getenv("SINGLE_INSTANCE_CHILD_DIR");
    if (!dir)
        GTEST_SKIP() << "only run as the second process of SecondProcessRaisesTheFirstAndExitsWithZero";
    SingleInstance instance("HV.Korvane", dir);
    std::exit(instance.Claim() ? 1 : 0);
}

TEST(SingleInstance, SecondProcessRaisesTheFirstAndExitsWithZero)
{
    TestFolder dir{"single-"};
    SingleInstance first("HV.Korvane", dir.Path().string());
    int activations = 0;
    first.SetOnActivate([&] { ++activations; });
    ASSERT_TRUE(first.Claim());
    const std::string exe = ExecutableName();
    ASSERT_FALSE(exe.empty());
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("SINGLE_INSTANCE_CHILD_DIR", dir.Path().c_str(), 1);
        ::execl(exe.c_str(), exe.c_str(), "--gtest_filter=SingleInstance.ChildProcessClaim", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(child, 0);
    int status = -1;
    bool ended = false;
    EXPECT_TRUE(RunUntil(
        [&] {
            if (!ended && ::waitpid(child, &status, WNOHANG) == child)
                ended = true;
            return ended && activations == 1;
        },
        20000));
    if (!ended)
        ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
