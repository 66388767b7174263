// Help, read-me and mixer commands: which file or program they hand to the desktop, and what the
// user is told when there is none.
#include "AppTestSupport.h"
#include "app/AppCommands.h"
#include "platform/ShellExecute.h"

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

TEST(AppCommands, MissingOrUnopenableHelpIsTold)
{
    TempFolder dir;
    CapturedUi ui;
    Launches l;
    ShowHelp(dir.Dir() + "korvane", dir.Dir(), "korvane.hlp");
    EXPECT_TRUE(l.opened.empty());
    dir.Write("korvane.hlp", "help");
    l.openSucceeds = false;
    ShowHelp(dir.Dir() + "korvane", dir.Dir(), "korvane.hlp");
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, "Help file not found: " + dir.Dir() + "korvane.hlp");
    EXPECT_EQ(ui.boxes[1].text, "Cannot open " + dir.Dir() + "korvane.hlp");
}

TEST(AppCommands, ReadmeOpensOnlyWhenItExists)
{
    TempFolder dir;
    Launches l;
    EXPECT_FALSE(OpenReadme(dir.Dir()));
    dir.Write("ReadMe.TXT", "read me");
    EXPECT_TRUE(OpenReadme(dir.Dir()));
    EXPECT_EQ(l.opened, std::vector<std::string>{dir.Dir() + "ReadMe.TXT"});
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
