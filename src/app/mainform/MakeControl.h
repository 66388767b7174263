#pragma once
// Creates a control of the window layer, named and placed on its parent, owned by `owner`.
#include "platform/ui/TControl.h"

template <class T>
T* Make(TControl* owner, TWinControl* parent, const char* name, int left, int top, int width, int height)
{
    auto* control = new T(owner);
    control->SetName(name);
    control->SetBounds(left, top, width, height);
    control->SetParent(parent);
    return control;
}
