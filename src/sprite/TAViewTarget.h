#pragma once
// The image control a viewport draws into, as the viewport sees it: its size and the bitmap of
// its picture. Any control type with Width(), Height(), Canvas() and Picture()->Bitmap() (the
// class library's TImage) can be the target; the viewport only borrows it. GUI thread only.
#include <concepts>

#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TCanvas.h"

template <class Image>
concept ViewTargetImage = requires(Image* image) {
    { image->Width() } -> std::convertible_to<int>;
    { image->Height() } -> std::convertible_to<int>;
    { image->Canvas() } -> std::convertible_to<TCanvas*>;
    { image->Picture()->Bitmap() } -> std::convertible_to<TBitmap*>;
};

class TAViewTarget {
public:
    TAViewTarget() = default;

    template <ViewTargetImage Image>
    [[nodiscard]] static TAViewTarget Of(Image* image)
    {
        TAViewTarget target;
        if (!image)
            return target;
        target.image_ = image;
        target.width_ = [](void* i) { return int(static_cast<Image*>(i)->Width()); };
        target.height_ = [](void* i) { return int(static_cast<Image*>(i)->Height()); };
        target.canvas_ = [](void* i) -> TCanvas* { return static_cast<Image*>(i)->Canvas(); };
        target.bitmap_ = [](void* i) -> TBitmap* { return static_cast<Image*>(i)->Picture()->Bitmap(); };
        return target;
    }

    [[nodiscard]] bool Exists() const { return image_ != nullptr; }
    [[nodiscard]] void* Image() const { return image_; }
    // 0 without a target.
    [[nodiscard]] int Width() const { return image_ ? width_(image_) : 0; }
    [[nodiscard]] int Height() const { return image_ ? height_(image_) : 0; }
    // The control's canvas; null without a target.
    [[nodiscard]] TCanvas* Canvas() const { return image_ ? canvas_(image_) : nullptr; }
    // The bitmap of the control's picture (owned by the picture); null without a target.
    [[nodiscard]] TBitmap* Bitmap() const { return image_ ? bitmap_(image_) : nullptr; }

private:
    void* image_ = nullptr;
    int (*width_)(void*) = nullptr;
    int (*height_)(void*) = nullptr;
    TCanvas* (*canvas_)(void*) = nullptr;
    TBitmap* (*bitmap_)(void*) = nullptr;
};
