#include "platform/drawing/TBrush.h"

TBrush::~TBrush()
{
    if (handle_)
        DeleteObject(handle_);
}

void TBrush::Changed()
{
    ++version_;
    if (!handle_)
        return;
    if (onChange_)
        onChange_();
    DeleteObject(handle_);
    handle_ = nullptr;
}

void TBrush::SetColor(TColor color)
{
    if (color == color_ && style_ == bsSolid)
        return;
    color_ = color;
    style_ = bsSolid;
    Changed();
}

void TBrush::SetStyle(TBrushStyle style)
{
    if (style == style_)
        return;
    style_ = style;
    Changed();
}

HBRUSH TBrush::Handle()
{
    if (style_ == bsClear)
        return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    if (!handle_)
        handle_ = CreateSolidBrush(ColorToRGB(color_));
    return handle_;
}

void TBrush::Assign(const TBrush* source)
{
    if (!source || source == this)
        return;
    color_ = source->color_;
    style_ = source->style_;
    Changed();
}
