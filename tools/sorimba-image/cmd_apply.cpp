// apply FILE OP[,OP...] [--raw OUT] [--bmp OUT] [--png OUT]: the operations run
// in order on the loaded surface, then the surface line is printed; --bmp and
// --png save the result as a BMP or (through the engine's encoder) PNG file.
// Operations:
//   resize=WxH, resize-nearest=WxH   own bilinear / nearest-neighbour resampler
//   gray=F                           gray formula F (0..7)
//   invert, trim, key=RRGGBB         inverse colours, cut transparent borders,
//                                    make opaque pixels of that colour transparent
//   mirror=x|y|xy                    flip left-right, top-bottom or both
//   checker=N                        a checkerboard of N-pixel squares (N >= 1)
//   shadow=D:RRGGBB                  the drop shadow of blur depth D (0..10) replaces the image
//   rotate=DEG, rotate-nearest=DEG   turned about its centre onto a transparent
//                                    square as wide as the image's diagonal
//   render=WxH:OPACITY:GRAY          drawn at (0, 0) with its own size onto an opaque
//                                    white W x H surface (OPACITY 1..100,
//                                    GRAY -1: none, to 7)
// An operation that fails ends with status 1 and its name on standard error;
// one whose result would have more pixels than the tool's limit is refused
// before it runs, also with status 1. A malformed operation (a size that is
// not positive, or a value out of its range, among them) ends with status 2 and
// says which and why: values are refused rather than clamped.
#include "tool.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

namespace tool {

namespace {

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

// `why` is set for a failure or a malformed operation that can be told more
// precisely than by its name.
OpResult applyOne(imaging::c32bppDIB &dib, const QString &op, QString &why)
{
    const qsizetype eq = op.indexOf(QLatin1Char('='));
    const QString name = eq < 0 ? op : op.left(eq);
    const QString arg = eq < 0 ? QString() : op.mid(eq + 1);
    auto done = [](bool ok) { return ok ? OpResult::Done : OpResult::Failed; };
    // A size the result is to have: positive, and within the pixel limit.
    auto badSize = [&](std::int64_t w, std::int64_t h) -> std::optional<OpResult> {
        if (w <= 0 || h <= 0) {
            why = QStringLiteral("apply: %1: sizes must be positive").arg(op);
            return OpResult::BadSyntax;
        }
        if (!pixelsAllowed(w, h, op, why))
            return OpResult::Failed;
        return std::nullopt;
    };
    // A number that must lie within [low, high].
    auto outOfRange = [&](int value, int low, int high, const char *what) -> std::optional<OpResult> {
        if (value >= low && value <= high)
            return std::nullopt;
        why = QStringLiteral("apply: %1: %2 must be %3 to %4").arg(op, QLatin1String(what)).arg(low).arg(high);
        return OpResult::BadSyntax;
    };
    bool ok = false;
    if (name == QLatin1String("resize") || name == QLatin1String("resize-nearest")) {
        std::int32_t w, h;
        if (!parseSize(arg, w, h))
            return OpResult::BadSyntax;
        if (const auto refused = badSize(w, h))
            return *refused;
        // The engine's own resampler scales: the alpha-blend call is switched off.
        dib.setAlphaBlendFriendly(false);
        dib.setHighQualityInterpolation(name == QLatin1String("resize"));
        return done(dib.Resize(w, h));
    }
    if (name == QLatin1String("gray")) {
        const int formula = arg.toInt(&ok);
        if (!ok)
            return OpResult::BadSyntax;
        if (const auto refused = outOfRange(formula, 0, 7, "the gray formula"))
            return *refused;
        return done(dib.MakeGrayScale(formula));
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
        if (!ok)
            return OpResult::BadSyntax;
        if (size < 1) {
            why = QStringLiteral("apply: %1: sizes must be positive").arg(op);
            return OpResult::BadSyntax;
        }
        return done(dib.CreateCheckerBoard(size));
    }
    if (name == QLatin1String("shadow")) {
        const QStringList parts = arg.split(QLatin1Char(':'));
        std::uint32_t colour;
        const int depth = parts.size() == 2 ? parts[0].toInt(&ok) : 0;
        if (!ok || !parseColour(parts[1], colour))
            return OpResult::BadSyntax;
        if (const auto refused = outOfRange(depth, 0, 10, "the blur depth"))
            return *refused;
        // The shadow is as large as the image and its blur on every side.
        const std::int64_t blur = depth;
        if (const auto refused = badSize(dib.Width() + 2 * blur, dib.Height() + 2 * blur))
            return *refused;
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
        const std::int64_t side = std::llrint(diagonal);
        if (const auto refused = badSize(side, side))
            return *refused;
        if (side > INT32_MAX)
            return OpResult::Failed;
        const std::int32_t d = std::int32_t(side);
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
        if (const auto refused = outOfRange(opacity, 1, 100, "the opacity"))
            return *refused;
        if (const auto refused = outOfRange(grayFormula, -1, 7, "the gray formula"))
            return *refused;
        if (const auto refused = badSize(w, h))
            return *refused;
        // Through the engine's own pipeline, into the white surface's memory.
        dib.setAlphaBlendFriendly(false);
        return replaceWith(dib, w, h, true, [&](imaging::c32bppDIB &target, gdi::HDC dc) {
            return dib.Render(dc, 0, 0, 0, 0, 0, 0, 0, 0, opacity, true, true, &target, grayFormula);
        });
    }
    return OpResult::BadSyntax;
}

} // namespace

int apply(const QStringList &args)
{
    if (args.size() < 2)
        return usage();
    QString rawOut, bmpOut, pngOut;
    for (qsizetype i = 2; i < args.size(); i += 2) {
        const QString &flag = args[i];
        QString *out = flag == QLatin1String("--raw") ? &rawOut
                       : flag == QLatin1String("--bmp") ? &bmpOut
                       : flag == QLatin1String("--png") ? &pngOut
                                                        : nullptr;
        if (i + 1 >= args.size() || !out)
            return usage();
        *out = args[i + 1];
    }
    const int toStandardOutput = int(isStandardOutput(rawOut)) + int(isStandardOutput(bmpOut)) + int(isStandardOutput(pngOut));
    if (toStandardOutput > 1)
        return usageError(QStringLiteral("apply: only one output can be written to standard output"));
    imaging::c32bppDIB dib;
    QString reason;
    if (!loadImage(args[0], dib, reason))
        return fail(reason);
    for (const QString &op : args[1].split(QLatin1Char(','))) {
        QString why;
        switch (applyOne(dib, op, why)) {
        case OpResult::Done: break;
        case OpResult::BadSyntax: return why.isEmpty() ? usage() : usageError(why);
        case OpResult::Failed: return fail(why.isEmpty() ? QStringLiteral("%1 failed").arg(op) : why);
        }
    }
    if (toStandardOutput == 0)
        printSurface(dib);
    if (!rawOut.isEmpty() && !writeOutput(rawOut, rawPixels(dib), reason))
        return fail(reason);
    if (!bmpOut.isEmpty()) {
        imaging::ByteArray bmp;
        if (!dib.SaveToStream(bmp))
            return fail(QStringLiteral("cannot make a bitmap of the result"));
        if (!writeOutput(bmpOut, QByteArray(reinterpret_cast<const char *>(bmp.data()), qsizetype(bmp.size())), reason))
            return fail(reason);
    }
    if (!pngOut.isEmpty()) {
        imaging::ByteArray png;
        if (!dib.SaveToStream_PNG(png))
            return fail(QStringLiteral("cannot encode the result as PNG"));
        if (!writeOutput(pngOut, QByteArray(reinterpret_cast<const char *>(png.data()), qsizetype(png.size())), reason))
            return fail(reason);
    }
    return 0;
}

} // namespace tool
