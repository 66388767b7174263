// The settings holder: loading the defaults and the user file into one root, keeping an unreadable
// user file, and writing the "settings" context back atomically.
#include "app/AppTestSupport.h"
#include "app/settings/TSettingsHolder.h"
#include "config/LoadBudget.h"
#include "platform/system/Exception.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <new>
#include <sys/resource.h>

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
    dir.Write("Korvane.INI", "settings.riff_volume=0.5\n");
    settings_t s;
    s.Load(dir.Dir());
    // A folder where the new text would be written first: the write fails whoever runs the test.
    std::filesystem::create_directory(dir.path / "Korvane.INI.tmp");
    const std::string name = dir.Dir() + "Korvane.INI";
    EXPECT_EQ(ErrorOf([&] { s.SaveSettings(name); }), "Cannot create file \"" + name + "\"");
    EXPECT_EQ(dir.Read("Korvane.INI"), "settings.riff_volume=0.5\n");
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

// Nothing that stands at the temporary file's name (a link of either kind to the settings file, a
// file a crash left) is written through, whether the new text is kept or refused, and a check
// that throws anything at all refuses it: the settings file is whole afterwards, and no temporary
// file is left.
TEST(SettingsHolder, NeitherALinkAtTheTemporaryNameNorAThrowingCheckHarmsTheSettingsFile)
{
    namespace fs = std::filesystem;
    enum At { kNothing, kSymbolicLink, kHardLink, kStaleFile };
    enum Check { kAccepts, kRefuses, kThrowsBadAlloc, kThrowsNoException };
    struct Row {
        const char* name;
        At at;
        Check check;
    };
    const Row rows[] = {
        {"symbolic link, text kept", kSymbolicLink, kAccepts},
        {"symbolic link, text refused", kSymbolicLink, kRefuses},
        {"hard link, text kept", kHardLink, kAccepts},
        {"hard link, text refused", kHardLink, kRefuses},
        {"stale file, text kept", kStaleFile, kAccepts},
        {"check out of memory", kNothing, kThrowsBadAlloc},
        {"check throws what is no exception class", kNothing, kThrowsNoException},
    };
    const std::string old = "settings.riff_volume=0.5\n";
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
        switch (row.at) {
        case kSymbolicLink: fs::create_symlink("Korvane.INI", temp); break;
        case kHardLink: fs::create_hard_link(ini, temp); break;
        case kStaleFile: dir.Write("Korvane.INI.tmp", "settings.riff_vo"); break;
        case kNothing: break;
        }
        switch (row.check) {
        case kRefuses: dir.Write("Korvane.DEF", undeclaring); break;
        case kThrowsBadAlloc: s.before = [] { throw std::bad_alloc(); }; break;
        case kThrowsNoException: s.before = [] { throw 7; }; break;
        case kAccepts: break;
        }
        const std::string error = ErrorOf([&] { s.SaveSettings(s.INIFileName); });
        EXPECT_EQ(fs::symlink_status(ini).type(), fs::file_type::regular);
        EXPECT_EQ(fs::symlink_status(temp).type(), fs::file_type::not_found);
        if (row.check == kAccepts) {
            EXPECT_EQ(error, "<no error>");
            settings_t again;
            again.Load(dir.Dir());
            EXPECT_FLOAT_EQ(again.GetContext()->GetFloat("settings.riff_volume"), 0.25f);
        } else {
            EXPECT_EQ(error.rfind("Changed settings were not saved: their text would not load again (", 0), 0u) << error;
            EXPECT_EQ(dir.Read("Korvane.INI"), old);
        }
    }
}

TEST(SettingsHolder, WriteIntoAMissingFolderReportsItsError)
{
    TempFolder dir;
    dir.Write("Korvane.DEF", kDefaults);
    settings_t s;
    s.Load(dir.Dir());
    const std::string name = dir.Dir() + "gone/Korvane.INI";
    EXPECT_EQ(ErrorOf([&] { s.SaveSettings(name); }), "Cannot create file \"" + name + "\"");
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
