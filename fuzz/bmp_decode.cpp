// Bitmap data: 32-bit files read directly, everything else through the picture
// loader and the picture conversion.
#include "fuzz_pixels.h"

#include "imaging/bmp_parser.h"
#include "imaging/c32bppDIB.h"

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
    imaging::c32bppDIB dib;
    imaging::cBMPparser bmp;
    bmp.LoadStream(std::span<const std::uint8_t>(data, size), dib, 0, std::int32_t(size));
    fuzzsupport::readPixels(dib);
    return 0;
}
