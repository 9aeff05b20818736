#pragma once
// The two MPRIS 2 interfaces of MprisService as Qt D-Bus adaptors: Qt exports
// their properties (Get, GetAll, Set) and methods; the service holds the
// state. Private to the service.
#include "platform/mpris/mprisservice.h"

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QStringList>

namespace platform {

class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    explicit MprisRootAdaptor(MprisService *service) : QDBusAbstractAdaptor(service), m_service(service) {}

    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return m_service->identity().name; }
    QString desktopEntry() const { return m_service->identity().desktopEntry; }
    // Addresses come only from the program's own pages: none is opened from the bus.
    QStringList supportedUriSchemes() const { return {}; }
    QStringList supportedMimeTypes() const { return {}; }

public slots:
    void Raise() { m_service->requestRaise(); }
    void Quit() { m_service->requestQuit(); }

private:
    MprisService *m_service;
};

class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(bool CanGoNext READ no)
    Q_PROPERTY(bool CanGoPrevious READ no)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPlay)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ yes)
public:
    explicit MprisPlayerAdaptor(MprisService *service) : QDBusAbstractAdaptor(service), m_service(service) {}

    QString playbackStatus() const { return m_service->playbackStatus(); }
    // The player plays at the normal rate only (its fast modes are its own
    // buttons' business); a rate set from the bus is ignored.
    double rate() const { return 1.0; }
    void setRate(double) {}
    QVariantMap metadata() const { return m_service->metadata(); }
    double volume() const { return m_service->volume(); }
    void setVolume(double volume) { m_service->setVolume(volume); }
    qlonglong position() const { return m_service->positionMicroseconds(); }
    bool no() const { return false; }
    bool yes() const { return true; }
    bool canPlay() const { return m_service->hasMedia(); }
    bool canSeek() const { return m_service->canSeek(); }

public slots:
    // One song at a time: there is no next or previous one.
    void Next() {}
    void Previous() {}
    void Pause() { m_service->pause(); }
    void PlayPause() { m_service->playPause(); }
    void Stop() { m_service->stop(); }
    void Play() { m_service->play(); }
    void Seek(qlonglong Offset) { m_service->seek(Offset); }
    void SetPosition(const QDBusObjectPath &TrackId, qlonglong Position)
    {
        m_service->setPosition(TrackId.path(), Position);
    }
    // No scheme is supported (SupportedUriSchemes is empty), so nothing opens.
    void OpenUri(const QString &) {}

signals:
    void Seeked(qlonglong Position);

private:
    friend class MprisService;
    MprisService *m_service;
};

} // namespace platform
