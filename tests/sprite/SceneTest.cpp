#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "SpriteFixtures.h"
#include "sprite/TAScene.h"
#include "sprite/TASpriteLibrary.h"
#include "sprite/Win9xMode.h"

#if __has_include("platform/TImage.h")
#include "platform/ui/TImage.h"
static_assert(ViewTargetImage<TImage>, "a scene draws into the class library's image control");
#endif

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

// ---- Rectangle lists ------------------------------------------------------------------------

struct ClampCase {
    TRect rect;
    bool result;
    std::vector<TRect> queued;
};

TEST(TAViewport, RestoreRectsAreClampedToTheViewAndSliversRefused)
{
    const ClampCase cases[] = {
        {{-5, -5, 1, 300}, false, {}},
        {{190, 90, 250, 150}, true, {{190, 90, 200, 100}}},
        {{-10, -10, -5, -5}, false, {}},
        {{250, 10, 300, 20}, false, {}},
        {{10, 10, 12, 12}, true, {{10, 10, 12, 12}}},
        {{10, 10, 11, 50}, false, {}},
        {{-20, 40, 30, 42}, true, {{0, 40, 30, 42}}},
    };
    for (const auto& c : cases) {
        FakeImage image(200, 100);
        TAScene scene(&image);
        EXPECT_EQ(scene.AddRestoreRect(c.rect), c.result);
        EXPECT_EQ(scene.GetRestoreRects(), c.queued);
        EXPECT_EQ(scene.AddDirtyRect(c.rect), c.result);
        EXPECT_EQ(scene.GetDirtyRects(), c.queued);
    }
}

TEST(TAViewport, ContainedRectIsNotQueuedAgain)
{
    FakeImage image(200, 100);
    TAScene outerFirst(&image);
    EXPECT_TRUE(outerFirst.AddRestoreRect({10, 10, 50, 50}));
    EXPECT_TRUE(outerFirst.AddRestoreRect({20, 20, 40, 40}));
    EXPECT_TRUE(outerFirst.AddRestoreRect({10, 10, 50, 50}));
    EXPECT_EQ(outerFirst.GetRestoreRects().size(), 1u);

    TAScene innerFirst(&image);
    innerFirst.AddRestoreRect({20, 20, 40, 40});
    innerFirst.AddRestoreRect({10, 10, 50, 50});
    EXPECT_EQ(innerFirst.GetRestoreRects().size(), 2u);
}

TEST(TAViewport, IsDirtyMeetsDirtyOrRestoreEntries)
{
    FakeImage image(200, 100);
    TAScene scene(&image);
    scene.AddDirtyRect({10, 10, 50, 50});
    scene.AddRestoreRect({100, 10, 120, 30});
    EXPECT_TRUE(scene.IsDirty({49, 49, 60, 60}));
    EXPECT_FALSE(scene.IsDirty({50, 50, 60, 60})) << "touching is not meeting";
    EXPECT_TRUE(scene.IsDirty({110, 0, 130, 12}));
    EXPECT_FALSE(scene.IsDirty({20, 20, 21, 40})) << "a sliver is never dirty";
    EXPECT_FALSE(scene.IsDirty({-30, -30, -1, -1}));
    scene.Update(0);
    EXPECT_TRUE(scene.GetDirtyRects().empty());
}

// ---- Scenes ---------------------------------------------------------------------------------

// A 60 x 40 board with a position-coded background and three sprites: an alpha spot (9 x 7),
// a colour-keyed frame (7 x 7) and an opaque box (10 x 6).
class Scene : public ::testing::Test {
protected:
    static constexpr int kW = 60, kH = 40;

    void SetUp() override
    {
        WritePng(dir.File("spot.png"), GradedSpot(9, 7), true);
        WritePng(dir.File("keyed.png"), KeyedFrame(7, 7), false);
        auto* spot = new TASprite("Spot");
        spot->AddImageFromFile(dir.File("spot.png"), kNone, true, false, 0);
        spot->AddAnimation(Still("0", 0));
        library->AddSprite(spot);
        auto* keyed = new TASprite("Key");
        keyed->AddImageFromFile(dir.File("keyed.png"), kKey, false, false, -1);
        library->AddSprite(keyed);
        auto* box = new TASprite("Box");
        auto boxBitmap = SolidBitmap(10, 6, RGB(20, 200, 20));
        box->AddImage(boxBitmap.get(), kNone);
        library->AddSprite(box);
        background = PositionBitmap(kW, kH);
        scene->SetBackground(background.get());
    }

    TASpriteInstance* Add(const std::string& sprite, float x, float y)
    {
        TASpriteInstance* i = library->CreateInstance(sprite);
        i->SetX(x);
        i->SetY(y);
        scene->AddInstance(i);
        return i;
    }

    std::vector<COLORREF> Shown() { return Pixels(image.Bitmap()); }

    // Draws unforced, then forced, and expects the same picture from both.
    void ExpectUnforcedDrawMatchesForced(const std::string& context = "")
    {
        scene->Draw(false, true);
        const auto unforced = Shown();
        scene->Draw(true, true);
        EXPECT_EQ(FirstDifference(unforced, Shown(), kW), "") << context;
    }

    TempDir dir;
    FakeImage image{kW, kH};
    std::unique_ptr<TBitmap> background;
    std::unique_ptr<TASpriteLibrary> library = std::make_unique<TASpriteLibrary>();
    std::unique_ptr<TAScene> scene = std::make_unique<TAScene>(&image);
};

TEST_F(Scene, TakesTheSizeOfItsImage)
{
    EXPECT_EQ(scene->GetViewWidth(), float(kW));
    EXPECT_EQ(scene->GetViewHeight(), float(kH));
    EXPECT_EQ(scene->GetBackBuffer(), nullptr);
    EXPECT_TRUE(scene->IsBackgroundNew());
}

TEST_F(Scene, UnforcedDrawWithoutChangesDoesNothing)
{
    Add("Box", 20, 20);
    scene->Draw(true, true);
    SetPixel(image.Canvas()->Handle(), 1, 1, RGB(1, 1, 1));
    scene->Update(10);
    scene->Draw(false, true);
    EXPECT_EQ(PixelAt(image.Bitmap(), 1, 1), RGB(1, 1, 1));
}

TEST_F(Scene, ForcedDrawRepaintsEverythingButInactiveInstances)
{
    Add("Box", 20, 20);
    TASpriteInstance* idle = Add("Box", 45, 20);
    idle->SetActive(false);
    scene->Draw(true, true);
    SetPixel(image.Canvas()->Handle(), 1, 1, RGB(1, 1, 1));
    scene->Draw(true, true);
    EXPECT_EQ(PixelAt(image.Bitmap(), 1, 1), PositionColour(1, 1));
    EXPECT_EQ(PixelAt(image.Bitmap(), 20, 20), RGB(20, 200, 20));
    EXPECT_EQ(PixelAt(image.Bitmap(), 45, 20), PositionColour(45, 20));
}

TEST_F(Scene, HiddenInstanceLeavesItsRectangleToRestore)
{
    TASpriteInstance* box = Add("Box", 20, 20);
    scene->Draw(true, true);
    box->SetVisible(false);
    scene->Update(1);
    EXPECT_EQ(scene->GetRestoreRects(), std::vector<TRect>{TRect(15, 17, 25, 23)});
    EXPECT_TRUE(scene->NeedsRedraw());
    scene->Draw(false, true);
    EXPECT_EQ(Shown(), Pixels(*PositionBitmap(kW, kH)));
    EXPECT_TRUE(scene->GetRestoreRects().empty());
}

TEST_F(Scene, UnchangedInstanceUnderAMovedOneIsDrawnAgain)
{
    Add("Box", 20, 20);
    TASpriteInstance* top = Add("Key", 24, 20);
    scene->Draw(true, true);
    top->SetX(40);
    scene->Update(1);
    ExpectUnforcedDrawMatchesForced();
    EXPECT_EQ(PixelAt(image.Bitmap(), 24, 20), RGB(20, 200, 20));
}

TEST_F(Scene, UnchangedInstanceOverAMovedOneIsDrawnAgain)
{
    TASpriteInstance* bottom = Add("Box", 20, 20);
    Add("Spot", 24, 20);
    scene->Draw(true, true);
    bottom->SetY(5);
    scene->Update(1);
    ExpectUnforcedDrawMatchesForced();
}

TEST_F(Scene, ChainOfOverlapsIsRedrawnWithoutDoubleBlending)
{
    TASpriteInstance* moving = Add("Box", 10, 10);
    Add("Spot", 16, 12);
    Add("Spot", 22, 14);
    Add("Spot", 28, 16);
    scene->Draw(true, true);
    moving->SetX(11);
    scene->Update(1);
    ExpectUnforcedDrawMatchesForced();
}

TEST_F(Scene, AlphaChangeRepaintsTheSpotOverTheBackground)
{
    TASpriteInstance* spot = Add("Spot", 30, 20);
    scene->Draw(true, true);
    spot->SetAlpha(100);
    scene->Update(1);
    ExpectUnforcedDrawMatchesForced();
}

TEST_F(Scene, DeactivatedInstanceIsRemovedByAnUnforcedDraw)
{
    TASpriteInstance* box = Add("Box", 20, 20);
    scene->Draw(true, true);
    box->SetActive(false);
    scene->Update(1);
    ExpectUnforcedDrawMatchesForced();
    EXPECT_EQ(PixelAt(image.Bitmap(), 20, 20), PositionColour(20, 20));
}

TEST_F(Scene, NewBackgroundIsPaintedWholeWithEveryInstance)
{
    Add("Box", 20, 20);
    scene->Draw(true, true);
    auto plain = SolidBitmap(kW, kH, RGB(9, 9, 9));
    scene->SetBackground(plain.get());
    scene->Draw(false, true);
    EXPECT_EQ(PixelAt(image.Bitmap(), 1, 1), RGB(9, 9, 9));
    EXPECT_EQ(PixelAt(image.Bitmap(), 20, 20), RGB(20, 200, 20));
}

TEST_F(Scene, BackgroundPaintedOutsideDrawBringsEveryInstanceBack)
{
    Add("Box", 20, 20);
    TASpriteInstance* hidden = Add("Key", 40, 20);
    scene->Draw(true, true);
    hidden->SetVisible(false);
    scene->DrawBackground(true);
    scene->Draw(false, true);
    EXPECT_EQ(PixelAt(image.Bitmap(), 20, 20), RGB(20, 200, 20));
    EXPECT_EQ(PixelAt(image.Bitmap(), 40, 20), PositionColour(40, 20));
}

TEST_F(Scene, OriginIsSubtractedFromPositions)
{
    Add("Box", 120, 70);
    scene->SetOrigin(100, 50);
    scene->Draw(true, true);
    EXPECT_EQ(PixelAt(image.Bitmap(), 20, 20), RGB(20, 200, 20));
}

TEST_F(Scene, BackBufferTakesTheDrawingAndBlitShowsIt)
{
    TASpriteInstance* box = Add("Box", 20, 20);
    scene->SetCacheBackground(true);
    scene->Draw(true, true);
    ASSERT_NE(scene->GetBackBuffer(), nullptr);
    const auto before = Shown();
    box->SetX(40);
    scene->Update(1);
    scene->Draw(false, false);
    EXPECT_EQ(Shown(), before) << "without blit the image is untouched";
    EXPECT_EQ(PixelAt(*scene->GetBackBuffer(), 40, 20), RGB(20, 200, 20));
    scene->Draw(true, true);
    EXPECT_EQ(Shown(), Pixels(*scene->GetBackBuffer()));
    EXPECT_EQ(PixelAt(image.Bitmap(), 40, 20), RGB(20, 200, 20));
    EXPECT_EQ(PixelAt(image.Bitmap(), 20, 20), PositionColour(20, 20));
}

TEST_F(Scene, SceneDeletesItsInstancesThroughTheirSprites)
{
    Add("Box", 20, 20);
    Add("Box", 30, 20);
    Add("Spot", 30, 20);
    EXPECT_ANY_THROW(library->CheckInstances());
    scene.reset();
    EXPECT_EQ(library->GetSprite(2)->GetInstanceCount(), 0);
    EXPECT_NO_THROW(library->CheckInstances());
}

TEST_F(Scene, InstanceAddedTwiceIsRemovedOnceSilently)
{
    TASpriteInstance* box = Add("Box", 20, 20);
    scene->AddInstance(box);
    EXPECT_NO_THROW(scene.reset());
    EXPECT_NO_THROW(library->CheckInstances());
}

// ---- Seeded random run ------------------------------------------------------------------------

TEST_F(Scene, RandomOperationsUnforcedDrawAlwaysMatchesForced)
{
    const bool savedMode = Win9xMode;
    auto* runner = new TASprite("Runner");
    for (int i = 0; i < 3; ++i) {
        auto frame = SolidBitmap(4 + 3 * i, 5 + 2 * i, RGB(BYTE(60 * i), 90, 200));
        runner->AddImage(frame.get(), i == 1 ? RGB(60, 90, 200) : kNone);
    }
    TAnimation loop("loop", 0);
    for (int k = 0; k < 4; ++k)
        loop.AddKey(TAKey(k % 3, k * 7));
    loop.SetLoop(true);
    runner->AddAnimation(loop);
    runner->AddAnimation(Still("still", 2));
    library->AddSprite(runner);

    // SPRITE_SEED runs another sequence of operations.
    const char* seedText = std::getenv("SPRITE_SEED");
    std::mt19937 random(seedText ? unsigned(std::atoi(seedText)) : 20261207u);
    const auto pick = [&random](int n) { return int(random() % unsigned(n)); };
    const char* names[] = {"Spot", "Key", "Box", "Runner"};
    std::vector<TASpriteInstance*> all;
    for (int i = 0; i < 12; ++i)
        all.push_back(Add(names[i % 4], float(pick(kW)), float(pick(kH))));
    scene->Draw(true, true);

    std::int32_t time = 0;
    for (int step = 0; step < 1000; ++step) {
        std::string done;
        for (int n = 1 + pick(3); n > 0; --n) {
            TASpriteInstance* i = all[std::size_t(pick(int(all.size())))];
            switch (pick(12)) {
            case 0: case 1: i->SetX(float(pick(kW + 20) - 10)); done += "x "; break;
            case 2: case 3: i->SetY(float(pick(kH + 20) - 10) + 0.5f); done += "y "; break;
            case 4: i->SetVisible(!i->IsVisible()); done += "visible "; break;
            case 5: i->SetActive(pick(4) != 0); done += "active "; break;
            case 6: i->SetAlpha(std::vector<int>{0, 64, 128, 200, 255}[std::size_t(pick(5))]); done += "alpha "; break;
            case 7: {
                if (pick(2)) {
                    const TRect clip(-pick(6), -pick(6), pick(6), pick(6));
                    i->SetClipRect(&clip);
                } else {
                    i->SetClipRect(nullptr);
                }
                done += "clip ";
                break;
            }
            case 8:
                if (i->GetOwner()->GetName() == "Runner") {
                    i->SetAnimation(pick(2) ? "loop" : "still");
                    i->StartAnimation(time);
                    done += "animation ";
                }
                break;
            case 9: Win9xMode = !Win9xMode; done += "mode "; break;
            case 10:
                if (pick(10) == 0) {
                    scene->DrawBackground(true);
                    done += "background ";
                }
                break;
            default: i->SetCacheFrames(pick(8) == 0); done += "cache "; break;
            }
        }
        time += 1 + pick(5);
        scene->Update(time);
        scene->Draw(false, true);
        const auto unforced = Shown();
        scene->Draw(true, true);
        const std::string difference = FirstDifference(unforced, Shown(), kW);
        ASSERT_EQ(difference, "") << "step " << step << " after " << done;
    }
    Win9xMode = savedMode;
}

}  // namespace
