// Bitmaps: device-dependent ones, DIB sections, and the window layer's access to their pixels.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/drawing/GdiInternal.h"

namespace gdi {
namespace {

// Pixel memory one bitmap may take; keeps every size computation far from overflow and refuses
// what no skin or page of this program comes near.
constexpr std::int64_t kMaxBitmapBytes = std::int64_t(1) << 30;

}  // namespace

std::unique_ptr<Bitmap> NewColorBitmap(int width, int height)
{
    if (width <= 0 || height <= 0 || std::int64_t(width) * height * 4 > kMaxBitmapBytes)
        return nullptr;
    auto b = std::make_unique<Bitmap>();
    b->storage = Storage::Color;
    b->width = width;
    b->height = height;
    b->bpp = 32;
    b->image = QImage(width, height, QImage::Format_RGB32);
    if (b->image.isNull())
        return nullptr;
    b->image.fill(0xFF000000u);
    b->image.setDotsPerMeterX(3780);
    b->image.setDotsPerMeterY(3780);
    return b;
}

std::unique_ptr<Bitmap> NewMonoBitmap(int width, int height)
{
    auto b = NewColorBitmap(width, height);
    if (b) {
        b->storage = Storage::Mono;
        b->bpp = 1;
    }
    return b;
}

std::unique_ptr<Bitmap> NewDibBitmap(int width, int height, bool topDown, int bpp,
                                     const std::vector<std::uint32_t>& palette)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
        return nullptr;
    const std::int64_t stride = ((std::int64_t(width) * bpp + 31) / 32) * 4;
    if (stride > kMaxBitmapBytes)
        return nullptr;
    const std::int64_t size = stride * height;  // both below 2^31: no overflow
    if (size > kMaxBitmapBytes)
        return nullptr;
    auto b = std::make_unique<Bitmap>();
    b->storage = Storage::Dib;
    b->width = width;
    b->height = height;
    b->bpp = bpp;
    b->topDown = topDown;
    b->stride = stride;
    b->ownedBits.reset(new (std::nothrow) std::uint8_t[size_t(size)]());
    if (!b->ownedBits)
        return nullptr;
    b->bits = b->ownedBits.get();
    if (bpp <= 8) {
        b->palette.assign(size_t(1) << bpp, 0);
        std::copy_n(palette.begin(), std::min(palette.size(), b->palette.size()), b->palette.begin());
    }
    return b;
}

}  // namespace gdi

using namespace gdi;

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height)
{
    DC* dc = nullptr;
    if (hdc && !(dc = ToDC(hdc)))
        return nullptr;
    const bool mono = dc && dc->bitmap && dc->bitmap->storage == Storage::Mono;
    return Register(mono ? NewMonoBitmap(width, height) : NewColorBitmap(width, height));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits)
{
    const bool mono = planes == 1 && bitsPerPixel == 1;
    auto b = mono ? NewMonoBitmap(width, height) : NewColorBitmap(width, height);
    if (!b)
        return nullptr;
    if (bits) {
        const auto* src = static_cast<const std::uint8_t*>(bits);
        if (mono) {
            // Rows of 1-bit pixels, padded to 16 bits; a set bit is white.
            const std::int64_t stride = ((std::int64_t(width) + 15) / 16) * 2;
            for (int y = 0; y < height; ++y) {
                auto* line = reinterpret_cast<std::uint32_t*>(b->image.scanLine(y));
                const std::uint8_t* row = src + stride * y;
                for (int x = 0; x < width; ++x)
                    line[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 0xFFFFFFFFu : 0xFF000000u;
            }
        } else {
            for (int y = 0; y < height; ++y) {
                auto* line = reinterpret_cast<std::uint32_t*>(b->image.scanLine(y));
                const std::uint8_t* row = src + std::int64_t(width) * 4 * y;
                for (int x = 0; x < width; ++x) {
                    std::uint32_t v;
                    std::memcpy(&v, row + 4 * x, 4);
                    line[x] = 0xFF000000u | (v & 0xFFFFFF);
                }
            }
        }
    }
    return Register(std::move(b));
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, void* section, DWORD offset)
{
    if (bits)
        *bits = nullptr;
    if ((hdc && !ToDC(hdc)) || !info || usage != DIB_RGB_COLORS || section || offset)
        return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0 ||
        h.biHeight == INT32_MIN)
        return nullptr;
    std::vector<std::uint32_t> palette;
    if (h.biBitCount <= 8 && h.biBitCount > 0) {
        const DWORD full = DWORD(1) << h.biBitCount;
        const DWORD count = (h.biClrUsed == 0 || h.biClrUsed > full) ? full : h.biClrUsed;
        const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const std::uint8_t*>(info) + h.biSize);
        for (DWORD i = 0; i < count; ++i)
            palette.push_back((std::uint32_t(table[i].rgbRed) << 16) | (std::uint32_t(table[i].rgbGreen) << 8) |
                              table[i].rgbBlue);
    }
    auto b = NewDibBitmap(h.biWidth, h.biHeight < 0 ? -h.biHeight : h.biHeight, h.biHeight < 0, h.biBitCount, palette);
    if (!b)
        return nullptr;
    void* rows = b->bits;
    b->bitsShared = bits != nullptr;
    HBITMAP handle = Register(std::move(b));
    if (bits)
        *bits = rows;
    return handle;
}

HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, DWORD init, const void* bits, const BITMAPINFO* info,
                       UINT usage)
{
    if (!header || header->biWidth <= 0 || header->biHeight == 0 || header->biHeight == INT32_MIN)
        return nullptr;
    const int height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    HBITMAP handle = CreateCompatibleBitmap(hdc, header->biWidth, height);
    if (!handle)
        return nullptr;
    if ((init & CBM_INIT) && bits && info) {
        const UINT lines = UINT(info->bmiHeader.biHeight < 0 ? -std::int64_t(info->bmiHeader.biHeight)
                                                             : info->bmiHeader.biHeight);
        if (SetDIBits(hdc, handle, 0, lines, bits, info, usage) == 0) {
            DeleteObject(handle);
            return nullptr;
        }
    }
    return handle;
}

// Window layer access -----------------------------------------------------------------------------

std::optional<std::uint64_t> GdiWriteGeneration(HBITMAP bitmap)
{
    const Bitmap* b = ToBitmap(bitmap);
    if (!b)
        return std::nullopt;
    return b->generation;
}

QImage GdiSnapshot(HDC hdc)
{
    DC* dc = ToDC(hdc);
    if (!dc || !dc->bitmap)
        return {};
    const Bitmap& b = *dc->bitmap;
    if (b.storage != Storage::Dib)
        return b.image.copy();
    QImage image(b.width, b.height, QImage::Format_RGB32);
    for (int y = 0; y < b.height; ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        ReadColors(b, 0, y, b.width, line);
        for (int x = 0; x < b.width; ++x)
            line[x] |= 0xFF000000u;
    }
    return image;
}

QImage* GdiColorImage(HDC hdc)
{
    DC* dc = ToDC(hdc);
    if (!dc || !dc->bitmap || dc->bitmap->storage != Storage::Color)
        return nullptr;
    return &dc->bitmap->image;
}

HBITMAP GdiCreateBitmapFromImage(const QImage& image)
{
    auto b = NewColorBitmap(image.width(), image.height());
    if (!b)
        return nullptr;
    b->image = image.convertToFormat(QImage::Format_RGB32);
    return Register(std::move(b));
}
