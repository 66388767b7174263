#include "sprite/TASpriteInstance.h"

#include "sprite/TASprite.h"

TASpriteInstance::TInstUpdate::TInstUpdate(TASpriteInstance* instance)
    : instance_(instance),
      frame_(instance->frame_),
      alpha_(instance->alpha_),
      width_(instance->GetWidth()),
      height_(instance->GetHeight())
{
}

TASpriteInstance::TInstUpdate::~TInstUpdate()
{
    TASpriteInstance* i = instance_;
    if (i->frame_ != frame_ || i->alpha_ != alpha_)
        i->changed_ = true;
    if (i->changed_)
        i->moved_ = i->moved_ || i->owner_->NeedsRestore(i) || i->GetWidth() < width_ || i->GetHeight() < height_;
}

TASpriteInstance::TASpriteInstance(TASprite* owner)
    : frameCache_(std::size_t(owner ? owner->GetFrameCount() : 0)), owner_(owner)
{
}

TASpriteInstance::~TASpriteInstance() = default;

bool TASpriteInstance::Update(std::int32_t time)
{
    if (active_)
        owner_->UpdateInstance(this, time);
    return changed_;
}

bool TASpriteInstance::Draw(TCanvas* canvas, int x, int y)
{
    changed_ = false;
    if (!visible_)
        return false;
    owner_->DrawInstance(canvas, this, x, y);
    return true;
}

void TASpriteInstance::SetVisible(bool visible)
{
    if (visible == visible_)
        return;
    visible_ = visible;
    changed_ = true;
    if (!visible)
        moved_ = true;
}

int TASpriteInstance::ClipCentreX() const { return clip_ ? (clip_->left + clip_->right) / 2 : 0; }
int TASpriteInstance::ClipCentreY() const { return clip_ ? (clip_->top + clip_->bottom) / 2 : 0; }

float TASpriteInstance::GetX() const { return x_ + float(ClipCentreX()); }
float TASpriteInstance::GetY() const { return y_ + float(ClipCentreY()); }

void TASpriteInstance::SetX(float x)
{
    const float stored = x - float(ClipCentreX());
    if (stored == x_)
        return;
    x_ = stored;
    moved_ = changed_ = true;
    if (cacheFrames_)
        ClearFrameCache();
}

void TASpriteInstance::SetY(float y)
{
    const float stored = y - float(ClipCentreY());
    if (stored == y_)
        return;
    y_ = stored;
    moved_ = changed_ = true;
    if (cacheFrames_)
        ClearFrameCache();
}

int TASpriteInstance::GetWidth() const
{
    const int w = owner_->GetFrameWidth(frame_);
    if (!clip_)
        return w;
    return (w == 0 || owner_->GetFrameHeight(frame_) == 0) ? 0 : clip_->Width();
}

int TASpriteInstance::GetHeight() const
{
    const int h = owner_->GetFrameHeight(frame_);
    if (!clip_)
        return h;
    return (h == 0 || owner_->GetFrameWidth(frame_) == 0) ? 0 : clip_->Height();
}

void TASpriteInstance::SetAlpha(std::int32_t alpha)
{
    if (alpha == alpha_)
        return;
    alpha_ = alpha;
    moved_ = changed_ = true;
    ClearFrameCache();
}

void TASpriteInstance::SetClipRect(const TRect* clip)
{
    if (clip)
        clip_ = std::make_unique<TRect>(*clip);
    else
        clip_.reset();
    moved_ = changed_ = true;
    ClearFrameCache();
}

void TASpriteInstance::SetCacheFrames(bool cache)
{
    cacheFrames_ = cache;
    if (!cache)
        ClearFrameCache();
}

void TASpriteInstance::ClearFrameCache()
{
    for (auto& slot : frameCache_) {
        if (!slot)
            continue;
        // The frame will be drawn afresh, which may look different from the stored composition.
        slot.reset();
        moved_ = changed_ = true;
    }
}

TBitmap* TASpriteInstance::CachedFrame(int i) const
{
    if (i < 0 || std::size_t(i) >= frameCache_.size())
        return nullptr;
    return frameCache_[std::size_t(i)].get();
}

void TASpriteInstance::StoreCachedFrame(int i, std::unique_ptr<TBitmap> bitmap)
{
    if (i < 0)
        return;
    // Frames added to the sprite after this instance was made have no slot yet.
    if (std::size_t(i) >= frameCache_.size())
        frameCache_.resize(std::size_t(i) + 1);
    frameCache_[std::size_t(i)] = std::move(bitmap);
}

int TASpriteInstance::SetAnimation(const std::string& name) { return owner_->SetInstanceAnimation(this, name); }

void TASpriteInstance::StartAnimation(std::int32_t time) { owner_->StartInstanceAnimation(this, time); }
