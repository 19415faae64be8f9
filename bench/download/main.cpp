// Downloads a 1 GiB file over loopback from the fake file-share server (its
// own process), with the check before each chunk and the per-chunk MD5
// check, into a folder on disk; and, in the same run, the curl program making
// the same check and chunk requests (same URLs and headers, one curl process
// reusing one connection) with the chunks piped through md5sum. Two cases:
// chunks of 8 MiB, where the bytes dominate, and chunks of 1 MiB, where each
// chunk's own cost (two requests, the digest, the write) does. Prints, per
// case, both sides' wall time per chunk and throughput, their ratio, and the
// downloader's peak resident memory.
//
// Usage: bench_download [--size-mib N] [--chunk-mib N]... [--rounds N] [--folder DIR]
// Each side runs `rounds` times, alternating; the best round of each counts.
// The download goes to a folder in memory (/dev/shm) unless told otherwise,
// so that the figure is the downloader's and not the disk's: curl's side
// writes nothing.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

#include "BenchProcess.h"
#include "PublicManager/QVLogManager.h"
#include "QVDownloadEngine.h"

namespace {

using namespace BenchProcess;

constexpr qint64 kMiB = 1024 * 1024;

void quietInfo(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

// Seeded bytes, different in every chunk; answers their MD5.
QString writeSource(const QString &path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QByteArray block(kMiB, Qt::Uninitialized);
    quint64 state = 0x9E3779B97F4A7C15ull;
    auto *words = reinterpret_cast<quint64 *>(block.data());
    QCryptographicHash hash(QCryptographicHash::Md5);
    for (qint64 written = 0; written < size; written += block.size()) {
        for (qsizetype i = 0; i < block.size() / 8; ++i) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            words[i] = state;
        }
        const qint64 n = qMin<qint64>(block.size(), size - written);
        file.write(block.constData(), n);
        hash.addData(QByteArrayView(block.constData(), n));
    }
    return QString::fromLatin1(hash.result().toHex());
}

struct Round {
    double seconds = 0;
    // Processor time of every thread (ours) or of every program of the pipe
    // (curl's), user and system.
    double cpuSeconds = 0;
    QString md5;
};

Round runOurs(const QString &base, const QString &folder, const QString &name, qint64 size, qint64 *baseKiB,
              qint64 *peakKiB)
{
    QVDownloadEngineServices services = QVDownloadEngineServices::linuxDefaults();
    services.fileShareIp = [base] { return base; };
    services.password = [] { return QString(); };
    services.downloadFolder = [folder] { return folder; };
    services.probe = [](qint64, QVTransferNetworkCheck::Verdict verdict) { verdict(false); };
    services.networkReachable = [] { return true; };
    auto file = std::make_shared<QVDownLoadFileModel>();
    file->setAbsPath(QStringLiteral("Root-Local/") + name);
    file->setName(name);
    file->setFileSize(QString::number(size));

    *baseKiB = statusKiB("VmRSS");
    resetPeakRss();
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer clock;
    clock.start();
    Round round;
    {
        QVDownloadEngine engine(services);
        QEventLoop loop;
        QObject::connect(&engine, &QVDownloadEngine::transferFileBtnStyleChanged, &loop, [&](int style) {
            if (style == 1)
                loop.quit();
        });
        engine.addFiles({file});
        engine.checkFileApiWithIndex(0);
        loop.exec();
        round.seconds = clock.nsecsElapsed() / 1e9;
        round.cpuSeconds = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    }
    *peakKiB = statusKiB("VmHWM");
    if (file->downLoadStatus() != QVDownLoadFileModel::Done) {
        std::fprintf(stderr, "download failed with status %lld\n", file->downLoadStatus());
        return round;
    }
    QFile result(file->finalFileURL());
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (result.open(QIODevice::ReadOnly) && hash.addData(&result))
        round.md5 = QString::fromLatin1(hash.result().toHex());
    result.remove();
    return round;
}

Round runCurl(const QString &curl, const QString &configPath)
{
    QProcess shell;
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    shell.start(QStringLiteral("/bin/sh"),
                {"-c", QStringLiteral("\"$0\" -s -q --config \"$1\" | md5sum"), curl, configPath});
    shell.waitForFinished(-1);
    Round round;
    round.seconds = clock.nsecsElapsed() / 1e9;
    round.cpuSeconds = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    round.md5 = QString::fromLatin1(shell.readAllStandardOutput()).section(QLatin1Char(' '), 0, 0);
    return round;
}

// One chunk size: a server of its own, then the rounds of both sides.
bool runCase(const QString &servedDir, const QString &folder, const QString &sourceMd5, qint64 size, qint64 chunk,
             qint64 warmUpSize, int rounds, const QString &curl, QTemporaryDir &work)
{
    QProcess server;
    const QString base = startFakeFileShare(server, QStringLiteral(FAKE_SERVERS_PROGRAM),
                                            {"--root-dir", servedDir, "--chunk-size", QString::number(chunk)});
    if (base.isEmpty())
        return false;

    // curl: the same check and chunk requests, one process, one connection;
    // the checks' answers are dropped, the chunks go to md5sum.
    const qint64 chunks = (size + chunk - 1) / chunk;
    const QString configPath = work.filePath(QStringLiteral("curl-%1.conf").arg(chunk));
    {
        QFile config(configPath);
        config.open(QIODevice::WriteOnly);
        QTextStream out(&config);
        const QByteArray path = QByteArrayLiteral("Root-Local/big.bin").toBase64();
        for (qint64 i = 0; i < chunks; ++i) {
            if (i > 0)
                out << "next\n";
            out << "url = \"" << base << "/api/glimra/fileShare/checkFile\"\n"
                << "header = \"File-Path: " << path << "\"\n"
                << "header = \"Chunk-Number: " << i << "\"\n"
                << "header = \"client-api-version: 1\"\n"
                << "output = \"/dev/null\"\n"
                << "next\n"
                << "url = \"" << base << "/api/glimra/fileShare/download\"\n"
                << "header = \"File-Path: " << path << "\"\n"
                << "header = \"Chunk-Number: " << i << "\"\n"
                << "header = \"Content-Type: multipart/form-data\"\n"
                << "header = \"client-api-version: 1\"\n";
        }
    }

    Round bestOurs;
    Round bestCurl;
    qint64 peakKiB = 0;
    qint64 baseKiB = 0;
    bool correct = true;
    // One chunk first, so that the network code is loaded before memory is
    // measured.
    runOurs(base, folder, QStringLiteral("warm-up.bin"), warmUpSize, &baseKiB, &peakKiB);
    peakKiB = 0;
    const double chunkMiB = double(chunk) / kMiB;
    for (int r = 0; r < rounds; ++r) {
        qint64 roundPeak = 0;
        qint64 roundBase = 0;
        const Round ours = runOurs(base, folder, QStringLiteral("big.bin"), size, &roundBase, &roundPeak);
        const Round theirs = runCurl(curl, configPath);
        correct &= ours.md5 == sourceMd5 && theirs.md5 == sourceMd5;
        std::printf("%g MiB chunks, round %d: ours %.3f s (%.3f ms per chunk, %.2f s processor), curl | md5sum %.3f s "
                    "(%.3f ms per chunk, %.2f s processor), load %s\n",
                    chunkMiB, r + 1, ours.seconds, ours.seconds * 1000 / chunks, ours.cpuSeconds, theirs.seconds,
                    theirs.seconds * 1000 / chunks, theirs.cpuSeconds, loadAverage().constData());
        std::fflush(stdout);
        if (bestOurs.seconds == 0 || ours.seconds < bestOurs.seconds)
            bestOurs = ours;
        if (bestCurl.seconds == 0 || theirs.seconds < bestCurl.seconds)
            bestCurl = theirs;
        if (roundPeak > peakKiB) {
            peakKiB = roundPeak;
            baseKiB = roundBase;
        }
    }
    server.kill();
    server.waitForFinished(5000);

    const double mib = double(size) / kMiB;
    const double oursPerChunk = bestOurs.seconds * 1000 / chunks;
    const double curlPerChunk = bestCurl.seconds * 1000 / chunks;
    std::printf("file %.0f MiB in %lld chunks of %g MiB, loopback, best of %d rounds, downloads to %s\n", mib, chunks,
                chunkMiB, rounds, qPrintable(folder));
    std::printf("downloader (check + chunk + MD5 + write): %.3f ms per chunk, %.1f MiB/s (%.3f s, %.2f s processor)\n",
                oursPerChunk, mib / bestOurs.seconds, bestOurs.seconds, bestOurs.cpuSeconds);
    std::printf("curl | md5sum (same check and chunk requests): %.3f ms per chunk, %.1f MiB/s (%.3f s, %.2f s "
                "processor)\n",
                curlPerChunk, mib / bestCurl.seconds, bestCurl.seconds, bestCurl.cpuSeconds);
    std::printf("time per chunk, ours / curl's: %.2f\n", oursPerChunk / curlPerChunk);
    std::printf("downloader peak RSS: %.1f MiB, %.1f MiB above the %.1f MiB before it started (chunk %g MiB)\n",
                peakKiB / 1024.0, (peakKiB - baseKiB) / 1024.0, baseKiB / 1024.0, chunkMiB);
    std::printf("content: %s\n\n", correct ? "every download matches the source's MD5" : "MISMATCH");
    std::fflush(stdout);
    return correct;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quietInfo);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption sizeOption("size-mib", "File size in MiB.", "n", "1024");
    const QCommandLineOption chunkOption("chunk-mib", "Chunk size in MiB (repeatable; default 8 and 1).", "n");
    const QCommandLineOption roundsOption("rounds", "Rounds per side.", "n", "3");
    const QCommandLineOption folderOption("folder", "Where the downloads go (default: a folder in /dev/shm).", "dir");
    parser.addOptions({sizeOption, chunkOption, roundsOption, folderOption});
    parser.process(app);
    const qint64 size = parser.value(sizeOption).toLongLong() * kMiB;
    QList<qint64> chunkSizes;
    for (const QString &value : parser.values(chunkOption))
        chunkSizes.append(qint64(value.toDouble() * kMiB));
    if (chunkSizes.isEmpty())
        chunkSizes = {8 * kMiB, kMiB};
    const int rounds = qMax(1, parser.value(roundsOption).toInt());

    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("md5sum")).isEmpty()) {
        std::fprintf(stderr, "curl and md5sum are needed\n");
        return 1;
    }
    std::printf("%s\n", machineLine().constData());

    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/bench_download_XXXXXX"));
    const QString servedDir = work.filePath(QStringLiteral("served"));
    QDir().mkpath(servedDir);
    const bool inMemory = !parser.isSet(folderOption) && QFileInfo(QStringLiteral("/dev/shm")).isWritable();
    QTemporaryDir memoryFolder(QStringLiteral("/dev/shm/bench_download_XXXXXX"));
    const QString folder = parser.isSet(folderOption) ? parser.value(folderOption)
        : inMemory                                     ? memoryFolder.path()
                                                       : work.filePath(QStringLiteral("downloads"));
    QDir().mkpath(folder);
    const QString sourceMd5 = writeSource(servedDir + QStringLiteral("/big.bin"), size);
    const qint64 warmUpSize = *std::max_element(chunkSizes.begin(), chunkSizes.end());
    writeSource(servedDir + QStringLiteral("/warm-up.bin"), warmUpSize);
    // The program logs to its file, as it does when it runs.
    QVLogOptions logOptions;
    logOptions.folder = work.filePath(QStringLiteral("logs"));
    logOptions.console = false;
    QVLogManager().creatLogFile(logOptions);

    bool correct = true;
    for (const qint64 chunk : chunkSizes)
        correct &= runCase(servedDir, folder, sourceMd5, size, chunk, warmUpSize, rounds, curl, work);
    std::printf("%s\n", machineLine().constData());
    return correct ? 0 : 1;
}
