// The fake file-share server and fake web service as a program of their own,
// for manual runs and for tests that stop a server hard. Prints one line per
// listening server ("file-share http://…", "web-service http://…") and then
// "ready".

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <memory>

#include "FakeFileShareServer.h"
#include "FakeWebService.h"

using namespace FakeServers;

namespace {

std::optional<Fault> faultNamed(const QString &name)
{
    static const QHash<QString, Fault> faults = {
        {"slow", Fault::Slow},
        {"silent", Fault::Silent},
        {"close", Fault::Close},
        {"truncated", Fault::TruncatedBody},
        {"stalled", Fault::StalledBody},
        {"http-status", Fault::HttpStatus},
        {"wrong-code", Fault::WrongCode},
        {"wrong-json-type", Fault::WrongJsonType},
        {"not-json", Fault::NotJson},
        {"wrong-content-type", Fault::WrongContentType},
        {"empty-body", Fault::EmptyBody},
    };
    const auto it = faults.find(name);
    if (it == faults.end())
        return std::nullopt;
    return *it;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Fake file-share server and web service on loopback"));
    parser.addHelpOption();
    const QCommandLineOption addressOption("address", "Loopback address to listen on.", "address", "127.0.0.1");
    const QCommandLineOption filePortOption("file-share-port",
                                            "A port of the file-share server (repeatable; 0 picks one).", "port");
    const QCommandLineOption webPortOption("web-service-port", "Port of the web service (0 picks one).", "port");
    const QCommandLineOption rootDirOption("root-dir", "Folder served as the root \"Root-Local\".", "dir");
    const QCommandLineOption uploadDirOption("upload-dir", "Folder for partial and finished uploads.", "dir");
    const QCommandLineOption chunkOption("chunk-size", "Bytes per download chunk.", "bytes");
    const QCommandLineOption codeOption("verify-code", "The file-share code.", "code");
    const QCommandLineOption passwordOption("password", "Protect a root: ROOT=PASSWORD (repeatable).", "root=pwd");
    const QCommandLineOption apiVersionOption("glimra-api-version", "Root-list header value; empty leaves it out.",
                                              "version");
    const QCommandLineOption faultOption(
        "fault", "Spoil a path: PATH=FAULT[:VALUE] (slow:ms, silent, close, truncated, stalled, http-status:N, "
                 "wrong-code:N, wrong-json-type, not-json, wrong-content-type, empty-body).",
        "path=fault");
    const QCommandLineOption stallChunkOption(
        "stall-chunk", "Send half of this download chunk once, then nothing (repeatable).", "index");
    const QCommandLineOption logRequestsOption(
        "log-requests", "Print \"request PATH CHUNK-NUMBER\" for each request received.");
    const QCommandLineOption logUploadsOption(
        "log-uploads", "Print \"upload BYTES-START BODY-BYTES\" for each upload piece received.");
    parser.addOptions({addressOption, filePortOption, webPortOption, rootDirOption, uploadDirOption, chunkOption,
                       codeOption, passwordOption, apiVersionOption, faultOption, stallChunkOption,
                       logRequestsOption, logUploadsOption});
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    const QHostAddress address(parser.value(addressOption));
    if (!address.isLoopback()) {
        err << "only loopback addresses are served\n";
        return 2;
    }

    QList<std::pair<QString, FaultRule>> faults;
    for (const QString &optionText : parser.values(faultOption)) {
        const qsizetype eq = optionText.indexOf(QLatin1Char('='));
        const QString path = eq < 0 ? QString() : optionText.left(eq);
        const QStringList parts = optionText.mid(eq + 1).split(QLatin1Char(':'));
        const auto fault = faultNamed(parts.first());
        if (!fault) {
            err << "unknown fault " << parts.first() << "\n";
            return 2;
        }
        FaultRule rule;
        rule.fault = *fault;
        if (parts.size() > 1) {
            rule.value = parts.at(1).toLongLong();
            rule.delayMs = *fault == Fault::Slow ? int(rule.value) : 0;
        }
        faults.append({path, rule});
    }

    std::unique_ptr<FakeFileShareServer> fileShare;
    const QStringList filePorts = parser.values(filePortOption);
    if (!filePorts.isEmpty() || !parser.isSet(webPortOption)) {
        fileShare = std::make_unique<FakeFileShareServer>();
        // Nothing reads the requests of this program back: no body is kept.
        fileShare->setRecordedBodyLimit(0);
        for (const QString &port : filePorts.isEmpty() ? QStringList{QStringLiteral("0")} : filePorts) {
            if (!fileShare->listen(address, quint16(port.toUInt()))) {
                err << "cannot listen on " << address.toString() << ":" << port << "\n";
                return 1;
            }
        }
        if (parser.isSet(rootDirOption))
            fileShare->addDirectory(QStringLiteral("Root-Local"), parser.value(rootDirOption));
        if (parser.isSet(uploadDirOption))
            fileShare->setUploadDirectory(parser.value(uploadDirOption));
        if (parser.isSet(chunkOption))
            fileShare->setChunkSize(parser.value(chunkOption).toLongLong());
        if (parser.isSet(codeOption))
            fileShare->setVerifyCode(parser.value(codeOption));
        if (parser.isSet(apiVersionOption))
            fileShare->setGlimraApiVersion(parser.value(apiVersionOption).toUtf8());
        for (const QString &optionText : parser.values(passwordOption)) {
            const QStringList parts = optionText.split(QLatin1Char('='));
            if (parts.size() != 2)
                continue;
            for (FakeRoot root : fileShare->roots()) {
                if (root.rootKey == parts.at(0)) {
                    root.needPwd = true;
                    root.password = parts.at(1);
                    fileShare->addRoot(root);
                }
            }
        }
        for (const auto &[path, rule] : faults)
            fileShare->setFault(path, rule);
        for (const QString &index : parser.values(stallChunkOption)) {
            FaultRule stall;
            stall.fault = Fault::StalledBody;
            stall.times = 1;
            fileShare->setChunkFault(index.toLongLong(), stall);
        }
        if (parser.isSet(logRequestsOption)) {
            QObject::connect(fileShare.get(), &FakeHttpServer::requestReceived, [&out](const HttpRequest &request) {
                out << "request " << request.path << " " << request.header("Chunk-Number") << "\n";
                out.flush();
            });
        }
        if (parser.isSet(logUploadsOption)) {
            QObject::connect(fileShare.get(), &FakeHttpServer::requestReceived, [&out](const HttpRequest &request) {
                if (!request.path.endsWith(QStringLiteral("/uploadFile")))
                    return;
                out << "upload " << request.header("Bytes-Start") << " " << request.body.size() << "\n";
                out.flush();
            });
        }
        for (int i = 0; i < fileShare->ports().size(); ++i)
            out << "file-share " << fileShare->baseUrl(i) << "\n";
    }

    std::unique_ptr<FakeWebService> webService;
    if (parser.isSet(webPortOption)) {
        webService = std::make_unique<FakeWebService>();
        if (!webService->listen(address, quint16(parser.value(webPortOption).toUInt()))) {
            err << "cannot listen on " << address.toString() << ":" << parser.value(webPortOption) << "\n";
            return 1;
        }
        for (const auto &[path, rule] : faults)
            webService->setFault(path, rule);
        out << "web-service " << webService->baseUrl() << "\n";
    }
    out << "ready\n";
    out.flush();
    return app.exec();
}
