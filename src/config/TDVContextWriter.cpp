#include "config/TDVContext.h"

#include "config/NormalizeLine.h"
#include "config/TDVContextInternal.h"
#include "config/TextHash.h"
#include "platform/system/TStringList.h"

#include <initializer_list>
#include <string_view>
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

// The lines of a value tag (integer, float, bool, string, pointer) as the parts each is made of:
// the tag's name, then the IDs or the range of elements in brackets (none for a whole array on one
// line) and "=" and the value. The parts hold what the tag's values hold; the lines themselves,
// each as long as the name, are made by the writer one at a time, after it charged each.
class ValueLines {
public:
    explicit ValueLines(TDVVarTag* tag)
    {
        if (tag->IsList()) {
            // Groups in the order of their first entry, found by value: each entry's text is made once.
            std::vector<std::vector<std::string>> ids;
            std::unordered_map<std::string, std::size_t, TextHash> groupOf;
            for (TDVVarTag* entry : tag->Entries()) {
                std::string value = ElementText(entry, 0);
                const auto [it, added] = groupOf.try_emplace(value, values_.size());
                if (added) {
                    values_.push_back(std::move(value));
                    ids.emplace_back();
                }
                ids[it->second].push_back(EntryID(entry));
            }
            for (const auto& group : ids)
                ids_.push_back(CompactIDs(group));
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
                ids_.push_back(j == i ? IntToStr(i + 1) : IntToStr(i + 1) + "-" + IntToStr(j + 1));
                values_.push_back(std::move(texts[static_cast<std::size_t>(i)]));
                i = j + 1;
            }
            return;
        }
        std::string full;
        full.reserve(total);
        for (int i = 0; i < count; ++i) {
            if (i)
                full += ',';
            full += texts[static_cast<std::size_t>(i)];
        }
        values_.push_back(std::move(full));
    }

    [[nodiscard]] std::size_t Count() const { return values_.size(); }
    // False for a whole array written on one line.
    [[nodiscard]] bool Bracketed() const { return !ids_.empty(); }
    [[nodiscard]] const std::string& IDs(std::size_t line) const { return ids_[line]; }
    [[nodiscard]] const std::string& Value(std::size_t line) const { return values_[line]; }

private:
    std::vector<std::string> ids_;
    std::vector<std::string> values_;
};

bool IsPlain(const TDVVarTag* tag) { return tag->Name().find_first_of(":[") == std::string::npos; }

// Writes each line once, whole: what stands before a line (the "name." prefixes and the TABs of
// the blocks around it) grows and shrinks as one text while the tree is walked, instead of being
// added to every inner line again at every level. A context is written as prefixed lines or as a
// block by the number of lines its content gives; that number is counted first, once per context.
// An element that writes nothing is passed over before its name is made, and blocks deeper than
// MaxIndent stand at that indentation: the text costs what it holds, whatever the tree's depth or
// its names. Every line and name is charged to the budget of a load before it is made, so that
// nothing is written that a load would refuse for its size, and a text too large stops at the
// limit instead of being made whole first: a write costs what it writes, up to what a load may
// read. Counting a context's lines makes none of them; the parts it makes for a value tag are
// kept for its writing.
class TextWriter {
public:
    explicit TextWriter(TStringList& lines) : lines_(lines) {}

    void Tag(TDVVarTag* tag)
    {
        if (tag->Type() != vtContext) {
            const ValueLines& values = LinesOf(tag);
            for (std::size_t i = 0; i < values.Count(); ++i) {
                if (values.Bracketed())
                    Add({before_, tag->Name(), "[", values.IDs(i), "]=", values.Value(i)});
                else
                    Add({before_, tag->Name(), "=", values.Value(i)});
            }
            valueLines_.erase(tag);
            return;
        }
        ForEachElement(tag, [&](TDVContext* element, const TDVVarTag* entry, int number) {
            Element(tag, element, entry, number);
        });
    }

    void Context(TDVContext* context)
    {
        for (const auto& tag : context->Tags())
            if (IsPlain(tag.get()))
                Tag(tag.get());
    }

private:
    // The elements a context tag writes: a list's entries (f gets the entry) or its default
    // element when it has none, an array's elements (f gets the element number when there are
    // several), a single context.
    template <typename F>
    static void ForEachElement(TDVVarTag* tag, F&& f)
    {
        if (tag->IsList()) {
            if (tag->Entries().empty()) {
                f(tag->Context(0), nullptr, 0);
                return;
            }
            for (TDVVarTag* entry : tag->Entries())
                f(entry->Context(0), entry, 0);
            return;
        }
        for (int i = 0; i < tag->Count(); ++i)
            f(tag->Context(i), nullptr, tag->Count() == 1 ? 0 : i + 1);
    }

    // The number of lines the plain tags of context give.
    std::size_t Count(TDVContext* context)
    {
        if (const auto it = counts_.find(context); it != counts_.end())
            return it->second;
        std::size_t n = 0;
        for (const auto& tag : context->Tags()) {
            if (!IsPlain(tag.get()))
                continue;
            if (tag->Type() != vtContext) {
                n += LinesOf(tag.get()).Count();
                continue;
            }
            ForEachElement(tag.get(), [&](TDVContext* element, const TDVVarTag*, int) {
                const std::size_t inner = Count(element);
                n += IsBlock(inner) ? inner + 2 : inner;
            });
        }
        counts_.emplace(context, n);
        return n;
    }

    // The parts of a value tag's lines, made once: counting makes them, writing uses them up.
    const ValueLines& LinesOf(TDVVarTag* tag) { return valueLines_.try_emplace(tag, tag).first->second; }

    static bool IsBlock(std::size_t lines)
    {
        return static_cast<std::int64_t>(lines) >= static_cast<std::int64_t>(TDVContext::BlockThreshold());
    }

    void Element(TDVVarTag* tag, TDVContext* element, const TDVVarTag* entry, int number)
    {
        const std::size_t lines = Count(element);
        const bool block = IsBlock(lines);
        if (!block && lines == 0)
            return;
        const std::string id = entry ? EntryID(entry) : number > 0 ? IntToStr(number) : std::string();
        const std::string_view open = id.empty() ? "" : "[";
        const std::string_view close = id.empty() ? "" : "]";
        const std::size_t outer = before_.size();
        if (!block) {
            LoadBudget::SpendBytes(static_cast<std::int64_t>(tag->Name().size() + open.size() + id.size() + close.size() + 1));
            before_.append(tag->Name()).append(open).append(id).append(close).append(1, '.');
            Context(element);
        } else {
            Add({before_, tag->Name(), open, id, close, " {"});
            if (blockDepth_++ < TDVContext::MaxIndent)
                before_ += TabText;
            Context(element);
            Add({before_, "}"});
            --blockDepth_;
        }
        before_.resize(outer);
    }

    // Charges the line made of parts, and only then makes it.
    void Add(std::initializer_list<std::string_view> parts)
    {
        std::size_t size = 0;
        for (const std::string_view part : parts)
            size += part.size();
        LoadBudget::SpendLine();
        LoadBudget::SpendBytes(static_cast<std::int64_t>(size) + 2); // and its line break
        std::string line;
        line.reserve(size);
        for (const std::string_view part : parts)
            line.append(part);
        lines_.Add(std::move(line));
    }

    TStringList& lines_;
    std::string before_;
    int blockDepth_ = 0;
    std::unordered_map<const TDVContext*, std::size_t> counts_;
    std::unordered_map<const TDVVarTag*, ValueLines> valueLines_;
};

} // namespace

void TDVContext::SaveTagToStrings(const std::string& path, TStringList& lines)
{
    LoadBudget budget;
    int index = 0;
    WriteTag(FindTagByPath(NormalizeLine(path), index, true, false), lines);
}

void TDVContext::SaveToStrings(TStringList& lines)
{
    LoadBudget budget;
    TextWriter(lines).Context(this);
}

void TDVContext::WriteTag(TDVVarTag* tag, TStringList& lines)
{
    LoadBudget budget;
    TextWriter(lines).Tag(tag);
}
