#include "controls/progressbar.h"

#include "controls/accessibility.h"
#include "controls/input.h"

#include "controls/fonts.h"

#include <QApplication>
#include <QPainter>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace controls {

namespace {

const ColourRef kEffectGrey = rgbRef(128, 128, 128);

// Even entries 0, 2, ... 16 of the built-in themes; odd entries repeat the
// even entry before them.
constexpr int kThemes[9][9][3] = {
    {{248, 246, 242}, {233, 227, 211}, {226, 215, 182}, {239, 233, 215}, {251, 244, 223}, {239, 213, 133}, {203, 166, 57}, {237, 224, 187}, {204, 168, 62}},
    {{247, 248, 242}, {231, 233, 211}, {222, 226, 182}, {237, 239, 215}, {249, 251, 223}, {230, 239, 133}, {190, 203, 57}, {233, 237, 187}, {192, 204, 62}},
    {{242, 248, 243}, {211, 233, 213}, {182, 226, 186}, {215, 239, 217}, {223, 251, 225}, {133, 239, 142}, {57, 203, 70}, {187, 237, 191}, {62, 204, 74}},
    {{242, 248, 247}, {211, 233, 231}, {182, 226, 222}, {215, 239, 237}, {223, 251, 249}, {133, 239, 230}, {57, 203, 190}, {187, 237, 233}, {62, 204, 192}},
    {{243, 242, 248}, {213, 211, 233}, {186, 182, 226}, {217, 215, 239}, {225, 223, 251}, {142, 133, 239}, {70, 57, 203}, {191, 187, 237}, {74, 62, 204}},
    {{248, 242, 247}, {233, 211, 231}, {226, 182, 222}, {239, 215, 237}, {251, 223, 249}, {239, 133, 230}, {203, 57, 190}, {237, 187, 233}, {204, 62, 192}},
    {{248, 242, 242}, {233, 211, 211}, {226, 182, 182}, {239, 215, 215}, {251, 223, 223}, {239, 133, 133}, {203, 57, 57}, {237, 187, 187}, {204, 62, 62}},
    {{250, 253, 254}, {228, 243, 252}, {199, 230, 249}, {237, 247, 253}, {225, 247, 255}, {67, 208, 255}, {63, 112, 233}, {63, 226, 246}, {23, 139, 211}},
    {{231, 243, 232}, {225, 219, 225}, {179, 189, 179}, {226, 238, 226}, {223, 251, 223}, {108, 255, 108}, {26, 228, 26}, {217, 244, 217}, {188, 184, 188}},
};


} // namespace

// ---- construction and storage ------------------------------------------

ProgressBar::ProgressBar(QWidget *parent, const QString &name) : QWidget(parent)
{
    init(name);
    // A new control: the members start at the new-control values.
    m_textFont = ambientFont();
    setFont(m_textFont);
    PaintBar();
}

ProgressBar::ProgressBar(const QString &name, const PropertyBag &stored, QWidget *parent) : QWidget(parent)
{
    init(name);
    m_textFont = ambientFont();
    setFont(m_textFont);
    // A loaded control has never drawn a theme: its palette stays black until
    // a valid Theme is read. The keys repaint once, at the end.
    m_theme = 0;
    m_loading = true;
    readProperties(stored);
    m_loading = false;
    PaintBar();
}

ProgressBar::~ProgressBar() = default;

void ProgressBar::init(const QString &name)
{
    installAccessibility();
    installFontSubstitutions();
    setObjectName(name);
    m_face = new gdi::WindowDC(this, false); // painted from m_image below
}

QFont ProgressBar::ambientFont() const
{
    return parentWidget() ? parentWidget()->font() : QApplication::font();
}

void ProgressBar::readProperties(const PropertyBag &bag)
{
    using D = Defaults;
    // Max before Min and Value, so that the clamping keeps the stored values.
    if (auto v = bag.readInt(u"Max", D::max))
        setMax(*v);
    if (auto v = bag.readInt(u"Min", D::min))
        setMin(*v);
    if (auto v = bag.readInt(u"Value", D::value))
        setValue(*v);
    if (auto v = bag.readInt(u"RoundedValue", D::roundedValue))
        setRoundedValue(*v);
    if (auto v = bag.readFlag(u"Enabled", D::enabled))
        setEnabled(*v);
    if (auto v = bag.readInt(u"Theme", D::theme))
        setTheme(*v);
    if (auto v = bag.readInt(u"TextStyle", D::textStyle))
        setTextStyle(*v);
    if (auto v = bag.readInt(u"Orientations", D::orientation))
        setOrientations(*v);
    if (auto v = bag.readText(u"Text", objectName()))
        setText(*v);
    if (auto v = bag.readColour(u"TextEffectColor", D::effectColour))
        setTextEffectColor(*v);
    if (auto v = bag.readInt(u"TextEffect", D::textEffect))
        setTextEffect(*v);
    if (auto v = bag.readInt(u"TextAlignment", D::textAlignment))
        setTextAlignment(*v);
    if (auto v = bag.readFont(u"TextFont", ambientFont()))
        setTextFont(*v);
    if (auto v = bag.readColour(u"TextForeColor", D::foreColour))
        setTextForeColor(*v);
    if (auto v = bag.readColour(u"PBSCustomeColor2", D::custom))
        setPBSCustomeColor2(*v);
    if (auto v = bag.readColour(u"PBSCustomeColor1", D::custom))
        setPBSCustomeColor1(*v);
}

void ProgressBar::writeProperties(PropertyBag &bag) const
{
    using D = Defaults;
    bag.writeInt(QStringLiteral("Orientations"), m_orientation, D::orientation);
    bag.writeInt(QStringLiteral("Max"), m_max, D::max);
    bag.writeInt(QStringLiteral("Min"), m_min, D::min);
    bag.writeInt(QStringLiteral("Value"), m_value, D::value);
    bag.writeInt(QStringLiteral("RoundedValue"), m_rounded, D::roundedValue);
    bag.writeFlag(QStringLiteral("Enabled"), enabledProperty(), D::enabled);
    bag.writeInt(QStringLiteral("Theme"), m_theme, D::theme);
    bag.writeInt(QStringLiteral("TextStyle"), m_textStyle, D::textStyle);
    bag.writeFont(QStringLiteral("TextFont"), m_textFont, ambientFont());
    bag.writeColour(QStringLiteral("TextForeColor"), m_foreColour, D::foreColour);
    bag.writeInt(QStringLiteral("TextAlignment"), m_textAlignment, D::textAlignment);
    // The save default is the empty text while the load default is the
    // instance name: an empty text comes back as the instance name.
    bag.writeText(QStringLiteral("Text"), m_text, QString());
    bag.writeColour(QStringLiteral("TextEffectColor"), m_effectColour, D::effectColour);
    bag.writeInt(QStringLiteral("TextEffect"), m_textEffect, D::textEffect);
    bag.writeColour(QStringLiteral("PBSCustomeColor2"), m_custom2, D::custom);
    bag.writeColour(QStringLiteral("PBSCustomeColor1"), m_custom1, D::custom);
}

// ---- setters -----------------------------------------------------------

void ProgressBar::changed(const char *key)
{
    emit propertyChanged(QString::fromLatin1(key));
    PaintBar();
}

void ProgressBar::setValue(int v)
{
    if (v > m_max)
        v = m_max;
    if (v < m_min)
        v = m_min;
    if (v == m_value)
        return;
    m_value = v;
    emit propertyChanged(QStringLiteral("Value"));
    // A download moves the value every 2 KB. The face is painted when it is next
    // shown or looked at, once for any number of values set in between.
    if (!m_facePending && !m_loading) {
        m_facePending = true;
        update();
    }
}

const ProgressBar &ProgressBar::flushFace() const
{
    if (m_facePending)
        const_cast<ProgressBar *>(this)->PaintBar();
    return *this;
}

void ProgressBar::setMax(int v)
{
    if (v < 1)
        v = 1;
    if (m_min >= v)
        v = m_min + 1; // m_min < the old Max, so this cannot overflow
    if (v == m_max)
        return;
    m_max = v;
    if (m_value > m_max)
        setValue(m_max);
    changed("Max");
}

void ProgressBar::setMin(int v)
{
    if (v >= m_max)
        v = m_max - 1;
    if (v < 0)
        v = 0;
    if (v == m_min)
        return;
    m_min = v;
    if (m_value < m_min)
        setValue(m_min);
    changed("Min");
}

#define SIMPLE_SETTER(Name, member, Type, key) \
    void ProgressBar::Name(Type v)             \
    {                                          \
        if (v == member)                       \
            return;                            \
        member = v;                            \
        changed(key);                          \
    }

SIMPLE_SETTER(setRoundedValue, m_rounded, int, "RoundedValue")
SIMPLE_SETTER(setTheme, m_theme, int, "Theme")
SIMPLE_SETTER(setTextStyle, m_textStyle, int, "TextStyle")
SIMPLE_SETTER(setOrientations, m_orientation, int, "Orientations")
SIMPLE_SETTER(setTextAlignment, m_textAlignment, int, "TextAlignment")
SIMPLE_SETTER(setText, m_text, const QString &, "Text")
SIMPLE_SETTER(setTextEffectColor, m_effectColour, ColourRef, "TextEffectColor")
SIMPLE_SETTER(setTextEffect, m_textEffect, int, "TextEffect")
SIMPLE_SETTER(setTextForeColor, m_foreColour, ColourRef, "TextForeColor")
SIMPLE_SETTER(setPBSCustomeColor1, m_custom1, ColourRef, "PBSCustomeColor1")
SIMPLE_SETTER(setPBSCustomeColor2, m_custom2, ColourRef, "PBSCustomeColor2")
#undef SIMPLE_SETTER

void ProgressBar::setTextFont(const QFont &f)
{
    if (f == m_textFont)
        return;
    m_textFont = f;
    setFont(f); // also the control's drawing font
    changed("TextFont");
}

// ---- colour rules --------------------------------------------------------

ColourRef ProgressBar::ShiftColour(ColourRef c, int amount)
{
    const ColourRef t = translateColour(c);
    // The absolute value of the sum, capped at 255 (only a negative amount
    // makes the absolute value matter).
    auto shift = [amount](int component) { return std::min(255, std::abs(component + amount)); };
    return rgbRef(shift(redOf(t)), shift(greenOf(t)), shift(blueOf(t)));
}

ColourRef ProgressBar::GreyOf(ColourRef c)
{
    const ColourRef t = translateColour(c);
    const int g = roundEven((redOf(t) + greenOf(t) + blueOf(t)) / 3.0);
    return rgbRef(g, g, g);
}

bool ProgressBar::themePalette(int theme, ColourRef custom1, ColourRef custom2, Palette &out)
{
    ColourRef even[9];
    if (theme >= 1 && theme <= 9) {
        for (int i = 0; i < 9; ++i) {
            const int *c = kThemes[theme - 1][i];
            even[i] = rgbRef(c[0], c[1], c[2]);
        }
    } else if (theme == 10) {
        const ColourRef c1 = custom1;
        const ColourRef c2 = custom2;
        const ColourRef values[9] = {ShiftColour(c2, 180), ShiftColour(c2, 50), translateColour(c2), ShiftColour(c2, 80),
                                     ShiftColour(c1, 180), ShiftColour(c1, 50), translateColour(c1), ShiftColour(c1, 80),
                                     translateColour(c1)};
        std::copy(std::begin(values), std::end(values), even);
    } else {
        return false;
    }
    for (int i = 0; i < 17; ++i)
        out[std::size_t(i)] = even[i / 2];
    return true;
}

void ProgressBar::SetThemePalette()
{
    // Any other theme leaves the palette of the last valid theme drawn.
    Palette p;
    if (themePalette(m_theme, m_custom1, m_custom2, p))
        m_palette = p;
}

// ---- painting operations -----------------------------------------------

void ProgressBar::GradientTwoColour(gdi::HDC objectHDC, int direction, ColourRef startColor, ColourRef endColor,
                                    int left, int top, int width, int height)
{
    const ColourRef s = translateColour(startColor);
    const ColourRef e = translateColour(endColor);
    // 16-bit channels: the colour byte times 256; alpha 0.
    gdi::TRIVERTEX v[2];
    v[0].x = left;
    v[0].y = top;
    v[0].Red = std::uint16_t(redOf(s) * 256);
    v[0].Green = std::uint16_t(greenOf(s) * 256);
    v[0].Blue = std::uint16_t(blueOf(s) * 256);
    v[1].x = width; // right and bottom coordinates, not a size
    v[1].y = height;
    v[1].Red = std::uint16_t(redOf(e) * 256);
    v[1].Green = std::uint16_t(greenOf(e) * 256);
    v[1].Blue = std::uint16_t(blueOf(e) * 256);
    const gdi::GRADIENT_RECT r{0, 1};
    gdi::GradientFill(objectHDC, v, std::span(&r, 1),
                      direction == 0 ? gdi::GRADIENT_FILL_RECT_H : gdi::GRADIENT_FILL_RECT_V);
}

void ProgressBar::DrawGradientFourColour(gdi::HDC objectHDC, int left, int top, int width, int height,
                                         ColourRef topLeftColour, ColourRef topRightColour,
                                         ColourRef bottomLeftColour, ColourRef bottomRightColour)
{
    // Rows are drawn one by one; a bound keeps a wild size from running for
    // ever or asking for a huge row buffer.
    constexpr int kMaxSide = 1 << 16;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return;
    struct Rgb {
        int c[3];
    };
    auto split = [](ColourRef c) {
        const ColourRef t = translateColour(c);
        return Rgb{{redOf(t), greenOf(t), blueOf(t)}};
    };
    // Entry i of a ramp of n + 1 colours from s to f, per channel.
    auto ramp = [](const Rgb &s, const Rgb &f, int n, int i) {
        Rgb out;
        for (int k = 0; k < 3; ++k) {
            const int diff = f.c[k] - s.c[k];
            const float step = (diff == 0 || n == 0) ? 0.0f : float(diff) / float(n);
            const float v = float(s.c[k]) + float(i) * step;
            out.c[k] = std::clamp(int(std::nearbyint(v)), 0, 255);
        }
        return out;
    };
    const Rgb tl = split(topLeftColour), tr = split(topRightColour);
    const Rgb bl = split(bottomLeftColour), br = split(bottomRightColour);

    const std::size_t stride = (std::size_t(width) * 3 + 3) & ~std::size_t(3);
    std::vector<std::uint8_t> row(stride, 0);
    const gdi::BITMAPINFO bi = gdi::makeBitmapInfo(width, 1, 24);
    for (int r = 0; r < height; ++r) {
        const Rgb a = ramp(tl, bl, height, r);
        const Rgb b = ramp(tr, br, height, r);
        for (int x = 0; x < width; ++x) {
            const Rgb p = ramp(a, b, width, x);
            row[std::size_t(x) * 3 + 0] = std::uint8_t(p.c[2]);
            row[std::size_t(x) * 3 + 1] = std::uint8_t(p.c[1]);
            row[std::size_t(x) * 3 + 2] = std::uint8_t(p.c[0]);
        }
        gdi::SetDIBitsToDevice(objectHDC, left, top + r, std::uint32_t(width), 1, 0, 0, 0, 1, row, bi,
                               gdi::DIB_RGB_COLORS);
    }
}

// ---- the repaint ---------------------------------------------------------

void ProgressBar::PaintBar()
{
    if (m_loading)
        return;
    if (paintFace(true))
        m_face->end();
    else
        update();
}

bool ProgressBar::paintFace(bool reshape)
{
    m_facePending = false;
    const int sw = width();
    const int sh = height();
    // The bar covers its whole image itself (no host fill).
    const gdi::HDC dc = m_face->begin(false);
    if (!dc) {
        m_image = QImage(); // nothing to draw on (a zero size)
        return false;
    }

    // Every step checks its own results and the repaint goes on regardless.
    // 1. The window shape (the window owns the region once it is its shape).
    if (reshape) {
        if (const gdi::HRGN rgn = gdi::CreateRoundRectRgn(0, 0, sw, sh, m_rounded, m_rounded))
            gdi::SetWindowRgn(this, rgn, true);
    }

    // 2. Bar length from the share of Max (Min plays no part).
    const double percent = double(m_value) * 100.0 / double(m_max);
    const int l = roundEven((m_orientation == 2 ? sh : sw) * percent / 100.0);
    m_lastL = l;

    // 3, 4. Palette, greyed for drawing while disabled.
    SetThemePalette();
    Palette pal = m_palette;
    if (!isEnabled())
        for (ColourRef &c : pal)
            c = GreyOf(c);

    // 5. Back colour (shows only where no track is drawn).
    if (const gdi::HBRUSH back = gdi::CreateSolidBrush(systemColour(SysButtonFace))) {
        gdi::FillRect(dc, gdi::RECT{0, 0, sw, sh}, back);
        gdi::DeleteObject(back);
    }

    // 6. Track and bar, each band one two-colour gradient.
    m_lastM = 0;
    if (m_orientation == 1) {
        const int m = roundEven(sh / 2.0);
        m_lastM = m;
        GradientTwoColour(dc, 1, pal[0], pal[2], 0, 0, sw, m);
        GradientTwoColour(dc, 1, pal[4], pal[6], 0, m, sw, sh);
        if (m_value >= 1) {
            GradientTwoColour(dc, 1, pal[8], pal[10], 0, 0, l, m);
            GradientTwoColour(dc, 1, pal[12], pal[14], 0, m, l, sh);
        }
    } else if (m_orientation == 2) {
        const int m = roundEven(sw / 2.0);
        m_lastM = m;
        GradientTwoColour(dc, 0, pal[0], pal[2], 0, 0, m, sh);
        GradientTwoColour(dc, 0, pal[4], pal[6], m, 0, sw, sh);
        if (m_value >= 1) {
            GradientTwoColour(dc, 0, pal[8], pal[10], 0, 0, m, l);
            GradientTwoColour(dc, 0, pal[12], pal[14], m, 0, sw, l);
        }
    }

    // 7. The hollow rounded outline.
    if (const gdi::HPEN pen = gdi::CreatePen(gdi::PS_SOLID, 1, translateColour(pal[16]))) {
        const gdi::HGDIOBJ oldPen = gdi::SelectObject(dc, pen);
        const gdi::HGDIOBJ oldBrush = gdi::SelectObject(dc, gdi::GetStockObject(gdi::HOLLOW_BRUSH));
        gdi::RoundRect(dc, 0, 0, sw - 1, sh - 1, m_rounded, m_rounded);
        if (oldBrush)
            gdi::SelectObject(dc, oldBrush);
        if (oldPen)
            gdi::SelectObject(dc, oldPen);
        gdi::DeleteObject(pen);
    }

    // 8. The text.
    m_lastText.clear();
    switch (m_textStyle) {
    case 1:
        DrawBarText(QString::number(m_value), m_textAlignment);
        break;
    case 2:
        DrawBarText(QString::number(roundEven(percent)) + QLatin1Char('%'), m_textAlignment);
        break;
    case 3:
        DrawBarText(m_text, m_textAlignment);
        break;
    default:
        break;
    }
    m_image = m_face->image();
    return true;
}

void ProgressBar::DrawBarText(const QString &text, int alignment)
{
    const gdi::HDC dc = m_face->dc();
    ColourRef t = translateColour(m_foreColour);
    ColourRef e = translateColour(m_effectColour);
    if (!isEnabled()) {
        t = GreyOf(t);
        e = GreyOf(e);
    }
    SelectedFont font(dc, m_textFont);
    const gdi::SIZE ext = gdi::GetTextExtentPoint32(dc, text);
    const double sw = width(), sh = height(), tw = ext.cx, th = ext.cy;
    const int left = 1, centreX = roundEven(sw / 2 - tw / 2 - 1), right = roundEven(sw - tw - 3);
    const int topY = 0, middleY = roundEven(sh / 2 - th / 2 - 1), bottomY = roundEven(sh - th - 1);
    int x = 0, y = 0;
    switch (alignment) {
    case 1: x = left; y = topY; break;
    case 2: x = left; y = middleY; break;
    case 3: x = left; y = bottomY; break;
    case 4: x = centreX; y = topY; break;
    case 5: x = centreX; y = middleY; break;
    case 6: x = centreX; y = bottomY; break;
    case 7: x = right; y = topY; break;
    case 8: x = right; y = middleY; break;
    case 9: x = right; y = bottomY; break;
    default: break;
    }
    gdi::SetBkMode(dc, gdi::TRANSPARENT);
    auto out = [&](ColourRef c, int px, int py) {
        gdi::SetTextColor(dc, c);
        gdi::TextOut(dc, px, py, text);
    };
    switch (m_textEffect) {
    case 1:
        out(t, x, y);
        break;
    case 2:
        out(e, x - 1, y - 1);
        out(kEffectGrey, x + 1, y + 1);
        out(t, x, y);
        break;
    case 3:
        out(e, x + 1, y + 1);
        out(kEffectGrey, x - 1, y); // one pixel left on the same row
        out(t, x, y);
        break;
    case 4:
        out(e, x + 1, y);
        out(e, x - 1, y);
        out(e, x, y - 1);
        out(e, x, y + 1);
        out(t, x, y);
        break;
    case 5:
        out(e, x + 1, y + 1);
        out(t, x, y);
        break;
    default:
        return; // no text at all
    }
    m_lastText = text;
    m_lastTextPos = QPoint(x, y);
}

// ---- events --------------------------------------------------------------

void ProgressBar::paintEvent(QPaintEvent *)
{
    // Only a new value leaves a face pending, and the value does not change
    // the shape: no reshaping, which would ask for yet another paint.
    if (m_facePending && !m_loading)
        paintFace(false);
    QPainter p(this);
    p.drawImage(0, 0, m_image);
}

void ProgressBar::resizeEvent(QResizeEvent *) { PaintBar(); }

void ProgressBar::changeEvent(QEvent *e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::EnabledChange)
        changed("Enabled");
}

} // namespace controls
