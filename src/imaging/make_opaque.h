#pragma once
// Every alpha byte of 32-bit pixels set to 255, as the alpha classification
// does with no alpha assumed. Drawn pictures are mostly opaque already, so the
// bytes are only read until one is not.
#include "imaging/parsers.h"

#include <cstddef>
#include <cstdint>

namespace imaging {

inline void MakeOpaque(std::uint8_t *pixels, std::size_t count)
{
    // Blocks of 64 pixels: the alpha bytes and-ed together (a loop the compiler
    // vectorises), then pixel by pixel from the first block that is not opaque.
    std::size_t i = 0;
    for (; i + 64 <= count; i += 64) {
        std::uint8_t all = 255;
        for (std::size_t k = 0; k < 64; ++k)
            all &= pixels[(i + k) * 4 + 3];
        if (all != 255)
            break;
    }
    while (i < count && pixels[i * 4 + 3] == 255)
        ++i;
    if (i == count)
        return;
    bool hasAlpha = false;
    std::int32_t type = -1;
    ClassifyAlphaChannel(pixels + i * 4, count - i, true, hasAlpha, type);
}

} // namespace imaging
