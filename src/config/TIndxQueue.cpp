#include "config/TIndxQueue.h"

#include "platform/system/NumberText.h"

void TIndxQueue::PushInteger(std::int32_t value) { values_.push_back(IntToStr(value)); }

void TIndxQueue::PushString(const std::string& text) { values_.push_back(text); }

std::string TIndxQueue::PopString()
{
    if (values_.empty())
        return {};
    std::string front = std::move(values_.front());
    values_.pop_front();
    return front;
}

TIndxQueue& IndxQueue()
{
    static TIndxQueue queue;
    return queue;
}
