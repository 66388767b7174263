#include "platform/system/RandomBits.h"

#include <cerrno>
#include <chrono>
#include <sys/random.h>
#include <unistd.h>

namespace {

std::uint64_t Mix(std::uint64_t x)
{
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ull;
    x ^= x >> 33;
    return x;
}

} // namespace

std::uint64_t RandomBits()
{
    std::uint64_t bits = 0;
    for (;;) {
        const ssize_t n = ::getrandom(&bits, sizeof bits, GRND_NONBLOCK);
        if (n == static_cast<ssize_t>(sizeof bits))
            return bits;
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const int local = 0;
    return Mix(now ^ Mix(reinterpret_cast<std::uintptr_t>(&local)) ^ Mix(reinterpret_cast<std::uintptr_t>(&Mix)) ^
               Mix(static_cast<std::uint64_t>(::getpid())));
}
