#pragma once
// The outside addresses the program reads. Compiled-in defaults are the real
// portals'; each host can be replaced by an environment variable (the tests
// and the demo point them at the portal simulator).
//   SORIMBA_CHART_HOST, SORIMBA_SEARCH_HOST, SORIMBA_BLOG_HOST,
//   SORIMBA_ATTACH_HOST: scheme, host and port;
//   SORIMBA_MAKER_URL, SORIMBA_MAKER_HOME: whole addresses.
#include <QString>

namespace sources {

QString ChartURL();
QString SearchURLBase();
QString BlogHostPrefix();
QString AttachHostPrefix();
QString MakerCategoryURL();
QString MakerPageURL();

} // namespace sources
