#pragma once
// The hidden web page host: Navigate() starts a load and returns at once;
// Busy() stays true until the new page's document is built; Document() is the
// page last loaded. A failed or timed-out load ends with an empty document.
//
//   host.Navigate(url);
//   while (host.Busy()) DoEvents();
//   for (const HtmlElement &a : host.Document().getElementsByTagName("a")) ...
#include "platform/pagehost/htmldocument.h"

#include <QObject>
#include <QPointer>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

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

    // Why the last load gave an empty document; empty after a good load.
    QString lastError() const { return m_lastError; }
    int lastStatus() const { return m_lastStatus; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

signals:
    void documentComplete();

private:
    void finish(QNetworkReply *reply);

    QNetworkAccessManager *m_network;
    QPointer<QNetworkReply> m_reply;
    QTimer *m_timeout;
    HtmlDocument m_document;
    QString m_lastError;
    int m_lastStatus = 0;
    int m_timeoutMs = 30000;
    bool m_busy = false;
};

} // namespace platform
