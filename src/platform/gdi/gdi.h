#pragma once
// The drawing layer: memory bitmaps, drawing contexts, regions, brushes, pens,
// fonts and icons behind integer handles, with the drawing calls the image
// engine and the skin controls use. Widget-free (QtGui only); the window
// drawing context lives in windowdc.h.
//
// Quick use:
//   using namespace gdi;
//   HDC dc = CreateCompatibleDC(0);                      // memory DC
//   BITMAPINFO bi = makeBitmapInfo(w, h, 32);            // bottom-up 32-bit
//   std::uint8_t *bits = nullptr;
//   HBITMAP bmp = CreateDIBSection(dc, bi, DIB_RGB_COLORS, &bits);
//   HGDIOBJ old = SelectObject(dc, bmp);                 // returns what it displaced
//   HBRUSH br = CreateSolidBrush(RGB(255, 0, 0));
//   FillRect(dc, RECT{0, 0, w, h}, br);                  // right and bottom edges excluded
//   HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
//   SelectObject(dc, pen); MoveToEx(dc, 0, 0); LineTo(dc, 10, 0);   // (10,0) not drawn
//   HFONT f = CreateFontFromQFont(QFont("NanumGothic", 9));
//   SelectObject(dc, f); SetTextColor(dc, RGB(255, 255, 255)); SetBkMode(dc, TRANSPARENT);
//   TextOut(dc, 4, 2, u"텍스트"_s); SIZE sz = GetTextExtentPoint32(dc, text);
//   GradientFill(dc, vertices, rects, GRADIENT_FILL_RECT_V);
//   AlphaBlend(dc, x, y, w, h, srcDC, 0, 0, sw, sh, BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA});
//   HRGN r = CreateRoundRectRgn(0, 0, w, h, 10, 10); PtInRegion(r, x, y);
//   SelectObject(dc, old); DeleteObject(bmp); DeleteDC(dc); DeleteObject(br); ...
// Colours are COLORREF values (red in the low byte). Pixels are blue, green,
// red, alpha bytes, rows bottom-up unless a DIB was made with a negative height.
// Fills, lines, pixels, shapes and text write alpha 0 into 32-bit bitmaps, as
// the classic platform drawing does; AlphaBlend and GradientFill write alpha.
// Every call checks its handles: a deleted or unknown handle makes it fail.
// All of this is meant for the user-interface thread only.
#include <QFont>
#include <QRegion>
#include <QString>
#include <cstdint>
#include <span>
#include <vector>

namespace gdi {

using HGDIOBJ = std::uint32_t;
using HBITMAP = HGDIOBJ;
using HDC = HGDIOBJ;
using HRGN = HGDIOBJ;
using HBRUSH = HGDIOBJ;
using HPEN = HGDIOBJ;
using HFONT = HGDIOBJ;
using HICON = HGDIOBJ;
using COLORREF = std::uint32_t;

constexpr COLORREF RGB(int r, int g, int b)
{
    return COLORREF(r & 255) | (COLORREF(g & 255) << 8) | (COLORREF(b & 255) << 16);
}
constexpr int GetRValue(COLORREF c) { return int(c & 255); }
constexpr int GetGValue(COLORREF c) { return int((c >> 8) & 255); }
constexpr int GetBValue(COLORREF c) { return int((c >> 16) & 255); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

struct POINT { std::int32_t x = 0, y = 0; };
struct SIZE { std::int32_t cx = 0, cy = 0; };
struct RECT {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool isEmpty() const { return right <= left || bottom <= top; }
    std::int64_t width() const { return std::int64_t(right) - left; }
    std::int64_t height() const { return std::int64_t(bottom) - top; }
};

// ---- object types and stock objects ------------------------------------
enum ObjectType : std::uint32_t {
    OBJ_PEN = 1, OBJ_BRUSH = 2, OBJ_DC = 3, OBJ_FONT = 6, OBJ_BITMAP = 7,
    OBJ_REGION = 8, OBJ_MEMDC = 10,
};
enum StockObject : int {
    WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3, BLACK_BRUSH = 4,
    NULL_BRUSH = 5, HOLLOW_BRUSH = NULL_BRUSH, WHITE_PEN = 6, BLACK_PEN = 7, NULL_PEN = 8,
    SYSTEM_FONT = 13, DEFAULT_GUI_FONT = 17,
};

// 0 for an unknown or deleted handle. Icons are not drawing objects (0 too).
std::uint32_t GetObjectType(HGDIOBJ h);
HGDIOBJ GetStockObject(int which);
// Deletes a bitmap, region, brush, pen or font. Fails for a bitmap still
// selected into a DC; stock objects are never deleted (true).
bool DeleteObject(HGDIOBJ h);
// Number of live non-stock objects (leak checks in tests).
int liveObjectCount();

// ---- bitmaps ------------------------------------------------------------
enum : std::uint32_t { BI_RGB = 0, BI_BITFIELDS = 3 };
enum : std::uint32_t { DIB_RGB_COLORS = 0 };
enum : std::uint32_t { CBM_INIT = 4 };

struct BITMAPINFOHEADER {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;       // positive: bottom-up rows; negative: top-down
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = BI_RGB;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};
struct RGBQUAD { std::uint8_t rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0; };
// The header with room for the largest colour table. With BI_BITFIELDS the
// first three entries hold the red, green and blue masks (little-endian).
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[256] = {};
};
BITMAPINFO makeBitmapInfo(int width, int height, int bitCount);

struct BITMAP {
    std::int32_t bmType = 0;
    std::int32_t bmWidth = 0;
    std::int32_t bmHeight = 0;
    std::int32_t bmWidthBytes = 0;
    std::uint16_t bmPlanes = 1;
    std::uint16_t bmBitsPixel = 0;
    std::uint8_t *bmBits = nullptr;  // only DIB sections expose their pixels
};

// 24- or 32-bit DIB section; *bits receives the pixel memory (zero-filled,
// rows padded to 4 bytes). Fails (0) for other depths or sizes whose byte
// count overflows 32 bits.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO &bi, std::uint32_t usage, std::uint8_t **bits);
// Device-dependent bitmaps (32-bit pixels kept privately; a 1-bit bitmap
// keeps black and white). CreateBitmap takes rows of the given depth
// (1 or 32 bits) padded to 2 bytes, top row first, or empty bits for zero.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBITMAP CreateBitmap(int width, int height, int planes, int bitCount,
                     std::span<const std::uint8_t> bits = {});
// From device-independent rows of 1, 4, 8, 16, 24 or 32 bits (colour table
// in bi for 1 to 8 bits). Pixels from fewer than 32 bits get alpha 0.
HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER &header, std::uint32_t init,
                       std::span<const std::uint8_t> bits, const BITMAPINFO &bi,
                       std::uint32_t usage);
bool GetObject(HBITMAP bmp, BITMAP &out);
// Reads a bitmap's rows. With empty bits and biBitCount 0 the header is
// filled (size, depth, image size); otherwise scan lines [start, start +
// lines) counted from the bottom are written in the header's depth (1, 4,
// 8 with a colour table written into bi, 16, 24, 32) and orientation.
// Returns the number of lines written (or 1 for a header query), 0 on error.
int GetDIBits(HDC dc, HBITMAP bmp, std::uint32_t start, std::uint32_t lines,
              std::span<std::uint8_t> bits, BITMAPINFO &bi, std::uint32_t usage);
// Copies DIB rows to a DC at (x, y). Returns the number of scan lines drawn.
int SetDIBitsToDevice(HDC dc, int x, int y, std::uint32_t width, std::uint32_t height,
                      int srcX, int srcY, std::uint32_t startScan, std::uint32_t lines,
                      std::span<const std::uint8_t> bits, const BITMAPINFO &bi,
                      std::uint32_t usage);

// ---- drawing contexts --------------------------------------------------
HDC GetDC(std::uintptr_t window = 0);        // 0: the screen context
int ReleaseDC(std::uintptr_t window, HDC dc);
HDC CreateCompatibleDC(HDC dc);
bool DeleteDC(HDC dc);
// Selects a bitmap, brush, pen or font (a region sets the clip). Returns the
// displaced object, or 0 on failure (a bitmap already selected elsewhere).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj);
HGDIOBJ GetCurrentObject(HDC dc, std::uint32_t objectType);
enum : int { TRANSPARENT = 1, OPAQUE = 2 };
COLORREF SetTextColor(HDC dc, COLORREF c);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF c);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
enum : int { BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4 };
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
enum : int { ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3 };
int SelectClipRgn(HDC dc, HRGN rgn);        // 0 region: no clip
int GetClipBox(HDC dc, RECT &out);
enum : int { LOGPIXELSX = 88, LOGPIXELSY = 90, BITSPIXEL = 12, HORZRES = 8, VERTRES = 10 };
int GetDeviceCaps(HDC dc, int index);

// ---- brushes, pens, colours --------------------------------------------
HBRUSH CreateSolidBrush(COLORREF c);
enum : int { PS_SOLID = 0, PS_NULL = 5 };
HPEN CreatePen(int style, int width, COLORREF c);
// System colours: the default desktop scheme (index 15 is the button face).
COLORREF GetSysColor(int index);
HBRUSH GetSysColorBrush(int index);
// A colour with the top bit set names a system colour by its low byte.
COLORREF TranslateColor(std::uint32_t colour);

// ---- pixels, lines, fills and shapes -----------------------------------
COLORREF SetPixel(HDC dc, int x, int y, COLORREF c);   // returns c, or CLR_INVALID
COLORREF GetPixel(HDC dc, int x, int y);               // CLR_INVALID outside
bool MoveToEx(HDC dc, int x, int y, POINT *previous = nullptr);
bool LineTo(HDC dc, int x, int y);    // start drawn, end point excluded
bool FillRect(HDC dc, const RECT &r, HBRUSH brush);
bool FrameRect(HDC dc, const RECT &r, HBRUSH brush);
// Outlines use the selected pen, interiors the selected brush; the shape
// covers [left, right) x [top, bottom).
bool Rectangle(HDC dc, int left, int top, int right, int bottom);
bool Ellipse(HDC dc, int left, int top, int right, int bottom);
bool RoundRect(HDC dc, int left, int top, int right, int bottom, int ellipseW, int ellipseH);
enum : std::uint32_t { SRCCOPY = 0x00CC0020, SRCPAINT = 0x00EE0086, SRCAND = 0x008800C6,
                       SRCINVERT = 0x00660046, NOTSRCCOPY = 0x00330008, BLACKNESS = 0x00000042,
                       WHITENESS = 0x00FF0062, PATCOPY = 0x00F00021 };
bool BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int srcX, int srcY, std::uint32_t rop);
bool StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int srcX, int srcY, int srcW,
                int srcH, std::uint32_t rop);
bool PatBlt(HDC dc, int x, int y, int w, int h, std::uint32_t rop);

enum : std::uint8_t { AC_SRC_OVER = 0, AC_SRC_ALPHA = 1 };
struct BLENDFUNCTION {
    std::uint8_t BlendOp = AC_SRC_OVER;
    std::uint8_t BlendFlags = 0;
    std::uint8_t SourceConstantAlpha = 255;
    std::uint8_t AlphaFormat = 0;
};
// Premultiplied source-over. Stretches when the sizes differ: nearest
// neighbour, or an area/bilinear filter when the destination's stretch mode is
// HALFTONE. Fails for negative sizes or a source rectangle outside the source.
bool AlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int srcX, int srcY, int srcW,
                int srcH, BLENDFUNCTION blend);

struct TRIVERTEX {
    std::int32_t x = 0, y = 0;
    std::uint16_t Red = 0, Green = 0, Blue = 0, Alpha = 0;   // 16-bit channels
};
struct GRADIENT_RECT { std::uint32_t UpperLeft = 0, LowerRight = 1; };
enum : std::uint32_t { GRADIENT_FILL_RECT_H = 0, GRADIENT_FILL_RECT_V = 1 };
// Rectangle gradients: the colour of the first column (row) is exactly the
// start vertex's, the last column (row) stops one step short of the end's.
bool GradientFill(HDC dc, std::span<const TRIVERTEX> vertices,
                  std::span<const GRADIENT_RECT> rects, std::uint32_t mode);

// ---- regions -----------------------------------------------------------
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT &r);
HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseW, int ellipseH);
// The union of a list of rectangles (the region-from-data call).
HRGN ExtCreateRegion(std::span<const RECT> rects);
// Makes ExtCreateRegion refuse (0) lists longer than this, as some platforms
// do; 0 removes the limit (the default). For tests of callers' fallbacks.
void setExtCreateRegionLimit(std::size_t maxRects);
HRGN CreateRegionFromQRegion(const QRegion &r);
enum : int { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };
int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode);   // region type or ERROR
int OffsetRgn(HRGN rgn, int dx, int dy);
int GetRgnBox(HRGN rgn, RECT &out);
bool PtInRegion(HRGN rgn, int x, int y);
bool PtInRect(const RECT &r, int x, int y);
bool EqualRgn(HRGN a, HRGN b);
bool FillRgn(HDC dc, HRGN rgn, HBRUSH brush);
bool FrameRgn(HDC dc, HRGN rgn, HBRUSH brush, int w, int h);
// The region's pixels as a QRegion (empty for a bad handle).
QRegion regionToQRegion(HRGN rgn);

// ---- fonts and text ----------------------------------------------------
struct LOGFONT {
    std::int32_t lfHeight = 0;     // negative: character height in pixels; positive: cell height
    std::int32_t lfWeight = 400;
    bool lfItalic = false;
    bool lfUnderline = false;
    bool lfStrikeOut = false;
    QString lfFaceName;
};
HFONT CreateFontIndirect(const LOGFONT &lf);
HFONT CreateFontFromQFont(const QFont &font);
QFont fontOf(HFONT font);            // the default GUI font for a bad handle
// Draws the text with its cell's top-left corner at (x, y) in the selected
// font and text colour, with the background filled when the mode is OPAQUE.
bool TextOut(HDC dc, int x, int y, const QString &text);
bool GetTextExtentPoint32(HDC dc, const QString &text, SIZE &out);
SIZE GetTextExtentPoint32(HDC dc, const QString &text);

// ---- icons and state drawing -------------------------------------------
struct ICONINFO {
    bool fIcon = true;
    std::uint32_t xHotspot = 0, yHotspot = 0;
    HBITMAP hbmMask = 0;
    HBITMAP hbmColor = 0;
};
// Copies the bitmaps; the caller keeps and deletes its own.
HICON CreateIconIndirect(const ICONINFO &info);
// Fills info with new copies of the icon's bitmaps, which the caller deletes.
bool GetIconInfo(HICON icon, ICONINFO &info);
bool DestroyIcon(HICON icon);
bool isIcon(HICON icon);
enum : std::uint32_t { DI_MASK = 1, DI_IMAGE = 2, DI_NORMAL = 3 };
// Draws an icon at (x, y), scaled to (w, h) when they are not 0. A 32-bit
// colour bitmap with any alpha is blended by its alpha; otherwise the mask
// clears and the colour bitmap is combined by exclusive or.
bool DrawIconEx(HDC dc, int x, int y, HICON icon, int w, int h, std::uint32_t flags = DI_NORMAL);
enum : std::uint32_t { DSS_NORMAL = 0, DSS_DISABLED = 0x20, DSS_MONO = 0x80 };
// Prefixed text: "&x" underlines x, "&&" shows "&". DSS_DISABLED draws the
// embossed look (white one pixel down-right, then grey).
bool DrawStateText(HDC dc, int x, int y, const QString &text, std::uint32_t flags);
// An icon or bitmap at (x, y) in (w, h): normal, disabled (embossed) or as a
// one-colour silhouette in the brush's colour (DSS_MONO).
bool DrawStateImage(HDC dc, HBRUSH brush, HGDIOBJ image, int x, int y, int w, int h,
                    std::uint32_t flags);
// The text with prefix marks removed and the index of the underlined
// character (-1 when none).
QString stripPrefix(const QString &text, int *underlineIndex = nullptr);

} // namespace gdi
