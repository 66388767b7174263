#include "image/PixImage.h"

#include "ImageFixtures.h"

#include <gtest/gtest.h>

#include <cstring>

using fixtures::Q;
using fixtures::Rgb;

namespace {

// Fills a 24-bit image so that pixel (x, y) has red x, green y and blue 7.
void FillCoordinates(PixImage& img) {
    for (int y = 0; y < img.GetHeight(); ++y)
        for (int x = 0; x < img.GetWidth(); ++x) img.SetPixelColor(x, y, Q(7, static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(x)));
}

}  // namespace

struct CreateCase {
    int width, height, bpp;
    std::uint32_t wantBpp, wantColours, wantStride;
};

TEST(PixImageCreate, RoundsDepthAndPadsRows) {
    const CreateCase cases[] = {
        {3, 2, 5, 8, 256, 4},  {3, 2, 2, 4, 16, 4},   {33, 1, 1, 1, 2, 8},  {1, 1, 0, 1, 2, 4},
        {5, 3, 24, 24, 0, 16}, {5, 3, 32, 24, 0, 16}, {9, 1, 4, 4, 16, 8},
    };
    for (const CreateCase& c : cases) {
        PixImage img(c.width, c.height, static_cast<std::uint32_t>(c.bpp), 0);
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "@" << c.bpp);
        ASSERT_TRUE(img.IsValid());
        EXPECT_EQ(img.GetBpp(), c.wantBpp);
        EXPECT_EQ(img.GetPaletteSize(), c.wantColours * 4);
        EXPECT_EQ(img.GetEffWidth(), c.wantStride);
        EXPECT_EQ(img.GetSize(), 40 + c.wantColours * 4 + c.wantStride * static_cast<std::uint32_t>(c.height));
        // The header at the block's start is what the device-context functions read.
        BITMAPINFOHEADER head;
        std::memcpy(&head, img.GetBits(0) - 40 - img.GetPaletteSize(), sizeof head);
        EXPECT_EQ(head.biWidth, c.width);
        EXPECT_EQ(head.biSizeImage, c.wantStride * static_cast<std::uint32_t>(c.height));
    }
}

TEST(PixImageCreate, RefusesEmptySizesWithMessage) {
    for (auto [w, h] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{-3, 5}, std::pair{5, -1}}) {
        PixImage img(w, h, 8, 0);
        EXPECT_FALSE(img.IsValid());
        EXPECT_STREQ(img.GetLastError(), "PixImage::Create : width and height must be greater than zero");
    }
}

TEST(PixImageCreate, RefusesStorageBeyond32Bits) {
    // 65536 x 65536 at 8 bits is exactly 4 GiB of rows; 70000 x 70000 at 24 bits overflows too.
    for (auto [w, h, bpp] : {std::tuple{65536, 65536, 8}, std::tuple{70000, 70000, 24}, std::tuple{0x7FFFFFFF, 3, 1}}) {
        PixImage img(w, h, static_cast<std::uint32_t>(bpp), 0);
        EXPECT_FALSE(img.IsValid());
        EXPECT_STREQ(img.GetLastError(), "PIXIMAGE_MAX_MEMORY exceeded");
    }
}

TEST(PixImageCreate, GetBitsRefusesRowsPastTheEnd) {
    PixImage img(4, 3, 8, 0);
    EXPECT_NE(img.GetBits(2), nullptr);
    EXPECT_EQ(img.GetBits(3), nullptr);
    EXPECT_EQ(img.GetBits(0xFFFFFFFFu), nullptr);
}

TEST(PixImageClear, FillsBytesByDepth) {
    PixImage four(4, 2, 4, 0);
    four.Clear(7);
    EXPECT_EQ(four.GetBits(1)[0], 0x77);
    PixImage one(4, 2, 1, 0);
    one.Clear(1);
    EXPECT_EQ(one.GetBits(1)[3], 0xFF);
    PixImage eight(4, 2, 8, 0);
    eight.Clear(0x42);
    EXPECT_EQ(eight.GetBits(0)[2], 0x42);
}

TEST(PixImageTransfer, LeavesSourceEmpty) {
    PixImage a(3, 2, 24, 4);
    a.AlphaCreate();
    a.SetTransIndex(3);
    PixImage b(1, 1, 8, 0);
    b.Transfer(a);
    EXPECT_EQ(a.GetWidth(), 0);
    EXPECT_EQ(a.GetHeight(), 0);
    EXPECT_FALSE(a.AlphaIsValid());
    EXPECT_FALSE(a.IsValid());
    EXPECT_EQ(b.GetWidth(), 3);
    EXPECT_EQ(b.GetType(), 4u);
    EXPECT_TRUE(b.AlphaIsValid());
    EXPECT_EQ(b.GetTransIndex(), 3);
}

TEST(PixImageCopy, DuplicatesPixelsPaletteAndAlpha) {
    PixImage src(2, 2, 8, 1);
    src.SetPaletteColor(9, 10, 20, 30);
    src.SetPixelIndex(1, 1, 9);
    src.AlphaCreate();
    src.AlphaSet(1, 1, 77);
    PixImage copy(src, true, true, true);
    EXPECT_EQ(copy.GetPixelIndex(1, 1), 9);
    EXPECT_EQ(copy.AlphaGet(1, 1), 77);
    EXPECT_EQ(copy.GetPaletteColor(9).rgbGreen, 20);
    PixImage shape(src, false, false, false);
    EXPECT_EQ(shape.GetPaletteColor(9).rgbRed, 10);
    EXPECT_FALSE(shape.AlphaIsValid());
}

TEST(PixImageAlpha, CreateKeepsExistingValues) {
    PixImage img(3, 3, 24, 0);
    ASSERT_TRUE(img.AlphaCreate());
    EXPECT_EQ(img.AlphaGet(2, 2), 255);
    img.AlphaSet(1, 2, 9);
    img.AlphaCreate();
    EXPECT_EQ(img.AlphaGet(1, 2), 9);
}

TEST(PixImageAlpha, OutsideOrWithoutChannelReadsZero) {
    PixImage img(3, 3, 24, 0);
    EXPECT_EQ(img.AlphaGet(0, 0), 0);
    EXPECT_EQ(img.AlphaGetPointer(0, 0), nullptr);
    img.AlphaCreate();
    img.AlphaSet(3, 0, 1);  // outside: ignored
    EXPECT_EQ(img.AlphaGet(3, 0), 0);
    EXPECT_EQ(img.AlphaGet(-1, 0), 0);
    EXPECT_NE(img.AlphaGetPointer(2, 2), nullptr);
}

TEST(PixImageShiftRGB, PalettedImageChangesOnlyThePalette) {
    PixImage img(2, 1, 8, 0);
    img.SetPaletteColor(0, 10, 20, 30);
    img.SetPaletteColor(1, 250, 5, 128);
    img.SetPixelIndex(0, 0, 1);
    ASSERT_TRUE(img.ShiftRGB(300, -300, 0));
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(img.GetPaletteColor(static_cast<std::uint8_t>(i)).rgbRed, 255);
        EXPECT_EQ(img.GetPaletteColor(static_cast<std::uint8_t>(i)).rgbGreen, 0);
    }
    EXPECT_EQ(img.GetPaletteColor(1).rgbBlue, 128);
    EXPECT_EQ(img.GetPixelIndex(0, 0), 1);
}

TEST(PixImageShiftRGB, TrueColourClampsEveryPixelAndKeepsAlpha) {
    PixImage img(2, 2, 24, 0);
    img.SetPixelColor(0, 0, Q(100, 200, 10));
    img.AlphaCreate();
    img.AlphaSet(0, 0, 33);
    ASSERT_TRUE(img.ShiftRGB(-20, 100, 5));
    EXPECT_EQ(Rgb(img, 0, 0), 0x00FF69u);
    EXPECT_EQ(img.AlphaGet(0, 0), 33);
    PixImage empty;
    EXPECT_FALSE(empty.ShiftRGB(1, 1, 1));
}

TEST(PixImageTransforms, FlipReversesRowsAndAlpha) {
    PixImage img(2, 3, 24, 0);
    FillCoordinates(img);
    img.AlphaCreate();
    img.AlphaSet(1, 0, 5);
    ASSERT_TRUE(img.Flip());
    EXPECT_EQ(Rgb(img, 1, 2), 0x010007u);
    EXPECT_EQ(Rgb(img, 0, 0), 0x000207u);
    EXPECT_EQ(img.AlphaGet(1, 2), 5);
}

TEST(PixImageTransforms, MirrorReversesColumnsAtEveryDepth) {
    for (std::uint32_t bpp : {1u, 4u, 8u}) {
        PixImage img(5, 2, bpp, 0);
        img.SetPixelIndex(0, 1, 1);
        img.SetPixelIndex(3, 0, 1);
        ASSERT_TRUE(img.Mirror());
        EXPECT_EQ(img.GetPixelIndex(4, 1), 1) << bpp;
        EXPECT_EQ(img.GetPixelIndex(1, 0), 1) << bpp;
        EXPECT_EQ(img.GetPixelIndex(0, 1), 0) << bpp;
    }
    PixImage rgb(3, 1, 24, 0);
    FillCoordinates(rgb);
    rgb.Mirror();
    EXPECT_EQ(Rgb(rgb, 0, 0), 0x020007u);
}

TEST(PixImageTransforms, RotationsTurnAQuarterEachWay) {
    // 3 x 2 source; after RotateLeft (counter-clockwise) the source's bottom-right corner is the
    // top-right corner; after RotateRight it is the bottom-left.
    PixImage img(3, 2, 24, 0);
    FillCoordinates(img);
    img.AlphaCreate();
    img.AlphaSet(2, 0, 11);
    PixImage left(img, true, true, true);
    ASSERT_TRUE(left.RotateLeft());
    EXPECT_EQ(left.GetWidth(), 2);
    EXPECT_EQ(left.GetHeight(), 3);
    EXPECT_EQ(Rgb(left, 1, 2), 0x020007u);
    EXPECT_EQ(left.AlphaGet(1, 2), 11);
    PixImage right(img, true, true, true);
    PixImage out;
    ASSERT_TRUE(right.RotateRight(&out));
    EXPECT_TRUE(right.IsValid());
    EXPECT_EQ(Rgb(out, 0, 0), 0x020007u);
    EXPECT_EQ(out.AlphaGet(0, 0), 11);

    PixImage mono(9, 1, 1, 0);
    mono.SetPixelIndex(8, 0, 1);
    ASSERT_TRUE(mono.RotateLeft());
    EXPECT_EQ(mono.GetPixelIndex(0, 8), 1);
    EXPECT_EQ(mono.GetPixelIndex(0, 0), 0);
}

TEST(PixImageTransforms, NegativeInvertsPaletteOrGreyIndices) {
    PixImage pal(1, 1, 8, 0);
    pal.SetPaletteColor(3, 10, 20, 30);
    pal.SetPixelIndex(0, 0, 3);
    pal.Negative();
    EXPECT_EQ(pal.GetPixelIndex(0, 0), 3);
    EXPECT_EQ(Rgb(pal, 0, 0), 0xF5EBE1u);

    PixImage grey(1, 1, 8, 0);
    grey.SetGrayPalette();
    grey.SetPixelIndex(0, 0, 10);
    grey.Negative();
    EXPECT_EQ(grey.GetPixelIndex(0, 0), 245);

    PixImage rgb(1, 1, 24, 0);
    rgb.SetPixelColor(0, 0, Q(1, 2, 3));
    rgb.SetTransColor(Q(0, 0, 255));
    rgb.Negative();
    EXPECT_EQ(Rgb(rgb, 0, 0), 0xFCFDFEu);
    EXPECT_EQ(rgb.GetTransColor().rgbRed, 0);
    EXPECT_EQ(rgb.GetTransColor().rgbBlue, 255);
}

TEST(PixImageBitfield, SixteenBitLayoutsExpandToFullBytes) {
    struct Case {
        std::uint16_t pixel;
        std::uint32_t r, g, b;
        std::uint32_t want;  // 0xRRGGBB
    };
    const Case cases[] = {
        {0x7FFF, 0x7C00, 0x03E0, 0x001F, 0xF8F8F8},  // 5-5-5 white
        {0x7C00, 0x7C00, 0x03E0, 0x001F, 0xF80000},
        {0xFFFF, 0xF800, 0x07E0, 0x001F, 0xF8FCF8},  // 5-6-5 white: green keeps six bits
        {0x07E0, 0xF800, 0x07E0, 0x001F, 0x00FC00},
        {0x1234, 0, 0, 0, 0x000000},                 // no masks: nothing, and no bad shift
    };
    for (const Case& c : cases) {
        PixImage img(1, 1, 24, 0);
        const std::uint8_t src[4] = {static_cast<std::uint8_t>(c.pixel), static_cast<std::uint8_t>(c.pixel >> 8), 0, 0};
        img.Bitfield2RGB(src, c.r, c.g, c.b, 16);
        EXPECT_EQ(Rgb(img, 0, 0), c.want) << std::hex << c.pixel;
    }
}

TEST(PixImageBitfield, ConvertsInPlaceFromTheImagesOwnRows) {
    PixImage img(3, 2, 24, 0);
    // 32-bit source of 3 x 2 pixels written over the start of the pixel area.
    std::uint8_t src[24];
    for (int i = 0; i < 6; ++i) {
        src[4 * i] = static_cast<std::uint8_t>(i);
        src[4 * i + 1] = static_cast<std::uint8_t>(10 + i);
        src[4 * i + 2] = static_cast<std::uint8_t>(20 + i);
        src[4 * i + 3] = 0xEE;
    }
    std::memcpy(img.GetBits(0), src, sizeof src);
    img.Bitfield2RGB(img.GetBits(0), 0, 0, 0, 32);
    EXPECT_EQ(Rgb(img, 0, 0), 0x140A00u);
    EXPECT_EQ(Rgb(img, 2, 1), 0x190F05u);
}

TEST(PixImageSelection, DeleteResetsToEmptyBox) {
    PixImage img(4, 3, 8, 0);
    img.SelectionDelete();
    EXPECT_TRUE(img.SelectionIsInside(3, 2));
    EXPECT_FALSE(img.SelectionIsInside(4, 0));
}
