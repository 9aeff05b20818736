#include "sources/endpoints.h"

#include <QByteArray>

namespace sources {

namespace {
QString hostFromEnv(const char *variable, const char *fallback)
{
    QString host = qEnvironmentVariable(variable, QString::fromLatin1(fallback)).trimmed();
    while (host.endsWith('/'))
        host.chop(1);
    return host;
}
} // namespace

QString ChartURL()
{
    return hostFromEnv("SORIMBA_CHART_HOST", "http://music.cyworld.com")
           + QStringLiteral("/chart/chart_realtime_list.asp?jt=Real&MenuType=m");
}

QString SearchURLBase()
{
    return hostFromEnv("SORIMBA_SEARCH_HOST", "http://search.naver.com")
           + QStringLiteral("/search.naver?where=post&sm=tab_pge&query=");
}

QString BlogHostPrefix()
{
    return hostFromEnv("SORIMBA_BLOG_HOST", "http://blog.naver.com") + '/';
}

QString AttachHostPrefix()
{
    return hostFromEnv("SORIMBA_ATTACH_HOST", "http://blogattach.naver.com");
}

QString MakerCategoryURL()
{
    return qEnvironmentVariable("SORIMBA_MAKER_URL", QStringLiteral("http://sorimba.pyrnel.com/update.html"));
}

QString MakerPageURL()
{
    return qEnvironmentVariable("SORIMBA_MAKER_HOME", QStringLiteral("http://sorimba.pyrnel.com/"));
}

} // namespace sources
