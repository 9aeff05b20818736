// encode FILE OUT.png [--icon WxH] [--filter N] [--text KEYWORD=TEXT]... [--time ...] [--background RRGGBB]
// A text that Latin-1 holds goes as tEXt (zTXt when long), any other as iTXt
// in UTF-8; a keyword or text that cannot be written as given is a failure.
#include "imaging/png/png_writer.h"
#include "tool.h"

namespace tool {

namespace {

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
            if (mode < 0 || mode > 6) {
                usageError = true;
                reason = QStringLiteral("encode: --filter %1: the filter mode must be 0 to 6").arg(value);
                return false;
            }
            ok = dib.PngPropertySet(imaging::pngFilterMode, mode);
        } else if (option == QLatin1String("--text")) {
            const qsizetype eq = value.indexOf(QChar('='));
            if (eq < 0) {
                usageError = true;
                return false;
            }
            // Every character is kept or the text is refused with its reason;
            // the engine never empties it silently.
            QString why;
            if (!dib.PngTextSet(value.left(eq), value.mid(eq + 1), &why)) {
                reason = QStringLiteral("encode: --text keyword \"%1\": %2").arg(value.left(eq), why);
                return false;
            }
            ok = true;
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

} // namespace

int encode(const QStringList &args)
{
    if (args.size() < 2)
        return usage();
    imaging::c32bppDIB dib;
    bool usageError = false;
    QString reason;
    // --icon chooses the entry of an icon file; the other options are properties.
    QStringList options = args.mid(2);
    std::int32_t iconW = 0, iconH = 0;
    for (qsizetype i = 0; i < options.size(); i += 2) {
        if (options[i] != QLatin1String("--icon"))
            continue;
        if (i + 1 >= options.size() || !parseSize(options[i + 1], iconW, iconH))
            return usage();
        options.remove(i, 2);
        break;
    }
    // The properties are kept across the load, so a bad option is reported
    // before any work.
    if (!setProperties(dib, options, usageError, reason))
        return usageError ? (reason.isEmpty() ? usage() : tool::usageError(reason)) : fail(reason);
    if (!loadImage(args[0], dib, reason, iconW, iconH))
        return fail(reason);
    imaging::ByteArray png;
    if (!dib.SaveToStream_PNG(png))
        return fail(QStringLiteral("cannot encode %1 as PNG").arg(args[0]));
    const QByteArray bytes(reinterpret_cast<const char *>(png.data()), qsizetype(png.size()));
    if (!writeOutput(args[1], bytes, reason))
        return fail(reason);
    if (!isStandardOutput(args[1]))
        printSurface(dib);
    return 0;
}

} // namespace tool
