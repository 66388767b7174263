#include "platform/ui/TPanel.h"

#include <algorithm>

#include "platform/drawing/TCanvas.h"

TPanel::TPanel(TControl* owner) : TWinControl(owner)
{
    SetControlStyle(ControlStyle() | csAcceptsControls | csOpaque | csSetCaption);
    SetBounds(0, 0, 185, 41);
}

TPanel::~TPanel() = default;

void TPanel::SetAlignment(TAlignment alignment)
{
    if (alignment == alignment_)
        return;
    alignment_ = alignment;
    Invalidate();
}

void TPanel::SetBevelOuter(TBevelCut bevel)
{
    if (bevel == bevelOuter_)
        return;
    bevelOuter_ = bevel;
    Invalidate();
}

void TPanel::SetBevelInner(TBevelCut bevel)
{
    if (bevel == bevelInner_)
        return;
    bevelInner_ = bevel;
    Invalidate();
}

void TPanel::SetBevelWidth(int width)
{
    width = std::max(width, 1);
    if (width == bevelWidth_)
        return;
    bevelWidth_ = width;
    Invalidate();
}

void TPanel::Paint()
{
    TCanvas* canvas = ControlCanvas();
    TRect r = ClientRect();
    auto frame = [&](TBevelCut bevel) {
        if (bevel == bvNone)
            return;
        const TColor topLeft = bevel == bvLowered ? clBtnShadow : clBtnHighlight;
        const TColor bottomRight = bevel == bvLowered ? clBtnHighlight : clBtnShadow;
        for (int i = 0; i < bevelWidth_ && r.Width() > 1 && r.Height() > 1; ++i) {
            if (bevel != bvSpace) {
                canvas->Brush()->SetColor(topLeft);
                canvas->FillRect(TRect(r.left, r.top, r.right, r.top + 1));
                canvas->FillRect(TRect(r.left, r.top, r.left + 1, r.bottom));
                canvas->Brush()->SetColor(bottomRight);
                canvas->FillRect(TRect(r.left, r.bottom - 1, r.right, r.bottom));
                canvas->FillRect(TRect(r.right - 1, r.top, r.right, r.bottom));
            }
            r = TRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
        }
    };
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(ClientRect());
    frame(bevelOuter_);
    frame(bevelInner_);
    if (Caption().empty())
        return;
    canvas->SetFont(Font());
    canvas->Brush()->SetStyle(bsClear);
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
    format |= alignment_ == taLeftJustify ? DT_LEFT : alignment_ == taRightJustify ? DT_RIGHT : DT_CENTER;
    RECT text = r;
    DrawText(canvas->Handle(), Caption().c_str(), int(Caption().size()), &text, format);
}
