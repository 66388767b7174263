// The main window's start-up and closing on content made in the test.
#include "app/KorvaneFormTestContent.h"

#include "config/TDVContext.h"
#include "controls/THVList.h"
#include "controls/THVPanel.h"
#include "controls/THVSlider.h"
#include "platform/drawing/TPicture.h"
#include "sound/TWaveScene.h"
#include "sprite/PicUtils.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

namespace {

using korvane_test::DefaultsText;
using korvane_test::FormTest;

class Startup : public FormTest {};

TEST_F(Startup, ReachesTheFirstModeWithItsGrooveAndRiffInstances)
{
    TKorvaneForm& f = Start();
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_TRUE(ui->exitCodes.empty());
    EXPECT_FALSE(f.Loading());
    EXPECT_EQ(f.ModeList->Items()->Count(), 2);
    EXPECT_EQ((*f.ModeList->Items())[0], "Blues in A - 90 BPM");
    EXPECT_EQ(f.ModeList->ItemIndex(), 0);
    EXPECT_EQ(f.Env()->CurrentMode(), "blues");
    EXPECT_EQ(f.CurrentMode->Text(), "Blues in A");
    EXPECT_EQ(WaveScene.GetInstanceCount(), 3u);
    EXPECT_EQ(WaveScene.GetInstanceLengthMs("groove", false), 8000u);
    EXPECT_EQ(WaveScene.GetInstanceLengthMs("b1", false), 1000u);
    EXPECT_EQ(WaveScene.GetInstanceLengthMs("b2", false), 1000u);
    EXPECT_DOUBLE_EQ(f.GrooveLength(), 8000.0);
    ASSERT_EQ(f.ModeRecords().size(), 2u);
    // Without a stored selection the first key of the plain binding set gives the riff.
    EXPECT_EQ(f.ModeRecords()[0].riffName, "b2");
    EXPECT_EQ(f.RiffLastShown(), "b2");
    // The game runs without the groove until Play.
    EXPECT_EQ(f.Env()->GameState(), TGameEnvObj::StateRunning);
    EXPECT_TRUE(f.MainTimer->Enabled());
    EXPECT_TRUE(f.EventsTimer->Enabled());
    EXPECT_FALSE(WaveScene.IsInstancePlaying("groove"));
    EXPECT_EQ(WaveScene.GetState(), 1);
    EXPECT_EQ(f.windowTitle().toStdString(), "Korvane 2 Test");
}

TEST_F(Startup, StoredModeIndexSelectsThatMode)
{
    content.Write("Korvane.INI", "settings.current_mode=1\n");
    TKorvaneForm& f = Start();
    EXPECT_EQ(f.ModeList->ItemIndex(), 1);
    EXPECT_EQ(f.Env()->CurrentMode(), "rock");
    EXPECT_EQ(WaveScene.GetInstanceLengthMs("groove", false), 4000u);
}

TEST_F(Startup, ModeIndexOutsideTheListSelectsTheFirstMode)
{
    for (const char* stored : {"7", "-1"}) {
        SCOPED_TRACE(stored);
        content.Write("Korvane.INI", std::string("settings.current_mode=") + stored + "\n");
        TKorvaneForm& f = Start();
        EXPECT_TRUE(ui->boxes.empty());
        EXPECT_EQ(f.ModeList->ItemIndex(), 0);
        EXPECT_EQ(f.Env()->CurrentMode(), "blues");
        EXPECT_EQ(f.Root()->GetInteger("settings.current_mode"), 0);
    }
}

TEST_F(Startup, CorruptUserFileBeepsRestoresDefaultsAndKeepsTheFile)
{
    content.Write("Korvane.INI", "settings.no_such_key=1\n");
    TKorvaneForm& f = Start();
    EXPECT_EQ(ui->beeps, 1);
    ASSERT_FALSE(ui->boxes.empty());
    EXPECT_EQ(ui->boxes[0].text, "Settings file corrupted. Restoring default settings...\nUnknown ident 'no_such_key' "
                                 "not allowed there; Line='no_such_key=1'; Line=0; File=" + content.Dir() +
                                 "Korvane.INI\nThe unreadable user settings were kept as \"" + content.Dir() +
                                 "Korvane.INI.bad\".");
    EXPECT_FALSE(f.Loading());
    EXPECT_EQ(f.Env()->CurrentMode(), "blues");
    EXPECT_TRUE(content.Exists("Korvane.INI.bad"));
    EXPECT_EQ(content.Read("Korvane.INI.bad"), "settings.no_such_key=1\n");
}

TEST_F(Startup, BrokenDefaultsLeaveTheUserFileUntouchedAtClosing)
{
    korvane_test::WriteContent(content.Dir(), korvane_test::DefaultsText("broken line here\n"));
    content.Write("Korvane.INI", "settings.riff_volume=0.55\n");
    TKorvaneForm& f = Start();
    EXPECT_EQ(ui->beeps, 1);
    ASSERT_EQ(ui->boxes.size(), 1u);
    // The parser's own text follows: what is wrong, the line, and the file.
    const std::string& text = ui->boxes[0].text;
    EXPECT_EQ(text.rfind("Settings file corrupted. Restoring default settings...\n", 0), 0u) << text;
    EXPECT_NE(text.find("Line='broken line here'"), std::string::npos) << text;
    EXPECT_NE(text.find("; File=" + content.Dir() + "Korvane.DEF"), std::string::npos) << text;
    // A changed setting is not dropped in silence: the first change says so, once.
    f.MelodyVolume->SetPosition(10);
    f.RiffVolume->SetPosition(30);  // from 20: the defaults' 0.8, as the user file was not read
    QCoreApplication::processEvents();
    ASSERT_EQ(ui->boxes.size(), 2u);
    EXPECT_NE(ui->boxes[1].text.find("will not be saved"), std::string::npos) << ui->boxes[1].text;
    EXPECT_NE(ui->boxes[1].text.find(content.Dir() + "Korvane.INI"), std::string::npos) << ui->boxes[1].text;
    // Nor is it said again for later changes, of these or other settings.
    f.MelodyVolume->SetPosition(40);
    f.SetStepAdvance(2);
    QCoreApplication::processEvents();
    EXPECT_EQ(ui->boxes.size(), 2u);
    f.SelectRiff("b1", 0);
    f.FormClose();
    QCoreApplication::processEvents();
    EXPECT_EQ(ui->boxes.size(), 2u);
    EXPECT_EQ(content.Read("Korvane.INI"), "settings.riff_volume=0.55\n");
    EXPECT_FALSE(content.Exists("Korvane.INI.bad"));
}

TEST_F(Startup, MessagesNameFilesAsTheyAreFoundOnThisSystem)
{
    // Names as the content spells them: "\\" separators and any letter case.
    const std::string dir = content.Dir();
    const struct {
        std::function<void()> load;
        std::string expected;  // the start of the message
    } cases[] = {
        {[&] { WaveContainer.AddWaveFromFile(dir + "WAVS\\gone.wav", "gone"); }, "Error open file '" + dir + "wavs/gone.wav'"},
        {[&] { TPicture picture; LoadImageToPicture(&picture, dir + "pics01\\none.png"); },
         "File not found:" + dir + "Pics01/none.png src="},
        {[&] { TStringList lines; lines.LoadFromFile(dir + "midi\\none.txt"); }, "Cannot open file \"" + dir + "MIDI/none.txt\""},
    };
    for (const auto& c : cases) {
        std::string message;
        try {
            c.load();
        } catch (const std::exception& error) {
            message = error.what();
        }
        EXPECT_EQ(message.substr(0, c.expected.size()), c.expected);
    }
}

TEST_F(Startup, VolumeSlidersFollowTheStoredVolumesWithoutChangingThem)
{
    content.Write("Korvane.INI", "settings.riff_volume=0.55\n");
    TKorvaneForm& f = Start();
    EXPECT_EQ(f.RiffVolume->Position(), 45);    // trunc(100 - 0.55 * 100)
    EXPECT_EQ(f.MelodyVolume->Position(), 30);  // trunc(100 - 0.7 * 100)
    EXPECT_FLOAT_EQ(f.Root()->GetFloat("settings.riff_volume"), 0.55f);
    EXPECT_FLOAT_EQ(f.Root()->GetFloat("settings.groove_volume"), 0.7f);
}

TEST_F(Startup, MovingTheRhythmSliderToTheTopStoresFullGrooveVolume)
{
    TKorvaneForm& f = Start();
    f.MelodyVolume->SetPosition(0);
    EXPECT_FLOAT_EQ(f.Root()->GetFloat("settings.groove_volume"), 1.0f);
    EXPECT_FLOAT_EQ(f.Root()->GetFloat("settings.riff_volume"), 0.8f);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ui->boxes.empty()) << "the change will be saved: nothing to tell";
}

TEST_F(Startup, ClosingWritesTheUserFileAndASecondStartReadsItBack)
{
    {
        TKorvaneForm& f = Start();
        f.SelectRiff("b1", ssShift | ssAlt);
        f.FormClose();
    }
    ASSERT_TRUE(content.Exists("Korvane.INI"));
    const std::string written = content.Read("Korvane.INI");
    EXPECT_NE(written.find("settings"), std::string::npos);
    EXPECT_EQ(written.find("title_in_combo"), std::string::npos) << "only the settings context is written";
    EXPECT_EQ(written.find("ApplicationTitle"), std::string::npos);

    TKorvaneForm& second = Start();
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_EQ(second.Root()->GetValueTextAt("settings.SelectedRiff[#].Riff", 1), "b1");
    // Shift wins over Alt.
    EXPECT_EQ(second.Root()->GetValueTextAt("settings.SelectedRiff[#].Set", 1), "shift");
    EXPECT_EQ(second.ModeRecords()[0].riffName, "b1");
    EXPECT_EQ(second.ModeRecords()[0].bindingSet, TShiftState(ssShift));
}

TEST_F(Startup, ClosingKeepsTheSelectionOfAModeNotOpened)
{
    content.Write("Korvane.INI", "settings.SelectedRiff[2].Riff=\"k1\"\nsettings.SelectedRiff[2].Set=\"alt\"\n");
    {
        TKorvaneForm& f = Start();
        f.FormClose();
    }
    TKorvaneForm& second = Start();
    EXPECT_EQ(second.Root()->GetValueTextAt("settings.SelectedRiff[#].Riff", 2), "k1");
    EXPECT_EQ(second.Root()->GetValueTextAt("settings.SelectedRiff[#].Set", 2), "alt");
    EXPECT_EQ(second.Root()->GetValueTextAt("settings.SelectedRiff[#].Riff", 1), "b2");
}

TEST_F(Startup, FailedWriteOfTheUserFileIsShownAndClosingGoesOn)
{
    TKorvaneForm& f = Start();
    std::filesystem::create_directory(content.path / "Korvane.INI");  // a folder cannot be replaced
    f.FormClose();
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_NE(ui->boxes[0].text.find("Korvane.INI"), std::string::npos) << ui->boxes[0].text;
}

TEST_F(Startup, MissingDefaultsFileIsReportedAsCorruptSettings)
{
    std::filesystem::remove(content.path / "Korvane.DEF");
    auto form = std::make_unique<TKorvaneForm>(nullptr, content.Dir());
    // Nothing is declared: the first key read without a test either leaves the start-up or ends
    // the program with its own message.
    bool threw = false;
    try {
        form->InitApplication();
    } catch (const std::exception&) {
        threw = true;
    }
    EXPECT_TRUE(threw || form->EndRequested());
    EXPECT_EQ(ui->beeps, 1);
    ASSERT_FALSE(ui->boxes.empty());
    EXPECT_EQ(ui->boxes[0].text.rfind("Settings file corrupted. Restoring default settings...\n", 0), 0u);
    EXPECT_NE(ui->boxes[0].text.find(content.Dir() + "Korvane.DEF"), std::string::npos) << ui->boxes[0].text;
}

TEST_F(Startup, StartsOnTheGeneratedDemoContentAndPlaysTheGroove)
{
    namespace fs = std::filesystem;
    const fs::path demo = fs::canonical("/proc/self/exe").parent_path().parent_path() / "demo";
    if (!fs::exists(demo / "Korvane.DEF"))
        GTEST_SKIP() << "the build wrote no demo content at " << demo;
    korvane_test::ResetSound();
    form = std::make_unique<TKorvaneForm>(nullptr, demo.string() + "/");
    form->InitApplication();
    for (const TMessageBoxRequest& box : ui->boxes)
        ADD_FAILURE() << box.text;
    ASSERT_TRUE(ui->exitCodes.empty());
    ASSERT_FALSE(form->Loading());
    EXPECT_GE(form->ModeList->Items()->Count(), 2);
    EXPECT_GT(form->GrooveLength(), 0.0);
    form->PlayButtonClick(form->PlayButton);
    EXPECT_TRUE(WaveScene.IsInstancePlaying("groove"));
}

}  // namespace

namespace {

// The program itself, started twice beside a content folder made in the test.
TEST(StartupProcess, SecondInstanceEndsWithZeroWhileTheFirstRuns)
{
    namespace fs = std::filesystem;
    const fs::path program = fs::canonical("/proc/self/exe").parent_path().parent_path() / "src" / "app" / "korvane";
    if (!fs::exists(program))
        GTEST_SKIP() << "the program is not built beside the tests: " << program;
    TempFolder content;
    korvane_test::WriteContent(content.Dir());
    TempFolder runtime;
    fs::permissions(runtime.path, fs::perms::owner_all, fs::perm_options::replace);
    const fs::path copy = content.path / "korvane";
    std::error_code linked;
    fs::create_hard_link(program, copy, linked);
    if (linked)
        fs::copy_file(program, copy);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("SDL_AUDIODRIVER", "dummy");
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path.string()));
    // The tests' own sanitizer options stay; only the leak check is left out.
    const QString sanitizer = environment.value("ASAN_OPTIONS");
    environment.insert("ASAN_OPTIONS", sanitizer.isEmpty() ? "detect_leaks=0" : sanitizer + ":detect_leaks=0");
    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(QString::fromStdString(copy.string()), {});
    ASSERT_TRUE(first.waitForStarted(10000));
    // The first instance is up once it holds its lock file.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto locked = [&] {
        for (const auto& entry : fs::directory_iterator(runtime.path))
            if (entry.path().filename().string().find("HV.Korvane") != std::string::npos)
                return true;
        return false;
    };
    while (!locked() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(locked());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(QString::fromStdString(copy.string()), {});
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running) << first.readAllStandardError().toStdString();

    first.kill();
    first.waitForFinished(10000);
}

}  // namespace
