#include "platform/transfer/pagefetch.h"

#include "platform/limits.h"
#include "platform/neterror.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace platform {

PageFetch::PageFetch(QObject *parent) : QObject(parent), m_network(new QNetworkAccessManager(this))
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] { fail(deadlineText(m_timeoutMs)); });
}

PageFetch::~PageFetch()
{
    stop();
}

void PageFetch::start(const QUrl &url)
{
    stop();
    m_result = Result();
    m_result.url = url;
    m_headArrived = false;
    m_peeked = false;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(limits::kMaxRedirects);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(limits::kUserAgent));
    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] { onMetaData(); });
    connect(reply, &QNetworkReply::readyRead, this, [this] { onReadyRead(); });
    connect(reply, &QNetworkReply::finished, this, [this] { onFinished(); });
    m_timeout.start(m_timeoutMs);
}

void PageFetch::stop()
{
    m_timeout.stop();
    dropReply();
}

void PageFetch::dropReply()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    if (!reply->isFinished())
        reply->abort();
    reply->deleteLater();
}

void PageFetch::onMetaData()
{
    if (!m_reply || m_headArrived)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // A redirect that is about to be followed is not the answer yet.
    if (status >= 300 && status < 400 && m_reply->hasRawHeader("Location"))
        return;
    m_headArrived = true;
    m_result.status = status;
    m_result.url = m_reply->url();
    m_result.contentType = m_reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
}

bool PageFetch::take()
{
    if (!m_headArrived)
        onMetaData();
    if (m_result.status >= 300) {
        m_reply->readAll(); // an error page is not kept
        return true;
    }
    if (m_result.body.size() + m_reply->bytesAvailable() > limits::kMaxPageBytes) {
        fail(QStringLiteral("페이지가 너무 큼"));
        return false;
    }
    m_result.body += m_reply->readAll();
    return true;
}

bool PageFetch::peek(bool bodyComplete)
{
    if (m_peeked || m_result.status >= 300 || (!bodyComplete && m_result.body.size() < m_peekBytes))
        return true;
    m_peeked = true;
    if (!keepReading || keepReading(m_result.contentType, m_result.url, m_result.body.left(m_peekBytes)))
        return true;
    m_result.cutShort = !bodyComplete;
    finish();
    return false;
}

void PageFetch::onReadyRead()
{
    if (m_reply && take())
        peek(false);
}

void PageFetch::onFinished()
{
    if (!m_reply)
        return;
    const QNetworkReply::NetworkError error = m_reply->error();
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (error != QNetworkReply::NoError) {
        fail(networkErrorText(error, status, m_reply->errorString()));
        return;
    }
    if (!take())
        return;
    if (status >= 400) {
        fail(networkErrorText(QNetworkReply::NoError, status));
        return;
    }
    if (status >= 300) {
        fail(QStringLiteral("이동할 주소가 없는 응답 HTTP %1").arg(status));
        return;
    }
    if (peek(true))
        finish();
}

void PageFetch::finish()
{
    m_timeout.stop();
    dropReply();
    emit finished(m_result);
}

void PageFetch::fail(const QString &error)
{
    if (!m_reply)
        return;
    m_result.error = error;
    m_result.body.clear();
    finish();
}

} // namespace platform
