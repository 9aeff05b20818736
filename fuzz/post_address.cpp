// The post reader's address finder and the web page song finder on any page
// bytes and host prefix.
#include "sources/pagesongs.h"
#include "sources/postreader.h"

#include <QSet>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

volatile int g_sink = 0;
void fuzzKeep(int v) { g_sink = v; }

void checkPageSongs(const QByteArray &bytes, const QString &prefix)
{
    // The first byte picks the header's charset, so that every path of the
    // text decoding is taken: none, the Korean code page, UTF-8, an unknown one.
    static const char *const types[] = {"text/html", "text/html; charset=euc-kr", "text/html; charset=utf-8",
                                        "text/html; charset=x-unknown"};
    const char *type = types[bytes.isEmpty() ? 0 : quint8(bytes[0]) % 4];
    const QString text = sources::decodeWebPage(bytes, type);
    // Gumbo's time on some tag soup grows with the square of its depth; the
    // deadline is the program's own guard against it.
    const auto found = sources::findPageSongs(text, QUrl("http://page.test/dir/page.html"), prefix, QDeadlineTimer(2000));
    if (!found)
        return;
    if (found->songs.size() > sources::kMaxPageSongs)
        std::abort();
    QSet<QString> seen;
    for (const QString &song : found->songs) {
        const QUrl url(song);
        if ((url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) || url.host().isEmpty())
            std::abort(); // only web addresses are songs
        if (seen.contains(song))
            std::abort(); // each song once
        seen.insert(song);
    }
    const QUrl asked("http://page.test/a.mp3");
    fuzzKeep(int(sources::judgeAnswer(type, asked, asked, bytes.left(sources::kAudioSniffBytes))));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The prefix runs to the first NUL byte; the page is the rest.
    const auto *nul = static_cast<const std::uint8_t *>(std::memchr(data, 0, size));
    const std::size_t prefixLen = nul ? std::size_t(nul - data) : 0;
    const std::size_t pageStart = nul ? prefixLen + 1 : 0;
    const QString prefix = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(prefixLen));
    const QByteArray pageBytes(reinterpret_cast<const char *>(data + pageStart), qsizetype(size - pageStart));
    const QString page = QString::fromUtf8(pageBytes);
    const auto address = sources::findMusicAddress(page, prefix);
    if (address && address->trimmed().isEmpty())
        std::abort(); // an empty address is reported as none
    checkPageSongs(pageBytes, prefix);
    return 0;
}
