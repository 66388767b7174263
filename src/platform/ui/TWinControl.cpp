#include "platform/ui/TWinControl.h"

#include <algorithm>

#include "platform/ui/ControlWidget.h"
#include "platform/ui/ControlsInternal.h"
#include "platform/ui/EventBridge.h"

TWinControl::TWinControl(TControl* owner) : TControl(owner) {}

TWinControl::~TWinControl()
{
    while (!controls_.empty())
        delete controls_.back();
    if (handle_) {
        UnregisterTrackedWindow(handle_);
        DeallocateHWnd(handle_);
    }
}

HWND TWinControl::Handle()
{
    if (!handle_) {
        handle_ = AllocateHWnd([this](UINT msg, WPARAM wParam, LPARAM lParam) {
            CallEventHandler([&] {
                TMessage message{msg, wParam, lParam, 0};
                Dispatch(message);
            });
        });
        RegisterTrackedWindow(handle_, ControlAccess::Widget(this));
    }
    return handle_;
}

TControl* TWinControl::Controls(int index) const
{
    return index >= 0 && index < int(controls_.size()) ? controls_[size_t(index)] : nullptr;
}

void TWinControl::InsertControl(TControl* control) { controls_.push_back(control); }

void TWinControl::RemoveControl(TControl* control)
{
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

void TWinControl::AlignControls()
{
    if (aligning_)
        return;
    aligning_ = true;
    int left = 0, top = 0, right = Width(), bottom = Height();
    auto placed = [this](TAlign align) {
        std::vector<TControl*> list;
        for (TControl* c : controls_)
            if (c->Align() == align && c->Visible())
                list.push_back(c);
        std::stable_sort(list.begin(), list.end(), [align](TControl* a, TControl* b) {
            switch (align) {
            case alTop: return a->Top() < b->Top();
            case alBottom: return a->Top() + a->Height() > b->Top() + b->Height();
            case alLeft: return a->Left() < b->Left();
            case alRight: return a->Left() + a->Width() > b->Left() + b->Width();
            default: return false;
            }
        });
        return list;
    };
    for (TControl* c : placed(alTop)) {
        c->SetBounds(left, top, std::max(right - left, 0), c->Height());
        top += c->Height();
    }
    for (TControl* c : placed(alBottom)) {
        bottom -= c->Height();
        c->SetBounds(left, bottom, std::max(right - left, 0), c->Height());
    }
    for (TControl* c : placed(alLeft)) {
        c->SetBounds(left, top, c->Width(), std::max(bottom - top, 0));
        left += c->Width();
    }
    for (TControl* c : placed(alRight)) {
        right -= c->Width();
        c->SetBounds(right, top, c->Width(), std::max(bottom - top, 0));
    }
    for (TControl* c : placed(alClient))
        c->SetBounds(left, top, std::max(right - left, 0), std::max(bottom - top, 0));
    aligning_ = false;
}
