#include "image/PixImagePNG.h"

#include "ImageFixtures.h"

#include <gtest/gtest.h>

#include <array>

using fixtures::Bytes;
using fixtures::DecodeAs;
using fixtures::Png;
using fixtures::Rgb;

namespace {

// Exposes the info record the decoder fills.
struct PngPeek : PixImagePNG {
    using PixImage::info;
};

// Packs samples of `depth` bits into a PNG row (big-endian, leftmost sample in the high bits).
Bytes Pack(const std::vector<std::uint32_t>& samples, int depth) {
    Bytes row;
    if (depth == 16) {
        for (std::uint32_t s : samples) {
            row.push_back(static_cast<std::uint8_t>(s >> 8));
            row.push_back(static_cast<std::uint8_t>(s));
        }
        return row;
    }
    if (depth == 8) return Bytes(samples.begin(), samples.end());
    const int perByte = 8 / depth;
    row.assign((samples.size() + perByte - 1) / perByte, 0);
    for (std::size_t i = 0; i < samples.size(); ++i)
        row[i / perByte] |= static_cast<std::uint8_t>(samples[i] << (8 - depth * (1 + static_cast<int>(i % perByte))));
    return row;
}

int Channels(int colorType) {
    switch (colorType) {
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
    }
}

struct Expected {
    std::uint32_t rgb;
    int alpha;  // -1: the image has no alpha channel
};

// A picture of 5 x 3 pixels whose samples follow (x, y, channel); alpha samples are either 0 or
// full so that compositing over the background is exact.
struct Generated {
    Png png;
    std::array<std::array<Expected, 5>, 3> want{};  // [row from the top][x]
};

Generated Generate(int colorType, int depth, bool interlaced) {
    Generated g;
    g.png.width = 5;
    g.png.height = 3;
    g.png.colorType = colorType;
    g.png.bitDepth = depth;
    g.png.interlaced = interlaced;
    const std::uint32_t max = (1u << depth) - 1;
    const int channels = Channels(colorType);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        for (std::uint32_t i = 0; i <= max; ++i)
            g.png.palette.push_back(png_color{static_cast<png_byte>(i * 3), static_cast<png_byte>(255 - i), static_cast<png_byte>(i ^ 0x5A)});
    auto to8 = [&](std::uint32_t v) -> std::uint32_t { return depth == 16 ? v >> 8 : v * 255 / max; };
    for (int y = 0; y < 3; ++y) {
        std::vector<std::uint32_t> samples;
        for (int x = 0; x < 5; ++x) {
            std::uint32_t s[4];
            for (int c = 0; c < channels; ++c) s[c] = static_cast<std::uint32_t>(x * 7919 + y * 104729 + c * 31337) % (max + 1);
            const bool hasAlpha = colorType & PNG_COLOR_MASK_ALPHA;
            if (hasAlpha) s[channels - 1] = (x + y) % 2 ? max : 0;
            for (int c = 0; c < channels; ++c) samples.push_back(s[c]);
            std::uint32_t r, gr, b;
            if (colorType == PNG_COLOR_TYPE_PALETTE) {
                r = g.png.palette[s[0]].red;
                gr = g.png.palette[s[0]].green;
                b = g.png.palette[s[0]].blue;
            } else if (channels <= 2) {
                r = gr = b = to8(s[0]);
            } else {
                r = to8(s[0]);
                gr = to8(s[1]);
                b = to8(s[2]);
            }
            int alpha = -1;
            if (hasAlpha) {
                const bool keepsAlpha = channels * depth == 32;
                const bool opaque = s[channels - 1] == max;
                if (keepsAlpha) alpha = opaque ? 255 : 0;
                else if (!opaque) r = gr = b = 192;  // composed over the default background
            }
            g.want[y][x] = Expected{(r << 16) | (gr << 8) | b, alpha};
        }
        g.png.rows.push_back(Pack(samples, depth));
    }
    return g;
}

}  // namespace

struct PngKind {
    int colorType;
    int depth;
    std::uint32_t wantBpp;
};

class PixImagePNGKinds : public testing::TestWithParam<std::tuple<PngKind, bool>> {};

TEST_P(PixImagePNGKinds, DecodesEveryPixel) {
    const auto [kind, interlaced] = GetParam();
    const Generated g = Generate(kind.colorType, kind.depth, interlaced);
    PngPeek img;
    ASSERT_TRUE(DecodeAs(img, g.png.Build())) << img.GetLastError();
    EXPECT_EQ(img.GetType(), 4u);
    EXPECT_EQ(img.GetBpp(), kind.wantBpp);
    EXPECT_EQ(img.GetCodecOption(), interlaced ? 1u : 0u);
    EXPECT_EQ(img.AlphaIsValid(), g.want[0][0].alpha >= 0);
    for (int top = 0; top < 3; ++top)
        for (int x = 0; x < 5; ++x) {
            const int y = 2 - top;
            EXPECT_EQ(Rgb(img, x, y), g.want[top][x].rgb) << "x " << x << " row from top " << top;
            if (g.want[top][x].alpha >= 0) {
                EXPECT_EQ(img.AlphaGet(x, y), g.want[top][x].alpha) << x << "," << y;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(
    AllColourTypesAndDepths, PixImagePNGKinds,
    testing::Combine(testing::Values(PngKind{PNG_COLOR_TYPE_GRAY, 1, 1}, PngKind{PNG_COLOR_TYPE_GRAY, 2, 4},
                                     PngKind{PNG_COLOR_TYPE_GRAY, 4, 4}, PngKind{PNG_COLOR_TYPE_GRAY, 8, 8},
                                     PngKind{PNG_COLOR_TYPE_GRAY, 16, 8}, PngKind{PNG_COLOR_TYPE_RGB, 8, 24},
                                     PngKind{PNG_COLOR_TYPE_RGB, 16, 24}, PngKind{PNG_COLOR_TYPE_PALETTE, 1, 1},
                                     PngKind{PNG_COLOR_TYPE_PALETTE, 2, 4}, PngKind{PNG_COLOR_TYPE_PALETTE, 4, 4},
                                     PngKind{PNG_COLOR_TYPE_PALETTE, 8, 8}, PngKind{PNG_COLOR_TYPE_GRAY_ALPHA, 8, 8},
                                     PngKind{PNG_COLOR_TYPE_GRAY_ALPHA, 16, 24},
                                     PngKind{PNG_COLOR_TYPE_RGB_ALPHA, 8, 24},
                                     PngKind{PNG_COLOR_TYPE_RGB_ALPHA, 16, 24}),
                     testing::Bool()));

TEST(PixImagePNGDecode, TwoBitGreyUsesFourGreys) {
    const Generated g = Generate(PNG_COLOR_TYPE_GRAY, 2, false);
    PixImagePNG img;
    ASSERT_TRUE(DecodeAs(img, g.png.Build()));
    EXPECT_EQ(img.GetPaletteColor(1).rgbRed, 0x55);
    EXPECT_EQ(img.GetPaletteColor(2).rgbGreen, 0xAA);
    EXPECT_EQ(img.GetPaletteColor(3).rgbBlue, 0xFF);
    EXPECT_EQ(img.GetPaletteColor(4).rgbBlue, 0);
}

TEST(PixImagePNGDecode, SingleZeroTransparencyEntryIsTransparentIndex) {
    Generated g = Generate(PNG_COLOR_TYPE_PALETTE, 4, false);
    g.png.transAlpha = {0};
    PngPeek img;
    ASSERT_TRUE(DecodeAs(img, g.png.Build()));
    EXPECT_EQ(img.GetTransIndex(), 0);
    EXPECT_FALSE(img.info.alphaPalette);
    EXPECT_EQ(img.GetPaletteColor(0).rgbReserved, 0);
    // Indices stay indices: the palette composition of the library does not reach the pixels.
    EXPECT_EQ(Rgb(img, 0, 2), g.want[0][0].rgb);
}

TEST(PixImagePNGDecode, SeveralTransparencyEntriesGoToThePalette) {
    Generated g = Generate(PNG_COLOR_TYPE_PALETTE, 8, false);
    g.png.transAlpha = {10, 0, 200};
    PngPeek img;
    ASSERT_TRUE(DecodeAs(img, g.png.Build()));
    EXPECT_EQ(img.GetTransIndex(), -1);
    EXPECT_TRUE(img.info.alphaPalette);
    EXPECT_EQ(img.GetPaletteColor(0).rgbReserved, 10);
    EXPECT_EQ(img.GetPaletteColor(2).rgbReserved, 200);
    EXPECT_EQ(img.GetPaletteColor(3).rgbReserved, 0xFF);
    EXPECT_EQ(img.GetPaletteColor(255).rgbReserved, 0xFF);
    EXPECT_FALSE(img.AlphaIsValid());
}

TEST(PixImagePNGDecode, GreyAndColourTransparencyComposeWithoutPaletteAlpha) {
    // The transparent sample of a grey or colour file is composed over grey 192; the decoder
    // must not look for per-entry alpha values that such files do not have.
    Png grey;
    grey.width = 2;
    grey.colorType = PNG_COLOR_TYPE_GRAY;
    grey.rows = {{40, 41}};
    grey.hasTransColor = true;
    grey.transColor.gray = 40;
    PngPeek g;
    ASSERT_TRUE(DecodeAs(g, grey.Build()));
    EXPECT_EQ(Rgb(g, 0, 0), 0xC0C0C0u);
    EXPECT_EQ(Rgb(g, 1, 0), 0x292929u);
    EXPECT_EQ(g.GetTransIndex(), -1);
    EXPECT_FALSE(g.info.alphaPalette);

    Png rgb;
    rgb.width = 2;
    rgb.rows = {{1, 2, 3, 4, 5, 6}};
    rgb.hasTransColor = true;
    rgb.transColor.red = 4;
    rgb.transColor.green = 5;
    rgb.transColor.blue = 6;
    PixImagePNG c;
    ASSERT_TRUE(DecodeAs(c, rgb.Build()));
    EXPECT_EQ(Rgb(c, 0, 0), 0x010203u);
    EXPECT_EQ(Rgb(c, 1, 0), 0xC0C0C0u);
}

TEST(PixImagePNGDecode, SixteenBitAlphaComposesOverFileBackground) {
    Png png;
    png.width = 2;
    png.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    png.bitDepth = 16;
    png.rows = {Pack({0xFFFF, 0, 0, 0, 0, 0xFFFF, 0, 0xFFFF}, 16)};
    png.hasBackground = true;
    png.background.red = 0x1000;
    png.background.green = 0x2000;
    png.background.blue = 0x3000;
    PixImagePNG img;
    ASSERT_TRUE(DecodeAs(img, png.Build()));
    EXPECT_FALSE(img.AlphaIsValid());
    EXPECT_EQ(Rgb(img, 0, 0), 0x102030u);
    EXPECT_EQ(Rgb(img, 1, 0), 0x00FF00u);
}

TEST(PixImagePNGDecode, HalfAlphaGreyComposesOverLightGrey) {
    Png png;
    png.width = 1;
    png.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    png.rows = {{0, 128}};
    PixImagePNG img;
    ASSERT_TRUE(DecodeAs(img, png.Build()));
    EXPECT_EQ(img.GetBpp(), 8u);
    EXPECT_NEAR(img.GetPaletteColor(img.GetPixelIndex(0, 0)).rgbRed, 96, 1);
}

TEST(PixImagePNGDecode, ThirtyTwoBitBackgroundBecomesTransparentColour) {
    Generated g = Generate(PNG_COLOR_TYPE_RGB_ALPHA, 8, false);
    g.png.hasBackground = true;
    g.png.background.red = 0x12;
    g.png.background.green = 0x34;
    g.png.background.blue = 0x56;
    PixImagePNG img;
    ASSERT_TRUE(DecodeAs(img, g.png.Build()));
    const RGBQUAD t = img.GetTransColor();
    EXPECT_EQ(t.rgbRed, 0x12);
    EXPECT_EQ(t.rgbGreen, 0x34);
    EXPECT_EQ(t.rgbBlue, 0x56);
    EXPECT_EQ(img.GetTransIndex(), -1);
}

TEST(PixImagePNGDecode, ResolutionFromPhysChunk) {
    struct Case {
        bool present;
        png_uint_32 value;
        int unit;
        int wantDpi;
    };
    for (const Case c : {Case{false, 0, 0, 96}, Case{true, 3780, PNG_RESOLUTION_METER, 96},
                         Case{true, 11811, PNG_RESOLUTION_METER, 300}, Case{true, 72, PNG_RESOLUTION_UNKNOWN, 72},
                         Case{true, 0, PNG_RESOLUTION_UNKNOWN, 96}}) {
        Generated g = Generate(PNG_COLOR_TYPE_RGB, 8, false);
        g.png.hasPhys = c.present;
        g.png.physX = g.png.physY = c.value;
        g.png.physUnit = c.unit;
        PngPeek img;
        ASSERT_TRUE(DecodeAs(img, g.png.Build()));
        EXPECT_EQ(img.info.xDpi, c.wantDpi) << c.value;
        EXPECT_EQ(img.info.yDpi, c.wantDpi) << c.value;
    }
}

TEST(PixImagePNGDecode, FileCutShortFailsWithReadError) {
    Bytes data = Generate(PNG_COLOR_TYPE_RGB_ALPHA, 8, true).png.Build();
    for (std::size_t keep : {std::size_t{4}, std::size_t{40}, data.size() - 20}) {
        PixImagePNG img;
        EXPECT_FALSE(DecodeAs(img, Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(keep))));
        EXPECT_STREQ(img.GetLastError(), "Read Error") << keep;
        EXPECT_FALSE(img.IsValid());
    }
}

TEST(PixImagePNGDecode, LibraryMessagesReachTheErrorText) {
    Bytes data = Generate(PNG_COLOR_TYPE_RGB, 8, false).png.Build();
    data[20] ^= 0x40;  // inside IHDR: its CRC no longer matches
    PixImagePNG img;
    EXPECT_FALSE(DecodeAs(img, data));
    EXPECT_STRNE(img.GetLastError(), "");
    Bytes notPng = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0};
    PixImagePNG other;
    EXPECT_FALSE(DecodeAs(other, notPng));
    EXPECT_STRNE(other.GetLastError(), "");
}

TEST(PixImagePNGDecode, PaletteWithBackgroundKeepsIndices) {
    for (int depth : {4, 8}) {
        Generated g = Generate(PNG_COLOR_TYPE_PALETTE, depth, false);
        g.png.transAlpha = {0, 128};
        g.png.hasBackground = true;
        g.png.background.index = 1;
        PngPeek img;
        ASSERT_TRUE(DecodeAs(img, g.png.Build())) << img.GetLastError();
        EXPECT_EQ(img.GetBpp(), static_cast<std::uint32_t>(depth));
        for (int x = 0; x < 5; ++x) EXPECT_EQ(Rgb(img, x, 2), g.want[0][x].rgb) << depth << " x " << x;
        EXPECT_EQ(img.GetPaletteColor(1).rgbReserved, 128);
        EXPECT_TRUE(img.info.alphaPalette);
    }
}

// Colour and alpha come apart the same at every row width: the whole-row steps of the splitting
// loop and its tail meet at different places for each.
TEST(PixImagePNGDecode, AlphaRowsSplitAtEveryWidth) {
    for (int width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 33}) {
        Png png;
        png.width = width;
        png.height = 2;
        png.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        png.bitDepth = 8;
        auto sample = [](int x, int y, int c) { return static_cast<std::uint8_t>(x * 37 + y * 101 + c * 59 + 7); };
        for (int y = 0; y < 2; ++y) {
            Bytes row;
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 4; ++c) row.push_back(sample(x, y, c));
            png.rows.push_back(row);
        }
        PngPeek img;
        ASSERT_TRUE(DecodeAs(img, png.Build())) << img.GetLastError();
        for (int top = 0; top < 2; ++top)
            for (int x = 0; x < width; ++x) {
                const std::uint32_t want = std::uint32_t(sample(x, top, 0)) << 16 | sample(x, top, 1) << 8 | sample(x, top, 2);
                EXPECT_EQ(Rgb(img, x, 1 - top), want) << "width " << width << " x " << x;
                EXPECT_EQ(img.AlphaGet(x, 1 - top), sample(x, top, 3)) << "width " << width << " x " << x;
            }
    }
}
