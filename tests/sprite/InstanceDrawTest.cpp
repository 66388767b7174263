#include <gtest/gtest.h>

#include "SpriteFixtures.h"
#include "image/PixImage.h"
#include "sprite/TASprite.h"
#include "sprite/Win9xMode.h"

using namespace fixtures;

namespace {

constexpr TColor kNone = TASprite::kNoTransparentColor;

TAnimation Still(const std::string& name, int frame)
{
    TAnimation a(name, 0);
    a.AddKey(TAKey(frame, 0));
    a.AddKey(TAKey(frame, 1));
    return a;
}

// A sprite and one instance of it, removed again at the end.
class Drawing : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (instance)
            sprite.RemoveInstance(instance);
    }
    void MakeInstance() { instance = sprite.CreateInstance(); }
    void SelectFrame(int frame)
    {
        sprite.AddAnimation(Still("f" + std::to_string(frame), frame));
        instance->SetAnimation("f" + std::to_string(frame));
    }

    TempDir dir;
    TASprite sprite{"Spot"};
    TASpriteInstance* instance = nullptr;
};

struct GeometryCase {
    int w, h, x, y;
    TRect covered;
};

TEST_F(Drawing, FrameIsCentredWithHalvesTruncated)
{
    const GeometryCase cases[] = {
        {31, 21, 100, 50, {85, 40, 116, 61}},
        {30, 20, 0, 0, {-15, -10, 15, 10}},
        {1, 1, 5, 5, {5, 5, 6, 6}},
        {3, 2, -1, -1, {-2, -2, 1, 0}},
    };
    for (const auto& c : cases) {
        auto frame = SolidBitmap(c.w, c.h, RGB(1, 2, 3));
        const int index = sprite.AddImage(frame.get(), kNone);
        if (!instance)
            MakeInstance();
        SelectFrame(index);
        auto canvas = SolidBitmap(200, 100, 0);
        EXPECT_TRUE(instance->Draw(canvas->Canvas(), c.x, c.y));
        EXPECT_EQ(instance->GetLastDrawnRect(), c.covered) << c.w << "x" << c.h;
        EXPECT_EQ(sprite.GetDrawRect(instance, c.x, c.y), c.covered);
    }
}

TEST_F(Drawing, ClipCentreIsHalvedTowardZero)
{
    auto frame = SolidBitmap(10, 10, RGB(1, 2, 3));
    sprite.AddImage(frame.get(), kNone);
    MakeInstance();
    const TRect clip(-3, -5, 0, 0);  // centre (-1, -2), not (-2, -3)
    instance->SetClipRect(&clip);
    instance->SetX(10);
    instance->SetY(20);
    EXPECT_FLOAT_EQ(instance->GetX(), 10);
    EXPECT_FLOAT_EQ(instance->GetY(), 20);
    instance->SetClipRect(nullptr);
    EXPECT_FLOAT_EQ(instance->GetX(), 11);
    EXPECT_FLOAT_EQ(instance->GetY(), 22);
}

TEST_F(Drawing, SizeIsTheClipsUnlessTheFrameIsEmpty)
{
    auto frame = SolidBitmap(10, 8, RGB(1, 2, 3));
    sprite.AddImage(frame.get(), kNone);
    sprite.AddImage(nullptr, kNone);
    MakeInstance();
    EXPECT_EQ(instance->GetWidth(), 10);
    EXPECT_EQ(instance->GetHeight(), 8);
    const TRect clip(-2, -1, 2, 3);
    instance->SetClipRect(&clip);
    EXPECT_EQ(instance->GetWidth(), 4);
    EXPECT_EQ(instance->GetHeight(), 4);
    SelectFrame(1);
    EXPECT_EQ(instance->GetWidth(), 0);
    EXPECT_EQ(instance->GetHeight(), 0);
}

TEST_F(Drawing, PlainFrameCopiesEveryPixel)
{
    WritePng(dir.File("keyed.png"), KeyedFrame(5, 5), false);
    sprite.AddImageFromFile(dir.File("keyed.png"), kNone, false, false, -1);
    MakeInstance();
    auto canvas = SolidBitmap(9, 9, RGB(0, 0, 90));
    instance->Draw(canvas->Canvas(), 4, 4);
    EXPECT_EQ(PixelAt(*canvas, 2, 2), kKey);
    EXPECT_EQ(PixelAt(*canvas, 3, 3), RGB(255, 0, 0));
    EXPECT_EQ(PixelAt(*canvas, 4, 4), RGB(0, 255, 0));
    EXPECT_EQ(PixelAt(*canvas, 1, 1), RGB(0, 0, 90));
}

class KeyedDrawing : public Drawing, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override { saved = Win9xMode; }
    void TearDown() override
    {
        Win9xMode = saved;
        Drawing::TearDown();
    }
    bool saved = false;
};

TEST_P(KeyedDrawing, KeyColourLeavesTheCanvasShowing)
{
    Win9xMode = GetParam();
    WritePng(dir.File("keyed.png"), KeyedFrame(5, 5), false);
    sprite.AddImageFromFile(dir.File("keyed.png"), kKey, false, false, -1);
    MakeInstance();
    EXPECT_TRUE(sprite.NeedsRestore(instance));
    auto canvas = PositionBitmap(9, 9);
    instance->Draw(canvas->Canvas(), 4, 4);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
            COLORREF expected = PositionColour(x, y);
            if (x >= 3 && x <= 5 && y >= 3 && y <= 5)
                expected = RGB(255, 0, 0);
            if (x == 4 && y == 4)
                expected = RGB(0, 255, 0);
            EXPECT_EQ(PixelAt(*canvas, x, y), expected) << "(" << x << ", " << y << ")";
        }
}

TEST_P(KeyedDrawing, ClippedKeyedFrameDrawsOnlyTheClippedPart)
{
    Win9xMode = GetParam();
    WritePng(dir.File("keyed.png"), KeyedFrame(7, 7), false);
    sprite.AddImageFromFile(dir.File("keyed.png"), kKey, false, false, -1);
    MakeInstance();
    const TRect clip(0, 0, 2, 2);  // the centre pixel and the red ones right of and below it
    instance->SetClipRect(&clip);
    auto canvas = SolidBitmap(10, 10, RGB(0, 0, 90));
    instance->Draw(canvas->Canvas(), 5, 5);
    EXPECT_EQ(instance->GetLastDrawnRect(), TRect(4, 4, 6, 6));
    EXPECT_EQ(PixelAt(*canvas, 4, 4), RGB(0, 255, 0));
    EXPECT_EQ(PixelAt(*canvas, 5, 5), RGB(255, 0, 0));
    EXPECT_EQ(PixelAt(*canvas, 3, 3), RGB(0, 0, 90));
    EXPECT_EQ(PixelAt(*canvas, 6, 6), RGB(0, 0, 90));
}

INSTANTIATE_TEST_SUITE_P(BothWays, KeyedDrawing, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "MaskRoutine" : "TransparentBlt"; });

// The spot drawn by the engine must match the image layer's own alpha drawing at the same place
// with the same alpha maximum.
TEST_F(Drawing, ImageFrameIsBlendedWithTheInstancesAlpha)
{
    WritePng(dir.File("spot.png"), GradedSpot(9, 7), true);
    sprite.AddImageFromFile(dir.File("spot.png"), kNone, true, false, 0);
    MakeInstance();
    EXPECT_TRUE(sprite.NeedsRestore(instance));
    for (int alpha : {0, 128}) {
        instance->SetAlpha(alpha);
        auto canvas = PositionBitmap(20, 20);
        instance->Draw(canvas->Canvas(), 10, 10);
        EXPECT_EQ(instance->GetLastDrawnRect(), TRect(6, 7, 15, 14));

        PixImage reference;
        ASSERT_TRUE(reference.Load(dir.File("spot.png").c_str(), 0));
        reference.AlphaSetMax(BYTE(255 - alpha));
        auto expected = PositionBitmap(20, 20);
        reference.Draw(expected->Canvas()->Handle(), 6, 7);
        EXPECT_EQ(Pixels(*canvas), Pixels(*expected)) << "alpha " << alpha;
        EXPECT_NE(Pixels(*canvas), Pixels(*PositionBitmap(20, 20))) << "alpha " << alpha;
    }
}

TEST_F(Drawing, ImageFrameWithAlpha255IsNotDrawn)
{
    WritePng(dir.File("spot.png"), GradedSpot(9, 7), true);
    sprite.AddImageFromFile(dir.File("spot.png"), kNone, true, false, 0);
    MakeInstance();
    auto canvas = PositionBitmap(20, 20);
    instance->Draw(canvas->Canvas(), 10, 10);
    ASSERT_FALSE(instance->GetLastDrawnRect() == TRect());
    instance->SetAlpha(255);
    auto fresh = PositionBitmap(20, 20);
    instance->Draw(fresh->Canvas(), 10, 10);
    EXPECT_EQ(instance->GetLastDrawnRect(), TRect());
    EXPECT_EQ(Pixels(*fresh), Pixels(*PositionBitmap(20, 20)));
    EXPECT_EQ(sprite.GetDrawRect(instance, 10, 10), TRect());
}

TEST_F(Drawing, OpaqueImageLoadedWithAlphaDrawsOpaquely)
{
    WritePng(dir.File("rgb.png"), Picture(4, 4, {10, 20, 30, 255}), false);
    sprite.AddImageFromFile(dir.File("rgb.png"), kNone, false, true, -1);
    MakeInstance();
    auto canvas = PositionBitmap(8, 8);
    instance->Draw(canvas->Canvas(), 4, 4);
    EXPECT_EQ(PixelAt(*canvas, 2, 2), RGB(10, 20, 30));
    EXPECT_EQ(PixelAt(*canvas, 5, 5), RGB(10, 20, 30));
    EXPECT_EQ(PixelAt(*canvas, 6, 6), PositionColour(6, 6));
}

TEST_F(Drawing, ClipOutsideTheFrameDrawsNothingAndKeepsLastRect)
{
    auto frame = SolidBitmap(6, 6, RGB(1, 2, 3));
    sprite.AddImage(frame.get(), kNone);
    MakeInstance();
    auto canvas = SolidBitmap(20, 20, 0);
    instance->Draw(canvas->Canvas(), 10, 10);
    const TRect before = instance->GetLastDrawnRect();
    const TRect outside(10, 10, 14, 14);
    instance->SetClipRect(&outside);
    auto fresh = SolidBitmap(20, 20, 0);
    instance->Draw(fresh->Canvas(), 10, 10);
    EXPECT_EQ(instance->GetLastDrawnRect(), before);
    EXPECT_EQ(Pixels(*fresh), Pixels(*SolidBitmap(20, 20, 0)));
    EXPECT_EQ(sprite.GetDrawRect(instance, 10, 10), TRect());
}

TEST_F(Drawing, FrameIndexBeyondTheFramesDrawsNothing)
{
    auto frame = SolidBitmap(6, 6, RGB(1, 2, 3));
    sprite.AddImage(frame.get(), kNone);
    MakeInstance();
    SelectFrame(9);
    auto canvas = SolidBitmap(20, 20, 0);
    instance->Draw(canvas->Canvas(), 10, 10);
    EXPECT_EQ(instance->GetLastDrawnRect(), TRect());
    EXPECT_EQ(Pixels(*canvas), Pixels(*SolidBitmap(20, 20, 0)));
    EXPECT_FALSE(sprite.NeedsRestore(instance));
}

TEST_F(Drawing, HidingRaisesChangedAndMovedShowingOnlyChanged)
{
    auto frame = SolidBitmap(6, 6, RGB(1, 2, 3));
    sprite.AddImage(frame.get(), kNone);
    MakeInstance();
    auto canvas = SolidBitmap(20, 20, 0);
    EXPECT_TRUE(instance->Draw(canvas->Canvas(), 10, 10));
    EXPECT_FALSE(instance->IsChanged());
    instance->SetVisible(false);
    EXPECT_TRUE(instance->IsChanged());
    EXPECT_TRUE(instance->IsMoved());
    instance->SetChanged(false);
    instance->SetMoved(false);
    instance->SetVisible(false);
    EXPECT_FALSE(instance->IsChanged());
    instance->SetVisible(true);
    EXPECT_TRUE(instance->IsChanged());
    EXPECT_FALSE(instance->IsMoved());
}

TEST_F(Drawing, HiddenInstanceDrawsNothing)
{
    auto frame = SolidBitmap(6, 6, RGB(1, 2, 3));
    sprite.AddImage(frame.get(), kNone);
    MakeInstance();
    instance->SetVisible(false);
    auto canvas = SolidBitmap(20, 20, 0);
    EXPECT_FALSE(instance->Draw(canvas->Canvas(), 10, 10));
    EXPECT_FALSE(instance->IsChanged());
    EXPECT_EQ(Pixels(*canvas), Pixels(*SolidBitmap(20, 20, 0)));
}

TEST_F(Drawing, NewPositionRaisesMovedAndChangedSamePositionNothing)
{
    auto frame = SolidBitmap(6, 6, RGB(1, 2, 3));
    sprite.AddImage(frame.get(), kNone);
    MakeInstance();
    instance->SetChanged(false);
    instance->SetX(0);
    instance->SetY(0);
    EXPECT_FALSE(instance->IsChanged());
    EXPECT_FALSE(instance->IsMoved());
    instance->SetY(3.5f);
    EXPECT_TRUE(instance->IsChanged());
    EXPECT_TRUE(instance->IsMoved());
}

TEST_F(Drawing, CachedCompositionIsReusedUntilTheInstanceMoves)
{
    WritePng(dir.File("keyed.png"), KeyedFrame(5, 5), false);
    sprite.AddImageFromFile(dir.File("keyed.png"), kKey, false, false, -1);
    MakeInstance();
    instance->SetCacheFrames(true);
    auto first = SolidBitmap(9, 9, RGB(0, 0, 90));
    instance->Draw(first->Canvas(), 4, 4);
    ASSERT_NE(instance->CachedFrame(0), nullptr);
    EXPECT_FALSE(sprite.NeedsRestore(instance));

    auto second = SolidBitmap(9, 9, RGB(70, 70, 70));
    instance->Draw(second->Canvas(), 4, 4);
    EXPECT_EQ(PixelAt(*second, 2, 2), RGB(0, 0, 90)) << "the composition over the first canvas";
    EXPECT_EQ(PixelAt(*second, 3, 3), RGB(255, 0, 0));

    instance->SetX(5);
    EXPECT_EQ(instance->CachedFrame(0), nullptr);
    EXPECT_TRUE(sprite.NeedsRestore(instance));
}

TEST_F(Drawing, CachedClippedFrameLooksLikeItsFirstDrawing)
{
    WritePng(dir.File("spot.png"), GradedSpot(9, 7), true);
    sprite.AddImageFromFile(dir.File("spot.png"), kNone, true, false, 0);
    MakeInstance();
    const TRect pastTheEdge(0, -5, 5, 5);
    instance->SetClipRect(&pastTheEdge);
    instance->SetCacheFrames(true);
    auto first = PositionBitmap(20, 20);
    instance->Draw(first->Canvas(), 10, 10);
    ASSERT_NE(instance->CachedFrame(0), nullptr);
    auto again = PositionBitmap(20, 20);
    instance->Draw(again->Canvas(), 10, 10);
    EXPECT_EQ(FirstDifference(Pixels(*again), Pixels(*first), 20), "");
}

TEST_F(Drawing, DroppingCachedCompositionRaisesChanged)
{
    auto frame = SolidBitmap(6, 6, RGB(1, 2, 3));
    sprite.AddImage(frame.get(), kNone);
    MakeInstance();
    instance->SetCacheFrames(true);
    auto canvas = SolidBitmap(20, 20, 0);
    instance->Draw(canvas->Canvas(), 10, 10);
    instance->SetMoved(false);
    instance->SetCacheFrames(false);
    EXPECT_TRUE(instance->IsChanged());
    EXPECT_TRUE(instance->IsMoved());
    instance->SetChanged(false);
    instance->ClearFrameCache();  // nothing left to drop
    EXPECT_FALSE(instance->IsChanged());
}

}  // namespace
