#include "download/targetfile.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace download {

namespace {

// Temporary names are random; a name already taken is tried again a few times.
constexpr int kNameAttempts = 16;

QByteArray nativeName(const QString &path)
{
    return QFile::encodeName(path);
}

} // namespace

TargetFile::TargetFile(QString path) : m_path(std::move(path)) {}

TargetFile::~TargetFile()
{
    discard();
}

void TargetFile::fail(int error)
{
    m_error = QString::fromLocal8Bit(std::strerror(error));
    m_permissionDenied = error == EACCES || error == EPERM || error == EROFS;
}

bool TargetFile::open()
{
    const QString folder = QFileInfo(m_path).absolutePath();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QString candidate =
            folder + QStringLiteral("/.sorimba-%1.part").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        // O_EXCL: a new file or nothing (any existing entry, a link included,
        // fails); the mode is narrowed by the user's umask as for any new file.
        const int fd = ::open(nativeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            fail(errno);
            return false;
        }
        m_temporaryPath = candidate;
        if (!m_file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            m_error = m_file.errorString();
            discard();
            return false;
        }
        return true;
    }
    fail(EEXIST);
    return false;
}

bool TargetFile::write(const QByteArray &bytes)
{
    if (m_file.write(bytes) == bytes.size())
        return true;
    m_error = m_file.errorString();
    m_permissionDenied = m_file.error() == QFileDevice::PermissionsError;
    return false;
}

bool TargetFile::commit()
{
    if (m_temporaryPath.isEmpty() || !m_file.isOpen())
        return false;
    if (::fdatasync(m_file.handle()) != 0) {
        fail(errno);
        discard();
        return false;
    }
    m_file.close();
    // rename(2) replaces the folder's entry itself: a link of the target's
    // name is replaced, not followed.
    if (::rename(nativeName(m_temporaryPath).constData(), nativeName(m_path).constData()) != 0) {
        fail(errno);
        discard();
        return false;
    }
    m_temporaryPath.clear();
    return true;
}

void TargetFile::discard()
{
    if (m_file.isOpen())
        m_file.close();
    if (!m_temporaryPath.isEmpty()) {
        ::unlink(nativeName(m_temporaryPath).constData());
        m_temporaryPath.clear();
    }
}

bool entryExists(const QString &path)
{
    struct stat st;
    return ::lstat(nativeName(path).constData(), &st) == 0;
}

} // namespace download
