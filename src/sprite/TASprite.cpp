#include "sprite/TASprite.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "image/PixImage.h"
#include "platform/system/Exception.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/drawing/TCanvas.h"
#include "sprite/PicUtils.h"
#include "sprite/SpriteSourcePaths.h"
#include "sprite/Win9xMode.h"

namespace {

std::int32_t Saturate(std::int64_t v) { return std::int32_t(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); }

// Clock position inside an animation, scaled by its speed and truncated.
std::int32_t ScaledTime(std::int32_t time, std::int32_t start, float speed)
{
    const double t = (double(time) - double(start)) * double(speed);
    if (std::isnan(t))
        return 0;
    return Saturate(std::int64_t(std::clamp(t, double(INT32_MIN), double(INT32_MAX))));
}

}  // namespace

TASprite::TASprite(std::string name) : name_(std::move(name)) {}

TASprite::~TASprite() = default;

void TASprite::CheckInstances() const
{
    if (!instances_.empty())
        throw Exception(
            "BUG: Deleting sprite obj while its instances exists!!! Check for properly instances deleting.");
}

int TASprite::AddImage(const TBitmap* bitmap, TColor transparentColor)
{
    std::unique_ptr<TBitmap> frame;
    if (bitmap) {
        frame = std::make_unique<TBitmap>();
        frame->Assign(bitmap);
        frame->SetHandleType(bmDDB);
    }
    transparent_.push_back(bitmap && transparentColor != kNoTransparentColor);
    bitmaps_.push_back(std::move(frame));
    transparentColors_.push_back(transparentColor);
    images_.push_back(nullptr);
    return GetFrameCount() - 1;
}

int TASprite::AddImageFromFile(const std::string& fileName, TColor transparentColor, bool alpha, bool keepImage,
                               TColor colorShift)
{
    if (!FileExists(fileName))
        throw Exception("File not found:" + ResolveFileName(fileName) + " src=" + sprite_source::kASprite +
                        ":TASprite::AddImageFromFile:649");
    const std::string path = ResolveFileName(fileName);
    const auto shift = [colorShift](PixImage& image) {
        if (colorShift != -1)
            image.ShiftRGB(colorShift & 0xFF, (colorShift >> 8) & 0xFF, (colorShift >> 16) & 0xFF);
    };

    if (!alpha && !keepImage) {
        TBitmap temporary;
        {
            PixImage image;
            image.Load(path.c_str(), 0);
            shift(image);
            temporary.SetHandle(image.MakeBitmap(nullptr));
        }
        return AddImage(&temporary, transparentColor);
    }

    auto image = std::make_unique<PixImage>();
    image->Load(path.c_str(), 0);
    if (!image->AlphaIsValid())
        image->AlphaCreate();
    PixImage& frame = *image;
    bitmaps_.push_back(nullptr);
    transparentColors_.push_back(transparentColor);
    images_.push_back(std::move(image));
    transparent_.push_back(true);
    if (transparentColor != kNoTransparentColor) {
        frame.SetTransIndex(0);
        RGBQUAD colour;
        colour.rgbBlue = BYTE(transparentColor >> 16);
        colour.rgbGreen = BYTE(transparentColor >> 8);
        colour.rgbRed = BYTE(transparentColor);
        frame.SetTransColor(colour);
    }
    shift(frame);
    return GetFrameCount() - 1;
}

int TASprite::AddAnimation(const TAnimation& animation)
{
    if (!frameAnimations_)
        frameAnimations_ = std::make_unique<TAnimations>();
    return frameAnimations_->Add(animation);
}

std::string TASprite::GetAnimationName(int index) const
{
    if (!frameAnimations_ || index < 0 || index >= frameAnimations_->GetCount())
        return "Default";
    return (*frameAnimations_)[index].GetName();
}

int TASprite::FindAnimation(const std::string& name) const
{
    if (!frameAnimations_)
        return -1;
    for (int i = 0; i < frameAnimations_->GetCount(); ++i)
        if ((*frameAnimations_)[i].GetName() == name)
            return i;
    return -1;
}

TASpriteInstance* TASprite::CreateInstance()
{
    std::unique_ptr<TASpriteInstance> instance(new TASpriteInstance(this));
    TASpriteInstance* created = instance.get();
    instances_.push_back(std::move(instance));
    created->owner_ = this;
    created->SetVisible(true);
    created->SetActive(true);
    return created;
}

void TASprite::RemoveInstance(TASpriteInstance* instance)
{
    if (instances_.empty())
        throw Exception("TASprite: NO Instance created, cant remove it!");
    auto it = std::find_if(instances_.begin(), instances_.end(),
                           [instance](const auto& held) { return held.get() == instance; });
    if (it == instances_.end())
        throw Exception("TASprite: UNKNOWN inst pointer, cant remove it!");
    instances_.erase(it);
}

void TASprite::InitInstance(TASpriteInstance* instance)
{
    instance->owner_ = this;
    instance->frame_ = 0;
    instance->frameKey_ = 0;
    instance->frameStart_ = 0;
    instance->frameAnimation_ = 0;
    instance->frameSpeed_ = 0;
    if (frameAnimations_ && frameAnimations_->GetCount() > 0)
        instance->frameLoop_ = (*frameAnimations_)[0].GetLoop();
}

void TASprite::ResetInstanceAnimation(TASpriteInstance* instance)
{
    if (!frameAnimations_)
        return;
    const TAnimation& animation = (*frameAnimations_)[instance->frameAnimation_];
    instance->frame_ = animation.GetKey(0).value;
    instance->frameKey_ = 0;
    instance->frameStart_ = 0;
    instance->frameSpeed_ = 0;
}

void TASprite::StartInstanceAnimation(TASpriteInstance* instance, std::int32_t time)
{
    if (!frameAnimations_)
        return;
    const TAnimation& animation = (*frameAnimations_)[instance->frameAnimation_];
    if (animation.GetKeyCount() >= 3) {
        instance->frameSpeed_ = 1.0f;
        instance->frameStart_ = time;
        instance->frameEnd_ = Saturate(std::int64_t(time) + animation.GetDuration());
    } else {
        ResetInstanceAnimation(instance);
    }
}

int TASprite::SetInstanceAnimation(TASpriteInstance* instance, const std::string& name)
{
    const std::int32_t before = instance->frame_;
    InitInstance(instance);
    const int index = FindAnimation(name);
    if (index == -1) {
        // The instance now shows frame 0; a scene must still learn that it changed.
        if (instance->frame_ != before)
            instance->changed_ = true;
        throw Exception("Animation:" + name + "  not found" + " src=" + sprite_source::kASprite +
                        ":TASprite::SetInstanceAnimation:695");
    }
    instance->frameAnimation_ = index;
    ResetInstanceAnimation(instance);
    instance->frameLoop_ = (*frameAnimations_)[index].GetLoop();
    if (instance->frame_ != before)
        instance->changed_ = true;
    return index;
}

int TASprite::GetFrameWidth(int i) const
{
    if (!ValidFrame(i))
        return 0;
    if (const TBitmap* bitmap = bitmaps_[std::size_t(i)].get())
        return std::max(0, bitmap->Width());
    if (const PixImage* image = images_[std::size_t(i)].get())
        return std::max(0, image->GetWidth());
    return 0;
}

int TASprite::GetFrameHeight(int i) const
{
    if (!ValidFrame(i))
        return 0;
    if (const TBitmap* bitmap = bitmaps_[std::size_t(i)].get())
        return std::max(0, bitmap->Height());
    if (const PixImage* image = images_[std::size_t(i)].get())
        return std::max(0, image->GetHeight());
    return 0;
}

bool TASprite::NeedsRestore(const TASpriteInstance* instance) const
{
    const int frame = instance->frame_;
    if (!ValidFrame(frame) || instance->CachedFrame(frame))
        return false;
    return transparent_[std::size_t(frame)];
}

void TASprite::UpdateInstance(TASpriteInstance* instance, std::int32_t time)
{
    TASpriteInstance::TInstUpdate detector(instance);
    if (frameAnimations_ && instance->frameSpeed_ != 0)
        FrameStep(instance, time);
    if (alphaAnimations_ && instance->alphaSpeed_ != 0)
        AlphaStep(instance, time);
}

void TASprite::FrameStep(TASpriteInstance* instance, std::int32_t time)
{
    const TAnimation& animation = (*frameAnimations_)[instance->frameAnimation_];
    if (time < instance->frameStart_) {
        instance->frame_ = animation.GetKey(0).value;
        instance->frameKey_ = 0;
        return;
    }
    if (time >= instance->frameEnd_) {
        const std::int64_t duration = animation.GetDuration();
        if (instance->frameLoop_ && duration > 0) {
            const std::int64_t periods = (std::int64_t(time) - instance->frameStart_) / duration;
            instance->frameStart_ = Saturate(instance->frameStart_ + periods * duration);
            instance->frameEnd_ = Saturate(std::int64_t(instance->frameStart_) + duration);
        } else {
            // A loop without length has nothing to repeat: it ends like a single run.
            instance->frameSpeed_ = 0;
            instance->frameKey_ = animation.GetKeyCount() - 1;
            instance->frame_ = animation.GetKey(instance->frameKey_).value;
        }
    }
    if (instance->frameSpeed_ != 0) {
        const int key = animation.FindKey(ScaledTime(time, instance->frameStart_, instance->frameSpeed_), -1);
        instance->frameKey_ = key;
        instance->frame_ = animation.GetKey(key).value;
    }
}

void TASprite::AlphaStep(TASpriteInstance* instance, std::int32_t time)
{
    const TAnimation& animation = (*alphaAnimations_)[instance->alphaAnimation_];
    if (time < instance->alphaStart_) {
        instance->alpha_ = animation.GetKey(0).value;
        instance->alphaKey_ = 0;
        return;
    }
    if (time >= instance->alphaEnd_) {
        const std::int64_t duration = animation.GetDuration();
        if (instance->alphaLoop_ && duration > 0) {
            const std::int64_t periods = (std::int64_t(time) - instance->alphaStart_) / duration;
            instance->alphaStart_ = Saturate(instance->alphaStart_ + periods * duration);
            instance->alphaEnd_ = Saturate(std::int64_t(instance->alphaStart_) + duration);
        } else {
            instance->alphaSpeed_ = 0;
            instance->alphaKey_ = animation.GetKeyCount() - 1;
            instance->alpha_ = animation.GetKey(instance->alphaKey_).value;
        }
    }
    if (instance->alphaSpeed_ != 0) {
        const int key = animation.FindKeyBefore(ScaledTime(time, instance->alphaStart_, instance->alphaSpeed_), -1);
        instance->alphaKey_ = key;
        std::int64_t alpha = animation.GetKey(key).value;
        const std::int64_t past = std::int64_t(time) - instance->alphaStart_ - animation.GetKey(key).time;
        const std::int64_t span = animation.GetKeyDuration(key);
        if (past >= 1 && span != 0)
            alpha += (animation.GetKey(key + 1).value - alpha) * past / span;
        instance->alpha_ = Saturate(alpha);
    }
}

TASprite::Placement TASprite::Place(const TASpriteInstance* instance, int x, int y) const
{
    Placement place;
    const int w = GetFrameWidth(instance->frame_);
    const int h = GetFrameHeight(instance->frame_);
    if (w == 0 || h == 0) {
        place.kind = Placement::EmptyFrame;
        return place;
    }
    if (const TRect* clip = instance->clip_.get()) {
        const int cw = clip->Width(), ch = clip->Height();
        TRect source(clip->left + w / 2, clip->top + h / 2, clip->left + w / 2 + cw, clip->top + h / 2 + ch);
        place.dest = TRect(x - cw / 2, y - ch / 2, x - cw / 2 + cw, y - ch / 2 + ch);
        source.left = std::max(source.left, 0);
        source.top = std::max(source.top, 0);
        source.right = std::min(source.right, w);
        source.bottom = std::min(source.bottom, h);
        if (source.right <= source.left || source.bottom <= source.top || source.right <= 0 || source.left >= w ||
            source.bottom <= 0 || source.top >= h) {
            place.kind = Placement::ClippedOut;
            return place;
        }
        place.source = source;
    } else {
        place.source = TRect(0, 0, w, h);
        place.dest = TRect(x - w / 2, y - h / 2, x - w / 2 + w, y - h / 2 + h);
    }
    place.kind = Placement::Drawn;
    return place;
}

TRect TASprite::GetDrawRect(const TASpriteInstance* instance, int x, int y) const
{
    const Placement place = Place(instance, x, y);
    if (place.kind != Placement::Drawn)
        return TRect();
    const auto f = std::size_t(instance->frame_);
    if (instance->CachedFrame(instance->frame_) || bitmaps_[f])
        return place.dest;
    if (images_[f] && instance->alpha_ != 255)
        return place.dest;
    return TRect();
}

void TASprite::DrawInstance(TCanvas* canvas, TASpriteInstance* instance, int x, int y)
{
    const Placement place = Place(instance, x, y);
    if (place.kind == Placement::EmptyFrame) {
        instance->lastDrawn_ = TRect();
        return;
    }
    if (place.kind == Placement::ClippedOut)
        return;

    HDC dc = canvas ? canvas->Handle() : nullptr;
    const int frame = instance->frame_;
    const auto f = std::size_t(frame);
    const TRect& source = place.source;
    const TRect& dest = place.dest;
    bool drawn = true;

    if (TBitmap* cached = instance->CachedFrame(frame)) {
        BitBlt(dc, dest.left, dest.top, dest.Width(), dest.Height(), cached->Canvas()->Handle(), 0, 0, SRCCOPY);
        instance->lastDrawn_ = dest;
    } else if (TBitmap* bitmap = bitmaps_[f].get()) {
        const TColor key = transparentColors_[f];
        if (key == kNoTransparentColor)
            BitBlt(dc, dest.left, dest.top, source.Width(), source.Height(), bitmap->Canvas()->Handle(), source.left,
                   source.top, SRCCOPY);
        else if (!Win9xMode)
            TransparentBlt(dc, dest.left, dest.top, source.Width(), source.Height(), bitmap->Canvas()->Handle(),
                           source.left, source.top, source.Width(), source.Height(), ColorToRGB(key));
        else
            DrawTransparentBitmap(dc, short(dest.left), short(dest.top), bitmap->Handle(), short(source.left),
                                  short(source.top), short(source.Width()), short(source.Height()),
                                  ColorToRGB(key));
        instance->lastDrawn_ = dest;
    } else if (PixImage* image = images_[f].get(); image && instance->alpha_ != 255) {
        instance->lastDrawn_ = dest;
        image->AlphaSetMax(std::uint8_t(255 - std::clamp(instance->alpha_, 0, 255)));
        const TRect* clip = instance->clip_.get();
        const int w = GetFrameWidth(frame), h = GetFrameHeight(frame);
        int left = x - w / 2, top = y - h / 2;
        if (clip) {
            left -= (clip->left + clip->right) / 2;
            top -= (clip->top + clip->bottom) / 2;
        }
        if (image->AlphaIsValid() || instance->alpha_ != 0 || clip)
            image->Draw(dc, left, top, -1, -1, clip ? &dest : nullptr, false);
        else
            image->Draw2(dc, left, top, -1, -1);
    } else {
        instance->lastDrawn_ = TRect();
        drawn = false;
    }

    // A composition of nothing would later paint a stale background over the scene. The whole
    // destination is kept: a clip that reaches past the frame's edge shifts the frame inside it,
    // and a source-sized snapshot would lose part of what was drawn.
    if (drawn && instance->cacheFrames_ && !instance->CachedFrame(frame)) {
        auto composed = std::make_unique<TBitmap>();
        composed->SetSize(dest.Width(), dest.Height());
        BitBlt(composed->Canvas()->Handle(), 0, 0, dest.Width(), dest.Height(), dc, dest.left, dest.top, SRCCOPY);
        instance->StoreCachedFrame(frame, std::move(composed));
    }
}
