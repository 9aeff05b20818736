#pragma once
// The PNG decoder's own path: the chunk walk, IHDR, PLTE, tRNS and IDAT handling,
// inflating and the pixel conversion, independent of where the bytes come from and
// of the surface type that receives the pixels.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace imaging::png {

// 89 50 4E 47 0D 0A 1A 0A
bool hasSignature(const uint8_t *data, size_t size);

// Where the chunks come from. Chunks start right after the 8-byte signature.
class ChunkSource {
public:
    virtual ~ChunkSource() = default;
    // The stream length or the file size, signature included.
    virtual uint64_t totalSize() const = 0;
    // The next chunk's length; false when fewer than 4 bytes remain.
    virtual bool readLength(uint32_t &length) = 0;
    // Type and data (length + 4 bytes) and the stored CRC of the chunk whose length
    // was just read. The view lives until the next call, or as long as the source
    // when stableViews() is true.
    virtual bool readBody(uint32_t length, const uint8_t *&typeAndData, uint32_t &storedCrc) = 0;
    virtual bool stableViews() const { return false; }
};

// A view over bytes in memory.
class StreamChunkSource final : public ChunkSource {
public:
    StreamChunkSource(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    uint64_t totalSize() const override { return m_size; }
    bool readLength(uint32_t &length) override;
    bool readBody(uint32_t length, const uint8_t *&typeAndData, uint32_t &storedCrc) override;
    bool stableViews() const override { return true; }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 8;
};

// Sequential reads from an open file positioned after the signature.
class FileReader {
public:
    virtual ~FileReader() = default;
    virtual bool read(uint8_t *buffer, size_t count) = 0;
};

class FileChunkSource final : public ChunkSource {
public:
    FileChunkSource(FileReader &reader, uint64_t fileSize) : m_reader(reader), m_size(fileSize) {}
    uint64_t totalSize() const override { return m_size; }
    bool readLength(uint32_t &length) override;
    bool readBody(uint32_t length, const uint8_t *&typeAndData, uint32_t &storedCrc) override;

private:
    FileReader &m_reader;
    uint64_t m_size;
    std::vector<uint8_t> m_buffer;
};

// Receives the pixels.
class SurfaceSink {
public:
    virtual ~SurfaceSink() = default;
    // A zero-filled bottom-up surface of width x height blue, green, red, alpha
    // pixels; nullptr when it cannot be made.
    virtual uint8_t *create(int32_t width, int32_t height) = 0;
    virtual void destroy() = 0;
    // The pixels are complete; `alpha` says whether they carry transparency.
    virtual void finish(bool alpha) = 0;
};

struct DecodeOptions {
    // With the compression library: chunk CRCs are checked and the library inflates
    // first. Without: no CRC checks and only the built-in inflater.
    bool compressionLibrary = true;
};

enum class DecodeResult {
    Decoded,    // the sink holds the image
    NotDecoded, // the walk stopped (bad chunk, bad header, no image data): sink untouched
    Failed,     // inflating, the surface or the conversion failed: sink destroyed
};

DecodeResult decodePng(ChunkSource &source, SurfaceSink &sink, const DecodeOptions &options = {});

} // namespace imaging::png
