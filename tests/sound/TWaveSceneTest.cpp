#include "sound/TWaveScene.h"

#include "platform/system/Exception.h"
#include "FakeWaveWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>

namespace {

using Samples = std::vector<std::int16_t>;

std::string ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

// 1000 Hz mono 16-bit scene with 10 frames per period, so one period is 10 ms.
class SceneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scene.SetSceneFormat(1000, 16, 1, 10);
        auto w = std::make_unique<FakeWaveWriter>(&scene);
        writer = w.get();
        scene.SetWriter(std::move(w), "fake");
        scene.Play();
    }

    // A mono 1000 Hz wave whose samples count 1, 2, 3 ...
    TWaveBuffer* Ramp(std::uint32_t frames)
    {
        Samples s(frames);
        std::iota(s.begin(), s.end(), std::int16_t(1));
        WAVEFORMATEX f;
        InitWaveFormat(f, 1000, 1, 16);
        waves.push_back(std::make_unique<TWaveBuffer>(frames, f, s.data()));
        return waves.back().get();
    }
    Samples Next()
    {
        writer->Step();
        return writer->Samples16(writer->buffers.size() - 1);
    }
    std::vector<std::uint32_t> Codes(const std::string& of)
    {
        std::vector<std::uint32_t> codes;
        std::string name;
        std::uint32_t code = 0;
        while (scene.PopInstanceMessage(name, code))
            if (name == of)
                codes.push_back(code);
        return codes;
    }
    // Any non-null handle counts as "a window is set"; posting to a dead one does nothing.
    void Notify(const std::string& name)
    {
        scene.SetOwnerWindow(reinterpret_cast<HWND>(std::uintptr_t(0xDEAD)));
        scene.SetInstanceNotify(name, 255);
    }

    std::vector<std::unique_ptr<TWaveBuffer>> waves;  // outlive the scene's instances
    TWaveScene scene;
    FakeWaveWriter* writer = nullptr;
};

TEST_F(SceneTest, RepeatZeroPlaysOnceReportsStartAndEndAndStays)
{
    scene.AddInstance(Ramp(15), "riff", 0);
    Notify("riff");
    scene.PlayInstance("riff", 0, nullptr, 0, 0);
    EXPECT_EQ(Next(), (Samples{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(Codes("riff"), (std::vector<std::uint32_t>{TWaveScene::NotifyStarted}));
    EXPECT_EQ(Next(), (Samples{11, 12, 13, 14, 15, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Codes("riff"), (std::vector<std::uint32_t>{TWaveScene::NotifyFinished}));
    EXPECT_FALSE(scene.IsInstancePlaying("riff"));
    EXPECT_EQ(scene.GetInstanceCount(), 1u);
}

TEST_F(SceneTest, RepeatTwoSoundsThreeTimesFromStart)
{
    scene.AddInstance(Ramp(6), "loop", 0);
    Notify("loop");
    scene.PlayInstance("loop", 2, nullptr, 1, 4);
    EXPECT_EQ(Next(), (Samples{2, 3, 4, 2, 3, 4, 2, 3, 4, 0}));
    EXPECT_EQ(Codes("loop"), (std::vector<std::uint32_t>{1, 1, 1, 2}));
}

TEST_F(SceneTest, DelayOfOneAndAHalfPeriodsIsSilent)
{
    scene.AddInstance(Ramp(20), "late", 0);
    scene.SetInstanceDelayMs("late", 15);
    EXPECT_FLOAT_EQ(scene.GetInstanceDelayMs("late"), 15.0f);
    scene.PlayInstance("late", 0, nullptr, 0, 0);
    EXPECT_EQ(Next(), Samples(10, 0));
    EXPECT_EQ(Next(), (Samples{0, 0, 0, 0, 0, 1, 2, 3, 4, 5}));
}

TEST_F(SceneTest, FadeWithModeOneStopsAfterTheRamp)
{
    scene.AddInstance(Ramp(100), "fade", 0);
    Notify("fade");
    scene.PlayInstance("fade", 0, nullptr, 0, 0);
    scene.FadeInstance("fade", 10, 1);  // 10 samples at the wave's rate
    EXPECT_EQ(scene.GetInstanceVolumeMode("fade"), 1);
    const Samples faded = Next();
    EXPECT_EQ(faded[0], 1);
    EXPECT_EQ(faded[9], 0);
    EXPECT_FALSE(scene.IsInstancePlaying("fade"));
    EXPECT_EQ(Codes("fade"), (std::vector<std::uint32_t>{TWaveScene::NotifyStarted, TWaveScene::NotifyStopped}));
}

TEST_F(SceneTest, FadeWithModeTwoRemovesTheInstance)
{
    scene.AddInstance(Ramp(100), "gone", 0);
    scene.PlayInstance("gone", 0, nullptr, 0, 0);
    scene.FadeInstance("gone", 5, 2);
    (void)Next();
    EXPECT_EQ(scene.FindInstancePtr("gone"), nullptr);
}

TEST_F(SceneTest, PlayRangeRules)
{
    scene.AddInstance(Ramp(8), "r", 0);
    scene.PlayInstance("r", 0, nullptr, 20, 5);  // start beyond end: an empty pass from the end
    EXPECT_EQ(Next(), Samples(10, 0));
    EXPECT_FALSE(scene.IsInstancePlaying("r"));
    scene.PlayInstance("r", 0, nullptr, 6, 0);  // end 0: to the wave's end
    EXPECT_EQ(Next(), (Samples{7, 8, 0, 0, 0, 0, 0, 0, 0, 0}));
    scene.PlayInstance("r", -1, nullptr, -1, -1);  // negative values keep the range
    EXPECT_EQ(Next(), (Samples{7, 8, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(SceneTest, EmptyRangeWithHugeRepeatFinishesAtOnce)
{
    scene.AddInstance(Ramp(8), "e", 0);
    scene.SetInstanceRange("e", 3, 3);
    scene.PlayInstance("e", 2000000000, nullptr, -1, -1);
    EXPECT_EQ(Next(), Samples(10, 0));
    EXPECT_FALSE(scene.IsInstancePlaying("e"));
}

TEST_F(SceneTest, AnonymousInstancesGoWhenFinishedOrStopped)
{
    scene.AddInstance(Ramp(3), "", 0);
    scene.PlayInstance("", 0, nullptr, 0, 0);
    (void)Next();
    EXPECT_EQ(scene.GetInstanceCount(), 0u);
    scene.AddInstance(Ramp(300), "", 0);
    scene.AddInstance(Ramp(300), "named", 0);
    scene.PlayInstance("", 0, nullptr, 0, 0);
    scene.StopAllInstances();
    EXPECT_EQ(scene.GetInstanceCount(), 1u);
}

TEST_F(SceneTest, SecondInstanceIsAddedWithSaturation)
{
    Samples loud(4, 30000);
    WAVEFORMATEX f;
    InitWaveFormat(f, 1000, 1, 16);
    TWaveBuffer wave(4, f, loud.data());
    scene.AddInstance(&wave, "a", 0);
    scene.AddInstance(&wave, "b", 0);
    scene.PlayInstance("a", 0, nullptr, 0, 0);
    scene.PlayInstance("b", 0, nullptr, 0, 0);
    EXPECT_EQ(Next(), (Samples{32767, 32767, 32767, 32767, 0, 0, 0, 0, 0, 0}));
    scene.RemoveAllInstances();
    EXPECT_EQ(wave.GetRefCount(), 0);
}

TEST_F(SceneTest, PitchAndVolumeErrorsLeaveTheInstance)
{
    scene.AddInstance(Ramp(8), "p", 0);
    scene.SetInstancePitch("p", 0.5f);
    EXPECT_EQ(ErrorOf([&] { scene.SetInstancePitch("p", 0.0f); }), "Pitch <= 0");
    EXPECT_FLOAT_EQ(scene.FindInstancePtr("p")->pitch, 0.5f);
    const std::vector<float> two{1.0f, 1.0f};
    EXPECT_EQ(ErrorOf([&] { scene.PlayInstance("p", 0, &two, 0, 0); }),
              "Invalid size of volume parametr: check scene format");
    EXPECT_FALSE(scene.IsInstancePlaying("p"));
    EXPECT_EQ(ErrorOf([&] { scene.SetInstanceVolumeCh("p", 0, two, 0); }),
              "TWaveScene::SetInstanceVolumeCh: Volume parametr has different size");
    EXPECT_EQ(ErrorOf([&] { scene.InstanceAddVolumeNodeCh("p", 0, two, 0); }),
              "TWaveScene::InstanceAddVolumeNodeCh: Volume parametr has different size");
    EXPECT_EQ(ErrorOf([&] { scene.StopInstance("nobody"); }), "Instance with name=nobody not found");
}

TEST_F(SceneTest, SetupErrors)
{
    TWaveScene bare;
    EXPECT_EQ(ErrorOf([&] { bare.Play(); }), "TWaveScene::CheckFormat: format not set. Use SetSceneFormat().");
    EXPECT_EQ(ErrorOf([&] { bare.AddInstance(Ramp(2), "x", 0); }),
              "TWaveScene::CheckFormat: format not set. Use SetSceneFormat().");
    bare.SetSceneFormat(1000, 16, 1, 10);
    EXPECT_EQ(ErrorOf([&] { bare.Play(); }), "Device not set. Use SetoutputDevice");
    EXPECT_EQ(ErrorOf([&] { bare.StartRecordClock(); }), "Device not set. Use SetoutputDevice");
}

TEST_F(SceneTest, ARefusedFormatLeavesTheScenePlaying)
{
    EXPECT_EQ(ErrorOf([&] { scene.SetSceneFormat(44100, 24, 2, 120); }), "WaveBuffer supports 8 and 16 bit depth only!");
    EXPECT_EQ(scene.GetState(), 1);
    EXPECT_EQ(scene.GetMixFrames(), 10u);
}

TEST_F(SceneTest, SyncPositionFollowsTheOutputClock)
{
    scene.AddInstance(Ramp(100), "s", 0);
    for (int i = 0; i < 3; ++i)
        writer->Step();  // 30 frames played
    scene.SetInstanceRange("s", 10, 18);
    scene.SyncInstancePosition("s", true);
    EXPECT_EQ(scene.FindInstancePtr("s")->position, 10u + 30 % 8);
    scene.SyncInstancePosition("s", false);
    EXPECT_EQ(scene.FindInstancePtr("s")->position, 18u);  // clamped to the range
    scene.SetInstanceRange("s", 12, 12);
    scene.SyncInstancePosition("s", true);
    EXPECT_EQ(scene.FindInstancePtr("s")->position, 12u);
}

TEST_F(SceneTest, SyncToInstanceCopiesTheOffset)
{
    scene.AddInstance(Ramp(100), "src", 0);
    scene.AddInstance(Ramp(100), "dst", 0);
    scene.SetInstanceRange("src", 10, 50);
    scene.SetInstancePosition("src", 23);
    scene.SetInstanceRange("dst", 0, 5);
    scene.SyncInstanceToInstance("src", "dst", true);
    EXPECT_EQ(scene.FindInstancePtr("dst")->position, 13u % 5);
    scene.SetInstanceRange("dst", 40, 40);
    scene.SyncInstanceToInstance("src", "dst", true);
    EXPECT_EQ(scene.FindInstancePtr("dst")->position, 40u);
}

TEST_F(SceneTest, LengthsAndPositionsInMilliseconds)
{
    scene.AddInstance(Ramp(500), "m", 0);
    scene.SetInstanceRange("m", 100, 300);
    scene.SetInstancePositionMs("m", 150);
    EXPECT_EQ(scene.GetInstanceLengthMs("m", true), 200u);
    EXPECT_EQ(scene.GetInstanceLengthMs("m", false), 500u);
    EXPECT_EQ(scene.GetInstancePositionMs("m", true), 50u);
    EXPECT_EQ(scene.GetInstancePositionMs("m", false), 150u);
}

TEST_F(SceneTest, AddInstanceAgainResetsButKeepsNotifyAndDelay)
{
    TWaveBuffer* first = Ramp(10);
    TWaveBuffer* second = Ramp(20);
    scene.AddInstance(first, "x", 7);
    scene.SetInstanceNotify("x", 3);
    scene.SetInstanceDelayMs("x", 5);
    scene.PlayInstance("x", 4, nullptr, 2, 6);
    scene.AddInstance(second, "x", 8);
    const TWaveScene::BuffInstance* in = scene.FindInstancePtr("x");
    EXPECT_EQ(in->wave, second);
    EXPECT_EQ(first->GetRefCount(), 0);
    EXPECT_EQ(second->GetRefCount(), 1);
    EXPECT_FALSE(in->playing);
    EXPECT_EQ(in->end, 20u);
    EXPECT_EQ(in->tag, 8u);
    EXPECT_EQ(in->notify, 3);
    EXPECT_EQ(in->delay, 5);
}

} // namespace
