#include "platform/ui/TImage.h"

#include <algorithm>

#include "platform/ui/ControlWidget.h"
#include "platform/ui/ControlsInternal.h"
#include "platform/drawing/GdiInternal.h"
#include "platform/drawing/TCanvas.h"
#include "platform/drawing/TPicture.h"
#include "platform/ui/TWinControl.h"

TImage::TImage(TControl* owner) : TControl(owner), picture_(std::make_unique<TPicture>())
{
    SetBounds(0, 0, 105, 105);
    ControlAccess::Widget(this)->SetWatchesDrawing(true);
}

TImage::~TImage() = default;

void TImage::SetPicture(const TPicture* picture)
{
    picture_->Assign(picture);
    Invalidate();
}

TCanvas* TImage::Canvas()
{
    TBitmap* bitmap = picture_->Bitmap();
    if (bitmap->Empty())
        bitmap->SetSize(std::max(Width(), 1), std::max(Height(), 1));
    return bitmap->Canvas();
}

void TImage::SetStretch(bool stretch)
{
    if (stretch == stretch_)
        return;
    stretch_ = stretch;
    Invalidate();
}

void TImage::SetCenter(bool center)
{
    if (center == center_)
        return;
    center_ = center;
    Invalidate();
}

void TImage::SetAutoSize(bool autoSize)
{
    if (autoSize == autoSize_)
        return;
    autoSize_ = autoSize;
    Invalidate();
}

bool TImage::RefreshDue()
{
    TBitmap* bitmap = picture_->Graphic();
    if (!bitmap || bitmap->Empty())
        return paintedHandle_ != nullptr;
    const HBITMAP handle = bitmap->Handle();
    const std::optional<std::uint64_t> generation = GdiWriteGeneration(handle);
    return handle != paintedHandle_ || !generation || generation != paintedGeneration_;
}

void TImage::Paint()
{
    TBitmap* bitmap = picture_->Graphic();
    paintedHandle_ = nullptr;
    paintedGeneration_.reset();
    if (autoSize_ && bitmap && !bitmap->Empty() && (bitmap->Width() != Width() || bitmap->Height() != Height()))
        SetBounds(Left(), Top(), bitmap->Width(), bitmap->Height());
    TCanvas* canvas = ControlCanvas();
    // The background shows only where an opaque picture leaves the control uncovered.
    const bool covered = bitmap && !bitmap->Empty() && !bitmap->Transparent() &&
                         (stretch_ || (bitmap->Width() >= Width() && bitmap->Height() >= Height()));
    if (!covered) {
        canvas->Brush()->SetColor(Parent() ? Parent()->Color() : Color());
        canvas->FillRect(ClientRect());
    }
    if (!bitmap || bitmap->Empty())
        return;
    paintedHandle_ = bitmap->Handle();
    paintedGeneration_ = GdiWriteGeneration(paintedHandle_);
    if (stretch_) {
        canvas->StretchDraw(ClientRect(), bitmap);
    } else if (center_) {
        canvas->Draw((Width() - bitmap->Width()) / 2, (Height() - bitmap->Height()) / 2, bitmap);
    } else {
        canvas->Draw(0, 0, bitmap);
    }
}
