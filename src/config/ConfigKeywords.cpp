#include "config/ConfigKeywords.h"

#include <string_view>

namespace {

// The tables with their lengths, so that a word of another length is refused at once.
constexpr std::string_view TypeWords[] = {"context", "integer", "float", "bool", "string", "endcontext", "pointer"};
constexpr std::string_view StatementWords[] = {"morph", "auto_morph", "include"};

// The lengths keywords have, as bits: every identifier of a line is tested, most of them are
// no keyword, and most of those are refused here without a comparison.
constexpr std::uint32_t LengthMask()
{
    std::uint32_t mask = 0;
    for (std::string_view w : TypeWords)
        mask |= 1u << w.size();
    for (std::string_view w : StatementWords)
        mask |= 1u << w.size();
    return mask;
}
constexpr std::uint32_t kKeywordLengths = LengthMask();

template <std::size_t N>
int Find(const std::string_view (&table)[N], const std::string& word)
{
    if (word.size() >= 32 || !(kKeywordLengths >> word.size() & 1u))
        return -1;
    for (std::size_t i = 0; i < N; ++i)
        if (word.size() == table[i].size() && word[0] == table[i][0] && word == table[i])
            return int(i);
    return -1;
}

} // namespace

ValType KeywordToValType(const std::string& word)
{
    const int i = Find(TypeWords, word);
    return i < 0 ? vtNone : ValType(i);
}

int StatementKeyword(const std::string& word) { return Find(StatementWords, word); }

const char* ReservedKeyword(const std::string& word)
{
    if (const int i = Find(TypeWords, word); i >= 0)
        return TypeKeywords[i];
    if (const int i = Find(StatementWords, word); i >= 0)
        return StatementKeywords[i];
    return nullptr;
}
