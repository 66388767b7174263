#pragma once
// Picture loading for forms and controls, and colour-keyed drawing by monochrome masks.
// GUI thread only.
#include <string>

#include "platform/drawing/Gdi.h"

class TBitmap;
class TPicture;

// Decodes any image file the image layer knows (format detected from the contents) into bitmap,
// which then owns a DIB section of the image's colours (an alpha channel is not carried over).
// The bitmap's previous handle is freed. A missing file throws Exception
// "File not found:<file> src=...PicUtils.cpp:LoadImageToBitmap:179" and leaves the bitmap as it
// was; a file that does not decode leaves the bitmap empty without an error.
void LoadImageToBitmap(TBitmap* bitmap, const std::string& fileName);

// LoadImageToBitmap on the picture's bitmap (the picture becomes a bitmap picture); the message
// names "LoadImageToPicture" and line 192.
void LoadImageToPicture(TPicture* picture, const std::string& fileName);

// Copies the w x h rectangle at (xSrc, ySrc) of bitmap to (x, y) on dc, leaving out the pixels of
// the RGB colour transparent. The bitmap's own size is not consulted; it is altered during the
// call and put back before it returns, so it must not be drawn elsewhere meanwhile. A handle that
// is not a bitmap, or a width or height of 0 or less, draws nothing.
void DrawTransparentBitmap(HDC dc, short x, short y, HBITMAP bitmap, short xSrc, short ySrc, short width,
                           short height, COLORREF transparent);
