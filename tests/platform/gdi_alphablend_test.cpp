// AlphaBlend's unscaled per-pixel path between two bitmaps reads the source in
// place and passes over empty pixels; it must give the same bytes as the
// general path, which a blend within one bitmap takes.
#include "platform/gdi/gdi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace gdi;

namespace {

struct Dib {
    HDC dc = 0;
    HBITMAP bmp = 0;
    HGDIOBJ old = 0;
    std::uint8_t *bits = nullptr;
    int w, h;
    Dib(int width, int height) : w(width), h(height)
    {
        dc = CreateCompatibleDC(0);
        bmp = CreateDIBSection(dc, makeBitmapInfo(w, h, 32), DIB_RGB_COLORS, &bits);
        old = SelectObject(dc, bmp);
    }
    ~Dib()
    {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
    std::uint8_t *px(int x, int y) const { return bits + (std::size_t(h - 1 - y) * w + x) * 4; }
};

} // namespace

TEST(GdiAlphaBlendTest, UnscaledBlendBetweenBitmapsMatchesTheGeneralPath)
{
    // Rows of 29 pixels go through the sixteen-, eight-, four- and one-pixel
    // steps.
    constexpr int W = 29, H = 7;
    std::mt19937 rng(5);
    // Source pixels: empty, opaque, partial, and malformed (colour above
    // alpha); the first row all opaque and the second all empty, so that
    // whole groups of pixels take the short cuts.
    std::vector<std::uint8_t> source(std::size_t(W) * H * 4), dest(source.size());
    for (std::size_t i = 0; i < source.size(); i += 4) {
        const std::size_t row = i / (std::size_t(W) * 4);
        const unsigned kind = row == 0 ? 1 : row == 1 ? 0 : rng() % 4;
        const std::uint8_t a = kind == 0 ? 0 : kind == 1 ? 255 : std::uint8_t(rng());
        for (int c = 0; c < 3; ++c)
            source[i + c] = std::uint8_t(kind == 3 ? rng() : rng() % (a + 1u));
        source[i + 3] = a;
        for (int c = 0; c < 4; ++c)
            dest[i + c] = std::uint8_t(rng());
    }
    for (const int sca : {255, 100}) {
        // One bitmap holding source (left) and destination (right): the general path.
        Dib both(2 * W, H);
        Dib src(W, H), dst(W, H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const std::size_t i = (std::size_t(y) * W + x) * 4;
                std::memcpy(both.px(x, y), &source[i], 4);
                std::memcpy(both.px(W + x, y), &dest[i], 4);
                std::memcpy(src.px(x, y), &source[i], 4);
                std::memcpy(dst.px(x, y), &dest[i], 4);
            }
        const BLENDFUNCTION bf{AC_SRC_OVER, 0, std::uint8_t(sca), AC_SRC_ALPHA};
        ASSERT_TRUE(AlphaBlend(both.dc, W, 0, W, H, both.dc, 0, 0, W, H, bf));
        ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, W, H, src.dc, 0, 0, W, H, bf));
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                ASSERT_EQ(std::memcmp(dst.px(x, y), both.px(W + x, y), 4), 0) << sca << " at " << x << "," << y;
    }
}
