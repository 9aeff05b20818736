// The PNG decoder on small hand-made files: colour conversion, transparency,
// interlacing, chunk handling and the failures that keep or destroy the surface.
#include "png_fixture.h"

#include "imaging/png/png_decoder.h"

#include <gtest/gtest.h>

using namespace pngtest;
using imaging::c32bppDIB;

namespace {

// Adam7 pass data (filter byte 0 per row) of an image with 8-bit samples.
Bytes adam7Raw(int w, int h, int bytesPerPixel, const Bytes &pixels)
{
    static const int pass[7][4] = {{0, 0, 8, 8}, {0, 4, 8, 8}, {4, 0, 8, 4}, {0, 2, 4, 4},
                                   {2, 0, 4, 2}, {0, 1, 2, 2}, {1, 0, 2, 1}};
    Bytes raw;
    for (const auto &p : pass) {
        for (int y = p[0]; y < h; y += p[2]) {
            if (p[1] >= w)
                break; // an empty pass has no rows at all
            raw.push_back(0);
            for (int x = p[1]; x < w; x += p[3])
                for (int k = 0; k < bytesPerPixel; ++k)
                    raw.push_back(pixels[std::size_t((y * w + x) * bytesPerPixel + k)]);
        }
    }
    return raw;
}

std::uint32_t adlerOf(const Bytes &raw) { return std::uint32_t(adler32(adler32(0, nullptr, 0), raw.data(), uInt(raw.size()))); }

} // namespace

TEST(PngDecoder, PremultipliesRgbaByTruncation)
{
    const Bytes file = simplePng(3, 1, 8, 6, {{200, 100, 50, 128, 10, 20, 30, 0, 10, 20, 30, 255}});
    c32bppDIB dib;
    ASSERT_TRUE(loadPng(file, dib));
    ASSERT_NE(dib.Handle(), 0u);
    EXPECT_EQ(pixelAt(dib, 0, 0), (Pixel{25, 50, 100, 128}));
    EXPECT_EQ(pixelAt(dib, 1, 0), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(pixelAt(dib, 2, 0), (Pixel{30, 20, 10, 255}));
    EXPECT_EQ(dib.ImageType(), imaging::Png);
    EXPECT_TRUE(dib.Alpha());
}

TEST(PngDecoder, LowDepthGreyUsesTheGreyRamp)
{
    // 1-bit: 1010 0000, second row 0101 0000; opaque, no alpha.
    c32bppDIB one;
    ASSERT_TRUE(loadPng(simplePng(4, 2, 1, 0, {{0xA0}, {0x50}}), one));
    ASSERT_NE(one.Handle(), 0u);
    EXPECT_EQ(pixelAt(one, 0, 0), (Pixel{255, 255, 255, 255}));
    EXPECT_EQ(pixelAt(one, 1, 0), (Pixel{0, 0, 0, 255}));
    EXPECT_EQ(pixelAt(one, 0, 1), (Pixel{0, 0, 0, 255}));
    EXPECT_EQ(pixelAt(one, 3, 1), (Pixel{255, 255, 255, 255}));
    EXPECT_FALSE(one.Alpha());

    // 2-bit: samples 0, 1, 2, 3 in one byte, most significant first.
    c32bppDIB two;
    ASSERT_TRUE(loadPng(simplePng(4, 1, 2, 0, {{0x1B}}), two));
    ASSERT_NE(two.Handle(), 0u);
    const int expected[4] = {0, 85, 170, 255};
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(pixelAt(two, x, 0), (Pixel{expected[x], expected[x], expected[x], 255})) << x;
}

TEST(PngDecoder, ShortPaletteTransparencyLeavesTheRestOpaque)
{
    const Bytes file = PngFile()
                           .ihdr(3, 1, 8, 3)
                           .chunk("PLTE", {255, 0, 0, 0, 255, 0, 0, 0, 255})
                           .chunk("tRNS", {0, 128}) // entries 0 and 1 only
                           .idat(deflate(unfilteredRows({{0, 1, 2}})))
                           .iend()
                           .bytes;
    c32bppDIB dib;
    ASSERT_TRUE(loadPng(file, dib));
    ASSERT_NE(dib.Handle(), 0u);
    EXPECT_EQ(pixelAt(dib, 0, 0), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(pixelAt(dib, 1, 0), (Pixel{0, 128, 0, 128}));
    EXPECT_EQ(pixelAt(dib, 2, 0), (Pixel{255, 0, 0, 255}));
    EXPECT_TRUE(dib.Alpha());
}

TEST(PngDecoder, RgbTransparentColour)
{
    // tRNS colour (10, 20, 30): only the exact match turns transparent.
    const Bytes trns = {0, 10, 0, 20, 0, 30};
    const Bytes file = PngFile()
                           .ihdr(2, 1, 8, 2)
                           .chunk("tRNS", trns)
                           .idat(deflate(unfilteredRows({{10, 20, 30, 10, 20, 31}})))
                           .iend()
                           .bytes;
    c32bppDIB dib;
    ASSERT_TRUE(loadPng(file, dib));
    EXPECT_EQ(pixelAt(dib, 0, 0), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(pixelAt(dib, 1, 0), (Pixel{31, 20, 10, 255}));
    EXPECT_TRUE(dib.Alpha());

    // Alpha is set by the chunk even when no pixel matches.
    const Bytes none = PngFile()
                           .ihdr(1, 1, 8, 2)
                           .chunk("tRNS", trns)
                           .idat(deflate(unfilteredRows({{1, 2, 3}})))
                           .iend()
                           .bytes;
    c32bppDIB opaque;
    ASSERT_TRUE(loadPng(none, opaque));
    EXPECT_EQ(pixelAt(opaque, 0, 0), (Pixel{3, 2, 1, 255}));
    EXPECT_TRUE(opaque.Alpha());
}

TEST(PngDecoder, SixteenBitSamplesKeepTheirHighByte)
{
    // RGB 16: (0x12FF, 0x3400, 0x56AA) and (0x1200, 0x34FF, 0x5601) decode alike.
    c32bppDIB dib;
    ASSERT_TRUE(loadPng(simplePng(2, 1, 16, 2, {{0x12, 0xFF, 0x34, 0x00, 0x56, 0xAA, 0x12, 0x00, 0x34, 0xFF, 0x56, 0x01}}),
                        dib));
    ASSERT_NE(dib.Handle(), 0u);
    EXPECT_EQ(pixelAt(dib, 0, 0), (Pixel{0x56, 0x34, 0x12, 255}));
    EXPECT_EQ(pixelAt(dib, 1, 0), pixelAt(dib, 0, 0));
    EXPECT_FALSE(dib.Alpha());

    // Grey 16 with tRNS 0x1280: the high byte alone decides transparency.
    const Bytes file = PngFile()
                           .ihdr(2, 1, 16, 0)
                           .chunk("tRNS", {0x12, 0x80})
                           .idat(deflate(unfilteredRows({{0x12, 0x00, 0x13, 0x00}})))
                           .iend()
                           .bytes;
    c32bppDIB grey;
    ASSERT_TRUE(loadPng(file, grey));
    EXPECT_EQ(pixelAt(grey, 0, 0), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(pixelAt(grey, 1, 0), (Pixel{0x13, 0x13, 0x13, 255}));
}

TEST(PngDecoder, InterlacedImagesWithEmptyPasses)
{
    for (const auto &[w, h] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{9, 5}}) {
        Bytes pixels;
        for (int i = 0; i < w * h; ++i)
            pixels.insert(pixels.end(), {std::uint8_t(i * 20), std::uint8_t(255 - i), std::uint8_t(i), 255});
        const Bytes file = PngFile().ihdr(w, h, 8, 6, 1).idat(deflate(adam7Raw(w, h, 4, pixels))).iend().bytes;
        c32bppDIB dib;
        ASSERT_TRUE(loadPng(file, dib));
        ASSERT_NE(dib.Handle(), 0u) << w << "x" << h;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint8_t *s = &pixels[std::size_t((y * w + x) * 4)];
                EXPECT_EQ(pixelAt(dib, x, y), (Pixel{s[2], s[1], s[0], 255})) << w << "x" << h << " at " << x << "," << y;
            }
    }
}

TEST(PngDecoder, ChunkHandling)
{
    const Bytes raw = unfilteredRows({{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}});
    const Bytes z = deflate(raw);
    const std::size_t half = z.size() / 2;
    // An unknown critical chunk and an ancillary one are skipped; image data split
    // over several IDAT chunks, one of them empty, is joined in order.
    const Bytes file = PngFile()
                           .ihdr(2, 2, 8, 2)
                           .chunk("ZZZZ", {1, 2, 3})
                           .chunk("tEXt", {'a', 0, 'b'})
                           .idat(Bytes(z.begin(), z.begin() + long(half)))
                           .idat({})
                           .chunk("QQQQ", {})
                           .idat(Bytes(z.begin() + long(half), z.end()))
                           .iend()
                           .bytes;
    c32bppDIB dib;
    ASSERT_TRUE(loadPng(file, dib));
    ASSERT_NE(dib.Handle(), 0u);
    EXPECT_EQ(pixelAt(dib, 0, 0), (Pixel{3, 2, 1, 255}));
    EXPECT_EQ(pixelAt(dib, 1, 1), (Pixel{12, 11, 10, 255}));

    // A stored CRC of 0 is not tested.
    const std::uint32_t zero = 0;
    const Bytes noCrc = PngFile().ihdr(2, 2, 8, 2).chunk("IDAT", z, &zero).iend().bytes;
    c32bppDIB dib2;
    ASSERT_TRUE(loadPng(noCrc, dib2));
    EXPECT_NE(dib2.Handle(), 0u);
}

TEST(PngDecoder, WrongAdlerDecodesThroughTheBuiltInInflater)
{
    const Bytes raw = unfilteredRows({{9, 255, 7, 128}, {5, 255, 200, 100}});
    Bytes z = deflate(raw);
    ASSERT_EQ(z[z.size() - 1], std::uint8_t(adlerOf(raw)));
    z[z.size() - 1] ^= 0x55;
    uLongf len = uLongf(raw.size());
    Bytes check(raw.size());
    ASSERT_NE(uncompress(check.data(), &len, z.data(), uLong(z.size())), Z_OK); // the library refuses it
    c32bppDIB dib;
    ASSERT_TRUE(loadPng(PngFile().ihdr(2, 2, 8, 4).idat(z).iend().bytes, dib));
    ASSERT_NE(dib.Handle(), 0u);
    EXPECT_EQ(pixelAt(dib, 1, 1), (Pixel{78, 78, 78, 100})); // 200 x 100 / 255
}

TEST(PngDecoder, UnknownFilterType)
{
    // Plain image: the row stays as stored. Interlaced: the decode fails.
    Bytes raw = {7, 1, 2, 3};
    c32bppDIB plain;
    ASSERT_TRUE(loadPng(PngFile().ihdr(1, 1, 8, 2).idat(deflate(raw)).iend().bytes, plain));
    ASSERT_NE(plain.Handle(), 0u);
    EXPECT_EQ(pixelAt(plain, 0, 0), (Pixel{3, 2, 1, 255}));
    c32bppDIB interlaced;
    EXPECT_TRUE(loadPng(PngFile().ihdr(1, 1, 8, 2, 1).idat(deflate(raw)).iend().bytes, interlaced));
    EXPECT_EQ(interlaced.Handle(), 0u);
}

TEST(PngDecoder, ShortImageDataLeavesZeroRows)
{
    // Only the first of two rows is present: the second decodes as stored zeros.
    c32bppDIB dib;
    ASSERT_TRUE(loadPng(PngFile().ihdr(1, 2, 8, 0).idat(deflate({0, 200})).iend().bytes, dib));
    ASSERT_NE(dib.Handle(), 0u);
    EXPECT_EQ(pixelAt(dib, 0, 0), (Pixel{200, 200, 200, 255}));
    EXPECT_EQ(pixelAt(dib, 0, 1), (Pixel{0, 0, 0, 255}));

    // The same far beyond the decoder's working buffer: 301 of 700 rows of RGB,
    // the last one cut short, and the zero rows decoded after the data ends.
    const int w = 500, h = 700, given = 301;
    Bytes raw;
    for (int y = 0; y < given; ++y) {
        raw.push_back(y % 2 ? 2 : 0); // Up and None filters
        for (int x = 0; x < w * 3; ++x)
            raw.push_back(y % 2 ? 0 : std::uint8_t(x + y));
    }
    raw.resize(raw.size() - 7);
    for (bool library : {true, false}) {
        c32bppDIB big;
        ASSERT_TRUE(loadPng(PngFile().ihdr(w, h, 8, 2).idat(deflate(raw)).iend().bytes, big, library));
        ASSERT_NE(big.Handle(), 0u);
        EXPECT_EQ(pixelAt(big, 10, 0), (Pixel{32, 31, 30, 255}));
        EXPECT_EQ(pixelAt(big, 10, 1), (Pixel{32, 31, 30, 255}));
        EXPECT_EQ(pixelAt(big, 0, 300), (Pixel{46, 45, 44, 255})); // 300 + x, as bytes
        EXPECT_EQ(pixelAt(big, w - 4, 300), (Pixel{254, 253, 252, 255})); // bytes 1488 to 1490
        EXPECT_EQ(pixelAt(big, w - 3, 300), (Pixel{0, 0, 255, 255}));     // the cut starts at its blue
        EXPECT_EQ(pixelAt(big, w - 1, 300), (Pixel{0, 0, 0, 255}));
        for (int y = given; y < h; y += 37)
            EXPECT_EQ(pixelAt(big, w / 2, y), (Pixel{0, 0, 0, 255})) << y;
    }
}

// Files that are PNG but do not decode. `keepsSurface`: the walk stopped before any
// pixel work, so an image already in the surface stays; otherwise it is destroyed.
TEST(PngDecoder, FailuresAnswerPngWithoutPixels)
{
    const Bytes good = simplePng(2, 1, 8, 0, {{1, 2}});
    const Bytes z = deflate(unfilteredRows({{1, 2}}));
    const std::uint32_t badCrc = 0x12345678;
    Bytes ihdrData;
    put32(ihdrData, 2);
    put32(ihdrData, 1);
    ihdrData.insert(ihdrData.end(), {8, 0, 0, 0, 0});
    Bytes overflowing = good;
    overflowing[8 + 3] = 0xFF; // IHDR length runs past the data

    struct Case {
        const char *name;
        Bytes file;
        bool keepsSurface;
    };
    const std::vector<Case> cases = {
        {"no IEND", Bytes(good.begin(), good.end() - 12), true},
        {"cut inside a chunk", Bytes(good.begin(), good.end() - 20), true},
        {"length past the end", overflowing, true},
        {"IHDR CRC", PngFile().chunk("IHDR", ihdrData, &badCrc).idat(z).iend().bytes, true},
        {"IDAT CRC", PngFile().ihdr(2, 1, 8, 0).chunk("IDAT", z, &badCrc).iend().bytes, true},
        {"PLTE length", PngFile().ihdr(2, 1, 8, 3).chunk("PLTE", {1, 2, 3, 4}).idat(z).iend().bytes, true},
        {"width 0", PngFile().ihdr(0, 1, 8, 0).idat(z).iend().bytes, true},
        {"height over 2^31", PngFile().ihdr(2, 0x80000000u, 8, 0).idat(z).iend().bytes, true},
        {"too large", PngFile().ihdr(65536, 1024, 8, 0).idat(z).iend().bytes, true},
        {"width and height 2^31 - 1", PngFile().ihdr(0x7FFFFFFF, 0x7FFFFFFF, 8, 0).idat(z).iend().bytes, true},
        {"bit depth 3", PngFile().ihdr(2, 1, 3, 0).idat(z).iend().bytes, true},
        {"colour type 5", PngFile().ihdr(2, 1, 8, 5).idat(z).iend().bytes, true},
        {"interlace 2", PngFile().ihdr(2, 1, 8, 0, 2).idat(z).iend().bytes, true},
        {"short IHDR", PngFile().chunk("IHDR", Bytes(ihdrData.begin(), ihdrData.begin() + 12)).idat(z).iend().bytes, true},
        {"no IDAT", PngFile().ihdr(2, 1, 8, 0).iend().bytes, true},
        {"no IHDR", PngFile().idat(z).iend().bytes, true},
        {"corrupt deflate", PngFile().ihdr(2, 1, 8, 0).idat({0x78, 0x9C, 0xFF, 0xFF, 0xFF}).iend().bytes, false},
        {"too much data", PngFile().ihdr(1, 1, 8, 0).idat(z).iend().bytes, false},
        {"palette index past PLTE",
         PngFile().ihdr(2, 1, 8, 3).chunk("PLTE", {1, 2, 3}).idat(z).iend().bytes, false},
        {"RGB at depth 4", PngFile().ihdr(1, 1, 4, 2).idat(deflate({0, 0x12, 0x30})).iend().bytes, false},
    };
    for (const Case &c : cases) {
        c32bppDIB dib;
        ASSERT_TRUE(dib.InitializeDIB(1, 1));
        EXPECT_TRUE(loadPng(c.file, dib)) << c.name;
        EXPECT_EQ(dib.Handle() != 0, c.keepsSurface) << c.name;
        if (c.keepsSurface) {
            EXPECT_EQ(dib.ImageType(), imaging::Blank) << c.name;
        }
    }
}

// A header whose width x 32 x height does not fit 64 bits (0x45000020 x 0x20000000),
// read without CRC checks, followed by nothing: the size check itself must not
// overflow.
TEST(PngDecoder, HugeHeaderSizeCheckDoesNotOverflow)
{
    const Bytes file = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00,
                        0x0D, 0x49, 0x48, 0x44, 0x52, 0x45, 0x00, 0x00, 0x20, 0x20, 0x00,
                        0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x56, 0x23, 0x50, 0x50};
    imaging::cPNGparser parser;
    parser.setCompressionLibrary(false);
    std::uint32_t token = 0;
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(1, 1));
    EXPECT_TRUE(parser.LoadStream(file, dib, 0, std::int32_t(file.size()), token));
    EXPECT_NE(dib.Handle(), 0u);
    EXPECT_EQ(dib.Width(), 1);
}

TEST(PngDecoder, SignatureAndView)
{
    const Bytes png = simplePng(1, 1, 8, 0, {{77}});
    imaging::cPNGparser parser;
    std::uint32_t token = 0;
    c32bppDIB dib;
    Bytes notPng = png;
    notPng[1] = 'Q';
    EXPECT_FALSE(parser.LoadStream(notPng, dib, 0, std::int32_t(notPng.size()), token));
    EXPECT_EQ(dib.Handle(), 0u);

    // A view in the middle of a larger array.
    Bytes padded(5, 0xEE);
    padded.insert(padded.end(), png.begin(), png.end());
    padded.insert(padded.end(), 7, 0xEE);
    EXPECT_TRUE(parser.LoadStream(padded, dib, 5, std::int32_t(png.size()), token));
    ASSERT_NE(dib.Handle(), 0u);
    EXPECT_EQ(pixelAt(dib, 0, 0), (Pixel{77, 77, 77, 255}));

    // Views outside the array are not PNG.
    for (auto [offset, length] : {std::pair{-1, 10}, std::pair{5, -1}, std::pair{6, int(png.size()) + 7},
                                  std::pair{int(padded.size()) + 1, 0}}) {
        c32bppDIB other;
        EXPECT_FALSE(parser.LoadStream(padded, other, offset, length, token)) << offset << " " << length;
    }
}

TEST(PngDecoder, SurfaceThatCannotBeMadeEndsInFailure)
{
    struct RefusingSink : imaging::png::SurfaceSink {
        std::uint8_t *create(std::int32_t, std::int32_t) override { return nullptr; }
        void destroy() override { ++destroyed; }
        void finish(bool) override { finished = true; }
        int destroyed = 0;
        bool finished = false;
    } sink;
    const Bytes png = simplePng(2, 1, 8, 0, {{1, 2}});
    imaging::png::StreamChunkSource source(png.data(), png.size());
    EXPECT_EQ(imaging::png::decodePng(source, sink), imaging::png::DecodeResult::Failed);
    EXPECT_EQ(sink.destroyed, 1);
    EXPECT_FALSE(sink.finished);
}
