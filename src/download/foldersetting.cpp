#include "download/foldersetting.h"

#include "platform/dialogs.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace download {

namespace {
const QString kKey = QStringLiteral("Setting/DownloadPath");
} // namespace

QString loadDownloadPath()
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Sorimba2"), QStringLiteral("Sorimba2"));
    if (s.contains(kKey))
        return s.value(kKey).toString();
    return defaultDownloadPath();
}

QString defaultDownloadPath()
{
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty())
        music = QDir::homePath();
    return QDir::toNativeSeparators(music);
}

void storeDownloadPath(const QString &path)
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Sorimba2"), QStringLiteral("Sorimba2"));
    s.setValue(kKey, path);
    s.sync();
}

QString ReciveFolder(QWidget *owner, const QString &startFolder)
{
    return platform::Dialogs::browseFolder({QStringLiteral("음악을 저장할 곳을 선택하세요."), startFolder}, owner);
}

} // namespace download
