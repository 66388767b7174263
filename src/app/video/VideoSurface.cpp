#include "app/video/VideoSurface.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QVideoFrame>
#include <QVideoSink>

#include <utility>

VideoSurface::VideoSurface(QWidget* parent) : QWidget(parent), sink_(new QVideoSink(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    connect(sink_, &QVideoSink::videoFrameChanged, this, &VideoSurface::FrameChanged);
}

VideoSurface::~VideoSurface() = default;

void VideoSurface::FrameChanged(const QVideoFrame& frame)
{
    // An invalid frame marks the end of a stream: the last picture stays.
    if (!frame.isValid())
        return;
    pending_ = frame;
    if (showQueued_)
        return;
    showQueued_ = true;
    QMetaObject::invokeMethod(this, &VideoSurface::ShowPendingFrame, Qt::QueuedConnection);
}

void VideoSurface::ShowPendingFrame()
{
    showQueued_ = false;
    const QVideoFrame frame = std::exchange(pending_, QVideoFrame());
    if (!frame.isValid())
        return;
    QImage image = frame.toImage();
    if (image.isNull())
        return;
    frame_ = std::move(image);
    ++frames_;
    update();
    if (OnFrame)
        OnFrame();
}

void VideoSurface::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (frame_.isNull())
        return;
    QSize size = frame_.size().scaled(this->size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, frame_);
}

void VideoSurface::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    if (OnDoubleClick)
        OnDoubleClick();
}

void VideoSurface::keyPressEvent(QKeyEvent* event)
{
    if (fullScreen_ && OnKey) {
        OnKey(event);
        return;
    }
    QWidget::keyPressEvent(event);
}

void VideoSurface::SetFullScreen(bool fullScreen)
{
    if (fullScreen == fullScreen_)
        return;
    fullScreen_ = fullScreen;
    if (fullScreen) {
        normalGeometry_ = geometry();
        // Still a child of its window, so a modal window keeps giving it input.
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        setFocusPolicy(Qt::StrongFocus);
        // Without a window manager nothing else would make the window cover the screen.
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            setGeometry(screen->geometry());
        showFullScreen();
        activateWindow();
        setFocus();
    } else {
        setWindowFlags(Qt::Widget);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(normalGeometry_);
        show();
    }
}
