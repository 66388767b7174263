// Opening files and starting programs: name resolution, missing files and programs, and the
// replaceable launchers.
#include "platform/system/AppPath.h"
#include "platform/system/ShellExecute.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

TEST(ShellExecute, OpensAnExistingFileByAnyCaseAndBackslashName)
{
    TestFolder dir{"shellexec-"};
    fs::create_directories(dir.Path() / "Help");
    std::ofstream(dir.Path() / "Help" / "ReadMe.txt") << "x";
    std::string opened;
    TFileOpener before = SetFileOpener([&](const std::string& file) {
        opened = file;
        return true;
    });
    EXPECT_TRUE(ShellOpenFile(dir.Path().string() + "\\help\\README.TXT"));
    EXPECT_EQ(opened, (dir.Path() / "Help" / "ReadMe.txt").string());
    opened.clear();
    EXPECT_FALSE(ShellOpenFile(dir.Path().string() + "/missing.txt"));
    EXPECT_EQ(opened, "") << "a missing file is never handed to the desktop";
    SetFileOpener([](const std::string&) -> bool { throw std::runtime_error("no desktop"); });
    EXPECT_FALSE(ShellOpenFile(dir.Path().string() + "/help/readme.txt"));
    SetFileOpener(before);
}

TEST(ShellExecute, StartsProgramsWithoutWaitingAndReportsMissingOnes)
{
    TestFolder dir{"shellexec-"};
    const fs::path marker = dir.Path() / "ran";
    EXPECT_TRUE(ProgramExists("sh"));
    EXPECT_FALSE(ProgramExists("no-such-program-here"));
    EXPECT_FALSE(ProgramExists(""));
    // The program waits for the test's go before it leaves its mark.
    const fs::path go = dir.Path() / "go";
    EXPECT_TRUE(StartProcess("sh", {"-c", "while [ ! -e '" + go.string() + "' ]; do sleep 0.01; done; touch '" +
                                              marker.string() + "'"}));
    EXPECT_FALSE(fs::exists(marker)) << "the call returns before the program ends";
    std::ofstream(go).put('x');
    for (int i = 0; i < 3000 && !fs::exists(marker); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(marker));
    EXPECT_FALSE(StartProcess("no-such-program-here"));
    EXPECT_FALSE(StartProcess((dir.Path() / "not-executable").string()));
}

TEST(ShellExecute, ReplacedStarterSeesProgramAndArguments)
{
    std::vector<std::string> seen;
    TProcessStarter before = SetProcessStarter([&](const std::string& program, const std::vector<std::string>& args) {
        seen.push_back(program);
        seen.insert(seen.end(), args.begin(), args.end());
        return program == "mixer";
    });
    EXPECT_TRUE(StartProcess("mixer", {"--tab", "3"}));
    EXPECT_FALSE(StartProcess("other"));
    SetProcessStarter(before);
    EXPECT_EQ(seen, (std::vector<std::string>{"mixer", "--tab", "3", "other"}));
}

TEST(AppPath, FolderOfTheRunningExecutableWithTrailingSlash)
{
    const std::string exe = ExecutableName();
    const std::string folder = ExecutableFolder();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(exe.rfind(folder, 0), 0u);
    EXPECT_EQ(fs::path(exe).filename().string(), exe.substr(folder.size()));
    EXPECT_TRUE(fs::is_regular_file(exe));
}

}  // namespace
