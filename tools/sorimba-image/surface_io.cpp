#include "platform/limits.h"
#include "tool.h"

#include <QFile>
#include <QImageReader>
#include <QSaveFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tool {

namespace {

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

// What kind of thing a path names that is not a regular file.
QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISFIFO(mode))
        return QStringLiteral("a pipe");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}

// Judged without opening: opening a pipe for reading waits for its writer.
bool regularInput(const QString &file, QString &reason)
{
    struct stat st {};
    if (::stat(QFile::encodeName(file).constData(), &st) != 0) {
        reason = QStringLiteral("cannot open %1 (%2)").arg(file, systemError());
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = QStringLiteral("%1 is %2, not a regular file").arg(file, kindOf(st.st_mode));
        return false;
    }
    return true;
}

} // namespace

std::int64_t maxPixels() { return limits::maxImagePixels.load(); }

void setMaxPixels(std::int64_t pixels) { limits::maxImagePixels.store(pixels); }

bool pixelsAllowed(std::int64_t width, std::int64_t height, const QString &what, QString &reason)
{
    if (limits::productFits(height, width, maxPixels()))
        return true;
    reason = QStringLiteral("%1: %2 x %3 pixels is more than the limit of %4 pixels (--max-pixels)")
                 .arg(what)
                 .arg(width)
                 .arg(height)
                 .arg(maxPixels());
    return false;
}

bool loadImage(const QString &file, imaging::c32bppDIB &dib, QString &reason, std::int32_t iconWidth,
               std::int32_t iconHeight, std::int32_t depth)
{
    if (!regularInput(file, reason))
        return false;
    // The size a header claims, read without decoding: a small file may claim
    // an image far larger than the machine's memory.
    const QSize claimed = QImageReader(file).size();
    if (claimed.isValid() && !pixelsAllowed(claimed.width(), claimed.height(), file, reason))
        return false;
    if (!dib.LoadPicture_File(file, iconWidth, iconHeight, false, depth)) {
        reason = QStringLiteral("%1: not a recognised image, its data could not be decoded, or it has more than "
                                "%2 pixels")
                     .arg(file)
                     .arg(maxPixels());
        return false;
    }
    return true;
}

bool readInput(const QString &file, QByteArray &bytes, QString &reason)
{
    if (!regularInput(file, reason))
        return false;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        reason = QStringLiteral("cannot open %1").arg(file);
        return false;
    }
    bytes = in.read(qint64(INT32_MAX));
    return true;
}

const char *imageTypeName(std::int32_t type)
{
    switch (type) {
    case imaging::NoImage: return "NoImage";
    case imaging::Blank: return "Blank";
    case imaging::Bitmap: return "Bitmap";
    case imaging::Metafile: return "Metafile";
    case imaging::Icon: return "Icon";
    case imaging::EnhancedMetafile: return "EnhancedMetafile";
    case imaging::Cursor: return "Cursor";
    case imaging::AlphaBitmap: return "AlphaBitmap";
    case imaging::PremultipliedBitmap: return "PremultipliedBitmap";
    case imaging::AlphaIcon: return "AlphaIcon";
    case imaging::Gif: return "Gif";
    case imaging::Png: return "Png";
    case imaging::PngIcon: return "PngIcon";
    case imaging::AlphaCursor: return "AlphaCursor";
    case imaging::Checkerboard: return "Checkerboard";
    }
    return "Unknown";
}

void printSurface(const imaging::c32bppDIB &dib)
{
    std::printf("size=%dx%d type=%d (%s) alpha=%d\n", dib.Width(), dib.Height(), dib.ImageType(),
                imageTypeName(dib.ImageType()), dib.Alpha() ? 1 : 0);
}

bool isStandardOutput(const QString &path) { return path == QLatin1String("-"); }

bool writeOutput(const QString &path, const QByteArray &bytes, QString &reason)
{
    if (isStandardOutput(path)) {
        std::fflush(stdout);
        if (std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout) != std::size_t(bytes.size()) ||
            std::fflush(stdout) != 0) {
            reason = QStringLiteral("cannot write to standard output (%1)").arg(systemError());
            return false;
        }
        return true;
    }
    // Only a regular file is replaced: renaming over a device or a pipe would
    // replace the system's node with a file.
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        reason = QStringLiteral("%1 is %2; only a regular file is written (\"-\" writes to standard output)")
                     .arg(path, kindOf(st.st_mode));
        return false;
    }
    QSaveFile out(path);
    // No writing straight into the target when no temporary file can be made
    // beside it: the old file must stay whole until the new one is complete.
    out.setDirectWriteFallback(false);
    // Unbuffered: a short write (a full disk) shows here, before the rename.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || out.write(bytes) != bytes.size() ||
        !out.commit()) {
        reason = QStringLiteral("cannot write %1 (%2)").arg(path, out.errorString());
        return false;
    }
    return true;
}

// Top row first, as a viewer expects; the surface keeps its rows bottom-up.
QByteArray rawPixels(const imaging::c32bppDIB &dib)
{
    const qsizetype rowBytes = qsizetype(dib.scanWidth());
    QByteArray out;
    out.reserve(rowBytes * dib.Height());
    for (std::int32_t y = 0; y < dib.Height(); ++y) {
        const std::uint8_t *row = dib.BitsPointer() + std::size_t(dib.Height() - 1 - y) * std::size_t(rowBytes);
        out.append(reinterpret_cast<const char *>(row), rowBytes);
    }
    return out;
}

bool parseSize(const QString &text, std::int32_t &width, std::int32_t &height)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    bool okW = false, okH = false;
    if (parts.size() != 2)
        return false;
    width = parts[0].toInt(&okW);
    height = parts[1].toInt(&okH);
    return okW && okH;
}

} // namespace tool
