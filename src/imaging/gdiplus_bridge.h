#pragma once
// The platform imaging library bridge. That library does not exist on this
// platform: every member reports failure and the callers take their own paths.
#include "imaging/bytearray.h"
#include "platform/gdi/gdi.h"

#include <QString>
#include <cstdint>

namespace imaging {

class c32bppDIB;

class cGDIPlus {
public:
    // False; the token is left 0.
    bool isGDIplusOk(std::uint32_t &gdiToken, bool keepToken = false);
    // Start: false with the token 0. Stop: nothing to shut down.
    bool StartStopGDIplus(std::uint32_t &token, bool stop);
    bool SaveToPNG(const QString &fileName, ByteArray &outStream, const c32bppDIB &host, std::uint32_t globalToken);
    bool LoadImageGDIplus(const QString &fileName, c32bppDIB &host, std::uint32_t token);
    bool LoadImageGDIplus(const ByteArray &bytes, c32bppDIB &host, std::uint32_t token);
    bool RenderGDIplus(const c32bppDIB &source, gdi::HDC dc, float angle, std::int32_t opacity, std::int32_t destX,
                       std::int32_t destY, std::int32_t destWidth, std::int32_t destHeight, std::int32_t srcX,
                       std::int32_t srcY, std::int32_t srcWidth, std::int32_t srcHeight, bool highQuality,
                       std::int32_t grayFormula, std::uint32_t token);
};

} // namespace imaging
