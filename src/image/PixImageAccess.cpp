// Pixel, palette and attribute access of PixImage.
#include "image/PixImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Above about 54.5 million dpi the header's field cannot hold the value: it stays at its largest.
std::int32_t DpiToPelsPerMeter(std::int32_t dpi) {
    return static_cast<std::int32_t>(std::min(std::floor(dpi * 10000.0 / 254.0 + 0.5), 2147483647.0));
}

}  // namespace

// ---- Palette -----------------------------------------------------------------------------------

RGBQUAD* PixImage::GetPalette() const {
    if (!block || head.biClrUsed == 0) return nullptr;
    return reinterpret_cast<RGBQUAD*>(block + 40);
}

RGBQUAD PixImage::GetPaletteColor(std::uint8_t index) const {
    const RGBQUAD* pal = GetPalette();
    if (!pal || index >= head.biClrUsed) return RGBQUAD{};
    return pal[index];
}

void PixImage::SetPaletteColor(std::uint8_t index, std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                               std::uint8_t alphaByte) {
    SetPaletteColor(index, RGBQUAD{blue, green, red, alphaByte});
}

void PixImage::SetPaletteColor(std::uint8_t index, RGBQUAD colour) {
    RGBQUAD* pal = GetPalette();
    if (!pal) return;
    info.nearestValid = false;
    if (index < head.biClrUsed) pal[index] = colour;
}

void PixImage::SetPalette(std::uint32_t count, const std::uint8_t* reds, const std::uint8_t* greens,
                          const std::uint8_t* blues) {
    RGBQUAD* pal = GetPalette();
    if (!pal || !reds) return;
    if (!greens) greens = reds;
    if (!blues) blues = greens;
    info.nearestValid = false;
    const std::uint32_t n = std::min(count, head.biClrUsed);
    for (std::uint32_t i = 0; i < n; ++i) {
        pal[i].rgbRed = reds[i];
        pal[i].rgbGreen = greens[i];
        pal[i].rgbBlue = blues[i];
    }
}

void PixImage::SetPalette(const std::uint8_t* rgbTriples, std::uint32_t count) {
    RGBQUAD* pal = GetPalette();
    if (!pal || !rgbTriples) return;
    info.nearestValid = false;
    const std::uint32_t n = std::min(count, head.biClrUsed);
    for (std::uint32_t i = 0; i < n; ++i) {
        pal[i].rgbRed = rgbTriples[3 * i];
        pal[i].rgbGreen = rgbTriples[3 * i + 1];
        pal[i].rgbBlue = rgbTriples[3 * i + 2];
    }
}

void PixImage::SetPalette(const RGBQUAD* entries, std::uint32_t count) {
    RGBQUAD* pal = GetPalette();
    if (!pal || !entries) return;
    info.nearestValid = false;
    const std::uint64_t bytes = std::min<std::uint64_t>(static_cast<std::uint64_t>(count) * 4, GetPaletteSize());
    std::memcpy(pal, entries, static_cast<std::size_t>(bytes));
}

void PixImage::SetGrayPalette() {
    RGBQUAD* pal = GetPalette();
    if (!pal || head.biClrUsed < 2) return;
    info.nearestValid = false;
    const std::uint32_t step = 255 / (head.biClrUsed - 1);
    for (std::uint32_t i = 0; i < head.biClrUsed; ++i) {
        const auto v = static_cast<std::uint8_t>(step * i);
        pal[i].rgbBlue = pal[i].rgbGreen = pal[i].rgbRed = v;
    }
}

bool PixImage::IsGrayScale() const {
    const RGBQUAD* pal = GetPalette();
    if (!pal) return false;
    for (std::uint32_t i = 0; i < head.biClrUsed; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        if (pal[i].rgbBlue != v || pal[i].rgbGreen != v || pal[i].rgbRed != v) return false;
    }
    return true;
}

std::uint8_t PixImage::GetNearestIndex(RGBQUAD c) {
    const RGBQUAD* pal = GetPalette();
    if (!pal) return 0;
    if (info.nearestValid && std::memcmp(&info.nearestColor, &c, sizeof c) == 0) return info.nearestIndex;
    std::uint32_t n = head.biClrImportant ? std::min(head.biClrImportant, head.biClrUsed) : head.biClrUsed;
    std::int64_t best = 200000;
    std::uint8_t bestIndex = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::int64_t db = pal[i].rgbBlue - c.rgbBlue, dg = pal[i].rgbGreen - c.rgbGreen,
                           dr = pal[i].rgbRed - c.rgbRed;
        const std::int64_t d = db * db + dg * dg + dr * dr;
        if (d == 0) {
            bestIndex = static_cast<std::uint8_t>(i);
            break;
        }
        if (d < best) {
            best = d;
            bestIndex = static_cast<std::uint8_t>(i);
        }
    }
    info.nearestColor = c;
    info.nearestIndex = bestIndex;
    info.nearestValid = true;
    return bestIndex;
}

// ---- Pixels ------------------------------------------------------------------------------------

std::uint8_t PixImage::GetPixelIndex(std::int32_t x, std::int32_t y) const {
    if (!block || head.biClrUsed == 0) return 0;
    if (!IsInside(x, y)) {
        if (info.transIndex != -1) return static_cast<std::uint8_t>(info.transIndex);
        return info.pixels[0];
    }
    return BlindGetPixelIndex(x, y);
}

std::uint8_t PixImage::BlindGetPixelIndex(std::int32_t x, std::int32_t y) const {
    const std::uint8_t* row = info.pixels + static_cast<std::size_t>(y) * info.stride;
    switch (head.biBitCount) {
    case 8:
        return row[x];
    case 4: {
        const std::uint8_t b = row[x >> 1];
        return (x & 1) ? static_cast<std::uint8_t>(b & 0x0F) : static_cast<std::uint8_t>(b >> 4);
    }
    case 1:
        return static_cast<std::uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 1);
    default:
        return 0;
    }
}

void PixImage::SetPixelIndex(std::int32_t x, std::int32_t y, std::uint8_t index) {
    if (!block || head.biClrUsed == 0 || !IsInside(x, y)) return;
    std::uint8_t* row = info.pixels + static_cast<std::size_t>(y) * info.stride;
    switch (head.biBitCount) {
    case 8:
        row[x] = index;
        break;
    case 4: {
        std::uint8_t& b = row[x >> 1];
        if (x & 1) b = static_cast<std::uint8_t>((b & 0xF0) | (index & 0x0F));
        else b = static_cast<std::uint8_t>((b & 0x0F) | ((index & 0x0F) << 4));
        break;
    }
    case 1: {
        std::uint8_t& b = row[x >> 3];
        const auto mask = static_cast<std::uint8_t>(0x80 >> (x & 7));
        b = static_cast<std::uint8_t>(index ? (b | mask) : (b & ~mask));
        break;
    }
    default:
        break;
    }
}

RGBQUAD PixImage::GetPixelColor(std::int32_t x, std::int32_t y, bool withAlpha) const {
    if (!block) return info.transColor;
    if (!IsInside(x, y)) {
        if (info.transIndex != -1) {
            if (head.biBitCount < 24) return GetPaletteColor(static_cast<std::uint8_t>(info.transIndex));
            return info.transColor;
        }
        return GetPixelColor(0, 0, true);
    }
    RGBQUAD c;
    if (head.biClrUsed) {
        c = GetPaletteColor(BlindGetPixelIndex(x, y));
    } else {
        const std::uint8_t* p = BlindGetPixelPointer(x, y);
        c = RGBQUAD{p[0], p[1], p[2], info.transColor.rgbReserved};
    }
    if (withAlpha && alpha) c.rgbReserved = BlindAlphaGet(x, y);
    return c;
}

RGBQUAD PixImage::BlindGetPixelColor(std::int32_t x, std::int32_t y) const {
    if (head.biClrUsed) return GetPalette()[BlindGetPixelIndex(x, y)];
    const std::uint8_t* p = BlindGetPixelPointer(x, y);
    return RGBQUAD{p[0], p[1], p[2], alpha ? BlindAlphaGet(x, y) : std::uint8_t{0}};
}

void PixImage::SetPixelColor(std::int32_t x, std::int32_t y, COLORREF colour) {
    SetPixelColor(x, y, RGBtoRGBQUAD(colour), false);
}

void PixImage::SetPixelColor(std::int32_t x, std::int32_t y, RGBQUAD colour, bool withAlpha) {
    if (!block || !IsInside(x, y)) return;
    if (head.biClrUsed) {
        SetPixelIndex(x, y, GetNearestIndex(colour));
    } else {
        std::uint8_t* p = BlindGetPixelPointer(x, y);
        p[0] = colour.rgbBlue;
        p[1] = colour.rgbGreen;
        p[2] = colour.rgbRed;
    }
    if (withAlpha) AlphaSet(x, y, colour.rgbReserved);
}

std::uint8_t* PixImage::BlindGetPixelPointer(std::int32_t x, std::int32_t y) const {
    if (head.biClrUsed) return nullptr;
    return info.pixels + static_cast<std::size_t>(y) * info.stride + static_cast<std::size_t>(x) * 3;
}

RGBQUAD PixImage::RGBtoRGBQUAD(COLORREF colour) {
    return RGBQUAD{static_cast<std::uint8_t>(colour >> 16), static_cast<std::uint8_t>(colour >> 8),
                   static_cast<std::uint8_t>(colour), 0};
}

void PixImage::RGBtoBGR(std::uint8_t* buffer, std::int32_t length) const {
    if (!buffer || head.biClrUsed != 0 || length <= 0) return;
    const std::int32_t n = std::min<std::int64_t>(length, info.stride);
    for (std::int32_t i = 0; i + 2 < n; i += 3) std::swap(buffer[i], buffer[i + 2]);
}

// ---- Attributes --------------------------------------------------------------------------------

RGBQUAD PixImage::GetTransColor() const {
    if (head.biBitCount < 24 && info.transIndex != -1) return GetPaletteColor(static_cast<std::uint8_t>(info.transIndex));
    return info.transColor;
}

void PixImage::SetTransColor(RGBQUAD colour) {
    colour.rgbReserved = 0;
    info.transColor = colour;
}

std::uint32_t PixImage::GetCodecOption(std::uint32_t type) const {
    if (type == 0) type = info.type;
    return type < PIX_FORMAT_COUNT ? info.codecOptions[type] : 0;
}

bool PixImage::SetCodecOption(std::uint32_t option, std::uint32_t type) {
    if (type == 0) type = info.type;
    if (type >= PIX_FORMAT_COUNT) return false;
    info.codecOptions[type] = option;
    return true;
}

void PixImage::SetXDPI(std::int32_t dpi) {
    if (dpi <= 0) dpi = 96;
    info.xDpi = dpi;
    head.biXPelsPerMeter = DpiToPelsPerMeter(dpi);
    SyncHeader();
}

void PixImage::SetYDPI(std::int32_t dpi) {
    if (dpi <= 0) dpi = 96;
    info.yDpi = dpi;
    head.biYPelsPerMeter = DpiToPelsPerMeter(dpi);
    SyncHeader();
}
