// Transfers between device contexts and packed device-independent bitmaps.
#include <algorithm>
#include <cstring>

#include "platform/drawing/GdiInternal.h"

using namespace gdi;

namespace {

// Row data of this size or more is refused before any pointer arithmetic (matches bitmap limits).
constexpr std::int64_t kMaxDibBytes = std::int64_t(1) << 30;

struct DibFormat {
    int width = 0;
    int height = 0;  // rows, positive
    bool topDown = false;
    int bpp = 0;
    std::int64_t stride = 0;
    std::vector<std::uint32_t> palette;
};

std::optional<DibFormat> ReadFormat(const BITMAPINFO* info, UINT usage, bool withPalette = true)
{
    if (!info || usage != DIB_RGB_COLORS)
        return std::nullopt;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0 ||
        h.biHeight == INT32_MIN)
        return std::nullopt;
    if (h.biBitCount != 1 && h.biBitCount != 4 && h.biBitCount != 8 && h.biBitCount != 24 && h.biBitCount != 32)
        return std::nullopt;
    DibFormat f;
    f.width = h.biWidth;
    f.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    f.topDown = h.biHeight < 0;
    f.bpp = h.biBitCount;
    f.stride = ((std::int64_t(f.width) * f.bpp + 31) / 32) * 4;
    if (f.stride > kMaxDibBytes || f.stride * f.height > kMaxDibBytes)
        return std::nullopt;
    if (withPalette && f.bpp <= 8) {
        const DWORD full = DWORD(1) << f.bpp;
        const DWORD count = (h.biClrUsed == 0 || h.biClrUsed > full) ? full : h.biClrUsed;
        const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const std::uint8_t*>(info) + h.biSize);
        f.palette.assign(full, 0);
        for (DWORD i = 0; i < count; ++i)
            f.palette[i] = (std::uint32_t(table[i].rgbRed) << 16) | (std::uint32_t(table[i].rgbGreen) << 8) |
                           table[i].rgbBlue;
    }
    return f;
}

// A bitmap over the caller's rows (not owned), rows rows high, read only.
void View(Bitmap& b, const DibFormat& f, const void* bits, int rows)
{
    b.storage = Storage::Dib;
    b.width = f.width;
    b.height = rows;
    b.bpp = f.bpp;
    b.topDown = f.topDown;
    b.stride = f.stride;
    b.palette = f.palette;
    b.bits = const_cast<std::uint8_t*>(static_cast<const std::uint8_t*>(bits));
}

int ToInt(DWORD v) { return int(std::min<DWORD>(v, INT32_MAX)); }

}  // namespace

int SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage)
{
    DC* dc = ToDC(hdc);
    const std::optional<DibFormat> f = ReadFormat(info, usage);
    if (!dc || !f || !bits)
        return 0;
    if (startScan >= UINT(f->height) || lines == 0)
        return 0;
    const int rows = int(std::min<std::int64_t>(lines, std::int64_t(f->height) - startScan));
    Bitmap view;
    View(view, *f, bits, rows);
    TransferSource src;
    src.bitmap = &view;
    src.bkRule = false;
    // Source coordinates run top-down over the whole DIB; the band sits where its rows belong.
    src.offsetY = f->topDown ? int(startScan) : f->height - int(startScan) - rows;
    const int w = ToInt(width), h = ToInt(height);
    const std::int64_t top = f->topDown ? std::int64_t(ySrc) : std::int64_t(f->height) - ySrc - h;
    Transfer(*dc, xDest, yDest, w, h, &src, xSrc, int(std::clamp<std::int64_t>(top, INT32_MIN / 2, INT32_MAX / 2)), w,
             h, SRCCOPY, std::nullopt);
    return rows;
}

int StretchDIBits(HDC hdc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop)
{
    DC* dc = ToDC(hdc);
    const std::optional<DibFormat> f = ReadFormat(info, usage);
    if (!dc || !f || !bits)
        return 0;
    Bitmap view;
    View(view, *f, bits, f->height);
    TransferSource src;
    src.bitmap = &view;
    src.bkRule = false;
    const std::int64_t top = f->topDown ? std::int64_t(ySrc) : std::int64_t(f->height) - ySrc - srcHeight;
    if (!Transfer(*dc, xDest, yDest, destWidth, destHeight, &src, xSrc,
                  int(std::clamp<std::int64_t>(top, INT32_MIN / 2, INT32_MAX / 2)), srcWidth, srcHeight, rop,
                  std::nullopt))
        return 0;
    return srcHeight < 0 ? -srcHeight : srcHeight;
}

int SetDIBits(HDC hdc, HBITMAP bitmap, UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage)
{
    Bitmap* b = ToBitmap(bitmap);
    const std::optional<DibFormat> f = ReadFormat(info, usage);
    if ((hdc && !ToDC(hdc)) || !b || !f || !bits || startScan >= UINT(f->height) || lines == 0)
        return 0;
    const int rows = int(std::min<std::int64_t>(lines, std::int64_t(f->height) - startScan));
    Bitmap view;
    View(view, *f, bits, rows);
    TransferSource src;
    src.bitmap = &view;
    src.bkRule = false;
    // DIB rows count from the bitmap's bottom (bottom-up) or top (top-down) row.
    DC target;
    target.bitmap = b;
    const std::int64_t destTop = f->topDown ? std::int64_t(startScan) : std::int64_t(b->height) - startScan - rows;
    Transfer(target, 0, int(std::clamp<std::int64_t>(destTop, INT32_MIN / 2, INT32_MAX / 2)), f->width, rows, &src, 0,
             0, f->width, rows, SRCCOPY, std::nullopt);
    return rows;
}

int GetDIBits(HDC hdc, HBITMAP bitmap, UINT startScan, UINT lines, void* bits, BITMAPINFO* info, UINT usage)
{
    Bitmap* b = ToBitmap(bitmap);
    if ((hdc && !ToDC(hdc)) || !b || !info || usage != DIB_RGB_COLORS)
        return 0;
    BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER))
        return 0;
    if (!bits && h.biBitCount == 0) {
        h.biWidth = b->width;
        h.biHeight = b->height;
        h.biPlanes = 1;
        h.biBitCount = WORD(b->bpp);
        h.biCompression = BI_RGB;
        h.biSizeImage = DWORD(((std::int64_t(b->width) * b->bpp + 31) / 32) * 4 * b->height);
        h.biClrUsed = 0;
        h.biClrImportant = 0;
        return b->height;
    }
    const std::optional<DibFormat> f = ReadFormat(info, usage, false);
    if (!f)
        return 0;
    // Paletted output keeps the bitmap's own indices, so it needs a bitmap with a matching table.
    std::vector<std::uint32_t> table;
    if (f->bpp <= 8) {
        if (b->storage == Storage::Mono && f->bpp == 1)
            table = {0x000000, 0xFFFFFF};
        else if (b->storage == Storage::Dib && b->bpp == f->bpp)
            table = b->palette;
        else
            return 0;
        // The caller's table holds biClrUsed entries (all of them when 0); never write past it.
        const size_t room = h.biClrUsed == 0 ? table.size() : std::min<size_t>(h.biClrUsed, table.size());
        auto* out = reinterpret_cast<RGBQUAD*>(reinterpret_cast<std::uint8_t*>(info) + h.biSize);
        for (size_t i = 0; i < room; ++i)
            out[i] = RGBQUAD{BYTE(table[i]), BYTE(table[i] >> 8), BYTE(table[i] >> 16), 0};
    }
    h.biSizeImage = DWORD(f->stride * f->height);
    if (!bits)
        return b->height;
    if (startScan >= UINT(f->height) || lines == 0)
        return 0;
    const int rows = int(std::min<std::int64_t>(lines, std::int64_t(f->height) - startScan));
    Bitmap out;
    View(out, *f, bits, rows);
    out.palette = table;
    const int columns = std::min(f->width, b->width);
    std::vector<std::uint32_t> line(size_t(f->width), 0);
    int copied = 0;
    for (int i = 0; i < rows; ++i) {
        const std::int64_t storageRow = std::int64_t(startScan) + i;
        const std::int64_t y = f->topDown ? storageRow : std::int64_t(b->height) - 1 - storageRow;
        // Row i of the band in the output view, counted top-down within the band.
        const int viewY = f->topDown ? i : rows - 1 - i;
        std::fill(line.begin(), line.end(), 0);
        if (y >= 0 && y < b->height) {
            if (f->bpp > 8)
                ReadColors(*b, 0, int(y), columns, line.data());
            else
                ReadValues(*b, 0, int(y), columns, line.data());
            ++copied;
        }
        std::memset(out.bits + out.stride * i, 0, size_t(out.stride));
        WriteValues(out, 0, viewY, f->width, line.data());
    }
    return copied;
}
