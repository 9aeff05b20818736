// Regions: pixel sets kept as QRegion behind region handles.
#include "platform/gdi/gdi_p.h"

namespace gdi {

using namespace detail;

namespace {

int typeOf(const QRegion &r)
{
    if (r.isEmpty())
        return NULLREGION;
    return r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

QRegion rectRegion(int l, int t, int r, int b)
{
    if (l > r)
        std::swap(l, r);
    if (t > b)
        std::swap(t, b);
    return QRegion(safeRect(l, t, r, b));
}

} // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    return insert(Region{rectRegion(left, top, right, bottom)});
}

HRGN CreateRectRgnIndirect(const RECT &r) { return CreateRectRgn(r.left, r.top, r.right, r.bottom); }

HRGN CreateEllipticRgn(int left, int top, int right, int bottom)
{
    const int l = std::min(left, right), r = std::max(left, right);
    const int t = std::min(top, bottom), b = std::max(top, bottom);
    const int w = int(std::min<std::int64_t>(std::int64_t(r) - l, INT32_MAX));
    const int h = int(std::min<std::int64_t>(std::int64_t(b) - t, INT32_MAX));
    return insert(Region{spansToRegion(roundRectSpans(l, t, r, b, w, h, -kRegionRowLimit, kRegionRowLimit))});
}

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ew, int eh)
{
    const int l = std::min(left, right), r = std::max(left, right);
    const int t = std::min(top, bottom), b = std::max(top, bottom);
    return insert(Region{spansToRegion(roundRectSpans(l, t, r, b, ew, eh, -kRegionRowLimit, kRegionRowLimit))});
}

namespace {
std::size_t g_regionListLimit = 0;
} // namespace

void setExtCreateRegionLimit(std::size_t maxRects) { g_regionListLimit = maxRects; }

HRGN ExtCreateRegion(std::span<const RECT> rects)
{
    if (g_regionListLimit && rects.size() > g_regionListLimit)
        return 0;
    // Pairwise unions (a balanced tree) keep large lists, such as one
    // rectangle per visible pixel run, near n log n.
    std::vector<QRegion> parts;
    parts.reserve(rects.size());
    for (const RECT &r : rects) {
        const QRect q = safeRect(r.left, r.top, r.right, r.bottom);
        if (!q.isEmpty())
            parts.emplace_back(q);
    }
    while (parts.size() > 1) {
        std::vector<QRegion> next;
        next.reserve((parts.size() + 1) / 2);
        for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
            next.push_back(parts[i].united(parts[i + 1]));
        if (parts.size() % 2)
            next.push_back(parts.back());
        parts.swap(next);
    }
    return insert(Region{parts.empty() ? QRegion() : parts.front()});
}

HRGN CreateRegionFromQRegion(const QRegion &r) { return insert(Region{r}); }

int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode)
{
    Region *d = get<Region>(dst);
    Region *ra = get<Region>(a);
    if (!d || !ra)
        return ERROR;
    if (mode == RGN_COPY) {
        d->region = ra->region;
        return typeOf(d->region);
    }
    Region *rb = get<Region>(b);
    if (!rb)
        return ERROR;
    const QRegion x = ra->region, y = rb->region;
    switch (mode) {
    case RGN_AND: d->region = x & y; break;
    case RGN_OR: d->region = x | y; break;
    case RGN_XOR: d->region = x ^ y; break;
    case RGN_DIFF: d->region = x - y; break;
    default: return ERROR;
    }
    return typeOf(d->region);
}

int OffsetRgn(HRGN rgn, int dx, int dy)
{
    Region *r = get<Region>(rgn);
    if (!r)
        return ERROR;
    r->region.translate(dx, dy);
    return typeOf(r->region);
}

int GetRgnBox(HRGN rgn, RECT &out)
{
    out = RECT{};
    Region *r = get<Region>(rgn);
    if (!r)
        return ERROR;
    if (!r->region.isEmpty()) {
        const QRect b = r->region.boundingRect();
        out = RECT{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
    }
    return typeOf(r->region);
}

bool PtInRegion(HRGN rgn, int x, int y)
{
    Region *r = get<Region>(rgn);
    return r && r->region.contains(QPoint(x, y));
}

bool PtInRect(const RECT &r, int x, int y)
{
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

bool EqualRgn(HRGN a, HRGN b)
{
    Region *ra = get<Region>(a);
    Region *rb = get<Region>(b);
    return ra && rb && ra->region == rb->region;
}

bool FillRgn(HDC dc, HRGN rgn, HBRUSH brush)
{
    Region *r = get<Region>(rgn);
    Brush *b = get<Brush>(brush);
    if (!get<DC>(dc) || !r || !b)
        return false;
    const PixelView v = target(dc);
    if (!b->hollow && v.valid())
        fillRegion(v, drawableArea(dc, v), r->region, b->colour);
    return true;
}

bool FrameRgn(HDC dc, HRGN rgn, HBRUSH brush, int w, int h)
{
    Region *r = get<Region>(rgn);
    Brush *b = get<Brush>(brush);
    if (!get<DC>(dc) || !r || !b || w < 1 || h < 1)
        return false;
    const PixelView v = target(dc);
    if (b->hollow || !v.valid())
        return true;
    // The frame is what the region loses when it is shrunk by (w, h) from
    // every side.
    QRegion inner = r->region;
    inner &= r->region.translated(w, 0);
    inner &= r->region.translated(-w, 0);
    inner &= r->region.translated(0, h);
    inner &= r->region.translated(0, -h);
    fillRegion(v, drawableArea(dc, v), r->region - inner, b->colour);
    return true;
}

QRegion regionToQRegion(HRGN rgn)
{
    Region *r = get<Region>(rgn);
    return r ? r->region : QRegion();
}

} // namespace gdi
