// The riff list command of the main window: a row for every riff bound to a key of the mode, the
// dialog run modally while the rhythm section rests, and the riff chosen there made current.
#include "app/mainform/TKorvaneForm.h"

#include "app/game/Kvwavescene.h"

#include "app/dialogs/TBusyFrm.h"
#include "app/dialogs/TDrawGrid.h"
#include "app/game/TKorvaneEnv.h"
#include "app/dialogs/TRiffListDlg.h"
#include "config/TDVContext.h"
#include "controls/THVPanel.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/ui/MessageBox.h"
#include "sound/midi/Player.h"
#include "sound/TWaveScene.h"
#include "sprite/PicUtils.h"

#include <QProgressBar>

#include <algorithm>
#include <cmath>

namespace {

constexpr std::uint8_t kScenePaused = 2;

// One key of a binding set, as the list collects them: the set's prefix ("" for the plain set)
// and the key's name, kept apart so that a key name may hold "_" itself.
struct TListKey {
    std::string prefix;
    std::string name;

    [[nodiscard]] std::string SetPrefix() const { return prefix.empty() ? "INITIAL_" : prefix + "_"; }
    [[nodiscard]] std::string CaptionPrefix() const { return prefix.empty() ? prefix : prefix + "+"; }
    [[nodiscard]] TShiftState Set() const
    {
        TShiftState set = 0;
        if (prefix.find("SHIFT") != std::string::npos)
            set |= ssShift;
        if (prefix.find("CTRL") != std::string::npos)
            set |= ssCtrl;
        if (prefix.find("ALT") != std::string::npos)
            set |= ssAlt;
        return set;
    }
};

// The keys of the plain set as they are, then those of the Alt set, then those of the Shift set.
std::vector<TListKey> ListKeys(TDVContext* mode)
{
    std::vector<TListKey> keys;
    for (const auto& [set, prefix] : {std::pair{"INITIAL_", ""}, std::pair{"ALT_", "ALT"}, std::pair{"SHIFT_", "SHIFT"}}) {
        TStringList ids;
        try {
            mode->GetContextByID("toggle[#]", set)->EnumListIDs("bind", ids);
        } catch (const std::exception&) {
            continue;  // a mode without that set binds nothing there
        }
        for (const std::string& id : ids.Lines())
            keys.push_back({prefix, id});
    }
    return keys;
}

}  // namespace

void TKorvaneForm::RiffListButtonClick(TObject* /*sender*/)
{
    if (loading_ || env_ == nullptr || _RiffListDlg == nullptr || !RiffListButton->Visible())
        return;
    if (bindings_.BoundNames().Count() == 0) {
        Beep();
        ShowMessage("No riffs to show!");
        return;
    }
    TRiffListDlg& dialog = *_RiffListDlg;
    TDVContext* mode = env_->FindMode("");
    TDVContext* settings = Settings();

    // The list takes the keyboard and plays riffs of its own: keys held or latched now would never
    // see their release here, a riff or clip still sounding would stay marked so, and a clip's
    // range left on an instance would cut the list's playing of that riff short.
    if (!bindings_.LatchedKey().empty()) {
        const std::string latched = bindings_.LatchedKey();
        bindings_.SetLatchedKey("");
        bindings_.ReleaseKey(latched);
    }
    // The releases of the modifiers held now go to the list as well.
    bindings_.ReleaseHeld(0);
    if (const std::string key = bindings_.SoundingKey(); !key.empty()) {
        const TKBButton* button = keyboard_.Find(key);
        if (button == nullptr || !button->slim)
            bindings_.ReleaseKey(key);
    }
    PlayRiffButton->SetTag(0);
    ClearClips();
    for (const auto& [riff, inScene] : std::map<std::string, bool>(riffsInScene_))
        RemoveRiffSound(riff);
    if (!soundingRiff_.empty())
        StopRiff(soundingRiff_);
    soundingRiff_.clear();
    player_->Stop();
    env_->PostEvent("MIDIOFF", 0);
    env_->ProcessEvents();
    DrawKeyboard();

    recording_ = false;
    WaveScene.DisableMessages();
    const bool groovePlaying = HasInstance("groove") && WaveScene.IsInstancePlaying("groove");
    WaveScene.StopAllInstances();
    // A paused game pauses the scene, which would leave the list silent.
    const bool scenePaused = WaveScene.GetState() == kScenePaused;
    if (scenePaused)
        WaveScene.Play();
    dialog.Rows().clear();
    if (_BusyFrm != nullptr) {
        _BusyFrm->Show();
        _BusyFrm->SetDone(false);
        _BusyFrm->ProgressBar->setRange(0, 100);
    }
    ProcessMessages();

    auto restore = [&]() noexcept {
        if (_BusyFrm != nullptr) {
            _BusyFrm->hide();
            _BusyFrm->SetDone(true);
        }
        dialog.Rows().clear();
        try {
            if (groovePlaying) {
                WaveScene.ResumeInstance("groove");
                recording_ = true;
            }
        } catch (const std::exception&) {
            recording_ = false;
        }
        WaveScene.EnableMessages();
        try {
            WaveScene.StartRecordClock();
        } catch (const std::exception&) {
            // Without a sound device there is no performance to record.
        }
        if (scenePaused)
            WaveScene.Pause();
    };

    int result = QDialog::Rejected;
    try {
        const std::vector<TListKey> keys = ListKeys(mode);
        for (int i = 0; i < dialog.Grid->ColCount(); ++i) {
            try {
                const int width = settings->GetIntegerAt("RiffListColumnWidths[#]", i + 1);
                if (width < 0)
                    break;
                dialog.Grid->SetColWidth(i, width);
            } catch (const std::exception&) {
                break;
            }
        }

        TDVContext* keyboard = root_->GetContext("keyboard");
        std::deque<RiffInfo>& rows = dialog.Rows();
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (_BusyFrm != nullptr)
                _BusyFrm->ProgressBar->setValue(int(std::trunc(double(i) * 100.0 / double(keys.size()))));
            ProcessMessages();
            const TListKey& key = keys[i];
            const std::string riff = mode->GetStringByID("toggle[#].bind[#]", key.SetPrefix(), key.name);
            if (riff.empty())
                continue;
            const std::string caption = keyboard->GetStringByID("key[#].Caption", key.name);
            auto row = std::find_if(rows.begin(), rows.end(), [&](const RiffInfo& r) { return r.riff == riff; });
            if (row != rows.end()) {
                row->HotKey += "\n" + key.CaptionPrefix() + caption;
                continue;
            }
            RiffInfo info;
            info.riff = riff;
            TDVContext* riffContext = mode->GetContextByID("riff[#]", riff);
            info.info1 = riffContext->GetValueTextAt("info[#]", 1);
            info.info2 = riffContext->GetValueTextAt("info[#]", 2);
            info.info3 = riffContext->GetValueTextAt("info[#]", 3);
            info.info4 = riffContext->GetValueTextAt("info[#]", 4);
            info.HotKey = key.CaptionPrefix() + caption;
            info.set = key.Set();
            const std::string thumbnail = _ImagesDir + mode->GetStringByID("riff[#].file_prefix", riff) + "sm.png";
            if (FileExists(thumbnail)) {
                auto bitmap = std::make_unique<TBitmap>();
                LoadImageToBitmap(bitmap.get(), thumbnail);
                if (!bitmap->Empty())
                    info.thumbnail = std::move(bitmap);
            }
            rows.push_back(std::move(info));
        }
        if (_BusyFrm != nullptr) {
            _BusyFrm->hide();
            _BusyFrm->SetDone(true);
        }

        const RiffStruct* record = CurrentRecord();
        dialog.SelectedRiff = record != nullptr ? record->riffName : std::string();
        dialog.SelectedSet = record != nullptr ? record->bindingSet : 0;
        dialog.RiffVolume = settings->GetFloat("riff_volume");
        dialog.ShowRiffVideo = [this](const std::string& riff) { ShowRiffVideo(riff); };
        result = dialog.exec();

        if (result == QDialog::Accepted) {
            for (int i = 0; i < dialog.Grid->ColCount(); ++i) {
                try {
                    settings->SetIntegerAt("RiffListColumnWidths[#]", dialog.Grid->ColWidth(i), i + 1);
                } catch (const std::exception&) {
                    break;
                }
            }
        } else {
            dialog.SelectedRiff.clear();
        }
    } catch (...) {
        restore();
        throw;
    }
    restore();

    const std::string chosen = dialog.SelectedRiff;
    const TShiftState set = dialog.SelectedSet;
    RiffStruct* record = CurrentRecord();
    if (chosen.empty() || record == nullptr || chosen == record->riffName)
        return;
    SelectRiff(chosen, set);
    ShowRiff(record->riffName);
    SetModifierKeysFromShift(set);
    DrawKeyboard();
}
