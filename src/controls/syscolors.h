#pragma once
// Colour references as the skin controls store them: red in the low byte, then
// green, then blue. A value with the top bit set names a system colour by index
// (low byte) and is translated through the table below before any arithmetic.
#include <QColor>
#include <cstdint>

namespace controls {

using ColourRef = std::uint32_t;

constexpr ColourRef kSystemColourFlag = 0x80000000u;

// System colour indices the controls use.
enum SystemColour : int {
    SysWindow = 5,
    SysWindowText = 8,
    SysButtonFace = 15,
    SysButtonShadow = 16,
    SysButtonText = 18,
    SysButtonHighlight = 20,
    SysDarkShadow = 21,
    SysLight = 22,
};

constexpr ColourRef rgbRef(int r, int g, int b)
{
    return ColourRef(r & 0xFF) | (ColourRef(g & 0xFF) << 8) | (ColourRef(b & 0xFF) << 16);
}
constexpr ColourRef systemColourRef(int index) { return kSystemColourFlag | ColourRef(index & 0xFF); }
constexpr bool isSystemColour(ColourRef c) { return (c & kSystemColourFlag) != 0; }
constexpr int redOf(ColourRef c) { return int(c & 0xFF); }
constexpr int greenOf(ColourRef c) { return int((c >> 8) & 0xFF); }
constexpr int blueOf(ColourRef c) { return int((c >> 16) & 0xFF); }

// The colour of a system colour index from the fixed table (black for an
// index outside it).
ColourRef systemColour(int index);

// A plain RGB reference: system colours resolved, the unused high byte dropped.
ColourRef translateColour(ColourRef c);

QColor toQColor(ColourRef c);
ColourRef fromQColor(const QColor &c);

} // namespace controls
