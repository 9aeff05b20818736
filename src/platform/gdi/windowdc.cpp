#include "platform/gdi/windowdc.h"

#include "platform/gdi/gdi_p.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>
#include <cstring>

namespace gdi {

WindowDC::WindowDC(QWidget *widget, bool answerPaintEvents) : QObject(widget), m_widget(widget)
{
    if (widget && answerPaintEvents)
        widget->installEventFilter(this);
}

WindowDC::~WindowDC() { release(); }

void WindowDC::release()
{
    if (m_dc) {
        if (m_previous)
            SelectObject(m_dc, m_previous);
        DeleteDC(m_dc);
    }
    if (m_bitmap)
        DeleteObject(m_bitmap);
    m_dc = m_bitmap = m_previous = 0;
    m_bits = nullptr;
    m_width = m_height = 0;
}

bool WindowDC::ensureSize(int w, int h)
{
    if (m_bitmap && w == m_width && h == m_height)
        return true;
    release();
    if (w <= 0 || h <= 0)
        return false;
    m_dc = CreateCompatibleDC(0);
    const BITMAPINFO bi = makeBitmapInfo(w, -h, 32);
    m_bitmap = CreateDIBSection(m_dc, bi, DIB_RGB_COLORS, &m_bits);
    if (!m_dc || !m_bitmap) {
        release();
        return false;
    }
    m_previous = SelectObject(m_dc, m_bitmap);
    m_width = w;
    m_height = h;
    return true;
}

HDC WindowDC::begin(bool fill)
{
    if (!m_widget || !ensureSize(m_widget->width(), m_widget->height()))
        return 0;
    if (fill)
        fillBackground();
    return m_dc;
}

void WindowDC::fillBackground()
{
    if (!m_bits || !m_widget)
        return;
    QImage img(m_bits, m_width, m_height, m_width * 4, QImage::Format_RGB32);
    QWidget *parent = m_widget->parentWidget();
    if (!parent) {
        img.fill(m_widget->palette().color(QPalette::Window));
    } else {
        img.fill(parent->palette().color(QPalette::Window));
        // The parent's own drawing under our rectangle, without its children
        // (which would include this widget).
        QPainter p(&img);
        parent->render(&p, QPoint(0, 0), QRegion(m_widget->geometry()), QWidget::DrawWindowBackground);
    }
    // The drawing layer keeps classic pixels with alpha 0.
    for (int i = 0; i < m_width * m_height; ++i)
        m_bits[std::size_t(i) * 4 + 3] = 0;
}

void WindowDC::end()
{
    m_shown = true;
    if (m_widget)
        m_widget->update();
}

QImage WindowDC::image() const
{
    if (!m_bits)
        return {};
    QImage out(m_width, m_height, QImage::Format_RGB32);
    for (int y = 0; y < m_height; ++y) {
        const std::uint8_t *src = m_bits + std::size_t(y) * m_width * 4;
        QRgb *dst = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < m_width; ++x)
            dst[x] = qRgb(src[x * 4 + 2], src[x * 4 + 1], src[x * 4]);
    }
    return out;
}

void WindowDC::paint(QPainter &p) const
{
    if (m_bits)
        p.drawImage(0, 0, image());
}

bool WindowDC::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_widget && event->type() == QEvent::Paint && m_shown && m_bits) {
        QPainter p(m_widget);
        paint(p);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

bool SetWindowRgn(QWidget *widget, HRGN rgn, bool redraw)
{
    if (!widget)
        return false;
    if (rgn == 0) {
        widget->clearMask();
    } else {
        if (GetObjectType(rgn) != OBJ_REGION)
            return false;
        widget->setMask(regionToQRegion(rgn));
        DeleteObject(rgn);
    }
    if (redraw)
        widget->update();
    return true;
}

} // namespace gdi
