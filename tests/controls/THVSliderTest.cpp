// The picture slider: offset arithmetic, presses and drags, hover look and the track.
#include <memory>

#include "ControlFixtures.h"
#include "controls/THVSlider.h"
#include "platform/system/Exception.h"

using namespace fixtures;

namespace {

constexpr std::uint32_t kTrack = 0xFF404040, kTrackHover = 0xFFA0A0A0, kThumb = 0xFFFFFFFF, kHeld = 0xFFFFFF00;

class SliderTest : public ControlTest {
protected:
    // A slider of the given size with a 10 x 10 thumb and a 20 x 20 middle picture, loaded.
    std::unique_ptr<THVSlider> MakeSlider(bool horizontal, int width, int height)
    {
        auto slider = std::make_unique<THVSlider>(nullptr);
        slider->SetBounds(0, 0, width, height);
        slider->SetHorizontal(horizontal);
        slider->SetPicSliderIdle(Solid("thumb.png", 10, 10, kThumb));
        slider->SetPicSliderMouseDown(Solid("held.png", 10, 10, kHeld));
        slider->SetPicBackgroundIdle(Solid("track.png", 20, 20, kTrack));
        slider->SetPicBackgroundMouseMove(Solid("hover.png", 20, 20, kTrackHover));
        slider->Loaded();
        Settle();
        slider->OnChange = [this](TObject*) { ++changes; };
        return slider;
    }
    int changes = 0;
};

struct OffsetCase {
    int min, max, space, position, offset;
};

TEST_F(SliderTest, OffsetFollowsPositionTable)
{
    const OffsetCase cases[] = {
        {0, 100, 10, 50, 5}, {0, 100, 10, 55, 5}, {0, 100, 10, 100, 10}, {0, 100, 10, 0, 0},
        {-50, 50, 100, 0, 50}, {0, 3, 10, 1, 3}, {0, 100, 190, 33, 62},
    };
    for (const OffsetCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.min << ".." << c.max << " space " << c.space << " pos " << c.position);
        THVSlider slider(nullptr);
        slider.SetMinPosition(c.min);
        slider.SetMaxPosition(c.max);
        slider.SetMinPosition(c.min);
        slider.SetSlideSize(c.space);
        slider.SetPosition(c.position);
        EXPECT_EQ(slider.Position(), c.position);
        EXPECT_EQ(slider.ThumbOffset(), c.offset);
    }
}

TEST_F(SliderTest, ExtremeRangeDoesNotOverflow)
{
    THVSlider slider(nullptr);
    slider.SetMinPosition(-2147483647 - 1);
    slider.SetMaxPosition(2147483647);
    slider.SetSlideSize(1000);
    slider.SetPosition(2147483647);
    EXPECT_EQ(slider.ThumbOffset(), 1000);
}

TEST_F(SliderTest, PressCentresThumbAndSetsPosition)
{
    auto slider = MakeSlider(true, 20, 10);
    ASSERT_EQ(slider->SlideSpaceSize(), 10);
    Press(*slider, 3 + 5, 5);  // offset 3 once the thumb's half width is taken off
    EXPECT_EQ(slider->ThumbOffset(), 3);
    EXPECT_EQ(slider->Position(), 30);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(PixelAt(*slider, 3, 5), Ref(kHeld)) << "the held thumb shows while pressed";
    Release(*slider, 8, 5);
    EXPECT_EQ(PixelAt(*slider, 3, 5), Ref(kThumb));
}

TEST_F(SliderTest, DragBeyondEitherEndStopsThere)
{
    auto slider = MakeSlider(true, 110, 10);
    ASSERT_EQ(slider->SlideSpaceSize(), 100);
    Press(*slider, 50, 5);
    Move(*slider, -40, 5, Qt::LeftButton);
    EXPECT_EQ(slider->ThumbOffset(), 0);
    EXPECT_EQ(slider->Position(), 0);
    Move(*slider, 400, 5, Qt::LeftButton);
    EXPECT_EQ(slider->ThumbOffset(), 100);
    EXPECT_EQ(slider->Position(), 100);
    EXPECT_EQ(PixelAt(*slider, 105, 5), Ref(kHeld));
}

TEST_F(SliderTest, VerticalOffsetZeroIsTheTop)
{
    auto slider = MakeSlider(false, 10, 60);
    ASSERT_EQ(slider->SlideSpaceSize(), 50);
    Press(*slider, 5, 5);
    EXPECT_EQ(slider->Position(), 0);
    EXPECT_EQ(PixelAt(*slider, 5, 0), Ref(kHeld));
    Move(*slider, 5, 30, Qt::LeftButton);
    EXPECT_EQ(slider->ThumbOffset(), 25);
    EXPECT_EQ(slider->Position(), 50);
    Move(*slider, 5, 55, Qt::LeftButton);
    EXPECT_EQ(slider->Position(), 100);
}

TEST_F(SliderTest, SamePositionDoesNothingAndClampStillNotifies)
{
    THVSlider slider(nullptr);
    slider.OnChange = [this](TObject*) { ++changes; };
    slider.SetPosition(1);
    EXPECT_EQ(changes, 0);
    slider.SetPosition(100);
    slider.SetPosition(150);
    EXPECT_EQ(slider.Position(), 100);
    EXPECT_EQ(changes, 2);
    slider.SetPosition(-5);
    EXPECT_EQ(slider.Position(), 0);
}

TEST_F(SliderTest, RangeSettersRefuseBrokenRangesAndNeverNotify)
{
    THVSlider slider(nullptr);
    slider.OnChange = [this](TObject*) { ++changes; };
    slider.SetSlideSize(10);
    slider.SetPosition(80);
    slider.SetMinPosition(100);
    slider.SetMaxPosition(0);
    EXPECT_EQ(slider.MinPosition(), 0);
    EXPECT_EQ(slider.MaxPosition(), 100);
    slider.SetMaxPosition(50);
    EXPECT_EQ(slider.Position(), 50);
    EXPECT_EQ(slider.ThumbOffset(), 10);
    slider.SetMinPosition(45);
    slider.SetMaxPosition(95);
    EXPECT_EQ(slider.Position(), 50);
    EXPECT_EQ(slider.ThumbOffset(), 1);
    EXPECT_EQ(changes, 1) << "only SetPosition notified";
}

TEST_F(SliderTest, SlideSizeBelowTwoIsIgnored)
{
    THVSlider slider(nullptr);
    slider.SetSlideSize(20);
    slider.SetSlideSize(1);
    slider.SetSlideSize(0);
    slider.SetSlideSize(-3);
    EXPECT_EQ(slider.SlideSpaceSize(), 20);
}

TEST_F(SliderTest, RecomposingChangesTravelButNotThumbOffset)
{
    auto slider = MakeSlider(true, 20, 10);
    slider->SetPosition(50);
    ASSERT_EQ(slider->ThumbOffset(), 5);
    slider->SetBounds(0, 0, 110, 10);
    slider->SetPicBackgroundLeft(Solid("left.png", 4, 10, kTrack));
    EXPECT_EQ(slider->SlideSpaceSize(), 100);
    EXPECT_EQ(slider->ThumbOffset(), 5);
    slider->SetPosition(60);
    EXPECT_EQ(slider->ThumbOffset(), 60);
}

TEST_F(SliderTest, NoTravelKeepsPositionAndThumbAtOrigin)
{
    auto slider = MakeSlider(true, 10, 10);  // no larger than its thumb
    ASSERT_LE(slider->SlideSpaceSize(), 0);
    const int before = slider->Position();
    Press(*slider, 7, 5);
    Move(*slider, 9, 5, Qt::LeftButton);
    EXPECT_EQ(slider->Position(), before);
    EXPECT_EQ(slider->ThumbOffset(), 0);
    slider->SetPosition(70);
    EXPECT_EQ(slider->ThumbOffset(), 0);
}

TEST_F(SliderTest, PointingSwitchesTrackToHoverPictureAndBack)
{
    auto slider = MakeSlider(true, 110, 10);
    EXPECT_EQ(PixelAt(*slider, 60, 5), Ref(kTrack));
    Enter(*slider, 60, 5);
    Move(*slider, 60, 5);
    EXPECT_EQ(PixelAt(*slider, 60, 5), Ref(kTrackHover));
    Leave(*slider);
    ASSERT_TRUE(WaitFor([&] { return PixelAt(*slider, 60, 5) == Ref(kTrack); }));
}

TEST_F(SliderTest, TrackWithoutMiddlePictureIsKeyColourUnderThumb)
{
    THVSlider slider(nullptr);
    slider.SetBounds(0, 0, 60, 10);
    slider.SetHorizontal(true);
    slider.SetBkIdleColor(clRed);
    slider.SetBkMouseMoveColor(clBlue);
    slider.SetPicSliderIdle(Solid("thumb.png", 10, 10, kThumb));
    slider.Loaded();
    ASSERT_TRUE(WaitFor([&] { return PixelAt(slider, 40, 5) == COLORREF(clRed); }));
    EXPECT_EQ(PixelAt(slider, 0, 5), Ref(kThumb));
    Enter(slider, 40, 5);
    Move(slider, 40, 5);
    EXPECT_EQ(PixelAt(slider, 40, 5), COLORREF(clBlue));
    EXPECT_EQ(slider.KeyColor(), clBlue);
}

TEST_F(SliderTest, PressNotifiesBeforeMouseDownAndMovesRaiseNoMoveEvent)
{
    auto slider = MakeSlider(true, 110, 10);
    std::vector<std::string> events;
    slider->OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, slider.get());
        events.push_back("change " + std::to_string(slider->Position()));
    };
    slider->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { events.push_back("down"); };
    slider->OnMouseMove = [&](TObject*, TShiftState, int, int) { events.push_back("move"); };
    slider->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { events.push_back("up"); };
    Press(*slider, 25, 5);
    Move(*slider, 35, 5, Qt::LeftButton);
    Move(*slider, 35, 5, Qt::LeftButton);
    Release(*slider, 35, 5);
    Press(*slider, 35, 5, Qt::RightButton);
    EXPECT_EQ(events, (std::vector<std::string>{"change 20", "down", "change 30", "change 30", "up", "down"}));
}

TEST_F(SliderTest, MissingPictureNamesTheFile)
{
    THVSlider slider(nullptr);
    try {
        slider.SetPicBackgroundRight(Path("right.png"));
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "File not found : " + Path("right.png"));
    }
    EXPECT_EQ(slider.PicBackgroundRight(), "");
}

}  // namespace
