#include "platform/ui/VirtualKeysQt.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace {

TShiftState ShiftFromQt(Qt::KeyboardModifiers modifiers)
{
    TShiftState shift = 0;
    if (modifiers.testFlag(Qt::ShiftModifier))
        shift |= ssShift;
    if (modifiers.testFlag(Qt::AltModifier))
        shift |= ssAlt;
    if (modifiers.testFlag(Qt::ControlModifier))
        shift |= ssCtrl;
    return shift;
}

THeldModifiersQuery& Query()
{
    static THeldModifiersQuery query;
    return query;
}

}  // namespace

TKeyEventData KeyEventDataFromQt(const QKeyEvent& event)
{
    TKeyEventData data;
    data.press = event.type() != QEvent::KeyRelease;
    data.autoRepeat = event.isAutoRepeat();
    data.toolkitKey = event.key();
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    data.keypad = modifiers.testFlag(Qt::KeypadModifier);
    data.shift = ShiftFromQt(modifiers);
    data.nativeScanCode = event.nativeScanCode();
    data.nativeKeySym = event.nativeVirtualKey();
    data.time = event.timestamp();
    return data;
}

TShiftState HeldModifiers()
{
    if (Query())
        return Query()();
    return ShiftFromQt(QGuiApplication::queryKeyboardModifiers());
}

THeldModifiersQuery SetHeldModifiersQuery(THeldModifiersQuery query)
{
    THeldModifiersQuery old = std::move(Query());
    Query() = std::move(query);
    return old;
}
