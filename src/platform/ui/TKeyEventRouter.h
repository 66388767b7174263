#pragma once
// For the application's windows (Qt widgets): routes a window's Qt key events through
// TAutoRepeatFilter and hands each key-down and key-up to the window's handler. A release held
// back is always delivered: before the next key event's own route, when the hold's deadline
// passes (a timer of the event loop), or when the window calls Flush.
//
// GUI thread only; the handler runs there, also from the deadline's timer, and may open nested
// event loops.
#include "platform/ui/TAutoRepeatFilter.h"

#include <functional>
#include <memory>

class QKeyEvent;
class QTimer;

class TKeyEventRouter {
public:
    // Acts on one key-down or key-up; returns true when the key went no further (consumed).
    using THandler = std::function<bool(const TKeyRoute& route)>;

    explicit TKeyEventRouter(THandler handler);
    ~TKeyEventRouter();
    TKeyEventRouter(const TKeyEventRouter&) = delete;
    TKeyEventRouter& operator=(const TKeyEventRouter&) = delete;

    // Routes one key event of the window. Returns true when the event goes no further: the
    // handler consumed the key, or the event is no key-down or key-up of its own (a repeat's
    // release, a release held back, a key without a code).
    bool Route(const QKeyEvent& event);
    // Delivers a held-back release now (other input reached the window, or it is about to
    // lose the keyboard).
    void Flush();
    // How much longer the release held back now waits for its repeat press, in milliseconds (0
    // when its deadline is overdue); -1 when no release is held back.
    [[nodiscard]] int HoldRemainingMs() const;

private:
    TAutoRepeatFilter filter_;
    THandler handler_;
    std::unique_ptr<QTimer> deadline_;
};
