#include "portal.h"

#include <QStringEncoder>

namespace portalsim {

Portal::Portal(PortalOptions options) : m_options(std::move(options))
{
    installChartSite(m_server, m_options);
    installMusicSite(m_server);
    installSearchSite(m_server);
}

bool Portal::start(const QHostAddress &address, quint16 port)
{
    return m_server.start(address, port) != 0;
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
