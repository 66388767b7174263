#include "platform/ui/HintTiming.h"

#include "platform/ui/ApplicationInstance.h"

#include <QChildEvent>
#include <QCursor>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QToolTip>
#include <QWidget>

namespace {

class HintTiming : public QObject {
public:
    explicit HintTiming(QWidget* window) : QObject(window), window_(window)
    {
        setObjectName(Name());
        timer_.setSingleShot(true);
        connect(&timer_, &QTimer::timeout, this, [this] { Show(); });
        Watch(window);
    }

    static QString Name() { return QStringLiteral("HintTiming"); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        auto* widget = static_cast<QWidget*>(watched);  // only widgets are watched
        switch (e->type()) {
        case QEvent::ToolTip:
            return true;  // the toolkit's own hint, on its own timing
        case QEvent::ChildAdded:
            if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(e)->child()))
                Watch(child);
            break;
        case QEvent::Enter:
            PointerOver(widget);
            break;
        case QEvent::Leave:
            // The pointer went to the parent, or on beyond it (its parent's leave follows); a
            // widget it enters next reports after this.
            PointerOver(widget == window_ ? nullptr : widget->parentWidget());
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            timer_.stop();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void Watch(QWidget* widget)
    {
        widget->installEventFilter(this);
        for (QWidget* child : widget->findChildren<QWidget*>())
            child->installEventFilter(this);
    }

    // The widget whose hint shows for a pointer over widget: itself or the nearest of its parents
    // in the window that has one.
    QWidget* Holder(QWidget* widget) const
    {
        for (; widget; widget = widget == window_ ? nullptr : widget->parentWidget())
            if (!widget->toolTip().isEmpty())
                return widget;
        return nullptr;
    }

    void PointerOver(QWidget* widget)
    {
        QWidget* holder = Holder(widget);
        if (holder == holder_)
            return;
        // Chosen before the old hint goes: the next one follows it after the short pause.
        const int pause = Application().NextHintPause();
        if (holder_)
            QToolTip::hideText();
        holder_ = holder;
        timer_.stop();
        if (holder)
            timer_.start(pause);
    }

    void Show()
    {
        if (!holder_ || !holder_->isVisible() || holder_->toolTip().isEmpty())
            return;
        QToolTip::showText(QCursor::pos(), holder_->toolTip(), holder_, {}, Application().HintHidePause());
    }

    QWidget* window_;
    QPointer<QWidget> holder_;
    QTimer timer_;
};

}  // namespace

void FollowApplicationHintTiming(QWidget* window)
{
    if (!window || window->findChild<QObject*>(HintTiming::Name(), Qt::FindDirectChildrenOnly))
        return;
    new HintTiming(window);
}
