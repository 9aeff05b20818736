// Bitmaps: DIB sections, device-dependent bitmaps and the conversions between
// device-independent rows of every depth and the 32-bit pixels kept here.
#include "platform/gdi/gdi_p.h"

#include "platform/limits.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace gdi {
namespace detail {

std::int64_t dibStride(std::int64_t width, int bitCount)
{
    return ((width * bitCount + 31) & ~std::int64_t(31)) / 8;
}

} // namespace detail

using namespace detail;

namespace {

// Largest pixel memory of one bitmap: the byte count must fit a signed 32-bit
// value, as the platform's image size field does.
constexpr std::int64_t kMaxBitmapBytes = limits::kMaxImageBytes;


bool validDepth(int bpp)
{
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

HBITMAP newBitmap(int width, int height, int bpp, int reportedBpp, bool dib, bool topDown)
{
    if (width <= 0 || height <= 0)
        return 0;
    const std::int64_t stride = dibStride(width, bpp);
    if (!limits::productFits(height, stride, kMaxBitmapBytes))
        return 0;
    const std::int64_t bytes = stride * height;
    Bitmap b;
    b.bits.reset(new (std::nothrow) std::uint8_t[std::size_t(bytes)]());
    if (!b.bits)
        return 0;
    b.width = width;
    b.height = height;
    b.stride = int(stride);
    b.bpp = bpp;
    b.reportedBpp = reportedBpp;
    b.dibSection = dib;
    b.topDown = topDown;
    return insert(std::move(b));
}

// Channel masks of 16- and 32-bit rows.
struct Masks {
    std::uint32_t r = 0, g = 0, b = 0;
};

Masks masksOf(const BITMAPINFO &bi)
{
    const int bpp = bi.bmiHeader.biBitCount;
    if (bi.bmiHeader.biCompression == BI_BITFIELDS) {
        Masks m;
        std::memcpy(&m.r, &bi.bmiColors[0], 4);
        std::memcpy(&m.g, &bi.bmiColors[1], 4);
        std::memcpy(&m.b, &bi.bmiColors[2], 4);
        return m;
    }
    if (bpp == 16)
        return {0x7C00, 0x03E0, 0x001F};
    return {0xFF0000, 0x00FF00, 0x0000FF};
}

// Scales the masked field of v to 0..255.
std::uint8_t field(std::uint32_t v, std::uint32_t mask)
{
    if (!mask)
        return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    const std::uint32_t m = mask >> shift;
    const std::uint32_t x = (v & mask) >> shift;
    return std::uint8_t((x * 255 + m / 2) / m);
}

// One device-independent row to blue-green-red-alpha pixels. Rows of fewer
// than 32 bits give alpha 0.
void decodeRow(const std::uint8_t *src, int width, const BITMAPINFO &bi, int paletteSize,
               std::uint8_t *out)
{
    const int bpp = bi.bmiHeader.biBitCount;
    auto fromPalette = [&](int index, std::uint8_t *o) {
        if (index < paletteSize) {
            const RGBQUAD &q = bi.bmiColors[index];
            o[0] = q.rgbBlue;
            o[1] = q.rgbGreen;
            o[2] = q.rgbRed;
        } else {
            o[0] = o[1] = o[2] = 0;
        }
        o[3] = 0;
    };
    switch (bpp) {
    case 1:
        for (int x = 0; x < width; ++x)
            fromPalette((src[x >> 3] >> (7 - (x & 7))) & 1, out + x * 4);
        break;
    case 4:
        for (int x = 0; x < width; ++x)
            fromPalette((src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15, out + x * 4);
        break;
    case 8:
        for (int x = 0; x < width; ++x)
            fromPalette(src[x], out + x * 4);
        break;
    case 16: {
        const Masks m = masksOf(bi);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = std::uint32_t(src[x * 2]) | (std::uint32_t(src[x * 2 + 1]) << 8);
            out[x * 4] = field(v, m.b);
            out[x * 4 + 1] = field(v, m.g);
            out[x * 4 + 2] = field(v, m.r);
            out[x * 4 + 3] = 0;
        }
        break;
    }
    case 24:
        for (int x = 0; x < width; ++x) {
            out[x * 4] = src[x * 3];
            out[x * 4 + 1] = src[x * 3 + 1];
            out[x * 4 + 2] = src[x * 3 + 2];
            out[x * 4 + 3] = 0;
        }
        break;
    case 32:
        if (bi.bmiHeader.biCompression == BI_BITFIELDS) {
            const Masks m = masksOf(bi);
            for (int x = 0; x < width; ++x) {
                std::uint32_t v;
                std::memcpy(&v, src + x * 4, 4);
                out[x * 4] = field(v, m.b);
                out[x * 4 + 1] = field(v, m.g);
                out[x * 4 + 2] = field(v, m.r);
                out[x * 4 + 3] = std::uint8_t(v >> 24);
            }
        } else {
            std::memcpy(out, src, std::size_t(width) * 4);
        }
        break;
    default: break;
    }
}

int paletteSizeOf(const BITMAPINFOHEADER &h)
{
    if (h.biBitCount > 8)
        return 0;
    const int full = 1 << h.biBitCount;
    return (h.biClrUsed == 0 || h.biClrUsed > std::uint32_t(full)) ? full : int(h.biClrUsed);
}

// The colour table GetDIBits hands out for 1-, 4- and 8-bit rows.
void defaultPalette(int bpp, RGBQUAD *table)
{
    auto set = [&](int i, int r, int g, int b) {
        table[i] = RGBQUAD{std::uint8_t(b), std::uint8_t(g), std::uint8_t(r), 0};
    };
    if (bpp == 1) {
        set(0, 0, 0, 0);
        set(1, 255, 255, 255);
    } else if (bpp == 4) {
        static const int vga[16][3] = {
            {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},   {0, 0, 128},   {128, 0, 128},
            {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
            {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
        for (int i = 0; i < 16; ++i)
            set(i, vga[i][0], vga[i][1], vga[i][2]);
    } else if (bpp == 8) {
        // A 6x6x6 colour cube followed by a grey ramp.
        int i = 0;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    set(i++, r * 51, g * 51, b * 51);
        for (int k = 0; i < 256; ++i, ++k) {
            const int v = (k * 255) / 39;
            set(i, v, v, v);
        }
    }
}

int nearest(const RGBQUAD *table, int n, const std::uint8_t *px)
{
    int best = 0;
    int bestDist = std::numeric_limits<int>::max();
    for (int i = 0; i < n; ++i) {
        const int db = table[i].rgbBlue - px[0];
        const int dg = table[i].rgbGreen - px[1];
        const int dr = table[i].rgbRed - px[2];
        const int d = db * db + dg * dg + dr * dr;
        if (d < bestDist) {
            bestDist = d;
            best = i;
            if (d == 0)
                break;
        }
    }
    return best;
}

// Blue-green-red-alpha pixels to one row of the requested depth.
void encodeRow(const std::uint8_t *px, int width, int bpp, const RGBQUAD *table, std::uint8_t *out)
{
    switch (bpp) {
    case 1:
    case 4:
    case 8: {
        const int n = 1 << bpp;
        const int perByte = 8 / bpp;
        for (int x = 0; x < width; ++x) {
            const int idx = nearest(table, n, px + x * 4);
            const int shift = 8 - bpp * (x % perByte + 1);
            out[x / perByte] |= std::uint8_t(idx << shift);
        }
        break;
    }
    case 16:
        for (int x = 0; x < width; ++x) {
            const std::uint8_t *p = px + x * 4;
            const std::uint16_t v = std::uint16_t(((p[2] >> 3) << 10) | ((p[1] >> 3) << 5) | (p[0] >> 3));
            out[x * 2] = std::uint8_t(v);
            out[x * 2 + 1] = std::uint8_t(v >> 8);
        }
        break;
    case 24:
        for (int x = 0; x < width; ++x) {
            out[x * 3] = px[x * 4];
            out[x * 3 + 1] = px[x * 4 + 1];
            out[x * 3 + 2] = px[x * 4 + 2];
        }
        break;
    case 32: std::memcpy(out, px, std::size_t(width) * 4); break;
    default: break;
    }
}

// A bitmap row (top-based y) as 32-bit pixels.
void readPixels(const PixelView &v, int y, std::uint8_t *out)
{
    const std::uint8_t *row = v.row(y);
    if (v.bpp == 32) {
        std::memcpy(out, row, std::size_t(v.width) * 4);
    } else {
        for (int x = 0; x < v.width; ++x) {
            out[x * 4] = row[x * 3];
            out[x * 4 + 1] = row[x * 3 + 1];
            out[x * 4 + 2] = row[x * 3 + 2];
            out[x * 4 + 3] = 0;
        }
    }
}

bool headerUsable(const BITMAPINFOHEADER &h)
{
    return h.biWidth > 0 && h.biHeight != 0 && h.biHeight != std::numeric_limits<std::int32_t>::min()
           && validDepth(h.biBitCount)
           && (h.biCompression == BI_RGB
               || (h.biCompression == BI_BITFIELDS && (h.biBitCount == 16 || h.biBitCount == 32)));
}

} // namespace

BITMAPINFO makeBitmapInfo(int width, int height, int bitCount)
{
    BITMAPINFO bi;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biBitCount = std::uint16_t(bitCount);
    const std::int64_t stride = dibStride(width, bitCount);
    const std::int64_t rows = height < 0 ? -std::int64_t(height) : height;
    bi.bmiHeader.biSizeImage =
        stride > 0 && rows > 0 && limits::productFits(rows, stride, kMaxBitmapBytes) ? std::uint32_t(stride * rows) : 0;
    return bi;
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO &bi, std::uint32_t usage, std::uint8_t **bits)
{
    if (bits)
        *bits = nullptr;
    const BITMAPINFOHEADER &h = bi.bmiHeader;
    if ((dc != 0 && !get<DC>(dc)) || usage != DIB_RGB_COLORS || h.biCompression != BI_RGB
        || (h.biBitCount != 24 && h.biBitCount != 32) || h.biPlanes != 1 || h.biWidth <= 0
        || h.biHeight == 0 || h.biHeight == std::numeric_limits<std::int32_t>::min())
        return 0;
    const bool topDown = h.biHeight < 0;
    const HBITMAP bmp = newBitmap(h.biWidth, topDown ? -h.biHeight : h.biHeight, h.biBitCount,
                                  h.biBitCount, true, topDown);
    if (bmp && bits)
        *bits = get<Bitmap>(bmp)->bits.get();
    return bmp;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height)
{
    if (dc != 0 && !get<DC>(dc))
        return 0;
    return newBitmap(width, height, 32, 32, false, false);
}

HBITMAP CreateBitmap(int width, int height, int planes, int bitCount, std::span<const std::uint8_t> bits)
{
    if (planes != 1 || (bitCount != 1 && bitCount != 32))
        return 0;
    const HBITMAP bmp = newBitmap(width, height, 32, bitCount, false, false);
    if (!bmp || bits.empty())
        return bmp;
    // Device-dependent rows are padded to 2 bytes and run from the top.
    const std::int64_t rowBytes = ((std::int64_t(width) * bitCount + 15) / 16) * 2;
    if (std::int64_t(bits.size()) < rowBytes * height) {
        DeleteObject(bmp);
        return 0;
    }
    const PixelView v = get<Bitmap>(bmp)->view();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t *src = bits.data() + rowBytes * y;
        std::uint8_t *dst = v.row(y);
        if (bitCount == 32) {
            std::memcpy(dst, src, std::size_t(width) * 4);
        } else {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t c = ((src[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
                dst[x * 4] = dst[x * 4 + 1] = dst[x * 4 + 2] = c;
                dst[x * 4 + 3] = 0;
            }
        }
    }
    return bmp;
}

HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER &header, std::uint32_t init,
                       std::span<const std::uint8_t> bits, const BITMAPINFO &bi, std::uint32_t usage)
{
    if ((dc != 0 && !get<DC>(dc)) || usage != DIB_RGB_COLORS || header.biWidth <= 0 || header.biHeight == 0
        || header.biHeight == std::numeric_limits<std::int32_t>::min())
        return 0;
    const int width = header.biWidth;
    const int height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    const BITMAPINFOHEADER &src = bi.bmiHeader;
    const std::int64_t srcRows = src.biHeight < 0 ? -std::int64_t(src.biHeight) : src.biHeight;
    const std::int64_t stride = dibStride(src.biWidth, src.biBitCount);
    // The data is checked before anything is allocated.
    if ((init & CBM_INIT) && (!headerUsable(src) || !limits::productFits(srcRows, stride, std::int64_t(bits.size()))))
        return 0;
    const HBITMAP bmp = newBitmap(width, height, 32, 32, false, false);
    if (!bmp || !(init & CBM_INIT))
        return bmp;
    const PixelView v = get<Bitmap>(bmp)->view();
    const int palette = paletteSizeOf(src);
    const int copyW = std::min(width, src.biWidth);
    std::vector<std::uint8_t> row(std::size_t(src.biWidth) * 4);
    for (std::int64_t r = 0; r < std::min<std::int64_t>(srcRows, height); ++r) {
        // Row r of the source counted from its top.
        const std::int64_t mem = src.biHeight < 0 ? r : srcRows - 1 - r;
        decodeRow(bits.data() + mem * stride, src.biWidth, bi, palette, row.data());
        const int y = int(r) + (height - int(std::min<std::int64_t>(srcRows, height)));
        std::memcpy(v.row(src.biHeight < 0 ? int(r) : y), row.data(), std::size_t(copyW) * 4);
    }
    return bmp;
}

bool GetObject(HBITMAP bmp, BITMAP &out)
{
    out = BITMAP{};
    Bitmap *b = get<Bitmap>(bmp);
    if (!b)
        return false;
    out.bmWidth = b->width;
    out.bmHeight = b->height;
    out.bmBitsPixel = std::uint16_t(b->reportedBpp);
    out.bmWidthBytes = b->dibSection ? b->stride : int(((std::int64_t(b->width) * b->reportedBpp + 15) / 16) * 2);
    out.bmBits = b->dibSection ? b->bits.get() : nullptr;
    return true;
}

int GetDIBits(HDC dc, HBITMAP bmp, std::uint32_t start, std::uint32_t lines, std::span<std::uint8_t> bits,
              BITMAPINFO &bi, std::uint32_t usage)
{
    Bitmap *b = get<Bitmap>(bmp);
    if (!get<DC>(dc) || !b || usage != DIB_RGB_COLORS)
        return 0;
    BITMAPINFOHEADER &h = bi.bmiHeader;
    if (bits.empty() && h.biBitCount == 0) {
        h.biWidth = b->width;
        h.biHeight = b->height;
        h.biPlanes = 1;
        h.biBitCount = std::uint16_t(b->reportedBpp);
        h.biCompression = BI_RGB;
        h.biSizeImage = std::uint32_t(dibStride(b->width, b->reportedBpp) * b->height);
        h.biClrUsed = 0;
        return 1;
    }
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == std::numeric_limits<std::int32_t>::min()
        || !validDepth(h.biBitCount) || h.biCompression != BI_RGB)
        return 0;
    const int bpp = h.biBitCount;
    const std::int64_t rows = h.biHeight < 0 ? -std::int64_t(h.biHeight) : h.biHeight;
    const std::int64_t stride = dibStride(h.biWidth, bpp);
    if (!limits::productFits(rows, stride, kMaxBitmapBytes))
        return 0;
    h.biSizeImage = std::uint32_t(stride * rows);
    if (bpp <= 8)
        defaultPalette(bpp, bi.bmiColors);
    if (bits.empty())
        return 1;
    if (start >= rows)
        return 0;
    const std::int64_t n = std::min<std::int64_t>(lines, rows - start);
    if (n <= 0 || !limits::productFits(n, stride, std::int64_t(bits.size())))
        return 0;
    const PixelView v = b->view();
    std::vector<std::uint8_t> px(std::size_t(h.biWidth) * 4);
    std::memset(bits.data(), 0, std::size_t(stride * n));
    for (std::int64_t i = 0; i < n; ++i) {
        // Output row i is scan (start + i) from the bottom, or from the top
        // for top-down output; the bitmap's rows align at the same edge.
        const std::int64_t scan = std::int64_t(start) + i;
        const std::int64_t fromTop = h.biHeight < 0 ? scan : rows - 1 - scan;
        const std::int64_t y = h.biHeight < 0 ? fromTop : fromTop - (rows - b->height);
        std::fill(px.begin(), px.end(), 0);
        if (y >= 0 && y < b->height) {
            std::vector<std::uint8_t> src(std::size_t(b->width) * 4);
            readPixels(v, int(y), src.data());
            std::memcpy(px.data(), src.data(), std::size_t(std::min(b->width, h.biWidth)) * 4);
        }
        encodeRow(px.data(), h.biWidth, bpp, bi.bmiColors, bits.data() + i * stride);
    }
    return int(n);
}

int SetDIBitsToDevice(HDC dc, int x, int y, std::uint32_t width, std::uint32_t height, int srcX, int srcY,
                      std::uint32_t startScan, std::uint32_t lines, std::span<const std::uint8_t> bits,
                      const BITMAPINFO &bi, std::uint32_t usage)
{
    if (!get<DC>(dc) || usage != DIB_RGB_COLORS || !headerUsable(bi.bmiHeader))
        return 0;
    const BITMAPINFOHEADER &h = bi.bmiHeader;
    const std::int64_t rows = h.biHeight < 0 ? -std::int64_t(h.biHeight) : h.biHeight;
    const std::int64_t stride = dibStride(h.biWidth, h.biBitCount);
    const std::int64_t have = std::min<std::int64_t>(lines, rows - std::int64_t(startScan));
    if (have <= 0 || !limits::productFits(have, stride, std::int64_t(bits.size())) || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return 0;
    const PixelView v = target(dc);
    const QRegion area = drawableArea(dc, v);
    const int palette = paletteSizeOf(h);
    std::vector<std::uint8_t> row(std::size_t(h.biWidth) * 4);
    int drawn = 0;
    // Only rows that have data are visited.
    const std::int64_t kFrom = std::max<std::int64_t>(0, std::int64_t(startScan) - srcY);
    const std::int64_t kTo = std::min<std::int64_t>(height, std::int64_t(startScan) + have - srcY);
    for (std::int64_t k = kFrom; k < kTo; ++k) {
        // Bottom-up data: scan (srcY + k) from the bottom lands on the k-th
        // destination row from the bottom. Top-down data runs from the top.
        const std::int64_t scan = std::int64_t(srcY) + k;
        if (scan < std::int64_t(startScan) || scan >= std::int64_t(startScan) + have)
            continue;
        const std::int64_t bufRow = scan - startScan;
        const std::int64_t dy = h.biHeight > 0 ? std::int64_t(y) + std::int64_t(height) - 1 - k : std::int64_t(y) + k;
        ++drawn;
        if (!v.valid() || dy < 0 || dy >= v.height)
            continue;
        decodeRow(bits.data() + bufRow * stride, h.biWidth, bi, palette, row.data());
        // Destination columns whose source column lies inside the data.
        const std::int64_t first = std::max<std::int64_t>(x, std::int64_t(x) - srcX);
        const std::int64_t last = std::min<std::int64_t>(std::int64_t(x) + width,
                                                         std::int64_t(x) - srcX + h.biWidth);
        if (first >= last || first >= v.width || last <= 0)
            continue;
        forSpans(area, int(dy), int(std::max<std::int64_t>(first, 0)), int(std::min<std::int64_t>(last, v.width)),
                 [&](int a, int b) {
                     for (int dx = a; dx < b; ++dx) {
                         std::uint8_t *p = v.pixel(dx, int(dy));
                         const std::uint8_t *s = row.data() + (std::int64_t(srcX) + (dx - x)) * 4;
                         p[0] = s[0];
                         p[1] = s[1];
                         p[2] = s[2];
                         if (v.bpp == 32)
                             p[3] = s[3];
                     }
                 });
    }
    return drawn;
}

} // namespace gdi
