// Media player with real mpv (null audio output) playing the simulator's
// files over HTTP. Waits pump events with a deadline; nothing sleeps.
#include "platform/mediaplayer/mediaplayer.h"
#include "portal-sim/portal.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using platform::MediaPlayer;
using State = MediaPlayer::State;

template <typename Pred>
bool pumpUntil(Pred pred, int ms = 5000)
{
    QDeadlineTimer deadline(ms);
    while (!pred() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    return pred();
}

void pumpFor(int ms)
{
    pumpUntil([] { return false; }, ms);
}

class MediaPlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(portal.start());
        QObject::connect(&w, &MediaPlayer::StatusChange, [this] {
            if (states.isEmpty() || states.last() != w.state())
                states.append(w.state());
        });
        ASSERT_NE(w.state(), State::Error) << w.status().toStdString();
    }
    QString url(const char *path) const { return portal.baseUrl() + QLatin1String(path); }

    portalsim::Portal portal;
    MediaPlayer w;
    QList<State> states;
};

TEST_F(MediaPlayerTest, PlaysOverHttpWithDurationAndBitRate)
{
    struct Case {
        const char *path;
        double seconds;
        int kbps; // bit rate / 1024, rounded, as the rating reads it
    };
    // 32 kb/s reads 31 ("조금나쁨" in the rating table), 128 kb/s reads 125 ("좋음").
    const Case cases[] = {{"/media/tone30s-32k.mp3", 30.07, 31}, {"/files/tone3s-128k.mp3", 3.03, 125}};
    for (const Case &c : cases) {
        states.clear();
        w.setURL(url(c.path));
        EXPECT_EQ(w.URL(), url(c.path));
        ASSERT_TRUE(pumpUntil([&] { return w.state() == State::Playing; })) << w.status().toStdString();
        EXPECT_EQ(w.status(), QStringLiteral("재생 중"));
        ASSERT_GE(states.size(), 2);
        EXPECT_EQ(states.first(), State::Connecting);
        ASSERT_TRUE(pumpUntil([&] { return w.currentMedia().duration() > 0 && w.network().bitRate() > 0; }));
        EXPECT_NEAR(w.currentMedia().duration(), c.seconds, 1.0) << c.path;
        // Size x 8 / duration first (it counts the tag bytes), then the
        // measure on the audio packets.
        EXPECT_NEAR(w.network().bitRate() / 1024, c.kbps, 1.5) << c.path;
        EXPECT_TRUE(pumpUntil([&] { return std::lround(w.network().bitRate() / 1024) == c.kbps; }, 2500))
            << c.path << " " << w.network().bitRate();
    }
    // The short one plays to its end, and its length stays known.
    EXPECT_TRUE(pumpUntil([&] { return w.state() == State::Ended; }, 8000)) << w.status().toStdString();
    EXPECT_EQ(w.status(), QStringLiteral("재생 끝"));
    EXPECT_NEAR(w.currentMedia().duration(), 3.03, 1.0);
}

TEST_F(MediaPlayerTest, PauseHoldsThePositionAndSeekMovesIt)
{
    w.setURL(url("/media/tone30s-32k.mp3"));
    ASSERT_TRUE(pumpUntil([&] { return w.state() == State::Playing; })) << w.status().toStdString();
    ASSERT_TRUE(pumpUntil([&] { return w.controls().currentPosition() > 0.3; }));

    w.controls().pause();
    ASSERT_TRUE(pumpUntil([&] { return w.state() == State::Paused; }));
    EXPECT_EQ(w.status(), QStringLiteral("일시 정지"));
    const double held = w.controls().currentPosition();
    pumpFor(400);
    EXPECT_NEAR(w.controls().currentPosition(), held, 0.01);

    w.controls().setCurrentPosition(held + 10);
    // A paused audio seek lands on a frame boundary just before the target.
    EXPECT_TRUE(pumpUntil([&] { return w.controls().currentPosition() >= held + 9.5; }, 3000))
        << held << " -> " << w.controls().currentPosition();
    EXPECT_LT(w.controls().currentPosition(), held + 10.5);
    EXPECT_EQ(w.state(), State::Paused);
    w.controls().setCurrentPosition(-5); // clamped to the start
    EXPECT_TRUE(pumpUntil([&] { return w.controls().currentPosition() < 0.5; }, 3000));

    w.controls().play();
    EXPECT_TRUE(pumpUntil([&] { return w.state() == State::Playing; }));
}

TEST_F(MediaPlayerTest, FastForwardAndFastReverse)
{
    w.setURL(url("/media/tone30s-32k.mp3"));
    ASSERT_TRUE(pumpUntil([&] { return w.state() == State::Playing; })) << w.status().toStdString();

    // Fast forward: well over twice the wall-clock time passes in the media.
    w.controls().fastForward();
    const double from = w.controls().currentPosition();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(pumpUntil([&] { return w.controls().currentPosition() >= from + 4; }, 4000));
    EXPECT_LT(clock.elapsed(), 2000 * 0.9 + 500);

    // Fast reverse: the position goes back towards the start.
    w.controls().setCurrentPosition(20);
    ASSERT_TRUE(pumpUntil([&] { return w.controls().currentPosition() >= 19.5; }, 3000));
    w.controls().fastReverse();
    EXPECT_TRUE(pumpUntil([&] { return w.controls().currentPosition() < 17; }, 3000))
        << w.controls().currentPosition();
    w.controls().play(); // normal playback again
    const double p = w.controls().currentPosition();
    EXPECT_TRUE(pumpUntil([&] { return w.controls().currentPosition() > p + 0.3; }, 3000));
}

TEST_F(MediaPlayerTest, ErrorsShowAsStatusAndTheNextAddressPlays)
{
    w.setURL(url("/media/missing.mp3"));
    ASSERT_TRUE(pumpUntil([&] { return w.state() == State::Error; })) << w.status().toStdString();
    EXPECT_TRUE(w.status().startsWith(QStringLiteral("오류: "))) << w.status().toStdString();
    EXPECT_FALSE(w.errorText().isEmpty());

    w.setURL(url("/media/tone30s-32k.mp3"));
    EXPECT_TRUE(pumpUntil([&] { return w.state() == State::Playing; })) << w.status().toStdString();
    EXPECT_TRUE(w.errorText().isEmpty());

    ASSERT_TRUE(pumpUntil([&] { return w.currentMedia().duration() > 0; }));
    w.controls().stop();
    EXPECT_TRUE(pumpUntil([&] { return w.state() == State::Stopped; }));
    EXPECT_EQ(w.status(), QStringLiteral("정지"));
    EXPECT_NEAR(w.currentMedia().duration(), 30.07, 1.0); // stopped, it is still the current media
    w.controls().play(); // from the start again
    EXPECT_TRUE(pumpUntil([&] { return w.state() == State::Playing; }));

    // Play after a failure tries the address once more.
    w.setURL(url("/media/missing.mp3"));
    ASSERT_TRUE(pumpUntil([&] { return w.state() == State::Error; }));
    states.clear();
    w.controls().play();
    EXPECT_TRUE(pumpUntil([&] { return states.contains(State::Connecting) && w.state() == State::Error; }))
        << w.status().toStdString();
}

TEST_F(MediaPlayerTest, SeekIsAnnouncedWhenItHasTakenEffect)
{
    int changes = 0;
    QObject::connect(&w, &MediaPlayer::PositionChange, [&] { ++changes; });
    // Without media a seek goes nowhere and says nothing.
    w.controls().setCurrentPosition(12);
    EXPECT_EQ(w.controls().currentPosition(), 0.0);
    pumpFor(200);
    EXPECT_EQ(changes, 0);

    w.setURL(url("/media/tone30s-32k.mp3"));
    ASSERT_TRUE(pumpUntil([&] { return w.state() == State::Playing; })) << w.status().toStdString();
    pumpFor(300); // the start of playback announces no seek
    EXPECT_EQ(changes, 0);
    w.controls().setCurrentPosition(12);
    // On its way, the position reads the place asked for: a second step adds to it.
    EXPECT_EQ(w.controls().currentPosition(), 12.0);
    ASSERT_TRUE(pumpUntil([&] { return changes == 1; }, 3000));
    EXPECT_NEAR(w.controls().currentPosition(), 12, 0.5);
    // Also while paused.
    w.controls().pause();
    ASSERT_TRUE(pumpUntil([&] { return w.state() == State::Paused; }));
    w.controls().setCurrentPosition(4);
    ASSERT_TRUE(pumpUntil([&] { return changes == 2; }, 3000));
    EXPECT_NEAR(w.controls().currentPosition(), 4, 0.5);
    // A seek past the end ends the media instead; the position reads the player again.
    w.controls().play();
    w.controls().setCurrentPosition(40);
    EXPECT_TRUE(pumpUntil([&] { return w.state() == State::Ended; }, 5000)) << w.status().toStdString();
    EXPECT_EQ(w.controls().currentPosition(), 0.0);
}

TEST_F(MediaPlayerTest, VolumeAndMuteAreClampedAnnouncedOnceAndKeptAcrossAddresses)
{
    int changes = 0;
    QObject::connect(&w, &MediaPlayer::VolumeChange, [&] { ++changes; });
    auto &settings = w.settings();
    EXPECT_EQ(settings.volume(), 100);
    EXPECT_FALSE(settings.mute());
    const struct {
        int asked, kept, changes;
    } cases[] = {{70, 70, 1}, {70, 70, 1}, {150, 100, 2}, {-5, 0, 3}, {35, 35, 4}};
    for (const auto &c : cases) {
        settings.setVolume(c.asked);
        EXPECT_EQ(settings.volume(), c.kept) << c.asked;
        EXPECT_EQ(changes, c.changes) << c.asked;
    }
    settings.setMute(true);
    settings.setMute(true);
    EXPECT_TRUE(settings.mute());
    EXPECT_EQ(changes, 5);

    w.setURL(url("/media/tone30s-32k.mp3"));
    ASSERT_TRUE(pumpUntil([&] { return w.state() == State::Playing; })) << w.status().toStdString();
    EXPECT_EQ(settings.volume(), 35);
    EXPECT_TRUE(settings.mute());
    settings.setMute(false);
    EXPECT_EQ(changes, 6);
}

TEST(MediaPlayerStart, AnUnusableAudioOutputIsAnErrorStatus)
{
    const QByteArray saved = qgetenv("SORIMBA_AO");
    qputenv("SORIMBA_AO", "no-such-output");
    {
        MediaPlayer w;
        w.setURL(QStringLiteral("http://127.0.0.1:9/x.mp3"));
        EXPECT_TRUE(pumpUntil([&] { return w.state() == State::Error; }, 5000)) << w.status().toStdString();
        EXPECT_TRUE(w.status().startsWith(QStringLiteral("오류: ")));
        w.controls().play(); // harmless
        EXPECT_EQ(w.controls().currentPosition(), 0.0);
    }
    qputenv("SORIMBA_AO", saved);
}

} // namespace
