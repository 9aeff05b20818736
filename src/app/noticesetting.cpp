#include "app/noticesetting.h"

#include <QSettings>

namespace app {

namespace {
const QString kKey = QStringLiteral("Setting/NoticeAgreed");
} // namespace

bool noticeAgreed()
{
    const QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Sorimba2"), QStringLiteral("Sorimba2"));
    return s.value(kKey).toInt() == 1;
}

void storeNoticeAgreed()
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Sorimba2"), QStringLiteral("Sorimba2"));
    s.setValue(kKey, 1);
    s.sync();
}

} // namespace app
