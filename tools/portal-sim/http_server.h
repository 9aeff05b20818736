#pragma once
// A small HTTP/1.1 server on a loopback address, running on its own thread so
// that it answers whether or not the client side pumps its event loop. Routes
// are matched by path prefix; a handler turns a request into a response that
// can also misbehave on purpose (slow, cut short, wrong length, no length,
// reset) for failure tests.
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QThread;

namespace portalsim {

struct Request {
    QByteArray method;
    QByteArray target;   // as received: path and query, with any variant prefix
    QByteArray path;     // path without the variant prefix and without the query
    QByteArray query;    // text after '?', empty when none
    QList<QByteArray> variants; // from a leading "/_v/name1,name2" segment
    QList<QPair<QByteArray, QByteArray>> headers;

    bool hasVariant(const char *name) const { return variants.contains(QByteArray(name)); }
    QByteArray header(const QByteArray &name) const;
    // Query parameter by name, percent-decoding left to the caller.
    QByteArray queryValue(const QByteArray &name) const;
};

struct Response {
    int status = 200;
    QByteArray contentType = "text/html; charset=euc-kr";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> extraHeaders; // e.g. Location

    // A large body produced on demand instead of held in memory.
    qint64 streamSize = -1;
    std::function<void(qint64 offset, char *dst, qint64 count)> generate;

    // Misbehaviour switches.
    bool sendContentLength = true;
    qint64 announcedLength = -1; // overrides the Content-Length value when >= 0
    qint64 cutAfter = -1;        // stop sending after this many body bytes
    bool resetAtCut = false;     // abort the connection there instead of closing it
    int delayMs = 0;             // wait before answering
    int bytesPerSecond = 0;      // throttle the body; 0 is full speed
    int msPerByte = 0;           // slower still: one body byte every this many ms

    qint64 bodySize() const { return streamSize >= 0 ? streamSize : body.size(); }
    static Response notFound();
};

using Handler = std::function<Response(const Request &)>;

class HttpServer {
public:
    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Routes are added before start(); the longest matching prefix wins.
    void route(const QByteArray &pathPrefix, Handler handler);

    // Listens on the address and port (0 picks a free port); returns the port,
    // or 0 when the server could not listen.
    quint16 start(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0);
    void stop();

    quint16 port() const { return m_port; }
    QString baseUrl() const; // "http://127.0.0.1:PORT"

    // Every request received, oldest first.
    QList<Request> requests() const;
    void clearRequests();

    // Used by the connection objects on the server thread.
    Response handle(const Request &request);

private:
    static void applyMisbehaviour(const Request &request, Response &r);
    struct RouteEntry {
        QByteArray prefix;
        Handler handler;
    };
    QList<RouteEntry> m_routes;
    mutable QMutex m_logMutex;
    QList<Request> m_log;
    QThread *m_thread = nullptr;
    QObject *m_listener = nullptr;
    QHostAddress m_address;
    quint16 m_port = 0;
};

} // namespace portalsim
