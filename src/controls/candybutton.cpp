#include "controls/candybutton.h"

#include "controls/accessibility.h"
#include "controls/input.h"

#include "controls/fonts.h"

#include <QApplication>
#include <QBuffer>
#include <QImageReader>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace controls {

using namespace gdi;

namespace {
constexpr ColourRef kWhite = 0xFFFFFF;
constexpr ColourRef kBlack = 0;
constexpr ColourRef kDisabledBase = rgbRef(192, 192, 176);
constexpr ColourRef kDisabledCaption = rgbRef(96, 96, 96);

int clampInt(int v, int lo, int hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

struct Rgb {
    int r, g, b;
};

// One step t of a gradient band from s to e.
ColourRef bandColour(Rgb s, Rgb e, double t)
{
    auto comp = [t](int a, int b) { return clampInt(roundEven(t * b + a - t * a), 0, 255); };
    return rgbRef(comp(s.r, e.r), comp(s.g, e.g), comp(s.b, e.b));
}

bool isEnterKey(const QKeyEvent *e)
{
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

// Drawing helpers over a DC: each makes and releases its own pen or brush.
void line(HDC dc, int x1, int y1, int x2, int y2, ColourRef c)
{
    HPEN pen = CreatePen(PS_SOLID, 1, c);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x1, y1);
    LineTo(dc, x2, y2);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void fill(HDC dc, const RECT &r, ColourRef c)
{
    HBRUSH brush = CreateSolidBrush(c);
    FillRect(dc, r, brush);
    DeleteObject(brush);
}

// The frame of the classic shape: dots, corner lines and edges, corner by corner.
void classicFrame(HDC dc, int W, int H, ColourRef dot, ColourRef corner, ColourRef edge)
{
    SetPixel(dc, 0, 1, dot);
    SetPixel(dc, 1, 0, dot);
    line(dc, 0, 2, 2, 0, corner);
    line(dc, 2, 0, W - 2, 0, edge);
    SetPixel(dc, W - 1, 0, dot);
    SetPixel(dc, W, 1, dot);
    line(dc, W - 2, 0, W, 2, corner);
    line(dc, W, 2, W, H - 2, edge);
    SetPixel(dc, W, H - 1, dot);
    SetPixel(dc, W - 1, H, dot);
    line(dc, W, H - 2, W - 2, H, corner);
    line(dc, W - 2, H, 2, H, edge);
    SetPixel(dc, 1, H, dot);
    SetPixel(dc, 0, H - 1, dot);
    line(dc, 2, H, 0, H - 2, corner);
    line(dc, 0, H - 2, 0, 2, edge);
}

// The inner rim of the classic look on focus (blue) or hover (warm).
void classicRim(HDC dc, int W, int H, Rgb row1, Rgb row2, Rgb sideEnd, Rgb rowH2, Rgb rowH1)
{
    line(dc, 0, 1, W, 1, rgbRef(row1.r, row1.g, row1.b));
    line(dc, 0, 2, W, 2, rgbRef(row2.r, row2.g, row2.b));
    for (int y = 3; y <= H - 3; ++y) {
        const ColourRef c = bandColour(row2, sideEnd, H ? double(y) / H : 0.0);
        line(dc, 0, y, 3, y, c);
        line(dc, W - 2, y, W, y, c);
    }
    line(dc, 0, H - 2, W, H - 2, rgbRef(rowH2.r, rowH2.g, rowH2.b));
    line(dc, 0, H - 1, W, H - 1, rgbRef(rowH1.r, rowH1.g, rowH1.b));
}

double fraction(int num, int den)
{
    return den ? double(num) / den : 0.0;
}

} // namespace

CandyButton::CandyButton(QWidget *parent)
    : QWidget(parent)
{
    installAccessibility(); // a push button named by its caption
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(gdi::stripPrefix(m_caption));
    if (parent)
        setFont(parent->font());
    m_ready = true;
    // Every button here runs in a live window: it hears its own messages from
    // the start, whether or not stored properties are read later.
    startHooks();
}

CandyButton::~CandyButton()
{
    m_hooks.sc_UnSubclassAll();
    releaseInnerShape();
    releasePicture();
}

// ---- stored properties -----------------------------------------------------

void CandyButton::ReadProperties(const PropertyBag &bag)
{
    using D = Defaults;
    m_ready = false;
    const QFont hostFont = parentWidget() ? parentWidget()->font() : QApplication::font();
    // Each key on its own: one that cannot be read leaves its value as it was.
    if (auto v = bag.readFlag(u"Enabled", D::enabled))
        setEnabled(*v);
    if (auto v = bag.readFont(u"Font", hostFont))
        setFont(*v);
    if (auto v = bag.readText(u"Caption", D::caption()))
        m_caption = *v;
    if (auto v = bag.readFlag(u"IconHighLite", D::iconHighLite))
        m_iconHighLite = *v;
    if (auto v = bag.readColour(u"IconHighLiteColor", D::iconHighLiteColor))
        m_iconHighLiteColor = *v;
    if (auto v = bag.readFlag(u"CaptionHighLite", D::captionHighLite))
        m_captionHighLite = *v;
    if (auto v = bag.readColour(u"CaptionHighLiteColor", D::captionHighLiteColor))
        m_captionHighLiteColor = *v;
    if (auto v = bag.readColour(u"ForeColor", D::foreColor))
        m_foreColor = *v;
    if (auto v = bag.readPicture(u"Picture")) {
        m_pictureBytes = *v;
        loadPicture();
    }
    if (auto v = bag.readInt(u"PictureAlignment", D::pictureAlignment))
        m_pictureAlignment = *v;
    if (auto v = bag.readInt(u"Style", D::style))
        m_style = *v;
    if (auto v = bag.readFlag(u"Checked", D::checked))
        m_checked = *v;
    if (auto v = bag.readColour(u"ColorButtonHover", D::colorHover))
        m_colorHover = *v;
    if (auto v = bag.readColour(u"ColorButtonUp", D::colorUp))
        m_colorUp = *v;
    if (auto v = bag.readColour(u"ColorButtonDown", D::colorDown))
        m_colorDown = *v;
    if (auto v = bag.readInt(u"BorderBrightness", D::borderBrightness))
        m_borderBrightness = clampInt(*v, -100, 100);
    if (auto v = bag.readColour(u"ColorBright", D::colorBright))
        m_colorBright = *v;
    if (auto v = bag.readFlag(u"DisplayHand", D::displayHand))
        m_displayHand = *v;
    if (auto v = bag.readInt(u"ColorScheme", D::colorScheme))
        m_colorScheme = *v;
    setAccessibleName(gdi::stripPrefix(m_caption));
    setCursor(m_displayHand ? Qt::PointingHandCursor : Qt::ArrowCursor);
    startHooks();
    m_ready = true;
    ApplyShape();
    DrawButton(StateUp);
}

void CandyButton::WriteProperties(PropertyBag &bag) const
{
    using D = Defaults;
    const QFont hostFont = parentWidget() ? parentWidget()->font() : QApplication::font();
    // The first keys are left out at their defaults; the last eight are always written.
    bag.writeFlag(QStringLiteral("Enabled"), isEnabled(), D::enabled);
    bag.writeFont(QStringLiteral("Font"), font(), hostFont);
    bag.writeText(QStringLiteral("Caption"), m_caption, D::caption());
    bag.writeFlag(QStringLiteral("IconHighLite"), m_iconHighLite, D::iconHighLite);
    bag.writeColour(QStringLiteral("IconHighLiteColor"), m_iconHighLiteColor, D::iconHighLiteColor);
    bag.writeFlag(QStringLiteral("CaptionHighLite"), m_captionHighLite, D::captionHighLite);
    bag.writeColour(QStringLiteral("CaptionHighLiteColor"), m_captionHighLiteColor, D::captionHighLiteColor);
    bag.writeColour(QStringLiteral("ForeColor"), m_foreColor, D::foreColor);
    bag.writePicture(QStringLiteral("Picture"), m_pictureBytes);
    bag.writeInt(QStringLiteral("PictureAlignment"), m_pictureAlignment, D::pictureAlignment);
    bag.writeInt(QStringLiteral("Style"), m_style, D::style);
    bag.write(QStringLiteral("Checked"), PropertyValue::flag(m_checked));
    bag.write(QStringLiteral("ColorButtonHover"), PropertyValue::colour(m_colorHover));
    bag.write(QStringLiteral("ColorButtonUp"), PropertyValue::colour(m_colorUp));
    bag.write(QStringLiteral("ColorButtonDown"), PropertyValue::colour(m_colorDown));
    bag.write(QStringLiteral("BorderBrightness"), PropertyValue::integer(m_borderBrightness));
    bag.write(QStringLiteral("ColorBright"), PropertyValue::colour(m_colorBright));
    bag.write(QStringLiteral("DisplayHand"), PropertyValue::flag(m_displayHand));
    bag.write(QStringLiteral("ColorScheme"), PropertyValue::integer(m_colorScheme));
}

// ---- property setters --------------------------------------------------------

void CandyButton::notifyChanged()
{
    emit PropertyChanged();
}

void CandyButton::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    setAccessibleName(gdi::stripPrefix(caption));
    notifyChanged();
    DrawButton(StateUp);
}

void CandyButton::setForeColor(ColourRef c)
{
    if (c == m_foreColor)
        return;
    m_foreColor = c;
    notifyChanged();
    DrawButton(StateUp);
}

void CandyButton::setPicture(const QByteArray &bytes)
{
    if (bytes == m_pictureBytes)
        return;
    m_pictureBytes = bytes;
    loadPicture();
    notifyChanged();
    DrawButton(StateUp);
}

void CandyButton::setPictureAlignment(int a)
{
    if (a == m_pictureAlignment)
        return;
    m_pictureAlignment = a;
    notifyChanged();
    DrawButton(StateUp);
}

void CandyButton::setStyle(int style)
{
    if (style == m_style)
        return;
    m_style = style;
    notifyChanged();
    ApplyShape();
    DrawButton(StateUp);
}

void CandyButton::setChecked(bool c)
{
    if (c == m_checked)
        return;
    m_checked = c;
    notifyChanged();
    DrawButton(c ? StateChecked : (m_over ? StateHover : StateUp));
}

void CandyButton::setColorScheme(int scheme)
{
    struct Scheme {
        ColourRef up, hover, down, bright;
    };
    static const Scheme schemes[] = {
        {rgbRef(0, 0, 0), rgbRef(64, 64, 64), rgbRef(128, 128, 128), rgbRef(64, 64, 64)},
        {rgbRef(96, 144, 208), rgbRef(0, 96, 224), rgbRef(80, 128, 169), rgbRef(250, 250, 255)},
        {rgbRef(0, 0, 128), rgbRef(0, 0, 160), rgbRef(0, 0, 240), rgbRef(0, 0, 255)},
        {rgbRef(128, 0, 0), rgbRef(160, 0, 0), rgbRef(240, 0, 0), rgbRef(255, 0, 0)},
        {rgbRef(0, 128, 0), rgbRef(0, 160, 0), rgbRef(0, 192, 0), rgbRef(0, 255, 0)},
        {rgbRef(128, 128, 0), rgbRef(160, 160, 0), rgbRef(192, 192, 0), rgbRef(255, 255, 0)},
    };
    if (scheme >= 1 && scheme <= 6) {
        const Scheme &s = schemes[scheme - 1];
        m_colorUp = s.up;
        m_colorHover = s.hover;
        m_colorDown = s.down;
        m_colorBright = s.bright;
    }
    m_colorScheme = scheme;
    notifyChanged();
    DrawButton(StateUp);
}

// Any custom colour leaves the scheme, even when the value is the same.
void CandyButton::colourChanged(ColourRef &field, ColourRef value)
{
    const bool same = field == value && m_colorScheme == 0;
    field = value;
    m_colorScheme = 0;
    if (same)
        return;
    notifyChanged();
    DrawButton(StateUp);
}

void CandyButton::setColorButtonUp(ColourRef c) { colourChanged(m_colorUp, c); }
void CandyButton::setColorButtonHover(ColourRef c) { colourChanged(m_colorHover, c); }
void CandyButton::setColorButtonDown(ColourRef c) { colourChanged(m_colorDown, c); }
void CandyButton::setColorBright(ColourRef c) { colourChanged(m_colorBright, c); }

void CandyButton::setBorderBrightness(int b)
{
    b = clampInt(b, -100, 100);
    if (b == m_borderBrightness)
        return;
    m_borderBrightness = b;
    notifyChanged();
    DrawButton(StateUp);
}

void CandyButton::setIconHighLite(bool v)
{
    if (v != m_iconHighLite) {
        m_iconHighLite = v;
        notifyChanged();
    }
}

void CandyButton::setIconHighLiteColor(ColourRef c)
{
    if (c != m_iconHighLiteColor) {
        m_iconHighLiteColor = c;
        notifyChanged();
    }
}

void CandyButton::setCaptionHighLite(bool v)
{
    if (v != m_captionHighLite) {
        m_captionHighLite = v;
        notifyChanged();
    }
}

void CandyButton::setCaptionHighLiteColor(ColourRef c)
{
    if (c != m_captionHighLiteColor) {
        m_captionHighLiteColor = c;
        notifyChanged();
    }
}

void CandyButton::setDisplayHand(bool v)
{
    // Takes effect the next time the stored properties are read.
    m_displayHand = v;
}

// ---- colour arithmetic -------------------------------------------------------

void CandyButton::GetRGB(int &r, int &g, int &b, ColourRef Color)
{
    const ColourRef c = translateColour(Color);
    r = int(c & 255);
    g = int((c >> 8) & 255);
    b = int((c >> 16) & 255);
}

ColourRef CandyButton::BlendColors(ColourRef Color1, ColourRef Color2, int Percentage)
{
    const int p = clampInt(Percentage, 0, 100);
    int r1, g1, b1, r2, g2, b2;
    GetRGB(r1, g1, b1, Color1);
    GetRGB(r2, g2, b2, Color2);
    return rgbRef(r1 + ((r2 - r1) * p) / 100, g1 + ((g2 - g1) * p) / 100, b1 + ((b2 - b1) * p) / 100);
}

// ---- shape -------------------------------------------------------------------

int CandyButton::cornerRadius(int style, int W, int H)
{
    int r;
    switch (style) {
    case 2:
    case 4:
    case 5: r = clampInt(H / 2 + 1, 1, W / 2); break;
    case 3: r = 12; break;
    case 6: r = clampInt(H / 3, 1, W / 3); break;
    case 7: r = clampInt(H / 4 + 1, 1, W / 4); break;
    default: return 0;
    }
    return std::max(r, 1);
}

bool CandyButton::InShape(int x, int y, int x0, int y0, int wd, int hd, int r)
{
    const int dx = x - x0;
    const int dy = y - y0;
    auto circle = [r](int a, int b) {
        const int d = r * r - a * a;
        return d >= 0 && std::abs(b - r) < roundEven(std::sqrt(double(d)));
    };
    if (r < dx && dx < wd - r && r < dy && dy < hd - r)
        return true;
    if (dx < r && dy <= r)
        return circle(dx - r, dy);
    if (dx > wd - r && dy <= r)
        return circle(dx - wd + r, dy);
    if (dx < r && dy >= hd - r)
        return circle(dx - r, dy - hd + 2 * r);
    if (dx > wd - r && dy >= hd - r)
        return circle(dx - wd + r, dy - hd + 2 * r);
    return 0 < dx && dx < wd && 0 < dy && dy < hd;
}

QRegion CandyButton::shapeRegion(int x0, int y0, int wd, int hd, int r)
{
    // Row runs of passing pixels.
    QRegion region;
    const int right = x0 + wd;
    const int bottom = y0 + hd;
    for (int y = 0; y < bottom; ++y) {
        int runStart = -1;
        for (int x = 0; x <= right; ++x) {
            const bool in = x < right && InShape(x, y, x0, y0, wd, hd, r);
            if (in && runStart < 0)
                runStart = x;
            if (!in && runStart >= 0) {
                region += QRect(runStart, y, x - runStart, 1);
                runStart = -1;
            }
        }
    }
    return region;
}

void CandyButton::releaseInnerShape()
{
    if (m_innerShape) {
        DeleteObject(m_innerShape);
        m_innerShape = 0;
    }
}

void CandyButton::ApplyShape()
{
    releaseInnerShape();
    if (m_style < 2 || m_style > 7) {
        if (!m_shape.isEmpty()) {
            m_shape = QRegion();
            clearMask();
        }
        return;
    }
    const int W = width();
    const int H = height();
    m_radius = cornerRadius(m_style, W, H);
    const QRegion shape = shapeRegion(0, 0, W, H, m_radius);
    if (shape != m_shape || mask() != shape) {
        m_shape = shape;
        setMask(shape); // the same mask again would redraw for nothing
    }
    m_innerShape = CreateRegionFromQRegion(shapeRegion(1, 1, W - 2, H - 2, m_radius));
}

// ---- hooks -------------------------------------------------------------------

void CandyButton::startHooks()
{
    if (m_hooked)
        return;
    // Leave notifications need the platform's tracking call under one of its names.
    if (!ApiExported(QStringLiteral("TrackMouseEvent"), QStringLiteral("User32"))
        && !ApiExported(QStringLiteral("_TrackMouseEvent"), QStringLiteral("Comctl32")))
        return;
    if (!m_hooks.sc_Subclass(this, 0, 1))
        return;
    m_hooked = true;
    m_hooks.sc_HookMsg(this, wm::Paint, MSG_BEFORE);
    m_hooks.sc_HookMsg(this, wm::MouseMove, MSG_AFTER);
    m_hooks.sc_HookMsg(this, wm::MouseLeave, MSG_AFTER);
}

void CandyButton::HookCallback(bool before, bool &, qint32 &, QWidget *, int message, qint64 wParam, qint64 lParam,
                               qint32 &)
{
    if (before) {
        if (message == wm::Paint)
            ApplyShape();
        return;
    }
    if (message == wm::MouseMove) {
        if (wParam == MK_LBUTTON || m_over)
            return;
        const int x = pointParamX(lParam);
        const int y = pointParamY(lParam);
        if (0 < x && x < width() && 0 < y && y < height()) {
            m_over = true;
            RequestMouseLeave(this);
            emit MouseEnter();
            DrawButton(StateHover);
        }
    } else if (message == wm::MouseLeave) {
        m_over = false;
        emit MouseLeave();
        if (!m_checked)
            DrawButton(m_focused ? StateFocused : StateUp);
    }
}

// ---- input -------------------------------------------------------------------

void CandyButton::handleMouseDown(int button, int shift, int x, int y)
{
    m_focused = true;
    DrawButton(StateDown);
    emit MouseDown(button, shift, x, y);
}

void CandyButton::handleMouseUp(int button, int shift, int x, int y)
{
    if (!m_checked) {
        if (m_over)
            DrawButton(StateHover);
        else if (m_focused)
            DrawButton(StateFocused);
    }
    emit MouseUp(button, shift, x, y);
}

void CandyButton::mousePressEvent(QMouseEvent *e)
{
    if (!isEnabled())
        return;
    m_afterDoubleClick = false;
    const QPoint p = e->position().toPoint();
    handleMouseDown(mouseButtonCode(e->button()), shiftCode(e->modifiers()), p.x(), p.y());
}

void CandyButton::mouseReleaseEvent(QMouseEvent *e)
{
    if (!isEnabled())
        return;
    const QPoint p = e->position().toPoint();
    handleMouseUp(mouseButtonCode(e->button()), shiftCode(e->modifiers()), p.x(), p.y());
    // The platform reports a click for the left button released over the control,
    // but not for the release that ends a double click.
    const bool click = e->button() == Qt::LeftButton && rect().contains(p) && !m_afterDoubleClick;
    m_afterDoubleClick = false;
    if (click)
        emit Click();
}

void CandyButton::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (!isEnabled() || e->button() != Qt::LeftButton)
        return;
    m_afterDoubleClick = true;
    DrawButton(StateDown);
    emit DblClick();
}

void CandyButton::mouseMoveEvent(QMouseEvent *e)
{
    if (!isEnabled())
        return;
    const QPoint p = e->position().toPoint();
    const int button = mouseButtonsMask(e->buttons());
    emit MouseMove(button, shiftCode(e->modifiers()), p.x(), p.y());
    if (button == 1 && (p.x() < 0 || p.x() > width() || p.y() < 0 || p.y() > height())) {
        m_over = false;
        DrawButton(StateUp);
    }
}

void CandyButton::keyPressEvent(QKeyEvent *e)
{
    if (!isEnabled() || !isEnterKey(e)) {
        QWidget::keyPressEvent(e);
        return;
    }
    // A held key repeats no press: one down and one up per keystroke.
    if (!e->isAutoRepeat()) {
        m_enterDown = true;
        handleMouseDown(1, 0, 0, 0);
    }
}

void CandyButton::keyReleaseEvent(QKeyEvent *e)
{
    if (!isEnabled() || !isEnterKey(e)) {
        QWidget::keyReleaseEvent(e);
        return;
    }
    // Only the release of a press this button received is a click: the key
    // that closed a message box is released after the focus came back here.
    if (e->isAutoRepeat() || !m_enterDown)
        return;
    m_enterDown = false;
    handleMouseUp(1, 0, 0, 0);
    emit Click();
}

void CandyButton::focusInEvent(QFocusEvent *e)
{
    QWidget::focusInEvent(e);
    m_focused = true;
    if (isEnabled() && !m_checked && !m_over)
        DrawButton(StateFocused);
    update(); // the focus ring
}

void CandyButton::focusOutEvent(QFocusEvent *e)
{
    QWidget::focusOutEvent(e);
    m_focused = false;
    m_enterDown = false;
    if (isEnabled() && !m_checked)
        DrawButton(StateUp);
    update();
}

void CandyButton::resizeEvent(QResizeEvent *)
{
    ApplyShape();
    DrawButton(StateUp);
}

void CandyButton::showEvent(QShowEvent *)
{
    ApplyShape();
    DrawButton(StateUp);
}

void CandyButton::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::EnabledChange || e->type() == QEvent::FontChange) {
        notifyChanged();
        DrawButton(StateUp);
    }
    QWidget::changeEvent(e);
}

void CandyButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    m_wdc.paint(p);
    // The keyboard focus is marked on top of the face (the glossy styles draw
    // the focused face like the resting one): a dotted ring inside the edge,
    // light on dark faces and dark on light ones.
    if (hasFocus() && isEnabled() && width() > 8 && height() > 8) {
        const QColor face = QColor::fromRgb(m_wdc.image().pixel(width() / 2, height() / 2));
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(face.lightness() < 128 ? QColor(255, 255, 255, 200) : QColor(0, 0, 0, 170), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        const qreal radius = qMin(height() / 2 - 3, m_radius);
        p.drawRoundedRect(QRectF(rect()).adjusted(3.5, 3.5, -3.5, -3.5), radius, radius);
    }
}

// ---- drawing -----------------------------------------------------------------

std::optional<ColourRef> CandyButton::hostBackColor() const
{
    const QWidget *host = parentWidget();
    if (!host)
        return std::nullopt;
    return fromQColor(host->palette().color(host->backgroundRole()));
}

ColourRef CandyButton::baseColour(int state) const
{
    switch (state) {
    case StateHover: return m_colorHover;
    case StateDown:
    case StateChecked: return m_colorDown;
    default: return m_colorUp;
    }
}

void CandyButton::DrawButton(int state)
{
    if (m_checked)
        state = StateChecked;
    if (!m_ready)
        return;
    // Rendering the host behind the control here would send the host's
    // pending events to its children from inside this one's redraw (and
    // cost a host repaint per hover), so the face is cleared to the host's
    // colour instead.
    m_dc = m_wdc.begin(false);
    if (!m_dc)
        return;
    m_surfaceW = m_wdc.width();
    m_surfaceH = m_wdc.height();
    fill(m_dc, RECT{0, 0, m_surfaceW, m_surfaceH}, hostBackColor().value_or(systemColour(SysButtonFace)));
    switch (m_style) {
    case 0: paintClassic(state); break;
    case 1: paintFlat(state); break;
    case 2:
    case 3:
    case 4:
    case 5:
    case 7: paintCandy(state); break;
    case 6: paintGel(state); break;
    default: break;
    }
    DrawIconWCaption(state);
}

void CandyButton::paintClassic(int state)
{
    HDC dc = m_dc;
    const int W = width() - 1;
    const int H = height() - 1;
    if (auto bg = hostBackColor())
        fill(dc, RECT{0, 0, m_surfaceW, m_surfaceH}, *bg);
    if (state != StateDown) {
        for (int y = 0; y <= H - 3; ++y)
            line(dc, 1, y, W, y, bandColour({255, 255, 255}, {236, 235, 230}, fraction(y, H - 3)));
        for (int i = 0; i <= 3; ++i)
            line(dc, 0, H - 4 + i, W, H - 4 + i, bandColour({236, 235, 230}, {214, 208, 197}, i / 3.0));
    } else {
        for (int i = 0; i <= 3; ++i)
            line(dc, 0, 1 + i, W, 1 + i, bandColour({209, 204, 193}, {229, 228, 221}, i / 3.0));
        for (int y = 4; y <= H - 4; ++y)
            line(dc, 0, y, W, y, bandColour({229, 228, 221}, {226, 226, 218}, fraction(y, H - 6)));
        for (int i = 0; i <= 4; ++i)
            line(dc, 0, H - 4 + i, W, H - 4 + i, bandColour({226, 226, 218}, {242, 241, 238}, i / 3.0));
    }
    if (state == StateFocused)
        classicRim(dc, W, H, {206, 231, 255}, {188, 212, 246}, {137, 173, 228}, {137, 173, 228}, {105, 130, 238});
    else if (state == StateHover)
        classicRim(dc, W, H, {255, 240, 202}, {253, 216, 137}, {248, 178, 48}, {248, 178, 48}, {229, 151, 0});
    classicFrame(dc, W, H, rgbRef(122, 149, 168), rgbRef(37, 87, 131), rgbRef(0, 60, 116));
}

void CandyButton::paintFlat(int state)
{
    HDC dc = m_dc;
    const int W = width() - 1;
    const int H = height() - 1;
    if (auto bg = hostBackColor())
        fill(dc, RECT{0, 0, m_surfaceW, m_surfaceH}, *bg);
    struct Look {
        Rgb top0, top1, mid1, bottom1;
        ColourRef dot, corner, edge;
    };
    static const Look down{{220, 218, 209}, {231, 230, 224}, {225, 224, 216}, {235, 234, 229},
                           rgbRef(215, 215, 204), rgbRef(179, 179, 168), rgbRef(157, 157, 146)};
    static const Look hover{{254, 254, 253}, {252, 252, 249}, {238, 237, 229}, {215, 210, 198},
                            rgbRef(232, 232, 221), rgbRef(216, 216, 205), rgbRef(206, 206, 195)};
    if (state == StateUp || state == StateFocused)
        return;
    if (state == StateChecked) {
        fill(dc, RECT{1, 1, W, H}, kWhite);
        classicFrame(dc, W, H, rgbRef(203, 213, 214), rgbRef(152, 175, 190), rgbRef(122, 152, 175));
        return;
    }
    const Look &k = state == StateDown ? down : hover;
    for (int i = 0; i <= 3; ++i)
        line(dc, 0, 1 + i, W, 1 + i, bandColour(k.top0, k.top1, i / 3.0));
    for (int y = 4; y <= H - 4; ++y)
        line(dc, 0, y, W, y, bandColour(k.top1, k.mid1, fraction(y, H - 6)));
    for (int i = 0; i <= 3; ++i)
        line(dc, 0, H - 4 + i, W, H - 4 + i, bandColour(k.mid1, k.bottom1, i / 3.0));
    classicFrame(dc, W, H, k.dot, k.corner, k.edge);
}

std::optional<CandyButton::CandyParams> CandyButton::candyParams(int style, int W, int H, int R)
{
    const int gx = roundEven(W / 2.0);
    switch (style) {
    case 2: return CandyParams{50, R / 2, 1, W + 2 * R, roundEven(1.1 * R), R / 2, 300, 60, gx, H, 120};
    case 3: {
        const int glowH = H ? std::min(100 - 700 / H, 80) : 80;
        return CandyParams{70, R / 3, 0, W + 2 * R, 12, 10, 200, glowH, gx, H, 130};
    }
    case 4: return CandyParams{70, R / 3 - 1, 0, W + 2 * R, R, R / 2, 200, 70, gx, H, 130};
    case 5: return CandyParams{40, -1 - R / 2, -R, W + 2 * R, R + 1, R, 60, 60, gx, H, 130};
    case 7:
        return CandyParams{50, roundEven(R / 2.0), 2, W - R, R + 1, roundEven(R / 2.0), 60, 60, gx,
                           roundEven(H / 2.0), 100};
    default: return std::nullopt;
    }
}

void CandyButton::paintGlow(ColourRef base, ColourRef bright, const CandyParams &p)
{
    const int W = width();
    const int H = height();
    const int cx = roundEven(W * p.glowWidthPct / 100.0);
    const int cy = roundEven(H * p.glowHeightPct / 100.0);
    if (cx <= 0 || cy <= 0)
        return;
    RECT r{p.glowCentreX - cx, p.glowCentreY - cy, p.glowCentreX + cx, p.glowCentreY + cy};
    const double stepX = cy < cx ? double(cx) / cy : 1.0;
    const double stepY = cy < cx ? 1.0 : double(cy) / cx;
    const int dx = roundEven(stepX);
    const int dy = roundEven(stepY);
    HGDIOBJ oldPen = SelectObject(m_dc, GetStockObject(NULL_PEN));
    ColourRef colour = base;
    int n = 1;
    while (!r.isEmpty()) {
        HBRUSH brush = CreateSolidBrush(colour);
        HGDIOBJ oldBrush = SelectObject(m_dc, brush);
        Ellipse(m_dc, r.left, r.top, r.right, r.bottom);
        SelectObject(m_dc, oldBrush);
        DeleteObject(brush);
        r.left += dx;
        r.right -= dx;
        r.top += dy;
        r.bottom -= dy;
        ++n;
        colour = BlendColors(base, bright, roundEven(double(p.glowStep) * n / cy));
    }
    SelectObject(m_dc, oldPen);
}

void CandyButton::paintCandy(int state)
{
    const int W = width();
    const int H = height();
    const int R = std::max(m_radius, 1);
    const auto params = candyParams(m_style, W, H, R);
    if (!params)
        return;
    const CandyParams &p = *params;
    ColourRef base = baseColour(state);
    ColourRef bright = m_colorBright;
    if (!isEnabled()) {
        base = kDisabledBase;
        bright = kWhite;
    }
    const ColourRef border = m_borderBrightness >= 0 ? BlendColors(base, kWhite, m_borderBrightness)
                                                     : BlendColors(base, kBlack, -m_borderBrightness);
    HRGN shine = CreateRoundRectRgn(p.shineLeft, p.shineTop, p.shineRight, p.shineBottom, 2 * p.shineCorner,
                                    2 * p.shineCorner);
    fill(m_dc, RECT{0, 0, W, H}, base);
    paintGlow(base, bright, p);
    int startX = 0;
    for (int y = 0; y <= H; ++y) {
        const int firstX = startX;
        startX = 0;
        for (int x = firstX; x <= W / 2; ++x) {
            if (!m_innerShape || !PtInRegion(m_innerShape, x, y)) {
                SetPixel(m_dc, x, y, border);
                SetPixel(m_dc, W - x, y, border);
            } else if (PtInRegion(shine, x, y)) {
                line(m_dc, x, y, W - x + 1, y, BlendColors(kWhite, base, (y * p.shineStrength) / R));
                startX = 1; // the row after a shine line is scanned from column 1
                break;
            }
        }
    }
    DeleteObject(shine);
}

void CandyButton::paintGel(int state)
{
    const int W = std::max(roundEven(width() - 1.0), 0);
    const int H = std::max(roundEven(height() - 1.0), 0);
    const int R = std::max(m_radius, 1);
    const ColourRef base = baseColour(state);
    const ColourRef border = BlendColors(kBlack, base, 50);
    const int lensR = (2 * R) / 3;
    ColourRef shineColour = kWhite;
    for (int y = 0; y <= H; ++y) {
        if (y < R)
            shineColour = BlendColors(kWhite, base, (y * 30) / R);
        const int v = H ? std::abs(((2 * y - H) * 100) / H) : 0;
        for (int x = 0; x <= W / 2; ++x) {
            if (InShape(x, y, 1, 1, W - 2, H - 2, R)) {
                const bool lensA = InShape(x, y, 4, 2, W - R, 2 * R - 1, lensR);
                const bool lensB = InShape(x, y, 4, R / 2, W - R, 2 * R - 1, lensR);
                const ColourRef c = (lensB || !lensA) ? BlendColors(base, m_colorBright, v) : shineColour;
                SetPixel(m_dc, x, y, c);
                SetPixel(m_dc, W - x, y, c);
            } else if (InShape(x, y, 0, 0, W, H, R)) {
                SetPixel(m_dc, x, y, border);
                SetPixel(m_dc, W - x, y, border);
            }
        }
    }
}

// ---- picture and caption -------------------------------------------------------

void CandyButton::releasePicture()
{
    if (m_picture) {
        if (m_pictureIsIcon)
            DestroyIcon(m_picture);
        else
            DeleteObject(m_picture);
    }
    m_picture = 0;
    m_pictureIsIcon = false;
    m_pictureW = m_pictureH = 0;
}

void CandyButton::loadPicture()
{
    releasePicture();
    if (m_pictureBytes.isEmpty())
        return;
    QImage img;
    if (!img.loadFromData(m_pictureBytes) || img.isNull())
        return; // a picture of another kind is not drawn
    img = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = img.width();
    const int h = img.height();
    HDC screen = CreateCompatibleDC(0);
    std::uint8_t *bits = nullptr;
    HBITMAP colour = CreateDIBSection(screen, makeBitmapInfo(w, -h, 32), DIB_RGB_COLORS, &bits);
    DeleteDC(screen);
    if (!colour)
        return;
    for (int y = 0; y < h; ++y)
        std::memcpy(bits + std::size_t(y) * w * 4, img.constScanLine(y), std::size_t(w) * 4);
    // Icon files keep their icon nature (drawn with transparency); everything
    // else is a bitmap.
    const bool icon = m_pictureBytes.size() >= 4 && m_pictureBytes[0] == 0 && m_pictureBytes[1] == 0
                      && m_pictureBytes[2] == 1 && m_pictureBytes[3] == 0;
    if (icon) {
        HBITMAP maskBmp = CreateBitmap(w, h, 1, 1);
        ICONINFO info;
        info.hbmColor = colour;
        info.hbmMask = maskBmp;
        m_picture = CreateIconIndirect(info);
        DeleteObject(maskBmp);
        DeleteObject(colour);
        m_pictureIsIcon = m_picture != 0;
    } else {
        m_picture = colour;
    }
    if (m_picture) {
        m_pictureW = w;
        m_pictureH = h;
    }
}

void CandyButton::drawPicture(int state, int x, int y, int w, int h)
{
    if (!m_picture)
        return;
    if (!isEnabled()) {
        DrawStateImage(m_dc, 0, m_picture, x, y, w, h, DSS_DISABLED);
    } else if (state == StateHover && m_iconHighLite) {
        HBRUSH brush = CreateSolidBrush(translateColour(m_iconHighLiteColor));
        DrawStateImage(m_dc, brush, m_picture, x, y, w, h, DSS_MONO);
        DeleteObject(brush);
    } else {
        DrawStateImage(m_dc, 0, m_picture, x, y, w, h, DSS_NORMAL);
    }
}

void CandyButton::DrawIconWCaption(int vState)
{
    if (!m_dc)
        return;
    HFONT font = CreateFontFromQFont(this->font());
    HGDIOBJ oldFont = SelectObject(m_dc, font);
    const int pw = m_picture ? m_pictureW : 0;
    const int ph = m_picture ? m_pictureH : 0;
    int tw = 0, th = 0;
    if (!m_caption.isEmpty()) {
        // Measured as shown, without the prefix marks.
        const SIZE s = GetTextExtentPoint32(m_dc, gdi::stripPrefix(m_caption));
        tw = s.cx;
        th = s.cy;
    }
    const int SW = width();
    const int SH = height();
    const int side = m_radius > 0 ? m_radius : 8;
    int px = 0, py = 0, cx = 0, cy = 0;
    switch (m_pictureAlignment) {
    case 0:
        px = (SW - pw) / 2 + 1;
        py = (SH - (ph + th)) / 2 + 1;
        cx = std::abs(SW / 2 - tw / 2);
        cy = std::abs(SH / 2 + ph / 2 - th / 2);
        break;
    case 1:
        px = (SW - pw) / 2;
        py = (SH - (ph - th)) / 2 + 1;
        cx = std::abs(SW / 2 - tw / 2);
        cy = std::abs(SH / 2 - (ph + th) / 2);
        break;
    case 2:
    case 3:
        px = m_pictureAlignment == 2 ? side : SW - side - pw;
        py = (SH - ph) / 2 + 1;
        cx = std::abs(SW / 2 - tw / 2);
        cy = std::abs(SH / 2 - th / 2);
        break;
    default: break;
    }
    if (vState == StateDown) {
        ++px;
        ++py;
        ++cx;
        ++cy;
    }
    if (!m_caption.isEmpty()) {
        SetBkMode(m_dc, TRANSPARENT);
        if (isEnabled()) {
            const ColourRef colour = vState == StateHover && m_captionHighLite ? m_captionHighLiteColor : m_foreColor;
            SetTextColor(m_dc, translateColour(colour));
            DrawStateText(m_dc, cx, cy, m_caption, DSS_NORMAL);
        } else {
            SetTextColor(m_dc, kWhite);
            DrawStateText(m_dc, cx + 1, cy + 1, m_caption, DSS_NORMAL);
            // The embossed look in a grey that reads at 3:1 or better on the pale
            // disabled face, where the system's shadow grey nearly vanishes.
            SetTextColor(m_dc, kDisabledCaption);
            DrawStateText(m_dc, cx, cy, m_caption, DSS_NORMAL);
        }
    }
    drawPicture(vState, px, py, pw, ph);
    SelectObject(m_dc, oldFont);
    DeleteObject(font);
    // Show the image.
    m_wdc.end();
    m_face = m_wdc.image();
}

WindowButton::WindowButton(QWidget *parent)
    : CandyButton(parent)
{
    installFontSubstitutions();
    setFont(makeFont(QStringLiteral("Tahoma"), 9));
    setForeColor(0xFFFFFF);
    setColorScheme(1);
    setStyle(3);
}

} // namespace controls
