// sorimba-image: the image engine from the command line.
//
//   sorimba-image decode FILE [--raw OUT]
//   sorimba-image encode FILE OUT.png [--filter N] [--text KEYWORD=TEXT]...
//                        [--time YYYY-MM-DDTHH:MM:SS] [--background RRGGBB]
//
// Prints "size=WxH type=T alpha=A" for the decoded surface; with --raw also writes
// its pixels to OUT as premultiplied blue, green, red, alpha rows, top row first.
// encode saves the decoded surface as PNG with the given properties, replacing
// an existing OUT.png without asking, and prints the same line.
// Exit status: 0 done, 1 failed (reason on standard error), 2 usage.
#include "imaging/c32bppDIB.h"
#include "imaging/parsers.h"
#include "imaging/png/png_parser.h"
#include "imaging/png/png_writer.h"

#include <QFile>
#include <QGuiApplication>
#include <QString>
#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: sorimba-image decode FILE [--raw OUT]\n"
                         "       sorimba-image encode FILE OUT.png [--filter N] [--text KEYWORD=TEXT]...\n"
                         "                            [--time YYYY-MM-DDTHH:MM:SS] [--background RRGGBB]\n");
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

// Decodes FILE into the surface; on failure `reason` says why.
bool load(const QString &file, imaging::c32bppDIB &dib, QString &reason)
{
    const int fd = imaging::OpenFileHandle(file, true);
    if (fd == imaging::INVALID_HANDLE_VALUE) {
        reason = QStringLiteral("cannot open %1").arg(file);
        return false;
    }
    std::uint32_t token = dib.gdiToken();
    imaging::cPNGparser png;
    const bool isPng = png.LoadFile(fd, file, dib, token);
    imaging::CloseFileHandle(fd);
    if (!isPng)
        reason = QStringLiteral("%1: not a recognised image").arg(file);
    else if (dib.Handle() == 0)
        reason = QStringLiteral("%1: image data could not be decoded").arg(file);
    return isPng && dib.Handle() != 0;
}

void printSurface(const imaging::c32bppDIB &dib)
{
    std::printf("size=%dx%d type=%d alpha=%d\n", dib.Width(), dib.Height(), dib.ImageType(), dib.Alpha() ? 1 : 0);
}

int decode(const QString &file, const QString &rawOut)
{
    imaging::c32bppDIB dib;
    QString reason;
    if (!load(file, dib, reason))
        return fail(reason);
    printSurface(dib);
    if (!rawOut.isEmpty() && !writeRaw(dib, rawOut))
        return fail(QStringLiteral("cannot write %1").arg(rawOut));
    return 0;
}

// The encode options as PNG properties; false (with the reason) when the
// encoder refuses one. A malformed option is a usage error (`usageError`).
bool setProperties(imaging::c32bppDIB &dib, const QStringList &options, bool &usageError, QString &reason)
{
    usageError = false;
    for (qsizetype i = 0; i < options.size(); i += 2) {
        const QString &option = options[i];
        if (i + 1 >= options.size()) {
            usageError = true;
            return false;
        }
        const QString &value = options[i + 1];
        bool ok = false;
        if (option == QLatin1String("--filter")) {
            const int mode = value.toInt(&ok);
            if (!ok) {
                usageError = true;
                return false;
            }
            ok = dib.PngPropertySet(imaging::pngFilterMode, mode);
        } else if (option == QLatin1String("--text")) {
            const qsizetype eq = value.indexOf(QChar('='));
            if (eq < 0) {
                usageError = true;
                return false;
            }
            ok = dib.PngPropertySet(imaging::pngCustomText, value.mid(eq + 1), value.left(eq));
        } else if (option == QLatin1String("--time")) {
            ok = dib.PngPropertySet(imaging::pngTime, value);
        } else if (option == QLatin1String("--background")) {
            const uint rgb = value.toUInt(&ok, 16);
            if (!ok || value.size() != 6) {
                usageError = true;
                return false;
            }
            // RRGGBB into a colour reference: red in the low byte.
            const std::int32_t colour = std::int32_t(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
            ok = dib.PngPropertySet(imaging::pngBackground, colour);
        } else {
            usageError = true;
            return false;
        }
        if (!ok) {
            reason = QStringLiteral("%1 %2: refused by the encoder").arg(option, value);
            return false;
        }
    }
    return true;
}

int encode(const QString &file, const QString &out, const QStringList &options)
{
    imaging::c32bppDIB dib;
    bool usageError = false;
    QString reason;
    // The properties are kept across the load, so a bad option is reported
    // before any work.
    if (!setProperties(dib, options, usageError, reason))
        return usageError ? usage() : fail(reason);
    if (!load(file, dib, reason))
        return fail(reason);
    if (!dib.SaveToFile_PNG(out, false))
        return fail(QStringLiteral("cannot write %1").arg(out));
    printSurface(dib);
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
    const QStringList args = app.arguments().mid(1);
    if (args.size() >= 2 && args[0] == QLatin1String("decode")) {
        if (args.size() == 2)
            return decode(args[1], QString());
        if (args.size() == 4 && args[2] == QLatin1String("--raw"))
            return decode(args[1], args[3]);
        return usage();
    }
    if (args.size() >= 3 && args[0] == QLatin1String("encode"))
        return encode(args[1], args[2], args.mid(3));
    return usage();
}
