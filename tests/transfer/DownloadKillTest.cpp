// Downloads that outlive a dead peer: the fake file-share server run as its
// own process and killed in the middle of a chunk, then restarted; the
// downloading program killed in the middle of a file, then run again (which
// removes what the killed run left); and a download folder whose file system
// fills up.

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

#include "TransferTestSupport.h"

using namespace TransferTest;
using Status = QVDownLoadFileModel::Status;

namespace {

constexpr qint64 kChunk = 65536;

// The standalone fake server, serving `rootDir` as "Root-Local".
class ServerProcess {
public:
    ~ServerProcess() { kill(); }

    bool start(const QString &address, quint16 port, const QString &rootDir, const QStringList &extra = {})
    {
        m_lines.clear();
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(QStringLiteral(FAKE_SERVERS_PROGRAM),
                        QStringList{"--address", address, "--file-share-port", QString::number(port), "--root-dir",
                                    rootDir, "--chunk-size", QString::number(kChunk), "--log-requests"}
                            + extra);
        if (!m_process.waitForStarted(10000))
            return false;
        return TestSupport::waitFor([&] { return lines().contains(QStringLiteral("ready")); }, 10000);
    }

    void kill()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    QStringList lines()
    {
        while (m_process.canReadLine())
            m_lines << QString::fromUtf8(m_process.readLine()).trimmed();
        return m_lines;
    }

    QString base()
    {
        for (const QString &line : lines()) {
            if (line.startsWith(QStringLiteral("file-share ")))
                return line.mid(11);
        }
        return {};
    }

    // Chunk numbers of the logged requests to `endpoint` ("checkFile" or
    // "download").
    QList<qint64> chunks(const QString &endpoint)
    {
        QList<qint64> numbers;
        for (const QString &line : lines()) {
            const QStringList parts = line.split(QLatin1Char(' '));
            if (parts.size() == 3 && parts[0] == QLatin1String("request")
                && parts[1].endsWith(QLatin1Char('/') + endpoint))
                numbers << parts[2].toLongLong();
        }
        return numbers;
    }

private:
    QProcess m_process;
    QStringList m_lines;
};

// A file of `size` seeded bytes in `dir`.
QByteArray writeSource(const QString &dir, const QString &name, qint64 size, quint32 seed)
{
    const QByteArray bytes = patternBytes(size, seed);
    QFile file(dir + QLatin1Char('/') + name);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return bytes;
}

QString md5Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

// The download program's environment: settings of the test's own.
QProcessEnvironment clientEnvironment(const QString &configFolder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configFolder);
    return environment;
}

// The temporary files in `folder`: names of digits only.
QStringList temporaryFiles(const QString &folder)
{
    QStringList names;
    for (const QString &name : folderEntries(folder)) {
        bool number = false;
        name.toLongLong(&number);
        if (number)
            names << name;
    }
    return names;
}

} // namespace

TEST(DownloadKill, AServerKilledMidChunkIsResumedAtTheFirstUnverifiedChunkByteForByte)
{
    QTemporaryDir served;
    QTemporaryDir folder;
    // Not a multiple of the chunk size: 7 whole chunks and a short one.
    const qint64 size = 7 * kChunk + 12345;
    const QByteArray bytes = writeSource(served.path(), QStringLiteral("movie.bin"), size, 21);
    const QString address = TestSupport::uniqueLoopbackAddress().toString();

    ServerProcess server;
    ASSERT_TRUE(server.start(address, 0, served.path(), {"--stall-chunk", "3"}));
    const QString base = server.base();
    const quint16 port = quint16(QUrl(base).port());
    ASSERT_NE(port, 0);

    ScriptedProbe probe;
    QVDownloadEngineServices services;
    services.fileShareIp = [base] { return base; };
    services.password = [] { return QString(); };
    const QString folderPath = folder.path();
    services.downloadFolder = [folderPath] { return folderPath; };
    services.probe = probe.probe();
    services.nowMs = [] { return qint64(1710000000000); };
    services.networkReachable = [] { return true; };
    services.timings.chunkTimeout = std::chrono::milliseconds(20000);
    QVDownloadEngine engine(services);
    auto file = remoteFile(QStringLiteral("Root-Local/movie.bin"), size);
    engine.addFiles({file});
    engine.checkFileApiWithIndex(0);

    // Half of chunk 3 is on its way when the server dies.
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.chunks(QStringLiteral("download")).contains(3); }, 20000));
    ASSERT_TRUE(TestSupport::waitFor([&] { return file->currentChunkBytes() > 0; }, 10000));
    EXPECT_EQ(file->downLoadBytes(), 3 * kChunk);
    server.kill();
    ASSERT_TRUE(TestSupport::waitFor([&] { return file->downLoadStatus() == Status::Failed; }));
    // Only whole verified chunks are in the temporary file (once the worker
    // has cut what the broken chunk wrote); no final file.
    EXPECT_EQ(file->downLoadBytes(), 3 * kChunk);
    EXPECT_EQ(file->currentChunks(), 3);
    EXPECT_TRUE(TestSupport::waitFor([&] { return QFileInfo(file->tmpFileURL()).size() == 3 * kChunk; }))
        << QFileInfo(file->tmpFileURL()).size();
    EXPECT_EQ(folderEntries(folder.path()), QStringList{file->timeStamp()});

    // The server comes back on the same port; the continue asks for chunk 3
    // first and the file ends byte for byte as served.
    ServerProcess again;
    ASSERT_TRUE(again.start(address, port, served.path()));
    engine.singleContinueWithModel(file);
    ASSERT_TRUE(TestSupport::waitFor([&] { return file->downLoadStatus() == Status::Done; }, 20000));
    EXPECT_EQ(again.chunks(QStringLiteral("checkFile")), (QList<qint64>{3, 4, 5, 6, 7}));
    EXPECT_EQ(again.chunks(QStringLiteral("download")), (QList<qint64>{3, 4, 5, 6, 7}));
    EXPECT_EQ(readFile(folder.path() + QStringLiteral("/movie.bin")), bytes);
    EXPECT_EQ(folderEntries(folder.path()), QStringList{QStringLiteral("movie.bin")});
}

TEST(DownloadKill, AClientKilledMidFileLeavesNoFileUnderTheNameAndANewRunGetsItWholeAndSweepsTheRest)
{
    QTemporaryDir served;
    QTemporaryDir folder;
    QTemporaryDir config;
    const qint64 size = 12 * kChunk + 99;
    const QByteArray bytes = writeSource(served.path(), QStringLiteral("report.pdf"), size, 5);
    ServerProcess server;
    // Each chunk takes a while, so the kill lands in the middle of the file.
    ASSERT_TRUE(server.start(TestSupport::uniqueLoopbackAddress().toString(), 0, served.path(),
                             {"--fault", QStringLiteral("api/glimra/fileShare/download=slow:120")}));
    const QStringList arguments{"--base", server.base(), "--folder", folder.path(),
                                QStringLiteral("Root-Local/report.pdf:%1").arg(size)};
    const QString finalPath = folder.path() + QStringLiteral("/report.pdf");

    QProcess client;
    client.setProcessEnvironment(clientEnvironment(config.path()));
    client.start(QStringLiteral(DOWNLOAD_CLIENT_PROGRAM), arguments);
    ASSERT_TRUE(client.waitForStarted(10000));
    bool partialUnderName = false;
    ASSERT_TRUE(TestSupport::waitFor([&] {
        partialUnderName |= QFile::exists(finalPath);
        const QStringList temps = temporaryFiles(folder.path());
        return !temps.isEmpty() && QFileInfo(folder.path() + QLatin1Char('/') + temps.first()).size() >= 4 * kChunk;
    }, 30000));
    ::kill(pid_t(client.processId()), SIGKILL);
    client.waitForFinished(5000);
    EXPECT_FALSE(partialUnderName);
    EXPECT_FALSE(QFile::exists(finalPath));
    // The killed program could not clean up: its temporary file stays, and
    // nothing can resume it (the chunks' state lived in that process).
    const QStringList left = temporaryFiles(folder.path());
    ASSERT_EQ(left.size(), 1);

    // A new run downloads the file again from its first chunk, whole, and
    // removes what the killed run left.
    QProcess rerun;
    rerun.setProcessEnvironment(clientEnvironment(config.path()));
    rerun.start(QStringLiteral(DOWNLOAD_CLIENT_PROGRAM), arguments);
    ASSERT_TRUE(rerun.waitForFinished(60000));
    const QString output = QString::fromUtf8(rerun.readAllStandardOutput());
    EXPECT_EQ(rerun.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("status Root-Local/report.pdf 2"))) << output.toStdString();
    EXPECT_EQ(readFile(finalPath), bytes);
    EXPECT_TRUE(output.contains(QStringLiteral("entries report.pdf\n"))) << output.toStdString();
    EXPECT_FALSE(QFile::exists(folder.path() + QLatin1Char('/') + left.first()));
    // The server's log of the second run: every chunk once, from the first.
    QList<qint64> fetched;
    TestSupport::waitFor([&] {
        fetched = server.chunks(QStringLiteral("download"));
        return !fetched.isEmpty() && fetched.last() == 12;
    }, 5000);
    EXPECT_EQ(fetched.mid(fetched.lastIndexOf(0)), (QList<qint64>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST(DownloadKill, AFullDiskFailsTheFileWithoutAFinishedNameAndTheNextFileStillArrives)
{
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (!TestSupport::requireFacility("unshare", !unshare.isEmpty()))
        return;
    QProcess probe;
    probe.start(unshare, {"-rm", "sh", "-c", "d=$(mktemp -d) && mount -t tmpfs -o size=64k tmpfs \"$d\""});
    const bool mounts = probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit
        && probe.exitCode() == 0;
    if (!TestSupport::requireFacility("tmpfs mounts in a user namespace", mounts))
        return;

    QTemporaryDir served;
    QTemporaryDir folder;
    const QByteArray big = writeSource(served.path(), QStringLiteral("big.bin"), 8 * kChunk, 1);
    const QByteArray small = writeSource(served.path(), QStringLiteral("small.bin"), 10000, 2);
    ServerProcess server;
    ASSERT_TRUE(server.start(TestSupport::uniqueLoopbackAddress().toString(), 0, served.path()));

    // The download folder is a 300 KiB file system of the client's own.
    QTemporaryDir config;
    QProcess client;
    client.setProcessEnvironment(clientEnvironment(config.path()));
    client.start(unshare, {"-rm", "sh", "-c",
                           "mount -t tmpfs -o size=300k tmpfs \"$1\" && exec \"$0\" --base \"$2\" --folder \"$1\" "
                           "\"Root-Local/big.bin:$3\" \"Root-Local/small.bin:$4\"",
                           QStringLiteral(DOWNLOAD_CLIENT_PROGRAM), folder.path(), server.base(),
                           QString::number(big.size()), QString::number(small.size())});
    ASSERT_TRUE(client.waitForFinished(60000));
    const QString output = QString::fromUtf8(client.readAllStandardOutput());
    ASSERT_EQ(client.exitCode(), 0) << output.toStdString() << client.readAllStandardError().toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("status Root-Local/big.bin 3"))) << output.toStdString();
    EXPECT_FALSE(output.contains(QStringLiteral("status Root-Local/big.bin 2"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("md5 Root-Local/small.bin ") + md5Hex(small))) << output.toStdString();
    // When it stopped, the failed file's temporary file went with it.
    EXPECT_TRUE(output.contains(QStringLiteral("entries small.bin\n"))) << output.toStdString();
}
