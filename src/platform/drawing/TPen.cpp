#include "platform/drawing/TPen.h"

TPen::~TPen()
{
    if (handle_)
        DeleteObject(handle_);
}

void TPen::Changed()
{
    ++version_;
    if (!handle_)
        return;
    if (onChange_)
        onChange_();
    DeleteObject(handle_);
    handle_ = nullptr;
}

void TPen::SetColor(TColor color)
{
    if (color == color_)
        return;
    color_ = color;
    Changed();
}

void TPen::SetWidth(int width)
{
    if (width < 1)
        width = 1;
    if (width == width_)
        return;
    width_ = width;
    Changed();
}

void TPen::SetStyle(TPenStyle style)
{
    if (style == style_)
        return;
    style_ = style;
    Changed();
}

HPEN TPen::Handle()
{
    if (!handle_)
        handle_ = CreatePen(style_ == psClear ? PS_NULL : PS_SOLID, width_, ColorToRGB(color_));
    return handle_;
}

void TPen::Assign(const TPen* source)
{
    if (!source || source == this)
        return;
    color_ = source->color_;
    width_ = source->width_;
    style_ = source->style_;
    Changed();
}
