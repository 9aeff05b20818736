#include "platform/mediaplayer/mediaplayer.h"

#include "platform/limits.h"

#include <QByteArray>
#include <QMetaObject>
#include <clocale>
#include <cstdlib>
#include <mpv/client.h>

namespace platform {

namespace {

enum PropertyId : uint64_t { kPause = 1, kCacheWait, kDuration, kAudioBitRate, kFileSize };

constexpr double kFastForwardSpeed = 4.0;
constexpr int kReverseTickMs = 250;
constexpr double kReverseStepSeconds = 1.5;

QString errorCause(int code, const QString &logged)
{
    switch (code) {
    case MPV_ERROR_LOADING_FAILED:
        return logged.isEmpty() ? QStringLiteral("파일을 열 수 없습니다") : QStringLiteral("파일을 열 수 없습니다 (%1)").arg(logged);
    case MPV_ERROR_UNKNOWN_FORMAT:
        return QStringLiteral("지원하지 않는 형식입니다");
    case MPV_ERROR_NOTHING_TO_PLAY:
        return QStringLiteral("재생할 소리가 없습니다");
    case MPV_ERROR_AO_INIT_FAILED:
        return QStringLiteral("소리 장치를 열 수 없습니다");
    default:
        return QString::fromUtf8(mpv_error_string(code));
    }
}

} // namespace

MediaPlayer::MediaPlayer(QObject *parent) : QObject(parent)
{
    // mpv refuses to start under a locale whose decimal point is not ".".
    std::setlocale(LC_NUMERIC, "C");
    m_reverseTimer.setInterval(kReverseTickMs);
    connect(&m_reverseTimer, &QTimer::timeout, this, [this] {
        const double pos = m_controls.currentPosition();
        if (pos <= kReverseStepSeconds || m_state != State::Playing) {
            m_reverseTimer.stop(); // at the start it plays on normally
            if (pos <= kReverseStepSeconds)
                m_controls.setCurrentPosition(0);
            return;
        }
        m_controls.setCurrentPosition(pos - kReverseStepSeconds);
    });

    m_mpv = mpv_create();
    if (!m_mpv) {
        setError(QStringLiteral("재생기를 시작할 수 없습니다"));
        return;
    }
    mpv_set_option_string(m_mpv, "vid", "no");
    mpv_set_option_string(m_mpv, "ytdl", "no");
    mpv_set_option_string(m_mpv, "audio-client-name", "Sorimba2");
    mpv_set_option_string(m_mpv, "audio-display", "no");
    mpv_set_option_string(m_mpv, "load-scripts", "no");
    mpv_set_option_string(m_mpv, "input-default-bindings", "no");
    mpv_set_option_string(m_mpv, "user-agent", limits::kUserAgent);
    mpv_set_option_string(m_mpv, "network-timeout", "30");
    mpv_set_option_string(m_mpv, "idle", "yes");
    mpv_set_option_string(m_mpv, "keep-open", "no");
    const QByteArray ao = qgetenv("SORIMBA_AO");
    if (!ao.isEmpty() && mpv_set_option_string(m_mpv, "ao", ao.constData()) < 0) {
        setError(QStringLiteral("소리 출력 \"%1\"을(를) 쓸 수 없습니다").arg(QString::fromLocal8Bit(ao)));
        mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
        return;
    }
    if (mpv_initialize(m_mpv) < 0) {
        setError(QStringLiteral("재생기를 시작할 수 없습니다"));
        mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
        return;
    }
    mpv_request_log_messages(m_mpv, "error");
    mpv_observe_property(m_mpv, kPause, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, kCacheWait, "paused-for-cache", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, kDuration, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, kAudioBitRate, "audio-bitrate", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, kFileSize, "file-size", MPV_FORMAT_INT64);
    mpv_set_wakeup_callback(m_mpv, &MediaPlayer::wakeup, this);
}

MediaPlayer::~MediaPlayer()
{
    if (m_mpv) {
        // After this returns mpv calls no callback of ours any more.
        mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
        mpv_terminate_destroy(m_mpv);
    }
}

// Runs on an mpv thread: only queue a call to the owner's thread, once until
// that call has run.
void MediaPlayer::wakeup(void *self)
{
    auto *player = static_cast<MediaPlayer *>(self);
    if (!player->m_wakeupQueued.exchange(true))
        QMetaObject::invokeMethod(player, [player] { player->drainEvents(); }, Qt::QueuedConnection);
}

void MediaPlayer::drainEvents()
{
    m_wakeupQueued = false;
    if (!m_mpv)
        return;
    for (;;) {
        mpv_event *event = mpv_wait_event(m_mpv, 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(*event);
        if (!m_mpv)
            break;
    }
    updateState();
}

void MediaPlayer::handleEvent(const mpv_event &event)
{
    switch (event.event_id) {
    case MPV_EVENT_START_FILE:
        m_seekPending = false;
        m_awaitingStart = false;
        m_loading = true;
        m_loaded = m_ended = m_stopped = false;
        m_lastLogError.clear();
        break;
    case MPV_EVENT_FILE_LOADED:
        m_loading = false;
        m_loaded = true;
        break;
    case MPV_EVENT_END_FILE: {
        const auto *end = static_cast<const mpv_event_end_file *>(event.data);
        // The end of the file that a new address replaced: the new one is coming.
        if (m_awaitingStart && end->reason == MPV_END_FILE_REASON_STOP)
            break;
        m_loading = m_loaded = false;
        m_seekPending = false; // a seek past the end ends here, without a restart
        m_reverseTimer.stop();
        if (end->reason == MPV_END_FILE_REASON_EOF)
            m_ended = true;
        else if (end->reason == MPV_END_FILE_REASON_ERROR)
            setError(errorCause(end->error, m_lastLogError));
        else
            m_stopped = true;
        break;
    }
    case MPV_EVENT_LOG_MESSAGE: {
        const auto *msg = static_cast<const mpv_event_log_message *>(event.data);
        m_lastLogError = QString::fromUtf8(msg->text).trimmed();
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto *prop = static_cast<const mpv_event_property *>(event.data);
        const bool has = prop->data != nullptr;
        switch (event.reply_userdata) {
        case kPause:
            m_paused = has && prop->format == MPV_FORMAT_FLAG && *static_cast<int *>(prop->data);
            break;
        case kCacheWait:
            m_cacheWait = has && prop->format == MPV_FORMAT_FLAG && *static_cast<int *>(prop->data);
            break;
        case kDuration:
            // The length stays known after the media ends or stops: it is
            // still the current media until a new address replaces it.
            if (has && prop->format == MPV_FORMAT_DOUBLE)
                m_duration = *static_cast<double *>(prop->data);
            break;
        case kAudioBitRate:
            // The measure lapses after a seek or a pause; the last one stays
            // the best figure until the next.
            if (has && prop->format == MPV_FORMAT_DOUBLE && *static_cast<double *>(prop->data) > 0)
                m_packetBitRate = *static_cast<double *>(prop->data);
            break;
        case kFileSize:
            m_fileSize = has && prop->format == MPV_FORMAT_INT64 ? *static_cast<int64_t *>(prop->data) : -1;
            break;
        }
        break;
    }
    case MPV_EVENT_PLAYBACK_RESTART:
        // Playback goes on from the new place (also after a seek while paused).
        if (m_seekPending) {
            m_seekPending = false;
            emit PositionChange();
        }
        break;
    case MPV_EVENT_SHUTDOWN:
        setError(QStringLiteral("재생기가 멈췄습니다"));
        mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
        mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
        break;
    default:
        break;
    }
}

void MediaPlayer::updateState()
{
    State next;
    if (!m_errorText.isEmpty())
        next = State::Error;
    else if (m_ended)
        next = State::Ended;
    else if (m_stopped && !m_loading)
        next = State::Stopped;
    else if (m_loading)
        next = State::Connecting;
    else if (!m_loaded)
        next = State::Ready;
    else if (m_paused)
        next = State::Paused;
    else if (m_cacheWait)
        next = State::Buffering;
    else
        next = State::Playing;

    const int kbps = int(m_network.bitRate() / 1024 + 0.5);
    const double duration = m_currentMedia.duration();
    if (next == m_state && kbps == m_reportedKbps && duration == m_reportedDuration)
        return;
    m_state = next;
    m_reportedKbps = kbps;
    m_reportedDuration = duration;
    emit StatusChange();
}

void MediaPlayer::setError(const QString &cause)
{
    m_errorText = cause;
    m_state = State::Error;
    emit StatusChange();
}

QString MediaPlayer::statusText(State state)
{
    switch (state) {
    case State::Ready: return QStringLiteral("준비");
    case State::Connecting: return QStringLiteral("연결 중...");
    case State::Buffering: return QStringLiteral("버퍼링 중...");
    case State::Playing: return QStringLiteral("재생 중");
    case State::Paused: return QStringLiteral("일시 정지");
    case State::Stopped: return QStringLiteral("정지");
    case State::Ended: return QStringLiteral("재생 끝");
    case State::Error: return QStringLiteral("오류");
    }
    return {};
}

QString MediaPlayer::status() const
{
    if (m_state == State::Error && !m_errorText.isEmpty())
        return statusText(m_state) + QStringLiteral(": ") + m_errorText;
    return statusText(m_state);
}

void MediaPlayer::setURL(const QString &url)
{
    m_url = url;
    m_reverseTimer.stop();
    if (!m_mpv) {
        // The player never started: it keeps saying why.
        emit StatusChange();
        return;
    }
    m_errorText.clear();
    m_ended = m_stopped = false;
    m_seekPending = false;
    m_duration = 0;
    m_packetBitRate = 0;
    m_fileSize = -1;
    // Addresses come from web pages: only web ones are opened, never a local
    // file, a device or one of the player's own kinds of source.
    const bool web = url.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
                     || url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
    if (!url.isEmpty() && !web) {
        m_url.clear();
        m_errorText = QStringLiteral("잘못된 주소");
    }
    if (url.isEmpty() || !web) {
        command({"stop"});
        m_loading = m_awaitingStart = false;
        m_stopped = true;
    } else {
        setDouble("speed", 1.0);
        setFlag("pause", false);
        const QByteArray u = url.toUtf8();
        command({"loadfile", u.constData(), "replace"});
        m_loading = true;
        m_awaitingStart = true;
    }
    updateState();
}

int MediaPlayer::command(std::initializer_list<const char *> args)
{
    if (!m_mpv)
        return MPV_ERROR_UNINITIALIZED;
    const char *argv[8] = {};
    int i = 0;
    for (const char *a : args)
        if (i < 7)
            argv[i++] = a;
    return mpv_command(m_mpv, argv);
}

void MediaPlayer::setFlag(const char *name, bool value)
{
    if (!m_mpv)
        return;
    int flag = value ? 1 : 0;
    mpv_set_property(m_mpv, name, MPV_FORMAT_FLAG, &flag);
}

void MediaPlayer::setDouble(const char *name, double value)
{
    if (!m_mpv)
        return;
    mpv_set_property(m_mpv, name, MPV_FORMAT_DOUBLE, &value);
}

void MediaPlayer::Controls::play()
{
    m_p.m_reverseTimer.stop();
    m_p.setDouble("speed", 1.0);
    // After the end, a stop or a failure (a dropped connection) it starts
    // the address again from the beginning.
    if ((m_p.m_ended || m_p.m_stopped || m_p.m_state == State::Error) && !m_p.m_url.isEmpty()) {
        m_p.setURL(m_p.m_url);
        return;
    }
    m_p.setFlag("pause", false);
}

void MediaPlayer::Controls::pause()
{
    m_p.m_reverseTimer.stop();
    m_p.setFlag("pause", true);
}

void MediaPlayer::Controls::stop()
{
    m_p.m_reverseTimer.stop();
    m_p.command({"stop"});
}

void MediaPlayer::Controls::fastForward()
{
    m_p.m_reverseTimer.stop();
    m_p.setDouble("speed", kFastForwardSpeed);
    m_p.setFlag("pause", false);
}

void MediaPlayer::Controls::fastReverse()
{
    m_p.setDouble("speed", 1.0);
    m_p.setFlag("pause", false);
    m_p.m_reverseTimer.start();
}

double MediaPlayer::Controls::currentPosition() const
{
    if (m_p.m_seekPending)
        return m_p.m_seekTarget;
    double pos = 0;
    if (!m_p.m_mpv || mpv_get_property(m_p.m_mpv, "time-pos", MPV_FORMAT_DOUBLE, &pos) < 0)
        return 0;
    return pos;
}

void MediaPlayer::Controls::setCurrentPosition(double seconds)
{
    // Without media there is nowhere to go: nothing is sent, nothing changes.
    if (!m_p.m_mpv || !(m_p.m_loaded || m_p.m_loading))
        return;
    seconds = seconds < 0 ? 0.0 : seconds;
    const QByteArray target = QByteArray::number(seconds, 'f', 3);
    if (m_p.command({"seek", target.constData(), "absolute+exact"}) >= 0) {
        m_p.m_seekPending = true;
        m_p.m_seekTarget = seconds;
    }
}

void MediaPlayer::Settings::setVolume(int percent)
{
    percent = qBound(0, percent, 100);
    if (percent == m_p.m_volume)
        return;
    m_p.m_volume = percent;
    m_p.setDouble("volume", percent);
    emit m_p.VolumeChange();
}

void MediaPlayer::Settings::setMute(bool mute)
{
    if (mute == m_p.m_mute)
        return;
    m_p.m_mute = mute;
    m_p.setFlag("mute", mute);
    emit m_p.VolumeChange();
}

double MediaPlayer::CurrentMedia::duration() const
{
    return m_p.m_duration > 0 ? m_p.m_duration : 0;
}

double MediaPlayer::Network::bitRate() const
{
    if (m_p.m_packetBitRate > 0)
        return m_p.m_packetBitRate;
    if (m_p.m_fileSize > 0 && m_p.m_duration > 0)
        return double(m_p.m_fileSize) * 8 / m_p.m_duration;
    return 0;
}

} // namespace platform
