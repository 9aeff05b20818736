// Bilinear inner loops, plain and AVX2. See bilinear_p.h.
#include "imaging/bilinear_p.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <immintrin.h>

namespace imaging::detail {

namespace {

// The sums are truncated to bytes. Rounding errors of the double arithmetic
// (about 1e-13) would otherwise turn an exact whole number into the one
// below it, so a uniform area would come out a level darker in places; the
// sum is therefore nudged up by far less than any real weight step before
// it is truncated.
constexpr double kTruncationSlack = 1e-7;

// ---- plain -----------------------------------------------------------------

inline void blendPlain(std::uint8_t *o, const std::uint8_t *p00, const std::uint8_t *p01, const std::uint8_t *p10,
                       const std::uint8_t *p11, double w00, double w01, double w10, double w11)
{
    for (int k = 0; k < 4; ++k)
        o[k] = std::uint8_t(std::int32_t(w00 * p00[k] + w01 * p01[k] + w10 * p10[k] + w11 * p11[k] + kTruncationSlack));
}

void rowPlain(std::uint8_t *o, const std::uint8_t *rowA, const std::uint8_t *rowB, double wa, double wb,
              const ColumnTap *columns, std::int32_t count)
{
    for (std::int32_t x = 0; x < count; ++x, o += 4) {
        const ColumnTap &c = columns[x];
        blendPlain(o, rowA + std::size_t(c.first) * 4, rowA + std::size_t(c.second) * 4,
                   rowB + std::size_t(c.first) * 4, rowB + std::size_t(c.second) * 4, wa * c.w0, wa * c.w1,
                   wb * c.w0, wb * c.w1);
    }
}

// The four taps of one rotated point; false when it lies outside.
struct Taps {
    const std::uint8_t *p00, *p10, *p01, *p11;
    double w00, w10, w01, w11;
};

inline bool rotateTaps(double px, double py, const RotateSpan &s, const PixelRows &src, Taps &t)
{
    if (!(px >= s.xLo && px < s.xHi && py >= s.yLo && py < s.yHi))
        return false;
    // Both are at least 0 here, so truncation is the floor.
    const std::int32_t x0 = std::int32_t(px), y0 = std::int32_t(py);
    const double fx = px - x0, fy = py - y0;
    // A tap beyond the rectangle's last column (row) is read at weight 0
    // from inside it, which adds exactly 0.
    const std::int32_t x1 = x0 == s.lastX ? x0 : x0 + 1, y1 = y0 == s.lastY ? y0 : y0 + 1;
    const double gx = x0 == s.lastX ? 0.0 : fx, gy = y0 == s.lastY ? 0.0 : fy;
    t.w00 = (1 - fx) * (1 - fy);
    t.w10 = gx * (1 - fy);
    t.w01 = (1 - fx) * gy;
    t.w11 = gx * gy;
    // (x1, y0), (x0, y1) and (x1, y1) are the next pixel, the next row and
    // both, or the pixel itself where a tap is left out.
    const std::size_t stride = std::size_t(src.width) * 4;
    t.p00 = src.pixel(x0, y0);
    t.p10 = t.p00 + (x1 - x0) * 4;
    t.p01 = t.p00 + (y1 - y0) * stride;
    t.p11 = t.p10 + (y1 - y0) * stride;
    return true;
}

void rotatePlain(std::uint8_t *o, std::int32_t count, const RotateSpan &s, const PixelRows &src)
{
    double px = s.px, py = s.py;
    Taps t;
    for (std::int32_t u = 0; u < count; ++u, px += s.dpx, py += s.dpy, o += 4)
        if (rotateTaps(px, py, s, src, t))
            blendPlain(o, t.p00, t.p10, t.p01, t.p11, t.w00, t.w10, t.w01, t.w11);
}

// ---- AVX2: the four bytes of a pixel as four doubles --------------------------

__attribute__((target("avx2"))) inline __m256d load4(const std::uint8_t *p)
{
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(v)));
}

// Same order as blendPlain: ((w00 p00 + w01 p01) + w10 p10) + w11 p11, each
// product and sum rounded on its own (no fused multiply-add).
__attribute__((target("avx2"))) inline void blendAvx2(std::uint8_t *o, const std::uint8_t *p00,
                                                      const std::uint8_t *p01, const std::uint8_t *p10,
                                                      const std::uint8_t *p11, double w00, double w01, double w10,
                                                      double w11)
{
    __m256d sum = _mm256_mul_pd(_mm256_set1_pd(w00), load4(p00));
    sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_set1_pd(w01), load4(p01)));
    sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_set1_pd(w10), load4(p10)));
    sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_set1_pd(w11), load4(p11)));
    sum = _mm256_add_pd(sum, _mm256_set1_pd(kTruncationSlack));
    __m128i i = _mm256_cvttpd_epi32(sum);
    i = _mm_packus_epi32(i, i);
    i = _mm_packus_epi16(i, i);
    const std::int32_t v = _mm_cvtsi128_si32(i);
    std::memcpy(o, &v, 4);
}

__attribute__((target("avx2"))) void rowAvx2(std::uint8_t *o, const std::uint8_t *rowA, const std::uint8_t *rowB,
                                             double wa, double wb, const ColumnTap *columns, std::int32_t count)
{
    for (std::int32_t x = 0; x < count; ++x, o += 4) {
        const ColumnTap &c = columns[x];
        blendAvx2(o, rowA + std::size_t(c.first) * 4, rowA + std::size_t(c.second) * 4,
                  rowB + std::size_t(c.first) * 4, rowB + std::size_t(c.second) * 4, wa * c.w0, wa * c.w1,
                  wb * c.w0, wb * c.w1);
    }
}

__attribute__((target("avx2"))) void rotateAvx2(std::uint8_t *o, std::int32_t count, const RotateSpan &s,
                                                const PixelRows &src)
{
    double px = s.px, py = s.py;
    Taps t;
    for (std::int32_t u = 0; u < count; ++u, px += s.dpx, py += s.dpy, o += 4)
        if (rotateTaps(px, py, s, src, t))
            blendAvx2(o, t.p00, t.p10, t.p01, t.p11, t.w00, t.w10, t.w01, t.w11);
}

// ---- rows side by side ---------------------------------------------------------
//
// Eight rows go through the loop together, one per lane, so that each lane's
// point moves by the same single addition per column as the plain loop. The
// sums are first made in single precision; where that settles the byte the
// plain loop gives, it is used, and every other pixel is made by the plain
// arithmetic. The single-precision sum is within 1.9e-4 of the exact one
// (weight errors of at most 1.25 x 2^-23 each on bytes up to 255, and five
// roundings of 2^-17: 1.9e-4), and so is the plain sum plus its slack; when
// [sum - kSettled, sum + kSettled] holds no whole number, the plain loop's
// truncation is the floor of the sum. The interval never settles a sum that
// is a whole number, so those cases are caught first: all four taps of a
// channel equal (the weights add up to 1 within 1e-15, so the plain sum is
// that byte), and a point that falls on a pixel exactly (weight 1 on it).
// Points at the rectangle's last column or row, whose weights do not add up
// to 1, always take the plain arithmetic.

constexpr float kSettled = 1.0f / 2048;

// The plain arithmetic for one pixel; never inlined into the loop below, so
// that it is compiled as the plain loop is (no fused multiply-add). It is
// built for AVX2 all the same: leaving AVX code for SSE code costs hundreds
// of cycles on some processors.
__attribute__((noinline, target("avx2"))) void rotatePixelPlain(std::uint8_t *o, double px, double py, const RotateSpan &s,
                                                const PixelRows &src)
{
    Taps t;
    if (rotateTaps(px, py, s, src, t))
        blendPlain(o, t.p00, t.p10, t.p01, t.p11, t.w00, t.w10, t.w01, t.w11);
}

// The pixel pairs (a pixel and the one after it) at four indices.
__attribute__((target("avx2,fma"))) inline __m256 pairs(const int *base, __m128i index)
{
    return _mm256_castsi256_ps(_mm256_i32gather_epi64(reinterpret_cast<const long long *>(base), index, 4));
}

// Eight 32-bit lanes taken pairwise from the halves of a shuffle back in
// lane order.
__attribute__((target("avx2,fma"))) inline __m256i inOrder(__m256 v)
{
    return _mm256_permute4x64_epi64(_mm256_castps_si256(v), 0xD8);
}

// Four 64-bit lane masks of a and four of b as eight 32-bit lane masks.
__attribute__((target("avx2,fma"))) inline __m256i narrowMasks(__m256d a, __m256d b)
{
    const __m256i even = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
    const __m128i lo = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(_mm256_castpd_si256(a), even));
    const __m128i hi = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(_mm256_castpd_si256(b), even));
    return _mm256_set_m128i(hi, lo);
}

__attribute__((target("avx2,fma"))) inline __m256d insideMask(__m256d x, __m256d y, __m256d xLo, __m256d xHi,
                                                              __m256d yLo, __m256d yHi)
{
    return _mm256_and_pd(_mm256_and_pd(_mm256_cmp_pd(x, xLo, _CMP_GE_OQ), _mm256_cmp_pd(x, xHi, _CMP_LT_OQ)),
                         _mm256_and_pd(_mm256_cmp_pd(y, yLo, _CMP_GE_OQ), _mm256_cmp_pd(y, yHi, _CMP_LT_OQ)));
}

__attribute__((target("avx2,fma"))) void rotateRowsAvx2(const RotateRow *rows, std::int32_t count,
                                                        const RotateSpan &s, const PixelRows &src)
{
    const int *base = reinterpret_cast<const int *>(src.bits);
    const __m256d xLo = _mm256_set1_pd(s.xLo), xHi = _mm256_set1_pd(s.xHi);
    const __m256d yLo = _mm256_set1_pd(s.yLo), yHi = _mm256_set1_pd(s.yHi);
    const __m256d dpx = _mm256_set1_pd(s.dpx), dpy = _mm256_set1_pd(s.dpy);
    const __m256i lastX = _mm256_set1_epi32(s.lastX), lastY = _mm256_set1_epi32(s.lastY);
    const __m256i width = _mm256_set1_epi32(src.width);
    const __m256 settled = _mm256_set1_ps(kSettled), onef = _mm256_set1_ps(1.0f);
    const __m256i allOnes = _mm256_set1_epi32(-1);
    // Byte c of each pixel moved to the low byte of its lane
    // (the byte shuffle counts bytes within each 128-bit half).
    const __m256i pick = _mm256_setr_epi32(0x80808000, 0x80808004, 0x80808008, 0x8080800C, 0x80808000,
                                           0x80808004, 0x80808008, 0x8080800C);
    const __m256i channel[4] = {pick, _mm256_add_epi32(pick, _mm256_set1_epi32(1)),
                                _mm256_add_epi32(pick, _mm256_set1_epi32(2)),
                                _mm256_add_epi32(pick, _mm256_set1_epi32(3))};

    for (std::int32_t g = 0; g < count; g += 8) {
        const std::int32_t n = std::min<std::int32_t>(8, count - g);
        const RotateRow *r = rows + g;
        alignas(32) std::int32_t from[8] = {}, to[8] = {};
        alignas(32) double xs[8], ys[8];
        std::uint8_t *out[8];
        std::int32_t first = INT32_MAX, last = INT32_MIN;
        for (std::int32_t i = 0; i < 8; ++i) {
            xs[i] = s.xLo;
            ys[i] = s.yLo;
            out[i] = r[std::min(i, n - 1)].out;
            if (i < n) {
                from[i] = r[i].from;
                to[i] = r[i].to;
                first = std::min(first, r[i].from);
                last = std::max(last, r[i].to);
            }
        }
        const __m256i fromV = _mm256_load_si256(reinterpret_cast<const __m256i *>(from));
        const __m256i toV = _mm256_load_si256(reinterpret_cast<const __m256i *>(to));
        __m256d x0 = _mm256_load_pd(xs), x1 = _mm256_load_pd(xs + 4);
        __m256d y0 = _mm256_load_pd(ys), y1 = _mm256_load_pd(ys + 4);
        // The next column at which a lane starts.
        std::int32_t nextStart = first;
        alignas(32) std::uint32_t value[8];
        for (std::int32_t u = first; u < last; ++u) {
            if (u == nextStart) {
                _mm256_store_pd(xs, x0);
                _mm256_store_pd(xs + 4, x1);
                _mm256_store_pd(ys, y0);
                _mm256_store_pd(ys + 4, y1);
                nextStart = INT32_MAX;
                for (std::int32_t i = 0; i < n; ++i) {
                    if (r[i].from == u) {
                        xs[i] = r[i].px;
                        ys[i] = r[i].py;
                    } else if (r[i].from > u) {
                        nextStart = std::min(nextStart, r[i].from);
                    }
                }
                x0 = _mm256_load_pd(xs);
                x1 = _mm256_load_pd(xs + 4);
                y0 = _mm256_load_pd(ys);
                y1 = _mm256_load_pd(ys + 4);
            }
            const __m256i uu = _mm256_set1_epi32(u);
            const __m256i active = _mm256_andnot_si256(_mm256_cmpgt_epi32(fromV, uu), _mm256_cmpgt_epi32(toV, uu));
            const __m256i ok = _mm256_and_si256(
                active, narrowMasks(insideMask(x0, y0, xLo, xHi, yLo, yHi), insideMask(x1, y1, xLo, xHi, yLo, yHi)));
            if (_mm256_testz_si256(ok, ok)) {
                x0 = _mm256_add_pd(x0, dpx);
                x1 = _mm256_add_pd(x1, dpx);
                y0 = _mm256_add_pd(y0, dpy);
                y1 = _mm256_add_pd(y1, dpy);
                continue;
            }
            // Inside, truncation is the floor (the points are at least 0).
            const __m128i ix0 = _mm256_cvttpd_epi32(x0), ix1 = _mm256_cvttpd_epi32(x1);
            const __m128i iy0 = _mm256_cvttpd_epi32(y0), iy1 = _mm256_cvttpd_epi32(y1);
            const __m256d fx0 = _mm256_sub_pd(x0, _mm256_cvtepi32_pd(ix0)), fx1 = _mm256_sub_pd(x1, _mm256_cvtepi32_pd(ix1));
            const __m256d fy0 = _mm256_sub_pd(y0, _mm256_cvtepi32_pd(iy0)), fy1 = _mm256_sub_pd(y1, _mm256_cvtepi32_pd(iy1));
            const __m256 fx = _mm256_set_m128(_mm256_cvtpd_ps(fx1), _mm256_cvtpd_ps(fx0));
            const __m256 fy = _mm256_set_m128(_mm256_cvtpd_ps(fy1), _mm256_cvtpd_ps(fy0));
            // On a pixel exactly (or so close that single precision shows 0,
            // below 1e-38, where the other weights add far less than the slack).
            const __m256 zerof = _mm256_setzero_ps();
            const __m256i hit = _mm256_castps_si256(
                _mm256_and_ps(_mm256_cmp_ps(fx, zerof, _CMP_EQ_OQ), _mm256_cmp_ps(fy, zerof, _CMP_EQ_OQ)));
            const __m256i ix = _mm256_set_m128i(ix1, ix0), iy = _mm256_set_m128i(iy1, iy0);
            // At the last column or row the plain arithmetic is used, so
            // every lane that loads reads a pixel and the one after it in two
            // rows; the others read the image's first two pixels.
            const __m256i edge = _mm256_or_si256(_mm256_cmpeq_epi32(ix, lastX), _mm256_cmpeq_epi32(iy, lastY));
            const __m256i load = _mm256_andnot_si256(edge, ok);
            const __m256i i00 = _mm256_and_si256(load, _mm256_add_epi32(_mm256_mullo_epi32(iy, width), ix));
            const __m256i i01 = _mm256_add_epi32(i00, _mm256_and_si256(load, width));
            // Pixel pairs of lanes 0-3 and 4-7, split into the left and right
            // pixels in lane order.
            const __m256 top0 = pairs(base, _mm256_castsi256_si128(i00));
            const __m256 top1 = pairs(base, _mm256_extracti128_si256(i00, 1));
            const __m256 bot0 = pairs(base, _mm256_castsi256_si128(i01));
            const __m256 bot1 = pairs(base, _mm256_extracti128_si256(i01, 1));
            const __m256i p00 = inOrder(_mm256_shuffle_ps(top0, top1, 0x88));
            const __m256i p10 = inOrder(_mm256_shuffle_ps(top0, top1, 0xDD));
            const __m256i p01 = inOrder(_mm256_shuffle_ps(bot0, bot1, 0x88));
            const __m256i p11 = inOrder(_mm256_shuffle_ps(bot0, bot1, 0xDD));
            const __m256 gx = _mm256_sub_ps(onef, fx), gy = _mm256_sub_ps(onef, fy);
            const __m256 w00 = _mm256_mul_ps(gx, gy), w10 = _mm256_mul_ps(fx, gy);
            const __m256 w01 = _mm256_mul_ps(gx, fy), w11 = _mm256_mul_ps(fx, fy);
            __m256i result = _mm256_setzero_si256(), sure = _mm256_setzero_si256();
            for (int c = 0; c < 4; ++c) {
                const __m256i sh = channel[c];
                // Two pairs summed apart, for a shorter chain.
                const __m256 upper = _mm256_fmadd_ps(w10, _mm256_cvtepi32_ps(_mm256_shuffle_epi8(p10, sh)),
                                                     _mm256_mul_ps(w00, _mm256_cvtepi32_ps(_mm256_shuffle_epi8(p00, sh))));
                const __m256 lower = _mm256_fmadd_ps(w11, _mm256_cvtepi32_ps(_mm256_shuffle_epi8(p11, sh)),
                                                     _mm256_mul_ps(w01, _mm256_cvtepi32_ps(_mm256_shuffle_epi8(p01, sh))));
                const __m256 sum = _mm256_add_ps(upper, lower);
                const __m256i k = _mm256_cvttps_epi32(_mm256_add_ps(sum, settled));
                const __m256i kOk = _mm256_castps_si256(
                    _mm256_cmp_ps(_mm256_sub_ps(sum, settled), _mm256_cvtepi32_ps(k), _CMP_GE_OQ));
                result = _mm256_or_si256(result, _mm256_slli_epi32(k, 8 * c));
                sure = _mm256_or_si256(sure, _mm256_and_si256(kOk, _mm256_set1_epi32(0xFF << (8 * c))));
            }
            // Channels whose four taps are equal are that byte.
            const __m256i same = _mm256_and_si256(_mm256_cmpeq_epi8(p00, p10),
                                                  _mm256_and_si256(_mm256_cmpeq_epi8(p00, p01), _mm256_cmpeq_epi8(p00, p11)));
            result = _mm256_blendv_epi8(result, p00, same);
            __m256i settledPixel = _mm256_andnot_si256(edge, _mm256_cmpeq_epi32(_mm256_or_si256(sure, same), allOnes));
            const __m256i onPixel = _mm256_andnot_si256(edge, hit);
            result = _mm256_blendv_epi8(result, p00, onPixel);
            settledPixel = _mm256_or_si256(settledPixel, onPixel);
            _mm256_store_si256(reinterpret_cast<__m256i *>(value), result);
            unsigned todo = unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(ok)));
            const unsigned done = unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(settledPixel)));
            const std::size_t column = std::size_t(u) * 4;
            if (todo == 0xFF && done == 0xFF) {
                for (int i = 0; i < 8; ++i)
                    std::memcpy(out[i] + column, &value[i], 4);
            } else {
                if (todo & ~done) {
                    _mm256_store_pd(xs, x0);
                    _mm256_store_pd(xs + 4, x1);
                    _mm256_store_pd(ys, y0);
                    _mm256_store_pd(ys + 4, y1);
                }
                while (todo) {
                    const int i = __builtin_ctz(todo);
                    todo &= todo - 1;
                    if (done >> i & 1)
                        std::memcpy(out[i] + column, &value[i], 4);
                    else
                        rotatePixelPlain(out[i] + column, xs[i], ys[i], s, src);
                }
            }
            x0 = _mm256_add_pd(x0, dpx);
            x1 = _mm256_add_pd(x1, dpx);
            y0 = _mm256_add_pd(y0, dpy);
            y1 = _mm256_add_pd(y1, dpy);
        }
    }
}

// ---- sixteen rows side by side (AVX-512) ------------------------------------
//
// The loop above with sixteen lanes: the same single-precision sums, the same
// settling and the same plain arithmetic for every pixel left unsettled, so
// the bytes are the plain loop's. The sixteen results go to their rows in
// two scatters.

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#define SORIMBA_TARGET_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx2,fma")))

SORIMBA_TARGET_AVX512 inline __mmask8 insideMask512(__m512d x, __m512d y, __m512d xLo, __m512d xHi,
                                                               __m512d yLo, __m512d yHi)
{
    __mmask8 k = _mm512_cmp_pd_mask(x, xLo, _CMP_GE_OQ);
    k = _mm512_mask_cmp_pd_mask(k, x, xHi, _CMP_LT_OQ);
    k = _mm512_mask_cmp_pd_mask(k, y, yLo, _CMP_GE_OQ);
    return _mm512_mask_cmp_pd_mask(k, y, yHi, _CMP_LT_OQ);
}

// Two vectors of eight doubles as one of sixteen floats.
SORIMBA_TARGET_AVX512 inline __m512 narrow16(__m512d lo, __m512d hi)
{
    return _mm512_insertf32x8(_mm512_castps256_ps512(_mm512_cvtpd_ps(lo)), _mm512_cvtpd_ps(hi), 1);
}

// Byte c of each pixel, as a 32-bit lane.
SORIMBA_TARGET_AVX512 inline __m512i channelOf(__m512i p, int c)
{
    switch (c) {
    case 0: return _mm512_and_si512(p, _mm512_set1_epi32(0xFF));
    // The byte shuffle counts bytes within each 128-bit quarter.
    case 1: return _mm512_shuffle_epi8(p, _mm512_set4_epi32(int(0x8080800D), int(0x80808009), int(0x80808005), int(0x80808001)));
    case 2: return _mm512_shuffle_epi8(p, _mm512_set4_epi32(int(0x8080800E), int(0x8080800A), int(0x80808006), int(0x80808002)));
    default: return _mm512_srli_epi32(p, 24);
    }
}

SORIMBA_TARGET_AVX512 void rotateRowsAvx512(const RotateRow *rows, std::int32_t count,
                                                       const RotateSpan &s, const PixelRows &src)
{
    const long long *base = reinterpret_cast<const long long *>(src.bits);
    const __m512d xLo = _mm512_set1_pd(s.xLo), xHi = _mm512_set1_pd(s.xHi);
    const __m512d yLo = _mm512_set1_pd(s.yLo), yHi = _mm512_set1_pd(s.yHi);
    const __m512d dpx = _mm512_set1_pd(s.dpx), dpy = _mm512_set1_pd(s.dpy);
    const __m512i lastX = _mm512_set1_epi32(s.lastX), lastY = _mm512_set1_epi32(s.lastY);
    const __m512i width = _mm512_set1_epi32(src.width);
    const __m512 settled = _mm512_set1_ps(kSettled), onef = _mm512_set1_ps(1.0f);
    // The even and odd 32-bit halves of two vectors of pixel pairs: the left
    // and the right pixels in lane order.
    const __m512i even = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i odd = _mm512_add_epi32(even, _mm512_set1_epi32(1));

    for (std::int32_t g = 0; g < count; g += 16) {
        const std::int32_t n = std::min<std::int32_t>(16, count - g);
        const RotateRow *r = rows + g;
        alignas(64) std::int32_t from[16] = {}, to[16] = {};
        alignas(64) double xs[16], ys[16];
        alignas(64) std::uint64_t out[16];
        std::int32_t first = INT32_MAX, last = INT32_MIN;
        for (std::int32_t i = 0; i < 16; ++i) {
            xs[i] = s.xLo;
            ys[i] = s.yLo;
            out[i] = reinterpret_cast<std::uintptr_t>(r[std::min(i, n - 1)].out);
            if (i < n) {
                from[i] = r[i].from;
                to[i] = r[i].to;
                first = std::min(first, r[i].from);
                last = std::max(last, r[i].to);
            }
        }
        const __m512i fromV = _mm512_load_si512(from), toV = _mm512_load_si512(to);
        // The rows' addresses, for the scatter that stores a column's pixels.
        const __m512i out0 = _mm512_load_si512(out), out1 = _mm512_load_si512(out + 8);
        __m512d x0 = _mm512_load_pd(xs), x1 = _mm512_load_pd(xs + 8);
        __m512d y0 = _mm512_load_pd(ys), y1 = _mm512_load_pd(ys + 8);
        std::int32_t nextStart = first;
        for (std::int32_t u = first; u < last; ++u) {
            if (u == nextStart) {
                _mm512_store_pd(xs, x0);
                _mm512_store_pd(xs + 8, x1);
                _mm512_store_pd(ys, y0);
                _mm512_store_pd(ys + 8, y1);
                nextStart = INT32_MAX;
                for (std::int32_t i = 0; i < n; ++i) {
                    if (r[i].from == u) {
                        xs[i] = r[i].px;
                        ys[i] = r[i].py;
                    } else if (r[i].from > u) {
                        nextStart = std::min(nextStart, r[i].from);
                    }
                }
                x0 = _mm512_load_pd(xs);
                x1 = _mm512_load_pd(xs + 8);
                y0 = _mm512_load_pd(ys);
                y1 = _mm512_load_pd(ys + 8);
            }
            const __m512i uu = _mm512_set1_epi32(u);
            const __mmask16 active = __mmask16(_mm512_cmpgt_epi32_mask(toV, uu) & _mm512_cmple_epi32_mask(fromV, uu));
            const __mmask16 ok = __mmask16(active & (unsigned(insideMask512(x0, y0, xLo, xHi, yLo, yHi)) |
                                                     unsigned(insideMask512(x1, y1, xLo, xHi, yLo, yHi)) << 8));
            if (ok == 0) {
                x0 = _mm512_add_pd(x0, dpx);
                x1 = _mm512_add_pd(x1, dpx);
                y0 = _mm512_add_pd(y0, dpy);
                y1 = _mm512_add_pd(y1, dpy);
                continue;
            }
            // Inside, truncation is the floor (the points are at least 0).
            const __m256i ix0 = _mm512_cvttpd_epi32(x0), ix1 = _mm512_cvttpd_epi32(x1);
            const __m256i iy0 = _mm512_cvttpd_epi32(y0), iy1 = _mm512_cvttpd_epi32(y1);
            const __m512 fx = narrow16(_mm512_sub_pd(x0, _mm512_cvtepi32_pd(ix0)), _mm512_sub_pd(x1, _mm512_cvtepi32_pd(ix1)));
            const __m512 fy = narrow16(_mm512_sub_pd(y0, _mm512_cvtepi32_pd(iy0)), _mm512_sub_pd(y1, _mm512_cvtepi32_pd(iy1)));
            const __m512 zerof = _mm512_setzero_ps();
            const __mmask16 hit = _mm512_mask_cmp_ps_mask(_mm512_cmp_ps_mask(fx, zerof, _CMP_EQ_OQ), fy, zerof, _CMP_EQ_OQ);
            const __m512i ix = _mm512_inserti64x4(_mm512_castsi256_si512(ix0), ix1, 1);
            const __m512i iy = _mm512_inserti64x4(_mm512_castsi256_si512(iy0), iy1, 1);
            const __mmask16 edge = __mmask16(_mm512_cmpeq_epi32_mask(ix, lastX) | _mm512_cmpeq_epi32_mask(iy, lastY));
            const __mmask16 load = __mmask16(ok & ~edge);
            // Lanes that do not load read the image's first two pixels.
            const __m512i i00 = _mm512_maskz_add_epi32(load, _mm512_mullo_epi32(iy, width), ix);
            const __m512i i01 = _mm512_mask_add_epi32(i00, load, i00, width);
            const __m512i top0 = _mm512_i32gather_epi64(_mm512_castsi512_si256(i00), base, 4);
            const __m512i top1 = _mm512_i32gather_epi64(_mm512_extracti64x4_epi64(i00, 1), base, 4);
            const __m512i bot0 = _mm512_i32gather_epi64(_mm512_castsi512_si256(i01), base, 4);
            const __m512i bot1 = _mm512_i32gather_epi64(_mm512_extracti64x4_epi64(i01, 1), base, 4);
            const __m512i p00 = _mm512_permutex2var_epi32(top0, even, top1);
            const __m512i p10 = _mm512_permutex2var_epi32(top0, odd, top1);
            const __m512i p01 = _mm512_permutex2var_epi32(bot0, even, bot1);
            const __m512i p11 = _mm512_permutex2var_epi32(bot0, odd, bot1);
            const __m512 gx = _mm512_sub_ps(onef, fx), gy = _mm512_sub_ps(onef, fy);
            const __m512 w00 = _mm512_mul_ps(gx, gy), w10 = _mm512_mul_ps(fx, gy);
            const __m512 w01 = _mm512_mul_ps(gx, fy), w11 = _mm512_mul_ps(fx, fy);
            __m512i result = _mm512_setzero_si512(), sure = _mm512_setzero_si512();
            for (int c = 0; c < 4; ++c) {
                const __m512 upper = _mm512_fmadd_ps(w10, _mm512_cvtepi32_ps(channelOf(p10, c)),
                                                     _mm512_mul_ps(w00, _mm512_cvtepi32_ps(channelOf(p00, c))));
                const __m512 lower = _mm512_fmadd_ps(w11, _mm512_cvtepi32_ps(channelOf(p11, c)),
                                                     _mm512_mul_ps(w01, _mm512_cvtepi32_ps(channelOf(p01, c))));
                const __m512 sum = _mm512_add_ps(upper, lower);
                const __m512i k = _mm512_cvttps_epi32(_mm512_add_ps(sum, settled));
                const __mmask16 kOk = _mm512_cmp_ps_mask(_mm512_sub_ps(sum, settled), _mm512_cvtepi32_ps(k), _CMP_GE_OQ);
                result = _mm512_or_si512(result, _mm512_slli_epi32(k, 8 * c));
                sure = _mm512_mask_or_epi32(sure, kOk, sure, _mm512_set1_epi32(int(0xFFu << (8 * c))));
            }
            // Channels whose four taps are equal are that byte.
            const __mmask64 same = _mm512_mask_cmpeq_epi8_mask(
                _mm512_mask_cmpeq_epi8_mask(_mm512_cmpeq_epi8_mask(p00, p10), p00, p01), p00, p11);
            result = _mm512_mask_blend_epi8(same, result, p00);
            sure = _mm512_or_si512(sure, _mm512_movm_epi8(same));
            const __mmask16 onPixel = __mmask16(hit & ~edge);
            result = _mm512_mask_blend_epi32(onPixel, result, p00);
            const __mmask16 done =
                __mmask16(((_mm512_cmpeq_epi32_mask(sure, _mm512_set1_epi32(-1)) & ~edge) | onPixel) & ok);
            const std::size_t column = std::size_t(u) * 4;
            const __m512i at = _mm512_set1_epi64(std::int64_t(column));
            _mm512_mask_i64scatter_epi32(nullptr, __mmask8(done), _mm512_add_epi64(out0, at),
                                         _mm512_castsi512_si256(result), 1);
            _mm512_mask_i64scatter_epi32(nullptr, __mmask8(done >> 8), _mm512_add_epi64(out1, at),
                                         _mm512_extracti64x4_epi64(result, 1), 1);
            if (const unsigned todo = unsigned(ok) & ~unsigned(done)) {
                _mm512_store_pd(xs, x0);
                _mm512_store_pd(xs + 8, x1);
                _mm512_store_pd(ys, y0);
                _mm512_store_pd(ys + 8, y1);
                for (unsigned m = todo; m; m &= m - 1) {
                    const int i = __builtin_ctz(m);
                    rotatePixelPlain(reinterpret_cast<std::uint8_t *>(out[i]) + column, xs[i], ys[i], s, src);
                }
            }
            x0 = _mm512_add_pd(x0, dpx);
            x1 = _mm512_add_pd(x1, dpx);
            y0 = _mm512_add_pd(y0, dpy);
            y1 = _mm512_add_pd(y1, dpy);
        }
    }
}

#pragma GCC diagnostic pop

BilinearLoops g_widest = BilinearLoops::Avx512;

bool haveAvx2()
{
    static const bool yes = __builtin_cpu_supports("avx2");
    return yes && g_widest >= BilinearLoops::Avx2;
}

bool haveAvx512()
{
    static const bool yes = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
                            __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return yes && g_widest >= BilinearLoops::Avx512;
}

bool haveAvx2Fma()
{
    static const bool yes = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return yes && g_widest >= BilinearLoops::Avx2;
}

} // namespace

void setBilinearLoops(BilinearLoops widest) { g_widest = widest; }

void bilinearRow(std::uint8_t *out, const std::uint8_t *rowA, const std::uint8_t *rowB, double wa, double wb,
                 const ColumnTap *columns, std::int32_t count)
{
    if (haveAvx2())
        rowAvx2(out, rowA, rowB, wa, wb, columns, count);
    else
        rowPlain(out, rowA, rowB, wa, wb, columns, count);
}

void bilinearRotateSpan(std::uint8_t *out, std::int32_t count, const RotateSpan &span, const PixelRows &source)
{
    if (haveAvx2())
        rotateAvx2(out, count, span, source);
    else
        rotatePlain(out, count, span, source);
}

} // namespace imaging::detail

namespace imaging::detail {

void bilinearRotateRows(const RotateRow *rows, std::int32_t count, const RotateSpan &span, const PixelRows &source)
{
    // The loop reads two pixels at a time, so the image needs two.
    if (haveAvx512() && std::int64_t(source.width) * source.rows >= 2) {
        rotateRowsAvx512(rows, count, span, source);
        return;
    }
    if (haveAvx2Fma() && std::int64_t(source.width) * source.rows >= 2) {
        rotateRowsAvx2(rows, count, span, source);
        return;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        RotateSpan s = span;
        s.px = rows[i].px;
        s.py = rows[i].py;
        bilinearRotateSpan(rows[i].out + std::size_t(rows[i].from) * 4, rows[i].to - rows[i].from, s, source);
    }
}

} // namespace imaging::detail
