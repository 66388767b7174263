#include "platform/drawing/TFont.h"

#include <algorithm>
#include <cstring>

TFont::~TFont()
{
    if (handle_)
        DeleteObject(handle_);
}

void TFont::Changed(bool handleToo)
{
    ++version_;
    if (!handleToo || !handle_)
        return;
    if (onChange_)
        onChange_();
    DeleteObject(handle_);
    handle_ = nullptr;
}

void TFont::SetName(const std::string& name)
{
    if (name.empty() || name == name_)
        return;
    name_ = name;
    Changed(true);
}

// Rounded as the system's MulDiv does: halves away from zero.
static int MulDiv(int a, int b, int c)
{
    const long long p = static_cast<long long>(a) * b;
    const long long q = (p >= 0 ? p + c / 2 : p - c / 2) / c;
    return static_cast<int>(std::clamp<long long>(q, INT32_MIN, INT32_MAX));
}

int TFont::Size() const { return -MulDiv(height_, 72, 96); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, 96, 72)); }

void TFont::SetHeight(int height)
{
    if (height == height_)
        return;
    height_ = height;
    Changed(true);
}

void TFont::SetColor(TColor color)
{
    if (color == color_)
        return;
    color_ = color;
    Changed(false);
}

void TFont::SetStyle(TFontStyles style)
{
    style &= fsBold | fsItalic | fsUnderline | fsStrikeOut;
    if (style == style_)
        return;
    style_ = style;
    Changed(true);
}

void TFont::SetQuality(BYTE quality)
{
    if (quality == quality_)
        return;
    quality_ = quality;
    Changed(true);
}

HFONT TFont::Handle()
{
    if (!handle_) {
        LOGFONT lf;
        lf.lfHeight = height_;
        lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (style_ & fsItalic) ? 1 : 0;
        lf.lfUnderline = (style_ & fsUnderline) ? 1 : 0;
        lf.lfStrikeOut = (style_ & fsStrikeOut) ? 1 : 0;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = quality_;
        std::strncpy(lf.lfFaceName, name_.c_str(), LF_FACESIZE - 1);
        handle_ = CreateFontIndirect(&lf);
    }
    return handle_;
}

void TFont::SetHandle(HFONT handle)
{
    LOGFONT lf;
    if (!handle || handle == handle_ || GetObject(handle, sizeof lf, &lf) != int(sizeof lf))
        return;
    if (handle_) {
        if (onChange_)
            onChange_();
        DeleteObject(handle_);
    }
    handle_ = handle;
    lf.lfFaceName[LF_FACESIZE - 1] = '\0';
    if (lf.lfFaceName[0])
        name_ = lf.lfFaceName;
    height_ = lf.lfHeight;
    style_ = (lf.lfWeight >= FW_BOLD ? unsigned(fsBold) : 0u) | (lf.lfItalic ? unsigned(fsItalic) : 0u) |
             (lf.lfUnderline ? unsigned(fsUnderline) : 0u) | (lf.lfStrikeOut ? unsigned(fsStrikeOut) : 0u);
    quality_ = lf.lfQuality;
    ++version_;
}

void TFont::Assign(const TFont* source)
{
    if (!source || source == this)
        return;
    const bool handleToo = source->name_ != name_ || source->height_ != height_ || source->style_ != style_ ||
                           source->quality_ != quality_;
    name_ = source->name_;
    height_ = source->height_;
    style_ = source->style_;
    quality_ = source->quality_;
    color_ = source->color_;
    Changed(handleToo);
}
