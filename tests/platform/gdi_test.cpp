// The drawing layer, checked on pixels.
#include "platform/gdi/gdi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace gdi;

namespace {

// A memory DC with a 32-bit bottom-up DIB selected, released at the end.
struct Canvas {
    HDC dc = 0;
    HBITMAP bmp = 0;
    HGDIOBJ old = 0;
    std::uint8_t *bits = nullptr;
    int w = 0, h = 0;

    Canvas(int width, int height, COLORREF fill = RGB(255, 255, 255), int bpp = 32) : w(width), h(height)
    {
        dc = CreateCompatibleDC(0);
        bmp = CreateDIBSection(dc, makeBitmapInfo(w, h, bpp), DIB_RGB_COLORS, &bits);
        old = SelectObject(dc, bmp);
        const HBRUSH b = CreateSolidBrush(fill);
        FillRect(dc, RECT{0, 0, w, h}, b);
        DeleteObject(b);
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
    // Blue, green, red, alpha of pixel (x, y) counted from the top.
    const std::uint8_t *px(int x, int y) const { return bits + (std::size_t(h - 1 - y) * w + x) * 4; }
    COLORREF at(int x, int y) const { return GetPixel(dc, x, y); }
    void setBGRA(int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r, std::uint8_t a)
    {
        std::uint8_t *p = bits + (std::size_t(h - 1 - y) * w + x) * 4;
        p[0] = b;
        p[1] = g;
        p[2] = r;
        p[3] = a;
    }
};

constexpr COLORREF kWhite = RGB(255, 255, 255);

} // namespace

TEST(GdiHandlesTest, DeletedAndUnknownHandlesAreDetected)
{
    const int before = liveObjectCount();
    const HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(GetObjectType(brush), std::uint32_t(OBJ_BRUSH));
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_EQ(GetObjectType(brush), 0u);
    EXPECT_FALSE(DeleteObject(brush));
    EXPECT_EQ(GetObjectType(0), 0u);
    EXPECT_EQ(GetObjectType(0xDEADBEEF), 0u);

    const HDC dc = CreateCompatibleDC(0);
    EXPECT_EQ(GetObjectType(dc), std::uint32_t(OBJ_MEMDC));
    EXPECT_EQ(SelectObject(dc, brush), 0u);           // dead brush
    EXPECT_FALSE(FillRect(dc, RECT{0, 0, 1, 1}, brush));
    EXPECT_EQ(CreateCompatibleDC(0xDEADBEEF), 0u);

    // A bitmap cannot be in two DCs, nor be deleted while selected.
    std::uint8_t *bits = nullptr;
    const HBITMAP bmp = CreateDIBSection(dc, makeBitmapInfo(2, 2, 32), DIB_RGB_COLORS, &bits);
    ASSERT_NE(bmp, 0u);
    EXPECT_EQ(GetObjectType(bmp), std::uint32_t(OBJ_BITMAP));
    const HGDIOBJ stock = SelectObject(dc, bmp);
    EXPECT_NE(stock, 0u);
    const HDC other = CreateCompatibleDC(dc);
    EXPECT_EQ(SelectObject(other, bmp), 0u);
    EXPECT_FALSE(DeleteObject(bmp));
    // A pen in use is not deleted either.
    const HPEN pen = CreatePen(PS_SOLID, 1, 0);
    const HGDIOBJ oldPen = SelectObject(dc, pen);
    EXPECT_FALSE(DeleteObject(pen));
    SelectObject(dc, oldPen);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_EQ(SelectObject(dc, stock), bmp);
    EXPECT_TRUE(DeleteObject(bmp));
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    // Stock objects survive deletion.
    EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(GetObjectType(GetStockObject(WHITE_BRUSH)), std::uint32_t(OBJ_BRUSH));
    EXPECT_EQ(liveObjectCount(), before);

    const HDC screen = GetDC(0);
    EXPECT_EQ(GetObjectType(screen), std::uint32_t(OBJ_DC));
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
    EXPECT_EQ(ReleaseDC(0, screen), 1);
    EXPECT_EQ(GetObjectType(screen), 0u);
}

TEST(GdiDrawTest, LinesIncludeStartAndExcludeEnd)
{
    Canvas c(10, 10);
    const HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    const HGDIOBJ old = SelectObject(c.dc, pen);
    MoveToEx(c.dc, 1, 1);
    LineTo(c.dc, 6, 1);
    for (int x = 1; x < 6; ++x)
        EXPECT_EQ(c.at(x, 1), RGB(255, 0, 0)) << x;
    EXPECT_EQ(c.at(6, 1), kWhite);
    EXPECT_EQ(c.at(0, 1), kWhite);
    // Diagonal, drawn backwards.
    MoveToEx(c.dc, 5, 8);
    LineTo(c.dc, 2, 5);
    EXPECT_EQ(c.at(5, 8), RGB(255, 0, 0));
    EXPECT_EQ(c.at(3, 6), RGB(255, 0, 0));
    EXPECT_EQ(c.at(2, 5), kWhite);
    // A line to the current point draws nothing.
    LineTo(c.dc, 2, 5);
    EXPECT_EQ(c.at(2, 5), kWhite);
    // Classic drawing leaves alpha 0.
    EXPECT_EQ(c.px(1, 1)[3], 0);
    SelectObject(c.dc, old);
    DeleteObject(pen);
}

TEST(GdiDrawTest, FillsAndShapesExcludeRightAndBottom)
{
    Canvas c(12, 12);
    const HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(c.dc, RECT{2, 3, 5, 7}, red);
    EXPECT_EQ(c.at(2, 3), RGB(255, 0, 0));
    EXPECT_EQ(c.at(4, 6), RGB(255, 0, 0));
    EXPECT_EQ(c.at(5, 6), kWhite);
    EXPECT_EQ(c.at(4, 7), kWhite);

    // An ellipse with a hollow brush: outline only, inside its box, symmetric.
    Canvas e(12, 9);
    SelectObject(e.dc, GetStockObject(NULL_BRUSH));
    const HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
    const HGDIOBJ oldPen = SelectObject(e.dc, pen);
    Ellipse(e.dc, 0, 0, 12, 9);
    EXPECT_EQ(e.at(6, 4), kWhite);                 // interior untouched
    EXPECT_EQ(e.at(0, 0), kWhite);                 // corner outside
    EXPECT_EQ(e.at(0, 4), RGB(0, 0, 255));         // left extreme
    EXPECT_EQ(e.at(11, 4), RGB(0, 0, 255));        // right extreme, inside [0, 12)
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x)
            EXPECT_EQ(e.at(x, y), e.at(11 - x, y)) << x << "," << y;
    SelectObject(e.dc, oldPen);
    DeleteObject(pen);

    // RoundRect with the default white brush and black pen.
    Canvas r(10, 10, RGB(0, 255, 0));
    RoundRect(r.dc, 0, 0, 10, 10, 6, 6);
    EXPECT_EQ(r.at(0, 0), RGB(0, 255, 0));         // rounded corner
    EXPECT_EQ(r.at(5, 0), RGB(0, 0, 0));           // top edge
    EXPECT_EQ(r.at(9, 5), RGB(0, 0, 0));           // right edge at right - 1
    EXPECT_EQ(r.at(5, 5), kWhite);
    DeleteObject(red);
}

TEST(GdiDrawTest, AlphaBlendConstantAndPerPixel)
{
    Canvas dst(4, 1);
    Canvas src(2, 1);
    // Premultiplied source: opaque (200, 100, 50) and half-transparent grey 64 at alpha 128.
    src.setBGRA(0, 0, 50, 100, 200, 255);
    src.setBGRA(1, 0, 64, 64, 64, 128);

    // Per-pixel: 64 + 255 * 127 / 255 = 191 on white.
    ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, 2, 1, BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA}));
    EXPECT_EQ(dst.at(0, 0), RGB(200, 100, 50));
    EXPECT_EQ(dst.px(0, 0)[3], 255);
    for (int ch = 0; ch < 3; ++ch)
        EXPECT_NEAR(dst.px(1, 0)[ch], 191, 1);
    EXPECT_NEAR(dst.px(1, 0)[3], 128, 1);   // 128 + 0 * (1 - 128/255)

    // Constant alpha 128 without per-pixel alpha: half of each.
    ASSERT_TRUE(AlphaBlend(dst.dc, 2, 0, 1, 1, src.dc, 0, 0, 1, 1, BLENDFUNCTION{AC_SRC_OVER, 0, 128, 0}));
    EXPECT_NEAR(dst.px(2, 0)[2], (200 * 128 + 255 * 127) / 255, 1);
    EXPECT_NEAR(dst.px(2, 0)[1], (100 * 128 + 255 * 127) / 255, 1);
    EXPECT_NEAR(dst.px(2, 0)[0], (50 * 128 + 255 * 127) / 255, 1);

    // Both: source scaled by 128 first, then over.
    ASSERT_TRUE(AlphaBlend(dst.dc, 3, 0, 1, 1, src.dc, 1, 0, 1, 1, BLENDFUNCTION{AC_SRC_OVER, 0, 128, AC_SRC_ALPHA}));
    const int s = 64 * 128 / 255, a = 128 * 128 / 255;
    EXPECT_NEAR(dst.px(3, 0)[0], s + 255 * (255 - a) / 255, 1);

    // Refused: source rectangle outside the source, negative sizes, per-pixel
    // alpha from a 24-bit source.
    EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 2, 1, src.dc, 1, 0, 2, 1, BLENDFUNCTION{0, 0, 255, AC_SRC_ALPHA}));
    EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, -2, 1, src.dc, 0, 0, 2, 1, BLENDFUNCTION{0, 0, 255, AC_SRC_ALPHA}));
    Canvas rgb(1, 1, kWhite, 24);
    EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 1, 1, rgb.dc, 0, 0, 1, 1, BLENDFUNCTION{0, 0, 255, AC_SRC_ALPHA}));
    EXPECT_TRUE(AlphaBlend(dst.dc, 0, 0, 1, 1, rgb.dc, 0, 0, 1, 1, BLENDFUNCTION{0, 0, 255, 0}));
}

TEST(GdiDrawTest, AlphaBlendStretches)
{
    Canvas src(2, 1);
    src.setBGRA(0, 0, 0, 0, 0, 255);
    src.setBGRA(1, 0, 200, 200, 200, 255);
    const BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    Canvas near(4, 1);
    ASSERT_TRUE(AlphaBlend(near.dc, 0, 0, 4, 1, src.dc, 0, 0, 2, 1, bf));
    EXPECT_EQ(near.px(0, 0)[0], 0);
    EXPECT_EQ(near.px(1, 0)[0], 0);
    EXPECT_EQ(near.px(2, 0)[0], 200);
    EXPECT_EQ(near.px(3, 0)[0], 200);
    // Halftone: a smooth ramp, ends kept.
    Canvas soft(4, 1);
    SetStretchBltMode(soft.dc, HALFTONE);
    ASSERT_TRUE(AlphaBlend(soft.dc, 0, 0, 4, 1, src.dc, 0, 0, 2, 1, bf));
    EXPECT_EQ(soft.px(0, 0)[0], 0);
    EXPECT_GT(soft.px(1, 0)[0], 0);
    EXPECT_LT(soft.px(2, 0)[0], 200);
    EXPECT_GT(soft.px(2, 0)[0], soft.px(1, 0)[0]);
    EXPECT_EQ(soft.px(3, 0)[0], 200);
    // Shrinking averages.
    Canvas one(1, 1);
    SetStretchBltMode(one.dc, HALFTONE);
    ASSERT_TRUE(AlphaBlend(one.dc, 0, 0, 1, 1, src.dc, 0, 0, 2, 1, bf));
    EXPECT_EQ(one.px(0, 0)[0], 100);
}

TEST(GdiDrawTest, GradientFillEndpoints)
{
    Canvas c(10, 4);
    const TRIVERTEX v[2] = {{0, 0, 0xFF00, 0x0000, 0x0000, 0xFF00}, {10, 2, 0x0000, 0x0000, 0xFF00, 0x0000}};
    const GRADIENT_RECT r{0, 1};
    ASSERT_TRUE(GradientFill(c.dc, v, std::span(&r, 1), GRADIENT_FILL_RECT_H));
    EXPECT_EQ(c.at(0, 0), RGB(255, 0, 0));          // first column: the start colour
    EXPECT_EQ(c.px(0, 0)[3], 255);                  // alpha from the vertices
    // Last column stops one step short: 0xFF00 * 9 / 10 >> 8 = 229.
    EXPECT_EQ(c.at(9, 1), RGB(0xFF00 / 10 >> 8, 0, 0xFF00 * 9 / 10 >> 8));
    EXPECT_EQ(c.at(5, 1), RGB(0x7F80 >> 8, 0, 0x7F80 >> 8));
    EXPECT_EQ(c.at(0, 2), kWhite);                  // bottom edge excluded

    // Vertical, vertices given bottom-right first: colours follow the vertices.
    Canvas d(2, 4);
    const TRIVERTEX w[2] = {{2, 4, 0, 0, 0xFF00, 0}, {0, 0, 0xFF00, 0xFF00, 0xFF00, 0}};
    ASSERT_TRUE(GradientFill(d.dc, w, std::span(&r, 1), GRADIENT_FILL_RECT_V));
    EXPECT_EQ(d.at(1, 0), kWhite);
    EXPECT_EQ(d.at(1, 3), RGB(0xFF00 / 4 >> 8, 0xFF00 / 4 >> 8, 255));

    const GRADIENT_RECT bad{0, 2};
    EXPECT_FALSE(GradientFill(c.dc, v, std::span(&bad, 1), GRADIENT_FILL_RECT_H));
}

TEST(GdiDrawTest, BitBltAndStretchBlt)
{
    Canvas src(3, 2, RGB(10, 20, 30));
    SetPixel(src.dc, 0, 0, RGB(1, 2, 3));
    Canvas dst(5, 5);
    ASSERT_TRUE(BitBlt(dst.dc, 1, 1, 3, 2, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.at(1, 1), RGB(1, 2, 3));
    EXPECT_EQ(dst.at(3, 2), RGB(10, 20, 30));
    EXPECT_EQ(dst.at(4, 2), kWhite);
    // Partly outside the source: only the inside part is copied.
    ASSERT_TRUE(BitBlt(dst.dc, 0, 4, 3, 1, src.dc, 2, 1, SRCCOPY));
    EXPECT_EQ(dst.at(0, 4), RGB(10, 20, 30));
    EXPECT_EQ(dst.at(1, 4), kWhite);
    // Overlapping copy within one bitmap.
    ASSERT_TRUE(BitBlt(dst.dc, 2, 1, 3, 2, dst.dc, 1, 1, SRCCOPY));
    EXPECT_EQ(dst.at(2, 1), RGB(1, 2, 3));
    EXPECT_EQ(dst.at(3, 1), RGB(10, 20, 30));
    // Mirrored stretch.
    Canvas m(3, 1);
    ASSERT_TRUE(StretchBlt(m.dc, 2, 0, -3, 1, src.dc, 0, 0, 3, 1, SRCCOPY));
    EXPECT_EQ(m.at(2, 0), RGB(1, 2, 3));
    EXPECT_EQ(m.at(0, 0), RGB(10, 20, 30));
}

TEST(GdiBitmapsTest, DIBRowsOfEveryDepthRoundTrip)
{
    // A 3x2 picture in 8 bits with a palette, bottom row first.
    BITMAPINFO bi = makeBitmapInfo(3, 2, 8);
    bi.bmiColors[0] = RGBQUAD{0, 0, 255, 0};     // red
    bi.bmiColors[1] = RGBQUAD{0, 255, 0, 0};     // green
    bi.bmiColors[2] = RGBQUAD{255, 0, 0, 0};     // blue
    bi.bmiColors[3] = RGBQUAD{255, 255, 255, 0};
    bi.bmiHeader.biClrUsed = 4;
    const std::uint8_t rows[] = {0, 1, 2, 0, /* top: */ 3, 3, 0, 0};
    const HDC screen = GetDC(0);
    const HBITMAP bmp = CreateDIBitmap(screen, bi.bmiHeader, CBM_INIT, rows, bi, DIB_RGB_COLORS);
    ASSERT_NE(bmp, 0u);
    // Too little data is refused.
    EXPECT_EQ(CreateDIBitmap(screen, bi.bmiHeader, CBM_INIT, std::span(rows, 7), bi, DIB_RGB_COLORS), 0u);

    BITMAPINFO q;
    q.bmiHeader.biBitCount = 0;
    ASSERT_NE(GetDIBits(screen, bmp, 0, 0, {}, q, DIB_RGB_COLORS), 0);
    EXPECT_EQ(q.bmiHeader.biWidth, 3);
    EXPECT_EQ(q.bmiHeader.biHeight, 2);

    BITMAPINFO out32 = makeBitmapInfo(3, 2, 32);
    std::vector<std::uint8_t> px(3 * 2 * 4);
    ASSERT_EQ(GetDIBits(screen, bmp, 0, 2, px, out32, DIB_RGB_COLORS), 2);
    // Bottom row: red, green, blue; alpha 0 from an 8-bit source.
    EXPECT_EQ(px[2], 255);
    EXPECT_EQ(px[3], 0);
    EXPECT_EQ(px[5], 255);
    EXPECT_EQ(px[8], 255);
    EXPECT_EQ(px[12], 255);   // top-left white
    // Too small an output buffer is refused.
    EXPECT_EQ(GetDIBits(screen, bmp, 0, 2, std::span(px.data(), 23), out32, DIB_RGB_COLORS), 0);

    // Every depth out and back in gives the same pixels (these colours are in
    // every default palette).
    for (int bpp : {1, 4, 8, 16, 24}) {
        const HBITMAP bw = CreateDIBitmap(screen, bi.bmiHeader, CBM_INIT, std::vector<std::uint8_t>{3, 3, 3, 0, 0, 3, 0, 0}, [&] {
            BITMAPINFO b = bi;
            b.bmiColors[0] = RGBQUAD{0, 0, 0, 0};
            return b;
        }(), DIB_RGB_COLORS);
        BITMAPINFO fmt = makeBitmapInfo(3, -2, bpp);   // top-down output
        std::vector<std::uint8_t> data(fmt.bmiHeader.biSizeImage);
        ASSERT_EQ(GetDIBits(screen, bw, 0, 2, data, fmt, DIB_RGB_COLORS), 2) << bpp;
        const HBITMAP back = CreateDIBitmap(screen, fmt.bmiHeader, CBM_INIT, data, fmt, DIB_RGB_COLORS);
        ASSERT_NE(back, 0u) << bpp;
        BITMAPINFO o1 = makeBitmapInfo(3, 2, 32), o2 = o1;
        std::vector<std::uint8_t> a(24), b(24);
        GetDIBits(screen, bw, 0, 2, a, o1, DIB_RGB_COLORS);
        GetDIBits(screen, back, 0, 2, b, o2, DIB_RGB_COLORS);
        for (int i = 0; i < 24; ++i)
            if (i % 4 != 3) {
                EXPECT_EQ(a[i], b[i]) << "depth " << bpp << " byte " << i;
            }
        DeleteObject(bw);
        DeleteObject(back);
    }
    DeleteObject(bmp);
    ReleaseDC(0, screen);
}

TEST(GdiBitmapsTest, SetDIBitsToDeviceOrientation)
{
    Canvas c(4, 4);
    // 2x2 24-bit bottom-up: bottom row red, green; top row blue, black.
    BITMAPINFO bi = makeBitmapInfo(2, 2, 24);
    const std::uint8_t data[] = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(SetDIBitsToDevice(c.dc, 1, 1, 2, 2, 0, 0, 0, 2, data, bi, DIB_RGB_COLORS), 2);
    EXPECT_EQ(c.at(1, 1), RGB(0, 0, 255));
    EXPECT_EQ(c.at(2, 1), RGB(0, 0, 0));
    EXPECT_EQ(c.at(1, 2), RGB(255, 0, 0));
    EXPECT_EQ(c.at(2, 2), RGB(0, 255, 0));
    EXPECT_EQ(c.at(3, 3), kWhite);
    EXPECT_EQ(SetDIBitsToDevice(c.dc, 0, 0, 2, 2, 0, 0, 0, 2, std::span(data, 15), bi, DIB_RGB_COLORS), 0);
}

TEST(GdiRegionsTest, PointTestsAndCombining)
{
    const HRGN rr = CreateRoundRectRgn(0, 0, 20, 10, 8, 8);
    EXPECT_TRUE(PtInRegion(rr, 10, 5));
    EXPECT_FALSE(PtInRegion(rr, 0, 0));     // cut corner
    EXPECT_TRUE(PtInRegion(rr, 0, 5));
    EXPECT_TRUE(PtInRegion(rr, 19, 5));
    EXPECT_FALSE(PtInRegion(rr, 20, 5));    // right edge excluded
    EXPECT_FALSE(PtInRegion(rr, 10, 10));   // bottom edge excluded
    RECT box;
    EXPECT_EQ(GetRgnBox(rr, box), COMPLEXREGION);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.right, 20);
    EXPECT_EQ(box.bottom, 10);

    const HRGN a = CreateRectRgn(0, 0, 10, 10);
    const HRGN b = CreateRectRgn(5, 5, 15, 15);
    const HRGN d = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(d, a, b, RGN_DIFF), COMPLEXREGION);
    EXPECT_TRUE(PtInRegion(d, 2, 2));
    EXPECT_FALSE(PtInRegion(d, 7, 7));
    EXPECT_EQ(CombineRgn(d, a, b, RGN_AND), SIMPLEREGION);
    EXPECT_TRUE(PtInRegion(d, 7, 7));
    EXPECT_EQ(OffsetRgn(d, 10, 0), SIMPLEREGION);
    EXPECT_TRUE(PtInRegion(d, 17, 7));
    EXPECT_FALSE(PtInRegion(d, 7, 7));
    EXPECT_EQ(CombineRgn(d, a, 0xBAD, RGN_OR), ERROR);

    const RECT rects[] = {{0, 0, 2, 1}, {5, 0, 6, 1}, {1, 3, 4, 4}};
    const HRGN e = ExtCreateRegion(rects);
    EXPECT_TRUE(PtInRegion(e, 1, 0));
    EXPECT_FALSE(PtInRegion(e, 3, 0));
    EXPECT_TRUE(PtInRegion(e, 3, 3));
    GetRgnBox(e, box);
    EXPECT_EQ(box.right, 6);
    EXPECT_EQ(box.bottom, 4);

    // Filling a region paints exactly its pixels.
    Canvas c(6, 4);
    const HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    FillRgn(c.dc, e, blue);
    EXPECT_EQ(c.at(5, 0), RGB(0, 0, 255));
    EXPECT_EQ(c.at(4, 0), kWhite);
    DeleteObject(blue);

    for (HRGN r : {rr, a, b, d, e})
        EXPECT_TRUE(DeleteObject(r));
    EXPECT_FALSE(PtInRegion(rr, 10, 5));
}

TEST(GdiTextTest, TextIsDrawnWhereItsExtentSays)
{
    // Small point sizes matter most: there the whole-pixel glyphs drawn can be
    // wider than smooth ones, and a right-aligned label lost its last letters.
    struct Case {
        const char *family;
        int pixelSize; // 0: pointSize 9
        const char *text;
    };
    const Case cases[] = {
        {"DejaVu Sans", 14, "HHH"},
        {"DejaVu Sans", 0, "2026.12.11 12:00 [Real] Wide text"},
        {"NanumGothic", 0, "2026.12.11 12:00기준의 자료입니다.[실시간]"},
        {"NanumGothic", 0, "차트를 불러오지 못했습니다 (연결 거부)"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.text);
        Canvas c(420, 40);
        QFont f(QString::fromLatin1(k.family));
        if (k.pixelSize)
            f.setPixelSize(k.pixelSize);
        else
            f.setPointSize(9);
        const HFONT font = CreateFontFromQFont(f);
        const HGDIOBJ old = SelectObject(c.dc, font);
        SetBkMode(c.dc, TRANSPARENT);
        SetTextColor(c.dc, RGB(0, 0, 0));
        const QString text = QString::fromUtf8(k.text);
        const SIZE s = GetTextExtentPoint32(c.dc, text);
        ASSERT_GT(s.cx, 10);
        ASSERT_GT(s.cy, 10);
        ASSERT_TRUE(TextOut(c.dc, 20, 10, text));
        int inside = 0, outside = 0, rightmost = 0;
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                if (c.at(x, y) == kWhite)
                    continue;
                const bool in = x >= 20 && x < 20 + s.cx && y >= 10 && y < 10 + s.cy;
                (in ? inside : outside)++;
                rightmost = std::max(rightmost, x);
            }
        EXPECT_GT(inside, 20);
        EXPECT_EQ(outside, 0) << "drawn to x " << rightmost << ", extent ends at " << 20 + s.cx;
        SelectObject(c.dc, old);
        DeleteObject(font);
    }
}

TEST(GdiTextTest, OpaqueTextFillsItsCell)
{
    Canvas c(120, 40);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(14);
    const HFONT font = CreateFontFromQFont(f);
    const HGDIOBJ old = SelectObject(c.dc, font);
    SetTextColor(c.dc, RGB(0, 0, 0));
    // Opaque mode fills the text cell with the background colour.
    SetBkMode(c.dc, OPAQUE);
    SetBkColor(c.dc, RGB(0, 255, 0));
    TextOut(c.dc, 0, 0, QStringLiteral("."));
    const SIZE dot = GetTextExtentPoint32(c.dc, QStringLiteral("."));
    EXPECT_EQ(c.at(0, 0), RGB(0, 255, 0));
    EXPECT_EQ(c.at(dot.cx, 0), kWhite);
    SelectObject(c.dc, old);
    DeleteObject(font);
}

TEST(GdiTextTest, PrefixTextAndDisabledLook)
{
    int u = 0;
    EXPECT_EQ(stripPrefix(QStringLiteral("&File"), &u), QStringLiteral("File"));
    EXPECT_EQ(u, 0);
    EXPECT_EQ(stripPrefix(QStringLiteral("A && B"), &u), QStringLiteral("A & B"));
    EXPECT_EQ(u, -1);
    EXPECT_EQ(stripPrefix(QStringLiteral("Sa&ve&"), &u), QStringLiteral("Save"));
    EXPECT_EQ(u, 2);

    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(14);
    const HFONT font = CreateFontFromQFont(f);
    auto draw = [&](const QString &text, std::uint32_t flags, Canvas &c) {
        SelectObject(c.dc, font);
        SetTextColor(c.dc, RGB(0, 0, 0));
        DrawStateText(c.dc, 2, 2, text, flags);
        SelectObject(c.dc, GetStockObject(SYSTEM_FONT));
    };
    // The underline adds pixels under the first letter, not under the rest.
    Canvas a(80, 30), b(80, 30);
    draw(QStringLiteral("FFF"), DSS_NORMAL, a);
    draw(QStringLiteral("&FFF"), DSS_NORMAL, b);
    int extra = 0, changedElsewhere = 0;
    const int fw = [&] {
        const HDC dc = a.dc;
        SelectObject(dc, font);
        const int w = GetTextExtentPoint32(dc, QStringLiteral("F")).cx;
        SelectObject(dc, GetStockObject(SYSTEM_FONT));
        return w;
    }();
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x)
            if (a.at(x, y) != b.at(x, y))
                (x >= 2 && x < 2 + fw ? extra : changedElsewhere)++;
    EXPECT_GT(extra, 0);
    EXPECT_EQ(changedElsewhere, 0);

    // Disabled: highlight and shadow colours, no text colour.
    Canvas d(80, 30, RGB(0, 0, 255));
    draw(QStringLiteral("FFF"), DSS_DISABLED, d);
    bool shadow = false, highlight = false, black = false;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x) {
            const COLORREF p = d.at(x, y);
            shadow |= p == GetSysColor(16);
            highlight |= p == GetSysColor(20);
            black |= p == 0;
        }
    EXPECT_TRUE(shadow);
    EXPECT_TRUE(highlight);
    EXPECT_FALSE(black);
    DeleteObject(font);
}

TEST(GdiIconsTest, MaskedAndAlphaIcons)
{
    const int before = liveObjectCount();
    // 2x2 icon: mask keeps the background at the right column.
    const std::uint8_t maskRows[] = {0x40, 0, 0x40, 0};   // 1-bit rows padded to 2 bytes: bit 1 set
    const HBITMAP mask = CreateBitmap(2, 2, 1, 1, maskRows);
    const std::uint8_t colourRows[] = {0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0};
    const HBITMAP colour = CreateBitmap(2, 2, 1, 32, colourRows);
    ASSERT_NE(mask, 0u);
    ASSERT_NE(colour, 0u);
    const HICON icon = CreateIconIndirect(ICONINFO{true, 0, 0, mask, colour});
    ASSERT_NE(icon, 0u);
    EXPECT_EQ(GetObjectType(icon), 0u);   // not a drawing object
    {   // the canvases go before the leak check
        Canvas c(3, 3, RGB(0, 255, 0));
        ASSERT_TRUE(DrawIconEx(c.dc, 1, 1, icon, 0, 0));
        EXPECT_EQ(c.at(1, 1), RGB(255, 0, 0));
        EXPECT_EQ(c.at(2, 1), RGB(0, 255, 0));    // masked out
        EXPECT_EQ(c.at(0, 0), RGB(0, 255, 0));

        ICONINFO info;
        ASSERT_TRUE(GetIconInfo(icon, info));
        EXPECT_NE(info.hbmMask, mask);   // copies for the caller
        BITMAP bm;
        ASSERT_TRUE(GetObject(info.hbmMask, bm));
        EXPECT_EQ(bm.bmBitsPixel, 1);
        DeleteObject(info.hbmMask);
        DeleteObject(info.hbmColor);

        // Silhouette in the brush colour.
        Canvas s(3, 3);
        const HBRUSH br = CreateSolidBrush(RGB(9, 9, 9));
        ASSERT_TRUE(DrawStateImage(s.dc, br, icon, 0, 0, 0, 0, DSS_MONO));
        EXPECT_EQ(s.at(0, 0), RGB(9, 9, 9));
        EXPECT_EQ(s.at(1, 0), kWhite);
        DeleteObject(br);

        EXPECT_TRUE(DestroyIcon(icon));
        EXPECT_FALSE(DestroyIcon(icon));
        EXPECT_FALSE(DrawIconEx(c.dc, 0, 0, icon, 0, 0));

        // A 32-bit colour bitmap with alpha is blended by it (straight alpha).
        const std::uint8_t alphaRows[] = {0, 0, 255, 128};
        const HBITMAP ac = CreateBitmap(1, 1, 1, 32, alphaRows);
        const std::uint8_t zero[] = {0, 0};
        const HBITMAP am = CreateBitmap(1, 1, 1, 1, zero);
        const HICON ai = CreateIconIndirect(ICONINFO{true, 0, 0, am, ac});
        Canvas w(1, 1, RGB(0, 0, 255));
        ASSERT_TRUE(DrawIconEx(w.dc, 0, 0, ai, 0, 0));
        EXPECT_NEAR(GetRValue(w.at(0, 0)), 128, 1);
        EXPECT_NEAR(GetBValue(w.at(0, 0)), 127, 1);
        DestroyIcon(ai);
        DeleteObject(ac);
        DeleteObject(am);
    }
    DeleteObject(mask);
    DeleteObject(colour);
    EXPECT_EQ(liveObjectCount(), before);
}

// Coordinates and sizes from untrusted data must neither crash nor cost more
// than what lies on the bitmap.
TEST(GdiDrawTest, HugeCoordinatesAreClippedCheaply)
{
    Canvas c(8, 8);
    const HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    SelectObject(c.dc, pen);
    MoveToEx(c.dc, INT32_MIN, 3);
    ASSERT_TRUE(LineTo(c.dc, INT32_MAX, 3));
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(c.at(x, 3), RGB(255, 0, 0)) << x;   // crosses the whole bitmap
    EXPECT_EQ(c.at(0, 2), kWhite);
    ASSERT_TRUE(Ellipse(c.dc, -2000000000, -2000000000, 2000000000, 2000000000));
    EXPECT_NE(c.at(4, 4), RGB(255, 0, 0));   // far inside: the brush, not the pen
    ASSERT_TRUE(RoundRect(c.dc, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX));
    Canvas src(2, 2);
    EXPECT_TRUE(AlphaBlend(c.dc, -1000000000, -1000000000, 2000000000, 2000000000, src.dc, 0, 0, 2, 2,
                           BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA}));
    EXPECT_TRUE(StretchBlt(c.dc, 0, 0, 2000000000, 2000000000, src.dc, 0, 0, 2, 2, SRCCOPY));
    EXPECT_TRUE(BitBlt(c.dc, -5, -5, INT32_MAX, INT32_MAX, src.dc, 0, 0, SRCCOPY));
    EXPECT_TRUE(TextOut(c.dc, INT32_MAX - 3, INT32_MAX - 3, QStringLiteral("x")));
    const HRGN r = CreateEllipticRgn(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    EXPECT_TRUE(PtInRegion(r, 0, 0));
    DeleteObject(r);
    SelectObject(c.dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);

    // A header promising a huge bitmap with a few bytes of data allocates nothing.
    BITMAPINFO bi = makeBitmapInfo(40000, 40000, 8);
    const std::uint8_t few[16] = {};
    EXPECT_EQ(CreateDIBitmap(0, bi.bmiHeader, CBM_INIT, few, bi, DIB_RGB_COLORS), 0u);
    // Neither does one whose stride x height does not fit 64 bits.
    std::uint8_t *hugeBits = nullptr;
    EXPECT_EQ(CreateDIBSection(0, makeBitmapInfo(INT32_MAX, INT32_MAX, 32), DIB_RGB_COLORS, &hugeBits), 0u);
    EXPECT_EQ(CreateCompatibleBitmap(0, INT32_MAX, INT32_MAX), 0u);
    // Headers whose data would not fit 64 bits are refused against the few bytes given.
    const BITMAPINFO huge = makeBitmapInfo(INT32_MAX, INT32_MAX, 32);
    EXPECT_EQ(CreateDIBitmap(0, makeBitmapInfo(2, 2, 32).bmiHeader, CBM_INIT, few, huge, DIB_RGB_COLORS), 0u);
    EXPECT_EQ(SetDIBitsToDevice(c.dc, 0, 0, 2, 2, 0, 0, 0, INT32_MAX, few, huge, DIB_RGB_COLORS), 0);
    EXPECT_EQ(SetDIBitsToDevice(c.dc, 0, 0, 0xFFFFFFF, 0xFFFFFFF, 0, 0, 0, 1, few, makeBitmapInfo(2, 1, 32),
                                DIB_RGB_COLORS), 1);
}

TEST(GdiRegionsTest, ManyRectanglesMakeOneRegionQuickly)
{
    // A 256 x 256 checkerboard of single pixels: 32768 rectangles.
    std::vector<RECT> rects;
    for (int y = 0; y < 256; ++y)
        for (int x = (y & 1); x < 256; x += 2)
            rects.push_back(RECT{x, y, x + 1, y + 1});
    const HRGN r = ExtCreateRegion(rects);
    EXPECT_TRUE(PtInRegion(r, 0, 0));
    EXPECT_FALSE(PtInRegion(r, 1, 0));
    EXPECT_TRUE(PtInRegion(r, 255, 255));
    EXPECT_FALSE(PtInRegion(r, 254, 255));
    EXPECT_EQ(regionToQRegion(r).rectCount(), 32768);
    DeleteObject(r);
}

// The blending pipeline's round trip: a DC area copied into a 24-bit DIB
// section, changed there, and drawn back as DIB rows.
TEST(GdiBitmapsTest, TwentyFourBitSectionRoundTrip)
{
    Canvas screen(4, 3, RGB(10, 20, 30));
    SetPixel(screen.dc, 1, 1, RGB(200, 100, 50));
    const HDC mem = CreateCompatibleDC(screen.dc);
    std::uint8_t *bits = nullptr;
    const BITMAPINFO bi = makeBitmapInfo(2, 2, 24);
    const HBITMAP dib = CreateDIBSection(mem, bi, DIB_RGB_COLORS, &bits);
    ASSERT_NE(dib, 0u);
    const HGDIOBJ old = SelectObject(mem, dib);
    ASSERT_TRUE(BitBlt(mem, 0, 0, 2, 2, screen.dc, 1, 1, SRCCOPY));
    // Bottom-up rows of 8 bytes (6 used, 2 padding): the top-left pixel is
    // the first one of the second row.
    EXPECT_EQ(bits[8], 50);
    EXPECT_EQ(bits[9], 100);
    EXPECT_EQ(bits[10], 200);
    EXPECT_EQ(bits[0], 30);
    bits[8] = 1;   // blue of the top-left pixel
    EXPECT_EQ(SetDIBitsToDevice(screen.dc, 1, 1, 2, 2, 0, 0, 0, 2, std::span(bits, 16), bi, DIB_RGB_COLORS), 2);
    EXPECT_EQ(screen.at(1, 1), RGB(200, 100, 1));
    EXPECT_EQ(screen.at(2, 2), RGB(10, 20, 30));
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
}
