#pragma once
// cBMPparser reads 32-bit uncompressed bitmap files itself, keeping their
// alpha channel; every other format the platform's picture loader takes
// (bitmaps of other depths and compressions, GIF, JPEG) goes through that
// loader and the picture conversion.
//
//   imaging::cBMPparser bmp;
//   bool decoded = bmp.LoadStream(bytes, dib, 0, std::int32_t(bytes.size()));
#include "imaging/c32bppDIB.h"
#include "platform/picture/picture.h"

#include <cstdint>
#include <span>

namespace imaging {

class cBMPparser {
public:
    // True when a surface was produced.
    bool LoadStream(std::span<const std::uint8_t> inStream, c32bppDIB &cHost, std::int32_t streamOffset,
                    std::int32_t streamLength);
    // Any picture kind but none: drawn into a surface of its pixel size.
    // Bitmaps become opaque; a metafile's untouched background transparent.
    // bitCount is informational (0 when not known).
    bool ConvertstdPicTo32bpp(const platform::Picture &stdPic, c32bppDIB &cHost, std::int16_t bitCount = 0);
};

} // namespace imaging
