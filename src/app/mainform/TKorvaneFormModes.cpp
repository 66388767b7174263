// Game modes: loading a mode's groove and riffs, choosing its current riff, the mode list.
#include "app/mainform/TKorvaneForm.h"

#include "app/dialogs/TBusyFrm.h"
#include "app/mainform/KorvaneShared.h"
#include "app/game/TFretboardObj.h"
#include "app/game/TKorvaneEnv.h"
#include "config/TDVContext.h"
#include "controls/THVList.h"
#include "controls/THVPanel.h"
#include "platform/ui/ApplicationInstance.h"
#include "platform/system/Exception.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/TImage.h"
#include "platform/ui/TPanel.h"
#include "platform/drawing/TPicture.h"
#include "sound/TWaveContainer.h"
#include "sound/TWaveScene.h"
#include "sprite/PicUtils.h"

#include <QProgressBar>

#include <cstdlib>
#include <new>

namespace {

constexpr int kSceneRate = 44100;

// A wave that cannot be loaded; the load shows its own message for it.
class WaveLoadError : public Exception {
public:
    using Exception::Exception;
};

int PageNumber(const std::string& id)
{
    return id.empty() ? 1 : std::atoi(id.c_str());
}

}  // namespace

RiffStruct* TKorvaneForm::CurrentRecord()
{
    const int index = CurrentModeIndex();
    if (index < 0 || std::size_t(index) >= modeRecords_.size())
        return nullptr;
    return &modeRecords_[std::size_t(index)];
}

int TKorvaneForm::CurrentModeIndex() const
{
    if (env_ == nullptr)
        return -1;
    const auto& modes = env_->Modes().Lines();
    for (std::size_t i = 0; i < modes.size(); ++i)
        if (modes[i] == env_->CurrentMode())
            return int(i);
    return -1;
}

void TKorvaneForm::LoadModeWaves(int modeIndex, TDVContext* mode)
{
    if (_BusyFrm != nullptr) {
        _BusyFrm->Show();
        ProcessMessages();
    }
    WaveScene.RemoveAllInstances();
    WaveContainer.Clear();
    riffsInScene_.clear();
    failedMidiFiles_.clear();
    loadedModeIndex_ = -1;

    currentTuning_ = kStandardTuning;
    if (mode->Exists("altuning_offset"))
        for (int i = 0; i < 6; ++i)
            currentTuning_[std::size_t(5 - i)] =
                kStandardTuning[std::size_t(5 - i)] - mode->GetIntegerAt("altuning_offset[#]", i + 1);
    _StringTuning = currentTuning_;

    std::string fretboard = "FretboardArea.png";
    if (mode->Exists("fretboard_image") && !mode->GetString("fretboard_image").empty())
        fretboard = mode->GetString("fretboard_image");
    if (auto* board = dynamic_cast<TFretboardObj*>(env_->Fretboard())) {
        board->LoadBackground(fretboard);
    } else {
        LoadImageToPicture(FretboardAreaImage->Picture(), ImageFile(fretboard));
        FretboardAreaImage->Invalidate();
    }

    auto loadWave = [](const std::string& file, const std::string& name) {
        try {
            WaveContainer.AddWaveFromFile(file, name);
            WaveScene.AddInstance(WaveContainer.GetWave(name), name, 0);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& error) {
            throw WaveLoadError(error.what());
        }
    };
    loadWave(_app_path + "wavs\\" + mode->GetString("groove_file"), "groove");

    TStringList riffs;
    mode->EnumListIDs("riff", riffs);
    if (_BusyFrm != nullptr) {
        _BusyFrm->ProgressBar->setMaximum(std::max(riffs.Count(), 1));
        _BusyFrm->SetText("Loading riffs...");
    }
    for (int i = 0; i < riffs.Count(); ++i) {
        const std::string& id = riffs[i];
        loadWave(_app_path + "wavs\\" + mode->GetStringByID("riff[#].file_prefix", id) + ".wav", id);
        WaveScene.SetInstanceRepeat(id, 1000);
        WaveScene.SetInstanceNotify(id, 0xFF);
        if (_BusyFrm != nullptr)
            _BusyFrm->ProgressBar->setValue(i + 1);
        ProcessMessages();
    }
    loadedModeIndex_ = modeIndex;
    if (_BusyFrm != nullptr) {
        _BusyFrm->hide();
        _BusyFrm->SetDone(true);
    }
}

void TKorvaneForm::LoadGame(int modeIndex, bool reload)
{
    try {
        StopButtonClick(nullptr);
        if (!loading_)
            HideRiff();
        TDVContext* settings = Settings();
        Application().SetHintPause(settings->GetBool("ShowHints") ? 400 : 65000);
        loading_ = true;
        ApplyDisplaySettings(settings);

        const std::string modeName = env_->GetModeName(modeIndex);
        if (modeIndex == CurrentModeIndex() && !reload) {
            env_->SetMode(modeName, 0, false);
        } else {
            env_->SetMode(modeName, -1, reload);
            if (settings->GetTagType("current_mode") == vtString)
                settings->SetString("current_mode", std::to_string(modeIndex));
            else
                settings->SetInteger("current_mode", modeIndex);
        }
        CurrentMode->SetText(env_->GetModeComboTitle(modeName));
        TDVContext* mode = env_->FindMode(modeName);
        bindings_.SetMode(mode);

        if (modeIndex != loadedModeIndex_ || reload)
            LoadModeWaves(modeIndex, mode);

        grooveLength_ = double(WaveContainer.GetWave("groove")->GetFrames()) / kSceneRate * 1000.0;
        loading_ = false;

        RiffStruct& record = modeRecords_.at(std::size_t(modeIndex));
        if (record.riffName.empty()) {
            bindings_.Build(bindings_.ModifierState());
            try {
                const int index = modeIndex + 1;
                const std::string set = settings->GetValueTextAt("SelectedRiff[#].Set", index);
                const TShiftState shift = set == "shift" ? TShiftState(ssShift) : set == "alt" ? TShiftState(ssAlt) : 0;
                const std::string riff = settings->GetValueTextAt("SelectedRiff[#].Riff", index);
                if (!riff.empty())
                    SelectRiff(riff, shift);
                else
                    SelectFirstRiff();
            } catch (const std::exception&) {
                SelectFirstRiff();
            }
        }
        if (!record.riffName.empty())
            ShowRiff(record.riffName);
        SetModifierKeysFromShift(record.bindingSet);
        DrawKeyboard();
        PlayButtonClick(nullptr);
        EventsTimerTimer(nullptr);
    } catch (const WaveLoadError& error) {
        ShowMessage(std::string("Load Wave content: ") + error.what());
        Halt(0);
    } catch (const std::bad_alloc&) {
        ShowMessage("Out of memory!");
        Halt(0);
    } catch (const std::exception& error) {
        ShowMessage(std::string("Error during load game:\n") + error.what());
        Halt(0);
    } catch (...) {
        ShowMessage("Unknown error during load game");
        Halt(0);
    }
}

void TKorvaneForm::SelectFirstRiff()
{
    // As the previous-riff button chooses without a current riff; a mode whose buttons or keys
    // give none falls back to the first key of the plain set, then to its first riff.
    PrevRiffButtonClick(nullptr);
    if (const RiffStruct* record = CurrentRecord(); record != nullptr && !record->riffName.empty())
        return;
    TDVContext* mode = env_->FindMode("");
    std::string candidate;
    try {
        TDVContext* toggle = mode->GetContextByID("toggle[#]", "INITIAL_");
        TStringList keys;
        toggle->EnumListIDs("bind", keys);
        for (int i = 0; i < keys.Count() && candidate.empty(); ++i)
            candidate = toggle->GetValueTextByID("bind[#]", keys[i]);
    } catch (const std::exception&) {
        candidate.clear();
    }
    if (candidate.empty()) {
        TStringList riffs;
        mode->EnumListIDs("riff", riffs);
        if (riffs.Count() > 0)
            candidate = riffs[0];
    }
    if (!candidate.empty())
        SelectRiff(candidate, 0);
}

void TKorvaneForm::SelectRiff(const std::string& riff, TShiftState set)
{
    RiffStruct* record = CurrentRecord();
    if (record == nullptr)
        return;
    ClearClips();
    record->startPosition = std::int32_t(WaveScene.GetInstancePositionMs(riff, false));
    if (riff == record->riffName) {
        // The same riff found in another binding set: the set follows, or the walk along the
        // sets would come back to this riff again and again.
        record->bindingSet = set & (ssShift | ssAlt);
        return;
    }

    TDVContext* mode = env_->FindMode("");
    TDVContext* riffContext = mode->GetContextByID("riff[#]", riff);
    const std::string midiFile = "MIDI\\" + mode->GetStringByID("riff[#].file_prefix", riff) + ".mid";
    TStringList ids;
    ids.Add("");
    {
        TStringList pages;
        riffContext->EnumListIDs("file_prefix", pages);
        for (const std::string& id : pages.Lines())
            ids.Add(id);
    }
    std::map<int, std::vector<std::int32_t>> positions;
    int total = 0;
    for (const std::string& id : ids.Lines()) {
        const std::string key = "x" + id;
        if (!riffContext->Exists(key))
            continue;
        std::vector<std::int32_t> page;
        const int count = riffContext->GetCount(key);
        for (int i = 1; i <= count; ++i) {
            const std::int32_t x = riffContext->GetIntegerAt(key + "[#]", i);
            if (x == 0)
                break;
            page.push_back(x);
        }
        if (page.empty())
            page = {1, 1000};
        total += int(page.size()) - 1;
        positions[PageNumber(id)] = std::move(page);
    }

    record->riffName = riff;
    record->bindingSet = set & (ssShift | ssAlt);
    record->midiFile = midiFile;
    record->notationPositions = std::move(positions);
    UpdateNotationWindow(record->notationPositions.empty() ? 1 : record->notationPositions.begin()->first);
    record->riffLength = float(WaveScene.GetInstanceLengthMs(riff, false));
    record->size = riffContext->GetInteger("size");
    if (record->size == 0)
        record->size = total;
    record->stepLength = record->size > 0 ? record->riffLength / float(record->size) : 0.0f;
}

void TKorvaneForm::ApplyDisplaySettings(TDVContext* settings)
{
    auto* board = env_ != nullptr ? dynamic_cast<TFretboardObj*>(env_->Fretboard()) : nullptr;
    if (board == nullptr)
        return;
    auto flag = [settings](const char* key) { return settings->Exists(key) && settings->GetBool(key); };
    board->ShowFingering = flag("ShowFingering");
    board->ShowShapes = flag("ShowShapes");
    board->ShowFilledShapes = flag("ShowFilledShapes");
    board->ShowColorSpots = flag("ShowColorSpots");
}

void TKorvaneForm::UpdateNotationWindow(int page)
{
    RiffStruct* record = CurrentRecord();
    if (record == nullptr)
        return;
    RiffStruct::TNotationRecord& notation = record->notation;
    notation.page = page;
    auto found = record->notationPositions.find(page);
    notation.positions = found != record->notationPositions.end() ? found->second : std::vector<std::int32_t>{};
    notation.count = FindNotationPosition();
    notation.first = notation.positions.empty() ? 0 : notation.positions.front();
    notation.last = notation.positions.empty() ? 0 : notation.positions.back();
}

int TKorvaneForm::FindNotationPosition() const
{
    const int index = CurrentModeIndex();
    if (index < 0 || std::size_t(index) >= modeRecords_.size())
        return 0;
    const RiffStruct& record = modeRecords_[std::size_t(index)];
    const int page = record.notation.page;
    auto next = record.notationPositions.upper_bound(page);
    if (next != record.notationPositions.end())
        return next->first - page;
    return record.size - page + 1;
}

void TKorvaneForm::ShowRiff(const std::string& riff)
{
    RiffPositionBkg->Show();
    const RiffStruct* record = CurrentRecord();
    const int page = (record != nullptr && riff == record->riffName) ? record->notation.page : 1;
    env_->PostEvent("SHOWRIFF:" + riff, page);
    env_->ProcessEvents();
    riffLastShown_ = riff;
    UpdatePageButtons(false);
}

void TKorvaneForm::HideRiff()
{
    env_->PostEvent("HIDERIFF", 0);
    env_->ProcessEvents();
    riffLastShown_.clear();
    RiffPositionBkg->Hide();
}

void TKorvaneForm::CurrentModeClick(TObject* /*sender*/)
{
    if (loading_)
        return;
    ModeList->Show();
    ModeList->BringToFront();
}

void TKorvaneForm::ModeListMouseUp(TObject* /*sender*/, TMouseButton /*button*/, TShiftState /*shift*/, int /*x*/,
                                   int /*y*/)
{
    ModeList->Hide();
}

void TKorvaneForm::ModeListChange(TObject* /*sender*/)
{
    if (loading_) {
        Beep();
        return;
    }
    ModeList->Hide();
    if (ModeList->ItemIndex() >= 0) {
        const bool otherMode = ModeList->ItemIndex() != CurrentModeIndex();
        LoadGame(ModeList->ItemIndex(), false);
        if (otherMode)
            SettingChanged();
    }
}
