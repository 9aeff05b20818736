// Public suites through the loading pipeline: the bitmap suite against Qt's
// reader (and the own rules for 32-bit uncompressed files), the icon and cursor
// references, and the GIF files with their expected indices and palettes.
// Good files decode to the reference pixels, premultiplied; questionable and
// bad ones end in false or an image, never a crash.
#include "formats_fixture.h"

#include "imaging/gif_parser.h"
#include "imaging/ico_parser.h"
#include "support/testdata.h"

#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

using namespace fmttest;

namespace {

QString suite(const QString &sub) { return testsupport::testdataDir(sub); }

QStringList filesIn(const QString &dir, const QString &pattern)
{
    QStringList out;
    for (const QString &name : QDir(dir).entryList({pattern}, QDir::Files, QDir::Name))
        out << dir + '/' + name;
    return out;
}

// Premultiplied BGRA (truncating), top row first, from a Qt image.
Bytes premultipliedFromQt(const QImage &source, bool opaque)
{
    const QImage img = source.convertToFormat(QImage::Format_ARGB32);
    Bytes out;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            const unsigned a = opaque ? 255 : unsigned(qAlpha(c));
            out.insert(out.end(), {std::uint8_t(qBlue(c) * a / 255), std::uint8_t(qGreen(c) * a / 255),
                                   std::uint8_t(qRed(c) * a / 255), std::uint8_t(a)});
        }
    return out;
}

Bytes surfacePixels(const imaging::c32bppDIB &dib)
{
    Bytes out;
    for (int y = 0; y < dib.Height(); ++y) {
        const std::uint8_t *row = dib.BitsPointer() + std::size_t(dib.Height() - 1 - y) * dib.scanWidth();
        out.insert(out.end(), row, row + dib.scanWidth());
    }
    return out;
}

std::uint32_t rd32(const Bytes &b, std::size_t at)
{
    return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8) | (std::uint32_t(b[at + 2]) << 16) |
           (std::uint32_t(b[at + 3]) << 24);
}

// The own rule for a 32-bit uncompressed file that fits: no alpha (all 0 or
// all 255) is opaque; a colour above its alpha means straight alpha, which is
// premultiplied; otherwise the bytes are kept. Empty for other files.
Bytes ownRuleReference(const Bytes &f, int &width, int &height)
{
    if (f.size() < 54 || f[0] != 'B' || f[1] != 'M' || (f[28] | (f[29] << 8)) != 32 || rd32(f, 30) != 0)
        return {};
    width = std::int32_t(rd32(f, 18));
    const std::int32_t h = std::int32_t(rd32(f, 22));
    height = h < 0 ? -h : h;
    const std::uint32_t offset = rd32(f, 10);
    if (width < 1 || height < 1 || std::uint64_t(offset) + std::uint64_t(width) * height * 4 > f.size())
        return {};
    Bytes px;
    for (int y = 0; y < height; ++y) {   // top row first
        const int mem = h < 0 ? y : height - 1 - y;
        const auto *row = f.data() + offset + std::size_t(mem) * std::size_t(width) * 4;
        px.insert(px.end(), row, row + std::size_t(width) * 4);
    }
    bool all0 = true, all255 = true, straight = false;
    for (std::size_t i = 0; i < px.size(); i += 4) {
        const int a = px[i + 3];
        all0 &= a == 0;
        all255 &= a == 255;
        straight |= px[i] > a || px[i + 1] > a || px[i + 2] > a;
    }
    for (std::size_t i = 0; i < px.size(); i += 4) {
        if (all0 || all255)
            px[i + 3] = 255;
        else if (straight)
            for (int c = 0; c < 3; ++c)
                px[i + std::size_t(c)] = std::uint8_t(px[i + std::size_t(c)] * px[i + 3] / 255);
    }
    return px;
}

bool loadFile(imaging::c32bppDIB &dib, const QString &path, int w = 0, int h = 0, int depth = 32)
{
    return dib.LoadPicture_File(path, w, h, false, depth);
}

} // namespace

TEST(FormatsConformance, BitmapSuiteGoodFiles)
{
    SORIMBA_REQUIRE_TESTDATA("bmpsuite/g");
    const QStringList files = filesIn(suite("bmpsuite/g"), "*.bmp");
    ASSERT_GE(files.size(), 27);
    int ownPath = 0;
    for (const QString &path : files) {
        SCOPED_TRACE(path.toStdString());
        imaging::c32bppDIB dib;
        ASSERT_TRUE(loadFile(dib, path));
        const Bytes file = readFile(path);
        int w = 0, h = 0;
        Bytes expected = ownRuleReference(file, w, h);
        if (!expected.empty()) {
            ++ownPath;
        } else {
            const QImage ref(path);
            ASSERT_FALSE(ref.isNull());
            w = ref.width();
            h = ref.height();
            expected = premultipliedFromQt(ref, true);
            EXPECT_EQ(dib.ImageType(), imaging::Bitmap);
            EXPECT_FALSE(dib.Alpha());
        }
        ASSERT_EQ(dib.Width(), w);
        ASSERT_EQ(dib.Height(), h);
        EXPECT_TRUE(surfacePixels(dib) == expected);
    }
    EXPECT_GE(ownPath, 1);   // rgb32.bmp
}

TEST(FormatsConformance, BitmapSuiteQuestionableAndBadFiles)
{
    SORIMBA_REQUIRE_TESTDATA("bmpsuite/q");
    QStringList files = filesIn(suite("bmpsuite/q"), "*.bmp") + filesIn(suite("bmpsuite/b"), "*.bmp") +
                        filesIn(suite("bmpsuite/x"), "*.bmp");
    ASSERT_GE(files.size(), 60);
    int decoded = 0;
    for (const QString &path : files) {
        SCOPED_TRACE(path.toStdString());
        imaging::c32bppDIB dib;
        if (loadFile(dib, path)) {
            ++decoded;
            EXPECT_GT(dib.Width(), 0);
            EXPECT_GT(dib.Height(), 0);
            // Files the own rule reads match it exactly.
            int w = 0, h = 0;
            const Bytes expected = ownRuleReference(readFile(path), w, h);
            if (!expected.empty()) {
                EXPECT_TRUE(surfacePixels(dib) == expected);
            }
        } else {
            EXPECT_EQ(dib.ImageType(), imaging::NoImage);
        }
    }
    EXPECT_GT(decoded, 0);
    // The huge-size file is refused cleanly.
    imaging::c32bppDIB big;
    EXPECT_FALSE(loadFile(big, suite("bmpsuite/b/reallybig.bmp")));
}

TEST(FormatsConformance, IconReferences)
{
    SORIMBA_REQUIRE_TESTDATA("ico-cur/image-rs/reference");
    const QStringList refs = filesIn(suite("ico-cur/image-rs/reference"), "*.png");
    ASSERT_EQ(refs.size(), 9);
    for (const QString &ref : refs) {
        const QString name = QFileInfo(ref).completeBaseName();   // "x.ico"
        SCOPED_TRACE(name.toStdString());
        const QString path = suite("ico-cur/image-rs/") + name;
        // The reference shows the largest, then deepest entry: ask for exactly that.
        imaging::ByteArray bytes = toArray(readFile(path));
        imaging::cICOparser ico;
        std::int32_t o = 0, l = 0, b = 32;
        std::uint32_t t = 0;
        ico.LoadStream(bytes, 0, 0, nullptr, o, l, b, t);
        ASSERT_GE(ico.IconCount(), 1);
        int best = 1;
        for (int i = 2; i <= ico.IconCount(); ++i) {
            const auto area = [&](int k) { return std::int64_t(ico.Width(k)) * ico.Height(k); };
            if (area(i) > area(best) || (area(i) == area(best) && ico.bitDepth(i) > ico.bitDepth(best)))
                best = i;
        }
        imaging::c32bppDIB dib;
        ASSERT_TRUE(loadFile(dib, path, ico.Width(best), ico.Height(best), std::min(ico.bitDepth(best), 32)));
        const QImage expected(ref);
        ASSERT_EQ(dib.Width(), expected.width());
        ASSERT_EQ(dib.Height(), expected.height());
        EXPECT_TRUE(surfacePixels(dib) == premultipliedFromQt(expected, false));
    }
}

TEST(FormatsConformance, IconAndCursorFiles)
{
    SORIMBA_REQUIRE_TESTDATA("ico-cur/pillow");
    struct Case {
        const char *file;
        bool decodes;
        int width, height;
        std::int32_t type;
    };
    const Case cases[] = {
        {"pillow/deerstalker.cur", true, 32, 32, imaging::AlphaCursor},
        {"pillow/hopper_mask.ico", true, 16, 16, imaging::Icon},
        {"pillow/black_and_white.ico", true, 16, 16, imaging::Icon},
        // The bitmap header claims 65535 x 65535 for a 16 x 16 entry: no pixels.
        {"pillow/decompression_bomb.ico", false, 0, 0, imaging::NoImage},
        // 6 bytes: too short to be offered, the fresh surface stays blank.
        {"pillow/no_cursors.cur", false, 0, 0, imaging::Blank},
        {"image-rs/truncated_mask_32bpp.ico", true, 64, 64, imaging::AlphaIcon},
        {"wuffs/hippopotamus.regular.ico", true, 36, 28, imaging::AlphaIcon},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        imaging::c32bppDIB dib;
        EXPECT_EQ(loadFile(dib, suite("ico-cur/") + c.file), c.decodes);
        EXPECT_EQ(dib.Width(), c.width);
        EXPECT_EQ(dib.Height(), c.height);
        EXPECT_EQ(dib.ImageType(), c.type);
    }
    // The 1 x 4 cursors: rows (top first) AND/XOR 0/0, 0/1, 1/0, 1/1. Their
    // directory size (8) understates the data, and the mask is taken as the
    // last bytes of what the directory gives, so only the colours are pinned.
    for (const char *file : {"mask_1.cur", "mask_L.cur"}) {
        SCOPED_TRACE(file);
        imaging::c32bppDIB dib;
        imaging::ByteArray bytes = toArray(readFile(suite("ico-cur/pillow/") + file));
        imaging::cICOparser ico;
        std::int32_t o = 0, l = 0, b = 32;
        std::uint32_t t = 0;
        ASSERT_TRUE(ico.LoadStream(bytes, 0, 0, &dib, o, l, b, t));
        ASSERT_EQ(dib.Height(), 4);
        EXPECT_EQ(dib.ImageType(), imaging::Cursor);
        for (int y = 0; y < 4; ++y) {
            const Pixel p = pixelAt(dib, 0, y);
            if (p.a == 255) {
                EXPECT_EQ(p.r, y % 2 ? 255 : 0);
            }
        }
    }
    // The directory lists every image of the mixed file.
    imaging::ByteArray multi = toArray(readFile(suite("ico-cur/image-rs/multiple_entries_with_different_bit_depth.ico")));
    imaging::cICOparser ico;
    std::int32_t o = 0, l = 0, b = 32;
    std::uint32_t t = 0;
    EXPECT_TRUE(ico.LoadStream(multi, 0, 0, nullptr, o, l, b, t));
    EXPECT_EQ(ico.IconCount(), 9);
}

TEST(FormatsConformance, GifIndicesAndPalettes)
{
    SORIMBA_REQUIRE_TESTDATA("gif/real");
    struct Case {
        const char *gif, *indexes, *palette;   // palette null: the file's global table
    };
    const Case cases[] = {
        {"bricks-dither.gif", "bricks-dither.indexes", "bricks-dither.palette"},
        {"bricks-nodither.gif", "bricks-nodither.indexes", "bricks-nodither.palette"},
        {"bricks-gray.gif", "bricks-gray.indexes", nullptr},
        {"muybridge.gif", "muybridge-frame-000.indexes", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.gif);
        const Bytes gif = readFile(suite("gif/real/") + c.gif);
        const Bytes indexes = readFile(suite("gif/real/") + c.indexes);
        Bytes bgra;   // B G R A per index
        if (c.palette) {
            bgra = readFile(suite("gif/real/") + c.palette);
        } else {
            ASSERT_TRUE(gif[10] & 0x80);
            const int n = 2 << (gif[10] & 7);
            for (int i = 0; i < n; ++i)
                bgra.insert(bgra.end(), {gif[std::size_t(13 + 3 * i + 2)], gif[std::size_t(13 + 3 * i + 1)],
                                         gif[std::size_t(13 + 3 * i)], 255});
        }
        imaging::c32bppDIB dib;
        ASSERT_TRUE(loadFile(dib, suite("gif/real/") + c.gif));
        EXPECT_EQ(dib.ImageType(), imaging::Gif);
        ASSERT_EQ(std::size_t(dib.Width()) * std::size_t(dib.Height()), indexes.size());
        Bytes expected;
        for (std::uint8_t i : indexes)
            expected.insert(expected.end(), {bgra[std::size_t(i) * 4], bgra[std::size_t(i) * 4 + 1],
                                             bgra[std::size_t(i) * 4 + 2], 255});
        EXPECT_TRUE(surfacePixels(dib) == expected);
    }

    // Interlaced and regular give the same pixels; a truncated file gives none.
    imaging::c32bppDIB a, b;
    ASSERT_TRUE(loadFile(a, suite("gif/real/hippopotamus.interlaced.gif")));
    ASSERT_TRUE(loadFile(b, suite("gif/real/hippopotamus.regular.gif")));
    EXPECT_TRUE(surfacePixels(a) == surfacePixels(b));
    EXPECT_FALSE(loadFile(a, suite("gif/real/hippopotamus.interlaced.truncated.gif")));
    EXPECT_EQ(a.ImageType(), imaging::NoImage);
    // A transparent index: alpha true, transparent pixels all zero.
    ASSERT_TRUE(loadFile(a, suite("gif/real/hippopotamus.masked-with-muybridge.gif")));
    EXPECT_TRUE(a.Alpha());
    int transparent = 0;
    const Bytes px = surfacePixels(a);
    for (std::size_t i = 0; i < px.size(); i += 4)
        if (px[i + 3] == 0) {
            ++transparent;
            EXPECT_EQ(px[i] | px[i + 1] | px[i + 2], 0);
        } else {
            EXPECT_EQ(px[i + 3], 255);
        }
    EXPECT_GT(transparent, 0);
    // Animations: the first frame only.
    ASSERT_TRUE(loadFile(a, suite("gif/real/animated-red-blue.gif")));
    EXPECT_EQ(a.ImageType(), imaging::Gif);
}

TEST(FormatsConformance, GifArtificialFiles)
{
    SORIMBA_REQUIRE_TESTDATA("gif/artificial");
    // Most are shorter than the pipeline's minimum: the decoder is called directly.
    struct Case {
        const char *file;
        int decodes;   // 1 yes, 0 no, -1 either (left to the picture loader)
        int width, height;
    };
    const Case cases[] = {
        {"background-color.gif", 1, 2, 1},
        {"empty-palette.gif", 1, 1, 1},
        {"frame-out-of-bounds.gif", 1, 3, 1},
        {"metadata-empty.gif", 1, 1, 1},
        {"metadata-full.gif", 1, 1, 1},
        {"multiple-graphic-controls.gif", 1, 1, 1},
        {"multiple-loop-counts.gif", 1, 1, 1},
        {"small-frame-interlaced.gif", 1, 1, 1},
        {"transparent-index.gif", 1, 4, 2},
        {"no-frames.gif", 0, 0, 0},
        {"zero-width-frame.gif", 0, 0, 0},
        {"pixel-data-none.gif", -1, 2, 2},
        {"pixel-data-not-enough.gif", -1, 2, 2},
        {"pixel-data-too-much-good-lzw.gif", -1, 2, 2},
        {"pixel-data-too-much-bad-lzw.gif", -1, 2, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const Bytes file = readFile(suite("gif/artificial/") + c.file);
        ASSERT_FALSE(file.empty());
        imaging::cGIFparser gif;
        imaging::c32bppDIB dib;
        gif.LoadStream(file, dib, 0, std::int32_t(file.size()));
        const bool decoded = dib.Handle() != 0;
        if (c.decodes >= 0) {
            EXPECT_EQ(decoded, c.decodes == 1);
        }
        if (decoded) {
            EXPECT_EQ(dib.Width(), c.width);
            EXPECT_EQ(dib.Height(), c.height);
            EXPECT_EQ(dib.ImageType(), imaging::Gif);
        }
    }
    // The first frame of transparent-index.gif holds palette entries 8 to 15
    // (reds 0x80 to 0xF0); the transparency of the second frame does not apply.
    const Bytes file = readFile(suite("gif/artificial/transparent-index.gif"));
    imaging::c32bppDIB dib;
    ASSERT_TRUE(imaging::cGIFparser().LoadStream(file, dib, 0, std::int32_t(file.size())));
    EXPECT_FALSE(dib.Alpha());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(pixelAt(dib, x, y), (Pixel{0, 0, 0x80 + 0x10 * (y * 4 + x), 255}));
}
