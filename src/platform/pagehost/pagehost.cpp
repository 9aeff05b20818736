#include "platform/pagehost/pagehost.h"

#include "platform/limits.h"
#include "platform/neterror.h"

#include <QFutureWatcher>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace platform {

PageHost::PageHost(QObject *parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this)), m_timeout(new QTimer(this))
{
    m_timeout->setSingleShot(true);
    connect(m_timeout, &QTimer::timeout, this, [this] {
        if (m_reply) {
            m_lastError = deadlineText(m_timeoutMs);
            m_reply->abort();
        }
    });
}

PageHost::~PageHost()
{
    abandonRunningLoad();
}

// A reply still coming is aborted; a document still being built is left to
// finish on its worker, which drops it (the watcher that would take it is gone).
void PageHost::abandonRunningLoad()
{
    m_timeout->stop();
    if (m_reply) {
        QNetworkReply *old = m_reply;
        m_reply = nullptr;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
    if (m_build) {
        m_build->disconnect(this);
        m_build->deleteLater();
        m_build = nullptr;
    }
}

void PageHost::Navigate(const QString &url)
{
    abandonRunningLoad();
    m_busy = true;
    m_lastError.clear();
    m_shownHtml.clear();
    m_lastStatus = 0;
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(limits::kMaxRedirects);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(limits::kUserAgent));
    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reply](qint64 received, qint64) {
        if (received > limits::kMaxPageBytes) {
            m_lastError = QStringLiteral("페이지가 너무 큼");
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finish(reply); });
    m_timeout->start(m_timeoutMs);
}

void PageHost::finish(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != m_reply)
        return;
    m_timeout->stop();
    m_reply = nullptr;
    m_lastStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || m_lastStatus >= 400) {
        const QString cause = !m_lastError.isEmpty()
                                  ? m_lastError
                                  : networkErrorText(reply->error(), m_lastStatus, reply->errorString());
        complete(HtmlDocument(), cause);
        return;
    }
    startBuild(reply->readAll(), reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), reply->url());
}

void PageHost::startBuild(const QByteArray &bytes, const QByteArray &contentType, const QUrl &url)
{
    m_build = new BuildWatcher(this);
    BuildWatcher *watcher = m_build;
    const int limitMs = m_buildLimitMs;
    const bool shape = m_shapesPage;
    connect(watcher, &BuildWatcher::finished, this, [this, watcher, limitMs] {
        watcher->deleteLater();
        if (watcher != m_build)
            return;
        m_build = nullptr;
        const Built built = watcher->result();
        const QString overtime = QStringLiteral("페이지를 처리하는 데 %1초를 넘김").arg(secondsText(limitMs));
        if (!built.document || built.shaped.timedOut)
            complete(HtmlDocument(), overtime);
        else if (!built.shaped.refusal.isEmpty())
            complete(HtmlDocument(), built.shaped.refusal);
        else {
            m_shownHtml = built.shaped.html;
            complete(*built.document, QString());
        }
    });
    watcher->setFuture(QtConcurrent::run([bytes, contentType, url, limitMs, shape]() -> Built {
        QDeadlineTimer deadline(limitMs);
        Built built;
        built.document = HtmlDocument::parse(decodePageBytes(bytes, contentType), url, deadline);
        if (built.document && shape)
            built.shaped = shapePage(*built.document, deadline);
        return built;
    }));
}

void PageHost::complete(const HtmlDocument &document, const QString &error)
{
    if (!error.isEmpty())
        m_shownHtml.clear();
    m_document = document;
    m_lastError = error;
    m_busy = false;
    emit documentComplete();
}

} // namespace platform
