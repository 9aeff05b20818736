#pragma once
// The download folder, kept per user as Sorimba2 / Setting / DownloadPath in
// $XDG_CONFIG_HOME/Sorimba2/Sorimba2.conf.
#include <QString>

class QWidget;

namespace download {

// The stored folder; the user's Music folder when nothing is stored yet (an
// existing key, even empty, wins).
QString loadDownloadPath();
void storeDownloadPath(const QString &path);

// The folder browser; an empty string when the user cancels.
QString ReciveFolder(QWidget *owner, const QString &startFolder = {});

} // namespace download
