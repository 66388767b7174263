#include "platform/system/Exception.h"
#include "platform/system/TStringList.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

TEST(TStringList, SplitsOnCrLfAndCrLf)
{
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\r\n", {"a"}},
        {"a\r\n\r\n", {"a", ""}},
        {"\n\r", {"", ""}},
        {"a\rb\r\rc\n", {"a", "b", "", "c"}},
        {"a\n\rb", {"a", "", "b"}},
        {"", {}},
        {std::string("x\0y", 3), {std::string("x\0y", 3)}},
    };
    for (const auto& [text, lines] : cases) {
        TStringList list;
        list.SetText(text);
        EXPECT_EQ(list.Lines(), lines);
    }
}

// Long random texts, so that breaks fall at every place of the wide scan's blocks.
TEST(TStringList, SplitsLongTextsLikeTheByteRule)
{
    std::uint32_t x = 99;
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int length = round % 90;
        for (int i = 0; i < length; ++i) {
            x = x * 1664525u + 1013904223u;
            const std::uint32_t r = (x >> 24) % 10;
            text += r == 0 ? '\r' : r == 1 ? '\n' : char('a' + r);
        }
        std::vector<std::string> expected;
        std::size_t start = 0, i = 0;
        while (i < text.size()) {
            if (text[i] == '\r' || text[i] == '\n') {
                expected.push_back(text.substr(start, i - start));
                i += text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
                start = i;
            } else {
                ++i;
            }
        }
        if (start < text.size())
            expected.push_back(text.substr(start));
        TStringList list;
        list.SetText(text);
        ASSERT_EQ(list.Lines(), expected) << "round " << round;
    }
}

TEST(TStringList, IndexOutsideRaises)
{
    TStringList list{"a"};
    EXPECT_EQ(list[0], "a");
    EXPECT_THROW((void)list[1], Exception);
    EXPECT_THROW((void)list[-1], Exception);
}

class TStringListFile : public ::testing::Test {
protected:
    TestFolder folder{"tstringlist_"};
    const fs::path dir = folder.Path();
};

TEST_F(TStringListFile, SavesWithCrLfAndLoadsBack)
{
    TStringList out{"first", "", "third"};
    out.SaveToFile((dir / "list.txt").string());
    std::ifstream in(dir / "list.txt", std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), "first\r\n\r\nthird\r\n");
    TStringList back;
    back.LoadFromFile((dir / "LIST.TXT").string());
    EXPECT_EQ(back.Lines(), out.Lines());
}

TEST_F(TStringListFile, MissingFileRaisesAndKeepsTheList)
{
    TStringList list{"keep"};
    const std::string name = (dir / "none.txt").string();
    try {
        list.LoadFromFile(name);
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + name + "\"");
    }
    EXPECT_EQ(list.Count(), 1);
    EXPECT_THROW(list.SaveToFile((dir / "no" / "such" / "dir.txt").string()), Exception);
}
