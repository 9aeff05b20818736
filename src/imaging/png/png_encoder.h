#pragma once
// The encoding half of cPNGwriter: a surface and what to write with it become
// PNG chunks. Texts arrive as bytes, already checked (code-page or Latin-1
// bytes, or UTF-8 for iTXt), so nothing here knows about properties or code
// pages.
#include "imaging/zlib_bridge.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace imaging {

class c32bppDIB;

namespace png {

// One tEXt chunk, a zTXt chunk for a long custom text, or an iTXt chunk for
// a text that single bytes cannot hold.
struct TextEntry {
    std::vector<std::uint8_t> keyword;
    std::vector<std::uint8_t> text;
    bool custom = false;         // compressed when longer than 1024 bytes
    bool international = false;  // iTXt: the text is UTF-8, written uncompressed
};

struct EncodeOptions {
    std::vector<TextEntry> earlyTexts;   // before PLTE
    std::vector<TextEntry> lateTexts;    // after tIME
    bool hasTime = false;
    std::array<std::uint8_t, 7> time{};  // tIME data: year (big-endian), month, day, hour, minute, second
    bool hasBackground = false;
    std::uint32_t background = 0;        // colour reference, red in the low byte
    std::int32_t filterMode = 0;         // 1..5: filter type + 1 on every row; 6: adaptive; else the default
};

// Where the bytes go.
class ChunkOutput {
public:
    virtual ~ChunkOutput() = default;
    virtual bool put(const std::uint8_t *data, std::size_t n) = 0;

    bool signature();
    // Length, type, data and the CRC-32 of type and data, all big-endian.
    bool chunk(const char *type, std::span<const std::uint8_t> data);
};

class MemoryOutput final : public ChunkOutput {
public:
    bool put(const std::uint8_t *data, std::size_t n) override;
    std::vector<std::uint8_t> bytes;
};

// Writes to an open descriptor; a failed write fails the chunk.
class FileOutput final : public ChunkOutput {
public:
    explicit FileOutput(int fd) : m_fd(fd) {}
    bool put(const std::uint8_t *data, std::size_t n) override;

private:
    int m_fd;
};

// Writes the whole file, signature to IEND. The surface must hold an image.
// May throw std::bad_alloc; the caller turns that into failure.
bool encodePng(const c32bppDIB &surface, const EncodeOptions &options, const ZlibInfo &zlibInfo, ChunkOutput &out);

// The encoder's one compression call: a buffer of n + 1% + 12 bytes, rounded,
// and compress2 at level 9 (compress when the library lacks it).
bool deflateAll(const ZlibInfo &zlibInfo, std::span<const std::uint8_t> src, std::vector<std::uint8_t> &out);

} // namespace png
} // namespace imaging
