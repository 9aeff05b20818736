#pragma once
// A D-Bus session bus of the test's own (dbus-daemon started for it), so that
// tests never touch the desktop's bus. Calls into objects of this process go
// out asynchronously and are waited for while events are pumped: a blocking
// call would wait on the very thread that has to answer it.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace testsupport {

class PrivateBus {
public:
    // Starts the daemon; empty error() when it runs.
    PrivateBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty()) {
            m_error = QStringLiteral("dbus-daemon is not installed");
            return;
        }
        m_daemon.setProgram(daemon);
        m_daemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                               QStringLiteral("--print-address=1")});
        m_daemon.start();
        // The address is the daemon's first line, printed once it listens.
        QDeadlineTimer deadline(10000);
        while (!m_daemon.canReadLine() && !deadline.hasExpired() && m_daemon.state() != QProcess::NotRunning)
            m_daemon.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        if (m_address.isEmpty())
            m_error = QStringLiteral("dbus-daemon gave no address: ") + QString::fromUtf8(m_daemon.readAllStandardError());
    }
    ~PrivateBus()
    {
        for (const QString &name : m_connections)
            QDBusConnection::disconnectFromBus(name);
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.terminate();
            if (!m_daemon.waitForFinished(5000))
                m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    QString error() const { return m_error; }
    QString address() const { return m_address; }

    // A connection of its own to the bus, under a name unique to this bus.
    QDBusConnection connect(const QString &role)
    {
        const QString name = QStringLiteral("private-bus-%1-%2").arg(quintptr(this)).arg(role);
        m_connections << name;
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QProcess m_daemon;
    QString m_address;
    QString m_error;
    QStringList m_connections;
};

// Sends call on client and pumps events until its answer arrives (or the time
// runs out: the answer is then an error message).
inline QDBusMessage callAndWait(const QDBusConnection &client, const QDBusMessage &call, int timeoutMs = 5000)
{
    QDBusPendingCall pending = client.asyncCall(call, timeoutMs);
    QDeadlineTimer deadline(timeoutMs + 1000);
    while (!pending.isFinished() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return pending.reply();
}

// One interface of one object on one service, seen from a client connection.
class BusObject {
public:
    BusObject(QDBusConnection client, QString service, QString path, QString interface)
        : m_client(std::move(client)), m_service(std::move(service)), m_path(std::move(path)),
          m_interface(std::move(interface))
    {
    }
    QDBusMessage call(const QString &method, const QVariantList &args = {}) const
    {
        QDBusMessage m = QDBusMessage::createMethodCall(m_service, m_path, m_interface, method);
        m.setArguments(args);
        return callAndWait(m_client, m);
    }
    // The property's value; invalid when the Get failed.
    QVariant get(const QString &property) const
    {
        QDBusMessage m = QDBusMessage::createMethodCall(m_service, m_path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                        QStringLiteral("Get"));
        m << m_interface << property;
        const QDBusMessage reply = callAndWait(m_client, m);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        return reply.arguments().first().value<QDBusVariant>().variant();
    }
    QDBusMessage set(const QString &property, const QVariant &value) const
    {
        QDBusMessage m = QDBusMessage::createMethodCall(m_service, m_path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                        QStringLiteral("Set"));
        m << m_interface << property << QVariant::fromValue(QDBusVariant(value));
        return callAndWait(m_client, m);
    }

private:
    QDBusConnection m_client;
    QString m_service, m_path, m_interface;
};

} // namespace testsupport
