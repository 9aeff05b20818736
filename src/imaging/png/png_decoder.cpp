#include "imaging/png/png_decoder.h"

#include "platform/limits.h"

#include "imaging/png/inflate.h"
#include "imaging/png/png_pixels.h"
#include "imaging/zlib_bridge.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace imaging::png {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
// The PNG standard caps chunk lengths at 2^31 - 1.
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFFu;

inline uint32_t be32(const uint8_t *p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

constexpr uint32_t chunkType(const char (&t)[5])
{
    return (uint32_t(uint8_t(t[0])) << 24) | (uint32_t(uint8_t(t[1])) << 16) | (uint32_t(uint8_t(t[2])) << 8) |
           uint8_t(t[3]);
}

constexpr uint32_t kIHDR = chunkType("IHDR");
constexpr uint32_t kPLTE = chunkType("PLTE");
constexpr uint32_t kTRNS = chunkType("tRNS");
constexpr uint32_t kIDAT = chunkType("IDAT");
constexpr uint32_t kIEND = chunkType("IEND");

bool parseHeader(const uint8_t *d, uint32_t length, ImageHeader &h)
{
    if (length < 13)
        return false;
    const int32_t width = int32_t(be32(d));
    const int32_t height = int32_t(be32(d + 4));
    const uint8_t depth = d[8];
    const uint8_t type = d[9];
    if (width < 1 || height < 1 || d[10] != 0 || d[11] != 0 || d[12] > 1)
        return false;
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16)
        return false;
    if (type != 0 && type != 2 && type != 3 && type != 4 && type != 6)
        return false;
    // The image size limit: width x 32 x height must fit a signed 32-bit value.
    if (!limits::imageFits(width, height, 32))
        return false;
    h.width = width;
    h.height = height;
    h.bitDepth = depth;
    h.colourType = type;
    h.interlace = d[12];
    return true;
}

// A short tRNS chunk keeps the transparent colour it had.
void applyTransparency(const ImageHeader &h, const uint8_t *d, uint32_t length, ColourInfo &c)
{
    c.transparency.assign(d, d + length);
    switch (h.colourType) {
    case 0:
        if (length >= 2)
            c.transparentColour = d[1];
        break;
    case 2:
        if (length >= 6)
            c.transparentColour = (int32_t(d[1]) << 16) | (int32_t(d[3]) << 8) | d[5];
        break;
    case 3:
        if (c.transparency.size() < 256)
            c.transparency.resize(256, 255);
        c.transparentColour = 0;
        break;
    default:
        break;
    }
}

class Decoder {
public:
    Decoder(ChunkSource &source, SurfaceSink &sink, const DecodeOptions &options)
        : m_source(source), m_sink(sink), m_options(options)
    {
    }

    DecodeResult run()
    {
        if (!walk() || !m_haveHeader || m_idatSize == 0)
            return DecodeResult::NotDecoded;
        return decode() ? DecodeResult::Decoded : DecodeResult::Failed;
    }

private:
    // CRCs are tested only with the compression library; a stored CRC of 0 is
    // taken as "not recorded" and a computed CRC of 0 as a mismatch.
    bool crcOk(const uint8_t *typeAndData, uint32_t length, uint32_t stored) const
    {
        if (!m_options.compressionLibrary || stored == 0)
            return true;
        const uint32_t computed = zlib::crc32(0, {typeAndData, size_t(length) + 4});
        return computed != 0 && computed == stored;
    }

    bool walk()
    {
        const uint64_t total = m_source.totalSize();
        uint64_t consumed = 8;
        for (;;) {
            uint32_t length = 0;
            // Data that ends without IEND is a failure, not a success.
            if (!m_source.readLength(length) || length > kMaxChunkLength)
                return false;
            consumed += uint64_t(length) + 12;
            if (consumed > total)
                return false;
            const uint8_t *td = nullptr;
            uint32_t stored = 0;
            if (!m_source.readBody(length, td, stored))
                return false;
            const uint32_t type = be32(td);
            if (type == kIEND)
                return true;
            if (length == 0)
                continue;
            const uint8_t *data = td + 4;
            switch (type) {
            case kIHDR:
                if (!crcOk(td, length, stored) || !parseHeader(data, length, m_header))
                    return false;
                m_haveHeader = true;
                break;
            case kPLTE:
                if (m_header.colourType == 0 || m_header.colourType == 4)
                    break;
                if (!crcOk(td, length, stored) || length % 3 != 0)
                    return false;
                m_colour.palette.assign(data, data + length);
                break;
            case kTRNS:
                if (m_header.colourType == 4 || m_header.colourType == 6 || !crcOk(td, length, stored))
                    break;
                applyTransparency(m_header, data, length, m_colour);
                break;
            case kIDAT:
                if (!crcOk(td, length, stored))
                    return false;
                addImageData(data, length);
                break;
            default:
                break; // ancillary and unknown chunks, critical or not
            }
        }
    }

    void addImageData(const uint8_t *data, uint32_t length)
    {
        if (m_source.stableViews()) {
            m_spans.emplace_back(data, length); // joined only when there are several
        } else {
            if (m_idat.empty())
                m_idat.reserve(size_t(m_source.totalSize() / 2 + 1));
            m_idat.insert(m_idat.end(), data, data + length);
        }
        m_idatSize += length;
    }

    bool decode()
    {
        const uint8_t *z = nullptr;
        size_t zlen = m_idatSize;
        if (m_spans.size() == 1) {
            z = m_spans.front().first;
        } else {
            if (!m_spans.empty()) {
                m_idat.reserve(m_idatSize);
                for (const auto &[p, n] : m_spans)
                    m_idat.insert(m_idat.end(), p, p + n);
            }
            z = m_idat.data();
        }

        const size_t expected = inflatedSize(m_header);
        preparePalette(m_header, m_colour);
        uint8_t *bits = m_sink.create(m_header.width, m_header.height);
        if (!bits)
            return fail();
        // The built-in inflater decodes every stream the library accepts to the same
        // bytes, and more: it skips the two header bytes and ignores the Adler-32
        // trailer, so data that the library refuses only for its checksum decodes too.
        // It goes first because it is the faster of the two (several times faster on
        // long runs of repeated pixels); the library is asked only when it fails.
        const Outcome outcome = zlen >= 2 ? decodeStreaming(z + 2, zlen - 2, expected, bits) : Outcome::InflateFailed;
        if (outcome == Outcome::InflateFailed && m_options.compressionLibrary) {
            if (!decodeWhole(z, zlen, expected, bits))
                return fail();
        } else if (outcome != Outcome::Decoded) {
            return fail();
        }
        std::vector<uint8_t>().swap(m_idat);
        m_spans.clear();
        const bool alpha =
            m_header.colourType == 4 || m_header.colourType == 6 || m_colour.transparentColour != -1;
        m_sink.finish(alpha);
        return true;
    }

    enum class Outcome { Decoded, InflateFailed, ConvertFailed };

    // Inflates into a buffer of a few hundred kilobytes and converts the rows as they
    // arrive; whenever the buffer fills, the last 32 KB of output (what later matches
    // may copy from) and the rows still needed slide back to its start. A large image
    // thus never needs its whole inflated data in memory.
    Outcome decodeStreaming(const uint8_t *deflate, size_t length, size_t expected, uint8_t *bits)
    {
        RowDecoder rows(m_header, m_colour, bits);
        if (!rows.usable())
            return Outcome::ConvertFailed;
        constexpr size_t kWindow = StreamInflater::kWindow;
        constexpr size_t kChunk = 128 * 1024;
        const size_t rowMax = rowBytes(m_header, uint32_t(m_header.width)) + 1;
        // Room for the window or the previous row with the unfinished one, and a
        // chunk beyond them: every refill of the buffer makes progress.
        const size_t capacity = std::min(expected, std::max(kWindow, 2 * rowMax) + kChunk);
        std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[capacity]);
        if (!buffer)
            return Outcome::ConvertFailed;
        uint8_t *const buf = buffer.get();
        StreamInflater inflater(deflate, length);
        size_t base = 0; // position of buf[0] in the whole inflated data
        uint8_t *out = buf;
        const uint8_t *rowPos = buf;
        bool inflated = false;
        for (;;) {
            const bool last = expected - base <= capacity;
            uint8_t *const end = buf + (last ? expected - base : capacity);
            if (!inflated) {
                const StreamInflater::Status status = inflater.run(buf, out, end, last);
                if (status == StreamInflater::Status::Failed)
                    return Outcome::InflateFailed;
                inflated = status == StreamInflater::Status::Finished;
            }
            if (inflated) {
                // Short image data leaves the rest of the rows zero.
                std::memset(out, 0, size_t(end - out));
                out = end;
            }
            rowPos = rows.consume(rowPos, out);
            if (!rowPos)
                return Outcome::ConvertFailed;
            if (inflated && last)
                return rows.finished() ? Outcome::Decoded : Outcome::ConvertFailed;
            uint8_t *keep = size_t(out - buf) > kWindow ? out - kWindow : buf;
            if (const uint8_t *prev = rows.previousRow(); prev && prev < keep)
                keep = buf + (prev - buf);
            if (rowPos < keep)
                keep = buf + (rowPos - buf);
            const size_t shift = size_t(keep - buf);
            std::memmove(buf, keep, size_t(out - keep));
            base += shift;
            out -= shift;
            rowPos -= shift;
            rows.moved(-std::ptrdiff_t(shift));
        }
    }

    // The compression library's way: the whole inflated data at once, then the rows.
    bool decodeWhole(const uint8_t *z, size_t zlen, size_t expected, uint8_t *bits)
    {
        std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[expected]);
        if (!out)
            return false;
        size_t produced = 0;
        if (zlib::uncompress({out.get(), expected}, produced, {z, zlen}) != zlib::Z_OK)
            return false;
        std::memset(out.get() + produced, 0, expected - produced);
        return unfilterAndConvert(m_header, m_colour, out.get(), expected, bits);
    }

    bool fail()
    {
        m_sink.destroy();
        return false;
    }

    ChunkSource &m_source;
    SurfaceSink &m_sink;
    const DecodeOptions &m_options;
    ImageHeader m_header;
    bool m_haveHeader = false;
    ColourInfo m_colour;
    std::vector<uint8_t> m_idat;
    std::vector<std::pair<const uint8_t *, size_t>> m_spans;
    size_t m_idatSize = 0;
};

} // namespace

bool hasSignature(const uint8_t *data, size_t size)
{
    return data && size >= 8 && std::memcmp(data, kSignature, 8) == 0;
}

bool StreamChunkSource::readLength(uint32_t &length)
{
    if (m_pos > m_size || m_size - m_pos < 4)
        return false;
    length = be32(m_data + m_pos);
    return true;
}

bool StreamChunkSource::readBody(uint32_t length, const uint8_t *&typeAndData, uint32_t &storedCrc)
{
    if (m_pos > m_size || m_size - m_pos < 12 || m_size - m_pos - 12 < length)
        return false;
    typeAndData = m_data + m_pos + 4;
    storedCrc = be32(m_data + m_pos + 8 + length);
    m_pos += size_t(length) + 12;
    return true;
}

bool FileChunkSource::readLength(uint32_t &length)
{
    uint8_t b[4];
    if (!m_reader.read(b, 4))
        return false;
    length = be32(b);
    return true;
}

bool FileChunkSource::readBody(uint32_t length, const uint8_t *&typeAndData, uint32_t &storedCrc)
{
    // The caller has checked length + 12 against the file size, so the buffer is
    // never larger than the file.
    m_buffer.resize(size_t(length) + 4);
    uint8_t crc[4];
    if (!m_reader.read(m_buffer.data(), m_buffer.size()) || !m_reader.read(crc, 4))
        return false;
    typeAndData = m_buffer.data();
    storedCrc = be32(crc);
    return true;
}

DecodeResult decodePng(ChunkSource &source, SurfaceSink &sink, const DecodeOptions &options)
{
    try {
        Decoder decoder(source, sink, options);
        return decoder.run();
    } catch (const std::bad_alloc &) {
        sink.destroy();
        return DecodeResult::Failed;
    }
}

} // namespace imaging::png
