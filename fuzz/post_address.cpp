// The post reader's address finder on any page text and host prefix.
#include "sources/postreader.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The prefix runs to the first NUL byte; the page is the rest.
    const auto *nul = static_cast<const std::uint8_t *>(std::memchr(data, 0, size));
    const std::size_t prefixLen = nul ? std::size_t(nul - data) : 0;
    const std::size_t pageStart = nul ? prefixLen + 1 : 0;
    const QString prefix = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(prefixLen));
    const QString page =
        QString::fromUtf8(reinterpret_cast<const char *>(data + pageStart), qsizetype(size - pageStart));
    const auto address = sources::findMusicAddress(page, prefix);
    if (address && address->trimmed().isEmpty())
        std::abort(); // an empty address is reported as none
    return 0;
}
