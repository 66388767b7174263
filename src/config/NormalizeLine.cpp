#include "config/NormalizeLine.h"

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
    for (char c : line) {
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
