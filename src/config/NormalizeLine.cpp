#include "config/NormalizeLine.h"

namespace {
bool IsSeparator(char c)
{
    switch (c) {
    case ' ': case ',': case '.': case '-': case '[': case ']':
    case '(': case ')': case '=': case '{': case '}':
        return true;
    default:
        return false;
    }
}
} // namespace

std::string NormalizeLine(const std::string& line)
{
    std::string out;
    out.reserve(line.size());
    bool inQuotes = false;
    for (char c : line) {
        if (c == '\t')
            c = ' ';
        if (c == '"') {
            inQuotes = !inQuotes;
            out += c;
            continue;
        }
        if (inQuotes) {
            out += c;
            continue;
        }
        if (c == ';')
            break;
        if (c == ' ') {
            if (out.empty() || IsSeparator(out.back()))
                continue;
            out += c;
        } else if (IsSeparator(c)) {
            if (!out.empty() && out.back() == ' ')
                out.pop_back();
            out += c;
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}
