// The maker's site: the update page that the update window shows and the home
// page that its label opens in the browser. The update page answers after
// 1.5 s, as a far server would, so that a person sees the window refuse to
// close while it loads.
//
// Variants: quick (the update page at once), delayN (after N ms). The server's
// own failures apply. Hostile update pages, for the bounds of the page view:
//   tablesN   N nested "<table><tr><td>" before the page's text
//   wordN     one word of N KiB (no blank) in the page
//   runsN     N bold and italic runs of one letter each
//   textN     N KiB of ordinary Korean sentences
#include "portal.h"

namespace portalsim {

namespace {

QString updatePage()
{
    return QStringLiteral(
        "<html><head>\n<meta http-equiv=Content-Type content=\"text/html; charset=euc-kr\">\n"
        "<title>Sorimba 2 업데이트 내용</title>\n</head>\n<body bgcolor=#ffffff>\n"
        "<h2>Sorimba 2 업데이트 내용</h2>\n"
        "<p><b>v 2.1.0.7</b> (2026.12.10)</p>\n"
        "<ul>\n"
        "<li>실시간 차트를 불러오는 속도가 빨라졌습니다.\n"
        "<li>블로그 검색 결과의 페이지 번호가 바르게 표시됩니다.\n"
        "<li>다운로드 중 취소하면 받던 파일을 남기지 않습니다.\n"
        "<li>아이콘과 창 그림을 새로 그렸습니다.\n"
        "</ul>\n"
        "<p><b>v 2.1.0.6</b> (2026.11.02)</p>\n"
        "<ul>\n<li>음질 표시(kb/s)가 추가되었습니다.\n<li>저장 폴더를 기억합니다.\n</ul>\n"
        "<hr>\n<p>문의와 버그 신고는 <a href=\"/maker/\">제작자 홈페이지</a>를 이용해 주세요.</p>\n"
        "</body></html>\n");
}

QString homePage()
{
    return QStringLiteral(
        "<html><head>\n<meta http-equiv=Content-Type content=\"text/html; charset=euc-kr\">\n"
        "<title>Sorimba 제작자 홈페이지</title>\n</head>\n<body>\n"
        "<h1>Sorimba</h1>\n<p>음악을 찾고 듣고 저장하는 프로그램.</p>\n"
        "<p><a href=\"/maker/update.html\">업데이트 내용</a></p>\n</body></html>\n");
}

QString repeated(const QString &piece, int times)
{
    return piece.repeated(times);
}

// The number after a variant's name ("tables30" -> 30); 0 when absent.
int variantNumber(const Request &req, const char *name)
{
    const QByteArray prefix(name);
    for (const QByteArray &v : req.variants)
        if (v.startsWith(prefix))
            return qBound(0, v.mid(prefix.size()).toInt(), 1 << 20);
    return 0;
}

// The update page with something hostile before its list of changes, or the
// plain page when no hostile variant is asked for.
QString hostileUpdatePage(const Request &req)
{
    QString hostile;
    if (const int n = variantNumber(req, "tables"))
        hostile = repeated(QStringLiteral("<table><tr><td>"), n) + QStringLiteral("표 안의 글");
    else if (const int n = variantNumber(req, "word"))
        hostile = QStringLiteral("<p>") + QString(n * 1024, u'w') + QStringLiteral("</p>");
    else if (const int n = variantNumber(req, "runs"))
        hostile = QStringLiteral("<p>") + repeated(QStringLiteral("<b>x</b><i>y</i>"), n / 2) + QStringLiteral("</p>");
    else if (const int n = variantNumber(req, "text"))
        hostile = QStringLiteral("<p>") + repeated(QStringLiteral("업데이트 내용을 알려 드립니다. "), n * 1024 / 36) + QStringLiteral("</p>");
    else
        return updatePage();
    QString page = updatePage();
    page.insert(page.indexOf(QStringLiteral("<h2>")), hostile);
    return page;
}

} // namespace

void installMakerSite(HttpServer &server)
{
    server.route("/maker/update.html", [](const Request &req) {
        Response r;
        r.body = toCp949(hostileUpdatePage(req));
        r.delayMs = req.hasVariant("quick") ? 0 : 1500;
        for (const QByteArray &v : req.variants)
            if (v.startsWith("delay") && v.mid(5).toInt() > 0)
                r.delayMs = v.mid(5).toInt();
        return r;
    });
    server.route("/maker/", [](const Request &) {
        Response r;
        r.body = toCp949(homePage());
        return r;
    });
}

} // namespace portalsim
