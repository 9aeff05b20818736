// Renders a contact sheet of the program's icon in alpha image controls over a
// patterned background into the build folder (contact-sheets/alphaimage.png)
// for a visual check.
#include "controls/alphaimage.h"
#include "alphaimage_fixtures.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

using namespace controls;
using namespace alphaimage_fixtures;

namespace {

constexpr int kCellW = 96, kCellH = 90;

// Diagonal stripes and a checker, so that see-through edges show.
class PatternHost : public QWidget {
public:
    QStringList captions;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        for (int y = 0; y < height(); y += 16)
            for (int x = 0; x < width(); x += 16)
                p.fillRect(x, y, 16, 16, ((x + y) / 16) % 2 ? QColor(230, 200, 120) : QColor(90, 120, 170));
        p.setPen(QPen(QColor(255, 255, 255, 90), 3));
        for (int x = -height(); x < width(); x += 20)
            p.drawLine(x, 0, x + height(), height());
        p.setPen(Qt::black);
        for (int i = 0; i < captions.size(); ++i) {
            const QRect cell((i % 6) * kCellW, (i / 6) * kCellH + 70, kCellW, 18);
            p.fillRect(cell.adjusted(2, 0, -2, 0), QColor(255, 255, 255, 200));
            p.drawText(cell, Qt::AlignCenter, captions[i]);
        }
    }
};

} // namespace

TEST(AlphaImageSheet, RendersContactSheet)
{
    QFile file(QStringLiteral(SORIMBA_SOURCE_DIR "/resources/pictures/note.ico"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray icon = file.readAll();

    PatternHost host;
    host.resize(6 * kCellW, 2 * kCellH);
    int n = 0;
    const auto add = [&](const QString &caption, QSize size, auto &&setup) {
        auto *c = new aicAlphaImage(&host);
        c->setAutoSize(false);
        c->setGeometry(QRect(QPoint((n % 6) * kCellW + (kCellW - size.width()) / 2,
                                    (n / 6) * kCellH + (68 - size.height()) / 2),
                             size));
        imaging::ByteArray bytes = toBytes(icon);
        EXPECT_TRUE(c->LoadImage_FromArray(bytes, 48, 48)) << caption.toStdString();
        setup(c);
        host.captions << caption;
        ++n;
        return c;
    };
    const QSize cell(80, 56);
    add("0 fit", cell, [](aicAlphaImage *c) { c->setScaleMethod(0); });
    add("1 stretch", cell, [](aicAlphaImage *c) { c->setScaleMethod(1); });
    add("2 shrink", cell, [](aicAlphaImage *c) { c->setScaleMethod(2); });
    add("3 actual 16/8", QSize(56, 56), [&](aicAlphaImage *c) {
        c->setScaleMethod(3);
        imaging::ByteArray bytes = toBytes(icon);
        EXPECT_TRUE(c->LoadImage_FromArray(bytes, 16, 16, 8)); // the 8-bit 16-pixel entry
        EXPECT_EQ(c->drawRect().size(), QSize(16, 16));
    });
    add("4 fixed", cell, [](aicAlphaImage *c) { c->setScaleMethod(4); });
    add("rotated 30", QSize(68, 68), [](aicAlphaImage *c) {
        c->setScaleMethod(3);
        c->setRotates(true);
        c->setRotation(30);
    });
    add("mirrored", QSize(56, 56), [](aicAlphaImage *c) { c->setMirror(1); });
    add("grey", QSize(56, 56), [](aicAlphaImage *c) { c->setGrayScale(1); });
    add("inverted", QSize(56, 56), [](aicAlphaImage *c) { c->setInversedImage(true); });
    add("masked", QSize(56, 56), [](aicAlphaImage *c) {
        // The icon over magenta as a plain bitmap, the corner colour keyed out.
        imaging::ByteArray px;
        int scan = 0;
        ASSERT_TRUE(c->GetImageBytes(px, scan, false, true, false, false));
        QImage straight(px.data(), scan / 4, int(px.size()) / scan, scan, QImage::Format_ARGB32);
        QImage flat(straight.size(), QImage::Format_RGB32);
        flat.fill(QColor(255, 0, 255));
        QPainter(&flat).drawImage(0, 0, straight);
        imaging::ByteArray bmp = toBytes(encode(flat, "BMP"));
        ASSERT_TRUE(c->LoadImage_FromArray(bmp));
        c->setMaskUsed(2);
        EXPECT_EQ(c->MaskUsed(), 2);
    });
    add("shadow", QSize(60, 60), [](aicAlphaImage *c) {
        c->setScaleMethod(3);
        c->setShadowOffsetX(4);
        c->setShadowOffsetY(4);
        c->setShadowDepth(3);
        c->setShadowOpacity(80);
        c->setShadowEnabled(true);
    });
    add("opacity 50", QSize(56, 56), [](aicAlphaImage *c) { c->setOpacity(50); });

    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    const QImage sheet = host.grab().toImage();
    const QString dir = QStringLiteral(SORIMBA_BINARY_DIR "/contact-sheets");
    QDir().mkpath(dir);
    ASSERT_TRUE(sheet.save(dir + QStringLiteral("/alphaimage.png")));
    sheet.scaled(sheet.size() * 2).save(dir + QStringLiteral("/alphaimage-2x.png")); // for a closer look
}
