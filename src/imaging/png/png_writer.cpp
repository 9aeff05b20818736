// cPNGwriter: the property store, its text rules, and saving to a file or a
// byte array through the encoder.
#include "imaging/png/png_writer.h"

#include "imaging/c32bppDIB.h"
#include "imaging/parsers.h"
#include "imaging/png/png_encoder.h"
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
std::vector<std::uint8_t> codePageBytes(const QString &text)
{
    std::vector<std::uint8_t> out;
    out.reserve(std::size_t(text.size()));
    for (const QChar ch : text) {
        const int code = singleByteCode(ch.unicode());
        out.push_back(std::uint8_t(code < 0 ? '?' : code));
    }
    return out;
}

// ---- exact texts ------------------------------------------------------------

bool isLatin1Text(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar ch) { return ch.unicode() <= 0xFF; });
}

// A text of SetExactText as written: Latin-1 bytes, or UTF-8 for iTXt.
png::TextEntry exactEntry(const QString &keyword, const QString &text, bool custom)
{
    const QByteArray key = keyword.toLatin1();
    const bool latin1 = isLatin1Text(text);
    const QByteArray bytes = latin1 ? text.toLatin1() : text.toUtf8();
    png::TextEntry entry{{key.begin(), key.end()}, {bytes.begin(), bytes.end()}, custom, !latin1};
    // A long text goes compressed only as zTXt, which is Latin-1.
    entry.custom = custom && latin1;
    return entry;
}

QString characterName(QChar ch) { return QStringLiteral("U+%1").arg(ch.unicode(), 4, 16, QChar('0')).toUpper(); }

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

// ---- files ---------------------------------------------------------------

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

// ---- cPNGwriter -------------------------------------------------------------

// What the encoder writes, from the properties that are set.
png::EncodeOptions cPNGwriter::encodeOptions() const
{
    png::EncodeOptions options;
    for (std::size_t slot = 0; slot < kStandardKeywords.size(); ++slot) {
        if (!(m_mask & (1u << slot)))
            continue;
        const QLatin1String keyword(kStandardKeywords[slot]);
        (slot < 2 ? options.earlyTexts : options.lateTexts)
            .push_back((m_exactSlots & (1u << slot))
                           ? exactEntry(keyword, m_texts[slot], false)
                           : png::TextEntry{codePageBytes(keyword), codePageBytes(m_texts[slot]), false});
    }
    if (m_mask & pngCustomText)
        for (const CustomEntry &e : m_custom)
            options.lateTexts.push_back(e.exact ? exactEntry(e.keyword, e.text, true)
                                                : png::TextEntry{codePageBytes(e.keyword), codePageBytes(e.text), true});
    if (m_mask & pngTime) {
        // The stored clock reading as it stands, without conversion to UTC.
        const QDateTime t = QDateTime::fromString(m_time, QLatin1String(kTimeFormat));
        const int year = t.date().year();
        options.hasTime = t.isValid();
        options.time = {std::uint8_t(year >> 8), std::uint8_t(year), std::uint8_t(t.date().month()),
                        std::uint8_t(t.date().day()), std::uint8_t(t.time().hour()), std::uint8_t(t.time().minute()),
                        std::uint8_t(t.time().second())};
    }
    options.hasBackground = (m_mask & pngBackground) != 0;
    options.background = m_background;
    options.filterMode = m_filterMode;
    return options;
}

bool cPNGwriter::WritePNG(const c32bppDIB &surface, const QString &FileName, ByteArray &outStream)
{
    if (surface.Handle() == 0 || !surface.BitsPointer() || surface.Width() <= 0 || surface.Height() <= 0)
        return false;
    ZlibInfo zlibInfo;
    if (!FindZlib(zlibInfo, false))
        return false;
    if (FileName.isEmpty()) {
        try {
            png::MemoryOutput out;
            if (png::encodePng(surface, encodeOptions(), zlibInfo, out) && outStream.assign(out.bytes))
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
        png::FileOutput out(file.fd);
        if (png::encodePng(surface, encodeOptions(), zlibInfo, out) && file.commit(FileName))
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
        m_exactSlots &= ~std::uint32_t(PropertyID);
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
    m_exactSlots &= ~std::uint32_t(PropertyID);
    return true;
}

QString cPNGwriter::KeywordFault(const QString &keyword)
{
    if (keyword.isEmpty())
        return QStringLiteral("the keyword is empty");
    for (const QChar ch : keyword) {
        const char16_t c = ch.unicode();
        if (!((c >= 32 && c <= 126) || (c >= 161 && c <= 255)))
            return QStringLiteral("the keyword holds %1, which is not a Latin-1 letter, digit, sign or space")
                .arg(characterName(ch));
    }
    if (keyword.size() > kMaxKeywordChars)
        return QStringLiteral("the keyword is %1 bytes long; at most %2 are allowed").arg(keyword.size()).arg(kMaxKeywordChars);
    if (keyword.startsWith(QChar(' ')) || keyword.endsWith(QChar(' ')))
        return QStringLiteral("the keyword starts or ends with a space");
    if (keyword.contains(QLatin1String("  ")))
        return QStringLiteral("the keyword holds two spaces in a row");
    return {};
}

bool cPNGwriter::SetExactText(const QString &keyword, const QString &text, QString *reason)
{
    const auto refuse = [reason](const QString &why) {
        if (reason)
            *reason = why;
        return false;
    };
    if (const QString fault = KeywordFault(keyword); !fault.isEmpty())
        return refuse(fault);
    if (text.size() > kMaxTextChars)
        return refuse(QStringLiteral("the text is %1 characters long; at most %2 are allowed").arg(text.size()).arg(kMaxTextChars));
    if (!text.isValidUtf16())
        return refuse(QStringLiteral("the text holds a broken character (a lone surrogate)"));
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QChar('\r'), QChar('\n'));
    for (const QChar ch : t) {
        if (ch.unicode() == 0)
            return refuse(QStringLiteral("the text holds a NUL character"));
        if (ch.category() == QChar::Other_Control && ch != QChar('\t') && ch != QChar('\n'))
            return refuse(QStringLiteral("the text holds the control character %1").arg(characterName(ch)));
    }
    std::int32_t standard = 0;
    ValidateKeyword(keyword, &standard);
    if (standard) {
        m_texts[std::countr_zero(std::uint32_t(standard))] = t;
        m_exactSlots |= std::uint32_t(standard);
        m_mask |= std::uint32_t(standard);
        return true;
    }
    const auto same = std::find_if(m_custom.begin(), m_custom.end(), [&](const CustomEntry &e) {
        return e.keyword.compare(keyword, Qt::CaseInsensitive) == 0;
    });
    if (same != m_custom.end())
        *same = {keyword, t, true};
    else
        m_custom.push_back({keyword, t, true});
    m_mask |= std::uint32_t(pngCustomText);
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
