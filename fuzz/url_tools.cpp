// The URL tools on any text, and the decoder on the encoder's output. Errors are
// thrown by design and caught here.
#include "sources/modurl.h"

#include <QString>

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    // First byte: the text as UTF-8, or as raw UTF-16 units (lone surrogates included).
    QString text;
    if (data[0] & 1) {
        text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    } else {
        std::u16string units((size - 1) / 2, u'\0');
        std::memcpy(units.data(), data + 1, units.size() * 2);
        text = QString::fromStdU16String(units);
    }

    try {
        modURL::URLDecode(text);
    } catch (const modURL::UrlToolsError &) {
    }

    QString encoded;
    try {
        encoded = modURL::URLEncode(text);
    } catch (const modURL::UrlToolsError &) {
        return 0;
    }
    // The encoder's output is not always decodable: a character whose code is a
    // single byte above 0x7F (U+0080 gives %80) reads as half of a double-byte
    // group there, which the decoder refuses by design.
    try {
        modURL::URLDecode(encoded);
    } catch (const modURL::UrlToolsError &) {
    }
    return 0;
}
