// The main window's first activation on the generated demo content: the tutorial list is filled
// from the "VideoHelp" entries, once.
#include <gtest/gtest.h>

#include "KorvaneFormTestContent.h"

#include "app/TKorvaneForm.h"
#include "app/TVideoTutorialForm.h"

#include <QListWidget>

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
    {
        TKorvaneForm form(nullptr, demo.string() + "/");
        form.InitApplication();
        form.FormActivate(nullptr);
        ASSERT_EQ(tutorials.ItemCount(), 2);
        tutorials.List->setCurrentRow(1);
        EXPECT_EQ(tutorials.GetSelectedItem(), "Keys");

        tutorials.AddItem("added later", "x");
        form.FormActivate(nullptr);  // only the first activation fills the list
        EXPECT_EQ(tutorials.ItemCount(), 3);
    }
    _VideoTutorialForm = nullptr;
    korvane_test::ResetSound();
}

}  // namespace
