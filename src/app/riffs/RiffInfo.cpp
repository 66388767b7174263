#include "app/riffs/RiffInfo.h"

#include <QString>

#include <charconv>
#include <cstdint>

RiffInfo::RiffInfo(const RiffInfo& other)
    : riff(other.riff), info1(other.info1), HotKey(other.HotKey), info2(other.info2), info3(other.info3),
      info4(other.info4), set(other.set)
{
    if (other.thumbnail) {
        thumbnail = std::make_unique<TBitmap>();
        thumbnail->Assign(other.thumbnail.get());
    }
}

RiffInfo& RiffInfo::operator=(const RiffInfo& other)
{
    if (this != &other) {
        RiffInfo copy(other);
        *this = std::move(copy);
    }
    return *this;
}

const std::string& RiffInfo::ColumnText(int column) const
{
    static const std::string none;
    switch (column) {
    case 0:
        return info1;
    case 1:
        return HotKey;
    case 2:
        return info2;
    case 3:
        return info3;
    case 4:
        return info4;
    default:
        return none;
    }
}

int RiffBarsValue(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    if (last - first >= 2 && *first == '+' && first[1] >= '0' && first[1] <= '9')
        ++first;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last)
        return 0;
    return value;
}

int CompareRiffRows(const RiffInfo& a, const RiffInfo& b, int column)
{
    if (column >= 0 && column <= 3) {
        const std::string& x = a.ColumnText(column);
        const std::string& y = b.ColumnText(column);
        return QString::localeAwareCompare(QString::fromLatin1(x.data(), qsizetype(x.size())),
                                           QString::fromLatin1(y.data(), qsizetype(y.size())));
    }
    if (column == 4) {
        // Compared, not subtracted: the difference of two large values overflows.
        const int x = RiffBarsValue(a.info4);
        const int y = RiffBarsValue(b.info4);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    return 0;
}
