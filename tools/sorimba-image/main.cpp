// sorimba-image: the image engine from the command line.
//
//   sorimba-image [--max-pixels N] COMMAND ...
//   sorimba-image decode FILE [--icon WxH] [--depth N] [--raw OUT]
//   sorimba-image info FILE
//   sorimba-image encode FILE OUT.png [--icon WxH] [--filter N] [--text KEYWORD=TEXT]...
//                        [--time YYYY-MM-DDTHH:MM:SS] [--background RRGGBB]
//   sorimba-image apply FILE OP[,OP...] [--raw OUT] [--bmp OUT]
//
// decode loads any format the engine reads (PNG, GIF, icon, cursor, bitmap, JPEG)
// and prints "size=WxH type=T alpha=A" for the surface; --icon and --depth choose
// an icon or cursor entry (defaults 0x0, read as 32x32, and 32 bits); with --raw
// it also writes the pixels to OUT as premultiplied blue, green, red, alpha rows,
// top row first. info prints an icon or cursor file's directory, one line per
// entry: "entry=N size=WxH bits=B png=0|1". encode saves the loaded surface as
// PNG with the given properties, replacing an existing OUT.png without asking,
// and prints the same line as decode. apply runs image operations in order
// (listed in cmd_apply.cpp) and prints the same line.
// Outputs replace regular files only (a device, a pipe or a folder is refused);
// "-" writes to standard output, which then carries no surface line.
// No image may have more than 100 megapixels, decoded or made: --max-pixels N
// or the environment's SORIMBA_IMAGE_MAX_PIXELS sets another limit.
// Exit status: 0 done, 1 failed (reason on standard error), 2 usage.
#include "tool.h"

#include <QGuiApplication>
#include <cstdio>

namespace tool {

int usage()
{
    std::fprintf(stderr, "usage: sorimba-image [--max-pixels N] COMMAND ...\n"
                         "       sorimba-image decode FILE [--icon WxH] [--depth N] [--raw OUT]\n"
                         "       sorimba-image info FILE\n"
                         "       sorimba-image encode FILE OUT.png [--icon WxH] [--filter N] [--text KEYWORD=TEXT]...\n"
                         "                            [--time YYYY-MM-DDTHH:MM:SS] [--background RRGGBB]\n"
                         "       sorimba-image apply FILE OP[,OP...] [--raw OUT] [--bmp OUT]\n");
    return 2;
}

int fail(const QString &reason)
{
    std::fprintf(stderr, "sorimba-image: %s\n", qPrintable(reason));
    return 1;
}

int usageError(const QString &reason)
{
    std::fprintf(stderr, "sorimba-image: %s\n", qPrintable(reason));
    return 2;
}

namespace {

// A pixel limit as given: a positive whole number.
bool parseLimit(const QString &text, std::int64_t &pixels)
{
    bool ok = false;
    pixels = text.toLongLong(&ok);
    return ok && pixels > 0;
}

} // namespace

} // namespace tool

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
    QStringList words = app.arguments().mid(1);
    std::int64_t limit = tool::kDefaultMaxPixels;
    const QString fromEnvironment = qEnvironmentVariable("SORIMBA_IMAGE_MAX_PIXELS");
    if (!fromEnvironment.isEmpty() && !tool::parseLimit(fromEnvironment, limit))
        return tool::usageError(QStringLiteral("SORIMBA_IMAGE_MAX_PIXELS=%1: a positive number of pixels is expected")
                                    .arg(fromEnvironment));
    if (!words.isEmpty() && words[0] == QLatin1String("--max-pixels")) {
        if (words.size() < 2 || !tool::parseLimit(words[1], limit))
            return tool::usageError(QStringLiteral("--max-pixels: a positive number of pixels is expected"));
        words.remove(0, 2);
    }
    tool::setMaxPixels(limit);
    if (words.isEmpty())
        return tool::usage();
    const QString command = words[0];
    const QStringList args = words.mid(1);
    if (command == QLatin1String("decode"))
        return tool::decode(args);
    if (command == QLatin1String("info"))
        return tool::info(args);
    if (command == QLatin1String("encode"))
        return tool::encode(args);
    if (command == QLatin1String("apply"))
        return tool::apply(args);
    return tool::usage();
}
