#pragma once
// Reading the music portal's real-time chart page.
#include "platform/pagehost/htmldocument.h"

#include <QList>
#include <QString>
#include <optional>

namespace sources {

struct ChartRow {
    QString title;
    QString artist;
};

// One pass over the anchors in document order: an anchor whose click handler
// holds "playMusicSong('" sets the current title; an anchor whose address holds
// "/artist.asp?" adds a row of the current title and its own text. Both tests
// apply to every anchor. currentTitle carries over between passes.
QList<ChartRow> readChartRows(const platform::HtmlDocument &doc, QString &currentTitle);

// The text of the first span whose whole class is "list_date", if any.
std::optional<QString> readChartDate(const platform::HtmlDocument &doc);

// The date line shown under the chart.
QString chartDateLine(const QString &spanText);

// The date line's text when the chart page could not be loaded, with the cause.
QString chartFailureLine(const QString &cause);

// A chart counts as complete with more than 98 rows.
constexpr int kChartCompleteRows = 99;

} // namespace sources
