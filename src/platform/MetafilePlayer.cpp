#include "platform/MetafilePlayer.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRegion>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "platform/GdiInternal.h"

namespace {

constexpr double kDpi = 96.0;
// Objects a metafile may create; the header's count is 16 bits in both formats.
constexpr std::size_t kMaxObjects = 65535;
// Nested SaveDC levels kept; deeper saves are counted but not stored.
constexpr std::size_t kMaxSaved = 1024;
// Bitmaps inside a metafile larger than this are not drawn.
constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 24;
// Text whose glyphs would come out larger than this on the device is not drawn.
constexpr double kMaxGlyphPixels = 4000.0;

constexpr UINT TA_UPDATECP = 1;
constexpr UINT TA_RIGHT = 2;
constexpr UINT TA_CENTER = 6;
constexpr UINT TA_BOTTOM = 8;
constexpr UINT TA_BASELINE = 24;
constexpr int PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4;
constexpr UINT BS_HATCHED = 2, BS_PATTERN = 3, BS_DIBPATTERN = 5, BS_DIBPATTERNPT = 6;
constexpr int ALTERNATE = 1;

// Bounded little-endian reads inside one record: out-of-range reads give 0.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    [[nodiscard]] bool Has(std::size_t offset, std::size_t n) const { return offset <= size_ && n <= size_ - offset; }
    [[nodiscard]] std::uint16_t U16(std::size_t o) const { return Has(o, 2) ? std::uint16_t(data_[o] | data_[o + 1] << 8) : 0; }
    [[nodiscard]] std::int16_t S16(std::size_t o) const { return std::int16_t(U16(o)); }
    [[nodiscard]] std::uint32_t U32(std::size_t o) const {
        return Has(o, 4) ? std::uint32_t(data_[o]) | std::uint32_t(data_[o + 1]) << 8 | std::uint32_t(data_[o + 2]) << 16 |
                               std::uint32_t(data_[o + 3]) << 24
                         : 0;
    }
    [[nodiscard]] std::int32_t S32(std::size_t o) const { return std::int32_t(U32(o)); }
    [[nodiscard]] float F32(std::size_t o) const {
        const std::uint32_t v = U32(o);
        float f;
        std::memcpy(&f, &v, sizeof f);
        return std::isfinite(f) ? f : 0.0f;
    }
    [[nodiscard]] const std::uint8_t* At(std::size_t o) const { return data_ + o; }
    [[nodiscard]] std::size_t Size() const { return size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

struct Pen {
    int style = PS_SOLID;
    double width = 0;
    COLORREF color = 0;
    Qt::PenCapStyle cap = Qt::RoundCap;
    Qt::PenJoinStyle join = Qt::RoundJoin;
};

struct Brush {
    UINT style = BS_SOLID;
    COLORREF color = 0xFFFFFF;
    int hatch = 0;
    QImage pattern;
};

struct Font {
    LOGFONT lf;
    QString face;
};

struct Object {
    enum Kind { None, PenKind, BrushKind, FontKind, Other } kind = None;
    Pen pen;
    Brush brush;
    Font font;
};

struct State {
    int mapMode = MM_TEXT;
    QPointF winOrg{0, 0};
    QPointF vpOrg{0, 0};
    QSizeF winExt{1, 1};
    QSizeF vpExt{1, 1};
    QTransform world;
    Pen pen;
    Brush brush;
    Font font;
    COLORREF textColor = 0;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    int fillMode = ALTERNATE;
    UINT textAlign = 0;
    QPointF current;
    std::optional<QRegion> clip;  // device pixels; none: everything
    bool clockwise = false;
};

// Pen widths end up multiplied by the mapping's scale: keep them to what a painter accepts
// (it refuses very large widths with a warning).
double SaneWidth(double w) { return std::isfinite(w) ? std::clamp(w, 0.0, 32000.0) : 0.0; }

// A mapping whose products overflowed cannot place anything.
bool Usable(const QTransform& t) {
    const double m[] = {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy(), t.m13(), t.m23(), t.m33()};
    for (double v : m)
        if (!std::isfinite(v) || std::fabs(v) > 1e12) return false;
    return true;
}

// Device rectangles and offsets as whole pixels, kept far inside the int range.
QRect ToDeviceRect(const QRectF& r) {
    constexpr double kLimit = 1e7;
    const QRectF bounded = r.intersected(QRectF(-kLimit, -kLimit, 2 * kLimit, 2 * kLimit));
    return bounded.isValid() ? bounded.toAlignedRect() : QRect();
}
QPoint ToDevicePoint(const QPointF& p) {
    constexpr double kLimit = 1e7;
    return QPoint(int(std::clamp(std::isfinite(p.x()) ? p.x() : 0.0, -kLimit, kLimit)),
                  int(std::clamp(std::isfinite(p.y()) ? p.y() : 0.0, -kLimit, kLimit)));
}

// How far around the destination a clip path keeps its outline, in device pixels.
constexpr double kClipMargin = 1024;

// The polygon cut to a rectangle, one side at a time: each run outside a side is replaced by a
// run along it. Every point inside keeps its winding number, so both fill rules give the same
// area inside the rectangle as the whole polygon would. Points that are not finite count as 0.
QPolygonF ClipToRect(const QPolygonF& polygon, const QRectF& rect) {
    QPolygonF out;
    for (const QPointF& q : polygon)
        out.append(QPointF(std::isfinite(q.x()) ? q.x() : 0.0, std::isfinite(q.y()) ? q.y() : 0.0));
    // side: 0 left, 1 right, 2 top, 3 bottom.
    for (int side = 0; side < 4 && !out.isEmpty(); ++side) {
        const bool vertical = side < 2;
        const double edge = side == 0 ? rect.left() : side == 1 ? rect.right() : side == 2 ? rect.top() : rect.bottom();
        auto inside = [&](const QPointF& q) {
            const double v = vertical ? q.x() : q.y();
            return side % 2 == 0 ? v >= edge : v <= edge;
        };
        auto cross = [&](const QPointF& a, const QPointF& b) {
            const double t = vertical ? (edge - a.x()) / (b.x() - a.x()) : (edge - a.y()) / (b.y() - a.y());
            return vertical ? QPointF(edge, a.y() + t * (b.y() - a.y())) : QPointF(a.x() + t * (b.x() - a.x()), edge);
        };
        const QPolygonF in = std::exchange(out, QPolygonF());
        for (qsizetype i = 0; i < in.size(); ++i) {
            const QPointF& a = in[(i + in.size() - 1) % in.size()];
            const QPointF& b = in[i];
            if (inside(b)) {
                if (!inside(a)) out.append(cross(a, b));
                out.append(b);
            } else if (inside(a)) {
                out.append(cross(a, b));
            }
        }
    }
    return out;
}

QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

Font DefaultFont() {
    Font f;
    f.lf.lfHeight = -12;
    f.lf.lfWeight = FW_NORMAL;
    std::strcpy(f.lf.lfFaceName, "Arial");
    f.face = QStringLiteral("Arial");
    return f;
}

// A packed DIB (header, colour table, rows) as a colour image; empty when the data does not hold
// a DIB this player can read.
QImage DibToImage(const Bytes& r, std::size_t bmiOffset, std::size_t bmiSize, std::size_t bitsOffset,
                  std::size_t bitsSize) {
    if (!r.Has(bmiOffset, bmiSize) || !r.Has(bitsOffset, bitsSize) || bmiSize < 12) return {};
    const Bytes bmi(r.At(bmiOffset), bmiSize);
    const std::uint32_t headerSize = bmi.U32(0);
    std::int64_t width, height;
    std::uint32_t bpp, compression = 0, used = 0;
    std::size_t entry = 4;
    if (headerSize == 12) {
        width = bmi.U16(4);
        height = bmi.S16(6);
        bpp = bmi.U16(10);
        entry = 3;
    } else if (headerSize >= 40 && bmiSize >= 40) {
        width = bmi.S32(4);
        height = bmi.S32(8);
        bpp = bmi.U16(14);
        compression = bmi.U32(16);
        used = bmi.U32(32);
    } else {
        return {};
    }
    const bool topDown = height < 0;
    height = std::llabs(height);
    if (width <= 0 || height <= 0 || width * height > kMaxBitmapPixels) return {};
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return {};
    if (compression != BI_RGB && compression != 3) return {};
    std::uint32_t masks[3] = {bpp == 16 ? 0x7C00u : 0xFF0000u, bpp == 16 ? 0x03E0u : 0xFF00u, bpp == 16 ? 0x1Fu : 0xFFu};
    if (compression == 3) {
        for (int i = 0; i < 3; ++i) masks[i] = bmi.U32(headerSize + 4 * i);
    }
    std::vector<QRgb> palette;
    if (bpp <= 8) {
        const std::size_t n = used && used <= (1u << bpp) ? used : (1u << bpp);
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t o = headerSize + i * entry;
            palette.push_back(bmi.Has(o, 3) ? qRgb(bmi.At(o)[2], bmi.At(o)[1], bmi.At(o)[0]) : qRgb(0, 0, 0));
        }
    }
    auto channel = [](std::uint32_t v, std::uint32_t mask) -> int {
        if (!mask) return 0;
        int shift = 0;
        while (!((mask >> shift) & 1)) ++shift;
        const std::uint32_t max = mask >> shift;
        return int(((v & mask) >> shift) * 255 / max);
    };
    const std::size_t stride = std::size_t((width * bpp + 31) / 32) * 4;
    const Bytes bits(r.At(bitsOffset), bitsSize);
    QImage image(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull()) return {};
    image.fill(Qt::black);
    for (std::int64_t y = 0; y < height; ++y) {
        const std::size_t row = std::size_t(topDown ? y : height - 1 - y) * stride;
        if (!bits.Has(row, stride)) continue;  // rows the data lacks stay black
        const std::uint8_t* in = bits.At(row);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
        for (std::int64_t x = 0; x < width; ++x) {
            std::uint32_t index = 0;
            switch (bpp) {
            case 1: index = (in[x >> 3] >> (7 - (x & 7))) & 1; break;
            case 4: index = (in[x >> 1] >> ((x & 1) ? 0 : 4)) & 15; break;
            case 8: index = in[x]; break;
            case 16: {
                const std::uint32_t v = in[2 * x] | in[2 * x + 1] << 8;
                out[x] = qRgb(channel(v, masks[0]), channel(v, masks[1]), channel(v, masks[2]));
                continue;
            }
            case 24: out[x] = qRgb(in[3 * x + 2], in[3 * x + 1], in[3 * x]); continue;
            default: {
                const std::uint32_t v = std::uint32_t(in[4 * x]) | std::uint32_t(in[4 * x + 1]) << 8 |
                                        std::uint32_t(in[4 * x + 2]) << 16 | std::uint32_t(in[4 * x + 3]) << 24;
                out[x] = qRgb(channel(v, masks[0]), channel(v, masks[1]), channel(v, masks[2]));
                continue;
            }
            }
            out[x] = index < palette.size() ? palette[index] : qRgb(0, 0, 0);
        }
    }
    return image;
}

QPainter::CompositionMode RopMode(DWORD rop) {
    switch (rop) {
    case SRCPAINT: return QPainter::RasterOp_SourceOrDestination;
    case SRCAND: return QPainter::RasterOp_SourceAndDestination;
    case SRCINVERT: return QPainter::RasterOp_SourceXorDestination;
    case NOTSRCCOPY: return QPainter::RasterOp_NotSource;
    case SRCERASE: return QPainter::RasterOp_SourceAndNotDestination;
    case NOTSRCERASE: return QPainter::RasterOp_NotSourceAndNotDestination;
    default: return QPainter::CompositionMode_Source;
    }
}

}  // namespace

struct MetafilePlayer::Impl {
    gdi::DC* dc = nullptr;
    QRect dest;
    QTransform base;  // reference device to the destination
    State s;
    std::vector<State> saved;
    std::size_t savedDropped = 0;
    std::vector<Object> objects;
    bool fixedViewport = false;  // a converted Windows metafile keeps the destination as viewport
    QPainterPath path;
    bool inPath = false;
    QPainter* p = nullptr;
    QRegion baseClip;

    [[nodiscard]] QTransform Page() const {
        double sx = 1, sy = 1;
        switch (s.mapMode) {
        case MM_LOMETRIC: sx = kDpi / 254.0, sy = -sx; break;
        case MM_HIMETRIC: sx = kDpi / 2540.0, sy = -sx; break;
        case MM_LOENGLISH: sx = kDpi / 100.0, sy = -sx; break;
        case MM_HIENGLISH: sx = kDpi / 1000.0, sy = -sx; break;
        case MM_TWIPS: sx = kDpi / 1440.0, sy = -sx; break;
        case MM_ISOTROPIC:
        case MM_ANISOTROPIC: {
            const double wx = s.winExt.width() ? s.winExt.width() : 1, wy = s.winExt.height() ? s.winExt.height() : 1;
            sx = s.vpExt.width() / wx;
            sy = s.vpExt.height() / wy;
            if (s.mapMode == MM_ISOTROPIC) {
                const double m = std::min(std::fabs(sx), std::fabs(sy));
                sx = std::copysign(m, sx);
                sy = std::copysign(m, sy);
            }
            break;
        }
        default: break;
        }
        return QTransform(sx, 0, 0, sy, s.vpOrg.x() - s.winOrg.x() * sx, s.vpOrg.y() - s.winOrg.y() * sy);
    }
    [[nodiscard]] QTransform Full() const { return s.world * Page() * base; }

    void ApplyClip() {
        p->resetTransform();
        p->setClipRegion(s.clip ? baseClip.intersected(*s.clip) : baseClip);
    }

    // Clip changes in logical coordinates.
    void ClipRect(double l, double t, double r, double b, bool exclude) {
        if (!Usable(Full())) return;
        const QRect device = ToDeviceRect(Full().mapRect(QRectF(QPointF(l, t), QPointF(r, b)).normalized()));
        const QRegion current = s.clip ? *s.clip : QRegion(dest.adjusted(-1, -1, 1, 1)).united(baseClip);
        s.clip = exclude ? current.subtracted(device) : current.intersected(device);
        ApplyClip();
    }

    [[nodiscard]] QPen MakePen() const {
        if (s.pen.style == PS_NULL) return Qt::NoPen;
        QPen pen(ToQColor(s.pen.color));
        pen.setWidthF(s.pen.width <= 1 ? 0 : SaneWidth(s.pen.width));  // 0: one device pixel whatever the scale
        pen.setCapStyle(s.pen.cap);
        pen.setJoinStyle(s.pen.join);
        switch (s.pen.style & 0xF) {
        case PS_DASH: pen.setStyle(Qt::DashLine); break;
        case PS_DOT: pen.setStyle(Qt::DotLine); break;
        case PS_DASHDOT: pen.setStyle(Qt::DashDotLine); break;
        case PS_DASHDOTDOT: pen.setStyle(Qt::DashDotDotLine); break;
        default: break;
        }
        return pen;
    }

    [[nodiscard]] QBrush MakeBrush() const {
        switch (s.brush.style) {
        case BS_NULL: return Qt::NoBrush;
        case BS_HATCHED: {
            static const Qt::BrushStyle hatches[6] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                                      Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
            return QBrush(ToQColor(s.brush.color), hatches[std::clamp(s.brush.hatch, 0, 5)]);
        }
        case BS_PATTERN:
        case BS_DIBPATTERN:
        case BS_DIBPATTERNPT:
            if (!s.brush.pattern.isNull()) return QBrush(s.brush.pattern);
            return QBrush(ToQColor(s.brush.color));
        default: return QBrush(ToQColor(s.brush.color));
        }
    }

    void Prepare(bool fill, bool device = false) {
        QPen pen = MakePen();
        if (device) {
            p->resetTransform();
            if (pen.widthF() > 0) pen.setWidthF(SaneWidth(pen.widthF() * std::sqrt(std::fabs(Full().determinant()))));
        } else {
            p->setWorldTransform(Full());
        }
        p->setPen(pen);
        p->setBrush(fill ? MakeBrush() : QBrush(Qt::NoBrush));
        p->setBackground(ToQColor(s.bkColor));
        p->setBackgroundMode(s.bkMode == OPAQUE ? Qt::OpaqueMode : Qt::TransparentMode);
        p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    // A figure in logical coordinates (device coordinates when `device`): into the open path, or
    // drawn.
    void Shape(QPainterPath shape, bool fill, bool device = false) {
        if (!Usable(Full())) return;
        if (inPath) {
            path.addPath(device ? shape : Full().map(shape));
            return;
        }
        shape.setFillRule(s.fillMode == ALTERNATE ? Qt::OddEvenFill : Qt::WindingFill);
        Prepare(fill, device);
        p->drawPath(shape);
    }

    // A box's device rectangle: the right and bottom edges are exclusive in device pixels, as
    // the device context draws them. Empty when the mapping turns or shears the box.
    [[nodiscard]] std::optional<QRectF> DeviceBox(double l, double t, double r, double b) const {
        const QTransform full = Full();
        if (full.m12() != 0 || full.m21() != 0) return std::nullopt;
        QRectF box = full.mapRect(QRectF(QPointF(l, t), QPointF(r, b)).normalized());
        box.adjust(0, 0, -1, -1);
        return box;
    }

    void Rectangle(double l, double t, double r, double b) {
        QPainterPath shape;
        if (const auto box = DeviceBox(l, t, r, b)) {
            shape.addRect(*box);
            Shape(shape, true, true);
            return;
        }
        shape.addRect(QRectF(QPointF(l, t), QPointF(r, b)).normalized());
        Shape(shape, true);
    }
    void Ellipse(double l, double t, double r, double b) {
        QPainterPath shape;
        if (const auto box = DeviceBox(l, t, r, b)) {
            shape.addEllipse(*box);
            Shape(shape, true, true);
            return;
        }
        shape.addEllipse(QRectF(QPointF(l, t), QPointF(r, b)).normalized());
        Shape(shape, true);
    }
    void RoundRect(double l, double t, double r, double b, double w, double h) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(QPointF(l, t), QPointF(r - 1, b - 1)).normalized(), std::fabs(w) / 2,
                             std::fabs(h) / 2);
        Shape(shape, true);
    }
    // kind 0 arc, 1 chord, 2 pie.
    void Arc(int kind, double l, double t, double r, double b, double xs, double ys, double xe, double ye) {
        const QRectF rc = QRectF(QPointF(l, t), QPointF(r - 1, b - 1)).normalized();
        const QPointF c = rc.center();
        const double a1 = std::atan2(-(ys - c.y()) * rc.width(), (xs - c.x()) * rc.height()) * 180 / M_PI;
        const double a2 = std::atan2(-(ye - c.y()) * rc.width(), (xe - c.x()) * rc.height()) * 180 / M_PI;
        double span = a2 - a1;
        if (s.clockwise) {
            while (span >= 0) span -= 360;
        } else {
            while (span <= 0) span += 360;
        }
        QPainterPath shape;
        if (kind == 2) {
            shape.moveTo(c);
            shape.arcTo(rc, a1, span);
            shape.closeSubpath();
        } else {
            shape.arcMoveTo(rc, a1);
            shape.arcTo(rc, a1, span);
            if (kind == 1) shape.closeSubpath();
        }
        Shape(shape, kind != 0);
    }
    void Poly(const QPolygonF& points, bool closed) {
        if (points.isEmpty()) return;
        QPainterPath shape;
        shape.addPolygon(points);
        if (closed) shape.closeSubpath();
        Shape(shape, closed);
    }
    void PolyBezier(const QPolygonF& points, bool fromCurrent) {
        QPainterPath shape;
        int i = 0;
        if (fromCurrent) {
            shape.moveTo(s.current);
        } else if (!points.isEmpty()) {
            shape.moveTo(points[0]);
            i = 1;
        }
        for (; i + 2 < points.size(); i += 3) shape.cubicTo(points[i], points[i + 1], points[i + 2]);
        if (!points.isEmpty()) s.current = points.back();
        Shape(shape, false);
    }
    void LineTo(QPointF to) {
        if (!Usable(Full())) return;
        QPainterPath shape;
        shape.moveTo(s.current);
        shape.lineTo(to);
        s.current = to;
        if (inPath) {
            path.lineTo(Full().map(to));
            return;
        }
        Shape(shape, false);
    }
    void MoveTo(QPointF to) {
        s.current = to;
        if (inPath && Usable(Full())) path.moveTo(Full().map(to));
    }

    void Text(QPointF at, const QString& text, UINT options, std::optional<QRectF> rect, const std::vector<double>& dx) {
        const QTransform full = Full();
        if (!Usable(full)) return;
        // The longer axis of the mapping decides how large a glyph becomes on the device; a mapping
        // that squashes one axis to nothing leaves nothing to draw.
        const double scale = std::max(std::hypot(full.m11(), full.m12()), std::hypot(full.m21(), full.m22()));
        if (std::fabs(full.determinant()) < 1e-12) return;
        const LONG h = s.font.lf.lfHeight;
        double size = h < 0 ? -double(h) : h > 0 ? h / 1.15 : 12;
        if (size < 1) size = 1;
        if (size * scale > kMaxGlyphPixels || size > 1e6) return;
        LOGFONT lf = s.font.lf;
        lf.lfHeight = -1;
        HFONT handle = CreateFontIndirect(&lf);
        gdi::Font* gdiFont = gdi::ToFont(handle);
        if (!gdiFont) return;
        QFont font = gdi::QtFont(*gdiFont);
        DeleteObject(handle);
        if (!s.font.face.isEmpty()) font.setFamily(s.font.face);
        font.setPixelSize(std::max(1, int(std::lround(size))));
        font.setWeight(QFont::Weight(std::clamp<int>(lf.lfWeight ? lf.lfWeight : FW_NORMAL, 100, 900)));
        font.setItalic(lf.lfItalic);
        font.setUnderline(lf.lfUnderline);
        font.setStrikeOut(lf.lfStrikeOut);
        const QFontMetricsF fm(font);

        if (s.textAlign & TA_UPDATECP) at = s.current;
        double width = 0;
        if (!dx.empty()) {
            for (double d : dx) width += d;
        } else {
            width = fm.horizontalAdvance(text);
        }
        p->setWorldTransform(full);
        p->setCompositionMode(QPainter::CompositionMode_SourceOver);
        p->save();
        if ((options & ETO_OPAQUE) && rect) p->fillRect(*rect, ToQColor(s.bkColor));
        if ((options & ETO_CLIPPED) && rect) p->setClipRect(*rect, Qt::IntersectClip);
        p->translate(at);
        if (lf.lfEscapement) p->rotate(-lf.lfEscapement / 10.0);
        double x = 0;
        if ((s.textAlign & TA_CENTER) == TA_CENTER) {
            x = -width / 2;
        } else if (s.textAlign & TA_RIGHT) {
            x = -width;
        }
        double baseline = fm.ascent();
        if ((s.textAlign & TA_BASELINE) == TA_BASELINE) {
            baseline = 0;
        } else if (s.textAlign & TA_BOTTOM) {
            baseline = -fm.descent();
        }
        if (s.bkMode == OPAQUE && !(options & ETO_OPAQUE))
            p->fillRect(QRectF(x, baseline - fm.ascent(), width, fm.ascent() + fm.descent()), ToQColor(s.bkColor));
        // Glyph outlines filled through the mapping: a mapping that stretches one axis far more
        // than the other is then only a matter of filling a path.
        QPainterPath glyphs;
        if (dx.empty()) {
            glyphs.addText(QPointF(x, baseline), font, text);
        } else {
            for (int i = 0; i < text.size(); ++i) {
                glyphs.addText(QPointF(x, baseline), font, QString(text[i]));
                x += i < int(dx.size()) ? dx[std::size_t(i)] : 0;
            }
        }
        p->fillPath(glyphs, ToQColor(s.textColor));
        p->restore();
        if (s.textAlign & TA_UPDATECP) s.current.rx() += width;
    }

    void Image(const QImage& image, QRectF destRect, QRectF srcRect, DWORD rop) {
        if (image.isNull() || destRect.width() == 0 || destRect.height() == 0 || !Usable(Full())) return;
        p->setWorldTransform(Full());
        p->setCompositionMode(RopMode(rop));
        p->drawImage(destRect, image, srcRect);
        p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    void PatBlt(QRectF rect, DWORD rop) {
        if (!Usable(Full())) return;
        p->setWorldTransform(Full());
        switch (rop) {
        case BLACKNESS: p->fillRect(rect, Qt::black); break;
        case WHITENESS: p->fillRect(rect, Qt::white); break;
        case DSTINVERT:
            p->setCompositionMode(QPainter::RasterOp_NotDestination);
            p->fillRect(rect, Qt::white);
            break;
        case PATINVERT:
            p->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            p->fillRect(rect, MakeBrush());
            break;
        default: p->fillRect(rect, MakeBrush()); break;
        }
        p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    void Save() {
        if (saved.size() < kMaxSaved) {
            saved.push_back(s);
        } else {
            ++savedDropped;
        }
    }
    // level < 0: that many levels back; level > 0: the state saved as number `level` (from 1).
    void Restore(std::int64_t level) {
        std::size_t keep;
        if (level < 0) {
            const std::uint64_t back = std::uint64_t(-level);
            if (back > saved.size()) return;
            keep = saved.size() - std::size_t(back);
        } else {
            if (level == 0 || std::uint64_t(level) > saved.size()) return;
            keep = std::size_t(level) - 1;
        }
        s = saved[keep];
        saved.resize(keep);
        ApplyClip();
    }

    void Select(std::uint32_t index) {
        if (index & 0x80000000u) {
            switch (index & 0x7FFFFFFFu) {
            case WHITE_BRUSH: s.brush = Brush{BS_SOLID, 0xFFFFFF}; break;
            case LTGRAY_BRUSH: s.brush = Brush{BS_SOLID, 0xC0C0C0}; break;
            case GRAY_BRUSH: s.brush = Brush{BS_SOLID, 0x808080}; break;
            case DKGRAY_BRUSH: s.brush = Brush{BS_SOLID, 0x404040}; break;
            case BLACK_BRUSH: s.brush = Brush{BS_SOLID, 0}; break;
            case NULL_BRUSH: s.brush = Brush{BS_NULL}; break;
            case WHITE_PEN: s.pen = Pen{PS_SOLID, 0, 0xFFFFFF}; break;
            case BLACK_PEN: s.pen = Pen{PS_SOLID, 0, 0}; break;
            case NULL_PEN: s.pen = Pen{PS_NULL}; break;
            default:
                if ((index & 0x7FFFFFFFu) >= 10 && (index & 0x7FFFFFFFu) <= 17) s.font = DefaultFont();
                break;
            }
            return;
        }
        if (index >= objects.size()) return;
        const Object& o = objects[index];
        if (o.kind == Object::PenKind) s.pen = o.pen;
        if (o.kind == Object::BrushKind) s.brush = o.brush;
        if (o.kind == Object::FontKind) s.font = o.font;
    }
    void Delete(std::uint32_t index) {
        if (index < objects.size()) objects[index] = Object{};
    }
    void Store(std::uint32_t index, Object o) {
        if (index < objects.size()) objects[index] = std::move(o);
    }
    // Windows metafiles put a new object into the lowest free slot.
    void StoreFirstFree(Object o) {
        for (Object& slot : objects)
            if (slot.kind == Object::None) {
                slot = std::move(o);
                return;
            }
    }

    void FillPath(bool fill, bool stroke) {
        inPath = false;
        p->resetTransform();
        path.setFillRule(s.fillMode == ALTERNATE ? Qt::OddEvenFill : Qt::WindingFill);
        QPen pen = stroke ? MakePen() : QPen(Qt::NoPen);
        if (stroke && pen.widthF() > 0) pen.setWidthF(SaneWidth(pen.widthF() * std::sqrt(std::fabs(Full().determinant()))));
        p->setPen(pen);
        p->setBrush(fill ? MakeBrush() : QBrush(Qt::NoBrush));
        p->drawPath(path);
        path = QPainterPath();
    }

    bool PlayEmfRecords(const std::uint8_t* data, std::size_t size);
    bool PlayWmfRecords(const std::uint8_t* data, std::size_t size);
    void EmfRecord(std::uint32_t type, const Bytes& r);
    void WmfRecord(std::uint16_t function, const Bytes& r);
    void Run(const std::function<void()>& play);
};

namespace {

// The byte fields of a logical font record (italic, underline, strike-out, character set, and
// quality two bytes on), which WMF and EMF keep alike after their differently sized numbers.
void ReadFontFlags(const Bytes& r, std::size_t at, LOGFONT& lf) {
    if (!r.Has(at, 8)) return;
    lf.lfItalic = r.At(at)[0];
    lf.lfUnderline = r.At(at)[1];
    lf.lfStrikeOut = r.At(at)[2];
    lf.lfCharSet = r.At(at)[3];
    lf.lfQuality = r.At(at)[6];
}

Pen EmfPen(const Bytes& r, std::size_t styleAt, std::size_t widthAt, std::size_t colorAt) {
    Pen pen;
    const std::uint32_t style = r.U32(styleAt);
    pen.style = int(style & 0xF);
    pen.width = std::min<double>(r.S32(widthAt) < 0 ? 0 : r.S32(widthAt), 1e6);
    pen.color = r.U32(colorAt) & 0xFFFFFF;
    switch (style & 0xF00) {
    case 0x100: pen.cap = Qt::SquareCap; break;
    case 0x200: pen.cap = Qt::FlatCap; break;
    default: break;
    }
    switch (style & 0xF000) {
    case 0x1000: pen.join = Qt::BevelJoin; break;
    case 0x2000: pen.join = Qt::MiterJoin; break;
    default: break;
    }
    return pen;
}

// Points stored as 16-bit or 32-bit pairs from offset on; count checked against the record.
QPolygonF ReadPoints(const Bytes& r, std::size_t offset, std::uint64_t count, bool small) {
    QPolygonF points;
    const std::uint64_t each = small ? 4 : 8;
    if (count > r.Size() || !r.Has(offset, std::size_t(count * each))) return points;
    points.reserve(int(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t o = offset + std::size_t(i * each);
        points.append(small ? QPointF(r.S16(o), r.S16(o + 2)) : QPointF(r.S32(o), r.S32(o + 4)));
    }
    return points;
}

QString Utf16(const Bytes& r, std::size_t offset, std::uint64_t chars) {
    if (chars > r.Size() || !r.Has(offset, std::size_t(chars * 2))) return {};
    QString text;
    for (std::uint64_t i = 0; i < chars; ++i) text.append(QChar(r.U16(offset + std::size_t(i * 2))));
    return text;
}

}  // namespace

void MetafilePlayer::Impl::Run(const std::function<void()>& play) {
    gdi::PaintOn(*dc, dest.adjusted(-1, -1, 1, 1), [&](QPainter& painter) {
        p = &painter;
        painter.setRenderHint(QPainter::Antialiasing, false);
        baseClip = painter.clipRegion();
        play();
        p = nullptr;
    });
}

void MetafilePlayer::Impl::EmfRecord(std::uint32_t type, const Bytes& r) {
    auto pt = [&](std::size_t o) { return QPointF(r.S32(o), r.S32(o + 4)); };
    switch (type) {
    case 9: s.winExt = QSizeF(r.S32(8), r.S32(12)); break;                        // SETWINDOWEXTEX
    case 10: s.winOrg = pt(8); break;                                            // SETWINDOWORGEX
    case 11: s.vpExt = QSizeF(r.S32(8), r.S32(12)); break;                        // SETVIEWPORTEXTEX
    case 12: s.vpOrg = pt(8); break;                                             // SETVIEWPORTORGEX
    case 17: s.mapMode = int(r.U32(8)); break;                                   // SETMAPMODE
    case 18: s.bkMode = int(r.U32(8)); break;                                    // SETBKMODE
    case 19: s.fillMode = int(r.U32(8)); break;                                  // SETPOLYFILLMODE
    case 22: s.textAlign = r.U32(8); break;                                      // SETTEXTALIGN
    case 24: s.textColor = r.U32(8) & 0xFFFFFF; break;                           // SETTEXTCOLOR
    case 25: s.bkColor = r.U32(8) & 0xFFFFFF; break;                             // SETBKCOLOR
    case 26:                                                                     // OFFSETCLIPRGN
        if (s.clip) {
            const QPointF d = base.map(QPointF(r.S32(8), r.S32(12))) - base.map(QPointF(0, 0));
            s.clip->translate(ToDevicePoint(d));
            ApplyClip();
        }
        break;
    case 27: MoveTo(pt(8)); break;                                               // MOVETOEX
    case 29: ClipRect(r.S32(8), r.S32(12), r.S32(16), r.S32(20), true); break;   // EXCLUDECLIPRECT
    case 30: ClipRect(r.S32(8), r.S32(12), r.S32(16), r.S32(20), false); break;  // INTERSECTCLIPRECT
    case 31:                                                                     // SCALEVIEWPORTEXTEX
        if (r.S32(12) && r.S32(20))
            s.vpExt = QSizeF(s.vpExt.width() * r.S32(8) / r.S32(12), s.vpExt.height() * r.S32(16) / r.S32(20));
        break;
    case 32:                                                                     // SCALEWINDOWEXTEX
        if (r.S32(12) && r.S32(20))
            s.winExt = QSizeF(s.winExt.width() * r.S32(8) / r.S32(12), s.winExt.height() * r.S32(16) / r.S32(20));
        break;
    case 33: Save(); break;                                                      // SAVEDC
    case 34: Restore(r.S32(8)); break;                                           // RESTOREDC
    case 35:                                                                     // SETWORLDTRANSFORM
        s.world = QTransform(r.F32(8), r.F32(12), r.F32(16), r.F32(20), r.F32(24), r.F32(28));
        break;
    case 36: {                                                                   // MODIFYWORLDTRANSFORM
        const QTransform x(r.F32(8), r.F32(12), r.F32(16), r.F32(20), r.F32(24), r.F32(28));
        switch (r.U32(32)) {
        case 1: s.world = QTransform(); break;
        case 2: s.world = x * s.world; break;
        case 3: s.world = s.world * x; break;
        case 4: s.world = x; break;
        default: break;
        }
        break;
    }
    case 37: Select(r.U32(8)); break;                                            // SELECTOBJECT
    case 38: {                                                                   // CREATEPEN
        Object o;
        o.kind = Object::PenKind;
        o.pen = EmfPen(r, 12, 16, 24);
        Store(r.U32(8), o);
        break;
    }
    case 95: {                                                                   // EXTCREATEPEN
        Object o;
        o.kind = Object::PenKind;
        o.pen = EmfPen(r, 28, 32, 40);
        Store(r.U32(8), o);
        break;
    }
    case 39: {                                                                   // CREATEBRUSHINDIRECT
        Object o;
        o.kind = Object::BrushKind;
        o.brush.style = r.U32(12);
        o.brush.color = r.U32(16) & 0xFFFFFF;
        o.brush.hatch = int(r.U32(20));
        Store(r.U32(8), o);
        break;
    }
    case 94: {                                                                   // CREATEDIBPATTERNBRUSHPT
        Object o;
        o.kind = Object::BrushKind;
        o.brush.style = BS_DIBPATTERNPT;
        o.brush.pattern = DibToImage(r, r.U32(16), r.U32(20), r.U32(24), r.U32(28));
        Store(r.U32(8), o);
        break;
    }
    case 40: Delete(r.U32(8)); break;                                            // DELETEOBJECT
    case 42: Ellipse(r.S32(8), r.S32(12), r.S32(16), r.S32(20)); break;          // ELLIPSE
    case 43: Rectangle(r.S32(8), r.S32(12), r.S32(16), r.S32(20)); break;        // RECTANGLE
    case 44: RoundRect(r.S32(8), r.S32(12), r.S32(16), r.S32(20), r.S32(24), r.S32(28)); break;
    case 45:                                                                     // ARC, CHORD, PIE
    case 46:
    case 47:
        Arc(type == 45 ? 0 : type == 46 ? 1 : 2, r.S32(8), r.S32(12), r.S32(16), r.S32(20), r.S32(24), r.S32(28),
            r.S32(32), r.S32(36));
        break;
    case 54: LineTo(pt(8)); break;                                               // LINETO
    case 57: s.clockwise = r.U32(8) == 2; break;                                 // SETARCDIRECTION
    case 2: case 3: case 4: case 5: case 6:                                      // POLY... (32-bit)
    case 85: case 86: case 87: case 88: case 89: {                               // POLY...16
        const bool small = type >= 85;
        const std::uint32_t kind = small ? type - 83 : type;  // 2 Bezier 3 polygon 4 polyline 5 BezierTo 6 PolylineTo
        const QPolygonF points = ReadPoints(r, 28, r.U32(24), small);
        if (kind == 2) {
            PolyBezier(points, false);
        } else if (kind == 3 || kind == 4) {
            Poly(points, kind == 3);
        } else if (kind == 5) {
            PolyBezier(points, true);
        } else {
            for (const QPointF& q : points) LineTo(q);
        }
        break;
    }
    case 7: case 8: case 90: case 91: {                                          // POLYPOLYLINE/POLYGON
        const bool small = type >= 90;
        const bool closed = type == 8 || type == 91;
        const std::uint64_t polys = r.U32(24);
        const std::uint64_t total = r.U32(28);
        if (polys > r.Size() / 4 || !r.Has(32, std::size_t(polys * 4))) break;
        QPolygonF all = ReadPoints(r, 32 + std::size_t(polys * 4), total, small);
        if (all.size() != qsizetype(total)) break;
        QPainterPath shape;
        std::uint64_t at = 0;
        for (std::uint64_t i = 0; i < polys; ++i) {
            const std::uint64_t n = r.U32(32 + std::size_t(i * 4));
            if (n > total - at) break;
            shape.addPolygon(all.mid(qsizetype(at), qsizetype(n)));
            if (closed) shape.closeSubpath();
            at += n;
        }
        Shape(shape, closed);
        break;
    }
    case 59:                                                                     // BEGINPATH
        inPath = true;
        path = QPainterPath();
        if (Usable(Full())) path.moveTo(Full().map(s.current));
        break;
    case 60: inPath = false; break;                                              // ENDPATH
    case 61: path.closeSubpath(); break;                                         // CLOSEFIGURE
    case 62: FillPath(true, false); break;                                       // FILLPATH
    case 63: FillPath(true, true); break;                                        // STROKEANDFILLPATH
    case 64: FillPath(false, true); break;                                       // STROKEPATH
    case 67: {                                                                   // SELECTCLIPPATH
        // Only the part near what is drawn matters (the margin keeps a later offset of the clip
        // honest): the region code's time grows with the square of the outline's height.
        const QRectF keep = QRectF(QRegion(dest.adjusted(-1, -1, 1, 1)).united(baseClip).boundingRect())
                                .adjusted(-kClipMargin, -kClipMargin, kClipMargin, kClipMargin);
        QPolygon outline;
        for (const QPointF& q : ClipToRect(path.toFillPolygon(), keep)) outline.append(ToDevicePoint(q));
        // A path that encloses nothing (a line, a point) clips everything away; the region code
        // is not given such outlines at all.
        double area = 0;
        for (qsizetype i = 0; i < outline.size(); ++i) {
            const QPoint a = outline[i], b = outline[(i + 1) % outline.size()];
            area += double(a.x()) * b.y() - double(b.x()) * a.y();
        }
        const QRegion region = area != 0 ? QRegion(outline, s.fillMode == ALTERNATE ? Qt::OddEvenFill : Qt::WindingFill)
                                         : QRegion();
        const QRegion current = s.clip ? *s.clip : QRegion(dest.adjusted(-1, -1, 1, 1)).united(baseClip);
        switch (r.U32(8)) {
        case RGN_AND: s.clip = current.intersected(region); break;
        case RGN_OR: s.clip = current.united(region); break;
        case RGN_XOR: s.clip = current.xored(region); break;
        case RGN_DIFF: s.clip = current.subtracted(region); break;
        default: s.clip = region; break;
        }
        path = QPainterPath();
        inPath = false;
        ApplyClip();
        break;
    }
    case 68: path = QPainterPath(); inPath = false; break;                       // ABORTPATH
    case 75: {                                                                   // EXTSELECTCLIPRGN
        const std::uint32_t bytes = r.U32(8);
        const std::uint32_t mode = r.U32(12);
        QRegion region;
        if (bytes >= 32 && r.Has(16, bytes)) {
            const std::uint64_t count = r.U32(16 + 8);
            if (count <= (bytes - 32) / 16) {
                for (std::uint64_t i = 0; i < count; ++i) {
                    const std::size_t o = 16 + 32 + std::size_t(i * 16);
                    region += ToDeviceRect(
                        base.mapRect(QRectF(QPointF(r.S32(o), r.S32(o + 4)), QPointF(r.S32(o + 8), r.S32(o + 12)))));
                }
            }
        } else if (mode == RGN_COPY) {
            s.clip.reset();
            ApplyClip();
            break;
        }
        const QRegion current = s.clip ? *s.clip : QRegion(dest.adjusted(-1, -1, 1, 1)).united(baseClip);
        switch (mode) {
        case RGN_AND: s.clip = current.intersected(region); break;
        case RGN_OR: s.clip = current.united(region); break;
        case RGN_XOR: s.clip = current.xored(region); break;
        case RGN_DIFF: s.clip = current.subtracted(region); break;
        default: s.clip = region; break;
        }
        ApplyClip();
        break;
    }
    case 76:                                                                     // BITBLT
    case 77: {                                                                   // STRETCHBLT
        const QRectF to(r.S32(24), r.S32(28), r.S32(32), r.S32(36));
        const DWORD rop = r.U32(40);
        const std::uint32_t bmiSize = r.U32(88);
        if (bmiSize == 0) {
            PatBlt(to, rop);
            break;
        }
        const QImage image = DibToImage(r, r.U32(84), bmiSize, r.U32(92), r.U32(96));
        const double sw = type == 77 ? r.S32(100) : to.width(), sh = type == 77 ? r.S32(104) : to.height();
        Image(image, to, QRectF(r.S32(44), r.S32(48), sw, sh), rop);
        break;
    }
    case 81: {                                                                   // STRETCHDIBITS
        const QImage image = DibToImage(r, r.U32(48), r.U32(52), r.U32(56), r.U32(60));
        const double srcW = r.S32(40), srcH = r.S32(44);
        // The source corner counts from the bitmap's bottom row.
        const double srcTop = double(image.height()) - r.S32(36) - srcH;
        Image(image, QRectF(r.S32(24), r.S32(28), r.S32(72), r.S32(76)), QRectF(r.S32(32), srcTop, srcW, srcH),
              r.U32(68));
        break;
    }
    case 83:                                                                     // EXTTEXTOUTA
    case 84: {                                                                   // EXTTEXTOUTW
        // EMRTEXT at 36: reference point, count, offset of the string, options, rectangle,
        // offset of the spacing array.
        const QPointF at = pt(36);
        const std::uint64_t count = r.U32(44);
        const std::uint32_t offString = r.U32(48);
        const UINT options = r.U32(52);
        const QRectF rect(QPointF(r.S32(56), r.S32(60)), QPointF(r.S32(64), r.S32(68)));
        const std::uint32_t offDx = r.U32(72);
        QString text;
        if (type == 84) {
            text = Utf16(r, offString, count);
        } else if (count <= r.Size() && r.Has(offString, std::size_t(count))) {
            text = gdi::FromAnsi(reinterpret_cast<const char*>(r.At(offString)), int(count));
        }
        std::vector<double> dx;
        if (offDx && count <= r.Size() / 4 && r.Has(offDx, std::size_t(count * 4)))
            for (std::uint64_t i = 0; i < count; ++i) dx.push_back(r.S32(offDx + std::size_t(i * 4)));
        if (!text.isEmpty() || (options & ETO_OPAQUE)) Text(at, text, options, rect, dx);
        break;
    }
    case 82: {                                                                   // EXTCREATEFONTINDIRECTW
        // LOGFONTW: five 32-bit values, eight bytes, a 32-character UTF-16 face name.
        Object o;
        o.kind = Object::FontKind;
        LOGFONT& lf = o.font.lf;
        lf.lfHeight = r.S32(12);
        lf.lfWidth = r.S32(16);
        lf.lfEscapement = r.S32(20);
        lf.lfOrientation = r.S32(24);
        lf.lfWeight = r.S32(28);
        ReadFontFlags(r, 32, lf);
        QString face = Utf16(r, 40, 32);
        face.truncate(face.indexOf(QChar(0)) < 0 ? face.size() : face.indexOf(QChar(0)));
        o.font.face = face;
        const QByteArray latin = face.toLatin1();
        std::strncpy(lf.lfFaceName, latin.constData(), LF_FACESIZE - 1);
        Store(r.U32(8), o);
        break;
    }
    default: break;  // palettes, comments and anything else: nothing to draw
    }
}

void MetafilePlayer::Impl::WmfRecord(std::uint16_t function, const Bytes& r) {
    // r starts at the record's first parameter word; parameters are in reverse argument order.
    auto w = [&](std::size_t i) { return double(r.S16(2 * i)); };
    switch (function) {
    case 0x0201: s.bkColor = r.U32(0) & 0xFFFFFF; break;      // SETBKCOLOR
    case 0x0102: s.bkMode = r.U16(0); break;                  // SETBKMODE
    case 0x0103: s.mapMode = r.U16(0); break;                 // SETMAPMODE
    case 0x0106: s.fillMode = r.U16(0); break;                // SETPOLYFILLMODE
    case 0x0209: s.textColor = r.U32(0) & 0xFFFFFF; break;    // SETTEXTCOLOR
    case 0x012E: s.textAlign = r.U16(0); break;               // SETTEXTALIGN
    case 0x020B: s.winOrg = QPointF(w(1), w(0)); break;       // SETWINDOWORG
    case 0x020C: s.winExt = QSizeF(w(1), w(0)); break;        // SETWINDOWEXT
    case 0x020D:                                              // SETVIEWPORTORG
        if (!fixedViewport) s.vpOrg = QPointF(w(1), w(0));
        break;
    case 0x020E:                                              // SETVIEWPORTEXT
        if (!fixedViewport) s.vpExt = QSizeF(w(1), w(0));
        break;
    case 0x020F: s.winOrg += QPointF(w(1), w(0)); break;      // OFFSETWINDOWORG
    case 0x0410:                                              // SCALEWINDOWEXT
        if (w(2) && w(0)) s.winExt = QSizeF(s.winExt.width() * w(3) / w(2), s.winExt.height() * w(1) / w(0));
        break;
    case 0x0211:                                              // OFFSETVIEWPORTORG
        if (!fixedViewport) s.vpOrg += QPointF(w(1), w(0));
        break;
    case 0x0412:                                              // SCALEVIEWPORTEXT
        if (!fixedViewport && w(2) && w(0))
            s.vpExt = QSizeF(s.vpExt.width() * w(3) / w(2), s.vpExt.height() * w(1) / w(0));
        break;
    case 0x0213: LineTo(QPointF(w(1), w(0))); break;          // LINETO
    case 0x0214: MoveTo(QPointF(w(1), w(0))); break;          // MOVETO
    case 0x0415: ClipRect(w(3), w(2), w(1), w(0), true); break;   // EXCLUDECLIPRECT
    case 0x0416: ClipRect(w(3), w(2), w(1), w(0), false); break;  // INTERSECTCLIPRECT
    case 0x0418: Ellipse(w(3), w(2), w(1), w(0)); break;      // ELLIPSE
    case 0x041B: Rectangle(w(3), w(2), w(1), w(0)); break;    // RECTANGLE
    case 0x061C: RoundRect(w(5), w(4), w(3), w(2), w(1), w(0)); break;  // ROUNDRECT
    case 0x0817:                                              // ARC, PIE, CHORD
    case 0x081A:
    case 0x0830:
        Arc(function == 0x0817 ? 0 : function == 0x0830 ? 1 : 2, w(7), w(6), w(5), w(4), w(3), w(2), w(1), w(0));
        break;
    case 0x001E: Save(); break;                               // SAVEDC
    case 0x0127: Restore(r.S16(0)); break;                    // RESTOREDC
    case 0x041F:                                              // SETPIXEL
        if (!Usable(Full())) break;
        p->setWorldTransform(Full());
        p->setCompositionMode(QPainter::CompositionMode_SourceOver);
        p->fillRect(QRectF(w(3), w(2), 1, 1), ToQColor(r.U32(0) & 0xFFFFFF));
        break;
    case 0x0324:                                              // POLYGON
    case 0x0325: {                                            // POLYLINE
        const QPolygonF points = ReadPoints(r, 2, r.U16(0), true);
        Poly(points, function == 0x0324);
        break;
    }
    case 0x0538: {                                            // POLYPOLYGON
        const std::uint32_t polys = r.U16(0);
        if (!r.Has(2, std::size_t(polys) * 2)) break;
        std::size_t at = 2 + std::size_t(polys) * 2;
        QPainterPath shape;
        for (std::uint32_t i = 0; i < polys; ++i) {
            const std::uint32_t n = r.U16(2 + 2 * i);
            const QPolygonF points = ReadPoints(r, at, n, true);
            if (points.size() != qsizetype(n)) break;
            shape.addPolygon(points);
            shape.closeSubpath();
            at += std::size_t(n) * 4;
        }
        Shape(shape, true);
        break;
    }
    case 0x012D: Select(r.U16(0)); break;                     // SELECTOBJECT
    case 0x01F0: Delete(r.U16(0)); break;                     // DELETEOBJECT
    case 0x02FA: {                                            // CREATEPENINDIRECT
        Object o;
        o.kind = Object::PenKind;
        o.pen.style = r.U16(0) & 0xF;
        o.pen.width = std::max<int>(0, r.S16(2));
        o.pen.color = r.U32(6) & 0xFFFFFF;
        StoreFirstFree(o);
        break;
    }
    case 0x02FC: {                                            // CREATEBRUSHINDIRECT
        Object o;
        o.kind = Object::BrushKind;
        o.brush.style = r.U16(0);
        o.brush.color = r.U32(2) & 0xFFFFFF;
        o.brush.hatch = r.U16(6);
        StoreFirstFree(o);
        break;
    }
    case 0x0142: {                                            // DIBCREATEPATTERNBRUSH
        Object o;
        o.kind = Object::BrushKind;
        o.brush.style = BS_DIBPATTERNPT;
        if (r.Size() > 44) {
            // The colour table's length decides where the rows start.
            const Bytes bmi(r.At(4), r.Size() - 4);
            const std::uint32_t bpp = bmi.U16(14), used = bmi.U32(32);
            const std::size_t colours = bpp <= 8 ? (used && used <= 256 ? used : 1u << bpp) : 0;
            const std::size_t bitsAt = 4 + std::size_t(bmi.U32(0) > 1024 ? 1024 : bmi.U32(0)) + colours * 4;
            if (bitsAt < r.Size()) o.brush.pattern = DibToImage(r, 4, bitsAt - 4, bitsAt, r.Size() - bitsAt);
        }
        StoreFirstFree(o);
        break;
    }
    case 0x02FB: {                                            // CREATEFONTINDIRECT
        Object o;
        o.kind = Object::FontKind;
        LOGFONT& lf = o.font.lf;
        lf.lfHeight = r.S16(0);
        lf.lfWidth = r.S16(2);
        lf.lfEscapement = r.S16(4);
        lf.lfOrientation = r.S16(6);
        lf.lfWeight = r.S16(8);
        ReadFontFlags(r, 10, lf);
        std::size_t n = 0;
        while (n < LF_FACESIZE - 1 && r.Has(18 + n, 1) && r.At(18)[n]) ++n;
        if (n) std::memcpy(lf.lfFaceName, r.At(18), n);
        o.font.face = gdi::FromAnsi(lf.lfFaceName, int(n));
        StoreFirstFree(o);
        break;
    }
    case 0x00F7:                                              // CREATEPALETTE
    case 0x06FF:                                              // CREATEREGION
    case 0x01F9: {                                            // CREATEPATTERNBRUSH
        Object o;
        o.kind = Object::Other;
        StoreFirstFree(o);
        break;
    }
    case 0x0521: {                                            // TEXTOUT
        const std::uint32_t n = r.U16(0);
        const std::size_t padded = (std::size_t(n) + 1) & ~std::size_t{1};
        if (!r.Has(2, padded + 4)) break;
        const QString text = gdi::FromAnsi(reinterpret_cast<const char*>(r.At(2)), int(n));
        Text(QPointF(r.S16(2 + padded + 2), r.S16(2 + padded)), text, 0, std::nullopt, {});
        break;
    }
    case 0x0A32: {                                            // EXTTEXTOUT
        const QPointF at(w(1), w(0));
        const std::uint32_t n = r.U16(4);
        const UINT options = r.U16(6);
        std::size_t o = 8;
        std::optional<QRectF> rect;
        if (options & (ETO_OPAQUE | ETO_CLIPPED)) {
            rect = QRectF(QPointF(r.S16(8), r.S16(10)), QPointF(r.S16(12), r.S16(14)));
            o += 8;
        }
        if (!r.Has(o, n)) break;
        const QString text = gdi::FromAnsi(reinterpret_cast<const char*>(r.At(o)), int(n));
        std::vector<double> dx;
        const std::size_t dxAt = o + ((std::size_t(n) + 1) & ~std::size_t{1});
        if (r.Has(dxAt, std::size_t(n) * 2))
            for (std::uint32_t i = 0; i < n; ++i) dx.push_back(r.S16(dxAt + 2 * i));
        Text(at, text, options, rect, dx);
        break;
    }
    case 0x061D: {                                            // PATBLT
        PatBlt(QRectF(w(5), w(4), w(3), w(2)), r.U32(0));
        break;
    }
    case 0x0940: {                                            // DIBBITBLT
        const DWORD rop = r.U32(0);
        if (r.Size() <= 18) {  // no bitmap: a pattern operation
            PatBlt(QRectF(w(7), w(6), w(5), w(4)), rop);
            break;
        }
        const Bytes bmi(r.At(16), r.Size() - 16);
        const std::uint32_t bpp = bmi.U16(14), used = bmi.U32(32);
        const std::size_t colours = bpp <= 8 ? (used && used <= 256 ? used : 1u << bpp) : (bmi.U32(16) == 3 ? 3 : 0);
        const std::size_t bitsAt = 16 + std::size_t(bmi.U32(0) > 1024 ? 1024 : bmi.U32(0)) + colours * 4;
        if (bitsAt > r.Size()) break;
        const QImage bitmap = DibToImage(r, 16, bitsAt - 16, bitsAt, r.Size() - bitsAt);
        Image(bitmap, QRectF(w(7), w(6), w(5), w(4)), QRectF(w(3), w(2), w(5), w(4)), rop);
        break;
    }
    case 0x0B41:                                              // DIBSTRETCHBLT
    case 0x0F43: {                                            // STRETCHDIB
        const DWORD rop = r.U32(0);
        const bool stretchDib = function == 0x0F43;
        const std::size_t first = stretchDib ? 3 : 2;  // word index of the source height
        const double srcH = w(first), srcW = w(first + 1), srcY = w(first + 2), srcX = w(first + 3);
        const QRectF to(w(first + 7), w(first + 6), w(first + 5), w(first + 4));
        const std::size_t dibAt = 2 * (first + 8);
        if (!stretchDib && r.Size() == 22) {  // no bitmap: a pattern operation (a reserved word shifts the rest)
            PatBlt(QRectF(w(10), w(9), w(8), w(7)), rop);
            break;
        }
        if (r.Size() <= dibAt) break;
        const Bytes bmi(r.At(dibAt), r.Size() - dibAt);
        const std::uint32_t bpp = bmi.U16(14), used = bmi.U32(32);
        const std::size_t colours = bpp <= 8 ? (used && used <= 256 ? used : 1u << bpp) : (bmi.U32(16) == 3 ? 3 : 0);
        const std::size_t bitsAt = dibAt + std::size_t(bmi.U32(0) > 1024 ? 1024 : bmi.U32(0)) + colours * 4;
        if (bitsAt > r.Size()) break;
        const QImage bitmap = DibToImage(r, dibAt, bitsAt - dibAt, bitsAt, r.Size() - bitsAt);
        // StretchDIBits counts the source corner from the bitmap's bottom row.
        const double top = stretchDib ? bitmap.height() - srcY - srcH : srcY;
        Image(bitmap, to, QRectF(srcX, top, srcW, srcH), rop);
        break;
    }
    default: break;  // escapes, palettes, regions and anything else: nothing to draw
    }
}

bool MetafilePlayer::Impl::PlayEmfRecords(const std::uint8_t* data, std::size_t size) {
    const Bytes all(data, size);
    objects.assign(std::min<std::size_t>(all.U16(56) + 1u, kMaxObjects), Object{});
    std::size_t at = 0;
    while (at + 8 <= size) {
        const std::uint32_t type = all.U32(at);
        const std::uint32_t length = all.U32(at + 4);
        if (length < 8 || length % 4 || length > size - at) return false;
        if (type == 14) break;  // EOF
        EmfRecord(type, Bytes(data + at, length));
        at += length;
    }
    return true;
}

bool MetafilePlayer::Impl::PlayWmfRecords(const std::uint8_t* data, std::size_t size) {
    const Bytes all(data, size);
    const std::size_t headerBytes = std::size_t(all.U16(2)) * 2;
    if (headerBytes < 18 || headerBytes > size) return false;
    objects.assign(std::min<std::size_t>(all.U16(10), kMaxObjects), Object{});
    std::size_t at = headerBytes;
    while (at + 6 <= size) {
        const std::uint64_t words = all.U32(at);
        const std::uint16_t function = all.U16(at + 4);
        if (words < 3 || words > (size - at) / 2) return false;
        if (function == 0) break;  // EOF
        WmfRecord(function, Bytes(data + at + 6, std::size_t(words * 2 - 6)));
        at += std::size_t(words * 2);
    }
    return true;
}

MetafilePlayer::MetafilePlayer(HDC dc, const RECT& dest) : impl_(std::make_unique<Impl>()) {
    impl_->dc = gdi::ToDC(dc);
    impl_->dest = QRect(QPoint(dest.left, dest.top), QPoint(dest.right - 1, dest.bottom - 1)).normalized();
    impl_->s.font = DefaultFont();
}

MetafilePlayer::~MetafilePlayer() = default;

bool MetafilePlayer::PlayEmf(const std::uint8_t* data, std::size_t size) {
    if (!impl_->dc || !data || size < sizeof(ENHMETAHEADER)) return false;
    const Bytes header(data, size);
    // The picture frame (0.01 mm) in reference-device pixels; the bounds when the device sizes
    // are missing.
    QRectF source(QPointF(header.S32(8), header.S32(12)), QPointF(header.S32(16) + 1.0, header.S32(20) + 1.0));
    const double devW = header.S32(72), devH = header.S32(76), mmW = header.S32(80), mmH = header.S32(84);
    if (devW > 0 && devH > 0 && mmW > 0 && mmH > 0) {
        const QRectF frame(QPointF(header.S32(24), header.S32(28)), QPointF(header.S32(32), header.S32(36)));
        const QRectF mapped(frame.left() * devW / (mmW * 100), frame.top() * devH / (mmH * 100),
                            frame.width() * devW / (mmW * 100), frame.height() * devH / (mmH * 100));
        if (mapped.width() > 0 && mapped.height() > 0) source = mapped;
    }
    if (source.width() <= 0 || source.height() <= 0) return false;
    const QRectF to(impl_->dest);
    impl_->base = QTransform::fromTranslate(-source.left(), -source.top()) *
                  QTransform::fromScale(to.width() / source.width(), to.height() / source.height()) *
                  QTransform::fromTranslate(to.left(), to.top());
    bool ok = false;
    impl_->Run([&] { ok = impl_->PlayEmfRecords(data, size); });
    return ok;
}

bool MetafilePlayer::PlayWmf(const std::uint8_t* data, std::size_t size, const METAFILEPICT& picture) {
    if (!impl_->dc || !data || size < 18) return false;
    State& s = impl_->s;
    const QRect& to = impl_->dest;
    impl_->base = QTransform::fromTranslate(to.left(), to.top());
    if (picture.mm == MM_ANISOTROPIC || picture.mm == MM_ISOTROPIC) {
        // The metafile's window maps onto the whole destination; its first window records say
        // where that window is.
        s.mapMode = int(picture.mm);
        s.vpExt = QSizeF(to.width(), to.height());
        s.winExt = QSizeF(picture.xExt ? picture.xExt : 1, picture.yExt ? picture.yExt : 1);
        impl_->fixedViewport = true;
        const Bytes all(data, size);
        bool haveOrg = false, haveExt = false;
        for (std::size_t at = std::size_t(all.U16(2)) * 2; at + 6 <= size && !(haveOrg && haveExt);) {
            const std::uint64_t words = all.U32(at);
            if (words < 3 || words > (size - at) / 2) break;
            const std::uint16_t function = all.U16(at + 4);
            if (function == 0x020B && !haveOrg) {
                s.winOrg = QPointF(all.S16(at + 8), all.S16(at + 6));
                haveOrg = true;
            } else if (function == 0x020C && !haveExt) {
                s.winExt = QSizeF(all.S16(at + 8), all.S16(at + 6));
                haveExt = true;
            }
            at += std::size_t(words * 2);
        }
    }
    bool ok = false;
    impl_->Run([&] { ok = impl_->PlayWmfRecords(data, size); });
    return ok;
}
