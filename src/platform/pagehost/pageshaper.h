#pragma once
// Turns a page's document into simple HTML that Qt's rich text view lays out
// in bounded time, whatever the page holds:
//
//   const ShapedPage shaped = shapePage(document, QDeadlineTimer(2000));
//   if (shaped.refusal.isEmpty()) view->setHtml(shaped.html);
//   else view->setHtml(... "페이지를 불러오지 못했습니다 (" + shaped.refusal + ")" ...);
//
// Headings, paragraphs, lists, line breaks, rules, simple text styles, text
// colours, links and tables stay; scripts, styles, pictures, frames and every
// other attribute are dropped. A page nested deeper than kMaxPageDepth or with
// more than kMaxShownTextChars of text is refused with its cause; the shaping
// bounds of limits.h (tags, nesting, tables, word length) only change how
// much form the text keeps. Safe to run on a worker thread.
#include "platform/pagehost/htmldocument.h"

#include <QDeadlineTimer>
#include <QString>

namespace platform {

struct ShapedPage {
    QString html;    // the page to show; empty when refused
    QString refusal; // why the page is not shown, a short Korean cause
    bool timedOut = false; // refused because the deadline passed
};

ShapedPage shapePage(const HtmlDocument &document, QDeadlineTimer deadline);

} // namespace platform
