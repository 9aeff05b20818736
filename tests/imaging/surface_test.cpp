// The 32-bit image surface: life cycle, drawing context, pixels and the
// layouts of GetDIBbits / SetDIBbits.
#include "imaging/c32bppDIB.h"
#include "imaging/parsers.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace imaging;

namespace {

// A small surface whose pixels are all different: straight colours with a
// mix of alphas (0, 255 and partial).
void fillPattern(c32bppDIB &dib)
{
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x) {
            const int a = (x + y) % 3 == 0 ? 255 : ((x + y) % 3 == 1 ? 0 : 100 + 10 * x);
            dib.SetPixel(x, y, gdi::RGB(10 + 40 * x, 20 + 30 * y, 200 - 20 * x), a);
        }
}

} // namespace

TEST(SurfaceTest, InitializeDIBSizes)
{
    struct Case {
        int w, h;
        bool ok;
        int rows;
    };
    const Case cases[] = {
        {10, -5, true, 5},  // negative height: still a bottom-up surface of 5 rows
        {10, 5, true, 5},
        {0, 5, false, 0},
        {10, 0, false, 0},
        {-1, 5, false, 0},
        {40000, 40000, false, 0},  // 6.4 GB: the byte count overflows
        {INT32_MAX, INT32_MAX, false, 0},   // width x height x 4 does not fit 64 bits
        {INT32_MAX, -INT32_MAX, false, 0},
        {1, INT32_MIN, false, 0},
    };
    for (const Case &c : cases) {
        c32bppDIB dib;
        EXPECT_EQ(dib.InitializeDIB(c.w, c.h), c.ok) << c.w << "x" << c.h;
        EXPECT_EQ(dib.Height(), c.rows);
        if (c.ok) {
            EXPECT_EQ(dib.Width(), c.w);
            EXPECT_NE(dib.Handle(), 0u);
            EXPECT_NE(dib.BitsPointer(), nullptr);
            EXPECT_EQ(dib.scanWidth(), c.w * 4);
            EXPECT_TRUE(dib.Alpha());
            EXPECT_EQ(dib.ImageType(), Blank);
            gdi::BITMAP bm;
            ASSERT_TRUE(gdi::GetObject(dib.Handle(), bm));
            EXPECT_EQ(bm.bmHeight, c.rows);
            EXPECT_EQ(bm.bmBits, dib.BitsPointer());
        } else {
            EXPECT_EQ(dib.Handle(), 0u);
            EXPECT_EQ(dib.BitsPointer(), nullptr);
            EXPECT_EQ(dib.Width(), 0);
            EXPECT_EQ(dib.ImageType(), NoImage);
            EXPECT_FALSE(dib.Alpha());
        }
    }
}

TEST(SurfaceTest, ConstructionFlagsAndDestroy)
{
    c32bppDIB dib;
    // Alpha-blend present and used, GDI+ impossible.
    EXPECT_EQ(dib.capabilityFlags(), 41u);
    EXPECT_TRUE(dib.isAlphaBlendFriendly());
    EXPECT_FALSE(dib.isGDIplusEnabled());
    EXPECT_FALSE(dib.HighQualityInterpolation());
    EXPECT_TRUE(dib.isZlibEnabled());
    EXPECT_TRUE(dib.useWideFileNames());
    EXPECT_EQ(dib.ImageType(), Blank);
    dib.setGDIplusEnabled(true);
    EXPECT_FALSE(dib.isGDIplusEnabled());
    EXPECT_EQ(dib.CreateGDIplusToken(), 0u);
    dib.setAlphaBlendFriendly(false);
    EXPECT_FALSE(dib.isAlphaBlendFriendly());
    dib.setAlphaBlendFriendly(true);
    EXPECT_TRUE(dib.isAlphaBlendFriendly());

    const int before = gdi::liveObjectCount();
    ASSERT_TRUE(dib.InitializeDIB(4, 4));
    const std::uint8_t bytes[] = {1, 2, 3};
    dib.setOriginalBytes(bytes);
    dib.setManageOwnDC(true);
    dib.setGdiToken(7);
    dib.DestroyDIB();
    EXPECT_EQ(dib.Handle(), 0u);
    EXPECT_EQ(dib.ImageType(), NoImage);
    EXPECT_TRUE(dib.originalBytes().empty());
    EXPECT_TRUE(dib.ManageOwnDC());     // kept
    EXPECT_EQ(dib.gdiToken(), 7u);      // kept
    EXPECT_EQ(gdi::liveObjectCount(), before);
}

TEST(SurfaceTest, EraseDIBClearsEverything)
{
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(3, 2));
    fillPattern(dib);
    dib.setImageType(Png);
    dib.setAlpha(false);
    dib.EraseDIB();
    EXPECT_EQ(dib.ImageType(), Blank);
    EXPECT_TRUE(dib.Alpha());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            std::int32_t a = -5;
            EXPECT_EQ(dib.GetPixel(x, y, &a), 0);
            EXPECT_EQ(a, 0);
        }
}

TEST(SurfaceTest, GetPixelOutsideAndWithoutImage)
{
    c32bppDIB dib;
    std::int32_t a = 99;
    EXPECT_EQ(dib.GetPixel(0, 0, &a), -1);
    EXPECT_EQ(a, 0);
    ASSERT_TRUE(dib.InitializeDIB(4, 3));
    for (auto [x, y] : {std::pair{4, 0}, {0, 3}, {-1, 0}, {0, -1}}) {
        a = 99;
        EXPECT_EQ(dib.GetPixel(x, y, &a), -1) << x << "," << y;
        EXPECT_EQ(a, 0);
    }
}

TEST(SurfaceTest, SetPixelPremultipliesAndReadsBack)
{
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(2, 2));
    dib.setAlpha(false);
    std::uint8_t *p = dib.SetPixel(0, 0, gdi::RGB(255, 0, 0), 128);
    // Top-left pixel lives in the last memory row.
    ASSERT_EQ(p, dib.BitsPointer() + 2 * 4);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[1], 0);
    EXPECT_EQ(p[2], 128);
    EXPECT_EQ(p[3], 128);
    EXPECT_TRUE(dib.Alpha());
    std::int32_t a = 0;
    EXPECT_EQ(dib.GetPixel(0, 0, &a), std::int32_t(gdi::RGB(255, 0, 0)));
    EXPECT_EQ(a, 128);
    EXPECT_EQ(dib.GetPixel(0, 0, &a, true), std::int32_t(gdi::RGB(128, 0, 0)));

    // Alpha outside 0..255 writes nothing.
    for (int bad : {256, -1})
        EXPECT_EQ(dib.SetPixel(1, 1, gdi::RGB(1, 2, 3), bad), nullptr);
    EXPECT_EQ(dib.GetPixel(1, 1), 0);
    EXPECT_EQ(dib.SetPixel(2, 0, 0), nullptr);

    // Alpha 0 clears the whole pixel; "premultiplied" bytes above alpha are
    // premultiplied after all.
    dib.SetPixel(1, 0, gdi::RGB(200, 200, 200), 0);
    EXPECT_EQ(dib.GetPixel(1, 0, nullptr, true), 0);
    dib.SetPixel(1, 1, gdi::RGB(200, 50, 100), 100, true);
    EXPECT_EQ(dib.GetPixel(1, 1, nullptr, true), std::int32_t(gdi::RGB(200 * 100 / 255, 50, 100)));

    // An opaque write does not clear Alpha.
    dib.SetPixel(0, 1, gdi::RGB(1, 2, 3));
    EXPECT_TRUE(dib.Alpha());
}

TEST(SurfaceTest, GetDIBbitsRejectsBadRectangles)
{
    c32bppDIB dib;
    ByteArray out;
    EXPECT_FALSE(dib.GetDIBbits(out));
    ASSERT_TRUE(dib.InitializeDIB(5, 4));
    EXPECT_FALSE(dib.GetDIBbits(out, true, true, true, true, true, 5, 0));   // x = width
    EXPECT_FALSE(dib.GetDIBbits(out, true, true, true, true, true, 0, 4));
    EXPECT_FALSE(dib.GetDIBbits(out, true, true, true, true, true, -1, 0));
    EXPECT_FALSE(dib.GetAlphaMask(out, true, true, true, 5, 0));
    // A too-wide rectangle is clipped.
    ASSERT_TRUE(dib.GetDIBbits(out, true, true, true, true, true, 3, 0, 10, 1));
    EXPECT_EQ(out.rowBytes(), 8u);
    EXPECT_EQ(out.rows(), 1u);
}

TEST(SurfaceTest, ThreeByteAlignedRowsArePadded)
{
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(5, 2));
    for (int x = 0; x < 5; ++x)
        for (int y = 0; y < 2; ++y)
            dib.SetPixel(x, y, gdi::RGB(x + 1, y + 1, 9));
    // A reused array full of old bytes still gets zero padding.
    ByteArray out;
    out.resize(200);
    std::memset(out.data(), 0xFF, out.size());
    ASSERT_TRUE(dib.GetDIBbits(out, true, true, false, true));
    ASSERT_TRUE(out.is2D());
    EXPECT_EQ(out.rowBytes(), 16u);
    EXPECT_EQ(out.rows(), 2u);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(out.at(15, row), 0) << "padding";
        // Bottom-up: output row 0 is the surface's bottom row (y = 1).
        EXPECT_EQ(out.at(0, row), 9);
        EXPECT_EQ(out.at(1, row), 2 - row);
        EXPECT_EQ(out.at(2, row), 1);
        EXPECT_EQ(out.at(14, row), 5);
    }
    ASSERT_TRUE(dib.GetDIBbits(out, false, true, false, false));
    EXPECT_FALSE(out.is2D());
    EXPECT_EQ(out.size(), 30u);
}

// Every layout against a reference built from GetPixel, on the whole surface
// and on a sub-rectangle.
TEST(SurfaceTest, GetDIBbitsLayoutsMatchPixels)
{
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(5, 4));
    fillPattern(dib);
    struct Rect {
        int x, y, w, h;
    };
    for (const Rect r : {Rect{0, 0, 0, 0}, Rect{1, 1, 3, 2}}) {
        const int w = r.w ? r.w : 5, h = r.h ? r.h : 4;
        for (int flags = 0; flags < 32; ++flags) {
            const bool bgr = flags & 1, four = flags & 2, aligned = flags & 4, bottomUp = flags & 8,
                       premul = flags & 16;
            ByteArray out;
            ASSERT_TRUE(dib.GetDIBbits(out, true, bgr, four, aligned, bottomUp, r.x, r.y, r.w, r.h, premul));
            const std::size_t rowBytes = four ? w * 4 : (aligned ? ((w * 24 + 31) & ~31) / 8 : w * 3);
            ASSERT_EQ(out.rowBytes(), rowBytes) << flags;
            ASSERT_EQ(out.rows(), std::size_t(h));
            for (int k = 0; k < h; ++k)
                for (int i = 0; i < w; ++i) {
                    std::int32_t a = 0;
                    const std::int32_t c = dib.GetPixel(r.x + i, r.y + k, &a, premul);
                    const int row = bottomUp ? h - 1 - k : k;
                    const std::uint8_t *px = out.data() + row * rowBytes + i * (four ? 4 : 3);
                    const int red = gdi::GetRValue(c), green = gdi::GetGValue(c), blue = gdi::GetBValue(c);
                    EXPECT_EQ(px[bgr ? 0 : 2], blue) << flags << " " << i << "," << k;
                    EXPECT_EQ(px[1], green);
                    EXPECT_EQ(px[bgr ? 2 : 0], red);
                    if (four) {
                        EXPECT_EQ(px[3], a);
                    }
                }
        }
    }
}

TEST(SurfaceTest, SetDIBbitsRoundTripsEveryLayout)
{
    c32bppDIB src;
    ASSERT_TRUE(src.InitializeDIB(5, 3));
    fillPattern(src);
    for (int flags = 0; flags < 16; ++flags) {
        const bool bgr = flags & 1, four = flags & 2, aligned = flags & 4, bottomUp = flags & 8;
        ByteArray bytes;
        ASSERT_TRUE(src.GetDIBbits(bytes, flags & 1, bgr, four, aligned, bottomUp));
        c32bppDIB dst;
        ASSERT_TRUE(dst.InitializeDIB(5, 3));
        if (!four)   // 3-byte input keeps the surface's alpha: start from the source's
            std::memcpy(dst.BitsPointer(), src.BitsPointer(), 5 * 3 * 4);
        ASSERT_TRUE(dst.SetDIBbits(bytes, bgr, four, aligned, bottomUp)) << flags;
        EXPECT_EQ(std::memcmp(dst.BitsPointer(), src.BitsPointer(), 5 * 3 * 4), 0) << flags;
        EXPECT_TRUE(dst.Alpha());
    }
}

TEST(SurfaceTest, SetDIBbitsIntoSubRectangle)
{
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(4, 3));
    // Rows of 2 RGB pixels, 3 bytes, unaligned, top-down; 3 rows are required
    // (the surface's height) even though only 2 are written.
    const std::uint8_t in[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(dib.SetDIBbits(in, false, false, false, false, 1, 1, 2, 2));
    EXPECT_EQ(dib.GetPixel(1, 1, nullptr, true), std::int32_t(gdi::RGB(1, 2, 3)));
    EXPECT_EQ(dib.GetPixel(2, 1, nullptr, true), std::int32_t(gdi::RGB(4, 5, 6)));
    EXPECT_EQ(dib.GetPixel(1, 2, nullptr, true), std::int32_t(gdi::RGB(7, 8, 9)));
    EXPECT_EQ(dib.GetPixel(0, 0, nullptr, true), 0);
}

TEST(SurfaceTest, SetDIBbitsWithTooLittleInputChangesNothing)
{
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(4, 4));
    fillPattern(dib);
    std::vector<std::uint8_t> before(dib.BitsPointer(), dib.BitsPointer() + 64);
    // Enough for the 1-row rectangle, not for row bytes x the surface height.
    std::vector<std::uint8_t> in(16 * 4 - 1, 0xAB);
    EXPECT_FALSE(dib.SetDIBbits(in, true, true, true, true, 0, 0, 4, 1));
    EXPECT_FALSE(dib.SetDIBbits({}, true));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), dib.BitsPointer()));
    c32bppDIB empty;
    EXPECT_FALSE(empty.SetDIBbits(in));
}

TEST(SurfaceTest, OpaqueSetDIBbitsLeavesAlphaFalse)
{
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(3, 2));
    std::vector<std::uint8_t> in(3 * 2 * 4);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = (i % 4 == 3) ? 255 : std::uint8_t(i * 7);
    ASSERT_TRUE(dib.SetDIBbits(in));
    EXPECT_FALSE(dib.Alpha());
    EXPECT_EQ(dib.ImageType(), Blank);   // not changed
    // 3-byte input over a zeroed surface: all alpha 0 counts as no alpha and
    // becomes opaque.
    c32bppDIB rgb;
    ASSERT_TRUE(rgb.InitializeDIB(3, 2));
    std::vector<std::uint8_t> in3(12 * 2, 50);
    ASSERT_TRUE(rgb.SetDIBbits(in3, true, false));
    EXPECT_FALSE(rgb.Alpha());
    std::int32_t a = 0;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(rgb.GetPixel(x, y, &a), std::int32_t(gdi::RGB(50, 50, 50)));
            EXPECT_EQ(a, 255);
        }
}

TEST(SurfaceTest, GetAlphaMaskRows)
{
    c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(5, 2));
    for (int x = 0; x < 5; ++x) {
        dib.SetPixel(x, 0, 0, 10 + x);
        dib.SetPixel(x, 1, 0, 100 + x);
    }
    ByteArray out;
    ASSERT_TRUE(dib.GetAlphaMask(out, true, true, false));
    EXPECT_EQ(out.rowBytes(), 8u);
    EXPECT_EQ(out.at(0, 0), 10);
    EXPECT_EQ(out.at(4, 1), 104);
    EXPECT_EQ(out.at(5, 0), 0);
    ASSERT_TRUE(dib.GetAlphaMask(out, false, false, true, 1, 0, 2, 0));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0], 101);   // bottom row first
    EXPECT_EQ(out[3], 12);
}

TEST(SurfaceTest, LoadDIBinDCSelectsOnceAndCleansUp)
{
    const int before = gdi::liveObjectCount();
    {
        c32bppDIB dib;
        EXPECT_EQ(dib.LoadDIBinDC(true), 0u);   // no image
        ASSERT_TRUE(dib.InitializeDIB(4, 4));
        const gdi::HDC dc = dib.LoadDIBinDC(true);
        ASSERT_NE(dc, 0u);
        EXPECT_EQ(dib.LoadDIBinDC(true), dc);
        EXPECT_EQ(gdi::GetCurrentObject(dc, gdi::OBJ_BITMAP), dib.Handle());
        // Drawing through the DC reaches the pixels.
        gdi::SetPixel(dc, 1, 0, gdi::RGB(9, 8, 7));
        EXPECT_EQ(dib.GetPixel(1, 0, nullptr, true), std::int32_t(gdi::RGB(9, 8, 7)));
        EXPECT_EQ(dib.LoadDIBinDC(false), 0u);
        EXPECT_EQ(gdi::GetObjectType(dc), 0u);   // deleted: ManageOwnDC is false
        EXPECT_EQ(dib.ownDC(), 0u);

        dib.setManageOwnDC(true);
        const gdi::HDC kept = dib.ownDC();
        ASSERT_NE(kept, 0u);
        EXPECT_EQ(dib.LoadDIBinDC(true), kept);
        dib.LoadDIBinDC(false);
        EXPECT_EQ(gdi::GetObjectType(kept), std::uint32_t(gdi::OBJ_MEMDC));
        EXPECT_NE(gdi::GetCurrentObject(kept, gdi::OBJ_BITMAP), dib.Handle());
        dib.LoadDIBinDC(true);
        dib.setManageOwnDC(false);   // deselects and deletes
        EXPECT_EQ(gdi::GetObjectType(kept), 0u);

        // InitializeDIB with ManageOwnDC creates the DC at once.
        dib.setManageOwnDC(true);
        ASSERT_TRUE(dib.InitializeDIB(2, 2));
        EXPECT_NE(dib.ownDC(), 0u);
        dib.LoadDIBinDC(true);
    }
    EXPECT_EQ(gdi::liveObjectCount(), before);
}

TEST(SurfaceTest, OriginalBytes)
{
    c32bppDIB dib;
    ByteArray out;
    EXPECT_FALSE(dib.GetOrginalFormat(out));
    EXPECT_TRUE(out.empty());
    ASSERT_TRUE(dib.InitializeDIB(1, 1));
    const std::uint8_t bytes[] = {0x89, 'P', 'N', 'G'};
    dib.setOriginalBytes(bytes);
    ASSERT_TRUE(dib.GetOrginalFormat(out));
    EXPECT_EQ(out.size(), 4u);
    EXPECT_EQ(out[1], 'P');
    ASSERT_TRUE(dib.InitializeDIB(1, 1));   // every (re)initialisation starts clean
    EXPECT_FALSE(dib.GetOrginalFormat(out));
}
