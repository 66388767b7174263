#include "image/PixExifInfo.h"

#include "ImageFixtures.h"

#include <gtest/gtest.h>

using fixtures::Bytes;
using fixtures::MemFile;

namespace {

using Reader = PixImageJPG::PixExifInfo;

void PutBe16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
}

// One marker section: FF, the marker, the big-endian length (counting itself), the data.
Bytes Section(std::uint8_t marker, const Bytes& data) {
    Bytes b{0xFF, marker};
    PutBe16(b, static_cast<std::uint32_t>(data.size() + 2));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

Bytes JpegWith(const std::vector<Bytes>& sections) {
    Bytes b{0xFF, 0xD8};
    for (const Bytes& s : sections) b.insert(b.end(), s.begin(), s.end());
    const Bytes sos = Section(0xDA, {1, 1, 0, 0, 63, 0});
    b.insert(b.end(), sos.begin(), sos.end());
    return b;
}

// A TIFF-in-Exif block written in either byte order, built from raw directory words.
struct Block {
    bool motorola = false;
    Bytes tiff;  // from the TIFF header on

    void P16(std::uint32_t v) {
        if (motorola) {
            PutBe16(tiff, v);
        } else {
            fixtures::Put16(tiff, v);
        }
    }
    void P32(std::uint32_t v) {
        if (motorola) {
            P16(v >> 16);
            P16(v & 0xFFFF);
        } else {
            P16(v & 0xFFFF);
            P16(v >> 16);
        }
    }
    void Header(std::uint32_t firstIfd = 8) {
        tiff.push_back(motorola ? 'M' : 'I');
        tiff.push_back(motorola ? 'M' : 'I');
        P16(0x2A);
        P32(firstIfd);
    }
    void Entry(std::uint16_t tag, std::uint16_t format, std::uint32_t count, std::uint32_t value) {
        P16(tag);
        P16(format);
        P32(count);
        if (format == 3 && count == 1 && motorola) {
            P16(value);  // a short sits in the first two bytes of the value field
            P16(0);
        } else {
            P32(value);
        }
    }
    [[nodiscard]] Bytes App1() const {
        Bytes b{'E', 'x', 'i', 'f', 0, 0};
        b.insert(b.end(), tiff.begin(), tiff.end());
        return Section(0xE1, b);
    }
};

// IFD0 with X resolution (rational at offset 38), resolution unit, no next directory.
Block Resolution(bool motorola, std::uint32_t unit, std::uint32_t xres) {
    Block k;
    k.motorola = motorola;
    k.Header();
    k.P16(2);
    k.Entry(0x011A, 5, 1, 8 + 2 + 24 + 4);
    k.Entry(0x0128, 3, 1, unit);
    k.P32(0);
    k.P32(xres);
    k.P32(1);
    return k;
}

TEST(ExifTest, NonJpegStopsAtFirstTwoBytesWithoutText) {
    MemFile f(Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10});
    Reader r;
    EXPECT_FALSE(r.DecodeExif(&f, 1));
    EXPECT_STREQ(r.GetLastError(), "");
    EXPECT_LE(f.Tell(), 2);
}

TEST(ExifTest, BothByteOrdersGiveTheSameResolution) {
    for (bool motorola : {false, true}) {
        MemFile f(JpegWith({Resolution(motorola, 3, 28).App1()}));
        Reader r;
        ASSERT_TRUE(r.DecodeExif(&f, 1)) << r.GetLastError();
        EXPECT_TRUE(r.GetRecord().isExif);
        EXPECT_FLOAT_EQ(r.GetRecord().xResolution, 28.0f) << motorola;
        EXPECT_NEAR(r.GetRecord().xResolution / r.GetRecord().resolutionUnit, 71.12, 0.01) << motorola;
    }
}

struct UnitCase {
    std::uint32_t unit;
    float factor;
};

class ExifUnitTest : public ::testing::TestWithParam<UnitCase> {};

TEST_P(ExifUnitTest, UnitMapsToInchesPerUnit) {
    MemFile f(JpegWith({Resolution(false, GetParam().unit, 1).App1()}));
    Reader r;
    ASSERT_TRUE(r.DecodeExif(&f, 1));
    EXPECT_FLOAT_EQ(r.GetRecord().resolutionUnit, GetParam().factor);
}

INSTANTIATE_TEST_SUITE_P(Units, ExifUnitTest,
                         ::testing::Values(UnitCase{1, 1.0f}, UnitCase{2, 1.0f}, UnitCase{3, 0.3937007874f},
                                           UnitCase{4, 0.03937007874f}, UnitCase{5, 0.00003937007874f},
                                           UnitCase{6, 0.0f}));

TEST(ExifTest, FrameHeaderGivesSizeAndColour) {
    MemFile f(JpegWith({Section(0xC0, {8, 0, 20, 0, 30, 3})}));
    Reader r;
    ASSERT_TRUE(r.DecodeExif(&f, 1));
    EXPECT_EQ(r.GetRecord().height, 20);
    EXPECT_EQ(r.GetRecord().width, 30);
    EXPECT_TRUE(r.GetRecord().isColor);
    EXPECT_EQ(r.GetRecord().process, 0xC0);
}

TEST(ExifTest, CommentKeepsPrintableTextLineFeedsAndTabs) {
    MemFile f(JpegWith({Section(0xFE, {'a', '\r', '\n', 'b', '\t', 1, 'c'}), Section(0xFE, {'x'})}));
    Reader r;
    ASSERT_TRUE(r.DecodeExif(&f, 1));
    EXPECT_STREQ(r.GetRecord().comment, "a\nb\t?c");
}

TEST(ExifTest, BadOrientationIsNotedAndParsingGoesOn) {
    Block k;
    k.Header();
    k.P16(2);
    k.Entry(0x0112, 3, 1, 9);
    k.Entry(0x0128, 3, 1, 3);
    k.P32(0);
    MemFile f(JpegWith({k.App1()}));
    Reader r;
    ASSERT_TRUE(r.DecodeExif(&f, 1));
    EXPECT_STREQ(r.GetLastError(), "Undefined rotation value");
    EXPECT_EQ(r.GetRecord().orientation, 0);
    EXPECT_FLOAT_EQ(r.GetRecord().resolutionUnit, 0.3937007874f);
}

// Numbers that no int holds (NaN, infinity, a long above the int range) read as invalid values:
// no undefined conversion, no stray unit or flash.
TEST(ExifTest, NumbersOutsideTheIntRangeReadAsInvalid) {
    const std::uint32_t nan = 0x7FC00000, infinity = 0x7F800000, hugeLong = 0xFFFFFFFF;
    for (const std::uint32_t bits : {nan, infinity, hugeLong}) {
        const std::uint16_t format = bits == hugeLong ? 4 : 11;
        Block k;
        k.Header();
        k.P16(4);
        k.Entry(0x0112, format, 1, bits);
        k.Entry(0x0128, format, 1, bits);
        k.Entry(0x9209, format, 1, bits);
        k.Entry(0xA210, format, 1, bits);
        k.P32(0);
        MemFile f(JpegWith({k.App1()}));
        Reader r;
        ASSERT_TRUE(r.DecodeExif(&f, 1)) << bits;
        EXPECT_STREQ(r.GetLastError(), "Undefined rotation value") << bits;
        EXPECT_EQ(r.GetRecord().orientation, 0) << bits;
        EXPECT_EQ(r.GetRecord().resolutionUnit, 0.0f) << bits;
        EXPECT_EQ(r.GetRecord().focalPlaneUnits, 0.0f) << bits;
        EXPECT_EQ(r.GetRecord().flashUsed, 0) << bits;
    }
}

TEST(ExifTest, DirectoryCyclesAreReadOnce) {
    // IFD0 links to itself both as its Exif subdirectory and as its next directory.
    Block k;
    k.Header();
    k.P16(2);
    k.Entry(0x8769, 4, 1, 8);
    k.Entry(0x0128, 3, 1, 2);
    k.P32(8);
    MemFile f(JpegWith({k.App1()}));
    Reader r;
    EXPECT_TRUE(r.DecodeExif(&f, 1));
    EXPECT_TRUE(r.GetRecord().isExif);
}

struct ExifFailure {
    const char* name;
    Bytes file;
    const char* error;
};

class ExifFailureTest : public ::testing::TestWithParam<ExifFailure> {};

TEST_P(ExifFailureTest, StopsWithItsText) {
    MemFile f(GetParam().file);
    Reader r;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(r.DecodeExif(&f, 1));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");  // nothing on the console
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_STREQ(r.GetLastError(), GetParam().error);
    EXPECT_FALSE(r.GetRecord().isExif);
}

Bytes WithDirectory(void (*fill)(Block&)) {
    Block k;
    k.Header();
    fill(k);
    return JpegWith({k.App1()});
}

INSTANTIATE_TEST_SUITE_P(
    Files, ExifFailureTest,
    ::testing::Values(
        ExifFailure{"FormatThirteen", WithDirectory([](Block& k) {
                        k.P16(1);
                        k.Entry(0x011A, 13, 1, 0);
                        k.P32(0);
                    }),
                    "Illegal format code in EXIF dir"},
        ExifFailure{"EntriesPastBlock", WithDirectory([](Block& k) { k.P16(200); }), "Illegally sized directory"},
        ExifFailure{"ValuePastBlock", WithDirectory([](Block& k) {
                        k.P16(1);
                        k.Entry(0x011A, 5, 1, 4000);
                        k.P32(0);
                    }),
                    "Illegal pointer offset value in EXIF."},
        ExifFailure{"CountOverflowingOffset", WithDirectory([](Block& k) {
                        k.P16(1);
                        k.Entry(0x010F, 2, 0xFFFFFFF0u, 8);
                        k.P32(0);
                    }),
                    "Illegal pointer offset value in EXIF."},
        ExifFailure{"SubdirectoryOutside", WithDirectory([](Block& k) {
                        k.P16(1);
                        k.Entry(0x8769, 4, 1, 0x10000);
                        k.P32(0);
                    }),
                    "Illegal subdirectory link"},
        ExifFailure{"NextDirectoryOutside", WithDirectory([](Block& k) {
                        k.P16(0);
                        k.P32(0x7FFFFFFF);
                    }),
                    "Illegal subdirectory link"},
        ExifFailure{"FirstDirectoryOutside", [] {
                        Block k;
                        k.Header(0xFFFFFF00u);
                        k.P16(0);
                        k.P32(0);
                        return JpegWith({k.App1()});
                    }(),
                    "Illegally sized directory"},
        ExifFailure{"BadAlignment", JpegWith({Section(0xE1, {'E', 'x', 'i', 'f', 0, 0, 'I', 'M', 0x2A, 0, 8, 0, 0, 0})}),
                    "Invalid Exif alignment marker."},
        ExifFailure{"BadStart", JpegWith({Section(0xE1, {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 0x2B, 0, 8, 0, 0, 0})}),
                    "Invalid Exif start (1)"},
        ExifFailure{"BadHeader", JpegWith({Section(0xE1, {'E', 'x', 'i', 'f', 1, 0, 'I', 'I', 0x2A, 0, 8, 0, 0, 0})}),
                    "Incorrect Exif header"},
        ExifFailure{"ShortBlock", JpegWith({Section(0xE1, {'E', 'x', 'i', 'f', 0, 0, 'I', 'I'})}),
                    "Incorrect Exif header"},
        ExifFailure{"TwentySections", [] {
                        std::vector<Bytes> s(20, Section(0xDB, {0}));
                        return JpegWith(s);
                    }(),
                    "Too many sections in jpg file"},
        ExifFailure{"SevenFillBytes", Bytes{0xFF, 0xD8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xDA},
                    "too many padding bytes"},
        ExifFailure{"EndBeforeScan", Bytes{0xFF, 0xD8, 0xFF, 0xD9, 0, 2}, "No image in jpeg!"},
        ExifFailure{"LengthBelowTwo", Bytes{0xFF, 0xD8, 0xFF, 0xDB, 0, 1}, "invalid marker"},
        ExifFailure{"SectionCutShort", Bytes{0xFF, 0xD8, 0xFF, 0xDB, 0, 9, 1}, "Premature end of file?"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExifTest, ReadModeTwoKeepsTheImageData) {
    Bytes file = JpegWith({});
    file.insert(file.end(), {1, 2, 3, 0xFF, 0xD9});
    MemFile f(file);
    Reader r;
    ASSERT_TRUE(r.DecodeExif(&f, 3));
    EXPECT_EQ(r.GetSectionCount(), 2);
    EXPECT_EQ(f.Tell(), static_cast<std::int32_t>(file.size()));
}

}  // namespace
