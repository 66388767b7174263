#include "platform/ui/TTimer.h"

#include "platform/ui/ApplicationInstance.h"
#include "platform/ui/EventBridge.h"

#include <QObject>
#include <QTimer>

#include <chrono>

using Clock = std::chrono::steady_clock;

struct TTimer::Impl {
    QTimer timer;
    // The last tick, or the start of the period: the beat that a Wake keeps to.
    Clock::time_point beat;
    // Cleared by the destructor, so a handler that destroys its own timer is noticed.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

TTimer::TTimer(TObject* owner) : owner_(owner)
{
    EnsureApplication();
    impl_ = std::make_unique<Impl>();
    impl_->timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&impl_->timer, &QTimer::timeout, [this, alive = impl_->alive] {
        if (!*alive)
            return;
        impl_->beat = Clock::now();
        // The first tick after a rest came at the beat's distance: back to the full period.
        if (impl_->timer.interval() != int(interval_))
            impl_->timer.start(int(interval_));
        CallEventHandler([this] { Timer(); });
    });
}

TTimer::~TTimer()
{
    *impl_->alive = false;
    impl_->timer.stop();
}

void TTimer::SetEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    UpdateTimer();
}

void TTimer::SetInterval(int interval)
{
    const unsigned value = interval < 0 ? 0u : unsigned(interval);
    if (value == interval_)
        return;
    interval_ = value;
    UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler)
{
    onTimer_ = std::move(handler);
    UpdateTimer();
}

void TTimer::Timer()
{
    // A copy: the handler may replace itself.
    const TNotifyEvent handler = onTimer_;
    if (handler)
        handler(this);
}

void TTimer::Rest()
{
    if (resting_ || !impl_->timer.isActive())
        return;
    resting_ = true;
    impl_->timer.stop();
}

void TTimer::Wake()
{
    if (!resting_)
        return;
    resting_ = false;
    const auto period = std::chrono::milliseconds(interval_);
    const auto left = period - (Clock::now() - impl_->beat) % period;
    impl_->timer.start(int(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
}

int TTimer::NextTickIn() const
{
    return impl_->timer.isActive() ? impl_->timer.remainingTime() : -1;
}

void TTimer::UpdateTimer()
{
    resting_ = false;
    impl_->timer.stop();
    if (enabled_ && interval_ > 0 && onTimer_) {
        impl_->beat = Clock::now();
        impl_->timer.start(int(interval_));
    }
}
