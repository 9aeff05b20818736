#include "definitiondocument.h"

#include "keptbytes.h"

#include <QFile>
#include <QSaveFile>

namespace skineditor {

namespace {

// The keys the alpha image control reads and writes.
const QStringList &alphaImageKeys()
{
    static const QStringList keys = {
        "Image", "Scaler", "Opacity", "Mirror", "Angle", "Enabled", "MPointer", "OLEdrop", "MIcon",
        "GrayScale", "HitTest", "Props", "MaskUsed", "MaskColor", "MaskSource", "Mask", "ShadowColor",
        "ShadowDepth", "ShadowX", "ShadowY", "ShadowOpacity", "ScaleCx", "ScaleCy", "IconWidth",
        "IconHeight", "IconDepth",
    };
    return keys;
}

// A byte order mark the file starts with: kept apart, as the reader does not
// take it for text.
QByteArrayView byteOrderMark(const QByteArray &bytes)
{
    static constexpr char kMark[] = "\xEF\xBB\xBF";
    return bytes.startsWith(kMark) ? QByteArrayView(kMark, 3) : QByteArrayView();
}

// Where the named section lies in the file: from its header line (the start,
// for the keys before any header) to the next header of another section. An
// absent section is the empty range at the end, where it will be added.
std::pair<qsizetype, qsizetype> sectionBytes(const QByteArray &bytes, const QString &name)
{
    const qsizetype start = byteOrderMark(bytes).size();
    qsizetype first = name.isEmpty() ? start : -1, last = -1;
    bool inside = name.isEmpty();
    for (qsizetype pos = start; pos <= bytes.size();) {
        qsizetype end = bytes.indexOf('\n', pos);
        const bool final = end < 0;
        if (final)
            end = bytes.size();
        const QString line = decodeKeepingBytes(QByteArrayView(bytes).sliced(pos, end - pos)).trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')) && line.size() >= 2) {
            const bool named = QStringView(line).sliced(1, line.size() - 2).trimmed().compare(name, Qt::CaseInsensitive) == 0;
            if (inside && !named)
                last = pos;
            else if (!inside && named && first < 0)
                first = pos;
            if (named)
                last = -1;
            inside = named;
        }
        if (final)
            break;
        pos = end + 1;
    }
    if (first < 0)
        return {bytes.size(), bytes.size()};
    return {first, last < 0 ? bytes.size() : last};
}

} // namespace

std::optional<DefinitionDocument> DefinitionDocument::open(const QString &path, QString *error)
{
    const auto bytes = controls::WindowDefinition::readFile(path, error);
    if (!bytes)
        return std::nullopt;
    DefinitionDocument doc;
    doc.m_path = path;
    doc.m_bytes = *bytes;
    doc.m_text = decodeKeepingBytes(QByteArrayView(doc.m_bytes).sliced(byteOrderMark(doc.m_bytes).size()));
    auto parsed = controls::WindowDefinition::parse(doc.m_text, error);
    if (!parsed)
        return std::nullopt;
    doc.m_definition = std::move(*parsed);
    return doc;
}

bool DefinitionDocument::isAlphaImageSection(const controls::ControlDefinition &section)
{
    const bool named = section.name.startsWith(QLatin1String("aic"), Qt::CaseInsensitive);
    if (!named && !section.properties.contains(u"Image"))
        return false;
    for (const QString &key : section.properties.keys())
        if (!alphaImageKeys().contains(key, Qt::CaseInsensitive))
            return false;
    return !section.name.isEmpty();
}

QStringList DefinitionDocument::alphaImageControls() const
{
    QStringList names;
    for (const controls::ControlDefinition &c : m_definition.controls())
        if (isAlphaImageSection(c))
            names << c.name;
    return names;
}

bool DefinitionDocument::save(const QString &control, const controls::PropertyBag &properties, QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    // Whatever else is in the file must stay byte for byte, so the file must
    // still be the one that was read.
    QString why;
    const auto onDisk = controls::WindowDefinition::readFile(m_path, &why);
    if (!onDisk)
        return fail(why);
    if (*onDisk != m_bytes)
        return fail(QStringLiteral("파일이 열린 뒤에 다른 곳에서 바뀌었습니다. 다시 열어 주십시오"));
    const auto text = controls::WindowDefinition::replaceSection(m_text, control, properties, &why);
    // Read back what would be written: the other sections unchanged, this one
    // exactly the new properties.
    auto check = text ? controls::WindowDefinition::parse(*text, &why) : std::nullopt;
    bool same = check.has_value();
    for (qsizetype i = 0; same && i < m_definition.controls().size(); ++i) {
        const controls::ControlDefinition &c = m_definition.controls()[i];
        static const controls::PropertyBag none; // an unnamed section exists only with keys
        const controls::PropertyBag *now = std::as_const(*check).properties(QStringView(c.name));
        if (!now && c.name.isEmpty())
            now = &none;
        same = now && now->sameProperties(c.name.compare(control, Qt::CaseInsensitive) == 0 ? properties : c.properties);
    }
    if (!same)
        return fail(why.isEmpty() ? QStringLiteral("the new text does not read back as written") : why);
    // Every byte outside the changed section as it was, whatever its encoding.
    std::optional<QByteArray> bytes = encodeKeepingBytes(*text);
    if (bytes)
        bytes->prepend(byteOrderMark(m_bytes));
    const auto [first, last] = sectionBytes(m_bytes, control);
    const QByteArrayView before = QByteArrayView(m_bytes).first(first), after = QByteArrayView(m_bytes).sliced(last);
    if (!bytes || bytes->size() < before.size() + after.size() || !bytes->startsWith(before) || !bytes->endsWith(after))
        return fail(QStringLiteral("섹션 %1 밖의 내용을 원래 바이트 그대로 둘 수 없어 쓰지 않았습니다").arg(control));
    QSaveFile f(m_path);
    // Unbuffered, so a short write is seen here: a buffered one only fails at
    // commit's flush, which can then still rename a truncated file into place.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || f.write(*bytes) != bytes->size() || !f.commit())
        return fail(f.errorString()); // QSaveFile leaves the old file untouched until commit
    m_bytes = *bytes;
    m_text = *text;
    m_definition = std::move(*check);
    return true;
}

} // namespace skineditor
