// The whole loading pipeline over a byte array: every decoder in turn, with
// the original bytes kept and decoded again at another icon size. The first
// input byte picks a start offset, so slices of a stream are tried too.
#include "fuzz_pixels.h"

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
    if (size < 1 || size > 0x7FFFFFFF)
        return 0;
    const std::int32_t start = data[0] < 8 ? data[0] : 0;
    imaging::ByteArray bytes(std::span<const std::uint8_t>(data + 1, size - 1));
    imaging::c32bppDIB dib;
    if (dib.LoadPicture_Stream(bytes, 0, 0, start, 0, true, 32)) {
        fuzzsupport::readPixels(dib);
        dib.LoadPicture_FromOrignalFormat(16, 16, 8);
        fuzzsupport::readPixels(dib);
    }
    return 0;
}
