#include "download/speedmeter.h"

namespace download {

double SpeedMeter::sample(qint64 ms, double bytes)
{
    // A count that went back (a new download) starts the window again.
    if (!m_samples.empty() && (bytes < m_samples.back().bytes || ms < m_samples.back().ms))
        m_samples.clear();
    m_samples.push_back({ms, bytes});
    // Keep the newest sample that is at least a window old as the reference.
    while (m_samples.size() > 2 && ms - m_samples[1].ms >= kWindowMs)
        m_samples.pop_front();
    const Sample &from = m_samples.front();
    const qint64 spanMs = ms - from.ms;
    if (spanMs <= 0)
        return 0;
    return (bytes - from.bytes) / 1024.0 / (spanMs / 1000.0);
}

} // namespace download
