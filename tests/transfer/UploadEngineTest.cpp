// The uploader against the fake file-share server: files of sizes around the
// piece size arrive whole, each piece where the server asked for it; the
// local limits; answers that would make it loop, read from the wrong place
// or report success for a broken file (a 200 too early, for a piece that did
// not leave whole, or for a file changed meanwhile); a file that changes
// while it is sent; the pieces read on the worker thread; deletes, stop and a
// lost network.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "HostileServer.h"
#include "HttpTestSupport.h"
#include "QVUploadEngine.h"
#include "TransferTestSupport.h"

using namespace TransferTest;
using FakeServers::Fault;
using FakeServers::FaultRule;
using Status = QVUploadFileModel::Status;

namespace {

const QString kStartBytes = QStringLiteral("api/glimra/fileShare/getStartBytes");
const QString kUploadFile = QStringLiteral("api/glimra/fileShare/uploadFile");
const QString kDeleteTempFile = QStringLiteral("api/glimra/fileShare/deleteTempFile");
constexpr qint64 kPiece = 65536;

struct UploadRecord {
    QList<QVUploadEngine::Alert> alerts;
    int missingTips = 0;
    int deleteFails = 0;
    QList<float> progress;

    void attach(QVUploadEngine *engine)
    {
        QObject::connect(engine, &QVUploadEngine::alertRequested,
                         [this](QVUploadEngine::Alert alert) { alerts.append(alert); });
        QObject::connect(engine, &QVUploadEngine::fileDoesNotExist, [this] { ++missingTips; });
        QObject::connect(engine, &QVUploadEngine::deleteFailed, [this] { ++deleteFails; });
        QObject::connect(engine, &QVUploadEngine::progressChanged,
                         [this](const QVUploadEngine::File &, float value) { progress.append(value); });
    }
};

class UploadEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_files.isValid());
        ASSERT_TRUE(server.listen(TestSupport::uniqueLoopbackAddress()));
        QSettings().setValue(QStringLiteral("device_udid"), QStringLiteral("5C0FFEE0-0000-4000-8000-00000000D1CE"));
        const QString base = server.baseUrl();
        services.fileShareIp = [base] { return base; };
        services.probe = probe.probe();
        services.timings.requestTimeout = std::chrono::milliseconds(1500);
        services.timings.pieceTimeout = std::chrono::milliseconds(3000);
        services.timings.networkCheckDelay = std::chrono::milliseconds(10);
        services.limits.pieceBytes = kPiece;
    }

    void TearDown() override
    {
        engine.reset();
        // Replies the engine let go are deleted later.
        TestSupport::runPostedEvents();
    }

    QVUploadEngine *makeEngine()
    {
        engine = std::make_unique<QVUploadEngine>(services);
        record.attach(engine.get());
        return engine.get();
    }

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_files.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QList<QVUploadEngine::File> start(const QStringList &paths)
    {
        if (!engine)
            makeEngine();
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls.append(QUrl::fromLocalFile(path));
        const auto files = engine->addInitialDataWithArray(urls);
        engine->getFileStartBytesWithIndex(0);
        return files;
    }

    bool waitUntilIdle(int timeoutMs = 20000)
    {
        return TestSupport::waitFor(
            [&] { return engine->queue().workQueue().isEmpty() && !engine->currentFile(); }, timeoutMs);
    }

    QList<qint64> bytesStarts() const
    {
        QList<qint64> starts;
        for (const auto &request : server.requestsTo(kUploadFile))
            starts.append(request.header("Bytes-Start").toLongLong());
        return starts;
    }

    QString folder() const { return m_files.path(); }
    QString filePath(const QString &name) const { return m_files.filePath(name); }

    FakeServers::FakeFileShareServer server;
    ScriptedProbe probe;
    QVUploadEngineServices services;
    std::unique_ptr<QVUploadEngine> engine;
    UploadRecord record;

private:
    HttpTest::SettingsScope m_settings;
    QTemporaryDir m_files;
};

// A body replacing the server's answer to one path.
FaultRule answerWith(const QByteArray &body, int times = -1)
{
    FaultRule rule;
    rule.fault = Fault::WrongJsonType;
    rule.body = body;
    rule.times = times;
    return rule;
}

FaultRule codeOnce(qint64 code, int times = 1)
{
    FaultRule rule;
    rule.fault = Fault::WrongCode;
    rule.value = code;
    rule.times = times;
    return rule;
}

} // namespace

TEST_F(UploadEngineTest, FilesAroundThePieceSizeArriveWholeEachPieceWhereTheServerAskedForIt)
{
    const QList<qint64> sizes = {0, 1, kPiece - 1, kPiece, kPiece + 1, 3 * kPiece + 7};
    QStringList paths;
    QList<QByteArray> sources;
    for (int i = 0; i < sizes.size(); ++i) {
        sources.append(patternBytes(sizes[i], quint32(40 + i)));
        paths.append(write(QStringLiteral("file-%1.bin").arg(sizes[i]), sources.last()));
    }
    const auto files = start(paths);
    ASSERT_TRUE(waitUntilIdle());

    for (int i = 0; i < sizes.size(); ++i) {
        EXPECT_EQ(files[i]->uploadStatus(), Status::Done) << sizes[i];
        EXPECT_EQ(files[i]->requestCode(), 200);
        EXPECT_EQ(server.uploadedFile(QStringLiteral("file-%1.bin").arg(sizes[i])), sources[i]) << sizes[i];
    }
    EXPECT_TRUE(engine->queue().fileFailArray().isEmpty());
    EXPECT_EQ(server.uploadedFiles().size(), sizes.size());
    // One piece per started 64 KiB, each from where the copy ended; an empty
    // file is one empty piece.
    QList<qint64> expected;
    for (qint64 size : sizes) {
        for (qint64 offset = 0; offset < qMax<qint64>(size, 1); offset += kPiece)
            expected.append(offset);
    }
    EXPECT_EQ(bytesStarts(), expected);
    EXPECT_EQ(server.requestCount(kStartBytes), expected.size());
    // Every POST follows its own getStartBytes, and carries the headers in
    // the order the server's peers send them, without client-api-version.
    const QList<FakeServers::HttpRequest> requests = server.requests();
    for (int i = 0; i < requests.size(); ++i) {
        if (requests[i].path != kUploadFile)
            continue;
        ASSERT_GT(i, 0);
        EXPECT_EQ(requests[i - 1].path, kStartBytes);
        EXPECT_EQ(requests[i - 1].header("File-MD5"), requests[i].header("File-MD5"));
        EXPECT_LE(requests[i].body.size(), kPiece);
        QList<QByteArray> names;
        for (const auto &header : requests[i].headers) {
            if (QList<QByteArray>{"Content-Type", "File-MD5", "File-Size", "File-Name", "Device-ID", "Bytes-Start"}
                    .contains(header.first))
                names.append(header.first);
        }
        EXPECT_EQ(names, (QList<QByteArray>{"Content-Type", "File-MD5", "File-Size", "File-Name", "Device-ID",
                                            "Bytes-Start"}));
        EXPECT_EQ(requests[i].header("Content-Type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(requests[i].header("Device-ID"), "5C0FFEE0-0000-4000-8000-00000000D1CE");
        EXPECT_FALSE(requests[i].hasHeader("client-api-version"));
    }
    // Progress never divides by an empty file and never goes backwards past 1.
    for (float value : record.progress) {
        EXPECT_GE(value, 0.05f);
        EXPECT_LE(value, 1.0f);
    }
}

TEST_F(UploadEngineTest, APartialAnswerAndAFailedPieceResumeAtTheServersOffset)
{
    const QByteArray bytes = patternBytes(5 * kPiece + 100, 7);
    const QString path = write(QStringLiteral("movie.bin"), bytes);
    // The server keeps only 1000 bytes of the first piece it gets and asks
    // for the rest; the third piece is written but answered "busy".
    server.setUploadAcceptLimit(1000);
    int posts = 0;
    QObject::connect(&server, &FakeServers::FakeHttpServer::requestReceived,
                     [&](const FakeServers::HttpRequest &request) {
                         if (request.path != kUploadFile)
                             return;
                         // Each change holds from the request being received on.
                         if (++posts == 2)
                             server.setUploadAcceptLimit(std::numeric_limits<qint64>::max());
                         if (posts == 3)
                             server.setFault(kUploadFile, codeOnce(230));
                     });
    const auto files = start({path});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(files[0]->uploadStatus(), Status::Failed);
    EXPECT_EQ(files[0]->requestCode(), 230);
    EXPECT_EQ(record.alerts, QList<QVUploadEngine::Alert>{QVUploadEngine::Alert::Busy});
    EXPECT_TRUE(engine->queue().isFailed(files[0]));
    EXPECT_EQ(bytesStarts(), (QList<qint64>{0, 1000, 1000 + kPiece}));

    engine->singleContinueWithModel(files[0]);
    engine->singleContinueWithModel(files[0]);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(files[0]->uploadStatus(), Status::Done);
    EXPECT_EQ(server.uploadedFile(QStringLiteral("movie.bin")), bytes);
    // The busy piece was kept by the server: the continue goes on after it,
    // and a second click did not queue the file twice.
    const QList<qint64> starts = bytesStarts();
    ASSERT_GE(starts.size(), 4);
    EXPECT_EQ(starts[3], 1000 + 2 * kPiece);
    for (int i = 4; i < starts.size(); ++i)
        EXPECT_EQ(starts[i], starts[i - 1] + kPiece);
}

TEST_F(UploadEngineTest, LocalLimitsFailWithoutARequest)
{
    // Sparse files: the size is what counts, and nothing is read of the
    // refused one.
    const QString atLimit = filePath(QStringLiteral("at-limit.bin"));
    const QString overLimit = filePath(QStringLiteral("over-limit.bin"));
    {
        QFile a(atLimit);
        ASSERT_TRUE(a.open(QIODevice::WriteOnly));
        ASSERT_TRUE(a.resize(4000000000));
        QFile b(overLimit);
        ASSERT_TRUE(b.open(QIODevice::WriteOnly));
        ASSERT_TRUE(b.resize(4000000001));
    }
    // 96 two-byte letters: 192 bytes, 256 Base64 characters; one more byte
    // makes 260.
    const QString longest = QString(96, QChar(0x00E9));
    const QString tooLong = longest + QLatin1Char('a');
    const QString longestPath = write(longest, "accepted");
    const QString tooLongPath = write(tooLong, "refused");
    const QString folderPath = folder() + QStringLiteral("/a-folder");
    QDir().mkpath(folderPath);
    const QString gone = folder() + QStringLiteral("/never-there.txt");

    const auto files = start({overLimit, tooLongPath, gone, folderPath, longestPath});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(files[0]->uploadStatus(), Status::TooLarge);
    EXPECT_EQ(files[1]->uploadStatus(), Status::NameTooLong);
    EXPECT_EQ(files[2]->uploadStatus(), Status::Missing);
    EXPECT_EQ(files[3]->uploadStatus(), Status::Missing);
    EXPECT_EQ(record.missingTips, 2);
    EXPECT_EQ(files[4]->uploadStatus(), Status::Done);
    EXPECT_EQ(server.uploadedFile(longest), QByteArray("accepted"));
    // Only the accepted name reached the server.
    for (const auto &request : server.requests())
        EXPECT_EQ(request.header("File-Name"), longest.toUtf8().toBase64());
    for (const auto &file : files.mid(0, 4))
        EXPECT_EQ(file->requestCode(), 200);

    // Exactly 4,000,000,000 bytes passes the checks and goes on to its MD5.
    server.clearRequests();
    const auto limit = engine->addInitialDataWithArray({QUrl::fromLocalFile(atLimit)});
    engine->getFileStartBytesWithIndex(0);
    EXPECT_EQ(engine->currentFile(), limit[0]);
    EXPECT_EQ(limit[0]->uploadStatus(), Status::Waiting);
    engine->stop();
    TestSupport::spin(50); // for a request that must not come
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(UploadEngineTest, HostileOffsetsAndAnswersFailTheFileInsteadOfLoopingOrLying)
{
    const QByteArray bytes = patternBytes(2 * kPiece + 5, 3);
    const QString path = write(QStringLiteral("doc.bin"), bytes);
    makeEngine();
    struct Case {
        const char *name;
        QString endpoint;
        FaultRule rule;
        qint64 code;
        std::optional<QVUploadEngine::Alert> alert;
    };
    const QByteArray tooFar = QByteArrayLiteral("{\"code\":200,\"byteStart\":") + QByteArray::number(bytes.size() + 1)
        + '}';
    const QList<Case> cases = {
        {"no offset", kStartBytes, answerWith("{\"code\":200}"), 400, std::nullopt},
        {"negative offset", kStartBytes, answerWith("{\"code\":200,\"byteStart\":-1}"), 400, std::nullopt},
        {"offset past the end", kStartBytes, answerWith(tooFar), 400, std::nullopt},
        {"fractional offset", kStartBytes, answerWith("{\"code\":200,\"byteStart\":1.5}"), 400, std::nullopt},
        {"no space", kStartBytes, codeOnce(210, -1), 210, QVUploadEngine::Alert::NoSpace},
        {"refused", kStartBytes, codeOnce(220, -1), 220, QVUploadEngine::Alert::Refused},
        {"busy", kStartBytes, codeOnce(230, -1), 230, QVUploadEngine::Alert::Busy},
        {"other code", kStartBytes, codeOnce(500, -1), 400, std::nullopt},
        {"empty piece answer", kUploadFile, {Fault::EmptyBody}, 400, std::nullopt},
        {"piece answer not JSON", kUploadFile, {Fault::NotJson}, 400, std::nullopt},
        {"piece answer no space", kUploadFile, codeOnce(210, -1), 210, QVUploadEngine::Alert::NoSpace},
        {"piece answer other", kUploadFile, codeOnce(404, -1), 400, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        server.clearFaults();
        server.clearRequests();
        record.alerts.clear();
        server.setFault(c.endpoint, c.rule);
        const auto files = engine->addInitialDataWithArray({QUrl::fromLocalFile(path)});
        engine->getFileStartBytesWithIndex(0);
        ASSERT_TRUE(waitUntilIdle());
        EXPECT_EQ(files[0]->uploadStatus(), Status::Failed);
        EXPECT_EQ(files[0]->requestCode(), c.code);
        // (Empty lists are not compared: Qt's comparison of two empty lists
        // hands a null pointer to memcmp.)
        EXPECT_EQ(record.alerts.size(), c.alert ? 1 : 0);
        if (c.alert && !record.alerts.isEmpty()) {
            EXPECT_EQ(record.alerts.first(), *c.alert);
        }
        if (c.endpoint == kStartBytes) {
            EXPECT_EQ(server.requestCount(kUploadFile), 0);
        }
        engine->deleteModel(files[0]);
    }
}

TEST_F(UploadEngineTest, AServerThatNeverMovesOnOrNeverAnswersIsGivenUpAfterAFewRounds)
{
    const QString path = write(QStringLiteral("stuck.bin"), patternBytes(kPiece + 9, 5));
    services.limits.stalledRounds = 3;
    services.limits.noAnswerRetries = 2;
    // Takes nothing and asks again, for ever.
    server.setUploadAcceptLimit(0);
    const auto stuck = start({path});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(stuck[0]->uploadStatus(), Status::Failed);
    EXPECT_EQ(stuck[0]->requestCode(), 400);
    EXPECT_EQ(server.requestCount(kUploadFile), 3);

    // Takes the connection, answers HTTP 500 every time: the probe says the
    // server is there, so the file is retried twice, then fails.
    server.setUploadAcceptLimit(std::numeric_limits<qint64>::max());
    server.clearRequests();
    FaultRule broken;
    broken.fault = Fault::HttpStatus;
    broken.value = 500;
    server.setFault(kUploadFile, broken);
    engine->deleteModel(stuck[0]);
    const auto again = engine->addInitialDataWithArray({QUrl::fromLocalFile(path)});
    engine->getFileStartBytesWithIndex(0);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(again[0]->uploadStatus(), Status::Failed);
    EXPECT_EQ(again[0]->requestCode(), 400);
    EXPECT_EQ(server.requestCount(kUploadFile), 3);
    EXPECT_TRUE(probe.types.size() >= 3);
    EXPECT_EQ(probe.types.value(0), 0);
}

TEST_F(UploadEngineTest, AFileChangedWhileItIsSentFailsInsteadOfSendingAMix)
{
    const QByteArray bytes = patternBytes(6 * kPiece, 11);
    const QString path = write(QStringLiteral("edited.bin"), bytes);
    FaultRule slow;
    slow.fault = Fault::Slow;
    slow.delayMs = 40;
    server.setFault(kUploadFile, slow);
    const auto files = start({path});
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.requestCount(kUploadFile) >= 2; }, 10000));
    {
        // Same size, other bytes and time.
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.seek(5 * kPiece);
        file.write(QByteArray(kPiece, 'x'));
        file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    }
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(files[0]->uploadStatus(), Status::Missing);
    EXPECT_TRUE(server.uploadedFiles().isEmpty());
    EXPECT_LT(server.requestCount(kUploadFile), 6);

    // A continue takes the file as it is now, from the start of a new copy.
    server.clearFaults();
    server.clearRequests();
    engine->singleContinueWithModel(files[0]);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(files[0]->uploadStatus(), Status::Done);
    QFile edited(path);
    ASSERT_TRUE(edited.open(QIODevice::ReadOnly));
    EXPECT_EQ(server.uploadedFile(QStringLiteral("edited.bin")), edited.readAll());
    EXPECT_EQ(bytesStarts().value(0), 0);
}

TEST_F(UploadEngineTest, DeletesDropTheServersCopyOnlyWhenOneMayExist)
{
    const QByteArray first = patternBytes(4 * kPiece, 1);
    const QByteArray second = patternBytes(kPiece / 2, 2);
    const QString firstPath = write(QStringLiteral("first.bin"), first);
    const QString secondPath = write(QStringLiteral("second.bin"), second);
    const QString thirdPath = write(QStringLiteral("third.bin"), "third");
    FaultRule slow;
    slow.fault = Fault::Slow;
    slow.delayMs = 300;
    server.setFault(kUploadFile, slow);
    const auto files = start({firstPath, secondPath, thirdPath});

    // A waiting file the server never saw goes without a request.
    engine->deleteFileFromServer(files[2]);
    EXPECT_FALSE(engine->queue().contains(files[2]));

    // The file in flight: the server drops its copy, its piece is cancelled
    // and the next file goes; nothing late of it lands anywhere.
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.requestCount(kUploadFile) >= 2; }, 10000));
    const QByteArray md5 = files[0]->fileMd5().toLatin1();
    const QByteArray name = QByteArray("first.bin").toBase64();
    const QByteArray device = "5C0FFEE0-0000-4000-8000-00000000D1CE";
    ASSERT_GT(server.partialLength(device, md5, name), 0);
    server.clearFaults();
    engine->deleteFileFromServer(files[0]);
    ASSERT_TRUE(waitUntilIdle());
    TestSupport::spin(400); // late answers of the first file come meanwhile and must land nowhere
    EXPECT_EQ(server.requestCount(kDeleteTempFile), 1);
    EXPECT_EQ(server.partialLength(device, md5, name), 0);
    EXPECT_FALSE(engine->queue().contains(files[0]));
    EXPECT_EQ(files[1]->uploadStatus(), Status::Done);
    EXPECT_EQ(server.uploadedFiles(), QStringList{QStringLiteral("second.bin")});
    EXPECT_EQ(probe.types.value(0), 1);

    // A done file stays, with the tip.
    engine->deleteFileFromServer(files[1]);
    EXPECT_EQ(record.deleteFails, 1);
    EXPECT_TRUE(engine->queue().contains(files[1]));

    // A failed file whose copy may exist, while the probe fails: the
    // network-lost alert, and the row stays.
    server.setFault(kStartBytes, codeOnce(230));
    const auto busy = engine->addInitialDataWithArray({QUrl::fromLocalFile(firstPath)});
    engine->getFileStartBytesWithIndex(0);
    ASSERT_TRUE(waitUntilIdle());
    busy[0]->setStartBytes(QStringLiteral("0"));
    probe.answers = {false};
    record.alerts.clear();
    engine->deleteFileFromServer(busy[0]);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !record.alerts.isEmpty(); }));
    EXPECT_EQ(record.alerts, QList<QVUploadEngine::Alert>{QVUploadEngine::Alert::NetworkLost});
    EXPECT_TRUE(engine->queue().contains(busy[0]));
}

TEST_F(UploadEngineTest, NothingReachesTheServerAfterStop)
{
    const QString path = write(QStringLiteral("big.bin"), patternBytes(8 * kPiece, 9));
    // The server holds the first piece without an answer: nothing else is
    // on its way when the stop comes.
    FaultRule silent;
    silent.fault = Fault::Silent;
    server.setFault(kUploadFile, silent);
    services.timings.pieceTimeout = std::chrono::milliseconds(60000);
    start({path});
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.requestCount(kUploadFile) >= 1; }));
    engine->stop();
    const int seen = server.requestCount();
    TestSupport::spin(600); // for a request that must not come
    EXPECT_EQ(server.requestCount(), seen);
    EXPECT_TRUE(server.uploadedFiles().isEmpty());
}

TEST_F(UploadEngineTest, ALostServerMarksEveryQueuedFileAndReconnectResumesByteForByte)
{
    const QByteArray one = patternBytes(6 * kPiece + 3, 31);
    const QByteArray two = patternBytes(kPiece + 1, 32);
    const QString onePath = write(QStringLiteral("one.bin"), one);
    const QString twoPath = write(QStringLiteral("two.bin"), two);
    FaultRule slow;
    slow.fault = Fault::Slow;
    slow.delayMs = 30;
    server.setFault(kUploadFile, slow);
    probe.answers = {false};
    const auto files = start({onePath, twoPath});
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.requestCount(kUploadFile) >= 3; }, 10000));
    const quint16 port = server.port();
    const QHostAddress address = server.address();
    server.close();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !record.alerts.isEmpty(); }, 10000));
    EXPECT_EQ(record.alerts, QList<QVUploadEngine::Alert>{QVUploadEngine::Alert::NetworkLost});
    EXPECT_EQ(files[0]->uploadStatus(), Status::NetworkLost);
    EXPECT_EQ(files[1]->uploadStatus(), Status::NetworkLost);
    EXPECT_TRUE(engine->queue().workQueue().isEmpty());

    // The same server (its partial copy kept) comes back.
    ASSERT_TRUE(server.listen(address, port));
    server.clearFaults();
    server.clearRequests();
    probe.answers = {true};
    engine->networkReconnection();
    ASSERT_TRUE(TestSupport::waitFor([&] { return files[1]->uploadStatus() == Status::Done; }, 20000));
    EXPECT_EQ(files[0]->uploadStatus(), Status::Done);
    EXPECT_EQ(server.uploadedFile(QStringLiteral("one.bin")), one);
    EXPECT_EQ(server.uploadedFile(QStringLiteral("two.bin")), two);
    // The first piece after the reconnect starts where the kept copy ends.
    EXPECT_GT(bytesStarts().value(0), 0);
    EXPECT_EQ(bytesStarts().value(0) % kPiece, 0);
}

TEST_F(UploadEngineTest, A200MakesAFileDoneOnlyForAWholeLastPieceOfTheUnchangedFile)
{
    // The server calls the file whole after its first piece of three.
    const QByteArray bytes = patternBytes(2 * kPiece + 10, 61);
    const QString path = write(QStringLiteral("early.bin"), bytes);
    server.setUploadAcceptLimit(0);
    server.setFault(kUploadFile, codeOnce(200));
    const auto early = start({path});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(early[0]->uploadStatus(), Status::Failed);
    EXPECT_EQ(early[0]->requestCode(), 400);
    EXPECT_EQ(server.requestCount(kUploadFile), 1);

    // The file is touched while its last piece is with the server, before
    // the answer: what the server holds may be a mix.
    server.clearFaults();
    server.setUploadAcceptLimit(std::numeric_limits<qint64>::max());
    engine->deleteModel(early[0]);
    bool touched = false;
    QObject::connect(&server, &FakeServers::FakeHttpServer::requestReceived, engine.get(),
                     [&](const FakeServers::HttpRequest &request) {
                         if (request.path != kUploadFile || request.header("Bytes-Start") != QByteArray::number(2 * kPiece))
                             return;
                         QFile file(path);
                         file.open(QIODevice::ReadWrite);
                         file.setFileTime(QDateTime::currentDateTime().addSecs(30), QFileDevice::FileModificationTime);
                         touched = true;
                     });
    const auto changed = engine->addInitialDataWithArray({QUrl::fromLocalFile(path)});
    engine->getFileStartBytesWithIndex(0);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_TRUE(touched);
    EXPECT_EQ(changed[0]->uploadStatus(), Status::Missing);
    EXPECT_EQ(server.requestCount(kUploadFile), 4);

    // A server that answers 200 before it has read the body: the piece did
    // not leave whole.
    HttpTest::HostileServer hostile;
    hostile.setAnswer(kStartBytes, HttpTest::HostileServer::json("{\"code\":200,\"byteStart\":0}"));
    HttpTest::HostileServer::Answer atOnce = HttpTest::HostileServer::json("{\"code\":200}");
    atOnce.answerAtOnce = true;
    hostile.setAnswer(kUploadFile, atOnce);
    const QString base = hostile.baseUrl();
    services.fileShareIp = [base] { return base; };
    services.limits.pieceBytes = 104857600;
    engine.reset();
    const QString bigPath = write(QStringLiteral("big.bin"), patternBytes(40 * 1024 * 1024, 62));
    const auto partly = start({bigPath});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(partly[0]->uploadStatus(), Status::Failed);
    EXPECT_EQ(partly[0]->requestCode(), 400);
}

TEST_F(UploadEngineTest, ThePiecesAreReadOnTheWorkerThread)
{
    const QByteArray bytes = patternBytes(kPiece + 5, 63);
    const QString path = write(QStringLiteral("held.bin"), bytes);
    makeEngine();
    // Held once the file's MD5 is taken and its offset asked for: its piece
    // is read on the same worker, and waits.
    std::unique_ptr<WorkerGate> gate;
    QObject::connect(&server, &FakeServers::FakeHttpServer::requestReceived, engine.get(),
                     [&](const FakeServers::HttpRequest &request) {
                         if (request.path == kStartBytes && !gate)
                             gate = std::make_unique<WorkerGate>(engine->worker());
                     });
    const auto files = start({path});
    ASSERT_TRUE(TestSupport::waitFor([&] { return files[0]->uploadStatus() == Status::Uploading; }));
    TestSupport::spin(100);
    EXPECT_EQ(server.requestCount(kUploadFile), 0);
    gate->release();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(files[0]->uploadStatus(), Status::Done);
    EXPECT_EQ(server.uploadedFile(QStringLiteral("held.bin")), bytes);
}
