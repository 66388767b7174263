// Brushes, pens and fonts as objects.
#include <algorithm>
#include <cstring>

#include "platform/drawing/GdiInternal.h"

using namespace gdi;

// Brushes and pens ----------------------------------------------------------------------------

HBRUSH CreateSolidBrush(COLORREF color)
{
    auto b = std::make_unique<Brush>();
    b->color = color & 0xFFFFFF;
    return HandleOf<HBRUSH>(Track(std::move(b)));
}

HPEN CreatePen(int style, int width, COLORREF color)
{
    if (style != PS_SOLID && style != PS_NULL)
        style = PS_SOLID;  // dashes are not drawn by this layer; a solid line is the nearest
    auto p = std::make_unique<Pen>();
    p->style = style;
    p->width = std::max(1, width);
    p->color = color & 0xFFFFFF;
    return HandleOf<HPEN>(Track(std::move(p)));
}

// Fonts (the Qt side is in GdiText.cpp) ---------------------------------------------------------

HFONT CreateFontIndirect(const LOGFONT* font)
{
    if (!font)
        return nullptr;
    auto f = std::make_unique<Font>();
    f->logFont = *font;
    f->logFont.lfFaceName[LF_FACESIZE - 1] = '\0';
    return HandleOf<HFONT>(Track(std::move(f)));
}

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                 DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                 DWORD pitchAndFamily, const char* faceName)
{
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = BYTE(italic);
    lf.lfUnderline = BYTE(underline);
    lf.lfStrikeOut = BYTE(strikeOut);
    lf.lfCharSet = BYTE(charSet);
    lf.lfOutPrecision = BYTE(outPrecision);
    lf.lfClipPrecision = BYTE(clipPrecision);
    lf.lfQuality = BYTE(quality);
    lf.lfPitchAndFamily = BYTE(pitchAndFamily);
    if (faceName)
        std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
    return CreateFontIndirect(&lf);
}
