#include "Categories/RVApplication.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QStandardPaths>
#include <algorithm>
#include <cstdint>
#include <sys/stat.h>

namespace {

// The program keeps its build number as this property of the application
// object, where the casting library reads it too.
constexpr const char *kBuildProperty = "applicationBuild";

QString folder(QStandardPaths::StandardLocation location)
{
    return QStandardPaths::writableLocation(location);
}

QUrl folderUrl(QStandardPaths::StandardLocation location)
{
    const QString path = folder(location);
    return path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path);
}

} // namespace

QUrl rv_documentURL() { return folderUrl(QStandardPaths::DocumentsLocation); }
QString rv_documentPath() { return folder(QStandardPaths::DocumentsLocation); }
QUrl rv_libraryURL() { return folderUrl(QStandardPaths::GenericDataLocation); }
QString rv_libraryPath() { return folder(QStandardPaths::GenericDataLocation); }
QUrl rv_cacheURL() { return folderUrl(QStandardPaths::GenericCacheLocation); }
QString rv_cachePath() { return folder(QStandardPaths::GenericCacheLocation); }

QString rv_applicationSize()
{
    const quint64 total = rv_sizeOfFolder(rv_documentPath()) + rv_sizeOfFolder(rv_libraryPath())
        + rv_sizeOfFolder(rv_cachePath());
    return QLocale().formattedDataSize(static_cast<qint64>(std::min<quint64>(total, INT64_MAX)), 1,
                                       QLocale::DataSizeSIFormat);
}

quint64 rv_sizeOfFolder(const QString &path)
{
    if (path.isEmpty())
        return 0;
    quint64 total = 0;
    const QFileInfoList entries = QDir(path).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo &entry : entries) {
        // The entry's own size: a link counts as itself, not as its target.
        struct stat status {};
        if (::lstat(QFile::encodeName(entry.filePath()).constData(), &status) == 0 && status.st_size > 0)
            total += static_cast<quint64>(status.st_size);
    }
    return total;
}

QString rv_appBundleName()
{
    return QCoreApplication::applicationName();
}

QString rv_appBundleID()
{
    const QString desktopName = QGuiApplication::desktopFileName();
    return desktopName.isEmpty() ? QCoreApplication::applicationName() : desktopName;
}

QString rv_appVersion()
{
    return QCoreApplication::applicationVersion();
}

QString rv_appBuildVersion()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app ? app->property(kBuildProperty).toString() : QString();
}
