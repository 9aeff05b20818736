// The player labels' texts: duration, position and bit-rate rating.
#include "controls/contrast.h"
#include "download/format.h"

#include <gtest/gtest.h>

namespace {

TEST(DownloadFormat, Durations)
{
    const struct {
        double seconds;
        const char *text;
    } cases[] = {
        {0, "00:00"},     {59, "00:59"},     {60, "01:00"},   {245, "04:05"},
        {245.4, "04:05"}, {6000, "100:00"},  {32767, "546:07"},
        {2.5, "00:02"},   {3.5, "00:04"}, // halves to even
    };
    for (const auto &c : cases) {
        const auto s = download::durationSeconds(c.seconds);
        ASSERT_TRUE(s) << c.seconds;
        EXPECT_EQ(download::FormatDuration(*s), QString::fromUtf8(c.text)) << c.seconds;
    }
    EXPECT_FALSE(download::durationSeconds(32767.5)); // rounds to 32768: no 16-bit value
    EXPECT_EQ(download::FormatDuration(-1), QString());
}

TEST(DownloadFormat, PositionTexts)
{
    const struct {
        double elapsed, total;
        const char *text;
    } cases[] = {
        {83.4, 245.4, "01:23 / 04:05"}, {0, 30.07, "00:00 / 00:30"},
        {1.9, 30, "00:01 / 00:30"},      // whole seconds gone, not rounded
        {245.6, 245.6, "04:06 / 04:06"}, // at the end both read the rounded total
        {245.2, 245.6, "04:05 / 04:06"}, {31, 30, "00:30 / 00:30"}, // never past the total
        {-3, 30, "00:00 / 00:30"},       {83.4, 0, "01:23"}, // no total: a stream
        {83.4, -1, "01:23"},             {83.4, 40000, "01:23"}, // a total beyond 16 bits is unknown
        {qQNaN(), 30, "00:00 / 00:30"},  {40000, 0, "546:07"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(download::PositionText(c.elapsed, c.total), QString::fromUtf8(c.text)) << c.elapsed << " " << c.total;
}

TEST(DownloadFormat, BitRateRatingsAtEveryBoundary)
{
    const struct {
        int kbps;
        const char *rating;
        int r, g, b;
    } cases[] = {
        {0, "매우나쁨", 255, 0, 0},      {23, "매우나쁨", 255, 0, 0},   {24, "조금나쁨", 200, 0, 50},
        {53, "조금나쁨", 200, 0, 50},    {54, "나쁨", 150, 0, 105},      {79, "나쁨", 150, 0, 105},
        {80, "보통", 130, 0, 125},       {99, "보통", 130, 0, 125},      {100, "좋음", 80, 0, 180},
        {127, "좋음", 80, 0, 180},       {128, "조금좋음", 50, 0, 200},  {149, "조금좋음", 50, 0, 200},
        {150, "알 수 없음", 255, 255, 255}, {200, "알 수 없음", 255, 255, 255},
        {201, "매우좋음", 0, 0, 255},
    };
    for (const auto &c : cases) {
        const auto r = download::rateBitRate(c.kbps * 1000.0);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->kbps, c.kbps);
        EXPECT_EQ(r->caption, QString::number(c.kbps) + QStringLiteral("kb/s [") + QString::fromUtf8(c.rating) + ']');
        EXPECT_EQ(r->color, QColor(c.r, c.g, c.b)) << c.kbps;
        // Whatever lies behind the label, the text reads against its outline.
        EXPECT_GE(controls::contrastRatio(r->color, r->outline), 4.5) << c.kbps;
    }
    // Kilobits are thousands of bits, as the player counts them.
    const struct {
        double bits;
        const char *caption;
        QColor color;
    } rates[] = {
        {128000, "128kb/s [조금좋음]", QColor(50, 0, 200)},
        {192000, "192kb/s [알 수 없음]", QColor(255, 255, 255)},
        {131072, "131kb/s [조금좋음]", QColor(50, 0, 200)},
        {127499, "127kb/s [좋음]", QColor(80, 0, 180)},
    };
    for (const auto &c : rates) {
        const auto r = download::rateBitRate(c.bits);
        ASSERT_TRUE(r) << c.bits;
        EXPECT_EQ(r->caption, QString::fromUtf8(c.caption)) << c.bits;
        EXPECT_EQ(r->color, c.color) << c.bits;
    }
    EXPECT_EQ(download::rateBitRate(23.5 * 1000)->kbps, 24); // halves to even
    EXPECT_EQ(download::rateBitRate(24.5 * 1000)->kbps, 24);
    EXPECT_FALSE(download::rateBitRate(1e300));
}

TEST(DownloadFormat, SpeedFigureNeverHidesATrickle)
{
    const struct {
        double kbPerSecond;
        const char *text;
    } cases[] = {
        {0, "0"}, {-1, "0"}, {qQNaN(), "0"}, {512.26, "512.3"}, {16, "16"}, {0.05, "0.1"},
        {20 / 1024.0, "0.02"}, {1 / 1024.0, "0.001"}, {1e-7, "0.001"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(download::SpeedText(c.kbPerSecond), QString::fromUtf8(c.text)) << c.kbPerSecond;
}

TEST(DownloadFormat, TransferToolTips)
{
    const struct {
        qint64 arrived, total;
        double bytesPerSecond;
        const char *text;
    } cases[] = {
        {24576, 48900, 1024, "받은 크기 : 24.0 KB / 47.8 KB\n남은 시간 : 00:24"},
        {100, 48900, 20, "받은 크기 : 0.1 KB / 47.8 KB\n남은 시간 : 40:40"},
        {100, 48900, 0, "받은 크기 : 0.1 KB / 47.8 KB\n남은 시간 : 알 수 없음"}, // a stall
        {100, -1, 2048, "받은 크기 : 0.1 KB / 알 수 없음\n남은 시간 : 알 수 없음"},
        {100, 1LL << 40, 1, "받은 크기 : 0.1 KB / 1073741824.0 KB\n남은 시간 : 알 수 없음"}, // past 16 bits of seconds
        {60000, 48900, 1024, "받은 크기 : 58.6 KB / 47.8 KB\n남은 시간 : 00:00"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(download::TransferToolTip(c.arrived, c.total, c.bytesPerSecond), QString::fromUtf8(c.text))
            << c.arrived << " " << c.total << " " << c.bytesPerSecond;
}

} // namespace
