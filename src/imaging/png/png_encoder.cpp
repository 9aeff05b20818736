// The PNG encoder proper: colour analysis, row filters and chunk output.
#include "imaging/png/png_encoder.h"

#include "imaging/c32bppDIB.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace imaging::png {

namespace {

constexpr std::size_t kZtxtAbove = 1024;     // custom texts longer than this are compressed
constexpr std::size_t kMaxChunkData = 0x7FFFFFFF;

// ---- pixels ---------------------------------------------------------------

// A surface pixel as blue + green << 8 + red << 16 + alpha << 24.
inline std::uint32_t loadPixel(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// unpremultiply[a][c] = c * 255 \ a, held to 255 for a colour byte above its
// alpha (malformed; a byte cannot hold more).
const std::array<std::array<std::uint8_t, 256>, 256> &unpremultiplyTable()
{
    static const auto table = [] {
        std::array<std::array<std::uint8_t, 256>, 256> t{};
        for (int a = 1; a < 256; ++a)
            for (int c = 0; c < 256; ++c)
                t[a][c] = std::uint8_t(std::min(255, c * 255 / a));
        return t;
    }();
    return table;
}

// At most 256 distinct pixel values and their palette indices: open
// addressing in a table four times that size, so that a look-up is a hash
// and one or two compares instead of a binary search.
class PaletteMap {
public:
    static constexpr std::size_t kMax = 256;

    // Adds the value if new; false when it would be the 257th.
    bool add(std::uint32_t v)
    {
        std::size_t s = slotOf(v);
        if (m_used[s])
            return true;
        if (m_values.size() == kMax)
            return false;
        m_used[s] = true;
        m_keys[s] = v;
        m_values.push_back(v);
        return true;
    }
    void setIndex(std::uint32_t v, std::uint8_t index) { m_index[slotOf(v)] = index; }
    std::uint8_t indexOf(std::uint32_t v) const { return m_index[slotOf(v)]; }
    std::vector<std::uint32_t> &values() { return m_values; }

private:
    static constexpr std::size_t kSlots = 1024;
    std::size_t slotOf(std::uint32_t v) const
    {
        std::size_t s = (v * 0x9E3779B1u) >> 22;
        while (m_used[s] && m_keys[s] != v)
            s = (s + 1) & (kSlots - 1);
        return s;
    }
    std::array<std::uint32_t, kSlots> m_keys{};
    std::array<bool, kSlots> m_used{};
    std::array<std::uint8_t, kSlots> m_index{};
    std::vector<std::uint32_t> m_values;
};

inline std::uint8_t paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return std::uint8_t(a);
    return std::uint8_t(pb <= pc ? b : c);
}

// The prediction of filter f for byte i of a row (left one pixel back, 0
// before the first pixel; above from the unfiltered previous row).
template <int F>
inline int predict(const std::uint8_t *raw, const std::uint8_t *prev, std::size_t i, std::size_t bpp)
{
    const int left = i >= bpp ? raw[i - bpp] : 0;
    if constexpr (F == 0)
        return 0;
    else if constexpr (F == 1)
        return left;
    else if constexpr (F == 2)
        return prev[i];
    else if constexpr (F == 3)
        return (left + prev[i]) >> 1;
    else
        return paeth(left, prev[i], i >= bpp ? prev[i - bpp] : 0);
}

template <int F>
void filterRowWith(const std::uint8_t *raw, const std::uint8_t *prev, std::size_t n, std::size_t bpp,
                   std::uint8_t *out)
{
    for (std::size_t i = 0; i < n; ++i)
        out[i] = std::uint8_t(raw[i] - predict<F>(raw, prev, i, bpp));
}

void filterRow(int f, const std::uint8_t *raw, const std::uint8_t *prev, std::size_t n, std::size_t bpp,
               std::uint8_t *out)
{
    switch (f) {
    case 0: std::memcpy(out, raw, n); break;
    case 1: filterRowWith<1>(raw, prev, n, bpp, out); break;
    case 2: filterRowWith<2>(raw, prev, n, bpp, out); break;
    case 3: filterRowWith<3>(raw, prev, n, bpp, out); break;
    default: filterRowWith<4>(raw, prev, n, bpp, out); break;
    }
}

// Sum of |raw - prediction| over the row; stops with a value above `limit`
// as soon as the running sum passes it. Checked once per block: a sum that
// passes the limit inside a block stays above it, so the outcome is the same.
template <int F>
std::uint64_t filterCost(const std::uint8_t *raw, const std::uint8_t *prev, std::size_t n, std::size_t bpp,
                         std::uint64_t limit)
{
    std::uint64_t sum = 0;
    for (std::size_t start = 0; start < n; start += 256) {
        const std::size_t end = std::min(n, start + 256);
        unsigned block = 0;
        for (std::size_t i = start; i < end; ++i)
            block += unsigned(std::abs(int(raw[i]) - predict<F>(raw, prev, i, bpp)));
        sum += block;
        if (sum > limit)
            return sum;
    }
    return sum;
}

// The adaptive choice: the filter with the smallest cost, a later one
// winning a tie; the first row tries None and Sub only.
int chooseFilter(const std::uint8_t *raw, const std::uint8_t *prev, std::size_t n, std::size_t bpp, bool firstRow)
{
    std::uint64_t best = std::uint64_t(n) * 254;
    int chosen = 0;
    using CostFn = std::uint64_t (*)(const std::uint8_t *, const std::uint8_t *, std::size_t, std::size_t,
                                     std::uint64_t);
    static constexpr CostFn costs[] = {filterCost<0>, filterCost<1>, filterCost<2>, filterCost<3>, filterCost<4>};
    const int tried = firstRow ? 2 : 5;
    for (int f = 0; f < tried; ++f) {
        const std::uint64_t c = costs[f](raw, prev, n, bpp, best);
        if (c <= best) {
            chosen = f;
            best = c == 0 ? 1 : c;
        }
    }
    return chosen;
}

inline void put32(std::uint8_t *p, std::uint32_t v)
{
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

} // namespace

// The compression call of the encoder: one call into a buffer of
// n + 1% + 12 bytes (rounded), compress2 at level 9 when offered.
bool deflateAll(const ZlibInfo &zlibInfo, std::span<const std::uint8_t> src, std::vector<std::uint8_t> &out)
{
    const double n = double(src.size());
    out.resize(std::size_t(std::nearbyint(n + n * 0.01 + 12)));
    std::size_t written = 0;
    const int rc = zlibInfo.hasCompress2 ? zlib::compress2(out, written, src, 9) : zlib::compress(out, written, src);
    if (rc != zlib::Z_OK)
        return false;
    out.resize(written);
    return true;
}


// ---- output ---------------------------------------------------------------

bool ChunkOutput::signature()
{
    static const std::uint8_t sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    return put(sig, 8);
}

bool ChunkOutput::chunk(const char *type, std::span<const std::uint8_t> data)
{
    if (data.size() > kMaxChunkData)
        return false;
    std::uint8_t head[8], tail[4];
    put32(head, std::uint32_t(data.size()));
    std::memcpy(head + 4, type, 4);
    put32(tail, zlib::crc32(zlib::crc32(0, {head + 4, 4}), data));
    return put(head, 8) && put(data.data(), data.size()) && put(tail, 4);
}

bool MemoryOutput::put(const std::uint8_t *data, std::size_t n)
{
    bytes.insert(bytes.end(), data, data + n);
    return true;
}

bool FileOutput::put(const std::uint8_t *data, std::size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(m_fd, data, std::min<std::size_t>(n, 1u << 30));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        data += w;
        n -= std::size_t(w);
    }
    return true;
}

namespace {

// The work state of one save: the colour form chosen from the pixels, the
// palette, and the rows as they go out.
class PngEncoder {
public:
    PngEncoder(const EncodeOptions &options, const c32bppDIB &surface, const ZlibInfo &zlibInfo)
        : m_options(options), m_dib(surface), m_zlib(zlibInfo), m_width(std::size_t(surface.Width())),
          m_height(std::size_t(surface.Height())), m_alpha(surface.Alpha()),
          m_force(surface.Alpha() ? 0u : 0xFF000000u)
    {
    }

    bool write(ChunkOutput &out)
    {
        analyse();
        std::vector<std::uint8_t> idat;
        if (!compressImage(idat))
            return false;
        std::vector<std::uint8_t> bkgd;
        if (m_options.hasBackground)
            backgroundChunk(bkgd);   // may add an entry to the palette

        std::uint8_t ihdr[13];
        put32(ihdr, std::uint32_t(m_width));
        put32(ihdr + 4, std::uint32_t(m_height));
        ihdr[8] = 8;
        ihdr[9] = std::uint8_t(m_colourType);
        ihdr[10] = ihdr[11] = ihdr[12] = 0;
        if (!out.signature() || !out.chunk("IHDR", ihdr))
            return false;
        for (const TextEntry &t : m_options.earlyTexts)
            if (!text(out, t))
                return false;
        if (m_colourType == 3 && !out.chunk("PLTE", m_plte))
            return false;
        if (!bkgd.empty() && !out.chunk("bKGD", bkgd))
            return false;
        if (m_hasTrns && !out.chunk("tRNS", m_trns))
            return false;
        if (!out.chunk("IDAT", idat))
            return false;
        if (m_options.hasTime && !out.chunk("tIME", m_options.time))
            return false;
        for (const TextEntry &t : m_options.lateTexts)
            if (!text(out, t))
                return false;
        return out.chunk("IEND", {});
    }

private:
    const std::uint8_t *memoryRow(std::size_t topRow) const
    {
        return m_dib.BitsPointer() + (m_height - 1 - topRow) * m_width * 4;
    }

    // ---- colour analysis ----

    void analyse()
    {
        if (collectPalette())
            choosePaletteOrGrey();
        else
            chooseTrueColour();
    }

    bool collectPalette()
    {
        const std::uint8_t *p = m_dib.BitsPointer();
        const std::size_t count = m_width * m_height;
        std::uint32_t last = loadPixel(p) | m_force;
        if (!m_map.add(last))
            return false;
        for (std::size_t i = 1; i < count; ++i) {
            const std::uint32_t v = loadPixel(p + i * 4) | m_force;
            if (v == last)
                continue;
            last = v;
            if (!m_map.add(v))
                return false;
        }
        // Ascending as signed values: alpha 128 and above sorts first.
        auto &values = m_map.values();
        std::sort(values.begin(), values.end(),
                  [](std::uint32_t a, std::uint32_t b) { return std::int32_t(a) < std::int32_t(b); });
        return true;
    }

    void choosePaletteOrGrey()
    {
        const auto &values = m_map.values();
        bool grey = true;
        int nonOpaque = 0;
        bool nonOpaqueIsClear = true;
        for (std::uint32_t v : values) {
            const std::uint8_t b = std::uint8_t(v), g = std::uint8_t(v >> 8), r = std::uint8_t(v >> 16);
            const std::uint8_t a = std::uint8_t(v >> 24);
            if (!(r == g && g == b))
                grey = false;
            if (a != 255) {
                ++nonOpaque;
                nonOpaqueIsClear = nonOpaqueIsClear && a == 0;
            }
        }
        if (grey && (nonOpaque == 0 || (nonOpaque == 1 && nonOpaqueIsClear))) {
            m_colourType = 0;
            m_bpp = 1;
            if (m_alpha) {
                std::array<bool, 256> used{};
                for (std::uint32_t v : values)
                    if ((v >> 24) == 255)
                        used[v & 0xFF] = true;
                // 256 opaque grey levels leave none free: then no level is
                // marked transparent rather than one that pixels use.
                const auto free = std::find(used.begin(), used.end(), false);
                if (free != used.end()) {
                    m_greyLevel = std::uint8_t(free - used.begin());
                    m_hasTrns = true;
                    m_trns = {0, m_greyLevel};
                }
            }
            return;
        }

        m_colourType = 3;
        m_bpp = 1;
        const std::size_t n = values.size();
        m_plte.assign(n * 3, 0);
        if (nonOpaque == 0) {
            for (std::size_t i = 0; i < n; ++i)
                m_map.setIndex(values[i], std::uint8_t(i));
        } else {
            // Non-opaque entries first (counting up), opaque ones after them
            // (counting down from the end), so that tRNS covers only the former.
            std::size_t up = 0, down = n;
            for (std::uint32_t v : values)
                m_map.setIndex(v, std::uint8_t((v >> 24) == 255 ? --down : up++));
            m_trns.assign(std::size_t(nonOpaque), 0);
        }
        const auto &un = unpremultiplyTable();
        for (std::uint32_t v : values) {
            const std::size_t index = m_map.indexOf(v);
            const int a = int(v >> 24);
            std::uint8_t *rgb = &m_plte[index * 3];
            if (a == 255) {
                rgb[0] = std::uint8_t(v >> 16);
                rgb[1] = std::uint8_t(v >> 8);
                rgb[2] = std::uint8_t(v);
            } else if (a != 0) {
                rgb[0] = un[a][std::uint8_t(v >> 16)];
                rgb[1] = un[a][std::uint8_t(v >> 8)];
                rgb[2] = un[a][std::uint8_t(v)];
            }
            if (a != 255)
                m_trns[index] = std::uint8_t(a);
        }
        m_hasTrns = nonOpaque > 0;
    }

    void chooseTrueColour()
    {
        m_colourType = 2;
        m_bpp = 3;
        if (!m_alpha)
            return;
        std::array<bool, 256> usedB{}, usedG{}, usedR{};
        const std::uint8_t *p = m_dib.BitsPointer();
        const std::size_t count = m_width * m_height;
        for (std::size_t i = 0; i < count; ++i, p += 4) {
            const std::uint8_t a = p[3];
            if (a == 255) {
                usedB[p[0]] = usedG[p[1]] = usedR[p[2]] = true;
            } else if (a != 0 || (p[0] | p[1] | p[2])) {
                m_colourType = 6;
                m_bpp = 4;
                return;
            }
        }
        for (const auto *used : {&usedB, &usedG, &usedR}) {
            const auto free = std::find(used->begin(), used->end(), false);
            if (free != used->end()) {
                m_key = std::uint8_t(free - used->begin());
                m_hasTrns = true;
                m_trns = {0, m_key, 0, m_key, 0, m_key};
                return;
            }
        }
        m_colourType = 6;
        m_bpp = 4;
    }

    // ---- image data ----

    // One row of image data in the chosen form.
    void buildRow(std::size_t topRow, std::uint8_t *out) const
    {
        const std::uint8_t *src = memoryRow(topRow);
        switch (m_colourType) {
        case 0:
            for (std::size_t x = 0; x < m_width; ++x, src += 4)
                out[x] = (m_alpha && src[3] == 0) ? m_greyLevel : src[0];
            break;
        case 3: {
            std::uint32_t last = loadPixel(src) | m_force;
            std::uint8_t index = m_map.indexOf(last);
            for (std::size_t x = 0; x < m_width; ++x, src += 4) {
                const std::uint32_t v = loadPixel(src) | m_force;
                if (v != last) {
                    last = v;
                    index = m_map.indexOf(v);
                }
                out[x] = index;
            }
            break;
        }
        case 2:
            for (std::size_t x = 0; x < m_width; ++x, src += 4, out += 3) {
                if (m_alpha && src[3] == 0) {
                    out[0] = out[1] = out[2] = m_key;
                } else {
                    out[0] = src[2];
                    out[1] = src[1];
                    out[2] = src[0];
                }
            }
            break;
        default: {
            const auto &un = unpremultiplyTable();
            for (std::size_t x = 0; x < m_width; ++x, src += 4, out += 4) {
                const std::uint8_t a = src[3];
                if (a == 255) {
                    out[0] = src[2];
                    out[1] = src[1];
                    out[2] = src[0];
                } else {
                    const auto &t = un[a];   // row 0 is all zero
                    out[0] = t[src[2]];
                    out[1] = t[src[1]];
                    out[2] = t[src[0]];
                }
                out[3] = a;
            }
            break;
        }
        }
    }

    // Filters every row (top row first) and compresses them in one call.
    bool compressImage(std::vector<std::uint8_t> &idat)
    {
        const std::size_t rowBytes = m_width * m_bpp;
        std::int32_t mode = m_options.filterMode;
        if (mode < 0 || mode > 6)
            mode = 0;
        const int fixedFilter = mode == 0 ? ((m_colourType == 2 || m_colourType == 6) ? 4 : 0) : mode - 1;
        std::vector<std::uint8_t> filtered((rowBytes + 1) * m_height);
        std::vector<std::uint8_t> rows(rowBytes * 2, 0), zero(rowBytes, 0);
        std::uint8_t *cur = rows.data(), *prev = rows.data() + rowBytes;
        for (std::size_t y = 0; y < m_height; ++y) {
            buildRow(y, cur);
            const std::uint8_t *above = y == 0 ? zero.data() : prev;
            const int f = mode == 6 ? chooseFilter(cur, above, rowBytes, m_bpp, y == 0) : fixedFilter;
            std::uint8_t *out = filtered.data() + y * (rowBytes + 1);
            out[0] = std::uint8_t(f);
            filterRow(f, cur, above, rowBytes, m_bpp, out + 1);
            std::swap(cur, prev);
        }
        return deflateAll(m_zlib, filtered, idat);
    }

    // ---- ancillary chunks ----

    void backgroundChunk(std::vector<std::uint8_t> &data)
    {
        const std::uint32_t c = m_options.background;
        const std::uint8_t r = std::uint8_t(c), g = std::uint8_t(c >> 8), b = std::uint8_t(c >> 16);
        switch (m_colourType) {
        case 3: {
            const std::size_t entries = m_plte.size() / 3;
            std::size_t i = 0;
            while (i < entries && !(m_plte[i * 3] == r && m_plte[i * 3 + 1] == g && m_plte[i * 3 + 2] == b))
                ++i;
            if (i == entries) {
                if (entries == 256)
                    return;   // a full palette has no room: no bKGD
                m_plte.insert(m_plte.end(), {r, g, b});
            }
            data = {std::uint8_t(i)};
            break;
        }
        case 0:
            data = {0, r};
            break;
        default:
            data = {0, r, 0, g, 0, b};
            break;
        }
    }

    // tEXt: keyword, NUL, text. A custom text above 1024 bytes goes as
    // zTXt (keyword, NUL, method 0, deflated text) unless compressing fails.
    // iTXt: keyword, NUL, not compressed (0), method 0, an empty language tag
    // and an empty translated keyword (each ended by NUL), the UTF-8 text.
    bool text(ChunkOutput &out, const TextEntry &t)
    {
        std::vector<std::uint8_t> data = t.keyword;
        data.push_back(0);
        if (t.international) {
            data.insert(data.end(), {0, 0, 0, 0});
            data.insert(data.end(), t.text.begin(), t.text.end());
            return out.chunk("iTXt", data);
        }
        std::vector<std::uint8_t> packed;
        if (t.custom && t.text.size() > kZtxtAbove && deflateAll(m_zlib, t.text, packed)) {
            data.push_back(0);
            data.insert(data.end(), packed.begin(), packed.end());
            return out.chunk("zTXt", data);
        }
        data.insert(data.end(), t.text.begin(), t.text.end());
        return out.chunk("tEXt", data);
    }

    const EncodeOptions &m_options;
    const c32bppDIB &m_dib;
    const ZlibInfo &m_zlib;
    const std::size_t m_width, m_height;
    const bool m_alpha;
    const std::uint32_t m_force;   // alpha forced to 255 when the surface has none

    int m_colourType = 2;
    std::size_t m_bpp = 3;
    PaletteMap m_map;
    std::vector<std::uint8_t> m_plte;
    bool m_hasTrns = false;
    std::vector<std::uint8_t> m_trns;
    std::uint8_t m_greyLevel = 0;
    std::uint8_t m_key = 0;
};

} // namespace

bool encodePng(const c32bppDIB &surface, const EncodeOptions &options, const ZlibInfo &zlibInfo, ChunkOutput &out)
{
    if (surface.Handle() == 0 || !surface.BitsPointer() || surface.Width() <= 0 || surface.Height() <= 0)
        return false;
    PngEncoder encoder(options, surface, zlibInfo);
    return encoder.write(out);
}

} // namespace imaging::png
