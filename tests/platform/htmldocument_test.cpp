// An element's visible text as the chart and the search read it: collapsed,
// and cut to a length that a list row paints at once.
#include "platform/limits.h"
#include "platform/pagehost/htmldocument.h"

#include <QElapsedTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

using platform::HtmlDocument;

namespace {

QString anchorText(const QString &html)
{
    const HtmlDocument doc = HtmlDocument::parse(html, QUrl(QStringLiteral("http://portal.example/")));
    const auto anchors = doc.getElementsByTagName(QStringLiteral("a"));
    return anchors.isEmpty() ? QStringLiteral("(no anchor)") : anchors.first().outerText();
}

} // namespace

TEST(HtmlElementText, CollapsedTrimmedAndCut)
{
    const QString a999(999, u'a');
    struct Case {
        QString html;
        QString text;
    } cases[] = {
        {"<a>  첫 \n\t 줄 </a>", QStringLiteral("첫 줄")},
        {"<a>x<br>y<br> </a>", "x y"},
        {"<a>x<script>s()</script><style>p{}</style>y</a>", "xy"},
        {"<a> <b> </b> </a>", ""},
        {"<a>" + QString(1 << 20, u'w') + "</a>", QString(limits::kMaxElementTextChars, u'w')},
        {"<a>" + a999 + "       b</a>", a999}, // blanks count once, and none is left at the cut
        {"<a>" + a999 + QStringLiteral("\U0001F600") + "</a>", a999}, // never half a character
        {"<a>" + QString(5000, u' ') + "끝</a>", QStringLiteral("끝")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(anchorText(c.html), c.text) << c.html.left(40).toStdString();
}

// The chart's list shows such a text in a row: the longest one a page can
// give paints at once (a million letters took seconds).
TEST(HtmlElementText, TheLongestTextPaintsInAListRowAtOnce)
{
    const QString text = anchorText("<a>" + QString(1 << 20, QChar(0xAC00)) + "</a>");
    QTreeWidget list;
    list.resize(400, 300);
    list.setColumnCount(2);
    QElapsedTimer clock;
    clock.start();
    list.addTopLevelItem(new QTreeWidgetItem(QStringList{text, text}));
    list.show();
    list.grab();
    EXPECT_LT(clock.elapsed(), 500);
}
