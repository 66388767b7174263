// Image controls: the canvas is the picture's bitmap, and AutoSize follows the picture.
#include <gtest/gtest.h>

#include "platform/ui/ApplicationInstance.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TCanvas.h"
#include "platform/ui/TImage.h"
#include "platform/drawing/TPicture.h"
#include "platform/ui/WindowMessages.h"

namespace {

TEST(ImageControlTest, CanvasIsPictureBitmapOfControlSize)
{
    EnsureApplication();
    TImage image(nullptr);
    image.SetBounds(0, 0, 30, 20);
    TCanvas* canvas = image.Canvas();
    EXPECT_EQ(image.Picture()->Width(), 30);
    EXPECT_EQ(image.Picture()->Height(), 20);
    EXPECT_EQ(canvas, image.Picture()->Bitmap()->Canvas());
    canvas->SetPixels(3, 4, clLime);
    EXPECT_EQ(image.Picture()->Bitmap()->Canvas()->Pixels(3, 4), clLime);
}

TEST(ImageControlTest, AutoSizeTakesPictureSizeWhenPainted)
{
    EnsureApplication();
    TImage image(nullptr);
    image.Picture()->Bitmap()->SetSize(12, 7);
    image.SetAutoSize(true);
    image.Repaint();
    EXPECT_EQ(image.Width(), 12);
    EXPECT_EQ(image.Height(), 7);
}

TEST(ImageControlTest, LooksAgainOnlyAfterSomethingWasDrawn)
{
    EnsureApplication();
    TImage image(nullptr);
    image.SetBounds(0, 0, 16, 16);
    TCanvas* canvas = image.Canvas();
    image.Repaint();
    EXPECT_FALSE(image.RefreshDue());
    canvas->SetPixels(1, 1, clRed);
    EXPECT_TRUE(image.RefreshDue());
    image.Repaint();
    EXPECT_FALSE(image.RefreshDue());
    canvas->Brush()->SetColor(clBlue);
    canvas->FillRect(TRect(0, 0, 4, 4));
    EXPECT_TRUE(image.RefreshDue());
    image.Repaint();
    image.Picture()->Bitmap()->SetSize(20, 20);  // a new handle is new content
    EXPECT_TRUE(image.RefreshDue());
}

// What the control shows, read from its own surface.
struct ShownImage : TImage {
    using TImage::TImage;
    TColor Shown(int x, int y) { return ControlCanvas()->Pixels(x, y); }
};

TEST(ImageControlTest, DibSectionPictureRepaintsOnlyAfterAWrite)
{
    // A picture adopted from a section whose rows the loader wrote directly, as image files arrive.
    EnsureApplication();
    ShownImage image(nullptr);
    image.SetBounds(0, 0, 8, 8);
    BITMAPINFO info{};
    info.bmiHeader.biWidth = 8;
    info.bmiHeader.biHeight = 8;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    image.Picture()->Bitmap()->SetHandle(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_NE(bits, nullptr);
    image.Repaint();
    EXPECT_FALSE(image.RefreshDue());
    image.Repaint();
    EXPECT_FALSE(image.RefreshDue());
    static_cast<std::uint8_t*>(bits)[2] = 0xFF;  // bottom-left pixel red
    GdiFlush();
    EXPECT_TRUE(image.RefreshDue());
    image.Repaint();
    EXPECT_FALSE(image.RefreshDue());
    EXPECT_EQ(image.Shown(0, 7), clRed);
    image.Canvas()->SetPixels(1, 1, clLime);
    EXPECT_TRUE(image.RefreshDue());
}

TEST(ImageControlTest, ShownImageShowsWhatWasDrawnOnceTheEventLoopRunsWithoutWaiting)
{
    // No clock drives the look: a shown image costs nothing while nothing is drawn, and what is
    // drawn shows on the next pass of the event loop.
    EnsureApplication();
    ShownImage image(nullptr);
    image.SetBounds(0, 0, 8, 8);
    image.Canvas()->SetPixels(0, 0, clBlack);
    image.Show();
    image.Repaint();
    const auto settle = [] {
        for (int pass = 0; pass < 3; ++pass)
            ProcessMessages();
    };
    for (const TColor color : {clRed, clLime}) {
        image.Canvas()->SetPixels(2, 3, color);
        ASSERT_TRUE(image.RefreshDue());
        settle();
        EXPECT_FALSE(image.RefreshDue());
        EXPECT_EQ(image.Shown(2, 3), color);
    }
    image.Hide();
    image.Canvas()->SetPixels(2, 3, clBlue);
    settle();
    EXPECT_TRUE(image.RefreshDue()) << "a hidden image is not painted";
}

}  // namespace
