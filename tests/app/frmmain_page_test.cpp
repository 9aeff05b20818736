// Opening any web page from the main window: the keyword box, a drop and the
// command line, against the simulator's pages.
#include "app/application.h"
#include "app/frmmain.h"
#include "app/noticesetting.h"
#include "app/startup.h"
#include "download/frmdownload.h"
#include "platform/dialogs.h"
#include "support/sim_fixture.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>

using namespace testsupport;

namespace {

class PageTest : public SimFixture {
protected:
    void SetUp() override
    {
        app::initApplication();
        SimFixture::SetUp();
    }
    QString h(const QString &path) const { return portal.baseUrl() + path; }

    // Runs what `act` starts and waits for the page's end; the answer is pageFinished's.
    static std::optional<bool> untilPageFinished(app::frmMain &w, const std::function<void()> &act)
    {
        std::optional<bool> found;
        const auto c = QObject::connect(&w, &app::frmMain::pageFinished, [&](bool f) { found = f; });
        act();
        EXPECT_TRUE(waitUntil([&] { return found.has_value(); }, 20000));
        QObject::disconnect(c);
        return found;
    }
    static void key(QWidget *target, int code)
    {
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent e(type, code, Qt::NoModifier);
            QApplication::sendEvent(target, &e);
        }
    }
    static QStringList rows(const app::frmMain &w)
    {
        QStringList texts;
        for (int i = 0; i < w.lstResult->topLevelItemCount(); ++i)
            texts << w.lstResult->topLevelItem(i)->text(0);
        return texts;
    }
    static download::frmDownload *downloadWindow(const app::frmMain &w)
    {
        return static_cast<download::frmDownload *>(w.downloadWindow());
    }
    int requestsFor(const QByteArray &path)
    {
        int n = 0;
        for (const auto &r : portal.server().requests())
            n += r.path == path;
        return n;
    }
    static void saveScreen(app::frmMain &w, const char *name)
    {
        const QString dir = QStringLiteral(SORIMBA_BINARY_DIR "/screens");
        QDir().mkpath(dir);
        // The list lays out its new rows (and its scroll bar) a moment later.
        w.lstResult->doItemsLayout();
        const QScrollBar *bar = w.lstResult->verticalScrollBar();
        EXPECT_TRUE(waitUntil([&] { return bar->maximum() == 0 || bar->isVisible(); }));
        EXPECT_TRUE(w.grab().save(dir + '/' + name));
    }

    platform::ScopedDialogAnswers answers;
};

TEST_F(PageTest, TheKeywordBoxOpensAPageWhoseRowsOpenItsSongs)
{
    app::frmMain w;
    w.Load(); // with its chart, as the user sees it
    w.txtKeyword->setText("  " + h("/page/audio") + " ");
    EXPECT_EQ(untilPageFinished(w, [&] { key(w.txtKeyword, Qt::Key_Return); }), true);
    EXPECT_EQ(rows(w), (QStringList{"tone3s-128k.mp3", "tone30s-32k.mp3", "tone1s.wav"}));
    EXPECT_EQ(w.lstResult->headerItem()->text(0), "Audio");
    EXPECT_EQ(requestsFor("/search.naver"), 0);
    EXPECT_EQ(w.downloadWindow(), nullptr); // several songs: nothing plays yet
    saveScreen(w, "page-songs.png");

    w.lstResult->setCurrentItem(w.lstResult->topLevelItem(1));
    w.lstResult_DblClick();
    ASSERT_NE(downloadWindow(w), nullptr);
    EXPECT_EQ(downloadWindow(w)->DownURL, h("/media/tone30s-32k.mp3"));
    w.lstResult->setCurrentItem(w.lstResult->topLevelItem(2));
    w.lstResult->setFocus();
    key(w.lstResult, Qt::Key_Return);
    EXPECT_EQ(downloadWindow(w)->DownURL, h("/media/tone1s.wav"));
    EXPECT_EQ(downloadWindow(w)->txtFN->text(), "tone1s.wav");
    EXPECT_TRUE(answers.messages().isEmpty());

    // No result page is on show: the page buttons have nothing to turn.
    w.cmdNext_Click();
    w.cmdPrev_Click();
    EXPECT_EQ(requestsFor("/search.naver"), 0);

    // A keyword is searched as before, under the search heading again.
    w.txtKeyword->setText(QStringLiteral("하늘소리 http://"));
    w.cmdSearch_Click();
    EXPECT_EQ(requestsFor("/search.naver"), 1);
    EXPECT_EQ(w.lstResult->headerItem()->text(0), app::frmMain::kResultHeading);
    EXPECT_FALSE(w.resultRowsAreSongs());
    EXPECT_EQ(w.lstResult->topLevelItemCount(), 10);
}

TEST_F(PageTest, KoreanPagesAndALongListUnderItsTitle)
{
    app::frmMain w;
    w.Load();
    for (const char *page : {"cp949", "utf8"}) {
        SCOPED_TRACE(page);
        w.txtKeyword->setText(h("/page/") + page);
        EXPECT_EQ(untilPageFinished(w, [&] { w.cmdSearch_Click(); }), true);
        EXPECT_EQ(rows(w), (QStringList{QStringLiteral("음악.wav"), "tone3s-128k.mp3"}));
        EXPECT_EQ(w.lstResult->headerItem()->text(0), QStringLiteral("오늘의 노래 모음"));
    }
    saveScreen(w, "page-songs-korean.png");

    w.txtKeyword->setText(h("/page/many"));
    EXPECT_EQ(untilPageFinished(w, [&] { w.cmdSearch_Click(); }), true);
    EXPECT_EQ(w.lstResult->topLevelItemCount(), 200);
    EXPECT_EQ(w.lstResult->topLevelItem(199)->text(0), "track199.mp3");
    // The long title is shortened within the heading and whole in its tooltip.
    EXPECT_TRUE(w.lstResult->headerItem()->text(0).endsWith(QChar(0x2026)));
    EXPECT_TRUE(w.lstResult->headerItem()->toolTip(0).endsWith(QStringLiteral("음악 페이지")));
    saveScreen(w, "page-songs-many.png");
}

TEST_F(PageTest, OneSongPlaysNoneShowsThePanelAFailureSaysWhy)
{
    struct Case {
        QString address;
        QString played; // the download window's address, or empty
        bool panel;
        QString message;
    } cases[] = {
        {h("/page/one"), h("/media/tone3s-128k.mp3"), false, {}},
        {h("/media/tone30s-32k.mp3"), h("/media/tone30s-32k.mp3"), false, {}}, // the address is the song
        {h("/media/tone3s-128k.mp3?dl=1"), h("/media/tone3s-128k.mp3?dl=1"), false, {}}, // a query is no bar
        {h("/page/none"), {}, true, {}},
        {h("/page/nosuch"), {}, false, QStringLiteral("페이지를 읽지 못했습니다.\r\nHTTP 404")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        app::frmMain w;
        platform::ScopedDialogAnswers box;
        w.txtKeyword->setText(c.address);
        EXPECT_EQ(untilPageFinished(w, [&] { w.cmdSearch_Click(); }), !c.played.isEmpty());
        EXPECT_EQ(downloadWindow(w) ? downloadWindow(w)->DownURL : QString(), c.played);
        EXPECT_EQ(w.picError->isVisibleTo(&w), c.panel);
        EXPECT_EQ(w.lstResult->topLevelItemCount(), 0);
        ASSERT_EQ(box.messages().size(), c.message.isEmpty() ? 0 : 1);
        if (!c.message.isEmpty()) {
            EXPECT_EQ(box.messages()[0].title, QStringLiteral("웹 페이지"));
            EXPECT_EQ(box.messages()[0].text, c.message);
        }
    }
}

TEST_F(PageTest, AnAddressDroppedOnTheWindowOpensItsPage)
{
    app::frmMain w;
    w.show();
    const QPoint at = w.lstTop->geometry().center();

    QMimeData local;
    local.setUrls({QUrl::fromLocalFile("/tmp/song.mp3")});
    QDragEnterEvent refused(at, Qt::CopyAction, &local, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &refused);
    EXPECT_FALSE(refused.isAccepted());

    QMimeData link;
    link.setUrls({QUrl::fromLocalFile("/tmp/x.html"), QUrl(h("/page/og"))});
    QDragEnterEvent enter(at, Qt::CopyAction, &link, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &link, Qt::LeftButton, Qt::NoModifier);
    EXPECT_EQ(untilPageFinished(w, [&] { QApplication::sendEvent(&w, &drop); }), true);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(w.txtKeyword->text(), h("/page/og"));
    EXPECT_EQ(rows(w), (QStringList{"tone3s-128k.mp3", "tone30s-32k.mp3", "tone1s.wav"}));
    EXPECT_EQ(w.lstResult->headerItem()->text(0), "Open Graph");
}

TEST_F(PageTest, AnAddressOnTheCommandLineOpensOnceTheWindowHasLoaded)
{
    EXPECT_EQ(app::Startup::pageArgument({"sorimba"}), QString());
    EXPECT_EQ(app::Startup::pageArgument({"sorimba", "--notice", "http://a.test/"}), "http://a.test/");

    app::storeNoticeAgreed();
    app::Startup startup({"sorimba", h("/page/audio")});
    std::optional<bool> found;
    startup.onMainMade = [&](app::frmMain *main) {
        QObject::connect(main, &app::frmMain::pageFinished, [&](bool f) { found = f; });
    };
    startup.start();
    ASSERT_TRUE(waitUntil([&] { return found.has_value(); }, 20000));
    app::frmMain &w = *startup.mainWindow();
    EXPECT_GT(w.lstTop->topLevelItemCount(), 0); // the chart loaded first
    EXPECT_EQ(w.txtKeyword->text(), h("/page/audio"));
    EXPECT_EQ(rows(w), (QStringList{"tone3s-128k.mp3", "tone30s-32k.mp3", "tone1s.wav"}));

    // What is no web address is refused in the window, with the reason.
    app::Startup wrong({"sorimba", "www.example.com"});
    found.reset();
    wrong.onMainMade = startup.onMainMade;
    wrong.start();
    ASSERT_TRUE(waitUntil([&] { return found.has_value(); }, 20000));
    ASSERT_EQ(answers.messages().size(), 1);
    EXPECT_EQ(answers.messages()[0].text,
              QStringLiteral("페이지를 읽지 못했습니다.\r\nhttp 또는 https 주소가 아님: www.example.com"));
}

TEST_F(PageTest, ClosingTheWindowDuringAPageLoadShowsNothingMore)
{
    app::frmMain w;
    w.show();
    int finished = 0;
    QObject::connect(&w, &app::frmMain::pageFinished, [&] { ++finished; });
    w.openPage(h("/_v/hang/page/one"));
    ASSERT_TRUE(w.picWork->isVisibleTo(&w));
    w.close();
    EXPECT_FALSE(w.picWork->isVisibleTo(&w));
    // The load is let go: nothing arrives, and a new load may start.
    QCoreApplication::processEvents();
    EXPECT_EQ(finished, 0);
    w.show();
    EXPECT_EQ(untilPageFinished(w, [&] { w.openPage(h("/page/one")); }), true);
    EXPECT_TRUE(answers.messages().isEmpty());
}

} // namespace
