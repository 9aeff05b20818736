// The built-in inflater: the deflate test streams, and the malformed inputs it must
// refuse without reading or writing outside its buffers.
#include "imaging/png/inflate.h"

#include "support/testdata.h"

#include <QFile>
#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.readAll();
    return Bytes(b.begin(), b.end());
}

Bytes zlibOf(const Bytes &raw, int level)
{
    uLongf len = compressBound(uLong(raw.size()));
    Bytes out(len);
    compress2(out.data(), &len, raw.data(), uLong(raw.size()), level);
    out.resize(len);
    return out;
}

} // namespace

TEST(PngInflate, DeflateTestStreams)
{
    SORIMBA_REQUIRE_TESTDATA("deflate");
    const QString dir = testsupport::testdataDir("deflate");
    struct Case {
        const char *input;
        const char *expected; // nullptr: must fail
        bool zlib;
    };
    const Case cases[] = {
        {"artificial/backref-crosses-blocks.deflate", "artificial/backref-crosses-blocks.deflate.decompressed", false},
        {"artificial/degenerate-huffman.deflate", "artificial/degenerate-huffman.deflate.decompressed", false},
        {"artificial/distance-32768.deflate", "artificial/distance-32768.deflate.decompressed", false},
        {"artificial/huffman-primlen-9.deflate", "artificial/huffman-primlen-9.deflate.decompressed", false},
        {"artificial/distance-code-31.deflate", nullptr, false},
        {"streams/romeo.txt.deflate", "streams/romeo.txt", false},
        {"streams/romeo.txt.fixed-huff.deflate", "streams/romeo.txt", false},
        {"streams/romeo.txt.zlib", "streams/romeo.txt", true},
        {"streams/midsummer.txt.zlib", "streams/midsummer.txt", true},
        {"streams/pi.txt.zlib", "streams/pi.txt", true},
        {"streams/DCI-P3-D65.icc.zlib", "streams/DCI-P3-D65.icc", true},
    };
    for (const Case &c : cases) {
        const Bytes in = readFile(dir + '/' + c.input);
        ASSERT_FALSE(in.empty()) << c.input;
        const Bytes expected = c.expected ? readFile(dir + '/' + c.expected) : Bytes();
        Bytes out(expected.size() + 64 * 1024);
        std::size_t produced = 0;
        const bool ok = c.zlib ? imaging::png::inflateZlib(in.data(), in.size(), out.data(), out.size(), &produced)
                               : imaging::png::inflateRaw(in.data(), in.size(), out.data(), out.size(), &produced);
        if (!c.expected) {
            EXPECT_FALSE(ok) << c.input;
            continue;
        }
        ASSERT_TRUE(ok) << c.input;
        ASSERT_EQ(produced, expected.size()) << c.input;
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin())) << c.input;
        // Exactly the room needed is enough; one byte less is an error.
        Bytes exact(expected.size());
        EXPECT_TRUE(c.zlib ? imaging::png::inflateZlib(in.data(), in.size(), exact.data(), exact.size(), &produced)
                           : imaging::png::inflateRaw(in.data(), in.size(), exact.data(), exact.size(), &produced))
            << c.input;
        if (!expected.empty()) {
            EXPECT_FALSE(c.zlib ? imaging::png::inflateZlib(in.data(), in.size(), exact.data(), exact.size() - 1, &produced)
                                : imaging::png::inflateRaw(in.data(), in.size(), exact.data(), exact.size() - 1, &produced))
                << c.input;
        }
    }
}

TEST(PngInflate, AgreesWithZlibAtEveryLevelAndRefusesTruncation)
{
    // Repetitive rows with noise: literals, short and long matches, stored blocks at level 0.
    Bytes raw(70000);
    std::uint32_t s = 1;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        s = s * 1103515245u + 12345u;
        raw[i] = (i / 700) % 3 == 0 ? std::uint8_t(s >> 24) : std::uint8_t((i % 37) * 3);
    }
    for (int level : {0, 1, 6, 9}) {
        const Bytes z = zlibOf(raw, level);
        Bytes out(raw.size());
        std::size_t produced = 0;
        ASSERT_TRUE(imaging::png::inflateZlib(z.data(), z.size(), out.data(), out.size(), &produced)) << level;
        EXPECT_EQ(produced, raw.size());
        EXPECT_EQ(out, raw) << level;
        // Without the 4-byte trailer it still decodes; cut inside the blocks it fails.
        EXPECT_TRUE(imaging::png::inflateZlib(z.data(), z.size() - 4, out.data(), out.size(), &produced)) << level;
        for (std::size_t cut = 0; cut + 5 < z.size(); cut += z.size() / 40 + 1)
            EXPECT_FALSE(imaging::png::inflateZlib(z.data(), cut, out.data(), out.size(), &produced))
                << "level " << level << " cut " << cut;
    }
}

TEST(PngInflate, MalformedBlocks)
{
    struct Case {
        const char *name;
        Bytes raw; // bare deflate data
    };
    const Case cases[] = {
        {"block type 3", {0x07}},
        {"stored length mismatch", {0x01, 0x05, 0x00, 0xFA, 0xFE, 1, 2, 3, 4, 5}},
        {"stored past the input", {0x01, 0x05, 0x00, 0xFA, 0xFF, 1, 2}},
        {"stored without its lengths", {0x01, 0x05}},
        {"empty input", {}},
        {"distance before the start", {0x03, 0x02, 0x00}}, // fixed block opening with a match of distance 1
        {"not final, then nothing", {0x00, 0x00, 0x00, 0xFF, 0xFF}},
        {"dynamic with too many length codes", {0xFD, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case &c : cases) {
        Bytes out(64);
        std::size_t produced = 0;
        EXPECT_FALSE(imaging::png::inflateRaw(c.raw.data(), c.raw.size(), out.data(), out.size(), &produced)) << c.name;
        EXPECT_LE(produced, out.size());
    }
    // The stored block that the length-mismatch case spoils, made valid, decodes.
    const Bytes stored = {0x01, 0x05, 0x00, 0xFA, 0xFF, 1, 2, 3, 4, 5};
    Bytes out(5);
    std::size_t produced = 0;
    ASSERT_TRUE(imaging::png::inflateRaw(stored.data(), stored.size(), out.data(), out.size(), &produced));
    EXPECT_EQ(out, (Bytes{1, 2, 3, 4, 5}));
    // A zlib stream shorter than its header is refused.
    EXPECT_FALSE(imaging::png::inflateZlib(stored.data(), 1, out.data(), out.size(), &produced));
}
