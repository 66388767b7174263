// The preferences as the main window uses them: which options the configuration offers, the
// dialog's OK, and its reset reloading the tree under the running window.
#include "app/KorvaneFormTestContent.h"

#include "app/settings/TSettingsForm.h"
#include "config/TDVContext.h"
#include "controls/THVList.h"
#include "controls/THVPanel.h"
#include "sound/TWaveContainer.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>

#include <filesystem>

namespace {

using korvane_test::DefaultsText;
using korvane_test::FormTest;

class KorvaneFormCommands : public FormTest {};

TEST_F(KorvaneFormCommands, FingeringOptionNeedsStringLabels)
{
    TKorvaneForm& f = Start();
    TSettingsForm* dialog = f.SettingsForm();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->ShowFingering->isHidden());
    EXPECT_FALSE(f.Root()->GetBool("settings.ShowFingering"));
    // Options the settings do not declare are not offered.
    EXPECT_TRUE(dialog->UseInvertedVideo->isHidden());
    EXPECT_EQ(TSettingsForm::Tag(dialog->UseInvertedVideo), 0);
    EXPECT_TRUE(dialog->UpcomingNoteInterval->isHidden());
}

TEST_F(KorvaneFormCommands, FingeringOptionShownWithStringLabels)
{
    std::string defaults = DefaultsText();
    defaults.insert(defaults.find("\t\tcontext chord[6]"),
                    "\t\tstring BLabel[6]=\"e\",\"B\",\"G\",\"D\",\"A\",\"E\"\n");
    defaults.insert(defaults.find("\tcontext SelectedRiff[]"), "\tbool ShowFingeringOnTranscriptions=1\n");
    content.Write("Korvane.DEF", defaults);
    TKorvaneForm& f = Start();
    ASSERT_TRUE(ui->boxes.empty());
    TSettingsForm* dialog = f.SettingsForm();
    EXPECT_FALSE(dialog->ShowFingering->isHidden());
    EXPECT_TRUE(f.Root()->GetBool("settings.ShowFingering"));
    EXPECT_FALSE(dialog->ShowFingeringOnTranscriptions->isHidden());
    EXPECT_EQ(TSettingsForm::Tag(dialog->ShowFingeringOnTranscriptions), 1);
}

TEST_F(KorvaneFormCommands, PreferencesOkWritesTheUserFileAndKeepsTheWaves)
{
    TKorvaneForm& f = Start();
    f.SelectRiff("b1", ssShift);
    TWaveBuffer* groove = WaveContainer.GetWave("groove");
    QTimer::singleShot(0, f.SettingsForm(), [dialog = f.SettingsForm()] { dialog->OKButtonClick(); });
    f.SettingsButtonClick(f.SettingsButton);
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_TRUE(content.Exists("Korvane.INI"));
    EXPECT_EQ(WaveContainer.GetWave("groove"), groove);
    EXPECT_EQ(f.ModeRecords()[0].riffName, "b1");
    EXPECT_EQ(f.ModeRecords()[0].bindingSet, TShiftState(ssShift));
}

TEST_F(KorvaneFormCommands, PreferencesOkThatCannotWriteTheUserFileChangesNothingElse)
{
    TKorvaneForm& f = Start();
    std::filesystem::create_directory(content.path / "Korvane.INI");  // a folder cannot be replaced
    QTimer::singleShot(0, f.SettingsForm(), [dialog = f.SettingsForm()] {
        dialog->ShowHints->setChecked(false);
        dialog->OKButtonClick();
    });
    f.SettingsButtonClick(f.SettingsButton);
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_NE(ui->boxes[0].text.find("Korvane.INI"), std::string::npos) << ui->boxes[0].text;
    // The mode was not loaded again (that would start the game), and the choice is kept.
    EXPECT_NE(f.Env()->GameState(), TGameEnvObj::StateRunning);
    EXPECT_FALSE(f.Root()->GetBool("settings.ShowHints"));
    std::filesystem::remove(content.path / "Korvane.INI");
    f.FormClose();
    EXPECT_NE(content.Read("Korvane.INI").find("ShowHints=0"), std::string::npos) << content.Read("Korvane.INI");
}

TEST_F(KorvaneFormCommands, PreferencesResetLeavesTheWindowWorking)
{
    content.Write("Korvane.INI", "settings.current_mode=1\n");
    TKorvaneForm& f = Start();
    ASSERT_EQ(f.Env()->CurrentMode(), "rock");
    f.SettingsForm()->ReloadSettings();
    EXPECT_EQ(f.Root(), f.SettingsForm()->Settings.GetContext());
    // Every path that reads the tree still works on the reloaded one.
    f.PlayButtonClick(f.PlayButton);
    f.EventsTimerTimer(nullptr);
    f.LoadGame(0, false);
    f.FormClose();
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_TRUE(ui->exitCodes.empty());
    EXPECT_EQ(f.Env()->CurrentMode(), "blues");
}

}  // namespace
