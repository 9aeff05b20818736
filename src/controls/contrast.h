#pragma once
// Legibility of text colours: the relative luminance and contrast ratio of
// the usual accessibility guidelines (4.5:1 is the level for body text).
#include <QColor>

namespace controls {

double relativeLuminance(const QColor &c);
// From 1 (same luminance) to 21 (black on white), whichever colour is lighter.
double contrastRatio(const QColor &a, const QColor &b);
// Black or white, whichever stands out more against the text colour: the
// outline that keeps an outlined caption readable on any background.
QColor contrastingOutline(const QColor &text);

} // namespace controls
