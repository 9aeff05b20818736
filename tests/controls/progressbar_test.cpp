// The progress bar: clamping, bar length and band split, text, palettes,
// disabled greys, orientation, storage and the two gradient operations.
#include "controls/fonts.h"
#include "controls/progressbar.h"

#include <functional>
#include <gtest/gtest.h>

using namespace controls;

namespace {

QRgb at(const QImage &img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }
// A memory drawing context on a top-down 32-bit image.
struct MemoryDC {
    gdi::HDC dc = gdi::CreateCompatibleDC(0);
    gdi::HBITMAP bmp = 0;
    gdi::HGDIOBJ old = 0;
    std::uint8_t *bits = nullptr;
    int w, h;
    MemoryDC(int width, int height) : w(width), h(height)
    {
        bmp = gdi::CreateDIBSection(dc, gdi::makeBitmapInfo(w, -h, 32), gdi::DIB_RGB_COLORS, &bits);
        old = gdi::SelectObject(dc, bmp);
    }
    ~MemoryDC()
    {
        gdi::SelectObject(dc, old);
        gdi::DeleteObject(bmp);
        gdi::DeleteDC(dc);
    }
    QImage image() const { return QImage(bits, w, h, w * 4, QImage::Format_RGB32).copy(); }
};

QRgb qrgb(ColourRef c) { return QRgb(redOf(c)) << 16 | QRgb(greenOf(c)) << 8 | QRgb(blueOf(c)); }

// A bar on a host with the download window's font, sized in pixels.
struct Host {
    QWidget window;
    ProgressBar *bar;
    explicit Host(QSize size = QSize(433, 25))
    {
        window.setFont(makeFont(QStringLiteral("Gulim"), 9));
        bar = new ProgressBar(&window, QStringLiteral("Pro"));
        bar->resize(size);
    }
};

} // namespace

TEST(ProgressBar, ClampingRules)
{
    using Ops = std::function<void(ProgressBar &)>;
    struct Case {
        const char *what;
        Ops ops;
        int max, min, value;
    };
    const Case cases[] = {
        {"Max 0 becomes 1 and pulls Value down", [](ProgressBar &b) { b.setMax(0); }, 1, 0, 1},
        {"negative Max becomes 1", [](ProgressBar &b) { b.setMax(-7); }, 1, 0, 1},
        {"Max at or below Min becomes Min + 1", [](ProgressBar &b) { b.setMin(20); b.setMax(10); }, 21, 20, 21},
        {"lowering Max below Value lowers Value", [](ProgressBar &b) { b.setMax(30); }, 30, 0, 30},
        {"Min at Max becomes Max - 1 and raises Value", [](ProgressBar &b) { b.setMin(100); }, 100, 99, 99},
        {"Min with Max 1 is 0", [](ProgressBar &b) { b.setMax(1); b.setMin(5); }, 1, 0, 1},
        {"negative Min becomes 0", [](ProgressBar &b) { b.setMin(-3); }, 100, 0, 50},
        {"raising Min above Value raises Value", [](ProgressBar &b) { b.setMin(60); }, 100, 60, 60},
        {"Value above Max stops at Max", [](ProgressBar &b) { b.setValue(150); }, 100, 0, 100},
        {"Value below Min stops at Min", [](ProgressBar &b) { b.setMin(10); b.setValue(3); }, 100, 10, 10},
        {"the download's end: Max 1, Value 1", [](ProgressBar &b) { b.setMax(50000); b.setValue(50000); b.setMax(1); b.setValue(1); }, 1, 0, 1},
    };
    for (const Case &c : cases) {
        ProgressBar bar(nullptr, QStringLiteral("p"));
        c.ops(bar);
        EXPECT_EQ(bar.max(), c.max) << c.what;
        EXPECT_EQ(bar.min(), c.min) << c.what;
        EXPECT_EQ(bar.value(), c.value) << c.what;
    }
}

TEST(ProgressBar, HalfFullBarLengthAndBandSplitRoundHalfToEven)
{
    Host h;
    h.bar->setTextStyle(0);
    h.bar->setValue(50);
    EXPECT_EQ(h.bar->lastBarLength(), 216); // 216.5
    EXPECT_EQ(h.bar->lastBandSplit(), 12);  // 12.5
    const QImage f = h.bar->faceImage();
    const ProgressBar::Palette &p = h.bar->palette();
    // The bar covers columns 0..215, the track the rest of each row.
    EXPECT_EQ(at(f, 215, 5), at(f, 100, 5));
    EXPECT_EQ(at(f, 216, 5), at(f, 300, 5));
    EXPECT_NE(at(f, 215, 5), at(f, 216, 5));
    // The second bands start at row 12 with their exact start colours.
    EXPECT_EQ(at(f, 100, 12), qrgb(p[12]));
    EXPECT_EQ(at(f, 300, 12), qrgb(p[4]));
    EXPECT_NE(at(f, 100, 11), qrgb(p[12]));
}

// Values set between two paints (a download sets one every 2 KB) are painted
// once, when the bar is next shown: what it shows is the last value's face.
TEST(ProgressBar, ValuesBetweenPaintsShowTheLastOne)
{
    Host h;
    h.bar->setTextStyle(2); // the percentage
    h.window.show();
    h.bar->setValue(10);
    QImage shown = h.bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, h.bar->faceImage());
    for (int v = 11; v <= 80; ++v)
        h.bar->setValue(v);
    shown = h.bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage face = h.bar->faceImage();
    EXPECT_EQ(h.bar->lastBarLength(), 346); // 80 % of 433
    EXPECT_EQ(h.bar->lastText(), "80%");
    EXPECT_EQ(at(shown, 200, 5), at(face, 200, 5));
    EXPECT_EQ(at(shown, 340, 5), at(face, 340, 5)); // inside the bar at 80 %, track at 10 %
    EXPECT_NE(at(shown, 340, 5), at(face, 420, 5));
}

TEST(ProgressBar, BandColoursAtFirstAndLastPixel)
{
    Host h;
    h.bar->setTextStyle(0);
    const QImage f = h.bar->faceImage();
    const ProgressBar::Palette &p = h.bar->palette();
    // Each band runs from its start colour to one step short of its end
    // colour (rows 0..11 of 12, rows 12..24 of 13). Row 0 carries the outline.
    auto near = [](QRgb got, ColourRef from, ColourRef to, double share) {
        const double r = redOf(from) + (redOf(to) - redOf(from)) * share;
        const double g = greenOf(from) + (greenOf(to) - greenOf(from)) * share;
        const double b = blueOf(from) + (blueOf(to) - blueOf(from)) * share;
        return std::abs(qRed(got) - r) <= 1 && std::abs(qGreen(got) - g) <= 1 && std::abs(qBlue(got) - b) <= 1;
    };
    EXPECT_TRUE(near(at(f, 100, 11), p[8], p[10], 11.0 / 12)) << std::hex << at(f, 100, 11);
    EXPECT_TRUE(near(at(f, 300, 11), p[0], p[2], 11.0 / 12));
    EXPECT_TRUE(near(at(f, 100, 24), p[12], p[14], 12.0 / 13));
    EXPECT_TRUE(near(at(f, 300, 24), p[4], p[6], 12.0 / 13));
    EXPECT_TRUE(near(at(f, 100, 1), p[8], p[10], 1.0 / 12));
}

TEST(ProgressBar, PercentageAndValueTexts)
{
    Host h;
    h.bar->setTextStyle(2);
    h.bar->setMax(8);
    h.bar->setValue(1);
    EXPECT_EQ(h.bar->lastText(), "12%"); // 12.5
    h.bar->setValue(3);
    EXPECT_EQ(h.bar->lastText(), "38%"); // 37.5
    h.bar->setMax(100);
    h.bar->setMin(50);
    h.bar->setValue(50);
    EXPECT_EQ(h.bar->lastText(), "50%");
    EXPECT_EQ(h.bar->lastBarLength(), 216) << "Min plays no part";
    h.bar->setTextStyle(1);
    EXPECT_EQ(h.bar->lastText(), "50");
    h.bar->setTextStyle(3);
    EXPECT_EQ(h.bar->lastText(), "Vorn ProgressBar");
    h.bar->setTextEffect(6);
    EXPECT_EQ(h.bar->lastText(), "") << "unknown effect: no text at all";
    h.bar->setTextEffect(1);
    h.bar->setTextStyle(0);
    EXPECT_EQ(h.bar->lastText(), "");
}

TEST(ProgressBar, TextPositionAndDropShadow)
{
    Host h;
    h.bar->setTextStyle(2); // "50%", effect 5: white shadow, black text
    QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
    const QFontMetrics fm(crispFont(h.bar->textFont()), &device);
    const int tw = fm.horizontalAdvance(QStringLiteral("50%"));
    const int th = fm.height();
    const QPoint centre(int(std::nearbyint(433 / 2.0 - tw / 2.0 - 1)), int(std::nearbyint(25 / 2.0 - th / 2.0 - 1)));
    EXPECT_EQ(h.bar->lastTextPosition(), centre);
    const QImage f = h.bar->faceImage();
    int white = 0, black = 0;
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 433; ++x) {
            const QRgb c = at(f, x, y);
            white += c == 0xFFFFFF;
            // black text lies inside the text cell; the outline is not black in theme 1
            if (c == 0x000000) {
                ++black;
                EXPECT_TRUE(QRect(centre, QSize(tw, th)).contains(x, y)) << x << "," << y;
            }
        }
    EXPECT_GT(black, 5);
    EXPECT_GT(white, 5);

    h.bar->setTextAlignment(0);
    EXPECT_EQ(h.bar->lastTextPosition(), QPoint(0, 0));
    h.bar->setTextAlignment(9);
    EXPECT_EQ(h.bar->lastTextPosition(), QPoint(433 - tw - 3, 25 - th - 1));
}

TEST(ProgressBar, ValueZeroDrawsTrackOutlineAndTextButNoBar)
{
    Host h;
    h.bar->setTextStyle(1);
    h.bar->setValue(0);
    const QImage f = h.bar->faceImage();
    EXPECT_EQ(h.bar->lastBarLength(), 0);
    EXPECT_EQ(at(f, 3, 12), qrgb(h.bar->palette()[4])) << "track from the left edge";
    EXPECT_EQ(h.bar->lastText(), "0");
}

TEST(ProgressBar, DisabledGreysEverythingButKeepsTheEffectGrey)
{
    Host h;
    h.bar->setTextStyle(0);
    h.bar->setEnabled(false);
    const QImage f = h.bar->faceImage();
    EXPECT_EQ(at(f, 100, 0), 0x919191u) << "theme 1 outline (204, 168, 62) greys to 145";
    EXPECT_EQ(at(f, 300, 12), qrgb(ProgressBar::GreyOf(h.bar->palette()[4])));
    EXPECT_EQ(h.bar->palette()[16], rgbRef(204, 168, 62)) << "the theme palette itself stays";
    h.bar->setEnabled(true);
    EXPECT_EQ(at(h.bar->faceImage(), 100, 0), qrgb(rgbRef(204, 168, 62)));
}

TEST(ProgressBar, ColourRules)
{
    EXPECT_EQ(ProgressBar::GreyOf(rgbRef(204, 168, 62)), rgbRef(145, 145, 145));
    EXPECT_EQ(ProgressBar::GreyOf(rgbRef(255, 255, 255)), rgbRef(255, 255, 255));
    EXPECT_EQ(ProgressBar::GreyOf(rgbRef(1, 1, 2)), rgbRef(1, 1, 1));
    EXPECT_EQ(ProgressBar::GreyOf(systemColourRef(15)), rgbRef(240, 240, 240));
    EXPECT_EQ(ProgressBar::ShiftColour(rgbRef(64, 64, 64), 180), rgbRef(244, 244, 244));
    EXPECT_EQ(ProgressBar::ShiftColour(rgbRef(200, 100, 0), 80), rgbRef(255, 180, 80));
    EXPECT_EQ(ProgressBar::ShiftColour(rgbRef(10, 100, 200), -50), rgbRef(40, 50, 150));

    // The download window's custom theme.
    ProgressBar::Palette p;
    ASSERT_TRUE(ProgressBar::themePalette(10, rgbRef(0, 0, 0), rgbRef(64, 64, 64), p));
    const int grey[9] = {244, 114, 64, 144, 180, 50, 0, 80, 0};
    for (int i = 0; i < 17; ++i)
        EXPECT_EQ(p[std::size_t(i)], rgbRef(grey[i / 2], grey[i / 2], grey[i / 2])) << i;
    ASSERT_TRUE(ProgressBar::themePalette(8, 0, 0, p));
    EXPECT_EQ(p[16], rgbRef(23, 139, 211));
    EXPECT_EQ(p[15], rgbRef(63, 226, 246)) << "odd entries repeat the even one before";
    EXPECT_FALSE(ProgressBar::themePalette(0, 0, 0, p));
    EXPECT_FALSE(ProgressBar::themePalette(11, 0, 0, p));
}

TEST(ProgressBar, UnknownThemeKeepsLastPaletteOrBlack)
{
    Host h;
    h.bar->setTheme(3);
    const QImage theme3 = h.bar->faceImage();
    h.bar->setTheme(11);
    EXPECT_EQ(h.bar->faceImage(), theme3);

    PropertyBag stored;
    stored.writeInt(QStringLiteral("Theme"), 11, 1);
    ProgressBar loaded(QStringLiteral("Pro"), stored);
    loaded.resize(100, 20);
    for (ColourRef c : loaded.palette())
        EXPECT_EQ(c, rgbRef(0, 0, 0));
    EXPECT_EQ(at(loaded.faceImage(), 50, 10), 0x000000u);
    EXPECT_EQ(at(loaded.faceImage(), 80, 3), 0x000000u);
}

TEST(ProgressBar, VerticalBarFillsFromTheTop)
{
    Host h(QSize(40, 100));
    h.bar->setTextStyle(0);
    h.bar->setOrientations(2);
    h.bar->setValue(30);
    EXPECT_EQ(h.bar->lastBarLength(), 30);
    EXPECT_EQ(h.bar->lastBandSplit(), 20);
    const QImage f = h.bar->faceImage();
    const ProgressBar::Palette &p = h.bar->palette();
    EXPECT_EQ(at(f, 20, 10), qrgb(p[12]));  // right half of the bar starts at column 20
    EXPECT_EQ(at(f, 20, 29), qrgb(p[12]));
    EXPECT_EQ(at(f, 20, 30), qrgb(p[4]));   // track below the bar
    EXPECT_EQ(at(f, 20, 90), qrgb(p[4]));
    EXPECT_EQ(at(f, 10, 10), at(f, 10, 20));
    EXPECT_NE(at(f, 10, 10), at(f, 10, 50));

    h.bar->setOrientations(3); // no track, no bar: the back colour
    EXPECT_EQ(at(h.bar->faceImage(), 20, 50), 0xF0F0F0u);
}

TEST(ProgressBar, RoundedWindowShape)
{
    Host h(QSize(100, 20));
    EXPECT_FALSE(h.bar->mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(h.bar->mask().contains(QPoint(50, 0)));
    EXPECT_TRUE(h.bar->mask().contains(QPoint(99, 10)));
    h.bar->setRoundedValue(0);
    EXPECT_TRUE(h.bar->mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(h.bar->mask().contains(QPoint(99, 19)));
}

TEST(ProgressBar, StorageOrdersAndDefaults)
{
    QWidget host;
    host.setFont(makeFont(QStringLiteral("Gulim"), 9));
    ProgressBar fresh(&host, QStringLiteral("Pro"));
    PropertyBag bag;
    fresh.writeProperties(bag);
    // A new control differs from the save defaults in its text, effect colour,
    // effect and style.
    EXPECT_EQ(bag.keys(), QStringList({"TextStyle", "Text", "TextEffectColor", "TextEffect"}));

    // The download window's bar, written and read back.
    ProgressBar pro(&host, QStringLiteral("Pro"));
    pro.setTheme(10);
    pro.setPBSCustomeColor2(rgbRef(64, 64, 64));
    pro.setTextStyle(2);
    pro.setMax(300);
    pro.setValue(0);
    pro.setText(QString());
    pro.setOrientations(1);
    PropertyBag out;
    pro.writeProperties(out);
    EXPECT_EQ(out.keys(), QStringList({"Max", "Value", "Theme", "TextStyle", "TextEffectColor", "TextEffect",
                                       "PBSCustomeColor2"}));

    QStringList applied;
    ProgressBar probe(&host, QStringLiteral("x"));
    QObject::connect(&probe, &ProgressBar::propertyChanged, [&](const QString &k) { applied << k; });
    probe.setTextEffect(1); // so that its stored value is a change
    applied.clear();
    PropertyBag all;
    for (const char *k : {"PBSCustomeColor1", "TextForeColor", "TextEffect", "Theme", "Max", "Text"})
        all.write(QString::fromLatin1(k), PropertyValue::integer(0));
    all.write(QStringLiteral("Text"), PropertyValue::text(QStringLiteral("t")));
    all.write(QStringLiteral("max"), PropertyValue::integer(500));
    all.write(QStringLiteral("TEXTEFFECT"), PropertyValue::integer(3));
    all.write(QStringLiteral("PBSCustomeColor1"), PropertyValue::colour(rgbRef(1, 2, 3)));
    all.write(QStringLiteral("TextFont"), PropertyValue::text(QStringLiteral("not a font")));
    probe.readProperties(all);
    // Read in the fixed key order; the unreadable font is skipped.
    EXPECT_EQ(applied, QStringList({"Max", "Theme", "TextStyle", "Text", "TextEffectColor", "TextEffect",
                                    "PBSCustomeColor1"}));
    EXPECT_EQ(probe.textFont(), host.font());

    ProgressBar loaded(QStringLiteral("Pro"), out, &host);
    EXPECT_EQ(loaded.text(), "Pro") << "an empty text comes back as the instance name";
    EXPECT_EQ(loaded.max(), 300);
    EXPECT_EQ(loaded.value(), 0);
    EXPECT_EQ(loaded.theme(), 10);
    EXPECT_EQ(loaded.textEffectColor(), rgbRef(255, 255, 255));
    EXPECT_EQ(loaded.pbsCustomeColor2(), rgbRef(64, 64, 64));
    EXPECT_EQ(loaded.textFont(), host.font());
}

TEST(ProgressBar, GradientOperationsOnAnyContext)
{
    MemoryDC s(10, 6);
    ASSERT_NE(s.bits, nullptr);
    const gdi::HBRUSH blue = gdi::CreateSolidBrush(gdi::RGB(0, 0, 255));
    gdi::FillRect(s.dc, gdi::RECT{0, 0, 10, 6}, blue);
    gdi::DeleteObject(blue);

    // Width and Height are the right and bottom edges: columns 2..5, rows 1..2.
    ProgressBar::GradientTwoColour(s.dc, 0, rgbRef(0, 0, 0), rgbRef(200, 0, 0), 2, 1, 6, 3);
    QImage f = s.image();
    EXPECT_EQ(at(f, 2, 1), 0x000000u);
    EXPECT_EQ(at(f, 3, 2), 0x320000u); // 200 / 4
    EXPECT_EQ(at(f, 5, 1), 0x960000u); // one step short of 200
    for (QPoint outside : {QPoint(1, 1), QPoint(6, 1), QPoint(2, 0), QPoint(2, 3)})
        EXPECT_EQ(at(f, outside.x(), outside.y()), 0x0000FFu) << outside.x() << "," << outside.y();

    // Four corners over 4 x 2 pixels at (1, 3): red grows to the right, blue down.
    ProgressBar::DrawGradientFourColour(s.dc, 1, 3, 4, 2, rgbRef(0, 0, 0), rgbRef(200, 0, 0), rgbRef(0, 0, 100),
                                        rgbRef(200, 0, 100));
    f = s.image();
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(at(f, 1 + x, 3 + y), qrgb(rgbRef(50 * x, 0, 50 * y))) << x << "," << y;
    EXPECT_EQ(at(f, 0, 3), 0x0000FFu);
    EXPECT_EQ(at(f, 5, 4), 0x0000FFu);
    // Nothing happens for empty or absurd sizes.
    ProgressBar::DrawGradientFourColour(s.dc, 0, 0, 0, 5, 0, 0, 0, 0);
    ProgressBar::DrawGradientFourColour(s.dc, 0, 0, 1 << 30, 1, 0, 0, 0, 0);
    EXPECT_EQ(s.image(), f);
}

TEST(ProgressBar, ReleasesEveryDrawingObject)
{
    const int before = gdi::liveObjectCount();
    {
        Host h;
        for (int v = 0; v <= 100; v += 25)
            h.bar->setValue(v);
        h.bar->setEnabled(false);
        h.bar->resize(50, 60);
        h.bar->setOrientations(2);
    }
    EXPECT_EQ(gdi::liveObjectCount(), before);
}

TEST(ProgressBar, DownloadWindowBarFromItsStoredDefinition)
{
    const auto def = WindowDefinition::parse(QStringLiteral(
        "[Pro]\n"
        "Value = 0\n"
        "Theme = 10\n"
        "TextStyle = 2\n"
        "TextFont = font(\"Gulim\", 9)\n"
        "TextEffectColor = rgb(255, 255, 255)\n"
        "TextEffect = 5\n"
        "PBSCustomeColor2 = rgb(64, 64, 64)\n"));
    ASSERT_TRUE(def);
    QWidget window;
    ProgressBar pro(QStringLiteral("Pro"), *def->properties(u"Pro"), &window);
    pro.resize(433, 25);
    EXPECT_EQ(pro.lastText(), "0%");
    const ProgressBar::Palette &p = pro.palette();
    EXPECT_EQ(p[0], rgbRef(244, 244, 244));
    EXPECT_EQ(p[2], rgbRef(114, 114, 114));
    EXPECT_EQ(p[8], rgbRef(180, 180, 180));
    EXPECT_EQ(p[16], rgbRef(0, 0, 0));
    // Driven the way the transfer loop drives it.
    pro.setMax(4123);
    pro.setValue(1690);
    EXPECT_EQ(pro.lastText(), "41%");
    EXPECT_EQ(pro.lastBarLength(), 177); // 433 x 0.40989...
    EXPECT_EQ(at(pro.faceImage(), 100, 12), 0x000000u) << "second bar band starts black";
    pro.setMax(1);
    pro.setValue(1);
    EXPECT_EQ(pro.lastText(), "100%");
    EXPECT_EQ(pro.lastBarLength(), 433);
}
