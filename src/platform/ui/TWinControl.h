#pragma once
// The class library's window control: a control that holds child controls, lays out the aligned
// ones, and has a window handle that receives posted messages and mouse-tracking reports through
// its message map. GUI thread only. Destroying it destroys its child controls as well, whoever
// owns them.
#include <vector>

#include "platform/ui/TControl.h"

class TWinControl : public TControl {
public:
    explicit TWinControl(TControl* owner);
    ~TWinControl() override;

    // The window handle, made on first use and valid until the control is destroyed. Messages
    // posted to it (PostMessage) and hover and leave reports arrive at the message map.
    [[nodiscard]] HWND Handle();
    [[nodiscard]] bool HandleAllocated() const { return handle_ != nullptr; }

    [[nodiscard]] int ControlCount() const { return int(controls_.size()); }
    [[nodiscard]] TControl* Controls(int index) const;  // null outside 0 .. ControlCount() - 1
    // Places the aligned children: alTop from the top down, alBottom from the bottom up, then
    // alLeft and alRight in the height left over, and alClient in what remains, each kind in the
    // order of its position.
    void AlignControls();

private:
    friend class TControl;
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);

    HWND handle_ = nullptr;
    std::vector<TControl*> controls_;
    bool aligning_ = false;
};
