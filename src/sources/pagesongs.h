#pragma once
// Finding every song on a web page: the addresses a page offers as music, in
// the order of the rules below, each address once.
//   1. addresses on the attachment host in the page's text (script text
//      included) whose path names a music file;
//   2. <audio src> and the <source src> inside an <audio>;
//   3. <a href> to a path ending in a music extension (any case, a query allowed);
//   4. <meta property="og:audio">, "og:audio:url" and "og:audio:secure_url".
// Addresses are resolved against <base href> or the page's own address; only
// http and https ones are kept (no javascript:, data:, file: ...).
#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace sources {

// The most songs one page lists.
constexpr int kMaxPageSongs = 200;

struct PageSongs {
    QString title;     // the page's <title>, white space collapsed; may be empty
    QStringList songs; // absolute http(s) addresses, at most kMaxPageSongs
};

// Reads the page's songs. Nothing when the page's tree could not be built
// before the deadline.
std::optional<PageSongs> findPageSongs(const QString &pageText, const QUrl &pageUrl,
                                       const QString &attachHostPrefix,
                                       QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));

// The page's text: by the charset the server declared (Content-Type value),
// else the one the page declares in a <meta> near its start, else UTF-8 when
// the bytes are valid UTF-8, else the Korean code page. EUC-KR and its
// aliases are read with the Korean code page, their superset.
QString decodeWebPage(const QByteArray &bytes, const QByteArray &contentType);

// An address typed or given that the program opens as a page: http or https
// with a host, nothing around it.
bool isWebAddress(const QString &text);

// Whether a path (or an address) ends in one of the music extensions that
// links are followed to: mp3, m4a, aac, ogg, oga, opus, flac, wav.
bool hasMusicExtension(const QUrl &url);
bool hasMusicExtension(const QString &path);

// What an answer is. A Song: its Content-Type is audio/*, or the address
// (asked or answering) has a music extension and the first bytes look like
// music. A Page: its Content-Type is none, HTML, XML or any text. Else NotPage
// (a picture, an archive ...): it holds no song.
enum class AnswerKind { Page, Song, NotPage };
AnswerKind judgeAnswer(const QByteArray &contentType, const QUrl &asked, const QUrl &answered,
                       const QByteArray &firstBytes);

// Whether the first bytes look like a music file: an ID3 tag, an MPEG audio
// frame or ADTS header, Ogg, FLAC, RIFF WAVE or MP4.
bool looksLikeAudio(const QByteArray &firstBytes);
// How many first bytes looksLikeAudio() wants to decide.
constexpr int kAudioSniffBytes = 12;

} // namespace sources
