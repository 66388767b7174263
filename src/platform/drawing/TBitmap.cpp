#include "platform/drawing/TBitmap.h"

#include <cstring>

#include "platform/system/Exception.h"
#include "platform/drawing/GdiInternal.h"
#include "platform/drawing/TCanvas.h"

namespace {

int BitsOf(TPixelFormat format)
{
    switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf24bit: return 24;
    default: return 32;
    }
}

std::vector<std::uint32_t> DefaultPalette(int bits)
{
    if (bits == 1)
        return {0x000000, 0xFFFFFF};
    if (bits == 4)
        return {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    std::vector<std::uint32_t> cube(256);
    for (std::uint32_t i = 0; i < 256; ++i) {
        const std::uint32_t r = ((i >> 5) & 7) * 255 / 7, g = ((i >> 2) & 7) * 255 / 7, b = (i & 3) * 255 / 3;
        cube[i] = (r << 16) | (g << 8) | b;
    }
    return cube;
}

// Copies the top-left w x h pixels of one bitmap onto another (GDI's format conversion rules).
void CopyPixels(HBITMAP from, HBITMAP to, int w, int h)
{
    HDC src = CreateCompatibleDC(nullptr);
    HDC dst = CreateCompatibleDC(nullptr);
    HGDIOBJ oldSrc = SelectObject(src, from);
    HGDIOBJ oldDst = SelectObject(dst, to);
    BitBlt(dst, 0, 0, w, h, src, 0, 0, SRCCOPY);
    SelectObject(src, oldSrc);
    SelectObject(dst, oldDst);
    DeleteDC(src);
    DeleteDC(dst);
}

// An exact, independent copy of a bitmap: same storage, pixels and colour table.
HBITMAP Duplicate(HBITMAP handle)
{
    const gdi::Bitmap* b = gdi::ToBitmap(handle);
    if (!b)
        return nullptr;
    std::unique_ptr<gdi::Bitmap> copy;
    switch (b->storage) {
    case gdi::Storage::Color: copy = gdi::NewColorBitmap(b->width, b->height); break;
    case gdi::Storage::Mono: copy = gdi::NewMonoBitmap(b->width, b->height); break;
    case gdi::Storage::Dib: copy = gdi::NewDibBitmap(b->width, b->height, b->topDown, b->bpp, b->palette); break;
    }
    if (!copy)
        return nullptr;
    if (b->storage == gdi::Storage::Dib)
        std::memcpy(copy->bits, b->bits, size_t(b->stride * b->height));
    else
        copy->image = b->image.copy();
    return gdi::Register(std::move(copy));
}

}  // namespace

TBitmap::TBitmap() = default;

TBitmap::~TBitmap()
{
    if (canvas_)
        canvas_->SetHandle(nullptr);
    if (dc_)
        DeleteDC(dc_);
    if (handle_)
        DeleteObject(handle_);
}

HBITMAP TBitmap::MakeHandle(int width, int height) const
{
    HBITMAP h = nullptr;
    if (handleType_ == bmDDB) {
        h = CreateCompatibleBitmap(nullptr, width, height);
    } else {
        const int bits = BitsOf(pixelFormat_);
        const std::vector<std::uint32_t> palette = bits <= 8 ? DefaultPalette(bits) : std::vector<std::uint32_t>{};
        if (auto b = gdi::NewDibBitmap(width, height, false, bits, palette))
            h = gdi::Register(std::move(b));
    }
    if (!h)
        throw Exception("Out of system resources");
    return h;
}

void TBitmap::Replace(HBITMAP handle)
{
    if (handle == handle_)
        return;
    HBITMAP old = handle_;
    handle_ = handle;
    if (dc_) {
        // The context keeps the first bitmap it was given while it holds none of ours.
        HGDIOBJ previous = SelectObject(dc_, handle ? static_cast<HGDIOBJ>(handle) : stockBitmap_);
        if (!stockBitmap_ && previous != old)
            stockBitmap_ = previous;
    }
    if (old)
        DeleteObject(old);
}

HDC TBitmap::CanvasHandle()
{
    if (!dc_) {
        dc_ = CreateCompatibleDC(nullptr);
        if (handle_)
            stockBitmap_ = SelectObject(dc_, handle_);
    }
    return dc_;
}

TCanvas* TBitmap::Canvas()
{
    if (!canvas_)
        canvas_ = std::make_unique<TCanvas>([this] { return CanvasHandle(); });
    return canvas_.get();
}

void TBitmap::SetSize(int width, int height)
{
    if (width <= 0 || height <= 0) {
        Replace(nullptr);
        width_ = height_ = 0;
        return;
    }
    if (width == width_ && height == height_ && handle_)
        return;
    HBITMAP fresh = MakeHandle(width, height);
    {
        // New pixels take the brush colour; the old picture stays at the top left.
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, fresh);
        HBRUSH brush = CreateSolidBrush(ColorToRGB(canvas_ ? canvas_->Brush()->Color() : clWhite));
        const RECT all{0, 0, width, height};
        ::FillRect(dc, &all, brush);
        DeleteObject(brush);
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    if (handle_)
        CopyPixels(handle_, fresh, std::min(width, width_), std::min(height, height_));
    Replace(fresh);
    width_ = width;
    height_ = height;
}

void TBitmap::SetHandleType(TBitmapHandleType type)
{
    if (type == handleType_)
        return;
    handleType_ = type;
    pixelFormat_ = type == bmDDB ? pfDevice : pf32bit;
    if (handle_) {
        HBITMAP fresh = MakeHandle(width_, height_);
        CopyPixels(handle_, fresh, width_, height_);
        Replace(fresh);
    }
}

void TBitmap::SetPixelFormat(TPixelFormat format)
{
    if (format == pixelFormat_ || format == pf15bit || format == pf16bit || format == pfCustom)
        return;
    pixelFormat_ = format;
    handleType_ = format == pfDevice ? bmDDB : bmDIB;
    if (handle_) {
        HBITMAP fresh = MakeHandle(width_, height_);
        CopyPixels(handle_, fresh, width_, height_);
        Replace(fresh);
    }
}

bool TBitmap::Monochrome() const
{
    const gdi::Bitmap* b = gdi::ToBitmap(handle_);
    return b && (b->storage == gdi::Storage::Mono || (b->storage == gdi::Storage::Dib && b->bpp == 1));
}

HBITMAP TBitmap::Handle() { return handle_; }

void TBitmap::SetHandle(HBITMAP handle)
{
    if (handle == handle_)
        return;
    BITMAP bm;
    if (handle && GetObject(handle, sizeof bm, &bm) != int(sizeof bm))
        return;
    Replace(handle);
    if (!handle) {
        width_ = height_ = 0;
        return;
    }
    width_ = bm.bmWidth;
    height_ = bm.bmHeight;
    if (bm.bmBits) {
        handleType_ = bmDIB;
        switch (bm.bmBitsPixel) {
        case 1: pixelFormat_ = pf1bit; break;
        case 4: pixelFormat_ = pf4bit; break;
        case 8: pixelFormat_ = pf8bit; break;
        case 24: pixelFormat_ = pf24bit; break;
        default: pixelFormat_ = pf32bit; break;
        }
    } else {
        handleType_ = bmDDB;
        pixelFormat_ = pfDevice;
    }
}

HBITMAP TBitmap::ReleaseHandle()
{
    HBITMAP handle = handle_;
    if (dc_ && handle)
        SelectObject(dc_, stockBitmap_);
    handle_ = nullptr;
    width_ = height_ = 0;
    return handle;
}

void TBitmap::Assign(const TBitmap* source)
{
    if (source == this)
        return;
    if (!source || !source->handle_) {
        SetSize(0, 0);
        if (source) {
            handleType_ = source->handleType_;
            pixelFormat_ = source->pixelFormat_;
        }
    } else {
        HBITMAP copy = Duplicate(source->handle_);
        if (!copy)
            throw Exception("Out of system resources");
        SetHandle(copy);
        handleType_ = source->handleType_;
        pixelFormat_ = source->pixelFormat_;
    }
    if (source) {
        transparent_ = source->transparent_;
        transparentColor_ = source->transparentColor_;
        transparentMode_ = source->transparentMode_;
    }
}

TColor TBitmap::TransparentColor()
{
    if (transparentMode_ == tmFixed && transparentColor_ != clDefault)
        return transparentColor_;
    if (Empty())
        return clDefault;
    return Canvas()->Pixels(0, height_ - 1);
}

void TBitmap::SetTransparentColor(TColor color)
{
    transparentColor_ = color;
    transparentMode_ = color == clDefault ? tmAuto : tmFixed;
}
