#pragma once
// File names taken from addresses, made safe to create in the download folder.
#include <QString>

namespace download {

// No path separators, no "..", no control or bidirectional control characters,
// not empty, no leading dot (not hidden), at most 255 bytes in UTF-8 (the stem
// shortened and the extension kept, never cut inside a character).
QString safeFileName(const QString &name);

// The name shown for the last path segment of an address: %-escapes whose
// bytes are valid UTF-8 with multi-byte characters are read as UTF-8 (how
// blogs escape names today), anything else as the Korean code page. A segment
// that cannot be decoded is shown as it is.
QString proposedFileName(const QString &undecodedName);

// The undecoded name of the music file an address offers, or empty when it
// offers none: the last segment of the address's path when that ends in
// a music extension (a query or fragment after it is not part of the name),
// else the whole last segment as written when it ends in mp3, wav or wma (an
// older link puts the name in its query: "down.php?f=a.mp3").
QString musicFileName(const QString &address);

// The folder and the name joined with the native separator.
QString joinPath(const QString &folder, const QString &name);

} // namespace download
