#pragma once
// Private part of the drawing layer: the object table and pixel access.
#include "platform/gdi/gdi.h"

#include <QFont>
#include <QList>
#include <QRect>
#include <QRegion>
#include <algorithm>
#include <memory>
#include <optional>
#include <variant>

namespace gdi::detail {

// Rows of a bitmap seen from the top: row(0) is the top row whatever the
// memory order.
struct PixelView {
    std::uint8_t *bits = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    int bpp = 32;            // 24 or 32
    bool topDown = false;

    bool valid() const { return bits && width > 0 && height > 0; }
    std::uint8_t *row(int y) const
    {
        const int mem = topDown ? y : height - 1 - y;
        return bits + std::ptrdiff_t(mem) * stride;
    }
    std::uint8_t *pixel(int x, int y) const { return row(y) + std::ptrdiff_t(x) * (bpp / 8); }
};

struct Bitmap {
    std::unique_ptr<std::uint8_t[]> bits;
    int width = 0;
    int height = 0;
    int stride = 0;
    int bpp = 32;                 // memory depth: 24 or 32
    int reportedBpp = 32;         // what GetObject says (1 for monochrome)
    bool topDown = false;
    bool dibSection = false;
    HDC selectedIn = 0;
    PixelView view() const { return {bits.get(), width, height, stride, bpp, topDown}; }
};

struct Brush {
    COLORREF colour = 0;
    bool hollow = false;
};

struct Pen {
    COLORREF colour = 0;
    int width = 1;
    bool null = false;
};

struct Font {
    QFont font;
};

struct Region {
    QRegion region;
};

struct DC {
    bool memory = true;          // false: the screen context
    HBITMAP bitmap = 0;          // the stock 1x1 bitmap when nothing else
    HBRUSH brush = 0;
    HPEN pen = 0;
    HFONT font = 0;
    COLORREF textColour = 0;
    COLORREF bkColour = 0xFFFFFF;
    int bkMode = OPAQUE;
    int stretchMode = BLACKONWHITE;
    POINT position;
    std::optional<QRegion> clip;
};

struct Icon {
    bool isIcon = true;
    std::uint32_t xHotspot = 0, yHotspot = 0;
    HBITMAP mask = 0;     // owned copies
    HBITMAP colour = 0;
};

using Object = std::variant<Bitmap, Brush, Pen, Font, Region, DC, Icon>;

Object *lookup(HGDIOBJ h);
template <class T> T *get(HGDIOBJ h)
{
    Object *o = lookup(h);
    return o ? std::get_if<T>(o) : nullptr;
}
HGDIOBJ insert(Object &&o);
void erase(HGDIOBJ h);
bool isStock(HGDIOBJ h);

// The pixels a DC draws on (invalid view for the screen or a bad handle).
PixelView target(HDC dc);
// Clip rectangle list of a DC restricted to its bitmap (empty: nothing drawable).
QRegion drawableArea(HDC dc, const PixelView &v);

// Writes a COLORREF into a pixel with alpha 0 (classic drawing).
inline void putColour(const PixelView &v, int x, int y, COLORREF c)
{
    std::uint8_t *p = v.pixel(x, y);
    p[0] = std::uint8_t(GetBValue(c));
    p[1] = std::uint8_t(GetGValue(c));
    p[2] = std::uint8_t(GetRValue(c));
    if (v.bpp == 32)
        p[3] = 0;
}
// Fills the span [x0, x1) of row y inside the drawable area.
void fillSpan(const PixelView &v, const QRegion &area, int y, int x0, int x1, COLORREF c);
void fillRegion(const PixelView &v, const QRegion &area, const QRegion &shape, COLORREF c);
// Calls f(a, b) for each part [a, b) of row y's span [x0, x1) inside area.
template <class F> void forSpans(const QRegion &area, int y, int x0, int x1, F &&f)
{
    for (const QRect &r : area) {
        if (y < r.top() || y > r.bottom())
            continue;
        const int a = std::max(x0, r.left());
        const int b = std::min(x1, r.right() + 1);
        if (a < b)
            f(a, b);
    }
}

// A shape as one span [x0, x1) per row, rows from top on.
struct Spans {
    int top = 0;
    std::vector<std::pair<int, int>> rows;
    // The shape goes on above the first / below the last row kept.
    bool openTop = false;
    bool openBottom = false;
};
// A filled rounded rectangle (an ellipse when the corner ellipse is the whole
// box) covering [left, right) x [top, bottom); only the rows in
// [rowFrom, rowTo) are kept, so a huge shape costs no more than its visible part.
Spans roundRectSpans(int left, int top, int right, int bottom, int ew, int eh, int rowFrom, int rowTo);
// Regions keep at most this many rows above and below the origin.
constexpr int kRegionRowLimit = 1 << 16;
QRegion spansToRegion(const Spans &s);
// The boundary pixels: those with a 4-neighbour outside the shape.
QRegion spansOutline(const Spans &s);

// The rectangle [left, right) x [top, bottom) as a QRect, cut to a range
// whose sizes fit an int (empty when it has no area).
QRect safeRect(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom);

// Bytes per row of a DIB: 4-byte aligned.
std::int64_t dibStride(std::int64_t width, int bitCount);

} // namespace gdi::detail
