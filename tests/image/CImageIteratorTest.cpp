#include "image/CImageIterator.h"

#include "image/PixImage.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(CImageIterator, SetYStaysInsideTheRows) {
    PixImage img(3, 2, 8, 0);
    CImageIterator it(&img);
    EXPECT_EQ(it.GetRow(), img.GetBits(0));
    EXPECT_EQ(it.GetRow(1), img.GetBits(1));
    // One past the last row would point behind the pixel block: the iterator stays put.
    EXPECT_EQ(it.GetRow(2), img.GetBits(1));
    EXPECT_EQ(it.GetRow(-1), img.GetBits(1));
    EXPECT_EQ(it.GetY(), 1);
}

TEST(CImageIterator, UpsetAndPrevRowWalkFromTheTop) {
    PixImage img(2, 3, 24, 0);
    CImageIterator it(&img);
    it.Upset();
    EXPECT_EQ(it.GetRow(), img.GetBits(2));
    EXPECT_TRUE(it.ItOK());
    EXPECT_TRUE(it.PrevRow());
    EXPECT_TRUE(it.PrevRow());
    EXPECT_EQ(it.GetRow(), img.GetBits(0));
    EXPECT_FALSE(it.PrevRow());
    EXPECT_EQ(it.GetRow(), img.GetBits(0));
}

TEST(CImageIterator, RowCopiesAreBoundedByTheStride) {
    PixImage img(3, 2, 8, 0);  // stride 4
    CImageIterator it(&img);
    it.SetY(1);
    std::uint8_t in[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    it.SetRow(in, 8);
    EXPECT_EQ(img.GetPixelIndex(2, 1), 3);
    EXPECT_EQ(img.GetBits(1)[3], 4);
    std::uint8_t out[8] = {};
    it.GetRow(out, -1);
    EXPECT_EQ(out[3], 4);
    EXPECT_EQ(out[4], 0);
    it.SetRow(in + 4, 0);  // nothing for a count below 1
    EXPECT_EQ(img.GetBits(1)[0], 1);
    it.SetRow(in + 4, 2);
    EXPECT_EQ(img.GetBits(1)[0], 5);
    EXPECT_EQ(img.GetBits(1)[2], 3);
}
