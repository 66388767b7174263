#include "image/PixImagePNG.h"

#include "image/PixFile.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// BGRA pixels into BGR and alpha rows. Each pixel is moved as four bytes, its fourth overwritten
// by the next pixel, which keeps the loop to whole-word moves; the last pixel moves three.
void SplitAlphaWords(const std::uint8_t* bgra, std::uint8_t* bgr, std::uint8_t* alphaRow, std::int32_t width,
                     std::int32_t from)
{
    std::int32_t x = from;
    for (; x + 1 < width; ++x) {
        std::uint32_t pixel;
        std::memcpy(&pixel, bgra + 4 * x, 4);
        std::memcpy(bgr + 3 * x, &pixel, 4);
        alphaRow[x] = bgra[4 * x + 3];
    }
    for (; x < width; ++x) {
        std::memcpy(bgr + 3 * x, bgra + 4 * x, 3);
        alphaRow[x] = bgra[4 * x + 3];
    }
}

void SplitAlphaPlain(const std::uint8_t* bgra, std::uint8_t* bgr, std::uint8_t* alphaRow, std::int32_t width)
{
    SplitAlphaWords(bgra, bgr, alphaRow, width, 0);
}

#if defined(__x86_64__)
// Four pixels per shuffle. Each store writes 16 bytes of which 12 are this step's: the loop stops
// while those 4 extra bytes still fall inside the row.
__attribute__((target("ssse3"))) void SplitAlphaSsse3(const std::uint8_t* bgra, std::uint8_t* bgr,
                                                      std::uint8_t* alphaRow, std::int32_t width)
{
    const __m128i toBgr = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m128i toAlpha = _mm_setr_epi8(3, 7, 11, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    std::int32_t x = 0;
    for (; x + 6 <= width; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgra + 4 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bgr + 3 * x), _mm_shuffle_epi8(p, toBgr));
        const std::int32_t alpha = _mm_cvtsi128_si32(_mm_shuffle_epi8(p, toAlpha));
        std::memcpy(alphaRow + x, &alpha, 4);
    }
    SplitAlphaWords(bgra, bgr, alphaRow, width, x);
}
#endif

using SplitFunction = void (*)(const std::uint8_t*, std::uint8_t*, std::uint8_t*, std::int32_t);

void SplitAlpha(const std::uint8_t* bgra, std::uint8_t* bgr, std::uint8_t* alphaRow, std::int32_t width)
{
    static const SplitFunction split = [] {
#if defined(__x86_64__)
        __builtin_cpu_init();
        if (__builtin_cpu_supports("ssse3"))
            return &SplitAlphaSsse3;
#endif
        return &SplitAlphaPlain;
    }();
    split(bgra, bgr, alphaRow, width);
}

}  // namespace

// Everything that must survive a jump back from libpng lives here, never in a local of the
// function that set the jump buffer.
struct PixImagePNG::ReadState {
    PixImagePNG* image = nullptr;
    PixFile* file = nullptr;
    png_structp png = nullptr;
    png_infop pngInfo = nullptr;
    std::uint8_t* row = nullptr;
    std::size_t rowSize = 0;
    int bitDepth = 0;
    int passes = 1;
    bool withAlpha = false;
};

void PixImagePNG::OnError(png_structp png, png_const_charp message) {
    auto* st = static_cast<ReadState*>(png_get_error_ptr(png));
    st->image->SetError(message);
    png_longjmp(png, 1);
}

void PixImagePNG::OnWarning(png_structp, png_const_charp) {}

void PixImagePNG::OnRead(png_structp png, png_bytep data, std::size_t length) {
    auto* st = static_cast<ReadState*>(png_get_io_ptr(png));
    if (st->file->Read(data, 1, length) != length) png_error(png, "Read Error");
}

bool PixImagePNG::Decode(PixFile* f) {
    if (!f) return false;
    ReadState state;
    ReadState* const st = &state;
    st->image = this;
    st->file = f;

    st->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, st, &PixImagePNG::OnError, &PixImagePNG::OnWarning);
    if (!st->png) {
        SetError("Failed to create PNG structure");
        return false;
    }
    st->pngInfo = png_create_info_struct(st->png);
    if (!st->pngInfo) {
        png_destroy_read_struct(&st->png, nullptr, nullptr);
        SetError("Failed to initialize PNG info structure");
        return false;
    }
    if (setjmp(png_jmpbuf(st->png))) {
        std::free(st->row);
        st->row = nullptr;
        png_destroy_read_struct(&st->png, &st->pngInfo, nullptr);
        Destroy();
        return false;
    }
    ReadRows(*st);
    std::free(st->row);
    st->row = nullptr;
    png_read_end(st->png, nullptr);
    png_destroy_read_struct(&st->png, &st->pngInfo, nullptr);
    return true;
}

// Runs between the jump buffer being set and the end of the rows: it holds no object with a
// destructor, since a libpng error leaves it by a long jump.
void PixImagePNG::ReadRows(ReadState& st) {
    png_structp png = st.png;
    png_infop pi = st.pngInfo;
    png_set_read_fn(png, &st, &PixImagePNG::OnRead);
    png_read_info(png, pi);

    png_uint_32 width = 0, height = 0;
    int colorType = 0, interlace = 0;
    png_get_IHDR(png, pi, &width, &height, &st.bitDepth, &colorType, &interlace, nullptr, nullptr);
    const int pixelDepth = png_get_channels(png, pi) * st.bitDepth;

    png_color_16p fileBackground = nullptr;
    const bool hasBackground = png_get_bKGD(png, pi, &fileBackground) != 0 && fileBackground;
    if (pixelDepth != 32) {
        if (hasBackground) {
            png_set_background(png, fileBackground, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
        } else {
            // Grey files are composed over the grey field: give it the same light grey.
            png_color_16 grey{0, 192, 192, 192, 192};
            if (st.bitDepth == 16 && (colorType & PNG_COLOR_MASK_COLOR) == 0) grey.gray = 192 * 257;
            png_set_background(png, &grey, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
        }
    } else if (hasBackground) {
        SetTransColor(RGBQUAD{static_cast<std::uint8_t>(fileBackground->blue),
                              static_cast<std::uint8_t>(fileBackground->green),
                              static_cast<std::uint8_t>(fileBackground->red), 0});
    }
    if (st.bitDepth == 16) png_set_strip_16(png);

    const int depth = pixelDepth > 16 ? 24 : pixelDepth == 16 ? 8 : pixelDepth;
    if (!Create(static_cast<std::int32_t>(std::min<png_uint_32>(width, 0x7FFFFFFF)),
                static_cast<std::int32_t>(std::min<png_uint_32>(height, 0x7FFFFFFF)),
                static_cast<std::uint32_t>(depth), PIX_FORMAT_PNG))
        png_error(png, GetLastError());

    png_uint_32 resX = 0, resY = 0;
    int unit = 0;
    png_get_pHYs(png, pi, &resX, &resY, &unit);
    if (unit == PNG_RESOLUTION_METER) {
        SetXDPI(static_cast<std::int32_t>(std::floor(resX * 254.0 / 10000.0 + 0.5)));
        SetYDPI(static_cast<std::int32_t>(std::floor(resY * 254.0 / 10000.0 + 0.5)));
    } else {
        SetXDPI(static_cast<std::int32_t>(std::min<png_uint_32>(resX, 0x7FFFFFFF)));
        SetYDPI(static_cast<std::int32_t>(std::min<png_uint_32>(resY, 0x7FFFFFFF)));
    }

    png_colorp plte = nullptr;
    int plteCount = 0;
    if (png_get_PLTE(png, pi, &plte, &plteCount) && plte && plteCount > 0) {
        SetPalette(reinterpret_cast<const std::uint8_t*>(plte), static_cast<std::uint32_t>(plteCount));
    } else if (st.bitDepth == 2) {
        static const std::uint8_t greys[4] = {0, 0x55, 0xAA, 0xFF};
        SetPalette(4, greys, greys, greys);
    } else {
        SetGrayPalette();
    }

    // Only a palette file carries per-entry alpha values; the single transparent sample of a
    // grey or colour file has already been composed over the background.
    png_bytep transAlpha = nullptr;
    int transCount = 0;
    if (colorType == PNG_COLOR_TYPE_PALETTE && png_get_tRNS(png, pi, &transAlpha, &transCount, nullptr) &&
        transAlpha && transCount > 0 && GetPalette()) {
        RGBQUAD* pal = GetPalette();
        const std::uint32_t n = std::min<std::uint32_t>(head.biClrUsed, static_cast<std::uint32_t>(transCount));
        for (std::uint32_t i = 0; i < n; ++i) pal[i].rgbReserved = transAlpha[i];
        if (transCount == 1 && transAlpha[0] == 0) {
            info.transIndex = 0;
        } else {
            info.alphaPalette = true;
            for (std::uint32_t i = n; i < head.biClrUsed; ++i) pal[i].rgbReserved = 0xFF;
        }
        info.nearestValid = false;
    }

    if (pixelDepth == 32 && (colorType == PNG_COLOR_TYPE_RGB_ALPHA || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)) {
        if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
            png_set_gray_to_rgb(png);
            png_set_expand(png);
        }
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        if (!AlphaCreate()) png_error(png, "PixImage::Create can't allocate memory");
        st.withAlpha = true;
    }
    if (colorType & PNG_COLOR_MASK_COLOR) png_set_bgr(png);

    st.passes = png_set_interlace_handling(png);
    SetCodecOption(st.passes > 1 ? 1 : 0, PIX_FORMAT_PNG);
    png_read_update_info(png, pi);

    // The buffer holds a file row before the transformations and an output row after them.
    const std::size_t fileRow = static_cast<std::size_t>(width) * static_cast<std::size_t>((pixelDepth + 7) / 8);
    st.rowSize = std::max<std::size_t>(fileRow, png_get_rowbytes(png, pi));
    if (st.withAlpha) st.rowSize = std::max<std::size_t>(st.rowSize, static_cast<std::size_t>(width) * 4);
    st.row = static_cast<std::uint8_t*>(std::calloc(st.rowSize ? st.rowSize : 1, 1));
    if (!st.row) png_error(png, "PixImage::Create can't allocate memory");

    const std::int32_t w = head.biWidth, h = head.biHeight;
    const std::size_t copyBytes = std::min<std::size_t>(st.rowSize, info.stride);
    std::uint8_t* buf = st.row;
    for (int pass = 0; pass < st.passes; ++pass) {
        const bool refill = st.passes > 1 && pass > 0;
        for (std::int32_t r = 0; r < h; ++r) {
            const std::int32_t y = h - 1 - r;
            std::uint8_t* line = GetBits(static_cast<std::uint32_t>(y));
            std::uint8_t* alphaLine = alpha ? alpha + static_cast<std::size_t>(y) * w : nullptr;
            if (!st.withAlpha) {
                if (refill) std::memcpy(buf, line, copyBytes);
                png_read_row(png, buf, nullptr);
                if (st.bitDepth == 2 && pass == st.passes - 1) {
                    for (std::int32_t x = w; x-- > 0;) {
                        const int v = (buf[x / 4] >> ((3 - x % 4) * 2)) & 3;
                        const int shift = (1 - x % 2) * 4;
                        std::uint8_t& b = buf[x / 2];
                        b = static_cast<std::uint8_t>((b & ~(0xF << shift)) | (v << shift));
                    }
                }
                std::memcpy(line, buf, copyBytes);
            } else {
                if (refill)
                    for (std::int32_t x = 0; x < w; ++x) {
                        std::memcpy(buf + 4 * x, line + 3 * x, 3);
                        buf[4 * x + 3] = alphaLine[x];
                    }
                png_read_row(png, buf, nullptr);
                SplitAlpha(buf, line, alphaLine, w);
            }
        }
    }
}
