// The desktop's media controls: the download window's player offered on a
// private session bus, driven with D-Bus client calls as a desktop panel or
// media key daemon would, with real mpv (null audio) playing the simulator's
// files.
#include "app/application.h"
#include "download/format.h"
#include "download/frmdownload.h"
#include "platform/dialogs.h"
#include "platform/mpris/mprisservice.h"
#include "support/private_bus.h"
#include "support/sim_fixture.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QSettings>
#include <QTemporaryDir>

using namespace testsupport;
using State = platform::MediaPlayer::State;

namespace {

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.sorimba2");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");

// What the bus tells a listener: every PropertiesChanged of the player
// interface and every Seeked.
class BusListener : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> changes;
    QList<qlonglong> seeks;

    void listen(QDBusConnection client, const QString &service)
    {
        client.connect(service, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
                       this, SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        client.connect(service, kPath, QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("Seeked"), this,
                       SLOT(seeked(qlonglong)));
    }
    // The last announced value of a property, after index from.
    QVariant lastChange(const QString &property, int from = 0) const
    {
        for (int i = changes.size() - 1; i >= from; --i)
            if (changes[i].contains(property))
                return changes[i].value(property);
        return {};
    }

public slots:
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface == QLatin1String("org.mpris.MediaPlayer2.Player"))
            changes << changed;
    }
    void seeked(qlonglong position) { seeks << position; }
};

QVariantMap asMap(const QVariant &v)
{
    return v.canConvert<QDBusArgument>() ? qdbus_cast<QVariantMap>(v.value<QDBusArgument>()) : v.toMap();
}

bool isError(const QDBusMessage &reply)
{
    return reply.type() != QDBusMessage::ReplyMessage;
}

class MprisPlayerTest : public SimFixture {
protected:
    void SetUp() override
    {
        app::initApplication();
        ASSERT_TRUE(bus.error().isEmpty()) << bus.error().toStdString();
        SimFixture::SetUp();
        service = bus.connect(QStringLiteral("service"));
        client = bus.connect(QStringLiteral("client"));
        ASSERT_TRUE(service.isConnected() && client.isConnected());
        w = std::make_unique<download::frmDownload>();
        w->setMediaControlBus(service);
        w->show();
        folder.setAutoRemove(true);
    }
    void TearDown() override
    {
        w.reset();
        SimFixture::TearDown();
    }
    BusObject root() const { return {client, kService, kPath, QStringLiteral("org.mpris.MediaPlayer2")}; }
    BusObject player() const { return {client, kService, kPath, QStringLiteral("org.mpris.MediaPlayer2.Player")}; }
    bool statusBecomes(const char *status, int ms = 10000) const
    {
        return waitUntil([&] { return player().get(QStringLiteral("PlaybackStatus")).toString() == QLatin1String(status); }, ms);
    }
    double positionSeconds() const { return player().get(QStringLiteral("Position")).toLongLong() / 1e6; }
    // The time label for a place in the current song.
    QString labelAt(double seconds) const { return download::PositionText(seconds, w->W->currentMedia().duration()); }

    PrivateBus bus;
    QDBusConnection service{QString()};
    QDBusConnection client{QString()};
    platform::ScopedDialogAnswers answers;
    QTemporaryDir folder;
    std::unique_ptr<download::frmDownload> w;
};

TEST_F(MprisPlayerTest, TheRootObjectNamesTheProgram)
{
    ASSERT_TRUE(client.interface()->isServiceRegistered(kService));
    EXPECT_EQ(root().get(QStringLiteral("Identity")).toString(), QStringLiteral("Sorimba 2"));
    EXPECT_EQ(root().get(QStringLiteral("DesktopEntry")).toString(), QStringLiteral("sorimba2"));
    EXPECT_TRUE(root().get(QStringLiteral("CanRaise")).toBool());
    EXPECT_TRUE(root().get(QStringLiteral("CanQuit")).toBool());
    EXPECT_FALSE(root().get(QStringLiteral("HasTrackList")).toBool());
    EXPECT_FALSE(player().get(QStringLiteral("CanGoNext")).toBool());
    EXPECT_FALSE(player().get(QStringLiteral("CanGoPrevious")).toBool());
    EXPECT_TRUE(player().get(QStringLiteral("CanControl")).toBool());
    EXPECT_EQ(player().get(QStringLiteral("Rate")).toDouble(), 1.0);

    // Raise brings the window up; Quit closes it (it has no main window here).
    w->hide();
    EXPECT_FALSE(isError(root().call(QStringLiteral("Raise"))));
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(isError(root().call(QStringLiteral("Quit"))));
    EXPECT_FALSE(w->isVisible());
    // Closed, the window offers nothing any more; shown again, it does.
    EXPECT_FALSE(client.interface()->isServiceRegistered(kService));
    w->show();
    EXPECT_TRUE(client.interface()->isServiceRegistered(kService));
}

TEST_F(MprisPlayerTest, QuitClosesTheWindowThatOwnsThePlayer)
{
    // In the program the download window belongs to the main window, whose
    // closing ends the program.
    QWidget owner;
    owner.show();
    w->close();
    auto *child = new download::frmDownload(&owner);
    child->setMediaControlBus(service);
    child->show();
    ASSERT_TRUE(child->mediaControls()->offered());
    EXPECT_FALSE(isError(root().call(QStringLiteral("Quit"))));
    EXPECT_FALSE(owner.isVisible());
}

TEST_F(MprisPlayerTest, CommandsWithoutMediaDoNothingAndAnswerWithoutError)
{
    EXPECT_EQ(player().get(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    EXPECT_FALSE(player().get(QStringLiteral("CanPlay")).toBool());
    EXPECT_FALSE(player().get(QStringLiteral("CanSeek")).toBool());
    const QVariantMap metadata = asMap(player().get(QStringLiteral("Metadata")));
    EXPECT_EQ(metadata.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
              QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));

    const QString statusBefore = w->capSt->caption();
    const QList<std::pair<const char *, QVariantList>> calls = {
        {"Play", {}},
        {"Pause", {}},
        {"PlayPause", {}},
        {"Stop", {}},
        {"Next", {}},
        {"Previous", {}},
        {"Seek", {qlonglong(5'000'000)}},
        {"SetPosition", {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/sorimba2/track/1"))), qlonglong(0)}},
        {"OpenUri", {QStringLiteral("file:///etc/passwd")}},
    };
    for (const auto &[method, args] : calls) {
        const QDBusMessage reply = player().call(QString::fromLatin1(method), args);
        EXPECT_FALSE(isError(reply)) << method << ": " << reply.errorMessage().toStdString();
    }
    EXPECT_EQ(w->W->state(), State::Ready);
    EXPECT_TRUE(w->W->URL().isEmpty());
    EXPECT_EQ(w->capSt->caption(), statusBefore);
    EXPECT_TRUE(answers.messages().isEmpty());
}

TEST_F(MprisPlayerTest, PlayPauseStopSeekAndVolumeFromTheBus)
{
    BusListener listener;
    listener.listen(client, kService);
    w->ReadyDown(portal.baseUrl() + "/files/tone30s-32k.mp3"); // 30 s
    ASSERT_TRUE(statusBecomes("Playing")) << w->W->status().toStdString();
    EXPECT_TRUE(waitUntil([&] { return listener.lastChange("PlaybackStatus").toString() == "Playing"; }));
    ASSERT_TRUE(waitUntil([&] { return player().get(QStringLiteral("CanSeek")).toBool(); }));

    const QVariantMap metadata = asMap(player().get(QStringLiteral("Metadata")));
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("tone30s-32k.mp3"));
    EXPECT_NEAR(metadata.value(QStringLiteral("mpris:length")).toLongLong() / 1e6, 30.07, 0.5);
    const QString trackId = metadata.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();
    EXPECT_TRUE(trackId.startsWith(QLatin1String("/sorimba2/track/"))) << trackId.toStdString();

    // Pause: the status on the bus, in its signal and in the window.
    int mark = listener.changes.size();
    ASSERT_FALSE(isError(player().call(QStringLiteral("Pause"))));
    ASSERT_TRUE(statusBecomes("Paused"));
    EXPECT_TRUE(waitUntil([&] { return listener.lastChange("PlaybackStatus", mark).toString() == "Paused"; }));
    EXPECT_EQ(w->capSt->caption(), QStringLiteral("일시 정지"));

    // SetPosition, then Seek: Position, the Seeked signal and the label follow.
    // (A paused seek lands a few audio frames before its target.)
    ASSERT_FALSE(isError(player().call(QStringLiteral("SetPosition"),
                                       {QVariant::fromValue(QDBusObjectPath(trackId)), qlonglong(20'700'000)})));
    EXPECT_TRUE(waitUntil([&] { return !listener.seeks.isEmpty(); })) << "no Seeked signal";
    EXPECT_NEAR(positionSeconds(), 20.7, 0.5);
    EXPECT_NEAR(listener.seeks.last() / 1e6, 20.7, 0.5);
    EXPECT_TRUE(waitUntil([&] { return w->cpaTime->caption() == labelAt(positionSeconds()); }))
        << w->cpaTime->caption().toStdString();
    EXPECT_TRUE(w->cpaTime->caption().startsWith("00:20 / ")) << w->cpaTime->caption().toStdString();
    const double before = positionSeconds();
    ASSERT_FALSE(isError(player().call(QStringLiteral("Seek"), {qlonglong(-10'000'000)})));
    EXPECT_TRUE(waitUntil([&] { return listener.seeks.size() >= 2; }));
    EXPECT_NEAR(listener.seeks.last() / 1e6, before - 10, 0.5);
    EXPECT_NEAR(positionSeconds(), before - 10, 0.5);
    EXPECT_TRUE(waitUntil([&] { return w->cpaTime->caption() == labelAt(positionSeconds()); }))
        << w->cpaTime->caption().toStdString();
    const double settled = positionSeconds();
    // A stale track id or a place past the end moves nothing.
    const int seeks = listener.seeks.size();
    player().call(QStringLiteral("SetPosition"),
                  {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/sorimba2/track/999"))), qlonglong(2'000'000)});
    player().call(QStringLiteral("Seek"), {qlonglong(60'000'000)});
    EXPECT_EQ(positionSeconds(), settled);
    EXPECT_EQ(listener.seeks.size(), seeks);

    // Volume: set, read back, announced, shown and kept for the next start.
    mark = listener.changes.size();
    ASSERT_FALSE(isError(player().set(QStringLiteral("Volume"), 0.35)));
    EXPECT_DOUBLE_EQ(player().get(QStringLiteral("Volume")).toDouble(), 0.35);
    EXPECT_EQ(w->W->settings().volume(), 35);
    EXPECT_TRUE(waitUntil([&] { return listener.lastChange("Volume", mark).toDouble() == 0.35; }));
    EXPECT_EQ(w->capSt->caption(), QStringLiteral("음량 35%"));
    EXPECT_EQ(QSettings(QSettings::NativeFormat, QSettings::UserScope, "Sorimba2", "Sorimba2").value("Setting/Volume").toInt(), 35);
    player().set(QStringLiteral("Volume"), 7.0); // beyond the range: clamped
    EXPECT_DOUBLE_EQ(player().get(QStringLiteral("Volume")).toDouble(), 1.0);
    player().set(QStringLiteral("Volume"), -1.0);
    EXPECT_DOUBLE_EQ(player().get(QStringLiteral("Volume")).toDouble(), 0.0);
    // Muted (the M key), it reads silent; a level set from the bus is heard again.
    player().set(QStringLiteral("Volume"), 0.5);
    w->W->settings().setMute(true);
    EXPECT_DOUBLE_EQ(player().get(QStringLiteral("Volume")).toDouble(), 0.0);
    player().set(QStringLiteral("Volume"), 0.6);
    EXPECT_FALSE(w->W->settings().mute());
    EXPECT_EQ(w->W->settings().volume(), 60);

    // PlayPause, Stop and Play.
    ASSERT_FALSE(isError(player().call(QStringLiteral("PlayPause"))));
    EXPECT_TRUE(statusBecomes("Playing"));
    ASSERT_FALSE(isError(player().call(QStringLiteral("Stop"))));
    EXPECT_TRUE(statusBecomes("Stopped"));
    EXPECT_TRUE(waitUntil([&] { return w->cpaTime->caption() == "00:00 / 00:30"; })) << w->cpaTime->caption().toStdString();
    EXPECT_FALSE(player().get(QStringLiteral("CanSeek")).toBool());
    EXPECT_TRUE(player().get(QStringLiteral("CanPlay")).toBool());
    ASSERT_FALSE(isError(player().call(QStringLiteral("Play"))));
    EXPECT_TRUE(statusBecomes("Playing"));

    // A new song: new metadata, announced.
    mark = listener.changes.size();
    w->ReadyDown(portal.baseUrl() + "/files/tone3s-128k.mp3");
    const auto newMetadata = [&] { return asMap(player().get(QStringLiteral("Metadata"))); };
    EXPECT_TRUE(waitUntil([&] { return newMetadata().value(QStringLiteral("mpris:length")).toLongLong() > 0; }, 10000));
    EXPECT_EQ(newMetadata().value(QStringLiteral("xesam:title")).toString(), QStringLiteral("tone3s-128k.mp3"));
    EXPECT_NEAR(newMetadata().value(QStringLiteral("mpris:length")).toLongLong() / 1e6, 3.03, 0.5);
    EXPECT_NE(newMetadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(), trackId);
    EXPECT_TRUE(waitUntil([&] {
        return asMap(listener.lastChange("Metadata", mark)).value(QStringLiteral("xesam:title")).toString()
               == QStringLiteral("tone3s-128k.mp3");
    }));
}

TEST_F(MprisPlayerTest, ASecondInstanceKeepsOffTheFirstsName)
{
    const QString firstOwner = client.interface()->serviceOwner(kService);
    ASSERT_FALSE(firstOwner.isEmpty());
    QDBusConnection secondConnection = bus.connect(QStringLiteral("second"));
    download::frmDownload second;
    second.setMediaControlBus(secondConnection);
    second.show();
    // The MPRIS way for a second instance: the name with ".instance<pid>".
    const QString instance = kService + ".instance" + QString::number(QCoreApplication::applicationPid());
    EXPECT_EQ(second.mediaControls()->serviceName(), instance);
    EXPECT_TRUE(client.interface()->isServiceRegistered(instance));
    EXPECT_EQ(client.interface()->serviceOwner(kService).value(), firstOwner);

    // Each answers for its own window.
    second.ReadyDown(portal.baseUrl() + "/files/tone30s-32k.mp3");
    BusObject secondPlayer(client, instance, kPath, QStringLiteral("org.mpris.MediaPlayer2.Player"));
    EXPECT_TRUE(waitUntil([&] { return secondPlayer.get(QStringLiteral("PlaybackStatus")).toString() == "Playing"; }, 10000));
    EXPECT_EQ(player().get(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    second.close();
}

// Without a session bus the window plays and says nothing of the bus.
TEST(MprisWithoutBus, TheWindowStillPlaysAndNothingIsReported)
{
    app::initApplication();
    portalsim::Portal portal;
    ASSERT_TRUE(portal.start());
    platform::ScopedDialogAnswers answers;
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type != QtDebugMsg && type != QtInfoMsg)
            warnings << text;
    });
    {
        download::frmDownload w;
        w.setMediaControlBus(QDBusConnection(QStringLiteral("no-such-connection")));
        w.show();
        EXPECT_FALSE(w.mediaControls()->offered());
        w.ReadyDown(portal.baseUrl() + "/files/tone30s-32k.mp3");
        EXPECT_TRUE(waitUntil([&] { return w.W->state() == State::Playing; }, 10000)) << w.W->status().toStdString();
        EXPECT_EQ(w.capSt->caption(), QStringLiteral("재생 중"));
        w.close();
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(answers.messages().isEmpty());
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
}

} // namespace

#include "mpris_player_test.moc"
