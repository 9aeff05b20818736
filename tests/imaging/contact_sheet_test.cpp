// A contact sheet of one sample image (with transparency) under every drawing
// operation and effect, written as PNG under the build folder for a person to
// look at: render_contact_sheet.png. Each cell has a checkerboard behind it so
// that transparency shows, and a label under it.
#include "surface_fixture.h"

#include <QDir>
#include <QFont>
#include <QImage>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace imaging;
using namespace surfacetest;

namespace {

constexpr int kCell = 150, kColumns = 6;

// 64 x 48: a horizontal red-to-blue gradient body with a soft half-transparent
// rim, a round hole near the top-left, and a yellow L in the top-left corner
// so that turns and flips can be told apart.
void sample(c32bppDIB &dib)
{
    fill(dib, 64, 48, [](int x, int y) -> Px {
        const bool body = x >= 4 && x < 60 && y >= 4 && y < 44;
        const bool rim = body && (x < 6 || x >= 58 || y < 6 || y >= 42);
        const bool hole = std::hypot(x - 40.0, y - 16.0) < 6.0;
        const bool mark = (x >= 8 && x < 12 && y >= 8 && y < 26) || (x >= 8 && x < 22 && y >= 22 && y < 26);
        if (!body || hole)
            return {0, 0, 0, 0};
        int r = 255 - x * 4, g = 40 + y * 2, b = x * 4;
        if (mark)
            r = 255, g = 230, b = 0;
        const int a = rim ? 128 : 255;
        return {std::uint8_t(b * a / 255), std::uint8_t(g * a / 255), std::uint8_t(r * a / 255), std::uint8_t(a)};
    });
}

std::unique_ptr<c32bppDIB> copyOf(c32bppDIB &dib)
{
    std::unique_ptr<c32bppDIB> c;
    dib.CopyImageTo(c);
    return c;
}

} // namespace

TEST(ContactSheet, EveryOperationOnOneSample)
{
    c32bppDIB img;
    sample(img);

    struct Cell {
        const char *label;
        // Draws into the sheet with the cell's top-left corner at (x, y).
        std::function<bool(c32bppDIB &sheet, gdi::HDC dc, int x, int y)> draw;
    };
    auto centred = [](c32bppDIB &src, c32bppDIB &sheet, gdi::HDC dc, int x, int y) {
        return src.Render(dc, x + (kCell - src.Width()) / 2, y + (kCell - 16 - src.Height()) / 2, 0, 0, 0, 0, 0, 0,
                          100, true, true, &sheet);
    };
    auto withCopy = [&](std::function<bool(c32bppDIB &)> effect) {
        return [&, effect](c32bppDIB &sheet, gdi::HDC dc, int x, int y) {
            auto c = copyOf(img);
            return effect(*c) && centred(*c, sheet, dc, x, y);
        };
    };
    auto rotated = [&](float angle, bool highQuality, int opacity = 100, int grayFormula = -1) {
        return [&, angle, highQuality, opacity, grayFormula](c32bppDIB &sheet, gdi::HDC dc, int x, int y) {
            img.setHighQualityInterpolation(highQuality);
            const bool ok = img.RotateAtCenterPoint(dc, angle, x + kCell / 2, y + (kCell - 16) / 2, 0, 0, 0, 0, 0, 0,
                                                    opacity, &sheet, grayFormula);
            img.setHighQualityInterpolation(false);
            return ok;
        };
    };
    auto scaled = [&](int w, int h, bool ownPipeline, bool highQuality) {
        return [&, w, h, ownPipeline, highQuality](c32bppDIB &sheet, gdi::HDC dc, int x, int y) {
            auto c = copyOf(img);
            c->setAlphaBlendFriendly(!ownPipeline);
            c->setHighQualityInterpolation(highQuality);
            return c->Render(dc, x + (kCell - w) / 2, y + (kCell - 16 - h) / 2, w, h, 0, 0, 0, 0, 100, true, true,
                             &sheet);
        };
    };
    auto region = [&](int style) {
        return [&, style](c32bppDIB &sheet, gdi::HDC dc, int x, int y) {
            const gdi::HRGN rgn = img.CreateRegion(style, x + (kCell - 64) / 2, y + (kCell - 16 - 48) / 2);
            const gdi::HBRUSH brush = gdi::CreateSolidBrush(gdi::RGB(0, 120, 60));
            const bool ok = rgn && gdi::FillRgn(dc, rgn, brush);
            gdi::DeleteObject(brush);
            gdi::DeleteObject(rgn);
            (void)sheet;
            return ok;
        };
    };

    const Cell cells[] = {
        {"original", [&](c32bppDIB &s, gdi::HDC dc, int x, int y) { return centred(img, s, dc, x, y); }},
        {"opacity 50", [&](c32bppDIB &s, gdi::HDC dc, int x, int y) {
             return img.Render(dc, x + 43, y + 43, 0, 0, 0, 0, 0, 0, 50, true, true, &s);
         }},
        {"render gray 0", [&](c32bppDIB &s, gdi::HDC dc, int x, int y) {
             return img.Render(dc, x + 43, y + 43, 0, 0, 0, 0, 0, 0, 100, true, true, &s, Luma601);
         }},
        {"mirror x render", [&](c32bppDIB &s, gdi::HDC dc, int x, int y) {
             return img.Render(dc, x + 43, y + 43, -64, 48, 0, 0, 0, 0, 100, true, true, &s);
         }},
        {"mirror y render", [&](c32bppDIB &s, gdi::HDC dc, int x, int y) {
             return img.Render(dc, x + 43, y + 43, 64, -48, 0, 0, 0, 0, 100, true, true, &s);
         }},
        {"MirrorImage xy", withCopy([](c32bppDIB &c) { return c.MirrorImage(true, true); })},
        {"x2 bilinear own", scaled(128, 96, true, true)},
        {"x2 nearest own", scaled(128, 96, true, false)},
        {"x2 alpha-blend", scaled(128, 96, false, false)},
        {"1/2 bilinear own", scaled(32, 24, true, true)},
        {"Resize 100x50", withCopy([](c32bppDIB &c) {
             c.setAlphaBlendFriendly(false);
             c.setHighQualityInterpolation(true);
             return c.Resize(100, 50);
         })},
        {"MakeGrayScale 1", withCopy([](c32bppDIB &c) { return c.MakeGrayScale(Luma709); })},
        {"inverse", withCopy([](c32bppDIB &c) { return c.MakeImageInverse(); })},
        {"key yellow", withCopy([](c32bppDIB &c) { return c.MakeTransparent(gdi::RGB(255, 230, 0)); })},
        {"trim", withCopy([](c32bppDIB &c) { return c.TrimImage(true, 0); })},
        {"checkerboard 8", withCopy([](c32bppDIB &c) { return c.CreateCheckerBoard(8, 0xFFFFFF, gdi::RGB(80, 80, 200)); })},
        {"shadow 4 + image", [&](c32bppDIB &s, gdi::HDC dc, int x, int y) {
             auto sh = img.CreateDropShadow(4, gdi::RGB(0, 0, 0));
             return sh && sh->Render(dc, x + 39, y + 39, 0, 0, 0, 0, 0, 0, 70, true, true, &s) &&
                    img.Render(dc, x + 40, y + 40, 0, 0, 0, 0, 0, 0, 100, true, true, &s);
         }},
        {"shadow JIT 10", [&](c32bppDIB &s, gdi::HDC dc, int x, int y) {
             (void)s;
             return img.RenderDropShadow_JIT(dc, x + 33, y + 33, 10, gdi::RGB(200, 0, 0), 100);
         }},
        {"rotate 30 bilinear", rotated(30, true)},
        {"rotate 30 nearest", rotated(30, false)},
        {"rotate 45 bilinear", rotated(45, true)},
        {"rotate 45 nearest", rotated(45, false)},
        {"rotate 90", rotated(90, false)},
        {"rotate -30 50% gray", rotated(-30, true, 50, Luma601)},
        {"region pixels", region(c32bppDIB::RegionPixels)},
        {"region row spans", region(c32bppDIB::RegionRowSpans)},
        {"region bounds", region(c32bppDIB::RegionBounds)},
    };
    const int count = int(std::size(cells));
    const int rows = (count + kColumns - 1) / kColumns;

    c32bppDIB sheet;
    ASSERT_TRUE(sheet.InitializeDIB(kColumns * kCell, rows * kCell));
    ASSERT_TRUE(sheet.CreateCheckerBoard(10, gdi::RGB(255, 255, 255), gdi::RGB(215, 215, 215)));
    const gdi::HDC dc = sheet.LoadDIBinDC(true);
    ASSERT_NE(dc, 0u);
    const gdi::HFONT font = gdi::CreateFontFromQFont(QFont(QStringLiteral("DejaVu Sans"), 7));
    const gdi::HGDIOBJ oldFont = gdi::SelectObject(dc, font);
    gdi::SetBkMode(dc, gdi::TRANSPARENT);
    const gdi::HBRUSH line = gdi::CreateSolidBrush(gdi::RGB(120, 120, 120));
    for (int i = 0; i < count; ++i) {
        const int x = (i % kColumns) * kCell, y = (i / kColumns) * kCell;
        EXPECT_TRUE(cells[i].draw(sheet, dc, x, y)) << cells[i].label;
        gdi::FrameRect(dc, gdi::RECT{x, y, x + kCell, y + kCell}, line);
        gdi::TextOut(dc, x + 4, y + kCell - 15, QString::fromLatin1(cells[i].label));
    }
    gdi::SelectObject(dc, oldFont);
    gdi::DeleteObject(font);
    gdi::DeleteObject(line);
    sheet.LoadDIBinDC(false);

    // Everything was drawn over the opaque checkerboard, but fills and text
    // leave alpha 0 behind them: the sheet is shown opaque. Rows are
    // bottom-up in the surface, top-down in the viewer's image.
    for (std::size_t i = 3; i < std::size_t(sheet.scanWidth()) * sheet.Height(); i += 4)
        sheet.BitsPointer()[i] = 255;
    QImage out(sheet.Width(), sheet.Height(), QImage::Format_RGB32);
    for (int y = 0; y < sheet.Height(); ++y)
        std::memcpy(out.scanLine(y), sheet.BitsPointer() + std::size_t(sheet.Height() - 1 - y) * sheet.scanWidth(),
                    std::size_t(sheet.scanWidth()));
    const QString path = QDir(QString::fromUtf8(SORIMBA_BINARY_DIR)).filePath("render_contact_sheet.png");
    ASSERT_TRUE(out.save(path)) << path.toStdString();
}
