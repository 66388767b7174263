#pragma once
// Sampling a PixImage between and beyond its pixels: interpolation kernels for smooth scaling,
// and overflow rules for what lies outside the image. Coordinates are pixel centres at whole
// numbers, x from the left, y from the bottom row. Colours come back as RGBQUAD with the alpha
// (or, without an alpha channel, what the pixel's reserved byte holds) in rgbReserved.
// Read-only on the image; GUI thread like the rest of the layer. Nothing here fails: an empty
// image gives the replacement colour.
#include "image/PixImage.h"

#include <cstdint>

enum PixInterpolation : std::uint8_t {
    PIX_IM_NEAREST_NEIGHBOUR = 1,
    PIX_IM_BILINEAR = 2,
    PIX_IM_BSPLINE = 3,
    PIX_IM_BICUBIC = 4,
    PIX_IM_BICUBIC2 = 5,
    PIX_IM_LANCZOS = 6,
    PIX_IM_BOX = 7,
    PIX_IM_HERMITE = 8,
    PIX_IM_HAMMING = 9,
    PIX_IM_SINC = 10,
    PIX_IM_BLACKMAN = 11,
    PIX_IM_BESSEL = 12,
    PIX_IM_GAUSSIAN = 13,
    PIX_IM_QUADRATIC = 14,
    PIX_IM_MITCHELL = 15,
    PIX_IM_CATROM = 16,
};

enum PixOverflow : std::uint8_t {
    PIX_OM_COLOR = 1,        // the replacement colour (white when none is given)
    PIX_OM_BACKGROUND = 2,   // the image's transparent colour when it has one
    PIX_OM_TRANSPARENT = 3,  // alpha 0 (or the transparent colour without an alpha channel)
    PIX_OM_WRAP = 4,
    PIX_OM_REPEAT = 5,       // the nearest edge pixel
    PIX_OM_MIRROR = 6,
};

// The colour at (x, y); outside the image the overflow method decides. colour may be null.
[[nodiscard]] RGBQUAD GetPixelColorWithOverflow(const PixImage& image, std::int32_t x, std::int32_t y,
                                                std::uint8_t overflow, const RGBQUAD* colour);
// The colour at a fractional position by the interpolation method (an unknown method is taken
// as bilinear) and the overflow method for neighbours outside the image.
[[nodiscard]] RGBQUAD GetPixelColorInterpolated(const PixImage& image, float x, float y, std::uint8_t method,
                                                std::uint8_t overflow, const RGBQUAD* colour);
// Moves a point outside the image inside by wrapping, repeating or mirroring (methods 4, 5, 6);
// other methods and points inside are left alone.
void OverflowCoordinates(const PixImage& image, std::int32_t& x, std::int32_t& y, std::uint8_t overflow);
void OverflowCoordinates(const PixImage& image, float& x, float& y, std::uint8_t overflow);
// The weight of the method's kernel at signed distance x (0 outside its support).
[[nodiscard]] double PixKernel(std::uint8_t method, double x);
