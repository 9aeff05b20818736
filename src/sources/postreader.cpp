#include "sources/postreader.h"

namespace sources {

namespace {
const QString kAttachNameMarker = QStringLiteral("encodedAttachFileName");
const QString kAttachScriptTail = QStringLiteral("\\',\\'encodedAttachFileName\\':\\'");
const QString kTitleMarker = QStringLiteral("<!-- 제목 -->");

std::optional<QString> attachmentAddress(const QString &page, const QString &attachHostPrefix)
{
    if (attachHostPrefix.isEmpty())
        return std::nullopt;
    const qsizetype m = page.indexOf(attachHostPrefix);
    if (m < 0)
        return std::nullopt;
    // Without a blank after it within the text read, the address runs to the
    // end of that text; the download window's name check judges what it got.
    const qsizetype e = page.indexOf(' ', m + 1);
    QString address = e < 0 ? page.mid(m) : page.mid(m, e - m);
    if (address.contains(kAttachNameMarker)) {
        const qsizetype cut = address.indexOf(kAttachScriptTail);
        if (cut >= 0)
            address.truncate(cut);
    }
    return address;
}

std::optional<QString> embeddedPlayerAddress(const QString &page)
{
    const QString lower = page.toLower();
    const qsizetype marker = lower.indexOf(kTitleMarker);
    if (marker < 0)
        return std::nullopt; // no post body: nothing is taken from the page's frame
    const QString body = lower.mid(marker);
    const qsizetype embed = body.indexOf(QLatin1String("<embed"));
    if (embed < 0)
        return std::nullopt;
    const qsizetype close = body.indexOf('>', embed);
    const QString tag = close < 0 ? body.mid(embed) : body.mid(embed, close - embed + 1);
    const qsizetype src = tag.indexOf(QLatin1String("src="));
    if (src < 0)
        return std::nullopt;
    QString address = tag.mid(src + 4);
    const qsizetype blank = address.indexOf(' ');
    if (blank >= 0) {
        address.truncate(blank);
    } else if (address.endsWith('>')) {
        // The value ran to the tag's end, a self-closing one ("/>") included.
        address.chop(address.endsWith(QLatin1String("/>")) ? 2 : 1);
    }
    address.remove('"');
    address.remove('\'');
    return address;
}
} // namespace

std::optional<QString> findMusicAddress(const QString &page, const QString &attachHostPrefix)
{
    std::optional<QString> address = attachmentAddress(page, attachHostPrefix);
    if (!address)
        address = embeddedPlayerAddress(page);
    if (address && address->trimmed().isEmpty())
        return std::nullopt;
    return address;
}

} // namespace sources
