// Regions, and the clip region of a device context.
#include <algorithm>
#include <utility>

#include "platform/drawing/GdiInternal.h"

namespace gdi {
namespace {

int RegionKind(const QRegion& region)
{
    if (region.isEmpty())
        return NULLREGION;
    return region.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// Corners in any order; coordinates are cut to +-2^29 so that region arithmetic stays inside int.
QRect FromRect(int left, int top, int right, int bottom)
{
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    constexpr int limit = 1 << 29;
    left = std::clamp(left, -limit, limit);
    right = std::clamp(right, -limit, limit);
    top = std::clamp(top, -limit, limit);
    bottom = std::clamp(bottom, -limit, limit);
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace

QRegion Drawable(const DC& dc)
{
    if (!dc.bitmap)
        return {};
    const QRegion whole(0, 0, dc.bitmap->width, dc.bitmap->height);
    return dc.clip ? dc.clip->intersected(whole) : whole;
}

}  // namespace gdi

using namespace gdi;

// Regions -------------------------------------------------------------------------------------

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    auto r = std::make_unique<Region>();
    r->region = QRegion(FromRect(left, top, right, bottom));
    return HandleOf<HRGN>(Track(std::move(r)));
}

HRGN CreateRectRgnIndirect(const RECT* rect)
{
    return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode)
{
    Region* d = ToRegion(dest);
    Region* ra = ToRegion(a);
    Region* rb = mode == RGN_COPY ? ra : ToRegion(b);
    if (!d || !ra || !rb)
        return RGN_ERROR;
    QRegion result;
    switch (mode) {
    case RGN_AND: result = ra->region.intersected(rb->region); break;
    case RGN_OR: result = ra->region.united(rb->region); break;
    case RGN_XOR: result = ra->region.xored(rb->region); break;
    case RGN_DIFF: result = ra->region.subtracted(rb->region); break;
    case RGN_COPY: result = ra->region; break;
    default: return RGN_ERROR;
    }
    d->region = result;
    return RegionKind(result);
}

int GetRgnBox(HRGN region, RECT* box)
{
    Region* r = ToRegion(region);
    if (!r || !box)
        return RGN_ERROR;
    const QRect b = r->region.boundingRect();
    *box = r->region.isEmpty() ? RECT{} : RECT{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
    return RegionKind(r->region);
}

BOOL EqualRgn(HRGN a, HRGN b)
{
    Region* ra = ToRegion(a);
    Region* rb = ToRegion(b);
    return (ra && rb && ra->region == rb->region) ? TRUE : FALSE;
}

BOOL PtInRegion(HRGN region, int x, int y)
{
    Region* r = ToRegion(region);
    return (r && r->region.contains(QPoint(x, y))) ? TRUE : FALSE;
}

int OffsetRgn(HRGN region, int dx, int dy)
{
    Region* r = ToRegion(region);
    if (!r)
        return RGN_ERROR;
    r->region.translate(dx, dy);
    return RegionKind(r->region);
}

// Clipping ------------------------------------------------------------------------------------

int GetClipBox(HDC hdc, RECT* box)
{
    DC* dc = ToDC(hdc);
    if (!dc || !box)
        return RGN_ERROR;
    const QRegion drawable = Drawable(*dc);
    const QRect b = drawable.boundingRect();
    *box = drawable.isEmpty() ? RECT{} : RECT{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
    return RegionKind(drawable);
}

int ExtSelectClipRgn(HDC hdc, HRGN region, int mode)
{
    DC* dc = ToDC(hdc);
    if (!dc)
        return RGN_ERROR;
    if (!region) {
        if (mode != RGN_COPY)
            return RGN_ERROR;
        dc->clip.reset();
        return RegionKind(Drawable(*dc));
    }
    Region* r = ToRegion(region);
    if (!r)
        return RGN_ERROR;
    const QRegion current = dc->clip ? *dc->clip
                                     : QRegion(0, 0, dc->bitmap ? dc->bitmap->width : 0,
                                               dc->bitmap ? dc->bitmap->height : 0);
    switch (mode) {
    case RGN_AND: dc->clip = current.intersected(r->region); break;
    case RGN_OR: dc->clip = current.united(r->region); break;
    case RGN_XOR: dc->clip = current.xored(r->region); break;
    case RGN_DIFF: dc->clip = current.subtracted(r->region); break;
    case RGN_COPY: dc->clip = r->region; break;
    default: return RGN_ERROR;
    }
    return RegionKind(*dc->clip);
}

int SelectClipRgn(HDC hdc, HRGN region) { return ExtSelectClipRgn(hdc, region, RGN_COPY); }

int GetClipRgn(HDC hdc, HRGN region)
{
    DC* dc = ToDC(hdc);
    Region* r = ToRegion(region);
    if (!dc || !r)
        return -1;
    if (!dc->clip)
        return 0;
    r->region = *dc->clip;
    return 1;
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    DC* dc = ToDC(hdc);
    if (!dc)
        return RGN_ERROR;
    const QRegion rect(FromRect(left, top, right, bottom));
    const QRegion current = dc->clip ? *dc->clip
                                     : QRegion(0, 0, dc->bitmap ? dc->bitmap->width : 0,
                                               dc->bitmap ? dc->bitmap->height : 0);
    dc->clip = current.intersected(rect);
    return RegionKind(*dc->clip);
}

BOOL RectVisible(HDC hdc, const RECT* rect)
{
    DC* dc = ToDC(hdc);
    if (!dc || !rect)
        return FALSE;
    const QRect r = FromRect(rect->left, rect->top, rect->right, rect->bottom);
    return (!r.isEmpty() && Drawable(*dc).intersects(r)) ? TRUE : FALSE;
}
