#include "sources/pagesongsload.h"

#include "platform/limits.h"
#include "platform/neterror.h"

#include <QFutureWatcher>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QtConcurrent/QtConcurrentRun>

namespace sources {

PageSongsLoad::PageSongsLoad(QObject *parent) : QObject(parent), m_network(new QNetworkAccessManager(this))
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        if (m_reply)
            fail(platform::deadlineText(m_timeoutMs));
    });
}

PageSongsLoad::~PageSongsLoad()
{
    stop();
}

void PageSongsLoad::start(const QString &address, const QString &attachHostPrefix)
{
    stop();
    m_running = true;
    m_address = address.trimmed();
    m_attachHostPrefix = attachHostPrefix;
    m_finalUrl = QUrl(m_address, QUrl::TolerantMode);
    m_contentType.clear();
    m_body.clear();
    m_kind = Kind::Undecided;
    m_headArrived = false;
    if (!isWebAddress(m_address)) {
        // Reported from the event loop, as every other end of the job is.
        const quint64 generation = m_generation;
        QMetaObject::invokeMethod(
            this,
            [this, address, generation] {
                if (generation == m_generation)
                    fail(QStringLiteral("http 또는 https 주소가 아님: %1").arg(address));
            },
            Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(m_finalUrl);
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

void PageSongsLoad::stop()
{
    ++m_generation;
    m_running = false;
    m_timeout.stop();
    dropReply();
    if (m_build) {
        // The worker finishes on its own (its time is bounded) and its result is dropped.
        m_build->disconnect(this);
        m_build->deleteLater();
        m_build = nullptr;
    }
}

void PageSongsLoad::dropReply()
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

void PageSongsLoad::onMetaData()
{
    if (!m_reply || m_headArrived)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // A redirect that is about to be followed is not the answer yet.
    if (status >= 300 && status < 400 && m_reply->hasRawHeader("Location"))
        return;
    m_headArrived = true;
    m_finalUrl = m_reply->url();
    m_contentType = m_reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    if (status >= 300)
        return; // told when the reply ends
    m_kind = judge(false);
    if (m_kind == Kind::Song || m_kind == Kind::NotPage)
        onFinished();
}

void PageSongsLoad::onReadyRead()
{
    if (!m_reply)
        return;
    if (!m_headArrived)
        onMetaData();
    if (!m_reply)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 300) {
        m_reply->readAll(); // an error page is not read
        return;
    }
    if (m_body.size() + m_reply->bytesAvailable() > limits::kMaxPageBytes) {
        fail(QStringLiteral("페이지가 너무 큼"));
        return;
    }
    m_body += m_reply->readAll();
    if (m_kind == Kind::Undecided && m_body.size() >= kAudioSniffBytes) {
        m_kind = judge(false);
        if (m_kind != Kind::Page)
            onFinished();
    }
}

PageSongsLoad::Kind PageSongsLoad::judge(bool bodyComplete) const
{
    if (isAudioContentType(m_contentType))
        return Kind::Song;
    if (hasMusicExtension(QUrl(m_address, QUrl::TolerantMode)) || hasMusicExtension(m_finalUrl)) {
        if (m_body.size() < kAudioSniffBytes && !bodyComplete)
            return Kind::Undecided;
        if (looksLikeAudio(m_body.left(kAudioSniffBytes)))
            return Kind::Song;
    }
    return mayBePage(m_contentType) ? Kind::Page : Kind::NotPage;
}

void PageSongsLoad::onFinished()
{
    if (!m_reply)
        return;
    m_timeout.stop();
    if (m_kind == Kind::Song || m_kind == Kind::NotPage) {
        PageSongsResult result;
        result.address = m_address;
        if (m_kind == Kind::Song) {
            // The address that answered, after any redirect, names the file.
            result.songs = {m_finalUrl.isValid() ? m_finalUrl.toString(QUrl::FullyEncoded) : m_address};
            result.addressIsSong = true;
        }
        finish(result);
        return;
    }
    const QNetworkReply::NetworkError error = m_reply->error();
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (error != QNetworkReply::NoError) {
        fail(platform::networkErrorText(error, status, m_reply->errorString()));
        return;
    }
    if (status >= 400) {
        fail(platform::networkErrorText(QNetworkReply::NoError, status));
        return;
    }
    if (status >= 300) {
        fail(QStringLiteral("이동할 주소가 없는 응답 HTTP %1").arg(status));
        return;
    }
    if (!m_headArrived)
        onMetaData();
    if (!m_reply)
        return; // the head alone told what the answer is
    if (m_body.size() + m_reply->bytesAvailable() > limits::kMaxPageBytes) {
        fail(QStringLiteral("페이지가 너무 큼"));
        return;
    }
    m_body += m_reply->readAll();
    if (m_kind == Kind::Undecided)
        m_kind = judge(true);
    if (m_kind != Kind::Page) {
        onFinished(); // a song or no page after all
        return;
    }
    dropReply();
    startBuild();
}

void PageSongsLoad::startBuild()
{
    m_build = new BuildWatcher(this);
    BuildWatcher *watcher = m_build;
    const int limitMs = m_buildLimitMs;
    connect(watcher, &BuildWatcher::finished, this, [this, watcher, limitMs] {
        watcher->deleteLater();
        if (watcher != m_build)
            return;
        m_build = nullptr;
        const std::optional<PageSongs> found = watcher->result();
        if (!found) {
            fail(QStringLiteral("페이지를 처리하는 데 %1초를 넘김").arg(platform::secondsText(limitMs)));
            return;
        }
        PageSongsResult result;
        result.address = m_address;
        result.title = found->title;
        result.songs = found->songs;
        finish(result);
    });
    // Relative addresses resolve against the address that answered.
    watcher->setFuture(QtConcurrent::run(
        [bytes = std::move(m_body), type = m_contentType, url = m_finalUrl, prefix = m_attachHostPrefix, limitMs] {
            const QDeadlineTimer deadline(limitMs);
            return findPageSongs(decodeWebPage(bytes, type), url, prefix, deadline);
        }));
    m_body.clear();
}

void PageSongsLoad::finish(PageSongsResult result)
{
    m_running = false;
    m_timeout.stop();
    dropReply();
    emit finished(result);
}

void PageSongsLoad::fail(const QString &error)
{
    PageSongsResult result;
    result.address = m_address;
    result.error = error;
    finish(result);
}

} // namespace sources
