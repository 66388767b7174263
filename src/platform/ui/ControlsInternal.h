#pragma once
// The widget behind a control, for the platform layer's own sources and for the application's
// Qt forms (this header includes Qt). A Qt form hosts a control by giving it a parent widget;
// a control hosts Qt widgets by being their parent widget. GUI thread only.
#include <QWidget>

#include "platform/ui/TControl.h"

class ControlWidget;

// The widget that shows the control; owned by the control, alive as long as it is.
[[nodiscard]] QWidget* WidgetOf(const TControl* control);
// The control a widget shows, or null for any other widget.
[[nodiscard]] TControl* ControlOf(const QWidget* widget);
// Places a control without a parent control inside a Qt widget (null: no widget), at its
// Left and Top.
void HostInWidget(TControl* control, QWidget* parent);

// What the widget calls on its control; every call goes through the event bridge.
class ControlAccess {
public:
    static void Paint(TControl* control);  // paints when marked
    static QImage* Surface(TControl* control);
    static void MousePress(TControl* control, TMouseButton button, TShiftState shift, int x, int y, bool isDouble);
    static void MouseRelease(TControl* control, TMouseButton button, TShiftState shift, int x, int y);
    static void MouseMove(TControl* control, TShiftState shift, int x, int y);
    static void Enter(TControl* control);
    static void Leave(TControl* control);
    // The window system changed the widget's geometry (a top-level window moved or resized).
    static void Geometry(TControl* control, int left, int top, int width, int height);
    [[nodiscard]] static ControlWidget* Widget(const TControl* control);
    static void SetHost(TControl* control, QWidget* host);
};

// Mouse tracking's view of window controls: the widget that reports for a handle.
void RegisterTrackedWindow(HWND window, ControlWidget* widget);
void UnregisterTrackedWindow(HWND window);
