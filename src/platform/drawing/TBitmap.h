#pragma once
// The class library's bitmap: a GDI bitmap it owns, its canvas and its transparency. GUI thread only.
// Failures to make a bitmap (sizes too large) throw Exception "Out of system resources".
#include <memory>

#include "platform/drawing/Gdi.h"
#include "platform/drawing/TColor.h"

class TCanvas;

enum TBitmapHandleType { bmDIB, bmDDB };
enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TTransparentMode { tmAuto, tmFixed };

class TBitmap {
public:
    TBitmap();
    ~TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    [[nodiscard]] int Width() const { return width_; }
    [[nodiscard]] int Height() const { return height_; }
    // Resizing keeps the picture at the top left; new pixels take the canvas brush's colour.
    // A size of 0 (or less) in either direction makes the bitmap empty.
    void SetWidth(int width) { SetSize(width, height_); }
    void SetHeight(int height) { SetSize(width_, height); }
    void SetSize(int width, int height);
    [[nodiscard]] bool Empty() const { return width_ <= 0 || height_ <= 0; }

    // bmDDB: a device-dependent 32-bit colour bitmap; bmDIB: a DIB section (32 bits unless a
    // PixelFormat says otherwise). Changing either converts the pixels.
    [[nodiscard]] TBitmapHandleType HandleType() const { return handleType_; }
    void SetHandleType(TBitmapHandleType type);
    // pfDevice for a device-dependent bitmap; pf1bit, pf4bit, pf8bit, pf24bit and pf32bit make DIB
    // sections (1 bit black and white, 4 bits the 16 standard colours, 8 bits a 3-3-2 colour cube).
    // pf15bit, pf16bit and pfCustom are not made and are ignored.
    [[nodiscard]] TPixelFormat PixelFormat() const { return pixelFormat_; }
    void SetPixelFormat(TPixelFormat format);
    [[nodiscard]] bool Monochrome() const;

    // The bitmap's handle, made on demand; owned by the bitmap; null when the bitmap is empty.
    [[nodiscard]] HBITMAP Handle();
    // Adopts handle (null empties the bitmap): the bitmap owns and later frees it, the old handle
    // is freed. Size, handle type and pixel format follow the handle.
    void SetHandle(HBITMAP handle);
    // Gives the handle to the caller, who then frees it; the bitmap becomes empty.
    [[nodiscard]] HBITMAP ReleaseHandle();
    // Makes this bitmap an independent copy of source (pixels, size, handle type, pixel format,
    // transparency); null empties it.
    void Assign(const TBitmap* source);

    // Owned by the bitmap; its device context holds this bitmap selected.
    [[nodiscard]] TCanvas* Canvas();

    // Transparent bitmaps are drawn by a canvas without the pixels of TransparentColor.
    [[nodiscard]] bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent) { transparent_ = transparent; }
    // tmAuto: the colour of the bottom-left pixel (clDefault when empty); tmFixed: the set colour.
    [[nodiscard]] TColor TransparentColor();
    void SetTransparentColor(TColor color);  // also makes the mode tmFixed
    [[nodiscard]] TTransparentMode TransparentMode() const { return transparentMode_; }
    void SetTransparentMode(TTransparentMode mode) { transparentMode_ = mode; }

private:
    [[nodiscard]] HBITMAP MakeHandle(int width, int height) const;
    void Replace(HBITMAP handle);
    HDC CanvasHandle();

    int width_ = 0;
    int height_ = 0;
    TBitmapHandleType handleType_ = bmDDB;
    TPixelFormat pixelFormat_ = pfDevice;
    HBITMAP handle_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ stockBitmap_ = nullptr;  // what dc_ held before our bitmap
    std::unique_ptr<TCanvas> canvas_;
    bool transparent_ = false;
    TColor transparentColor_ = clDefault;
    TTransparentMode transparentMode_ = tmAuto;
};

using TGraphic = TBitmap;  // the only kind of graphic this system draws
