#include "image/PixImageICO.h"

#include "ImageFixtures.h"

#include <gtest/gtest.h>

using fixtures::Bytes;
using fixtures::DecodeAs;
using fixtures::Put16;
using fixtures::Put32;
using fixtures::Put8;
using fixtures::Q;
using fixtures::Rgb;

namespace {

struct PeekIco : PixImageICO {
    using PixImage::info;
};

struct IconImage {
    int width = 2;
    int height = 2;
    int bitCount = 8;
    std::vector<RGBQUAD> palette;  // written as the created image's palette size
    Bytes colour;                  // XOR bitmap rows, bottom-up, padded
    Bytes mask;                    // AND rows, bottom-up, padded to 4 bytes
};

Bytes Icon(const std::vector<IconImage>& images, std::uint16_t type = 1, std::uint8_t dirWidth = 0xFF) {
    Bytes out;
    Put16(out, 0);
    Put16(out, type);
    Put16(out, static_cast<std::uint32_t>(images.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    std::vector<Bytes> bodies;
    for (const IconImage& im : images) {
        Bytes body;
        Put32(body, 40);
        Put32(body, static_cast<std::uint32_t>(im.width));
        Put32(body, static_cast<std::uint32_t>(im.height * 2));
        Put16(body, 1);
        Put16(body, static_cast<std::uint32_t>(im.bitCount));
        for (int i = 0; i < 6; ++i) Put32(body, 0);
        for (const RGBQUAD& q : im.palette) {
            Put8(body, q.rgbBlue);
            Put8(body, q.rgbGreen);
            Put8(body, q.rgbRed);
            Put8(body, q.rgbReserved);
        }
        fixtures::Append(body, im.colour);
        fixtures::Append(body, im.mask);
        Put8(out, dirWidth == 0xFF ? static_cast<std::uint32_t>(im.width % 256) : dirWidth);
        Put8(out, static_cast<std::uint32_t>(im.height % 256));
        Put8(out, 0);
        Put8(out, 0);
        Put16(out, 1);
        Put16(out, static_cast<std::uint32_t>(im.bitCount));
        Put32(out, static_cast<std::uint32_t>(body.size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(body.size());
        bodies.push_back(std::move(body));
    }
    for (const Bytes& b : bodies) fixtures::Append(out, b);
    return out;
}

// 2 x 2 at 8 bits: indices 1 2 / 3 1 (bottom row first), palette i -> (i, i, i).
IconImage EightBit(Bytes mask) {
    IconImage im;
    for (int i = 0; i < 256; ++i) im.palette.push_back(Q(static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i)));
    im.colour = {1, 2, 0, 0, 3, 1, 0, 0};
    im.mask = std::move(mask);
    return im;
}

}  // namespace

TEST(PixImageICODecode, EightBitMaskUsesLowestUnusedIndex) {
    // The bottom-left pixel is masked; index 0 is unused, so it becomes the transparent index.
    PeekIco img;
    ASSERT_TRUE(DecodeAs(img, Icon({EightBit({0x80, 0, 0, 0, 0, 0, 0, 0})})));
    EXPECT_EQ(img.GetType(), 5u);
    EXPECT_EQ(img.info.frameCount, 1);
    EXPECT_EQ(img.GetTransIndex(), 0);
    EXPECT_EQ(img.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(img.GetPixelIndex(1, 0), 2);
    EXPECT_EQ(img.GetPixelIndex(0, 1), 3);
    EXPECT_FALSE(img.AlphaIsValid());
}

TEST(PixImageICODecode, UnmaskedIconHasNoTransparency) {
    PixImageICO img;
    ASSERT_TRUE(DecodeAs(img, Icon({EightBit(Bytes(8, 0))})));
    EXPECT_EQ(img.GetTransIndex(), -1);
    EXPECT_FALSE(img.AlphaIsValid());
    EXPECT_EQ(img.GetPixelIndex(0, 0), 1);
}

TEST(PixImageICODecode, AllOnesMaskInvertsColours) {
    PixImageICO img;
    ASSERT_TRUE(DecodeAs(img, Icon({EightBit(Bytes(8, 0xFF))})));
    EXPECT_EQ(img.GetTransIndex(), 0);
    EXPECT_EQ(Rgb(img, 0, 0), 0xFEFEFEu);
}

TEST(PixImageICODecode, TrueColourMaskWithOneColourBecomesTransparentColour) {
    IconImage im;
    im.bitCount = 24;
    im.colour = {9, 9, 9, 1, 2, 3, 0, 0, 9, 9, 9, 4, 5, 6, 0, 0};
    im.mask = {0x80, 0, 0, 0, 0x80, 0, 0, 0};  // left column masked, both pixels 9,9,9
    PixImageICO img;
    ASSERT_TRUE(DecodeAs(img, Icon({im})));
    EXPECT_EQ(img.GetTransIndex(), 0);
    EXPECT_EQ(img.GetTransColor().rgbBlue, 9);
    EXPECT_FALSE(img.AlphaIsValid());

    im.colour[8] = 8;  // masked pixels now differ: the mask stays as alpha
    PixImageICO mixed;
    ASSERT_TRUE(DecodeAs(mixed, Icon({im})));
    EXPECT_EQ(mixed.GetTransIndex(), -1);
    ASSERT_TRUE(mixed.AlphaIsValid());
    EXPECT_EQ(mixed.AlphaGet(0, 1), 0);
    EXPECT_EQ(mixed.AlphaGet(1, 1), 255);
}

TEST(PixImageICODecode, ThirtyTwoBitKeepsItsAlpha) {
    IconImage im;
    im.bitCount = 32;
    im.colour = {1, 2, 3, 10, 4, 5, 6, 20, 7, 8, 9, 30, 10, 11, 12, 40};
    im.mask = Bytes(8, 0);
    PixImageICO img;
    ASSERT_TRUE(DecodeAs(img, Icon({im})));
    EXPECT_EQ(img.GetBpp(), 24u);
    ASSERT_TRUE(img.AlphaIsValid());
    EXPECT_EQ(Rgb(img, 1, 1), 0x0C0B0Au);
    EXPECT_EQ(img.AlphaGet(0, 0), 10);
    EXPECT_EQ(img.AlphaGet(1, 1), 40);
}

TEST(PixImageICODecode, CursorAndSecondFrame) {
    IconImage second = EightBit(Bytes(8, 0));
    second.colour = {7, 7, 0, 0, 7, 7, 0, 0};
    PeekIco img;
    img.info.frame = 1;
    ASSERT_TRUE(DecodeAs(img, Icon({EightBit(Bytes(8, 0)), second}, 2)));
    EXPECT_EQ(img.info.frameCount, 2);
    EXPECT_EQ(img.GetPixelIndex(1, 1), 7);
    PeekIco missing;
    missing.info.frame = 2;
    EXPECT_FALSE(DecodeAs(missing, Icon({EightBit(Bytes(8, 0))})));
}

TEST(PixImageICODecode, WidthByteZeroMeans256) {
    IconImage im;
    im.width = 256;
    im.height = 1;
    im.bitCount = 1;
    im.palette = {Q(0, 0, 0), Q(255, 255, 255)};
    im.colour = Bytes(32, 0);
    im.colour[31] = 0x01;  // the last pixel of the row
    im.mask = Bytes(32, 0);
    PixImageICO img;
    ASSERT_TRUE(DecodeAs(img, Icon({im})));
    EXPECT_EQ(img.GetWidth(), 256);
    EXPECT_EQ(img.GetPixelIndex(255, 0), 1);
}

TEST(PixImageICODecode, MissingMaskStillDecodes) {
    IconImage im = EightBit({});
    PixImageICO img;
    ASSERT_TRUE(DecodeAs(img, Icon({im})));
    EXPECT_EQ(img.GetPixelIndex(0, 1), 3);
    EXPECT_EQ(img.GetTransIndex(), -1);
}

TEST(PixImageICODecode, RejectsWhatIsNoIcon) {
    const Bytes cases[] = {
        {0, 0, 3, 0, 1, 0},                     // type 3
        {1, 0, 1, 0, 1, 0},                     // reserved not 0
        {0, 0, 1, 0},                           // short header
        {0, 0, 1, 0, 0, 0},                     // no frames
        {0, 0, 1, 0, 1, 0, 2, 2, 0, 0},         // directory cut short
    };
    for (const Bytes& data : cases) {
        PixImageICO img;
        EXPECT_FALSE(DecodeAs(img, data));
        EXPECT_STREQ(img.GetLastError(), "");
    }
    Bytes farOffset = Icon({EightBit(Bytes(8, 0))});
    farOffset[6 + 12] = 0xFF;  // image offset far beyond the file
    farOffset[6 + 15] = 0x7F;
    PixImageICO img;
    EXPECT_FALSE(DecodeAs(img, farOffset));
}
