#include "download/focusmark.h"

#include <QEvent>
#include <QPainter>

namespace download {

namespace {
constexpr int kMargin = 1; // the mark lies just outside the control, clear of the seek label above
} // namespace

FocusMark::FocusMark(QWidget *window) : QWidget(window)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void FocusMark::watch(QWidget *control)
{
    control->installEventFilter(this);
}

bool FocusMark::eventFilter(QObject *watched, QEvent *event)
{
    auto *control = static_cast<QWidget *>(watched);
    switch (event->type()) {
    case QEvent::FocusIn:
        follow(control);
        break;
    case QEvent::FocusOut:
    case QEvent::Hide:
        if (control == m_target)
            hide();
        break;
    case QEvent::Move:
    case QEvent::Resize:
        if (control == m_target && isVisible())
            follow(control);
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void FocusMark::follow(QWidget *control)
{
    m_target = control;
    setGeometry(control->geometry().adjusted(-kMargin, -kMargin, kMargin, kMargin));
    raise();
    show();
    update();
}

void FocusMark::paintEvent(QPaintEvent *)
{
    // A light ring with a dark edge on both sides reads on the dark bar and
    // on light pictures alike.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF ring = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(QPen(QColor(0, 0, 0, 160), 3));
    p.drawRoundedRect(ring, 4, 4);
    p.setPen(QPen(QColor(255, 236, 120), 1.5));
    p.drawRoundedRect(ring, 4, 4);
}

} // namespace download
