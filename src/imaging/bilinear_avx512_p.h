#pragma once
// The target of the AVX-512 loops, and the resampler's sixteen-lane bilinear
// sum: sixteen pixels' four taps and weights in single precision, and which
// of the results are sure to be the bytes the plain double-precision
// arithmetic gives (see bilinear.cpp for the bound). Only for code built for
// the SORIMBA_AVX512 target.
#include "imaging/bilinear_p.h"

#include <immintrin.h>

// GCC 12's AVX-512 headers start some results from undefined vectors, which
// its own flow analysis then reports.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#define SORIMBA_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx2,fma")))

namespace imaging::detail::avx512 {

// Byte c of each pixel, as a 32-bit lane.
SORIMBA_AVX512 inline __m512i channelOf(__m512i p, int c)
{
    switch (c) {
    case 0:
        return _mm512_and_si512(p, _mm512_set1_epi32(0xFF));
    // The byte shuffle counts bytes within each 128-bit quarter.
    case 1:
        return _mm512_shuffle_epi8(
            p, _mm512_set4_epi32(int(0x8080800D), int(0x80808009), int(0x80808005), int(0x80808001)));
    case 2:
        return _mm512_shuffle_epi8(
            p, _mm512_set4_epi32(int(0x8080800E), int(0x8080800A), int(0x80808006), int(0x80808002)));
    default:
        return _mm512_srli_epi32(p, 24);
    }
}

// Sixteen output pixels and the lanes whose every byte is settled.
struct Sums {
    __m512i pixels;
    __mmask16 settled;
};

// The taps p00 (weight w00) and p10 (w10) of one source row, p01 (w01) and
// p11 (w11) of the other. In `exact` lanes the caller knows every product
// and sum below is exact, so the truncated sum is the byte.
SORIMBA_AVX512 inline Sums bilinearSums(__m512i p00, __m512i p10, __m512i p01, __m512i p11, __m512 w00, __m512 w10,
                                        __m512 w01, __m512 w11, __mmask16 exact)
{
    const __m512 settled = _mm512_set1_ps(kSingleSettled);
    __m512i result = _mm512_setzero_si512(), sure = _mm512_setzero_si512();
    for (int c = 0; c < 4; ++c) {
        // Two pairs summed apart, for a shorter chain.
        const __m512 upper = _mm512_fmadd_ps(w10, _mm512_cvtepi32_ps(channelOf(p10, c)),
                                             _mm512_mul_ps(w00, _mm512_cvtepi32_ps(channelOf(p00, c))));
        const __m512 lower = _mm512_fmadd_ps(w11, _mm512_cvtepi32_ps(channelOf(p11, c)),
                                             _mm512_mul_ps(w01, _mm512_cvtepi32_ps(channelOf(p01, c))));
        const __m512 sum = _mm512_add_ps(upper, lower);
        // Settled: sum - bound and sum + bound truncate alike.
        const __m512i k = _mm512_cvttps_epi32(_mm512_mask_add_ps(sum, __mmask16(~exact), sum, settled));
        const __mmask16 kOk = _mm512_cmp_ps_mask(_mm512_sub_ps(sum, settled), _mm512_cvtepi32_ps(k), _CMP_GE_OQ);
        result = _mm512_or_si512(result, _mm512_slli_epi32(k, 8 * c));
        sure = _mm512_mask_or_epi32(sure, kOk, sure, _mm512_set1_epi32(int(0xFFu << (8 * c))));
    }
    // Channels whose four taps are equal are that byte.
    const __mmask64 same = _mm512_mask_cmpeq_epi8_mask(
        _mm512_mask_cmpeq_epi8_mask(_mm512_cmpeq_epi8_mask(p00, p10), p00, p01), p00, p11);
    result = _mm512_mask_blend_epi8(same, result, p00);
    sure = _mm512_or_si512(sure, _mm512_movm_epi8(same));
    return {result, __mmask16(_mm512_cmpeq_epi32_mask(sure, _mm512_set1_epi32(-1)) | exact)};
}

} // namespace imaging::detail::avx512

#pragma GCC diagnostic pop
