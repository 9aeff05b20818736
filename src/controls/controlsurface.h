#pragma once
// The persistent off-screen image a skin control draws into: a memory drawing
// context with a 32-bit top-down DIB section of the control's size.
#include "platform/gdi/gdi.h"

#include <QImage>

namespace controls {

class ControlSurface {
public:
    ControlSurface();
    ~ControlSurface();
    ControlSurface(const ControlSurface &) = delete;
    ControlSurface &operator=(const ControlSurface &) = delete;

    // Makes the image width x height (kept when the size is unchanged).
    // False when no image could be made (an empty size among others).
    bool ensureSize(int width, int height);
    bool isValid() const { return m_bitmap != 0; }
    gdi::HDC dc() const { return m_dc; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // A copy of the pixels; the alpha bytes that drawing leaves at 0 are ignored.
    QImage image() const;

private:
    void releaseBitmap();
    gdi::HDC m_dc = 0;
    gdi::HBITMAP m_bitmap = 0;
    gdi::HGDIOBJ m_previous = 0;
    std::uint8_t *m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
};

} // namespace controls
