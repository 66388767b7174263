// The class library's canvas: drawing bitmaps, copying rectangles, text state from font and brush.
#include <gtest/gtest.h>

#include <string>

#include "platform/system/Exception.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TCanvas.h"

namespace {

// A bitmap of the given size filled with one colour.
void Prepare(TBitmap& b, int w, int h, TColor fill)
{
    b.SetSize(w, h);
    b.Canvas()->Brush()->SetColor(fill);
    b.Canvas()->FillRect(TRect(0, 0, w, h));
}

TEST(TCanvas, DrawLeavesOutTheTransparentColourOfATransparentBitmap)
{
    TBitmap sprite;
    Prepare(sprite, 3, 1, clFuchsia);
    sprite.Canvas()->SetPixels(1, 0, clGreen);
    sprite.SetTransparent(true);
    sprite.SetTransparentColor(clFuchsia);
    TBitmap target;
    Prepare(target, 5, 1, clNavy);
    target.Canvas()->Draw(1, 0, &sprite);
    EXPECT_EQ(target.Canvas()->Pixels(1, 0), clNavy);
    EXPECT_EQ(target.Canvas()->Pixels(2, 0), clGreen);
    EXPECT_EQ(target.Canvas()->Pixels(3, 0), clNavy);
    sprite.SetTransparent(false);
    target.Canvas()->Draw(1, 0, &sprite);
    EXPECT_EQ(target.Canvas()->Pixels(1, 0), clFuchsia);
}

TEST(TCanvas, DrawUsesTheCopyMode)
{
    TBitmap sprite;
    Prepare(sprite, 1, 1, TColor(0x0000F0));
    TBitmap target;
    Prepare(target, 1, 1, TColor(0x00000F));
    target.Canvas()->SetCopyMode(SRCINVERT);
    target.Canvas()->Draw(0, 0, &sprite);
    EXPECT_EQ(target.Canvas()->Pixels(0, 0), TColor(0x0000FF));
    target.Canvas()->Draw(0, 0, nullptr);  // nothing to draw
}

TEST(TCanvas, StretchDrawScalesTheBitmap)
{
    TBitmap sprite;
    Prepare(sprite, 1, 1, clRed);
    TBitmap target;
    Prepare(target, 4, 4, clBlack);
    target.Canvas()->StretchDraw(TRect(1, 1, 3, 3), &sprite);
    EXPECT_EQ(target.Canvas()->Pixels(1, 1), clRed);
    EXPECT_EQ(target.Canvas()->Pixels(2, 2), clRed);
    EXPECT_EQ(target.Canvas()->Pixels(3, 3), clBlack);
}

TEST(TCanvas, StretchDrawShrinksWithoutDarkening)
{
    TBitmap stripes;
    Prepare(stripes, 2, 1, clWhite);
    stripes.Canvas()->SetPixels(0, 0, TColor(0x404040));
    TBitmap target;
    Prepare(target, 1, 1, clBlack);
    target.Canvas()->StretchDraw(TRect(0, 0, 1, 1), &stripes);
    EXPECT_EQ(target.Canvas()->Pixels(0, 0), clWhite);  // one of the two, not their AND
}

// Columns numbered by their red level, so a test can tell where each one went.
void Ramp(TBitmap& b, int w)
{
    b.SetSize(w, 1);
    for (int x = 0; x < w; ++x)
        b.Canvas()->SetPixels(x, 0, TColor(x));
}

TEST(TCanvas, CopyRectWithinOneBitmapShrinksAPictureKeepingItsEnd)
{
    // 120 columns refitted to 100: the last ten columns move to 90 .. 99.
    TBitmap b;
    Ramp(b, 120);
    b.Canvas()->CopyRect(TRect(90, 0, 100, 1), b.Canvas(), TRect(110, 0, 120, 1));
    b.SetWidth(100);
    EXPECT_EQ(b.Canvas()->Pixels(89, 0), TColor(89));
    EXPECT_EQ(b.Canvas()->Pixels(90, 0), TColor(110));
    EXPECT_EQ(b.Canvas()->Pixels(99, 0), TColor(119));
}

TEST(TCanvas, OverlappingCopyRectStepsWidenAPictureFromItsRightFifth)
{
    // 50 columns widened to 100: f = 10, each step copies [40 + j, 50 + j) one column right.
    TBitmap b;
    Ramp(b, 50);
    b.SetWidth(100);
    for (int j = 0; j < 50; ++j)
        b.Canvas()->CopyRect(TRect(41 + j, 0, 51 + j, 1), b.Canvas(), TRect(40 + j, 0, 50 + j, 1));
    EXPECT_EQ(b.Canvas()->Pixels(39, 0), TColor(39));
    EXPECT_EQ(b.Canvas()->Pixels(40, 0), TColor(40));
    EXPECT_EQ(b.Canvas()->Pixels(89, 0), TColor(40));
    EXPECT_EQ(b.Canvas()->Pixels(90, 0), TColor(40));
    EXPECT_EQ(b.Canvas()->Pixels(91, 0), TColor(41));
    EXPECT_EQ(b.Canvas()->Pixels(99, 0), TColor(49));
}

TEST(TCanvas, DrawingWithoutADeviceContextThrows)
{
    TCanvas canvas;
    try {
        canvas.FillRect(TRect(0, 0, 1, 1));
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Canvas does not allow drawing");
    }
}

TEST(TCanvas, SolidBrushMakesTextOpaqueAndClearBrushTransparent)
{
    TBitmap b;
    Prepare(b, 60, 30, clBlack);
    TCanvas* c = b.Canvas();
    c->Font()->SetName("Arial");
    c->Font()->SetColor(clWhite);
    c->Brush()->SetColor(clBlue);
    c->TextOut(2, 2, "Hi");
    EXPECT_EQ(c->Pixels(2, 2), clBlue);  // the cell's top-left corner
    Prepare(b, 60, 30, clBlack);
    c->Brush()->SetStyle(bsClear);
    c->TextOut(2, 2, "Hi");
    EXPECT_EQ(c->Pixels(2, 2), clBlack);
}

TEST(TCanvas, BackgroundModeSetOnTheHandleHoldsUntilTheBrushChanges)
{
    TBitmap b;
    Prepare(b, 60, 30, clBlack);
    TCanvas* c = b.Canvas();
    SetBkMode(c->Handle(), TRANSPARENT);
    c->Font()->SetSize(10);  // a font change does not touch the background mode
    c->TextOut(2, 2, "Hi");
    EXPECT_EQ(c->Pixels(2, 2), clBlack);
    c->Brush()->SetColor(clYellow);
    c->TextOut(2, 2, "Hi");
    EXPECT_EQ(c->Pixels(2, 2), clYellow);
}

TEST(TCanvas, FontChangesTakeEffectAtTheNextMeasurement)
{
    TBitmap b;
    Prepare(b, 4, 4, clBlack);
    TCanvas* c = b.Canvas();
    c->Font()->SetName("Arial");
    c->Font()->SetSize(8);
    const int small = c->TextWidth("Mode list");
    const int smallHeight = c->TextHeight("H");
    c->Font()->SetSize(16);
    EXPECT_GT(c->TextWidth("Mode list"), small);
    EXPECT_GT(c->TextHeight("H"), smallHeight);
    TFont other;
    other.SetName("Arial");
    other.SetSize(8);
    c->SetFont(&other);
    EXPECT_EQ(c->TextWidth("Mode list"), small);
}

TEST(TCanvas, RectangleUsesPenAndBrush)
{
    TBitmap b;
    Prepare(b, 10, 10, clBlack);
    TCanvas* c = b.Canvas();
    c->Pen()->SetColor(clRed);
    c->Pen()->SetWidth(1);
    c->Brush()->SetColor(clBlue);
    c->Rectangle(1, 1, 6, 6);
    EXPECT_EQ(c->Pixels(1, 1), clRed);
    EXPECT_EQ(c->Pixels(5, 5), clRed);
    EXPECT_EQ(c->Pixels(3, 3), clBlue);
    EXPECT_EQ(c->Pixels(6, 6), clBlack);
    c->Pen()->SetStyle(psClear);
    c->Brush()->SetColor(clLime);
    c->Rectangle(1, 1, 6, 6);
    EXPECT_EQ(c->Pixels(1, 1), clLime);
    EXPECT_EQ(c->Pixels(5, 5), clRed);  // null pen: one pixel less right and below
}

TEST(TCanvas, PixelsOutsideTheBitmapReadMinusOne)
{
    TBitmap b;
    Prepare(b, 2, 2, clWhite);
    EXPECT_EQ(b.Canvas()->Pixels(5, 5), TColor(-1));
    b.Canvas()->SetPixels(-1, 0, clRed);  // ignored
    EXPECT_EQ(b.Canvas()->ClipRect(), TRect(0, 0, 2, 2));
}

TEST(TCanvas, TextRectClipsAndFillsWithTheBrush)
{
    TBitmap b;
    Prepare(b, 60, 30, clBlack);
    TCanvas* c = b.Canvas();
    c->Brush()->SetColor(clGreen);
    c->TextRect(TRect(5, 5, 15, 25), 6, 6, "Wide text");
    EXPECT_EQ(c->Pixels(5, 24), clGreen);
    EXPECT_EQ(c->Pixels(15, 10), clBlack);
}

TEST(TCanvas, SeparateCanvasDrawsOnAGivenHandle)
{
    TBitmap b;
    Prepare(b, 4, 4, clBlack);
    TCanvas canvas;
    canvas.SetHandle(b.Canvas()->Handle());
    canvas.Brush()->SetColor(clMaroon);
    canvas.FillRect(TRect(0, 0, 2, 2));
    canvas.SetHandle(nullptr);
    EXPECT_EQ(b.Canvas()->Pixels(1, 1), clMaroon);
}

}  // namespace
