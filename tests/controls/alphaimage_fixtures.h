#pragma once
// Small pictures for the alpha image control's tests, drawn here and encoded
// in memory.
#include "imaging/bytearray.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

namespace alphaimage_fixtures {

inline imaging::ByteArray toBytes(const QByteArray &b)
{
    return imaging::ByteArray(std::span(reinterpret_cast<const std::uint8_t *>(b.constData()), std::size_t(b.size())));
}

inline QByteArray encode(const QImage &img, const char *format)
{
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return out;
}

// An opaque image of one colour.
inline QImage solid(int w, int h, QColor c)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(c);
    return img;
}

// A transparent w x h image with opaque squares of the colour at the given
// rectangles.
inline QImage dots(int w, int h, std::initializer_list<QRect> squares, QColor c = QColor(20, 60, 200))
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    for (const QRect &r : squares)
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                img.setPixelColor(x, y, c);
    return img;
}

// An icon file with one 32-bit PNG entry.
inline QByteArray pngIcon(const QImage &img)
{
    const QByteArray png = encode(img, "PNG");
    QByteArray ico;
    auto u16 = [&](int v) { ico.append(char(v & 255)).append(char((v >> 8) & 255)); };
    auto u32 = [&](qint64 v) { u16(int(v & 0xFFFF)); u16(int((v >> 16) & 0xFFFF)); };
    u16(0), u16(1), u16(1);                                   // reserved, type icon, 1 entry
    ico.append(char(img.width() & 255)).append(char(img.height() & 255)).append('\0').append('\0');
    u16(1), u16(32), u32(png.size()), u32(6 + 16);            // planes, bits, size, offset
    return ico + png;
}

} // namespace alphaimage_fixtures
