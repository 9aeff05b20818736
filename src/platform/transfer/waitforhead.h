#pragma once
// Waits, pumping events, until a transfer's response head arrived or the
// transfer ended; the transfer control bounds the wait itself.
#include "platform/transfer/transfercontrol.h"

#include <QCoreApplication>

namespace platform {
inline void WaitWhileExecuting(TransferControl *transfer)
{
    while (transfer->StillExecuting())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}
} // namespace platform
