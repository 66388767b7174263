// Pixel access for every bitmap storage, solid fills and QPainter drawing onto device contexts.
#include <QPainter>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "platform/drawing/GdiInternal.h"

namespace gdi {
namespace {

const std::uint8_t* DibRow(const Bitmap& b, int y)
{
    const int row = b.topDown ? y : b.height - 1 - y;
    return b.bits + b.stride * row;
}

std::uint8_t* DibRow(Bitmap& b, int y)
{
    const int row = b.topDown ? y : b.height - 1 - y;
    return b.bits + b.stride * row;
}

std::uint32_t PaletteColor(const Bitmap& b, std::uint32_t index)
{
    return index < b.palette.size() ? b.palette[index] : 0;
}

#if defined(__x86_64__) || defined(__i386__)
// 24-bit rows to 0x00RRGGBB words, eight pixels (24 bytes, read as two overlapping loads so that
// nothing past them is touched) a step. Returns the pixels done; the caller finishes the row.
__attribute__((target("ssse3"))) int WordsFromBgrSsse3(const std::uint8_t* p, int count, std::uint32_t* out)
{
    const __m128i firstFour = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i lastFour = _mm_setr_epi8(4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1);
    int i = 0;
    for (; i + 8 <= count; i += 8, p += 24) {
        const __m128i lo = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), firstFour);
        const __m128i hi = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8)), lastFour);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), lo);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), hi);
    }
    return i;
}

int WordsFromBgr(const std::uint8_t* p, int count, std::uint32_t* out)
{
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    return ssse3 ? WordsFromBgrSsse3(p, count, out) : 0;
}
#else
int WordsFromBgr(const std::uint8_t*, int, std::uint32_t*) { return 0; }
#endif

int Brightness(std::uint32_t rgb)
{
    return int(((rgb >> 16) & 0xFF) * 299 + ((rgb >> 8) & 0xFF) * 587 + (rgb & 0xFF) * 114) / 1000;
}

}  // namespace

bool IsIndexed(const Bitmap& b) { return b.storage == Storage::Dib && b.bpp <= 8; }

std::uint32_t ValueMask(const Bitmap& b)
{
    if (b.storage == Storage::Mono)
        return 1;
    if (IsIndexed(b))
        return (1u << b.bpp) - 1;
    return 0xFFFFFF;
}

std::uint32_t ColorToValue(const Bitmap& b, std::uint32_t rgb)
{
    rgb &= 0xFFFFFF;
    if (b.storage == Storage::Mono)
        return Brightness(rgb) >= 128 ? 1 : 0;
    if (!IsIndexed(b))
        return rgb;
    std::uint32_t best = 0;
    std::int64_t bestDistance = INT64_MAX;
    for (std::uint32_t i = 0; i < b.palette.size(); ++i) {
        const std::uint32_t p = b.palette[i];
        const std::int64_t dr = std::int64_t((p >> 16) & 0xFF) - ((rgb >> 16) & 0xFF);
        const std::int64_t dg = std::int64_t((p >> 8) & 0xFF) - ((rgb >> 8) & 0xFF);
        const std::int64_t db = std::int64_t(p & 0xFF) - (rgb & 0xFF);
        const std::int64_t d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0)
                break;
        }
    }
    return best;
}

std::uint32_t ValueToColor(const Bitmap& b, std::uint32_t value)
{
    if (b.storage == Storage::Mono)
        return value ? 0xFFFFFF : 0;
    if (IsIndexed(b))
        return PaletteColor(b, value);
    return value & 0xFFFFFF;
}

void ReadColors(const Bitmap& b, int x, int y, int count, std::uint32_t* rgb)
{
    if (b.storage != Storage::Dib) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(b.image.constScanLine(y)) + x;
        if (b.storage == Storage::Mono) {
            for (int i = 0; i < count; ++i)
                rgb[i] = (line[i] & 0xFFFFFF) ? 0xFFFFFF : 0;
        } else {
            for (int i = 0; i < count; ++i)
                rgb[i] = line[i] & 0xFFFFFF;
        }
        return;
    }
    if (IsIndexed(b)) {
        ReadValues(b, x, y, count, rgb);
        for (int i = 0; i < count; ++i)
            rgb[i] = PaletteColor(b, rgb[i]);
        return;
    }
    const std::uint8_t* row = DibRow(b, y);
    if (b.bpp == 32) {
        // Already 0x??RRGGBB words: one masked copy the compiler turns into vector code.
        const std::uint8_t* p = row + std::int64_t(x) * 4;
        for (int i = 0; i < count; ++i) {
            std::uint32_t v;
            std::memcpy(&v, p + 4 * i, 4);
            rgb[i] = v & 0xFFFFFF;
        }
        return;
    }
    const std::uint8_t* p = row + std::int64_t(x) * 3;
    const int done = WordsFromBgr(p, count, rgb);
    for (int i = done; i < count; ++i)
        rgb[i] = (std::uint32_t(p[3 * i + 2]) << 16) | (std::uint32_t(p[3 * i + 1]) << 8) | p[3 * i];
}

void ReadValues(const Bitmap& b, int x, int y, int count, std::uint32_t* values)
{
    if (b.storage == Storage::Mono) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(b.image.constScanLine(y)) + x;
        for (int i = 0; i < count; ++i)
            values[i] = (line[i] & 0xFFFFFF) ? 1 : 0;
        return;
    }
    if (!IsIndexed(b)) {
        ReadColors(b, x, y, count, values);
        return;
    }
    const std::uint8_t* row = DibRow(b, y);
    switch (b.bpp) {
    case 1:
        for (int i = 0; i < count; ++i) {
            const int px = x + i;
            values[i] = (row[px >> 3] >> (7 - (px & 7))) & 1;
        }
        break;
    case 4:
        for (int i = 0; i < count; ++i) {
            const int px = x + i;
            values[i] = (px & 1) ? (row[px >> 1] & 0x0F) : (row[px >> 1] >> 4);
        }
        break;
    default:
        for (int i = 0; i < count; ++i)
            values[i] = row[x + i];
        break;
    }
}

void WriteValues(Bitmap& b, int x, int y, int count, const std::uint32_t* values)
{
    // Called per row or per pixel: the drawing call that writes tells the window layer, once.
    ++b.generation;
    if (b.storage == Storage::Mono) {
        auto* line = reinterpret_cast<std::uint32_t*>(b.image.scanLine(y)) + x;
        for (int i = 0; i < count; ++i)
            line[i] = values[i] ? 0xFFFFFFFFu : 0xFF000000u;
        return;
    }
    if (b.storage == Storage::Color) {
        auto* line = reinterpret_cast<std::uint32_t*>(b.image.scanLine(y)) + x;
        for (int i = 0; i < count; ++i)
            line[i] = 0xFF000000u | values[i];
        return;
    }
    std::uint8_t* row = DibRow(b, y);
    switch (b.bpp) {
    case 1:
        for (int i = 0; i < count; ++i) {
            const int px = x + i;
            const std::uint8_t bit = std::uint8_t(0x80 >> (px & 7));
            row[px >> 3] = (values[i] & 1) ? (row[px >> 3] | bit) : (row[px >> 3] & ~bit);
        }
        break;
    case 4:
        for (int i = 0; i < count; ++i) {
            const int px = x + i;
            std::uint8_t& byte = row[px >> 1];
            byte = (px & 1) ? std::uint8_t((byte & 0xF0) | (values[i] & 0x0F))
                            : std::uint8_t((byte & 0x0F) | ((values[i] & 0x0F) << 4));
        }
        break;
    case 8:
        for (int i = 0; i < count; ++i)
            row[x + i] = std::uint8_t(values[i]);
        break;
    case 32: {
        // The fourth byte of a 32-bit section is kept as the caller left it.
        std::uint8_t* p = row + std::int64_t(x) * 4;
        for (int i = 0; i < count; ++i) {
            std::uint32_t v;
            std::memcpy(&v, p + 4 * i, 4);
            v = (v & 0xFF000000u) | (values[i] & 0xFFFFFF);
            std::memcpy(p + 4 * i, &v, 4);
        }
        break;
    }
    default: {
        std::uint8_t* p = row + std::int64_t(x) * 3;
        for (int i = 0; i < count; ++i) {
            p[3 * i] = std::uint8_t(values[i]);
            p[3 * i + 1] = std::uint8_t(values[i] >> 8);
            p[3 * i + 2] = std::uint8_t(values[i] >> 16);
        }
        break;
    }
    }
}

void FillSolid(DC& dc, const QRect& rect, COLORREF color)
{
    if (!dc.bitmap)
        return;
    Bitmap& b = *dc.bitmap;
    NoteWritten(b);
    const std::uint32_t value = ColorToValue(b, ColorRefToRgb(color));
    const QRegion area = Drawable(dc).intersected(rect);
    std::vector<std::uint32_t> row;
    for (const QRect& r : area) {
        row.assign(size_t(r.width()), value);
        for (int y = r.top(); y <= r.bottom(); ++y)
            WriteValues(b, r.left(), y, r.width(), row.data());
    }
}

void PaintOn(DC& dc, const QRect& bounds, const std::function<void(QPainter&)>& paint)
{
    if (!dc.bitmap)
        return;
    Bitmap& b = *dc.bitmap;
    NoteWritten(b);
    const QRegion area = Drawable(dc).intersected(bounds);
    if (area.isEmpty())
        return;
    const QRect box = area.boundingRect();
    if (b.storage != Storage::Dib) {
        {
            QPainter painter(&b.image);
            painter.setClipRegion(area);
            paint(painter);
        }
        if (b.storage == Storage::Mono) {
            for (int y = box.top(); y <= box.bottom(); ++y) {
                auto* line = reinterpret_cast<std::uint32_t*>(b.image.scanLine(y));
                for (int x = box.left(); x <= box.right(); ++x)
                    line[x] = Brightness(line[x] & 0xFFFFFF) >= 128 ? 0xFFFFFFFFu : 0xFF000000u;
            }
        }
        return;
    }
    // DIB section: paint a colour copy of the box, then store the pixels that changed.
    QImage canvas(box.size(), QImage::Format_RGB32);
    for (int y = 0; y < box.height(); ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(canvas.scanLine(y));
        ReadColors(b, box.left(), box.top() + y, box.width(), line);
        for (int x = 0; x < box.width(); ++x)
            line[x] |= 0xFF000000u;
    }
    const QImage before = canvas.copy();
    {
        QPainter painter(&canvas);
        painter.translate(-box.left(), -box.top());
        painter.setClipRegion(area);
        paint(painter);
    }
    std::unordered_map<std::uint32_t, std::uint32_t> nearest;
    for (int y = 0; y < box.height(); ++y) {
        const auto* now = reinterpret_cast<const std::uint32_t*>(canvas.constScanLine(y));
        const auto* old = reinterpret_cast<const std::uint32_t*>(before.constScanLine(y));
        for (int x = 0; x < box.width(); ++x) {
            if (now[x] == old[x])
                continue;
            const std::uint32_t rgb = now[x] & 0xFFFFFF;
            auto it = nearest.find(rgb);
            if (it == nearest.end())
                it = nearest.emplace(rgb, ColorToValue(b, rgb)).first;
            WriteValues(b, box.left() + x, box.top() + y, 1, &it->second);
        }
    }
}

}  // namespace gdi

BOOL GdiVisitPixels(HDC hdc, const RECT* bounds, const GdiPixelRun& visit)
{
    gdi::DC* dc = gdi::ToDC(hdc);
    if (!dc || !dc->bitmap || !bounds || !visit)
        return FALSE;
    gdi::Bitmap& b = *dc->bitmap;
    const bool words = b.storage == gdi::Storage::Color || (b.storage == gdi::Storage::Dib && b.bpp == 32);
    if (!words)
        return FALSE;
    // Cut to the bitmap first, so any coordinates a caller passes stay inside int.
    const int left = std::clamp(bounds->left, 0, b.width), right = std::clamp(bounds->right, 0, b.width);
    const int top = std::clamp(bounds->top, 0, b.height), bottom = std::clamp(bounds->bottom, 0, b.height);
    if (right <= left || bottom <= top)
        return TRUE;
    NoteWritten(b);
    const QRegion area = gdi::Drawable(*dc).intersected(QRect(left, top, right - left, bottom - top));
    for (const QRect& r : area) {
        for (int y = r.top(); y <= r.bottom(); ++y) {
            std::uint8_t* row = b.storage == gdi::Storage::Color ? b.image.scanLine(y) : b.bits + b.stride * (b.topDown ? y : b.height - 1 - y);
            visit(r.left(), y, r.width(), reinterpret_cast<std::uint32_t*>(row) + r.left());
        }
    }
    return TRUE;
}
