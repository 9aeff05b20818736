#include "platform/mpris/mprisservice.h"

#include "platform/mediaplayer/mediaplayer.h"
#include "platform/mpris/mprisadaptors.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <cmath>

namespace platform {

namespace {

using State = MediaPlayer::State;

constexpr const char *kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

bool isPlaying(State state)
{
    return state == State::Playing || state == State::Buffering || state == State::Connecting;
}

// An object path element keeps letters, digits and "_" only.
QString pathElement(const QString &text)
{
    QString element;
    for (const QChar c : text)
        element += (c.isLetterOrNumber() && c.unicode() < 128) || c == '_' ? c : QChar('_');
    return element.isEmpty() ? QStringLiteral("player") : element;
}

} // namespace

MprisService::MprisService(MediaPlayer *player, Identity identity, QObject *parent)
    : QObject(parent), m_player(player), m_identity(std::move(identity))
{
    m_root = new MprisRootAdaptor(this);
    m_playerAdaptor = new MprisPlayerAdaptor(this);
    connect(m_player, &MediaPlayer::StatusChange, this, &MprisService::announceChanges);
    connect(m_player, &MediaPlayer::VolumeChange, this, &MprisService::announceChanges);
    connect(m_player, &MediaPlayer::PositionChange, this, &MprisService::announceSeek);
    m_announced = playerProperties();
}

MprisService::~MprisService()
{
    withdraw();
}

void MprisService::setBus(const QDBusConnection &bus)
{
    withdraw();
    m_sessionBus = false;
    m_connectionName = bus.name();
}

QDBusConnection MprisService::bus() const
{
    return m_sessionBus ? QDBusConnection::sessionBus() : QDBusConnection(m_connectionName);
}

bool MprisService::offer()
{
    withdraw();
    QDBusConnection bus = this->bus();
    // No session bus is an ordinary desktop-less setting, not an error.
    if (!bus.isConnected() || !bus.interface())
        return false;
    if (!bus.registerObject(QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportAdaptors))
        return false;
    // registerService neither queues for nor takes a name someone holds.
    const QString name = QStringLiteral("org.mpris.MediaPlayer2.") + m_identity.busName;
    const QString instanceName = name + QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid());
    for (const QString &candidate : {name, instanceName}) {
        if (bus.registerService(candidate)) {
            m_serviceName = candidate;
            m_announced = playerProperties();
            return true;
        }
    }
    bus.unregisterObject(QString::fromLatin1(kObjectPath));
    return false;
}

void MprisService::withdraw()
{
    if (!offered())
        return;
    QDBusConnection bus = this->bus();
    bus.unregisterService(m_serviceName);
    bus.unregisterObject(QString::fromLatin1(kObjectPath));
    m_serviceName.clear();
}

void MprisService::setTrack(const QString &title)
{
    m_title = title;
    ++m_trackNumber;
    announceChanges();
}

QString MprisService::playbackStatus() const
{
    const State state = m_player->state();
    if (isPlaying(state))
        return QStringLiteral("Playing");
    if (state == State::Paused)
        return QStringLiteral("Paused");
    return QStringLiteral("Stopped");
}

QVariantMap MprisService::metadata() const
{
    if (!hasMedia() || m_trackNumber == 0)
        return {{QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(QString::fromLatin1(kNoTrack)))}};
    const QString trackId = QLatin1Char('/') + pathElement(m_identity.busName) + QStringLiteral("/track/")
                            + QString::number(m_trackNumber);
    QVariantMap map{{QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackId))},
                    {QStringLiteral("xesam:title"), m_title},
                    {QStringLiteral("xesam:url"), m_player->URL()}};
    const double seconds = m_player->currentMedia().duration();
    if (seconds > 0)
        map.insert(QStringLiteral("mpris:length"), qlonglong(std::llround(seconds * 1e6)));
    return map;
}

qlonglong MprisService::positionMicroseconds() const
{
    return qlonglong(std::llround(m_player->controls().currentPosition() * 1e6));
}

double MprisService::volume() const
{
    const auto &settings = m_player->settings();
    return settings.mute() ? 0.0 : settings.volume() / 100.0;
}

void MprisService::setVolume(double volume)
{
    if (std::isnan(volume))
        return;
    // A level asked for is a level to hear: it also ends a mute.
    m_player->settings().setMute(false);
    m_player->settings().setVolume(int(std::lround(qBound(0.0, volume, 1.0) * 100)));
}

bool MprisService::hasMedia() const
{
    return !m_player->URL().isEmpty();
}

bool MprisService::canSeek() const
{
    const State state = m_player->state();
    const bool loaded = state == State::Playing || state == State::Paused || state == State::Buffering;
    return hasMedia() && loaded && m_player->currentMedia().duration() > 0;
}

void MprisService::play()
{
    if (hasMedia())
        m_player->controls().play();
}

void MprisService::pause()
{
    if (hasMedia() && isPlaying(m_player->state()))
        m_player->controls().pause();
}

void MprisService::playPause()
{
    if (isPlaying(m_player->state()))
        pause();
    else
        play();
}

void MprisService::stop()
{
    if (hasMedia())
        m_player->controls().stop();
}

void MprisService::seek(qlonglong offsetMicroseconds)
{
    if (!canSeek())
        return;
    const double target = qMax(0.0, m_player->controls().currentPosition() + offsetMicroseconds / 1e6);
    // Past the end would mean the next track, and there is none.
    if (target > m_player->currentMedia().duration())
        return;
    m_player->controls().setCurrentPosition(target);
}

void MprisService::setPosition(const QString &trackId, qlonglong positionMicroseconds)
{
    if (!canSeek() || positionMicroseconds < 0)
        return;
    // A position for another track than the current one is stale: ignored.
    const QVariant current = metadata().value(QStringLiteral("mpris:trackid"));
    if (current.value<QDBusObjectPath>().path() != trackId)
        return;
    const double target = positionMicroseconds / 1e6;
    if (target > m_player->currentMedia().duration())
        return;
    m_player->controls().setCurrentPosition(target);
}

QVariantMap MprisService::playerProperties() const
{
    return {{QStringLiteral("PlaybackStatus"), playbackStatus()},
            {QStringLiteral("Metadata"), metadata()},
            {QStringLiteral("Volume"), volume()},
            {QStringLiteral("CanPlay"), hasMedia()},
            {QStringLiteral("CanPause"), hasMedia()},
            {QStringLiteral("CanSeek"), canSeek()}};
}

void MprisService::announceChanges()
{
    const QVariantMap now = playerProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (m_announced.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    m_announced = now;
    if (changed.isEmpty() || !offered())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
    bus().send(signal);
}

void MprisService::announceSeek()
{
    if (offered())
        emit m_playerAdaptor->Seeked(positionMicroseconds());
    announceChanges();
}

} // namespace platform
