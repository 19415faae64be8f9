#include "PageShots.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include "Main/ViewController/Root/QVWindow.h"
#include "Platform/LinuxPlatform.h"
#include "PublicManager/QVBundleAdd.h"
#include "PublicManager/QVPlatform.h"

namespace PageShots {

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void setUp(const QTemporaryDir &work)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quavdesk"));
    QCoreApplication::setApplicationName(QStringLiteral("Quavdesk"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, work.filePath(QStringLiteral("config")));
    Platform::PlatformServices platform;
    platform.store = Platform::Linux::makeKeyValueStore();
    QVPlatform::setServices(platform);
    QVBundleAdd::installTexts(QString());
}

void showPage(QWidget *page)
{
    page->setWindowTitle(QStringLiteral("Quavdesk"));
    page->setGeometry(QRect(QPoint(0, 0), QVWindow::ContentSize));
    page->show();
}

void grab(const QString &outDir, const QString &name, int extraWidth)
{
    wait(400);
    const QSize size = QVWindow::ContentSize;
    QGuiApplication::primaryScreen()
        ->grabWindow(0, 0, 0, size.width() + extraWidth, size.height())
        .save(outDir + QLatin1Char('/') + name);
}

} // namespace PageShots
