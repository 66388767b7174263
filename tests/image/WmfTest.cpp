#include "image/PixImageWMF.h"

#include "ImageFixtures.h"

#include <gtest/gtest.h>

using fixtures::Bytes;
using fixtures::DecodeAs;
using fixtures::MemFile;
using fixtures::Put16;
using fixtures::Put32;
using fixtures::Rgb;

namespace {

// A placeable metafile: the 22-byte header (checksum computed unless given), the 18-byte
// metafile header, the records, the end record.
Bytes Placeable(std::int16_t left, std::int16_t top, std::int16_t right, std::int16_t bottom, std::uint16_t inch,
                const Bytes& records, int checksumDelta = 0) {
    Bytes p;
    Put32(p, 0x9AC6CDD7u);
    Put16(p, 0);
    Put16(p, static_cast<std::uint16_t>(left));
    Put16(p, static_cast<std::uint16_t>(top));
    Put16(p, static_cast<std::uint16_t>(right));
    Put16(p, static_cast<std::uint16_t>(bottom));
    Put16(p, inch);
    Put32(p, 0);
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < p.size(); i += 2) sum ^= static_cast<std::uint16_t>(p[i] | (p[i + 1] << 8));
    Put16(p, static_cast<std::uint16_t>(sum + checksumDelta));
    Put16(p, 1);
    Put16(p, 9);
    Put16(p, 0x300);
    Put32(p, static_cast<std::uint32_t>((18 + records.size() + 6) / 2));
    Put16(p, 2);
    Put32(p, 0);
    Put16(p, 0);
    p.insert(p.end(), records.begin(), records.end());
    Put32(p, 3);
    Put16(p, 0);
    return p;
}

void Rec(Bytes& b, std::uint16_t function, std::initializer_list<std::uint16_t> words) {
    Put32(b, static_cast<std::uint32_t>(3 + words.size()));
    Put16(b, function);
    for (std::uint16_t w : words) Put16(b, w);
}

// Window 1440 x 720 with a red left half.
Bytes RedLeftHalf() {
    Bytes r;
    Rec(r, 0x020B, {0, 0});
    Rec(r, 0x020C, {720, 1440});
    Rec(r, 0x02FC, {0, 0x00FF, 0, 0});  // red brush
    Rec(r, 0x012D, {0});
    Rec(r, 0x0999, {1, 2, 3});           // nothing this player knows: skipped
    Rec(r, 0x041B, {720, 720, 0, 0});
    return r;
}

// An enhanced metafile header record with the given bounds and an end record.
Bytes Emf(std::int32_t right, std::int32_t bottom, std::uint32_t signature = 0x464D4520) {
    Bytes b;
    Put32(b, 1);
    Put32(b, 108);
    for (std::int32_t v : {0, 0, right, bottom, 0, 0, 0, 0}) Put32(b, static_cast<std::uint32_t>(v));
    Put32(b, signature);
    Put32(b, 0x10000);
    Put32(b, 128);
    Put32(b, 2);
    while (b.size() < 108) b.push_back(0);
    for (std::uint32_t v : {14u, 20u, 0u, 0u, 20u}) Put32(b, v);
    return b;
}

TEST(WmfTest, PlaceableSizeComesFromBoxAndUnitsPerInch) {
    PixImageWMF img;
    ASSERT_TRUE(DecodeAs(img, Placeable(0, 0, 1440, 720, 1440, RedLeftHalf()))) << img.GetLastError();
    EXPECT_EQ(img.GetWidth(), 96);
    EXPECT_EQ(img.GetHeight(), 48);
    EXPECT_EQ(img.GetBpp(), 24u);
    EXPECT_EQ(img.GetType(), static_cast<std::uint32_t>(PIX_FORMAT_WMF));
    EXPECT_EQ(Rgb(img, 20, 24), 0xFF0000u);
    EXPECT_EQ(Rgb(img, 80, 24), 0xFFFFFFu);  // the window colour where nothing is drawn
}

TEST(WmfTest, EnhancedLargerThan4000IsScaledKeepingProportions) {
    PixImageWMF img;
    ASSERT_TRUE(DecodeAs(img, Emf(8000, 2000)));
    EXPECT_EQ(img.GetWidth(), 4000);
    EXPECT_EQ(img.GetHeight(), 1000);
}

TEST(WmfTest, VeryThinPictureKeepsOnePixel) {
    PixImageWMF img;
    ASSERT_TRUE(DecodeAs(img, Emf(9000, 1)));
    EXPECT_EQ(img.GetWidth(), 4000);
    EXPECT_EQ(img.GetHeight(), 1);
}

TEST(WmfTest, ForcedSizeReplacesThePictures) {
    PixImageWMF img;
    MemFile f(Placeable(0, 0, 1440, 720, 1440, RedLeftHalf()));
    ASSERT_TRUE(img.Decode(&f, 10, 0));
    EXPECT_EQ(img.GetWidth(), 10);
    EXPECT_EQ(img.GetHeight(), 48);
}

struct WmfFailure {
    const char* name;
    Bytes file;
    const char* error;
};

class WmfFailureTest : public ::testing::TestWithParam<WmfFailure> {};

TEST_P(WmfFailureTest, FailsWithItsText) {
    PixImageWMF img;
    EXPECT_FALSE(DecodeAs(img, GetParam().file));
    EXPECT_STREQ(img.GetLastError(), GetParam().error);
    EXPECT_FALSE(img.IsValid());
}

INSTANTIATE_TEST_SUITE_P(
    Files, WmfFailureTest,
    ::testing::Values(WmfFailure{"UnitsPerInchTooLarge", Placeable(0, 0, 100, 100, 2541, {}), "corrupted WMF"},
                      WmfFailure{"WrongChecksum", Placeable(0, 0, 100, 100, 1440, {}, 1), "corrupted WMF"},
                      // A box drawn backwards has no size.
                      WmfFailure{"NegativeExtent", Placeable(100, 0, 0, 100, 1440, {}), "corrupted WMF"},
                      WmfFailure{"ZeroWidth", Placeable(5, 0, 5, 100, 1440, {}), "empty WMF"},
                      WmfFailure{"SizeBeyondFile", [] {
                                     Bytes b = Placeable(0, 0, 100, 100, 1440, {});
                                     b[22 + 6] = 0xFF;
                                     b[22 + 7] = 0xFF;
                                     return b;
                                 }(),
                                 "corrupted WMF"},
                      WmfFailure{"EmfWithoutSignature", Emf(10, 10, 0x12345678), "corrupted WMF"},
                      WmfFailure{"EmfEmpty", Emf(0, 10), "empty WMF"},
                      WmfFailure{"EmfNegativeBounds", Emf(-10, 10), "corrupted WMF"},
                      WmfFailure{"Text", Bytes{'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't'}, "corrupted WMF"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WmfTest, DetectionTriesMetafilesLast) {
    MemFile wmf(Placeable(0, 0, 1440, 720, 1440, RedLeftHalf()));
    PixImage a;
    ASSERT_TRUE(a.Decode(&wmf, 0)) << a.GetLastError();
    EXPECT_EQ(a.GetType(), static_cast<std::uint32_t>(PIX_FORMAT_WMF));
    MemFile text(Bytes{'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't'});
    PixImage b;
    EXPECT_FALSE(b.Decode(&text, 0));
    EXPECT_STREQ(b.GetLastError(), "Decode: Unknown or wrong format");
}

}  // namespace
