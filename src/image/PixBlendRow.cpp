#include "image/PixBlendRow.h"

#include <array>
#include <cstddef>

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

#define PIX_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,bmi2")))

// What every AVX-512 step shares.
struct Lanes512 {
    __m512i toLanes, weightsLow, weightsHigh, highBytes, scale, keyWords, opaque, signBits, bias;
};

// n (1 .. 16) pixels from c on, with AVX-512 (byte permutes and masks); masks take the place of
// blends, and only the colour bytes of drawn pixels are stored, so the top bytes and the pixels
// with a = 0 keep what they had. A partial step reads and writes only its own pixels.
template <bool HasAlpha, bool Scaled, bool Keyed, bool Whole = false>
PIX_AVX512 __attribute__((always_inline)) inline void Step512(const Lanes512& k, const std::uint8_t* bgr,
                                                             const std::uint8_t* alpha, std::uint32_t* words,
                                                             int c, int n)
{
    const __mmask16 lanes = __mmask16((1u << n) - 1);
    const std::uint8_t* p = bgr + 3 * static_cast<std::size_t>(c);
    const __m512i loaded = Whole ? _mm512_loadu_si512(p) : _mm512_maskz_loadu_epi8((__mmask64(1) << (3 * n)) - 1, p);
    const __m512i colour = _mm512_maskz_permutexvar_epi8(0x7777777777777777ull, k.toLanes, loaded);
    // drawn: a != 0; take: a = 255; as: the sixteen a bytes. Found on the alpha bytes when a needs
    // no more work, so that runs that are wholly opaque or wholly transparent never widen them.
    __m128i as = _mm_set1_epi8(-1);
    __mmask16 drawn = lanes, take = lanes;
    if constexpr (HasAlpha && !Scaled && !Keyed) {
        as = Whole ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(alpha + c)) : _mm_maskz_loadu_epi8(lanes, alpha + c);
        drawn = _mm_mask_test_epi8_mask(lanes, as, as);
        if (!drawn)
            return;
        take = _mm_cmpeq_epi8_mask(as, _mm_set1_epi8(-1));
    } else {
        __m512i a = k.opaque;
        if constexpr (HasAlpha)
            a = _mm512_maskz_cvtepu8_epi32(lanes, Whole ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(alpha + c))
                                                        : _mm_maskz_loadu_epi8(lanes, alpha + c));
        if constexpr (Scaled)  // a * scale <= 255 * 256 fits the low 16 bits of each 32-bit lane
            a = _mm512_maskz_srli_epi32(lanes, _mm512_mullo_epi16(a, k.scale), 8);
        if constexpr (Keyed)
            a = _mm512_maskz_mov_epi32(_mm512_cmpneq_epi32_mask(colour, k.keyWords), a);
        drawn = _mm512_mask_test_epi32_mask(lanes, a, a);
        if (!drawn)
            return;
        take = _mm512_cmpeq_epi32_mask(a, k.opaque);
        as = _mm512_maskz_cvtepi32_epi8(lanes, a);
    }
    std::uint32_t* out = words + c;
    const __mmask64 colourBytes = _pdep_u64(drawn, 0x1111111111111111ull) * 7;
    if ((take & drawn) == drawn) {
        _mm512_mask_storeu_epi8(out, colourBytes, colour);
        return;
    }
    // d * (255 - a) + s * a, for each colour byte, as one multiply-add of byte pairs: the pixel
    // bytes less 128 (signed) against 255 - a and a (unsigned) sum to that total less 128 * 255,
    // within 16 bits; adding it back gives the exact total, whose high byte is the result.
    const __m512i weightSource = _mm512_zextsi128_si512(as);
    const __m512i notA = _mm512_zextsi128_si512(_mm_xor_si128(as, _mm_set1_epi8(-1)));
    const __m512i d = _mm512_xor_si512(Whole ? _mm512_loadu_si512(out) : _mm512_maskz_loadu_epi32(lanes, out), k.signBits);
    const __m512i s = _mm512_xor_si512(colour, k.signBits);
    const __m512i low = _mm512_add_epi16(
        _mm512_maddubs_epi16(_mm512_permutex2var_epi8(notA, k.weightsLow, weightSource), _mm512_unpacklo_epi8(d, s)),
        k.bias);
    const __m512i high = _mm512_add_epi16(
        _mm512_maddubs_epi16(_mm512_permutex2var_epi8(notA, k.weightsHigh, weightSource), _mm512_unpackhi_epi8(d, s)),
        k.bias);
    const __m512i mixed = _mm512_permutex2var_epi8(low, k.highBytes, high);
    _mm512_mask_storeu_epi8(out, colourBytes, _mm512_mask_mov_epi32(mixed, take, colour));
}

// Byte-pair weights (255 - a, a) for the pairs that unpacking the low (first) or high (second)
// eight bytes of each 128-bit lane of two pixel registers makes: pixel i's 255 - a is byte i of
// the first permute source, its a byte 64 + i.
constexpr std::array<std::uint8_t, 64> WeightIndices(int half)
{
    std::array<std::uint8_t, 64> w{};
    for (int lane = 0; lane < 4; ++lane)
        for (int pair = 0; pair < 8; ++pair) {
            const int pixel = 4 * lane + 2 * half + pair / 4;
            w[std::size_t(16 * lane + 2 * pair)] = std::uint8_t(pixel);
            w[std::size_t(16 * lane + 2 * pair + 1)] = std::uint8_t(64 + pixel);
        }
    return w;
}

// The high byte of each 16-bit sum, back in pixel order: the first eight bytes of each 128-bit lane
// from the sums of the low unpacking (first permute source), the next eight from the high ones.
constexpr std::array<std::uint8_t, 64> HighByteIndices()
{
    std::array<std::uint8_t, 64> h{};
    for (int lane = 0; lane < 4; ++lane)
        for (int i = 0; i < 8; ++i) {
            h[std::size_t(16 * lane + i)] = std::uint8_t(16 * lane + 2 * i + 1);
            h[std::size_t(16 * lane + 8 + i)] = std::uint8_t(64 + 16 * lane + 2 * i + 1);
        }
    return h;
}

// The whole row sixteen pixels a step from its first pixel, and a partial step for the tail. The
// steps keep to the image's own columns rather than to the cache lines of words: edges in a picture
// tend to fall on its columns, so fewer steps mix opaque and partial pixels, and the work that saves
// outweighs the loads and stores that cross a line.
template <bool HasAlpha, bool Scaled, bool Keyed>
PIX_AVX512 void BlendAvx512(const std::uint8_t* bgr, const std::uint8_t* alpha, std::uint32_t alphaScale,
                            std::int64_t key, int count, std::uint32_t* words, const std::uint8_t* nextBgr,
                            const std::uint8_t* nextAlpha)
{
    // Byte 3i + j of the 48 colour bytes to byte 4i + j of the lanes (j < 3; the fourth is zeroed).
    alignas(64) static constexpr std::uint8_t kToLanes[64] = {
        0,  1,  2,  0, 3,  4,  5,  0, 6,  7,  8,  0, 9,  10, 11, 0, 12, 13, 14, 0, 15, 16, 17, 0,
        18, 19, 20, 0, 21, 22, 23, 0, 24, 25, 26, 0, 27, 28, 29, 0, 30, 31, 32, 0, 33, 34, 35, 0,
        36, 37, 38, 0, 39, 40, 41, 0, 42, 43, 44, 0, 45, 46, 47, 0};
    alignas(64) static constexpr std::array<std::uint8_t, 64> kHighBytes = HighByteIndices();
    alignas(64) static constexpr std::array<std::uint8_t, 64> kWeightsLow = WeightIndices(0);
    alignas(64) static constexpr std::array<std::uint8_t, 64> kWeightsHigh = WeightIndices(1);
    Lanes512 k;
    k.toLanes = _mm512_load_si512(kToLanes);
    k.weightsLow = _mm512_load_si512(kWeightsLow.data());
    k.weightsHigh = _mm512_load_si512(kWeightsHigh.data());
    k.highBytes = _mm512_load_si512(kHighBytes.data());
    k.scale = _mm512_set1_epi32(int(alphaScale));
    k.keyWords = _mm512_set1_epi32(key >= 0 ? int(key) : -1);  // -1 matches no colour
    k.opaque = _mm512_set1_epi32(255);
    k.signBits = _mm512_set1_epi8(-128);
    k.bias = _mm512_set1_epi16(128 * 255);
    // Without a next row the prefetches fall on this row's bytes, which are read anyway.
    const std::uint8_t* bgrAhead = nextBgr ? nextBgr : bgr;
    const std::uint8_t* alphaAhead = nextAlpha ? nextAlpha : alpha ? alpha : bgr;
    int c = 0;
    // Whole steps load 64 colour bytes where all of them lie in the row. Each fetches the next
    // row's colour bytes in the same columns (a line per step at most), and every fourth its alpha.
    for (; 3 * (c + 16) + 16 <= 3 * count; c += 16) {
        _mm_prefetch(reinterpret_cast<const char*>(bgrAhead + 3 * static_cast<std::size_t>(c)), _MM_HINT_T0);
        if (HasAlpha && c % 64 == 0)
            _mm_prefetch(reinterpret_cast<const char*>(alphaAhead + c), _MM_HINT_T0);
        Step512<HasAlpha, Scaled, Keyed, true>(k, bgr, alpha, words, c, 16);
    }
    for (; c + 16 <= count; c += 16)
        Step512<HasAlpha, Scaled, Keyed>(k, bgr, alpha, words, c, 16);
    if (c < count)
        Step512<HasAlpha, Scaled, Keyed>(k, bgr, alpha, words, c, count - c);
}

bool HasAvx512()
{
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
                            __builtin_cpu_supports("bmi2");
    return has;
}

bool HasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

}  // namespace

bool PixBlendPathRuns(PixBlendPath path)
{
    switch (path) {
#ifdef PIX_BLEND_AVX2
    case PixBlendPath::Avx512:
        return HasAvx512();
    case PixBlendPath::Avx2:
        return HasAvx2();
#else
    case PixBlendPath::Avx512:
    case PixBlendPath::Avx2:
        return false;
#endif
    case PixBlendPath::Plain:
        break;
    }
    return true;
}

void PixBlendRow32On(PixBlendPath path, const std::uint8_t* bgr, const std::uint8_t* alpha, std::uint32_t alphaScale,
                     std::int64_t key, int count, std::uint32_t* words, [[maybe_unused]] const std::uint8_t* nextBgr,
                     [[maybe_unused]] const std::uint8_t* nextAlpha)
{
    int done = 0;
#ifdef PIX_BLEND_AVX2
    const int which = (alpha ? 4 : 0) | (alphaScale != 256 ? 2 : 0) | (key >= 0 ? 1 : 0);
    if (path == PixBlendPath::Avx512 && !HasAvx512())
        path = PixBlendPath::Avx2;
    if (path == PixBlendPath::Avx512) {
        using Row = void (*)(const std::uint8_t*, const std::uint8_t*, std::uint32_t, std::int64_t, int, std::uint32_t*,
                             const std::uint8_t*, const std::uint8_t*);
        static constexpr Row kRows[8] = {BlendAvx512<false, false, false>, BlendAvx512<false, false, true>,
                                         BlendAvx512<false, true, false>,  BlendAvx512<false, true, true>,
                                         BlendAvx512<true, false, false>,  BlendAvx512<true, false, true>,
                                         BlendAvx512<true, true, false>,   BlendAvx512<true, true, true>};
        kRows[which](bgr, alpha, alphaScale, key, count, words, nextBgr, nextAlpha);
        return;
    }
    if (path == PixBlendPath::Avx2 && HasAvx2()) {
        using Row = int (*)(const std::uint8_t*, const std::uint8_t*, std::uint32_t, std::int64_t, int, std::uint32_t*);
        static constexpr Row kRows[8] = {BlendAvx2<false, false, false>, BlendAvx2<false, false, true>,
                                         BlendAvx2<false, true, false>,  BlendAvx2<false, true, true>,
                                         BlendAvx2<true, false, false>,  BlendAvx2<true, false, true>,
                                         BlendAvx2<true, true, false>,   BlendAvx2<true, true, true>};
        done = kRows[which](bgr, alpha, alphaScale, key, count, words);
    }
#else
    (void)path;
#endif
    BlendScalar(bgr + 3 * static_cast<std::size_t>(done), alpha ? alpha + done : nullptr, alphaScale, key,
                count - done, words + done);
}

void PixBlendRow32(const std::uint8_t* bgr, const std::uint8_t* alpha, std::uint32_t alphaScale, std::int64_t key,
                   int count, std::uint32_t* words, const std::uint8_t* nextBgr, const std::uint8_t* nextAlpha)
{
    PixBlendRow32On(PixBlendPath::Avx512, bgr, alpha, alphaScale, key, count, words, nextBgr, nextAlpha);
}

const char* PixBlendRowInstructionSet()
{
    if (PixBlendPathRuns(PixBlendPath::Avx512))
        return "AVX-512";
    if (PixBlendPathRuns(PixBlendPath::Avx2))
        return "AVX2";
    return "plain";
}
