// Stand-alone portal simulator for the demo and for manual runs:
//   portal-sim [--port N] [--address 127.0.0.1]
// Prints the base address on the first line and the attachment host's on the
// second, then serves until killed.
#include "portal.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    quint16 port = 0;
    QHostAddress address = QHostAddress::LocalHost;
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--port")
            port = quint16(args[i + 1].toUInt());
        else if (args[i] == "--address")
            address = QHostAddress(args[i + 1]);
    }
    portalsim::PortalOptions options;
    options.chartDate = QDateTime::currentDateTime().toString("yyyy.MM.dd HH:00");
    portalsim::Portal portal(options);
    if (!portal.start(address, port)) {
        QTextStream(stderr) << "portal-sim: cannot listen on " << address.toString() << ':' << port << '\n';
        return 1;
    }
    QTextStream(stdout) << portal.baseUrl() << Qt::endl;
    QTextStream(stdout) << portal.attachBaseUrl() << Qt::endl; // the attachment host
    return app.exec();
}
