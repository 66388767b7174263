#include "platform/ui/TLabel.h"

#include "platform/drawing/TCanvas.h"
#include "platform/drawing/TFont.h"
#include "platform/ui/TWinControl.h"

TLabel::TLabel(TControl* owner) : TControl(owner)
{
    SetControlStyle(ControlStyle() & ~TControlStyle(csOpaque));
    SetBounds(0, 0, 65, 17);
}

TLabel::~TLabel() = default;

void TLabel::SetAlignment(TAlignment alignment)
{
    if (alignment == alignment_)
        return;
    alignment_ = alignment;
    Invalidate();
}

void TLabel::SetTransparent(bool transparent)
{
    if (transparent == transparent_)
        return;
    transparent_ = transparent;
    Invalidate();
}

void TLabel::SetWordWrap(bool wordWrap)
{
    if (wordWrap == wordWrap_)
        return;
    wordWrap_ = wordWrap;
    AdjustBounds();
    Invalidate();
}

void TLabel::SetAutoSize(bool autoSize)
{
    if (autoSize == autoSize_)
        return;
    autoSize_ = autoSize;
    AdjustBounds();
}

UINT TLabel::TextFormat() const
{
    UINT format = DT_EXPANDTABS | DT_NOPREFIX;
    if (wordWrap_)
        format |= DT_WORDBREAK;
    format |= alignment_ == taRightJustify ? DT_RIGHT : alignment_ == taCenter ? DT_CENTER : DT_LEFT;
    return format;
}

void TLabel::AdjustBounds()
{
    if (!autoSize_)
        return;
    TCanvas* canvas = ControlCanvas();
    canvas->SetFont(Font());
    // An empty caption measures as one blank so the label keeps a line's height.
    const std::string text = Caption().empty() ? std::string(" ") : Caption();
    RECT r{0, 0, wordWrap_ ? Width() : 0, 0};
    DrawText(canvas->Handle(), text.c_str(), int(text.size()), &r, TextFormat() | DT_CALCRECT);
    SetBounds(Left(), Top(), wordWrap_ ? Width() : r.right, r.bottom);
}

void TLabel::Paint()
{
    AdjustBounds();
    TCanvas* canvas = ControlCanvas();
    if (transparent_ && Parent()) {
        // The parent's canvas holds what it painted beneath the label.
        TCanvas* below = Parent()->Canvas();
        canvas->CopyRect(ClientRect(), below, BoundsRect());
    } else {
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(ClientRect());
    }
    canvas->SetFont(Font());
    canvas->Brush()->SetStyle(bsClear);
    RECT r = ClientRect();
    DrawText(canvas->Handle(), Caption().c_str(), int(Caption().size()), &r, TextFormat());
}
