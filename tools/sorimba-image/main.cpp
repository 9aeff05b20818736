// sorimba-image: the image engine from the command line.
//
//   sorimba-image [--max-pixels N] COMMAND ...
//   sorimba-image decode FILE [--icon WxH] [--depth N] [--raw OUT]
//   sorimba-image info FILE
//   sorimba-image encode FILE OUT.png [--icon WxH] [--filter N] [--text KEYWORD=TEXT]...
//                        [--time YYYY-MM-DDTHH:MM:SS] [--background RRGGBB]
//   sorimba-image apply FILE OP[,OP...] [--raw OUT] [--bmp OUT] [--png OUT]
//   sorimba-image help (or --help): this usage and every apply operation
//
// decode loads any format the engine reads (PNG, GIF, icon, cursor, bitmap, JPEG)
// and prints "size=WxH type=T (NAME) alpha=A" for the surface (the type's number
// and its name, e.g. "type=10 (Png)"); --icon and --depth choose
// an icon or cursor entry (defaults 0x0, read as 32x32, and 32 bits); with --raw
// it also writes the pixels to OUT as premultiplied blue, green, red, alpha rows,
// top row first. info prints an icon or cursor file's directory, one line per
// entry: "entry=N size=WxH bits=B png=0|1". encode saves the loaded surface as
// PNG with the given properties, replacing an existing OUT.png without asking,
// and prints the same line as decode; a text that Latin-1 cannot hold is
// written as iTXt in UTF-8, and a keyword or text that cannot be written as
// given fails. apply runs image operations in order
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

namespace {

const char kUsage[] =
    "usage: sorimba-image [--max-pixels N] COMMAND ...\n"
    "       sorimba-image decode FILE [--icon WxH] [--depth N] [--raw OUT]\n"
    "       sorimba-image info FILE\n"
    "       sorimba-image encode FILE OUT.png [--icon WxH] [--filter N] [--text KEYWORD=TEXT]...\n"
    "                            [--time YYYY-MM-DDTHH:MM:SS] [--background RRGGBB]\n"
    "       sorimba-image apply FILE OP[,OP...] [--raw OUT] [--bmp OUT] [--png OUT]\n"
    "       sorimba-image help\n";

const char kDetails[] =
    "\n"
    "apply operations, run in order:\n"
    "  resize=WxH, resize-nearest=WxH  scale (bilinear / nearest neighbour); sizes positive\n"
    "  gray=F                          gray formula F, 0 to 7\n"
    "  invert                          inverse colours\n"
    "  trim                            cut transparent borders\n"
    "  key=RRGGBB                      opaque pixels of that colour become transparent\n"
    "  mirror=x|y|xy                   flip left-right, top-bottom or both\n"
    "  checker=N                       a checkerboard of N-pixel squares, N positive\n"
    "  shadow=D:RRGGBB                 the drop shadow of blur depth D (0 to 10) replaces the image\n"
    "  rotate=DEG, rotate-nearest=DEG  turned about the centre onto a transparent square\n"
    "                                  as wide as the image's diagonal\n"
    "  render=WxH:OPACITY:GRAY         drawn onto an opaque white W x H surface;\n"
    "                                  OPACITY 0 to 100, GRAY -1 (none) to 7\n"
    "\n"
    "--filter N: 0 default, 1 to 5 one filter type on every row, 6 adaptive.\n"
    "--text KEYWORD=TEXT: a Latin-1 keyword of 1 to 79 characters, without spaces at\n"
    "its ends or two in a row; the text goes as tEXt when Latin-1 holds it, otherwise\n"
    "as iTXt in UTF-8 (CR LF and CR become LF); a NUL or any other control character\n"
    "than tab and line feed fails.\n"
    "decode, encode and apply print \"size=WxH type=T (NAME) alpha=A\" for the image,\n"
    "e.g. \"type=10 (Png)\".\n"
    "An output replaces a regular file only; \"-\" writes to standard output.\n"
    "No image may have more than --max-pixels pixels (SORIMBA_IMAGE_MAX_PIXELS;\n"
    "100000000 unless set).\n"
    "Exit status: 0 done, 1 failed (reason on standard error), 2 usage.\n";

} // namespace

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

int help()
{
    std::fputs(kUsage, stdout);
    std::fputs(kDetails, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
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
    if (command == QLatin1String("help") || command == QLatin1String("--help") || command == QLatin1String("-h"))
        return args.isEmpty() ? tool::help() : tool::usage();
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
