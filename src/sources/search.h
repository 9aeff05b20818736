#pragma once
// Reading the web portal's blog search result pages.
#include "platform/pagehost/htmldocument.h"

#include <QList>
#include <QString>
#include <optional>

namespace sources {

// The request for result page `page` (0-based): the search base, the encoded
// keyword, "&start=", the page number as the classic conversion writes it (a
// leading blank) followed by the digit 1, and the fixed tail. May throw the
// URL tools' error for a keyword it cannot encode.
QString searchRequestURL(const QString &keyword, qint16 page);

struct SearchRow {
    QString text;     // the row's text: the anchor's, or "[외부 사이트]"
    QString postUrl;  // the post view address; empty for another site's result
    bool external = false;
};

inline const QString kExternalRowText = QStringLiteral("[외부 사이트]");

// Kept anchors (class exactly "link", the result click handler, some text) in
// document order. A blog result's address becomes its post view address.
QList<SearchRow> readSearchRows(const platform::HtmlDocument &doc, const QString &blogHostPrefix);

// The post view address for a blog result's href, or nothing when the href
// lacks the blog id or post number parts.
std::optional<QString> postViewURL(const QString &href, const QString &blogHostPrefix);

// For every span of class exactly "title_num" with a readable "first-last"
// range: the number of results the range announces (last - first + 1).
QList<int> readAnnouncedCounts(const platform::HtmlDocument &doc);

// The page number as the two digits shown: page + 1 written with at least two
// digits, first two digits only (page 99 shows 1 and 0).
QPair<int, int> pageDigits(qint16 page);

} // namespace sources
