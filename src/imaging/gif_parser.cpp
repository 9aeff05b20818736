// The GIF decoder: first-frame extraction (GIF89a block structure) and the
// decoding of that frame through the platform's picture loader.
#include "imaging/gif_parser.h"

#include "imaging/byte_view.h"
#include "imaging/make_opaque.h"
#include "imaging/parsers.h"
#include "platform/picture/picture.h"

#include <cctype>
#include <cstring>

namespace imaging {

namespace {

// Steps over data sub-blocks from pos: each is a length byte and that many
// bytes; a zero length ends them. False when they run past the view.
bool SkipSubBlocks(const ByteView &v, std::int64_t &pos)
{
    for (;;) {
        std::uint8_t n = 0;
        if (!v.u8(pos, n))
            return false;
        if (n == 0) {
            ++pos;
            return true;
        }
        pos += std::int64_t(n) + 1;
    }
}

std::int64_t tableEntries(std::uint8_t packed) { return (packed & 0x80) ? std::int64_t(2) << (packed & 7) : 0; }

} // namespace

cGIFparser::Step cGIFparser::ExtractFirstFrame(std::span<const std::uint8_t> bytes)
{
    m_copy.clear();
    m_transparentIndex = -1;
    m_tableOffset = 0;
    m_tableEntries = 0;
    const ByteView v(bytes.data(), bytes.size());
    if (!v.has(0, 6))
        return Step::NotGif;
    char sig[7] = {};
    for (int i = 0; i < 6; ++i)
        sig[i] = char(std::tolower(bytes[std::size_t(i)]));
    if (std::strcmp(sig, "gif89a") != 0 && std::strcmp(sig, "gif87a") != 0)
        return Step::NotGif;
    std::uint8_t screenPacked = 0;
    if (!v.u8(10, screenPacked))
        return Step::ReadPastEnd;
    const std::int64_t globalEntries = tableEntries(screenPacked);
    const std::int64_t blocks = 13 + 3 * globalEntries;

    std::int64_t pos = blocks;
    std::int64_t gce = -1;
    bool transparency = false;
    std::uint8_t transparentIndex = 0;
    std::uint8_t b = 0;
    for (;;) {
        if (!v.u8(pos, b))
            return Step::ReadPastEnd;
        if (b == 0) {
            ++pos;
        } else if (b == 0x21) {
            std::uint8_t label = 0;
            if (!v.u8(pos + 1, label))
                return Step::ReadPastEnd;
            if (label == 0xF9) {
                std::uint8_t flags = 0;
                if (!v.u8(pos + 3, flags) || !v.u8(pos + 6, transparentIndex) || !v.has(pos, 8))
                    return Step::ReadPastEnd;
                gce = pos;
                transparency = (flags & 1) != 0;
                pos += 8;
            } else {
                pos += 2;
                if (!SkipSubBlocks(v, pos))
                    return Step::ReadPastEnd;
            }
        } else {
            break;
        }
    }
    if (b != 0x2C)
        return Step::NotGif;
    const std::int64_t descriptor = pos;
    std::uint8_t imagePacked = 0;
    if (!v.u8(descriptor + 9, imagePacked))
        return Step::ReadPastEnd;
    const std::int64_t localEntries = tableEntries(imagePacked);
    if (localEntries) {
        m_tableOffset = descriptor + 10;
        m_tableEntries = std::int32_t(localEntries);
    } else if (globalEntries) {
        m_tableOffset = 13;
        m_tableEntries = std::int32_t(globalEntries);
    }
    // Past the table and the LZW code size, the image data sub-blocks.
    std::int64_t end = descriptor + 10 + 3 * localEntries + 1;
    if (!SkipSubBlocks(v, end))
        return Step::ReadPastEnd;
    if (end - descriptor < 4 || m_tableEntries == 0)
        return Step::NotGif;
    if (!v.has(0, blocks) || !v.has(descriptor, end - descriptor))
        return Step::ReadPastEnd;

    // Header, screen and global table; the graphic control; the frame; the trailer.
    m_copy.reserve(std::size_t(blocks + 8 + (end - descriptor) + 1));
    m_copy.assign(bytes.begin(), bytes.begin() + blocks);
    if (gce >= 0)
        m_copy.insert(m_copy.end(), bytes.begin() + gce, bytes.begin() + gce + 8);
    const std::size_t copiedDescriptor = m_copy.size();
    m_copy.insert(m_copy.end(), bytes.begin() + descriptor, bytes.begin() + end);
    m_copy.push_back(0x3B);
    // The picture loader wants the signature as written in the standard.
    std::memcpy(m_copy.data(), sig[3] == '8' && sig[4] == '9' ? "GIF89a" : "GIF87a", 6);
    std::uint8_t *d = m_copy.data() + copiedDescriptor;
    std::memset(d + 1, 0, 4);          // left, top
    std::memcpy(m_copy.data() + 6, d + 5, 4);   // the screen is the frame

    if (transparency) {
        m_transparentIndex = transparentIndex;
        // A grey ramp in place of the table in use: each decoded pixel's
        // colour is then its index, whatever colours the table repeats.
        std::uint8_t *table = localEntries ? d + 10 : m_copy.data() + 13;
        for (std::int32_t i = 0; i < m_tableEntries; ++i)
            std::memset(table + 3 * i, i & 0xFF, 3);
    }
    return Step::Ok;
}

bool cGIFparser::RenderGIFFrame(c32bppDIB &host, std::span<const std::uint8_t> source)
{
    // The copy stays readable until the next call (tests look at it).
    platform::Picture pic = platform::PictureFromBytes(m_copy);
    if (!pic)
        return false;
    gdi::BITMAP bm;
    bool topDown = false;
    if (!pic->GetBitmap(bm, topDown) || !bm.bmBits || bm.bmBitsPixel != 32)
        return false;
    if (!host.InitializeDIB(bm.bmWidth, bm.bmHeight))
        return false;
    const std::size_t pixels = std::size_t(bm.bmWidth) * std::size_t(bm.bmHeight);
    if (m_transparentIndex < 0) {
        const gdi::HDC dc = host.LoadDIBinDC(true);
        pic->Render(dc, 0, 0, bm.bmWidth, bm.bmHeight, 0, pic->Height(), pic->Width(), -pic->Height());
        host.LoadDIBinDC(false);
        MakeOpaque(host.BitsPointer(), pixels);
        host.setAlpha(false);
    } else {
        // Row for row like the surface (bottom-up); the blue byte of a picture
        // pixel is its index (grey ramp), alpha 0 where the reader left the
        // transparent index out.
        const std::uint8_t *table = source.data() + m_tableOffset;
        const std::uint8_t *src = bm.bmBits;
        std::uint8_t *dst = host.BitsPointer();
        for (std::int32_t y = 0; y < bm.bmHeight; ++y) {
            const std::int32_t mem = topDown ? bm.bmHeight - 1 - y : y;
            const std::uint8_t *s = src + std::size_t(mem) * std::size_t(bm.bmWidthBytes);
            for (std::int32_t x = 0; x < bm.bmWidth; ++x, s += 4, dst += 4) {
                const std::int32_t index = s[3] == 0 ? m_transparentIndex : s[0];
                if (index == m_transparentIndex)
                    continue;
                if (index < m_tableEntries) {
                    const std::uint8_t *c = table + 3 * index;
                    dst[0] = c[2];
                    dst[1] = c[1];
                    dst[2] = c[0];
                }
                dst[3] = 255;   // an index past the table shows black
            }
        }
        host.setAlpha(true);
    }
    host.setImageType(Gif);
    return true;
}

bool cGIFparser::LoadStream(std::span<const std::uint8_t> inStream, c32bppDIB &cHost, std::int32_t streamOffset,
                            std::int32_t streamLength)
{
    if (streamOffset < 0 || streamLength < 0 || std::size_t(streamOffset) > inStream.size() ||
        inStream.size() - std::size_t(streamOffset) < std::size_t(streamLength))
        return false;
    const std::span<const std::uint8_t> view = inStream.subspan(std::size_t(streamOffset), std::size_t(streamLength));
    switch (ExtractFirstFrame(view)) {
    case Step::NotGif: return false;
    case Step::ReadPastEnd:
        // A GIF whose blocks run past the data: it is a GIF, but no image.
        m_copy.clear();
        cHost.DestroyDIB();
        return true;
    case Step::Ok: break;
    }
    return RenderGIFFrame(cHost, view);
}

} // namespace imaging
