#include "sound/MixBlocks.h"

#include <cstring>

#if defined(__x86_64__) && defined(__SSE2__)
#include <immintrin.h>
#define RT_MIX_X86 1
#endif

namespace mixblocks {

namespace {

inline std::int32_t Load16(const std::uint8_t* p) { return std::int16_t(std::uint16_t(p[0] | p[1] << 8)); }

inline void Store16(std::uint8_t* p, std::int32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(std::uint32_t(v) >> 8);
}

inline std::int32_t Saturate16(std::int32_t v) { return v > 32767 ? 32767 : (v < -32768 ? -32768 : v); }

void AddSaturateTail(std::uint8_t* dst, const std::uint8_t* src, std::size_t from, std::size_t samples)
{
    for (std::size_t i = from; i < samples; ++i)
        Store16(dst + 2 * i, Saturate16(Load16(src + 2 * i) + Load16(dst + 2 * i)));
}

#ifdef RT_MIX_X86
// The mix buffer of one period fits in the caches, so the add runs at load/store width: AVX2
// and AVX-512 widen it where the processor has them.
__attribute__((target("avx2"))) void AddSaturateAvx2(std::uint8_t* dst, const std::uint8_t* src, std::size_t samples)
{
    std::size_t i = 0;
    for (; i + 32 <= samples; i += 32) {
        const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * i));
        const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * i + 32));
        const __m256i b0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + 2 * i));
        const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + 2 * i + 32));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 2 * i), _mm256_adds_epi16(a0, b0));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 2 * i + 32), _mm256_adds_epi16(a1, b1));
    }
    AddSaturateTail(dst, src, i, samples);
}

__attribute__((target("avx512bw"))) void AddSaturateAvx512(std::uint8_t* dst, const std::uint8_t* src,
                                                           std::size_t samples)
{
    std::size_t i = 0;
    for (; i + 64 <= samples; i += 64) {
        const __m512i a0 = _mm512_loadu_si512(src + 2 * i);
        const __m512i a1 = _mm512_loadu_si512(src + 2 * i + 64);
        const __m512i b0 = _mm512_loadu_si512(dst + 2 * i);
        const __m512i b1 = _mm512_loadu_si512(dst + 2 * i + 64);
        _mm512_storeu_si512(dst + 2 * i, _mm512_adds_epi16(a0, b0));
        _mm512_storeu_si512(dst + 2 * i + 64, _mm512_adds_epi16(a1, b1));
    }
    // The rest under a mask: lanes past the end are neither read nor written.
    for (; i < samples; i += 32) {
        const std::size_t left = samples - i;
        const __mmask32 mask = left >= 32 ? ~__mmask32(0) : (__mmask32(1) << left) - 1;
        const __m512i a = _mm512_maskz_loadu_epi16(mask, src + 2 * i);
        const __m512i b = _mm512_maskz_loadu_epi16(mask, dst + 2 * i);
        _mm512_mask_storeu_epi16(dst + 2 * i, mask, _mm512_adds_epi16(a, b));
    }
}

void AddSaturateSse2(std::uint8_t* dst, const std::uint8_t* src, std::size_t samples)
{
    std::size_t i = 0;
    for (; i + 16 <= samples; i += 16) {
        const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i));
        const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i + 16));
        const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + 2 * i));
        const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + 2 * i + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * i), _mm_adds_epi16(a0, b0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * i + 16), _mm_adds_epi16(a1, b1));
    }
    AddSaturateTail(dst, src, i, samples);
}
#endif

void AddSaturateBytewise(std::uint8_t* dst, const std::uint8_t* src, std::size_t samples)
{
    AddSaturateTail(dst, src, 0, samples);
}

} // namespace

// SSE2 is part of every x86-64 processor; the wider forms are asked for once. Other
// architectures take the byte-wise loop.
std::vector<AddFunction> AddForms()
{
    std::vector<AddFunction> forms;
#ifdef RT_MIX_X86
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512bw"))
        forms.push_back(&AddSaturateAvx512);
    if (__builtin_cpu_supports("avx2"))
        forms.push_back(&AddSaturateAvx2);
    forms.push_back(&AddSaturateSse2);
#endif
    forms.push_back(&AddSaturateBytewise);
    return forms;
}

void AddSaturate16(std::uint8_t* dst, const std::uint8_t* src, std::size_t samples)
{
    static const AddFunction add = AddForms().front();
    add(dst, src, samples);
}

void MonoToStereo16(std::uint8_t* dst, const std::uint8_t* src, std::size_t frames, bool mix)
{
    std::size_t i = 0;
#ifdef RT_MIX_X86
    for (; i + 8 <= frames; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i));
        __m128i lo = _mm_unpacklo_epi16(a, a);
        __m128i hi = _mm_unpackhi_epi16(a, a);
        auto* out = reinterpret_cast<__m128i*>(dst + 4 * i);
        if (mix) {
            lo = _mm_adds_epi16(lo, _mm_loadu_si128(out));
            hi = _mm_adds_epi16(hi, _mm_loadu_si128(out + 1));
        }
        _mm_storeu_si128(out, lo);
        _mm_storeu_si128(out + 1, hi);
    }
#endif
    for (; i < frames; ++i) {
        const std::int32_t v = Load16(src + 2 * i);
        std::uint8_t* p = dst + 4 * i;
        Store16(p, mix ? Saturate16(v + Load16(p)) : v);
        Store16(p + 2, mix ? Saturate16(v + Load16(p + 2)) : v);
    }
}

} // namespace mixblocks
