// The downloader without a page, as a program of its own: the tests stop it
// hard in the middle of a file, or run it inside a namespace where the
// download folder is a small file system. It keeps the program's settings
// (where $XDG_CONFIG_HOME says). It downloads the files named on
// the command line into the folder and prints one line per event:
//   status <remote path> <status>
//   md5 <remote path> <MD5 of the finished file>
//   entries <names in the folder, space separated>   (before it exits)

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include "PublicManager/QVPingHelper.h"
#include "QVDownloadEngine.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The program's settings, where its temporary files are recorded.
    QCoreApplication::setOrganizationName(QStringLiteral("Quavdesk"));
    QCoreApplication::setApplicationName(QStringLiteral("Quavdesk"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Downloads files from a file-share server"));
    parser.addHelpOption();
    const QCommandLineOption baseOption("base", "The file-share server, http://address:port.", "url");
    const QCommandLineOption folderOption("folder", "The download folder.", "dir");
    parser.addOptions({baseOption, folderOption});
    parser.addPositionalArgument("files", "Remote files as PATH:SIZE.", "PATH:SIZE...");
    parser.process(app);

    QTextStream out(stdout);
    const QString base = parser.value(baseOption);
    const QString folder = parser.value(folderOption);

    QVPingHelper probe([base] { return base; }, QVPingHelperTimings{std::chrono::milliseconds(100)});
    QVDownloadEngineServices services = QVDownloadEngineServices::linuxDefaults();
    services.fileShareIp = [base] { return base; };
    services.password = [] { return QString(); };
    services.downloadFolder = [folder] { return folder; };
    services.probe = [&probe](qint64 type, QVTransferNetworkCheck::Verdict verdict) {
        probe.pingNetworkWithType(type, std::move(verdict));
    };
    services.networkReachable = [] { return true; };
    QVDownloadEngine engine(services);

    QList<QVDownloadEngine::File> files;
    for (const QString &argument : parser.positionalArguments()) {
        const qsizetype colon = argument.lastIndexOf(QLatin1Char(':'));
        auto file = std::make_shared<QVDownLoadFileModel>();
        file->setAbsPath(argument.left(colon));
        file->setName(argument.left(colon).section(QLatin1Char('/'), -1));
        file->setFileSize(argument.mid(colon + 1));
        files.append(file);
    }

    QObject::connect(&engine, &QVDownloadEngine::fileChanged, [&out](const QVDownloadEngine::File &file) {
        out << "status " << file->absPath() << ' ' << file->downLoadStatus() << '\n';
        if (file->downLoadStatus() == QVDownLoadFileModel::Done) {
            QFile finished(file->finalFileURL());
            QCryptographicHash hash(QCryptographicHash::Md5);
            if (finished.open(QIODevice::ReadOnly) && hash.addData(&finished))
                out << "md5 " << file->absPath() << ' ' << hash.result().toHex() << '\n';
        }
        out.flush();
    });
    QObject::connect(&engine, &QVDownloadEngine::transferFileBtnStyleChanged, &app, [&](int style) {
        if (style != 1)
            return;
        engine.stop();
        out << "entries "
            << QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name).join(' ')
            << '\n';
        out.flush();
        QCoreApplication::exit(0);
    }, Qt::QueuedConnection);
    engine.addFiles(files);
    engine.checkFileApiWithIndex(0);
    return app.exec();
}
