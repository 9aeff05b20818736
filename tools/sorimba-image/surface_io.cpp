#include "tool.h"

#include <QFile>
#include <cstdio>

namespace tool {

bool loadImage(const QString &file, imaging::c32bppDIB &dib, QString &reason, std::int32_t iconWidth,
               std::int32_t iconHeight, std::int32_t depth)
{
    QFile probe(file);
    if (!probe.open(QIODevice::ReadOnly)) {
        reason = QStringLiteral("cannot open %1").arg(file);
        return false;
    }
    probe.close();
    if (!dib.LoadPicture_File(file, iconWidth, iconHeight, false, depth)) {
        reason = QStringLiteral("%1: not a recognised image, or its data could not be decoded").arg(file);
        return false;
    }
    return true;
}

void printSurface(const imaging::c32bppDIB &dib)
{
    std::printf("size=%dx%d type=%d alpha=%d\n", dib.Width(), dib.Height(), dib.ImageType(), dib.Alpha() ? 1 : 0);
}

// Top row first, as a viewer expects; the surface keeps its rows bottom-up.
bool writeRaw(const imaging::c32bppDIB &dib, const QString &path)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const qint64 rowBytes = qint64(dib.scanWidth());
    for (std::int32_t y = 0; y < dib.Height(); ++y) {
        const std::uint8_t *row = dib.BitsPointer() + std::size_t(dib.Height() - 1 - y) * std::size_t(rowBytes);
        if (out.write(reinterpret_cast<const char *>(row), rowBytes) != rowBytes)
            return false;
    }
    return out.flush();
}

bool parseSize(const QString &text, std::int32_t &width, std::int32_t &height)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    bool okW = false, okH = false;
    if (parts.size() != 2)
        return false;
    width = parts[0].toInt(&okW);
    height = parts[1].toInt(&okH);
    return okW && okH;
}

} // namespace tool
