#pragma once
// Finding the music file address in the first part of a blog post's page.
#include <QString>
#include <optional>

namespace sources {

// The most of a post page that is read.
constexpr qint64 kPostReadBytes = 8192;

// An address on the attachment host (up to the next blank, cut before the
// script text that follows it in the page's file list), else the source of the
// first embedded player after the post's title marker (the page lower-cased,
// quotes removed). Nothing when the page holds neither, or the address found
// is empty.
std::optional<QString> findMusicAddress(const QString &page, const QString &attachHostPrefix);

} // namespace sources
