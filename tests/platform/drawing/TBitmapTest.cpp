// The class library's bitmap and picture: sizes, handle types, adopted and released handles, copies.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/system/Exception.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TCanvas.h"
#include "platform/drawing/TPicture.h"

namespace {

TEST(TBitmap, NewPixelsAreWhiteAndResizeKeepsTheTopLeft)
{
    TBitmap b;
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Handle(), nullptr);
    b.SetSize(3, 2);
    EXPECT_EQ(b.Canvas()->Pixels(2, 1), clWhite);
    b.Canvas()->SetPixels(0, 0, clRed);
    b.Canvas()->SetPixels(2, 1, clBlue);
    b.Canvas()->Brush()->SetColor(clLime);
    b.SetSize(4, 4);
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clRed);
    EXPECT_EQ(b.Canvas()->Pixels(2, 1), clBlue);
    EXPECT_EQ(b.Canvas()->Pixels(3, 3), clLime);
    b.SetWidth(1);
    EXPECT_EQ(b.Width(), 1);
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clRed);
    b.SetHeight(0);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Handle(), nullptr);
}

TEST(TBitmap, HandleTypeConversionKeepsThePixels)
{
    TBitmap b;
    b.SetSize(2, 2);
    b.Canvas()->SetPixels(1, 0, TColor(0x123456));
    b.SetHandleType(bmDIB);
    BITMAP info;
    ASSERT_EQ(GetObject(b.Handle(), sizeof info, &info), int(sizeof info));
    EXPECT_NE(info.bmBits, nullptr);
    EXPECT_EQ(b.PixelFormat(), pf32bit);
    EXPECT_EQ(b.Canvas()->Pixels(1, 0), TColor(0x123456));
    b.SetHandleType(bmDDB);
    ASSERT_EQ(GetObject(b.Handle(), sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmBits, nullptr);
    EXPECT_EQ(b.PixelFormat(), pfDevice);
    EXPECT_EQ(b.Canvas()->Pixels(1, 0), TColor(0x123456));
}

TEST(TBitmap, PalettedPixelFormatsTakeNearestColours)
{
    TBitmap b;
    b.SetSize(2, 1);
    b.SetPixelFormat(pf1bit);
    EXPECT_TRUE(b.Monochrome());
    b.Canvas()->SetPixels(0, 0, TColor(0x202020));
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clBlack);
    b.SetPixelFormat(pf4bit);
    b.Canvas()->SetPixels(1, 0, TColor(0x0000F0));
    EXPECT_EQ(b.Canvas()->Pixels(1, 0), clRed);
    EXPECT_EQ(b.HandleType(), bmDIB);
}

TEST(TBitmap, ReleasedHandleBelongsToTheCallerWhoCanDeleteIt)
{
    TBitmap b;
    b.SetSize(4, 4);
    b.Canvas()->FillRect(TRect(0, 0, 4, 4));  // the canvas holds the bitmap selected
    HBITMAP h = b.ReleaseHandle();
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Handle(), nullptr);
    EXPECT_TRUE(DeleteObject(h));
}

TEST(TBitmap, AdoptsADibSectionAndDrawsIntoItsRows)
{
    std::vector<unsigned char> block(sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER h;
    h.biWidth = 5;
    h.biHeight = 4;
    h.biBitCount = 24;
    std::memcpy(block.data(), &h, sizeof h);
    void* bits = nullptr;
    HBITMAP section =
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(block.data()), DIB_RGB_COLORS, &bits, nullptr, 0);
    TBitmap b;
    b.SetHandle(section);
    EXPECT_EQ(b.Width(), 5);
    EXPECT_EQ(b.Height(), 4);
    EXPECT_EQ(b.HandleType(), bmDIB);
    EXPECT_EQ(b.PixelFormat(), pf24bit);
    b.Canvas()->SetPixels(0, 3, TColor(0x010203));  // bottom-left: storage row 0
    const auto* row = static_cast<const unsigned char*>(bits);
    EXPECT_EQ(row[0], 0x01);  // blue
    EXPECT_EQ(row[2], 0x03);  // red
}

TEST(TBitmap, AdoptingAHandleFreesThePreviousOne)
{
    TBitmap b;
    b.SetSize(2, 2);
    HBITMAP first = b.Handle();
    HBITMAP second = CreateCompatibleBitmap(nullptr, 3, 3);
    b.SetHandle(second);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_FALSE(DeleteObject(first));  // already freed by the bitmap
    b.SetHandle(nullptr);
    EXPECT_TRUE(b.Empty());
}

TEST(TBitmap, AssignMakesAnIndependentCopy)
{
    TBitmap source;
    source.SetPixelFormat(pf8bit);
    source.SetSize(3, 3);
    source.Canvas()->SetPixels(1, 1, clRed);
    source.SetTransparent(true);
    source.SetTransparentColor(clRed);
    TBitmap copy;
    copy.Assign(&source);
    EXPECT_EQ(copy.Width(), 3);
    EXPECT_EQ(copy.PixelFormat(), pf8bit);
    EXPECT_TRUE(copy.Transparent());
    EXPECT_EQ(copy.TransparentColor(), clRed);
    EXPECT_NE(copy.Handle(), source.Handle());
    copy.Canvas()->SetPixels(1, 1, clBlue);
    EXPECT_EQ(source.Canvas()->Pixels(1, 1), clRed);
    EXPECT_EQ(copy.Canvas()->Pixels(1, 1), clBlue);
    copy.Assign(nullptr);
    EXPECT_TRUE(copy.Empty());
}

TEST(TBitmap, AutomaticTransparentColourIsTheBottomLeftPixel)
{
    TBitmap b;
    EXPECT_EQ(b.TransparentColor(), clDefault);
    b.SetSize(2, 2);
    b.Canvas()->SetPixels(0, 1, clFuchsia);
    EXPECT_EQ(b.TransparentMode(), tmAuto);
    EXPECT_EQ(b.TransparentColor(), clFuchsia);
    b.SetTransparentColor(clLime);
    EXPECT_EQ(b.TransparentMode(), tmFixed);
    EXPECT_EQ(b.TransparentColor(), clLime);
}

TEST(TBitmap, ImpossibleSizeThrowsAndKeepsTheBitmap)
{
    TBitmap b;
    b.SetSize(2, 2);
    EXPECT_THROW(b.SetSize(1 << 20, 1 << 20), Exception);
    EXPECT_EQ(b.Width(), 2);
    EXPECT_NE(b.Handle(), nullptr);
}

TEST(TPicture, BitmapIsMadeOnDemandAndCopiedByAssign)
{
    TPicture picture;
    EXPECT_EQ(picture.Graphic(), nullptr);
    EXPECT_EQ(picture.Width(), 0);
    picture.Bitmap()->SetSize(4, 3);
    picture.Bitmap()->Canvas()->SetPixels(0, 0, clNavy);
    EXPECT_EQ(picture.Graphic(), picture.Bitmap());
    EXPECT_EQ(picture.Height(), 3);
    TPicture other;
    other.Assign(&picture);
    EXPECT_EQ(other.Width(), 4);
    EXPECT_EQ(other.Bitmap()->Canvas()->Pixels(0, 0), clNavy);
    other.SetBitmap(nullptr);
    EXPECT_EQ(other.Graphic(), nullptr);
}

}  // namespace
