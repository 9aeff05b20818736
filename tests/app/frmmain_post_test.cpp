// Opening a post from the result list, and the main path from the chart to a
// saved file, against the simulator.
#include "app/application.h"
#include "app/frmmain.h"
#include "download/frmdownload.h"
#include "platform/dialogs.h"
#include "sources/endpoints.h"
#include "support/sim_fixture.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTimer>

using namespace testsupport;

namespace {

class PostTest : public SimFixture {
protected:
    void SetUp() override
    {
        app::initApplication();
        SimFixture::SetUp();
    }
    // Lists one blog row leading to post number logNo and double-clicks it.
    void openPost(qint64 logNo)
    {
        w.lstResult->clear();
        w.lstResult->addTopLevelItem(new QTreeWidgetItem(QStringList{"post"}));
        w.ResultURLs = {QString(), sources::BlogHostPrefix() + QStringLiteral("PostView.nhn?blogId=t&logNo=%1").arg(logNo)};
        w.lstResult->setCurrentItem(w.lstResult->topLevelItem(0));
        w.lstResult_DblClick();
    }
    // The body the simulator serves at address, fetched apart from the program.
    static QByteArray served(const QString &address)
    {
        QNetworkAccessManager nam;
        std::unique_ptr<QNetworkReply> reply(nam.get(QNetworkRequest(QUrl(address))));
        waitUntil([&] { return reply->isFinished(); });
        return reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
    }
    download::frmDownload *downloadWindow() const { return static_cast<download::frmDownload *>(w.downloadWindow()); }
    int postRequests()
    {
        int n = 0;
        for (const auto &r : portal.server().requests())
            n += r.path == "/PostView.nhn";
        return n;
    }

    platform::ScopedDialogAnswers answers;
    app::frmMain w;
};

TEST_F(PostTest, ExternalRowAndNoSelectionDoNothing)
{
    w.lstResult_DblClick(); // nothing selected
    w.lstResult->addTopLevelItem(new QTreeWidgetItem(QStringList{QStringLiteral("[외부 사이트]")}));
    w.lstResult->setCurrentItem(w.lstResult->topLevelItem(0));
    w.lstResult_DblClick();
    EXPECT_EQ(postRequests(), 0);
    EXPECT_FALSE(w.picError->isVisibleTo(&w));
    EXPECT_EQ(w.downloadWindow(), nullptr);
}

TEST_F(PostTest, MusicAddressesReachTheDownloadWindow)
{
    struct Case {
        qint64 logNo;
        QString address;
        QString name;
    } cases[] = {
        {0, portal.attachBaseUrl() + "/files/%B3%EB%B7%A1.mp3", QStringLiteral("노래.mp3")}, // script text cut
        {101, portal.attachBaseUrl() + "/files/tone3s-128k.mp3", "tone3s-128k.mp3"},     // quote dropped
        {202, portal.baseUrl() + "/media/tone30s-32k.mp3", "tone30s-32k.mp3"},          // quoted embed
        {303, portal.baseUrl() + "/media/tone3s-128k.mp3", "tone3s-128k.mp3"},          // unquoted embed
        {8, portal.baseUrl() + "/media/%b3%eb%b7%a1.mp3", QStringLiteral("노래.mp3")},   // not found: past 8192
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.logNo);
        if (c.logNo == 8) {
            // The split syllable at byte 8192 must not spoil the text before it,
            // and the embed after the cut is out of reach.
            openPost(8);
            EXPECT_TRUE(w.picError->isVisibleTo(&w));
            continue;
        }
        openPost(c.logNo);
        ASSERT_NE(downloadWindow(), nullptr);
        EXPECT_EQ(downloadWindow()->DownURL, c.address);
        EXPECT_EQ(downloadWindow()->txtFN->text(), c.name);
        EXPECT_TRUE(downloadWindow()->isVisible());
        EXPECT_FALSE(w.picError->isVisibleTo(&w));
    }
    // The window opened centred over the main window, not at the screen's corner.
    const QPoint offset = downloadWindow()->geometry().center() - w.geometry().center();
    EXPECT_LE(offset.manhattanLength(), 40) << offset.x() << ", " << offset.y();
}

TEST_F(PostTest, PostsWithoutMusicShowTheErrorPanel)
{
    for (qint64 logNo : {4, 5, 6, 7}) { // embed before the marker, music past 8192, none, no src
        SCOPED_TRACE(logNo);
        w.picError->hide();
        openPost(logNo);
        EXPECT_TRUE(w.picError->isVisibleTo(&w));
        EXPECT_EQ(w.downloadWindow(), nullptr);
    }
    EXPECT_TRUE(answers.messages().isEmpty());
}

TEST_F(PostTest, UnreachablePostGivesAMessage)
{
    qputenv("SORIMBA_BLOG_HOST", "http://127.0.0.1:1");
    openPost(0);
    ASSERT_EQ(answers.messages().size(), 1);
    EXPECT_EQ(answers.messages()[0].title, QStringLiteral("블로그"));
    EXPECT_EQ(w.downloadWindow(), nullptr);
}

// Closing the main window while a post loads ends the program: when the
// load ends, no download window opens and no message appears.
TEST_F(PostTest, ClosingTheWindowDuringAPostLoadShowsNothingMore)
{
    struct Case {
        const char *variants;
        qint64 logNo;
    } cases[] = {
        {"rate2", 101}, // a post with music arriving slowly
        {"hang", 0},    // a post that never comes
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.variants);
        app::frmMain main;
        main.Ine->setTimeoutMs(1000);
        main.show();
        qputenv("SORIMBA_BLOG_HOST", (portal.baseUrl() + "/_v/" + c.variants).toUtf8());
        main.lstResult->addTopLevelItem(new QTreeWidgetItem(QStringList{"post"}));
        main.ResultURLs = {QString(), sources::BlogHostPrefix() + QStringLiteral("PostView.nhn?blogId=t&logNo=%1").arg(c.logNo)};
        main.lstResult->setCurrentItem(main.lstResult->topLevelItem(0));
        QTimer::singleShot(100, &main, [&] { main.close(); });
        main.lstResult_DblClick();
        EXPECT_EQ(main.downloadWindow(), nullptr);
        EXPECT_TRUE(answers.messages().isEmpty());
        EXPECT_FALSE(main.picError->isVisibleTo(&main));
    }
}

// A post whose music answers its first request only after a while.
class SlowMusicPostTest : public PostTest {
protected:
    void addRoutes(portalsim::HttpServer &server) override
    {
        server.route("/SlowMusicPost.nhn", [](const portalsim::Request &req) {
            portalsim::Response r;
            r.body = "<html><body><!-- \xc1\xa6\xb8\xf1 --><embed src=http://" + req.header("host")
                     + "/slowhead/slow.mp3 width=300></body></html>";
            return r;
        });
        server.route("/slowhead/", [](const portalsim::Request &) {
            portalsim::Response r;
            r.contentType = "audio/mpeg";
            r.body = QByteArray(4096, 'x');
            r.delayMs = 800;
            return r;
        });
    }
};

// A second result opened while the download window still asks about the
// first one's music: the window ends up naming, playing and downloading one
// and the same address.
TEST_F(SlowMusicPostTest, SecondPostOpenedWhileTheFirstIsAskedAboutGivesOneSong)
{
    const QString blog = sources::BlogHostPrefix();
    w.lstResult->addTopLevelItem(new QTreeWidgetItem(QStringList{"slow"}));
    w.lstResult->addTopLevelItem(new QTreeWidgetItem(QStringList{"quick"}));
    w.ResultURLs = {QString(), blog + QStringLiteral("SlowMusicPost.nhn"),
                    blog + QStringLiteral("PostView.nhn?blogId=t&logNo=303")};
    w.lstResult->setCurrentItem(w.lstResult->topLevelItem(0));
    QTimer::singleShot(300, &w, [&] { // while the first song's size is asked for
        w.lstResult->setCurrentItem(w.lstResult->topLevelItem(1));
        w.lstResult_DblClick();
    });
    w.lstResult_DblClick();
    waitUntil([] { return false; }, 1200); // both requests over
    ASSERT_NE(downloadWindow(), nullptr);
    const QString address = downloadWindow()->DownURL;
    EXPECT_EQ(downloadWindow()->W->URL(), address);
    EXPECT_EQ(downloadWindow()->txtFN->text(), address.mid(address.lastIndexOf('/') + 1));
}

TEST_F(PostTest, MainPathFromChartToSavedFile)
{
    QTemporaryDir folder;
    w.Load();
    ASSERT_EQ(w.lstTop->topLevelItemCount(), 100);
    // A chart row becomes the keyword, artist first.
    w.lstTop->setCurrentItem(w.lstTop->topLevelItem(0));
    w.lstTop_DblClick();
    const auto &song = portalsim::catalogue()[0];
    EXPECT_EQ(w.txtKeyword->text(), song.artist + ' ' + song.title);
    ASSERT_EQ(w.lstResult->topLevelItemCount(), 10);
    // Open the first blog result that has music.
    download::frmDownload *dl = nullptr;
    for (int row = 0; row < 10 && !dl; ++row) {
        if (w.ResultURLs.value(row + 1).isEmpty())
            continue;
        w.picError->hide();
        w.lstResult->setCurrentItem(w.lstResult->topLevelItem(row));
        w.lstResult_DblClick();
        dl = downloadWindow();
    }
    ASSERT_NE(dl, nullptr);
    const QString name = dl->txtFN->text();
    EXPECT_TRUE(name.endsWith(".mp3", Qt::CaseInsensitive));
    EXPECT_FALSE(dl->cpaSize->caption().isEmpty());
    EXPECT_TRUE(waitUntil([&] { return dl->W->state() == platform::MediaPlayer::State::Playing; }, 10000))
        << dl->W->status().toStdString();
    dl->txtPath->setText(folder.path());
    dl->CandyButton1_Click();
    ASSERT_FALSE(answers.messages().isEmpty());
    EXPECT_EQ(answers.messages().last().title, QStringLiteral("성공"));
    QFile stored(QDir(folder.path()).filePath(name));
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_TRUE(stored.readAll() == served(dl->DownURL)) << dl->DownURL.toStdString();

    // Next, a post without music shows the error panel.
    w.picError->hide();
    openPost(6);
    EXPECT_TRUE(w.picError->isVisibleTo(&w));
}

} // namespace
