// Image effects: the in-place transforms, trimming, checkerboard, drop
// shadow, rotation and regions.
#include "surface_fixture.h"

#include <QRegion>
#include <gtest/gtest.h>

#include <random>

using namespace imaging;
using namespace surfacetest;

namespace {

constexpr int TrimLeft = c32bppDIB::TrimLeft, TrimTop = c32bppDIB::TrimTop, TrimRight = c32bppDIB::TrimRight,
              TrimBottom = c32bppDIB::TrimBottom;
constexpr int RegionBounds = c32bppDIB::RegionBounds, RegionRowSpans = c32bppDIB::RegionRowSpans,
              RegionPixels = c32bppDIB::RegionPixels;

const Px kClear = {0, 0, 0, 0};
const Px kWhite = gray(255);

// Random premultiplied pixels with alpha 0, 255 and partial values.
void randomImage(c32bppDIB &dib, int w, int h, unsigned seed)
{
    std::mt19937 rng(seed);
    fill(dib, w, h, [&](int, int) {
        const unsigned pick = rng() % 4;
        const std::uint8_t a = pick == 0 ? 0 : pick == 1 ? 255 : std::uint8_t(rng());
        return Px{std::uint8_t(rng() % (a + 1u)), std::uint8_t(rng() % (a + 1u)), std::uint8_t(rng() % (a + 1u)), a};
    });
}

// Restores the drawing layer's region list limit when a test ends.
struct RegionLimit {
    explicit RegionLimit(std::size_t n) { gdi::setExtCreateRegionLimit(n); }
    ~RegionLimit() { gdi::setExtCreateRegionLimit(0); }
};

QRegion regionOf(gdi::HRGN h)
{
    const QRegion r = gdi::regionToQRegion(h);
    gdi::DeleteObject(h);
    return r;
}

} // namespace

TEST(EffectsTest, GrayInverseAndColourKey)
{
    c32bppDIB dib;
    EXPECT_FALSE(dib.MakeGrayScale(Luma601));
    EXPECT_FALSE(dib.MakeImageInverse());
    EXPECT_FALSE(dib.MakeTransparent(0));

    // Opaque red, half-transparent red (premultiplied 128), transparent.
    fill(dib, 3, 1, [](int x, int) { return x == 0 ? Px{0, 0, 255, 255} : x == 1 ? Px{0, 0, 128, 128} : kClear; });
    EXPECT_FALSE(dib.MakeGrayScale(NoGray));
    ASSERT_TRUE(dib.MakeGrayScale(EqualWeights));
    EXPECT_EQ(px(dib, 0, 0), (Px{84, 84, 84, 255}));
    EXPECT_EQ(px(dib, 1, 0), (Px{42, 42, 42, 128}));   // from the premultiplied bytes
    EXPECT_EQ(px(dib, 2, 0), kClear);
    // A formula outside the list is Luma601: 0.299 x 255 -> 76.
    fill(dib, 1, 1, [](int, int) { return Px{0, 0, 255, 255}; });
    ASSERT_TRUE(dib.MakeGrayScale(99));
    EXPECT_EQ(px(dib, 0, 0), (Px{76, 76, 76, 255}));

    // Inverse: opaque white becomes black, twice restores any image.
    fill(dib, 1, 1, [](int, int) { return kWhite; });
    ASSERT_TRUE(dib.MakeImageInverse());
    EXPECT_EQ(px(dib, 0, 0), (Px{0, 0, 0, 255}));
    c32bppDIB original;
    randomImage(dib, 9, 7, 1);
    randomImage(original, 9, 7, 1);
    ASSERT_TRUE(dib.MakeImageInverse());
    EXPECT_FALSE(samePixels(dib, original));
    ASSERT_TRUE(dib.MakeImageInverse());
    EXPECT_TRUE(samePixels(dib, original));

    // Colour key: only the opaque pixel of that colour goes.
    fill(dib, 3, 1, [](int x, int) {
        return x == 0 ? Px{30, 20, 10, 255} : x == 1 ? Px{15, 10, 5, 128} : Px{30, 20, 11, 255};
    });
    dib.setAlpha(false);
    ASSERT_TRUE(dib.MakeTransparent(gdi::RGB(99, 99, 99)));
    EXPECT_FALSE(dib.Alpha());   // nothing matched
    ASSERT_TRUE(dib.MakeTransparent(gdi::RGB(10, 20, 30)));
    EXPECT_TRUE(dib.Alpha());
    EXPECT_EQ(px(dib, 0, 0), kClear);
    EXPECT_EQ(px(dib, 1, 0), (Px{15, 10, 5, 128}));
    EXPECT_EQ(px(dib, 2, 0), (Px{30, 20, 11, 255}));
}

TEST(EffectsTest, MirrorImage)
{
    c32bppDIB dib;
    EXPECT_FALSE(dib.MirrorImage(true, false));
    struct Case {
        bool x, y;
        int (*mapX)(int);
        int (*mapY)(int);
    };
    const Case cases[] = {
        {true, false, [](int x) { return 3 - x; }, [](int y) { return y; }},
        {false, true, [](int x) { return x; }, [](int y) { return 2 - y; }},
        {true, true, [](int x) { return 3 - x; }, [](int y) { return 2 - y; }},
    };
    for (const Case &c : cases) {
        fill(dib, 4, 3, distinct);
        ASSERT_TRUE(dib.MirrorImage(c.x, c.y));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(px(dib, x, y), distinct(c.mapX(x), c.mapY(y))) << c.x << c.y << " at " << x << "," << y;
    }
    EXPECT_FALSE(dib.MirrorImage(false, false));
}

TEST(EffectsTest, MirrorBothWaysEqualsAHalfTurn)
{
    // A 3 x 2 image turned by 180 degrees lands at the working square's
    // top-left corner: (4 - 3) \ 2 = 0 and (4 - 2) \ 2 + 1 - 1 = 0 (see the
    // rotation's centre rule), so the canvas holds the turned image there.
    for (const bool highQuality : {false, true}) {
        c32bppDIB dib, turned;
        fill(dib, 3, 2, distinct);
        fill(turned, 3, 2, distinct);
        ASSERT_TRUE(turned.MirrorImage(true, true));
        dib.setHighQualityInterpolation(highQuality);
        Canvas canvas(4, 4, kClear);
        ASSERT_TRUE(dib.RotateAtCenterPoint(canvas.dc, 180, 2, 2, 0, 0, 0, 0, 0, 0, 100, &canvas.dib));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(canvas.at(x, y), px(turned, x, y)) << "hq " << highQuality << " at " << x << "," << y;
    }
}

TEST(EffectsTest, QuarterTurnsPixelByPixel)
{
    // A 3 x 2 image about the centre of a 4 x 4 canvas (the diagonal rounds
    // to 4). Clockwise: image pixel (x, y) goes to (1 - y, x); a quarter turn
    // back puts it at (y + 1, 2 - x).
    struct Case {
        float angle;
        std::function<bool(int, int, int &, int &)> source;   // canvas (u, r) -> image (x, y)
    };
    const Case cases[] = {
        {90.0f, [](int u, int r, int &x, int &y) { x = r; y = 1 - u; return u <= 1 && r <= 2; }},
        {450.0f, [](int u, int r, int &x, int &y) { x = r; y = 1 - u; return u <= 1 && r <= 2; }},
        {-90.0f, [](int u, int r, int &x, int &y) { x = 2 - r; y = u - 1; return u >= 1 && u <= 2 && r <= 2; }},
        {270.0f, [](int u, int r, int &x, int &y) { x = 2 - r; y = u - 1; return u >= 1 && u <= 2 && r <= 2; }},
    };
    for (const Case &c : cases)
        for (const bool highQuality : {false, true}) {
            c32bppDIB dib;
            fill(dib, 3, 2, distinct);
            dib.setHighQualityInterpolation(highQuality);
            Canvas canvas(4, 4, kClear);
            ASSERT_TRUE(dib.RotateAtCenterPoint(canvas.dc, c.angle, 2, 2, 0, 0, 0, 0, 0, 0, 100, &canvas.dib));
            for (int r = 0; r < 4; ++r)
                for (int u = 0; u < 4; ++u) {
                    int x = 0, y = 0;
                    const Px want = c.source(u, r, x, y) ? distinct(x, y) : kClear;
                    EXPECT_EQ(canvas.at(u, r), want)
                        << c.angle << " hq " << highQuality << " at " << u << "," << r << " got " << str(canvas.at(u, r));
                }
        }
}

TEST(EffectsTest, RotationByWholeTurnsDrawsLikeRender)
{
    c32bppDIB dib;
    randomImage(dib, 5, 4, 2);
    for (const float angle : {0.0f, 360.0f, -720.0f, 0.4f, 359.6f}) {
        Canvas rotated(8, 8, kWhite), rendered(8, 8, kWhite);
        ASSERT_TRUE(dib.RotateAtTopLeft(rotated.dc, angle, 1, 2, 0, 0, 0, 0, 0, 0, 100, &rotated.dib, EqualWeights));
        ASSERT_TRUE(dib.Render(rendered.dc, 1, 2, 0, 0, 0, 0, 0, 0, 100, true, false, &rendered.dib, EqualWeights));
        EXPECT_TRUE(samePixels(rotated.dib, rendered.dib)) << angle;
    }
    // Opacity 0 with an angle: true, nothing drawn.
    Canvas canvas(8, 8, kWhite);
    EXPECT_TRUE(dib.RotateAtTopLeft(canvas.dc, 30, 0, 0, 0, 0, 0, 0, 0, 0, 0, &canvas.dib));
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(canvas.at(i % 8, i / 8), kWhite);
    // Refusals: no DC, a negative source origin, no image, a huge destination.
    EXPECT_FALSE(dib.RotateAtTopLeft(0, 30));
    EXPECT_FALSE(dib.RotateAtTopLeft(canvas.dc, 30, 0, 0, 0, 0, -1, 0));
    c32bppDIB empty;
    EXPECT_FALSE(empty.RotateAtTopLeft(canvas.dc, 30));
    EXPECT_FALSE(dib.RotateAtTopLeft(canvas.dc, 30, 0, 0, INT32_MAX / 2, INT32_MAX / 2, 0, 0, 0, 0, 100, &canvas.dib));
}

TEST(EffectsTest, RotationKeepsTheCentreAndClearsTheCorners)
{
    // An opaque 21 x 21 image with a distinct centre, turned by 30 and 45
    // degrees about (15, 15): the centre pixel is sampled exactly (the working
    // square's centre, 14 from its left and bottom, lands on canvas column 14,
    // row 15), the far corners stay transparent and colour never exceeds alpha.
    for (const float angle : {30.0f, 45.0f, -30.0f})
        for (const bool highQuality : {false, true}) {
            c32bppDIB dib;
            fill(dib, 21, 21, [](int x, int y) { return x == 10 && y == 10 ? Px{0, 0, 255, 255} : Px{200, 0, 0, 255}; });
            dib.setHighQualityInterpolation(highQuality);
            Canvas canvas(30, 30, kClear);
            ASSERT_TRUE(dib.RotateAtCenterPoint(canvas.dc, angle, 15, 15, 0, 0, 0, 0, 0, 0, 100, &canvas.dib));
            // Bilinear taps along a row are found by adding a step per pixel,
            // so the centre may sit a rounding error off its pixel.
            const Px centre = canvas.at(14, 15);
            EXPECT_TRUE(centre[0] == 0 && centre[1] == 0 && centre[2] >= (highQuality ? 254 : 255) && centre[3] == 255)
                << angle << " hq " << highQuality << " got " << str(centre);
            EXPECT_EQ(canvas.at(0, 0), kClear);
            EXPECT_EQ(canvas.at(29, 29), kClear);
            for (int i = 0; i < 900; ++i) {
                const Px p = canvas.at(i % 30, i / 30);
                ASSERT_TRUE(p[0] <= p[3] && p[1] <= p[3] && p[2] <= p[3]) << str(p);
            }
        }
}

TEST(EffectsTest, RotatedUniformImageKeepsItsColourInside)
{
    // Opaque pixels of the turned image are the image's colour exactly; the
    // edge pixels mix with transparency but keep colour within alpha.
    c32bppDIB dib;
    fill(dib, 40, 30, [](int, int) { return Px{100, 150, 200, 255}; });
    dib.setHighQualityInterpolation(true);
    for (const float angle : {30.0f, 45.0f, 123.0f}) {
        Canvas canvas(60, 60, kClear);
        ASSERT_TRUE(dib.RotateAtCenterPoint(canvas.dc, angle, 30, 30, 0, 0, 0, 0, 0, 0, 100, &canvas.dib));
        int opaque = 0;
        for (int i = 0; i < 3600; ++i) {
            const Px p = canvas.at(i % 60, i / 60);
            if (p[3] == 255) {
                ++opaque;
                ASSERT_EQ(p, (Px{100, 150, 200, 255})) << angle << " at " << i % 60 << "," << i / 60;
            }
        }
        EXPECT_GT(opaque, 900) << angle;
    }
}

TEST(EffectsTest, TrimImage)
{
    // 10 x 10 with one visible pixel at column 3, row 4.
    c32bppDIB dib;
    fill(dib, 10, 10, [](int x, int y) { return x == 3 && y == 4 ? Px{1, 2, 3, 255} : kClear; });
    std::int32_t x = -1, y = -1, w = -1, h = -1;
    struct Case {
        int method;
        std::array<int, 4> rect;
    };
    const Case cases[] = {
        {0, {3, 4, 1, 1}},  {15, {3, 4, 1, 1}}, {TrimTop, {0, 4, 10, 6}},   {TrimBottom, {0, 0, 10, 5}},
        {TrimLeft, {3, 0, 7, 10}}, {TrimRight, {0, 0, 4, 10}}, {TrimLeft | TrimTop, {3, 4, 7, 6}},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(dib.TrimImage(false, c.method, &x, &y, &w, &h)) << c.method;
        EXPECT_EQ((std::array<int, 4>{x, y, w, h}), c.rect) << c.method;
    }
    EXPECT_EQ(dib.Width(), 10);
    EXPECT_FALSE(dib.TrimImage(false, -1, &x, &y, &w, &h));

    dib.setImageType(Png);
    ASSERT_TRUE(dib.TrimImage(true, 0, &x, &y, &w, &h));
    EXPECT_EQ((std::array<int, 4>{x, y, w, h}), (std::array<int, 4>{0, 0, 1, 1}));
    EXPECT_EQ(dib.Width(), 1);
    EXPECT_EQ(dib.Height(), 1);
    EXPECT_EQ(px(dib, 0, 0), (Px{1, 2, 3, 255}));
    EXPECT_EQ(dib.ImageType(), Png);

    // Fully transparent: false with every output 0, whatever sides are asked.
    fill(dib, 4, 4, [](int, int) { return kClear; });
    for (const int method : {0, int(TrimTop), int(TrimBottom), TrimLeft | TrimRight}) {
        x = y = w = h = -1;
        EXPECT_FALSE(dib.TrimImage(true, method, &x, &y, &w, &h)) << method;
        EXPECT_EQ((std::array<int, 4>{x, y, w, h}), (std::array<int, 4>{0, 0, 0, 0})) << method;
    }
    // Without alpha nothing is scanned: the whole image.
    dib.setAlpha(false);
    ASSERT_TRUE(dib.TrimImage(true, 0, &x, &y, &w, &h));
    EXPECT_EQ((std::array<int, 4>{x, y, w, h}), (std::array<int, 4>{0, 0, 4, 4}));
}

TEST(EffectsTest, CheckerBoard)
{
    c32bppDIB dib;
    EXPECT_FALSE(dib.CreateCheckerBoard());
    ASSERT_TRUE(dib.InitializeDIB(30, 30));
    EXPECT_FALSE(dib.CreateCheckerBoard(0));
    ASSERT_TRUE(dib.CreateCheckerBoard(12, gdi::RGB(255, 255, 255), gdi::RGB(192, 0, 64)));
    EXPECT_EQ(dib.ImageType(), Checkerboard);
    EXPECT_FALSE(dib.Alpha());
    const Px first = kWhite, second = {64, 0, 192, 255};
    // Squares of 12, 12 and 6 along each axis; the rows start alternately.
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            const bool odd = ((x / 12) + (y / 12)) % 2 == 1;
            ASSERT_EQ(px(dib, x, y), odd ? second : first) << x << "," << y;
        }
}

TEST(EffectsTest, DropShadowSizesAndValues)
{
    c32bppDIB empty;
    EXPECT_FALSE(empty.CreateDropShadow());

    c32bppDIB dib;
    fill(dib, 10, 10, [](int, int) { return kWhite; });
    struct Case {
        int depth, side;
    };
    for (const Case &c : {Case{4, 18}, Case{15, 30}, Case{10, 30}, Case{-3, 10}, Case{0, 10}}) {
        const auto shadow = dib.CreateDropShadow(c.depth);
        ASSERT_TRUE(shadow);
        EXPECT_EQ(shadow->Width(), c.side) << c.depth;
        EXPECT_EQ(shadow->Height(), c.side) << c.depth;
        EXPECT_TRUE(shadow->Alpha());
        EXPECT_EQ(shadow->ImageType(), PremultipliedBitmap);
    }

    // One opaque pixel, depth 1: a 3 x 3 block of alpha 255 \ 9 = 28, the
    // colour premultiplied by it.
    fill(dib, 1, 1, [](int, int) { return kWhite; });
    const auto one = dib.CreateDropShadow(1, gdi::RGB(255, 0, 100));
    ASSERT_TRUE(one);
    ASSERT_EQ(one->Width(), 3);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(px(*one, i % 3, i / 3), (Px{100 * 28 / 255, 0, 28, 28}));

    // Depth 0: the alpha mask in the shadow colour.
    fill(dib, 2, 1, [](int x, int) { return x == 0 ? Px{1, 1, 1, 255} : Px{0, 0, 0, 51}; });
    const auto mask = dib.CreateDropShadow(0, gdi::RGB(0, 255, 0));
    ASSERT_TRUE(mask);
    EXPECT_EQ(px(*mask, 0, 0), (Px{0, 255, 0, 255}));
    EXPECT_EQ(px(*mask, 1, 0), (Px{0, 51, 0, 51}));
}

TEST(EffectsTest, DropShadowRunningSumsMatchTheBoxAverage)
{
    c32bppDIB dib;
    randomImage(dib, 17, 11, 4);
    for (const int depth : {1, 3, 10}) {
        const auto shadow = dib.CreateDropShadow(depth, gdi::RGB(255, 255, 255));
        ASSERT_TRUE(shadow);
        const int k = 2 * depth + 1;
        for (int y = 0; y < shadow->Height(); ++y)
            for (int x = 0; x < shadow->Width(); ++x) {
                // Rows top-down here: the box is symmetric, so the sum is the same.
                unsigned sum = 0;
                for (int v = y - 2 * depth; v <= y; ++v)
                    for (int u = x - 2 * depth; u <= x; ++u)
                        if (u >= 0 && v >= 0 && u < 17 && v < 11)
                            sum += px(dib, u, v)[3];
                const unsigned a = sum / unsigned(k * k);
                ASSERT_EQ(px(*shadow, x, y), (Px{std::uint8_t(a), std::uint8_t(a), std::uint8_t(a), std::uint8_t(a)}))
                    << "depth " << depth << " at " << x << "," << y;
            }
    }
}

TEST(EffectsTest, RenderDropShadowOnTheFly)
{
    c32bppDIB dib;
    fill(dib, 1, 1, [](int, int) { return kWhite; });
    Canvas canvas(5, 5, kClear);
    // 100 percent opacity over transparent: the shadow's own pixels, at (1, 1).
    ASSERT_TRUE(dib.RenderDropShadow_JIT(canvas.dc, 1, 1, 1, gdi::RGB(255, 255, 255), 100));
    EXPECT_EQ(canvas.at(0, 0), kClear);
    EXPECT_EQ(canvas.at(1, 1), (Px{28, 28, 28, 28}));
    EXPECT_EQ(canvas.at(3, 3), (Px{28, 28, 28, 28}));
    EXPECT_EQ(canvas.at(4, 4), kClear);
    c32bppDIB empty;
    EXPECT_FALSE(empty.RenderDropShadow_JIT(canvas.dc, 0, 0));
}

TEST(EffectsTest, RegionStyles)
{
    // Two separate visible runs in each row.
    c32bppDIB dib;
    const char *rows[] = {"XX..XX", ".X.XX."};
    fill(dib, 6, 2, [&](int x, int y) { return rows[y][x] == 'X' ? Px{0, 0, 0, 10} : kClear; });
    auto rects = [](std::initializer_list<QRect> list) {
        QRegion r;
        for (const QRect &q : list)
            r += q;
        return r;
    };
    EXPECT_EQ(regionOf(dib.CreateRegion(RegionPixels)),
              rects({QRect(0, 0, 2, 1), QRect(4, 0, 2, 1), QRect(1, 1, 1, 1), QRect(3, 1, 2, 1)}));
    EXPECT_EQ(regionOf(dib.CreateRegion(RegionRowSpans)), rects({QRect(0, 0, 6, 1), QRect(1, 1, 4, 1)}));
    EXPECT_EQ(regionOf(dib.CreateRegion(RegionBounds)), rects({QRect(0, 0, 6, 2)}));
    EXPECT_EQ(regionOf(dib.CreateRegion(RegionRowSpans, 10, -3)), rects({QRect(10, -3, 6, 1), QRect(11, -2, 4, 1)}));
    EXPECT_EQ(dib.CreateRegion(3), 0u);
    EXPECT_EQ(dib.CreateRegion(-1), 0u);

    dib.setAlpha(false);   // no alpha: the whole image
    EXPECT_EQ(regionOf(dib.CreateRegion(RegionPixels)), rects({QRect(0, 0, 6, 2)}));
    fill(dib, 3, 3, [](int, int) { return kClear; });
    EXPECT_EQ(dib.CreateRegion(RegionBounds), 0u);
    c32bppDIB empty;
    EXPECT_EQ(empty.CreateRegion(), 0u);
}

TEST(EffectsTest, RegionInBatchesWhenTheListIsRefused)
{
    // Every other pixel visible: 50 runs in each of 60 rows, 3000 rectangles.
    c32bppDIB dib;
    fill(dib, 100, 60, [](int x, int y) { return (x + y) % 2 ? Px{0, 0, 0, 255} : kClear; });
    const QRegion whole = regionOf(dib.CreateRegion(RegionPixels));
    EXPECT_EQ(whole.rectCount(), 3000);
    {
        RegionLimit limit(2500);   // the whole list is refused; batches of 2000 are not
        EXPECT_EQ(regionOf(dib.CreateRegion(RegionPixels)), whole);
    }
    {
        RegionLimit limit(1000);   // batches refused too: 0, nothing left behind
        const int live = gdi::liveObjectCount();
        EXPECT_EQ(dib.CreateRegion(RegionPixels), 0u);
        EXPECT_EQ(gdi::liveObjectCount(), live);
    }
}
