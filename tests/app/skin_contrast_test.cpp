// The texts the windows draw on their skin stay readable: each caption's
// colour against the face or picture right behind its letters reaches the
// 4.5:1 contrast of the accessibility guidelines.
#include "app/frmmain.h"
#include "controls/contrast.h"
#include "controls/skin.h"
#include "download/frmdownload.h"
#include "controls/syscolors.h"
#include "support/sim_fixture.h"

#include <QDir>

#include <QPainter>
#include <gtest/gtest.h>

namespace {

// The mean colour of the face under the letters: the pixels a caption
// changes, read from the same face drawn without it.
QColor backgroundUnderText(const QImage &withText, const QImage &withoutText)
{
    double r = 0, g = 0, b = 0;
    int n = 0;
    for (int y = 0; y < withText.height(); ++y)
        for (int x = 0; x < withText.width(); ++x)
            if (withText.pixel(x, y) != withoutText.pixel(x, y)) {
                const QColor c = withoutText.pixelColor(x, y);
                r += c.red(), g += c.green(), b += c.blue();
                ++n;
            }
    return n ? QColor(int(r / n), int(g / n), int(b / n)) : QColor();
}

class SkinContrast : public testsupport::SimFixture {};

TEST_F(SkinContrast, ButtonCaptionsReadInEveryState)
{
    app::frmMain w;
    QDir().mkpath(QStringLiteral(SORIMBA_BINARY_DIR "/screens"));
    QImage sheet(4 * 100, 3 * 32, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    int row = 0;
    for (controls::SkinButton *b : {w.cmdSearch, w.cmdPrev, w.cmdNext}) {
        int col = 0;
        for (const int state : {controls::CandyButton::StateUp, controls::CandyButton::StateHover}) {
            const QString caption = b->Caption();
            b->DrawButton(state);
            const QImage face = b->faceImage().convertToFormat(QImage::Format_RGB32);
            b->setCaption(QString());
            b->DrawButton(state);
            const QImage bare = b->faceImage().convertToFormat(QImage::Format_RGB32);
            b->setCaption(caption);
            const bool highlit = state == controls::CandyButton::StateHover && b->CaptionHighLite();
            const QColor text = controls::toQColor(highlit ? b->CaptionHighLiteColor() : b->ForeColor());
            const QColor behind = backgroundUnderText(face, bare);
            EXPECT_GE(controls::contrastRatio(text, behind), 4.5)
                << b->objectName().toStdString() << " state " << state << " text " << text.name().toStdString()
                << " on " << behind.name().toStdString();
            p.drawImage(col * 200 + 4, row * 32 + 4, face);
            p.drawImage(col * 200 + 100, row * 32 + 4, bare);
            ++col;
        }
        ++row;
    }
    sheet.save(QStringLiteral(SORIMBA_BINARY_DIR "/screens/button-contrast.png"));
}

// A disabled caption (the download window's close button while a download
// runs) stays readable on the pale disabled face: 3:1, the level for text
// that is not meant to be acted on.
TEST_F(SkinContrast, DisabledButtonCaptionsRead)
{
    app::frmMain w;
    download::frmDownload d;
    QImage sheet(2 * 100, 4 * 32, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    int row = 0;
    for (controls::SkinButton *b : {w.cmdSearch, w.cmdPrev, w.cmdNext, d.CandyButton3}) {
        b->setEnabled(false);
        const QString caption = b->Caption();
        b->DrawButton(controls::CandyButton::StateUp);
        const QImage face = b->faceImage().convertToFormat(QImage::Format_RGB32);
        b->setCaption(QString());
        b->DrawButton(controls::CandyButton::StateUp);
        const QImage bare = b->faceImage().convertToFormat(QImage::Format_RGB32);
        b->setCaption(caption);
        // The caption's own colour as drawn: the darkest pixel it changed (the
        // rest is its white emboss).
        QColor text = Qt::white;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x)
                if (face.pixel(x, y) != bare.pixel(x, y)
                    && controls::relativeLuminance(face.pixelColor(x, y)) < controls::relativeLuminance(text))
                    text = face.pixelColor(x, y);
        const QColor behind = backgroundUnderText(face, bare);
        EXPECT_GE(controls::contrastRatio(text, behind), 3.0)
            << b->objectName().toStdString() << " text " << text.name().toStdString() << " on "
            << behind.name().toStdString();
        p.drawImage(4, row * 32 + 4, face);
        p.drawImage(100, row * 32 + 4, bare);
        ++row;
    }
    sheet.save(QStringLiteral(SORIMBA_BINARY_DIR "/screens/button-disabled-contrast.png"));
}

} // namespace
