// Pixel transfer in and out of a surface, with the surface size, the rectangle
// and the layout flags taken from the input; the rest of the input is the pixels.
#include "fuzz_app.h"

#include "imaging/c32bppDIB.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

namespace {

class Reader {
public:
    Reader(const std::uint8_t *d, std::size_t n) : m_d(d), m_n(n) {}
    std::uint8_t byte() { return m_i < m_n ? m_d[m_i++] : 0; }
    // Small values mostly, with the edges of the 32-bit range reachable.
    std::int32_t coord()
    {
        const std::uint8_t kind = byte();
        const std::int32_t v = std::int8_t(byte());
        switch (kind & 7) {
        case 0: return 0;
        case 1: return std::int32_t(0x7FFFFFFF) - (v & 0x7F);
        case 2: return std::int32_t(0x80000000u + unsigned(v & 0x7F));
        default: return v;
        }
    }
    std::span<const std::uint8_t> rest() const { return {m_d + m_i, m_n - m_i}; }

private:
    const std::uint8_t *m_d;
    std::size_t m_n;
    std::size_t m_i = 0;
};

std::int64_t expectedRowBytes(std::int32_t w, bool fourBytes, bool aligned)
{
    if (fourBytes)
        return std::int64_t(w) * 4;
    return aligned ? ((std::int64_t(w) * 24 + 31) & ~std::int64_t(31)) / 8 : std::int64_t(w) * 3;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzzsupport::startApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Reader r(data, size);
    const std::int32_t width = r.byte() % 65;          // 0 .. 64
    const std::int32_t height = std::int8_t(r.byte()) % 65; // -64 .. 64: negative is top-down
    const std::uint8_t setFlags = r.byte();
    const std::uint8_t getFlags = r.byte();
    const std::int32_t sx = r.coord(), sy = r.coord(), sw = r.coord(), sh = r.coord();
    const std::int32_t gx = r.coord(), gy = r.coord(), gw = r.coord(), gh = r.coord();
    const std::int32_t px = r.coord(), py = r.coord();
    const std::uint8_t alpha = r.byte();

    // Any size asked for: refused, or a surface of exactly that size.
    {
        const std::int32_t w = r.coord(), h = r.coord();
        imaging::c32bppDIB scratch;
        // Sizes between a small surface and one past the 2^31 byte limit are
        // skipped: they would only spend memory.
        const std::int64_t pixels = std::abs(std::int64_t(w)) * std::abs(std::int64_t(h));
        if (pixels <= (1 << 16) || pixels > 0x7FFFFFFF / 4) {
            if (scratch.InitializeDIB(w, h) &&
                (scratch.Width() != w || scratch.Height() != std::abs(std::int64_t(h))))
                std::abort();
        }
    }

    imaging::c32bppDIB dib;
    if (!dib.InitializeDIB(width, height))
        return 0;
    if (dib.Width() != width || dib.Height() != std::abs(height))
        std::abort();

    dib.SetDIBbits(r.rest(), setFlags & 1, setFlags & 2, setFlags & 4, setFlags & 8, sx, sy, sw, sh);

    imaging::ByteArray out;
    const bool as2d = getFlags & 1, bgr = getFlags & 2, four = getFlags & 4, aligned = getFlags & 8,
               bottomUp = getFlags & 16, premultiplied = getFlags & 32;
    if (dib.GetDIBbits(out, as2d, bgr, four, aligned, bottomUp, gx, gy, gw, gh, premultiplied)) {
        // The output holds whole rows of the clipped rectangle.
        const std::int32_t w = gw == 0 ? dib.Width() : gw, h = gh == 0 ? dib.Height() : gh;
        const std::int64_t cw = std::min<std::int64_t>(w, std::int64_t(dib.Width()) - gx);
        const std::int64_t ch = std::min<std::int64_t>(h, std::int64_t(dib.Height()) - gy);
        if (std::uint64_t(out.size()) != std::uint64_t(expectedRowBytes(std::int32_t(cw), four, aligned) * ch))
            std::abort();
        if (as2d && out.size() != out.rowBytes() * out.rows())
            std::abort();
        unsigned sum = 0;
        for (std::size_t i = 0; i < out.size(); ++i)
            sum += out[i];
        fuzzsupport::keep(sum);
    }
    imaging::ByteArray mask;
    dib.GetAlphaMask(mask, getFlags & 64, aligned, bottomUp, gx, gy, gw, gh);

    std::int32_t a = 0;
    dib.SetPixel(px, py, std::uint32_t(sx) ^ std::uint32_t(gy), std::int32_t(alpha) - (getFlags & 128 ? 1 : 0),
                 setFlags & 16);
    dib.GetPixel(px, py, &a, setFlags & 32);
    dib.EraseDIB();
    return 0;
}
