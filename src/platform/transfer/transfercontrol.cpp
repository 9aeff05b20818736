#include "platform/transfer/transfercontrol.h"

#include "platform/limits.h"
#include "platform/neterror.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace platform {

namespace {

// How much of the body the reply may hold ahead of the reader. Large enough
// that the network side keeps reading in big slices while a reader takes 2 KB
// at a time; small enough that an unread download does not pile up in memory
// and stays in cache. 1 MB measured best on a 200 MB loopback download
// (64 KB starves the reader, 16 MB is markedly slower).
constexpr qint64 kReadAheadBytes = 1024 * 1024;

QByteArray headerValue(const QList<QNetworkReply::RawHeaderPair> &headers, const QByteArray &name)
{
    for (const auto &h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

} // namespace

TransferControl::TransferControl(QObject *parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this)), m_textDecoder("windows-949")
{
    m_manager->setAutoDeleteReplies(false);
    m_stallTimer.setSingleShot(true);
    connect(&m_stallTimer, &QTimer::timeout, this, [this] { onStall(); });
}

TransferControl::~TransferControl()
{
    dropReply();
}

void TransferControl::Execute(const QString &url, const QString &operation)
{
    dropReply();
    ++m_generation;
    m_headers.clear();
    m_errorText.clear();
    m_httpStatus = 0;
    m_bytesRead = 0;
    m_textDecoder = QStringDecoder("windows-949");
    m_url = QUrl(url, QUrl::TolerantMode);
    m_state = State::Connecting;

    if (operation.compare(QLatin1String("GET"), Qt::CaseInsensitive) != 0) {
        fail(QStringLiteral("지원하지 않는 요청: %1").arg(operation));
        return;
    }
    const QString scheme = m_url.scheme().toLower();
    if (!m_url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        || m_url.host().isEmpty()) {
        fail(QStringLiteral("잘못된 주소: %1").arg(url));
        return;
    }

    QNetworkRequest request(m_url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(m_maxRedirects);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    // The body is stored byte for byte and compared with Content-Length, so
    // no transparent decompression.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(limits::kUserAgent));

    m_reply = m_manager->get(request);
    m_reply->setReadBufferSize(kReadAheadBytes);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] { onMetaData(); });
    connect(m_reply, &QNetworkReply::readyRead, this, [this] { onReadyRead(); });
    connect(m_reply, &QNetworkReply::finished, this, [this] { onFinished(); });
    connect(m_reply, &QNetworkReply::redirected, this, [this] { m_lastProgress.start(); });
    m_lastProgress.start();
    m_stallTimer.start(m_timeoutMs);
}

QString TransferControl::GetHeader(const QString &name) const
{
    return QString::fromLatin1(headerValue(m_headers, name.toLatin1()));
}

QByteArray TransferControl::GetChunk(qint64 size, const bool *stop)
{
    if (size <= 0)
        return {};
    const quint64 generation = m_generation;
    // The stall timer bounds this loop: it fails the transfer when nothing
    // arrives for timeoutMs(); Cancel() or a new Execute() during a pump ends
    // it too, and so does the caller's stop flag.
    while (generation == m_generation && m_reply && !(stop && *stop)
           && (m_state == State::Connecting || m_state == State::Receiving)
           && m_reply->bytesAvailable() < size) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    if (generation != m_generation || !m_reply || m_state == State::Connecting)
        return {};
    QByteArray chunk = m_reply->read(size);
    m_bytesRead += chunk.size();
    return chunk;
}

qint64 TransferControl::bytesArrived() const
{
    return m_bytesRead + (m_reply ? m_reply->bytesAvailable() : 0);
}

QString TransferControl::GetChunkText(qint64 size)
{
    return m_textDecoder.decode(GetChunk(size));
}

void TransferControl::Cancel()
{
    ++m_generation;
    dropReply();
    if (m_state == State::Connecting || m_state == State::Receiving)
        setState(State::Idle);
}

void TransferControl::onMetaData()
{
    if (!m_reply || m_state != State::Connecting)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // A redirect that Qt is about to follow is not the answer yet.
    if (status >= 300 && status < 400 && m_reply->hasRawHeader("Location"))
        return;
    headArrived();
}

void TransferControl::onReadyRead()
{
    // Restarting the timer for every slice of the body costs more than
    // noting the time; the timer looks at it when it fires.
    m_lastProgress.start();
    if (m_state == State::Connecting)
        headArrived();
}

void TransferControl::onFinished()
{
    m_stallTimer.stop();
    if (!m_reply || (m_state != State::Connecting && m_state != State::Receiving))
        return;
    const QNetworkReply::NetworkError error = m_reply->error();
    if (error == QNetworkReply::TooManyRedirectsError || error == QNetworkReply::InsecureRedirectError) {
        fail(networkErrorText(error, 0, m_reply->errorString()));
        return;
    }
    if (m_state == State::Connecting && m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) {
        if (!headArrived())
            return;
    }
    if (error != QNetworkReply::NoError) {
        // Bytes that arrived before a reset or a cut stay readable.
        fail(networkErrorText(error, 0, m_reply->errorString()));
        return;
    }
    if (m_state == State::Connecting) {
        fail(QStringLiteral("응답이 없습니다"));
        return;
    }
    setState(State::Finished);
}

void TransferControl::onStall()
{
    if (!m_reply || (m_state != State::Connecting && m_state != State::Receiving))
        return;
    const qint64 quiet = m_lastProgress.elapsed();
    if (quiet < m_timeoutMs) {
        m_stallTimer.start(int(m_timeoutMs - quiet));
        return;
    }
    // A full read-ahead buffer means the reader is behind, not the server.
    if (m_reply->bytesAvailable() >= kReadAheadBytes) {
        m_stallTimer.start(m_timeoutMs);
        return;
    }
    const bool connecting = m_state == State::Connecting;
    fail(connecting ? timeoutText(m_timeoutMs) : QStringLiteral("전송이 멈춤 (%1초)").arg((m_timeoutMs + 500) / 1000));
    // The reply is kept (without its signals) so that the bytes that came stay
    // readable; the next Execute() or Cancel() closes the connection.
    m_reply->disconnect(this);
}

// Records the response head; false when it is an HTTP error status, which
// fails the transfer and drops the body.
bool TransferControl::headArrived()
{
    m_headers = m_reply->rawHeaderPairs();
    m_httpStatus = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    m_url = m_reply->url();
    if (m_httpStatus >= 300) {
        fail(m_httpStatus >= 400 ? networkErrorText(QNetworkReply::NoError, m_httpStatus)
                                 : QStringLiteral("이동할 주소가 없는 응답 HTTP %1").arg(m_httpStatus));
        dropReply();
        return false;
    }
    setState(m_reply->isFinished() ? State::Finished : State::Receiving);
    return true;
}

void TransferControl::fail(const QString &text)
{
    m_stallTimer.stop();
    m_errorText = text;
    setState(State::Failed);
}

void TransferControl::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void TransferControl::dropReply()
{
    m_stallTimer.stop();
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    // A reply that has reported an error is closing already; a second abort
    // only makes Qt complain.
    if (!reply->isFinished() && reply->error() == QNetworkReply::NoError)
        reply->abort();
    reply->deleteLater();
}

} // namespace platform
