#pragma once
// One web answer fetched as a job: start(url), then exactly one finished()
// with the result (unless stop() comes first). No event loop is run inside.
//
//   platform::PageFetch fetch;
//   fetch.keepReading = [](const QByteArray &type, const QUrl &url, const QByteArray &first) { return ...; };
//   connect(&fetch, &PageFetch::finished, [](const PageFetch::Result &r) { ... r.body ... });
//   fetch.start(url);
//
// The answer is read within the page limits: limits::kMaxRedirects redirects,
// limits::kMaxPageBytes of body and timeoutMs() from start() to the last byte.
// An HTTP status of 300 or more that is not a followed redirect is a failure.
// Once the first peekBytes() of the body are in (or the whole body, if
// shorter), keepReading (when set) tells whether the rest is wanted; if not,
// the transfer is dropped there and the result holds what came.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace platform {

class PageFetch : public QObject {
    Q_OBJECT
public:
    struct Result {
        QString error;           // the cause of a failure (Korean); empty when the answer came
        int status = 0;          // HTTP status, 0 when none arrived
        QByteArray contentType;  // the Content-Type value
        QUrl url;                // the address that answered, after redirects
        QByteArray body;         // what was read of the body
        bool cutShort = false;   // keepReading wanted no more than the first bytes

        bool failed() const { return !error.isEmpty(); }
    };

    explicit PageFetch(QObject *parent = nullptr);
    ~PageFetch() override;

    // Starts fetching; a fetch still running is dropped without a finished().
    void start(const QUrl &url);
    // Drops the running fetch; no finished() follows.
    void stop();
    bool running() const { return !m_reply.isNull(); }

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int timeoutMs() const { return m_timeoutMs; }
    void setPeekBytes(int bytes) { m_peekBytes = bytes; }
    int peekBytes() const { return m_peekBytes; }

    // Asked once per fetch with the Content-Type, the answering address and
    // the first bytes of the body; false ends the fetch there.
    std::function<bool(const QByteArray &contentType, const QUrl &url, const QByteArray &firstBytes)> keepReading;

signals:
    void finished(const platform::PageFetch::Result &result);

private:
    void onMetaData();
    void onReadyRead();
    void onFinished();
    // Reads what has arrived; false when the fetch ended meanwhile.
    bool take();
    // Asks keepReading once the first bytes are in; false when it ended the fetch.
    bool peek(bool bodyComplete);
    void finish();
    void fail(const QString &error);
    void dropReply();

    QNetworkAccessManager *m_network;
    QPointer<QNetworkReply> m_reply;
    QTimer m_timeout;
    Result m_result;
    bool m_headArrived = false;
    bool m_peeked = false;
    int m_timeoutMs = 30000;
    int m_peekBytes = 16;
};

} // namespace platform
