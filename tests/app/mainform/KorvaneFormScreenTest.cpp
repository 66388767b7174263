// The main window on a real display: a screenshot of the started window shows each skin area at
// its place. Runs only on an X display (xvfb-run with QT_QPA_PLATFORM=xcb); offscreen it skips.
#include "app/KorvaneFormTestContent.h"

#include "controls/THVPanel.h"
#include "platform/ui/TPanel.h"
#include "platform/ui/WindowMessages.h"

#include <QGuiApplication>
#include <QProcess>
#include <QImage>
#include <QScreen>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

using korvane_test::FormTest;
using korvane_test::SkinColor;

class KorvaneFormScreen : public FormTest {};

void Pump(int milliseconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
        ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

TEST_F(KorvaneFormScreen, HeldKeyOfTheXServerPlaysItsRiffOnceThroughItsRepeats)
{
    if (const std::string missing = korvane_test::MissingXDisplay(); !missing.empty())
        GTEST_SKIP() << missing;
    TKorvaneForm& f = Start();
    ASSERT_TRUE(ui->boxes.empty());
    korvane_test::EventLog& log = korvane_test::AttachEventLog(f);
    ASSERT_TRUE(korvane_test::ShowFocused(f)) << "the window has the focus";
    Pump(300);

    // Held long enough for the server's auto-repeat (660 ms delay) to send release and press
    // pairs; the riff starts once and stops at the real release.
    ASSERT_EQ(QProcess::execute("xdotool", {"keydown", "q"}), 0);
    EXPECT_TRUE(korvane_test::PumpUntil([&] { return f.SoundingRiff() == "b2"; }, kEventDeadlineMs));
    Pump(1500);
    EXPECT_EQ(log.Count("STOPRIFF:b2"), 0) << "no release while the key is held";
    ASSERT_EQ(QProcess::execute("xdotool", {"keyup", "q"}), 0);
    EXPECT_TRUE(korvane_test::PumpUntil([&] { return log.Count("STOPRIFF:b2") > 0; }, kEventDeadlineMs));
    EXPECT_EQ(log.Count("STOPRIFF:b2"), 1);
    EXPECT_EQ(f.History().Entries().size(), 1u);
    EXPECT_EQ(f.Keyboard().State("Q"), "initial");
}

TEST_F(KorvaneFormScreen, ScreenshotShowsTheSkinAtItsPlaces)
{
    if (QGuiApplication::platformName() != "xcb")
        GTEST_SKIP() << "needs an X display (platform " << QGuiApplication::platformName().toStdString() << ")";
    TKorvaneForm& f = Start();
    ASSERT_TRUE(ui->boxes.empty());
    f.move(0, 0);
    f.show();
    Pump(800);
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(f.winId()).toImage();
    if (const char* dir = std::getenv("RT_TEST_OUTPUT_DIR"))
        shot.save(QString::fromLocal8Bit(dir) + "/main-window.png");
    ASSERT_GE(shot.width(), 1016);
    ASSERT_GE(shot.height(), 710);

    const int x0 = f.GlobalPanel->Left();
    const int y0 = f.GlobalPanel->Top();
    struct Probe {
        const char* picture;
        int x, y;  // on the board
    };
    const Probe probes[] = {
        {"ControlsArea.png", 250, 5},    {"ControlsArea.png", 1010, 105},
        {"FretboardArea.png", 500, 200}, {"NoteArea.png", 500, 400},
        {"KeyboardArea.png", 100, 690},  {"AnimationArea.png", 900, 690},
        {"PlayInitial.png", 400, 70},    {"StopInitial.png", 460, 70},
        {"KorvaneInitial.png", 20, 20},  {"GameModeInitial.png", 590, 15},
        // The bar label is transparent over the animation picture.
        {"AnimationArea.png", 697, 591},
    };
    for (const Probe& p : probes) {
        SCOPED_TRACE(std::string(p.picture) + " at " + std::to_string(p.x) + "," + std::to_string(p.y));
        EXPECT_EQ(shot.pixel(x0 + p.x, y0 + p.y) & 0xFFFFFF, SkinColor(p.picture) & 0xFFFFFF);
    }
}

TEST_F(KorvaneFormScreen, ScreenshotOfTheDemoContent)
{
    namespace fs = std::filesystem;
    if (QGuiApplication::platformName() != "xcb")
        GTEST_SKIP() << "needs an X display";
    const fs::path demo = fs::canonical("/proc/self/exe").parent_path().parent_path() / "demo";
    if (!fs::exists(demo / "Korvane.DEF"))
        GTEST_SKIP() << "the build wrote no demo content at " << demo;
    korvane_test::ResetSound();
    form = std::make_unique<TKorvaneForm>(nullptr, demo.string() + "/");
    form->InitApplication();
    for (const TMessageBoxRequest& box : ui->boxes)
        ADD_FAILURE() << box.text;
    form->move(0, 0);
    form->show();
    form->PlayButtonClick(form->PlayButton);
    Pump(1500);
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(form->winId()).toImage();
    if (const char* dir = std::getenv("RT_TEST_OUTPUT_DIR"))
        shot.save(QString::fromLocal8Bit(dir) + "/main-window-demo.png");
    EXPECT_GE(shot.width(), 1016);
}

}  // namespace
