#include "platform/desktop.h"

#include <QDesktopServices>

namespace platform {

namespace {
Desktop::OpenHandler &openHandler()
{
    static Desktop::OpenHandler handler;
    return handler;
}
} // namespace

bool Desktop::openUrl(const QUrl &url)
{
    if (openHandler())
        return openHandler()(url);
    return QDesktopServices::openUrl(url);
}

void Desktop::setOpenHandler(OpenHandler handler)
{
    openHandler() = std::move(handler);
}

} // namespace platform
