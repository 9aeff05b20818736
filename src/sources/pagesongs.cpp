#include "sources/pagesongs.h"

#include "platform/pagehost/htmldocument.h"

#include <QSet>
#include <QStringDecoder>

namespace sources {

namespace {

const char *const kMusicExtensions[] = {".mp3", ".m4a", ".aac", ".ogg", ".oga", ".opus", ".flac", ".wav"};

// How far into the page a <meta> charset declaration is looked for. Browsers
// look at the first 1024 bytes; older Korean pages put long scripts first.
constexpr qsizetype kMetaCharsetScanBytes = 4096;

// Characters that end an address written in running text or script text.
bool endsTextAddress(QChar c)
{
    return c.isSpace() || c == u'"' || c == u'\'' || c == u'<' || c == u'>' || c == u'\\';
}

// The character references an address in an attribute carries most often;
// text found outside attributes gets no decoding from the parser.
QString decodeCharacterReferences(const QString &text)
{
    if (!text.contains(u'&'))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'&') {
            out += text[i];
            continue;
        }
        const qsizetype semi = text.indexOf(u';', i + 1);
        if (semi < 0 || semi - i > 10) {
            out += text[i];
            continue;
        }
        const QString name = text.mid(i + 1, semi - i - 1);
        char32_t code = 0;
        bool ok = true;
        if (name == QLatin1String("amp"))
            code = '&';
        else if (name == QLatin1String("quot"))
            code = '"';
        else if (name == QLatin1String("apos"))
            code = '\'';
        else if (name == QLatin1String("lt"))
            code = '<';
        else if (name == QLatin1String("gt"))
            code = '>';
        else if (name.startsWith(u'#') && name.size() > 1)
            code = (name[1] == u'x' || name[1] == u'X') ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
        else
            ok = false;
        if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            out += text[i];
            continue;
        }
        out += QString::fromUcs4(&code, 1);
        i = semi;
    }
    return out;
}

QByteArray charsetFromContentType(const QByteArray &contentType)
{
    const QByteArray lower = contentType.toLower();
    const qsizetype at = lower.indexOf("charset=");
    if (at < 0)
        return {};
    QByteArray charset = lower.mid(at + 8);
    const qsizetype end = charset.indexOf(';');
    if (end >= 0)
        charset.truncate(end);
    charset = charset.trimmed();
    if (charset.size() >= 2 && (charset.startsWith('"') || charset.startsWith('\'')))
        charset = charset.mid(1, charset.size() - 2);
    return charset.trimmed();
}

// The charset of the first <meta> near the page's start that names one, in
// either form: <meta charset="x"> or <meta http-equiv=... content="...; charset=x">.
QByteArray charsetFromMeta(const QByteArray &bytes)
{
    const QByteArray head = bytes.left(kMetaCharsetScanBytes).toLower();
    for (qsizetype at = head.indexOf("<meta"); at >= 0; at = head.indexOf("<meta", at + 5)) {
        const qsizetype close = head.indexOf('>', at);
        const QByteArray tag = head.mid(at, close < 0 ? -1 : close - at);
        qsizetype pos = tag.indexOf("charset");
        if (pos < 0)
            continue;
        pos += 7;
        while (pos < tag.size() && (tag[pos] == ' ' || tag[pos] == '\t'))
            ++pos;
        if (pos >= tag.size() || tag[pos] != '=')
            continue;
        ++pos;
        while (pos < tag.size() && (tag[pos] == ' ' || tag[pos] == '\t' || tag[pos] == '"' || tag[pos] == '\''))
            ++pos;
        qsizetype end = pos;
        while (end < tag.size() && !QByteArrayView(" \t\r\n\"';/>").contains(tag[end]))
            ++end;
        if (end > pos)
            return tag.mid(pos, end - pos);
    }
    return {};
}

bool isKoreanLabel(const QByteArray &label)
{
    static const char *const labels[] = {"euc-kr", "x-euc-kr", "cp949", "windows-949", "x-windows-949", "ks_c_5601-1987",
                                         "ks_c_5601-1989", "ksc5601", "ksc_5601", "csksc56011987", "iso-ir-149", "korean"};
    for (const char *l : labels)
        if (label == l)
            return true;
    return false;
}

// The text in the named charset; nothing when the name is none this system knows.
std::optional<QString> decodeAs(const QByteArray &label, const QByteArray &bytes)
{
    if (label.isEmpty())
        return std::nullopt;
    QStringDecoder decoder(isKoreanLabel(label) ? "windows-949" : label.constData());
    if (!decoder.isValid())
        return std::nullopt;
    return decoder.decode(bytes);
}

bool isHttp(const QUrl &url)
{
    const QString scheme = url.scheme();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}

// The page's addresses, kept once each and in the order found, up to the limit.
class SongList {
public:
    explicit SongList(const QUrl &base) : m_base(base) {}

    bool full() const { return m_songs.size() >= kMaxPageSongs; }
    const QStringList &songs() const { return m_songs; }

    // Resolves an address as written in the page; true when it is a new song.
    bool add(const QString &written, bool needsMusicExtension)
    {
        if (full() || written.isNull())
            return false;
        QString text = written.trimmed();
        // Line breaks and tabs inside an address are dropped, as browsers do.
        text.remove(u'\n');
        text.remove(u'\r');
        text.remove(u'\t');
        if (text.isEmpty())
            return false;
        QUrl url = m_base.resolved(QUrl(text, QUrl::TolerantMode));
        if (!url.isValid() || !isHttp(url))
            return false; // javascript:, data:, mailto:, file: ...
        if (needsMusicExtension && !hasMusicExtension(url))
            return false;
        // The fragment never reaches the server: a.mp3#t=10 is a.mp3.
        const QString address = url.adjusted(QUrl::RemoveFragment).toString(QUrl::FullyEncoded);
        if (m_seen.contains(address))
            return false;
        m_seen.insert(address);
        m_songs.append(address);
        return true;
    }

private:
    QUrl m_base;
    QSet<QString> m_seen;
    QStringList m_songs;
};

QUrl baseAddress(const platform::HtmlDocument &doc, const QUrl &pageUrl)
{
    for (const platform::HtmlElement &base : doc.getElementsByTagName(QStringLiteral("base"))) {
        const QString href = base.attribute("href");
        if (href.isNull())
            continue;
        const QUrl resolved = pageUrl.resolved(QUrl(href.trimmed(), QUrl::TolerantMode));
        // Only the first <base> with an href counts, even a useless one.
        return resolved.isValid() && isHttp(resolved) ? resolved : pageUrl;
    }
    return pageUrl;
}

void addAttachments(SongList &list, const QString &text, const QString &prefix)
{
    if (prefix.isEmpty())
        return;
    for (qsizetype m = text.indexOf(prefix); m >= 0 && !list.full(); m = text.indexOf(prefix, m + 1)) {
        const qsizetype afterPrefix = m + prefix.size();
        // Another host that only begins like the attachment host is not it.
        if (afterPrefix >= text.size() || text[afterPrefix] != u'/')
            continue;
        qsizetype e = afterPrefix;
        while (e < text.size() && !endsTextAddress(text[e]))
            ++e;
        list.add(decodeCharacterReferences(text.mid(m, e - m)), true);
    }
}

void addAudioElements(SongList &list, const platform::HtmlDocument &doc)
{
    for (const platform::HtmlElement &audio : doc.getElementsByTagName(QStringLiteral("audio"))) {
        if (list.full())
            return;
        list.add(audio.attribute("src"), false);
        for (const platform::HtmlElement &source : audio.getElementsByTagName(QStringLiteral("source")))
            list.add(source.attribute("src"), false);
    }
}

void addLinks(SongList &list, const platform::HtmlDocument &doc)
{
    for (const platform::HtmlElement &a : doc.getElementsByTagName(QStringLiteral("a"))) {
        if (list.full())
            return;
        list.add(a.attribute("href"), true);
    }
}

void addOpenGraphAudio(SongList &list, const platform::HtmlDocument &doc)
{
    for (const platform::HtmlElement &meta : doc.getElementsByTagName(QStringLiteral("meta"))) {
        if (list.full())
            return;
        // Some pages write the property under "name".
        QString property = meta.attribute("property");
        if (property.isNull())
            property = meta.attribute("name");
        property = property.trimmed().toLower();
        if (property == QLatin1String("og:audio") || property == QLatin1String("og:audio:url")
            || property == QLatin1String("og:audio:secure_url"))
            list.add(meta.attribute("content"), false);
    }
}

} // namespace

std::optional<PageSongs> findPageSongs(const QString &pageText, const QUrl &pageUrl, const QString &attachHostPrefix,
                                       QDeadlineTimer deadline)
{
    const std::optional<platform::HtmlDocument> doc = platform::HtmlDocument::parse(pageText, pageUrl, deadline);
    if (!doc)
        return std::nullopt;
    PageSongs found;
    const QList<platform::HtmlElement> titles = doc->getElementsByTagName(QStringLiteral("title"));
    if (!titles.isEmpty())
        found.title = titles.first().outerText();
    SongList list(baseAddress(*doc, pageUrl));
    addAttachments(list, pageText, attachHostPrefix);
    addAudioElements(list, *doc);
    addLinks(list, *doc);
    addOpenGraphAudio(list, *doc);
    found.songs = list.songs();
    return found;
}

QString decodeWebPage(const QByteArray &bytes, const QByteArray &contentType)
{
    // A byte order mark says more than any label.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QStringDecoder(QStringDecoder::Utf8).decode(bytes);
    if (auto text = decodeAs(charsetFromContentType(contentType), bytes))
        return *text;
    const QByteArray declared = charsetFromMeta(bytes);
    // A page that could be read as ASCII to find its <meta> is no UTF-16 page.
    if (!declared.startsWith("utf-16"))
        if (auto text = decodeAs(declared, bytes))
            return *text;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QStringDecoder("windows-949").decode(bytes);
}

bool isWebAddress(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.contains(u' '))
        return false;
    const QUrl url(trimmed, QUrl::TolerantMode);
    return url.isValid() && isHttp(url)
           && (trimmed.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
               || trimmed.startsWith(QLatin1String("https://"), Qt::CaseInsensitive));
}

bool hasMusicExtension(const QString &path)
{
    for (const char *ext : kMusicExtensions)
        if (path.endsWith(QLatin1String(ext), Qt::CaseInsensitive))
            return true;
    return false;
}

bool hasMusicExtension(const QUrl &url)
{
    return hasMusicExtension(url.path());
}

bool looksLikeAudio(const QByteArray &b)
{
    const auto at = [&b](qsizetype i) { return i < b.size() ? quint8(b[i]) : 0u; };
    if (b.startsWith("ID3") || b.startsWith("OggS") || b.startsWith("fLaC"))
        return true;
    if (b.startsWith("RIFF") && b.mid(8, 4) == "WAVE")
        return true;
    if (b.mid(4, 4) == "ftyp") // MP4 audio (m4a)
        return true;
    // An MPEG audio frame or an ADTS (AAC) header: eleven set sync bits, then
    // a version, layer and bit-rate index that are not the reserved values.
    if (b.size() >= 3 && at(0) == 0xFF && (at(1) & 0xE0) == 0xE0) {
        const unsigned version = (at(1) >> 3) & 3;
        const unsigned layer = (at(1) >> 1) & 3;
        if (version == 1)
            return false;
        if (layer == 0) // ADTS: the layer bits are always 0
            return (at(1) & 0xF0) == 0xF0;
        const unsigned bitrate = at(2) >> 4;
        const unsigned rate = (at(2) >> 2) & 3;
        return bitrate != 15 && rate != 3;
    }
    return false;
}

AnswerKind judgeAnswer(const QByteArray &contentType, const QUrl &asked, const QUrl &answered,
                       const QByteArray &firstBytes)
{
    QByteArray type = contentType.trimmed().toLower();
    const qsizetype semi = type.indexOf(';');
    if (semi >= 0)
        type = type.left(semi).trimmed();
    if (type.startsWith("audio/"))
        return AnswerKind::Song;
    if ((hasMusicExtension(asked) || hasMusicExtension(answered)) && looksLikeAudio(firstBytes))
        return AnswerKind::Song;
    const bool page = type.isEmpty() || type.startsWith("text/") || type.contains("html") || type.contains("xml");
    return page ? AnswerKind::Page : AnswerKind::NotPage;
}

} // namespace sources
