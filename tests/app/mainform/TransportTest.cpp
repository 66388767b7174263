// Play, Pause and Stop, the two timers, the bar counter and its marker.
#include "app/KorvaneFormTestContent.h"

#include "config/TDVContext.h"
#include "controls/THVPanel.h"
#include "platform/drawing/TCanvas.h"
#include "platform/ui/TImage.h"
#include "platform/ui/TLabel.h"
#include "platform/ui/TPanel.h"
#include "platform/ui/WindowMessages.h"
#include "sound/TWaveScene.h"

#include <chrono>
#include <thread>

namespace {

using korvane_test::DefaultsText;
using korvane_test::FormTest;

class Transport : public FormTest {};

TEST(TransportBar, BarTextCountsBarsInCyclesOfFour)
{
    struct Row {
        double position;
        const char* text;
    };
    const Row rows[] = {{0, "Bar 1"}, {1999, "Bar 1"}, {2000, "Bar 2"}, {4000, "Bar 3"},
                        {6000, "Bar 4"}, {7999, "Bar 4"}, {8000, "Bar 1"}, {10000, "Bar 2"}};
    for (const Row& row : rows)
        EXPECT_EQ(TKorvaneForm::BarText(row.position, 4, 8000), row.text) << row.position;
}

TEST(TransportBar, ZeroSizeOrGrooveLengthGivesNoBar)
{
    EXPECT_EQ(TKorvaneForm::BarText(1000, 0, 8000), "");
    EXPECT_EQ(TKorvaneForm::BarText(1000, 4, 0), "");
    EXPECT_EQ(TKorvaneForm::BarMarkerX(1000, 0, 8000, 169), 0);
    EXPECT_EQ(TKorvaneForm::BarMarkerX(1000, 4, 0, 169), 0);
    // A groove shorter than its bar count in milliseconds has bars of 0 ms.
    EXPECT_EQ(TKorvaneForm::BarMarkerX(2, 8, 3, 169), 0);
}

TEST(TransportBar, MarkerMovesAcrossEachBar)
{
    // Bars of 2000 ms on a display of 169 pixels: 167 pixels of travel.
    EXPECT_EQ(TKorvaneForm::BarMarkerX(0, 4, 8000, 169), 0);
    EXPECT_EQ(TKorvaneForm::BarMarkerX(1000, 4, 8000, 169), 83);
    EXPECT_EQ(TKorvaneForm::BarMarkerX(2000, 4, 8000, 169), 0);
    EXPECT_EQ(TKorvaneForm::BarMarkerX(3999, 4, 8000, 169), 166);
}

TEST_F(Transport, PlayStartsTheGrooveWithTheStoredVolume)
{
    TKorvaneForm& f = Start();
    f.PlayButtonClick(f.PlayButton);
    EXPECT_TRUE(WaveScene.IsInstancePlaying("groove"));
    EXPECT_EQ(WaveScene.GetState(), 1);
    EXPECT_EQ(f.Env()->GameState(), TGameEnvObj::StateRunning);
    EXPECT_TRUE(f.MainTimer->Enabled());
    EXPECT_TRUE(f.Playing());
    EXPECT_TRUE(f.Recording());
    EXPECT_TRUE(f.BarLabel->Visible());
}

TEST_F(Transport, PlayWhileRunningRestartsTheGrooveFromItsBeginning)
{
    TKorvaneForm& f = Start();
    f.PlayButtonClick(f.PlayButton);
    WaveScene.SetInstancePositionMs("groove", 5000);
    f.PlayButtonClick(f.PlayButton);
    EXPECT_LT(WaveScene.GetInstancePositionMs("groove", false), 1000u);
    EXPECT_TRUE(WaveScene.IsInstancePlaying("groove"));
}

TEST_F(Transport, PauseHaltsTheSceneAndPlayOnlyResumes)
{
    TKorvaneForm& f = Start();
    f.PlayButtonClick(f.PlayButton);
    WaveScene.SetInstancePositionMs("groove", 3000);
    f.PauseButtonClick(f.PauseButton);
    EXPECT_TRUE(f.IsPaused());
    EXPECT_TRUE(f.PauseButton->Checked());
    EXPECT_EQ(WaveScene.GetState(), 2);
    f.PlayButtonClick(f.PlayButton);
    EXPECT_FALSE(f.IsPaused());
    EXPECT_FALSE(f.PauseButton->Checked());
    EXPECT_EQ(WaveScene.GetState(), 1);
    EXPECT_GE(WaveScene.GetInstancePositionMs("groove", false), 3000u);
}

TEST_F(Transport, PauseWhenStoppedDoesNothing)
{
    TKorvaneForm& f = Start();
    f.StopButtonClick(f.StopButton);
    f.PauseButtonClick(f.PauseButton);
    EXPECT_FALSE(f.IsPaused());
    EXPECT_FALSE(f.PauseButton->Checked());
}

TEST_F(Transport, StopButtonSilencesButKeepsTheMainTimer)
{
    TKorvaneForm& f = Start();
    f.PlayButtonClick(f.PlayButton);
    f.StopButtonClick(f.StopButton);
    EXPECT_FALSE(WaveScene.IsInstancePlaying("groove"));
    EXPECT_EQ(f.Env()->GameState(), TGameEnvObj::StateReady);
    EXPECT_TRUE(f.MainTimer->Enabled());
    EXPECT_FALSE(f.Recording());
    EXPECT_FALSE(f.BarLabel->Visible());
}

TEST_F(Transport, StopFromTheProgramEndsTheGameAndTheMainTimer)
{
    TKorvaneForm& f = Start();
    f.PlayButtonClick(f.PlayButton);
    f.PlayButton->SetChecked(true);
    f.StopButtonClick(nullptr);
    EXPECT_FALSE(f.MainTimer->Enabled());
    EXPECT_EQ(f.Env()->GameState(), TGameEnvObj::StateReady);
    EXPECT_FALSE(f.PlayButton->Checked());
    EXPECT_EQ(f.Busy(), 0);
}

TEST_F(Transport, EventsTimerShowsTheBarOfTheGroovePosition)
{
    TKorvaneForm& f = Start();
    f.PlayButtonClick(f.PlayButton);
    for (int bar = 1; bar <= 4; ++bar) {
        WaveScene.SetInstancePositionMs("groove", std::uint32_t((bar - 1) * 2000 + 500));
        f.EventsTimerTimer(nullptr);
        EXPECT_EQ(f.BarLabel->Caption(), "Bar " + std::to_string(bar));
        EXPECT_TRUE(f.BarPositionBkg->Visible());
    }
    // The marker stands a quarter into the bar: x = 500 * 167 / 2000 = 41.
    EXPECT_EQ(f.BarPosImg->Canvas()->Pixels(42, 5), clWhite);
    EXPECT_EQ(f.BarPosImg->Canvas()->Pixels(10, 5), clBlack);
    f.StopButtonClick(f.StopButton);
    f.EventsTimerTimer(nullptr);
    EXPECT_EQ(f.BarLabel->Caption(), "");
    EXPECT_FALSE(f.BarPositionBkg->Visible());
}

TEST_F(Transport, BarCounterFollowsTheGrooveOverRealTime)
{
    TKorvaneForm& f = Start();
    f.PlayButtonClick(f.PlayButton);
    WaveScene.SetInstancePositionMs("groove", 1800);
    // The timers run on the event loop; the groove crosses into its second bar meanwhile (and,
    // should a loaded machine miss that bar, comes back to it with the next turn of the loop).
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kEventDeadlineMs);
    while (std::chrono::steady_clock::now() < until && f.BarLabel->Caption() != "Bar 2") {
        ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(f.BarLabel->Caption(), "Bar 2");
    EXPECT_EQ(f.Busy(), 0);
}

TEST_F(Transport, ZeroSizeFromTheConfigurationShowsAnEmptyBarLabel)
{
    content.Write("Korvane.DEF", DefaultsText("mode[blues].size=0\n"));
    TKorvaneForm& f = Start();
    ASSERT_TRUE(ui->boxes.empty());
    f.PlayButtonClick(f.PlayButton);
    f.EventsTimerTimer(nullptr);
    EXPECT_EQ(f.BarLabel->Caption(), "");
    EXPECT_FALSE(f.BarPositionBkg->Visible());
}

TEST_F(Transport, MainTimerProcessesQueuedEventsUnlessPaused)
{
    TKorvaneForm& f = Start();
    f.PlayButtonClick(f.PlayButton);
    f.PauseButtonClick(f.PauseButton);
    f.Env()->PostEvent("STOPRIFF:b1", 0);
    EXPECT_FALSE(f.MainTimer->Resting());
    f.MainTimerTimer(nullptr);
    EXPECT_EQ(f.Env()->Queue().size(), 1u);
    EXPECT_TRUE(f.MainTimer->Resting());  // paused: nothing to do until the game resumes
    f.PauseButtonClick(f.PauseButton);
    EXPECT_FALSE(f.MainTimer->Resting());
    f.MainTimerTimer(nullptr);
    EXPECT_TRUE(f.Env()->Queue().empty());
    EXPECT_FALSE(f.Playing());
    // An empty queue rests the timer, still enabled; the next event wakes it.
    EXPECT_TRUE(f.MainTimer->Resting());
    EXPECT_TRUE(f.MainTimer->Enabled());
    f.Env()->PostEvent("STOPRIFF:b1", 0);
    EXPECT_FALSE(f.MainTimer->Resting());
}

}  // namespace
