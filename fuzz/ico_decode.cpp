// Icon and cursor data: the directory alone, then decoding at a few wanted
// sizes and depths (the decoder rewrites headers in its input, so each
// attempt gets a fresh copy).
#include "fuzz_pixels.h"

#include "imaging/c32bppDIB.h"
#include "imaging/ico_parser.h"

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
    const std::span<const std::uint8_t> input(data, size);
    {
        imaging::ByteArray bytes(input);
        imaging::cICOparser ico;
        std::int32_t offset = 0, length = 0, depth = 32;
        std::uint32_t token = 0;
        ico.LoadStream(bytes, 0, 0, nullptr, offset, length, depth, token);
        unsigned sum = 0;
        for (std::int32_t i = 1; i <= ico.IconCount(); ++i)
            sum += unsigned(ico.Width(i) + ico.Height(i) + ico.bitDepth(i));
        fuzzsupport::keep(sum);
    }
    const struct { std::int32_t w, h, depth; } wanted[] = {{0, 0, 32}, {16, 16, 8}, {256, 256, 32}};
    for (const auto &want : wanted) {
        imaging::ByteArray bytes(input);
        imaging::cICOparser ico;
        imaging::c32bppDIB dib;
        std::int32_t offset = 0, length = 0, depth = want.depth;
        std::uint32_t token = 0;
        ico.LoadStream(bytes, want.w, want.h, &dib, offset, length, depth, token);
        fuzzsupport::readPixels(dib);
    }
    return 0;
}
