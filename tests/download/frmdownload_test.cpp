// The download window over real HTTP against the simulator, with real files in
// temporary folders and the settings file under the test's XDG_CONFIG_HOME.
#include "app/application.h"
#include "download/frmdownload.h"
#include "platform/dialogs.h"
#include "support/media.h"
#include "support/sim_fixture.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

using namespace testsupport;
using platform::MessageResult;

namespace {

class DownloadTest : public SimFixture {
protected:
    void SetUp() override
    {
        app::initApplication();
        SimFixture::SetUp();
        w = std::make_unique<download::frmDownload>();
        w->txtPath->setText(folder.path());
        w->show();
    }
    QString url(const QString &path, const QString &variants = {}) const
    {
        return portal.baseUrl() + (variants.isEmpty() ? QString() : "/_v/" + variants) + path;
    }
    QStringList folderEntries() const { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }

    QTemporaryDir folder;
    platform::ScopedDialogAnswers answers;
    std::unique_ptr<download::frmDownload> w;
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

    w->ReadyDown(url("/files/tone3s-128k.mp3?x=1")); // a query after the extension is not music
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
        const char *variants;
        const char *name;
        bool success;
        qint64 size; // of the stored file on success
    } cases[] = {
        {"", "empty.mp3", true, 0},              // an announced size of 0: an empty file
        {"nolength", "tone3s-128k.mp3", true, 48900}, // no length: whole body to the end
        {"truncated", "tone3s-128k.mp3", false, 0},
        {"longer", "tone3s-128k.mp3", false, 0},
        {"reset", "tone3s-128k.mp3", false, 0},
        {"fail", "tone3s-128k.mp3", false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.variants);
        platform::ScopedDialogAnswers local;
        w->ReadyDown(url(QStringLiteral("/files/") + c.name, c.variants));
        w->CandyButton1_Click();
        ASSERT_EQ(local.messages().size(), 1);
        EXPECT_EQ(local.messages()[0].title, c.success ? QStringLiteral("성공") : QStringLiteral("실패"));
        if (c.success) {
            EXPECT_EQ(QFileInfo(QDir(folder.path()).filePath(c.name)).size(), c.size);
        } else {
            EXPECT_EQ(local.messages()[0].text, QStringLiteral("다운로드 실패."));
            EXPECT_TRUE(folderEntries().isEmpty()) << folderEntries().join(", ").toStdString();
        }
        for (const QString &f : folderEntries())
            QFile::remove(QDir(folder.path()).filePath(f));
    }

    // Nothing listens on port 1: the connection is refused.
    platform::ScopedDialogAnswers refused;
    QString address = QStringLiteral("http://127.0.0.1:1/files/tone3s-128k.mp3");
    w->ReadyDown(address);
    w->CandyButton1_Click();
    ASSERT_EQ(refused.messages().size(), 1);
    EXPECT_EQ(refused.messages()[0].text, QStringLiteral("다운로드 실패."));
    EXPECT_TRUE(folderEntries().isEmpty());
    EXPECT_TRUE(w->CandyButton3->isEnabled());
}

TEST_F(DownloadTest, CancelMidwayLeavesNothing)
{
    w->ReadyDown(url("/files/tone30s-32k.mp3", "slow"));
    QTimer::singleShot(300, w.get(), [&] {
        EXPECT_TRUE(w->IsDownloading);
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
    EXPECT_FALSE(w->IsDownloading);
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
    EXPECT_TRUE(portal.server().requests().isEmpty());
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

TEST_F(DownloadTest, EmptyFolderIsRefusedWithAMessage)
{
    w->ReadyDown(url("/files/tone3s-128k.mp3"));
    w->txtPath->setText("");
    w->CandyButton1_Click();
    ASSERT_EQ(answers.messages().size(), 1);
    EXPECT_EQ(answers.messages()[0].title, QStringLiteral("경로"));
    EXPECT_FALSE(w->IsDownloading);
}

TEST_F(DownloadTest, CopySpotPutsTheAddressOnTheClipboard)
{
    w->ReadyDown(url("/files/tone3s-128k.mp3"));
    w->Image4_Click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), url("/files/tone3s-128k.mp3"));
}

TEST_F(DownloadTest, SpeedFigureIsKilobytesPerSecond)
{
    w->Timer1_Timer();
    EXPECT_EQ(w->capDown->caption(), "0"); // idle
    // The slow variant sends 100 KB each second in 50 ms slices; a tick sees one
    // to three slices whatever its timing.
    w->ReadyDown(url("/files/tone30s-32k.mp3", "slow"));
    QStringList shown;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, w.get(), [&] { shown << w->capDown->caption(); });
    QTimer::singleShot(400, w.get(), [&] { sampler.start(100); });
    w->CandyButton1_Click();
    ASSERT_EQ(answers.messages().last().title, QStringLiteral("성공"));
    ASSERT_GE(shown.size(), 3);
    double sum = 0;
    for (const QString &text : shown)
        sum += text.toDouble();
    const double mean = sum / shown.size();
    EXPECT_GT(mean, 60) << shown.join(' ').toStdString();
    EXPECT_LT(mean, 150) << shown.join(' ').toStdString();
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
