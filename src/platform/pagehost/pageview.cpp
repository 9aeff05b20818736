#include "platform/pagehost/pageview.h"

namespace platform {

PageView::PageView(QWidget *parent) : QTextBrowser(parent), m_host(new PageHost(this))
{
    // The page is shown only in the bounded form the host shapes it into:
    // Qt's layout of an arbitrary page can take minutes or overflow the stack.
    m_host->setShapesPage(true);
    setOpenLinks(false);
    setFrameShape(QFrame::NoFrame);
    connect(m_host, &PageHost::documentComplete, this, &PageView::showLoaded);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl &link) {
        // Only web addresses load here; script links and others do nothing.
        const QUrl target = m_host->Document().url().resolved(link);
        if (target.scheme() == QLatin1String("http") || target.scheme() == QLatin1String("https"))
            Navigate(target.toString());
    });
}

void PageView::Navigate(const QString &url)
{
    m_host->Navigate(url);
}

void PageView::setTopReserve(int pixels)
{
    setViewportMargins(0, pixels, 0, 0);
}

void PageView::showLoaded()
{
    if (m_host->failed())
        setHtml(QStringLiteral("<p>페이지를 불러오지 못했습니다 (%1)</p>").arg(m_host->lastError().toHtmlEscaped()));
    else
        setHtml(m_host->shownHtml());
    emit documentComplete();
}

QVariant PageView::loadResource(int, const QUrl &)
{
    return QVariant();
}

} // namespace platform
