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

// A dark glossy panel: vertical graphite gradient, a soft highlight over the
// upper half, a faint accent glow and a light rim.
void glossyPanel(QPainter &p, const QRectF &r, qreal radius, const QColor &top = kGraphite,
                 const QColor &bottom = kDeep, qreal glowX = 0.85)
{
    QPainterPath shape;
    shape.addRoundedRect(r, radius, radius);
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
    p.drawPath(shape.translated(0.5, 0.5));
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

void header()
{
    QImage img = canvas(687, 93);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    glossyPanel(p, QRectF(0, 0, 687, 93), 8);
    equalizer(p, QRectF(585, 14, 92, 64), 14, 7);
    // Soft light streaks behind the title area.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 5; ++i) {
        QColor c(255, 255, 255, 10 + i * 3);
        p.setBrush(c);
        p.drawEllipse(QPointF(300 + i * 40, -40), 220 - i * 30, 70);
    }
    save(img, "main_header.jpg");
}

void band()
{
    QImage img = canvas(677, 37);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    glossyPanel(p, QRectF(0, 0, 677, 37), 4, QColor(36, 38, 44), QColor(10, 10, 12), 0.6);
    p.setPen(QPen(kAccent, 1));
    p.drawLine(QPointF(8, 35.5), QPointF(669, 35.5));
    save(img, "main_band.jpg");
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

void pill(int w, int h, const char *name)
{
    QImage img = canvas(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    glossyPanel(p, QRectF(1, 2, w - 2, h - 4), (h - 4) / 2.0, QColor(60, 62, 70), QColor(8, 8, 10), 0.5);
    save(img, name);
}

void stage()
{
    QImage img = canvas(572, 80);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    glossyPanel(p, QRectF(0, 0, 572, 80), 10, QColor(40, 42, 50), QColor(6, 6, 8), 0.5);
    // A waveform across the stage.
    QPainterPath wave;
    for (int x = 12; x <= 560; ++x) {
        const qreal y = 22 + 10 * std::sin(x * 0.045) * std::cos(x * 0.011);
        x == 12 ? wave.moveTo(x, y) : wave.lineTo(x, y);
    }
    QColor a = kAccent;
    a.setAlpha(150);
    p.setPen(QPen(a, 1.6));
    p.drawPath(wave);
    save(img, "main_deco3.jpg");
}

void footer()
{
    QImage img = canvas(585, 29);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    glossyPanel(p, QRectF(0, 0, 585, 29), 6, QColor(52, 54, 62), QColor(12, 12, 14), 0.5);
    p.setPen(QColor(200, 205, 215));
    QFont f("DejaVu Sans", 7);
    p.setFont(f);
    p.drawText(QRectF(0, 0, 585, 29), Qt::AlignCenter, "SORIMBA 2  ·  chart  ·  search  ·  listen  ·  save");
    save(img, "main_deco4.jpg");
}

void panel(int w, int h, const char *name, const QColor &accentLine)
{
    QImage img = canvas(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    glossyPanel(p, QRectF(0, 0, w, h), 10, QColor(54, 56, 64), QColor(12, 12, 16), 0.9);
    p.setPen(QPen(accentLine, 2));
    p.drawLine(QPointF(14, h - 6), QPointF(w - 14, h - 6));
    save(img, name);
}

void digits()
{
    for (int d = 0; d < 10; ++d) {
        QImage img = canvas(26, 52, QColor(192, 192, 192)); // silver is the mask colour
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        glossyPanel(p, QRectF(1, 1, 24, 50), 5, QColor(70, 72, 80), QColor(4, 4, 6), 0.5);
        QFont f("DejaVu Sans", 22, QFont::Bold);
        p.setFont(f);
        p.setPen(QColor(235, 240, 250));
        p.drawText(QRectF(0, 2, 26, 48), Qt::AlignCenter, QString::number(d));
        save(img, QString("digit%1.jpg").arg(d).toLatin1().constData());
    }
}

void downloadBackground()
{
    QImage img = canvas(470, 269);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    glossyPanel(p, QRectF(0, 0, 470, 269), 10, QColor(50, 52, 60), QColor(10, 10, 13), 0.85);
    // Separators under the name/size rows and above the path row.
    p.setPen(QPen(QColor(255, 255, 255, 150), 1));
    p.drawLine(QPointF(16, 74.5), QPointF(454, 74.5));
    p.drawLine(QPointF(16, 176.5), QPointF(454, 176.5));
    save(img, "download_back.jpg");
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

void playerBar()
{
    QImage img = canvas(533, 78);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    glossyPanel(p, QRectF(0, 0, 533, 78), 10, QColor(44, 46, 54), QColor(6, 6, 8), 0.2);
    // Buttons under the invisible hot spots (bar origin 13, 216 in the window).
    playerButton(p, QRectF(11, 0, 33, 33), 0);
    playerButton(p, QRectF(43, 4, 25, 25), 1);
    playerButton(p, QRectF(67, 4, 25, 25), 2);
    playerButton(p, QRectF(91, 0, 33, 33), 3);
    equalizer(p, QRectF(300, 8, 200, 24), 30, 3);
    save(img, "download_player.jpg");
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
void noticeBackground()
{
    QImage img = canvas(374, 90);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    glossyPanel(p, QRectF(0, 0, 374, 90), 9, QColor(54, 56, 64), QColor(12, 12, 16), 0.9);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 176, 40));
    p.drawRoundedRect(QRectF(6, 14, 4, 62), 2, 2);
    save(img, "notice_back.jpg");
}

void noticeLower()
{
    QImage img = canvas(370, 40);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    glossyPanel(p, QRectF(0, 0, 370, 40), 7, QColor(44, 46, 54), QColor(10, 10, 13), 0.2);
    p.setPen(QPen(kAccent, 2));
    p.drawLine(QPointF(14, 6), QPointF(356, 6));
    equalizer(p, QRectF(250, 12, 100, 22), 16, 7);
    save(img, "notice_lower.jpg");
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
    header();
    band();
    listBackground(361, 153, "main_list_result.jpg", 0.15);
    listBackground(305, 153, "main_list_top.jpg", 0.85);
    pill(87, 20, "main_deco1.jpg");
    pill(87, 20, "main_deco2.jpg");
    stage();
    footer();
    panel(369, 193, "panel_error.jpg", QColor(230, 60, 60));
    panel(553, 97, "panel_work.jpg", kAccent);
    digits();
    downloadBackground();
    playerBar();
    saveIcon([](int size) { return noteIcon(size); }, "note.ico");
    saveIcon([](int size) { return seekIcon(size, false); }, "seek_back.ico");
    saveIcon([](int size) { return seekIcon(size, true); }, "seek_forward.ico");
    noticeBackground();
    noticeLower();
    saveProgramIcon("sorimba.ico");
    return 0;
}
