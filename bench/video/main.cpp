// Throughput of the video path set against the ffmpeg program with the same
// x264 settings, and the floor under both: x264 alone on pictures converted
// beforehand. The three sides read the same raw file from memory, each as a
// child process of this one, and are timed alike: wall clock from spawn to
// exit, processor time from the child's own usage. Each writes its stream to
// a pipe this process drains. Runs alternate between the sides and the
// median is printed. Last, the cost of one unpaced X11 capture of the main
// display.
//
// Prints figures; asserts nothing.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

extern "C" {
#include <x264.h>
}

#include "BenchProcess.h"
#include "FakeScreenSource.h"
#include "Mirror/H264Packet.h"
#include "Platform/LinuxPlatform.h"
#include "VideoToolBox/VTPCompressionSession.h"

extern char **environ;

namespace {

// The display-stream road's settings for screens up to 1080 lines: 20 frames
// a second, its average bit rate and data-rate limit, and its key-frame
// interval (what the road hands the compression session).
constexpr int kFps = 20;
constexpr qint64 kBitrate = 3355443;
constexpr qint64 kLimitBytes = 1048576;
constexpr int kLimitSeconds = 1;
constexpr qint64 kKeyframeInterval = 1440000;
// More pictures in flight than this and the session drops the newest.
constexpr int kSessionQueue = 3;

// x264's VBV as the encoder derives it from the data-rate limit: the least
// whole kbit/s above the average bit rate (at most nine tenths of the limit's
// rate), a buffer of what that leaves of the limit, full at the start.
struct Vbv {
    int rateKbit;
    int bufferKbit;
    float initialFill;
};

Vbv vbvFromLimit()
{
    const double limitKilobits = double(kLimitBytes) * 8.0 / 1000.0;
    const double limitRate = limitKilobits / kLimitSeconds;
    const double rate = std::min(double(kBitrate / 1000) + 1.0, std::floor(limitRate * 0.9));
    const int rateKbit = int(std::max(1.0, rate));
    return {rateKbit, int(std::max(1.0, std::floor(limitKilobits - rateKbit * kLimitSeconds))), 1.0f};
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool readFull(int fd, uchar *to, size_t bytes)
{
    while (bytes > 0) {
        const ssize_t n = ::read(fd, to, bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        to += n;
        bytes -= size_t(n);
    }
    return true;
}

void writeFull(int fd, const char *from, size_t bytes)
{
    while (bytes > 0) {
        const ssize_t n = ::write(fd, from, bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        from += n;
        bytes -= size_t(n);
    }
}

// ---------------------------------------------------------------------------
// Child: the project's side. A compression session set up as the video
// sender sets up its encoder, fed from one thread, its results framed as the
// stream frames them and written out.

// Picture buffers handed round as a capture hands round its segments: a
// buffer goes back to the pool once the encoder lets go of the picture.
class BufferPool {
public:
    BufferPool(size_t count, size_t bytes)
    {
        for (size_t i = 0; i < count; ++i) {
            m_all.emplace_back(new uchar[bytes]);
            m_free.push_back(m_all.back().get());
        }
    }
    std::shared_ptr<uchar> acquire()
    {
        std::unique_lock lock(m_mutex);
        m_returned.wait(lock, [this] { return !m_free.empty(); });
        uchar *buffer = m_free.back();
        m_free.pop_back();
        return std::shared_ptr<uchar>(buffer, [this](uchar *p) {
            std::lock_guard back(m_mutex);
            m_free.push_back(p);
            m_returned.notify_one();
        });
    }

private:
    std::vector<std::unique_ptr<uchar[]>> m_all;
    std::vector<uchar *> m_free;
    std::mutex m_mutex;
    std::condition_variable m_returned;
};

class StreamWriter : public VTPCompressionSessionDelegate {
public:
    void videoCompressionSessionDidEncodeSampleBuffer(VTPCompressionSession *,
                                                      const VTPSampleBufferRef &sampleBuffer) override
    {
        if (m_first) {
            H264Packet parameterSets;
            parameterSets.packetizeSPS_PPS(*sampleBuffer);
            write(H264Packet::packetWithPayload(parameterSets.data(), H264PacketTypeParameterSets));
            m_first = false;
        }
        write(H264Packet::packetWithPayload(H264Packet(*sampleBuffer).data(), H264PacketTypeCodedFrame));
        ++m_encoded;
        completed();
    }
    void videoCompressionSessionDidDropSampleBuffer(VTPCompressionSession *, const VTPSampleBufferRef &) override
    {
        ++m_dropped;
        completed();
    }
    // Until at most `inFlight` submitted pictures have no result yet.
    void waitForRoom(int submitted, int inFlight)
    {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [&] { return submitted - m_completed < inFlight; });
    }
    int encoded() const { return m_encoded; }
    int dropped() const { return m_dropped; }

private:
    static void write(const QByteArray &bytes) { writeFull(STDOUT_FILENO, bytes.constData(), size_t(bytes.size())); }
    void completed()
    {
        {
            std::lock_guard lock(m_mutex);
            ++m_completed;
        }
        m_done.notify_one();
    }

    bool m_first = true;
    std::atomic<int> m_encoded{0};
    std::atomic<int> m_dropped{0};
    std::mutex m_mutex;
    std::condition_variable m_done;
    int m_completed = 0;
};

int childOurs(QCoreApplication &app, const char *path, int width, int height, int frames)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return 1;
    }
    StreamWriter writer;
    VTPCompressionSession session(width, height, kVTPCodecTypeH264, nullptr, Platform::Linux::makeH264Encoder());
    if (!session.isValid())
        return 1;
    session.setDelegate(&writer, nullptr);
    TavlinError error;
    session.setRealtime(true);
    session.setAllowFrameReordering(false, &error);
    session.setMaxKeyframeInterval(kKeyframeInterval, &error);
    session.setAverageBitrate(qint32(kBitrate), &error);
    session.setDataRateLimits(QVariantList{kLimitBytes, kLimitSeconds}, &error);
    session.setMaxframeDelayCount(1, &error);
    session.setProfileLevel(VTPProfileLevel::H264_Main_AutoLevel, &error);
    session.prepare();

    const size_t bytes = size_t(width) * 4 * size_t(height);
    // One picture being read besides those the session holds: fresh memory
    // is dear to touch here (a page fault each 4 KiB), and more buffers would
    // only add to the start-up the other sides do not pay.
    BufferPool pool(kSessionQueue + 1, bytes);
    std::thread feeder([&] {
        for (int i = 0; i < frames; ++i) {
            std::shared_ptr<uchar> pixels = pool.acquire();
            if (!readFull(fd, pixels.get(), bytes))
                break;
            auto frame = std::make_shared<Platform::VideoFrame>();
            frame->data = pixels.get();
            frame->width = width;
            frame->height = height;
            frame->stride = width * 4;
            frame->timestampMs = qint64(i) * 1000 / kFps;
            frame->storage = pixels;
            pixels.reset();
            // As many pictures in flight as the session holds, no more: the
            // encoder never waits for input and nothing is dropped. A
            // result arrives a moment before the session counts its picture
            // done, hence the short wait on its own count.
            writer.waitForRoom(i, kSessionQueue);
            QElapsedTimer patience;
            patience.start();
            while (session.numberOfPendingFrames() >= quint64(kSessionQueue) && patience.elapsed() < 20)
                std::this_thread::yield();
            session.encodePixelBuffer(frame, frame->timestampMs, 1000 / kFps, i == 0);
        }
        session.finish();
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    feeder.join();
    ::close(fd);
    std::fprintf(stderr, "encoded %d dropped %d\n", writer.encoded(), writer.dropped());
    return 0;
}

// ---------------------------------------------------------------------------
// Child: the floor. libx264 called directly with the encoder's settings, on
// pictures already in I420.

int childX264(const char *path, int width, int height, int frames)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return 1;
    }
    x264_param_t p;
    if (x264_param_default_preset(&p, "veryfast", "zerolatency") < 0)
        return 1;
    p.i_log_level = X264_LOG_ERROR;
    p.i_width = width;
    p.i_height = height;
    p.i_csp = X264_CSP_I420;
    p.i_fps_num = kFps;
    p.i_fps_den = 1;
    p.i_timebase_num = 1;
    p.i_timebase_den = 1000;
    p.b_vfr_input = 0;
    p.i_bframe = 0;
    p.rc.i_lookahead = 0;
    p.i_sync_lookahead = 0;
    p.i_keyint_max = int(kKeyframeInterval);
    p.i_keyint_min = X264_KEYINT_MIN_AUTO;
    p.i_scenecut_threshold = 0;
    p.b_intra_refresh = 0;
    p.rc.i_rc_method = X264_RC_ABR;
    p.rc.i_bitrate = int(kBitrate / 1000);
    const Vbv vbv = vbvFromLimit();
    p.rc.i_vbv_max_bitrate = vbv.rateKbit;
    p.rc.i_vbv_buffer_size = vbv.bufferKbit;
    p.rc.f_vbv_buffer_init = vbv.initialFill;
    p.vui.i_colorprim = 1;
    p.vui.i_transfer = 1;
    p.vui.i_colmatrix = 1;
    p.vui.b_fullrange = 0;
    p.b_repeat_headers = 1;
    p.b_annexb = 0;
    p.b_aud = 0;
    if (x264_param_apply_profile(&p, "main") < 0)
        return 1;
    x264_t *encoder = x264_encoder_open(&p);
    if (!encoder)
        return 1;
    x264_picture_t picture;
    if (x264_picture_alloc(&picture, X264_CSP_I420, width, height) < 0)
        return 1;
    // The three planes lie back to back with strides of the width and half
    // of it, as the file holds them.
    const size_t bytes = size_t(width) * size_t(height) * 3 / 2;
    int encoded = 0;
    auto output = [&](int size, x264_nal_t *nals) {
        if (size > 0) {
            writeFull(STDOUT_FILENO, reinterpret_cast<const char *>(nals[0].p_payload), size_t(size));
            ++encoded;
        }
    };
    for (int i = 0; i < frames; ++i) {
        if (!readFull(fd, picture.img.plane[0], bytes))
            break;
        picture.i_pts = qint64(i) * 1000 / kFps;
        picture.i_type = i == 0 ? X264_TYPE_IDR : X264_TYPE_AUTO;
        x264_nal_t *nals = nullptr;
        int count = 0;
        x264_picture_t out;
        const int size = x264_encoder_encode(encoder, &nals, &count, &picture, &out);
        output(size, nals);
    }
    while (x264_encoder_delayed_frames(encoder) > 0) {
        x264_nal_t *nals = nullptr;
        int count = 0;
        x264_picture_t out;
        const int size = x264_encoder_encode(encoder, &nals, &count, nullptr, &out);
        if (size < 0)
            break;
        output(size, nals);
    }
    x264_picture_clean(&picture);
    x264_encoder_close(encoder);
    ::close(fd);
    std::fprintf(stderr, "encoded %d dropped 0\n", encoded);
    return 0;
}

// ---------------------------------------------------------------------------
// The parent.

struct ChildRun {
    bool ok = false;
    double seconds = 0;
    double cpuSeconds = 0;
    qint64 outBytes = 0;
    int encoded = -1; // as the child says; -1: it does not say
    int dropped = 0;
    QByteArray head;  // the start of its stream
    QByteArray errors;
};

// Spawns the program with its output into a pipe drained here and its error
// output into a file; wall clock from spawn to reaping, processor time of
// all its threads from wait4.
ChildRun runChild(const QStringList &arguments, const QString &errorFile)
{
    ChildRun run;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    const QByteArray errorPath = QFile::encodeName(errorFile);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<QByteArray> storage;
    std::vector<char *> argv;
    for (const QString &argument : arguments)
        storage.push_back(QFile::encodeName(argument));
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        run.errors = "cannot start " + storage[0];
        return run;
    }
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (run.head.size() < 65536)
            run.head.append(buffer.data(), qsizetype(std::min<ssize_t>(n, 65536 - run.head.size())));
        run.outBytes += n;
    }
    ::close(pipeFds[0]);
    int status = 0;
    rusage usage {};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    run.cpuSeconds = BenchProcess::cpuSeconds(usage);
    QFile errors(errorFile);
    if (errors.open(QIODevice::ReadOnly))
        run.errors = errors.readAll().trimmed();
    int encoded = 0;
    int dropped = 0;
    const qsizetype tally = run.errors.lastIndexOf("encoded ");
    if (tally >= 0 && std::sscanf(run.errors.constData() + tally, "encoded %d dropped %d", &encoded, &dropped) == 2) {
        run.encoded = encoded;
        run.dropped = dropped;
    }
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// The options x264 writes into the first picture of its stream: what each
// side's encoder was really set to.
QByteArray x264Options(const QByteArray &stream)
{
    const qsizetype at = stream.indexOf("options: ");
    if (at < 0)
        return {};
    qsizetype end = at + 9;
    while (end < stream.size() && uchar(stream[end]) >= 0x20 && uchar(stream[end]) < 0x7f)
        ++end;
    return stream.mid(at + 9, end - at - 9);
}

// Profile and level from the stream's first sequence parameter set, found
// behind a start code or a 4-byte length alike.
QByteArray profileLevel(const QByteArray &stream)
{
    for (qsizetype i = 3; i + 3 < stream.size(); ++i) {
        if (stream[i] == 0x67 && stream[i - 2] == 0 && stream[i - 3] == 0) {
            const int profile = uchar(stream[i + 1]);
            const int level = uchar(stream[i + 3]);
            const QByteArray name = profile == 66 ? "Baseline" : profile == 77 ? "Main" : profile == 100 ? "High"
                                                                                          : QByteArray::number(profile);
            return name + ' ' + QByteArray::number(level / 10) + '.' + QByteArray::number(level % 10);
        }
    }
    return "unknown";
}

std::map<QByteArray, QByteArray> optionMap(const QByteArray &options)
{
    std::map<QByteArray, QByteArray> out;
    for (const QByteArray &item : options.split(' ')) {
        const qsizetype eq = item.indexOf('=');
        if (eq > 0)
            out[item.left(eq)] = item.mid(eq + 1);
    }
    return out;
}

// "the same" or the options where a side differs from ours.
QByteArray compareOptions(const QByteArray &ours, const QByteArray &other)
{
    if (ours.isEmpty() || other.isEmpty())
        return "not stated in the stream";
    const auto a = optionMap(ours);
    const auto b = optionMap(other);
    QByteArray differences;
    for (const auto &[key, value] : a) {
        const auto it = b.find(key);
        const QByteArray theirs = it == b.end() ? QByteArray("(none)") : it->second;
        if (theirs != value)
            differences += ' ' + key + '=' + value + '/' + theirs;
    }
    for (const auto &[key, value] : b) {
        if (!a.count(key))
            differences += ' ' + key + "=(none)/" + value;
    }
    return differences.isEmpty() ? QByteArray("the same") : "differ (ours/theirs):" + differences;
}

qint64 memAvailableBytes()
{
    QFile info(QStringLiteral("/proc/meminfo"));
    if (!info.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : info.readAll().split('\n')) {
        if (line.startsWith("MemAvailable:"))
            return line.mid(13).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}

qint64 freeBytes(const QString &dir)
{
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(dir).constData(), &fs) != 0)
        return 0;
    return qint64(fs.f_bavail) * qint64(fs.f_frsize);
}

// Reads a file once so that every side finds it in memory.
void warm(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    std::vector<char> buffer(1 << 20);
    while (::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    ::close(fd);
}

bool runQuiet(const QString &program, const QStringList &arguments, QString *failure)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *failure = QString::fromLocal8Bit(p.readAll()).trimmed();
        return false;
    }
    return true;
}

bool writeSynthetic(const QString &path, QSize size, int frames)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (int i = 0; i < frames; ++i) {
        const Platform::VideoFramePtr frame = Platform::Fake::FakeScreenSource::makeFrame(size, i);
        const qint64 bytes = qint64(frame->stride) * frame->height;
        if (file.write(reinterpret_cast<const char *>(frame->data), bytes) != bytes)
            return false;
    }
    return true;
}

QString sizeText(QSize size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

QStringList ffmpegArguments(const QString &ffmpeg, const QString &input, QSize size)
{
    const Vbv vbv = vbvFromLimit();
    return {ffmpeg,
            QStringLiteral("-hide_banner"),
            QStringLiteral("-loglevel"),
            QStringLiteral("error"),
            QStringLiteral("-nostdin"),
            QStringLiteral("-f"),
            QStringLiteral("rawvideo"),
            QStringLiteral("-pix_fmt"),
            QStringLiteral("bgr0"),
            QStringLiteral("-s"),
            sizeText(size),
            QStringLiteral("-r"),
            QString::number(kFps),
            QStringLiteral("-i"),
            input,
            QStringLiteral("-vf"),
            QStringLiteral("scale=flags=bilinear:out_color_matrix=bt709:out_range=tv,format=yuv420p"),
            QStringLiteral("-c:v"),
            QStringLiteral("libx264"),
            QStringLiteral("-threads"),
            QStringLiteral("0"),
            QStringLiteral("-preset"),
            QStringLiteral("veryfast"),
            QStringLiteral("-tune"),
            QStringLiteral("zerolatency"),
            QStringLiteral("-profile:v"),
            QStringLiteral("main"),
            QStringLiteral("-bf"),
            QStringLiteral("0"),
            QStringLiteral("-g"),
            QString::number(kKeyframeInterval),
            QStringLiteral("-b:v"),
            QString::number(kBitrate / 1000) + 'k',
            QStringLiteral("-maxrate"),
            QString::number(vbv.rateKbit) + 'k',
            QStringLiteral("-bufsize"),
            QString::number(vbv.bufferKbit) + 'k',
            QStringLiteral("-x264-params"),
            QStringLiteral("scenecut=0:force-cfr=1:repeat-headers=1:colorprim=bt709:transfer=bt709:colormatrix=bt709"),
            QStringLiteral("-f"),
            QStringLiteral("h264"),
            QStringLiteral("-")};
}

struct Side {
    const char *name;
    QStringList arguments;
    std::vector<double> seconds;
    std::vector<double> cpu;
    ChildRun last;
    QString failure;
};

void printSide(const QString &label, const Side &side, int frames)
{
    if (side.seconds.empty()) {
        std::printf("%s %-11s failed: %s\n", qPrintable(label), side.name, qPrintable(side.failure));
        return;
    }
    const double seconds = median(side.seconds);
    const double cpu = median(side.cpu);
    QByteArray note;
    if (side.last.encoded >= 0)
        note = ", " + QByteArray::number(side.last.encoded) + " encoded, " + QByteArray::number(side.last.dropped)
               + " dropped";
    std::printf("%s %-11s %6.1f fps  %6.2f ms/frame  CPU %6.2f ms/frame  (%lld bytes%s)\n", qPrintable(label),
                side.name, frames / seconds, seconds * 1000 / frames, cpu * 1000 / frames,
                static_cast<long long>(side.last.outBytes), note.constData());
}

// One content at one size: the three sides, `runs` times each, alternating.
void compare(const QString &self, const QString &ffmpeg, const QString &dir, const char *content, QSize size,
             int frames, int runs)
{
    const QString label = QStringLiteral("%1 %2").arg(sizeText(size), -9).arg(QLatin1String(content), -9);
    const QString bgra = dir + QStringLiteral("/frames.bgra");
    const QString i420 = dir + QStringLiteral("/frames.i420");
    QString failure;
    bool ready = false;
    if (std::strcmp(content, "synthetic") == 0) {
        ready = writeSynthetic(bgra, size, frames);
        if (!ready)
            failure = QStringLiteral("cannot write %1").arg(bgra);
    } else {
        ready = runQuiet(ffmpeg,
                         {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                          QStringLiteral("-nostdin"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                          QStringLiteral("-i"),
                          QStringLiteral("testsrc2=size=%1:rate=%2").arg(sizeText(size)).arg(kFps),
                          QStringLiteral("-frames:v"), QString::number(frames), QStringLiteral("-pix_fmt"),
                          QStringLiteral("bgra"), QStringLiteral("-f"), QStringLiteral("rawvideo"),
                          QStringLiteral("-y"), bgra},
                         &failure);
    }
    // The floor's input: the same pictures through the same conversion,
    // before any timing.
    if (ready) {
        ready = runQuiet(ffmpeg,
                         {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                          QStringLiteral("-nostdin"), QStringLiteral("-f"), QStringLiteral("rawvideo"),
                          QStringLiteral("-pix_fmt"), QStringLiteral("bgr0"), QStringLiteral("-s"), sizeText(size),
                          QStringLiteral("-i"), bgra, QStringLiteral("-vf"),
                          QStringLiteral("scale=flags=bilinear:out_color_matrix=bt709:out_range=tv"),
                          QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), QStringLiteral("-f"),
                          QStringLiteral("rawvideo"), QStringLiteral("-y"), i420},
                         &failure);
    }
    if (!ready) {
        std::printf("%s cannot prepare the pictures: %s\n", qPrintable(label), qPrintable(failure));
        QFile::remove(bgra);
        QFile::remove(i420);
        return;
    }
    warm(bgra);
    warm(i420);

    const QString w = QString::number(size.width());
    const QString h = QString::number(size.height());
    const QString n = QString::number(frames);
    std::vector<Side> sides = {
        {"ours", {self, QStringLiteral("--child-ours"), bgra, w, h, n}, {}, {}, {}, {}},
        {"ffmpeg", ffmpegArguments(ffmpeg, bgra, size), {}, {}, {}, {}},
        {"x264 alone", {self, QStringLiteral("--child-x264"), i420, w, h, n}, {}, {}, {}, {}},
    };
    const QString errorFile = dir + QStringLiteral("/errors.txt");
    for (int run = 0; run < runs; ++run) {
        // Each side goes first in turn, so none always inherits the
        // machine from the same neighbour.
        for (size_t k = 0; k < sides.size(); ++k) {
            Side &side = sides[(size_t(run) + k) % sides.size()];
            ChildRun result = runChild(side.arguments, errorFile);
            if (!result.ok || (result.encoded >= 0 && result.encoded + result.dropped != frames)) {
                side.failure = QString::fromLocal8Bit(result.errors);
                continue;
            }
            side.seconds.push_back(result.seconds);
            side.cpu.push_back(result.cpuSeconds);
            side.last = std::move(result);
        }
    }
    QFile::remove(bgra);
    QFile::remove(i420);
    QFile::remove(errorFile);

    for (const Side &side : sides)
        printSide(label, side, frames);
    const Side &ours = sides[0];
    const Side &theirs = sides[1];
    const Side &floor = sides[2];
    if (!ours.seconds.empty() && !theirs.seconds.empty() && !floor.seconds.empty()) {
        const double o = median(ours.seconds);
        const double t = median(theirs.seconds);
        const double f = median(floor.seconds);
        std::printf("%s ratio ours/ffmpeg %.2f, x264 alone/ffmpeg %.2f; CPU/frame ours - x264 alone %+.2f ms\n",
                    qPrintable(label), t / o, t / f,
                    (median(ours.cpu) - median(floor.cpu)) * 1000 / frames);
    }
    const QByteArray ourOptions = x264Options(ours.last.head);
    std::printf("%s x264 options: ffmpeg's %s; x264 alone's %s; profile and level (ours/ffmpeg/x264 alone) "
                "%s / %s / %s\n",
                qPrintable(label), compareOptions(ourOptions, x264Options(theirs.last.head)).constData(),
                compareOptions(ourOptions, x264Options(floor.last.head)).constData(),
                profileLevel(ours.last.head).constData(), profileLevel(theirs.last.head).constData(),
                profileLevel(floor.last.head).constData());
    std::printf("%s load average %s\n", qPrintable(label), BenchProcess::loadAverage().constData());
    std::fflush(stdout);
}

// A private Xvfb when no display is given.
struct PrivateDisplay {
    QProcess xvfb;
    bool own = false;
    qint64 serverPid() const { return own ? xvfb.processId() : 0; }
    bool start()
    {
        if (!qEnvironmentVariableIsEmpty("DISPLAY"))
            return true;
        const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (program.isEmpty())
            return false;
        for (int display = 411; display < 431; ++display) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)))
                continue;
            xvfb.start(program, {QStringLiteral(":%1").arg(display), QStringLiteral("-screen"), QStringLiteral("0"),
                                 QStringLiteral("1920x1080x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                 QStringLiteral("+extension"), QStringLiteral("MIT-SHM")});
            if (!xvfb.waitForStarted())
                return false;
            for (int i = 0; i < 100 && !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)); ++i)
                QThread::msleep(20);
            qputenv("DISPLAY", QByteArray(":") + QByteArray::number(display));
            own = true;
            return true;
        }
        return false;
    }
    ~PrivateDisplay()
    {
        if (xvfb.state() != QProcess::NotRunning) {
            xvfb.terminate();
            xvfb.waitForFinished(3000);
        }
    }
};

// Processor time of another process so far (its own threads, from /proc).
double processCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    // Fields after the name in parentheses; user and system time are the
    // 14th and 15th of the line.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(::sysconf(_SC_CLK_TCK));
}

// Grabs back to back through the capture's own loop, with a period too
// short to wait for: what one grab costs, not the pacing between grabs.
void captureCost(int runs)
{
    PrivateDisplay display;
    if (!display.start()) {
        std::printf("X11 capture: no X server\n");
        return;
    }
    for (const bool cursor : {false, true}) {
        std::vector<double> wall;
        std::vector<double> cpu;
        std::vector<double> server;
        QRect bounds;
        for (int run = 0; run < runs; ++run) {
            auto source = Platform::Linux::makeScreenSource();
            bounds = source->mainDisplayBounds();
            std::atomic<int> frames{0};
            Platform::ScreenCaptureOptions options;
            options.fps = 1000000;
            options.showCursor = cursor;
            options.dropDuplicates = false;
            const double cpuBefore = BenchProcess::cpuSeconds(RUSAGE_SELF);
            const double serverBefore = processCpuSeconds(display.serverPid());
            QElapsedTimer timer;
            timer.start();
            if (!source->start(options, [&](Platform::VideoFramePtr) { ++frames; }, {})) {
                std::printf("X11 capture: cannot capture %s\n", qgetenv("DISPLAY").constData());
                return;
            }
            QThread::msleep(1500);
            source->stop();
            const int count = std::max(1, frames.load());
            wall.push_back(double(timer.nsecsElapsed()) / 1e6 / count);
            cpu.push_back((BenchProcess::cpuSeconds(RUSAGE_SELF) - cpuBefore) * 1000 / count);
            server.push_back((processCpuSeconds(display.serverPid()) - serverBefore) * 1000 / count);
        }
        // The server's share is known only for a server of our own.
        const QByteArray serverShare = display.own
                                           ? "the X server's " + QByteArray::number(median(server), 'f', 3) + " ms"
                                           : QByteArray("the X server's not counted");
        std::printf("X11 capture %dx%d of %s%s (MIT-SHM%s), unpaced: %.3f ms/grab, CPU %.3f ms/grab here, %s "
                    "(median of %d)\n",
                    bounds.width(), bounds.height(), qgetenv("DISPLAY").constData(),
                    display.own ? ", a private Xvfb" : "", cursor ? ", pointer drawn in" : "", median(wall),
                    median(cpu), serverShare.constData(), runs);
    }
    std::printf("X11 capture load average %s\n", BenchProcess::loadAverage().constData());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 6 && std::strcmp(argv[1], "--child-ours") == 0)
        return childOurs(app, argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    if (argc == 6 && std::strcmp(argv[1], "--child-x264") == 0)
        return childX264(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));

    int frames = 240;
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--frames") == 0)
            frames = std::max(20, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    const QString self = QCoreApplication::applicationFilePath();
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    const Vbv vbv = vbvFromLimit();
    std::printf("video bench: %s\n", BenchProcess::machineLine().constData());
    std::printf("each side a child process reading the same raw file from memory, timed from spawn to exit, its "
                "stream drained through a pipe; %d frames, median of %d alternating runs\n",
                frames, runs);
    std::printf("x264 veryfast/zerolatency, Main, no B-frames, key frames every %lld, %lld bit/s, VBV %d kbit/s "
                "buffer %d kbit, %d fps; BGRA -> I420 bilinear BT.709 limited range; threads as x264 chooses\n",
                static_cast<long long>(kKeyframeInterval), static_cast<long long>(kBitrate), vbv.rateKbit,
                vbv.bufferKbit, kFps);
    if (ffmpeg.isEmpty()) {
        std::printf("ffmpeg not found: nothing to compare with\n");
    } else {
        // The largest pair of files at a time; in memory when it fits twice.
        const qint64 need = qint64(frames) * 1920 * 1080 * 4 * 11 / 8;
        QString base = QStringLiteral("/dev/shm");
        if (freeBytes(base) < 2 * need || memAvailableBytes() < 2 * need)
            base = QDir::tempPath();
        QTemporaryDir dir(base + QStringLiteral("/video_bench_XXXXXX"));
        if (!dir.isValid() || freeBytes(base) < need) {
            std::printf("no room for %lld MB of pictures in %s\n", static_cast<long long>(need >> 20),
                        qPrintable(base));
        } else {
            std::printf("pictures in %s (%lld MB free there, %lld MB of memory available)\n", qPrintable(dir.path()),
                        static_cast<long long>(freeBytes(base) >> 20),
                        static_cast<long long>(memAvailableBytes() >> 20));
            std::fflush(stdout);
            for (const char *content : {"testsrc2", "synthetic"}) {
                for (const QSize size : {QSize(1920, 1080), QSize(1280, 720)})
                    compare(self, ffmpeg, dir.path(), content, size, frames, runs);
            }
        }
    }
    captureCost(runs);
    return 0;
}
