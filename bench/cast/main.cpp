// A whole cast, end to end, through the library's facade: search, connect by
// IP with the casting code, start the cast, and then the picture of a
// private Xvfb (1920x1080 by default) captured through X11, encoded with x264
// and sent to the receiver emulator's video port on loopback, at the road's
// default rate and at the rates the receiver asks for with its encoder
// request. The screen shows ffmpeg's testsrc2, painted by a process of its
// own; the receiver, which decodes every picture, runs in another, so the
// figures below are the casting process's alone:
//   - coded pictures handed to the video socket per second,
//   - capture-to-socket latency (from the grab to the hand-over of the
//     picture's packet; p50, p95 and the largest),
//   - processor time of the process (user and system) per picture sent,
//     against x264 alone on pictures this cast captured (recorded right
//     after the rate's measurement, then converted by the encoder's own
//     conversion and coded with the road's settings at the same rate, in a
//     process of its own),
//   - its resident-memory peak (VmHWM) over each rate's run, and where the
//     memory is at the end: private (x264's own share measured by x264
//     alone), the capture's MIT-SHM segments, the mapped libraries,
// each with the machine's load at the end of the run.
//
// Usage: bench_cast [--size WxH] [--warmup S] [--seconds S] [--rates 20,60]
//                   [--rounds N] [--frames-held N]
// With several rounds the rates alternate (20, 60, 20, 60, ...), so that a
// machine whose load changes weighs on each rate alike.
// Prints figures and the aims they meet; asserts nothing about speed. Ends
// with 1 when the cast does not come up or sends nothing, with 77 when Xvfb
// or ffmpeg is missing.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "BenchProcess.h"
#include "FakePlatformServices.h"
#include "MainControl/TLConnectPack/TLConnectPack.h"
#include "MainControl/TLMasterControlPack/TLMasterControlPack.h"
#include "Mirror/VideoDisplaySession.h"
#include "Mirror/VideoSession.h"
#include "Painter.h"
#include "Platform/LinuxPlatform.h"
#include "PrivateXServer.h"
#include "Rtsp/MirrorSenderFactory.h"
#include "TavlinSDK.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"
#include "Utils/settings/settings.h"
#include "X264Alone.h"

namespace {

using namespace BenchProcess;

const QString kCastingCode = QStringLiteral("123456");
// The rate a cast starts at before the receiver asks for another.
constexpr int kRoadDefaultFps = 20;
constexpr int kPaintFps = 60;
// The exit code when Xvfb or ffmpeg is missing: the run is skipped, not failed.
constexpr int kMissingFacility = 77;

// Aims of the cast at 1080p: the rate asked, less one picture a second, and
// at least 95 % of it; p95 latency; memory; and the processor time at most
// this many times x264 alone's, plus the conversion.
constexpr double kSustainedShare = 0.95;
constexpr double kTargetP95Ms = 20;
constexpr double kTargetPeakMiB = 100;
constexpr double kTargetCpuOverX264 = 1.2;
// Seconds of pictures recorded for x264 alone, at most this many pictures.
constexpr double kRecordSeconds = 2;
constexpr int kMaxRecordedPictures = 120;

void quietInfo(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

// Runs the event loop until `done` holds or `timeoutMs` passes.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return done();
}

// The event loop serves the cast meanwhile: nothing here sleeps.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// What the facade reports.
struct Delegate final : TavlinDelegate {
    void deviceListChanged(const QList<DeviceInformation> &list) override { devices = list; }
    void connectDeviceByIpNeedPwd() override { codeAsked = true; }
    void connectDeviceSuccess(ServerInfo) override { connected = true; }
    void connectDeviceWithError(const TavlinError &error) override
    {
        failure = QStringLiteral("connect failed (%1 %2)").arg(error.domain).arg(error.code);
    }
    void deviceDidDisconnectWithError(const OptionalTavlinError &) override
    {
        failure = QStringLiteral("the receiver disconnected");
    }
    void castSuccess() override { casting = true; }
    void castStopWithError(const OptionalTavlinError &error) override
    {
        casting = false;
        failure = QStringLiteral("the cast stopped (%1)").arg(error ? error->code : 0);
    }

    QList<DeviceInformation> devices;
    bool codeAsked = false;
    bool connected = false;
    bool casting = false;
    QString failure;
};

// Capture-to-socket times of the pictures sent while recording. Written
// from whichever thread hands pictures to the socket.
class Samples {
public:
    void add(qint64 captureMs, qint64 writtenMs)
    {
        std::lock_guard lock(m_mutex);
        ++m_total;
        if (m_recording)
            m_latencies.push_back(int(writtenMs - captureMs));
    }
    void start()
    {
        std::lock_guard lock(m_mutex);
        m_latencies.clear();
        m_recording = true;
    }
    std::vector<int> stop()
    {
        std::lock_guard lock(m_mutex);
        m_recording = false;
        return std::move(m_latencies);
    }
    qint64 total() const
    {
        std::lock_guard lock(m_mutex);
        return m_total;
    }

private:
    mutable std::mutex m_mutex;
    bool m_recording = false;
    qint64 m_total = 0;
    std::vector<int> m_latencies;
};

int percentile(const std::vector<int> &sorted, double p)
{
    if (sorted.empty())
        return 0;
    const size_t rank = size_t(std::max(0.0, std::ceil(p * double(sorted.size())) - 1));
    return sorted[std::min(rank, sorted.size() - 1)];
}

// One of the helper processes: this program again, in another role.
class Helper {
public:
    bool start(const QStringList &arguments, const QString &program = QCoreApplication::applicationFilePath())
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, arguments);
        return m_process.waitForStarted(10000);
    }
    // The next line it prints, without its end.
    QByteArray readLine(int timeoutMs)
    {
        if (!waitUntil([this] { return m_process.canReadLine() || m_process.state() == QProcess::NotRunning; },
                       timeoutMs))
            return {};
        return m_process.readLine().trimmed();
    }
    void send(const QByteArray &line) { m_process.write(line + '\n'); }
    // Closing its input ends the receiver; the painter is ended.
    void finish(bool terminate)
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        if (terminate)
            m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }
    ~Helper() { finish(true); }

private:
    QProcess m_process;
};

struct RateRun {
    int askedFps = 0;
    QString how;
    double seconds = 0;
    qint64 frames = 0;
    int p50 = 0;
    int p95 = 0;
    int worst = 0;
    double cpuMsPerFrame = 0;
    // x264 alone on pictures of this cast, per picture: conversion, coding.
    int x264Pictures = 0;
    double conversionMs = 0;
    double x264Ms = 0;
    double peakMiB = 0;
    // What is resident at the end: private, shared with the X server (the
    // capture's MIT-SHM segments), and the mapped libraries (Qt's among them).
    double anonMiB = 0;
    double shmemMiB = 0;
    double fileMiB = 0;
    // Of the private part, what x264 alone takes for its own frames,
    // lookahead and threads at this size and rate.
    double x264OwnMiB = 0;
    qint64 decoded = 0;
    QString load;
};

struct Options {
    QSize size{1920, 1080};
    int warmupMs = 3000;
    int measureMs = 12000;
    QList<int> rates{20, 60};
    int rounds = 1;
    // Pictures the capture may have handed out at once (the library's
    // setting when 0).
    int framesHeld = 0;
    QHostAddress receiverAddress{QStringLiteral("127.0.0.61")};
    QHostAddress ownAddress{QStringLiteral("127.0.0.62")};
};

int runCast(const Options &options)
{
    std::printf("cast bench: %dx%d, warm-up %.1f s, %.1f s per rate\n", options.size.width(), options.size.height(),
                options.warmupMs / 1000.0, options.measureMs / 1000.0);
    std::printf("machine: %s, %d logical CPUs; load at start %s\n", BenchProcess::cpuModel().constData(),
                QThread::idealThreadCount(), BenchProcess::loadAverage().constData());

    PrivateXServer xserver;
    if (!PrivateXServer::available() || !xserver.start(options.size, 24)) {
        std::fprintf(stderr, "cast bench: no Xvfb to capture\n");
        return kMissingFacility;
    }
    const QByteArray display = xserver.displayName();
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) {
        std::fprintf(stderr, "cast bench: ffmpeg is needed to paint the moving picture\n");
        return kMissingFacility;
    }
    Helper painter;
    if (!painter.start({QStringLiteral("--role"), QStringLiteral("painter"), QStringLiteral("--display"),
                        QString::fromLatin1(display), QStringLiteral("--size"),
                        QStringLiteral("%1x%2").arg(options.size.width()).arg(options.size.height())})
        || painter.readLine(20000) != "painting") {
        std::fprintf(stderr, "cast bench: the painter did not start\n");
        return 1;
    }
    std::printf("frames: real X11 capture (MIT-SHM) of a private Xvfb %s showing ffmpeg's testsrc2 at %d fps and "
                "a block moving every 4 ms and between the picture's strips, painted through MIT-SHM by a separate "
                "process reading ffmpeg one picture ahead\n",
                display.constData(), kPaintFps);

    Helper receiver;
    if (!receiver.start({QStringLiteral("--address"), options.receiverAddress.toString(), QStringLiteral("--code"),
                         kCastingCode},
                        QCoreApplication::applicationDirPath() + QStringLiteral("/bench_cast_receiver"))) {
        std::fprintf(stderr, "cast bench: the receiver did not start\n");
        return 1;
    }
    const QList<QByteArray> ready = receiver.readLine(20000).split(' ');
    if (ready.size() != 3 || ready[0] != "ready") {
        std::fprintf(stderr, "cast bench: the receiver did not come up\n");
        return 1;
    }
    const quint16 searchPort = quint16(ready[1].toUInt());
    const quint16 handshakePort = quint16(ready[2].toUInt());

    // The library over the real screen, encoder and processor brand (which
    // picks the capture road); the rest of the system's services are doubles,
    // so that the bench leaves the user's settings, sound and screen saver
    // alone.
    Platform::Fake::FakePlatformServices fakes;
    fakes.interfaceAddresses->ipv4 = options.ownAddress.toString();
    Platform::PlatformServices platform = fakes.services();
    auto recorder = std::make_shared<PictureRecorder>();
    platform.makeScreenSource = [display, recorder] {
        return recordingScreenSource(Platform::Linux::makeScreenSource(display), recorder);
    };
    platform.makeH264Encoder = [] { return Platform::Linux::makeH264Encoder(); };
    platform.machineInfo = Platform::Linux::makeMachineInfo();
    settings::setStore(fakes.store);

    auto samples = std::make_shared<Samples>();
    TavlinServices services = TavlinServices::fromPlatform(platform);
    ConnectPackTimings connectTimings;
    connectTimings.handshakePort = handshakePort;
    services.connectSessionFactory = [connectTimings](ConnectPackDelegate *delegate) -> std::unique_ptr<ConnectSession> {
        return std::make_unique<TLConnectPack>(delegate, connectTimings);
    };
    MasterControlServices master = MasterControlServices::fromPlatform(platform);
    master.clientName = [] { return QStringLiteral("Bench"); };
    master.versionName = QStringLiteral("1.0.0");
    master.versionCode = 1;
    MirrorSenderServices senders;
    senders.video = VideoSenderServices::fromPlatform(platform);
    senders.video.frameWritten = [samples](qint64 captureMs, qint64 writtenMs) { samples->add(captureMs, writtenMs); };
    if (options.framesHeld > 0)
        senders.video.maxFramesHeld = options.framesHeld;
    senders.audio = AudioSessionServices::fromPlatform(platform);
    senders.remoteInput = RemoteControllerServices::fromPlatform(platform);
    master.cast.rtsp.senders = makeMirrorSenderFactory(std::move(senders));
    services.masterControlSessionFactory =
        [master](MasterControlPackDelegate *delegate) -> std::unique_ptr<MasterControlSession> {
        return std::make_unique<TLMasterControlPack>(delegate, master);
    };
    services.search.probeAddresses = {options.receiverAddress};
    services.search.probePort = searchPort;
    services.search.bindAddress = options.ownAddress;
    services.search.bindPort = 0;
    services.timings.searchProbeIntervalMs = 500;

    Delegate delegate;
    auto facade = std::make_unique<TavlinSDK>(&delegate, services);
    const auto fail = [&](const char *step) {
        std::fprintf(stderr, "cast bench: %s%s%s\n", step, delegate.failure.isEmpty() ? "" : ": ",
                     qPrintable(delegate.failure));
        facade->setDelegate(nullptr);
        return 1;
    };
    if (!waitUntil([&] { return !delegate.devices.isEmpty(); }, 15000))
        return fail("the receiver was not found");
    const QString ip = delegate.devices.first().deviceIP();
    if (!facade->connectDeviceByIp(ip)
        || !waitUntil([&] { return delegate.codeAsked || delegate.connected || !delegate.failure.isEmpty(); }, 15000))
        return fail("no answer to the connect");
    if (!delegate.connected
        && (!facade->connectDeviceByIpCheckPwd(kCastingCode)
            || !waitUntil([&] { return delegate.connected || !delegate.failure.isEmpty(); }, 15000)
            || !delegate.connected))
        return fail("the casting code was not taken");
    // The cast mode is known once the first heartbeat has been answered.
    if (!waitUntil([] { return TavlinGlobal::getCastMode() == 1; }, 15000))
        return fail("the master-control session did not come up");
    facade->startMirror();
    if (!waitUntil([&] { return delegate.casting || !delegate.failure.isEmpty(); }, 15000) || !delegate.casting)
        return fail("the cast did not start");
    if (!waitUntil([&] { return samples->total() > 0 || !delegate.failure.isEmpty(); }, 15000))
        return fail("no picture reached the video socket");
    std::printf("road: %s (processor brand \"%s\"); receiver emulator in a separate process on %s, "
                "decoding every picture\n",
                TavlinGlobal::getMacCpuChipBrand() == QLatin1String("Apple") ? "capture session" : "display stream",
                qPrintable(platform.machineInfo->cpuBrand()), qPrintable(options.receiverAddress.toString()));
    std::fflush(stdout);

    const auto receiverStats = [&receiver]() -> QList<QByteArray> {
        receiver.send("stats");
        QList<QByteArray> words = receiver.readLine(5000).split(' ');
        return words.size() == 6 && words[0] == "stats" ? words : QList<QByteArray>{};
    };

    QList<int> schedule;
    for (int round = 0; round < options.rounds; ++round)
        schedule += options.rates;
    std::vector<RateRun> runs;
    int currentFps = kRoadDefaultFps;
    bool failed = false;
    for (const int fps : schedule) {
        RateRun run;
        run.askedFps = fps;
        run.how = QStringLiteral("road default");
        resetPeakRss();
        if (fps != currentFps) {
            run.how = QStringLiteral("receiver's encoder request");
            receiver.send(QStringLiteral("encoder %1 %2 %3")
                              .arg(options.size.width())
                              .arg(options.size.height())
                              .arg(fps)
                              .toLatin1());
            if (receiver.readLine(10000) != "asked") {
                std::fprintf(stderr, "cast bench: the receiver could not ask for %d fps\n", fps);
                failed = true;
                break;
            }
            currentFps = fps;
        }
        runFor(options.warmupMs);
        const QList<QByteArray> before = receiverStats();
        samples->start();
        const double cpuBefore = cpuSeconds(RUSAGE_SELF);
        QElapsedTimer clock;
        clock.start();
        runFor(options.measureMs);
        std::vector<int> latencies = samples->stop();
        run.seconds = clock.nsecsElapsed() / 1e9;
        const double cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
        const QList<QByteArray> after = receiverStats();
        run.peakMiB = statusKiB("VmHWM") / 1024.0;
        run.anonMiB = statusKiB("RssAnon") / 1024.0;
        run.shmemMiB = statusKiB("RssShmem") / 1024.0;
        run.fileMiB = statusKiB("RssFile") / 1024.0;
        run.load = QString::fromLatin1(BenchProcess::loadAverage());
        run.frames = qint64(latencies.size());
        std::sort(latencies.begin(), latencies.end());
        run.p50 = percentile(latencies, 0.50);
        run.p95 = percentile(latencies, 0.95);
        run.worst = latencies.empty() ? 0 : latencies.back();
        run.cpuMsPerFrame = run.frames > 0 ? cpu * 1000 / double(run.frames) : 0;
        if (!before.isEmpty() && !after.isEmpty())
            run.decoded = after[2].toLongLong() - before[2].toLongLong();
        std::printf("asked %d fps (%s): %.1f fps sent, capture-to-socket p50 %d ms, p95 %d ms, max %d ms, "
                    "CPU %.2f ms per frame, peak RSS %.1f MiB (at the end %.1f MiB private, %.1f MiB shared "
                    "with the X server, %.1f MiB of libraries), receiver decoded %lld (%s, %s decode errors); "
                    "load %s\n",
                    fps, qPrintable(run.how), run.frames / run.seconds, run.p50, run.p95, run.worst,
                    run.cpuMsPerFrame, run.peakMiB, run.anonMiB, run.shmemMiB, run.fileMiB, run.decoded, after.isEmpty() ? "?" : after[5].constData(),
                    after.isEmpty() ? "?" : after[3].constData(), qPrintable(run.load));
        std::fflush(stdout);

        // x264 alone on pictures of this cast, recorded now that the
        // measurement is over.
        const QString recording = QStringLiteral("/dev/shm/bench_cast_pictures_%1").arg(QCoreApplication::applicationPid());
        const int wanted = std::min(kMaxRecordedPictures, int(std::lround(kRecordSeconds * fps)));
        if (recorder->begin(recording, wanted)
            && waitUntil([&] { return recorder->done(); }, int(kRecordSeconds * 1000) * 5 + 5000)) {
            recorder->end();
            const bool appleRoad = TavlinGlobal::getMacCpuChipBrand() == QLatin1String("Apple");
            const VideoSenderBase::EncoderRates rates =
                appleRoad ? VideoSenderBase::EncoderRates{VideoSession::kAverageBitrate, VideoSession::kDataRateLimitBytes}
                          : VideoDisplaySession::encoderRatesForHeight(recorder->size().height());
            Helper alone;
            const QSize size = recorder->size();
            QList<QByteArray> words;
            if (alone.start({QStringLiteral("--role"), QStringLiteral("x264"), QStringLiteral("--file"), recording,
                             QStringLiteral("--size"), QStringLiteral("%1x%2").arg(size.width()).arg(size.height()),
                             QStringLiteral("--pictures"), QString::number(recorder->recorded()),
                             QStringLiteral("--fps"), QString::number(fps), QStringLiteral("--bitrate"),
                             QString::number(rates.averageBitrate), QStringLiteral("--limit"),
                             QString::number(rates.limitBytes)}))
                words = alone.readLine(120000).split(' ');
            alone.finish(false);
            if (words.size() == 5 && words[0] == "x264") {
                run.x264Pictures = words[1].toInt();
                run.conversionMs = words[2].toDouble();
                run.x264Ms = words[3].toDouble();
                run.x264OwnMiB = words[4].toDouble();
                std::printf("asked %d fps: x264 alone on %d pictures of this cast %.2f ms per frame, the "
                            "conversion %.2f ms; the whole cast %.2f ms, which is the conversion and %.2f times x264 "
                            "alone\n",
                            fps, run.x264Pictures, run.x264Ms, run.conversionMs, run.cpuMsPerFrame,
                            (run.cpuMsPerFrame - run.conversionMs) / std::max(0.001, run.x264Ms));
                std::printf("asked %d fps: memory at the end %.1f MiB private, of which x264's own frames, lookahead "
                            "and threads %.1f MiB (x264 alone) and the rest %.1f MiB (the cast's I420 pictures, "
                            "buffers, Qt); %.1f MiB MIT-SHM; %.1f MiB libraries\n",
                            fps, run.anonMiB, run.x264OwnMiB, run.anonMiB - run.x264OwnMiB, run.shmemMiB,
                            run.fileMiB);
            } else {
                std::fprintf(stderr, "cast bench: x264 alone did not run\n");
            }
        } else {
            std::fprintf(stderr, "cast bench: the pictures for x264 alone could not be recorded\n");
        }
        recorder->end();
        QFile::remove(recording);
        std::fflush(stdout);
        runs.push_back(run);
        if (run.frames == 0 || !delegate.failure.isEmpty()) {
            failed = true;
            break;
        }
    }

    facade->stopMirror();
    runFor(300);
    facade->disconnectWithDevice();
    runFor(200);
    facade->setDelegate(nullptr);
    facade.reset();
    receiver.finish(false);
    painter.finish(true);
    xserver.stop();

    std::printf("\n| asked fps | sent fps | latency p50 | latency p95 | CPU per frame | x264 alone + conversion | peak RSS "
                "| load |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (const RateRun &run : runs) {
        std::printf("| %d | %.1f | %d ms | %d ms | %.2f ms | %.2f + %.2f ms | %.1f MiB | %s |\n", run.askedFps,
                    run.frames / run.seconds, run.p50, run.p95, run.cpuMsPerFrame, run.x264Ms, run.conversionMs,
                    run.peakMiB, qPrintable(run.load));
    }
    for (const RateRun &run : runs) {
        const double sent = run.frames / run.seconds;
        const double needed = std::max(run.askedFps - 1.0, kSustainedShare * run.askedFps);
        const double cpuAim = kTargetCpuOverX264 * run.x264Ms + run.conversionMs;
        std::printf("aims at %d fps asked: at least %.1f sent %s (%.1f); p95 under %.0f ms %s (%d ms); peak RSS under "
                    "%.0f MiB %s (%.1f MiB); processor time at most %.1f x x264 alone + conversion = %.2f ms %s "
                    "(%.2f ms)\n",
                    run.askedFps, needed, sent >= needed ? "holds" : "misses", sent, kTargetP95Ms,
                    run.p95 < kTargetP95Ms ? "holds" : "misses", run.p95, kTargetPeakMiB,
                    run.peakMiB < kTargetPeakMiB ? "holds" : "misses", run.peakMiB, kTargetCpuOverX264, cpuAim,
                    run.x264Pictures == 0 ? "not measured" : run.cpuMsPerFrame <= cpuAim ? "holds" : "misses",
                    run.cpuMsPerFrame);
    }
    std::printf("load at end %s\n", BenchProcess::loadAverage().constData());
    if (failed || runs.empty()) {
        std::fprintf(stderr, "cast bench: %s\n",
                     delegate.failure.isEmpty() ? "the run did not complete" : qPrintable(delegate.failure));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    qInstallMessageHandler(quietInfo);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption sizeOption("size", "Screen size.", "WxH", "1920x1080");
    const QCommandLineOption warmupOption("warmup", "Seconds before each rate's measurement.", "s", "3");
    const QCommandLineOption secondsOption("seconds", "Seconds measured per rate.", "s", "12");
    const QCommandLineOption ratesOption("rates", "Frame rates to ask for, in order.", "list", "20,60");
    const QCommandLineOption roundsOption("rounds", "Times the list of rates is run.", "n", "1");
    const QCommandLineOption addressOption("address", "The receiver's loopback address.", "ip", "127.0.0.61");
    const QCommandLineOption roleOption("role", "Internal: painter or x264.", "role");
    const QCommandLineOption displayOption("display", "Internal: the painter's display.", "name");
    const QCommandLineOption framesHeldOption("frames-held", "Pictures the capture may have handed out at once.", "n",
                                              "0");
    const QCommandLineOption fileOption("file", "Internal: x264 alone's pictures.", "path");
    const QCommandLineOption picturesOption("pictures", "Internal: x264 alone's picture count.", "n");
    const QCommandLineOption fpsOption("fps", "Internal: x264 alone's rate.", "n");
    const QCommandLineOption bitrateOption("bitrate", "Internal: x264 alone's average bit rate.", "bits");
    const QCommandLineOption limitOption("limit", "Internal: x264 alone's bytes per second.", "bytes");
    parser.addOptions({sizeOption, warmupOption, secondsOption, ratesOption, roundsOption, addressOption, roleOption,
                       displayOption, framesHeldOption, fileOption, picturesOption, fpsOption, bitrateOption, limitOption});
    parser.process(app);

    Options options;
    const QStringList size = parser.value(sizeOption).split(QLatin1Char('x'));
    options.size = QSize(size.value(0).toInt(), size.value(1).toInt());
    if (options.size.width() < 64 || options.size.height() < 64 || options.size.width() % 2
        || options.size.height() % 2) {
        std::fprintf(stderr, "--size: even sides of at least 64 pixels\n");
        return 2;
    }
    const QString role = parser.value(roleOption);
    if (role == QLatin1String("painter"))
        return runPainter(parser.value(displayOption).toLatin1(), options.size, kPaintFps);
    if (role == QLatin1String("x264"))
        return runX264Alone(parser.value(fileOption), options.size, parser.value(picturesOption).toInt(),
                            parser.value(fpsOption).toInt(), parser.value(bitrateOption).toLongLong(),
                            parser.value(limitOption).toLongLong());
    options.receiverAddress = QHostAddress(parser.value(addressOption));

    QStandardPaths::setTestModeEnabled(true);
    options.warmupMs = int(parser.value(warmupOption).toDouble() * 1000);
    options.measureMs = int(parser.value(secondsOption).toDouble() * 1000);
    options.rates.clear();
    for (const QString &rate : parser.value(ratesOption).split(QLatin1Char(','))) {
        const int fps = rate.toInt();
        if (fps < 1 || fps > 60) {
            std::fprintf(stderr, "--rates: whole numbers from 1 to 60\n");
            return 2;
        }
        options.rates.append(fps);
    }
    options.rounds = parser.value(roundsOption).toInt();
    options.framesHeld = parser.value(framesHeldOption).toInt();
    if (options.rounds < 1) {
        std::fprintf(stderr, "--rounds: at least 1\n");
        return 2;
    }
    if (options.measureMs < 100) {
        std::fprintf(stderr, "--seconds: at least 0.1\n");
        return 2;
    }
    // The casting side binds the address next to the receiver's.
    const quint32 receiverIp = options.receiverAddress.toIPv4Address();
    if ((receiverIp >> 24) != 127) {
        std::fprintf(stderr, "--address: a loopback address\n");
        return 2;
    }
    options.ownAddress = QHostAddress(receiverIp + 1);
    return runCast(options);
}
