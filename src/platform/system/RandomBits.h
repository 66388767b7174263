#pragma once
// Bits the system draws at random, for keys that a text read by the program must not be able to
// guess. Any thread; never throws.
#include <cstdint>

// 64 random bits from the kernel's generator; where it cannot answer, bits mixed from the clock
// and the process's addresses (unpredictable enough for a hash key, not for secrets).
[[nodiscard]] std::uint64_t RandomBits();
