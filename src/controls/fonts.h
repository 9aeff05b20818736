#pragma once
// Fonts of the skin controls. The windows name the fonts of the original desktop
// ("Gulim", "Tahoma"), which do not exist here; they resolve to NanumGothic and
// DejaVu Sans through Qt's family substitution, installed once per process.
#include <QFont>
#include <QString>

namespace controls {

// Installs the family substitutions; safe to call many times.
void installFontSubstitutions();

// A font by family and point size (fractional sizes such as 14.25 pt kept).
QFont makeFont(const QString &family, double pointSize, bool bold = false, bool italic = false);

// The same font set up for pixel-exact text as the skin controls draw it
// (no antialiasing, so outlines and see-through colour keys stay crisp).
QFont crispFont(const QFont &f);

} // namespace controls
