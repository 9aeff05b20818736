// GIF data: the first-frame extraction and its decoding through the picture
// loader, over the whole input and over a slice that starts one byte in.
#include "fuzz_pixels.h"

#include "imaging/c32bppDIB.h"
#include "imaging/gif_parser.h"

#include <cstdint>
#include <span>

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
    {
        imaging::c32bppDIB dib;
        imaging::cGIFparser gif;
        gif.LoadStream(bytes, dib, 0, std::int32_t(size));
        fuzzsupport::readPixels(dib);
    }
    if (size > 1) {
        imaging::c32bppDIB dib;
        imaging::cGIFparser gif;
        gif.LoadStream(bytes, dib, 1, std::int32_t(size - 1));
        fuzzsupport::readPixels(dib);
    }
    return 0;
}
