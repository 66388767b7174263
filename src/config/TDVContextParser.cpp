#include "config/TDVContext.h"

#include "config/NormalizeLine.h"
#include "config/TDVContextHive.h"
#include "config/TDVContextInternal.h"
#include "platform/system/TStringList.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

using namespace tdv_detail;

// ================================================================== parser

namespace {

// The characters that may not stand in the index list of a list in configuration text.
bool IsIndexListStop(char c)
{
    switch (c) {
    case '"': case '\'': case '.': case '[': case ']': case '+': case '!': case '%': case '^':
    case '&': case '(': case ')': case ';': case ':': case '\\': case '/': case '{': case '}':
    case '?': case '`':
        return true;
    default:
        return false;
    }
}

bool IsElementOfContextArray(const TDVContext* context)
{
    const TDVVarTag* owner = context->OwnerTag();
    return owner && owner->Type() == vtContext && !owner->IsList() && owner->Count() > 1;
}

// Blocks over several elements nested deeper than this recurse too far.
constexpr int MaxPassDepth = 64;
// Block passes open on this thread: a block in an included file nests in the block around the
// include.
thread_local int t_passDepth = 0;
// Contexts open at once through declarations and blocks.
constexpr int MaxOpenContexts = 1000;
// "." scopes within one line; each is a level of recursion.
constexpr int MaxScopeDepth = 200;

class ParseLineError : public Exception {
public:
    using Exception::Exception;
};

[[noreturn]] void SymbolError(char c)
{
    if (c == 0)
        Fail("end of line? structure not ended");
    Fail(std::string("symbol '") + c + "'" + " not allowed there");
}

// A table, since the lexer tests every character of every line.
struct Delimiters {
    bool is[256] = {};
    constexpr Delimiters()
    {
        for (unsigned char c : {' ', '"', '\'', ',', '.', '=', ';', '&', '{', '}', '[', ']', '(', ')', '?'})
            is[c] = true;
    }
};
constexpr Delimiters kDelimiters;

inline bool IsDelimiter(char c) { return kDelimiters.is[static_cast<unsigned char>(c)]; }

// Cuts a line into tokens: the text up to the next delimiter, and the delimiter (0 at the end).
class Lexer {
public:
    explicit Lexer(std::string_view text) : text_(text) {}

    void Next(std::string& token, char& delimiter)
    {
        std::size_t q = pos_;
        while (q < text_.size() && !IsDelimiter(text_[q]))
            ++q;
        token.assign(text_.substr(pos_, q - pos_));
        delimiter = q < text_.size() ? text_[q] : 0;
        pos_ = q < text_.size() ? q + 1 : q;
    }
    // The text up to the next c, which is consumed; false when there is none.
    bool CutTo(char c, std::string& out)
    {
        const std::size_t q = text_.find(c, pos_);
        if (q == std::string_view::npos)
            return false;
        out.assign(text_.substr(pos_, q - pos_));
        pos_ = q + 1;
        return true;
    }
    [[nodiscard]] std::string_view RestView() const { return text_.substr(pos_); }
    void ExpectEnd()
    {
        std::string token;
        char d = 0;
        Next(token, d);
        if (!token.empty())
            Fail(Quoted(token) + " not allowed there");
        if (d != 0)
            SymbolError(d);
    }

private:
    // Views a line (or the rest of one after a scope) that outlives the parse of it.
    std::string_view text_;
    std::size_t pos_ = 0;
};

bool IsIdentChar(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c >= 0x80;
}

// Values after "=" or inside a statement's parentheses.
// Fills values, reusing its strings' storage from the line before.
void ParseValuesInto(std::string_view rest, bool statement, bool pointer, std::vector<std::string>& values)
{
    std::size_t used = 0;
    const std::size_t n = rest.size();
    std::size_t p = 0;
    while (p < n) {
        if (statement && rest[p] == ')')
            break;
        std::string_view value;
        if (rest[p] == '"') {
            const std::size_t q = rest.find('"', p + 1);
            if (q == std::string::npos)
                Fail("expected '\"'");
            value = rest.substr(p + 1, q - p - 1);
            p = q + 1;
        } else {
            std::size_t q = statement ? rest.find_first_of(",)", p) : rest.find(',', p);
            if (q == std::string::npos)
                q = n;
            value = rest.substr(p, q - p);
            p = q;
        }
        if (p < n && rest[p] == ',')
            ++p;
        if (pointer && !value.empty() && value[0] == '&')
            value.remove_prefix(1);
        if (used < values.size())
            values[used].assign(value);
        else
            values.emplace_back(value);
        ++used;
    }
    values.resize(used);
    if (statement) {
        if (p >= n || rest[p] != ')')
            Fail("expected ')'");
        if (p + 1 < n)
            Fail(Quoted(rest.substr(p + 1)) + " not allowed there");
    }
}

std::vector<std::string> ParseValues(std::string_view rest, bool statement, bool pointer)
{
    std::vector<std::string> values;
    ParseValuesInto(rest, statement, pointer, values);
    return values;
}

// The values of an assignment: they are stored before the parser runs again on this thread, so
// one list serves every line and its strings keep their storage. (A statement's arguments may
// load a file, which parses: they get a list of their own.)
const std::vector<std::string>& AssignedValues(std::string_view rest, bool pointer)
{
    thread_local std::vector<std::string> values;
    ParseValuesInto(rest, false, pointer, values);
    return values;
}

struct IndexItem {
    int number = 0;   // element number of an array (1-based)
    std::string text; // the item as written, or a list entry ID
};

// Expands the text between the brackets of an assignment, block or scope.
std::vector<IndexItem> ParseIndexList(TDVVarTag* tag, std::string raw)
{
    const bool list = tag->IsList();
    for (char c : raw) {
        const bool bad = list ? IsIndexListStop(c)
                              : !((c >= '0' && c <= '9') || c == ',' || c == '-' || c == '*');
        if (bad)
            Fail("Arraydef syntax error; ']' ???");
    }
    if (list && raw.empty())
        raw = "*";
    auto tooLong = [&] { Fail("Index list too long: " + Quoted(raw)); };
    std::vector<IndexItem> out;
    std::size_t start = 0;
    while (start <= raw.size()) {
        std::size_t comma = raw.find(',', start);
        if (comma == std::string::npos)
            comma = raw.size();
        const std::string item = raw.substr(start, comma - start);
        start = comma + 1;
        if (item == "*") {
            LoadBudget::Spend(list ? static_cast<std::int64_t>(tag->Entries().size()) : tag->Count());
            if (list) {
                for (const TDVVarTag* entry : tag->Entries()) {
                    LoadBudget::SpendText(entry->Name().size());
                    out.push_back({0, EntryID(entry)});
                }
            } else {
                for (int n = 1; n <= tag->Count(); ++n)
                    out.push_back({n, IntToStr(n)});
            }
        } else if (const auto dash = item.find('-'); dash != std::string::npos) {
            const std::string from = item.substr(0, dash);
            std::string to;
            for (std::size_t k = dash + 1; k < item.size() && item[k] >= '0' && item[k] <= '9'; ++k)
                to += item[k];
            std::int32_t a = 1;
            std::int32_t b = tag->Count();
            if ((!from.empty() && !TryStrToInt(from, a)) || (!to.empty() && !TryStrToInt(to, b)) || a <= 0 || b <= 0)
                Fail("Error in array. Zero index or invalid use of '-' operator.");
            if (!list && b > tag->Count())
                b = tag->Count() + 1; // the first element beyond raises the accessor's error
            if (a <= b) {
                if (static_cast<std::int64_t>(b) - a + 1 + static_cast<std::int64_t>(out.size()) > TDVContext::MaxElements)
                    tooLong();
                LoadBudget::Spend(static_cast<std::int64_t>(b) - a + 1);
                for (std::int32_t n = a; n <= b; ++n)
                    out.push_back({list ? 0 : n, IntToStr(n)});
            }
        } else if (list) {
            if (item.empty())
                Fail("Invalid index: " + Quoted(item));
            LoadBudget::Spend(1);
            out.push_back({0, item});
        } else {
            std::int32_t n = 0;
            if (!TryStrToInt(item, n) || n < 0)
                Fail("Invalid index: " + Quoted(item));
            LoadBudget::Spend(1);
            out.push_back({n, item});
        }
        if (out.size() > static_cast<std::size_t>(TDVContext::MaxElements))
            tooLong();
    }
    return out;
}

// The tag a pointer met in the text stands for (a pointer may lead to another pointer).
TDVVarTag* FollowParserPointer(TDVVarTag* tag, TDVContext* base, int& index)
{
    std::unordered_set<const TDVVarTag*> seen;
    while (tag->Type() == vtPointer) {
        const std::string path = NormalizeLine(*tag->String(0));
        if (!seen.insert(tag).second)
            Fail(" Circular pointer reference '" + Quoted(path) + "'");
        LoadBudget::Spend(1);
        TDVVarTag* target = nullptr;
        try {
            target = base->FindTagByPath(path, index, false, true);
        } catch (const Exception&) {
            target = nullptr;
        }
        if (!target)
            Fail("Unknown identifier in pointer: " + Quoted(path));
        tag = target;
    }
    return tag;
}

void PushOpen(TDVContextHive& hive, TDVContext* context)
{
    if (hive.Depth() >= MaxOpenContexts)
        Fail("Contexts nested too deeply");
    hive.Push(context);
}


int ParseText(TDVContextHive& hive, std::string_view text, bool inScope, bool blockAllowed,
              TDVContext::LoadState& state);

int ParseDeclaration(TDVContextHive& hive, Lexer& lx, ValType type, char d)
{
    TDVContext* ctx = hive.Current();
    if (d != ' ')
        SymbolError(d);
    std::string name;
    char d2 = 0;
    lx.Next(name, d2);
    if (name.empty())
        SymbolError(d2);
    for (char c : name)
        if (!IsIdentChar(static_cast<unsigned char>(c)))
            Fail(Quoted(name) + " not allowed there");
    if (ctx->FindTag(name) || ctx->FindIdent(name))
        Fail("Ident '" + Quoted(name) + "': allready defined");
    int size = 1;
    if (d2 == '[') {
        std::string raw;
        if (!lx.CutTo(']', raw))
            Fail("Arraydef syntax error; ']' ???");
        if (raw.empty()) {
            size = -1;
        } else {
            if (!IsDigits(raw))
                Fail("Arraydef syntax error; ']' ???");
            std::int32_t n = 0;
            if (!TryStrToInt(raw, n) || n <= 0 || n > TDVContext::MaxElements)
                Fail("Error in array size");
            size = n;
        }
        std::string token;
        lx.Next(token, d2);
        if (!token.empty())
            Fail(Quoted(token) + " not allowed there");
    }
    if (d2 == '=') {
        if (type == vtContext)
            SymbolError(d2);
    } else if (d2 != 0) {
        SymbolError(d2);
    }
    TDVVarTag* tag = IsElementOfContextArray(ctx) ? ctx->AddContextDef(name, type, size)
                                                  : ctx->AddTag(name, type, size);
    if (!tag)
        Fail("Internal: Can't add tag to context");
    if (type == vtContext) {
        PushOpen(hive, tag->Context(0));
        return 0;
    }
    if (d2 == '=')
        tag->SetFromStrings(AssignedValues(lx.RestView(), type == vtPointer), 0);
    return 0;
}

int ParseIdentifier(TDVContextHive& hive, Lexer& lx, const std::string& ident, char d, bool blockAllowed,
                    TDVContext::LoadState& state)
{
    TDVContext* ctx = hive.Current();
    TDVVarTag* tag = ctx->FindTag(ident);
    if (!tag) {
        tag = ctx->FindIdent(ident);
        if (!tag)
            Fail("Unknown ident '" + Quoted(ident) + "'" + " not allowed there");
        tag = ctx->CopyTagInto(tag);
    }
    int pointedIndex = -1;
    if (tag->Type() == vtPointer) {
        const std::string_view rest = lx.RestView();
        const bool follow = d == '.' || d == '{' || (d == '=' && (rest.empty() || rest[0] != '&')) ||
                            (d == '[' && !tag->IsList() && tag->Count() == 1);
        if (follow)
            tag = FollowParserPointer(tag, state.pointerBase, pointedIndex);
    }

    bool indexed = false;
    std::vector<IndexItem> items;
    if (d == '[') {
        if (!tag->IsList() && tag->Count() <= 1)
            SymbolError(d);
        std::string raw;
        if (!lx.CutTo(']', raw))
            Fail("Arraydef syntax error; ']' ???");
        items = ParseIndexList(tag, raw);
        indexed = true;
        std::string token;
        lx.Next(token, d);
        if (!token.empty())
            Fail(Quoted(token) + " not allowed there");
        if (d == 0)
            SymbolError(d);
    } else if ((d == '.' || d == '{') && !tag->IsList() && tag->Count() > 1) {
        Fail("'" + Quoted(ident) + "' - array, [...] - required");
    }

    if (d == 0)
        return 0;
    if (d == '=') {
        const auto& values = AssignedValues(lx.RestView(), tag->Type() == vtPointer);
        if (!indexed) {
            tag->SetFromStrings(values, pointedIndex > 0 && !tag->IsList() ? pointedIndex : 0);
            return 0;
        }
        // Converted once, whatever the number of elements it goes to; each value after the first
        // writes one more element.
        const TDVVarTag::Converted converted = TDVVarTag::Convert(tag->Type(), values);
        const std::int64_t further = values.empty() ? 0 : static_cast<std::int64_t>(values.size()) - 1;
        for (const auto& item : items) {
            LoadBudget::Spend(further);
            if (tag->IsList()) {
                tag->Owner()->GetListTagByID(tag, item.text)->SetFromConverted(values, converted, 0);
            } else {
                if (item.number == 0)
                    Fail("Invalid index: " + Quoted(item.text));
                tag->SetFromConverted(values, converted, item.number - 1);
            }
        }
        return 0;
    }
    if (d != '.' && d != '{')
        SymbolError(d);
    if (tag->Type() != vtContext)
        SymbolError(d);

    std::vector<TDVContext*> elements;
    if (!indexed) {
        elements.push_back(tag->Context(pointedIndex > 0 && !tag->IsList() ? pointedIndex : 0));
    } else if (tag->IsList()) {
        for (const auto& item : items)
            elements.push_back(tag->Owner()->GetListTagByID(tag, item.text)->Context(0));
    } else {
        for (const auto& item : items) {
            if (item.number == 0)
                Fail(d == '.' ? "Invalid index: " + Quoted(item.text) : std::string("Error in array size"));
            elements.push_back(tag->Context(item.number - 1));
        }
    }

    if (d == '.') {
        // A pointer back to its own context makes "p.p.p..." an endless chain of scopes.
        if (state.scopeDepth >= MaxScopeDepth)
            Fail("Contexts nested too deeply");
        const std::string_view rest = lx.RestView();
        const bool single = elements.size() == 1;
        int passes = 0;
        ++state.scopeDepth;
        for (TDVContext* element : elements) {
            hive.SetCurrent(element);
            try {
                LoadBudget::SpendBytes(static_cast<std::int64_t>(rest.size()));
                passes = ParseText(hive, rest, true, single && blockAllowed, state);
            } catch (...) {
                --state.scopeDepth;
                throw;
            }
        }
        --state.scopeDepth;
        return passes;
    }

    if (!blockAllowed)
        SymbolError(d);
    lx.ExpectEnd();
    if (elements.empty())
        Fail("Error in array size");
    for (TDVContext* element : elements)
        PushOpen(hive, element);
    return static_cast<int>(elements.size()) - 1;
}

int ParseBody(TDVContextHive& hive, std::string_view text, bool inScope, bool blockAllowed,
              TDVContext::LoadState& state)
{
    if (text.empty())
        return 0;
    Lexer lx(text);
    std::string token;
    char d = 0;
    lx.Next(token, d);
    if (token.empty()) {
        if (!inScope && d == '}') {
            if (hive.Depth() == 0)
                Fail("'}' without context or '{'");
            hive.Pop();
            lx.ExpectEnd();
            return 0;
        }
        SymbolError(d);
    }
    if (inScope) {
        if (ReservedWord(token))
            Fail(Quoted(token) + " not allowed there");
        return ParseIdentifier(hive, lx, token, d, blockAllowed, state);
    }
    if (std::string_view(token) == "endcontext") { // lengths first: most tokens are no keyword
        if (hive.Depth() == 0)
            Fail("endcontext without context");
        hive.Pop();
        if (d != 0)
            SymbolError(d);
        return 0;
    }
    const ValType type = KeywordToValType(token);
    if (type != vtNone)
        return ParseDeclaration(hive, lx, type, d);
    const int statement = StatementKeyword(token);
    if (statement >= 0) {
        if (d != '(')
            SymbolError(d);
        const auto arguments = ParseValues(lx.RestView(), true, false);
        hive.Current()->ExecuteStatement(statement, arguments);
        return 0;
    }
    return ParseIdentifier(hive, lx, token, d, blockAllowed, state);
}

int ParseText(TDVContextHive& hive, std::string_view text, bool inScope, bool blockAllowed,
              TDVContext::LoadState& state)
{
    try {
        const int passes = ParseBody(hive, text, inScope, blockAllowed, state);
        hive.UpdateCurrent();
        return passes;
    } catch (const ParseLineError&) {
        hive.UpdateCurrent();
        throw;
    } catch (const Exception& e) {
        hive.UpdateCurrent();
        throw ParseLineError(" " + CutMessage(e.what()) + "; Line='" + Quoted(text) + "'");
    }
}

} // namespace

int TDVContext::ParseLine(TDVContextHive& hive, const std::string& line)
{
    LoadState state;
    state.pointerBase = hive.Base();
    return ParseLineIn(hive, line, &state);
}

int TDVContext::ParseLineIn(TDVContextHive& hive, const std::string& line, LoadState* state)
{
    try {
        return ParseText(hive, line, false, true, *state);
    } catch (const ParseLineError& e) {
        throw Exception(e.what());
    }
}

void TDVContext::LoadFromStrings(const TStringList& lines, int first, int end)
{
    std::vector<std::string_view> views(lines.Lines().begin(), lines.Lines().end());
    LoadState state;
    state.pointerBase = this;
    LoadPass(views, first, end, state);
}

void TDVContext::LoadPass(const std::vector<std::string_view>& lines, int first, int end, LoadState& state)
{
    const bool blockPass = end == -2;
    TDVContext privateBase;
    TDVContextHive hive(blockPass ? &privateBase : this);
    if (blockPass)
        hive.Push(this);
    const int count = static_cast<int>(lines.size());
    first = std::max(first, 0);
    const int last = end <= 0 ? count : std::min(end, count);
    std::string pending;
    std::string text;
    for (int i = first; i < last; ++i) {
        try {
            std::string_view line = lines[std::size_t(i)];
            // Every visit of a line is work, by the first pass and by each block pass again.
            LoadBudget::SpendLine();
            LoadBudget::SpendBytes(static_cast<std::int64_t>(line.size()) + 1);
            while (!line.empty() && static_cast<unsigned char>(line.back()) <= ' ')
                line.remove_suffix(1);
            if (pending.empty() && (line.empty() || line.back() != '\\')) {
                // The common case, a line that neither continues nor is continued: no copy.
                NormalizeLineInto(line, text);
            } else {
                // The line is trimmed where it joins what earlier lines left pending.
                pending += line;
                if (!line.empty() && line.back() == '\\') {
                    pending.pop_back();
                    if (i + 1 < last)
                        continue;
                }
                NormalizeLineInto(pending, text);
                pending.clear();
            }
            const int passes = ParseLineIn(hive, text, &state);
            if (passes > 0) {
                if (t_passDepth >= MaxPassDepth)
                    Fail("Blocks nested too deeply");
                struct Nested {
                    Nested() { ++t_passDepth; }
                    ~Nested() { --t_passDepth; }
                } nested;
                for (int k = 0; k < passes; ++k) {
                    hive.Current()->LoadPass(lines, i + 1, -2, state);
                    hive.Pop();
                }
            }
            if (blockPass && hive.Current() == &privateBase)
                return;
        } catch (const Exception& e) {
            throw Exception(std::string(e.what()) + "; Line=" + IntToStr(i));
        }
    }
    if (hive.Current() != hive.Base())
        Fail(" '}' or endcontext expected; Line=" + IntToStr(count));
}

