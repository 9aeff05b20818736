// Web pages of any site that carry songs the ways pages do today
// ("/page/NAME"). Songs are the music site's files on this host (/media/...)
// or on the attachment host (/files/...); a few names have no file behind
// them (song.m4a, a.ogg ...), as a page may link to anything.
//   attach     attachment addresses in script text and in a link, one of them twice
//   audio      <audio src> and <audio><source src><source src></audio>
//   links      <a href> to music of each extension and letter case, one with a
//              query, beside links that are no music (javascript:, data:,
//              mailto:, .html, .mp3.html, an image)
//   og         og:audio, og:audio:url and og:audio:secure_url metas
//   video      a <video> with a src and an .mp3 <source>: no songs
//   all        every kind at once, each song also offered by a later kind
//   relative   relative addresses, resolved against the page's own address
//   base       the same relative addresses under <base href="/media/">
//   entities   addresses written with character references
//   cp949      CP949 bytes, no charset in the header or the page; Korean title and name
//   cp949meta  CP949 bytes, the charset only in a <meta>
//   utf8       UTF-8 bytes, no charset in the header or the page; Korean title and name
//   many       10,000 links to distinct music files
//   one        one song
//   none       a page without songs
//   song.mp3   a page whose address ends in .mp3
//   octet/NAME a music file of the music site sent as application/octet-stream
//   image.png  a picture: neither a page nor music
// All pages but cp949, cp949meta and utf8 are UTF-8 with the charset in the header.
#include "portal.h"

#include <QFile>
#include <QStringEncoder>

namespace portalsim {

namespace {

QString hostOf(const Request &req)
{
    return QStringLiteral("http://%1").arg(QString::fromLatin1(req.header("host")));
}

QString page(const QString &title, const QString &head, const QString &body)
{
    return QStringLiteral("<!DOCTYPE html><html><head><title>%1</title>%2</head><body>\n%3\n</body></html>\n")
        .arg(title, head, body);
}

Response utf8Page(const QString &html)
{
    Response r;
    r.contentType = "text/html; charset=utf-8";
    r.body = html.toUtf8();
    return r;
}

QString pageFor(const QByteArray &name, const QString &host, const QString &attach)
{
    if (name == "attach")
        return page(QStringLiteral("첨부 음악"),
                    QStringLiteral("<script>var files = [{'url': '%1/files/%B3%EB%B7%A1.mp3\\',\\'encodedAttachFileName\\':\\'x'},"
                                   "{'url': '%1/files/tone3s-128k.mp3'}];</script>")
                        .arg(attach),
                    QStringLiteral("<img src=\"%1/files/photo.jpg\"><a href=\"%1/files/tone3s-128k.mp3\">다시</a>").arg(attach));
    if (name == "audio")
        return page(QStringLiteral("Audio"), {},
                    QStringLiteral("<audio src=\"%1/media/tone3s-128k.mp3\" controls></audio>\n"
                                   "<audio controls><source src=\"%1/media/tone30s-32k.mp3\" type=audio/mpeg>"
                                   "<source src=\"%1/media/tone1s.wav\" type=audio/wav></audio>")
                        .arg(host));
    if (name == "links")
        return page(QStringLiteral("Links"), {},
                    QStringLiteral("<a href=\"javascript:play('%1/media/x.mp3')\">js</a>\n"
                                   "<a href=\"data:audio/mpeg;base64,SUQz.mp3\">data</a>\n"
                                   "<a href=\"mailto:me@example.com?subject=a.mp3\">mail</a>\n"
                                   "<a href=\"%1/about.html\">about</a> <a href=\"%1/lyrics.mp3.html\">lyrics</a>"
                                   " <a href=\"%1/cover.jpg\">cover</a>\n"
                                   "<a href=\"%1/media/tone3s-128k.mp3\">1</a> <a href=\"%1/media/song.M4A\">2</a>"
                                   " <a href=\"%1/media/song.aac\">3</a> <a href=\"%1/media/song.Ogg\">4</a>"
                                   " <a href=\"%1/media/song.oga\">5</a> <a href=\"%1/media/song.opus\">6</a>"
                                   " <a href=\"%1/media/song.flac\">7</a> <a href=\"%1/media/tone1s.WAV\">8</a>"
                                   " <a href=\"%1/media/tone30s-32k.mp3?dl=1\">9</a>")
                        .arg(host));
    if (name == "og")
        return page(QStringLiteral("Open Graph"),
                    QStringLiteral("<meta property=\"og:title\" content=\"a.mp3\">"
                                   "<meta property=\"og:audio\" content=\"%1/media/tone3s-128k.mp3\">"
                                   "<meta property=\"og:audio:url\" content=\"%1/media/tone30s-32k.mp3\">"
                                   "<meta property=\"og:audio:secure_url\" content=\"%1/media/tone1s.wav\">"
                                   "<meta property=\"og:audio:type\" content=\"audio/mpeg\">")
                        .arg(host),
                    QStringLiteral("<p>text</p>"));
    if (name == "video")
        return page(QStringLiteral("Video"), {},
                    QStringLiteral("<video src=\"%1/media/clip.mp4\"></video>"
                                   "<video><source src=\"%1/media/tone3s-128k.mp3\"></video>")
                        .arg(host));
    if (name == "all")
        return page(QStringLiteral("All"),
                    QStringLiteral("<meta property=\"og:audio\" content=\"%1/media/tone1s.wav\">"
                                   "<meta property=\"og:audio\" content=\"%2/files/%B3%EB%B7%A1.mp3\">")
                        .arg(host, attach),
                    QStringLiteral("<a href=\"%1/media/tone1s.wav#t=3\">wav</a> <a href=\"%1/media/song.flac\">flac</a>\n"
                                   "<audio src=\"%1/media/tone30s-32k.mp3\"></audio>"
                                   "<audio><source src=\"%1/media/tone30s-32k.mp3\"></audio>\n"
                                   "<a href=\"%1/media/tone30s-32k.mp3\">again</a>\n"
                                   "<script>var f = '%2/files/%B3%EB%B7%A1.mp3';</script>")
                        .arg(host, attach));
    if (name == "relative" || name == "base")
        return page(QStringLiteral("Relative"), name == "base" ? QStringLiteral("<base href=\"/media/\">") : QString(),
                    QStringLiteral("<a href=\"tone3s-128k.mp3\">a</a> <a href=\"../media/tone1s.wav\">b</a>"
                                   " <a href=\"/media/tone30s-32k.mp3\">c</a> <a href=\"//%1/media/TONE3S.MP3\">d</a>"
                                   "<audio src=\"song.ogg\"></audio>")
                        .arg(host.mid(7)));
    if (name == "entities")
        return page(QStringLiteral("Entities &amp; more"), {},
                    QStringLiteral("<a href=\"%1/media/tone30s-32k.mp3?a=1&amp;b=2\">a</a>"
                                   " <a href=\"%1&#47;media&#x2F;tone3s-128k&#46;mp3\">b</a>"
                                   " <a href=\"%1/media/tone30s-32k.mp3?a=1&b=2\">same as a</a>")
                        .arg(host));
    if (name == "many") {
        QString links;
        links.reserve(10000 * 48);
        for (int i = 0; i < 10000; ++i)
            links += QStringLiteral("<a href=\"/media/track%1.mp3\">%1</a>\n").arg(i);
        return page(QStringLiteral("오늘 올라온 노래 1만 곡: 장르와 시대별로 모아 둔 아주 긴 제목의 음악 페이지"), {}, links);
    }
    if (name == "one")
        return page(QStringLiteral("One"), {}, QStringLiteral("<p><a href=\"%1/media/tone3s-128k.mp3\">listen</a></p>").arg(host));
    if (name == "none")
        return page(QStringLiteral("None"), {}, QStringLiteral("<p><a href=\"%1/about.html\">about</a></p>").arg(host));
    if (name == "song.mp3")
        return page(QStringLiteral("Not a file"), {}, QStringLiteral("<a href=\"%1/media/tone1s.wav\">wav</a>").arg(host));
    return {};
}

// The Korean pages: a Korean title and a link to a Korean file name written
// as it is (not %-escaped), so that only the right decoding finds the file.
QString koreanPage(const QString &head)
{
    return page(QStringLiteral("오늘의 노래 모음"), head,
                QStringLiteral("<p>노래를 들어 보세요</p><a href=\"/media/음악.wav\">음악</a>"
                               " <a href=\"/media/tone3s-128k.mp3\">둘</a>"));
}

} // namespace

void installPageSite(HttpServer &server, std::function<QString()> attachBase)
{
    server.route("/page/", [&server, attachBase](const Request &req) {
        const QByteArray name = req.path.mid(6);
        if (name.startsWith("octet/")) {
            // The music site's own answer, relabelled.
            Request file = req;
            file.path = "/media/" + name.mid(6);
            file.target = file.path;
            file.variants.clear();
            Response r = server.handle(file);
            if (r.status == 200)
                r.contentType = "application/octet-stream";
            return r;
        }
        if (name == "image.png") {
            Response r;
            r.contentType = "image/png";
            r.body = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(64, '\0');
            return r;
        }
        if (name == "cp949" || name == "cp949meta") {
            Response r;
            r.contentType = "text/html";
            r.body = toCp949(koreanPage(name == "cp949meta" ? QStringLiteral("<meta charset=\"euc-kr\">") : QString()));
            return r;
        }
        if (name == "utf8") {
            Response r;
            r.contentType = "text/html";
            r.body = koreanPage({}).toUtf8();
            return r;
        }
        const QString html = pageFor(name, hostOf(req), attachBase());
        return html.isEmpty() ? Response::notFound() : utf8Page(html);
    });
}

} // namespace portalsim
