// The three older skin controls keep their stored properties the same way:
// what one control writes, a new control reads back to the same stored form,
// and a key whose value has the wrong type is skipped while every other key
// still loads.
#include "controls/candybutton.h"
#include "controls/caption.h"
#include "controls/progressbar.h"

#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

using namespace controls;

namespace {

struct StoredControl {
    const char *name;
    // Properties to load; one key of the wrong type, one good key after it.
    const char *definition;
    std::function<PropertyBag(QWidget *, const PropertyBag &)> loadAndWrite;
    const char *unreadableKey;
    const char *goodKey;
};

PropertyBag parsed(const char *text)
{
    const auto def = WindowDefinition::parse(QString::fromUtf8(text));
    EXPECT_TRUE(def);
    return def ? *def->properties(u"c") : PropertyBag();
}

TEST(StoredProperties, WrittenPropertiesReadBackAndBadKeysAreSkipped)
{
    const StoredControl controls[] = {
        {"candy button",
         "[c]\nCaption = \"검 색\"\nStyle = \"three\"\nColorButtonHover = colour(0x404040)\nCaptionHighLite = true\n",
         [](QWidget *host, const PropertyBag &bag) {
             CandyButton b(host);
             b.ReadProperties(bag);
             PropertyBag out;
             b.WriteProperties(out);
             return out;
         },
         "Style", "ColorButtonHover"},
        {"caption label",
         "[c]\nCaption = \"로딩중...\"\nCaptionINColor = \"white\"\nCaptionAligmend = 2\nCaptionOutlined = false\n",
         [](QWidget *host, const PropertyBag &bag) {
             Caption c(QStringLiteral("c"), bag, host);
             PropertyBag out;
             c.writeProperties(out);
             return out;
         },
         "CaptionINColor", "CaptionAligmend"},
        {"progress bar",
         "[c]\nMax = 400\nRoundedValue = true\nValue = 120\nTextEffectColor = rgb(255, 255, 255)\n",
         [](QWidget *host, const PropertyBag &bag) {
             ProgressBar p(QStringLiteral("c"), bag, host);
             PropertyBag out;
             p.writeProperties(out);
             return out;
         },
         "RoundedValue", "Value"},
    };
    QWidget host;
    for (const StoredControl &c : controls) {
        SCOPED_TRACE(c.name);
        const PropertyBag loaded = parsed(c.definition);
        const PropertyBag written = c.loadAndWrite(&host, loaded);
        // The bad key fell back to the value a new control has, which is
        // the default and so not written; the good key after it loaded.
        EXPECT_FALSE(written.keys().contains(QString::fromUtf8(c.unreadableKey)));
        ASSERT_TRUE(written.keys().contains(QString::fromUtf8(c.goodKey))) << written.keys().join(',').toStdString();
        EXPECT_EQ(written.toText(), c.loadAndWrite(&host, written).toText());
    }
}

} // namespace
