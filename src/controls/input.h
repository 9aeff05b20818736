#pragma once
// Small helpers every skin control shares: the button and shift codes its
// mouse and key events carry, and the rounding its painters use.
#include <QtGlobal>
#include <cmath>

namespace controls {

// One mouse button: 1 left, 2 right, 4 middle, 0 any other.
inline int mouseButtonCode(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

// The buttons held, as the sum of their codes.
inline int mouseButtonsMask(Qt::MouseButtons b)
{
    return ((b & Qt::LeftButton) ? 1 : 0) | ((b & Qt::RightButton) ? 2 : 0) | ((b & Qt::MiddleButton) ? 4 : 0);
}

// Shift 1, Control 2, Alt 4.
inline int shiftCode(Qt::KeyboardModifiers m)
{
    return ((m & Qt::ShiftModifier) ? 1 : 0) | ((m & Qt::ControlModifier) ? 2 : 0) | ((m & Qt::AltModifier) ? 4 : 0);
}

// Nearest integer, halves to even (the default rounding mode).
inline int roundEven(double v)
{
    return int(std::nearbyint(v));
}

} // namespace controls
