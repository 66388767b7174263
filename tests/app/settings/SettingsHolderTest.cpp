// The settings holder: loading the defaults and the user file into one root, keeping an unreadable
// user file, and writing the "settings" context back atomically.
#include "app/AppTestSupport.h"
#include "app/settings/TSettingsHolder.h"
#include "config/LoadBudget.h"
#include "platform/system/Exception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <new>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const char* kDefaults = R"(context general
	string Version="2.0"
endcontext
context settings
	integer current_mode=0
	float riff_volume=0.8
	float groove_volume=0.7
	bool ShowHints=1
	context SelectedRiff[]
		string Riff=""
		string Set=""
	endcontext
endcontext
)";

std::string ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.what();
    }
    return "<no error>";
}

TEST(SettingsHolder, UserFileLoadsOverTheDefaultsIntoOneRoot)
{
    TempFolder dir;
    dir.Write("Korvane.DEF", kDefaults);
    dir.Write("korvane.ini", "settings.riff_volume=0.25\nsettings.SelectedRiff[blues].Riff=\"r2\"\n");
    settings_t s;
    s.Load(dir.Dir());
    EXPECT_EQ(s.DEFFileName, dir.Dir() + "Korvane.DEF");
    EXPECT_EQ(s.INIFileName, dir.Dir() + "Korvane.INI");
    EXPECT_FLOAT_EQ(s.GetContext()->GetFloat("settings.riff_volume"), 0.25f);
    EXPECT_FLOAT_EQ(s.GetContext()->GetFloat("settings.groove_volume"), 0.7f);
    EXPECT_EQ(s.GetContext()->GetValueText("settings.SelectedRiff[blues].Riff"), "r2");
    EXPECT_EQ(s.GetContext()->GetValueText("general.Version"), "2.0");
}

TEST(SettingsHolder, MissingUserFileIsNoErrorButMissingDefaultsAre)
{
    TempFolder dir;
    dir.Write("Korvane.DEF", kDefaults);
    settings_t s;
    EXPECT_NO_THROW(s.Load(dir.Dir()));
    EXPECT_EQ(s.GetContext()->GetInteger("settings.current_mode"), 0);

    TempFolder empty;
    settings_t none;
    EXPECT_EQ(ErrorOf([&] { none.Load(empty.Dir()); }),
              "TDVContext::LoadFromFile: file not found '" + empty.Dir() + "Korvane.DEF'");
}

TEST(SettingsHolder, UnreadableUserFileIsKeptAsideWithoutReplacingAnEarlierCopy)
{
    TempFolder dir;
    dir.Write("Korvane.DEF", kDefaults);
    const std::string broken = "settings.riff_volume=0.5\nsettings.NotDeclared=1\n";
    dir.Write("Korvane.INI.bad", "an older copy");
    // Each start with an unreadable user file keeps it under the next free name.
    for (const char* kept : {"Korvane.INI.bad1", "Korvane.INI.bad2"}) {
        SCOPED_TRACE(kept);
        dir.Write("Korvane.INI", broken);
        settings_t s;
        EXPECT_THROW(s.Load(dir.Dir()), Exception);
        // What was parsed before the error stays; the file is out of the way of the next write.
        EXPECT_FLOAT_EQ(s.GetContext()->GetFloat("settings.riff_volume"), 0.5f);
        EXPECT_FALSE(dir.Exists("Korvane.INI"));
        EXPECT_EQ(s.KeptUserFile(), dir.Dir() + kept);
        EXPECT_EQ(dir.Read(kept), broken);
        EXPECT_TRUE(s.UserFileWritable());
        s.SaveSettings(s.INIFileName);
        EXPECT_TRUE(dir.Exists("Korvane.INI"));
    }
    EXPECT_EQ(dir.Read("Korvane.INI.bad"), "an older copy");
}

TEST(SettingsHolder, UserFileStaysAndIsNotWritableWhenTheDefaultsFailToLoad)
{
    TempFolder dir;
    dir.Write("Korvane.DEF", "context settings\n\tinteger current_mode=0\n\tbroken line here\nendcontext\n");
    dir.Write("Korvane.INI", "settings.current_mode=1\n");
    settings_t s;
    EXPECT_THROW(s.Load(dir.Dir()), Exception);
    EXPECT_EQ(dir.Read("Korvane.INI"), "settings.current_mode=1\n");
    EXPECT_FALSE(dir.Exists("Korvane.INI.bad"));
    EXPECT_TRUE(s.KeptUserFile().empty());
    EXPECT_FALSE(s.UserFileWritable());
    // Once the defaults are mended, the user file loads and may be written again.
    dir.Write("Korvane.DEF", kDefaults);
    s.Reload();
    EXPECT_TRUE(s.UserFileWritable());
}

TEST(SettingsHolder, SavedSettingsHoldOnlyTheSettingsContextAndReadBack)
{
    TempFolder dir;
    dir.Write("Korvane.DEF", kDefaults);
    settings_t s;
    s.Load(dir.Dir());
    TDVContext* settings = s.GetContext()->GetContext("settings");
    settings->SetFloat("groove_volume", 1.0f);
    settings->SetStringAt("SelectedRiff[#].Riff", "r3", 2);
    const int thresholdBefore = TDVContext::BlockThreshold();
    s.SaveSettings(dir.Dir() + "Korvane.INI");
    EXPECT_EQ(TDVContext::BlockThreshold(), thresholdBefore);
    const std::string first = dir.Read("Korvane.INI");
    EXPECT_EQ(first.find("general"), std::string::npos);
    EXPECT_NE(first.find("settings"), std::string::npos);
    EXPECT_NE(first.find("{"), std::string::npos) << "contexts are written as blocks";
    s.SaveSettings(dir.Dir() + "Korvane.INI");
    EXPECT_EQ(dir.Read("Korvane.INI"), first) << "saving twice gives the same file";

    settings_t again;
    again.Load(dir.Dir());
    EXPECT_FLOAT_EQ(again.GetContext()->GetFloat("settings.groove_volume"), 1.0f);
    EXPECT_EQ(again.GetContext()->GetValueTextAt("settings.SelectedRiff[#].Riff", 2), "r3");
    EXPECT_FLOAT_EQ(again.GetContext()->GetFloat("settings.riff_volume"), 0.8f);
}

TEST(SettingsHolder, FailedWriteReportsItsErrorAndLeavesTheOldFileWhole)
{
    TempFolder dir;
    dir.Write("Korvane.DEF", kDefaults);
    // A name the system takes, but not with the temporary file's letters after it: the write
    // fails whoever runs the test.
    const std::string longest(250, 'k');
    dir.Write(longest, "settings.riff_volume=0.5\n");
    settings_t s;
    s.Load(dir.Dir());
    const std::string name = dir.Dir() + longest;
    EXPECT_EQ(ErrorOf([&] { s.SaveSettings(name); }), "Cannot create file \"" + name + "\": File name too long");
    EXPECT_EQ(dir.Read(longest), "settings.riff_volume=0.5\n");
}

// Settings whose text a load would refuse (more lines, or more entries, than it may read) are not
// written: the old file stays whole and the error says why.
TEST(SettingsHolder, SettingsThatWouldNotLoadAgainLeaveTheOldFile)
{
    using tdv_detail::LoadBudget;
    TempFolder dir;
    dir.Write("Korvane.DEF", kDefaults);
    dir.Write("Korvane.INI", "settings.riff_volume=0.5\n");
    settings_t s;
    s.Load(dir.Dir());
    for (int i = 1; i <= 30; ++i)
        s.GetContext()->SetStringAt("settings.SelectedRiff[#].Riff", "r" + std::to_string(i), i);
    const LoadBudget::Limits shipped;
    for (const LoadBudget::Limits& limits : {LoadBudget::Limits{shipped.entries, shipped.bytes, 40},
                                             LoadBudget::Limits{50, shipped.bytes, shipped.lines}}) {
        const LoadBudget::Limits before = LoadBudget::SetLimits(limits);
        const std::string error = ErrorOf([&] { s.SaveSettings(s.INIFileName); });
        LoadBudget::SetLimits(before);
        EXPECT_EQ(error.rfind("Changed settings were not saved: their text would not load again (Configuration text too ",
                              0),
                  0u)
            << error;
        EXPECT_NE(error.find("), so \"" + dir.Dir() + "Korvane.INI\" keeps the settings it holds."), std::string::npos)
            << error;
        EXPECT_EQ(dir.Read("Korvane.INI"), "settings.riff_volume=0.5\n");
        EXPECT_FALSE(dir.Exists("Korvane.INI.tmp"));
    }
    s.SaveSettings(s.INIFileName);
    EXPECT_NE(dir.Read("Korvane.INI").find("\"r30\""), std::string::npos);
}

// The highest resident size of this process so far, in KiB.
long PeakResidentKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Arrays of alternating values under a long name, whose text (one line per value, each as long as
// the name: gigabytes) no load could read, are refused at the load's limits before more of the
// text is made: the save costs what a load may read, the old file stays and nothing is left behind.
TEST(SettingsHolder, ArraysTooLargeToWriteAreRefusedAtTheLoadsLimits)
{
    struct Row {
        const char* type;
        const char* values[2];
    };
    const Row rows[] = {{"float", {"0", "1"}}, {"integer", {"0", "1"}}, {"bool", {"0", "1"}}, {"string", {"\"0\"", "\"1\""}}};
    const std::string name(64000, 'n');
    constexpr int kElements = 65536;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        TempFolder dir;
        dir.Write("Korvane.DEF", std::string("context settings\n\t") + row.type + " " + name + "[" +
                                     std::to_string(kElements) + "]\nendcontext\n");
        std::string user = "settings." + name + "=";
        for (int i = 0; i < kElements; ++i)
            user.append(i ? "," : "").append(row.values[i % 2]);
        dir.Write("Korvane.INI", user + "\n");
        settings_t s;
        s.Load(dir.Dir());
        const long peakBefore = PeakResidentKiB();
        const std::string error = ErrorOf([&] { s.SaveSettings(s.INIFileName); });
        EXPECT_LT(PeakResidentKiB() - peakBefore, 256 * 1024);
        EXPECT_EQ(error.rfind("Changed settings were not saved: their text would not load again (Configuration text too large",
                              0),
                  0u)
            << error.substr(0, 300);
        EXPECT_EQ(dir.Read("Korvane.INI"), user + "\n");
        EXPECT_FALSE(dir.Exists("Korvane.INI.tmp"));
    }
}

// A holder whose check of a written text first runs what a test gives it.
struct HolderWithCheck : settings_t {
    std::function<void()> before;
    std::string RefusalOf(const std::string& written) const override
    {
        if (before)
            before();
        return settings_t::RefusalOf(written);
    }
};

// The names in folder that start with prefix, sorted.
std::vector<std::string> NamesStartingWith(const std::filesystem::path& folder, const std::string& prefix = "")
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Nothing that stands at the old fixed temporary name (a link of either kind to the settings
// file, a file a crash left, a folder) is written through or removed, whether the new text is
// kept or refused; another writer that takes the temporary file's name or saves its own settings
// while the check runs neither has its file installed nor gets it removed; a check that throws
// anything at all refuses the text; a settings name that is a link stays one, and one that leads
// to a device is refused with the reason. The settings file is whole afterwards, the temporary
// file was written beside the file it replaces, and none is left.
TEST(SettingsHolder, NothingBesideTheSettingsFileNorAnotherWriterNorAThrowingCheckHarmsIt)
{
    namespace fs = std::filesystem;
    enum At { kNothing, kSymbolicLink, kHardLink, kStaleFile, kFolder, kDeviceLink, kDanglingLink };
    enum Check { kAccepts, kRefuses, kThrowsBadAlloc, kThrowsNoException, kAnotherTakesTheName, kAnotherSaves };
    enum Outcome { kKept, kNotLoadable, kCannotCreate };
    struct Row {
        const char* name;
        At at;
        Check check;
        Outcome outcome;
        const char* reasonEnd = ""; // the end of the error when the file cannot be created
    };
    const Row rows[] = {
        {"symbolic link, text kept", kSymbolicLink, kAccepts, kKept},
        {"symbolic link, text refused", kSymbolicLink, kRefuses, kNotLoadable},
        {"hard link, text kept", kHardLink, kAccepts, kKept},
        {"hard link, text refused", kHardLink, kRefuses, kNotLoadable},
        {"stale file, text kept", kStaleFile, kAccepts, kKept},
        {"folder, text kept", kFolder, kAccepts, kKept},
        {"check out of memory", kNothing, kThrowsBadAlloc, kNotLoadable},
        {"check throws what is no exception class", kNothing, kThrowsNoException, kNotLoadable},
        {"another writer takes the name and stops half way", kNothing, kAnotherTakesTheName, kCannotCreate,
         "\" is no longer the file this save wrote"},
        {"another writer saves while the check runs", kStaleFile, kAnotherSaves, kKept},
        {"settings name links to what is no regular file", kDeviceLink, kAccepts, kCannotCreate,
         "/devices/null\" is not a regular file"},
        {"settings name links to a file not made yet", kDanglingLink, kAccepts, kKept},
    };
    const std::string old = "settings.riff_volume=0.5\n";
    const std::string half = "settings.riff_volume=0.1\n";
    // Defaults the written text no longer loads over: it sets a value they do not declare.
    const std::string declaration = "\tfloat riff_volume=0.8\n";
    std::string undeclaring = kDefaults;
    undeclaring.erase(undeclaring.find(declaration), declaration.size());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder dir;
        dir.Write("Korvane.DEF", kDefaults);
        dir.Write("Korvane.INI", old);
        HolderWithCheck s;
        s.Load(dir.Dir());
        s.GetContext()->SetFloat("settings.riff_volume", 0.25f);
        const fs::path ini = dir.path / "Korvane.INI";
        const fs::path temp = dir.path / "Korvane.INI.tmp";
        // The folder of the file a save replaces, where its temporary file belongs.
        fs::path real = dir.path;
        switch (row.at) {
        case kSymbolicLink: fs::create_symlink("Korvane.INI", temp); break;
        case kHardLink: fs::create_hard_link(ini, temp); break;
        case kStaleFile: dir.Write("Korvane.INI.tmp", "settings.riff_vo"); break;
        case kFolder: fs::create_directory(temp); break;
        case kDeviceLink:
            // A pipe of the test's own stands for a device such as /dev/null: a save that went
            // wrong would replace it, and the tests may run as root.
            fs::remove(ini);
            real = dir.path / "devices";
            fs::create_directory(real);
            ASSERT_EQ(::mkfifo((real / "null").c_str(), 0644), 0);
            fs::create_symlink(real / "null", ini);
            break;
        case kDanglingLink:
            fs::remove(ini);
            fs::create_directory(dir.path / "dotfiles");
            fs::create_symlink("dotfiles/Korvane.INI", ini);
            real = dir.path / "dotfiles";
            break;
        case kNothing: break;
        }
        const fs::file_type tempType = fs::symlink_status(temp).type();
        std::vector<std::string> left = NamesStartingWith(dir.path);
        const std::vector<std::string> beforeInReal = NamesStartingWith(real, ini.filename().string() + ".tmp");
        std::vector<std::string> leftInReal = beforeInReal;
        std::vector<std::string> writtenInReal;
        std::function<void()> action;
        switch (row.check) {
        case kRefuses: dir.Write("Korvane.DEF", undeclaring); break;
        case kThrowsBadAlloc: action = [] { throw std::bad_alloc(); }; break;
        case kThrowsNoException: action = [] { throw 7; }; break;
        case kAnotherTakesTheName:
            action = [&] {
                for (const std::string& name : NamesStartingWith(dir.path, "Korvane.INI.tmp")) {
                    fs::remove(dir.path / name);
                    dir.Write(name, half);
                    left.push_back(name);
                    leftInReal.push_back(name);
                }
            };
            break;
        case kAnotherSaves:
            action = [&] {
                settings_t other;
                other.Load(dir.Dir());
                other.GetContext()->SetFloat("settings.riff_volume", 0.1f);
                other.SaveSettings(other.INIFileName);
            };
            break;
        case kAccepts: break;
        }
        s.before = [&] {
            for (const std::string& name : NamesStartingWith(real, ini.filename().string() + ".tmp"))
                if (std::find(beforeInReal.begin(), beforeInReal.end(), name) == beforeInReal.end())
                    writtenInReal.push_back(name);
            if (action)
                action();
        };
        const std::string error = ErrorOf([&] { s.SaveSettings(s.INIFileName); });

        std::sort(left.begin(), left.end());
        std::sort(leftInReal.begin(), leftInReal.end());
        EXPECT_EQ(NamesStartingWith(dir.path), left);
        EXPECT_EQ(NamesStartingWith(real, ini.filename().string() + ".tmp"), leftInReal);
        EXPECT_EQ(fs::symlink_status(temp).type(), tempType);
        if (row.at == kStaleFile) {
            EXPECT_EQ(dir.Read("Korvane.INI.tmp"), "settings.riff_vo");
        }
        if (row.check == kAnotherTakesTheName) {
            EXPECT_EQ(dir.Read(left.back()), half) << "another writer's file is left alone";
        }
        if (row.at == kDeviceLink || row.at == kDanglingLink) {
            EXPECT_EQ(fs::symlink_status(ini).type(), fs::file_type::symlink);
            EXPECT_EQ(fs::read_symlink(ini), row.at == kDeviceLink ? real / "null" : "dotfiles/Korvane.INI");
        } else {
            EXPECT_EQ(fs::symlink_status(ini).type(), fs::file_type::regular);
        }
        if (row.at == kDeviceLink) {
            EXPECT_EQ(fs::symlink_status(real / "null").type(), fs::file_type::fifo);
        } else {
            EXPECT_EQ(writtenInReal.size(), 1u) << "the check ran on a temporary file beside the file it replaces";
        }
        switch (row.outcome) {
        case kKept: {
            EXPECT_EQ(error, "<no error>");
            settings_t again;
            again.Load(dir.Dir());
            EXPECT_FLOAT_EQ(again.GetContext()->GetFloat("settings.riff_volume"), 0.25f);
            break;
        }
        case kNotLoadable:
            EXPECT_EQ(error.rfind("Changed settings were not saved: their text would not load again (", 0), 0u) << error;
            EXPECT_EQ(dir.Read("Korvane.INI"), old);
            break;
        case kCannotCreate: {
            const std::string start = "Cannot create file \"" + ini.string() + "\"";
            const std::string end = row.reasonEnd;
            EXPECT_EQ(error.rfind(start, 0), 0u) << error;
            EXPECT_TRUE(error.size() >= end.size() && error.compare(error.size() - end.size(), end.size(), end) == 0)
                << error;
            if (row.at != kDeviceLink) {
                EXPECT_EQ(dir.Read("Korvane.INI"), old);
            }
            break;
        }
        }
    }
}

// Programs that save one settings file at the same time each install a whole text of their own:
// none is refused, and no temporary file is left.
TEST(SettingsHolder, ProgramsSavingOneFileAtOnceAreNeverRefused)
{
    constexpr int kWriters = 4;
    constexpr int kSaves = 25;
    TempFolder dir;
    dir.Write("Korvane.DEF", kDefaults);
    settings_t s;
    s.Load(dir.Dir());
    int errors[2];
    ASSERT_EQ(::pipe(errors), 0);
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(errors[0]);
            s.GetContext()->SetInteger("settings.current_mode", w + 1);
            for (int i = 0; i < kSaves; ++i) {
                std::string error;
                try {
                    error = ErrorOf([&] { s.SaveSettings(s.INIFileName); });
                } catch (...) {
                    error = "a save threw what is no Exception";
                }
                if (error != "<no error>") {
                    error += "\n";
                    (void)!::write(errors[1], error.data(), error.size());
                }
            }
            ::_exit(0);
        }
        writers.push_back(pid);
    }
    ::close(errors[1]);
    std::string refusals;
    char buffer[4096];
    for (ssize_t n; (n = ::read(errors[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno != EINTR)
            break;
        if (n > 0)
            refusals.append(buffer, std::size_t(n));
    }
    ::close(errors[0]);
    for (const pid_t pid : writers) {
        int status = 0;
        EXPECT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(std::count(refusals.begin(), refusals.end(), '\n'), 0)
        << "of " << kWriters * kSaves << " saves; the first: " << refusals.substr(0, refusals.find('\n'));
    EXPECT_EQ(NamesStartingWith(dir.path), (std::vector<std::string>{"Korvane.DEF", "Korvane.INI"}));
    settings_t again;
    again.Load(dir.Dir());
    const int mode = again.GetContext()->GetInteger("settings.current_mode");
    EXPECT_TRUE(mode >= 1 && mode <= kWriters) << mode;
}

TEST(SettingsHolder, WriteIntoAMissingFolderReportsItsError)
{
    TempFolder dir;
    dir.Write("Korvane.DEF", kDefaults);
    settings_t s;
    s.Load(dir.Dir());
    const std::string name = dir.Dir() + "gone/Korvane.INI";
    EXPECT_EQ(ErrorOf([&] { s.SaveSettings(name); }), "Cannot create file \"" + name + "\": No such file or directory");
}

TEST(SettingsHolder, ReloadStartsFromAnEmptyRoot)
{
    TempFolder dir;
    dir.Write("Korvane.DEF", kDefaults);
    dir.Write("Korvane.INI", "settings.riff_volume=0.5\n");
    settings_t s;
    s.Load(dir.Dir());
    s.GetContext()->SetFloat("settings.riff_volume", 0.1f);
    std::filesystem::remove(dir.path / "Korvane.INI");
    s.Reload();
    EXPECT_FLOAT_EQ(s.GetContext()->GetFloat("settings.riff_volume"), 0.8f);
}

}  // namespace
