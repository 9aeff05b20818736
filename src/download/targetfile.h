#pragma once
// The file a download stores, written under a temporary name in the target's
// folder and put in place by one rename when the whole body is there:
//
//   TargetFile file(path);
//   if (!file.open()) fail(file.errorString());
//   file.write(chunk) ...;
//   if (!file.commit()) fail(file.errorString());   // otherwise: nothing is left
//
// The temporary file is created new (never an existing entry, never through a
// link); the rename replaces whatever entry bears the target's name, a link
// itself included, and never writes through it to what it points at. Until
// commit() succeeds the target is left as it was, and the temporary file is
// removed when the object goes.
#include <QFile>
#include <QString>

namespace download {

class TargetFile {
public:
    explicit TargetFile(QString path);
    ~TargetFile();
    TargetFile(const TargetFile &) = delete;
    TargetFile &operator=(const TargetFile &) = delete;

    bool open();
    // Unbuffered: a short write (a full disk) shows at its chunk.
    bool write(const QByteArray &bytes);
    bool commit();

    // Why the last open, write or commit failed, and whether for want of
    // permission.
    QString errorString() const { return m_error; }
    bool permissionDenied() const { return m_permissionDenied; }

private:
    void fail(int error);
    void discard();

    QString m_path;
    QString m_temporaryPath;
    QFile m_file;
    QString m_error;
    bool m_permissionDenied = false;
};

// Whether the folder holds an entry of that name: a file, a folder, or a
// link (even one that points nowhere).
bool entryExists(const QString &path);

} // namespace download
