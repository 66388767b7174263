// Fonts and text: cell placement, extents, background modes, quality, DrawText layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "GdiTestSurface.h"
#include "platform/drawing/Gdi.h"

namespace {

using gditest::Surface;

// Selects a font into a context for the life of the object.
struct UseFont {
    HDC dc;
    HFONT font;
    HGDIOBJ old;
    UseFont(HDC d, int height, const char* face = "Arial", int weight = FW_NORMAL, BYTE quality = ANTIALIASED_QUALITY)
        : dc(d), font(CreateFont(height, 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, quality, 0, face))
    {
        old = SelectObject(dc, font);
    }
    ~UseFont()
    {
        SelectObject(dc, old);
        DeleteObject(font);
    }
};

SIZE Extent(HDC dc, const std::string& text)
{
    SIZE s;
    GetTextExtentPoint32(dc, text.data(), int(text.size()), &s);
    return s;
}

TEST(GdiText, OpaqueTextFillsExactlyTheMeasuredCellAtTheGivenTopLeft)
{
    Surface s(120, 50);
    UseFont f(s.dc, -16);
    SetBkColor(s.dc, RGB(255, 0, 0));
    SetTextColor(s.dc, RGB(255, 255, 255));
    ASSERT_TRUE(TextOut(s.dc, 5, 7, "Hi there", -1));
    const SIZE size = Extent(s.dc, "Hi there");
    const RECT ink = s.Ink();
    EXPECT_EQ(ink.left, 5);
    EXPECT_EQ(ink.top, 7);
    EXPECT_EQ(ink.right, 5 + size.cx);
    EXPECT_EQ(ink.bottom, 7 + size.cy);
}

TEST(GdiText, TransparentTextLeavesTheBackgroundAndStaysInsideItsCell)
{
    Surface s(120, 50);
    UseFont f(s.dc, -16);
    SetBkMode(s.dc, TRANSPARENT);
    SetTextColor(s.dc, RGB(255, 255, 255));
    TextOut(s.dc, 10, 10, "Hg", 2);
    const SIZE size = Extent(s.dc, "Hg");
    const RECT ink = s.Ink();
    EXPECT_EQ(GetPixel(s.dc, 10, 10), RGB(0, 0, 0));
    EXPECT_GT(ink.top, 10);  // the cell's top is above the capitals
    EXPECT_LE(ink.bottom, 10 + size.cy);
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.right, 10 + size.cx + 1);
}

TEST(GdiText, ExtentWidthAddsUpAndHeightIsTheCell)
{
    Surface s(10, 10);
    UseFont f(s.dc, -16);
    const SIZE one = Extent(s.dc, "H");
    const SIZE two = Extent(s.dc, "HH");
    EXPECT_EQ(two.cx, 2 * one.cx);
    EXPECT_EQ(Extent(s.dc, "g").cy, one.cy);
    EXPECT_GE(one.cy, 17);  // a 16-pixel character height needs a taller cell
    EXPECT_LE(one.cy, 20);
    EXPECT_EQ(Extent(s.dc, "").cx, 0);
}

TEST(GdiText, PositiveHeightAsksForTheCellHeight)
{
    Surface s(10, 10);
    UseFont f(s.dc, 20);
    EXPECT_NEAR(Extent(s.dc, "H").cy, 20, 1);
}

TEST(GdiText, ArialMeasuresAsItsMetricTwin)
{
    Surface s(10, 10);
    SIZE arial, twin;
    {
        UseFont f(s.dc, -16, "Arial");
        arial = Extent(s.dc, "Riff trainer 123");
    }
    {
        UseFont f(s.dc, -16, "Liberation Sans");
        twin = Extent(s.dc, "Riff trainer 123");
    }
    EXPECT_EQ(arial.cx, twin.cx);
    EXPECT_EQ(arial.cy, twin.cy);
}

TEST(GdiText, BoldIsWiderThanRegular)
{
    Surface s(10, 10);
    LONG regular = 0, bold = 0;
    {
        UseFont f(s.dc, -16, "Arial", FW_NORMAL);
        regular = Extent(s.dc, "Wide words").cx;
    }
    {
        UseFont f(s.dc, -16, "Arial", FW_BOLD);
        bold = Extent(s.dc, "Wide words").cx;
    }
    EXPECT_GT(bold, regular);
}

std::set<COLORREF> ColoursAfterText(BYTE quality)
{
    Surface s(80, 30);
    UseFont f(s.dc, -16, "Arial", FW_NORMAL, quality);
    SetBkMode(s.dc, TRANSPARENT);
    SetTextColor(s.dc, RGB(255, 255, 255));
    TextOut(s.dc, 2, 2, "Sample", -1);
    std::set<COLORREF> colours;
    for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x)
            colours.insert(GetPixel(s.dc, x, y));
    return colours;
}

TEST(GdiText, AntialiasedQualityBlendsEdgesAndNonAntialiasedDoesNot)
{
    EXPECT_GT(ColoursAfterText(ANTIALIASED_QUALITY).size(), 2u);
    EXPECT_EQ(ColoursAfterText(NONANTIALIASED_QUALITY).size(), 2u);
}

TEST(GdiText, DrawTextCalcRectWrapsAtBlanks)
{
    Surface s(10, 10);
    UseFont f(s.dc, -16);
    const LONG line = Extent(s.dc, "x").cy;
    const LONG word = Extent(s.dc, "bbbb").cx;
    RECT r{10, 20, 10 + word + word / 2, 20};
    const int height = DrawText(s.dc, "aaaa bbbb cccc", -1, &r, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(height, 3 * line);
    EXPECT_EQ(r.bottom, 20 + 3 * line);
    EXPECT_EQ(r.right, 10 + std::max({Extent(s.dc, "aaaa").cx, word, Extent(s.dc, "cccc").cx}));
}

TEST(GdiText, DrawTextLineFeedsBreakLinesUnlessSingleLine)
{
    Surface s(10, 10);
    UseFont f(s.dc, -16);
    const LONG line = Extent(s.dc, "x").cy;
    RECT r{0, 0, 100, 0};
    EXPECT_EQ(DrawText(s.dc, "one\ntwo\r\nthree", -1, &r, DT_CALCRECT), 3 * line);
    r = RECT{0, 0, 100, 0};
    EXPECT_EQ(DrawText(s.dc, "one\ntwo", -1, &r, DT_CALCRECT | DT_SINGLELINE), line);
}

TEST(GdiText, DrawTextHidesPrefixAmpersandsUnlessNoPrefix)
{
    Surface s(10, 10);
    UseFont f(s.dc, -16);
    RECT r{0, 0, 0, 0};
    DrawText(s.dc, "a&b", -1, &r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(r.right, Extent(s.dc, "ab").cx);
    r = RECT{0, 0, 0, 0};
    DrawText(s.dc, "a&&b", -1, &r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(r.right, Extent(s.dc, "a&b").cx);
    r = RECT{0, 0, 0, 0};
    DrawText(s.dc, "a&b", -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(r.right, Extent(s.dc, "a&b").cx);
}

struct AlignCase {
    const char* name;
    UINT format;
    LONG expectedLeft;  // of the opaque cell, in a 200 x 60 rectangle at (0, 0)
    bool verticallyCentred;
};

class DrawTextAlignment : public ::testing::TestWithParam<AlignCase> {};

TEST_P(DrawTextAlignment, PlacesTheCellByTheFlags)
{
    Surface s(200, 60);
    UseFont f(s.dc, -16);
    SetBkColor(s.dc, RGB(0, 0, 255));
    const SIZE size = Extent(s.dc, "Mode");
    RECT r{0, 0, 200, 60};
    DrawText(s.dc, "Mode", -1, &r, GetParam().format | DT_SINGLELINE);
    const RECT ink = s.Ink();
    const LONG left = GetParam().expectedLeft == -1 ? (200 - size.cx) / 2
                      : GetParam().expectedLeft == -2 ? 200 - size.cx
                                                      : GetParam().expectedLeft;
    EXPECT_EQ(ink.left, left);
    EXPECT_EQ(ink.top, GetParam().verticallyCentred ? (60 - size.cy) / 2 : 0);
}

INSTANTIATE_TEST_SUITE_P(Flags, DrawTextAlignment,
                         ::testing::Values(AlignCase{"Left", DT_LEFT, 0, false},
                                           AlignCase{"Centre", DT_CENTER, -1, false},
                                           AlignCase{"Right", DT_RIGHT, -2, false},
                                           AlignCase{"CentreBothWays", DT_CENTER | DT_VCENTER, -1, true}),
                         [](const ::testing::TestParamInfo<AlignCase>& info) { return std::string(info.param.name); });

TEST(GdiText, DrawTextClipsToItsRectangleUnlessNoClip)
{
    Surface s(100, 40);
    UseFont f(s.dc, -16);
    SetBkColor(s.dc, RGB(0, 0, 255));
    RECT r{0, 0, 10, 40};
    DrawText(s.dc, "Clipped text", -1, &r, DT_SINGLELINE);
    EXPECT_EQ(s.Ink().right, 10);
    DrawText(s.dc, "Clipped text", -1, &r, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_GT(s.Ink().right, 10);
}

TEST(GdiText, ExtTextOutOpaqueFillsItsRectangleAndClips)
{
    Surface s(100, 40);
    UseFont f(s.dc, -16);
    SetBkColor(s.dc, RGB(0, 0, 255));
    SetTextColor(s.dc, RGB(255, 255, 255));
    const RECT r{5, 5, 30, 35};
    ExtTextOut(s.dc, 8, 8, ETO_OPAQUE | ETO_CLIPPED, &r, "Long text here", 14, nullptr);
    const RECT ink = s.Ink();
    EXPECT_EQ(ink.left, 5);
    EXPECT_EQ(ink.top, 5);
    EXPECT_EQ(ink.right, 30);
    EXPECT_EQ(ink.bottom, 35);
}

TEST(GdiText, LogicalFontReadsBackWithItsQuality)
{
    HFONT font = CreateFont(-13, 0, 0, 0, FW_BOLD, 1, 0, 0, DEFAULT_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, "Arial");
    LOGFONT lf;
    ASSERT_EQ(GetObject(font, sizeof lf, &lf), int(sizeof lf));
    EXPECT_EQ(lf.lfHeight, -13);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfItalic, 1);
    EXPECT_EQ(lf.lfQuality, ANTIALIASED_QUALITY);
    EXPECT_STREQ(lf.lfFaceName, "Arial");
    DeleteObject(font);
}

}  // namespace
