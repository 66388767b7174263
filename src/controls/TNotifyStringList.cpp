#include "controls/TNotifyStringList.h"

#include "platform/system/Exception.h"
#include "platform/system/TStringList.h"

void TNotifyStringList::Check(int index, int limit) const
{
    if (index < 0 || index >= limit)
        throw Exception("List index out of bounds (" + std::to_string(index) + ")");
}

void TNotifyStringList::Changed()
{
    if (OnChange)
        OnChange();
}

const std::string& TNotifyStringList::operator[](int index) const
{
    Check(index, Count());
    return lines_[size_t(index)];
}

void TNotifyStringList::Add(const std::string& line)
{
    lines_.push_back(line);
    Changed();
}

void TNotifyStringList::Insert(int index, const std::string& line)
{
    Check(index, Count() + 1);
    lines_.insert(lines_.begin() + index, line);
    Changed();
}

void TNotifyStringList::Delete(int index)
{
    Check(index, Count());
    lines_.erase(lines_.begin() + index);
    Changed();
}

void TNotifyStringList::Put(int index, const std::string& line)
{
    Check(index, Count());
    lines_[size_t(index)] = line;
    Changed();
}

void TNotifyStringList::Clear()
{
    lines_.clear();
    Changed();
}

void TNotifyStringList::Assign(const std::vector<std::string>& lines)
{
    lines_ = lines;
    Changed();
}

void TNotifyStringList::Assign(const TStringList& lines) { Assign(lines.Lines()); }

void TNotifyStringList::SetText(const std::string& text)
{
    TStringList parsed;
    parsed.SetText(text);
    Assign(parsed.Lines());
}
