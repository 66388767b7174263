#include "platform/system/TStringList.h"

#include "platform/system/Exception.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/system/NumberText.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <iterator>
#include <sstream>

const std::string& TStringList::operator[](int index) const
{
    if (index < 0 || index >= Count())
        throw Exception("List index out of bounds (" + IntToStr(index) + ")");
    return lines_[static_cast<std::size_t>(index)];
}

std::string& TStringList::operator[](int index)
{
    if (index < 0 || index >= Count())
        throw Exception("List index out of bounds (" + IntToStr(index) + ")");
    return lines_[static_cast<std::size_t>(index)];
}

namespace {

// The first CR or LF in [p, end), or end.
const char* NextBreak(const char* p, const char* end)
{
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (hits)
            return p + __builtin_ctz(unsigned(hits));
    }
#endif
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

} // namespace

void TStringList::SplitLines(std::string_view text, std::vector<std::string_view>& lines)
{
    lines.clear();
    lines.reserve(std::size_t(std::count(text.begin(), text.end(), '\n')) + 1);
    const char* const end = text.data() + text.size();
    const char* start = text.data();
    while (start < end) {
        const char* stop = NextBreak(start, end);
        lines.emplace_back(start, std::size_t(stop - start));
        if (stop == end)
            break;
        start = *stop == '\r' && stop + 1 < end && stop[1] == '\n' ? stop + 2 : stop + 1;
    }
}

void TStringList::SetText(const std::string& text)
{
    std::vector<std::string_view> views;
    SplitLines(text, views);
    lines_.assign(views.begin(), views.end());
}

std::string TStringList::Text() const
{
    std::string out;
    for (const auto& line : lines_) {
        out += line;
        out += "\r\n";
    }
    return out;
}

std::string TStringList::ReadFile(const std::string& fileName)
{
    const std::string resolved = ResolveFileName(fileName);
    std::ifstream in(resolved, std::ios::binary | std::ios::ate);
    if (!in)
        throw Exception("Cannot open file \"" + resolved + "\"");
    // One allocation of the file's size where it has one; a stream without a size is read on.
    std::string text;
    const std::streamoff size = in.tellg();
    in.seekg(0);
    if (size > 0) {
        text.resize(std::size_t(size));
        in.read(text.data(), size);
        text.resize(std::size_t(in.gcount()));
    }
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0)
        text.append(chunk, std::size_t(in.gcount()));
    if (in.bad())
        throw Exception("Cannot open file \"" + resolved + "\"");
    return text;
}

void TStringList::LoadFromFile(const std::string& fileName)
{
    SetText(ReadFile(fileName));
}

void TStringList::SaveToFile(const std::string& fileName) const
{
    const std::string resolved = ResolveFileName(fileName);
    std::ofstream out(resolved, std::ios::binary | std::ios::trunc);
    if (!out)
        throw Exception("Cannot create file \"" + resolved + "\"");
    const std::string text = Text();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (!out)
        throw Exception("Cannot create file \"" + resolved + "\"");
}
