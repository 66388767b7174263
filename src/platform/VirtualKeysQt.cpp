#include "platform/VirtualKeysQt.h"

#include <QKeyEvent>

TKeyEventData KeyEventDataFromQt(const QKeyEvent& event)
{
    TKeyEventData data;
    data.press = event.type() != QEvent::KeyRelease;
    data.autoRepeat = event.isAutoRepeat();
    data.toolkitKey = event.key();
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    data.keypad = modifiers.testFlag(Qt::KeypadModifier);
    if (modifiers.testFlag(Qt::ShiftModifier))
        data.shift |= ssShift;
    if (modifiers.testFlag(Qt::AltModifier))
        data.shift |= ssAlt;
    if (modifiers.testFlag(Qt::ControlModifier))
        data.shift |= ssCtrl;
    data.nativeScanCode = event.nativeScanCode();
    data.nativeKeySym = event.nativeVirtualKey();
    return data;
}
