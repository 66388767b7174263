#include "config/TDVContextHive.h"

void TDVContextHive::Push(TDVContext* context)
{
    stack_.push_back(context);
    current_ = context;
}

void TDVContextHive::Pop()
{
    if (!stack_.empty())
        stack_.pop_back();
    UpdateCurrent();
}

void TDVContextHive::UpdateCurrent() { current_ = stack_.empty() ? base_ : stack_.back(); }
