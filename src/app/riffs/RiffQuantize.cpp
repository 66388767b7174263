#include "app/riffs/RiffQuantize.h"

#include <cmath>
#include <cstdlib>

namespace {
constexpr std::int32_t kQuantizeModes = 5;  // 5 and above switch quantising off
}

std::int32_t GrooveBarLength(double grooveLengthMs, std::int32_t size)
{
    if (size <= 0 || !(grooveLengthMs > 0))
        return 0;
    const double bar = std::trunc(grooveLengthMs / size);
    return bar > 2147483647.0 ? 2147483647 : static_cast<std::int32_t>(bar);
}

std::int32_t RiffQuantizeOffset(std::int32_t grooveMs, std::int32_t barLengthMs, std::int32_t quantizeMode)
{
    if (quantizeMode < 0 || quantizeMode >= kQuantizeModes || barLengthMs <= 0)
        return 0;
    const std::int64_t step = barLengthMs / (std::int64_t{1} << quantizeMode);
    if (step <= 0)
        return 0;
    const std::int64_t pos = grooveMs;
    const std::int64_t barStart = (pos / barLengthMs) * barLengthMs;
    const std::int64_t k = (pos - barStart) / step;
    const std::int64_t before = k * step + barStart - pos;
    const std::int64_t after = (k + 1) * step + barStart - pos;
    return static_cast<std::int32_t>(std::llabs(before) < after ? before : after);
}
