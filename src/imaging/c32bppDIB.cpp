// The 32-bit image surface: construction, drawing context and pixel access.
#include "imaging/c32bppDIB.h"

#include "platform/limits.h"

#include "imaging/parsers.h"
#include "imaging/zlib_bridge.h"

#include <array>
#include <cstring>
#include <limits>

namespace imaging {

namespace {

// unpremultiply[a][c] = (c * 255) \ a, capped at 255 (a colour byte above its
// alpha is malformed; capping keeps it a byte instead of wrapping).
const std::array<std::array<std::uint8_t, 256>, 256> &unpremultiplyTable()
{
    static const auto table = [] {
        std::array<std::array<std::uint8_t, 256>, 256> t{};
        for (int a = 1; a < 256; ++a)
            for (int c = 0; c < 256; ++c)
                t[a][c] = std::uint8_t(std::min(255, (c * 255) / a));
        return t;
    }();
    return table;
}

// One row of surface pixels into 3- or 4-byte output pixels, blue and red at
// the given offsets, optionally with the colour turned back to straight.
template <int Bpp, bool Straight>
void convertRow(const std::uint8_t *src, std::uint8_t *dst, std::int32_t width, int ob, int orr,
                const std::array<std::array<std::uint8_t, 256>, 256> &unpremultiply)
{
    for (std::int32_t i = 0; i < width; ++i, src += 4, dst += Bpp) {
        const std::uint8_t a = src[3];
        std::uint8_t b = src[0], g = src[1], r = src[2];
        if (Straight && a != 255) {
            const auto &t = unpremultiply[a];   // row 0 is all zero: alpha 0 gives black
            b = t[b];
            g = t[g];
            r = t[r];
        }
        dst[ob] = b;
        dst[1] = g;
        dst[orr] = r;
        if constexpr (Bpp == 4)
            dst[3] = a;
    }
}

struct Rect {
    std::int32_t x, y, width, height;
};

// Defaulting and clipping shared by GetDIBbits, SetDIBbits and GetAlphaMask.
bool clipRect(std::int32_t surfaceW, std::int32_t surfaceH, std::int32_t x, std::int32_t y, std::int32_t w,
              std::int32_t h, Rect &out)
{
    if (x < 0 || y < 0)
        return false;
    if (w == 0)
        w = surfaceW;
    if (h == 0)
        h = surfaceH;
    if (std::int64_t(x) + w > surfaceW)
        w = surfaceW - x;
    if (std::int64_t(y) + h > surfaceH)
        h = surfaceH - y;
    if (w <= 0 || h <= 0)
        return false;
    out = Rect{x, y, w, h};
    return true;
}

// Row bytes of a 3- or 4-byte layout.
std::int64_t rowBytesFor(std::int32_t width, bool fourBytes, bool wordAligned)
{
    if (fourBytes)
        return std::int64_t(width) * 4;
    return wordAligned ? ((std::int64_t(width) * 24 + 31) & ~std::int64_t(31)) / 8 : std::int64_t(width) * 3;
}

constexpr std::int64_t kMaxBytes = limits::kMaxImageBytes;

} // namespace

c32bppDIB::c32bppDIB()
{
    // This platform has an alpha-blend drawing call and no GDI+.
    m_flags = capAlphaBlendPresent | capAlphaBlendUsed | capNoGDIplus;
    setGDIplusEnabled(true);
    if (isGDIplusEnabled())
        m_highQuality = true;
}

c32bppDIB::~c32bppDIB() { DestroyDIB(); }

void c32bppDIB::deleteOwnDC()
{
    if (!m_dc)
        return;
    if (m_displaced) {
        gdi::SelectObject(m_dc, m_displaced);
        m_displaced = 0;
    }
    gdi::DeleteDC(m_dc);
    m_dc = 0;
}

bool c32bppDIB::InitializeDIB(std::int32_t width, std::int32_t height)
{
    DestroyDIB();
    if (width < 0 || height == 0 || height == std::numeric_limits<std::int32_t>::min())
        return false;
    if (height < 0)
        height = -height;
    if (!limits::imageFits(width, height, 4))
        return false;
    const gdi::HDC screen = gdi::GetDC(0);
    const gdi::BITMAPINFO bi = gdi::makeBitmapInfo(width, height, 32);
    std::uint8_t *bits = nullptr;
    const gdi::HBITMAP bmp = gdi::CreateDIBSection(screen, bi, gdi::DIB_RGB_COLORS, &bits);
    if (m_manageOwnDC && !m_dc)
        m_dc = gdi::CreateCompatibleDC(screen);
    gdi::ReleaseDC(0, screen);
    if (!bmp)
        return false;
    m_handle = bmp;
    m_bits = bits;
    m_width = width;
    m_height = height;
    m_alpha = true;
    m_imageType = Blank;
    return true;
}

void c32bppDIB::DestroyDIB()
{
    deleteOwnDC();
    if (m_handle) {
        gdi::DeleteObject(m_handle);
        m_original.clear();
        m_original.shrink_to_fit();
    }
    m_width = m_height = 0;
    m_handle = 0;
    m_bits = nullptr;
    m_displaced = 0;
    m_alpha = false;
    m_imageType = NoImage;
}

void c32bppDIB::EraseDIB()
{
    if (!m_handle)
        return;
    std::memset(m_bits, 0, std::size_t(m_width) * std::size_t(m_height) * 4);
    m_imageType = Blank;
    m_alpha = true;
}

gdi::HDC c32bppDIB::LoadDIBinDC(bool load)
{
    if (load) {
        if (!m_handle)
            return 0;
        if (!m_dc)
            m_dc = gdi::CreateCompatibleDC(0);
        if (!m_dc)
            return 0;
        if (!m_displaced)
            m_displaced = gdi::SelectObject(m_dc, m_handle);
        return m_displaced ? m_dc : 0;
    }
    if (m_displaced && m_dc) {
        gdi::SelectObject(m_dc, m_displaced);
        m_displaced = 0;
    }
    if (!m_manageOwnDC)
        deleteOwnDC();
    return 0;
}

void c32bppDIB::setManageOwnDC(bool on)
{
    m_manageOwnDC = on;
    if (!on) {
        deleteOwnDC();   // deselects first
    } else if (!m_dc && m_handle) {
        m_dc = gdi::CreateCompatibleDC(0);
    }
}

void c32bppDIB::setAlphaBlendFriendly(bool on)
{
    if (!on)
        m_flags &= ~std::uint32_t(capAlphaBlendUsed);
    else if (m_flags & capAlphaBlendPresent)
        m_flags |= capAlphaBlendUsed;
}

void c32bppDIB::setGDIplusEnabled(bool on)
{
    if (on == isGDIplusEnabled())
        return;
    m_flags &= ~std::uint32_t(capGDIplusUsed);
    // Starting a GDI+ session is impossible here (capNoGDIplus is always set),
    // so the bit stays clear.
}

bool c32bppDIB::isZlibEnabled() const
{
    ZlibInfo info;
    return FindZlib(info, true);
}

std::int32_t c32bppDIB::GetPixel(std::int32_t x, std::int32_t y, std::int32_t *alphaValue,
                                 bool asPreMultiplied) const
{
    if (alphaValue)
        *alphaValue = 0;
    if (!m_handle || x < 0 || y < 0 || x >= m_width || y >= m_height)
        return -1;
    const std::uint8_t *p = m_bits + (std::size_t(m_height - 1 - y) * m_width + x) * 4;
    const std::uint8_t a = p[3];
    if (alphaValue)
        *alphaValue = a;
    std::uint8_t b = p[0], g = p[1], r = p[2];
    if (!asPreMultiplied && a != 0 && a != 255) {
        const auto &t = unpremultiplyTable()[a];
        b = t[b];
        g = t[g];
        r = t[r];
    }
    return std::int32_t(gdi::RGB(r, g, b));
}

std::uint8_t *c32bppDIB::SetPixel(std::int32_t x, std::int32_t y, std::uint32_t color, std::int32_t alphaValue,
                                  bool isPreMultiplied)
{
    if (!m_handle || alphaValue < 0 || alphaValue > 255 || x < 0 || y < 0 || x >= m_width || y >= m_height)
        return nullptr;
    std::uint8_t *p = m_bits + (std::size_t(m_height - 1 - y) * m_width + x) * 4;
    const unsigned a = unsigned(alphaValue);
    unsigned r = color & 255, g = (color >> 8) & 255, b = (color >> 16) & 255;
    if (a == 0) {
        r = g = b = 0;
        m_alpha = true;
    } else if (!isPreMultiplied && a < 255) {
        r = r * a / 255;
        g = g * a / 255;
        b = b * a / 255;
    } else {
        // Given as premultiplied: a byte above its alpha cannot be, so it is
        // premultiplied after all.
        if (r > a)
            r = r * a / 255;
        if (g > a)
            g = g * a / 255;
        if (b > a)
            b = b * a / 255;
    }
    p[0] = std::uint8_t(b);
    p[1] = std::uint8_t(g);
    p[2] = std::uint8_t(r);
    p[3] = std::uint8_t(a);
    if (a != 255)
        m_alpha = true;
    return p;
}

bool c32bppDIB::GetDIBbits(ByteArray &out, bool as2dArray, bool asBGRformat, bool as32bpp, bool asWordAligned,
                           bool asBottomUp, std::int32_t x, std::int32_t y, std::int32_t width,
                           std::int32_t height, bool asPreMultiplied) const
{
    Rect rc;
    if (!m_handle || !clipRect(m_width, m_height, x, y, width, height, rc))
        return false;
    const int bpp = as32bpp ? 4 : 3;
    const std::int64_t rowBytes = rowBytesFor(rc.width, as32bpp, asWordAligned);
    if (!limits::productFits(rc.height, rowBytes, kMaxBytes))
        return false;
    // Every byte is written below (padding included), so the buffer is not
    // cleared first.
    const bool sized = as2dArray ? out.resize2DForOverwrite(std::size_t(rowBytes), std::size_t(rc.height))
                                 : out.resizeForOverwrite(std::size_t(rowBytes * rc.height));
    if (!sized)
        return false;

    const std::size_t scan = std::size_t(m_width) * 4;
    if (as32bpp && asBGRformat && asBottomUp && asPreMultiplied && rc.width == m_width && rc.height == m_height) {
        std::memcpy(out.data(), m_bits, scan * std::size_t(m_height));
        return true;
    }
    const auto &unpremultiply = unpremultiplyTable();
    // Byte offsets of blue and red in an output pixel (green is always 1).
    const int ob = asBGRformat ? 0 : 2, orr = asBGRformat ? 2 : 0;
    for (std::int32_t k = 0; k < rc.height; ++k) {
        const std::int32_t sy = rc.y + k;
        const std::uint8_t *src = m_bits + std::size_t(m_height - 1 - sy) * scan + std::size_t(rc.x) * 4;
        const std::int32_t outRow = asBottomUp ? rc.height - 1 - k : k;
        std::uint8_t *dst = out.data() + std::size_t(outRow) * std::size_t(rowBytes);
        const std::size_t used = std::size_t(rc.width) * bpp;
        if (used < std::size_t(rowBytes))
            std::memset(dst + used, 0, std::size_t(rowBytes) - used);
        if (asPreMultiplied && as32bpp && asBGRformat) {
            std::memcpy(dst, src, std::size_t(rc.width) * 4);
            continue;
        }
        if (as32bpp) {
            if (asPreMultiplied)
                convertRow<4, false>(src, dst, rc.width, ob, orr, unpremultiply);
            else
                convertRow<4, true>(src, dst, rc.width, ob, orr, unpremultiply);
        } else {
            if (asPreMultiplied)
                convertRow<3, false>(src, dst, rc.width, ob, orr, unpremultiply);
            else
                convertRow<3, true>(src, dst, rc.width, ob, orr, unpremultiply);
        }
    }
    return true;
}

bool c32bppDIB::SetDIBbits(std::span<const std::uint8_t> in, bool isBGRformat, bool is32bpp, bool isWordAligned,
                           bool isBottomUp, std::int32_t dstX, std::int32_t dstY, std::int32_t dstWidth,
                           std::int32_t dstHeight)
{
    Rect rc;
    if (!m_handle || in.empty() || !clipRect(m_width, m_height, dstX, dstY, dstWidth, dstHeight, rc))
        return false;
    const std::int64_t rowBytes = rowBytesFor(rc.width, is32bpp, isWordAligned);
    // The input must cover row bytes for every row of the whole surface,
    // even when fewer rows are written.
    if (std::int64_t(in.size()) < rowBytes * m_height)
        return false;
    const int bpp = is32bpp ? 4 : 3;
    const std::size_t scan = std::size_t(m_width) * 4;
    const int ib = isBGRformat ? 0 : 2, ig = 1, ir = isBGRformat ? 2 : 0;
    for (std::int32_t k = 0; k < rc.height; ++k) {
        const std::int32_t inRow = isBottomUp ? rc.height - 1 - k : k;
        const std::uint8_t *src = in.data() + std::size_t(inRow) * std::size_t(rowBytes);
        std::uint8_t *dst = m_bits + std::size_t(m_height - 1 - (rc.y + k)) * scan + std::size_t(rc.x) * 4;
        if (is32bpp && isBGRformat) {
            std::memcpy(dst, src, std::size_t(rc.width) * 4);
            continue;
        }
        for (std::int32_t i = 0; i < rc.width; ++i, src += bpp, dst += 4) {
            dst[0] = src[ib];
            dst[1] = src[ig];
            dst[2] = src[ir];
            if (is32bpp)
                dst[3] = src[3];
        }
    }
    bool hasAlpha = false;
    std::int32_t type = m_imageType == -1 ? 0 : m_imageType;
    ClassifyAlphaChannel(m_bits, std::size_t(m_width) * std::size_t(m_height), true, hasAlpha, type);
    m_alpha = hasAlpha;
    return true;
}

bool c32bppDIB::GetAlphaMask(ByteArray &out, bool as2dArray, bool asWordAligned, bool asBottomUp, std::int32_t x,
                             std::int32_t y, std::int32_t width, std::int32_t height) const
{
    Rect rc;
    if (!m_handle || !clipRect(m_width, m_height, x, y, width, height, rc))
        return false;
    const std::int64_t rowBytes =
        asWordAligned ? ((std::int64_t(rc.width) * 8 + 31) & ~std::int64_t(31)) / 8 : std::int64_t(rc.width);
    if (!limits::productFits(rc.height, rowBytes, kMaxBytes))
        return false;
    const bool sized = as2dArray ? out.resize2D(std::size_t(rowBytes), std::size_t(rc.height))
                                 : out.resize(std::size_t(rowBytes * rc.height));
    if (!sized)
        return false;
    const std::size_t scan = std::size_t(m_width) * 4;
    for (std::int32_t k = 0; k < rc.height; ++k) {
        const std::uint8_t *src = m_bits + std::size_t(m_height - 1 - (rc.y + k)) * scan + std::size_t(rc.x) * 4 + 3;
        std::uint8_t *dst = out.data() + std::size_t(asBottomUp ? rc.height - 1 - k : k) * std::size_t(rowBytes);
        for (std::int32_t i = 0; i < rc.width; ++i)
            dst[i] = src[std::size_t(i) * 4];
    }
    return true;
}

bool c32bppDIB::GetOrginalFormat(ByteArray &out) const
{
    out.assign(m_original);
    return !m_original.empty();
}

std::uint32_t c32bppDIB::CreateGDIplusToken() { return 0; }

bool c32bppDIB::DestroyGDIplusToken(std::uint32_t) { return false; }

} // namespace imaging
