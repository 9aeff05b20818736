#include "controls/caption.h"

#include "controls/accessibility.h"
#include "controls/input.h"

#include "controls/fonts.h"
#include "platform/gdi/gdi.h"

#include <QApplication>
#include <QBitmap>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <cmath>

namespace controls {

namespace {

constexpr int T = Caption::kTwipsPerPixel;
const ColourRef kGrey = rgbRef(128, 128, 128);
const ColourRef kDisabledBody = rgbRef(224, 224, 224);

// Truncation toward zero.
double fix(double v) { return std::trunc(v); }
// Twips to pixels: nearest, halves to even (the default rounding mode).
int px(double twips) { return int(std::nearbyint(twips / T)); }

QString reversed(const QString &s)
{
    // By code points, so that a character outside the basic plane stays whole.
    const QList<uint> cps = s.toUcs4();
    QString out;
    for (auto it = cps.crbegin(); it != cps.crend(); ++it)
        out += QString::fromUcs4(reinterpret_cast<const char32_t *>(&*it), 1);
    return out;
}

QStringList characters(const QString &s)
{
    QStringList out;
    for (uint cp : s.toUcs4())
        out << QString::fromUcs4(reinterpret_cast<const char32_t *>(&cp), 1);
    return out;
}

// A frame ring: top and left sides in one colour, bottom and right in another
// (system colour indices).
struct Ring {
    int topLeft;
    int bottomRight;
};
struct FrameStyle {
    int margin; // twips
    std::vector<Ring> rings;
};

const FrameStyle *frameStyle(int borders)
{
    static const FrameStyle styles[] = {
        {0, {}},
        {30, {{SysButtonShadow, SysButtonHighlight}, {SysDarkShadow, SysLight}}},
        {30, {{SysButtonHighlight, SysDarkShadow}, {SysDarkShadow, SysButtonHighlight}}},
        {45, {{SysButtonHighlight, SysDarkShadow}, {SysButtonShadow, SysButtonShadow}, {SysDarkShadow, SysButtonHighlight}}},
        {60, {{SysButtonHighlight, SysButtonHighlight}, {SysLight, SysLight}, {SysButtonShadow, SysButtonShadow}, {SysDarkShadow, SysDarkShadow}}},
        {15, {{SysDarkShadow, SysDarkShadow}}},
        {45, {{SysDarkShadow, SysDarkShadow}, {SysButtonShadow, SysButtonShadow}, {SysLight, SysLight}}},
        {60, {{SysDarkShadow, SysDarkShadow}, {SysButtonShadow, SysButtonShadow}, {SysLight, SysLight}, {SysButtonHighlight, SysButtonHighlight}}},
    };
    return borders >= 0 && borders <= 7 ? &styles[borders] : nullptr;
}

void line(gdi::HDC dc, ColourRef colour, std::initializer_list<QPoint> points)
{
    const gdi::HPEN pen = gdi::CreatePen(gdi::PS_SOLID, 1, translateColour(colour));
    const gdi::HGDIOBJ old = gdi::SelectObject(dc, pen);
    auto it = points.begin();
    gdi::MoveToEx(dc, it->x(), it->y());
    for (++it; it != points.end(); ++it)
        gdi::LineTo(dc, it->x(), it->y());
    gdi::SelectObject(dc, old);
    gdi::DeleteObject(pen);
}


} // namespace

// ---- the picture element -------------------------------------------------

// Holds CaptionPicture at its own size; its mouse events reach the label
// translated into the label's coordinates.
class CaptionPictureElement : public QWidget {
public:
    explicit CaptionPictureElement(Caption *owner) : QWidget(owner), m_owner(owner)
    {
        setObjectName(QStringLiteral("IconIm"));
        resize(0, 0);
        hide();
    }
    void setPicture(const QImage &img)
    {
        m_image = img;
        if (img.isNull()) {
            resize(0, 0);
            hide();
        } else {
            resize(img.size());
            show();
        }
        update();
    }
    bool hasPicture() const { return !m_image.isNull(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.drawImage(0, 0, m_image);
    }
    void mousePressEvent(QMouseEvent *e) override { m_owner->mouseFrom(e, pos(), 0); }
    void mouseMoveEvent(QMouseEvent *e) override { m_owner->mouseFrom(e, pos(), 1); }
    void mouseReleaseEvent(QMouseEvent *e) override { m_owner->mouseFrom(e, pos(), 2); }
    void mouseDoubleClickEvent(QMouseEvent *e) override { m_owner->mouseFrom(e, pos(), 3); }

private:
    Caption *m_owner;
    QImage m_image;
};

// ---- construction and storage ------------------------------------------

Caption::Caption(QWidget *parent, const QString &name) : QWidget(parent)
{
    init(name);
    // A new control: its instance name as caption, the host's font, defaults.
    m_caption = name;
    setAccessibleName(m_caption);
    fitToContent();
    redraw();
}

Caption::Caption(const QString &name, const PropertyBag &stored, QWidget *parent) : QWidget(parent)
{
    init(name);
    readProperties(stored);
}

Caption::~Caption()
{
    if (m_measureDC)
        gdi::DeleteDC(m_measureDC);
}

void Caption::init(const QString &name)
{
    installAccessibility();
    installFontSubstitutions();
    setObjectName(name);
    m_face = new gdi::WindowDC(this, false); // painted from m_image below
    m_measureDC = gdi::CreateCompatibleDC(0);
    m_iconIm = new CaptionPictureElement(this);
}

QFont Caption::ambientFont() const
{
    return parentWidget() ? parentWidget()->font() : QApplication::font();
}

void Caption::readProperties(const PropertyBag &bag)
{
    m_iconIm->setPicture({});
    const QFont ambient = ambientFont();
    using D = Defaults;
    // Each key on its own: one that cannot be read leaves its value as it was.
    QFont f = font();
    bool enabled = enabledProperty();
    if (auto v = bag.readText(u"Caption", D::caption()))
        m_caption = *v;
    if (auto v = bag.readInt(u"Borders", D::borders))
        m_borders = *v;
    if (auto v = bag.readFlag(u"Transparent", D::transparent))
        m_transparent = *v;
    if (auto v = bag.readFlag(u"AutoSize", D::autoSize))
        m_autoSize = *v;
    if (auto v = bag.readFont(u"Font", ambient))
        f = *v;
    if (auto v = bag.readColour(u"BackColor", D::backColor))
        m_backColor = *v;
    if (auto v = bag.readColour(u"CaptionINColor", D::inColor))
        m_inColor = *v;
    if (auto v = bag.readColour(u"CaptionOUTColor", D::outColor))
        m_outColor = *v;
    if (auto v = bag.readFlag(u"CaptionTransparent", D::captionTransparent))
        m_captionTransparent = *v;
    if (auto v = bag.readFlag(u"CaptionOutlined", D::outlined))
        m_outlined = *v;
    if (auto v = bag.readFlag(u"DisplayVertikal", D::vertical))
        m_vertical = *v;
    if (auto v = bag.readInt(u"DisplayType", D::displayType))
        m_displayType = *v;
    if (auto v = bag.readPicture(u"MouseIcon"))
        m_mouseIcon = *v;
    if (auto v = bag.readInt(u"MousePointer", D::mousePointer))
        m_mousePointer = *v;
    if (auto v = bag.readColour(u"CaptionGradientStart", D::gradStart))
        m_gradStart = *v;
    if (auto v = bag.readColour(u"CaptionGradientEnds", D::gradEnds))
        m_gradEnds = *v;
    if (auto v = bag.readFlag(u"CaptionGradientchangeColor", D::gradSwap))
        m_gradSwap = *v;
    if (auto v = bag.readInt(u"CaptionGradientTyp", D::gradType))
        m_gradType = *v;
    if (auto v = bag.readFlag(u"Enabled", D::enabled))
        enabled = *v;
    if (auto v = bag.readInt(u"CaptionAligmend", D::align))
        m_align = *v;
    if (auto v = bag.readFlag(u"CaptionShadowed", D::shadowed))
        m_shadowed = *v;
    if (auto v = bag.readPicture(u"CaptionPicture"))
        m_picture = *v;

    // Applying the font and the enabled state raises change events; the
    // fitting flag keeps them from fitting and drawing half-loaded state.
    m_fitting = true;
    if (f == ambient)
        setFont(QFont()); // follow the host
    else
        setFont(f);
    setEnabled(enabled);
    m_fitting = false;
    m_foreColor = m_inColor;
    m_allowance = m_outlined ? 30 : 0;
    applyPointer();
    loadPicture();
    setAccessibleName(m_caption);
    fitToContent();
    redraw();
}

void Caption::writeProperties(PropertyBag &bag) const
{
    using D = Defaults;
    bag.writeText(QStringLiteral("Caption"), m_caption, D::caption());
    bag.writeInt(QStringLiteral("Borders"), m_borders, D::borders);
    bag.writeFlag(QStringLiteral("Transparent"), m_transparent, D::transparent);
    bag.writeFlag(QStringLiteral("AutoSize"), m_autoSize, D::autoSize);
    bag.writeFont(QStringLiteral("Font"), font(), ambientFont());
    bag.writeColour(QStringLiteral("BackColor"), m_backColor, D::backColor);
    bag.writeColour(QStringLiteral("CaptionINColor"), m_inColor, D::inColor);
    bag.writeColour(QStringLiteral("CaptionOUTColor"), m_outColor, D::outColor);
    bag.writeFlag(QStringLiteral("CaptionTransparent"), m_captionTransparent, D::captionTransparent);
    bag.writeFlag(QStringLiteral("CaptionOutlined"), m_outlined, D::outlined);
    bag.writeFlag(QStringLiteral("DisplayVertikal"), m_vertical, D::vertical);
    bag.writeInt(QStringLiteral("DisplayType"), m_displayType, D::displayType);
    bag.writePicture(QStringLiteral("MouseIcon"), m_mouseIcon);
    bag.writeInt(QStringLiteral("MousePointer"), m_mousePointer, D::mousePointer);
    bag.writeColour(QStringLiteral("CaptionGradientStart"), m_gradStart, D::gradStart);
    bag.writeColour(QStringLiteral("CaptionGradientEnds"), m_gradEnds, D::gradEnds);
    bag.writeFlag(QStringLiteral("CaptionGradientchangeColor"), m_gradSwap, D::gradSwap);
    bag.writeInt(QStringLiteral("CaptionGradientTyp"), m_gradType, D::gradType);
    bag.writeFlag(QStringLiteral("Enabled"), enabledProperty(), D::enabled);
    bag.writeInt(QStringLiteral("CaptionAligmend"), m_align, D::align);
    bag.writeFlag(QStringLiteral("CaptionShadowed"), m_shadowed, D::shadowed);
    bag.writePicture(QStringLiteral("CaptionPicture"), m_picture);
}

// ---- setters -----------------------------------------------------------

void Caption::changed(const char *key) { emit propertyChanged(QString::fromLatin1(key)); }

void Caption::setCaption(const QString &text)
{
    if (text == m_caption)
        return;
    m_caption = text;
    setAccessibleName(text);
    changed("Caption");
    fitToContent();
    redraw();
}

void Caption::setBorders(int value)
{
    if (value == m_borders)
        return;
    m_borders = value;
    changed("Borders");
    drawBorders(); // takes the new margins before fitting
    fitToContent();
    redraw();
}

void Caption::setTransparent(bool on)
{
    if (on == m_transparent)
        return;
    m_transparent = on;
    changed("Transparent");
    redraw();
}

void Caption::setAutoSize(bool on)
{
    if (on == m_autoSize)
        return;
    m_autoSize = on;
    changed("AutoSize");
    fitToContent();
    redraw();
}

void Caption::setBackColor(ColourRef c)
{
    if (c == m_backColor)
        return;
    m_backColor = c;
    changed("BackColor");
    redraw();
}

void Caption::setCaptionINColor(ColourRef c)
{
    if (c == m_inColor)
        return;
    m_inColor = c;
    m_foreColor = c;
    changed("CaptionINColor");
    redraw();
}

void Caption::setCaptionOUTColor(ColourRef c)
{
    if (c == m_outColor)
        return;
    m_outColor = c;
    changed("CaptionOUTColor");
    redraw();
}

void Caption::setCaptionTransparent(bool on)
{
    if (on == m_captionTransparent)
        return;
    m_captionTransparent = on;
    changed("CaptionTransparent");
    redraw();
}

void Caption::setCaptionOutlined(bool on)
{
    if (on == m_outlined)
        return;
    m_outlined = on;
    m_allowance = on ? 30 : 0;
    changed("CaptionOutlined");
    if (on)
        fitToContent();
    redraw();
}

void Caption::setDisplayVertikal(bool on)
{
    if (on == m_vertical)
        return;
    m_vertical = on;
    // Types 2 and 3 are the vertical ones; the horizontal twin of each keeps
    // its character order.
    if (on && (m_displayType == 0 || m_displayType == 1))
        m_displayType += 2;
    else if (!on && (m_displayType == 2 || m_displayType == 3))
        m_displayType -= 2;
    changed("DisplayVertikal");
    fitToContent();
    redraw();
}

void Caption::setDisplayType(int type)
{
    if (type == m_displayType)
        return;
    m_displayType = type;
    if ((type == 0 || type == 1) && m_vertical)
        m_vertical = false;
    else if ((type == 2 || type == 3) && !m_vertical)
        m_vertical = true;
    changed("DisplayType");
    fitToContent();
    redraw();
}

void Caption::setMouseIcon(const QByteArray &picture)
{
    if (picture == m_mouseIcon)
        return;
    m_mouseIcon = picture;
    changed("MouseIcon");
    applyPointer();
}

void Caption::setMousePointer(int pointer)
{
    if (pointer == m_mousePointer)
        return;
    m_mousePointer = pointer;
    changed("MousePointer");
    applyPointer();
}

void Caption::setCaptionGradientStart(ColourRef c)
{
    if (c == m_gradStart)
        return;
    m_gradStart = c;
    changed("CaptionGradientStart");
    redraw();
}

void Caption::setCaptionGradientEnds(ColourRef c)
{
    if (c == m_gradEnds)
        return;
    m_gradEnds = c;
    changed("CaptionGradientEnds");
    redraw();
}

void Caption::setCaptionGradientchangeColor(bool on)
{
    if (on == m_gradSwap)
        return;
    m_gradSwap = on;
    changed("CaptionGradientchangeColor");
    redraw();
}

void Caption::setCaptionGradientTyp(int type)
{
    if (type == m_gradType)
        return;
    m_gradType = type;
    changed("CaptionGradientTyp");
    redraw();
}

void Caption::setCaptionAligmend(int align)
{
    if (align == m_align)
        return;
    m_align = align;
    changed("CaptionAligmend");
    redraw();
}

void Caption::setCaptionShadowed(bool on)
{
    if (on == m_shadowed)
        return;
    m_shadowed = on;
    changed("CaptionShadowed");
    redraw();
}

void Caption::setCaptionPicture(const QByteArray &picture)
{
    if (picture == m_picture)
        return;
    m_picture = picture;
    changed("CaptionPicture");
    loadPicture();
    fitToContent();
    redraw();
}

void Caption::loadPicture()
{
    QImage img;
    if (!m_picture.isEmpty())
        img.loadFromData(m_picture);
    m_iconIm->setPicture(img);
    applyPointer();
}

void Caption::applyPointer()
{
    static const Qt::CursorShape shapes[] = {
        Qt::ArrowCursor,     Qt::ArrowCursor,      Qt::CrossCursor,    Qt::IBeamCursor,
        Qt::ArrowCursor,     Qt::SizeAllCursor,    Qt::SizeBDiagCursor, Qt::SizeVerCursor,
        Qt::SizeFDiagCursor, Qt::SizeHorCursor,    Qt::UpArrowCursor,  Qt::WaitCursor,
        Qt::ForbiddenCursor, Qt::BusyCursor,       Qt::WhatsThisCursor, Qt::SizeAllCursor,
    };
    QCursor cursor;
    bool set = true;
    if (m_mousePointer == 99) {
        // A custom pointer: the stored mouse icon (plain arrow when unreadable).
        QPixmap pm;
        if (!m_mouseIcon.isEmpty() && pm.loadFromData(m_mouseIcon))
            cursor = QCursor(pm, 0, 0);
    } else if (m_mousePointer > 0 && m_mousePointer < int(std::size(shapes))) {
        cursor = QCursor(shapes[m_mousePointer]);
    } else {
        set = false;
    }
    for (QWidget *w : {static_cast<QWidget *>(this), static_cast<QWidget *>(m_iconIm)}) {
        if (set)
            w->setCursor(cursor);
        else
            w->unsetCursor();
    }
}

// ---- methods -----------------------------------------------------------

QSize Caption::textSizeTwips(const QString &text) const
{
    const gdi::HDC dc = m_measureDC;
    SelectedFont f(dc, font());
    const gdi::SIZE s = gdi::GetTextExtentPoint32(dc, text);
    return QSize(s.cx * T, s.cy * T);
}

int Caption::TextWidth(const QString &text) const
{
    return textSizeTwips(text).width() + (m_outlined ? 30 : 0);
}

int Caption::TextHeight(const QString &text) const
{
    return textSizeTwips(text).height() + (m_outlined ? 30 : 0);
}

void Caption::Refresh()
{
    m_iconIm->update();
    redraw();
    update();
}

QImage Caption::faceImage() const { return m_image; }

QRect Caption::pictureRect() const
{
    return m_iconIm->hasPicture() ? m_iconIm->geometry() : QRect();
}

// ---- fitting -------------------------------------------------------------

void Caption::fitToContent()
{
    if (m_vertical) {
        m_widestChar = 0;
        m_charHeights = 0;
        for (const QString &c : characters(m_caption)) {
            const QSize s = textSizeTwips(c);
            m_widestChar = std::max(m_widestChar, s.width());
            m_charHeights += s.height();
        }
    }
    if (!m_autoSize)
        return;
    m_fitting = true;
    const int c = m_allowance;
    const QSize text = textSizeTwips(m_caption);
    const bool pic = m_iconIm->hasPicture();
    const int pw = pic ? m_iconIm->width() * T : 0;
    const int ph = pic ? m_iconIm->height() * T : 0;
    int w = 0;
    int h = 0;
    if (!m_vertical) {
        w = text.width() + m_mL + m_mR + c + pw;
        h = (pic ? ph : text.height()) + m_mT + m_mB + c + (m_shadowed ? 45 : 0);
    } else {
        w = m_widestChar + m_mL + m_mR + 2 * c + (pic ? pw - text.width() : 0);
        h = m_charHeights + m_mT + m_mB + c + ph;
    }
    resize(std::max(0, px(w)), std::max(0, px(h)));
    m_fitting = false;
}

// ---- drawing -------------------------------------------------------------

void Caption::redraw()
{
    drawCaption();
    m_image = m_face->image();
    updateShape();
    update();
}

void Caption::drawCaption()
{
    // The label clears its own background (no host fill).
    const gdi::HDC dc = m_face->begin(false);
    if (!dc)
        return;
    SelectedFont f(dc, font());

    const gdi::HBRUSH back = gdi::CreateSolidBrush(translateColour(m_backColor));
    gdi::FillRect(dc, gdi::RECT{0, 0, width(), height()}, back);
    gdi::DeleteObject(back);
    if (m_gradType != 0)
        fillGradient();

    const double x = m_mL;
    const double y = m_mT;
    switch (m_displayType) {
    case 0:
        drawTextAt(m_caption, x, y);
        break;
    case 1:
        drawTextAt(reversed(m_caption), x, y);
        break;
    case 2:
    case 3: {
        QStringList chars = characters(m_caption);
        if (m_displayType == 3)
            std::reverse(chars.begin(), chars.end());
        double row = m_mT + m_allowance;
        const double sw = double(width()) * T;
        for (const QString &c : chars) {
            const QSize s = textSizeTwips(c);
            drawTextAt(c, fix(sw / 2 - s.width() / 2.0), row);
            row += s.height();
        }
        break;
    }
    default:
        break;
    }
    m_face->end();
}

void Caption::textOut(const QString &text, double x, double y, ColourRef colour)
{
    const gdi::HDC dc = m_face->dc();
    gdi::SetTextColor(dc, translateColour(colour));
    gdi::SetBkMode(dc, gdi::TRANSPARENT);
    gdi::TextOut(dc, px(x), px(y), text);
}

void Caption::drawTextAt(const QString &text, double x, double y)
{
    const ColourRef savedFore = m_foreColor;
    drawBorders();

    const double sw = double(width()) * T;
    const double sh = double(height()) * T;
    const QSize ts = textSizeTwips(text);
    const double tw = ts.width();
    const double th = ts.height();
    const bool pic = m_iconIm->hasPicture();
    const double pw = pic ? double(m_iconIm->width()) * T : 0.0;

    double X = 0;
    double Y = 0;
    if (m_vertical) {
        X = pw + x;
        Y = y;
    } else {
        switch (m_align) {
        case 0:
            X = pw + x;
            Y = fix(sh / 2 - th / 2);
            break;
        case 1:
            if (!m_shadowed) {
                X = fix(sw / 2 - tw / 2) + pw / 2;
                Y = fix(sh / 2 - th / 2);
            } else {
                X = fix((sw - 45) / 2 - tw / 2) + pw / 2;
                Y = fix((sh - 30) / 2 - th / 2);
            }
            break;
        case 2:
            // The outline moves the text one pixel right and draws one more
            // around it: a right-aligned text leaves room for both, or its
            // last column is cut off at the edge.
            if (!m_shadowed) {
                X = fix(sw - tw - m_allowance) - x;
                Y = fix(sh / 2 - th / 2);
            } else {
                X = fix(sw - tw - m_allowance) - x - 45;
                Y = fix(sh / 2 - th / 2) - 30;
            }
            break;
        default:
            X = pw + x;
            Y = y;
            break;
        }
    }

    const bool enabled = isEnabled();
    const ColourRef outline = enabled ? m_outColor : kGrey;
    if (enabled && m_shadowed)
        textOut(text, X + 45, Y + 45, kGrey);
    if (m_outlined) {
        if (!m_vertical) {
            X += T;
            Y += T;
        }
        static const int around[8][2] = {{-1, -1}, {-1, 0}, {0, -1}, {-1, 1}, {1, -1}, {1, 0}, {0, 1}, {1, 1}};
        for (const auto &d : around)
            textOut(text, X + d[0] * T, Y + d[1] * T, outline);
    }
    ColourRef body = m_captionTransparent ? m_backColor : m_inColor;
    if (!enabled)
        body = kDisabledBody;
    textOut(text, X, Y, body);

    if (pic) {
        const double ph = double(m_iconIm->height()) * T;
        m_iconIm->move(px(m_mL), px(m_mT + sh / 2 - ph / 2));
    }
    m_foreColor = savedFore;
    drawBorders();
}

void Caption::drawBorders()
{
    const FrameStyle *style = frameStyle(m_borders);
    if (!style)
        return; // other values keep the margins and draw nothing
    m_mL = m_mT = m_mR = m_mB = style->margin;
    const gdi::HDC dc = m_face->dc();
    if (!dc)
        return;
    const int w = width();
    const int h = height();
    for (int k = 0; k < int(style->rings.size()); ++k) {
        const Ring &r = style->rings[std::size_t(k)];
        const int right = w - 1 - k;
        const int bottom = h - 1 - k;
        // Top and left (the end point of a line is not drawn), then bottom and
        // right, which take the two corners they share with top and left.
        line(dc, systemColourRef(r.topLeft), {QPoint(k, bottom), QPoint(k, k), QPoint(right, k)});
        line(dc, systemColourRef(r.bottomRight), {QPoint(right, k), QPoint(right, bottom), QPoint(k - 1, bottom)});
    }
}

void Caption::fillGradient()
{
    const gdi::HDC dc = m_face->dc();
    const double sw = double(width()) * T;
    const double sh = double(height()) * T;
    const double wi = sw - 2.0 * m_mL;
    const double hi = sh - 2.0 * m_mT;
    ColourRef s = translateColour(m_gradStart);
    ColourRef e = translateColour(m_gradEnds);
    if (m_gradSwap)
        std::swap(s, e);
    const bool vertical = m_gradType == 2;
    const double d = vertical ? hi + m_mT : wi + m_mL;
    const double span = vertical ? hi : wi;
    if (d <= 0)
        return;
    for (double t = 1; t <= span; t += T) {
        const auto mix = [&](int a, int b) { return roundEven(a + (b - a) * t / d); };
        const ColourRef c = rgbRef(mix(redOf(s), redOf(e)), mix(greenOf(s), greenOf(e)), mix(blueOf(s), blueOf(e)));
        if (vertical)
            line(dc, c, {QPoint(px(m_mL), px(m_mT + t)), QPoint(px(m_mL + wi), px(m_mT + t))});
        else
            line(dc, c, {QPoint(px(m_mL + t), px(m_mT)), QPoint(px(m_mL + t), px(m_mT + hi))});
    }
}

void Caption::updateShape()
{
    if (!m_transparent || m_image.isNull()) {
        clearMask();
        return;
    }
    // Every pixel still in the back colour lets the host show through.
    const QImage &face = m_image;
    const QColor back = toQColor(m_backColor);
    QRegion shape(QBitmap::fromImage(face.createMaskFromColor(back.rgb(), Qt::MaskInColor)));
    if (m_iconIm->hasPicture())
        shape += m_iconIm->geometry();
    // An empty mask would mean "no mask" (all opaque): keep a region outside
    // the widget instead, so that the label shows nothing.
    setMask(shape.isEmpty() ? QRegion(-1, -1, 1, 1) : shape);
}

// ---- events --------------------------------------------------------------

void Caption::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, m_image);
}

void Caption::resizeEvent(QResizeEvent *)
{
    if (!m_fitting)
        redraw();
}

void Caption::changeEvent(QEvent *e)
{
    QWidget::changeEvent(e);
    if (m_fitting)
        return; // applying stored properties; they fit and draw at the end
    if (e->type() == QEvent::EnabledChange) {
        changed("Enabled");
        redraw();
    } else if (e->type() == QEvent::FontChange) {
        changed("Font");
        fitToContent();
        redraw();
    }
}

void Caption::mouseFrom(QMouseEvent *e, QPoint offset, int kind)
{
    const QPointF p = e->position() + QPointF(offset);
    const float x = float(p.x() * T);
    const float y = float(p.y() * T);
    const int shift = shiftCode(e->modifiers());
    switch (kind) {
    case 0:
        m_afterDoubleClick = false;
        emit MouseDown(mouseButtonCode(e->button()), shift, x, y);
        break;
    case 1:
        emit MouseMove(mouseButtonsMask(e->buttons()), shift, x, y);
        break;
    case 2:
        emit MouseUp(mouseButtonCode(e->button()), shift, x, y);
        // The release that ends a double click raises no second click.
        if (!m_afterDoubleClick && e->button() == Qt::LeftButton)
            emit Click();
        m_afterDoubleClick = false;
        break;
    case 3:
        m_afterDoubleClick = true;
        emit DblClick();
        break;
    }
}

void Caption::mousePressEvent(QMouseEvent *e) { mouseFrom(e, QPoint(), 0); }
void Caption::mouseMoveEvent(QMouseEvent *e) { mouseFrom(e, QPoint(), 1); }
void Caption::mouseReleaseEvent(QMouseEvent *e) { mouseFrom(e, QPoint(), 2); }
void Caption::mouseDoubleClickEvent(QMouseEvent *e) { mouseFrom(e, QPoint(), 3); }

} // namespace controls
