// The transcription under the main window: its page buttons, and clicks on it that play the riff
// from the clicked position.
#include "app/KorvaneFormTestContent.h"

#include "app/game/TRiffImageObj.h"
#include "controls/THVPanel.h"
#include "platform/ui/TImage.h"
#include "platform/ui/TPanel.h"
#include "platform/ui/TLabel.h"
#include "sound/TWaveScene.h"

namespace {

using korvane_test::DefaultsText;
using korvane_test::EventLog;
using korvane_test::FormTest;

class KorvaneFormTranscription : public FormTest {
protected:
    // "b1" of the test content gets a second page, number 5, and its picture.
    TKorvaneForm& StartWithTwoPages(bool autoswitch = false)
    {
        std::string defaults = DefaultsText();
        defaults.insert(defaults.find("\t\tx=40,140,240,340"), "\t\tfile_prefix[5]=\"blues01_2\"\n\t\tinteger x5[4]=40,140,240,340\n");
        if (autoswitch)
            defaults.replace(defaults.find("RMP_Autoswitch=0"), 16, "RMP_Autoswitch=1");
        korvane_test::WriteContent(content.Dir(), defaults);
        QImage page(8, 8, QImage::Format_RGB32);
        page.fill(Qt::blue);
        page.save(QString::fromStdString(Picture("blues01_2.png")), "PNG");
        TKorvaneForm& f = Start();
        EXPECT_TRUE(ui->boxes.empty());
        log = &korvane_test::AttachEventLog(f);
        return f;
    }
    // A click on the notation image at x, in the coordinates of the riff position bar.
    void Click(TMouseButton button, int x)
    {
        form->RiffPositionBkgMouseDown(form->NotationAreaImage, button, 0, x + form->RiffPositionBkg->Left(), 10);
    }

    EventLog* log = nullptr;
};

TEST_F(KorvaneFormTranscription, PageButtonsFollowThePagesOfTheCurrentRiff)
{
    TKorvaneForm& f = StartWithTwoPages();
    auto* pages = dynamic_cast<TRiffImageObj*>(f.Env()->Transcription());
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->PageCount(), 3) << "every distinct page of the mode is decoded";

    f.SelectRiff("b1", 0);
    f.ShowRiff("b1");
    EXPECT_FALSE(f.RMP_PrevButton->Visible());
    EXPECT_TRUE(f.RMP_NextButton->Visible());

    f.RMP_NextButtonClick(f.RMP_NextButton);
    EXPECT_EQ(f.CurrentRecord()->notation.page, 5);
    ASSERT_GE(log->Find("SHOWRIFF:b1"), 0);
    EXPECT_EQ(log->entries.back().param, 5);
    EXPECT_TRUE(f.RMP_PrevButton->Visible());
    EXPECT_FALSE(f.RMP_NextButton->Visible());

    f.RMP_PrevButtonClick(f.RMP_PrevButton);
    EXPECT_EQ(f.CurrentRecord()->notation.page, 1);

    // A riff of a single page never shows them.
    f.SelectRiff("b2", 0);
    f.ShowRiff("b2");
    EXPECT_FALSE(f.RMP_PrevButton->Visible());
    EXPECT_FALSE(f.RMP_NextButton->Visible());
}

TEST_F(KorvaneFormTranscription, PageFollowsThePlayPositionOfATwoPageRiff)
{
    // b1: 8 steps of 125 ms, page 1 holds steps 1 to 4 and page 5 steps 5 to 8.
    TKorvaneForm& f = StartWithTwoPages(true);
    f.SelectRiff("b1", 0);
    f.ShowRiff("b1");
    f.PlayRiffButtonClick(f.PlayRiffButton);
    WaveScene.Pause();  // the mixer holds the positions still
    // The page of the record, once the transcription was told to show it.
    const auto shownPage = [&](std::uint32_t positionMs) {
        WaveScene.SetInstancePositionMs("b1", positionMs);
        f.EventsTimerTimer(nullptr);
        auto shown = std::find_if(log->entries.rbegin(), log->entries.rend(),
                                  [](const EventLog::Entry& e) { return e.name == "SHOWRIFF:b1"; });
        EXPECT_TRUE(shown != log->entries.rend() && shown->param == f.CurrentRecord()->notation.page);
        return f.CurrentRecord()->notation.page;
    };
    EXPECT_EQ(shownPage(600), 5) << "the notes of bar 2 play";
    EXPECT_EQ(shownPage(700), 5);
    EXPECT_EQ(shownPage(100), 1) << "looped back to the start";

    // A click on the second page plays from there, and the page stays with it.
    f.RMP_NextButtonClick(f.RMP_NextButton);
    ASSERT_EQ(f.CurrentRecord()->notation.page, 5);
    Click(mbLeft, 190);
    ASSERT_EQ(f.CurrentRecord()->startPosition, 687);
    f.EventsTimerTimer(nullptr);
    EXPECT_EQ(f.CurrentRecord()->notation.page, 5);
    EXPECT_EQ(f.CurrentRecord()->startPosition, 687) << "read back in whole frames, just before the start";
    EXPECT_GT(f.RiffPosition->Left(), 140) << "the mark starts at the click, not at the page's start";
}

TEST_F(KorvaneFormTranscription, ClickBetweenTwoPositionsPlaysTheRiffFromThere)
{
    // b1: 1000 ms in 8 steps of 125 ms; the page's second step runs from x 140 to x 240.
    TKorvaneForm& f = StartWithTwoPages();
    f.SelectRiff("b1", 0);
    WaveScene.Pause();  // the mixer holds the positions still
    Click(mbLeft, 190);
    EXPECT_EQ(f.CurrentRecord()->startPosition, 187);
    EXPECT_TRUE(WaveScene.IsInstancePlaying("b1"));
    EXPECT_NEAR(double(WaveScene.GetInstancePositionMs("b1", false)), 187.0, 1.0) << "in whole frames";
    EXPECT_EQ(f.PlayRiffButton->Tag(), 1);
}

TEST_F(KorvaneFormTranscription, ClickPastThePagesPositionsReplaysTheRiffFromItsStart)
{
    // The page has fewer positions than the riff has steps: the search ends at its last one.
    TKorvaneForm& f = StartWithTwoPages();
    f.SelectRiff("b1", 0);
    WaveScene.Pause();
    Click(mbLeft, 900);
    EXPECT_EQ(f.SoundingRiff(), "b1");
    EXPECT_TRUE(WaveScene.IsInstancePlaying("b1"));
    EXPECT_EQ(WaveScene.GetInstancePositionMs("b1", false), 0u);
    EXPECT_EQ(f.PlayRiffButton->Tag(), 1);
}

TEST_F(KorvaneFormTranscription, ClickWhileAClipIsCurrentPlaysTheClip)
{
    TKorvaneForm& f = StartWithTwoPages();
    f.SelectRiff("b1", 0);
    f.PlayClipButtonClick(nullptr);
    ASSERT_EQ(f.Clips().Current(), 0);
    Click(mbLeft, 190);
    EXPECT_EQ(f.Clips().Current(), 0);
    EXPECT_EQ(f.PlayRiffButton->Tag(), 0) << "no seek";
    EXPECT_TRUE(WaveScene.IsInstancePlaying("b1"));
}

TEST_F(KorvaneFormTranscription, RightClickStopsTheRiffAClickStarted)
{
    TKorvaneForm& f = StartWithTwoPages();
    f.SelectRiff("b1", 0);
    Click(mbLeft, 190);
    Click(mbRight, 190);
    EXPECT_EQ(f.PlayRiffButton->Tag(), 0);
    EXPECT_TRUE(korvane_test::PumpUntil([] { return !WaveScene.IsInstancePlaying("b1"); }, kEventDeadlineMs));
    EXPECT_TRUE(korvane_test::PumpUntil([&] { return log->Count("MIDIOFF") >= 1; }, kEventDeadlineMs));
}

}  // namespace
