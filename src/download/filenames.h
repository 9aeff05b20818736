#pragma once
// File names taken from addresses, made safe to create in the download folder.
#include <QString>

namespace download {

// No path separators, no "..", no control characters, not empty, at most 255
// bytes in UTF-8 (shortened before the extension, never inside a character).
QString safeFileName(const QString &name);

// The folder and the name joined with the native separator.
QString joinPath(const QString &folder, const QString &name);

} // namespace download
