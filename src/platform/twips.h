#pragma once
// Window geometry is given in twips: 15 twips make one logical pixel.
#include <QRect>
#include <QtMath>

namespace platform {
constexpr int kTwipsPerPixel = 15;
inline int px(int twips) { return qRound(twips / double(kTwipsPerPixel)); }
inline QRect twipRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}
} // namespace platform
