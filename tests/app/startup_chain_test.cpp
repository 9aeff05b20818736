// The start-up chain (update window, usage notice, main window) against the
// simulator's maker pages, with the settings file under the test's
// XDG_CONFIG_HOME. Screenshots of both windows go to screens/ in the build folder.
#include "app/application.h"
#include "app/noticesetting.h"
#include "app/startup.h"
#include "platform/desktop.h"
#include "sources/endpoints.h"
#include "support/sim_fixture.h"

#include <QCloseEvent>
#include <QDir>
#include <QMouseEvent>
#include <QSettings>
#include <QTimer>

using namespace testsupport;

namespace {

QString settingsFile()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + "/Sorimba2/Sorimba2.conf";
}

class StartupChain : public SimFixture {
protected:
    void SetUp() override
    {
        app::initApplication();
        SimFixture::SetUp();
        QSettings(settingsFile(), QSettings::IniFormat).clear();
        useMakerPages("delay300");
    }
    void TearDown() override
    {
        platform::Desktop::setOpenHandler({});
        SimFixture::TearDown();
    }
    void useMakerPages(const QString &variants)
    {
        qputenv("SORIMBA_MAKER_URL", (portal.baseUrl() + "/_v/" + variants + "/maker/update.html").toUtf8());
        qputenv("SORIMBA_MAKER_HOME", (portal.baseUrl() + "/maker/").toUtf8());
    }
    int requestsFor(const QByteArray &path)
    {
        int n = 0;
        for (const portalsim::Request &r : portal.server().requests())
            n += r.path == path;
        return n;
    }
    // The deferred deletes of closed windows.
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    static void save(QWidget *w, const char *name)
    {
        const QString dir = QStringLiteral(SORIMBA_BINARY_DIR "/screens");
        QDir().mkpath(dir);
        EXPECT_TRUE(w->grab().save(dir + '/' + name));
    }
};

TEST_F(StartupChain, UpdateWindowThenNoticeThenOneMainWindow)
{
    app::Startup startup({QStringLiteral("sorimba")});
    ASSERT_TRUE(startup.runsChain()); // nothing agreed yet
    startup.start();
    QPointer<app::FrmUpdate> update = startup.updateWindow();
    ASSERT_TRUE(update);
    EXPECT_TRUE(update->isVisible());
    EXPECT_EQ(startup.mainWindow(), nullptr);

    // Refused while the page loads.
    ASSERT_TRUE(update->W->Busy());
    EXPECT_FALSE(update->close());
    EXPECT_TRUE(update->isVisible());
    EXPECT_EQ(startup.noticeWindow(), nullptr);

    ASSERT_TRUE(waitUntil([&] { return !update->W->Busy(); }));
    EXPECT_FALSE(update->W->host()->failed()) << update->W->host()->lastError().toStdString();
    EXPECT_TRUE(update->W->toPlainText().contains(QStringLiteral("실시간 차트를 불러오는 속도가 빨라졌습니다")));
    save(update, "update-window.png");

    // Once loaded, closing leads to the notice and unloads the update window.
    EXPECT_TRUE(update->close());
    QPointer<app::frmWarning> notice = startup.noticeWindow();
    ASSERT_TRUE(notice);
    EXPECT_TRUE(notice->isVisible());
    flushDeletes();
    EXPECT_FALSE(update);
    EXPECT_EQ(startup.mainWindow(), nullptr);
    EXPECT_FALSE(app::noticeAgreed());
    save(notice, "notice.png");

    // Closed from the event loop as a person would; a second close arriving
    // before the first is done opens nothing more.
    const int chartsBefore = requestsFor("/chart/chart_realtime_list.asp");
    bool noticeGoneAtLoad = false;
    startup.onMainLoaded = [&](app::frmMain *) { noticeGoneAtLoad = notice.isNull(); };
    // (From a timer, as the window system's close would come: a nested event
    // loop would return at once after an earlier test's main window quit.)
    QTimer::singleShot(0, [&] {
        notice->close();
        notice->close();
        EXPECT_NE(startup.mainWindow(), nullptr);
        EXPECT_TRUE(startup.mainWindow()->isVisible());
        EXPECT_TRUE(app::noticeAgreed());
    });
    waitUntil([&] { return startup.mainLoads() == 1 && startup.mainWindow()->lstTop->topLevelItemCount() > 0; }, 10000);
    ASSERT_NE(startup.mainWindow(), nullptr);
    ASSERT_GT(startup.mainWindow()->lstTop->topLevelItemCount(), 0);
    EXPECT_TRUE(noticeGoneAtLoad); // unloaded when the main window opened
    QCoreApplication::processEvents();
    EXPECT_EQ(startup.mainLoads(), 1);
    EXPECT_EQ(requestsFor("/chart/chart_realtime_list.asp") - chartsBefore, 1);
    EXPECT_EQ(startup.mainWindow()->capVersion->caption(), startup.mainWindow()->VersionText());
    int mains = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        mains += qobject_cast<app::frmMain *>(w) != nullptr;
    EXPECT_EQ(mains, 1);
}

TEST_F(StartupChain, FirstStartRunsTheChainLaterStartsDoNotUnlessAsked)
{
    const QStringList plain{QStringLiteral("sorimba")};
    const QStringList asked{QStringLiteral("sorimba"), QStringLiteral("--notice")};
    {
        // A settings file that holds only the download folder is still a first start.
        QSettings s(settingsFile(), QSettings::IniFormat);
        s.setValue("Setting/DownloadPath", "/music/here");
    }
    EXPECT_TRUE(app::Startup::chainWanted(plain));
    // The option is only read after the program's name.
    EXPECT_TRUE(app::Startup::chainWanted({QStringLiteral("--notice")}));

    app::storeNoticeAgreed();
    EXPECT_FALSE(app::Startup::chainWanted(plain));
    EXPECT_TRUE(app::Startup::chainWanted(asked));
    EXPECT_FALSE(app::Startup::chainWanted({QStringLiteral("--notice")}));
    // The agreement lives beside the download folder, which it leaves alone.
    QSettings s(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(s.value("Setting/NoticeAgreed").toInt(), 1);
    EXPECT_EQ(s.value("Setting/DownloadPath").toString(), "/music/here");

    // Agreed: the main window opens at once and is loaded before start() returns.
    app::Startup second(plain);
    second.start();
    EXPECT_EQ(second.updateWindow(), nullptr);
    ASSERT_NE(second.mainWindow(), nullptr);
    EXPECT_EQ(second.mainLoads(), 1);
    EXPECT_GT(second.mainWindow()->lstTop->topLevelItemCount(), 0);

    // --notice shows the chain again.
    useMakerPages("quick");
    app::Startup third(asked);
    third.start();
    EXPECT_NE(third.updateWindow(), nullptr);
    EXPECT_EQ(third.mainWindow(), nullptr);
}

TEST_F(StartupChain, PageFillsTheUpdateWindowOnEveryResize)
{
    useMakerPages("quick");
    app::FrmUpdate window;
    window.Load();
    EXPECT_EQ(window.size(), QSize(858, 658)); // 12870 x 9870 twips
    EXPECT_EQ(window.W->geometry(), window.rect());
    for (const QSize size : {QSize(400, 300), QSize(1200, 900), QSize(858, 120), QSize(858, 658)}) {
        window.resize(size);
        QCoreApplication::processEvents();
        EXPECT_EQ(window.W->geometry(), QRect(QPoint(0, 0), size)) << size.width() << "x" << size.height();
    }
    ASSERT_TRUE(waitUntil([&] { return !window.W->Busy(); }));
    window.showMaximized();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.W->geometry(), window.rect());
}

TEST_F(StartupChain, SiteLabelOpensTheHomePageAndTheWindowStays)
{
    useMakerPages("quick");
    QList<QUrl> opened;
    platform::Desktop::setOpenHandler([&](const QUrl &url) {
        opened.append(url);
        return true;
    });
    app::FrmUpdate window;
    window.Load();
    ASSERT_TRUE(waitUntil([&] { return !window.W->Busy(); }));

    // A press where the label shows reaches the label, not the page under it.
    const QPoint at = window.lblSite->geometry().center();
    QWidget *target = window.childAt(at);
    ASSERT_TRUE(target == window.lblSite || window.lblSite->isAncestorOf(target));
    const QPoint local = target->mapFrom(&window, at);
    QMouseEvent press(QEvent::MouseButtonPress, local, target->mapToGlobal(local), Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &press);

    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl(portal.baseUrl() + "/maker/"));
    EXPECT_EQ(opened[0], QUrl(sources::MakerPageURL()));
    EXPECT_TRUE(window.isVisible());

    // Nothing else on the window opens anything.
    const QPoint other = window.lblBugs->geometry().center();
    QWidget *bugs = window.childAt(other);
    QMouseEvent pressBugs(QEvent::MouseButtonPress, bugs->mapFrom(&window, other), bugs->mapToGlobal(bugs->mapFrom(&window, other)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bugs, &pressBugs);
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(StartupChain, FailedUpdatePageSaysSoAndLetsTheWindowClose)
{
    useMakerPages("fail");
    bool next = false;
    auto *window = new app::FrmUpdate([&] { next = true; });
    QPointer<app::FrmUpdate> guard = window;
    window->Load();
    ASSERT_TRUE(waitUntil([&] { return !window->W->Busy(); }));
    EXPECT_TRUE(window->W->toPlainText().contains(QStringLiteral("페이지를 불러오지 못했습니다")));
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(next);
    flushDeletes();
    EXPECT_FALSE(guard);
}

TEST(WindowFrames, NoticeIsFixedAndUpdateWindowSizable)
{
    app::initApplication();
    app::frmWarning notice;
    EXPECT_EQ(notice.windowTitle(), QStringLiteral("사용 전 주의 사항 [닫기 = 동의]"));
    EXPECT_EQ(notice.size(), QSize(390, 132)); // 5850 x 1980 twips
    EXPECT_EQ(notice.minimumSize(), notice.maximumSize());
    EXPECT_FALSE(notice.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(notice.windowFlags() & Qt::WindowCloseButtonHint);
    // The icon image holds the program's icon.
    EXPECT_GT(notice.aicAlphaImage1->ImageType(), 0);

    app::FrmUpdate update;
    EXPECT_EQ(update.windowTitle(), QStringLiteral("업데이트 내용"));
    EXPECT_NE(update.minimumSize(), update.maximumSize());
    EXPECT_EQ(update.lblSite->captionINColor(), 0x00FFFFu);
    EXPECT_EQ(update.lblRead->captionOUTColor(), 0x0000FFu);
}

} // namespace
