#pragma once
// The internet transfer control: one HTTP GET at a time, read in chunks by a
// caller that pumps the event loop while it waits. Everything runs on the UI
// thread; no call blocks the loop, and every wait has a bound.
//
//   platform::TransferControl ine;
//   ine.Execute(url, "GET");
//   while (ine.StillExecuting()) platform::DoEvents();     // until the response head
//   qint64 size = ine.GetHeader("Content-Length").toLongLong();
//   for (qint64 got = 0; got < size; got += 2048) {
//       QByteArray chunk = ine.GetChunk(2048);   // waits (pumping) for 2048 bytes or the end
//       ...                                       // an empty chunk: the body ended early
//   }
//   if (ine.failed()) ... ine.errorText(), ine.httpStatus() ...
//   ine.Cancel();                                // drop the connection, e.g. after the head
//
// A refused or stalled connection (no byte for timeoutMs(), 30 s by default),
// a reset, a redirect loop or an HTTP status of 300 or more that is not a
// followed redirect (an error, or a redirect without a usable Location) ends
// the transfer in the Failed state, delivering no body. Redirects are followed
// (at most maxRedirects()).
#include "platform/limits.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace platform {

class TransferControl : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle,       // nothing executed yet, or cancelled
        Connecting, // waiting for the response head
        Receiving,  // head arrived, body still coming
        Finished,   // the whole body arrived (it may still be partly unread)
        Failed,     // see errorText() and httpStatus()
    };
    Q_ENUM(State)

    explicit TransferControl(QObject *parent = nullptr);
    ~TransferControl() override;

    // Starts a request; an earlier transfer is cancelled first. Only "GET" is
    // supported: another operation fails at once.
    void Execute(const QString &url, const QString &operation = QStringLiteral("GET"));
    // True while the response head has not arrived (and the transfer has not failed).
    bool StillExecuting() const { return m_state == State::Connecting; }
    // A response header's value (case-insensitive name), empty when absent.
    QString GetHeader(const QString &name) const;
    // Waits, pumping events, until size bytes or the end of the body are there,
    // and returns what there is (empty at the end or after a failure). With
    // `stop`, the wait also ends as soon as an event handler sets it, and
    // the chunk holds what had come by then: a trickling body is never
    // waited for longer than the caller wants.
    QByteArray GetChunk(qint64 size, const bool *stop = nullptr);
    // The same, decoded from CP949; a double-byte character split between two
    // chunks is completed by the next call.
    QString GetChunkText(qint64 size);
    // Drops the connection and whatever was not read.
    void Cancel();

    State state() const { return m_state; }
    bool failed() const { return m_state == State::Failed; }
    QString errorText() const { return m_errorText; }
    int httpStatus() const { return m_httpStatus; } // 0 until a head arrived
    QUrl url() const { return m_url; }              // the address after redirects
    qint64 bytesRead() const { return m_bytesRead; } // body bytes handed to the caller
    // Body bytes that came so far: those handed over and those waiting.
    qint64 bytesArrived() const;

    // Bound on waiting for the connection, the head or the next body bytes.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int timeoutMs() const { return m_timeoutMs; }
    void setMaxRedirects(int n) { m_maxRedirects = n; }
    int maxRedirects() const { return m_maxRedirects; }

signals:
    // The head arrived, the body ended or the transfer failed.
    void stateChanged(platform::TransferControl::State state);

private:
    void onMetaData();
    void onReadyRead();
    void onFinished();
    void onStall();
    void fail(const QString &text);
    void setState(State state);
    void dropReply();
    bool headArrived();

    QNetworkAccessManager *m_manager;
    QPointer<QNetworkReply> m_reply;
    QTimer m_stallTimer;
    QElapsedTimer m_lastProgress; // since the last body bytes or redirect
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QStringDecoder m_textDecoder;
    QUrl m_url;
    State m_state = State::Idle;
    QString m_errorText;
    int m_httpStatus = 0;
    qint64 m_bytesRead = 0;
    quint64 m_generation = 0; // tells a wait that its transfer was replaced
    int m_timeoutMs = 30000;
    int m_maxRedirects = limits::kMaxRedirects;
};

} // namespace platform
