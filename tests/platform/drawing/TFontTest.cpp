// The class library's font: point sizes at 96 dpi, adopted handles, copies.
#include <gtest/gtest.h>

#include "platform/drawing/TFont.h"

namespace {

struct SizeCase {
    int points;
    int height;
};

class FontSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FontSize, PointsAndPixelHeightConvertAt96Dpi)
{
    TFont font;
    font.SetSize(GetParam().points);
    EXPECT_EQ(font.Height(), GetParam().height);
    EXPECT_EQ(font.Size(), GetParam().points);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FontSize,
                         ::testing::Values(SizeCase{8, -11}, SizeCase{9, -12}, SizeCase{10, -13}, SizeCase{12, -16},
                                           SizeCase{14, -19}, SizeCase{36, -48}));

TEST(TFont, DefaultsAreTheClassLibrarysDefaultFont)
{
    TFont font;
    EXPECT_EQ(font.Name(), "MS Sans Serif");
    EXPECT_EQ(font.Size(), 8);
    EXPECT_EQ(font.Color(), clWindowText);
    EXPECT_EQ(font.Style(), 0u);
}

TEST(TFont, AdoptedHandleWithAntialiasedQualityKeepsTheOtherAttributes)
{
    TFont font;
    font.SetName("Arial");
    font.SetSize(10);
    font.SetStyle(fsBold | fsItalic);
    font.SetColor(clRed);
    LOGFONT lf;
    ASSERT_EQ(GetObject(font.Handle(), sizeof lf, &lf), int(sizeof lf));
    lf.lfQuality = ANTIALIASED_QUALITY;
    HFONT made = CreateFontIndirect(&lf);
    font.SetHandle(made);
    EXPECT_EQ(font.Handle(), made);
    EXPECT_EQ(font.Quality(), ANTIALIASED_QUALITY);
    EXPECT_EQ(font.Name(), "Arial");
    EXPECT_EQ(font.Height(), -13);
    EXPECT_EQ(font.Style(), unsigned(fsBold | fsItalic));
    EXPECT_EQ(font.Color(), clRed);
    // A later size change makes a new handle that still draws antialiased.
    font.SetSize(12);
    ASSERT_EQ(GetObject(font.Handle(), sizeof lf, &lf), int(sizeof lf));
    EXPECT_EQ(lf.lfQuality, ANTIALIASED_QUALITY);
    EXPECT_EQ(lf.lfHeight, -16);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
}

TEST(TFont, ColourChangeKeepsTheHandle)
{
    TFont font;
    HFONT before = font.Handle();
    font.SetColor(clBlue);
    EXPECT_EQ(font.Handle(), before);
}

TEST(TFont, AssignCopiesAttributesSoTheSourceMayChangeOrGo)
{
    TFont copy;
    {
        TFont source;
        source.SetName("Arial");
        source.SetHeight(-20);
        source.SetColor(clLime);
        source.SetQuality(ANTIALIASED_QUALITY);
        copy.Assign(&source);
        source.SetName("Liberation Serif");
    }
    EXPECT_EQ(copy.Name(), "Arial");
    EXPECT_EQ(copy.Height(), -20);
    EXPECT_EQ(copy.Color(), clLime);
    EXPECT_EQ(copy.Quality(), ANTIALIASED_QUALITY);
    copy.Assign(nullptr);
    EXPECT_EQ(copy.Name(), "Arial");
}

TEST(TFont, UnknownHandleIsIgnored)
{
    TFont font;
    HFONT gone = CreateFont(-10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    DeleteObject(gone);
    font.SetHandle(gone);
    EXPECT_NE(font.Handle(), gone);
    EXPECT_EQ(font.Name(), "MS Sans Serif");
}

}  // namespace
