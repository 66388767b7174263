#include "ConfigTestSupport.h"
#include "config/TIndxQueue.h"

#include <gtest/gtest.h>

namespace {

class KeyPath : public ::testing::Test {
protected:
    void SetUp() override
    {
        Load(root, R"(
context riff[4]
    integer size=1
endcontext
integer t[]=0
t[1,2]=4
integer a[3]=1,2,3
float f[2]=1.0,0.25
string s[2]="a","b"
string one="bare"
pointer p=&a[2]
pointer chain=&p
context settings
    bool Flag=1
endcontext
context mode[]
    string file_prefix[]="x"
endcontext
mode[m1].file_prefix[2]="page2"
)");
    }
    TDVContext root;
};

} // namespace

TEST_F(KeyPath, IndexedGetterFillsPlaceholdersFromItsArguments)
{
    root.SetIntegerAt("riff[#].size", 7, 3);
    EXPECT_EQ(root.GetIntegerAt("riff[#].size", 3, 0, 0), 7);
    EXPECT_EQ(ErrorOf([&] { (void)root.GetIntegerAt("riff[#].size", 0, 5, 0); }), " Array index error: must be > 0");
}

TEST_F(KeyPath, MissingListEntryReadsDefaultUntilSet)
{
    EXPECT_EQ(root.GetIntegerAt("t[#]", 7), 0);
    EXPECT_EQ(root.GetCount("t"), 2);
    root.SetIntegerAt("t[#]", 5, 7);
    EXPECT_EQ(root.GetCount("t"), 3);
    TStringList ids;
    EXPECT_EQ(root.EnumListIDs("t", ids), 3);
    EXPECT_EQ(ids.Text(), "1\r\n2\r\n7\r\n");
}

TEST_F(KeyPath, NewValueEntryStartsWithTheListDefault)
{
    Load(root, "integer d[]=42");
    IndxQueue().Clear();
    (void)root.GetDataPtr("d[9]");
    EXPECT_EQ(root.GetInteger("d[9]"), 42);
}

struct PathError {
    const char* path;
    const char* message;
};

TEST_F(KeyPath, ResolverErrorsNameTheFault)
{
    const PathError cases[] = {
        {"a[0]", " Array index error: must be > 0"},
        {"a[x]", " Arraydef syntax error; ']' ???"},
        {"a[1.b", " Arraydef syntax error; ']' ???"},
        {"a.x", " Symbol '.' not permited 'a' != context"},
        {"nothing", " Unknown ident 'nothing' in '$ROOT$'"},
        {"settings.Nope", " Unknown ident 'Nope' in 'settings'"},
        {"a[1]x", " error encoding idents"},
        {".a", " Ident expected"},
        {"a[4]", "TDVVarTag::Integer: index out of range or ValType is invalid"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorOf([&] { (void)root.GetInteger(c.path); }), c.message) << c.path;
}

TEST_F(KeyPath, PointerIsFollowedExceptByGetString)
{
    EXPECT_EQ(root.GetString("p"), "a[2]");
    EXPECT_EQ(root.GetValueText("p"), "2");
    EXPECT_EQ(root.GetInteger("chain"), 2);
    root.SetInteger("chain", 20);
    EXPECT_EQ(root.GetInteger("a[2]"), 20);
}

TEST_F(KeyPath, PointerLoopRaisesInsteadOfRecursing)
{
    Load(root, "pointer q=&r\npointer r=&q");
    EXPECT_EQ(ErrorOf([&] { (void)root.GetInteger("q"); }), " Circular pointer reference 'q'");
    EXPECT_NE(ErrorOf([&] { Load(root, "q=5"); }).find("Circular pointer reference"), std::string::npos);
}

TEST_F(KeyPath, ValueTextJoinsArraysAndQuotesStringArrays)
{
    EXPECT_EQ(root.GetValueText("f"), "1,0.25");
    EXPECT_EQ(root.GetValueText("s"), "\"a\",\"b\"");
    EXPECT_EQ(root.GetValueText("one"), "bare");
    EXPECT_EQ(root.GetValueText("a"), "1,2,3");
    EXPECT_EQ(ErrorOf([&] { (void)root.GetValueText("settings"); }), " Can't convert context");
}

TEST_F(KeyPath, ExistsNeverRaisesForUndeclaredNames)
{
    EXPECT_FALSE(root.Exists("undeclared.x"));
    EXPECT_TRUE(root.Exists("settings.Flag"));
    EXPECT_FALSE(root.Exists("settings.flag"));
    EXPECT_FALSE(root.Exists("Settings.Flag"));
}

TEST_F(KeyPath, TwoPlaceholdersFillLeftToRight)
{
    EXPECT_EQ(root.GetStringByID("mode[#].file_prefix[#]", "m1", "2"), "page2");
    EXPECT_EQ(root.GetStringByID("mode[#].file_prefix", "m1"), "x");
    // An integer index fills a list placeholder with its decimal text.
    EXPECT_EQ(root.GetValueTextAt("t[#]", 2), "4");
}

TEST_F(KeyPath, PathsAreNormalisedLikeLines)
{
    EXPECT_TRUE(root.GetBool(" settings . Flag "));
    EXPECT_EQ(root.GetContext("settings")->GetName(), "settings");
    EXPECT_EQ(ErrorOf([&] { (void)root.GetContext("a"); }), " context not found");
}

TEST_F(KeyPath, TypedAccessRefusesOtherTypes)
{
    EXPECT_EQ(ErrorOf([&] { (void)root.GetFloat("a[1]"); }),
              "TDVVarTag::Float: index out of range or ValType is invalid");
    EXPECT_EQ(ErrorOf([&] { root.SetString("a[1]", "x"); }),
              "TDVVarTag::String: index out of range or ValType is invalid");
    TStringList ids;
    EXPECT_EQ(ErrorOf([&] { (void)root.EnumListIDs("a", ids); }), "TDVContext::EnumListIDs: a not a list.");
}
