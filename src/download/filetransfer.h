#pragma once
// One download of an address into a file, driven by the download window:
//
//   FileTransfer transfer(ine);
//   connect(&transfer, &FileTransfer::sizeKnown, ...);     // the announced length
//   connect(&transfer, &FileTransfer::progressed, ...);    // after every chunk
//   const FileTransfer::Result r = transfer.run(url, path); // pumps events meanwhile
//   switch (r.outcome) { case Outcome::Stored: ... }
//
// The body is read in 2 KB chunks into a temporary file beside the target,
// which replaces the target only when the whole body arrived: a failed or
// cancelled download leaves nothing behind. A web page sent in place of the
// song (by its type or by how its body starts) fails the download. cancel()
// (from a pumped event) ends the loop at once, even in the middle of a chunk
// that trickles in; a body that brings nothing for the transfer control's
// time-out fails it.
#include "platform/transfer/transfercontrol.h"

#include <QObject>
#include <QString>

namespace download {

class FileTransfer : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Stored, Failed, Cancelled };
    struct Result {
        Outcome outcome = Outcome::Failed;
        QString reason; // why it failed, in Korean; empty otherwise
    };

    static constexpr qint64 kChunkBytes = 2048;

    explicit FileTransfer(platform::TransferControl *ine, QObject *parent = nullptr);

    Result run(const QString &url, const QString &path);
    void cancel() { m_cancelRequested = true; }
    bool running() const { return m_running; }
    // Body bytes stored so far by the running transfer (0 when none runs).
    qint64 bytesReceived() const { return m_bytesReceived; }
    // Body bytes that came so far, a chunk still filling up included (0 when
    // none runs): what the speed is measured on.
    qint64 bytesArrived() const { return m_running ? m_ine->bytesArrived() : 0; }

signals:
    // The server answered with the file; its length, or -1 when unknown.
    void sizeKnown(qint64 size);
    // After each chunk: the chunk counter (a multiple of 2 KB; it runs on to
    // the announced size even when the body ends early).
    void progressed(qint64 counter);

private:
    Result transfer(const QString &url, const QString &path);

    platform::TransferControl *m_ine;
    qint64 m_bytesReceived = 0;
    bool m_running = false;
    bool m_cancelRequested = false;
};

// The length of the file the server is sending: its Content-Length when it
// answered with a success status, otherwise -1 (unknown; an error status
// announces the length of its error page, not of the file).
qint64 announcedFileLength(const platform::TransferControl *ine);

class TargetFile;
// Why a file could not be written in `folder`, in Korean.
QString writeFailureText(const TargetFile &file, const QString &folder);

// Whether a response's Content-Type, or the start of its body (after an
// optional byte order mark and white space), is a web page's.
bool isPageType(const QString &contentType);
bool looksLikePage(const QByteArray &body);

} // namespace download
