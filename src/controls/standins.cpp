#include "controls/standins.h"

#include <QMouseEvent>

namespace controls {

StandInLabel::StandInLabel(QWidget *parent) : QLabel(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFont(QFont(QStringLiteral("Gulim"), 9));
    setCaptionINColor(0xFFFFFF);
}

void StandInLabel::setCaptionINColor(quint32 colorRef)
{
    const QColor c(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF);
    setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(c.name()));
}

void StandInLabel::setPointSize(double points)
{
    QFont f = font();
    f.setPointSizeF(points);
    setFont(f);
}

void StandInLabel::setAlignmentCode(int alignment)
{
    const Qt::Alignment h = alignment == 1 ? Qt::AlignRight : alignment == 2 ? Qt::AlignHCenter : Qt::AlignLeft;
    setAlignment(h | Qt::AlignVCenter);
}

void StandInLabel::mousePressEvent(QMouseEvent *event)
{
    const int button = event->button() == Qt::LeftButton ? 1 : event->button() == Qt::RightButton ? 2 : 4;
    emit MouseDown(button, int(event->modifiers() >> 25), float(event->position().x() * 15),
                   float(event->position().y() * 15));
    QLabel::mousePressEvent(event);
}

StandInButton::StandInButton(QWidget *parent) : QPushButton(parent)
{
    setFont(QFont(QStringLiteral("Tahoma"), 9));
    setStyleSheet(QStringLiteral(
        "QPushButton { color: white; border: 1px solid #202020; border-radius: 6px;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #5a5a5a, stop:0.5 #262626, stop:1 #000000); }"
        "QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #6a6a6a, stop:1 #404040); }"
        "QPushButton:pressed { background: #808080; }"
        "QPushButton:disabled { color: #a0a0a0; }"));
    connect(this, &QPushButton::clicked, this, &StandInButton::Click);
}

StandInProgressBar::StandInProgressBar(QWidget *parent) : QProgressBar(parent)
{
    setTextVisible(true);
    update();
}

void StandInProgressBar::setMax(long max)
{
    m_max = max;
    update();
}

void StandInProgressBar::setValue(long value)
{
    m_value = value;
    update();
}

void StandInProgressBar::update()
{
    // The bar shows at most full; a value past the maximum is full.
    QProgressBar::setMaximum(int(qMax(1L, qMin(m_max, 100000000L))));
    QProgressBar::setValue(int(qBound(0L, qMin(m_value, m_max), 100000000L)));
}

} // namespace controls
