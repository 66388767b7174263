#include "platform/ui/TAutoRepeatFilter.h"

TFilteredKey TAutoRepeatFilter::Feed(const TKeyEventData& event)
{
    TFilteredKey out;
    if (held_) {
        if (event.press && event.nativeScanCode == held_->nativeScanCode && event.time == held_->time) {
            held_.reset();
            TKeyEventData repeat = event;
            repeat.autoRepeat = true;
            out.route = RouteKeyEvent(repeat);
            return out;
        }
        out.heldRelease = TakeHeldRelease();
    }
    TKeyRoute route = RouteKeyEvent(event);
    if (route.action == TKeyAction::KeyUp && event.nativeScanCode != 0) {
        held_ = event;
        return out;
    }
    out.route = route;
    return out;
}

std::optional<TKeyRoute> TAutoRepeatFilter::TakeHeldRelease()
{
    if (!held_)
        return std::nullopt;
    const TKeyRoute route = RouteKeyEvent(*held_);
    held_.reset();
    return route;
}
