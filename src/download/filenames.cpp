#include "download/filenames.h"

#include <QDir>

namespace download {

namespace {
constexpr qsizetype kMaxNameBytes = 255;
}

QString safeFileName(const QString &name)
{
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name) {
        if (c == '/' || c == '\\' || c.category() == QChar::Other_Control || c == QChar(0x7F) || c.isNull())
            safe += '_';
        else if (c.isSurrogate() && !c.isHighSurrogate() && !c.isLowSurrogate())
            safe += '_';
        else
            safe += c;
    }
    while (safe.contains(QLatin1String("..")))
        safe.replace(QLatin1String(".."), QLatin1String("_."));
    safe = safe.trimmed();
    if (safe.isEmpty() || safe == QLatin1String("."))
        safe = QStringLiteral("download");
    if (safe.toUtf8().size() <= kMaxNameBytes)
        return safe;
    // Too long: keep the extension, shorten the stem a character at a time.
    const qsizetype dot = safe.lastIndexOf('.');
    QString extension = dot > 0 && safe.size() - dot <= 16 ? safe.mid(dot) : QString();
    QString stem = safe.left(safe.size() - extension.size());
    while (!stem.isEmpty() && (stem + extension).toUtf8().size() > kMaxNameBytes) {
        stem.chop(1);
        if (!stem.isEmpty() && stem.back().isHighSurrogate())
            stem.chop(1);
    }
    return stem + extension;
}

QString joinPath(const QString &folder, const QString &name)
{
    QString f = folder;
    if (!f.endsWith(QDir::separator()) && !f.endsWith('/'))
        f += QDir::separator();
    return f + name;
}

} // namespace download
