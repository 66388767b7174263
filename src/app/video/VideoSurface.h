#pragma once
// The picture of a playing video: the frames a QVideoSink receives, painted scaled to fit with
// black bars, so that the window can be grabbed like any other widget. It can leave its window to
// cover the screen and come back (the player's full-screen mode).
//
// Thread: GUI thread only (the sink delivers its frames there). Ownership: the sink belongs to the
// surface; the player that feeds it is the caller's.
#include <QImage>
#include <QWidget>

#include <functional>

class QVideoSink;
class QVideoFrame;

class VideoSurface : public QWidget {
    Q_OBJECT

public:
    explicit VideoSurface(QWidget* parent);
    ~VideoSurface() override;

    [[nodiscard]] QVideoSink* Sink() const { return sink_; }
    // The last frame received (null before the first) and how many frames came.
    [[nodiscard]] const QImage& LastFrame() const { return frame_; }
    [[nodiscard]] int FrameCount() const { return frames_; }

    // true: a frameless window over the whole screen; false: back inside its parent.
    void SetFullScreen(bool fullScreen);
    [[nodiscard]] bool FullScreen() const { return fullScreen_; }

    std::function<void()> OnDoubleClick;
    std::function<void()> OnFrame;
    // Keys while the surface is a window of its own (its parent window then gets none).
    std::function<void(QKeyEvent*)> OnKey;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FrameChanged(const QVideoFrame& frame);

    QVideoSink* sink_ = nullptr;
    QImage frame_;
    int frames_ = 0;
    bool fullScreen_ = false;
    QRect normalGeometry_;
};
