// The bitmap decoder: 32-bit uncompressed files directly, the rest through the
// platform's picture loader.
#include "imaging/bmp_parser.h"

#include "imaging/byte_view.h"
#include "imaging/make_opaque.h"
#include "imaging/parsers.h"
#include "platform/limits.h"

#include <cstring>

namespace imaging {

namespace {

constexpr std::uint16_t kBM = 19778;   // "BM"

} // namespace

bool cBMPparser::LoadStream(std::span<const std::uint8_t> inStream, c32bppDIB &cHost, std::int32_t streamOffset,
                            std::int32_t streamLength)
{
    if (streamOffset < 0 || streamLength < 0 || std::size_t(streamOffset) > inStream.size() ||
        inStream.size() - std::size_t(streamOffset) < std::size_t(streamLength))
        return false;
    const std::span<const std::uint8_t> bytes = inStream.subspan(std::size_t(streamOffset), std::size_t(streamLength));
    const ByteView v(bytes.data(), bytes.size());
    std::uint16_t magic = 0;
    const bool isBM = v.u16(0, magic) && magic == kBM;
    if (isBM) {
        std::uint16_t bitCount = 0;
        std::int32_t width = 0, height = 0;
        std::uint32_t dataOffset = 0, compression = 0;
        // A file too short for its header fields is no bitmap of any kind.
        if (!v.u16(28, bitCount) || !v.i32(18, width) || !v.i32(22, height) || !v.u32(10, dataOffset) ||
            !v.u32(30, compression))
            return false;
        if (width < 1 || height == 0)
            return false;
        const std::int64_t rows = height < 0 ? -std::int64_t(height) : height;
        // The fields read above are the width and height only in an info
        // header (an older core header keeps 16-bit sizes there). A size too
        // large is refused before any decoder allocates for it.
        std::uint32_t headerSize = 0;
        const bool infoHeader = v.u32(14, headerSize) && headerSize >= 40;
        if (infoHeader && !limits::imageFits(width, rows, 4))
            return false;
        const std::int64_t need = std::int64_t(ScanlineBytes(bitCount, width)) * rows + dataOffset;
        const bool fits = ScanlineBytes(bitCount, width) > 0 && std::int64_t(bytes.size()) - need >= 0;
        if (fits && bitCount == 32 && compression == 0 && cHost.InitializeDIB(width, std::int32_t(rows))) {
            const std::size_t rowBytes = std::size_t(width) * 4;
            const std::uint8_t *src = bytes.data() + dataOffset;
            std::uint8_t *dst = cHost.BitsPointer();
            if (height > 0) {
                std::memcpy(dst, src, rowBytes * std::size_t(rows));
            } else {
                // Top-down rows: the surface keeps its rows bottom-up.
                for (std::int64_t r = 0; r < rows; ++r)
                    std::memcpy(dst + std::size_t(rows - 1 - r) * rowBytes, src + std::size_t(r) * rowBytes,
                                rowBytes);
            }
            bool hasAlpha = false;
            std::int32_t type = Bitmap;
            ClassifyAlphaChannel(dst, std::size_t(width) * std::size_t(rows), true, hasAlpha, type);
            cHost.setAlpha(hasAlpha);
            cHost.setImageType(type);
            return true;
        }
        // 24-bit uncompressed, as the surface saves an image without alpha:
        // read here too, so that any size the surface can hold (and write)
        // reads back; the platform's loader refuses large pictures.
        if (fits && infoHeader && bitCount == 24 && compression == 0 && cHost.InitializeDIB(width, std::int32_t(rows))) {
            const std::size_t srcRowBytes = std::size_t(ScanlineBytes(24, width));
            const std::size_t dstRowBytes = std::size_t(width) * 4;
            const std::uint8_t *src = bytes.data() + dataOffset;
            std::uint8_t *dst = cHost.BitsPointer();
            for (std::int64_t r = 0; r < rows; ++r) {
                // Top-down rows are turned: the surface keeps its rows bottom-up.
                const std::int64_t to = height > 0 ? r : rows - 1 - r;
                const std::uint8_t *s = src + std::size_t(r) * srcRowBytes;
                std::uint8_t *d = dst + std::size_t(to) * dstRowBytes;
                for (std::int32_t x = 0; x < width; ++x, s += 3, d += 4) {
                    d[0] = s[0];
                    d[1] = s[1];
                    d[2] = s[2];
                    d[3] = 255;
                }
            }
            cHost.setAlpha(false);
            cHost.setImageType(Bitmap);
            return true;
        }
    }
    const platform::Picture pic = platform::PictureFromBytes(bytes);
    if (!pic)
        return false;
    std::uint16_t bitCount = 0;
    if (isBM)
        v.u16(28, bitCount);
    return ConvertstdPicTo32bpp(pic, cHost, std::int16_t(bitCount));
}

bool cBMPparser::ConvertstdPicTo32bpp(const platform::Picture &stdPic, c32bppDIB &cHost, std::int16_t)
{
    if (!stdPic || stdPic->Type() == platform::PICTYPE_NONE)
        return false;
    const std::int32_t width = platform::HimetricToPixels(stdPic->Width(), true);
    const std::int32_t height = platform::HimetricToPixels(stdPic->Height(), false);
    if (!cHost.InitializeDIB(width, height) || width < 1)
        return false;
    const std::int16_t kind = stdPic->Type();
    const bool metafile = kind == platform::PICTYPE_METAFILE || kind == platform::PICTYPE_ENHMETAFILE;
    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    std::uint8_t *bits = cHost.BitsPointer();
    if (metafile)
        std::memset(bits, 255, pixels * 4);
    const gdi::HDC dc = cHost.LoadDIBinDC(true);
    stdPic->Render(dc, 0, 0, width, height, 0, stdPic->Height(), stdPic->Width(), -stdPic->Height());
    cHost.LoadDIBinDC(false);
    if (!metafile) {
        MakeOpaque(bits, pixels);
        cHost.setAlpha(false);
    } else {
        // Drawing leaves alpha 0 where it drew; the untouched background
        // (still 255) becomes transparent.
        bool transparent = false;
        for (std::size_t i = 0; i < pixels; ++i) {
            std::uint8_t *p = bits + i * 4;
            if (p[3] == 255) {
                std::memset(p, 0, 4);
                transparent = true;
            } else {
                p[3] = 255;
            }
        }
        cHost.setAlpha(transparent);
    }
    cHost.setImageType(kind);
    return true;
}

} // namespace imaging
