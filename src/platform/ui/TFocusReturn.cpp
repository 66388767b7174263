#include "platform/ui/TFocusReturn.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace {

// Top-level windows and dialogs; popups, tool tips and the like never hold the keyboard's
// return address.
bool IsOrdinaryWindow(const QWidget& widget)
{
    if (!widget.isWindow())
        return false;
    const Qt::WindowType type = widget.windowType();
    return type == Qt::Window || type == Qt::Dialog;
}

bool CanTakeKeyboard(const QWidget* window, const QWidget* closing)
{
    return window != nullptr && window != closing && window->isVisible() && !window->isMinimized();
}

class TFocusReturn : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        // Spontaneous ones come from the window system (minimising, restoring): no window of
        // the program opened or closed.
        if ((type != QEvent::Show && type != QEvent::Hide) || event->spontaneous())
            return false;
        auto* window = qobject_cast<QWidget*>(watched);
        if (window == nullptr || !IsOrdinaryWindow(*window))
            return false;
        if (type == QEvent::Show)
            Opened(window);
        else
            Closed(window);
        return false;
    }

private:
    struct TOpening {
        QPointer<QWidget> window;
        QPointer<QWidget> opener;
    };

    void Opened(QWidget* window)
    {
        Forget(window);
        // Recorded even when no window is active (right after another closed, the keyboard may
        // still be on its way): the order of the records finds the window open longest.
        QWidget* active = QApplication::activeWindow();
        openings_.push_back({window, active != window ? active : nullptr});
    }

    void Closed(QWidget* window)
    {
        // Only a window that had the keyboard hands it on; one closed behind the user's back
        // leaves it where it is. The widgets have let go of a closing window before it hears
        // of its hiding; the window system's focus has not moved yet.
        const QWindow* handle = window->windowHandle();
        const bool hadKeyboard = QApplication::activeWindow() == window ||
                                 (handle != nullptr && QGuiApplication::focusWindow() == handle);
        QWidget* next = nullptr;
        for (const TOpening& opening : openings_)
            if (opening.window == window)
                next = opening.opener;
        Forget(window);
        if (!hadKeyboard)
            return;
        if (!CanTakeKeyboard(next, window))
            next = window->parentWidget() != nullptr ? window->parentWidget()->window() : nullptr;
        if (QWidget* modal = QApplication::activeModalWidget(); CanTakeKeyboard(modal, window))
            next = modal;
        if (!CanTakeKeyboard(next, window))
            next = LongestOpen(window);
        if (CanTakeKeyboard(next, window))
            next->activateWindow();
    }

    // The last resort for a window whose opener is gone (or was not known): the window open
    // longest, the program's main window, rather than nothing.
    QWidget* LongestOpen(const QWidget* closing) const
    {
        for (const TOpening& opening : openings_)
            if (CanTakeKeyboard(opening.window, closing))
                return opening.window;
        return nullptr;
    }

    // Drops the record of window, and those of windows that no longer exist.
    void Forget(const QWidget* window)
    {
        openings_.erase(std::remove_if(openings_.begin(), openings_.end(),
                                       [window](const TOpening& o) { return o.window.isNull() || o.window == window; }),
                        openings_.end());
    }

    // Every open ordinary window, in the order shown, with the window active when it was shown.
    std::vector<TOpening> openings_;
};

}  // namespace

void InstallFocusReturn()
{
    static const QString name = QStringLiteral("TFocusReturn");
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || application->findChild<QObject*>(name, Qt::FindDirectChildrenOnly) != nullptr)
        return;
    auto* filter = new TFocusReturn(application);  // the application owns it
    filter->setObjectName(name);
    application->installEventFilter(filter);
}
