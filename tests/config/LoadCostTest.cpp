// What one load may cost: each limit holds at its boundary, the work of every costly kind of
// text grows at most in proportion to the text, and texts of those kinds at sizes that once took
// seconds or gigabytes are refused with a short error. Work is counted by the load's own budget,
// never timed.
#include "config/LoadBudget.h"
#include "ConfigTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>

namespace fs = std::filesystem;
using tdv_detail::LoadBudget;

namespace {

// A main file and the files it includes.
struct Text {
    std::string main;
    std::map<std::string, std::string> files;
};

std::string Repeat(const std::string& s, int n)
{
    std::string out;
    out.reserve(s.size() * std::size_t(n));
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

// "include(name,name,...)" with the name count times.
std::string IncludeLine(const std::string& name, int count)
{
    std::string line = "include(" + name;
    for (int i = 1; i < count; ++i)
        line += "," + name;
    return line + ")\n";
}

// Restores the shipped limits when a test lowered them.
struct LoweredLimits {
    explicit LoweredLimits(const LoadBudget::Limits& limits) : before(LoadBudget::SetLimits(limits)) {}
    ~LoweredLimits() { LoadBudget::SetLimits(before); }
    LoadBudget::Limits before;
};

class LoadCost : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("cfg_cost_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Loads the text as a file into a fresh root; the error, or "<no error>".
    std::string LoadText(const Text& text)
    {
        for (const auto& [name, content] : text.files)
            std::ofstream(dir / name, std::ios::binary) << content;
        std::ofstream(dir / "main.def", std::ios::binary) << text.main;
        TDVContext root;
        return ErrorOf([&] { root.LoadFromFile((dir / "main.def").string(), true); });
    }
    // The work of the last load in bytes: entries at what an entry costs, and bytes.
    static double Work()
    {
        const LoadBudget::Used used = LoadBudget::LastLoad();
        return double(used.entries) * double(LoadBudget::TextBytesPerEntry) + double(used.bytes);
    }

    fs::path dir;
};

// ---- the costly kinds, each of a size n ----

// n files, each including the next five times.
Text IncludeFanOut(int n)
{
    Text t{"integer zi=0\ninclude(f1.inc)\n", {}};
    for (int d = 1; d <= n; ++d)
        t.files["f" + std::to_string(d) + ".inc"] = d < n ? IncludeLine("f" + std::to_string(d + 1) + ".inc", 5) : "zi=1\n";
    return t;
}

// One long number assigned to every element of a long array.
Text LongValueToEveryElement(int n)
{
    return {"integer za[" + std::to_string(1000 * n) + "]\nza[*]=" + std::string(std::size_t(10000 * n), '0') + "1\n", {}};
}

// A list whose long name every entry stores.
Text LongListName(int n)
{
    const std::string name = "zz" + std::string(std::size_t(64 * n), 'n');
    return {"integer " + name + "[]=0\n" + name + "[1-" + std::to_string(64 * n) + "]=1\n", {}};
}

// An entry of an open list copies a template of many members.
Text TemplateCopy(int n)
{
    std::string text = "context zo[]\ncontext zm\n";
    for (int j = 0; j < 1000 * n; ++j)
        text += "integer x" + std::to_string(j) + "\n";
    return {text + "endcontext\nendcontext\nzo[a].zm.x0=1\n", {}};
}

// Many entries of an open list, each copying a template whose members have long names.
Text LongMemberNamesCopied(int n)
{
    std::string text = "context zo[]\ncontext zm\ninteger x\n";
    const std::string name(std::size_t(64 * n), 'm');
    for (int j = 0; j < 20; ++j)
        text += "integer " + name + std::to_string(j) + "\n";
    return {text + "endcontext\nendcontext\nzo[1-" + std::to_string(40 * n) + "].zm.x=1\n", {}};
}

// Nested blocks over eight elements each, around one long blank line.
Text BlocksAroundBlankLine(int n)
{
    return {"context zc[8]\ncontext d[8]\nendcontext\nendcontext\nzc[1-8]{\nd[1-8]{\n" +
                std::string(std::size_t(10000 * n), ' ') + "\n}\n}\n",
            {}};
}

// One file of many lines included twenty times.
Text SameFileIncludedOften(int n)
{
    return {"integer zi=0\n" + IncludeLine("big.inc", 20), {{"big.inc", Repeat("zi=1\n", 1000 * n)}}};
}

// A chain of pointers, the last one used as often as the chain is long.
Text PointerChain(int n)
{
    std::string text = "integer zx=1\npointer zp0=&zx\n";
    for (int i = 1; i < n; ++i)
        text += "pointer zp" + std::to_string(i) + "=&zp" + std::to_string(i - 1) + "\n";
    return {text + Repeat("zp" + std::to_string(n - 1) + "=5\n", n), {}};
}

// A morph over as many elements as its path is long.
Text MorphOverLongPath(int n)
{
    const std::string name = std::string(std::size_t(n), 'c');
    return {"context " + name + "\ninteger zt[" + std::to_string(n) + "]\nendcontext\nmorph(" + name + ".zt[#],1," +
                std::to_string(n) + ")\n",
            {}};
}

// The rest of a scope, as long as the scope has elements, parsed in each of them.
Text LongScopeRest(int n)
{
    return {"context zc[" + std::to_string(n) + "]\nfloat f\nendcontext\nzc[*].f=" + std::string(std::size_t(n), '0') +
                "1\n",
            {}};
}

struct Kind {
    const char* name;
    std::function<Text(int)> text;
    int n;        // compared with 2n
    int costly;   // a size that once took seconds or gigabytes
    bool refused; // at that size
};

const Kind kKinds[] = {
    {"include fan-out", IncludeFanOut, 5, 8, true},
    {"long value to every element", LongValueToEveryElement, 10, 47, false},
    {"long list name", LongListName, 100, 313, true},
    {"template copy", TemplateCopy, 2, 47, false},
    {"long member names copied", LongMemberNamesCopied, 100, 32, true},
    {"blocks around a blank line", BlocksAroundBlankLine, 10, 100, true},
    {"same file included often", SameFileIncludedOften, 2, 250, true},
    {"pointer chain", PointerChain, 400, 1000, true},
    {"morph over a long path", MorphOverLongPath, 8000, 20000, true},
    {"long scope rest", LongScopeRest, 6000, 20000, true},
};

} // namespace

// Doubling a text of any costly kind at most about doubles the work its load does: whatever
// multiplied the work is either gone or charged, so that such texts reach a limit and stop.
TEST_F(LoadCost, WorkAtMostDoublesWithTheText)
{
    for (const Kind& kind : kKinds) {
        LoadText(kind.text(kind.n));
        const double smallWork = Work();
        LoadText(kind.text(2 * kind.n));
        const double largeWork = Work();
        EXPECT_GT(smallWork, 0) << kind.name;
        EXPECT_LE(largeWork, 2.2 * smallWork) << kind.name << ": " << smallWork << " -> " << largeWork;
    }
}

// At the sizes that once cost seconds to minutes or gigabytes, each kind loads (where nothing
// multiplies any more) or is refused by a limit, with an error that names the file and the line
// but quotes only the start of the line.
TEST_F(LoadCost, CostlyTextsLoadOrAreRefusedWithAShortError)
{
    for (const Kind& kind : kKinds) {
        const std::string error = LoadText(kind.text(kind.costly));
        if (!kind.refused) {
            EXPECT_EQ(error, "<no error>") << kind.name;
            continue;
        }
        EXPECT_NE(error.find("Configuration text too "), std::string::npos) << kind.name << ": " << error.substr(0, 300);
        EXPECT_NE(error.find("; Line="), std::string::npos) << kind.name;
        EXPECT_NE(error.find("; File="), std::string::npos) << kind.name;
        EXPECT_LT(error.size(), 4096u) << kind.name;
    }
}

// Every limit lets a load reach it and refuses one step past it.
TEST_F(LoadCost, EachLimitHoldsAtItsBoundary)
{
    const std::string comments = Repeat("; a comment line\n", 20);
    const LoadBudget::Limits shipped;
    // The file is read once and its lines parsed once: twice its bytes, and what a file costs.
    const LoadBudget::Limits bytes{shipped.entries, LoadBudget::BytesPerFile + 2 * std::int64_t(comments.size()),
                                   shipped.lines};
    const LoadBudget::Limits lines{shipped.entries, shipped.bytes, 10};
    struct Row {
        const char* limit;
        LoadBudget::Limits limits;
        Text at;
        Text past;
        const char* refusal;
    };
    const Row rows[] = {
        {"entries", shipped, {"integer a[50000]\ninteger b[50000]\n", {}},
         {"integer a[50000]\ninteger b[50000]\ninteger c\n", {}}, "more than 100000 entries created or addressed"},
        {"bytes", bytes, {comments, {}}, {comments + ";", {}}, " bytes read or parsed"},
        {"lines", lines, {Repeat("\n", 10), {}}, {Repeat("\n", 11), {}}, "more than 10 lines read"},
        {"lines of included files", lines, {"include(a.inc)\n", {{"a.inc", Repeat("\n", 9)}}},
         {"include(a.inc)\n", {{"a.inc", Repeat("\n", 10)}}}, "more than 10 lines read"},
        {"loads of one file", shipped, {"integer n=0\n" + IncludeLine("x.inc", 256), {{"x.inc", "n=1\n"}}},
         {"integer n=0\n" + IncludeLine("x.inc", 257), {{"x.inc", "n=1\n"}}}, "a file loaded more than 256 times"},
    };
    for (const Row& row : rows) {
        LoweredLimits limits(row.limits);
        EXPECT_EQ(LoadText(row.at), "<no error>") << row.limit;
        EXPECT_NE(LoadText(row.past).find(row.refusal), std::string::npos) << row.limit;
    }
}

// Files may include each other 32 deep, and contexts nest 1000 deep: the recursion over them
// stays far from the end of the stack.
TEST_F(LoadCost, IncludeAndContextDepthHoldAtTheirBoundary)
{
    auto chain = [](int files) {
        Text t{"include(f1.inc)\n", {}};
        for (int i = 1; i <= files; ++i)
            t.files["f" + std::to_string(i) + ".inc"] = i < files ? "include(f" + std::to_string(i + 1) + ".inc)\n" : "";
        return t;
    };
    EXPECT_EQ(LoadText(chain(32)), "<no error>");
    EXPECT_NE(LoadText(chain(33)).find("includes nested too deeply"), std::string::npos);

    TDVContext root;
    TDVContext* deepest = &root;
    for (int depth = 1; depth <= TDVContext::MaxDepth; ++depth)
        deepest = deepest->AddTag("c", vtContext, 1)->Context(0);
    EXPECT_EQ(ErrorOf([&] { deepest->AddTag("c", vtContext, 1); }), "Contexts nested too deeply");
    EXPECT_NO_THROW(deepest->AddTag("v", vtInteger, 1));
}
