#include "platform/TStringList.h"

#include "platform/Exception.h"
#include "platform/LinuxFileNames.h"
#include "platform/NumberText.h"

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

void TStringList::SetText(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    lines_ = std::move(lines);
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

void TStringList::LoadFromFile(const std::string& fileName)
{
    const std::string resolved = ResolveFileName(fileName);
    std::ifstream in(resolved, std::ios::binary);
    if (!in)
        throw Exception("Cannot open file \"" + resolved + "\"");
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad())
        throw Exception("Cannot open file \"" + resolved + "\"");
    SetText(buffer.str());
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
