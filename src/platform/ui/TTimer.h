#pragma once
// The class library's timer: calls OnTimer every Interval milliseconds on the GUI thread's event
// loop while it is enabled. It ticks only while Enabled is true, Interval is above 0 and OnTimer
// is set; changing any of them restarts the period. Ticks that fall due while the GUI thread is
// busy are not queued up: one tick follows when it is free again. A timer that polls for work
// may rest while there is none: no ticks, no wake-ups, until its owner wakes it.
//
// Thread: GUI thread only (create, change and destroy it there). Failure: an exception that
// escapes OnTimer is shown as the class library's exception box shows it (EventBridge) and does
// not stop the timer. A handler may change or destroy its own timer.
#include "platform/ui/TControl.h"

#include <memory>

class TTimer : public TObject {
public:
    // owner is kept for the form that holds the timer; the timer does not depend on it.
    explicit TTimer(TObject* owner = nullptr);
    ~TTimer() override;
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    [[nodiscard]] bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // Milliseconds; 1000 at construction; negative counts as 0 (no ticks).
    [[nodiscard]] unsigned Interval() const { return interval_; }
    void SetInterval(int interval);
    [[nodiscard]] const TNotifyEvent& OnTimer() const { return onTimer_; }
    void SetOnTimer(TNotifyEvent handler);
    [[nodiscard]] TObject* Owner() const { return owner_; }

    // Rest stops the ticks of a ticking timer while it stays enabled. Wake ends a rest: the next
    // tick comes on the first beat of the old period after now (counted from the last tick), as
    // it would have come had the timer never rested; Wake on a timer not resting does nothing.
    // SetEnabled, SetInterval and SetOnTimer end a rest as they restart the period.
    void Rest();
    void Wake();
    [[nodiscard]] bool Resting() const { return resting_; }
    // Milliseconds until the next tick is due (0 when overdue); -1 while none is (not ticking or
    // resting).
    [[nodiscard]] int NextTickIn() const;

protected:
    // Raises OnTimer with the timer as sender.
    virtual void Timer();

private:
    struct Impl;
    void UpdateTimer();

    std::unique_ptr<Impl> impl_;
    TObject* owner_ = nullptr;
    bool enabled_ = true;
    bool resting_ = false;
    unsigned interval_ = 1000;
    TNotifyEvent onTimer_;
};
