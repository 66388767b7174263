#pragma once
// The first-in, first-out queue of index values that fill the "#" placeholders of key paths,
// left to right. One global instance serves every path operation (GUI thread only).
#include <cstdint>
#include <deque>
#include <string>

class TIndxQueue {
public:
    void PushInteger(std::int32_t value);
    void PushString(const std::string& text);
    // Removes the oldest value and returns it as text (an integer in decimal); the empty text
    // when the queue is empty.
    [[nodiscard]] std::string PopString();
    void Clear() { values_.clear(); }
    [[nodiscard]] std::size_t Size() const { return values_.size(); }

private:
    std::deque<std::string> values_;
};

// The program's one queue, alive from static initialisation to exit.
[[nodiscard]] TIndxQueue& IndxQueue();
