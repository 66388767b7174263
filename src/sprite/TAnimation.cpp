#include "sprite/TAnimation.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "platform/system/Exception.h"

namespace {
constexpr const char* kIndexOutOfBounds = "TAnimation: index out of bounds";

// Key times may span the whole 32-bit range; their differences saturate instead of wrapping.
std::int32_t Saturate(std::int64_t v)
{
    return std::int32_t(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}
}  // namespace

TAnimation::TAnimation(std::string name, std::uint8_t mode) : name_(std::move(name)), mode_(mode) {}

void TAnimation::AddKey(const TAKey& key)
{
    auto at = std::upper_bound(keys_.begin(), keys_.end(), key.time,
                               [](std::int32_t t, const TAKey& k) { return t < k.time; });
    keys_.insert(at, key);
    std::int64_t duration = std::int64_t(keys_.back().time) - keys_.front().time;
    if (mode_ == 1) {
        duration = 2 * duration - GetKeyDuration(0);
        if (keys_.size() >= 3)
            duration -= GetKeyDuration(GetKeyCount() - 2);
    }
    duration_ = Saturate(duration);
}

const TAKey& TAnimation::GetKey(int i) const
{
    if (i < 0 || i >= GetKeyCount())
        throw Exception(kIndexOutOfBounds);
    return keys_[std::size_t(i)];
}

std::int32_t TAnimation::GetKeyDuration(int i) const
{
    if (static_cast<unsigned>(i) >= keys_.size())
        throw Exception(kIndexOutOfBounds);
    if (i == GetKeyCount() - 1)
        return 0;
    return Saturate(std::int64_t(keys_[std::size_t(i) + 1].time) - keys_[std::size_t(i)].time);
}

int TAnimation::StartIndex(int hint) const
{
    if (hint < 0)
        return GetKeyCount() / 2;
    return std::min(hint, GetKeyCount() - 1);
}

int TAnimation::FindKey(std::int32_t t, int hint) const
{
    if (keys_.empty())
        return -1;
    const int last = GetKeyCount() - 1;
    int i = StartIndex(hint);
    while (i >= 1 && keys_[std::size_t(i)].time > t)
        --i;
    while (i < last && keys_[std::size_t(i)].time < t)
        ++i;
    if (mode_ == 2 && i == last) {
        // Past the end the keys are visited again in reverse, each for its own span.
        std::int64_t running = keys_[std::size_t(last)].time;
        while (i > 0 && running < t) {
            --i;
            running += GetKeyDuration(i);
        }
    }
    return i;
}

int TAnimation::FindKeyBefore(std::int32_t t, int hint) const
{
    if (keys_.empty())
        return -1;
    const int last = GetKeyCount() - 1;
    int i = StartIndex(hint);
    while (i < last && keys_[std::size_t(i)].time < t)
        ++i;
    while (i >= 1 && keys_[std::size_t(i)].time > t)
        --i;
    return i;
}
