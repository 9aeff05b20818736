#include "imaging/gdiplus_bridge.h"

namespace imaging {

bool cGDIPlus::isGDIplusOk(std::uint32_t &gdiToken, bool)
{
    gdiToken = 0;
    return false;
}

bool cGDIPlus::StartStopGDIplus(std::uint32_t &token, bool stop)
{
    if (!stop)
        token = 0;
    return false;
}

bool cGDIPlus::SaveToPNG(const QString &, ByteArray &, const c32bppDIB &, std::uint32_t) { return false; }

bool cGDIPlus::LoadImageGDIplus(const QString &, c32bppDIB &, std::uint32_t) { return false; }

bool cGDIPlus::LoadImageGDIplus(const ByteArray &, c32bppDIB &, std::uint32_t) { return false; }

bool cGDIPlus::RenderGDIplus(const c32bppDIB &, gdi::HDC, float, std::int32_t, std::int32_t, std::int32_t,
                             std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                             bool, std::int32_t, std::uint32_t)
{
    return false;
}

} // namespace imaging
