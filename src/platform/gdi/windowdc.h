#pragma once
// The drawing context a control paints its window through: an off-screen
// image of the widget's size, first filled with what lies behind the widget
// (its parent drawn without children), shown on the widget afterwards.
//
//   gdi::WindowDC wdc(this);          // once, in the control
//   HDC dc = wdc.begin();             // image sized to the widget, background filled
//   ... draw with gdi calls on dc ...
//   wdc.end();                        // the widget shows the image at its next paint
//
// The widget's paint events are answered from the image (an event filter);
// a widget that paints itself can instead call paint() from its paintEvent.
// The image rows run top-down (a DIB with a negative height).
#include "platform/gdi/gdi.h"

#include <QImage>
#include <QObject>
#include <QPointer>

class QPainter;
class QWidget;

namespace gdi {

class WindowDC : public QObject {
    Q_OBJECT
public:
    explicit WindowDC(QWidget *widget, bool answerPaintEvents = true);
    ~WindowDC() override;

    // Sizes the image to the widget, fills it with the background and
    // returns the DC (0 when the widget is gone or has no area).
    HDC begin(bool fillBackground = true);
    // Schedules the widget's repaint from the image.
    void end();
    HDC dc() const { return m_dc; }
    HBITMAP bitmap() const { return m_bitmap; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // A copy of the image, opaque.
    QImage image() const;
    void paint(QPainter &p) const;
    // Repaints the image area with what lies behind the widget.
    void fillBackground();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool ensureSize(int w, int h);
    void release();

    QPointer<QWidget> m_widget;
    HDC m_dc = 0;
    HBITMAP m_bitmap = 0;
    HGDIOBJ m_previous = 0;
    std::uint8_t *m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
    bool m_shown = false;
};

// Makes the region the widget's shape (QWidget::setMask) and deletes the
// region, which belongs to the window from then on. Region 0 removes the
// shape. The widget repaints when redraw is true.
bool SetWindowRgn(QWidget *widget, HRGN rgn, bool redraw);

} // namespace gdi
