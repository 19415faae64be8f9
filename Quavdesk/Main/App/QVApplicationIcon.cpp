#include "Main/App/QVApplicationIcon.h"

#include "BaseViewController/View/QVNamedImage.h"

#include <QCoreApplication>
#include <QDir>

QString QVApplicationId()
{
    return QStringLiteral(QUAVDESK_APPLICATION_ID);
}

namespace {

// A prefix outside the desktop's data folders (/opt/..., a user's own) is
// not searched by the theme loader; its icons are found from the program's
// own place instead.
void searchIconsBesideProgram()
{
    const QDir icons(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(QUAVDESK_ICONS_FROM_PROGRAM)));
    if (!icons.exists())
        return;
    QStringList paths = QIcon::themeSearchPaths();
    const QString path = icons.canonicalPath();
    if (paths.contains(path))
        return;
    paths.prepend(path);
    QIcon::setThemeSearchPaths(paths);
}

} // namespace

QIcon QVThemedApplicationIcon(const QString &fallbackImage)
{
    static const bool searched = [] {
        searchIconsBesideProgram();
        return true;
    }();
    Q_UNUSED(searched);
    return QIcon::fromTheme(QVApplicationId(), QIcon(QVNamedImage(fallbackImage)));
}
