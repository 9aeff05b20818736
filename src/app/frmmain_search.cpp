// The blog search: request a result page for the keyword, list blog posts and
// other sites' results, re-request a page whose announced range disagrees with
// what it listed (a bounded number of times), and show the page number.
#include "app/frmmain.h"
#include "platform/dialogs.h"
#include "sources/endpoints.h"
#include "sources/modurl.h"
#include "sources/pagesongs.h"
#include "sources/search.h"

#include <QBrush>

namespace app {

namespace {
const QColor kExternalRowColour(255, 0, 0);
const QColor kNoResultsColour(160, 160, 160);
} // namespace

const QString frmMain::kNoResultsText = QStringLiteral("검색 결과가 없습니다.");
const QString frmMain::kResultHeading = QStringLiteral("검색 결과 (최대 폐이지당 10개 표시)");

void frmMain::connectCommands()
{
    connect(cmdSearch, &controls::SkinButton::Click, this, &frmMain::cmdSearch_Click);
    connect(txtKeyword, &QLineEdit::returnPressed, this, &frmMain::cmdSearch_Click);
    connect(cmdPrev, &controls::SkinButton::Click, this, &frmMain::cmdPrev_Click);
    connect(cmdNext, &controls::SkinButton::Click, this, &frmMain::cmdNext_Click);
    connect(lstTop, &QTreeWidget::itemDoubleClicked, this, &frmMain::lstTop_DblClick);
    connect(lstResult, &QTreeWidget::itemDoubleClicked, this, &frmMain::lstResult_DblClick);
    // The chart is loaded again with F5 (keyPressEvent) or a double-click on
    // its date line, which tells when a load failed.
    connect(capTime, &controls::SkinLabel::DblClick, this, &frmMain::refreshTop);
}

// The commands below change the page number or the keyword only when their
// page load can run: a refused click leaves the window showing what it says.
void frmMain::cmdSearch_Click()
{
    if (refuseWhileLoading())
        return;
    // A web address is opened as a page; anything else is a keyword.
    if (sources::isWebAddress(txtKeyword->text())) {
        openPage(txtKeyword->text().trimmed());
        return;
    }
    const qint16 shown = SearchPage;
    SearchPage = 0;
    if (!printSPage(0))
        SearchPage = shown;
}

// While the list shows a page's songs there is no result page to turn.
void frmMain::cmdPrev_Click()
{
    if (refuseWhileLoading() || m_resultRowsAreSongs)
        return;
    if (SearchPage > 0) {
        --SearchPage;
        if (!printSPage(SearchPage))
            ++SearchPage;
    }
}

void frmMain::cmdNext_Click()
{
    if (refuseWhileLoading() || m_resultRowsAreSongs)
        return;
    if (SearchPage == 99)
        return;
    ++SearchPage;
    if (!printSPage(SearchPage))
        --SearchPage;
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

// Loads result page `page` into the list. A page whose announced range
// disagrees with its rows is asked for again (a bounded number of times). A
// failed request tells the user why and leaves the list and the page digits
// as they were; the answer is whether a page was shown.
bool frmMain::printSPage(qint16 page)
{
    if (!beginPageLoad())
        return false;
    WorkShow();
    const QString blogHost = sources::BlogHostPrefix();
    bool shown = false;
    QString failure;
    for (int attempt = 0; attempt < kSearchAttempts; ++attempt) {
        QString request;
        try {
            request = sources::searchRequestURL(txtKeyword->text(), page);
        } catch (const modURL::UrlToolsError &error) {
            // The error's own description is the event log's (English); the
            // user is told the cause in Korean.
            failure = QStringLiteral("검색어를 보낼 수 없습니다: ")
                      + (error.number() == modURL::kErrOverflow ? QStringLiteral("검색어가 너무 깁니다")
                                                                : error.description());
            break;
        }
        W->Navigate(request);
        WaitTime(300, true);
        WaitBusy();
        if (m_closed)
            break;
        if (W->failed()) {
            failure = QStringLiteral("검색하지 못했습니다 (%1)").arg(W->lastError());
            break;
        }
        const platform::HtmlDocument doc = W->Document();
        showResultRows(sources::readSearchRows(doc, blogHost));
        shown = true;
        bool rangeAgrees = true;
        for (int announced : sources::readAnnouncedCounts(doc))
            rangeAgrees = rangeAgrees && ResultCount == announced;
        if (rangeAgrees)
            break;
    }
    if (m_closed) {
        picWork->hide(); // no slide: the window is gone
        endPageLoad();
        return false;
    }
    // A later attempt that failed leaves the page an earlier one listed.
    if (shown)
        showPageDigits(page);
    WorkHide();
    endPageLoad();
    if (!shown)
        platform::Dialogs::messageBox(QStringLiteral("검색"), failure, platform::MessageIcon::Warning,
                                      platform::MessageButtons::Ok, platform::MessageResult::Ok, this);
    emit searchFinished();
    return shown;
}

void frmMain::showResultRows(const QList<sources::SearchRow> &rows)
{
    ResultURLs.clear();
    lstResult->clear();
    ResultCount = 0;
    m_resultRowsAreSongs = false;
    lstResult->headerItem()->setText(0, kResultHeading);
    lstResult->headerItem()->setToolTip(0, QString());
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
    if (rows.isEmpty()) {
        // A page without results says so instead of looking like an empty list;
        // the row is no result: it cannot be selected or opened.
        auto *item = new QTreeWidgetItem(QStringList{kNoResultsText});
        item->setForeground(0, QBrush(kNoResultsColour));
        item->setFlags(Qt::NoItemFlags);
        lstResult->addTopLevelItem(item);
    }
    // A new page is read from its top, not where the last one was left.
    lstResult->scrollToTop();
}

} // namespace app
