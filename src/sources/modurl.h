#pragma once
// URL tools: form encoding of text in the Korean code page (CP949) and its
// decoding, as the portal's search page and its file addresses use them.
//
//   QString q = modURL::URLEncode(keyword);            // "가 a&b" -> "%B0%A1+a%26b"
//   QString name = modURL::URLDecode(lastPathSegment);  // "%B0%A1.mp3" -> "가.mp3"
//
// Both functions throw modURL::UrlToolsError on failure (text of 32,767
// characters or more, a malformed "%" group), after writing a report to the
// application event log. Callers catch it and tell the user.
#include <QString>
#include <exception>
#include <string>

namespace modURL {

// Error numbers in the tradition of the original run-time library.
enum UrlToolsErrorNumber {
    kErrOverflow = 6,      // text too long for 16-bit positions, or a code wider than 16 bits
    kErrTypeMismatch = 13, // a "%" group that is not hexadecimal (or is cut short)
};

class UrlToolsError : public std::exception {
public:
    UrlToolsError(int number, QString source, QString description);
    int number() const noexcept { return m_number; }
    const QString &source() const noexcept { return m_source; }
    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_what.c_str(); }

private:
    int m_number;
    QString m_source;
    QString m_description;
    std::string m_what;
};

// The source named in every error of the URL tools.
inline constexpr const char *kUrlToolsSource = "Quillon.URLTools";

// Outer blanks trimmed; [0-9A-Za-z-_.*] kept, blank -> "+", every other
// character as its CP949 bytes in "%XX" groups (upper-case hex); a character
// the code page lacks becomes "?" (%3F).
QString URLEncode(const QString &URLStr);

// Outer blanks trimmed; "+" -> blank; "%XX" <= 0x7F -> that character;
// "%XX%YY" with XX > 0x7F -> the CP949 double-byte character XXYY (a code the
// code page has no character for gives "?"); anything else is copied.
QString URLDecode(const QString &URLStr);

} // namespace modURL
