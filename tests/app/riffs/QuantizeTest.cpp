// The quantised start of a riff: offsets to the nearer subdivision boundary of the groove's bar.
#include "app/riffs/RiffQuantize.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct QuantizeCase {
    const char* what;
    std::int32_t grooveMs;
    std::int32_t barLengthMs;
    std::int32_t quantizeMode;
    std::int32_t offset;
};

void PrintTo(const QuantizeCase& c, std::ostream* os) { *os << c.what; }

class RiffQuantizeOffsetTable : public ::testing::TestWithParam<QuantizeCase> {};

TEST_P(RiffQuantizeOffsetTable, GivesTheNearerBoundary)
{
    const QuantizeCase& c = GetParam();
    EXPECT_EQ(RiffQuantizeOffset(c.grooveMs, c.barLengthMs, c.quantizeMode), c.offset) << c.what;
}

// Groove of 8000 ms in 4 bars: bar 2000 ms; mode 2 cuts it into steps of 500 ms.
INSTANTIATE_TEST_SUITE_P(
    Quantize, RiffQuantizeOffsetTable,
    ::testing::Values(
        QuantizeCase{"past boundary nearer: skip 200 ms into the riff", 2200, 2000, 2, -200},
        QuantizeCase{"next boundary nearer: wait 200 ms", 2300, 2000, 2, 200},
        QuantizeCase{"tie goes to the later boundary", 2250, 2000, 2, 250},
        QuantizeCase{"on a boundary: at once", 2500, 2000, 2, 0},
        QuantizeCase{"start of the groove", 0, 2000, 2, 0},
        QuantizeCase{"last step of a bar reaches the next bar", 3900, 2000, 2, 100},
        QuantizeCase{"mode 0: whole bars, start of the bar nearer", 2900, 2000, 0, -900},
        QuantizeCase{"mode 0: whole bars, next bar nearer", 3001, 2000, 0, 999},
        QuantizeCase{"mode 4: sixteenths of 125 ms", 2070, 2000, 4, 55},
        QuantizeCase{"mode 4: just before the middle of a step", 2062, 2000, 4, -62},
        QuantizeCase{"mode 5 switches quantising off", 2200, 2000, 5, 0},
        QuantizeCase{"negative mode is off", 2200, 2000, -1, 0},
        QuantizeCase{"bar length 0 starts at once", 2200, 0, 2, 0},
        QuantizeCase{"bar shorter than the steps starts at once", 2, 3, 2, 0}),
    [](const ::testing::TestParamInfo<QuantizeCase>& info) { return "Case" + std::to_string(info.index); });

TEST(QuantizeBarLength, TruncatesAndGuardsZeroSize)
{
    EXPECT_EQ(GrooveBarLength(8000.0, 4), 2000);
    EXPECT_EQ(GrooveBarLength(8001.9, 4), 2000);
    EXPECT_EQ(GrooveBarLength(8000.0, 0), 0);
    EXPECT_EQ(GrooveBarLength(8000.0, -2), 0);
    EXPECT_EQ(GrooveBarLength(0.0, 4), 0);
}

} // namespace
