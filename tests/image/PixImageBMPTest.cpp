#include "image/PixImageBMP.h"

#include "ImageFixtures.h"

#include <gtest/gtest.h>

using fixtures::Bmp;
using fixtures::Bytes;
using fixtures::DecodeAs;
using fixtures::MemFile;
using fixtures::PadRows;
using fixtures::Q;
using fixtures::Rgb;

namespace {

// 2 x 2 at 24 bits, bottom row red, green; top row blue, white.
Bmp TwoByTwo() {
    Bmp b;
    b.width = 2;
    b.height = 2;
    b.pixels = PadRows({{0, 0, 255, 0, 255, 0}, {255, 0, 0, 255, 255, 255}});
    return b;
}

void ExpectTwoByTwo(const PixImage& img) {
    ASSERT_TRUE(img.IsValid());
    EXPECT_EQ(img.GetBpp(), 24u);
    EXPECT_EQ(Rgb(img, 0, 0), 0xFF0000u);
    EXPECT_EQ(Rgb(img, 1, 0), 0x00FF00u);
    EXPECT_EQ(Rgb(img, 0, 1), 0x0000FFu);
    EXPECT_EQ(Rgb(img, 1, 1), 0xFFFFFFu);
}

Bmp Paletted(std::uint16_t bits, std::int32_t width, std::vector<Bytes> rows) {
    Bmp b;
    b.bitCount = bits;
    b.width = width;
    b.height = static_cast<std::int32_t>(rows.size());
    for (std::uint32_t i = 0; i < (1u << bits); ++i)
        b.palette.push_back(Q(static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 2), static_cast<std::uint8_t>(i * 3), 0xAA));
    b.pixels = PadRows(rows);
    return b;
}

}  // namespace

TEST(PixImageBMPDecode, TrueColourBottomUp) {
    PixImageBMP img;
    ASSERT_TRUE(DecodeAs(img, TwoByTwo().Build()));
    ExpectTwoByTwo(img);
    EXPECT_EQ(img.GetType(), 1u);
}

TEST(PixImageBMPDecode, NegativeHeightIsTopDown) {
    Bmp b = TwoByTwo();
    b.height = -2;
    b.pixels = PadRows({{255, 0, 0, 255, 255, 255}, {0, 0, 255, 0, 255, 0}});
    PixImageBMP img;
    ASSERT_TRUE(DecodeAs(img, b.Build()));
    ExpectTwoByTwo(img);
}

TEST(PixImageBMPDecode, EveryInformationHeaderKind) {
    for (std::uint32_t size : {12u, 40u, 64u, 108u, 124u}) {
        Bmp b = Paletted(8, 3, {{1, 2, 3}, {4, 5, 6}});
        b.headerSize = size;
        if (size > 64) b.sizeImage = 8;  // larger headers are taken only when fully consistent
        PixImageBMP img;
        ASSERT_TRUE(DecodeAs(img, b.Build())) << size << img.GetLastError();
        EXPECT_EQ(img.GetWidth(), 3) << size;
        EXPECT_EQ(img.GetPixelIndex(2, 1), 6) << size;
        EXPECT_EQ(Rgb(img, 0, 0), 0x030201u) << size;
        EXPECT_EQ(img.GetPaletteColor(1).rgbReserved, 0) << size;  // reserved bytes cleared
    }
}

TEST(PixImageBMPDecode, InconsistentLargeHeaderIsRefused) {
    Bmp b = TwoByTwo();
    b.headerSize = 108;
    b.compression = 3;
    PixImageBMP img;
    EXPECT_FALSE(DecodeAs(img, b.Build()));
    EXPECT_STREQ(img.GetLastError(), "Error reading BMP info");
}

TEST(PixImageBMPDecode, HeaderlessDibFromStreamPosition) {
    Bmp b = TwoByTwo();
    b.withFileHeader = false;
    Bytes data = {'j', 'u', 'n', 'k'};
    fixtures::Append(data, b.Build());
    MemFile f(data, 4);
    PixImageBMP img;
    ASSERT_TRUE(img.Decode(&f));
    ExpectTwoByTwo(img);
}

TEST(PixImageBMPDecode, PackedDepths) {
    PixImageBMP one;
    ASSERT_TRUE(DecodeAs(one, Paletted(1, 10, {{0xA0, 0x40}}).Build()));
    EXPECT_EQ(one.GetBpp(), 1u);
    EXPECT_EQ(one.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(one.GetPixelIndex(1, 0), 0);
    EXPECT_EQ(one.GetPixelIndex(2, 0), 1);
    EXPECT_EQ(one.GetPixelIndex(9, 0), 1);
    PixImageBMP four;
    ASSERT_TRUE(DecodeAs(four, Paletted(4, 3, {{0x12, 0x30}, {0xF0, 0x0E}}).Build()));
    EXPECT_EQ(four.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(four.GetPixelIndex(2, 0), 3);
    EXPECT_EQ(four.GetPixelIndex(0, 1), 15);
    EXPECT_EQ(Rgb(four, 0, 1), 0x2D1E0Fu);
}

TEST(PixImageBMPDecode, SixteenBitMasks) {
    // BI_RGB means 5-5-5; BI_BITFIELDS with 5-6-5 masks keeps the sixth green bit.
    Bmp rgb;
    rgb.bitCount = 16;
    rgb.width = 2;
    rgb.pixels = {0xFF, 0x7F, 0x00, 0x7C};
    PixImageBMP a;
    ASSERT_TRUE(DecodeAs(a, rgb.Build()));
    EXPECT_EQ(a.GetBpp(), 24u);
    EXPECT_EQ(Rgb(a, 0, 0), 0xF8F8F8u);
    EXPECT_EQ(Rgb(a, 1, 0), 0xF80000u);

    Bmp fields = rgb;
    fields.compression = 3;
    fields.masks = {0xF800, 0x07E0, 0x001F};
    fields.pixels = {0xE0, 0x07, 0x1F, 0x00};
    PixImageBMP b;
    ASSERT_TRUE(DecodeAs(b, fields.Build()));
    EXPECT_EQ(Rgb(b, 0, 0), 0x00FC00u);
    EXPECT_EQ(Rgb(b, 1, 0), 0x0000F8u);
}

TEST(PixImageBMPDecode, ThirtyTwoBitDropsFourthByte) {
    for (std::uint32_t compression : {0u, 3u}) {
        Bmp b;
        b.bitCount = 32;
        b.width = 2;
        b.height = 1;
        b.compression = compression;
        b.pixels = {1, 2, 3, 99, 4, 5, 6, 99};
        PixImageBMP img;
        ASSERT_TRUE(DecodeAs(img, b.Build()));
        EXPECT_EQ(Rgb(img, 0, 0), 0x030201u);
        EXPECT_EQ(Rgb(img, 1, 0), 0x060504u);
        EXPECT_FALSE(img.AlphaIsValid());
    }
}

TEST(PixImageBMPDecode, CoreHeaderPaletteHasThreeByteEntries) {
    Bmp b = Paletted(1, 2, {{0x40}});
    b.headerSize = 12;
    b.palette = {Q(1, 2, 3), Q(4, 5, 6)};
    PixImageBMP img;
    ASSERT_TRUE(DecodeAs(img, b.Build()));
    EXPECT_EQ(Rgb(img, 0, 0), 0x030201u);
    EXPECT_EQ(Rgb(img, 1, 0), 0x060504u);
}

TEST(PixImageBMPDecode, ColourCountLargerThanPaletteIsSkipped) {
    // A 1-bit file announcing 300 entries: two are kept, the rest skipped, pixels still found.
    for (bool withFileHeader : {true, false}) {
        Bmp b = Paletted(1, 8, {{0x0F}});
        b.clrUsed = 300;
        b.palette.resize(300, Q(9, 9, 9));
        b.withFileHeader = withFileHeader;
        PixImageBMP img;
        ASSERT_TRUE(DecodeAs(img, b.Build()));
        EXPECT_EQ(img.GetPaletteSize(), 8u);
        EXPECT_EQ(img.GetPixelIndex(3, 0), 0) << withFileHeader;
        EXPECT_EQ(img.GetPixelIndex(4, 0), 1) << withFileHeader;
    }
}

TEST(PixImageBMPDecode, ShortPixelDataKeepsWhatWasRead) {
    Bmp b = Paletted(8, 4, {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}});
    b.pixels.resize(6);
    PixImageBMP img;
    ASSERT_TRUE(DecodeAs(img, b.Build()));
    EXPECT_EQ(img.GetPixelIndex(3, 0), 4);
    EXPECT_EQ(img.GetPixelIndex(1, 1), 6);
    EXPECT_EQ(img.GetPixelIndex(2, 1), 0);
    EXPECT_EQ(img.GetPixelIndex(0, 2), 0);

    b.height = -3;  // top-down and short: the rows read are the top rows
    PixImageBMP top;
    ASSERT_TRUE(DecodeAs(top, b.Build()));
    EXPECT_EQ(top.GetPixelIndex(3, 2), 4);
    EXPECT_EQ(top.GetPixelIndex(1, 1), 6);
    EXPECT_EQ(top.GetPixelIndex(0, 0), 0);
}

TEST(PixImageBMPDecode, ErrorTexts) {
    struct Case {
        const char* name;
        Bytes data;
        const char* error;
    };
    Bmp badSize = TwoByTwo();
    badSize.headerSize = 20;
    Bmp rle24 = TwoByTwo();
    rle24.compression = 1;
    Bmp rle32 = TwoByTwo();
    rle32.bitCount = 32;
    rle32.compression = 2;
    Bmp jpegIn8 = Paletted(8, 1, {{0}});
    jpegIn8.compression = 4;
    Bmp zeroWidth = TwoByTwo();
    zeroWidth.width = 0;
    Bmp huge = TwoByTwo();
    huge.width = 100000;
    huge.height = -100000;
    // Under the storage ceiling, but no header of a few bytes may make the decoder claim gigabytes.
    Bmp tooManyPixels = TwoByTwo();
    tooManyPixels.width = 20000;
    tooManyPixels.height = 20000;
    Bmp minHeight = TwoByTwo();
    minHeight.height = INT32_MIN;
    const Case cases[] = {
        {"short", {'B', 'M', 1}, "Not a BMP"},
        {"bad header size", badSize.Build(), "Error reading BMP info"},
        {"no info header", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0}, "Error reading BMP info"},
        {"rle at 24 bits", rle24.Build(), "unknown compression"},
        {"rle4 at 32 bits", rle32.Build(), "unknown compression"},
        {"jpeg at 8 bits", jpegIn8.Build(), "compression type not supported"},
        {"zero width", zeroWidth.Build(), "Can't allocate memory"},
        {"beyond the ceiling", huge.Build(), "Can't allocate memory"},
        {"more pixels than a picture has", tooManyPixels.Build(), "Can't allocate memory"},
        {"lowest height", minHeight.Build(), "Can't allocate memory"},
    };
    for (const Case& c : cases) {
        PixImageBMP img;
        EXPECT_FALSE(DecodeAs(img, c.data)) << c.name;
        EXPECT_STREQ(img.GetLastError(), c.error) << c.name;
        EXPECT_FALSE(img.IsValid()) << c.name;
    }
}

// ---- RLE ---------------------------------------------------------------------------------------

namespace {

Bmp Rle(std::uint16_t bits, std::int32_t width, std::int32_t height, Bytes stream) {
    Bmp b;
    b.bitCount = bits;
    b.width = width;
    b.height = height;
    b.compression = bits == 8 ? 1 : 2;
    for (std::uint32_t i = 0; i < (1u << bits); ++i) b.palette.push_back(Q(0, 0, static_cast<std::uint8_t>(i)));
    b.pixels = std::move(stream);
    return b;
}

std::vector<int> Row(const PixImage& img, int y) {
    std::vector<int> out;
    for (int x = 0; x < img.GetWidth(); ++x) out.push_back(img.GetPixelIndex(x, y));
    return out;
}

}  // namespace

TEST(PixImageBMPRle8, RunsAbsoluteRunsDeltaAndEnd) {
    const Bytes stream = {
        0x02, 0x07, 0x00, 0x03, 0x01, 0x02, 0x03, 0x00,  // row 0: 7 7 1 2 3, absolute run padded
        0x00, 0x00,                                      // end of line
        0x00, 0x02, 0x01, 0x01,                          // delta: right 1, up 1
        0x01, 0x09, 0x00, 0x01,                          // row 2: pixel 1 = 9, end of bitmap
        0x05, 0x05,                                      // after the end: ignored
    };
    PixImageBMP img;
    ASSERT_TRUE(DecodeAs(img, Rle(8, 5, 3, stream).Build()));
    EXPECT_EQ(Row(img, 0), (std::vector<int>{7, 7, 1, 2, 3}));
    EXPECT_EQ(Row(img, 1), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(Row(img, 2), (std::vector<int>{0, 9, 0, 0, 0}));
}

TEST(PixImageBMPRle8, RunFillingTheRowExactlyKeepsLaterRows) {
    const Bytes stream = {0x04, 0x07, 0x00, 0x00, 0x04, 0x08, 0x00, 0x00, 0x02, 0x09, 0x00, 0x01};
    PixImageBMP img;
    ASSERT_TRUE(DecodeAs(img, Rle(8, 4, 3, stream).Build()));
    EXPECT_EQ(Row(img, 0), (std::vector<int>{7, 7, 7, 7}));
    EXPECT_EQ(Row(img, 1), (std::vector<int>{8, 8, 8, 8}));
    EXPECT_EQ(Row(img, 2), (std::vector<int>{9, 9, 0, 0}));
}

TEST(PixImageBMPRle8, DataLeavingTheRowOrImageIsDropped) {
    Bytes stream = {0xFF, 0x05,                    // run far past the row
                    0x00, 0x00,                    // next row
                    0x00, 0x0A};                   // absolute run of 10 into a 2-pixel row
    for (int i = 0; i < 10; ++i) stream.push_back(static_cast<std::uint8_t>(i + 1));
    fixtures::Append(stream, {0x00, 0x02, 0xFF, 0xFF,  // delta far outside
                              0x03, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x04});
    PixImageBMP img;
    ASSERT_TRUE(DecodeAs(img, Rle(8, 2, 2, stream).Build()));
    EXPECT_EQ(Row(img, 0), (std::vector<int>{5, 5}));
    EXPECT_EQ(Row(img, 1), (std::vector<int>{1, 2}));
    // The row padding holds what fitted in the stride; nothing spilled into the next row.
    EXPECT_EQ(img.GetBits(0)[2], 5);
    EXPECT_EQ(img.GetBits(1)[3], 4);
}

TEST(PixImageBMPRle8, StreamCutShortKeepsDecodedPixels) {
    PixImageBMP img;
    ASSERT_TRUE(DecodeAs(img, Rle(8, 3, 2, {0x02, 0x04, 0x00, 0x03, 0x01}).Build()));
    EXPECT_EQ(Row(img, 0), (std::vector<int>{4, 4, 1}));
}

TEST(PixImageBMPRle4, RunStartingOnOddPixelTakesHighNibbleFirst) {
    const Bytes stream = {0x00, 0x02, 0x01, 0x00, 0x03, 0xAB, 0x00, 0x01};
    PixImageBMP img;
    ASSERT_TRUE(DecodeAs(img, Rle(4, 5, 1, stream).Build()));
    EXPECT_EQ(Row(img, 0), (std::vector<int>{0, 0xA, 0xB, 0xA, 0}));
}

TEST(PixImageBMPRle4, AbsoluteRunsEndOnWordBoundary) {
    const Bytes stream = {0x00, 0x03, 0x12, 0x30,         // 3 pixels from 2 bytes: no pad
                          0x00, 0x05, 0x45, 0x67, 0x80, 0x00,  // 5 pixels from 3 bytes + pad
                          0x00, 0x00, 0x08, 0xCD, 0x00, 0x01};
    PixImageBMP img;
    ASSERT_TRUE(DecodeAs(img, Rle(4, 8, 2, stream).Build()));
    EXPECT_EQ(Row(img, 0), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(Row(img, 1), (std::vector<int>{0xC, 0xD, 0xC, 0xD, 0xC, 0xD, 0xC, 0xD}));
}

TEST(PixImageBMPRle4, RunsPastTheRowAreDropped) {
    const Bytes stream = {0xFF, 0x11, 0x00, 0x02, 0xF0, 0x00, 0x00, 0x00, 0x02, 0x22, 0x00, 0x01};
    PixImageBMP img;
    ASSERT_TRUE(DecodeAs(img, Rle(4, 3, 2, stream).Build()));
    EXPECT_EQ(Row(img, 0), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(Row(img, 1), (std::vector<int>{2, 2, 0}));
}

TEST(PixImageBMPRle8, TopDownRowsLandInPlace) {
    PixImageBMP img;
    ASSERT_TRUE(DecodeAs(img, Rle(8, 2, -3, {0x02, 0x05, 0x00, 0x00, 0x02, 0x06, 0x00, 0x01}).Build()));
    EXPECT_EQ(Row(img, 2), (std::vector<int>{5, 5}));
    EXPECT_EQ(Row(img, 1), (std::vector<int>{6, 6}));
    EXPECT_EQ(Row(img, 0), (std::vector<int>{0, 0}));
}

TEST(PixImageBMPDecode, ShortSixteenAndThirtyTwoBitDataKeepsWhatWasRead) {
    for (int height : {2, -2}) {
        Bmp b;
        b.bitCount = 16;
        b.width = 3;
        b.height = height;
        b.pixels = {0x00, 0x7C, 0xE0, 0x03};  // red, green; the rest is missing
        PixImageBMP img;
        ASSERT_TRUE(DecodeAs(img, b.Build()));
        const int first = height > 0 ? 0 : 1;
        EXPECT_EQ(Rgb(img, 0, first), 0xF80000u) << height;
        EXPECT_EQ(Rgb(img, 1, first), 0x00F800u) << height;
        EXPECT_EQ(Rgb(img, 2, first), 0x000000u) << height;
        EXPECT_EQ(Rgb(img, 0, 1 - first), 0x000000u) << height;

        b.bitCount = 32;
        b.pixels = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11};
        PixImageBMP wide;
        ASSERT_TRUE(DecodeAs(wide, b.Build()));
        EXPECT_EQ(Rgb(wide, 2, first), 0x090807u) << height;
        EXPECT_EQ(Rgb(wide, 0, 1 - first), 0x000000u) << height;
    }
}
