#include "controls/controlsurface.h"

namespace controls {

ControlSurface::ControlSurface() : m_dc(gdi::CreateCompatibleDC(0)) {}

ControlSurface::~ControlSurface()
{
    releaseBitmap();
    if (m_dc)
        gdi::DeleteDC(m_dc);
}

void ControlSurface::releaseBitmap()
{
    if (!m_bitmap)
        return;
    gdi::SelectObject(m_dc, m_previous);
    gdi::DeleteObject(m_bitmap);
    m_bitmap = 0;
    m_previous = 0;
    m_bits = nullptr;
    m_width = m_height = 0;
}

bool ControlSurface::ensureSize(int width, int height)
{
    if (m_bitmap && width == m_width && height == m_height)
        return true;
    releaseBitmap();
    if (!m_dc || width <= 0 || height <= 0)
        return false;
    // Top-down rows, so the memory reads like a QImage.
    const gdi::BITMAPINFO bi = gdi::makeBitmapInfo(width, -height, 32);
    std::uint8_t *bits = nullptr;
    const gdi::HBITMAP bmp = gdi::CreateDIBSection(m_dc, bi, gdi::DIB_RGB_COLORS, &bits);
    if (!bmp || !bits)
        return false;
    const gdi::HGDIOBJ previous = gdi::SelectObject(m_dc, bmp);
    if (!previous) {
        gdi::DeleteObject(bmp);
        return false;
    }
    m_bitmap = bmp;
    m_previous = previous;
    m_bits = bits;
    m_width = width;
    m_height = height;
    return true;
}

QImage ControlSurface::image() const
{
    if (!m_bits)
        return {};
    // Rows are width x 4 bytes (already a multiple of four). Drawing leaves the
    // alpha bytes at 0; the copy marks every pixel opaque.
    QImage out(m_width, m_height, QImage::Format_RGB32);
    for (int y = 0; y < m_height; ++y) {
        const auto *src = reinterpret_cast<const quint32 *>(m_bits + std::size_t(y) * std::size_t(m_width) * 4);
        auto *dst = reinterpret_cast<quint32 *>(out.scanLine(y));
        for (int x = 0; x < m_width; ++x)
            dst[x] = src[x] | 0xFF000000u;
    }
    return out;
}

} // namespace controls
