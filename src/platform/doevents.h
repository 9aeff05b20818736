#pragma once
// Pumps pending window messages once, as the program's cooperative waits do.
#include <QCoreApplication>
#include <QElapsedTimer>

namespace platform {
inline void DoEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// For loops that would pump after every small step: a pump costs a poll of
// the event sources, which outweighs a step of a fast loop (a 2 KB chunk of a
// download from a nearby server). Pumping at most every `intervalMs` keeps the
// window as responsive as the eye and hand can tell and the loop cheap.
class PumpEvery {
public:
    explicit PumpEvery(int intervalMs) : m_intervalMs(intervalMs) { m_clock.start(); }
    void operator()()
    {
        if (m_clock.elapsed() < m_intervalMs)
            return;
        DoEvents();
        m_clock.restart();
    }

private:
    QElapsedTimer m_clock;
    int m_intervalMs;
};
} // namespace platform
