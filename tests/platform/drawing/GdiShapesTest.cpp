// Fills, rectangles and ellipses: right and bottom edges exclusive, pens centred, null pen smaller.
#include <gtest/gtest.h>

#include "GdiTestSurface.h"
#include "platform/drawing/Gdi.h"

namespace {

using gditest::Surface;

void ExpectRect(const RECT& actual, const RECT& expected)
{
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    EXPECT_EQ(actual.bottom, expected.bottom);
}

TEST(GdiShapes, FillRectCoversLeftTopButNotRightBottom)
{
    Surface s(10, 10);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    const RECT r{2, 3, 6, 8};
    EXPECT_EQ(FillRect(s.dc, &r, brush), 1);
    ExpectRect(s.Ink(), r);
    DeleteObject(brush);
}

TEST(GdiShapes, FillRectWithNullBrushOrEmptyRectDrawsNothing)
{
    Surface s(10, 10);
    const RECT r{2, 3, 6, 8}, inverted{6, 8, 2, 3};
    FillRect(s.dc, &r, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    FillRect(s.dc, &inverted, brush);
    ExpectRect(s.Ink(), RECT{10, 10, 0, 0});
    DeleteObject(brush);
}

TEST(GdiShapes, RectangleOutlinesWithPenAndFillsInsideWithBrush)
{
    Surface s(12, 12);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    SelectObject(s.dc, pen);
    SelectObject(s.dc, brush);
    Rectangle(s.dc, 2, 2, 8, 6);
    ExpectRect(s.Ink(), RECT{2, 2, 8, 6});
    EXPECT_EQ(GetPixel(s.dc, 2, 2), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(s.dc, 7, 5), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(s.dc, 3, 3), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(s.dc, 6, 4), RGB(0, 0, 255));
    SelectObject(s.dc, GetStockObject(BLACK_PEN));
    SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(pen);
    DeleteObject(brush);
}

TEST(GdiShapes, WidePenIsCentredOnTheOutline)
{
    Surface s(30, 30);
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(255, 0, 0));
    SelectObject(s.dc, pen);
    SelectObject(s.dc, GetStockObject(NULL_BRUSH));
    Rectangle(s.dc, 10, 10, 20, 20);
    ExpectRect(s.Ink(), RECT{9, 9, 21, 21});
    EXPECT_EQ(GetPixel(s.dc, 11, 15), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(s.dc, 12, 15), RGB(0, 0, 0));
    SelectObject(s.dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
}

TEST(GdiShapes, RectangleWithNullPenFillsOnePixelLessRightAndBelow)
{
    Surface s(12, 12);
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    SelectObject(s.dc, GetStockObject(NULL_PEN));
    HGDIOBJ old = SelectObject(s.dc, brush);
    Rectangle(s.dc, 2, 2, 8, 6);
    ExpectRect(s.Ink(), RECT{2, 2, 7, 5});
    SelectObject(s.dc, old);
    DeleteObject(brush);
}

TEST(GdiShapes, EllipseStaysInsideItsBoxAndTouchesEveryEdge)
{
    Surface s(40, 30);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    HGDIOBJ oldPen = SelectObject(s.dc, pen);
    HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
    HGDIOBJ oldBrush = SelectObject(s.dc, brush);
    Ellipse(s.dc, 5, 4, 35, 24);
    ExpectRect(s.Ink(), RECT{5, 4, 35, 24});
    EXPECT_EQ(GetPixel(s.dc, 20, 14), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(s.dc, 5, 4), RGB(0, 0, 0));  // corners stay outside
    SelectObject(s.dc, oldPen);
    SelectObject(s.dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

TEST(GdiShapes, EllipseWithNullPenIsFilledOnly)
{
    Surface s(40, 30);
    HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
    SelectObject(s.dc, GetStockObject(NULL_PEN));
    HGDIOBJ oldBrush = SelectObject(s.dc, brush);
    Ellipse(s.dc, 5, 4, 35, 24);
    const RECT ink = s.Ink();
    EXPECT_GE(ink.left, 5);
    EXPECT_GE(ink.top, 4);
    EXPECT_LE(ink.right, 34);
    EXPECT_LE(ink.bottom, 23);
    EXPECT_EQ(GetPixel(s.dc, 20, 14), RGB(0, 255, 0));
    SelectObject(s.dc, oldBrush);
    DeleteObject(brush);
}

TEST(GdiShapes, SetPixelOnMonochromeBitmapTakesNearestOfBlackAndWhite)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP mono = CreateBitmap(2, 1, 1, 1, nullptr);
    HGDIOBJ old = SelectObject(dc, mono);
    EXPECT_EQ(SetPixel(dc, 0, 0, RGB(200, 200, 200)), RGB(255, 255, 255));
    EXPECT_EQ(SetPixel(dc, 1, 0, RGB(60, 60, 60)), RGB(0, 0, 0));
    EXPECT_EQ(SetPixel(dc, 2, 0, RGB(60, 60, 60)), CLR_INVALID);
    SelectObject(dc, old);
    DeleteObject(mono);
    DeleteDC(dc);
}

}  // namespace
