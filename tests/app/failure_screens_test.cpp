// Renders the windows in their failure states into PNG files under the build
// folder (screens/), for a person to look at; the test checks that each
// state shows its text.
#include "app/application.h"
#include "app/frmmain.h"
#include "download/frmdownload.h"
#include "platform/dialogs.h"
#include "support/sim_fixture.h"

#include <QDir>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

using namespace testsupport;

namespace {

class FailureScreens : public SimFixture {
protected:
    void SetUp() override
    {
        app::initApplication();
        SimFixture::SetUp();
        QDir().mkpath(dir());
    }
    static QString dir() { return QStringLiteral(SORIMBA_BINARY_DIR "/screens"); }
    static void save(QWidget *w, const char *name) { EXPECT_TRUE(w->grab().save(dir() + '/' + name)); }
};

TEST_F(FailureScreens, ChartAndSearchFailures)
{
    pointHostsAt("http://127.0.0.1:1");
    app::frmMain w;
    platform::ScopedDialogAnswers answers;
    w.Load();
    EXPECT_EQ(w.capTime->caption(), QStringLiteral("차트를 불러오지 못했습니다 (연결 거부)"));
    save(&w, "chart-failed.png");

    pointHostsAt(portal.baseUrl(), "noresults");
    w.txtKeyword->setText(QStringLiteral("없는 노래"));
    w.cmdSearch_Click();
    EXPECT_EQ(w.lstResult->topLevelItem(0)->text(0), QStringLiteral("검색 결과가 없습니다."));
    save(&w, "search-no-results.png");

    // The failure box itself, shown for real over the window.
    pointHostsAt(portal.baseUrl(), "fail");
    platform::Dialogs::setMessageAnswer({});
    platform::Dialogs::setShowWithoutScreen(true);
    QString shownText;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shownText = box->text();
            QPixmap shot = w.grab();
            QPainter p(&shot);
            // Offscreen windows have no desktop to place the box on: centre it.
            const QPixmap face = box->grab();
            p.drawPixmap((shot.width() - face.width()) / 2, (shot.height() - face.height()) / 2, face);
            p.end();
            shot.save(dir() + "/search-failed.png");
            box->done(QMessageBox::Ok);
        }
    });
    poll.start(20);
    w.cmdSearch_Click();
    platform::Dialogs::setShowWithoutScreen(false);
    EXPECT_EQ(shownText, QStringLiteral("검색하지 못했습니다 (서버 오류 HTTP 500)"));
}

TEST_F(FailureScreens, TheReplaceQuestionSpeaksKorean)
{
    ASSERT_TRUE(app::installQtTranslations(QLocale(QLocale::Korean, QLocale::SouthKorea)))
        << "Qt's Korean translations are missing (package qt6-translations-l10n)";
    QTemporaryDir folder;
    QFile existing(folder.filePath("tone3s-128k.mp3"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    download::frmDownload w;
    w.txtPath->setText(folder.path());
    w.show();
    w.ReadyDown(portal.baseUrl() + "/files/tone3s-128k.mp3");
    platform::Dialogs::setShowWithoutScreen(true);
    QStringList buttons;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            for (QAbstractButton *b : box->buttons())
                buttons << b->text().remove('&');
            box->grab().save(dir() + "/replace-question.png");
            box->done(QMessageBox::No);
        }
    });
    poll.start(20);
    w.CandyButton1_Click();
    platform::Dialogs::setShowWithoutScreen(false);
    app::installQtTranslations(QLocale(QLocale::English));
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("아니요(N)"), QStringLiteral("예(Y)")})) << buttons.join('|').toStdString();
}

} // namespace

// The icons of the windows are alpha image controls holding the icon file:
// the panels and the download window are saved with them for a look.
TEST_F(FailureScreens, PanelsAndDownloadWindowShowTheirIcons)
{
    app::frmMain w;
    w.show();
    w.ShowError();
    w.WorkShow();
    save(&w, "panels-with-icons.png");
    const auto icons = w.findChildren<controls::SkinImage *>();
    ASSERT_EQ(icons.size(), 3);
    for (const controls::SkinImage *icon : icons) {
        EXPECT_EQ(icon->GetSourceSurface().ImageType(), imaging::PngIcon) << icon->objectName().toStdString();
        EXPECT_EQ(icon->size(), QSize(48, 48));
        const QColor disc = icon->faceImage().pixelColor(8, 24);
        EXPECT_GT(disc.blue(), disc.red() + 40) << icon->objectName().toStdString(); // the blue disc
    }

    download::frmDownload d;
    d.show();
    save(&d, "download-window.png");
    const QColor grey = d.aicAlphaImage1->faceImage().pixelColor(8, 24);
    EXPECT_NEAR(grey.red(), grey.blue(), 2);
    EXPECT_NEAR(grey.green(), grey.blue(), 2);
    EXPECT_EQ(d.aicAlphaImage2->size(), QSize(24, 24));
    EXPECT_EQ(d.aicAlphaImage3->size(), QSize(24, 24));
}
