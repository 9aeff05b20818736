#pragma once
// The download folder, kept per user as Sorimba2 / Setting / DownloadPath in
// $XDG_CONFIG_HOME/Sorimba2/Sorimba2.conf.
#include <QString>

class QWidget;

namespace download {

// The stored folder; the user's Music folder when nothing is stored yet (an
// existing key, even empty, wins).
QString loadDownloadPath();
// The folder used when nothing is stored: the user's Music folder (which a
// new account may not have yet), else the home folder.
QString defaultDownloadPath();
void storeDownloadPath(const QString &path);

// The folder browser; an empty string when the user cancels.
QString ReciveFolder(QWidget *owner, const QString &startFolder = {});

} // namespace download
