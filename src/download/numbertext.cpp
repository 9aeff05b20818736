#include "download/numbertext.h"

#include <cmath>

namespace download {

QString defaultNumberText(double value)
{
    if (value == 0 || !std::isfinite(value))
        return QStringLiteral("0");
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e-4 && magnitude < 1e15) {
        QString text = QString::number(value, 'f', std::max(0, 14 - int(std::floor(std::log10(magnitude)))));
        // Keep 15 significant digits, then drop trailing zeros.
        text = QString::number(text.toDouble(), 'g', 15);
        if (!text.contains('e'))
            return text;
    }
    QString text = QString::number(value, 'e', 14); // d.dddddddddddddde±XX
    const qsizetype e = text.indexOf('e');
    QString mantissa = text.left(e);
    QString exponent = text.mid(e + 1);
    if (mantissa.contains('.')) {
        while (mantissa.endsWith('0'))
            mantissa.chop(1);
        if (mantissa.endsWith('.'))
            mantissa.chop(1);
    }
    const QChar sign = exponent[0];
    QString digits = exponent.mid(1);
    while (digits.size() > 2 && digits.startsWith('0'))
        digits.remove(0, 1);
    if (digits.size() < 2)
        digits.prepend('0');
    return mantissa + 'E' + sign + digits;
}

QString megabyteText(qint64 bytes)
{
    const double megabytes = bytes / 1024.0 / 1024.0;
    if (megabytes > 0 && megabytes < 1e-4)
        return QStringLiteral("0.0000");
    return defaultNumberText(megabytes).left(6);
}

qint64 roundHalfEven(double value)
{
    return qint64(std::nearbyint(value)); // the default rounding mode is to nearest, ties to even
}

} // namespace download
