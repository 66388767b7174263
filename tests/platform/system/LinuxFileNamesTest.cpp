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
