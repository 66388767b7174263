#pragma once
// One row of a true-colour image blended onto 32-bit pixels, for PixImage::Draw: per pixel
// a = (alpha * alphaScale) >> 8; the key colour and a = 0 leave the pixel, a = 255 stores the colour,
// anything else gives each channel (pixel * (255 - a) + a * colour) >> 8. Vector code where the
// processor has it, the same arithmetic bit for bit. Any thread; no allocation; cannot fail.
#include <cstdint>

// bgr: count source pixels, 3 bytes each (blue, green, red), read only within those bytes.
// alpha: count bytes, or null for an image without an alpha channel (255 everywhere).
// alphaScale: the image's alpha maximum + 1 (1 .. 256).
// key: the transparent colour as 0x00RRGGBB, or -1 for none.
// words: count destination pixels, 0xXXRRGGBB; their top byte is kept.
// nextBgr, nextAlpha: where the caller's next row starts (or null), fetched into the cache as this one
// is blended: a bottom-up image drawn top down walks its rows backwards, which the processor's own
// prefetching does not foresee. Never read as data.
void PixBlendRow32(const std::uint8_t* bgr, const std::uint8_t* alpha, std::uint32_t alphaScale, std::int64_t key,
                   int count, std::uint32_t* words, const std::uint8_t* nextBgr = nullptr,
                   const std::uint8_t* nextAlpha = nullptr);

// The instruction sets the blend is written for, best first.
enum class PixBlendPath { Avx512, Avx2, Plain };

// Whether this processor runs path (Plain: always).
[[nodiscard]] bool PixBlendPathRuns(PixBlendPath path);

// PixBlendRow32 on the given path, so that every path the processor runs can be checked and not
// only the one it picks. A path the processor does not run gives way to the best one below it.
void PixBlendRow32On(PixBlendPath path, const std::uint8_t* bgr, const std::uint8_t* alpha, std::uint32_t alphaScale,
                     std::int64_t key, int count, std::uint32_t* words, const std::uint8_t* nextBgr = nullptr,
                     const std::uint8_t* nextAlpha = nullptr);

// The instruction set PixBlendRow32 uses on this processor: "AVX-512", "AVX2" or "plain" (for
// benchmark reports, whose figures depend on it).
[[nodiscard]] const char* PixBlendRowInstructionSet();
