// Picture objects over the drawing layer, decoded by Qt's image reader.
#include "platform/picture/picture.h"

#include "platform/gdi/gdi_p.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <cmath>
#include <cstring>

namespace platform {

namespace {

int screenDpi(bool horizontal)
{
    const gdi::HDC screen = gdi::GetDC(0);
    const int dpi = gdi::GetDeviceCaps(screen, horizontal ? gdi::LOGPIXELSX : gdi::LOGPIXELSY);
    gdi::ReleaseDC(0, screen);
    return dpi > 0 ? dpi : 96;
}

std::int32_t clampToInt(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return std::int32_t(v);
}

// Formats the platform's picture loader takes; others (PNG, icons, anything
// Qt's plugins add) are not pictures of this loader.
bool isPictureFormat(const QByteArray &format)
{
    return format == "bmp" || format == "gif" || format == "jpeg" || format == "jpg";
}

QImage readImage(std::span<const std::uint8_t> bytes, bool icon)
{
    if (bytes.empty() || bytes.size() > std::size_t(INT32_MAX))
        return {};
    const QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char *>(bytes.data()),
                                                    qsizetype(bytes.size()));
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    const QByteArray format = reader.format();
    if (icon ? (format != "ico" && format != "cur") : !isPictureFormat(format))
        return {};
    QImage image;
    if (!reader.read(&image) || image.isNull() || image.width() < 1 || image.height() < 1)
        return {};
    // RGB32 already has ARGB32's bytes (alpha 0xFF): no conversion pass.
    if (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32)
        return image;
    return image.convertToFormat(QImage::Format_ARGB32);
}

// A bottom-up 32-bit DIB section holding the image's straight BGRA pixels.
gdi::HBITMAP dibFromImage(const QImage &image)
{
    const int w = image.width(), h = image.height();
    std::uint8_t *bits = nullptr;
    const gdi::HBITMAP bmp = gdi::CreateDIBSection(0, gdi::makeBitmapInfo(w, h, 32), gdi::DIB_RGB_COLORS, &bits);
    if (!bmp || !bits)
        return 0;
    const std::size_t rowBytes = std::size_t(w) * 4;
    for (int y = 0; y < h; ++y)   // ARGB32 is B, G, R, A in memory on this little-endian machine
        std::memcpy(bits + std::size_t(h - 1 - y) * rowBytes, image.constScanLine(y), rowBytes);
    return bmp;
}

} // namespace

std::int32_t HimetricToPixels(std::int32_t himetric, bool horizontal)
{
    const double twipsPerPixel = 1440.0 / screenDpi(horizontal);
    return clampToInt(std::nearbyint(double(himetric) * 1440.0 / 2540.0 / twipsPerPixel));
}

std::int32_t PixelsToHimetric(std::int32_t pixels, bool horizontal)
{
    const double twipsPerPixel = 1440.0 / screenDpi(horizontal);
    return clampToInt(std::nearbyint(double(pixels) * twipsPerPixel * 2540.0 / 1440.0));
}

StdPicture::StdPicture() = default;

StdPicture::~StdPicture()
{
    if (!m_own || !m_handle)
        return;
    if (m_kind == PICTYPE_ICON)
        gdi::DestroyIcon(m_handle);
    else
        gdi::DeleteObject(m_handle);
}

gdi::HGDIOBJ StdPicture::Handle() const
{
    if (!m_handle && m_image && !m_image->isNull())
        m_handle = dibFromImage(*m_image);
    return m_handle;
}

bool StdPicture::GetBitmap(gdi::BITMAP &out, bool &topDown) const
{
    out = gdi::BITMAP{};
    topDown = false;
    if (m_kind != PICTYPE_BITMAP)
        return false;
    if (m_image && !m_handle) {
        out.bmWidth = m_image->width();
        out.bmHeight = m_image->height();
        out.bmWidthBytes = int(m_image->bytesPerLine());
        out.bmBitsPixel = 32;
        out.bmBits = const_cast<std::uint8_t *>(m_image->constBits());   // read-only use
        topDown = true;
        return true;
    }
    return gdi::GetObject(m_handle, out);
}

bool StdPicture::Render(gdi::HDC dc, std::int32_t x, std::int32_t y, std::int32_t cx, std::int32_t cy,
                        std::int32_t xSrc, std::int32_t ySrc, std::int32_t cxSrc, std::int32_t cySrc) const
{
    if (!dc)
        return false;
    if (m_kind == PICTYPE_ICON)
        return m_handle && gdi::DrawIconEx(dc, x, y, m_handle, cx, cy, gdi::DI_NORMAL);
    if (m_kind != PICTYPE_BITMAP)
        return false;
    // The whole picture upright into a same-sized 32-bit target without a clip
    // is a plain copy of rows: the path every decoder takes.
    const gdi::detail::PixelView dst = gdi::detail::target(dc);
    const gdi::detail::DC *d = gdi::detail::get<gdi::detail::DC>(dc);
    const bool plainTarget = d && !d->clip && dst.valid() && dst.bpp == 32 && x == 0 && y == 0 &&
                             dst.width == cx && dst.height == cy;
    if (plainTarget && m_image && !m_handle && cySrc < 0 && xSrc == 0 && ySrc == m_height && cxSrc == m_width &&
        cySrc == -m_height && m_image->width() == cx && m_image->height() == cy) {
        for (int r = 0; r < cy; ++r)
            std::memcpy(dst.row(r), m_image->constScanLine(r), std::size_t(cx) * 4);
        return true;
    }
    gdi::BITMAP bm;
    if (!gdi::GetObject(Handle(), bm))
        return false;
    const std::int32_t sx = HimetricToPixels(xSrc, true);
    const std::int32_t sw = HimetricToPixels(cxSrc, true);
    const std::int32_t sh = HimetricToPixels(cySrc < 0 ? -cySrc : cySrc, false);
    // Rows counted from the top of the bitmap.
    const std::int64_t edge = std::int64_t(bm.bmHeight) - HimetricToPixels(ySrc, false);
    if (sw == 0 || sh == 0)
        return false;

    if (cySrc < 0 && sx == 0 && edge == 0 && sw == bm.bmWidth && sh == bm.bmHeight && cx == sw && cy == sh &&
        bm.bmBits) {
        // Only the bitmap made here is known to be bottom-up; handles from
        // elsewhere may be top-down and go through the drawing layer.
        if (plainTarget && m_image && bm.bmBitsPixel == 32) {
            const std::size_t rowBytes = std::size_t(cx) * 4;
            for (int r = 0; r < cy; ++r) {
                const std::uint8_t *s = bm.bmBits + std::size_t(bm.bmHeight - 1 - r) * std::size_t(bm.bmWidthBytes);
                std::memcpy(dst.row(r), s, rowBytes);
            }
            return true;
        }
    }

    const gdi::HDC src = gdi::CreateCompatibleDC(0);
    const gdi::HGDIOBJ old = gdi::SelectObject(src, Handle());
    bool ok = false;
    if (old) {
        if (cySrc < 0)
            ok = gdi::StretchBlt(dc, x, y, cx, cy, src, sx, int(edge), sw, sh, gdi::SRCCOPY);
        else   // upwards from the edge: mirrored
            ok = gdi::StretchBlt(dc, x, y, cx, cy, src, sx, int(edge - 1), sw, -sh, gdi::SRCCOPY);
        gdi::SelectObject(src, old);
    }
    gdi::DeleteDC(src);
    return ok;
}

Picture OleCreatePictureIndirect(std::int16_t kind, gdi::HGDIOBJ handle, bool own)
{
    std::int32_t w = 0, h = 0;
    if (kind == PICTYPE_BITMAP) {
        gdi::BITMAP bm;
        if (gdi::GetObjectType(handle) != gdi::OBJ_BITMAP || !gdi::GetObject(handle, bm))
            return {};
        w = bm.bmWidth;
        h = bm.bmHeight;
    } else if (kind == PICTYPE_ICON) {
        gdi::ICONINFO info;
        if (!gdi::GetIconInfo(handle, info))
            return {};
        gdi::BITMAP bm;
        if (info.hbmColor && gdi::GetObject(info.hbmColor, bm)) {
            w = bm.bmWidth;
            h = bm.bmHeight;
        } else if (gdi::GetObject(info.hbmMask, bm)) {
            w = bm.bmWidth;
            h = bm.bmHeight / 2;   // a monochrome icon's mask holds both halves
        }
        gdi::DeleteObject(info.hbmMask);
        if (info.hbmColor)
            gdi::DeleteObject(info.hbmColor);
    } else {
        return {};
    }
    Picture p(new StdPicture);
    p->m_kind = kind;
    p->m_handle = handle;
    p->m_own = own;
    p->m_width = PixelsToHimetric(w, true);
    p->m_height = PixelsToHimetric(h, false);
    return p;
}

Picture PictureFromBytes(std::span<const std::uint8_t> bytes)
{
    QImage image = readImage(bytes, false);
    if (image.isNull())
        return {};
    Picture p(new StdPicture);
    p->m_kind = PICTYPE_BITMAP;
    p->m_own = true;
    p->m_width = PixelsToHimetric(image.width(), true);
    p->m_height = PixelsToHimetric(image.height(), false);
    p->m_image = std::make_unique<QImage>(std::move(image));
    return p;
}

Picture IconPictureFromBytes(std::span<const std::uint8_t> bytes, bool cursor)
{
    const QImage image = readImage(bytes, true);
    if (image.isNull())
        return {};
    const int w = image.width(), h = image.height();
    const gdi::HBITMAP colour = dibFromImage(image);
    // The mask: 1 bit per pixel, rows padded to 2 bytes, top row first, a set
    // bit where the pixel is fully transparent.
    const int maskRow = ((w + 15) / 16) * 2;
    std::vector<std::uint8_t> maskBits(std::size_t(maskRow) * std::size_t(h), 0);
    for (int y = 0; y < h; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            if (qAlpha(line[x]) == 0)
                maskBits[std::size_t(y) * std::size_t(maskRow) + std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
    }
    const gdi::HBITMAP mask = gdi::CreateBitmap(w, h, 1, 1, maskBits);
    gdi::HICON icon = 0;
    if (colour && mask) {
        gdi::ICONINFO info;
        info.fIcon = !cursor;
        info.hbmColor = colour;
        info.hbmMask = mask;
        icon = gdi::CreateIconIndirect(info);
    }
    gdi::DeleteObject(colour);
    gdi::DeleteObject(mask);
    if (!icon)
        return {};
    Picture p = OleCreatePictureIndirect(PICTYPE_ICON, icon, true);
    if (!p)
        gdi::DestroyIcon(icon);
    return p;
}

} // namespace platform
