// Clip regions: boxes, combination modes, exact save and restore, visibility, clipped drawing.
#include <gtest/gtest.h>

#include "platform/drawing/Gdi.h"

namespace {

struct Surface {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap;
    HGDIOBJ previous;
    Surface(int w, int h) : bitmap(CreateCompatibleBitmap(nullptr, w, h)) { previous = SelectObject(dc, bitmap); }
    ~Surface()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    void Fill(const RECT& r, COLORREF c) const
    {
        HBRUSH brush = CreateSolidBrush(c);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    }
};

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// An L-shaped region: the top strip and the left strip of a 10 x 10 area.
HRGN MakeL()
{
    HRGN l = CreateRectRgn(0, 0, 10, 3);
    HRGN left = CreateRectRgn(0, 0, 3, 10);
    CombineRgn(l, l, left, RGN_OR);
    DeleteObject(left);
    return l;
}

TEST(GdiClip, WithoutClipRegionTheBoxIsTheBitmap)
{
    Surface s(20, 10);
    RECT box;
    EXPECT_EQ(GetClipBox(s.dc, &box), SIMPLEREGION);
    EXPECT_TRUE(SameRect(box, RECT{0, 0, 20, 10}));
    HRGN r = CreateRectRgn(0, 0, 1, 1);
    EXPECT_EQ(GetClipRgn(s.dc, r), 0);
    DeleteObject(r);
}

struct CombineCase {
    const char* name;
    int mode;
    RECT expectedBox;
    int expectedKind;
};

class ClipCombination : public ::testing::TestWithParam<CombineCase> {};

TEST_P(ClipCombination, CombinesWithCurrentClip)
{
    const CombineCase& c = GetParam();
    Surface s(20, 20);
    HRGN first = CreateRectRgn(0, 0, 10, 10);
    HRGN second = CreateRectRgn(5, 5, 15, 15);
    SelectClipRgn(s.dc, first);
    EXPECT_EQ(ExtSelectClipRgn(s.dc, second, c.mode), c.expectedKind);
    RECT box;
    GetClipBox(s.dc, &box);
    EXPECT_TRUE(SameRect(box, c.expectedBox))
        << box.left << "," << box.top << "," << box.right << "," << box.bottom;
    DeleteObject(first);
    DeleteObject(second);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ClipCombination,
    ::testing::Values(CombineCase{"And", RGN_AND, {5, 5, 10, 10}, SIMPLEREGION},
                      CombineCase{"Or", RGN_OR, {0, 0, 15, 15}, COMPLEXREGION},
                      CombineCase{"Diff", RGN_DIFF, {0, 0, 10, 10}, COMPLEXREGION},
                      CombineCase{"Xor", RGN_XOR, {0, 0, 15, 15}, COMPLEXREGION},
                      CombineCase{"Copy", RGN_COPY, {5, 5, 15, 15}, SIMPLEREGION}),
    [](const ::testing::TestParamInfo<CombineCase>& info) { return std::string(info.param.name); });

TEST(GdiClip, AndWithoutClipRegionIntersectsWithTheBitmap)
{
    Surface s(10, 10);
    HRGN r = CreateRectRgn(5, 5, 50, 50);
    ExtSelectClipRgn(s.dc, r, RGN_AND);
    RECT box;
    GetClipBox(s.dc, &box);
    EXPECT_TRUE(SameRect(box, RECT{5, 5, 10, 10}));
    DeleteObject(r);
}

TEST(GdiClip, NullRegionWithCopyRemovesTheClipAndWithOtherModesFails)
{
    Surface s(10, 10);
    HRGN r = CreateRectRgn(2, 2, 4, 4);
    SelectClipRgn(s.dc, r);
    EXPECT_EQ(ExtSelectClipRgn(s.dc, nullptr, RGN_AND), RGN_ERROR);
    RECT box;
    GetClipBox(s.dc, &box);
    EXPECT_TRUE(SameRect(box, RECT{2, 2, 4, 4}));
    EXPECT_NE(ExtSelectClipRgn(s.dc, nullptr, RGN_COPY), RGN_ERROR);
    GetClipBox(s.dc, &box);
    EXPECT_TRUE(SameRect(box, RECT{0, 0, 10, 10}));
    EXPECT_EQ(GetClipRgn(s.dc, r), 0);
    DeleteObject(r);
}

TEST(GdiClip, SavedNonRectangularClipRestoresExactly)
{
    Surface s(10, 10);
    HRGN shape = MakeL();
    SelectClipRgn(s.dc, shape);

    HRGN saved = CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(GetClipRgn(s.dc, saved), 1);
    HRGN narrow = CreateRectRgn(1, 1, 2, 2);
    ExtSelectClipRgn(s.dc, narrow, RGN_AND);
    SelectClipRgn(s.dc, saved);

    HRGN now = CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(GetClipRgn(s.dc, now), 1);
    EXPECT_TRUE(EqualRgn(now, shape));
    // Restoring the bounding box instead would make the lower right drawable again.
    s.Fill(RECT{0, 0, 10, 10}, RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(s.dc, 1, 8), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(s.dc, 8, 8), CLR_INVALID);
    SelectClipRgn(s.dc, nullptr);
    EXPECT_EQ(GetPixel(s.dc, 8, 8), RGB(0, 0, 0));
    for (HRGN r : {shape, saved, narrow, now})
        DeleteObject(r);
}

TEST(GdiClip, SelectedRegionIsCopiedSoTheCallerMayChangeOrFreeIt)
{
    Surface s(10, 10);
    HRGN r = CreateRectRgn(0, 0, 4, 4);
    SelectObject(s.dc, r);
    OffsetRgn(r, 5, 5);
    DeleteObject(r);
    RECT box;
    GetClipBox(s.dc, &box);
    EXPECT_TRUE(SameRect(box, RECT{0, 0, 4, 4}));
}

TEST(GdiClip, RectVisibleTestsAgainstTheClipArea)
{
    Surface s(10, 10);
    HRGN shape = MakeL();
    SelectClipRgn(s.dc, shape);
    const RECT inside{1, 5, 2, 6}, outside{5, 5, 9, 9}, offBitmap{20, 20, 30, 30}, empty{1, 1, 1, 1};
    EXPECT_TRUE(RectVisible(s.dc, &inside));
    EXPECT_FALSE(RectVisible(s.dc, &outside));
    EXPECT_FALSE(RectVisible(s.dc, &offBitmap));
    EXPECT_FALSE(RectVisible(s.dc, &empty));
    DeleteObject(shape);
}

TEST(GdiClip, BlockTransferWritesOnlyInsideTheClip)
{
    Surface src(10, 10);
    src.Fill(RECT{0, 0, 10, 10}, RGB(0, 200, 0));
    Surface dst(10, 10);
    HRGN shape = MakeL();
    SelectClipRgn(dst.dc, shape);
    BitBlt(dst.dc, 0, 0, 10, 10, src.dc, 0, 0, SRCCOPY);
    SelectClipRgn(dst.dc, nullptr);
    EXPECT_EQ(GetPixel(dst.dc, 9, 0), RGB(0, 200, 0));
    EXPECT_EQ(GetPixel(dst.dc, 0, 9), RGB(0, 200, 0));
    EXPECT_EQ(GetPixel(dst.dc, 4, 4), RGB(0, 0, 0));
    DeleteObject(shape);
}

TEST(GdiClip, IntersectClipRectNarrowsTheClip)
{
    Surface s(10, 10);
    IntersectClipRect(s.dc, 2, 3, 8, 9);
    IntersectClipRect(s.dc, 0, 0, 5, 5);
    RECT box;
    EXPECT_EQ(GetClipBox(s.dc, &box), SIMPLEREGION);
    EXPECT_TRUE(SameRect(box, RECT{2, 3, 5, 5}));
}

TEST(GdiRegion, CombinationAndQueries)
{
    HRGN a = CreateRectRgn(0, 0, 4, 4);
    HRGN b = CreateRectRgn(10, 10, 6, 6);  // corners in any order
    HRGN d = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(d, a, b, RGN_AND), NULLREGION);
    EXPECT_EQ(CombineRgn(d, a, b, RGN_OR), COMPLEXREGION);
    RECT box;
    GetRgnBox(d, &box);
    EXPECT_TRUE(SameRect(box, RECT{0, 0, 10, 10}));
    EXPECT_TRUE(PtInRegion(d, 7, 7));
    EXPECT_FALSE(PtInRegion(d, 5, 5));
    EXPECT_FALSE(PtInRegion(d, 10, 10));  // right and bottom exclusive
    EXPECT_EQ(CombineRgn(d, a, nullptr, RGN_COPY), SIMPLEREGION);
    EXPECT_TRUE(EqualRgn(d, a));
    EXPECT_EQ(CombineRgn(d, a, nullptr, RGN_AND), RGN_ERROR);
    for (HRGN r : {a, b, d})
        DeleteObject(r);
}

}  // namespace
