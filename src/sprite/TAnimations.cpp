#include "sprite/TAnimations.h"

#include "platform/system/Exception.h"

int TAnimations::Add(const TAnimation& animation)
{
    if (animation.GetKeyCount() == 0)
        throw Exception("TAnimations::Add  Bad animation.");
    animations_.push_back(animation);
    return GetCount() - 1;
}

TAnimation& TAnimations::operator[](int i)
{
    if (i < 0 || i >= GetCount())
        throw Exception("TAnimation::Index out of bounds");
    return animations_[std::size_t(i)];
}

const TAnimation& TAnimations::operator[](int i) const
{
    if (i < 0 || i >= GetCount())
        throw Exception("TAnimation::Index out of bounds");
    return animations_[std::size_t(i)];
}
