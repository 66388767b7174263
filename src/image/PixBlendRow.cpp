#include "image/PixBlendRow.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PIX_BLEND_AVX2 1
#endif

namespace {

void BlendScalar(const std::uint8_t* bgr, const std::uint8_t* alpha, std::uint32_t alphaScale, std::int64_t key,
                 int count, std::uint32_t* words)
{
    for (int c = 0; c < count; ++c) {
        const std::uint32_t a = ((alpha ? alpha[c] : 255u) * alphaScale) >> 8;
        const std::uint8_t* p = bgr + 3 * static_cast<std::size_t>(c);
        const std::uint32_t colour = p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
        if (a == 0 || std::int64_t(colour) == key)
            continue;
        const std::uint32_t old = words[c];
        if (a == 255) {
            words[c] = (old & 0xFF000000u) | colour;
            continue;
        }
        const std::uint32_t na = 255 - a;
        const std::uint32_t b = ((old & 0xFF) * na + a * p[0]) >> 8;
        const std::uint32_t g = (((old >> 8) & 0xFF) * na + a * p[1]) >> 8;
        const std::uint32_t r = (((old >> 16) & 0xFF) * na + a * p[2]) >> 8;
        words[c] = (old & 0xFF000000u) | (r << 16) | (g << 8) | b;
    }
}

#ifdef PIX_BLEND_AVX2
// (d * (255 - a) + s * a) >> 8 in 16-bit lanes: no term exceeds 255 * 255, so it is exact.
__attribute__((target("avx2"), always_inline)) inline __m256i Mix(__m256i d, __m256i s, __m256i a)
{
    const __m256i sum = _mm256_add_epi16(_mm256_mullo_epi16(d, _mm256_sub_epi16(_mm256_set1_epi16(255), a)),
                                         _mm256_mullo_epi16(s, a));
    return _mm256_srli_epi16(sum, 8);
}

// Eight pixels a step, made for each combination of alpha channel, alpha scale and key so that the
// loop carries no work a row does not need. Returns how many pixels it did; the caller finishes.
template <bool HasAlpha, bool Scaled, bool Keyed>
__attribute__((target("avx2"))) int BlendAvx2(const std::uint8_t* bgr, const std::uint8_t* alpha,
                                              std::uint32_t alphaScale, std::int64_t key, int count,
                                              std::uint32_t* words)
{
    const __m128i firstFour = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i lastFour = _mm_setr_epi8(4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1);
    // Each pixel's a on the 16-bit lanes of its three colour bytes, as unpacking lays the pixels out.
    const __m256i spreadLow = _mm256_setr_epi8(0, -1, 0, -1, 0, -1, -1, -1, 4, -1, 4, -1, 4, -1, -1, -1, 0, -1, 0,
                                               -1, 0, -1, -1, -1, 4, -1, 4, -1, 4, -1, -1, -1);
    const __m256i spreadHigh = _mm256_setr_epi8(8, -1, 8, -1, 8, -1, -1, -1, 12, -1, 12, -1, 12, -1, -1, -1, 8, -1,
                                                8, -1, 8, -1, -1, -1, 12, -1, 12, -1, 12, -1, -1, -1);
    const __m256i scale = _mm256_set1_epi32(int(alphaScale));
    const __m256i keyWords = _mm256_set1_epi32(key >= 0 ? int(key) : -1);  // -1 matches no colour
    const __m256i zero = _mm256_setzero_si256();
    const __m256i opaque = _mm256_set1_epi32(255);
    const __m256i topBytes = _mm256_set1_epi32(int(0xFF000000u));
    int c = 0;
    for (; c + 8 <= count; c += 8) {
        // The 24 bytes of eight pixels as two overlapping loads, so nothing past them is read.
        const std::uint8_t* p = bgr + 3 * static_cast<std::size_t>(c);
        const __m128i lo = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), firstFour);
        const __m128i hi = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8)), lastFour);
        const __m256i colour = _mm256_set_m128i(hi, lo);
        __m256i a = opaque;
        if constexpr (HasAlpha)
            a = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(alpha + c)));
        if constexpr (Scaled)  // a * scale <= 255 * 256 fits the low 16 bits of each 32-bit lane
            a = _mm256_srli_epi32(_mm256_mullo_epi16(a, scale), 8);
        if constexpr (Keyed)
            a = _mm256_andnot_si256(_mm256_cmpeq_epi32(colour, keyWords), a);
        if (_mm256_testz_si256(a, a))
            continue;
        auto* out = reinterpret_cast<__m256i*>(words + c);
        const __m256i d = _mm256_loadu_si256(out);
        const __m256i take = _mm256_cmpeq_epi32(a, opaque);
        if (_mm256_movemask_epi8(take) == -1) {
            _mm256_storeu_si256(out, _mm256_or_si256(_mm256_and_si256(d, topBytes), colour));
            continue;
        }
        const __m256i low = Mix(_mm256_unpacklo_epi8(d, zero), _mm256_unpacklo_epi8(colour, zero),
                                _mm256_shuffle_epi8(a, spreadLow));
        const __m256i high = Mix(_mm256_unpackhi_epi8(d, zero), _mm256_unpackhi_epi8(colour, zero),
                                 _mm256_shuffle_epi8(a, spreadHigh));
        // a = 255 takes the colour, a = 0 and every top byte keep what was there.
        const __m256i mixed = _mm256_blendv_epi8(_mm256_packus_epi16(low, high), colour, take);
        const __m256i keep = _mm256_or_si256(_mm256_cmpeq_epi32(a, zero), topBytes);
        _mm256_storeu_si256(out, _mm256_blendv_epi8(mixed, d, keep));
    }
    return c;
}

bool HasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

}  // namespace

void PixBlendRow32(const std::uint8_t* bgr, const std::uint8_t* alpha, std::uint32_t alphaScale, std::int64_t key,
                   int count, std::uint32_t* words)
{
    int done = 0;
#ifdef PIX_BLEND_AVX2
    if (HasAvx2()) {
        using Row = int (*)(const std::uint8_t*, const std::uint8_t*, std::uint32_t, std::int64_t, int, std::uint32_t*);
        static constexpr Row kRows[8] = {BlendAvx2<false, false, false>, BlendAvx2<false, false, true>,
                                         BlendAvx2<false, true, false>,  BlendAvx2<false, true, true>,
                                         BlendAvx2<true, false, false>,  BlendAvx2<true, false, true>,
                                         BlendAvx2<true, true, false>,   BlendAvx2<true, true, true>};
        const int which = (alpha ? 4 : 0) | (alphaScale != 256 ? 2 : 0) | (key >= 0 ? 1 : 0);
        done = kRows[which](bgr, alpha, alphaScale, key, count, words);
    }
#endif
    BlendScalar(bgr + 3 * static_cast<std::size_t>(done), alpha ? alpha + done : nullptr, alphaScale, key,
                count - done, words + done);
}
