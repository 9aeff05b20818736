// The URL tools on any text. Errors are thrown by design; the encoder's output
// must always decode again.
#include "sources/modurl.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    // First byte: the text as UTF-8, or as raw UTF-16 units (lone surrogates included).
    QString text;
    if (data[0] & 1)
        text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    else
        text = QString(reinterpret_cast<const QChar *>(data + 1), qsizetype((size - 1) / 2));

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
    if (encoded.size() <= 32766) {
        try {
            modURL::URLDecode(encoded);
        } catch (const modURL::UrlToolsError &e) {
            std::fprintf(stderr, "encoded text does not decode: %s\n", qPrintable(encoded.left(200)));
            std::abort();
        }
    }
    return 0;
}
