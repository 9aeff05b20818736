// The first two steps of the surface's own drawing pipeline: the mirrored
// copy of a source rectangle and the nearest-neighbour / bilinear resampler.
#include "imaging/c32bppDIB.h"

#include "imaging/bilinear_p.h"

#include <cstring>
#include <vector>

namespace imaging {

using detail::PixelRows;

namespace {

// Int(v) kept inside 0..last (callers' offsets could otherwise point outside,
// and a double beyond the 32-bit range must not be converted).
std::int32_t columnOf(double v, std::int32_t last)
{
    return std::int32_t(std::clamp(std::trunc(v), 0.0, double(last)));
}

} // namespace

bool c32bppDIB::MirrorCopy(std::int32_t &srcX, std::int32_t &srcY, std::int32_t srcWidth, std::int32_t srcHeight,
                           std::int32_t &destWidth, std::int32_t &destHeight, ByteArray &buffer,
                           c32bppDIB *target) const
{
    if (destWidth >= 1 && destHeight >= 1)
        return true;   // nothing to mirror
    if (!m_handle || srcX < 0 || srcY < 0 || srcWidth < 1 || srcHeight < 1 ||
        std::int64_t(srcX) + srcWidth > m_width || std::int64_t(srcY) + srcHeight > m_height ||
        destWidth == INT32_MIN || destHeight == INT32_MIN)
        return false;
    PixelRows out;
    if (target) {
        if (target->Width() != srcWidth || target->Height() != srcHeight)
            return false;
        out = PixelRows{target->BitsPointer(), srcWidth, srcHeight};
    } else {
        if (!detail::makeBuffer(buffer, srcWidth, srcHeight))
            return false;
        out = detail::rowsOf(buffer);
    }
    const bool flipX = destWidth < 0, flipY = destHeight < 0;
    const PixelRows image{m_bits, m_width, m_height};
    // The rectangle is read from the mirrored image: in a flipped axis its
    // first column (row) is the image's column (row) size - 1 - origin.
    for (std::int32_t r = 0; r < srcHeight; ++r) {
        const std::int32_t imageRowFromTop = flipY ? m_height - 1 - srcY - r : srcY + r;
        const auto *in = reinterpret_cast<const std::uint32_t *>(image.row(m_height - 1 - imageRowFromTop));
        auto *o = reinterpret_cast<std::uint32_t *>(out.row(srcHeight - 1 - r));
        if (flipX) {
            const std::int32_t first = m_width - 1 - srcX;
            for (std::int32_t j = 0; j < srcWidth; ++j)
                o[j] = in[first - j];
        } else {
            std::memcpy(o, in + srcX, std::size_t(srcWidth) * 4);
        }
    }
    srcX = srcY = 0;
    destWidth = std::abs(destWidth);
    destHeight = std::abs(destHeight);
    return true;
}

bool c32bppDIB::ResamplePixels(ByteArray &outBuffer, ByteArray &srcBuffer, c32bppDIB *target, std::int32_t srcX,
                               std::int32_t srcY, std::int32_t srcWidth, std::int32_t srcHeight, std::int32_t destX,
                               std::int32_t destY, std::int32_t &destWidth, std::int32_t &destHeight) const
{
    const PixelRows src = srcBuffer.empty() ? PixelRows{m_bits, m_width, m_height} : detail::rowsOf(srcBuffer);
    if (!src.bits)
        return false;
    if (srcWidth == 0)
        srcWidth = src.width;
    if (srcHeight == 0)
        srcHeight = src.rows;
    // The source rectangle must lie inside the source.
    if (srcX < 0 || srcY < 0 || srcWidth < 1 || srcHeight < 1 || std::int64_t(srcX) + srcWidth > src.width ||
        std::int64_t(srcY) + srcHeight > src.rows)
        return false;

    std::int64_t w, h, colOffset = 0, rowOffset = 0;
    double xRatio, yRatio;
    PixelRows out;
    if (target) {
        if (!target->Handle())
            return false;
        w = target->Width();
        h = target->Height();
        xRatio = double(srcWidth) / double(w);
        yRatio = double(srcHeight) / double(h);
        colOffset = destX;
        rowOffset = destY;
        out = PixelRows{target->BitsPointer(), target->Width(), target->Height()};
    } else {
        w = std::abs(std::int64_t(destWidth));
        h = std::abs(std::int64_t(destHeight));
        if (w < 1 || h < 1)
            return false;
        // The ratios belong to the whole destination; clipping only drops
        // its left columns and top rows.
        xRatio = double(srcWidth) / double(w);
        yRatio = double(srcHeight) / double(h);
        if (destX < 0) {
            w -= -std::int64_t(destX);
            colOffset = -std::int64_t(destX);
        }
        if (destY < 0)
            h -= -std::int64_t(destY);
        if (w < 1 || h < 1 || !detail::makeBuffer(outBuffer, w, h))
            return false;
        out = detail::rowsOf(outBuffer);
    }
    if (w < 1 || h < 1)
        return false;

    // The memory row of the source rectangle's bottom row.
    const std::int64_t baseRow = std::int64_t(src.rows) - srcHeight - srcY;
    const std::int32_t lastColumn = src.width - 1, lastRow = src.rows - 1;
    const std::int32_t W = std::int32_t(w), H = std::int32_t(h);

    if (!m_highQuality) {
        // Column positions once per call.
        std::vector<std::int32_t> column(static_cast<std::size_t>(W));
        for (std::int32_t x = 0; x < W; ++x)
            column[std::size_t(x)] = columnOf(double(x + colOffset) * xRatio + srcX, lastColumn);
        for (std::int32_t y = H - 1; y >= 0; --y) {
            const std::int32_t sy = columnOf(std::trunc(double(y + rowOffset) * yRatio) + double(baseRow), lastRow);
            const auto *in = reinterpret_cast<const std::uint32_t *>(src.row(sy));
            auto *o = reinterpret_cast<std::uint32_t *>(out.row(y));
            for (std::int32_t x = 0; x < W; ++x)
                o[x] = in[column[std::size_t(x)]];
        }
    } else {
        // Bilinear with the engine's taps: column ix (weight 1 - f) and ix + 1
        // (weight f) unless ix is the image's last column; row iy (weight t)
        // and iy - 1 (weight 1 - t) unless iy is 0. A tap left out is read at
        // weight 0 from an address inside the image, which adds exactly 0.
        detail::ColumnTaps columns(static_cast<std::size_t>(W));
        columns.paired = W;
        for (std::int32_t x = W - 1; x >= 0; --x) {
            const std::size_t i = std::size_t(x);
            const double fx = double(x + colOffset) * xRatio + srcX;
            const std::int32_t ix = columnOf(fx, lastColumn);
            columns.first[i] = ix;
            if (ix == lastColumn) {
                columns.second[i] = ix;
                columns.w0[i] = 1.0;
                columns.w1[i] = 0.0;
                columns.paired = x;
            } else {
                columns.second[i] = ix + 1;
                columns.w0[i] = 1.0 - (fx - ix);
                columns.w1[i] = fx - ix;
            }
        }
        detail::groupColumns(columns);
        for (std::int32_t y = H - 1; y >= 0; --y) {
            const double fy = double(y + rowOffset) * yRatio + double(baseRow);
            const std::int32_t iy = columnOf(fy, lastRow);
            const double t = fy - iy;
            const std::uint8_t *rowA, *rowB;
            double wa, wb;
            if (iy == 0) {
                rowA = rowB = src.row(0);
                wa = 1.0;
                wb = 0.0;
            } else {
                rowA = src.row(iy);
                rowB = src.row(iy - 1);
                wa = t;
                wb = 1.0 - t;
            }
            detail::bilinearRow(out.row(y), rowA, rowB, wa, wb, columns, W);
        }
    }
    destWidth = W;
    destHeight = H;
    srcBuffer.clear();
    return true;
}

} // namespace imaging
