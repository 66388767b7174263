#pragma once
// Hover and leave reports for a window control, as Windows' TrackMouseEvent gives them.
// GUI thread only.
//
// A hover request is kept until the pointer has rested on the window for the hover time; the
// window then receives WM_MOUSEHOVER (posted) and the hover request ends. A leave request made
// while the pointer is over the window posts WM_MOUSELEAVE when the pointer leaves it, and that
// report ends every request of the window; made while the pointer is elsewhere, it posts
// WM_MOUSELEAVE at once. Pressed buttons hold the pointer to the window (mouse capture), so the
// leave comes when they are released outside. A window that a modal window blocks has lost the
// pointer.
#include "platform/drawing/Gdi.h"
#include "platform/ui/WindowMessages.h"

constexpr UINT WM_MOUSEHOVER = 0x02A1;
constexpr UINT WM_MOUSELEAVE = 0x02A3;

constexpr DWORD TME_HOVER = 0x00000001;
constexpr DWORD TME_LEAVE = 0x00000002;
constexpr DWORD TME_NONCLIENT = 0x00000010;
constexpr DWORD TME_QUERY = 0x40000000;
constexpr DWORD TME_CANCEL = 0x80000000;
constexpr DWORD HOVER_DEFAULT = 0xFFFFFFFF;

struct TRACKMOUSEEVENT {
    DWORD cbSize = sizeof(TRACKMOUSEEVENT);
    DWORD dwFlags = 0;
    HWND hwndTrack = nullptr;
    DWORD dwHoverTime = 0;  // milliseconds; HOVER_DEFAULT means the system's 400 ms
};

// Arms (or with TME_CANCEL drops) the requests in dwFlags for hwndTrack, which must be the
// handle of a window control. TME_QUERY fills the record with the requests in force. FALSE for
// a null record, a wrong cbSize or a handle that names no window control.
BOOL TrackMouseEvent(TRACKMOUSEEVENT* track);
