// The sizes of the icon or cursor entries an image was loaded from.
#include "imaging/c32bppDIB.h"
#include "imaging/ico_parser.h"

namespace imaging {

namespace {

std::int32_t colourCode(std::int32_t bits)
{
    switch (bits) {
    case 1: return 2;
    case 2: return 4;
    case 4: return 16;
    case 8: return 256;
    case 24: return std::int32_t(0xFF000000u); // true colour
    default: return bits < 24 ? 0xFFFF00 : -1; // high colour; true colour with alpha
    }
}

} // namespace

std::int32_t c32bppDIB::SourceIconSizes(std::vector<IconSize> &sizeArray) const
{
    const std::int32_t type = ImageType();
    if (type != Icon && type != Cursor && type != AlphaIcon && type != PngIcon && type != AlphaCursor)
        return 0;
    if (originalBytes().empty()) {
        sizeArray.assign(1, IconSize{Width(), Height(), 32, -1});
        return 1;
    }
    // The directory only: no surface to decode into.
    ByteArray bytes{std::span<const std::uint8_t>(originalBytes())};
    cICOparser ico;
    std::int32_t offset = 0, length = 0, depth = 32;
    std::uint32_t token = gdiToken();
    if (!ico.LoadStream(bytes, 32, 32, nullptr, offset, length, depth, token))
        return 0;
    sizeArray.clear();
    sizeArray.reserve(ico.Entries().size());
    for (const cICOparser::Entry &e : ico.Entries())
        sizeArray.push_back({e.width, e.height, e.bitDepth, colourCode(e.bitDepth)});
    return std::int32_t(sizeArray.size());
}

} // namespace imaging
