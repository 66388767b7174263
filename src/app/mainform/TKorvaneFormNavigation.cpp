// Moving through the riffs without sounding them: previous and next along the bound keys, back and
// forward in the history; the transcription page buttons and clicks on the transcription.
#include "app/mainform/TKorvaneForm.h"

#include "app/game/TKorvaneEnv.h"
#include "config/TDVContext.h"
#include "controls/THVPanel.h"
#include "platform/ui/TPanel.h"
#include "sound/midi/Player.h"
#include "sound/TWaveScene.h"

#include <cmath>
#include <iterator>

void TKorvaneForm::PrevRiffButtonClick(TObject* sender)
{
    if (sender != nullptr || loading_ || env_ == nullptr || !PrevRiffButton->Visible())
        return;
    if (RiffStruct* record = CurrentRecord()) {
        if (auto choice = bindings_.NeighbourRiff(-1, record->riffName, record->bindingSet)) {
            SelectRiff(choice->riff, choice->set);
            ShowRiff(choice->riff);
        }
    }
    DrawKeyboard();
}

void TKorvaneForm::NextRiffButtonClick(TObject* sender)
{
    if (sender != nullptr || loading_ || env_ == nullptr || !NextRiffButton->Visible())
        return;
    if (RiffStruct* record = CurrentRecord()) {
        if (auto choice = bindings_.NeighbourRiff(+1, record->riffName, record->bindingSet)) {
            SelectRiff(choice->riff, choice->set);
            ShowRiff(choice->riff);
        }
    }
    DrawKeyboard();
}

void TKorvaneForm::HistoryPrevRiffButtonClick(TObject* sender)
{
    if (sender != nullptr || loading_ || env_ == nullptr || !HistoryPrevRiffButton->Visible())
        return;
    if (auto entry = history_.Back()) {
        SelectRiff(entry->riff, entry->set);
        ShowRiff(entry->riff);
        SetModifierKeysFromShift(entry->set);
    }
    DrawKeyboard();
}

void TKorvaneForm::HistoryNextRiffButtonClick(TObject* sender)
{
    if (sender != nullptr || loading_ || env_ == nullptr || !HistoryNextRiffButton->Visible())
        return;
    if (auto entry = history_.Forward()) {
        SelectRiff(entry->riff, entry->set);
        ShowRiff(entry->riff);
        SetModifierKeysFromShift(entry->set);
    }
    DrawKeyboard();
}

void TKorvaneForm::UpdatePageButtons(bool force)
{
    if (loading_ || env_ == nullptr)
        return;
    if (RMP_PrevButton->PicOnIdle().empty()) {
        RMP_PrevButton->Hide();
        RMP_NextButton->Hide();
    }
    const RiffStruct* record = CurrentRecord();
    const int page = record != nullptr ? record->notation.page : 0;
    const std::string key = std::to_string(page) + ">" + riffLastShown_;
    if (key == pageButtonsKey_ && !force)
        return;
    const bool current = record != nullptr && !record->riffName.empty() && riffLastShown_ == record->riffName;
    if (current && record->notationPositions.size() > 1) {
        RMP_PrevButton->SetVisible(page != record->notationPositions.begin()->first);
        RMP_NextButton->SetVisible(page != record->notationPositions.rbegin()->first);
        RMP_PrevButton->Repaint();
        RMP_NextButton->Repaint();
    } else {
        RMP_PrevButton->Hide();
        RMP_NextButton->Hide();
    }
    pageButtonsKey_ = current ? key : "&";
}

void TKorvaneForm::RMP_PrevButtonClick(TObject* /*sender*/)
{
    RiffStruct* record = CurrentRecord();
    if (!RMP_PrevButton->Visible() || record == nullptr || record->riffName.empty())
        return;
    const auto at = record->notationPositions.find(record->notation.page);
    if (at == record->notationPositions.end() || at == record->notationPositions.begin())
        return;
    UpdateNotationWindow(std::prev(at)->first);
    ShowRiff(record->riffName);
}

void TKorvaneForm::RMP_NextButtonClick(TObject* /*sender*/)
{
    RiffStruct* record = CurrentRecord();
    if (!RMP_NextButton->Visible() || record == nullptr || record->riffName.empty())
        return;
    const auto at = record->notationPositions.find(record->notation.page);
    if (at == record->notationPositions.end() || std::next(at) == record->notationPositions.end())
        return;
    UpdateNotationWindow(std::next(at)->first);
    ShowRiff(record->riffName);
}

void TKorvaneForm::RiffPositionBkgMouseDown(TObject* sender, TMouseButton button, TShiftState /*shift*/, int x,
                                            int /*y*/)
{
    if (loading_ || env_ == nullptr)
        return;
    if (clips_.Current() >= 0) {
        PlayClipButtonClick(nullptr);
        return;
    }
    if (sender != RiffPositionBkg)
        x -= RiffPositionBkg->Left();
    RiffStruct* record = CurrentRecord();
    if (record == nullptr || record->riffName.empty())
        return;
    if (bindings_.SoundingKey().empty()) {
        StopRiff(soundingRiff_);
    } else {
        bindings_.ReleaseKey(bindings_.SoundingKey());
        DrawKeyboard();
    }
    if (button != mbLeft) {
        PlayRiffButton->SetTag(0);
        return;
    }
    const std::string riff = record->riffName;
    const int s = record->notation.page;
    const int n = FindNotationPosition();
    const std::vector<std::int32_t> p = record->notation.positions;
    const float step = record->stepLength;
    for (int k = s - 1; k <= s + n - 2; ++k) {
        const std::size_t j = std::size_t(k - s + 1);
        // A page with fewer positions than steps ends the search at its last position.
        if (j + 1 >= p.size())
            break;
        if (p[j] <= x && x < p[j + 1]) {
            const float target = float(x - p[j]) / float(p[j + 1] - p[j]) * step + float(k) * step;
            record->startPosition = std::int32_t(std::trunc(target));
            WaveScene.FadeInstance(riff, 0, 0);
            WaveScene.SetInstanceVolume(riff, 25, Settings()->GetFloat("riff_volume"), 0);
            WaveScene.SetInstancePositionMs(riff, std::uint32_t(std::max(0.0f, target)));
            WaveScene.ResumeInstance(riff);
            SetRiffRate(riff);
            PositionToClip(*record, int(std::trunc(target)));
            PlayRiffButton->SetTag(1);
            // Sounding like a triggered riff: the next click, key or Stop silences it.
            soundingRiff_ = riff;
            return;
        }
    }
    PlayCurrentRiff();
}
