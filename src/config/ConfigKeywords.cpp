#include "config/ConfigKeywords.h"

#include <bit>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace {

// The tables with their lengths, so that a word of another length is refused at once.
constexpr std::string_view TypeWords[] = {"context", "integer", "float", "bool", "string", "endcontext", "pointer"};
constexpr std::string_view StatementWords[] = {"morph", "auto_morph", "include"};
// Both tables in one, for the test of reserved names: the type words, then the statement words.
constexpr std::string_view AllWords[] = {"context", "integer", "float", "bool", "string",
                                         "endcontext", "pointer", "morph", "auto_morph", "include"};
constexpr std::size_t kTypeWordCount = std::size(TypeWords);

// For each length, the words of a table that have it, as bits: every identifier of a line is
// tested, most of them are no keyword, and most of those are refused here without a comparison;
// the others are compared with the one to three words of their length.
template <std::size_t N>
struct ByLength {
    std::uint32_t words[32] = {};
    constexpr explicit ByLength(const std::string_view (&table)[N])
    {
        for (std::size_t i = 0; i < N; ++i)
            words[table[i].size()] |= 1u << i;
    }
};
constexpr ByLength kTypeWords(TypeWords);
constexpr ByLength kStatementWords(StatementWords);
constexpr ByLength kAllWords(AllWords);

template <std::size_t N>
int Find(const std::string_view (&table)[N], const ByLength<N>& byLength, const std::string& word)
{
    if (word.size() >= 32)
        return -1;
    for (std::uint32_t m = byLength.words[word.size()]; m != 0; m &= m - 1) {
        const int i = std::countr_zero(m);
        if (word[0] == table[i][0] && std::string_view(word) == table[i])
            return i;
    }
    return -1;
}

} // namespace

ValType KeywordToValType(const std::string& word)
{
    const int i = Find(TypeWords, kTypeWords, word);
    return i < 0 ? vtNone : ValType(i);
}

int StatementKeyword(const std::string& word) { return Find(StatementWords, kStatementWords, word); }

const char* ReservedKeyword(const std::string& word)
{
    const int i = Find(AllWords, kAllWords, word);
    if (i < 0)
        return nullptr;
    return std::size_t(i) < kTypeWordCount ? TypeKeywords[i] : StatementKeywords[std::size_t(i) - kTypeWordCount];
}
