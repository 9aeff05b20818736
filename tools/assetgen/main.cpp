// Draws the window pictures (JPEG) and the icon files (ICO) into
// resources/pictures.
// One look for every window: dark graphite surfaces with a glossy upper half,
// thin light rims and a cool blue accent, so that white outlined labels and
// black-to-grey glossy buttons sit well on them.
//   sorimba-assetgen OUTPUT_DIR
#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <cstdio>
#include <functional>

namespace {

const QColor kAccent(70, 170, 255);
const QColor kDeep(14, 14, 18);
const QColor kGraphite(48, 50, 58);

QString g_out;

void save(const QImage &img, const QString &name)
{
    const QString path = g_out + '/' + name;
    const bool jpeg = name.endsWith(".jpg");
    if (!img.save(path, jpeg ? "JPEG" : "PNG", jpeg ? 95 : -1))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

// A dark glossy shape: vertical graphite gradient, a soft highlight over the
// upper half, a faint accent glow and a light rim.
void glossyShape(QPainter &p, const QPainterPath &shape, const QColor &top = kGraphite,
                 const QColor &bottom = kDeep, qreal glowX = 0.85)
{
    const QRectF r = shape.boundingRect();
    QLinearGradient base(r.topLeft(), r.bottomLeft());
    base.setColorAt(0, top);
    base.setColorAt(1, bottom);
    p.fillPath(shape, base);
    p.save();
    p.setClipPath(shape);
    QRadialGradient glow(QPointF(r.left() + r.width() * glowX, r.bottom()), r.height() * 1.2);
    QColor a = kAccent;
    a.setAlpha(70);
    glow.setColorAt(0, a);
    glow.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(r, glow);
    QRectF shine(r.left(), r.top(), r.width(), r.height() * 0.48);
    QLinearGradient gloss(shine.topLeft(), shine.bottomLeft());
    gloss.setColorAt(0, QColor(255, 255, 255, 60));
    gloss.setColorAt(1, QColor(255, 255, 255, 8));
    p.fillRect(shine, gloss);
    p.restore();
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape.translated(0.5, 0.5));
}

void glossyPanel(QPainter &p, const QRectF &r, qreal radius, const QColor &top = kGraphite,
                 const QColor &bottom = kDeep, qreal glowX = 0.85)
{
    QPainterPath shape;
    shape.addRoundedRect(r, radius, radius);
    glossyShape(p, shape, top, bottom, glowX);
}

// A rectangle whose top and bottom corners have their own radii (0: square).
QPainterPath plate(const QRectF &r, qreal topRadius, qreal bottomRadius)
{
    QPainterPath path;
    path.moveTo(r.left() + topRadius, r.top());
    path.lineTo(r.right() - topRadius, r.top());
    path.quadTo(r.right(), r.top(), r.right(), r.top() + topRadius);
    path.lineTo(r.right(), r.bottom() - bottomRadius);
    path.quadTo(r.right(), r.bottom(), r.right() - bottomRadius, r.bottom());
    path.lineTo(r.left() + bottomRadius, r.bottom());
    path.quadTo(r.left(), r.bottom(), r.left(), r.bottom() - bottomRadius);
    path.lineTo(r.left(), r.top() + topRadius);
    path.quadTo(r.left(), r.top(), r.left() + topRadius, r.top());
    path.closeSubpath();
    return path;
}

QImage canvas(int w, int h, const QColor &fill = Qt::white)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(fill);
    return img;
}

void equalizer(QPainter &p, const QRectF &area, int bars, unsigned rngState)
{
    const qreal step = area.width() / bars;
    for (int i = 0; i < bars; ++i) {
        rngState = rngState * 1103515245u + 12345u;
        const qreal level = 0.25 + 0.75 * std::abs(std::sin(i * 0.55 + (rngState % 100) / 60.0));
        const qreal h = area.height() * level;
        QRectF bar(area.left() + i * step + 1, area.bottom() - h, step - 2, h);
        QLinearGradient g(bar.topLeft(), bar.bottomLeft());
        QColor top = kAccent.lighter(130);
        top.setAlpha(220);
        QColor bottom = kAccent.darker(200);
        bottom.setAlpha(120);
        g.setColorAt(0, top);
        g.setColorAt(1, bottom);
        p.fillRect(bar, g);
    }
}

// The pictures of a window that touch or overlap are cut from one drawing of
// the whole client area, so every seam matches and what lies past the client
// area or outside a plate is the window's white.
void crop(const QImage &scene, const QRect &r, const QString &name)
{
    QImage part(r.size(), QImage::Format_RGB32);
    part.fill(Qt::white);
    QPainter p(&part);
    p.drawImage(QPoint(0, 0), scene, r);
    p.end();
    save(part, name);
}

// Main window, 697 x 387: the header with the band under it, and the lower
// console (a plate with a waveform over a footer strip) with the soft shadows
// under the page buttons.
void mainWindow()
{
    QImage scene = canvas(720, 420);
    QPainter p(&scene);
    p.setRenderHint(QPainter::Antialiasing);

    // Header and the band that continues it under the lists.
    QPainterPath bandShape = plate(QRectF(10, 93, 677, 37), 0, 6);
    QLinearGradient bandFill(0, 93, 0, 130);
    bandFill.setColorAt(0, QColor(16, 16, 20));
    bandFill.setColorAt(1, QColor(28, 30, 36));
    p.fillPath(bandShape, bandFill);
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    p.drawPath(bandShape.translated(0.5, 0.5));
    p.setPen(QPen(kAccent, 1));
    p.drawLine(QPointF(18, 128.5), QPointF(679, 128.5));
    QPainterPath headerShape;
    headerShape.addRoundedRect(QRectF(8, 8, 687, 93), 8, 8);
    glossyShape(p, headerShape);
    equalizer(p, QRectF(593, 22, 92, 64), 14, 7);
    p.save();
    p.setClipPath(headerShape);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 5; ++i) {
        p.setBrush(QColor(255, 255, 255, 10 + i * 3));
        p.drawEllipse(QPointF(308 + i * 40, -32), 220 - i * 30, 70);
    }
    p.restore();

    // Soft shadows under the two page buttons (264..297).
    for (const qreal cx : {192.5, 336.5}) {
        QRadialGradient shadow(QPointF(cx, 298), 40);
        shadow.setColorAt(0, QColor(0, 0, 0, 70));
        shadow.setColorAt(1, QColor(0, 0, 0, 0));
        p.save();
        p.translate(cx, 298);
        p.scale(1, 0.2);
        p.translate(-cx, -298);
        p.setPen(Qt::NoPen);
        p.setBrush(shadow);
        p.drawEllipse(QPointF(cx, 298), 40, 40);
        p.restore();
    }

    // The console: its plate ends with the footer strip, above the client
    // area's bottom edge.
    const QPainterPath console = plate(QRectF(48, 318, 572, 63), 10, 8);
    glossyShape(p, console, QColor(40, 42, 50), QColor(6, 6, 8), 0.5);
    QPainterPath wave;
    for (int x = 60; x <= 608; ++x) {
        const qreal y = 334 + 9 * std::sin(x * 0.045) * std::cos(x * 0.011);
        x == 60 ? wave.moveTo(x, y) : wave.lineTo(x, y);
    }
    QColor a = kAccent;
    a.setAlpha(150);
    p.setPen(QPen(a, 1.6));
    p.drawPath(wave);
    p.save();
    p.setClipPath(console);
    QLinearGradient strip(0, 352, 0, 381);
    strip.setColorAt(0, QColor(34, 36, 42));
    strip.setColorAt(1, QColor(12, 12, 14));
    p.fillRect(QRectF(48, 352, 572, 29), strip);
    p.restore();
    p.setPen(QPen(QColor(255, 255, 255, 50), 1));
    p.drawLine(QPointF(49, 352.5), QPointF(619, 352.5));
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    p.drawPath(console.translated(0.5, 0.5));
    p.setPen(QColor(200, 205, 215));
    p.setFont(QFont("DejaVu Sans", 7));
    p.drawText(QRectF(48, 352, 572, 29), Qt::AlignCenter, "SORIMBA 2  ·  chart  ·  search  ·  listen  ·  save");
    p.end();

    crop(scene, QRect(8, 8, 687, 93), "main_header.jpg");
    crop(scene, QRect(10, 93, 677, 37), "main_band.jpg");
    crop(scene, QRect(149, 296, 87, 20), "main_deco1.jpg");
    crop(scene, QRect(293, 296, 87, 20), "main_deco2.jpg");
    crop(scene, QRect(48, 312, 572, 80), "main_deco3.jpg");
    crop(scene, QRect(46, 352, 585, 29), "main_deco4.jpg");
}

void listBackground(int w, int h, const char *name, qreal glowX)
{
    QImage img = canvas(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient base(0, 0, 0, h);
    base.setColorAt(0, QColor(30, 31, 36));
    base.setColorAt(1, QColor(16, 16, 20));
    p.fillRect(img.rect(), base);
    QRadialGradient glow(QPointF(w * glowX, h * 1.05), h);
    QColor a = kAccent;
    a.setAlpha(45);
    glow.setColorAt(0, a);
    glow.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(img.rect(), glow);
    // Faint row lines help the eye follow a row across.
    p.setPen(QColor(255, 255, 255, 12));
    for (int y = 17 + 19; y < h; y += 17)
        p.drawLine(0, y, w, y);
    save(img, name);
}

// The panels slide over lists, buttons and the header: a square outer edge
// leaves no corner that could show the wrong colour behind it.
void panel(int w, int h, const char *name, const QColor &accentLine)
{
    QImage img = canvas(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath outer;
    outer.addRect(QRectF(0, 0, w, h));
    glossyShape(p, outer, QColor(54, 56, 64), QColor(12, 12, 16), 0.9);
    p.setPen(QPen(QColor(0, 0, 0), 1));
    p.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    p.drawRoundedRect(QRectF(3.5, 3.5, w - 7, h - 7), 7, 7);
    p.setPen(QPen(accentLine, 2));
    p.drawLine(QPointF(14, h - 8), QPointF(w - 14, h - 8));
    save(img, name);
}

void digits()
{
    for (int d = 0; d < 10; ++d) {
        // White around the tile, like the window behind it: JPEG blurs a
        // silver mask colour into a grey fringe.
        QImage img = canvas(26, 52);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        // The tile ends above row 47, where the console begins.
        glossyPanel(p, QRectF(1, 1, 24, 45), 5, QColor(70, 72, 80), QColor(4, 4, 6), 0.5);
        QFont f("DejaVu Sans", 22, QFont::Bold);
        p.setFont(f);
        p.setPen(QColor(235, 240, 250));
        p.drawText(QRectF(0, 1, 26, 45), Qt::AlignCenter, QString::number(d));
        save(img, QString("digit%1.jpg").arg(d).toLatin1().constData());
    }
}

void playerButton(QPainter &p, const QRectF &r, int kind)
{
    QPainterPath circle;
    circle.addEllipse(r.adjusted(2, 2, -2, -2));
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(90, 92, 100));
    g.setColorAt(0.5, QColor(30, 30, 34));
    g.setColorAt(1, QColor(0, 0, 0));
    p.fillPath(circle, g);
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(circle);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(235, 240, 250));
    const QPointF c = r.center();
    const qreal s = r.height() * 0.18;
    auto triangle = [&](qreal dx, bool right) {
        QPolygonF t;
        if (right)
            t << QPointF(c.x() + dx - s, c.y() - s * 1.2) << QPointF(c.x() + dx + s, c.y()) << QPointF(c.x() + dx - s, c.y() + s * 1.2);
        else
            t << QPointF(c.x() + dx + s, c.y() - s * 1.2) << QPointF(c.x() + dx - s, c.y()) << QPointF(c.x() + dx + s, c.y() + s * 1.2);
        p.drawPolygon(t);
    };
    switch (kind) {
    case 0: triangle(s * 0.3, true); break;                                    // play
    case 1: p.drawRect(QRectF(c.x() - s, c.y() - s * 1.1, s * 0.7, s * 2.2));   // pause
            p.drawRect(QRectF(c.x() + s * 0.3, c.y() - s * 1.1, s * 0.7, s * 2.2)); break;
    case 2: triangle(-s * 0.8, false); triangle(s * 0.8, false); break;         // fast reverse
    case 3: triangle(-s * 0.8, true); triangle(s * 0.8, true); break;           // fast forward
    }
}

// Download window, 481 x 288: the body and, inside it, the player dock under
// the seek label and the player buttons; the bar picture reaches past the
// client area and shows the window's white there.
void downloadWindow()
{
    QImage scene = canvas(560, 310);
    QPainter p(&scene);
    p.setRenderHint(QPainter::Antialiasing);
    glossyPanel(p, QRectF(8, 8, 470, 269), 10, QColor(50, 52, 60), QColor(10, 10, 13), 0.85);
    // Separators under the name and size rows and above the path row.
    p.setPen(QPen(QColor(255, 255, 255, 150), 1));
    p.drawLine(QPointF(24, 78.5), QPointF(462, 78.5));
    p.drawLine(QPointF(24, 179.5), QPointF(462, 179.5));

    QPainterPath dock;
    dock.addRoundedRect(QRectF(14, 203, 458, 68), 7, 7);
    glossyShape(p, dock, QColor(44, 46, 54), QColor(6, 6, 8), 0.2);
    // Buttons under the invisible hot spots.
    playerButton(p, QRectF(24, 216, 33, 33), 0);
    playerButton(p, QRectF(56, 220, 25, 25), 1);
    playerButton(p, QRectF(80, 220, 25, 25), 2);
    playerButton(p, QRectF(104, 216, 33, 33), 3);
    equalizer(p, QRectF(300, 222, 160, 24), 24, 3);
    p.end();

    crop(scene, QRect(8, 8, 470, 269), "download_back.jpg");
    crop(scene, QRect(13, 216, 533, 78), "download_player.jpg");
}

QImage noteIcon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 48.0;
    QRadialGradient disc(QPointF(20 * s, 16 * s), 30 * s);
    disc.setColorAt(0, kAccent.lighter(150));
    disc.setColorAt(1, kAccent.darker(180));
    p.setPen(QPen(QColor(255, 255, 255, 200), 1.5 * s));
    p.setBrush(disc);
    p.drawEllipse(QRectF(2 * s, 2 * s, 44 * s, 44 * s));
    // An eighth note.
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(14 * s, 28 * s, 11 * s, 8 * s));
    p.drawRect(QRectF(23 * s, 11 * s, 2.5 * s, 21 * s));
    QPainterPath flag;
    flag.moveTo(25 * s, 11 * s);
    flag.cubicTo(32 * s, 14 * s, 34 * s, 18 * s, 31 * s, 24 * s);
    flag.cubicTo(31 * s, 19 * s, 28 * s, 17 * s, 25 * s, 16 * s);
    p.drawPath(flag);
    return img;
}

QImage seekIcon(int size, bool forward)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    QLinearGradient g(0, 0, 0, 24);
    g.setColorAt(0, QColor(110, 112, 120));
    g.setColorAt(1, QColor(10, 10, 12));
    p.setPen(QPen(QColor(255, 255, 255, 150), 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(1, 1, 22, 22));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    QPolygonF t;
    if (forward)
        t << QPointF(9, 6) << QPointF(17, 12) << QPointF(9, 18);
    else
        t << QPointF(15, 6) << QPointF(7, 12) << QPointF(15, 18);
    p.drawPolygon(t);
    return img;
}

// Little-endian writers for the icon file.
void u16(QByteArray &b, int v) { b.append(char(v & 255)).append(char((v >> 8) & 255)); }
void u32(QByteArray &b, quint32 v)
{
    u16(b, int(v & 0xFFFF));
    u16(b, int(v >> 16));
}

// A bitmap entry: the header (height doubled for the mask), the palette for
// 8 bits, the colour rows and the AND mask (set = transparent), rows
// bottom-up and padded to 4 bytes.
QByteArray bitmapEntry(const QImage &picture, int bits)
{
    const QImage img = picture.convertToFormat(QImage::Format_ARGB32);
    const int w = img.width(), h = img.height();
    QByteArray b;
    u32(b, 40), u32(b, quint32(w)), u32(b, quint32(h * 2)), u16(b, 1), u16(b, bits);
    u32(b, 0), u32(b, 0), u32(b, 0), u32(b, 0), u32(b, bits == 8 ? 256 : 0), u32(b, 0);
    if (bits == 8) {
        // Palette colours of the picture over black (black shows under the mask).
        QImage over(w, h, QImage::Format_RGB32);
        over.fill(Qt::black);
        QPainter(&over).drawImage(0, 0, img);
        const QImage indexed = over.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::PreferDither);
        QList<QRgb> table = indexed.colorTable();
        for (int i = 0; i < 256; ++i) {
            const QRgb c = i < table.size() ? table[i] : 0;
            b.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
        }
        const int stride = (w + 3) & ~3;
        for (int y = h - 1; y >= 0; --y) {
            QByteArray row(stride, '\0');
            for (int x = 0; x < w; ++x)
                row[x] = char(indexed.pixelIndex(x, y));
            b.append(row);
        }
    } else {
        for (int y = h - 1; y >= 0; --y)
            for (int x = 0; x < w; ++x) {
                const QRgb c = img.pixel(x, y);
                b.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append(char(qAlpha(c)));
            }
    }
    const int maskStride = ((w + 31) / 32) * 4;
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < w; ++x)
            if (qAlpha(img.pixel(x, y)) < 128)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        b.append(row);
    }
    return b;
}

// An icon file with eight images: 16, 24, 32 and 48 pixels, each at 8 bits
// with a palette and at 32 bits with alpha; the 48-pixel 32-bit image is a
// PNG entry.
void saveIcon(const std::function<QImage(int)> &draw, const QString &name)
{
    struct Entry {
        int size, bits;
        QByteArray data;
    };
    QList<Entry> entries;
    for (int size : {16, 24, 32, 48}) {
        const QImage img = draw(size);
        entries.append({size, 8, bitmapEntry(img, 8)});
        if (size == 48) {
            QByteArray png;
            QBuffer buf(&png);
            buf.open(QIODevice::WriteOnly);
            img.convertToFormat(QImage::Format_ARGB32).save(&buf, "PNG");
            entries.append({size, 32, png});
        } else {
            entries.append({size, 32, bitmapEntry(img, 32)});
        }
    }
    QByteArray file;
    u16(file, 0), u16(file, 1), u16(file, int(entries.size()));
    quint32 offset = 6 + 16 * quint32(entries.size());
    for (const Entry &e : entries) {
        file.append(char(e.size)).append(char(e.size)).append('\0').append('\0');
        u16(file, 1), u16(file, e.bits), u32(file, quint32(e.data.size())), u32(file, offset);
        offset += quint32(e.data.size());
    }
    for (const Entry &e : entries)
        file.append(e.data);
    QFile out(g_out + '/' + name);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out.fileName()));
}

// The usage notice: a dark panel behind the icon and the three lines, with an
// amber rim on the left for a caution, and a lower strip with the accent line
// and a quiet equalizer.
// Usage notice, 390 x 132: the message plate and, under it, the lower strip;
// the lower picture overlaps the plate's picture by 5 pixels and ends a pixel
// past the client area, so both are cut from one drawing.
void noticeWindow()
{
    QImage scene = canvas(400, 140);
    QPainter p(&scene);
    p.setRenderHint(QPainter::Antialiasing);
    glossyPanel(p, QRectF(8, 8, 374, 84), 9, QColor(54, 56, 64), QColor(12, 12, 16), 0.9);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 176, 40));
    p.drawRoundedRect(QRectF(14, 20, 4, 60), 2, 2);
    glossyPanel(p, QRectF(9, 95, 370, 35), 7, QColor(44, 46, 54), QColor(10, 10, 13), 0.2);
    p.setPen(QPen(kAccent, 2));
    p.drawLine(QPointF(23, 101), QPointF(365, 101));
    equalizer(p, QRectF(259, 106, 100, 20), 16, 7);
    p.end();

    crop(scene, QRect(8, 8, 374, 90), "notice_back.jpg");
    crop(scene, QRect(9, 93, 370, 40), "notice_lower.jpg");
}

// The program's icon for the desktop: the note at 16 to 256 pixels, each drawn
// at its own size; 32-bit bitmaps up to 48 pixels, PNG entries above.
void saveProgramIcon(const QString &name)
{
    QList<QPair<int, QByteArray>> entries;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QImage img = noteIcon(size);
        if (size <= 48) {
            entries.append({size, bitmapEntry(img, 32)});
            continue;
        }
        QByteArray png;
        QBuffer buf(&png);
        buf.open(QIODevice::WriteOnly);
        img.convertToFormat(QImage::Format_ARGB32).save(&buf, "PNG");
        entries.append({size, png});
    }
    QByteArray file;
    u16(file, 0), u16(file, 1), u16(file, int(entries.size()));
    quint32 offset = 6 + 16 * quint32(entries.size());
    for (const auto &[size, data] : entries) {
        const char side = char(size == 256 ? 0 : size); // 0 stands for 256
        file.append(side).append(side).append('\0').append('\0');
        u16(file, 1), u16(file, 32), u32(file, quint32(data.size())), u32(file, offset);
        offset += quint32(data.size());
    }
    for (const auto &entry : entries)
        file.append(entry.second);
    QFile out(g_out + '/' + name);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out.fileName()));
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: sorimba-assetgen OUTPUT_DIR\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    mainWindow();
    listBackground(361, 153, "main_list_result.jpg", 0.15);
    listBackground(305, 153, "main_list_top.jpg", 0.85);
    panel(369, 193, "panel_error.jpg", QColor(230, 60, 60));
    panel(553, 97, "panel_work.jpg", kAccent);
    digits();
    downloadWindow();
    saveIcon([](int size) { return noteIcon(size); }, "note.ico");
    saveIcon([](int size) { return seekIcon(size, false); }, "seek_back.ico");
    saveIcon([](int size) { return seekIcon(size, true); }, "seek_forward.ico");
    noticeWindow();
    saveProgramIcon("sorimba.ico");
    return 0;
}
