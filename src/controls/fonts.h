#pragma once
// Fonts of the skin controls. The windows name the fonts of the original desktop
// ("Gulim", "Tahoma"), which do not exist here; they resolve to NanumGothic and
// DejaVu Sans through Qt's family substitution, installed once per process.
#include "platform/gdi/gdi.h"

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

// A font selected into a drawing context for one redraw or measurement, and
// released (with the displaced font restored) at the end of the scope.
class SelectedFont {
public:
    SelectedFont(gdi::HDC dc, const QFont &f) : m_dc(dc), m_font(gdi::CreateFontFromQFont(crispFont(f)))
    {
        m_old = gdi::SelectObject(m_dc, m_font);
    }
    ~SelectedFont()
    {
        if (m_old)
            gdi::SelectObject(m_dc, m_old);
        gdi::DeleteObject(m_font);
    }
    SelectedFont(const SelectedFont &) = delete;
    SelectedFont &operator=(const SelectedFont &) = delete;

private:
    gdi::HDC m_dc;
    gdi::HFONT m_font;
    gdi::HGDIOBJ m_old = 0;
};

} // namespace controls
