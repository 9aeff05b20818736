#pragma once
// The media player control: plays one web address (HTTP or HTTPS) with libmpv,
// audio only, and reports its status in Korean. No widget code: the window
// that owns it shows the status itself.
//
//   platform::MediaPlayer w;
//   QObject::connect(&w, &platform::MediaPlayer::StatusChange, [&] {
//       capSt->setCaption(w.status());                    // "재생 중", "오류: ..."
//       double seconds = w.currentMedia().duration();      // 0 until known
//       double bits = w.network().bitRate();              // bit/s, 0 until known
//   });
//   w.setURL(address);                 // loads and starts playing
//   w.controls().pause();  w.controls().play();
//   w.controls().setCurrentPosition(w.controls().currentPosition() + 10);
//   w.controls().stop();               // e.g. when the window closes
//   w.settings().setVolume(70);        // percent; kept across addresses
//
// mpv's own threads only wake the UI thread (a queued call); every mpv event
// is handled on the thread that owns the player. The audio output is the
// system default, or the mpv "ao" named by the environment variable
// SORIMBA_AO ("null" in tests and headless runs). A player that cannot start
// (no audio output, a bad address) shows State::Error with its cause; it
// never throws. Constructing a player sets LC_NUMERIC to "C", which mpv needs.
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>

struct mpv_handle;
struct mpv_event;

namespace platform {

class MediaPlayer : public QObject {
    Q_OBJECT
public:
    enum class State { Ready, Connecting, Buffering, Playing, Paused, Stopped, Ended, Error };
    Q_ENUM(State)

    // controls: play, pause, stop, fast forward/reverse, position in seconds.
    class Controls {
    public:
        void play();
        void pause();
        void stop();
        // Plays at four times the normal speed until play() or pause().
        void fastForward();
        // Steps back 1.5 s every quarter second (about five times the normal
        // speed, backwards) until play(), pause() or the start of the media.
        void fastReverse();
        // Seconds, 0 when nothing plays; the place asked for while a seek
        // is on its way, so that a second step adds to the first.
        double currentPosition() const;
        void setCurrentPosition(double seconds); // clamped at 0; nothing without media

    private:
        friend class MediaPlayer;
        explicit Controls(MediaPlayer &p) : m_p(p) {}
        MediaPlayer &m_p;
    };
    class CurrentMedia {
    public:
        double duration() const; // seconds, 0 until known
    private:
        friend class MediaPlayer;
        explicit CurrentMedia(MediaPlayer &p) : m_p(p) {}
        MediaPlayer &m_p;
    };
    class Network {
    public:
        // Bits per second of the stream: the bit rate measured on the audio
        // packets, else (before the first measurement) size x 8 / duration
        // for a stream whose size is known, else 0.
        double bitRate() const;
    private:
        friend class MediaPlayer;
        explicit Network(MediaPlayer &p) : m_p(p) {}
        MediaPlayer &m_p;
    };

    // settings: the loudness, which stays the same from one address to the next.
    class Settings {
    public:
        int volume() const { return m_p.m_volume; } // percent, 0 to 100
        void setVolume(int percent);                // clamped to 0 to 100
        bool mute() const { return m_p.m_mute; }
        void setMute(bool mute);

    private:
        friend class MediaPlayer;
        explicit Settings(MediaPlayer &p) : m_p(p) {}
        MediaPlayer &m_p;
    };

    explicit MediaPlayer(QObject *parent = nullptr);
    ~MediaPlayer() override;

    // Setting the address loads it and starts playing; an empty one stops, and
    // one that is not http:// or https:// stops with the error "잘못된 주소".
    void setURL(const QString &url);
    QString URL() const { return m_url; }

    QString status() const;   // Korean text of state() (with the cause for errors)
    State state() const { return m_state; }
    QString errorText() const { return m_errorText; }

    Controls &controls() { return m_controls; }
    CurrentMedia &currentMedia() { return m_currentMedia; }
    Network &network() { return m_network; }
    Settings &settings() { return m_settings; }

    static QString statusText(State state); // the text shown for each state

signals:
    // The status, the duration or the bit rate changed.
    void StatusChange();
    // The volume or the mute setting changed.
    void VolumeChange();
    // A position change asked for through controls() has taken effect: the
    // position now reads the new place.
    void PositionChange();

private:
    void drainEvents();
    void handleEvent(const mpv_event &event);
    void updateState();
    void setError(const QString &cause);
    int command(std::initializer_list<const char *> args); // mpv's result code
    void setFlag(const char *name, bool value);
    void setDouble(const char *name, double value);
    static void wakeup(void *self);

    mpv_handle *m_mpv = nullptr;
    std::atomic<bool> m_wakeupQueued{false};
    Controls m_controls{*this};
    CurrentMedia m_currentMedia{*this};
    Network m_network{*this};
    Settings m_settings{*this};
    QTimer m_reverseTimer;

    QString m_url;
    State m_state = State::Ready;
    QString m_errorText;
    QString m_lastLogError;
    // What mpv has told us, kept from its property change events.
    bool m_awaitingStart = false; // a new address was given, its start not yet seen
    bool m_loading = false;   // between start-file and file-loaded
    bool m_loaded = false;
    bool m_paused = false;
    bool m_cacheWait = false;
    bool m_ended = false;
    bool m_stopped = false;
    double m_duration = 0;
    double m_packetBitRate = 0;
    qint64 m_fileSize = -1;
    double m_position = 0;
    bool m_seekPending = false; // a seek was sent, its playback restart not yet seen
    double m_seekTarget = 0;
    int m_volume = 100;
    bool m_mute = false;
    int m_reportedKbps = -1;
    double m_reportedDuration = -1;
};

} // namespace platform
