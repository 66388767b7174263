// The main window's life: construction, the start-up, activation, closing and the message map.
#include "app/mainform/TKorvaneForm.h"

#include <QCloseEvent>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>

#include "app/mainform/HintsFromContext.h"
#include "app/game/Kvwavescene.h"
#include "app/mainform/ProgramEnd.h"
#include "app/dialogs/TBusyFrm.h"
#include "app/game/TFretboardObj.h"
#include "app/game/TRiffImageObj.h"
#include "app/game/TKorvaneEnv.h"
#include "app/settings/TSettingsForm.h"
#include "app/settings/TSettingsHolder.h"
#include "app/dialogs/TSplashScreen.h"
#include "app/dialogs/TRiffListDlg.h"
#include "app/video/TVideoTutorialForm.h"
#include "config/TDVContext.h"
#include "platform/system/TStringList.h"
#include "controls/THVList.h"
#include "controls/THVPanel.h"
#include "controls/THVSlider.h"
#include "platform/system/AppPath.h"
#include "platform/ui/ApplicationInstance.h"
#include "platform/ui/ControlsInternal.h"
#include "platform/ui/EventBridge.h"
#include "platform/ui/KeyboardTaken.h"
#include "platform/system/Exception.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/ui/MessageBox.h"
#include "platform/drawing/TBitmap.h"
#include "platform/ui/TImage.h"
#include "platform/ui/TLabel.h"
#include "platform/ui/TPanel.h"
#include "platform/drawing/TPicture.h"
#include "platform/ui/TTimer.h"
#include "sound/midi/Player.h"
#include "sound/TWaveScene.h"

#include <chrono>
#include <cmath>
#include <cstdlib>

std::string _app_path;
std::string _ImagesDir;
int _AudioBufferMs = 120;
TKorvaneForm* _KorvaneForm = nullptr;
Player* _MidiPlayer = nullptr;
settings_t* _Settings = nullptr;
TBusyFrm* _BusyFrm = nullptr;
TSplashScreen* _SplashScreen = nullptr;
TPrintForm* _PrintForm = nullptr;
TVideoTutorialForm* _VideoTutorialForm = nullptr;
TRiffListDlg* _RiffListDlg = nullptr;

namespace {

constexpr std::uint8_t kStopController = 85;
constexpr std::uint8_t kStopValue = 127;
constexpr int kDefaultBufferMs = 120;
constexpr const char* kSettingsCorrupted = "Settings file corrupted. Restoring default settings...";
// How long the notice that settings will not be saved waits for a held mouse button.
constexpr int kNoticeRetryMs = 200;

// The configuration layer's error text starts with a blank, which a message box need not show.
std::string WithoutLeadingBlanks(const char* text)
{
    while (*text == ' ')
        ++text;
    return text;
}

}  // namespace

TKorvaneForm::TKorvaneForm(QWidget* owner, const std::string& appPath) : QWidget(owner)
{
    setObjectName("TKorvaneForm");
    setAttribute(Qt::WA_QuitOnClose, true);
    _KorvaneForm = this;
    player_ = std::make_unique<Player>();
    _MidiPlayer = player_.get();
    _app_path = appPath.empty() ? ExecutableFolder() : appPath;
    _ImagesDir = _app_path + "Pics01\\";
    lastTickTime_ = NowSeconds();
    Application().SetHintHidePause(10000);
    Application().SetHintPause(200);
    Application().SetHintShortPause(300);
    loading_ = true;
    RMP_Autoswitch = false;

    CreateControls();
    BindEvents();
    handle_ = AllocateHWnd([this](UINT msg, WPARAM wParam, LPARAM lParam) {
        TMessage message{msg, wParam, lParam, 0};
        CallEventHandler([&] { Dispatch(message); });
    });
    HostInWidget(GlobalPanel, this);
    qApp->installEventFilter(this);
    WidgetOf(GlobalPanel)->raise();
    // A fatal end elsewhere must not leave the player's timer chain running.
    endStep_ = AddProgramEndStep([this] {
        if (player_)
            player_->Stop();
    });
    // The window never gets smaller than the board it centres.
    int minWidth = 0;
    int minHeight = 0;
    FormCanResize(minWidth, minHeight);
    setMinimumSize(minWidth, minHeight);
    resize(minWidth, minHeight);
    FormCreate(nullptr);
}

TKorvaneForm::~TKorvaneForm()
{
    // No key or focus event may reach the key road while the window comes apart.
    qApp->removeEventFilter(this);
    RemoveProgramEndStep(endStep_);
    if (MainTimer)
        MainTimer->SetEnabled(false);
    if (EventsTimer)
        EventsTimer->SetEnabled(false);
    if (MsgTimer)
        MsgTimer->SetEnabled(false);
    if (handle_) {
        DeallocateHWnd(handle_);
        handle_ = nullptr;
    }
    if (player_)
        player_->Stop();
    env_.reset();
    clips_.Clear();
    modeRecords_.clear();
    // The scene outlives the window: its notifications must not go to a window that is gone.
    WaveScene.SetOwnerWindow(nullptr);
    if (settingsForm_ && _Settings == &settingsForm_->Settings)
        _Settings = nullptr;
    settingsForm_.reset();
    player_.reset();
    if (_MidiPlayer != nullptr && _KorvaneForm == this)
        _MidiPlayer = nullptr;
    mainTimer_.reset();
    eventsTimer_.reset();
    msgTimer_.reset();
    globalPanel_.reset();
    GlobalPanel = nullptr;
    if (_KorvaneForm == this)
        _KorvaneForm = nullptr;
}

std::uint32_t TKorvaneForm::NowSeconds()
{
    using namespace std::chrono;
    return std::uint32_t(duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
}

TDVContext* TKorvaneForm::Settings() const
{
    return root_->GetContext("settings");
}

void TKorvaneForm::Halt(int code)
{
    endRequested_ = true;
    MainTimer->SetEnabled(false);
    EventsTimer->SetEnabled(false);
    ::EndProgram(code);
}

void TKorvaneForm::BindEvents()
{
    PlayButton->OnClick = [this](TObject* sender) { PlayButtonClick(sender); };
    StopButton->OnClick = [this](TObject* sender) { StopButtonClick(sender); };
    PauseButton->OnClick = [this](TObject* sender) { PauseButtonClick(sender); };
    CurrentMode->OnClick = [this](TObject* sender) { CurrentModeClick(sender); };
    ModeList->OnChange = [this](TObject* sender) { ModeListChange(sender); };
    ModeList->OnMouseUp = [this](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
        ModeListMouseUp(sender, button, shift, x, y);
    };
    // The rhythm-section slider carries the handler named after the riff volume and the other
    // way round; each handler does what its slider's role needs.
    MelodyVolume->OnChange = [this](TObject* sender) { RiffVolumeChange(sender); };
    RiffVolume->OnChange = [this](TObject* sender) { MelodyVolumeChange(sender); };
    SettingsButton->OnClick = [this](TObject* sender) { SettingsButtonClick(sender); };
    HelpButton->OnClick = [this](TObject* sender) { HelpClick(sender); };
    VolumeControl->OnClick = [this](TObject* sender) { VolumeControlClick(sender); };
    for (THVPanel* about : {AboutButton, AboutButton2, KorvaneButton})
        about->OnClick = [this](TObject* sender) { AboutButtonClick(sender); };
    for (THVPanel* video : {VideoButton, VideoButton2})
        video->OnClick = [this](TObject* sender) { VideoButtonClick(sender); };
    TutorialVideoButton->OnClick = [this](TObject* sender) { TutorialVideoButtonClick(sender); };
    HalfSpeedButton->OnClick = [this](TObject* sender) { HalfSpeedButtonClick(sender); };
    RiffListButton->OnClick = [this](TObject* sender) { RiffListButtonClick(sender); };
    WaveButton->OnClick = [this](TObject* sender) { WaveButtonClick(sender); };
    PrintButton->OnClick = [this](TObject* sender) { PrintButtonClick(sender); };
    FretboardAreaImage->OnMouseDown = [this](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
        FretboardAreaImageMouseDown(sender, button, shift, x, y);
    };
    MainTimer->SetOnTimer([this](TObject* sender) { MainTimerTimer(sender); });
    EventsTimer->SetOnTimer([this](TObject* sender) { EventsTimerTimer(sender); });
    MsgTimer->SetOnTimer([this](TObject* sender) { MsgTimerTimer(sender); });
    BindKeyRoad();
}

void TKorvaneForm::FormCreate(TObject* /*sender*/)
{
    player_->SetStopMarker(kStopController, kStopValue, handle_, WM_MIDI_SCHEDULE_END);
    history_.Clear();
    // Fast clicks on these buttons must arrive as single clicks.
    for (THVPanel* button : {PrevClipButton, NextClipButton, PrevRiffButton, NextRiffButton, HistoryPrevRiffButton,
                             HistoryNextRiffButton, PlayRiffButton, PlayClipButton})
        button->SetControlStyle(button->ControlStyle() & ~csDoubleClicks);
}

void TKorvaneForm::LoadSettings()
{
    settingsForm_ = std::make_unique<TSettingsForm>(this);
    connect(settingsForm_.get(), &TSettingsForm::ConfigurationReloaded, this,
            [this] { RenewConfigurationPointers(); });
    settings_t& holder = settingsForm_->Settings;
    try {
        holder.LoadDefaults(_app_path + settings_t::DefaultsFileName);
        holder.LoadUser(_app_path + settings_t::UserFileName);
    } catch (const std::exception& error) {
        Beep();
        // The configuration layer's text names the file, the line and what is wrong in it.
        std::string text = std::string(kSettingsCorrupted) + "\n" + WithoutLeadingBlanks(error.what());
        if (!holder.KeptUserFile().empty())
            text += "\nThe unreadable user settings were kept as \"" + holder.KeptUserFile() + "\".";
        ShowMessage(text);
    }
    _Settings = &holder;
    root_ = _Settings->GetContext();
}

void TKorvaneForm::InitApplication()
{
    // 1-4: the splash; the player reports to this window; the caption until the settings name
    // the program.
    if (_SplashScreen != nullptr) {
        _SplashScreen->SetStartUp(true);
        _SplashScreen->show();
        ProcessMessages();
    }
    keySkinNames_.Clear();
    player_->SetStopMarker(kStopController, kStopValue, handle_, WM_MIDI_SCHEDULE_END);
    player_->SetEventWindow(handle_, WM_MIDI_EVENT);
    setWindowTitle("Korvane!");

    // 5-7: the settings, and the preferences that the configuration offers.
    LoadSettings();
    ApplyPreferenceVisibility();

    // 8-9: the version and the title.
    if (_SplashScreen != nullptr && root_->Exists("general.Version"))
        _SplashScreen->VersionLabel->setText(_SplashScreen->VersionLabel->text() +
                                             QString::fromLatin1(root_->GetValueText("general.Version").c_str()));
    ProcessMessages();
    if (root_->Exists("general.ApplicationTitle")) {
        const std::string title = root_->GetValueText("general.ApplicationTitle");
        QCoreApplication::setApplicationName(QString::fromLatin1(title.c_str()));
        setWindowTitle(QString::fromLatin1(title.c_str()));
    }

    // 10-11: the audio buffer length and the page autoswitch.
    int bufferMs = kDefaultBufferMs;
    if (root_->Exists("Audio.WV_BufferSize"))
        bufferMs = root_->GetInteger("Audio.WV_BufferSize");
    if (root_->Exists("general.RMP_Autoswitch"))
        RMP_Autoswitch = root_->GetBool("general.RMP_Autoswitch");

    // 12-13: the sound output.
    if (!InitKVWaveScene(std::uint32_t(std::max(bufferMs, 1)))) {
        endRequested_ = true;
        return;
    }
    _AudioBufferMs = bufferMs;

    // 14: the skin.
    PlaceControls();
    InitLayout();
    if (endRequested_)
        return;

    // 15: the environment on the four areas.
    // Makers of their own, so no other window's makers leak into this one.
    const TKorvaneEnv::TObjectMakers makers{TFretboardObj::Maker(_ImagesDir),
                                            TRiffImageObj::Maker(_ImagesDir, [] { return _BusyFrm; })};
    try {
        env_ = std::make_unique<TKorvaneEnv>(root_, FretboardAreaImage, KeyboardAreaImage, NotationAreaImage,
                                             AnimationAreaImage, makers);
    } catch (const std::exception& error) {
        ShowException(error.what());
        Halt(0);
        return;
    }
    // The main tick rests while it has nothing to dispatch; an event queued wakes it on its beat.
    env_->SetOnQueued([this] { MainTimer->Wake(); });

    // 16: the mode list, selecting the stored mode; an index that names no mode selects the first.
    TStringList titles;
    env_->FillModeList(titles);
    ModeList->SetItems(&titles);
    int index = -1;
    if (root_->Exists("settings.current_mode")) {
        const std::string text = root_->GetValueText("settings.current_mode");
        char* end = nullptr;
        const long value = std::strtol(text.c_str(), &end, 10);
        if (end != text.c_str() && *end == '\0' && value >= 0 && value < titles.Count())
            index = int(value);
    }
    ModeList->SetItemIndex(index);
    modeRecords_.assign(std::size_t(titles.Count()), RiffStruct{});

    // 17: the scene's notifications come here.
    WaveScene.SetMessageId(WM_WAVESCENE_NOTIFY);
    WaveScene.SetOwnerWindow(handle_);

    // 18: the current mode.
    if (ModeList->ItemIndex() < 0)
        ModeList->SetItemIndex(0);
    LoadGame(ModeList->ItemIndex(), false);
    if (endRequested_)
        return;

    // 19-21.
    SetVolumeSliders();
    FormResize();
    EventsTimer->SetEnabled(true);

    // 22: the player only reports; nothing reaches the MIDI output.
    for (std::uint8_t channel = 0; channel < 16; ++channel)
        player_->AddMuteChannel(channel);
    for (std::uint8_t channel = 10; channel < 16; ++channel)
        player_->AddReportChannel(channel);

    // 23.
    if (_SplashScreen != nullptr) {
        _SplashScreen->SetStartUp(false);
        _SplashScreen->hide();
    }
}

void TKorvaneForm::SetVolumeSliders()
{
    TDVContext* settings = Settings();
    // Placing the sliders must not write back values rounded by the slider's steps.
    const bool loading = loading_;
    loading_ = true;
    RiffVolume->SetPosition(int(std::trunc(RiffVolume->MaxPosition() -
                                           settings->GetFloat("riff_volume") * RiffVolume->MaxPosition())));
    MelodyVolume->SetPosition(int(std::trunc(MelodyVolume->MaxPosition() -
                                             settings->GetFloat("groove_volume") * MelodyVolume->MaxPosition())));
    loading_ = loading;
}

void TKorvaneForm::FormActivate(TObject* /*sender*/)
{
    if (activated_ || env_ == nullptr)
        return;
    activated_ = true;
    TDVContext* general = env_->GetGeneralContext();
    if (general->Exists("Hints"))
        SetHintsFromContext(GlobalPanel, general);
    if (_RiffListDlg && general->Exists("RiffListDialog")) {
        TDVContext* riffList = general->GetContext("RiffListDialog");
        _RiffListDlg->SetColumnFontSizes(riffList);
        _RiffListDlg->SetHints(riffList);
    }
    if (_VideoTutorialForm && general->Exists("VideoHelp")) {
        _VideoTutorialForm->Clear();
        TStringList ids;
        general->EnumListIDs("VideoHelp", ids);
        for (int i = 0; i < ids.Count(); ++i)
            _VideoTutorialForm->AddItem(general->GetStringByID("VideoHelp[#].Description", ids[i]), ids[i]);
    }
}

void TKorvaneForm::FormClose()
{
    // Without the defaults the user file was never read: it keeps the settings it holds.
    if (root_ == nullptr || env_ == nullptr || !settingsForm_->Settings.UserFileWritable())
        return;
    try {
        TDVContext* settings = env_->GetSettingsContext();
        for (std::size_t i = 0; i < modeRecords_.size(); ++i) {
            const RiffStruct& record = modeRecords_[i];
            // A mode not opened since the start keeps the selection stored for it.
            if (record.riffName.empty())
                continue;
            const int index = int(i) + 1;
            settings->SetStringAt("SelectedRiff[#].Riff", record.riffName, index);
            const char* set = (record.bindingSet & ssShift) ? "shift" : (record.bindingSet & ssAlt) ? "alt" : "";
            settings->SetStringAt("SelectedRiff[#].Set", set, index);
        }
        SaveSettings(_app_path + settings_t::UserFileName);
    } catch (const std::exception& error) {
        ShowMessage(error.what());
    }
}

void TKorvaneForm::SaveSettings(const std::string& fileName)
{
    _Settings->SaveSettings(fileName);
}

void TKorvaneForm::SettingChanged()
{
    if (settingsForm_ == nullptr || settingsForm_->Settings.UserFileWritable() || toldSettingsNotSaved_)
        return;
    toldSettingsNotSaved_ = true;
    QTimer::singleShot(0, this, [this] { CallEventHandler([this] { TellSettingsNotSaved(); }); });
}

void TKorvaneForm::TellSettingsNotSaved()
{
    // A box that takes the mouse in the middle of a slider's drag would leave the slider held.
    if (QGuiApplication::mouseButtons() != Qt::NoButton) {
        QTimer::singleShot(kNoticeRetryMs, this, [this] { CallEventHandler([this] { TellSettingsNotSaved(); }); });
        return;
    }
    ShowMessage("Changed settings will not be saved: the settings files did not load, so \"" +
                ResolveFileName(_app_path + settings_t::UserFileName) + "\" keeps the settings it holds.");
}

void TKorvaneForm::FormResize()
{
    if (GlobalPanel == nullptr)
        return;
    GlobalPanel->SetBounds(width() / 2 - GlobalPanel->Width() / 2, height() / 2 - GlobalPanel->Height() / 2,
                           GlobalPanel->Width(), GlobalPanel->Height());
    FormPaint();
}

void TKorvaneForm::FormCanResize(int& newWidth, int& newHeight)
{
    newWidth = std::max(newWidth, GlobalPanel->Width());
    newHeight = std::max(newHeight, GlobalPanel->Height());
}

void TKorvaneForm::Dispatch(TMessage& message)
{
    switch (message.Msg) {
    case WM_WAVESCENE_NOTIFY:
        OnSceneMessage();
        break;
    case WM_MIDI_SCHEDULE_END:
        OnMidiOff();
        break;
    case WM_MIDI_EVENT:
        OnMidiNote(message.LParam);
        break;
    default:
        break;
    }
}

void TKorvaneForm::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    if (backgroundTile_.isNull())
        painter.fillRect(rect(), Qt::black);
    else
        painter.drawTiledPixmap(rect(), backgroundTile_);
}

void TKorvaneForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void TKorvaneForm::closeEvent(QCloseEvent* event)
{
    CallEventHandler([this] { FormClose(); });
    event->accept();
}

bool TKorvaneForm::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        CallEventHandler([this] { FormActivate(nullptr); });
        QueueKeyRoadResync();
    }
    // The key-ups of hot keys that opened another window went to that window.
    if (event->type() == QEvent::WindowDeactivate)
        heldHotKeys_.clear();
    return QWidget::event(event);
}

bool TKorvaneForm::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    // The window system gives a window of the program the keyboard, also where no activation
    // says so: a window manager's key binding (its Alt+F4 on another window of the program) keeps
    // the key-ups of its modifiers until it hands the keyboard back, to this window or to another
    // one still open, and the keys shown held here must follow what the keyboard holds.
    if (type == KeyboardTakenEvent()) {
        QueueKeyRoadResync();
        return false;
    }
    // Another window of the program closed: the keyboard returns here, and without a window
    // manager no activation may say so.
    if (type == QEvent::Hide) {
        const auto* window = qobject_cast<QWidget*>(watched);
        if (window != nullptr && window != this && window->isWindow() &&
            (window->windowType() == Qt::Dialog || window->windowType() == Qt::Window))
            QueueKeyRoadResync();
        return false;
    }
    if (type == QEvent::ApplicationDeactivate) {
        keyRouter_.Flush();
        CallEventHandler([this] { ApplicationEvents1Deactivate(nullptr); });
        return false;
    }
    // A release held back for its repeat press comes before any other input the window gets: a
    // click would otherwise meet the key still down, and its late key-up the click's key.
    if (event->isPointerEvent()) {
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && widget->window() == this)
            keyRouter_.Flush();
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    // The window previews the keys of all its controls; other windows keep theirs.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != this)
        return false;
    // An event a control left unused travels on to its parents: only its first stop counts.
    QWidget* focus = QApplication::focusWidget();
    if (widget != (focus != nullptr && focus->window() == this ? focus : this))
        return false;
    return keyRouter_.Route(*static_cast<QKeyEvent*>(event));
}

bool TKorvaneForm::RouteKey(const TKeyRoute& route)
{
    std::uint16_t key = route.key;
    if (route.action == TKeyAction::KeyDown)
        CallEventHandler([&] { FormKeyDown(nullptr, key, route.shift); });
    else
        CallEventHandler([&] { FormKeyUp(nullptr, key, route.shift); });
    // A key the road consumed goes no further; any other reaches the control that has the focus.
    return key == 0;
}
