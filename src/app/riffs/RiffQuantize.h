#pragma once
// The arithmetic of a quantised riff start: where, relative to now, the nearer subdivision
// boundary of the groove's bar lies. Pure functions; any thread; nothing throws.
#include <cstdint>

// Bar length in whole milliseconds: trunc(grooveLengthMs / size); 0 when size is 0 or less or the
// groove has no length.
[[nodiscard]] std::int32_t GrooveBarLength(double grooveLengthMs, std::int32_t size);

// The start offset in milliseconds for a riff triggered at grooveMs (the groove's play position,
// not relative to its range), with the bar cut into 1 << quantizeMode steps:
//   negative: the nearer boundary has passed; start the riff that far into its wave, now;
//   positive: the nearer boundary is ahead; delay the start by that much;
//   0: start at once from the beginning.
// A tie goes to the later boundary. Quantising is off (0) for a mode outside 0..4, and for a bar
// length or step of 0, so a groove without bars starts the riff at once.
[[nodiscard]] std::int32_t RiffQuantizeOffset(std::int32_t grooveMs, std::int32_t barLengthMs,
                                              std::int32_t quantizeMode);
