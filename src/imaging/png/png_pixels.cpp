#include "imaging/png/png_pixels.h"

#include <bit>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define SORIMBA_PNG_SSE2 1
#endif

namespace imaging::png {

const Adam7Pass kAdam7[8] = {
    {0, 0, 8, 8}, {0, 4, 8, 8}, {4, 0, 8, 4}, {0, 2, 4, 4}, {2, 0, 4, 2}, {0, 1, 2, 2}, {1, 0, 2, 1}, {0, 0, 1, 1},
};

unsigned bitsPerPixel(const ImageHeader &h)
{
    switch (h.colourType) {
    case 6:
        return h.bitDepth * 4u;
    case 4:
        return h.bitDepth * 2u;
    case 2:
        return h.bitDepth * 3u;
    default:
        return h.bitDepth;
    }
}

size_t rowBytes(const ImageHeader &h, uint32_t pixels)
{
    return (size_t(bitsPerPixel(h)) * pixels + 7) / 8;
}

uint32_t passExtent(uint32_t size, unsigned start, unsigned step)
{
    return size / step + (size % step > start ? 1 : 0);
}

size_t inflatedSize(const ImageHeader &h)
{
    size_t total = 0;
    const int first = h.interlace ? 0 : 7;
    const int last = h.interlace ? 6 : 7;
    for (int p = first; p <= last; ++p) {
        const uint32_t w = passExtent(uint32_t(h.width), kAdam7[p].startCol, kAdam7[p].colStep);
        const uint32_t rows = passExtent(uint32_t(h.height), kAdam7[p].startRow, kAdam7[p].rowStep);
        if (w == 0 || rows == 0)
            continue;
        total += (rowBytes(h, w) + 1) * rows;
    }
    return total;
}

void preparePalette(const ImageHeader &h, ColourInfo &c)
{
    if ((h.colourType != 0 && h.colourType != 3) || !c.palette.empty())
        return;
    c.palette.assign(256 * 3, 0);
    if (h.colourType != 0 || h.bitDepth > 8)
        return;
    const unsigned n = 1u << h.bitDepth;
    const unsigned step = 255 / (n - 1); // 255, 85, 17, 1
    for (unsigned i = 1; i < n; ++i) {
        const uint8_t level = uint8_t(step * i);
        c.palette[i * 3] = c.palette[i * 3 + 1] = c.palette[i * 3 + 2] = level;
    }
}

namespace {

// c * a / 255, truncated, exact for bytes.
inline unsigned premul(unsigned c, unsigned a) { return (c * a * 32897u) >> 23; }

inline void put(uint8_t *d, unsigned b, unsigned g, unsigned r, unsigned a)
{
    d[0] = uint8_t(b);
    d[1] = uint8_t(g);
    d[2] = uint8_t(r);
    d[3] = uint8_t(a);
}

inline void putPremul(uint8_t *d, unsigned r, unsigned g, unsigned b, unsigned a)
{
    if (a == 255)
        put(d, b, g, r, 255);
    else if (a == 0)
        put(d, 0, 0, 0, 0);
    else
        put(d, premul(b, a), premul(g, a), premul(r, a), a);
}

#if SORIMBA_PNG_SSE2
// Two RGBA pixels widened to 16-bit lanes become premultiplied BGRA lanes. The alpha
// lane is multiplied by 255 so that it comes out unchanged; x / 255 truncated is
// (x + 1 + (x >> 8)) >> 8 for every x up to 255 x 255.
inline __m128i premultiplyLanes(__m128i px)
{
    const __m128i alphaLane = _mm_set_epi16(255, 0, 0, 0, 255, 0, 0, 0);
    const __m128i colourLanes = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
    const __m128i one = _mm_set1_epi16(1);
    __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(px, 0xFF), 0xFF);
    alpha = _mm_or_si128(_mm_and_si128(alpha, colourLanes), alphaLane);
    __m128i x = _mm_mullo_epi16(px, alpha);
    x = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, one), _mm_srli_epi16(x, 8)), 8);
    // R, G, B, A lanes to B, G, R, A.
    constexpr int swapRB = _MM_SHUFFLE(3, 0, 1, 2);
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, swapRB), swapRB);
}

// Four pixels of 8-bit RGBA, or of 16-bit RGBA whose high bytes are taken.
inline void convertRgba8x4(const uint8_t *s, uint8_t *d)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s));
    const __m128i zero = _mm_setzero_si128();
    // Four opaque pixels only swap red and blue: premultiplying by 255 changes nothing.
    const int alphaBytes = 0x8888;
    if ((_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(-1))) & alphaBytes) == alphaBytes) {
        const __m128i rb = _mm_and_si128(v, _mm_set1_epi32(0x00FF00FF));
        const __m128i ga = _mm_andnot_si128(_mm_set1_epi32(0x00FF00FF), v);
        const __m128i br = _mm_or_si128(_mm_slli_epi32(rb, 16), _mm_srli_epi32(rb, 16));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(d), _mm_or_si128(ga, br));
        return;
    }
    const __m128i lo = premultiplyLanes(_mm_unpacklo_epi8(v, zero));
    const __m128i hi = premultiplyLanes(_mm_unpackhi_epi8(v, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(d), _mm_packus_epi16(lo, hi));
}

inline void convertRgba16x4(const uint8_t *s, uint8_t *d)
{
    // Big-endian samples read as little-endian lanes: the high byte is the low half.
    const __m128i low = _mm_set1_epi16(0xFF);
    const __m128i v0 = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(s)), low);
    const __m128i v1 = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(s + 16)), low);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(d), _mm_packus_epi16(premultiplyLanes(v0), premultiplyLanes(v1)));
}
#endif

// Turns one row of samples into surface pixels.
class RowConverter {
public:
    bool init(const ImageHeader &h, const ColourInfo &c)
    {
        m_depth = h.bitDepth;
        m_type = h.colourType;
        m_hasTrns = c.transparentColour != -1;
        m_trnsColour = c.transparentColour;
        for (int i = 0; i < 6; ++i)
            m_trnsBytes[i] = i < int(c.transparency.size()) ? c.transparency[size_t(i)] : -1;
        switch (m_type) {
        case 6:
        case 4:
        case 2:
            return m_depth == 8 || m_depth == 16;
        case 0:
            if (m_depth == 16)
                return true;
            [[fallthrough]];
        case 3:
            if (m_depth > 8)
                return false;
            buildTable(c);
            return true;
        default:
            return false;
        }
    }

    // Converts n pixels; the destination advances by `step` bytes per pixel.
    bool convert(const uint8_t *s, uint32_t n, uint8_t *d, size_t step) const
    {
        return step == 4 ? convertImpl<4>(s, n, d, 4) : convertImpl<0>(s, n, d, step);
    }

private:
    void buildTable(const ColourInfo &c)
    {
        const size_t entries = c.palette.size() / 3;
        m_entries = entries > 256 ? 256 : unsigned(entries);
        for (unsigned i = 0; i < 256; ++i) {
            uint8_t px[4] = {0, 0, 0, 0};
            if (i < m_entries) {
                unsigned a = 255;
                if (m_type == 3 && m_hasTrns)
                    a = i < c.transparency.size() ? c.transparency[i] : 255;
                else if (m_type == 0 && m_hasTrns && int32_t(i) == m_trnsColour)
                    a = 0;
                putPremul(px, c.palette[i * 3], c.palette[i * 3 + 1], c.palette[i * 3 + 2], a);
            }
            std::memcpy(&m_table[i], px, 4);
        }
    }

    template <size_t FixedStep>
    bool convertImpl(const uint8_t *s, uint32_t n, uint8_t *d, size_t stepArg) const
    {
        const size_t step = FixedStep ? FixedStep : stepArg;
        switch (m_type * 32 + m_depth) {
        case 6 * 32 + 8: {
            uint32_t x = 0;
#if SORIMBA_PNG_SSE2
            if constexpr (FixedStep == 4)
                for (; x + 4 <= n; x += 4, s += 16, d += 16)
                    convertRgba8x4(s, d);
#endif
            for (; x < n; ++x, s += 4, d += step)
                putPremul(d, s[0], s[1], s[2], s[3]);
            return true;
        }
        case 6 * 32 + 16: {
            uint32_t x = 0;
#if SORIMBA_PNG_SSE2
            if constexpr (FixedStep == 4)
                for (; x + 4 <= n; x += 4, s += 32, d += 16)
                    convertRgba16x4(s, d);
#endif
            for (; x < n; ++x, s += 8, d += step)
                putPremul(d, s[0], s[2], s[4], s[6]);
            return true;
        }
        case 4 * 32 + 8:
            for (uint32_t x = 0; x < n; ++x, s += 2, d += step)
                putPremul(d, s[0], s[0], s[0], s[1]);
            return true;
        case 4 * 32 + 16:
            for (uint32_t x = 0; x < n; ++x, s += 4, d += step)
                putPremul(d, s[0], s[0], s[0], s[2]);
            return true;
        case 2 * 32 + 8:
            if (!m_hasTrns) {
                uint32_t x = 0;
                if constexpr (std::endian::native == std::endian::little) {
                    // Whole 4-byte loads, so every pixel but the row's last (whose
                    // fourth byte may lie past the data) is read in one go.
                    for (; x + 1 < n; ++x, s += 3, d += step) {
                        uint32_t v;
                        std::memcpy(&v, s, 4);
                        v = (__builtin_bswap32(v) >> 8) | 0xFF000000u;
                        std::memcpy(d, &v, 4);
                    }
                }
                for (; x < n; ++x, s += 3, d += step)
                    put(d, s[2], s[1], s[0], 255);
            } else {
                for (uint32_t x = 0; x < n; ++x, s += 3, d += step) {
                    const int32_t rgb = (int32_t(s[0]) << 16) | (int32_t(s[1]) << 8) | s[2];
                    if (rgb == m_trnsColour)
                        put(d, 0, 0, 0, 0);
                    else
                        put(d, s[2], s[1], s[0], 255);
                }
            }
            return true;
        case 2 * 32 + 16:
            // Transparency compares the high bytes only, like the colour itself.
            for (uint32_t x = 0; x < n; ++x, s += 6, d += step) {
                if (m_hasTrns && s[0] == m_trnsBytes[0] && s[2] == m_trnsBytes[2] && s[4] == m_trnsBytes[4])
                    put(d, 0, 0, 0, 0);
                else
                    put(d, s[4], s[2], s[0], 255);
            }
            return true;
        case 0 * 32 + 16:
            for (uint32_t x = 0; x < n; ++x, s += 2, d += step) {
                if (m_hasTrns && s[0] == m_trnsBytes[0])
                    put(d, 0, 0, 0, 0);
                else
                    put(d, s[0], s[0], s[0], 255);
            }
            return true;
        default:
            break;
        }
        // Grey or palette samples through the prepared table.
        if (m_depth == 8) {
            for (uint32_t x = 0; x < n; ++x, d += step) {
                const unsigned idx = s[x];
                if (idx >= m_entries)
                    return false;
                std::memcpy(d, &m_table[idx], 4);
            }
            return true;
        }
        const unsigned depth = m_depth;
        const unsigned mask = (1u << depth) - 1;
        for (uint32_t x = 0; x < n; ++x, d += step) {
            const size_t bit = size_t(x) * depth;
            const unsigned idx = (s[bit >> 3] >> (8 - depth - (bit & 7))) & mask;
            if (idx >= m_entries)
                return false;
            std::memcpy(d, &m_table[idx], 4);
        }
        return true;
    }

    unsigned m_depth = 0;
    unsigned m_type = 0;
    bool m_hasTrns = false;
    int32_t m_trnsColour = -1;
    int m_trnsBytes[6] = {};
    unsigned m_entries = 0;
    uint32_t m_table[256] = {};
};

inline uint8_t paeth(int a, int b, int c)
{
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc)
        return uint8_t(a);
    return uint8_t(pb <= pc ? b : c);
}

// The unfilter functions read the stored row `src` and write the row `dst`, which
// has room for 4 bytes more than n (the SIMD paths store whole 32-bit pixels).
template <size_t Bpp>
void unfilterRow(unsigned type, uint8_t *__restrict dst, const uint8_t *__restrict src, const uint8_t *prev, size_t n)
{
    switch (type) {
    case 1:
        for (size_t i = 0; i < Bpp && i < n; ++i)
            dst[i] = src[i];
        for (size_t i = Bpp; i < n; ++i)
            dst[i] = uint8_t(src[i] + dst[i - Bpp]);
        break;
    case 2:
        for (size_t i = 0; i < n; ++i)
            dst[i] = uint8_t(src[i] + prev[i]);
        break;
    case 3:
        for (size_t i = 0; i < Bpp && i < n; ++i)
            dst[i] = uint8_t(src[i] + (prev[i] >> 1));
        for (size_t i = Bpp; i < n; ++i)
            dst[i] = uint8_t(src[i] + ((dst[i - Bpp] + prev[i]) >> 1));
        break;
    case 4:
        for (size_t i = 0; i < Bpp && i < n; ++i)
            dst[i] = uint8_t(src[i] + prev[i]);
        for (size_t i = Bpp; i < n; ++i)
            dst[i] = uint8_t(src[i] + paeth(dst[i - Bpp], prev[i], prev[i - Bpp]));
        break;
    default:
        break;
    }
}

#if SORIMBA_PNG_SSE2
// Sub, Average and Paeth carry a dependency from pixel to pixel; for 3- and 4-byte
// pixels one whole pixel is handled per step in SIMD lanes, and the previous pixel
// stays in a register. A 3-byte pixel is read as 4 bytes where the row goes on past
// it; the extra lane is never used.
template <size_t Bpp>
inline __m128i loadPixel(const uint8_t *p, bool whole)
{
    uint32_t v;
    if (Bpp == 4 || whole) {
        std::memcpy(&v, p, 4); // SSE2 machines are little-endian
    } else {
        v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
    }
    return _mm_cvtsi32_si128(int(v));
}

inline void storePixel(uint8_t *p, __m128i v)
{
    const uint32_t x = uint32_t(_mm_cvtsi128_si32(v));
    std::memcpy(p, &x, 4);
}

inline __m128i abs16(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }

inline __m128i select16(__m128i mask, __m128i a, __m128i b)
{
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// Runs step(i, whole) for every pixel; `whole` while 4 bytes from i lie in the row.
template <size_t Bpp, typename Step>
inline void eachPixel(size_t n, Step step)
{
    size_t i = 0;
    for (; i + 4 <= n; i += Bpp)
        step(i, true);
    for (; i + Bpp <= n; i += Bpp)
        step(i, false);
}

// Returns false for the filters left to the plain loops.
template <size_t Bpp>
bool unfilterPixels(unsigned type, uint8_t *dst, const uint8_t *src, const uint8_t *prev, size_t n)
{
    const __m128i zero = _mm_setzero_si128();
    switch (type) {
    case 1: {
        __m128i a = zero;
        eachPixel<Bpp>(n, [&](size_t i, bool whole) {
            a = _mm_add_epi8(loadPixel<Bpp>(src + i, whole), a);
            storePixel(dst + i, a);
        });
        return true;
    }
    case 3: {
        const __m128i one = _mm_set1_epi8(1);
        __m128i a = zero;
        eachPixel<Bpp>(n, [&](size_t i, bool whole) {
            const __m128i b = loadPixel<Bpp>(prev + i, whole);
            // Rounding-up average corrected to the floor.
            const __m128i avg = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
            a = _mm_add_epi8(loadPixel<Bpp>(src + i, whole), avg);
            storePixel(dst + i, a);
        });
        return true;
    }
    case 4: {
        const __m128i low = _mm_set1_epi16(0xFF);
        __m128i a = zero, c = zero;
        eachPixel<Bpp>(n, [&](size_t i, bool whole) {
            const __m128i b = _mm_unpacklo_epi8(loadPixel<Bpp>(prev + i, whole), zero);
            const __m128i x = _mm_unpacklo_epi8(loadPixel<Bpp>(src + i, whole), zero);
            const __m128i p = _mm_sub_epi16(b, c);
            const __m128i q = _mm_sub_epi16(a, c);
            const __m128i pa = abs16(p), pb = abs16(q), pc = abs16(_mm_add_epi16(p, q));
            const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
            __m128i pred = select16(_mm_cmpeq_epi16(pb, smallest), b, c);
            pred = select16(_mm_cmpeq_epi16(pa, smallest), a, pred);
            a = _mm_and_si128(_mm_add_epi16(x, pred), low);
            storePixel(dst + i, _mm_packus_epi16(a, a));
            c = b;
        });
        return true;
    }
    default:
        return false;
    }
}
#endif

// Filter types 1 to 4.
void unfilter(unsigned type, size_t bpp, uint8_t *dst, const uint8_t *src, const uint8_t *prev, size_t n)
{
#if SORIMBA_PNG_SSE2
    if (bpp == 4 && unfilterPixels<4>(type, dst, src, prev, n))
        return;
    if (bpp == 3 && unfilterPixels<3>(type, dst, src, prev, n))
        return;
#endif
    switch (bpp) {
    case 1:
        return unfilterRow<1>(type, dst, src, prev, n);
    case 2:
        return unfilterRow<2>(type, dst, src, prev, n);
    case 3:
        return unfilterRow<3>(type, dst, src, prev, n);
    case 4:
        return unfilterRow<4>(type, dst, src, prev, n);
    case 6:
        return unfilterRow<6>(type, dst, src, prev, n);
    default:
        return unfilterRow<8>(type, dst, src, prev, n);
    }
}

} // namespace

struct RowDecoder::State {
    const ImageHeader header;
    RowConverter conv;
    bool usable = false;
    size_t bpp = 1;
    size_t stride = 0;
    uint8_t *bits = nullptr;
    std::vector<uint8_t> zeroRow;
    // Filtered rows are unfiltered here, in turns, so that the caller's data keeps
    // the inflated bytes that later matches copy.
    std::vector<uint8_t> rowBuffers[2];
    int nextBuffer = 0;
    // The pass in progress (8 when done), its size and the next row in it.
    int pass = 0;
    int lastPass = 0;
    uint32_t passWidth = 0;
    uint32_t passHeight = 0;
    size_t passRowBytes = 0;
    uint32_t row = 0;
    const uint8_t *prev = nullptr;

    explicit State(const ImageHeader &h) : header(h) {}

    // From pass p on, the first pass with pixels; an empty pass has no data, not
    // even filter bytes.
    void startPass(int p)
    {
        for (; p <= lastPass; ++p) {
            const Adam7Pass &pass = kAdam7[p];
            passWidth = passExtent(uint32_t(header.width), pass.startCol, pass.colStep);
            passHeight = passExtent(uint32_t(header.height), pass.startRow, pass.rowStep);
            if (passWidth != 0 && passHeight != 0)
                break;
        }
        pass = p;
        row = 0;
        prev = zeroRow.data();
        if (p <= lastPass)
            passRowBytes = rowBytes(header, passWidth);
    }
};

RowDecoder::RowDecoder(const ImageHeader &h, const ColourInfo &c, uint8_t *bits) : m_state(new State(h))
{
    State &s = *m_state;
    s.usable = s.conv.init(h, c);
    const unsigned bitsPP = bitsPerPixel(h);
    s.bpp = bitsPP < 8 ? 1 : bitsPP / 8;
    s.stride = size_t(h.width) * 4;
    s.bits = bits;
    s.zeroRow.assign(rowBytes(h, uint32_t(h.width)), 0);
    s.rowBuffers[0].resize(s.zeroRow.size() + 4);
    s.rowBuffers[1].resize(s.zeroRow.size() + 4);
    const bool interlaced = h.interlace == 1;
    s.lastPass = interlaced ? 6 : 7;
    s.startPass(interlaced ? 0 : 7);
}

RowDecoder::~RowDecoder() { delete m_state; }

bool RowDecoder::usable() const { return m_state->usable; }

bool RowDecoder::finished() const { return m_state->pass > m_state->lastPass; }

const uint8_t *RowDecoder::previousRow() const
{
    const State &s = *m_state;
    if (finished() || s.prev == s.zeroRow.data() || s.prev == s.rowBuffers[0].data() ||
        s.prev == s.rowBuffers[1].data())
        return nullptr;
    return s.prev;
}

void RowDecoder::moved(std::ptrdiff_t delta)
{
    if (previousRow())
        m_state->prev += delta;
}

const uint8_t *RowDecoder::consume(const uint8_t *data, const uint8_t *end)
{
    State &s = *m_state;
    if (!s.usable)
        return nullptr;
    const bool interlaced = s.header.interlace == 1;
    while (!finished()) {
        const size_t rb = s.passRowBytes;
        if (size_t(end - data) < rb + 1)
            return data;
        const Adam7Pass &pass = kAdam7[s.pass];
        const unsigned filter = data[0];
        const uint8_t *cur = data + 1;
        if (filter >= 1 && filter <= 4) {
            uint8_t *row = s.rowBuffers[s.nextBuffer].data();
            s.nextBuffer ^= 1;
            unfilter(filter, s.bpp, row, cur, s.prev, rb);
            cur = row;
        } else if (filter > 4 && interlaced) {
            return nullptr;
        }
        // An unknown filter in a plain image leaves the row as stored.
        const size_t y = pass.startRow + size_t(pass.rowStep) * s.row;
        uint8_t *dst = s.bits + (size_t(s.header.height) - 1 - y) * s.stride + size_t(pass.startCol) * 4;
        if (!s.conv.convert(cur, s.passWidth, dst, size_t(pass.colStep) * 4))
            return nullptr;
        s.prev = cur;
        data += rb + 1;
        if (++s.row == s.passHeight)
            s.startPass(s.pass + 1);
    }
    return data;
}

bool unfilterAndConvert(const ImageHeader &h, const ColourInfo &c, const uint8_t *inflated, size_t size, uint8_t *bits)
{
    RowDecoder rows(h, c, bits);
    return rows.consume(inflated, inflated + size) != nullptr && rows.finished();
}

} // namespace imaging::png
