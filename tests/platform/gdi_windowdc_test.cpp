// The window drawing context of a control and the window shape.
#include "platform/gdi/windowdc.h"

#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

using namespace gdi;

namespace {
// A window that paints its own skin: left half blue, right half yellow.
class SkinnedWindow : public QWidget {
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(0, 0, width() / 2, height(), QColor(0, 0, 255));
        p.fillRect(width() / 2, 0, width() - width() / 2, height(), QColor(255, 255, 0));
    }
};
} // namespace

TEST(GdiWindowDCTest, StartsWithWhatLiesBehindAndShowsTheImage)
{
    QWidget parent;
    parent.resize(100, 60);
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, QColor(10, 200, 30));
    parent.setPalette(pal);
    parent.setAutoFillBackground(true);
    QWidget control(&parent);
    control.setGeometry(20, 10, 30, 20);
    parent.show();

    WindowDC wdc(&control);
    const HDC dc = wdc.begin();
    ASSERT_NE(dc, 0u);
    EXPECT_EQ(wdc.width(), 30);
    EXPECT_EQ(wdc.height(), 20);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(10, 200, 30));
    EXPECT_EQ(GetPixel(dc, 29, 19), RGB(10, 200, 30));

    const HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, RECT{0, 0, 5, 5}, red);
    DeleteObject(red);
    wdc.end();
    const QImage shown = control.grab().toImage();
    ASSERT_EQ(shown.size(), QSize(30, 20));
    EXPECT_EQ(shown.pixelColor(2, 2), QColor(255, 0, 0));
    EXPECT_EQ(shown.pixelColor(10, 10), QColor(10, 200, 30));

    // The image follows the widget's size.
    control.resize(40, 25);
    ASSERT_NE(wdc.begin(), 0u);
    EXPECT_EQ(wdc.width(), 40);
    EXPECT_EQ(wdc.height(), 25);
}

TEST(GdiWindowDCTest, WindowShapeFromRegion)
{
    QWidget w;
    w.resize(20, 10);
    const HRGN rgn = CreateRoundRectRgn(0, 0, 20, 10, 8, 8);
    ASSERT_TRUE(SetWindowRgn(&w, rgn, true));
    EXPECT_EQ(GetObjectType(rgn), 0u);   // the window owns (and dropped) it
    EXPECT_TRUE(w.mask().contains(QPoint(10, 5)));
    EXPECT_FALSE(w.mask().contains(QPoint(0, 0)));
    EXPECT_FALSE(SetWindowRgn(&w, 0xBAD, false));
    ASSERT_TRUE(SetWindowRgn(&w, 0, false));
    EXPECT_TRUE(w.mask().isEmpty());
}

TEST(GdiWindowDCTest, BackgroundIncludesTheParentsOwnPainting)
{
    SkinnedWindow parent;
    parent.resize(100, 40);
    QWidget control(&parent);
    control.setGeometry(40, 10, 20, 10);   // straddles the colour boundary at x = 50
    parent.show();
    WindowDC wdc(&control);
    const HDC dc = wdc.begin();
    ASSERT_NE(dc, 0u);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 9, 9), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 10, 0), RGB(255, 255, 0));
    EXPECT_EQ(GetPixel(dc, 19, 9), RGB(255, 255, 0));
}
