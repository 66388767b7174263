#include "platform/ui/TKeyEventRouter.h"

#include "platform/ui/VirtualKeysQt.h"

#include <QKeyEvent>
#include <QTimer>

#include <algorithm>

TKeyEventRouter::TKeyEventRouter(THandler handler)
    : handler_(std::move(handler)), deadline_(std::make_unique<QTimer>())
{
    deadline_->setSingleShot(true);
    deadline_->setTimerType(Qt::PreciseTimer);
    deadline_->setInterval(TAutoRepeatFilter::kHoldMilliseconds);
    QObject::connect(deadline_.get(), &QTimer::timeout, [this] { Flush(); });
}

TKeyEventRouter::~TKeyEventRouter() = default;

bool TKeyEventRouter::Route(const QKeyEvent& event)
{
    const TFilteredKey filtered = filter_.Feed(KeyEventDataFromQt(event));
    // Settled before the handler runs: it may open a nested event loop.
    if (filter_.Holding())
        deadline_->start();
    else
        deadline_->stop();
    if (filtered.heldRelease)
        (void)handler_(*filtered.heldRelease);
    if (filtered.route.action == TKeyAction::Ignore)
        return true;
    return handler_(filtered.route);
}

void TKeyEventRouter::Flush()
{
    deadline_->stop();
    if (const std::optional<TKeyRoute> release = filter_.TakeHeldRelease())
        (void)handler_(*release);
}

int TKeyEventRouter::HoldRemainingMs() const
{
    return filter_.Holding() ? std::max(deadline_->remainingTime(), 0) : -1;
}
