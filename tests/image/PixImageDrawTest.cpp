#include "image/PixImage.h"

#include "ImageFixtures.h"

#include <gtest/gtest.h>

using fixtures::Q;

namespace {

// A memory device context over a 32-bit bitmap filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill) : width_(width), height_(height) {
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateCompatibleBitmap(nullptr, width, height);
        old_ = SelectObject(dc_, bitmap_);
        Fill(fill);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    void Fill(COLORREF colour) {
        HBRUSH brush = CreateSolidBrush(colour);
        const RECT all{0, 0, width_, height_};
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }
    [[nodiscard]] HDC Dc() const { return dc_; }
    [[nodiscard]] COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGrey = RGB(50, 60, 70);

// 2 x 2 at 24 bits: top row red, green; bottom row blue, white.
struct Quad : PixImage {
    Quad() : PixImage(2, 2, 24, 0) {
        SetPixelColor(0, 1, RGB(255, 0, 0));
        SetPixelColor(1, 1, RGB(0, 255, 0));
        SetPixelColor(0, 0, RGB(0, 0, 255));
        SetPixelColor(1, 0, RGB(255, 255, 255));
    }
};

}  // namespace

TEST(PixImageDraw, OpaqueImageAtNaturalSizeTopRowFirst) {
    Canvas c(4, 4, kGrey);
    Quad img;
    ASSERT_TRUE(img.Draw(c.Dc(), 1, 1));
    EXPECT_EQ(c.At(1, 1), RGB(255, 0, 0));
    EXPECT_EQ(c.At(2, 1), RGB(0, 255, 0));
    EXPECT_EQ(c.At(1, 2), RGB(0, 0, 255));
    EXPECT_EQ(c.At(2, 2), kWhite);
    EXPECT_EQ(c.At(0, 0), kGrey);
    EXPECT_EQ(c.At(3, 3), kGrey);
}

TEST(PixImageDraw, PalettedOpaqueImageUsesItsPalette) {
    Canvas c(3, 1, kGrey);
    PixImage img(3, 1, 4, 0);
    img.SetPaletteColor(2, 10, 20, 30);
    img.SetPixelIndex(1, 0, 2);
    ASSERT_TRUE(img.Draw(c.Dc(), 0, 0));
    EXPECT_EQ(c.At(1, 0), RGB(10, 20, 30));
    EXPECT_EQ(c.At(0, 0), RGB(0, 0, 0));
}

TEST(PixImageDraw, ScaledOpaqueImageRepeatsPixels) {
    Canvas c(4, 4, kGrey);
    Quad img;
    ASSERT_TRUE(img.Draw(c.Dc(), 0, 0, 4, 4));
    EXPECT_EQ(c.At(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(c.At(1, 1), RGB(255, 0, 0));
    EXPECT_EQ(c.At(3, 0), RGB(0, 255, 0));
    EXPECT_EQ(c.At(0, 3), RGB(0, 0, 255));
    EXPECT_EQ(c.At(3, 3), kWhite);
}

TEST(PixImageDraw, SmoothScalingBlendsNeighboursAndRepeatsTheEdges) {
    // Black and white side by side, four times as wide: smooth drawing ramps between them, and
    // the outer columns keep the edge colours; without smoothing only the two colours appear.
    PixImage img(2, 1, 24, 0);
    img.SetPixelColor(0, 0, RGB(0, 0, 0));
    img.SetPixelColor(1, 0, RGB(255, 255, 255));
    Canvas sharp(8, 1, kGrey);
    ASSERT_TRUE(img.Draw(sharp.Dc(), 0, 0, 8, 1, nullptr, false));
    Canvas smooth(8, 1, kGrey);
    ASSERT_TRUE(img.Draw(smooth.Dc(), 0, 0, 8, 1, nullptr, true));
    int between = 0;
    for (int x = 0; x < 8; ++x) {
        const int sharpRed = GetRValue(sharp.At(x, 0));
        EXPECT_TRUE(sharpRed == 0 || sharpRed == 255) << x;
        const int red = GetRValue(smooth.At(x, 0));
        if (red != 0 && red != 255) ++between;
        if (x > 0) {
            EXPECT_GE(red, GetRValue(smooth.At(x - 1, 0))) << x;
        }
    }
    EXPECT_GE(between, 2);
    EXPECT_EQ(smooth.At(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(smooth.At(7, 0), kWhite);
}

TEST(PixImageDraw, BlendArithmetic) {
    struct Case {
        int alpha, alphaMax;
        COLORREF background, colour, want;
    };
    const Case cases[] = {
        {255, 255, kWhite, RGB(1, 2, 3), RGB(1, 2, 3)},        // (255 * 256) >> 8 = 255: stored as is
        {128, 255, kWhite, RGB(0, 0, 0), RGB(126, 126, 126)},  // (255 * 127 + 0) >> 8
        {255, 0, kWhite, RGB(0, 0, 0), kWhite},                // alpha maximum 0 hides the image
        {255, 127, RGB(0, 0, 0), RGB(255, 255, 255), RGB(126, 126, 126)},  // a = 127, (127 * 255) >> 8
        {0, 255, kGrey, RGB(200, 0, 0), kGrey},
        {64, 255, RGB(100, 0, 200), RGB(200, 100, 0), RGB(124, 25, 149)},
    };
    for (const Case& k : cases) {
        Canvas c(1, 1, k.background);
        PixImage img(1, 1, 24, 0);
        img.SetPixelColor(0, 0, k.colour);
        img.AlphaCreate();
        img.AlphaSet(0, 0, static_cast<std::uint8_t>(k.alpha));
        img.AlphaSetMax(static_cast<std::uint8_t>(k.alphaMax));
        ASSERT_TRUE(img.Draw(c.Dc(), 0, 0));
        EXPECT_EQ(c.At(0, 0), k.want) << "alpha " << k.alpha << " max " << k.alphaMax;
    }
}

TEST(PixImageDraw, TransparentColourIsSkipped) {
    Canvas c(2, 2, kGrey);
    Quad img;
    img.SetTransColor(Q(0, 255, 0));  // green
    img.SetTransIndex(0);
    ASSERT_TRUE(img.Draw(c.Dc(), 0, 0));
    EXPECT_EQ(c.At(1, 0), kGrey);
    EXPECT_EQ(c.At(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(c.At(1, 1), kWhite);
}

TEST(PixImageDraw, PaletteIndexAndPaletteAlpha) {
    Canvas c(3, 1, kWhite);
    PixImage img(3, 1, 8, 0);
    img.SetPaletteColor(0, 0, 0, 0, 255);
    img.SetPaletteColor(1, 0, 0, 0, 127);  // reserved byte as alpha: (255 * 128) >> 8 = 127
    img.SetPaletteColor(2, 9, 9, 9, 255);
    img.SetPixelIndex(0, 0, 0);
    img.SetPixelIndex(1, 0, 1);
    img.SetPixelIndex(2, 0, 2);
    struct Peek : PixImage {
        using PixImage::info;
    };
    static_cast<Peek&>(img).info.alphaPalette = true;
    img.SetTransIndex(2);
    ASSERT_TRUE(img.Draw(c.Dc(), 0, 0));
    EXPECT_EQ(c.At(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(c.At(1, 0), RGB(127, 127, 127));  // (255 * 128) >> 8
    EXPECT_EQ(c.At(2, 0), kWhite);
}

TEST(PixImageDraw, ClipRectangleLimitsAndClipRegionIsRestoredExactly) {
    Canvas c(6, 2, kGrey);
    // Two separate columns are drawable: a bounding box would also open the gap between them.
    HRGN a = CreateRectRgn(0, 0, 2, 2);
    HRGN b = CreateRectRgn(4, 0, 6, 2);
    CombineRgn(a, a, b, RGN_OR);
    SelectClipRgn(c.Dc(), a);

    PixImage img(6, 2, 24, 0);
    img.Clear(0);
    img.AlphaCreate();
    const RECT clip{1, 0, 6, 1};
    ASSERT_TRUE(img.Draw(c.Dc(), 0, 0, -1, -1, &clip));

    HRGN after = CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(GetClipRgn(c.Dc(), after), 1);
    EXPECT_TRUE(EqualRgn(after, a));
    SelectClipRgn(c.Dc(), nullptr);
    EXPECT_EQ(c.At(0, 0), kGrey);  // outside the clip rectangle
    EXPECT_EQ(c.At(1, 0), RGB(0, 0, 0));
    EXPECT_EQ(c.At(2, 0), kGrey);  // outside the region
    EXPECT_EQ(c.At(5, 0), RGB(0, 0, 0));
    EXPECT_EQ(c.At(5, 1), kGrey);  // below the clip rectangle
    DeleteObject(after);
    DeleteObject(a);
    DeleteObject(b);
}

TEST(PixImageDraw, ClipRectangleOnContextWithoutClipLeavesNone) {
    Canvas c(3, 1, kGrey);
    PixImage img(3, 1, 24, 0);
    const RECT clip{0, 0, 1, 1};
    ASSERT_TRUE(img.Draw(c.Dc(), 0, 0, -1, -1, &clip));
    EXPECT_EQ(c.At(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(c.At(1, 0), kGrey);
    HRGN after = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(c.Dc(), after), 0);
    DeleteObject(after);
}

TEST(PixImageDraw, OpaqueTransferIsNotLimitedToTheClipBoxButTheContextClips) {
    Canvas c(4, 1, kGrey);
    IntersectClipRect(c.Dc(), 1, 0, 3, 1);
    PixImage img(4, 1, 24, 0);
    ASSERT_TRUE(img.Draw(c.Dc(), 0, 0));
    SelectClipRgn(c.Dc(), nullptr);
    EXPECT_EQ(c.At(0, 0), kGrey);
    EXPECT_EQ(c.At(1, 0), RGB(0, 0, 0));
    EXPECT_EQ(c.At(3, 0), kGrey);
}

TEST(PixImageDraw, BlendedTargetOutsideTheClipBoxDrawsNothing) {
    Canvas c(4, 4, kGrey);
    PixImage img(2, 2, 24, 0);
    img.AlphaCreate();
    EXPECT_TRUE(img.Draw(c.Dc(), 10, 10));
    EXPECT_TRUE(img.Draw(c.Dc(), -5, 0));
    EXPECT_EQ(c.At(0, 0), kGrey);
}

TEST(PixImageDraw, NothingToDoReturnsFalse) {
    Canvas c(2, 2, kGrey);
    Quad img;
    EXPECT_FALSE(img.Draw(c.Dc(), 0, 0, 0, -1));
    EXPECT_FALSE(img.Draw(c.Dc(), 0, 0, -1, 0));
    EXPECT_FALSE(img.Draw(nullptr, 0, 0));
    EXPECT_FALSE(PixImage().Draw(c.Dc(), 0, 0));
    EXPECT_FALSE(img.Draw2(c.Dc(), 0, 0, 0, 0));
    EXPECT_EQ(c.At(0, 0), kGrey);
}

TEST(PixImageDraw2, KeyedColourLeavesTargetWhateverItsColours) {
    struct Case {
        COLORREF text, back;
    };
    for (const Case k : {Case{RGB(0, 0, 0), RGB(255, 255, 255)}, Case{RGB(255, 0, 0), RGB(0, 0, 255)},
                         Case{RGB(255, 255, 255), RGB(0, 0, 0)}}) {
        Canvas c(2, 2, kGrey);
        SetTextColor(c.Dc(), k.text);
        SetBkColor(c.Dc(), k.back);
        Quad img;
        img.SetTransColor(Q(255, 0, 0));  // blue
        img.SetTransIndex(0);
        ASSERT_TRUE(img.Draw2(c.Dc(), 0, 0));
        EXPECT_EQ(c.At(0, 1), kGrey);
        EXPECT_EQ(c.At(0, 0), RGB(255, 0, 0));
        EXPECT_EQ(c.At(1, 0), RGB(0, 255, 0));
        EXPECT_EQ(c.At(1, 1), kWhite);
        EXPECT_EQ(GetTextColor(c.Dc()), k.text);
        EXPECT_EQ(GetBkColor(c.Dc()), k.back);
    }
}

TEST(PixImageDraw2, PalettedKeyIsThePaletteEntry) {
    Canvas c(2, 1, kGrey);
    PixImage img(2, 1, 8, 0);
    img.SetPaletteColor(3, 200, 100, 50);
    img.SetPaletteColor(4, 1, 2, 3);
    img.SetPixelIndex(0, 0, 3);
    img.SetPixelIndex(1, 0, 4);
    img.SetTransIndex(3);
    ASSERT_TRUE(img.Draw2(c.Dc(), 0, 0));
    EXPECT_EQ(c.At(0, 0), kGrey);
    EXPECT_EQ(c.At(1, 0), RGB(1, 2, 3));
}

TEST(PixImageDraw2, WithoutKeyCopiesAndStretches) {
    Canvas c(4, 4, kGrey);
    Quad img;
    ASSERT_TRUE(img.Draw2(c.Dc(), 0, 0, 4, 4));
    EXPECT_EQ(c.At(1, 1), RGB(255, 0, 0));
    EXPECT_EQ(c.At(2, 3), kWhite);
}

TEST(PixImageBitmap, SectionAndCompatibleBitmapHoldThePixels) {
    Quad img;
    for (bool withDc : {false, true}) {
        Canvas screen(1, 1, kGrey);
        HBITMAP bmp = img.MakeBitmap(withDc ? screen.Dc() : nullptr);
        ASSERT_NE(bmp, nullptr) << withDc;
        BITMAP info{};
        ASSERT_NE(GetObject(bmp, sizeof info, &info), 0);
        EXPECT_EQ(info.bmWidth, 2);
        EXPECT_EQ(info.bmHeight, 2);
        EXPECT_EQ(info.bmBits != nullptr, !withDc);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bmp);
        EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0)) << withDc;
        EXPECT_EQ(GetPixel(dc, 0, 1), RGB(0, 0, 255)) << withDc;
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bmp);
    }
    EXPECT_EQ(PixImage().MakeBitmap(nullptr), nullptr);
}

TEST(PixImageDraw, ScaledBlendedImageSamplesItsPixels) {
    Canvas c(4, 4, kGrey);
    Quad img;
    img.AlphaCreate();
    img.AlphaSet(1, 1, 0);  // top-right green is clear
    img.SetTransColor(Q(255, 0, 0));
    img.SetTransIndex(0);  // bottom-left blue is keyed out
    ASSERT_TRUE(img.Draw(c.Dc(), 0, 0, 4, 4));
    EXPECT_EQ(c.At(1, 1), RGB(255, 0, 0));
    EXPECT_EQ(c.At(2, 0), kGrey);
    EXPECT_EQ(c.At(3, 1), kGrey);
    EXPECT_EQ(c.At(0, 3), kGrey);
    EXPECT_EQ(c.At(3, 3), kWhite);
    EXPECT_EQ(c.At(2, 2), kWhite);
}
