// The uploader without a page, as a program of its own, stopped hard by the
// kill tests. This installation's identifier lives in the settings (under
// XDG_CONFIG_HOME), so a second run of the program is the same device to the
// server. It uploads the files named on the command line and prints:
//   device <Device-ID>
//   status <path> <status>
// and exits once the queue is empty.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include "Platform/LinuxPlatform.h"
#include "PublicManager/QVPingHelper.h"
#include "PublicManager/QVPlatform.h"
#include "PublicManager/QVPublicTools.h"
#include "QVUploadEngine.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quavdesk"));
    QCoreApplication::setApplicationName(QStringLiteral("Quavdesk"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Uploads files to a file-share server"));
    parser.addHelpOption();
    const QCommandLineOption baseOption("base", "The file-share server, http://address:port.", "url");
    const QCommandLineOption pieceOption("piece-bytes", "Most bytes per piece.", "bytes", "104857600");
    parser.addOptions({baseOption, pieceOption});
    parser.addPositionalArgument("files", "Local files.", "FILE...");
    parser.process(app);

    // Only the settings are needed of the platform.
    Platform::PlatformServices platform;
    platform.store = Platform::Linux::makeKeyValueStore();
    QVPlatform::setServices(platform);

    QTextStream out(stdout);
    const QString base = parser.value(baseOption);
    QVPingHelper probe([base] { return base; }, QVPingHelperTimings{std::chrono::milliseconds(100)});
    QVUploadEngineServices services;
    services.fileShareIp = [base] { return base; };
    services.probe = [&probe](qint64 type, QVTransferNetworkCheck::Verdict verdict) {
        probe.pingNetworkWithType(type, std::move(verdict));
    };
    services.limits.pieceBytes = parser.value(pieceOption).toLongLong();
    QVUploadEngine engine(services);

    out << "device " << QVPublicTools::sharedPublicTools()->deviceUDID() << '\n';
    out.flush();
    QObject::connect(&engine, &QVUploadEngine::fileChanged, [&](const QVUploadEngine::File &file) {
        out << "status " << file->sourceFileURL().toLocalFile() << ' ' << file->uploadStatus() << '\n';
        out.flush();
        if (engine.queue().workQueue().isEmpty())
            QMetaObject::invokeMethod(&app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
    QList<QUrl> urls;
    for (const QString &path : parser.positionalArguments())
        urls.append(QUrl::fromLocalFile(path));
    engine.addInitialDataWithArray(urls);
    engine.getFileStartBytesWithIndex(0);
    return app.exec();
}
