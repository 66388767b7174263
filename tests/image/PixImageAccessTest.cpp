#include "image/PixImage.h"

#include "ImageFixtures.h"

#include <gtest/gtest.h>

using fixtures::Q;
using fixtures::Rgb;

TEST(PixImageAccess, IndexOutsideIsTransparentIndexOrFirstStoredPixel) {
    PixImage img(3, 2, 8, 0);
    img.SetPixelIndex(0, 0, 42);
    EXPECT_EQ(img.GetPixelIndex(-1, 0), 42);
    EXPECT_EQ(img.GetPixelIndex(3, 1), 42);
    img.SetTransIndex(5);
    EXPECT_EQ(img.GetPixelIndex(-1, 0), 5);
    PixImage rgb(1, 1, 24, 0);
    EXPECT_EQ(rgb.GetPixelIndex(0, 0), 0);
}

TEST(PixImageAccess, PackedIndicesUseHighBitsForLeftPixels) {
    PixImage four(3, 1, 4, 0);
    four.SetPixelIndex(0, 0, 0xA);
    four.SetPixelIndex(1, 0, 0x3);
    EXPECT_EQ(four.GetBits(0)[0], 0xA3);
    four.SetPixelIndex(0, 0, 0x1);
    EXPECT_EQ(four.GetBits(0)[0], 0x13);
    PixImage one(10, 1, 1, 0);
    one.SetPixelIndex(0, 0, 1);
    one.SetPixelIndex(9, 0, 1);
    EXPECT_EQ(one.GetBits(0)[0], 0x80);
    EXPECT_EQ(one.GetBits(0)[1], 0x40);
    EXPECT_EQ(one.GetPixelIndex(9, 0), 1);
    one.SetPixelIndex(0, 0, 0);
    EXPECT_EQ(one.GetBits(0)[0], 0x00);
}

TEST(PixImageAccess, NearestIndexPrefersLowerEntryAndForgetsAfterPaletteChange) {
    PixImage img(1, 1, 4, 0);
    img.SetPaletteColor(2, 100, 100, 100);
    img.SetPaletteColor(5, 100, 100, 100);
    img.SetPaletteColor(0, 1, 1, 1);
    EXPECT_EQ(img.GetNearestIndex(Q(100, 100, 100)), 2);
    img.SetPaletteColor(2, 0, 0, 0);
    EXPECT_EQ(img.GetNearestIndex(Q(100, 100, 100)), 5);
    EXPECT_EQ(img.GetNearestIndex(Q(90, 90, 90)), 5);
    img.SetPixelColor(0, 0, Q(2, 2, 2));
    EXPECT_EQ(img.GetPixelIndex(0, 0), 0);
}

TEST(PixImageAccess, PixelColourOutsideFollowsTransparency) {
    PixImage rgb(2, 1, 24, 0);
    rgb.SetPixelColor(0, 0, Q(1, 2, 3));
    rgb.AlphaCreate();
    rgb.AlphaSet(0, 0, 80);
    EXPECT_EQ(Rgb(rgb, 5, 5), 0x030201u);
    EXPECT_EQ(rgb.GetPixelColor(5, 5).rgbReserved, 80);
    rgb.SetTransIndex(0);
    rgb.SetTransColor(Q(9, 9, 9, 9));
    EXPECT_EQ(Rgb(rgb, -1, 0), 0x090909u);
    EXPECT_EQ(rgb.GetTransColor().rgbReserved, 0);

    PixImage pal(2, 1, 8, 0);
    pal.SetPaletteColor(7, 70, 71, 72);
    pal.SetTransIndex(7);
    EXPECT_EQ(Rgb(pal, 9, 0), 0x464748u);
    EXPECT_EQ(pal.GetTransColor().rgbBlue, 72);
    PixImage empty;
    empty.SetTransColor(Q(4, 5, 6));
    EXPECT_EQ(empty.GetPixelColor(0, 0).rgbBlue, 4);
}

TEST(PixImageAccess, PaletteSettersStayInsideThePalette) {
    PixImage img(1, 1, 1, 0);
    const std::uint8_t reds[4] = {10, 20, 30, 40};
    img.SetPalette(4, reds);  // greens and blues default to the reds
    EXPECT_EQ(Rgb(img, 0, 0), 0x0A0A0Au);
    EXPECT_EQ(img.GetPaletteColor(1).rgbBlue, 20);
    EXPECT_EQ(img.GetPaletteColor(2).rgbBlue, 0);  // not an entry of a 1-bit palette
    img.SetPaletteColor(200, 1, 2, 3);
    const RGBQUAD many[300] = {};
    img.SetPalette(many, 300);
    EXPECT_EQ(img.GetPaletteColor(1).rgbRed, 0);
    const std::uint8_t triples[6] = {1, 2, 3, 4, 5, 6};
    img.SetPalette(triples, 2);
    EXPECT_EQ(img.GetPaletteColor(1).rgbRed, 4);
    EXPECT_EQ(img.GetPaletteColor(1).rgbBlue, 6);
}

TEST(PixImageAccess, GrayPaletteStepsByDepth) {
    PixImage one(1, 1, 1, 0);
    one.SetGrayPalette();
    EXPECT_EQ(one.GetPaletteColor(0).rgbRed, 0);
    EXPECT_EQ(one.GetPaletteColor(1).rgbRed, 255);
    EXPECT_FALSE(one.IsGrayScale());
    PixImage four(1, 1, 4, 0);
    four.SetGrayPalette();
    EXPECT_EQ(four.GetPaletteColor(3).rgbGreen, 51);
    PixImage eight(1, 1, 8, 0);
    eight.SetGrayPalette();
    EXPECT_TRUE(eight.IsGrayScale());
}

TEST(PixImageAccess, DpiSettersRoundPixelsPerMetre) {
    struct Case {
        int dpi, wantDpi, wantPels;
    };
    for (const Case c : {Case{0, 96, 3780}, Case{-5, 96, 3780}, Case{300, 300, 11811}, Case{72, 72, 2835},
                        // Beyond what the header can hold: its largest value.
                        Case{2147483647, 2147483647, 2147483647}}) {
        PixImage img(1, 1, 24, 0);
        img.SetXDPI(c.dpi);
        img.SetYDPI(c.dpi);
        // The pixels-per-metre fields reach a bitmap made from the image.
        PixImage copy(img, true, false, false);
        BITMAPINFOHEADER head;
        std::memcpy(&head, copy.GetBits(0) - 40, 40);
        EXPECT_EQ(head.biXPelsPerMeter, c.wantPels) << c.dpi;
        EXPECT_EQ(head.biYPelsPerMeter, c.wantPels) << c.dpi;
    }
}

TEST(PixImageAccess, CodecOptionsPerFormatType) {
    PixImage img(4);
    EXPECT_TRUE(img.SetCodecOption(1));
    EXPECT_EQ(img.GetCodecOption(4), 1u);
    EXPECT_EQ(img.GetCodecOption(0), 1u);
    EXPECT_TRUE(img.SetCodecOption(9, 9));
    EXPECT_EQ(img.GetCodecOption(9), 9u);
    EXPECT_FALSE(img.SetCodecOption(1, 10));
    EXPECT_EQ(img.GetCodecOption(10), 0u);
}

TEST(PixImageAccess, RgbHelpersSwapAndConvert) {
    const RGBQUAD q = PixImage::RGBtoRGBQUAD(RGB(1, 2, 3));
    EXPECT_EQ(q.rgbRed, 1);
    EXPECT_EQ(q.rgbBlue, 3);
    PixImage img(2, 1, 24, 0);  // stride 8: the swap stops there
    std::uint8_t buf[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    img.RGBtoBGR(buf, 12);
    EXPECT_EQ(buf[0], 3);
    EXPECT_EQ(buf[5], 4);
    EXPECT_EQ(buf[6], 7);
}
