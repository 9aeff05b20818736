// PNG data into a surface, as a stream with the compression library on and off,
// and as a file through the descriptor reader.
#include "fuzz_app.h"

#include "imaging/c32bppDIB.h"
#include "imaging/png/png_parser.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Touches every pixel so that a surface whose size and bits disagree shows up.
void readPixels(const imaging::c32bppDIB &dib)
{
    if (!dib.Handle())
        return;
    const std::uint8_t *p = dib.BitsPointer();
    const std::size_t n = std::size_t(dib.Width()) * std::size_t(dib.Height()) * 4;
    unsigned sum = 0;
    for (std::size_t i = 0; i < n; i += 61)
        sum += p[i];
    if (n)
        sum += p[n - 1];
    fuzzsupport::keep(sum);
}

int memoryFile(const std::uint8_t *data, std::size_t size)
{
    const int fd = memfd_create("png", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) {
            close(fd);
            return -1;
        }
        done += std::size_t(n);
    }
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzzsupport::startApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 0x7FFFFFFF)
        return 0;
    const std::span<const std::uint8_t> bytes(data, size);
    for (bool library : {true, false}) {
        imaging::c32bppDIB dib;
        imaging::cPNGparser parser;
        parser.setCompressionLibrary(library);
        std::uint32_t token = 0;
        parser.LoadStream(bytes, dib, 0, std::int32_t(size), token);
        readPixels(dib);
    }
    if (const int fd = memoryFile(data, size); fd >= 0) {
        imaging::c32bppDIB dib;
        imaging::cPNGparser parser;
        parser.setCompressionLibrary(false);
        std::uint32_t token = 0;
        parser.LoadFile(fd, QString(), dib, token);
        readPixels(dib);
        close(fd);
    }
    return 0;
}
