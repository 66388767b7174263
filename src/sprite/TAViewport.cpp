#include "sprite/TAViewport.h"

#include <algorithm>

#include "platform/drawing/TCanvas.h"

namespace {

bool Meets(const TRect& a, const TRect& b)
{
    return a.right > b.left && a.top < b.bottom && a.bottom > b.top && a.left < b.right;
}

bool Contains(const TRect& outer, const TRect& inner)
{
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

bool TooSmall(const TRect& r) { return r.Width() < 2 || r.Height() < 2; }

}  // namespace

TAViewport::~TAViewport()
{
    if (!backgroundOwned_)
        static_cast<void>(background_.release());
}

TRect TAViewport::ClampToView(const TRect& rect) const
{
    const LONG w = LONG(viewWidth_), h = LONG(viewHeight_);
    TRect r = rect;
    r.left = std::clamp(r.left, LONG(0), std::max(w, LONG(0)));
    r.top = std::clamp(r.top, LONG(0), std::max(h, LONG(0)));
    r.right = std::clamp(r.right, LONG(0), std::max(w, LONG(0)));
    r.bottom = std::clamp(r.bottom, LONG(0), std::max(h, LONG(0)));
    return r;
}

bool TAViewport::AddRect(std::vector<TRect>& list, const TRect& clamped)
{
    for (const TRect& entry : list)
        if (Meets(entry, clamped) && Contains(entry, clamped))
            return true;
    list.push_back(clamped);
    return true;
}

bool TAViewport::AddDirtyRect(const TRect& rect)
{
    const TRect r = ClampToView(rect);
    if (TooSmall(r))
        return false;
    return AddRect(dirty_, r);
}

bool TAViewport::AddRestoreRect(const TRect& rect)
{
    const TRect r = ClampToView(rect);
    if (TooSmall(r))
        return false;
    return AddRect(restore_, r);
}

bool TAViewport::IsDirty(const TRect& rect) const
{
    const TRect r = ClampToView(rect);
    if (TooSmall(r))
        return false;
    const auto meets = [&r](const TRect& entry) { return Meets(entry, r); };
    return std::any_of(dirty_.begin(), dirty_.end(), meets) || std::any_of(restore_.begin(), restore_.end(), meets);
}

TCanvas* TAViewport::TargetCanvas() const
{
    TBitmap* bitmap = target_.Bitmap();
    return bitmap ? bitmap->Canvas() : nullptr;
}

void TAViewport::DrawBackground(bool force, TCanvas* canvas)
{
    if (!canvas)
        canvas = TargetCanvas();
    if (!canvas || !background_)
        return;
    HDC dc = canvas->Handle();
    HDC from = background_->Canvas()->Handle();
    if (!force && !backgroundNew_) {
        for (const TRect& r : restore_)
            BitBlt(dc, r.left, r.top, r.Width(), r.Height(), from, r.left, r.top, SRCCOPY);
        return;
    }
    BitBlt(dc, 0, 0, background_->Width(), background_->Height(), from, 0, 0, SRCCOPY);
    restore_.clear();
    backgroundNew_ = false;
}

void TAViewport::SetBackground(const TGraphic* graphic)
{
    if (!backgroundOwned_)
        static_cast<void>(background_.release());
    auto copy = std::make_unique<TBitmap>();
    copy->SetHandleType(bmDDB);
    if (graphic && !graphic->Empty()) {
        copy->SetSize(graphic->Width(), graphic->Height());
        copy->Canvas()->Draw(0, 0, const_cast<TGraphic*>(graphic));
    }
    background_ = std::move(copy);
    backgroundNew_ = true;
    backgroundOwned_ = true;
}
