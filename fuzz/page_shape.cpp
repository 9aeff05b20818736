// The shown page's path on any bytes: decoded as the page host does, parsed,
// shaped, and the shaped page laid out as the update window's view would.
// A shaped page must stay within its bounds; a slow layout shows as a
// libFuzzer time-out (run with -timeout).
#include "fuzz_app.h"

#include "platform/limits.h"
#include "platform/pagehost/pageshaper.h"

#include <QAbstractTextDocumentLayout>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzzsupport::startApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString page = platform::decodePageBytes(bytes, QByteArray());
    const QDeadlineTimer deadline(10000);
    const auto doc = platform::HtmlDocument::parse(page, QUrl(QStringLiteral("http://maker.example/update.html")), deadline);
    if (!doc)
        return 0;
    const platform::ShapedPage shaped = platform::shapePage(*doc, deadline);
    if (!shaped.refusal.isEmpty()) {
        if (!shaped.html.isEmpty())
            std::abort(); // a refused page is not shown
        return 0;
    }
    if (shaped.html.count(QStringLiteral("<td>")) + shaped.html.count(QStringLiteral("<th>")) > limits::kMaxShownTableCells)
        std::abort();
    // Tables nest no deeper than the bound (text is escaped, so every "<" is a tag).
    int depth = 0;
    for (qsizetype at = shaped.html.indexOf('<'); at >= 0; at = shaped.html.indexOf('<', at + 1)) {
        if (QStringView(shaped.html).mid(at, 6) == QLatin1String("<table"))
            ++depth;
        else if (QStringView(shaped.html).mid(at, 8) == QLatin1String("</table>"))
            --depth;
        if (depth > limits::kMaxShownTableDepth || depth < 0)
            std::abort();
    }
    QTextDocument view;
    view.setTextWidth(840);
    view.setHtml(shaped.html);
    fuzzsupport::keep(unsigned(view.documentLayout()->documentSize().height()));
    return 0;
}
