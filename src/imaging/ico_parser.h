#pragma once
// cICOparser reads icon (.ico) and cursor (.cur) files held in memory, picks
// the entry closest to a wanted size and depth and writes it into a surface
// with premultiplied alpha. It also converts icon pictures.
//
//   imaging::cICOparser ico;
//   std::int32_t offset = 0, length = 0, depth = 32;
//   std::uint32_t token = dib.gdiToken();
//   bool isIcon = ico.LoadStream(bytes, 32, 32, &dib, offset, length, depth, token);
//   bool decoded = dib.Handle() != 0;            // the result is the directory's validity
//
// Listing the entries without decoding (no surface):
//   if (ico.LoadStream(bytes, 0, 0, nullptr, offset, length, depth, token))
//       for (const auto &e : ico.Entries()) ... e.width, e.height, e.bitDepth, e.png
//
// The decoder writes into the caller's array: entries whose bitmap header has
// no bit count get the directory's, and the decoded entry's header gets its
// single height, its colours used and zero image size and resolutions.
#include "imaging/c32bppDIB.h"
#include "platform/picture/picture.h"

#include <cstdint>
#include <vector>

namespace imaging {

class cICOparser {
public:
    // One directory entry as read (and amended) by the last load.
    struct Entry {
        std::int32_t width = 0;        // pixels (a 0 byte is 256)
        std::int32_t height = 0;
        std::int32_t bitDepth = 0;     // 0: unusable
        bool png = false;              // a PNG stream
        std::uint32_t bytesInRes = 0;
        std::uint32_t imageOffset = 0;
        std::int32_t colorCount = 0;   // palette entries present (bitmap entries below 9 bits)
        std::int64_t colorByteOffset = 0;
    };

    // The result is true when the data is a valid icon or cursor directory;
    // with a surface the chosen entry is then decoded into it (check the
    // surface's Handle for pixels). A streamLength of 0 means the whole array
    // and is stored back; the view always starts at the array's first byte.
    bool LoadStream(ByteArray &inStream, std::int32_t desiredWidth, std::int32_t desiredHeight, c32bppDIB *cHost,
                    std::int32_t &streamOffset, std::int32_t &streamLength, std::int32_t &icoBitDepth,
                    std::uint32_t &GlobalToken);
    // An icon picture (kind 3) into the surface, alpha from its mask.
    bool ConvertstdPicTo32bpp(const platform::Picture &stdPic, c32bppDIB &cHost);

    std::int32_t IconCount() const { return std::int32_t(m_entries.size()); }
    // 1-based entry index; 0 for an index outside the directory.
    std::int32_t Width(std::int32_t index) const;
    std::int32_t Height(std::int32_t index) const;
    std::int32_t bitDepth(std::int32_t index) const;
    bool IsIconPNG(std::int32_t index) const;
    std::int32_t ColorCount(std::int32_t index) const;
    std::int64_t ColorByteOffset(std::int32_t index) const;
    // True for a cursor file (type 2).
    bool isCursor() const { return m_type == 2; }
    const std::vector<Entry> &Entries() const { return m_entries; }

    // The entry (1-based) closest to W x H at B bits; 0 when none.
    std::int32_t PickBestEntry(std::int32_t W, std::int32_t H, std::int32_t B) const;

private:
    bool checkDirectory(ByteArray &bytes, std::size_t length);
    bool CheckPNGEntry(const ByteArray &bytes, std::size_t length, Entry &e);
    bool decodeBitmapEntry(ByteArray &bytes, std::size_t length, std::int32_t index, c32bppDIB &host);
    bool ApplyMaskToAlpha(const std::uint8_t *data, std::size_t length, const Entry &e, c32bppDIB &host) const;

    std::uint16_t m_reserved = 0;
    std::uint16_t m_type = 0;
    std::int16_t m_count = 0;
    std::vector<Entry> m_entries;
};

} // namespace imaging
