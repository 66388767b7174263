// The busy window: what every showing resets, the timer that follows the done flag (also while
// hidden), closing refused until cancel is allowed, modal showings and the input it blocks, and,
// on an X display, its text and progress on the screen while the work holds the thread.
#include "app/AppTestSupport.h"
#include "app/dialogs/TBusyFrm.h"
#include "platform/ui/ApplicationInstance.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QWindow>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace {

// Lets the event loop run until pred holds or timeoutMs passes; true when pred held.
bool RunUntil(const std::function<bool()>& pred, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void SendEsc(QWidget* target)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

// Counts the blocking and unblocking that a modal window brings to this window.
class BlockWatcher : public QWidget {
public:
    int blocked = 0;
    int unblocked = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::WindowBlocked)
            ++blocked;
        else if (e->type() == QEvent::WindowUnblocked)
            ++unblocked;
        return QWidget::event(e);
    }
};

class BusyForm : public ::testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }
};

TEST_F(BusyForm, EveryShowingResetsTextProgressAndFlags)
{
    TBusyFrm busy;
    busy.Show();
    busy.SetText("Loading riffs...");
    busy.ProgressBar->setValue(70);
    busy.SetTag(1);
    busy.hide();
    busy.SetDone(true);

    busy.Show();
    EXPECT_EQ(busy.Text(), "Please wait...");
    EXPECT_EQ(busy.ProgressBar->value(), 0);
    EXPECT_FALSE(busy.Done());
    EXPECT_EQ(busy.Tag(), 0);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(busy.pos(), QPoint(screen.x() + (screen.width() - 164) / 2, screen.y() + (screen.height() - 61) / 2));
    busy.SetDone(true);
    busy.Timer1Timer();
}

TEST_F(BusyForm, SettingDoneHidesTheWindowAtTheNextTick)
{
    TBusyFrm busy;
    busy.Show();
    ASSERT_TRUE(busy.isVisible());
    busy.SetDone(true);
    EXPECT_TRUE(RunUntil([&] { return !busy.isVisible(); }, kEventDeadlineMs));
}

TEST_F(BusyForm, ClearingDoneWhileHiddenShowsTheWindowAtTheNextTick)
{
    TBusyFrm busy;
    busy.SetDone(false);
    EXPECT_TRUE(RunUntil([&] { return busy.isVisible(); }, kEventDeadlineMs));
    EXPECT_EQ(busy.Text(), "Please wait...");
    busy.SetDone(true);
    busy.Timer1Timer();
    EXPECT_FALSE(busy.isVisible());
}

TEST_F(BusyForm, EscAndWindowCloseAreRefusedWhileCancelIsNotAllowed)
{
    TBusyFrm busy;
    busy.Show();
    SendEsc(&busy);
    EXPECT_TRUE(busy.isVisible());
    EXPECT_FALSE(busy.close());
    EXPECT_TRUE(busy.isVisible());
    busy.reject();
    EXPECT_TRUE(busy.isVisible());
    busy.SetDone(true);
    busy.Timer1Timer();
}

TEST_F(BusyForm, EscClosesAModalShowingOnceCancelIsAllowed)
{
    TBusyFrm busy;
    bool escRefused = false;
    QTimer::singleShot(50, &busy, [&] {
        SendEsc(&busy);
        escRefused = busy.isVisible();
        busy.SetTag(1);
        SendEsc(&busy);
    });
    // A safety net: a showing that never ends fails the test instead of hanging it.
    QTimer::singleShot(kEventDeadlineMs, &busy, [&] {
        busy.SetTag(1);
        busy.close();
    });
    const int result = busy.ShowModal();
    EXPECT_TRUE(escRefused);
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(busy.isVisible());
    // Done stays as the showing left it: a later tick must not bring the window back on its own.
    busy.SetDone(true);
}

TEST_F(BusyForm, ModalShowingEndsWhenTheWorkSetsDone)
{
    TBusyFrm busy;
    bool netCaught = false;
    QTimer::singleShot(100, &busy, [&] { busy.SetDone(true); });
    QTimer::singleShot(kEventDeadlineMs, &busy, [&] {
        netCaught = true;
        busy.SetTag(1);
        busy.close();
    });
    busy.ShowModal();
    EXPECT_FALSE(netCaught) << "the showing ended with the work, not by the safety net";
    EXPECT_FALSE(busy.isVisible());
}

TEST_F(BusyForm, OtherWindowsAreBlockedWhileItIsShown)
{
    BlockWatcher mainWindow;
    mainWindow.resize(200, 100);
    mainWindow.show();
    TBusyFrm busy;

    busy.Show();
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), &busy);
    EXPECT_GE(mainWindow.blocked, 1);

    busy.SetDone(true);
    busy.Timer1Timer();
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_GE(mainWindow.unblocked, 1);
}

}  // namespace

namespace {

// The busy window as the X server shows it, against the toolkit's own rendering of its state:
// the number of pixels that differ (all of them while the window is an undrawn box).
int PixelsOffScreen(TBusyFrm& busy, const char* picture)
{
    const QImage expected = busy.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage shown = QGuiApplication::primaryScreen()
                             ->grabWindow(0, busy.x(), busy.y(), busy.width(), busy.height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    if (const char* dir = std::getenv("RT_TEST_OUTPUT_DIR")) {
        expected.save(QString::fromLocal8Bit(dir) + "/busy-" + picture + "-expected.png");
        shown.save(QString::fromLocal8Bit(dir) + "/busy-" + picture + ".png");
    }
    if (shown.size() != expected.size())
        return expected.width() * expected.height();
    int differ = 0;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x)
            differ += shown.pixel(x, y) != expected.pixel(x, y);
    }
    return differ;
}

// Each step of a work that never lets the event loop run: the window must show the step's text
// and progress before the next step, both before the window system has reported it exposed and
// after.
TEST_F(BusyForm, ScreenShowsTextAndProgressWhileTheWorkHoldsTheThread)
{
    if (QGuiApplication::platformName() != "xcb")
        GTEST_SKIP() << "needs an X display";
    struct Step {
        const char* picture;
        const char* text;  // null: unchanged
        int progress;      // -1: unchanged
        bool exposedFirst;  // the event loop ran until the window system reported the window
    };
    const Step steps[] = {
        {"shown", nullptr, -1, false},
        {"text-and-progress", "Loading riffs...", 40, false},
        {"progress", nullptr, 80, false},
        {"exposed-text", "Loading images...", -1, true},
        {"exposed-progress", nullptr, 30, true},
    };
    TBusyFrm busy;
    busy.Show();
    for (const Step& step : steps) {
        if (step.exposedFirst) {
            ASSERT_TRUE(RunUntil([&] { return busy.windowHandle()->isExposed(); }, kEventDeadlineMs));
        }
        if (step.text != nullptr)
            busy.SetText(step.text);
        if (step.progress >= 0)
            busy.ProgressBar->setValue(step.progress);
        EXPECT_EQ(PixelsOffScreen(busy, step.picture), 0) << step.picture;
    }
    busy.SetDone(true);
    busy.Timer1Timer();
}

}  // namespace
