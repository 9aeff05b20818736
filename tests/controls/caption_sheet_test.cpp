// Renders a contact sheet of caption labels over a skin-like background into
// the build folder (contact-sheets/captions.png) for a visual check.
#include "controls/caption.h"
#include "controls/fonts.h"

#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <gtest/gtest.h>

using namespace controls;

namespace {

// A stand-in for a window's background picture.
class SkinHost : public QWidget {
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        QLinearGradient g(0, 0, width(), height());
        g.setColorAt(0, QColor(70, 110, 160));
        g.setColorAt(1, QColor(150, 190, 220));
        p.fillRect(rect(), g);
        p.setPen(QColor(255, 255, 255, 40));
        for (int x = -height(); x < width(); x += 12)
            p.drawLine(x, 0, x + height(), height());
    }
};

} // namespace

TEST(CaptionSheet, RendersContactSheet)
{
    SkinHost host;
    host.setFont(makeFont(QStringLiteral("Gulim"), 9));
    host.resize(740, 360);
    int row = 0;
    auto add = [&](const QString &text, int col, auto &&setup) {
        auto *c = new Caption(&host, QStringLiteral("c"));
        c->setGeometry(10 + col * 225, 10 + row * 30, 215, 24);
        c->setCaption(text);
        setup(c);
        return c;
    };
    const QString ko = QString::fromUtf8("검 색 어 : Sorimba 2");
    add(ko, 0, [](Caption *) {});
    add(QString::fromUtf8("비활성 (disabled)"), 1, [](Caption *c) { c->setEnabled(false); });
    add(QString::fromUtf8("그림자 shadowed"), 2, [](Caption *c) { c->setCaptionShadowed(true); });
    ++row;
    add(QString::fromUtf8("외곽선만 outline only"), 0, [](Caption *c) { c->setCaptionTransparent(true); });
    add(QString::fromUtf8("가운데 centre"), 1, [](Caption *c) { c->setCaptionAligmend(1); });
    add(QString::fromUtf8("오른쪽 right"), 2, [](Caption *c) { c->setCaptionAligmend(2); });
    ++row;
    add(QString::fromUtf8("로딩중... (capTime)"), 0, [](Caption *c) {
        c->setCaptionINColor(rgbRef(255, 255, 0));
        c->setCaptionAligmend(2);
    });
    add(QString::fromUtf8("no outline, opaque"), 1, [](Caption *c) {
        c->setCaptionOutlined(false);
        c->setTransparent(false);
        c->setCaptionINColor(rgbRef(0, 0, 0));
    });
    add(QString::fromUtf8("거꾸로 reversed"), 2, [](Caption *c) { c->setDisplayType(1); });
    for (int b = 1; b <= 7; ++b) {
        if ((b - 1) % 3 == 0)
            ++row;
        add(QStringLiteral("Borders %1").arg(b), (b - 1) % 3, [b](Caption *c) {
            c->setTransparent(false);
            c->setBorders(b);
        });
    }
    ++row;
    add(QString::fromUtf8("그라데이션 top-bottom"), 0, [](Caption *c) { c->setCaptionGradientTyp(2); c->setBorders(5); });
    add(QString::fromUtf8("그라데이션 left-right"), 1, [](Caption *c) { c->setCaptionGradientTyp(1); });
    add(QString::fromUtf8("swapped"), 2, [](Caption *c) {
        c->setCaptionGradientTyp(2);
        c->setCaptionGradientchangeColor(true);
    });
    ++row;
    auto *big = add(QString::fromUtf8("음악 파일을 찾을 수 없습니다."), 0, [](Caption *c) {
        c->setFont(makeFont(QStringLiteral("Gulim"), 14.25));
        c->setCaptionINColor(rgbRef(255, 0, 0));
    });
    big->resize(big->width() + 100, 49);
    row += 2;
    auto *busy = add(QString::fromUtf8("데이터 처리중.."), 0, [](Caption *c) {
        c->setFont(makeFont(QStringLiteral("Gulim"), 15.75));
        c->setAutoSize(true);
    });
    (void)busy;
    auto *v1 = new Caption(&host, QStringLiteral("v"));
    v1->setCaption(QString::fromUtf8("세로글씨"));
    v1->setGeometry(690, 10, 30, 100);
    v1->setDisplayType(2);
    auto *v2 = new Caption(&host, QStringLiteral("v"));
    v2->setCaption(QString::fromUtf8("세로글씨"));
    v2->setGeometry(690, 120, 30, 100);
    v2->setDisplayType(3);
    v2->setBorders(2);
    v2->setTransparent(false);

    host.show();
    const QImage shot = host.grab().toImage();
    const QString dir = QStringLiteral(SORIMBA_BINARY_DIR) + QStringLiteral("/contact-sheets");
    QDir().mkpath(dir);
    ASSERT_TRUE(shot.save(dir + QStringLiteral("/captions.png")));
    ASSERT_TRUE(shot.scaled(shot.size() * 2).save(dir + QStringLiteral("/captions-2x.png")));
}
