#pragma once
// Number text as the configuration files and every other text of the program write it: decimal
// integers and floats with a point, whatever the C or Qt locale says. Never touches the process
// locale. Any thread.
#include <cstdint>
#include <string>

// Decimal text of an integer.
[[nodiscard]] std::string IntToStr(std::int64_t value);

// Strict integer conversion: optional sign, decimal digits, or hexadecimal with a "$" or "0x"
// prefix; nothing else, and the value must fit in 32 bits. Throws Exception
// "'<text>' is not a valid integer value" otherwise.
[[nodiscard]] std::int32_t StrToInt(const std::string& text);
[[nodiscard]] bool TryStrToInt(const std::string& text, std::int32_t& value);

// Float conversion with '.' as the decimal point and an optional exponent. Throws Exception
// "'<text>' is not a valid floating point value" for anything else (also infinities, NaN and
// values out of the float range).
[[nodiscard]] float StrToFloat(const std::string& text);
[[nodiscard]] bool TryStrToFloat(const std::string& text, float& value);

// General format with 7 significant digits: the shortest text, trailing zeros and an unneeded
// point dropped; fixed notation when 0.00001 <= |v| and it has at most 7 integer digits, else
// scientific ("1.5E-6", "1E20"). StrToFloat reads every text it makes.
[[nodiscard]] std::string FloatToStr(float value);
