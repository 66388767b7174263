#pragma once
// The history of riffs played: (riff, binding set) entries in the order they were triggered and a
// position on the current entry. Going back and forward moves the position without recording;
// triggering a riff drops the entries after the position before it is appended.
//
// Thread: GUI thread only. Nothing throws; the history has no length limit.
#include "platform/ui/TShiftState.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>

class RiffHistory {
public:
    struct TEntry {
        std::string riff;
        TShiftState set = 0;  // the on-screen modifiers the riff was played with
        bool operator==(const TEntry&) const = default;
    };

    // A riff was triggered: the entries after the position go; then, unless the entry at the
    // position already names riff, (riff, set) is appended and becomes the position.
    void Record(const std::string& riff, TShiftState set);
    // Moves the position back (forward) by one and returns the entry there; nothing at the start
    // (at the last entry) or in an empty history.
    [[nodiscard]] std::optional<TEntry> Back();
    [[nodiscard]] std::optional<TEntry> Forward();

    // The entry at the position; null in an empty history.
    [[nodiscard]] const TEntry* Current() const;
    [[nodiscard]] std::size_t Position() const { return position_; }
    [[nodiscard]] const std::deque<TEntry>& Entries() const { return entries_; }
    void Clear();

private:
    std::deque<TEntry> entries_;
    std::size_t position_ = 0;  // 0 while the history is empty
};
