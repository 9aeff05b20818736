// The icon entry that the image source page chose is stored with the image and
// picks the same entry when the properties are read again.
#include "controls/alphaimage.h"

#include <QFile>
#include <gtest/gtest.h>

using controls::aicAlphaImage;
using controls::PropertyBag;
using controls::PropertyValue;

namespace {
QByteArray noteIcon()
{
    QFile f(QStringLiteral(SORIMBA_SOURCE_DIR "/resources/pictures/note.ico"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

TEST(AlphaImageIconEntry, StoredEntryIsReadBackAndDamagedOnesFallBackToTheSize)
{
    const struct {
        int cx, cy, bits; // stored keys (0: absent)
        int width, type;  // the entry decoded in a 48 x 48 control (32-bit entries are PNG)
    } cases[] = {
        {16, 16, 8, 16, imaging::Icon},
        {24, 24, 32, 24, imaging::AlphaIcon},
        {0, 0, 0, 48, imaging::PngIcon},     // none stored: by the control's size
        {999, 16, 8, 48, imaging::PngIcon},  // damaged: by size
        {16, 16, 64, 48, imaging::PngIcon},
    };
    for (const auto &c : cases) {
        PropertyBag bag;
        bag.write("Image", PropertyValue::bytes(noteIcon()));
        if (c.cx) {
            bag.write("IconWidth", PropertyValue::integer(c.cx));
            bag.write("IconHeight", PropertyValue::integer(c.cy));
            bag.write("IconDepth", PropertyValue::integer(c.bits));
        }
        aicAlphaImage control;
        control.setAutoSize(false);
        control.resize(48, 48);
        control.ReadProperties(bag);
        EXPECT_EQ(control.GetSourceSurface().Width(), c.width) << c.cx << " " << c.bits;
        EXPECT_EQ(control.GetSourceSurface().ImageType(), c.type) << c.cx << " " << c.bits;
    }
}

TEST(AlphaImageIconEntry, OnlyAnEntryChosenForTheseBytesIsWritten)
{
    const QByteArray ico = noteIcon();
    aicAlphaImage control(nullptr, false);
    imaging::ByteArray bytes(std::span(reinterpret_cast<const std::uint8_t *>(ico.constData()), std::size_t(ico.size())));
    ASSERT_TRUE(control.LoadSourceBytes(bytes, 32, 32, 8));
    PropertyBag bag;
    control.WriteProperties(bag);
    EXPECT_EQ(bag.readInt(u"IconWidth", 0), std::optional<qint32>(32));
    EXPECT_EQ(bag.readInt(u"IconDepth", 0), std::optional<qint32>(8));

    // Any other load replaces the image and forgets the entry.
    imaging::ByteArray again(std::span(reinterpret_cast<const std::uint8_t *>(ico.constData()), std::size_t(ico.size())));
    ASSERT_TRUE(control.LoadImage_FromArray(again, 16, 16, 32));
    control.WriteProperties(bag);
    EXPECT_FALSE(bag.contains(u"IconWidth"));
    EXPECT_FALSE(bag.contains(u"IconDepth"));
}
