// The resampler's bilinear rows sixteen columns at a time with AVX-512: each
// column is one lane, its taps picked out of one 64-byte read of each source
// row where they all lie that close (else gathered), summed in single
// precision and settled as the rotation's rows are (bilinear.cpp argues the
// bound; the single-precision weights here are within 1.5 x 2^-23 of the
// plain ones, which keeps the sums within 2.2e-4 of the exact ones, inside
// kSingleSettled). Where every weight is a multiple of 1/256 the
// single-precision sums are exact, as are the plain ones (which the slack
// then leaves alone), so those lanes are settled as they stand. Every byte is
// the plain loop's.
#include "imaging/bilinear_avx512_p.h"

#include <algorithm>

namespace imaging::detail {

void groupColumns(ColumnTaps &c)
{
    // Only the sixteen-column loop reads them.
    if (!avx512VbmiLoopsAllowed())
        return;
    const std::size_t count = c.first.size();
    c.w0Single.resize(count);
    c.w1Single.resize(count);
    for (std::size_t x = 0; x < count; ++x) {
        c.w0Single[x] = float(c.w0[x]);
        c.w1Single[x] = float(c.w1[x]);
    }
    c.groups.resize(std::size_t(c.paired / 16));
    for (std::size_t g = 0; g < c.groups.size(); ++g) {
        ColumnTaps::Group &group = c.groups[g];
        const std::int32_t *first = c.first.data() + 16 * g;
        // The window from the first column's first tap holds 16 pixels, so
        // every column's second tap must lie within it.
        std::int64_t nearest = 0, farthest = 0;
        for (int i = 0; i < 16; ++i) {
            nearest = std::min<std::int64_t>(nearest, std::int64_t(first[i]) - first[0]);
            farthest = std::max<std::int64_t>(farthest, std::int64_t(first[i]) - first[0]);
        }
        group.inWindow = nearest >= 0 && farthest <= 14;
        group.windowBytes = group.inWindow ? std::uint8_t(4 * (farthest + 2)) : 0;
        group.dyadic = 0;
        for (int i = 0; i < 16; ++i) {
            const std::int64_t past = std::int64_t(first[i]) - first[0];
            for (int b = 0; b < 4; ++b)
                group.window[4 * i + b] = group.inWindow ? std::uint8_t(4 * past + b) : 0;
            const std::size_t x = 16 * g + std::size_t(i);
            if (isDyadicWeight(c.w0[x]) && isDyadicWeight(c.w1[x]))
                group.dyadic |= std::uint16_t(1u << i);
        }
    }
}

bool avx512VbmiLoopsAllowed()
{
    static const bool yes = __builtin_cpu_supports("avx512vbmi");
    return yes && avx512LoopsAllowed();
}

namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#define SORIMBA_AVX512_VBMI __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx2,fma,avx512vbmi")))

// The four taps of sixteen columns: first and second of row A, then of row B.
struct Taps {
    __m512i aFirst, aSecond, bFirst, bSecond;
};

SORIMBA_AVX512_VBMI inline Taps windowTaps(const ColumnTaps::Group &g, const std::uint8_t *rowA,
                                           const std::uint8_t *rowB, std::size_t start)
{
    const __m512i firstBytes = _mm512_loadu_si512(g.window);
    const __m512i secondBytes = _mm512_add_epi8(firstBytes, _mm512_set1_epi8(4));
    // Only the bytes up to the farthest second tap are read.
    const __mmask64 bytes = ~std::uint64_t(0) >> (64 - g.windowBytes);
    const __m512i a = _mm512_maskz_loadu_epi8(bytes, rowA + start), b = _mm512_maskz_loadu_epi8(bytes, rowB + start);
    return {_mm512_permutexvar_epi8(firstBytes, a), _mm512_permutexvar_epi8(secondBytes, a),
            _mm512_permutexvar_epi8(firstBytes, b), _mm512_permutexvar_epi8(secondBytes, b)};
}

SORIMBA_AVX512_VBMI inline Taps gatheredTaps(const std::int32_t *first, const std::uint8_t *rowA,
                                             const std::uint8_t *rowB)
{
    const __m512i index = _mm512_loadu_si512(first);
    const __m256i lo = _mm512_castsi512_si256(index), hi = _mm512_extracti64x4_epi64(index, 1);
    const __m512i a0 = _mm512_i32gather_epi64(lo, rowA, 4), a1 = _mm512_i32gather_epi64(hi, rowA, 4);
    const __m512i b0 = _mm512_i32gather_epi64(lo, rowB, 4), b1 = _mm512_i32gather_epi64(hi, rowB, 4);
    // The even and odd 32-bit halves of the pairs: first and second taps.
    const __m512i even = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i odd = _mm512_add_epi32(even, _mm512_set1_epi32(1));
    return {_mm512_permutex2var_epi32(a0, even, a1), _mm512_permutex2var_epi32(a0, odd, a1),
            _mm512_permutex2var_epi32(b0, even, b1), _mm512_permutex2var_epi32(b0, odd, b1)};
}

SORIMBA_AVX512_VBMI void rows16(std::uint8_t *o, const std::uint8_t *rowA, const std::uint8_t *rowB, double wa,
                                double wb, const ColumnTaps &c, std::int32_t count)
{
    const __m512 va = _mm512_set1_ps(float(wa)), vb = _mm512_set1_ps(float(wb));
    const bool rowDyadic = isDyadicWeight(wa) && isDyadicWeight(wb);
    const std::int32_t paired = std::min(count, c.paired);
    std::int32_t x = 0;
    for (; x + 16 <= paired; x += 16) {
        const ColumnTaps::Group &g = c.groups[std::size_t(x) / 16];
        const Taps t = g.inWindow ? windowTaps(g, rowA, rowB, std::size_t(c.first[std::size_t(x)]) * 4)
                                  : gatheredTaps(c.first.data() + x, rowA, rowB);
        const __m512 w0 = _mm512_loadu_ps(c.w0Single.data() + x), w1 = _mm512_loadu_ps(c.w1Single.data() + x);
        const avx512::Sums sums =
            avx512::bilinearSums(t.aFirst, t.aSecond, t.bFirst, t.bSecond, _mm512_mul_ps(va, w0),
                                 _mm512_mul_ps(va, w1), _mm512_mul_ps(vb, w0), _mm512_mul_ps(vb, w1),
                                 rowDyadic ? __mmask16(g.dyadic) : __mmask16(0));
        _mm512_storeu_si512(o + std::size_t(x) * 4, sums.pixels);
        for (unsigned todo = ~unsigned(sums.settled) & 0xFFFFu; todo; todo &= todo - 1) {
            const std::int32_t column = x + __builtin_ctz(todo);
            bilinearRowPlain(o, rowA, rowB, wa, wb, c, column, column + 1);
        }
    }
    bilinearRowPlain(o, rowA, rowB, wa, wb, c, x, count);
}

#pragma GCC diagnostic pop

} // namespace

void bilinearRow16(std::uint8_t *out, const std::uint8_t *rowA, const std::uint8_t *rowB, double wa, double wb,
                   const ColumnTaps &columns, std::int32_t count)
{
    rows16(out, rowA, rowB, wa, wb, columns, count);
}

} // namespace imaging::detail
