// The icon and cursor decoder.
#include "imaging/ico_parser.h"

#include "imaging/byte_view.h"
#include "imaging/parsers.h"
#include "imaging/png/png_parser.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace imaging {

namespace {

// Offsets inside a 40-byte bitmap information header.
constexpr int kHdrWidth = 4, kHdrHeight = 8, kHdrBitCount = 14, kHdrCompression = 16, kHdrSizeImage = 20,
              kHdrXRes = 24, kHdrYRes = 28, kHdrClrUsed = 32, kHdrClrImportant = 36;
constexpr std::uint16_t kPngDR = 0x5244;   // "DR" of "IHDR", read where a bitmap header keeps its bit count

void put16(std::uint8_t *p, std::uint16_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

void put32(std::uint8_t *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

// Sizes and offsets of a bitmap-style entry, computed in 64 bits: the inputs
// come from the file and may be anything.
void bitmapLayout(const ByteView &view, cICOparser::Entry &e)
{
    e.colorCount = 0;
    e.colorByteOffset = 0;
    const std::int64_t bits = e.bitDepth;
    if (bits <= 0)
        return;
    const std::int64_t colourRows = std::int64_t(ScanlineBytes(e.width, std::int32_t(bits))) * e.height;
    const std::int64_t maskSize = std::int64_t(ScanlineBytes(e.width, 1)) * e.height;
    std::uint32_t headerSize = 0;
    std::uint8_t headerByte = 0;
    view.u32(e.imageOffset, headerSize);
    view.u8(e.imageOffset, headerByte);
    e.colorByteOffset = std::int64_t(e.imageOffset) + headerSize + (bits < 16 ? (std::int64_t(4) << bits) : 0);
    if (bits < 9) {
        const std::int64_t n = (std::int64_t(e.bytesInRes) - (headerByte + colourRows + maskSize)) / 4;
        // A table larger than the depth allows, or a negative one, is not there.
        e.colorCount = std::int32_t(std::clamp<std::int64_t>(n, 0, std::int64_t(1) << bits));
    }
}

} // namespace

std::int32_t cICOparser::Width(std::int32_t index) const
{
    return index >= 1 && index <= IconCount() ? m_entries[std::size_t(index - 1)].width : 0;
}

std::int32_t cICOparser::Height(std::int32_t index) const
{
    return index >= 1 && index <= IconCount() ? m_entries[std::size_t(index - 1)].height : 0;
}

std::int32_t cICOparser::bitDepth(std::int32_t index) const
{
    return index >= 1 && index <= IconCount() ? m_entries[std::size_t(index - 1)].bitDepth : 0;
}

bool cICOparser::IsIconPNG(std::int32_t index) const
{
    return index >= 1 && index <= IconCount() && m_entries[std::size_t(index - 1)].png;
}

std::int32_t cICOparser::ColorCount(std::int32_t index) const
{
    return index >= 1 && index <= IconCount() ? m_entries[std::size_t(index - 1)].colorCount : 0;
}

std::int64_t cICOparser::ColorByteOffset(std::int32_t index) const
{
    return index >= 1 && index <= IconCount() ? m_entries[std::size_t(index - 1)].colorByteOffset : 0;
}

bool cICOparser::CheckPNGEntry(const ByteArray &bytes, std::size_t length, Entry &e)
{
    static const std::uint8_t kSig[12] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0};
    const ByteView view(bytes.data(), length);
    e.png = true;
    const std::int64_t at = e.imageOffset;
    if (!view.has(at, 26)) {
        // A read past the stream: the check fails and the entry is unusable.
        e.bitDepth = 0;
        return false;
    }
    const std::uint8_t *p = view.data() + at;
    if (std::memcmp(p, kSig, 8) != 0 || std::memcmp(p + 12, "IHDR", 4) != 0)
        return false;
    std::uint32_t dims[2] = {};
    view.be32(at + 16, dims[0]);
    view.be32(at + 20, dims[1]);
    std::int32_t *fields[2] = {&e.width, &e.height};
    for (int i = 0; i < 2; ++i) {
        if (dims[i] >= 1 && dims[i] <= 256)
            *fields[i] = std::int32_t(dims[i]);
        else
            e.bitDepth = 0;
    }
    if (e.bitDepth == 0) {
        const std::uint8_t depth = p[24], colourType = p[25];
        if (depth == 16)
            e.bitDepth = 32;
        else if (depth == 0)
            e.bitDepth = 0;
        else if (colourType == 4 || colourType == 6)
            e.bitDepth = 32;
        else if (colourType == 2)
            e.bitDepth = 24;
        else
            e.bitDepth = depth;
    }
    return e.bitDepth > 0;
}

bool cICOparser::checkDirectory(ByteArray &bytes, std::size_t length)
{
    const ByteView view(bytes.data(), length);
    std::uint16_t reserved = 0, type = 0, count = 0;
    if (length < 6 || !view.u16(0, reserved) || !view.u16(2, type) || !view.u16(4, count))
        return false;
    m_reserved = reserved;
    m_type = type;
    m_count = std::int16_t(count);
    if (m_count < 1 || reserved != 0 || (type != 1 && type != 2) ||
        6 + 16 * std::uint64_t(m_count) > std::uint64_t(length))
        return false;
    std::vector<Entry> entries(static_cast<std::size_t>(m_count));
    std::uint64_t total = 6 + 16 * std::uint64_t(m_count);
    for (std::int32_t i = 0; i < m_count; ++i) {
        const std::int64_t d = 6 + 16 * std::int64_t(i);
        Entry &e = entries[std::size_t(i)];
        std::uint8_t w = 0, h = 0;
        std::uint16_t bits = 0;
        view.u8(d, w);
        view.u8(d + 1, h);
        view.u16(d + 6, bits);
        view.u32(d + 8, e.bytesInRes);
        view.u32(d + 12, e.imageOffset);
        e.width = w ? w : 256;
        e.height = h ? h : 256;
        e.bitDepth = bits;
        total += e.bytesInRes;
    }
    if (total > std::uint64_t(length))
        return false;

    bool valid = true;
    for (Entry &e : entries) {
        std::uint16_t word = 0;
        // An image offset outside the stream cannot be an icon image.
        if (!view.u16(std::int64_t(e.imageOffset) + kHdrBitCount, word)) {
            m_entries.clear();
            return false;
        }
        if (word == 0) {
            if (e.bitDepth == 0)
                valid = false;
            else
                put16(bytes.data() + e.imageOffset + kHdrBitCount, std::uint16_t(e.bitDepth));
        } else if (word == kPngDR) {
            valid = CheckPNGEntry(bytes, length, e);
        } else {
            e.bitDepth = word;
        }
        if (!e.png)
            bitmapLayout(view, e);
    }
    m_entries = std::move(entries);
    return valid;
}

std::int32_t cICOparser::PickBestEntry(std::int32_t W, std::int32_t H, std::int32_t B) const
{
    const std::int32_t count = IconCount();
    if (count < 2)
        return count == 1 && m_entries[0].bitDepth != 0 ? 1 : 0;
    if (W < 1)
        W = 32;
    if (H < 1)
        H = 32;
    // Scores in 64 bits: wanted sizes and depths may be anything.
    auto firstScore = [&](const Entry &e) -> std::int64_t {
        if (e.bitDepth > 32)
            return -10000;
        std::int64_t dw = std::int64_t(e.width) - W;
        if (W > e.width)
            dw *= 2;
        std::int64_t dh = std::int64_t(e.height) - H;
        if (H > e.height)
            dh *= 2;
        return dw + dh + std::llabs(std::int64_t(B) - e.bitDepth);
    };
    std::int64_t best = 10000;
    std::int32_t chosen = 0;
    for (std::int32_t i = 1; i <= count; ++i) {
        const Entry &e = m_entries[std::size_t(i - 1)];
        if (e.bitDepth == 0)
            continue;
        const std::int64_t score = firstScore(e);
        if (score == 0)
            return i;
        if (score > 0 && score < best) {
            best = score;
            chosen = i;
        }
    }
    if (chosen)
        return chosen;
    for (std::int32_t i = count; i >= 1; --i) {
        const Entry &e = m_entries[std::size_t(i - 1)];
        const std::int64_t first = e.bitDepth == 0 ? 0 : firstScore(e);
        const std::int64_t score = std::llabs(first) + std::llabs(32 - std::int64_t(e.bitDepth));
        if (score < best) {
            best = score;
            chosen = i;
        }
    }
    return chosen ? chosen : 1;
}

bool cICOparser::ApplyMaskToAlpha(const std::uint8_t *data, std::size_t length, const Entry &e,
                                  c32bppDIB &host) const
{
    const ByteView view(data, length);
    const std::int32_t W = host.Width(), H = host.Height();
    const std::size_t pixels = std::size_t(W) * std::size_t(H);
    std::uint8_t *dst = host.BitsPointer();
    const bool cursor = m_type == 2;
    if (e.bitDepth == 32) {
        const std::int64_t start = e.colorByteOffset + 3;
        if (pixels == 0 || !view.has(start, std::int64_t(pixels - 1) * 4 + 1))
            return false;
        const std::uint8_t *src = data + start;
        for (std::size_t i = 0; i < pixels; ++i, src += 4, dst += 4) {
            const unsigned a = *src;
            if (a == 0) {
                std::memset(dst, 0, 4);
            } else if (a == 255) {
                dst[3] = 255;
            } else {
                dst[0] = std::uint8_t(dst[0] * a / 255);
                dst[1] = std::uint8_t(dst[1] * a / 255);
                dst[2] = std::uint8_t(dst[2] * a / 255);
                dst[3] = std::uint8_t(a);
            }
        }
        host.setImageType(cursor ? AlphaCursor : AlphaIcon);
        host.setAlpha(true);
        return true;
    }
    const std::int64_t maskRow = ScanlineBytes(W, 1);
    const std::int64_t maskSize = std::int64_t(ScanlineBytes(e.width, 1)) * e.height;
    const std::int64_t maskOffset = std::int64_t(e.imageOffset) + e.bytesInRes - maskSize;
    if (!view.has(maskOffset, maskRow * H))
        return false;
    bool transparent = false;
    for (std::int32_t y = 0; y < H; ++y) {
        const std::uint8_t *row = data + maskOffset + maskRow * y;
        std::uint8_t *px = dst + std::size_t(y) * std::size_t(W) * 4;
        for (std::int32_t x = 0; x < W; ++x, px += 4) {
            if (row[x >> 3] & (0x80 >> (x & 7))) {
                std::memset(px, 0, 4);
                transparent = true;
            } else {
                px[3] = 255;
            }
        }
    }
    host.setImageType(cursor ? Cursor : Icon);
    host.setAlpha(transparent);
    return true;
}

bool cICOparser::decodeBitmapEntry(ByteArray &bytes, std::size_t length, std::int32_t index, c32bppDIB &host)
{
    const Entry &e = m_entries[std::size_t(index - 1)];
    const ByteView view(bytes.data(), length);
    if (!host.InitializeDIB(e.width, e.height))
        return false;
    const std::int64_t at = e.imageOffset;
    std::uint32_t headerSize = 0;
    if (!view.has(at, 40) || !view.u32(at, headerSize) || headerSize < 40 || e.bitDepth > 32)
        return false;
    // The header is rewritten in the caller's array: single height, colours used, no sizes.
    std::uint8_t *h = bytes.data() + at;
    put32(h + kHdrHeight, std::uint32_t(e.height));
    put32(h + kHdrClrUsed, std::uint32_t(e.colorCount));
    put32(h + kHdrSizeImage, 0);
    put32(h + kHdrXRes, 0);
    put32(h + kHdrYRes, 0);

    gdi::BITMAPINFO bi;
    gdi::BITMAPINFOHEADER &hdr = bi.bmiHeader;
    std::uint16_t planes = 0, bitCount = 0;
    view.i32(at + kHdrWidth, hdr.biWidth);
    view.i32(at + kHdrHeight, hdr.biHeight);
    view.u16(at + 12, planes);
    view.u16(at + kHdrBitCount, bitCount);
    view.u32(at + kHdrCompression, hdr.biCompression);
    view.u32(at + kHdrClrUsed, hdr.biClrUsed);
    view.u32(at + kHdrClrImportant, hdr.biClrImportant);
    hdr.biSize = 40;
    hdr.biPlanes = 1;
    hdr.biBitCount = bitCount;
    const std::int64_t table = at + headerSize;
    if (bitCount <= 8) {
        const std::int64_t entries = std::int64_t(1) << bitCount;
        if (!view.has(table, entries * 4))
            return false;
        std::memcpy(bi.bmiColors, bytes.data() + table, std::size_t(entries) * 4);
    } else if (hdr.biCompression == gdi::BI_BITFIELDS) {
        if (!view.has(table, 12))
            return false;
        std::memcpy(bi.bmiColors, bytes.data() + table, 12);
    }
    if (!view.has(e.colorByteOffset, 0))
        return false;
    const std::span<const std::uint8_t> rows(bytes.data() + e.colorByteOffset,
                                             length - std::size_t(e.colorByteOffset));
    const gdi::HDC screen = gdi::GetDC(0);
    const gdi::HBITMAP ddb = gdi::CreateDIBitmap(screen, hdr, gdi::CBM_INIT, rows, bi, gdi::DIB_RGB_COLORS);
    if (!ddb) {
        gdi::ReleaseDC(0, screen);
        return false;
    }
    gdi::BITMAPINFO out = gdi::makeBitmapInfo(host.Width(), host.Height(), 32);
    out.bmiHeader.biSizeImage = std::uint32_t(host.Width()) * std::uint32_t(host.Height()) * 4;
    const int lines = gdi::GetDIBits(
        screen, ddb, 0, std::uint32_t(host.Height()),
        std::span<std::uint8_t>(host.BitsPointer(), std::size_t(host.scanWidth()) * std::size_t(host.Height())), out,
        gdi::DIB_RGB_COLORS);
    gdi::DeleteObject(ddb);
    gdi::ReleaseDC(0, screen);
    if (lines <= 0)
        return false;
    return ApplyMaskToAlpha(bytes.data(), length, e, host);
}

bool cICOparser::LoadStream(ByteArray &inStream, std::int32_t desiredWidth, std::int32_t desiredHeight,
                            c32bppDIB *cHost, std::int32_t & /*streamOffset: the view starts at 0*/,
                            std::int32_t &streamLength, std::int32_t &icoBitDepth, std::uint32_t &GlobalToken)
{
    m_entries.clear();
    if (streamLength == 0)
        streamLength = std::int32_t(std::min<std::size_t>(inStream.size(), std::size_t(INT32_MAX)));
    if (streamLength < 0)
        return false;
    const std::size_t length = std::min<std::size_t>(std::size_t(streamLength), inStream.size());
    const bool valid = checkDirectory(inStream, length);
    if (m_entries.empty() || !cHost)
        return valid;
    const std::int32_t chosen = PickBestEntry(desiredWidth, desiredHeight, icoBitDepth);
    if (!chosen)
        return valid;
    const Entry &e = m_entries[std::size_t(chosen - 1)];
    if (e.png) {
        cPNGparser png;
        const bool result = png.LoadStream(std::span<const std::uint8_t>(inStream.data(), length), *cHost,
                                           std::int32_t(std::min<std::uint32_t>(e.imageOffset, INT32_MAX)),
                                           std::int32_t(std::min<std::uint32_t>(e.bytesInRes, INT32_MAX)),
                                           GlobalToken);
        if (cHost->Handle())
            cHost->setImageType(PngIcon);
        return result;
    }
    // A conversion that cannot be made, or an image that would be read past
    // the stream, leaves no image behind.
    if (!decodeBitmapEntry(inStream, length, chosen, *cHost))
        cHost->DestroyDIB();
    return valid;
}

bool cICOparser::ConvertstdPicTo32bpp(const platform::Picture &stdPic, c32bppDIB &cHost)
{
    if (!stdPic || stdPic->Type() != platform::PICTYPE_ICON)
        return false;
    gdi::ICONINFO info;
    if (!gdi::GetIconInfo(stdPic->Handle(), info))
        return false;
    m_type = info.fIcon ? 1 : 2;
    m_reserved = 0;
    m_count = 1;
    m_entries.assign(1, Entry{});
    const gdi::HDC screen = gdi::GetDC(0);
    bool ok = true;
    if (info.hbmColor) {
        gdi::BITMAPINFO bi;
        bi.bmiHeader.biBitCount = 0;
        if (gdi::GetDIBits(screen, info.hbmColor, 0, 0, {}, bi, gdi::DIB_RGB_COLORS) &&
            cHost.InitializeDIB(bi.bmiHeader.biWidth, bi.bmiHeader.biHeight)) {
            gdi::BITMAPINFO px = gdi::makeBitmapInfo(cHost.Width(), cHost.Height(), 32);
            gdi::GetDIBits(screen, info.hbmColor, 0, std::uint32_t(cHost.Height()),
                           std::span<std::uint8_t>(cHost.BitsPointer(),
                                                   std::size_t(cHost.scanWidth()) * std::size_t(cHost.Height())),
                           px, gdi::DIB_RGB_COLORS);
        } else {
            ok = false;
        }
    }
    std::vector<std::uint8_t> mask;
    if (ok) {
        gdi::BITMAPINFO bi;
        bi.bmiHeader.biBitCount = 0;
        if (gdi::GetDIBits(screen, info.hbmMask, 0, 0, {}, bi, gdi::DIB_RGB_COLORS)) {
            const std::int32_t w = bi.bmiHeader.biWidth, maskH = bi.bmiHeader.biHeight;
            if (!info.hbmColor && cHost.InitializeDIB(w, maskH / 2)) {
                // A monochrome icon: it draws itself through its mask.
                const gdi::HDC dc = cHost.LoadDIBinDC(true);
                stdPic->Render(dc, 0, 0, w, maskH / 2, 0, stdPic->Height(), stdPic->Width(), -stdPic->Height());
                cHost.LoadDIBinDC(false);
            }
            if (cHost.Handle()) {
                gdi::BITMAPINFO mb = gdi::makeBitmapInfo(cHost.Width(), cHost.Height(), 1);
                mb.bmiColors[0] = gdi::RGBQUAD{0, 0, 0, 0};
                mb.bmiColors[1] = gdi::RGBQUAD{255, 255, 255, 0};
                mask.assign(std::size_t(ScanlineBytes(cHost.Width(), 1)) * std::size_t(cHost.Height()), 0);
                gdi::GetDIBits(screen, info.hbmMask, 0, std::uint32_t(cHost.Height()), mask, mb,
                               gdi::DIB_RGB_COLORS);
                Entry &e = m_entries[0];
                e.width = cHost.Width();
                e.height = cHost.Height();
                e.bitDepth = 1;
                e.bytesInRes = std::uint32_t(mask.size());
                e.imageOffset = 0;
            } else {
                ok = false;
            }
        } else {
            ok = false;
        }
    }
    gdi::ReleaseDC(0, screen);
    gdi::DeleteObject(info.hbmMask);
    if (info.hbmColor)
        gdi::DeleteObject(info.hbmColor);
    if (!ok) {
        m_entries.clear();
        m_count = 0;
        return false;
    }
    // The mask decides the alpha, whatever alpha the colour bitmap had.
    return ApplyMaskToAlpha(mask.data(), mask.size(), m_entries[0], cHost);
}

} // namespace imaging
