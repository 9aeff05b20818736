// sorimba-image: the image engine from the command line.
//
//   sorimba-image decode FILE [--icon WxH] [--depth N] [--raw OUT]
//   sorimba-image info FILE
//
// decode loads any format the engine reads (PNG, GIF, icon, cursor, bitmap, JPEG)
// and prints "size=WxH type=T alpha=A" for the surface; --icon and --depth choose
// an icon or cursor entry (defaults 0x0, read as 32x32, and 32 bits); with --raw
// it also writes the pixels to OUT as premultiplied blue, green, red, alpha rows,
// top row first. info prints an icon or cursor file's directory, one line per
// entry: "entry=N size=WxH bits=B png=0|1".
// Exit status: 0 done, 1 not decoded or not an icon (reason on standard error),
// 2 usage.
#include "imaging/c32bppDIB.h"
#include "imaging/ico_parser.h"
#include "imaging/parsers.h"

#include <QFile>
#include <QGuiApplication>
#include <QString>
#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: sorimba-image decode FILE [--icon WxH] [--depth N] [--raw OUT]\n"
                         "       sorimba-image info FILE\n");
    return 2;
}

int fail(const QString &reason)
{
    std::fprintf(stderr, "sorimba-image: %s\n", qPrintable(reason));
    return 1;
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

int decode(const QString &file, const QString &rawOut, std::int32_t iconW, std::int32_t iconH, std::int32_t depth)
{
    const int fd = imaging::OpenFileHandle(file, true);
    if (fd == imaging::INVALID_HANDLE_VALUE)
        return fail(QStringLiteral("cannot open %1").arg(file));
    imaging::CloseFileHandle(fd);
    imaging::c32bppDIB dib;
    if (!dib.LoadPicture_File(file, iconW, iconH, false, depth))
        return fail(QStringLiteral("%1: not a recognised image, or its data could not be decoded").arg(file));
    std::printf("size=%dx%d type=%d alpha=%d\n", dib.Width(), dib.Height(), dib.ImageType(), dib.Alpha() ? 1 : 0);
    if (!rawOut.isEmpty() && !writeRaw(dib, rawOut))
        return fail(QStringLiteral("cannot write %1").arg(rawOut));
    return 0;
}

int info(const QString &file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot open %1").arg(file));
    const QByteArray data = in.read(qint64(INT32_MAX));
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

bool parseSize(const QString &text, std::int32_t &w, std::int32_t &h)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    bool okW = false, okH = false;
    if (parts.size() != 2)
        return false;
    w = parts[0].toInt(&okW);
    h = parts[1].toInt(&okH);
    return okW && okH;
}

} // namespace

int main(int argc, char **argv)
{
    // Standard error carries only the tool's own one-line reasons.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(msg));
    });
    // The drawing layer behind the surfaces wants a GUI application; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3)
        return usage();
    const QString command = QString::fromLocal8Bit(argv[1]);
    const QString file = QString::fromLocal8Bit(argv[2]);
    if (command == QLatin1String("info"))
        return argc == 3 ? info(file) : usage();
    if (command != QLatin1String("decode"))
        return usage();
    QString rawOut;
    std::int32_t iconW = 0, iconH = 0, depth = 32;
    for (int i = 3; i < argc; i += 2) {
        const QString option = QString::fromLocal8Bit(argv[i]);
        if (i + 1 >= argc)
            return usage();
        const QString value = QString::fromLocal8Bit(argv[i + 1]);
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
    return decode(file, rawOut, iconW, iconH, depth);
}
