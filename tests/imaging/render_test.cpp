// Drawing a surface: Render through the alpha-blend call and the engine's own
// pipeline, ScaleImage, CopyImageTo, Resize and the BMP output.
#include "surface_fixture.h"

#include "imaging/bilinear_p.h"
#include "platform/dialogs.h"
#include "support/file_size_limit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace imaging;
using namespace surfacetest;

namespace {

const Px kWhite = gray(255);
const Px kRed = {0, 0, 255, 255};

} // namespace

TEST(RenderTest, OpacityZeroDrawsNothingAndAboveHundredWraps)
{
    // Opaque red onto opaque white at 50 percent: byte 127 either way.
    struct Case {
        bool alphaBlend;
        int opacity;
        Px expected;
    };
    const Px half = {128, 128, 255, 255};
    const Case cases[] = {
        {true, 0, kWhite}, {false, 0, kWhite}, {true, 50, half},   {false, 50, half},
        {true, 150, half}, {false, 150, half}, {true, 100, kRed}, {false, -100, kRed},
    };
    for (const Case &c : cases) {
        c32bppDIB src;
        fill(src, 2, 2, [](int, int) { return kRed; });
        src.setAlphaBlendFriendly(c.alphaBlend);
        Canvas canvas(2, 2, kWhite);
        EXPECT_TRUE(src.Render(canvas.dc, 0, 0, 0, 0, 0, 0, 0, 0, c.opacity, true, true, &canvas.dib));
        EXPECT_EQ(canvas.at(1, 1), c.expected) << "alpha-blend " << c.alphaBlend << " opacity " << c.opacity << " got "
                                               << str(canvas.at(1, 1));
    }
}

TEST(RenderTest, RefusesWhatItCannotDraw)
{
    c32bppDIB empty, src;
    fill(src, 2, 2, [](int, int) { return kRed; });
    Canvas canvas(2, 2, kWhite);
    EXPECT_FALSE(empty.Render(canvas.dc));
    EXPECT_FALSE(src.Render(0));
    EXPECT_FALSE(src.Render(canvas.dc, 0, 0, 0, 0, 0, 0, -1, 0));
    // A source origin beyond the image leaves nothing that may be read.
    src.setAlphaBlendFriendly(false);
    EXPECT_FALSE(src.Render(canvas.dc, 0, 0, 0, 0, 5, 0, 0, 0, 100, true, true, &canvas.dib));
    // Sizes near the 32-bit limits are refused, never a crash.
    src.setHighQualityInterpolation(true);
    EXPECT_FALSE(src.Render(canvas.dc, 0, 0, INT32_MAX, INT32_MAX, 0, 0, 0, 0, 100, true, true, &canvas.dib));
    EXPECT_FALSE(src.Render(canvas.dc, 0, 0, INT32_MIN, 2));
    EXPECT_EQ(canvas.at(0, 0), kWhite);
}

TEST(RenderTest, DestinationSizeZeroIsTheImageSizeNotTheSourceRectangle)
{
    // The left half (2 x 2) of a 4 x 2 image, destination size 0: stretched
    // to the whole image width, nearest neighbour.
    for (const bool alphaBlend : {true, false}) {
        c32bppDIB src;
        fill(src, 4, 2, distinct);
        src.setAlphaBlendFriendly(alphaBlend);
        Canvas canvas(4, 2, kWhite);
        ASSERT_TRUE(src.Render(canvas.dc, 0, 0, 0, 0, 0, 0, 2, 2, 100, true, false, &canvas.dib));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(canvas.at(x, y), distinct(x / 2, y)) << "alpha-blend " << alphaBlend << " at " << x << "," << y;
    }
}

TEST(RenderTest, NegativeDestinationSizesMirror)
{
    struct Case {
        int dw, dh, srcX, srcW;
        std::function<Px(int, int)> expected;   // canvas pixel -> source pixel
    };
    const Case cases[] = {
        {-4, 2, 0, 0, [](int x, int y) { return distinct(3 - x, y); }},
        {4, -2, 0, 0, [](int x, int y) { return distinct(x, 1 - y); }},
        {-4, -2, 0, 0, [](int x, int y) { return distinct(3 - x, 1 - y); }},
        // A source rectangle is taken from the mirrored image: its columns
        // 0 and 1 are the image's columns 3 and 2.
        {-2, 2, 0, 2, [](int x, int y) { return x < 2 ? distinct(3 - x, y) : kWhite; }},
        // Mirrored and doubled in width (nearest neighbour).
        {-8, 2, 0, 0, [](int x, int y) { return distinct(3 - x / 2, y); }},
    };
    for (const Case &c : cases) {
        c32bppDIB src;
        fill(src, 4, 2, distinct);
        Canvas canvas(8, 2, kWhite);
        ASSERT_TRUE(src.Render(canvas.dc, 0, 0, c.dw, c.dh, c.srcX, 0, c.srcW, 0, 100, true, true, &canvas.dib));
        const int w = std::abs(c.dw);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 8; ++x)
                EXPECT_EQ(canvas.at(x, y), x < w ? c.expected(x, y) : kWhite)
                    << c.dw << "x" << c.dh << " at " << x << "," << y;
    }
}

TEST(RenderTest, DrawingAtANegativePositionClipsInsteadOfShifting)
{
    // The same draw at x = -2 shows what x = 0 shows from column 2 on, for a
    // plain, a scaled and a mirrored draw through the own pipeline.
    for (const int dw : {4, 8, -4, -8}) {
        c32bppDIB src;
        fill(src, 4, 2, distinct);
        src.setAlphaBlendFriendly(false);
        Canvas whole(8, 2, kWhite), clipped(8, 2, kWhite);
        ASSERT_TRUE(src.Render(whole.dc, 0, 0, dw, 2, 0, 0, 0, 0, 100, true, true, &whole.dib));
        ASSERT_TRUE(src.Render(clipped.dc, -2, 0, dw, 2, 0, 0, 0, 0, 100, true, true, &clipped.dib));
        for (int x = 0; x + 2 < std::abs(dw); ++x)
            EXPECT_EQ(clipped.at(x, 1), whole.at(x + 2, 1)) << "width " << dw << " column " << x;
    }
}

TEST(RenderTest, OwnBlendOntoA24BitCopyAndOntoAHost)
{
    // Alpha 128 with colour bytes 64 over white: 64 + (255 * 127) \ 255 = 191.
    c32bppDIB src;
    fill(src, 1, 1, [](int, int) { return Px{64, 64, 64, 128}; });
    src.setAlphaBlendFriendly(false);
    {
        Canvas canvas(3, 1, kWhite);
        ASSERT_TRUE(src.Render(canvas.dc, 1, 0));   // no host: through a 24-bit copy of the DC
        const Px p = canvas.at(1, 0);
        EXPECT_EQ((std::array<int, 3>{p[0], p[1], p[2]}), (std::array<int, 3>{191, 191, 191}));
        EXPECT_EQ(canvas.at(0, 0), kWhite);
        EXPECT_EQ(canvas.at(2, 0), kWhite);
    }
    {
        Canvas canvas(3, 1, kWhite);
        ASSERT_TRUE(src.Render(canvas.dc, 1, 0, 0, 0, 0, 0, 0, 0, 100, true, true, &canvas.dib));
        EXPECT_EQ(canvas.at(1, 0), (Px{191, 191, 191, 255}));
    }
    // Pixels that fall outside the host are skipped.
    Canvas small(2, 2, kWhite);
    c32bppDIB big;
    fill(big, 4, 4, [](int, int) { return kRed; });
    big.setAlphaBlendFriendly(false);
    EXPECT_TRUE(big.Render(small.dc, 1, 1, 0, 0, 0, 0, 0, 0, 100, true, true, &small.dib));
    EXPECT_EQ(small.at(0, 0), kWhite);
    EXPECT_EQ(small.at(1, 1), kRed);
}

TEST(RenderTest, OwnBlendLoopsGiveThePlainBytes)
{
    // Rows of 37 pixels (two steps of sixteen and a tail) of every kind of
    // source pixel: empty, opaque, partial, colour above alpha (whose sums
    // wrap) and colour without alpha (which must leave the destination), the
    // first row all opaque and the second all empty; drawn
    // onto a random host at full and partial opacity with the AVX-512 loop
    // and with the plain one.
    constexpr int W = 37, H = 6;
    std::mt19937 rng(21);
    c32bppDIB src;
    fill(src, W, H, [&](int, int y) {
        const unsigned kind = y == 0 ? 1 : y == 1 ? 0 : rng() % 5;
        const std::uint8_t a = kind == 0 || kind == 4 ? 0 : kind == 1 ? 255 : std::uint8_t(rng());
        auto colour = [&] { return std::uint8_t(kind >= 3 ? rng() : rng() % (a + 1u)); };
        return Px{colour(), colour(), colour(), a};
    });
    src.setAlphaBlendFriendly(false);
    std::vector<std::uint8_t> hostPixels(std::size_t(W) * H * 4);
    for (auto &b : hostPixels)
        b = std::uint8_t(rng());
    for (const int opacity : {100, 60}) {
        auto draw = [&](detail::VectorLoops loops) {
            detail::setVectorLoops(loops);
            auto host = std::make_unique<c32bppDIB>();
            host->InitializeDIB(W, H);
            std::memcpy(host->BitsPointer(), hostPixels.data(), hostPixels.size());
            const gdi::HDC dc = host->LoadDIBinDC(true);
            EXPECT_TRUE(src.Render(dc, 0, 0, 0, 0, 0, 0, 0, 0, opacity, true, true, host.get()));
            host->LoadDIBinDC(false);
            detail::setVectorLoops(detail::VectorLoops::Avx512);
            return host;
        };
        EXPECT_TRUE(samePixels(*draw(detail::VectorLoops::Avx512), *draw(detail::VectorLoops::Plain)))
            << "opacity " << opacity;
    }
}

TEST(RenderTest, GrayFormulas)
{
    struct Case {
        Px source;
        int opacity, formula;
        Px expected;
    };
    const Case cases[] = {
        // (255 x 0.333 x 255 rounded) \ 255 = 84, from the source pixel.
        {kRed, 100, EqualWeights, {84, 84, 84, 255}},
        // Luma: (0.299 x 255 x 255 rounded) \ 255 = 76.
        {kRed, 100, Luma601, {76, 76, 76, 255}},
        // Blended first (255, 128, 128 at 50 percent), then the result made gray:
        // round((128 x 0.114 + 128 x 0.587 + 255 x 0.299) x 255) \ 255 = 165.
        {kRed, 50, Luma601, {165, 165, 165, 255}},
        // Half-transparent over white, then gray of the blend.
        {{0, 0, 128, 128}, 100, EqualWeights, {169, 169, 169, 255}},
    };
    for (const Case &c : cases) {
        c32bppDIB src;
        fill(src, 1, 1, [&](int, int) { return c.source; });
        Canvas canvas(1, 1, kWhite);
        ASSERT_TRUE(src.Render(canvas.dc, 0, 0, 0, 0, 0, 0, 0, 0, c.opacity, true, true, &canvas.dib, c.formula));
        EXPECT_EQ(canvas.at(0, 0), c.expected) << "formula " << c.formula << " got " << str(canvas.at(0, 0));
    }
}

TEST(RenderTest, ScaleImageModes)
{
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(200, 100));
    struct Case {
        int dw, dh, mode, w, h;
    };
    const Case cases[] = {
        {50, 50, 1, 50, 25},    {400, 400, 1, 200, 100}, {400, 400, 0, 400, 200}, {400, 400, 2, 400, 400},
        {400, 400, 3, 200, 100}, {400, 400, -1, 200, 100}, {50, 50, 0, 50, 25},   {400, 50, 1, 100, 50},
    };
    for (const Case &c : cases) {
        std::int32_t w = -7, h = -7;
        dib.ScaleImage(c.dw, c.dh, w, h, c.mode);
        EXPECT_EQ(w, c.w) << c.dw << "x" << c.dh << " mode " << c.mode;
        EXPECT_EQ(h, c.h) << c.dw << "x" << c.dh << " mode " << c.mode;
    }
    c32bppDIB empty;
    std::int32_t w = -7, h = -7;
    empty.ScaleImage(50, 50, w, h, 2);
    EXPECT_EQ(w, -7);
    EXPECT_EQ(h, -7);
}

TEST(RenderTest, ResizeAndCopyScaleWithTheChosenEngine)
{
    // 2 x 1 (0, 200) to 4 x 1, and 1 x 2 (200 above 0) to 1 x 4. The bilinear
    // taps of the own resampler: column ix and ix + 1, row iy and the one
    // below it; the image's last column and row 0 stand alone.
    struct Case {
        bool alphaBlend, highQuality, vertical;
        std::array<int, 4> expected;   // left to right, or top to bottom
    };
    const Case cases[] = {
        {false, true, false, {0, 100, 200, 200}},
        {false, false, false, {0, 0, 200, 200}},
        {true, false, false, {0, 0, 200, 200}},   // the alpha-blend call, nearest
        {false, true, true, {100, 0, 0, 0}},
        {false, false, true, {200, 200, 0, 0}},
    };
    for (const Case &c : cases) {
        c32bppDIB dib;
        if (c.vertical)
            fill(dib, 1, 2, [](int, int y) { return gray(y == 0 ? 200 : 0); });
        else
            fill(dib, 2, 1, [](int x, int) { return gray(x == 0 ? 0 : 200); });
        dib.setAlphaBlendFriendly(c.alphaBlend);
        dib.setHighQualityInterpolation(c.highQuality);
        dib.setImageType(Png);
        dib.setOriginalBytes(std::vector<std::uint8_t>{1, 2, 3});

        // Into a new surface with CopyImageTo ...
        std::unique_ptr<c32bppDIB> copy;
        dib.CopyImageTo(copy, c.vertical ? 1 : 4, c.vertical ? 4 : 1);
        ASSERT_TRUE(copy);
        // ... and in place with Resize.
        ASSERT_TRUE(dib.Resize(c.vertical ? 1 : 4, c.vertical ? 4 : 1));
        for (const c32bppDIB *d : {copy.get(), &dib}) {
            for (int i = 0; i < 4; ++i) {
                const int v = c.expected[std::size_t(i)];
                EXPECT_EQ(px(*d, c.vertical ? 0 : i, c.vertical ? i : 0), gray(std::uint8_t(v)))
                    << "ab " << c.alphaBlend << " hq " << c.highQuality << " vertical " << c.vertical << " at " << i;
            }
        }
        EXPECT_EQ(dib.ImageType(), Png);
        EXPECT_EQ(dib.originalBytes(), (std::vector<std::uint8_t>{1, 2, 3}));
        EXPECT_EQ(copy->ImageType(), Png);
        EXPECT_TRUE(copy->originalBytes().empty());   // not asked for
    }
}

TEST(RenderTest, ScaledCopyKeepsColourWithinAlpha)
{
    std::mt19937 rng(3);
    c32bppDIB dib;
    fill(dib, 13, 7, [&](int, int) {
        const std::uint8_t a = std::uint8_t(rng());
        return Px{std::uint8_t(rng() % (a + 1u)), std::uint8_t(rng() % (a + 1u)), std::uint8_t(rng() % (a + 1u)), a};
    });
    dib.setAlphaBlendFriendly(false);
    dib.setHighQualityInterpolation(true);
    for (const auto &size : {std::pair{31, 17}, std::pair{5, 3}, std::pair{13, 40}}) {
        std::unique_ptr<c32bppDIB> copy;
        dib.CopyImageTo(copy, size.first, size.second);
        ASSERT_TRUE(copy && copy->Handle());
        for (int y = 0; y < copy->Height(); ++y)
            for (int x = 0; x < copy->Width(); ++x) {
                const Px p = px(*copy, x, y);
                ASSERT_TRUE(p[0] <= p[3] && p[1] <= p[3] && p[2] <= p[3]) << str(p);
            }
    }
}

TEST(RenderTest, CopyImageToTargets)
{
    c32bppDIB dib;
    fill(dib, 3, 2, distinct);
    dib.setAlpha(false);
    dib.setImageType(Bitmap);
    dib.setOriginalBytes(std::vector<std::uint8_t>{9});

    // An absent target is created at the source's size.
    std::unique_ptr<c32bppDIB> created;
    dib.CopyImageTo(created, 0, 0, true);
    ASSERT_TRUE(created);
    EXPECT_TRUE(samePixels(*created, dib));
    EXPECT_FALSE(created->Alpha());
    EXPECT_EQ(created->ImageType(), Bitmap);
    EXPECT_EQ(created->originalBytes(), std::vector<std::uint8_t>{9});

    // A scaled copy into a target of that size replaces what it held: nothing
    // of it shows through transparent pixels.
    c32bppDIB seeThrough;
    fill(seeThrough, 1, 1, [](int, int) { return Px{0, 0, 0, 0}; });
    c32bppDIB target;
    fill(target, 2, 2, [](int, int) { return kRed; });
    seeThrough.CopyImageTo(target, 2, 2);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(px(target, i % 2, i / 2), (Px{0, 0, 0, 0}));

    // Without image nothing happens; too large a size leaves the target empty.
    c32bppDIB empty;
    std::unique_ptr<c32bppDIB> none;
    empty.CopyImageTo(none);
    EXPECT_FALSE(none);
    dib.CopyImageTo(target, INT32_MAX, INT32_MAX);
    EXPECT_EQ(target.Handle(), 0u);
}

TEST(RenderTest, ResizeToTheSameSizeTouchesNothing)
{
    c32bppDIB dib;
    fill(dib, 3, 2, distinct);
    const gdi::HBITMAP handle = dib.Handle();
    const std::uint8_t *bits = dib.BitsPointer();
    EXPECT_TRUE(dib.Resize(3, 2));
    EXPECT_TRUE(dib.Resize(0, 0));
    EXPECT_EQ(dib.Handle(), handle);
    EXPECT_EQ(dib.BitsPointer(), bits);
    EXPECT_EQ(px(dib, 2, 1), distinct(2, 1));
    EXPECT_FALSE(dib.Resize(INT32_MAX, INT32_MAX));
    EXPECT_EQ(dib.Handle(), handle);   // a failed resize keeps the image
    c32bppDIB empty;
    EXPECT_FALSE(empty.Resize(2, 2));
}

TEST(RenderTest, BmpOutput)
{
    // 3 x 2 without alpha: 24-bit rows of 9 bytes padded to 12.
    c32bppDIB dib;
    fill(dib, 3, 2, distinct);
    dib.setAlpha(false);
    ByteArray bytes;
    ASSERT_TRUE(dib.SaveToStream(bytes));
    ASSERT_EQ(bytes.size(), 78u);
    auto u32 = [&](std::size_t o) {
        return std::uint32_t(bytes[o]) | std::uint32_t(bytes[o + 1]) << 8 | std::uint32_t(bytes[o + 2]) << 16 |
               std::uint32_t(bytes[o + 3]) << 24;
    };
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(u32(2), 78u);
    EXPECT_EQ(u32(10), 54u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(18), 3u);
    EXPECT_EQ(u32(22), 2u);
    EXPECT_EQ(bytes[28], 24);
    EXPECT_EQ(u32(34), 24u);
    // The bottom row first: pixel (0, 1), then its padding.
    const Px first = distinct(0, 1);
    EXPECT_EQ(bytes[54], first[0]);
    EXPECT_EQ(bytes[55], first[1]);
    EXPECT_EQ(bytes[56], first[2]);
    for (std::size_t pad : {63u, 64u, 65u, 75u, 76u, 77u})
        EXPECT_EQ(bytes[pad], 0) << pad;

    // With alpha: 32-bit rows, the surface's memory as it is.
    dib.setAlpha(true);
    ASSERT_TRUE(dib.SaveToStream(bytes));
    EXPECT_EQ(bytes.size(), 54u + 24u);
    EXPECT_EQ(bytes[28], 32);
    EXPECT_EQ(std::memcmp(bytes.data() + 54, dib.BitsPointer(), 24), 0);

    c32bppDIB empty;
    EXPECT_FALSE(empty.SaveToStream(bytes));
}

TEST(RenderTest, SaveToFileAsksBeforeReplacing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("out.bmp");
    c32bppDIB dib;
    fill(dib, 3, 2, distinct);
    dib.setAlpha(false);
    ByteArray expected;
    ASSERT_TRUE(dib.SaveToStream(expected));

    platform::ScopedDialogAnswers answers(platform::MessageResult::No);
    ASSERT_TRUE(dib.SaveToFile(path));   // new file: no question
    EXPECT_TRUE(answers.messages().isEmpty());
    auto readAll = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    EXPECT_EQ(readAll(), QByteArray(reinterpret_cast<const char *>(expected.data()), qsizetype(expected.size())));

    // An existing file: No keeps it as it was.
    QFile(path).remove();
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    EXPECT_FALSE(dib.SaveToFile(path));
    ASSERT_EQ(answers.messages().size(), 1);
    EXPECT_EQ(answers.messages()[0].title, "Overwrite Confirmation");
    EXPECT_EQ(answers.messages()[0].text, "Overwrite existing file?");
    EXPECT_EQ(answers.messages()[0].defaultButton, platform::MessageResult::No);
    EXPECT_EQ(readAll(), "keep me");

    answers.setMessageAnswer(platform::MessageResult::Yes);
    EXPECT_TRUE(dib.SaveToFile(path));
    EXPECT_EQ(readAll().size(), 78);
    EXPECT_TRUE(dib.SaveToFile(path, false));   // no question asked
    EXPECT_EQ(answers.messages().size(), 2);

    // A disk that refuses the writes: false, and the old file stays whole.
    {
        testsupport::ScopedFileSizeLimit diskFull;
        EXPECT_FALSE(dib.SaveToFile(path, false));
    }
    EXPECT_EQ(readAll().size(), 78);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"out.bmp"}) << "no temporary file is left behind";

    // A folder that does not exist, an empty name, no image: false, nothing left behind.
    EXPECT_FALSE(dib.SaveToFile(dir.filePath("missing/out.bmp"), false));
    EXPECT_FALSE(dib.SaveToFile(QString(), false));
    c32bppDIB empty;
    EXPECT_FALSE(empty.SaveToFile(dir.filePath("empty.bmp"), false));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"out.bmp"});
}

TEST(RenderTest, UniformImagesStayUniformWhenScaled)
{
    // Truncating the bilinear sums must not let rounding error turn a whole
    // number into the one below it: every byte of a uniform image survives.
    for (const std::uint8_t v : {37, 100, 255})
        for (int side = 2; side < 12; side += 3)
            for (int to = 2; to < 40; to += 5) {
                c32bppDIB dib;
                fill(dib, side, side, [&](int, int) { return Px{v, v, v, v}; });
                dib.setAlphaBlendFriendly(false);
                dib.setHighQualityInterpolation(true);
                std::unique_ptr<c32bppDIB> copy;
                dib.CopyImageTo(copy, to, to + 3);
                ASSERT_TRUE(copy);
                for (int i = 0; i < to * (to + 3) * 4; ++i)
                    ASSERT_EQ(copy->BitsPointer()[i], v) << side << " -> " << to << " byte " << i;
            }
}

TEST(RenderTest, BilinearLoopsGiveThePlainBytesAtEveryVectorWidth)
{
    // Scaled copies and turns of an image with the AVX-512 and the AVX2 loops
    // (where the processor has them), each against the plain ones. The image
    // is random but for a flat band and opaque columns, whose sums are whole
    // numbers. The sizes give whole and partial groups of eight and sixteen
    // columns, columns that reach the image's last one, taps close together
    // and far apart, and weights that are multiples of 1/256 (twice and four
    // times the size) in both directions or in one.
    c32bppDIB dib;
    std::mt19937 rng(9);
    fill(dib, 23, 17, [&](int x, int y) {
        if (y < 4)
            return Px{10, 20, 30, 40};
        const std::uint8_t a = x % 5 == 0 ? 255 : std::uint8_t(rng());
        return Px{std::uint8_t(rng() % (a + 1u)), std::uint8_t(rng() % (a + 1u)), std::uint8_t(rng() % (a + 1u)), a};
    });
    dib.setAlphaBlendFriendly(false);
    dib.setHighQualityInterpolation(true);
    auto run = [&](detail::VectorLoops loops, std::vector<std::unique_ptr<c32bppDIB>> &out) {
        detail::setVectorLoops(loops);
        for (const auto &size : {std::pair{61, 45}, std::pair{9, 7}, std::pair{23, 50}, std::pair{203, 6},
                                 std::pair{17, 30}, std::pair{46, 34}, std::pair{92, 68}, std::pair{46, 50},
                                 std::pair{160, 121}}) {
            out.emplace_back();
            dib.CopyImageTo(out.back(), size.first, size.second);
        }
        for (const float angle : {30.0f, 77.0f, 200.0f}) {
            auto canvas = std::make_unique<c32bppDIB>();
            fill(*canvas, 40, 40, [](int, int) { return Px{0, 0, 0, 0}; });
            const gdi::HDC dc = canvas->LoadDIBinDC(true);
            EXPECT_TRUE(dib.RotateAtCenterPoint(dc, angle, 20, 20, 0, 0, 0, 0, 0, 0, 100, canvas.get()));
            canvas->LoadDIBinDC(false);
            out.push_back(std::move(canvas));
        }
        detail::setVectorLoops(detail::VectorLoops::Avx512);
    };
    std::vector<std::unique_ptr<c32bppDIB>> plain;
    run(detail::VectorLoops::Plain, plain);
    for (const auto loops : {detail::VectorLoops::Avx512, detail::VectorLoops::Avx2}) {
        std::vector<std::unique_ptr<c32bppDIB>> fast;
        run(loops, fast);
        ASSERT_EQ(fast.size(), plain.size());
        for (std::size_t i = 0; i < fast.size(); ++i)
            EXPECT_TRUE(fast[i] && plain[i] && samePixels(*fast[i], *plain[i]))
                << "loops " << int(loops) << " case " << i;
    }
}
