#pragma once
// The Qt widget behind a control: shows the control's off-screen canvas, turns the window
// system's mouse, pointer and geometry events into the control's (the pointer's arrival is also a
// move, as a move need not come with it), keeps the control's hover and leave requests
// (TrackMouseEvent), and shows the control's hint with the application's hint timing
// (ApplicationInstance.h) in place of the window system's own. Platform sources only. GUI thread
// only.
#include <QTimer>
#include <QWidget>

#include "platform/ui/MouseTracking.h"
#include "platform/ui/TControl.h"

class ControlWidget final : public QWidget {
public:
    explicit ControlWidget(TControl* control);
    ~ControlWidget() override;

    [[nodiscard]] TControl* Control() const { return control_; }
    // The control is going away: no more calls into it.
    void Detach();
    // Destroys the widget now, or once the event it is handling has returned.
    void Dispose();
    // True while the widget's geometry is being set by its control (its events are not news).
    bool settingGeometry = false;

    // Mouse tracking (see MouseTracking.h).
    void Track(HWND window, DWORD flags, DWORD hoverTime);
    [[nodiscard]] DWORD TrackedFlags() const;
    [[nodiscard]] DWORD HoverTime() const { return hoverTime_; }
    [[nodiscard]] bool PointerInside() const { return pointerInside_; }
    // Makes the widget look again at its control (TControl::RefreshDue) soon after anything was
    // drawn anywhere, while it is visible: drawing on a bitmap sends no notice of its own.
    void SetWatchesDrawing(bool watch);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void Press(QMouseEvent* event, bool isDouble);
    void HoverElapsed();
    // The pointer is no longer over this widget: its leave report and the control's leave event.
    void PointerLeft();
    void PostLeave();
    void SyncGeometry();
    // The pointer is over this widget and not over a child that holds it: the hint's pause begins,
    // unless this widget's pause already runs or its hint was already due.
    void PointerRests();
    void ShowHintNow();

    TControl* control_ = nullptr;
    int eventDepth_ = 0;
    bool disposeLater_ = false;
    HWND trackWindow_ = nullptr;
    bool pointerInside_ = false;
    bool hoverArmed_ = false;
    bool leaveArmed_ = false;
    DWORD hoverTime_ = 400;
    QPoint lastPointer_;
    QTimer hoverTimer_;
    QTimer hintTimer_;
};
