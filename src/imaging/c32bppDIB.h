#pragma once
// The image engine's one image type: a 32-bit DIB section of premultiplied
// blue-green-red-alpha pixels, rows stored bottom-up with a stride of
// Width * 4, public coordinates from the top-left corner. Pixel (x, y) starts
// at byte ((Height - 1 - y) * Width + x) * 4 of BitsPointer().
//
// Decoders fill a surface like this:
//   imaging::c32bppDIB dib;
//   if (!dib.InitializeDIB(w, h)) return false;          // zero-filled
//   std::uint8_t *row = dib.BitsPointer() + std::size_t(h - 1 - y) * dib.scanWidth();
//   ... write premultiplied B, G, R, A ...
//   dib.setAlpha(true); dib.setImageType(imaging::Png);
// Failures are reported as false, 0 or -1; nothing here throws.
#include "imaging/bytearray.h"
#include "platform/gdi/gdi.h"
#include "platform/picture/clipboard.h"

#include <QVariant>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace imaging {

// Where a surface's pixels came from (the surface's ImageType).
enum ImageFormat : std::int32_t {
    NoImage = -1,
    Blank = 0,
    Bitmap = 1,
    Metafile = 2,
    Icon = 3,
    EnhancedMetafile = 4,
    Cursor = 5,
    AlphaBitmap = 6,
    PremultipliedBitmap = 7,
    AlphaIcon = 8,
    Gif = 9,
    Png = 10,
    PngIcon = 11,
    AlphaCursor = 12,
    Checkerboard = 64,
};

// Platform capability bits of a surface.
enum CapabilityFlag : std::uint32_t {
    capAlphaBlendUsed = 1,       // isAlphaBlendFriendly
    capGDIplusUsed = 2,          // isGDIplusEnabled
    capAlphaBlendPresent = 8,
    capWin9x = 16,
    capNoGDIplus = 32,
};

class c32bppDIB {
public:
    c32bppDIB();
    ~c32bppDIB();
    c32bppDIB(const c32bppDIB &) = delete;
    c32bppDIB &operator=(const c32bppDIB &) = delete;

    // ---- state ------------------------------------------------------------
    bool HighQualityInterpolation() const { return m_highQuality; }
    void setHighQualityInterpolation(bool on) { m_highQuality = on; }
    gdi::HBITMAP Handle() const { return m_handle; }
    std::uint8_t *BitsPointer() const { return m_bits; }
    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }
    std::int32_t scanWidth() const { return m_width * 4; }
    bool Alpha() const { return m_alpha; }
    void setAlpha(bool on) { m_alpha = on; }           // for loaders and decoders
    std::int32_t ImageType() const { return m_imageType; }
    void setImageType(std::int32_t type) { m_imageType = type; }   // for loaders and decoders
    bool ManageOwnDC() const { return m_manageOwnDC; }
    // False deselects the DIB and deletes the own DC; true creates one when
    // an image exists (without selecting the DIB).
    void setManageOwnDC(bool on);
    bool isAlphaBlendFriendly() const { return (m_flags & capAlphaBlendUsed) != 0; }
    // Turns the alpha-blend path on only when the platform has it.
    void setAlphaBlendFriendly(bool on);
    bool isGDIplusEnabled() const { return (m_flags & capGDIplusUsed) != 0; }
    // Never becomes true here: GDI+ does not exist on this platform.
    void setGDIplusEnabled(bool on);
    bool isZlibEnabled() const;
    std::uint32_t gdiToken() const { return m_gdiToken; }
    void setGdiToken(std::uint32_t token) { m_gdiToken = token; }
    std::uint32_t capabilityFlags() const { return m_flags; }
    // Whether the file routines should use wide-character names.
    bool useWideFileNames() const { return (m_flags & 24) == 8; }
    // The own memory DC (0 when none) and whether the DIB is selected into it.
    gdi::HDC ownDC() const { return m_dc; }
    bool isLoadedInDC() const { return m_displaced != 0; }

    // ---- life cycle ---------------------------------------------------------
    // A width x |height| surface, bottom-up, zero-filled, Alpha true, type 0.
    // Fails for a negative width, a zero height or more than 2^31 - 1 bytes.
    bool InitializeDIB(std::int32_t width, std::int32_t height);
    void DestroyDIB();
    // All bytes 0 (transparent black), ImageType 0, Alpha true.
    void EraseDIB();
    // true: selects the DIB into the own DC (created when missing) and returns
    // that DC, 0 without image. false: deselects, deletes the DC unless it is
    // managed, returns 0.
    gdi::HDC LoadDIBinDC(bool load);

    // ---- pixels -------------------------------------------------------------
    // The colour (red low) at (x, y), or -1 outside or without image; the
    // alpha goes to *alphaValue (0 on failure). Straight colour unless asked
    // for the stored premultiplied bytes.
    std::int32_t GetPixel(std::int32_t x, std::int32_t y, std::int32_t *alphaValue = nullptr,
                          bool asPreMultiplied = false) const;
    // Writes one pixel; returns its address, or nullptr when nothing was
    // written (no image, alpha outside 0..255, outside the image).
    std::uint8_t *SetPixel(std::int32_t x, std::int32_t y, std::uint32_t color, std::int32_t alphaValue = 255,
                           bool isPreMultiplied = false);

    // Copies a rectangle out in the requested layout; outStream is resized
    // (two-dimensional: row bytes x rows). See the .cpp for the layouts.
    bool GetDIBbits(ByteArray &outStream, bool as2dArray = true, bool asBGRformat = true, bool as32bpp = true,
                    bool asWordAligned = true, bool asBottomUp = true, std::int32_t x = 0, std::int32_t y = 0,
                    std::int32_t width = 0, std::int32_t height = 0, bool asPreMultiplied = true) const;
    // Copies pixels in, then classifies the alpha channel of the whole
    // surface (straight alpha is premultiplied, no alpha made opaque); its
    // answer becomes Alpha. The input must hold row bytes x Height bytes.
    bool SetDIBbits(std::span<const std::uint8_t> inStream, bool isBGRformat = true, bool is32bpp = true,
                    bool isWordAligned = true, bool isBottomUp = true, std::int32_t dstX = 0,
                    std::int32_t dstY = 0, std::int32_t dstWidth = 0, std::int32_t dstHeight = 0);
    // One byte per pixel: the alpha.
    bool GetAlphaMask(ByteArray &outStream, bool as2dArray = true, bool asWordAligned = true,
                      bool asBottomUp = true, std::int32_t x = 0, std::int32_t y = 0, std::int32_t width = 0,
                      std::int32_t height = 0) const;

    // ---- original bytes -----------------------------------------------------
    // Copies the kept source bytes out; true when there are any.
    bool GetOrginalFormat(ByteArray &outStream) const;
    void setOriginalBytes(std::span<const std::uint8_t> bytes) { m_original.assign(bytes.begin(), bytes.end()); }
    const std::vector<std::uint8_t> &originalBytes() const { return m_original; }

    // ---- GDI+ (absent here) -------------------------------------------------
    std::uint32_t CreateGDIplusToken();                // always 0
    bool DestroyGDIplusToken(std::uint32_t token);     // no information

    // ---- loading pipeline (c32bppDIB_load.cpp) ------------------------------
    // Every loader answers true exactly when the surface holds an image
    // afterwards. Encoded data (57 bytes at least) is offered to the decoders
    // in turn: PNG, GIF, icon/cursor, bitmap (the bitmap decoder hands JPEG and
    // other bitmaps to the platform's picture loader). iconCx, iconCy and
    // iconBitDepth choose the entry of an icon or cursor file (0 x 0 reads as
    // 32 x 32). SaveFormat keeps the encoded bytes as the original bytes.
    // Early rejections (no file, too short, empty array, no handle, nothing on
    // the clipboard) leave the surface as it was; a load that reached a
    // decoder and failed leaves it without image, ImageType NoImage.
    //   imaging::c32bppDIB dib;
    //   if (dib.LoadPicture_File(u"icon.ico"_s, 16, 16)) ...
    //   dib.LoadPicture_Stream(bytes);                 // bytes: ByteArray
    bool LoadPicture_File(const QString &FileName, std::int32_t iconCx = 0, std::int32_t iconCy = 0,
                          bool SaveFormat = false, std::int32_t iconBitDepth = 32);
    // The icon decoder may rewrite header bytes inside inStream.
    bool LoadPicture_Stream(ByteArray &inStream, std::int32_t iconCx = 0, std::int32_t iconCy = 0,
                            std::int32_t streamStart = 0, std::int32_t streamLength = 0, bool SaveFormat = false,
                            std::int32_t iconBitDepth = 32);
    // ResSection a string: raw data of that type name; otherwise a picture
    // kind (0 bitmap, 1 icon, 2 cursor). VBglobal null: the application's own.
    bool LoadPicture_Resource(const QVariant &ResIndex, const QVariant &ResSection,
                              const platform::ResourceModule *VBglobal = nullptr, std::int32_t iconCx = 0,
                              std::int32_t iconCy = 0, std::int32_t streamStart = 0, std::int32_t streamLength = 0,
                              std::int32_t iconBitDepth = 0);
    bool LoadPicture_StdPicture(const platform::Picture &Picture);
    // A bitmap or icon handle, which the call takes over and destroys.
    bool LoadPicture_ByHandle(gdi::HGDIOBJ Handle);
    bool LoadPicture_ClipBoard();
    // Decodes the kept original bytes again (another icon size), keeping them.
    bool LoadPicture_FromOrignalFormat(std::int32_t iconCx = 0, std::int32_t iconCy = 0,
                                       std::int32_t iconBitDepth = 0);
    // Replaces a drop's file list with the full (wide) names of its raw data.
    bool GetDroppedFileNames(platform::DataObject *OLEDragDrop_DataObject);
    // The clipboard's file list into ListOfFiles (zero-based); the count.
    std::int32_t GetPastedFileNames(QStringList &ListOfFiles);
    // (end of loading pipeline)

    // ---- rendering and scaling (c32bppDIB_render.cpp) -----------------------
    // How ScaleImage fits an image; values outside 0..2 act as ActualSize.
    enum ScaleStyle : std::int32_t { ScaleToFit = 0, ScaleDownToFit = 1, StretchToFill = 2, ActualSize = 3 };
    // Draws a rectangle of this surface onto a DC, stretched, mirrored
    // (negative destination sizes), with an opacity in percent and optionally
    // in gray. Source and destination sizes of 0 mean the surface's size. The
    // platform alpha-blend call draws when it can give the result; otherwise
    // the engine's own pipeline does, into destHostDIB's memory when given
    // (the surface that owns destinationDC) or through a captured copy of the
    // DC's area.
    bool Render(gdi::HDC destinationDC, std::int32_t destX = 0, std::int32_t destY = 0, std::int32_t destWidth = 0,
                std::int32_t destHeight = 0, std::int32_t SrcX = 0, std::int32_t SrcY = 0, std::int32_t srcWidth = 0,
                std::int32_t srcHeight = 0, std::int32_t Opacity = 100, bool Blend = true, bool SetHalfTone = true,
                c32bppDIB *destHostDIB = nullptr, std::int32_t grayScale = -1);
    // The size this image takes in destWidth x destHeight under a ScaleStyle;
    // changes nothing. Without image the outputs are left as they are.
    void ScaleImage(std::int32_t destWidth, std::int32_t destHeight, std::int32_t &newWidth,
                    std::int32_t &newHeight, std::int32_t ScaleMode = 1) const;
    // Copies (scaling when the size differs) into the target; 0 means this
    // surface's size. The pointer form creates the target when it is empty.
    void CopyImageTo(c32bppDIB &cDIBclass, std::int32_t newWidth = 0, std::int32_t newHeight = 0,
                     bool CopyOriginalFormat = false);
    void CopyImageTo(std::unique_ptr<c32bppDIB> &cDIBclass, std::int32_t newWidth = 0, std::int32_t newHeight = 0,
                     bool CopyOriginalFormat = false);
    bool Resize(std::int32_t newWidth, std::int32_t newHeight);
    // A BMP file (32-bit with alpha, else 24-bit). The file is replaced only
    // when the whole image was written; an existing file is kept unless the
    // overwrite question (when asked) is answered Yes.
    bool SaveToFile(const QString &FileName, bool PromptOverwrite = true);
    // The same BMP bytes into outStream (emptied on failure).
    bool SaveToStream(ByteArray &outStream);
    // (end of rendering and scaling)

    // ---- effects (c32bppDIB_effects.cpp) ------------------------------------
    enum RegionStyle : std::int32_t { RegionBounds = 0, RegionRowSpans = 1, RegionPixels = 2 };
    // TrimImage's Method bits; 0 means all four.
    enum TrimSides : std::int32_t { TrimLeft = 1, TrimTop = 2, TrimRight = 4, TrimBottom = 8 };
    // In-place transforms of the premultiplied pixels; each returns false
    // without image.
    bool MakeGrayScale(std::int32_t Formula);          // GrayFormula; -1 does nothing (false)
    bool MakeImageInverse();
    // Opaque pixels of exactly this colour (red low) become transparent.
    bool MakeTransparent(std::uint32_t TransparentColor);
    bool MirrorImage(bool MirrorAxisX, bool MirrorAxisY);
    // The rectangle (top-down) left after removing fully transparent borders
    // on the sides of Method (bits 1 left, 2 top, 4 right, 8 bottom; 0 all);
    // with UpdateDIB the image is cropped to it. False when nothing is visible.
    bool TrimImage(bool UpdateDIB, std::int32_t Method, std::int32_t *x = nullptr, std::int32_t *Y = nullptr,
                   std::int32_t *Width = nullptr, std::int32_t *Height = nullptr);
    bool CreateCheckerBoard(std::int32_t CheckerSize = 12, std::uint32_t FirstColor = 0xFFFFFF,
                            std::uint32_t SecondColor = 0xC0C0C0);
    // A new surface, blurDepth (0..10) larger on every side, holding the
    // colour under a box-blurred copy of this image's alpha.
    std::unique_ptr<c32bppDIB> CreateDropShadow(std::int32_t blurDepth = 4, std::uint32_t Color = 0xC0C0C0) const;
    bool RenderDropShadow_JIT(gdi::HDC hdc, std::int32_t x, std::int32_t Y, std::int32_t blurDepth = 4,
                              std::uint32_t Color = 0xC0C0C0, std::int32_t Opacity = 50) const;
    // Draws the source rectangle turned clockwise by Angle degrees about the
    // centre of the destination rectangle whose top-left corner is (TopX, TopY).
    bool RotateAtTopLeft(gdi::HDC hdc, float Angle, std::int32_t TopX = 0, std::int32_t TopY = 0,
                         std::int32_t destWidth = 0, std::int32_t destHeight = 0, std::int32_t SrcX = 0,
                         std::int32_t SrcY = 0, std::int32_t srcWidth = 0, std::int32_t srcHeight = 0,
                         std::int32_t Opacity = 100, c32bppDIB *destHostDIB = nullptr, std::int32_t grayScale = -1);
    bool RotateAtCenterPoint(gdi::HDC hdc, float Angle, std::int32_t CenterPointX, std::int32_t CenterPointY,
                             std::int32_t destWidth = 0, std::int32_t destHeight = 0, std::int32_t SrcX = 0,
                             std::int32_t SrcY = 0, std::int32_t srcWidth = 0, std::int32_t srcHeight = 0,
                             std::int32_t Opacity = 100, c32bppDIB *destHostDIB = nullptr,
                             std::int32_t grayScale = -1);
    // A region of the visible pixels (alpha not 0): 0 bounds, 1 one span per
    // row, 2 every run. The caller deletes it; 0 when nothing is visible.
    gdi::HRGN CreateRegion(std::int32_t Style = 0, std::int32_t xOffset = 0, std::int32_t yOffset = 0) const;
    // The entries of the icon or cursor file the image came from, in file
    // order: width, height, bits per pixel and a colour code (2, 4, 16, 256
    // colours; 0xFF000000 true colour; 0xFFFF00 high colour; -1 true colour
    // with alpha). The answer is the number of entries: 0 for another kind of
    // image or unreadable kept bytes, 1 (this image at 32 bits) without them.
    using IconSize = std::array<std::int32_t, 4>;
    std::int32_t SourceIconSizes(std::vector<IconSize> &sizeArray) const;
    // (end of effects)

    // ---- PNG encoder (c32bppDIB_png.cpp) ------------------------------------
    // Saves the image as PNG with the stored properties. An existing file is
    // replaced only after the user agrees (when asked) and only once the new
    // file is complete. False for an empty name, no image, or any failure.
    bool SaveToFile_PNG(const QString &FileName, bool PromptOverwrite = true);
    // outStream receives exactly the PNG bytes; false without image or on failure.
    bool SaveToStream_PNG(ByteArray &outStream);
    // Stores a PNG property (IDs in imaging/png/png_writer.h); no value removes
    // it, ID -1 drops them all. LargeBlockCaption names a custom text (ID 1024).
    bool PngPropertySet(std::int32_t PropertyID, const std::optional<QVariant> &PropertyValue = std::nullopt,
                        const QString &LargeBlockCaption = {});
    QVariant PngPropertyGet(std::int32_t PropertyID, const QString &LargeBlockCaption = {}) const;
    // Stores a text under a keyword with every character kept (written as
    // iTXt in UTF-8 when Latin-1 cannot hold it); false, with the reason, when
    // the keyword or the text cannot be written as given. See
    // cPNGwriter::SetExactText.
    bool PngTextSet(const QString &keyword, const QString &text, QString *reason = nullptr);
    // (end of PNG encoder)

private:
    void deleteOwnDC();

    // loading pipeline state
    bool loadEncoded(int fileHandle, const QString &fileName, ByteArray &bytes, std::int32_t iconCx,
                     std::int32_t iconCy, std::int32_t start, std::int32_t length, bool saveFormat,
                     std::int32_t iconBitDepth);
    // (end of loading pipeline state)

    // rendering and effects state
    // Cuts a source rectangle at the image's right and bottom edges and turns
    // a destination size of 0 into the image's size; false when nothing of
    // the source is left or a destination size has no opposite.
    bool fitSourceAndDestination(std::int32_t srcX, std::int32_t srcY, std::int32_t &srcWidth,
                                 std::int32_t &srcHeight, std::int32_t &destWidth, std::int32_t &destHeight) const;
    // Pixel buffers are two-dimensional byte arrays (row bytes = width x 4),
    // rows bottom-up like a surface; an empty buffer stands for this surface.
    bool MirrorCopy(std::int32_t &srcX, std::int32_t &srcY, std::int32_t srcWidth, std::int32_t srcHeight,
                    std::int32_t &destWidth, std::int32_t &destHeight, ByteArray &buffer, c32bppDIB *target) const;
    bool ResamplePixels(ByteArray &outBuffer, ByteArray &srcBuffer, c32bppDIB *target, std::int32_t srcX,
                        std::int32_t srcY, std::int32_t srcWidth, std::int32_t srcHeight, std::int32_t destX,
                        std::int32_t destY, std::int32_t &destWidth, std::int32_t &destHeight) const;
    bool BlendPixels(gdi::HDC destinationDC, const ByteArray &srcBuffer, std::int32_t srcX, std::int32_t srcY,
                     std::int32_t destX, std::int32_t destY, std::int32_t destWidth, std::int32_t destHeight,
                     std::uint8_t opacity, c32bppDIB *hostDIB, std::int32_t grayFormula) const;
    // (end of rendering and effects state)

    // PNG encoder state
    struct PngWriterDeleter {
        void operator()(class cPNGwriter *writer) const;
    };
    // The PNG properties; none until the first PngPropertySet with a value.
    std::unique_ptr<cPNGwriter, PngWriterDeleter> m_pngWriter;
    // (end of PNG encoder state)

    bool m_highQuality = false;
    gdi::HBITMAP m_handle = 0;
    std::uint8_t *m_bits = nullptr;
    std::int32_t m_height = 0;
    std::int32_t m_width = 0;
    gdi::HDC m_dc = 0;
    gdi::HGDIOBJ m_displaced = 0;
    std::uint32_t m_flags = 0;
    std::int32_t m_imageType = Blank;
    bool m_manageOwnDC = false;
    bool m_alpha = false;
    std::uint32_t m_gdiToken = 0;
    std::vector<std::uint8_t> m_original;
};

} // namespace imaging
