#pragma once
// Test pictures shared by the benchmarks: a photo (smooth shapes with sensor
// noise), a screenshot (flat panels, text, a translucent shadow) and a palette
// picture (the photo reduced to 252 colours). Pixels are rows top first, in
// red, green, blue (and alpha) order. The photo and screenshot generators are
// those of the decoder benchmark.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace benchimages {

using Bytes = std::vector<std::uint8_t>;

inline std::uint32_t nextRandom(std::uint32_t &s)
{
    s = s * 1664525u + 1013904223u;
    return s >> 8;
}

inline Bytes photoPixels(int w, int h, int channels)
{
    Bytes px(std::size_t(w) * std::size_t(h) * std::size_t(channels));
    std::uint32_t rngState = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t *p = &px[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * std::size_t(channels)];
            const double r = 128 + 90 * std::sin(x / 57.0) * std::cos(y / 41.0);
            const double g = 128 + 80 * std::sin((x + y) / 93.0);
            const double b = 100 + 60 * std::cos(std::hypot(x - w / 2.0, y - h / 3.0) / 37.0);
            const int noise = int(nextRandom(rngState) % 9) - 4;
            p[0] = std::uint8_t(std::clamp(int(r) + noise, 0, 255));
            p[1] = std::uint8_t(std::clamp(int(g) + noise, 0, 255));
            p[2] = std::uint8_t(std::clamp(int(b) - noise, 0, 255));
            if (channels == 4)
                p[3] = std::uint8_t(std::clamp(int(200 + 55 * std::sin(y / 80.0)), 0, 255));
        }
    return px;
}

inline Bytes screenshotPixels(int w, int h)
{
    Bytes px(std::size_t(w) * std::size_t(h) * 4, 0);
    std::uint32_t rngState = 777;
    auto at = [&](int x, int y) { return &px[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * 4]; };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t *p = at(x, y);
            const int dx = std::min(x, w - 1 - x), dy = std::min(y, h - 1 - y);
            const int edge = std::min(dx, dy);
            if (edge < 24) { // shadow around the window
                p[0] = p[1] = p[2] = 0;
                p[3] = std::uint8_t(edge * 5);
                continue;
            }
            p[3] = 255;
            if (y < 60) { // title bar
                p[0] = std::uint8_t(40 + y);
                p[1] = std::uint8_t(70 + y);
                p[2] = std::uint8_t(150 + y);
            } else if (x < 300) { // side panel
                p[0] = p[1] = p[2] = 235;
            } else {
                p[0] = p[1] = p[2] = 255;
            }
        }
    for (int line = 100; line + 12 < h - 40; line += 18)
        for (int cell = 320; cell + 8 < w - 60; cell += 8) {
            if (nextRandom(rngState) % 7 == 0)
                continue;
            const std::uint32_t glyph = nextRandom(rngState);
            for (int gy = 0; gy < 12; ++gy)
                for (int gx = 0; gx < 6; ++gx)
                    if ((glyph >> ((gy * 3 + gx) % 24)) & 1) {
                        std::uint8_t *p = at(cell + gx, line + gy);
                        p[0] = p[1] = p[2] = std::uint8_t(30 + (gx * 7));
                    }
        }
    return px;
}

// The photo without noise, reduced to 6 x 7 x 6 levels: one index per pixel
// and a palette of 252 red-green-blue triples (index = r * 42 + g * 6 + b).
struct PalettePicture {
    Bytes indices;
    Bytes palette;
};

inline PalettePicture palettePicture(int w, int h)
{
    PalettePicture pic;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 7; ++g)
            for (int b = 0; b < 6; ++b)
                pic.palette.insert(pic.palette.end(),
                                   {std::uint8_t(r * 51), std::uint8_t(g * 255 / 6), std::uint8_t(b * 51)});
    pic.indices.resize(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double r = 128 + 90 * std::sin(x / 57.0) * std::cos(y / 41.0);
            const double g = 128 + 80 * std::sin((x + y) / 93.0);
            const double b = 100 + 60 * std::cos(std::hypot(x - w / 2.0, y - h / 3.0) / 37.0);
            const int ri = int(r) * 6 / 256, gi = int(g) * 7 / 256, bi = int(b) * 6 / 256;
            pic.indices[std::size_t(y) * std::size_t(w) + std::size_t(x)] = std::uint8_t(ri * 42 + gi * 6 + bi);
        }
    return pic;
}

} // namespace benchimages
