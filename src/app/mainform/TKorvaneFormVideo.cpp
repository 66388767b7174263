// The video commands of the main window: riff videos, tutorial videos and half speed.
#include "app/mainform/TKorvaneForm.h"

#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>

#include "app/mainform/HintsFromContext.h"
#include "app/dialogs/TBusyFrm.h"
#include "app/game/TGameEnvObj.h"
#include "app/game/TKorvaneEnv.h"
#include "app/video/TRIFFVideo.h"
#include "app/video/TVideoTutorialForm.h"
#include "app/video/VideoChoice.h"
#include "config/TDVContext.h"
#include "controls/THVPanel.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/ui/MessageBox.h"
#include "sound/midi/Player.h"
#include "sound/TWaveScene.h"

#include <memory>

namespace {

bool InScene(const std::string& name)
{
    TCriticalSection& lock = WaveScene.GetLock();
    lock.Enter();
    const bool found = !name.empty() && WaveScene.FindInstancePtr(name) != nullptr;
    lock.Leave();
    return found;
}

}  // namespace

void TKorvaneForm::VideoButtonClick(TObject* /*sender*/)
{
    if (loading_ || env_ == nullptr)
        return;
    const RiffStruct* record = CurrentRecord();
    if (record != nullptr && !record->riffName.empty())
        ShowRiffVideo(record->riffName);
}

void TKorvaneForm::TutorialVideoButtonClick(TObject* /*sender*/)
{
    if (loading_ || env_ == nullptr || root_ == nullptr || _VideoTutorialForm == nullptr)
        return;
    StopRiff(soundingRiff_);
    if (env_->GameState() != TGameEnvObj::StateReady)
        StopButtonClick(StopButton);

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect screenRect = screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
    std::unique_ptr<TRIFFVideo> video;
    for (;;) {
        video.reset();
        video = std::make_unique<TRIFFVideo>(this);
        if (_VideoTutorialForm->exec() != QDialog::Accepted)
            break;
        const std::string id = _VideoTutorialForm->GetSelectedItem();
        if (id.empty())
            break;
        TDVContext* entry = root_->GetContextByID("general.VideoHelp[#]", id);
        const int size = entry->GetInteger("Size");
        video->move(0, 0);
        video->resize(screenRect.width(), video->height());
        video->setWindowTitle(QString::fromLatin1(entry->GetString("Description").c_str()));
        video->SizeRatio = 0;
        const bool fixed = size == 1;
        const TVideoPlacement place = TutorialVideoPlacement(
            size, fixed ? entry->GetInteger("Left") : 0, fixed ? entry->GetInteger("Top") : 0,
            fixed ? entry->GetInteger("Width") : 0, fixed ? entry->GetInteger("Height") : 0,
            size == 4 ? entry->GetFloat("Aspect") : 0.0f, screenRect.width(), screenRect.height(),
            TRIFFVideo::kBarHeight);
        video->setGeometry(place.left, place.top, place.width, place.height >= 0 ? place.height : video->height());
        video->SizeRatio = place.sizeRatio;
        video->FullScreenPending = place.fullScreenPending;

        const std::string named = _app_path + "video\\" + entry->GetString("FileName");
        const std::string file = ChooseVideoFile(named, Settings());
        if (FileExists(file))
            video->SetURL(file);
        if (!FileExists(file) || !FileExists(video->URL()))
            ShowMessage("File not found: \n" + ResolveFileName(named));
        else
            (void)video->ShowModal();
    }
    QCoreApplication::processEvents();
    video.reset();
    if (_BusyFrm != nullptr)
        _BusyFrm->SetDone(true);
}

void TKorvaneForm::ShowRiffVideo(const std::string& riff)
{
    if (env_ == nullptr || root_ == nullptr)
        return;
    StopRiff(riff);
    if (env_->GameState() != TGameEnvObj::StateReady)
        StopButtonClick(StopButton);

    auto video = std::make_unique<TRIFFVideo>(this);
    TDVContext* general = root_->GetContext("general");
    if (general->Exists("RiffVideoDialog"))
        SetHintsFromContext(video->Panel1, general->GetContext("RiffVideoDialog"));
    TDVContext* mode = env_->FindMode("");
    if (mode == nullptr)
        return;
    TDVContext* riffContext = mode->GetContextByID("riff[#]", riff);
    std::string name = riffContext->Exists("file_override_video") ? riffContext->GetString("file_override_video") : "";
    if (name.empty())
        name = riffContext->GetString("file_prefix") + ".wmv";
    const std::string file = ChooseVideoFile(_app_path + "\\Video\\" + name, Settings());
    if (FileExists(file)) {
        video->SetURL(file);
        if (FileExists(video->URL())) {
            video->SizeRatio = 0;
            const std::string title = riffContext->Exists("title") ? riffContext->GetString("title") : riff;
            video->setWindowTitle(QString::fromLatin1(("Riff video tutorial - " + title).c_str()));
            (void)video->ShowModal();
        }
    }
    video.reset();
    if (_BusyFrm != nullptr)
        _BusyFrm->SetDone(true);
    QCoreApplication::processEvents();
}

void TKorvaneForm::HalfSpeedButtonClick(TObject* /*sender*/)
{
    HalfSpeedButton->SetChecked(!HalfSpeedButton->Checked());
    const double rate = HalfSpeedButton->Visible() && HalfSpeedButton->Checked() ? 0.5 : 1.0;
    if (!soundingRiff_.empty() && InScene(soundingRiff_))
        WaveScene.SetInstancePitch(soundingRiff_, float(rate));
    if (InScene("groove"))
        WaveScene.SetInstancePitch("groove", float(rate));
    if (player_->GetSpeed() != rate)
        player_->SetSpeed(rate);
}
