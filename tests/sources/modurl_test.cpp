// URL tools: encoding and decoding in the Korean code page, and the error
// path (event log report, then the error raised again).
#include "platform/eventlog.h"
#include "sources/modurl.h"

#include <gtest/gtest.h>

namespace {

QString u(const char *utf8) { return QString::fromUtf8(utf8); }

struct Case {
    const char *input;
    const char *expected;
};

TEST(ModUrl, EncodeCases)
{
    const Case cases[] = {
        {" a b ", "a+b"},                     // outer blanks trimmed, inner blank is "+"
        {"가나", "%B0%A1%B3%AA"},             // double-byte codes, lead byte first
        {"a&b=c/d", "a%26b%3Dc%2Fd"},
        {"-_.*", "-_.*"},
        {"09azAZ", "09azAZ"},
        {"\t", "%09"},
        {"x\ny", "x%0Ay"},
        {"a+b%", "a%2Bb%25"},
        {"é", "%3F"},                         // not in the code page: "?"
        {"\xF0\x9F\x98\x80", "%3F%3F"},       // outside the BMP: each half is "?"
        {"\t a \t", "%09+a+%09"},             // only U+0020 is trimmed
        {"", ""},
        {"   ", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(modURL::URLEncode(u(c.input)), u(c.expected)) << c.input;
}

TEST(ModUrl, DecodeCases)
{
    const Case cases[] = {
        {"%B0%A1%B3%AA", "가나"},
        {"%b0%a1", "가"},                     // lower-case digits read as well
        {"a+b%20c", "a b c"},
        {"%41", "A"},
        {"%4", "\x04"},                       // one digit left at the end: read alone
        {" %41 ", "A"},
        {"%B0A1", "가"},                      // the five characters after "%" lose their "%"s
        {"%FF%FF", "?"},                      // no character for that code
        {"plain.mp3", "plain.mp3"},
        {"", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(modURL::URLDecode(u(c.input)), u(c.expected)) << c.input;
}

TEST(ModUrl, RoundTripOfKoreanText)
{
    const QString text = u("소리 바다 - 노래.mp3");
    EXPECT_EQ(modURL::URLDecode(modURL::URLEncode(text)), text);
}

QString report(const char *method, int number, const char *description)
{
    return QStringLiteral("\r\n\r\nError Object : Quillon.URLTools,\r\nError Method : Public Function %1(URLStr As String) As String,\r\n"
                          "Error Number : %2,\r\nError Source : Quillon.URLTools,\r\nError Description : %3")
        .arg(QLatin1String(method))
        .arg(number)
        .arg(QLatin1String(description));
}

TEST(ModUrl, ErrorsAreLoggedAndRaisedAgain)
{
    struct ErrorCase {
        bool encode;
        QString input;
        int number;
        const char *description;
    };
    const ErrorCase cases[] = {
        {true, QString(32767, u'a'), 6, "Overflow"},
        {false, QString(32767, u'a'), 6, "Overflow"},
        {false, u("%G1"), 13, "Type mismatch"},
        {false, u("abc%"), 13, "Type mismatch"},       // "%" at the very end
        {false, u("%4G"), 13, "Type mismatch"},
        {false, u("%B0"), 13, "Type mismatch"},        // double-byte group without its second half
        {false, u("%B0%A"), 13, "Type mismatch"},
        {false, u("%B0%ZZ"), 13, "Type mismatch"},
        {false, u("%ED%8C%8C"), 13, "Type mismatch"},   // a UTF-8 name with an odd byte count
        {false, u("%B0A12"), 6, "Overflow"},           // five digits do not fit a 16-bit code
    };
    for (const ErrorCase &c : cases) {
        platform::EventLog::clear();
        const char *method = c.encode ? "URLEncode" : "URLDecode";
        try {
            c.encode ? modURL::URLEncode(c.input) : modURL::URLDecode(c.input);
            ADD_FAILURE() << "no error for " << c.input.left(20).toStdString();
            continue;
        } catch (const modURL::UrlToolsError &e) {
            EXPECT_EQ(e.number(), c.number) << c.input.left(20).toStdString();
            EXPECT_EQ(e.source(), QStringLiteral("Quillon.URLTools"));
            EXPECT_EQ(e.description(), QLatin1String(c.description));
        }
        const auto entries = platform::EventLog::entries();
        ASSERT_EQ(entries.size(), 1);
        EXPECT_EQ(entries[0].type, platform::EventType::Error);
        EXPECT_EQ(entries[0].text, report(method, c.number, c.description));
    }
}

TEST(ModUrl, LongestTextsStillWork)
{
    // 32,766 characters fit; outer blanks are trimmed before the length counts.
    const QString longest(32766, u'b');
    EXPECT_EQ(modURL::URLEncode(longest), longest);
    EXPECT_EQ(modURL::URLDecode(QStringLiteral("  ") + longest + QStringLiteral("  ")), longest);
}

} // namespace
