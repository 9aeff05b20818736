// The caption label: rendered pixels (outline, shift, centring, see-through,
// disabled colours, frames, gradient, vertical order), fitting, measuring,
// stored properties and the picture element's mouse events.
#include "controls/caption.h"
#include "controls/fonts.h"
#include "controls/skin.h"
#include "platform/gdi/gdi.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QSet>
#include <gtest/gtest.h>

using namespace controls;

namespace {

using PixelSet = QSet<QPair<int, int>>;

PixelSet pixelsOf(const QImage &img, QRgb colour)
{
    PixelSet out;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                out.insert({x, y});
    return out;
}

PixelSet shifted(const PixelSet &s, int dx, int dy)
{
    PixelSet out;
    for (auto p : s)
        out.insert({p.first + dx, p.second + dy});
    return out;
}

// The eight-neighbour ring around a set, without the set itself.
PixelSet ringAround(const PixelSet &s)
{
    PixelSet out;
    for (auto p : s)
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                out.insert({p.first + dx, p.second + dy});
    return out - s;
}

QSet<QRgb> coloursOf(const QImage &img)
{
    QSet<QRgb> out;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            out.insert(img.pixel(x, y) & 0xFFFFFF);
    return out;
}

constexpr QRgb kWhite = 0xFFFFFF, kBlack = 0x000000, kFace = 0xF0F0F0;

// A label on a host, sized in pixels, with the windows' usual font.
struct Host {
    QWidget window;
    Caption *label;
    explicit Host(const QString &text = QStringLiteral("Ab"), QSize size = QSize(80, 17))
    {
        window.setFont(makeFont(QStringLiteral("Gulim"), 9));
        window.resize(200, 100);
        label = new Caption(&window, QStringLiteral("Caption1"));
        label->setGeometry(QRect(QPoint(10, 10), size));
        label->setCaption(text);
    }
    QImage face() const { return label->faceImage(); }
};

} // namespace

TEST(Caption, DefaultsDrawWhiteBodyWithEightSidedBlackOutlineShiftedOnePixel)
{
    Host outlined;
    Host plain;
    plain.label->setCaptionOutlined(false);

    const PixelSet glyph = pixelsOf(plain.face(), kWhite);
    ASSERT_GT(glyph.size(), 10);
    const PixelSet body = pixelsOf(outlined.face(), kWhite);
    EXPECT_EQ(body, shifted(glyph, 1, 1)) << "body moved one pixel right and down";
    EXPECT_EQ(pixelsOf(outlined.face(), kBlack), ringAround(body)) << "outline on all eight sides";
    EXPECT_EQ(coloursOf(outlined.face()), QSet<QRgb>({kWhite, kBlack, kFace}));

    // See-through: exactly the drawn pixels are part of the label's shape.
    const QRegion shape = outlined.label->mask();
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 80; ++x) {
            const bool drawn = (outlined.face().pixel(x, y) & 0xFFFFFF) != kFace;
            EXPECT_EQ(shape.contains(QPoint(x, y)), drawn) << x << "," << y;
        }

    // The host shows through the label where nothing was drawn.
    outlined.window.setStyleSheet(QStringLiteral("background: rgb(0, 0, 255)"));
    outlined.window.setAttribute(Qt::WA_StyledBackground);
    outlined.window.show();
    const QImage shot = outlined.window.grab().toImage();
    EXPECT_EQ(shot.pixel(10 + 79, 10) & 0xFFFFFF, 0x0000FFu);
    const auto [bx, by] = *body.begin();
    EXPECT_EQ(shot.pixel(10 + bx, 10 + by) & 0xFFFFFF, kWhite);
}

TEST(Caption, TextIsCentredVertically)
{
    Host low(QStringLiteral("Ab"), QSize(80, 17));
    Host high(QStringLiteral("Ab"), QSize(80, 27));
    const PixelSet a = pixelsOf(low.face(), kWhite);
    EXPECT_EQ(pixelsOf(high.face(), kWhite), shifted(a, 0, 5));
}

TEST(Caption, DisabledDrawsGreyOutlineLightBodyAndNoShadow)
{
    Host h;
    const PixelSet body = pixelsOf(h.face(), kWhite);
    h.label->setCaptionShadowed(true);
    h.label->setCaptionShadowed(false);
    h.label->setEnabled(false);
    const QImage face = h.face();
    EXPECT_EQ(pixelsOf(face, 0xE0E0E0), body);
    EXPECT_EQ(pixelsOf(face, 0x808080), ringAround(body));
    EXPECT_EQ(coloursOf(face), QSet<QRgb>({0xE0E0E0, 0x808080, kFace}));

    // A shadowed label, enabled: grey appears beyond the outline; disabled: none.
    h.label->setEnabled(true);
    h.label->setCaptionShadowed(true);
    const PixelSet shadowedBody = pixelsOf(h.face(), kWhite);
    EXPECT_FALSE((pixelsOf(h.face(), 0x808080)).isEmpty());
    h.label->setEnabled(false);
    EXPECT_EQ(pixelsOf(h.face(), 0x808080), ringAround(shadowedBody));
}

TEST(Caption, TransparentBodyLeavesOnlyTheOutline)
{
    Host h;
    const PixelSet body = pixelsOf(h.face(), kWhite);
    h.label->setCaptionTransparent(true);
    const QImage face = h.face();
    EXPECT_TRUE(pixelsOf(face, kWhite).isEmpty());
    EXPECT_EQ(pixelsOf(face, kBlack), ringAround(body));
    for (auto p : body)
        EXPECT_FALSE(h.label->mask().contains(QPoint(p.first, p.second)));

    // With the label opaque the body shows in the back colour.
    h.label->setTransparent(false);
    EXPECT_TRUE(h.label->mask().isEmpty());
    EXPECT_EQ(pixelsOf(h.face(), kFace).size(), 80 * 17 - ringAround(body).size());
}

TEST(Caption, BordersFrameAndMargins)
{
    Host h;
    const PixelSet body0 = pixelsOf(h.face(), kWhite);
    h.label->setBorders(5);
    const QImage framed = h.face();
    EXPECT_EQ(h.label->marginsTwips(), QMargins(15, 15, 15, 15));
    PixelSet frame;
    for (int x = 0; x < 80; ++x)
        frame << qMakePair(x, 0) << qMakePair(x, 16);
    for (int y = 0; y < 17; ++y)
        frame << qMakePair(0, y) << qMakePair(79, y);
    EXPECT_EQ(pixelsOf(framed, 0x696969), frame);
    EXPECT_EQ(pixelsOf(framed, kWhite), shifted(body0, 1, 0)) << "left-aligned text moves inward";

    // An unknown style draws no frame and keeps the margins it had.
    h.label->setBorders(8);
    EXPECT_TRUE(pixelsOf(h.face(), 0x696969).isEmpty());
    EXPECT_EQ(h.label->marginsTwips(), QMargins(15, 15, 15, 15));
    EXPECT_EQ(pixelsOf(h.face(), kWhite), shifted(body0, 1, 0));

    // Two-colour rings: top and left in one colour, bottom and right in the other.
    h.label->setBorders(1);
    const QImage sunken = h.face();
    EXPECT_EQ(h.label->marginsTwips(), QMargins(30, 30, 30, 30));
    EXPECT_EQ(sunken.pixel(5, 0) & 0xFFFFFF, 0xA0A0A0u);   // shadow, top
    EXPECT_EQ(sunken.pixel(0, 5) & 0xFFFFFF, 0xA0A0A0u);   // shadow, left
    EXPECT_EQ(sunken.pixel(5, 16) & 0xFFFFFF, 0xFFFFFFu);  // highlight, bottom
    EXPECT_EQ(sunken.pixel(79, 5) & 0xFFFFFF, 0xFFFFFFu);  // highlight, right
    EXPECT_EQ(sunken.pixel(5, 1) & 0xFFFFFF, 0x696969u);   // dark shadow, inner top
    EXPECT_EQ(sunken.pixel(78, 5) & 0xFFFFFF, 0xE3E3E3u);  // light, inner right
}

TEST(Caption, GradientFirstAndLastLines)
{
    Host h(QString(), QSize(40, 17));
    h.label->setTransparent(false);
    h.label->setCaptionGradientTyp(2); // top to bottom, white to (64, 64, 64)
    QImage f = h.face();
    // Lines at t = 1, 16, ... 241 twips of D = 255: 255 - 191 t / 255.
    EXPECT_EQ(f.pixel(3, 0) & 0xFFFFFF, 0xFEFEFEu);   // 254.25
    EXPECT_EQ(f.pixel(3, 16) & 0xFFFFFF, 0x4A4A4Au);  // 74.49
    h.label->setCaptionGradientchangeColor(true);
    f = h.face();
    EXPECT_EQ(f.pixel(3, 0) & 0xFFFFFF, 0x414141u);   // 64.75 -> 65
    EXPECT_EQ(f.pixel(3, 16) & 0xFFFFFF, 0xF5F5F5u);  // 244.51 -> 245

    h.label->setCaptionGradientchangeColor(false);
    h.label->setCaptionGradientTyp(1); // left to right over D = 600 twips
    f = h.face();
    EXPECT_EQ(f.pixel(0, 8) & 0xFFFFFF, 0xFFFFFFu);   // 255 - 191 / 600 = 254.68
    EXPECT_EQ(f.pixel(39, 8) & 0xFFFFFF, 0x444444u);  // t = 586: 68.46
}

TEST(Caption, VerticalDisplayOrder)
{
    auto render = [](const QString &text, int type) {
        Host h(text, QSize(30, 60));
        h.label->setDisplayType(type);
        return h.face();
    };
    const QImage ab2 = render(QStringLiteral("AB"), 2);
    EXPECT_EQ(ab2, render(QStringLiteral("BA"), 3));
    EXPECT_NE(ab2, render(QStringLiteral("AB"), 3));
    // The first character takes the top rows: they match a label of "A" alone.
    const QImage a2 = render(QStringLiteral("A"), 2);
    EXPECT_EQ(ab2.copy(0, 0, 30, 15), a2.copy(0, 0, 30, 15));
    EXPECT_NE(ab2.copy(0, 16, 30, 44), a2.copy(0, 16, 30, 44));
}

TEST(Caption, AutoSizeAndTextWidthCountTheOutline)
{
    Host h(QStringLiteral("가나다 ABC"));
    const QFont f = crispFont(h.label->font());
    QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
    const QFontMetrics fm(f, &device);
    const int tw = fm.horizontalAdvance(QStringLiteral("가나다 ABC"));
    const int th = fm.height();

    EXPECT_EQ(h.label->TextWidth(QStringLiteral("가나다 ABC")), tw * 15 + 30);
    EXPECT_EQ(h.label->TextHeight(QStringLiteral("가나다 ABC")), th * 15 + 30);
    h.label->setAutoSize(true);
    EXPECT_EQ(h.label->size(), QSize(tw + 2, th + 2));
    h.label->setBorders(5);
    EXPECT_EQ(h.label->size(), QSize(tw + 4, th + 4));
    h.label->setBorders(0);
    h.label->setCaptionShadowed(true); // takes effect at the next fit
    EXPECT_EQ(h.label->size(), QSize(tw + 2, th + 2));
    h.label->setAutoSize(false);
    h.label->setAutoSize(true);
    EXPECT_EQ(h.label->size(), QSize(tw + 2, th + 5));
    h.label->setCaptionShadowed(false);

    h.label->setCaptionOutlined(false);
    EXPECT_EQ(h.label->TextWidth(QStringLiteral("가나다 ABC")), tw * 15);
    // Turning the outline off does not fit again; the next fit drops the allowance.
    h.label->setCaption(QStringLiteral("가나다 ABC "));
    EXPECT_EQ(h.label->width(), fm.horizontalAdvance(QStringLiteral("가나다 ABC ")));
}

TEST(Caption, DisplayVertikalKeepsDisplayTypeInStep)
{
    struct Case {
        int type;
        bool vertical;
        int typeAfter;
    };
    // Setting DisplayVertikal from each type.
    const Case table[] = {{0, true, 2}, {1, true, 3}, {2, false, 0}, {3, false, 1}, {1, false, 1}, {3, true, 3}};
    for (const Case &c : table) {
        Caption label(nullptr, QStringLiteral("c"));
        label.setDisplayType(c.type);
        label.setDisplayVertikal(c.vertical);
        EXPECT_EQ(label.displayType(), c.typeAfter) << c.type << " " << c.vertical;
        EXPECT_EQ(label.displayVertikal(), c.vertical);
    }
    // Setting DisplayType from either state.
    Caption label(nullptr, QStringLiteral("c"));
    label.setDisplayType(1);
    label.setDisplayVertikal(true);
    EXPECT_EQ(label.displayType(), 3);
    label.setDisplayType(0);
    EXPECT_FALSE(label.displayVertikal());
    label.setDisplayType(2);
    EXPECT_TRUE(label.displayVertikal());
    label.setDisplayType(7); // unknown: stored, vertical flag untouched
    EXPECT_TRUE(label.displayVertikal());
    EXPECT_EQ(label.displayType(), 7);
}

TEST(Caption, StoresKeysInOrderWithDefaultsOmittedAndReadsAnyCase)
{
    QWidget host;
    host.setFont(makeFont(QStringLiteral("Gulim"), 9));
    Caption fresh(&host, QStringLiteral("Label3"));
    PropertyBag bag;
    fresh.writeProperties(bag);
    EXPECT_EQ(bag.keys(), QStringList({"Caption"})) << "a new control differs only in its caption";
    EXPECT_EQ(*bag.readText(u"Caption", ""), "Label3");

    Caption label(&host, QStringLiteral("x"));
    label.setCaptionShadowed(true);
    label.setCaption(QStringLiteral("0"));
    label.setCaptionINColor(rgbRef(255, 255, 0));
    label.setFont(makeFont(QStringLiteral("Gulim"), 14.25));
    label.setBorders(3);
    label.setCaptionAligmend(2);
    label.setEnabled(false);
    label.setDisplayVertikal(true);
    label.setConLinkKey(QStringLiteral("not stored"));
    PropertyBag out;
    label.writeProperties(out);
    EXPECT_EQ(out.keys(), QStringList({"Borders", "Font", "CaptionINColor", "DisplayVertikal", "DisplayType",
                                       "Enabled", "CaptionAligmend", "CaptionShadowed"}));

    // Read back through a definition written in other cases.
    const auto def = WindowDefinition::parse(QString::fromUtf8(
        "[capTime]\n"
        "caption = \"로딩중...\"\n"
        "CAPTIONINCOLOR = rgb(255, 255, 0)\n"
        "captionaligmend = 2\n"
        "font = font(\"Gulim\", 15.75)\n"
        "enabled = false\n"));
    ASSERT_TRUE(def);
    Caption loaded(QStringLiteral("capTime"), *def->properties(u"capTime"), &host);
    EXPECT_EQ(loaded.caption(), QString::fromUtf8("로딩중..."));
    EXPECT_EQ(loaded.accessibleName(), QString::fromUtf8("로딩중..."));
    EXPECT_EQ(loaded.captionINColor(), rgbRef(255, 255, 0));
    EXPECT_EQ(loaded.captionAligmend(), 2);
    EXPECT_EQ(loaded.font().pointSizeF(), 15.75);
    EXPECT_FALSE(loaded.isEnabled());
    EXPECT_TRUE(loaded.captionOutlined());
    EXPECT_EQ(loaded.backColor(), systemColourRef(15));
    PropertyBag again;
    loaded.writeProperties(again);
    EXPECT_EQ(again.keys(), QStringList({"Caption", "Font", "CaptionINColor", "Enabled", "CaptionAligmend"}));
}

TEST(Caption, SettersNotifyOnlyOnChange)
{
    Caption label(nullptr, QStringLiteral("c"));
    QStringList keys;
    QObject::connect(&label, &Caption::propertyChanged, [&](const QString &k) { keys << k; });
    label.setCaption(QStringLiteral("c"));
    label.setCaption(QStringLiteral("d"));
    label.setCaptionINColor(rgbRef(1, 2, 3));
    label.setEnabled(false);
    label.setConLinkKey(QStringLiteral("k"));
    EXPECT_EQ(keys, QStringList({"Caption", "CaptionINColor", "Enabled"}));
}

TEST(Caption, PictureElementMouseEventsArriveInLabelCoordinates)
{
    QImage pic(8, 6, QImage::Format_RGB32);
    pic.fill(Qt::red);
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    pic.save(&buf, "PNG");

    Host h(QStringLiteral("Ab"), QSize(80, 20));
    h.label->setBorders(5);
    h.label->setCaptionPicture(png);
    const QRect r = h.label->pictureRect();
    EXPECT_EQ(r, QRect(1, 1 + 7, 8, 6)); // margin 1 px; 1 + (20 - 6) / 2 rows down
    EXPECT_TRUE(h.label->mask().contains(r.center())) << "the picture is part of the shape";

    QWidget *element = h.label->findChild<QWidget *>(QStringLiteral("IconIm"));
    ASSERT_NE(element, nullptr);
    float gotX = -1, gotY = -1;
    int gotButton = 0, gotShift = 0, clicks = 0;
    QObject::connect(h.label, &Caption::MouseDown, [&](int b, int s, float x, float y) {
        gotButton = b;
        gotShift = s;
        gotX = x;
        gotY = y;
    });
    QObject::connect(h.label, &Caption::Click, [&] { ++clicks; });
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 3), element->mapToGlobal(QPointF(2, 3)), Qt::LeftButton,
                      Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(element, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 3), element->mapToGlobal(QPointF(2, 3)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(element, &release);
    EXPECT_EQ(gotButton, 1);
    EXPECT_EQ(gotShift, 1);
    EXPECT_EQ(gotX, (r.x() + 2) * 15.0f);
    EXPECT_EQ(gotY, (r.y() + 3) * 15.0f);
    EXPECT_EQ(clicks, 1);
    // Text moves right of the picture by its width.
    EXPECT_FALSE(pixelsOf(h.face(), kWhite).isEmpty());
}

TEST(Caption, ReleasesEveryDrawingObject)
{
    const int before = gdi::liveObjectCount();
    {
        Host h;
        h.label->setBorders(7);
        h.label->setCaptionGradientTyp(1);
        h.label->setDisplayType(2);
        h.label->setAutoSize(true);
        h.label->resize(50, 40);
        EXPECT_GT(h.label->TextWidth(QStringLiteral("x")), 0);
    }
    EXPECT_EQ(gdi::liveObjectCount(), before);
}

TEST(Caption, AlignmentsAndShadowPosition)
{
    // Without the outline the body sits exactly where the alignment puts it.
    auto body = [](int align, bool shadowed) {
        Host h;
        h.label->setCaptionOutlined(false);
        h.label->setCaptionAligmend(align);
        h.label->setCaptionShadowed(shadowed);
        return std::make_pair(pixelsOf(h.face(), kWhite), pixelsOf(h.face(), 0x808080));
    };
    Host probe;
    const int tw = probe.label->TextWidth(QStringLiteral("Ab")) / 15 - 2; // pixels, without the allowance
    const int th = probe.label->TextHeight(QStringLiteral("Ab")) / 15 - 2;
    const PixelSet left = body(0, false).first;
    // Centre: Fix(SW / 2 - TW / 2) twips; right: SW - TW (SW = 1200 twips).
    const int centre = int(std::nearbyint(std::trunc(600 - tw * 7.5) / 15));
    EXPECT_EQ(body(1, false).first, shifted(left, centre, 0));
    EXPECT_EQ(body(2, false).first, shifted(left, 80 - tw, 0));
    EXPECT_EQ(body(7, false).first, shifted(left, 0, -int(std::nearbyint(std::trunc(127.5 - th * 7.5) / 15))))
        << "other alignments draw at the top margin";

    // The shadow: three pixels right and down of the unshifted text, under the body.
    const auto [shadowBody, shadow] = body(0, true);
    EXPECT_EQ(shadowBody, left);
    EXPECT_FALSE(shadow.isEmpty());
    EXPECT_EQ(shadow, shifted(left, 3, 3) - left);
}

// A status line whose text fits the label is drawn whole, whatever its
// alignment: the outline's one-pixel shift must not push the last letters of a
// right-aligned text past the edge.
TEST(Caption, AFittingTextIsDrawnWhole)
{
    const auto drawnPixels = [](const QImage &face) {
        int n = 0;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x)
                n += (face.pixel(x, y) & 0xFFFFFF) != kFace;
        return n;
    };
    const QString texts[] = {QString::fromUtf8("2026.12.11 12:00기준의 자료입니다.[실시간]"),
                             QString::fromUtf8("차트를 불러오지 못했습니다 (연결 거부)")};
    for (const QString &text : texts) {
        Host roomy(text, QSize(500, 17));
        const int whole = drawnPixels(roomy.face());
        for (int align : {0, 1, 2}) {
            SCOPED_TRACE(text.toStdString() + " align " + std::to_string(align));
            Host h(text, QSize(500, 17));
            h.label->setCaptionAligmend(align);
            h.label->resize(h.label->TextWidth(text) / 15, 17);
            EXPECT_EQ(drawnPixels(h.face()), whole);
        }
    }
}

// A status line is read whole: a longer text widens the label away from its
// aligned edge within the window and gives the place back after; a text wider
// than its room ends in an ellipsis; the tooltip always holds the whole text.
TEST(StatusText, GrowsWithinItsRoomOrEndsInAnEllipsis)
{
    const QString longText = QString::fromUtf8("차트를 불러오지 못했습니다 (서버가 너무 오래 답하지 않음)");
    struct Case {
        int align;
        StatusRoom room;
        bool elided;
    } cases[] = {
        {0, StatusRoom::Parent, false}, {1, StatusRoom::Parent, false}, {2, StatusRoom::Parent, false},
        {0, StatusRoom::Own, true},     {2, StatusRoom::Own, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.align);
        QWidget window;
        window.setFont(makeFont(QStringLiteral("Gulim"), 9));
        window.resize(800, 60);
        auto *label = new Caption(&window, QStringLiteral("capStatus"));
        label->setCaptionAligmend(c.align);
        const QRect home(350, 20, 100, 17); // room on either side for the whole text
        label->setGeometry(home);

        showStatusText(label, longText, QStringLiteral("F5"), c.room);
        EXPECT_EQ(label->toolTip(), longText + QStringLiteral("\nF5"));
        EXPECT_LE(label->TextWidth(label->caption()), label->width() * 15);
        EXPECT_TRUE(window.rect().contains(label->geometry()));
        if (c.elided) {
            EXPECT_EQ(label->geometry(), home);
            EXPECT_TRUE(label->caption().endsWith(QStringLiteral("…")));
            EXPECT_TRUE(longText.startsWith(label->caption().chopped(1)));
        } else {
            EXPECT_EQ(label->caption(), longText);
            // Grown away from the aligned edge: a right-aligned line keeps its right edge.
            if (c.align == 0)
                EXPECT_EQ(label->geometry().left(), home.left());
            if (c.align == 2)
                EXPECT_EQ(label->geometry().right(), home.right());
        }
        showStatusText(label, QStringLiteral("짧음"));
        EXPECT_EQ(label->geometry(), home) << "a short text gives the place back";
        EXPECT_EQ(label->caption(), QStringLiteral("짧음"));
        EXPECT_EQ(label->toolTip(), QStringLiteral("짧음"));
    }
}
