// Help, read-me and mixer commands: which file or program they hand to the desktop, and what the
// user is told when there is none.
#include "app/AppTestSupport.h"
#include "app/mainform/AppCommands.h"
#include "app/dialogs/TTextViewer.h"
#include "platform/ui/ApplicationInstance.h"
#include "platform/system/ShellExecute.h"

#include <QPlainTextEdit>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// Records what would be opened or started; nothing is launched.
struct Launches {
    Launches()
    {
        openerBefore = SetFileOpener([this](const std::string& file) {
            opened.push_back(file);
            return openSucceeds;
        });
        starterBefore = SetProcessStarter([this](const std::string& program, const std::vector<std::string>&) {
            started.push_back(program);
            return program == installed;
        });
    }
    ~Launches()
    {
        SetFileOpener(openerBefore);
        SetProcessStarter(starterBefore);
    }
    std::vector<std::string> opened;
    std::vector<std::string> started;
    std::string installed;
    bool openSucceeds = true;
    TFileOpener openerBefore;
    TProcessStarter starterBefore;
};

TEST(AppCommands, CompiledHelpNameReplacesTheExeExtension)
{
    EXPECT_EQ(CompiledHelpFileName("/opt/k/Korvane.exe"), "/opt/k/Korvane.chm");
    EXPECT_EQ(CompiledHelpFileName("/opt/k/korvane"), "/opt/k/korvane.chm");
}

TEST(AppCommands, HelpOpensTheCompiledHelpWhenItExistsElseTheHelpFile)
{
    TempFolder dir;
    dir.Write("korvane.hlp", "help");
    CapturedUi ui;
    Launches l;
    ShowHelp(dir.Dir() + "korvane", dir.Dir(), "korvane.hlp");
    dir.Write("korvane.chm", "compiled");
    ShowHelp(dir.Dir() + "korvane", dir.Dir(), "korvane.hlp");
    EXPECT_EQ(l.opened, (std::vector<std::string>{dir.Dir() + "korvane.hlp", dir.Dir() + "korvane.chm"}));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST(AppCommands, HelpTheDesktopCannotOpenIsToldOrShownAsText)
{
    EnsureApplication();
    TempFolder dir;
    CapturedUi ui;
    Launches l;
    QWidget owner;
    ShowHelp(dir.Dir() + "korvane", dir.Dir(), "korvane.hlp", &owner);
    EXPECT_TRUE(l.opened.empty());
    l.openSucceeds = false;
    // A plain-text help file opens in the program's own viewer.
    dir.Write("korvane.hlp", "Keys\n  F1  help\n");
    ShowHelp(dir.Dir() + "korvane", dir.Dir(), "korvane.hlp", &owner);
    const auto* viewer = owner.findChild<TTextViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_TRUE(viewer->Text->isReadOnly());
    EXPECT_EQ(viewer->Text->toPlainText(), QString("Keys\n  F1  help\n"));
    // A binary one, or a compiled help file, is told.
    dir.Write("korvane.hlp", std::string("?_\x03\0binary", 10));
    ShowHelp(dir.Dir() + "korvane", dir.Dir(), "korvane.hlp", &owner);
    dir.Write("korvane.chm", "compiled");
    ShowHelp(dir.Dir() + "korvane", dir.Dir(), "korvane.hlp", &owner);
    EXPECT_EQ(owner.findChildren<TTextViewer*>().size(), 1);
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[0].text, "Help file not found: " + dir.Dir() + "korvane.hlp");
    EXPECT_EQ(ui.boxes[1].text, CannotOpenText(dir.Dir() + "korvane.hlp"));
    EXPECT_EQ(ui.boxes[2].text, CannotOpenText(dir.Dir() + "korvane.chm"));
    EXPECT_EQ(ui.boxes[2].text.rfind("Cannot open " + dir.Dir() + "korvane.chm\n", 0), 0u);
}

TEST(AppCommands, ReadmeOpensOnlyWhenItExists)
{
    TempFolder dir;
    Launches l;
    EXPECT_FALSE(OpenReadme(dir.Dir()));
    dir.Write("ReadMe.TXT", "read me");
    EXPECT_TRUE(OpenReadme(dir.Dir()));
    EXPECT_EQ(l.opened, std::vector<std::string>{dir.Dir() + "ReadMe.TXT"});
    CapturedUi ui;
    l.openSucceeds = false;
    EXPECT_TRUE(OpenReadme(dir.Dir()));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, CannotOpenText(dir.Dir() + "ReadMe.TXT"));
}

TEST(AppCommands, MixerStartsTheFirstInstalledOne)
{
    CapturedUi ui;
    Launches l;
    l.installed = "pwvucontrol";
    StartVolumeMixer();
    EXPECT_EQ(l.started, (std::vector<std::string>{"pavucontrol", "pavucontrol-qt", "pwvucontrol"}));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST(AppCommands, NoMixerInstalledIsTold)
{
    CapturedUi ui;
    Launches l;
    StartVolumeMixer();
    EXPECT_EQ(l.started.size(), VolumeMixers().size());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_NE(ui.boxes[0].text.find("pavucontrol"), std::string::npos);
}

}  // namespace
