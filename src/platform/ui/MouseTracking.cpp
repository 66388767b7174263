#include "platform/ui/MouseTracking.h"

#include <QPointer>

#include <map>

#include "platform/ui/ControlWidget.h"
#include "platform/ui/ControlsInternal.h"

namespace {

std::map<HWND, QPointer<ControlWidget>>& Tracked()
{
    static std::map<HWND, QPointer<ControlWidget>> tracked;
    return tracked;
}

}  // namespace

void RegisterTrackedWindow(HWND window, ControlWidget* widget) { Tracked()[window] = widget; }

void UnregisterTrackedWindow(HWND window) { Tracked().erase(window); }

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track)
{
    if (!track || track->cbSize != sizeof(TRACKMOUSEEVENT))
        return FALSE;
    auto it = Tracked().find(track->hwndTrack);
    if (it == Tracked().end() || !it->second)
        return FALSE;
    ControlWidget* widget = it->second;
    if (track->dwFlags & TME_QUERY) {
        track->dwFlags = widget->TrackedFlags();
        track->dwHoverTime = widget->HoverTime();
        return TRUE;
    }
    widget->Track(track->hwndTrack, track->dwFlags, track->dwHoverTime);
    return TRUE;
}
