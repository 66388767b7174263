#include "sprite/TAScene.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <unordered_set>

#include "platform/drawing/TCanvas.h"
#include "sprite/TASprite.h"

namespace {

int Truncate(float v)
{
    if (std::isnan(v))
        return 0;
    return int(std::clamp(double(v), double(INT_MIN), double(INT_MAX)));
}

bool IsEmpty(const TRect& r) { return r.right <= r.left || r.bottom <= r.top; }

bool Meets(const TRect& a, const TRect& b)
{
    return a.right > b.left && a.top < b.bottom && a.bottom > b.top && a.left < b.right;
}

}  // namespace

TAScene::TAScene(TAViewTarget target)
{
    target_ = target;
    if (target_.Exists()) {
        viewWidth_ = float(target_.Width());
        viewHeight_ = float(target_.Height());
        if (TCanvas* canvas = target_.Canvas())
            canvas->SetCopyMode(SRCCOPY);
    }
    SetCacheBackground(false);
}

TAScene::~TAScene()
{
    std::unordered_set<TASpriteInstance*> removed;
    for (TASpriteInstance* instance : instances_) {
        if (!removed.insert(instance).second)
            continue;
        try {
            instance->GetOwner()->RemoveInstance(instance);
        } catch (...) {
            // Already removed by its sprite: nothing is left to free.
        }
    }
}

void TAScene::AddInstance(TASpriteInstance* instance)
{
    if (!instance)
        return;
    instances_.push_back(instance);
    shown_.push_back(Shown{});
    needsRedraw_ = true;
}

TASpriteInstance* TAScene::GetInstance(int index) const
{
    if (index < 0 || index >= GetInstanceCount())
        return nullptr;
    return instances_[std::size_t(index)];
}

void TAScene::Update(std::int32_t time)
{
    dirty_.clear();
    for (TASpriteInstance* instance : instances_) {
        instance->Update(time);
        if (instance->IsChanged())
            needsRedraw_ = true;
        if (instance->IsMoved() && background_ && AddRestoreRect(instance->GetLastDrawnRect()))
            needsRedraw_ = true;
    }
}

TRect TAScene::CurrentRect(const TASpriteInstance* instance) const
{
    if (!instance->IsActive() || !instance->IsVisible())
        return TRect();
    const TRect r = instance->GetOwner()->GetDrawRect(instance, Truncate(instance->GetX() - originX_),
                                                       Truncate(instance->GetY() - originY_));
    return IsEmpty(r) ? TRect() : r;
}

bool TAScene::Pending(std::size_t i, const TRect& current) const
{
    const TASpriteInstance* instance = instances_[i];
    const Shown& shown = shown_[i];
    if (instance->IsChanged() || instance->IsMoved() || !(current == shown.rect))
        return true;
    return !IsEmpty(current) && (instance->GetFrame() != shown.frame || instance->GetAlpha() != shown.alpha);
}

void TAScene::DrawAt(TCanvas* canvas, TASpriteInstance* instance)
{
    instance->Draw(canvas, Truncate(instance->GetX() - originX_), Truncate(instance->GetY() - originY_));
}

void TAScene::Draw(bool force, bool blit)
{
    const std::size_t count = instances_.size();
    std::vector<TRect> current(count);
    for (std::size_t i = 0; i < count; ++i)
        current[i] = CurrentRect(instances_[i]);

    if (!force && !needsRedraw_ && !repaintAll_ && !backgroundNew_ && restore_.empty()) {
        bool pending = false;
        for (std::size_t i = 0; i < count && !pending; ++i)
            pending = Pending(i, current[i]);
        if (!pending)
            return;
    }

    TCanvas* canvas = backBuffer_ ? backBuffer_->Canvas() : TargetCanvas();
    if (target_.Exists()) {
        viewWidth_ = float(target_.Width());
        viewHeight_ = float(target_.Height());
    }
    if (!canvas)
        return;

    if (force || (background_ && (backgroundNew_ || repaintAll_))) {
        TAViewport::DrawBackground(true, canvas);
        for (TASpriteInstance* instance : instances_)
            if (instance->IsActive())
                DrawAt(canvas, instance);
    } else if (!background_) {
        // Nothing to restore from: changed instances are drawn over what the canvas shows.
        for (TASpriteInstance* instance : instances_)
            if (instance->IsChanged() && instance->IsActive())
                DrawAt(canvas, instance);
    } else {
        DrawChanges(canvas, current);
    }

    for (std::size_t i = 0; i < count; ++i) {
        TASpriteInstance* instance = instances_[i];
        instance->SetChanged(false);
        instance->SetMoved(false);
        shown_[i] = Shown{current[i], instance->GetFrame(), instance->GetAlpha()};
    }
    restore_.clear();
    if (cacheBackground_ && !backBuffer_)
        CacheBackground();
    needsRedraw_ = false;
    repaintAll_ = false;

    if (blit && backBuffer_) {
        if (TCanvas* target = TargetCanvas())
            BitBlt(target->Handle(), 0, 0, int(viewWidth_), int(viewHeight_), backBuffer_->Canvas()->Handle(), 0, 0,
                   SRCCOPY);
    }
}

// Every pixel of the damaged area is put back to the background and then covered again by every
// instance that reaches into it, in list order. An instance that reaches in is damaged whole, so
// nothing it draws lands on pixels that still show an earlier drawing of it.
void TAScene::DrawChanges(TCanvas* canvas, const std::vector<TRect>& current)
{
    const std::size_t count = instances_.size();
    std::vector<TRect> damage = restore_;
    for (std::size_t i = 0; i < count; ++i) {
        if (!Pending(i, current[i]))
            continue;
        if (!IsEmpty(shown_[i].rect))
            damage.push_back(shown_[i].rect);
        if (!IsEmpty(current[i]))
            damage.push_back(current[i]);
    }

    std::vector<char> redraw(count, 0);
    for (std::size_t next = 0; next < damage.size(); ++next) {
        const TRect area = damage[next];
        for (std::size_t i = 0; i < count; ++i) {
            if (redraw[i] || IsEmpty(current[i]) || !Meets(current[i], area))
                continue;
            redraw[i] = 1;
            damage.push_back(current[i]);
        }
    }

    restore_.clear();
    for (const TRect& area : damage)
        AddRect(restore_, area);
    TAViewport::DrawBackground(false, canvas);
    for (std::size_t i = 0; i < count; ++i)
        if (redraw[i])
            DrawAt(canvas, instances_[i]);
}

void TAScene::DrawBackground(bool force, TCanvas* canvas)
{
    const bool whole = background_ && (force || backgroundNew_);
    TAViewport::DrawBackground(force, canvas);
    if (whole)
        repaintAll_ = true;
}

void TAScene::SetCacheBackground(bool cache)
{
    cacheBackground_ = cache;
    if (!cache)
        backBuffer_.reset();
}

void TAScene::CacheBackground()
{
    TBitmap* picture = target_.Bitmap();
    if (!picture)
        return;
    const int w = int(viewWidth_), h = int(viewHeight_);
    if (!backBuffer_ || backBuffer_->Width() != w || backBuffer_->Height() != h) {
        backBuffer_ = std::make_unique<TBitmap>();
        backBuffer_->Assign(picture);
        backBuffer_->SetHandleType(bmDDB);
    }
    BitBlt(backBuffer_->Canvas()->Handle(), 0, 0, w, h, picture->Canvas()->Handle(), 0, 0, SRCCOPY);
}
