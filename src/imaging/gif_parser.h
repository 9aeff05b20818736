#pragma once
// cGIFparser takes the first image of a GIF file: it copies that frame into
// a one-frame GIF of its own size at 0, 0, lets the platform's picture loader
// decode the copy and writes it into a surface, the transparent colour index
// turned into alpha.
//
//   imaging::cGIFparser gif;
//   bool isGif = gif.LoadStream(bytes, dib, 0, std::int32_t(bytes.size()));
//   bool decoded = dib.Handle() != 0;
//
// The result is false for data that is not a GIF or has no usable first
// image; a GIF that runs past the end of the data answers true with the
// surface emptied, so that no other decoder is tried.
#include "imaging/c32bppDIB.h"

#include <cstdint>
#include <span>
#include <vector>

namespace imaging {

class cGIFparser {
public:
    bool LoadStream(std::span<const std::uint8_t> inStream, c32bppDIB &cHost, std::int32_t streamOffset,
                    std::int32_t streamLength);

    // The one-frame copy made by the last ExtractFirstFrame (for tests and
    // tools): the colour table in use is a grey ramp when the frame has a
    // transparent index.
    const std::vector<std::uint8_t> &frameCopy() const { return m_copy; }

private:
    enum class Step { Ok, NotGif, ReadPastEnd };
    Step ExtractFirstFrame(std::span<const std::uint8_t> view);
    bool RenderGIFFrame(c32bppDIB &host, std::span<const std::uint8_t> view);

    std::vector<std::uint8_t> m_copy;
    std::int32_t m_transparentIndex = -1;
    std::int64_t m_tableOffset = 0;    // the source's table in use
    std::int32_t m_tableEntries = 0;
};

} // namespace imaging
