// Pixels, lines, fills, shapes, block transfers, alpha blending and gradients.
#include "platform/gdi/gdi_p.h"

#include <cmath>
#include <cstring>

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

Spans roundRectSpans(int left, int top, int right, int bottom, int ew, int eh)
{
    Spans s;
    s.top = top;
    if (right <= left || bottom <= top)
        return s;
    ew = std::min(std::abs(ew), right - left);
    eh = std::min(std::abs(eh), bottom - top);
    const double a = ew / 2.0;
    const double b = eh / 2.0;
    for (int y = top; y < bottom; ++y) {
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
            x0 = int(std::ceil(left + a - dx - 0.5 - 1e-9));
            x1 = int(std::floor(right - a + dx - 0.5 + 1e-9)) + 1;
            x0 = std::max(x0, left);
            x1 = std::min(x1, right);
        }
        s.rows.emplace_back(x0, std::max(x0, x1));
    }
    return s;
}

QRegion spansToRegion(const Spans &s)
{
    QRegion r;
    QList<QRect> rects;
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
        const auto [a, b] = s.rows[i];
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
        const auto [a, b] = s.rows[i];
        if (a >= b)
            continue;
        const int y = s.top + i;
        if (i == 0 || i == n - 1) {
            add(y, a, b);
            continue;
        }
        // Pixels whose upper or lower neighbour lies outside, plus both ends.
        const auto [ua, ub] = s.rows[i - 1];
        const auto [da, db] = s.rows[i + 1];
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

// Bresenham from (x0, y0) towards (x1, y1), the end point left out.
void drawLine(const DrawTarget &t, int x0, int y0, int x1, int y1, int width, COLORREF c)
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

bool drawShape(HDC dc, const Spans &s)
{
    DrawTarget t;
    if (!drawTarget(dc, t))
        return false;
    if (!t.v.valid())
        return true;
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

Taps makeTaps(int src, int dst, bool filtered)
{
    Taps t;
    t.first.resize(dst);
    t.weights.resize(dst);
    const double ratio = double(src) / dst;
    for (int i = 0; i < dst; ++i) {
        if (!filtered) {
            t.first[i] = std::min(src - 1, int(i * ratio));
            t.weights[i] = {1.0f};
        } else if (ratio >= 1.0) {
            // Shrinking: the average over the covered source interval.
            const double s0 = i * ratio, s1 = (i + 1) * ratio;
            const int a = int(s0);
            const int b = std::min(src, int(std::ceil(s1)));
            t.first[i] = a;
            for (int k = a; k < b; ++k) {
                const double cover = std::min<double>(k + 1, s1) - std::max<double>(k, s0);
                t.weights[i].push_back(float(cover / ratio));
            }
        } else {
            // Enlarging: bilinear between the two nearest source centres.
            double c = (i + 0.5) * ratio - 0.5;
            c = std::clamp(c, 0.0, double(src - 1));
            const int a = int(c);
            const double f = c - a;
            t.first[i] = a;
            if (a + 1 < src && f > 0)
                t.weights[i] = {float(1 - f), float(f)};
            else
                t.weights[i] = {1.0f};
        }
    }
    return t;
}

// Scales a top-down 32-bit pixel block (premultiplied when it has alpha).
std::vector<std::uint8_t> resample(const std::vector<std::uint8_t> &src, int sw, int sh, int dw, int dh,
                                   bool filtered)
{
    if (sw == dw && sh == dh)
        return src;
    const Taps tx = makeTaps(sw, dw, filtered);
    const Taps ty = makeTaps(sh, dh, filtered);
    std::vector<float> rows(std::size_t(sw) * dh * 4);
    for (int j = 0; j < dh; ++j)
        for (int x = 0; x < sw; ++x)
            for (int c = 0; c < 4; ++c) {
                float acc = 0;
                for (std::size_t k = 0; k < ty.weights[j].size(); ++k)
                    acc += ty.weights[j][k] * src[((std::size_t(ty.first[j]) + k) * sw + x) * 4 + c];
                rows[(std::size_t(j) * sw + x) * 4 + c] = acc;
            }
    std::vector<std::uint8_t> out(std::size_t(dw) * dh * 4);
    for (int j = 0; j < dh; ++j)
        for (int i = 0; i < dw; ++i)
            for (int c = 0; c < 4; ++c) {
                float acc = 0;
                for (std::size_t k = 0; k < tx.weights[i].size(); ++k)
                    acc += tx.weights[i][k] * rows[(std::size_t(j) * sw + tx.first[i] + k) * 4 + c];
                out[(std::size_t(j) * dw + i) * 4 + c] = std::uint8_t(std::clamp(int(acc + 0.5f), 0, 255));
            }
    return out;
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
    fillRegion(t.v, t.area, QRegion(r.left, r.top, r.width(), r.height()), b->colour);
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
    const QRegion outer(r.left, r.top, r.width(), r.height());
    const QRegion inner(r.left + 1, r.top + 1, std::max(0, r.width() - 2), std::max(0, r.height() - 2));
    fillRegion(t.v, t.area, outer - inner, b->colour);
    return true;
}

bool Rectangle(HDC dc, int left, int top, int right, int bottom)
{
    return drawShape(dc, roundRectSpans(std::min(left, right), std::min(top, bottom), std::max(left, right),
                                        std::max(top, bottom), 0, 0));
}

bool Ellipse(HDC dc, int left, int top, int right, int bottom)
{
    const int l = std::min(left, right), r = std::max(left, right);
    const int t = std::min(top, bottom), b = std::max(top, bottom);
    return drawShape(dc, roundRectSpans(l, t, r, b, r - l, b - t));
}

bool RoundRect(HDC dc, int left, int top, int right, int bottom, int ew, int eh)
{
    return drawShape(dc, roundRectSpans(std::min(left, right), std::min(top, bottom), std::max(left, right),
                                        std::max(top, bottom), ew, eh));
}

bool PatBlt(HDC dc, int x, int y, int w, int h, std::uint32_t rop)
{
    DrawTarget t;
    if (!drawTarget(dc, t))
        return false;
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        y += h;
        h = -h;
    }
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
        fillRegion(t.v, t.area, QRegion(x, y, w, h), *c);
    return true;
}

bool BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int srcX, int srcY, std::uint32_t rop)
{
    if (rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY)
        return PatBlt(dst, x, y, w, h, rop);
    DrawTarget t;
    if (!drawTarget(dst, t) || !get<DC>(src) || !knownRop(rop))
        return false;
    if (w <= 0 || h <= 0 || !t.v.valid())
        return true;
    // Copy out first so that overlapping blocks of one bitmap stay right.
    const std::vector<std::uint8_t> px = grab(target(src), srcX, srcY, w, h);
    const PixelView sv = target(src);
    if (!sv.valid())
        return true;
    // Only the part that lies inside the source is transferred.
    const int a = std::max(0, -srcX), b = std::min(w, sv.width - srcX);
    const int c = std::max(0, -srcY), d = std::min(h, sv.height - srcY);
    if (a >= b || c >= d)
        return true;
    DrawTarget clipped = t;
    clipped.area &= QRegion(x + a, y + c, b - a, d - c);
    putBlock(clipped, x, y, w, h, px, rop);
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
    std::vector<std::uint8_t> px = grab(target(src), srcX, srcY, srcW, srcH);
    px = resample(px, srcW, srcH, w, h, t.dc->stretchMode == HALFTONE);
    if (mirrorX || mirrorY) {
        std::vector<std::uint8_t> m(px.size());
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i)
                std::memcpy(&m[(std::size_t(j) * w + i) * 4],
                            &px[(std::size_t(mirrorY ? h - 1 - j : j) * w + (mirrorX ? w - 1 - i : i)) * 4], 4);
        px.swap(m);
    }
    putBlock(t, x, y, w, h, px, rop);
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
    std::vector<std::uint8_t> px = grab(sv, srcX, srcY, srcW, srcH);
    px = resample(px, srcW, srcH, w, h, t.dc->stretchMode == HALFTONE);
    const int sca = blend.SourceConstantAlpha;
    const int n = t.v.bpp == 32 ? 4 : 3;
    for (int j = 0; j < h; ++j) {
        const int dy = y + j;
        if (dy < 0 || dy >= t.v.height)
            continue;
        forSpans(t.area, dy, x, x + w, [&](int a, int b) {
            for (int dx = a; dx < b; ++dx) {
                const std::uint8_t *s = px.data() + (std::size_t(j) * w + (dx - x)) * 4;
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
