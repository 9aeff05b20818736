// The download window over real HTTP against the simulator, with real files in
// temporary folders and the settings file under the test's XDG_CONFIG_HOME.
#include "app/application.h"
#include "download/frmdownload.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "support/file_size_limit.h"
#include "support/media.h"
#include "support/sim_fixture.h"
#include "window_fixture.h"

#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <optional>
#include <unistd.h>

using namespace testsupport;
using platform::MessageResult;

namespace {

class DownloadTest : public DownloadWindowFixture {
protected:
    void addRoutes(portalsim::HttpServer &server) override
    {
        server.route("/tiny/", [](const portalsim::Request &) {
            portalsim::Response r;
            r.contentType = "audio/mpeg";
            r.body = "seventeen bytes!!";
            return r;
        });
        // A picture under a music name, as a post may link its cover.
        server.route("/picture/", [](const portalsim::Request &) {
            portalsim::Response r;
            r.contentType = "image/png";
            QImage image(64, 64, QImage::Format_RGB32);
            image.fill(Qt::darkCyan);
            QBuffer buffer(&r.body);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            return r;
        });
    }
    void removeFolderEntries()
    {
        for (const QString &f : folderEntries())
            QFile::remove(QDir(folder.path()).filePath(f));
    }
};

TEST_F(DownloadTest, ReadyDownNamesAndRefusals)
{
    QString quoted = url("/files/TONE3S.MP3") + '"';
    w->ReadyDown(quoted); // upper-case extension accepted, trailing quote dropped here and for the caller
    EXPECT_EQ(quoted, url("/files/TONE3S.MP3"));
    EXPECT_EQ(w->DownURL, quoted);
    EXPECT_EQ(w->txtFN->text(), "TONE3S.MP3");
    EXPECT_EQ(w->cpaSize->caption(), "0.0466"); // 48,900 bytes
    EXPECT_EQ(w->W->URL(), quoted); // the player was told the address
    EXPECT_TRUE(answers.messages().isEmpty());

    w->ReadyDown(url("/files/%B3%EB%B7%A1.mp3")); // shown decoded
    EXPECT_EQ(w->txtFN->text(), QStringLiteral("노래.mp3"));
    w->ReadyDown(url("/files/%G1.mp3")); // a name the decoder refuses is shown as it is
    EXPECT_EQ(w->txtFN->text(), QStringLiteral("%G1.mp3"));
    EXPECT_TRUE(answers.messages().isEmpty());
    w->ReadyDown(url("/files/%B3%EB%B7%A1.mp3"));

    w->ReadyDown(url("/files/tone3s-128k.mp3?x=1")); // a query after the name is not part of it
    EXPECT_EQ(w->txtFN->text(), QStringLiteral("tone3s-128k.mp3"));
    EXPECT_TRUE(answers.messages().isEmpty());
    w->ReadyDown(url("/files/%B3%EB%B7%A1.mp3"));

    w->ReadyDown(url("/files/cover.png?x=.mp")); // no music name anywhere
    ASSERT_EQ(answers.messages().size(), 1);
    EXPECT_EQ(answers.messages()[0].text, QStringLiteral("음악 파일이 아닙니다. "));
    EXPECT_EQ(answers.messages()[0].title, QStringLiteral("경고"));
    EXPECT_EQ(answers.messages()[0].icon, platform::MessageIcon::Warning);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->W->URL(), url("/files/%B3%EB%B7%A1.mp3")); // the refused address is not played
}

TEST_F(DownloadTest, DownloadStoresTheServedBytesAndReportsSuccess)
{
    w->ReadyDown(url("/files/%B3%EB%B7%A1.mp3"));
    w->CandyButton1_Click();
    const QString path = QDir(folder.path()).filePath(QStringLiteral("노래.mp3"));
    QFile stored(path);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), mediaFile("tone3s-128k.mp3"));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("노래.mp3")}); // no temporary file left
    ASSERT_EQ(answers.messages().size(), 1);
    EXPECT_EQ(answers.messages()[0].title, QStringLiteral("성공"));
    EXPECT_EQ(answers.messages()[0].text, QStringLiteral("다운로드 완료\r\n파일 경로 : ") + path);
    EXPECT_EQ(answers.messages()[0].icon, platform::MessageIcon::Information);
    // After the transfer the window is ready again.
    EXPECT_EQ(w->CandyButton1->Caption(), QStringLiteral("다운로드"));
    EXPECT_TRUE(w->txtPath->isEnabled());
    EXPECT_TRUE(w->CandyButton3->isEnabled());
    EXPECT_EQ(w->Pro->max(), 1);
    EXPECT_EQ(w->Pro->value(), 1);
}

TEST_F(DownloadTest, OutcomesOfMisbehavingServers)
{
    struct Case {
        QString address;
        bool success;
        qint64 size;      // of the stored file on success
        QString sizeText; // the size label after ReadyDown
        QString reason;   // the failure message's second line
    } cases[] = {
        {url("/files/empty.mp3"), true, 0, "0", {}}, // an announced size of 0: an empty file
        {url("/files/tone3s-128k.mp3", "nolength"), true, 48900, "?", {}}, // no length: whole body to the end
        {url("/tiny/seventeen.mp3"), true, 17, "0.0000", {}}, // not "1.6212" (the cut exponent form)
        {url("/files/tone3s-128k.mp3", "truncated"), false, 0, "0.0466", QStringLiteral("연결이 끊김")},
        {url("/files/tone3s-128k.mp3", "longer"), false, 0, "0.0505", QStringLiteral("연결이 끊김")},
        {url("/files/tone3s-128k.mp3", "reset"), false, 0, "0.0466", QStringLiteral("연결이 끊김")},
        {url("/files/tone3s-128k.mp3", "fail"), false, 0, "?", QStringLiteral("서버 오류 HTTP 500")},
        {url("/files/missing.mp3"), false, 0, "?", QStringLiteral("HTTP 404")}, // its short error page is no size
        {QStringLiteral("http://127.0.0.1:1/files/tone3s-128k.mp3"), false, 0, "?", QStringLiteral("연결 거부")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        platform::ScopedDialogAnswers local;
        w->ReadyDown(c.address);
        EXPECT_EQ(w->cpaSize->caption(), c.sizeText);
        w->CandyButton1_Click();
        ASSERT_EQ(local.messages().size(), 1);
        EXPECT_EQ(local.messages()[0].title, c.success ? QStringLiteral("성공") : QStringLiteral("실패"));
        if (c.success) {
            const QString name = c.address.mid(c.address.lastIndexOf('/') + 1);
            EXPECT_EQ(QFileInfo(QDir(folder.path()).filePath(name)).size(), c.size);
            EXPECT_EQ(w->Pro->value(), w->Pro->max()); // a full bar
        } else {
            EXPECT_EQ(local.messages()[0].text, QStringLiteral("다운로드 실패.\r\n") + c.reason);
            EXPECT_TRUE(folderEntries().isEmpty()) << folderEntries().join(", ").toStdString();
            EXPECT_EQ(w->Pro->value(), 0); // nothing stored: an empty bar, not the last value or 100 %
        }
        EXPECT_TRUE(w->CandyButton3->isEnabled());
        for (const QString &f : folderEntries())
            QFile::remove(QDir(folder.path()).filePath(f));
    }
}

// Every new address and every ending other than success empties the bar.
TEST_F(DownloadTest, TheBarShowsOnlyTheCurrentTransfer)
{
    w->ReadyDown(url("/files/tone3s-128k.mp3"));
    w->CandyButton1_Click();
    ASSERT_EQ(w->Pro->value(), 1);
    w->ReadyDown(url("/files/tone30s-32k.mp3", "slow"));
    EXPECT_EQ(w->Pro->value(), 0);
    int seenDuring = 0;
    QTimer::singleShot(400, w.get(), [&] {
        seenDuring = w->Pro->value();
        w->CandyButton1_Click(); // cancel
    });
    w->CandyButton1_Click();
    EXPECT_GT(seenDuring, 0);
    EXPECT_EQ(answers.messages().last().text, QStringLiteral("취소되었습니다."));
    EXPECT_EQ(w->Pro->value(), 0);
}

TEST_F(DownloadTest, CancelMidwayLeavesNothing)
{
    w->ReadyDown(url("/files/tone30s-32k.mp3", "slow"));
    QTimer::singleShot(300, w.get(), [&] {
        EXPECT_TRUE(w->IsDownloading());
        EXPECT_EQ(w->CandyButton1->Caption(), QStringLiteral("다운로드 취소"));
        EXPECT_FALSE(w->txtFN->isEnabled());
        w->close(); // refused while downloading
        EXPECT_TRUE(w->isVisible());
        w->CandyButton1_Click();
    });
    w->CandyButton1_Click();
    ASSERT_EQ(answers.messages().size(), 1);
    EXPECT_EQ(answers.messages()[0].text, QStringLiteral("취소되었습니다."));
    EXPECT_EQ(answers.messages()[0].title, QStringLiteral("취소"));
    EXPECT_TRUE(folderEntries().isEmpty());
    EXPECT_FALSE(w->IsDownloading());
}

TEST_F(DownloadTest, ExistingFileIsReplacedOnlyWhenTheUserAgrees)
{
    const QString path = QDir(folder.path()).filePath("tone3s-128k.mp3");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("precious bytes, longer than nothing");
    }
    w->ReadyDown(url("/files/tone3s-128k.mp3"));
    portal.server().clearRequests();
    answers.setMessageAnswer(MessageResult::No);
    w->CandyButton1_Click();
    ASSERT_EQ(answers.messages().size(), 1);
    EXPECT_EQ(answers.messages()[0].buttons, platform::MessageButtons::YesNo);
    // The player streams the same file on its own, whenever its thread gets
    // to it; only the download's own requests (which ask for the bytes as
    // they are stored) count here.
    for (const portalsim::Request &r : portal.server().requests())
        EXPECT_NE(r.header("accept-encoding"), "identity") << "a download request was sent";
    QFile kept(path);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "precious bytes, longer than nothing");
    kept.close();

    answers.setMessageAnswer(MessageResult::Yes);
    w->CandyButton1_Click();
    QFile replaced(path);
    ASSERT_TRUE(replaced.open(QIODevice::ReadOnly));
    EXPECT_EQ(replaced.readAll(), mediaFile("tone3s-128k.mp3")); // no old bytes behind the end
}

// A server that never answers: the cancel click ends the wait for its
// answer at once, and is told as a cancel, not later as a failure.
TEST_F(DownloadTest, CancelWhileTheServerHasNotAnsweredTakesEffectAtOnce)
{
    w->ReadyDown(url("/files/tone3s-128k.mp3"));
    w->DownURL = url("/files/tone3s-128k.mp3", "hang");
    w->Ine->setTimeoutMs(5000);
    QTimer::singleShot(200, w.get(), [&] { w->CandyButton1_Click(); });
    QElapsedTimer clock;
    clock.start();
    w->CandyButton1_Click();
    EXPECT_LT(clock.elapsed(), 2000);
    ASSERT_EQ(answers.messages().size(), 1);
    EXPECT_EQ(answers.messages()[0].text, QStringLiteral("취소되었습니다."));
    EXPECT_TRUE(folderEntries().isEmpty());
    EXPECT_FALSE(w->IsDownloading());
    EXPECT_EQ(w->CandyButton1->Caption(), QStringLiteral("다운로드"));
}

// While the size of an address is asked, the window may be closed or given
// a newer address: the older request then plays nothing, so no sound comes
// from a closed window and the player plays the song the window names.
TEST_F(DownloadTest, AnAddressOvertakenWhileItsSizeIsAskedIsNotPlayed)
{
    w->Ine->setTimeoutMs(1000);
    QTimer::singleShot(200, w.get(), [&] { w->close(); });
    w->ReadyDown(url("/files/tone3s-128k.mp3", "hang"));
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->W->URL().isEmpty()) << w->W->URL().toStdString();

    w->show();
    const QString newer = url("/files/%B3%EB%B7%A1.mp3");
    QTimer::singleShot(200, w.get(), [&] { w->ReadyDown(newer); });
    w->ReadyDown(url("/files/tone3s-128k.mp3", "hang"));
    EXPECT_EQ(w->DownURL, newer);
    EXPECT_EQ(w->txtFN->text(), QStringLiteral("노래.mp3"));
    EXPECT_EQ(w->W->URL(), newer);
    EXPECT_EQ(w->cpaSize->caption(), "0.0466");
    EXPECT_TRUE(answers.messages().isEmpty());
}

// Each new address starts from a clean window: nothing of the song before
// (its size, rating, time, status, speed or bar) shows while the new one's
// size is asked, nor after it turns out to be no music or out of reach.
TEST_F(DownloadTest, NothingOfTheLastSongStaysForTheNext)
{
    struct Fields {
        QString size, rating, time, status, speed;
        int bar;
    };
    const auto fields = [&] {
        return Fields{w->cpaSize->caption(), w->Caption5->caption(), w->cpaTime->caption(), w->capSt->caption(),
                      w->capDown->caption(), w->Pro->value()};
    };
    using State = platform::MediaPlayer::State;
    struct Case {
        const char *what;
        QString address;
        QString size;         // the size label once known
        bool refused;         // not a music name: the window closes
        State playerSettles;  // what the player reports of the new address
    } cases[] = {
        {"a picture under a music name", url("/picture/cover.mp3"), QStringLiteral("0.0001"), false, State::Error},
        {"a picture's name", url("/files/cover.jpg"), QString(), true, State::Stopped},
        {"a size request that hangs", url("/files/tone3s-128k.mp3", "hang"), QStringLiteral("?"), false, State::Connecting},
        {"a server that refuses", QStringLiteral("http://127.0.0.1:1/files/tone3s-128k.mp3"), QStringLiteral("?"), false,
         State::Error},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        w->show();
        w->ReadyDown(url("/files/tone3s-128k.mp3"));
        w->CandyButton1_Click(); // stored: a full bar
        ASSERT_TRUE(waitUntil([&] { return w->W->state() == State::Playing && !w->Caption5->caption().isEmpty(); }, 10000))
            << w->W->status().toStdString();
        ASSERT_EQ(w->Pro->value(), 1);
        const QString songTime = w->cpaTime->caption();
        ASSERT_TRUE(songTime.endsWith(QStringLiteral("/ 00:03"))) << songTime.toStdString();

        w->Ine->setTimeoutMs(1500);
        std::optional<Fields> whileAsking;
        QTimer::singleShot(300, w.get(), [&] { whileAsking = fields(); });
        w->ReadyDown(c.address);
        if (std::string(c.what) == "a size request that hangs") {
            ASSERT_TRUE(whileAsking);
            EXPECT_EQ(whileAsking->size, QString());
            EXPECT_EQ(whileAsking->rating, QString());
            EXPECT_EQ(whileAsking->time, QString());
            EXPECT_EQ(whileAsking->status, QStringLiteral("준비"));
            EXPECT_EQ(whileAsking->speed, QStringLiteral("0"));
            EXPECT_EQ(whileAsking->bar, 0);
        }
        EXPECT_EQ(w->isVisible(), !c.refused);
        EXPECT_TRUE(waitUntil([&] { return w->W->state() == c.playerSettles; }, 10000)) << w->W->status().toStdString();
        for (int i = 0; i < 5; ++i) // the player's last reports reach the window
            QCoreApplication::processEvents();
        const Fields now = fields();
        EXPECT_EQ(now.size, c.size);
        EXPECT_EQ(now.rating, QString()) << now.rating.toStdString();
        EXPECT_NE(now.time, songTime);
        EXPECT_NE(now.status, QStringLiteral("재생 중"));
        EXPECT_EQ(now.speed, QStringLiteral("0"));
        EXPECT_EQ(now.bar, 0);
        removeFolderEntries();
        w->Ine->setTimeoutMs(30000);
    }
}

// "다운로드 취소" acts within a second however slowly the body comes, and a
// body that trickles is neither given up nor shown as standing still.
TEST_F(DownloadTest, CancelActsAtOnceOnATrickleWhoseSpeedShows)
{
    struct Case {
        const char *variant;
        int sampleFromMs; // the first byte is due by then
    } cases[] = {{"crawl", 150}, {"bytewise", 1200}};
    w->ReadyDown(url("/files/tone3s-128k.mp3"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.variant);
        platform::ScopedDialogAnswers local;
        w->DownURL = url("/files/tone3s-128k.mp3", c.variant);
        w->Ine->setTimeoutMs(2000); // shorter than the run: a trickle is no silence
        QStringList speeds;
        QString tip;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, w.get(), [&] { speeds << w->capDown->caption(); });
        QTimer::singleShot(c.sampleFromMs, w.get(), [&] { sampler.start(100); });
        QElapsedTimer sinceCancel;
        QTimer::singleShot(c.sampleFromMs + 1500, w.get(), [&] {
            sampler.stop();
            tip = w->Pro->toolTip();
            const QString screens = QStringLiteral(SORIMBA_BINARY_DIR "/screens");
            QDir().mkpath(screens);
            EXPECT_TRUE(w->grab().save(screens + "/download-trickle-" + c.variant + ".png"));
            sinceCancel.start();
            w->CandyButton1_Click();
        });
        w->CandyButton1_Click();
        ASSERT_TRUE(sinceCancel.isValid());
        EXPECT_LT(sinceCancel.elapsed(), 1000);
        ASSERT_EQ(local.messages().size(), 1);
        EXPECT_EQ(local.messages()[0].text, QStringLiteral("취소되었습니다."));
        EXPECT_TRUE(folderEntries().isEmpty()) << folderEntries().join(", ").toStdString();
        ASSERT_FALSE(speeds.isEmpty());
        if (std::string(c.variant) == "crawl") {
            for (const QString &speed : speeds)
                EXPECT_GT(speed.toDouble(), 0) << speeds.join(' ').toStdString();
        } else {
            // A byte a second on a loaded machine may come a little over a
            // second after the last: the honest rate over that second is 0,
            // but the figure shows the bytes that do come.
            EXPECT_TRUE(std::any_of(speeds.begin(), speeds.end(), [](const QString &v) { return v.toDouble() > 0; }))
                << speeds.join(' ').toStdString();
        }
        EXPECT_TRUE(tip.contains(QStringLiteral(" / 47.8 KB\n남은 시간 : "))) << tip.toStdString();
        if (std::string(c.variant) == "crawl") // a byte a second may just fall outside the last second
            EXPECT_FALSE(tip.contains(QStringLiteral("알 수 없음"))) << tip.toStdString();
        EXPECT_EQ(w->capDown->caption(), QStringLiteral("0")); // ended: nothing comes any more
    }
}

// A body that brings no byte for the silence budget ends as a failure that
// says so, and leaves nothing behind.
TEST_F(DownloadTest, ABodyThatFallsSilentFails)
{
    w->ReadyDown(url("/files/tone3s-128k.mp3"));
    w->DownURL = url("/files/tone3s-128k.mp3", "silent");
    w->Ine->setTimeoutMs(1000);
    QElapsedTimer clock;
    clock.start();
    w->CandyButton1_Click();
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_LT(clock.elapsed(), 5000);
    ASSERT_EQ(answers.messages().size(), 1);
    EXPECT_EQ(answers.messages()[0].text, QStringLiteral("다운로드 실패.\r\n전송이 멈춤 (1초)"));
    EXPECT_TRUE(folderEntries().isEmpty());
}

// A post's page chooses the address: only web addresses reach the player,
// never a local file, a device or one of the player's own sources.
TEST_F(DownloadTest, OnlyWebAddressesArePlayed)
{
    const QString local = folder.filePath("local.mp3");
    {
        QFile f(local);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(mediaFile("tone3s-128k.mp3"));
    }
    for (const QString &address : {QUrl::fromLocalFile(local).toString(), QStringLiteral("av://lavfi:sine.mp3"),
                                   QStringLiteral("edl://") + local}) {
        SCOPED_TRACE(address.toStdString());
        w->ReadyDown(url("/files/tone3s-128k.mp3"));
        w->ReadyDown(address);
        EXPECT_TRUE(w->isVisible());
        EXPECT_TRUE(w->W->URL().isEmpty()) << w->W->URL().toStdString();
        EXPECT_EQ(w->capSt->caption(), QStringLiteral("오류: 잘못된 주소"));
        EXPECT_EQ(w->cpaSize->caption(), "?");
    }
    EXPECT_TRUE(answers.messages().isEmpty());
}

TEST_F(DownloadTest, EmptyFolderIsRefusedWithAMessage)
{
    w->ReadyDown(url("/files/tone3s-128k.mp3"));
    w->txtPath->setText("");
    w->CandyButton1_Click();
    ASSERT_EQ(answers.messages().size(), 1);
    EXPECT_EQ(answers.messages()[0].title, QStringLiteral("경로"));
    EXPECT_FALSE(w->IsDownloading());
}

TEST_F(DownloadTest, CopySpotPutsTheAddressOnTheClipboard)
{
    w->ReadyDown(url("/files/tone3s-128k.mp3"));
    w->Image4_Click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), url("/files/tone3s-128k.mp3"));
}

// The figure is the rate of about the last second, whatever the timing of
// the chunks: at 16 KB/s a 2 KB chunk arrives only every 125 ms, and a
// figure of the last tick alone would often read 0.
TEST_F(DownloadTest, SpeedFigureIsKilobytesPerSecond)
{
    w->Timer1_Timer();
    EXPECT_EQ(w->capDown->caption(), "0"); // idle
    struct Case {
        const char *variants;
        const char *file;
        double rate;
    } cases[] = {{"rate16", "tone3s-128k.mp3", 16}, {"rate50", "tone30s-32k.mp3", 50}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.variants);
        w->ReadyDown(url(QStringLiteral("/files/") + c.file, c.variants));
        QStringList shown;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, w.get(), [&] { shown << w->capDown->caption(); });
        QTimer::singleShot(1100, w.get(), [&] { sampler.start(100); });
        w->CandyButton1_Click();
        sampler.stop();
        ASSERT_EQ(answers.messages().last().title, QStringLiteral("성공"));
        ASSERT_GE(shown.size(), 3);
        shown.removeLast(); // the transfer may have ended since
        for (const QString &text : shown) {
            EXPECT_GT(text.toDouble(), c.rate * 0.6) << shown.join(' ').toStdString();
            EXPECT_LT(text.toDouble(), c.rate * 1.5) << shown.join(' ').toStdString();
        }
        for (const QString &f : folderEntries())
            QFile::remove(QDir(folder.path()).filePath(f));
    }
    w->Timer1_Timer();
    EXPECT_EQ(w->capDown->caption(), "0"); // idle again

    // A fast transfer is half done before the first tick: the figure shows
    // its pace by then all the same.
    QString atHalf;
    QObject::connect(w->Pro, &controls::ProgressBar::propertyChanged, w.get(), [&](const QString &key) {
        if (atHalf.isNull() && key == QLatin1String("Value") && w->Pro->value() * 2 >= w->Pro->max() && w->Pro->max() > 1)
            atHalf = w->capDown->caption();
    });
    w->ReadyDown(url("/files/tone3s-128k.mp3"));
    w->CandyButton1_Click();
    ASSERT_EQ(answers.messages().last().title, QStringLiteral("성공"));
    EXPECT_GT(atHalf.toDouble(), 0) << atHalf.toStdString();
}

TEST_F(DownloadTest, SuccessOffersToOpenTheFolder)
{
    QList<QUrl> opened;
    platform::Desktop::setOpenHandler([&](const QUrl &u) {
        opened.append(u);
        return true;
    });
    answers.setMessageAnswer(MessageResult::Extra);
    w->ReadyDown(url("/files/tone3s-128k.mp3"));
    w->CandyButton1_Click();
    platform::Desktop::setOpenHandler({});
    ASSERT_EQ(answers.messages().size(), 1);
    EXPECT_EQ(answers.messages()[0].extraButton, QStringLiteral("폴더 열기"));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(QDir(folder.path()).absolutePath()));

    // No file manager to open it with: told, not silently dropped.
    platform::Desktop::setOpenHandler([](const QUrl &) { return false; });
    QFile::remove(QDir(folder.path()).filePath("tone3s-128k.mp3"));
    w->CandyButton1_Click();
    platform::Desktop::setOpenHandler({});
    ASSERT_EQ(answers.messages().size(), 3);
    EXPECT_EQ(answers.messages()[2].title, QStringLiteral("폴더 열기"));
    EXPECT_EQ(answers.messages()[2].text,
              QStringLiteral("폴더를 열 파일 관리자가 없습니다.\r\n") + QDir::toNativeSeparators(QDir(folder.path()).absolutePath()));
}

// The default folder (the Music folder) may not exist yet on a new account:
// it is made on first use. A folder the user chose that has gone is an error,
// and a folder nobody may write says so.
TEST_F(DownloadTest, FoldersThatAreMissingOrCannotBeWritten)
{
    QTemporaryDir home;
    const QString music = home.filePath(QStringLiteral("음악"));
    {
        QFile dirs(qEnvironmentVariable("XDG_CONFIG_HOME") + "/user-dirs.dirs");
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_MUSIC_DIR=\"" + music.toUtf8() + "\"\n");
    }
    QSettings(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Sorimba2/Sorimba2.conf", QSettings::IniFormat).clear();
    auto fresh = std::make_unique<download::frmDownload>();
    ASSERT_EQ(fresh->txtPath->text(), music);
    fresh->ReadyDown(url("/files/tone3s-128k.mp3"));
    fresh->CandyButton1_Click();
    QFile::remove(qEnvironmentVariable("XDG_CONFIG_HOME") + "/user-dirs.dirs");
    ASSERT_EQ(answers.messages().size(), 1);
    EXPECT_EQ(answers.messages()[0].title, QStringLiteral("성공"));
    EXPECT_TRUE(QFileInfo::exists(music + "/tone3s-128k.mp3"));

    const QString gone = home.filePath("gone");
    fresh->txtPath->setText(gone);
    fresh->CandyButton1_Click();
    ASSERT_EQ(answers.messages().size(), 2);
    EXPECT_EQ(answers.messages()[1].text, QStringLiteral("저장할 폴더가 없습니다.\r\n") + gone);
    EXPECT_FALSE(QFileInfo::exists(gone));
    // The refused folder is not the one the next start offers.
    EXPECT_EQ(download::frmDownload().txtPath->text(), music);

    // Even the superuser may not write in /sys; others not in a read-only folder.
    QTemporaryDir readOnly;
    const QString locked = geteuid() == 0 ? QStringLiteral("/sys") : readOnly.path();
    QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::ExeOwner);
    fresh->txtPath->setText(locked);
    fresh->CandyButton1_Click();
    QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(answers.messages().size(), 3);
    EXPECT_EQ(answers.messages()[2].text, QStringLiteral("다운로드 실패.\r\n쓰기 권한이 없습니다."));
    EXPECT_EQ(fresh->CandyButton1->Caption(), QStringLiteral("다운로드"));

    // A disk that refuses the writes while the file is being replaced: the
    // failure is told with its cause and the earlier file stays whole.
    const QString stored = music + "/tone3s-128k.mp3";
    auto contents = [&] {
        QFile f(stored);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = contents();
    ASSERT_FALSE(before.isEmpty());
    fresh->txtPath->setText(music);
    answers.setMessageAnswer(MessageResult::Yes); // replace it
    {
        testsupport::ScopedFileSizeLimit diskFull;
        fresh->CandyButton1_Click();
    }
    ASSERT_GE(answers.messages().size(), 4);
    EXPECT_TRUE(answers.messages().back().text.startsWith(QStringLiteral("다운로드 실패.\r\n파일을 쓸 수 없습니다: ")))
        << answers.messages().back().text.toStdString();
    EXPECT_EQ(contents(), before);
    EXPECT_EQ(QDir(music).entryList(QDir::Files), QStringList{"tone3s-128k.mp3"}) << "no temporary file is left behind";
}

// Watches for real message boxes and answers each with the Return key on its
// focused button, then delivers the key's release where the desktop does: to
// the control that has the focus again once the box is gone.
class ReturnKeyOnBoxes : public QObject {
public:
    explicit ReturnKeyOnBoxes(QWidget *focusAfterwards) : m_focusAfterwards(focusAfterwards)
    {
        platform::Dialogs::setShowWithoutScreen(true);
        connect(&m_poll, &QTimer::timeout, this, [this] { answer(); });
        m_poll.start(10);
    }
    ~ReturnKeyOnBoxes() override { platform::Dialogs::setShowWithoutScreen(false); }
    QStringList texts;

private:
    void answer()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || box == m_answered)
            return;
        m_answered = box;
        texts.append(box->text());
        QWidget *button = box->defaultButton() ? static_cast<QWidget *>(box->defaultButton()) : box;
        button->setFocus();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(button, &press);
        QTimer::singleShot(0, m_focusAfterwards, [target = m_focusAfterwards] {
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(target, &release);
        });
    }
    QWidget *m_focusAfterwards;
    QPointer<QMessageBox> m_answered;
    QTimer m_poll;
};

// One key press does one thing: Return on a button starts its command once,
// and the Return that closes the command's message box does not reach the
// button again (the download would start over, or the box come back).
TEST_F(DownloadTest, ReturnOnEachMessageBoxClosesItAndNothingElse)
{
    const auto pressReturn = [](QWidget *button) {
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent key(type, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(button, &key);
        }
        for (int i = 0; i < 10; ++i) // let a wrongly delivered release act
            QCoreApplication::processEvents();
    };
    const QString stored = QDir(folder.path()).filePath("tone3s-128k.mp3");
    struct Case {
        const char *what;
        std::function<void()> prepare;
        QString text;
    } cases[] = {
        {"success", [&] { QFile::remove(stored); }, QStringLiteral("다운로드 완료\r\n파일 경로 : ") + stored},
        {"replace question (No is the default)", [] {},
         QStringLiteral("같은 이름의 파일이 이미 있습니다.\r\n") + stored + QStringLiteral("\r\n새 파일로 바꿀까요?")},
        {"failure", [&] { QFile::remove(stored); w->DownURL = url("/files/missing.mp3"); }, QStringLiteral("다운로드 실패.\r\nHTTP 404")},
        {"no folder", [&] { w->txtPath->setText(folder.filePath("gone")); },
         QStringLiteral("저장할 폴더가 없습니다.\r\n") + folder.filePath("gone")},
    };
    w->ReadyDown(url("/files/tone3s-128k.mp3"));
    platform::Dialogs::setMessageAnswer({}); // real boxes, answered by key presses
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        ReturnKeyOnBoxes boxes(w->CandyButton1);
        w->CandyButton1->setFocus();
        pressReturn(w->CandyButton1);
        // A leaked release would click again: a second box (the replace
        // question, the same failure or the same refusal) would show.
        EXPECT_EQ(boxes.texts, QStringList{c.text}) << boxes.texts.join('|').toStdString();
    }
}

class FolderSettingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app::initApplication();
        QFile::remove(settingsFile());
    }
    static QString settingsFile()
    {
        return qEnvironmentVariable("XDG_CONFIG_HOME") + "/Sorimba2/Sorimba2.conf";
    }
    static QString stored()
    {
        QSettings s(settingsFile(), QSettings::IniFormat);
        return s.value("Setting/DownloadPath", "<none>").toString();
    }
};

TEST_F(FolderSettingTest, DefaultRoundTripAndEveryKeystroke)
{
    {
        download::frmDownload w; // first run: the Music folder, stored at once
        EXPECT_FALSE(w.txtPath->text().isEmpty());
        EXPECT_EQ(stored(), w.txtPath->text());
        QStringList seen;
        QObject::connect(w.txtPath, &QLineEdit::textChanged, [&] { seen.append(stored()); });
        w.txtPath->clear();
        for (QChar c : QStringLiteral("/tmp/음악"))
            w.txtPath->insert(c);
        EXPECT_EQ(seen, (QStringList{"", "/", "/t", "/tm", "/tmp", "/tmp/", QStringLiteral("/tmp/음"), QStringLiteral("/tmp/음악")}));
    }
    download::frmDownload again; // the next run reads it back
    EXPECT_EQ(again.txtPath->text(), QStringLiteral("/tmp/음악"));
}

TEST_F(FolderSettingTest, BrowserChoiceIsStoredAndCancelKeepsTheFolder)
{
    download::frmDownload w;
    w.txtPath->setText("/srv/music");
    {
        platform::ScopedDialogAnswers answers(MessageResult::Ok, QString()); // cancel
        w.CandyButton2_Click();
        ASSERT_EQ(answers.folders().size(), 1);
        EXPECT_EQ(answers.folders()[0].title, QStringLiteral("음악을 저장할 곳을 선택하세요."));
    }
    EXPECT_EQ(w.txtPath->text(), "/srv/music");
    EXPECT_EQ(stored(), "/srv/music");
    platform::ScopedDialogAnswers answers(MessageResult::Ok, "/home/me/Music");
    w.CandyButton2_Click();
    EXPECT_EQ(w.txtPath->text(), "/home/me/Music");
    EXPECT_EQ(stored(), "/home/me/Music");
}

} // namespace
