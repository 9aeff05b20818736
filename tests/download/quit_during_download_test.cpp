// Closing the main window while a song downloads: the user is asked once;
// yes ends the download and the program at once, no keeps both windows.
#include "app/application.h"
#include "app/frmmain.h"
#include "download/frmdownload.h"
#include "platform/dialogs.h"
#include "support/sim_fixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

using namespace testsupport;
using platform::MessageResult;

namespace {

class QuitDuringDownloadTest : public SimFixture {
protected:
    void SetUp() override
    {
        app::initApplication();
        SimFixture::SetUp();
    }
    // Opens a page of songs and the download window on its first song.
    download::frmDownload *openDownload(app::frmMain &w)
    {
        std::optional<bool> found;
        const auto c = QObject::connect(&w, &app::frmMain::pageFinished, [&](bool f) { found = f; });
        w.txtKeyword->setText(portal.baseUrl() + "/page/audio");
        w.cmdSearch_Click();
        EXPECT_TRUE(waitUntil([&] { return found.has_value(); }, 20000));
        QObject::disconnect(c);
        w.lstResult->setCurrentItem(w.lstResult->topLevelItem(0));
        w.lstResult_DblClick();
        auto *download = static_cast<download::frmDownload *>(w.downloadWindow());
        if (download)
            download->txtPath->setText(folder.path());
        return download;
    }
    QStringList folderEntries() const { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }

    QTemporaryDir folder;
};

TEST_F(QuitDuringDownloadTest, BothAnswers)
{
    for (const MessageResult answer : {MessageResult::No, MessageResult::Yes}) {
        const bool quit = answer == MessageResult::Yes;
        SCOPED_TRACE(quit ? "yes" : "no");
        platform::ScopedDialogAnswers answers(answer);
        app::frmMain w;
        w.show();
        download::frmDownload *download = openDownload(w);
        ASSERT_NE(download, nullptr);
        ASSERT_TRUE(download->isVisible());
        download->DownURL = portal.baseUrl() + "/_v/crawl/media/tone3s-128k.mp3";

        QElapsedTimer sinceClose;
        bool mainOpenAfterClose = false;
        QTimer::singleShot(300, &w, [&] {
            sinceClose.start();
            w.close();
            w.close(); // after a yes the program is ending: asked nothing more; after a no, asked again
            mainOpenAfterClose = w.isVisible();
            if (!quit) {
                EXPECT_TRUE(download->IsDownloading());
                EXPECT_TRUE(download->isVisible());
                download->CandyButton1_Click(); // the user's own cancel, later
            }
        });
        download->CandyButton1_Click();
        ASSERT_TRUE(sinceClose.isValid());
        EXPECT_LT(sinceClose.elapsed(), 1000);
        EXPECT_TRUE(folderEntries().isEmpty()) << folderEntries().join(", ").toStdString();

        QStringList texts;
        for (const auto &m : answers.messages())
            texts << m.text;
        const QString question = QStringLiteral("다운로드를 취소하고 끝낼까요?");
        if (quit) {
            EXPECT_EQ(texts, QStringList{question}); // nothing told after the answer
            EXPECT_FALSE(w.isVisible());
            EXPECT_FALSE(download->isVisible());
        } else {
            EXPECT_EQ(texts, (QStringList{question, question, QStringLiteral("취소되었습니다.")}));
            EXPECT_TRUE(mainOpenAfterClose);
            EXPECT_TRUE(w.isVisible());
            EXPECT_TRUE(download->isVisible());
        }
        ASSERT_FALSE(answers.messages().isEmpty());
        EXPECT_EQ(answers.messages()[0].buttons, platform::MessageButtons::YesNo);
        EXPECT_FALSE(download->IsDownloading());
    }
}

} // namespace
