// What one load may cost: each limit holds at its boundary, the work of every costly kind of
// text grows at most in proportion to the text (and so does writing its settings back), and texts
// of those kinds at sizes that once took seconds or gigabytes load, or are refused with a short
// error; settings written back load again. Work is counted by the budgets of the load and of the
// writer, never timed.
#include "config/LoadBudget.h"
#include "ConfigTestSupport.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using tdv_detail::LoadBudget;

namespace {

// A main file and the files it includes; a relative main file is loaded by a name relative to
// the folder above it. Links are symbolic links to folders, by name and target.
struct Text {
    std::string main;
    std::map<std::string, std::string> files;
    bool relative = false;
    std::map<std::string, std::string> links{};
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
    // Loads the text as a file into a fresh root; the error, or "<no error>". Settings it holds
    // are then written back as the program saves them, and what is written must load again over
    // the same file, as at the next start.
    std::string LoadText(const Text& text)
    {
        for (const auto& [name, content] : text.files) {
            fs::create_directories((dir / name).parent_path());
            std::ofstream(dir / name, std::ios::binary) << content;
        }
        for (const auto& [name, target] : text.links) {
            fs::remove(dir / name);
            fs::create_directory_symlink(target, dir / name);
        }
        std::ofstream(dir / "main.def", std::ios::binary) << text.main;
        const fs::path cwd = fs::current_path();
        if (text.relative)
            fs::current_path(dir.parent_path());
        const std::string main = text.relative ? (dir.filename() / "main.def").string() : (dir / "main.def").string();
        TDVContext root;
        const std::string error = ErrorOf([&] { root.LoadFromFile(main, true); });
        loadWork = Work();
        writeWork = 0;
        if (root.Exists("settings")) {
            TStringList lines;
            TDVContext::SetBlockThreshold(1);
            const std::string refused = ErrorOf([&] { root.SaveTagToStrings("settings", lines); });
            TDVContext::SetBlockThreshold(3);
            writeWork = Work();
            EXPECT_EQ(refused, "<no error>");
            lines.SaveToFile((dir / "written.ini").string());
            TDVContext next;
            ErrorOf([&] { next.LoadFromFile(main, true); });
            EXPECT_EQ(ErrorOf([&] { next.LoadFromFile((dir / "written.ini").string(), true); }).substr(0, 300),
                      "<no error>");
        }
        fs::current_path(cwd);
        return error;
    }
    // The work of the last load or write in bytes: entries at what an entry costs, and bytes.
    static double Work()
    {
        const LoadBudget::Used used = LoadBudget::LastLoad();
        return double(used.entries) * double(LoadBudget::TextBytesPerEntry) + double(used.bytes);
    }

    TestFolder folder{"cfg_cost_"};
    const fs::path dir = folder.Path();
    double loadWork = 0;
    double writeWork = 0;
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

// n eight-byte names that the fixed hash a name table once used (a multiply and a shift over
// the name as one word) folds to one value, found by running that hash backwards: under it, a
// table holds them all in one probe run.
std::vector<std::string> NamesSharingOneFixedHash(int n)
{
    constexpr std::uint64_t k = 0x9E3779B97F4A7C15ull;
    std::uint64_t inverse = k; // k * inverse = 1 modulo 2^64, by Newton's iteration
    for (int i = 0; i < 5; ++i)
        inverse *= 2 - k * inverse;
    auto identifier = [](unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; };
    std::mt19937_64 random(1);
    std::set<std::string> seen;
    std::vector<std::string> names;
    while (int(names.size()) < n) {
        const std::uint64_t high = random() >> 32;
        std::uint64_t h = high << 32 | (0x12345678u ^ high); // folds to 0x12345678
        h ^= h >> 29 ^ h >> 58;                               // undoes h ^= h >> 29
        const std::uint64_t word = (h * inverse) ^ (8 * k);
        std::string name(8, ' ');
        std::memcpy(name.data(), &word, 8);
        if (std::isalpha(static_cast<unsigned char>(name[0])) &&
            std::all_of(name.begin(), name.end(), [&](char c) { return identifier(static_cast<unsigned char>(c)); }) &&
            seen.insert(name).second)
            names.push_back(name);
    }
    return names;
}

Text NamesSharingOneHash(int n)
{
    std::string text;
    for (const std::string& name : NamesSharingOneFixedHash(n))
        text += "integer " + name + "\n";
    return {text, {}};
}

// Settings holding an array of empty contexts with a long name.
Text SettingsArrayWithLongName(int n)
{
    return {"context settings\ncontext w" + std::string(std::size_t(1000 * n), 'w') + "[" +
                std::to_string(std::min(640 * n, TDVContext::MaxElements)) + "]\nendcontext\nendcontext\n",
            {}};
}

// Settings holding many values at the bottom of deeply nested contexts.
Text SettingsNestedDeep(int n)
{
    const int depth = std::min(10 * n, TDVContext::MaxDepth - 3);
    std::string text = "context settings\n" + Repeat("context c\n", depth);
    for (int i = 0; i < 1000 * n; ++i)
        text += "integer v" + std::to_string(i) + "=1\n";
    return {text + Repeat("endcontext\n", depth + 1), {}};
}

// Folder entries the included file's folder holds besides it.
std::map<std::string, std::string> FolderOf(int entries)
{
    std::map<std::string, std::string> files{{"x.inc", "; included\n"}, {"Sub/keep", ""}};
    for (int i = 0; i < entries; ++i)
        files["e" + std::to_string(i)] = "";
    return files;
}

// An include whose path climbs in and out of a folder named in another letter case, again and
// again, in a folder of many entries.
Text IncludeClimbingMiscasedFolder(int n)
{
    return {"include(./" + Repeat("sub/../", 10 * n) + "x.inc)\n", FolderOf(200)};
}

// Includes of a path that climbs in and out of a folder some 500 times.
Text IncludesClimbingOneFolder(int n)
{
    return {Repeat("include(./" + Repeat("Sub/../", 500) + "x.inc)\n", n), FolderOf(0)};
}

// An include from a relative base folder that climbs far above it.
Text ClimbsAboveARelativeBase(int n)
{
    return {"include(" + Repeat("../", 1000 * n) + "x.inc)\n", {}, true};
}

// An include whose name climbs in and out of n links to one folder of many entries, through a
// folder in it named in another letter case each time.
Text IncludeThroughLinksToOneFolder(int n)
{
    Text t{"", {{"x.inc", "; included\n"}, {"big/Sub/keep", ""}}};
    for (int i = 0; i < 4000; ++i)
        t.files["big/e" + std::to_string(i)] = "";
    std::string name = "./";
    for (int i = 0; i < n; ++i) {
        t.links["l" + std::to_string(i)] = "big";
        name += "l" + std::to_string(i) + "/sub/../../";
    }
    t.main = "include(" + name + "x.inc)\n";
    return t;
}

struct Kind {
    const char* name;
    std::function<Text(int)> text;
    int n;              // compared with 2n
    int costly;         // a size that once took seconds or gigabytes
    const char* error;  // at that size: the start of the error that refuses it, or null
};

const char* const kTooMuch = "Configuration text too ";

const Kind kKinds[] = {
    {"include fan-out", IncludeFanOut, 5, 8, kTooMuch},
    {"long value to every element", LongValueToEveryElement, 10, 47, nullptr},
    {"long list name", LongListName, 100, 313, kTooMuch},
    {"template copy", TemplateCopy, 2, 47, nullptr},
    {"long member names copied", LongMemberNamesCopied, 100, 32, kTooMuch},
    {"blocks around a blank line", BlocksAroundBlankLine, 10, 100, kTooMuch},
    {"same file included often", SameFileIncludedOften, 2, 250, kTooMuch},
    {"pointer chain", PointerChain, 400, 1000, kTooMuch},
    {"morph over a long path", MorphOverLongPath, 8000, 20000, kTooMuch},
    {"long scope rest", LongScopeRest, 6000, 20000, kTooMuch},
    {"names sharing one hash", NamesSharingOneHash, 50, 98000, nullptr},
    {"settings array with a long name", SettingsArrayWithLongName, 10, 1049, nullptr},
    {"settings nested deep", SettingsNestedDeep, 2, 97, nullptr},
    {"include climbing a mis-cased folder", IncludeClimbingMiscasedFolder, 10, 57, nullptr},
    {"includes climbing one folder", IncludesClimbingOneFolder, 5, 60, nullptr},
    {"climbs above a relative base", ClimbsAboveARelativeBase, 1, 200, "TDVContext::LoadFromFile: file not found"},
    {"include through links to one folder", IncludeThroughLinksToOneFolder, 5, 38, nullptr},
};

} // namespace

// Doubling a text of any costly kind at most about doubles the work its load does: whatever
// multiplied the work is either gone or charged, so that such texts reach a limit and stop.
TEST_F(LoadCost, WorkAtMostDoublesWithTheText)
{
    for (const Kind& kind : kKinds) {
        LoadText(kind.text(kind.n));
        const double smallLoad = loadWork;
        const double smallWrite = writeWork;
        LoadText(kind.text(2 * kind.n));
        EXPECT_GT(smallLoad, 0) << kind.name;
        EXPECT_LE(loadWork, 2.2 * smallLoad) << kind.name << ": " << smallLoad << " -> " << loadWork;
        EXPECT_LE(writeWork, 2.2 * smallWrite) << kind.name << " written: " << smallWrite << " -> " << writeWork;
    }
}

// At the sizes that once cost seconds to minutes or gigabytes, each kind loads (where nothing
// multiplies any more) or is refused by a limit, with an error that names the file and the line
// but quotes only the start of the line.
TEST_F(LoadCost, CostlyTextsLoadOrAreRefusedWithAShortError)
{
    for (const Kind& kind : kKinds) {
        const std::string error = LoadText(kind.text(kind.costly));
        if (!kind.error) {
            EXPECT_EQ(error.substr(0, 300), "<no error>") << kind.name;
            continue;
        }
        EXPECT_NE(error.find(kind.error), std::string::npos) << kind.name << ": " << error.substr(0, 300);
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
    auto entries = [&](std::int64_t n) { return LoadBudget::Limits{n, shipped.bytes, shipped.lines}; };
    // A file over a MiB is cut into the lines a load may visit before it is parsed.
    const std::string mebibyteLine = ";" + std::string(std::size_t(1) << 20, 'x') + "\n";
    // An element of an array copies its member, an array, with that array's own member definition.
    const std::string templateCopy = "context c[2]\ncontext s[2]\ninteger x\nendcontext\nendcontext\nc[1].s[1].x=1\n";
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
        {"lines of a file over a MiB", lines, {mebibyteLine + Repeat("\n", 9), {}},
         {mebibyteLine + Repeat("\n", 10), {}}, "more than 10 lines read"},
        {"a name of 64 bytes", entries(1), {"integer " + std::string(63, 'n'), {}},
         {"integer " + std::string(64, 'n'), {}}, "more than 1 entries created or addressed"},
        {"further elements of a value list", entries(8), {"integer a[4]\na[1,2]=1,2\n", {}},
         {"integer a[4]\na[1,2]=1,2,3\n", {}}, "more than 8 entries created or addressed"},
        {"member definitions of a template", entries(12), {templateCopy, {}}, {templateCopy + "integer z\n", {}},
         "more than 12 entries created or addressed"},
    };
    for (const Row& row : rows) {
        LoweredLimits limits(row.limits);
        EXPECT_EQ(LoadText(row.at), "<no error>") << row.limit;
        EXPECT_NE(LoadText(row.past).find(row.refusal), std::string::npos) << row.limit;
    }
}

// Files may include each other 32 deep, blocks over several elements nest 64 deep, and contexts
// 1000 deep: the recursion over them stays far from the end of the stack.
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

    // Each pass runs its last element's block first, so the depth is reached at once; a text of
    // 64 levels is refused later, by its work.
    auto blocks = [](int levels) {
        return Text{Repeat("context c[2]\n", levels) + Repeat("endcontext\n", levels) + Repeat("c[1-2] {\n", levels) +
                        Repeat("}\n", levels),
                    {}};
    };
    EXPECT_EQ(LoadText(blocks(64)).find("Blocks nested too deeply"), std::string::npos);
    EXPECT_NE(LoadText(blocks(65)).find("Blocks nested too deeply"), std::string::npos);

    TDVContext root;
    TDVContext* deepest = &root;
    for (int depth = 1; depth <= TDVContext::MaxDepth; ++depth)
        deepest = deepest->AddTag("c", vtContext, 1)->Context(0);
    EXPECT_EQ(ErrorOf([&] { deepest->AddTag("c", vtContext, 1); }), "Contexts nested too deeply");
    EXPECT_NO_THROW(deepest->AddTag("v", vtInteger, 1));
}
