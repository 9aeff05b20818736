// The own pipeline's blend of a row into 32-bit pixels: plain, and sixteen
// pixels a step with AVX-512 at full opacity (the usual case; other
// opacities take the plain loop).
#include "imaging/bilinear_p.h"
#include "imaging/pixels_p.h"

#include <immintrin.h>

namespace imaging::detail {

namespace {

void blendRowPlain(std::uint8_t *d, const std::uint8_t *s, std::int32_t count, unsigned O)
{
    for (std::int32_t i = 0; i < count; ++i, s += 4, d += 4)
        if (s[3] != 0)
            blendPixelOwn(d, s, 4, O);
}

// GCC 12's AVX-512 headers start some results from undefined vectors, which
// its own flow analysis then reports.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// (a b) \ 255 on 16-bit lanes, exact for every product of two bytes.
__attribute__((target("avx512f,avx512bw"))) inline __m512i divided255(__m512i a, __m512i b)
{
    return _mm512_srli_epi16(_mm512_mulhi_epu16(_mm512_mullo_epi16(a, b), _mm512_set1_epi16(int16_t(0x8081))), 7);
}

// At O = 255: d = s + (d (255 - a)) \ 255, bytes modulo 256, where a is not 0.
__attribute__((target("avx512f,avx512bw"))) std::int32_t blendRowOpaqueAvx512(std::uint8_t *d, const std::uint8_t *s,
                                                                           std::int32_t count)
{
    const __m512i zero = _mm512_setzero_si512(), c255 = _mm512_set1_epi32(255);
    std::int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m512i sv = _mm512_loadu_si512(s + std::size_t(i) * 4);
        const __mmask16 drawn = _mm512_test_epi32_mask(sv, _mm512_set1_epi32(int(0xFF000000u)));
        if (!drawn)
            continue;
        const __m512i dv = _mm512_loadu_si512(d + std::size_t(i) * 4);
        const __m512i inv32 = _mm512_sub_epi32(c255, _mm512_srli_epi32(sv, 24));
        const __m512i inv16 = _mm512_or_si512(inv32, _mm512_slli_epi32(inv32, 16));
        const __m512i lo = divided255(_mm512_unpacklo_epi8(dv, zero), _mm512_unpacklo_epi32(inv16, inv16));
        const __m512i hi = divided255(_mm512_unpackhi_epi8(dv, zero), _mm512_unpackhi_epi32(inv16, inv16));
        const __m512i blended = _mm512_add_epi8(_mm512_packus_epi16(lo, hi), sv);
        _mm512_mask_storeu_epi32(d + std::size_t(i) * 4, drawn, blended);
    }
    return i;
}

#pragma GCC diagnostic pop

} // namespace

void blendRowOwn(std::uint8_t *d, const std::uint8_t *s, std::int32_t count, unsigned O)
{
    std::int32_t done = 0;
    static const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    if (O == 255 && avx512 && avx512LoopsAllowed())
        done = blendRowOpaqueAvx512(d, s, count);
    blendRowPlain(d + std::size_t(done) * 4, s + std::size_t(done) * 4, count - done, O);
}

} // namespace imaging::detail
