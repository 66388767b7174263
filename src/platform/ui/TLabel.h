#pragma once
// The class library's label: its Caption written in its Font, placed by Alignment, on its Color
// or, when Transparent, on what its parent painted beneath it. GUI thread only.
#include "platform/ui/TControl.h"

class TLabel : public TControl {
public:
    explicit TLabel(TControl* owner);
    ~TLabel() override;

    [[nodiscard]] TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    [[nodiscard]] bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);
    // Lines break at blanks to fit the width; otherwise only at line feeds.
    [[nodiscard]] bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wordWrap);
    // The label takes the size of its text (the height only, with WordWrap) whenever it paints
    // and when its caption or font changes.
    [[nodiscard]] bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);
    // Applies AutoSize now.
    void AdjustBounds();

protected:
    void Paint() override;

private:
    [[nodiscard]] UINT TextFormat() const;

    TAlignment alignment_ = taLeftJustify;
    bool transparent_ = false;
    bool wordWrap_ = false;
    bool autoSize_ = true;
};
