#pragma once

#include <QString>
#include <QUrl>
#include <QtGlobal>

// The user's standard folders and the program's identity, as the desktop
// names them: Documents is the XDG documents folder, the library folder the
// XDG data home (~/.local/share) and the caches folder the XDG cache home
// (~/.cache). Paths come without a trailing "/".

QUrl rv_documentURL();
QString rv_documentPath();
QUrl rv_libraryURL();
QString rv_libraryPath();
QUrl rv_cacheURL();
QString rv_cachePath();

// The sizes of the three folders above added up, in decimal units
// ("1.5 MB").
QString rv_applicationSize();
// The sum of the sizes of the entries directly inside the folder, hidden
// ones included; a subfolder counts with its own entry's size, not its
// contents. 0 for a missing, empty or unreadable folder.
quint64 rv_sizeOfFolder(const QString &path);

// The program's name, identifier (its desktop file name, else its name),
// version and build number, as the program set them at start-up.
QString rv_appBundleName();
QString rv_appBundleID();
QString rv_appVersion();
QString rv_appBuildVersion();
