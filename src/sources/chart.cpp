#include "sources/chart.h"

namespace sources {

QList<ChartRow> readChartRows(const platform::HtmlDocument &doc, QString &currentTitle)
{
    QList<ChartRow> rows;
    for (const platform::HtmlElement &a : doc.getElementsByTagName(QStringLiteral("a"))) {
        const QString onclick = a.onclick();
        if (!onclick.isNull() && onclick.contains(QLatin1String("playMusicSong('")))
            currentTitle = a.outerText();
        if (a.href().contains(QLatin1String("/artist.asp?")))
            rows.append({currentTitle, a.outerText()});
    }
    return rows;
}

std::optional<QString> readChartDate(const platform::HtmlDocument &doc)
{
    for (const platform::HtmlElement &span : doc.getElementsByTagName(QStringLiteral("span")))
        if (span.className() == QLatin1String("list_date"))
            return span.outerText();
    return std::nullopt;
}

QString chartDateLine(const QString &spanText)
{
    return spanText + QStringLiteral("기준의 자료입니다.[실시간]");
}

QString chartFailureLine(const QString &cause)
{
    return QStringLiteral("차트를 불러오지 못했습니다 (%1)").arg(cause);
}

} // namespace sources
