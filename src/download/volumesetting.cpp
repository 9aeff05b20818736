#include "download/volumesetting.h"

#include <QSettings>

namespace download {

namespace {
const QString kKey = QStringLiteral("Setting/Volume");
constexpr int kDefaultVolume = 100;

QSettings settings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Sorimba2"), QStringLiteral("Sorimba2"));
}
} // namespace

int loadVolume()
{
    bool ok = false;
    const int stored = settings().value(kKey).toInt(&ok);
    return ok ? qBound(0, stored, 100) : kDefaultVolume;
}

void storeVolume(int percent)
{
    QSettings s = settings();
    s.setValue(kKey, qBound(0, percent, 100));
    s.sync();
}

} // namespace download
