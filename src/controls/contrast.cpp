#include "controls/contrast.h"

#include <algorithm>
#include <cmath>

namespace controls {
namespace {

double linear(int channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

} // namespace

double relativeLuminance(const QColor &c)
{
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor contrastingOutline(const QColor &text)
{
    const QColor black(0, 0, 0);
    const QColor white(255, 255, 255);
    return contrastRatio(text, black) >= contrastRatio(text, white) ? black : white;
}

} // namespace controls
