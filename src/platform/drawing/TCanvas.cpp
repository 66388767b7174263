#include "platform/drawing/TCanvas.h"

#include "platform/system/Exception.h"
#include "platform/drawing/TBitmap.h"

TCanvas::TCanvas() : TCanvas(std::function<HDC()>()) {}

TCanvas::TCanvas(std::function<HDC()> handleNeeded) : handleNeeded_(std::move(handleNeeded))
{
    // A font, brush or pen frees its handle when it changes: the context must let go of it first.
    font_.SetOnChange([this] {
        if (hdc_ && appliedTo_ == hdc_)
            SelectObject(hdc_, GetStockObject(SYSTEM_FONT));
        fontVersion_ = 0;
    });
    brush_.SetOnChange([this] {
        if (hdc_ && appliedTo_ == hdc_)
            SelectObject(hdc_, GetStockObject(WHITE_BRUSH));
        brushVersion_ = 0;
    });
    pen_.SetOnChange([this] {
        if (hdc_ && appliedTo_ == hdc_)
            SelectObject(hdc_, GetStockObject(BLACK_PEN));
        penVersion_ = 0;
    });
}

TCanvas::~TCanvas()
{
    ReleaseObjects();
    font_.SetOnChange(nullptr);
    brush_.SetOnChange(nullptr);
    pen_.SetOnChange(nullptr);
}

void TCanvas::ReleaseObjects()
{
    if (hdc_ && appliedTo_ == hdc_) {
        SelectObject(hdc_, GetStockObject(SYSTEM_FONT));
        SelectObject(hdc_, GetStockObject(WHITE_BRUSH));
        SelectObject(hdc_, GetStockObject(BLACK_PEN));
    }
    appliedTo_ = nullptr;
    fontVersion_ = brushVersion_ = penVersion_ = 0;
}

HDC TCanvas::Handle()
{
    if (!hdc_ && handleNeeded_)
        hdc_ = handleNeeded_();
    ApplyState();
    return hdc_;
}

void TCanvas::SetHandle(HDC hdc)
{
    if (hdc == hdc_)
        return;
    ReleaseObjects();
    hdc_ = hdc;
}

HDC TCanvas::RequireHandle()
{
    HDC hdc = Handle();
    if (!hdc)
        throw Exception("Canvas does not allow drawing");
    return hdc;
}

void TCanvas::ApplyState()
{
    if (!hdc_)
        return;
    if (appliedTo_ != hdc_) {
        appliedTo_ = hdc_;
        fontVersion_ = brushVersion_ = penVersion_ = 0;
    }
    if (fontVersion_ != font_.Version()) {
        SelectObject(hdc_, font_.Handle());
        SetTextColor(hdc_, ColorToRGB(font_.Color()));
        fontVersion_ = font_.Version();
    }
    if (brushVersion_ != brush_.Version()) {
        SelectObject(hdc_, brush_.Handle());
        if (brush_.Style() == bsClear) {
            SetBkMode(hdc_, TRANSPARENT);
        } else {
            SetBkColor(hdc_, ColorToRGB(brush_.Color()));
            SetBkMode(hdc_, OPAQUE);
        }
        brushVersion_ = brush_.Version();
    }
    if (penVersion_ != pen_.Version()) {
        SelectObject(hdc_, pen_.Handle());
        penVersion_ = pen_.Version();
    }
}

void TCanvas::Draw(int x, int y, TGraphic* graphic)
{
    if (!graphic || graphic->Empty())
        return;
    StretchDraw(TRect(x, y, x + graphic->Width(), y + graphic->Height()), graphic);
}

void TCanvas::StretchDraw(const TRect& dest, TGraphic* graphic)
{
    if (!graphic || graphic->Empty())
        return;
    HDC hdc = RequireHandle();
    const int w = graphic->Width(), h = graphic->Height();
    // Scaled colour pictures drop pixels rather than AND them together (which would darken them).
    if (!graphic->Monochrome())
        SetStretchBltMode(hdc, COLORONCOLOR);
    if (graphic->Transparent()) {
        const COLORREF key = ColorToRGB(graphic->TransparentColor());
        TransparentBlt(hdc, dest.left, dest.top, dest.Width(), dest.Height(), graphic->Canvas()->Handle(), 0, 0, w, h,
                       key);
    } else {
        StretchBlt(hdc, dest.left, dest.top, dest.Width(), dest.Height(), graphic->Canvas()->Handle(), 0, 0, w, h,
                   copyMode_);
    }
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* source, const TRect& sourceRect)
{
    HDC hdc = RequireHandle();
    if (!source)
        return;
    StretchBlt(hdc, dest.left, dest.top, dest.Width(), dest.Height(), source->RequireHandle(), sourceRect.left,
               sourceRect.top, sourceRect.Width(), sourceRect.Height(), copyMode_);
}

void TCanvas::FillRect(const TRect& rect)
{
    HDC hdc = RequireHandle();
    ::FillRect(hdc, &rect, brush_.Handle());
}

void TCanvas::FrameRect(const TRect& rect)
{
    HDC hdc = RequireHandle();
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    HBRUSH brush = brush_.Handle();
    const TRect edges[4] = {{rect.left, rect.top, rect.right, rect.top + 1},
                            {rect.left, rect.bottom - 1, rect.right, rect.bottom},
                            {rect.left, rect.top, rect.left + 1, rect.bottom},
                            {rect.right - 1, rect.top, rect.right, rect.bottom}};
    for (const TRect& e : edges)
        ::FillRect(hdc, &e, brush);
}

void TCanvas::Rectangle(int left, int top, int right, int bottom)
{
    ::Rectangle(RequireHandle(), left, top, right, bottom);
}

void TCanvas::Ellipse(int left, int top, int right, int bottom)
{
    ::Ellipse(RequireHandle(), left, top, right, bottom);
}

void TCanvas::TextOut(int x, int y, const std::string& text)
{
    ::TextOut(RequireHandle(), x, y, text.data(), int(text.size()));
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const std::string& text)
{
    HDC hdc = RequireHandle();
    UINT options = ETO_CLIPPED;
    if (brush_.Style() != bsClear)
        options |= ETO_OPAQUE;
    ::ExtTextOut(hdc, x, y, options, &rect, text.data(), UINT(text.size()), nullptr);
}

SIZE TCanvas::TextExtent(const std::string& text)
{
    SIZE size;
    GetTextExtentPoint32(RequireHandle(), text.data(), int(text.size()), &size);
    return size;
}

TColor TCanvas::Pixels(int x, int y)
{
    const COLORREF c = GetPixel(RequireHandle(), x, y);
    return c == CLR_INVALID ? TColor(-1) : TColor(c);
}

void TCanvas::SetPixels(int x, int y, TColor color)
{
    SetPixel(RequireHandle(), x, y, ColorToRGB(color));
}

TRect TCanvas::ClipRect()
{
    RECT box;
    GetClipBox(RequireHandle(), &box);
    return TRect(box);
}
