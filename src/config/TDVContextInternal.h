#pragma once
// Helpers shared by the units of TDVContext (tree, key paths, parser, statements, writer); not
// for use outside src/config.
#include "config/LoadBudget.h"
#include "config/TDVContext.h"
#include "platform/system/Exception.h"
#include "platform/system/NumberText.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace tdv_detail {

inline bool IsDigits(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A positive decimal number written the one way the writer writes numbers ("7", never "07").
inline bool IsCanonicalNumber(const std::string& s, std::int32_t& value)
{
    if (!IsDigits(s) || s[0] == '0' || s.size() > 10)
        return false;
    return TryStrToInt(s, value) && value > 0;
}

// The name of the entry tag of list for id: "<list>[<id>]".
inline std::string EntryName(const std::string& list, std::string_view id)
{
    std::string name;
    name.reserve(list.size() + id.size() + 2);
    name.append(list).append(1, '[').append(id).append(1, ']');
    return name;
}

// The ID of a list entry tag named "<list>[<id>]".
inline std::string EntryID(const TDVVarTag* entry)
{
    const std::string& name = entry->Name();
    const auto open = name.find('[');
    if (open == std::string::npos || name.size() < open + 2)
        return {};
    return name.substr(open + 1, name.size() - open - 2);
}

// The keyword a name may not be, or null.
inline const char* ReservedWord(const std::string& name) { return ReservedKeyword(name); }

[[noreturn]] inline void Fail(const std::string& message) { throw Exception(message); }

// A text quoted by an error message (a line, a name, a value): its start, marked as cut when it
// is longer than a message should carry.
inline std::string Quoted(std::string_view text)
{
    constexpr std::size_t kMax = 200;
    if (text.size() <= kMax)
        return std::string(text);
    return std::string(text.substr(0, kMax)) + "...";
}

// A message taken into another one (a line's error, an included file's): its start and its end,
// where the file names and line numbers of nested loads stand, when it is long.
inline std::string CutMessage(std::string_view message)
{
    constexpr std::size_t kHead = 1536;
    constexpr std::size_t kTail = 512;
    if (message.size() <= kHead + kTail)
        return std::string(message);
    return std::string(message.substr(0, kHead)) + " ... " + std::string(message.substr(message.size() - kTail));
}

} // namespace tdv_detail

struct TDVContext::LoadState {
    TDVContext* pointerBase = nullptr;
    int scopeDepth = 0;
    tdv_detail::LoadBudget budget;
};
