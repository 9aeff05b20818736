// The download window's player side with real mpv (null audio) playing the
// simulator's MP3 over HTTP: status, time label, keys, wheel and volume.
#include "app/application.h"
#include "download/format.h"
#include "download/frmdownload.h"
#include "download/numbertext.h"
#include "download/volumesetting.h"
#include "platform/dialogs.h"
#include "support/sim_fixture.h"

#include <QApplication>
#include <QFileInfo>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <limits>
#include <optional>

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
    // Plays the 30 s tone and holds it paused at 5.5 s, its length known.
    void playAndHoldAtFiveSeconds()
    {
        w->ReadyDown(portal.baseUrl() + "/files/tone30s-32k.mp3");
        ASSERT_TRUE(waitUntil([&] { return w->W->state() == State::Playing; }, 10000)) << w->W->status().toStdString();
        ASSERT_TRUE(waitUntil([&] { return w->W->currentMedia().duration() > 0; }));
        w->W->controls().pause();
        ASSERT_TRUE(waitUntil([&] { return w->W->state() == State::Paused; }));
        w->W->controls().setCurrentPosition(5.7);
        ASSERT_TRUE(waitUntil([&] { return w->cpaTime->caption() == "00:05 / 00:30"; }))
            << w->cpaTime->caption().toStdString();
    }
    bool activate()
    {
        w->activateWindow();
        return waitUntil([&] { return w->isActiveWindow(); });
    }
    platform::ScopedDialogAnswers answers;
    std::unique_ptr<download::frmDownload> w;
};

TEST_F(PlayerWindowTest, StatusDurationRatingAndControls)
{
    w->ReadyDown(portal.baseUrl() + "/files/tone30s-32k.mp3"); // 30 s at a constant 32 kb/s
    ASSERT_TRUE(waitUntil([&] { return w->W->state() == State::Playing; }, 10000)) << w->W->status().toStdString();
    // 32,000 bit/s read in thousands: 32 kb/s, rated "조금나쁨".
    ASSERT_TRUE(waitUntil([&] { return w->Caption5->caption().endsWith(QStringLiteral("[조금나쁨]")); }, 10000))
        << w->Caption5->caption().toStdString();
    EXPECT_EQ(w->capSt->caption(), w->W->status()); // the status line follows every change
    EXPECT_TRUE(w->cpaTime->caption().endsWith(" / 00:30")) << w->cpaTime->caption().toStdString();
    EXPECT_EQ(w->Caption5->caption(), QStringLiteral("32kb/s [조금나쁨]"));

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
    // However long the cause, it stays in the status line's own place beside
    // the buttons (shortened there if it must be) and is read whole in the tooltip.
    EXPECT_LE(w->capSt->TextWidth(w->capSt->caption()), w->capSt->width() * 15) << w->capSt->caption().toStdString();
    EXPECT_LT(w->capSt->geometry().right(), w->CandyButton1->geometry().left());
    EXPECT_EQ(w->capSt->toolTip(), w->W->status());

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

TEST_F(PlayerWindowTest, TheTimeLabelShowsElapsedAndTotalAndEndsOnTheLength)
{
    w->ReadyDown(portal.baseUrl() + "/files/tone3s-128k.mp3"); // 3.03 s
    // It moves on every second while playing, with the length beside it.
    EXPECT_TRUE(waitUntil([&] { return w->cpaTime->caption() == "00:01 / 00:03"; }, 10000))
        << w->cpaTime->caption().toStdString();
    EXPECT_TRUE(waitUntil([&] { return w->cpaTime->caption() == "00:02 / 00:03"; }, 3000))
        << w->cpaTime->caption().toStdString();
    // At the end it reads the whole length, not a blank or nought.
    ASSERT_TRUE(waitUntil([&] { return w->W->state() == State::Ended; }, 5000));
    EXPECT_EQ(w->cpaTime->caption(), "00:03 / 00:03");
}

TEST_F(PlayerWindowTest, KeysSteerThePlayer)
{
    ASSERT_TRUE(activate());
    playAndHoldAtFiveSeconds();
    w->W->settings().setVolume(50);
    // The place asked for shows at once, before the player is there.
    QTest::keyClick(w->focusWidget(), Qt::Key_Right);
    EXPECT_EQ(w->cpaTime->caption(), "00:15 / 00:30");
    QTest::keyClick(w->focusWidget(), Qt::Key_Left);
    EXPECT_EQ(w->cpaTime->caption(), "00:05 / 00:30");
    // A new song leaves the keyboard on the play button, marked.
    EXPECT_EQ(w->focusWidget(), w->Image3);
    EXPECT_EQ(w->focusMark()->target(), w->Image3);

    // A seek while paused lands a few audio frames before its target: the
    // label is checked against the place reached.
    const auto seeksBy = [&](double delta) {
        const double target = qMax(0.0, w->W->controls().currentPosition() + delta);
        return std::function<bool()>([this, target] {
            const double at = w->W->controls().currentPosition();
            return std::abs(at - target) < 0.5
                   && w->cpaTime->caption() == download::PositionText(at, w->W->currentMedia().duration());
        });
    };
    const struct Step {
        Qt::Key key;
        std::optional<double> seek; // seconds the key moves the place by
        std::function<bool()> effect;
        const char *what;
    } steps[] = {
        {Qt::Key_Right, 10, {}, "Right seeks 10 s on"},
        {Qt::Key_Left, -10, {}, "Left seeks 10 s back"},
        {Qt::Key_Up, {}, [&] { return w->W->settings().volume() == 55 && w->capSt->caption() == "음량 55%"; }, "Up"},
        {Qt::Key_Down, {}, [&] { return w->W->settings().volume() == 50 && w->capSt->caption() == "음량 50%"; }, "Down"},
        {Qt::Key_M, {}, [&] { return w->W->settings().mute() && w->capSt->caption() == "음소거"; }, "M mutes"},
        {Qt::Key_M, {}, [&] { return !w->W->settings().mute() && w->capSt->caption() == "음량 50%"; }, "M unmutes"},
        {Qt::Key_Space, {}, [&] { return w->W->state() == State::Playing; }, "Space plays"},
        {Qt::Key_Space, {}, [&] { return w->W->state() == State::Paused; }, "Space pauses"},
        {Qt::Key_Tab, {}, [&] { return w->focusWidget() == w->Image5 && w->focusMark()->target() == w->Image5; }, "Tab"},
        {Qt::Key_Tab, {}, [&] { return w->focusWidget() == w->Image6; }, "Tab"},
        {Qt::Key_Tab, {}, [&] { return w->focusWidget() == w->Image7; }, "Tab"},
        {Qt::Key_Tab, {}, [&] { return w->focusWidget() == w->aicAlphaImage3; }, "Tab to the seek images"},
        // The images keep keys to themselves; the player's keys reach the window all the same.
        {Qt::Key_Return, -10, {}, "Enter on back 10 s"},
        {Qt::Key_Tab, {}, [&] { return w->focusWidget() == w->aicAlphaImage2 && w->focusMark()->isVisible(); }, "Tab"},
        {Qt::Key_Return, 10, {}, "Enter on forward 10 s"},
        {Qt::Key_Right, 10, {}, "Right on an image"},
        {Qt::Key_Backtab, {}, [&] { return w->focusWidget() == w->aicAlphaImage3; }, "Shift+Tab"},
    };
    for (const Step &step : steps) {
        const std::function<bool()> effect = step.seek ? seeksBy(*step.seek) : step.effect;
        QTest::keyClick(w->focusWidget(), step.key);
        EXPECT_TRUE(waitUntil(effect)) << step.what << "; time " << w->cpaTime->caption().toStdString()
                                       << ", status " << w->capSt->caption().toStdString();
    }
    // Enter presses the focused player button.
    w->Image3->setFocus();
    QTest::keyClick(w->Image3, Qt::Key_Return);
    EXPECT_TRUE(waitUntil([&] { return w->W->state() == State::Playing; }));
    w->Image5->setFocus();
    QTest::keyClick(w->Image5, Qt::Key_Enter);
    EXPECT_TRUE(waitUntil([&] { return w->W->state() == State::Paused; }));
    // Off the player the mark goes away; the volume note gives way to the status.
    w->txtFN->setFocus();
    EXPECT_FALSE(w->focusMark()->isVisible());
    EXPECT_TRUE(waitUntil([&] { return w->capSt->caption() == w->W->status(); }, 3000));
}

TEST_F(PlayerWindowTest, KeysTypedIntoTheBoxesStayThere)
{
    ASSERT_TRUE(activate());
    playAndHoldAtFiveSeconds();
    w->W->settings().setVolume(50);
    for (QLineEdit *box : {w->txtPath, w->txtFN}) {
        box->setFocus();
        box->setText("ab");
        box->setCursorPosition(2);
        QTest::keyClick(box, Qt::Key_Space);
        QTest::keyClick(box, Qt::Key_M);
        QTest::keyClick(box, Qt::Key_Left);
        // A line edit has no use for these and passes them on, still not to the volume.
        QTest::keyClick(box, Qt::Key_Up);
        EXPECT_EQ(w->W->settings().volume(), 50);
        QTest::keyClick(box, Qt::Key_Down);
        EXPECT_EQ(box->text(), "ab m");
        EXPECT_EQ(box->cursorPosition(), 3);
        EXPECT_EQ(w->W->state(), State::Paused);
        EXPECT_EQ(w->W->settings().volume(), 50);
        EXPECT_FALSE(w->W->settings().mute());
        EXPECT_EQ(w->cpaTime->caption(), "00:05 / 00:30");
    }
}

TEST_F(PlayerWindowTest, TheWheelOverTheDockSetsTheVolumeWhichIsKept)
{
    w->W->settings().setVolume(50);
    const auto turn = [](QWidget *over, int eighths) {
        const QPointF at(over->width() / 2.0, over->height() / 2.0);
        QWheelEvent wheel(at, over->mapToGlobal(at), QPoint(), QPoint(0, eighths), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &wheel);
    };
    const struct {
        QWidget *over;
        int eighths;
        int volume;
    } cases[] = {
        {w->Image6, 120, 55},         {w->playerDock(), -240, 45}, {w->aicAlphaImage2, 60, 45}, // half a notch waits
        {w->aicAlphaImage2, 60, 50},  {w->Image3, 120 * 20, 100},  {w->Image3, -120 * 30, 0},
        {w->capSt, 120, 0}, // away from the dock the wheel is not the volume's
    };
    for (const auto &c : cases) {
        turn(c.over, c.eighths);
        EXPECT_EQ(w->W->settings().volume(), c.volume) << c.over->objectName().toStdString() << " " << c.eighths;
    }
    EXPECT_EQ(w->capSt->caption(), "음량 0%");
    turn(w->Image6, 120 * 7);
    EXPECT_EQ(download::loadVolume(), 35);
    // The next start plays as loud.
    download::frmDownload next;
    EXPECT_EQ(next.W->settings().volume(), 35);
}

} // namespace

namespace {

// The longest text each field of the window can be given fits its field at
// the window's font, outline included.
TEST(DownloadWindowTexts, TheLongestTextOfEachFieldFits)
{
    download::frmDownload w;
    const struct {
        controls::SkinLabel *label;
        QString text;
    } cases[] = {
        {w.cpaTime, download::PositionText(32767, 32767)},                      // the longest length
        {w.cpaTime, download::PositionText(5025, 14400)},                       // hours of a stream
        {w.Caption5, download::rateBitRate(2'000'000)->caption},                // a lossless stream
        {w.Caption5, download::rateBitRate(199'000)->caption},                  // the longest word
        {w.cpaSize, download::megabyteText(std::numeric_limits<qint64>::max())}, // six characters at most
        {w.cpaSize, download::megabyteText(123'456'789)},
        {w.capDown, download::defaultNumberText(99999.9)},                      // 100 MB/s
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label->objectName().toStdString() + ": " + c.text.toStdString());
        c.label->setCaption(c.text);
        EXPECT_LE(c.label->TextWidth(c.text), c.label->width() * 15);
    }
}

} // namespace
