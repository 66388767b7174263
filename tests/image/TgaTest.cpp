#include "image/PixImageTGA.h"

#include "ImageFixtures.h"

#include <gtest/gtest.h>

using fixtures::Bytes;
using fixtures::DecodeAs;
using fixtures::Put16;
using fixtures::Put8;
using fixtures::Rgb;

namespace {

// An 18-byte TGA header followed by `body`.
Bytes Tga(std::uint8_t type, std::uint16_t w, std::uint16_t h, std::uint8_t depth, std::uint8_t descriptor,
          const Bytes& body, std::uint8_t mapType = 0, std::uint16_t mapLength = 0) {
    Bytes b;
    Put8(b, 0);
    Put8(b, mapType);
    Put8(b, type);
    Put16(b, 0);
    Put16(b, mapLength);
    Put8(b, mapLength ? 24 : 0);
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, w);
    Put16(b, h);
    Put8(b, depth);
    Put8(b, descriptor);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

TEST(TgaTest, RunLengthPacketsCrossingLinesMatchUncompressedTwin) {
    // 3 x 2, bottom-up: bottom row A A A, top row A B C (A = blue, B = green, C = red).
    const Bytes plain = {255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    // A run of 4 crosses the first line's end; a raw packet of 2 finishes the image.
    const Bytes packed = {0x83, 255, 0, 0, 0x01, 0, 255, 0, 0, 0, 255};
    PixImageTGA a, b;
    ASSERT_TRUE(DecodeAs(a, Tga(2, 3, 2, 24, 0, plain))) << a.GetLastError();
    ASSERT_TRUE(DecodeAs(b, Tga(10, 3, 2, 24, 0, packed))) << b.GetLastError();
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(Rgb(a, x, y), Rgb(b, x, y)) << x << "," << y;
    EXPECT_EQ(Rgb(b, 1, 1), 0x00FF00u);
    EXPECT_EQ(Rgb(b, 2, 1), 0xFF0000u);
}

TEST(TgaTest, RawPacketCrossingLineEndContinuesOnNextLine) {
    // One raw packet of 4 grey values over a 2 x 2 image.
    PixImageTGA img;
    ASSERT_TRUE(DecodeAs(img, Tga(11, 2, 2, 8, 0, {0x03, 10, 20, 30, 40})));
    EXPECT_EQ(img.GetPixelIndex(0, 0), 10);
    EXPECT_EQ(img.GetPixelIndex(1, 0), 20);
    EXPECT_EQ(img.GetPixelIndex(0, 1), 30);
    EXPECT_EQ(img.GetPixelIndex(1, 1), 40);
    EXPECT_EQ(Rgb(img, 1, 1), 0x282828u);  // grey palette
}

TEST(TgaTest, SixteenBitWhiteIs248) {
    PixImageTGA img;
    ASSERT_TRUE(DecodeAs(img, Tga(2, 1, 1, 16, 0, {0xFF, 0x7F})));
    EXPECT_EQ(img.GetBpp(), 24u);
    EXPECT_EQ(Rgb(img, 0, 0), 0xF8F8F8u);
}

TEST(TgaTest, TopDownThirtyTwoBitKeepsAlphaWithItsPixel) {
    // 1 x 2, first file line (the top) red with alpha 10, second blue with alpha 200.
    PixImageTGA img;
    ASSERT_TRUE(DecodeAs(img, Tga(2, 1, 2, 32, 0x20, {0, 0, 255, 10, 255, 0, 0, 200})));
    ASSERT_TRUE(img.AlphaIsValid());
    EXPECT_EQ(Rgb(img, 0, 1), 0xFF0000u);
    EXPECT_EQ(img.AlphaGet(0, 1), 10);
    EXPECT_EQ(Rgb(img, 0, 0), 0x0000FFu);
    EXPECT_EQ(img.AlphaGet(0, 0), 200);
}

TEST(TgaTest, RightToLeftFileIsMirrored) {
    PixImageTGA img;
    ASSERT_TRUE(DecodeAs(img, Tga(3, 2, 1, 8, 0x10, {1, 2})));
    EXPECT_EQ(img.GetPixelIndex(0, 0), 2);
    EXPECT_EQ(img.GetPixelIndex(1, 0), 1);
}

TEST(TgaTest, ColourMapEntriesAreBlueGreenRed) {
    PixImageTGA img;
    ASSERT_TRUE(DecodeAs(img, Tga(1, 2, 1, 8, 0, {10, 20, 30, 40, 50, 60, 1, 0}, 1, 2)));
    EXPECT_EQ(Rgb(img, 0, 0), 0x3C3228u);
    EXPECT_EQ(Rgb(img, 1, 0), 0x1E140Au);
}

struct TgaFailure {
    const char* name;
    Bytes file;
    const char* error;
};

class TgaFailureTest : public ::testing::TestWithParam<TgaFailure> {};

TEST_P(TgaFailureTest, FailsWithItsText) {
    PixImageTGA img;
    EXPECT_FALSE(DecodeAs(img, GetParam().file));
    EXPECT_STREQ(img.GetLastError(), GetParam().error);
    EXPECT_FALSE(img.IsValid());
}

INSTANTIATE_TEST_SUITE_P(
    Files, TgaFailureTest,
    ::testing::Values(TgaFailure{"ShortHeader", {0, 0, 2, 0, 0}, "Not a TGA"},
                      TgaFailure{"UnknownType", Tga(4, 1, 1, 24, 0, {0, 0, 0}), "Unknown TGA image type"},
                      TgaFailure{"ZeroWidth", Tga(2, 0, 1, 24, 0, {0, 0, 0}), "bad TGA header"},
                      TgaFailure{"OddDepth", Tga(2, 1, 1, 12, 0, {0, 0, 0}), "bad TGA header"},
                      TgaFailure{"LongColourMap", Tga(1, 1, 1, 8, 0, {0}, 1, 257), "bad TGA header"},
                      // Short reads inside a line, in a run value and in a raw packet.
                      TgaFailure{"LineCutShort", Tga(2, 2, 1, 24, 0, {1, 2, 3, 4}), "corrupted TGA"},
                      TgaFailure{"RunValueCutShort", Tga(10, 2, 1, 24, 0, {0x81, 1}), "corrupted TGA"},
                      TgaFailure{"RawPacketCutShort", Tga(10, 2, 1, 24, 0, {0x01, 1, 2, 3, 4}), "corrupted TGA"},
                      TgaFailure{"MissingLine", Tga(2, 1, 2, 24, 0, {1, 2, 3}), "corrupted TGA"},
                      // 65535 x 65535 from an 18-byte header: refused before any allocation, with
                      // the text of an image that could not be made.
                      TgaFailure{"HugeHeaderTinyFile", Tga(10, 0xFFFF, 0xFFFF, 8, 0, {0x81, 1}),
                                 "TGA Create failed"},
                      TgaFailure{"HugeUncompressedHeader", Tga(2, 0xFFFF, 0xFFFF, 32, 0, {1, 2, 3, 4}),
                                 "TGA Create failed"},
                      TgaFailure{"LargerThanItsData", Tga(10, 4000, 4000, 8, 0, {0xFF, 1}), "corrupted TGA"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
