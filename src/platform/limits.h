#pragma once
// The program's limits, in one place: how large an image may be, how far a
// request may be redirected and how large a page may grow, and the one name
// every request gives of the program.
#include <atomic>
#include <cstdint>

namespace limits {

// An image's pixel bytes (and any bitmap's) must fit a signed 32-bit size.
inline constexpr std::int64_t kMaxImageBytes = 0x7FFFFFFF;

// Whether count x size stays within limit, decided by division so that no
// product is formed that could overflow. Counts of 0 or less always fit.
constexpr bool productFits(std::int64_t count, std::int64_t size, std::int64_t limit)
{
    return count <= 0 || (size >= 0 && size <= limit / count);
}

// The most pixels one image may have. The program leaves it at the largest
// value (only kMaxImageBytes holds); the image tool lowers it for its run, so
// that a small file claiming a huge size is refused before any allocation.
inline std::atomic<std::int64_t> maxImagePixels{INT64_MAX};

// Whether a width x height image of bytesPerPixel fits kMaxImageBytes and
// maxImagePixels.
inline bool imageFits(std::int64_t width, std::int64_t height, std::int64_t bytesPerPixel)
{
    return width >= 0 && height >= 0 && productFits(height, width * bytesPerPixel, kMaxImageBytes) &&
           productFits(height, width, maxImagePixels.load(std::memory_order_relaxed));
}

// A window definition, or a file one refers to, larger than this is refused.
inline constexpr std::int64_t kMaxDefinitionBytes = 16 * 1024 * 1024;

// Redirects followed before a request fails.
inline constexpr int kMaxRedirects = 8;
// A page larger than this is not a page.
inline constexpr std::int64_t kMaxPageBytes = 16 * 1024 * 1024;
// A page shown to a person (the update window) is laid out by Qt's rich text
// engine, whose cost grows far faster than the page in some shapes: nested
// tables (about four times the time per level), table cells and formatted runs
// (with their square), and unbroken words (with their square); text whose
// script changes at every letter costs about 15 us a letter. A page is shaped
// into simple HTML within these bounds before it is laid out; measured on the
// worst pages they allow, layout takes under 0.4 s.
//
// Nesting of elements in the page itself: a deeper page is refused.
inline constexpr int kMaxPageDepth = 512;
// Text shown, after white space is collapsed: a longer page is refused.
inline constexpr int kMaxShownTextChars = 20000;
// Tags in the shaped page; past them, the rest of the page is plain text.
inline constexpr int kMaxShownTags = 2000;
// Shaped elements open at once; deeper ones keep their text, not their form.
inline constexpr int kMaxShownDepth = 16;
// Tables inside tables; deeper ones, and tables past the page's cell budget,
// are shown as lines of text.
inline constexpr int kMaxShownTableDepth = 3;
inline constexpr int kMaxShownTableCells = 400;
// Letters in a row with no place to break the line: a break is offered after
// this many.
inline constexpr int kMaxShownWordChars = 64;

// An element's visible text as the program reads it (a chart row, a search
// result's title): a list row of a million letters takes seconds to paint.
inline constexpr int kMaxElementTextChars = 1000;

// What every request (pages, files, the player's stream) calls the program.
inline constexpr const char kUserAgent[] = "Mozilla/5.0 (compatible; Sorimba 2)";

} // namespace limits
