#include "sound/TWaveScene.h"

#include "FakeWaveWriter.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

class LogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scene.SetSceneFormat(1000, 16, 1, 10);
        auto w = std::make_unique<FakeWaveWriter>(&scene);
        writer = w.get();
        scene.SetWriter(std::move(w), "fake");
        scene.Play();
        std::vector<std::int16_t> s(100);
        std::iota(s.begin(), s.end(), std::int16_t(1));
        WAVEFORMATEX f;
        InitWaveFormat(f, 1000, 1, 16);
        wave = std::make_unique<TWaveBuffer>(100, f, s.data());
        scene.AddInstance(wave.get(), "w", 0);
        scene.ClearLog();
        scene.StartRecordClock();
        scene.Recording = true;
    }

    std::unique_ptr<TWaveBuffer> wave;
    TWaveScene scene;
    FakeWaveWriter* writer = nullptr;
};

TEST_F(LogTest, OperationsAreStampedWithBuffersWrittenSinceTheClockStarted)
{
    writer->Step();
    writer->Step();
    scene.StartRecordClock();  // base = 2
    writer->Step();
    const std::vector<float> half{0.5f};
    scene.PlayInstance("w", 3, &half, 4, 40);
    writer->Step();
    scene.SetInstancePitch("w", 0.75f);
    scene.SyncInstanceToInstance("w", "w", true);
    ASSERT_EQ(scene.GetRecordCount(), 3u);
    const auto play = scene.GetLogRecord(0);
    EXPECT_EQ(play.stamp, 1u);
    EXPECT_EQ(play.code, 0);
    EXPECT_EQ(play.a, 3u);
    EXPECT_EQ(play.b, 4u);
    EXPECT_EQ(play.c, 40u);
    EXPECT_EQ(play.volumes, half);
    const auto pitch = scene.GetLogRecord(1);
    EXPECT_EQ(pitch.stamp, 2u);
    EXPECT_EQ(pitch.code, 5);
    EXPECT_EQ(pitch.a, 75000u);
    const auto sync = scene.GetLogRecord(2);
    EXPECT_EQ(sync.code, 10);
    EXPECT_EQ(sync.secondName, "w");
    EXPECT_EQ(sync.a, 1u);
}

TEST_F(LogTest, NothingIsRecordedWhileSuspendedOrNotRecording)
{
    scene.SuspendRecording();
    scene.StopInstance("w");
    scene.ResumeRecording();
    scene.ResumeRecording();  // never below zero
    scene.Recording = false;
    scene.StopInstance("w");
    EXPECT_EQ(scene.GetRecordCount(), 0u);
    scene.Recording = true;
    scene.StopInstance("w");
    EXPECT_EQ(scene.GetRecordCount(), 1u);
}

TEST_F(LogTest, ReplayRunsRecordsAtTheirStampAndNeverRecordsThemAgain)
{
    scene.PlayInstance("w", 0, nullptr, 0, 0);  // stamp 0
    writer->Step();
    writer->Step();
    scene.StopInstance("w");  // stamp 2
    scene.Recording = false;
    scene.StopInstance("w");
    scene.SetInstancePosition("w", 0);

    scene.Recording = true;  // still recording: replayed operations must not be added
    scene.StartReplay();
    EXPECT_TRUE(scene.IsReplaying());
    EXPECT_EQ(scene.GetReplayProgress(), 0u);
    writer->Step();  // executes the play
    EXPECT_TRUE(scene.IsInstancePlaying("w"));
    EXPECT_EQ(scene.GetReplayProgress(), 50u);
    writer->Step();
    writer->Step();  // executes the stop
    EXPECT_FALSE(scene.IsInstancePlaying("w"));
    EXPECT_EQ(scene.GetReplayedCount(), 2u);
    EXPECT_EQ(scene.GetRecordCount(), 2u);
    writer->Step();
    EXPECT_FALSE(scene.IsReplaying());
    EXPECT_EQ(scene.GetReplayProgress(), 100u);
}

TEST_F(LogTest, LateRecordsAreSkipped)
{
    writer->Step();
    scene.PlayInstance("w", 0, nullptr, 0, 0);  // stamp 1
    scene.Recording = false;
    scene.StopInstance("w");
    scene.StartReplay();
    // Two buffers go out without a render (as when the scene was paused): the clock passes stamp 1.
    std::vector<std::uint8_t> silence(20, 0);
    writer->WriteBuffer(silence.data());
    writer->WriteBuffer(silence.data());
    writer->Step();
    EXPECT_FALSE(scene.IsInstancePlaying("w"));
    EXPECT_EQ(scene.GetReplayedCount(), 1u);
    EXPECT_FALSE(scene.IsReplaying());
}

TEST_F(LogTest, VolumeRecordsReplayWithModeZero)
{
    const std::vector<float> quiet{0.0f};
    scene.SetInstanceVolumeCh("w", 0, quiet, 2);
    scene.Recording = false;
    const TWaveScene::LogRecord r = scene.GetLogRecord(0);
    EXPECT_EQ(r.b, 2u);
    scene.SetInstanceVolumeCh("w", 0, std::vector<float>{1.0f}, 1);
    scene.ExecuteLogRecord(r);
    EXPECT_EQ(scene.GetInstanceVolumeMode("w"), 0);
    EXPECT_EQ(scene.FindInstancePtr("w")->volume.Volume(0), 0.0f);
}

TEST_F(LogTest, FailingReplayedRecordsAreSkippedOnTheAudioThread)
{
    scene.PlayInstance("w", 0, nullptr, 0, 0);
    scene.StopInstance("w");
    scene.Recording = false;
    scene.RemoveAllInstances();  // the recorded instance is gone
    scene.StartReplay();
    EXPECT_NO_THROW(writer->Step());
    EXPECT_EQ(scene.GetReplayedCount(), 2u);
}

TEST_F(LogTest, RecordLengthUsesTheLastStamp)
{
    EXPECT_EQ(scene.GetRecordLengthMs(), 0u);
    for (int i = 0; i < 7; ++i)
        writer->Step();
    scene.StopInstance("w");
    EXPECT_EQ(scene.GetRecordLengthMs(), 70u);
    scene.ClearLog();
    EXPECT_EQ(scene.GetRecordCount(), 0u);
    EXPECT_EQ(scene.GetReplayProgress(), 0u);
}

} // namespace
