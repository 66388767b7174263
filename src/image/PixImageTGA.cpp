#include "image/PixImageTGA.h"

#include "image/PixDecodeLimits.h"

#include <algorithm>
#include <cstring>

using pixlimits::Le16;
using pixlimits::ReadExact;

namespace {

// Thrown inside Decode only; the text becomes the last-error text.
struct TgaError {
    const char* text;
};

struct TgaHeader {
    std::uint8_t idLength = 0;
    std::uint8_t colorMapType = 0;
    std::uint8_t imageType = 0;
    std::uint16_t colorMapLength = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t depth = 0;
    std::uint8_t descriptor = 0;
};

constexpr const char* kCorrupted = "corrupted TGA";
constexpr const char* kCreateFailed = "TGA Create failed";

// Reads one pixel value of the file's depth as blue, green, red, alpha.
void ReadPixel(PixFile* f, std::uint32_t depth, std::uint8_t out[4]) {
    std::uint8_t raw[4] = {};
    const std::size_t n = depth == 8 ? 1 : depth <= 16 ? 2 : depth == 24 ? 3 : 4;
    if (!ReadExact(f, raw, n)) throw TgaError{kCorrupted};
    if (depth == 15 || depth == 16) {
        const std::uint32_t w = Le16(raw);
        out[0] = static_cast<std::uint8_t>((w & 31) * 8);
        out[1] = static_cast<std::uint8_t>((w >> 2) & 0xF8);
        out[2] = static_cast<std::uint8_t>((w >> 7) & 0xF8);
        out[3] = 255;
    } else {
        std::memcpy(out, raw, 4);
    }
}

}  // namespace

bool PixImageTGA::Decode(PixFile* stream) {
    if (!stream) return false;
    try {
        std::uint8_t raw[18];
        if (!ReadExact(stream, raw, sizeof raw)) throw TgaError{"Not a TGA"};
        TgaHeader h;
        h.idLength = raw[0];
        h.colorMapType = raw[1];
        h.imageType = raw[2];
        h.colorMapLength = Le16(raw + 5);
        h.width = Le16(raw + 12);
        h.height = Le16(raw + 14);
        h.depth = raw[16];
        h.descriptor = raw[17];

        const bool rle = h.imageType >= 9;
        if (h.imageType != 1 && h.imageType != 2 && h.imageType != 3 && h.imageType != 9 &&
            h.imageType != 10 && h.imageType != 11)
            throw TgaError{"Unknown TGA image type"};
        if (h.width == 0 || h.height == 0 || h.depth == 0 || h.colorMapLength > 256) throw TgaError{"bad TGA header"};
        if (h.depth != 8 && h.depth != 15 && h.depth != 16 && h.depth != 24 && h.depth != 32)
            throw TgaError{"bad TGA header"};
        if (h.idLength && !stream->Seek(h.idLength, 1)) throw TgaError{kCorrupted};

        // A header may claim far more pixels than the file can hold: refuse before allocating.
        // Uncompressed data needs every byte; a run packet of at most 128 pixels needs at least 2.
        // An image too large to make fails as making it would.
        if (!pixlimits::PixelsAllowed(h.width, h.height)) throw TgaError{kCreateFailed};
        const std::uint64_t pixels = std::uint64_t{h.width} * h.height;
        const std::uint64_t left = static_cast<std::uint64_t>(pixlimits::Remaining(stream));
        const std::uint64_t bytesPerPixel = (h.depth + 7u) / 8u;
        if (rle ? pixels > left * 64 : pixels * bytesPerPixel > left) throw TgaError{kCorrupted};

        const std::uint32_t depth = h.depth;
        if (!Create(h.width, h.height, depth, PIX_FORMAT_TGA)) throw TgaError{kCreateFailed};
        if (depth == 32) AlphaCreate();

        if (h.colorMapType != 0 && h.colorMapLength) {
            std::uint8_t map[256 * 3];
            if (!ReadExact(stream, map, h.colorMapLength * 3u)) throw TgaError{kCorrupted};
            RGBQUAD* pal = GetPalette();
            const std::uint32_t n = std::min<std::uint32_t>(h.colorMapLength, head.biClrUsed);
            for (std::uint32_t i = 0; pal && i < n; ++i)
                pal[i] = RGBQUAD{map[3 * i], map[3 * i + 1], map[3 * i + 2], 0};
        }
        if (h.imageType == 3 || h.imageType == 11) SetGrayPalette();

        const bool topDown = (h.descriptor & 0x20) != 0;
        const std::int32_t width = h.width;
        const std::int32_t height = h.height;
        const std::int64_t end = stream->Size();
        const bool indexed = head.biBitCount == 8;
        // Writes n pixels of one value (or n read values) at column x of storage row `row`.
        auto put = [&](std::uint8_t* row, std::int32_t x, std::int32_t fileLine, const std::uint8_t px[4]) {
            if (indexed) {
                row[x] = px[0];
            } else {
                row[3 * x] = px[0];
                row[3 * x + 1] = px[1];
                row[3 * x + 2] = px[2];
            }
            if (depth == 32) AlphaSet(x, fileLine, px[3]);
        };

        std::int32_t pending = -1;  // packet header carried over from the line before
        for (std::int32_t y = 0; y < height; ++y) {
            if (stream->Tell() >= end) throw TgaError{kCorrupted};
            std::uint8_t* row = GetBits(static_cast<std::uint32_t>(topDown ? height - y - 1 : y));
            std::uint8_t px[4];
            if (!rle) {
                for (std::int32_t x = 0; x < width; ++x) {
                    ReadPixel(stream, depth, px);
                    put(row, x, y, px);
                }
                continue;
            }
            std::int32_t x = 0;
            while (x < width) {
                std::int32_t packet = pending;
                pending = -1;
                if (packet < 0) {
                    packet = stream->GetC();
                    if (packet < 0) throw TgaError{kCorrupted};
                }
                if (packet & 0x80) {
                    const std::int32_t count = packet - 127;
                    const std::int32_t valueAt = stream->Tell();
                    ReadPixel(stream, depth, px);
                    const std::int32_t take = std::min(count, width - x);
                    for (std::int32_t i = 0; i < take; ++i) put(row, x + i, y, px);
                    if (count > take) {
                        // The rest of the run continues the next line with the same value.
                        pending = count - take + 127;
                        if (!stream->Seek(valueAt, 0)) throw TgaError{kCorrupted};
                    }
                    x += take;
                } else {
                    const std::int32_t count = packet + 1;
                    const std::int32_t take = std::min(count, width - x);
                    for (std::int32_t i = 0; i < take; ++i) {
                        ReadPixel(stream, depth, px);
                        put(row, x + i, y, px);
                    }
                    if (count > take) pending = count - take - 1;
                    x += take;
                }
            }
        }

        if (h.descriptor & 0x10) Mirror();
        if (topDown && depth == 32) AlphaFlip();
        return true;
    } catch (const TgaError& e) {
        Destroy();  // no half-decoded picture is left behind
        SetError(e.text);
        return false;
    }
}
