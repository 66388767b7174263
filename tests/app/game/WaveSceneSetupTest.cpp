// Setting up the program's sound output, its failure path, and the orderly end of the program.
#include "app/AppTestSupport.h"
#include "app/game/Kvwavescene.h"
#include "app/mainform/ProgramEnd.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct SceneReset {
    ~SceneReset()
    {
        WaveScene.Clear();
        WaveScene.SetWriter(nullptr, std::string());
    }
};

TEST(InitKVWaveScene, RunsTheSceneAtCdFormatOnDeviceZero)
{
    CapturedUi ui;
    SceneReset reset;
    ASSERT_TRUE(InitKVWaveScene(120));
    EXPECT_EQ(WaveScene.GetState(), 1);
    EXPECT_EQ(WaveScene.GetMixFrames(), 5292u);  // 120 ms of 44100 Hz
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(ui.exitCodes.empty());
}

TEST(InitKVWaveScene, FailureShowsTheMessageAndEndsWithCodeZero)
{
    // A driver that does not exist makes the device fail to open; SDL reads the variable when its
    // audio starts, which this process has not done yet.
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    CapturedUi ui;
    SceneReset reset;
    const bool ran = InitKVWaveScene(120);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (ran)
        GTEST_SKIP() << "the sound system was already started by another test in this process";
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "InitKVWaveScene: TDeviceWaveWriter::Open: Cant open wave device");
    EXPECT_EQ(ui.exitCodes, std::vector<int>{0});
    EXPECT_NE(WaveScene.GetState(), 1);
}

TEST(ProgramEnd, OrderlyEndRunsStepsStopsTheSceneAndExitsWithTheCode)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ASSERT_TRUE(InitKVWaveScene(50));
            (void)AddProgramEndStep([] { std::fprintf(stderr, "first step\n"); });
            (void)AddProgramEndStep([] {
                std::fprintf(stderr, "second step, scene state %d\n", int(WaveScene.GetState()));
                throw std::runtime_error("a failing step is skipped");
            });
            EndProgram(0);
            std::fprintf(stderr, "not reached\n");
        },
        ::testing::ExitedWithCode(0), "second step, scene state 1\nfirst step\n$");
}

TEST(ProgramEnd, ReplacedHandlerReceivesTheCodeAndRemovedStepsDoNotRun)
{
    int ran = 0;
    const int id = AddProgramEndStep([&] { ++ran; });
    RemoveProgramEndStep(id);
    std::vector<int> codes;
    TProgramEndHandler before = SetProgramEndHandler([&](int code) { codes.push_back(code); });
    EndProgram(3);
    SetProgramEndHandler(before);
    EXPECT_EQ(codes, std::vector<int>{3});
    EXPECT_EQ(ran, 0);
}

}  // namespace
