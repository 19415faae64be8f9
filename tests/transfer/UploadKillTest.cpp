// Uploads that outlive a dead peer: the fake file-share server run as its
// own process, killed in the middle of an upload and started again over the
// same folder; and the uploading program killed in the middle of a file,
// then run again as the same installation.

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "HttpTestSupport.h"
#include "PublicManager/QVPingHelper.h"
#include "QVUploadEngine.h"
#include "TransferTestSupport.h"

using namespace TransferTest;
using Status = QVUploadFileModel::Status;

namespace {

const QString kUploadFile = QStringLiteral("api/glimra/fileShare/uploadFile");
constexpr qint64 kPiece = 65536;

// A program whose output lines are collected as they come.
class Program {
public:
    ~Program() { kill(); }

    bool start(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment = {})
    {
        m_lines.clear();
        if (!environment.isEmpty())
            m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, arguments);
        return m_process.waitForStarted(10000);
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

    // Lines starting with `prefix` and a space, without it.
    QStringList linesOf(const QString &prefix)
    {
        QStringList found;
        for (const QString &line : lines()) {
            if (line.startsWith(prefix + QLatin1Char(' ')))
                found << line.mid(prefix.size() + 1);
        }
        return found;
    }

    bool finished() const { return m_process.state() == QProcess::NotRunning; }

private:
    QProcess m_process;
    QStringList m_lines;
};

QByteArray writeSource(const QString &path, qint64 size, quint32 seed)
{
    const QByteArray bytes = patternBytes(size, seed);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return bytes;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The one partial copy in the server's folder, its size; -1 when none.
qint64 partialSize(const QString &uploadDir)
{
    const QFileInfoList partials = QDir(uploadDir + QStringLiteral("/partials")).entryInfoList(QDir::Files);
    return partials.size() == 1 ? partials.first().size() : -1;
}

} // namespace

TEST(UploadKill, AServerKilledMidUploadIsResumedFromItsKeptCopyByteForByte)
{
    HttpTest::SettingsScope settings;
    QSettings().setValue(QStringLiteral("device_udid"), QStringLiteral("0D15EA5E-0000-4000-8000-000000000001"));
    QTemporaryDir work;
    const QString uploadDir = work.filePath(QStringLiteral("device"));
    // Not a multiple of the piece size.
    const qint64 size = 24 * kPiece + 999;
    const QByteArray bytes = writeSource(work.filePath(QStringLiteral("talk.mp4")), size, 17);
    const QString address = TestSupport::uniqueLoopbackAddress().toString();

    Program server;
    ASSERT_TRUE(server.start(QStringLiteral(FAKE_SERVERS_PROGRAM),
                             {"--address", address, "--file-share-port", "0", "--upload-dir", uploadDir,
                              "--log-uploads", "--fault", kUploadFile + QStringLiteral("=slow:40")}));
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.lines().contains(QStringLiteral("ready")); }, 10000));
    const QString base = server.linesOf(QStringLiteral("file-share")).value(0);
    const quint16 port = quint16(QUrl(base).port());
    ASSERT_NE(port, 0);

    QVPingHelper probe([base] { return base; }, QVPingHelperTimings{std::chrono::milliseconds(100)});
    QVUploadEngineServices services;
    services.fileShareIp = [base] { return base; };
    services.probe = [&probe](qint64 type, QVTransferNetworkCheck::Verdict verdict) {
        probe.pingNetworkWithType(type, std::move(verdict));
    };
    services.limits.pieceBytes = kPiece;
    services.timings.pieceTimeout = std::chrono::milliseconds(10000);
    QVUploadEngine engine(services);
    const auto files = engine.addInitialDataWithArray({QUrl::fromLocalFile(work.filePath(QStringLiteral("talk.mp4")))});
    engine.getFileStartBytesWithIndex(0);

    ASSERT_TRUE(TestSupport::waitFor([&] { return server.linesOf(QStringLiteral("upload")).size() >= 5; }, 20000));
    server.kill();
    const qint64 kept = partialSize(uploadDir);
    ASSERT_GT(kept, 0);
    ASSERT_LT(kept, size);
    EXPECT_EQ(kept % kPiece, 0);

    // The device comes back on the same port with what it had written.
    Program again;
    ASSERT_TRUE(again.start(QStringLiteral(FAKE_SERVERS_PROGRAM),
                            {"--address", address, "--file-share-port", QString::number(port), "--upload-dir",
                             uploadDir, "--log-uploads"}));
    ASSERT_TRUE(TestSupport::waitFor([&] { return again.lines().contains(QStringLiteral("ready")); }, 10000));
    // Whether the probe saw the server back in time or not, the file resumes:
    // at once, or with the network-lost alert's reconnect. Reconnect is
    // pressed as a person would, not at every look: each press starts the
    // probe anew, and a busy machine may need longer than a look for one.
    QElapsedTimer sincePress;
    ASSERT_TRUE(TestSupport::waitFor(
        [&] {
            if (files[0]->uploadStatus() == Status::NetworkLost
                && (!sincePress.isValid() || sincePress.hasExpired(1000))) {
                engine.networkReconnection();
                sincePress.start();
            }
            return files[0]->uploadStatus() == Status::Done || files[0]->uploadStatus() == Status::Failed;
        },
        90000));
    EXPECT_EQ(files[0]->uploadStatus(), Status::Done);
    EXPECT_EQ(readAll(uploadDir + QStringLiteral("/talk.mp4")), bytes);
    const QStringList uploads = again.linesOf(QStringLiteral("upload"));
    ASSERT_FALSE(uploads.isEmpty());
    // The first piece after the restart starts where the kept copy ends, and
    // nothing before it is sent again.
    EXPECT_EQ(uploads.first().section(QLatin1Char(' '), 0, 0).toLongLong(), kept);
    EXPECT_EQ(uploads.size(), int((size - kept + kPiece - 1) / kPiece));
}

TEST(UploadKill, AClientKilledMidUploadResumesInItsNextRunAsTheSameDevice)
{
    QTemporaryDir work;
    const qint64 size = 20 * kPiece + 77;
    const QString source = work.filePath(QStringLiteral("slides.pdf"));
    const QByteArray bytes = writeSource(source, size, 23);

    FakeServers::FakeFileShareServer server;
    ASSERT_TRUE(server.listen(TestSupport::uniqueLoopbackAddress()));
    FakeServers::FaultRule slow;
    slow.fault = FakeServers::Fault::Slow;
    slow.delayMs = 40;
    server.setFault(kUploadFile, slow);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("config")));
    const QStringList arguments = {"--base", server.baseUrl(), "--piece-bytes", QString::number(kPiece), source};

    Program first;
    ASSERT_TRUE(first.start(QStringLiteral(UPLOAD_CLIENT_PROGRAM), arguments, environment));
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.requestCount(kUploadFile) >= 4; }, 20000));
    first.kill();
    // The server has seen the dead client's last bytes once its connection
    // is gone.
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.openConnections() == 0; }));
    const QByteArray device = server.requestsTo(kUploadFile).first().header("Device-ID");
    const QByteArray md5 = QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
    const QByteArray name = QByteArray("slides.pdf").toBase64();
    const qint64 kept = server.partialLength(device, md5, name);
    ASSERT_GT(kept, 0);
    ASSERT_LT(kept, size);

    server.clearFaults();
    server.clearRequests();
    Program second;
    ASSERT_TRUE(second.start(QStringLiteral(UPLOAD_CLIENT_PROGRAM), arguments, environment));
    ASSERT_TRUE(TestSupport::waitFor([&] { return second.finished(); }, 30000));
    EXPECT_TRUE(second.linesOf(QStringLiteral("status")).contains(source + QStringLiteral(" 3")));
    EXPECT_EQ(second.linesOf(QStringLiteral("device")).value(0).toUtf8(), device);
    const QList<FakeServers::HttpRequest> posts = server.requestsTo(kUploadFile);
    ASSERT_FALSE(posts.isEmpty());
    EXPECT_EQ(posts.first().header("Bytes-Start").toLongLong(), kept);
    EXPECT_EQ(posts.first().header("Device-ID"), device);
    EXPECT_EQ(server.uploadedFile(QStringLiteral("slides.pdf")), bytes);

    // Another installation has no copy there: it starts from the first byte.
    QProcessEnvironment other = environment;
    other.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("other-config")));
    server.clearRequests();
    Program stranger;
    ASSERT_TRUE(stranger.start(QStringLiteral(UPLOAD_CLIENT_PROGRAM), arguments, other));
    ASSERT_TRUE(TestSupport::waitFor([&] { return stranger.finished(); }, 30000));
    ASSERT_FALSE(server.requestsTo(kUploadFile).isEmpty());
    EXPECT_EQ(server.requestsTo(kUploadFile).first().header("Bytes-Start").toLongLong(), 0);
    EXPECT_NE(server.requestsTo(kUploadFile).first().header("Device-ID"), device);
}
