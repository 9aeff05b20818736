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

} // namespace

void bilinearRowPlain(std::uint8_t *o, const std::uint8_t *rowA, const std::uint8_t *rowB, double wa, double wb,
                      const ColumnTaps &c, std::int32_t from, std::int32_t count)
{
    for (std::int32_t x = from; x < count; ++x) {
        const std::size_t first = std::size_t(c.first[x]) * 4, second = std::size_t(c.second[x]) * 4;
        blendPlain(o + std::size_t(x) * 4, rowA + first, rowA + second, rowB + first, rowB + second, wa * c.w0[x],
                   wa * c.w1[x], wb * c.w0[x], wb * c.w1[x]);
    }
}

namespace {

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
                                             double wa, double wb, const ColumnTaps &c, std::int32_t count)
{
    for (std::int32_t x = 0; x < count; ++x) {
        const std::size_t first = std::size_t(c.first[x]) * 4, second = std::size_t(c.second[x]) * 4;
        blendAvx2(o + std::size_t(x) * 4, rowA + first, rowA + second, rowB + first, rowB + second, wa * c.w0[x],
                  wa * c.w1[x], wb * c.w0[x], wb * c.w1[x]);
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
// [sum - kSingleSettled, sum + kSingleSettled] holds no whole number, the plain loop's
// truncation is the floor of the sum. The interval never settles a sum that
// is a whole number, so those cases are caught first: all four taps of a
// channel equal (the weights add up to 1 within 1e-15, so the plain sum is
// that byte), and a point that falls on a pixel exactly (weight 1 on it).
// Points at the rectangle's last column or row, whose weights do not add up
// to 1, always take the plain arithmetic.


// The plain arithmetic for one pixel; never inlined into the loop below, so
// that it is compiled as the plain loop is (no fused multiply-add). It is
// built for AVX2 all the same: leaving AVX code for SSE code costs hundreds
// of cycles on some processors.
} // namespace

__attribute__((noinline, target("avx2"))) void bilinearPixelPlain(std::uint8_t *o, double px, double py,
                                                                  const RotateSpan &s, const PixelRows &src)
{
    Taps t;
    if (rotateTaps(px, py, s, src, t))
        blendPlain(o, t.p00, t.p10, t.p01, t.p11, t.w00, t.w10, t.w01, t.w11);
}

namespace {

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
    const __m256 settled = _mm256_set1_ps(kSingleSettled), onef = _mm256_set1_ps(1.0f);
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
                        bilinearPixelPlain(out[i] + column, xs[i], ys[i], s, src);
                }
            }
            x0 = _mm256_add_pd(x0, dpx);
            x1 = _mm256_add_pd(x1, dpx);
            y0 = _mm256_add_pd(y0, dpy);
            y1 = _mm256_add_pd(y1, dpy);
        }
    }
}


VectorLoops g_widest = VectorLoops::Avx512;

bool haveAvx2()
{
    static const bool yes = __builtin_cpu_supports("avx2");
    return yes && g_widest >= VectorLoops::Avx2;
}

bool haveAvx2Fma()
{
    static const bool yes = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return yes && g_widest >= VectorLoops::Avx2;
}

} // namespace

void setVectorLoops(VectorLoops widest) { g_widest = widest; }

bool avx512LoopsAllowed()
{
    static const bool yes = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
                            __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return yes && g_widest >= VectorLoops::Avx512;
}

void bilinearRow(std::uint8_t *out, const std::uint8_t *rowA, const std::uint8_t *rowB, double wa, double wb,
                 const ColumnTaps &columns, std::int32_t count)
{
    if (avx512VbmiLoopsAllowed())
        bilinearRow16(out, rowA, rowB, wa, wb, columns, count);
    else if (haveAvx2())
        rowAvx2(out, rowA, rowB, wa, wb, columns, count);
    else
        bilinearRowPlain(out, rowA, rowB, wa, wb, columns, 0, count);
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
    if (avx512VnniLoopsAllowed() && std::int64_t(source.width) * source.rows >= 2) {
        bilinearRotateRows16(rows, count, span, source);
        return;
    }
    if (haveAvx2Fma() && std::int64_t(source.width) * source.rows >= 2) {
        rotateRowsAvx2(rows, count, span, source);
        return;
    }
    eachRowAlone(rows, count, span, source, bilinearRotateSpan);
}

} // namespace imaging::detail
