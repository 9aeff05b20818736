#pragma once
// Texts of the download window's player labels, as pure functions:
//
//   cpaTime->setCaption(download::FormatDuration(seconds));      // 245 -> "04:05"
//   cpaTime->setCaption(download::PositionText(83.4, 245.4));    // "01:23 / 04:05"
//   const download::BitRateRating r = download::rateBitRate(w.network().bitRate());
//   Caption5->setCaption(r.caption); Caption5->setCaptionINColor(r.color);
#include <QColor>
#include <QString>
#include <optional>

namespace download {

// Whole seconds as "mm:ss" (minutes may pass 99: 6000 -> "100:00"). Under a
// minute the minutes read "00" (59 -> "00:59"), so the label never goes
// blank. Negative or beyond 16 bits (> 32,767): empty.
QString FormatDuration(int seconds);

// The time label: the elapsed whole seconds and the total, "01:23 / 04:05".
// Elapsed counts whole seconds gone (1.9 s is "00:01") and never passes the
// total; while the total is unknown (0 or less, a stream) it stands alone.
QString PositionText(double elapsedSeconds, double totalSeconds);

// A duration in seconds rounded (halves to even) to the 16-bit whole seconds
// that FormatDuration takes; nothing when it does not fit.
std::optional<int> durationSeconds(double seconds);

struct BitRateRating {
    qint32 kbps = 0;   // bit rate / 1000 (the player counts in thousands), rounded, halves to even
    QString caption;   // e.g. "128kb/s [조금좋음]"
    QColor color;      // the caption's text colour
    QColor outline;    // black or white, whichever the text colour stands out against
};

// The rating of a stream's bit rate (bits per second); nothing when kbps does
// not fit 32 bits.
std::optional<BitRateRating> rateBitRate(double bitsPerSecond);

// The speed figure beside "KB/s": one decimal, and a slow trickle keeps the
// digits that show it moves (20 B/s is "0.02", 1 B/s "0.001"); only no
// bytes at all read "0".
QString SpeedText(double kilobytesPerSecond);

// The tooltip over the speed and the bar while a download runs: the bytes
// so far of the total and the time left at the present rate. A total of -1
// is unknown; a rate of 0 (a stall) leaves the time unknown.
QString TransferToolTip(qint64 arrived, qint64 total, double bytesPerSecond);

} // namespace download
