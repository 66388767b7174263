#pragma once
// The animations of one kind of a sprite, held by value; an animation's index is its position.
#include <vector>

#include "sprite/TAnimation.h"

class TAnimations {
public:
    // Appends a copy and returns its index. An animation without keys throws Exception
    // "TAnimations::Add  Bad animation." (every held animation has at least one key).
    int Add(const TAnimation& animation);
    // Throws Exception "TAnimation::Index out of bounds" outside 0 .. GetCount() - 1.
    [[nodiscard]] TAnimation& operator[](int i);
    [[nodiscard]] const TAnimation& operator[](int i) const;
    [[nodiscard]] int GetCount() const { return static_cast<int>(animations_.size()); }

private:
    std::vector<TAnimation> animations_;
};
