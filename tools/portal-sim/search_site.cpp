// The web portal's blog search result pages. Each page holds ten results:
// blog posts (anchors of class "link" with the "goCR(this,'rd','u='+urlencode('"
// click handler and an address on the blog host) and results on other sites,
// a range span of class "title_num" ("11-20 / 1,234건"), and ordinary page
// markup with anchors that must not be taken for results.
//
// The keyword decides the mix: row 2 of every page is another site's result,
// and one more row (3 to 9) is external for some keywords. Blog results point
// at the post view pages of the post site (post_site.cpp), on the host the
// request came to. Up to 100 pages; the start value is 10 x page + 1 as text.
//
// Variants: badrange (the span announces ten results but nine follow),
// norange (no span),
// emptytext (an extra result anchor with empty text before the others),
// noresults (no result anchors, no span).
#include "portal.h"

#include <QLocale>
#include <QStringDecoder>
#include <QUrl>

namespace portalsim {

namespace {

// Form-decodes a query value given in the Korean code page.
QString decodeKeyword(QByteArray value)
{
    value.replace('+', ' ');
    const QByteArray bytes = QByteArray::fromPercentEncoding(value);
    QStringDecoder cp949("windows-949");
    return cp949.decode(bytes);
}

uint keywordHash(const QString &keyword)
{
    uint h = 2166136261u;
    for (QChar c : keyword)
        h = (h ^ c.unicode()) * 16777619u;
    return h;
}

QString resultAnchor(const QString &href, const QString &text)
{
    return QStringLiteral("<a class=\"link\" href=\"%1\" target=\"_blank\" "
                          "onclick=\"return goCR(this,'rd','u='+urlencode('%1')+'&a=blg*i.tit&r=1&i=');\">%2</a>")
        .arg(htmlEscape(href), text);
}

QString searchPage(const Request &req)
{
    const QString keyword = decodeKeyword(req.queryValue("query"));
    const int start = QByteArray::fromPercentEncoding(req.queryValue("start")).trimmed().toInt();
    const int page = qBound(0, (start - 1) / 10, 99);
    const uint hash = keywordHash(keyword);
    const int total = 990 + int(hash % 9000);
    const int secondExternal = (hash % 3 == 0) ? int(3 + hash % 7) : -1;
    const QString host = QString::fromLatin1(req.header("host"));
    const QString blogBase = QStringLiteral("http://%1/").arg(host);

    QString html = QStringLiteral(
        "<html><head><meta charset=euc-kr><title>%1 : 블로그 검색</title>\n"
        "<script>function goCR(a,b,c){return true;} function urlencode(s){return s;}</script></head>\n"
        "<body><div id=header><a href=\"/\" class=\"link_home\">검색 홈</a> "
        "<a class=link href=\"/search.naver?where=image&query=x\">이미지</a>\n"
        "<form><input name=query value=\"%1\"></form></div>\n<div class=\"section_head\"><h2>블로그</h2>\n")
                       .arg(htmlEscape(keyword));
    const int rows = req.hasVariant("badrange") ? 9 : 10;
    if (!req.hasVariant("norange") && !req.hasVariant("noresults"))
        html += QStringLiteral("<span class=\"title_num\">%1-%2 / %3건</span>\n")
                    .arg(page * 10 + 1)
                    .arg(page * 10 + 10)
                    .arg(QLocale(QLocale::English).toString(total));
    html += QStringLiteral("<span class=\"title_num_old\">1-10</span></div>\n<ul class=type01>\n");
    if (req.hasVariant("emptytext"))
        html += QStringLiteral("<li>") + resultAnchor(blogBase + "emptyblog?Redirect=Log&logNo=1", QString()) + '\n';
    for (int i = 1; i <= rows && !req.hasVariant("noresults"); ++i) {
        const int n = page * 10 + i;
        const bool external = i == 2 || i == secondExternal;
        html += QStringLiteral("<li><dl><dt>");
        if (external) {
            html += resultAnchor(QStringLiteral("http://cafe.example.net/music/%1").arg(n),
                                 QStringLiteral("%1 카페 글 %2").arg(htmlEscape(keyword)).arg(n));
        } else {
            const QString blogId = QStringLiteral("musicblog%1").arg((hash + n) % 97);
            const qint64 logNo = 100000000LL + qint64(hash % 1000) * 1000 + n;
            html += resultAnchor(QStringLiteral("%1%2?Redirect=Log&logNo=%3").arg(blogBase, blogId).arg(logNo),
                                 QStringLiteral("<strong>%1</strong> 듣기 좋은 노래 #%2").arg(htmlEscape(keyword)).arg(n));
        }
        html += QStringLiteral("</dt><dd class=txt_inline>2026.12.%1 <a href=\"%2\" class=url>블로그 주소</a></dd>"
                               "<dd>이 글에는 <b>음악</b>이 있습니다<dd></dl>\n")
                    .arg(1 + n % 28)
                    .arg(htmlEscape(blogBase));
    }
    html += QStringLiteral("</ul>\n<div class=paging><a href=\"?start=11\" class=\"link\">2</a></div></body></html>\n");
    return html;
}

} // namespace

void installSearchSite(HttpServer &server)
{
    server.route("/search.naver", [](const Request &req) {
        Response r;
        r.body = toCp949(searchPage(req));
        return r;
    });
}

} // namespace portalsim
