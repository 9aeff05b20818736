// Fonts and text: glyphs rasterised by QPainter into a coverage image, then
// composited into the DC's bitmap in the text colour.
#include "platform/gdi/gdi_p.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

namespace gdi {

using namespace detail;

namespace {

// Metrics are taken against a 96-dpi image, the same kind of device the text
// is drawn on, so that extents and drawing agree.
const QPaintDevice *metricsDevice()
{
    static const QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
    return &device;
}

QFont fontOfDC(const DC *d)
{
    const Font *f = get<Font>(d->font);
    return f ? f->font : QGuiApplication::font();
}

// Draws text (no prefix handling) with its cell's top-left corner at (x, y);
// underline >= 0 underlines that character.
void drawText(HDC dc, int x, int y, const QString &text, int underline, COLORREF colour)
{
    DC *d = get<DC>(dc);
    const PixelView v = target(dc);
    if (!d || !v.valid() || text.isEmpty())
        return;
    // Whole pixels only, like the platform's classic text: an edge pixel is
    // either the text colour or untouched, which keeps colour keys and
    // outlines exact.
    QFont font = fontOfDC(d);
    font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::NoAntialias));
    const QFontMetrics fm(font, metricsDevice());
    const int width = fm.horizontalAdvance(text);
    const int height = fm.height();
    // Glyphs may overhang their advance (italics, some Korean glyphs). Only
    // the part of the text box that lies on the bitmap is rasterised.
    const int margin = std::max(2, height / 2);
    const std::int64_t bx = std::int64_t(x) - margin, by = std::int64_t(y) - margin;
    const std::int64_t vx0 = std::max<std::int64_t>(bx, 0), vy0 = std::max<std::int64_t>(by, 0);
    const std::int64_t vx1 = std::min<std::int64_t>(bx + width + 2 * margin, v.width);
    const std::int64_t vy1 = std::min<std::int64_t>(by + height + 2 * margin, v.height);
    if (vx0 >= vx1 || vy0 >= vy1)
        return;
    const int iw = int(vx1 - vx0), ih = int(vy1 - vy0);
    QImage img(iw, ih, QImage::Format_ARGB32_Premultiplied);
    if (img.isNull())
        return;
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.translate(double(x - vx0), double(y - vy0));   // text cell origin in the image
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(0, fm.ascent(), text);
        if (underline >= 0 && underline < text.size()) {
            const int ux = fm.horizontalAdvance(text.left(underline));
            const int uw = fm.horizontalAdvance(text.mid(underline, 1));
            const int uy = fm.ascent() + std::max(1, fm.underlinePos());
            p.fillRect(QRect(ux, uy, uw, std::max(1, int(fm.lineWidth()))), Qt::white);
        }
    }
    const QRegion area = drawableArea(dc, v);
    const int cr = GetRValue(colour), cg = GetGValue(colour), cb = GetBValue(colour);
    for (int j = 0; j < ih; ++j) {
        const int dy = int(vy0) + j;
        const QRgb *line = reinterpret_cast<const QRgb *>(img.constScanLine(j));
        forSpans(area, dy, int(vx0), int(vx1), [&](int a, int b) {
            for (int dx = a; dx < b; ++dx) {
                const int cov = qAlpha(line[dx - vx0]);
                if (cov == 0)
                    continue;
                std::uint8_t *px = v.pixel(dx, dy);
                px[0] = std::uint8_t(px[0] + (cb - px[0]) * cov / 255);
                px[1] = std::uint8_t(px[1] + (cg - px[1]) * cov / 255);
                px[2] = std::uint8_t(px[2] + (cr - px[2]) * cov / 255);
                if (v.bpp == 32)
                    px[3] = 0;
            }
        });
    }
}

} // namespace

HFONT CreateFontIndirect(const LOGFONT &lf)
{
    QFont f = QGuiApplication::font();
    if (!lf.lfFaceName.isEmpty())
        f.setFamily(lf.lfFaceName);
    if (lf.lfHeight != 0)
        f.setPixelSize(std::max(1, std::abs(lf.lfHeight)));
    f.setWeight(QFont::Weight(std::clamp(lf.lfWeight == 0 ? 400 : lf.lfWeight, 1, 1000)));
    f.setItalic(lf.lfItalic);
    f.setUnderline(lf.lfUnderline);
    f.setStrikeOut(lf.lfStrikeOut);
    return insert(Font{f});
}

HFONT CreateFontFromQFont(const QFont &font) { return insert(Font{font}); }

QFont fontOf(HFONT font)
{
    const Font *f = get<Font>(font);
    return f ? f->font : QGuiApplication::font();
}

bool GetTextExtentPoint32(HDC dc, const QString &text, SIZE &out)
{
    out = SIZE{};
    DC *d = get<DC>(dc);
    if (!d)
        return false;
    const QFontMetrics fm(fontOfDC(d), metricsDevice());
    out.cx = fm.horizontalAdvance(text);
    out.cy = fm.height();
    return true;
}

SIZE GetTextExtentPoint32(HDC dc, const QString &text)
{
    SIZE s;
    GetTextExtentPoint32(dc, text, s);
    return s;
}

bool TextOut(HDC dc, int x, int y, const QString &text)
{
    DC *d = get<DC>(dc);
    if (!d)
        return false;
    if (d->bkMode == OPAQUE) {
        const SIZE s = GetTextExtentPoint32(dc, text);
        const PixelView v = target(dc);
        if (v.valid())
            fillRegion(v, drawableArea(dc, v),
                       QRegion(safeRect(x, y, std::int64_t(x) + s.cx, std::int64_t(y) + s.cy)), d->bkColour);
    }
    drawText(dc, x, y, text, -1, d->textColour);
    return true;
}

QString stripPrefix(const QString &text, int *underlineIndex)
{
    QString out;
    out.reserve(text.size());
    int underline = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != u'&' && underline < 0)
                underline = int(out.size());
        } else if (text[i] == u'&') {
            continue;   // a lone trailing mark shows nothing
        }
        out.append(text[i]);
    }
    if (underlineIndex)
        *underlineIndex = underline;
    return out;
}

bool DrawStateText(HDC dc, int x, int y, const QString &text, std::uint32_t flags)
{
    DC *d = get<DC>(dc);
    if (!d)
        return false;
    int underline = -1;
    const QString plain = stripPrefix(text, &underline);
    if (flags & DSS_DISABLED) {
        // The embossed look: a highlight one pixel down and right, then the
        // shadow colour on top.
        drawText(dc, x + 1, y + 1, plain, underline, GetSysColor(20));
        drawText(dc, x, y, plain, underline, GetSysColor(16));
    } else {
        drawText(dc, x, y, plain, underline, d->textColour);
    }
    return true;
}

} // namespace gdi
