#include "ConfigTestSupport.h"
#include "config/LoadBudget.h"
#include "config/NormalizeLine.h"
#include "config/TDVContextHive.h"

#include <gtest/gtest.h>

#include <random>

TEST(NormalizeLine, ShrinksBlanksOutsideQuotesAndCutsComments)
{
    const std::pair<const char*, const char*> cases[] = {
        {"  integer   a [ 3 ] = 1 , 2 ,3  ", "integer a[3]=1,2,3"},
        {"s = \"a ; b  c\" ; comment", "s=\"a ; b  c\""},
        {"\tx\t=\t1", "x=1"},
        {"riff [1 - 3] . size = 4", "riff[1-3].size=4"},
        {"; only a comment", ""},
        {"a b", "a b"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(NormalizeLine(in), out) << in;
}

// Character by character, as the language defines it: the fast path must give the same text.
std::string PlainNormalized(const std::string& line)
{
    const std::string separators = " ,.-[](){}=";
    std::string out;
    bool inQuotes = false;
    for (char c : line) {
        if (c == '\t')
            c = ' ';
        if (c == '"' || inQuotes) {
            inQuotes ^= c == '"';
            out += c;
        } else if (c == ';') {
            break;
        } else if (c == ' ') {
            if (!out.empty() && separators.find(out.back()) == std::string::npos)
                out += c;
        } else {
            if (separators.find(c) != std::string::npos && !out.empty() && out.back() == ' ')
                out.pop_back();
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

TEST(NormalizeLine, MatchesTheCharacterByCharacterRulesOnRandomLines)
{
    const std::string alphabet = "ab9_ \t\t,.-[](){}=\";&\\'";
    std::mt19937 rng(20261207);
    std::uniform_int_distribution<std::size_t> length(0, 40);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int n = 0; n < 20000; ++n) {
        std::string line(length(rng), ' ');
        for (char& c : line)
            c = alphabet[pick(rng)];
        ASSERT_EQ(NormalizeLine(line), PlainNormalized(line)) << '[' << line << ']';
    }
}

TEST(Parser, ContinuedLinesJoinAfterTrimming)
{
    TDVContext root;
    Load(root, "integer a[3]=1,\\  \n  2,\\\n3\ninteger b=4 \\");
    EXPECT_EQ(root.GetValueText("a"), "1,2,3");
    EXPECT_EQ(root.GetInteger("b"), 4);
}

TEST(Parser, IndexListsAssignRangesAndStars)
{
    TDVContext root;
    Load(root, "integer a[3]=1,2,3\na[2-3]=9");
    EXPECT_EQ(root.GetValueText("a"), "1,9,9");
    Load(root, "a=5");
    EXPECT_EQ(root.GetValueText("a"), "5,9,9");
    Load(root, "a[*]=0");
    EXPECT_EQ(root.GetValueText("a"), "0,0,0");
    Load(root, "a[2]=7,8");
    EXPECT_EQ(root.GetValueText("a"), "0,7,8");
    Load(root, "a[-2]=1\na[3-]=4");
    EXPECT_EQ(root.GetValueText("a"), "1,1,4");
}

TEST(Parser, ListStarSetsEntriesButNotTheDefault)
{
    TDVContext root;
    Load(root, "integer t[]=0\nt[7]=1\nt[x]=3\nt[*]=2");
    EXPECT_EQ(root.GetInteger("t[7]"), 2);
    EXPECT_EQ(root.GetInteger("t[x]"), 2);
    EXPECT_EQ(root.GetInteger("t"), 0);
    EXPECT_EQ(root.GetCount("t"), 2);
}

struct LineError {
    const char* text;
    const char* message;
};

TEST(Parser, ErrorsCarryMessageLineAndIndex)
{
    const LineError cases[] = {
        {"integer a\ninteger a", " Ident 'a': allready defined; Line='integer a'; Line=1"},
        {"b=1", " Unknown ident 'b' not allowed there; Line='b=1'; Line=0"},
        {"include \"x\"", " symbol ' ' not allowed there; Line='include \"x\"'; Line=0"},
        {"}", " '}' without context or '{'; Line='}'; Line=0"},
        {"endcontext", " endcontext without context; Line='endcontext'; Line=0"},
        {"integer z[0]", " Error in array size; Line='integer z[0]'; Line=0"},
        {"integer z[x]", " Arraydef syntax error; ']' ???; Line='integer z[x]'; Line=0"},
        {"integer a[3]\na[1-x]=1", " Arraydef syntax error; ']' ???; Line='a[1-x]=1'; Line=1"},
        {"integer a[3]\na[0-2]=1",
         " Error in array. Zero index or invalid use of '-' operator.; Line='a[0-2]=1'; Line=1"},
        {"integer a[3]\na[0]=1", " Invalid index: 0; Line='a[0]=1'; Line=1"},
        {"integer a[3]\na[4]=1",
         " TDVVarTag::Integer: index out of range or ValType is invalid; Line='a[4]=1'; Line=1"},
        {"context c[2]\nendcontext\nc.x=1", " 'c' - array, [...] - required; Line='c.x=1'; Line=2"},
        {"context c[2]\nendcontext\nc[0] {", " Error in array size; Line='c[0]{'; Line=2"},
        {"string s=\"abc", " expected '\"'; Line='string s=\"abc'; Line=0"},
        {"morph(a[#],1", " expected ')'; Line='morph(a[#],1'; Line=0"},
        {"integer i=x", " 'x' is not a valid integer value; Line='integer i=x'; Line=0"},
        {"bool b=yes", " 'yes' is not a valid integer value; Line='bool b=yes'; Line=0"},
        {"integer i\ni", "<no error>"},
        {"integer i\ni x", " symbol ' ' not allowed there; Line='i x'; Line=1"},
        {"integer i\ni[1]=2", " symbol '[' not allowed there; Line='i[1]=2'; Line=1"},
        {"integer", " end of line? structure not ended; Line='integer'; Line=0"},
        {"context c=1", " symbol '=' not allowed there; Line='context c=1'; Line=0"},
        {"context c\n", " '}' or endcontext expected; Line=1"},
        {"integer a[3]\na[1]", " end of line? structure not ended; Line='a[1]'; Line=1"},
        {"integer t[]\nt[1*]=1",
         " TDVContext::GetListTagByID Invalid use symbol '*' in list ID; Line='t[1*]=1'; Line=1"},
        {"integer t[]\nt[a.b]=1", " Arraydef syntax error; ']' ???; Line='t[a.b]=1'; Line=1"},
    };
    for (const auto& c : cases) {
        TDVContext root;
        EXPECT_EQ(ErrorOf([&] { Load(root, c.text); }), c.message) << c.text;
    }
}

TEST(Parser, ErrorInsideBlockCarriesOneLineIndexPerLevel)
{
    TDVContext root;
    const std::string text = "context c[2]\nendcontext\nc[1-2] {\n  nope=1\n}";
    EXPECT_EQ(ErrorOf([&] { Load(root, text); }), " Unknown ident 'nope' not allowed there; Line='nope=1'; Line=3; Line=2");
}

TEST(Parser, ErrorInScopeShowsTheTextAfterTheDot)
{
    TDVContext root;
    EXPECT_EQ(ErrorOf([&] { Load(root, "context c\nendcontext\nc.y=1"); }),
              " Unknown ident 'y' not allowed there; Line='y=1'; Line=2");
}

TEST(Parser, SemicolonInsideQuotesStaysInTheValue)
{
    TDVContext root;
    Load(root, "string s=\"a;b\" ; comment");
    EXPECT_EQ(root.GetString("s"), "a;b");
}

TEST(Parser, BackslashJoinsLinesWithoutBlank)
{
    TDVContext root;
    Load(root, "integer a[3]=1,\\\n2,\\  \n3");
    EXPECT_EQ(root.GetValueText("a"), "1,2,3");
    Load(root, "string s=\"ab\\\ncd\"");
    EXPECT_EQ(root.GetString("s"), "abcd");
}

TEST(Parser, LastLineEndingInBackslashIsParsed)
{
    TDVContext root;
    Load(root, "integer a=1\ninteger b=2\\");
    EXPECT_EQ(root.GetInteger("b"), 2);
}

TEST(Parser, BlockOverSeveralElementsRunsOncePerElement)
{
    TDVContext root;
    Load(root, "context riff[3]\n integer size=0\n integer x[2]\nendcontext\n"
               "riff[2-3] {\n size=4\n x=1,2\n}\nriff[1].size=6");
    EXPECT_EQ(root.GetIntegerAt("riff[#].size", 1), 6);
    EXPECT_EQ(root.GetIntegerAt("riff[#].size", 2), 4);
    EXPECT_EQ(root.GetIntegerAt("riff[#].size", 3), 4);
    EXPECT_EQ(root.GetValueTextAt("riff[#].x", 3), "1,2");
}

TEST(Parser, NestedBlocksAndScopesReachInnerContexts)
{
    TDVContext root;
    Load(root, "context a\n context b\n  integer v\n endcontext\nendcontext\n"
               "a {\n b {\n  v=3\n }\n}\na.b.v=4");
    EXPECT_EQ(root.GetInteger("a.b.v"), 4);
    Load(root, "a {\n\tb.v=5\n\t}");
    EXPECT_EQ(root.GetInteger("a.b.v"), 5);
}

TEST(Parser, ScopeOverElementsCopiesMemberDefinitionIntoEach)
{
    TDVContext root;
    Load(root, "context riff[4]\n integer member=1\nendcontext\nriff[2-3].member=5");
    EXPECT_EQ(root.GetIntegerAt("riff[#].member", 2), 5);
    EXPECT_EQ(root.GetIntegerAt("riff[#].member", 3), 5);
    EXPECT_EQ(root.GetIntegerAt("riff[#].member", 4), 1);
    EXPECT_NE(root.GetContextAt("riff[#]", 2)->FindTag("member"), nullptr);
    EXPECT_EQ(root.GetContextAt("riff[#]", 4)->FindTag("member"), nullptr);
}

TEST(Parser, ContextListEntriesTakeMembersFromTheDefaultElement)
{
    TDVContext root;
    Load(root, "context mode[]\n string title=\"none\"\n integer n[]=0\nendcontext\n"
               "mode[rock] {\n title=\"Rock\"\n n[3]=1\n}\nmode[jazz].n[1]=2");
    EXPECT_EQ(root.GetStringByID("mode[#].title", "rock"), "Rock");
    EXPECT_EQ(root.GetStringByID("mode[#].title", "jazz"), "none");
    EXPECT_EQ(root.GetIntegerByID("mode[#].n[#]", "jazz", "1"), 2);
    TStringList ids;
    EXPECT_EQ(root.EnumListIDs("mode", ids), 2);
    EXPECT_EQ(ids[1], "jazz");
}

TEST(Parser, PointerLinesWriteThroughOrRepoint)
{
    TDVContext root;
    Load(root, "integer a=1\ninteger b=2\ncontext c\n integer v\nendcontext\npointer p=&a\npointer pc=&c\n"
               "p=10\npc.v=3\npc {\n v=4\n}\np=&b\np=20");
    EXPECT_EQ(root.GetInteger("a"), 10);
    EXPECT_EQ(root.GetInteger("b"), 20);
    EXPECT_EQ(root.GetInteger("c.v"), 4);
    EXPECT_EQ(root.GetString("p"), "b");
    EXPECT_EQ(ErrorOf([&] { Load(root, "pointer bad=&zz\nbad=1"); }),
              " Unknown identifier in pointer: zz; Line='bad=1'; Line=1");
}

TEST(Parser, EndcontextAndBraceCloseDeclarations)
{
    TDVContext root;
    Load(root, "context a\n integer x=1\n}\ncontext b\n integer y=2\nendcontext\ninteger z=3");
    EXPECT_EQ(root.GetInteger("a.x"), 1);
    EXPECT_EQ(root.GetInteger("b.y"), 2);
    EXPECT_EQ(root.GetInteger("z"), 3);
}

TEST(Parser, FirstErrorStopsTheLoadButKeepsWhatCameBefore)
{
    TDVContext root;
    (void)ErrorOf([&] { Load(root, "integer a=1\nbroken line\ninteger c=3"); });
    EXPECT_TRUE(root.Exists("a"));
    EXPECT_FALSE(root.Exists("c"));
}

TEST(Parser, ParseLineWorksOnTheHiveCurrentContext)
{
    TDVContext root;
    TDVContextHive hive(&root);
    EXPECT_EQ(root.ParseLine(hive, "context c[3]"), 0);
    EXPECT_EQ(hive.Depth(), 1);
    EXPECT_EQ(root.ParseLine(hive, "}"), 0);
    EXPECT_EQ(root.ParseLine(hive, "c[1-3]{"), 2);
    EXPECT_EQ(hive.Depth(), 3);
}

TEST(Parser, HugeRangesAreRefusedInsteadOfExpanded)
{
    TDVContext root;
    EXPECT_EQ(ErrorOf([&] { Load(root, "integer t[]\nt[1-2000000000]=1"); }),
              " Index list too long: 1-2000000000; Line='t[1-2000000000]=1'; Line=1");
    EXPECT_EQ(ErrorOf([&] { Load(root, "integer big[2000000000]"); }),
              " Error in array size; Line='integer big[2000000000]'; Line=0");
}

// Each index list is bounded, but nested lists multiply and repeated ranges, morphs, large
// declarations and long texts add up: one load may create or address only so many entries, and
// is refused before it makes them.
TEST(Parser, LoadsBeyondTheEntryBudgetAreRefused)
{
    const std::string declarations = "integer t[]=0\nstring s[]\ncontext mode[]\n context riff[]\n"
                                     "  integer size=0\n  string title\n endcontext\nendcontext";
    // Lines that differ only in a number: prefix, the line's number, suffix.
    auto lines = [](const std::string& prefix, const std::string& suffix, int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += prefix + std::to_string(i) + suffix + "\n";
        return text;
    };
    std::vector<std::string> texts;
    for (const char* name : {"config-nested-list-ranges-oom.ini", "config-nested-list-ranges-slow.ini",
                             "config-repeated-range-slow.ini", "demo-def-appended-line-bad-alloc.txt"})
        texts.push_back(TStringList::ReadFile(std::string(RT_FUZZ_DIR) + "/config_parse/corpus/" + name));
    texts.push_back("s[1-2000]=\"" + std::string(16000, 'x') + "\"");
    texts.push_back(lines("morph(t[#],1,65536) ;", "", 2));
    texts.push_back("t[1]=1\nt[65536]=2\n" + lines("auto_morph(t[#]) ;", "", 2));
    texts.push_back(lines("integer d", "[65536]", 2));
    for (const auto& text : texts) {
        TDVContext root;
        Load(root, declarations);
        const std::string message = ErrorOf([&] { Load(root, text); });
        EXPECT_NE(message.find("Configuration text too large: more than " +
                               std::to_string(tdv_detail::LoadBudget::MaxEntries) +
                               " entries created or addressed; Line='"),
                  std::string::npos)
            << message.substr(0, 200);
    }
}

TEST(Parser, RunawayNestingStopsWithAnError)
{
    std::string deep;
    for (int i = 0; i < 1100; ++i)
        deep += "context c" + std::to_string(i) + "\n";
    TDVContext root;
    EXPECT_NE(ErrorOf([&] { Load(root, deep); }).find("Contexts nested too deeply"), std::string::npos);

    // Blocks over two elements, nested 30 deep, would need 2^30 passes.
    std::string text;
    for (int i = 0; i < 30; ++i)
        text += "context c[2]\n";
    for (int i = 0; i < 30; ++i)
        text += "endcontext\n";
    std::string blocks;
    for (int i = 0; i < 30; ++i)
        blocks += "c[1-2] {\n";
    for (int i = 0; i < 30; ++i)
        blocks += "}\n";
    TDVContext other;
    Load(other, text);
    const std::string message = ErrorOf([&] { Load(other, blocks); });
    EXPECT_TRUE(message.find("Configuration text too complex") != std::string::npos ||
                message.find("Configuration text too large") != std::string::npos ||
                message.find("Blocks nested too deeply") != std::string::npos)
        << message;
}

TEST(Parser, EndlessScopeThroughSelfPointerStopsWithAnError)
{
    TDVContext root;
    Load(root, "context a\n integer x\n pointer a=&a\nendcontext");
    Load(root, "a.a.a.x=2");
    EXPECT_EQ(root.GetInteger("a.x"), 2);
    std::string line;
    for (int i = 0; i < 300; ++i)
        line += "a.";
    line += "x=1";
    EXPECT_NE(ErrorOf([&] { Load(root, line); }).find("Contexts nested too deeply"), std::string::npos);
}
