// The records of Windows metafiles.
#include "platform/metafile/MetafilePlayerInternal.h"

using namespace metafile;

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
