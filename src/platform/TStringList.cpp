#include "platform/TStringList.h"

#include "platform/Exception.h"
#include "platform/LinuxFileNames.h"
#include "platform/NumberText.h"

#include <algorithm>
#include <cstring>
#include <fstream>
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

void TStringList::SplitLines(std::string_view text, std::vector<std::string_view>& lines)
{
    lines.clear();
    lines.reserve(std::size_t(std::count(text.begin(), text.end(), '\n')) + 1);
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* start = begin;
    // The next LF at or after start (end when there is none), kept across lines that end in a
    // lone CR so that a file of CR breaks is not searched again for each line.
    const char* lf = nullptr;
    while (start < end) {
        if (!lf || lf < start) {
            lf = static_cast<const char*>(std::memchr(start, '\n', std::size_t(end - start)));
            if (!lf)
                lf = end;
        }
        const char* cr = static_cast<const char*>(std::memchr(start, '\r', std::size_t(lf - start)));
        const char* stop = cr ? cr : lf;
        lines.emplace_back(start, std::size_t(stop - start));
        if (stop == end)
            break;
        start = cr && cr + 1 < end && cr[1] == '\n' ? cr + 2 : stop + 1;
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
    std::ifstream in(ResolveFileName(fileName), std::ios::binary | std::ios::ate);
    if (!in)
        throw Exception("Cannot open file \"" + fileName + "\"");
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
        throw Exception("Cannot open file \"" + fileName + "\"");
    return text;
}

void TStringList::LoadFromFile(const std::string& fileName)
{
    SetText(ReadFile(fileName));
}

void TStringList::SaveToFile(const std::string& fileName) const
{
    std::ofstream out(ResolveFileName(fileName), std::ios::binary | std::ios::trunc);
    if (!out)
        throw Exception("Cannot create file \"" + fileName + "\"");
    const std::string text = Text();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (!out)
        throw Exception("Cannot create file \"" + fileName + "\"");
}
