// The blog search: request a result page for the keyword, list blog posts and
// other sites' results, re-request a page whose announced range disagrees with
// what it listed (a bounded number of times), and show the page number.
#include "app/frmmain.h"
#include "platform/dialogs.h"
#include "sources/endpoints.h"
#include "sources/modurl.h"
#include "sources/search.h"

#include <QBrush>

namespace app {

namespace {
const QColor kExternalRowColour(255, 0, 0);
}

void frmMain::connectCommands()
{
    connect(cmdSearch, &controls::SkinButton::Click, this, &frmMain::cmdSearch_Click);
    connect(txtKeyword, &QLineEdit::returnPressed, this, &frmMain::cmdSearch_Click);
    connect(cmdPrev, &controls::SkinButton::Click, this, &frmMain::cmdPrev_Click);
    connect(cmdNext, &controls::SkinButton::Click, this, &frmMain::cmdNext_Click);
    connect(lstTop, &QTreeWidget::itemDoubleClicked, this, &frmMain::lstTop_DblClick);
    connect(lstResult, &QTreeWidget::itemDoubleClicked, this, &frmMain::lstResult_DblClick);
}

// The commands below change the page number or the keyword only when their
// page load can run: a refused click leaves the window showing what it says.
void frmMain::cmdSearch_Click()
{
    if (refuseWhileLoading())
        return;
    SearchPage = 0;
    printSPage(0);
}

void frmMain::cmdPrev_Click()
{
    if (refuseWhileLoading())
        return;
    if (SearchPage > 0) {
        --SearchPage;
        printSPage(SearchPage);
    }
}

void frmMain::cmdNext_Click()
{
    if (refuseWhileLoading())
        return;
    if (SearchPage == 99)
        return;
    ++SearchPage;
    printSPage(SearchPage);
}

void frmMain::lstTop_DblClick()
{
    const QTreeWidgetItem *row = lstTop->currentItem();
    if (!row)
        return; // nothing selected (an empty chart)
    if (refuseWhileLoading())
        return;
    txtKeyword->setText(row->text(1) + ' ' + row->text(0));
    cmdSearch_Click();
}

void frmMain::showPageDigits(qint16 page)
{
    const auto [first, second] = sources::pageDigits(page);
    imgA->setPixmap(imglst1.value(first));
    imgB->setPixmap(imglst1.value(second));
}

void frmMain::printSPage(qint16 page)
{
    if (!beginPageLoad())
        return;
    WorkShow();
    const QString blogHost = sources::BlogHostPrefix();
    for (int attempt = 0; attempt < kSearchAttempts; ++attempt) {
        QString request;
        try {
            request = sources::searchRequestURL(txtKeyword->text(), page);
        } catch (const modURL::UrlToolsError &error) {
            // The keyword cannot be sent; tell the user and leave the list as it is.
            WorkHide();
            endPageLoad();
            platform::Dialogs::messageBox(QStringLiteral("검색"),
                                          QStringLiteral("검색어를 보낼 수 없습니다: ") + error.description(),
                                          platform::MessageIcon::Warning, platform::MessageButtons::Ok,
                                          platform::MessageResult::Ok, this);
            return;
        }
        W->Navigate(request);
        WaitTime(300, true);
        WaitBusy();

        const platform::HtmlDocument doc = W->Document();
        const QList<sources::SearchRow> rows = sources::readSearchRows(doc, blogHost);
        ResultURLs.clear();
        lstResult->clear();
        ResultCount = 0;
        for (const sources::SearchRow &row : rows) {
            ++ResultCount;
            auto *item = new QTreeWidgetItem(QStringList{row.text});
            if (row.external) {
                item->setForeground(0, QBrush(kExternalRowColour));
            } else {
                // Rows are numbered from 1; entry 0 stays empty.
                while (ResultURLs.size() <= ResultCount)
                    ResultURLs.append(QString());
                ResultURLs[ResultCount] = row.postUrl;
            }
            lstResult->addTopLevelItem(item);
        }
        bool rangeAgrees = true;
        for (int announced : sources::readAnnouncedCounts(doc))
            rangeAgrees = rangeAgrees && lstResult->topLevelItemCount() == announced;
        if (rangeAgrees)
            break;
    }
    showPageDigits(page);
    WorkHide();
    endPageLoad();
    emit searchFinished();
}

} // namespace app
