#pragma once
// Device contexts, bitmaps, regions, pens, brushes and fonts: a software graphics device with
// the Windows GDI's calls, structures and pixel rules. Memory device contexts only; a window's
// device context is a memory device context whose bitmap the window shows.
//
// Threads: every call runs on the GUI thread (the handle table is locked, so a stray call from
// another thread fails cleanly instead of corrupting it, but drawing is not made thread-safe).
// Ownership: every handle returned by a Create* call belongs to the caller, who frees it with
// DeleteObject (DeleteDC for device contexts). Stock objects are never freed.
// Failure: calls never throw; they return 0 / FALSE / a null handle as the GDI does, also for
// handles that are unknown or already freed. Coordinates are device pixels (MM_TEXT), 96 dpi.
#include <cstdint>
#include <functional>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using BOOL = int;
using COLORREF = DWORD;  // 0x00BBGGRR

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Handles: opaque values, never addresses and never dereferenced (no object of these types exists).
// The kinds of GDI object convert to HGDIOBJ as they do on Windows. A handle is not reused while the
// process runs, so a freed one stays unknown to every call even after new objects are made.
struct HGDIOBJ__ {
    HGDIOBJ__() = delete;
};
struct HBITMAP__ : HGDIOBJ__ {};
struct HBRUSH__ : HGDIOBJ__ {};
struct HPEN__ : HGDIOBJ__ {};
struct HFONT__ : HGDIOBJ__ {};
struct HRGN__ : HGDIOBJ__ {};
struct HDC__ {
    HDC__() = delete;
};
using HGDIOBJ = HGDIOBJ__*;
using HBITMAP = HBITMAP__*;
using HBRUSH = HBRUSH__*;
using HPEN = HPEN__*;
using HFONT = HFONT__*;
using HRGN = HRGN__*;
using HDC = HDC__*;

// Structures with the Windows memory layout (stored as bytes by the image layer).
struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};
struct POINT {
    LONG x = 0;
    LONG y = 0;
};
struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};
struct RGBQUAD {
    BYTE rgbBlue = 0;
    BYTE rgbGreen = 0;
    BYTE rgbRed = 0;
    BYTE rgbReserved = 0;
};
struct BITMAPINFOHEADER {
    DWORD biSize = 40;
    LONG biWidth = 0;
    LONG biHeight = 0;  // > 0 bottom-up rows, < 0 top-down rows
    WORD biPlanes = 1;
    WORD biBitCount = 0;
    DWORD biCompression = 0;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;  // 0 with 1, 4 or 8 bits: the full 2, 16 or 256 entries follow
    DWORD biClrImportant = 0;
};
// The colour table follows the header directly; bmiColors is its first entry.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};
struct BITMAP {
    LONG bmType = 0;
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    LONG bmWidthBytes = 0;
    WORD bmPlanes = 1;
    WORD bmBitsPixel = 0;
    void* bmBits = nullptr;  // the pixel rows of a DIB section, else null
};
constexpr int LF_FACESIZE = 32;
struct LOGFONT {
    LONG lfHeight = 0;  // < 0: character height in pixels; > 0: cell height; 0: default size
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = 0;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 0;
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    char lfFaceName[LF_FACESIZE] = {};
};
static_assert(sizeof(RECT) == 16 && sizeof(POINT) == 8 && sizeof(SIZE) == 8);
static_assert(sizeof(RGBQUAD) == 4 && sizeof(BITMAPINFOHEADER) == 40 && sizeof(BITMAPINFO) == 44);
static_assert(sizeof(LOGFONT) == 60);

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) { return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16); }
constexpr BYTE GetRValue(COLORREF c) { return BYTE(c); }
constexpr BYTE GetGValue(COLORREF c) { return BYTE(c >> 8); }
constexpr BYTE GetBValue(COLORREF c) { return BYTE(c >> 16); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// Raster operations.
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD SRCERASE = 0x00440328;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD NOTSRCERASE = 0x001100A6;
constexpr DWORD MERGECOPY = 0x00C000CA;
constexpr DWORD MERGEPAINT = 0x00BB0226;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD PATPAINT = 0x00FB0A09;
constexpr DWORD PATINVERT = 0x005A0049;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

// Stretch modes.
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;
constexpr int STRETCH_ANDSCANS = BLACKONWHITE;
constexpr int STRETCH_ORSCANS = WHITEONBLACK;
constexpr int STRETCH_DELETESCANS = COLORONCOLOR;
constexpr int STRETCH_HALFTONE = HALFTONE;

// Background modes, mapping mode.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr int MM_TEXT = 1;

// DIBs.
constexpr DWORD BI_RGB = 0;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;
constexpr DWORD CBM_INIT = 4;

// Regions and clipping. Results of region calls: RGN_ERROR, NULLREGION, SIMPLEREGION, COMPLEXREGION.
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;
constexpr int RGN_ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;

// Pens, brushes, stock objects.
constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = BS_NULL;
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;

// Fonts.
constexpr LONG FW_DONTCARE = 0;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE OUT_DEFAULT_PRECIS = 0;
constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE DRAFT_QUALITY = 1;
constexpr BYTE PROOF_QUALITY = 2;
constexpr BYTE NONANTIALIASED_QUALITY = 3;
constexpr BYTE ANTIALIASED_QUALITY = 4;
constexpr BYTE CLEARTYPE_QUALITY = 5;
constexpr BYTE DEFAULT_PITCH = 0;
constexpr BYTE FF_DONTCARE = 0;

// Text output.
constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;
constexpr UINT DT_TOP = 0x0000;
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_EXPANDTABS = 0x0040;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;

// Device contexts. A new memory device context holds a 1 x 1 monochrome stock bitmap, the white
// brush, the black pen and the system font; background white and OPAQUE, text black, stretch mode
// BLACKONWHITE, no clip region. hdc may be null (the screen: 32-bit colour).
[[nodiscard]] HDC CreateCompatibleDC(HDC hdc);
// Frees the context; the objects selected into it stay alive and become deletable.
BOOL DeleteDC(HDC hdc);
// Selects a bitmap, brush, pen or font and returns the one it replaces (null on failure).
// A region is copied in as the clip region and the region kind is returned instead (cast).
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
// Fails (FALSE, object kept) for a stock object, an object selected into a context, or an
// unknown handle.
BOOL DeleteObject(HGDIOBJ object);
[[nodiscard]] HGDIOBJ GetStockObject(int which);
// Fills a BITMAP (bitmaps) or LOGFONT (fonts); returns the bytes written, 0 on failure.
// With buffer null returns the size needed.
int GetObject(HGDIOBJ object, int size, void* buffer);
// Rows written through a DIB section's own pointer reach the windows that show the section at the
// next GdiFlush (drawing calls on the section need none, nor rows written before it is first shown).
// One pass over the handle table.
BOOL GdiFlush();

// Bitmaps. A compatible bitmap has the colour format of the context's current bitmap: monochrome
// when that is the 1 x 1 stock bitmap of a new memory context, 32-bit colour otherwise (and for a
// null context). Pixels start black. Sizes of 0 or less, or too large, give null.
[[nodiscard]] HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
// planes 1 and bits 1 give a monochrome bitmap (bits: rows of 1-bit pixels padded to 16 bits, or
// null for all 0); anything else a 32-bit colour bitmap (bits: 32-bit rows, or null).
[[nodiscard]] HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
// A device-dependent bitmap of the header's size, compatible with hdc; with CBM_INIT the pixels
// come from bits laid out as info describes (see SetDIBits).
[[nodiscard]] HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                                     const BITMAPINFO* info, UINT usage);
// A bitmap whose pixel rows are memory the caller can write: 1, 4, 8, 24 or 32 bits, BI_RGB,
// bottom-up or top-down, with the colour table that follows the header. *bits receives the rows
// (zeroed), valid until the bitmap is deleted; after writing them call GdiFlush. usage must be
// DIB_RGB_COLORS; section and offset must be null and 0.
[[nodiscard]] HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits,
                                       void* section, DWORD offset);

// Context attributes; each setter returns the previous value (CLR_INVALID / 0 on failure).
COLORREF SetBkColor(HDC hdc, COLORREF color);
[[nodiscard]] COLORREF GetBkColor(HDC hdc);
COLORREF SetTextColor(HDC hdc, COLORREF color);
[[nodiscard]] COLORREF GetTextColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
[[nodiscard]] int GetBkMode(HDC hdc);
int SetStretchBltMode(HDC hdc, int mode);
[[nodiscard]] int GetStretchBltMode(HDC hdc);
int SetMapMode(HDC hdc, int mode);  // only MM_TEXT exists
[[nodiscard]] int GetMapMode(HDC hdc);

// Block transfers. The source is read whole before anything is written, so source and
// destination may overlap. Pixels whose source lies outside the source bitmap are left alone.
// Colour to monochrome: 1 where the source pixel equals the source context's background colour.
// Monochrome to colour: 0 becomes the destination's text colour, 1 its background colour.
// Any raster operation of three operands works; the pattern is the selected solid brush (with the
// null brush an operation that uses the pattern draws nothing).
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop);
// Negative sizes mirror. Shrinking combines dropped pixels by the stretch mode: BLACKONWHITE ANDs
// them, WHITEONBLACK ORs them, COLORONCOLOR drops them, HALFTONE averages them.
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int widthSrc,
                int heightSrc, DWORD rop);
// Copies every source pixel except those of the colour transparent; sizes must be positive.
BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int widthSrc,
                    int heightSrc, UINT transparent);
BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop);
[[nodiscard]] COLORREF GetPixel(HDC hdc, int x, int y);  // CLR_INVALID outside the clip area
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);

// DIB transfers. (xSrc, ySrc) is the source rectangle's corner in the DIB's own row order: the
// lower-left corner for a bottom-up DIB. bits holds lines startScan .. startScan + lines - 1 (in
// storage order) and must be that large; only those lines are read. Return: lines drawn, 0 on
// failure. usage must be DIB_RGB_COLORS.
int SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
// Whole DIB as the source (its height rows); stretched like StretchBlt with the raster operation.
// Returns the source height in lines, 0 on failure.
int StretchDIBits(HDC hdc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
// Reads rows of the bitmap into bits in the format of info (1, 4, 8, 24 or 32 bits; fewer than 24
// only from a monochrome bitmap or a DIB section of that depth, whose colour table is written).
// With bits null and biBitCount 0 fills in the header only. Returns the rows copied, 0 on failure.
int GetDIBits(HDC hdc, HBITMAP bitmap, UINT startScan, UINT lines, void* bits, BITMAPINFO* info, UINT usage);
// Writes rows of a DIB into the bitmap. Returns the rows copied, 0 on failure.
int SetDIBits(HDC hdc, HBITMAP bitmap, UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
              UINT usage);

// Direct pixel access for per-pixel blending (this layer's own call, no Windows counterpart). When
// the context's bitmap keeps 32-bit pixels (a colour bitmap or a 32-bit DIB section), calls visit
// for every run of drawable pixels inside bounds (each rectangle of the clip region within the
// bitmap, row by row): the run's first pixel (x, y), its length and its words, 0xXXRRGGBB, whose top byte
// belongs to the bitmap and must be kept. What visit writes counts as drawing. Returns TRUE then
// (also when nothing is drawable); FALSE, without a call, for any other bitmap or a bad handle.
using GdiPixelRun = std::function<void(int x, int y, int count, std::uint32_t* words)>;
BOOL GdiVisitPixels(HDC hdc, const RECT* bounds, const GdiPixelRun& visit);

// Regions (rectangle sets, right and bottom exclusive).
[[nodiscard]] HRGN CreateRectRgn(int left, int top, int right, int bottom);
[[nodiscard]] HRGN CreateRectRgnIndirect(const RECT* rect);
// dest = a op b (b unused for RGN_COPY); dest may be a or b. Returns the region kind.
int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode);
int GetRgnBox(HRGN region, RECT* box);
[[nodiscard]] BOOL EqualRgn(HRGN a, HRGN b);
[[nodiscard]] BOOL PtInRegion(HRGN region, int x, int y);
int OffsetRgn(HRGN region, int dx, int dy);

// Clipping. Without a clip region the whole bitmap is drawable. GetClipBox gives the bounding box
// of what is drawable (clip region within the bitmap) and the region kind. ExtSelectClipRgn combines
// the region with the current clip (the whole bitmap when none is set); a null region with RGN_COPY
// removes the clip region. The region is copied; the caller keeps it.
int GetClipBox(HDC hdc, RECT* box);
int ExtSelectClipRgn(HDC hdc, HRGN region, int mode);
int SelectClipRgn(HDC hdc, HRGN region);
// Copies the clip region into region: 1 when there is one, 0 when there is none, -1 on failure.
int GetClipRgn(HDC hdc, HRGN region);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
[[nodiscard]] BOOL RectVisible(HDC hdc, const RECT* rect);

// Pens, brushes and shapes. Shapes cover left .. right - 1 and top .. bottom - 1; a pen of width w
// is centred on that outline; with the null pen the filled area is one pixel smaller at the right
// and bottom, as on Windows.
[[nodiscard]] HBRUSH CreateSolidBrush(COLORREF color);
[[nodiscard]] HPEN CreatePen(int style, int width, COLORREF color);
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom);

// Fonts and text. Text is 8-bit Windows-1252. Height as in LOGFONT; the face resolves through
// fontconfig ("Arial" gives Liberation Sans). DEFAULT, ANTIALIASED and CLEARTYPE quality draw
// greyscale-antialiased, NONANTIALIASED and DRAFT aliased. (x, y) is the top-left of the text cell;
// with OPAQUE the cell is filled with the background colour. length -1 means up to the NUL.
[[nodiscard]] HFONT CreateFontIndirect(const LOGFONT* font);
[[nodiscard]] HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                               DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                               DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const char* faceName);
BOOL TextOut(HDC hdc, int x, int y, const char* text, int length);
// ETO_OPAQUE fills rect with the background colour, ETO_CLIPPED clips the text to rect. Glyphs keep
// their own advances: dx must be null (it is ignored).
BOOL ExtTextOut(HDC hdc, int x, int y, UINT options, const RECT* rect, const char* text, UINT length,
                const int* dx);
// Width of the text and height of the font's cell (ascent + descent).
BOOL GetTextExtentPoint32(HDC hdc, const char* text, int length, SIZE* size);
// Lays text out in rect by the DT_ flags: lines split at line feeds unless DT_SINGLELINE, wrapped at
// blanks with DT_WORDBREAK (a word wider than the rectangle stays whole), "&x" shows x (and "&&" an
// ampersand) unless DT_NOPREFIX; DT_VCENTER and DT_BOTTOM act with DT_SINGLELINE only; clipped to
// rect unless DT_NOCLIP. DT_CALCRECT draws nothing and sets rect's right and bottom to the size
// needed. Returns the height of the text, 0 on failure.
int DrawText(HDC hdc, const char* text, int length, RECT* rect, UINT format);
