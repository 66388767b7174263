// The control panel's commands that open other windows or programs: preferences, help, the
// volume mixer and the about box; and the preference controls that depend on the configuration.
#include "app/mainform/TKorvaneForm.h"

#include <QCheckBox>
#include <QLineEdit>

#include "app/mainform/AppCommands.h"
#include "app/game/TKorvaneEnv.h"
#include "app/settings/TSettingsForm.h"
#include "app/dialogs/TSplashScreen.h"
#include "config/TDVContext.h"
#include "controls/THVList.h"
#include "platform/system/AppPath.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/TPanel.h"

namespace {

constexpr const char* kHelpFile = "korvane.hlp";
constexpr const char* kPreferencesKept =
    "The changed preferences are kept until the program closes, which tries to save them again.";

bool SettingExists(TDVContext* root, const std::string& name)
{
    return root->Exists("settings." + name);
}

}  // namespace

void TKorvaneForm::RenewConfigurationPointers()
{
    root_ = _Settings->GetContext();
    // Everything that pointed into the tree went with the reload.
    bindings_.SetMode(nullptr);
    if (env_ != nullptr && !env_->CurrentMode().empty()) {
        try {
            bindings_.SetMode(root_->GetContextByID("mode[#]", env_->CurrentMode()));
        } catch (const std::exception&) {
            bindings_.SetMode(nullptr);
        }
    }
    bindings_.Rebuild();
}

void TKorvaneForm::ApplyPreferenceVisibility()
{
    TSettingsForm* dialog = settingsForm_.get();
    const bool fingering = SettingExists(root_, "ShowFingering") && root_->Exists("general.Fretboard.BLabel") &&
                           root_->GetCount("general.Fretboard.BLabel") != 0;
    dialog->ShowFingering->setVisible(fingering);
    dialog->ShowFingeringOnTranscriptions->setVisible(SettingExists(root_, "ShowFingeringOnTranscriptions"));
    dialog->UseInvertedVideo->setVisible(SettingExists(root_, "UseInvertedVideo"));
    dialog->ShowFilledShapes->setVisible(SettingExists(root_, "ShowFilledShapes"));
    dialog->ShowColorSpots->setVisible(SettingExists(root_, "ShowColorSpots"));
    dialog->ShowShapes->setVisible(SettingExists(root_, "ShowShapes"));
    dialog->ShowUpcomingNotes->setVisible(SettingExists(root_, "ShowUpcomingNotes"));
    dialog->UpcomingNoteInterval->setVisible(SettingExists(root_, "UpcomingNoteInterval"));
    TSettingsForm::SetTag(dialog->ShowFingeringOnTranscriptions,
                          SettingExists(root_, "ShowFingeringOnTranscriptions") ? 1 : 0);
    TSettingsForm::SetTag(dialog->UseInvertedVideo, SettingExists(root_, "UseInvertedVideo") ? 1 : 0);
    if (!fingering && SettingExists(root_, "ShowFingering"))
        root_->SetBool("settings.ShowFingering", false);
}

void TKorvaneForm::SettingsButtonClick(TObject* /*sender*/)
{
    if (loading_)
        return;
    if (env_->GameState() != TGameEnvObj::StateReady)
        StopButtonClick(GlobalPanel);
    const auto transcriptionFingering = [this] {
        return SettingExists(root_, "ShowFingeringOnTranscriptions") &&
               root_->GetBool("settings.ShowFingeringOnTranscriptions");
    };
    const bool before = transcriptionFingering();
    if (settingsForm_->exec() != QDialog::Accepted)
        return;
    // Without the defaults the user file was never read: it keeps the settings it holds.
    SettingChanged();
    try {
        if (settingsForm_->Settings.UserFileWritable())
            SaveSettings(_app_path + settings_t::UserFileName);
    } catch (const std::exception& error) {
        // Nothing else changes: the mode stays as it is, and the tree keeps the preferences for
        // the dialog and for the write at closing.
        ShowMessage(std::string(error.what()) + "\n" + kPreferencesKept);
        return;
    }
    const bool after = transcriptionFingering();
    LoadGame(ModeList->ItemIndex(), after != before);
    if (RiffStruct* record = CurrentRecord(); record != nullptr && !record->riffName.empty()) {
        const std::string riff = record->riffName;
        const TShiftState set = record->bindingSet;
        record->riffName.clear();
        SelectRiff(riff, set);
    }
}

void TKorvaneForm::HelpClick(TObject* /*sender*/)
{
    if (env_ != nullptr && env_->GameState() != TGameEnvObj::StateReady)
        StopButtonClick(GlobalPanel);
    ShowHelp(ExecutableName(), _app_path, kHelpFile, this);
}

void TKorvaneForm::VolumeControlClick(TObject* /*sender*/)
{
    StartVolumeMixer();
}

void TKorvaneForm::AboutButtonClick(TObject* /*sender*/)
{
    if (loading_ || _SplashScreen == nullptr)
        return;
    if (env_->GameState() != TGameEnvObj::StateReady)
        StopButtonClick(GlobalPanel);
    _SplashScreen->hide();
    _SplashScreen->exec();
}
