// The records of enhanced metafiles, including their paths, world transforms and clip regions.
#include "platform/metafile/MetafilePlayerInternal.h"

using namespace metafile;

namespace {

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

QString Utf16(const Bytes& r, std::size_t offset, std::uint64_t chars) {
    if (chars > r.Size() || !r.Has(offset, std::size_t(chars * 2))) return {};
    QString text;
    for (std::uint64_t i = 0; i < chars; ++i) text.append(QChar(r.U16(offset + std::size_t(i * 2))));
    return text;
}

}  // namespace

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
