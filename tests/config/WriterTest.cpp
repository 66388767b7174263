#include "ConfigTestSupport.h"
#include "config/LoadBudget.h"

#include <gtest/gtest.h>

namespace {
class Writer : public ::testing::Test {
protected:
    void TearDown() override { TDVContext::SetBlockThreshold(3); }
    std::string Save(TDVContext& root, const std::string& path)
    {
        TStringList lines;
        root.SaveTagToStrings(path, lines);
        return lines.Text();
    }
};
} // namespace

TEST_F(Writer, ThresholdChoosesBetweenBlockAndPrefixedLines)
{
    TDVContext root;
    Load(root, "context c\n float f=0.5\n bool b=1\nendcontext");
    TDVContext::SetBlockThreshold(1);
    EXPECT_EQ(Save(root, "c"), "c {\r\n\tf=0.5\r\n\tb=1\r\n\t}\r\n");
    TDVContext::SetBlockThreshold(3);
    EXPECT_EQ(Save(root, "c"), "c.f=0.5\r\nc.b=1\r\n");
}

TEST_F(Writer, LongArraysAreWrittenAsRuns)
{
    TDVContext root;
    Load(root, "integer a[30]\na[7]=5\ninteger s[3]=1,2,3");
    EXPECT_EQ(Save(root, "a"), "a[1-6]=0\r\na[7]=5\r\na[8-30]=0\r\n");
    EXPECT_EQ(Save(root, "s"), "s=1,2,3\r\n");
}

TEST_F(Writer, ListEntriesGroupByValueWithCompactIDs)
{
    TDVContext root;
    Load(root, "integer t[]=0\nt[1]=0\nt[2]=0\nt[3]=0\nt[5]=0\nt[x]=0\nt[9]=4");
    EXPECT_EQ(Save(root, "t"), "t[x,1-3,5]=0\r\nt[9]=4\r\n");
    Load(root, "integer e[]=1");
    EXPECT_EQ(Save(root, "e"), "");
}

TEST_F(Writer, IDsThatAreNotCanonicalNumbersAreNeverFolded)
{
    TDVContext root;
    Load(root, "integer t[]=0\nt[06]=1\nt[07]=1\nt[8]=1");
    EXPECT_EQ(Save(root, "t"), "t[06,07,8]=1\r\n");
    TDVContext back;
    Load(back, "integer t[]=0");
    Load(back, Save(root, "t"));
    TStringList ids;
    back.EnumListIDs("t", ids);
    EXPECT_EQ(ids.Text(), "06\r\n07\r\n8\r\n");
}

TEST_F(Writer, DoubleQuoteInStringIsWrittenAsApostrophe)
{
    TDVContext root;
    Load(root, "string s\nstring arr[2]");
    root.SetString("s", "say \"hi\"; ok");
    root.SetString("arr[2]", "line\r\nbreak");
    const std::string text = Save(root, "s") + Save(root, "arr");
    EXPECT_EQ(text, "s=\"say 'hi'; ok\"\r\narr=\"\",\"line  break\"\r\n");
    TDVContext back;
    Load(back, "string s\nstring arr[2]");
    Load(back, text);
    EXPECT_EQ(back.GetString("s"), "say 'hi'; ok");
}

TEST_F(Writer, ValuesOfEveryKindAreWrittenAsTheParserReadsThem)
{
    TDVContext root;
    Load(root, "float f[3]=120.0,0.000001,-2.5\nbool b=1\npointer p=&f[2]\nstring s=\"\"");
    EXPECT_EQ(Save(root, "f"), "f=120,1E-6,-2.5\r\n");
    EXPECT_EQ(Save(root, "b"), "b=1\r\n");
    EXPECT_EQ(Save(root, "p"), "p=&f[2]\r\n");
    EXPECT_EQ(Save(root, "s"), "s=\"\"\r\n");
}

TEST_F(Writer, ContextArraysListsAndNestingIndentOneTabPerLevel)
{
    TDVContext root;
    Load(root, "context mode[]\n integer n=0\n context inner\n  integer v\n  integer w\n endcontext\nendcontext\n"
               "mode[a].n=1\nmode[b].inner.v=2\nmode[b].inner.w=3\n"
               "context arr[2]\n integer x\nendcontext\narr[2].x=4");
    TDVContext::SetBlockThreshold(1);
    EXPECT_EQ(Save(root, "mode"), "mode[a] {\r\n\tn=1\r\n\t}\r\nmode[b] {\r\n\tinner {\r\n\t\tv=2\r\n\t\tw=3\r\n"
                                  "\t\t}\r\n\t}\r\n");
    EXPECT_EQ(Save(root, "arr"), "arr[2] {\r\n\tx=4\r\n\t}\r\n");
    TDVContext::SetBlockThreshold(3);
    EXPECT_EQ(Save(root, "arr"), "arr[2].x=4\r\n");
}

TEST_F(Writer, SaveToStringsSkipsEntriesAndMemberDefinitions)
{
    TDVContext root;
    Load(root, "context r[2]\n integer x=1\nendcontext\ninteger t[]=0\nt[1]=2\ninteger z=3");
    EXPECT_EQ(Written(root), "t[1]=2\r\nz=3\r\n");
}

// A list of as many distinct values as a load may read, under contexts nested as deep as they
// may go: one line per value, each indented by the blocks around it up to MaxIndent TABs, and
// every block closed; a line more than a load may read is refused.
TEST_F(Writer, ManyDistinctValuesDeepDownAreEachWrittenOnce)
{
    TDVContext root;
    TDVContext* bottom = &root;
    for (int depth = 1; depth < TDVContext::MaxDepth; ++depth)
        bottom = bottom->AddTag("c", vtContext, 1)->Context(0);
    Load(*bottom, "integer t[]=0");
    const int levels = TDVContext::MaxDepth - 1;
    const int values = int(tdv_detail::LoadBudget::MaxLines) - 2 * levels;
    for (int i = 1; i <= values; ++i)
        bottom->SetIntegerAt("t[#]", i, i);
    TDVContext::SetBlockThreshold(1);
    TStringList lines;
    root.SaveToStrings(lines);
    const std::string indent(std::size_t(TDVContext::MaxIndent), '\t');
    ASSERT_EQ(lines.Count(), values + 2 * levels);
    EXPECT_EQ(lines[TDVContext::MaxIndent - 1], std::string(std::size_t(TDVContext::MaxIndent - 1), '\t') + "c {");
    EXPECT_EQ(lines[levels - 1], indent + "c {");
    EXPECT_EQ(lines[levels], indent + "t[1]=1");
    EXPECT_EQ(lines[levels + values - 1], indent + "t[" + std::to_string(values) + "]=" + std::to_string(values));
    EXPECT_EQ(lines[lines.Count() - 1], "\t}");

    bottom->SetIntegerAt("t[#]", 0, values + 1);
    TStringList more;
    EXPECT_NE(ErrorOf([&] { root.SaveToStrings(more); }).find("Configuration text too complex"), std::string::npos);
}
