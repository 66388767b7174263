#include "platform/system/Threads.h"

#include <chrono>
#include <thread>

void Sleep(std::uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
