// The splash and about window: the 9x mode and version texts it sets at creation, the optional
// splash picture, what the splash and the about box show, and the ways the about box ends.
#include "app/dialogs/TSplashScreen.h"
#include "app/AppTestSupport.h"
#include "demo/Skin.h"
#include "platform/ui/ApplicationInstance.h"
#include "platform/system/ShellExecute.h"
#include "sprite/Win9xMode.h"

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

// An about box whose executable folder is a test folder.
class TestSplash : public TSplashScreen {
public:
    explicit TestSplash(std::string folder) : folder_(std::move(folder)) {}

protected:
    std::string AppFolder() const override { return folder_; }

private:
    std::string folder_;
};

// Runs the test in its own current folder (the splash picture is looked up relative to it).
class SplashForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApplication();
        before = std::filesystem::current_path();
        std::filesystem::current_path(folder.path);
    }
    void TearDown() override { std::filesystem::current_path(before); }

    void WriteSplashPicture(const std::string& relativeName, int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::red);
        std::filesystem::create_directories((folder.path / relativeName).parent_path());
        ASSERT_TRUE(image.save(QString::fromStdString((folder.path / relativeName).string()), "BMP"));
    }

    static void Release(QWidget* target, QPoint at)
    {
        QMouseEvent release(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(target, &release);
    }

    std::filesystem::path before;
    TempFolder folder;
    CapturedUi ui;
};

TEST_F(SplashForm, CreationTurnsWin9xModeOffAndNamesTheProduct)
{
    Win9xMode = true;
    TestSplash splash(folder.Dir());
    EXPECT_FALSE(Win9xMode);
    EXPECT_EQ(splash.WindowsVersionLabel->text(), "Korvane!");
}

TEST_F(SplashForm, VersionLabelShowsTheProgramVersionInFourParts)
{
    const QString saved = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion("1.2.3");
    TestSplash splash(folder.Dir());
    EXPECT_EQ(splash.VersionLabel->text(), "Version 1.2.3.0");
    QCoreApplication::setApplicationVersion("");
    EXPECT_EQ(TSplashScreen::GetFileVersion(), "?");
    QCoreApplication::setApplicationVersion("1.x");
    EXPECT_EQ(TSplashScreen::GetFileVersion(), "?");
    QCoreApplication::setApplicationVersion(saved);
}

TEST_F(SplashForm, VersionIsTheOneTheProgramWasBuiltWith)
{
    TestSplash splash(folder.Dir());
    EXPECT_EQ(splash.VersionLabel->text().toStdString(), "Version 2.0.0.0");
}

TEST_F(SplashForm, WithoutSplashPictureTheBuiltInPictureAndLayoutStay)
{
    TestSplash splash(folder.Dir());
    EXPECT_EQ(splash.size(), QSize(500, 151));
    EXPECT_FALSE(splash.Image1->pixmap().isNull());
    EXPECT_TRUE(splash.SplashImage->pixmap().isNull());
    EXPECT_EQ(splash.HideButton->y(), 120);
}

TEST_F(SplashForm, SplashPictureIsCentredWithTheButtonBelowIt)
{
    WriteSplashPicture("Pics01/Splash.BMP", 300, 100);
    TestSplash splash(folder.Dir());
    EXPECT_FALSE(splash.SplashImage->pixmap().isNull());
    EXPECT_EQ(splash.SplashImage->geometry(), QRect(100, 0, 300, 100));
    EXPECT_EQ(splash.HideButton->y(), 100);
}

// The window shows its texts under the picture (the picture comes later in its control order):
// the demo's skin must leave them in view, the version above all, also when it is written over a
// folder that holds a splash picture.
TEST_F(SplashForm, TheDemoSkinLeavesTheProductAndVersionInView)
{
    WriteSplashPicture("Pics01/splash.bmp", 500, 151);
    demo::WriteSkin(folder.path);
    TestSplash splash(folder.Dir());
    for (const QLabel* label : {splash.VersionLabel, splash.WindowsVersionLabel, splash.Label1}) {
        SCOPED_TRACE(label->objectName().toStdString());
        EXPECT_TRUE(splash.SplashImage->isHidden() || !splash.SplashImage->geometry().intersects(label->geometry()));
    }
}

TEST_F(SplashForm, DamagedSplashPictureLeavesTheBuiltInOne)
{
    std::filesystem::create_directories(folder.path / "pics01");
    folder.Write("pics01/splash.bmp", "BM not really a bitmap");
    TestSplash splash(folder.Dir());
    EXPECT_TRUE(splash.SplashImage->pixmap().isNull());
    EXPECT_EQ(splash.size(), QSize(500, 151));
}

TEST_F(SplashForm, DuringStartUpItShowsLoadingAndNoButtons)
{
    folder.Write("readme.txt", "read me");
    TestSplash splash(folder.Dir());
    splash.SetStartUp(true);
    splash.show();
    EXPECT_TRUE(splash.Label1->isVisible());
    EXPECT_EQ(splash.Label1->text(), "Loading..");
    EXPECT_FALSE(splash.HideButton->isVisible());
    EXPECT_FALSE(splash.Button1->isVisible());
}

TEST_F(SplashForm, AboutBoxShowsInfoOnlyWithReadmeBesideTheExecutable)
{
    TestSplash splash(folder.Dir());
    splash.show();
    EXPECT_TRUE(splash.HideButton->isVisible());
    EXPECT_FALSE(splash.Label1->isVisible());
    EXPECT_FALSE(splash.Button1->isVisible());
    splash.hide();

    folder.Write("readme.txt", "read me");
    splash.show();
    EXPECT_TRUE(splash.Button1->isVisible());
}

TEST_F(SplashForm, InfoOpensTheReadmeWithTheDesktopViewer)
{
    folder.Write("readme.txt", "read me");
    std::vector<std::string> opened;
    const TFileOpener before = SetFileOpener([&](const std::string& file) {
        opened.push_back(file);
        return true;
    });
    TestSplash splash(folder.Dir());
    splash.Button1Click();
    SetFileOpener(before);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(std::filesystem::path(opened[0]), folder.path / "readme.txt");
    EXPECT_FALSE(TSplashScreen::ShellExecuteFile("ab"));

    // When the desktop has no program for it, the user is told.
    CapturedUi ui;
    const TFileOpener none = SetFileOpener([](const std::string&) { return false; });
    splash.Button1Click();
    SetFileOpener(none);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("Cannot open " + folder.Dir() + "readme.txt", 0), 0u);
}

TEST_F(SplashForm, EscClosesTheAboutBox)
{
    TestSplash splash(folder.Dir());
    splash.show();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&splash, &esc);
    EXPECT_FALSE(splash.isVisible());
    EXPECT_EQ(splash.result(), QDialog::Rejected);
}

TEST_F(SplashForm, ClickOnThePictureEndsTheAboutBoxWithOk)
{
    TestSplash splash(folder.Dir());
    splash.show();
    Release(&splash, QPoint(480, 60));
    EXPECT_FALSE(splash.isVisible());
    EXPECT_EQ(splash.result(), QDialog::Accepted);
}

TEST_F(SplashForm, ClickDoesNothingWhileOkIsDisabled)
{
    TestSplash splash(folder.Dir());
    splash.SetStartUp(true);
    splash.HideButton->setEnabled(false);
    splash.show();
    Release(&splash, QPoint(480, 60));
    EXPECT_TRUE(splash.isVisible());
    splash.Timer1Timer();
    EXPECT_TRUE(splash.isVisible()) << "the splash stays up while the program starts";
    splash.SetStartUp(false);
    splash.Timer1Timer();
    EXPECT_FALSE(splash.isVisible());
}

TEST_F(SplashForm, OkEndsAModalShowingWithOk)
{
    TestSplash splash(folder.Dir());
    QTimer::singleShot(20, &splash, [&] { splash.HideButton->click(); });
    QTimer::singleShot(5000, &splash, [&] { splash.reject(); });
    EXPECT_EQ(splash.exec(), QDialog::Accepted);
    EXPECT_FALSE(splash.SplashTimer->isActive());
}

}  // namespace
