#include "sound/TVolumer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using V = std::vector<float>;

TEST(TVolumer, SetVolumeWithoutSamplesSetsAtOnce)
{
    TVolumer v(V{1.0f, 1.0f});
    v.SetVolume(V{0.25f, 0.5f}, 0);
    EXPECT_EQ(v.Volumes(), (V{0.25f, 0.5f}));
    EXPECT_TRUE(v.IsRampDone());
}

TEST(TVolumer, RampAdvancedInPiecesEndsAtTarget)
{
    TVolumer v(V{0.0f});
    v.SetVolume(V{1.0f}, 100);
    for (int i = 0; i < 3; ++i) {
        v.Advance(30);
        EXPECT_FALSE(v.IsRampDone());
    }
    EXPECT_NEAR(v.Volume(0), 0.9f, 1e-5);
    v.Advance(30);
    EXPECT_EQ(v.SamplesLeft(), 0);
    EXPECT_NEAR(v.Volume(0), 1.0f, 1e-5);
}

TEST(TVolumer, SurplusSamplesAreSpentOnTheNextNode)
{
    TVolumer v(V{0.0f});
    v.SetVolume(V{1.0f}, 100);
    v.AddNode(V{0.0f}, 100);
    for (int i = 0; i < 4; ++i)
        v.Advance(30);
    // The second ramp started inside the fourth call and has run 20 of its 100 samples.
    EXPECT_EQ(v.SamplesLeft(), 80);
    EXPECT_NEAR(v.Volume(0), 0.8f, 1e-5);
    EXPECT_EQ(v.QueuedNodes(), 0u);
}

TEST(TVolumer, AddNodeStartsAtOnceWhenIdleAndWaitsWhenBusy)
{
    TVolumer idle(V{1.0f});
    idle.AddNode(V{0.0f}, 10);
    EXPECT_EQ(idle.SamplesLeft(), 10);
    EXPECT_EQ(idle.QueuedNodes(), 0u);

    TVolumer busy(V{1.0f});
    busy.SetVolume(V{0.5f}, 10);
    busy.AddNode(V{0.0f}, 10);
    EXPECT_EQ(busy.SamplesLeft(), 10);
    EXPECT_EQ(busy.QueuedNodes(), 1u);
    busy.Advance(10);
    EXPECT_NEAR(busy.Volume(0), 0.5f, 1e-6);
    EXPECT_EQ(busy.SamplesLeft(), 10);
    EXPECT_EQ(busy.QueuedNodes(), 0u);
}

TEST(TVolumer, ZeroLengthNodeSetsItsTargetAndStartsTheNext)
{
    TVolumer v(V{1.0f});
    v.SetVolume(V{0.5f}, 4);
    v.AddNode(V{0.2f}, 0);
    v.AddNode(V{0.0f}, 10);
    v.Advance(4);
    EXPECT_NEAR(v.Volume(0), 0.2f, 1e-6);
    EXPECT_EQ(v.SamplesLeft(), 10);
}

TEST(TVolumer, IsUnityOnlyWhenIdleAtExactlyOne)
{
    TVolumer v(V{1.0f, 1.0f});
    EXPECT_TRUE(v.IsUnity());
    v.SetVolume(V{1.0f, 1.0f}, 10);  // a ramp towards 1.0 is still a ramp
    EXPECT_FALSE(v.IsUnity());
    v.Advance(10);
    EXPECT_TRUE(v.IsUnity());
    v.SetVolume(V{1.0f, 0.5f}, 0);
    EXPECT_FALSE(v.IsUnity());
}

TEST(TVolumer, CopiesCarryTheQueue)
{
    TVolumer v(V{1.0f});
    v.SetVolume(V{0.0f}, 10);
    v.AddNode(V{1.0f}, 10);
    TVolumer copy = v;
    copy.Advance(15);
    EXPECT_NEAR(copy.Volume(0), 0.5f, 1e-6);
    EXPECT_EQ(v.SamplesLeft(), 10);  // the original did not move
}

TEST(TVolumer, RepeatedFadesToSilenceNeverLeaveSubnormalVolumes)
{
    TVolumer v(V{1e-37f});
    for (int i = 0; i < 40; ++i) {
        v.SetVolume(V{0.0f}, 5292);
        v.Advance(5292);
        EXPECT_NE(std::fpclassify(v.Volume(0)), FP_SUBNORMAL) << i;
    }
}

} // namespace
