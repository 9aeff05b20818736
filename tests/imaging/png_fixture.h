#pragma once
// Small PNG files built in the tests: chunks with real CRCs, image data deflated
// from rows given as samples (filter byte 0 added here unless the row says so).
#include "imaging/c32bppDIB.h"
#include "imaging/png/png_parser.h"

#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace pngtest {

using Bytes = std::vector<std::uint8_t>;

inline void put32(Bytes &b, std::uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(std::uint8_t(v >> s));
}

class PngFile {
public:
    PngFile() { bytes = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}; }

    // A chunk with its CRC (or the given stored CRC).
    PngFile &chunk(const std::string &type, const Bytes &data, const std::uint32_t *storedCrc = nullptr)
    {
        put32(bytes, std::uint32_t(data.size()));
        Bytes td(type.begin(), type.end());
        td.insert(td.end(), data.begin(), data.end());
        bytes.insert(bytes.end(), td.begin(), td.end());
        put32(bytes, storedCrc ? *storedCrc : std::uint32_t(crc32(0, td.data(), uInt(td.size()))));
        return *this;
    }
    PngFile &ihdr(std::uint32_t w, std::uint32_t h, std::uint8_t depth, std::uint8_t type, std::uint8_t interlace = 0)
    {
        Bytes d;
        put32(d, w);
        put32(d, h);
        d.insert(d.end(), {depth, type, 0, 0, interlace});
        return chunk("IHDR", d);
    }
    PngFile &idat(const Bytes &zlibData) { return chunk("IDAT", zlibData); }
    PngFile &iend() { return chunk("IEND", {}); }

    Bytes bytes;
};

// Deflates the raw (already filtered) image data into a zlib stream.
inline Bytes deflate(const Bytes &raw, int level = 6)
{
    uLongf len = compressBound(uLong(raw.size()));
    Bytes out(len);
    compress2(out.data(), &len, raw.data(), uLong(raw.size()), level);
    out.resize(len);
    return out;
}

// Rows of samples, each prefixed by filter byte 0.
inline Bytes unfilteredRows(const std::vector<Bytes> &rows)
{
    Bytes raw;
    for (const Bytes &r : rows) {
        raw.push_back(0);
        raw.insert(raw.end(), r.begin(), r.end());
    }
    return raw;
}

// A complete single-IDAT file.
inline Bytes simplePng(std::uint32_t w, std::uint32_t h, std::uint8_t depth, std::uint8_t type,
                       const std::vector<Bytes> &rows)
{
    return PngFile().ihdr(w, h, depth, type).idat(deflate(unfilteredRows(rows))).iend().bytes;
}

struct Pixel {
    int b, g, r, a;
    bool operator==(const Pixel &o) const { return b == o.b && g == o.g && r == o.r && a == o.a; }
};

inline std::ostream &operator<<(std::ostream &os, const Pixel &p)
{
    return os << "{b " << p.b << ", g " << p.g << ", r " << p.r << ", a " << p.a << "}";
}

// The stored bytes of pixel (x, y), counted from the top-left corner.
inline Pixel pixelAt(const imaging::c32bppDIB &dib, int x, int y)
{
    const std::uint8_t *p = dib.BitsPointer() + (std::size_t(dib.Height() - 1 - y) * dib.Width() + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// Decodes a whole array; returns the parser's result.
inline bool loadPng(const Bytes &file, imaging::c32bppDIB &dib, bool compressionLibrary = true)
{
    imaging::cPNGparser parser;
    parser.setCompressionLibrary(compressionLibrary);
    std::uint32_t token = 0;
    return parser.LoadStream(file, dib, 0, std::int32_t(file.size()), token);
}

} // namespace pngtest
