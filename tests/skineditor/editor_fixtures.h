#pragma once
// Pictures for the editor's tests: the program's 8-entry icon, icons cut or
// reordered from it, and PNG files drawn here, written into a temporary folder.
#include "imaging/bytearray.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace editor_fixtures {

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QString sourcePath(const char *relative)
{
    return QStringLiteral(SORIMBA_SOURCE_DIR "/") + QString::fromLatin1(relative);
}

// resources/pictures/note.ico: 16, 24, 32 and 48 pixels, each at 8 and 32 bits.
inline QByteArray noteIcon() { return readFile(sourcePath("resources/pictures/note.ico")); }

inline imaging::ByteArray toBytes(const QByteArray &b)
{
    return imaging::ByteArray(std::span(reinterpret_cast<const std::uint8_t *>(b.constData()), std::size_t(b.size())));
}

inline QByteArray fromBytes(const imaging::ByteArray &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size()));
}

// The same icon with its directory entries in reverse order (the image data
// stays where it is; each entry keeps its offset).
inline QByteArray reversedDirectory(const QByteArray &ico)
{
    QByteArray out = ico;
    const int n = quint8(ico[4]) | (quint8(ico[5]) << 8);
    for (int i = 0; i < n; ++i)
        out.replace(6 + 16 * i, 16, ico.mid(6 + 16 * (n - 1 - i), 16));
    return out;
}

// A one-entry icon holding entry `index` (0-based) of the icon.
inline QByteArray singleEntry(const QByteArray &ico, int index)
{
    const QByteArray entry = ico.mid(6 + 16 * index, 16);
    const auto u32 = [](const QByteArray &b, int at) {
        return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16
               | quint32(quint8(b[at + 3])) << 24;
    };
    const quint32 size = u32(entry, 8), offset = u32(entry, 12);
    QByteArray out = ico.left(6);
    out[4] = 1;
    out[5] = 0;
    QByteArray e = entry;
    const quint32 newOffset = 6 + 16;
    for (int i = 0; i < 4; ++i)
        e[12 + i] = char((newOffset >> (8 * i)) & 255);
    return out + e + ico.mid(int(offset), int(size));
}

inline QByteArray png(int w, int h, QColor c = QColor(30, 120, 200))
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(c);
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return out;
}

// A temporary folder that files are written into.
class Files {
public:
    Files() { EXPECT_TRUE(m_dir.isValid()); }
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

} // namespace editor_fixtures
