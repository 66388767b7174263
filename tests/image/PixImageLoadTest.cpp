#include "image/PixImage.h"

#include "ImageFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>

using fixtures::Bmp;
using fixtures::Bytes;
using fixtures::MemFile;
using fixtures::Png;
using fixtures::Rgb;
using fixtures::TempFile;

namespace {

struct Peek : PixImage {
    using PixImage::info;
};

Bytes SmallPng() {
    Png p;
    p.width = 2;
    p.rows = {{10, 20, 30, 40, 50, 60}};
    return p.Build();
}

Bytes SmallBmp() {
    Bmp b;
    b.width = 1;
    b.pixels = {1, 2, 3, 0};
    return b.Build();
}

Bytes TwoFrameIcon() {
    // Two 1 x 1 frames at 24 bits; the second is white.
    Bytes out = {0, 0, 1, 0, 2, 0};
    const std::uint32_t body = 40 + 4 + 4;
    for (std::uint32_t i = 0; i < 2; ++i) {
        fixtures::Append(out, {1, 1, 0, 0, 1, 0, 24, 0});
        fixtures::Put32(out, body);
        fixtures::Put32(out, 6 + 32 + i * body);
    }
    for (std::uint8_t v : {std::uint8_t{0}, std::uint8_t{255}}) {
        fixtures::Put32(out, 40);
        fixtures::Put32(out, 1);
        fixtures::Put32(out, 2);
        fixtures::Put16(out, 1);
        fixtures::Put16(out, 24);
        for (int i = 0; i < 6; ++i) fixtures::Put32(out, 0);
        fixtures::Append(out, {v, v, v, 0, 0, 0, 0, 0});
    }
    return out;
}

const Bytes kText = {'t', 'h', 'i', 's', ' ', 'i', 's', ' ', 'n', 'o', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e',
                     ' ', 'a', 't', ' ', 'a', 'l', 'l', ',', ' ', 'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't',
                     ' ', 'i', 'n', ' ', 'a', ' ', 'f', 'i', 'l', 'e', '.', '\n'};

}  // namespace

TEST(PixImageLoad, DetectionFindsEachBuiltFormat) {
    struct Case {
        const char* name;
        Bytes data;
        std::uint32_t wantType;
    };
    const Case cases[] = {{"png", SmallPng(), 4}, {"bmp", SmallBmp(), 1}, {"ico", TwoFrameIcon(), 5}};
    for (const Case& c : cases) {
        TempFile file(c.data);
        PixImage img(file.Path(), 0);
        ASSERT_TRUE(img.IsValid()) << c.name << ": " << img.GetLastError();
        EXPECT_EQ(img.GetType(), c.wantType) << c.name;
    }
}

TEST(PixImageLoad, DetectionSeeksBackToTheStreamsStartBetweenAttempts) {
    Bytes data = {'x', 'y', 'z'};
    fixtures::Append(data, SmallPng());
    MemFile f(data, 3);
    PixImage img;
    ASSERT_TRUE(img.Decode(&f, 0));
    EXPECT_EQ(img.GetType(), 4u);
    EXPECT_EQ(Rgb(img, 1, 0), 0x28323Cu);
    // BMP and ICO reject the PNG before it is tried; every return goes to position 3, not 0.
    ASSERT_GE(f.seeksTo.size(), 2u);
    for (std::int32_t at : f.seeksTo) EXPECT_EQ(at, 3);
}

TEST(PixImageLoad, TypedLoadFallsBackToDetection) {
    TempFile file(SmallPng());
    PixImage img;
    EXPECT_TRUE(img.Load(file.Path(), 1));
    EXPECT_EQ(img.GetType(), 4u);
}

TEST(PixImageLoad, ErrorTextPrecedence) {
    TempFile file(kText, "notes.txt");
    struct Case {
        std::uint32_t type;
        const char* error;
    };
    // A typed attempt's own message wins over the detection's; type 0 ends with the detection's.
    const Case cases[] = {
        {0, "Decode: Unknown or wrong format"},
        {1, "Error reading BMP info"},
        {5, ""},  // the icon decoder fails without a message, and that empty text stands
        {4, "Not a PNG file"},
    };
    for (const Case& c : cases) {
        PixImage img;
        EXPECT_FALSE(img.Load(file.Path(), c.type)) << c.type;
        EXPECT_STREQ(img.GetLastError(), c.error) << c.type;
    }
}

TEST(PixImageLoad, TypeTenDetectsAndKeepsThePreviousText) {
    TempFile text(kText);
    PixImage img;
    EXPECT_FALSE(img.Load(text.Path(), 10));
    EXPECT_STREQ(img.GetLastError(), "");
    TempFile png(SmallPng());
    EXPECT_TRUE(img.Load(png.Path(), 10));
    EXPECT_EQ(img.GetType(), 4u);
}

TEST(PixImageLoad, MissingFileLeavesErrorTextAlone) {
    for (std::uint32_t type : {0u, 1u, 4u, 10u}) {
        PixImage img(1, 1, 24, 0);
        img.Load("/nonexistent/folder/picture.png", type);  // leaves an earlier message
        PixImage fresh;
        EXPECT_FALSE(fresh.Load("/nonexistent/folder/picture.png", type));
        EXPECT_STREQ(fresh.GetLastError(), "");
        PixImage made(0, 0, 8, 0);
        EXPECT_FALSE(made.Load("/nonexistent/folder/picture.png", type));
        EXPECT_STREQ(made.GetLastError(), "PixImage::Create : width and height must be greater than zero");
    }
}

TEST(PixImageLoad, FailedLoadKeepsThePicture) {
    TempFile text(kText);
    PixImage img(3, 2, 24, 0);
    EXPECT_FALSE(img.Load(text.Path(), 0));
    EXPECT_TRUE(img.IsValid());
    EXPECT_EQ(img.GetWidth(), 3);
}

TEST(PixImageLoad, OptionsOfTheImageReachTheDecoder) {
    TempFile file(TwoFrameIcon());
    Peek img;
    img.info.frame = 1;
    ASSERT_TRUE(img.Load(file.Path(), 0));
    EXPECT_EQ(Rgb(img, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(img.info.frameCount, 2);
}

TEST(PixImageLoad, DecodeFromHandleStartsAtItsPosition) {
    Bytes data = kText;
    fixtures::Append(data, SmallBmp());
    TempFile file(data);
    std::FILE* fp = std::fopen(file.Path(), "rb");
    ASSERT_NE(fp, nullptr);
    std::fseek(fp, static_cast<long>(kText.size()), SEEK_SET);
    PixImage img;
    EXPECT_TRUE(img.Decode(fp, 0));
    EXPECT_EQ(Rgb(img, 0, 0), 0x030201u);
    EXPECT_EQ(std::fclose(fp), 0);  // the handle stayed open and is the caller's
}

TEST(PixImageLoad, UnknownTypeInDecodeFails) {
    MemFile f(SmallPng());
    PixImage img;
    EXPECT_FALSE(img.Decode(&f, 10));
    EXPECT_STREQ(img.GetLastError(), "Decode: Unknown or wrong format");
    EXPECT_FALSE(img.Decode(static_cast<PixFile*>(nullptr), 0));
}
