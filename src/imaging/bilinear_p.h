#pragma once
// Inner loops of the surface's resampler and rotation. A bilinear output
// byte is Int(sum of weight x byte) over four taps in double precision, the
// products and sums taken in a fixed order (with a slack against rounding
// error, see the .cpp); a nearest-neighbour one is the byte of the pixel the
// point falls in. The vector builds (chosen at run time) give the same bytes
// as the plain ones.
#include "imaging/pixels_p.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace imaging::detail {

// The destination columns of the resampler, made once per call: column x
// reads source columns first[x] and second[x] at weights w0[x] and w1[x]
// (second is first + 1, or first itself at weight 0 where first is the
// image's last column). The columns before `paired` all read two
// neighbouring pixels.
struct ColumnTaps {
    std::vector<std::int32_t> first, second;
    std::vector<double> w0, w1;
    std::int32_t paired = 0;

    // For the sixteen-column loop: the weights in single precision, and each
    // whole group of sixteen paired columns.
    struct Group {
        // How many pixels each column's first tap lies past the group's first
        // column's first tap, as byte indices of a 64-byte window read from
        // there (pixel bytes 0 to 3), when the window holds every tap.
        std::uint8_t window[64];
        bool inWindow;
        // How many bytes of the window the taps use.
        std::uint8_t windowBytes;
        // The columns whose weights are multiples of 1/256.
        std::uint16_t dyadic;
    };
    std::vector<float> w0Single, w1Single;
    std::vector<Group> groups;

    explicit ColumnTaps(std::size_t count) : first(count), second(count), w0(count), w1(count) {}
};

// Fills the single-precision weights and the groups once the taps are set
// (where the sixteen-column loop will run).
void groupColumns(ColumnTaps &columns);

// Whether w is a multiple of 1/256 (then bilinear sums of bytes with such
// weights are exact in single precision).
inline bool isDyadicWeight(double w) { return std::trunc(w * 256.0) == w * 256.0; }

// bilinearRow sixteen columns at a time; only where avx512VbmiLoopsAllowed().
bool avx512VbmiLoopsAllowed();
void bilinearRow16(std::uint8_t *out, const std::uint8_t *rowA, const std::uint8_t *rowB, double wa, double wb,
                   const ColumnTaps &columns, std::int32_t count);
// The plain loop over columns [from, count).
void bilinearRowPlain(std::uint8_t *out, const std::uint8_t *rowA, const std::uint8_t *rowB, double wa, double wb,
                      const ColumnTaps &columns, std::int32_t from, std::int32_t count);

// Columns [0, count) of one destination row from two source rows of weights
// wa and wb.
void bilinearRow(std::uint8_t *out, const std::uint8_t *rowA, const std::uint8_t *rowB, double wa, double wb,
                 const ColumnTaps &columns, std::int32_t count);

// A run of rotated pixels: the source point starts at (px, py) and moves by
// (dpx, dpy) per output pixel. Points inside [xLo, xHi) x [yLo, yHi) are
// sampled from four taps (the column after lastX and the row after lastY
// left out); points outside leave the output pixel as it is.
struct RotateSpan {
    double px, py, dpx, dpy;
    double xLo, xHi, yLo, yHi;
    std::int32_t lastX, lastY;
};
void bilinearRotateSpan(std::uint8_t *out, std::int32_t count, const RotateSpan &span, const PixelRows &source);

// Several rows of rotated pixels at once. Row i covers the columns
// [from, to) of the output row that starts at out; its source point is
// (px, py) at column from and moves by (span.dpx, span.dpy) per column (the
// span's own px and py are not used). Every row gets exactly the bytes
// bilinearRotateSpan gives it on its own.
struct RotateRow {
    double px, py;
    std::int32_t from, to;
    std::uint8_t *out;
    // The caller may know that the points of columns [sureFrom, sureTo) all
    // fall inside the rectangle; the sixteen-row loops then skip testing
    // them.
    std::int32_t sureFrom = 0, sureTo = 0;
};
void bilinearRotateRows(const RotateRow *rows, std::int32_t count, const RotateSpan &span, const PixelRows &source);

// Rows drawn one after the other by a run loop such as bilinearRotateSpan.
template <class RunLoop>
void eachRowAlone(const RotateRow *rows, std::int32_t count, const RotateSpan &span, const PixelRows &source,
                  RunLoop run)
{
    for (std::int32_t i = 0; i < count; ++i) {
        RotateSpan s = span;
        s.px = rows[i].px;
        s.py = rows[i].py;
        run(rows[i].out + std::size_t(rows[i].from) * 4, rows[i].to - rows[i].from, s, source);
    }
}

// The rows side by side settle each byte from a single-precision sum when
// no whole number lies within this distance of it (the bound is argued in
// bilinear.cpp), and make every other pixel by the plain arithmetic, which
// bilinearPixelPlain gives for one point (pixels outside left as they are).
constexpr float kSingleSettled = 1.0f / 2048;
void bilinearPixelPlain(std::uint8_t *out, double px, double py, const RotateSpan &span, const PixelRows &source);

// bilinearRotateRows with sixteen rows side by side, its sums made in whole
// numbers; only where avx512VnniLoopsAllowed() (AVX-512 with the 16-bit
// multiply-adds and byte permutes).
bool avx512LoopsAllowed();
bool avx512VnniLoopsAllowed();
void bilinearRotateRows16(const RotateRow *rows, std::int32_t count, const RotateSpan &span,
                          const PixelRows &source);

// The nearest-neighbour rotation: each point inside the rectangle gives the
// output pixel the four bytes of the source pixel it falls in (floor of x
// and y); as a run, and as rows side by side.
void nearestRotateSpan(std::uint8_t *out, std::int32_t count, const RotateSpan &span, const PixelRows &source);
void nearestRotateRows(const RotateRow *rows, std::int32_t count, const RotateSpan &span, const PixelRows &source);

// The widest vector loops the inner loops may use, where the processor has
// them (AVX-512 turns sixteen rotated rows side by side, AVX2 eight bilinear
// ones). Tests lower it to compare each build with the plain one.
enum class VectorLoops { Plain, Avx2, Avx512 };
void setVectorLoops(VectorLoops widest);

// Whether the rotation draws through its fast path (a strip of rows at a
// time, rows side by side, only the written boxes blended). Tests turn it
// off to compare with the plain whole-square drawing.
void setRotationFastPathAllowed(bool allowed);

} // namespace imaging::detail
