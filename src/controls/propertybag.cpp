#include "controls/propertybag.h"

#include "controls/fonts.h"
#include "platform/limits.h"

#include <QFile>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace controls {

namespace {

// A key or section name with each code point case-folded as a case-insensitive
// comparison folds it, so that equal folded names are the names that compare
// equal.
QString folded(QStringView name)
{
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size();) {
        char32_t c = name[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(name[i], name[i + 1]);
            i += 2;
        } else {
            ++i;
        }
        c = QChar::toCaseFolded(c);
        if (QChar::requiresSurrogates(c)) {
            out += QChar(QChar::highSurrogate(c));
            out += QChar(QChar::lowSurrogate(c));
        } else {
            out += QChar(char16_t(c));
        }
    }
    return out;
}

} // namespace

// ---- PropertyValue --------------------------------------------------------

PropertyValue PropertyValue::text(const QString &v) { return PropertyValue(std::in_place_type<QString>, v); }
PropertyValue PropertyValue::integer(qint64 v) { return PropertyValue(std::in_place_type<qint64>, v); }
PropertyValue PropertyValue::flag(bool v) { return PropertyValue(std::in_place_type<bool>, v); }
PropertyValue PropertyValue::colour(ColourRef v) { return PropertyValue(std::in_place_type<Colour>, Colour{v}); }
PropertyValue PropertyValue::font(const QFont &v) { return PropertyValue(std::in_place_type<QFont>, v); }
PropertyValue PropertyValue::picture(const QByteArray &v) { return PropertyValue(std::in_place_type<Picture>, Picture{v}); }
PropertyValue PropertyValue::bytes(const QByteArray &v) { return PropertyValue(std::in_place_type<QByteArray>, v); }

PropertyValue::Type PropertyValue::type() const { return Type(m_v.index()); }

std::optional<QString> PropertyValue::toText() const
{
    if (auto s = std::get_if<QString>(&m_v))
        return *s;
    if (auto i = std::get_if<qint64>(&m_v))
        return QString::number(*i);
    return std::nullopt;
}

std::optional<qint64> PropertyValue::toInteger() const
{
    if (auto i = std::get_if<qint64>(&m_v))
        return *i;
    if (auto c = std::get_if<Colour>(&m_v))
        return qint64(c->ref);
    if (auto s = std::get_if<QString>(&m_v)) {
        bool ok = false;
        const qint64 v = s->trimmed().toLongLong(&ok);
        if (ok)
            return v;
    }
    return std::nullopt;
}

std::optional<bool> PropertyValue::toFlag() const
{
    if (auto b = std::get_if<bool>(&m_v))
        return *b;
    if (auto i = std::get_if<qint64>(&m_v))
        return *i != 0;
    if (auto s = std::get_if<QString>(&m_v)) {
        if (s->compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (s->compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return std::nullopt;
}

std::optional<ColourRef> PropertyValue::toColour() const
{
    if (auto c = std::get_if<Colour>(&m_v))
        return c->ref;
    if (auto i = std::get_if<qint64>(&m_v)) {
        // A colour reference is a 32-bit value; stored signed or unsigned.
        if (*i >= std::numeric_limits<qint32>::min() && *i <= qint64(std::numeric_limits<quint32>::max()))
            return ColourRef(quint32(*i));
    }
    return std::nullopt;
}

std::optional<QFont> PropertyValue::toFont() const
{
    if (auto f = std::get_if<QFont>(&m_v))
        return *f;
    return std::nullopt;
}

std::optional<QByteArray> PropertyValue::toPicture() const
{
    if (auto p = std::get_if<Picture>(&m_v))
        return p->data;
    if (auto b = std::get_if<QByteArray>(&m_v))
        return *b;
    return std::nullopt;
}

std::optional<QByteArray> PropertyValue::toBytes() const
{
    if (auto b = std::get_if<QByteArray>(&m_v))
        return *b;
    if (auto p = std::get_if<Picture>(&m_v))
        return p->data;
    return std::nullopt;
}

bool PropertyValue::operator==(const PropertyValue &o) const { return m_v == o.m_v; }

// ---- PropertyBag ----------------------------------------------------------

// A few keys are found faster by looking at each than through an index.
constexpr qsizetype kIndexedFrom = 16;

qsizetype PropertyBag::indexOf(QStringView key) const
{
    if (!m_index.isEmpty())
        return m_index.value(folded(key), -1);
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        if (QStringView(m_entries[i].key).compare(key, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void PropertyBag::reindex()
{
    m_index.clear();
    if (m_entries.size() < kIndexedFrom)
        return;
    m_index.reserve(m_entries.size());
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        m_index.insert(folded(m_entries[i].key), i);
}

const PropertyValue *PropertyBag::find(QStringView key) const
{
    const qsizetype i = indexOf(key);
    return i < 0 ? nullptr : &m_entries[i].value;
}

void PropertyBag::write(const QString &key, const PropertyValue &value)
{
    const qsizetype i = indexOf(key);
    if (i >= 0) {
        m_entries[i].value = value;
    } else {
        m_entries.append(Entry{key, value});
        if (!m_index.isEmpty())
            m_index.insert(folded(key), m_entries.size() - 1);
        else if (m_entries.size() >= kIndexedFrom)
            reindex();
    }
}

void PropertyBag::remove(QStringView key)
{
    const qsizetype i = indexOf(key);
    if (i < 0)
        return;
    m_entries.removeAt(i);
    if (!m_index.isEmpty())
        reindex();
}

QStringList PropertyBag::keys() const
{
    QStringList out;
    for (const Entry &e : m_entries)
        out << e.key;
    return out;
}

std::optional<QString> PropertyBag::readText(QStringView key, const QString &def) const
{
    const PropertyValue *v = find(key);
    return v ? v->toText() : std::optional<QString>(def);
}

std::optional<qint32> PropertyBag::readInt(QStringView key, qint32 def) const
{
    const PropertyValue *v = find(key);
    if (!v)
        return def;
    const auto i = v->toInteger();
    if (!i || *i < std::numeric_limits<qint32>::min() || *i > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(*i);
}

std::optional<bool> PropertyBag::readFlag(QStringView key, bool def) const
{
    const PropertyValue *v = find(key);
    return v ? v->toFlag() : std::optional<bool>(def);
}

std::optional<ColourRef> PropertyBag::readColour(QStringView key, ColourRef def) const
{
    const PropertyValue *v = find(key);
    return v ? v->toColour() : std::optional<ColourRef>(def);
}

std::optional<QFont> PropertyBag::readFont(QStringView key, const QFont &def) const
{
    const PropertyValue *v = find(key);
    return v ? v->toFont() : std::optional<QFont>(def);
}

std::optional<QByteArray> PropertyBag::readPicture(QStringView key, const QByteArray &def) const
{
    const PropertyValue *v = find(key);
    return v ? v->toPicture() : std::optional<QByteArray>(def);
}

std::optional<QByteArray> PropertyBag::readBytes(QStringView key, const QByteArray &def) const
{
    const PropertyValue *v = find(key);
    return v ? v->toBytes() : std::optional<QByteArray>(def);
}

void PropertyBag::writeOrOmit(const QString &key, const PropertyValue &v, bool omit)
{
    if (omit)
        remove(key);
    else
        write(key, v);
}

void PropertyBag::writeText(const QString &key, const QString &v, const QString &saveDefault)
{
    writeOrOmit(key, PropertyValue::text(v), v == saveDefault);
}

void PropertyBag::writeInt(const QString &key, qint32 v, qint32 saveDefault)
{
    writeOrOmit(key, PropertyValue::integer(v), v == saveDefault);
}

void PropertyBag::writeFlag(const QString &key, bool v, bool saveDefault)
{
    writeOrOmit(key, PropertyValue::flag(v), v == saveDefault);
}

void PropertyBag::writeColour(const QString &key, ColourRef v, ColourRef saveDefault)
{
    writeOrOmit(key, PropertyValue::colour(v), v == saveDefault);
}

void PropertyBag::writeFont(const QString &key, const QFont &v, const QFont &saveDefault)
{
    writeOrOmit(key, PropertyValue::font(v), v == saveDefault);
}

void PropertyBag::writePicture(const QString &key, const QByteArray &v, const QByteArray &saveDefault)
{
    writeOrOmit(key, PropertyValue::picture(v), v == saveDefault);
}

void PropertyBag::writeBytes(const QString &key, const QByteArray &v, const QByteArray &saveDefault)
{
    writeOrOmit(key, PropertyValue::bytes(v), v == saveDefault);
}

// ---- text format ----------------------------------------------------------

namespace {

// Definitions are small resources; a bound keeps a damaged file from asking
// for unreasonable memory through a file reference.
constexpr qint64 kMaxDefinitionBytes = limits::kMaxDefinitionBytes;

QString quoted(const QString &s)
{
    QString out = QStringLiteral("\"");
    for (QChar c : s) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out + QLatin1Char('"');
}

QString formatValue(const PropertyValue &v)
{
    switch (v.type()) {
    case PropertyValue::Type::Text:
        return quoted(*v.toText());
    case PropertyValue::Type::Integer:
        return QString::number(*v.toInteger());
    case PropertyValue::Type::Flag:
        return *v.toFlag() ? QStringLiteral("true") : QStringLiteral("false");
    case PropertyValue::Type::Colour: {
        const ColourRef c = *v.toColour();
        if (isSystemColour(c) && (c & 0x7FFFFF00u) == 0)
            return QStringLiteral("sys(%1)").arg(c & 0xFF);
        if ((c & 0xFF000000u) == 0)
            return QStringLiteral("rgb(%1, %2, %3)").arg(redOf(c)).arg(greenOf(c)).arg(blueOf(c));
        return QStringLiteral("colour(0x%1)").arg(c, 8, 16, QLatin1Char('0'));
    }
    case PropertyValue::Type::Font: {
        const QFont f = *v.toFont();
        QString out = QStringLiteral("font(") + quoted(f.family()) + QStringLiteral(", ")
            + QString::number(f.pointSizeF() > 0 ? f.pointSizeF() : 0.0);
        if (f.bold())
            out += QLatin1String(", bold");
        if (f.italic())
            out += QLatin1String(", italic");
        if (f.underline())
            out += QLatin1String(", underline");
        if (f.strikeOut())
            out += QLatin1String(", strikeout");
        return out + QLatin1Char(')');
    }
    case PropertyValue::Type::Picture:
        return QStringLiteral("picture(%1)")
            .arg(v.toPicture()->isEmpty() ? QString() : QStringLiteral("base64:") + QString::fromLatin1(v.toPicture()->toBase64()));
    case PropertyValue::Type::Bytes:
        return QStringLiteral("bytes(%1)")
            .arg(v.toBytes()->isEmpty() ? QString() : QStringLiteral("base64:") + QString::fromLatin1(v.toBytes()->toBase64()));
    }
    return {};
}

// Reads one value from a line; every read is checked against the line's end.
class ValueReader {
public:
    explicit ValueReader(QStringView s) : m_s(s) {}

    std::optional<PropertyValue> read(QString *why)
    {
        skipSpace();
        std::optional<PropertyValue> v = readValue(why);
        skipSpace();
        if (v && m_i != m_s.size()) {
            *why = QStringLiteral("unexpected text after the value");
            return std::nullopt;
        }
        return v;
    }

private:
    bool atEnd() const { return m_i >= m_s.size(); }
    QChar peek() const { return atEnd() ? QChar() : m_s[m_i]; }
    void skipSpace()
    {
        while (!atEnd() && m_s[m_i].isSpace())
            ++m_i;
    }
    bool take(QChar c)
    {
        skipSpace();
        if (peek() != c)
            return false;
        ++m_i;
        return true;
    }
    QStringView word()
    {
        skipSpace();
        const qsizetype start = m_i;
        while (!atEnd() && (m_s[m_i].isLetterOrNumber() || m_s[m_i] == QLatin1Char('_')))
            ++m_i;
        return m_s.sliced(start, m_i - start);
    }

    std::optional<QString> readQuoted(QString *why)
    {
        if (!take(QLatin1Char('"'))) {
            *why = QStringLiteral("a quoted text was expected");
            return std::nullopt;
        }
        QString out;
        while (!atEnd()) {
            const QChar c = m_s[m_i++];
            if (c == QLatin1Char('"'))
                return out;
            if (c != QLatin1Char('\\')) {
                out += c;
                continue;
            }
            if (atEnd())
                break;
            const QChar e = m_s[m_i++];
            switch (e.unicode()) {
            case 'n': out += QLatin1Char('\n'); break;
            case 't': out += QLatin1Char('\t'); break;
            case '"': out += QLatin1Char('"'); break;
            case '\\': out += QLatin1Char('\\'); break;
            case 'u': {
                if (m_s.size() - m_i < 4) {
                    *why = QStringLiteral("short \\u escape");
                    return std::nullopt;
                }
                bool ok = false;
                const uint code = m_s.sliced(m_i, 4).toUInt(&ok, 16);
                if (!ok) {
                    *why = QStringLiteral("bad \\u escape");
                    return std::nullopt;
                }
                out += QChar(char16_t(code));
                m_i += 4;
                break;
            }
            default:
                *why = QStringLiteral("unknown escape \\%1").arg(e);
                return std::nullopt;
            }
        }
        *why = QStringLiteral("unterminated text");
        return std::nullopt;
    }

    // A signed decimal or 0x hexadecimal number up to the next separator.
    std::optional<qint64> readNumber(QString *why)
    {
        skipSpace();
        const qsizetype start = m_i;
        while (!atEnd() && (m_s[m_i].isLetterOrNumber() || m_s[m_i] == QLatin1Char('-') || m_s[m_i] == QLatin1Char('+')))
            ++m_i;
        QStringView t = m_s.sliced(start, m_i - start);
        bool neg = false;
        if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
            neg = t.startsWith(QLatin1Char('-'));
            t = t.sliced(1);
        }
        bool ok = false;
        qint64 v = 0;
        if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
            const quint64 u = t.sliced(2).toULongLong(&ok, 16);
            ok = ok && u <= quint64(std::numeric_limits<qint64>::max());
            v = qint64(u);
        } else if (!t.isEmpty() && t[0].isDigit()) {
            v = t.toLongLong(&ok, 10);
        }
        if (!ok) {
            *why = QStringLiteral("a number was expected");
            return std::nullopt;
        }
        return neg ? -v : v;
    }

    std::optional<double> readReal(QString *why)
    {
        skipSpace();
        const qsizetype start = m_i;
        while (!atEnd() && (m_s[m_i].isDigit() || m_s[m_i] == QLatin1Char('.')))
            ++m_i;
        bool ok = false;
        const double v = m_s.sliced(start, m_i - start).toDouble(&ok);
        if (!ok || v < 0 || v > 1000) {
            *why = QStringLiteral("a font size from 0 to 1000 was expected");
            return std::nullopt;
        }
        return v;
    }

    std::optional<int> readByte(QString *why)
    {
        const auto n = readNumber(why);
        if (!n)
            return std::nullopt;
        if (*n < 0 || *n > 255) {
            *why = QStringLiteral("a value from 0 to 255 was expected");
            return std::nullopt;
        }
        return int(*n);
    }

    bool close(QString *why)
    {
        if (take(QLatin1Char(')')))
            return true;
        *why = QStringLiteral("')' was expected");
        return false;
    }

    std::optional<QByteArray> readData(QString *why)
    {
        skipSpace();
        if (peek() == QLatin1Char(')'))
            return QByteArray();
        const qsizetype close = m_s.indexOf(QLatin1Char(')'), m_i);
        if (close < 0) {
            *why = QStringLiteral("')' was expected");
            return std::nullopt;
        }
        const QStringView body = m_s.sliced(m_i, close - m_i).trimmed();
        m_i = close;
        if (body.startsWith(QLatin1String("base64:"))) {
            const QByteArray b64 = body.sliced(7).toLatin1();
            auto r = QByteArray::fromBase64Encoding(b64, QByteArray::AbortOnBase64DecodingErrors);
            if (!r) {
                *why = QStringLiteral("bad base64 data");
                return std::nullopt;
            }
            return r.decoded;
        }
        if (body.startsWith(QLatin1String("file:")))
            return WindowDefinition::readFile(body.sliced(5).toString(), why);
        *why = QStringLiteral("data must start with base64: or file:");
        return std::nullopt;
    }

    std::optional<PropertyValue> readValue(QString *why)
    {
        if (peek() == QLatin1Char('"')) {
            auto s = readQuoted(why);
            return s ? std::optional(PropertyValue::text(*s)) : std::nullopt;
        }
        if (peek().isDigit() || peek() == QLatin1Char('-') || peek() == QLatin1Char('+')) {
            auto n = readNumber(why);
            return n ? std::optional(PropertyValue::integer(*n)) : std::nullopt;
        }
        const QString w = word().toString().toLower();
        if (w == QLatin1String("true") || w == QLatin1String("false"))
            return PropertyValue::flag(w == QLatin1String("true"));
        if (!take(QLatin1Char('('))) {
            *why = QStringLiteral("unknown value");
            return std::nullopt;
        }
        if (w == QLatin1String("rgb")) {
            auto r = readByte(why);
            if (!r || !take(QLatin1Char(',')))
                return fail(why, QStringLiteral("rgb(r, g, b) expected"));
            auto g = readByte(why);
            if (!g || !take(QLatin1Char(',')))
                return fail(why, QStringLiteral("rgb(r, g, b) expected"));
            auto b = readByte(why);
            if (!b || !close(why))
                return fail(why, QStringLiteral("rgb(r, g, b) expected"));
            return PropertyValue::colour(rgbRef(*r, *g, *b));
        }
        if (w == QLatin1String("sys")) {
            auto i = readByte(why);
            if (!i || !close(why))
                return std::nullopt;
            return PropertyValue::colour(systemColourRef(*i));
        }
        if (w == QLatin1String("colour") || w == QLatin1String("color")) {
            auto n = readNumber(why);
            if (!n || !close(why))
                return std::nullopt;
            if (*n < 0 || *n > qint64(std::numeric_limits<quint32>::max()))
                return fail(why, QStringLiteral("a 32-bit colour was expected"));
            return PropertyValue::colour(ColourRef(*n));
        }
        if (w == QLatin1String("font")) {
            auto family = readQuoted(why);
            if (!family || !take(QLatin1Char(',')))
                return fail(why, QStringLiteral("font(\"family\", size) expected"));
            auto size = readReal(why);
            if (!size)
                return std::nullopt;
            QFont f = makeFont(*family, *size);
            while (take(QLatin1Char(','))) {
                const QStringView style = word();
                if (style.compare(QLatin1String("bold"), Qt::CaseInsensitive) == 0)
                    f.setBold(true);
                else if (style.compare(QLatin1String("italic"), Qt::CaseInsensitive) == 0)
                    f.setItalic(true);
                else if (style.compare(QLatin1String("underline"), Qt::CaseInsensitive) == 0)
                    f.setUnderline(true);
                else if (style.compare(QLatin1String("strikeout"), Qt::CaseInsensitive) == 0)
                    f.setStrikeOut(true);
                else
                    return fail(why, QStringLiteral("unknown font style"));
            }
            if (!close(why))
                return std::nullopt;
            return PropertyValue::font(f);
        }
        if (w == QLatin1String("picture") || w == QLatin1String("bytes")) {
            auto data = readData(why);
            if (!data || !close(why))
                return std::nullopt;
            return w == QLatin1String("picture") ? PropertyValue::picture(*data) : PropertyValue::bytes(*data);
        }
        *why = QStringLiteral("unknown value kind %1").arg(w);
        return std::nullopt;
    }

    static std::optional<PropertyValue> fail(QString *why, const QString &text)
    {
        if (why->isEmpty())
            *why = text;
        return std::nullopt;
    }

    QStringView m_s;
    qsizetype m_i = 0;
};

} // namespace

bool PropertyBag::sameProperties(const PropertyBag &o) const
{
    if (size() != o.size())
        return false;
    for (const Entry &e : m_entries) {
        const PropertyValue *v = o.find(e.key);
        if (!v || !(*v == e.value))
            return false;
    }
    return true;
}

QString PropertyBag::toText() const
{
    QString out;
    for (const Entry &e : m_entries)
        out += e.key + QStringLiteral(" = ") + formatValue(e.value) + QLatin1Char('\n');
    return out;
}

std::optional<WindowDefinition> WindowDefinition::parse(QStringView text, QString *error)
{
    WindowDefinition def;
    PropertyBag *current = nullptr;
    qsizetype lineNo = 0;
    for (QStringView line : text.split(QLatin1Char('\n'))) {
        ++lineNo;
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        auto failAt = [&](const QString &why) -> std::optional<WindowDefinition> {
            if (error)
                *error = QStringLiteral("line %1: %2").arg(lineNo).arg(why);
            return std::nullopt;
        };
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')) || line.size() < 3)
                return failAt(QStringLiteral("bad section header"));
            const QString name = line.sliced(1, line.size() - 2).trimmed().toString();
            if (std::as_const(def).properties(QStringView(name)))
                return failAt(QStringLiteral("section %1 repeated").arg(name));
            current = &def.properties(name);
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return failAt(QStringLiteral("\"key = value\" expected"));
        const QString key = line.first(eq).trimmed().toString();
        QString why;
        const auto value = ValueReader(line.sliced(eq + 1)).read(&why);
        if (!value)
            return failAt(why);
        if (!current)
            current = &def.properties(QString());
        current->write(key, *value);
    }
    return def;
}

std::optional<WindowDefinition> WindowDefinition::load(const QString &path, QString *error)
{
    const auto bytes = readFile(path, error);
    if (!bytes)
        return std::nullopt;
    return parse(QString::fromUtf8(*bytes), error);
}

std::optional<QByteArray> WindowDefinition::readFile(const QString &path, QString *error)
{
    const auto fail = [&](const QString &why) -> std::optional<QByteArray> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const auto tooLarge = [&] {
        return fail(QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(kMaxDefinitionBytes));
    };
    if (path.startsWith(QLatin1Char(':'))) {
        // Compiled into the program, so neither a device nor endless.
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1").arg(path));
        QByteArray data = f.read(kMaxDefinitionBytes + 1);
        if (data.size() > kMaxDefinitionBytes)
            return tooLarge();
        return data;
    }
    // Opened without waiting, so that a pipe with no writer does not block
    // the open itself, then judged by what was opened (not by the name,
    // which could be swapped in between).
    int fd;
    do {
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(QStringLiteral("cannot read %1 (%2)").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return fail(QStringLiteral("cannot read %1 (%2)").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    if (!S_ISREG(st.st_mode))
        return fail(QStringLiteral("%1 is not a regular file").arg(path));
    if (st.st_size > kMaxDefinitionBytes)
        return tooLarge();
    // Read up to one byte past the bound: the file may have grown since.
    QByteArray data(qsizetype(st.st_size) + 1, Qt::Uninitialized);
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::read(fd, data.data() + done, std::size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(QStringLiteral("cannot read %1 (%2)").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        if (n == 0)
            break;
        done += n;
        if (done == data.size() && done <= kMaxDefinitionBytes)
            data.resize(std::min<qsizetype>(kMaxDefinitionBytes + 1, data.size() * 2));
    }
    if (done > kMaxDefinitionBytes)
        return tooLarge();
    data.resize(done);
    return data;
}

std::optional<QString> WindowDefinition::replaceSection(QStringView text, const QString &name,
                                                       const PropertyBag &properties, QString *error)
{
    if (!parse(text, error))
        return std::nullopt;
    const QList<QStringView> lines = text.split(QLatin1Char('\n'));
    const auto keyLine = [&](const QString &key) {
        return key + QStringLiteral(" = ") + formatValue(*properties.find(key));
    };
    QStringList out;
    QSet<QString> written;       // keys of the section already placed (case-folded)
    bool inside = name.isEmpty(); // keys before any header form the unnamed section
    bool found = inside;
    qsizetype lastKeyLine = -1;   // where new keys go: after the section's last key
    auto flushNewKeys = [&]() {
        if (!inside)
            return;
        QStringList added;
        for (const QString &key : properties.keys())
            if (!written.contains(folded(key)))
                added << keyLine(key);
        if (added.isEmpty())
            return;
        // Spliced in at once: inserting line by line would move the rest of
        // the text once per key.
        const qsizetype at = lastKeyLine >= 0 ? lastKeyLine + 1 : out.size();
        QStringList tail = out.mid(at);
        out.resize(at);
        out << added << tail;
    };
    for (QStringView raw : lines) {
        const QStringView line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            const QStringView section = line.sliced(1, line.size() - 2).trimmed();
            const bool next = section.compare(name, Qt::CaseInsensitive) == 0;
            // A header with an empty name continues the unnamed section that
            // the text's first lines began (the reader allows it only while
            // that section has no keys).
            if (!(inside && next))
                flushNewKeys();
            inside = next;
            found = found || inside;
            out << raw.toString();
            lastKeyLine = inside ? out.size() - 1 : -1;
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inside || line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';'))
            || eq <= 0) {
            out << raw.toString();
            continue;
        }
        const QString key = line.first(eq).trimmed().toString();
        const PropertyValue *now = properties.find(key);
        if (!now || written.contains(folded(key)))
            continue; // removed, or a repeat of a key already placed
        QString why;
        const auto before = ValueReader(line.sliced(eq + 1)).read(&why);
        out << (before && *before == *now ? raw.toString() : keyLine(key));
        written.insert(folded(key));
        lastKeyLine = out.size() - 1;
    }
    flushNewKeys();
    QString result = out.join(QLatin1Char('\n'));
    if (!found && !properties.isEmpty()) {
        if (!result.isEmpty() && !result.endsWith(QLatin1Char('\n')))
            result += QLatin1Char('\n');
        result += QStringLiteral("\n[") + name + QStringLiteral("]\n") + properties.toText();
    }
    return result;
}

const PropertyBag *WindowDefinition::properties(QStringView name) const
{
    const qsizetype i = m_index.value(folded(name), -1);
    return i < 0 ? nullptr : &m_controls[i].properties;
}

PropertyBag &WindowDefinition::properties(const QString &name)
{
    const QString key = folded(name);
    const qsizetype i = m_index.value(key, -1);
    if (i >= 0)
        return m_controls[i].properties;
    m_index.insert(key, m_controls.size());
    m_controls.append(ControlDefinition{name, {}});
    return m_controls.last().properties;
}

QString WindowDefinition::toText() const
{
    QString out;
    for (const ControlDefinition &c : m_controls) {
        if (!c.name.isEmpty() || &c != &m_controls.first())
            out += QLatin1Char('[') + c.name + QStringLiteral("]\n");
        out += c.properties.toText() + QLatin1Char('\n');
    }
    return out;
}

} // namespace controls
