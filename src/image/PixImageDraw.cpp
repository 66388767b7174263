// Bitmaps from PixImage and drawing onto device contexts.
#include "image/PixImage.h"
#include "image/PixBlendRow.h"
#include "image/PixInterpolate.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// A 24-bit bottom-up DIB section selected into a memory device context, freed on scope exit.
class Section24 {
public:
    Section24(HDC compatibleWith, int width, int height) : width_(width), height_(height) {
        dc_ = CreateCompatibleDC(compatibleWith);
        if (!dc_) return;
        info_ = BITMAPINFO{};
        info_.bmiHeader.biSize = 40;
        info_.bmiHeader.biWidth = width;
        info_.bmiHeader.biHeight = height;
        info_.bmiHeader.biPlanes = 1;
        info_.bmiHeader.biBitCount = 24;
        info_.bmiHeader.biCompression = BI_RGB;
        stride_ = ((static_cast<std::size_t>(width) * 24 + 31) / 32) * 4;
        info_.bmiHeader.biSizeImage = static_cast<DWORD>(stride_ * static_cast<std::size_t>(height));
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info_, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap_ || !bits) return;
        bits_ = static_cast<std::uint8_t*>(bits);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Section24() {
        if (dc_ && old_) SelectObject(dc_, old_);
        if (bitmap_) DeleteObject(bitmap_);
        if (dc_) DeleteDC(dc_);
    }
    Section24(const Section24&) = delete;
    Section24& operator=(const Section24&) = delete;

    [[nodiscard]] bool Ok() const { return bits_ != nullptr; }
    [[nodiscard]] HDC Dc() const { return dc_; }
    // Row r counted from the bottom row of the section.
    [[nodiscard]] std::uint8_t* Row(int r) const { return bits_ + static_cast<std::size_t>(r) * stride_; }
    void PutOnto(HDC dc, int left, int top) const {
        SetDIBitsToDevice(dc, left, top, static_cast<DWORD>(width_), static_cast<DWORD>(height_), 0, 0, 0,
                          static_cast<UINT>(height_), bits_, &info_, DIB_RGB_COLORS);
    }

private:
    int width_ = 0;
    int height_ = 0;
    std::size_t stride_ = 0;
    BITMAPINFO info_{};
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    std::uint8_t* bits_ = nullptr;
};

// Maps a column or row of the visible rectangle to the image's own column and row.
struct Sampler {
    bool natural = true;
    int width = 0, height = 0, x = 0, y = 0, left = 0, bottom = 0;
    float fx = 1.0f, fy = 1.0f;

    [[nodiscard]] int Column(int c) const {
        if (natural) return left - x + c;
        const int v = static_cast<int>(std::floor(static_cast<float>(left + c - x) * fx));
        return std::clamp(v, 0, width - 1);
    }
    [[nodiscard]] int Row(int r) const {
        if (natural) return (height - bottom + y) + r;
        const int v = static_cast<int>(std::floor(static_cast<float>(height) - static_cast<float>(bottom - r - y) * fy));
        return std::clamp(v, 0, height - 1);
    }
    // The unrounded source position of a scaled pixel, for smooth sampling.
    [[nodiscard]] float ColumnValue(int c) const {
        return std::max(0.0f, static_cast<float>(left + c - x) * fx);
    }
    [[nodiscard]] float RowValue(int r) const {
        return std::max(0.0f, static_cast<float>(height) - static_cast<float>(bottom - r - y) * fy);
    }
};

}  // namespace

HBITMAP PixImage::MakeBitmap(HDC dc) const {
    if (!block) return nullptr;
    const auto* bmi = reinterpret_cast<const BITMAPINFO*>(block);
    if (dc) return CreateDIBitmap(dc, &head, CBM_INIT, info.pixels, bmi, DIB_RGB_COLORS);

    HDC memDc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(memDc, bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    // A new section has never been shown, so its first rows need no GdiFlush.
    if (section && bits) std::memcpy(bits, info.pixels, head.biSizeImage);
    if (memDc) DeleteDC(memDc);
    return section;
}

bool PixImage::Draw(HDC dc, std::int32_t x, std::int32_t y, std::int32_t cx, std::int32_t cy, const RECT* clip,
                    bool smooth) const {
    if (!block || !dc || cx == 0 || cy == 0 || !info.enabled) return false;
    if (cx < 0) cx = head.biWidth;
    if (cy < 0) cy = head.biHeight;
    const bool transparent = info.transIndex != -1;
    const bool hasAlpha = alpha != nullptr;

    // The caller's clip region is kept whole and put back exactly afterwards.
    HRGN savedClip = nullptr;
    bool hadClip = false;
    if (clip) {
        savedClip = CreateRectRgn(0, 0, 0, 0);
        hadClip = savedClip && GetClipRgn(dc, savedClip) == 1;
        HRGN limit = CreateRectRgnIndirect(clip);
        ExtSelectClipRgn(dc, limit, RGN_AND);
        if (limit) DeleteObject(limit);
    }

    RECT box{};
    GetClipBox(dc, &box);
    const int left = std::min(std::max(box.left, x), box.right);
    const int top = std::min(std::max(box.top, y), box.bottom);
    const int right = std::max(std::min(x + cx, box.right), box.left);
    const int bottom = std::max(std::min(y + cy, box.bottom), box.top);
    const int visibleWidth = right - left;
    const int visibleHeight = bottom - top;

    Sampler s;
    s.natural = cx == head.biWidth && cy == head.biHeight;
    s.width = head.biWidth;
    s.height = head.biHeight;
    s.x = x;
    s.y = y;
    s.left = left;
    s.bottom = bottom;
    s.fx = static_cast<float>(head.biWidth) / static_cast<float>(cx);
    s.fy = static_cast<float>(head.biHeight) / static_cast<float>(cy);
    // A scaled image drawn smoothly takes each colour bilinearly between its neighbours, the edge
    // pixels repeated beyond the border.
    const bool interpolate = smooth && !s.natural;
    const auto smoothColour = [&](int c, int r) {
        return GetPixelColorInterpolated(*this, s.ColumnValue(c) - 0.5f, s.RowValue(r) - 0.5f, PIX_IM_BILINEAR,
                                         PIX_OM_REPEAT, nullptr);
    };

    const bool paletted = head.biClrUsed != 0;
    const RGBQUAD* pal = GetPalette();

    if (!transparent && !hasAlpha && !info.alphaPalette) {
        if (s.natural) {
            SetStretchBltMode(dc, COLORONCOLOR);
            SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(cx), static_cast<DWORD>(cy), 0, 0, 0,
                              static_cast<UINT>(cy), info.pixels, reinterpret_cast<const BITMAPINFO*>(block),
                              DIB_RGB_COLORS);
        } else if (visibleWidth > 0 && visibleHeight > 0) {
            Section24 section(dc, visibleWidth, visibleHeight);
            if (section.Ok()) {
                for (int r = 0; r < visibleHeight; ++r) {
                    std::uint8_t* out = section.Row(r);
                    const int sy = s.Row(r);
                    for (int c = 0; c < visibleWidth; ++c) {
                        const int sx = s.Column(c);
                        const RGBQUAD q = interpolate ? smoothColour(c, r) : paletted ? pal[BlindGetPixelIndex(sx, sy)] : [&] {
                            const std::uint8_t* p = BlindGetPixelPointer(sx, sy);
                            return RGBQUAD{p[0], p[1], p[2], 0};
                        }();
                        out[3 * c] = q.rgbBlue;
                        out[3 * c + 1] = q.rgbGreen;
                        out[3 * c + 2] = q.rgbRed;
                    }
                }
                section.PutOnto(dc, left, top);
            }
        }
    } else if (visibleWidth > 0 && visibleHeight > 0) {
        const RGBQUAD key = GetTransColor();
        const std::uint32_t alphaScale = static_cast<std::uint32_t>(info.alphaMax) + 1;
        const std::size_t w = static_cast<std::size_t>(head.biWidth);
        // Blends columns c0 .. c0 + count - 1 of visible row r (counted from the bottom) onto the
        // pixels at out, step bytes apart, blue first.
        const auto blendRun = [&](std::uint8_t* out, std::size_t step, int c0, int count, int r) {
            const int sy = s.Row(r);
            const std::uint8_t* srcRow = info.pixels + static_cast<std::size_t>(sy) * info.stride;
            const std::uint8_t* alphaRow = hasAlpha ? alpha + static_cast<std::size_t>(sy) * w : nullptr;
            for (int c = c0; c < c0 + count; ++c, out += step) {
                const int sx = s.Column(c);
                std::uint32_t a = alphaRow ? alphaRow[sx] : 255u;
                a = (a * alphaScale) >> 8;
                std::uint8_t b, g, rd;
                if (paletted) {
                    const std::uint8_t index = BlindGetPixelIndex(sx, sy);
                    const RGBQUAD q = interpolate ? smoothColour(c, r) : pal[index];
                    if (info.alphaPalette) a = (a * (static_cast<std::uint32_t>(q.rgbReserved) + 1)) >> 8;
                    if (transparent && index == static_cast<std::uint8_t>(info.transIndex) && info.transIndex >= 0 &&
                        info.transIndex < 256)
                        continue;
                    b = q.rgbBlue;
                    g = q.rgbGreen;
                    rd = q.rgbRed;
                } else {
                    const std::uint8_t* p = srcRow + 3 * static_cast<std::size_t>(sx);
                    const RGBQUAD q = interpolate ? smoothColour(c, r) : RGBQUAD{p[0], p[1], p[2], 0};
                    b = q.rgbBlue;
                    g = q.rgbGreen;
                    rd = q.rgbRed;
                    if (transparent && b == key.rgbBlue && g == key.rgbGreen && rd == key.rgbRed &&
                        key.rgbReserved == 0)
                        continue;
                }
                if (a == 0) continue;
                if (a == 255) {
                    out[0] = b;
                    out[1] = g;
                    out[2] = rd;
                    continue;
                }
                const std::uint32_t na = 255 - a;
                out[0] = static_cast<std::uint8_t>((out[0] * na + a * b) >> 8);
                out[1] = static_cast<std::uint8_t>((out[1] * na + a * g) >> 8);
                out[2] = static_cast<std::uint8_t>((out[2] * na + a * rd) >> 8);
            }
        };
        // A context whose bitmap keeps 32-bit pixels is blended in place; the true-colour image at
        // natural size, the sprite engine's case, goes through the vector row.
        const std::int64_t keyColour =
            transparent && key.rgbReserved == 0
                ? std::int64_t((std::uint32_t(key.rgbRed) << 16) | (std::uint32_t(key.rgbGreen) << 8) | key.rgbBlue)
                : -1;
        const RECT visible{left, top, right, bottom};
        const bool direct = GdiVisitPixels(dc, &visible, [&](int px, int py, int count, std::uint32_t* words) {
            const int r = bottom - 1 - py;
            const int c0 = px - left;
            if (!s.natural || paletted) {
                blendRun(reinterpret_cast<std::uint8_t*>(words), 4, c0, count, r);
                return;
            }
            const std::size_t sy = static_cast<std::size_t>(s.Row(r));
            const std::size_t sx = static_cast<std::size_t>(s.Column(c0));
            // Rows come top down, so the next is the image row below this one (at a lower address).
            const std::uint8_t* nextBgr = nullptr;
            const std::uint8_t* nextAlpha = nullptr;
            if (r > 0) {
                const std::size_t next = static_cast<std::size_t>(s.Row(r - 1));
                nextBgr = info.pixels + next * info.stride + 3 * sx;
                nextAlpha = hasAlpha ? alpha + next * w + sx : nullptr;
            }
            PixBlendRow32(info.pixels + sy * info.stride + 3 * sx, hasAlpha ? alpha + sy * w + sx : nullptr, alphaScale,
                          keyColour, count, words, nextBgr, nextAlpha);
        });
        if (!direct) {
            // Any other bitmap: a copy of the background in a 24-bit section, blended and put back.
            Section24 section(dc, visibleWidth, visibleHeight);
            if (section.Ok()) {
                BitBlt(section.Dc(), 0, 0, visibleWidth, visibleHeight, dc, left, top, SRCCOPY);
                for (int r = 0; r < visibleHeight; ++r)
                    blendRun(section.Row(r), 3, 0, visibleWidth, r);
                section.PutOnto(dc, left, top);
            }
        }
    }

    if (clip) {
        ExtSelectClipRgn(dc, hadClip ? savedClip : nullptr, RGN_COPY);
        if (savedClip) DeleteObject(savedClip);
    }
    return true;
}

bool PixImage::Draw2(HDC dc, std::int32_t x, std::int32_t y, std::int32_t cx, std::int32_t cy) const {
    if (!block || !dc || cx == 0 || cy == 0 || !info.enabled) return false;
    if (cx < 0) cx = head.biWidth;
    if (cy < 0) cy = head.biHeight;
    const auto* bmi = reinterpret_cast<const BITMAPINFO*>(block);
    const int w = head.biWidth, h = head.biHeight;

    if (info.transIndex == -1) {
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchDIBits(dc, x, y, cx, cy, 0, 0, w, h, info.pixels, bmi, DIB_RGB_COLORS, SRCCOPY);
        return true;
    }

    const RECT target{x, y, x + cx, y + cy};
    if (!RectVisible(dc, &target)) return true;

    HDC imageDc = CreateCompatibleDC(dc);
    HDC maskDc = CreateCompatibleDC(dc);
    HBITMAP imageBitmap = CreateCompatibleBitmap(dc, w, h);
    HBITMAP maskBitmap = CreateBitmap(w, h, 1, 1, nullptr);
    if (imageDc && maskDc && imageBitmap && maskBitmap) {
        HGDIOBJ oldImage = SelectObject(imageDc, imageBitmap);
        HGDIOBJ oldMask = SelectObject(maskDc, maskBitmap);
        SetStretchBltMode(imageDc, COLORONCOLOR);
        StretchDIBits(imageDc, 0, 0, w, h, 0, 0, w, h, info.pixels, bmi, DIB_RGB_COLORS, SRCCOPY);

        const RGBQUAD key = GetTransColor();
        SetBkColor(imageDc, RGB(key.rgbRed, key.rgbGreen, key.rgbBlue));
        BitBlt(maskDc, 0, 0, w, h, imageDc, 0, 0, SRCCOPY);  // key pixels 1, others 0

        // The mask turns into colour through dc's text (0) and background (1) colours: they must
        // be black and white for the key to leave dc's pixels alone.
        const COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
        const COLORREF oldBack = SetBkColor(dc, RGB(255, 255, 255));
        StretchBlt(dc, x, y, cx, cy, imageDc, 0, 0, w, h, SRCINVERT);
        StretchBlt(dc, x, y, cx, cy, maskDc, 0, 0, w, h, SRCAND);
        StretchBlt(dc, x, y, cx, cy, imageDc, 0, 0, w, h, SRCINVERT);
        SetTextColor(dc, oldText);
        SetBkColor(dc, oldBack);

        SelectObject(imageDc, oldImage);
        SelectObject(maskDc, oldMask);
    }
    if (maskBitmap) DeleteObject(maskBitmap);
    if (imageBitmap) DeleteObject(imageBitmap);
    if (maskDc) DeleteDC(maskDc);
    if (imageDc) DeleteDC(imageDc);
    return true;
}
