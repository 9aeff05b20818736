// Renders every style in every state into one contact sheet under the build
// folder, for a person to look at; the test itself only checks that each face
// was drawn at the control's size.
#include "controls/candybutton.h"
#include "controls/fonts.h"

#include <QDir>
#include <QPainter>
#include <gtest/gtest.h>

using namespace controls;

TEST(CandyButtonSheet, RendersEveryStyleInEveryState)
{
    installFontSubstitutions();
    QWidget host;
    host.setAutoFillBackground(true);
    QPalette pal = host.palette();
    pal.setColor(QPalette::Window, Qt::white);
    host.setPalette(pal);

    const QStringList states = {"up", "down", "focused", "hover", "checked", "disabled"};
    const int cellW = 110, cellH = 56, labelW = 70, top = 24;
    const int styles = 9;
    QImage sheet(labelW + cellW * states.size(), top + cellH * (styles + 2), QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    p.setFont(QFont("DejaVu Sans", 8));
    for (int s = 0; s < states.size(); ++s)
        p.drawText(labelW + s * cellW + 4, 16, states[s]);

    auto drawRow = [&](int row, const QString &label, CandyButton &b) {
        p.setPen(Qt::black);
        p.drawText(4, top + row * cellH + cellH / 2, label);
        for (int s = 0; s < states.size(); ++s) {
            const bool disabled = s == 5;
            b.setEnabled(!disabled);
            b.setChecked(s == 4);
            b.DrawButton(disabled ? CandyButton::StateUp : s);
            const QImage face = b.faceImage();
            ASSERT_EQ(face.size(), b.size());
            // What the window shows: the face inside the window shape.
            const QRegion shape = b.mask().isEmpty() ? QRegion(b.rect()) : b.mask();
            const QPoint at(labelW + s * cellW + 8, top + row * cellH + 6);
            p.save();
            p.setClipRegion(shape.translated(at));
            p.drawImage(at, face);
            p.restore();
        }
        b.setChecked(false);
        b.setEnabled(true);
    };

    for (int style = 0; style < styles; ++style) {
        CandyButton b(&host);
        b.resize(89, 41);
        b.setFont(makeFont("Tahoma", 9));
        b.setForeColor(style <= 1 ? 0 : 0xFFFFFF);
        b.setColorScheme(style <= 1 ? 0 : 1);
        b.setCaptionHighLite(true);
        b.setCaptionHighLiteColor(0xC0C0C0);
        b.setCaption(QString::fromUtf8("&검 색"));
        b.setStyle(style);
        drawRow(style, QString("style %1").arg(style), b);
    }
    {
        CandyButton b(&host);
        b.resize(89, 41);
        b.setFont(makeFont("Tahoma", 9));
        b.setForeColor(0xFFFFFF);
        b.setCaption("Default");
        b.setStyle(3);
        drawRow(styles, "3 default", b);
    }
    {
        CandyButton b(&host);
        b.resize(25, 17);
        b.setFont(makeFont("Tahoma", 9));
        b.setForeColor(0xFFFFFF);
        b.setColorScheme(1);
        b.setCaption("...");
        b.setStyle(7);
        drawRow(styles + 1, "7 \"...\"", b);
    }
    p.end();
    const QString out = QString::fromUtf8(SORIMBA_BINARY_DIR) + "/candybutton_sheet.png";
    EXPECT_TRUE(sheet.save(out)) << out.toStdString();
}
