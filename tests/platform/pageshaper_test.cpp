// The shaping of a shown page: what of a page survives, which pages are
// refused and why, and that the worst pages within the bounds lay out in Qt's
// rich text view in well under a second.
#include "platform/limits.h"
#include "platform/pagehost/pageshaper.h"

#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QTextBrowser>
#include <gtest/gtest.h>

using platform::HtmlDocument;
using platform::ShapedPage;

namespace {

ShapedPage shape(const QString &html)
{
    const HtmlDocument doc = HtmlDocument::parse(html, QUrl(QStringLiteral("http://maker.example/update.html")));
    return platform::shapePage(doc, QDeadlineTimer(20000));
}

QString repeated(const QString &piece, int times)
{
    return piece.repeated(times);
}

QString nestedTables(int depth)
{
    return repeated(QStringLiteral("<table><tr><td>"), depth) + QStringLiteral("깊은 곳");
}

// Lays the html out as the update window's view does and returns the time.
qint64 layoutMs(const QString &html)
{
    QTextBrowser view;
    view.resize(858, 658); // the update window's page area
    view.show();
    QElapsedTimer clock;
    clock.start();
    view.setHtml(html);
    view.document()->documentLayout()->documentSize();
    view.viewport()->grab();
    return clock.elapsed();
}

QString plainText(const QString &html)
{
    QTextDocument doc;
    doc.setHtml(html);
    return doc.toPlainText();
}

} // namespace

TEST(PageShaper, KeepsTheFormOfAnOrdinaryPageAndDropsWhatIsNotText)
{
    const ShapedPage page = shape(QStringLiteral(
        "<html><head><title>제목</title><style>p{color:red}</style><script>alert('x')</script></head>"
        "<body onload=\"evil()\"><h2>업데이트</h2><p style=\"font-size:900px\"><b>v 2.1</b> &lt;새&gt; &amp; 좋음</p>"
        "<ul><li>하나<li>둘</ul><font color=\"#ff0000\">빨강</font><font color=\"red;x:y\">색 없음</font><font color=00ff00>초록</font><font color=retable>이름 없음</font>"
        "<a href=\"/maker/\">홈</a> <a href=\"javascript:evil()\">스크립트</a> <a href=\"file:///etc/passwd\">파일</a>"
        "<img src=\"x.png\" alt=\"그림\"><table border=1><tr><td colspan=99999>칸</td></tr></table></body></html>"));
    ASSERT_TRUE(page.refusal.isEmpty()) << page.refusal.toStdString();
    for (const char *kept : {"<h2>업데이트</h2>", "<b>v 2.1</b>", "&lt;새&gt; &amp; 좋음", "<li>하나", "<font color=\"#ff0000\">빨강</font>", "<font color=\"#00ff00\">초록</font>",
                             "<a href=\"/maker/\">홈</a>", "<table border=\"1\"", "<td>칸</td>"})
        EXPECT_TRUE(page.html.contains(QString::fromUtf8(kept))) << kept << "\n" << page.html.toStdString();
    for (const char *dropped : {"제목", "alert", "color:red", "style", "onload", "javascript", "file:", "img", "colspan", "red;x", "retable"})
        EXPECT_FALSE(page.html.contains(QString::fromUtf8(dropped))) << dropped << "\n" << page.html.toStdString();
    const QString text = plainText(page.html);
    for (const char *shown : {"스크립트", "파일", "색 없음", "이름 없음"}) // the text of dropped links and colours stays
        EXPECT_TRUE(text.contains(QString::fromUtf8(shown))) << shown;
}

TEST(PageShaper, HostilePagesAreShownWithinTheBoundsOrRefusedWithTheirCause)
{
    const QString korean = repeated(QStringLiteral("가나다라마바사아자차"), 1900); // 19,000 letters, no blank
    struct Case {
        const char *name;
        QString html;
        const char *refusal; // part of the cause; null when the page is shown
        const char *shows;   // text that must be shown
    };
    const std::vector<Case> cases = {
        {"20 nested tables", nestedTables(20), nullptr, "깊은 곳"},
        {"100 nested tables", nestedTables(100), nullptr, "깊은 곳"},
        {"300 nested tables", nestedTables(300), "512단계", nullptr},
        {"3000 nested tables", nestedTables(3000), "512단계", nullptr},
        {"3000 nested lists", repeated(QStringLiteral("<ul><li>"), 3000), "512단계", nullptr},
        {"a word of 1 MB", QStringLiteral("<p>") + QString(1 << 20, u'a'), "20000자", nullptr},
        {"a page of 27,000 letters", repeated(QStringLiteral("<p>abcd efgh</p>"), 3000), "20000자", nullptr},
        {"a word of 19,000 letters", korean, nullptr, "가나다라마바사아자차가나다라마바사아자차"},
        {"18,000 styled runs", repeated(QStringLiteral("<b>x</b><i>y</i>"), 9000), nullptr, "xyxy"},
        {"a row of 5,000 cells", QStringLiteral("<table><tr>") + repeated(QStringLiteral("<td>c</td>"), 5000), nullptr, "c c c"},
        {"5,000 rows", QStringLiteral("<table>") + repeated(QStringLiteral("<tr><td>r</td></tr>"), 5000), nullptr, "r r"},
        {"5,000 paragraphs", repeated(QStringLiteral("<p>문단</p>"), 5000), nullptr, "문단"},
        {"10,000 line breaks", repeated(QStringLiteral("줄<br>"), 10000), nullptr, "줄"},
        {"19,500 changes of script", repeated(QStringLiteral("a가\u0628"), 6500), nullptr, "a가"},
        {"1,000 nested bidi embeddings", repeated(QStringLiteral("\u202Bא\u202Aa"), 1000), nullptr, "a"},
        {"preformatted line", QStringLiteral("<pre>") + QString(15000, u'-') + QStringLiteral("\n끝</pre>"), nullptr, "끝"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ShapedPage page = shape(c.html);
        if (c.refusal) {
            EXPECT_TRUE(page.html.isEmpty());
            EXPECT_TRUE(page.refusal.contains(QString::fromUtf8(c.refusal))) << page.refusal.toStdString();
            EXPECT_FALSE(page.timedOut);
            continue;
        }
        ASSERT_TRUE(page.refusal.isEmpty()) << page.refusal.toStdString();
        EXPECT_LE(page.html.count(QStringLiteral("<table")), limits::kMaxShownTableDepth);
        EXPECT_LE(page.html.count(QStringLiteral("<td>")), limits::kMaxShownTableCells);
        EXPECT_LE(page.html.count('<'), 2 * limits::kMaxShownTags);
        EXPECT_TRUE(plainText(page.html).remove(QChar(0x200B)).contains(QString::fromUtf8(c.shows)));
        const qint64 ms = layoutMs(page.html);
        EXPECT_LT(ms, 1000) << "laid out in " << ms << " ms";
        std::printf("[ layout ] %-26s %5lld ms, %lld characters of HTML\n", c.name, (long long)ms,
                    (long long)page.html.size());
    }
}

TEST(PageShaper, TheWorstPageWithinEveryBoundAtOnceLaysOutInUnderASecond)
{
    // Three levels of tables holding the whole cell budget, the rest of the
    // tag budget in styled runs, and the rest of the text in one long word.
    QString html = QStringLiteral("<table border=1><tr>");
    for (int outer = 0; outer < 4; ++outer) {
        html += QStringLiteral("<td><table border=1><tr>");
        for (int mid = 0; mid < 4; ++mid)
            html += QStringLiteral("<td><table border=1>") + repeated(QStringLiteral("<tr><td>칸</td><td>칸</td></tr>"), 11) +
                    QStringLiteral("</table></td>");
        html += QStringLiteral("</tr></table></td>");
    }
    html += QStringLiteral("</tr></table>");
    html += repeated(QStringLiteral("<b>굵</b><i>기</i><p>문단</p>"), 600);
    html += QStringLiteral("<p>") + repeated(QStringLiteral("가나다라마바사아자차"), 1500);
    const ShapedPage page = shape(html);
    ASSERT_TRUE(page.refusal.isEmpty()) << page.refusal.toStdString();
    EXPECT_EQ(page.html.count(QStringLiteral("<table")), 1 + 4 + 16);
    const qint64 ms = layoutMs(page.html);
    std::printf("[ layout ] worst page within the bounds: %lld ms\n", (long long)ms);
    EXPECT_LT(ms, 1000);
}

TEST(PageShaper, ShapingThatRunsOutOfTimeIsRefusedAsSuch)
{
    const HtmlDocument doc = HtmlDocument::parse(repeated(QStringLiteral("<p>x</p>"), 5000), QUrl());
    const ShapedPage page = platform::shapePage(doc, QDeadlineTimer(0));
    EXPECT_TRUE(page.timedOut);
    EXPECT_TRUE(page.html.isEmpty());
}
