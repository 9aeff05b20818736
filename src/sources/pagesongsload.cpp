#include "sources/pagesongsload.h"

#include "platform/neterror.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace sources {

PageSongsLoad::PageSongsLoad(QObject *parent) : QObject(parent), m_fetch(new platform::PageFetch(this))
{
    m_fetch->setPeekBytes(kAudioSniffBytes);
    // The head and first bytes tell a music file from a page: a music file
    // is not read any further.
    m_fetch->keepReading = [this](const QByteArray &contentType, const QUrl &url, const QByteArray &firstBytes) {
        m_kind = judgeAnswer(contentType, QUrl(m_address, QUrl::TolerantMode), url, firstBytes);
        return m_kind == AnswerKind::Page;
    };
    connect(m_fetch, &platform::PageFetch::finished, this, &PageSongsLoad::fetched);
}

PageSongsLoad::~PageSongsLoad()
{
    stop();
}

void PageSongsLoad::start(const QString &address, const QString &attachHostPrefix)
{
    stop();
    m_running = true;
    m_address = address.trimmed();
    m_attachHostPrefix = attachHostPrefix;
    m_kind = AnswerKind::Page;
    if (!isWebAddress(m_address)) {
        // Reported from the event loop, as every other end of the job is.
        const quint64 generation = m_generation;
        QMetaObject::invokeMethod(
            this,
            [this, address, generation] {
                if (generation == m_generation)
                    fail(QStringLiteral("http 또는 https 주소가 아님: %1").arg(address));
            },
            Qt::QueuedConnection);
        return;
    }
    m_fetch->start(QUrl(m_address, QUrl::TolerantMode));
}

void PageSongsLoad::stop()
{
    ++m_generation;
    m_running = false;
    m_fetch->stop();
    if (m_build) {
        // The worker finishes on its own (its time is bounded) and its result is dropped.
        m_build->disconnect(this);
        m_build->deleteLater();
        m_build = nullptr;
    }
}

void PageSongsLoad::fetched(const platform::PageFetch::Result &answer)
{
    if (answer.failed()) {
        fail(answer.error);
        return;
    }
    PageSongsResult result;
    result.address = m_address;
    switch (m_kind) {
    case AnswerKind::Song:
        // The address that answered, after any redirect, names the file.
        result.songs = {answer.url.toString(QUrl::FullyEncoded)};
        result.addressIsSong = true;
        finish(result);
        return;
    case AnswerKind::NotPage:
        finish(result);
        return;
    case AnswerKind::Page:
        startBuild(answer);
        return;
    }
}

void PageSongsLoad::startBuild(const platform::PageFetch::Result &answer)
{
    m_build = new BuildWatcher(this);
    BuildWatcher *watcher = m_build;
    const int limitMs = m_buildLimitMs;
    connect(watcher, &BuildWatcher::finished, this, [this, watcher, limitMs] {
        watcher->deleteLater();
        if (watcher != m_build)
            return;
        m_build = nullptr;
        const std::optional<PageSongs> found = watcher->result();
        if (!found) {
            fail(QStringLiteral("페이지를 처리하는 데 %1초를 넘김").arg(platform::secondsText(limitMs)));
            return;
        }
        PageSongsResult result;
        result.address = m_address;
        result.title = found->title;
        result.songs = found->songs;
        finish(result);
    });
    // Relative addresses resolve against the address that answered.
    watcher->setFuture(QtConcurrent::run(
        [bytes = answer.body, type = answer.contentType, url = answer.url, prefix = m_attachHostPrefix, limitMs] {
            const QDeadlineTimer deadline(limitMs);
            return findPageSongs(decodeWebPage(bytes, type), url, prefix, deadline);
        }));
}

void PageSongsLoad::finish(PageSongsResult result)
{
    m_running = false;
    emit finished(result);
}

void PageSongsLoad::fail(const QString &error)
{
    PageSongsResult result;
    result.address = m_address;
    result.error = error;
    finish(result);
}

} // namespace sources
