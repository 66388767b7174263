#include "image/PixInterpolate.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

// Bessel function of the first kind, order 1, by the usual rational approximations.
double BesselJ1(double x) {
    const double ax = std::fabs(x);
    if (ax < 8.0) {
        const double y = x * x;
        const double a = x * (72362614232.0 + y * (-7895059235.0 + y * (242396853.1 + y * (-2972611.439 +
                                                                                      y * (15704.48260 + y * (-30.16036606))))));
        const double b = 144725228442.0 + y * (2300535178.0 + y * (18583304.74 + y * (99447.43394 +
                                                                                  y * (376.9991397 + y * 1.0))));
        return a / b;
    }
    const double z = 8.0 / ax;
    const double y = z * z;
    const double xx = ax - 2.356194491;
    const double a = 1.0 + y * (0.183105e-2 + y * (-0.3516396496e-4 + y * (0.2457520174e-5 + y * (-0.240337019e-6))));
    const double b = 0.04687499995 + y * (-0.2002690873e-3 + y * (0.8449199096e-5 + y * (-0.88228987e-6 + y * 0.105787412e-6)));
    const double r = std::sqrt(0.636619772 / ax) * (std::cos(xx) * a - z * std::sin(xx) * b);
    return x < 0.0 ? -r : r;
}

double Sinc(double x) { return x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x); }

std::uint8_t ClampByte(double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)); }

bool TrueColour(const PixImage& image) { return image.GetBpp() == 24; }

std::int32_t FloorIndex(float v) {
    std::int32_t i = static_cast<std::int32_t>(v);
    if (v < 0) --i;
    return i;
}

// What an outside sample becomes when the overflow method does not move it inside.
RGBQUAD OutsideColour(const PixImage& image, std::int32_t x, std::int32_t y, std::uint8_t overflow,
                      const RGBQUAD* colour) {
    return GetPixelColorWithOverflow(image, x, y, overflow, colour);
}

}  // namespace

double PixKernel(std::uint8_t method, double x) {
    const double ax = std::fabs(x);
    switch (method) {
    case PIX_IM_BSPLINE: {
        if (x > 2.0) return 0.0;
        const double a = x + 2 > 0 ? std::pow(x + 2, 3) : 0.0;
        const double b = x + 1 > 0 ? std::pow(x + 1, 3) : 0.0;
        const double c = x > 0 ? std::pow(x, 3) : 0.0;
        const double d = x - 1 > 0 ? std::pow(x - 1, 3) : 0.0;
        return (a - 4 * b + 6 * c - 4 * d) / 6.0;
    }
    case PIX_IM_BICUBIC:
        if (ax < 1) return 1 - 2 * ax * ax + ax * ax * ax;
        if (ax < 2) return 4 - 8 * ax + 5 * ax * ax - ax * ax * ax;
        return 0.0;
    case PIX_IM_BICUBIC2: {
        constexpr double a = -0.5;
        if (ax < 1) return (a + 2) * ax * ax * ax - (a + 3) * ax * ax + 1;
        if (ax < 2) return a * ax * ax * ax - 5 * a * ax * ax + 8 * a * ax - 4 * a;
        return 0.0;
    }
    case PIX_IM_LANCZOS: {
        constexpr double r = 6.0;
        if (x == 0.0) return 1.0;
        if (ax > r) return 0.0;
        return Sinc(x) * Sinc(x / r);
    }
    case PIX_IM_BOX: return x >= -0.5 && x < 0.5 ? 1.0 : 0.0;
    case PIX_IM_HERMITE: return x >= -1 && x < 1 ? (2 * ax - 3) * x * x + 1 : 0.0;
    case PIX_IM_HAMMING: return x >= -1 && x < 1 ? (2 * ax - 3) * 0.92 * x * x + 1 : 0.0;
    case PIX_IM_SINC: return Sinc(x);
    case PIX_IM_BLACKMAN: return 0.42 + 0.5 * std::cos(kPi * x) + 0.08 * std::cos(2 * kPi * x);
    case PIX_IM_BESSEL: return x == 0.0 ? kPi / 4 : BesselJ1(kPi * x) / (2 * x);
    case PIX_IM_GAUSSIAN: return std::exp(-2.0 * x * x) * 0.7978846;
    case PIX_IM_QUADRATIC:
        if (ax < 0.5) return 0.75 - x * x;
        if (ax < 1.5) return 0.5 * (ax - 1.5) * (ax - 1.5);
        return 0.0;
    case PIX_IM_MITCHELL:
        if (ax < 1) return (7.0 / 6.0 * ax - 2) * x * x + 8.0 / 9.0;
        if (ax < 2) return 16.0 / 9.0 - 10.0 / 3.0 * ax + 2 * x * x - 7.0 / 18.0 * ax * ax * ax;
        return 0.0;
    case PIX_IM_CATROM:
        if (ax < 1) return 0.5 * (3 * ax * ax * ax - 5 * x * x + 2);
        if (ax < 2) return 0.5 * (-ax * ax * ax + 5 * x * x - 8 * ax + 4);
        return 0.0;
    default: return 0.0;
    }
}

void OverflowCoordinates(const PixImage& image, std::int32_t& x, std::int32_t& y, std::uint8_t overflow) {
    const std::int32_t w = image.GetWidth(), h = image.GetHeight();
    if (w <= 0 || h <= 0 || image.IsInside(x, y)) return;
    switch (overflow) {
    case PIX_OM_WRAP:
        x %= w;
        if (x < 0) x += w;
        y %= h;
        if (y < 0) y += h;
        break;
    case PIX_OM_REPEAT:
        x = std::clamp(x, 0, w - 1);
        y = std::clamp(y, 0, h - 1);
        break;
    case PIX_OM_MIRROR: {
        // 64-bit so that -INT32_MIN has a value.
        auto mirror = [](std::int64_t v, std::int64_t n) -> std::int32_t {
            if (v < 0) return static_cast<std::int32_t>((-v) % n);
            if (v >= n) return static_cast<std::int32_t>(n - (v % n + 1));
            return static_cast<std::int32_t>(v);
        };
        x = mirror(x, w);
        y = mirror(y, h);
        break;
    }
    default: break;
    }
}

void OverflowCoordinates(const PixImage& image, float& x, float& y, std::uint8_t overflow) {
    const float w = static_cast<float>(image.GetWidth()), h = static_cast<float>(image.GetHeight());
    if (w <= 0 || h <= 0) return;
    if (x >= 0 && x < w && y >= 0 && y < h) return;
    switch (overflow) {
    case PIX_OM_WRAP:
        x = std::fmod(x, w);
        if (x < 0) x += w;
        y = std::fmod(y, h);
        if (y < 0) y += h;
        break;
    case PIX_OM_REPEAT:
        x = std::clamp(x, 0.0f, w - 1);
        y = std::clamp(y, 0.0f, h - 1);
        break;
    case PIX_OM_MIRROR: {
        auto mirror = [](float v, float n) {
            if (v < 0) return std::fmod(-v, n);
            if (v >= n) return n - (std::fmod(v, n) + 1);
            return v;
        };
        x = mirror(x, w);
        y = mirror(y, h);
        break;
    }
    default: break;
    }
}

RGBQUAD GetPixelColorWithOverflow(const PixImage& image, std::int32_t x, std::int32_t y, std::uint8_t overflow,
                                  const RGBQUAD* colour) {
    if (image.IsValid() && image.IsInside(x, y)) return image.BlindGetPixelColor(x, y);
    RGBQUAD start = colour ? *colour : RGBQUAD{255, 255, 255, 0};
    if (!image.IsValid()) return start;
    switch (overflow) {
    case PIX_OM_BACKGROUND: return image.GetTransIndex() != -1 ? image.GetTransColor() : start;
    case PIX_OM_TRANSPARENT:
        if (image.AlphaIsValid()) {
            start.rgbReserved = 0;
            return start;
        }
        return image.GetTransIndex() != -1 ? image.GetTransColor() : start;
    case PIX_OM_WRAP:
    case PIX_OM_REPEAT:
    case PIX_OM_MIRROR:
        OverflowCoordinates(image, x, y, overflow);
        return image.IsInside(x, y) ? image.BlindGetPixelColor(x, y) : start;
    default: return start;
    }
}

namespace {

RGBQUAD Bilinear(const PixImage& image, float x, float y, std::uint8_t overflow, const RGBQUAD* colour) {
    const std::int32_t w = image.GetWidth(), h = image.GetHeight();
    std::int32_t ix = FloorIndex(x), iy = FloorIndex(y);
    if (ix < -1 || ix >= w || iy < -1 || iy >= h) {
        if (overflow < PIX_OM_WRAP) return OutsideColour(image, ix, iy, overflow, colour);
        OverflowCoordinates(image, x, y, overflow);
        ix = FloorIndex(x);
        iy = FloorIndex(y);
    }
    if (TrueColour(image) && ix >= 0 && iy >= 0 && ix + 1 < w && iy + 1 < h) {
        // Weights in 1/256 units, summed in 16 bits.
        const std::uint16_t tx = static_cast<std::uint16_t>((x - ix) * 256);
        const std::uint16_t ty = static_cast<std::uint16_t>((y - iy) * 256);
        const std::uint16_t d = static_cast<std::uint16_t>((tx * ty) >> 8);
        const std::uint16_t b = static_cast<std::uint16_t>(tx - d);
        const std::uint16_t c = static_cast<std::uint16_t>(ty - d);
        const std::uint16_t a = static_cast<std::uint16_t>(256 - tx - c);
        const RGBQUAD p00 = image.BlindGetPixelColor(ix, iy), p10 = image.BlindGetPixelColor(ix + 1, iy);
        const RGBQUAD p01 = image.BlindGetPixelColor(ix, iy + 1), p11 = image.BlindGetPixelColor(ix + 1, iy + 1);
        auto mix = [&](std::uint8_t q00, std::uint8_t q10, std::uint8_t q01, std::uint8_t q11) {
            return static_cast<std::uint8_t>(static_cast<std::uint16_t>(a * q00 + b * q10 + c * q01 + d * q11) >> 8);
        };
        RGBQUAD out;
        out.rgbBlue = mix(p00.rgbBlue, p10.rgbBlue, p01.rgbBlue, p11.rgbBlue);
        out.rgbGreen = mix(p00.rgbGreen, p10.rgbGreen, p01.rgbGreen, p11.rgbGreen);
        out.rgbRed = mix(p00.rgbRed, p10.rgbRed, p01.rgbRed, p11.rgbRed);
        out.rgbReserved = image.AlphaIsValid() ? mix(p00.rgbReserved, p10.rgbReserved, p01.rgbReserved, p11.rgbReserved) : 0;
        return out;
    }
    const double fx = x - ix, fy = y - iy;
    const double w00 = (1 - fx) * (1 - fy), w10 = fx * (1 - fy), w01 = (1 - fx) * fy, w11 = fx * fy;
    const RGBQUAD p00 = GetPixelColorWithOverflow(image, ix, iy, overflow, colour);
    const RGBQUAD p10 = GetPixelColorWithOverflow(image, ix + 1, iy, overflow, colour);
    const RGBQUAD p01 = GetPixelColorWithOverflow(image, ix, iy + 1, overflow, colour);
    const RGBQUAD p11 = GetPixelColorWithOverflow(image, ix + 1, iy + 1, overflow, colour);
    auto mix = [&](std::uint8_t q00, std::uint8_t q10, std::uint8_t q01, std::uint8_t q11) {
        return ClampByte(w00 * q00 + w10 * q10 + w01 * q01 + w11 * q11 + 0.5);
    };
    return RGBQUAD{mix(p00.rgbBlue, p10.rgbBlue, p01.rgbBlue, p11.rgbBlue),
                   mix(p00.rgbGreen, p10.rgbGreen, p01.rgbGreen, p11.rgbGreen),
                   mix(p00.rgbRed, p10.rgbRed, p01.rgbRed, p11.rgbRed),
                   mix(p00.rgbReserved, p10.rgbReserved, p01.rgbReserved, p11.rgbReserved)};
}

// Kernel methods over a (2 radius) x (2 radius) block: radius 2 (4 x 4), Lanczos 6 (12 x 12).
RGBQUAD Kernel(const PixImage& image, float x, float y, std::uint8_t method, std::uint8_t overflow,
               const RGBQUAD* colour) {
    const std::int32_t radius = method == PIX_IM_LANCZOS ? 6 : 2;
    const std::int32_t w = image.GetWidth(), h = image.GetHeight();
    std::int32_t ix = FloorIndex(x), iy = FloorIndex(y);
    if (ix + radius < 0 || ix - radius + 1 >= w || iy + radius < 0 || iy - radius + 1 >= h) {
        if (overflow < PIX_OM_WRAP) return OutsideColour(image, ix, iy, overflow, colour);
        OverflowCoordinates(image, x, y, overflow);
        ix = FloorIndex(x);
        iy = FloorIndex(y);
    }
    const std::int32_t x0 = ix - radius + 1, y0 = iy - radius + 1, n = 2 * radius;
    double wx[12], wy[12];
    for (std::int32_t i = 0; i < n; ++i) {
        wx[i] = PixKernel(method, x0 + i - static_cast<double>(x));
        wy[i] = PixKernel(method, y0 + i - static_cast<double>(y));
    }
    const bool direct = TrueColour(image) && x0 >= 0 && y0 >= 0 && x0 + n <= w && y0 + n <= h;
    double sb = 0, sg = 0, sr = 0, sa = 0;
    for (std::int32_t j = 0; j < n; ++j) {
        for (std::int32_t i = 0; i < n; ++i) {
            const double k = wx[i] * wy[j];
            const RGBQUAD c = direct ? image.BlindGetPixelColor(x0 + i, y0 + j)
                                     : GetPixelColorWithOverflow(image, x0 + i, y0 + j, overflow, colour);
            sb += k * c.rgbBlue;
            sg += k * c.rgbGreen;
            sr += k * c.rgbRed;
            sa += k * c.rgbReserved;
        }
    }
    return RGBQUAD{ClampByte(sb), ClampByte(sg), ClampByte(sr), ClampByte(sa)};
}

}  // namespace

RGBQUAD GetPixelColorInterpolated(const PixImage& image, float x, float y, std::uint8_t method,
                                  std::uint8_t overflow, const RGBQUAD* colour) {
    if (!image.IsValid()) return colour ? *colour : RGBQUAD{255, 255, 255, 0};
    // Far beyond any image a float has no fraction left and int conversion would overflow.
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 1e9f || std::fabs(y) > 1e9f)
        return GetPixelColorWithOverflow(image, -1, -1, overflow < PIX_OM_WRAP ? overflow : std::uint8_t{PIX_OM_COLOR}, colour);
    switch (method) {
    case PIX_IM_NEAREST_NEIGHBOUR:
        return GetPixelColorWithOverflow(image, static_cast<std::int32_t>(x + 0.5f), static_cast<std::int32_t>(y + 0.5f),
                                         overflow, colour);
    case PIX_IM_BSPLINE:
    case PIX_IM_BICUBIC:
    case PIX_IM_BICUBIC2:
    case PIX_IM_LANCZOS:
    case PIX_IM_BOX:
    case PIX_IM_HERMITE:
    case PIX_IM_HAMMING:
    case PIX_IM_SINC:
    case PIX_IM_BLACKMAN:
    case PIX_IM_BESSEL:
    case PIX_IM_GAUSSIAN:
    case PIX_IM_QUADRATIC:
    case PIX_IM_MITCHELL:
    case PIX_IM_CATROM: return Kernel(image, x, y, method, overflow, colour);
    default: return Bilinear(image, x, y, overflow, colour);
    }
}
