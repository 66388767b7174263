// Mouse events of the window controls as the window system delivers them: the click rule,
// double clicks, shift states, handlers that fail or destroy their control, and Qt hosting.
#include <QCursor>
#include <QTimer>
#include <QToolTip>
#include <QWidget>

#include <memory>

#include "ControlFixtures.h"
#include "platform/ui/EventBridge.h"
#include "platform/system/Exception.h"
#include "platform/ui/HintTiming.h"
#include "platform/ui/TPanel.h"

using namespace fixtures;

namespace {

class ControlEventsTest : public ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        panel = std::make_unique<TPanel>(nullptr);
        panel->SetBounds(0, 0, 50, 30);
        panel->OnMouseDown = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
            events.push_back(std::string(InShift(s, ssDouble) ? "double " : "") + "down " + std::to_string(int(b)) + " " +
                             std::to_string(x) + "," + std::to_string(y));
        };
        panel->OnMouseUp = [this](TObject*, TMouseButton b, TShiftState, int, int) {
            events.push_back("up " + std::to_string(int(b)));
        };
        panel->OnClick = [this](TObject* sender) {
            EXPECT_EQ(sender, panel.get());
            events.push_back("click");
        };
        panel->OnDblClick = [this](TObject*) { events.push_back("dblclick"); };
    }
    using Events = std::vector<std::string>;
    std::unique_ptr<TPanel> panel;
    Events events;
};

TEST_F(ControlEventsTest, LeftReleaseInsideClicksBeforeMouseUp)
{
    Press(*panel, 10, 12);
    Release(*panel, 10, 12);
    EXPECT_EQ(events, (Events{"down 0 10,12", "click", "up 0"}));
}

TEST_F(ControlEventsTest, ReleaseOutsideOrOtherButtonGivesNoClick)
{
    Press(*panel, 10, 12);
    Release(*panel, 60, 12);
    Press(*panel, 10, 12, Qt::RightButton);
    Release(*panel, 10, 12, Qt::RightButton);
    EXPECT_EQ(events, (Events{"down 0 10,12", "up 0", "down 1 10,12", "up 1"}));
}

TEST_F(ControlEventsTest, DoubleClickArrivesAsSecondPressWithoutClick)
{
    Press(*panel, 5, 5);
    Release(*panel, 5, 5);
    DoublePress(*panel, 5, 5);
    Release(*panel, 5, 5);
    EXPECT_EQ(events, (Events{"down 0 5,5", "click", "up 0", "dblclick", "double down 0 5,5", "up 0"}));
}

TEST_F(ControlEventsTest, ShiftStateCarriesKeysAndButtons)
{
    TShiftState seen = 0;
    panel->OnMouseMove = [&](TObject*, TShiftState s, int, int) { seen = s; };
    QMouseEvent e(QEvent::MouseMove, QPointF(3, 3), QPointF(3, 3), Qt::NoButton, Qt::LeftButton | Qt::RightButton,
                  Qt::ShiftModifier | Qt::ControlModifier);
    Send(*panel, e);
    EXPECT_EQ(seen, TShiftState(ssShift | ssCtrl | ssLeft | ssRight));
}

TEST_F(ControlEventsTest, FailingHandlerIsShownAndEventsGoOn)
{
    std::vector<std::string> shown;
    TExceptionSink old = SetExceptionSink([&](const std::string& text) { shown.push_back(text); });
    panel->OnMouseDown = [](TObject*, TMouseButton, TShiftState, int, int) { throw Exception("Cannot start"); };
    Press(*panel, 5, 5);
    Release(*panel, 5, 5);
    SetExceptionSink(std::move(old));
    EXPECT_EQ(shown, (std::vector<std::string>{"Cannot start."}));
    EXPECT_EQ(events, (Events{"click", "up 0"}));
}

TEST_F(ControlEventsTest, ClickHandlerMayDestroyItsControl)
{
    panel->OnClick = [this](TObject*) { panel.reset(); };
    Press(*panel, 5, 5);
    TPanel* raw = panel.get();
    QWidget* widget = WidgetOf(raw);
    QMouseEvent e(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &e);
    EXPECT_EQ(panel, nullptr);
    Settle(10);
    EXPECT_EQ(events, (Events{"down 0 5,5"}));
}

TEST_F(ControlEventsTest, DisabledControlGetsNoMouseEvents)
{
    panel->SetEnabled(false);
    Press(*panel, 5, 5);
    Release(*panel, 5, 5);
    EXPECT_TRUE(events.empty());
}

TEST_F(ControlEventsTest, PointerEnterAndLeaveRaiseTheirEvents)
{
    panel->OnMouseEnter = [this](TObject*) { events.push_back("enter"); };
    panel->OnMouseLeave = [this](TObject*) { events.push_back("leave"); };
    Enter(*panel, 1, 1);
    Leave(*panel);
    EXPECT_EQ(events, (Events{"enter", "leave"}));
}

TEST_F(ControlEventsTest, ChildrenShowShortHintWhenParentShowsHints)
{
    auto* child = new TPanel(panel.get());
    child->SetParent(panel.get());
    child->SetHint("Play|Starts the groove");
    EXPECT_EQ(WidgetOf(child)->toolTip(), QString());
    panel->SetShowHint(true);
    EXPECT_EQ(WidgetOf(child)->toolTip(), QStringLiteral("Play"));
    child->SetShowHint(false);
    panel->SetShowHint(true);
    EXPECT_EQ(WidgetOf(child)->toolTip(), QString()) << "its own setting no longer follows the parent";
}

TEST_F(ControlEventsTest, HintsFollowTheApplicationsHintTiming)
{
    TApplication& application = Application();
    const TApplication saved = application;
    auto* play = new TPanel(panel.get());
    play->SetParent(panel.get());
    play->SetBounds(0, 0, 20, 20);
    play->SetHint("Play");
    auto* stop = new TPanel(panel.get());
    stop->SetParent(panel.get());
    stop->SetBounds(25, 0, 20, 20);
    stop->SetHint("Stop");
    panel->SetHint("Board");
    panel->SetShowHint(true);
    WidgetOf(panel.get())->show();  // a window of its own
    Settle(50);                     // the window system's own pointer events of the showing
    const auto visible = [] { return QToolTip::isVisible(); };

    application.SetHintPause(150);
    application.SetHintHidePause(300);
    Enter(*panel, 40, 25);
    Enter(*play, 1, 1);  // before the board's pause ends
    const auto entered = std::chrono::steady_clock::now();
    Settle(60);
    // Only while the pause has surely not passed (a loaded machine may take longer over this).
    if (std::chrono::steady_clock::now() - entered < std::chrono::milliseconds(130)) {
        EXPECT_FALSE(visible()) << "no hint before the pause";
    }
    ASSERT_TRUE(WaitFor([] { return QToolTip::isVisible() && QToolTip::text() == "Play"; }))
        << "the innermost control's hint, not its parent's";

    application.SetHintPause(60000);
    application.SetHintShortPause(20);
    Leave(*play);
    Enter(*stop, 1, 1);
    ASSERT_TRUE(WaitFor([] { return QToolTip::isVisible() && QToolTip::text() == "Stop"; }))
        << "moving on from a showing hint waits only the short pause";
    EXPECT_TRUE(WaitFor([] { return !QToolTip::isVisible(); })) << "the hint hides after the hide pause";
    application = saved;
}

// A press cancels a hint still waiting for its pause, on a control and on a toolkit widget under the
// application's hint timing; without the press the same wait shows it. The wait is a timer started
// after the hint's with ten times its pause: the event loop fires timers in the order they fall
// due, so the hint's has had its turn whatever the machine's speed.
TEST_F(ControlEventsTest, PressCancelsAPendingHint)
{
    TApplication& application = Application();
    const TApplication saved = application;
    application.SetHintPause(20);
    application.SetHintShortPause(20);
    panel->SetHint("Board");
    panel->SetShowHint(true);
    QWidget window;
    window.resize(50, 30);
    FollowApplicationHintTiming(&window);
    QWidget button(&window);
    button.setGeometry(5, 5, 20, 20);
    button.setToolTip("Plain");
    // The pointer away from both windows: a hint going away must not put it over a widget.
    QCursor::setPos(400, 400);

    const auto sendPointer = [](QWidget* widget, QEvent::Type type) {
        if (type == QEvent::Enter) {
            QEnterEvent e(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
            QCoreApplication::sendEvent(widget, &e);
        } else if (type == QEvent::Leave) {
            QEvent e(QEvent::Leave);
            QCoreApplication::sendEvent(widget, &e);
        } else {
            const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
            QMouseEvent e(type, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, held, Qt::NoModifier);
            QCoreApplication::sendEvent(widget, &e);
        }
    };
    for (QWidget* widget : {WidgetOf(panel.get()), static_cast<QWidget*>(&button)}) {
        widget->window()->show();
        Settle(50);  // the window system's own pointer events of the showing
        for (const bool press : {false, true}) {
            SCOPED_TRACE(testing::Message() << widget->toolTip().toStdString() << (press ? ", pressed" : ""));
            sendPointer(widget, QEvent::Enter);
            if (press)
                sendPointer(widget, QEvent::MouseButtonPress);
            bool waited = false;
            QTimer::singleShot(10 * application.HintPause(), [&] { waited = true; });
            ASSERT_TRUE(WaitFor([&] { return waited; }, 30000));
            EXPECT_EQ(QToolTip::isVisible() && QToolTip::text() == widget->toolTip(), !press);
            if (press)
                sendPointer(widget, QEvent::MouseButtonRelease);
            sendPointer(widget, QEvent::Leave);
            QToolTip::hideText();
            ASSERT_TRUE(WaitFor([] { return !QToolTip::isVisible(); }, 30000));
        }
        widget->window()->hide();
    }
    application = saved;
}

TEST_F(ControlEventsTest, QtWidgetHostsControlAndControlHostsWidget)
{
    QWidget host;
    panel->SetBounds(7, 9, 50, 30);
    HostInWidget(panel.get(), &host);
    EXPECT_EQ(WidgetOf(panel.get())->parentWidget(), &host);
    EXPECT_EQ(WidgetOf(panel.get())->geometry(), QRect(7, 9, 50, 30));
    EXPECT_EQ(ControlOf(WidgetOf(panel.get())), panel.get());
    EXPECT_EQ(ControlOf(&host), nullptr);

    auto* inner = new QWidget(WidgetOf(panel.get()));
    EXPECT_EQ(inner->parentWidget(), WidgetOf(panel.get()));
    panel.reset();  // takes the hosted widget with it
}

}  // namespace
