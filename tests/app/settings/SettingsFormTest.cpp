// The preferences dialog: binding controls to "settings." keys by name, the interval edit, the
// options hidden by the configuration, and the reset to the defaults with its reload signal.
#include "app/settings/TSettingsForm.h"
#include "app/AppTestSupport.h"
#include "platform/ui/ApplicationInstance.h"
#include "platform/ui/EventBridge.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// ShowShapes is left out on purpose: its check box has no key.
const char* kDefaults = R"(context settings
	bool ShowHints=1
	integer QuantizeMode=2
	integer StepAdvanceThroughClipsBy=0
	bool ShowFingering=1
	bool ShowFilledShapes=1
	bool ShowColorSpots=0
	bool ShowUpcomingNotes=1
	integer UpcomingNoteInterval=300
	bool ShowFingeringOnTranscriptions=1
	bool UseInvertedVideo=0
	float riff_volume=0.8
endcontext
)";

const char* kUser = "settings.QuantizeMode=4\nsettings.ShowColorSpots=1\nsettings.UpcomingNoteInterval=750\n";

struct ApplicationReady {
    ApplicationReady() { EnsureApplication(); }
};

class SettingsForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.Write("Korvane.DEF", kDefaults);
        folder.Write("Korvane.INI", kUser);
        form.Settings.Load(folder.Dir());
        QObject::connect(&form, &TSettingsForm::ConfigurationReloaded, [this] {
            ++reloads;
            // What the main window does: fetch its pointers into the new tree (which a failed
            // reload may leave without them).
            TDVContext* root = form.Settings.GetContext();
            settingsContext = root->Exists("settings") ? root->GetContext("settings") : nullptr;
        });
        settingsContext = form.Settings.GetContext()->GetContext("settings");
    }

    TDVContext& Root() { return *form.Settings.GetContext(); }

    void Type(QWidget* target, int key, const QString& text)
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &press);
    }
    void LeaveEdit()
    {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(form.UpcomingNoteInterval, &out);
    }

    ApplicationReady application;
    TempFolder folder;
    CapturedUi ui;
    TSettingsForm form;
    int reloads = 0;
    TDVContext* settingsContext = nullptr;
};

TEST_F(SettingsForm, ShowingFillsTheBoundControlsFromTheirKeys)
{
    form.show();
    EXPECT_TRUE(form.ShowHints->isChecked());
    EXPECT_EQ(form.QuantizeMode->currentIndex(), 4);
    EXPECT_EQ(form.QuantizeMode->currentText(), "sixteenth note");
    EXPECT_EQ(form.StepAdvanceThroughClipsBy->currentIndex(), 0);
    EXPECT_TRUE(form.ShowColorSpots->isChecked());
    EXPECT_TRUE(form.ShowUpcomingNotes->isChecked());
    EXPECT_EQ(form.UpcomingNoteInterval->text(), "750");
    EXPECT_TRUE(form.ShowFingeringOnTranscriptions->isChecked());
    EXPECT_FALSE(form.UseInvertedVideo->isChecked());
    EXPECT_TRUE(form.OKButton->isDefault());
}

TEST_F(SettingsForm, OkWritesTheControlsBackAndEndsWithOk)
{
    form.show();
    form.ShowHints->setChecked(false);
    form.StepAdvanceThroughClipsBy->setCurrentIndex(3);
    form.UseInvertedVideo->setChecked(true);
    form.UpcomingNoteInterval->setText("1200");
    form.OKButton->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(Root().GetBool("settings.ShowHints"));
    EXPECT_EQ(Root().GetInteger("settings.StepAdvanceThroughClipsBy"), 3);
    EXPECT_TRUE(Root().GetBool("settings.UseInvertedVideo"));
    EXPECT_EQ(Root().GetInteger("settings.UpcomingNoteInterval"), 1200);
    EXPECT_EQ(Root().GetInteger("settings.QuantizeMode"), 4);
}

TEST_F(SettingsForm, CancelAndEscLeaveTheRootUntouched)
{
    form.show();
    form.ShowHints->setChecked(false);
    form.CancelButton->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_TRUE(Root().GetBool("settings.ShowHints"));

    form.show();
    form.QuantizeMode->setCurrentIndex(0);
    Type(form.QuantizeMode, Qt::Key_Escape, QString());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Root().GetInteger("settings.QuantizeMode"), 4);

    form.show();
    form.UpcomingNoteInterval->setText("1500");
    Type(form.UpcomingNoteInterval, Qt::Key_Escape, QString(QChar(27)));
    EXPECT_FALSE(form.isVisible()) << "Esc in the edit cancels too";
    EXPECT_EQ(Root().GetInteger("settings.UpcomingNoteInterval"), 750);
}

TEST_F(SettingsForm, ControlWithoutKeyKeepsItsStateAndIsNotWritten)
{
    form.ShowShapes->setChecked(true);
    form.show();
    EXPECT_TRUE(form.ShowShapes->isChecked());
    form.OKButtonClick();
    EXPECT_FALSE(Root().Exists("settings.ShowShapes"));
}

TEST_F(SettingsForm, HiddenOptionShowsUncheckedAndOkStoresFalse)
{
    ASSERT_TRUE(form.ShowFingering->isHidden());
    form.ShowFingeringOnTranscriptions->hide();
    form.show();
    EXPECT_FALSE(form.ShowFingering->isChecked());
    EXPECT_FALSE(form.ShowFingeringOnTranscriptions->isChecked());
    form.OKButtonClick();
    EXPECT_FALSE(Root().GetBool("settings.ShowFingering"));
    EXPECT_FALSE(Root().GetBool("settings.ShowFingeringOnTranscriptions"));
}

TEST_F(SettingsForm, FilledShapesAreEnabledExactlyWhenFingeringIsChecked)
{
    form.ShowFingering->show();
    form.show();
    EXPECT_TRUE(form.ShowFingering->isChecked());
    EXPECT_TRUE(form.ShowFilledShapes->isEnabled());
    form.ShowFingering->click();
    EXPECT_FALSE(form.ShowFilledShapes->isEnabled());
    form.ShowFingering->click();
    EXPECT_TRUE(form.ShowFilledShapes->isEnabled());
}

TEST_F(SettingsForm, IntervalLabelFollowsTheIntervalEdit)
{
    form.show();
    EXPECT_TRUE(form.Label3->isVisible());
    EXPECT_EQ(form.Label3->text(), "msec      before they are played.");
    form.hide();
    form.UpcomingNoteInterval->hide();
    form.show();
    EXPECT_FALSE(form.Label3->isVisible());
}

TEST_F(SettingsForm, IntervalEditTakesOnlyDigitsAndControlCharacters)
{
    form.show();
    form.UpcomingNoteInterval->setText("12");
    form.UpcomingNoteInterval->end(false);
    Type(form.UpcomingNoteInterval, Qt::Key_A, "a");
    Type(form.UpcomingNoteInterval, Qt::Key_Minus, "-");
    Type(form.UpcomingNoteInterval, Qt::Key_Space, " ");
    EXPECT_EQ(form.UpcomingNoteInterval->text(), "12");
    Type(form.UpcomingNoteInterval, Qt::Key_3, "3");
    EXPECT_EQ(form.UpcomingNoteInterval->text(), "123");
    Type(form.UpcomingNoteInterval, Qt::Key_Backspace, "\b");
    EXPECT_EQ(form.UpcomingNoteInterval->text(), "12");
    form.UpcomingNoteInterval->home(false);
    Type(form.UpcomingNoteInterval, Qt::Key_Delete, QString(QChar(0x7F)));
    EXPECT_EQ(form.UpcomingNoteInterval->text(), "2");
}

TEST_F(SettingsForm, IntervalIsClampedWhenTheEditLosesTheFocus)
{
    const std::vector<std::pair<QString, QString>> cases{
        {"50", "100"}, {"99999", "2000"}, {"", "100"}, {"abc", "100"}, {"750", "750"}, {"-5", "100"}, {"2000", "2000"},
    };
    for (const auto& [typed, shown] : cases) {
        form.UpcomingNoteInterval->setText(typed);
        LeaveEdit();
        EXPECT_EQ(form.UpcomingNoteInterval->text(), shown) << typed.toStdString();
    }
}

TEST_F(SettingsForm, OkStoresTheIntervalInItsRangeEvenWithoutLeavingTheEdit)
{
    form.show();
    form.UpcomingNoteInterval->setText("99999");
    form.OKButtonClick();
    EXPECT_EQ(Root().GetInteger("settings.UpcomingNoteInterval"), 2000);
}

TEST_F(SettingsForm, AnyControlWithATagIsBoundByItsNameAndClass)
{
    std::string defaults = kDefaults;
    defaults.insert(defaults.rfind("endcontext"),
                    "\tstring PlayerName=\"Ann\"\n\tinteger Repeats=3\n\tinteger MasterVolume=50\n\tinteger Untagged=7\n");
    folder.Write("Korvane.DEF", defaults);
    TSettingsForm other;
    other.Settings.Load(folder.Dir());

    auto* name = new QLineEdit(&other);
    name->setObjectName("PlayerName");
    TSettingsForm::SetTag(name, 1);
    auto* repeats = new QSpinBox(&other);
    repeats->setObjectName("Repeats");
    TSettingsForm::SetTag(repeats, 1);
    auto* volume = new QComboBox(&other);
    volume->setObjectName("MasterVolume");
    volume->addItems({"25", "50", "100"});
    TSettingsForm::SetTag(volume, 1);
    auto* untagged = new QSpinBox(&other);
    untagged->setObjectName("Untagged");

    other.show();
    EXPECT_EQ(name->text(), "Ann");
    EXPECT_EQ(repeats->value(), 3);
    EXPECT_EQ(volume->currentIndex(), 1);
    EXPECT_EQ(untagged->value(), 0);

    name->setText("Bo");
    repeats->setValue(9);
    volume->setCurrentIndex(2);
    untagged->setValue(1);
    other.OKButtonClick();
    TDVContext& root = *other.Settings.GetContext();
    EXPECT_EQ(root.GetString("settings.PlayerName"), "Bo");
    EXPECT_EQ(root.GetInteger("settings.Repeats"), 9);
    EXPECT_EQ(root.GetInteger("settings.MasterVolume"), 100);
    EXPECT_EQ(root.GetInteger("settings.Untagged"), 7);
}

TEST_F(SettingsForm, AnsweringNoToTheResetChangesNothing)
{
    ui.answer = IDNO;
    form.show();
    form.Button1->click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Do you want reset all settings to default?");
    EXPECT_EQ(ui.boxes[0].caption, "Warning!");
    EXPECT_EQ(ui.boxes[0].flags & 0x0F, MB_YESNO);
    EXPECT_TRUE(folder.Exists("Korvane.INI"));
    EXPECT_EQ(reloads, 0);
    EXPECT_EQ(Root().GetInteger("settings.QuantizeMode"), 4);
    EXPECT_TRUE(form.isVisible());
}

TEST_F(SettingsForm, ResetDeletesTheUserFileAndShowsTheDefaults)
{
    ui.answer = IDYES;
    form.show();
    form.Button1->click();
    EXPECT_FALSE(folder.Exists("Korvane.INI"));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.QuantizeMode->currentIndex(), 2);
    EXPECT_FALSE(form.ShowColorSpots->isChecked());
    EXPECT_EQ(form.UpcomingNoteInterval->text(), "300");
}

TEST_F(SettingsForm, ResetThenCancelSignalsTheReloadAndKeepsTheDefaults)
{
    ui.answer = IDYES;
    form.show();
    form.Button1->click();
    form.CancelButton->click();
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(form.result(), QDialog::Rejected);
    ASSERT_NE(settingsContext, nullptr);
    EXPECT_EQ(settingsContext->GetInteger("QuantizeMode"), 2);
}

TEST_F(SettingsForm, ResetThenOkSignalsTheReloadAndWritesTheControls)
{
    ui.answer = IDYES;
    form.show();
    form.Button1->click();
    form.StepAdvanceThroughClipsBy->setCurrentIndex(1);
    form.OKButton->click();
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    ASSERT_NE(settingsContext, nullptr);
    EXPECT_EQ(settingsContext->GetInteger("QuantizeMode"), 2);
    EXPECT_EQ(settingsContext->GetInteger("StepAdvanceThroughClipsBy"), 1);
}

TEST_F(SettingsForm, ResetFindsTheUserFileWhateverItsLetterCase)
{
    std::filesystem::rename(folder.path / "Korvane.INI", folder.path / "korvane.ini");
    ui.answer = IDYES;
    form.Button1Click();
    EXPECT_FALSE(folder.Exists("korvane.ini"));
    EXPECT_EQ(Root().GetInteger("settings.QuantizeMode"), 2);
}

TEST_F(SettingsForm, FailedReloadIsShownAndStillSignalled)
{
    std::vector<std::string> shown;
    const TExceptionSink before = SetExceptionSink([&](const std::string& text) { shown.push_back(text); });
    std::filesystem::remove(folder.path / "Korvane.DEF");
    ui.answer = IDYES;
    form.show();
    form.Button1->click();
    SetExceptionSink(before);
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(settingsContext, nullptr);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("TDVContext::LoadFromFile: file not found"), std::string::npos) << shown[0];
    EXPECT_TRUE(form.isVisible());
}

}  // namespace
