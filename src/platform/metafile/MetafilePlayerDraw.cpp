// Drawing for both formats: pens and brushes, lines and shapes (or the open path), text, bitmap
// and pattern transfers, and filling or stroking a finished path.
#include <QFontMetricsF>

#include "platform/metafile/MetafilePlayerInternal.h"

using namespace metafile;

namespace {

// Text whose glyphs would come out larger than this on the device is not drawn.
constexpr double kMaxGlyphPixels = 4000.0;

// Pen widths end up multiplied by the mapping's scale: keep them to what a painter accepts
// (it refuses very large widths with a warning).
double SaneWidth(double w) { return std::isfinite(w) ? std::clamp(w, 0.0, 32000.0) : 0.0; }

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

QPen MetafilePlayer::Impl::MakePen() const {
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

QBrush MetafilePlayer::Impl::MakeBrush() const {
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

void MetafilePlayer::Impl::Prepare(bool fill, bool device) {
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

void MetafilePlayer::Impl::Shape(QPainterPath shape, bool fill, bool device) {
    if (!Usable(Full())) return;
    if (inPath) {
        path.addPath(device ? shape : Full().map(shape));
        return;
    }
    shape.setFillRule(s.fillMode == ALTERNATE ? Qt::OddEvenFill : Qt::WindingFill);
    Prepare(fill, device);
    p->drawPath(shape);
}

std::optional<QRectF> MetafilePlayer::Impl::DeviceBox(double l, double t, double r, double b) const {
    const QTransform full = Full();
    if (full.m12() != 0 || full.m21() != 0) return std::nullopt;
    QRectF box = full.mapRect(QRectF(QPointF(l, t), QPointF(r, b)).normalized());
    box.adjust(0, 0, -1, -1);
    return box;
}

void MetafilePlayer::Impl::Rectangle(double l, double t, double r, double b) {
    QPainterPath shape;
    if (const auto box = DeviceBox(l, t, r, b)) {
        shape.addRect(*box);
        Shape(shape, true, true);
        return;
    }
    shape.addRect(QRectF(QPointF(l, t), QPointF(r, b)).normalized());
    Shape(shape, true);
}

void MetafilePlayer::Impl::Ellipse(double l, double t, double r, double b) {
    QPainterPath shape;
    if (const auto box = DeviceBox(l, t, r, b)) {
        shape.addEllipse(*box);
        Shape(shape, true, true);
        return;
    }
    shape.addEllipse(QRectF(QPointF(l, t), QPointF(r, b)).normalized());
    Shape(shape, true);
}

void MetafilePlayer::Impl::RoundRect(double l, double t, double r, double b, double w, double h) {
    QPainterPath shape;
    shape.addRoundedRect(QRectF(QPointF(l, t), QPointF(r - 1, b - 1)).normalized(), std::fabs(w) / 2,
                         std::fabs(h) / 2);
    Shape(shape, true);
}

void MetafilePlayer::Impl::Arc(int kind, double l, double t, double r, double b, double xs, double ys, double xe,
                               double ye) {
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

void MetafilePlayer::Impl::Poly(const QPolygonF& points, bool closed) {
    if (points.isEmpty()) return;
    QPainterPath shape;
    shape.addPolygon(points);
    if (closed) shape.closeSubpath();
    Shape(shape, closed);
}

void MetafilePlayer::Impl::PolyBezier(const QPolygonF& points, bool fromCurrent) {
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

void MetafilePlayer::Impl::LineTo(QPointF to) {
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

void MetafilePlayer::Impl::MoveTo(QPointF to) {
    s.current = to;
    if (inPath && Usable(Full())) path.moveTo(Full().map(to));
}

void MetafilePlayer::Impl::Text(QPointF at, const QString& text, UINT options, std::optional<QRectF> rect,
                                const std::vector<double>& dx) {
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

void MetafilePlayer::Impl::Image(const QImage& image, QRectF destRect, QRectF srcRect, DWORD rop) {
    if (image.isNull() || destRect.width() == 0 || destRect.height() == 0 || !Usable(Full())) return;
    p->setWorldTransform(Full());
    p->setCompositionMode(RopMode(rop));
    p->drawImage(destRect, image, srcRect);
    p->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void MetafilePlayer::Impl::PatBlt(QRectF rect, DWORD rop) {
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

void MetafilePlayer::Impl::FillPath(bool fill, bool stroke) {
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
