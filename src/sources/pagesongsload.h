#pragma once
// Reading a web page for its songs, as one job: start() with the address,
// then exactly one finished() with the result (unless stop() comes first).
//
//   sources::PageSongsLoad load;
//   connect(&load, &PageSongsLoad::finished, [](const PageSongsResult &r) { ... });
//   load.start(address, AttachHostPrefix());
//
// The page is read within the same bounds as any page: redirects, its size
// (the page limit), the time from asking to the last byte, and the time for
// building its tree. An address that answers with a music file (audio/*, or
// a music extension and bytes that look like music) is itself the one song;
// an answer that is neither a page nor music holds no song.
#include "sources/pagesongs.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
template <typename T> class QFutureWatcher;

namespace sources {

struct PageSongsResult {
    QString address;   // the page asked for
    QString error;     // why the page could not be read (Korean); empty when it was
    QString title;     // the page's title; empty when it has none
    QStringList songs; // addresses of its songs, in the finder's order
    bool addressIsSong = false; // the address answered with a music file

    bool failed() const { return !error.isEmpty(); }
};

class PageSongsLoad : public QObject {
    Q_OBJECT
public:
    explicit PageSongsLoad(QObject *parent = nullptr);
    ~PageSongsLoad() override;

    // Starts reading; a load still running is dropped without a finished().
    void start(const QString &address, const QString &attachHostPrefix);
    // Drops the running load; no finished() follows.
    void stop();
    bool running() const { return m_running; }

    // Bound on the request, from start() to the last byte.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int timeoutMs() const { return m_timeoutMs; }
    // Bound on building the page's tree and finding its songs.
    void setBuildLimitMs(int ms) { m_buildLimitMs = ms; }
    int buildLimitMs() const { return m_buildLimitMs; }

signals:
    void finished(const sources::PageSongsResult &result);

private:
    enum class Kind { Undecided, Page, Song, NotPage };
    using BuildWatcher = QFutureWatcher<std::optional<PageSongs>>;

    void onMetaData();
    void onReadyRead();
    void onFinished();
    // What the answer is, once its head and (for a sniff) first bytes are in.
    Kind judge(bool bodyComplete) const;
    void startBuild();
    void finish(PageSongsResult result);
    void fail(const QString &error);
    void dropReply();

    QNetworkAccessManager *m_network;
    QPointer<QNetworkReply> m_reply;
    BuildWatcher *m_build = nullptr;
    QTimer m_timeout;
    QString m_address;
    QString m_attachHostPrefix;
    QUrl m_finalUrl;
    QByteArray m_contentType;
    QByteArray m_body;
    QString m_stopCause; // set when the job itself cut the transfer
    Kind m_kind = Kind::Undecided;
    bool m_headArrived = false;
    bool m_running = false;
    quint64 m_generation = 0; // tells a queued report that its load was stopped
    int m_timeoutMs = 30000;
    int m_buildLimitMs = 10000;
};

} // namespace sources
