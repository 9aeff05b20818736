// The GIF and bitmap decoders on hand-made files: the first frame of an
// animation, transparency by index, signatures, 32-bit bitmaps read directly,
// other formats through the picture loader, metafiles refused.
#include "formats_fixture.h"

#include "imaging/bmp_parser.h"
#include "imaging/gif_parser.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

using namespace fmttest;

namespace {

bool loadGif(const Bytes &file, imaging::c32bppDIB &dib)
{
    imaging::cGIFparser gif;
    return gif.LoadStream(file, dib, 0, std::int32_t(file.size()));
}

bool loadBmp(const Bytes &file, imaging::c32bppDIB &dib)
{
    imaging::cBMPparser bmp;
    return bmp.LoadStream(file, dib, 0, std::int32_t(file.size()));
}

const std::vector<std::uint32_t> kPalette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFF0000};

} // namespace

TEST(GifDecoder, FirstFrameOfAnAnimationAtItsOwnSize)
{
    GifFrame first{3, 2, 4, 3, {0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2}};
    GifFrame second{0, 0, 10, 10, std::vector<std::uint8_t>(100, 2)};
    second.transparent = -2;
    const Bytes file = gifFile(10, 10, kPalette, {first, second});
    imaging::c32bppDIB dib;
    ASSERT_TRUE(loadGif(file, dib));
    ASSERT_EQ(dib.Width(), 4);
    ASSERT_EQ(dib.Height(), 3);
    EXPECT_EQ(dib.ImageType(), imaging::Gif);
    EXPECT_FALSE(dib.Alpha());
    EXPECT_EQ(pixelAt(dib, 0, 0), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(pixelAt(dib, 1, 0), (Pixel{0, 255, 0, 255}));
    EXPECT_EQ(pixelAt(dib, 3, 2), (Pixel{255, 0, 0, 255}));
}

TEST(GifDecoder, TransparentIndexBesideAnEntryOfTheSameColour)
{
    // Entries 0 and 3 are both red; 3 is transparent, 0 stays opaque.
    GifFrame f{0, 0, 4, 1, {0, 3, 1, 3}};
    f.transparent = 3;
    const Bytes file = gifFile(4, 1, kPalette, {f});
    imaging::cGIFparser gif;
    imaging::c32bppDIB dib;
    ASSERT_TRUE(gif.LoadStream(file, dib, 0, std::int32_t(file.size())));
    EXPECT_TRUE(dib.Alpha());
    EXPECT_EQ(pixelAt(dib, 0, 0), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(pixelAt(dib, 1, 0), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(pixelAt(dib, 2, 0), (Pixel{0, 255, 0, 255}));
    EXPECT_EQ(pixelAt(dib, 3, 0), (Pixel{0, 0, 0, 0}));
    // In the one-frame copy the table in use is a grey ramp (index i is i, i, i);
    // the source keeps its colours.
    const std::vector<std::uint8_t> &copy = gif.frameCopy();
    ASSERT_GE(copy.size(), 13u + 12u);
    EXPECT_EQ(Bytes(copy.begin() + 13, copy.begin() + 25), (Bytes{0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3}));
    EXPECT_EQ(file[13], 0xFF);

    // The same with a local table.
    GifFrame local = f;
    local.localPalette = kPalette;
    const Bytes withLocal = gifFile(4, 1, {0x123456, 0x123456, 0x123456, 0x123456}, {local});
    ASSERT_TRUE(loadGif(withLocal, dib));
    EXPECT_EQ(pixelAt(dib, 0, 0), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(pixelAt(dib, 1, 0), (Pixel{0, 0, 0, 0}));
}

TEST(GifDecoder, ControlWithoutTransparencyAndSignatures)
{
    GifFrame f{0, 0, 2, 2, {0, 1, 2, 3}};
    f.transparent = -2;   // a graphic control whose transparency flag is clear
    imaging::c32bppDIB dib;
    for (const char *sig : {"GIF89a", "GIF89A", "gif87a", "GiF87A"}) {
        SCOPED_TRACE(sig);
        ASSERT_TRUE(loadGif(gifFile(2, 2, kPalette, {f}, sig), dib));
        EXPECT_FALSE(dib.Alpha());
        EXPECT_EQ(pixelAt(dib, 1, 0), (Pixel{0, 255, 0, 255}));
    }
    for (const char *sig : {"GIF88a", "GIF89b", "PNG89a"}) {
        SCOPED_TRACE(sig);
        EXPECT_FALSE(loadGif(gifFile(2, 2, kPalette, {f}, sig), dib));
    }
}

TEST(GifDecoder, MalformedFiles)
{
    GifFrame f{0, 0, 2, 2, {0, 1, 2, 3}};
    const Bytes good = gifFile(2, 2, kPalette, {f});
    imaging::c32bppDIB dib;
    // No image descriptor: not decoded.
    Bytes noImage(good.begin(), good.begin() + 13 + 12);
    noImage.push_back(0x3B);
    EXPECT_FALSE(loadGif(noImage, dib));
    // No colour table at all.
    Bytes noTable(good.begin(), good.begin() + 13);
    noTable[10] = 0;
    noTable.insert(noTable.end(), good.begin() + 25, good.end());
    EXPECT_FALSE(loadGif(noTable, dib));
    // Blocks that run past the end: a GIF, but the surface ends empty.
    ASSERT_TRUE(dib.InitializeDIB(2, 2));
    Bytes cut(good.begin(), good.end() - 4);
    EXPECT_TRUE(loadGif(cut, dib));
    EXPECT_EQ(dib.Handle(), 0u);
    // A view outside the array is not a GIF.
    imaging::cGIFparser gif;
    EXPECT_FALSE(gif.LoadStream(good, dib, 4, std::int32_t(good.size())));
}

TEST(BitmapDecoder, ThirtyTwoBitFilesAreReadDirectly)
{
    struct Case {
        const char *name;
        std::vector<std::uint32_t> pixels;   // BGRA, top row first, 2 x 2
        bool topDown;
        std::int32_t type;
        bool alpha;
        Pixel topLeft, bottomRight;
    };
    const Case cases[] = {
        {"opaque", {0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0}, false, imaging::Bitmap, false,
         {0x30, 0x20, 0x10, 255}, {0xC0, 0xB0, 0xA0, 255}},
        {"alpha all zero", {0x00102030, 0x00405060, 0x00708090, 0x00A0B0C0}, false, imaging::Bitmap, false,
         {0x30, 0x20, 0x10, 255}, {0xC0, 0xB0, 0xA0, 255}},
        {"straight", {0x80FF8040, 0xFF000000, 0x00000000, 0xFFFFFFFF}, false, imaging::AlphaBitmap, true,
         {0x40 * 128 / 255, 0x80 * 128 / 255, 0xFF * 128 / 255, 128}, {255, 255, 255, 255}},
        {"premultiplied", {0x80402010, 0xFF000000, 0x00000000, 0xFFFFFFFF}, false, imaging::PremultipliedBitmap,
         true, {0x10, 0x20, 0x40, 128}, {255, 255, 255, 255}},
        {"top-down", {0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0}, true, imaging::Bitmap, false,
         {0x30, 0x20, 0x10, 255}, {0xC0, 0xB0, 0xA0, 255}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        imaging::c32bppDIB dib;
        ASSERT_TRUE(loadBmp(bmp32(2, 2, c.pixels, c.topDown), dib));
        EXPECT_EQ(dib.ImageType(), c.type);
        EXPECT_EQ(dib.Alpha(), c.alpha);
        EXPECT_EQ(pixelAt(dib, 0, 0), c.topLeft);
        EXPECT_EQ(pixelAt(dib, 1, 1), c.bottomRight);
    }
}

TEST(BitmapDecoder, RefusalsAndThePictureLoader)
{
    imaging::c32bppDIB dib;
    const Bytes good = bmp32(2, 2, {0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000});
    Bytes zeroWidth = good;
    set32(zeroWidth, 18, 0);
    EXPECT_FALSE(loadBmp(zeroWidth, dib));
    Bytes zeroHeight = good;
    set32(zeroHeight, 22, 0);
    EXPECT_FALSE(loadBmp(zeroHeight, dib));
    // A 32-bit file whose rows do not fit goes to the picture loader, which
    // may decode what there is; never a read past the end.
    Bytes cut(good.begin(), good.end() - 4);
    if (loadBmp(cut, dib)) {
        EXPECT_EQ(dib.Width(), 2);
    }

    // A 24-bit file through the picture loader: opaque bitmap.
    QImage img(3, 2, QImage::Format_RGB888);
    img.fill(QColor(10, 20, 30));
    img.setPixelColor(0, 0, QColor(200, 100, 50));
    QByteArray encoded;
    QBuffer buf(&encoded);
    buf.open(QIODevice::WriteOnly);
    ASSERT_TRUE(img.save(&buf, "BMP"));
    const Bytes bmp24(encoded.begin(), encoded.end());
    ASSERT_TRUE(loadBmp(bmp24, dib));
    EXPECT_EQ(dib.ImageType(), imaging::Bitmap);
    EXPECT_FALSE(dib.Alpha());
    EXPECT_EQ(pixelAt(dib, 0, 0), (Pixel{50, 100, 200, 255}));
    EXPECT_EQ(pixelAt(dib, 2, 1), (Pixel{30, 20, 10, 255}));

    // A JPEG: a bitmap of its size, colours close to the source.
    QImage photo(16, 8, QImage::Format_RGB32);
    photo.fill(QColor(40, 120, 200));
    QByteArray jpeg;
    QBuffer jb(&jpeg);
    jb.open(QIODevice::WriteOnly);
    ASSERT_TRUE(photo.save(&jb, "JPEG", 95));
    ASSERT_TRUE(loadBmp(Bytes(jpeg.begin(), jpeg.end()), dib));
    EXPECT_EQ(dib.ImageType(), imaging::Bitmap);
    EXPECT_EQ(dib.Width(), 16);
    EXPECT_EQ(dib.Height(), 8);
    const Pixel p = pixelAt(dib, 7, 4);
    EXPECT_NEAR(p.r, 40, 4);
    EXPECT_NEAR(p.g, 120, 4);
    EXPECT_NEAR(p.b, 200, 4);
    EXPECT_EQ(p.a, 255);

    // Metafile bytes (a placeable metafile and an enhanced metafile header) give no picture.
    Bytes wmf = {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0, 100, 0, 100, 0, 0xA0, 0x05, 0, 0, 0, 0, 0x31, 0x10};
    wmf.insert(wmf.end(), {1, 0, 9, 0, 0, 3, 0x20, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
    wmf.resize(120, 0);
    Bytes emf(120, 0);
    set32(emf, 0, 1);
    set32(emf, 4, 108);
    set32(emf, 40, 0x464D4520);   // " EMF"
    for (const Bytes &meta : {wmf, emf}) {
        imaging::c32bppDIB fresh;
        EXPECT_FALSE(loadBmp(meta, fresh));
        EXPECT_EQ(fresh.Handle(), 0u);
    }
}

TEST(BitmapDecoder, PictureConversionOfAnEmptyOrMissingPicture)
{
    imaging::cBMPparser bmp;
    imaging::c32bppDIB dib;
    EXPECT_FALSE(bmp.ConvertstdPicTo32bpp(nullptr, dib, 0));
}
