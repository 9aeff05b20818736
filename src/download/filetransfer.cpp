#include "download/filetransfer.h"

#include "download/targetfile.h"
#include "platform/doevents.h"
#include "platform/transfer/waitforhead.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>

namespace download {

namespace {

// The loop pumps messages between chunks, at most this often: a click on the
// cancel button still takes effect within milliseconds.
constexpr int kPumpIntervalMs = 2;

using State = platform::TransferControl::State;

bool answeredWithFile(const platform::TransferControl *ine)
{
    return ine->httpStatus() >= 200 && ine->httpStatus() < 300;
}

} // namespace

qint64 announcedFileLength(const platform::TransferControl *ine)
{
    if (!answeredWithFile(ine))
        return -1;
    bool ok = false;
    const qint64 size = ine->GetHeader(QStringLiteral("Content-Length")).trimmed().toLongLong(&ok);
    return ok && size >= 0 ? size : -1;
}

QString writeFailureText(const TargetFile &file, const QString &folder)
{
    if (file.permissionDenied() || !QFileInfo(folder).isWritable())
        return QStringLiteral("쓰기 권한이 없습니다.");
    return QStringLiteral("파일을 쓸 수 없습니다: ") + file.errorString();
}

QString notMusicText()
{
    return QStringLiteral("서버가 음악 대신 웹 페이지를 보냄");
}

bool isPageType(const QString &contentType)
{
    const QString type = contentType.section(';', 0, 0).trimmed().toLower();
    return type == QLatin1String("text/html") || type == QLatin1String("application/xhtml+xml");
}

bool looksLikePage(const QByteArray &body)
{
    qsizetype at = body.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (at < body.size() && (body[at] == ' ' || body[at] == '\t' || body[at] == '\r' || body[at] == '\n' || body[at] == '\f'))
        ++at;
    // No music format starts with '<'; these are how pages start.
    for (const char *start : {"<!doctype", "<html", "<head", "<body", "<!--"}) {
        const qsizetype n = qsizetype(std::strlen(start));
        if (body.size() - at >= n && body.mid(at, n).toLower() == start)
            return true;
    }
    return false;
}

FileTransfer::FileTransfer(platform::TransferControl *ine, QObject *parent) : QObject(parent), m_ine(ine) {}

FileTransfer::Result FileTransfer::run(const QString &url, const QString &path)
{
    m_running = true;
    m_cancelRequested = false;
    m_bytesReceived = 0;
    const Result result = transfer(url, path);
    m_ine->Cancel();
    m_running = false;
    m_cancelRequested = false;
    m_bytesReceived = 0;
    return result;
}

FileTransfer::Result FileTransfer::transfer(const QString &url, const QString &path)
{
    m_ine->Execute(url, QStringLiteral("GET"));
    // A cancel click ends the wait for an answer too: a server that does not
    // answer would otherwise hold it until the transfer's time-out.
    platform::WaitWhileExecuting(m_ine, &m_cancelRequested);
    if (m_cancelRequested)
        return {Outcome::Cancelled, {}};
    // Refused, unanswered or answered with an error status: nothing to store.
    // A body cut short after a good answer is found by the loop below.
    if (!answeredWithFile(m_ine))
        return {Outcome::Failed, m_ine->errorText()};
    // A web page (an expired link's notice, a login page) is not the song,
    // whatever its address says.
    if (isPageType(m_ine->GetHeader(QStringLiteral("Content-Type"))))
        return {Outcome::Failed, notMusicText()};
    const qint64 size = announcedFileLength(m_ine);
    emit sizeKnown(size);

    const QString folder = QFileInfo(path).absolutePath();
    TargetFile file(path);
    if (!file.open())
        return {Outcome::Failed, writeFailureText(file, folder)};

    qint64 counter = 0;
    platform::PumpEvery pump(kPumpIntervalMs);
    while (size < 0 || counter < size) {
        const QByteArray chunk = m_ine->GetChunk(kChunkBytes, &m_cancelRequested);
        if (m_cancelRequested) // the chunk may be cut short: it is not stored
            return {Outcome::Cancelled, {}};
        if (counter == 0 && looksLikePage(chunk))
            return {Outcome::Failed, notMusicText()}; // the temporary file goes with `file`
        if (!chunk.isEmpty() && !file.write(chunk))
            return {Outcome::Failed, writeFailureText(file, folder)};
        counter += kChunkBytes;
        emit progressed(counter);
        pump();
        if (m_cancelRequested)
            return {Outcome::Cancelled, {}};
        m_bytesReceived += chunk.size();
        // The body ended (whole, short or broken): nothing more will come.
        if (chunk.isEmpty() && m_ine->state() != State::Receiving)
            break;
    }
    if (m_ine->failed())
        return {Outcome::Failed, m_ine->errorText()};
    const bool whole = size >= 0 ? m_bytesReceived == size : m_ine->state() == State::Finished;
    if (!whole)
        return {Outcome::Failed,
                QStringLiteral("받은 크기가 알린 크기와 다릅니다 (%1 / %2 바이트)").arg(m_bytesReceived).arg(size)};
    if (!file.commit())
        return {Outcome::Failed, writeFailureText(file, folder)};
    if (size >= 0 && QFileInfo(path).size() != size) { // the stored length, checked on disk
        QFile::remove(path);
        return {Outcome::Failed, QStringLiteral("저장된 크기가 알린 크기와 다릅니다")};
    }
    return {Outcome::Stored, {}};
}

} // namespace download
