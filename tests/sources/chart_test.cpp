// The chart reader and the page host, over real HTTP against the simulator.
#include "platform/pagehost/pagehost.h"
#include "sources/chart.h"
#include "sources/endpoints.h"
#include "support/sim_fixture.h"

#include <QElapsedTimer>

using namespace testsupport;

namespace {

class ChartTest : public SimFixture {
protected:
    platform::HtmlDocument load(const QString &url)
    {
        platform::PageHost host;
        host.Navigate(url);
        EXPECT_TRUE(host.Busy());
        EXPECT_TRUE(waitUntil([&] { return !host.Busy(); }));
        return host.Document();
    }
    platform::HtmlDocument loadChart(const QString &variants = {})
    {
        pointHostsAt(portal.baseUrl(), variants);
        return load(sources::ChartURL());
    }
};

TEST_F(ChartTest, FullChartGivesHundredRowsInPageOrder)
{
    QString title;
    const auto rows = sources::readChartRows(loadChart(), title);
    const auto &songs = portalsim::catalogue();
    ASSERT_EQ(rows.size(), 100);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(rows[i].title, songs[i].title);
        EXPECT_EQ(rows[i].artist, songs[i].artist);
    }
    EXPECT_EQ(portal.server().requests().last().target, "/chart/chart_realtime_list.asp?jt=Real&MenuType=m");
}

TEST_F(ChartTest, AnchorOrderCases)
{
    const auto &songs = portalsim::catalogue();
    struct Case {
        const char *variant;
        int rows;
        QString firstTitle, firstArtist, secondTitle, secondArtist;
    } cases[] = {
        // An artist anchor before any title gives a row with an empty title.
        {"artistfirst", 101, "", QStringLiteral("광고 아티스트"), songs[0].title, songs[0].artist},
        // Two artists after one title give two rows with that title.
        {"twoartists", 101, songs[0].title, songs[0].artist, songs[0].title, songs[1].artist},
        // One anchor that is both title and artist: its text is both.
        {"both", 100, songs[0].title, songs[0].title, songs[1].title, songs[1].artist},
        {"rows98", 98, songs[0].title, songs[0].artist, songs[1].title, songs[1].artist},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.variant);
        QString title;
        const auto rows = sources::readChartRows(loadChart(c.variant), title);
        ASSERT_EQ(rows.size(), c.rows);
        EXPECT_EQ(rows[0].title, c.firstTitle);
        EXPECT_EQ(rows[0].artist, c.firstArtist);
        EXPECT_EQ(rows[1].title, c.secondTitle);
        EXPECT_EQ(rows[1].artist, c.secondArtist);
    }
}

TEST_F(ChartTest, DateLineFromFirstWholeClassSpanOnly)
{
    const auto date = sources::readChartDate(loadChart());
    ASSERT_TRUE(date.has_value());
    EXPECT_EQ(*date, portal.options().chartDate); // not "지난 차트" (class list_date_old), not the second span
    EXPECT_EQ(sources::chartDateLine(*date), portal.options().chartDate + QStringLiteral("기준의 자료입니다.[실시간]"));
    EXPECT_FALSE(sources::readChartDate(loadChart("nodate")).has_value());
}

class PageHostTest : public SimFixture {
protected:
    void addRoutes(portalsim::HttpServer &server) override
    {
        // Loose markup: unclosed tags, unquoted attributes, relative links,
        // entities, script text, Korean text in the code page.
        server.route("/dir/messy", [](const portalsim::Request &) {
            portalsim::Response r;
            r.body = portalsim::toCp949(QStringLiteral(
                "<html><body><p>소개 <a href=sub/page.asp?id=1&amp;x=2 class=link onclick=\"go('a')\">첫째   링크\n</a>"
                "<div><span class=\"title_num  wide\">11-20 / 1,234건<span>안쪽</span></span>"
                "<a href='/abs/path'>  둘째 <b>굵게</b> <script>var x='숨김';</script></a>"
                "<a>세째<p>문단</a><span>끝"));
            return r;
        });
        server.route("/utf8", [](const portalsim::Request &) {
            portalsim::Response r;
            r.contentType = "text/html; charset=UTF-8";
            r.body = QStringLiteral("<a href=x>유니코드</a>").toUtf8();
            return r;
        });
    }
    platform::HtmlDocument load(const QString &path)
    {
        host.Navigate(portal.baseUrl() + path);
        EXPECT_TRUE(waitUntil([&] { return !host.Busy(); }));
        return host.Document();
    }
    platform::PageHost host;
};

TEST_F(PageHostTest, MessyCp949PageGivesElementsInDocumentOrder)
{
    const auto doc = load("/dir/messy");
    const auto anchors = doc.getElementsByTagName("a");
    ASSERT_GE(anchors.size(), 3);
    EXPECT_EQ(anchors[0].outerText(), QStringLiteral("첫째 링크"));
    EXPECT_EQ(anchors[0].className(), "link");
    EXPECT_EQ(anchors[0].onclick(), "go('a')");
    EXPECT_EQ(anchors[0].href(), portal.baseUrl() + "/dir/sub/page.asp?id=1&x=2");
    EXPECT_EQ(anchors[1].outerText(), QStringLiteral("둘째 굵게"));
    EXPECT_EQ(anchors[1].href(), portal.baseUrl() + "/abs/path");
    EXPECT_TRUE(anchors[1].onclick().isNull());
    EXPECT_EQ(anchors[1].className(), "");
    EXPECT_EQ(anchors[2].href(), "");

    const auto spans = doc.getElementsByTagName("span");
    ASSERT_EQ(spans.size(), 3);
    EXPECT_EQ(spans[0].className(), "title_num  wide"); // the whole attribute, as written
    EXPECT_EQ(spans[0].outerText(), QStringLiteral("11-20 / 1,234건안쪽"));
    EXPECT_EQ(spans[1].outerText(), QStringLiteral("안쪽"));
    EXPECT_EQ(spans[2].outerText(), QStringLiteral("끝"));
}

TEST_F(PageHostTest, DeclaredCharsetWins)
{
    const auto anchors = load("/utf8").getElementsByTagName("a");
    ASSERT_EQ(anchors.size(), 1);
    EXPECT_EQ(anchors[0].outerText(), QStringLiteral("유니코드"));
}

TEST_F(PageHostTest, FailedLoadsEndBusyWithEmptyDocument)
{
    EXPECT_TRUE(load("/no/such/page").getElementsByTagName("a").isEmpty());
    EXPECT_EQ(host.lastStatus(), 404);

    // A refused connection: a port nobody listens on.
    host.Navigate("http://127.0.0.1:1/chart");
    EXPECT_TRUE(waitUntil([&] { return !host.Busy(); }));
    EXPECT_TRUE(host.Document().isEmpty());
    EXPECT_FALSE(host.lastError().isEmpty());

    // A server that answers too late: the load times out.
    host.setTimeoutMs(300);
    pointHostsAt(portal.baseUrl(), "slow");
    host.Navigate(sources::ChartURL());
    EXPECT_TRUE(waitUntil([&] { return !host.Busy(); }, 1400)); // well before the 1.5 s answer
    EXPECT_TRUE(host.Document().isEmpty());
    EXPECT_EQ(host.lastError(), QStringLiteral("0.3초 안에 다 받지 못함"));
}

// Gumbo's time grows with the square of the nesting depth: a build is given
// up at its deadline (and everything it had allocated freed), while a deep
// but affordable page is read without recursion.
TEST(HtmlDocumentBuild, DeepNestingIsReadOrGivenUpInTime)
{
    const QString deep = QStringLiteral("<div>").repeated(3000) + QStringLiteral("<a href=/x>깊은 곳</a>");
    const auto doc = platform::HtmlDocument::parse(deep, QUrl("http://h/"), QDeadlineTimer(QDeadlineTimer::Forever));
    ASSERT_TRUE(doc);
    const auto anchors = doc->getElementsByTagName("a");
    ASSERT_EQ(anchors.size(), 1);
    EXPECT_EQ(anchors[0].outerText(), QStringLiteral("깊은 곳"));
    EXPECT_EQ(doc->getElementsByTagName("div").size(), 3000);

    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(platform::HtmlDocument::parse(QStringLiteral("<div>").repeated(100000), QUrl(), QDeadlineTimer(300)));
    EXPECT_LT(clock.elapsed(), 2000);
}

} // namespace
