// The rotation's fast path (strips of the working square, rows side by side,
// single-precision sums settled or redone, only written boxes blended)
// against the plain whole-square drawing: every byte and every answer agree.
#include "surface_fixture.h"

#include "imaging/bilinear_p.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <random>

using namespace imaging;
using namespace surfacetest;

namespace {

// Patches of one opaque colour, clear patches and random premultiplied
// pixels, so that channels with four equal taps, clear pixels and mixed
// sums all occur.
void spottedImage(c32bppDIB &dib, int w, int h, unsigned noiseSeed)
{
    std::mt19937 rng(noiseSeed);
    fill(dib, w, h, [&](int x, int y) {
        switch ((x / 5 + y / 7) % 3) {
        case 0:
            return Px{40, 90, 160, 255};
        case 1:
            return Px{0, 0, 0, 0};
        default: {
            const std::uint8_t a = rng() % 3 == 0 ? 255 : std::uint8_t(rng());
            return Px{std::uint8_t(rng() % (a + 1u)), std::uint8_t(rng() % (a + 1u)), std::uint8_t(rng() % (a + 1u)),
                      a};
        }
        }
    });
}

struct Case {
    int width, height;
    float angle;
    int topX, topY, destWidth, destHeight;
    int srcX, srcY, srcWidth, srcHeight;
    int opacity, gray;
};

// The results of one turn drawn onto a random canvas, by the fast or the
// plain path.
struct Result {
    bool answer = false;
    std::unique_ptr<Canvas> canvas;
};

// The fast path with the given vector loops, or the plain path.
Result turn(c32bppDIB &dib, const Case &c, bool host, std::optional<detail::VectorLoops> fast)
{
    detail::setRotationFastPathAllowed(fast.has_value());
    detail::setVectorLoops(fast.value_or(detail::VectorLoops::Plain));
    Result r;
    r.canvas = std::make_unique<Canvas>(160, 150, Px{0, 0, 0, 0});
    std::mt19937 rng(3);
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 160; ++x) {
            const std::uint8_t a = std::uint8_t(rng());
            put(r.canvas->dib, x, y, Px{std::uint8_t(rng() % (a + 1u)), std::uint8_t(rng() % (a + 1u)), a, a});
        }
    r.answer = dib.RotateAtTopLeft(r.canvas->dc, c.angle, c.topX, c.topY, c.destWidth, c.destHeight, c.srcX, c.srcY,
                                   c.srcWidth, c.srcHeight, c.opacity, host ? &r.canvas->dib : nullptr, c.gray);
    detail::setRotationFastPathAllowed(true);
    detail::setVectorLoops(detail::VectorLoops::Avx512);
    return r;
}

} // namespace

TEST(RotationStripsTest, FastPathGivesThePlainBytes)
{
    // Sizes with several strips, odd and tiny ones; scaled, mirrored and
    // sub-rectangle draws; quarter and half turns (points exactly on pixels);
    // opacity and gray (which blend without the alpha-blend call, and without
    // a host through a copy of the destination); draws partly and wholly off
    // the canvas.
    const Case cases[] = {
        {37, 23, 30, 20, 30, 0, 0, 0, 0, 0, 0, 100, -1},
        {37, 23, 77, 20, 30, 0, 0, 0, 0, 0, 0, 50, -1},
        {37, 23, 200, 50, 40, 0, 0, 0, 0, 0, 0, 100, 2},
        {130, 70, -123, 10, 20, 0, 0, 0, 0, 0, 0, 100, -1},
        {130, 70, 45, 120, 30, -100, 60, 0, 0, 0, 0, 70, -1},
        {130, 70, 311, 20, 140, 90, -140, 0, 0, 0, 0, 100, 5},
        {130, 70, 13, 5, 10, 0, 0, 17, 9, 61, 33, 100, -1},
        {130, 70, 90, -40, 0, 260, 140, 0, 0, 0, 0, 100, -1},
        {130, 70, 180, 10, 40, 0, 0, 0, 0, 0, 0, 100, -1},
        {130, 70, 30, -90, 120, 0, 0, 0, 0, 0, 0, 100, 1},
        {130, 70, 30, 1000, 20, 0, 0, 0, 0, 0, 0, 100, -1},
        {130, 70, 30, 1000, 20, 0, 0, 0, 0, 0, 0, 100, 3},
        {1, 1, 30, 5, 5, 0, 0, 0, 0, 0, 0, 100, -1},
        {2, 1, 77, 5, 5, 0, 0, 0, 0, 0, 0, 100, -1},
        {3, 5, 135, 9, 9, 7, 11, 0, 0, 0, 0, 60, -1},
        {64, 64, 271, 30, 30, 0, 0, 0, 0, 0, 0, 100, -1},
    };
    for (const Case &c : cases) {
        c32bppDIB dib;
        spottedImage(dib, c.width, c.height, unsigned(c.width * 31 + c.height));
        for (const bool highQuality : {true, false})
            for (const bool host : {true, false}) {
                dib.setHighQualityInterpolation(highQuality);
                const Result plain = turn(dib, c, host, std::nullopt);
                for (const auto loops : {detail::VectorLoops::Avx2, detail::VectorLoops::Avx512}) {
                    const Result fast = turn(dib, c, host, loops);
                    const std::string what = std::to_string(c.width) + "x" + std::to_string(c.height) + " at " +
                                             std::to_string(c.angle) + " hq " + std::to_string(highQuality) +
                                             " host " + std::to_string(host) + " gray " + std::to_string(c.gray) +
                                             " loops " + std::to_string(int(loops));
                    EXPECT_EQ(plain.answer, fast.answer) << what;
                    EXPECT_TRUE(samePixels(plain.canvas->dib, fast.canvas->dib)) << what;
                }
            }
    }
}

TEST(RotationStripsTest, RowsSideBySideKeepSumsJustBelowAWholeNumber)
{
    // Two source pixels, all bytes 0 and all bytes 255, so a point at
    // fraction f between them sums to 255 f. Points just below, at and just
    // above whole sums (closer than single precision can tell) and points in
    // between, in groups of rows that start at different columns: the rows
    // drawn side by side equal each row drawn alone by the plain loop.
    std::vector<std::uint8_t> pixels = {0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0,
                                        7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
    const detail::PixelRows source{pixels.data(), 3, 2};
    const double offsets[] = {-3e-6, -1e-6, -2e-7, -5e-8, 0, 5e-8, 1e-6, 0.3, -0.4};
    std::vector<double> fractions;
    for (int n = 1; n < 255; n += 11)
        for (const double o : offsets)
            fractions.push_back(std::clamp((n + o) / 255.0, 0.0, 0.999));
    const int columns = 5;
    const detail::RotateSpan span{0, 0, 1e-9, 0, 0, 3, 0, 2, 2, 1};
    std::vector<std::uint8_t> alone(fractions.size() * columns * 4, 1);
    detail::setVectorLoops(detail::VectorLoops::Plain);
    for (std::size_t i = 0; i < fractions.size(); ++i) {
        detail::RotateSpan s = span;
        s.px = fractions[i];
        detail::bilinearRotateSpan(alone.data() + (i * columns + i % 3) * 4, columns - std::int32_t(i % 3), s,
                                   source);
    }
    for (const auto loops : {detail::VectorLoops::Avx2, detail::VectorLoops::Avx512}) {
        std::vector<std::uint8_t> side(alone.size(), 1);
        std::vector<detail::RotateRow> rows;
        for (std::size_t i = 0; i < fractions.size(); ++i)
            rows.push_back({fractions[i], 0.0, std::int32_t(i % 3), columns, side.data() + i * columns * 4});
        detail::setVectorLoops(loops);
        detail::bilinearRotateRows(rows.data(), std::int32_t(rows.size()), span, source);
        for (std::size_t i = 0; i < side.size(); ++i)
            ASSERT_EQ(int(side[i]), int(alone[i]))
                << "loops " << int(loops) << " fraction " << fractions[i / (columns * 4)] * 255 << " byte " << i;
    }
    detail::setVectorLoops(detail::VectorLoops::Avx512);
}
