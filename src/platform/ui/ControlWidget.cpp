#include "platform/ui/ControlWidget.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QToolTip>

#include "platform/ui/ApplicationInstance.h"
#include "platform/ui/ControlsInternal.h"
#include "platform/drawing/GdiInternal.h"

namespace {

// The widget whose hint the pointer is resting on: the innermost one it entered. A parent keeps
// its pointer-inside state while the pointer is over a child, so only this one may show its hint.
QPointer<QWidget> hintedWidget;

bool ButtonOf(Qt::MouseButton qt, TMouseButton& button)
{
    switch (qt) {
    case Qt::LeftButton: button = mbLeft; return true;
    case Qt::RightButton: button = mbRight; return true;
    case Qt::MiddleButton: button = mbMiddle; return true;
    default: return false;
    }
}

TShiftState ShiftOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons)
{
    TShiftState shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= ssShift;
    if (modifiers & Qt::AltModifier)
        shift |= ssAlt;
    if (modifiers & Qt::ControlModifier)
        shift |= ssCtrl;
    if (buttons & Qt::LeftButton)
        shift |= ssLeft;
    if (buttons & Qt::RightButton)
        shift |= ssRight;
    if (buttons & Qt::MiddleButton)
        shift |= ssMiddle;
    return shift;
}

LPARAM PackPoint(QPoint p) { return LPARAM((p.x() & 0xFFFF) | ((p.y() & 0xFFFF) << 16)); }

// Widgets whose controls show bitmaps that may be drawn on (SetWatchesDrawing).
std::vector<ControlWidget*>& DrawingWatchers()
{
    static std::vector<ControlWidget*> watching;
    return watching;
}

// One look is due at a time, however many writes asked for it; drawing costs a flag test.
std::atomic<bool> lookPending{false};

void LookAgain()
{
    lookPending.store(false, std::memory_order_release);
    // A control may go away while another repaints: the list is read afresh each time.
    std::vector<ControlWidget*>& watching = DrawingWatchers();
    for (std::size_t i = 0; i < watching.size(); ++i) {
        ControlWidget* widget = watching[i];
        TControl* control = widget->Control();
        if (control && widget->isVisible() && control->RefreshDue())
            control->Invalidate();
    }
}

// The drawing layer's write observer: any thread, any moment.
void DrawingNoticed()
{
    if (lookPending.load(std::memory_order_relaxed) || lookPending.exchange(true, std::memory_order_acq_rel))
        return;
    QCoreApplication* application = QCoreApplication::instance();
    if (!application || !QMetaObject::invokeMethod(application, &LookAgain, Qt::QueuedConnection))
        lookPending.store(false, std::memory_order_release);
}

}  // namespace

ControlWidget::ControlWidget(TControl* control) : control_(control)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    hoverTimer_.setSingleShot(true);
    QObject::connect(&hoverTimer_, &QTimer::timeout, this, [this] { HoverElapsed(); });
    hintTimer_.setSingleShot(true);
    QObject::connect(&hintTimer_, &QTimer::timeout, this, [this] { ShowHintNow(); });
}

ControlWidget::~ControlWidget()
{
    SetWatchesDrawing(false);
    if (trackWindow_)
        UnregisterTrackedWindow(trackWindow_);
}

void ControlWidget::Detach()
{
    control_ = nullptr;
    hoverTimer_.stop();
    SetWatchesDrawing(false);
    hintTimer_.stop();
}

void ControlWidget::Dispose()
{
    Detach();
    hide();
    if (eventDepth_ > 0) {
        disposeLater_ = true;
        return;
    }
    delete this;
}

bool ControlWidget::event(QEvent* e)
{
    // This one destroys the widget: nothing may be touched after it.
    if (e->type() == QEvent::DeferredDelete)
        return QWidget::event(e);
    // The window system's hint comes after its own pause; ours follows the application's timing.
    if (e->type() == QEvent::ToolTip) {
        e->ignore();
        return true;
    }
    ++eventDepth_;
    // A window blocked by a modal one gets no more pointer events, its leave included: the
    // pointer belongs to the modal window now, wherever it is.
    if (e->type() == QEvent::WindowBlocked && pointerInside_)
        PointerLeft();
    const bool handled = QWidget::event(e);
    --eventDepth_;
    if (disposeLater_ && eventDepth_ == 0) {
        disposeLater_ = false;
        // Qt still touches the receiver after this returns.
        deleteLater();
    }
    return handled;
}

void ControlWidget::paintEvent(QPaintEvent*)
{
    if (!control_)
        return;
    ControlAccess::Paint(control_);
    if (!control_)
        return;
    QPainter painter(this);
    if (const QImage* image = ControlAccess::Surface(control_))
        painter.drawImage(0, 0, *image);
}

void ControlWidget::Press(QMouseEvent* e, bool isDouble)
{
    TMouseButton button;
    if (!control_ || !ButtonOf(e->button(), button))
        return;
    const QPoint p = e->position().toPoint();
    ControlAccess::MousePress(control_, button, ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y(), isDouble);
}

void ControlWidget::mousePressEvent(QMouseEvent* e)
{
    hintTimer_.stop();
    Press(e, false);
}

void ControlWidget::mouseDoubleClickEvent(QMouseEvent* e) { Press(e, true); }

void ControlWidget::mouseReleaseEvent(QMouseEvent* e)
{
    TMouseButton button;
    if (!control_ || !ButtonOf(e->button(), button))
        return;
    const QPoint p = e->position().toPoint();
    ControlAccess::MouseRelease(control_, button, ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y());
}

void ControlWidget::mouseMoveEvent(QMouseEvent* e)
{
    if (!control_)
        return;
    const QPoint p = e->position().toPoint();
    if (p != lastPointer_ && hoverArmed_ && pointerInside_)
        hoverTimer_.start(int(hoverTime_));
    lastPointer_ = p;
    PointerRests();
    ControlAccess::MouseMove(control_, ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y());
}

void ControlWidget::enterEvent(QEnterEvent* e)
{
    pointerInside_ = true;
    lastPointer_ = e->position().toPoint();
    if (hoverArmed_)
        hoverTimer_.start(int(hoverTime_));
    PointerRests();
    if (control_)
        ControlAccess::Enter(control_);
    // The pointer's arrival is a move for the control (its hover look, its leave report), also
    // when the window system sends no move with it: after a modal window closed, or with a press.
    if (control_) {
        const QPoint p = e->position().toPoint();
        ControlAccess::MouseMove(control_, ShiftOf(QGuiApplication::keyboardModifiers(), QGuiApplication::mouseButtons()),
                                 p.x(), p.y());
    }
}

void ControlWidget::leaveEvent(QEvent*) { PointerLeft(); }

void ControlWidget::PointerLeft()
{
    pointerInside_ = false;
    hoverTimer_.stop();
    hintTimer_.stop();
    if (hintedWidget == this)
        hintedWidget = nullptr;
    if (leaveArmed_)
        PostLeave();
    if (control_)
        ControlAccess::Leave(control_);
}

void ControlWidget::resizeEvent(QResizeEvent*) { SyncGeometry(); }

void ControlWidget::moveEvent(QMoveEvent*) { SyncGeometry(); }

void ControlWidget::SyncGeometry()
{
    if (settingGeometry || !control_)
        return;
    const QRect g = geometry();
    ControlAccess::Geometry(control_, g.x(), g.y(), g.width(), g.height());
}

void ControlWidget::Track(HWND window, DWORD flags, DWORD hoverTime)
{
    if (flags & TME_CANCEL) {
        if (flags & TME_HOVER) {
            hoverArmed_ = false;
            hoverTimer_.stop();
        }
        if (flags & TME_LEAVE)
            leaveArmed_ = false;
        return;
    }
    trackWindow_ = window;
    if (flags & TME_HOVER) {
        hoverArmed_ = true;
        hoverTime_ = hoverTime == HOVER_DEFAULT ? 400 : hoverTime;
        if (pointerInside_)
            hoverTimer_.start(int(hoverTime_));
    }
    if (flags & TME_LEAVE) {
        if (pointerInside_)
            leaveArmed_ = true;
        else
            PostLeave();
    }
}

DWORD ControlWidget::TrackedFlags() const
{
    return (hoverArmed_ ? TME_HOVER : 0) | (leaveArmed_ ? TME_LEAVE : 0);
}

void ControlWidget::HoverElapsed()
{
    if (!pointerInside_ || !hoverArmed_ || !trackWindow_)
        return;
    hoverArmed_ = false;
    PostMessage(trackWindow_, WM_MOUSEHOVER, 0, PackPoint(lastPointer_));
}

void ControlWidget::PostLeave()
{
    // The leave report ends every request of the window.
    leaveArmed_ = false;
    hoverArmed_ = false;
    hoverTimer_.stop();
    if (trackWindow_)
        PostMessage(trackWindow_, WM_MOUSELEAVE, 0, 0);
}

void ControlWidget::SetWatchesDrawing(bool watch)
{
    std::vector<ControlWidget*>& watching = DrawingWatchers();
    const auto found = std::find(watching.begin(), watching.end(), this);
    if (!watch) {
        if (found != watching.end())
            watching.erase(found);
        return;
    }
    if (found == watching.end())
        watching.push_back(this);
    GdiSetWriteObserver(&DrawingNoticed);
    // What was drawn before the widget watched is looked at too.
    DrawingNoticed();
}

void ControlWidget::PointerRests()
{
    if (hintedWidget == this)
        return;
    hintedWidget = this;
    hintTimer_.start(Application().NextHintPause());
}

void ControlWidget::ShowHintNow()
{
    if (hintedWidget != this || !pointerInside_ || !control_ || toolTip().isEmpty() || !isVisible())
        return;
    QToolTip::showText(mapToGlobal(lastPointer_), toolTip(), this, rect(), Application().HintHidePause());
}
