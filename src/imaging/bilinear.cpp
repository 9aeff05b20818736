// Bilinear inner loops, plain and AVX2. See bilinear_p.h.
#include "imaging/bilinear_p.h"

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

bool g_avx2Allowed = true;

bool haveAvx2()
{
    static const bool yes = __builtin_cpu_supports("avx2");
    return yes && g_avx2Allowed;
}

} // namespace

void setBilinearAvx2Allowed(bool allowed) { g_avx2Allowed = allowed; }

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
