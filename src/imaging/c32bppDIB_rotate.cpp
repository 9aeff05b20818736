// Drawing a surface turned by any angle: the engine's own rotation into a
// square working surface, which then draws itself with Render (or, on the
// fast path, into one strip of that square at a time, each strip drawn at
// its place as soon as it is made).
#include "imaging/c32bppDIB.h"

#include "imaging/gdiplus_bridge.h"
#include "imaging/bilinear_p.h"
#include "platform/limits.h"

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

// Whether a row's points, moved by dp per column from p0, keep so close to
// p0 + u dp that every column at least three inside the range insideRange
// gives for them falls inside. A block's points start from one
// multiplication and take at most `steps` additions, each rounding by at most
// half a unit in the last place of the largest value on the row; the sum of
// those must stay well under a step (here under a quarter), and then the
// range's own rounding is far within the step by which it is widened on each
// side.
bool staysNearItsLine(double p0, double dp, std::int32_t count, std::int32_t steps)
{
    if (dp == 0)
        return true;   // the coordinate stays exactly p0
    // Above every value on the way, the products from column x dp included.
    const double largest = std::fabs(p0) + std::fabs(double(count) * dp) + 1;
    int exponent;
    std::frexp(largest, &exponent);
    const double twoUnitsInTheLastPlace = std::ldexp(1.0, exponent - 52);
    return double(steps + 2) * twoUnitsInTheLastPlace < std::fabs(dp);
}

// Rows of the working square are handled in bands of this many, and each
// band in blocks of as many columns, so that the source pixels one block
// reads (a turned square of the source) stay in the cache.
constexpr std::int32_t kBand = 64;

bool g_fastPathAllowed = true;

// One turn: the source, the working square's size and centre, the source
// centre and the steps.
struct Turn {
    PixelRows source;
    std::int32_t d = 0, wx = 0, wy = 0;
    double cx = 0, cy = 0, cosT = 0, sinT = 0, scaleX = 1, scaleY = 1;
    detail::RotateSpan span{};   // steps and source rectangle; px, py unused
    bool highQuality = false;
};

// A working row: the source point at its column 0, the columns whose
// points may fall inside the source rectangle, and those whose points surely
// do.
struct Row {
    double px0, py0;
    std::int32_t from, to, sureFrom, sureTo;
};

// The rows band..bandEnd - 1, and the columns any of them may write.
void bandRows(const Turn &t, std::int32_t band, std::int32_t bandEnd, Row *rows, std::int32_t &bandFrom,
              std::int32_t &bandTo)
{
    bandFrom = t.d;
    bandTo = 0;
    for (std::int32_t v = band; v < bandEnd; ++v) {
        const double dv = double(v) - t.wy;
        Row &r = rows[v - band];
        r.px0 = t.cx + (-double(t.wx) * t.cosT - dv * t.sinT) / t.scaleX;
        r.py0 = t.cy + (dv * t.cosT - double(t.wx) * t.sinT) / t.scaleY;
        std::int32_t fromX, toX, fromY, toY;
        insideRange(r.px0, t.span.dpx, t.span.xLo, t.span.xHi, t.d, fromX, toX);
        insideRange(r.py0, t.span.dpy, t.span.yLo, t.span.yHi, t.d, fromY, toY);
        r.from = std::max(fromX, fromY);
        r.to = std::min(toX, toY);
        constexpr std::int32_t kSureMargin = 3;
        const bool sure =
            staysNearItsLine(r.px0, t.span.dpx, t.d, kBand) && staysNearItsLine(r.py0, t.span.dpy, t.d, kBand);
        r.sureFrom = sure ? r.from + kSureMargin : 0;
        r.sureTo = sure ? r.to - kSureMargin : 0;
        if (r.from < r.to) {
            bandFrom = std::min(bandFrom, r.from);
            bandTo = std::max(bandTo, r.to);
        }
    }
}

// Draws the band's rows into out, working row v at out's row v - rowBase.
// Each block starts its rows' points afresh from column 0 (one
// multiplication), then moves them by one addition per pixel. With together
// set, the rows of a block are drawn side by side.
void drawBand(const Turn &t, std::int32_t band, std::int32_t bandEnd, std::int32_t bandFrom, std::int32_t bandTo,
              const Row *rows, const PixelRows &out, std::int32_t rowBase, bool together)
{
    const double dpx = t.span.dpx, dpy = t.span.dpy;
    detail::RotateRow starts[kBand];
    for (std::int32_t block = bandFrom; block < bandTo; block += kBand) {
        const std::int32_t blockEnd = std::min(bandTo, block + kBand);
        std::int32_t count = 0;
        for (std::int32_t v = band; v < bandEnd; ++v) {
            const Row &r = rows[v - band];
            const std::int32_t from = std::max(r.from, block), to = std::min(r.to, blockEnd);
            if (from >= to)
                continue;
            const double px = r.px0 + from * dpx, py = r.py0 + from * dpy;
            std::uint8_t *row = out.row(v - rowBase);
            if (together) {
                starts[count++] = {px, py, from, to, row, r.sureFrom, r.sureTo};
                continue;
            }
            detail::RotateSpan s = t.span;
            s.px = px;
            s.py = py;
            if (t.highQuality)
                detail::bilinearRotateSpan(row + std::size_t(from) * 4, to - from, s, t.source);
            else
                detail::nearestRotateSpan(row + std::size_t(from) * 4, to - from, s, t.source);
        }
        if (count == 0)
            continue;
        if (t.highQuality)
            detail::bilinearRotateRows(starts, count, t.span, t.source);
        else
            detail::nearestRotateRows(starts, count, t.span, t.source);
    }
}

} // namespace

void detail::setRotationFastPathAllowed(bool allowed) { g_fastPathAllowed = allowed; }

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
    if (!fitSourceAndDestination(SrcX, SrcY, srcWidth, srcHeight, destWidth, destHeight))
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
    // The whole working square must be a possible surface even when only a
    // strip of it is made.
    if (!limits::imageFits(d, d, 4))
        return false;

    // Rows counted from the bottom, as stored. b is the source rectangle's
    // bottom row.
    Turn turn;
    turn.source = source;
    turn.d = d;
    turn.highQuality = m_highQuality;
    const std::int32_t b = source.rows - srcHeight - SrcY;
    turn.cx = SrcX + srcWidth / 2;
    turn.cy = b + srcHeight / 2;
    turn.wx = (d - srcWidth) / 2 + srcWidth / 2;
    turn.wy = (d - srcHeight) / 2 + srcHeight / 2;
    turn.cosT = cosT;
    turn.sinT = sinT;
    turn.scaleX = scaleX;
    turn.scaleY = scaleY;
    // One step along a working row moves the source point by (dpx, dpy).
    turn.span = {0, 0, cosT / scaleX, sinT / scaleY, double(SrcX), double(SrcX) + srcWidth, double(b),
                 double(b) + srcHeight, SrcX + srcWidth - 1, b + srcHeight - 1};

    const std::int64_t squareX = std::int64_t(TopX) + destWidth / 2 - d / 2;
    const std::int64_t squareY = std::int64_t(TopY) + destHeight / 2 - d / 2;
    const bool halfTone = destHostDIB == nullptr;

    c32bppDIB working;
    working.setGdiToken(m_gdiToken);
    working.setGDIplusEnabled(isGDIplusEnabled());
    working.setHighQualityInterpolation(m_highQuality);

    // The fast path draws the square a strip of rows at a time, each strip
    // drawn with Render at its place; every pixel is blended on its own, so
    // this equals drawing the whole square. It is left to the whole square
    // where the drawing would go through GDI+, or where the square's far
    // corners lie beyond the coordinate range.
    const bool fast = g_fastPathAllowed && !working.isGDIplusEnabled() && squareX >= INT32_MIN &&
                      squareY >= INT32_MIN && squareX + d <= INT32_MAX && squareY + d <= INT32_MAX;
    if (!fast) {
        if (!working.InitializeDIB(d, d))
            return false;   // too large: reported, never a crash
        const PixelRows out{working.BitsPointer(), d, d};
        std::vector<Row> rows(static_cast<std::size_t>(std::min(d, kBand)));
        for (std::int32_t band = 0; band < d; band += kBand) {
            const std::int32_t bandEnd = std::min(d, band + kBand);
            std::int32_t bandFrom, bandTo;
            bandRows(turn, band, bandEnd, rows.data(), bandFrom, bandTo);
            drawBand(turn, band, bandEnd, bandFrom, bandTo, rows.data(), out, 0, false);
        }
        return working.Render(hdc, std::int32_t(squareX), std::int32_t(squareY), 0, 0, 0, 0, 0, 0, Opacity, true,
                              halfTone, destHostDIB, grayScale);
    }

    // Where pixels of alpha 0 leave the destination as it is (the alpha-blend
    // call passes over all-zero pixels, the own blend over alpha 0 with a
    // host surface), only the box each strip wrote is drawn. Without a host
    // the own blend copies the destination area out and back, so the whole
    // strip is drawn there, as the whole square would be.
    const bool boxesOnly = (working.isAlphaBlendFriendly() && grayScale == -1) || destHostDIB != nullptr;
    const std::int32_t stripRows = std::min(d, kBand);
    if (!working.InitializeDIB(d, stripRows))
        return false;
    working.LoadDIBinDC(true);   // one DC for all the strips
    const PixelRows strip{working.BitsPointer(), d, stripRows};
    std::vector<Row> rows(static_cast<std::size_t>(stripRows));
    bool drawn = false;
    // Strip rows count from the bottom; a strip of h rows uses the bottom h,
    // which Render counts from the top as rows stripRows - h onward.
    const auto drawStrip = [&](std::int32_t band, std::int32_t bandEnd, std::int32_t from, std::int32_t to) {
        const std::int32_t h = bandEnd - band;
        return working.Render(hdc, std::int32_t(squareX + from), std::int32_t(squareY + (d - bandEnd)), to - from, h,
                              from, stripRows - h, to - from, h, Opacity, true, halfTone, destHostDIB, grayScale);
    };
    for (std::int32_t band = 0; band < d; band += kBand) {
        const std::int32_t bandEnd = std::min(d, band + kBand);
        std::int32_t bandFrom, bandTo;
        bandRows(turn, band, bandEnd, rows.data(), bandFrom, bandTo);
        if (bandFrom < bandTo)
            drawBand(turn, band, bandEnd, bandFrom, bandTo, rows.data(), strip, band, true);
        if (!boxesOnly)
            drawn = drawStrip(band, bandEnd, 0, d) || drawn;
        else if (bandFrom < bandTo)
            drawn = drawStrip(band, bandEnd, bandFrom, bandTo) || drawn;
        // Clear what this strip may have written, for the next one.
        for (std::int32_t v = band; v < bandEnd; ++v) {
            const Row &r = rows[std::size_t(v - band)];
            if (r.from < r.to)
                std::memset(strip.pixel(r.from, v - band), 0, std::size_t(r.to - r.from) * 4);
        }
    }
    if (boxesOnly && !drawn) {
        // No box was drawn (none written, or all of them fell outside the
        // destination): the answer is the whole square's, found by drawing
        // the now clear strips, which changes nothing.
        for (std::int32_t band = 0; band < d; band += kBand)
            drawn = drawStrip(band, std::min(d, band + kBand), 0, d) || drawn;
    }
    return drawn;
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
