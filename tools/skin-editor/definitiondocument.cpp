#include "definitiondocument.h"

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

} // namespace

std::optional<DefinitionDocument> DefinitionDocument::open(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString();
        return std::nullopt;
    }
    DefinitionDocument doc;
    doc.m_path = path;
    doc.m_text = QString::fromUtf8(f.readAll());
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
    QString why;
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
    if (!same) {
        if (error)
            *error = why.isEmpty() ? QStringLiteral("the new text does not read back as written") : why;
        return false;
    }
    QSaveFile f(m_path);
    const QByteArray bytes = text->toUtf8();
    // Unbuffered, so a short write is seen here: a buffered one only fails at
    // commit's flush, which can then still rename a truncated file into place.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || f.write(bytes) != bytes.size() || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false; // QSaveFile leaves the old file untouched until commit
    }
    m_text = *text;
    m_definition = std::move(*check);
    return true;
}

} // namespace skineditor
