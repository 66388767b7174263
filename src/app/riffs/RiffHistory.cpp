#include "app/riffs/RiffHistory.h"

void RiffHistory::Record(const std::string& riff, TShiftState set)
{
    if (!entries_.empty()) {
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(position_) + 1, entries_.end());
        if (entries_[position_].riff == riff)
            return;
    }
    entries_.push_back({riff, set});
    position_ = entries_.size() - 1;
}

std::optional<RiffHistory::TEntry> RiffHistory::Back()
{
    if (entries_.empty() || position_ == 0)
        return std::nullopt;
    --position_;
    return entries_[position_];
}

std::optional<RiffHistory::TEntry> RiffHistory::Forward()
{
    if (position_ + 1 >= entries_.size())
        return std::nullopt;
    ++position_;
    return entries_[position_];
}

const RiffHistory::TEntry* RiffHistory::Current() const
{
    return position_ < entries_.size() ? &entries_[position_] : nullptr;
}

void RiffHistory::Clear()
{
    entries_.clear();
    position_ = 0;
}
