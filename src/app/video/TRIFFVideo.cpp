#include "app/video/TRIFFVideo.h"

#include "app/mainform/MakeControl.h"

#include <QAudioOutput>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMediaPlayer>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVideoSink>

#include <cmath>

#include "app/dialogs/TBusyFrm.h"
#include "app/mainform/TKorvaneForm.h"
#include "app/video/VideoSurface.h"
#include "controls/THVPanel.h"
#include "controls/THVSlider.h"
#include "platform/ui/ControlsInternal.h"
#include "platform/ui/EventBridge.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/TPanel.h"
#include "platform/ui/VirtualKeys.h"
#include "platform/ui/VirtualKeysQt.h"

namespace {

constexpr float kDefaultRatio = 4.18f;
constexpr int kButtonWidth = 50;
constexpr TColor kBarColor = 0x00171312;  // BGR: the bar pictures' dark grey

QRect ScreenRect()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
}

}  // namespace

TRIFFVideo::TRIFFVideo(QWidget* parent) : QDialog(parent)
{
    setObjectName("RIFFVideo");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setFocusPolicy(Qt::StrongFocus);

    panel1_ = std::make_unique<TPanel>(nullptr);
    Panel1 = panel1_.get();
    Panel1->SetName("Panel1");
    Panel1->SetBevelOuter(bvNone);
    Panel1->SetCaption("");
    Panel1->SetColor(kBarColor);
    Panel2 = Make<TPanel>(Panel1, Panel1, "Panel2", 0, 0, 250, kBarHeight);
    Panel2->SetBevelOuter(bvNone);
    Panel2->SetCaption("");
    Panel2->SetColor(kBarColor);
    PlayButton = Make<THVPanel>(Panel1, Panel2, "PlayButton", 0, 0, kButtonWidth, kBarHeight);
    StopButton = Make<THVPanel>(Panel1, Panel2, "StopButton", 0, 0, kButtonWidth, kBarHeight);
    PauseButton = Make<THVPanel>(Panel1, Panel2, "PauseButton", 0, 0, kButtonWidth, kBarHeight);
    MovieSlider = Make<THVSlider>(Panel1, Panel1, "MovieSlider", 250, 0, 100, kBarHeight);
    SlowButton = Make<THVPanel>(Panel1, Panel2, "SlowButton", 0, 0, kButtonWidth, kBarHeight);
    RepeatButton = Make<THVPanel>(Panel1, Panel2, "RepeatButton", 0, 0, kButtonWidth, kBarHeight);
    CloseButton = Make<THVPanel>(Panel1, Panel2, "CloseButton", 0, 0, kButtonWidth, kBarHeight);
    HostInWidget(Panel1, this);

    WMP = new VideoSurface(this);
    WMP->setObjectName("WMP");
    Timer = new QTimer(this);
    Timer->setInterval(100);
    Timer1 = new QTimer(this);
    Timer1->setInterval(200);
    firstFrameTimer_ = new QTimer(this);
    firstFrameTimer_->setSingleShot(true);
    firstFrameTimer_->setInterval(kFirstFrameTimeoutMs);

    player_ = new QMediaPlayer(this);
    audio_ = new QAudioOutput(this);
    player_->setAudioOutput(audio_);
    player_->setVideoOutput(WMP->Sink());

    auto guarded = [](auto call) { return [call] { CallEventHandler(call); }; };
    connect(Timer, &QTimer::timeout, this, guarded([this] { TimerTimer(); }));
    connect(Timer1, &QTimer::timeout, this, guarded([this] { Timer1Timer(); }));
    connect(firstFrameTimer_, &QTimer::timeout, this, guarded([this] {
                if (WMP->FrameCount() == 0)
                    Fail("no picture came within " + std::to_string(kFirstFrameTimeoutMs / 1000) + " seconds");
            }));
    connect(player_, &QMediaPlayer::playbackStateChanged, this, guarded([this] { UpdateState(); }));
    connect(player_, &QMediaPlayer::mediaStatusChanged, this, guarded([this] { UpdateState(); }));
    connect(player_, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error, const QString& text) {
        CallEventHandler([&] { Fail(text.isEmpty() ? std::string("unknown error") : text.toStdString()); });
    });
    WMP->OnFrame = [this] {
        if (player_->playbackState() == QMediaPlayer::PlayingState)
            playRequested_ = false;
        UpdateState();
    };
    WMP->OnDoubleClick = [this] { CallEventHandler([this] { WMPDoubleClick(); }); };
    WMP->OnKey = [this](QKeyEvent* event) { keyPressEvent(event); };

    PlayButton->OnClick = [this](TObject*) { PlayButtonClick(); };
    StopButton->OnClick = [this](TObject*) { StopButtonClick(); };
    PauseButton->OnClick = [this](TObject*) { PauseButtonClick(); };
    SlowButton->OnClick = [this](TObject*) { SlowButtonClick(); };
    RepeatButton->OnClick = [this](TObject*) { RepeatButtonClick(); };
    CloseButton->OnClick = [this](TObject*) { CloseButtonClick(); };
    MovieSlider->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) { MovieSliderMouseDown(); };
    MovieSlider->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { MovieSliderMouseUp(); };

    FormCreate();
}

TRIFFVideo::~TRIFFVideo()
{
    // Nothing the player or the sink still says may reach a window that is coming apart.
    WMP->OnFrame = nullptr;
    WMP->OnKey = nullptr;
    closing_ = true;
    Timer->stop();
    Timer1->stop();
    firstFrameTimer_->stop();
    player_->disconnect(this);
    player_->stop();
    delete player_;
    player_ = nullptr;
    panel1_.reset();
}

// ---- the player ----

void TRIFFVideo::SetURL(const std::string& file)
{
    player_->setSource(file.empty() ? QUrl() : QUrl::fromLocalFile(QString::fromStdString(ResolveFileName(file))));
}

std::string TRIFFVideo::URL() const
{
    return player_->source().toLocalFile().toStdString();
}

double TRIFFVideo::CurrentPosition() const
{
    // A stopped player is at the start, also after a video ended by itself (where the backend
    // still reports the end).
    if (player_->playbackState() == QMediaPlayer::StoppedState)
        return 0;
    return double(player_->position()) / 1000.0;
}

void TRIFFVideo::SetCurrentPosition(double seconds)
{
    player_->setPosition(qint64(std::llround(std::max(0.0, seconds) * 1000.0)));
}

double TRIFFVideo::Duration() const
{
    return double(player_->duration()) / 1000.0;
}

double TRIFFVideo::Rate() const
{
    return player_->playbackRate();
}

bool TRIFFVideo::FullScreen() const
{
    return WMP->FullScreen();
}

void TRIFFVideo::SetFullScreen(bool fullScreen)
{
    WMP->SetFullScreen(fullScreen);
    if (!fullScreen)
        Layout();
}

int TRIFFVideo::ShowModal()
{
    if (failed_)
        return QDialog::Rejected;
    return exec();
}

void TRIFFVideo::Play()
{
    if (failed_)
        return;
    playRequested_ = true;
    if (WMP->FrameCount() == 0 && !firstFrameTimer_->isActive())
        firstFrameTimer_->start();
    player_->play();
    UpdateState();
}

int TRIFFVideo::ComputeState() const
{
    if (failed_)
        return kStopped;
    switch (player_->playbackState()) {
    case QMediaPlayer::StoppedState:
        return kStopped;
    case QMediaPlayer::PausedState:
        return kPaused;
    case QMediaPlayer::PlayingState:
        break;
    }
    const QMediaPlayer::MediaStatus status = player_->mediaStatus();
    if (status == QMediaPlayer::LoadingMedia || status == QMediaPlayer::StalledMedia || playRequested_)
        return kTransitioning;
    return kPlaying;
}

void TRIFFVideo::UpdateState()
{
    if (player_ == nullptr)
        return;
    if (player_->playbackState() != QMediaPlayer::PlayingState)
        playRequested_ = false;
    const int state = ComputeState();
    if (state == state_)
        return;
    state_ = state;
    WMPPlayStateChange(state);
}

void TRIFFVideo::Fail(const std::string& error)
{
    if (failed_)
        return;
    failed_ = true;
    error_ = error;
    Timer->stop();
    Timer1->stop();
    firstFrameTimer_->stop();
    player_->stop();
    if (_BusyFrm != nullptr)
        _BusyFrm->SetDone(true);
    ShowMessage("Cannot play the video file \"" + URL() + "\":\n" + error);
    if (isVisible())
        close();
}

// ---- creation, placement, layout ----

void TRIFFVideo::FormCreate()
{
    FullScreenPending = false;
    CloseButton->SetVisible(FileExists(_ImagesDir + "CloseVideoMouse.png"));
    Panel2->SetWidth(250 + (CloseButton->Visible() ? 50 : 0));
    Panel2->SetHeight(kBarHeight);
    Panel1->SetHeight(kBarHeight);

    const QRect screen = ScreenRect();
    move(0, 0);
    SizeRatio = kDefaultRatio;
    int height = int(std::trunc(screen.width() / kDefaultRatio + kBarHeight));
    if (screen.height() < height)
        height = screen.height() - 64;
    resize(screen.width(), height);

    int left = 0;
    for (THVPanel* button : {PlayButton, PauseButton, StopButton, SlowButton, RepeatButton, CloseButton}) {
        button->SetBounds(left, 0, kButtonWidth, kBarHeight);
        left += kButtonWidth;
    }
    LoadPictures();
    Layout();
}

void TRIFFVideo::LoadPictures()
{
    // A picture the skin leaves out only leaves that state without one.
    auto picture = [](const std::string& name, auto&& set) {
        if (FileExists(_ImagesDir + name))
            set(_ImagesDir + name);
    };
    const std::pair<THVPanel*, const char*> buttons[] = {{PlayButton, "Play"},   {PauseButton, "Pause"},
                                                         {StopButton, "Stop"},   {SlowButton, "Slow"},
                                                         {RepeatButton, "Repeat"}, {CloseButton, "Close"}};
    for (const auto& [button, prefix] : buttons) {
        if (!button->Visible())
            continue;
        const std::string p = prefix;
        picture(p + "VideoMouse.png", [b = button](const std::string& f) { b->SetPicOnMouseMove(f); });
        picture(p + "VideoPressed.png", [b = button](const std::string& f) { b->SetPicOnMouseDown(f); });
        picture(p + "VideoInitial.png", [b = button](const std::string& f) { b->SetPicOnIdle(f); });
        picture(p + "VideoPressed.png", [b = button](const std::string& f) { b->SetPicOnChecked(f); });
        button->Loaded();
    }
    MovieSlider->SetHorizontal(true);
    THVSlider* s = MovieSlider;
    picture("SliderInitial.png", [s](const std::string& f) { s->SetPicSliderIdle(f); });
    picture("SliderMouse.png", [s](const std::string& f) { s->SetPicSliderMouseDown(f); });
    picture("ScrollbarBackground.png", [s](const std::string& f) { s->SetPicBackgroundMouseMove(f); });
    picture("ScrollbarBackground.png", [s](const std::string& f) { s->SetPicBackgroundIdle(f); });
    picture("ScrollbarLeft.png", [s](const std::string& f) { s->SetPicBackgroundLeft(f); });
    picture("ScrollbarRight.png", [s](const std::string& f) { s->SetPicBackgroundRight(f); });
    MovieSlider->Loaded();
}

void TRIFFVideo::Layout()
{
    const int w = width();
    Panel1->SetBounds(0, 0, w, kBarHeight);
    Panel2->SetBounds(0, 0, Panel2->Width(), kBarHeight);
    const int sliderWidth = std::max(1, w - Panel2->Width());
    if (MovieSlider->Left() != Panel2->Width() || MovieSlider->Width() != sliderWidth) {
        MovieSlider->SetBounds(Panel2->Width(), 0, sliderWidth, kBarHeight);
        // The slider composes its track only when it is loaded: once more for its new width.
        MovieSlider->Loaded();
    }
    if (!WMP->FullScreen())
        WMP->setGeometry(0, kBarHeight, w, std::max(0, height() - kBarHeight));
}

void TRIFFVideo::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    Layout();
}

void TRIFFVideo::PlaceClientHeight(int lowerScreenMargin)
{
    const QRect screen = ScreenRect();
    int height = int(width() / SizeRatio + kBarHeight);
    if (screen.height() < height)
        height = screen.height() - lowerScreenMargin;
    resize(width(), height);
}

void TRIFFVideo::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        CallEventHandler([this] { FormShow(); });
}

void TRIFFVideo::FormShow()
{
    // 0 asks for the default placement; a ratio no window can have gets it too.
    if (!(SizeRatio > 0) || !std::isfinite(SizeRatio)) {
        const QRect screen = ScreenRect();
        move(0, 0);
        resize(screen.width(), height());
        SizeRatio = kDefaultRatio;
    }
    PlaceClientHeight(32);
    Layout();
    setFocus();
    MovieSlider->SetMinPosition(0);
    MovieSlider->SetPosition(0);
    Timer->start();
    MovieSlider->SetMaxPosition(kUnknownDuration);
    Play();
}

// ---- the bar ----

void TRIFFVideo::PlayButtonClick()
{
    Play();
}

void TRIFFVideo::StopButtonClick()
{
    StopButton->SetTag(1);
    player_->stop();
    SetCurrentPosition(0);
}

void TRIFFVideo::PauseButtonClick()
{
    if (CurrentPosition() == 0)
        return;
    if (!PauseButton->Checked()) {
        PauseButton->SetChecked(true);
        player_->pause();
    } else {
        PauseButton->SetChecked(false);
        Play();
    }
}

void TRIFFVideo::SlowButtonClick()
{
    SlowButton->SetChecked(!SlowButton->Checked());
    player_->setPlaybackRate(SlowButton->Checked() ? 0.5 : 1.0);
}

void TRIFFVideo::RepeatButtonClick()
{
    RepeatButton->SetChecked(!RepeatButton->Checked());
}

void TRIFFVideo::CloseButtonClick()
{
    close();
}

void TRIFFVideo::MovieSliderMouseDown()
{
    Timer->stop();
}

void TRIFFVideo::MovieSliderMouseUp()
{
    if (failed_)
        return;
    const bool resume = PlayButton->Checked();
    // Paused, the player shows the frame at the new position. Pausing and seeking can hold this
    // thread for a good part of the 200 ms, so the resume timer counts from the seek's end.
    player_->pause();
    SetCurrentPosition(MovieSlider->Position() * 0.01);
    if (resume)
        Timer1->start();
    else
        Timer1->stop();
    Timer->start();
}

void TRIFFVideo::Timer1Timer()
{
    Timer1->stop();
    Play();
}

void TRIFFVideo::TimerTimer()
{
    if (MovieSlider->MaxPosition() == kUnknownDuration)
        MovieSlider->SetMaxPosition(int(std::trunc(Duration() * 100)));
    const double position = CurrentPosition();
    if (position != LastPosition)
        MovieSlider->SetPosition(int(std::trunc(position * 100)));
    LastPosition = position;
}

void TRIFFVideo::WMPPlayStateChange(int state)
{
    // Only a video that ended by itself starts again; a stop by the user leaves its marker.
    if (state == kStopped && RepeatButton->Checked() && StopButton->Tag() == 0 && !failed_ && !closing_) {
        SetCurrentPosition(0);
        Play();
        return;
    }
    StopButton->SetTag(0);
    if (state == kPlaying && FullScreenPending) {
        SetFullScreen(true);
        FullScreenPending = false;
    }
    PlayButton->SetChecked(state == kPlaying || state == kTransitioning);
    PauseButton->SetChecked(state == kPaused);
    StopButton->SetChecked(state == kStopped);
    if (_BusyFrm != nullptr)
        _BusyFrm->SetDone(state != kTransitioning);
}

void TRIFFVideo::WMPDoubleClick()
{
    SetFullScreen(!FullScreen());
}

// ---- closing and keys ----

void TRIFFVideo::FormCloseQuery()
{
    closing_ = true;
    Timer->stop();
    Timer1->stop();
    firstFrameTimer_->stop();
    player_->stop();
}

void TRIFFVideo::FormClose()
{
    if (CurrentPosition() != 0)
        StopButtonClick();
}

void TRIFFVideo::closeEvent(QCloseEvent* event)
{
    CallEventHandler([this] {
        if (FullScreen())
            SetFullScreen(false);
        FormCloseQuery();
        FormClose();
    });
    event->accept();
    done(QDialog::Accepted);
}

void TRIFFVideo::keyPressEvent(QKeyEvent* event)
{
    // The window takes every key itself: Esc must not end the dialog behind FormKeyDown's back.
    event->accept();
    const TKeyRoute route = RouteKeyEvent(KeyEventDataFromQt(*event));
    if (route.action != TKeyAction::KeyDown)
        return;
    std::uint16_t key = route.key;
    CallEventHandler([&] { FormKeyDown(key, route.shift); });
}

void TRIFFVideo::FormKeyDown(std::uint16_t& key, TShiftState shift)
{
    auto f3 = [&] {
        if (InShift(shift, ssShift))
            SlowButtonClick();
        else
            PauseButtonClick();
    };
    switch (key) {
    case VK_F1 + 1:  // F2
        StopButtonClick();
        break;
    case VK_F1 + 2:  // F3
        f3();
        break;
    case VK_F1 + 3:  // F4
        if (InShift(shift, ssAlt))
            close();
        else
            PlayButtonClick();
        break;
    case VK_F1 + 5:  // F6
        CloseButtonClick();
        break;
    case VK_ESCAPE:
        if (CurrentPosition() == 0)
            close();
        f3();
        break;
    default:
        return;
    }
    key = 0;
}
