// Block transfers with raster operations, stretching and colour keying; pixels; rectangles.
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "platform/drawing/GdiInternal.h"

namespace gdi {
namespace {

// Keeps rectangle arithmetic inside int whatever coordinates a caller passes.
constexpr std::int64_t kCoordLimit = std::int64_t(1) << 29;

std::int64_t Clamp(std::int64_t v) { return std::clamp(v, -kCoordLimit, kCoordLimit); }

// The rectangle left .. right - 1, top .. bottom - 1 cut to the coordinate limits; empty if inverted.
QRect Span(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom)
{
    left = Clamp(left), top = Clamp(top), right = Clamp(right), bottom = Clamp(bottom);
    if (right <= left || bottom <= top)
        return {};
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

std::uint32_t Rop3(std::uint8_t rop, std::uint32_t p, std::uint32_t s, std::uint32_t d, std::uint32_t mask)
{
    switch (rop) {
    case 0xCC: return s;
    case 0x66: return s ^ d;
    case 0x88: return s & d;
    case 0xEE: return s | d;
    case 0x33: return ~s & mask;
    case 0x44: return s & ~d & mask;
    case 0x11: return ~(s | d) & mask;
    case 0xBB: return (~s | d) & mask;
    case 0xC0: return p & s;
    case 0xF0: return p;
    case 0x5A: return p ^ d;
    case 0x55: return ~d & mask;
    case 0x00: return 0;
    case 0xFF: return mask;
    default: break;
    }
    // Any other operation: the OR of the minterms its code switches on (bit index = P S D).
    std::uint32_t result = 0;
    for (int i = 0; i < 8; ++i) {
        if (rop & (1 << i))
            result |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    }
    return result & mask;
}

struct Axis {
    std::int64_t start = 0;  // first pixel of the normalised span
    std::int64_t length = 0;
};

// A negative extent counts back from the given coordinate: (x, -w) covers x - w + 1 .. x.
Axis Normalise(std::int64_t pos, std::int64_t extent)
{
    return extent >= 0 ? Axis{pos, extent} : Axis{pos + extent + 1, -extent};
}

// For each destination pixel of a span, the source pixels it stands for.
struct Sample {
    std::int64_t first = 0;  // combined span, first .. last
    std::int64_t last = 0;
    std::int64_t centre = 0;
};

std::vector<Sample> MapAxis(std::int64_t destStart, std::int64_t destLength, std::int64_t from, std::int64_t to,
                            std::int64_t srcStart, std::int64_t srcLength, bool mirror)
{
    std::vector<Sample> map;
    map.reserve(size_t(to - from));
    for (std::int64_t d = from; d < to; ++d) {
        const std::int64_t i = d - destStart;
        const std::int64_t j = mirror ? destLength - 1 - i : i;
        Sample s;
        s.centre = srcStart + ((2 * j + 1) * srcLength) / (2 * destLength);
        s.first = srcStart + (j * srcLength) / destLength;
        s.last = std::max(s.first, srcStart + ((j + 1) * srcLength) / destLength - 1);
        map.push_back(s);
    }
    return map;
}

int Brightness(std::uint32_t rgb)
{
    return int(((rgb >> 16) & 0xFF) * 299 + ((rgb >> 8) & 0xFF) * 587 + (rgb & 0xFF) * 114) / 1000;
}

// Colour or monochrome source value for a destination of the given kind (see Transfer).
struct Converter {
    bool destMono = false;
    bool srcMono = false;
    bool bkRule = true;
    std::uint32_t srcBk = 0, destBk = 0, destText = 0;

    [[nodiscard]] std::uint32_t operator()(std::uint32_t rgb) const
    {
        if (destMono)
            return srcMono ? (rgb ? 1 : 0) : bkRule ? (rgb == srcBk ? 1 : 0) : (Brightness(rgb) >= 128 ? 1 : 0);
        if (srcMono)
            return rgb ? destBk : destText;
        return rgb;
    }
};

// The common case, one source pixel per destination pixel from another bitmap into one that is not
// paletted: rows go straight from source to destination without a copy of the whole source.
BOOL CopyUnscaled(DC& dest, const QRegion& visible, const TransferSource& src, std::int64_t shiftX,
                  std::int64_t shiftY, std::uint8_t code, std::uint32_t pattern, std::optional<std::uint32_t> key)
{
    Bitmap& db = *dest.bitmap;
    const Bitmap& sb = *src.bitmap;
    const std::uint32_t mask = ValueMask(db);
    Converter convert;
    convert.destMono = db.storage == Storage::Mono;
    convert.srcMono = sb.storage == Storage::Mono;
    convert.bkRule = src.bkRule;
    convert.srcBk = ColorRefToRgb(src.bkColor);
    convert.destBk = ColorRefToRgb(dest.bkColor);
    convert.destText = ColorRefToRgb(dest.textColor);
    const bool plainCopy = code == 0xCC && !key;
    const bool colourToColour = db.storage == Storage::Color && sb.storage == Storage::Color;
    const bool rawRows = plainCopy && colourToColour;
    const bool keyedRows = code == 0xCC && key && colourToColour;
    // Source bounds in destination coordinates.
    const std::int64_t sl = std::int64_t(src.offsetX) - shiftX, st = std::int64_t(src.offsetY) - shiftY;
    const QRect sourceArea = Span(sl, st, sl + sb.width, st + sb.height);
    std::vector<std::uint32_t> s, d;
    for (const QRect& whole : visible) {
        const QRect r = whole.intersected(sourceArea);
        if (r.isEmpty())
            continue;
        const int n = r.width();
        const int sx = int(r.left() + shiftX - src.offsetX);
        s.resize(size_t(n));
        d.resize(size_t(n));
        for (int y = r.top(); y <= r.bottom(); ++y) {
            const int sy = int(y + shiftY - src.offsetY);
            if (keyedRows) {
                const auto* from = reinterpret_cast<const std::uint32_t*>(sb.image.constScanLine(sy)) + sx;
                auto* to = reinterpret_cast<std::uint32_t*>(db.image.scanLine(y)) + r.left();
                for (int i = 0; i < n; ++i)
                    if ((from[i] & 0xFFFFFF) != *key)
                        to[i] = from[i] | 0xFF000000u;
                continue;
            }
            if (rawRows) {
                std::memcpy(db.image.scanLine(y) + std::int64_t(r.left()) * 4, sb.image.constScanLine(sy) + std::int64_t(sx) * 4,
                            size_t(n) * 4);
                continue;
            }
            if (plainCopy && db.storage == Storage::Color) {
                // Colours read straight into the destination row (no conversion is needed).
                auto* to = reinterpret_cast<std::uint32_t*>(db.image.scanLine(y)) + r.left();
                if (!convert.srcMono) {
                    ReadColors(sb, sx, sy, n, to);
                    for (int i = 0; i < n; ++i)
                        to[i] |= 0xFF000000u;
                    continue;
                }
            }
            ReadColors(sb, sx, sy, n, s.data());
            if (plainCopy) {
                if (convert.destMono || convert.srcMono)
                    for (auto& v : s)
                        v = convert(v);
                WriteValues(db, r.left(), y, n, s.data());
                continue;
            }
            ReadValues(db, r.left(), y, n, d.data());
            for (int i = 0; i < n; ++i) {
                if (key && s[size_t(i)] == *key)
                    continue;
                d[size_t(i)] = Rop3(code, pattern, convert(s[size_t(i)]), d[size_t(i)], mask);
            }
            WriteValues(db, r.left(), y, n, d.data());
        }
    }
    return TRUE;
}

}  // namespace

BOOL Transfer(DC& dest, int x, int y, int width, int height, const TransferSource* src, int xSrc, int ySrc,
              int widthSrc, int heightSrc, DWORD rop, std::optional<std::uint32_t> key)
{
    if (!dest.bitmap)
        return FALSE;
    Bitmap& db = *dest.bitmap;
    NoteWritten(db);
    const std::uint8_t code = std::uint8_t(rop >> 16);
    const bool useS = ((code >> 2) & 0x33) != (code & 0x33);
    const bool useP = ((code >> 4) & 0x0F) != (code & 0x0F);
    if (useS && (!src || !src->bitmap))
        return FALSE;
    if (width == 0 || height == 0 || (useS && (widthSrc == 0 || heightSrc == 0)))
        return TRUE;

    const Axis dx = Normalise(x, width);
    const Axis dy = Normalise(y, height);
    const QRect destRect = Span(dx.start, dy.start, dx.start + dx.length, dy.start + dy.length);
    const QRegion visible = Drawable(dest).intersected(destRect);
    if (visible.isEmpty())
        return TRUE;

    std::uint32_t pattern = 0;
    if (useP) {
        if (!dest.brush || dest.brush->style == BS_NULL)
            return TRUE;
        pattern = ColorToValue(db, ColorRefToRgb(dest.brush->color));
    }
    const std::uint32_t mask = ValueMask(db);
    const bool destMono = db.storage == Storage::Mono;
    const bool indexed = IsIndexed(db);
    const QRect box = visible.boundingRect();

    // Source: map the visible box to source pixels and take a copy of what it reads, converted to
    // the destination's kind (bits for monochrome, colours otherwise), so overlapping copies work.
    std::vector<Sample> columns, rows;
    QRect snap;
    std::vector<std::uint32_t> snapshot;
    std::vector<std::uint8_t> keyed;
    bool combine = false;
    if (useS) {
        const Axis sx = Normalise(xSrc, widthSrc);
        const Axis sy = Normalise(ySrc, heightSrc);
        const bool mirrorX = (width < 0) != (widthSrc < 0);
        const bool mirrorY = (height < 0) != (heightSrc < 0);
        if (sx.length == dx.length && sy.length == dy.length && !mirrorX && !mirrorY && src->bitmap != &db &&
            !indexed)
            return CopyUnscaled(dest, visible, *src, sx.start - dx.start, sy.start - dy.start, code, pattern, key);
        columns = MapAxis(dx.start, dx.length, box.left(), std::int64_t(box.right()) + 1, sx.start, sx.length, mirrorX);
        rows = MapAxis(dy.start, dy.length, box.top(), std::int64_t(box.bottom()) + 1, sy.start, sy.length, mirrorY);
        combine = !key && dest.stretchMode != COLORONCOLOR && (sx.length > dx.length || sy.length > dy.length);
        auto range = [combine](const std::vector<Sample>& map) {
            std::int64_t lo = INT64_MAX, hi = INT64_MIN;
            for (const Sample& s : map) {
                lo = std::min(lo, combine ? s.first : s.centre);
                hi = std::max(hi, combine ? s.last : s.centre);
            }
            return std::pair{lo, hi};
        };
        const auto [x0, x1] = range(columns);
        const auto [y0, y1] = range(rows);
        const Bitmap& sb = *src->bitmap;
        const QRect bounds(src->offsetX, src->offsetY, sb.width, sb.height);
        const QRect wanted = Span(x0, y0, x1 + 1, y1 + 1);
        snap = bounds.intersected(wanted);
        if (snap.isEmpty())
            return TRUE;
        snapshot.resize(size_t(snap.width()) * size_t(snap.height()));
        if (key)
            keyed.resize(snapshot.size());
        Converter convert;
        convert.destMono = destMono;
        convert.srcMono = sb.storage == Storage::Mono;
        convert.bkRule = src->bkRule;
        convert.srcBk = ColorRefToRgb(src->bkColor);
        convert.destBk = ColorRefToRgb(dest.bkColor);
        convert.destText = ColorRefToRgb(dest.textColor);
        for (int r = 0; r < snap.height(); ++r) {
            std::uint32_t* line = snapshot.data() + size_t(r) * size_t(snap.width());
            ReadColors(sb, snap.left() - src->offsetX, snap.top() - src->offsetY + r, snap.width(), line);
            for (int c = 0; c < snap.width(); ++c) {
                if (key)
                    keyed[size_t(r) * size_t(snap.width()) + size_t(c)] = line[c] == *key;
                line[c] = convert(line[c]);
            }
        }
    }

    std::unordered_map<std::uint32_t, std::uint32_t> nearest;
    auto toValue = [&](std::uint32_t prepared) -> std::uint32_t {
        if (!indexed)
            return prepared;
        auto it = nearest.find(prepared);
        if (it == nearest.end())
            it = nearest.emplace(prepared, ColorToValue(db, prepared)).first;
        return it->second;
    };
    // The source value for one destination pixel; false when it has none (outside the source).
    auto sourceAt = [&](size_t col, size_t row, std::uint32_t& out) -> bool {
        const Sample& cs = columns[col];
        const Sample& rs = rows[row];
        if (!combine) {
            if (!snap.contains(int(cs.centre), int(rs.centre)))
                return false;
            const size_t index = size_t(rs.centre - snap.top()) * size_t(snap.width()) + size_t(cs.centre - snap.left());
            if (key && keyed[index])
                return false;
            out = toValue(snapshot[index]);
            return true;
        }
        const std::int64_t c0 = std::max<std::int64_t>(cs.first, snap.left());
        const std::int64_t c1 = std::min<std::int64_t>(cs.last, snap.right());
        const std::int64_t r0 = std::max<std::int64_t>(rs.first, snap.top());
        const std::int64_t r1 = std::min<std::int64_t>(rs.last, snap.bottom());
        if (c0 > c1 || r0 > r1)
            return false;
        std::uint32_t acc = dest.stretchMode == BLACKONWHITE ? 0xFFFFFFFFu : 0;
        std::uint64_t sum[3] = {0, 0, 0};
        std::uint64_t count = 0;
        for (std::int64_t r = r0; r <= r1; ++r) {
            const std::uint32_t* line = snapshot.data() + size_t(r - snap.top()) * size_t(snap.width());
            for (std::int64_t c = c0; c <= c1; ++c) {
                const std::uint32_t v = line[c - snap.left()];
                if (dest.stretchMode == BLACKONWHITE)
                    acc &= v;
                else if (dest.stretchMode == WHITEONBLACK)
                    acc |= v;
                else {
                    sum[0] += (v >> 16) & 0xFF;
                    sum[1] += (v >> 8) & 0xFF;
                    sum[2] += v & 0xFF;
                }
                ++count;
            }
        }
        if (dest.stretchMode == HALFTONE) {
            if (destMono)
                acc = (sum[2] * 2 >= count) ? 1 : 0;
            else
                acc = std::uint32_t((sum[0] + count / 2) / count) << 16 | std::uint32_t((sum[1] + count / 2) / count) << 8 |
                      std::uint32_t((sum[2] + count / 2) / count);
        }
        out = toValue(acc);
        return true;
    };

    std::vector<std::uint32_t> line;
    for (const QRect& r : visible) {
        line.resize(size_t(r.width()));
        for (int yy = r.top(); yy <= r.bottom(); ++yy) {
            ReadValues(db, r.left(), yy, r.width(), line.data());
            for (int i = 0; i < r.width(); ++i) {
                std::uint32_t s = 0;
                if (useS && !sourceAt(size_t(r.left() + i - box.left()), size_t(yy - box.top()), s))
                    continue;
                line[size_t(i)] = Rop3(code, pattern, s, line[size_t(i)], mask);
            }
            WriteValues(db, r.left(), yy, r.width(), line.data());
        }
    }
    return TRUE;
}

}  // namespace gdi

using namespace gdi;

namespace {

std::optional<TransferSource> SourceOf(HDC hdc)
{
    DC* dc = ToDC(hdc);
    if (!dc || !dc->bitmap)
        return std::nullopt;
    TransferSource s;
    s.bitmap = dc->bitmap;
    s.bkColor = dc->bkColor;
    return s;
}

}  // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop)
{
    return StretchBlt(dest, x, y, width, height, src, xSrc, ySrc, width, height, rop);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int widthSrc,
                int heightSrc, DWORD rop)
{
    DC* d = ToDC(dest);
    if (!d)
        return FALSE;
    const std::optional<TransferSource> s = SourceOf(src);
    if (src && !s)
        return FALSE;
    return Transfer(*d, x, y, width, height, s ? &*s : nullptr, xSrc, ySrc, widthSrc, heightSrc, rop, std::nullopt);
}

BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int widthSrc,
                    int heightSrc, UINT transparent)
{
    DC* d = ToDC(dest);
    const std::optional<TransferSource> s = SourceOf(src);
    if (!d || !s || width < 0 || height < 0 || widthSrc < 0 || heightSrc < 0)
        return FALSE;
    return Transfer(*d, x, y, width, height, &*s, xSrc, ySrc, widthSrc, heightSrc, SRCCOPY,
                    ColorRefToRgb(transparent & 0xFFFFFF));
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop)
{
    DC* d = ToDC(hdc);
    if (!d)
        return FALSE;
    return Transfer(*d, x, y, width, height, nullptr, 0, 0, 0, 0, rop, std::nullopt);
}

COLORREF GetPixel(HDC hdc, int x, int y)
{
    DC* dc = ToDC(hdc);
    if (!dc || !Drawable(*dc).contains(QPoint(x, y)))
        return CLR_INVALID;
    std::uint32_t value = 0;
    ReadValues(*dc->bitmap, x, y, 1, &value);
    return RgbToColorRef(ValueToColor(*dc->bitmap, value));
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color)
{
    DC* dc = ToDC(hdc);
    if (!dc || !Drawable(*dc).contains(QPoint(x, y)))
        return CLR_INVALID;
    const std::uint32_t value = ColorToValue(*dc->bitmap, ColorRefToRgb(color));
    NoteWritten(*dc->bitmap);
    WriteValues(*dc->bitmap, x, y, 1, &value);
    return RgbToColorRef(ValueToColor(*dc->bitmap, value));
}


int FillRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    DC* dc = ToDC(hdc);
    Brush* b = ToBrush(brush);
    if (!dc || !rect || !b)
        return 0;
    if (b->style != BS_NULL)
        FillSolid(*dc, Span(rect->left, rect->top, rect->right, rect->bottom), b->color);
    return 1;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    DC* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    const bool brush = dc->brush && dc->brush->style != BS_NULL;
    if (!dc->pen || dc->pen->style == PS_NULL) {
        if (brush)
            FillSolid(*dc, Span(left, top, std::int64_t(right) - 1, std::int64_t(bottom) - 1), dc->brush->color);
        return TRUE;
    }
    // The pen is centred on the outline left .. right - 1, top .. bottom - 1.
    const std::int64_t w = dc->pen->width;
    const std::int64_t half = w / 2;
    const std::int64_t ol = std::int64_t(left) - half, ot = std::int64_t(top) - half;
    const std::int64_t orr = std::int64_t(right) - 1 - half + w, ob = std::int64_t(bottom) - 1 - half + w;
    const std::int64_t il = ol + w, it = ot + w, ir = orr - w, ib = ob - w;
    if (brush && ir > il && ib > it)
        FillSolid(*dc, Span(il, it, ir, ib), dc->brush->color);
    const COLORREF pen = dc->pen->color;
    if (ir <= il || ib <= it) {
        FillSolid(*dc, Span(ol, ot, orr, ob), pen);
        return TRUE;
    }
    FillSolid(*dc, Span(ol, ot, orr, it), pen);
    FillSolid(*dc, Span(ol, ib, orr, ob), pen);
    FillSolid(*dc, Span(ol, it, il, ib), pen);
    FillSolid(*dc, Span(ir, it, orr, ib), pen);
    return TRUE;
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom)
{
    DC* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    const QRect outline = Span(left, top, std::int64_t(right) - 1, std::int64_t(bottom) - 1);
    if (outline.isEmpty())
        return TRUE;
    const bool hasPen = dc->pen && dc->pen->style != PS_NULL;
    const bool hasBrush = dc->brush && dc->brush->style != BS_NULL;
    const int penWidth = hasPen ? dc->pen->width : 0;
    const QColor penColor = QColor::fromRgb(ColorRefToRgb(hasPen ? dc->pen->color : 0));
    const QColor brushColor = QColor::fromRgb(ColorRefToRgb(hasBrush ? dc->brush->color : 0));
    // Right and bottom exclusive: the outline is the rectangle one pixel smaller, and nothing is
    // drawn outside the outer box of a centred pen.
    const std::int64_t half = penWidth / 2;
    const QRect bounds = hasPen ? Span(std::int64_t(left) - half, std::int64_t(top) - half,
                                       std::int64_t(right) - 1 - half + penWidth,
                                       std::int64_t(bottom) - 1 - half + penWidth)
                                : outline;
    PaintOn(*dc, bounds, [&](QPainter& p) {
                p.setRenderHint(QPainter::Antialiasing, false);
                if (hasPen) {
                    QPen pen(penColor);
                    pen.setWidth(penWidth == 1 ? 0 : penWidth);
                    p.setPen(pen);
                } else {
                    p.setPen(Qt::NoPen);
                }
                p.setBrush(hasBrush ? QBrush(brushColor) : QBrush(Qt::NoBrush));
                p.drawEllipse(outline);
            });
    return TRUE;
}
