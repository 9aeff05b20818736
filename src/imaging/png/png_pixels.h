#pragma once
// Row filters, Adam7 passes and the conversion of every PNG colour type and bit
// depth into premultiplied blue, green, red, alpha pixels.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace imaging::png {

struct ImageHeader {
    int32_t width = 0;
    int32_t height = 0;
    uint8_t bitDepth = 0;
    uint8_t colourType = 0;
    uint8_t interlace = 0;
};

// What PLTE and tRNS left behind.
struct ColourInfo {
    std::vector<uint8_t> palette;      // red, green, blue per entry, as stored
    std::vector<uint8_t> transparency; // tRNS data; for palette images 256 entries
    int32_t transparentColour = -1;    // -1: no transparency in use
};

struct Adam7Pass {
    uint8_t startRow, startCol, rowStep, colStep;
};
// Passes 1 to 7, then the single pass of a non-interlaced image.
extern const Adam7Pass kAdam7[8];

// Bits per pixel of the header's colour type and depth.
unsigned bitsPerPixel(const ImageHeader &h);
// Bytes of a row of `pixels` pixels, without the filter byte.
size_t rowBytes(const ImageHeader &h, uint32_t pixels);
// Pixels of a pass along one axis of `size` pixels.
uint32_t passExtent(uint32_t size, unsigned start, unsigned step);
// Size of the inflated image data: every row of every pass with its filter byte.
size_t inflatedSize(const ImageHeader &h);

// Grey images (types 0 and 3 without PLTE) get a generated palette: a grey ramp for
// type 0, zeros for type 3.
void preparePalette(const ImageHeader &h, ColourInfo &c);

// Unfilters the inflated data and writes the pixels into a bottom-up
// surface of width x height x 4 bytes. Fails on a pixel that the colour type cannot
// express (a palette index past the palette, a depth that the type does not have) and,
// in interlaced images, on an unknown filter type.
bool unfilterAndConvert(const ImageHeader &h, const ColourInfo &c, const uint8_t *inflated, size_t size,
                        uint8_t *bits);

// The same, row by row as the inflated data arrives: rows are handled while they
// are still in the cache, and the data need not be in one buffer.
class RowDecoder {
public:
    RowDecoder(const ImageHeader &h, const ColourInfo &c, uint8_t *bits);
    ~RowDecoder();
    RowDecoder(const RowDecoder &) = delete;
    RowDecoder &operator=(const RowDecoder &) = delete;

    // False when the colour type and depth cannot be converted.
    bool usable() const;
    // Unfilters and converts every whole row in [data, end), leaving the data as it
    // is. Returns the start of the first row not handled, or nullptr on a failure.
    const uint8_t *consume(const uint8_t *data, const uint8_t *end);
    // Every row of every pass is done.
    bool finished() const;
    // The last row handled, which the next one is unfiltered against, when it lies
    // in the caller's data (a row stored without filter); nullptr otherwise.
    const uint8_t *previousRow() const;
    // The caller moved its data, the previous row with it, by `delta` bytes.
    void moved(std::ptrdiff_t delta);

private:
    struct State;
    State *m_state;
};

} // namespace imaging::png
