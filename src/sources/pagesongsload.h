#pragma once
// Reading a web page for its songs, as one job: start() with the address,
// then exactly one finished() with the result (unless stop() comes first).
//
//   sources::PageSongsLoad load;
//   connect(&load, &PageSongsLoad::finished, [](const PageSongsResult &r) { ... });
//   load.start(address, AttachHostPrefix());
//
// The page is fetched within the page limits (see platform::PageFetch) and
// its tree is built and searched on a worker within buildLimitMs(). An
// address that answers with a music file is itself the one song, judged by
// its head and first bytes without reading the rest; an answer that is
// neither a page nor music holds no song.
#include "platform/transfer/pagefetch.h"
#include "sources/pagesongs.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

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
    void setTimeoutMs(int ms) { m_fetch->setTimeoutMs(ms); }
    int timeoutMs() const { return m_fetch->timeoutMs(); }
    // Bound on building the page's tree and finding its songs.
    void setBuildLimitMs(int ms) { m_buildLimitMs = ms; }
    int buildLimitMs() const { return m_buildLimitMs; }

signals:
    void finished(const sources::PageSongsResult &result);

private:
    using BuildWatcher = QFutureWatcher<std::optional<PageSongs>>;

    void fetched(const platform::PageFetch::Result &answer);
    void startBuild(const platform::PageFetch::Result &answer);
    void finish(PageSongsResult result);
    void fail(const QString &error);

    platform::PageFetch *m_fetch;
    BuildWatcher *m_build = nullptr;
    QString m_address;
    QString m_attachHostPrefix;
    AnswerKind m_kind = AnswerKind::Page;
    bool m_running = false;
    quint64 m_generation = 0; // tells a queued report that its load was stopped
    int m_buildLimitMs = 10000;
};

} // namespace sources
