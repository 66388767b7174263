// Decoding of what both formats' records hold alike: packed bitmaps, point lists and font flags.
#include "platform/metafile/MetafilePlayerInternal.h"

namespace metafile {
namespace {

// Bitmaps inside a metafile larger than this are not drawn.
constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 24;

}  // namespace

QImage DibToImage(const Bytes& r, std::size_t bmiOffset, std::size_t bmiSize, std::size_t bitsOffset,
                  std::size_t bitsSize) {
    if (!r.Has(bmiOffset, bmiSize) || !r.Has(bitsOffset, bitsSize) || bmiSize < 12) return {};
    const Bytes bmi(r.At(bmiOffset), bmiSize);
    const std::uint32_t headerSize = bmi.U32(0);
    std::int64_t width, height;
    std::uint32_t bpp, compression = 0, used = 0;
    std::size_t entry = 4;
    if (headerSize == 12) {
        width = bmi.U16(4);
        height = bmi.S16(6);
        bpp = bmi.U16(10);
        entry = 3;
    } else if (headerSize >= 40 && bmiSize >= 40) {
        width = bmi.S32(4);
        height = bmi.S32(8);
        bpp = bmi.U16(14);
        compression = bmi.U32(16);
        used = bmi.U32(32);
    } else {
        return {};
    }
    const bool topDown = height < 0;
    height = std::llabs(height);
    if (width <= 0 || height <= 0 || width * height > kMaxBitmapPixels) return {};
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return {};
    if (compression != BI_RGB && compression != 3) return {};
    std::uint32_t masks[3] = {bpp == 16 ? 0x7C00u : 0xFF0000u, bpp == 16 ? 0x03E0u : 0xFF00u, bpp == 16 ? 0x1Fu : 0xFFu};
    if (compression == 3) {
        for (int i = 0; i < 3; ++i) masks[i] = bmi.U32(headerSize + 4 * i);
    }
    std::vector<QRgb> palette;
    if (bpp <= 8) {
        const std::size_t n = used && used <= (1u << bpp) ? used : (1u << bpp);
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t o = headerSize + i * entry;
            palette.push_back(bmi.Has(o, 3) ? qRgb(bmi.At(o)[2], bmi.At(o)[1], bmi.At(o)[0]) : qRgb(0, 0, 0));
        }
    }
    auto channel = [](std::uint32_t v, std::uint32_t mask) -> int {
        if (!mask) return 0;
        int shift = 0;
        while (!((mask >> shift) & 1)) ++shift;
        const std::uint32_t max = mask >> shift;
        return int(((v & mask) >> shift) * 255 / max);
    };
    const std::size_t stride = std::size_t((width * bpp + 31) / 32) * 4;
    const Bytes bits(r.At(bitsOffset), bitsSize);
    QImage image(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull()) return {};
    image.fill(Qt::black);
    for (std::int64_t y = 0; y < height; ++y) {
        const std::size_t row = std::size_t(topDown ? y : height - 1 - y) * stride;
        if (!bits.Has(row, stride)) continue;  // rows the data lacks stay black
        const std::uint8_t* in = bits.At(row);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
        for (std::int64_t x = 0; x < width; ++x) {
            std::uint32_t index = 0;
            switch (bpp) {
            case 1: index = (in[x >> 3] >> (7 - (x & 7))) & 1; break;
            case 4: index = (in[x >> 1] >> ((x & 1) ? 0 : 4)) & 15; break;
            case 8: index = in[x]; break;
            case 16: {
                const std::uint32_t v = in[2 * x] | in[2 * x + 1] << 8;
                out[x] = qRgb(channel(v, masks[0]), channel(v, masks[1]), channel(v, masks[2]));
                continue;
            }
            case 24: out[x] = qRgb(in[3 * x + 2], in[3 * x + 1], in[3 * x]); continue;
            default: {
                const std::uint32_t v = std::uint32_t(in[4 * x]) | std::uint32_t(in[4 * x + 1]) << 8 |
                                        std::uint32_t(in[4 * x + 2]) << 16 | std::uint32_t(in[4 * x + 3]) << 24;
                out[x] = qRgb(channel(v, masks[0]), channel(v, masks[1]), channel(v, masks[2]));
                continue;
            }
            }
            out[x] = index < palette.size() ? palette[index] : qRgb(0, 0, 0);
        }
    }
    return image;
}

void ReadFontFlags(const Bytes& r, std::size_t at, LOGFONT& lf) {
    if (!r.Has(at, 8)) return;
    lf.lfItalic = r.At(at)[0];
    lf.lfUnderline = r.At(at)[1];
    lf.lfStrikeOut = r.At(at)[2];
    lf.lfCharSet = r.At(at)[3];
    lf.lfQuality = r.At(at)[6];
}

QPolygonF ReadPoints(const Bytes& r, std::size_t offset, std::uint64_t count, bool small) {
    QPolygonF points;
    const std::uint64_t each = small ? 4 : 8;
    if (count > r.Size() || !r.Has(offset, std::size_t(count * each))) return points;
    points.reserve(int(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t o = offset + std::size_t(i * each);
        points.append(small ? QPointF(r.S16(o), r.S16(o + 2)) : QPointF(r.S32(o), r.S32(o + 4)));
    }
    return points;
}

}  // namespace metafile
