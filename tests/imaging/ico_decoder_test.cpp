// The icon and cursor decoder on hand-made files: entry choice, masks and
// alpha, cursors, PNG entries, header rewrites and refused directories.
#include "formats_fixture.h"

#include "imaging/ico_parser.h"

#include <gtest/gtest.h>

using namespace fmttest;

namespace {

// Decodes into dib (or only reads the directory when dib is null).
bool loadIcon(imaging::cICOparser &ico, Bytes &file, imaging::c32bppDIB *dib, int w = 0, int h = 0, int depth = 32)
{
    imaging::ByteArray bytes = toArray(file);
    std::int32_t offset = 0, length = 0, bits = depth;
    std::uint32_t token = 0;
    const bool r = ico.LoadStream(bytes, w, h, dib, offset, length, bits, token);
    file = bytes.toVector();
    return r;
}

// The directory order of the program's own icons: 16, 24, 32, 48 at 8 and 32 bits.
Bytes eightEntryIcon()
{
    std::vector<IconImage> images;
    for (int size : {16, 24, 32, 48})
        for (int bits : {8, 32})
            images.push_back(solidImage(size, bits));
    return iconFile(images);
}

} // namespace

TEST(IconDecoder, PicksTheEntryOfTheWorkedExample)
{
    Bytes file = eightEntryIcon();
    imaging::cICOparser ico;
    ASSERT_TRUE(loadIcon(ico, file, nullptr));
    ASSERT_EQ(ico.IconCount(), 8);
    EXPECT_EQ(ico.PickBestEntry(32, 32, 32), 6);
    // 20 x 20: entry 1 scores 8, entry 4 also 8 (not strictly lower).
    EXPECT_EQ(ico.PickBestEntry(20, 20, 32), 1);
    // 0 x 0 is read as 32 x 32.
    EXPECT_EQ(ico.PickBestEntry(0, 0, 32), 6);
    EXPECT_EQ(ico.PickBestEntry(48, 48, 8), 7);

    imaging::c32bppDIB dib;
    ASSERT_TRUE(loadIcon(ico, file, &dib, 0, 0, 32));
    EXPECT_EQ(dib.Width(), 32);
    EXPECT_EQ(dib.ImageType(), imaging::AlphaIcon);
    EXPECT_EQ(pixelAt(dib, 5, 5), (Pixel{0x99, 0x66, 0x33, 255}));
}

TEST(IconDecoder, SecondPassWhenEveryEntryIsSmaller)
{
    // 16 and 24 pixels only, 32 wanted: all first-pass scores are negative; the
    // second pass, from the last entry down, takes 24 at 32 bits (score 32).
    Bytes file = iconFile({solidImage(16, 8), solidImage(16, 32), solidImage(24, 8), solidImage(24, 32)});
    imaging::cICOparser ico;
    imaging::c32bppDIB dib;
    ASSERT_TRUE(loadIcon(ico, file, &dib, 32, 32, 32));
    EXPECT_EQ(ico.PickBestEntry(32, 32, 32), 4);
    EXPECT_EQ(dib.Width(), 24);
    EXPECT_EQ(dib.ImageType(), imaging::AlphaIcon);
}

TEST(IconDecoder, OneEntryIsDecodedWhateverTheWantedSize)
{
    Bytes file = iconFile({solidImage(16, 4)});
    imaging::cICOparser ico;
    imaging::c32bppDIB dib;
    ASSERT_TRUE(loadIcon(ico, file, &dib, 200, 3, 1));
    EXPECT_EQ(dib.Width(), 16);
    EXPECT_EQ(dib.ImageType(), imaging::Icon);
}

TEST(IconDecoder, MaskRulesAndAlphaChannel)
{
    // 8 bits, mask all clear: opaque, Alpha false.
    IconImage clear = solidImage(8, 8);
    Bytes f1 = iconFile({clear});
    imaging::cICOparser ico;
    imaging::c32bppDIB dib;
    ASSERT_TRUE(loadIcon(ico, f1, &dib));
    EXPECT_EQ(dib.ImageType(), imaging::Icon);
    EXPECT_FALSE(dib.Alpha());
    EXPECT_EQ(pixelAt(dib, 3, 3), (Pixel{0x99, 0x66, 0x33, 255}));

    // One mask bit set: that pixel is all zero, Alpha true.
    IconImage one = clear;
    one.mask.assign(64, false);
    one.mask[2 * 8 + 5] = true;   // (5, 2)
    Bytes f2 = iconFile({one});
    ASSERT_TRUE(loadIcon(ico, f2, &dib));
    EXPECT_TRUE(dib.Alpha());
    EXPECT_EQ(pixelAt(dib, 5, 2), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(pixelAt(dib, 4, 2), (Pixel{0x99, 0x66, 0x33, 255}));

    // 32 bits with every alpha 0: fully transparent, the mask is not consulted.
    IconImage zero = solidImage(4, 32, 0x00336699);
    Bytes f3 = iconFile({zero});
    ASSERT_TRUE(loadIcon(ico, f3, &dib));
    EXPECT_EQ(dib.ImageType(), imaging::AlphaIcon);
    EXPECT_TRUE(dib.Alpha());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(pixelAt(dib, x, y), (Pixel{0, 0, 0, 0}));

    // 32 bits, straight alpha 128: premultiplied by truncation.
    Bytes f4 = iconFile({solidImage(2, 32, 0x80FF8040)});
    ASSERT_TRUE(loadIcon(ico, f4, &dib));
    EXPECT_EQ(pixelAt(dib, 0, 0), (Pixel{0x40 * 128 / 255, 0x80 * 128 / 255, 255 * 128 / 255, 128}));
}

TEST(IconDecoder, DepthsConvertThroughTheDrawingLayer)
{
    // 1, 4 and 8 bits through the palette, 16 bits as 5-5-5, 24 bits as is; the
    // top-left pixel tells that rows come out upright.
    struct Case {
        int bits;
        std::uint32_t topLeft, other;
        Pixel expectTopLeft, expectOther;
    };
    const Case cases[] = {
        {1, 1, 0, {0x99, 0x66, 0x33, 255}, {0, 0, 0, 255}},
        {4, 1, 0, {0x99, 0x66, 0x33, 255}, {0, 0, 0, 255}},
        {8, 1, 0, {0x99, 0x66, 0x33, 255}, {0, 0, 0, 255}},
        // 5-5-5: red 31, green 0, blue 16
        {16, (31u << 10) | 16u, 0, {0x84, 0, 0xFF, 255}, {0, 0, 0, 255}},
        {24, 0x102030, 0x405060, {0x30, 0x20, 0x10, 255}, {0x60, 0x50, 0x40, 255}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bits);
        IconImage im;
        im.width = 5;
        im.height = 3;
        im.bits = c.bits;
        im.palette = {0x000000, 0x336699};
        im.pixels.assign(15, c.other);
        im.pixels[0] = c.topLeft;
        Bytes f = iconFile({im});
        imaging::cICOparser ico;
        imaging::c32bppDIB dib;
        ASSERT_TRUE(loadIcon(ico, f, &dib));
        ASSERT_EQ(dib.Width(), 5);
        ASSERT_EQ(dib.Height(), 3);
        EXPECT_EQ(pixelAt(dib, 0, 0), c.expectTopLeft);
        EXPECT_EQ(pixelAt(dib, 4, 2), c.expectOther);
    }
}

TEST(IconDecoder, CursorTypes)
{
    imaging::cICOparser ico;
    imaging::c32bppDIB dib;
    Bytes masked = iconFile({solidImage(8, 8)}, 2);
    ASSERT_TRUE(loadIcon(ico, masked, &dib));
    EXPECT_TRUE(ico.isCursor());
    EXPECT_EQ(dib.ImageType(), imaging::Cursor);
    Bytes alpha = iconFile({solidImage(8, 32)}, 2);
    ASSERT_TRUE(loadIcon(ico, alpha, &dib));
    EXPECT_EQ(dib.ImageType(), imaging::AlphaCursor);
}

TEST(IconDecoder, PngEntryOf256Pixels)
{
    std::vector<Bytes> rows(256, Bytes(256 * 4, 0));
    for (Bytes &r : rows)
        for (int x = 0; x < 256; ++x) {
            r[std::size_t(x * 4)] = 200;          // red
            r[std::size_t(x * 4 + 3)] = x == 0 ? 0 : 255;
        }
    IconImage im;
    im.width = im.height = 256;   // stored as 0 bytes
    im.png = pngtest::simplePng(256, 256, 8, 6, rows);
    im.dirBits = 0;               // derived from the PNG header: RGBA gives 32
    Bytes f = iconFile({solidImage(16, 8), im});
    imaging::cICOparser ico;
    imaging::c32bppDIB dib;
    ASSERT_TRUE(loadIcon(ico, f, &dib, 256, 256, 32));
    EXPECT_EQ(f[6 + 16], 0);
    EXPECT_EQ(ico.Width(2), 256);
    EXPECT_EQ(ico.Height(2), 256);
    EXPECT_EQ(ico.bitDepth(2), 32);
    EXPECT_TRUE(ico.IsIconPNG(2));
    EXPECT_FALSE(ico.IsIconPNG(1));
    EXPECT_EQ(dib.ImageType(), imaging::PngIcon);
    EXPECT_EQ(dib.Width(), 256);
    EXPECT_EQ(pixelAt(dib, 0, 0), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(pixelAt(dib, 1, 0), (Pixel{0, 0, 200, 255}));
}

TEST(IconDecoder, BitmapEntry256PixelsWideIsComputedWith256)
{
    IconImage im = solidImage(256, 8);
    Bytes f = iconFile({im});
    imaging::cICOparser ico;
    imaging::c32bppDIB dib;
    ASSERT_TRUE(loadIcon(ico, f, &dib));
    EXPECT_EQ(dib.Width(), 256);
    EXPECT_EQ(dib.Height(), 256);
    EXPECT_EQ(pixelAt(dib, 255, 255), (Pixel{0x99, 0x66, 0x33, 255}));
}

TEST(IconDecoder, RewritesHeadersInTheCallersArray)
{
    IconImage noBits = solidImage(4, 4);
    Bytes f = iconFile({noBits});
    const std::size_t header = 6 + 16;
    f[header + 14] = 0;   // the bitmap header gives no bit count: the directory's is written in
    set32(f, header + 20, 999);   // image size
    set32(f, header + 24, 2835);  // resolution
    imaging::cICOparser ico;
    imaging::c32bppDIB dib;
    ASSERT_TRUE(loadIcon(ico, f, &dib));
    EXPECT_EQ(f[header + 14], 4);
    EXPECT_EQ(f[header + 8], 4);       // single height
    EXPECT_EQ(f[header + 20], 0);
    EXPECT_EQ(f[header + 24], 0);
    EXPECT_EQ(f[header + 32], ico.ColorCount(1));
    EXPECT_EQ(ico.ColorCount(1), 16);

    // Neither header nor directory has a bit count: the directory is not valid
    // (and that entry is never chosen), the other entry still decodes.
    Bytes g = iconFile({solidImage(4, 4), solidImage(8, 8)});
    g[6 + 6] = 0;
    g[6 + 32 + 14] = 0;
    EXPECT_FALSE(loadIcon(ico, g, &dib, 8, 8, 4));
    EXPECT_EQ(ico.bitDepth(1), 0);
    EXPECT_EQ(dib.Width(), 8);
}

TEST(IconDecoder, DirectoryWithoutSurfaceAndRefusedFiles)
{
    Bytes good = eightEntryIcon();
    imaging::cICOparser ico;
    ASSERT_TRUE(loadIcon(ico, good, nullptr));
    EXPECT_EQ(ico.Entries().size(), 8u);
    EXPECT_EQ(ico.Entries()[7].width, 48);
    EXPECT_EQ(ico.Entries()[7].bitDepth, 32);

    auto mutate = [&](auto f) {
        Bytes b = good;
        f(b);
        return b;
    };
    const std::vector<std::pair<const char *, Bytes>> refused = {
        {"reserved", mutate([](Bytes &b) { b[0] = 1; })},
        {"type 3", mutate([](Bytes &b) { b[2] = 3; })},
        {"no entries", mutate([](Bytes &b) { b[4] = 0; })},
        {"negative count", mutate([](Bytes &b) { b[5] = 0x80; })},
        {"directory past the end", mutate([](Bytes &b) { b.resize(6 + 16 * 7); })},
        {"sizes past the end", mutate([](Bytes &b) { set32(b, 6 + 8, 0x7FFFFFFF); })},
        {"offset past the end", mutate([](Bytes &b) { set32(b, 6 + 12, 0xFFFFFFF0); })},
        {"short", Bytes{0, 0, 1}},
    };
    for (const auto &[name, bytes] : refused) {
        SCOPED_TRACE(name);
        Bytes b = bytes;
        imaging::c32bppDIB dib;
        ASSERT_TRUE(dib.InitializeDIB(3, 3));
        EXPECT_FALSE(loadIcon(ico, b, &dib));
        EXPECT_EQ(dib.Width(), 3);   // untouched
    }

    // An entry cut short with the file (rows and alpha past the end): the
    // directory is valid, the load leaves no image.
    Bytes cut = iconFile({solidImage(16, 32)});
    cut.resize(cut.size() - 600);
    set32(cut, 6 + 8, std::uint32_t(cut.size() - 22));
    imaging::c32bppDIB dib;
    EXPECT_TRUE(loadIcon(ico, cut, &dib));
    EXPECT_EQ(dib.Handle(), 0u);
    EXPECT_EQ(dib.ImageType(), imaging::NoImage);
}

TEST(IconDecoder, ConvertsIconPictures)
{
    // An alpha icon handle: colour 2 x 2 with one masked pixel.
    gdi::HBITMAP colour = 0;
    std::uint8_t *bits = nullptr;
    colour = gdi::CreateDIBSection(0, gdi::makeBitmapInfo(2, 2, 32), gdi::DIB_RGB_COLORS, &bits);
    for (int i = 0; i < 4; ++i) {
        bits[i * 4] = 10;
        bits[i * 4 + 1] = 20;
        bits[i * 4 + 2] = 30;
        bits[i * 4 + 3] = 255;
    }
    const std::uint8_t maskRows[4] = {0x80, 0, 0, 0};   // top-left masked, rows of 2 bytes
    const gdi::HBITMAP mask = gdi::CreateBitmap(2, 2, 1, 1, maskRows);
    gdi::ICONINFO info;
    info.fIcon = false;
    info.hbmColor = colour;
    info.hbmMask = mask;
    const gdi::HICON icon = gdi::CreateIconIndirect(info);
    gdi::DeleteObject(colour);
    gdi::DeleteObject(mask);
    ASSERT_TRUE(icon);
    const platform::Picture pic = platform::OleCreatePictureIndirect(platform::PICTYPE_ICON, icon, true);
    ASSERT_TRUE(pic);
    imaging::cICOparser ico;
    imaging::c32bppDIB dib;
    ASSERT_TRUE(ico.ConvertstdPicTo32bpp(pic, dib));
    EXPECT_EQ(dib.ImageType(), imaging::Cursor);
    EXPECT_TRUE(dib.Alpha());
    EXPECT_EQ(pixelAt(dib, 0, 0), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(pixelAt(dib, 1, 1), (Pixel{10, 20, 30, 255}));
    EXPECT_FALSE(ico.ConvertstdPicTo32bpp(nullptr, dib));
}
