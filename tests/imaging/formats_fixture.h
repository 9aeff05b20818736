#pragma once
// Small hand-made icon, cursor, bitmap and GIF files for the decoder tests.
#include "png_fixture.h"

#include "imaging/c32bppDIB.h"

#include <QFile>
#include <QString>
#include <cstdint>
#include <vector>

namespace fmttest {

using Bytes = std::vector<std::uint8_t>;
using pngtest::Pixel;
using pngtest::pixelAt;

inline void le16(Bytes &b, std::uint32_t v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void le32(Bytes &b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}
inline void set32(Bytes &b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

inline imaging::ByteArray toArray(const Bytes &b) { return imaging::ByteArray(std::span<const std::uint8_t>(b)); }

inline bool writeFile(const QString &path, const Bytes &b)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(reinterpret_cast<const char *>(b.data()), qint64(b.size())) == qint64(b.size());
}

inline Bytes readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray d = f.readAll();
    return Bytes(d.begin(), d.end());
}

// ---- icons ----------------------------------------------------------------
// A bitmap-style icon entry: pixels are indices (bits <= 8) or BGRA values
// (24 and 32 bits, 24 ignores A), top row first; mask bits set = transparent.
struct IconImage {
    int width = 0, height = 0, bits = 8;
    std::vector<std::uint32_t> pixels;     // width x height
    std::vector<std::uint32_t> palette;    // 0x00RRGGBB, up to 2^bits
    std::vector<bool> mask;                // width x height, empty: all clear
    Bytes png;                             // a PNG entry instead
    std::uint16_t dirBits = 0xFFFF;        // directory bit count (default: bits)
};

inline Bytes bitmapEntryData(const IconImage &im)
{
    Bytes d;
    le32(d, 40);
    le32(d, std::uint32_t(im.width));
    le32(d, std::uint32_t(im.height * 2));
    le16(d, 1);
    le16(d, std::uint32_t(im.bits));
    le32(d, 0);
    for (int i = 0; i < 5; ++i)
        le32(d, 0);
    if (im.bits <= 8)
        for (int i = 0; i < (1 << im.bits); ++i)
            le32(d, i < int(im.palette.size()) ? im.palette[std::size_t(i)] : 0);
    const int row = ((im.width * im.bits + 31) / 32) * 4;
    for (int y = im.height - 1; y >= 0; --y) {
        Bytes r(std::size_t(row), 0);
        for (int x = 0; x < im.width; ++x) {
            const std::uint32_t v = im.pixels[std::size_t(y * im.width + x)];
            if (im.bits <= 8) {
                const int bitPos = x * im.bits;
                r[std::size_t(bitPos / 8)] |= std::uint8_t(v << (8 - im.bits - bitPos % 8));
            } else {
                const int n = im.bits / 8;
                for (int c = 0; c < n; ++c)
                    r[std::size_t(x * n + c)] = std::uint8_t(v >> (8 * c));
            }
        }
        d.insert(d.end(), r.begin(), r.end());
    }
    const int maskRow = ((im.width + 31) / 32) * 4;
    for (int y = im.height - 1; y >= 0; --y) {
        Bytes r(std::size_t(maskRow), 0);
        for (int x = 0; x < im.width; ++x)
            if (!im.mask.empty() && im.mask[std::size_t(y * im.width + x)])
                r[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
        d.insert(d.end(), r.begin(), r.end());
    }
    return d;
}

// A whole icon (type 1) or cursor (type 2) file.
inline Bytes iconFile(const std::vector<IconImage> &images, int type = 1)
{
    Bytes f;
    le16(f, 0);
    le16(f, std::uint32_t(type));
    le16(f, std::uint32_t(images.size()));
    std::vector<Bytes> datas;
    for (const IconImage &im : images)
        datas.push_back(im.png.empty() ? bitmapEntryData(im) : im.png);
    std::uint32_t offset = std::uint32_t(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const IconImage &im = images[i];
        f.push_back(std::uint8_t(im.width & 255));
        f.push_back(std::uint8_t(im.height & 255));
        f.push_back(0);
        f.push_back(0);
        le16(f, 1);
        le16(f, im.dirBits == 0xFFFF ? std::uint32_t(im.bits) : im.dirBits);
        le32(f, std::uint32_t(datas[i].size()));
        le32(f, offset);
        offset += std::uint32_t(datas[i].size());
    }
    for (const Bytes &d : datas)
        f.insert(f.end(), d.begin(), d.end());
    return f;
}

// A square entry of one colour (index 1 of a two-colour palette below 16 bits).
inline IconImage solidImage(int size, int bits, std::uint32_t bgra = 0xFF336699)
{
    IconImage im;
    im.width = im.height = size;
    im.bits = bits;
    if (bits <= 8) {
        im.palette = {0x000000, bgra & 0xFFFFFF};
        im.pixels.assign(std::size_t(size * size), 1);
    } else {
        im.pixels.assign(std::size_t(size * size), bgra);
    }
    return im;
}

// ---- bitmaps --------------------------------------------------------------
// A 32-bit uncompressed bitmap file, BGRA pixels given top row first.
inline Bytes bmp32(int width, int height, const std::vector<std::uint32_t> &pixels, bool topDown = false)
{
    Bytes f;
    f.push_back('B');
    f.push_back('M');
    le32(f, std::uint32_t(54 + pixels.size() * 4));
    le32(f, 0);
    le32(f, 54);
    le32(f, 40);
    le32(f, std::uint32_t(width));
    le32(f, std::uint32_t(topDown ? -height : height));
    le16(f, 1);
    le16(f, 32);
    for (int i = 0; i < 6; ++i)
        le32(f, 0);
    for (int r = 0; r < height; ++r) {
        const int y = topDown ? r : height - 1 - r;
        for (int x = 0; x < width; ++x)
            le32(f, pixels[std::size_t(y * width + x)]);
    }
    return f;
}

// ---- GIF ------------------------------------------------------------------
// LZW data that a decoder reads as plain literals: a clear code before the
// code table would need a wider code, so every code keeps minCodeSize + 1 bits.
inline Bytes gifLzw(const std::vector<std::uint8_t> &indices, int minCodeSize)
{
    const int width = minCodeSize + 1;
    const std::uint32_t clear = 1u << minCodeSize, end = clear + 1;
    std::vector<std::uint32_t> codes{clear};
    int sinceClear = 0;
    for (std::uint8_t i : indices) {
        if (sinceClear == int(clear) - 2) {
            codes.push_back(clear);
            sinceClear = 0;
        }
        codes.push_back(i);
        ++sinceClear;
    }
    codes.push_back(end);
    Bytes packed;
    std::uint32_t acc = 0;
    int nbits = 0;
    for (std::uint32_t c : codes) {
        acc |= c << nbits;
        nbits += width;
        while (nbits >= 8) {
            packed.push_back(std::uint8_t(acc));
            acc >>= 8;
            nbits -= 8;
        }
    }
    if (nbits)
        packed.push_back(std::uint8_t(acc));
    Bytes out{std::uint8_t(minCodeSize)};
    for (std::size_t i = 0; i < packed.size(); i += 255) {
        const std::size_t n = std::min<std::size_t>(255, packed.size() - i);
        out.push_back(std::uint8_t(n));
        out.insert(out.end(), packed.begin() + std::ptrdiff_t(i), packed.begin() + std::ptrdiff_t(i + n));
    }
    out.push_back(0);
    return out;
}

struct GifFrame {
    GifFrame(int l, int t, int w, int h, std::vector<std::uint8_t> idx)
        : left(l), top(t), width(w), height(h), indices(std::move(idx))
    {
    }
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> indices;
    int transparent = -1;          // graphic control with this index; -2: control without transparency
    std::vector<std::uint32_t> localPalette;   // 0xRRGGBB
};

// A GIF89a file with a global palette of 2^tableBits entries (0xRRGGBB).
inline Bytes gifFile(int screenW, int screenH, const std::vector<std::uint32_t> &palette,
                     const std::vector<GifFrame> &frames, const char *signature = "GIF89a", int tableBits = 2)
{
    Bytes f(signature, signature + 6);
    le16(f, std::uint32_t(screenW));
    le16(f, std::uint32_t(screenH));
    f.push_back(std::uint8_t(0x80 | (tableBits - 1)));
    f.push_back(0);
    f.push_back(0);
    auto table = [&](const std::vector<std::uint32_t> &p) {
        for (int i = 0; i < (1 << tableBits); ++i) {
            const std::uint32_t c = i < int(p.size()) ? p[std::size_t(i)] : 0;
            f.push_back(std::uint8_t(c >> 16));
            f.push_back(std::uint8_t(c >> 8));
            f.push_back(std::uint8_t(c));
        }
    };
    table(palette);
    for (const GifFrame &fr : frames) {
        if (fr.transparent != -1) {
            f.insert(f.end(), {0x21, 0xF9, 4, std::uint8_t(fr.transparent >= 0 ? 1 : 0), 0, 0,
                               std::uint8_t(fr.transparent >= 0 ? fr.transparent : 0), 0});
        }
        f.push_back(0x2C);
        le16(f, std::uint32_t(fr.left));
        le16(f, std::uint32_t(fr.top));
        le16(f, std::uint32_t(fr.width));
        le16(f, std::uint32_t(fr.height));
        f.push_back(fr.localPalette.empty() ? 0 : std::uint8_t(0x80 | (tableBits - 1)));
        if (!fr.localPalette.empty())
            table(fr.localPalette);
        const Bytes lzw = gifLzw(fr.indices, std::max(2, tableBits));
        f.insert(f.end(), lzw.begin(), lzw.end());
    }
    f.push_back(0x3B);
    return f;
}

} // namespace fmttest
