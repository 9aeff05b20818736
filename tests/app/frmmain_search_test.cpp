// The blog search on the main window, over real HTTP against the simulator.
#include "app/application.h"
#include "app/frmmain.h"
#include "platform/dialogs.h"
#include "sources/endpoints.h"
#include "sources/search.h"
#include "support/sim_fixture.h"

#include <QScrollBar>
#include <QTimer>

using namespace testsupport;

namespace {

class SearchTest : public SimFixture {
protected:
    void SetUp() override
    {
        app::initApplication();
        SimFixture::SetUp();
        portal.server().clearRequests();
    }
    QList<portalsim::Request> searchRequests() const
    {
        QList<portalsim::Request> found;
        for (const auto &r : const_cast<portalsim::Portal &>(portal).server().requests())
            if (r.path == "/search.naver")
                found.append(r);
        return found;
    }
    QString rowText(int row) const { return w.lstResult->topLevelItem(row)->text(0); }
    int digitShown(QLabel *image) const
    {
        for (int d = 0; d < 10; ++d)
            if (image->pixmap().cacheKey() == w.imglst1[d].cacheKey())
                return d;
        return -1;
    }
    app::frmMain w;
};

TEST_F(SearchTest, RequestCarriesTheEncodedKeywordAndStartValue)
{
    w.txtKeyword->setText(QStringLiteral(" 가나 a&b "));
    w.cmdSearch_Click();
    const auto requests = searchRequests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].target,
              "/search.naver?where=post&sm=tab_pge&query=%B0%A1%B3%AA+a%26b&start=%2001"
              "&st=sim&date_option=-1&date_from=&date_to=&dup_remove=2&post_blogid=");
    EXPECT_EQ(w.SearchPage, 0);
}

TEST_F(SearchTest, BlogAndExternalRowsWithTheirAddresses)
{
    w.txtKeyword->setText("abc");
    w.cmdSearch_Click();
    ASSERT_EQ(w.lstResult->topLevelItemCount(), 10);
    EXPECT_EQ(w.ResultCount, 10);
    const QString blog = sources::BlogHostPrefix();
    // Row 2 is another site's result between two blog posts.
    EXPECT_EQ(rowText(1), QStringLiteral("[외부 사이트]"));
    EXPECT_EQ(w.lstResult->topLevelItem(1)->foreground(0).color(), QColor(255, 0, 0));
    EXPECT_TRUE(w.ResultURLs.value(2).isEmpty());
    EXPECT_TRUE(w.ResultURLs.value(1).startsWith(blog + "PostView.nhn?blogId=musicblog"));
    EXPECT_TRUE(w.ResultURLs.value(1).contains("&logNo=1"));
    EXPECT_TRUE(w.ResultURLs.value(3).startsWith(blog + "PostView.nhn?blogId="));
    EXPECT_TRUE(rowText(0).startsWith(QStringLiteral("abc 듣기 좋은 노래 #1")));
    EXPECT_EQ(digitShown(w.imgA), 0);
    EXPECT_EQ(digitShown(w.imgB), 1);
    EXPECT_FALSE(w.picWork->isVisibleTo(&w));
}

TEST_F(SearchTest, EmptyTextAnchorTakesNoRowNumber)
{
    pointHostsAt(portal.baseUrl(), "emptytext");
    qputenv("SORIMBA_BLOG_HOST", portal.baseUrl().toUtf8());
    w.txtKeyword->setText("abc");
    w.cmdSearch_Click();
    EXPECT_EQ(w.lstResult->topLevelItemCount(), 10);
    EXPECT_TRUE(rowText(0).contains("#1"));
    // Row 1 leads to the first real post, not to the empty anchor's.
    EXPECT_TRUE(w.ResultURLs.value(1).contains("musicblog")) << w.ResultURLs.value(1).toStdString();
    EXPECT_TRUE(w.ResultURLs.value(2).isEmpty()); // the external row
    EXPECT_EQ(searchRequests().size(), 1);
}

TEST_F(SearchTest, RangeChecks)
{
    struct Case {
        const char *variant;
        int requests;
        int rows;
    } cases[] = {
        {"badrange", app::frmMain::kSearchAttempts, 9}, // re-requested up to the bound, last listing kept
        {"norange", 1, 10},                             // no range span: accepted as it is
        {"noresults", 1, 1},                            // one grey row that says so
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.variant);
        portal.server().clearRequests();
        pointHostsAt(portal.baseUrl(), c.variant);
        qputenv("SORIMBA_BLOG_HOST", portal.baseUrl().toUtf8());
        w.txtKeyword->setText("abc");
        w.cmdSearch_Click();
        EXPECT_EQ(searchRequests().size(), c.requests);
        EXPECT_EQ(w.lstResult->topLevelItemCount(), c.rows);
    }
    // The no-results row is no result: it has no address and cannot be opened.
    EXPECT_EQ(rowText(0), QStringLiteral("검색 결과가 없습니다."));
    EXPECT_EQ(w.ResultCount, 0);
    EXPECT_FALSE(w.lstResult->topLevelItem(0)->flags() & Qt::ItemIsEnabled);
    w.lstResult->setCurrentItem(w.lstResult->topLevelItem(0));
    w.lstResult_DblClick();
    EXPECT_FALSE(w.downloadWindow());
}

// A search host that fails is told as such, never as an empty page: the
// list, the page number and its digits stay as they were.
TEST_F(SearchTest, FailedSearchKeepsThePageAndSaysWhy)
{
    struct Case {
        const char *variants; // empty: nothing listens (refused)
        QString cause;
    } cases[] = {
        {"", QStringLiteral("연결 거부")},
        {"fail", QStringLiteral("서버 오류 HTTP 500")},
        {"hang", QStringLiteral("1초 안에 다 받지 못함")},
        {"drip", QStringLiteral("1초 안에 다 받지 못함")},
    };
    w.txtKeyword->setText("abc");
    w.SearchPage = 1;
    w.cmdNext_Click();
    ASSERT_EQ(w.SearchPage, 2);
    const QString firstRow = rowText(0);
    w.W->setTimeoutMs(1000);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.variants);
        pointHostsAtVariantsOrNowhere(c.variants);
        platform::ScopedDialogAnswers answers;
        w.cmdNext_Click();
        ASSERT_EQ(answers.messages().size(), 1);
        EXPECT_EQ(answers.messages()[0].title, QStringLiteral("검색"));
        EXPECT_EQ(answers.messages()[0].text, QStringLiteral("검색하지 못했습니다 (%1)").arg(c.cause));
        EXPECT_EQ(w.SearchPage, 2);
        EXPECT_EQ(digitShown(w.imgA), 0); // page index 2 shows 0 and 3
        EXPECT_EQ(digitShown(w.imgB), 3);
        EXPECT_EQ(w.lstResult->topLevelItemCount(), 10);
        EXPECT_EQ(rowText(0), firstRow);
        EXPECT_FALSE(w.picWork->isVisibleTo(&w));
    }
    platform::ScopedDialogAnswers answers; // the other page commands fail the same way
    w.cmdPrev_Click();
    w.cmdSearch_Click();
    EXPECT_EQ(answers.messages().size(), 2);
    EXPECT_EQ(w.SearchPage, 2);
}

TEST_F(SearchTest, PageButtonsAndDigits)
{
    w.txtKeyword->setText("abc");
    w.cmdPrev_Click(); // page 0: nothing
    EXPECT_TRUE(searchRequests().isEmpty());

    w.txtKeyword->setText("def"); // the keyword is read again on every request
    w.cmdNext_Click();
    ASSERT_EQ(searchRequests().size(), 1);
    EXPECT_EQ(w.SearchPage, 1);
    EXPECT_TRUE(searchRequests()[0].target.contains("query=def&start=%2011&"));
    EXPECT_TRUE(rowText(0).startsWith("def"));

    w.SearchPage = 8;
    w.cmdNext_Click(); // index 9 shows 1 and 0
    EXPECT_EQ(digitShown(w.imgA), 1);
    EXPECT_EQ(digitShown(w.imgB), 0);
    EXPECT_TRUE(searchRequests().last().target.contains("&start=%2091&"));

    w.SearchPage = 98;
    w.cmdNext_Click(); // index 99 shows the first two digits of 100
    EXPECT_EQ(w.SearchPage, 99);
    EXPECT_EQ(digitShown(w.imgA), 1);
    EXPECT_EQ(digitShown(w.imgB), 0);
    const auto count = searchRequests().size();
    w.cmdNext_Click(); // nothing past 99
    EXPECT_EQ(searchRequests().size(), count);
}

// A new result page is read from its top, wherever the last one was left.
TEST_F(SearchTest, ANewPageShowsFromItsFirstRow)
{
    w.show();
    w.txtKeyword->setText("abc");
    w.cmdNext_Click();
    QScrollBar *bar = w.lstResult->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "ten rows are more than the list shows";
    w.lstResult->scrollToBottom();
    ASSERT_GT(bar->value(), 0);
    w.cmdNext_Click();
    EXPECT_EQ(w.SearchPage, 2);
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(SearchTest, ChartDoubleClickSearchesArtistThenTitle)
{
    w.lstTop_DblClick(); // no row selected: nothing
    EXPECT_TRUE(searchRequests().isEmpty());
    w.lstTop->addTopLevelItem(new QTreeWidgetItem(QStringList{"Blue Morning", QStringLiteral("하늘소리")}));
    w.lstTop->setCurrentItem(w.lstTop->topLevelItem(0));
    w.SearchPage = 5;
    w.lstTop_DblClick();
    EXPECT_EQ(w.txtKeyword->text(), QStringLiteral("하늘소리 Blue Morning"));
    EXPECT_EQ(w.SearchPage, 0);
    ASSERT_EQ(searchRequests().size(), 1);
    EXPECT_TRUE(searchRequests()[0].target.contains("query=%C7%CF%B4%C3%BC%D2%B8%AE+Blue+Morning&start=%2001&"));
}

TEST_F(SearchTest, CommandsDuringALoadAreRefusedWithoutChangingThePage)
{
    w.lstTop->addTopLevelItem(new QTreeWidgetItem(QStringList{"Blue Morning", QStringLiteral("하늘소리")}));
    w.lstTop->setCurrentItem(w.lstTop->topLevelItem(0));
    w.txtKeyword->setText("abc");
    w.SearchPage = 4;
    QTimer::singleShot(100, &w, [&] { // inside the first request's wait
        w.cmdNext_Click();
        w.cmdPrev_Click();
        w.lstTop_DblClick();
        w.cmdSearch_Click();
        EXPECT_EQ(w.SearchPage, 5);
        EXPECT_EQ(w.txtKeyword->text(), "abc");
    });
    w.cmdNext_Click();
    EXPECT_EQ(searchRequests().size(), 1);
    EXPECT_EQ(w.SearchPage, 5);
    EXPECT_EQ(digitShown(w.imgA), 0); // page index 5 shows 0 and 6
    EXPECT_EQ(digitShown(w.imgB), 6);
}

// Closing the main window while a page loads ends the program: the load
// that was waiting tells nothing more when it ends.
TEST_F(SearchTest, ClosingTheWindowDuringASearchShowsNothingMore)
{
    platform::ScopedDialogAnswers answers;
    pointHostsAt(portal.baseUrl(), "hang");
    w.W->setTimeoutMs(1000);
    w.show();
    w.txtKeyword->setText("abc");
    QTimer::singleShot(100, &w, [&] { w.close(); });
    w.cmdSearch_Click();
    EXPECT_TRUE(answers.messages().isEmpty());
    EXPECT_FALSE(w.picWork->isVisibleTo(&w));
}

TEST_F(SearchTest, UnencodableKeywordShowsAMessageAndTheProgramGoesOn)
{
    platform::ScopedDialogAnswers answers;
    w.txtKeyword->setText(QString(32767, 'a'));
    w.cmdSearch_Click();
    ASSERT_EQ(answers.messages().size(), 1);
    EXPECT_EQ(answers.messages()[0].text, QStringLiteral("검색어를 보낼 수 없습니다: 검색어가 너무 깁니다"));
    EXPECT_TRUE(searchRequests().isEmpty());
    EXPECT_FALSE(w.picWork->isVisibleTo(&w));
    w.txtKeyword->setText("abc"); // and the next search works
    w.cmdSearch_Click();
    EXPECT_EQ(w.lstResult->topLevelItemCount(), 10);
}

} // namespace
