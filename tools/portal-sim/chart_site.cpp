// The music portal's real-time chart page. Title anchors carry
// "playMusicSong('id')" in their click handler, artist anchors link to
// "/artist.asp?...", and the chart's date sits in a span of class "list_date".
// The markup is deliberately loose (unclosed cells, unquoted attributes) as
// the real page's is.
//
// Variants: rows98 (two songs missing), nodate (no date span), artistfirst
// (an artist anchor before any title), twoartists (a second artist anchor after
// the first title), both (one anchor that is title and artist at once),
// slow (answers after 1.5 s), deepnest (100,000 unclosed <div> tags before the
// chart, which takes an HTML parser minutes). The server's own failures
// (fail, hang, drip, reset) apply too.
#include "portal.h"

namespace portalsim {

namespace {

QString titleAnchor(const Song &s)
{
    return QStringLiteral("<a href=\"#\" onclick=\"playMusicSong('%1'); return false;\" class=tit title=\"%2\">%2</a>")
        .arg(1000 + s.id)
        .arg(htmlEscape(s.title));
}

QString artistAnchor(const Song &s, int salt = 0)
{
    return QStringLiteral("<a href=/artist.asp?artist_id=%1&amp;from=chart class=art>%2</a>")
        .arg(500 + s.id + salt)
        .arg(htmlEscape(s.artist));
}

QString chartPage(const Request &req, const PortalOptions &options)
{
    const QList<Song> &songs = catalogue();
    const int rows = req.hasVariant("rows98") ? 98 : int(songs.size());
    QString html;
    html += QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
        "<html><head>\n<meta http-equiv=Content-Type content=\"text/html; charset=euc-kr\">\n"
        "<title>실시간 차트 TOP 100</title>\n"
        "<link rel=stylesheet href=/css/chart.css>\n"
        "<script type=\"text/javascript\">function playMusicSong(id){ window.open('/play.asp?id='+id); }</script>\n"
        "</head>\n<body>\n"
        "<div id=gnb><a href=/>홈</a> | <a href=/chart/>차트</a> | <a href=\"javascript:login()\">로그인</a></div>\n"
        "<div class=chart_head><h2>실시간 차트</h2>\n"
        "<span class=\"list_date_old\">지난 차트</span>\n");
    if (!req.hasVariant("nodate"))
        html += QStringLiteral("<span class=list_date>%1</span> <span class=\"list_date\">%2</span>\n")
                    .arg(htmlEscape(options.chartDate), QStringLiteral("이전 집계"));
    if (req.hasVariant("deepnest"))
        html += QStringLiteral("<div>").repeated(100000);
    html += QStringLiteral("</div>\n<table class=list_table summary=\"실시간 차트\">\n<tr><th>순위<th>곡명<th>아티스트\n");
    if (req.hasVariant("artistfirst"))
        html += QStringLiteral("<tr class=ad><td><td><td><a href=/artist.asp?artist_id=1 class=art>광고 아티스트</a>\n");
    for (int i = 0; i < rows; ++i) {
        const Song &s = songs[i];
        html += QStringLiteral("<tr><td class=rank>%1").arg(i + 1);
        if (req.hasVariant("both") && i == 0) {
            html += QStringLiteral("<td colspan=2><a href=\"/artist.asp?artist_id=7\" onclick=\"playMusicSong('%1')\">%2</a>\n")
                        .arg(1000 + s.id)
                        .arg(htmlEscape(s.title));
            continue;
        }
        html += QStringLiteral("<td>") + titleAnchor(s) + QStringLiteral("<td>") + artistAnchor(s);
        if (req.hasVariant("twoartists") && i == 0)
            html += QStringLiteral(", ") + artistAnchor(songs[1], 1);
        html += '\n';
    }
    html += QStringLiteral("</table>\n<div id=footer><a href=/company/>회사소개</a> <a href=/policy/>이용약관</a></div>\n</body></html>\n");
    return html;
}

} // namespace

void installChartSite(HttpServer &server, const PortalOptions &options)
{
    server.route("/chart/chart_realtime_list.asp", [options](const Request &req) {
        Response r;
        r.body = toCp949(chartPage(req, options));
        if (req.hasVariant("slow"))
            r.delayMs = 1500;
        return r;
    });
}

} // namespace portalsim
