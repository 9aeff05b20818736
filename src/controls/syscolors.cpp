#include "controls/syscolors.h"

#include "platform/gdi/gdi.h"

namespace controls {

ColourRef systemColour(int index)
{
    // One table for the whole program: the drawing layer's desktop scheme
    // (button face 240, shadow 160, dark shadow 105, light 227, highlight 255).
    return gdi::GetSysColor(index);
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
