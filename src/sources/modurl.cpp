#include "sources/modurl.h"

#include "platform/eventlog.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <optional>

namespace modURL {

namespace {

// Positions in the text are signed 16-bit: the position after the last
// character of a 32,767-character text no longer fits.
constexpr qsizetype kMaxLength = 32766;

const char *const kEncodeMethod = "Public Function URLEncode(URLStr As String) As String";
const char *const kDecodeMethod = "Public Function URLDecode(URLStr As String) As String";

UrlToolsError makeError(int number)
{
    const QString description = number == kErrOverflow ? QStringLiteral("Overflow")
                                                       : QStringLiteral("Type mismatch");
    return UrlToolsError(number, QString::fromLatin1(kUrlToolsSource), description);
}

// Writes the report to the event log and raises the error again.
[[noreturn]] void reportAndRethrow(const char *method, const UrlToolsError &error)
{
    const QString crlf = QStringLiteral("\r\n");
    const QString report = crlf + crlf
                           + QStringLiteral("Error Object : Quillon.URLTools,") + crlf
                           + QStringLiteral("Error Method : ") + QLatin1String(method) + ',' + crlf
                           + QStringLiteral("Error Number : ") + QString::number(error.number()) + ',' + crlf
                           + QStringLiteral("Error Source : ") + error.source() + ',' + crlf
                           + QStringLiteral("Error Description : ") + error.description();
    platform::EventLog::write(platform::EventType::Error, report);
    throw error;
}

QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

bool isSafe(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')
           || c == u'-' || c == u'_' || c == u'.' || c == u'*';
}

void appendByte(QString &out, unsigned char byte)
{
    static const char digits[] = "0123456789ABCDEF";
    out += u'%';
    out += QLatin1Char(digits[byte >> 4]);
    out += QLatin1Char(digits[byte & 0x0F]);
}

// Reads hexadecimal digits the way "&H" + text converts: every character must
// be a digit; an empty text does not convert.
std::optional<unsigned> readHex(QStringView digits)
{
    if (digits.isEmpty())
        return std::nullopt;
    unsigned value = 0;
    for (QChar c : digits) {
        const char16_t u = c.unicode();
        const int d = u >= u'0' && u <= u'9'   ? u - u'0'
                      : u >= u'a' && u <= u'f' ? u - u'a' + 10
                      : u >= u'A' && u <= u'F' ? u - u'A' + 10
                                               : -1;
        if (d < 0)
            return std::nullopt;
        value = value * 16 + unsigned(d);
    }
    return value;
}

QString encodeText(const QString &text)
{
    if (text.size() > kMaxLength)
        throw makeError(kErrOverflow);
    QString out;
    out.reserve(text.size() * 3);
    QStringEncoder encoder("windows-949");
    for (QChar ch : text) {
        const char16_t c = ch.unicode();
        if (isSafe(c)) {
            out += ch;
        } else if (c == u' ') {
            out += u'+';
        } else {
            // One UTF-16 unit at a time: a character the code page lacks
            // (a lone surrogate included) becomes "?".
            encoder.resetState();
            QByteArray bytes = encoder.encode(QStringView(&ch, 1));
            if (encoder.hasError() || bytes.isEmpty() || bytes.size() > 2)
                bytes = "?";
            for (char b : bytes)
                appendByte(out, static_cast<unsigned char>(b));
        }
    }
    return out;
}

// The code page character of a double-byte code, or "?" when the code page
// has none for it.
QString doubleByteChar(unsigned code)
{
    const char bytes[2] = {char(code >> 8), char(code & 0xFF)};
    QStringDecoder decoder("windows-949");
    const QString s = decoder.decode(QByteArrayView(bytes, 2));
    // The decoder maps some unassigned codes to private-use fallbacks or to two
    // characters; only a code that round-trips is a character of the code page.
    if (decoder.hasError() || s.size() != 1 || s[0] == QChar::ReplacementCharacter)
        return QStringLiteral("?");
    QStringEncoder encoder("windows-949");
    if (QByteArray(encoder.encode(s)) != QByteArrayView(bytes, 2))
        return QStringLiteral("?");
    return s;
}

QString decodeText(const QString &text)
{
    if (text.size() > kMaxLength)
        throw makeError(kErrOverflow);
    QString out;
    out.reserve(text.size());
    qsizetype pos = 0;
    while (pos < text.size()) {
        const QChar c = text[pos];
        if (c == u'+') {
            out += u' ';
            pos += 1;
        } else if (c == u'%') {
            // At the end of the text only one digit may be left; it is read alone.
            const auto value = readHex(QStringView(text).mid(pos + 1, 2));
            if (!value)
                throw makeError(kErrTypeMismatch);
            if (*value > 127) {
                QString group = text.mid(pos + 1, 5);
                group.remove(u'%');
                const auto code = readHex(group);
                if (!code)
                    throw makeError(kErrTypeMismatch);
                if (group.size() > 4)
                    throw makeError(kErrOverflow); // wider than a 16-bit code
                if (group.size() < 4)
                    throw makeError(kErrTypeMismatch); // second half missing
                out += doubleByteChar(*code);
                pos += 6;
            } else {
                out += QChar(char16_t(*value));
                pos += 3;
            }
        } else {
            out += c;
            pos += 1;
        }
    }
    return out;
}

} // namespace

UrlToolsError::UrlToolsError(int number, QString source, QString description)
    : m_number(number), m_source(std::move(source)), m_description(std::move(description)),
      m_what(m_description.toStdString())
{
}

QString URLEncode(const QString &URLStr)
{
    try {
        return encodeText(trimBlanks(URLStr));
    } catch (const UrlToolsError &e) {
        reportAndRethrow(kEncodeMethod, e);
    }
}

QString URLDecode(const QString &URLStr)
{
    try {
        return decodeText(trimBlanks(URLStr));
    } catch (const UrlToolsError &e) {
        reportAndRethrow(kDecodeMethod, e);
    }
}

} // namespace modURL
