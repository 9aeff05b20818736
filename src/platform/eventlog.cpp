#include "platform/eventlog.h"

#include <QMutex>
#include <syslog.h>

namespace platform {

namespace {
QMutex sinkMutex;
QList<EventEntry> &sink()
{
    static QList<EventEntry> entries;
    return entries;
}
constexpr qsizetype kSinkLimit = 1000; // the sink keeps the newest entries only
} // namespace

void EventLog::write(EventType type, const QString &text)
{
    const int priority = type == EventType::Error     ? LOG_ERR
                         : type == EventType::Warning ? LOG_WARNING
                                                      : LOG_INFO;
    openlog("sorimba", LOG_PID, LOG_USER);
    syslog(priority, "%s", text.toUtf8().constData());
    QMutexLocker lock(&sinkMutex);
    auto &s = sink();
    s.append({type, text});
    if (s.size() > kSinkLimit)
        s.removeFirst();
}

QList<EventEntry> EventLog::entries()
{
    QMutexLocker lock(&sinkMutex);
    return sink();
}

void EventLog::clear()
{
    QMutexLocker lock(&sinkMutex);
    sink().clear();
}

} // namespace platform
