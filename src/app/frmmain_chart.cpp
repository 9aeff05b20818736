// The real-time chart: load the chart page until it lists a whole chart (with
// a bound on attempts and on time), fill lstTop, and show the chart's date
// line, or why the chart could not be loaded.
#include "app/frmmain.h"
#include "sources/chart.h"
#include "sources/endpoints.h"

#include <QDeadlineTimer>

namespace app {

void frmMain::refreshTop()
{
    if (!beginPageLoad())
        return;
    WorkShow();
    // Only a page that arrived with too few rows is asked for again; a
    // failed request ends the load at once, and all attempts share one budget.
    const QDeadlineTimer budget(m_chartBudgetMs);
    const int pageTimeoutMs = W->timeoutMs();
    const int pageBuildLimitMs = W->buildLimitMs();
    QString currentTitle;
    QString failure;
    for (int attempt = 0; attempt < kChartAttempts; ++attempt) {
        const int leftMs = int(qMax<qint64>(1, budget.remainingTime()));
        W->setTimeoutMs(leftMs);
        W->setBuildLimitMs(qMin(pageBuildLimitMs, leftMs));
        W->Navigate(sources::ChartURL());
        WaitBusy();
        if (m_closed)
            break;
        if (W->failed()) {
            failure = W->lastError();
            break;
        }
        const QList<sources::ChartRow> rows = sources::readChartRows(W->Document(), currentTitle);
        lstTop->clear();
        QList<QTreeWidgetItem *> items;
        items.reserve(rows.size());
        for (const sources::ChartRow &row : rows)
            items.append(new QTreeWidgetItem(QStringList{row.title, row.artist}));
        lstTop->addTopLevelItems(items);
        if (lstTop->topLevelItemCount() >= sources::kChartCompleteRows || budget.hasExpired())
            break;
    }
    W->setTimeoutMs(pageTimeoutMs);
    W->setBuildLimitMs(pageBuildLimitMs);
    if (m_closed) {
        picWork->hide(); // no slide: the window is gone
        endPageLoad();
        return;
    }
    // A page that lists no song at all is no chart (a notice page, a changed
    // page): an empty list would look as if it were still loading.
    if (failure.isEmpty() && lstTop->topLevelItemCount() == 0)
        failure = QStringLiteral("차트에 곡이 없음");
    if (!failure.isEmpty()) {
        controls::showStatusText(capTime, sources::chartFailureLine(failure),
                                 QStringLiteral("F5 키를 누르거나 이 줄을 두 번 누르면 다시 불러옵니다."));
        m_chartFailureShown = true;
    } else if (const auto date = sources::readChartDate(W->Document())) {
        controls::showStatusText(capTime, sources::chartDateLine(*date));
        m_chartFailureShown = false;
    } else if (m_chartFailureShown) {
        // Without a date span the date line stays as it was, unless it told
        // of a failure that this load has mended.
        controls::showStatusText(capTime, QString());
        m_chartFailureShown = false;
    }
    WorkHide();
    endPageLoad();
    emit chartFinished();
}

} // namespace app
