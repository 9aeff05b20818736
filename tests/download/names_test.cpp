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
    // The size label keeps six characters: the exponent of a tiny size is lost.
    EXPECT_EQ(download::defaultNumberText(3715350 / 1024.0 / 1024.0).left(6), "3.5432");
    EXPECT_EQ(download::defaultNumberText(100 / 1024.0 / 1024.0).left(6), "9.5367");
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

TEST(SafeFileName, LongKoreanNameKeepsItsExtensionAndWholeCharacters)
{
    const QString name = QString(200, QChar(0xAC00)) + ".mp3"; // 600 bytes of Hangul
    const QString safe = download::safeFileName(name);
    EXPECT_LE(safe.toUtf8().size(), 255);
    EXPECT_TRUE(safe.endsWith(".mp3"));
    EXPECT_EQ(safe, QString(83, QChar(0xAC00)) + ".mp3");
}

} // namespace
