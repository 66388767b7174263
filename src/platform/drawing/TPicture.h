#pragma once
// The class library's picture: holder of one graphic, here always a bitmap. GUI thread only.
#include <memory>

#include "platform/drawing/TBitmap.h"

class TPicture {
public:
    TPicture() = default;
    ~TPicture();
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // The picture's bitmap, made empty on first use; owned by the picture.
    [[nodiscard]] TBitmap* Bitmap();
    // Copies bitmap into the picture's own bitmap (null clears the picture).
    void SetBitmap(const TBitmap* bitmap);
    // The graphic, or null when the picture holds none; owned by the picture.
    [[nodiscard]] TGraphic* Graphic() { return bitmap_.get(); }
    void SetGraphic(const TGraphic* graphic) { SetBitmap(graphic); }
    [[nodiscard]] int Width() const;
    [[nodiscard]] int Height() const;
    // Copies the other picture's graphic (null clears this picture).
    void Assign(const TPicture* source);

private:
    std::unique_ptr<TBitmap> bitmap_;
};
