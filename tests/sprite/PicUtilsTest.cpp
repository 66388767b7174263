#include <gtest/gtest.h>

#include <fstream>

#include "SpriteFixtures.h"
#include "platform/system/Exception.h"
#include "platform/drawing/TPicture.h"
#include "sprite/PicUtils.h"

using namespace fixtures;

namespace {

class PicUtilsLoad : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(PicUtilsLoad, MissingFileThrowsWithLine179AndKeepsBitmap)
{
    auto bitmap = SolidBitmap(3, 2, RGB(1, 2, 3));
    HBITMAP before = bitmap->Handle();
    const std::string name = dir.File("none.png");
    EXPECT_EQ(ThrownText([&] { LoadImageToBitmap(bitmap.get(), name); }),
              "File not found:" + name + " src=common\\SpriteEngine\\src\\PicUtils.cpp:LoadImageToBitmap:179");
    EXPECT_EQ(bitmap->Handle(), before);
    EXPECT_EQ(bitmap->Width(), 3);
}

TEST_F(PicUtilsLoad, MissingFileForPictureThrowsWithLine192AndLeavesPictureEmpty)
{
    TPicture picture;
    const std::string name = dir.File("none.png");
    EXPECT_EQ(ThrownText([&] { LoadImageToPicture(&picture, name); }),
              "File not found:" + name + " src=common\\SpriteEngine\\src\\PicUtils.cpp:LoadImageToPicture:192");
    EXPECT_EQ(picture.Graphic(), nullptr);
}

TEST_F(PicUtilsLoad, PngGivesItsColoursTopRowFirst)
{
    Picture p(3, 2, {10, 20, 30, 255});
    p.At(0, 0) = {255, 0, 0, 255};
    p.At(2, 1) = {0, 0, 255, 255};
    WritePng(dir.File("colours.png"), p, false);
    TBitmap bitmap;
    LoadImageToBitmap(&bitmap, dir.File("colours.png"));
    ASSERT_EQ(bitmap.Width(), 3);
    ASSERT_EQ(bitmap.Height(), 2);
    EXPECT_EQ(PixelAt(bitmap, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(PixelAt(bitmap, 1, 0), RGB(10, 20, 30));
    EXPECT_EQ(PixelAt(bitmap, 2, 1), RGB(0, 0, 255));
}

TEST_F(PicUtilsLoad, AlphaChannelIsNotCarriedOver)
{
    Picture p(2, 1, {200, 100, 50, 0});
    p.At(1, 0) = {200, 100, 50, 128};
    WritePng(dir.File("alpha.png"), p, true);
    TBitmap bitmap;
    LoadImageToBitmap(&bitmap, dir.File("alpha.png"));
    ASSERT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(PixelAt(bitmap, 0, 0), RGB(200, 100, 50));
    EXPECT_EQ(PixelAt(bitmap, 1, 0), RGB(200, 100, 50));
}

TEST_F(PicUtilsLoad, LoadingAgainFreesTheFirstHandle)
{
    WritePng(dir.File("a.png"), Picture(4, 4, {1, 1, 1, 255}), false);
    WritePng(dir.File("b.png"), Picture(5, 6, {2, 2, 2, 255}), false);
    TBitmap bitmap;
    LoadImageToBitmap(&bitmap, dir.File("a.png"));
    HBITMAP first = bitmap.Handle();
    ASSERT_NE(first, nullptr);
    LoadImageToBitmap(&bitmap, dir.File("b.png"));
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.Height(), 6);
    EXPECT_NE(bitmap.Handle(), first);
    EXPECT_EQ(GetObject(first, sizeof(BITMAP), nullptr), 0) << "the first handle is still alive";
}

TEST_F(PicUtilsLoad, UndecodableFileEmptiesTheBitmapSilently)
{
    std::ofstream(dir.File("junk.png")) << "not a picture at all";
    auto bitmap = SolidBitmap(3, 3, 0);
    EXPECT_NO_THROW(LoadImageToBitmap(bitmap.get(), dir.File("junk.png")));
    EXPECT_TRUE(bitmap->Empty());
    EXPECT_EQ(bitmap->Handle(), nullptr);
}

TEST_F(PicUtilsLoad, ContentNamesUseBackslashesAndAnyCase)
{
    std::filesystem::create_directories(dir.File("Pics01"));
    WritePng(dir.File("Pics01/PlayInitial.png"), Picture(2, 2, {9, 9, 9, 255}), false);
    TPicture picture;
    LoadImageToPicture(&picture, dir.File("pics01\\PLAYINITIAL.PNG"));
    EXPECT_EQ(picture.Width(), 2);
    EXPECT_EQ(PixelAt(*picture.Bitmap(), 1, 1), RGB(9, 9, 9));
}

// ---- DrawTransparentBitmap ------------------------------------------------------------------

// A 4 x 3 source: a magenta border row on top, red and green below.
std::unique_ptr<TBitmap> KeyedSource()
{
    auto source = SolidBitmap(4, 3, RGB(255, 0, 0));
    for (int x = 0; x < 4; ++x)
        SetPixelAt(*source, x, 0, RGB(255, 0, 255));
    SetPixelAt(*source, 1, 2, RGB(0, 255, 0));
    return source;
}

TEST(DrawTransparentBitmap, LeavesOutTheKeyColourOnly)
{
    auto source = KeyedSource();
    auto target = SolidBitmap(8, 8, RGB(0, 0, 64));
    DrawTransparentBitmap(target->Canvas()->Handle(), 2, 3, source->Handle(), 0, 0, 4, 3, RGB(255, 0, 255));
    EXPECT_EQ(PixelAt(*target, 2, 3), RGB(0, 0, 64));  // key colour: the target shows through
    EXPECT_EQ(PixelAt(*target, 5, 3), RGB(0, 0, 64));
    EXPECT_EQ(PixelAt(*target, 2, 4), RGB(255, 0, 0));
    EXPECT_EQ(PixelAt(*target, 3, 5), RGB(0, 255, 0));
    EXPECT_EQ(PixelAt(*target, 6, 4), RGB(0, 0, 64));  // outside the rectangle
}

TEST(DrawTransparentBitmap, AbsentColourMakesAPlainCopy)
{
    auto source = KeyedSource();
    auto target = SolidBitmap(4, 3, RGB(7, 7, 7));
    DrawTransparentBitmap(target->Canvas()->Handle(), 0, 0, source->Handle(), 0, 0, 4, 3, RGB(1, 2, 3));
    EXPECT_EQ(Pixels(*target), Pixels(*source));
}

TEST(DrawTransparentBitmap, ColourOfEveryPixelLeavesTargetUnchanged)
{
    auto source = SolidBitmap(4, 3, RGB(40, 50, 60));
    auto target = KeyedSource();
    const auto before = Pixels(*target);
    DrawTransparentBitmap(target->Canvas()->Handle(), 0, 0, source->Handle(), 0, 0, 4, 3, RGB(40, 50, 60));
    EXPECT_EQ(Pixels(*target), before);
}

TEST(DrawTransparentBitmap, SourceRectangleAndBitmapRestored)
{
    auto source = KeyedSource();
    const auto sourceBefore = Pixels(*source);
    auto target = SolidBitmap(3, 3, RGB(0, 0, 64));
    // Only the lower 2 x 2 block starting at (1, 1): red, red / green, red.
    DrawTransparentBitmap(target->Canvas()->Handle(), 0, 0, source->Handle(), 1, 1, 2, 2, RGB(255, 0, 255));
    EXPECT_EQ(PixelAt(*target, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(PixelAt(*target, 0, 1), RGB(0, 255, 0));
    EXPECT_EQ(PixelAt(*target, 2, 2), RGB(0, 0, 64));
    EXPECT_EQ(Pixels(*source), sourceBefore);
}

TEST(DrawTransparentBitmap, BadArgumentsDrawNothing)
{
    auto target = SolidBitmap(3, 3, RGB(5, 5, 5));
    const auto before = Pixels(*target);
    auto source = KeyedSource();
    DrawTransparentBitmap(target->Canvas()->Handle(), 0, 0, nullptr, 0, 0, 3, 3, 0);
    DrawTransparentBitmap(target->Canvas()->Handle(), 0, 0, source->Handle(), 0, 0, 0, -4, 0);
    DrawTransparentBitmap(nullptr, 0, 0, source->Handle(), 0, 0, 3, 3, 0);
    EXPECT_EQ(Pixels(*target), before);
}

}  // namespace
