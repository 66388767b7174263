#include "config/TextHash.h"

#include "platform/system/RandomBits.h"

namespace tdv_detail {

TextHashKey MakeTextHashKey()
{
    constexpr std::uint64_t kPrime = (std::uint64_t(1) << 61) - 1;
    return {RandomBits() % (kPrime - 1) + 1, RandomBits(), RandomBits() | 1};
}

} // namespace tdv_detail
