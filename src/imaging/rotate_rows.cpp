// The rotation's rows side by side: sixteen rows go through one loop, one
// per lane of AVX-512 vectors, so that each lane's point moves by the same
// single addition per column as the plain loop and every byte is the plain
// loop's. A column's sixteen results go to their rows in two scatters.
// Also the nearest-neighbour rotation's plain loop.
#include "imaging/bilinear_avx512_p.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <immintrin.h>

namespace imaging::detail {

namespace {

using avx512::bilinearSums;
using avx512::Sums;

// GCC 12's AVX-512 headers start some results from undefined vectors, which
// its own flow analysis then reports.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// Up to sixteen rows in the lanes: their points, the columns each covers,
// and where each row's pixels are stored.
struct Lanes {
    const RotateRow *rows = nullptr;
    std::int32_t n = 0, first = INT32_MAX, last = INT32_MIN, nextStart = INT32_MAX;
    __m512i from, to, out0, out1;
    __m512d x0, x1, y0, y1;
    alignas(64) double xs[16], ys[16];
    alignas(64) std::uint64_t out[16];
};

SORIMBA_AVX512 void setUp(Lanes &l, const RotateRow *rows, std::int32_t n, const RotateSpan &s)
{
    alignas(64) std::int32_t from[16] = {}, to[16] = {};
    l.rows = rows;
    l.n = n;
    for (std::int32_t i = 0; i < 16; ++i) {
        // Lanes without a row cover no column; their points stay inside.
        l.xs[i] = s.xLo;
        l.ys[i] = s.yLo;
        l.out[i] = reinterpret_cast<std::uintptr_t>(rows[std::min(i, n - 1)].out);
        if (i < n) {
            from[i] = rows[i].from;
            to[i] = rows[i].to;
            l.first = std::min(l.first, rows[i].from);
            l.last = std::max(l.last, rows[i].to);
        }
    }
    l.nextStart = l.first;
    l.from = _mm512_load_si512(from);
    l.to = _mm512_load_si512(to);
    l.out0 = _mm512_load_si512(l.out);
    l.out1 = _mm512_load_si512(l.out + 8);
    l.x0 = _mm512_load_pd(l.xs);
    l.x1 = _mm512_load_pd(l.xs + 8);
    l.y0 = _mm512_load_pd(l.ys);
    l.y1 = _mm512_load_pd(l.ys + 8);
}

// The lanes' points as doubles in xs and ys.
SORIMBA_AVX512 inline void spill(Lanes &l)
{
    _mm512_store_pd(l.xs, l.x0);
    _mm512_store_pd(l.xs + 8, l.x1);
    _mm512_store_pd(l.ys, l.y0);
    _mm512_store_pd(l.ys + 8, l.y1);
}

// Puts each row that starts at column u at its first point.
SORIMBA_AVX512 inline void startRows(Lanes &l, std::int32_t u)
{
    if (u != l.nextStart)
        return;
    spill(l);
    l.nextStart = INT32_MAX;
    for (std::int32_t i = 0; i < l.n; ++i) {
        if (l.rows[i].from == u) {
            l.xs[i] = l.rows[i].px;
            l.ys[i] = l.rows[i].py;
        } else if (l.rows[i].from > u) {
            l.nextStart = std::min(l.nextStart, l.rows[i].from);
        }
    }
    l.x0 = _mm512_load_pd(l.xs);
    l.x1 = _mm512_load_pd(l.xs + 8);
    l.y0 = _mm512_load_pd(l.ys);
    l.y1 = _mm512_load_pd(l.ys + 8);
}

SORIMBA_AVX512 inline void step(Lanes &l, __m512d dpx, __m512d dpy)
{
    l.x0 = _mm512_add_pd(l.x0, dpx);
    l.x1 = _mm512_add_pd(l.x1, dpx);
    l.y0 = _mm512_add_pd(l.y0, dpy);
    l.y1 = _mm512_add_pd(l.y1, dpy);
}

// The source rectangle [xLo, xHi) x [yLo, yHi), the steps and the source.
struct Bounds {
    __m512d xLo, xHi, yLo, yHi, dpx, dpy;
    __m512i width;
};

SORIMBA_AVX512 Bounds boundsOf(const RotateSpan &s, const PixelRows &src)
{
    return {_mm512_set1_pd(s.xLo), _mm512_set1_pd(s.xHi), _mm512_set1_pd(s.yLo), _mm512_set1_pd(s.yHi),
            _mm512_set1_pd(s.dpx), _mm512_set1_pd(s.dpy), _mm512_set1_epi32(src.width)};
}

SORIMBA_AVX512 inline __mmask8 inside8(__m512d x, __m512d y, const Bounds &b)
{
    __mmask8 k = _mm512_cmp_pd_mask(x, b.xLo, _CMP_GE_OQ);
    k = _mm512_mask_cmp_pd_mask(k, x, b.xHi, _CMP_LT_OQ);
    k = _mm512_mask_cmp_pd_mask(k, y, b.yLo, _CMP_GE_OQ);
    return _mm512_mask_cmp_pd_mask(k, y, b.yHi, _CMP_LT_OQ);
}

// The lanes whose row covers column u and whose point lies inside.
SORIMBA_AVX512 inline __mmask16 insideAt(const Lanes &l, std::int32_t u, const Bounds &b)
{
    const __m512i uu = _mm512_set1_epi32(u);
    const unsigned active = _mm512_cmpgt_epi32_mask(l.to, uu) & _mm512_cmple_epi32_mask(l.from, uu);
    return __mmask16(active & (unsigned(inside8(l.x0, l.y0, b)) | unsigned(inside8(l.x1, l.y1, b)) << 8));
}

// Both halves of sixteen doubles truncated to integers; inside the rectangle
// the points are at least 0, so this is the floor.
SORIMBA_AVX512 inline __m512i truncated(__m512d lo, __m512d hi)
{
    return _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvttpd_epi32(lo)), _mm512_cvttpd_epi32(hi), 1);
}

// Stores the lanes of mask to column u of their rows.
SORIMBA_AVX512 inline void store(const Lanes &l, std::int32_t u, __mmask16 mask, __m512i pixels)
{
    const __m512i at = _mm512_set1_epi64(std::int64_t(u) * 4);
    _mm512_mask_i64scatter_epi32(nullptr, __mmask8(mask), _mm512_add_epi64(l.out0, at),
                                 _mm512_castsi512_si256(pixels), 1);
    _mm512_mask_i64scatter_epi32(nullptr, __mmask8(mask >> 8), _mm512_add_epi64(l.out1, at),
                                 _mm512_extracti64x4_epi64(pixels, 1), 1);
}

// Two vectors of eight doubles as one of sixteen floats.
SORIMBA_AVX512 inline __m512 narrow16(__m512d lo, __m512d hi)
{
    return _mm512_insertf32x8(_mm512_castps256_ps512(_mm512_cvtpd_ps(lo)), _mm512_cvtpd_ps(hi), 1);
}

// One column of bilinear lanes, fetched: the lanes inside, their points,
// fractions and four taps.
struct Fetched {
    __mmask16 ok = 0, hit = 0, edge = 0;
    __m512d x0, x1, y0, y1;
    __m512 fx, fy;
    __m512i p00, p10, p01, p11;
};

SORIMBA_AVX512 inline void fetchColumn(const Lanes &l, std::int32_t u, const Bounds &b, const RotateSpan &s,
                                       const PixelRows &src, Fetched &f)
{
    f.ok = insideAt(l, u, b);
    if (!f.ok)
        return;
    f.x0 = l.x0;
    f.x1 = l.x1;
    f.y0 = l.y0;
    f.y1 = l.y1;
    const long long *base = reinterpret_cast<const long long *>(src.bits);
    const __m512i ix = truncated(l.x0, l.x1), iy = truncated(l.y0, l.y1);
    // The fractions x - floor(x), exact in double precision.
    constexpr int kFloorFraction = _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC;
    f.fx = narrow16(_mm512_reduce_pd(l.x0, kFloorFraction), _mm512_reduce_pd(l.x1, kFloorFraction));
    f.fy = narrow16(_mm512_reduce_pd(l.y0, kFloorFraction), _mm512_reduce_pd(l.y1, kFloorFraction));
    // On a pixel exactly (or so close that single precision shows 0).
    const __m512 zerof = _mm512_setzero_ps();
    f.hit = _mm512_mask_cmp_ps_mask(_mm512_cmp_ps_mask(f.fx, zerof, _CMP_EQ_OQ), f.fy, zerof, _CMP_EQ_OQ);
    // At the last column or row the plain arithmetic is used.
    f.edge = __mmask16(_mm512_cmpeq_epi32_mask(ix, _mm512_set1_epi32(s.lastX)) |
                       _mm512_cmpeq_epi32_mask(iy, _mm512_set1_epi32(s.lastY)));
    const __mmask16 load = __mmask16(f.ok & ~f.edge);
    // Each loading lane reads a pixel and the one after it in two rows; the
    // others read the image's first two pixels.
    const __m512i i00 = _mm512_maskz_add_epi32(load, _mm512_mullo_epi32(iy, b.width), ix);
    const __m512i i01 = _mm512_mask_add_epi32(i00, load, i00, b.width);
    const __m512i top0 = _mm512_i32gather_epi64(_mm512_castsi512_si256(i00), base, 4);
    const __m512i top1 = _mm512_i32gather_epi64(_mm512_extracti64x4_epi64(i00, 1), base, 4);
    const __m512i bot0 = _mm512_i32gather_epi64(_mm512_castsi512_si256(i01), base, 4);
    const __m512i bot1 = _mm512_i32gather_epi64(_mm512_extracti64x4_epi64(i01, 1), base, 4);
    // The even and odd 32-bit halves of the pairs: left and right pixels.
    const __m512i even = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i odd = _mm512_add_epi32(even, _mm512_set1_epi32(1));
    f.p00 = _mm512_permutex2var_epi32(top0, even, top1);
    f.p10 = _mm512_permutex2var_epi32(top0, odd, top1);
    f.p01 = _mm512_permutex2var_epi32(bot0, even, bot1);
    f.p11 = _mm512_permutex2var_epi32(bot0, odd, bot1);
}

// A fetched column finished: the single-precision sums where they settle
// the bytes, the plain arithmetic for the rest (see bilinear.cpp).
SORIMBA_AVX512 inline void finishColumn(const Lanes &l, std::int32_t u, const Fetched &f, const RotateSpan &s,
                                        const PixelRows &src)
{
    const __m512 onef = _mm512_set1_ps(1.0f);
    const __m512 gx = _mm512_sub_ps(onef, f.fx), gy = _mm512_sub_ps(onef, f.fy);
    const __m512 w00 = _mm512_mul_ps(gx, gy), w10 = _mm512_mul_ps(f.fx, gy);
    const __m512 w01 = _mm512_mul_ps(gx, f.fy), w11 = _mm512_mul_ps(f.fx, f.fy);
    // On a pixel the weights are 1, 0, 0, 0 and the sum is that pixel exactly.
    const Sums sums = bilinearSums(f.p00, f.p10, f.p01, f.p11, w00, w10, w01, w11, f.hit);
    const __m512i result = sums.pixels;
    const __mmask16 done = __mmask16(sums.settled & ~f.edge & f.ok);
    store(l, u, done, result);
    if (const unsigned todo = unsigned(f.ok) & ~unsigned(done)) {
        alignas(64) double xs[16], ys[16];
        _mm512_store_pd(xs, f.x0);
        _mm512_store_pd(xs + 8, f.x1);
        _mm512_store_pd(ys, f.y0);
        _mm512_store_pd(ys + 8, f.y1);
        for (unsigned m = todo; m; m &= m - 1) {
            const int i = __builtin_ctz(m);
            bilinearPixelPlain(reinterpret_cast<std::uint8_t *>(l.out[i]) + std::size_t(u) * 4, xs[i], ys[i], s,
                               src);
        }
    }
}

// One column of nearest-neighbour lanes: the pixel each point falls in.
SORIMBA_AVX512 inline void nearestColumn(Lanes &l, std::int32_t u, __mmask16 ok, const Bounds &b,
                                         const PixelRows &src)
{
    const __m512i ix = truncated(l.x0, l.x1), iy = truncated(l.y0, l.y1);
    const __m512i index = _mm512_add_epi32(_mm512_mullo_epi32(iy, b.width), ix);
    const __m512i pixels = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), ok, index, src.bits, 4);
    store(l, u, ok, pixels);
}

// Source lines ahead of the lanes, asked of the memory early: the points walk
// the source slantwise, which the processor's own prefetching does not
// follow, so each new line would otherwise be waited for. Every eighth
// column, the line of each lane's point 24 columns on is prefetched, and the
// line below it for bilinear taps (the point taken roughly and kept inside
// the rectangle, whose pixels are all in memory).
struct Ahead {
    static constexpr std::int32_t kEvery = 8, kColumns = 24;
    __m512d dx, dy, maxX, maxY;
};

SORIMBA_AVX512 inline Ahead aheadOf(const Bounds &b, const RotateSpan &s)
{
    const __m512d columns = _mm512_set1_pd(Ahead::kColumns);
    return {_mm512_mul_pd(columns, b.dpx), _mm512_mul_pd(columns, b.dpy), _mm512_set1_pd(s.lastX),
            _mm512_set1_pd(s.lastY)};
}

// The pixel indices of eight points `a` columns on.
SORIMBA_AVX512 inline __m256i aheadIndex(__m512d x, __m512d y, const Ahead &a, const Bounds &b)
{
    const __m512d zero = _mm512_setzero_pd();
    x = _mm512_min_pd(_mm512_max_pd(_mm512_add_pd(x, a.dx), zero), a.maxX);
    y = _mm512_min_pd(_mm512_max_pd(_mm512_add_pd(y, a.dy), zero), a.maxY);
    return _mm256_add_epi32(_mm256_mullo_epi32(_mm512_cvttpd_epi32(y), _mm512_castsi512_si256(b.width)),
                            _mm512_cvttpd_epi32(x));
}

SORIMBA_AVX512 inline void prefetchAhead(const Lanes &l, const Ahead &a, const Bounds &b, const PixelRows &src,
                                         bool nextRowToo)
{
    alignas(32) std::int32_t at[16];
    _mm256_store_si256(reinterpret_cast<__m256i *>(at), aheadIndex(l.x0, l.y0, a, b));
    _mm256_store_si256(reinterpret_cast<__m256i *>(at + 8), aheadIndex(l.x1, l.y1, a, b));
    const std::size_t stride = std::size_t(src.width) * 4;
    for (int i = 0; i < l.n; ++i) {
        const char *p = reinterpret_cast<const char *>(src.bits + std::size_t(at[i]) * 4);
        _mm_prefetch(p, _MM_HINT_T0);
        if (nextRowToo)
            _mm_prefetch(p + stride, _MM_HINT_T0);
    }
}

// One group of bilinear lanes. Each column's taps are fetched one column
// ahead, so that the next column's loads are under way while this column's
// sums are made.
SORIMBA_AVX512 void bilinearGroup(Lanes &l, const Bounds &b, const RotateSpan &s, const PixelRows &src)
{
    if (l.first >= l.last)
        return;
    Fetched current, next;
    startRows(l, l.first);
    fetchColumn(l, l.first, b, s, src, current);
    const Ahead ahead = aheadOf(b, s);
    for (std::int32_t u = l.first; u < l.last; ++u) {
        if (u % Ahead::kEvery == 0)
            prefetchAhead(l, ahead, b, src, true);
        step(l, b.dpx, b.dpy);
        next.ok = 0;
        if (u + 1 < l.last) {
            startRows(l, u + 1);
            fetchColumn(l, u + 1, b, s, src, next);
        }
        if (current.ok)
            finishColumn(l, u, current, s, src);
        current = next;
    }
}

SORIMBA_AVX512 void nearestGroup(Lanes &l, const Bounds &b, const RotateSpan &s, const PixelRows &src)
{
    const Ahead ahead = aheadOf(b, s);
    for (std::int32_t u = l.first; u < l.last; ++u) {
        if (u % Ahead::kEvery == 0)
            prefetchAhead(l, ahead, b, src, false);
        startRows(l, u);
        if (const __mmask16 ok = insideAt(l, u, b))
            nearestColumn(l, u, ok, b, src);
        step(l, b.dpx, b.dpy);
    }
}

// The rows sixteen at a time through a group loop.
template <void (*group)(Lanes &, const Bounds &, const RotateSpan &, const PixelRows &)>
SORIMBA_AVX512 void rows16(const RotateRow *rows, std::int32_t count, const RotateSpan &s, const PixelRows &src)
{
    const Bounds b = boundsOf(s, src);
    for (std::int32_t g = 0; g < count; g += 16) {
        Lanes l;
        setUp(l, rows + g, std::min<std::int32_t>(16, count - g), s);
        group(l, b, s, src);
    }
}

#pragma GCC diagnostic pop

} // namespace

void bilinearRotateRows16(const RotateRow *rows, std::int32_t count, const RotateSpan &span, const PixelRows &source)
{
    rows16<bilinearGroup>(rows, count, span, source);
}

void nearestRotateSpan(std::uint8_t *out, std::int32_t count, const RotateSpan &s, const PixelRows &source)
{
    double qx = s.px, qy = s.py;
    // Inside the rectangle the point is at least 0, so truncation is the
    // floor.
    for (std::int32_t u = 0; u < count; ++u, qx += s.dpx, qy += s.dpy, out += 4)
        if (qx >= s.xLo && qx < s.xHi && qy >= s.yLo && qy < s.yHi)
            std::memcpy(out, source.pixel(std::int32_t(qx), std::int32_t(qy)), 4);
}

void nearestRotateRows(const RotateRow *rows, std::int32_t count, const RotateSpan &span, const PixelRows &source)
{
    if (avx512LoopsAllowed()) {
        rows16<nearestGroup>(rows, count, span, source);
        return;
    }
    eachRowAlone(rows, count, span, source, nearestRotateSpan);
}

} // namespace imaging::detail
