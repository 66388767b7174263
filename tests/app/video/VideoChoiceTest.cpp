// Choosing and placing videos without playing them: the inverted-file rule, the tutorial window's
// placement for each "Size", the video bar with and without a close button, and half speed.
#include "app/KorvaneFormTestContent.h"

#include "app/video/TRIFFVideo.h"
#include "app/video/VideoChoice.h"
#include "controls/THVPanel.h"
#include "controls/THVSlider.h"
#include "platform/ui/TPanel.h"
#include "sound/midi/Player.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using korvane_test::FormTest;

TEST(VideoChoice, InvertedNameGoesBeforeTheLastDotOfTheFileName)
{
    const struct {
        const char* file;
        const char* inverted;
    } cases[] = {
        {"a.wmv", "a_180.wmv"},
        {"lesson.one.wmv", "lesson.one_180.wmv"},
        {"noext", "noext_180"},
        {"/c/video.d/noext", "/c/video.d/noext_180"},
        {"c:\\v.1\\a.wmv", "c:\\v.1\\a_180.wmv"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InvertedVideoName(c.file), c.inverted) << c.file;
}

TEST(VideoChoice, InvertedFileOnlyWhenWantedAndPresent)
{
    TempFolder dir;
    dir.Write("a.wmv", "x");
    dir.Write("a_180.wmv", "x");
    dir.Write("b.wmv", "x");
    TDVContext root;
    LoadText(root, "context settings\n\tbool UseInvertedVideo=1\nendcontext\ncontext other\nendcontext\n");
    TDVContext* on = root.GetContext("settings");
    EXPECT_EQ(ChooseVideoFile(dir.Dir() + "a.wmv", on), dir.Dir() + "a_180.wmv");
    EXPECT_EQ(ChooseVideoFile(dir.Dir() + "b.wmv", on), dir.Dir() + "b.wmv");
    on->SetBool("UseInvertedVideo", false);
    EXPECT_EQ(ChooseVideoFile(dir.Dir() + "a.wmv", on), dir.Dir() + "a.wmv");
    EXPECT_EQ(ChooseVideoFile(dir.Dir() + "a.wmv", root.GetContext("other")), dir.Dir() + "a.wmv");
}

TEST(VideoChoice, TutorialPlacementForEachSize)
{
    constexpr int bar = TRIFFVideo::kBarHeight;
    const struct {
        int size, left, top, width, height;
        float aspect;
        TVideoPlacement expected;
    } cases[] = {
        {1, -1, -1, 640, 480, 0, {192, 144, 640, 480 + bar, 640.0f / 480.0f, false}},
        {1, 10, -3, 641, 479, 0, {10, 144, 641, 479 + bar, 641.0f / 479.0f, false}},
        // (1024 - 1025) / 2 rounds toward zero.
        {1, -1, 5, 1025, 300, 0, {0, 5, 1025, 300 + bar, 1025.0f / 300.0f, false}},
        {2, 0, 0, 0, 0, 0, {0, 0, 1024, -1, 1024.0f / 736.0f, true}},
        {3, 0, 0, 0, 0, 0, {0, 0, 1024, -1, 1024.0f * 2.0f / 768.0f, false}},
        {4, 0, 0, 0, 0, 1.5f, {0, 0, 1024, -1, 1.5f, false}},
        {7, 0, 0, 0, 0, 0, {0, 0, 1024, -1, 0.0f, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("Size " + std::to_string(c.size));
        const TVideoPlacement p = TutorialVideoPlacement(c.size, c.left, c.top, c.width, c.height, c.aspect, 1024, 768, bar);
        EXPECT_EQ(p.left, c.expected.left);
        EXPECT_EQ(p.top, c.expected.top);
        EXPECT_EQ(p.width, c.expected.width);
        EXPECT_EQ(p.height, c.expected.height);
        EXPECT_FLOAT_EQ(p.sizeRatio, c.expected.sizeRatio);
        EXPECT_EQ(p.fullScreenPending, c.expected.fullScreenPending);
    }
}

class VideoBar : public FormTest {};

TEST_F(VideoBar, CloseButtonOnlyWithItsPicture)
{
    _ImagesDir = content.Dir() + "Pics01\\";
    for (const bool withClose : {false, true}) {
        SCOPED_TRACE(withClose ? "with close" : "without close");
        if (withClose)
            content.Write("Pics01/CloseVideoMouse.png", content.Read("Pics01/PlayInitial.png"));
        TRIFFVideo video;
        EXPECT_EQ(video.Panel2->Width(), withClose ? 300 : 250);
        EXPECT_EQ(video.Panel1->Height(), TRIFFVideo::kBarHeight);
        EXPECT_EQ(video.CloseButton->Visible(), withClose);
        int left = 0;
        for (THVPanel* b : {video.PlayButton, video.PauseButton, video.StopButton, video.SlowButton, video.RepeatButton,
                            video.CloseButton}) {
            EXPECT_EQ(b->Left(), left) << b->Name();
            left += 50;
        }
        EXPECT_EQ(video.MovieSlider->Left(), video.Panel2->Width());
        EXPECT_FALSE(video.Timer->isActive());
        EXPECT_FALSE(video.Timer1->isActive());
    }
}

class HalfSpeed : public FormTest {};

TEST_F(HalfSpeed, TogglesGrooveSoundingRiffAndPlayerEvenWithNothingSounding)
{
    TKorvaneForm& f = Start();
    ASSERT_NE(WaveScene.FindInstancePtr("groove"), nullptr);
    ASSERT_TRUE(f.SoundingRiff().empty());
    f.HalfSpeedButtonClick(f.HalfSpeedButton);
    EXPECT_TRUE(f.HalfSpeedButton->Checked());
    EXPECT_FLOAT_EQ(WaveScene.FindInstancePtr("groove")->pitch, 0.5f);
    EXPECT_DOUBLE_EQ(f.MidiPlayer()->GetSpeed(), 0.5);

    // A riff started now plays at the same rate.
    f.TriggerRiff("b2", 0);
    EXPECT_FLOAT_EQ(WaveScene.FindInstancePtr("b2")->pitch, 0.5f);

    f.HalfSpeedButtonClick(f.HalfSpeedButton);
    EXPECT_FALSE(f.HalfSpeedButton->Checked());
    EXPECT_FLOAT_EQ(WaveScene.FindInstancePtr("groove")->pitch, 1.0f);
    EXPECT_FLOAT_EQ(WaveScene.FindInstancePtr("b2")->pitch, 1.0f);
    EXPECT_DOUBLE_EQ(f.MidiPlayer()->GetSpeed(), 1.0);
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(HalfSpeed, MissingRiffVideoShowsNothingAndSaysNothing)
{
    TKorvaneForm& f = Start();
    f.PlayButtonClick(f.PlayButton);
    f.ShowRiffVideo("b2");
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // The game was stopped as by the Stop button.
    EXPECT_EQ(f.Env()->GameState(), TGameEnvObj::StateReady);
}

}  // namespace
