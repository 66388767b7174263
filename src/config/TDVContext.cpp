#include "config/TDVContext.h"

#include "config/NormalizeLine.h"
#include "config/TDVContextHive.h"
#include "config/TIndxQueue.h"
#include "platform/Exception.h"
#include "platform/LinuxFileNames.h"
#include "platform/NumberText.h"
#include "platform/TStringList.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <unordered_set>

namespace {

int g_blockThreshold = 3;

// Files being loaded on this thread, to refuse an include that comes back to one of them.
thread_local std::vector<std::string> t_filesLoading;

// The characters that may not stand in a list entry ID of a key path.
bool IsPathIdStop(char c)
{
    switch (c) {
    case '"': case '\'': case ',': case '-': case '*': case '.': case '[': case ']':
    case '+': case '!': case '%': case '^': case '&': case '(': case ')': case ';':
    case ':': case '\\': case '/': case '{': case '}': case '?': case '`':
        return true;
    default:
        return false;
    }
}

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

bool IsDigits(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A positive decimal number written the one way the writer writes numbers ("7", never "07").
bool IsCanonicalNumber(const std::string& s, std::int32_t& value)
{
    if (!IsDigits(s) || s[0] == '0' || s.size() > 10)
        return false;
    return TryStrToInt(s, value) && value > 0;
}

// The ID of a list entry tag named "<list>[<id>]".
std::string EntryID(const TDVVarTag* entry)
{
    const std::string& name = entry->Name();
    const auto open = name.find('[');
    if (open == std::string::npos || name.size() < open + 2)
        return {};
    return name.substr(open + 1, name.size() - open - 2);
}

bool IsElementOfContextArray(const TDVContext* context)
{
    const TDVVarTag* owner = context->OwnerTag();
    return owner && owner->Type() == vtContext && !owner->IsList() && owner->Count() > 1;
}

// The keyword a name may not be, or null.
const char* ReservedWord(const std::string& name) { return ReservedKeyword(name); }

[[noreturn]] void Fail(const std::string& message) { throw Exception(message); }

} // namespace

// ================================================================== the tree

TDVContext::TDVContext(TDVVarTag* ownerTag) : ownerTag_(ownerTag) {}

TDVContext::~TDVContext() { Clear(); }

void TDVContext::Clear()
{
    byName_.clear();
    tags_.clear();
}

TDVVarTag* TDVContext::AddTagUnchecked(const std::string& name, ValType type, int arraySize)
{
    auto tag = std::make_unique<TDVVarTag>(name, type, arraySize, this);
    TDVVarTag* raw = tag.get();
    tags_.push_back(std::move(tag));
    byName_.emplace(name, raw);
    const auto open = name.find('[');
    if (open != std::string::npos && open > 0 && name.back() == ']') {
        TDVVarTag* list = FindTag(std::string_view(name).substr(0, open));
        if (list && list->IsList())
            list->AddEntry(raw);
    }
    return raw;
}

TDVVarTag* TDVContext::AddTag(const std::string& name, ValType type, int arraySize)
{
    if (const char* kw = ReservedWord(name))
        Fail(std::string("TDVContext::AddTag: Ident name invalid. Word (") + kw + ") reserved.");
    if (FindTag(name))
        Fail(" Ident name allready used");
    return AddTagUnchecked(name, type, arraySize);
}

TDVVarTag* TDVContext::AddContextDef(const std::string& member, ValType type, int arraySize)
{
    TDVContext* parent = GetParentContext();
    if (!parent)
        Fail(" ROOT context. can not add defs!");
    if (const char* kw = ReservedWord(member))
        Fail(std::string("TDVContext::AddContextDef: Ident name invalid. Word (") + kw + ") reserved.");
    const std::string full = GetName() + "::" + member;
    if (parent->FindTag(full))
        Fail(" Ident name allready used");
    return parent->AddTagUnchecked(full, type, arraySize);
}

TDVVarTag* TDVContext::FindTag(std::string_view name) const
{
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second;
}

TDVVarTag* TDVContext::FindIdent(const std::string& name) const
{
    const auto open = name.find('[');
    if (open != std::string::npos)
        return FindTag(std::string_view(name).substr(0, open));
    TDVContext* parent = GetParentContext();
    if (!parent)
        return nullptr;
    const std::string own = GetName();
    const auto ownOpen = own.find('[');
    if (ownOpen != std::string::npos) {
        TDVVarTag* list = parent->FindTag(std::string_view(own).substr(0, ownOpen));
        if (!list || list->Type() != vtContext)
            return nullptr;
        return list->Context(0)->FindTag(name);
    }
    return parent->FindTag(own + "::" + name);
}

TDVVarTag* TDVContext::CopyTagInto(TDVVarTag* tag)
{
    if (!tag)
        return nullptr;
    std::string newName = tag->Name();
    const auto sep = newName.find("::");
    if (sep != std::string::npos)
        newName.erase(0, sep + 2);
    return CopyTagAs(tag, newName);
}

TDVVarTag* TDVContext::CopyTagAs(TDVVarTag* tag, const std::string& newName)
{
    TDVVarTag* copy = AddTag(newName, tag->Type(), tag->IsList() ? -1 : tag->Count());
    copy->CopyTagValue(*tag);
    if (copy->Type() == vtContext && (tag->IsList() || tag->Count() == 1)) {
        // The element's own tags keep their names: among them may be member definitions
        // ("arr::x") of arrays declared inside it, which must stay definitions.
        TDVContext* from = tag->Context(0);
        TDVContext* to = copy->Context(0);
        const std::size_t n = from->tags_.size();
        for (std::size_t i = 0; i < n; ++i) {
            TDVVarTag* member = from->tags_[i].get();
            if (!to->FindTag(member->Name()))
                to->CopyTagAs(member, member->Name());
        }
    }
    // Member definitions of a context array nested in the copied one follow it under the
    // copy's name, so that "riff::sub::y" becomes "sub::y" beside "sub", and "n2::n3" stays
    // "n2::n3" beside "n2".
    TDVContext* owner = tag->Owner();
    if (owner) {
        const std::string full = tag->Name();
        const std::size_t n = owner->tags_.size();
        for (std::size_t i = 0; i < n; ++i) {
            TDVVarTag* t = owner->tags_[i].get();
            const auto last = t->Name().rfind("::");
            if (last == std::string::npos || last != full.size() || t->Name().compare(0, last, full) != 0)
                continue;
            const std::string name = newName + t->Name().substr(full.size());
            if (!FindTag(name))
                CopyTagAs(t, name);
        }
    }
    return copy;
}

std::string TDVContext::GetName() const { return ownerTag_ ? ownerTag_->Name() : "$ROOT$"; }

TDVContext* TDVContext::GetParentContext() const { return ownerTag_ ? ownerTag_->Owner() : nullptr; }

TDVContext* TDVContext::GetRoot()
{
    TDVContext* c = this;
    while (TDVContext* p = c->GetParentContext())
        c = p;
    return c;
}

// ================================================================== key paths

TDVVarTag* TDVContext::FindTagByPath(const std::string& path, int& index, bool raise, bool create)
{
    auto fail = [&](const std::string& message) -> TDVVarTag* {
        if (raise)
            Fail(message);
        return nullptr;
    };
    TDVContext* ctx = this;
    std::size_t pos = 0;
    index = -1;
    for (;;) {
        std::size_t e = path.find_first_of(".[", pos);
        if (e == std::string::npos)
            e = path.size();
        const std::string ident = path.substr(pos, e - pos);
        if (ident.empty())
            return fail(" Ident expected");
        TDVVarTag* tag = ctx->FindTag(ident);
        if (!tag) {
            tag = ctx->FindIdent(ident);
            if (!tag)
                return fail(" Unknown ident '" + ident + "' in '" + ctx->GetName() + "'");
            if (create)
                tag = ctx->CopyTagInto(tag);
        }

        bool hasIndex = false;
        std::string id = "*";
        int element = 0;
        if (e < path.size() && path[e] == '[') {
            const std::size_t p = e + 1;
            std::size_t q = p;
            if (tag->IsList()) {
                while (q < path.size() && !IsPathIdStop(path[q]))
                    ++q;
            } else {
                while (q < path.size() && ((path[q] >= '0' && path[q] <= '9') || path[q] == '#'))
                    ++q;
            }
            if (q >= path.size() || path[q] != ']')
                return fail(" Arraydef syntax error; ']' ???");
            std::string text = path.substr(p, q - p);
            if (text == "#")
                text = IndxQueue().PopString();
            hasIndex = true;
            if (tag->IsList()) {
                id = text.empty() ? "*" : text;
            } else {
                std::int32_t n = 0;
                if (!TryStrToInt(text, n) || n <= 0)
                    return fail(" Array index error: must be > 0");
                element = n - 1;
            }
            e = q + 1;
            if (e < path.size() && path[e] != '.')
                return fail(" error encoding idents");
        }

        if (e < path.size()) { // path[e] == '.'
            if (tag->Type() != vtContext)
                return fail(" Symbol '.' not permited '" + ident + "' != context");
            TDVContext* next = nullptr;
            if (tag->IsList() && id != "*") {
                const std::string entryName = tag->Name() + "[" + id + "]";
                TDVVarTag* entry = tag->Owner()->FindTag(entryName);
                if (!entry && create)
                    entry = ctx->AddTag(entryName, vtContext, 1);
                next = entry ? entry->Context(0) : tag->Context(0);
            } else {
                next = tag->Context(hasIndex ? element : 0);
            }
            ctx = next;
            pos = e + 1;
            continue;
        }

        if (!hasIndex) {
            index = tag->Count() == 1 ? 0 : -1;
        } else {
            index = element;
        }
        if (tag->IsList() && id != "*") {
            const std::string entryName = tag->Name() + "[" + id + "]";
            TDVVarTag* entry = tag->Owner()->FindTag(entryName);
            if (!entry) {
                if (!create) {
                    index = 0;
                    return tag;
                }
                entry = ctx->AddTag(entryName, tag->Type(), 1);
                if (entry->Type() != vtContext)
                    entry->CopyTagValue(*tag);
            }
            index = 0;
            return entry;
        }
        return tag;
    }
}

TDVVarTag* TDVContext::ResolveFollowed(const std::string& path, int& index, bool create)
{
    std::string current = NormalizeLine(path);
    TDVContext* base = this;
    std::unordered_set<const TDVVarTag*> seen;
    for (;;) {
        TDVVarTag* tag = base->FindTagByPath(current, index, true, create);
        if (tag->Type() != vtPointer)
            return tag;
        if (!seen.insert(tag).second)
            Fail(" Circular pointer reference '" + current + "'");
        current = NormalizeLine(*tag->String(index < 0 ? 0 : index));
        base = GetRoot();
    }
}

std::string TDVContext::GetString(const std::string& path)
{
    int index = 0;
    TDVVarTag* tag = FindTagByPath(NormalizeLine(path), index, true, false);
    if (tag->Type() == vtContext)
        Fail(" Can't convert context");
    return *tag->String(index < 0 ? 0 : index);
}

std::string TDVContext::GetValueText(const std::string& path)
{
    int index = 0;
    TDVVarTag* tag = ResolveFollowed(path, index, false);
    if (tag->Type() == vtContext)
        Fail(" Can't convert context");
    return tag->ValueToText(index);
}

std::int32_t TDVContext::GetInteger(const std::string& path)
{
    int index = 0;
    TDVVarTag* tag = ResolveFollowed(path, index, false);
    return *tag->Integer(index < 0 ? 0 : index);
}

bool TDVContext::GetBool(const std::string& path)
{
    int index = 0;
    TDVVarTag* tag = ResolveFollowed(path, index, false);
    return *tag->Bool(index < 0 ? 0 : index) != 0;
}

float TDVContext::GetFloat(const std::string& path)
{
    int index = 0;
    TDVVarTag* tag = ResolveFollowed(path, index, false);
    return *tag->Float(index < 0 ? 0 : index);
}

TDVContext* TDVContext::GetContext(const std::string& path)
{
    int index = 0;
    TDVVarTag* tag = ResolveFollowed(path, index, false);
    if (tag->Type() != vtContext)
        Fail(" context not found");
    return tag->Context(index < 0 ? 0 : index);
}

void TDVContext::SetString(const std::string& path, const std::string& value)
{
    int index = 0;
    TDVVarTag* tag = ResolveFollowed(path, index, true);
    if (tag->Type() == vtContext)
        Fail(" Can't convert context");
    *tag->String(index < 0 ? 0 : index) = value;
}

void TDVContext::SetInteger(const std::string& path, std::int32_t value)
{
    int index = 0;
    TDVVarTag* tag = ResolveFollowed(path, index, true);
    if (tag->Type() == vtContext)
        Fail(" Can't convert context");
    *tag->Integer(index < 0 ? 0 : index) = value;
}

void TDVContext::SetBool(const std::string& path, bool value)
{
    int index = 0;
    TDVVarTag* tag = ResolveFollowed(path, index, true);
    if (tag->Type() == vtContext)
        Fail(" Can't convert context");
    *tag->Bool(index < 0 ? 0 : index) = value ? 1 : 0;
}

float TDVContext::SetFloat(const std::string& path, float value)
{
    int index = 0;
    TDVVarTag* tag = ResolveFollowed(path, index, true);
    if (tag->Type() == vtContext)
        Fail(" Can't convert context");
    *tag->Float(index < 0 ? 0 : index) = value;
    return value;
}

int TDVContext::GetCount(const std::string& path)
{
    int index = 0;
    TDVVarTag* tag = FindTagByPath(NormalizeLine(path), index, true, false);
    return tag->IsList() ? static_cast<int>(tag->Entries().size()) : tag->Count();
}

int TDVContext::EnumListIDs(const std::string& path, TStringList& ids)
{
    int index = 0;
    TDVVarTag* tag = FindTagByPath(NormalizeLine(path), index, true, false);
    if (!tag->IsList())
        Fail("TDVContext::EnumListIDs: " + path + " not a list.");
    for (const TDVVarTag* entry : tag->Entries())
        ids.Add(EntryID(entry));
    return static_cast<int>(tag->Entries().size());
}

void TDVContext::ReadArray(const std::string& path, void* buffer)
{
    int index = 0;
    FindTagByPath(NormalizeLine(path), index, true, false)->CopyValuesTo(buffer);
}

void* TDVContext::GetDataPtr(const std::string& path)
{
    int index = 0;
    return FindTagByPath(NormalizeLine(path), index, true, true)->Data();
}

ValType TDVContext::GetTagType(const std::string& path)
{
    int index = 0;
    return FindTagByPath(NormalizeLine(path), index, true, false)->Type();
}

bool TDVContext::Exists(const std::string& path)
{
    int index = 0;
    return FindTagByPath(path, index, false, false) != nullptr;
}

namespace {
void PushIndices(int i1, int i2, int i3)
{
    TIndxQueue& q = IndxQueue();
    q.Clear();
    if (i1 <= 0)
        return;
    q.PushInteger(i1);
    if (i2 <= 0)
        return;
    q.PushInteger(i2);
    if (i3 > 0)
        q.PushInteger(i3);
}

void PushIDs(const std::string& s1, const std::string& s2, const std::string& s3)
{
    TIndxQueue& q = IndxQueue();
    q.Clear();
    if (s1.empty())
        return;
    q.PushString(s1);
    if (s2.empty())
        return;
    q.PushString(s2);
    if (!s3.empty())
        q.PushString(s3);
}
} // namespace

std::string TDVContext::GetValueTextAt(const std::string& path, int i1, int i2, int i3)
{
    PushIndices(i1, i2, i3);
    return GetValueText(path);
}

std::int32_t TDVContext::GetIntegerAt(const std::string& path, int i1, int i2, int i3)
{
    PushIndices(i1, i2, i3);
    return GetInteger(path);
}

float TDVContext::GetFloatAt(const std::string& path, int i1, int i2, int i3)
{
    PushIndices(i1, i2, i3);
    return GetFloat(path);
}

TDVContext* TDVContext::GetContextAt(const std::string& path, int i1, int i2, int i3)
{
    PushIndices(i1, i2, i3);
    return GetContext(path);
}

void TDVContext::SetStringAt(const std::string& path, const std::string& value, int i1, int i2, int i3)
{
    PushIndices(i1, i2, i3);
    SetString(path, value);
}

void TDVContext::SetIntegerAt(const std::string& path, std::int32_t value, int i1, int i2, int i3)
{
    PushIndices(i1, i2, i3);
    SetInteger(path, value);
}

float TDVContext::SetFloatAt(const std::string& path, float value, int i1, int i2, int i3)
{
    PushIndices(i1, i2, i3);
    return SetFloat(path, value);
}

std::string TDVContext::GetValueTextByID(const std::string& path, const std::string& s1,
                                         const std::string& s2, const std::string& s3)
{
    PushIDs(s1, s2, s3);
    return GetValueText(path);
}

std::string TDVContext::GetStringByID(const std::string& path, const std::string& s1,
                                      const std::string& s2, const std::string& s3)
{
    PushIDs(s1, s2, s3);
    return GetString(path);
}

std::int32_t TDVContext::GetIntegerByID(const std::string& path, const std::string& s1,
                                        const std::string& s2, const std::string& s3)
{
    PushIDs(s1, s2, s3);
    return GetInteger(path);
}

TDVContext* TDVContext::GetContextByID(const std::string& path, const std::string& s1,
                                       const std::string& s2, const std::string& s3)
{
    PushIDs(s1, s2, s3);
    return GetContext(path);
}

// ================================================================== parser

namespace {

// More lines than this in one load (block passes included) means a text that would not finish.
constexpr std::int64_t MaxLineParses = 250000;
// Blocks over several elements nested deeper than this recurse too far.
constexpr int MaxPassDepth = 64;
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
    explicit Lexer(const std::string& text) : text_(text) {}

    void Next(std::string& token, char& delimiter)
    {
        std::size_t q = pos_;
        while (q < text_.size() && !IsDelimiter(text_[q]))
            ++q;
        token.assign(text_, pos_, q - pos_);
        delimiter = q < text_.size() ? text_[q] : 0;
        pos_ = q < text_.size() ? q + 1 : q;
    }
    // The text up to the next c, which is consumed; false when there is none.
    bool CutTo(char c, std::string& out)
    {
        const std::size_t q = text_.find(c, pos_);
        if (q == std::string::npos)
            return false;
        out = text_.substr(pos_, q - pos_);
        pos_ = q + 1;
        return true;
    }
    [[nodiscard]] std::string Rest() const { return text_.substr(pos_); }
    [[nodiscard]] std::string_view RestView() const { return std::string_view(text_).substr(pos_); }
    void ExpectEnd()
    {
        std::string token;
        char d = 0;
        Next(token, d);
        if (!token.empty())
            Fail(token + " not allowed there");
        if (d != 0)
            SymbolError(d);
    }

private:
    const std::string& text_;
    std::size_t pos_ = 0;
};

bool IsIdentChar(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c >= 0x80;
}

// Values after "=" or inside a statement's parentheses.
std::vector<std::string> ParseValues(std::string_view rest, bool statement, bool pointer)
{
    std::vector<std::string> values;
    const std::size_t n = rest.size();
    std::size_t p = 0;
    while (p < n) {
        if (statement && rest[p] == ')')
            break;
        std::string value;
        if (rest[p] == '"') {
            const std::size_t q = rest.find('"', p + 1);
            if (q == std::string::npos)
                Fail("expected '\"'");
            value = rest.substr(p + 1, q - p - 1);
            p = q + 1;
        } else {
            std::size_t q = rest.find_first_of(statement ? ",)" : ",", p);
            if (q == std::string::npos)
                q = n;
            value = rest.substr(p, q - p);
            p = q;
        }
        if (p < n && rest[p] == ',')
            ++p;
        if (pointer && !value.empty() && value[0] == '&')
            value.erase(0, 1);
        values.push_back(std::move(value));
    }
    if (statement) {
        if (p >= n || rest[p] != ')')
            Fail("expected ')'");
        if (p + 1 < n)
            Fail(std::string(rest.substr(p + 1)) + " not allowed there");
    }
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
    auto tooLong = [&] { Fail("Index list too long: " + raw); };
    std::vector<IndexItem> out;
    std::size_t start = 0;
    while (start <= raw.size()) {
        std::size_t comma = raw.find(',', start);
        if (comma == std::string::npos)
            comma = raw.size();
        const std::string item = raw.substr(start, comma - start);
        start = comma + 1;
        if (item == "*") {
            if (list) {
                for (const TDVVarTag* entry : tag->Entries())
                    out.push_back({0, EntryID(entry)});
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
                for (std::int32_t n = a; n <= b; ++n)
                    out.push_back({list ? 0 : n, IntToStr(n)});
            }
        } else if (list) {
            if (item.empty())
                Fail("Invalid index: " + item);
            out.push_back({0, item});
        } else {
            std::int32_t n = 0;
            if (!TryStrToInt(item, n) || n < 0)
                Fail("Invalid index: " + item);
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
            Fail(" Circular pointer reference '" + path + "'");
        TDVVarTag* target = nullptr;
        try {
            target = base->FindTagByPath(path, index, false, true);
        } catch (const Exception&) {
            target = nullptr;
        }
        if (!target)
            Fail("Unknown identifier in pointer: " + path);
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

} // namespace

struct TDVContext::LoadState {
    TDVContext* pointerBase = nullptr;
    std::int64_t linesLeft = MaxLineParses;
    int passDepth = 0;
    int scopeDepth = 0;
};

namespace {

int ParseText(TDVContextHive& hive, const std::string& text, bool inScope, bool blockAllowed,
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
            Fail(name + " not allowed there");
    if (ctx->FindTag(name) || ctx->FindIdent(name))
        Fail("Ident '" + name + "': allready defined");
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
            Fail(token + " not allowed there");
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
        tag->SetFromStrings(ParseValues(lx.RestView(), false, type == vtPointer), 0);
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
            Fail("Unknown ident '" + ident + "'" + " not allowed there");
        tag = ctx->CopyTagInto(tag);
    }
    int pointedIndex = -1;
    if (tag->Type() == vtPointer) {
        const std::string rest = lx.Rest();
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
            Fail(token + " not allowed there");
        if (d == 0)
            SymbolError(d);
    } else if ((d == '.' || d == '{') && !tag->IsList() && tag->Count() > 1) {
        Fail("'" + ident + "' - array, [...] - required");
    }

    if (d == 0)
        return 0;
    if (d == '=') {
        const auto values = ParseValues(lx.RestView(), false, tag->Type() == vtPointer);
        if (!indexed) {
            tag->SetFromStrings(values, pointedIndex > 0 && !tag->IsList() ? pointedIndex : 0);
        } else if (tag->IsList()) {
            for (const auto& item : items)
                tag->Owner()->GetListTagByID(tag, item.text)->SetFromStrings(values, 0);
        } else {
            for (const auto& item : items) {
                if (item.number == 0)
                    Fail("Invalid index: " + item.text);
                tag->SetFromStrings(values, item.number - 1);
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
                Fail(d == '.' ? "Invalid index: " + item.text : std::string("Error in array size"));
            elements.push_back(tag->Context(item.number - 1));
        }
    }

    if (d == '.') {
        // A pointer back to its own context makes "p.p.p..." an endless chain of scopes.
        if (state.scopeDepth >= MaxScopeDepth)
            Fail("Contexts nested too deeply");
        const std::string rest = lx.Rest();
        const bool single = elements.size() == 1;
        int passes = 0;
        ++state.scopeDepth;
        for (TDVContext* element : elements) {
            hive.SetCurrent(element);
            try {
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

int ParseBody(TDVContextHive& hive, const std::string& text, bool inScope, bool blockAllowed,
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
            Fail(token + " not allowed there");
        return ParseIdentifier(hive, lx, token, d, blockAllowed, state);
    }
    if (token == "endcontext") {
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

int ParseText(TDVContextHive& hive, const std::string& text, bool inScope, bool blockAllowed,
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
        throw ParseLineError(" " + std::string(e.what()) + "; Line='" + text + "'");
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
            // The line is trimmed where it joins what earlier lines left pending.
            const std::size_t mark = pending.size();
            pending += lines[std::size_t(i)];
            while (pending.size() > mark && static_cast<unsigned char>(pending.back()) <= ' ')
                pending.pop_back();
            if (pending.size() > mark && pending.back() == '\\') {
                pending.pop_back();
                if (i + 1 < last)
                    continue;
            }
            NormalizeLineInto(pending, text);
            pending.clear();
            if (--state.linesLeft < 0)
                Fail("Configuration text too complex");
            const int passes = ParseLineIn(hive, text, &state);
            if (passes > 0) {
                if (state.passDepth >= MaxPassDepth)
                    Fail("Blocks nested too deeply");
                ++state.passDepth;
                for (int k = 0; k < passes; ++k) {
                    hive.Current()->LoadPass(lines, i + 1, -2, state);
                    hive.Pop();
                }
                --state.passDepth;
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

TDVVarTag* TDVContext::GetListTagByID(TDVVarTag* listTag, const std::string& id)
{
    if (id.find('*') != std::string::npos)
        Fail("TDVContext::GetListTagByID Invalid use symbol '*' in list ID");
    TDVVarTag* list = listTag;
    if (listTag->Owner() != this) {
        std::string name = listTag->Name();
        const auto sep = name.find("::");
        if (sep != std::string::npos)
            name.erase(0, sep + 2);
        list = FindTag(name);
        if (!list)
            list = CopyTagInto(listTag);
    }
    const std::string entryName = list->Name() + "[" + id + "]";
    TDVVarTag* entry = FindTag(entryName);
    if (!entry) {
        entry = AddTag(entryName, list->Type(), 1);
        if (!entry)
            Fail("TDVContext::GetListTagByID Internal: Can't add tag to context");
    }
    return entry;
}

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

// The base directory one level up; relative bases climb above their start with "..".
std::string ParentDirectory(const std::string& base)
{
    if (base.empty())
        return "..";
    const auto sep = base.find_last_of("\\/");
    const std::string last = sep == std::string::npos ? base : base.substr(sep + 1);
    if (last == "..")
        return base + "\\..";
    if (sep == std::string::npos)
        return {};
    if (sep == 0)
        return base.substr(0, 1); // the root stays the root
    return base.substr(0, sep);
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
            base = ParentDirectory(base);
            p += 3;
        } else if (StartsWithAt(n, p, ".\\") || StartsWithAt(n, p, "./")) {
            p += 2;
        } else {
            break;
        }
    }
    const std::string rest = n.substr(p);
    return base.empty() ? rest : base + "\\" + rest;
}

void TDVContext::LoadFromFile(const std::string& fileName, bool mustExist)
{
    const auto sep = fileName.find_last_of("\\/:");
    SetBaseDir(sep == std::string::npos ? std::string() : fileName.substr(0, sep + 1));
    const std::string path = MakeFilePath(fileName);
    if (!FileExists(path)) {
        if (mustExist)
            Fail("TDVContext::LoadFromFile: file not found '" + ResolveFileName(path) + "'");
        return;
    }
    const std::string identity = FileIdentity(path);
    if (std::find(t_filesLoading.begin(), t_filesLoading.end(), identity) != t_filesLoading.end())
        Fail("TDVContext::LoadFromFile: recursive include of '" + ResolveFileName(path) + "'");
    t_filesLoading.push_back(identity);
    struct Pop {
        ~Pop() { t_filesLoading.pop_back(); }
    } pop;
    // The lines are views into the file's text: a loader keeps no copy of them.
    const std::string content = TStringList::ReadFile(path);
    std::vector<std::string_view> lines;
    TStringList::SplitLines(content, lines);
    try {
        LoadState state;
        state.pointerBase = this;
        LoadPass(lines, 0, 0, state);
    } catch (const Exception& e) {
        throw Exception(std::string(e.what()) + "; File=" + ResolveFileName(path));
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
                LoadFromFile(file, true);
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
    if (TDVContext* parent = element->GetParentContext()) {
        const std::string prefix = element->GetName() + "::";
        for (const auto& tag : parent->Tags()) {
            const std::string& n = tag->Name();
            if (n.compare(0, prefix.size(), prefix) == 0 && n.find("::", prefix.size()) == std::string::npos)
                names.insert(n.substr(prefix.size()));
        }
    }
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
        Fail("Morphing: Invalid format in " + path);
    if (static_cast<std::int64_t>(to) - from > MaxElements)
        Fail("Morphing: range too large in " + path);
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
        Fail("Morphing: Invalid format in " + path);
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
    for (const TDVVarTag* entry : holder->Entries()) {
        std::int32_t n = 0;
        if (!IsCanonicalNumber(EntryID(entry), n))
            continue;
        lo = lo == 0 ? n : std::min(lo, n);
        hi = std::max(hi, n);
    }
    if (lo == 0)
        return;
    if (static_cast<std::int64_t>(hi) - lo > MaxElements)
        Fail("Morphing: range too large in " + path);
    FillHoles(this, path, type, lo, hi);
}

// ================================================================== writer

void TDVContext::SetBlockThreshold(int threshold) { g_blockThreshold = threshold; }

int TDVContext::BlockThreshold() { return g_blockThreshold; }

void TDVContext::SaveTagToStrings(const std::string& path, TStringList& lines)
{
    int index = 0;
    WriteTag(FindTagByPath(NormalizeLine(path), index, true, false), lines);
}

void TDVContext::SaveToStrings(TStringList& lines)
{
    const std::size_t n = tags_.size();
    for (std::size_t i = 0; i < n; ++i) {
        TDVVarTag* tag = tags_[i].get();
        if (tag->Name().find_first_of(":[") == std::string::npos)
            WriteTag(tag, lines);
    }
}

namespace {

// A string as the parser can read it back between double quotes on one line: the language has
// no escape, so a double quote becomes an apostrophe, and line breaks and TABs (which the
// parser would split or turn into blanks) become blanks.
std::string QuotedForWriting(const std::string& value)
{
    std::string out = "\"";
    for (char c : value) {
        if (c == '"')
            c = '\'';
        else if (c == '\r' || c == '\n' || c == '\t')
            c = ' ';
        out += c;
    }
    out += '"';
    return out;
}

std::string ElementText(TDVVarTag* tag, int i)
{
    return tag->Type() == vtString ? QuotedForWriting(*tag->String(i)) : tag->ValueToText(i);
}

// The IDs of one group in compact form: IDs that are not canonical numbers first, as they
// stand; then the numbers ascending, consecutive runs as "a-b".
std::string CompactIDs(const std::vector<std::string>& ids)
{
    std::vector<std::string> parts;
    std::vector<std::int32_t> numbers;
    for (const auto& id : ids) {
        std::int32_t n = 0;
        if (IsCanonicalNumber(id, n))
            numbers.push_back(n);
        else
            parts.push_back(id);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    for (std::size_t i = 0; i < numbers.size();) {
        std::size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1)
            ++j;
        parts.push_back(j == i ? IntToStr(numbers[i]) : IntToStr(numbers[i]) + "-" + IntToStr(numbers[j]));
        i = j + 1;
    }
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i)
            out += ',';
        out += parts[i];
    }
    return out;
}

void WriteElement(TDVContext* element, const std::string& prefix, TStringList& lines)
{
    TStringList inner;
    element->SaveToStrings(inner);
    if (inner.Count() < TDVContext::BlockThreshold()) {
        for (const auto& line : inner.Lines())
            lines.Add(prefix + "." + line);
        return;
    }
    lines.Add(prefix + " {");
    for (const auto& line : inner.Lines())
        lines.Add(TabText + line);
    lines.Add(TabText + "}");
}

} // namespace

void TDVContext::WriteTag(TDVVarTag* tag, TStringList& lines)
{
    const std::string& name = tag->Name();
    if (tag->Type() == vtContext) {
        if (tag->IsList()) {
            if (tag->Entries().empty()) {
                WriteElement(tag->Context(0), name, lines);
                return;
            }
            for (TDVVarTag* entry : tag->Entries())
                WriteElement(entry->Context(0), name + "[" + EntryID(entry) + "]", lines);
            return;
        }
        for (int i = 0; i < tag->Count(); ++i)
            WriteElement(tag->Context(i), tag->Count() == 1 ? name : name + "[" + IntToStr(i + 1) + "]", lines);
        return;
    }

    if (tag->IsList()) {
        const auto& entries = tag->Entries();
        std::vector<bool> done(entries.size(), false);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (done[i])
                continue;
            const std::string value = ElementText(entries[i], 0);
            std::vector<std::string> ids{EntryID(entries[i])};
            for (std::size_t j = i + 1; j < entries.size(); ++j) {
                if (!done[j] && ElementText(entries[j], 0) == value) {
                    done[j] = true;
                    ids.push_back(EntryID(entries[j]));
                }
            }
            lines.Add(name + "[" + CompactIDs(ids) + "]=" + value);
        }
        return;
    }

    const int count = tag->Count();
    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(count));
    std::size_t total = 0;
    for (int i = 0; i < count; ++i) {
        texts.push_back(ElementText(tag, i));
        total += texts.back().size() + (i ? 1 : 0);
    }
    if (count > 1 && total > 50) {
        for (int i = 0; i < count;) {
            int j = i;
            while (j + 1 < count && texts[static_cast<std::size_t>(j + 1)] == texts[static_cast<std::size_t>(i)])
                ++j;
            const std::string range = j == i ? IntToStr(i + 1) : IntToStr(i + 1) + "-" + IntToStr(j + 1);
            lines.Add(name + "[" + range + "]=" + texts[static_cast<std::size_t>(i)]);
            i = j + 1;
        }
        return;
    }
    std::string full;
    for (int i = 0; i < count; ++i) {
        if (i)
            full += ',';
        full += texts[static_cast<std::size_t>(i)];
    }
    lines.Add(name + "=" + full);
}
