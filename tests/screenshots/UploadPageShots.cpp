// Takes the screenshots of the upload page: the page alone in a window of
// the main window's size at the screen's top left corner, over the fake
// file-share server, with files in each state. Saves PNGs of that area of
// the X screen into the folder given. Not a test.
//
//   run_in_session build/test/tests/screenshots/upload-page-shots OUT_DIR
//
// in a shell that sourced scripts/test-env.sh and ran start_test_services.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "FakeFileShareServer.h"
#include "Main/ViewController/UploadFile/QVTransferFileViewController.h"
#include "PageShots.h"

using PageShots::wait;

namespace {

const QString kStartBytes = QStringLiteral("api/glimra/fileShare/getStartBytes");
const QString kUploadFile = QStringLiteral("api/glimra/fileShare/uploadFile");

void writeFile(const QString &path, qint64 size)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QByteArray bytes(size, 'q');
    file.write(bytes);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);
    QTemporaryDir work;
    PageShots::setUp(work);

    FakeServers::FakeFileShareServer server;
    server.listen(QHostAddress(QStringLiteral("127.0.0.1")));
    bool reachable = true;
    QVTransferFileVCServices services;
    const QString base = server.baseUrl();
    services.engine.fileShareIp = [base] { return base; };
    services.engine.probe = [&reachable](qint64, QVTransferNetworkCheck::Verdict verdict) {
        QTimer::singleShot(50, [verdict, &reachable] { verdict(reachable); });
    };
    services.engine.limits.pieceBytes = 64 * 1024;
    services.engine.timings.networkCheckDelay = std::chrono::milliseconds(10);
    services.kvoModel = [] { return nullptr; };

    auto *page = new QVTransferFileViewController(services);
    PageShots::showPage(page);
    const auto grab = [&](const QString &name) { PageShots::grab(out, name); };
    wait(500);
    grab(QStringLiteral("upload-select.png"));

    // One file of each kind.
    const QString done = work.filePath(QStringLiteral("quarterly-report.pdf"));
    writeFile(done, 300000);
    const QString huge = work.filePath(QStringLiteral("conference-recording.mov"));
    QFile sparse(huge);
    sparse.open(QIODevice::WriteOnly);
    sparse.resize(4000000001);
    sparse.close();
    const QString longName = work.filePath(QString(200, QLatin1Char('n')) + QStringLiteral(".txt"));
    writeFile(longName, 10);
    const QString gone = work.filePath(QStringLiteral("moved-away.docx"));
    writeFile(gone, 10);
    const QString refused = work.filePath(QStringLiteral("archive.zip"));
    writeFile(refused, 20000);
    const QString sending = work.filePath(QStringLiteral("holiday-video.mp4"));
    writeFile(sending, 40 * 64 * 1024);
    const QString waiting = work.filePath(QStringLiteral("notes.txt"));
    writeFile(waiting, 5000);

    // The device has no room for the archive; the video goes slowly.
    QObject::connect(&server, &FakeServers::FakeHttpServer::requestReceived,
                     [&](const FakeServers::HttpRequest &request) {
                         if (request.path == kStartBytes
                             && request.header("File-Name") == QByteArray("archive.zip").toBase64()) {
                             FakeServers::FaultRule noSpace;
                             noSpace.fault = FakeServers::Fault::WrongCode;
                             noSpace.value = 210;
                             noSpace.times = 1;
                             server.setFault(kStartBytes, noSpace);
                         }
                     });
    FakeServers::FaultRule slow;
    slow.fault = FakeServers::Fault::Slow;
    slow.delayMs = 250;
    page->didReceiveFiles({QUrl::fromLocalFile(done)});
    wait(1500);
    server.setFault(kUploadFile, slow);
    QFile::remove(gone);
    page->didReceiveFiles({QUrl::fromLocalFile(huge), QUrl::fromLocalFile(longName), QUrl::fromLocalFile(gone),
                           QUrl::fromLocalFile(refused), QUrl::fromLocalFile(sending),
                           QUrl::fromLocalFile(waiting)});
    wait(2000);
    grab(QStringLiteral("upload-no-space-alert.png"));
    page->removeAlertVC();
    wait(3000);
    grab(QStringLiteral("upload-states.png"));

    // Everything that could be sent is sent.
    server.clearFaults();
    for (int i = 0; i < 300 && !page->engine()->queue().workQueue().isEmpty(); ++i)
        wait(100);
    grab(QStringLiteral("upload-finished.png"));

    // More files, and the receiver goes away while they go: every queued
    // file waits for the network.
    server.setFault(kUploadFile, slow);
    const QString later = work.filePath(QStringLiteral("slides.key"));
    writeFile(later, 40 * 64 * 1024);
    const QString last = work.filePath(QStringLiteral("budget.xlsx"));
    writeFile(last, 3000);
    page->didReceiveFiles({QUrl::fromLocalFile(later), QUrl::fromLocalFile(last)});
    wait(1500);
    reachable = false;
    server.close();
    wait(2500);
    grab(QStringLiteral("upload-network-lost-alert.png"));
    page->removeAlertVC();
    grab(QStringLiteral("upload-network-lost.png"));
    page->engine()->stop();
    delete page;
    return 0;
}
