#include "platform/system/Exception.h"
#include "platform/system/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(NumberText, FloatsInGeneralFormatWithSevenDigits)
{
    const std::pair<float, const char*> cases[] = {
        {0.5f, "0.5"},          {120.0f, "120"},          {0.0f, "0"},
        {-0.0f, "0"},           {1.0f / 3.0f, "0.3333333"}, {-2.25f, "-2.25"},
        {1234567.0f, "1234567"}, {12345678.0f, "1.234568E7"}, {0.00001f, "0.00001"},
        {0.000001f, "1E-6"},    {0.0000015f, "1.5E-6"},   {1e20f, "1E20"},
        {9999999.5f, "1E7"},    {3.14159265f, "3.141593"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(FloatToStr(value), text) << value;
}

TEST(NumberText, FloatTextReadsBack)
{
    for (float v : {0.1f, 1e-7f, 3.4e38f, -123.456f, 7.0f, 1.17549435e-38f})
        EXPECT_NEAR(StrToFloat(FloatToStr(v)), v, std::fabs(v) * 1e-6f) << v;
}

TEST(NumberText, StrictIntegerConversion)
{
    const std::pair<const char*, std::int32_t> good[] = {
        {"0", 0}, {"-17", -17}, {"+5", 5}, {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1},
        {"$FF", 255}, {"0x10", 16}, {"$FFFFFFFF", -1},
    };
    for (const auto& [text, value] : good)
        EXPECT_EQ(StrToInt(text), value) << text;
    for (const char* bad : {"", "1.5", " 1", "1 ", "abc", "2147483648", "--1", "0x", "$", "1e3", "+-1"}) {
        try {
            (void)StrToInt(bad);
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' is not a valid integer value");
        }
    }
}

TEST(NumberText, StrictFloatConversion)
{
    EXPECT_FLOAT_EQ(StrToFloat("1.5"), 1.5f);
    EXPECT_FLOAT_EQ(StrToFloat("+.5"), 0.5f);
    EXPECT_FLOAT_EQ(StrToFloat("-2E3"), -2000.0f);
    for (const char* bad : {"", "1,5", "inf", "nan", "1e99", "abc", "1.5x", "++1"}) {
        try {
            (void)StrToFloat(bad);
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' is not a valid floating point value");
        }
    }
}
