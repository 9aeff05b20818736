#include "download/format.h"

#include "controls/contrast.h"
#include "download/numbertext.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace download {

namespace {

// Halves to even (the default floating-point rounding mode); nothing when the
// result does not fit [lo, hi].
std::optional<qint64> roundInRange(double value, double lo, double hi)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::nearbyint(value);
    if (r < lo || r > hi)
        return std::nullopt;
    return qint64(r);
}

struct RatingRow {
    qint32 upTo; // inclusive upper end of the row
    const char *text;
    int red, green, blue;
};

// First matching row wins; 150 to 200 kb/s were never rated.
constexpr RatingRow kRatings[] = {
    {23, "매우나쁨]", 255, 0, 0},
    {53, "조금나쁨]", 200, 0, 50},
    {79, "나쁨]", 150, 0, 105},
    {99, "보통]", 130, 0, 125},
    {127, "좋음]", 80, 0, 180},
    {149, "조금좋음]", 50, 0, 200},
    {200, "알 수 없음]", 255, 255, 255},
    {std::numeric_limits<qint32>::max(), "매우좋음]", 0, 0, 255},
};

} // namespace

QString FormatDuration(int seconds)
{
    if (seconds < 0 || seconds > 32767)
        return {};
    return QStringLiteral("%1:%2").arg(seconds / 60, 2, 10, QLatin1Char('0')).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString PositionText(double elapsedSeconds, double totalSeconds)
{
    const double elapsed = std::isfinite(elapsedSeconds) ? std::clamp(std::floor(elapsedSeconds), 0.0, 32767.0) : 0.0;
    const std::optional<int> total = totalSeconds > 0 ? durationSeconds(totalSeconds) : std::nullopt;
    if (!total)
        return FormatDuration(int(elapsed));
    // At the end the two read alike, even where the total was rounded up.
    const int shown = elapsedSeconds >= totalSeconds ? *total : std::min(int(elapsed), *total);
    return FormatDuration(shown) + QStringLiteral(" / ") + FormatDuration(*total);
}

std::optional<int> durationSeconds(double seconds)
{
    const auto r = roundInRange(seconds, -32768, 32767);
    return r ? std::optional<int>(int(*r)) : std::nullopt;
}

std::optional<BitRateRating> rateBitRate(double bitsPerSecond)
{
    const auto kbps = roundInRange(bitsPerSecond / 1000, std::numeric_limits<qint32>::min(),
                                   std::numeric_limits<qint32>::max());
    if (!kbps)
        return std::nullopt;
    BitRateRating r;
    r.kbps = qint32(*kbps);
    for (const RatingRow &row : kRatings) {
        if (r.kbps <= row.upTo) {
            r.caption = QString::number(r.kbps) + QStringLiteral("kb/s [") + QString::fromUtf8(row.text);
            r.color = QColor(row.red, row.green, row.blue);
            r.outline = controls::contrastingOutline(r.color);
            break;
        }
    }
    return r;
}

QString SpeedText(double kilobytesPerSecond)
{
    if (!(kilobytesPerSecond > 0) || !std::isfinite(kilobytesPerSecond))
        return QStringLiteral("0");
    double shown = std::round(kilobytesPerSecond * 10) / 10;
    if (shown == 0)
        shown = std::max(std::round(kilobytesPerSecond * 1000) / 1000, 0.001);
    return defaultNumberText(shown);
}

namespace {

QString kilobyteText(qint64 bytes)
{
    return QString::number(bytes / 1024.0, 'f', 1) + QStringLiteral(" KB");
}

} // namespace

QString TransferToolTip(qint64 arrived, qint64 total, double bytesPerSecond)
{
    QString text = QStringLiteral("받은 크기 : ") + kilobyteText(arrived) + QStringLiteral(" / ")
                   + (total >= 0 ? kilobyteText(total) : QStringLiteral("알 수 없음"));
    text += QStringLiteral("\n남은 시간 : ");
    if (total < 0 || !(bytesPerSecond > 0))
        return text + QStringLiteral("알 수 없음");
    const double seconds = std::ceil(double(qMax<qint64>(total - arrived, 0)) / bytesPerSecond);
    return text + (seconds <= 32767 ? FormatDuration(int(seconds)) : QStringLiteral("알 수 없음"));
}

} // namespace download
