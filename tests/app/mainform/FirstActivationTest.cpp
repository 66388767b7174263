// The main window's first activation on the generated demo content: the riff list takes its column
// font sizes and hints, and the tutorial list is filled from the "VideoHelp" entries, once.
#include <gtest/gtest.h>

#include "app/KorvaneFormTestContent.h"

#include "app/mainform/TKorvaneForm.h"
#include "app/dialogs/TRiffListDlg.h"
#include "app/video/TVideoTutorialForm.h"

#include <QListWidget>
#include <QPushButton>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

TEST(FirstActivation, FillsTheTutorialListFromTheVideoHelpEntriesOnce)
{
    const fs::path demo = fs::canonical("/proc/self/exe").parent_path().parent_path() / "demo";
    if (!fs::exists(demo / "Korvane.DEF"))
        GTEST_SKIP() << "the build wrote no demo content at " << demo;
    EnsureApplication();
    CapturedUi ui;
    TVideoTutorialForm tutorials;
    _VideoTutorialForm = &tutorials;
    TRiffListDlg riffList;
    _RiffListDlg = &riffList;
    {
        TKorvaneForm form(nullptr, demo.string() + "/");
        form.InitApplication();
        form.FormActivate(nullptr);
        EXPECT_EQ(riffList.ColumnFontSizes(), (std::vector<int>{10, 9, 9, 9, 9, 8}));
        EXPECT_EQ(riffList.PlayButton->toolTip(), "Listen to the selected riff");
        EXPECT_EQ(riffList.CancelButton->toolTip(), "");
        ASSERT_EQ(tutorials.ItemCount(), 5);
        tutorials.List->setCurrentRow(1);
        EXPECT_EQ(tutorials.GetSelectedItem(), "Keys");

        tutorials.AddItem("added later", "x");
        form.FormActivate(nullptr);  // only the first activation fills the list
        EXPECT_EQ(tutorials.ItemCount(), 6);
    }
    _VideoTutorialForm = nullptr;
    _RiffListDlg = nullptr;
    korvane_test::ResetSound();
}

}  // namespace
