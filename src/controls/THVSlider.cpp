#include "controls/THVSlider.h"

#include <algorithm>
#include <cstdint>

#include "controls/HVComponentUtils.h"
#include "platform/drawing/TCanvas.h"

THVSlider::THVSlider(TControl* owner) : TPanel(owner)
{
    SetBevelOuter(bvNone);
    SetCaption("");
}

THVSlider::~THVSlider() = default;

bool THVSlider::HasImage(const TPicture* picture)
{
    return picture && picture->Width() > 0 && picture->Height() > 0;
}

void THVSlider::Changed()
{
    if (OnChange)
        OnChange(this);
}

// The offset rule. A travel of 0 or less (no layout yet, or a control no larger than its thumb)
// puts the thumb at its origin.
void THVSlider::ApplyOffsetRule()
{
    if (slideSpaceSize_ <= 0) {
        offset_ = 0;
        return;
    }
    const std::int64_t range = std::int64_t(maxPosition_) - minPosition_;
    offset_ = int((std::int64_t(position_) - minPosition_) * slideSpaceSize_ / range);
}

// Properties -----------------------------------------------------------------------------------------

void THVSlider::SetPosition(int position)
{
    if (position == position_)
        return;
    position_ = std::clamp(position, minPosition_, maxPosition_);
    ApplyOffsetRule();
    Changed();
    Repaint();
}

void THVSlider::SetMinPosition(int value)
{
    if (value >= maxPosition_)
        return;
    minPosition_ = value;
    position_ = std::max(position_, value);
    ApplyOffsetRule();
    Repaint();
}

void THVSlider::SetMaxPosition(int value)
{
    if (value <= minPosition_)
        return;
    maxPosition_ = value;
    position_ = std::min(position_, value);
    ApplyOffsetRule();
    Repaint();
}

void THVSlider::SetSlideSize(int size)
{
    if (size < 2)
        return;
    slideSpaceSize_ = size;
    ApplyOffsetRule();
    Repaint();
}

void THVSlider::SetPicBackgroundLeft(const std::string& name)
{
    if (SetPictureFile(fileLeft_, name, [&] {
            LoadPictureFile(&left_, name);
            Resize();
        }))
        Repaint();
}

void THVSlider::SetPicBackgroundRight(const std::string& name)
{
    if (SetPictureFile(fileRight_, name, [&] {
            LoadPictureFile(&right_, name);
            Resize();
        }))
        Repaint();
}

void THVSlider::SetPicBackgroundIdle(const std::string& name)
{
    if (SetPictureFile(fileMiddleIdle_, name, [&] {
            LoadPictureFile(&middleIdle_, name);
            slideSpaceSize_ = horizontal_ ? middleIdle_.Width() - thumbWidth_ : middleIdle_.Height() - thumbHeight_;
            Resize();
        }))
        Repaint();
}

void THVSlider::SetPicSliderIdle(const std::string& name)
{
    if (SetPictureFile(fileThumbIdle_, name, [&] {
            LoadPictureFile(&thumbIdle_, name);
            thumbWidth_ = thumbIdle_.Width();
            thumbHeight_ = thumbIdle_.Height();
            slideSpaceSize_ = horizontal_ ? middleIdle_.Width() - thumbWidth_ : middleIdle_.Height() - thumbHeight_;
        }))
        Repaint();
}

void THVSlider::SetPicBackgroundMouseMove(const std::string& name)
{
    if (SetPictureFile(fileMiddleMove_, name, [&] { LoadPictureFile(&middleMove_, name); }))
        Repaint();
}

void THVSlider::SetPicSliderMouseDown(const std::string& name)
{
    if (SetPictureFile(fileThumbHeld_, name, [&] { LoadPictureFile(&thumbHeld_, name); }))
        Repaint();
}

// Layout and drawing -------------------------------------------------------------------------------

void THVSlider::Resize()
{
    if (track_.Width() != Width() || track_.Height() != Height()) {
        backBuffer_.SetSize(Width(), Height());
        track_.SetSize(Width(), Height());
    }
    if (Compose() && Width() > 0 && Height() > 0)
        slideSpaceSize_ = horizontal_ ? Width() - thumbWidth_ : Height() - thumbHeight_;
}

bool THVSlider::Compose()
{
    if (track_.Empty())
        return HasImage(currentMiddle_);
    HDC dc = track_.Canvas()->Handle();
    if (!HasImage(currentMiddle_)) {
        SetColor(keyColor_);
        track_.Canvas()->Brush()->SetColor(keyColor_);
        track_.Canvas()->FillRect(TRect(0, 0, track_.Width(), track_.Height()));
        return false;
    }
    const int w = Width(), h = Height();
    const int leftSize = horizontal_ ? left_.Width() : left_.Height();
    const int rightSize = horizontal_ ? right_.Width() : right_.Height();
    const int middleSize = horizontal_ ? currentMiddle_->Width() : currentMiddle_->Height();
    const int span = (horizontal_ ? w : h) - leftSize - rightSize;
    auto copy = [&](TPicture& piece, int at, int size) {
        HDC src = piece.Bitmap()->Canvas()->Handle();
        if (horizontal_)
            BitBlt(dc, at, 0, size, h, src, 0, 0, SRCCOPY);
        else
            BitBlt(dc, 0, at, w, size, src, 0, 0, SRCCOPY);
    };
    if (leftSize != 0)
        copy(left_, 0, leftSize);
    if (span != 0)
        for (int k = 0; k * middleSize < span; ++k)
            copy(*currentMiddle_, leftSize + k * middleSize, middleSize);
    if (rightSize != 0)
        copy(right_, (horizontal_ ? w : h) - rightSize, rightSize);
    return true;
}

void THVSlider::Draw(TMessage&)
{
    TCanvas* canvas = ControlCanvas();
    if (backBuffer_.Empty() || track_.Empty())
        return;
    HDC back = backBuffer_.Canvas()->Handle();
    BitBlt(back, 0, 0, Width(), Height(), track_.Canvas()->Handle(), 0, 0, SRCCOPY);
    if (HasImage(currentThumb_)) {
        TBitmap* thumb = currentThumb_->Bitmap();
        thumb->SetTransparentColor(keyColor_);
        // The thumb goes on opaque: its key-coloured pixels are part of its look.
        const int x = horizontal_ ? marginX_ + offset_ : marginX_;
        const int y = horizontal_ ? marginY_ : marginY_ + offset_;
        BitBlt(back, x, y, thumb->Width(), thumb->Height(), thumb->Canvas()->Handle(), 0, 0, SRCCOPY);
    }
    canvas->Draw(0, 0, &backBuffer_);
}

// Mouse and hover ----------------------------------------------------------------------------------

void THVSlider::MouseMove(TShiftState shift, int x, int y)
{
    if (InShift(shift, ssLeft)) {
        currentThumb_ = &thumbHeld_;
        int offset = horizontal_ ? x - marginX_ - thumbWidth_ / 2 : y - marginY_ - thumbHeight_ / 2;
        if (slideSpaceSize_ >= 1) {
            offset = std::clamp(offset, 0, slideSpaceSize_);
            const std::int64_t range = std::int64_t(maxPosition_) - minPosition_;
            position_ = int(range * offset / slideSpaceSize_ + minPosition_);
        } else {
            offset = 0;  // no travel: Position stays
        }
        offset_ = offset;
        Changed();
        Repaint();
    }
    if (currentMiddle_ != &middleMove_) {
        TMessage message{WM_MOUSEHOVER, 0, 0, 0};
        MEnter(message);
    }
}

void THVSlider::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == mbLeft)
        MouseMove(shift | ssLeft, x, y);
    TPanel::MouseDown(button, shift, x, y);
}

void THVSlider::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == mbLeft) {
        currentThumb_ = &thumbIdle_;
        Repaint();
    }
    TPanel::MouseUp(button, shift, x, y);
}

void THVSlider::MEnter(TMessage&)
{
    if (HasImage(&middleMove_))
        currentMiddle_ = &middleMove_;
    keyColor_ = bkMouseMoveColor_;
    Compose();
    Repaint();
    Track(TME_LEAVE);
}

void THVSlider::MLeave(TMessage&)
{
    if (HasImage(&middleIdle_))
        currentMiddle_ = &middleIdle_;
    keyColor_ = bkIdleColor_;
    Compose();
    Repaint();
    Track(TME_HOVER);
}

void THVSlider::Track(DWORD flags)
{
    tracking_.cbSize = sizeof(TRACKMOUSEEVENT);
    tracking_.dwFlags = flags;
    tracking_.hwndTrack = Handle();
    tracking_.dwHoverTime = 10;
    TrackMouseEvent(&tracking_);
}

void THVSlider::Dispatch(TMessage& message)
{
    switch (message.Msg) {
    case WM_PAINT: Draw(message); break;
    case WM_MOUSEHOVER: MEnter(message); break;
    case WM_MOUSELEAVE: MLeave(message); break;
    default: TPanel::Dispatch(message); break;
    }
}

void THVSlider::Loaded()
{
    // The class library's own step stays out: the slider keeps its loading state.
    currentMiddle_ = &middleIdle_;
    currentThumb_ = &thumbIdle_;
    Track(TME_HOVER | TME_LEAVE);
    SetCaption("");
    thumbIdle_.Bitmap()->SetTransparent(true);
    thumbHeld_.Bitmap()->SetTransparent(true);
    Resize();
    Repaint();
}
