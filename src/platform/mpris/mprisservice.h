#pragma once
// The desktop's media controls: offers a MediaPlayer on a D-Bus connection
// under the MPRIS 2 interfaces (org.mpris.MediaPlayer2 and its .Player), so
// that media keys, "now playing" panels and tools such as playerctl can see
// and steer it.
//
//   platform::MprisService mpris(&player, {"Sorimba 2", "sorimba2", "sorimba2"});
//   QObject::connect(&mpris, &platform::MprisService::raiseRequested, ...);
//   mpris.offer();                   // on the session bus; false without one: nothing offered
//   mpris.setTrack(QStringLiteral("노래.mp3"));  // before each new address
//   mpris.withdraw();                            // e.g. when the window closes
//
// Commands from the bus go straight to the player; its StatusChange,
// VolumeChange and PositionChange signals become the interface's
// PropertiesChanged and Seeked signals. A command while no media is set does
// nothing and answers without an error. The bus name is
// org.mpris.MediaPlayer2.<busName>; it is never taken from another owner:
// when it is held already (a second instance of the program), the name gets
// the suffix ".instance<process id>", as MPRIS names allow for players with
// several instances.
#include <QObject>
#include <QString>
#include <QVariantMap>

class QDBusConnection;

namespace platform {

class MediaPlayer;
class MprisRootAdaptor;
class MprisPlayerAdaptor;

class MprisService : public QObject {
    Q_OBJECT
public:
    struct Identity {
        QString name;         // shown by the desktop, e.g. "Sorimba 2"
        QString desktopEntry; // the desktop file's name without ".desktop"
        QString busName;      // the last part of the bus name
    };

    static constexpr const char *kObjectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char *kRootInterface = "org.mpris.MediaPlayer2";
    static constexpr const char *kPlayerInterface = "org.mpris.MediaPlayer2.Player";

    MprisService(MediaPlayer *player, Identity identity, QObject *parent = nullptr);
    ~MprisService() override;

    // The connection to offer on, instead of the session bus (a test's own bus).
    void setBus(const QDBusConnection &bus);
    // Registers the object and a bus name. False, with nothing registered,
    // when there is no bus or it refuses both names.
    bool offer();
    // Takes the name and the object off the bus (nothing when not offered).
    void withdraw();
    bool offered() const { return !m_serviceName.isEmpty(); }
    QString serviceName() const { return m_serviceName; } // empty when not offered

    // A new media is about to play under this title: a new track id.
    void setTrack(const QString &title);

    // The interfaces' state, as the adaptors read and set it.
    const Identity &identity() const { return m_identity; }
    MediaPlayer *player() const { return m_player; }
    QString playbackStatus() const;
    QVariantMap metadata() const;
    qlonglong positionMicroseconds() const;
    double volume() const;
    void setVolume(double volume);
    bool hasMedia() const;
    bool canSeek() const;

    void play();
    void pause();
    void playPause();
    void stop();
    void seek(qlonglong offsetMicroseconds);
    void setPosition(const QString &trackId, qlonglong positionMicroseconds);
    void requestRaise() { emit raiseRequested(); }
    void requestQuit() { emit quitRequested(); }

signals:
    void raiseRequested();
    void quitRequested();

private:
    QVariantMap playerProperties() const;
    void announceChanges();
    void announceSeek();

    MediaPlayer *m_player;
    Identity m_identity;
    MprisRootAdaptor *m_root;
    MprisPlayerAdaptor *m_playerAdaptor;
    QDBusConnection bus() const;
    bool m_sessionBus = true;     // else the connection named m_connectionName
    QString m_connectionName;
    QString m_serviceName;
    QString m_title;
    quint64 m_trackNumber = 0;
    QVariantMap m_announced; // the player properties as last told to the bus
};

} // namespace platform
