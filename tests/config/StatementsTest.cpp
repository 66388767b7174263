#include "ConfigTestSupport.h"
#include "config/LoadBudget.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

TEST(Morph, FillsIntegersBetweenEndPoints)
{
    TDVContext root;
    Load(root, "integer a[5]=10,0,0,0,50\nmorph(a[#],1,5)");
    EXPECT_EQ(root.GetValueText("a"), "10,20,30,40,50");
}

TEST(Morph, FillsFloatsBetweenEndPoints)
{
    TDVContext root;
    Load(root, "float f[4]\nf[4]=1.0\nmorph(f[#],1,4)");
    EXPECT_NEAR(root.GetFloat("f[2]"), 0.3333333f, 1e-6);
    EXPECT_NEAR(root.GetFloat("f[3]"), 0.6666667f, 1e-6);
    EXPECT_EQ(root.GetValueText("f"), "0,0.3333333,0.6666667,1");
}

TEST(Morph, RefusesEmptyRangesAndPathsWithoutPlaceholder)
{
    TDVContext root;
    EXPECT_EQ(ErrorOf([&] { Load(root, "integer a[5]\nmorph(a[#],2,2)"); }),
              " invalid parametrs in calling morph: 'from' can not be same as 'to' or greater.; "
              "Line='morph(a[#],2,2)'; Line=1");
    EXPECT_EQ(ErrorOf([&] { root.Morph("a", 1, 2); }), "Morphing: Invalid format in a");
    EXPECT_EQ(ErrorOf([&] { root.ExecuteStatement(0, {"a[#]", "1"}); }), "invalid parametrs in calling morph: count?");
    EXPECT_EQ(ErrorOf([&] { root.ExecuteStatement(1, {}); }), "invalid parametrs in calling auto_morph: count?");
}

TEST(Morph, ContextArraysMorphEveryMember)
{
    TDVContext root;
    Load(root, "context p[3]\n integer x\n float y\nendcontext\np[1].x=0\np[3].x=10\np[3].y=1\n"
               "morph(p[#],1,3)");
    EXPECT_EQ(root.GetIntegerAt("p[#].x", 2), 5);
    EXPECT_FLOAT_EQ(root.GetFloatAt("p[#].y", 2), 0.5f);
}

TEST(AutoMorph, FillsHolesBeforeEachNonZeroValue)
{
    TDVContext root;
    Load(root, "integer a[5]=0,0,9,0,0\nauto_morph(a[#])");
    EXPECT_EQ(root.GetValueText("a"), "0,4,9,0,0");
    Load(root, "integer b[6]=2,0,0,8,0,10\nauto_morph(b[#])");
    EXPECT_EQ(root.GetValueText("b"), "2,4,6,8,9,10");
}

TEST(AutoMorph, ListCreatesMissingEntriesBetweenNumericIDs)
{
    TDVContext root;
    Load(root, "integer t[]=0\nt[2]=20\nt[6]=60\nauto_morph(t[#])");
    TStringList ids;
    root.EnumListIDs("t", ids);
    EXPECT_EQ(ids.Text(), "2\r\n6\r\n3\r\n4\r\n5\r\n");
    EXPECT_EQ(root.GetInteger("t[3]"), 30);
    EXPECT_EQ(root.GetInteger("t[4]"), 40);
    EXPECT_EQ(root.GetInteger("t[5]"), 50);
}

class Include : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir / "Sub"); }
    void Write(const std::string& name, const std::string& text)
    {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    TestFolder folder{"cfg_include_"};
    const fs::path dir = folder.Path();
};

TEST_F(Include, LoadsEachFileInOrderIntoTheCurrentContext)
{
    Write("Main.def", "integer a=1\ninclude(\"one.inc\",\"TWO.inc\")\n");
    Write("one.inc", "integer b=2\na=5\n");
    Write("two.inc", "integer c=3\nb=7\n");
    TDVContext root;
    root.LoadFromFile((dir / "main.DEF").string(), true);
    EXPECT_EQ(root.GetInteger("a"), 5);
    EXPECT_EQ(root.GetInteger("b"), 7);
    EXPECT_EQ(root.GetInteger("c"), 3);
}

// A file is loaded by the name given, from the current folder when it is relative; a second
// file loaded into the same root is too; includes climb from the first file's folder.
TEST_F(Include, RelativeNamesClimbFromTheBaseDirectory)
{
    Write("Sub/inner.def", "include(\"..\\top.inc\",\".\\side.inc\")\n");
    Write("top.inc", "integer t=1\n");
    Write("Sub/side.inc", "integer s=2\n");
    Write("Sub/user.ini", "t=3\n");
    fs::create_directories(dir / "Sub/a/b/c");
    struct Row {
        fs::path cwd;
        std::string folder; // of inner.def and user.ini, as the load names it
    };
    const Row rows[] = {
        {dir, (dir / "sub").string()},
        {dir, "sub"},
        {dir, "./Sub"},
        {dir / "Sub", "."},
        {dir / "Sub/a", ".."},
        {dir / "Sub/a/b", "../.."},
        {dir / "Sub/a/b/c", "./../../.."},
        {dir / "Sub/a/b/c", "..\\..\\..\\"},
    };
    const fs::path cwd = fs::current_path();
    struct Restore {
        fs::path cwd;
        ~Restore() { fs::current_path(cwd); }
    } restore{cwd};
    for (const Row& row : rows) {
        fs::current_path(row.cwd);
        TDVContext root;
        EXPECT_EQ(ErrorOf([&] {
                      root.LoadFromFile(row.folder + "/inner.def", true);
                      root.LoadFromFile(row.folder + "/user.ini", true);
                  }),
                  "<no error>")
            << row.cwd << " " << row.folder;
        EXPECT_EQ(root.Exists("t") ? root.GetInteger("t") : 0, 3) << row.cwd << " " << row.folder;
        EXPECT_EQ(root.Exists("s") ? root.GetInteger("s") : 0, 2) << row.cwd << " " << row.folder;
    }
}

TEST_F(Include, MissingFileIsAnErrorWithTheResolvedName)
{
    Write("main.def", "include(\"gone.inc\")\n");
    TDVContext root;
    const std::string base = dir.string();
    EXPECT_EQ(ErrorOf([&] { root.LoadFromFile(base + "/main.def", true); }),
              " invalid parametrs in calling include: TDVContext::LoadFromFile: file not found '" + base +
                  "/gone.inc'; Line='include(\"gone.inc\")'; Line=0; File=" + base + "/main.def");
}

TEST_F(Include, SelfIncludeRaisesInsteadOfOverflowing)
{
    Write("a.inc", "include(\"b.inc\")\n");
    Write("b.inc", "include(\"A.INC\")\n");
    TDVContext root;
    const std::string message = ErrorOf([&] { root.LoadFromFile((dir / "a.inc").string(), true); });
    EXPECT_NE(message.find("TDVContext::LoadFromFile: recursive include of '"), std::string::npos) << message;
    // The same file may still be included twice in a row.
    Write("c.inc", "integer n=1\nn=2\n");
    Write("twice.def", "include(\"c.inc\")\n");
    TDVContext other;
    EXPECT_NO_THROW(other.LoadFromFile((dir / "twice.def").string(), true));
}

TEST_F(Include, IncludedFilesDrawOnTheLoadsOneEntryBudget)
{
    // One include creates a fifth of the budget's entries and addresses them three times more.
    const std::string range = "t[1-" + std::to_string(tdv_detail::LoadBudget::MaxEntries / 5) + "]=1\n";
    const std::string big = range + range + range;
    Write("big.inc", big);
    Write("once.def", "integer t[]=0\ninclude(\"big.inc\")\n");
    Write("twice.def", "integer t[]=0\ninclude(\"big.inc\",\"big.inc\")\n");
    TDVContext once;
    EXPECT_NO_THROW(once.LoadFromFile((dir / "once.def").string(), true));
    TDVContext twice;
    const std::string message = ErrorOf([&] { twice.LoadFromFile((dir / "twice.def").string(), true); });
    EXPECT_NE(message.find("Configuration text too large"), std::string::npos) << message;
}

TEST_F(Include, MissingOptionalFileChangesNothing)
{
    TDVContext root;
    Load(root, "integer a=1");
    EXPECT_NO_THROW(root.LoadFromFile((dir / "absent.ini").string(), false));
    EXPECT_EQ(root.GetInteger("a"), 1);
    EXPECT_EQ(ErrorOf([&] { root.LoadFromFile((dir / "absent.ini").string(), true); }),
              "TDVContext::LoadFromFile: file not found '" + (dir / "absent.ini").string() + "'");
}

TEST(MakeFilePath, ResolvesAgainstTheBaseDirectory)
{
    TDVContext root;
    EXPECT_EQ(root.MakeFilePath("x.inc"), "x.inc");
    root.SetBaseDir("/data/content\\");
    root.SetBaseDir("/ignored");
    const std::pair<const char*, const char*> cases[] = {
        {"x.inc", "/data/content\\x.inc"},
        {" x.inc ", "/data/content\\x.inc"},
        {"sub\\x.inc", "sub\\x.inc"},
        {".\\x.inc", "/data/content\\x.inc"},
        {"..\\x.inc", "/data\\x.inc"},
        {"..\\\\x.inc", "/data\\x.inc"},
        {"..\\..\\..\\x.inc", "/\\x.inc"},
        {".hidden", "/data/content\\.hidden"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(root.MakeFilePath(in), out) << in;

    // A relative base climbs through its "." into the folders above the current one.
    TDVContext relative;
    relative.SetBaseDir("./demo");
    const std::pair<const char*, const char*> climbs[] = {
        {"..\\x.inc", ".\\x.inc"},
        {"..\\..\\x.inc", "..\\x.inc"},
        {"..\\..\\..\\x.inc", "..\\..\\x.inc"},
    };
    for (const auto& [in, out] : climbs)
        EXPECT_EQ(relative.MakeFilePath(in), out) << in;

    // A base climbed to the current folder leaves the rest relative, separators doubled or not.
    TDVContext plain;
    plain.SetBaseDir("demo");
    for (const char* in : {"..\\x.inc", "..\\\\x.inc", "../x.inc", "..//x.inc"})
        EXPECT_EQ(plain.MakeFilePath(in), "x.inc") << in;
}
