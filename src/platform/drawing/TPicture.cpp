#include "platform/drawing/TPicture.h"

TPicture::~TPicture() = default;

TBitmap* TPicture::Bitmap()
{
    if (!bitmap_)
        bitmap_ = std::make_unique<TBitmap>();
    return bitmap_.get();
}

void TPicture::SetBitmap(const TBitmap* bitmap)
{
    if (!bitmap) {
        bitmap_.reset();
        return;
    }
    Bitmap()->Assign(bitmap);
}

int TPicture::Width() const { return bitmap_ ? bitmap_->Width() : 0; }

int TPicture::Height() const { return bitmap_ ? bitmap_->Height() : 0; }

void TPicture::Assign(const TPicture* source)
{
    if (source == this)
        return;
    if (!source || !source->bitmap_) {
        bitmap_.reset();
        return;
    }
    Bitmap()->Assign(source->bitmap_.get());
}
