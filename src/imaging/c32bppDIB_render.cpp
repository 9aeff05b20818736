// Drawing a surface: Render with its choice of engine, the own pipeline's
// blending, and the copies, resizes and BMP output built on it. The mirror
// and resample steps of the pipeline live in c32bppDIB_resample.cpp.
#include "imaging/c32bppDIB.h"

#include "imaging/gdiplus_bridge.h"
#include "imaging/parsers.h"
#include "imaging/pixels_p.h"
#include "platform/dialogs.h"

#include <QSaveFile>
#include <cstdlib>
#include <cstring>

namespace imaging {

using detail::PixelRows;

namespace {

// Holds a surface's DIB in its own DC while it lives, and puts the DC back
// as it was found (a DC made for the occasion is deleted again).
class DcLease {
public:
    explicit DcLease(c32bppDIB &dib) : m_dib(dib), m_wasLoaded(dib.isLoadedInDC()), m_dc(dib.LoadDIBinDC(true)) {}
    ~DcLease()
    {
        if (!m_wasLoaded)
            m_dib.LoadDIBinDC(false);
    }
    DcLease(const DcLease &) = delete;
    DcLease &operator=(const DcLease &) = delete;
    gdi::HDC dc() const { return m_dc; }

private:
    c32bppDIB &m_dib;
    bool m_wasLoaded;
    gdi::HDC m_dc;
};

// Keeps only the part of a pixel buffer from column `left` and row `top`
// (counted from the top) onward.
bool cropBuffer(ByteArray &buffer, std::int32_t left, std::int32_t top)
{
    const PixelRows in = detail::rowsOf(buffer);
    const std::int32_t w = in.width - left, h = in.rows - top;
    ByteArray out;
    if (!detail::makeBuffer(out, w, h))
        return false;
    const PixelRows o = detail::rowsOf(out);
    // Memory rows count from the bottom: dropping top rows keeps rows 0..h-1.
    for (std::int32_t r = 0; r < h; ++r)
        std::memcpy(o.row(r), in.pixel(left, r), std::size_t(w) * 4);
    buffer.swap(out);
    return true;
}

std::uint8_t opacityByte(std::int32_t percent) { return std::uint8_t((percent * 255) / 100); }

} // namespace

bool c32bppDIB::fitSourceAndDestination(std::int32_t srcX, std::int32_t srcY, std::int32_t &srcWidth,
                                        std::int32_t &srcHeight, std::int32_t &destWidth,
                                        std::int32_t &destHeight) const
{
    if (std::int64_t(srcX) + srcWidth > m_width)
        srcWidth = m_width - srcX;
    if (std::int64_t(srcY) + srcHeight > m_height)
        srcHeight = m_height - srcY;
    // A source origin beyond the image leaves nothing to draw (and nothing
    // that may be read).
    if (srcWidth < 1 || srcHeight < 1)
        return false;
    // A destination size of 0 is the image's size, not the source's.
    if (destWidth == 0)
        destWidth = m_width;
    if (destHeight == 0)
        destHeight = m_height;
    // A mirrored drawing negates the size, which this one cannot take.
    return destWidth != INT32_MIN && destHeight != INT32_MIN;
}

bool c32bppDIB::Render(gdi::HDC destinationDC, std::int32_t destX, std::int32_t destY, std::int32_t destWidth,
                       std::int32_t destHeight, std::int32_t SrcX, std::int32_t SrcY, std::int32_t srcWidth,
                       std::int32_t srcHeight, std::int32_t Opacity, bool Blend, bool SetHalfTone,
                       c32bppDIB *destHostDIB, std::int32_t grayScale)
{
    if (!m_handle || !destinationDC || srcWidth < 0 || srcHeight < 0)
        return false;
    if (Opacity == 0)
        return true;
    // 100 stays 100; 150 draws at 50.
    std::int32_t opacity = std::int32_t(std::llabs(std::int64_t(Opacity)) % 100);
    if (opacity == 0)
        opacity = 100;

    if (srcWidth == 0)
        srcWidth = m_width;
    if (srcHeight == 0)
        srcHeight = m_height;
    SrcX = std::max(SrcX, 0);
    SrcY = std::max(SrcY, 0);
    if (!fitSourceAndDestination(SrcX, SrcY, srcWidth, srcHeight, destWidth, destHeight))
        return false;
    const bool mirrored = destWidth < 0 || destHeight < 0;
    const bool stretched = std::abs(destWidth) != srcWidth || std::abs(destHeight) != srcHeight;
    const bool useAlphaBlend =
        isAlphaBlendFriendly() && !mirrored && grayScale == -1 && (!stretched || !m_highQuality);

    if (isGDIplusEnabled() && !useAlphaBlend)
        return cGDIPlus().RenderGDIplus(*this, destinationDC, 0.0f, opacity, destX, destY, destWidth, destHeight, SrcX,
                                        SrcY, srcWidth, srcHeight, m_highQuality, grayScale, m_gdiToken);

    const std::uint8_t opByte = opacityByte(opacity);
    if (useAlphaBlend) {
        DcLease lease(*this);
        if (!lease.dc())
            return false;
        const int oldMode = SetHalfTone ? gdi::SetStretchBltMode(destinationDC, gdi::HALFTONE) : 0;
        const gdi::BLENDFUNCTION blend{gdi::AC_SRC_OVER, 0, opByte,
                                       std::uint8_t(m_alpha && Blend ? gdi::AC_SRC_ALPHA : 0)};
        const bool ok = gdi::AlphaBlend(destinationDC, destX, destY, destWidth, destHeight, lease.dc(), SrcX, SrcY,
                                        srcWidth, srcHeight, blend);
        if (SetHalfTone && oldMode)
            gdi::SetStretchBltMode(destinationDC, oldMode);
        return ok;
    }

    // Own pipeline: mirror, then scale, then blend. The pixels are read from
    // memory, so the DIB need not sit in a DC.
    ByteArray source;
    if (mirrored) {
        if (!MirrorCopy(SrcX, SrcY, srcWidth, srcHeight, destWidth, destHeight, source, nullptr))
            return false;
        // A mirrored copy drawn unscaled at a negative position loses the
        // columns and rows that fall off the top-left edge, as the scaled path
        // does, instead of being drawn shifted into view.
        if (!stretched && (destX < 0 || destY < 0)) {
            const std::int32_t left = destX < 0 ? std::min<std::int64_t>(-std::int64_t(destX), srcWidth) : 0;
            const std::int32_t top = destY < 0 ? std::min<std::int64_t>(-std::int64_t(destY), srcHeight) : 0;
            if (left >= srcWidth || top >= srcHeight)
                return false;
            if (!cropBuffer(source, left, top))
                return false;
            destWidth -= left;
            destHeight -= top;
        }
    }
    if (stretched) {
        ByteArray scaled;
        if (!ResamplePixels(scaled, source, nullptr, SrcX, SrcY, srcWidth, srcHeight, destX, destY, destWidth,
                            destHeight))
            return false;
        source.swap(scaled);
        SrcX = SrcY = 0;
    }
    return BlendPixels(destinationDC, source, SrcX, SrcY, destX, destY, destWidth, destHeight, opByte, destHostDIB,
                       grayScale);
}

bool c32bppDIB::BlendPixels(gdi::HDC destinationDC, const ByteArray &srcBuffer, std::int32_t srcX, std::int32_t srcY,
                            std::int32_t destX, std::int32_t destY, std::int32_t destWidth, std::int32_t destHeight,
                            std::uint8_t opacity, c32bppDIB *hostDIB, std::int32_t grayFormula) const
{
    PixelRows src;
    if (!srcBuffer.empty()) {
        src = detail::rowsOf(const_cast<ByteArray &>(srcBuffer));
        srcX = srcY = 0;
        destX = std::max(destX, 0);
        destY = std::max(destY, 0);
    } else {
        if (!m_handle)
            return false;
        src = PixelRows{m_bits, m_width, m_height};
        if (destX < 0) {
            srcX = std::int32_t(std::min<std::int64_t>(std::int64_t(srcX) - destX, INT32_MAX));
            destWidth = std::int32_t(std::max<std::int64_t>(std::int64_t(destWidth) + destX, 0));
            destX = 0;
        }
        if (destY < 0) {
            srcY = std::int32_t(std::min<std::int64_t>(std::int64_t(srcY) - destY, INT32_MAX));
            destHeight = std::int32_t(std::max<std::int64_t>(std::int64_t(destHeight) + destY, 0));
            destY = 0;
        }
    }
    // Never read past the source.
    if (srcX < 0 || srcY < 0 || srcX >= src.width || srcY >= src.rows)
        return false;
    destWidth = std::min(destWidth, src.width - srcX);
    destHeight = std::min(destHeight, src.rows - srcY);

    PixelRows dst;
    int channels = 4;
    if (hostDIB) {
        if (!hostDIB->Handle())
            return false;
        // Pixels that fall outside the host are skipped.
        destWidth = std::min<std::int64_t>({destWidth, hostDIB->Width(), std::int64_t(hostDIB->Width()) - destX});
        destHeight = std::min<std::int64_t>({destHeight, hostDIB->Height(), std::int64_t(hostDIB->Height()) - destY});
        dst = PixelRows{hostDIB->BitsPointer(), hostDIB->Width(), hostDIB->Height()};
    }
    if (destWidth < 1 || destHeight < 1)
        return false;

    // Without a host: a 24-bit copy of the destination area, blended and
    // drawn back in one call.
    gdi::HDC tempDC = 0;
    gdi::HBITMAP tempBmp = 0;
    gdi::HGDIOBJ tempOld = 0;
    std::uint8_t *tempBits = nullptr;
    gdi::BITMAPINFO bi;
    std::size_t tempStride = 0;
    if (!hostDIB) {
        channels = 3;
        bi = gdi::makeBitmapInfo(destWidth, destHeight, 24);
        tempDC = gdi::CreateCompatibleDC(0);
        tempBmp = tempDC ? gdi::CreateDIBSection(tempDC, bi, gdi::DIB_RGB_COLORS, &tempBits) : 0;
        if (!tempBmp) {
            if (tempDC)
                gdi::DeleteDC(tempDC);
            return false;
        }
        tempOld = gdi::SelectObject(tempDC, tempBmp);
        gdi::BitBlt(tempDC, 0, 0, destWidth, destHeight, destinationDC, destX, destY, gdi::SRCCOPY);
        tempStride = std::size_t(ScanlineBytes(destWidth, 24));
    }

    const bool gray = grayFormula != -1;
    const GrayWeights weights = GrayscaleWeights(grayFormula);
    const unsigned O = opacity;
    for (std::int32_t k = 0; k < destHeight; ++k) {
        const std::uint8_t *s = src.pixel(srcX, src.rows - 1 - (srcY + k));
        std::uint8_t *d = hostDIB ? dst.pixel(destX, dst.rows - 1 - (destY + k))
                                  : tempBits + std::size_t(destHeight - 1 - k) * tempStride;
        if (channels == 4 && !gray) {
            detail::blendRowOwn(d, s, destWidth, O);
            continue;
        }
        for (std::int32_t i = 0; i < destWidth; ++i, s += 4, d += channels) {
            const unsigned a = s[3];
            if (a == 0)
                continue;
            if (gray && O == 255 && a == 255) {
                d[0] = d[1] = d[2] = detail::grayOf(s[0], s[1], s[2], weights);
                if (channels == 4)
                    d[3] = 255;
                continue;
            }
            detail::blendPixelOwn(d, s, channels, O);
            if (gray)
                d[0] = d[1] = d[2] = detail::grayOf(d[0], d[1], d[2], weights);
        }
    }

    if (!hostDIB) {
        gdi::SetDIBitsToDevice(destinationDC, destX, destY, std::uint32_t(destWidth), std::uint32_t(destHeight), 0, 0,
                               0, std::uint32_t(destHeight),
                               std::span<const std::uint8_t>(tempBits, tempStride * std::size_t(destHeight)), bi,
                               gdi::DIB_RGB_COLORS);
        gdi::SelectObject(tempDC, tempOld);
        gdi::DeleteObject(tempBmp);
        gdi::DeleteDC(tempDC);
    }
    return true;
}

void c32bppDIB::ScaleImage(std::int32_t destWidth, std::int32_t destHeight, std::int32_t &newWidth,
                           std::int32_t &newHeight, std::int32_t ScaleMode) const
{
    if (!m_handle)
        return;
    if (ScaleMode < 0 || ScaleMode > 2) {
        newWidth = m_width;
        newHeight = m_height;
        return;
    }
    if (ScaleMode == StretchToFill) {
        newWidth = destWidth;
        newHeight = destHeight;
        return;
    }
    // Single-precision ratios, as the sizes are stored.
    float xr = float(double(destWidth) / m_width);
    float yr = float(double(destHeight) / m_height);
    if (ScaleMode == ScaleDownToFit && xr > 1.0f && yr > 1.0f)
        xr = yr = 1.0f;
    const double ratio = std::min(xr, yr);
    newWidth = std::int32_t(std::clamp(std::floor(ratio * m_width), double(INT32_MIN), double(INT32_MAX)));
    newHeight = std::int32_t(std::clamp(std::floor(ratio * m_height), double(INT32_MIN), double(INT32_MAX)));
}

void c32bppDIB::CopyImageTo(std::unique_ptr<c32bppDIB> &cDIBclass, std::int32_t newWidth, std::int32_t newHeight,
                            bool CopyOriginalFormat)
{
    if (!m_handle)
        return;
    if (!cDIBclass) {
        auto target = std::make_unique<c32bppDIB>();
        target->setGDIplusEnabled(isGDIplusEnabled());
        target->setHighQualityInterpolation(m_highQuality);
        cDIBclass = std::move(target);
    }
    CopyImageTo(*cDIBclass, newWidth, newHeight, CopyOriginalFormat);
}

void c32bppDIB::CopyImageTo(c32bppDIB &target, std::int32_t newWidth, std::int32_t newHeight,
                            bool CopyOriginalFormat)
{
    if (!m_handle)
        return;
    if (newWidth == 0)
        newWidth = m_width;
    if (newHeight == 0)
        newHeight = m_height;
    if (newWidth == INT32_MIN || newHeight == INT32_MIN)
        return;
    const std::int32_t w = std::abs(newWidth), h = std::abs(newHeight);
    const bool sameSize = w == m_width && h == m_height;
    // Copying into itself at another size would destroy the pixels it reads.
    if (&target == this && !sameSize)
        return;
    target.setGdiToken(m_gdiToken);
    const bool fresh = target.Width() != w || target.Height() != h;
    if (fresh && !target.InitializeDIB(w, h))
        return;
    // A scaled copy drawn by blending replaces what the target held: nothing
    // of it may show through transparent pixels.
    auto clearTarget = [&] {
        if (!fresh)
            std::memset(target.BitsPointer(), 0, std::size_t(w) * std::size_t(h) * 4);
    };
    target.setAlpha(m_alpha);
    target.setImageType(m_imageType);

    if (sameSize) {
        if (&target != this)
            std::memcpy(target.BitsPointer(), m_bits, std::size_t(m_width) * std::size_t(m_height) * 4);
    } else {
        // The alpha-blend call of 9x systems cannot be trusted to stretch.
        const bool restoreSwitch = (m_flags & capWin9x) && isAlphaBlendFriendly();
        if (restoreSwitch)
            setAlphaBlendFriendly(false);
        bool drawn = false;
        if (isGDIplusEnabled() && (!isAlphaBlendFriendly() || m_highQuality)) {
            clearTarget();
            DcLease mine(*this);
            DcLease theirs(target);
            drawn = cGDIPlus().RenderGDIplus(*this, theirs.dc(), 0.0f, 100, 0, 0, newWidth, newHeight, 0, 0,
                                             m_width, m_height, m_highQuality, -1, m_gdiToken);
        } else if (isAlphaBlendFriendly() && !m_highQuality) {
            clearTarget();
            DcLease theirs(target);
            drawn = Render(theirs.dc(), 0, 0, newWidth, newHeight, 0, 0, m_width, m_height, 100, true, false,
                           &target, -1);
        } else {
            ByteArray none, unused;
            std::int32_t dw = newWidth, dh = newHeight;
            drawn = ResamplePixels(unused, none, &target, 0, 0, m_width, m_height, 0, 0, dw, dh);
        }
        (void)drawn;
        if (restoreSwitch)
            setAlphaBlendFriendly(true);
    }
    if (CopyOriginalFormat && &target != this)
        target.setOriginalBytes(m_original);
}

bool c32bppDIB::Resize(std::int32_t newWidth, std::int32_t newHeight)
{
    if (!m_handle)
        return false;
    if (newWidth == 0)
        newWidth = m_width;
    if (newHeight == 0)
        newHeight = m_height;
    if (newWidth == m_width && newHeight == m_height)
        return true;
    if (newWidth == INT32_MIN || newHeight == INT32_MIN)
        return false;
    c32bppDIB temp;
    temp.setGdiToken(m_gdiToken);
    temp.setGDIplusEnabled(isGDIplusEnabled());
    temp.setHighQualityInterpolation(m_highQuality);
    if (!temp.InitializeDIB(std::abs(newWidth), std::abs(newHeight)))
        return false;
    temp.setImageType(m_imageType);
    temp.setAlpha(m_alpha);
    temp.setOriginalBytes(m_original);

    bool drawn = false;
    if (isGDIplusEnabled() && m_highQuality) {
        DcLease theirs(temp);
        drawn = cGDIPlus().RenderGDIplus(*this, theirs.dc(), 0.0f, 100, 0, 0, newWidth, newHeight, 0, 0, m_width,
                                         m_height, true, -1, m_gdiToken);
    } else if (!isAlphaBlendFriendly() || m_highQuality) {
        ByteArray none, unused;
        std::int32_t dw = newWidth, dh = newHeight;
        drawn = ResamplePixels(unused, none, &temp, 0, 0, m_width, m_height, 0, 0, dw, dh);
    } else {
        const bool restoreSwitch = (m_flags & capWin9x) != 0;
        if (restoreSwitch)
            setAlphaBlendFriendly(false);
        DcLease theirs(temp);
        drawn = Render(theirs.dc(), 0, 0, newWidth, newHeight, 0, 0, m_width, m_height, 100, true, false, &temp, -1);
        if (restoreSwitch)
            setAlphaBlendFriendly(true);
    }
    if (!drawn)
        return false;
    temp.CopyImageTo(*this, 0, 0, true);
    return m_handle != 0;
}

namespace {

void put16(std::uint8_t *p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
void put32(std::uint8_t *p, std::uint32_t v)
{
    put16(p, v);
    put16(p + 2, v >> 16);
}

// The 54 header bytes of a BMP of the given depth; false when the image size
// plus the header does not fit the 32-bit fields.
bool bmpHeader(std::int32_t width, std::int32_t height, int bitCount, std::uint8_t (&h)[54], std::int64_t &imageSize)
{
    const std::int64_t rowBytes = ((std::int64_t(width) * bitCount + 31) & ~std::int64_t(31)) / 8;
    imageSize = rowBytes * height;
    if (imageSize + 54 > INT32_MAX)
        return false;
    std::memset(h, 0, sizeof h);
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, std::uint32_t(imageSize + 54));
    put32(h + 10, 54);
    put32(h + 14, 40);
    put32(h + 18, std::uint32_t(width));
    put32(h + 22, std::uint32_t(height));
    put16(h + 26, 1);
    put16(h + 28, std::uint16_t(bitCount));
    put32(h + 34, std::uint32_t(imageSize));
    return true;
}

} // namespace

bool c32bppDIB::SaveToFile(const QString &FileName, bool PromptOverwrite)
{
    if (FileName.isEmpty() || !m_handle)
        return false;
    if (PromptOverwrite && FileExists(FileName)) {
        const platform::MessageResult answer = platform::Dialogs::messageBox(
            QStringLiteral("Overwrite Confirmation"), QStringLiteral("Overwrite existing file?"),
            platform::MessageIcon::Question, platform::MessageButtons::YesNo, platform::MessageResult::No);
        if (answer != platform::MessageResult::Yes)
            return false;
    }
    const int bitCount = m_alpha ? 32 : 24;
    std::uint8_t header[54];
    std::int64_t imageSize = 0;
    if (!bmpHeader(m_width, m_height, bitCount, header, imageSize))
        return false;
    ByteArray rows;
    const std::uint8_t *pixels = m_bits;
    if (bitCount == 24) {
        if (!GetDIBbits(rows, true, true, false, true, true))
            return false;
        pixels = rows.data();
    }
    // Written beside the target and renamed over it only when complete, so a
    // failed save leaves any existing file as it was.
    // Unbuffered: a short write (a full disk) must show here, because a
    // buffered one only fails in commit's flush and is then renamed into place.
    QSaveFile file(FileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(reinterpret_cast<const char *>(header), 54) != 54)
        return false;   // QSaveFile discards the temporary file
    if (file.write(reinterpret_cast<const char *>(pixels), imageSize) != imageSize)
        return false;
    return file.commit();
}

bool c32bppDIB::SaveToStream(ByteArray &outStream)
{
    if (!m_handle) {
        return false;
    }
    const int bitCount = m_alpha ? 32 : 24;
    std::uint8_t header[54];
    std::int64_t imageSize = 0;
    if (!bmpHeader(m_width, m_height, bitCount, header, imageSize) ||
        !outStream.resizeForOverwrite(std::size_t(imageSize + 54))) {
        outStream.clear();
        return false;
    }
    std::memcpy(outStream.data(), header, 54);
    if (bitCount == 32) {
        std::memcpy(outStream.data() + 54, m_bits, std::size_t(imageSize));
        return true;
    }
    ByteArray rows;
    if (!GetDIBbits(rows, true, true, false, true, true)) {
        outStream.clear();
        return false;
    }
    std::memcpy(outStream.data() + 54, rows.data(), std::size_t(imageSize));
    return true;
}

} // namespace imaging
