#include "platform/wait.h"

#include "platform/doevents.h"

#include <QElapsedTimer>
#include <QThread>

namespace platform {

void WaitTime(double ms, bool pump)
{
    if (!(ms > 0))
        return;
    QElapsedTimer clock;
    clock.start();
    const qint64 targetNs = qint64(ms * 1e6);
    while (clock.nsecsElapsed() < targetNs) {
        if (pump) {
            DoEvents();
            // Yield briefly so a pumping wait does not spin a core at 100 %.
            QThread::usleep(200);
        } else {
            const qint64 leftUs = (targetNs - clock.nsecsElapsed()) / 1000;
            if (leftUs > 0)
                QThread::usleep(quint64(qMin<qint64>(leftUs, 1000)));
        }
    }
}

} // namespace platform
