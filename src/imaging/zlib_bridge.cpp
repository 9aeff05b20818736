// The compression library bridge over the linked zlib.
#include "imaging/zlib_bridge.h"

#include <limits>
#include <zlib.h>

namespace imaging {

bool FindZlib(ZlibInfo &info, bool)
{
    info.name = QString::fromLatin1(zlibVersion());
    info.flavour = 2;
    info.cdecl = false;
    info.hasCompress2 = true;
    return true;
}

namespace zlib {

namespace {
// zlib's length type is an unsigned long; larger buffers are refused.
bool fits(std::size_t n) { return n <= std::numeric_limits<uLong>::max() && n <= std::numeric_limits<uInt>::max(); }
} // namespace

std::uint32_t crc32(std::uint32_t crc, std::span<const std::uint8_t> bytes)
{
    uLong c = crc;
    const std::uint8_t *p = bytes.data();
    std::size_t n = bytes.size();
    // Fed in pieces so that any length fits zlib's unsigned int.
    while (n > 0) {
        const uInt piece = uInt(std::min<std::size_t>(n, 1u << 30));
        c = ::crc32(c, p, piece);
        p += piece;
        n -= piece;
    }
    return std::uint32_t(c);
}

int uncompress(std::span<std::uint8_t> dst, std::size_t &written, std::span<const std::uint8_t> src)
{
    written = 0;
    if (!fits(dst.size()) || !fits(src.size()))
        return Z_BUF_ERROR;
    uLongf len = uLongf(dst.size());
    const int rc = ::uncompress(dst.data(), &len, src.data(), uLong(src.size()));
    if (rc == Z_OK)
        written = len;
    return rc;
}

int compress2(std::span<std::uint8_t> dst, std::size_t &written, std::span<const std::uint8_t> src, int level)
{
    written = 0;
    if (!fits(dst.size()) || !fits(src.size()))
        return Z_BUF_ERROR;
    uLongf len = uLongf(dst.size());
    const int rc = ::compress2(dst.data(), &len, src.data(), uLong(src.size()), level);
    if (rc == Z_OK)
        written = len;
    return rc;
}

int compress(std::span<std::uint8_t> dst, std::size_t &written, std::span<const std::uint8_t> src)
{
    return compress2(dst, written, src, Z_DEFAULT_COMPRESSION);
}

std::size_t compressBound(std::size_t n) { return ::compressBound(uLong(n)); }

} // namespace zlib
} // namespace imaging
