#pragma once
// The class library's panel: a window control that fills its client area with its Color, draws
// its bevels and writes its Caption in its Font, placed by Alignment and centred vertically.
// GUI thread only.
#include "platform/ui/TWinControl.h"

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TPanel : public TWinControl {
public:
    explicit TPanel(TControl* owner);
    ~TPanel() override;

    [[nodiscard]] TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    [[nodiscard]] TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut bevel);
    [[nodiscard]] TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut bevel);
    [[nodiscard]] int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int width);  // below 1 counts as 1

protected:
    // The plain panel: fill, bevels (one frame of BevelWidth per bevel that is not bvNone) and
    // the caption.
    void Paint() override;

private:
    TAlignment alignment_ = taCenter;
    TBevelCut bevelOuter_ = bvRaised;
    TBevelCut bevelInner_ = bvNone;
    int bevelWidth_ = 1;
};
