// Alpha drawing straight into a context's 32-bit pixels must give exactly what the copy-blend-write
// route gives on a 24-bit section: random images, alphas, keys, scales, positions, clip rectangles
// and clip regions, compared pixel for pixel.
#include "image/PixImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kW = 45;
constexpr int kH = 14;

// A memory context over one kind of bitmap, its pixels set from the same background rows.
struct Target {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    std::uint8_t* bits = nullptr;  // DIB sections

    explicit Target(int bpp, const std::vector<std::uint32_t>& background) {
        if (bpp == 0) {
            bitmap = CreateCompatibleBitmap(nullptr, kW, kH);
        } else {
            BITMAPINFO info{};
            info.bmiHeader.biWidth = kW;
            info.bmiHeader.biHeight = bpp == 32 ? -kH : kH;  // one of each row order
            info.bmiHeader.biBitCount = static_cast<WORD>(bpp);
            void* rows = nullptr;
            bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &rows, nullptr, 0);
            bits = static_cast<std::uint8_t*>(rows);
        }
        old = SelectObject(dc, bitmap);
        BITMAPINFO top{};
        top.bmiHeader.biWidth = kW;
        top.bmiHeader.biHeight = -kH;
        top.bmiHeader.biBitCount = 32;
        SetDIBitsToDevice(dc, 0, 0, kW, kH, 0, 0, 0, kH, background.data(), &top, DIB_RGB_COLORS);
    }
    ~Target() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    [[nodiscard]] std::vector<std::uint32_t> Pixels() const {
        SelectClipRgn(dc, nullptr);
        std::vector<std::uint32_t> out;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                out.push_back(GetPixel(dc, x, y));
        return out;
    }
};

TEST(PixImageDrawDirect, SameAsBlendingThroughASection) {
    std::mt19937 rng(20261207);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    // Alphas that hit the shortcuts (0, 255) as often as the mixed case.
    const auto alphaValue = [&] { const int k = pick(0, 3); return k == 0 ? 0 : k == 1 ? 255 : pick(0, 255); };
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        const bool paletted = pick(0, 4) == 0;
        const int w = pick(1, 40), h = pick(1, 9);
        PixImage img(w, h, paletted ? 8 : 24, 0);
        if (paletted)
            for (int i = 0; i < 256; ++i)
                img.SetPaletteColor(static_cast<std::uint8_t>(i), RGBQUAD{static_cast<BYTE>(pick(0, 255)),
                                    static_cast<BYTE>(pick(0, 255)), static_cast<BYTE>(pick(0, 255)),
                                    static_cast<BYTE>(alphaValue())});
        const bool alphaChannel = pick(0, 3) != 0;
        if (alphaChannel) img.AlphaCreate();
        // Few distinct colours, so that the key colour occurs.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (paletted)
                    img.SetPixelIndex(x, y, static_cast<std::uint8_t>(pick(0, 5)));
                else
                    img.SetPixelColor(x, y, RGB(pick(0, 2) * 127, pick(0, 1) * 255, pick(0, 255)));
                if (alphaChannel) img.AlphaSet(x, y, static_cast<std::uint8_t>(alphaValue()));
            }
        if (pick(0, 2) == 0) img.AlphaSetMax(static_cast<std::uint8_t>(pick(0, 255)));
        if (pick(0, 2) == 0) {
            img.SetTransIndex(pick(0, 5));
            if (!paletted) {
                const RGBQUAD at = img.GetPixelColor(pick(0, w - 1), pick(0, h - 1), false);
                img.SetTransColor(RGBQUAD{at.rgbBlue, at.rgbGreen, at.rgbRed, 0});
            }
        }
        if (paletted && pick(0, 1) == 0) {
            struct Peek : PixImage {
                using PixImage::info;
            };
            static_cast<Peek&>(img).info.alphaPalette = true;
        }
        if (!alphaChannel && img.GetTransIndex() == -1 && !paletted) img.SetTransIndex(0);  // always blended

        std::vector<std::uint32_t> background(static_cast<std::size_t>(kW) * kH);
        for (auto& p : background) p = static_cast<std::uint32_t>(pick(0, 0xFFFFFF));
        Target reference(24, background), colour(0, background), section(32, background);
        // The 32-bit section's fourth bytes belong to its owner: they must come out as they went in.
        std::vector<std::uint8_t> fourth;
        for (int i = 0; i < kW * kH; ++i) {
            section.bits[4 * i + 3] = static_cast<std::uint8_t>(pick(0, 255));
            fourth.push_back(section.bits[4 * i + 3]);
        }

        const int x = pick(-8, kW - 2), y = pick(-4, kH - 2);
        const bool scaled = pick(0, 3) == 0;
        const int cx = scaled ? pick(1, 50) : -1, cy = scaled ? pick(1, 16) : -1;
        const bool smooth = scaled && pick(0, 1) == 0;
        const RECT clipRect{pick(-5, kW), pick(-3, kH), pick(0, kW + 5), pick(0, kH + 3)};
        const bool withClip = pick(0, 1) == 0;
        const bool withRegion = pick(0, 2) == 0;
        const RECT a{pick(0, kW / 2), pick(0, kH / 2), pick(kW / 2, kW), pick(kH / 2, kH)};
        const RECT b{pick(0, kW), pick(0, kH), pick(0, kW), pick(0, kH)};
        for (Target* t : {&reference, &colour, &section}) {
            if (withRegion) {
                HRGN r1 = CreateRectRgnIndirect(&a);
                HRGN r2 = CreateRectRgnIndirect(&b);
                CombineRgn(r1, r1, r2, RGN_OR);
                SelectClipRgn(t->dc, r1);
                DeleteObject(r1);
                DeleteObject(r2);
            }
            ASSERT_TRUE(img.Draw(t->dc, x, y, cx, cy, withClip ? &clipRect : nullptr, smooth));
        }
        const auto want = reference.Pixels();
        ASSERT_EQ(colour.Pixels(), want) << "colour bitmap, image " << w << " x " << h << " at " << x << ", " << y;
        ASSERT_EQ(section.Pixels(), want) << "32-bit section, image " << w << " x " << h << " at " << x << ", " << y;
        for (int i = 0; i < kW * kH; ++i) ASSERT_EQ(section.bits[4 * i + 3], fourth[static_cast<std::size_t>(i)]);
    }
}

}  // namespace
