#include "image/PixImagePCX.h"

#include "ImageFixtures.h"

#include <gtest/gtest.h>

using fixtures::Bytes;
using fixtures::DecodeAs;
using fixtures::Put16;
using fixtures::Put8;
using fixtures::Rgb;

namespace {

// A 128-byte PCX header (xmin = ymin = 0) followed by `body` (RLE data and what follows it).
Bytes Pcx(std::uint8_t bits, std::uint8_t planes, std::uint16_t w, std::uint16_t h, std::uint16_t bytesPerLine,
          const Bytes& body, std::uint8_t encoding = 1) {
    Bytes b;
    Put8(b, 10);
    Put8(b, 5);
    Put8(b, encoding);
    Put8(b, bits);
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, w - 1);
    Put16(b, h - 1);
    Put16(b, 150);
    Put16(b, 75);
    for (int i = 0; i < 16; ++i) {  // header palette: entry i = (i, 2i, 3i)
        Put8(b, i);
        Put8(b, 2 * i);
        Put8(b, 3 * i);
    }
    Put8(b, 0);
    Put8(b, planes);
    Put16(b, bytesPerLine);
    Put16(b, 1);
    while (b.size() < 128) Put8(b, 0);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes Vga(Bytes body, std::uint8_t marker = 12) {
    body.push_back(marker);
    for (int i = 0; i < 256; ++i) {
        body.push_back(static_cast<std::uint8_t>(i));
        body.push_back(static_cast<std::uint8_t>(255 - i));
        body.push_back(7);
    }
    return body;
}

TEST(PcxTest, EightBitRunsAndPaletteAfterMarker) {
    // 3 x 2: a run of three 5s (0xC3 5), then 1, 2, then a literal 0xC0-range value by a run of one.
    PixImagePCX img;
    ASSERT_TRUE(DecodeAs(img, Pcx(8, 1, 3, 2, 3, Vga({0xC3, 5, 1, 2, 0xC1, 0xD0})))) << img.GetLastError();
    EXPECT_EQ(img.GetBpp(), 8u);
    EXPECT_EQ(img.GetPixelIndex(0, 1), 5);  // first file line is the top row
    EXPECT_EQ(img.GetPixelIndex(2, 1), 5);
    EXPECT_EQ(img.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(img.GetPixelIndex(2, 0), 0xD0);
    EXPECT_EQ(Rgb(img, 0, 1), 0x05FA07u);
}

TEST(PcxTest, BadPaletteMarkerFails) {
    PixImagePCX img;
    EXPECT_FALSE(DecodeAs(img, Pcx(8, 1, 1, 1, 1, Vga({1}, 11))));
    EXPECT_STREQ(img.GetLastError(), "bad color map signature");
}

TEST(PcxTest, TwentyFourBitTakesRedFromFirstPlane) {
    PixImagePCX img;
    ASSERT_TRUE(DecodeAs(img, Pcx(8, 3, 2, 1, 2, {10, 11, 20, 21, 30, 31})));
    EXPECT_EQ(img.GetBpp(), 24u);
    EXPECT_FALSE(img.AlphaIsValid());
    EXPECT_EQ(Rgb(img, 0, 0), 0x0A141Eu);
    EXPECT_EQ(Rgb(img, 1, 0), 0x0B151Fu);
}

TEST(PcxTest, FourthPlaneOfEightBitsIsAlpha) {
    PixImagePCX img;
    ASSERT_TRUE(DecodeAs(img, Pcx(8, 4, 1, 1, 1, {10, 20, 30, 99})));
    ASSERT_TRUE(img.AlphaIsValid());
    EXPECT_EQ(img.AlphaGet(0, 0), 99);
}

TEST(PcxTest, FourPlanesOfOneBitBuildIndexWithPlaneZeroLowest) {
    // Pixel 0 has bits in planes 0 and 2 (index 5), pixel 1 in plane 3 only (index 8).
    PixImagePCX img;
    ASSERT_TRUE(DecodeAs(img, Pcx(1, 4, 2, 1, 1, {0x80, 0x00, 0x80, 0x40})));
    EXPECT_EQ(img.GetBpp(), 4u);
    EXPECT_EQ(img.GetPixelIndex(0, 0), 5);
    EXPECT_EQ(img.GetPixelIndex(1, 0), 8);
    EXPECT_EQ(Rgb(img, 0, 0), 0x050A0Fu);  // header palette entry 5
}

TEST(PcxTest, OneBitIsBlackAndWhite) {
    PixImagePCX img;
    ASSERT_TRUE(DecodeAs(img, Pcx(1, 1, 8, 1, 2, {0xA0, 0})));
    EXPECT_EQ(Rgb(img, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(Rgb(img, 1, 0), 0x000000u);
    EXPECT_EQ(Rgb(img, 2, 0), 0xFFFFFFu);
}

TEST(PcxTest, TwoBitPixelsUnpackFourPerByte) {
    PixImagePCX img;
    ASSERT_TRUE(DecodeAs(img, Pcx(2, 1, 4, 1, 2, {0x1B, 0})));
    for (int x = 0; x < 4; ++x) EXPECT_EQ(img.GetPixelIndex(x, 0), x);
}

TEST(PcxTest, ResolutionComesFromHeader) {
    // The image has no resolution getter; the info record is read through a subclass.
    struct Probe : PixImagePCX {
        [[nodiscard]] int GetXDPI() const { return info.xDpi; }
        [[nodiscard]] int GetYDPI() const { return info.yDpi; }
    } img;
    ASSERT_TRUE(DecodeAs(img, Pcx(1, 1, 1, 1, 2, {0, 0})));
    // 150 x 75 dots per inch in the header.
    EXPECT_EQ(img.GetXDPI(), 150);
    EXPECT_EQ(img.GetYDPI(), 75);
}

struct PcxFailure {
    const char* name;
    Bytes file;
    const char* error;
};

class PcxFailureTest : public ::testing::TestWithParam<PcxFailure> {};

TEST_P(PcxFailureTest, FailsWithItsText) {
    PixImagePCX img;
    EXPECT_FALSE(DecodeAs(img, GetParam().file));
    EXPECT_STREQ(img.GetLastError(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PcxFailureTest,
    ::testing::Values(PcxFailure{"ShortHeader", {10, 5, 1}, "Can't read PCX image"},
                      PcxFailure{"WrongMaker", [] { Bytes b = Pcx(8, 1, 1, 1, 1, {1}); b[0] = 9; return b; }(),
                                 "Error: Not a PCX file"},
                      PcxFailure{"NotRle", Pcx(8, 1, 1, 1, 1, {1}, 0), "PCX file has unknown encoding scheme"},
                      PcxFailure{"FivePlanes", Pcx(1, 5, 1, 1, 1, {1}), "Can't handle image with more than 4 planes"},
                      PcxFailure{"RunPastImage", Pcx(8, 3, 1, 1, 1, {0xC4, 1}), "repeat count spans end of image"},
                      PcxFailure{"DataCutShort", Pcx(8, 3, 2, 1, 2, {1, 2, 3}), "corrupted PCX"},
                      PcxFailure{"PaletteCutShort", Pcx(8, 1, 1, 1, 1, {1, 12, 0, 0}), "corrupted PCX"},
                      PcxFailure{"NoPlanes", Pcx(1, 0, 100, 100, 13, {}), "PCX bits per pixel not supported"},
                      PcxFailure{"NoBits", Pcx(0, 1, 100, 100, 13, {}), "PCX bits per pixel not supported"},
                      PcxFailure{"TwoPlanesOfTwoBits", Pcx(2, 2, 1, 1, 1, {0, 0}),
                                 "Can't handle more than 1 bit per pixel"},
                      // Lines shorter than the width would read the next plane's bytes as pixels.
                      PcxFailure{"LineShorterThanWidth", Pcx(8, 1, 4, 1, 2, Vga({1, 2})),
                                 "PCX line shorter than the image width"},
                      PcxFailure{"HugeClaimTinyFile", Pcx(8, 3, 8000, 8000, 8000, {0xFF, 1}), "corrupted PCX"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
