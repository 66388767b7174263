#include "config/NormalizeLine.h"

#include <cstring>

namespace {
// A table, since the test runs for every character of every line loaded.
struct Separators {
    bool is[256] = {};
    constexpr Separators()
    {
        for (unsigned char c : {' ', ',', '.', '-', '[', ']', '(', ')', '=', '{', '}'})
            is[c] = true;
    }
};
constexpr Separators kSeparators;

inline bool IsSeparator(char c) { return kSeparators.is[static_cast<unsigned char>(c)]; }

// Characters the loop below must look at one by one; runs of all others are copied as they are.
struct Specials {
    bool is[256] = {};
    constexpr Specials()
    {
        for (unsigned char c : {' ', ',', '.', '-', '[', ']', '(', ')', '=', '{', '}', '\t', '"', ';'})
            is[c] = true;
    }
};
constexpr Specials kSpecials;
} // namespace

std::string NormalizeLine(const std::string& line)
{
    std::string out;
    NormalizeLineInto(line, out);
    return out;
}

void NormalizeLineInto(std::string_view line, std::string& out)
{
    // Written through a pointer into storage of the line's size: the result is never longer.
    out.resize(line.size());
    char* const begin = out.data();
    char* o = begin;
    bool inQuotes = false;
    const char* p = line.data();
    const char* const end = p + line.size();
    while (p != end) {
        if (!kSpecials.is[static_cast<unsigned char>(*p)]) {
            // Identifiers, numbers and the text of strings: no blank to drop, nothing to convert.
            const char* q = p + 1;
            while (q != end && !kSpecials.is[static_cast<unsigned char>(*q)])
                ++q;
            std::memcpy(o, p, std::size_t(q - p));
            o += q - p;
            p = q;
            continue;
        }
        char c = *p++;
        if (c == '\t')
            c = ' ';
        if (c == '"') {
            inQuotes = !inQuotes;
            *o++ = c;
            continue;
        }
        if (inQuotes) {
            *o++ = c;
            continue;
        }
        if (c == ';')
            break;
        if (c == ' ') {
            if (o == begin || IsSeparator(o[-1]))
                continue;
            *o++ = c;
        } else if (IsSeparator(c)) {
            if (o != begin && o[-1] == ' ')
                --o;
            *o++ = c;
        } else {
            *o++ = c;
        }
    }
    while (o != begin && o[-1] == ' ')
        --o;
    out.resize(std::size_t(o - begin));
}
