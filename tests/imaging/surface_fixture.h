#pragma once
// Small surfaces built pixel by pixel for the rendering and effects tests.
#include "imaging/c32bppDIB.h"
#include "imaging/parsers.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

namespace surfacetest {

// Stored bytes of one pixel: blue, green, red, alpha (premultiplied).
using Px = std::array<std::uint8_t, 4>;

inline Px px(const imaging::c32bppDIB &dib, int x, int y)
{
    Px p{};
    std::memcpy(p.data(), dib.BitsPointer() + (std::size_t(dib.Height() - 1 - y) * dib.Width() + x) * 4, 4);
    return p;
}

inline void put(imaging::c32bppDIB &dib, int x, int y, Px p)
{
    std::memcpy(dib.BitsPointer() + (std::size_t(dib.Height() - 1 - y) * dib.Width() + x) * 4, p.data(), 4);
}

inline std::string str(Px p)
{
    char text[32];
    std::snprintf(text, sizeof text, "(%d,%d,%d,%d)", p[0], p[1], p[2], p[3]);
    return text;
}

// A w x h surface whose stored pixels come from f(x, y) (top-down).
inline void fill(imaging::c32bppDIB &dib, int w, int h, const std::function<Px(int, int)> &f)
{
    dib.InitializeDIB(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            put(dib, x, y, f(x, y));
}

// An opaque gray pixel.
inline Px gray(std::uint8_t v) { return {v, v, v, 255}; }

// A distinct opaque colour for every position: an asymmetric image.
inline Px distinct(int x, int y) { return {std::uint8_t(10 + 20 * x), std::uint8_t(5 + 40 * y), 99, 255}; }

// A destination surface held in its own DC: Render draws onto dc (and into
// dib's memory when dib is passed as the host).
struct Canvas {
    imaging::c32bppDIB dib;
    gdi::HDC dc = 0;
    Canvas(int w, int h, Px background)
    {
        fill(dib, w, h, [&](int, int) { return background; });
        dc = dib.LoadDIBinDC(true);
    }
    ~Canvas() { dib.LoadDIBinDC(false); }
    Px at(int x, int y) const { return px(dib, x, y); }
};

inline bool samePixels(const imaging::c32bppDIB &a, const imaging::c32bppDIB &b)
{
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::memcmp(a.BitsPointer(), b.BitsPointer(), std::size_t(a.scanWidth()) * a.Height()) == 0;
}

} // namespace surfacetest
