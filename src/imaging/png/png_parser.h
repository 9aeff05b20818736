#pragma once
// cPNGparser turns PNG data, in memory or in an open file, into a c32bppDIB of
// premultiplied pixels.
//
//   imaging::cPNGparser png;
//   std::uint32_t token = dib.gdiToken();
//   bool isPng = png.LoadStream(bytes, dib, 0, std::int32_t(bytes.size()), token);
//   bool decoded = dib.Handle() != 0;
//
// The result says whether the data is PNG (it starts with the signature), not
// whether pixels were decoded: a PNG that fails to decode still answers true so
// that the loader tries no other format. Callers tell success by the surface's
// Handle. A failed decode leaves the surface as it was when the chunks were
// unusable, and destroyed when inflating, the surface or the pixels failed.
#include "imaging/c32bppDIB.h"

#include <QString>
#include <cstdint>
#include <span>

namespace imaging {

class cPNGparser {
public:
    // The view is Stream[streamOffset, streamOffset + streamLength); a view that
    // does not lie inside the array is not PNG.
    bool LoadStream(std::span<const std::uint8_t> Stream, c32bppDIB &dibClass, std::int32_t streamOffset,
                    std::int32_t streamLength, std::uint32_t &GlobalToken);
    // FileHandle is an open descriptor (OpenFileHandle); the file is read from its
    // start. Files of 56 bytes or less are never PNG here (no platform imaging
    // library to offer them to).
    bool LoadFile(int FileHandle, const QString &FileName, c32bppDIB &dibClass, std::uint32_t &GlobalToken);

    // Decodes as a build without the compression library does: no chunk CRC checks
    // and the built-in inflater only. On by default.
    void setCompressionLibrary(bool present) { m_compressionLibrary = present; }

private:
    bool m_compressionLibrary = true;
};

} // namespace imaging
