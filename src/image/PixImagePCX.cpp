#include "image/PixImagePCX.h"

#include "image/PixDecodeLimits.h"

#include <algorithm>
#include <cstring>
#include <vector>

using pixlimits::Le16;
using pixlimits::ReadExact;

namespace {

// Thrown inside Decode only; the text becomes the last-error text.
struct PcxError {
    const char* text;
};

constexpr const char* kCorrupted = "corrupted PCX";

}  // namespace

bool PixImagePCX::Decode(PixFile* stream) {
    if (!stream) return false;
    try {
        std::uint8_t h[128];
        if (!ReadExact(stream, h, sizeof h)) throw PcxError{"Can't read PCX image"};
        if (h[0] != 10) throw PcxError{"Error: Not a PCX file"};
        if (h[2] != 1) throw PcxError{"PCX file has unknown encoding scheme"};
        const std::uint32_t bits = h[3];
        const std::int32_t width = static_cast<std::int32_t>(Le16(h + 8)) - Le16(h + 4) + 1;
        const std::int32_t height = static_cast<std::int32_t>(Le16(h + 10)) - Le16(h + 6) + 1;
        info.xDpi = Le16(h + 12);
        info.yDpi = Le16(h + 14);
        const std::uint32_t planes = h[65];
        const std::uint32_t bytesPerLine = Le16(h + 66);

        if (planes > 4) throw PcxError{"Can't handle image with more than 4 planes"};
        // Without a plane or a bit there is no pixel data to decode.
        if (planes == 0 || bits == 0) throw PcxError{"PCX bits per pixel not supported"};
        if (planes == 1 && bits != 1 && bits != 2 && bits != 4 && bits != 8)
            throw PcxError{"PCX bits per pixel not supported"};
        if (planes > 1 && bits != 1 && !(bits == 8 && planes >= 3))
            throw PcxError{"Can't handle more than 1 bit per pixel"};
        if (width > 0 && height > 0) {
            if (!pixlimits::PixelsAllowed(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height)))
                throw PcxError{kMaxMemoryError};
            // Every line of every plane must hold the whole width, or pixels would be read from
            // the next plane or line.
            if (std::uint64_t{bytesPerLine} * 8 < static_cast<std::uint64_t>(width) * bits)
                throw PcxError{"PCX line shorter than the image width"};
        }

        const bool rgb = bits == 8 && planes >= 3;
        // Several planes of 1 bit make an index of one bit per plane.
        const std::uint32_t depth = rgb ? 24 : planes > 1 ? planes : bits;
        if (!Create(width, height, depth, PIX_FORMAT_PCX)) return false;
        if (rgb && planes == 4) AlphaCreate();

        // Decode the whole image first. A run of at most 63 bytes takes 2 bytes of the file, so a
        // size the file cannot hold is refused before the buffer is made.
        const std::uint64_t lineBytes = std::uint64_t{bytesPerLine} * planes;
        const std::uint64_t expected = lineBytes * static_cast<std::uint64_t>(height);
        if (expected > static_cast<std::uint64_t>(pixlimits::Remaining(stream)) * 32 + 64)
            throw PcxError{kCorrupted};
        std::vector<std::uint8_t> data(static_cast<std::size_t>(expected));
        std::size_t filled = 0;
        while (filled < data.size()) {
            const std::int32_t c = stream->GetC();
            if (c < 0) throw PcxError{kCorrupted};
            if ((c & 0xC0) == 0xC0) {
                const std::size_t count = static_cast<std::size_t>(c & 0x3F);
                if (count > data.size() - filled) throw PcxError{"repeat count spans end of image"};
                const std::int32_t value = stream->GetC();
                if (value < 0) throw PcxError{kCorrupted};
                std::memset(data.data() + filled, value, count);
                filled += count;
            } else {
                data[filled++] = static_cast<std::uint8_t>(c);
            }
        }

        std::uint8_t palette[256 * 3] = {};
        std::memcpy(palette, h + 16, 48);
        if (bits == 8 && planes == 1) {
            if (stream->GetC() != 12) throw PcxError{"bad color map signature"};
            if (!ReadExact(stream, palette, sizeof palette)) throw PcxError{kCorrupted};
        } else if (bits == 1 && planes == 1) {
            std::memset(palette, 0, 3);
            std::memset(palette + 3, 255, 3);
        }
        SetPalette(palette, 256);

        for (std::int32_t y = 0; y < height; ++y) {
            const std::uint8_t* line = data.data() + static_cast<std::size_t>(y) * lineBytes;
            const std::int32_t row = height - 1 - y;
            if (rgb) {
                std::uint8_t* out = GetBits(static_cast<std::uint32_t>(row));
                for (std::int32_t x = 0; x < width; ++x) {
                    out[3 * x + 2] = line[x];
                    out[3 * x + 1] = line[bytesPerLine + x];
                    out[3 * x] = line[2 * bytesPerLine + x];
                    if (planes == 4) AlphaSet(x, row, line[3 * bytesPerLine + x]);
                }
            } else if (planes == 1 && bits != 2) {
                // 1, 4 and 8 bits are packed as the image packs them: leftmost pixel highest.
                std::memcpy(GetBits(static_cast<std::uint32_t>(row)), line,
                            std::min<std::size_t>(bytesPerLine, GetEffWidth()));
            } else if (planes == 1) {
                const std::uint32_t perByte = 8 / bits;
                const std::uint32_t mask = (1u << bits) - 1;
                for (std::int32_t x = 0; x < width; ++x) {
                    const std::uint32_t b = line[static_cast<std::uint32_t>(x) / perByte];
                    const std::uint32_t shift = 8 - bits * (static_cast<std::uint32_t>(x) % perByte + 1);
                    SetPixelIndex(x, row, static_cast<std::uint8_t>((b >> shift) & mask));
                }
            } else {
                for (std::int32_t x = 0; x < width; ++x) {
                    std::uint32_t index = 0;
                    for (std::uint32_t p = 0; p < planes; ++p) {
                        const std::uint32_t b = line[p * bytesPerLine + static_cast<std::uint32_t>(x) / 8];
                        index |= ((b >> (7 - x % 8)) & 1u) << p;
                    }
                    SetPixelIndex(x, row, static_cast<std::uint8_t>(index));
                }
            }
        }
        return true;
    } catch (const PcxError& e) {
        Destroy();  // no half-decoded picture is left behind
        SetError(e.text);
        return false;
    }
}
