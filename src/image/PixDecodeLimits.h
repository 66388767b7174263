#pragma once
// Limits shared by the decoders (BMP, GIF, JPEG, TIFF, TGA, PCX, metafiles): the one ceiling on
// the pixels an image may claim before anything is allocated for it, and the reads that never
// pass the end of a stream.
#include "image/PixFile.h"

#include <cstddef>
#include <cstdint>

namespace pixlimits {

// 64 million pixels (8192 x 8192): far above any picture the program shows, and low enough that
// a 20-byte header cannot make the decoder claim gigabytes.
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 26;

[[nodiscard]] inline bool PixelsAllowed(std::uint64_t width, std::uint64_t height) {
    return width != 0 && height != 0 && width <= kMaxPixels && height <= kMaxPixels &&
           width * height <= kMaxPixels;
}

// A number read from a file (a resolution, an Exif value) as an int, truncated toward zero; one
// that is not a number or lies outside the int range gives `fallback` (converting it would be
// undefined).
[[nodiscard]] inline std::int32_t ToInt32(double value, std::int32_t fallback = 0) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) return fallback;
    return static_cast<std::int32_t>(value);
}

// Reads exactly n bytes; false when fewer arrive.
[[nodiscard]] inline bool ReadExact(PixFile* f, void* buffer, std::size_t n) {
    return n == 0 || f->Read(buffer, 1, n) == n;
}

// Bytes between the stream's position and its end (0 when unknown).
[[nodiscard]] inline std::int64_t Remaining(PixFile* f) {
    const std::int64_t pos = f->Tell();
    const std::int64_t size = f->Size();
    return pos >= 0 && size > pos ? size - pos : 0;
}

[[nodiscard]] inline std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
[[nodiscard]] inline std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace pixlimits
