// Hot keys typed on a real X display (xdotool under xvfb-run with QT_QPA_PLATFORM=xcb, no window
// manager): the keys with and without Alt and Shift reach their commands, and the keyboard comes
// back to the main window when a window it opened closes. Offscreen it skips.
#include "app/KorvaneFormTestContent.h"

#include "config/TDVContext.h"
#include "controls/THVSlider.h"
#include "platform/ui/TPanel.h"

#include <QApplication>
#include <QDialog>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

namespace {

using korvane_test::FormTest;
using korvane_test::PumpFor;
using korvane_test::PumpUntil;

class HotKeysScreen : public FormTest {
protected:
    static bool Type(const char* keys) { return Xdo({"key", "--delay", "40", keys}); }
    static bool Xdo(const QStringList& arguments) { return QProcess::execute("xdotool", arguments) == 0; }
};

TEST_F(HotKeysScreen, TypedHotKeysReachTheirCommands)
{
    if (const std::string missing = korvane_test::MissingXDisplay(); !missing.empty())
        GTEST_SKIP() << missing;
    TKorvaneForm& f = Start();
    ASSERT_TRUE(ui->boxes.empty());
    ASSERT_TRUE(korvane_test::ShowFocused(f)) << "the window has the focus";

    ASSERT_TRUE(Type("F4"));
    EXPECT_TRUE(PumpUntil([] { return WaveScene.IsInstancePlaying("groove"); }, kEventDeadlineMs)) << "F4 plays";
    ASSERT_TRUE(Type("Escape"));
    EXPECT_TRUE(PumpUntil([] { return !WaveScene.IsInstancePlaying("groove"); }, kEventDeadlineMs)) << "Esc stops";

    // A command given with a modifier down: the on-screen modifier is on while it is down and
    // off after its key-up, and W plays its riff of the plain set.
    const struct {
        const char* modifier;
        const char* key;
        const char* onScreen;
        bool plays;
    } withModifier[] = {{"shift", "F4", "SHIFT", true},
                        {"ctrl", "F4", "CTRL", true},
                        {"ctrl", "F5", "CTRL", false},  // the latch with no riff sounding
                        {"alt", "F5", "ALT", false}};
    for (const auto& c : withModifier) {
        SCOPED_TRACE(std::string(c.modifier) + "+" + c.key);
        ASSERT_TRUE(Xdo({"keydown", c.modifier, "key", c.key}));
        EXPECT_TRUE(PumpUntil([&] { return f.Keyboard().State(c.onScreen) == "pressed" &&
                                           WaveScene.IsInstancePlaying("groove") == c.plays; },
                              kEventDeadlineMs));
        ASSERT_TRUE(Xdo({"keyup", c.modifier}));
        EXPECT_TRUE(PumpUntil([&] { return f.Keyboard().State(c.onScreen) == "initial"; }, kEventDeadlineMs))
            << "off with the key-up";
        EXPECT_EQ(f.Bindings().ActiveSetName(), "INITIAL_");
        EXPECT_EQ(f.Bindings().LatchedKey(), "");
        f.StopButtonClick(f.GlobalPanel);
        ASSERT_TRUE(Type("w"));
        EXPECT_TRUE(PumpUntil([&] { return f.SoundingRiff() == "b1"; }, kEventDeadlineMs)) << "W plays its riff";
    }

    ASSERT_TRUE(Type("alt+F10"));
    EXPECT_TRUE(PumpUntil([&] { return f.Root()->GetInteger("settings.StepAdvanceThroughClipsBy") == 2; },
                          kEventDeadlineMs))
        << "Alt+F10 stores half bars";
    const int before = f.MelodyVolume->Position();
    ASSERT_TRUE(Type("shift+F9"));
    EXPECT_TRUE(PumpUntil([&] { return f.MelodyVolume->Position() > before; }, kEventDeadlineMs))
        << "Shift+F9 lowers the groove";

    ASSERT_TRUE(Type("alt+F4"));
    EXPECT_TRUE(PumpUntil([&] { return !f.isVisible(); }, kEventDeadlineMs)) << "Alt+F4 closes the window";
}

// The settings dialog is cancelled by a click while the pointer is off the main window: without a
// window manager the keyboard would stay with the root window, and keys would reach the main
// window only while the pointer lies over it.
TEST_F(HotKeysScreen, KeyboardReturnsToTheMainWindowWhenADialogCloses)
{
    if (const std::string missing = korvane_test::MissingXDisplay(); !missing.empty())
        GTEST_SKIP() << missing;
    TKorvaneForm& f = Start();
    ASSERT_TRUE(ui->boxes.empty());
    ASSERT_TRUE(korvane_test::ShowFocused(f)) << "the window has the focus";
    bool clicked = false;
    QTimer watch;  // the dialog runs its own event loop: look for it from there
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        watch.stop();
        auto* cancel = dialog->findChild<QPushButton*>("CancelButton");
        if (cancel != nullptr) {
            // Its Cancel button 40 pixels below the main window, so the pointer leaves it.
            dialog->move(40, f.frameGeometry().bottom() + 40 - cancel->mapTo(dialog, cancel->rect().center()).y());
            PumpFor(200);
            const QPoint at = cancel->mapToGlobal(cancel->rect().center());
            clicked = !f.frameGeometry().contains(at) &&
                      QProcess::execute("xdotool", {"mousemove", "--sync", QString::number(at.x()),
                                                    QString::number(at.y()), "click", "1"}) == 0;
        }
        if (!PumpUntil([&] { return !dialog->isVisible(); }, kEventDeadlineMs))
            dialog->reject();  // never leave the test inside the dialog's loop
    });
    watch.start();
    ASSERT_TRUE(Type("shift+F7"));
    ASSERT_TRUE(PumpUntil([&] { return clicked && QApplication::activeModalWidget() == nullptr; }, kEventDeadlineMs));
    const std::size_t played = f.History().Entries().size();
    ASSERT_TRUE(Type("q"));
    EXPECT_TRUE(PumpUntil([&] { return f.History().Entries().size() > played; }, kEventDeadlineMs)) << "Q plays its riff";
}

}  // namespace
