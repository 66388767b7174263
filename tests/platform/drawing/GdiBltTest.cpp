// Block transfers: raster operations, colour/monochrome conversion, stretching, keying, overlap.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "platform/drawing/Gdi.h"

namespace {

// A memory device context holding a bitmap of its own; frees both.
struct Surface {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;

    Surface(int w, int h, COLORREF fill, bool mono = false)
    {
        dc = CreateCompatibleDC(nullptr);
        bitmap = mono ? CreateBitmap(w, h, 1, 1, nullptr) : CreateCompatibleBitmap(nullptr, w, h);
        previous = SelectObject(dc, bitmap);
        HBRUSH brush = CreateSolidBrush(fill);
        const RECT all{0, 0, w, h};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    ~Surface()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    [[nodiscard]] COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
};

constexpr COLORREF kS = RGB(0x0F, 0x33, 0xF0);
constexpr COLORREF kD = RGB(0x55, 0xAA, 0x3C);
constexpr COLORREF kP = RGB(0x99, 0x0F, 0xC3);

struct RopCase {
    const char* name;
    DWORD rop;
    COLORREF expected;
};

class RasterOperation : public ::testing::TestWithParam<RopCase> {};

TEST_P(RasterOperation, CombinesSourceDestinationAndPatternBitwise)
{
    const RopCase& c = GetParam();
    Surface src(2, 2, kS);
    Surface dst(2, 2, kD);
    HBRUSH brush = CreateSolidBrush(kP);
    HGDIOBJ old = SelectObject(dst.dc, brush);
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 2, 2, src.dc, 0, 0, c.rop));
    EXPECT_EQ(dst.At(1, 1), c.expected) << c.name;
    SelectObject(dst.dc, old);
    DeleteObject(brush);
}

INSTANTIATE_TEST_SUITE_P(
    TruthTable, RasterOperation,
    ::testing::Values(RopCase{"SRCCOPY", SRCCOPY, kS}, RopCase{"SRCINVERT", SRCINVERT, kS ^ kD},
                      RopCase{"SRCAND", SRCAND, kS & kD}, RopCase{"SRCPAINT", SRCPAINT, kS | kD},
                      RopCase{"NOTSRCCOPY", NOTSRCCOPY, ~kS & 0xFFFFFF},
                      RopCase{"SRCERASE", SRCERASE, kS & ~kD & 0xFFFFFF},
                      RopCase{"NOTSRCERASE", NOTSRCERASE, ~(kS | kD) & 0xFFFFFF},
                      RopCase{"MERGEPAINT", MERGEPAINT, (~kS | kD) & 0xFFFFFF},
                      RopCase{"MERGECOPY", MERGECOPY, kP & kS}, RopCase{"PATCOPY", PATCOPY, kP},
                      RopCase{"PATINVERT", PATINVERT, kP ^ kD}, RopCase{"DSTINVERT", DSTINVERT, ~kD & 0xFFFFFF},
                      RopCase{"BLACKNESS", BLACKNESS, 0}, RopCase{"WHITENESS", WHITENESS, 0xFFFFFF},
                      // PATPAINT: P | ~S | D, reached through the general minterm evaluation.
                      RopCase{"PATPAINT", PATPAINT, (kP | ~kS | kD) & 0xFFFFFF}),
    [](const ::testing::TestParamInfo<RopCase>& info) { return std::string(info.param.name); });

TEST(GdiBlt, ColourToMonochromeIsOneWhereSourceEqualsItsBackground)
{
    Surface src(2, 1, RGB(255, 0, 0));
    SetPixel(src.dc, 1, 0, RGB(0, 0, 255));
    Surface mask(2, 1, 0, true);
    SetBkColor(src.dc, RGB(255, 0, 0));
    SetBkColor(mask.dc, RGB(9, 9, 9));  // the destination's colours play no part
    SetTextColor(mask.dc, RGB(7, 7, 7));
    ASSERT_TRUE(BitBlt(mask.dc, 0, 0, 2, 1, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(mask.At(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(mask.At(1, 0), RGB(0, 0, 0));
}

TEST(GdiBlt, MonochromeToColourUsesDestinationTextAndBackground)
{
    Surface mask(2, 1, RGB(0, 0, 0), true);
    SetPixel(mask.dc, 1, 0, RGB(255, 255, 255));
    SetBkColor(mask.dc, RGB(1, 1, 1));  // the source's colours play no part
    SetTextColor(mask.dc, RGB(2, 2, 2));
    Surface dst(2, 1, RGB(50, 50, 50));
    SetTextColor(dst.dc, RGB(10, 20, 30));
    SetBkColor(dst.dc, RGB(200, 210, 220));
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 2, 1, mask.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.At(0, 0), RGB(10, 20, 30));
    EXPECT_EQ(dst.At(1, 0), RGB(200, 210, 220));
}

TEST(GdiBlt, MaskSequenceKeysOutColourWithBlackTextAndWhiteBackground)
{
    // Image XOR, mask AND, image XOR: the classic keyed copy, exact only with text black and
    // background white on the destination.
    Surface image(3, 1, RGB(0, 255, 0));
    SetPixel(image.dc, 1, 0, RGB(255, 0, 255));  // key colour
    Surface mask(3, 1, 0, true);
    SetBkColor(image.dc, RGB(255, 0, 255));
    BitBlt(mask.dc, 0, 0, 3, 1, image.dc, 0, 0, SRCCOPY);
    Surface dst(3, 1, RGB(17, 34, 51));
    SetTextColor(dst.dc, RGB(0, 0, 0));
    SetBkColor(dst.dc, RGB(255, 255, 255));
    BitBlt(dst.dc, 0, 0, 3, 1, image.dc, 0, 0, SRCINVERT);
    BitBlt(dst.dc, 0, 0, 3, 1, mask.dc, 0, 0, SRCAND);
    BitBlt(dst.dc, 0, 0, 3, 1, image.dc, 0, 0, SRCINVERT);
    EXPECT_EQ(dst.At(0, 0), RGB(0, 255, 0));
    EXPECT_EQ(dst.At(1, 0), RGB(17, 34, 51));
    EXPECT_EQ(dst.At(2, 0), RGB(0, 255, 0));
}

TEST(GdiBlt, OverlappingCopyWithinOneBitmapReadsSourceFirst)
{
    Surface s(4, 1, 0);
    for (int x = 0; x < 4; ++x)
        SetPixel(s.dc, x, 0, RGB(x * 10, 0, 0));
    ASSERT_TRUE(BitBlt(s.dc, 1, 0, 3, 1, s.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(s.At(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(s.At(1, 0), RGB(0, 0, 0));
    EXPECT_EQ(s.At(2, 0), RGB(10, 0, 0));
    EXPECT_EQ(s.At(3, 0), RGB(20, 0, 0));
}

TEST(GdiBlt, PixelsWhoseSourceLiesOutsideTheSourceBitmapStayUnchanged)
{
    Surface src(2, 2, RGB(1, 2, 3));
    Surface dst(4, 4, RGB(9, 9, 9));
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 4, 4, src.dc, -1, -1, SRCCOPY));
    EXPECT_EQ(dst.At(0, 0), RGB(9, 9, 9));
    EXPECT_EQ(dst.At(1, 1), RGB(1, 2, 3));
    EXPECT_EQ(dst.At(2, 2), RGB(1, 2, 3));
    EXPECT_EQ(dst.At(3, 3), RGB(9, 9, 9));
}

TEST(GdiBlt, DestinationOutsideBitmapIsClippedNotAnError)
{
    Surface src(8, 8, RGB(1, 2, 3));
    Surface dst(4, 4, RGB(9, 9, 9));
    EXPECT_TRUE(BitBlt(dst.dc, 2, 2, 8, 8, src.dc, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(dst.dc, -100000000, 2000000000, 2000000000, 2000000000, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.At(3, 3), RGB(1, 2, 3));
    EXPECT_EQ(dst.At(1, 1), RGB(9, 9, 9));
    // Far-flung coordinates whose span still covers the bitmap.
    EXPECT_TRUE(BitBlt(dst.dc, -1000000000, 0, 2000000000, 4, src.dc, -1000000000, 0, SRCCOPY));
    EXPECT_EQ(dst.At(1, 1), RGB(1, 2, 3));
    Surface red(1, 1, RGB(255, 0, 0));
    EXPECT_TRUE(StretchBlt(dst.dc, -1000000000, 0, 2000000000, 4, red.dc, 0, 0, 1, 1, SRCCOPY));
    EXPECT_EQ(dst.At(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(dst.At(3, 3), RGB(255, 0, 0));
}

TEST(GdiBlt, RefusesMissingSourceAndUnknownHandles)
{
    Surface dst(2, 2, 0);
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 2, 2, nullptr, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 2, 2, nullptr, 0, 0, WHITENESS));
    EXPECT_EQ(dst.At(0, 0), RGB(255, 255, 255));
    HDC gone = CreateCompatibleDC(nullptr);
    DeleteDC(gone);
    EXPECT_FALSE(BitBlt(gone, 0, 0, 1, 1, dst.dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 1, 1, gone, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(gone, 0, 0), CLR_INVALID);
}

struct StretchCase {
    const char* name;
    int mode;
    COLORREF expected;
};

class ShrinkByStretchMode : public ::testing::TestWithParam<StretchCase> {};

TEST_P(ShrinkByStretchMode, CombinesDroppedPixelsByMode)
{
    // Two source pixels become one: 0x202020 and 0xE0E0E0.
    Surface src(2, 1, RGB(0x20, 0x60, 0x20));
    SetPixel(src.dc, 1, 0, RGB(0xE0, 0xA0, 0xE1));
    Surface dst(1, 1, 0);
    SetStretchBltMode(dst.dc, GetParam().mode);
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(dst.At(0, 0), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ShrinkByStretchMode,
    ::testing::Values(StretchCase{"BlackOnWhiteAnds", BLACKONWHITE, RGB(0x20 & 0xE0, 0x60 & 0xA0, 0x20 & 0xE1)},
                      StretchCase{"WhiteOnBlackOrs", WHITEONBLACK, RGB(0x20 | 0xE0, 0x60 | 0xA0, 0x20 | 0xE1)},
                      StretchCase{"ColorOnColorKeepsOne", COLORONCOLOR, RGB(0xE0, 0xA0, 0xE1)},
                      StretchCase{"HalftoneAverages", HALFTONE, RGB(0x80, 0x80, 0x81)}),
    [](const ::testing::TestParamInfo<StretchCase>& info) { return std::string(info.param.name); });

TEST(GdiBlt, StretchEnlargesByRepeatingAndMirrorsWithNegativeWidth)
{
    Surface src(2, 1, RGB(10, 0, 0));
    SetPixel(src.dc, 1, 0, RGB(20, 0, 0));
    Surface dst(4, 1, 0);
    SetStretchBltMode(dst.dc, COLORONCOLOR);
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 1, src.dc, 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(dst.At(0, 0), RGB(10, 0, 0));
    EXPECT_EQ(dst.At(1, 0), RGB(10, 0, 0));
    EXPECT_EQ(dst.At(2, 0), RGB(20, 0, 0));
    EXPECT_EQ(dst.At(3, 0), RGB(20, 0, 0));
    ASSERT_TRUE(StretchBlt(dst.dc, 1, 0, -2, 1, src.dc, 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(dst.At(0, 0), RGB(20, 0, 0));
    EXPECT_EQ(dst.At(1, 0), RGB(10, 0, 0));
}

TEST(GdiBlt, TransparentBltLeavesOutTheKeyColour)
{
    Surface src(3, 1, RGB(1, 2, 3));
    SetPixel(src.dc, 1, 0, RGB(255, 0, 255));
    Surface dst(3, 1, RGB(9, 9, 9));
    ASSERT_TRUE(TransparentBlt(dst.dc, 0, 0, 3, 1, src.dc, 0, 0, 3, 1, RGB(255, 0, 255)));
    EXPECT_EQ(dst.At(0, 0), RGB(1, 2, 3));
    EXPECT_EQ(dst.At(1, 0), RGB(9, 9, 9));
    EXPECT_EQ(dst.At(2, 0), RGB(1, 2, 3));
}

TEST(GdiBlt, TransparentBltStretchesAndRefusesNegativeSizes)
{
    Surface src(2, 1, RGB(255, 0, 255));
    SetPixel(src.dc, 1, 0, RGB(5, 5, 5));
    Surface dst(4, 1, RGB(9, 9, 9));
    ASSERT_TRUE(TransparentBlt(dst.dc, 0, 0, 4, 1, src.dc, 0, 0, 2, 1, RGB(255, 0, 255)));
    EXPECT_EQ(dst.At(1, 0), RGB(9, 9, 9));
    EXPECT_EQ(dst.At(2, 0), RGB(5, 5, 5));
    EXPECT_FALSE(TransparentBlt(dst.dc, 0, 0, -4, 1, src.dc, 0, 0, 2, 1, 0));
}

TEST(GdiObjects, SelectedBitmapCannotBeDeletedUntilDeselected)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP b = CreateCompatibleBitmap(nullptr, 4, 4);
    HGDIOBJ old = SelectObject(dc, b);
    ASSERT_NE(old, nullptr);
    EXPECT_FALSE(DeleteObject(b));
    EXPECT_EQ(SelectObject(dc, old), b);
    EXPECT_TRUE(DeleteObject(b));
    EXPECT_FALSE(DeleteObject(b));  // already gone
    EXPECT_FALSE(DeleteObject(GetStockObject(WHITE_BRUSH)));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
}

TEST(GdiObjects, DeletingAContextFreesItsSelectionsForDeletion)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP b = CreateCompatibleBitmap(nullptr, 4, 4);
    SelectObject(dc, b);
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(b));
}

// Freed handles must stay unknown even when the allocator hands the same memory to the next object
// of that kind at once (as it does in an optimised build).
TEST(GdiObjects, FreedHandlesAreNeverReusedByLaterObjects)
{
    std::set<const void*> seen;
    std::vector<HGDIOBJ> freed;
    std::vector<HDC> freedDCs;
    HDC probe = CreateCompatibleDC(nullptr);
    for (int round = 0; round < 50; ++round) {
        const HGDIOBJ made[] = {CreateCompatibleBitmap(nullptr, 2, 2), CreateSolidBrush(0x123456),
                                CreatePen(PS_SOLID, 1, 0), CreateFont(-10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial"),
                                CreateRectRgn(0, 0, 1, 1)};
        HDC dc = CreateCompatibleDC(nullptr);
        EXPECT_TRUE(seen.insert(dc).second);
        for (HGDIOBJ object : made) {
            ASSERT_NE(object, nullptr);
            EXPECT_TRUE(seen.insert(object).second) << "round " << round;
            EXPECT_TRUE(DeleteObject(object));
            freed.push_back(object);
        }
        EXPECT_TRUE(DeleteDC(dc));
        freedDCs.push_back(dc);
        for (HGDIOBJ object : freed) {
            EXPECT_FALSE(DeleteObject(object));
            EXPECT_EQ(SelectObject(probe, object), nullptr);
            EXPECT_EQ(GetObject(object, 0, nullptr), 0);
        }
        for (HDC old : freedDCs)
            EXPECT_EQ(GetBkColor(old), CLR_INVALID);
    }
    DeleteDC(probe);
}

TEST(GdiObjects, CompatibleBitmapFollowsTheContextsCurrentFormat)
{
    HDC fresh = CreateCompatibleDC(nullptr);
    BITMAP info;
    HBITMAP mono = CreateCompatibleBitmap(fresh, 3, 2);
    ASSERT_EQ(GetObject(mono, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmBitsPixel, 1);
    HBITMAP colour = CreateCompatibleBitmap(nullptr, 3, 2);
    SelectObject(fresh, colour);
    HBITMAP again = CreateCompatibleBitmap(fresh, 3, 2);
    ASSERT_EQ(GetObject(again, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmBitsPixel, 32);
    EXPECT_EQ(info.bmWidth, 3);
    EXPECT_EQ(info.bmHeight, 2);
    EXPECT_EQ(info.bmBits, nullptr);
    DeleteDC(fresh);
    DeleteObject(mono);
    DeleteObject(colour);
    DeleteObject(again);
}

TEST(GdiObjects, ImpossibleBitmapSizesGiveNull)
{
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 0, 5), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, -3, 5), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 1 << 20, 1 << 20), nullptr);
    EXPECT_EQ(CreateBitmap(70000, 70000, 1, 1, nullptr), nullptr);
}

TEST(GdiObjects, MonochromeBitmapTakesPackedRowsPaddedToSixteenBits)
{
    const unsigned char rows[] = {0xA0, 0x00, 0x40, 0x00};  // 3 x 2: 101 / 010
    HBITMAP b = CreateBitmap(3, 2, 1, 1, rows);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, b);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(255, 255, 255));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(b);
}

}  // namespace
