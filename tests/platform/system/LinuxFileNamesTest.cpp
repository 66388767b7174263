#include "platform/system/LinuxFileNames.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

class LinuxFileNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(root + "/Pics01/Sub");
        std::ofstream(root + "/Pics01/PlayInitial.png") << "x";
        std::ofstream(root + "/Korvane.DEF") << "x";
        std::ofstream(root + "/both.txt") << "x";
        std::ofstream(root + "/Both.txt") << "x";
        std::ofstream(root + "/BOTH.TXT") << "x";
        fs::create_directory_symlink("Pics01/Sub", root + "/Link");
    }
    TestFolder folder{"linux_file_names_"};
    const std::string root = folder.Path().string();
};

TEST_F(LinuxFileNames, MapsSeparatorsAndCaseToTheRealFile)
{
    const std::pair<std::string, std::string> cases[] = {
        {root + "\\pics01\\playinitial.PNG", root + "/Pics01/PlayInitial.png"},
        {root + "/KORVANE.def", root + "/Korvane.DEF"},
        {root + "\\\\Pics01\\\\sub", root + "/Pics01/Sub"},
        {root + "/Both.txt", root + "/Both.txt"},
        {root + "/bOTH.txt", root + "/BOTH.TXT"},
        {root + "/pics01/New.ini", root + "/Pics01/New.ini"},
        {root + "/missing/pics01", root + "/missing/pics01"},
        // ".." after a link is the parent of its target, as the system opens it.
        {root + "/link/../playinitial.PNG", root + "/Link/../PlayInitial.png"},
        {root + "/link/../../korvane.def", root + "/Link/../../Korvane.DEF"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(ResolveFileName(in), out) << in;
}

TEST_F(LinuxFileNames, ExistenceChecksGoThroughTheResolver)
{
    EXPECT_TRUE(FileExists(root + "\\PICS01\\playinitial.png"));
    EXPECT_FALSE(FileExists(root + "\\PICS01"));
    EXPECT_TRUE(DirectoryExists(root + "\\PICS01"));
    EXPECT_FALSE(FileExists(root + "\\nothing.png"));

    // The walk itself says what it found at the end of the name, for callers that pay for it.
    const struct {
        std::string name;
        bool regularFile;
        std::string sameAs;  // another name of the same file; empty when nothing is there
    } ends[] = {
        {root + "\\PICS01\\playinitial.png", true, root + "/link/../playinitial.PNG"},
        {root + "/pics01/../korvane.def", true, root + "/Korvane.DEF"},
        {root + "\\PICS01", false, root + "/Pics01/Sub/.."},
        {root + "\\nothing.png", false, ""},
        {root + "/missing/pics01", false, ""},
    };
    for (const auto& row : ends) {
        FileNameWork work;
        FileNameEnd end;
        (void)ResolveFileName(row.name, work, &end);
        EXPECT_EQ(end.regularFile, row.regularFile) << row.name;
        FileNameEnd other;
        if (!row.sameAs.empty())
            (void)ResolveFileName(row.sameAs, work, &other);
        EXPECT_EQ(end.identity, other.identity) << row.name;
        EXPECT_EQ(end.identity.empty(), row.sameAs.empty()) << row.name;
    }
}

TEST_F(LinuxFileNames, RelativeNamesResolveFromTheCurrentDirectory)
{
    const fs::path old = fs::current_path();
    fs::current_path(root);
    EXPECT_EQ(ResolveFileName("pics01\\PLAYINITIAL.png"), "Pics01/PlayInitial.png");
    EXPECT_EQ(ResolveFileName(".\\korvane.def"), "./Korvane.DEF");
    fs::current_path(old);
}

// Climbing in and out of folders named in another letter case, and of a link to one of them,
// costs a few status calls per component, each given only its component, and one reading of
// each folder (whatever name reached it), whatever the number of climbs; a name longer than the
// system reads is given back unresolved.
TEST_F(LinuxFileNames, ClimbsCostInProportionToTheName)
{
    fs::create_directory_symlink("Pics01", root + "/ToPics");
    const auto entries = [](const std::string& folder) {
        return std::int64_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    };
    for (int climbs : {1, 60}) {
        std::string name = root;
        std::string resolved = root;
        for (int i = 0; i < climbs; ++i) {
            name += "\\PICS01\\..\\pics01\\sub\\..\\..\\topics\\SUB\\..\\..";
            resolved += "/Pics01/../Pics01/Sub/../../ToPics/Sub/../..";
        }
        FileNameWork work;
        EXPECT_EQ(ResolveFileName(name + "\\korvane.def", work), resolved + "/Korvane.DEF");
        EXPECT_LE(work.statusCalls, 30 * climbs + 10) << climbs;
        EXPECT_LE(work.statusBytes, std::int64_t(root.size()) + 60 * climbs + 20) << climbs;
        EXPECT_EQ(work.entriesRead, entries(root) + entries(root + "/Pics01")) << climbs << ": each folder read once";
    }
    const std::string tooLong = root + "\\" + std::string(5000, 'x');
    FileNameWork work;
    EXPECT_EQ(ResolveFileName(tooLong, work), root + "/" + std::string(5000, 'x'));
    EXPECT_EQ(work.statusCalls, 0);
}

// The walk stops as soon as it passes a limit, in the middle of a folder's entries too, and
// gives the name back unresolved; a limit it does not pass changes nothing.
TEST_F(LinuxFileNames, WalkStopsAtItsLimit)
{
    const std::string name = root + "\\pics01\\playinitial.PNG";
    FileNameWork full;
    ASSERT_EQ(ResolveFileName(name, full), root + "/Pics01/PlayInitial.png");
    const std::int64_t steps = full.statusCalls + full.entriesRead;
    for (std::int64_t limit = 0; limit <= steps; ++limit) {
        FileNameWork work;
        work.stepLimit = limit;
        const std::string resolved = ResolveFileName(name, work);
        EXPECT_EQ(resolved, limit < steps ? root + "/pics01/playinitial.PNG" : root + "/Pics01/PlayInitial.png")
            << limit;
        EXPECT_EQ(work.statusCalls + work.entriesRead, std::min(limit + 1, steps)) << limit;
    }
    FileNameWork bytes;
    bytes.byteLimit = full.statusBytes - 1;
    EXPECT_EQ(ResolveFileName(name, bytes), root + "/pics01/playinitial.PNG");
    EXPECT_EQ(bytes.statusBytes, full.statusBytes);
}
