#include "image/PixImageGIF.h"

#include "ImageFixtures.h"

#include <gtest/gtest.h>

using fixtures::Bytes;
using fixtures::DecodeAs;
using fixtures::MemFile;
using fixtures::Put16;
using fixtures::Put8;
using fixtures::Rgb;

namespace {

// LZW data that a GIF decoder reads as the given indices: every index is a literal code and a
// clear code comes before the table would widen the codes.
Bytes LzwLiterals(const std::vector<std::uint8_t>& indices, std::uint8_t minSize) {
    const std::uint32_t clear = 1u << minSize;
    const std::uint32_t width = minSize + 1u;
    const std::size_t chunk = clear - 2;  // literals per clear before the width would grow
    std::vector<std::uint32_t> codes;
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (i % chunk == 0) codes.push_back(clear);
        codes.push_back(indices[i]);
    }
    codes.push_back(clear + 1);
    Bytes packed;
    std::uint32_t acc = 0, bits = 0;
    for (std::uint32_t c : codes) {
        acc |= c << bits;
        bits += width;
        while (bits >= 8) {
            packed.push_back(static_cast<std::uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits) packed.push_back(static_cast<std::uint8_t>(acc));
    return packed;
}

// Code size byte, the data in sub-blocks, the terminator.
Bytes SubBlocks(std::uint8_t minSize, const Bytes& data) {
    Bytes b{minSize};
    for (std::size_t i = 0; i < data.size(); i += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - i);
        b.push_back(static_cast<std::uint8_t>(n));
        b.insert(b.end(), data.begin() + static_cast<std::ptrdiff_t>(i), data.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    b.push_back(0);
    return b;
}

struct Frame {
    std::uint16_t left = 0, top = 0, width = 1, height = 1;
    std::vector<std::uint8_t> indices{};  // rows in file order
    std::vector<std::uint32_t> palette{};  // local table (0xRRGGBB), empty for none
    bool interlaced = false;
    int transparent = -1;                // graphic control extension when >= 0 or disposal set
    int disposal = 0;
    Bytes rawData{};                     // replaces the encoded data when not empty
};

void PutTable(Bytes& b, const std::vector<std::uint32_t>& pal) {
    for (std::uint32_t c : pal) {
        Put8(b, c >> 16);
        Put8(b, c >> 8);
        Put8(b, c);
    }
}

std::uint8_t TableBits(std::size_t n) {
    std::uint8_t k = 0;
    while ((2u << k) < n) ++k;
    return k;
}

Bytes Gif(std::uint16_t w, std::uint16_t h, const std::vector<std::uint32_t>& global, const std::vector<Frame>& frames,
          std::uint8_t background = 0) {
    Bytes b{'G', 'I', 'F', '8', '9', 'a'};
    Put16(b, w);
    Put16(b, h);
    Put8(b, global.empty() ? 0 : 0x80 | TableBits(global.size()));
    Put8(b, background);
    Put8(b, 0);
    PutTable(b, global);
    for (const Frame& f : frames) {
        if (f.transparent >= 0 || f.disposal) {
            b.insert(b.end(), {'!', 0xF9, 4});
            Put8(b, (f.disposal << 2) | (f.transparent >= 0 ? 1 : 0));
            Put16(b, 7);
            Put8(b, f.transparent >= 0 ? f.transparent : 0);
            Put8(b, 0);
        }
        Put8(b, ',');
        Put16(b, f.left);
        Put16(b, f.top);
        Put16(b, f.width);
        Put16(b, f.height);
        Put8(b, (f.palette.empty() ? 0 : 0x80 | TableBits(f.palette.size())) | (f.interlaced ? 0x40 : 0));
        PutTable(b, f.palette);
        const std::uint8_t minSize = 8;
        const Bytes data = f.rawData.empty() ? SubBlocks(minSize, LzwLiterals(f.indices, minSize)) : f.rawData;
        b.insert(b.end(), data.begin(), data.end());
    }
    Put8(b, ';');
    return b;
}

std::vector<std::uint32_t> Greys(int n) {
    std::vector<std::uint32_t> p;
    for (int i = 0; i < n; ++i) p.push_back(static_cast<std::uint32_t>(i * 0x010101));
    return p;
}

TEST(GifTest, SmallFrameIsPlacedOnScreenFilledWithTransparentIndex) {
    Frame f{1, 1, 2, 1, {7, 8}};
    f.transparent = 3;
    PixImageGIF img;
    ASSERT_TRUE(DecodeAs(img, Gif(4, 3, Greys(16), {f})));
    EXPECT_EQ(img.GetWidth(), 4);
    EXPECT_EQ(img.GetHeight(), 3);
    EXPECT_EQ(img.GetBpp(), 4u);
    EXPECT_EQ(img.GetTransIndex(), 3);
    // Screen row 1 from the top is storage row 1.
    EXPECT_EQ(img.GetPixelIndex(1, 1), 7);
    EXPECT_EQ(img.GetPixelIndex(2, 1), 8);
    for (int x : {0, 3}) EXPECT_EQ(img.GetPixelIndex(x, 1), 3);
    EXPECT_EQ(img.GetPixelIndex(1, 2), 3);
    EXPECT_EQ(img.GetPixelIndex(1, 0), 3);
}

TEST(GifTest, PixelsMatchTheirIndicesWithLongData) {
    // 300 x 2 at 8 bits: more than one clear chunk and several sub-blocks.
    std::vector<std::uint8_t> idx(600);
    for (std::size_t i = 0; i < idx.size(); ++i) idx[i] = static_cast<std::uint8_t>(i * 7);
    PixImageGIF img;
    ASSERT_TRUE(DecodeAs(img, Gif(300, 2, Greys(256), {Frame{0, 0, 300, 2, idx}})));
    EXPECT_EQ(img.GetBpp(), 8u);
    for (int x = 0; x < 300; ++x) {
        ASSERT_EQ(img.GetPixelIndex(x, 1), idx[static_cast<std::size_t>(x)]);
        ASSERT_EQ(img.GetPixelIndex(x, 0), idx[static_cast<std::size_t>(300 + x)]);
    }
    EXPECT_EQ(Rgb(img, 1, 1), 0x070707u);
}

struct InterlaceCase {
    std::uint16_t height;
    std::vector<int> fileOrder;  // the picture row (from the top) of each row in the file
};

class GifInterlaceTest : public ::testing::TestWithParam<InterlaceCase> {};

TEST_P(GifInterlaceTest, RowsGoToTheirPasses) {
    const InterlaceCase& c = GetParam();
    Frame f{0, 0, 1, c.height, {}};
    for (std::size_t i = 0; i < c.fileOrder.size(); ++i) f.indices.push_back(static_cast<std::uint8_t>(10 + i));
    f.interlaced = true;
    PixImageGIF img;
    ASSERT_TRUE(DecodeAs(img, Gif(1, c.height, Greys(256), {f})));
    for (std::size_t i = 0; i < c.fileOrder.size(); ++i)
        EXPECT_EQ(img.GetPixelIndex(0, c.height - 1 - c.fileOrder[i]), 10 + i) << "file row " << i;
}

INSTANTIATE_TEST_SUITE_P(Heights, GifInterlaceTest,
                         ::testing::Values(InterlaceCase{10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}},
                                           // Passes without a line inside the frame are skipped.
                                           InterlaceCase{4, {0, 2, 1, 3}}, InterlaceCase{2, {0, 1}},
                                           InterlaceCase{1, {0}}, InterlaceCase{5, {0, 4, 2, 1, 3}}));

TEST(GifTest, SeveralSmallFramesWithoutGlobalTableMergeIntoTrueColour) {
    Frame a{0, 0, 1, 1, {1}, {0x000000, 0xFF0000}};
    Frame b{1, 1, 1, 1, {1}, {0x000000, 0x00FF00}};
    PixImageGIF img;
    ASSERT_TRUE(DecodeAs(img, Gif(2, 2, {}, {a, b})));
    EXPECT_EQ(img.GetBpp(), 24u);
    EXPECT_EQ(Rgb(img, 0, 1), 0xFF0000u);  // frame a at the top left
    EXPECT_EQ(Rgb(img, 1, 0), 0x00FF00u);  // frame b at the bottom right
    EXPECT_EQ(Rgb(img, 1, 1), 0x000000u);
}

TEST(GifTest, SingleSmallFrameWithoutGlobalTableStaysIndexed) {
    Frame a{0, 0, 1, 1, {1}, {0x000000, 0xFF0000}};
    PixImageGIF img;
    ASSERT_TRUE(DecodeAs(img, Gif(2, 2, {}, {a})));
    EXPECT_EQ(img.GetBpp(), 1u);
    EXPECT_EQ(Rgb(img, 0, 1), 0xFF0000u);
}

TEST(GifTest, LaterFrameIsComposedOverEarlierWithTransparency) {
    Frame a{0, 0, 2, 1, {1, 2}};
    Frame b{0, 0, 2, 1, {3, 4}};
    b.transparent = 4;
    for (int disposal : {0, 2}) {
        a.disposal = disposal;
        a.transparent = disposal ? 0 : -1;
        struct Pick : PixImageGIF {
            void Want(int frame) { info.frame = frame; }
        } pick;
        pick.Want(1);
        ASSERT_TRUE(DecodeAs(pick, Gif(2, 1, Greys(16), {a, b}))) << disposal;
        EXPECT_EQ(pick.GetPixelIndex(0, 0), 3);
        // Disposal 2 clears the earlier frame to the first transparent index.
        EXPECT_EQ(pick.GetPixelIndex(1, 0), disposal == 2 ? 0 : 2) << disposal;
    }
}

TEST(GifTest, LaterFramesExtensionsDoNotLeakIntoTheFirst) {
    // Counting the frames reads the second frame's extension first; frame 0 has none.
    Frame a{0, 0, 2, 1, {5, 6}};
    Frame b{0, 0, 2, 1, {1, 1}};
    b.transparent = 5;
    PixImageGIF img;
    ASSERT_TRUE(DecodeAs(img, Gif(2, 1, Greys(16), {a, b})));
    EXPECT_EQ(img.GetTransIndex(), -1);
    EXPECT_EQ(img.GetPixelIndex(0, 0), 5);
}

TEST(GifTest, FrameNumberOutOfRangeFailsAndCountIsKept) {
    struct Pick : PixImageGIF {
        void Want(int frame) { info.frame = frame; }
        [[nodiscard]] int Frames() const { return info.frameCount; }
    } img;
    img.Want(2);
    EXPECT_FALSE(DecodeAs(img, Gif(1, 1, Greys(2), {Frame{0, 0, 1, 1, {1}}, Frame{0, 0, 1, 1, {0}}})));
    EXPECT_EQ(img.Frames(), 2);
}

TEST(GifTest, SignatureOtherThanGif8Fails) {
    Bytes file = Gif(1, 1, Greys(2), {Frame{0, 0, 1, 1, {1}}});
    file[3] = '7';
    PixImageGIF img;
    EXPECT_FALSE(DecodeAs(img, file));
    EXPECT_STREQ(img.GetLastError(), "");
}

TEST(GifTest, FrameOutsideScreenIsIgnored) {
    Frame big{0, 0, 3, 1, {1, 1, 1}};
    Frame fits{0, 0, 2, 1, {5, 6}};
    PixImageGIF img;
    ASSERT_TRUE(DecodeAs(img, Gif(2, 1, Greys(16), {big, fits})));
    EXPECT_EQ(img.GetPixelIndex(0, 0), 5);
}

TEST(GifTest, CommentAndLoopCountAreRead) {
    Bytes file = Gif(1, 1, Greys(2), {Frame{0, 0, 1, 1, {1}}});
    const Bytes ext{'!', 0xFE, 3, 'a', 'b', 'c', 0, '!', 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E',
                    '2', '.', '0', 3, 1, 5, 1, 0};
    file.insert(file.begin() + 19, ext.begin(), ext.end());
    PixImageGIF img;
    ASSERT_TRUE(DecodeAs(img, file));
    EXPECT_STREQ(img.GetComment(), "abc");
    EXPECT_EQ(img.GetLoopCount(), 261);
}

// Damaged frame data ends that frame's decoding; the decode succeeds with the background
// where the frame has no rows.
struct DamagedCase {
    const char* name;
    Bytes data;
};

class GifDamagedTest : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(GifDamagedTest, DecodesWithoutReadingPastItsData) {
    Frame f{0, 0, 3, 2, {}};
    f.transparent = 9;
    f.rawData = GetParam().data;
    PixImageGIF img;
    ASSERT_TRUE(DecodeAs(img, Gif(3, 2, Greys(16), {f})));
    EXPECT_EQ(img.GetWidth(), 3);
    EXPECT_EQ(img.GetPixelIndex(2, 0), 9);  // the bottom row was never decoded
}

INSTANTIATE_TEST_SUITE_P(
    Data, GifDamagedTest,
    ::testing::Values(
        // Code sizes above 8 cannot index a palette.
        DamagedCase{"CodeSizeNine", {9, 2, 0xFF, 0xFF, 0}},
        DamagedCase{"CodeSizeTwelve", {12, 2, 0xFF, 0xFF, 0}},
        DamagedCase{"CodeSizeOne", {1, 2, 0xFF, 0xFF, 0}},
        // Clear, 0, a code past the table, 0 (which makes entry 7 its own prefix), then 7: the
        // expansion of 7 must stop. 3-bit codes 4, 0, 7, 0 then the 4-bit code 7.
        DamagedCase{"SelfReferencingCode", {2, 2, 0xC4, 0x71, 0}},
        // The data stops after the first row.
        DamagedCase{"CutShort", {2, 1, 0x0C}},
        DamagedCase{"TerminatorBeforeEndCode", {2, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GifTest, DetectedAsTypeTwo) {
    MemFile f(Gif(1, 1, Greys(2), {Frame{0, 0, 1, 1, {1}}}));
    PixImage img;
    ASSERT_TRUE(img.Decode(&f, 0)) << img.GetLastError();
    EXPECT_EQ(img.GetType(), static_cast<std::uint32_t>(PIX_FORMAT_GIF));
}

TEST(GifTest, HugeScreenIsRefusedBeforeAllocating) {
    PixImageGIF img;
    EXPECT_FALSE(DecodeAs(img, Gif(65535, 65535, Greys(2), {Frame{0, 0, 1, 1, {1}}})));
}

}  // namespace
