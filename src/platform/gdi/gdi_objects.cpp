// The handle table, stock objects, drawing contexts, brushes, pens and colours.
#include "platform/gdi/gdi_p.h"

#include <QGuiApplication>
#include <QScreen>
#include <unordered_map>

namespace gdi {
namespace detail {

namespace {

// Stock objects sit at fixed ids below the first id handed out, so that a
// handle never names two objects: ids grow and are never reused.
constexpr HGDIOBJ kStockBase = 0x100;
constexpr HGDIOBJ kStockBitmap = kStockBase + 0xFF;
constexpr HGDIOBJ kFirstDynamic = 0x10000;
constexpr int kSysBrushBase = 0x20;
constexpr int kSysColours = 31;

struct Table {
    std::unordered_map<HGDIOBJ, Object> objects;
    HGDIOBJ next = kFirstDynamic;

    Table()
    {
        auto brush = [this](int id, COLORREF c, bool hollow = false) {
            objects.emplace(kStockBase + id, Brush{c, hollow});
        };
        brush(WHITE_BRUSH, RGB(255, 255, 255));
        brush(LTGRAY_BRUSH, RGB(192, 192, 192));
        brush(GRAY_BRUSH, RGB(128, 128, 128));
        brush(DKGRAY_BRUSH, RGB(64, 64, 64));
        brush(BLACK_BRUSH, 0);
        brush(NULL_BRUSH, 0, true);
        objects.emplace(kStockBase + WHITE_PEN, Pen{RGB(255, 255, 255), 1, false});
        objects.emplace(kStockBase + BLACK_PEN, Pen{0, 1, false});
        objects.emplace(kStockBase + NULL_PEN, Pen{0, 1, true});
        objects.emplace(kStockBase + SYSTEM_FONT, Font{QGuiApplication::font()});
        objects.emplace(kStockBase + DEFAULT_GUI_FONT, Font{QGuiApplication::font()});
        // One brush per system colour, kept for the life of the program.
        for (int i = 0; i < kSysColours; ++i)
            objects.emplace(kStockBase + kSysBrushBase + i, Brush{GetSysColor(i), false});
        // The 1x1 monochrome bitmap every new memory DC starts with.
        Bitmap b;
        b.bits.reset(new std::uint8_t[4]());
        b.width = b.height = 1;
        b.stride = 4;
        b.reportedBpp = 1;
        objects.emplace(kStockBitmap, std::move(b));
    }
};

Table &table()
{
    static Table t;
    return t;
}

} // namespace

Object *lookup(HGDIOBJ h)
{
    if (h == 0)
        return nullptr;
    auto &objects = table().objects;
    const auto it = objects.find(h);
    return it == objects.end() ? nullptr : &it->second;
}

HGDIOBJ insert(Object &&o)
{
    Table &t = table();
    if (t.next == 0)   // after four billion handles: start over above the stock ids
        t.next = kFirstDynamic;
    const HGDIOBJ h = t.next++;
    t.objects.emplace(h, std::move(o));
    return h;
}

bool isStock(HGDIOBJ h) { return h >= kStockBase && h <= kStockBitmap; }

PixelView target(HDC dc)
{
    DC *d = get<DC>(dc);
    if (!d || !d->memory)
        return {};
    Bitmap *b = get<Bitmap>(d->bitmap);
    return b ? b->view() : PixelView{};
}

QRegion drawableArea(HDC dc, const PixelView &v)
{
    if (!v.valid())
        return {};
    QRegion area(0, 0, v.width, v.height);
    if (DC *d = get<DC>(dc); d && d->clip)
        area &= *d->clip;
    return area;
}

// How many DCs hold the pen, brush or font.
static int selectedCount(HGDIOBJ h)
{
    int n = 0;
    for (auto &[id, o] : table().objects)
        if (DC *d = std::get_if<DC>(&o); d && (d->brush == h || d->pen == h || d->font == h))
            ++n;
    return n;
}

int countObjects()
{
    int n = 0;
    for (auto &[id, o] : table().objects)
        if (!isStock(id))
            ++n;
    return n;
}

void erase(HGDIOBJ h) { table().objects.erase(h); }

} // namespace detail

using namespace detail;

std::uint32_t GetObjectType(HGDIOBJ h)
{
    Object *o = lookup(h);
    if (!o)
        return 0;
    if (auto *d = std::get_if<DC>(o))
        return d->memory ? OBJ_MEMDC : OBJ_DC;
    if (std::holds_alternative<Bitmap>(*o))
        return OBJ_BITMAP;
    if (std::holds_alternative<Brush>(*o))
        return OBJ_BRUSH;
    if (std::holds_alternative<Pen>(*o))
        return OBJ_PEN;
    if (std::holds_alternative<Font>(*o))
        return OBJ_FONT;
    if (std::holds_alternative<Region>(*o))
        return OBJ_REGION;
    return 0;
}

HGDIOBJ GetStockObject(int which)
{
    const HGDIOBJ h = kStockBase + HGDIOBJ(which);
    return (which >= 0 && which < kSysBrushBase && lookup(h)) ? h : 0;
}

bool DeleteObject(HGDIOBJ h)
{
    Object *o = lookup(h);
    if (!o)
        return false;
    if (isStock(h))
        return true;
    if (std::holds_alternative<DC>(*o) || std::holds_alternative<Icon>(*o))
        return false;
    if (auto *b = std::get_if<Bitmap>(o); b && b->selectedIn)
        return false;
    // A pen, brush or font still selected somewhere stays alive.
    if (selectedCount(h) > 0)
        return false;
    erase(h);
    return true;
}

int liveObjectCount() { return countObjects(); }

// ---- drawing contexts ---------------------------------------------------

static HDC newDC(bool memory)
{
    DC d;
    d.memory = memory;
    d.bitmap = memory ? kStockBitmap : 0;
    d.brush = GetStockObject(WHITE_BRUSH);
    d.pen = GetStockObject(BLACK_PEN);
    d.font = GetStockObject(SYSTEM_FONT);
    return insert(std::move(d));
}

HDC GetDC(std::uintptr_t) { return newDC(false); }

int ReleaseDC(std::uintptr_t, HDC dc)
{
    DC *d = get<DC>(dc);
    if (!d || d->memory)
        return 0;
    erase(dc);
    return 1;
}

HDC CreateCompatibleDC(HDC dc)
{
    if (dc != 0 && !get<DC>(dc))
        return 0;
    return newDC(true);
}

bool DeleteDC(HDC dc)
{
    DC *d = get<DC>(dc);
    if (!d)
        return false;
    if (Bitmap *b = get<Bitmap>(d->bitmap); b && !isStock(d->bitmap))
        b->selectedIn = 0;
    erase(dc);
    return true;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj)
{
    DC *d = get<DC>(dc);
    Object *o = lookup(obj);
    if (!d || !o)
        return 0;
    if (auto *b = std::get_if<Bitmap>(o)) {
        if (!d->memory)
            return 0;
        if (!isStock(obj) && b->selectedIn && b->selectedIn != dc)
            return 0;
        const HGDIOBJ old = d->bitmap;
        if (old == obj)
            return old;
        if (Bitmap *ob = get<Bitmap>(old); ob && !isStock(old))
            ob->selectedIn = 0;
        if (!isStock(obj))
            b->selectedIn = dc;
        d->bitmap = obj;
        return old;
    }
    if (std::holds_alternative<Brush>(*o))
        return std::exchange(d->brush, obj);
    if (std::holds_alternative<Pen>(*o))
        return std::exchange(d->pen, obj);
    if (std::holds_alternative<Font>(*o))
        return std::exchange(d->font, obj);
    if (std::holds_alternative<Region>(*o))
        return HGDIOBJ(SelectClipRgn(dc, obj));
    return 0;
}

HGDIOBJ GetCurrentObject(HDC dc, std::uint32_t type)
{
    DC *d = get<DC>(dc);
    if (!d)
        return 0;
    switch (type) {
    case OBJ_BITMAP: return d->bitmap;
    case OBJ_BRUSH: return d->brush;
    case OBJ_PEN: return d->pen;
    case OBJ_FONT: return d->font;
    default: return 0;
    }
}

COLORREF SetTextColor(HDC dc, COLORREF c)
{
    DC *d = get<DC>(dc);
    return d ? std::exchange(d->textColour, c & 0xFFFFFF) : CLR_INVALID;
}
COLORREF GetTextColor(HDC dc)
{
    DC *d = get<DC>(dc);
    return d ? d->textColour : CLR_INVALID;
}
COLORREF SetBkColor(HDC dc, COLORREF c)
{
    DC *d = get<DC>(dc);
    return d ? std::exchange(d->bkColour, c & 0xFFFFFF) : CLR_INVALID;
}
COLORREF GetBkColor(HDC dc)
{
    DC *d = get<DC>(dc);
    return d ? d->bkColour : CLR_INVALID;
}
int SetBkMode(HDC dc, int mode)
{
    DC *d = get<DC>(dc);
    if (!d || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    return std::exchange(d->bkMode, mode);
}
int GetBkMode(HDC dc)
{
    DC *d = get<DC>(dc);
    return d ? d->bkMode : 0;
}
int SetStretchBltMode(HDC dc, int mode)
{
    DC *d = get<DC>(dc);
    if (!d || mode < BLACKONWHITE || mode > HALFTONE)
        return 0;
    return std::exchange(d->stretchMode, mode);
}
int GetStretchBltMode(HDC dc)
{
    DC *d = get<DC>(dc);
    return d ? d->stretchMode : 0;
}

static int regionType(const QRegion &r)
{
    if (r.isEmpty())
        return NULLREGION;
    return r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

int SelectClipRgn(HDC dc, HRGN rgn)
{
    DC *d = get<DC>(dc);
    if (!d)
        return ERROR;
    if (rgn == 0) {
        d->clip.reset();
        return SIMPLEREGION;
    }
    Region *r = get<Region>(rgn);
    if (!r)
        return ERROR;
    d->clip = r->region;   // a copy: the caller keeps its region
    return regionType(r->region);
}

int GetClipBox(HDC dc, RECT &out)
{
    out = RECT{};
    DC *d = get<DC>(dc);
    if (!d)
        return ERROR;
    QRegion area;
    if (d->memory) {
        const PixelView v = target(dc);
        area = QRegion(0, 0, v.width, v.height);
    } else {
        area = QRegion(0, 0, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES));
    }
    if (d->clip)
        area &= *d->clip;
    const QRect b = area.boundingRect();
    if (!area.isEmpty())
        out = RECT{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
    return regionType(area);
}

int GetDeviceCaps(HDC dc, int index)
{
    if (!get<DC>(dc))
        return 0;
    const QScreen *screen = QGuiApplication::primaryScreen();
    switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case BITSPIXEL: return 32;
    case HORZRES: return screen ? screen->geometry().width() : 1024;
    case VERTRES: return screen ? screen->geometry().height() : 768;
    default: return 0;
    }
}

// ---- brushes, pens, colours ----------------------------------------------

HBRUSH CreateSolidBrush(COLORREF c) { return insert(Brush{c & 0xFFFFFF, false}); }

HPEN CreatePen(int style, int width, COLORREF c)
{
    if (style != PS_SOLID && style != PS_NULL)
        style = PS_SOLID;   // dashed styles draw solid here
    return insert(Pen{c & 0xFFFFFF, width < 1 ? 1 : width, style == PS_NULL});
}

COLORREF GetSysColor(int index)
{
    // The default desktop colour scheme.
    static const COLORREF colours[31] = {
        RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219),
        RGB(240, 240, 240), RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),
        RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(180, 180, 180), RGB(244, 247, 252),
        RGB(171, 171, 171), RGB(51, 153, 255),  RGB(255, 255, 255), RGB(240, 240, 240),
        RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(67, 78, 84),
        RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),
        RGB(255, 255, 225), RGB(0, 0, 0),       RGB(0, 102, 204),   RGB(185, 209, 234),
        RGB(215, 228, 242), RGB(51, 153, 255),  RGB(240, 240, 240),
    };
    return (index >= 0 && index < 31) ? colours[index] : 0;
}

HBRUSH GetSysColorBrush(int index)
{
    if (index < 0 || index >= kSysColours)
        return 0;
    return kStockBase + kSysBrushBase + HGDIOBJ(index);
}

COLORREF TranslateColor(std::uint32_t colour)
{
    if (colour & 0x80000000u)
        return GetSysColor(int(colour & 0xFF));
    return colour & 0xFFFFFF;
}

} // namespace gdi
