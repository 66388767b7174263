#include "image/PixImageTIF.h"

#include "ImageFixtures.h"

#include <gtest/gtest.h>

#include <tiffio.h>

#include <fstream>
#include <iterator>

using fixtures::Bytes;
using fixtures::DecodeAs;
using fixtures::MemFile;
using fixtures::Rgb;

namespace {

// One directory of a TIFF written by libtiff: rows of `data` top to bottom, `rowsPerStrip`
// rows per strip (0: all in one), or tiles of tileSize x tileSize.
struct Page {
    std::uint32_t width = 1, height = 1;
    std::uint16_t bits = 8, samples = 1;
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    std::uint32_t rowsPerStrip = 0;
    std::uint32_t tileSize = 0;
    std::vector<std::uint16_t> extra{};  // extra-sample kinds
    std::vector<std::uint16_t> colormap{};  // red, green, blue runs of 2^bits entries each
    float xres = 0;
    std::uint16_t unit = RESUNIT_INCH;
    float xpos = -1;
    Bytes data{};
};

Bytes WriteTiff(const std::vector<Page>& pages) {
    fixtures::TempFile file(Bytes{}, "fixture.tif");
    TIFF* t = TIFFOpen(file.Path(), "w");
    for (const Page& p : pages) {
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, p.width);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, p.height);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, p.bits);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, p.samples);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, p.photometric);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_ORIENTATION, p.orientation);
        if (!p.extra.empty()) TIFFSetField(t, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(p.extra.size()), p.extra.data());
        if (!p.colormap.empty()) {
            const std::size_t n = p.colormap.size() / 3;
            TIFFSetField(t, TIFFTAG_COLORMAP, p.colormap.data(), p.colormap.data() + n, p.colormap.data() + 2 * n);
        }
        if (p.xres > 0) {
            TIFFSetField(t, TIFFTAG_XRESOLUTION, p.xres);
            TIFFSetField(t, TIFFTAG_YRESOLUTION, p.xres);
            TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, p.unit);
        }
        if (p.xpos >= 0) {
            TIFFSetField(t, TIFFTAG_XPOSITION, p.xpos);
            TIFFSetField(t, TIFFTAG_YPOSITION, p.xpos);
        }
        const std::size_t line = (std::size_t{p.bits} * p.width * p.samples + 7) / 8;
        if (p.tileSize) {
            TIFFSetField(t, TIFFTAG_TILEWIDTH, p.tileSize);
            TIFFSetField(t, TIFFTAG_TILELENGTH, p.tileSize);
            const std::size_t tileLine = (std::size_t{p.bits} * p.tileSize * p.samples + 7) / 8;
            std::vector<std::uint8_t> tile(tileLine * p.tileSize);
            for (std::uint32_t y0 = 0; y0 < p.height; y0 += p.tileSize)
                for (std::uint32_t x0 = 0; x0 < p.width; x0 += p.tileSize) {
                    std::fill(tile.begin(), tile.end(), 0);
                    for (std::uint32_t r = 0; r < p.tileSize && y0 + r < p.height; ++r)
                        for (std::uint32_t c = 0; c < p.tileSize && x0 + c < p.width; ++c) {
                            if (p.bits == 8 && p.samples == 1) {
                                tile[r * tileLine + c] = p.data[(y0 + r) * line + x0 + c];
                                continue;
                            }
                            // Packed samples (one sample per pixel, under 8 bits), most significant first.
                            const std::size_t from = (x0 + c) * p.bits, to = c * std::size_t{p.bits};
                            const unsigned v = (p.data[(y0 + r) * line + from / 8] >> (8 - p.bits - from % 8)) &
                                               ((1u << p.bits) - 1);
                            tile[r * tileLine + to / 8] |= static_cast<std::uint8_t>(v << (8 - p.bits - to % 8));
                        }
                    TIFFWriteTile(t, tile.data(), x0, y0, 0, 0);
                }
        } else {
            const std::uint32_t rps = p.rowsPerStrip ? p.rowsPerStrip : p.height;
            TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rps);
            for (std::uint32_t s = 0; s * rps < p.height; ++s) {
                const std::uint32_t rows = std::min(rps, p.height - s * rps);
                TIFFWriteEncodedStrip(t, s, const_cast<std::uint8_t*>(p.data.data()) + s * rps * line,
                                      static_cast<tmsize_t>(rows * line));
            }
        }
        TIFFWriteDirectory(t);
    }
    TIFFClose(t);
    std::ifstream in(file.Path(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct Probe : PixImageTIF {
    void Want(int frame) { info.frame = frame; }
    [[nodiscard]] int Frames() const { return info.frameCount; }
    [[nodiscard]] int XDpi() const { return info.xDpi; }
    [[nodiscard]] int XOffset() const { return info.xOffset; }
};

TEST(TiffTest, BilevelWhiteIsZeroGetsWhiteFirstEntry) {
    Page p{8, 1, 1};
    p.photometric = PHOTOMETRIC_MINISWHITE;
    p.data = {0x80};
    PixImageTIF img;
    ASSERT_TRUE(DecodeAs(img, WriteTiff({p}))) << img.GetLastError();
    EXPECT_EQ(img.GetBpp(), 1u);
    EXPECT_EQ(Rgb(img, 0, 0), 0x000000u);
    EXPECT_EQ(Rgb(img, 1, 0), 0xFFFFFFu);
}

TEST(TiffTest, FourBitGreyGetsRampOfSeventeens) {
    Page p{2, 1, 4};
    p.data = {0x1F};
    PixImageTIF img;
    ASSERT_TRUE(DecodeAs(img, WriteTiff({p})));
    EXPECT_EQ(img.GetBpp(), 4u);
    EXPECT_EQ(Rgb(img, 0, 0), 0x111111u);
    EXPECT_EQ(Rgb(img, 1, 0), 0xFFFFFFu);
}

TEST(TiffTest, SixteenBitGreySingleStripKeepsHighBytes) {
    Page p{3, 2, 16};
    std::vector<std::uint16_t> samples{0x1234, 0xAB00, 0xFFFF, 0x0100, 0x7F7F, 0x8000};
    p.data.resize(samples.size() * 2);
    std::memcpy(p.data.data(), samples.data(), p.data.size());
    PixImageTIF img;
    ASSERT_TRUE(DecodeAs(img, WriteTiff({p})));
    EXPECT_EQ(img.GetBpp(), 8u);
    const int expect[2][3] = {{0x12, 0xAB, 0xFF}, {0x01, 0x7F, 0x80}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(img.GetPixelIndex(x, 1 - y), expect[y][x]);
}

TEST(TiffTest, StripsAndTilesGiveTheSamePicture) {
    Page p{20, 20, 8};
    for (int i = 0; i < 400; ++i) p.data.push_back(static_cast<std::uint8_t>(i * 13));
    Page strips = p;
    strips.rowsPerStrip = 3;
    Page tiles = p;
    tiles.tileSize = 16;
    PixImageTIF a, b;
    ASSERT_TRUE(DecodeAs(a, WriteTiff({strips})));
    ASSERT_TRUE(DecodeAs(b, WriteTiff({tiles}))) << b.GetLastError();
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            ASSERT_EQ(a.GetPixelIndex(x, 19 - y), p.data[static_cast<std::size_t>(y * 20 + x)]);
            ASSERT_EQ(b.GetPixelIndex(x, 19 - y), p.data[static_cast<std::size_t>(y * 20 + x)]);
        }
}

// Sub-byte palette and grey files: every pixel keeps its own colour, in strips and in tiles.
TEST(TiffTest, PackedSamplesOfOneAndTwoBitsDecodePixelForPixel) {
    struct Case {
        std::uint16_t bits, photometric;
        std::vector<std::uint32_t> colours;  // expected RGB of each sample value
    };
    const std::vector<Case> cases = {
        {1, PHOTOMETRIC_PALETTE, {0xC01020, 0x30A0F0}},
        {2, PHOTOMETRIC_PALETTE, {0xC01020, 0x30A0F0, 0x00FF00, 0x808080}},
        {2, PHOTOMETRIC_MINISBLACK, {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF}},
        {2, PHOTOMETRIC_MINISWHITE, {0xFFFFFF, 0xAAAAAA, 0x555555, 0x000000}},
    };
    const std::uint32_t w = 21, h = 19;
    for (const Case& c : cases) {
        Page p{w, h, c.bits};
        p.photometric = c.photometric;
        if (c.photometric == PHOTOMETRIC_PALETTE) {
            const std::size_t n = std::size_t{1} << c.bits;
            p.colormap.assign(3 * n, 0);
            for (std::size_t i = 0; i < c.colours.size(); ++i) {
                p.colormap[i] = static_cast<std::uint16_t>(((c.colours[i] >> 16) & 0xFF) * 257);
                p.colormap[n + i] = static_cast<std::uint16_t>(((c.colours[i] >> 8) & 0xFF) * 257);
                p.colormap[2 * n + i] = static_cast<std::uint16_t>((c.colours[i] & 0xFF) * 257);
            }
        }
        const std::size_t line = (std::size_t{c.bits} * w + 7) / 8;
        p.data.assign(line * h, 0);
        auto sample = [&](std::uint32_t x, std::uint32_t y) { return (x * 7 + y * 3 + x * y) % c.colours.size(); };
        for (std::uint32_t y = 0; y < h; ++y)
            for (std::uint32_t x = 0; x < w; ++x) {
                const std::size_t bit = std::size_t{x} * c.bits;
                p.data[y * line + bit / 8] |= static_cast<std::uint8_t>(sample(x, y) << (8 - c.bits - bit % 8));
            }
        for (const bool tiled : {false, true}) {
            Page q = p;
            if (tiled) q.tileSize = 16; else q.rowsPerStrip = 4;
            PixImageTIF img;
            ASSERT_TRUE(DecodeAs(img, WriteTiff({q}))) << img.GetLastError();
            for (std::uint32_t y = 0; y < h; ++y)
                for (std::uint32_t x = 0; x < w; ++x)
                    ASSERT_EQ(Rgb(img, static_cast<int>(x), static_cast<int>(h - 1 - y)), c.colours[sample(x, y)])
                        << "bits " << c.bits << " photometric " << c.photometric << (tiled ? " tiled" : " strips")
                        << " at " << x << "," << y;
        }
    }
}

struct OrientationCase {
    std::uint16_t orientation;
    int width, height;
    std::vector<int> rowsFromTop;  // expected indices, top row first
};

class TiffOrientationTest : public ::testing::TestWithParam<OrientationCase> {};

TEST_P(TiffOrientationTest, IsApplied) {
    // The file holds 2 x 3 pixels: 1 2 / 3 4 / 5 6.
    Page p{2, 3, 8};
    p.data = {1, 2, 3, 4, 5, 6};
    p.orientation = GetParam().orientation;
    PixImageTIF img;
    ASSERT_TRUE(DecodeAs(img, WriteTiff({p})));
    ASSERT_EQ(img.GetWidth(), GetParam().width);
    ASSERT_EQ(img.GetHeight(), GetParam().height);
    std::vector<int> got;
    for (int y = img.GetHeight() - 1; y >= 0; --y)
        for (int x = 0; x < img.GetWidth(); ++x) got.push_back(img.GetPixelIndex(x, y));
    EXPECT_EQ(got, GetParam().rowsFromTop);
}

INSTANTIATE_TEST_SUITE_P(Tags, TiffOrientationTest,
                         ::testing::Values(OrientationCase{1, 2, 3, {1, 2, 3, 4, 5, 6}},
                                           OrientationCase{2, 2, 3, {2, 1, 4, 3, 6, 5}},
                                           OrientationCase{3, 2, 3, {6, 5, 4, 3, 2, 1}},
                                           OrientationCase{4, 2, 3, {5, 6, 3, 4, 1, 2}},
                                           // A quarter turn clockwise.
                                           OrientationCase{6, 3, 2, {5, 3, 1, 6, 4, 2}},
                                           OrientationCase{8, 3, 2, {2, 4, 6, 1, 3, 5}}));

TEST(TiffTest, RgbaKeepsStraightColourAndAlpha) {
    Page p{2, 1, 8, 4};
    p.photometric = PHOTOMETRIC_RGB;
    p.extra = {EXTRASAMPLE_UNASSALPHA};
    p.data = {200, 100, 50, 128, 10, 20, 30, 255};
    PixImageTIF img;
    ASSERT_TRUE(DecodeAs(img, WriteTiff({p}))) << img.GetLastError();
    EXPECT_EQ(img.GetBpp(), 24u);
    ASSERT_TRUE(img.AlphaIsValid());
    EXPECT_EQ(img.AlphaGet(0, 0), 128);
    const RGBQUAD c = img.GetPixelColor(0, 0, false);
    EXPECT_NEAR(c.rgbRed, 200, 1);
    EXPECT_NEAR(c.rgbGreen, 100, 1);
    EXPECT_NEAR(c.rgbBlue, 50, 1);
    EXPECT_EQ(Rgb(img, 1, 0), 0x0A141Eu);
}

TEST(TiffTest, RgbDecodesBottomUp) {
    Page p{1, 2, 8, 3};
    p.photometric = PHOTOMETRIC_RGB;
    p.data = {255, 0, 0, 0, 0, 255};
    PixImageTIF img;
    ASSERT_TRUE(DecodeAs(img, WriteTiff({p})));
    EXPECT_FALSE(img.AlphaIsValid());
    EXPECT_EQ(Rgb(img, 0, 1), 0xFF0000u);
    EXPECT_EQ(Rgb(img, 0, 0), 0x0000FFu);
}

TEST(TiffTest, PaletteOfSixteenBitEntriesIsScaled) {
    Page p{2, 1, 4};
    p.photometric = PHOTOMETRIC_PALETTE;
    p.colormap.assign(48, 0);
    p.colormap[1] = 65535;        // red of entry 1
    p.colormap[16 + 2] = 32768;   // green of entry 2
    p.data = {0x12};
    PixImageTIF img;
    ASSERT_TRUE(DecodeAs(img, WriteTiff({p})));
    EXPECT_EQ(Rgb(img, 0, 0), 0xFF0000u);
    EXPECT_EQ(Rgb(img, 1, 0), 0x007F00u);
}

TEST(TiffTest, SixteenBitPaletteFillsOnlyThePalette) {
    // 65536 map entries per channel: the palette takes the first 256, the pixels the high bytes.
    Page p{2, 1, 16};
    p.photometric = PHOTOMETRIC_PALETTE;
    p.colormap.assign(3 * 65536, 0);
    p.colormap[0x12] = 65535;  // red of entry 0x12
    std::vector<std::uint16_t> samples{0x1234, 0x0100};
    p.data.resize(4);
    std::memcpy(p.data.data(), samples.data(), 4);
    PixImageTIF img;
    ASSERT_TRUE(DecodeAs(img, WriteTiff({p}))) << img.GetLastError();
    EXPECT_EQ(img.GetPixelIndex(0, 0), 0x12);
    EXPECT_EQ(Rgb(img, 0, 0), 0xFF0000u);
    EXPECT_EQ(Rgb(img, 1, 0), 0x000000u);
}

TEST(TiffTest, LabConvertsToRgb) {
    Page p{2, 1, 8, 3};
    p.photometric = PHOTOMETRIC_CIELAB;
    p.data = {255, 0, 0, 0, 0, 0};  // white, black
    PixImageTIF img;
    ASSERT_TRUE(DecodeAs(img, WriteTiff({p})));
    EXPECT_EQ(img.GetBpp(), 24u);
    const RGBQUAD white = img.GetPixelColor(0, 0, false);
    EXPECT_GE(white.rgbRed, 250);
    EXPECT_GE(white.rgbBlue, 250);
    // The conversion's cube root leaves a trace of light at L* 0.
    EXPECT_EQ(Rgb(img, 1, 0), 0x080808u);
}

TEST(TiffTest, ResolutionInCentimetresAndPosition) {
    Page p;
    p.data = {0};
    p.xres = 28;
    p.unit = RESUNIT_CENTIMETER;
    p.xpos = 3.7f;
    Probe img;
    ASSERT_TRUE(DecodeAs(img, WriteTiff({p})));
    EXPECT_EQ(img.XDpi(), 71);
    EXPECT_EQ(img.XOffset(), 3);
}

TEST(TiffTest, PagesAreCountedAndChosen) {
    Page a, b;
    a.data = {10};
    b.data = {20};
    const Bytes file = WriteTiff({a, b});
    Probe second;
    second.Want(1);
    ASSERT_TRUE(DecodeAs(second, file));
    EXPECT_EQ(second.Frames(), 2);
    EXPECT_EQ(second.GetPixelIndex(0, 0), 20);
    Probe third;
    third.Want(2);
    EXPECT_FALSE(DecodeAs(third, file));
    EXPECT_STREQ(third.GetLastError(), "Error: page not present in TIFF file");
}

struct TiffFailure {
    const char* name;
    Bytes file;
    const char* error;
};

class TiffFailureTest : public ::testing::TestWithParam<TiffFailure> {};

TEST_P(TiffFailureTest, FailsQuietlyWithItsText) {
    PixImageTIF img;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(DecodeAs(img, GetParam().file));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_STREQ(img.GetLastError(), GetParam().error);
    EXPECT_FALSE(img.IsValid());
}

Bytes Cut(Bytes b, std::size_t keep) {
    b.resize(keep);
    return b;
}

Bytes CorpusFile(const char* name) {
    std::ifstream in(std::string(RT_FUZZ_DIR) + "/image_decode/corpus/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes BigGrey() {
    Page p{64, 64, 8};
    p.data.assign(64 * 64, 7);
    return WriteTiff({p});
}

INSTANTIATE_TEST_SUITE_P(
    Files, TiffFailureTest,
    ::testing::Values(TiffFailure{"NotTiff", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'},
                                  "Error encountered while opening TIFF file"},
                      // The directory sits at the end of the file: cut, nothing can be opened.
                      TiffFailure{"DirectoryCut", Cut(BigGrey(), 4200), "Error encountered while opening TIFF file"},
                      // Three samples that are neither colour nor L*a*b* are not converted as L*a*b*.
                      TiffFailure{"FourBitRgb", [] {
                                      Page p{2, 1, 4, 3};
                                      p.photometric = PHOTOMETRIC_RGB;
                                      p.data = {0x12, 0x34, 0x56};
                                      return WriteTiff({p});
                                  }(),
                                  "Corrupted TIFF file!"},
                      // Found by fuzzing: 16 x 16 pixels in one tile of 65536 x 65536 bytes.
                      TiffFailure{"TileOfGigabytes", CorpusFile("tiff-tile-4gb.tif"), "PixImageTIF can't allocate memory"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TiffTest, StripDataPastEndOfFileFails) {
    // Move the strip offset past the file's end.
    Page p{4, 4, 8};
    p.data.assign(16, 9);
    Bytes file = WriteTiff({p});
    Probe img;
    // A valid file first, then the same file with its pixel bytes claimed to lie far away.
    ASSERT_TRUE(DecodeAs(img, file));
    const std::uint32_t dir = fixtures::Bytes(file.begin() + 4, file.begin() + 8)[0] |
                              (file[5] << 8) | (file[6] << 16) | (file[7] << 24);
    const std::uint16_t count = static_cast<std::uint16_t>(file[dir] | (file[dir + 1] << 8));
    for (std::uint16_t i = 0; i < count; ++i) {
        std::uint8_t* e = file.data() + dir + 2 + 12 * i;
        if ((e[0] | (e[1] << 8)) == TIFFTAG_STRIPOFFSETS) {
            e[8] = 0x00;
            e[9] = 0x00;
            e[10] = 0x10;
            e[11] = 0x00;
        }
    }
    PixImageTIF broken;
    EXPECT_FALSE(DecodeAs(broken, file));
    EXPECT_STREQ(broken.GetLastError(), "Corrupted TIFF file!");
}

TEST(TiffTest, DetectedAsTypeSix) {
    Page p;
    p.data = {1};
    MemFile f(WriteTiff({p}));
    PixImage img;
    ASSERT_TRUE(img.Decode(&f, 0)) << img.GetLastError();
    EXPECT_EQ(img.GetType(), static_cast<std::uint32_t>(PIX_FORMAT_TIF));
}

}  // namespace
