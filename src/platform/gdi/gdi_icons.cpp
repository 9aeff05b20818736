// Icons: a mask bitmap and an optional colour bitmap behind an icon handle.
#include "platform/gdi/gdi_p.h"

#include <cstring>

namespace gdi {

using namespace detail;

namespace {

// A device-dependent copy of a bitmap (32-bit pixels, same reported depth).
HBITMAP copyBitmap(HBITMAP h)
{
    Bitmap *b = get<Bitmap>(h);
    if (!b)
        return 0;
    const HBITMAP c = CreateCompatibleBitmap(0, b->width, b->height);
    Bitmap *nb = get<Bitmap>(c);
    if (!nb)
        return 0;
    b = get<Bitmap>(h);   // the table may have moved nothing, but stay safe
    nb->reportedBpp = b->reportedBpp;
    const PixelView s = b->view(), d = nb->view();
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            const std::uint8_t *p = s.pixel(x, y);
            std::uint8_t *q = d.pixel(x, y);
            q[0] = p[0];
            q[1] = p[1];
            q[2] = p[2];
            q[3] = s.bpp == 32 ? p[3] : 0;
        }
    }
    return c;
}

struct IconPixels {
    PixelView mask, colour;   // colour invalid for a monochrome icon
    int width = 0, height = 0;
    bool alpha = false;       // the colour bitmap carries an alpha channel
};

bool iconPixels(HICON h, IconPixels &out)
{
    const Icon *icon = get<Icon>(h);
    if (!icon)
        return false;
    const Bitmap *m = get<Bitmap>(icon->mask);
    if (!m)
        return false;
    out.mask = m->view();
    out.width = m->width;
    out.height = m->height;
    if (const Bitmap *c = get<Bitmap>(icon->colour)) {
        out.colour = c->view();
        out.height = std::min(m->height, c->height);
        out.width = std::min(m->width, c->width);
        if (out.colour.bpp == 32 && c->reportedBpp == 32)
            for (int y = 0; y < out.height && !out.alpha; ++y)
                for (int x = 0; x < out.width; ++x)
                    if (out.colour.pixel(x, y)[3] != 0) {
                        out.alpha = true;
                        break;
                    }
    } else {
        out.height = m->height / 2;   // AND mask above the XOR mask
    }
    return out.width > 0 && out.height > 0;
}

// Straight colour, alpha (255 or 0 for masked icons) and mask bit of icon
// pixel (x, y); xorOut receives the exclusive-or colour of masked icons.
struct IconPixel {
    std::uint8_t b = 0, g = 0, r = 0, a = 0;
    bool maskSet = true;
};

IconPixel iconPixel(const IconPixels &ip, int x, int y)
{
    IconPixel px;
    px.maskSet = ip.mask.pixel(x, y)[0] != 0;
    const std::uint8_t *c = ip.colour.valid() ? ip.colour.pixel(x, y) : ip.mask.pixel(x, y + ip.height);
    px.b = c[0];
    px.g = c[1];
    px.r = c[2];
    px.a = ip.alpha ? c[3] : (px.maskSet ? 0 : 255);
    return px;
}

template <class F> bool forIconPixels(HDC dc, HICON icon, int x, int y, int w, int h, F &&f)
{
    IconPixels ip;
    if (!get<DC>(dc) || !iconPixels(icon, ip))
        return false;
    const PixelView v = target(dc);
    if (!v.valid())
        return true;
    if (w <= 0)
        w = ip.width;
    if (h <= 0)
        h = ip.height;
    const QRegion area = drawableArea(dc, v);
    for (int j = 0; j < h; ++j) {
        const int dy = y + j;
        if (dy < 0 || dy >= v.height)
            continue;
        const int sy = int(std::int64_t(j) * ip.height / h);
        forSpans(area, dy, x, x + w, [&](int a, int b) {
            for (int dx = a; dx < b; ++dx) {
                const int sx = int(std::int64_t(dx - x) * ip.width / w);
                f(v.pixel(dx, dy), v.bpp, iconPixel(ip, sx, sy));
            }
        });
    }
    return true;
}

bool isOpaque(const IconPixel &p, bool alphaIcon) { return alphaIcon ? p.a > 0 : !p.maskSet; }

} // namespace

HICON CreateIconIndirect(const ICONINFO &info)
{
    if (!get<Bitmap>(info.hbmMask) || (info.hbmColor && !get<Bitmap>(info.hbmColor)))
        return 0;
    Icon icon;
    icon.isIcon = info.fIcon;
    icon.xHotspot = info.xHotspot;
    icon.yHotspot = info.yHotspot;
    icon.mask = copyBitmap(info.hbmMask);
    icon.colour = info.hbmColor ? copyBitmap(info.hbmColor) : 0;
    if (!icon.mask || (info.hbmColor && !icon.colour)) {
        DeleteObject(icon.mask);
        DeleteObject(icon.colour);
        return 0;
    }
    return insert(std::move(icon));
}

bool GetIconInfo(HICON h, ICONINFO &info)
{
    info = ICONINFO{};
    const Icon *icon = get<Icon>(h);
    if (!icon)
        return false;
    const Icon copy = Icon{icon->isIcon, icon->xHotspot, icon->yHotspot, icon->mask, icon->colour};
    info.fIcon = copy.isIcon;
    info.xHotspot = copy.xHotspot;
    info.yHotspot = copy.yHotspot;
    info.hbmMask = copyBitmap(copy.mask);
    info.hbmColor = copy.colour ? copyBitmap(copy.colour) : 0;
    return info.hbmMask != 0;
}

bool DestroyIcon(HICON h)
{
    const Icon *icon = get<Icon>(h);
    if (!icon)
        return false;
    const HBITMAP mask = icon->mask, colour = icon->colour;
    DeleteObject(mask);
    if (colour)
        DeleteObject(colour);
    erase(h);
    return true;
}

bool isIcon(HICON h) { return get<Icon>(h) != nullptr; }

bool DrawIconEx(HDC dc, int x, int y, HICON icon, int w, int h, std::uint32_t flags)
{
    IconPixels ip;
    if (!iconPixels(icon, ip))
        return false;
    const bool alpha = ip.alpha;
    return forIconPixels(dc, icon, x, y, w, h, [&](std::uint8_t *d, int bpp, const IconPixel &p) {
        const int n = bpp == 32 ? 4 : 3;
        if (alpha && (flags & DI_IMAGE) && (flags & DI_MASK)) {
            // Straight alpha over the destination.
            const std::uint8_t s[3] = {p.b, p.g, p.r};
            for (int c = 0; c < 3; ++c)
                d[c] = std::uint8_t((s[c] * p.a + d[c] * (255 - p.a) + 127) / 255);
            if (n == 4)
                d[3] = std::uint8_t(p.a + (d[3] * (255 - p.a) + 127) / 255);
            return;
        }
        if (flags & DI_MASK) {
            if (!p.maskSet)
                for (int c = 0; c < n; ++c)
                    d[c] = 0;
        }
        if (flags & DI_IMAGE) {
            const std::uint8_t s[4] = {p.b, p.g, p.r, 0};
            for (int c = 0; c < 3; ++c)
                d[c] = (flags & DI_MASK) ? std::uint8_t(d[c] ^ s[c]) : s[c];
            if (n == 4 && !(flags & DI_MASK))
                d[3] = 0;
        }
    });
}

bool DrawStateImage(HDC dc, HBRUSH brush, HGDIOBJ image, int x, int y, int w, int h, std::uint32_t flags)
{
    if (!get<DC>(dc))
        return false;
    if (isIcon(image)) {
        if (!(flags & (DSS_MONO | DSS_DISABLED)))
            return DrawIconEx(dc, x, y, image, w, h, DI_NORMAL);
        IconPixels ip;
        if (!iconPixels(image, ip))
            return false;
        auto silhouette = [&](int ox, int oy, COLORREF c) {
            return forIconPixels(dc, image, ox, oy, w, h, [&](std::uint8_t *d, int bpp, const IconPixel &p) {
                if (!isOpaque(p, ip.alpha))
                    return;
                d[0] = std::uint8_t(GetBValue(c));
                d[1] = std::uint8_t(GetGValue(c));
                d[2] = std::uint8_t(GetRValue(c));
                if (bpp == 32)
                    d[3] = 0;
            });
        };
        if (flags & DSS_MONO) {
            const Brush *b = get<Brush>(brush);
            return silhouette(x, y, b ? b->colour : 0);
        }
        silhouette(x + 1, y + 1, GetSysColor(20));
        return silhouette(x, y, GetSysColor(16));
    }
    Bitmap *bmp = get<Bitmap>(image);
    if (!bmp)
        return false;
    // A bitmap: every pixel counts as opaque.
    if (w <= 0)
        w = bmp->width;
    if (h <= 0)
        h = bmp->height;
    if (!(flags & (DSS_MONO | DSS_DISABLED))) {
        const HDC src = CreateCompatibleDC(0);
        const HGDIOBJ old = SelectObject(src, image);
        bool ok = false;
        if (old)
            ok = StretchBlt(dc, x, y, w, h, src, 0, 0, bmp->width, bmp->height, SRCCOPY);
        SelectObject(src, old);
        DeleteDC(src);
        return ok;
    }
    const HBRUSH fill = (flags & DSS_MONO) ? brush : GetSysColorBrush(16);
    if (flags & DSS_DISABLED)
        FillRect(dc, RECT{x + 1, y + 1, x + 1 + w, y + 1 + h}, GetSysColorBrush(20));
    return FillRect(dc, RECT{x, y, x + w, y + h}, fill);
}

} // namespace gdi
