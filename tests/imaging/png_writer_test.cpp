// The PNG encoder: the colour form chosen from the pixels, the row filters,
// the chunks and their order, the property store, and saving to files.
#include "png_writer_fixture.h"

#include "imaging/png/png_writer.h"
#include "platform/dialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

using namespace pngwritetest;
using imaging::c32bppDIB;
using imaging::cPNGwriter;

namespace {

constexpr Bgra kClear{0, 0, 0, 0};

Bgra grey(int v) { return {std::uint8_t(v), std::uint8_t(v), std::uint8_t(v), 255}; }

Bytes hex(const char *h) { const QByteArray b = QByteArray::fromHex(h); return Bytes(b.begin(), b.end()); }

// `count` opaque pixels whose blue byte runs through all 256 values and whose
// green byte is 0 or 1; then `clear` transparent ones.
std::vector<Bgra> manyColours(int count, int clear)
{
    std::vector<Bgra> px;
    for (int i = 0; i < count; ++i)
        px.push_back({std::uint8_t(i), std::uint8_t(i / 256), std::uint8_t(i * 7), 255});
    px.insert(px.end(), std::size_t(clear), kClear);
    return px;
}

// Decodes with the engine and compares with the source surface; colour bytes
// of partly transparent pixels may differ by the truncation of dividing by the
// alpha and multiplying again (at most 1).
void expectSamePixels(const Bytes &png, const c32bppDIB &source, const std::string &what)
{
    c32bppDIB back;
    ASSERT_TRUE(pngtest::loadPng(png, back)) << what;
    ASSERT_NE(back.Handle(), 0u) << what;
    ASSERT_EQ(back.Width(), source.Width());
    ASSERT_EQ(back.Height(), source.Height());
    const std::size_t n = std::size_t(source.Width()) * std::size_t(source.Height()) * 4;
    for (std::size_t i = 0; i < n; i += 4) {
        const std::uint8_t *s = source.BitsPointer() + i, *d = back.BitsPointer() + i;
        const int a = source.Alpha() ? s[3] : 255;
        ASSERT_EQ(d[3], a) << what << " pixel " << i / 4;
        for (int c = 0; c < 3; ++c) {
            const int want = a == 0 ? 0 : s[c];
            ASSERT_LE(std::abs(d[c] - want), a == 255 || a == 0 ? 0 : 1) << what << " pixel " << i / 4 << " byte " << c;
        }
    }
}

} // namespace

TEST(PngWriter, ColourFormFollowsThePixels)
{
    struct Case {
        const char *name;
        int w, h;
        std::vector<Bgra> pixels;
        bool alpha;
        int colourType;
        const char *plte;   // hex; nullptr: no PLTE
        const char *trns;   // hex; nullptr: no tRNS
        const char *data;   // hex of the inflated rows; nullptr: not checked
    };
    const std::vector<Case> cases = {
        // The alpha byte counts as 255 when the surface has no alpha.
        {"one red pixel", 1, 1, {{0, 0, 255, 7}}, false, 3, "ff0000", nullptr, "0000"},
        {"black and white", 3, 2, {grey(0), grey(255), grey(0), grey(255), grey(255), grey(0)}, false, 0, nullptr,
         nullptr, "0000ff00" "00ffff00"},
        {"grey, opaque, with alpha: a free level still marked", 2, 1, {grey(0), grey(255)}, true, 0, nullptr, "0001",
         "0000ff"},
        {"grey with transparent pixels: lowest free level", 4, 1, {grey(0), grey(1), kClear, grey(3)}, true, 0,
         nullptr, "0002", "0000010203"},
        // Signed order: half green (alpha 128) first, then blue, then red; the
        // opaque entries follow in reverse.
        {"one half-transparent entry", 3, 1, {{0, 0, 255, 255}, {255, 0, 0, 255}, {0, 64, 0, 128}}, true, 3,
         "007f00" "ff0000" "0000ff", "80", "00010200"},
        {"palette without transparency keeps the sorted order", 3, 1,
         {{0, 0, 255, 255}, {255, 0, 0, 255}, {0, 255, 0, 255}}, false, 3, "0000ff" "00ff00" "ff0000", nullptr,
         "00020001"},
        {"256 opaque greys leave no free level", 16, 16, {}, true, 0, nullptr, nullptr, nullptr},
        {"many colours, opaque and clear: key colour", 20, 15, manyColours(280, 20), true, 2, nullptr,
         "000200020002", nullptr},
        {"many colours without alpha", 20, 15, manyColours(300, 0), false, 2, nullptr, nullptr, nullptr},
        {"all channel values used: alpha channel", 257, 1, {}, true, 6, nullptr, nullptr, nullptr},
    };
    for (Case c : cases) {
        if (c.pixels.empty() && c.colourType == 0)
            for (int i = 0; i < 256; ++i)
                c.pixels.push_back(grey(i));
        if (c.pixels.empty() && c.colourType == 6) {
            for (int i = 0; i < 256; ++i)
                c.pixels.push_back(grey(i));
            c.pixels.push_back(kClear);
        }
        c32bppDIB dib;
        ASSERT_TRUE(makeSurface(dib, c.w, c.h, c.pixels, c.alpha)) << c.name;
        const Bytes png = encode(dib);
        const auto chunks = chunksOf(png);
        ASSERT_FALSE(chunks.empty()) << c.name;
        EXPECT_EQ(chunks[0].data[9], c.colourType) << c.name;
        const Chunk *plte = findChunk(chunks, "PLTE"), *trns = findChunk(chunks, "tRNS");
        EXPECT_EQ(plte != nullptr, c.plte != nullptr) << c.name;
        if (plte && c.plte) {
            EXPECT_EQ(plte->data, hex(c.plte)) << c.name;
        }
        EXPECT_EQ(trns != nullptr, c.trns != nullptr) << c.name;
        if (trns && c.trns) {
            EXPECT_EQ(trns->data, hex(c.trns)) << c.name;
        }
        if (c.data) {
            EXPECT_EQ(imageData(chunks, 64), hex(c.data)) << c.name;
        }
        expectSamePixels(png, dib, c.name);
    }
}

TEST(PngWriter, TransparencyNeedingAlphaGivesUnpremultipliedColourType6)
{
    // One partly transparent pixel, and one fully transparent pixel that still
    // carries colour (malformed, but kept as an alpha-channel image).
    for (Bgra odd : {Bgra{10, 20, 30, 128}, Bgra{5, 0, 0, 0}}) {
        std::vector<Bgra> px = manyColours(299, 0);
        px.push_back(odd);
        c32bppDIB dib;
        ASSERT_TRUE(makeSurface(dib, 20, 15, px, true));
        const auto chunks = chunksOf(encode(dib));
        ASSERT_FALSE(chunks.empty());
        EXPECT_EQ(chunks[0].data[9], 6);
        EXPECT_EQ(findChunk(chunks, "tRNS"), nullptr);
        const Bytes rows = imageData(chunks, 15 * 81);
        ASSERT_EQ(rows.size(), 15u * 81);
        // The last pixel, bottom row: Paeth-filtered, so undo it through the
        // engine's decoder instead and look at the straight colour there.
        c32bppDIB back;
        ASSERT_TRUE(pngtest::loadPng(encode(dib), back));
        const pngtest::Pixel p = pngtest::pixelAt(back, 19, 14);
        const pngtest::Pixel want = odd.a == 128 ? pngtest::Pixel{9, 19, 29, 128}   // 19, 39, 59 straight, premultiplied again
                                                 : pngtest::Pixel{0, 0, 0, 0};
        EXPECT_EQ(p, want);
    }
}

TEST(PngWriter, FilterModes)
{
    // A grey picture (one byte per pixel) and a true-colour one.
    std::vector<Bgra> greyPx = {grey(0), grey(0), grey(0), grey(5), grey(0), grey(0),
                                grey(0), grey(5), grey(0), grey(1), grey(2), grey(3)};
    struct Case {
        int mode;
        bool trueColour;
        std::vector<int> filters;   // per row, top first
    };
    const Case cases[] = {
        {0, false, {0, 0, 0}}, {0, true, {4, 4, 4}},  {7, false, {0, 0, 0}}, {7, true, {4, 4, 4}},
        {-1, true, {4, 4, 4}}, {1, true, {0, 0, 0}}, {2, true, {1, 1, 1}},   {3, true, {2, 2, 2}},
        {4, false, {3, 3, 3}}, {5, false, {4, 4, 4}},
        // Adaptive, where a later filter wins a tie: Sub ties None on the first
        // row (5 each); on the repeated row Up and Paeth cost 0 (counted as 1);
        // on the ramp Average ties Sub (3 each).
        {6, false, {1, 4, 3}},
    };
    for (const Case &c : cases) {
        c32bppDIB dib;
        ASSERT_TRUE(c.trueColour ? makeSurface(dib, 20, 15, manyColours(300, 0), false)
                                 : makeSurface(dib, 4, 3, greyPx, false));
        // 15 rows for the true-colour picture: the table's three rows repeat.
        ASSERT_TRUE(dib.PngPropertySet(imaging::pngFilterMode, c.mode));
        const Bytes png = encode(dib);
        const auto chunks = chunksOf(png);
        const std::size_t rowBytes = c.trueColour ? 61 : 5;
        const Bytes rows = imageData(chunks, rowBytes * std::size_t(dib.Height()));
        ASSERT_EQ(rows.size(), rowBytes * std::size_t(dib.Height())) << "mode " << c.mode;
        for (int y = 0; y < dib.Height(); ++y)
            EXPECT_EQ(rows[std::size_t(y) * rowBytes], c.trueColour ? c.filters[0] : c.filters[std::size_t(y)])
                << "mode " << c.mode << " row " << y;
        expectSamePixels(png, dib, "mode " + std::to_string(c.mode));
    }
}

TEST(PngWriter, AdaptiveFilterOnTheFirstRowIsNoneOrSub)
{
    c32bppDIB dib;
    ASSERT_TRUE(makeSurface(dib, 20, 15, manyColours(300, 0), false));
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngFilterMode, 6));
    const Bytes png = encode(dib);
    const Bytes rows = imageData(chunksOf(png), 61 * 15);
    ASSERT_EQ(rows.size(), 61u * 15);
    EXPECT_LE(rows[0], 1);
    expectSamePixels(png, dib, "adaptive");
}

TEST(PngWriter, ChunkOrderAndTexts)
{
    c32bppDIB dib;
    ASSERT_TRUE(makeSurface(dib, 2, 1, {{0, 0, 255, 255}, {0, 0, 64, 128}}, true));
    const QString long1025(1025, QChar('a')), long1024(1024, QChar('b'));
    // Set out of order: the chunks follow the property IDs, then the custom list.
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngComment, "last standard"));
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngCustomText, long1025, "Long"));
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngCustomText, long1024, "Short"));
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngAuthor, "Kim"));
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngTitle, "Line one\r\nline two\rthree"));
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngDescription, QString("bell \a here")));
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngTime, "2024-05-06T07:08:09"));
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngBackground, 0x00FF00));

    const auto chunks = chunksOf(encode(dib));
    EXPECT_EQ(chunkTypes(chunks), "IHDR tEXt tEXt PLTE bKGD tRNS IDAT tIME tEXt tEXt zTXt tEXt IEND");
    for (const Chunk &c : chunks)
        EXPECT_TRUE(c.crcOk) << c.type;
    auto text = [](const Chunk &c) { return std::string(c.data.begin(), c.data.end()); };
    EXPECT_EQ(text(chunks[1]), std::string("Title\0Line one\nline two\nthree", 29));
    EXPECT_EQ(text(chunks[2]), std::string("Author\0Kim", 10));
    EXPECT_EQ(chunks[7].data, hex("07e80506070809"));
    // A control character empties the text: keyword and NUL only.
    EXPECT_EQ(text(chunks[8]), std::string("Description\0", 12));
    EXPECT_EQ(text(chunks[9]), std::string("Comment\0last standard", 21));
    const Bytes &z = chunks[10].data;
    ASSERT_GT(z.size(), 6u);
    EXPECT_EQ(std::string(z.begin(), z.begin() + 6), std::string("Long\0\0", 6));
    EXPECT_EQ(inflateAll(Bytes(z.begin() + 6, z.end()), 2000), Bytes(1025, 'a'));
    EXPECT_EQ(text(chunks[11]), "Short" + std::string(1, '\0') + std::string(1024, 'b'));
    // The background joins the palette after the half-transparent dark red and the red: index 2.
    EXPECT_EQ(chunks[3].data.size(), 9u);
    EXPECT_EQ(chunks[4].data, hex("02"));
}

TEST(PngWriter, BackgroundChunk)
{
    auto palettePixels = [](int count) {
        std::vector<Bgra> px;
        for (int i = 0; i < count; ++i)
            px.push_back({std::uint8_t(i), 10, 20, 255});
        return px;
    };
    struct Case {
        const char *name;
        int w, h;
        std::vector<Bgra> pixels;
        std::uint32_t colour;
        const char *bkgd;   // nullptr: no bKGD
        std::size_t plteEntries;
    };
    const Case cases[] = {
        {"full palette lacking the colour", 16, 16, palettePixels(256), 0xFFFFFF, nullptr, 256},
        {"255 entries: the colour is appended", 15, 17, palettePixels(255), 0xFFFFFF, "ff", 256},
        // Entries sort by value: blue byte 5 is entry 5 (red 20, green 10, blue 5).
        {"colour already in the palette", 15, 17, palettePixels(255), 0x050A14, "05", 255},
        {"grey: the red byte", 2, 1, {grey(0), grey(255)}, 0x332211, "0011", 0},
        {"true colour: all three", 20, 15, manyColours(300, 0), 0x332211, "001100220033", 0},
    };
    for (const Case &c : cases) {
        c32bppDIB dib;
        ASSERT_TRUE(makeSurface(dib, c.w, c.h, c.pixels, false)) << c.name;
        // The upper 8 bits of the colour are dropped.
        ASSERT_TRUE(dib.PngPropertySet(imaging::pngBackground, std::int32_t(c.colour | 0x7F000000)));
        const auto chunks = chunksOf(encode(dib));
        ASSERT_FALSE(chunks.empty()) << c.name;
        const Chunk *bkgd = findChunk(chunks, "bKGD"), *plte = findChunk(chunks, "PLTE");
        EXPECT_EQ(bkgd != nullptr, c.bkgd != nullptr) << c.name;
        if (bkgd && c.bkgd) {
            EXPECT_EQ(bkgd->data, hex(c.bkgd)) << c.name;
        }
        EXPECT_EQ(plte ? plte->data.size() / 3 : 0, c.plteEntries) << c.name;
    }
}

TEST(PngWriter, StreamHoldsExactlyThePng)
{
    c32bppDIB dib;
    ASSERT_TRUE(makeSurface(dib, 1, 1, {{0, 0, 255, 255}}, false));
    const Bytes png = encode(dib);
    ASSERT_GT(png.size(), 45u);
    EXPECT_EQ(Bytes(png.begin(), png.begin() + 16), hex("89504e470d0a1a0a0000000d49484452"));
    EXPECT_EQ(Bytes(png.end() - 12, png.end()), hex("0000000049454e44ae426082"));

    // No image: false, and the array is left alone.
    c32bppDIB empty;
    imaging::ByteArray keep(Bytes{1, 2, 3});
    EXPECT_FALSE(empty.SaveToStream_PNG(keep));
    EXPECT_EQ(keep.size(), 3u);
    cPNGwriter writer;
    EXPECT_FALSE(writer.WritePNG(empty, {}, keep));
    EXPECT_EQ(keep.size(), 3u);
}

TEST(PngWriter, PropertyDefaultsAndStoreLifetime)
{
    c32bppDIB dib;
    // No store yet.
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngBackground), QVariant(-1));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngFilterMode), QVariant(QString()));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngTime).toDateTime(), cPNGwriter::zeroDate());
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngTitle), QVariant(QString()));
    EXPECT_FALSE(dib.PngPropertySet(imaging::pngTitle));   // nothing to remove

    // A refused first value still creates the store.
    EXPECT_FALSE(dib.PngPropertySet(3, "x"));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngFilterMode), QVariant(0));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngBackground), QVariant(-1));
    EXPECT_FALSE(dib.PngPropertyGet(3).isValid());

    ASSERT_TRUE(dib.PngPropertySet(imaging::pngFilterMode, 9));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngFilterMode), QVariant(9));
    EXPECT_TRUE(dib.PngPropertySet(imaging::pngFilterMode));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngFilterMode), QVariant(0));
    EXPECT_FALSE(dib.PngPropertySet(imaging::pngFilterMode));   // no longer set

    ASSERT_TRUE(dib.PngPropertySet(imaging::pngTime, QDateTime(QDate(2023, 1, 2), QTime(3, 4, 5))));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngTime).toDateTime(), QDateTime(QDate(2023, 1, 2), QTime(3, 4, 5)));
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngTitle, "t"));
    EXPECT_TRUE(dib.PngPropertySet(-1));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngTitle), QVariant(QString()));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngFilterMode), QVariant(QString()));   // no store again
}

TEST(PngWriter, RefusedValues)
{
    QObject object;
    struct Case {
        const char *name;
        std::int32_t id;
        QVariant value;
        const char *caption;
    };
    const Case cases[] = {
        {"invalid ID 0", 0, "x", ""},
        {"invalid ID 3", 3, "x", ""},
        {"invalid ID 16384", 16384, "x", ""},
        {"null value", imaging::pngTitle, QVariant::fromValue(nullptr), ""},
        {"object value", imaging::pngTitle, QVariant::fromValue(&object), ""},
        {"not a date", imaging::pngTime, "yesterday", ""},
        {"a number is no date", imaging::pngTime, 45000, ""},
        {"colour not a number", imaging::pngBackground, "blue", ""},
        {"filter mode out of 32 bits", imaging::pngFilterMode, 1e12, ""},
        {"empty caption", imaging::pngCustomText, "x", ""},
        {"caption of spaces", imaging::pngCustomText, "x", "   "},
        {"caption with a control character", imaging::pngCustomText, "x", "a\tb"},
        {"caption with a double-byte character", imaging::pngCustomText, "x", "제목"},
        {"caption with a character the code page lacks", imaging::pngCustomText, "x", "caf\u00e9"},
    };
    for (const Case &c : cases) {
        c32bppDIB dib;
        ASSERT_TRUE(dib.PngPropertySet(imaging::pngAuthor, "kept"));
        EXPECT_FALSE(dib.PngPropertySet(c.id, c.value, QString::fromUtf8(c.caption))) << c.name;
        EXPECT_EQ(dib.PngPropertyGet(imaging::pngAuthor), QVariant("kept")) << c.name;
        EXPECT_EQ(dib.PngPropertyGet(imaging::pngBackground), QVariant(-1)) << c.name;
    }
}

TEST(PngWriter, NumbersAndDatesConvert)
{
    c32bppDIB dib;
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngFilterMode, "6"));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngFilterMode), QVariant(6));
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngFilterMode, 2.5));   // halves to even
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngFilterMode), QVariant(2));
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngBackground, 0xFF123456u));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngBackground), QVariant(0x123456));
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngTime, QDate(2020, 2, 29)));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngTime).toDateTime(), QDateTime(QDate(2020, 2, 29), QTime(0, 0)));
    // A time with a zone keeps its own clock reading.
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngTime, "2021-03-04T05:06:07+09:00"));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngTime).toDateTime(), QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7)));
}

TEST(PngWriter, CustomKeywords)
{
    c32bppDIB dib;
    // A standard keyword in other letter case sets that standard property.
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngCustomText, "sky", "  tItLe "));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngTitle), QVariant("sky"));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngCustomText, "TITLE"), QVariant("sky"));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngCustomText, "Mood"), QVariant(QString()));

    // Spaces at the ends go, doubled spaces inside become single.
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngCustomText, "calm", "  My   own  key "));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngCustomText, "my own key"), QVariant("calm"));
    // The same keyword in other case replaces the entry (keyword too).
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngCustomText, "wild", "MY OWN KEY"));
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngCustomText, "two", "Second"));
    ASSERT_TRUE(makeSurface(dib, 1, 1, {grey(9)}, false));
    auto chunks = chunksOf(encode(dib));
    EXPECT_EQ(chunkTypes(chunks), "IHDR tEXt IDAT tEXt tEXt IEND");
    EXPECT_EQ(std::string(chunks[3].data.begin(), chunks[3].data.end()), std::string("MY OWN KEY\0wild", 15));
    EXPECT_EQ(std::string(chunks[4].data.begin(), chunks[4].data.end()), std::string("Second\0two", 10));

    // Removal needs the exact case; reading does not.
    EXPECT_FALSE(dib.PngPropertySet(imaging::pngCustomText, std::nullopt, "My Own Key"));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngCustomText, "My Own Key"), QVariant("wild"));
    EXPECT_TRUE(dib.PngPropertySet(imaging::pngCustomText, std::nullopt, " MY  OWN KEY"));
    EXPECT_TRUE(dib.PngPropertySet(imaging::pngCustomText, std::nullopt, "Second"));
    EXPECT_FALSE(dib.PngPropertySet(imaging::pngCustomText, std::nullopt, "Second"));
    // A standard caption removes the standard property.
    EXPECT_TRUE(dib.PngPropertySet(imaging::pngCustomText, std::nullopt, "title"));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngTitle), QVariant(QString()));
    chunks = chunksOf(encode(dib));
    EXPECT_EQ(chunkTypes(chunks), "IHDR IDAT IEND");
}

TEST(PngWriter, TextNormalisationAndKeywordValidation)
{
    struct TextCase {
        QString in, out;
    };
    const TextCase texts[] = {
        {"", ""},
        {"plain text", "plain text"},
        {"a\r\nb\rc\n\td", "a\nb\nc\n\td"},
        {QString("bell\a"), ""},
        {QString::fromUtf8("노래"), ""},            // double-byte in the code page
        {QString::fromUtf8("\u00e9t\u00e9"), ""},  // no code in the code page
        {QString(40000, QChar('x')), QString(32700, QChar('x'))},
    };
    for (const TextCase &t : texts)
        EXPECT_EQ(cPNGwriter::NormalizeText(t.in), t.out) << t.in.left(20).toStdString();

    struct KeywordCase {
        QString in, out;
        std::int32_t id;
    };
    const KeywordCase keywords[] = {
        {"Title", "Title", imaging::pngTitle},
        {"creation  time", "creation time", imaging::pngCreationTime},
        {"   COMMENT", "COMMENT", imaging::pngComment},
        {" a    b ", "a b", 0},
        {"", "", 0},
        {"a\nb", "", 0},
        {"~!@#", "~!@#", 0},
        {QString(100, QChar('k')), QString(79, QChar('k')), 0},
    };
    for (const KeywordCase &k : keywords) {
        std::int32_t id = -5;
        EXPECT_EQ(cPNGwriter::ValidateKeyword(k.in, &id), k.out) << k.in.toStdString();
        EXPECT_EQ(id, k.id) << k.in.toStdString();
    }
}

TEST(PngWriter, SaveToFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    c32bppDIB dib, empty;
    ASSERT_TRUE(makeSurface(dib, 2, 1, {grey(1), grey(2)}, false));
    const QString target = dir.filePath("out.png");
    platform::ScopedDialogAnswers answers(platform::MessageResult::No);

    EXPECT_FALSE(dib.SaveToFile_PNG(QString()));
    EXPECT_FALSE(empty.SaveToFile_PNG(target));
    EXPECT_FALSE(QFile::exists(target));

    // A new file: no question.
    ASSERT_TRUE(dib.SaveToFile_PNG(target));
    EXPECT_TRUE(answers.messages().isEmpty());
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray first = f.readAll();
    f.close();
    EXPECT_EQ(Bytes(first.begin(), first.end()), encode(dib));

    // An existing file: the question, and No leaves it alone.
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngTitle, "second"));
    EXPECT_FALSE(dib.SaveToFile_PNG(target));
    ASSERT_EQ(answers.messages().size(), 1);
    const platform::MessageRequest &q = answers.messages()[0];
    EXPECT_EQ(q.title, "Overwrite Confirmation");
    EXPECT_EQ(q.text, "Overwrite existing file?");
    EXPECT_EQ(q.icon, platform::MessageIcon::Question);
    EXPECT_EQ(q.buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(q.defaultButton, platform::MessageResult::No);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), first);
    f.close();

    // Yes replaces it; so does saving without the question.
    answers.setMessageAnswer(platform::MessageResult::Yes);
    ASSERT_TRUE(dib.SaveToFile_PNG(target));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains(QByteArray("Title\0second", 12)));
    f.close();
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngTitle, "third"));
    ASSERT_TRUE(dib.SaveToFile_PNG(target, false));
    EXPECT_EQ(answers.messages().size(), 2);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains(QByteArray("Title\0third", 11)));
    f.close();

    // A folder in the way, or a folder that does not exist: false, nothing left behind.
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    EXPECT_FALSE(dib.SaveToFile_PNG(dir.filePath("sub"), false));
    EXPECT_TRUE(QFileInfo(dir.filePath("sub")).isDir());
    EXPECT_FALSE(dib.SaveToFile_PNG(dir.filePath("missing/out.png"), false));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.png"});
}

TEST(PngWriter, ExactTextsKeepEveryCharacterOrAreRefused)
{
    c32bppDIB dib;
    ASSERT_TRUE(makeSurface(dib, 1, 1, {grey(9)}, false));
    QString why;
    ASSERT_TRUE(dib.PngTextSet("title", QString::fromUtf8("노래 제목"), &why)) << why.toStdString();
    ASSERT_TRUE(dib.PngTextSet("Mood", QString::fromUtf8("caf\u00e9\r\nline"), &why)) << why.toStdString();
    ASSERT_TRUE(dib.PngTextSet("Lyrics", QString::fromUtf8("가").repeated(2000), &why));
    ASSERT_TRUE(dib.PngTextSet("Long", QString(1025, QChar(0xE9)), &why));
    ASSERT_TRUE(dib.PngTextSet("Caf\u00e9 Key", QString(), &why));
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngTitle), QVariant(QString::fromUtf8("노래 제목")));

    const auto chunks = chunksOf(encode(dib));
    EXPECT_EQ(chunkTypes(chunks), "IHDR iTXt IDAT tEXt iTXt zTXt tEXt IEND");
    const auto text = [&](std::size_t i) { return std::string(chunks[i].data.begin(), chunks[i].data.end()); };
    // The standard keyword in its own spelling; no language tag or translation.
    EXPECT_EQ(text(1), std::string("Title\0\0\0\0\0", 10) + "노래 제목");
    EXPECT_EQ(text(3), std::string("Mood\0caf\xE9\nline", 14));
    EXPECT_EQ(text(4), std::string("Lyrics\0\0\0\0\0", 11) + QString::fromUtf8("가").repeated(2000).toStdString());
    ASSERT_GT(chunks[5].data.size(), 6u);
    EXPECT_EQ(inflateAll(Bytes(chunks[5].data.begin() + 6, chunks[5].data.end()), 1025), Bytes(1025, 0xE9));
    EXPECT_EQ(text(6), std::string("Caf\xE9 Key\0", 9));

    // Set again through the property, the standard text is the code page's again.
    ASSERT_TRUE(dib.PngPropertySet(imaging::pngTitle, "plain"));
    EXPECT_EQ(chunkTypes(chunksOf(encode(dib))), "IHDR tEXt IDAT tEXt iTXt zTXt tEXt IEND");

    const struct {
        QString keyword, text, reason;
    } refused[] = {
        {"", "x", "the keyword is empty"},
        {QString(80, QChar('k')), "x", "the keyword is 80 bytes long; at most 79 are allowed"},
        {" Mood", "x", "the keyword starts or ends with a space"},
        {"Mood ", "x", "the keyword starts or ends with a space"},
        {"My  Mood", "x", "the keyword holds two spaces in a row"},
        {"a\u00a0b", "x", "the keyword holds U+00A0, which is not a Latin-1 letter, digit, sign or space"},
        {QString::fromUtf8("제목"), "x", "the keyword holds U+C81C, which is not a Latin-1 letter, digit, sign or space"},
        {"Mood", QString("a") + QChar(0) + "b", "the text holds a NUL character"},
        {"Mood", "bell\a", "the text holds the control character U+0007"},
        {"Mood", QString(1, QChar(0xD800)), "the text holds a broken character (a lone surrogate)"},
        {"Mood", QString(32701, QChar('x')), "the text is 32701 characters long; at most 32700 are allowed"},
    };
    for (const auto &r : refused) {
        why.clear();
        EXPECT_FALSE(dib.PngTextSet(r.keyword, r.text, &why)) << r.reason.toStdString();
        EXPECT_EQ(why, r.reason);
    }
    EXPECT_EQ(dib.PngPropertyGet(imaging::pngCustomText, "Mood"), QVariant(QString::fromUtf8("caf\u00e9\nline")))
        << "a refused text leaves the stored one";
    EXPECT_TRUE(dib.PngTextSet("Mood", QString(32700, QChar('x'))));
}
