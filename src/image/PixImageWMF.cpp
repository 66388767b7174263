#include "image/PixImageWMF.h"

#include "image/PixDecodeLimits.h"
#include "platform/metafile/Metafile.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

using pixlimits::Le16;
using pixlimits::Le32;
using pixlimits::ReadExact;

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr std::int64_t kMaxSide = 4000;

struct Loaded {
    HENHMETAFILE metafile = nullptr;
    std::int64_t cx = 0;
    std::int64_t cy = 0;
};

// A placeable Windows metafile from the stream's position, converted to a metafile handle.
Loaded LoadPlaceable(PixFile* f, std::int32_t start) {
    std::uint8_t p[22];
    if (!ReadExact(f, p, sizeof p) || Le32(p) != kPlaceableKey) return {};
    std::uint16_t sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= Le16(p + 2 * i);
    const std::uint16_t inch = Le16(p + 14);
    if (sum != Le16(p + 20) || inch < 1 || inch > 2540) return {};
    const std::int64_t left = static_cast<std::int16_t>(Le16(p + 6));
    const std::int64_t top = static_cast<std::int16_t>(Le16(p + 8));
    const std::int64_t right = static_cast<std::int16_t>(Le16(p + 10));
    const std::int64_t bottom = static_cast<std::int16_t>(Le16(p + 12));
    // A box drawn backwards has no size to give the picture.
    if (right < left || bottom < top) return {};

    std::uint8_t h[18];
    if (!ReadExact(f, h, sizeof h)) return {};
    const std::uint16_t type = Le16(h);
    if (type != 1 && type != 2) return {};
    const std::uint64_t bytes = std::uint64_t{Le32(h + 6)} * 2;
    const std::int32_t size = f->Size();
    if (size < 0 || bytes > static_cast<std::uint64_t>(size) || bytes < sizeof h) return {};
    std::vector<std::uint8_t> data;
    try {
        data.resize(static_cast<std::size_t>(bytes));
    } catch (const std::bad_alloc&) {
        return {};
    }
    if (!f->Seek(start + 22, 0) || !ReadExact(f, data.data(), data.size())) return {};

    const std::int64_t dpiX = GetMetafileDeviceCaps(nullptr, LOGPIXELSX);
    const std::int64_t dpiY = GetMetafileDeviceCaps(nullptr, LOGPIXELSY);
    Loaded out;
    out.cx = (right - left) * dpiX / inch;
    out.cy = (bottom - top) * dpiY / inch;
    METAFILEPICT picture;
    picture.mm = MM_ANISOTROPIC;
    std::int64_t xExt = out.cx, yExt = out.cy;
    // More digits for the converter while both stay within 16 bits; a zero extent never grows.
    while (xExt > 0 && yExt > 0 && xExt < 6554 && yExt < 6554) {
        xExt *= 10;
        yExt *= 10;
    }
    picture.xExt = static_cast<LONG>(xExt);
    picture.yExt = static_cast<LONG>(yExt);
    out.metafile = SetWinMetaFileBits(static_cast<UINT>(data.size()), data.data(), nullptr, &picture);
    if (!out.metafile) {
        picture.mm = MM_TEXT;
        out.metafile = SetWinMetaFileBits(static_cast<UINT>(data.size()), data.data(), nullptr, &picture);
    }
    return out;
}

// An enhanced metafile: the rest of the stream, once its header has shown the signature.
Loaded LoadEnhanced(PixFile* f) {
    std::uint8_t head[sizeof(ENHMETAHEADER)];
    const std::int32_t start = f->Tell();
    if (!ReadExact(f, head, sizeof head) || Le32(head) != EMR_HEADER || Le32(head + 40) != ENHMETA_SIGNATURE)
        return {};
    const std::int64_t rest = pixlimits::Remaining(f) + static_cast<std::int64_t>(sizeof head);
    std::vector<std::uint8_t> data;
    try {
        data.resize(static_cast<std::size_t>(rest));
    } catch (const std::bad_alloc&) {
        return {};
    }
    if (!f->Seek(start, 0) || !ReadExact(f, data.data(), data.size())) return {};
    Loaded out;
    out.metafile = SetEnhMetaFileBits(static_cast<UINT>(data.size()), data.data());
    if (!out.metafile) return {};
    ENHMETAHEADER header;
    if (GetEnhMetaFileHeader(out.metafile, sizeof header, &header) != sizeof header) {
        DeleteEnhMetaFile(out.metafile);
        return {};
    }
    out.cx = std::int64_t{header.rclBounds.right} - header.rclBounds.left;
    out.cy = std::int64_t{header.rclBounds.bottom} - header.rclBounds.top;
    if (out.cx < 0 || out.cy < 0) {
        DeleteEnhMetaFile(out.metafile);
        return {};
    }
    return out;
}

}  // namespace

bool PixImageWMF::Decode(PixFile* stream, std::int32_t forcedWidth, std::int32_t forcedHeight) {
    if (!stream) return false;
    const std::int32_t start = stream->Tell();
    Loaded m = LoadPlaceable(stream, start);
    if (!m.metafile) {
        stream->Seek(start, 0);
        m = LoadEnhanced(stream);
        if (!m.metafile) {
            SetError("corrupted WMF");
            return false;
        }
    }
    if (m.cx == 0 || m.cy == 0) {
        DeleteEnhMetaFile(m.metafile);
        SetError("empty WMF");
        return false;
    }
    if (forcedWidth > 0) m.cx = forcedWidth;
    if (forcedHeight > 0) m.cy = forcedHeight;
    // Keep the proportions within 4000 pixels; a thin picture keeps at least one pixel.
    if (m.cx > kMaxSide) {
        m.cy = std::max<std::int64_t>(1, m.cy * kMaxSide / m.cx);
        m.cx = kMaxSide;
    }
    if (m.cy > kMaxSide) {
        m.cx = std::max<std::int64_t>(1, m.cx * kMaxSide / m.cy);
        m.cy = kMaxSide;
    }
    const int cx = static_cast<int>(m.cx), cy = static_cast<int>(m.cy);

    HBITMAP bitmap = CreateCompatibleBitmap(nullptr, cx, cy);
    HDC dc = CreateCompatibleDC(nullptr);
    if (!bitmap || !dc) {
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
        DeleteEnhMetaFile(m.metafile);
        return false;
    }
    const std::uint32_t bpp = static_cast<std::uint32_t>(GetMetafileDeviceCaps(dc, BITSPIXEL));
    HGDIOBJ old = SelectObject(dc, bitmap);
    const RECT rect{0, 0, cx, cy};
    // The system's window colour under the picture.
    const COLORREF previous = SetBkColor(dc, RGB(255, 255, 255));
    ExtTextOut(dc, 0, 0, ETO_OPAQUE, &rect, "", 0, nullptr);
    SetBkColor(dc, previous);
    PlayEnhMetaFile(dc, m.metafile, &rect);
    SelectObject(dc, old);
    DeleteEnhMetaFile(m.metafile);

    bool ok = false;
    if (Create(cx, cy, bpp, PIX_FORMAT_WMF)) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = cx;
        bi.bmiHeader.biHeight = cy;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = static_cast<WORD>(GetBpp());
        bi.bmiHeader.biCompression = BI_RGB;
        ok = GetDIBits(dc, bitmap, 0, static_cast<UINT>(cy), GetBits(0), &bi, DIB_RGB_COLORS) > 0;
    }
    DeleteObject(bitmap);
    DeleteDC(dc);
    return ok;
}
