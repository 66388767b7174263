#include <gtest/gtest.h>

#include <fstream>

#include "SpriteFixtures.h"
#include "sprite/TASprite.h"
#include "sprite/TASpriteLibrary.h"

using namespace fixtures;

namespace {

constexpr TColor kNone = TASprite::kNoTransparentColor;

// One still frame: two keys at times 0 and 1, as the displays build them.
TAnimation Still(const std::string& name, int frame)
{
    TAnimation a(name, 0);
    a.AddKey(TAKey(frame, 0));
    a.AddKey(TAKey(frame, 1));
    return a;
}

// Frames 0, 1, 2 ... shown from times 0, step, 2 * step ...
TAnimation Timed(const std::string& name, std::vector<int> frames, int step, bool loop)
{
    TAnimation a(name, 0);
    for (std::size_t i = 0; i < frames.size(); ++i)
        a.AddKey(TAKey(frames[i], int(i) * step));
    a.SetLoop(loop);
    return a;
}

// A sprite with frames of width 10, 11, 12 ... and height 5.
std::unique_ptr<TASprite> SpriteWithFrames(int count, const std::string& name = "Spot")
{
    auto sprite = std::make_unique<TASprite>(name);
    for (int i = 0; i < count; ++i) {
        auto frame = SolidBitmap(10 + i, 5, RGB(BYTE(i * 40), 0, 0));
        sprite->AddImage(frame.get(), kNone);
    }
    return sprite;
}

class SpriteFiles : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(SpriteFiles, BitmapFramesFromFilesWhateverTheColours)
{
    WritePng(dir.File("a.png"), Picture(7, 3, {1, 2, 3, 255}), false);
    WritePng(dir.File("b.png"), Picture(4, 9, {4, 5, 6, 255}), false);
    TASprite sprite("s");
    EXPECT_EQ(sprite.AddImageFromFile(dir.File("a.png"), kNone, false, false, -1), 0);
    EXPECT_EQ(sprite.AddImageFromFile(dir.File("b.png"), RGB(4, 5, 6), false, false, -1), 1);
    EXPECT_EQ(sprite.AddImageFromFile(dir.File("a.png"), clRed, false, false, 0), 2);
    EXPECT_EQ(sprite.GetFrameCount(), 3);
    EXPECT_EQ(sprite.GetFrameWidth(0), 7);
    EXPECT_EQ(sprite.GetFrameHeight(1), 9);
    EXPECT_EQ(sprite.GetFrameWidth(2), 7);
    EXPECT_EQ(sprite.GetFrameWidth(3), 0);
    EXPECT_EQ(sprite.GetFrameWidth(-1), 0);
}

TEST_F(SpriteFiles, MissingFileThrowsWithLine649)
{
    TASprite sprite("s");
    const std::string name = dir.File("Spot01.png");
    EXPECT_EQ(ThrownText([&] { sprite.AddImageFromFile(name, kNone, true, false, 0); }),
              "File not found:" + name +
                  " src=common\\SpriteEngine\\src\\ASprite.cpp:TASprite::AddImageFromFile:649");
    EXPECT_EQ(sprite.GetFrameCount(), 0);
}

TEST_F(SpriteFiles, UndecodableFileAddsAnEmptyFrame)
{
    std::ofstream(dir.File("junk.png")) << "garbage";
    TASprite sprite("s");
    EXPECT_EQ(sprite.AddImageFromFile(dir.File("junk.png"), kNone, false, false, -1), 0);
    EXPECT_EQ(sprite.AddImageFromFile(dir.File("junk.png"), kNone, true, false, -1), 1);
    EXPECT_EQ(sprite.GetFrameCount(), 2);
    EXPECT_EQ(sprite.GetFrameWidth(0), 0);
    EXPECT_EQ(sprite.GetFrameWidth(1), 0);
}

TEST_F(SpriteFiles, ColourShiftAddsBytesAndClamps)
{
    WritePng(dir.File("c.png"), Picture(2, 2, {100, 250, 7, 255}), false);
    TASprite sprite("s");
    // red + 0x14, green + 0x0A (clamped at 255), blue + 0x01
    sprite.AddImageFromFile(dir.File("c.png"), kNone, false, false, 0x010A14);
    TASpriteInstance* instance = sprite.CreateInstance();
    auto canvas = SolidBitmap(4, 4, 0);
    sprite.DrawInstance(canvas->Canvas(), instance, 1, 1);
    EXPECT_EQ(PixelAt(*canvas, 0, 0), RGB(120, 255, 8));
    sprite.RemoveInstance(instance);
}

TEST(TASprite, AnimationNamesWithoutAnimations)
{
    TASprite sprite("s");
    EXPECT_EQ(sprite.GetAnimationName(0), "Default");
    EXPECT_EQ(sprite.FindAnimation("0"), -1);
    EXPECT_EQ(sprite.GetAnimations(), nullptr);
    sprite.AddAnimation(Still("0", 0));
    sprite.AddAnimation(Still("1C", 0));
    EXPECT_EQ(sprite.GetAnimationName(1), "1C");
    EXPECT_EQ(sprite.GetAnimationName(2), "Default");
    EXPECT_EQ(sprite.GetAnimationName(-1), "Default");
    EXPECT_EQ(sprite.FindAnimation("1C"), 1);
    EXPECT_EQ(sprite.FindAnimation("1c"), -1);
}

class SpriteInstances : public ::testing::Test {
protected:
    void TearDown() override
    {
        while (sprite->GetInstanceCount() > 0)
            sprite->RemoveInstance(created.back()), created.pop_back();
    }
    TASpriteInstance* Create()
    {
        created.push_back(sprite->CreateInstance());
        return created.back();
    }

    std::unique_ptr<TASprite> sprite = SpriteWithFrames(4);
    std::vector<TASpriteInstance*> created;
};

TEST_F(SpriteInstances, NewInstanceIsVisibleActiveChangedAtFrameZero)
{
    TASpriteInstance* i = Create();
    EXPECT_TRUE(i->IsVisible());
    EXPECT_TRUE(i->IsActive());
    EXPECT_TRUE(i->IsChanged());
    EXPECT_EQ(i->GetFrame(), 0);
    EXPECT_EQ(i->GetOwner(), sprite.get());
    EXPECT_EQ(sprite->GetInstanceCount(), 1);
}

TEST_F(SpriteInstances, SetAnimationShowsFirstKeyAndMarksChangedOnlyWhenFrameDiffers)
{
    sprite->AddAnimation(Still("0", 0));
    sprite->AddAnimation(Still("2", 2));
    TASpriteInstance* i = Create();
    i->SetChanged(false);
    EXPECT_EQ(i->SetAnimation("0"), 0);
    EXPECT_FALSE(i->IsChanged());
    EXPECT_EQ(i->SetAnimation("2"), 1);
    EXPECT_EQ(i->GetFrame(), 2);
    EXPECT_EQ(i->GetFrameAnimation(), 1);
    EXPECT_TRUE(i->IsChanged());
}

TEST_F(SpriteInstances, UnknownAnimationThrowsAndLeavesInstanceInitialised)
{
    sprite->AddAnimation(Still("0", 0));
    sprite->AddAnimation(Still("3", 3));
    TASpriteInstance* i = Create();
    i->SetAnimation("3");
    i->SetChanged(false);
    EXPECT_EQ(ThrownText([&] { i->SetAnimation("UPN7"); }),
              "Animation:UPN7  not found src=common\\SpriteEngine\\src\\ASprite.cpp:TASprite::SetInstanceAnimation:695");
    EXPECT_EQ(i->GetFrame(), 0);
    EXPECT_EQ(i->GetFrameAnimation(), 0);
    EXPECT_TRUE(i->IsChanged()) << "the frame went from 3 to 0";
}

TEST_F(SpriteInstances, TwoKeyAnimationDoesNotRun)
{
    TAnimation two("two", 0);
    two.AddKey(TAKey(1, 0));
    two.AddKey(TAKey(3, 1));
    ASSERT_EQ(two.GetDuration(), 1);
    sprite->AddAnimation(two);
    TASpriteInstance* i = Create();
    i->SetAnimation("two");
    i->StartAnimation(0);
    for (int t : {0, 1, 2, 50}) {
        i->Update(t);
        EXPECT_EQ(i->GetFrame(), 1) << "t=" << t;
    }
    EXPECT_EQ(i->GetFrameSpeed(), 0.0f);
}

struct ClockCase {
    int time;
    int frame;
};

TEST_F(SpriteInstances, RunningAnimationShowsTheKeyAtOrAfterTheClock)
{
    sprite->AddAnimation(Timed("run", {1, 2, 3}, 10, false));
    TASpriteInstance* i = Create();
    i->SetAnimation("run");
    i->StartAnimation(100);
    EXPECT_EQ(i->GetFrameEnd(), 120);
    const ClockCase cases[] = {{99, 1}, {100, 1}, {105, 2}, {110, 2}, {119, 3}};
    for (const auto& c : cases) {
        i->Update(c.time);
        EXPECT_EQ(i->GetFrame(), c.frame) << "t=" << c.time;
    }
    i->Update(120);  // the end of a single run: stopped on the last key
    EXPECT_EQ(i->GetFrame(), 3);
    EXPECT_EQ(i->GetFrameKey(), 2);
    EXPECT_EQ(i->GetFrameSpeed(), 0.0f);
}

TEST_F(SpriteInstances, LoopingAnimationMovesItsWindowBeforeTheSearch)
{
    sprite->AddAnimation(Timed("loop", {0, 1, 2, 3}, 10, true));
    TASpriteInstance* i = Create();
    i->SetAnimation("loop");
    EXPECT_TRUE(i->GetFrameLoop());
    i->StartAnimation(0);
    ASSERT_EQ(i->GetFrameEnd(), 30);
    i->Update(95);
    EXPECT_EQ(i->GetFrameStart(), 90);
    EXPECT_EQ(i->GetFrameEnd(), 120);
    EXPECT_EQ(i->GetFrame(), 1);  // 5 after the start: the key at 10
}

TEST_F(SpriteInstances, LoopingAnimationOfDurationZeroStopsOnItsLastKey)
{
    sprite->AddAnimation(Timed("flat", {1, 2, 3}, 0, true));
    TASpriteInstance* i = Create();
    i->SetAnimation("flat");
    i->StartAnimation(0);
    i->Update(5);
    EXPECT_EQ(i->GetFrame(), 3);
    EXPECT_EQ(i->GetFrameSpeed(), 0.0f);
}

TEST_F(SpriteInstances, UpdateMarksChangedAndMovedWhenFrameShrinks)
{
    sprite->AddAnimation(Timed("shrink", {3, 0, 0}, 10, false));
    TASpriteInstance* i = Create();
    i->SetAnimation("shrink");
    i->StartAnimation(0);
    i->SetChanged(false);
    i->Update(0);
    EXPECT_FALSE(i->IsChanged());
    i->Update(5);  // frame 3 (13 wide) to frame 0 (10 wide)
    EXPECT_TRUE(i->IsChanged());
    EXPECT_TRUE(i->IsMoved());
}

TEST_F(SpriteInstances, InactiveInstanceIsNotAnimated)
{
    sprite->AddAnimation(Timed("run", {0, 1, 2}, 10, false));
    TASpriteInstance* i = Create();
    i->SetAnimation("run");
    i->StartAnimation(0);
    i->SetActive(false);
    i->Update(15);
    EXPECT_EQ(i->GetFrame(), 0);
}

TEST_F(SpriteInstances, FrameAddedAfterInstanceIsDrawnAndCachedSafely)
{
    TASpriteInstance* i = Create();
    i->SetCacheFrames(true);
    auto late = SolidBitmap(6, 6, RGB(0, 0, 255));
    const int frame = sprite->AddImage(late.get(), kNone);
    sprite->AddAnimation(Still("late", frame));
    i->SetAnimation("late");
    auto canvas = SolidBitmap(20, 20, 0);
    i->Draw(canvas->Canvas(), 10, 10);
    ASSERT_NE(i->CachedFrame(frame), nullptr);
    EXPECT_EQ(PixelAt(*canvas, 10, 10), RGB(0, 0, 255));
    EXPECT_FALSE(sprite->NeedsRestore(i));
}

TEST_F(SpriteInstances, RemoveInstanceRefusesUnknownAndRepeatedRemovals)
{
    TASprite other("other");
    EXPECT_EQ(ThrownText([&] { other.RemoveInstance(nullptr); }), "TASprite: NO Instance created, cant remove it!");
    TASpriteInstance* i = Create();
    TASpriteInstance* j = Create();
    sprite->RemoveInstance(i);
    created.erase(created.begin());
    EXPECT_EQ(ThrownText([&] { sprite->RemoveInstance(i); }), "TASprite: UNKNOWN inst pointer, cant remove it!");
    EXPECT_EQ(sprite->GetInstanceCount(), 1);
    EXPECT_EQ(created.back(), j);
}

TEST(TASpriteLibrary, CreateInstanceTakesFirstSpriteOfExactName)
{
    TASpriteLibrary library;
    TASprite* a = SpriteWithFrames(1, "Spot").release();
    TASprite* b = SpriteWithFrames(1, "Spot").release();
    library.AddSprite(a);
    library.AddSprite(b);
    library.AddSprite(nullptr);
    EXPECT_EQ(library.GetCount(), 2);
    EXPECT_EQ(library.GetSprite(1), b);
    EXPECT_EQ(library.GetSprite(2), nullptr);
    EXPECT_EQ(library.CreateInstance("spot"), nullptr);
    TASpriteInstance* i = library.CreateInstance("Spot");
    ASSERT_NE(i, nullptr);
    EXPECT_EQ(i->GetOwner(), a);
    a->RemoveInstance(i);
}

TEST(TASpriteLibrary, CheckInstancesReportsTheTeardownOrderFault)
{
    TASpriteLibrary library;
    library.AddSprite(SpriteWithFrames(1, "a").release());
    library.AddSprite(SpriteWithFrames(1, "b").release());
    EXPECT_NO_THROW(library.CheckInstances());
    TASpriteInstance* i = library.CreateInstance("b");
    EXPECT_EQ(ThrownText([&] { library.CheckInstances(); }),
              "BUG: Deleting sprite obj while its instances exists!!! Check for properly instances deleting.");
    library.GetSprite(1)->RemoveInstance(i);
    EXPECT_NO_THROW(library.CheckInstances());
}

TEST(TASpriteLibrary, DestroyingWithInstancesLeftIsSilentAndFreesThem)
{
    auto library = std::make_unique<TASpriteLibrary>();
    library->AddSprite(SpriteWithFrames(2).release());
    (void)library->CreateInstance("Spot");
    (void)library->CreateInstance("Spot");
    EXPECT_NO_THROW(library.reset());  // the leak checker sees whether the instances were freed
}

}  // namespace
