#pragma once
// Shared pieces of the image tool's commands: loading through the engine,
// the one-line surface report, raw pixel output, writing outputs, the pixel
// limit and the exit statuses (0 done, 1 failed with a reason on standard
// error, 2 usage).
#include "imaging/c32bppDIB.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tool {

int usage();
// The usage with every apply operation, on standard output; status 0.
int help();
int fail(const QString &reason);
// A malformed call whose fault can be named: that line, then status 2.
int usageError(const QString &reason);

// The most pixels one image may have (decoded, or made by an operation);
// 100 megapixels unless --max-pixels or SORIMBA_IMAGE_MAX_PIXELS says more or
// less. Setting it also bounds the engine's own allocations.
inline constexpr std::int64_t kDefaultMaxPixels = 100'000'000;
std::int64_t maxPixels();
void setMaxPixels(std::int64_t pixels);
// False, with the reason naming `what`, when a width x height image would be
// above the limit.
bool pixelsAllowed(std::int64_t width, std::int64_t height, const QString &what, QString &reason);

// Loads FILE (a regular file) through the engine's loading pipeline; --icon
// and --depth choose an icon entry. A header claiming more pixels than the
// limit is refused before anything is decoded. False with the reason.
bool loadImage(const QString &file, imaging::c32bppDIB &dib, QString &reason, std::int32_t iconWidth = 0,
               std::int32_t iconHeight = 0, std::int32_t depth = 32);

// The bytes of a regular input file; false with the reason (a device or a
// pipe is refused: it could block or never end).
bool readInput(const QString &file, QByteArray &bytes, QString &reason);

// "size=WxH type=T (NAME) alpha=A": the type's number, then its name.
void printSurface(const imaging::c32bppDIB &dib);
// The name of a surface's ImageType ("Png", "AlphaIcon" ...), "Unknown" for
// a number that names none.
const char *imageTypeName(std::int32_t type);

// Writes an output: "-" is standard output; otherwise only a regular file (or
// a new one) is written, through a temporary file beside it renamed over it,
// so a device, a pipe or a folder named as output is refused and a failure
// leaves an old file whole. False with the reason.
bool writeOutput(const QString &path, const QByteArray &bytes, QString &reason);
bool isStandardOutput(const QString &path);

// The pixels as premultiplied blue, green, red, alpha rows, top row first.
QByteArray rawPixels(const imaging::c32bppDIB &dib);

// "WxH"
bool parseSize(const QString &text, std::int32_t &width, std::int32_t &height);

// The commands; args are the words after the command's name.
int decode(const QStringList &args);
int info(const QStringList &args);
int encode(const QStringList &args);
int apply(const QStringList &args);

} // namespace tool
