// The rotation's rows side by side: sixteen rows go through one loop, one
// per lane of AVX-512 vectors, so that each lane's point moves by the same
// single addition per column as the plain loop and every byte is the plain
// loop's. Sixteen columns' results are stored to their rows together.
// Also the nearest-neighbour rotation's plain loop.
#include "imaging/bilinear_avx512_p.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <immintrin.h>

// The bilinear loop also uses 16-bit multiply-adds and byte permutes.
#define SORIMBA_AVX512_VNNI \
    __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx512vnni,avx512vbmi,avx2,fma")))

namespace imaging::detail {

namespace {

// GCC 12's AVX-512 headers start some results from undefined vectors, which
// its own flow analysis then reports.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"

// Up to sixteen rows in the lanes: their points, the columns each covers,
// and where each row's pixels are stored.
struct Lanes {
    const RotateRow *rows = nullptr;
    std::int32_t n = 0, first = INT32_MAX, last = INT32_MIN, nextStart = INT32_MAX;
    // In columns [sureFirst, sureLast) every row that covers the column has
    // its point inside the rectangle.
    std::int32_t sureFirst = 0, sureLast = 0;
    __m512i from, to;
    __m512d x0, x1, y0, y1;
    alignas(64) double xs[16], ys[16];
    std::uint8_t *out[16];
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
        l.out[i] = rows[std::min(i, n - 1)].out;
        if (i < n) {
            from[i] = rows[i].from;
            to[i] = rows[i].to;
            l.first = std::min(l.first, rows[i].from);
            l.last = std::max(l.last, rows[i].to);
        }
    }
    l.nextStart = l.first;
    // Each row leaves untested the columns before its sure ones and those
    // after them.
    l.sureFirst = INT32_MIN;
    l.sureLast = INT32_MAX;
    for (std::int32_t i = 0; i < n; ++i) {
        const RotateRow &r = rows[i];
        if (r.from >= r.to)
            continue;
        const std::int32_t sureFrom = std::clamp(r.sureFrom, r.from, r.to);
        const std::int32_t sureTo = std::clamp(r.sureTo, r.from, r.to);
        if (sureFrom >= sureTo) {
            l.sureFirst = std::max(l.sureFirst, r.to);
            continue;
        }
        if (sureFrom > r.from)
            l.sureFirst = std::max(l.sureFirst, sureFrom);
        if (sureTo < r.to)
            l.sureLast = std::min(l.sureLast, sureTo);
    }
    l.from = _mm512_load_si512(from);
    l.to = _mm512_load_si512(to);
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

// The lanes whose row covers column u and whose point lies inside (tested
// only outside the sure columns).
SORIMBA_AVX512 inline __mmask16 insideAt(const Lanes &l, std::int32_t u, const Bounds &b)
{
    const __m512i uu = _mm512_set1_epi32(u);
    const unsigned active = _mm512_cmpgt_epi32_mask(l.to, uu) & _mm512_cmple_epi32_mask(l.from, uu);
    if (u >= l.sureFirst && u < l.sureLast)
        return __mmask16(active);
    return __mmask16(active & (unsigned(inside8(l.x0, l.y0, b)) | unsigned(inside8(l.x1, l.y1, b)) << 8));
}

// Both halves of sixteen doubles truncated to integers; inside the rectangle
// the points are at least 0, so this is the floor.
SORIMBA_AVX512 inline __m512i truncated(__m512d lo, __m512d hi)
{
    return _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvttpd_epi32(lo)), _mm512_cvttpd_epi32(hi), 1);
}

// The results of up to sixteen consecutive columns, kept until they are
// stored a row at a time: one transpose and sixteen row stores cost far less
// than scattering each column's sixteen pixels to their rows.
struct ColumnTile {
    alignas(64) std::uint32_t pixels[16][16] = {};
    // Bit i of masks[k]: lane i's pixel of column first + k is to be stored.
    alignas(64) std::uint32_t masks[16] = {};
    std::int32_t first = 0;
    bool empty = true;
};

// The sixteen vectors of a 16 x 16 block of 32-bit values, transposed in
// place.
SORIMBA_AVX512 inline void transpose16(__m512i r[16])
{
    __m512i t[16];
    for (int i = 0; i < 16; i += 2) {
        t[i] = _mm512_unpacklo_epi32(r[i], r[i + 1]);
        t[i + 1] = _mm512_unpackhi_epi32(r[i], r[i + 1]);
    }
    for (int i = 0; i < 16; i += 4) {
        r[i] = _mm512_unpacklo_epi64(t[i], t[i + 2]);
        r[i + 1] = _mm512_unpackhi_epi64(t[i], t[i + 2]);
        r[i + 2] = _mm512_unpacklo_epi64(t[i + 1], t[i + 3]);
        r[i + 3] = _mm512_unpackhi_epi64(t[i + 1], t[i + 3]);
    }
    // Now r[4j + m] holds, in each 128-bit quarter q, row 4q + m of columns
    // 4j to 4j + 3; the quarters are brought together in two more steps.
    for (int i = 0; i < 4; ++i) {
        t[i] = _mm512_shuffle_i32x4(r[i], r[i + 4], 0x88);
        t[i + 4] = _mm512_shuffle_i32x4(r[i], r[i + 4], 0xDD);
        t[i + 8] = _mm512_shuffle_i32x4(r[i + 8], r[i + 12], 0x88);
        t[i + 12] = _mm512_shuffle_i32x4(r[i + 8], r[i + 12], 0xDD);
    }
    for (int i = 0; i < 4; ++i) {
        r[i] = _mm512_shuffle_i32x4(t[i], t[i + 8], 0x88);
        r[i + 8] = _mm512_shuffle_i32x4(t[i], t[i + 8], 0xDD);
        r[i + 4] = _mm512_shuffle_i32x4(t[i + 4], t[i + 12], 0x88);
        r[i + 12] = _mm512_shuffle_i32x4(t[i + 4], t[i + 12], 0xDD);
    }
}

// Stores the kept columns to their rows and empties the tile.
SORIMBA_AVX512 void flush(ColumnTile &t, const Lanes &l)
{
    if (t.empty)
        return;
    __m512i rows[16];
    for (int k = 0; k < 16; ++k)
        rows[k] = _mm512_load_si512(t.pixels[k]);
    transpose16(rows);
    const __m512i masks = _mm512_load_si512(t.masks);
    for (int i = 0; i < l.n; ++i) {
        const __mmask16 keep = _mm512_test_epi32_mask(masks, _mm512_set1_epi32(1 << i));
        _mm512_mask_storeu_epi32(l.out[i] + std::size_t(t.first) * 4, keep, rows[i]);
    }
    _mm512_store_si512(t.masks, _mm512_setzero_si512());
    t.empty = true;
}

// Keeps the lanes of mask for column u of their rows.
SORIMBA_AVX512 inline void keep(ColumnTile &t, const Lanes &l, std::int32_t u, __mmask16 mask, __m512i pixels)
{
    if (!t.empty && u - t.first >= 16)
        flush(t, l);
    if (t.empty) {
        t.first = u;
        t.empty = false;
    }
    const std::int32_t k = u - t.first;
    _mm512_store_si512(t.pixels[k], pixels);
    t.masks[k] = mask;
}

// Two vectors of eight doubles as one of sixteen floats.
SORIMBA_AVX512 inline __m512 narrow16(__m512d lo, __m512d hi)
{
    return _mm512_insertf32x8(_mm512_castps256_ps512(_mm512_cvtpd_ps(lo)), _mm512_cvtpd_ps(hi), 1);
}

// One column of bilinear lanes, fetched: the lanes inside, their points,
// fractions, and each lane's pixel pairs (a pixel and the one after it) in
// the upper and lower source rows, lanes 0-7 and 8-15.
struct Fetched {
    __mmask16 ok = 0, hit = 0, edge = 0;
    __m512d x0, x1, y0, y1;
    __m512 fx, fy;
    __m512i top0, top1, bottom0, bottom1;
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
    f.top0 = _mm512_i32gather_epi64(_mm512_castsi512_si256(i00), base, 4);
    f.top1 = _mm512_i32gather_epi64(_mm512_extracti64x4_epi64(i00, 1), base, 4);
    f.bottom0 = _mm512_i32gather_epi64(_mm512_castsi512_si256(i01), base, 4);
    f.bottom1 = _mm512_i32gather_epi64(_mm512_extracti64x4_epi64(i01, 1), base, 4);
}

// The sums in whole numbers. Each weight is taken to 24 fraction bits,
// rounded from its single-precision value, and the last one is what the
// other three leave of 1, so the four add up to exactly 1. A channel's sum of
// byte x weight is then exact in 32 bits, with the byte in the top 8 bits.
// Each weight is within 1.5 x 2^-23 of the plain one (1.25 x 2^-23 in single
// precision, 2^-25 more in the rounding); the last one's error is minus the
// sum of the others', so the sum's error is at most
// 255 x 3 x 1.5 x 2^-23 = 1.4e-4, and with the plain loop's slack (1e-7) it
// stays below the margin of 2^-12 = 2.4e-4 within which a sum is settled.
//
// For the multiply-add of 16-bit pairs, each 24-bit weight is split as
// high x 1024 + low, and each lane holds the (left, right) pair of one row:
// weights as two 16-bit words, a channel's bytes as two 16-bit words.
struct PairWeights {
    __m512i highTop, highBottom, lowTop, lowBottom;
};

constexpr int kWeightBits = 24, kLowBits = 10;
constexpr std::int32_t kMargin = 1 << 12;

// The high parts of two weights: the left one's in the low word, the right
// one's in the high word (w11 may be a little below 0; its high part is then
// -1).
SORIMBA_AVX512 inline __m512i highPair(__m512i left, __m512i right)
{
    constexpr int kAOrBAndC = 0xF8;
    return _mm512_ternarylogic_epi32(_mm512_srli_epi32(left, kLowBits), _mm512_slli_epi32(right, 16 - kLowBits),
                                     _mm512_set1_epi32(int(0xFFFF0000u)), kAOrBAndC);
}

// The low parts: the low words of both, then their low 10 bits.
SORIMBA_AVX512 inline __m512i lowPair(__m512i left, __m512i right)
{
    const __m512i lowWords = _mm512_set_epi16(62, 30, 60, 28, 58, 26, 56, 24, 54, 22, 52, 20, 50, 18, 48, 16, 46, 14,
                                              44, 12, 42, 10, 40, 8, 38, 6, 36, 4, 34, 2, 32, 0);
    return _mm512_and_si512(_mm512_permutex2var_epi16(left, lowWords, right),
                            _mm512_set1_epi32(((1 << kLowBits) - 1) * 0x10001));
}

SORIMBA_AVX512 inline PairWeights pairWeights(__m512 fx, __m512 fy)
{
    constexpr int kNearest = _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC;
    const __m512 onef = _mm512_set1_ps(1.0f), unit = _mm512_set1_ps(float(1 << kWeightBits));
    const __m512 gy = _mm512_sub_ps(onef, fy);
    const __m512 gxUnits = _mm512_mul_ps(_mm512_sub_ps(onef, fx), unit), fxUnits = _mm512_mul_ps(fx, unit);
    const __m512i w00 = _mm512_cvt_roundps_epi32(_mm512_mul_ps(gxUnits, gy), kNearest);
    const __m512i w10 = _mm512_cvt_roundps_epi32(_mm512_mul_ps(fxUnits, gy), kNearest);
    const __m512i w01 = _mm512_cvt_roundps_epi32(_mm512_mul_ps(gxUnits, fy), kNearest);
    const __m512i w11 = _mm512_sub_epi32(
        _mm512_sub_epi32(_mm512_sub_epi32(_mm512_set1_epi32(1 << kWeightBits), w00), w10), w01);
    return {highPair(w00, w10), highPair(w01, w11), lowPair(w00, w10), lowPair(w01, w11)};
}

// Byte permutes, made at compile time. byteIndices(f) holds f(k) at byte k.
template <class F>
constexpr std::array<std::uint8_t, 64> byteIndices(F f)
{
    std::array<std::uint8_t, 64> bytes{};
    for (int k = 0; k < 64; ++k)
        bytes[std::size_t(k)] = std::uint8_t(f(k));
    return bytes;
}

// Channel c of the pairs of lanes 0-7 (pairs0) and 8-15 (pairs1), as two
// 16-bit words per lane: byte c of the left pixel of pair j at byte 0 of
// lane j, of the right one at byte 2 (the odd bytes are cleared).
template <int c>
alignas(64) constexpr std::array<std::uint8_t, 64> kChannelPicks =
    byteIndices([](int k) { return 8 * (k / 4) + 4 * (k % 4 / 2) + c; });

template <int c>
SORIMBA_AVX512_VNNI inline __m512i channelPairs(__m512i pairs0, __m512i pairs1)
{
    const __mmask64 evenBytes = 0x5555555555555555ull;
    return _mm512_maskz_permutex2var_epi8(evenBytes, pairs0, _mm512_load_si512(kChannelPicks<c>.data()), pairs1);
}

// The top bytes of four sums as the pixels' bytes: byte 3 of lane j of the
// first and second sum at bytes 0 and 1 of lane j, of the third and fourth
// at bytes 2 and 3.
alignas(64) constexpr std::array<std::uint8_t, 64> kTopBytesLow =
    byteIndices([](int k) { return (k % 4 == 0 ? 0 : 64) + 4 * (k / 4) + 3; });
alignas(64) constexpr std::array<std::uint8_t, 64> kTopBytesHigh =
    byteIndices([](int k) { return (k % 4 == 2 ? 0 : 64) + 4 * (k / 4) + 3; });

// Channel c's sums plus the margin, and which of them settle the byte.
template <int c>
SORIMBA_AVX512_VNNI inline __m512i channelSum(const Fetched &f, const PairWeights &w, unsigned &settled)
{
    const __m512i top = channelPairs<c>(f.top0, f.top1), bottom = channelPairs<c>(f.bottom0, f.bottom1);
    __m512i t = _mm512_dpwssd_epi32(_mm512_dpwssd_epi32(_mm512_set1_epi32(kMargin >> kLowBits), top, w.highTop),
                                    bottom, w.highBottom);
    t = _mm512_slli_epi32(t, kLowBits);
    t = _mm512_dpwssd_epi32(_mm512_dpwssd_epi32(t, top, w.lowTop), bottom, w.lowBottom);
    // Settled: the sum plus the margin and the sum minus it have the same
    // top byte, that is, bits 13 to 23 of the sum plus the margin are not
    // all 0.
    const __m512i settledBits = _mm512_set1_epi32(((1 << kWeightBits) - 1) & ~(2 * kMargin - 1));
    // Four equal bytes sum to that byte exactly (the weights add up to 1),
    // which the margin cannot tell.
    const __mmask16 same =
        _mm512_mask_cmpeq_epi32_mask(_mm512_cmpeq_epi32_mask(top, bottom), top, _mm512_rol_epi32(top, 16));
    settled &= unsigned(_mm512_test_epi32_mask(t, settledBits)) | unsigned(same);
    return t;
}

// A fetched column finished: the whole-number sums where they settle the
// bytes, the plain arithmetic for the rest.
SORIMBA_AVX512_VNNI inline void finishColumn(const Lanes &l, ColumnTile &tile, std::int32_t u, const Fetched &f,
                                             const RotateSpan &s, const PixelRows &src)
{
    const PairWeights w = pairWeights(f.fx, f.fy);
    unsigned settled = 0xFFFF;
    const __m512i sum0 = channelSum<0>(f, w, settled), sum1 = channelSum<1>(f, w, settled);
    const __m512i sum2 = channelSum<2>(f, w, settled), sum3 = channelSum<3>(f, w, settled);
    const __m512i result = _mm512_mask_blend_epi16(
        0xAAAAAAAAu, _mm512_permutex2var_epi8(sum0, _mm512_load_si512(kTopBytesLow.data()), sum1),
        _mm512_permutex2var_epi8(sum2, _mm512_load_si512(kTopBytesHigh.data()), sum3));
    // On a pixel the weights are exactly 1, 0, 0, 0 and the sum is that pixel.
    const __mmask16 done = __mmask16((settled | f.hit) & ~unsigned(f.edge) & f.ok);
    keep(tile, l, u, done, result);
    if (const unsigned todo = unsigned(f.ok) & ~unsigned(done)) {
        alignas(64) double xs[16], ys[16];
        _mm512_store_pd(xs, f.x0);
        _mm512_store_pd(xs + 8, f.x1);
        _mm512_store_pd(ys, f.y0);
        _mm512_store_pd(ys + 8, f.y1);
        for (unsigned m = todo; m; m &= m - 1) {
            const int i = __builtin_ctz(m);
            bilinearPixelPlain(l.out[i] + std::size_t(u) * 4, xs[i], ys[i], s, src);
        }
    }
}

// One column of nearest-neighbour lanes: the pixel each point falls in.
SORIMBA_AVX512 inline void nearestColumn(const Lanes &l, ColumnTile &tile, std::int32_t u, __mmask16 ok,
                                         const Bounds &b, const PixelRows &src)
{
    const __m512i ix = truncated(l.x0, l.x1), iy = truncated(l.y0, l.y1);
    const __m512i index = _mm512_add_epi32(_mm512_mullo_epi32(iy, b.width), ix);
    const __m512i pixels = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), ok, index, src.bits, 4);
    keep(tile, l, u, ok, pixels);
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
SORIMBA_AVX512_VNNI void bilinearGroup(Lanes &l, const Bounds &b, const RotateSpan &s, const PixelRows &src)
{
    if (l.first >= l.last)
        return;
    Fetched current, next;
    ColumnTile tile;
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
            finishColumn(l, tile, u, current, s, src);
        current = next;
    }
    flush(tile, l);
}

SORIMBA_AVX512 void nearestGroup(Lanes &l, const Bounds &b, const RotateSpan &s, const PixelRows &src)
{
    const Ahead ahead = aheadOf(b, s);
    ColumnTile tile;
    for (std::int32_t u = l.first; u < l.last; ++u) {
        if (u % Ahead::kEvery == 0)
            prefetchAhead(l, ahead, b, src, false);
        startRows(l, u);
        if (const __mmask16 ok = insideAt(l, u, b))
            nearestColumn(l, tile, u, ok, b, src);
        step(l, b.dpx, b.dpy);
    }
    flush(tile, l);
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

bool avx512VnniLoopsAllowed()
{
    static const bool yes = __builtin_cpu_supports("avx512vnni") && __builtin_cpu_supports("avx512vbmi");
    return yes && avx512LoopsAllowed();
}

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
