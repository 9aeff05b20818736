// The window definition reader on any text; what it reads is written out and
// read again.
#include "fuzz_app.h"

#include "controls/propertybag.h"

#include <QString>

#include <cstdint>

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
    return 0;
}
