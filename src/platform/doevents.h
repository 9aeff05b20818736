#pragma once
// Pumps pending window messages once, as the program's cooperative waits do.
#include <QCoreApplication>

namespace platform {
inline void DoEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
} // namespace platform
