#pragma once
// The application event log: every entry goes to syslog and to an in-process
// sink that tests (and the program) can read back.
#include <QString>
#include <QStringList>

namespace platform {

enum class EventType { Error, Warning, Information };

struct EventEntry {
    EventType type;
    QString text;
};

class EventLog {
public:
    static void write(EventType type, const QString &text);
    static QList<EventEntry> entries();
    static void clear();
};

} // namespace platform
