// Number texts and safe file names of the download window.
#include "download/filenames.h"
#include "download/numbertext.h"

#include <gtest/gtest.h>

namespace {

TEST(DefaultNumberText, Cases)
{
    struct Case {
        double value;
        const char *text;
    } cases[] = {
        {3715350 / 1024.0 / 1024.0, "3.54323387145996"},
        {100 / 1024.0 / 1024.0, "9.5367431640625E-05"},
        {0, "0"},
        {1, "1"},
        {0.5, "0.5"},
        {0.0001, "0.0001"},
        {12.25, "12.25"},
        {1e15, "1E+15"},
        {123456789012345.0, "123456789012345"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(download::defaultNumberText(c.value), c.text) << c.value;
}

TEST(MegabyteText, SixCharactersAndNoCutExponent)
{
    const struct {
        qint64 bytes;
        const char *text;
    } cases[] = {
        {3715350, "3.5432"}, {0, "0"}, {17, "0.0000"}, {100, "0.0000"}, {105, "0.0001"}, {1048576, "1"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(download::megabyteText(c.bytes), c.text) << c.bytes;
}

TEST(ProposedFileName, Utf8EscapesAreReadAsUtf8AndTheRestAsTheKoreanCodePage)
{
    const struct {
        const char *undecoded;
        QString shown;
    } cases[] = {
        {"%EB%B4%84.mp3", QStringLiteral("봄.mp3")},                  // UTF-8, as blogs escape today
        {"%B3%EB%B7%A1.mp3", QStringLiteral("노래.mp3")},             // not UTF-8: the Korean code page
        {"a%20b.mp3", QStringLiteral("a b.mp3")},                      // ASCII only: as before
        {"%G1.mp3", QStringLiteral("%G1.mp3")},                        // not decodable: as it is
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.undecoded);
        EXPECT_EQ(download::proposedFileName(QString::fromLatin1(c.undecoded)), c.shown);
    }
    // A cut UTF-8 sequence is no UTF-8: the code page reads one character.
    EXPECT_EQ(download::proposedFileName("%EB%B4.mp3").size(), 5);
}

TEST(RoundHalfEven, Cases)
{
    EXPECT_EQ(download::roundHalfEven(2.5), 2);
    EXPECT_EQ(download::roundHalfEven(3.5), 4);
    EXPECT_EQ(download::roundHalfEven(4890.0), 4890);
    EXPECT_EQ(download::roundHalfEven(-0.5), 0);
}

TEST(SafeFileName, CannotLeaveTheFolder)
{
    struct Case {
        QString name;
        QString safe;
    } cases[] = {
        {QStringLiteral("노래.mp3"), QStringLiteral("노래.mp3")},
        {"../../evil.mp3", "_.__._evil.mp3"},
        {"a/..\\b.mp3", "a__._b.mp3"},
        {QStringLiteral("tab\there\n.mp3"), "tab_here_.mp3"},
        {"..", "_."},
        {"", "download"},
    };
    for (const auto &c : cases) {
        const QString safe = download::safeFileName(c.name);
        EXPECT_EQ(safe, c.safe) << c.name.toStdString();
        EXPECT_FALSE(safe.contains('/'));
        EXPECT_FALSE(safe.contains(".."));
    }
    EXPECT_EQ(download::joinPath("/music", "a.mp3"), "/music/a.mp3");
    EXPECT_EQ(download::joinPath("/", "a.mp3"), "/a.mp3");
}

TEST(SafeFileName, NamesAreNeitherReorderedNorHiddenNorStrippedOfTheirExtension)
{
    const QString a300(300, u'a');
    struct Case {
        QString name;
        QString safe;
    } cases[] = {
        // Bidirectional controls would show "mp3.exe" as "exe.mp3".
        {QStringLiteral("song\u202Eexe.mp3"), QStringLiteral("song_exe.mp3")},
        {QStringLiteral("\u202A\u202B\u202C\u202D.mp3"), QStringLiteral("____.mp3")},
        {QStringLiteral("a\u2066b\u2067c\u2068d\u2069.mp3"), QStringLiteral("a_b_c_d_.mp3")},
        {QStringLiteral("\u200Fx\u200E.mp3"), QStringLiteral("_x_.mp3")},
        // A leading dot would hide the file.
        {".hidden.mp3", "_.hidden.mp3"},
        {"  .mp3", "_.mp3"},
        {".", "download"},
        // Shortened: the stem goes, the extension stays, even a long one.
        {a300 + ".mp3", QString(251, u'a') + ".mp3"},
        {a300 + ".extension-of-twenty", QString(235, u'a') + ".extension-of-twenty"},
        {"b." + a300, "b." + QString(253, u'a')}, // no stem to shorten: cut at the end
        {a300, QString(255, u'a')},
    };
    for (const auto &c : cases) {
        const QString safe = download::safeFileName(c.name);
        EXPECT_EQ(safe, c.safe) << c.name.toStdString();
        EXPECT_LE(safe.toUtf8().size(), 255);
        EXPECT_FALSE(safe.startsWith('.'));
    }
}

TEST(SafeFileName, LongKoreanNameKeepsItsExtensionAndWholeCharacters)
{
    const QString name = QString(200, QChar(0xAC00)) + ".mp3"; // 600 bytes of Hangul
    const QString safe = download::safeFileName(name);
    EXPECT_LE(safe.toUtf8().size(), 255);
    EXPECT_TRUE(safe.endsWith(".mp3"));
    EXPECT_EQ(safe, QString(83, QChar(0xAC00)) + ".mp3");
}

} // namespace

// The name a music address offers: its path's last segment when that names a
// music file (query and fragment left out), else the whole last segment as
// written when it ends in mp3, wav or wma, else none.
TEST(MusicFileName, Cases)
{
    const struct {
        const char *address;
        const char *name;
    } cases[] = {
        {"http://h/files/a.mp3", "a.mp3"},
        {"http://h/files/A.MP3", "A.MP3"},
        {"http://h/files/%B3%EB%B7%A1.mp3", "%B3%EB%B7%A1.mp3"},
        {"http://h/f/song.mp3?dl=1", "song.mp3"},
        {"http://h/f/song.m4a#t=10", "song.m4a"},
        {"http://h/f/s.ogg", "s.ogg"}, {"http://h/f/s.oga", "s.oga"}, {"http://h/f/s.opus", "s.opus"},
        {"http://h/f/s.flac", "s.flac"}, {"http://h/f/s.aac", "s.aac"}, {"http://h/f/s.wav", "s.wav"},
        {"http://h/f/s.wma", "s.wma"},
        {"http://h/down.php?f=a.mp3", "down.php?f=a.mp3"}, // the older links' way
        {"http://h/f/cover.png", ""},
        {"http://h/f/page.html?x=mp3.", ""},
        {"http://h/f/", ""},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(download::musicFileName(QString::fromLatin1(c.address)), QString::fromLatin1(c.name)) << c.address;
}
