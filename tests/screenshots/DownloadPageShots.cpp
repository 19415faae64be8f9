// Takes the screenshots of the download page: the page alone in a window of
// the main window's size at the screen's top left corner, downloading from
// the fake file-share server into a folder of its own, with files in each
// state, a warning's tip, the busy, delete, leave and network-lost alerts,
// and the page when everything is in. Saves PNGs of that area of the X
// screen into the folder given. Not a test.
//
//   run_in_session build/test/tests/screenshots/download-page-shots OUT_DIR
//
// in a shell that sourced scripts/test-env.sh and ran start_test_services.

#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

#include "FakeFileShareServer.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "Main/ViewController/DownLoadFile/QVDownLoadFileVC.h"
#include "Main/ViewController/TransferFile/QVTransferTableView.h"
#include "Main/ViewController/Root/QVWindow.h"
#include "PageShots.h"
#include "PublicManager/QVPublicTools.h"

using PageShots::wait;

namespace {

const QString kCheckFile = QStringLiteral("api/glimra/fileShare/checkFile");
const QString kDownload = QStringLiteral("api/glimra/fileShare/download");

// A file of the device and the model the browser would hand over for it.
struct Remote {
    QString absPath;
    qint64 size = 0;
};

QVariantList handOver(const QList<Remote> &files)
{
    QVariantList list;
    for (const Remote &remote : files) {
        QVDownLoadFileModel model;
        model.setAbsPath(remote.absPath);
        model.setName(remote.absPath.section(QLatin1Char('/'), -1));
        model.setFileSize(QString::number(remote.size));
        list.append(model.toVariantMap());
    }
    return list;
}

bool waitFor(const std::function<bool()> &done, int ms)
{
    for (int waited = 0; waited < ms && !done(); waited += 100)
        wait(100);
    return done();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: download-page-shots OUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir work;
    PageShots::setUp(work);
    const QString folder = work.filePath(QStringLiteral("Downloads"));
    QDir().mkpath(folder);

    FakeServers::FakeFileShareServer server;
    if (!server.listen(QHostAddress(QStringLiteral("127.0.0.1"))))
        return 1;
    server.addRoot({QStringLiteral("Root-Private"), QStringLiteral("Private folder"), true, QStringLiteral("246810"), 2});
    const auto serve = [&](const QString &absPath, qint64 size) {
        server.addFile(absPath, QByteArray(size, 'q'));
        return Remote{absPath, size};
    };

    bool reachable = true;
    QVDownLoadFileVCServices services;
    const QString base = server.baseUrl();
    services.engine.fileShareIp = [base] { return base; };
    services.engine.password = [] { return QString(); };
    services.engine.downloadFolder = [folder] { return folder; };
    services.engine.probe = [&reachable](qint64, QVTransferNetworkCheck::Verdict verdict) {
        QTimer::singleShot(50, [verdict, &reachable] { verdict(reachable); });
    };
    services.engine.nowMs = [] { return QDateTime::currentMSecsSinceEpoch(); };
    services.engine.networkReachable = [] { return true; };
    services.engine.timings.checkFileTimeout = std::chrono::milliseconds(1500);
    services.engine.timings.networkCheckDelay = std::chrono::milliseconds(10);
    QVPublicTools *tools = QVPublicTools::sharedPublicTools();

    // One file of each kind: in, refused by the server, gone from the
    // device, empty, behind the folder password the page was not given, one
    // on its way (slowly) and two waiting.
    const Remote report = serve(QStringLiteral("Root-Local/Quarterly report Q3.pdf"), 300000);
    const Remote longName = serve(
        QStringLiteral("Root-Local/Minutes of the board meeting on the harbour office renewal, December 2024.docx"),
        20000);
    const Remote gone{QStringLiteral("Root-Local/Old budget.xlsx"), 12000};
    const Remote empty{QStringLiteral("Root-Local/Empty notes.txt"), 0};
    const Remote locked = serve(QStringLiteral("Root-Private/Salaries.xlsx"), 9000);
    const Remote video = serve(QStringLiteral("Root-Local/Holiday video.mp4"), 40 * 64 * 1024);
    const Remote notes = serve(QStringLiteral("Root-Local/Release notes.txt"), 900);
    const Remote memo = serve(QStringLiteral("Root-Local/Voice memo.m4a"), 3000);
    bool refusedOnce = false;
    QObject::connect(&server, &FakeServers::FakeHttpServer::requestReceived,
                     [&](const FakeServers::HttpRequest &request) {
                         if (request.path != kCheckFile)
                             return;
                         const QString path = QString::fromUtf8(QByteArray::fromBase64(request.header("File-Path")));
                         if (path == longName.absPath && !refusedOnce) {
                             refusedOnce = true;
                             FakeServers::FaultRule serverError;
                             serverError.fault = FakeServers::Fault::WrongCode;
                             serverError.value = 500;
                             serverError.times = 1;
                             server.setFault(kCheckFile, serverError);
                         } else if (path == video.absPath) {
                             FakeServers::FaultRule slow;
                             slow.fault = FakeServers::Fault::Slow;
                             slow.delayMs = 250;
                             server.setFault(kDownload, slow);
                         }
                     });
    tools->setDownLoadFileListArray(handOver({report, longName, gone, empty, locked, video, notes, memo}));
    auto page = std::make_unique<QVDownLoadFileVC>(services);
    PageShots::showPage(page.get());
    QVDownloadEngine *engine = page->engine();
    const auto grab = [&](const QString &name) { PageShots::grab(out, name); };
    const auto find = [&](const Remote &remote) {
        for (const QVDownloadEngine::File &file : engine->queue().fileNormalArray().mutableArray()) {
            if (file->absPath() == remote.absPath)
                return file;
        }
        return QVDownloadEngine::File();
    };
    const auto statusOf = [&](const Remote &remote) {
        const QVDownloadEngine::File file = find(remote);
        return file ? file->downLoadStatus() : qint64(-1);
    };

    if (!waitFor([&] { return statusOf(video) == QVDownLoadFileModel::Downloading; }, 15000))
        return 1;
    wait(2600);
    grab(QStringLiteral("download-states.png"));

    // The device becomes busy while the video comes: every queued file fails
    // and one alert says why.
    server.setBusy(true);
    if (!waitFor([&] { return page->checkShowingAlert(); }, 15000))
        return 1;
    grab(QStringLiteral("download-busy-alert.png"));
    page->removeAlertVC();
    server.setBusy(false);
    server.clearFaults();

    // Each failed file is continued and goes on where it stopped.
    for (const Remote &remote : {longName, video, notes, memo})
        page->singleContinueWithModel(find(remote));
    if (!waitFor([&] { return engine->queue().workQueue().isEmpty(); }, 30000))
        return 1;
    grab(QStringLiteral("download-finished.png"));

    // The pointer on a warning shows why the file failed (nothing moves on
    // the page now, so its rows stay).
    page->activateWindow();
    wait(200);
    const QRect warning = page->tableView()->rowLayout(page->rowOf(find(locked))).warning;
    if (!warning.isEmpty()) {
        QCursor::setPos(page->tableView()->viewport()->mapToGlobal(warning.center()));
        // The tip is a window of its own and may reach past the page.
        PageShots::grab(out, QStringLiteral("download-warning-tip.png"), 32);
    }
    QCursor::setPos(0, QVWindow::ContentSize.height() - 1);

    // A row's delete asks first.
    page->singleDeleteWithModel(find(report));
    grab(QStringLiteral("download-delete-alert.png"));
    page->removeAlertVC();
    page.reset();

    // More files; leaving while they come asks first, then the receiver goes
    // away and every queued file waits for the network.
    const Remote slides = serve(QStringLiteral("Root-Local/Kick-off slides.pptx"), 40 * 64 * 1024);
    const Remote budget = serve(QStringLiteral("Root-Local/Budget 2025.xlsx"), 12000);
    const Remote photo = serve(QStringLiteral("Root-Local/Team photo.png"), 80000);
    FakeServers::FaultRule slow;
    slow.fault = FakeServers::Fault::Slow;
    slow.delayMs = 250;
    server.setFault(kDownload, slow);
    tools->setDownLoadFileListArray(handOver({slides, budget, photo}));
    page = std::make_unique<QVDownLoadFileVC>(services);
    PageShots::showPage(page.get());
    engine = page->engine();
    wait(1500);
    page->setCancelDownLoadAlertVC();
    grab(QStringLiteral("download-leave-alert.png"));
    page->removeAlertVC();
    reachable = false;
    server.close();
    if (!waitFor([&] { return page->checkShowingAlert(); }, 15000))
        return 1;
    grab(QStringLiteral("download-network-lost-alert.png"));
    page->removeAlertVC();
    grab(QStringLiteral("download-network-lost.png"));
    page.reset();
    tools->vcCacheDictionary().clear();
    tools->setDownLoadFileListArray({});
    return 0;
}
