#pragma once
// The objects behind the graphics handles, for the platform layer's own sources only (this header
// includes Qt). A window shows a device context by painting the image of its selected bitmap.
#include <QFont>
#include <QImage>
#include <QRegion>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/drawing/Gdi.h"

namespace gdi {

// What every GDI object carries besides its kind: its handle (set when the object is registered),
// how many device contexts hold it selected, and whether it is a stock object (never freed).
struct ObjectState {
    virtual ~ObjectState() = default;
    HGDIOBJ handle = nullptr;
    int selectCount = 0;
    bool stock = false;
};

// The handle of a registered object as the handle kind H; null for no object.
template <class H>
[[nodiscard]] H HandleOf(const ObjectState* object)
{
    return object ? static_cast<H>(object->handle) : nullptr;
}

// Pixel storage of a bitmap. Color and Mono keep a QImage in Format_RGB32, top-down (Mono pixels
// are pure black or white); Dib keeps the caller-visible rows of a DIB section.
enum class Storage { Color, Mono, Dib };

struct Bitmap final : ObjectState {

    Storage storage = Storage::Color;
    int width = 0;
    int height = 0;
    QImage image;                     // Color, Mono
    std::unique_ptr<std::uint8_t[]> ownedBits;
    std::uint8_t* bits = nullptr;     // Dib rows in storage order (ownedBits, or a caller's DIB)
    int bpp = 0;                      // Dib: 1, 4, 8, 24 or 32; Color 32; Mono 1
    bool topDown = false;             // Dib row order
    std::int64_t stride = 0;          // Dib bytes per row
    std::vector<std::uint32_t> palette;  // Dib with bpp <= 8: 1 << bpp entries, 0x00RRGGBB
    // Counts the calls of this layer that wrote pixels, so a window can tell that nothing changed.
    // A DIB section whose rows were handed out (CreateDIBSection, GetObject: bitsShared) may be
    // written through that pointer behind this layer's back; GdiFlush counts such writes.
    std::uint64_t generation = 0;
    mutable bool bitsShared = false;
};

struct Brush final : ObjectState {
    UINT style = BS_SOLID;
    COLORREF color = 0;
};

struct Pen final : ObjectState {
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

struct Font final : ObjectState {
    LOGFONT logFont;
    std::optional<QFont> qfont;  // made on first use
    int ascent = 0;              // with qfont
    int cellHeight = 0;          // ascent + descent
    std::unordered_map<char16_t, int> advances;  // whole pixels per character, as GDI places glyphs
};

struct Region final : ObjectState {
    QRegion region;
};

struct DC final {
    HDC handle = nullptr;
    Bitmap* bitmap = nullptr;
    Brush* brush = nullptr;
    Pen* pen = nullptr;
    Font* font = nullptr;
    COLORREF bkColor = 0xFFFFFF;
    COLORREF textColor = 0x000000;
    int bkMode = OPAQUE;
    int stretchMode = BLACKONWHITE;
    std::optional<QRegion> clip;  // none: the whole bitmap
};

// Handle checks: the object behind a live handle of that kind, else null.
[[nodiscard]] DC* ToDC(HDC hdc);
[[nodiscard]] Bitmap* ToBitmap(HGDIOBJ object);
[[nodiscard]] Brush* ToBrush(HGDIOBJ object);
[[nodiscard]] Pen* ToPen(HGDIOBJ object);
[[nodiscard]] Font* ToFont(HGDIOBJ object);
[[nodiscard]] Region* ToRegion(HGDIOBJ object);

// Registers a new object as a live handle; the registry owns it until DeleteObject.
HBITMAP Register(std::unique_ptr<Bitmap> bitmap);
// Counts a write of the bitmap's pixels and tells the window layer that something was drawn.
void NoteWritten(Bitmap& bitmap);
// The same for a brush, pen, font or region (the kinds GdiObjects.cpp instantiates).
template <class T>
T* Track(std::unique_ptr<T> object);

// A bitmap of the given storage, pixels black; null when the size is 0 or less or too large.
[[nodiscard]] std::unique_ptr<Bitmap> NewColorBitmap(int width, int height);
[[nodiscard]] std::unique_ptr<Bitmap> NewMonoBitmap(int width, int height);
// A DIB section bitmap from a header and colour table (palette entries 0x00RRGGBB, shorter tables
// are padded with black); null for a format this layer does not make.
[[nodiscard]] std::unique_ptr<Bitmap> NewDibBitmap(int width, int height, bool topDown, int bpp,
                                                   const std::vector<std::uint32_t>& palette);

// The drawable area of a context: its clip region within its bitmap.
[[nodiscard]] QRegion Drawable(const DC& dc);

// Pixel access in top-down coordinates, any storage. "Values" are what raster operations work on:
// 0/1 for Mono, palette indices for a Dib of 8 bits or fewer, 0x00RRGGBB otherwise.
void ReadColors(const Bitmap& bitmap, int x, int y, int count, std::uint32_t* rgb);
void ReadValues(const Bitmap& bitmap, int x, int y, int count, std::uint32_t* values);
void WriteValues(Bitmap& bitmap, int x, int y, int count, const std::uint32_t* values);
[[nodiscard]] std::uint32_t ValueMask(const Bitmap& bitmap);
[[nodiscard]] bool IsIndexed(const Bitmap& bitmap);
// Value of a colour (0x00RRGGBB) in the bitmap: nearest palette entry, or black/white by brightness.
[[nodiscard]] std::uint32_t ColorToValue(const Bitmap& bitmap, std::uint32_t rgb);
[[nodiscard]] std::uint32_t ValueToColor(const Bitmap& bitmap, std::uint32_t value);

constexpr std::uint32_t ColorRefToRgb(COLORREF c)
{
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
constexpr COLORREF RgbToColorRef(std::uint32_t rgb)
{
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

// Where the pixels of a block transfer come from: a bitmap placed at (offsetX, offsetY) of the
// source's coordinates. Colour to monochrome compares with bkColor when bkRule is set (a device
// context's bitmap), else goes by brightness (DIB data).
struct TransferSource {
    const Bitmap* bitmap = nullptr;
    int offsetX = 0;
    int offsetY = 0;
    COLORREF bkColor = 0xFFFFFF;
    bool bkRule = true;
};
// The one block transfer behind BitBlt, StretchBlt, TransparentBlt, PatBlt and the DIB calls.
// Sizes may be negative (mirroring); src may be null when rop does not use a source. With a key,
// source pixels of that colour (0x00RRGGBB) are left out.
BOOL Transfer(DC& dest, int x, int y, int width, int height, const TransferSource* src, int xSrc, int ySrc,
              int widthSrc, int heightSrc, DWORD rop, std::optional<std::uint32_t> key);

// Fills the part of rect inside the context's drawable area with one colour.
void FillSolid(DC& dc, const QRect& rect, COLORREF color);
// Runs paint with a QPainter over the context's bitmap, clipped to the drawable area within
// bounds; whatever paint draws outside bounds is lost. Monochrome and DIB section bitmaps are
// painted through a colour copy that is written back (nearest colours).
void PaintOn(DC& dc, const QRect& bounds, const std::function<void(class QPainter&)>& paint);

// The Qt font for a GDI font (needs the application object, which it makes when missing).
[[nodiscard]] const QFont& QtFont(Font& font);
// Width of text in whole pixels: the sum of each character's rounded advance.
[[nodiscard]] int TextWidth(Font& font, const QString& text);
// Windows-1252 text to Qt's.
[[nodiscard]] QString FromAnsi(const char* text, int length);

}  // namespace gdi

// For the window layer: a copy of what the context's bitmap shows (Format_RGB32), and the bitmap's
// own image when it is a colour device-dependent bitmap (null otherwise), to paint without a copy.
[[nodiscard]] QImage GdiSnapshot(HDC hdc);
// How often the bitmap's pixels were written (through this layer, or through a DIB section's rows
// followed by GdiFlush); nullopt for no bitmap.
[[nodiscard]] std::optional<std::uint64_t> GdiWriteGeneration(HBITMAP bitmap);
// Called, from whichever thread drew, after any bitmap is made or its pixels are written; null for
// none. It must be cheap and safe from any thread: the window layer only notes that a look is due.
void GdiSetWriteObserver(void (*observer)());
[[nodiscard]] QImage* GdiColorImage(HDC hdc);
// A colour device-dependent bitmap holding image's pixels (any format, alpha dropped); the caller
// owns it. Null for an empty image.
[[nodiscard]] HBITMAP GdiCreateBitmapFromImage(const QImage& image);
