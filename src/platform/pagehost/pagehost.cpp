#include "platform/pagehost/pagehost.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace platform {

namespace {
constexpr qint64 kMaxPageBytes = 16 * 1024 * 1024; // a page larger than this is not a page
constexpr int kMaxRedirects = 5;
}

PageHost::PageHost(QObject *parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this)), m_timeout(new QTimer(this))
{
    m_timeout->setSingleShot(true);
    connect(m_timeout, &QTimer::timeout, this, [this] {
        if (m_reply) {
            m_lastError = QStringLiteral("time-out");
            m_reply->abort();
        }
    });
}

PageHost::~PageHost()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void PageHost::Navigate(const QString &url)
{
    if (m_reply) {
        QNetworkReply *old = m_reply;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
    m_busy = true;
    m_lastError.clear();
    m_lastStatus = 0;
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray("Mozilla/5.0 (compatible; Sorimba 2)"));
    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
        if (received > kMaxPageBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finish(reply); });
    m_timeout->start(m_timeoutMs);
}

void PageHost::finish(QNetworkReply *reply)
{
    m_timeout->stop();
    reply->deleteLater();
    if (reply != m_reply)
        return;
    m_reply = nullptr;
    m_lastStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError) {
        if (m_lastError.isEmpty())
            m_lastError = reply->errorString();
        m_document = HtmlDocument();
    } else {
        const QByteArray bytes = reply->readAll();
        const QByteArray contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        m_document = HtmlDocument::parse(decodePageBytes(bytes, contentType), reply->url());
    }
    m_busy = false;
    emit documentComplete();
}

} // namespace platform
