// What a download stores and where: a web page sent instead of the song is
// not stored, and the target is created or replaced only as a file inside
// the folder, whatever links the folder holds. Real HTTP against the
// simulator, real links in temporary folders.
#include "app/application.h"
#include "download/filetransfer.h"
#include "download/frmdownload.h"
#include "download/targetfile.h"
#include "platform/dialogs.h"
#include "support/media.h"
#include "support/sim_fixture.h"
#include "window_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <unistd.h>

using namespace testsupport;
using platform::MessageResult;

namespace {

class SavedFileTest : public DownloadWindowFixture {
protected:
    QString inFolder(const QString &name) const { return QDir(folder.path()).filePath(name); }
    static QByteArray contents(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
    }

    QTemporaryDir outside; // where planted links point
};

TEST_F(SavedFileTest, AWebPageInsteadOfTheSongIsAFailureAndLeavesNothing)
{
    for (const char *variants : {"expired", "expired,nolength", "expiredmusic", "expiredmusic,nolength"}) {
        SCOPED_TRACE(variants);
        platform::ScopedDialogAnswers local;
        w->ReadyDown(url(QStringLiteral("/files/%B3%EB%B7%A1.mp3"), QString::fromLatin1(variants)));
        w->CandyButton1_Click();
        ASSERT_EQ(local.messages().size(), 1);
        EXPECT_EQ(local.messages()[0].title, QStringLiteral("실패"));
        EXPECT_EQ(local.messages()[0].text, QStringLiteral("다운로드 실패.\r\n서버가 음악 대신 웹 페이지를 보냄"));
        EXPECT_TRUE(folderEntries().isEmpty()) << folderEntries().join(", ").toStdString();
        EXPECT_EQ(w->Pro->value(), 0);
    }
}

TEST(PageSniffing, BodiesAndTypes)
{
    struct Case {
        QByteArray body;
        bool page;
    } bodies[] = {
        {"<!DOCTYPE html><html>", true},
        {"\xEF\xBB\xBF  \r\n<HTML><body>", true},
        {"\n\t<head><title>", true},
        {"<!-- saved from url -->\n<html>", true},
        {"<body>", true},
        {"ID3\x04\x00\x00\x00\x00\x00\x00<html>", false}, // an mp3 with a tag
        {"\xFF\xFB\x90\x00", false},
        {"RIFF\x24\x00\x00\x00WAVEfmt ", false},
        {"<htm", false}, // too short to tell
        {"", false},
    };
    for (const Case &c : bodies)
        EXPECT_EQ(download::looksLikePage(c.body), c.page) << c.body.toStdString();
    EXPECT_TRUE(download::isPageType(QStringLiteral("text/html")));
    EXPECT_TRUE(download::isPageType(QStringLiteral(" Text/HTML; charset=euc-kr")));
    EXPECT_TRUE(download::isPageType(QStringLiteral("application/xhtml+xml")));
    EXPECT_FALSE(download::isPageType(QStringLiteral("audio/mpeg")));
    EXPECT_FALSE(download::isPageType(QStringLiteral("application/octet-stream")));
    EXPECT_FALSE(download::isPageType(QString()));
}

// A link planted under the target's name, pointing at a file or at nowhere
// outside the folder: it is asked about as an existing entry; No keeps
// everything, Yes replaces the link itself with the song, and the outside
// stays as it was.
TEST_F(SavedFileTest, ALinkNamedLikeTheTargetIsReplacedNeverFollowed)
{
    const QString song = QStringLiteral("tone3s-128k.mp3");
    const QString target = inFolder(song);
    const QString outsideFile = QDir(outside.path()).filePath(QStringLiteral("precious.txt"));
    const QString nowhere = QDir(outside.path()).filePath(QStringLiteral("created-by-download.mp3"));
    struct Case {
        const char *name;
        QString pointsAt;
        bool pointsAtFile;
    } cases[] = {
        {"link to a file outside", outsideFile, true},
        {"dangling link", nowhere, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        {
            QFile f(outsideFile);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("precious outside bytes");
        }
        QFile::remove(target);
        ASSERT_EQ(::symlink(QFile::encodeName(c.pointsAt).constData(), QFile::encodeName(target).constData()), 0);
        w->ReadyDown(url(QStringLiteral("/files/") + song));

        platform::ScopedDialogAnswers no(MessageResult::No);
        w->CandyButton1_Click();
        ASSERT_EQ(no.messages().size(), 1);
        EXPECT_EQ(no.messages()[0].buttons, platform::MessageButtons::YesNo);
        EXPECT_TRUE(no.messages()[0].text.contains(target));
        EXPECT_TRUE(QFileInfo(target).isSymLink());

        platform::ScopedDialogAnswers yes(MessageResult::Yes);
        w->CandyButton1_Click();
        ASSERT_EQ(yes.messages().size(), 2);
        EXPECT_EQ(yes.messages()[1].title, QStringLiteral("성공"));
        EXPECT_EQ(yes.messages()[1].text, QStringLiteral("다운로드 완료\r\n파일 경로 : ") + target);
        const QFileInfo stored(target);
        EXPECT_FALSE(stored.isSymLink());
        EXPECT_TRUE(stored.isFile());
        EXPECT_EQ(contents(target), mediaFile("tone3s-128k.mp3"));
        EXPECT_EQ(contents(outsideFile), "precious outside bytes");
        EXPECT_FALSE(QFileInfo::exists(nowhere));
        EXPECT_EQ(folderEntries(), QStringList{song}); // no temporary file left
    }
}

// The temporary file is hidden beside the target and goes when it is not
// put in place; a rename that cannot put it in place says why.
TEST_F(SavedFileTest, TheTemporaryFileIsNewAndGoesWhenNotCommitted)
{
    const QString target = inFolder(QStringLiteral("song.mp3"));
    {
        download::TargetFile file(target);
        ASSERT_TRUE(file.open());
        ASSERT_TRUE(file.write("half a song"));
        const QStringList during = folderEntries();
        ASSERT_EQ(during.size(), 1);
        EXPECT_TRUE(during[0].startsWith('.')) << during[0].toStdString();
        EXPECT_FALSE(QFileInfo::exists(target));
    } // abandoned
    EXPECT_TRUE(folderEntries().isEmpty());

    // A folder of the target's name is not replaced.
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("song.mp3")));
    download::TargetFile file(target);
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(file.write("a song"));
    EXPECT_FALSE(file.commit());
    EXPECT_FALSE(file.errorString().isEmpty());
    EXPECT_TRUE(QFileInfo(target).isDir());
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("song.mp3")});
    EXPECT_TRUE(download::entryExists(target));
}

} // namespace
