#include "http_server.h"

#include <QMetaObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

namespace portalsim {

namespace {

constexpr qsizetype kMaxHeaderBytes = 64 * 1024;   // a request head larger than this is refused
constexpr qint64 kWriteSlice = 64 * 1024;          // bytes handed to the socket at a time
constexpr qint64 kWriteBacklog = 512 * 1024;       // stop filling while this much is queued
constexpr int kThrottleTickMs = 50;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

bool parseRequestHead(const QByteArray &head, Request &out)
{
    const QList<QByteArray> lines = head.split('\n');
    if (lines.isEmpty())
        return false;
    const QList<QByteArray> first = lines.first().trimmed().split(' ');
    if (first.size() < 2)
        return false;
    out.method = first[0];
    out.target = first[1];
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        out.headers.append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
    }
    QByteArray rest = out.target;
    // An absolute-form target ("http://host/path") is reduced to its path.
    if (rest.startsWith("http://")) {
        const qsizetype slash = rest.indexOf('/', 7);
        rest = slash < 0 ? QByteArray("/") : rest.mid(slash);
    }
    const qsizetype q = rest.indexOf('?');
    out.path = q < 0 ? rest : rest.left(q);
    out.query = q < 0 ? QByteArray() : rest.mid(q + 1);
    if (out.path.startsWith("/_v/")) {
        const qsizetype end = out.path.indexOf('/', 4);
        const QByteArray names = end < 0 ? out.path.mid(4) : out.path.mid(4, end - 4);
        out.variants = names.split(',');
        out.path = end < 0 ? QByteArray("/") : out.path.mid(end);
    }
    return true;
}

// One client connection: reads requests one after another (keep-alive) and
// writes each response, streaming large bodies as the socket drains.
class Connection : public QObject {
public:
    Connection(QTcpSocket *socket, HttpServer *server) : m_socket(socket), m_server(server)
    {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this] { onReadable(); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this] { pumpBody(); });
        connect(socket, &QTcpSocket::disconnected, this, [this] { deleteLater(); });
        m_throttle.setInterval(kThrottleTickMs);
        connect(&m_throttle, &QTimer::timeout, this, [this] {
            m_allowance += m_response.msPerByte > 0 ? 1 : qMax<qint64>(1, m_response.bytesPerSecond * kThrottleTickMs / 1000);
            pumpBody();
        });
    }

private:
    void onReadable()
    {
        m_input += m_socket->readAll();
        if (!m_responding)
            startNextRequest();
    }

    void startNextRequest()
    {
        const qsizetype end = m_input.indexOf("\r\n\r\n");
        if (end < 0) {
            if (m_input.size() > kMaxHeaderBytes)
                m_socket->abort();
            return;
        }
        const QByteArray head = m_input.left(end);
        m_input.remove(0, end + 4);
        Request request;
        if (!parseRequestHead(head, request)) {
            m_socket->abort();
            return;
        }
        m_closeAfter = request.header("connection").toLower() == "close";
        m_responding = true;
        m_response = m_server->handle(request);
        if (m_response.delayMs > 0)
            QTimer::singleShot(m_response.delayMs, this, [this] { writeHead(); });
        else
            writeHead();
    }

    void writeHead()
    {
        const Response &r = m_response;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reasonPhrase(r.status) + "\r\n";
        if (!r.contentType.isEmpty())
            head += "Content-Type: " + r.contentType + "\r\n";
        for (const auto &h : r.extraHeaders)
            head += h.first + ": " + h.second + "\r\n";
        if (r.sendContentLength)
            head += "Content-Length: " + QByteArray::number(r.announcedLength >= 0 ? r.announcedLength : r.bodySize()) + "\r\n";
        else
            m_closeAfter = true; // the end of the body is the end of the connection
        head += m_closeAfter ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
        head += "\r\n";
        m_socket->write(head);
        m_sent = 0;
        m_limit = r.bodySize();
        if (r.cutAfter >= 0 && r.cutAfter < m_limit)
            m_limit = r.cutAfter;
        m_allowance = 0;
        if (r.bytesPerSecond > 0 || r.msPerByte > 0)
            m_throttle.start(r.msPerByte > 0 ? r.msPerByte : kThrottleTickMs);
        pumpBody();
    }

    void pumpBody()
    {
        if (!m_responding)
            return;
        const Response &r = m_response;
        while (m_sent < m_limit && m_socket->bytesToWrite() < kWriteBacklog) {
            qint64 n = qMin(kWriteSlice, m_limit - m_sent);
            if (r.bytesPerSecond > 0 || r.msPerByte > 0) {
                n = qMin(n, m_allowance);
                if (n <= 0)
                    return;
                m_allowance -= n;
            }
            if (r.streamSize >= 0) {
                m_slice.resize(n);
                r.generate(m_sent, m_slice.data(), n);
                m_socket->write(m_slice.constData(), n);
            } else {
                m_socket->write(r.body.constData() + m_sent, n);
            }
            m_sent += n;
        }
        if (m_sent < m_limit)
            return;
        finishResponse();
    }

    void finishResponse()
    {
        m_throttle.stop();
        m_responding = false;
        const bool cut = m_limit < m_response.bodySize();
        if (cut && m_response.resetAtCut) {
            m_socket->flush();
            m_socket->abort();
            return;
        }
        if (cut || m_closeAfter || m_response.announcedLength >= 0) {
            m_socket->disconnectFromHost();
            return;
        }
        m_response = Response();
        if (!m_input.isEmpty())
            startNextRequest();
    }

    QTcpSocket *m_socket;
    HttpServer *m_server;
    QByteArray m_input;
    QByteArray m_slice;
    Response m_response;
    QTimer m_throttle;
    qint64 m_sent = 0;
    qint64 m_limit = 0;
    qint64 m_allowance = 0;
    bool m_responding = false;
    bool m_closeAfter = false;
};

class Listener : public QTcpServer {
public:
    explicit Listener(HttpServer *server) : m_server(server) {}

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket;
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        auto *connection = new Connection(socket, m_server);
        connection->setParent(this); // ended with the listener
    }

private:
    HttpServer *m_server;
};

} // namespace

QByteArray Request::header(const QByteArray &name) const
{
    const QByteArray key = name.toLower();
    for (const auto &h : headers)
        if (h.first == key)
            return h.second;
    return {};
}

QByteArray Request::queryValue(const QByteArray &name) const
{
    for (const QByteArray &pair : query.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        if (eq >= 0 && pair.left(eq) == name)
            return pair.mid(eq + 1);
        if (eq < 0 && pair == name)
            return {};
    }
    return {};
}

Response Response::notFound()
{
    Response r;
    r.status = 404;
    r.body = "<html><body>not found</body></html>";
    return r;
}

HttpServer::HttpServer() = default;

HttpServer::~HttpServer()
{
    stop();
}

void HttpServer::route(const QByteArray &pathPrefix, Handler handler)
{
    m_routes.append({pathPrefix, std::move(handler)});
}

quint16 HttpServer::start(const QHostAddress &address, quint16 port)
{
    if (m_thread)
        return m_port;
    m_address = address;
    m_thread = new QThread;
    m_thread->setObjectName("portal-sim");
    m_thread->start();
    auto *listener = new Listener(this);
    listener->moveToThread(m_thread);
    m_listener = listener;
    quint16 bound = 0;
    QMetaObject::invokeMethod(listener, [&] {
        if (listener->listen(address, port))
            bound = listener->serverPort();
    }, Qt::BlockingQueuedConnection);
    m_port = bound;
    if (!bound)
        stop();
    return bound;
}

void HttpServer::stop()
{
    if (!m_thread)
        return;
    QObject *listener = m_listener;
    QMetaObject::invokeMethod(listener, [listener] {
        static_cast<QTcpServer *>(listener)->close();
        delete listener; // and with it every open connection
    }, Qt::BlockingQueuedConnection);
    m_listener = nullptr;
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_port = 0;
}

QString HttpServer::baseUrl() const
{
    return QStringLiteral("http://%1:%2").arg(m_address.toString()).arg(m_port);
}

QList<Request> HttpServer::requests() const
{
    QMutexLocker lock(&m_logMutex);
    return m_log;
}

void HttpServer::clearRequests()
{
    QMutexLocker lock(&m_logMutex);
    m_log.clear();
}

Response HttpServer::handle(const Request &request)
{
    {
        QMutexLocker lock(&m_logMutex);
        m_log.append(request);
    }
    const RouteEntry *best = nullptr;
    for (const RouteEntry &r : m_routes)
        if (request.path.startsWith(r.prefix) && (!best || r.prefix.size() > best->prefix.size()))
            best = &r;
    Response response = best ? best->handler(request) : Response::notFound();
    applyMisbehaviour(request, response);
    return response;
}

// Failures any address can be asked for with a variant, on top of what its
// route answers: fail (HTTP 500), hang (no answer for ten minutes), drip (the
// body at the slowest rate), truncated and reset (the body stops half-way,
// closed or reset), rateN (the body at N KB/s).
void HttpServer::applyMisbehaviour(const Request &request, Response &r)
{
    if (request.hasVariant("fail")) {
        r = Response();
        r.status = 500;
        r.body = "server error";
    }
    if (request.hasVariant("hang"))
        r.delayMs = 10 * 60 * 1000;
    if (request.hasVariant("drip"))
        r.bytesPerSecond = 1;
    // rateN: the body at N KB per second.
    for (const QByteArray &v : request.variants)
        if (v.startsWith("rate") && v.mid(4).toInt() > 0)
            r.bytesPerSecond = v.mid(4).toInt() * 1024;
    if ((request.hasVariant("truncated") || request.hasVariant("reset")) && r.cutAfter < 0)
        r.cutAfter = r.bodySize() / 2;
    if (request.hasVariant("reset"))
        r.resetAtCut = true;
}

} // namespace portalsim
