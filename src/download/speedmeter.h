#pragma once
// The download speed shown beside "KB/s": the rate over about the last second,
// so that chunks arriving less often than the display refreshes never make it
// read 0 while data flows.
//
//   SpeedMeter meter;                       // at the start of a download
//   capDown = meter.sample(clock.elapsed(), bytesReceived);   // every tick
#include <QtGlobal>
#include <deque>

namespace download {

class SpeedMeter {
public:
    // Kilobytes per second between the oldest kept sample (about a second
    // back, or the first one) and this one; 0 until time has passed.
    double sample(qint64 ms, double bytes);
    void reset() { m_samples.clear(); }

    static constexpr qint64 kWindowMs = 1000;

private:
    struct Sample {
        qint64 ms;
        double bytes;
    };
    std::deque<Sample> m_samples;
};

} // namespace download
