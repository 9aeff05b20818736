// Opening any web page: the address typed in the keyword box, dropped on the
// window or given at start is read for its songs. One plays at once in the
// download window, several fill the result list under the page's title, none
// show the error panel; a page that cannot be read is told with its cause.
#include "app/frmmain.h"
#include "download/filenames.h"
#include "platform/dialogs.h"
#include "sources/endpoints.h"
#include "sources/pagesongs.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>

namespace app {

namespace {

// The first web address a drag carries: its links, else its text.
QString droppedAddress(const QMimeData *mime)
{
    if (!mime)
        return {};
    if (mime->hasUrls()) {
        for (const QUrl &url : mime->urls()) {
            const QString address = url.toString(QUrl::FullyEncoded);
            if (sources::isWebAddress(address))
                return address;
        }
    }
    if (mime->hasText()) {
        const QString text = mime->text().trimmed().section(u'\n', 0, 0).trimmed();
        if (sources::isWebAddress(text))
            return text;
    }
    return {};
}

// The row of a song: the file name its address ends in, decoded as the
// download window proposes it; the whole address when it ends in no name.
QString songRowText(const QString &address)
{
    const QString path = QUrl(address).path(QUrl::FullyEncoded);
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    return name.isEmpty() ? QUrl(address).toDisplayString() : download::proposedFileName(name);
}

} // namespace

void frmMain::openPage(const QString &address)
{
    if (!beginPageLoad())
        return;
    WorkShow();
    if (m_closed) {
        picWork->hide();
        endPageLoad();
        return;
    }
    // The page is read within the page host's bounds.
    m_pageLoad->setTimeoutMs(W->timeoutMs());
    m_pageLoad->setBuildLimitMs(W->buildLimitMs());
    m_pageLoad->start(address, sources::AttachHostPrefix());
}

void frmMain::pageLoadFinished(const sources::PageSongsResult &result)
{
    if (!m_closed)
        WorkHide();
    if (m_closed) {
        picWork->hide(); // no slide: the window is gone
        endPageLoad();
        return;
    }
    if (result.failed()) {
        endPageLoad();
        platform::Dialogs::messageBox(QStringLiteral("웹 페이지"),
                                      QStringLiteral("페이지를 읽지 못했습니다.\r\n") + result.error,
                                      platform::MessageIcon::Warning, platform::MessageButtons::Ok,
                                      platform::MessageResult::Ok, this);
        emit pageFinished(false);
        return;
    }
    if (result.songs.isEmpty()) {
        endPageLoad();
        ShowError();
        emit pageFinished(false);
        return;
    }
    if (result.songs.size() == 1) {
        // As with a post, the load counts as running until the download
        // window has asked about the music.
        openDownloadWindow(result.songs.first());
        endPageLoad();
        emit pageFinished(true);
        return;
    }
    showPageSongs(result);
    endPageLoad();
    emit pageFinished(true);
}

void frmMain::showPageSongs(const sources::PageSongsResult &result)
{
    lstResult->clear();
    ResultURLs = QStringList{QString()} + result.songs; // rows are numbered from 1
    ResultCount = qint16(result.songs.size());
    m_resultRowsAreSongs = true;
    const QString heading = result.title.isEmpty() ? QUrl(result.address).toDisplayString() : result.title;
    // A long title ends in an ellipsis within the heading, whether or not a
    // scroll bar takes its room (the styled heading does not shorten text
    // itself); the tooltip holds it whole.
    const int room = lstResult->contentsRect().width() - lstResult->verticalScrollBar()->sizeHint().width() - 10;
    const QFontMetrics metrics(QFont(QStringLiteral("Gulim"), 9));
    lstResult->headerItem()->setText(0, metrics.elidedText(heading, Qt::ElideRight, room));
    lstResult->headerItem()->setToolTip(0, heading);
    QList<QTreeWidgetItem *> rows;
    rows.reserve(result.songs.size());
    for (const QString &song : result.songs) {
        auto *row = new QTreeWidgetItem(QStringList{songRowText(song)});
        row->setToolTip(0, QUrl(song).toDisplayString());
        rows.append(row);
    }
    lstResult->addTopLevelItems(rows);
    lstResult->scrollToTop();
    // No result page is on show: the page digits go blank.
    imgA->setPixmap(QPixmap());
    imgB->setPixmap(QPixmap());
}

void frmMain::openSongRow(int row)
{
    const QString song = ResultURLs.value(row + 1);
    if (song.isEmpty() || !beginPageLoad())
        return;
    openDownloadWindow(song);
    endPageLoad();
}

void frmMain::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedAddress(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void frmMain::dragMoveEvent(QDragMoveEvent *event)
{
    if (!droppedAddress(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void frmMain::dropEvent(QDropEvent *event)
{
    const QString address = droppedAddress(event->mimeData());
    if (address.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (refuseWhileLoading())
        return;
    txtKeyword->setText(address);
    // The page opens once the drop has been answered, so that the dragging
    // program is not kept waiting while the busy panel slides.
    QMetaObject::invokeMethod(this, [this, address] { openPage(address); }, Qt::QueuedConnection);
}

} // namespace app
