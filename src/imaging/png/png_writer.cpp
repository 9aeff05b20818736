// The PNG encoder: colour analysis, row filters, chunk output, and the
// property store of cPNGwriter.
#include "imaging/png/png_writer.h"

#include "imaging/c32bppDIB.h"
#include "imaging/parsers.h"
#include "imaging/zlib_bridge.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace imaging {

namespace {

constexpr std::array<const char *, 10> kStandardKeywords = {
    "Title", "Author", "Description", "Copyright", "Creation Time",
    "Software", "Disclaimer", "Warning", "Source", "Comment"};

constexpr std::int32_t kAllIds = 0x3FFF;   // bits 0 (Title) .. 13 (filter mode)
constexpr int kMaxTextChars = 32700;
constexpr int kMaxKeywordChars = 79;
constexpr std::size_t kZtxtAbove = 1024;     // custom texts longer than this are compressed
constexpr std::size_t kMaxChunkData = 0x7FFFFFFF;

// ---- the system code page -------------------------------------------------

// The single-byte code of one character in the system code page (CP949), or
// -1 when it is double-byte there or has no code at all.
int singleByteCode(char16_t c)
{
    if (c < 0x80)
        return c;
    if (QChar::isSurrogate(c))
        return -1;
    thread_local QStringEncoder encoder("windows-949", QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(QStringView(&c, 1));
    const bool error = encoder.hasError();
    encoder.resetState();
    return error || bytes.size() != 1 ? -1 : std::uint8_t(bytes[0]);
}

// Text that passed NormalizeText or ValidateKeyword, as code page bytes.
void appendCodePage(std::vector<std::uint8_t> &out, const QString &text)
{
    for (const QChar ch : text) {
        const int code = singleByteCode(ch.unicode());
        out.push_back(std::uint8_t(code < 0 ? '?' : code));
    }
}

// ---- values ---------------------------------------------------------------

bool isNullOrObject(const QVariant &v)
{
    if (!v.isValid())
        return false;   // an empty value, not a null one
    const QMetaType::TypeFlags flags = v.metaType().flags();
    return v.isNull() || (flags & (QMetaType::PointerToQObject | QMetaType::IsPointer | QMetaType::PointerToGadget));
}

bool toText(const QVariant &v, QString &out)
{
    if (!v.isValid()) {
        out.clear();
        return true;
    }
    if (!v.canConvert<QString>())
        return false;
    out = v.toString();
    return true;
}

// A whole number in 32 bits; reals round half to even. An unsigned 32-bit
// value is taken as its bit pattern (colours are often written that way).
bool toInt32(const QVariant &v, std::int32_t &out)
{
    auto fromReal = [&out](double d) {
        if (!std::isfinite(d))
            return false;
        d = std::nearbyint(d);
        if (d < double(INT32_MIN) || d > double(INT32_MAX))
            return false;
        out = std::int32_t(d);
        return true;
    };
    auto fromWhole = [&out](qint64 n) {
        if (n < INT32_MIN || n > INT32_MAX)
            return false;
        out = std::int32_t(n);
        return true;
    };
    switch (v.metaType().id()) {
    case QMetaType::UnknownType:
        out = 0;
        return true;
    case QMetaType::Bool:
        out = v.toBool() ? -1 : 0;
        return true;
    case QMetaType::UInt:
        out = std::int32_t(v.toUInt());
        return true;
    case QMetaType::Double:
    case QMetaType::Float:
        return fromReal(v.toDouble());
    case QMetaType::QString: {
        const QString s = v.toString().trimmed();
        bool ok = false;
        const qint64 n = s.toLongLong(&ok);
        if (ok)
            return fromWhole(n);
        const double d = s.toDouble(&ok);
        return ok && fromReal(d);
    }
    default: {
        bool ok = false;
        const qint64 n = v.toLongLong(&ok);
        return ok && fromWhole(n);
    }
    }
}

bool acceptableDate(const QDateTime &dt)
{
    return dt.isValid() && dt.date().year() >= 1 && dt.date().year() <= 9999;
}

// Dates and date-times, or texts in ISO 8601 form ("2024-05-01",
// "2024-05-01T13:45:00", with a space instead of the T).
bool toDate(const QVariant &v, QDateTime &out)
{
    switch (v.metaType().id()) {
    case QMetaType::QDateTime:
        out = v.toDateTime();
        return acceptableDate(out);
    case QMetaType::QDate:
        out = QDateTime(v.toDate(), QTime(0, 0));
        return acceptableDate(out);
    case QMetaType::QString: {
        const QString s = v.toString().trimmed();
        for (const char *format : {"yyyy-MM-dd'T'HH:mm:ss", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd'T'HH:mm",
                                   "yyyy-MM-dd HH:mm", "yyyy-MM-dd"}) {
            out = QDateTime::fromString(s, QLatin1String(format));
            if (acceptableDate(out))
                return true;
        }
        out = QDateTime::fromString(s, Qt::ISODate);
        return acceptableDate(out);
    }
    default:
        return false;
    }
}

const char *kTimeFormat = "yyyy-MM-dd'T'HH:mm:ss";

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

class ChunkOutput {
public:
    virtual ~ChunkOutput() = default;
    virtual bool put(const std::uint8_t *data, std::size_t n) = 0;

    bool signature()
    {
        static const std::uint8_t sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
        return put(sig, 8);
    }
    // Length, type, data and the CRC-32 of type and data, all big-endian.
    bool chunk(const char *type, std::span<const std::uint8_t> data)
    {
        if (data.size() > kMaxChunkData)
            return false;
        std::uint8_t head[8], tail[4];
        put32(head, std::uint32_t(data.size()));
        std::memcpy(head + 4, type, 4);
        put32(tail, zlib::crc32(zlib::crc32(0, {head + 4, 4}), data));
        return put(head, 8) && put(data.data(), data.size()) && put(tail, 4);
    }
};

class MemoryOutput final : public ChunkOutput {
public:
    bool put(const std::uint8_t *data, std::size_t n) override
    {
        bytes.insert(bytes.end(), data, data + n);
        return true;
    }
    std::vector<std::uint8_t> bytes;
};

class FileOutput final : public ChunkOutput {
public:
    explicit FileOutput(int fd) : m_fd(fd) {}
    bool put(const std::uint8_t *data, std::size_t n) override
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

private:
    int m_fd;
};

// A new file beside `target` that no one else has opened; renamed over the
// target once complete.
struct TempFile {
    QString name;
    int fd = -1;

    bool create(const QString &target)
    {
        // A short name, so that a target name near the length limit still works.
        const QString base = QFileInfo(target).absolutePath() + QLatin1String("/.png-");
        for (int attempt = 0; attempt < 16; ++attempt) {
            name = base + QStringLiteral("%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0'));
            const QByteArray path = QFile::encodeName(name);
            do {
                fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            } while (fd < 0 && errno == EINTR);
            if (fd >= 0)
                return true;
            if (errno != EEXIST)
                return false;
        }
        return false;
    }
    bool commit(const QString &target)
    {
        // On the disk before it replaces the old file, so that a crash leaves
        // one of the two whole.
        const bool synced = ::fsync(fd) == 0;
        const int rc = ::close(fd);
        fd = -1;
        if (rc != 0 || !synced)
            return false;
        return ::rename(QFile::encodeName(name).constData(), QFile::encodeName(target).constData()) == 0;
    }
    void discard()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        DeleteFileForced(name);
    }
};

} // namespace

// ---- one save --------------------------------------------------------------

// The work state of one save: the colour form chosen from the pixels, the
// palette, and the rows as they go out.
class PngEncoder {
public:
    PngEncoder(const cPNGwriter &props, const c32bppDIB &surface, const ZlibInfo &zlibInfo)
        : m_props(props), m_dib(surface), m_zlib(zlibInfo), m_width(std::size_t(surface.Width())),
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
        const bool background = (m_props.m_mask & pngBackground) != 0;
        std::vector<std::uint8_t> bkgd;
        if (background)
            backgroundChunk(bkgd);   // may add an entry to the palette

        std::uint8_t ihdr[13];
        put32(ihdr, std::uint32_t(m_width));
        put32(ihdr + 4, std::uint32_t(m_height));
        ihdr[8] = 8;
        ihdr[9] = std::uint8_t(m_colourType);
        ihdr[10] = ihdr[11] = ihdr[12] = 0;
        if (!out.signature() || !out.chunk("IHDR", ihdr))
            return false;
        for (int slot : {0, 1})
            if (!standardText(out, slot))
                return false;
        if (m_colourType == 3 && !out.chunk("PLTE", m_plte))
            return false;
        if (!bkgd.empty() && !out.chunk("bKGD", bkgd))
            return false;
        if (m_hasTrns && !out.chunk("tRNS", m_trns))
            return false;
        if (!out.chunk("IDAT", idat))
            return false;
        if ((m_props.m_mask & pngTime) && !timeChunk(out))
            return false;
        for (int slot = 2; slot < 10; ++slot)
            if (!standardText(out, slot))
                return false;
        if (m_props.m_mask & pngCustomText)
            for (const auto &entry : m_props.m_custom)
                if (!customText(out, entry.keyword, entry.text))
                    return false;
        return out.chunk("IEND", {});
    }

    int colourType() const { return m_colourType; }

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
        std::int32_t mode = m_props.m_filterMode;
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
        const std::uint32_t c = m_props.m_background;
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

    bool standardText(ChunkOutput &out, int slot)
    {
        if (!(m_props.m_mask & (1u << slot)))
            return true;
        std::vector<std::uint8_t> data;
        appendCodePage(data, QLatin1String(kStandardKeywords[std::size_t(slot)]));
        data.push_back(0);
        appendCodePage(data, m_props.m_texts[slot]);
        return out.chunk("tEXt", data);
    }

    bool customText(ChunkOutput &out, const QString &keyword, const QString &text)
    {
        std::vector<std::uint8_t> data, bytes;
        appendCodePage(data, keyword);
        data.push_back(0);
        appendCodePage(bytes, text);
        std::vector<std::uint8_t> packed;
        if (bytes.size() > kZtxtAbove && deflateAll(m_zlib, bytes, packed)) {
            data.push_back(0);   // compression method: deflate
            data.insert(data.end(), packed.begin(), packed.end());
            return out.chunk("zTXt", data);
        }
        data.insert(data.end(), bytes.begin(), bytes.end());
        return out.chunk("tEXt", data);
    }

    bool timeChunk(ChunkOutput &out)
    {
        const QDateTime t = QDateTime::fromString(m_props.m_time, QLatin1String(kTimeFormat));
        if (!t.isValid())
            return false;
        const int year = t.date().year();
        const std::uint8_t data[7] = {std::uint8_t(year >> 8), std::uint8_t(year), std::uint8_t(t.date().month()),
                                      std::uint8_t(t.date().day()), std::uint8_t(t.time().hour()),
                                      std::uint8_t(t.time().minute()), std::uint8_t(t.time().second())};
        return out.chunk("tIME", data);
    }

    const cPNGwriter &m_props;
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

// ---- cPNGwriter -------------------------------------------------------------

bool cPNGwriter::WritePNG(const c32bppDIB &surface, const QString &FileName, ByteArray &outStream)
{
    if (surface.Handle() == 0 || !surface.BitsPointer() || surface.Width() <= 0 || surface.Height() <= 0)
        return false;
    ZlibInfo zlibInfo;
    if (!FindZlib(zlibInfo, false))
        return false;
    if (FileName.isEmpty()) {
        try {
            PngEncoder encoder(*this, surface, zlibInfo);
            MemoryOutput out;
            if (encoder.write(out) && outStream.assign(out.bytes))
                return true;
        } catch (...) {
        }
        outStream.clear();
        return false;
    }
    // Never write into a folder in place of a file.
    struct stat st;
    if (::stat(QFile::encodeName(FileName).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return false;
    TempFile file;
    if (!file.create(FileName))
        return false;
    try {
        PngEncoder encoder(*this, surface, zlibInfo);
        FileOutput out(file.fd);
        if (encoder.write(out) && file.commit(FileName))
            return true;
    } catch (...) {
    }
    file.discard();
    return false;
}

bool cPNGwriter::isValidId(std::int32_t id) { return id > 0 && (id & kAllIds) == id && std::has_single_bit(std::uint32_t(id)); }

QDateTime cPNGwriter::zeroDate() { return QDateTime(QDate(1899, 12, 30), QTime(0, 0)); }

QString cPNGwriter::NormalizeText(const QString &text)
{
    if (text.isEmpty())
        return {};
    QString t = text.left(kMaxTextChars);
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QChar('\r'), QChar('\n'));
    for (const QChar ch : t) {
        const int code = singleByteCode(ch.unicode());
        if (code < 0 || (code < 32 && code != 9 && code != 10))
            return {};
    }
    return t;
}

QString cPNGwriter::ValidateKeyword(const QString &caption, std::int32_t *standardId)
{
    if (standardId)
        *standardId = 0;
    QString k = caption.left(kMaxKeywordChars);
    // Code 160 (a no-break space where the code page has one) counts as a
    // space before the spaces are tidied, so that the keyword never starts,
    // ends or doubles with it.
    for (QChar &ch : k)
        if (singleByteCode(ch.unicode()) == 160)
            ch = QChar(' ');
    while (k.startsWith(QChar(' ')))
        k.remove(0, 1);
    while (k.endsWith(QChar(' ')))
        k.chop(1);
    while (k.contains(QLatin1String("  ")))
        k.replace(QLatin1String("  "), QLatin1String(" "));
    for (const QChar ch : k) {
        const int code = singleByteCode(ch.unicode());
        if (!((code >= 32 && code <= 126) || (code >= 161 && code <= 255)))
            return {};
    }
    if (!k.isEmpty() && standardId)
        for (std::size_t i = 0; i < kStandardKeywords.size(); ++i)
            if (k.compare(QLatin1String(kStandardKeywords[i]), Qt::CaseInsensitive) == 0) {
                *standardId = std::int32_t(1u << i);
                break;
            }
    return k;
}

bool cPNGwriter::SetProperty(std::int32_t PropertyID, const QVariant &PropertyValue, const QString &LargeBlockCaption)
{
    if (!isValidId(PropertyID) || isNullOrObject(PropertyValue))
        return false;
    if (PropertyID <= pngComment) {
        QString text;
        if (!toText(PropertyValue, text))
            return false;
        m_texts[std::countr_zero(std::uint32_t(PropertyID))] = NormalizeText(text);
    } else if (PropertyID == pngCustomText) {
        std::int32_t standard = 0;
        const QString keyword = ValidateKeyword(LargeBlockCaption, &standard);
        if (keyword.isEmpty())
            return false;
        if (standard)
            return SetProperty(standard, PropertyValue, {});
        QString text;
        if (!toText(PropertyValue, text))
            return false;
        text = NormalizeText(text);
        const auto same = std::find_if(m_custom.begin(), m_custom.end(), [&](const CustomEntry &e) {
            return e.keyword.compare(keyword, Qt::CaseInsensitive) == 0;
        });
        if (same != m_custom.end())
            *same = {keyword, text};
        else
            m_custom.push_back({keyword, text});
    } else if (PropertyID == pngTime) {
        QDateTime when;
        if (!toDate(PropertyValue, when))
            return false;
        m_time = when.toString(QLatin1String(kTimeFormat));
    } else {
        std::int32_t number = 0;
        if (!toInt32(PropertyValue, number))
            return false;
        if (PropertyID == pngBackground)
            m_background = std::uint32_t(number) & 0x00FFFFFF;
        else
            m_filterMode = number;
    }
    m_mask |= std::uint32_t(PropertyID);
    return true;
}

bool cPNGwriter::RemoveProperty(std::int32_t PropertyID, const QString &LargeBlockCaption)
{
    if (!isValidId(PropertyID))
        return false;
    if (PropertyID == pngCustomText) {
        // A caption naming a standard property removes that property, whether
        // or not custom texts exist.
        std::int32_t standard = 0;
        const QString keyword = ValidateKeyword(LargeBlockCaption, &standard);
        if (keyword.isEmpty())
            return false;
        if (standard)
            return RemoveProperty(standard, {});
        if (!(m_mask & pngCustomText))
            return false;
        // Removal matches the keyword exactly (letter case counts).
        const auto it = std::find_if(m_custom.begin(), m_custom.end(),
                                     [&](const CustomEntry &e) { return e.keyword == keyword; });
        if (it == m_custom.end())
            return false;
        *it = std::move(m_custom.back());
        m_custom.pop_back();
        if (m_custom.empty())
            m_mask &= ~std::uint32_t(pngCustomText);
        return true;
    }
    if (!(m_mask & std::uint32_t(PropertyID)))
        return false;
    if (PropertyID == pngFilterMode)
        m_filterMode = 0;
    else if (PropertyID == pngTime)
        m_time.clear();
    else if (PropertyID <= pngComment)
        m_texts[std::countr_zero(std::uint32_t(PropertyID))].clear();
    m_mask &= ~std::uint32_t(PropertyID);
    return true;
}

QVariant cPNGwriter::GetProperty(std::int32_t PropertyID, const QString &LargeBlockCaption) const
{
    if (!isValidId(PropertyID))
        return {};
    if (PropertyID <= pngComment)
        return m_texts[std::countr_zero(std::uint32_t(PropertyID))];
    switch (PropertyID) {
    case pngCustomText: {
        std::int32_t standard = 0;
        const QString keyword = ValidateKeyword(LargeBlockCaption, &standard);
        if (keyword.isEmpty())
            return QString();
        if (standard)
            return GetProperty(standard, {});
        if (!(m_mask & pngCustomText))
            return QString();
        for (const auto &e : m_custom)
            if (e.keyword.compare(keyword, Qt::CaseInsensitive) == 0)
                return e.text;
        return QString();
    }
    case pngTime:
        return (m_mask & pngTime) ? QDateTime::fromString(m_time, QLatin1String(kTimeFormat)) : zeroDate();
    case pngBackground:
        return (m_mask & pngBackground) ? std::int32_t(m_background) : std::int32_t(-1);
    default:
        return m_filterMode;
    }
}

} // namespace imaging
