#include "imaging/png/png_parser.h"

#include "imaging/png/png_decoder.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace imaging {

namespace {

// Files this short are never examined for the signature.
constexpr std::int64_t kShortFile = 56;
constexpr size_t kHeadBytes = 58;

class DibSink final : public png::SurfaceSink {
public:
    explicit DibSink(c32bppDIB &dib) : m_dib(dib) {}
    uint8_t *create(int32_t width, int32_t height) override
    {
        return m_dib.InitializeDIB(width, height) ? m_dib.BitsPointer() : nullptr;
    }
    void destroy() override { m_dib.DestroyDIB(); }
    void finish(bool alpha) override
    {
        m_dib.setAlpha(alpha);
        m_dib.setImageType(Png);
    }

private:
    c32bppDIB &m_dib;
};

class DescriptorReader final : public png::FileReader {
public:
    explicit DescriptorReader(int fd) : m_fd(fd) {}
    bool read(uint8_t *buffer, size_t count) override
    {
        while (count > 0) {
            const ssize_t n = ::read(m_fd, buffer, count);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            buffer += n;
            count -= size_t(n);
        }
        return true;
    }

private:
    int m_fd;
};

} // namespace

bool cPNGparser::LoadStream(std::span<const std::uint8_t> Stream, c32bppDIB &dibClass, std::int32_t streamOffset,
                            std::int32_t streamLength, std::uint32_t & /*GlobalToken: no platform library here*/)
{
    if (streamOffset < 0 || streamLength < 0 || size_t(streamOffset) > Stream.size() ||
        Stream.size() - size_t(streamOffset) < size_t(streamLength))
        return false;
    const uint8_t *view = Stream.data() + streamOffset;
    const size_t length = size_t(streamLength);
    if (!png::hasSignature(view, length))
        return false;
    png::StreamChunkSource source(view, length);
    DibSink sink(dibClass);
    png::DecodeOptions options;
    options.compressionLibrary = m_compressionLibrary;
    png::decodePng(source, sink, options);
    return true;
}

bool cPNGparser::LoadFile(int FileHandle, const QString & /*FileName*/, c32bppDIB &dibClass,
                          std::uint32_t & /*GlobalToken*/)
{
    struct stat st {};
    if (FileHandle < 0 || ::fstat(FileHandle, &st) != 0 || ::lseek(FileHandle, 0, SEEK_SET) != 0)
        return false;
    const std::int64_t fileSize = st.st_size;
    if (fileSize <= kShortFile)
        return false;
    DescriptorReader reader(FileHandle);
    uint8_t head[kHeadBytes];
    const size_t headBytes = fileSize < std::int64_t(kHeadBytes) ? size_t(fileSize) : kHeadBytes;
    if (!reader.read(head, headBytes) || !png::hasSignature(head, headBytes))
        return false;
    if (::lseek(FileHandle, 8, SEEK_SET) != 8)
        return true; // PNG, but unreadable: nothing decoded
    png::FileChunkSource source(reader, uint64_t(fileSize));
    DibSink sink(dibClass);
    png::DecodeOptions options;
    options.compressionLibrary = m_compressionLibrary;
    png::decodePng(source, sink, options);
    return true;
}

} // namespace imaging
