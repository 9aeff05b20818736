// The real-time chart: load the chart page until it lists a whole chart (with
// a bound on attempts), fill lstTop, and show the chart's date line.
#include "app/frmmain.h"
#include "sources/chart.h"
#include "sources/endpoints.h"

namespace app {

void frmMain::refreshTop()
{
    if (!beginPageLoad())
        return;
    WorkShow();
    QString currentTitle;
    for (int attempt = 0; attempt < kChartAttempts; ++attempt) {
        W->Navigate(sources::ChartURL());
        WaitBusy();
        const QList<sources::ChartRow> rows = sources::readChartRows(W->Document(), currentTitle);
        lstTop->clear();
        QList<QTreeWidgetItem *> items;
        items.reserve(rows.size());
        for (const sources::ChartRow &row : rows)
            items.append(new QTreeWidgetItem(QStringList{row.title, row.artist}));
        lstTop->addTopLevelItems(items);
        if (lstTop->topLevelItemCount() >= sources::kChartCompleteRows)
            break;
    }
    // Without a date span the date line stays as it was; the busy panel goes
    // away in every ending.
    if (const auto date = sources::readChartDate(W->Document()))
        capTime->setCaption(sources::chartDateLine(*date));
    WorkHide();
    endPageLoad();
    emit chartFinished();
}

} // namespace app
