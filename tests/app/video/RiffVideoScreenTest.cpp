// The riff video window on a real display with real videos (written by the demo generator's
// encoder): playing, pausing, stopping, repeating, seeking, keys, a broken file, closing early,
// and the main window's tutorial loop. Runs only on an X display (xvfb-run with
// QT_QPA_PLATFORM=xcb); offscreen it skips. A screenshot of the playing window is kept in
// RT_TEST_OUTPUT_DIR.
#include "app/KorvaneFormTestContent.h"

#include "app/dialogs/TBusyFrm.h"
#include "app/video/TRIFFVideo.h"
#include "app/video/TVideoTutorialForm.h"
#include "app/video/VideoSurface.h"
#include "controls/THVPanel.h"
#include "controls/THVSlider.h"
#include "demo/VideoContent.h"

#include <QApplication>
#include <QGuiApplication>
#include <QListWidget>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

namespace {

namespace fs = std::filesystem;
using korvane_test::PumpFor;
using korvane_test::PumpUntil;
using korvane_test::SendKey;

// Videos shared by the suite: "ok.wmv" (3 s of the test picture), "bad.wmv" (not a video) and the
// bar pictures, all under one folder written once.
class RiffVideoScreen : public korvane_test::FormTest {
protected:
    static void SetUpTestSuite()
    {
        EnsureApplication();
        if (QGuiApplication::platformName() != "xcb")
            return;
        media_ = std::make_unique<TempFolder>();
        fs::create_directories(media_->path / "Pics01");
        fs::create_directories(media_->path / "video");
        demo::WriteVideoBarPictures(media_->path / "Pics01");
        demo::WriteVideoFiles({{media_->path / "video" / "ok.wmv", "Test picture", 3, 440}});
        media_->Write("video/bad.wmv", std::string(4096, 'x'));
        ready_ = true;
    }
    static void TearDownTestSuite() { media_.reset(); }

    void SetUp() override
    {
        if (QGuiApplication::platformName() != "xcb")
            GTEST_SKIP() << "needs an X display (platform " << QGuiApplication::platformName().toStdString() << ")";
        ASSERT_TRUE(ready_) << "the suite's videos were not written";
        FormTest::SetUp();
        _ImagesDir = media_->Dir() + "Pics01\\";
    }
    void TearDown() override
    {
        video.reset();
        FormTest::TearDown();
    }

    static std::string Media(const std::string& name) { return media_->Dir() + "video/" + name; }

    // Opens the file in a 640 x 360 video area (twice the video's size) without a modal loop.
    TRIFFVideo& Open(const std::string& name)
    {
        video = std::make_unique<TRIFFVideo>();
        video->SetURL(Media(name));
        video->setGeometry(0, 0, 640, 360 + TRIFFVideo::kBarHeight);
        video->SizeRatio = 640.0f / 360.0f;
        video->show();
        return *video;
    }
    bool WaitPlaying(int ms = kEventDeadlineMs)
    {
        return PumpUntil([&] { return video->PlayState() == TRIFFVideo::kPlaying && video->CurrentPosition() > 0.2; }, ms);
    }
    // A seek as the slider's release does it.
    void SeekTo(int hundredths)
    {
        video->MovieSliderMouseDown();
        video->MovieSlider->SetPosition(hundredths);
        video->MovieSliderMouseUp();
    }

    static std::unique_ptr<TempFolder> media_;
    static bool ready_;
    std::unique_ptr<TRIFFVideo> video;
};

std::unique_ptr<TempFolder> RiffVideoScreen::media_;
bool RiffVideoScreen::ready_ = false;

bool Near(QRgb pixel, QColor expected, int tolerance)
{
    return std::abs(qRed(pixel) - expected.red()) <= tolerance && std::abs(qGreen(pixel) - expected.green()) <= tolerance &&
           std::abs(qBlue(pixel) - expected.blue()) <= tolerance;
}

TEST_F(RiffVideoScreen, PlayingShowsTheTestPictureAndTheSliderFollowsThePosition)
{
    TBusyFrm busy;
    _BusyFrm = &busy;
    TRIFFVideo& v = Open("ok.wmv");
    EXPECT_EQ(v.PlayState(), TRIFFVideo::kTransitioning);
    EXPECT_FALSE(busy.Done()) << "the busy window is up while the video starts";
    ASSERT_TRUE(WaitPlaying()) << "state " << v.PlayState() << ", error " << v.PlayerError();
    EXPECT_TRUE(busy.Done());
    _BusyFrm = nullptr;
    EXPECT_TRUE(v.PlayButton->Checked());
    EXPECT_FALSE(v.PauseButton->Checked());
    EXPECT_FALSE(v.StopButton->Checked());
    ASSERT_TRUE(PumpUntil([&] { return v.MovieSlider->MaxPosition() != TRIFFVideo::kUnknownDuration; },
                          kEventDeadlineMs));
    EXPECT_EQ(v.MovieSlider->MaxPosition(), int(std::trunc(v.Duration() * 100)));
    EXPECT_NEAR(v.MovieSlider->MaxPosition(), 300, 15);
    const double before = v.CurrentPosition();
    EXPECT_TRUE(PumpUntil([&] { return v.CurrentPosition() > before + 0.2; }, kEventDeadlineMs));
    // The slider takes the position at each tick of its timer, a tenth of a second apart.
    EXPECT_TRUE(PumpUntil([&] { return std::abs(v.MovieSlider->Position() - v.CurrentPosition() * 100) <= 25; },
                          kEventDeadlineMs));

    const QImage shot = v.grab().toImage();
    if (const char* dir = std::getenv("RT_TEST_OUTPUT_DIR"))
        shot.save(QString::fromLocal8Bit(dir) + "/riff-video-playing.png");
    ASSERT_EQ(shot.width(), 640);
    // The frame fills the area below the bar at twice its size.
    for (const demo::VideoBar& bar : demo::VideoBars()) {
        const QPoint centre = bar.box.center();
        const QRgb pixel = shot.pixel(centre.x() * 2, TRIFFVideo::kBarHeight + centre.y() * 2);
        EXPECT_TRUE(Near(pixel, bar.colour, 60)) << "bar at " << centre.x() << ": " << std::hex << pixel;
    }

    v.SlowButtonClick();
    EXPECT_DOUBLE_EQ(v.Rate(), 0.5);
    v.SlowButtonClick();
    EXPECT_DOUBLE_EQ(v.Rate(), 1.0);
    EXPECT_FALSE(v.SlowButton->Checked());
    v.WMPDoubleClick();
    EXPECT_TRUE(v.FullScreen());
    v.WMPDoubleClick();
    EXPECT_FALSE(v.FullScreen());
    EXPECT_EQ(v.WMP->geometry(), QRect(0, TRIFFVideo::kBarHeight, 640, 360));
}

// The player's sink waits only a moment for this thread to take each frame and ends the stream
// when it waits too long; a first picture that is slow to show (a busy machine, the graphics
// set-up of the first conversion) must not end it.
TEST_F(RiffVideoScreen, ASlowFirstPictureDoesNotEndThePlayback)
{
    TRIFFVideo& v = Open("ok.wmv");
    auto show = v.WMP->OnFrame;
    auto slowed = std::make_shared<bool>(false);
    v.WMP->OnFrame = [show, slowed] {
        if (!*slowed) {
            *slowed = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        }
        show();
    };
    ASSERT_TRUE(WaitPlaying()) << "state " << v.PlayState() << ", error " << v.PlayerError();
    EXPECT_TRUE(*slowed);
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(RiffVideoScreen, EscPausesWhilePlayingAndClosesAtPositionZero)
{
    TRIFFVideo& v = Open("ok.wmv");
    ASSERT_TRUE(WaitPlaying());
    SendKey(&v, true, Qt::Key_Escape);
    EXPECT_TRUE(PumpUntil([&] { return v.PlayState() == TRIFFVideo::kPaused; }, kEventDeadlineMs));
    EXPECT_TRUE(v.isVisible());
    EXPECT_TRUE(v.PauseButton->Checked());

    SendKey(&v, true, Qt::Key_F2);
    EXPECT_TRUE(PumpUntil([&] { return v.PlayState() == TRIFFVideo::kStopped; }, kEventDeadlineMs));
    EXPECT_EQ(v.CurrentPosition(), 0.0);
    // Pause at position 0 does nothing.
    v.PauseButtonClick();
    PumpFor(200);
    EXPECT_EQ(v.PlayState(), TRIFFVideo::kStopped);
    EXPECT_FALSE(v.PauseButton->Checked());

    SendKey(&v, true, Qt::Key_Escape);
    EXPECT_TRUE(PumpUntil([&] { return !v.isVisible(); }, kEventDeadlineMs));
    EXPECT_EQ(v.result(), QDialog::Accepted);
    EXPECT_FALSE(v.Timer->isActive());
}

TEST_F(RiffVideoScreen, RepeatRestartsAfterANaturalEndButNotAfterStop)
{
    TRIFFVideo& v = Open("ok.wmv");
    v.RepeatButtonClick();
    ASSERT_TRUE(v.RepeatButton->Checked());
    ASSERT_TRUE(WaitPlaying());
    v.StopButtonClick();
    PumpFor(600);
    EXPECT_EQ(v.PlayState(), TRIFFVideo::kStopped);
    EXPECT_EQ(v.CurrentPosition(), 0.0);

    v.PlayButtonClick();
    ASSERT_TRUE(WaitPlaying());
    ASSERT_TRUE(PumpUntil([&] { return v.Duration() > 2.5; }, kEventDeadlineMs));
    SeekTo(int(v.Duration() * 100) - 60);
    ASSERT_TRUE(PumpUntil([&] { return v.CurrentPosition() > v.Duration() - 0.4; }, kEventDeadlineMs));
    // Past the end it starts again from the beginning by itself.
    EXPECT_TRUE(PumpUntil([&] { return v.PlayState() == TRIFFVideo::kPlaying && v.CurrentPosition() < 1.0 &&
                                       v.CurrentPosition() > 0.1; },
                          kEventDeadlineMs))
        << "state " << v.PlayState() << " at " << v.CurrentPosition();
    EXPECT_EQ(v.StopButton->Tag(), 0);
}

TEST_F(RiffVideoScreen, SeekWhilePausedStaysAndWhilePlayingResumesAfter200Ms)
{
    TRIFFVideo& v = Open("ok.wmv");
    ASSERT_TRUE(WaitPlaying());
    v.PauseButtonClick();
    ASSERT_TRUE(PumpUntil([&] { return v.PlayState() == TRIFFVideo::kPaused; }, kEventDeadlineMs));
    const int frames = v.WMP->FrameCount();
    SeekTo(200);
    EXPECT_FALSE(v.Timer1->isActive());
    EXPECT_TRUE(PumpUntil([&] { return v.WMP->FrameCount() > frames; }, kEventDeadlineMs)) << "the new frame is shown";
    PumpFor(500);
    EXPECT_EQ(v.PlayState(), TRIFFVideo::kPaused);
    EXPECT_NEAR(v.CurrentPosition(), 2.0, 0.15);
    EXPECT_TRUE(v.Timer->isActive());

    v.PlayButtonClick();
    ASSERT_TRUE(PumpUntil([&] { return v.PlayState() == TRIFFVideo::kPlaying; }, kEventDeadlineMs));
    SeekTo(100);
    const auto seekAt = std::chrono::steady_clock::now();
    EXPECT_TRUE(v.Timer1->isActive());
    EXPECT_EQ(v.PlayState(), TRIFFVideo::kPaused);
    ASSERT_TRUE(PumpUntil([&] { return v.PlayState() == TRIFFVideo::kPlaying; }, kEventDeadlineMs));
    EXPECT_GE(std::chrono::steady_clock::now() - seekAt, std::chrono::milliseconds(190));
    EXPECT_FALSE(v.Timer1->isActive());
    EXPECT_NEAR(v.CurrentPosition(), 1.0, 0.6);
}

TEST_F(RiffVideoScreen, BrokenFileNamesTheFileAndTheErrorAndCloses)
{
    video = std::make_unique<TRIFFVideo>();
    video->SetURL(Media("bad.wmv"));
    // A guard for a hang: the test fails on its own clock, not the suite's.
    bool hung = false;
    QTimer::singleShot(kEventDeadlineMs, video.get(), [&hung, v = video.get()] {
        hung = true;
        v->close();
    });
    (void)video->ShowModal();
    EXPECT_FALSE(hung);
    EXPECT_FALSE(video->isVisible());
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_NE(ui->boxes[0].text.find("bad.wmv"), std::string::npos) << ui->boxes[0].text;
    ASSERT_FALSE(video->PlayerError().empty());
    EXPECT_NE(ui->boxes[0].text.find(video->PlayerError()), std::string::npos);
    EXPECT_FALSE(video->Timer->isActive());
}

TEST_F(RiffVideoScreen, ClosingEarlyOrAnErrorDuringASeekLeavesNoTimer)
{
    TRIFFVideo& v = Open("ok.wmv");
    v.close();
    EXPECT_FALSE(v.Timer->isActive());
    video.reset();
    PumpFor(300);

    TRIFFVideo& w = Open("ok.wmv");
    ASSERT_TRUE(WaitPlaying());
    SeekTo(150);
    ASSERT_TRUE(w.Timer1->isActive());
    w.SetURL(Media("bad.wmv"));
    ASSERT_TRUE(PumpUntil([&] { return !w.isVisible(); }, kEventDeadlineMs));
    EXPECT_FALSE(w.Timer->isActive());
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(ui->boxes.size(), 1u);
    video.reset();
    PumpFor(400);
}

TEST_F(RiffVideoScreen, TutorialLoopPlacesTheVideoAndEndsOnCloseOrEsc)
{
    std::string defaults = korvane_test::DefaultsText();
    defaults.insert(defaults.find("\tcontext Fretboard"), R"(	context VideoHelp[]
		string Description=""
		integer Size=0
		integer Left=0
		integer Top=0
		integer Width=0
		integer Height=0
		float Aspect=1
		string FileName=""
	endcontext
)");
    defaults += R"(general.VideoHelp[one] {
	Description="One"
	Size=1
	Left=-1
	Top=20
	Width=320
	Height=180
	FileName="ok.wmv"
}
general.VideoHelp[gone] {
	Description="Gone"
	FileName="Clips\missing.wmv"
}
)";
    korvane_test::WriteContent(content.Dir(), defaults);
    fs::create_directories(content.path / "video" / "clips");
    fs::copy_file(Media("ok.wmv"), content.path / "video" / "ok.wmv");
    TKorvaneForm& f = Start();
    _ImagesDir = media_->Dir() + "Pics01\\";
    TVideoTutorialForm list;
    list.AddItem("One", "one");
    list.AddItem("Gone", "gone");
    _VideoTutorialForm = &list;

    // Drives the modal windows: "one" (closed with F6 once it plays), "gone", then Close.
    int listShown = 0;
    QRect placed;
    QString caption;
    QTimer driver;
    driver.setInterval(30);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == &list && list.isVisible()) {
            ++listShown;
            if (listShown == 1)
                list.List->setCurrentRow(0);
            else if (listShown == 2)
                list.List->setCurrentRow(1);
            if (listShown <= 2)
                list.ListClick();
            else
                list.Button2Click();
        } else if (auto* v = qobject_cast<TRIFFVideo*>(modal); v != nullptr && v->PlayState() == TRIFFVideo::kPlaying) {
            placed = v->geometry();
            caption = v->windowTitle();
            SendKey(v, true, Qt::Key_F6);
        }
    });
    driver.start();
    QTimer::singleShot(2 * kEventDeadlineMs, &list, [&] { list.Button2Click(); });
    f.TutorialVideoButtonClick(f.TutorialVideoButton);
    EXPECT_EQ(listShown, 3);
    const int screenWidth = QGuiApplication::primaryScreen()->geometry().width();
    EXPECT_EQ(placed, QRect((screenWidth - 320) / 2, 20, 320, 180 + TRIFFVideo::kBarHeight));
    EXPECT_EQ(caption, "One");
    ASSERT_EQ(ui->boxes.size(), 1u);
    // The name as found on this system: one kind of separator, the existing folder's spelling.
    EXPECT_EQ(ui->boxes[0].text, "File not found: \n" + content.Dir() + "video/clips/missing.wmv");

    // Esc in the list ends the loop as well.
    driver.stop();
    QTimer::singleShot(200, &list, [&] { SendKey(&list, false, Qt::Key_Escape); });
    f.TutorialVideoButtonClick(f.TutorialVideoButton);
    EXPECT_EQ(list.result(), QDialog::Rejected);
    _VideoTutorialForm = nullptr;
}

}  // namespace
