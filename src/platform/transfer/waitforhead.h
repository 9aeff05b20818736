#pragma once
// Waits, pumping events, until a transfer's response head arrived or the
// transfer ended; the transfer control bounds the wait itself. With `stop`,
// the wait also ends as soon as an event handler sets it.
#include "platform/transfer/transfercontrol.h"

#include <QCoreApplication>

namespace platform {
inline void WaitWhileExecuting(TransferControl *transfer, const bool *stop = nullptr)
{
    while (transfer->StillExecuting() && !(stop && *stop))
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}
} // namespace platform
