// The window definition reader on any text; what it reads is written out and
// read again. One section is then rewritten in place with another section's
// properties: the result must read back with exactly those properties there
// and every other section as before.
#include "fuzz_app.h"

#include "controls/propertybag.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzzsupport::startApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const auto def = controls::WindowDefinition::parse(text, &error);
    if (!def)
        return 0;
    for (const controls::ControlDefinition &c : def->controls()) {
        const controls::PropertyBag &bag = c.properties;
        for (const QString &key : bag.keys()) {
            bag.readText(key, {});
            bag.readInt(key, 0);
            bag.readFlag(key, false);
            bag.readColour(key, 0);
            bag.readFont(key, QFont());
            bag.readBytes(key);
        }
    }
    const QString written = def->toText();
    controls::WindowDefinition::parse(written, &error);

    if (def->controls().isEmpty())
        return 0;
    const controls::ControlDefinition &target = def->controls().first();
    const controls::PropertyBag &replacement = def->controls().last().properties;
    const auto rewritten = controls::WindowDefinition::replaceSection(text, target.name, replacement, &error);
    if (!rewritten)
        std::abort(); // the text parsed above
    const auto again = controls::WindowDefinition::parse(*rewritten, &error);
    if (!again)
        std::abort();
    static const controls::PropertyBag none; // keys before any header and now no keys: no section
    for (const controls::ControlDefinition &c : def->controls()) {
        const bool isTarget = c.name.compare(target.name, Qt::CaseInsensitive) == 0;
        const controls::PropertyBag *now = again->properties(QStringView(c.name));
        if (!now && c.name.isEmpty())
            now = &none;
        // Fonts may not survive the text form exactly; those bags are skipped.
        bool fonts = false;
        for (const QString &key : (isTarget ? replacement : c.properties).keys())
            fonts = fonts || (isTarget ? replacement : c.properties).find(key)->type()
                                 == controls::PropertyValue::Type::Font;
        if (!fonts && (!now || !now->sameProperties(isTarget ? replacement : c.properties)))
            std::abort();
    }
    return 0;
}
