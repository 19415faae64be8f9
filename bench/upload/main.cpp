// Uploads a 1 GiB file over loopback to the fake file-share server (its own
// process) in pieces of 100 MiB, each after its getStartBytes, with the MD5
// of the whole file taken first; and, in the same run, md5sum of the file
// followed by the curl program sending the same requests (same URLs, headers
// and bodies, one curl process reusing its connection). Prints both
// throughputs, their ratio (each round's too), the uploader's peak resident
// memory, and the load average the figures were taken under.
//
// Usage: bench_upload [--size-mib N] [--piece-mib N] [--rounds N]
// Each side runs `rounds` times, alternating; the best round of each counts.
// The server keeps its copies in memory (/dev/shm) when it can, so that the
// figure is the uploader's and not the disk's.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

#include "BenchProcess.h"
#include "Platform/LinuxPlatform.h"
#include "PublicManager/QVLogManager.h"
#include "PublicManager/QVPlatform.h"
#include "PublicManager/QVPublicTools.h"
#include "QVUploadEngine.h"

namespace {

using namespace BenchProcess;

constexpr qint64 kMiB = 1024 * 1024;

void quietInfo(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

// Seeded bytes; answers their MD5. Also writes the pieces curl sends.
QString writeSource(const QString &path, qint64 size, qint64 piece, const QString &pieceDir)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !QDir().mkpath(pieceDir))
        return {};
    QByteArray block(kMiB, Qt::Uninitialized);
    quint64 state = 0x9E3779B97F4A7C15ull;
    auto *words = reinterpret_cast<quint64 *>(block.data());
    QCryptographicHash hash(QCryptographicHash::Md5);
    QFile pieceFile;
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
        if (written % piece == 0) {
            pieceFile.close();
            pieceFile.setFileName(pieceDir + QStringLiteral("/piece-%1").arg(written / piece));
            pieceFile.open(QIODevice::WriteOnly);
        }
        pieceFile.write(block.constData(), n);
    }
    return QString::fromLatin1(hash.result().toHex());
}

struct Round {
    double seconds = 0;
    double cpuSeconds = 0;
    bool whole = false;
};

Round runOurs(const QString &base, const QString &path, qint64 piece, qint64 *baseKiB, qint64 *peakKiB)
{
    QVUploadEngineServices services;
    services.fileShareIp = [base] { return base; };
    services.probe = [](qint64, QVTransferNetworkCheck::Verdict verdict) { verdict(false); };
    services.limits.pieceBytes = piece;
    *baseKiB = statusKiB("VmRSS");
    resetPeakRss();
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer clock;
    clock.start();
    Round round;
    QVUploadEngine::File file;
    {
        QVUploadEngine engine(services);
        QEventLoop loop;
        QObject::connect(&engine, &QVUploadEngine::fileChanged, &loop, [&](const QVUploadEngine::File &changed) {
            if (changed->uploadStatus() != QVUploadFileModel::Uploading)
                loop.quit();
        });
        file = engine.addInitialDataWithArray({QUrl::fromLocalFile(path)}).first();
        engine.getFileStartBytesWithIndex(0);
        loop.exec();
        round.seconds = clock.nsecsElapsed() / 1e9;
        round.cpuSeconds = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    }
    *peakKiB = statusKiB("VmHWM");
    round.whole = file->uploadStatus() == QVUploadFileModel::Done;
    if (!round.whole)
        std::fprintf(stderr, "upload ended with status %lld code %lld\n", file->uploadStatus(), file->requestCode());
    return round;
}

Round runCurl(const QString &curl, const QString &configPath, const QString &source)
{
    QProcess shell;
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    shell.start(QStringLiteral("/bin/sh"),
                {"-c", QStringLiteral("md5sum \"$2\" > /dev/null && \"$0\" -s -S --config \"$1\""), curl, configPath,
                 source});
    shell.waitForFinished(-1);
    Round round;
    round.seconds = clock.nsecsElapsed() / 1e9;
    round.cpuSeconds = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    round.whole = shell.exitCode() == 0 && shell.readAllStandardOutput().count("\"code\":200") > 0;
    return round;
}

bool sameBytes(const QString &path, const QString &md5)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Md5);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) && QString::fromLatin1(hash.result().toHex()) == md5;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray loadBefore = BenchProcess::loadAverage();
    QCoreApplication::setOrganizationName(QStringLiteral("Quavdesk"));
    QCoreApplication::setApplicationName(QStringLiteral("Quavdesk"));
    qInstallMessageHandler(quietInfo);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption sizeOption("size-mib", "File size in MiB.", "n", "1024");
    const QCommandLineOption pieceOption("piece-mib", "Piece size in MiB.", "n", "100");
    const QCommandLineOption roundsOption("rounds", "Rounds per side.", "n", "3");
    parser.addOptions({sizeOption, pieceOption, roundsOption});
    parser.process(app);
    const qint64 size = parser.value(sizeOption).toLongLong() * kMiB;
    const qint64 piece = parser.value(pieceOption).toLongLong() * kMiB;
    const int rounds = qMax(1, parser.value(roundsOption).toInt());

    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("md5sum")).isEmpty()) {
        std::fprintf(stderr, "curl and md5sum are needed\n");
        return 1;
    }

    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/bench_upload_XXXXXX"));
    // The installation's identifier goes to settings of the run's own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, work.filePath(QStringLiteral("config")));
    Platform::PlatformServices platform;
    platform.store = Platform::Linux::makeKeyValueStore();
    QVPlatform::setServices(platform);
    const QString deviceId = QVPublicTools::sharedPublicTools()->deviceUDID();

    const bool inMemory = QFileInfo(QStringLiteral("/dev/shm")).isWritable();
    QTemporaryDir memoryFolder(QStringLiteral("/dev/shm/bench_upload_XXXXXX"));
    const QString deviceDir = inMemory ? memoryFolder.path() : work.filePath(QStringLiteral("device"));
    const QString pieceDir = work.filePath(QStringLiteral("pieces"));
    QDir().mkpath(pieceDir);
    const QString source = work.filePath(QStringLiteral("big.bin"));
    const QString sourceMd5 = writeSource(source, size, piece, pieceDir);
    const QString warmUp = work.filePath(QStringLiteral("warm-up.bin"));
    writeSource(warmUp, kMiB, kMiB, work.filePath(QStringLiteral("pieces-warm")));
    QVLogOptions logOptions;
    logOptions.folder = work.filePath(QStringLiteral("logs"));
    logOptions.console = false;
    QVLogManager().creatLogFile(logOptions);

    QProcess server;
    const QString base = startFakeFileShare(server, QStringLiteral(FAKE_SERVERS_PROGRAM), {"--upload-dir", deviceDir});
    if (base.isEmpty())
        return 1;

    // curl: the same requests, one process, one connection.
    const qint64 pieces = (size + piece - 1) / piece;
    const QString configPath = work.filePath(QStringLiteral("curl.conf"));
    {
        QFile config(configPath);
        config.open(QIODevice::WriteOnly);
        QTextStream out(&config);
        const QByteArray name = QByteArrayLiteral("big.bin").toBase64();
        const auto fileHeaders = [&](QTextStream &stream) {
            stream << "header = \"File-MD5: " << sourceMd5 << "\"\n"
                   << "header = \"File-Size: " << size << "\"\n"
                   << "header = \"File-Name: " << name << "\"\n"
                   << "header = \"Device-ID: " << deviceId << "\"\n";
        };
        for (qint64 i = 0; i < pieces; ++i) {
            if (i > 0)
                out << "next\n";
            out << "url = \"" << base << "/api/glimra/fileShare/getStartBytes\"\n"
                << "header = \"Content-Type: multipart/form-data\"\n";
            fileHeaders(out);
            out << "output = \"/dev/null\"\n"
                << "next\n"
                << "url = \"" << base << "/api/glimra/fileShare/uploadFile\"\n"
                << "request = \"POST\"\n"
                << "upload-file = \"" << pieceDir << "/piece-" << i << "\"\n"
                << "header = \"Content-Type: application/x-www-form-urlencoded\"\n";
            fileHeaders(out);
            out << "header = \"Bytes-Start: " << i * piece << "\"\n"
                // The uploader does not wait for "100 Continue" either.
                << "header = \"Expect:\"\n";
        }
    }

    Round bestOurs;
    Round bestCurl;
    qint64 peakKiB = 0;
    qint64 baseKiB = 0;
    bool correct = true;
    // A small file first, so that the network code is loaded before memory
    // is measured.
    runOurs(base, warmUp, piece, &baseKiB, &peakKiB);
    peakKiB = 0;
    for (int r = 0; r < rounds; ++r) {
        qint64 roundPeak = 0;
        qint64 roundBase = 0;
        const Round ours = runOurs(base, source, piece, &roundBase, &roundPeak);
        correct &= ours.whole && sameBytes(deviceDir + QStringLiteral("/big.bin"), sourceMd5);
        QFile::remove(deviceDir + QStringLiteral("/big.bin"));
        const Round theirs = runCurl(curl, configPath, source);
        correct &= theirs.whole && sameBytes(deviceDir + QStringLiteral("/big.bin"), sourceMd5);
        QFile::remove(deviceDir + QStringLiteral("/big.bin"));
        std::printf("round %d: ours %.3f s (%.2f s processor), md5sum + curl %.3f s (%.2f s processor), "
                    "ratio %.2f, load %s\n",
                    r + 1, ours.seconds, ours.cpuSeconds, theirs.seconds, theirs.cpuSeconds,
                    theirs.seconds / ours.seconds, BenchProcess::loadAverage().constData());
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
    const double oursRate = mib / bestOurs.seconds;
    const double curlRate = mib / bestCurl.seconds;
    std::printf("file %.0f MiB in %lld pieces of %.0f MiB, loopback, best of %d rounds, server copies in %s\n", mib,
                pieces, double(piece) / kMiB, rounds, qPrintable(deviceDir));
    std::printf("uploader (MD5 + getStartBytes + piece per piece): %.1f MiB/s (%.3f s, %.2f s processor)\n", oursRate,
                bestOurs.seconds, bestOurs.cpuSeconds);
    std::printf("md5sum + curl (same requests):                    %.1f MiB/s (%.3f s, %.2f s processor)\n",
                curlRate, bestCurl.seconds, bestCurl.cpuSeconds);
    std::printf("ratio: %.2f (load average %s; before the run %s)\n", oursRate / curlRate,
                BenchProcess::loadAverage().constData(), loadBefore.constData());
    std::printf("uploader peak RSS: %.1f MiB, %.1f MiB above the %.1f MiB before it started (piece %.0f MiB)\n",
                peakKiB / 1024.0, (peakKiB - baseKiB) / 1024.0, baseKiB / 1024.0, double(piece) / kMiB);
    std::printf("content: %s\n", correct ? "every upload arrived with the source's MD5" : "MISMATCH");
    return correct ? 0 : 1;
}
