#pragma once
// The skinned slider: a track composed of two end pieces and a tiled middle picture, and a thumb
// whose pixel offset along the track gives Position between MinPosition and MaxPosition. A
// press centres the thumb on the pointer; dragging moves it. No keyboard control.
//
// Thread: GUI thread only. Ownership: the pictures belong to the slider. Failure: a picture
// property throws Exception "File not found : <name>" or "Error loading : <name>" and then reads
// as an empty name; out-of-range values are clamped or ignored without a message.
#include <string>

#include "platform/ui/MouseTracking.h"
#include "platform/drawing/TBitmap.h"
#include "platform/ui/TPanel.h"
#include "platform/drawing/TPicture.h"

class THVSlider : public TPanel {
public:
    explicit THVSlider(TControl* owner);
    ~THVSlider() override;

    [[nodiscard]] const std::string& PicBackgroundLeft() const { return fileLeft_; }
    void SetPicBackgroundLeft(const std::string& name);
    [[nodiscard]] const std::string& PicBackgroundRight() const { return fileRight_; }
    void SetPicBackgroundRight(const std::string& name);
    [[nodiscard]] const std::string& PicBackgroundIdle() const { return fileMiddleIdle_; }
    void SetPicBackgroundIdle(const std::string& name);
    [[nodiscard]] const std::string& PicSliderIdle() const { return fileThumbIdle_; }
    void SetPicSliderIdle(const std::string& name);
    [[nodiscard]] const std::string& PicBackgroundMouseMove() const { return fileMiddleMove_; }
    void SetPicBackgroundMouseMove(const std::string& name);
    [[nodiscard]] const std::string& PicSliderHolded() const { return fileThumbHeld_; }
    void SetPicSliderMouseDown(const std::string& name);

    // Take effect at the next hover or leave.
    [[nodiscard]] TColor BkIdleColor() const { return bkIdleColor_; }
    void SetBkIdleColor(TColor color) { bkIdleColor_ = color; }
    [[nodiscard]] TColor BkMouseMoveColor() const { return bkMouseMoveColor_; }
    void SetBkMouseMoveColor(TColor color) { bkMouseMoveColor_ = color; }

    // Clamped into MinPosition .. MaxPosition; any new value calls OnChange, even when the clamped
    // value equals the old one.
    [[nodiscard]] int Position() const { return position_; }
    void SetPosition(int position);
    // Ignored when not below MaxPosition; never calls OnChange.
    [[nodiscard]] int MinPosition() const { return minPosition_; }
    void SetMinPosition(int value);
    // Ignored when not above MinPosition; never calls OnChange.
    [[nodiscard]] int MaxPosition() const { return maxPosition_; }
    void SetMaxPosition(int value);
    // The thumb's travel in pixels; values below 2 are ignored.
    [[nodiscard]] int SlideSpaceSize() const { return slideSpaceSize_; }
    void SetSlideSize(int size);

    [[nodiscard]] bool Horizontal() const { return horizontal_; }
    void SetHorizontal(bool horizontal) { horizontal_ = horizontal; }
    [[nodiscard]] int MarginX() const { return marginX_; }
    void SetMarginX(int margin) { marginX_ = margin; }
    [[nodiscard]] int MarginY() const { return marginY_; }
    void SetMarginY(int margin) { marginY_ = margin; }

    // The thumb's pixel offset from its origin along the track.
    [[nodiscard]] int ThumbOffset() const { return offset_; }
    [[nodiscard]] TColor KeyColor() const { return keyColor_; }

    // Chooses the idle pictures, arms hover tracking and composes the track; the slider stays in
    // the loading state, so later size changes do not recompose it.
    void Loaded() override;

    TNotifyEvent OnChange;

protected:
    void Dispatch(TMessage& message) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    // Sizes the buffers to the control and composes the track.
    void Resize() override;

private:
    void Draw(TMessage& message);
    void MEnter(TMessage& message);
    void MLeave(TMessage& message);
    void Track(DWORD flags);
    // Composes the track from the current pieces; false (track filled with the key colour)
    // without a usable middle picture.
    bool Compose();
    void ApplyOffsetRule();
    void Changed();
    [[nodiscard]] static bool HasImage(const TPicture* picture);

    TRACKMOUSEEVENT tracking_;
    int offset_ = 0;
    int thumbWidth_ = 1;
    int thumbHeight_ = 1;
    int slideSpaceSize_ = 0;
    int position_ = 1;
    int minPosition_ = 0;
    int maxPosition_ = 100;
    bool horizontal_ = false;
    std::string fileMiddleIdle_;
    std::string fileLeft_;
    std::string fileRight_;
    std::string fileThumbIdle_;
    std::string fileMiddleMove_;
    std::string fileThumbHeld_;
    TPicture left_;
    TPicture right_;
    TPicture middleIdle_;
    TPicture middleMove_;
    TPicture thumbIdle_;
    TPicture thumbHeld_;
    TBitmap track_;
    TPicture* currentThumb_ = nullptr;
    TPicture* currentMiddle_ = nullptr;
    TBitmap backBuffer_;
    TColor keyColor_ = clBlack;
    TColor bkIdleColor_ = clBlack;
    TColor bkMouseMoveColor_ = clBlack;
    int marginX_ = 0;
    int marginY_ = 0;
};
