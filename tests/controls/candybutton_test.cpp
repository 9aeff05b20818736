// CandyButton: geometry, colour arithmetic, properties, input and hover.
#include "controls/candybutton.h"
#include "controls/fonts.h"

#include <QAccessible>
#include <QBuffer>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <gtest/gtest.h>

using namespace controls;

namespace {

QRgb rgbOf(ColourRef c)
{
    return qRgb(redOf(c), greenOf(c), blueOf(c));
}

// A white host window, as the main window is.
struct Host {
    QWidget window;
    Host()
    {
        QPalette pal = window.palette();
        pal.setColor(QPalette::Window, Qt::white);
        window.setPalette(pal);
    }
};

void sendMouse(QWidget *w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

void sendKey(QWidget *w, QEvent::Type type, int key)
{
    QKeyEvent e(type, key, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

void hoverIn(QWidget *w)
{
    sendMouse(w, QEvent::MouseMove, QPoint(10, 10), Qt::NoButton, Qt::NoButton);
}

void hoverOut(QWidget *w)
{
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(w, &leave);
}

// Records the button's events by name, in order.
struct EventLog {
    QStringList names;
    explicit EventLog(CandyButton &b)
    {
        QObject::connect(&b, &CandyButton::MouseDown, [this](int, int, int, int) { names << "MouseDown"; });
        QObject::connect(&b, &CandyButton::MouseUp, [this](int, int, int, int) { names << "MouseUp"; });
        QObject::connect(&b, &CandyButton::Click, [this] { names << "Click"; });
        QObject::connect(&b, &CandyButton::DblClick, [this] { names << "DblClick"; });
        QObject::connect(&b, &CandyButton::MouseEnter, [this] { names << "MouseEnter"; });
        QObject::connect(&b, &CandyButton::MouseLeave, [this] { names << "MouseLeave"; });
    }
};

// The windows' look: style 3, scheme 1, white caption.
void styleAsWindows(CandyButton &b, int w = 89, int h = 41)
{
    b.resize(w, h);
    b.setForeColor(0xFFFFFF);
    b.setColorScheme(1);
    b.setStyle(3);
    b.setCaption("OK");
}

} // namespace

TEST(CandyButtonGeometry, CornerRadiusAndGlowOfTheStyles)
{
    struct Case {
        int style, w, h, radius;
    };
    for (const Case &c : {Case{3, 89, 41, 12}, Case{2, 100, 30, 16}, Case{7, 100, 30, 8}, Case{6, 100, 30, 10},
                          Case{2, 20, 30, 10}, Case{4, 100, 30, 16}, Case{0, 100, 30, 0}, Case{8, 100, 30, 0},
                          Case{6, 2, 30, 1}}) {
        EXPECT_EQ(CandyButton::cornerRadius(c.style, c.w, c.h), c.radius)
            << "style " << c.style << " " << c.w << "x" << c.h;
    }
    EXPECT_EQ(CandyButton::candyParams(3, 89, 41, 12)->glowHeightPct, 80); // 100 - 700 \ 41 = 83, capped
    EXPECT_EQ(CandyButton::candyParams(3, 89, 20, 12)->glowHeightPct, 65);
    EXPECT_EQ(CandyButton::candyParams(2, 100, 30, 16)->shineBottom, 18); // Round(17.6)
    EXPECT_EQ(CandyButton::candyParams(7, 100, 30, 9)->shineLeft, 4);     // Round(4.5) = 4
    EXPECT_EQ(CandyButton::candyParams(7, 100, 31, 8)->glowCentreY, 16);  // Round(15.5) = 16
    EXPECT_FALSE(CandyButton::candyParams(6, 100, 30, 10));

    Host host;
    CandyButton b(&host.window);
    b.resize(100, 30);
    b.setStyle(2);
    EXPECT_EQ(b.radius(), 16);
    b.setStyle(7);
    EXPECT_EQ(b.radius(), 8);
}

TEST(CandyButtonGeometry, WindowShapeHoldsExactlyTheShapeTestPixels)
{
    Host host;
    struct Case {
        int style, w, h;
    };
    for (const Case &c : {Case{3, 89, 41}, Case{2, 100, 30}, Case{7, 25, 17}, Case{6, 40, 40}, Case{5, 9, 7}}) {
        CandyButton b(&host.window);
        b.resize(c.w, c.h);
        b.setStyle(c.style);
        const int r = CandyButton::cornerRadius(c.style, c.w, c.h);
        const QRegion mask = b.mask();
        int mismatches = 0;
        for (int y = -1; y <= c.h; ++y)
            for (int x = -1; x <= c.w; ++x) {
                const bool expected = x >= 0 && y >= 0 && x < c.w && y < c.h
                                      && CandyButton::InShape(x, y, 0, 0, c.w, c.h, r);
                mismatches += mask.contains(QPoint(x, y)) != expected;
            }
        EXPECT_EQ(mismatches, 0) << "style " << c.style << " " << c.w << "x" << c.h;
        // The test leaves out the first column and row, and rounds the corners.
        EXPECT_FALSE(mask.contains(QPoint(0, c.h / 2)));
        EXPECT_FALSE(mask.contains(QPoint(c.w / 2, 0)));
        EXPECT_TRUE(mask.contains(QPoint(c.w / 2, c.h / 2)));
        EXPECT_FALSE(mask.contains(QPoint(1, 1)));
    }
    // The rectangular looks have no shape.
    CandyButton flat(&host.window);
    flat.resize(50, 20);
    flat.setStyle(3);
    flat.setStyle(1);
    EXPECT_TRUE(flat.mask().isEmpty());
}

TEST(CandyButtonGeometry, ShapeTestCorners)
{
    // 20 x 20, radius 5: corner circles, strict middle, edges excluded.
    EXPECT_TRUE(CandyButton::InShape(10, 10, 0, 0, 20, 20, 5));
    EXPECT_FALSE(CandyButton::InShape(1, 1, 0, 0, 20, 20, 5));
    EXPECT_TRUE(CandyButton::InShape(5, 1, 0, 0, 20, 20, 5));
    EXPECT_TRUE(CandyButton::InShape(1, 5, 0, 0, 20, 20, 5));
    EXPECT_FALSE(CandyButton::InShape(18, 1, 0, 0, 20, 20, 5));
    EXPECT_FALSE(CandyButton::InShape(1, 18, 0, 0, 20, 20, 5));
    EXPECT_FALSE(CandyButton::InShape(20, 10, 0, 0, 20, 20, 5));
    // The test is symmetric about the vertical centre line.
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x <= 20; ++x)
            ASSERT_EQ(CandyButton::InShape(x, y, 0, 0, 20, 20, 5), CandyButton::InShape(20 - x, y, 0, 0, 20, 20, 5))
                << x << "," << y;
}

TEST(CandyButtonColours, BlendAndSplit)
{
    struct Case {
        ColourRef a, b;
        int pct;
        ColourRef expected;
    };
    for (const Case &c : {
             Case{0, 0xFFFFFF, 50, rgbRef(127, 127, 127)},
             Case{0xFFFFFF, 0, 33, rgbRef(171, 171, 171)}, // 255 + (-255 * 33) \ 100, truncated toward zero
             Case{0xFFFFFF, 0, 150, 0},                    // clamped to 100
             Case{rgbRef(10, 20, 30), 0xFFFFFF, -5, rgbRef(10, 20, 30)},
             Case{rgbRef(0, 0, 0), rgbRef(64, 64, 64), 41, rgbRef(26, 26, 26)},
         }) {
        EXPECT_EQ(CandyButton::BlendColors(c.a, c.b, c.pct), c.expected) << c.pct;
    }
    int r, g, b;
    CandyButton::GetRGB(r, g, b, rgbRef(80, 153, 233));
    EXPECT_EQ(QList<int>({r, g, b}), QList<int>({80, 153, 233}));
    CandyButton::GetRGB(r, g, b, systemColourRef(SysButtonFace));
    const ColourRef face = systemColour(SysButtonFace);
    EXPECT_EQ(QList<int>({r, g, b}), QList<int>({redOf(face), greenOf(face), blueOf(face)}));
}

TEST(CandyButtonProperties, SchemeResetClampAndStoringOrder)
{
    Host host;
    CandyButton b(&host.window);
    EXPECT_EQ(b.ColorButtonUp(), 15309136u);
    EXPECT_EQ(b.ColorButtonHover(), 0xFFC090u);
    EXPECT_EQ(b.Caption(), "CandyButton");

    b.setColorScheme(3);
    EXPECT_EQ(b.ColorButtonUp(), rgbRef(0, 0, 128));
    b.setColorButtonUp(rgbRef(1, 2, 3));
    EXPECT_EQ(b.ColorScheme(), 0);
    b.setColorScheme(3);
    EXPECT_EQ(b.ColorButtonUp(), rgbRef(0, 0, 128));
    EXPECT_EQ(b.ColorButtonHover(), rgbRef(0, 0, 160));
    EXPECT_EQ(b.ColorButtonDown(), rgbRef(0, 0, 240));
    EXPECT_EQ(b.ColorBright(), rgbRef(0, 0, 255));
    b.setColorBright(rgbRef(0, 0, 255)); // the same colour still leaves the scheme
    EXPECT_EQ(b.ColorScheme(), 0);
    b.setColorScheme(9); // stored, no colour changes
    EXPECT_EQ(b.ColorScheme(), 9);
    EXPECT_EQ(b.ColorButtonUp(), rgbRef(0, 0, 128));

    b.setBorderBrightness(150);
    EXPECT_EQ(b.BorderBrightness(), 100);
    b.setBorderBrightness(-150);
    EXPECT_EQ(b.BorderBrightness(), -100);

    const QStringList alwaysWritten = {"Checked",          "ColorButtonHover", "ColorButtonUp", "ColorButtonDown",
                                       "BorderBrightness", "ColorBright",      "DisplayHand",   "ColorScheme"};
    CandyButton fresh(&host.window);
    PropertyBag bag;
    fresh.WriteProperties(bag);
    EXPECT_EQ(bag.keys(), alwaysWritten);

    fresh.setStyle(3);
    fresh.setCaption("&OK");
    fresh.setForeColor(0xFFFFFF);
    fresh.setEnabled(false);
    PropertyBag changed;
    fresh.WriteProperties(changed);
    EXPECT_EQ(changed.keys(), QStringList({"Enabled", "Caption", "ForeColor", "Style"}) + alwaysWritten);
}

TEST(CandyButtonProperties, ReadingStoredKeysInAnyCase)
{
    Host host;
    host.window.setFont(makeFont("Tahoma", 9));
    PropertyBag bag;
    bag.write("caption", PropertyValue::text("&Search"));
    bag.write("style", PropertyValue::integer(3));
    bag.write("colorscheme", PropertyValue::integer(1));
    bag.write("colorbuttonup", PropertyValue::colour(0));
    bag.write("borderbrightness", PropertyValue::integer(500));
    bag.write("displayhand", PropertyValue::flag(true));
    bag.write("forecolor", PropertyValue::text("not a colour")); // unreadable: keeps the default
    CandyButton b(&host.window);
    b.resize(89, 41);
    b.ReadProperties(bag);
    EXPECT_EQ(b.Caption(), "&Search");
    EXPECT_EQ(b.accessibleName(), "Search");
    EXPECT_EQ(b.Style(), 3);
    EXPECT_EQ(b.ColorScheme(), 1);
    EXPECT_EQ(b.BorderBrightness(), 100);
    EXPECT_EQ(b.ForeColor(), 0u);
    EXPECT_EQ(b.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(b.font().family(), host.window.font().family());
    EXPECT_EQ(b.radius(), 12);
    EXPECT_FALSE(b.mask().isEmpty());
    EXPECT_TRUE(b.isHooked());
    EXPECT_EQ(b.focusPolicy(), Qt::StrongFocus);
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(&b);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::Button);
    EXPECT_EQ(a->text(QAccessible::Name), "Search");
}

TEST(CandyButtonInput, EnterRaisesDownUpClickInOrder)
{
    Host host;
    CandyButton b(&host.window);
    styleAsWindows(b);
    EventLog log(b);
    sendKey(&b, QEvent::KeyPress, Qt::Key_Return);
    EXPECT_EQ(b.faceImage(), [&] {
        CandyButton ref(&host.window);
        styleAsWindows(ref);
        ref.DrawButton(CandyButton::StateDown);
        return ref.faceImage();
    }());
    sendKey(&b, QEvent::KeyRelease, Qt::Key_Return);
    EXPECT_EQ(log.names, QStringList({"MouseDown", "MouseUp", "Click"}));
    // Other keys do nothing.
    sendKey(&b, QEvent::KeyPress, Qt::Key_A);
    sendKey(&b, QEvent::KeyRelease, Qt::Key_A);
    EXPECT_EQ(log.names.size(), 3);
    // A release whose press went elsewhere (the Return that closed a message
    // box, released once the focus is back here) is no click.
    sendKey(&b, QEvent::KeyRelease, Qt::Key_Return);
    EXPECT_EQ(log.names.size(), 3);
}

TEST(CandyButtonInput, MouseClickAndDoubleClick)
{
    Host host;
    CandyButton b(&host.window);
    styleAsWindows(b);
    EventLog log(b);
    sendMouse(&b, QEvent::MouseButtonPress, {20, 20}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(&b, QEvent::MouseButtonRelease, {20, 20}, Qt::LeftButton, Qt::NoButton);
    sendMouse(&b, QEvent::MouseButtonDblClick, {20, 20}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(&b, QEvent::MouseButtonRelease, {20, 20}, Qt::LeftButton, Qt::NoButton);
    // Released outside: no click.
    sendMouse(&b, QEvent::MouseButtonPress, {20, 20}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(&b, QEvent::MouseButtonRelease, {200, 20}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(log.names, QStringList({"MouseDown", "MouseUp", "Click", "DblClick", "MouseUp", "MouseDown",
                                      "MouseUp"}));
}

TEST(CandyButtonInput, HoverThroughTheHooks)
{
    Host host;
    CandyButton b(&host.window);
    styleAsWindows(b);
    ASSERT_TRUE(b.isHooked());
    EventLog log(b);
    const QImage up = b.faceImage();

    // Only the left button down: no hover (a drag from elsewhere).
    sendMouse(&b, QEvent::MouseMove, {10, 10}, Qt::NoButton, Qt::LeftButton);
    EXPECT_FALSE(b.isOver());
    // On the edge (x = 0) is not over.
    sendMouse(&b, QEvent::MouseMove, {0, 10}, Qt::NoButton, Qt::NoButton);
    EXPECT_FALSE(b.isOver());
    hoverIn(&b);
    hoverIn(&b);
    EXPECT_TRUE(b.isOver());
    EXPECT_TRUE(mouseLeaveArmed(&b));
    EXPECT_NE(b.faceImage(), up);
    hoverOut(&b);
    EXPECT_FALSE(b.isOver());
    EXPECT_EQ(b.faceImage(), up);
    EXPECT_EQ(log.names, QStringList({"MouseEnter", "MouseLeave"}));
}

TEST(CandyButtonInput, CheckedOverridesEveryState)
{
    Host host;
    CandyButton b(&host.window);
    styleAsWindows(b);
    CandyButton ref(&host.window);
    styleAsWindows(ref);
    ref.DrawButton(CandyButton::StateHover);
    const QImage hoverFace = ref.faceImage();

    b.setChecked(true);
    const QImage checked = b.faceImage();
    hoverIn(&b);
    EXPECT_EQ(b.faceImage(), checked);
    hoverOut(&b);
    EXPECT_EQ(b.faceImage(), checked);
    sendMouse(&b, QEvent::MouseButtonPress, {20, 20}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(&b, QEvent::MouseButtonRelease, {20, 20}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(b.faceImage(), checked);

    hoverIn(&b);
    b.setChecked(false);
    EXPECT_EQ(b.faceImage(), hoverFace);
}

TEST(CandyButtonInput, DisabledButtonIsGreyIgnoresInputButShowsHover)
{
    Host host;
    CandyButton b(&host.window);
    styleAsWindows(b);
    const QImage enabledFace = b.faceImage();
    EXPECT_EQ(enabledFace.pixel(1, 20), rgbOf(b.ColorButtonUp())); // the rim at border brightness 0
    b.setEnabled(false);
    EventLog log(b);
    const QImage grey = b.faceImage();
    EXPECT_EQ(grey.pixel(1, 20), qRgb(192, 192, 176));
    // The glow brightens toward white at the bottom centre.
    const QRgb glow = grey.pixel(44, 39);
    EXPECT_GT(qRed(glow), 192);
    EXPECT_EQ(qRed(glow), qGreen(glow));

    sendMouse(&b, QEvent::MouseButtonPress, {20, 20}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(&b, QEvent::MouseButtonRelease, {20, 20}, Qt::LeftButton, Qt::NoButton);
    sendKey(&b, QEvent::KeyPress, Qt::Key_Return);
    sendKey(&b, QEvent::KeyRelease, Qt::Key_Return);
    EXPECT_TRUE(log.names.isEmpty());
    hoverIn(&b);
    EXPECT_TRUE(b.isOver());
    hoverOut(&b);
    EXPECT_EQ(log.names, QStringList({"MouseEnter", "MouseLeave"}));
}

TEST(CandyButtonDrawing, PrefixedCaptionIsUnderlinedWithoutTheAmpersand)
{
    Host host;
    // Style 8 draws the caption alone, black on the white host.
    auto inkBox = [&](const QString &caption) {
        CandyButton b(&host.window);
        b.resize(80, 30);
        b.setFont(makeFont("Tahoma", 9));
        b.setStyle(8);
        b.setCaption(caption);
        const QImage face = b.faceImage();
        QRect box;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x)
                if (qGray(face.pixel(x, y)) < 128)
                    box |= QRect(x, y, 1, 1);
        return box;
    };
    const QRect plain = inkBox("Go");
    const QRect prefixed = inkBox("&Go");
    ASSERT_FALSE(plain.isEmpty());
    EXPECT_GT(prefixed.bottom(), plain.bottom()) << "no underline below the text";
    // The underline may start a pixel left of the glyph; an "&" would widen the text.
    EXPECT_LE(std::abs(prefixed.left() - plain.left()), 1) << "the & must not be drawn";
    EXPECT_LE(prefixed.width(), plain.width() + 1);
    EXPECT_FALSE(inkBox("&&").isEmpty()) << "a doubled & shows one";
}

TEST(CandyButtonDrawing, StyleAboveSevenDrawsOnlyTheCaptionOnAClearedFace)
{
    Host host;
    CandyButton b(&host.window);
    b.resize(60, 24);
    b.setStyle(8);
    b.setCaption("");
    const QImage face = b.faceImage();
    for (int y = 0; y < face.height(); ++y)
        for (int x = 0; x < face.width(); ++x)
            ASSERT_EQ(face.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
    EXPECT_TRUE(b.mask().isEmpty());
}

TEST(CandyButtonHooks, NoTrackingNoHooks)
{
    const QList<std::pair<QString, QString>> none;
    setApiExportsForTesting(&none);
    Host host;
    CandyButton b(&host.window);
    setApiExportsForTesting(nullptr);
    styleAsWindows(b);
    EXPECT_FALSE(b.isHooked());
    hoverIn(&b);
    EXPECT_FALSE(b.isOver());
}

TEST(CandyButtonProperties, WindowButtonHasTheWindowsLook)
{
    Host host;
    WindowButton b(&host.window);
    b.resize(97, 25); // the search button, 1455 x 375 twips
    b.setCaption(QString::fromUtf8("검 색"));
    EXPECT_EQ(b.Style(), 3);
    EXPECT_EQ(b.ColorScheme(), 1);
    EXPECT_EQ(b.ColorButtonUp(), rgbRef(0, 0, 0));
    EXPECT_EQ(b.ColorButtonHover(), rgbRef(64, 64, 64));
    EXPECT_EQ(b.ColorButtonDown(), rgbRef(128, 128, 128));
    EXPECT_EQ(b.ColorBright(), rgbRef(64, 64, 64));
    EXPECT_EQ(b.ForeColor(), 0xFFFFFFu);
    EXPECT_DOUBLE_EQ(b.font().pointSizeF(), 9.0);
    EXPECT_EQ(b.radius(), 12);
    int clicks = 0;
    QObject::connect(&b, &CandyButton::Click, [&] { ++clicks; });
    sendKey(&b, QEvent::KeyPress, Qt::Key_Enter);
    sendKey(&b, QEvent::KeyRelease, Qt::Key_Enter);
    EXPECT_EQ(clicks, 1);
}

TEST(CandyButtonDrawing, PicturePlacementByAlignmentAndHighlight)
{
    Host host;
    QImage red(16, 10, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    QByteArray png;
    {
        QBuffer buf(&png);
        buf.open(QIODevice::WriteOnly);
        ASSERT_TRUE(red.save(&buf, "PNG"));
    }
    auto redBox = [](const QImage &face) {
        QRect box;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x)
                if (face.pixel(x, y) == qRgb(255, 0, 0))
                    box |= QRect(x, y, 1, 1);
        return box;
    };
    CandyButton b(&host.window);
    b.resize(89, 41);
    b.setStyle(3); // R = 12
    b.setCaption("");
    b.setPicture(png);
    struct Case {
        int alignment;
        QPoint topLeft;
    };
    // 0 above: (89 - 16) \ 2 + 1, (41 - 10) \ 2 + 1; 1 below: 36, (41 - 10) \ 2 + 1;
    // 2 left: R, (41 - 10) \ 2 + 1; 3 right: 89 - R - 16.
    for (const Case &c : {Case{0, {37, 16}}, Case{1, {36, 16}}, Case{2, {12, 16}}, Case{3, {61, 16}}}) {
        b.setPictureAlignment(c.alignment);
        b.DrawButton(CandyButton::StateUp);
        EXPECT_EQ(redBox(b.faceImage()), QRect(c.topLeft, QSize(16, 10))) << "alignment " << c.alignment;
    }
    // Down moves everything one pixel right and down.
    b.DrawButton(CandyButton::StateDown);
    EXPECT_EQ(redBox(b.faceImage()).topLeft(), QPoint(62, 17));
    // Hover with the highlight draws a silhouette in the highlight colour.
    b.setIconHighLite(true);
    b.setIconHighLiteColor(rgbRef(0, 255, 0));
    b.DrawButton(CandyButton::StateHover);
    EXPECT_TRUE(redBox(b.faceImage()).isEmpty());
    EXPECT_EQ(b.faceImage().pixel(65, 20), qRgb(0, 255, 0));
}

TEST(CandyButtonHooks, ShapeIsReappliedBeforeEachPaint)
{
    Host host;
    host.window.resize(200, 100);
    CandyButton b(&host.window);
    styleAsWindows(b);
    host.window.show();
    const QRegion shape = b.mask();
    ASSERT_FALSE(shape.isEmpty());
    b.setMask(QRegion(0, 0, 5, 5)); // someone else reshapes the window
    (void)b.grab(); // paints the widget
    EXPECT_EQ(b.mask(), shape);
}

TEST(CandyButtonDrawing, ReleasesEveryDrawingObject)
{
    Host host;
    const int before = gdi::liveObjectCount();
    {
        CandyButton b(&host.window);
        b.resize(60, 30);
        b.setCaption("&Go");
        for (int style = 0; style <= 8; ++style) {
            b.setStyle(style);
            for (int state = 0; state <= 4; ++state)
                b.DrawButton(state);
            b.setEnabled(false);
            b.DrawButton(CandyButton::StateUp);
            b.setEnabled(true);
        }
        b.resize(40, 20);
    }
    EXPECT_EQ(gdi::liveObjectCount(), before);
}

TEST(CandyButtonProperties, StoredPropertiesReadBackAsWritten)
{
    Host host;
    CandyButton a(&host.window);
    a.setCaption("&Save");
    a.setForeColor(rgbRef(1, 2, 3));
    a.setStyle(6);
    a.setPictureAlignment(3);
    a.setColorScheme(4);
    a.setBorderBrightness(-30);
    a.setIconHighLite(true);
    a.setIconHighLiteColor(rgbRef(9, 9, 9));
    a.setCaptionHighLite(true);
    a.setCaptionHighLiteColor(rgbRef(8, 8, 8));
    a.setDisplayHand(true);
    a.setChecked(true);
    a.setFont(makeFont("Tahoma", 12));
    PropertyBag bag;
    a.WriteProperties(bag);
    // Through the text form the windows keep their definitions in.
    const auto parsed = WindowDefinition::parse(QStringLiteral("[btn]\n") + bag.toText());
    ASSERT_TRUE(parsed);
    CandyButton b(&host.window);
    b.ReadProperties(*parsed->properties(u"btn"));
    EXPECT_EQ(b.Caption(), a.Caption());
    EXPECT_EQ(b.ForeColor(), a.ForeColor());
    EXPECT_EQ(b.Style(), 6);
    EXPECT_EQ(b.PictureAlignment(), 3);
    EXPECT_EQ(b.ColorScheme(), 4);
    EXPECT_EQ(b.ColorButtonUp(), a.ColorButtonUp());
    EXPECT_EQ(b.ColorButtonHover(), a.ColorButtonHover());
    EXPECT_EQ(b.ColorButtonDown(), a.ColorButtonDown());
    EXPECT_EQ(b.ColorBright(), a.ColorBright());
    EXPECT_EQ(b.BorderBrightness(), -30);
    EXPECT_TRUE(b.IconHighLite());
    EXPECT_EQ(b.IconHighLiteColor(), a.IconHighLiteColor());
    EXPECT_TRUE(b.CaptionHighLite());
    EXPECT_EQ(b.CaptionHighLiteColor(), a.CaptionHighLiteColor());
    EXPECT_TRUE(b.DisplayHand());
    EXPECT_TRUE(b.Checked());
    EXPECT_DOUBLE_EQ(b.font().pointSizeF(), 12.0);
}
