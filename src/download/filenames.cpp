#include "download/filenames.h"

#include "sources/modurl.h"

#include <QDir>
#include <algorithm>
#include <optional>
#include <QStringDecoder>

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

namespace {

// The UTF-8 reading of escaped bytes, when they are UTF-8 and hold at least
// one multi-byte character; a plain ASCII name is left to the code page.
std::optional<QString> utf8Reading(const QString &undecodedName)
{
    if (!undecodedName.contains('%'))
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromPercentEncoding(undecodedName.toUtf8());
    const bool multiByte = std::any_of(bytes.begin(), bytes.end(), [](char c) { return (uchar(c) & 0x80) != 0; });
    if (!multiByte)
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

} // namespace

QString proposedFileName(const QString &undecodedName)
{
    if (const auto text = utf8Reading(undecodedName))
        return *text;
    try {
        return modURL::URLDecode(undecodedName);
    } catch (const modURL::UrlToolsError &) {
        return undecodedName;
    }
}

QString joinPath(const QString &folder, const QString &name)
{
    QString f = folder;
    if (!f.endsWith(QDir::separator()) && !f.endsWith('/'))
        f += QDir::separator();
    return f + name;
}

} // namespace download
