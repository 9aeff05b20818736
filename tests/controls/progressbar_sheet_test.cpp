// Renders a contact sheet of the ten themes at a few values, plus the
// download window's bar, into the build folder (contact-sheets/progressbars.png).
#include "controls/fonts.h"
#include "controls/progressbar.h"

#include <QDir>
#include <QPainter>
#include <gtest/gtest.h>

using namespace controls;

TEST(ProgressBarSheet, RendersTenThemesAtFewValues)
{
    QWidget host;
    host.setFont(makeFont(QStringLiteral("Gulim"), 9));
    host.setAutoFillBackground(true);
    QPalette pal = host.palette();
    pal.setColor(QPalette::Window, QColor(90, 120, 160));
    host.setPalette(pal);
    const int values[] = {0, 12, 50, 88, 100};
    const int y0 = 10 + 10 * 28;
    host.resize(10 + 5 * 150, y0 + 90);
    for (int theme = 1; theme <= 10; ++theme)
        for (int i = 0; i < 5; ++i) {
            auto *bar = new ProgressBar(&host, QStringLiteral("bar"));
            bar->setGeometry(10 + i * 150, 10 + (theme - 1) * 28, 140, 22);
            bar->setTheme(theme);
            bar->setPBSCustomeColor1(rgbRef(40, 90, 200));
            bar->setPBSCustomeColor2(rgbRef(60, 60, 60));
            bar->setTextStyle(2);
            bar->setValue(values[i]);
        }
    // Row 11: disabled, no rounding, value text, vertical, effects 2 and 4.
    const int y = 10 + 10 * 28;
    auto *disabled = new ProgressBar(&host, QStringLiteral("bar"));
    disabled->setGeometry(10, y, 140, 22);
    disabled->setTextStyle(2);
    disabled->setEnabled(false);
    auto *square = new ProgressBar(&host, QStringLiteral("bar"));
    square->setGeometry(160, y, 140, 22);
    square->setTheme(8);
    square->setRoundedValue(0);
    square->setTextStyle(1);
    square->setTextAlignment(8);
    auto *raised = new ProgressBar(&host, QStringLiteral("bar"));
    raised->setGeometry(310, y, 140, 22);
    raised->setTheme(3);
    raised->setTextEffect(2);
    raised->setTextAlignment(4);
    auto *outlined = new ProgressBar(&host, QStringLiteral("bar"));
    outlined->setGeometry(460, y, 140, 22);
    outlined->setTheme(6);
    outlined->setTextEffect(4);
    outlined->setTextForeColor(rgbRef(255, 255, 255));
    outlined->setTextEffectColor(rgbRef(80, 0, 60));
    auto *vertical = new ProgressBar(&host, QStringLiteral("bar"));
    vertical->setGeometry(620, y, 22, 70);
    vertical->setOrientations(2);
    vertical->setTheme(4);
    vertical->setTextStyle(0);
    vertical->setValue(35);
    // Row 12: the download window's bar, as stored there, mid-download.
    auto *pro = new ProgressBar(&host, QStringLiteral("Pro"));
    pro->setGeometry(10, y + 40, 433, 25);
    pro->setTheme(10);
    pro->setPBSCustomeColor2(rgbRef(64, 64, 64));
    pro->setPBSCustomeColor1(rgbRef(0, 0, 0));
    pro->setTextStyle(2);
    pro->setTextEffect(5);
    pro->setTextEffectColor(rgbRef(255, 255, 255));
    pro->setTextAlignment(5);
    pro->setTextForeColor(rgbRef(0, 0, 0));
    pro->setTextFont(makeFont(QStringLiteral("Gulim"), 9));
    pro->setMax(4123);
    pro->setValue(1690);

    host.show();
    const QImage shot = host.grab().toImage();
    const QString dir = QStringLiteral(SORIMBA_BINARY_DIR) + QStringLiteral("/contact-sheets");
    QDir().mkpath(dir);
    ASSERT_TRUE(shot.save(dir + QStringLiteral("/progressbars.png")));
    ASSERT_TRUE(shot.scaled(shot.size() * 2).save(dir + QStringLiteral("/progressbars-2x.png")));
}
