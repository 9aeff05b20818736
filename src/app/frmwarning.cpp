#include "app/frmwarning.h"

#include "app/noticesetting.h"
#include "app/windowplace.h"
#include "platform/twips.h"

#include <QCloseEvent>

namespace app {

using platform::px;
using platform::twipRect;

frmWarning::frmWarning(std::function<void()> next, QWidget *parent) : QWidget(parent), m_next(std::move(next))
{
    setAttribute(Qt::WA_DeleteOnClose);
    controls::setUpWindow(this, QStringLiteral("frmWarning"), QStringLiteral("사용 전 주의 사항 [닫기 = 동의]"));
    controls::useFixedSingleBorder(this, QSize(px(5850), px(1980)));
    controls::useWhiteBackground(this);
    const controls::WindowDefinition definition = controls::loadWindowDefinition(QStringLiteral(":/forms/frmWarning.def"));
    picBack = controls::makePicture(this, QStringLiteral(":/pictures/notice_back.jpg"), twipRect(120, 120, 5610, 1350));
    aicAlphaImage1 = controls::makeImage(this, definition, QStringLiteral("aicAlphaImage1"), twipRect(600, 480, 720, 720));
    lblNotice1 = controls::makeLabel(this, definition, QStringLiteral("lblNotice1"), twipRect(1680, 480, 4095, 255));
    lblNotice2 = controls::makeLabel(this, definition, QStringLiteral("lblNotice2"), twipRect(1680, 720, 4095, 255));
    lblNotice3 = controls::makeLabel(this, definition, QStringLiteral("lblNotice3"), twipRect(1680, 960, 3855, 255));
    picLower = controls::makePicture(this, QStringLiteral(":/pictures/notice_lower.jpg"), twipRect(135, 1400, 5550, 600));
}

void frmWarning::Load()
{
    centreOnScreen(this);
    show();
}

void frmWarning::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_closed)
        return;
    m_closed = true;
    // Closing the notice is the user's agreement.
    storeNoticeAgreed();
    if (m_next)
        m_next();
}

} // namespace app
