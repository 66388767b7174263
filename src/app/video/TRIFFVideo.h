#pragma once
// The window that plays a riff's video or a tutorial video: a skinned bar on top (play, pause,
// stop, slow, repeat, close and a position slider) and the video below it. The opener sets the
// media, the caption, the hints and the size ratio, then shows it modally; the window lives only
// while it is shown.
//
// The player's states are reduced to four: 1 stopped, 2 paused, 3 playing, 9 transitioning
// (media loading or stalled, or a play request whose first picture has not come yet). Every
// change of that state runs WMPPlayStateChange, which checks the buttons, restarts a video that
// ended by itself while repeat is on, and ties the busy window's done flag to state 9.
//
// Thread: GUI thread only. Ownership: the window owns its bar, its timers and its player; the
// timers are its children, so none outlives it. Failure: a video that cannot be played (a broken
// file, a missing decoder, or no picture within kFirstFrameTimeoutMs) shows "Cannot play the video
// file" with the file and the player's error, and the window closes.
#include <QDialog>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/TShiftState.h"

class QAudioOutput;
class QMediaPlayer;
class QTimer;
class THVPanel;
class THVSlider;
class TPanel;
class VideoSurface;

class TRIFFVideo : public QDialog {
    Q_OBJECT

public:
    static constexpr int kStopped = 1;
    static constexpr int kPaused = 2;
    static constexpr int kPlaying = 3;
    static constexpr int kTransitioning = 9;
    static constexpr int kBarHeight = 44;
    static constexpr int kUnknownDuration = 9999;  // slider maximum until the duration is read
    static constexpr int kFirstFrameTimeoutMs = 15000;

    // Runs FormCreate: the bar, its pictures from the images folder (_ImagesDir) and the default
    // placement.
    explicit TRIFFVideo(QWidget* parent = nullptr);
    ~TRIFFVideo() override;

    // ---- the player ----
    // The media address; URL() reads it back from the player (empty when none is set).
    void SetURL(const std::string& file);
    [[nodiscard]] std::string URL() const;
    [[nodiscard]] int PlayState() const { return state_; }
    [[nodiscard]] double CurrentPosition() const;  // seconds
    void SetCurrentPosition(double seconds);
    [[nodiscard]] double Duration() const;         // seconds; 0 while unknown
    [[nodiscard]] double Rate() const;
    [[nodiscard]] bool FullScreen() const;
    void SetFullScreen(bool fullScreen);
    // The player's error text, empty while none happened.
    [[nodiscard]] const std::string& PlayerError() const { return error_; }

    // Shows the window modally; returns the dialog's result (QDialog::Accepted after a close).
    int ShowModal();

    // ---- the window's fields ----
    float SizeRatio = 0;           // width / height of the video area; 0: default placement
    double LastPosition = 0;       // seconds, seen at the previous position tick
    bool FullScreenPending = false;

    // ---- handlers ----
    void FormCreate();
    void FormShow();
    void PlayButtonClick();
    void StopButtonClick();
    void PauseButtonClick();
    void SlowButtonClick();
    void RepeatButtonClick();
    void CloseButtonClick();
    void MovieSliderMouseDown();
    void MovieSliderMouseUp();
    void TimerTimer();
    void Timer1Timer();
    void WMPPlayStateChange(int state);
    void WMPDoubleClick();
    void FormCloseQuery();
    void FormClose();
    // The window's keys (previewed from every control); key becomes 0 when used.
    void FormKeyDown(std::uint16_t& key, TShiftState shift);

    // ---- controls ----
    TPanel* Panel1 = nullptr;
    TPanel* Panel2 = nullptr;
    QTimer* Timer = nullptr;   // position, 100 ms
    THVPanel* PlayButton = nullptr;
    THVPanel* StopButton = nullptr;
    THVPanel* PauseButton = nullptr;
    THVSlider* MovieSlider = nullptr;
    VideoSurface* WMP = nullptr;
    THVPanel* SlowButton = nullptr;
    QTimer* Timer1 = nullptr;  // resume after a seek, 200 ms
    THVPanel* RepeatButton = nullptr;
    THVPanel* CloseButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Layout();
    void LoadPictures();
    void Play();
    void UpdateState();
    [[nodiscard]] int ComputeState() const;
    void Fail(const std::string& error);
    void PlaceClientHeight(int lowerScreenMargin);

    std::unique_ptr<TPanel> panel1_;
    QMediaPlayer* player_ = nullptr;
    QAudioOutput* audio_ = nullptr;
    QTimer* firstFrameTimer_ = nullptr;
    int state_ = 0;
    bool playRequested_ = false;  // a play request whose first picture has not come yet
    bool failed_ = false;
    bool closing_ = false;
    std::string error_;
};
