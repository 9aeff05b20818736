#include "controls/syscolors.h"

#include <array>

namespace controls {

namespace {

// The desktop's default element colours. There is no system palette to ask on
// this platform, so the program keeps one fixed table; the 3D entries (face,
// shadow, highlight, dark shadow, light) are what the frames and the
// progress bar's back colour use.
constexpr std::array<ColourRef, 31> kTable = {
    rgbRef(200, 200, 200), // 0 scroll bar
    rgbRef(0, 0, 0),       // 1 desktop
    rgbRef(153, 180, 209), // 2 active caption
    rgbRef(191, 205, 219), // 3 inactive caption
    rgbRef(240, 240, 240), // 4 menu
    rgbRef(255, 255, 255), // 5 window
    rgbRef(100, 100, 100), // 6 window frame
    rgbRef(0, 0, 0),       // 7 menu text
    rgbRef(0, 0, 0),       // 8 window text
    rgbRef(0, 0, 0),       // 9 caption text
    rgbRef(180, 180, 180), // 10 active border
    rgbRef(244, 247, 252), // 11 inactive border
    rgbRef(171, 171, 171), // 12 application workspace
    rgbRef(51, 153, 255),  // 13 highlight
    rgbRef(255, 255, 255), // 14 highlight text
    rgbRef(240, 240, 240), // 15 button face
    rgbRef(160, 160, 160), // 16 button shadow
    rgbRef(109, 109, 109), // 17 grey text
    rgbRef(0, 0, 0),       // 18 button text
    rgbRef(67, 78, 84),    // 19 inactive caption text
    rgbRef(255, 255, 255), // 20 button highlight
    rgbRef(105, 105, 105), // 21 3D dark shadow
    rgbRef(227, 227, 227), // 22 3D light
    rgbRef(0, 0, 0),       // 23 tooltip text
    rgbRef(255, 255, 225), // 24 tooltip background
    rgbRef(0, 0, 0),       // 25 unused
    rgbRef(0, 102, 204),   // 26 hot-tracked item
    rgbRef(185, 209, 234), // 27 active caption gradient
    rgbRef(215, 228, 242), // 28 inactive caption gradient
    rgbRef(51, 153, 255),  // 29 menu highlight
    rgbRef(240, 240, 240), // 30 menu bar
};

} // namespace

ColourRef systemColour(int index)
{
    if (index < 0 || index >= int(kTable.size()))
        return rgbRef(0, 0, 0);
    return kTable[std::size_t(index)];
}

ColourRef translateColour(ColourRef c)
{
    if (isSystemColour(c))
        return systemColour(int(c & 0xFF));
    return c & 0x00FFFFFFu;
}

QColor toQColor(ColourRef c)
{
    const ColourRef t = translateColour(c);
    return QColor(redOf(t), greenOf(t), blueOf(t));
}

ColourRef fromQColor(const QColor &c)
{
    return rgbRef(c.red(), c.green(), c.blue());
}

} // namespace controls
