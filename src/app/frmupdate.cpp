#include "app/frmupdate.h"

#include "app/windowplace.h"
#include "platform/desktop.h"
#include "platform/twips.h"
#include "sources/endpoints.h"

#include <QApplication>
#include <QCloseEvent>
#include <QResizeEvent>

namespace app {

using platform::px;
using platform::twipRect;

FrmUpdate::FrmUpdate(std::function<void()> next, QWidget *parent) : QWidget(parent), m_next(std::move(next))
{
    setAttribute(Qt::WA_DeleteOnClose);
    controls::setUpWindow(this, QStringLiteral("FrmUpdate"), QStringLiteral("업데이트 내용"));
    // Sizable, with minimise and maximise buttons: an ordinary top-level window.
    setWindowFlags(Qt::Window);
    resize(px(12870), px(9870));
    // The labels see the window's colour behind them; the page view shows the
    // same colour in the band it keeps free for them.
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(32, 34, 40));
    setPalette(pal);

    W = new platform::PageView(this);
    W->setObjectName(QStringLiteral("W"));
    W->setGeometry(0, 0, width(), height());
    W->setTopReserve(px(840 + 255) + 2); // below the last label

    const controls::WindowDefinition definition = controls::loadWindowDefinition(QStringLiteral(":/forms/frmUpdate.def"));
    // The labels lie over the page host's top band; they are made after it so
    // that they stay on top and the second one can be clicked.
    lblPartner = controls::makeLabel(this, definition, QStringLiteral("lblPartner"), twipRect(120, 0, 3975, 495));
    lblSite = controls::makeLabel(this, definition, QStringLiteral("lblSite"), twipRect(120, 360, 6735, 255));
    lblRead = controls::makeLabel(this, definition, QStringLiteral("lblRead"), twipRect(120, 600, 4815, 255));
    lblBugs = controls::makeLabel(this, definition, QStringLiteral("lblBugs"), twipRect(120, 840, 5895, 255));
    lblSite->setCursor(Qt::PointingHandCursor);
    connect(lblSite, &controls::SkinLabel::MouseDown, this, [this] { lblSite_MouseDown(); });
}

void FrmUpdate::Load()
{
    W->Navigate(sources::MakerCategoryURL());
    centreOnScreen(this);
    show();
}

void FrmUpdate::lblSite_MouseDown()
{
    // The desktop's browser opens the home page; this window stays open.
    platform::Desktop::openUrl(QUrl(sources::MakerPageURL()));
}

void FrmUpdate::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    W->setGeometry(0, 0, width(), height());
}

void FrmUpdate::closeEvent(QCloseEvent *event)
{
    if (W->Busy()) {
        // Refused while the page loads.
        event->ignore();
        QApplication::beep();
        return;
    }
    event->accept();
    if (m_closed)
        return;
    m_closed = true;
    if (m_next)
        m_next();
}

} // namespace app
