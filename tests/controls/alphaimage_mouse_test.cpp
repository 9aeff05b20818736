// The alpha image control under a real mouse (input through the window
// system path onto a shown window), and its fades.
#include "controls/alphaimage.h"
#include "alphaimage_fixtures.h"

#include <QTest>
#include <limits>
#include <gtest/gtest.h>

using namespace controls;
using namespace alphaimage_fixtures;

namespace {

// Counts the presses that reach it.
class Beneath : public QWidget {
public:
    using QWidget::QWidget;
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { ++presses; }
};

// Two 40 x 40 controls side by side over a widget; each image has opaque
// bands at the top and bottom (rows 0-11 and 28-39) and is transparent in
// between.
struct Scene {
    QWidget window;
    Beneath *below;
    aicAlphaImage *a, *b;
    QStringList log;

    Scene()
    {
        window.resize(200, 100);
        below = new Beneath(&window);
        below->setGeometry(0, 0, 200, 100);
        a = add("A", QRect(20, 20, 40, 40));
        b = add("B", QRect(60, 20, 40, 40));
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        move(QPoint(1, 1)); // a repeated position would send no move
    }
    aicAlphaImage *add(const QString &name, const QRect &geometry)
    {
        auto *c = new aicAlphaImage(&window);
        c->setAutoSize(false);
        c->setScaleMethod(aicAlphaImage::ScaleMethodActual);
        c->setGeometry(geometry);
        imaging::ByteArray bytes = toBytes(encode(dots(40, 40, {QRect(0, 0, 40, 12), QRect(0, 28, 40, 12)}), "PNG"));
        EXPECT_TRUE(c->LoadImage_FromArray(bytes));
        c->setHitTest(3);
        QObject::connect(c, &aicAlphaImage::MouseEnter, [this, name] { log << name + " enter"; });
        QObject::connect(c, &aicAlphaImage::MouseExit, [this, name] { log << name + " exit"; });
        QObject::connect(c, &aicAlphaImage::Click, [this, name](int button) { log << name + QStringLiteral(" click %1").arg(button); });
        return c;
    }
    void move(QPoint p) { QTest::mouseMove(window.windowHandle(), p); }
    void click(QPoint p) { QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, p); }
};

} // namespace

TEST(AlphaImageMouse, ClicksOnTransparentPixelsReachWhatLiesBeneathOnlyWithTheExactShape)
{
    Scene s;
    const QPoint transparentInsideBox(40, 40); // A's pixel (20, 20)
    s.click(transparentInsideBox);
    EXPECT_EQ(s.below->presses, 1);
    EXPECT_FALSE(s.log.contains("A click 1"));

    s.click(QPoint(40, 25)); // an opaque pixel: the control's own click
    EXPECT_EQ(s.below->presses, 1);
    EXPECT_TRUE(s.log.contains("A click 1"));

    s.log.clear();
    s.a->setHitTest(1); // the visible pixels' bounding box
    s.click(transparentInsideBox);
    EXPECT_EQ(s.below->presses, 1);
    EXPECT_TRUE(s.log.contains("A click 1"));
}

TEST(AlphaImageMouse, ADoubleClickIsOneClickAndOneDoubleClick)
{
    Scene s;
    QObject::connect(s.a, &aicAlphaImage::DblClick, [&s](int button) { s.log << QStringLiteral("A dblclick %1").arg(button); });
    s.log.clear();
    QTest::mouseDClick(s.window.windowHandle(), Qt::LeftButton, {}, QPoint(40, 25));
    s.log.removeAll("A enter");
    EXPECT_EQ(s.log.join(", "), "A click 1, A dblclick 1");

    s.log.clear(); // the next single click is a click again
    QTest::mouseClick(s.window.windowHandle(), Qt::LeftButton, {}, QPoint(40, 25), 1000);
    EXPECT_EQ(s.log.join(", "), "A click 1");
}

TEST(AlphaImageMouse, MovingStraightOntoAnotherControlExitsTheFirstBeforeEnteringTheSecond)
{
    Scene s;
    s.move(QPoint(50, 25));
    EXPECT_TRUE(s.a->isMouseOver());
    s.move(QPoint(70, 25));
    EXPECT_EQ(s.log, QStringList({"A enter", "A exit", "B enter"}));
    EXPECT_FALSE(s.a->isMouseOver());
    EXPECT_TRUE(s.b->isMouseOver());
}

TEST(AlphaImageMouse, ATransparentPixelInsideTheRectangleIsAnExit)
{
    Scene s;
    s.move(QPoint(50, 25));
    ASSERT_EQ(s.log, QStringList({"A enter"}));
    EXPECT_EQ(s.a->Tag(), "Timer");
    s.move(QPoint(50, 40)); // A's pixel (30, 20): inside its rectangle, transparent
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.log.size() == 2; }, 300));
    EXPECT_EQ(s.log.value(1), "A exit");
    EXPECT_TRUE(s.a->Tag().isEmpty());

    // Entered again, the tick notices the cursor has gone off the control
    // without any event reaching it.
    s.move(QPoint(50, 25));
    ASSERT_EQ(s.log.size(), 3);
    s.a->setAttribute(Qt::WA_TransparentForMouseEvents); // the window no longer finds it under the cursor
    s.a->TrackingTick();
    EXPECT_EQ(s.log.value(3), "A exit");
    EXPECT_FALSE(s.a->isMouseOver());
}

TEST(AlphaImageMouse, ADisabledControlIsNeverUnderTheMouse)
{
    Scene s;
    s.move(QPoint(50, 25));
    ASSERT_TRUE(s.a->isMouseOver());
    s.a->setEnabledProperty(false);
    EXPECT_FALSE(s.a->isMouseOver());
    s.a->setEnabledProperty(true);
    EXPECT_FALSE(s.a->isMouseOver()); // until the mouse enters again
}

TEST(AlphaImageMouse, TheOwnerWindowKeepsOneRegistryEntryPerTopLevelWindow)
{
    Scene s;
    const QByteArray P = s.a->propertyPrefix();
    EXPECT_EQ(P, "AIC2.1:");
    const QByteArray ref = P + "Ref" + QByteArray::number(qulonglong(quintptr(&s.window)));
    EXPECT_EQ(s.window.property(ref).toInt(), 2);
    EXPECT_TRUE(s.window.property(P + "Client0").isValid());
    EXPECT_FALSE(s.window.property(P + "Client1").isValid());
    s.b->hide();
    EXPECT_EQ(s.window.property(ref).toInt(), 1);
    s.a->hide();
    EXPECT_FALSE(s.window.property(P + "Client0").isValid());
    EXPECT_FALSE(s.window.property(P + "Parent").isValid());
}

namespace {

struct Fade {
    aicAlphaImage c;
    QList<int> terminated;
    Fade() { QObject::connect(&c, &aicAlphaImage::FadeTerminated, [this](int o) { terminated << o; }); }
};

} // namespace

TEST(AlphaImageFade, StepsTowardsTheTargetAndEndsWithTheEvent)
{
    Fade f;
    f.c.FadeInOut(0, 30);
    EXPECT_EQ(f.c.Opacity(), 70); // the first step within the call
    EXPECT_EQ(f.c.fadeDelay(), 30);
    QList<int> seen;
    for (int i = 0; i < 3; ++i) {
        f.c.FadeTick();
        seen << f.c.Opacity();
    }
    EXPECT_EQ(seen, QList<int>({40, 10, 0}));
    EXPECT_EQ(f.terminated, QList<int>({0}));
    EXPECT_EQ(f.c.fadeDelay(), 0);
}

TEST(AlphaImageFade, EdgeCases)
{
    {
        Fade f;
        f.c.setOpacity(95);
        f.c.FadeInOut(100);
        EXPECT_EQ(f.c.Opacity(), 100);
        EXPECT_EQ(f.terminated, QList<int>({100})); // before the call returned
    }
    {
        Fade f;
        f.c.setOpacity(50);
        f.c.FadeInOut(50);
        f.c.FadeInOut(20, 0); // step 0: nothing
        EXPECT_TRUE(f.terminated.isEmpty());
        EXPECT_EQ(f.c.fadeDelay(), 0);
        EXPECT_EQ(f.c.Opacity(), 50);
    }
    {
        Fade f;
        f.c.FadeInOut(-20, 10, 5); // target clamped to 0, delay raised to 10 ms
        EXPECT_EQ(f.c.fadeDelay(), 10);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !f.terminated.isEmpty(); }, 2000));
        EXPECT_EQ(f.terminated, QList<int>({0}));
    }
    for (int step : {std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), 250}) {
        Fade f; // any step of a whole range or more ends within the call
        f.c.setOpacity(40);
        f.c.FadeInOut(0, step);
        EXPECT_EQ(f.c.Opacity(), 0) << step;
        EXPECT_EQ(f.terminated, QList<int>({0})) << step;
    }
    {
        QWidget w;
        Fade f;
        f.c.setParent(&w);
        w.show();
        f.c.FadeInOut(0);
        f.c.hide(); // stops the fade without the event
        EXPECT_EQ(f.c.fadeDelay(), 0);
        EXPECT_TRUE(f.terminated.isEmpty());
        f.c.setParent(nullptr);
    }
}
