#include "image/PixImageBMP.h"

#include "image/PixDecodeLimits.h"

#include "image/PixFile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

static_assert(std::endian::native == std::endian::little, "the bitmap headers are read as they lie in memory");

namespace {

#pragma pack(push, 1)
struct BmpFileHeader {
    std::uint16_t type;
    std::uint32_t size;
    std::uint16_t reserved1;
    std::uint16_t reserved2;
    std::uint32_t offset;
};
#pragma pack(pop)
static_assert(sizeof(BmpFileHeader) == 14);

constexpr std::uint16_t kBmType = 0x4D42;
constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3;

// Header fields multiply past 64 bits in a hostile file: this arithmetic is done in 128.
using Wide = __int128;
Wide RowBytes(Wide bpp, Wide width) { return ((bpp * width + 31) / 32) * 4; }

// Reads the information header of any kind into a BITMAPINFOHEADER and leaves the stream behind it.
bool ReadInfoHeader(PixFile* f, BITMAPINFOHEADER& bi, bool& core) {
    // The size comes first so that a small file with a 12-byte core header is not refused for
    // lacking the 40 bytes of the larger header.
    if (f->Read(&bi.biSize, 4, 1) != 1) return false;
    if (bi.biSize == 12) {
        if (f->Read(reinterpret_cast<std::uint8_t*>(&bi) + 4, 8, 1) != 1) return false;
    } else if (f->Read(reinterpret_cast<std::uint8_t*>(&bi) + 4, sizeof bi - 4, 1) != 1) {
        return false;
    }
    core = false;
    if (bi.biSize == 12) {
        std::uint16_t w, h, planes, bits;
        const auto* raw = reinterpret_cast<const std::uint8_t*>(&bi);
        std::memcpy(&w, raw + 4, 2);
        std::memcpy(&h, raw + 6, 2);
        std::memcpy(&planes, raw + 8, 2);
        std::memcpy(&bits, raw + 10, 2);
        bi = BITMAPINFOHEADER{};
        bi.biSize = 12;
        bi.biWidth = w;
        bi.biHeight = h;
        bi.biPlanes = planes;
        bi.biBitCount = bits;
        core = true;
    } else if (bi.biSize == 40) {
    } else if (bi.biSize == 64) {
        if (!f->Seek(24, 1)) return false;
    } else {
        if (bi.biSize < 41) return false;
        const Wide expected = RowBytes(bi.biBitCount, bi.biWidth) * bi.biHeight;
        if (bi.biPlanes != 1 || bi.biCompression != 0 || bi.biClrUsed != 0 ||
            static_cast<Wide>(bi.biSizeImage) != expected)
            return false;
        if (bi.biSize - 40 > 0x7FFFFFFFu || !f->Seek(static_cast<std::int32_t>(bi.biSize - 40), 1)) return false;
    }
    if (bi.biSizeImage == 0) {
        const Wide size = ((static_cast<Wide>(bi.biBitCount) * bi.biWidth + 31) & ~Wide{31}) / 8 * bi.biHeight;
        bi.biSizeImage = static_cast<std::uint32_t>(static_cast<unsigned __int128>(size));
    }
    if (bi.biClrUsed == 0 && bi.biBitCount <= 8) bi.biClrUsed = 1u << bi.biBitCount;
    return true;
}

std::int32_t PelsToDpi(std::int32_t pelsPerMeter) {
    return static_cast<std::int32_t>(std::floor(pelsPerMeter * 254.0 / 10000.0 + 0.5));
}

}  // namespace

bool PixImageBMP::Decode(PixFile* f) {
    if (!f) return false;
    const std::int32_t start = f->Tell();

    BmpFileHeader fh{};
    if (f->Read(&fh, sizeof fh, 1) != 1) {
        SetError("Not a BMP");
        return false;
    }
    if (fh.type != kBmType) {
        fh.offset = 0;
        f->Seek(start, 0);
    }

    BITMAPINFOHEADER bi{};
    bool core = false;
    if (!ReadInfoHeader(f, bi, core)) {
        SetError("Error reading BMP info");
        return false;
    }

    const std::uint32_t compression = bi.biCompression;
    const bool topDown = bi.biHeight < 0;
    const std::int64_t height64 = topDown ? -static_cast<std::int64_t>(bi.biHeight) : bi.biHeight;
    const std::int32_t height = height64 > 0x7FFFFFFF ? 0 : static_cast<std::int32_t>(height64);

    if (!pixlimits::PixelsAllowed(static_cast<std::uint32_t>(std::max(bi.biWidth, 0)), static_cast<std::uint32_t>(height)) ||
        !Create(bi.biWidth, height, bi.biBitCount, PIX_FORMAT_BMP)) {
        SetError("Can't allocate memory");
        return false;
    }
    head.biXPelsPerMeter = bi.biXPelsPerMeter;
    head.biYPelsPerMeter = bi.biYPelsPerMeter;
    SyncHeader();
    info.xDpi = PelsToDpi(bi.biXPelsPerMeter);
    info.yDpi = PelsToDpi(bi.biYPelsPerMeter);

    if (RGBQUAD* pal = GetPalette()) {
        std::uint64_t entries = bi.biClrUsed;
        if (entries == 0 && bi.biBitCount <= 8) entries = 1u << bi.biBitCount;
        const std::uint64_t kept = std::min<std::uint64_t>(entries, head.biClrUsed);
        const std::uint64_t entrySize = core ? 3 : 4;
        if (core) {
            std::vector<std::uint8_t> triples(kept * 3);
            f->Read(triples.data(), 1, triples.size());
            for (std::uint64_t i = kept; i-- > 0;)
                pal[i] = RGBQUAD{triples[3 * i], triples[3 * i + 1], triples[3 * i + 2], 0};
        } else {
            f->Read(pal, 4, kept);
            for (std::uint32_t i = 0; i < head.biClrUsed; ++i) pal[i].rgbReserved = 0;
        }
        // Entries beyond what the image can hold are skipped so that the pixels of a headerless
        // DIB are still found right after the colour table.
        const std::uint64_t skip = (entries - kept) * entrySize;
        if (skip) {
            if (skip > 0x7FFFFFFF) f->Seek(0, 2);
            else f->Seek(static_cast<std::int32_t>(skip), 1);
        }
    }

    // An offset past what a seek can reach simply leaves no pixel data to read.
    const std::int64_t pixelsAt = std::min<std::int64_t>(static_cast<std::int64_t>(start) + fh.offset, 0x7FFFFFFF);
    auto seekToPixels = [&] {
        if (fh.offset != 0) f->Seek(static_cast<std::int32_t>(pixelsAt), 0);
    };

    std::uint64_t dataBytes = 0;
    const std::uint64_t width = static_cast<std::uint64_t>(head.biWidth);
    switch (bi.biBitCount) {
    case 16: {
        std::uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
        if (compression == kBitfields) f->Read(masks, 4, 3);
        seekToPixels();
        const std::uint64_t srcStride = ((width + 1) / 2) * 4;
        const std::uint64_t total = srcStride * static_cast<std::uint64_t>(head.biHeight);
        const std::size_t got = f->Read(info.pixels, 1, static_cast<std::size_t>(total));
        dataBytes = Bitfield2RGBPrefix(info.pixels, masks[0] & 0xFFFF, masks[1] & 0xFFFF, masks[2] & 0xFFFF, 16, got);
        break;
    }
    case 1:
    case 4:
    case 8:
        seekToPixels();
        if (compression == kRgb) {
            dataBytes = f->Read(info.pixels, 1, head.biSizeImage);
        } else if (compression == kRle8) {
            DecodeRle8(f, topDown);
        } else if (compression == kRle4) {
            DecodeRle4(f, topDown);
        } else {
            SetError("compression type not supported");
            Destroy();
            return false;
        }
        break;
    case 24:
        seekToPixels();
        if (compression != kRgb) {
            SetError("unknown compression");
            Destroy();
            return false;
        }
        dataBytes = f->Read(info.pixels, 1, head.biSizeImage);
        break;
    case 32: {
        if (compression != kRgb && compression != kBitfields) {
            SetError("unknown compression");
            Destroy();
            return false;
        }
        seekToPixels();
        // Row by row in bounded chunks: the fourth byte of each pixel is dropped on the way in.
        constexpr std::size_t kChunk = 4096;
        std::vector<std::uint8_t> buffer(kChunk * 4);
        bool more = true;
        for (std::uint32_t y = 0; more && y < static_cast<std::uint32_t>(head.biHeight); ++y) {
            std::uint8_t* row = GetBits(y);
            for (std::uint64_t x = 0; x < width;) {
                const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, width - x));
                const std::size_t got = f->Read(buffer.data(), 4, want);
                for (std::size_t i = 0; i < got; ++i) std::memcpy(row + 3 * (x + i), &buffer[4 * i], 3);
                x += got;
                dataBytes = static_cast<std::uint64_t>(y) * info.stride + 3 * x;
                if (got < want) {
                    more = false;
                    break;
                }
            }
        }
        break;
    }
    default:
        break;
    }

    if (topDown && compression != kRle8 && compression != kRle4) TurnTopDown(dataBytes);
    return true;
}

void PixImageBMP::TurnTopDown(std::uint64_t dataBytes) {
    const std::uint64_t h = static_cast<std::uint64_t>(head.biHeight), stride = info.stride;
    dataBytes = std::min<std::uint64_t>(dataBytes, stride * h);
    const std::uint64_t rows = (dataBytes + stride - 1) / stride;
    if (rows <= h / 2) {
        // The lower rows hold no data: move the part that does up and clear its old place.
        for (std::uint64_t y = 0; y < rows; ++y) {
            const std::size_t n = static_cast<std::size_t>(std::min(stride, dataBytes - y * stride));
            std::memcpy(GetBits(static_cast<std::uint32_t>(h - 1 - y)), GetBits(static_cast<std::uint32_t>(y)), n);
            std::memset(GetBits(static_cast<std::uint32_t>(y)), 0, n);
        }
        return;
    }
    std::vector<std::uint8_t> tmp(stride);
    for (std::uint64_t y = 0; y < h / 2; ++y) {
        std::uint8_t* a = GetBits(static_cast<std::uint32_t>(y));
        std::uint8_t* b = GetBits(static_cast<std::uint32_t>(h - 1 - y));
        std::memcpy(tmp.data(), a, stride);
        std::memcpy(a, b, stride);
        std::memcpy(b, tmp.data(), stride);
    }
}

// Runs, deltas and absolute runs that leave the row or the image are dropped byte by byte; the
// stream is still consumed so that later rows stay in step. Rows of a top-down file are stored
// straight into their place.
void PixImageBMP::DecodeRle8(PixFile* f, bool topDown) {
    const std::int64_t h = head.biHeight, stride = info.stride;
    std::int64_t pos = 0, row = 0;
    auto store = [&](int value) {
        if (row < h && pos >= 0 && pos < stride)
            info.pixels[(topDown ? h - 1 - row : row) * stride + pos] = static_cast<std::uint8_t>(value);
        ++pos;
    };
    while (row < h) {
        const int n = f->GetC();
        if (n < 0) break;
        if (n > 0) {
            const int value = f->GetC();
            if (value < 0) break;
            for (int i = 0; i < n; ++i) store(value);
            continue;
        }
        const int cmd = f->GetC();
        if (cmd < 0 || cmd == 1) break;
        if (cmd == 0) {
            pos = 0;
            ++row;
        } else if (cmd == 2) {
            const int dx = f->GetC(), dy = f->GetC();
            if (dx < 0 || dy < 0) break;
            pos += dx;
            row += dy;
        } else {
            bool ok = true;
            for (int i = 0; i < cmd && ok; ++i) {
                const int b = f->GetC();
                if (b < 0) ok = false;
                else store(b);
            }
            if (!ok) break;
            if (cmd & 1) (void)f->GetC();
        }
    }
}

void PixImageBMP::DecodeRle4(PixFile* f, bool topDown) {
    const std::int64_t h = head.biHeight, stride = info.stride;
    std::int64_t x = 0, row = 0;
    auto store = [&](int nibble) {
        if (row < h && x >= 0 && x / 2 < stride) {
            std::uint8_t& b = info.pixels[(topDown ? h - 1 - row : row) * stride + x / 2];
            if ((x & 1) == 0) b = static_cast<std::uint8_t>(nibble << 4);
            else b = static_cast<std::uint8_t>(b | nibble);
        }
        ++x;
    };
    while (row < h) {
        const int n = f->GetC();
        if (n < 0) break;
        if (n > 0) {
            const int value = f->GetC();
            if (value < 0) break;
            for (int i = 0; i < n; ++i) store((i & 1) ? (value & 15) : (value >> 4));
            continue;
        }
        const int cmd = f->GetC();
        if (cmd < 0 || cmd == 1) break;
        if (cmd == 0) {
            x = 0;
            ++row;
        } else if (cmd == 2) {
            const int dx = f->GetC(), dy = f->GetC();
            if (dx < 0 || dy < 0) break;
            x += dx;
            row += dy;
        } else {
            bool ok = true;
            int b = 0;
            for (int i = 0; i < cmd && ok; ++i) {
                if ((i & 1) == 0) {
                    b = f->GetC();
                    if (b < 0) {
                        ok = false;
                        break;
                    }
                }
                store((i & 1) ? (b & 15) : (b >> 4));
            }
            if (!ok) break;
            if (((cmd + 1) / 2) & 1) (void)f->GetC();
        }
    }
}
