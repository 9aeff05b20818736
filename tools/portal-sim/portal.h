#pragma once
// The simulated portal: every site that the program reads, installed as routes
// on one HTTP server. Each site lives in its own file and adds its routes in
// install(); pages are served in CP949 as the real portal does.
//
// Variants: a leading path segment "/_v/name1,name2" selects misbehaving or
// unusual forms of a page (see each site for its names). Configure a host
// variable as "http://127.0.0.1:PORT/_v/rows98" to get the variant.
#include "catalogue.h"
#include "http_server.h"

#include <QString>

namespace portalsim {

struct PortalOptions {
    QString chartDate = QStringLiteral("2026.12.10 14:00"); // text of the chart's date span
};

class Portal {
public:
    explicit Portal(PortalOptions options = {});

    // Starts listening (port 0 picks a free one); returns false when it cannot.
    bool start(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0);
    void stop()
    {
        m_server.stop();
        m_attachServer.stop();
    }

    HttpServer &server() { return m_server; }
    QString baseUrl() const { return m_server.baseUrl(); }
    // The attachment file host: the same files on another loopback address
    // (127.0.0.2), so that its addresses never look like the blog's.
    HttpServer &attachServer() { return m_attachServer; }
    QString attachBaseUrl() const { return m_attachServer.baseUrl(); }
    QString chartUrl() const; // the full chart page address
    const PortalOptions &options() const { return m_options; }

private:
    PortalOptions m_options;
    HttpServer m_server;
    HttpServer m_attachServer;
};

// Page text helpers shared by the sites.
QByteArray toCp949(const QString &text);
QString htmlEscape(const QString &text);

// Site installers, one per file.
void installChartSite(HttpServer &server, const PortalOptions &options);
void installMusicSite(HttpServer &server);
void installSearchSite(HttpServer &server);
void installPostSite(HttpServer &server, std::function<QString()> attachBase);
void installMakerSite(HttpServer &server);
void installPageSite(HttpServer &server, std::function<QString()> attachBase);

} // namespace portalsim
