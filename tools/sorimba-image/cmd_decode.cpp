// decode FILE [--icon WxH] [--depth N] [--raw OUT], and info FILE.
#include "imaging/ico_parser.h"
#include "tool.h"

#include <QFile>
#include <cstdio>

namespace tool {

int decode(const QStringList &args)
{
    if (args.isEmpty())
        return usage();
    const QString file = args[0];
    QString rawOut;
    std::int32_t iconW = 0, iconH = 0, depth = 32;
    for (qsizetype i = 1; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return usage();
        const QString &option = args[i];
        const QString &value = args[i + 1];
        bool ok = true;
        if (option == QLatin1String("--raw"))
            rawOut = value;
        else if (option == QLatin1String("--icon"))
            ok = parseSize(value, iconW, iconH);
        else if (option == QLatin1String("--depth"))
            depth = value.toInt(&ok);
        else
            ok = false;
        if (!ok)
            return usage();
    }
    imaging::c32bppDIB dib;
    QString reason;
    if (!loadImage(file, dib, reason, iconW, iconH, depth))
        return fail(reason);
    if (!isStandardOutput(rawOut))
        printSurface(dib);
    if (!rawOut.isEmpty() && !writeOutput(rawOut, rawPixels(dib), reason))
        return fail(reason);
    return 0;
}

int info(const QStringList &args)
{
    if (args.size() != 1)
        return usage();
    const QString file = args[0];
    QByteArray data;
    QString reason;
    if (!readInput(file, data, reason))
        return fail(reason);
    imaging::ByteArray bytes(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t *>(data.constData()),
                                                           std::size_t(data.size())));
    imaging::cICOparser ico;
    std::int32_t offset = 0, length = 0, depth = 32;
    std::uint32_t token = 0;
    ico.LoadStream(bytes, 0, 0, nullptr, offset, length, depth, token);
    // A directory that lists entries is printed even when one entry is unusable.
    if (ico.IconCount() == 0)
        return fail(QStringLiteral("%1: not an icon or cursor file").arg(file));
    for (std::int32_t i = 1; i <= ico.IconCount(); ++i)
        std::printf("entry=%d size=%dx%d bits=%d png=%d\n", i, ico.Width(i), ico.Height(i), ico.bitDepth(i),
                    ico.IsIconPNG(i) ? 1 : 0);
    return 0;
}

} // namespace tool
