// sorimba-image: the image engine from the command line.
//
//   sorimba-image decode FILE [--raw OUT]
//   sorimba-image apply FILE OP[,OP...] [--raw OUT] [--bmp OUT]
//
// Prints "size=WxH type=T alpha=A" for the decoded surface; with --raw also writes
// its pixels to OUT as premultiplied blue, green, red, alpha rows, top row first.
// apply runs the operations in order on the decoded surface before printing;
// --bmp saves the result as a BMP file. Operations:
//   resize=WxH, resize-nearest=WxH   own bilinear / nearest-neighbour resampler
//   gray=F                           gray formula F (0..7)
//   invert, trim, key=RRGGBB         inverse colours, cut transparent borders,
//                                    make opaque pixels of that colour transparent
//   mirror=x|y|xy                    flip left-right, top-bottom or both
//   checker=N                        a checkerboard of N-pixel squares
//   shadow=D:RRGGBB                  the drop shadow of blur depth D replaces the image
//   rotate=DEG, rotate-nearest=DEG   turned about its centre onto a transparent
//                                    square as wide as the image's diagonal
//   render=WxH:OPACITY:GRAY          drawn at (0, 0) with its own size onto an opaque
//                                    white W x H surface (GRAY -1: none)
// Exit status: 0 decoded (and every operation done), 1 not decoded or an operation
// failed (reason on standard error), 2 usage.
#include "imaging/c32bppDIB.h"
#include "imaging/parsers.h"
#include "imaging/png/png_parser.h"

#include <QFile>
#include <QGuiApplication>
#include <QString>
#include <QStringList>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: sorimba-image decode FILE [--raw OUT]\n"
                         "       sorimba-image apply FILE OP[,OP...] [--raw OUT] [--bmp OUT]\n");
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

// ---- apply ------------------------------------------------------------------

bool parseSize(const QString &text, std::int32_t &w, std::int32_t &h)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    bool okW = false, okH = false;
    if (parts.size() == 2) {
        w = parts[0].toInt(&okW);
        h = parts[1].toInt(&okH);
    }
    return okW && okH;
}

// "RRGGBB" as a colour with red in the low byte.
bool parseColour(const QString &text, std::uint32_t &colour)
{
    bool ok = false;
    const std::uint32_t v = text.toUInt(&ok, 16);
    if (!ok || text.size() != 6)
        return false;
    colour = gdi::RGB(int(v >> 16) & 255, int(v >> 8) & 255, int(v) & 255);
    return true;
}

enum class OpResult { Done, Failed, BadSyntax };

// The image drawn onto a new surface that then replaces it.
OpResult replaceWith(imaging::c32bppDIB &dib, std::int32_t w, std::int32_t h, bool opaqueWhite,
                     const std::function<bool(imaging::c32bppDIB &target, gdi::HDC dc)> &draw)
{
    imaging::c32bppDIB target;
    if (!target.InitializeDIB(w, h))
        return OpResult::Failed;
    if (opaqueWhite)
        std::memset(target.BitsPointer(), 255, std::size_t(target.scanWidth()) * std::size_t(h));
    const gdi::HDC dc = target.LoadDIBinDC(true);
    const bool ok = dc && draw(target, dc);
    target.LoadDIBinDC(false);
    if (!ok)
        return OpResult::Failed;
    target.setImageType(dib.ImageType());
    target.setAlpha(!opaqueWhite);
    target.CopyImageTo(dib);
    return OpResult::Done;
}

OpResult applyOne(imaging::c32bppDIB &dib, const QString &op)
{
    const qsizetype eq = op.indexOf(QLatin1Char('='));
    const QString name = eq < 0 ? op : op.left(eq);
    const QString arg = eq < 0 ? QString() : op.mid(eq + 1);
    auto done = [](bool ok) { return ok ? OpResult::Done : OpResult::Failed; };
    bool ok = false;
    if (name == QLatin1String("resize") || name == QLatin1String("resize-nearest")) {
        std::int32_t w, h;
        if (!parseSize(arg, w, h))
            return OpResult::BadSyntax;
        // The engine's own resampler scales: the alpha-blend call is switched off.
        dib.setAlphaBlendFriendly(false);
        dib.setHighQualityInterpolation(name == QLatin1String("resize"));
        return done(dib.Resize(w, h));
    }
    if (name == QLatin1String("gray")) {
        const int formula = arg.toInt(&ok);
        return ok ? done(dib.MakeGrayScale(formula)) : OpResult::BadSyntax;
    }
    if (op == QLatin1String("invert"))
        return done(dib.MakeImageInverse());
    if (op == QLatin1String("trim"))
        return done(dib.TrimImage(true, 0));
    if (name == QLatin1String("key")) {
        std::uint32_t colour;
        return parseColour(arg, colour) ? done(dib.MakeTransparent(colour)) : OpResult::BadSyntax;
    }
    if (name == QLatin1String("mirror")) {
        if (arg != QLatin1String("x") && arg != QLatin1String("y") && arg != QLatin1String("xy"))
            return OpResult::BadSyntax;
        return done(dib.MirrorImage(arg.contains(QLatin1Char('x')), arg.contains(QLatin1Char('y'))));
    }
    if (name == QLatin1String("checker")) {
        const int size = arg.toInt(&ok);
        return ok ? done(dib.CreateCheckerBoard(size)) : OpResult::BadSyntax;
    }
    if (name == QLatin1String("shadow")) {
        const QStringList parts = arg.split(QLatin1Char(':'));
        std::uint32_t colour;
        const int depth = parts.size() == 2 ? parts[0].toInt(&ok) : 0;
        if (!ok || !parseColour(parts[1], colour))
            return OpResult::BadSyntax;
        const std::unique_ptr<imaging::c32bppDIB> shadow = dib.CreateDropShadow(depth, colour);
        if (!shadow)
            return OpResult::Failed;
        shadow->CopyImageTo(dib);
        return OpResult::Done;
    }
    if (name == QLatin1String("rotate") || name == QLatin1String("rotate-nearest")) {
        const float angle = arg.toFloat(&ok);
        if (!ok)
            return OpResult::BadSyntax;
        dib.setHighQualityInterpolation(name == QLatin1String("rotate"));
        const double diagonal = std::sqrt(double(dib.Width()) * dib.Width() + double(dib.Height()) * dib.Height());
        const std::int32_t d = std::int32_t(std::llrint(diagonal));
        return replaceWith(dib, d, d, false, [&](imaging::c32bppDIB &target, gdi::HDC dc) {
            return dib.RotateAtCenterPoint(dc, angle, d / 2, d / 2, 0, 0, 0, 0, 0, 0, 100, &target);
        });
    }
    if (name == QLatin1String("render")) {
        const QStringList parts = arg.split(QLatin1Char(':'));
        std::int32_t w, h;
        bool okOpacity = false, okGray = false;
        if (parts.size() != 3 || !parseSize(parts[0], w, h))
            return OpResult::BadSyntax;
        const int opacity = parts[1].toInt(&okOpacity), grayFormula = parts[2].toInt(&okGray);
        if (!okOpacity || !okGray)
            return OpResult::BadSyntax;
        // Through the engine's own pipeline, into the white surface's memory.
        dib.setAlphaBlendFriendly(false);
        return replaceWith(dib, w, h, true, [&](imaging::c32bppDIB &target, gdi::HDC dc) {
            return dib.Render(dc, 0, 0, 0, 0, 0, 0, 0, 0, opacity, true, true, &target, grayFormula);
        });
    }
    return OpResult::BadSyntax;
}

int apply(const QString &file, const QString &ops, const QString &rawOut, const QString &bmpOut)
{
    const QStringList list = ops.split(QLatin1Char(','));
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
    for (const QString &op : list) {
        switch (applyOne(dib, op)) {
        case OpResult::Done: break;
        case OpResult::BadSyntax: return usage();
        case OpResult::Failed: return fail(QStringLiteral("%1 failed").arg(op));
        }
    }
    std::printf("size=%dx%d type=%d alpha=%d\n", dib.Width(), dib.Height(), dib.ImageType(), dib.Alpha() ? 1 : 0);
    if (!rawOut.isEmpty() && !writeRaw(dib, rawOut))
        return fail(QStringLiteral("cannot write %1").arg(rawOut));
    if (!bmpOut.isEmpty() && !dib.SaveToFile(bmpOut, false))
        return fail(QStringLiteral("cannot write %1").arg(bmpOut));
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
    if (argc >= 4 && QString::fromLocal8Bit(argv[1]) == QLatin1String("apply")) {
        QString rawOut, bmpOut;
        for (int i = 4; i < argc; i += 2) {
            const QString flag = QString::fromLocal8Bit(argv[i]);
            if (i + 1 >= argc || (flag != QLatin1String("--raw") && flag != QLatin1String("--bmp")))
                return usage();
            (flag == QLatin1String("--raw") ? rawOut : bmpOut) = QString::fromLocal8Bit(argv[i + 1]);
        }
        return apply(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), rawOut, bmpOut);
    }
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
