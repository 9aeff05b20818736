#include "download/filetransfer.h"

#include "platform/doevents.h"
#include "platform/transfer/waitforhead.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

QString writeFailureText(const QFileDevice &file, const QString &folder)
{
    if (file.error() == QFileDevice::PermissionsError || !QFileInfo(folder).isWritable()
        || file.errorString().contains(QLatin1String("ermission")))
        return QStringLiteral("쓰기 권한이 없습니다.");
    return QStringLiteral("파일을 쓸 수 없습니다: ") + file.errorString();
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
    const qint64 size = announcedFileLength(m_ine);
    emit sizeKnown(size);

    const QString folder = QFileInfo(path).absolutePath();
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    // Unbuffered: a short write (a full disk) must show at its chunk, because
    // a buffered one only fails in commit's flush and is then renamed into
    // place over the file it was to replace.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return {Outcome::Failed, writeFailureText(file, folder)};

    qint64 counter = 0;
    platform::PumpEvery pump(kPumpIntervalMs);
    while (size < 0 || counter < size) {
        const QByteArray chunk = m_ine->GetChunk(kChunkBytes);
        if (!chunk.isEmpty() && file.write(chunk) != chunk.size())
            return {Outcome::Failed, writeFailureText(file, folder)}; // QSaveFile drops the temporary file
        counter += kChunkBytes;
        emit progressed(counter);
        pump();
        if (m_cancelRequested) {
            file.cancelWriting();
            return {Outcome::Cancelled, {}};
        }
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
