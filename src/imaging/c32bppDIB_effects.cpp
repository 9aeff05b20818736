// Image effects: in-place pixel transforms, trimming, the checkerboard, the
// drop shadow and regions of the visible pixels. Rotation is in
// c32bppDIB_rotate.cpp.
#include "imaging/c32bppDIB.h"

#include "imaging/pixels_p.h"

#include <cstring>
#include <vector>

namespace imaging {

using detail::PixelRows;

bool c32bppDIB::MakeGrayScale(std::int32_t Formula)
{
    if (!m_handle || Formula == NoGray)
        return false;
    const GrayWeights w = GrayscaleWeights(Formula);
    std::uint8_t *p = m_bits;
    const std::size_t n = std::size_t(m_width) * std::size_t(m_height);
    for (std::size_t i = 0; i < n; ++i, p += 4)
        if (p[3] != 0)
            p[0] = p[1] = p[2] = detail::grayOf(p[0], p[1], p[2], w);
    return true;
}

bool c32bppDIB::MakeImageInverse()
{
    if (!m_handle)
        return false;
    std::uint8_t *p = m_bits;
    const std::size_t n = std::size_t(m_width) * std::size_t(m_height);
    for (std::size_t i = 0; i < n; ++i, p += 4) {
        // a - c keeps the inverse premultiplied; a colour byte above its
        // alpha (malformed) is taken as the alpha.
        const std::uint8_t a = p[3];
        p[0] = std::uint8_t(a - std::min(p[0], a));
        p[1] = std::uint8_t(a - std::min(p[1], a));
        p[2] = std::uint8_t(a - std::min(p[2], a));
    }
    return true;
}

bool c32bppDIB::MakeTransparent(std::uint32_t TransparentColor)
{
    if (!m_handle)
        return false;
    const std::uint32_t c = gdi::TranslateColor(TransparentColor);
    // The opaque pixel of that colour as it sits in memory (B, G, R, 255).
    const std::uint32_t key = std::uint32_t(gdi::GetBValue(c)) | (std::uint32_t(gdi::GetGValue(c)) << 8) |
                              (std::uint32_t(gdi::GetRValue(c)) << 16) | 0xFF000000u;
    std::uint8_t *p = m_bits;
    const std::size_t n = std::size_t(m_width) * std::size_t(m_height);
    bool changed = false;
    for (std::size_t i = 0; i < n; ++i, p += 4) {
        const std::uint32_t v =
            std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
        if (v == key) {
            std::memset(p, 0, 4);
            changed = true;
        }
    }
    if (changed)
        m_alpha = true;
    return true;
}

bool c32bppDIB::MirrorImage(bool MirrorAxisX, bool MirrorAxisY)
{
    if (!m_handle || (!MirrorAxisX && !MirrorAxisY))
        return false;
    std::int32_t x = 0, y = 0;
    std::int32_t dw = MirrorAxisX ? -m_width : m_width, dh = MirrorAxisY ? -m_height : m_height;
    ByteArray buffer;
    if (!MirrorCopy(x, y, m_width, m_height, dw, dh, buffer, nullptr))
        return false;
    std::memcpy(m_bits, buffer.data(), buffer.size());
    return true;
}

bool c32bppDIB::TrimImage(bool UpdateDIB, std::int32_t Method, std::int32_t *x, std::int32_t *Y,
                          std::int32_t *Width, std::int32_t *Height)
{
    auto report = [&](std::int32_t rx, std::int32_t ry, std::int32_t rw, std::int32_t rh) {
        if (x)
            *x = rx;
        if (Y)
            *Y = ry;
        if (Width)
            *Width = rw;
        if (Height)
            *Height = rh;
    };
    if (!m_handle) {
        report(0, 0, 0, 0);
        return false;
    }
    if (!m_alpha) {
        report(0, 0, m_width, m_height);
        return true;
    }
    if (Method < 0)
        return false;
    if (Method == 0)
        Method = TrimLeft | TrimTop | TrimRight | TrimBottom;

    const PixelRows image{m_bits, m_width, m_height};
    // Rows counted from the top.
    auto rowVisible = [&](std::int32_t r) {
        const std::uint8_t *p = image.row(m_height - 1 - r) + 3;
        for (std::int32_t i = 0; i < m_width; ++i, p += 4)
            if (*p)
                return true;
        return false;
    };
    std::int32_t top = 0, bottom = 0;
    if (Method & TrimTop) {
        while (top < m_height && !rowVisible(top))
            ++top;
        if (top == m_height) {
            report(0, 0, 0, 0);
            return false;
        }
    }
    if (Method & TrimBottom) {
        while (bottom < m_height && !rowVisible(m_height - 1 - bottom))
            ++bottom;
        if (bottom == m_height) {
            report(0, 0, 0, 0);
            return false;
        }
    }
    const std::int32_t rectY = top, rectH = m_height - top - bottom;

    std::int32_t left = 0, right = m_width - 1;
    if (Method & (TrimLeft | TrimRight)) {
        // First and last visible columns over the kept rows.
        std::int32_t first = m_width, last = -1;
        for (std::int32_t r = rectY; r < rectY + rectH; ++r) {
            const std::uint8_t *p = image.row(m_height - 1 - r);
            std::int32_t i = 0;
            while (i < first && !p[std::size_t(i) * 4 + 3])
                ++i;
            first = std::min(first, i);
            std::int32_t j = m_width - 1;
            while (j > last && !p[std::size_t(j) * 4 + 3])
                --j;
            last = std::max(last, j);
        }
        // Only left and right asked for, and nothing visible: nothing to keep.
        if (last < 0) {
            report(0, 0, 0, 0);
            return false;
        }
        if (Method & TrimLeft)
            left = first;
        if (Method & TrimRight)
            right = std::max(last, left);
    }
    const std::int32_t rectX = left, rectW = right - left + 1;

    if (UpdateDIB && (rectW < m_width || rectH < m_height)) {
        c32bppDIB cropped;
        cropped.setGdiToken(m_gdiToken);
        if (!cropped.InitializeDIB(rectW, rectH))
            return false;
        cropped.setAlpha(m_alpha);
        cropped.setImageType(m_imageType);
        cropped.setOriginalBytes(m_original);
        for (std::int32_t r = 0; r < rectH; ++r)
            std::memcpy(cropped.BitsPointer() + std::size_t(rectH - 1 - r) * std::size_t(rectW) * 4,
                        image.pixel(rectX, m_height - 1 - (rectY + r)), std::size_t(rectW) * 4);
        cropped.CopyImageTo(*this, 0, 0, true);
        report(0, 0, rectW, rectH);
        return true;
    }
    report(rectX, rectY, rectW, rectH);
    return true;
}

bool c32bppDIB::CreateCheckerBoard(std::int32_t CheckerSize, std::uint32_t FirstColor, std::uint32_t SecondColor)
{
    // A size below 1 would give squares of no pixels.
    if (!m_handle || CheckerSize < 1)
        return false;
    // The squares are written straight into memory, opaque; this is what
    // filling them through the DC and then making every pixel opaque gives.
    auto opaque = [](std::uint32_t colour) {
        const std::uint32_t c = gdi::TranslateColor(colour);
        return std::uint32_t(gdi::GetBValue(c)) | (std::uint32_t(gdi::GetGValue(c)) << 8) |
               (std::uint32_t(gdi::GetRValue(c)) << 16) | 0xFF000000u;
    };
    const std::uint32_t colours[2] = {opaque(FirstColor), opaque(SecondColor)};
    for (std::int32_t r = 0; r < m_height; ++r) {
        auto *p = reinterpret_cast<std::uint32_t *>(m_bits + std::size_t(m_height - 1 - r) * std::size_t(m_width) * 4);
        const int rowBand = (r / CheckerSize) & 1;
        for (std::int32_t x0 = 0; x0 < m_width; x0 += CheckerSize) {
            const std::uint32_t c = colours[rowBand ^ ((x0 / CheckerSize) & 1)];
            const std::int32_t x1 = std::int32_t(std::min<std::int64_t>(std::int64_t(x0) + CheckerSize, m_width));
            std::fill(p + x0, p + x1, c);
        }
    }
    m_alpha = false;
    m_imageType = Checkerboard;
    return true;
}

std::unique_ptr<c32bppDIB> c32bppDIB::CreateDropShadow(std::int32_t blurDepth, std::uint32_t Color) const
{
    if (!m_handle)
        return nullptr;
    const std::int32_t D = std::clamp(blurDepth, 0, 10);
    const std::int32_t K = 2 * D + 1;
    const std::int64_t sw = std::int64_t(m_width) + 2 * D, sh = std::int64_t(m_height) + 2 * D;
    if (sw > INT32_MAX || sh > INT32_MAX)
        return nullptr;
    auto shadow = std::make_unique<c32bppDIB>();
    if (!shadow->InitializeDIB(std::int32_t(sw), std::int32_t(sh)))
        return nullptr;
    shadow->setGdiToken(m_gdiToken);
    shadow->setAlpha(true);
    shadow->setImageType(PremultipliedBitmap);

    const std::uint32_t c = gdi::TranslateColor(Color);
    const unsigned cr = gdi::GetRValue(c), cg = gdi::GetGValue(c), cb = gdi::GetBValue(c);
    // The shadow pixel for each alpha A: the colour premultiplied by A.
    std::uint32_t shade[256];
    shade[0] = 0;
    for (unsigned a = 1; a < 256; ++a) {
        const unsigned r = a == 255 ? cr : cr * a / 255, g = a == 255 ? cg : cg * a / 255,
                       b = a == 255 ? cb : cb * a / 255;
        shade[a] = b | (g << 8) | (r << 16) | (a << 24);
    }
    const std::uint32_t area = std::uint32_t(K) * std::uint32_t(K);

    // Running sums: column[u] holds the alpha of image column u over the K
    // image rows that reach the current shadow row; along the row a window of
    // K column totals slides. Each shadow row costs one pass.
    const std::int32_t W = m_width, H = m_height, SW = std::int32_t(sw), SH = std::int32_t(sh);
    std::vector<std::uint32_t> column(std::size_t(W), 0);
    const PixelRows image{m_bits, W, H};
    for (std::int32_t y = 0; y < SH; ++y) {
        // Shadow row y (memory order) covers image rows y - 2D .. y.
        if (y < H) {
            const std::uint8_t *p = image.row(y) + 3;
            for (std::int32_t u = 0; u < W; ++u)
                column[std::size_t(u)] += p[std::size_t(u) * 4];
        }
        const std::int32_t leaving = y - K;
        if (leaving >= 0 && leaving < H) {
            const std::uint8_t *p = image.row(leaving) + 3;
            for (std::int32_t u = 0; u < W; ++u)
                column[std::size_t(u)] -= p[std::size_t(u) * 4];
        }
        auto *out = reinterpret_cast<std::uint32_t *>(shadow->BitsPointer() + std::size_t(y) * std::size_t(SW) * 4);
        std::uint32_t window = 0;
        for (std::int32_t x = 0; x < SW; ++x) {
            if (x < W)
                window += column[std::size_t(x)];
            if (x - K >= 0 && x - K < W)
                window -= column[std::size_t(x - K)];
            out[x] = shade[window / area];
        }
    }
    return shadow;
}

bool c32bppDIB::RenderDropShadow_JIT(gdi::HDC hdc, std::int32_t x, std::int32_t Y, std::int32_t blurDepth,
                                     std::uint32_t Color, std::int32_t Opacity) const
{
    const std::unique_ptr<c32bppDIB> shadow = CreateDropShadow(blurDepth, Color);
    if (!shadow)
        return false;
    return shadow->Render(hdc, x, Y, 0, 0, 0, 0, 0, 0, Opacity, true, true, nullptr, -1);
}

gdi::HRGN c32bppDIB::CreateRegion(std::int32_t Style, std::int32_t xOffset, std::int32_t yOffset) const
{
    if (Style < RegionBounds || Style > RegionPixels || !m_handle)
        return 0;
    std::vector<gdi::RECT> rects;
    if (!m_alpha) {
        rects.push_back(gdi::RECT{0, 0, m_width, m_height});
    } else {
        std::int32_t minX = m_width, maxX = -1, firstRow = -1, lastRow = -1;
        for (std::int32_t r = 0; r < m_height; ++r) {
            const std::uint8_t *a = m_bits + std::size_t(m_height - 1 - r) * std::size_t(m_width) * 4 + 3;
            auto visible = [&](std::int32_t i) { return a[std::size_t(i) * 4] != 0; };
            if (Style == RegionPixels) {
                std::int32_t i = 0;
                while (i < m_width) {
                    while (i < m_width && !visible(i))
                        ++i;
                    if (i == m_width)
                        break;
                    const std::int32_t start = i;
                    while (i < m_width && visible(i))
                        ++i;
                    rects.push_back(gdi::RECT{start, r, i, r + 1});
                }
                continue;
            }
            std::int32_t first = 0;
            while (first < m_width && !visible(first))
                ++first;
            if (first == m_width)
                continue;
            std::int32_t last = m_width - 1;
            while (!visible(last))
                --last;
            if (Style == RegionRowSpans) {
                rects.push_back(gdi::RECT{first, r, last + 1, r + 1});
            } else {
                minX = std::min(minX, first);
                maxX = std::max(maxX, last);
                if (firstRow < 0)
                    firstRow = r;
                lastRow = r;
            }
        }
        if (Style == RegionBounds && firstRow >= 0)
            rects.push_back(gdi::RECT{minX, firstRow, maxX + 1, lastRow + 1});
        if (rects.empty())
            return 0;
    }

    gdi::HRGN region = gdi::ExtCreateRegion(rects);
    // A platform that refuses the list in one piece gets it in batches.
    constexpr std::size_t kBatch = 2000;
    if (!region && rects.size() > kBatch) {
        for (std::size_t i = 0; i < rects.size(); i += kBatch) {
            const std::size_t n = std::min(kBatch, rects.size() - i);
            const gdi::HRGN part = gdi::ExtCreateRegion(std::span<const gdi::RECT>(rects.data() + i, n));
            bool ok = part != 0;
            if (ok && !region) {
                region = part;
                continue;
            }
            if (ok)
                ok = gdi::CombineRgn(region, region, part, gdi::RGN_OR) != gdi::ERROR;
            if (part)
                gdi::DeleteObject(part);
            if (!ok) {
                if (region)
                    gdi::DeleteObject(region);
                return 0;
            }
        }
    }
    if (region && (xOffset || yOffset))
        gdi::OffsetRgn(region, xOffset, yOffset);
    return region;
}

} // namespace imaging
