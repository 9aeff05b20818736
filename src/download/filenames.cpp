#include "download/filenames.h"

#include "sources/modurl.h"
#include "sources/pagesongs.h"

#include <QDir>
#include <algorithm>
#include <optional>
#include <QStringDecoder>

namespace download {

namespace {

constexpr qsizetype kMaxNameBytes = 255;

// Characters that reorder the text around them: a name holding one can show
// "mp3.exe" as "exe.mp3".
bool isBidiControl(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069) || u == 0x200E || u == 0x200F || u == 0x061C;
}

bool isUnsafe(QChar c)
{
    return c == '/' || c == '\\' || c.category() == QChar::Other_Control || c == QChar(0x7F) || c.isNull()
           || isBidiControl(c);
}

// Drops whole characters from the end of text until it fits `bytes` in UTF-8.
QString fitBytes(QString text, qsizetype bytes)
{
    while (!text.isEmpty() && text.toUtf8().size() > bytes) {
        text.chop(1);
        if (!text.isEmpty() && text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

} // namespace

QString safeFileName(const QString &name)
{
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name) {
        if (isUnsafe(c))
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
    // A leading dot would hide the file from the user's folder view.
    if (safe.startsWith('.'))
        safe.prepend('_');
    if (safe.toUtf8().size() <= kMaxNameBytes)
        return safe;
    // Too long: the stem is shortened and the extension kept whole, as long as
    // one character of the stem is left beside it.
    const qsizetype dot = safe.lastIndexOf('.');
    const QString extension = dot > 0 ? safe.mid(dot) : QString();
    const QString stem = safe.left(safe.size() - extension.size());
    const qsizetype stemBytes = kMaxNameBytes - extension.toUtf8().size();
    if (extension.isEmpty() || stemBytes < QString(stem.front()).toUtf8().size())
        return fitBytes(safe, kMaxNameBytes);
    return fitBytes(stem, stemBytes) + extension;
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

QString musicFileName(const QString &address)
{
    // The address as written, up to its query or fragment: a name is never
    // re-escaped on its way to the box.
    qsizetype end = address.size();
    for (const QChar mark : {QChar(u'?'), QChar(u'#')})
        if (const qsizetype at = address.indexOf(mark); at >= 0)
            end = std::min(end, at);
    const QString path = address.left(end);
    const QString name = path.mid(path.lastIndexOf('/') + 1);
    if (sources::hasMusicExtension(name) || name.endsWith(QLatin1String(".wma"), Qt::CaseInsensitive))
        return name;
    const QString segment = address.mid(address.lastIndexOf('/') + 1);
    QString ext = segment.right(3).toLower();
    ext.remove(' ');
    if (ext == QLatin1String("mp3") || ext == QLatin1String("wav") || ext == QLatin1String("wma"))
        return segment;
    return QString();
}

QString joinPath(const QString &folder, const QString &name)
{
    QString f = folder;
    if (!f.endsWith(QDir::separator()) && !f.endsWith('/'))
        f += QDir::separator();
    return f + name;
}

} // namespace download
