#include "Main/App/QVApplicationMain.h"

#include "Categories/QVTextFieldAdd.h"
#include "Main/App/QVApplicationIcon.h"
#include "Main/App/AppDelegate.h"
#include "Main/App/QVQuitPath.h"
#include "Main/App/QVSingleInstance.h"
#include "PublicManager/QVBundleAdd.h"
#include "PublicManager/QVLog.h"
#include "PublicManager/QVPlatform.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"
#include "TavlinSDK.h"

#include "Platform/LinuxServices.h"

#include <QApplication>
#include <QCommandLineParser>

void QVConfigureApplication(QCoreApplication &app)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quavdesk"));
    QCoreApplication::setApplicationName(QStringLiteral("Quavdesk"));
    QCoreApplication::setApplicationVersion(QVPublicTools::appVersion());
    app.setProperty(TavlinSDK::ApplicationBuildProperty, QVPublicTools::appBuild());
    if (qobject_cast<QGuiApplication *>(&app)) {
        QGuiApplication::setQuitOnLastWindowClosed(false);
        QGuiApplication::setApplicationDisplayName(QStringLiteral("Quavdesk"));
        QGuiApplication::setDesktopFileName(QVApplicationId());
        QGuiApplication::setWindowIcon(QVThemedApplicationIcon(QStringLiteral("about_logo")));
    }
    app.installEventFilter(new QVTextFieldKeyEquivalentFilter(&app));
}

QVProgramOptions QVParseProgramOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Casts this desktop to meeting-room receivers."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption instance(
        QStringLiteral("instance"),
        QStringLiteral("Name under which the running program is found (default: one per user)."),
        QStringLiteral("name"));
    parser.addOption(instance);
    parser.process(app);
    return QVProgramOptions{parser.value(instance)};
}

int QVApplicationMain(int argc, char **argv)
{
    QApplication app(argc, argv);
    QVConfigureApplication(app);
    const QVProgramOptions options = QVParseProgramOptions(app);

    QVSingleInstance instance(options.instanceName);
    if (instance.start() == QVSingleInstance::Role::Secondary)
        return 0;

    // The process's one set of system services, for the casting library and
    // every part of the program; made after the names that the settings file
    // is named after.
    QVPlatform::setServices(Platform::Linux::makePlatformServices());
    QVBundleAdd::installTexts(QVBundleAdd::storedLanguage(*QVPlatform::services().store));

    QVQuitPath quitPath;
    quitPath.installSignalHandlers();

    AppDelegate delegate(AppDelegateServices::linuxDefaults());
    quitPath.setStopWork([&delegate] {
        if (QVShareManager *manager = delegate.shareManager())
            manager->terminate();
    });
    QObject::connect(&instance, &QVSingleInstance::raiseRequested, &delegate,
                     &AppDelegate::applicationShouldHandleReopen);
    delegate.applicationDidFinishLaunching();

    const int status = app.exec();
    QVLog::shutdown();
    return status;
}
