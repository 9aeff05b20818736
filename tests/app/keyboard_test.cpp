// The main window from the keyboard, with key events delivered the way the
// application delivers them (to the focused control, passed up when ignored).
#include "app/application.h"
#include "app/frmmain.h"
#include "controls/contrast.h"
#include "download/frmdownload.h"
#include "platform/dialogs.h"
#include "support/sim_fixture.h"

#include <QDir>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>

using namespace testsupport;

namespace {

class KeyboardTest : public SimFixture {
protected:
    void SetUp() override
    {
        app::initApplication();
        SimFixture::SetUp();
        w.show();
        QApplication::setActiveWindow(&w);
    }
    // Press and release, as a keystroke arrives.
    static void key(QWidget *target, int code)
    {
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent e(type, code, Qt::NoModifier);
            QApplication::sendEvent(target, &e);
        }
    }
    app::frmMain w;
    platform::ScopedDialogAnswers answers;
};

TEST_F(KeyboardTest, ReturnOnARowDoesWhatADoubleClickDoes)
{
    w.lstTop->addTopLevelItem(new QTreeWidgetItem(QStringList{"Blue Morning", QStringLiteral("하늘소리")}));
    w.lstTop->setCurrentItem(w.lstTop->topLevelItem(0));
    w.lstTop->setFocus();
    int searches = 0;
    QObject::connect(&w, &app::frmMain::searchFinished, [&] { ++searches; });
    key(w.lstTop, Qt::Key_Return);
    EXPECT_EQ(searches, 1); // one keystroke, one search
    EXPECT_EQ(w.txtKeyword->text(), QStringLiteral("하늘소리 Blue Morning"));
    ASSERT_EQ(w.lstResult->topLevelItemCount(), 10);

    w.lstResult->setCurrentItem(w.lstResult->topLevelItem(0)); // a blog post with music
    w.lstResult->setFocus();
    bool opened = false;
    QObject::connect(&w, &app::frmMain::postFinished, [&](bool found) { opened = found; });
    key(w.lstResult, Qt::Key_Enter);
    EXPECT_TRUE(opened);
    ASSERT_TRUE(w.downloadWindow());
    EXPECT_TRUE(w.downloadWindow()->isVisible());
}

TEST_F(KeyboardTest, EscapeClosesTheErrorPanelAndF5ReloadsTheChart)
{
    w.ShowError();
    w.txtKeyword->setFocus();
    key(w.txtKeyword, Qt::Key_Escape);
    EXPECT_FALSE(w.picError->isVisibleTo(&w));

    int charts = 0;
    QObject::connect(&w, &app::frmMain::chartFinished, [&] { ++charts; });
    key(w.txtKeyword, Qt::Key_F5);
    EXPECT_EQ(charts, 1);
    EXPECT_EQ(w.lstTop->topLevelItemCount(), 100);
}

TEST_F(KeyboardTest, TabReachesEveryButton)
{
    w.txtKeyword->setFocus();
    QList<QWidget *> reached;
    for (int i = 0; i < 20 && !reached.contains(QApplication::focusWidget()); ++i) {
        reached.append(QApplication::focusWidget());
        key(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // In the order of the screen: the keyword row, the results and their page
    // buttons, the chart.
    const QList<QWidget *> expected{w.txtKeyword, w.cmdSearch, w.lstResult, w.cmdPrev, w.cmdNext, w.lstTop};
    EXPECT_EQ(reached, expected);
}

// The list that has the keyboard shows it on the dark skin: its frame and its
// current row are drawn in a colour that stands out (3:1) from the list.
TEST_F(KeyboardTest, TheFocusedListShowsWhereTheKeyboardIs)
{
    w.show();
    for (QTreeWidget *list : {w.lstResult, w.lstTop}) {
        SCOPED_TRACE(list->objectName().toStdString());
        if (list->topLevelItemCount() == 0)
            list->addTopLevelItem(new QTreeWidgetItem(QStringList{QStringLiteral("한 줄")}));
        list->setCurrentItem(list->topLevelItem(0));
        w.txtKeyword->setFocus();
        const QImage unfocused = list->grab().toImage();
        list->setFocus();
        ASSERT_TRUE(list->hasFocus());
        const QImage focused = list->grab().toImage();
        QDir().mkpath(QStringLiteral(SORIMBA_BINARY_DIR "/screens"));
        focused.save(QStringLiteral(SORIMBA_BINARY_DIR "/screens/focus-%1.png").arg(list == w.lstResult ? "results" : "chart"));
        // The pixels the focus changed, and how far they stand out.
        int changed = 0;
        double best = 1;
        for (int y = 0; y < focused.height(); ++y)
            for (int x = 0; x < focused.width(); ++x)
                if (focused.pixel(x, y) != unfocused.pixel(x, y)) {
                    ++changed;
                    best = std::max(best, controls::contrastRatio(focused.pixelColor(x, y), unfocused.pixelColor(x, y)));
                }
        EXPECT_GT(changed, 2 * (focused.width() + focused.height())) << "a frame, not a dot";
        EXPECT_GE(best, 3.0);
    }
}

TEST_F(KeyboardTest, EscapeClosesTheDownloadWindowUnlessADownloadRuns)
{
    download::frmDownload d;
    d.show();
    d.ReadyDown(portal.baseUrl() + "/_v/slow/files/tone30s-32k.mp3");
    bool closedWhileRunning = false;
    QTimer::singleShot(300, &d, [&] {
        ASSERT_TRUE(d.IsDownloading());
        key(d.txtFN, Qt::Key_Escape);
        closedWhileRunning = !d.isVisible();
        d.CandyButton1_Click(); // cancel
    });
    d.CandyButton1_Click();
    EXPECT_FALSE(closedWhileRunning);
    EXPECT_TRUE(d.isVisible());
    key(d.CandyButton1, Qt::Key_Escape);
    EXPECT_FALSE(d.isVisible());
}

} // namespace
