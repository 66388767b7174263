// The transcription display: pages decoded at the mode change behind the busy window, one frame
// per distinct page name whatever its letter case, the fingering variants, "SHOWRIFF:" choosing
// the riff's page and "HIDERIFF" hiding it, and a mode or an object without pages.
#include "app/AppTestSupport.h"
#include "app/dialogs/TBusyFrm.h"
#include "app/game/TKorvaneEnv.h"
#include "app/game/TRiffImageObj.h"
#include "config/TDVContext.h"
#include "platform/ui/ApplicationInstance.h"
#include "platform/system/Exception.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TCanvas.h"
#include "platform/ui/TImage.h"
#include "platform/drawing/TPicture.h"
#include "sprite/TASpriteInstance.h"

#include <QColor>
#include <QImage>
#include <QProgressBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr TColor kBlack = 0x000000;
constexpr TColor kRed = 0x0000FF;
constexpr TColor kGreen = 0x00FF00;
constexpr TColor kBlue = 0xFF0000;

// Riff One has the default page "pageA" and page 3 "PageB"; riff Two names "PageB" in other
// letters; riff Three shares "pageA". The mode "empty" has no riff.
std::string Config(bool fingering)
{
    return std::string("context general\n"
                       "endcontext\n"
                       "context settings\n"
                       "\tstring current_mode=\"rock\"\n"
                       "\tbool ShowFingeringOnTranscriptions=") +
           (fingering ? "1" : "0") +
           "\n"
           "endcontext\n"
           "context mode[]\n"
           "\tstring title_in_drop=\"\"\n"
           "\tcontext riff[]\n"
           "\t\tstring file_prefix[]=\"\"\n"
           "\tendcontext\n"
           "endcontext\n"
           "mode[rock] {\n"
           "\triff[One] {\n"
           "\t\tfile_prefix=\"pageA\"\n"
           "\t\tfile_prefix[3]=\"PageB\"\n"
           "\t}\n"
           "\triff[Two] {\n"
           "\t\tfile_prefix=\"pageb\"\n"
           "\t}\n"
           "\triff[Three] {\n"
           "\t\tfile_prefix=\"pageA\"\n"
           "\t}\n"
           "}\n"
           "mode[empty].title_in_drop=\"Nothing\"\n"
           "mode[broken].riff[Lost].file_prefix=\"nowhere\"\n";
}

void WritePicture(const TempFolder& folder, const std::string& name, int w, int h, TColor color)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
    ASSERT_TRUE(image.save(QString::fromStdString((folder.path / name).string()), "PNG"));
}

class RiffImage : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApplication();
        WritePicture(folder, "pageA.png", 100, 50, kRed);
        WritePicture(folder, "PageB.png", 100, 50, kGreen);
        WritePicture(folder, "PageBf.png", 100, 50, kBlue);
        WritePicture(folder, "NoteArea.png", 200, 100, kBlack);
        busy = std::make_unique<TBusyFrm>();
        Make(false);
    }
    void TearDown() override
    {
        env.reset();
        busy->SetDone(true);
        busy->hide();
    }

    void Make(bool fingering)
    {
        env.reset();
        root = std::make_unique<TDVContext>();
        LoadText(*root, Config(fingering));
        image = std::make_unique<TImage>(nullptr);
        image->SetBounds(0, 0, 200, 100);
        TBusyFrm* window = busy.get();
        env = std::make_unique<TKorvaneEnv>(
            root.get(), nullptr, nullptr, image.get(), nullptr,
            TKorvaneEnv::TObjectMakers{{}, TRiffImageObj::Maker(folder.Dir(), [window] { return window; })});
        pages = dynamic_cast<TRiffImageObj*>(env->Transcription());
        ASSERT_NE(pages, nullptr);
    }

    void Post(const std::string& name, std::int32_t param)
    {
        env->PostEvent(name, param);
        env->ProcessEvents();
    }
    void Frame()
    {
        env->UpdateObjects();
        env->DrawObjects();
    }
    TColor Centre() { return image->Picture()->Bitmap()->Canvas()->Pixels(100, 50) & 0xFFFFFF; }

    TempFolder folder;
    std::unique_ptr<TBusyFrm> busy;
    std::unique_ptr<TDVContext> root;
    std::unique_ptr<TImage> image;
    std::unique_ptr<TKorvaneEnv> env;
    TRiffImageObj* pages = nullptr;
};

TEST_F(RiffImage, ModeChangeLoadsEveryDistinctPageBehindTheBusyWindow)
{
    struct Sample {
        bool visible;
        std::string text;
        int progress;
    };
    std::vector<Sample> samples;
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        samples.push_back({busy->isVisible(), busy->Text(), busy->ProgressBar->value()});
    });
    // The riff loading before it leaves the bar's range at the mode's riff count.
    busy->ProgressBar->setMaximum(3);
    probe.start();
    env->SetMode("rock", 0, true);
    probe.stop();

    EXPECT_EQ(pages->PageCount(), 2) << "pageA and PageB, each once";
    ASSERT_FALSE(samples.empty());
    bool loadingShown = false;
    for (const Sample& s : samples)
        loadingShown = loadingShown || (s.visible && s.text == "Loading images..." && s.progress > 0);
    EXPECT_TRUE(loadingShown);
    EXPECT_FALSE(busy->isVisible());
    EXPECT_TRUE(busy->Done());
    EXPECT_EQ(busy->ProgressBar->value(), 100);
    ASSERT_NE(pages->Page(), nullptr);
    EXPECT_FALSE(pages->Page()->IsVisible());
    EXPECT_EQ(Centre(), kBlack);
}

TEST_F(RiffImage, ShowRiffShowsTheRequestedPageAndFallsBackToTheDefault)
{
    env->SetMode("rock", 0, true);
    Post("SHOWRIFF:One", 1);  // no entry "1": the default page
    Frame();
    EXPECT_EQ(Centre(), kRed);
    Post("SHOWRIFF:One", 3);
    Frame();
    EXPECT_EQ(Centre(), kGreen);
    Post("SHOWRIFF:Three", 1);
    Frame();
    EXPECT_EQ(Centre(), kRed);
}

TEST_F(RiffImage, PageNamedInOtherLettersShowsTheSameFrame)
{
    env->SetMode("rock", 0, true);
    Post("SHOWRIFF:Two", 1);
    Frame();
    EXPECT_EQ(Centre(), kGreen);
}

TEST_F(RiffImage, HideRiffHidesThePage)
{
    env->SetMode("rock", 0, true);
    Post("SHOWRIFF:One", 3);
    Frame();
    ASSERT_EQ(Centre(), kGreen);
    Post("HIDERIFF", 0);
    Frame();
    EXPECT_FALSE(pages->Page()->IsVisible());
    EXPECT_EQ(Centre(), kBlack);
}

TEST_F(RiffImage, FingeringPagesAreUsedWhereTheyExist)
{
    Make(true);
    env->SetMode("rock", 0, true);
    Post("SHOWRIFF:One", 3);
    Frame();
    EXPECT_EQ(Centre(), kBlue);
    Post("SHOWRIFF:One", 1);
    Frame();
    EXPECT_EQ(Centre(), kRed) << "pageA has no fingering picture";
}

TEST_F(RiffImage, BeforeTheFirstModeChangeEverythingIsIgnored)
{
    Post("SHOWRIFF:One", 1);
    Post("HIDERIFF", 0);
    Frame();
    env->RefreshObjects(false);
    EXPECT_EQ(pages->Page(), nullptr);
    EXPECT_EQ(pages->PageCount(), 0);
}

TEST_F(RiffImage, ModeWithoutRiffsShowsNoPage)
{
    env->SetMode("rock", 0, true);
    env->SetMode("empty", 0, false);
    EXPECT_EQ(pages->PageCount(), 0);
    EXPECT_EQ(pages->Page(), nullptr);
    Post("SHOWRIFF:One", 1);
    Frame();
    EXPECT_EQ(Centre(), kBlack);
    EXPECT_FALSE(busy->isVisible());
}

TEST_F(RiffImage, MissingPagePictureFailsTheLoadWithFileNotFound)
{
    try {
        env->SetMode("broken", 0, false);
        FAIL() << "loaded a missing page";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("File not found:", 0), 0u) << e.what();
    }
    Post("SHOWRIFF:Lost", 1);
    Frame();
}

}  // namespace
