// Shared routines: row sizes, byte order, grey weights, alpha classification,
// files and the compression bridge.
#include "imaging/parsers.h"
#include "imaging/zlib_bridge.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace imaging;

TEST(ParsersTest, ScanlineBytesAndByteOrder)
{
    EXPECT_EQ(ScanlineBytes(5, 24), 16);
    EXPECT_EQ(ScanlineBytes(24, 5), 16);   // either order
    EXPECT_EQ(ScanlineBytes(1, 1), 4);
    EXPECT_EQ(ScanlineBytes(32, 1), 4);
    EXPECT_EQ(ScanlineBytes(33, 1), 8);
    EXPECT_EQ(ScanlineBytes(0, 32), 0);
    EXPECT_EQ(ScanlineBytes(-4, 8), 0);
    EXPECT_EQ(ScanlineBytes(INT32_MAX, 32), 0);   // overflow is refused
    EXPECT_EQ(FlipLongBytes(0x0000000Du), 0x0D000000u);
    EXPECT_EQ(FlipLongBytes(0x12345678u), 0x78563412u);
    EXPECT_EQ(UnsignedAdd(std::uintptr_t(-2), 3), std::uintptr_t(1));
}

TEST(ParsersTest, GrayscaleWeightsTable)
{
    struct Case {
        int formula;
        float r, g, b;
    };
    const Case cases[] = {
        {-1, 1, 1, 1},         {0, 0.299f, 0.587f, 0.114f}, {1, 0.213f, 0.715f, 0.072f},
        {2, 0.333f, 0.334f, 0.333f}, {3, 0.8f, 0.1f, 0.1f},  {4, 0.1f, 0.8f, 0.1f},
        {5, 0.1f, 0.1f, 0.8f}, {6, 0.45f, 0.45f, 0.1f},     {7, 0.1f, 0.45f, 0.45f},
        {8, 0.299f, 0.587f, 0.114f}, {-7, 0.299f, 0.587f, 0.114f},
    };
    for (const Case &c : cases) {
        const GrayWeights w = GrayscaleWeights(c.formula);
        EXPECT_FLOAT_EQ(w.red, c.r) << c.formula;
        EXPECT_FLOAT_EQ(w.green, c.g) << c.formula;
        EXPECT_FLOAT_EQ(w.blue, c.b) << c.formula;
    }
}

TEST(ParsersTest, ClassifyAlphaChannelTable)
{
    struct Case {
        const char *name;
        std::vector<std::uint8_t> pixels;   // B, G, R, A
        int typeIn;
        int type;
        bool hasAlpha;
        std::vector<std::uint8_t> fixed;    // after the fix-up
    };
    const Case cases[] = {
        {"all opaque", {1, 2, 3, 255, 4, 5, 6, 255}, 0, 1, false, {1, 2, 3, 255, 4, 5, 6, 255}},
        {"all transparent", {0, 0, 0, 0, 9, 9, 9, 0}, 0, 1, false, {0, 0, 0, 255, 9, 9, 9, 255}},
        {"premultiplied", {10, 20, 30, 128, 0, 0, 0, 0, 1, 2, 3, 255}, 0, 7, true,
         {10, 20, 30, 128, 0, 0, 0, 0, 1, 2, 3, 255}},
        {"colour under alpha 0", {0, 0, 0, 255, 50, 60, 70, 0, 200, 100, 50, 255}, 0, 6, true,
         {0, 0, 0, 255, 0, 0, 0, 0, 200, 100, 50, 255}},
        {"colour above alpha", {200, 100, 50, 128, 0, 0, 0, 255}, 0, 6, true,
         {200 * 128 / 255, 100 * 128 / 255, 50 * 128 / 255, 128, 0, 0, 0, 255}},
        {"type -1: no scan", {10, 20, 30, 128}, -1, 1, false, {10, 20, 30, 255}},
    };
    for (const Case &c : cases) {
        for (bool fixUp : {false, true}) {
            std::vector<std::uint8_t> px = c.pixels;
            bool hasAlpha = !c.hasAlpha;
            std::int32_t type = c.typeIn;
            ClassifyAlphaChannel(px.data(), px.size() / 4, fixUp, hasAlpha, type);
            EXPECT_EQ(type, c.type) << c.name;
            EXPECT_EQ(hasAlpha, c.hasAlpha) << c.name;
            EXPECT_EQ(px, fixUp ? c.fixed : c.pixels) << c.name << " fixUp " << fixUp;
        }
    }
}

TEST(ParsersTest, FileRoutines)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath(QStringLiteral("그림 1.bmp"));
    EXPECT_FALSE(FileExists(name));
    EXPECT_EQ(OpenFileHandle(name, true), INVALID_HANDLE_VALUE);
    const int w = OpenFileHandle(name, false);
    ASSERT_NE(w, INVALID_HANDLE_VALUE);
    ASSERT_EQ(::write(w, "abc", 3), 3);
    CloseFileHandle(w);
    EXPECT_TRUE(FileExists(name));
    // Writing again truncates.
    CloseFileHandle(OpenFileHandle(name, false));
    EXPECT_EQ(QFile(name).size(), 0);
    // A read-only file is still deleted.
    ::chmod(QFile::encodeName(name).constData(), 0444);
    const int r = OpenFileHandle(name, true);
    EXPECT_NE(r, INVALID_HANDLE_VALUE);
    CloseFileHandle(r);
    EXPECT_TRUE(DeleteFileForced(name));
    EXPECT_FALSE(FileExists(name));
    EXPECT_FALSE(DeleteFileForced(name));
    EXPECT_FALSE(DeleteFileForced(dir.path()));   // never a folder
    EXPECT_FALSE(FileExists(QString()));
}

TEST(ZlibBridgeTest, FindCrcAndRoundTrip)
{
    ZlibInfo info;
    ASSERT_TRUE(FindZlib(info, false));
    EXPECT_EQ(info.flavour, 2);
    EXPECT_TRUE(info.hasCompress2);
    EXPECT_FALSE(info.cdecl);

    const std::uint8_t iend[] = {'I', 'E', 'N', 'D'};
    EXPECT_EQ(zlib::crc32(0, iend), 0xAE426082u);

    std::vector<std::uint8_t> data(10000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t(i % 251);
    std::vector<std::uint8_t> packed(zlib::compressBound(data.size()));
    std::size_t n = 0;
    ASSERT_EQ(zlib::compress2(packed, n, data, 9), zlib::Z_OK);
    packed.resize(n);
    std::vector<std::uint8_t> back(data.size());
    std::size_t m = 0;
    ASSERT_EQ(zlib::uncompress(back, m, packed), zlib::Z_OK);
    EXPECT_EQ(m, data.size());
    EXPECT_EQ(back, data);
    // A destination too small fails without writing past it.
    std::vector<std::uint8_t> small(100);
    EXPECT_NE(zlib::uncompress(small, m, packed), zlib::Z_OK);
    // Corrupt data fails.
    packed[packed.size() / 2] ^= 0xFF;
    EXPECT_NE(zlib::uncompress(back, m, packed), zlib::Z_OK);
}
