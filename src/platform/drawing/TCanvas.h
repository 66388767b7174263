#pragma once
// The class library's canvas: a device context with a font, a brush and a pen, and drawing in the
// class library's terms. GUI thread only. Drawing without a device context throws
// Exception "Canvas does not allow drawing".
//
// The canvas selects its font, brush and pen into the context whenever they changed, before each
// drawing call and when Handle() is read: the brush sets the background colour and mode (clear
// brush: TRANSPARENT, else OPAQUE with the brush colour), the font the text colour. A background
// mode set directly on Handle() therefore holds until the brush changes.
#include <functional>
#include <memory>
#include <string>

#include "platform/drawing/Gdi.h"
#include "platform/drawing/TBrush.h"
#include "platform/drawing/TColor.h"
#include "platform/drawing/TFont.h"
#include "platform/drawing/TPen.h"
#include "platform/drawing/TRect.h"

class TBitmap;
using TGraphic = TBitmap;  // the only kind of graphic this system draws

class TCanvas {
public:
    TCanvas();
    // handleNeeded makes the device context the first time it is wanted (a bitmap's canvas).
    explicit TCanvas(std::function<HDC()> handleNeeded);
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // The device context (not owned by the canvas); null when there is none.
    [[nodiscard]] HDC Handle();
    // Uses hdc from now on (null to detach); the caller keeps ownership.
    void SetHandle(HDC hdc);
    [[nodiscard]] bool HandleAllocated() const { return hdc_ != nullptr; }

    // Owned by the canvas; the setters copy the attributes of the given object.
    [[nodiscard]] TFont* Font() { return &font_; }
    void SetFont(const TFont* font) { font_.Assign(font); }
    [[nodiscard]] TBrush* Brush() { return &brush_; }
    void SetBrush(const TBrush* brush) { brush_.Assign(brush); }
    [[nodiscard]] TPen* Pen() { return &pen_; }
    void SetPen(const TPen* pen) { pen_.Assign(pen); }
    // Raster operation of Draw, StretchDraw and CopyRect (SRCCOPY at first).
    [[nodiscard]] DWORD CopyMode() const { return copyMode_; }
    void SetCopyMode(DWORD rop) { copyMode_ = rop; }

    // Draws the graphic at its own size; a bitmap marked transparent leaves out its transparent
    // colour. A null or empty graphic draws nothing. Both leave the context in COLORONCOLOR
    // stretch mode for a colour bitmap, as the class library does.
    void Draw(int x, int y, TGraphic* graphic);
    void StretchDraw(const TRect& dest, TGraphic* graphic);
    // Copies source's rectangle onto dest (stretching when the sizes differ) with CopyMode.
    void CopyRect(const TRect& dest, TCanvas* source, const TRect& sourceRect);
    void FillRect(const TRect& rect);
    void FrameRect(const TRect& rect);  // one-pixel frame in the brush colour
    void Rectangle(int left, int top, int right, int bottom);
    void Rectangle(const TRect& rect) { Rectangle(rect.left, rect.top, rect.right, rect.bottom); }
    void Ellipse(int left, int top, int right, int bottom);
    void Ellipse(const TRect& rect) { Ellipse(rect.left, rect.top, rect.right, rect.bottom); }
    // Text with its cell's top-left corner at (x, y).
    void TextOut(int x, int y, const std::string& text);
    // Text at (x, y) clipped to rect; the rectangle is filled with the brush unless it is clear.
    void TextRect(const TRect& rect, int x, int y, const std::string& text);
    [[nodiscard]] SIZE TextExtent(const std::string& text);
    [[nodiscard]] int TextWidth(const std::string& text) { return TextExtent(text).cx; }
    [[nodiscard]] int TextHeight(const std::string& text) { return TextExtent(text).cy; }
    // Outside the drawable area Pixels reads -1 (CLR_INVALID) and writing does nothing.
    [[nodiscard]] TColor Pixels(int x, int y);
    void SetPixels(int x, int y, TColor color);
    [[nodiscard]] TRect ClipRect();

private:
    HDC RequireHandle();
    void ApplyState();
    void ReleaseObjects();

    std::function<HDC()> handleNeeded_;
    HDC hdc_ = nullptr;
    TFont font_;
    TBrush brush_;
    TPen pen_;
    DWORD copyMode_ = SRCCOPY;
    // What was last selected into hdc_, so changes are applied once.
    HDC appliedTo_ = nullptr;
    std::uint64_t fontVersion_ = 0;
    std::uint64_t brushVersion_ = 0;
    std::uint64_t penVersion_ = 0;
};
