#include "platform/ui/KeyboardTaken.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

#if RT_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace {

class TKeyboardTakenWatch : public QObject, public QAbstractNativeEventFilter {
public:
    using QObject::QObject;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) override
    {
#if RT_HAVE_XCB
        if (message == nullptr || eventType != "xcb_generic_event_t")
            return false;
        if ((static_cast<const xcb_generic_event_t*>(message)->response_type & 0x7F) != XCB_FOCUS_IN)
            return false;
        const auto* focus = static_cast<const xcb_focus_in_event_t*>(message);
        // The focus arriving while a grab holds the keyboard gives the window no key yet (its
        // FocusIn on the grab's end follows); one of the pointer's kinds only says where the
        // pointer is while the focus lies elsewhere.
        const bool keysCome = focus->mode == XCB_NOTIFY_MODE_NORMAL || focus->mode == XCB_NOTIFY_MODE_UNGRAB;
        const bool focusHere = focus->detail != XCB_NOTIFY_DETAIL_POINTER &&
                               focus->detail != XCB_NOTIFY_DETAIL_POINTER_ROOT &&
                               focus->detail != XCB_NOTIFY_DETAIL_NONE;
        if (!keysCome || !focusHere)
            return false;
        // Posted: the toolkit has yet to deliver the key events read before this one.
        if (QWidget* widget = QWidget::find(WId(focus->event)); widget != nullptr)
            QCoreApplication::postEvent(widget->window(), new QEvent(KeyboardTakenEvent()));
#endif
        return false;
    }
};

}  // namespace

QEvent::Type KeyboardTakenEvent()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

void InstallKeyboardTakenWatch()
{
    static QPointer<QObject> installed;  // cleared when the application that owns it goes
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || installed != nullptr)
        return;
    auto* watch = new TKeyboardTakenWatch(application);
    application->installNativeEventFilter(watch);
    installed = watch;
}
