// Shared routines of the image engine.
#include "imaging/parsers.h"

#include <QFile>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace imaging {

std::int32_t ScanlineBytes(std::int32_t a, std::int32_t b)
{
    const std::int64_t bits = std::int64_t(a) * b;
    if (bits < 0)
        return 0;
    const std::int64_t bytes = ((bits + 31) & ~std::int64_t(31)) / 8;
    return bytes > INT32_MAX ? 0 : std::int32_t(bytes);
}

std::uint32_t FlipLongBytes(std::uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

std::uintptr_t UnsignedAdd(std::uintptr_t address, std::intptr_t offset)
{
    return address + std::uintptr_t(offset);
}

bool IsArrayAllocated(const ByteArray &bytes) { return !bytes.empty(); }

GrayWeights GrayscaleWeights(std::int32_t formula)
{
    switch (formula) {
    case NoGray: return {1.0f, 1.0f, 1.0f};
    case Luma709: return {0.213f, 0.715f, 0.072f};
    case EqualWeights: return {0.333f, 0.334f, 0.333f};
    case RedWeighted: return {0.8f, 0.1f, 0.1f};
    case GreenWeighted: return {0.1f, 0.8f, 0.1f};
    case BlueWeighted: return {0.1f, 0.1f, 0.8f};
    case RedGreenWeighted: return {0.45f, 0.45f, 0.1f};
    case GreenBlueWeighted: return {0.1f, 0.45f, 0.45f};
    default: return {0.299f, 0.587f, 0.114f};
    }
}

void ClassifyAlphaChannel(std::uint8_t *pixels, std::size_t count, bool fixUp, bool &hasAlpha,
                          std::int32_t &imageType)
{
    // 0: premultiplied so far; 1: colour under full transparency (straight);
    // 2: proven straight, scan stopped.
    int state = 0;
    bool noAlpha = true;
    bool allOpaque = false;
    if (imageType != -1 && pixels) {
        std::size_t zeros = 0, opaque = 0;
        std::size_t i = 0;
        for (; i < count; ++i) {
            const std::uint8_t *p = pixels + i * 4;
            const std::uint8_t a = p[3];
            if (a == 255) {   // the common case first
                ++opaque;
                if (state == 1) {
                    state = 2;
                    break;
                }
            } else if (a == 0) {
                ++zeros;
                if (state == 0 && (p[0] | p[1] | p[2]))
                    state = 1;
            } else if (state == 1 || p[0] > a || p[1] > a || p[2] > a) {
                state = 2;
                break;
            }
        }
        const bool ranToEnd = i == count;
        noAlpha = ranToEnd && (zeros == count || opaque == count);
        allOpaque = ranToEnd && opaque == count;
    }
    if (noAlpha) {
        imageType = 1;
        hasAlpha = false;
        if (fixUp && pixels && !allOpaque)   // already opaque: nothing to write
            for (std::size_t i = 0; i < count; ++i)
                pixels[i * 4 + 3] = 255;
        return;
    }
    hasAlpha = true;
    if (state == 0) {
        imageType = 7;
        return;
    }
    imageType = 6;
    if (!fixUp)
        return;
    // premultiply[a][c] = c * a / 255, truncated; row 0 is all zero.
    static const auto premultiply = [] {
        std::array<std::array<std::uint8_t, 256>, 256> t{};
        for (unsigned a = 0; a < 256; ++a)
            for (unsigned c = 0; c < 256; ++c)
                t[a][c] = std::uint8_t(c * a / 255);
        return t;
    }();
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t *p = pixels + i * 4;
        const std::uint8_t a = p[3];
        if (a == 255)
            continue;
        const auto &t = premultiply[a];
        p[0] = t[p[0]];
        p[1] = t[p[1]];
        p[2] = t[p[2]];
    }
}

int OpenFileHandle(const QString &name, bool forReading, bool)
{
    if (name.isEmpty())
        return INVALID_HANDLE_VALUE;
    const QByteArray path = QFile::encodeName(name);
    int fd;
    do {
        fd = forReading ? ::open(path.constData(), O_RDONLY | O_CLOEXEC)
                        : ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? INVALID_HANDLE_VALUE : fd;
}

void CloseFileHandle(int handle)
{
    if (handle >= 0)
        ::close(handle);
}

bool DeleteFileForced(const QString &name, bool)
{
    if (name.isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(name);
    struct stat st;
    if (::lstat(path.constData(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    if (!S_ISLNK(st.st_mode))
        ::chmod(path.constData(), st.st_mode | S_IWUSR);
    return ::unlink(path.constData()) == 0;
}

bool FileExists(const QString &name, bool)
{
    if (name.isEmpty())
        return false;
    struct stat st;
    return ::stat(QFile::encodeName(name).constData(), &st) == 0;
}

} // namespace imaging
