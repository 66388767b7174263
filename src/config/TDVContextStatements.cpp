#include "config/TDVContext.h"

#include "config/NormalizeLine.h"
#include "config/TDVContextInternal.h"
#include "config/TIndxQueue.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/system/TFileStream.h"
#include "platform/system/TStringList.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

using namespace tdv_detail;

// ================================================================== files and include

namespace {

// Files being loaded on this thread, to refuse an include that comes back to one of them.
thread_local std::vector<std::string> t_filesLoading;

// Files loading each other deeper than this recurse too far.
constexpr std::size_t MaxIncludeDepth = 32;

// The file's text, charged to the load before it is read: a file larger than the load may still
// read is refused unread.
std::string ReadCharged(const std::string& path, const std::string& identity)
{
    TFileStream in(path, TFileStream::fmOpenRead);
    const std::int64_t size = in.Size();
    LoadBudget::SpendFile(identity, size);
    std::string text(static_cast<std::size_t>(size), '\0');
    text.resize(static_cast<std::size_t>(in.Read(text.data(), size)));
    return text;
}

// The start of text that holds the lines a load may still visit and the one after, whose visit
// refuses the load (CR, LF and CRLF end a line, as for TStringList): a large file of more lines
// is not cut into views the load would never reach. (A file of up to a MiB has no more views
// than a few times its size in bytes.)
std::string_view VisitableLines(std::string_view text, std::int64_t visitable)
{
    constexpr std::size_t kSplitWhole = 1 << 20;
    if (text.size() <= kSplitWhole || static_cast<std::int64_t>(text.size()) <= visitable)
        return text;
    std::size_t pos = 0;
    for (std::int64_t k = 0; k <= visitable; ++k) {
        std::size_t brk = pos;
        while (brk < text.size() && text[brk] != '\r' && text[brk] != '\n')
            ++brk;
        if (brk == text.size())
            return text;
        pos = brk + (text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n' ? 2 : 1);
    }
    return text.substr(0, pos);
}

} // namespace

void TDVContext::SetBaseDir(const std::string& directory)
{
    if (baseDirSet_)
        return;
    std::string dir = directory;
    while (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/'))
        dir.pop_back();
    baseDir_ = dir;
    baseDirSet_ = true;
}

namespace {
bool StartsWithAt(const std::string& s, std::size_t at, const char* prefix)
{
    return s.compare(at, std::char_traits<char>::length(prefix), prefix) == 0;
}

// Takes base one directory up, in place; relative bases climb above their start with "..". A
// last component "." is the directory before it and is dropped first ("./demo" climbs to "." and
// then to ".."). Each climb touches only the last component or the ".." it adds, and is charged
// for that much: a name of many climbs costs in proportion to its length.
void ClimbUp(std::string& base)
{
    for (;;) {
        if (base.empty()) {
            base = "..";
            LoadBudget::SpendBytes(2);
            return;
        }
        const auto sep = base.find_last_of("\\/");
        const std::size_t last = sep == std::string::npos ? 0 : sep + 1;
        LoadBudget::SpendBytes(static_cast<std::int64_t>(base.size() - last) + 1);
        if (base.compare(last, std::string::npos, "..") == 0) {
            base += "\\..";
            return;
        }
        const bool here = base.compare(last, std::string::npos, ".") == 0;
        if (sep == std::string::npos)
            base.clear();
        else
            base.resize(sep == 0 ? 1 : sep); // the root stays the root
        if (!here || base == "/")
            return;
    }
}
} // namespace

std::string TDVContext::MakeFilePath(const std::string& name) const
{
    if (baseDir_.empty())
        return name;
    std::size_t b = 0;
    std::size_t e = name.size();
    while (b < e && name[b] == ' ')
        ++b;
    while (e > b && name[e - 1] == ' ')
        --e;
    const std::string n = name.substr(b, e - b);
    if (n.find_first_of("\\/:") == std::string::npos)
        return baseDir_ + "\\" + n;
    if (n.empty() || n[0] != '.')
        return n;
    std::string base = baseDir_;
    std::size_t p = 0;
    for (;;) {
        if (StartsWithAt(n, p, "..\\") || StartsWithAt(n, p, "../")) {
            ClimbUp(base);
            p += 3;
        } else if (StartsWithAt(n, p, ".\\") || StartsWithAt(n, p, "./")) {
            p += 2;
        } else {
            break;
        }
    }
    // Separators doubled after the climbs name no folder: the rest stays below the base, and a
    // base climbed to the current folder does not turn it into a name from the root.
    p = std::min(n.find_first_not_of("\\/", p), n.size());
    const std::string rest = n.substr(p);
    return base.empty() ? rest : base + "\\" + rest;
}

void TDVContext::LoadFromFile(const std::string& fileName, bool mustExist)
{
    const auto sep = fileName.find_last_of("\\/:");
    SetBaseDir(sep == std::string::npos ? std::string() : fileName.substr(0, sep + 1));
    // Resolving the name is work of its own: a status call for each component and the entries of
    // each directory that holds a component in another letter case. The walk stops where the
    // budget ends, and charging what it took then refuses the load.
    FileNameWork work;
    const LoadBudget::Used left = LoadBudget::Left();
    work.stepLimit = left.entries;
    work.byteLimit = left.bytes;
    // The walk also says what it found, so that the name is not walked again unpaid.
    FileNameEnd found;
    const std::string path = ResolveFileName(fileName, work, &found);
    LoadBudget::Spend(work.statusCalls + work.entriesRead);
    LoadBudget::SpendBytes(work.statusBytes);
    if (!found.regularFile) {
        if (mustExist)
            Fail("TDVContext::LoadFromFile: file not found '" + Quoted(path) + "'");
        return;
    }
    const std::string& identity = found.identity;
    if (std::find(t_filesLoading.begin(), t_filesLoading.end(), identity) != t_filesLoading.end())
        Fail("TDVContext::LoadFromFile: recursive include of '" + path + "'");
    if (t_filesLoading.size() > MaxIncludeDepth)
        Fail("TDVContext::LoadFromFile: includes nested too deeply at '" + path + "'");
    t_filesLoading.push_back(identity);
    struct Pop {
        ~Pop() { t_filesLoading.pop_back(); }
    } pop;
    LoadState state;
    state.pointerBase = this;
    try {
        // The lines are views into the file's text: a loader keeps no copy of them.
        const std::string content = ReadCharged(path, identity);
        std::vector<std::string_view> lines;
        TStringList::SplitLines(VisitableLines(content, LoadBudget::LinesLeft()), lines);
        LoadPass(lines, 0, 0, state);
    } catch (const Exception& e) {
        throw Exception(std::string(e.what()) + "; File=" + path);
    }
}

// ================================================================== statements

void TDVContext::ExecuteStatement(int statement, const std::vector<std::string>& arguments)
{
    const char* keyword = statement >= 0 && statement < 3 ? StatementKeywords[statement] : "";
    try {
        switch (statement) {
        case 0:
            if (arguments.size() != 3)
                Fail("count?");
            Morph(arguments[0], StrToInt(arguments[1]), StrToInt(arguments[2]));
            break;
        case 1:
            if (arguments.size() != 1)
                Fail("count?");
            AutoMorph(arguments[0]);
            break;
        case 2:
            if (arguments.empty())
                Fail("include err: no file(s) specified");
            for (const auto& file : arguments)
                LoadFromFile(MakeFilePath(file), true);
            break;
        default:
            Fail("count?");
        }
    } catch (const Exception& e) {
        throw Exception(std::string("invalid parametrs in calling ") + keyword + ": " + e.what());
    }
}

namespace {

// Member names of an element context: its own tags and the member definitions of its array,
// without duplicates, in alphabetical order.
std::set<std::string> MemberNames(TDVContext* element)
{
    std::set<std::string> names;
    for (const auto& tag : element->Tags())
        if (tag->Name().find("::") == std::string::npos)
            names.insert(tag->Name());
    const TDVContext* parent = element->GetParentContext();
    const std::string name = element->GetName();
    if (const auto* definitions = parent ? parent->DefinitionsOf(name) : nullptr)
        for (const TDVVarTag* tag : *definitions)
            names.insert(tag->Name().substr(name.size() + 2));
    return names;
}

TDVContext* ElementContext(TDVContext* self, const std::string& path, int element)
{
    IndxQueue().Clear();
    IndxQueue().PushInteger(element);
    int index = 0;
    TDVVarTag* tag = self->FindTagByPath(NormalizeLine(path), index, true, true);
    if (tag->Type() != vtContext)
        Fail(" context not found");
    return tag->Context(index < 0 ? 0 : index);
}

float ReadNumber(TDVContext* self, const std::string& path, ValType type, int element)
{
    return type == vtInteger ? static_cast<float>(self->GetIntegerAt(path, element)) : self->GetFloatAt(path, element);
}

void WriteNumber(TDVContext* self, const std::string& path, ValType type, int element, float value)
{
    if (type == vtInteger)
        self->SetIntegerAt(path, static_cast<std::int32_t>(std::trunc(value)), element);
    else
        self->SetFloatAt(path, value, element);
}

ValType TypeAtFirst(TDVContext* self, const std::string& path)
{
    IndxQueue().Clear();
    IndxQueue().PushInteger(1);
    return self->GetTagType(path);
}

// Fills the holes (zeros) of elements kFirst..kLast that are followed by a non-zero element.
void FillHoles(TDVContext* self, const std::string& path, ValType type, int kFirst, int kLast)
{
    LoadBudget::Spend(static_cast<std::int64_t>(kLast) - kFirst + 1);
    float anchor = ReadNumber(self, path, type, kFirst);
    int gap = 0;
    for (int k = kFirst; k <= kLast; ++k) {
        const float v = ReadNumber(self, path, type, k);
        if (v == 0) {
            if (gap == 0)
                gap = k == 1 ? 1 : k - 1;
            continue;
        }
        if (gap != 0) {
            const float step = (v - anchor) / static_cast<float>(k - gap);
            float value = anchor;
            for (int i = gap + 1; i < k; ++i) {
                value += step;
                WriteNumber(self, path, type, i, value);
            }
            gap = 0;
        }
        anchor = v;
    }
}

} // namespace

void TDVContext::Morph(const std::string& path, int from, int to)
{
    if (to <= from)
        Fail("'from' can not be same as 'to' or greater.");
    if (path.find("[#]") == std::string::npos)
        Fail("Morphing: Invalid format in " + Quoted(path));
    if (static_cast<std::int64_t>(to) - from > MaxElements)
        Fail("Morphing: range too large in " + Quoted(path));
    LoadBudget::Spend(static_cast<std::int64_t>(to) - from + 1);
    const ValType type = TypeAtFirst(this, path);
    if (type == vtContext) {
        for (const auto& name : MemberNames(ElementContext(this, path, from)))
            Morph(path + "." + name, from, to);
        return;
    }
    if (type != vtInteger && type != vtFloat)
        return;
    const float a = ReadNumber(this, path, type, from);
    const float b = ReadNumber(this, path, type, to);
    const float step = (b - a) / static_cast<float>(to - from);
    float v = a;
    for (int i = from + 1; i < to; ++i) {
        v += step;
        WriteNumber(this, path, type, i, v);
    }
}

void TDVContext::AutoMorph(const std::string& path)
{
    const auto mark = path.find("[#]");
    if (mark == std::string::npos)
        Fail("Morphing: Invalid format in " + Quoted(path));
    int index = 0;
    TDVVarTag* holder = FindTagByPath(NormalizeLine(path.substr(0, mark)), index, true, true);
    const ValType type = TypeAtFirst(this, path);
    if (type == vtContext) {
        for (const auto& name : MemberNames(ElementContext(this, path, 1)))
            AutoMorph(path + "." + name);
        return;
    }
    if (type != vtInteger && type != vtFloat)
        return;
    if (!holder->IsList()) {
        FillHoles(this, path, type, 1, holder->Count());
        return;
    }
    std::int32_t lo = 0;
    std::int32_t hi = 0;
    LoadBudget::Spend(static_cast<std::int64_t>(holder->Entries().size()));
    for (const TDVVarTag* entry : holder->Entries()) {
        LoadBudget::SpendText(entry->Name().size());
        std::int32_t n = 0;
        if (!IsCanonicalNumber(EntryID(entry), n))
            continue;
        lo = lo == 0 ? n : std::min(lo, n);
        hi = std::max(hi, n);
    }
    if (lo == 0)
        return;
    if (static_cast<std::int64_t>(hi) - lo > MaxElements)
        Fail("Morphing: range too large in " + Quoted(path));
    FillHoles(this, path, type, lo, hi);
}
