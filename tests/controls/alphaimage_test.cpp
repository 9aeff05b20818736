// The alpha image control: property normalisation, layout, mask, storage and
// image bytes.
#include "controls/alphaimage.h"
#include "alphaimage_fixtures.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <gtest/gtest.h>

using namespace controls;
using namespace alphaimage_fixtures;

namespace {

// The names of the change notifications a control sent.
struct Notifications {
    QStringList names;
    explicit Notifications(aicAlphaImage *c)
    {
        QObject::connect(c, &aicAlphaImage::propertyChanged, [this](const QString &n) { names << n; });
    }
    int count() const { return int(names.size()); }
};

struct Host {
    QWidget window;
    aicAlphaImage *c;
    explicit Host(QSize size = {40, 40}, bool runMode = true)
    {
        window.resize(200, 120);
        window.setAutoFillBackground(true);
        QPalette pal = window.palette();
        pal.setColor(QPalette::Window, Qt::white);
        window.setPalette(pal);
        c = new aicAlphaImage(&window, runMode);
        c->setAutoSize(false);
        c->setGeometry(QRect(QPoint(10, 10), size));
    }
    bool load(const QImage &img, const char *format = "PNG")
    {
        imaging::ByteArray b = toBytes(encode(img, format));
        return c->LoadImage_FromArray(b);
    }
    bool loadBytes(const QByteArray &bytes)
    {
        imaging::ByteArray b = toBytes(bytes);
        return c->LoadImage_FromArray(b);
    }
};

} // namespace

TEST(AlphaImage, OpacityIsNormalised)
{
    Host h;
    const struct { int set, reads; } cases[] = {{250, 50}, {-40, 40}, {100, 100}, {200, 100}, {0, 0}, {7, 7}};
    for (const auto &k : cases) {
        h.c->setOpacity(k.set);
        EXPECT_EQ(h.c->Opacity(), k.reads) << k.set;
    }
}

TEST(AlphaImage, RotationKeepsItsSignAndRepaintsOnlyWhileRotating)
{
    Host h;
    h.window.show();
    ASSERT_TRUE(h.load(solid(20, 10, Qt::red)));
    Notifications changed(h.c);
    const int paints = h.c->paintCount();
    const struct { int set, reads; } cases[] = {{370, 10}, {-30, -30}, {720, 0}};
    for (const auto &k : cases) {
        h.c->setRotation(k.set);
        EXPECT_EQ(h.c->Rotation(), k.reads) << k.set;
    }
    EXPECT_EQ(h.c->paintCount(), paints); // Rotates off: stored only
    EXPECT_EQ(changed.count(), 0);
    h.c->setRotates(true);
    const int before = h.c->paintCount();
    h.c->setRotation(45);
    EXPECT_GT(h.c->paintCount(), before);
    EXPECT_EQ(changed.names.last(), "Rotation");
}

TEST(AlphaImage, SettingAValueItAlreadyHasChangesNothing)
{
    Host h;
    h.window.show();
    ASSERT_TRUE(h.load(solid(20, 10, Qt::red)));
    const std::vector<std::pair<const char *, std::function<void(aicAlphaImage &)>>> setters = {
        {"AutoRedraw", [](aicAlphaImage &c) { c.setAutoRedraw(c.AutoRedraw()); }},
        {"InversedImage", [](aicAlphaImage &c) { c.setInversedImage(c.InversedImage()); }},
        {"AutoSize", [](aicAlphaImage &c) { c.setAutoSize(c.AutoSize()); }},
        {"StretchQuality", [](aicAlphaImage &c) { c.setStretchQuality(c.StretchQuality()); }},
        {"KeepOriginalFormat", [](aicAlphaImage &c) { c.setKeepOriginalFormat(c.KeepOriginalFormat()); }},
        {"Rotates", [](aicAlphaImage &c) { c.setRotates(c.Rotates()); }},
        {"ShadowEnabled", [](aicAlphaImage &c) { c.setShadowEnabled(c.ShadowEnabled()); }},
        {"Enabled", [](aicAlphaImage &c) { c.setEnabledProperty(c.Enabled()); }},
        {"HitTest", [](aicAlphaImage &c) { c.setHitTest(c.HitTest()); }},
        {"grayScale", [](aicAlphaImage &c) { c.setGrayScale(c.grayScale()); }},
        {"ScaleMethod", [](aicAlphaImage &c) { c.setScaleMethod(c.ScaleMethod()); }},
        {"ShadowDepth", [](aicAlphaImage &c) { c.setShadowDepth(c.ShadowDepth()); }},
        {"ShadowOpacity", [](aicAlphaImage &c) { c.setShadowOpacity(c.ShadowOpacity()); }},
        {"MaskUsed", [](aicAlphaImage &c) { c.setMaskUsed(c.MaskUsed()); }},
    };
    for (const auto &[name, set] : setters) {
        Notifications changed(h.c);
        const int flags = h.c->flagWord(), paints = h.c->paintCount();
        const QRect layout = h.c->drawRect();
        set(*h.c);
        EXPECT_EQ(changed.count(), 0) << name;
        EXPECT_EQ(h.c->paintCount(), paints) << name;
        EXPECT_EQ(h.c->flagWord(), flags) << name;
        EXPECT_EQ(h.c->drawRect(), layout) << name;
    }
}

TEST(AlphaImage, GrayScaleOutOfRangeIsIgnoredAndOneDrawsWithTheFirstFormula)
{
    Host h({20, 20});
    h.window.show();
    ASSERT_TRUE(h.load(solid(20, 20, QColor(255, 0, 0))));
    h.c->setGrayScale(9);
    EXPECT_EQ(h.c->grayScale(), 0);
    EXPECT_EQ(QColor(h.c->faceImage().pixel(10, 10)), QColor(255, 0, 0));
    h.c->setGrayScale(1);
    EXPECT_EQ(h.c->grayScale(), 1);
    const QColor grey = h.c->faceImage().pixel(10, 10);
    // 0.299 x 255 for pure red.
    EXPECT_NEAR(grey.red(), 76, 1);
    EXPECT_EQ(grey.red(), grey.green());
    EXPECT_EQ(grey.green(), grey.blue());
}

TEST(AlphaImage, MirrorThreeThenOneLeavesOnlyTheLeftRightFlip)
{
    Host h;
    QImage img = solid(8, 4, Qt::white);
    img.setPixelColor(0, 0, Qt::red); // top-left marker
    ASSERT_TRUE(h.load(img));
    const imaging::c32bppDIB &dib = h.c->GetSourceSurface();
    const auto redAt = [&](int x, int y) { return dib.GetPixel(x, y) == 0x0000FF; };
    h.c->setMirror(3);
    EXPECT_TRUE(redAt(7, 3));
    h.c->setMirror(1);
    EXPECT_TRUE(redAt(7, 0));
    EXPECT_EQ(h.c->Mirror(), 1);
    h.c->setMirror(4); // out of range: ignored
    EXPECT_EQ(h.c->Mirror(), 1);
}

TEST(AlphaImage, ImageScalesFollowTheMethod)
{
    Host h;
    ASSERT_TRUE(h.load(solid(100, 50, Qt::blue)));
    const struct { int method, tw, th; bool rotated; int w, hgt; } cases[] = {
        {0, 40, 40, false, 40, 20}, {1, 40, 40, false, 40, 40}, {3, 40, 40, false, 100, 50},
        {2, 400, 400, false, 100, 50}, {0, 40, 40, true, 36, 18}, {2, 40, 40, false, 40, 20},
        {9, 40, 40, false, -1, -1}, // above 4 acts as 4: the current draw size
    };
    for (const auto &k : cases) {
        int w = -1, hh = -1;
        h.c->GetImageScales(w, hh, k.method, k.tw, k.th, k.rotated);
        const QSize want = k.w < 0 ? h.c->drawRect().size() : QSize(k.w, k.hgt);
        EXPECT_EQ(QSize(w, hh), want) << k.method << (k.rotated ? " rotated" : "");
    }
}

TEST(AlphaImage, LayoutCentresAndRotatedImagesMayStartLeftOfTheControl)
{
    Host h;
    h.c->setScaleMethod(aicAlphaImage::ScaleMethodActual);
    ASSERT_TRUE(h.load(solid(20, 20, Qt::blue)));
    EXPECT_EQ(h.c->drawRect(), QRect(10, 10, 20, 20));

    ASSERT_TRUE(h.load(solid(40, 40, Qt::blue)));
    h.c->setRotates(true);
    EXPECT_EQ(h.c->diagonal(), 57);
    EXPECT_EQ(h.c->drawRect().x(), (40 - 57) / 2);
    EXPECT_LT(h.c->drawRect().x(), 0);
}

TEST(AlphaImage, AutoSizeWithRotationTakesTheDiagonal)
{
    Host h;
    h.c->setScaleMethod(aicAlphaImage::ScaleMethodActual);
    h.c->setRotates(true);
    ASSERT_TRUE(h.load(solid(30, 40, Qt::blue)));
    h.c->setAutoSize(true);
    EXPECT_EQ(h.c->size(), QSize(50, 50));
    h.c->setRotates(false);
    EXPECT_EQ(h.c->size(), QSize(30, 40));
}

TEST(AlphaImage, AShownControlThatSizesItselfShowsItsImage)
{
    // Each change makes the shown control take a new size through its layout;
    // its face then holds the image at the new size, not an empty one.
    const std::vector<std::pair<const char *, std::function<void(Host &)>>> changes = {
        {"load", [](Host &h) { h.load(solid(30, 20, Qt::blue)); }},
        {"AutoSize on", [](Host &h) { h.c->setAutoSize(true); }},
        {"Rotates on", [](Host &h) { h.c->setRotates(true); }},
        {"actual size", [](Host &h) { h.c->setScaleMethod(aicAlphaImage::ScaleMethodActual); }},
    };
    for (const auto &[name, change] : changes) {
        Host h({40, 40});
        h.window.show();
        if (std::string(name) != "load") {
            ASSERT_TRUE(h.load(solid(30, 20, Qt::blue)));
        }
        h.c->setAutoSize(std::string(name) != "AutoSize on");
        const QSize before = h.c->size();
        change(h);
        EXPECT_NE(h.c->size(), before) << name;
        const QImage face = h.c->faceImage();
        ASSERT_EQ(face.size(), h.c->size()) << name;
        EXPECT_EQ(face.pixel(face.width() / 2, face.height() / 2), qRgb(0, 0, 255)) << name;
    }
}

TEST(AlphaImage, ScaleMethodAboveFourKeepsTheDrawSize)
{
    for (int method : {4, 7}) {
        Host h;
        h.window.show();
        ASSERT_TRUE(h.load(solid(100, 50, Qt::blue))); // fits 40 x 20
        h.c->setScaleMethod(method);
        h.c->resize(80, 80);
        EXPECT_EQ(h.c->drawRect(), QRect(20, 30, 40, 20)) << method;
    }
}

TEST(AlphaImage, ColourMaskKeysOutAndALoadWithAlphaDropsIt)
{
    Host h({20, 20});
    QImage img = solid(20, 20, QColor(0, 255, 0));
    img.setPixelColor(10, 10, Qt::black);
    ASSERT_TRUE(h.load(img.convertToFormat(QImage::Format_RGB32), "BMP")); // no alpha
    h.c->setMaskUsed(2); // the top-left corner's colour
    EXPECT_EQ(h.c->MaskUsed(), 2);
    std::int32_t alpha = -1;
    h.c->GetSourceSurface().GetPixel(0, 0, &alpha);
    EXPECT_EQ(alpha, 0);
    h.c->GetSourceSurface().GetPixel(10, 10, &alpha);
    EXPECT_EQ(alpha, 255);
    h.c->setMaskUsed(0); // removed: the keyed pixels come back
    h.c->GetSourceSurface().GetPixel(0, 0, &alpha);
    EXPECT_EQ(alpha, 255);

    h.c->setMaskUsed(1); // MaskColor: a system colour that is not in the image
    EXPECT_EQ(h.c->MaskUsed(), 1);
    ASSERT_TRUE(h.load(dots(20, 20, {QRect(2, 2, 5, 5)})));
    EXPECT_EQ(h.c->MaskUsed(), 0);
    h.c->setMaskUsed(3); // refused on an image with alpha
    EXPECT_EQ(h.c->MaskUsed(), 0);
}

TEST(AlphaImage, StoredFlagsNeverHoldTheCacheBit)
{
    Host h;
    h.window.show();
    ASSERT_TRUE(h.load(solid(20, 20, Qt::blue).convertToFormat(QImage::Format_RGB32), "BMP")); // stored as PNG
    h.c->setAutoRedraw(true);
    EXPECT_TRUE(h.c->flagWord() & aicAlphaImage::flagCacheActive);
    PropertyBag bag;
    h.c->WriteProperties(bag);
    EXPECT_EQ(bag.readInt(u"Props", 1).value(), h.c->flagWord() & ~aicAlphaImage::flagCacheActive);

    // Without "Props" a control with an image starts with StretchQuality only.
    bag.remove(u"Props");
    Host other;
    other.c->ReadProperties(bag);
    EXPECT_EQ(other.c->flagWord(), aicAlphaImage::flagStretchQuality);
    EXPECT_TRUE(other.c->GetSourceSurface().Width() > 0);
}

TEST(AlphaImage, StoredImageKeepsIconsAndEncodesBitmapsAsPng)
{
    const QByteArray pngMagic("\x89PNG", 4);
    const QByteArray icon = pngIcon(dots(16, 16, {QRect(4, 4, 8, 8)}));
    const struct { const char *name; QByteArray bytes; bool storedAsPng; } cases[] = {
        {"bitmap", encode(solid(16, 16, Qt::red), "BMP"), true},
        {"jpeg", encode(solid(16, 16, Qt::red), "JPG"), true},
        {"icon", icon, false},
    };
    for (const auto &k : cases) {
        PropertyBag design;
        design.writeBytes(QStringLiteral("Image"), k.bytes);
        Host h({16, 16}, /*runMode*/ false); // a form being designed keeps what it loads
        h.c->ReadProperties(design);
        h.c->setMirror(1);
        PropertyBag out;
        h.c->WriteProperties(out);
        const QByteArray stored = out.readBytes(u"Image").value();
        if (k.storedAsPng)
            EXPECT_TRUE(stored.startsWith(pngMagic)) << k.name;
        else
            EXPECT_EQ(stored, k.bytes) << k.name;
    }
}

TEST(AlphaImage, ImageBytesNeedAnImageAndHandOutKeptBytes)
{
    imaging::ByteArray out;
    int scan = 0;
    Host none;
    EXPECT_FALSE(none.c->GetImageBytes(out, scan));
    Host blank;
    ASSERT_TRUE(blank.c->GetSourceSurface().InitializeDIB(4, 4));
    EXPECT_FALSE(blank.c->GetImageBytes(out, scan));
    Host design({20, 20}, false);
    design.c->resize(24, 24); // lays out: the checkerboard placeholder
    EXPECT_EQ(design.c->GetSourceSurface().ImageType(), imaging::Checkerboard);
    EXPECT_FALSE(design.c->GetImageBytes(out, scan, false, true, false, false, true));

    Host kept;
    kept.c->setKeepOriginalFormat(true);
    const QByteArray png = encode(solid(6, 3, Qt::green), "PNG");
    ASSERT_TRUE(kept.loadBytes(png));
    ASSERT_TRUE(kept.c->GetImageBytes(out, scan, false, true, false, false, true));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(out.data()), qsizetype(out.size())), png);
    EXPECT_EQ(kept.c->ImageType(), imaging::Png);
    ASSERT_TRUE(kept.c->GetImageBytes(out, scan));
    EXPECT_EQ(scan, 24);
    EXPECT_EQ(out.size(), 6u * 3u * 4u);
    EXPECT_TRUE(kept.c->SetImageBytes(out));
}

TEST(AlphaImage, StoredSettingsComeBack)
{
    Host h;
    ASSERT_TRUE(h.load(dots(20, 20, {QRect(2, 2, 10, 10)})));
    h.c->setKeepOriginalFormat(true);
    ASSERT_TRUE(h.load(dots(20, 20, {QRect(2, 2, 10, 10)})));
    h.c->setGrayScale(1);
    h.c->setHitTest(3);
    h.c->setShadowEnabled(true);
    h.c->setShadowDepth(4);
    h.c->setOpacity(60);
    PropertyBag bag;
    h.c->WriteProperties(bag);
    EXPECT_EQ(bag.readInt(u"GrayScale", -1).value(), 0);
    Host back;
    back.c->ReadProperties(bag);
    EXPECT_EQ(back.c->grayScale(), 1);
    EXPECT_EQ(back.c->HitTest(), 3);
    EXPECT_TRUE(back.c->ShadowEnabled());
    EXPECT_EQ(back.c->ShadowDepth(), 4);
    EXPECT_EQ(back.c->Opacity(), 60);
    // An empty image resets what depends on it.
    bag.writeBytes(QStringLiteral("Image"), QByteArray("junk"));
    Host reset;
    reset.c->ReadProperties(bag);
    EXPECT_EQ(reset.c->Opacity(), 100);
    EXPECT_FALSE(reset.c->ShadowEnabled());
}

TEST(AlphaImage, TheAutoRedrawCacheDrawsWhatDirectDrawingDraws)
{
    const std::vector<std::pair<const char *, std::function<void(aicAlphaImage &)>>> settings = {
        {"fit", [](aicAlphaImage &) {}},
        {"actual size", [](aicAlphaImage &c) { c.setScaleMethod(aicAlphaImage::ScaleMethodActual); }},
        {"rotated", [](aicAlphaImage &c) { c.setRotates(true), c.setRotation(30); }},
        {"grey, half opaque", [](aicAlphaImage &c) { c.setGrayScale(1), c.setOpacity(50); }},
    };
    const QImage picture = dots(30, 20, {QRect(0, 0, 30, 6), QRect(4, 10, 8, 8)}, QColor(200, 40, 90));
    for (const auto &[name, setup] : settings) {
        QImage faces[2];
        for (int cached = 0; cached < 2; ++cached) {
            Host h({40, 40});
            h.window.show();
            ASSERT_TRUE(h.load(picture));
            setup(*h.c);
            h.c->setAutoRedraw(cached == 1);
            EXPECT_EQ(h.c->hasCacheSurface(), cached == 1);
            faces[cached] = h.c->faceImage();
        }
        int worst = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                const QRgb a = faces[0].pixel(x, y), b = faces[1].pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b))});
            }
        EXPECT_LE(worst, 2) << name;
    }
}

TEST(AlphaImage, OffsetsMoveTheImageAndItsHitArea)
{
    Host h({40, 40});
    h.window.show();
    h.c->setScaleMethod(aicAlphaImage::ScaleMethodActual);
    ASSERT_TRUE(h.load(dots(20, 20, {QRect(0, 0, 20, 20)})));
    h.c->setHitTest(1);
    EXPECT_TRUE(h.c->inHitArea(10, 10));
    EXPECT_FALSE(h.c->inHitArea(32, 32));
    int x = 8, y = 8, sx = 0, sy = 0;
    h.c->OffsetImage(true, x, y, sx, sy);
    EXPECT_TRUE(h.c->inHitArea(32, 32));
    EXPECT_FALSE(h.c->inHitArea(12, 12));
    EXPECT_NE(h.c->faceImage().pixel(35, 35), qRgb(255, 255, 255)); // drawn there
    int gx = 0, gy = 0;
    h.c->OffsetImage(false, gx, gy, sx, sy);
    EXPECT_EQ(QPoint(gx, gy), QPoint(8, 8));
    EXPECT_EQ(QPoint(sx, sy), QPoint(2, 2)); // zero shadow offsets leave the shadow's

    h.c->ClearImage();
    imaging::ByteArray out;
    int scan = 0;
    EXPECT_FALSE(h.c->GetImageBytes(out, scan));
}

TEST(AlphaImage, StoredValuesOutOfRangeReadAsDefaults)
{
    PropertyBag bag;
    bag.writeBytes(QStringLiteral("Image"), encode(solid(8, 8, Qt::red), "PNG"));
    const struct { const char *key; int stored; std::function<int(const aicAlphaImage &)> read; int expected; } cases[] = {
        {"Mirror", 9, [](const aicAlphaImage &c) { return c.Mirror(); }, 0},
        {"GrayScale", 12, [](const aicAlphaImage &c) { return c.grayScale(); }, 0},
        {"HitTest", -2, [](const aicAlphaImage &c) { return c.HitTest(); }, 0},
        {"ShadowDepth", 99, [](const aicAlphaImage &c) { return c.ShadowDepth(); }, 2},
        {"ShadowOpacity", 300, [](const aicAlphaImage &c) { return c.ShadowOpacity(); }, 50},
        {"Opacity", 250, [](const aicAlphaImage &c) { return c.Opacity(); }, 100},
        {"Opacity", 30, [](const aicAlphaImage &c) { return c.Opacity(); }, 30},
    };
    for (const auto &k : cases) {
        PropertyBag stored = bag;
        stored.writeInt(QString::fromLatin1(k.key), k.stored, -12345);
        Host h;
        h.c->ReadProperties(stored);
        EXPECT_EQ(k.read(*h.c), k.expected) << k.key << " " << k.stored;
    }
}

TEST(AlphaImage, AStoredFixedDrawSizeBeyondAnyImageReadsAsNone)
{
    // A damaged fixed size would make a self-sizing control billions of pixels
    // wide (and its turned diagonal overflow); it reads as an absent one.
    for (int side : {-5, 100000, std::numeric_limits<int>::max()}) {
        PropertyBag bag;
        bag.writeBytes(QStringLiteral("Image"), encode(solid(40, 20, Qt::blue), "PNG"));
        bag.writeInt(QStringLiteral("Scaler"), aicAlphaImage::ScaleMethodFixed, 0);
        bag.writeInt(QStringLiteral("Props"), aicAlphaImage::flagStretchQuality | aicAlphaImage::flagAutoSize
                                                  | aicAlphaImage::flagRotates, 1);
        bag.writeInt(QStringLiteral("ScaleCx"), side, 0);
        bag.writeInt(QStringLiteral("ScaleCy"), side, 0);
        Host h({48, 48});
        h.c->ReadProperties(bag);
        EXPECT_EQ(h.c->drawRect().size(), QSize(0, 0)) << side;
        EXPECT_EQ(h.c->size(), QSize(48, 48)) << side;
    }
    PropertyBag kept; // a sound one is kept
    kept.writeBytes(QStringLiteral("Image"), encode(solid(40, 20, Qt::blue), "PNG"));
    kept.writeInt(QStringLiteral("Scaler"), aicAlphaImage::ScaleMethodFixed, 0);
    kept.writeInt(QStringLiteral("ScaleCx"), 30, 0);
    kept.writeInt(QStringLiteral("ScaleCy"), 15, 0);
    Host h({48, 48});
    h.c->ReadProperties(kept);
    EXPECT_EQ(h.c->drawRect().size(), QSize(30, 15));
}
