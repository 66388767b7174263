// Fonts and text output through Qt's font engine (fontconfig faces, 96 dpi, pixel sizes).
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/ui/ApplicationInstance.h"
#include "platform/drawing/GdiInternal.h"

namespace gdi {

QString FromAnsi(const char* text, int length)
{
    // Windows-1252 differs from Latin-1 only in 0x80 .. 0x9F (0 = unassigned, shown as is).
    static const char16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    QString s;
    if (!text || length <= 0)
        return s;
    s.reserve(length);
    for (int i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const char16_t u = (c >= 0x80 && c < 0xA0 && high[c - 0x80]) ? high[c - 0x80] : char16_t(c);
        s.append(QChar(u));
    }
    return s;
}

const QFont& QtFont(Font& font)
{
    if (font.qfont)
        return *font.qfont;
    EnsureApplication();
    const LOGFONT& lf = font.logFont;
    char face[LF_FACESIZE + 1] = {};
    std::memcpy(face, lf.lfFaceName, LF_FACESIZE);
    QFont q(face[0] ? QString::fromLatin1(face) : QStringLiteral("Arial"));
    q.setWeight(lf.lfWeight <= 0 ? QFont::Normal : QFont::Weight(std::clamp<LONG>(lf.lfWeight, 100, 900)));
    q.setItalic(lf.lfItalic != 0);
    q.setUnderline(lf.lfUnderline != 0);
    q.setStrikeOut(lf.lfStrikeOut != 0);
    // GDI's TextOut places glyphs by their advances alone.
    q.setKerning(false);
    const bool aliased = lf.lfQuality == NONANTIALIASED_QUALITY || lf.lfQuality == DRAFT_QUALITY;
    q.setStyleStrategy(aliased ? QFont::NoAntialias
                               : QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    std::int64_t height = lf.lfHeight == 0 ? -12 : lf.lfHeight;
    if (height < 0) {
        q.setPixelSize(int(std::min<std::int64_t>(-height, 2048)));
    } else {
        // A positive height is the whole cell (ascent + descent): find the character size that gives it.
        q.setPixelSize(200);
        const double cellPerPixel = QFontMetricsF(q).height() / 200.0;
        const double px = double(std::min<std::int64_t>(height, 2048)) / (cellPerPixel > 0 ? cellPerPixel : 1.0);
        q.setPixelSize(std::max(1, int(std::lround(px))));
    }
    font.qfont = q;
    const QFontMetrics metrics(q);
    font.ascent = metrics.ascent();
    font.cellHeight = metrics.height();
    return *font.qfont;
}

int TextWidth(Font& font, const QString& text)
{
    const QFont& q = QtFont(font);
    std::int64_t width = 0;
    for (QChar c : text) {
        auto it = font.advances.find(c.unicode());
        if (it == font.advances.end())
            it = font.advances.emplace(c.unicode(), QFontMetrics(q).horizontalAdvance(c)).first;
        width += it->second;
    }
    return int(std::min<std::int64_t>(width, INT32_MAX / 2));
}

}  // namespace gdi

using namespace gdi;

namespace {

QString TextOf(const char* text, int length)
{
    if (!text)
        return {};
    if (length < 0)
        length = int(std::strlen(text));
    return FromAnsi(text, length);
}

// One line with its cell's top-left at (x, y); opaque fills the cell with the background colour.
void DrawLine(DC& dc, int x, int y, const QString& text, const QRect& limit, bool opaque)
{
    Font& gdiFont = *dc.font;
    const QFont& font = QtFont(gdiFont);
    const int width = TextWidth(gdiFont, text);
    const int height = gdiFont.cellHeight;
    const int baseline = y + gdiFont.ascent;
    const QRect cell(x, y, width, height);
    // Glyphs may reach past their advance (italics, bearings); allow for it around the cell.
    const QRect bounds = cell.adjusted(-height, 0, height, 0).intersected(limit);
    const QColor textColor = QColor::fromRgb(ColorRefToRgb(dc.textColor));
    const QColor bkColor = QColor::fromRgb(ColorRefToRgb(dc.bkColor));
    PaintOn(dc, bounds, [&](QPainter& p) {
        if (opaque)
            p.fillRect(cell, bkColor);
        p.setFont(font);
        p.setPen(textColor);
        // Each glyph at its own whole-pixel position, as GDI lays text out.
        int pen = x;
        for (QChar c : text) {
            p.drawText(QPoint(pen, baseline), QString(c));
            pen += gdiFont.advances[c.unicode()];
        }
    });
}

const QRect kEverywhere(-(1 << 29), -(1 << 29), 1 << 30, 1 << 30);

QRect ToQRect(const RECT& r)
{
    const std::int64_t w = std::int64_t(r.right) - r.left, h = std::int64_t(r.bottom) - r.top;
    if (w <= 0 || h <= 0)
        return {};
    return QRect(r.left, r.top, int(std::min<std::int64_t>(w, 1 << 30)), int(std::min<std::int64_t>(h, 1 << 30)));
}

// "&x" shows x, "&&" one ampersand; a lone trailing "&" is dropped.
QString StripPrefixes(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            if (i + 1 < text.size())
                out.append(text[++i]);
        } else {
            out.append(text[i]);
        }
    }
    return out;
}

// Greedy wrap at blanks: a line takes words while it fits; a word wider than the width stays whole.
QStringList Wrap(const QString& paragraph, Font& font, int width)
{
    QStringList lines;
    const QStringList words = paragraph.split(u' ');
    QString line;
    for (const QString& word : words) {
        const QString candidate = line.isEmpty() ? word : line + u' ' + word;
        if (!line.isEmpty() && TextWidth(font, candidate) > width) {
            lines.append(line);
            line = word;
        } else {
            line = candidate;
        }
    }
    lines.append(line);
    return lines;
}

}  // namespace

BOOL TextOut(HDC hdc, int x, int y, const char* text, int length)
{
    DC* dc = ToDC(hdc);
    if (!dc || !text)
        return FALSE;
    DrawLine(*dc, x, y, TextOf(text, length), kEverywhere, dc->bkMode == OPAQUE);
    return TRUE;
}

BOOL ExtTextOut(HDC hdc, int x, int y, UINT options, const RECT* rect, const char* text, UINT length, const int*)
{
    DC* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    const QRect r = rect ? ToQRect(*rect) : QRect();
    if ((options & ETO_OPAQUE) && rect)
        FillSolid(*dc, r, dc->bkColor);
    if (!text || length == 0)
        return TRUE;
    const QRect limit = ((options & ETO_CLIPPED) && rect) ? r : kEverywhere;
    if (limit.isEmpty())
        return TRUE;
    const int n = int(std::min<UINT>(length, INT32_MAX));
    DrawLine(*dc, x, y, FromAnsi(text, n), limit, dc->bkMode == OPAQUE && !(options & ETO_OPAQUE && rect));
    return TRUE;
}

BOOL GetTextExtentPoint32(HDC hdc, const char* text, int length, SIZE* size)
{
    DC* dc = ToDC(hdc);
    if (!dc || !size || (!text && length > 0))
        return FALSE;
    size->cx = TextWidth(*dc->font, TextOf(text, length));
    size->cy = dc->font->cellHeight;
    return TRUE;
}

int DrawText(HDC hdc, const char* text, int length, RECT* rect, UINT format)
{
    DC* dc = ToDC(hdc);
    if (!dc || !text || !rect)
        return 0;
    QString s = TextOf(text, length);
    if (!(format & DT_NOPREFIX))
        s = StripPrefixes(s);
    Font& font = *dc->font;
    (void)QtFont(font);  // fills in the metrics
    const int lineHeight = font.cellHeight;
    const int width = int(std::max<std::int64_t>(0, std::int64_t(rect->right) - rect->left));

    QStringList lines;
    if (format & DT_SINGLELINE) {
        s.remove(u'\r');
        s.remove(u'\n');
        lines.append(s);
    } else {
        s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        s.replace(u'\r', u'\n');
        for (const QString& paragraph : s.split(u'\n')) {
            if (format & DT_WORDBREAK)
                lines.append(Wrap(paragraph, font, width));
            else
                lines.append(paragraph);
        }
    }
    if (format & DT_EXPANDTABS) {
        for (QString& line : lines)
            line.replace(u'\t', QString(8, u' '));
    }

    const std::int64_t total = std::int64_t(lineHeight) * lines.size();
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const QString& line : lines)
            widest = std::max(widest, TextWidth(font, line));
        rect->right = LONG(std::min<std::int64_t>(std::int64_t(rect->left) + widest, INT32_MAX));
        rect->bottom = LONG(std::min<std::int64_t>(std::int64_t(rect->top) + total, INT32_MAX));
        return int(std::min<std::int64_t>(total, INT32_MAX));
    }

    const std::int64_t rectHeight = std::int64_t(rect->bottom) - rect->top;
    std::int64_t top = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            top = rect->top + (rectHeight - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            top = rect->bottom - lineHeight;
    }
    const QRect limit = (format & DT_NOCLIP) ? kEverywhere : ToQRect(*rect);
    if (!limit.isEmpty()) {
        std::int64_t y = top;
        for (const QString& line : lines) {
            const int w = TextWidth(font, line);
            std::int64_t x = rect->left;
            if (format & DT_CENTER)
                x = rect->left + (std::int64_t(width) - w) / 2;
            else if (format & DT_RIGHT)
                x = std::int64_t(rect->right) - w;
            if (y > INT32_MAX / 2 || y < INT32_MIN / 2)
                break;
            DrawLine(*dc, int(std::clamp<std::int64_t>(x, INT32_MIN / 2, INT32_MAX / 2)), int(y), line, limit,
                     dc->bkMode == OPAQUE);
            y += lineHeight;
        }
    }
    return int(std::min<std::int64_t>(top - rect->top + total, INT32_MAX));
}
