#include <gtest/gtest.h>

#include <vector>

#include "SpriteFixtures.h"
#include "platform/system/Exception.h"
#include "sprite/TAnimation.h"
#include "sprite/TAnimations.h"

using fixtures::ThrownText;

namespace {

TAnimation Keys(std::vector<int> times, std::uint8_t mode = 0)
{
    TAnimation a("a", mode);
    for (std::size_t i = 0; i < times.size(); ++i)
        a.AddKey(TAKey(int(i), times[i]));
    return a;
}

TEST(TAnimation, KeysStayInTimeOrderEqualTimesAfterEarlierOnes)
{
    TAnimation a("a", 0);
    a.AddKey(TAKey(100, 10));
    a.AddKey(TAKey(200, 0));
    a.AddKey(TAKey(300, 10));
    ASSERT_EQ(a.GetKeyCount(), 3);
    EXPECT_EQ(a.GetKey(0).value, 200);
    EXPECT_EQ(a.GetKey(1).value, 100);
    EXPECT_EQ(a.GetKey(2).value, 300);
    EXPECT_EQ(a.GetKey(2).time, 10);
}

struct DurationCase {
    std::vector<int> times;
    std::uint8_t mode;
    int duration;
};

TEST(TAnimation, DurationByMode)
{
    const DurationCase cases[] = {
        {{0, 1}, 0, 1},
        {{0, 10, 30}, 0, 30},
        {{0, 10, 30}, 1, 2 * 30 - 10 - 20},
        {{0, 10}, 1, 2 * 10 - 10},
        {{0, 10, 20, 40}, 1, 2 * 40 - 10 - 20},
        {{0, 10, 30}, 2, 30},
        {{5}, 0, 0},
        {{5}, 1, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Keys(c.times, c.mode).GetDuration(), c.duration) << "mode " << int(c.mode) << ", " << c.times.size()
                                                                   << " keys";
}

TEST(TAnimation, KeyDurationIsTimeToNextKeyAndZeroForLast)
{
    const TAnimation a = Keys({0, 10, 30});
    EXPECT_EQ(a.GetKeyDuration(0), 10);
    EXPECT_EQ(a.GetKeyDuration(1), 20);
    EXPECT_EQ(a.GetKeyDuration(2), 0);
    EXPECT_EQ(ThrownText([&] { (void)a.GetKeyDuration(3); }), "TAnimation: index out of bounds");
    EXPECT_EQ(ThrownText([&] { (void)a.GetKeyDuration(-1); }), "TAnimation: index out of bounds");
}

struct SearchCase {
    int time;
    int key;
    int keyBefore;
};

TEST(TAnimation, FindKeyAndFindKeyBeforeFromAnyHint)
{
    const TAnimation a = Keys({0, 10, 20});
    const SearchCase cases[] = {{5, 1, 0}, {10, 1, 1}, {25, 2, 2}, {-3, 0, 0}, {0, 0, 0}, {20, 2, 2}, {15, 2, 1}};
    for (int hint : {-1, 0, 1, 2, 99}) {
        for (const auto& c : cases) {
            EXPECT_EQ(a.FindKey(c.time, hint), c.key) << "t=" << c.time << " hint=" << hint;
            EXPECT_EQ(a.FindKeyBefore(c.time, hint), c.keyBefore) << "t=" << c.time << " hint=" << hint;
        }
    }
}

TEST(TAnimation, ModeTwoWalksBackPastTheLastKey)
{
    const TAnimation a = Keys({0, 10, 30}, 2);
    EXPECT_EQ(a.FindKey(30, -1), 2);
    EXPECT_EQ(a.FindKey(35, -1), 1);  // 30 + 20 covers up to 50
    EXPECT_EQ(a.FindKey(50, -1), 1);
    EXPECT_EQ(a.FindKey(55, -1), 0);
    EXPECT_EQ(a.FindKey(1000, -1), 0);
}

TEST(TAnimation, ModeOneSearchesPlainlyUpToItsLongerDuration)
{
    const TAnimation a = Keys({0, 10, 20, 40}, 1);
    ASSERT_EQ(a.GetDuration(), 50);
    EXPECT_EQ(a.FindKey(45, -1), 3);
}

TEST(TAnimation, SearchWithoutKeysFindsNothing)
{
    const TAnimation empty("none", 2);
    EXPECT_EQ(empty.FindKey(5, -1), -1);
    EXPECT_EQ(empty.FindKey(5, 3), -1);
    EXPECT_EQ(empty.FindKeyBefore(5, -1), -1);
    EXPECT_EQ(ThrownText([&] { (void)empty.GetKey(0); }), "TAnimation: index out of bounds");
    EXPECT_EQ(empty.GetDuration(), 0);
}

TEST(TAnimation, ExtremeKeyTimesSaturateTheDuration)
{
    const TAnimation a = Keys({INT32_MIN, INT32_MAX}, 1);
    EXPECT_EQ(a.GetDuration(), INT32_MAX);
}

TEST(TAnimation, CopyKeepsNameModeKeysLoopAndDuration)
{
    TAnimation a = Keys({0, 7, 9}, 1);
    a.SetLoop(true);
    TAnimation b("other", 0);
    b = a;
    EXPECT_EQ(b.GetName(), "a");
    EXPECT_EQ(b.GetMode(), 1);
    EXPECT_TRUE(b.GetLoop());
    EXPECT_EQ(b.GetKeyCount(), 3);
    EXPECT_EQ(b.GetDuration(), a.GetDuration());
}

TEST(TAnimations, AddRefusesAnimationWithoutKeysAndIndexesByPosition)
{
    TAnimations all;
    EXPECT_EQ(ThrownText([&] { all.Add(TAnimation("empty", 0)); }), "TAnimations::Add  Bad animation.");
    EXPECT_EQ(all.GetCount(), 0);
    EXPECT_EQ(all.Add(Keys({0})), 0);
    EXPECT_EQ(all.Add(Keys({0, 1})), 1);
    EXPECT_EQ(all[1].GetKeyCount(), 2);
    EXPECT_EQ(ThrownText([&] { (void)all[2]; }), "TAnimation::Index out of bounds");
    EXPECT_EQ(ThrownText([&] { (void)all[-1]; }), "TAnimation::Index out of bounds");
}

}  // namespace
