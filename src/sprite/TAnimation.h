#pragma once
// A named list of keys kept in time order. Modes: 0 plain; 1 lengthens the duration for a
// forward-then-backward playback; 2 walks the key search backwards past the last key. GUI thread.
#include <cstdint>
#include <string>
#include <vector>

#include "sprite/TAKey.h"

class TAnimation {
public:
    explicit TAnimation(std::string name = std::string(), std::uint8_t mode = 0);

    // Inserts after every key of an equal or earlier time, then recomputes the duration.
    void AddKey(const TAKey& key);

    [[nodiscard]] int GetKeyCount() const { return static_cast<int>(keys_.size()); }
    // Throws Exception "TAnimation: index out of bounds" when there is no key i.
    [[nodiscard]] const TAKey& GetKey(int i) const;
    [[nodiscard]] std::int32_t GetDuration() const { return duration_; }
    // Time to the next key; 0 for the last. Throws Exception "TAnimation: index out of bounds"
    // when i is not below the key count.
    [[nodiscard]] std::int32_t GetKeyDuration(int i) const;

    // Index of the key to show at time t: the first key at or after t, else the last. hint is
    // where the walk starts (negative: the middle). -1 when there are no keys.
    [[nodiscard]] int FindKey(std::int32_t t, int hint) const;
    // Index of the last key at or before t, else 0; -1 when there are no keys.
    [[nodiscard]] int FindKeyBefore(std::int32_t t, int hint) const;

    [[nodiscard]] const std::string& GetName() const { return name_; }
    [[nodiscard]] std::uint8_t GetMode() const { return mode_; }
    [[nodiscard]] bool GetLoop() const { return loop_; }
    void SetLoop(bool loop) { loop_ = loop; }

private:
    [[nodiscard]] int StartIndex(int hint) const;

    bool loop_ = false;
    std::string name_;
    std::uint8_t mode_ = 0;
    std::vector<TAKey> keys_;
    std::int32_t duration_ = 0;
};
