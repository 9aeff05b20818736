// Picture objects: HIMETRIC sizes, the formats the loader takes, handle
// ownership, and Render's source convention.
#include "platform/picture/picture.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> encode(const QImage &img, const char *format)
{
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return {out.begin(), out.end()};
}

// The pixel (x, y) of a bottom-up 32-bit DIB as 0xAARRGGBB.
std::uint32_t dibPixel(const std::uint8_t *bits, int w, int h, int x, int y)
{
    const std::uint8_t *p = bits + (std::size_t(h - 1 - y) * w + x) * 4;
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

} // namespace

TEST(Picture, HimetricRoundTripsEveryPixelSize)
{
    for (int px = 0; px <= 5000; ++px) {
        ASSERT_EQ(platform::HimetricToPixels(platform::PixelsToHimetric(px, true), true), px);
        ASSERT_EQ(platform::HimetricToPixels(platform::PixelsToHimetric(px, false), false), px);
    }
    EXPECT_EQ(platform::PixelsToHimetric(96, true), 2540);   // one inch
    EXPECT_EQ(platform::HimetricToPixels(-2540, false), -96);
}

TEST(Picture, FromBytesTakesBitmapsGifsAndJpegsOnly)
{
    QImage img(5, 3, QImage::Format_RGB32);
    img.fill(QColor(10, 20, 30));
    img.setPixelColor(0, 0, QColor(200, 100, 50));
    // (Qt writes no GIF; GIF pictures are covered by the GIF decoder tests.)
    for (const char *format : {"BMP", "JPEG"}) {
        SCOPED_TRACE(format);
        const platform::Picture pic = platform::PictureFromBytes(encode(img, format));
        ASSERT_TRUE(pic);
        EXPECT_EQ(pic->Type(), platform::PICTYPE_BITMAP);
        EXPECT_EQ(platform::HimetricToPixels(pic->Width(), true), 5);
        EXPECT_EQ(platform::HimetricToPixels(pic->Height(), false), 3);
        gdi::BITMAP bm;
        ASSERT_TRUE(gdi::GetObject(pic->Handle(), bm));
        EXPECT_EQ(bm.bmBitsPixel, 32);
        ASSERT_TRUE(bm.bmBits);
    }
    // PNG and icons are not this loader's; metafiles and noise give nothing.
    EXPECT_FALSE(platform::PictureFromBytes(encode(img, "PNG")));
    std::vector<std::uint8_t> wmf = {0xD7, 0xCD, 0xC6, 0x9A};
    wmf.resize(200, 0);
    EXPECT_FALSE(platform::PictureFromBytes(wmf));
    std::vector<std::uint8_t> emf(200, 0);
    emf[0] = 1;
    emf[40] = ' ';
    emf[41] = 'E';
    emf[42] = 'M';
    emf[43] = 'F';
    EXPECT_FALSE(platform::PictureFromBytes(emf));
    EXPECT_FALSE(platform::PictureFromBytes({}));
}

TEST(Picture, OwnsItsHandleAndRendersUprightOrFlipped)
{
    std::uint8_t *bits = nullptr;
    const gdi::HBITMAP bmp = gdi::CreateDIBSection(0, gdi::makeBitmapInfo(2, 2, 32), gdi::DIB_RGB_COLORS, &bits);
    ASSERT_TRUE(bmp);
    // Top row red, bottom row blue (bottom-up memory: the first row is the bottom).
    for (int i = 0; i < 2; ++i) {
        bits[i * 4 + 0] = 255;
        bits[8 + i * 4 + 2] = 255;
    }
    {
        platform::Picture pic = platform::OleCreatePictureIndirect(platform::PICTYPE_BITMAP, bmp, true);
        ASSERT_TRUE(pic);
        std::uint8_t *dst = nullptr;
        const gdi::HBITMAP target = gdi::CreateDIBSection(0, gdi::makeBitmapInfo(2, 2, 32), gdi::DIB_RGB_COLORS, &dst);
        const gdi::HDC dc = gdi::CreateCompatibleDC(0);
        const gdi::HGDIOBJ old = gdi::SelectObject(dc, target);
        ASSERT_TRUE(pic->Render(dc, 0, 0, 2, 2, 0, pic->Height(), pic->Width(), -pic->Height()));
        EXPECT_EQ(dibPixel(dst, 2, 2, 0, 0) & 0xFFFFFF, 0xFF0000u);
        EXPECT_EQ(dibPixel(dst, 2, 2, 1, 1) & 0xFFFFFF, 0x0000FFu);
        ASSERT_TRUE(pic->Render(dc, 0, 0, 2, 2, 0, 0, pic->Width(), pic->Height()));
        EXPECT_EQ(dibPixel(dst, 2, 2, 0, 0) & 0xFFFFFF, 0x0000FFu);
        EXPECT_EQ(dibPixel(dst, 2, 2, 1, 1) & 0xFFFFFF, 0xFF0000u);
        gdi::SelectObject(dc, old);
        gdi::DeleteDC(dc);
        gdi::DeleteObject(target);
        EXPECT_EQ(gdi::GetObjectType(bmp), std::uint32_t(gdi::OBJ_BITMAP));
    }
    EXPECT_EQ(gdi::GetObjectType(bmp), 0u);   // released with the picture

    // A handle of the wrong kind gives no picture; a borrowed one is left alone.
    const gdi::HBITMAP kept = gdi::CreateCompatibleBitmap(0, 1, 1);
    EXPECT_FALSE(platform::OleCreatePictureIndirect(platform::PICTYPE_ICON, kept));
    EXPECT_FALSE(platform::OleCreatePictureIndirect(platform::PICTYPE_METAFILE, kept));
    platform::OleCreatePictureIndirect(platform::PICTYPE_BITMAP, kept, false).reset();
    EXPECT_EQ(gdi::GetObjectType(kept), std::uint32_t(gdi::OBJ_BITMAP));
    gdi::DeleteObject(kept);
}

TEST(Picture, IconPictures)
{
    QImage img(4, 4, QImage::Format_ARGB32);
    img.fill(QColor(0, 128, 0));
    img.setPixelColor(0, 0, Qt::transparent);
    const platform::Picture pic = platform::IconPictureFromBytes(encode(img, "ICO"));
    ASSERT_TRUE(pic);
    EXPECT_EQ(pic->Type(), platform::PICTYPE_ICON);
    EXPECT_TRUE(gdi::isIcon(pic->Handle()));
    EXPECT_EQ(platform::HimetricToPixels(pic->Width(), true), 4);
    gdi::ICONINFO info;
    ASSERT_TRUE(gdi::GetIconInfo(pic->Handle(), info));
    gdi::DeleteObject(info.hbmColor);
    gdi::DeleteObject(info.hbmMask);
    EXPECT_FALSE(platform::IconPictureFromBytes(encode(img, "BMP")));
}

TEST(Picture, TopDownBitmapHandlesDrawUpright)
{
    gdi::BITMAPINFO bi = gdi::makeBitmapInfo(1, 2, 32);
    bi.bmiHeader.biHeight = -2;   // top-down rows
    std::uint8_t *bits = nullptr;
    const gdi::HBITMAP bmp = gdi::CreateDIBSection(0, bi, gdi::DIB_RGB_COLORS, &bits);
    ASSERT_TRUE(bmp);
    bits[2] = 255;   // first row in memory, the top: red
    bits[4] = 255;   // the bottom: blue
    const platform::Picture pic = platform::OleCreatePictureIndirect(platform::PICTYPE_BITMAP, bmp, true);
    ASSERT_TRUE(pic);
    std::uint8_t *dst = nullptr;
    const gdi::HBITMAP target = gdi::CreateDIBSection(0, gdi::makeBitmapInfo(1, 2, 32), gdi::DIB_RGB_COLORS, &dst);
    const gdi::HDC dc = gdi::CreateCompatibleDC(0);
    const gdi::HGDIOBJ old = gdi::SelectObject(dc, target);
    ASSERT_TRUE(pic->Render(dc, 0, 0, 1, 2, 0, pic->Height(), pic->Width(), -pic->Height()));
    EXPECT_EQ(dibPixel(dst, 1, 2, 0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(dibPixel(dst, 1, 2, 0, 1) & 0xFFFFFF, 0x0000FFu);
    gdi::SelectObject(dc, old);
    gdi::DeleteDC(dc);
    gdi::DeleteObject(target);
}
