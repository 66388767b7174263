#include "config/TDVContext.h"

#include "config/NormalizeLine.h"
#include "config/TDVContextInternal.h"
#include "platform/system/TStringList.h"

#include <unordered_map>
#include <utility>
#include <vector>

using namespace tdv_detail;

namespace {

int g_blockThreshold = 3;

} // namespace

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
        // Groups in the order of their first entry, found by value: each entry's text is made once.
        std::vector<std::pair<std::string, std::vector<std::string>>> groups;
        std::unordered_map<std::string, std::size_t> groupOf;
        for (TDVVarTag* entry : tag->Entries()) {
            std::string value = ElementText(entry, 0);
            const auto [it, added] = groupOf.try_emplace(value, groups.size());
            if (added)
                groups.emplace_back(std::move(value), std::vector<std::string>());
            groups[it->second].second.push_back(EntryID(entry));
        }
        for (const auto& [value, ids] : groups)
            lines.Add(name + "[" + CompactIDs(ids) + "]=" + value);
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
