// sorimba-image: the image engine from the command line.
//
//   sorimba-image decode FILE [--raw OUT]
//
// Prints "size=WxH type=T alpha=A" for the decoded surface; with --raw also writes
// its pixels to OUT as premultiplied blue, green, red, alpha rows, top row first.
// Exit status: 0 decoded, 1 not decoded (reason on standard error), 2 usage.
#include "imaging/c32bppDIB.h"
#include "imaging/parsers.h"
#include "imaging/png/png_parser.h"

#include <QFile>
#include <QGuiApplication>
#include <QString>
#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: sorimba-image decode FILE [--raw OUT]\n");
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

int decode(const QString &file, const QString &rawOut)
{
    const int fd = imaging::OpenFileHandle(file, true);
    if (fd == imaging::INVALID_HANDLE_VALUE)
        return fail(QStringLiteral("cannot open %1").arg(file));
    imaging::c32bppDIB dib;
    std::uint32_t token = dib.gdiToken();
    imaging::cPNGparser png;
    const bool isPng = png.LoadFile(fd, file, dib, token);
    imaging::CloseFileHandle(fd);
    if (!isPng)
        return fail(QStringLiteral("%1: not a recognised image").arg(file));
    if (dib.Handle() == 0)
        return fail(QStringLiteral("%1: image data could not be decoded").arg(file));
    std::printf("size=%dx%d type=%d alpha=%d\n", dib.Width(), dib.Height(), dib.ImageType(), dib.Alpha() ? 1 : 0);
    if (!rawOut.isEmpty() && !writeRaw(dib, rawOut))
        return fail(QStringLiteral("cannot write %1").arg(rawOut));
    return 0;
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
    if (argc < 3 || QString::fromLocal8Bit(argv[1]) != QLatin1String("decode"))
        return usage();
    const QString file = QString::fromLocal8Bit(argv[2]);
    QString rawOut;
    if (argc == 5 && QString::fromLocal8Bit(argv[3]) == QLatin1String("--raw"))
        rawOut = QString::fromLocal8Bit(argv[4]);
    else if (argc != 3)
        return usage();
    return decode(file, rawOut);
}
