// The download window's player side with real mpv (null audio) playing the
// simulator's MP3 over HTTP.
#include "app/application.h"
#include "download/frmdownload.h"
#include "platform/dialogs.h"
#include "support/sim_fixture.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QTemporaryDir>

using namespace testsupport;
using State = platform::MediaPlayer::State;

namespace {

void click(QWidget *spot)
{
    const QPointF at(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, spot->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, spot->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(spot, &press);
    QCoreApplication::sendEvent(spot, &release);
}

class PlayerWindowTest : public SimFixture {
protected:
    void SetUp() override
    {
        app::initApplication();
        SimFixture::SetUp();
        w = std::make_unique<download::frmDownload>();
        w->show();
    }
    platform::ScopedDialogAnswers answers;
    std::unique_ptr<download::frmDownload> w;
};

TEST_F(PlayerWindowTest, StatusDurationRatingAndControls)
{
    w->ReadyDown(portal.baseUrl() + "/files/tone30s-32k.mp3"); // 30 s at a constant 32 kb/s
    ASSERT_TRUE(waitUntil([&] { return w->W->state() == State::Playing; }, 10000)) << w->W->status().toStdString();
    // 32,000 bit/s read in units of 1,024: 31 kb/s, rated "조금나쁨".
    ASSERT_TRUE(waitUntil([&] { return w->Caption5->caption().endsWith(QStringLiteral("[조금나쁨]")); }, 10000))
        << w->Caption5->caption().toStdString();
    EXPECT_EQ(w->capSt->caption(), w->W->status()); // the status line follows every change
    EXPECT_EQ(w->cpaTime->caption(), "00:30");
    EXPECT_EQ(w->Caption5->caption(), QStringLiteral("31kb/s [조금나쁨]"));

    click(w->Image5); // pause
    ASSERT_TRUE(waitUntil([&] { return w->W->state() == State::Paused; }));
    const double held = w->W->controls().currentPosition();
    click(w->aicAlphaImage2); // forward 10 s
    EXPECT_TRUE(waitUntil([&] { return w->W->controls().currentPosition() >= held + 9; }, 10000))
        << held << " -> " << w->W->controls().currentPosition();
    click(w->Image3); // play
    EXPECT_TRUE(waitUntil([&] { return w->W->state() == State::Playing; }));

    w->close(); // closing the window stops playback
    EXPECT_TRUE(waitUntil([&] { return w->W->state() != State::Playing; }));
}

TEST_F(PlayerWindowTest, PlayerErrorLeavesTheDownloadWorking)
{
    w->ReadyDown(portal.baseUrl() + "/_v/fail/files/tone3s-128k.mp3");
    EXPECT_TRUE(waitUntil([&] { return w->W->state() == State::Error; }, 10000));
    EXPECT_TRUE(w->capSt->caption().startsWith(platform::MediaPlayer::statusText(State::Error)));

    // A player that cannot start at all: the window still downloads.
    const QByteArray savedOutput = qgetenv("SORIMBA_AO");
    qputenv("SORIMBA_AO", "no-such-output");
    w = std::make_unique<download::frmDownload>();
    qputenv("SORIMBA_AO", savedOutput);
    w->show();
    QTemporaryDir folder;
    w->txtPath->setText(folder.path());
    w->ReadyDown(portal.baseUrl() + "/files/tone3s-128k.mp3");
    EXPECT_TRUE(waitUntil([&] { return w->W->state() == State::Error; }, 10000)) << w->W->status().toStdString();
    EXPECT_TRUE(w->capSt->caption().startsWith(platform::MediaPlayer::statusText(State::Error)));
    w->CandyButton1_Click();
    ASSERT_FALSE(answers.messages().isEmpty());
    EXPECT_EQ(answers.messages().last().title, QStringLiteral("성공"));
    EXPECT_EQ(QFileInfo(folder.filePath("tone3s-128k.mp3")).size(), 48900);
}

} // namespace
