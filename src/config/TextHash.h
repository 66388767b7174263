#pragma once
// The hash of the names and texts by which the configuration tables find their entries (tags by
// name, member definitions by array, values the writer groups). A text chooses its names: with a
// fixed hash it could choose thousands that share one hash and make every look-up walk them all.
// This one is drawn at random once per process from a universal family: the text as a polynomial
// over the prime 2^61 - 1 (seven bytes a coefficient, its length the first) taken at a random
// point, then mixed by a bijection with a random offset and multiplier. Two different texts of at
// most L bytes share the polynomial's value with probability at most (L / 7 + 2) / 2^61, which
// no text can steer, and values apart stay apart. Tables take the top bits. Any thread.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tdv_detail {

struct TextHashKey {
    std::uint64_t point;      // 1 .. 2^61 - 2
    std::uint64_t offset;
    std::uint64_t multiplier; // odd
};
// Drawn from the system's random bits.
[[nodiscard]] TextHashKey MakeTextHashKey();

inline const TextHashKey& TheTextHashKey()
{
    static const TextHashKey key = MakeTextHashKey();
    return key;
}

// Inline: every look-up of a name in a large context hashes it.
[[nodiscard]] inline std::uint64_t HashText(std::string_view text)
{
    constexpr std::uint64_t kPrime = (std::uint64_t(1) << 61) - 1;
    constexpr std::uint64_t kSevenBytes = (std::uint64_t(1) << 56) - 1;
    const auto fold = [](std::uint64_t x) { return (x & kPrime) + (x >> 61); }; // congruent, below 2^61 + 8
    const auto load = [](const char* p, auto word) {
        std::memcpy(&word, p, sizeof word);
        return word;
    };
    const TextHashKey& key = TheTextHashKey();
    const char* p = text.data();
    std::size_t n = text.size();
    std::uint64_t h = fold(n); // below 2^62 and congruent to the polynomial's value so far
    const auto step = [&](std::uint64_t coefficient) {
        const unsigned __int128 m = static_cast<unsigned __int128>(h) * key.point;
        h = fold((static_cast<std::uint64_t>(m) & kPrime) + static_cast<std::uint64_t>(m >> 61)) + coefficient;
    };
    for (; n > 7; p += 7, n -= 7)
        step(load(p, std::uint64_t()) & kSevenBytes);
    if (n > 0) {
        // The last one to seven bytes, read in words that overlap (each byte lands where it belongs).
        if (text.size() >= 8) {
            step(load(p + n - 8, std::uint64_t()) >> (8 * (8 - n)));
        } else if (n >= 4) {
            step(load(p, std::uint32_t()) | std::uint64_t(load(p + n - 4, std::uint32_t())) << (8 * (n - 4)));
        } else {
            const auto byte = [&](std::size_t i) { return std::uint64_t(static_cast<unsigned char>(p[i])) << (8 * i); };
            step(byte(0) | byte(n / 2) | byte(n - 1));
        }
    }
    h = fold(h);
    if (h >= kPrime)
        h -= kPrime;
    // Mixed so that names alike in their bytes (v1, v2, ...) spread over the whole table: a
    // bijection, which keeps any two values apart that the polynomial kept apart.
    h = (h + key.offset) * key.multiplier;
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ull;
    h ^= h >> 32;
    return h;
}

// For the standard unordered containers keyed by names or texts.
struct TextHash {
    std::size_t operator()(std::string_view text) const { return static_cast<std::size_t>(HashText(text)); }
};

} // namespace tdv_detail
