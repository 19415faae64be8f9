// Drives the two transfer pages at scale and prints, for each step, the
// longest time the GUI thread did not get back to its event loop: the
// longest gap between the ticks of a 1-ms precise timer on that thread,
// with the processor time the thread used in that gap and the most it used
// in any gap (on a loaded machine a gap also holds the time the thread
// waited for a processor). The same figures for the page standing idle are
// printed first, as the floor of the measurement. The fake file-share server runs in a process of its own,
// so that only the pages' and the transfers' work is on this thread.
//
// Upload page, at the main window's size: idle; N files dropped on its drop
// zone (the drag's enter and drop events, as a drop from the file manager
// brings them); the N files uploaded, one after the other, to the end;
// the rows scrolled from the top to the bottom a step at a time; the window
// resized. Download page: opened with N files handed over by the browser;
// the N files downloaded chunk by chunk, each chunk moving its row's bar;
// scrolled; resized.
//
// Usage: bench_transferscale [--files N] [--file-kib N] [--chunk-kib N]
// (1000 files of 32 KiB in chunks of 16 KiB by default).
// Runs on the display it is given, or off screen without one.

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QProcess>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>

#include "BenchProcess.h"
#include "Main/ViewController/DownLoadFile/QVDownLoadFileVC.h"
#include "Main/ViewController/Root/QVWindow.h"
#include "Main/ViewController/TransferFile/QVTransferTableView.h"
#include "Main/ViewController/UploadFile/QVTransferFileViewController.h"
#include "Platform/LinuxPlatform.h"
#include "PublicManager/QVBundleAdd.h"
#include "PublicManager/QVLogManager.h"
#include "PublicManager/QVPlatform.h"
#include "PublicManager/QVPublicTools.h"

namespace {

using namespace BenchProcess;

qint64 threadCpuNs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The longest time between two ticks of a 1-ms timer on the GUI thread:
// how long the window could not answer the user. With it, the processor
// time the GUI thread used in that gap, and the most it used in any one gap:
// on a busy machine a gap can be longer than the work in it (the thread
// waited for a processor), so the second figure is the pages' own cost.
class StallMeter
{
public:
    struct Figures {
        double longestMs = 0;
        double cpuInLongestMs = 0;
        double longestBusyMs = 0;
        int over100Ms = 0;
    };

    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }

    void start()
    {
        m_clock.start();
        m_last = 0;
        m_lastCpu = threadCpuNs();
        m_figures = {};
        m_timer.start();
    }

    Figures stop()
    {
        tick();
        m_timer.stop();
        return m_figures;
    }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        const double gapMs = (now - m_last) / 1e6;
        const double cpuMs = (cpu - m_lastCpu) / 1e6;
        if (gapMs > m_figures.longestMs) {
            m_figures.longestMs = gapMs;
            m_figures.cpuInLongestMs = cpuMs;
        }
        m_figures.longestBusyMs = qMax(m_figures.longestBusyMs, cpuMs);
        m_figures.over100Ms += gapMs > 100;
        m_last = now;
        m_lastCpu = cpu;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_lastCpu = 0;
    Figures m_figures;
};

// Runs the event loop until `done` holds (checked every 10 ms) or
// `limitMs` passes.
bool runUntil(const std::function<bool()> &done, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

struct Step {
    QString page;
    QString what;
    StallMeter::Figures figures;
    double seconds = 0;
    double cpuSeconds = 0;
    bool finished = true;
    bool idle = false;
};

QList<Step> steps;
StallMeter *meter = nullptr;

// One step: `action` on the GUI thread, then the event loop until `done`,
// then 300 ms more for what the step leaves to draw.
void runStep(const QString &page, const QString &what, const std::function<void()> &action,
             const std::function<bool()> &done, int limitMs, bool idle = false)
{
    QElapsedTimer clock;
    clock.start();
    const qint64 cpuBefore = threadCpuNs();
    meter->start();
    action();
    Step step{page, what};
    step.idle = idle;
    step.finished = runUntil(done, limitMs) || idle;
    runUntil([] { return false; }, 300);
    step.figures = meter->stop();
    step.seconds = clock.nsecsElapsed() / 1e9;
    step.cpuSeconds = (threadCpuNs() - cpuBefore) / 1e9;
    steps.append(step);
    std::printf("%-14s %-30s longest stall %6.1f ms (GUI thread ran %5.1f ms of it), longest busy %5.1f ms, "
                "stalls over 100 ms: %d; step %.2f s, GUI thread %.2f s%s\n",
                qPrintable(page), qPrintable(what), step.figures.longestMs, step.figures.cpuInLongestMs,
                step.figures.longestBusyMs, step.figures.over100Ms, step.seconds, step.cpuSeconds,
                step.finished ? "" : "  NOT FINISHED");
    std::fflush(stdout);
}

void idleStep(const QString &page)
{
    runStep(page, QStringLiteral("idle 1 s (the floor)"), [] {}, [] { return false; }, 700, true);
}

// The rows from the top to the bottom, a step of a few rows every 16 ms,
// as a wheel or a dragged scroll bar moves them.
void scrollStep(const QString &page, QAbstractScrollArea *table)
{
    QScrollBar *bar = table->verticalScrollBar();
    bar->setValue(0);
    QTimer mover;
    QObject::connect(&mover, &QTimer::timeout, [bar] { bar->setValue(bar->value() + 3 * 35); });
    runStep(page, QStringLiteral("rows scrolled top to bottom"), [&] { mover.start(16); },
            [bar] { return bar->maximum() > 0 && bar->value() >= bar->maximum(); }, 60000);
    mover.stop();
}

// The window grows and shrinks, every 16 ms, 40 times.
void resizeStep(const QString &page, QWidget *window)
{
    int count = 0;
    QTimer resizer;
    QObject::connect(&resizer, &QTimer::timeout, [&] {
        const int grow = (count % 10) * 30;
        window->resize(QVWindow::ContentSize + QSize(grow, grow));
        ++count;
    });
    runStep(page, QStringLiteral("window resized 40 times"), [&] { resizer.start(16); }, [&] { return count >= 40; },
            60000);
    resizer.stop();
    window->resize(QVWindow::ContentSize);
}

void showPage(QWidget *page)
{
    page->setWindowTitle(QStringLiteral("Quavdesk"));
    page->setGeometry(QRect(QPoint(0, 0), QVWindow::ContentSize));
    page->show();
}

void quietInfo(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

QString fileName(int index)
{
    return QStringLiteral("file-%1.bin").arg(index, 4, 10, QLatin1Char('0'));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler(quietInfo);
    const QByteArray loadBefore = loadAverage();
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption filesOption("files", "Files on each page.", "n", "1000");
    const QCommandLineOption sizeOption("file-kib", "Size of each file in KiB.", "n", "32");
    const QCommandLineOption chunkOption("chunk-kib", "Download chunk size in KiB.", "n", "16");
    parser.addOptions({filesOption, sizeOption, chunkOption});
    parser.process(app);
    const int files = qMax(1, parser.value(filesOption).toInt());
    const qint64 fileBytes = qMax<qint64>(1, parser.value(sizeOption).toLongLong() * 1024);
    const qint64 chunkBytes = qMax<qint64>(1, parser.value(chunkOption).toLongLong() * 1024);

    // The program's settings, store and texts, and the files, in a folder of
    // the run's own; in memory when it can be, so that the figures are the
    // pages' and not the disk's.
    const QString room = QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                                             : QDir::tempPath();
    QTemporaryDir work(room + QStringLiteral("/bench_transferscale_XXXXXX"));
    QCoreApplication::setOrganizationName(QStringLiteral("Quavdesk"));
    QCoreApplication::setApplicationName(QStringLiteral("Quavdesk"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, work.filePath(QStringLiteral("config")));
    Platform::PlatformServices platform;
    platform.store = Platform::Linux::makeKeyValueStore();
    QVPlatform::setServices(platform);
    QVBundleAdd::installTexts(QString());
    QVLogOptions logOptions;
    logOptions.folder = work.filePath(QStringLiteral("logs"));
    logOptions.console = false;
    QVLogManager().creatLogFile(logOptions);

    // The same files are uploaded from here and served for download.
    const QString source = work.filePath(QStringLiteral("files"));
    QDir().mkpath(source);
    QList<QUrl> urls;
    for (int i = 0; i < files; ++i) {
        QFile file(source + QLatin1Char('/') + fileName(i));
        file.open(QIODevice::WriteOnly);
        QByteArray bytes(fileBytes, char('a' + i % 26));
        file.write(bytes);
        urls.append(QUrl::fromLocalFile(file.fileName()));
    }
    const QString uploads = work.filePath(QStringLiteral("uploads"));
    const QString downloads = work.filePath(QStringLiteral("downloads"));
    QDir().mkpath(downloads);

    QProcess server;
    const QString base = startFakeFileShare(server, QStringLiteral(FAKE_SERVERS_PROGRAM),
                                            {"--root-dir", source, "--upload-dir", uploads, "--chunk-size",
                                             QString::number(chunkBytes)});
    if (base.isEmpty())
        return 1;

    std::printf("transfer pages at scale: %s\n", machineLine().constData());
    std::printf("%d files of %lld KiB, download chunks of %lld KiB, page %dx%d on %s; the fake file-share server in "
                "its own process; files in %s\n",
                files, fileBytes / 1024, chunkBytes / 1024, QVWindow::ContentSize.width(),
                QVWindow::ContentSize.height(), qPrintable(QGuiApplication::platformName()), qPrintable(room));
    StallMeter stallMeter;
    meter = &stallMeter;
    const QVTransferNetworkCheck::Probe reachable = [](qint64, QVTransferNetworkCheck::Verdict verdict) {
        verdict(true);
    };

    // Upload page.
    {
        QVTransferFileVCServices services;
        services.engine.fileShareIp = [base] { return base; };
        services.engine.probe = reachable;
        services.kvoModel = [] { return nullptr; };
        auto page = std::make_unique<QVTransferFileViewController>(services);
        showPage(page.get());
        runUntil([] { return false; }, 500);
        const QString name = QStringLiteral("upload page");
        idleStep(name);
        QMimeData mime;
        mime.setUrls(urls);
        QWidget *zone = page->bodyView();
        runStep(name, QStringLiteral("%1 files dropped").arg(files),
                [&] {
                    const QPoint at = zone->rect().center();
                    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
                    QCoreApplication::sendEvent(zone, &enter);
                    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
                    QCoreApplication::sendEvent(zone, &drop);
                },
                [&] { return page->engine()->queue().fileNormalArray().size() == files; }, 60000);
        runStep(name, QStringLiteral("%1 files uploaded").arg(files), [] {},
                [&] { return page->engine()->queue().workQueue().isEmpty(); }, 600000);
        int done = 0;
        for (const auto &file : page->engine()->queue().fileNormalArray().mutableArray())
            done += file->uploadStatus() == QVUploadFileModel::Done;
        if (done != files) {
            std::printf("upload page: only %d of %d files were uploaded\n", done, files);
            steps.last().finished = false;
        }
        scrollStep(name, page->tableView());
        resizeStep(name, page.get());
        page->engine()->stop();
    }

    // Download page.
    {
        QVariantList handOver;
        for (int i = 0; i < files; ++i) {
            QVDownLoadFileModel model;
            model.setAbsPath(QStringLiteral("Root-Local/") + fileName(i));
            model.setName(fileName(i));
            model.setFileSize(QString::number(fileBytes));
            handOver.append(model.toVariantMap());
        }
        QVPublicTools::sharedPublicTools()->setDownLoadFileListArray(handOver);
        QVDownLoadFileVCServices services;
        services.engine.fileShareIp = [base] { return base; };
        services.engine.password = [] { return QString(); };
        services.engine.downloadFolder = [downloads] { return downloads; };
        services.engine.probe = reachable;
        services.engine.nowMs = [] { return QDateTime::currentMSecsSinceEpoch(); };
        services.engine.networkReachable = [] { return true; };
        const QString name = QStringLiteral("download page");
        std::unique_ptr<QVDownLoadFileVC> page;
        runStep(name, QStringLiteral("opened with %1 files").arg(files),
                [&] {
                    page = std::make_unique<QVDownLoadFileVC>(services);
                    showPage(page.get());
                },
                [] { return true; }, 1000);
        runStep(name, QStringLiteral("%1 files downloaded").arg(files), [] {},
                [&] { return page->engine()->queue().workQueue().isEmpty(); }, 600000);
        int done = 0;
        for (const auto &file : page->engine()->queue().fileNormalArray().mutableArray())
            done += file->downLoadStatus() == QVDownLoadFileModel::Done;
        if (done != files) {
            std::printf("download page: only %d of %d files were downloaded\n", done, files);
            steps.last().finished = false;
        }
        scrollStep(name, page->tableView());
        resizeStep(name, page.get());
        page->engine()->stop();
        page.reset();
        QVPublicTools::sharedPublicTools()->vcCacheDictionary().clear();
    }
    server.kill();
    server.waitForFinished(5000);

    StallMeter::Figures worst;
    bool finished = true;
    for (const Step &step : steps) {
        finished &= step.finished;
        if (step.idle)
            continue;
        worst.longestMs = qMax(worst.longestMs, step.figures.longestMs);
        worst.longestBusyMs = qMax(worst.longestBusyMs, step.figures.longestBusyMs);
    }
    std::printf("longest stall of any step: %.1f ms; longest GUI-thread busy stretch: %.1f ms (aim: none over 100 "
                "ms)\n",
                worst.longestMs, worst.longestBusyMs);
    std::printf("load average before %s, after %s\n", loadBefore.constData(), loadAverage().constData());
    return finished ? 0 : 1;
}
