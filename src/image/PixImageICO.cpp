#include "image/PixImageICO.h"

#include "image/PixFile.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

#pragma pack(push, 1)
struct IconHeader {
    std::uint16_t reserved;
    std::uint16_t type;
    std::uint16_t count;
};
struct IconDirEntry {
    std::uint8_t width;
    std::uint8_t height;
    std::uint8_t colourCount;
    std::uint8_t reserved;
    std::uint16_t planes;
    std::uint16_t bitCount;
    std::uint32_t bytesInResource;
    std::uint32_t imageOffset;
};
#pragma pack(pop)
static_assert(sizeof(IconHeader) == 6 && sizeof(IconDirEntry) == 16);

}  // namespace

bool PixImageICO::Decode(PixFile* f) {
    if (!f) return false;
    const std::int32_t start = f->Tell();
    IconHeader ih{};
    if (f->Read(&ih, sizeof ih, 1) != 1) return false;
    if (ih.reserved != 0 || (ih.type != 1 && ih.type != 2)) return false;
    info.frameCount = ih.count;

    std::vector<IconDirEntry> entries(ih.count);
    if (ih.count && f->Read(entries.data(), sizeof(IconDirEntry), ih.count) != ih.count) return false;
    if (info.frame < 0 || info.frame >= ih.count) return false;
    const IconDirEntry& e = entries[static_cast<std::size_t>(info.frame)];

    const std::int64_t at = static_cast<std::int64_t>(start) + e.imageOffset;
    if (at < 0 || at > 0x7FFFFFFF || !f->Seek(static_cast<std::int32_t>(at), 0)) return false;
    BITMAPINFOHEADER bi{};
    if (f->Read(&bi, sizeof bi, 1) != 1) return false;

    // A directory size byte of 0 stands for 256 pixels.
    const std::int32_t width = e.width ? e.width : 256;
    const std::int32_t height = e.height ? e.height : 256;
    if (!Create(width, height, bi.biBitCount, PIX_FORMAT_ICO)) return false;

    if (head.biClrUsed) {
        RGBQUAD pal[256];
        const std::size_t got = f->Read(pal, 4, head.biClrUsed);
        SetPalette(pal, static_cast<std::uint32_t>(got));
    }

    const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    bool hadAlpha = false;
    if (bi.biBitCount <= 24) {
        f->Read(info.pixels, 1, head.biSizeImage);
    } else if (bi.biBitCount == 32) {
        std::vector<std::uint8_t> bgra(w * h * 4);
        const std::size_t got = f->Read(bgra.data(), 1, bgra.size());
        std::fill(bgra.begin() + static_cast<std::ptrdiff_t>(got), bgra.end(), std::uint8_t{0});
        if (AlphaCreate()) hadAlpha = true;
        for (std::size_t y = 0; y < h; ++y) {
            std::uint8_t* row = GetBits(static_cast<std::uint32_t>(y));
            for (std::size_t x = 0; x < w; ++x) {
                const std::uint8_t* p = &bgra[(y * w + x) * 4];
                std::memcpy(row + 3 * x, p, 3);
                if (alpha) alpha[y * w + x] = p[3];
            }
        }
    }

    const std::uint32_t maskStride = static_cast<std::uint32_t>(((w + 31) / 32) * 4);
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(maskStride) * h);
    if (f->Read(mask.data(), 1, mask.size()) != mask.size()) return true;
    ApplyMask(mask.data(), maskStride, hadAlpha);
    return true;
}

void PixImageICO::ApplyMask(const std::uint8_t* mask, std::uint32_t maskStride, bool hadAlpha) {
    const std::int32_t w = head.biWidth, h = head.biHeight;
    const std::size_t maskBytes = static_cast<std::size_t>(maskStride) * static_cast<std::size_t>(h);
    if (std::all_of(mask, mask + maskBytes, [](std::uint8_t b) { return b == 0xFF; })) {
        info.transIndex = 0;
        Negative();
        return;
    }
    auto masked = [&](std::int32_t x, std::int32_t y) {
        return (mask[static_cast<std::size_t>(y) * maskStride + static_cast<std::size_t>(x >> 3)] >> (7 - (x & 7))) & 1;
    };

    bool anyMasked = false;
    AlphaCreate();
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x)
            if (masked(x, y)) {
                AlphaSet(x, y, 0);
                anyMasked = true;
            }
    if (!hadAlpha && !anyMasked) AlphaDelete();

    if (head.biBitCount == 24) {
        bool same = true;
        bool first = true;
        RGBQUAD key{};
        for (std::int32_t y = 0; y < h && same; ++y)
            for (std::int32_t x = 0; x < w && same; ++x) {
                if (!masked(x, y)) continue;
                const std::uint8_t* p = BlindGetPixelPointer(x, y);
                const RGBQUAD c{p[0], p[1], p[2], 0};
                if (first) key = c;
                else if (std::memcmp(&c, &key, sizeof c) != 0) same = false;
                first = false;
            }
        if (anyMasked && same) {
            SetTransColor(key);
            info.transIndex = 0;
            AlphaDelete();
        }
    } else if (head.biBitCount <= 8) {
        bool used[256] = {};
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < w; ++x) used[BlindGetPixelIndex(x, y)] = true;
        for (std::uint32_t i = 0; i < head.biClrUsed; ++i) {
            if (used[i]) continue;
            for (std::int32_t y = 0; y < h; ++y)
                for (std::int32_t x = 0; x < w; ++x)
                    if (masked(x, y)) SetPixelIndex(x, y, static_cast<std::uint8_t>(i));
            if (anyMasked) info.transIndex = static_cast<std::int32_t>(i);
            AlphaDelete();
            break;
        }
    }
}
