#include "image/PixInterpolate.h"

#include "ImageFixtures.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A w x h 24-bit image whose pixel (x, y) has blue x * 10, green y * 10, red 7.
std::unique_ptr<PixImage> Ramp(int w, int h, bool withAlpha = false) {
    auto made = std::make_unique<PixImage>(w, h, 24);
    PixImage& img = *made;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.SetPixelColor(x, y, RGBQUAD{std::uint8_t(x * 10), std::uint8_t(y * 10), 7, 0});
    if (withAlpha) {
        img.AlphaCreate();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) img.AlphaSet(x, y, std::uint8_t(x * 100));
    }
    return made;
}

std::unique_ptr<PixImage> Uniform(int w, int h, std::uint8_t v) {
    auto img = std::make_unique<PixImage>(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img->SetPixelColor(x, y, RGBQUAD{v, v, v, 0});
    return img;
}

TEST(InterpolationTest, NearestRoundsToTheClosestPixel) {
    const auto holder = Ramp(4, 4);
    const PixImage& img = *holder;
    const RGBQUAD c = GetPixelColorInterpolated(img, 1.4f, 2.6f, PIX_IM_NEAREST_NEIGHBOUR, PIX_OM_REPEAT, nullptr);
    EXPECT_EQ(c.rgbBlue, 10);
    EXPECT_EQ(c.rgbGreen, 30);
}

TEST(InterpolationTest, BilinearWeighsTheFourNeighbours) {
    const auto holder = Ramp(4, 4, true);
    const PixImage& img = *holder;
    // Halfway in x between columns 1 and 2 (blue 10 and 20), a quarter in y (green 10 to 20).
    const RGBQUAD c = GetPixelColorInterpolated(img, 1.5f, 1.25f, PIX_IM_BILINEAR, PIX_OM_REPEAT, nullptr);
    EXPECT_EQ(c.rgbBlue, 15);
    EXPECT_EQ(c.rgbGreen, 12);  // (192 * 10 + 64 * 20) >> 8
    EXPECT_EQ(c.rgbRed, 7);
    EXPECT_EQ(c.rgbReserved, 150);  // alpha 100 and 200 mixed the same way
    const RGBQUAD exact = GetPixelColorInterpolated(img, 2.0f, 3.0f, PIX_IM_BILINEAR, PIX_OM_REPEAT, nullptr);
    EXPECT_EQ(exact.rgbBlue, 20);
    EXPECT_EQ(exact.rgbGreen, 30);
}

TEST(InterpolationTest, UnknownMethodsAreBilinear) {
    const auto holder = Ramp(4, 4);
    const PixImage& img = *holder;
    const RGBQUAD bilinear = GetPixelColorInterpolated(img, 1.5f, 1.5f, PIX_IM_BILINEAR, PIX_OM_REPEAT, nullptr);
    for (std::uint8_t m : {0, 17, 200}) {
        const RGBQUAD c = GetPixelColorInterpolated(img, 1.5f, 1.5f, m, PIX_OM_REPEAT, nullptr);
        EXPECT_EQ(c.rgbBlue, bilinear.rgbBlue) << int(m);
        EXPECT_EQ(c.rgbGreen, bilinear.rgbGreen) << int(m);
    }
}

TEST(InterpolationTest, PalettedImageMixesPaletteColours) {
    PixImage img(2, 1, 8);
    img.SetPaletteColor(0, 0, 0, 0);
    img.SetPaletteColor(1, 200, 100, 0);
    img.SetPixelIndex(0, 0, 0);
    img.SetPixelIndex(1, 0, 1);
    const RGBQUAD c = GetPixelColorInterpolated(img, 0.5f, 0.0f, PIX_IM_BILINEAR, PIX_OM_REPEAT, nullptr);
    EXPECT_EQ(c.rgbRed, 100);
    EXPECT_EQ(c.rgbGreen, 50);
}

struct OverflowCase {
    const char* name;
    std::uint8_t method;
    int x, y;
    std::uint8_t blue, green, reserved;
};

class OverflowTest : public ::testing::TestWithParam<OverflowCase> {};

TEST_P(OverflowTest, OutsidePointTakesItsColour) {
    const auto holder = Ramp(4, 3, true);
    PixImage& img = *holder;
    img.SetTransIndex(0);
    img.SetTransColor(RGBQUAD{1, 2, 3, 0});
    const RGBQUAD given{40, 50, 60, 70};
    const RGBQUAD c = GetPixelColorWithOverflow(img, GetParam().x, GetParam().y, GetParam().method, &given);
    EXPECT_EQ(c.rgbBlue, GetParam().blue);
    EXPECT_EQ(c.rgbGreen, GetParam().green);
    EXPECT_EQ(c.rgbReserved, GetParam().reserved);
}

INSTANTIATE_TEST_SUITE_P(
    Methods, OverflowTest,
    ::testing::Values(OverflowCase{"Colour", PIX_OM_COLOR, -1, 0, 40, 50, 70},
                      OverflowCase{"Background", PIX_OM_BACKGROUND, 9, 9, 1, 2, 0},
                      OverflowCase{"TransparentWithAlpha", PIX_OM_TRANSPARENT, -1, 0, 40, 50, 0},
                      OverflowCase{"WrapNegative", PIX_OM_WRAP, -1, 4, 30, 10, 44},        // (3, 1)
                      OverflowCase{"RepeatClamps", PIX_OM_REPEAT, 9, -5, 30, 0, 44},       // (3, 0)
                      OverflowCase{"MirrorBelowZero", PIX_OM_MIRROR, -1, 0, 10, 0, 100},   // (1, 0)
                      OverflowCase{"MirrorPastEnd", PIX_OM_MIRROR, 4, 3, 30, 20, 44},      // (3, 2)
                      OverflowCase{"Inside", PIX_OM_COLOR, 2, 1, 20, 10, 200}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InterpolationTest, WhollyOutsideReturnsOverflowColourOrMovesInside) {
    const auto holder = Ramp(4, 4);
    const PixImage& img = *holder;
    const RGBQUAD given{1, 2, 3, 4};
    const RGBQUAD far = GetPixelColorInterpolated(img, -5.0f, 1.0f, PIX_IM_BILINEAR, PIX_OM_COLOR, &given);
    EXPECT_EQ(far.rgbBlue, 1);
    const RGBQUAD repeated = GetPixelColorInterpolated(img, 10.0f, 2.0f, PIX_IM_BILINEAR, PIX_OM_REPEAT, nullptr);
    EXPECT_EQ(repeated.rgbBlue, 30);
    EXPECT_EQ(repeated.rgbGreen, 20);
    const RGBQUAD huge = GetPixelColorInterpolated(img, 3e9f, 0.0f, PIX_IM_BICUBIC, PIX_OM_REPEAT, &given);
    EXPECT_EQ(huge.rgbBlue, 1);
}

struct KernelCase {
    std::uint8_t method;
    int tolerance;
};

class KernelTest : public ::testing::TestWithParam<KernelCase> {};

// Kernels whose weights add up to one keep a flat colour flat between pixels.
TEST_P(KernelTest, FlatImageStaysFlat) {
    const auto holder = Uniform(16, 16, 100);
    const PixImage& img = *holder;
    const RGBQUAD c = GetPixelColorInterpolated(img, 7.3f, 8.6f, GetParam().method, PIX_OM_REPEAT, nullptr);
    EXPECT_NEAR(c.rgbBlue, 100, GetParam().tolerance);
    EXPECT_NEAR(c.rgbRed, 100, GetParam().tolerance);
}

INSTANTIATE_TEST_SUITE_P(Methods, KernelTest,
                         ::testing::Values(KernelCase{PIX_IM_BSPLINE, 1}, KernelCase{PIX_IM_BICUBIC, 1},
                                           KernelCase{PIX_IM_BICUBIC2, 1}, KernelCase{PIX_IM_LANCZOS, 3},
                                           KernelCase{PIX_IM_BOX, 1}, KernelCase{PIX_IM_HERMITE, 1},
                                           KernelCase{PIX_IM_GAUSSIAN, 2}, KernelCase{PIX_IM_QUADRATIC, 1},
                                           KernelCase{PIX_IM_MITCHELL, 1}, KernelCase{PIX_IM_CATROM, 1}));

TEST(InterpolationTest, InterpolatingKernelsHitPixelsExactly) {
    const auto holder = Ramp(8, 8);
    const PixImage& img = *holder;
    for (std::uint8_t m : {PIX_IM_BICUBIC2, PIX_IM_CATROM, PIX_IM_LANCZOS}) {
        const RGBQUAD c = GetPixelColorInterpolated(img, 3.0f, 4.0f, m, PIX_OM_REPEAT, nullptr);
        EXPECT_NEAR(c.rgbBlue, 30, 1) << int(m);
        EXPECT_NEAR(c.rgbGreen, 40, 1) << int(m);
    }
}

TEST(InterpolationTest, KernelValuesAtTheirKnots) {
    EXPECT_DOUBLE_EQ(PixKernel(PIX_IM_BSPLINE, 0), 4.0 / 6.0);
    EXPECT_DOUBLE_EQ(PixKernel(PIX_IM_CATROM, 1), 0.0);
    EXPECT_DOUBLE_EQ(PixKernel(PIX_IM_MITCHELL, 0), 8.0 / 9.0);
    EXPECT_NEAR(PixKernel(PIX_IM_BESSEL, 0), 3.14159265 / 4, 1e-9);
    EXPECT_NEAR(PixKernel(PIX_IM_BESSEL, 0.5), 0.5668 / 1.0, 0.01);  // J1(pi/2) / 1
    EXPECT_DOUBLE_EQ(PixKernel(PIX_IM_BOX, 0.5), 0.0);
    EXPECT_DOUBLE_EQ(PixKernel(PIX_IM_BOX, -0.5), 1.0);
    EXPECT_DOUBLE_EQ(PixKernel(PIX_IM_LANCZOS, 6.5), 0.0);
}

TEST(InterpolationTest, EmptyImageGivesTheReplacementColour) {
    const PixImage empty;
    const RGBQUAD given{9, 8, 7, 6};
    EXPECT_EQ(GetPixelColorInterpolated(empty, 1, 1, PIX_IM_BILINEAR, PIX_OM_REPEAT, &given).rgbBlue, 9);
    EXPECT_EQ(GetPixelColorInterpolated(empty, 1, 1, PIX_IM_BILINEAR, PIX_OM_REPEAT, nullptr).rgbBlue, 255);
}

}  // namespace
