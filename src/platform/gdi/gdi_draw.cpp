// Pixels, lines, fills, shapes, block transfers, alpha blending and gradients.
#include "platform/gdi/gdi_p.h"

#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#include <immintrin.h>
#endif

namespace gdi {
namespace detail {

void fillSpan(const PixelView &v, const QRegion &area, int y, int x0, int x1, COLORREF c)
{
    if (!v.valid() || y < 0 || y >= v.height)
        return;
    forSpans(area, y, x0, x1, [&](int a, int b) {
        for (int x = a; x < b; ++x)
            putColour(v, x, y, c);
    });
}

void fillRegion(const PixelView &v, const QRegion &area, const QRegion &shape, COLORREF c)
{
    const QRegion r = area & shape;
    for (const QRect &rect : r)
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                putColour(v, x, y, c);
}

Spans roundRectSpans(int left, int top, int right, int bottom, int ew, int eh, int rowFrom, int rowTo)
{
    Spans s;
    const int from = std::max(top, rowFrom), to = std::min(bottom, rowTo);
    s.top = from;
    s.openTop = from > top;
    s.openBottom = to < bottom;
    if (right <= left || bottom <= top || from >= to)
        return s;
    const double width = double(right) - left, height = double(bottom) - top;
    const double a = std::min(std::abs(double(ew)), width) / 2.0;
    const double b = std::min(std::abs(double(eh)), height) / 2.0;
    s.rows.reserve(std::size_t(to - from));
    for (int y = from; y < to; ++y) {
        const double yc = y + 0.5;
        double dy = 0;
        if (yc < top + b)
            dy = (top + b) - yc;
        else if (yc > bottom - b)
            dy = yc - (bottom - b);
        int x0 = left;
        int x1 = right;
        if (dy > 0 && a > 0 && b > 0) {
            const double q = 1.0 - (dy / b) * (dy / b);
            const double dx = q > 0 ? a * std::sqrt(q) : 0.0;
            // Pixel centres inside [left + a - dx, right - a + dx]; the small
            // tolerance keeps exact tangents symmetric.
            const double l = std::ceil(left + a - dx - 0.5 - 1e-9);
            const double r = std::floor(right - a + dx - 0.5 + 1e-9) + 1;
            x0 = int(std::max<double>(l, left));
            x1 = int(std::min<double>(r, right));
        }
        s.rows.emplace_back(x0, std::max(x0, x1));
    }
    return s;
}

namespace {
// Columns are kept within a range whose widths fit QRect.
constexpr int kColumnLimit = 1 << 28;
std::pair<int, int> clampColumns(std::pair<int, int> span)
{
    return {std::clamp(span.first, -kColumnLimit, kColumnLimit), std::clamp(span.second, -kColumnLimit, kColumnLimit)};
}
} // namespace

QRect safeRect(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom)
{
    auto c = [](std::int64_t v) { return int(std::clamp<std::int64_t>(v, -kColumnLimit, kColumnLimit)); };
    const int l = c(left), t = c(top), r = c(right), b = c(bottom);
    return (r > l && b > t) ? QRect(l, t, r - l, b - t) : QRect();
}

QRegion spansToRegion(const Spans &s)
{
    QRegion r;
    QList<QRect> rects;
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
        const auto [a, b] = clampColumns(s.rows[i]);
        if (a < b)
            rects.append(QRect(a, s.top + int(i), b - a, 1));
    }
    r.setRects(rects.constData(), int(rects.size()));
    return r;
}

QRegion spansOutline(const Spans &s)
{
    QList<QRect> rects;
    const int n = int(s.rows.size());
    auto add = [&](int y, int a, int b) {
        if (a < b)
            rects.append(QRect(a, y, b - a, 1));
    };
    for (int i = 0; i < n; ++i) {
        const auto [a, b] = clampColumns(s.rows[i]);
        if (a >= b)
            continue;
        const int y = s.top + i;
        // A cut-off end row has an unknown neighbour: it only serves as the
        // neighbour of the next row.
        if ((i == 0 && s.openTop) || (i == n - 1 && s.openBottom))
            continue;
        if (i == 0 || i == n - 1) {
            add(y, a, b);
            continue;
        }
        // Pixels whose upper or lower neighbour lies outside, plus both ends.
        const auto [ua, ub] = clampColumns(s.rows[i - 1]);
        const auto [da, db] = clampColumns(s.rows[i + 1]);
        const int ia = std::max({a, ua, da});
        const int ib = std::min({b, ub, db});
        if (ia >= ib) {
            add(y, a, b);
        } else {
            add(y, a, std::max(ia, a + 1));
            add(y, std::min(ib, b - 1), b);
        }
    }
    QRegion r;
    for (const QRect &rc : rects)
        r += rc;
    return r;
}

} // namespace detail

using namespace detail;

namespace {

struct DrawTarget {
    PixelView v;
    QRegion area;
    DC *dc = nullptr;
};

bool drawTarget(HDC dc, DrawTarget &t)
{
    t.dc = get<DC>(dc);
    if (!t.dc)
        return false;
    t.v = target(dc);
    t.area = drawableArea(dc, t.v);
    return true;
}

// Brush colour, or nothing for a hollow or bad brush.
std::optional<COLORREF> brushColour(HBRUSH h)
{
    const Brush *b = get<Brush>(h);
    if (!b || b->hollow)
        return std::nullopt;
    return b->colour;
}

const Pen *penOf(const DC *d)
{
    const Pen *p = get<Pen>(d->pen);
    return (p && !p->null) ? p : nullptr;
}

void plot(const DrawTarget &t, int x, int y, int width, COLORREF c)
{
    if (width <= 1) {
        if (x >= 0 && y >= 0 && x < t.v.width && y < t.v.height && t.area.contains(QPoint(x, y)))
            putColour(t.v, x, y, c);
        return;
    }
    const int h = width / 2;
    for (int yy = y - h; yy < y - h + width; ++yy)
        fillSpan(t.v, t.area, yy, x - h, x - h + width, c);
}

void bresenham(const DrawTarget &t, int x0, int y0, int x1, int y1, int width, COLORREF c);

// A line from (x0, y0) to (x1, y1), the end point left out. Lines reaching
// far outside the bitmap are first cut to its neighbourhood, so that their
// cost follows what is visible.
void drawLine(const DrawTarget &t, int x0, int y0, int x1, int y1, int width, COLORREF c)
{
    constexpr std::int64_t kNear = 1 << 20;
    auto far = [&](std::int64_t v) { return v < -kNear || v > kNear; };
    if (!far(x0) && !far(y0) && !far(x1) && !far(y1)) {
        bresenham(t, x0, y0, x1, y1, width, c);
        return;
    }
    const double pad = width + 2.0;
    const double minX = -pad, maxX = t.v.width + pad, minY = -pad, maxY = t.v.height + pad;
    const double dx = double(x1) - x0, dy = double(y1) - y0;
    double t0 = 0, t1 = 1;
    auto clip = [&](double p, double q) {   // Liang-Barsky
        if (p == 0)
            return q >= 0;
        const double r = q / p;
        if (p < 0) {
            if (r > t1)
                return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0)
                return false;
            t1 = std::min(t1, r);
        }
        return true;
    };
    if (!clip(-dx, x0 - minX) || !clip(dx, maxX - x0) || !clip(-dy, y0 - minY) || !clip(dy, maxY - y0))
        return;
    const int ax = int(std::lround(x0 + t0 * dx)), ay = int(std::lround(y0 + t0 * dy));
    const int bx = int(std::lround(x0 + t1 * dx)), by = int(std::lround(y0 + t1 * dy));
    bresenham(t, ax, ay, bx, by, width, c);
    if (t1 < 1)   // the real end lies beyond: the cut end is an inner point
        plot(t, bx, by, width, c);
}

void bresenham(const DrawTarget &t, int x0, int y0, int x1, int y1, int width, COLORREF c)
{
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (!(x0 == x1 && y0 == y1)) {
        plot(t, x0, y0, width, c);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// Fills and outlines a rounded rectangle, computing only the rows around
// the bitmap.
bool drawShape(HDC dc, int left, int top, int right, int bottom, int ew, int eh)
{
    DrawTarget t;
    if (!drawTarget(dc, t))
        return false;
    if (!t.v.valid())
        return true;
    const Spans s = roundRectSpans(std::min(left, right), std::min(top, bottom), std::max(left, right),
                                   std::max(top, bottom), ew, eh, -1, t.v.height + 1);
    if (const auto fill = brushColour(t.dc->brush))
        fillRegion(t.v, t.area, spansToRegion(s), *fill);
    if (const Pen *p = penOf(t.dc))
        fillRegion(t.v, t.area, spansOutline(s), p->colour);
    return true;
}

inline std::uint8_t mul255(int a, int b)
{
    const int t = a * b + 128;
    return std::uint8_t((t + (t >> 8)) >> 8);
}

#if defined(__x86_64__)
// GCC 12's AVX-512 headers start some results from undefined vectors, which
// its own flow analysis then reports.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// mul255 on 16-bit lanes.
__attribute__((target("avx512f,avx512bw"))) inline __m512i mul255Avx512(__m512i a, __m512i b, __m512i c128)
{
    const __m512i t = _mm512_add_epi16(_mm512_mullo_epi16(a, b), c128);
    return _mm512_srli_epi16(_mm512_add_epi16(t, _mm512_srli_epi16(t, 8)), 8);
}
#endif

#if defined(__x86_64__)
// blendOverSpan's loop sixteen pixels at a time; returns how many it blended.
__attribute__((target("avx512f,avx512bw"))) int blendOverSpanAvx512(std::uint8_t *d, const std::uint8_t *s, int n)
{
    const __m512i zero = _mm512_setzero_si512(), c128 = _mm512_set1_epi16(128), c255 = _mm512_set1_epi32(255);
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512i sv = _mm512_loadu_si512(s + std::size_t(i) * 4);
        if (_mm512_test_epi32_mask(sv, sv) == 0)
            continue;   // all empty: the destination stays
        const __m512i alpha = _mm512_srli_epi32(sv, 24);
        if (_mm512_cmpeq_epi32_mask(alpha, c255) == 0xFFFF) {
            _mm512_storeu_si512(d + std::size_t(i) * 4, sv);
            continue;   // all opaque: copied
        }
        const __m512i dv = _mm512_loadu_si512(d + std::size_t(i) * 4);
        const __m512i inv32 = _mm512_sub_epi32(c255, alpha);
        const __m512i inv16 = _mm512_or_si512(inv32, _mm512_slli_epi32(inv32, 16));
        const __m512i lo = mul255Avx512(_mm512_unpacklo_epi8(dv, zero), _mm512_unpacklo_epi32(inv16, inv16), c128);
        const __m512i hi = mul255Avx512(_mm512_unpackhi_epi8(dv, zero), _mm512_unpackhi_epi32(inv16, inv16), c128);
        _mm512_storeu_si512(d + std::size_t(i) * 4, _mm512_adds_epu8(_mm512_packus_epi16(lo, hi), sv));
    }
    return i;
}

#pragma GCC diagnostic pop

// blendOverSpan's loop eight pixels at a time; returns how many it blended.
__attribute__((target("avx2"))) int blendOverSpanAvx2(std::uint8_t *d, const std::uint8_t *s, int n)
{
    const __m256i zero = _mm256_setzero_si256(), c128 = _mm256_set1_epi16(128), c255 = _mm256_set1_epi32(255);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i sv = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(s + std::size_t(i) * 4));
        if (_mm256_testz_si256(sv, sv))
            continue;   // all empty: the destination stays
        const __m256i alpha = _mm256_srli_epi32(sv, 24);
        if (unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi32(alpha, c255))) == 0xFFFFFFFFu) {
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(d + std::size_t(i) * 4), sv);
            continue;   // all opaque: copied
        }
        const __m256i dv = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(d + std::size_t(i) * 4));
        const __m256i inv32 = _mm256_sub_epi32(c255, alpha);
        const __m256i inv16 = _mm256_or_si256(inv32, _mm256_slli_epi32(inv32, 16));
        const auto half = [&](__m256i dd, __m256i inv) __attribute__((target("avx2"))) {
            const __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(dd, inv), c128);
            return _mm256_srli_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), 8);
        };
        const __m256i lo = half(_mm256_unpacklo_epi8(dv, zero), _mm256_unpacklo_epi32(inv16, inv16));
        const __m256i hi = half(_mm256_unpackhi_epi8(dv, zero), _mm256_unpackhi_epi32(inv16, inv16));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(d + std::size_t(i) * 4),
                            _mm256_adds_epu8(_mm256_packus_epi16(lo, hi), sv));
    }
    return i;
}
#endif

// Premultiplied source over at full constant alpha for n pixels:
// d = min(255, s + mul255(d, 255 - source alpha)) per byte, sixteen pixels
// at a time where the processor has AVX-512, eight with AVX2 and four with
// SSE2 (16-bit lanes hold every intermediate exactly).
void blendOverSpan(std::uint8_t *d, const std::uint8_t *s, int n)
{
    int i = 0;
#if defined(__x86_64__)
    static const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx512)
        i = blendOverSpanAvx512(d, s, n);
    if (avx2)
        i += blendOverSpanAvx2(d + std::size_t(i) * 4, s + std::size_t(i) * 4, n - i);
#endif
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), c128 = _mm_set1_epi16(128), c255 = _mm_set1_epi32(255);
    for (; i + 4 <= n; i += 4) {
        const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + std::size_t(i) * 4));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(sv, zero)) == 0xFFFF)
            continue;   // all empty: the destination stays
        const __m128i alpha = _mm_srli_epi32(sv, 24);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha, c255)) == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(d + std::size_t(i) * 4), sv);
            continue;   // all opaque: copied
        }
        const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i *>(d + std::size_t(i) * 4));
        const __m128i inv32 = _mm_sub_epi32(c255, alpha);
        const __m128i inv16 = _mm_or_si128(inv32, _mm_slli_epi32(inv32, 16));
        auto half = [&](__m128i dd, __m128i inv) {
            __m128i t = _mm_add_epi16(_mm_mullo_epi16(dd, inv), c128);
            return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
        };
        const __m128i lo = half(_mm_unpacklo_epi8(dv, zero), _mm_unpacklo_epi32(inv16, inv16));
        const __m128i hi = half(_mm_unpackhi_epi8(dv, zero), _mm_unpackhi_epi32(inv16, inv16));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(d + std::size_t(i) * 4),
                         _mm_adds_epu8(_mm_packus_epi16(lo, hi), sv));
    }
#endif
    for (; i < n; ++i) {
        const std::uint8_t *sp = s + std::size_t(i) * 4;
        std::uint8_t *dp = d + std::size_t(i) * 4;
        const int inv = 255 - sp[3];
        for (int c = 0; c < 4; ++c)
            dp[c] = std::uint8_t(std::min(255, sp[c] + mul255(dp[c], inv)));
    }
}

// A rectangle of a DC's pixels copied out as top-down 32-bit pixels; pixels
// outside the bitmap read as 0.
std::vector<std::uint8_t> grab(const PixelView &v, int x, int y, int w, int h)
{
    std::vector<std::uint8_t> out(std::size_t(w) * std::size_t(h) * 4, 0);
    if (!v.valid())
        return out;
    for (int j = 0; j < h; ++j) {
        const int sy = y + j;
        if (sy < 0 || sy >= v.height)
            continue;
        const int a = std::max(0, x), b = std::min(v.width, x + w);
        for (int sx = a; sx < b; ++sx) {
            const std::uint8_t *p = v.pixel(sx, sy);
            std::uint8_t *o = out.data() + (std::size_t(j) * w + (sx - x)) * 4;
            o[0] = p[0];
            o[1] = p[1];
            o[2] = p[2];
            o[3] = v.bpp == 32 ? p[3] : 0;
        }
    }
    return out;
}

// Resampling taps of one axis: for each destination index, the source
// indices and weights (summing to 1).
struct Taps {
    std::vector<int> first;
    std::vector<std::vector<float>> weights;
};

// Taps of destination indices [from, from + count) of an axis scaled from
// src to dst pixels.
Taps makeTaps(int src, int dst, bool filtered, int from, int count)
{
    Taps t;
    t.first.resize(count);
    t.weights.resize(count);
    const double ratio = double(src) / dst;
    for (int k = 0; k < count; ++k) {
        const double i = double(from) + k;
        if (!filtered) {
            t.first[k] = std::min(src - 1, int(i * ratio));
            t.weights[k] = {1.0f};
        } else if (ratio >= 1.0) {
            // Shrinking: the average over the covered source interval.
            const double s0 = i * ratio, s1 = (i + 1) * ratio;
            const int a = std::min(src - 1, int(s0));
            const int b = std::max(a + 1, std::min(src, int(std::ceil(s1))));
            t.first[k] = a;
            for (int j = a; j < b; ++j) {
                const double cover = std::min<double>(j + 1, s1) - std::max<double>(j, s0);
                t.weights[k].push_back(float(std::max(0.0, cover) / ratio));
            }
        } else {
            // Enlarging: bilinear between the two nearest source centres.
            double c = (i + 0.5) * ratio - 0.5;
            c = std::clamp(c, 0.0, double(src - 1));
            const int a = int(c);
            const double f = c - a;
            t.first[k] = a;
            if (a + 1 < src && f > 0)
                t.weights[k] = {float(1 - f), float(f)};
            else
                t.weights[k] = {1.0f};
        }
    }
    return t;
}

// The part (vx, vy, vw, vh) of a top-down 32-bit pixel block scaled from
// sw x sh to dw x dh (premultiplied when it has alpha).
std::vector<std::uint8_t> resample(const std::vector<std::uint8_t> &src, int sw, int sh, int dw, int dh,
                                   bool filtered, int vx, int vy, int vw, int vh)
{
    const Taps tx = makeTaps(sw, dw, filtered, vx, vw);
    const Taps ty = makeTaps(sh, dh, filtered, vy, vh);
    std::vector<float> rows(std::size_t(sw) * vh * 4);
    for (int j = 0; j < vh; ++j)
        for (int x = 0; x < sw; ++x)
            for (int c = 0; c < 4; ++c) {
                float acc = 0;
                for (std::size_t k = 0; k < ty.weights[j].size(); ++k)
                    acc += ty.weights[j][k] * src[((std::size_t(ty.first[j]) + k) * sw + x) * 4 + c];
                rows[(std::size_t(j) * sw + x) * 4 + c] = acc;
            }
    std::vector<std::uint8_t> out(std::size_t(vw) * vh * 4);
    for (int j = 0; j < vh; ++j)
        for (int i = 0; i < vw; ++i)
            for (int c = 0; c < 4; ++c) {
                float acc = 0;
                for (std::size_t k = 0; k < tx.weights[i].size(); ++k)
                    acc += tx.weights[i][k] * rows[(std::size_t(j) * sw + tx.first[i] + k) * 4 + c];
                out[(std::size_t(j) * vw + i) * 4 + c] = std::uint8_t(std::clamp(int(acc + 0.5f), 0, 255));
            }
    return out;
}

// The part of the destination rectangle (x, y, w, h) that can be drawn.
struct Visible {
    int x = 0, y = 0, w = 0, h = 0;   // in destination coordinates
    bool empty() const { return w <= 0 || h <= 0; }
};

Visible visiblePart(const DrawTarget &t, int x, int y, int w, int h)
{
    const QRect box = t.area.boundingRect();
    const std::int64_t x0 = std::max<std::int64_t>(x, box.left());
    const std::int64_t y0 = std::max<std::int64_t>(y, box.top());
    const std::int64_t x1 = std::min<std::int64_t>(std::int64_t(x) + w, std::int64_t(box.right()) + 1);
    const std::int64_t y1 = std::min<std::int64_t>(std::int64_t(y) + h, std::int64_t(box.bottom()) + 1);
    if (t.area.isEmpty() || x0 >= x1 || y0 >= y1)
        return {};
    return Visible{int(x0), int(y0), int(x1 - x0), int(y1 - y0)};
}

// Writes a top-down 32-bit block at (x, y) with a raster operation on each
// byte (alpha included for 32-bit targets).
void putBlock(const DrawTarget &t, int x, int y, int w, int h, const std::vector<std::uint8_t> &px,
              std::uint32_t rop)
{
    for (int j = 0; j < h; ++j) {
        const int dy = y + j;
        if (dy < 0 || dy >= t.v.height)
            continue;
        forSpans(t.area, dy, x, x + w, [&](int a, int b) {
            for (int dx = a; dx < b; ++dx) {
                const std::uint8_t *s = px.data() + (std::size_t(j) * w + (dx - x)) * 4;
                std::uint8_t *d = t.v.pixel(dx, dy);
                const int n = t.v.bpp == 32 ? 4 : 3;
                for (int c = 0; c < n; ++c) {
                    switch (rop) {
                    case SRCAND: d[c] &= s[c]; break;
                    case SRCPAINT: d[c] |= s[c]; break;
                    case SRCINVERT: d[c] ^= s[c]; break;
                    case NOTSRCCOPY: d[c] = std::uint8_t(~s[c]); break;
                    default: d[c] = s[c]; break;
                    }
                }
            }
        });
    }
}

bool knownRop(std::uint32_t rop)
{
    switch (rop) {
    case SRCCOPY:
    case SRCAND:
    case SRCPAINT:
    case SRCINVERT:
    case NOTSRCCOPY: return true;
    default: return false;
    }
}

} // namespace

COLORREF SetPixel(HDC dc, int x, int y, COLORREF c)
{
    DrawTarget t;
    if (!drawTarget(dc, t) || !t.v.valid() || x < 0 || y < 0 || x >= t.v.width || y >= t.v.height
        || !t.area.contains(QPoint(x, y)))
        return CLR_INVALID;
    putColour(t.v, x, y, c & 0xFFFFFF);
    return c & 0xFFFFFF;
}

COLORREF GetPixel(HDC dc, int x, int y)
{
    const PixelView v = target(dc);
    if (!v.valid() || x < 0 || y < 0 || x >= v.width || y >= v.height)
        return CLR_INVALID;
    const std::uint8_t *p = v.pixel(x, y);
    return RGB(p[2], p[1], p[0]);
}

bool MoveToEx(HDC dc, int x, int y, POINT *previous)
{
    DC *d = get<DC>(dc);
    if (!d)
        return false;
    if (previous)
        *previous = d->position;
    d->position = POINT{x, y};
    return true;
}

bool LineTo(HDC dc, int x, int y)
{
    DrawTarget t;
    if (!drawTarget(dc, t))
        return false;
    const POINT from = t.dc->position;
    t.dc->position = POINT{x, y};
    if (const Pen *p = penOf(t.dc); p && t.v.valid())
        drawLine(t, from.x, from.y, x, y, p->width, p->colour);
    return true;
}

bool FillRect(HDC dc, const RECT &r, HBRUSH brush)
{
    DrawTarget t;
    const Brush *b = get<Brush>(brush);
    if (!drawTarget(dc, t) || !b)
        return false;
    if (b->hollow || !t.v.valid() || r.isEmpty())
        return true;
    fillRegion(t.v, t.area, QRegion(safeRect(r.left, r.top, r.right, r.bottom)), b->colour);
    return true;
}

bool FrameRect(HDC dc, const RECT &r, HBRUSH brush)
{
    DrawTarget t;
    const Brush *b = get<Brush>(brush);
    if (!drawTarget(dc, t) || !b)
        return false;
    if (b->hollow || !t.v.valid() || r.isEmpty())
        return true;
    const QRegion outer(safeRect(r.left, r.top, r.right, r.bottom));
    const QRegion inner(safeRect(std::int64_t(r.left) + 1, std::int64_t(r.top) + 1, std::int64_t(r.right) - 1,
                                 std::int64_t(r.bottom) - 1));
    fillRegion(t.v, t.area, outer - inner, b->colour);
    return true;
}

bool Rectangle(HDC dc, int left, int top, int right, int bottom)
{
    return drawShape(dc, left, top, right, bottom, 0, 0);
}

bool Ellipse(HDC dc, int left, int top, int right, int bottom)
{
    const int w = int(std::min<std::int64_t>(std::abs(std::int64_t(right) - left), INT32_MAX));
    const int h = int(std::min<std::int64_t>(std::abs(std::int64_t(bottom) - top), INT32_MAX));
    return drawShape(dc, left, top, right, bottom, w, h);
}

bool RoundRect(HDC dc, int left, int top, int right, int bottom, int ew, int eh)
{
    return drawShape(dc, left, top, right, bottom, ew, eh);
}

bool PatBlt(HDC dc, int x, int y, int w, int h, std::uint32_t rop)
{
    DrawTarget t;
    if (!drawTarget(dc, t))
        return false;
    const QRect box = safeRect(std::min<std::int64_t>(x, std::int64_t(x) + w), std::min<std::int64_t>(y, std::int64_t(y) + h),
                               std::max<std::int64_t>(x, std::int64_t(x) + w), std::max<std::int64_t>(y, std::int64_t(y) + h));
    std::optional<COLORREF> c;
    if (rop == BLACKNESS)
        c = 0;
    else if (rop == WHITENESS)
        c = RGB(255, 255, 255);
    else if (rop == PATCOPY)
        c = brushColour(t.dc->brush);
    else
        return false;
    if (c && t.v.valid())
        fillRegion(t.v, t.area, QRegion(box), *c);
    return true;
}

bool BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int srcX, int srcY, std::uint32_t rop)
{
    if (rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY)
        return PatBlt(dst, x, y, w, h, rop);
    DrawTarget t;
    if (!drawTarget(dst, t) || !get<DC>(src) || !knownRop(rop))
        return false;
    const PixelView sv = target(src);
    if (w <= 0 || h <= 0 || !t.v.valid() || !sv.valid())
        return true;
    // Only the part that lies inside the source and the destination is
    // transferred, copied out first so that overlapping blocks of one bitmap
    // stay right.
    Visible vis = visiblePart(t, x, y, w, h);
    const std::int64_t sx0 = std::max<std::int64_t>(vis.x, std::int64_t(x) - srcX);
    const std::int64_t sy0 = std::max<std::int64_t>(vis.y, std::int64_t(y) - srcY);
    const std::int64_t sx1 = std::min<std::int64_t>(std::int64_t(vis.x) + vis.w, std::int64_t(x) - srcX + sv.width);
    const std::int64_t sy1 = std::min<std::int64_t>(std::int64_t(vis.y) + vis.h, std::int64_t(y) - srcY + sv.height);
    if (vis.empty() || sx0 >= sx1 || sy0 >= sy1)
        return true;
    vis = Visible{int(sx0), int(sy0), int(sx1 - sx0), int(sy1 - sy0)};
    const std::vector<std::uint8_t> px =
        grab(sv, int(std::int64_t(srcX) + (vis.x - x)), int(std::int64_t(srcY) + (vis.y - y)), vis.w, vis.h);
    putBlock(t, vis.x, vis.y, vis.w, vis.h, px, rop);
    return true;
}

bool StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int srcX, int srcY, int srcW, int srcH,
                std::uint32_t rop)
{
    DrawTarget t;
    if (!drawTarget(dst, t) || !get<DC>(src) || !knownRop(rop) || w == 0 || h == 0 || srcW == 0 || srcH == 0)
        return false;
    if (!t.v.valid())
        return true;
    // Opposite signs of the two widths (heights) mirror the picture.
    const bool mirrorX = (w < 0) != (srcW < 0);
    const bool mirrorY = (h < 0) != (srcH < 0);
    if (w < 0) {
        x += w + 1;
        w = -w;
    }
    if (h < 0) {
        y += h + 1;
        h = -h;
    }
    if (srcW < 0) {
        srcX += srcW + 1;
        srcW = -srcW;
    }
    if (srcH < 0) {
        srcY += srcH + 1;
        srcH = -srcH;
    }
    const Visible vis = visiblePart(t, x, y, w, h);
    if (vis.empty())
        return true;
    std::vector<std::uint8_t> px = grab(target(src), srcX, srcY, srcW, srcH);
    // Mirroring first keeps the scaled part in place.
    if (mirrorX || mirrorY) {
        std::vector<std::uint8_t> m(px.size());
        for (int j = 0; j < srcH; ++j)
            for (int i = 0; i < srcW; ++i)
                std::memcpy(&m[(std::size_t(j) * srcW + i) * 4],
                            &px[(std::size_t(mirrorY ? srcH - 1 - j : j) * srcW + (mirrorX ? srcW - 1 - i : i)) * 4], 4);
        px.swap(m);
    }
    px = resample(px, srcW, srcH, w, h, t.dc->stretchMode == HALFTONE, vis.x - x, vis.y - y, vis.w, vis.h);
    putBlock(t, vis.x, vis.y, vis.w, vis.h, px, rop);
    return true;
}

bool AlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int srcX, int srcY, int srcW, int srcH,
                BLENDFUNCTION blend)
{
    DrawTarget t;
    if (!drawTarget(dst, t) || !get<DC>(src) || blend.BlendOp != AC_SRC_OVER)
        return false;
    if (w <= 0 || h <= 0 || srcW <= 0 || srcH <= 0 || srcX < 0 || srcY < 0)
        return false;
    const PixelView sv = target(src);
    if (!sv.valid() || std::int64_t(srcX) + srcW > sv.width || std::int64_t(srcY) + srcH > sv.height)
        return false;
    const bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
    if (perPixel && sv.bpp != 32)
        return false;
    if (!t.v.valid())
        return true;
    const Visible vis = visiblePart(t, x, y, w, h);
    if (vis.empty())
        return true;
    const int sca = blend.SourceConstantAlpha;
    if (srcW == w && srcH == h && perPixel && t.v.bpp == 32 && sv.bits != t.v.bits) {
        // Unscaled per-pixel blend between two bitmaps: the source is read in
        // place, all-zero source pixels leave the destination as it is and
        // opaque ones at full constant alpha are copied, which is what the
        // general loop below computes for them; at full constant alpha the
        // spans go four pixels at a time.
        for (int j = 0; j < vis.h; ++j) {
            const int dy = vis.y + j;
            forSpans(t.area, dy, vis.x, vis.x + vis.w, [&](int a, int b) {
                const std::uint8_t *s = sv.pixel(srcX + (a - x), srcY + (dy - y));
                std::uint8_t *d = t.v.pixel(a, dy);
                if (sca == 255) {
                    blendOverSpan(d, s, b - a);
                    return;
                }
                for (int dx = a; dx < b; ++dx, s += 4, d += 4) {
                    std::uint32_t v;
                    std::memcpy(&v, s, 4);
                    if (v == 0)
                        continue;
                    if (sca == 255 && s[3] == 255) {
                        std::memcpy(d, s, 4);
                        continue;
                    }
                    int sc[4];
                    for (int c = 0; c < 4; ++c)
                        sc[c] = sca == 255 ? s[c] : mul255(s[c], sca);
                    const int inv = 255 - sc[3];
                    for (int c = 0; c < 4; ++c)
                        d[c] = std::uint8_t(std::min(255, sc[c] + mul255(d[c], inv)));
                }
            });
        }
        return true;
    }
    const std::vector<std::uint8_t> px =
        (srcW != w || srcH != h)
            ? resample(grab(sv, srcX, srcY, srcW, srcH), srcW, srcH, w, h, t.dc->stretchMode == HALFTONE,
                       vis.x - x, vis.y - y, vis.w, vis.h)
            : grab(sv, srcX + (vis.x - x), srcY + (vis.y - y), vis.w, vis.h);
    const int n = t.v.bpp == 32 ? 4 : 3;
    for (int j = 0; j < vis.h; ++j) {
        const int dy = vis.y + j;
        forSpans(t.area, dy, vis.x, vis.x + vis.w, [&](int a, int b) {
            for (int dx = a; dx < b; ++dx) {
                const std::uint8_t *s = px.data() + (std::size_t(j) * vis.w + (dx - vis.x)) * 4;
                std::uint8_t *d = t.v.pixel(dx, dy);
                if (perPixel) {
                    // Premultiplied source over: d = s' + d * (1 - a'), s' = s * sca.
                    int sc[4];
                    for (int c = 0; c < 4; ++c)
                        sc[c] = sca == 255 ? s[c] : mul255(s[c], sca);
                    const int inv = 255 - sc[3];
                    for (int c = 0; c < n; ++c)
                        d[c] = std::uint8_t(std::min(255, sc[c] + mul255(d[c], inv)));
                } else {
                    for (int c = 0; c < n; ++c)
                        d[c] = std::uint8_t(std::min(255, mul255(s[c], sca) + mul255(d[c], 255 - sca)));
                }
            }
        });
    }
    return true;
}

bool GradientFill(HDC dc, std::span<const TRIVERTEX> vertices, std::span<const GRADIENT_RECT> rects,
                  std::uint32_t mode)
{
    DrawTarget t;
    if (!drawTarget(dc, t) || (mode != GRADIENT_FILL_RECT_H && mode != GRADIENT_FILL_RECT_V))
        return false;
    for (const GRADIENT_RECT &r : rects)
        if (r.UpperLeft >= vertices.size() || r.LowerRight >= vertices.size())
            return false;
    if (!t.v.valid())
        return true;
    for (const GRADIENT_RECT &r : rects) {
        TRIVERTEX a = vertices[r.UpperLeft];
        TRIVERTEX b = vertices[r.LowerRight];
        const int left = std::min(a.x, b.x), right = std::max(a.x, b.x);
        const int top = std::min(a.y, b.y), bottom = std::max(a.y, b.y);
        if (left == right || top == bottom)
            continue;
        const bool horizontal = mode == GRADIENT_FILL_RECT_H;
        // The colour runs from the vertex at the smaller coordinate.
        if (horizontal ? a.x > b.x : a.y > b.y)
            std::swap(a, b);
        const std::int64_t span = horizontal ? right - left : bottom - top;
        auto channel = [&](std::uint16_t c0, std::uint16_t c1, std::int64_t k) {
            return std::uint8_t((std::int64_t(c0) + (std::int64_t(c1) - c0) * k / span) >> 8);
        };
        for (int yy = std::max(top, 0); yy < std::min(bottom, t.v.height); ++yy) {
            forSpans(t.area, yy, left, right, [&](int x0, int x1) {
                for (int xx = x0; xx < x1; ++xx) {
                    const std::int64_t k = horizontal ? xx - left : yy - top;
                    std::uint8_t *p = t.v.pixel(xx, yy);
                    p[0] = channel(a.Blue, b.Blue, k);
                    p[1] = channel(a.Green, b.Green, k);
                    p[2] = channel(a.Red, b.Red, k);
                    if (t.v.bpp == 32)
                        p[3] = channel(a.Alpha, b.Alpha, k);
                }
            });
        }
    }
    return true;
}

} // namespace gdi
