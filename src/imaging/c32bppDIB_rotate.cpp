// Drawing a surface turned by any angle: the engine's own rotation into a
// square working surface, which then draws itself with Render.
#include "imaging/c32bppDIB.h"

#include "imaging/gdiplus_bridge.h"
#include "imaging/bilinear_p.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace imaging {

using detail::PixelRows;

namespace {

// cos and sin of a whole number of degrees; the quarter turns are exact, so
// a 90-degree turn moves every pixel to its exact place.
void cosSin(std::int64_t degrees, double &c, double &s)
{
    switch (((degrees % 360) + 360) % 360) {
    case 0: c = 1; s = 0; return;
    case 90: c = 0; s = 1; return;
    case 180: c = -1; s = 0; return;
    case 270: c = 0; s = -1; return;
    default: break;
    }
    const double pi = 4.0 * std::atan(1.0);
    const double theta = double(degrees % 360) * pi / 180.0;
    c = std::cos(theta);
    s = std::sin(theta);
}

// The range of u (0 <= u < count) for which lo <= p0 + u * dp < hi, widened
// by one step on each side so that rounding never loses a pixel; the exact
// test is made per pixel.
void insideRange(double p0, double dp, double lo, double hi, std::int32_t count, std::int32_t &from, std::int32_t &to)
{
    if (dp == 0) {
        if (p0 >= lo && p0 < hi) {
            from = 0;
            to = count;
        } else {
            from = to = 0;
        }
        return;
    }
    double a = (lo - p0) / dp, b = (hi - p0) / dp;
    if (a > b)
        std::swap(a, b);
    const double f = std::max(0.0, std::floor(a) - 1), t = std::min(double(count), std::ceil(b) + 1);
    from = std::int32_t(std::max(0.0, std::min(f, double(count))));
    to = std::int32_t(std::max(double(from), t));
}

} // namespace

bool c32bppDIB::RotateAtTopLeft(gdi::HDC hdc, float Angle, std::int32_t TopX, std::int32_t TopY,
                                std::int32_t destWidth, std::int32_t destHeight, std::int32_t SrcX, std::int32_t SrcY,
                                std::int32_t srcWidth, std::int32_t srcHeight, std::int32_t Opacity,
                                c32bppDIB *destHostDIB, std::int32_t grayScale)
{
    if (!std::isfinite(Angle))
        return false;
    // Whole degrees, rounded half to even, taken modulo 360.
    const std::int64_t degrees = std::int64_t(std::fmod(std::nearbyint(double(Angle)), 360.0));
    if (degrees == 0)
        return Render(hdc, TopX, TopY, destWidth, destHeight, SrcX, SrcY, srcWidth, srcHeight, Opacity, true,
                      destHostDIB == nullptr, destHostDIB, grayScale);
    if (!m_handle || !hdc || SrcX < 0 || SrcY < 0)
        return false;
    if (srcWidth < 1)
        srcWidth = m_width;
    if (srcHeight < 1)
        srcHeight = m_height;
    if (std::int64_t(SrcX) + srcWidth > m_width)
        srcWidth = m_width - SrcX;
    if (std::int64_t(SrcY) + srcHeight > m_height)
        srcHeight = m_height - SrcY;
    if (srcWidth < 1 || srcHeight < 1)
        return false;
    if (destWidth == 0)
        destWidth = m_width;
    if (destHeight == 0)
        destHeight = m_height;
    if (destWidth == INT32_MIN || destHeight == INT32_MIN)
        return false;
    if (Opacity == 0)
        return true;

    if (isGDIplusEnabled()) {
        std::int32_t opacity = std::int32_t(std::llabs(std::int64_t(Opacity)) % 100);
        if (opacity == 0)
            opacity = 100;
        if (cGDIPlus().RenderGDIplus(*this, hdc, Angle, opacity, TopX, TopY, destWidth, destHeight, SrcX, SrcY,
                                     srcWidth, srcHeight, m_highQuality, grayScale, m_gdiToken))
            return true;
    }

    // A negative destination size mirrors: the drawing starts that far to the
    // left (above), and the source becomes a mirrored copy.
    if (destWidth < 0)
        TopX = std::int32_t(std::clamp<std::int64_t>(std::int64_t(TopX) + destWidth, INT32_MIN, INT32_MAX));
    if (destHeight < 0)
        TopY = std::int32_t(std::clamp<std::int64_t>(std::int64_t(TopY) + destHeight, INT32_MIN, INT32_MAX));
    PixelRows source{m_bits, m_width, m_height};
    ByteArray mirrored;
    if (destWidth < 0 || destHeight < 0) {
        if (!MirrorCopy(SrcX, SrcY, srcWidth, srcHeight, destWidth, destHeight, mirrored, nullptr))
            return false;
        source = detail::rowsOf(mirrored);
    }

    const double scaleX = double(destWidth) / srcWidth, scaleY = double(destHeight) / srcHeight;
    double cosT, sinT;
    cosSin(degrees, cosT, sinT);
    const std::int64_t d64 = detail::roundEven(std::sqrt(double(destWidth) * destWidth + double(destHeight) * destHeight));
    if (d64 < 1 || d64 > INT32_MAX)
        return false;
    const std::int32_t d = std::int32_t(d64);

    c32bppDIB working;
    working.setGdiToken(m_gdiToken);
    working.setGDIplusEnabled(isGDIplusEnabled());
    working.setHighQualityInterpolation(m_highQuality);
    if (!working.InitializeDIB(d, d))
        return false;   // too large: reported, never a crash

    // Rows counted from the bottom, as stored. b is the source rectangle's
    // bottom row.
    const std::int32_t b = source.rows - srcHeight - SrcY;
    const double cx = SrcX + srcWidth / 2, cy = b + srcHeight / 2;
    const std::int32_t wx = (d - srcWidth) / 2 + srcWidth / 2, wy = (d - srcHeight) / 2 + srcHeight / 2;
    const double xLo = SrcX, xHi = double(SrcX) + srcWidth, yLo = b, yHi = double(b) + srcHeight;
    const std::int32_t lastX = SrcX + srcWidth - 1, lastY = b + srcHeight - 1;
    // One step along a working row moves the source point by (dpx, dpy).
    const double dpx = cosT / scaleX, dpy = sinT / scaleY;
    const PixelRows out{working.BitsPointer(), d, d};

    // Each working row meets the source rectangle in one run of pixels. The
    // rows are walked in bands and the bands in blocks of columns, so that the
    // source pixels one block reads (a turned square of the source) stay in
    // the cache; within a block each row's point still moves by one addition
    // per pixel.
    struct Row {
        double px0, py0;
        std::int32_t from, to;
    };
    constexpr std::int32_t kTile = 64;
    std::vector<Row> rows(static_cast<std::size_t>(std::min(d, kTile)));
    for (std::int32_t band = 0; band < d; band += kTile) {
        const std::int32_t bandEnd = std::min(d, band + kTile);
        std::int32_t bandFrom = d, bandTo = 0;
        for (std::int32_t v = band; v < bandEnd; ++v) {
            const double dv = double(v) - wy;
            Row &r = rows[std::size_t(v - band)];
            r.px0 = cx + (-double(wx) * cosT - dv * sinT) / scaleX;
            r.py0 = cy + (dv * cosT - double(wx) * sinT) / scaleY;
            std::int32_t fromX, toX, fromY, toY;
            insideRange(r.px0, dpx, xLo, xHi, d, fromX, toX);
            insideRange(r.py0, dpy, yLo, yHi, d, fromY, toY);
            r.from = std::max(fromX, fromY);
            r.to = std::min(toX, toY);
            if (r.from < r.to) {
                bandFrom = std::min(bandFrom, r.from);
                bandTo = std::max(bandTo, r.to);
            }
        }
        for (std::int32_t block = bandFrom; block < bandTo; block += kTile) {
            const std::int32_t blockEnd = std::min(bandTo, block + kTile);
            for (std::int32_t v = band; v < bandEnd; ++v) {
                const Row &r = rows[std::size_t(v - band)];
                const std::int32_t from = std::max(r.from, block), to = std::min(r.to, blockEnd);
                if (from >= to)
                    continue;
                const double px = r.px0 + from * dpx, py = r.py0 + from * dpy;
                std::uint8_t *o = out.pixel(from, v);
                if (m_highQuality) {
                    detail::bilinearRotateSpan(o, to - from, {px, py, dpx, dpy, xLo, xHi, yLo, yHi, lastX, lastY},
                                               source);
                    continue;
                }
                double qx = px, qy = py;
                for (std::int32_t u = from; u < to; ++u, qx += dpx, qy += dpy, o += 4)
                    if (qx >= xLo && qx < xHi && qy >= yLo && qy < yHi)
                        std::memcpy(o, source.pixel(std::int32_t(std::floor(qx)), std::int32_t(std::floor(qy))), 4);
            }
        }
    }

    return working.Render(hdc, std::int32_t(std::int64_t(TopX) + destWidth / 2 - d / 2),
                          std::int32_t(std::int64_t(TopY) + destHeight / 2 - d / 2), 0, 0, 0, 0, 0, 0, Opacity, true,
                          destHostDIB == nullptr, destHostDIB, grayScale);
}

bool c32bppDIB::RotateAtCenterPoint(gdi::HDC hdc, float Angle, std::int32_t CenterPointX, std::int32_t CenterPointY,
                                    std::int32_t destWidth, std::int32_t destHeight, std::int32_t SrcX,
                                    std::int32_t SrcY, std::int32_t srcWidth, std::int32_t srcHeight,
                                    std::int32_t Opacity, c32bppDIB *destHostDIB, std::int32_t grayScale)
{
    if (destWidth == 0)
        destWidth = m_width;
    if (destHeight == 0)
        destHeight = m_height;
    const auto clampInt = [](std::int64_t v) { return std::int32_t(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); };
    return RotateAtTopLeft(hdc, Angle, clampInt(std::int64_t(CenterPointX) - destWidth / 2),
                           clampInt(std::int64_t(CenterPointY) - destHeight / 2), destWidth, destHeight, SrcX, SrcY,
                           srcWidth, srcHeight, Opacity, destHostDIB, grayScale);
}

} // namespace imaging
