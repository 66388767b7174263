#include "platform/system/LinuxFileNames.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

class LinuxFileNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = (fs::temp_directory_path() /
                ("linux_file_names_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())))
                   .string();
        fs::remove_all(root);
        fs::create_directories(root + "/Pics01/Sub");
        std::ofstream(root + "/Pics01/PlayInitial.png") << "x";
        std::ofstream(root + "/Korvane.DEF") << "x";
        std::ofstream(root + "/both.txt") << "x";
        std::ofstream(root + "/Both.txt") << "x";
        std::ofstream(root + "/BOTH.TXT") << "x";
    }
    void TearDown() override { fs::remove_all(root); }
    std::string root;
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
    EXPECT_EQ(FileIdentity(root + "/pics01/../korvane.def"), FileIdentity(root + "/Korvane.DEF"));
}

TEST_F(LinuxFileNames, RelativeNamesResolveFromTheCurrentDirectory)
{
    const fs::path old = fs::current_path();
    fs::current_path(root);
    EXPECT_EQ(ResolveFileName("pics01\\PLAYINITIAL.png"), "Pics01/PlayInitial.png");
    EXPECT_EQ(ResolveFileName(".\\korvane.def"), "./Korvane.DEF");
    fs::current_path(old);
}

// Climbing in and out of folders named in another letter case costs a few status calls per
// component, never longer names than the deepest folder reached, and one reading of each folder,
// whatever the number of climbs; a name longer than the system reads is given back unresolved.
TEST_F(LinuxFileNames, ClimbsCostInProportionToTheName)
{
    for (int climbs : {1, 100}) {
        std::string name = root;
        std::string resolved = root;
        for (int i = 0; i < climbs; ++i) {
            name += "\\PICS01\\..\\pics01\\sub\\..\\..";
            resolved += "/Pics01/../Pics01/Sub/../..";
        }
        FileNameWork work;
        EXPECT_EQ(ResolveFileName(name + "\\korvane.def", work), resolved + "/Korvane.DEF");
        EXPECT_LE(work.statusCalls, 6 * climbs + 10) << climbs;
        EXPECT_LE(work.statusBytes, work.statusCalls * std::int64_t(root.size() + 20)) << climbs;
        EXPECT_EQ(work.entriesRead, 7) << climbs << ": the entries of the root and of Pics01, once";
    }
    const std::string tooLong = root + "\\" + std::string(5000, 'x');
    FileNameWork work;
    EXPECT_EQ(ResolveFileName(tooLong, work), root + "/" + std::string(5000, 'x'));
    EXPECT_EQ(work.statusCalls, 0);
}
