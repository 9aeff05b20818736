// Opening a result: read the first part of the post's page, find the music
// address in it and hand that to the download window, or show the error panel.
#include "app/frmmain.h"
#include "download/frmdownload.h"
#include "platform/dialogs.h"
#include "platform/transfer/waitforhead.h"
#include "sources/endpoints.h"
#include "sources/postreader.h"
#include "sources/search.h"

namespace app {

void frmMain::lstResult_DblClick()
{
    QTreeWidgetItem *row = lstResult->currentItem();
    if (row && m_resultRowsAreSongs) {
        openSongRow(lstResult->indexOfTopLevelItem(row));
        return;
    }
    if (!row || row->text(0) == sources::kExternalRowText)
        return;
    const QString address = ResultURLs.value(lstResult->indexOfTopLevelItem(row) + 1);
    if (address.isEmpty() || !beginPageLoad())
        return;
    Ine->Execute(address, QStringLiteral("GET"));
    platform::WaitWhileExecuting(Ine);
    const QString page = Ine->GetChunkText(sources::kPostReadBytes);
    const bool fetched = !Ine->failed();
    const QString reason = Ine->errorText();
    Ine->Cancel();
    if (m_closed) {
        endPageLoad();
        return;
    }
    if (!fetched) {
        endPageLoad();
        platform::Dialogs::messageBox(QStringLiteral("블로그"), QStringLiteral("블로그 글을 읽지 못했습니다.\r\n") + reason,
                                      platform::MessageIcon::Warning, platform::MessageButtons::Ok,
                                      platform::MessageResult::Ok, this);
        emit postFinished(false);
        return;
    }
    const auto music = sources::findMusicAddress(page, sources::AttachHostPrefix());
    if (!music) {
        endPageLoad();
        ShowError();
        emit postFinished(false);
        return;
    }
    // The load counts as running until the download window has asked about
    // the music: a second post opened meanwhile would take over its transfer.
    openDownloadWindow(*music);
    endPageLoad();
    emit postFinished(true);
}

void frmMain::openDownloadWindow(const QString &address)
{
    auto *window = static_cast<download::frmDownload *>(m_download);
    if (!window) {
        window = new download::frmDownload(this);
        m_download = window;
        // It first opens centred over the main window; later the user's place is kept.
        window->move(frameGeometry().center() - window->rect().center());
    }
    window->show();
    window->raise();
    QString music = address;
    window->ReadyDown(music);
}

} // namespace app
