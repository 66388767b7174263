// Which window has the keyboard after a window of the program closes (the offscreen platform,
// like X without a window manager, leaves none active on its own).
#include "platform/ui/ApplicationInstance.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// Runs the event loop until window is the active one; false when it is not within 20 s.
bool BecomesActive(const QWidget* window)
{
    QElapsedTimer clock;
    clock.start();
    while (QApplication::activeWindow() != window && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return QApplication::activeWindow() == window;
}

void ShowActive(QWidget& window)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(BecomesActive(&window));
}

TEST(FocusReturn, ClosingWindowHandsTheKeyboardToTheWindowThatOpenedIt)
{
    EnsureApplication();
    QWidget main;
    ShowActive(main);

    // A dialog, and the dialog it opens.
    QDialog dialog(&main);
    ShowActive(dialog);
    QDialog setup(&dialog);
    ShowActive(setup);
    setup.hide();
    EXPECT_TRUE(BecomesActive(&dialog));
    dialog.hide();
    EXPECT_TRUE(BecomesActive(&main));

    // A window without a parent returns it to the window active when it was shown.
    QWidget other;
    ShowActive(other);
    other.hide();
    EXPECT_TRUE(BecomesActive(&main));

    // A window closed while another has the keyboard leaves it there.
    ShowActive(dialog);
    ShowActive(other);
    dialog.hide();
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), &other);
    other.hide();
}

// Message boxes have no parent and may open while the keyboard is on its way elsewhere.
TEST(FocusReturn, BoxHandsTheKeyboardOnWhenItsOpenerIsGone)
{
    EnsureApplication();
    QWidget main;
    ShowActive(main);
    QDialog dialog(&main);
    dialog.setModal(true);
    QDialog box;
    box.setModal(true);

    // Opened while the keyboard is still on its way from the closed dialog to the main window.
    ShowActive(dialog);
    dialog.hide();
    ShowActive(box);
    box.hide();
    EXPECT_TRUE(BecomesActive(&main));

    // Opened before the modal dialog took the keyboard: the dialog, not the blocked main window.
    dialog.show();
    ShowActive(box);
    box.hide();
    EXPECT_TRUE(BecomesActive(&dialog));

    // Opened by the dialog, which closed while the box was up: the dialog's opener.
    ShowActive(box);
    dialog.hide();
    box.hide();
    EXPECT_TRUE(BecomesActive(&main));
}

}  // namespace
