#pragma once
// The picture of a playing video: the frames a QVideoSink receives, painted scaled to fit with
// black bars, so that the window can be grabbed like any other widget. It can leave its window to
// cover the screen and come back (the player's full-screen mode).
//
// Thread: GUI thread only (the sink delivers its frames there). Ownership: the sink belongs to the
// surface; the player that feeds it is the caller's.
//
// A frame is only kept when the sink delivers it and is converted and shown from the event loop
// afterwards: the player's streaming thread waits for each delivery and ends the stream ("Internal
// data stream error") when one takes longer than a few hundred milliseconds, which the first
// conversion (it sets up the graphics) or a busy machine can take. Frames that arrive while one
// waits to be shown replace it.
#include <QImage>
#include <QVideoFrame>
#include <QWidget>

#include <functional>

class QVideoSink;

class VideoSurface : public QWidget {
    Q_OBJECT

public:
    explicit VideoSurface(QWidget* parent);
    ~VideoSurface() override;

    [[nodiscard]] QVideoSink* Sink() const { return sink_; }
    // The last frame shown (null before the first) and how many frames were shown.
    [[nodiscard]] const QImage& LastFrame() const { return frame_; }
    [[nodiscard]] int FrameCount() const { return frames_; }

    // true: a frameless window over the whole screen; false: back inside its parent.
    void SetFullScreen(bool fullScreen);
    [[nodiscard]] bool FullScreen() const { return fullScreen_; }

    std::function<void()> OnDoubleClick;
    // After a new frame is shown; runs from the event loop, never inside the sink's delivery.
    std::function<void()> OnFrame;
    // Keys while the surface is a window of its own (its parent window then gets none).
    std::function<void(QKeyEvent*)> OnKey;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FrameChanged(const QVideoFrame& frame);
    void ShowPendingFrame();

    QVideoSink* sink_ = nullptr;
    QVideoFrame pending_;  // delivered, not yet shown
    bool showQueued_ = false;
    QImage frame_;
    int frames_ = 0;
    bool fullScreen_ = false;
    QRect normalGeometry_;
};
