#include "keptbytes.h"

namespace skineditor {

namespace {

constexpr char16_t kByteStandIn = 0xDC00; // + the byte, for bytes 0x80..0xFF

bool continuation(QByteArrayView b, qsizetype at)
{
    return at < b.size() && (quint8(b[at]) & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence at `at`, 0 when there is none. The
// second byte's ranges exclude overlong forms, surrogates and values past
// U+10FFFF.
int sequenceLength(QByteArrayView b, qsizetype at)
{
    const quint8 c = quint8(b[at]);
    if (c < 0x80)
        return 1;
    const auto second = [&](quint8 lo, quint8 hi) {
        return at + 1 < b.size() && quint8(b[at + 1]) >= lo && quint8(b[at + 1]) <= hi;
    };
    if (c >= 0xC2 && c <= 0xDF)
        return continuation(b, at + 1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const bool ok = c == 0xE0 ? second(0xA0, 0xBF) : c == 0xED ? second(0x80, 0x9F) : second(0x80, 0xBF);
        return ok && continuation(b, at + 2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const bool ok = c == 0xF0 ? second(0x90, 0xBF) : c == 0xF4 ? second(0x80, 0x8F) : second(0x80, 0xBF);
        return ok && continuation(b, at + 2) && continuation(b, at + 3) ? 4 : 0;
    }
    return 0;
}

void appendUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

} // namespace

// Decoded here rather than by QString::fromUtf8, which drops a byte order
// mark at the start of its input and so would lose bytes.
QString decodeKeepingBytes(QByteArrayView bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const int n = sequenceLength(bytes, i);
        const quint8 lead = quint8(bytes[i]);
        if (n == 0) {
            out += QChar(char16_t(kByteStandIn + lead));
            ++i;
            continue;
        }
        char32_t c = n == 1 ? lead : n == 2 ? lead & 0x1F : n == 3 ? lead & 0x0F : lead & 0x07;
        for (int k = 1; k < n; ++k)
            c = (c << 6) | (quint8(bytes[i + k]) & 0x3F);
        if (QChar::requiresSurrogates(c)) {
            out += QChar(QChar::highSurrogate(c));
            out += QChar(QChar::lowSurrogate(c));
        } else {
            out += QChar(char16_t(c));
        }
        i += n;
    }
    return out;
}

std::optional<QByteArray> encodeKeepingBytes(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            appendUtf8(out, QChar::surrogateToUcs4(c, text[i + 1].unicode()));
            ++i;
        } else if (c >= kByteStandIn + 0x80 && c <= kByteStandIn + 0xFF) {
            out += char(c - kByteStandIn);
        } else if (QChar::isSurrogate(c)) {
            return std::nullopt;
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

} // namespace skineditor
