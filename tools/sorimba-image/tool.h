#pragma once
// Shared pieces of the image tool's commands: loading through the engine,
// the one-line surface report, raw pixel output and the exit statuses
// (0 done, 1 failed with a reason on standard error, 2 usage).
#include "imaging/c32bppDIB.h"

#include <QString>
#include <QStringList>

namespace tool {

int usage();
int fail(const QString &reason);

// Loads FILE through the engine's loading pipeline; --icon and --depth choose
// an icon entry. False with the reason when it is not an image.
bool loadImage(const QString &file, imaging::c32bppDIB &dib, QString &reason, std::int32_t iconWidth = 0,
               std::int32_t iconHeight = 0, std::int32_t depth = 32);

// "size=WxH type=T alpha=A"
void printSurface(const imaging::c32bppDIB &dib);

// The pixels as premultiplied blue, green, red, alpha rows, top row first.
bool writeRaw(const imaging::c32bppDIB &dib, const QString &path);

// "WxH"
bool parseSize(const QString &text, std::int32_t &width, std::int32_t &height);

// The commands; args are the words after the command's name.
int decode(const QStringList &args);
int info(const QStringList &args);
int encode(const QStringList &args);
int apply(const QStringList &args);

} // namespace tool
