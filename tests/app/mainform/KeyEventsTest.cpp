// Qt key events as the main window receives them, turned into Windows key codes and routes:
// offscreen events carry no native data, X11 events carry the keycode and keysym.
#include "platform/ui/ApplicationInstance.h"
#include "platform/ui/TKeyEventRouter.h"
#include "platform/ui/VirtualKeysQt.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <vector>

#include <gtest/gtest.h>

namespace {

TKeyRoute Route(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, bool autoRepeat = false,
                quint32 scanCode = 0, quint32 keySym = 0)
{
    EnsureApplication();  // key events need the application's keyboard device
    const QKeyEvent event(type, key, modifiers, scanCode, keySym, 0, QString(), autoRepeat);
    return RouteKeyEvent(KeyEventDataFromQt(event));
}

TEST(KeyEvents, ShiftedDigitWithoutNativeDataKeepsTheDigitsCode)
{
    const TKeyRoute r = Route(QEvent::KeyPress, Qt::Key_Exclam, Qt::ShiftModifier);
    EXPECT_EQ(r.action, TKeyAction::KeyDown);
    EXPECT_EQ(r.key, '1');
    EXPECT_EQ(r.shift, TShiftState(ssShift));
}

TEST(KeyEvents, KeypadDigitAndOperatorsHaveTheirOwnCodes)
{
    EXPECT_EQ(Route(QEvent::KeyPress, Qt::Key_1, Qt::KeypadModifier).key, VK_NUMPAD0 + 1);
    EXPECT_EQ(Route(QEvent::KeyPress, Qt::Key_1, Qt::NoModifier).key, '1');
    EXPECT_EQ(Route(QEvent::KeyPress, Qt::Key_Asterisk, Qt::KeypadModifier).key, VK_MULTIPLY);
    EXPECT_EQ(Route(QEvent::KeyPress, Qt::Key_Slash, Qt::KeypadModifier).key, VK_DIVIDE);
}

TEST(KeyEvents, X11EventUsesItsKeycodeAndKeysym)
{
    // Shift+1 on X11: keycode 10, keysym "exclam".
    const TKeyRoute r = Route(QEvent::KeyPress, Qt::Key_Exclam, Qt::ShiftModifier, false, 10, 0x21);
    EXPECT_EQ(r.key, '1');
    // Alt+F4 arrives as a plain key-down with Alt held.
    const TKeyRoute f4 = Route(QEvent::KeyPress, Qt::Key_F4, Qt::AltModifier, false, 70, 0xffc1);
    EXPECT_EQ(f4.key, VK_F1 + 3);
    EXPECT_EQ(f4.shift, TShiftState(ssAlt));
}

TEST(KeyEvents, X11AutoRepeatPairIsOneRepeatedKeyDown)
{
    EXPECT_EQ(Route(QEvent::KeyRelease, Qt::Key_Q, Qt::NoModifier, true, 24, 0x71).action, TKeyAction::Ignore);
    const TKeyRoute again = Route(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, true, 24, 0x71);
    EXPECT_EQ(again.action, TKeyAction::KeyDown);
    EXPECT_TRUE(again.repeat);
    EXPECT_EQ(Route(QEvent::KeyRelease, Qt::Key_Q, Qt::NoModifier, false, 24, 0x71).action, TKeyAction::KeyUp);
}

TEST(KeyEvents, RouterDeliversAHeldReleaseAtItsDeadlineAndPairsALatePress)
{
    EnsureApplication();
    std::vector<TKeyRoute> routes;
    TKeyEventRouter router([&routes](const TKeyRoute& r) {
        routes.push_back(r);
        return true;
    });
    const auto send = [&router](QEvent::Type type, quint64 time) {
        QKeyEvent event(type, Qt::Key_Q, Qt::NoModifier, 24, 0x71, 0);
        event.setTimestamp(time);
        return router.Route(event);
    };
    EXPECT_TRUE(send(QEvent::KeyPress, 100));
    EXPECT_TRUE(send(QEvent::KeyRelease, 760));
    EXPECT_TRUE(send(QEvent::KeyPress, 760));
    ASSERT_EQ(routes.size(), 2u) << "the pair is one repeated key-down";
    EXPECT_TRUE(routes[1].repeat);

    EXPECT_EQ(router.HoldRemainingMs(), -1);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(send(QEvent::KeyRelease, 800));
    EXPECT_EQ(routes.size(), 2u) << "the release waits for a press of its pair";
    // The release waits 40 ms: long enough for the window system to queue the pair's press,
    // short enough that a quickly tapped key does not sound noticeably longer. The upper bound
    // is read from the deadline the router set, which a slow machine only shortens; the
    // elapsed time, which a slow machine only lengthens, gives the lower one.
    const int remaining = router.HoldRemainingMs();
    EXPECT_GE(remaining, 0);
    EXPECT_LE(remaining, 40);
    while (routes.size() == 2 && clock.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_EQ(routes.size(), 3u);
    EXPECT_EQ(routes[2].action, TKeyAction::KeyUp);
    EXPECT_GE(clock.elapsed(), 35);
    EXPECT_EQ(router.HoldRemainingMs(), -1);
}

}  // namespace
