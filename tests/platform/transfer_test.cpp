// Transfer control against the in-process portal simulator over real HTTP.
#include "support/media.h"
#include "platform/transfer/transfercontrol.h"
#include "portal-sim/portal.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStringDecoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using platform::TransferControl;
using State = TransferControl::State;

using testsupport::mediaFile;

// Pumps events until the condition holds or the deadline passes.
template <typename Pred>
bool pumpUntil(Pred pred, int ms = 5000)
{
    QDeadlineTimer deadline(ms);
    while (!pred() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    return pred();
}

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(portal.start()); }

    // Executes, waits for the head, then reads 2 KB chunks as the download
    // loop does until an empty chunk (bounded).
    QByteArray fetch(TransferControl &ine, const QString &path)
    {
        ine.Execute(portal.baseUrl() + path, QStringLiteral("GET"));
        EXPECT_TRUE(pumpUntil([&] { return !ine.StillExecuting(); })) << path.toStdString();
        QByteArray all;
        for (int i = 0; i < 100000; ++i) {
            const QByteArray chunk = ine.GetChunk(2048);
            if (chunk.isEmpty())
                break;
            EXPECT_LE(chunk.size(), 2048);
            all += chunk;
        }
        return all;
    }

    portalsim::Portal portal;
};

TEST_F(TransferTest, WholeFileInChunksWithItsLength)
{
    struct Case {
        const char *path;
        const char *file;
    };
    const Case cases[] = {
        {"/files/tone30s-32k.mp3", "tone30s-32k.mp3"},
        {"/media/TONE3S.MP3", "tone3s-128k.mp3"},
        {"/files/%B3%EB%B7%A1.mp3", "tone3s-128k.mp3"},   // CP949-escaped Korean name
        {"/files/tone1s.wav", "tone1s.wav"},
        {"/_v/redirect/files/tone1s.wav", "tone1s.wav"},
    };
    TransferControl ine;
    for (const Case &c : cases) {
        const QByteArray expected = mediaFile(c.file);
        ASSERT_FALSE(expected.isEmpty());
        EXPECT_EQ(fetch(ine, QLatin1String(c.path)), expected) << c.path;
        EXPECT_EQ(ine.state(), State::Finished) << c.path;
        EXPECT_EQ(ine.httpStatus(), 200);
        EXPECT_EQ(ine.GetHeader(QStringLiteral("content-length")).toLongLong(), expected.size());
        EXPECT_EQ(ine.bytesRead(), expected.size());
    }
    EXPECT_EQ(ine.url().path(), QStringLiteral("/files/tone1s.wav")); // after the redirect
}

TEST_F(TransferTest, MisbehavingServersEndInAClearState)
{
    const qint64 wav = mediaFile("tone1s.wav").size();
    struct Case {
        const char *path;
        State state;
        int status;
        qint64 minBytes, maxBytes;
        bool hasLength;
    };
    const Case cases[] = {
        {"/_v/nolength/files/tone1s.wav", State::Finished, 200, wav, wav, false},
        {"/_v/truncated/files/tone1s.wav", State::Failed, 200, wav / 2, wav / 2, true},
        {"/_v/longer/files/tone1s.wav", State::Failed, 200, wav, wav, true},
        {"/_v/reset/files/tone1s.wav", State::Failed, 200, 0, wav / 2, true},
        {"/_v/fail/files/tone1s.wav", State::Failed, 500, 0, 0, true},      // no error page as body
        {"/files/missing.mp3", State::Failed, 404, 0, 0, true},
        {"/_v/loop/files/tone1s.wav", State::Failed, 0, 0, 0, false},       // redirects are bounded
        {"/files/empty.mp3", State::Finished, 200, 0, 0, true},
    };
    TransferControl ine;
    for (const Case &c : cases) {
        const QByteArray body = fetch(ine, QLatin1String(c.path));
        pumpUntil([&] { return ine.state() == State::Finished || ine.state() == State::Failed; });
        EXPECT_EQ(ine.state(), c.state) << c.path;
        EXPECT_EQ(ine.httpStatus(), c.status) << c.path;
        EXPECT_GE(body.size(), c.minBytes) << c.path;
        EXPECT_LE(body.size(), c.maxBytes) << c.path;
        EXPECT_EQ(!ine.GetHeader(QStringLiteral("Content-Length")).isEmpty(), c.hasLength) << c.path;
        EXPECT_EQ(ine.failed(), !ine.errorText().isEmpty()) << c.path;
    }
}

TEST_F(TransferTest, StalledAndRefusedConnectionsFailWithinTheBound)
{
    TransferControl ine;
    ine.setTimeoutMs(300);

    // No answer at all: the head never comes.
    ine.Execute(portal.baseUrl() + QStringLiteral("/_v/hang/files/tone1s.wav"));
    EXPECT_TRUE(pumpUntil([&] { return !ine.StillExecuting(); }, 3000));
    EXPECT_TRUE(ine.failed());
    EXPECT_TRUE(ine.GetChunk(2048).isEmpty());

    // The head and a few bytes come, then nothing: GetChunk gives up instead
    // of hanging, and hands back what arrived.
    QTcpServer stalling;
    ASSERT_TRUE(stalling.listen(QHostAddress::LocalHost));
    QObject::connect(&stalling, &QTcpServer::newConnection, &stalling, [&] {
        QTcpSocket *s = stalling.nextPendingConnection();
        QObject::connect(s, &QTcpSocket::readyRead, s, [s] {
            s->readAll();
            s->write("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n0123456789");
        });
    });
    ine.Execute(QStringLiteral("http://127.0.0.1:%1/x.mp3").arg(stalling.serverPort()));
    ASSERT_TRUE(pumpUntil([&] { return !ine.StillExecuting(); }, 3000));
    QElapsedTimer clock;
    clock.start();
    QByteArray got;
    for (int i = 0; i < 50 && !ine.failed(); ++i)
        got += ine.GetChunk(2048);
    EXPECT_TRUE(ine.failed());
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(got, QByteArray("0123456789"));
    EXPECT_EQ(ine.GetHeader(QStringLiteral("Content-Length")), QStringLiteral("100000"));

    // Nobody listens on the port.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 deadPort = probe.serverPort();
    probe.close();
    ine.Execute(QStringLiteral("http://127.0.0.1:%1/files/tone1s.wav").arg(deadPort));
    EXPECT_TRUE(pumpUntil([&] { return !ine.StillExecuting(); }, 3000));
    EXPECT_TRUE(ine.failed());
    EXPECT_EQ(ine.httpStatus(), 0);

    // Not an address, not a GET.
    for (const auto &[url, op] : {std::pair{QStringLiteral("not a url"), QStringLiteral("GET")},
                                  std::pair{portal.baseUrl() + "/files/tone1s.wav", QStringLiteral("POST")}}) {
        ine.Execute(url, op);
        EXPECT_FALSE(ine.StillExecuting());
        EXPECT_TRUE(ine.failed());
    }
}

TEST_F(TransferTest, HeadThenCancelAndCancelDuringAWait)
{
    TransferControl ine;
    // Only the head is wanted: a 200 MB body is not read.
    ine.Execute(portal.baseUrl() + QStringLiteral("/files/big200m.mp3"));
    ASSERT_TRUE(pumpUntil([&] { return !ine.StillExecuting(); }));
    EXPECT_EQ(ine.GetHeader(QStringLiteral("Content-Length")), QStringLiteral("209715200"));
    ine.Cancel();
    EXPECT_EQ(ine.state(), State::Idle);
    EXPECT_TRUE(ine.GetChunk(2048).isEmpty());

    // A slow body and a cancel from a timer while GetChunk waits for 1 MB.
    ine.Execute(portal.baseUrl() + QStringLiteral("/_v/slow/files/big1m.mp3"));
    ASSERT_TRUE(pumpUntil([&] { return !ine.StillExecuting(); }));
    QTimer::singleShot(200, &ine, [&] { ine.Cancel(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(ine.GetChunk(1024 * 1024).isEmpty());
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(ine.state(), State::Idle);

    // The generated body's bytes, across many chunks of an odd size.
    ine.Execute(portal.baseUrl() + QStringLiteral("/files/big1m.mp3"));
    ASSERT_TRUE(pumpUntil([&] { return !ine.StillExecuting(); }));
    qint64 offset = 0;
    bool same = true;
    for (QByteArray c = ine.GetChunk(3001); !c.isEmpty(); c = ine.GetChunk(3001))
        for (char b : c)
            same = same && static_cast<unsigned char>(b) == offset++ % 251;
    EXPECT_TRUE(same);
    EXPECT_EQ(offset, 1024 * 1024);
    EXPECT_EQ(ine.state(), State::Finished);
}

// A body at 20 bytes a second would fill a 2 KB chunk in 100 s: a stop flag
// set by an event ends the wait at once, with what came by then, while the
// transfer itself keeps going and counts the bytes that arrived.
TEST_F(TransferTest, AStopFlagEndsTheWaitForATricklingChunk)
{
    TransferControl ine;
    ine.Execute(portal.baseUrl() + QStringLiteral("/_v/crawl/files/tone1s.wav"));
    ASSERT_TRUE(pumpUntil([&] { return !ine.StillExecuting(); }));
    bool stop = false;
    qint64 arrivedBeforeStop = 0;
    QTimer::singleShot(500, &ine, [&] {
        arrivedBeforeStop = ine.bytesArrived();
        stop = true;
    });
    QElapsedTimer clock;
    clock.start();
    const QByteArray first = ine.GetChunk(2048, &stop);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_GT(arrivedBeforeStop, 0);
    EXPECT_GE(first.size(), arrivedBeforeStop);
    EXPECT_LT(first.size(), 2048);
    EXPECT_EQ(first, mediaFile("tone1s.wav").left(first.size()));
    EXPECT_EQ(ine.state(), State::Receiving);
    EXPECT_EQ(ine.bytesRead(), first.size());
    // Set already: no wait at all, and the body goes on where it was.
    EXPECT_TRUE(pumpUntil([&] { return ine.bytesArrived() > ine.bytesRead(); }));
    const QByteArray next = ine.GetChunk(2048, &stop);
    EXPECT_FALSE(next.isEmpty());
    EXPECT_EQ(first + next, mediaFile("tone1s.wav").left(first.size() + next.size()));
}

TEST_F(TransferTest, TextChunksDecodeCp949AcrossChunkBoundaries)
{
    TransferControl ine;
    ine.Execute(portal.chartUrl());
    ASSERT_TRUE(pumpUntil([&] { return !ine.StillExecuting(); }));
    QString text;
    for (QString part = ine.GetChunkText(7); !part.isEmpty() || ine.state() == State::Receiving; part = ine.GetChunkText(7))
        text += part;

    ine.Execute(portal.chartUrl());
    ASSERT_TRUE(pumpUntil([&] { return !ine.StillExecuting(); }));
    QByteArray bytes;
    for (QByteArray c = ine.GetChunk(1 << 20); !c.isEmpty(); c = ine.GetChunk(1 << 20))
        bytes += c;
    const QString whole = QStringDecoder("windows-949").decode(bytes);
    EXPECT_TRUE(whole.contains(QStringLiteral("실시간 차트")));
    EXPECT_EQ(text, whole);
}

// The player seeks by asking the file host for the bytes it needs.
TEST_F(TransferTest, FileHostAnswersByteRanges)
{
    const QByteArray file = mediaFile("tone3s-128k.mp3");
    ASSERT_FALSE(file.isEmpty());
    const QByteArray size = QByteArray::number(file.size());
    struct Case {
        const char *path;
        QByteArray range;
        int status;
        QByteArray contentRange;
        QByteArray body;
    } cases[] = {
        {"/files/tone3s-128k.mp3", "", 200, "", file},
        {"/files/tone3s-128k.mp3", "bytes=100-", 206, "bytes 100-" + QByteArray::number(file.size() - 1) + "/" + size,
         file.mid(100)},
        {"/files/tone3s-128k.mp3", "bytes=5-9", 206, "bytes 5-9/" + size, file.mid(5, 5)},
        {"/files/tone3s-128k.mp3", "bytes=0-99999999", 206,
         "bytes 0-" + QByteArray::number(file.size() - 1) + "/" + size, file},
        {"/files/tone3s-128k.mp3", "bytes=" + size + "-", 416, "bytes */" + size, ""},
        {"/files/tone3s-128k.mp3", "bytes=9-5", 416, "bytes */" + size, ""},
        {"/files/tone3s-128k.mp3", "items=1-2", 200, "", file},
        {"/_v/slow/files/tone3s-128k.mp3", "bytes=100-", 200, "", file}, // variants send the whole body
    };
    QNetworkAccessManager nam;
    for (const Case &c : cases) {
        QNetworkRequest request(QUrl(portal.baseUrl() + QLatin1String(c.path)));
        if (!c.range.isEmpty())
            request.setRawHeader("Range", c.range);
        std::unique_ptr<QNetworkReply> reply(nam.get(request));
        ASSERT_TRUE(pumpUntil([&] { return reply->isFinished(); })) << c.range.constData();
        EXPECT_EQ(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), c.status) << c.range.constData();
        EXPECT_EQ(reply->rawHeader("Content-Range"), c.contentRange) << c.range.constData();
        EXPECT_TRUE(reply->readAll() == c.body) << c.range.constData();
    }
}

} // namespace
