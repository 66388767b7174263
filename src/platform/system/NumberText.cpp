#include "platform/system/NumberText.h"

#include "platform/system/Exception.h"

#include <charconv>
#include <cmath>
#include <limits>

std::string IntToStr(std::int64_t value)
{
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

bool TryStrToInt(const std::string& text, std::int32_t& value)
{
    const char* p = text.data();
    const char* end = p + text.size();
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    int base = 10;
    if (p < end && *p == '$') {
        base = 16;
        ++p;
    } else if (end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    }
    if (p == end || *p == '+' || *p == '-')
        return false;
    std::uint64_t magnitude = 0;
    auto res = std::from_chars(p, end, magnitude, base);
    if (res.ec != std::errc() || res.ptr != end)
        return false;
    // Hexadecimal text may spell the bit pattern of a negative number ($FFFFFFFF), as colour
    // values in settings commonly do.
    const std::uint64_t limit = base == 16 && !negative
                                    ? 0xFFFFFFFFull
                                    : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    if (magnitude > limit)
        return false;
    if (negative)
        value = static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
    else
        value = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
    return true;
}

std::int32_t StrToInt(const std::string& text)
{
    std::int32_t value = 0;
    if (!TryStrToInt(text, value))
        throw Exception("'" + text + "' is not a valid integer value");
    return value;
}

bool TryStrToFloat(const std::string& text, float& value)
{
    const char* p = text.data();
    const char* end = p + text.size();
    if (p < end && *p == '+')
        ++p;
    if (p == end || *p == '+')
        return false;
    // from_chars also takes "inf" and "nan"; a settings value never means those.
    for (const char* q = p; q < end; ++q) {
        const char c = *q;
        if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+'))
            return false;
    }
    float v = 0;
    auto res = std::from_chars(p, end, v, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != end || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

float StrToFloat(const std::string& text)
{
    float value = 0;
    if (!TryStrToFloat(text, value))
        throw Exception("'" + text + "' is not a valid floating point value");
    return value;
}

std::string FloatToStr(float value)
{
    if (value == 0 || !std::isfinite(value)) {
        if (std::isnan(value))
            return "NAN";
        if (std::isinf(value))
            return value > 0 ? "INF" : "-INF";
        return "0";
    }
    // Scientific text with 7 significant digits gives the rounded digits and the exponent
    // after rounding (9999999.5 becomes 1.000000e+07).
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 6);
    std::string sci(buf, res.ptr);
    const bool negative = sci[0] == '-';
    if (negative)
        sci.erase(0, 1);
    const auto ePos = sci.find('e');
    std::string digits;
    for (std::size_t i = 0; i < ePos; ++i)
        if (sci[i] != '.')
            digits += sci[i];
    int exponent = 0;
    std::from_chars(sci.data() + ePos + 1 + (sci[ePos + 1] == '+' ? 1 : 0), sci.data() + sci.size(), exponent);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent >= -5 && exponent < 7) {
        if (exponent < 0) {
            out += "0.";
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out += digits;
        } else {
            const std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() <= intDigits) {
                out += digits;
                out.append(intDigits - digits.size(), '0');
            } else {
                out += digits.substr(0, intDigits);
                out += '.';
                out += digits.substr(intDigits);
            }
        }
    } else {
        out += digits.substr(0, 1);
        if (digits.size() > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += 'E';
        out += IntToStr(exponent);
    }
    return out;
}
