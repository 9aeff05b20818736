#pragma once
// Private helpers shared by the surface's rendering and effects code.
#include "imaging/bytearray.h"
#include "imaging/parsers.h"

#include <cmath>
#include <cstdint>

namespace imaging::detail {

// Pixels seen as rows in memory order (row 0 is the bottom row): either a
// surface's memory or a two-dimensional pixel buffer.
struct PixelRows {
    std::uint8_t *bits = nullptr;
    std::int32_t width = 0;
    std::int32_t rows = 0;

    std::uint8_t *row(std::int32_t memRow) const { return bits + std::size_t(memRow) * std::size_t(width) * 4; }
    std::uint8_t *pixel(std::int32_t x, std::int32_t memRow) const { return row(memRow) + std::size_t(x) * 4; }
};

inline PixelRows rowsOf(ByteArray &buffer)
{
    return {buffer.data(), std::int32_t(buffer.rowBytes() / 4), std::int32_t(buffer.rows())};
}

// A pixel buffer of width x height pixels (contents unspecified); false when
// the size is out of range or memory runs out.
inline bool makeBuffer(ByteArray &buffer, std::int64_t width, std::int64_t height)
{
    if (width < 1 || height < 1 || width > INT32_MAX / 4 || width * 4 * height > INT32_MAX)
        return false;
    return buffer.resize2DForOverwrite(std::size_t(width) * 4, std::size_t(height));
}

// The gray of premultiplied colour bytes: round((B*wb + G*wg + R*wr) * 255)
// \ 255, the products taken in single precision like the stored weights, the
// rounding half to even.
inline std::uint8_t grayOf(int b, int g, int r, const GrayWeights &w)
{
    const float sum = (float(b) * w.blue + float(g) * w.green + float(r) * w.red) * 255.0f;
    const long v = std::lrint(sum);
    return std::uint8_t(std::clamp(v / 255, 0L, 255L));
}

// The own pipeline's blend of one premultiplied source pixel s of alpha a
// (not 0) into `channels` destination bytes at opacity byte O: at O = 255,
// d = s + (d (255 - a)) \ 255; below it, d = (d k + s O) \ 255 with
// k = 255 - (a O) \ 255; each byte kept modulo 256.
inline void blendPixelOwn(std::uint8_t *d, const std::uint8_t *s, int channels, unsigned O)
{
    const unsigned a = s[3];
    if (O == 255) {
        const unsigned inv = 255 - a;
        for (int c = 0; c < channels; ++c)
            d[c] = std::uint8_t(s[c] + (d[c] * inv) / 255);
    } else {
        const unsigned k = 255 - (a * O) / 255;
        for (int c = 0; c < channels; ++c)
            d[c] = std::uint8_t((d[c] * k + s[c] * O) / 255);
    }
}

// blendPixelOwn over a row of count 32-bit pixels, leaving the destination
// where the source alpha is 0 (sixteen pixels a step with AVX-512 where the
// processor has it).
void blendRowOwn(std::uint8_t *d, const std::uint8_t *s, std::int32_t count, unsigned O);

// Rounds half to even, the engine's rule for reals turned into integers.
inline std::int64_t roundEven(double v) { return std::llrint(v); }

} // namespace imaging::detail
