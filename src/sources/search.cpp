#include "sources/search.h"

#include "sources/endpoints.h"
#include "sources/modurl.h"

namespace sources {

namespace {
const QString kResultClass = QStringLiteral("link");
const QString kResultHandler = QStringLiteral("goCR(this,'rd','u='+urlencode('");
const QString kRequestTail = QStringLiteral("1&st=sim&date_option=-1&date_from=&date_to=&dup_remove=2&post_blogid=");

// The leading number of a text, as a classic numeric conversion reads it;
// nothing when the text does not start with a digit (after blanks).
std::optional<int> leadingNumber(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype n = 0;
    while (n < t.size() && t[n].isDigit() && n < 9)
        ++n;
    if (n == 0)
        return std::nullopt;
    return t.left(n).toInt();
}
} // namespace

QString searchRequestURL(const QString &keyword, qint16 page)
{
    // The classic conversion writes a blank where a minus sign would go.
    const QString number = page >= 0 ? QStringLiteral(" %1").arg(page) : QString::number(page);
    return SearchURLBase() + modURL::URLEncode(keyword) + QStringLiteral("&start=") + number + kRequestTail;
}

std::optional<QString> postViewURL(const QString &href, const QString &blogHostPrefix)
{
    const qsizetype question = href.indexOf('?');
    const qsizetype logNo = href.indexOf(QLatin1String("&logNo="));
    // Without either part there is no post to address (the blog id cannot be
    // cut, or the post number would be taken from an arbitrary place).
    if (question < 0 || logNo < 0)
        return std::nullopt;
    QString blogId = href.left(question);
    blogId.remove(blogHostPrefix);
    const QString postNumber = href.mid(logNo + 7);
    return blogHostPrefix + QStringLiteral("PostView.nhn?blogId=") + blogId + QStringLiteral("&logNo=") + postNumber;
}

QList<SearchRow> readSearchRows(const platform::HtmlDocument &doc, const QString &blogHostPrefix)
{
    QList<SearchRow> rows;
    for (const platform::HtmlElement &a : doc.getElementsByTagName(QStringLiteral("a"))) {
        if (a.className() != kResultClass)
            continue;
        const QString onclick = a.onclick();
        if (onclick.isNull() || !onclick.contains(kResultHandler))
            continue;
        const QString text = a.outerText();
        if (text.isEmpty())
            continue;
        const QString href = a.href();
        const auto post = href.contains(blogHostPrefix) ? postViewURL(href, blogHostPrefix) : std::nullopt;
        if (post)
            rows.append({text, *post, false});
        else
            rows.append({kExternalRowText, QString(), true});
    }
    return rows;
}

QList<int> readAnnouncedCounts(const platform::HtmlDocument &doc)
{
    QList<int> counts;
    for (const platform::HtmlElement &span : doc.getElementsByTagName(QStringLiteral("span"))) {
        if (span.className() != QLatin1String("title_num"))
            continue;
        const QString range = span.outerText().section(QStringLiteral(" / "), 0, 0);
        const qsizetype dash = range.indexOf('-');
        if (dash < 0)
            continue; // no range to check against
        const auto first = leadingNumber(range.left(dash));
        const auto last = leadingNumber(range.mid(dash + 1).section('-', 0, 0));
        if (first && last)
            counts.append(*last - *first + 1);
    }
    return counts;
}

QPair<int, int> pageDigits(qint16 page)
{
    const QString t = QStringLiteral("%1").arg(page + 1, 2, 10, QLatin1Char('0'));
    return {t[0].digitValue(), t[1].digitValue()};
}

} // namespace sources
