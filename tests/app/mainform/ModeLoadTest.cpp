// Loading game modes: waves into the scene, the riff records, the mode list, tuning and failures.
#include "app/KorvaneFormTestContent.h"

#include "app/mainform/KorvaneShared.h"
#include "app/dialogs/TBusyFrm.h"
#include "app/game/TFretboardObj.h"
#include "config/TDVContext.h"
#include "controls/THVList.h"
#include "controls/THVPanel.h"
#include "platform/ui/ControlsInternal.h"
#include "sound/TWaveContainer.h"
#include "sound/TWaveScene.h"

#include <QProgressBar>
#include <QTimer>
#include <QToolTip>

#include <filesystem>

namespace {

using korvane_test::DefaultsText;
using korvane_test::FormTest;
using korvane_test::PumpFor;
using korvane_test::PumpUntil;
using korvane_test::WriteWav;

class ModeLoad : public FormTest {
protected:
    // Rewrites the defaults with a third mode appended.
    void AddMode(const std::string& text) { content.Write("Korvane.DEF", DefaultsText(text)); }
};

TEST_F(ModeLoad, ModeListChangeLoadsTheOtherMode)
{
    TKorvaneForm& f = Start();
    f.CurrentModeClick(nullptr);
    EXPECT_TRUE(f.ModeList->Visible());
    f.ModeList->SetItemIndex(1);
    f.ModeListChange(f.ModeList);
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_FALSE(f.ModeList->Visible());
    EXPECT_EQ(f.Env()->CurrentMode(), "rock");
    EXPECT_EQ(f.CurrentMode->Text(), "Rock in E");
    EXPECT_EQ(f.LoadedModeIndex(), 1);
    EXPECT_EQ(WaveScene.GetInstanceCount(), 2u);
    EXPECT_EQ(WaveScene.GetInstanceLengthMs("groove", false), 4000u);
    EXPECT_EQ(WaveScene.GetInstanceLengthMs("k1", false), 1000u);
    EXPECT_FALSE(WaveContainer.Contains("b1"));
    EXPECT_DOUBLE_EQ(f.GrooveLength(), 4000.0);
    EXPECT_EQ(f.Root()->GetInteger("settings.current_mode"), 1);
    EXPECT_EQ(f.ModeRecords()[1].riffName, "k1");
}

TEST_F(ModeLoad, ChoosingTheLoadedModeKeepsItsWavesAndSilencesTheGroove)
{
    TKorvaneForm& f = Start();
    f.PlayButtonClick(f.PlayButton);
    ASSERT_TRUE(WaveScene.IsInstancePlaying("groove"));
    TWaveBuffer* groove = WaveContainer.GetWave("groove");
    f.LoadGame(0, false);
    EXPECT_EQ(WaveContainer.GetWave("groove"), groove);
    EXPECT_FALSE(WaveScene.IsInstancePlaying("groove"));
    EXPECT_EQ(f.Env()->GameState(), TGameEnvObj::StateRunning);
}

TEST_F(ModeLoad, ComingBackToAModeRestoresItsRiff)
{
    TKorvaneForm& f = Start();
    f.SelectRiff("b1", 0);
    f.LoadGame(1, false);
    f.LoadGame(0, false);
    EXPECT_EQ(f.ModeRecords()[0].riffName, "b1");
    EXPECT_EQ(f.RiffLastShown(), "b1");
}

TEST_F(ModeLoad, TuningOffsetLowersTheStringsItNames)
{
    AddMode(R"(mode[drop] {
	title_in_combo="Drop"
	groove_file="rock_groove.wav"
	altuning_offset=0,0,0,0,0,2
	riff[d1].file_prefix="rock01"
}
)");
    TKorvaneForm& f = Start();
    EXPECT_EQ(f.CurrentTuning(), (std::array<int, 6>{64, 59, 55, 50, 45, 40}));
    f.LoadGame(2, false);
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_EQ(f.CurrentTuning(), (std::array<int, 6>{62, 59, 55, 50, 45, 40}));
    EXPECT_EQ(_StringTuning, f.CurrentTuning()) << "the fretboard finds the frets for this tuning";
}

TEST_F(ModeLoad, FretboardDisplayOptionsComeFromTheSettings)
{
    std::string defaults = DefaultsText();
    defaults.insert(defaults.find("\tcontext SelectedRiff[]"), "\tbool ShowShapes=1\n\tbool ShowColorSpots=0\n");
    content.Write("Korvane.DEF", defaults);
    TKorvaneForm& f = Start();
    auto* board = dynamic_cast<TFretboardObj*>(f.Env()->Fretboard());
    ASSERT_NE(board, nullptr);
    EXPECT_FALSE(board->ShowFingering) << "a configuration without finger labels switches the fingering off";
    EXPECT_TRUE(board->ShowShapes);
    EXPECT_FALSE(board->ShowColorSpots);
    EXPECT_FALSE(board->ShowFilledShapes) << "a missing setting is off";
}

TEST_F(ModeLoad, FlyByHintsShowOnlyWithTheShowHintsPreference)
{
    TKorvaneForm& f = Start();
    f.show();
    PumpFor(50);              // the window system's own pointer events of the showing
    f.FormActivate(nullptr);  // the content's hints first, then the test's own
    f.PlayButton->SetHint("Play");
    f.PlayButton->SetShowHint(true);
    QWidget* play = WidgetOf(f.PlayButton);
    const auto hover = [play] { korvane_test::MovePointer(play, play); };
    const auto visible = [] { return QToolTip::isVisible(); };

    f.Root()->SetBool("settings.ShowHints", false);
    f.LoadGame(0, false);
    hover();
    EXPECT_FALSE(PumpUntil(visible, 1000));

    f.Root()->SetBool("settings.ShowHints", true);
    f.LoadGame(0, false);
    hover();
    const auto rested = std::chrono::steady_clock::now();
    PumpFor(150);
    // Only while the pause has surely not passed (a loaded machine may take longer over this).
    if (std::chrono::steady_clock::now() - rested < std::chrono::milliseconds(Application().HintPause() * 9 / 10))
    {
        EXPECT_FALSE(visible()) << "the hint waits for its pause";
    }
    ASSERT_TRUE(PumpUntil(visible, kEventDeadlineMs));
    EXPECT_EQ(QToolTip::text(), "Play");
    QToolTip::hideText();
    PumpUntil([] { return !QToolTip::isVisible(); }, 1000);
}

TEST_F(ModeLoad, RiffPositionsStopAtZeroAndAnEmptyPageGetsTheDefaultPositions)
{
    TKorvaneForm& f = Start();
    f.SelectRiff("b1", 0);
    const RiffStruct& b1 = f.ModeRecords()[0];
    EXPECT_EQ(b1.notationPositions.at(1), (std::vector<std::int32_t>{40, 140, 240, 340}));
    EXPECT_EQ(b1.size, 8);
    EXPECT_FLOAT_EQ(b1.riffLength, 1000.0f);
    EXPECT_FLOAT_EQ(b1.stepLength, 125.0f);
    EXPECT_EQ(b1.midiFile, "MIDI\\blues01.mid");
    f.SelectRiff("b2", 0);
    const RiffStruct& b2 = f.ModeRecords()[0];
    EXPECT_EQ(b2.notationPositions.at(1), (std::vector<std::int32_t>{1, 1000}));
    // "size" 0 counts the positions of all pages.
    EXPECT_EQ(b2.size, 1);
    EXPECT_EQ(b2.notation.positions, (std::vector<std::int32_t>{1, 1000}));
}

TEST_F(ModeLoad, StoredRiffThatNoLongerExistsSelectsTheFirstBoundRiff)
{
    content.Write("Korvane.INI", "settings.SelectedRiff[1].Riff=\"gone\"\n");
    TKorvaneForm& f = Start();
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_EQ(f.ModeRecords()[0].riffName, "b2");
}

TEST_F(ModeLoad, MissingRiffWaveEndsWithTheWaveMessage)
{
    std::filesystem::remove(content.path / "wavs" / "blues02.wav");
    TKorvaneForm& f = Start();
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text.rfind("Load Wave content: ", 0), 0u) << ui->boxes[0].text;
    EXPECT_NE(ui->boxes[0].text.find("blues02.wav"), std::string::npos) << ui->boxes[0].text;
    EXPECT_EQ(ui->exitCodes, std::vector<int>{0});
    EXPECT_TRUE(f.EndRequested());
    EXPECT_FALSE(f.EventsTimer->Enabled());
}

TEST_F(ModeLoad, ModeWithoutGrooveFileEndsWithTheLoadGameMessage)
{
    AddMode(R"(mode[broken].title_in_combo="Broken"
)");
    TKorvaneForm& f = Start();
    f.LoadGame(2, false);
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text.rfind("Load Wave content: ", 0), 0u) << ui->boxes[0].text;
    EXPECT_EQ(ui->exitCodes, std::vector<int>{0});
}

TEST_F(ModeLoad, MissingFretboardPictureEndsWithTheLoadGameMessage)
{
    RemovePicture("FretboardArea.png");
    Start();
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text.rfind("Error during load game:\n", 0), 0u) << ui->boxes[0].text;
    EXPECT_EQ(ui->exitCodes, std::vector<int>{0});
}

TEST_F(ModeLoad, BusyWindowShowsTheRiffProgressAndGoesAway)
{
    TBusyFrm busy;
    _BusyFrm = &busy;
    bool modalWhileLoading = false;
    // The riff waves load with the busy window up; it blocks every other window meanwhile.
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (busy.isVisible() && busy.isModal())
            modalWhileLoading = true;
    });
    probe.start(0);
    TKorvaneForm& f = Start();
    probe.stop();
    _BusyFrm = nullptr;
    EXPECT_FALSE(f.Loading());
    EXPECT_TRUE(modalWhileLoading);
    EXPECT_EQ(busy.Text(), "Loading riffs...");
    EXPECT_EQ(busy.ProgressBar->value(), 2);
    EXPECT_TRUE(busy.Done());
    EXPECT_FALSE(busy.isVisible());
}

TEST_F(ModeLoad, DefaultsWithoutModesEndWithTheLoadGameMessage)
{
    const std::string defaults = DefaultsText();
    content.Write("Korvane.DEF", defaults.substr(0, defaults.find("mode[blues]")));
    TKorvaneForm& f = Start();
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text.rfind("Error during load game:\n", 0), 0u) << ui->boxes[0].text;
    EXPECT_EQ(ui->exitCodes, std::vector<int>{0});
    EXPECT_TRUE(f.EndRequested());
}

TEST_F(ModeLoad, HandlersDoNothingUntilTheFirstModeLoaded)
{
    TKorvaneForm f(nullptr, content.Dir());
    ASSERT_TRUE(f.Loading());
    f.ModeList->SetItemIndex(1);
    f.ModeListChange(f.ModeList);
    f.CurrentModeClick(nullptr);
    f.PlayButtonClick(f.PlayButton);
    f.PauseButtonClick(f.PauseButton);
    f.StopButtonClick(nullptr);
    EXPECT_EQ(ui->beeps, 1);
    EXPECT_FALSE(f.ModeList->Visible());
    EXPECT_FALSE(f.MainTimer->Enabled());
    EXPECT_TRUE(ui->boxes.empty());
}

}  // namespace
