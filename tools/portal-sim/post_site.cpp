// The blog's post view pages ("/PostView.nhn?blogId=ID&logNo=N"). The form of a
// post follows its number (n = logNo % 100 for the search results' posts):
//   0  attachment in the page's script file list: the address is followed by
//      "\',\'encodedAttachFileName\':\'" and more text before the next blank
//   1  plain attachment link, quoted, followed by a blank (the address keeps
//      the closing quote; the download window drops it)
//   2  embedded player after the title marker, quoted src, another attribute after it
//   3  embedded player after the title marker, unquoted src
//   4  an embedded player only before the title marker (no music in the post)
//   5  an attachment placed after the first 8192 bytes of the page
//   6  no music at all
//   7  an embedded player tag without "src="
//   8  a Korean file name split across the 8192-byte boundary, then music
//      (the reader must decode the text before the cut intact)
//   9  attachment of a file that is not music (.jpg)
// Attachment addresses lie on the attachment host (another loopback address);
// embedded sources on the blog host itself.
#include "portal.h"

#include <QStringList>

namespace portalsim {

namespace {

const QStringList kSongs = {
    QStringLiteral("%B3%EB%B7%A1.mp3"), // 노래.mp3 in the Korean code page
    QStringLiteral("tone3s-128k.mp3"),
    QStringLiteral("tone30s-32k.mp3"),
    QStringLiteral("TONE3S.MP3"),
};

QString frameTop(const QString &blogId)
{
    return QStringLiteral(
               "<html><head><meta http-equiv=Content-Type content=\"text/html; charset=euc-kr\">"
               "<title>%1 님의 블로그</title>\n<script type=\"text/javascript\">var blogId='%1';</script>\n"
               "</head><body>\n<div id=blog-menu><a href=\"/%1\">프롤로그</a> <a href=\"/%1?t=list\">블로그</a></div>\n")
        .arg(blogId);
}

QString padding(int bytes)
{
    // Ordinary post text in Hangul (two bytes a syllable in the code page).
    QString text;
    const QString line = QStringLiteral("<p>오늘 들은 노래를 소개합니다. 가사와 멜로디가 정말 좋아요.</p>\n");
    while (toCp949(text).size() < bytes)
        text += line;
    return text;
}

QString postPage(const Request &req, const QString &attachBase)
{
    const QString blogId = QString::fromLatin1(req.queryValue("blogId"));
    const qint64 logNo = req.queryValue("logNo").toLongLong();
    const int form = int(logNo % 100) % 10;
    const QString song = kSongs[int((logNo / 100) % kSongs.size())];
    const QString host = QStringLiteral("http://%1").arg(QString::fromLatin1(req.header("host")));
    const QString attach = attachBase + QStringLiteral("/files/") + song;
    // Embedded sources reach the reader lower-cased: only names that survive it.
    const QString embedSong = song == QLatin1String("TONE3S.MP3") ? QStringLiteral("tone3s-128k.mp3") : song;
    const QString media = host + QStringLiteral("/media/") + embedSong;
    const QString title = QStringLiteral("<!-- 제목 -->\n<div class=htitle><span class=pcol1>좋은 노래 %1</span></div>\n").arg(logNo);

    QString html = frameTop(blogId);
    switch (form) {
    case 0:
        html += QStringLiteral("<script>var aPostFiles = [{'encodedAttachFileUrl': '%1\\',\\'encodedAttachFileName\\':\\'%2\\',\\'size\\':\\'48900\\'}];</script>\n")
                    .arg(attach, song);
        html += title + padding(600);
        break;
    case 1:
        html += title + padding(400)
                + QStringLiteral("<p>첨부파일 <a href=\"%1\" class=\"file\">%2</a></p>\n").arg(attach, song);
        break;
    case 2:
        html += title + padding(500)
                + QStringLiteral("<EMBED SRC=\"%1\" autostart=\"true\" loop=-1 width=300 height=45>\n").arg(media);
        break;
    case 3:
        html += title + padding(300) + QStringLiteral("<embed src=%1 width=300 height=45></embed>\n").arg(media);
        break;
    case 4:
        html += QStringLiteral("<embed src=\"%1/media/bgm.mp3\" hidden=true>\n").arg(host) + title + padding(800);
        break;
    case 5:
        html += title + padding(9000) + QStringLiteral("<a href=\"%1\" class=file>%2</a>\n").arg(attach, song);
        break;
    case 6:
        html += title + padding(1200);
        break;
    case 7:
        html += title + QStringLiteral("<embed type=\"audio/mpeg\" width=300>\n") + padding(200);
        break;
    case 8: {
        // Pad so that the byte 8192 falls in the middle of a syllable.
        QString text = title + padding(8000);
        while (toCp949(html + text).size() < 8191)
            text += 'x';
        html += text + QStringLiteral("가나다라 <embed src=\"%1\">\n").arg(media);
        break;
    }
    case 9:
        html += title + QStringLiteral("<p><a href=\"%1/files/photo.jpg\" class=file>사진</a></p>\n").arg(attachBase);
        break;
    }
    html += QStringLiteral("<div id=footer>이 블로그의 글 | <a href=\"/%1\">더보기</a></div></body></html>\n").arg(blogId);
    return html;
}

} // namespace

void installPostSite(HttpServer &server, std::function<QString()> attachBase)
{
    server.route("/PostView.nhn", [attachBase](const Request &req) {
        Response r;
        r.body = toCp949(postPage(req, attachBase()));
        return r;
    });
}

} // namespace portalsim
