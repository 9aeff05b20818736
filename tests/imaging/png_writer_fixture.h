#pragma once
// Helpers for the PNG encoder's tests: surfaces from pixel lists, and the
// chunks of an encoded file taken apart again.
#include "png_fixture.h"

#include "imaging/c32bppDIB.h"
#include "imaging/png/png_writer.h"

#include <QString>
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace pngwritetest {

using pngtest::Bytes;

// A stored (premultiplied) pixel: blue, green, red, alpha.
struct Bgra {
    std::uint8_t b, g, r, a;
};

// A width x height surface from pixels given top row first; `alpha` is the
// surface's Alpha flag.
inline bool makeSurface(imaging::c32bppDIB &dib, int width, int height, const std::vector<Bgra> &pixels, bool alpha)
{
    if (pixels.size() != std::size_t(width) * std::size_t(height) || !dib.InitializeDIB(width, height))
        return false;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Bgra &p = pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
            std::uint8_t *d = dib.BitsPointer() + (std::size_t(height - 1 - y) * std::size_t(width) + std::size_t(x)) * 4;
            d[0] = p.b, d[1] = p.g, d[2] = p.r, d[3] = p.a;
        }
    dib.setAlpha(alpha);
    return true;
}

struct Chunk {
    std::string type;
    Bytes data;
    bool crcOk = false;
};

inline std::uint32_t be32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// The chunks after the signature; empty when the signature is missing or a
// chunk runs past the end.
inline std::vector<Chunk> chunksOf(const Bytes &png)
{
    std::vector<Chunk> out;
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (png.size() < 8 || std::memcmp(png.data(), signature, 8) != 0)
        return out;
    std::size_t pos = 8;
    while (pos + 12 <= png.size()) {
        const std::uint32_t len = be32(&png[pos]);
        if (len > png.size() - pos - 12)
            return {};
        Chunk c;
        c.type.assign(reinterpret_cast<const char *>(&png[pos + 4]), 4);
        c.data.assign(png.begin() + long(pos + 8), png.begin() + long(pos + 8 + len));
        c.crcOk = crc32(0, &png[pos + 4], uInt(len + 4)) == be32(&png[pos + 8 + len]);
        out.push_back(std::move(c));
        pos += 12 + len;
    }
    return pos == png.size() ? out : std::vector<Chunk>{};
}

inline std::string chunkTypes(const std::vector<Chunk> &chunks)
{
    std::string s;
    for (const Chunk &c : chunks)
        s += (s.empty() ? "" : " ") + c.type;
    return s;
}

inline const Chunk *findChunk(const std::vector<Chunk> &chunks, const std::string &type)
{
    for (const Chunk &c : chunks)
        if (c.type == type)
            return &c;
    return nullptr;
}

inline Bytes inflateAll(const Bytes &z, std::size_t expected)
{
    Bytes out(expected + 1);
    uLongf len = uLongf(out.size());
    if (uncompress(out.data(), &len, z.data(), uLong(z.size())) != Z_OK)
        return {};
    out.resize(len);
    return out;
}

// The filtered rows of the one IDAT chunk (filter byte first in each row).
inline Bytes imageData(const std::vector<Chunk> &chunks, std::size_t expected)
{
    const Chunk *idat = findChunk(chunks, "IDAT");
    return idat ? inflateAll(idat->data, expected) : Bytes();
}

inline Bytes encode(imaging::c32bppDIB &dib)
{
    imaging::ByteArray out;
    if (!dib.SaveToStream_PNG(out))
        return {};
    return out.toVector();
}

} // namespace pngwritetest
