// Hot keys typed on a real X display (xdotool under xvfb-run with QT_QPA_PLATFORM=xcb): the keys
// with and without Alt and Shift reach their commands. Offscreen it skips.
#include "app/KorvaneFormTestContent.h"

#include "config/TDVContext.h"
#include "controls/THVSlider.h"
#include "platform/ui/TPanel.h"

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

namespace {

using korvane_test::FormTest;
using korvane_test::PumpFor;
using korvane_test::PumpUntil;

class HotKeysScreen : public FormTest {
protected:
    static bool Type(const char* keys) { return QProcess::execute("xdotool", {"key", "--delay", "40", keys}) == 0; }
};

TEST_F(HotKeysScreen, TypedHotKeysReachTheirCommands)
{
    if (QGuiApplication::platformName() != "xcb")
        GTEST_SKIP() << "needs an X display (platform " << QGuiApplication::platformName().toStdString() << ")";
    if (QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "needs xdotool";
    TKorvaneForm& f = Start();
    ASSERT_TRUE(ui->boxes.empty());
    f.move(0, 0);
    f.show();
    f.raise();
    f.activateWindow();
    PumpFor(300);
    (void)QProcess::execute("xdotool", {"windowfocus", "--sync", QString::number(f.winId())});
    ASSERT_TRUE(PumpUntil([&] { return f.isActiveWindow(); }, kEventDeadlineMs)) << "the window has the focus";

    ASSERT_TRUE(Type("F4"));
    EXPECT_TRUE(PumpUntil([] { return WaveScene.IsInstancePlaying("groove"); }, kEventDeadlineMs)) << "F4 plays";
    ASSERT_TRUE(Type("Escape"));
    EXPECT_TRUE(PumpUntil([] { return !WaveScene.IsInstancePlaying("groove"); }, kEventDeadlineMs)) << "Esc stops";

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

}  // namespace
