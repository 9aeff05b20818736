#pragma once
// The simulator's committed music files, read straight from the source tree
// to compare with what a download stored.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace testsupport {
inline QByteArray mediaFile(const char *name)
{
    QFile f(QStringLiteral(SORIMBA_SOURCE_DIR "/tools/portal-sim/media/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace testsupport
