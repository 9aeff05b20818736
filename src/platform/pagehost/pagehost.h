#pragma once
// The hidden web page host: Navigate() starts a load and returns at once;
// Busy() stays true until the new page's document is built; Document() is the
// page last loaded. A failed or timed-out load ends with an empty document and
// failed() true, with the cause in lastError().
//
//   host.Navigate(url);
//   while (host.Busy()) DoEvents();
//   if (host.failed()) show(host.lastError());
//   for (const HtmlElement &a : host.Document().getElementsByTagName("a")) ...
//
// The document is built on a worker thread, so a page that takes the parser
// long keeps no window waiting; one that takes longer than buildLimitMs() is
// a failed load. The same deadline bounds the shaping of a shown page.
#include "platform/pagehost/htmldocument.h"
#include "platform/pagehost/pageshaper.h"

#include <QObject>
#include <QPointer>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
template <typename T> class QFutureWatcher;

namespace platform {

class PageHost : public QObject {
    Q_OBJECT
public:
    explicit PageHost(QObject *parent = nullptr);
    ~PageHost() override;

    // Starts loading; a load still running is abandoned for the new one.
    void Navigate(const QString &url);
    bool Busy() const { return m_busy; }
    HtmlDocument Document() const { return m_document; }
    // For a host that shows its page: each load also shapes the page into
    // simple HTML that lays out in bounded time (pageshaper.h), and a page
    // the shaping refuses is a failed load with the shaper's cause.
    void setShapesPage(bool shapes) { m_shapesPage = shapes; }
    // The shaped page last loaded; empty after a failed load or when the host
    // does not shape.
    QString shownHtml() const { return m_shownHtml; }

    // Whether the last finished load failed, and why (a short Korean cause,
    // such as "연결 거부" or "서버 오류 HTTP 500"); empty after a good load.
    bool failed() const { return !m_lastError.isEmpty(); }
    QString lastError() const { return m_lastError; }
    int lastStatus() const { return m_lastStatus; }
    // Bound on the whole request, from Navigate() to the last byte.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int timeoutMs() const { return m_timeoutMs; }
    // Bound on building the document once the page has arrived.
    void setBuildLimitMs(int ms) { m_buildLimitMs = ms; }
    int buildLimitMs() const { return m_buildLimitMs; }

signals:
    void documentComplete();

private:
    struct Built {
        std::optional<HtmlDocument> document; // none: the parse ran out of time
        ShapedPage shaped;
    };
    using BuildWatcher = QFutureWatcher<Built>;
    void finish(QNetworkReply *reply);
    void startBuild(const QByteArray &bytes, const QByteArray &contentType, const QUrl &url);
    void complete(const HtmlDocument &document, const QString &error);
    void abandonRunningLoad();

    QNetworkAccessManager *m_network;
    QPointer<QNetworkReply> m_reply;
    BuildWatcher *m_build = nullptr;
    QTimer *m_timeout;
    HtmlDocument m_document;
    QString m_shownHtml;
    QString m_lastError;
    int m_lastStatus = 0;
    int m_timeoutMs = 30000;
    int m_buildLimitMs = 10000;
    bool m_busy = false;
    bool m_shapesPage = false;
};

} // namespace platform
