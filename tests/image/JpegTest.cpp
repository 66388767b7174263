#include "image/PixImageJPG.h"

#include "ImageFixtures.h"
#include "image/PixIOFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <jpeglib.h>

using fixtures::Bytes;
using fixtures::DecodeAs;
using fixtures::MemFile;
using fixtures::Rgb;

namespace {

// A JPEG of w x h pixels of one colour (components bytes per pixel), written by libjpeg.
struct Jpeg {
    int width = 8;
    int height = 8;
    J_COLOR_SPACE space = JCS_RGB;
    Bytes pixel{200, 100, 50};
    bool jfif = true;
    UINT8 densityUnit = 0;
    UINT16 xDensity = 1, yDensity = 1;
    Bytes app1{};  // written as an APP1 marker when not empty

    [[nodiscard]] Bytes Build() const {
        jpeg_compress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_compress(&c);
        unsigned char* mem = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&c, &mem, &size);
        c.image_width = static_cast<JDIMENSION>(width);
        c.image_height = static_cast<JDIMENSION>(height);
        c.input_components = static_cast<int>(pixel.size());
        c.in_color_space = space;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, 100, TRUE);
        c.write_JFIF_header = jfif ? TRUE : FALSE;
        c.density_unit = densityUnit;
        c.X_density = xDensity;
        c.Y_density = yDensity;
        jpeg_start_compress(&c, TRUE);
        if (!app1.empty()) jpeg_write_marker(&c, JPEG_APP0 + 1, app1.data(), static_cast<unsigned>(app1.size()));
        Bytes row;
        for (int x = 0; x < width; ++x) row.insert(row.end(), pixel.begin(), pixel.end());
        while (c.next_scanline < c.image_height) {
            JSAMPROW r = row.data();
            jpeg_write_scanlines(&c, &r, 1);
        }
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);
        Bytes out(mem, mem + size);
        std::free(mem);
        return out;
    }
};

// An Exif block: "Exif\0\0", an "II" TIFF header and IFD0 with the given (tag, type, value)
// entries; rationals point at 8-byte values after the directory.
Bytes Exif(std::vector<std::tuple<std::uint16_t, std::uint16_t, std::uint32_t>> entries) {
    Bytes b{'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 0x2A, 0};
    fixtures::Put32(b, 8);
    fixtures::Put16(b, static_cast<std::uint32_t>(entries.size()));
    std::uint32_t extra = 8 + 2 + 12 * static_cast<std::uint32_t>(entries.size()) + 4;
    Bytes values;
    for (const auto& [tag, type, value] : entries) {
        fixtures::Put16(b, tag);
        fixtures::Put16(b, type);
        fixtures::Put32(b, 1);
        if (type == 5) {
            fixtures::Put32(b, extra);
            fixtures::Put32(values, value);
            fixtures::Put32(values, 1);
            extra += 8;
        } else {
            fixtures::Put32(b, value);
        }
    }
    fixtures::Put32(b, 0);
    b.insert(b.end(), values.begin(), values.end());
    return b;
}

struct Dpi : PixImageJPG {
    [[nodiscard]] int X() const { return info.xDpi; }
    [[nodiscard]] int Y() const { return info.yDpi; }
    void Scale(std::uint8_t s) { info.jpegScale = s; }
};

TEST(JpegTest, ColourDecodesToBlueGreenRed) {
    PixImageJPG img;
    ASSERT_TRUE(DecodeAs(img, Jpeg{}.Build())) << img.GetLastError();
    EXPECT_EQ(img.GetBpp(), 24u);
    EXPECT_EQ(img.GetWidth(), 8);
    const RGBQUAD c = img.GetPixelColor(3, 3);
    EXPECT_NEAR(c.rgbRed, 200, 2);
    EXPECT_NEAR(c.rgbGreen, 100, 2);
    EXPECT_NEAR(c.rgbBlue, 50, 2);
}

TEST(JpegTest, GreyDecodesToEightBitsWithGreyPalette) {
    Jpeg j;
    j.space = JCS_GRAYSCALE;
    j.pixel = {77};
    PixImageJPG img;
    ASSERT_TRUE(DecodeAs(img, j.Build()));
    EXPECT_EQ(img.GetBpp(), 8u);
    EXPECT_TRUE(img.IsGrayScale());
    EXPECT_NEAR(img.GetPixelIndex(0, 0), 77, 1);
}

TEST(JpegTest, AdobeCmykIsInvertedCmykTimesBlack) {
    Jpeg j;
    j.space = JCS_CMYK;
    j.jfif = false;
    j.pixel = {200, 100, 50, 128};
    PixImageJPG img;
    ASSERT_TRUE(DecodeAs(img, j.Build())) << img.GetLastError();
    EXPECT_EQ(img.GetBpp(), 24u);
    const RGBQUAD c = img.GetPixelColor(0, 0);
    EXPECT_NEAR(c.rgbRed, 200 * 128 / 255, 2);
    EXPECT_NEAR(c.rgbGreen, 100 * 128 / 255, 2);
    EXPECT_NEAR(c.rgbBlue, 50 * 128 / 255, 2);
}

struct ResolutionCase {
    const char* name;
    UINT8 unit;
    UINT16 density;
    Bytes exif;
    int dpi;
};

class JpegResolutionTest : public ::testing::TestWithParam<ResolutionCase> {};

TEST_P(JpegResolutionTest, ResolutionFromExifOrJfif) {
    Jpeg j;
    j.densityUnit = GetParam().unit;
    j.xDensity = j.yDensity = GetParam().density;
    j.app1 = GetParam().exif;
    Dpi img;
    ASSERT_TRUE(DecodeAs(img, j.Build()));
    EXPECT_EQ(img.X(), GetParam().dpi);
    EXPECT_EQ(img.Y(), GetParam().dpi);
}

INSTANTIATE_TEST_SUITE_P(
    Files, JpegResolutionTest,
    ::testing::Values(ResolutionCase{"DotsPerCentimetre", 2, 28, {}, 71},
                      ResolutionCase{"DotsPerInch", 1, 300, {}, 300},
                      // Unit 0 gives no unit: the densities are taken as they are.
                      ResolutionCase{"NoUnit", 0, 5, {}, 5},
                      ResolutionCase{"ZeroDensity", 1, 0, {}, 96},
                      ResolutionCase{"ExifCentimetres", 1, 300, Exif({{0x011A, 5, 28}, {0x011B, 5, 28}, {0x0128, 3, 3}}), 71},
                      ResolutionCase{"ExifInches", 1, 300, Exif({{0x011A, 5, 180}, {0x011B, 5, 180}, {0x0128, 3, 2}}), 180},
                      // Without a unit the factor stays 0 and the resolution is not taken.
                      ResolutionCase{"ExifWithoutUnit", 1, 300, Exif({{0x011A, 5, 180}, {0x011B, 5, 180}}), 96}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JpegTest, ScaleDenominatorDividesLikeLibjpeg6b) {
    const Bytes file = Jpeg{16, 16}.Build();
    for (auto [scale, size] : std::vector<std::pair<int, int>>{{0, 16}, {1, 16}, {2, 8}, {3, 8}, {4, 4}, {8, 2}, {9, 2}}) {
        Dpi img;
        img.Scale(static_cast<std::uint8_t>(scale));
        ASSERT_TRUE(DecodeAs(img, file));
        EXPECT_EQ(img.GetWidth(), size) << "scale " << scale;
    }
}

TEST(JpegTest, EmptyFileFailsWithLibjpegText) {
    // Through a real file: the in-memory stream does not take empty data.
    fixtures::TempFile file(Bytes{});
    std::FILE* fp = std::fopen(file.Path(), "rb");
    ASSERT_NE(fp, nullptr);
    PixIOFile stream(fp);
    PixImageJPG img;
    EXPECT_FALSE(img.Decode(&stream));
    std::fclose(fp);
    EXPECT_STREQ(img.GetLastError(), "Empty input file");
}

TEST(JpegTest, NotJpegFailsWithLibjpegText) {
    PixImageJPG img;
    EXPECT_FALSE(DecodeAs(img, Bytes{'h', 'e', 'l', 'l', 'o'}));
    EXPECT_STREQ(img.GetLastError(), "Not a JPEG file: starts with 0x68 0x65");
    EXPECT_FALSE(img.IsValid());
}

TEST(JpegTest, TruncatedFileStillDecodes) {
    Bytes file = Jpeg{32, 32}.Build();
    file.resize(file.size() - 8);  // into the scan data: the end of image and more are gone
    PixImageJPG img;
    ASSERT_TRUE(DecodeAs(img, file)) << img.GetLastError();
    EXPECT_EQ(img.GetHeight(), 32);
}

TEST(JpegTest, DetectionFindsJpegAfterExifWalk) {
    MemFile f(Jpeg{}.Build());
    PixImage img;
    ASSERT_TRUE(img.Decode(&f, 0));
    EXPECT_EQ(img.GetType(), static_cast<std::uint32_t>(PIX_FORMAT_JPG));
}

}  // namespace
