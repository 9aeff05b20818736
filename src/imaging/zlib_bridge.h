#pragma once
// The compression library, linked directly. FindZlib always finds it; the
// wrappers take spans so that no call reads or writes outside its buffers.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <span>

namespace imaging {

struct ZlibInfo {
    QString name;              // the library's version text
    int flavour = 0;           // 2: found (the preferred library)
    bool cdecl = false;        // no calling-convention bridge is needed here
    bool hasCompress2 = false;
};
// Reports the linked library: true, flavour 2, compress2 present.
bool FindZlib(ZlibInfo &info, bool checkOnly = true);

namespace zlib {
constexpr int Z_OK = 0;
// CRC-32 continued from crc over the bytes (crc 0 starts a new one).
std::uint32_t crc32(std::uint32_t crc, std::span<const std::uint8_t> bytes);
// Inflates a zlib stream into dst; written receives the bytes produced.
// Returns Z_OK on success (zlib's code otherwise, e.g. -5 when dst is too
// small, -3 for corrupt data).
int uncompress(std::span<std::uint8_t> dst, std::size_t &written, std::span<const std::uint8_t> src);
// Deflates src into dst at the given level (0..9; -1 default).
int compress2(std::span<std::uint8_t> dst, std::size_t &written, std::span<const std::uint8_t> src, int level);
int compress(std::span<std::uint8_t> dst, std::size_t &written, std::span<const std::uint8_t> src);
// Upper bound of the deflated size of n bytes.
std::size_t compressBound(std::size_t n);
} // namespace zlib

} // namespace imaging
