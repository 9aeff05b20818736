#pragma once
// Opening an address or a folder with the desktop's own program (the web
// browser, the file manager), behind a hook that tests can record.
#include <QUrl>
#include <functional>

namespace platform {

class Desktop {
public:
    // Asks the desktop to open the address; false when it could not.
    static bool openUrl(const QUrl &url);

    // Test hook: while set, it receives the requests instead of the desktop.
    using OpenHandler = std::function<bool(const QUrl &)>;
    static void setOpenHandler(OpenHandler handler);
};

} // namespace platform
