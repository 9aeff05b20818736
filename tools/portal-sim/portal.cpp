#include "portal.h"

#include <QStringEncoder>

namespace portalsim {

Portal::Portal(PortalOptions options) : m_options(std::move(options))
{
    installChartSite(m_server, m_options);
    installMusicSite(m_server);
    installSearchSite(m_server);
    installPostSite(m_server, [this] { return attachBaseUrl(); });
    installMakerSite(m_server);
    installPageSite(m_server, [this] { return attachBaseUrl(); });
    installMusicSite(m_attachServer);
}

bool Portal::start(const QHostAddress &address, quint16 port)
{
    if (m_server.start(address, port) == 0)
        return false;
    // The attachment host listens on the next loopback address when the main
    // one is loopback, else beside it on another port.
    QHostAddress attachAddress = address;
    if (address == QHostAddress(QHostAddress::LocalHost))
        attachAddress = QHostAddress(QStringLiteral("127.0.0.2"));
    if (m_attachServer.start(attachAddress, 0) == 0 && m_attachServer.start(address, 0) == 0) {
        m_server.stop();
        return false;
    }
    return true;
}

QString Portal::chartUrl() const
{
    return baseUrl() + QStringLiteral("/chart/chart_realtime_list.asp?jt=Real&MenuType=m");
}

QByteArray toCp949(const QString &text)
{
    QStringEncoder encoder("windows-949");
    return encoder.encode(text);
}

QString htmlEscape(const QString &text)
{
    return text.toHtmlEscaped();
}

} // namespace portalsim
