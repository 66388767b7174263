#include "config/TDVContext.h"

#include "config/NormalizeLine.h"
#include "config/TDVContextInternal.h"
#include "config/TIndxQueue.h"
#include "platform/system/TStringList.h"

#include <unordered_set>

using namespace tdv_detail;

namespace {

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

} // namespace

// ================================================================== key paths

TDVVarTag* TDVContext::FindTagByPath(const std::string& path, int& index, bool raise, bool create)
{
    auto fail = [&](const std::string& message) -> TDVVarTag* {
        if (raise)
            Fail(message);
        return nullptr;
    };
    // Walking a path is work in proportion to it: morphs and pointers walk theirs per element.
    LoadBudget::SpendBytes(static_cast<std::int64_t>(path.size()));
    TDVContext* ctx = this;
    std::size_t pos = 0;
    index = -1;
    for (;;) {
        std::size_t e = pos;
        while (e < path.size() && path[e] != '.' && path[e] != '[')
            ++e;
        const std::string_view ident = std::string_view(path).substr(pos, e - pos);
        if (ident.empty())
            return fail(" Ident expected");
        TDVVarTag* tag = ctx->FindTag(ident);
        if (!tag) {
            tag = ctx->FindIdent(std::string(ident));
            if (!tag)
                return fail(" Unknown ident '" + Quoted(ident) + "' in '" + Quoted(ctx->GetName()) + "'");
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
                return fail(" Symbol '.' not permited '" + Quoted(ident) + "' != context");
            TDVContext* next = nullptr;
            if (tag->IsList() && id != "*") {
                const std::string entryName = EntryName(tag->Name(), id);
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
            const std::string entryName = EntryName(tag->Name(), id);
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
            Fail(" Circular pointer reference '" + Quoted(current) + "'");
        LoadBudget::Spend(1);
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
        Fail("TDVContext::EnumListIDs: " + Quoted(path) + " not a list.");
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
