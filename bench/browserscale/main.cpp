// Drives the remote file browser (the program's own page) over a folder of
// 10,000 entries served by the fake file-share server (its own process),
// and prints for each step the longest time the GUI thread could not take
// an event: the listing as the window opens, resizes, select-all and
// unselect, each sort order, the switches between grid and list, and a
// scroll through the whole folder. A watcher thread posts a stamped event to
// the GUI thread every millisecond; the longest wait of such an event during
// a step is that step's longest stall. With it goes the processor time the
// GUI thread ran while that event waited: on a busy machine a stall also
// holds the time the thread waited for a processor, and the second figure is
// the page's own part of it. The same steps over an empty folder
// (a server of its own) give what the window costs without entries; rounds
// alternate between the two, and each figure is the median of the rounds.
//
// Usage: bench_browserscale [--entries N] [--pictures-every N] [--rounds N]
// Needs a display (run it under Xvfb, or with -platform offscreen). One
// entry in every `pictures-every` is a small picture, whose thumbnail the
// grid loads while it shows it.

#include <QApplication>
#include <QAtomicInteger>
#include <QBuffer>
#include <QCommandLineParser>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "BenchProcess.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "Main/Browse/QVRemoteFolderModel.h"
#include "Main/Browse/QVSortAndLayout.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadFileListView.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadSelectFileVC.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadSortMenuView.h"
#include "Platform/LinuxPlatform.h"
#include "PublicManager/QVBundleAdd.h"
#include "PublicManager/QVLogManager.h"
#include "PublicManager/QVPlatform.h"

namespace {

using namespace BenchProcess;

void quietInfo(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

// Measures how long stamped events wait for the GUI thread, and how much of
// the longest wait the thread spent running.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        m_clock.start();
        m_watcher = QThread::create([this] {
            while (!m_stop.loadRelaxed()) {
                const qint64 sent = m_clock.nsecsElapsed();
                QCoreApplication::postEvent(this, new Ping(sent));
                QThread::usleep(1000);
            }
        });
        m_watcher->start();
    }
    ~StallMeter() override
    {
        m_stop.storeRelaxed(1);
        m_watcher->wait();
        delete m_watcher;
        QCoreApplication::removePostedEvents(this);
    }

    // On the GUI thread.
    void reset()
    {
        m_longestNs = 0;
        m_cpuInLongestNs = 0;
        m_lastCpuNs = threadCpuNs();
    }
    double longestMs() const { return m_longestNs / 1e6; }
    double cpuInLongestMs() const { return m_cpuInLongestNs / 1e6; }

protected:
    bool event(QEvent *event) override
    {
        if (event->type() != Ping::Type)
            return QObject::event(event);
        const qint64 waited = m_clock.nsecsElapsed() - static_cast<Ping *>(event)->sent;
        // What the thread ran since it handled the previous event covers the
        // wait (events come about 1 ms apart while nothing holds the thread).
        const qint64 cpu = threadCpuNs();
        if (waited > m_longestNs) {
            m_longestNs = waited;
            m_cpuInLongestNs = std::min(cpu - m_lastCpuNs, waited);
        }
        m_lastCpuNs = cpu;
        return true;
    }

private:
    struct Ping : QEvent {
        static constexpr QEvent::Type Type = QEvent::Type(QEvent::User + 71);
        explicit Ping(qint64 at) : QEvent(Type), sent(at) {}
        qint64 sent;
    };

    QElapsedTimer m_clock;
    QThread *m_watcher = nullptr;
    QAtomicInteger<int> m_stop{0};
    qint64 m_longestNs = 0;
    qint64 m_cpuInLongestNs = 0;
    qint64 m_lastCpuNs = 0;
};

// Runs the event loop until `done` holds (at most `limitMs`), then for
// `settleMs` more, so that the layouts and paints a step caused are
// counted with it.
bool runUntil(const std::function<bool()> &done, int limitMs, int settleMs = 400)
{
    QDeadlineTimer deadline(limitMs);
    bool reached = false;
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (done()) {
            reached = true;
            break;
        }
    }
    QDeadlineTimer settle(settleMs);
    while (!settle.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return reached;
}

QByteArray picture(int seed)
{
    QImage image(160, 120, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(seed * 37 % 360, 120, 230));
    QPainter(&image).fillRect(QRect(20, 60, 120, 60), QColor::fromHsv(seed * 53 % 360, 160, 120));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

// `entries` files in `folder`, named and dated apart.
bool makeFolder(const QString &folder, int entries, int picturesEvery)
{
    if (!QDir().mkpath(folder))
        return false;
    const QDateTime newest = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < entries; ++i) {
        const bool isPicture = picturesEvery > 0 && i % picturesEvery == 0;
        const QString name = isPicture ? QStringLiteral("Photo %1.png").arg(i, 5, 10, QLatin1Char('0'))
                                       : QStringLiteral("Report %1 of the northern region.pdf").arg(i, 5, 10, QLatin1Char('0'));
        QFile file(folder + QLatin1Char('/') + name);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(isPicture ? picture(i) : QByteArray(64, 'r'));
        file.setFileTime(newest.addSecs(-qint64(i) * 61 % 86400 - i), QFileDevice::FileModificationTime);
    }
    return true;
}

struct Round {
    struct Step {
        QByteArray name;
        double stallMs = 0;
        double cpuInStallMs = 0;
    };
    QList<Step> steps;
    bool reached = true;
};

double medianOf(const QList<Round> &rounds, qsizetype step, double Round::Step::*figure)
{
    QList<double> values;
    for (const Round &round : rounds)
        values.append(round.steps.value(step).*figure);
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values.at(values.size() / 2);
}

// One page over the server at `base`, through every step.
Round runRound(StallMeter &meter, const QString &base, int entries)
{
    QVRemoteBrowserServices services = QVRemoteBrowserServices::linuxDefaults();
    services.fileShareIp = [base] { return base; };
    services.networkReachable = [] { return true; };
    services.thumbnailUrl = [base](const QString &path) {
        return QUrl(base + QStringLiteral("/api/glimra/fileShare/getThumb?path=")
                    + QString::fromLatin1(QUrl::toPercentEncoding(path)));
    };
    QVDownLoadSelectFileVC::setDefaultServices(services);
    // Each round starts from the stored defaults: grid, newest first.
    if (const auto store = QVPlatform::services().store) {
        store->remove(QVSortAndLayout::LayoutSettingKey);
        store->remove(QVSortAndLayout::SortSettingKey);
    }

    Round round;
    const auto step = [&](const QByteArray &name, const std::function<void()> &action,
                          const std::function<bool()> &done) {
        runUntil([] { return false; }, 0, 200);
        meter.reset();
        action();
        round.reached &= runUntil(done, 60000);
        round.steps.append({name, meter.longestMs(), meter.cpuInLongestMs()});
    };

    QVDownLoadSelectFileVC *page = nullptr;
    const auto listed = [&] { return page && !page->isLoading() && page->folder()->rowCount() == entries; };
    step("list (the window opens)", [&] {
        page = new QVDownLoadSelectFileVC;
        page->resize(900, 620);
        page->show();
    }, listed);
    const QList<QSize> sizes = {{1400, 900}, {700, 500}, {1100, 760}, {900, 620}};
    for (const QSize &size : sizes) {
        step("resize to " + QByteArray::number(size.width()) + "x" + QByteArray::number(size.height()),
             [&] { page->resize(size); }, [] { return true; });
    }
    const bool anyFile = entries > 0;
    step("select all", [&] { page->selectAllBtn()->click(); }, [&] { return page->checkIsAllSelect() || !anyFile; });
    step("unselect all", [&] { page->selectAllBtn()->click(); }, [&] { return page->fileSelectArray().isEmpty(); });
    for (int row : {0, 2, 3, 1}) {
        const QVDownLoadSortMenuView::Item item = QVDownLoadSortMenuView::itemArray().at(row);
        step(QByteArray("sort ") + item.itemName, [&] {
            page->sortBtnClick();
            page->sortMenuView()->tableViewCellClick(row);
        }, [&] { return page->sortType() == item.sortType; });
    }
    step("layout: grid to list", [&] { page->layoutBtnClick(); }, [&] { return page->layoutType() == 1; });
    step("layout: list to grid", [&] { page->layoutBtnClick(); }, [&] { return page->layoutType() == 0; });
    QScrollBar *bar = page->fileListCollectionView()->verticalScrollBar();
    step("scroll to the end", [&] { bar->setValue(bar->maximum()); }, [] { return true; });
    step("scroll to the start", [&] { bar->setValue(0); }, [] { return true; });
    step("close the window", [&] {
        delete page;
        page = nullptr;
    }, [] { return true; });
    return round;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quavdesk"));
    QCoreApplication::setApplicationName(QStringLiteral("Quavdesk"));
    qInstallMessageHandler(quietInfo);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption entriesOption("entries", "Entries of the folder.", "n", "10000");
    const QCommandLineOption picturesOption("pictures-every", "One picture in this many entries (0: none).", "n", "10");
    const QCommandLineOption roundsOption("rounds", "Rounds over each folder.", "n", "3");
    parser.addOptions({entriesOption, picturesOption, roundsOption});
    parser.process(app);
    const int entries = qMax(1, parser.value(entriesOption).toInt());
    const int picturesEvery = qMax(0, parser.value(picturesOption).toInt());
    const int rounds = qMax(1, parser.value(roundsOption).toInt());

    const bool inMemory = QFileInfo(QStringLiteral("/dev/shm")).isWritable();
    QTemporaryDir work(inMemory ? QStringLiteral("/dev/shm/bench_browserscale_XXXXXX")
                                : QDir::tempPath() + QStringLiteral("/bench_browserscale_XXXXXX"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, work.filePath(QStringLiteral("config")));
    Platform::PlatformServices platform;
    platform.store = Platform::Linux::makeKeyValueStore();
    QVPlatform::setServices(platform);
    QVBundleAdd::installTexts(QStringLiteral("en"));
    // The program's log as it runs: to its file, written by its own thread.
    QVLogOptions logOptions;
    logOptions.folder = work.filePath(QStringLiteral("logs"));
    logOptions.console = false;
    QVLogManager().creatLogFile(logOptions);
    const QString folder = work.filePath(QStringLiteral("device"));
    if (!makeFolder(folder, entries, picturesEvery)) {
        std::fprintf(stderr, "cannot make the folder in %s\n", qPrintable(work.path()));
        return 1;
    }

    const QString emptyFolder = work.filePath(QStringLiteral("empty"));
    QDir().mkpath(emptyFolder);
    QProcess bigServer;
    QProcess emptyServer;
    const QString bigBase = startFakeFileShare(bigServer, QStringLiteral(FAKE_SERVERS_PROGRAM),
                                               {QStringLiteral("--root-dir"), folder});
    const QString emptyBase = startFakeFileShare(emptyServer, QStringLiteral(FAKE_SERVERS_PROGRAM),
                                                 {QStringLiteral("--root-dir"), emptyFolder});
    if (bigBase.isEmpty() || emptyBase.isEmpty())
        return 1;

    std::printf("browser scale bench: %s\n", machineLine().constData());
    std::printf("the remote file browser over a folder of %d entries (one picture in %d) and over an empty one, %s, "
                "fake file-share servers in their own processes; longest GUI-thread stall per step (events posted "
                "every 1 ms) and the GUI thread's processor time within it, median of %d rounds\n",
                entries, picturesEvery, qPrintable(QGuiApplication::platformName()), rounds);
    StallMeter meter;
    QList<Round> big;
    QList<Round> empty;
    bool allReached = true;
    for (int round = 0; round < rounds; ++round) {
        big.append(runRound(meter, bigBase, entries));
        empty.append(runRound(meter, emptyBase, 0));
        allReached &= big.last().reached && empty.last().reached;
    }
    const QByteArray entriesColumn = QByteArray::number(entries) + " entries";
    std::printf("  %-28s %24s %24s\n", "step", entriesColumn.constData(), "empty folder");
    std::printf("  %-28s %24s %24s\n", "", "stall (GUI thread ran)", "stall (GUI thread ran)");
    double worst = 0;
    double worstRan = 0;
    for (qsizetype i = 0; i < big.first().steps.size(); ++i) {
        const double withEntries = medianOf(big, i, &Round::Step::stallMs);
        const double ranWithEntries = medianOf(big, i, &Round::Step::cpuInStallMs);
        worst = std::max(worst, withEntries);
        worstRan = std::max(worstRan, ranWithEntries);
        std::printf("  %-28s %10.1f ms (%6.1f ms) %10.1f ms (%6.1f ms)\n", big.first().steps.at(i).name.constData(),
                    withEntries, ranWithEntries, medianOf(empty, i, &Round::Step::stallMs),
                    medianOf(empty, i, &Round::Step::cpuInStallMs));
    }
    std::printf("  longest with %d entries: %.1f ms (aim: under 100 ms); the GUI thread ran at most %.1f ms within a step's "
                "longest stall%s; "
                "load average after: %s\n",
                entries, worst, worstRan, allReached ? "" : "; some steps did not finish", loadAverage().constData());
    for (QProcess *server : {&bigServer, &emptyServer}) {
        server->kill();
        server->waitForFinished();
    }
    return allReached ? 0 : 1;
}
