#pragma once
// Picture objects: the platform's loaded pictures (bitmaps and icons) with a
// kind, a HIMETRIC size, a drawing-layer handle and a Render call.
//
//   platform::Picture pic = platform::PictureFromBytes(bytes);   // BMP, GIF, JPEG
//   if (pic && pic->Type() == platform::PICTYPE_BITMAP) {
//       int w = platform::HimetricToPixels(pic->Width(), true);
//       int h = platform::HimetricToPixels(pic->Height(), false);
//       pic->Render(dc, 0, 0, w, h, 0, pic->Height(), pic->Width(), -pic->Height());   // upright
//   }
//   platform::Picture owned = platform::OleCreatePictureIndirect(platform::PICTYPE_BITMAP, bmp);
//   // owned deletes bmp when the last reference goes.
//
// Bytes are decoded by Qt's image reader: BMP of every depth (RLE, bit
// fields), GIF (first frame) and JPEG. Anything else, metafiles included,
// gives no picture. Widget-free (QtGui only), user-interface thread only.
#include "platform/gdi/gdi.h"

#include <cstdint>
#include <memory>
#include <span>

class QImage;

namespace platform {

enum PictureKind : std::int16_t {
    PICTYPE_NONE = 0,
    PICTYPE_BITMAP = 1,
    PICTYPE_METAFILE = 2,
    PICTYPE_ICON = 3,
    PICTYPE_ENHMETAFILE = 4,
};

// Screen pixels <-> HIMETRIC (0.01 mm) at the screen's logical resolution.
// HimetricToPixels is himetric x 1440 / 2540 / twips per pixel, rounded to
// the nearest integer with halves to even; PixelsToHimetric is its inverse,
// so a pixel size survives the round trip exactly.
std::int32_t HimetricToPixels(std::int32_t himetric, bool horizontal);
std::int32_t PixelsToHimetric(std::int32_t pixels, bool horizontal);

class StdPicture {
public:
    ~StdPicture();
    StdPicture(const StdPicture &) = delete;
    StdPicture &operator=(const StdPicture &) = delete;

    std::int16_t Type() const { return m_kind; }
    // A picture made from bytes creates its bitmap on first use.
    gdi::HGDIOBJ Handle() const;
    // HIMETRIC.
    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }

    // The bitmap behind a bitmap picture, as GetObject reports it (size, 32
    // bits per pixel, pixel pointer and row stride), without creating a handle
    // for a picture made from bytes; topDown tells the row order in memory.
    bool GetBitmap(gdi::BITMAP &out, bool &topDown) const;

    // Draws the picture into the DC's bitmap: destination (x, y, cx, cy) in
    // pixels, source (xSrc, ySrc, cxSrc, cySrc) in HIMETRIC with y counted
    // upwards from the picture's bottom edge, so ySrc = Height() with cySrc =
    // -Height() draws it upright and a positive cySrc draws it upside down.
    // Icons always draw whole through their mask.
    bool Render(gdi::HDC dc, std::int32_t x, std::int32_t y, std::int32_t cx, std::int32_t cy, std::int32_t xSrc,
                std::int32_t ySrc, std::int32_t cxSrc, std::int32_t cySrc) const;

private:
    friend std::shared_ptr<StdPicture> OleCreatePictureIndirect(std::int16_t, gdi::HGDIOBJ, bool);
    friend std::shared_ptr<StdPicture> PictureFromBytes(std::span<const std::uint8_t>);
    StdPicture();

    std::int16_t m_kind = PICTYPE_NONE;
    mutable gdi::HGDIOBJ m_handle = 0;
    // The reader's pixels (ARGB32 or RGB32) of a picture made from bytes.
    std::unique_ptr<QImage> m_image;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    bool m_own = true;
};

using Picture = std::shared_ptr<StdPicture>;

// A picture of a bitmap (PICTYPE_BITMAP) or icon (PICTYPE_ICON) handle; with
// own true the picture deletes the handle when it is released. A handle
// that is not of the kind, or another kind, gives none.
Picture OleCreatePictureIndirect(std::int16_t kind, gdi::HGDIOBJ handle, bool own = true);

// A bitmap picture from encoded BMP, GIF or JPEG bytes. Its handle is a
// bottom-up 32-bit DIB section of straight colour with the reader's alpha
// (0 where a GIF pixel is transparent). None for any other data.
Picture PictureFromBytes(std::span<const std::uint8_t> bytes);

// An icon picture from icon or cursor file bytes (the reader's choice of
// entry); none for other data.
Picture IconPictureFromBytes(std::span<const std::uint8_t> bytes, bool cursor = false);

} // namespace platform
