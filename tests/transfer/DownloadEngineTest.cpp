// The downloader against the fake file-share server: whole roads with
// several chunk sizes, every answer of the check, spoilt chunks and their
// bounds (endless ones in bounded memory), transport failures, the network
// check, naming, the work left to the worker thread, a folder that cannot
// rename, the sweep of what earlier runs left, and what delete, continue and
// leaving do to requests and files.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AllocationWatch.h"
#include "HostileServer.h"
#include "QVDownloadTempRecords.h"
#include "TransferTestSupport.h"

using namespace TransferTest;
using namespace FakeServers;
using Status = QVDownLoadFileModel::Status;

namespace {

class DownloadEngine : public EngineFixture {};

// Every chunk is checked, then fetched, in order, once each.
void expectOneCheckThenFetchPerChunk(const FakeFileShareServer &server, const QString &absPath, qint64 chunks)
{
    QList<QByteArray> expected;
    for (qint64 i = 0; i < chunks; ++i) {
        expected << "checkFile " + QByteArray::number(i) << "download " + QByteArray::number(i);
    }
    QList<QByteArray> seen;
    const QByteArray path = absPath.toUtf8().toBase64();
    for (const HttpRequest &request : server.requests()) {
        if (request.header("File-Path") != path)
            continue;
        seen << request.path.section(QLatin1Char('/'), -1).toUtf8() + ' ' + request.header("Chunk-Number");
    }
    EXPECT_EQ(seen, expected);
}

} // namespace

TEST_F(DownloadEngine, FilesOfEveryShapeArriveWholeUnderTheirNameWithOneRequestPairPerChunk)
{
    struct Case {
        qint64 chunkSize;
        qint64 fileSize;
    };
    // A short last chunk, an exact multiple, a single chunk, one byte, and a
    // chunk size of one byte.
    const Case cases[] = {{65536, 200000}, {65536, 196608}, {65536, 1000}, {1000, 1}, {1, 7}};
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "chunk " << c.chunkSize << " size " << c.fileSize);
        server.setChunkSize(c.chunkSize);
        server.clearRequests();
        const QString path = QStringLiteral("Root-Local/shape%1.bin").arg(n);
        const QByteArray bytes = patternBytes(c.fileSize, quint32(n++));
        auto file = serve(path, bytes);
        if (!engine)
            makeEngine();
        record.buttonStyles.clear();
        start({file});
        ASSERT_TRUE(waitUntilIdle());
        EXPECT_EQ(file->downLoadStatus(), Status::Done);
        const QString final = folder() + QLatin1Char('/') + file->name();
        EXPECT_EQ(file->finalFileURL(), final);
        EXPECT_EQ(readFile(final), bytes);
        const qint64 chunks = (c.fileSize + c.chunkSize - 1) / c.chunkSize;
        expectOneCheckThenFetchPerChunk(server, path, chunks);
        EXPECT_EQ(file->downLoadBytes(), c.fileSize);
    }
    // Only the finished files are left; no temporary file.
    EXPECT_EQ(folderEntries(folder()).size(), 5);
    EXPECT_TRUE(engine->queue().invariantHolds());
    // Progress never goes below 0.05 nor above 1.
    ASSERT_FALSE(record.progress.isEmpty());
    for (float p : record.progress) {
        EXPECT_GE(p, 0.05f);
        EXPECT_LE(p, 1.0f);
    }
}

TEST_F(DownloadEngine, ChunksLargerThanTheBuffersWaitForTheDiskAndArriveInOrder)
{
    // One small buffer: the reader waits for the writer again and again.
    services.limits.buffers = 1;
    services.limits.bufferBytes = 1000;
    services.limits.readAheadBytes = 4096;
    server.setChunkSize(65536);
    const QByteArray bytes = patternBytes(300001, 8);
    auto file = serve(QStringLiteral("Root-Local/narrow.bin"), bytes);
    start({file});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(file->downLoadStatus(), Status::Done);
    EXPECT_EQ(readFile(file->finalFileURL()), bytes);
    EXPECT_EQ(chunkNumbers(kDownload), (QList<qint64>{0, 1, 2, 3, 4}));
}

TEST_F(DownloadEngine, EachCheckAnswerSettlesItsFileAndTheQueueGoesOn)
{
    // An empty file is never asked for; 404, 406 and an unknown code fail
    // their file with their own status; the last file still arrives.
    auto empty = remoteFile(QStringLiteral("Root-Local/empty.txt"), 0);
    auto missing = remoteFile(QStringLiteral("Root-Local/gone.txt"), 10);
    server.addRoot({QStringLiteral("Root-Safe"), QStringLiteral("Safe"), true, QStringLiteral("123456"), 1});
    auto locked = serve(QStringLiteral("Root-Safe/secret.txt"), "secret");
    auto good = serve(QStringLiteral("Root-Local/good.txt"), patternBytes(70000, 1));
    start({empty, missing, locked, good});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(empty->downLoadStatus(), Status::EmptyFile);
    EXPECT_EQ(missing->downLoadStatus(), Status::NotOnDevice);
    EXPECT_EQ(locked->downLoadStatus(), Status::WrongPassword);
    EXPECT_EQ(good->downLoadStatus(), Status::Done);
    for (const HttpRequest &request : server.requests())
        EXPECT_NE(request.header("File-Path"), QByteArray("Root-Local/empty.txt").toBase64());
    EXPECT_EQ(engine->queue().fileFailArray().mutableArray(),
              (QList<std::shared_ptr<QVDownLoadFileModel>>{empty, missing, locked}));
    EXPECT_EQ(server.requestCount(kDownload), 2);

    // Any other code fails the file with 3.
    FaultRule wrongCode;
    wrongCode.fault = Fault::WrongCode;
    wrongCode.value = 500;
    wrongCode.times = 1;
    server.setFault(kCheckFile, wrongCode);
    auto other = serve(QStringLiteral("Root-Local/other.txt"), "x");
    record.buttonStyles.clear();
    start({other});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(other->downLoadStatus(), Status::Failed);
    EXPECT_EQ(server.requestCount(kDownload), 2);
    EXPECT_TRUE(engine->queue().invariantHolds());
}

TEST_F(DownloadEngine, BusyOrRefusedFailsTheWholeQueueWithOneAlertEach)
{
    auto a = serve(QStringLiteral("Root-Local/a.bin"), patternBytes(1000, 1));
    auto b = serve(QStringLiteral("Root-Local/b.bin"), patternBytes(1000, 2));
    server.setBusy(true);
    start({a, b});
    ASSERT_TRUE(TestSupport::waitFor([&] { return !record.alerts.isEmpty(); }));
    TestSupport::spin(50); // for a second alert that must not come
    EXPECT_EQ(record.alerts, QList<QVDownloadEngine::Alert>{QVDownloadEngine::Alert::Busy});
    EXPECT_EQ(a->downLoadStatus(), Status::Failed);
    EXPECT_EQ(b->downLoadStatus(), Status::Failed);
    EXPECT_TRUE(engine->queue().workQueue().isEmpty());
    EXPECT_EQ(engine->queue().fileFailArray().size(), 2);
    EXPECT_EQ(server.requestCount(kCheckFile), 1);
    EXPECT_EQ(server.requestCount(kDownload), 0);

    // Both continue once the device is free again; one answers refused.
    server.setBusy(false);
    server.setShareEnabled(false);
    record.alerts.clear();
    engine->singleContinueWithModel(a);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !record.alerts.isEmpty(); }));
    EXPECT_EQ(record.alerts, QList<QVDownloadEngine::Alert>{QVDownloadEngine::Alert::Refused});
    server.setShareEnabled(true);
    engine->singleContinueWithModel(a);
    engine->singleContinueWithModel(b);
    record.buttonStyles.clear();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(a->downLoadStatus(), Status::Done);
    EXPECT_EQ(b->downLoadStatus(), Status::Done);
}

TEST_F(DownloadEngine, AWrongMd5RefetchesTheSameChunkWithoutGrowingTheFileAndIsBounded)
{
    server.setChunkSize(1000);
    const QByteArray bytes = patternBytes(3500, 7);
    auto file = serve(QStringLiteral("Root-Local/md5.bin"), bytes);
    // The second chunk is spoilt once: it is asked for again.
    int spoilt = 0;
    server.setChunkSpoiler([&](qint64 index, HttpAnswer &answer) {
        if (index == 1 && spoilt++ == 0)
            answer.setHeader("File-MD5", QByteArray(32, 'a'));
    });
    start({file});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(file->downLoadStatus(), Status::Done);
    EXPECT_EQ(chunkNumbers(kDownload), (QList<qint64>{0, 1, 1, 2, 3}));
    EXPECT_EQ(chunkNumbers(kCheckFile), (QList<qint64>{0, 1, 1, 2, 3}));
    EXPECT_EQ(readFile(file->finalFileURL()), bytes);

    // Upper-case digits are the same digest.
    server.clearRequests();
    server.setChunkSpoiler([](qint64, HttpAnswer &answer) { answer.setHeader("File-MD5", answer.header("File-MD5").toUpper()); });
    auto upper = serve(QStringLiteral("Root-Local/upper.bin"), bytes);
    record.buttonStyles.clear();
    start({upper});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(upper->downLoadStatus(), Status::Done);
    EXPECT_EQ(server.requestCount(kDownload), 4);

    // Always wrong: a few tries, then the file fails with its verified
    // chunks kept, and nothing carries its name.
    server.clearRequests();
    server.setChunkSpoiler([](qint64 index, HttpAnswer &answer) {
        if (index == 2)
            answer.setHeader("File-MD5", QByteArray(32, 'b'));
    });
    auto broken = serve(QStringLiteral("Root-Local/broken.bin"), bytes);
    record.buttonStyles.clear();
    start({broken});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(broken->downLoadStatus(), Status::Failed);
    EXPECT_EQ(chunkNumbers(kDownload), (QList<qint64>{0, 1, 2, 2, 2}));
    EXPECT_FALSE(QFile::exists(folder() + QStringLiteral("/broken.bin")));
    // The worker cuts what the spoilt chunk wrote.
    EXPECT_TRUE(TestSupport::waitFor([&] { return QFileInfo(broken->tmpFileURL()).size() == 2000; }));

    // Fixed on the server, the continue resumes at the third chunk.
    server.clearRequests();
    server.setChunkSpoiler(nullptr);
    record.buttonStyles.clear();
    engine->singleContinueWithModel(broken);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(broken->downLoadStatus(), Status::Done);
    EXPECT_EQ(chunkNumbers(kDownload), (QList<qint64>{2, 3}));
    EXPECT_EQ(readFile(broken->finalFileURL()), bytes);
    EXPECT_FALSE(QFile::exists(broken->tmpFileURL()));
}

TEST_F(DownloadEngine, HostileChunkAnswersNeverReachTheFileAndEndInAFailure)
{
    server.setChunkSize(1000);
    const QByteArray bytes = patternBytes(2500, 3);
    struct Spoil {
        const char *what;
        std::function<void(qint64, HttpAnswer &)> spoiler;
    };
    const QList<Spoil> spoils = {
        {"no chunk count", [](qint64, HttpAnswer &a) { a.removeHeader("Total-Chunk-Number"); }},
        {"zero chunks", [](qint64, HttpAnswer &a) { a.setHeader("Total-Chunk-Number", "0"); }},
        {"negative chunks", [](qint64, HttpAnswer &a) { a.setHeader("Total-Chunk-Number", "-3"); }},
        {"huge count", [](qint64, HttpAnswer &a) { a.setHeader("Total-Chunk-Number", "99999999999999999999999"); }},
        {"count changes", [](qint64 i, HttpAnswer &a) { if (i == 1) a.setHeader("Total-Chunk-Number", "4"); }},
        {"garbage size", [](qint64, HttpAnswer &a) { a.setHeader("Current-Chunk-Size", "12abc"); }},
        {"no size", [](qint64, HttpAnswer &a) { a.removeHeader("Current-Chunk-Size"); }},
        {"size past the file", [](qint64, HttpAnswer &a) { a.setHeader("Current-Chunk-Size", "9000000000"); }},
        {"longer body", [](qint64 i, HttpAnswer &a) { if (i == 1) a.body += "extra"; }},
        {"shorter declared", [](qint64 i, HttpAnswer &a) { if (i == 1) a.setHeader("Current-Chunk-Size", "10"); }},
        {"short md5", [](qint64, HttpAnswer &a) { a.setHeader("File-MD5", "abc"); }},
        {"json error body", [](qint64 i, HttpAnswer &a) {
             if (i == 1)
                 a = HttpAnswer::json(QJsonObject{{"code", 404}});
         }},
    };
    int n = 0;
    for (const Spoil &spoil : spoils) {
        SCOPED_TRACE(spoil.what);
        server.clearRequests();
        server.setChunkSpoiler(spoil.spoiler);
        auto file = serve(QStringLiteral("Root-Local/hostile%1.bin").arg(n++), bytes);
        if (!engine)
            makeEngine();
        record.buttonStyles.clear();
        start({file});
        ASSERT_TRUE(waitUntilIdle());
        EXPECT_EQ(file->downLoadStatus(), Status::Failed);
        // A bounded number of tries, and never a finished file.
        EXPECT_LE(server.requestCount(kDownload), 4);
        EXPECT_TRUE(file->finalFileURL().isEmpty());
        EXPECT_TRUE(TestSupport::waitFor(
            [&] { return QFileInfo(file->tmpFileURL()).size() == file->downLoadBytes(); }));
        EXPECT_EQ(file->downLoadBytes() % 1000, 0);
        engine->deleteItemWithModel(file);
    }
    // Nothing is left behind by the deleted rows.
    EXPECT_EQ(folderEntries(folder()), QStringList());
}

TEST_F(DownloadEngine, ATransportErrorIsRetriedOncePerFileThenFailsAndANetworkLossMarksTheFile)
{
    server.setChunkSize(1000);
    const QByteArray bytes = patternBytes(3000, 11);
    auto file = serve(QStringLiteral("Root-Local/cut.bin"), bytes);
    auto next = serve(QStringLiteral("Root-Local/next.bin"), bytes);
    // A body cut short by a closed connection: the same chunk again, once.
    FaultRule cut;
    cut.fault = Fault::TruncatedBody;
    cut.times = 1;
    server.setChunkFault(1, cut);
    start({file});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(file->downLoadStatus(), Status::Done);
    EXPECT_EQ(readFile(file->finalFileURL()), bytes);
    EXPECT_EQ(chunkNumbers(kDownload), (QList<qint64>{0, 1, 1, 2}));

    // Two failures in one file's life: it fails and the next file starts.
    server.clearRequests();
    auto twice = serve(QStringLiteral("Root-Local/twice.bin"), bytes);
    server.setChunkFault(0, cut);
    server.setChunkFault(2, cut);
    record.buttonStyles.clear();
    start({twice, next});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(twice->downLoadStatus(), Status::Failed);
    EXPECT_EQ(twice->redownloadCount(), 0);
    EXPECT_EQ(next->downLoadStatus(), Status::Done);
    EXPECT_TRUE(TestSupport::waitFor([&] { return QFileInfo(twice->tmpFileURL()).size() == 2000; }));

    // With the system's network gone the failure marks the file "network
    // lost" without a retry.
    bool reachable = true;
    services.networkReachable = [&reachable] { return reachable; };
    engine.reset();
    makeEngine();
    server.clearRequests();
    server.clearChunkFaults();
    auto lost = serve(QStringLiteral("Root-Local/lost.bin"), bytes);
    server.setChunkFault(1, cut);
    reachable = false;
    record.buttonStyles.clear();
    start({lost});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(lost->downLoadStatus(), Status::NetworkLost);
    EXPECT_EQ(chunkNumbers(kDownload), (QList<qint64>{0, 1}));
}

TEST_F(DownloadEngine, ACheckWithoutAnswerAsksTheProbeAndEitherRetriesBoundedOrWaitsForReconnect)
{
    services.timings.checkFileTimeout = std::chrono::milliseconds(150);
    server.setChunkSize(1000);
    const QByteArray bytes = patternBytes(3000, 5);
    auto file = serve(QStringLiteral("Root-Local/a.bin"), bytes);
    auto other = serve(QStringLiteral("Root-Local/b.bin"), bytes);

    // The server takes connections but never answers the check: the probe
    // says it is there, the check is retried a few times, then the file fails.
    FaultRule silent;
    silent.fault = Fault::Silent;
    server.setFault(kCheckFile, silent);
    probe.answers = {true};
    start({file});
    ASSERT_TRUE(waitUntilIdle(20000));
    EXPECT_EQ(file->downLoadStatus(), Status::Failed);
    EXPECT_EQ(server.requestCount(kCheckFile), 4);
    EXPECT_EQ(probe.types, (QList<qint64>{2, 2, 2, 2}));

    // The probe says the network is gone: every queued file is "network
    // lost", one alert; the reconnect resumes each at its own chunk.
    server.clearFaults();
    server.clearRequests();
    probe.answers = {false};
    probe.types.clear();
    engine.reset();
    makeEngine();
    auto third = serve(QStringLiteral("Root-Local/c.bin"), bytes);
    FaultRule once = silent;
    once.times = 1;
    // The check of the first file's second chunk is silent (picked by what
    // it asks for: a check the last engine still had on the wire may come
    // in first).
    bool silenced = false;
    QObject::connect(&server, &FakeHttpServer::requestReceived, engine.get(), [&](const HttpRequest &request) {
        if (request.path == kCheckFile && request.header("File-Path") == QByteArray("Root-Local/b.bin").toBase64()
            && request.header("Chunk-Number") == "1" && !silenced) {
            silenced = true;
            server.setFault(kCheckFile, once);
        }
    });
    engine->addFiles({other, third});
    engine->checkFileApiWithIndex(0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !record.alerts.isEmpty(); }, 10000));
    EXPECT_EQ(record.alerts, QList<QVDownloadEngine::Alert>{QVDownloadEngine::Alert::NetworkLost});
    EXPECT_EQ(other->downLoadStatus(), Status::NetworkLost);
    EXPECT_EQ(third->downLoadStatus(), Status::NetworkLost);
    EXPECT_EQ(other->currentChunks(), 1);

    // Reconnect while the probe still fails: the alert again.
    record.alerts.clear();
    engine->networkReconnection();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !record.alerts.isEmpty(); }));
    EXPECT_EQ(other->downLoadStatus(), Status::NetworkLost);

    // Back: both go back to the queue and finish; the first resumes at its
    // second chunk.
    probe.answers = {true};
    server.clearRequests();
    record.buttonStyles.clear();
    engine->networkReconnection();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(other->downLoadStatus(), Status::Done);
    EXPECT_EQ(third->downLoadStatus(), Status::Done);
    EXPECT_EQ(chunkNumbers(kDownload), (QList<qint64>{1, 2, 0, 1, 2}));
    EXPECT_EQ(readFile(other->finalFileURL()), bytes);
}

TEST_F(DownloadEngine, RemoteNamesNeverLeaveTheFolderAndTakenNamesAreNumbered)
{
    QDir outside(folder());
    ASSERT_TRUE(outside.mkpath(QStringLiteral("inner")));
    const QString inner = folder() + QStringLiteral("/inner");
    services.downloadFolder = [inner] { return inner; };
    for (const char *name : {"report.pdf", "report(1).pdf"}) {
        QFile taken(inner + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    }

    struct Case {
        QString remoteName;
        QString savedAs;
    };
    const QString longName = QString(300, QLatin1Char('n')) + QStringLiteral(".txt");
    const QList<Case> cases = {
        {QStringLiteral("report.pdf"), QStringLiteral("report(2).pdf")},
        {QStringLiteral("../escape.txt"), QStringLiteral("escape.txt")},
        {QStringLiteral("../../inner2"), QStringLiteral("inner2")},
        {QStringLiteral("a/b"), QStringLiteral("b")},
        {QStringLiteral("/etc/passwd"), QStringLiteral("passwd")},
        {QStringLiteral("."), QStringLiteral("download")},
        {QStringLiteral(".."), QStringLiteral("download(1)")},
        {QStringLiteral(""), QStringLiteral("download(2)")},
        {QStringLiteral("tab\tnew\nline\x01.txt"), QStringLiteral("tab_new_line_.txt")},
        {QStringLiteral("README"), QStringLiteral("README")},
        {QStringLiteral("README"), QStringLiteral("README(1)")},
        {longName, QString(251, QLatin1Char('n')) + QStringLiteral(".txt")},
    };
    QList<std::shared_ptr<QVDownLoadFileModel>> files;
    for (int i = 0; i < cases.size(); ++i) {
        const QByteArray bytes = patternBytes(100 + i, quint32(i));
        server.addFile(QStringLiteral("Root-Local/f%1").arg(i), bytes);
        files << remoteFile(QStringLiteral("Root-Local/f%1").arg(i), bytes.size(), cases[i].remoteName);
    }
    start(files);
    ASSERT_TRUE(waitUntilIdle());
    for (int i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].remoteName.toStdString());
        EXPECT_EQ(files[i]->downLoadStatus(), Status::Done);
        EXPECT_EQ(files[i]->finalFileURL(), inner + QLatin1Char('/') + cases[i].savedAs);
        EXPECT_EQ(readFile(files[i]->finalFileURL()), patternBytes(100 + i, quint32(i)));
    }
    // Nothing was written next to the folder.
    EXPECT_EQ(folderEntries(folder()), QStringList{QStringLiteral("inner")});
    EXPECT_EQ(folderEntries(inner).size(), cases.size() + 2);
}

TEST_F(DownloadEngine, TheTemporaryFileIsAlwaysNewAndNeverAnExistingFileOrLink)
{
    // A file and a link already carry the names the stamps would give.
    QFile mine(folder() + QStringLiteral("/1700000000000"));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("the user's own file");
    mine.close();
    const QString target = folder() + QStringLiteral("-target");
    QFile::remove(target);
    ASSERT_TRUE(QFile::link(target, folder() + QStringLiteral("/1700000000001")));

    const QByteArray bytes = patternBytes(5000, 9);
    auto file = serve(QStringLiteral("Root-Local/x.bin"), bytes);
    start({file});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(file->timeStamp(), QStringLiteral("1700000000002"));
    EXPECT_EQ(readFile(file->finalFileURL()), bytes);
    EXPECT_EQ(readFile(folder() + QStringLiteral("/1700000000000")), QByteArray("the user's own file"));
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_TRUE(QFileInfo(folder() + QStringLiteral("/1700000000001")).isSymLink());
}

TEST_F(DownloadEngine, DeleteAndLeaveStopEveryRequestAndRemoveTheTemporaryFiles)
{
    server.setChunkSize(1000);
    FaultRule slow;
    slow.fault = Fault::Slow;
    slow.delayMs = 80;
    server.setFault(kDownload, slow);
    const QByteArray bytes = patternBytes(5000, 1);
    auto first = serve(QStringLiteral("Root-Local/first.bin"), bytes);
    auto second = serve(QStringLiteral("Root-Local/second.bin"), bytes);
    auto third = serve(QStringLiteral("Root-Local/third.bin"), bytes);
    start({first, second, third});
    ASSERT_TRUE(TestSupport::waitFor([&] { return first->downLoadBytes() >= 2000; }));
    const QString firstTemp = first->tmpFileURL();
    ASSERT_TRUE(QFile::exists(firstTemp));
    const int beforeDelete = server.requestCount();
    engine->deleteItemWithModel(first);
    EXPECT_FALSE(QFile::exists(firstTemp));
    EXPECT_FALSE(engine->queue().contains(first));
    // The next file starts; the deleted one's answers create nothing.
    ASSERT_TRUE(TestSupport::waitFor([&] { return second->downLoadBytes() >= 1000; }));
    TestSupport::spin(200); // late answers come meanwhile and must create nothing
    EXPECT_FALSE(QFile::exists(firstTemp));
    // Only the request already on its way when the row went may still
    // arrive; nothing new is sent for it.
    int afterDelete = 0;
    const QList<HttpRequest> requests = server.requests();
    for (qsizetype i = beforeDelete; i < requests.size(); ++i)
        afterDelete += requests[i].header("File-Path") == QByteArray("Root-Local/first.bin").toBase64() ? 1 : 0;
    EXPECT_LE(afterDelete, 1);

    // Leaving: nothing more reaches the server, and the temporary files of
    // the unfinished files go.
    const QString secondTemp = second->tmpFileURL();
    // The server holds the next chunk without an answer: nothing else is
    // on its way when the stop comes.
    FaultRule silent;
    silent.fault = Fault::Silent;
    server.setFault(kDownload, silent);
    const int chunksBefore = server.requestCount(kDownload);
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.requestCount(kDownload) > chunksBefore; }));
    engine->stop();
    const int seen = server.requestCount();
    TestSupport::spin(400); // for a request that must not come
    EXPECT_EQ(server.requestCount(), seen);
    EXPECT_FALSE(QFile::exists(secondTemp));
    EXPECT_EQ(folderEntries(folder()), QStringList());
    // A stopped engine takes no more work.
    engine->singleContinueWithModel(third);
    engine->checkFileApiWithIndex(0);
    TestSupport::spin(100); // for a request that must not come
    EXPECT_EQ(server.requestCount(), seen);
}

TEST_F(DownloadEngine, DeletingAFinishedRowRemovesTheFileOnlyWhileItIsTheOneWeMade)
{
    auto kept = serve(QStringLiteral("Root-Local/kept.txt"), "ours");
    auto removed = serve(QStringLiteral("Root-Local/removed.txt"), "ours too");
    start({kept, removed});
    ASSERT_TRUE(waitUntilIdle());
    // The user replaced one of them meanwhile.
    QFile::remove(kept->finalFileURL());
    QFile replacement(kept->finalFileURL());
    ASSERT_TRUE(replacement.open(QIODevice::WriteOnly));
    replacement.write("the user's");
    replacement.close();
    EXPECT_TRUE(QVDownloadEngine::finalFileExists(kept));
    engine->deleteItemWithModel(kept);
    engine->deleteItemWithModel(removed);
    EXPECT_EQ(readFile(folder() + QStringLiteral("/kept.txt")), QByteArray("the user's"));
    EXPECT_FALSE(QFile::exists(folder() + QStringLiteral("/removed.txt")));
    EXPECT_FALSE(QVDownloadEngine::finalFileExists(removed));
    EXPECT_TRUE(engine->queue().fileNormalArray().isEmpty());
}

TEST_F(DownloadEngine, TheFolderIsFixedWhenAFileStartsAndAVanishedFolderFailsTheQueue)
{
    server.setChunkSize(1000);
    FaultRule slow;
    slow.fault = Fault::Slow;
    slow.delayMs = 30;
    server.setFault(kDownload, slow);
    QTemporaryDir other;
    QString current = folder();
    services.downloadFolder = [&current] { return current; };
    const QByteArray bytes = patternBytes(4000, 2);
    auto moved = serve(QStringLiteral("Root-Local/moved.bin"), bytes);
    auto later = serve(QStringLiteral("Root-Local/later.bin"), bytes);
    start({moved, later});
    ASSERT_TRUE(TestSupport::waitFor([&] { return moved->downLoadBytes() >= 1000; }));
    // The folder setting changes mid-file: this file stays whole where it
    // began; the next file goes to the new folder.
    current = other.path();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(readFile(folder() + QStringLiteral("/moved.bin")), bytes);
    EXPECT_EQ(readFile(other.path() + QStringLiteral("/later.bin")), bytes);

    // The folder goes away before the file is finished: every queued file
    // fails, nothing is created anywhere.
    QTemporaryDir doomed;
    QString doomedPath = doomed.path();
    current = doomedPath;
    auto a = serve(QStringLiteral("Root-Local/a.bin"), bytes);
    auto b = serve(QStringLiteral("Root-Local/b.bin"), bytes);
    server.setChunkSpoiler([&](qint64 index, HttpAnswer &) {
        if (index == 3)
            QDir(doomedPath).removeRecursively();
    });
    record.buttonStyles.clear();
    start({a, b});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(a->downLoadStatus(), Status::Failed);
    EXPECT_EQ(b->downLoadStatus(), Status::Failed);
    EXPECT_FALSE(QFileInfo::exists(doomedPath));
}

TEST_F(DownloadEngine, AFailedMoveIsRetriedAloneByContinueWithoutFetchingAgain)
{
    server.setChunkSize(1000);
    const QByteArray bytes = patternBytes(2500, 4);
    auto file = serve(QStringLiteral("Root-Local/report.pdf"), bytes);
    // Every name the file may try is taken, by folders.
    services.limits.finalNameTries = 4;
    QDir dir(folder());
    ASSERT_TRUE(dir.mkdir(QStringLiteral("report.pdf")));
    for (int n = 1; n < 4; ++n)
        ASSERT_TRUE(dir.mkdir(QStringLiteral("report(%1).pdf").arg(n)));
    start({file});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(file->downLoadStatus(), Status::Failed);
    EXPECT_TRUE(file->finalFileURL().isEmpty());
    EXPECT_EQ(QFileInfo(file->tmpFileURL()).size(), 2500);

    // Room is made; the continue only moves the file.
    for (int n = 0; n < 4; ++n)
        dir.rmdir(n == 0 ? QStringLiteral("report.pdf") : QStringLiteral("report(%1).pdf").arg(n));
    server.clearRequests();
    record.buttonStyles.clear();
    engine->singleContinueWithModel(file);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(file->downLoadStatus(), Status::Done);
    EXPECT_EQ(server.requestCount(), 0);
    // A name chosen before starts its numbers at 0.
    EXPECT_EQ(file->finalFileURL(), folder() + QStringLiteral("/report(0).pdf"));
    EXPECT_EQ(readFile(file->finalFileURL()), bytes);
    EXPECT_EQ(folderEntries(folder()), QStringList{QStringLiteral("report(0).pdf")});
}

TEST_F(DownloadEngine, ThePasswordTravelsEncodedAndNoRedirectIsFollowed)
{
    server.addRoot({QStringLiteral("Root-Safe"), QStringLiteral("Safe"), true, QStringLiteral("a&b=c d#%"), 1});
    auto file = serve(QStringLiteral("Root-Safe/s.txt"), "secret");
    services.password = [] { return QStringLiteral("a&b=c d#%"); };
    start({file});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(file->downLoadStatus(), Status::Done);
    const QList<HttpRequest> downloads = server.requestsTo(kDownload);
    ASSERT_EQ(downloads.size(), 1);
    EXPECT_EQ(downloads.first().queryKeys(), QStringList{QStringLiteral("pwd")});
    EXPECT_EQ(downloads.first().queryValue(QStringLiteral("pwd")), QStringLiteral("a&b=c d#%"));

    // A chunk answer that points elsewhere is not followed.
    FaultRule redirect;
    redirect.fault = Fault::Redirect;
    redirect.body = server.baseUrl().toUtf8() + "/elsewhere";
    server.setFault(kDownload, redirect);
    server.clearRequests();
    auto moved = serve(QStringLiteral("Root-Local/m.txt"), "m");
    services.password = [] { return QString(); };
    engine.reset();
    makeEngine();
    start({moved});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(moved->downLoadStatus(), Status::Failed);
    EXPECT_EQ(server.requestCount(QStringLiteral("elsewhere")), 0);
}

TEST_F(DownloadEngine, AChunkAnswerLargerThanItsChunkIsRefusedBeforeItsBodyAndAnEndlessOneStaysBounded)
{
    HttpTest::HostileServer hostile;
    hostile.setAnswer(kCheckFile, HttpTest::HostileServer::json("{\"code\":200}"));
    const QByteArray chunkHeaders = "HTTP/1.1 200 OK\r\nFile-MD5: 0123456789abcdef0123456789abcdef\r\n"
                                    "Total-Chunk-Number: 1\r\nCurrent-Chunk-Size: 1000\r\n";
    // Ten GiB announced, and the server then holds: only the head can end
    // the chunk before its long time-out.
    HttpTest::HostileServer::Answer announced;
    announced.head = chunkHeaders + "Content-Length: 10737418240\r\n\r\n";
    hostile.setAnswer(kDownload, announced);
    const QString base = hostile.baseUrl();
    services.fileShareIp = [base] { return base; };
    services.timings.chunkTimeout = std::chrono::milliseconds(60000);
    auto file = remoteFile(QStringLiteral("Root-Local/huge.bin"), 1000);
    start({file});
    ASSERT_TRUE(waitUntilIdle(20000));
    EXPECT_EQ(file->downLoadStatus(), Status::Failed);
    EXPECT_EQ(hostile.requestCount(kDownload), services.limits.chunkAttempts);
    EXPECT_TRUE(file->finalFileURL().isEmpty());

    // A body without end: each attempt ends once the chunk is exceeded, and
    // memory stays bounded.
    HttpTest::HostileServer::Answer endless;
    endless.head = chunkHeaders + "Transfer-Encoding: chunked\r\n\r\n";
    endless.endless = HttpTest::HostileServer::Endless::Chunks;
    hostile.setAnswer(kDownload, endless);
    auto other = remoteFile(QStringLiteral("Root-Local/endless.bin"), 1000);
    record.buttonStyles.clear();
    HttpTest::AllocationWatch watch;
    start({other});
    ASSERT_TRUE(waitUntilIdle(20000));
    EXPECT_EQ(other->downLoadStatus(), Status::Failed);
    EXPECT_LT(watch.peakGrowth(), 16 * 1024 * 1024);
    EXPECT_LT(hostile.bytesSent(), 64 * 1024 * 1024);
    EXPECT_EQ(hostile.requestCount(kDownload), 2 * services.limits.chunkAttempts);
}

TEST_F(DownloadEngine, TheChunksDigestIsTakenOnTheWorkerThread)
{
    server.setChunkSize(1000);
    const QByteArray bytes = patternBytes(1000, 12);
    auto file = serve(QStringLiteral("Root-Local/digest.bin"), bytes);
    int spoilt = 0;
    server.setChunkSpoiler([&](qint64, HttpAnswer &answer) {
        if (spoilt++ == 0)
            answer.setHeader("File-MD5", QByteArray(32, 'c'));
    });
    makeEngine();
    // The worker is held from the moment the chunk is asked for: its
    // digest, and so its verdict, wait for it.
    std::unique_ptr<WorkerGate> gate;
    QObject::connect(&server, &FakeHttpServer::requestReceived, engine.get(), [&](const HttpRequest &request) {
        if (request.path == kDownload && !gate)
            gate = std::make_unique<WorkerGate>(engine->worker());
    });
    start({file});
    ASSERT_TRUE(TestSupport::waitFor([&] { return file->currentChunkBytes() == bytes.size(); }));
    TestSupport::spin(100);
    // The wrong digest is not known yet: the chunk is not asked for again.
    EXPECT_EQ(server.requestCount(kCheckFile), 1);
    EXPECT_EQ(file->downLoadStatus(), Status::Downloading);
    gate->release();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(file->downLoadStatus(), Status::Done);
    EXPECT_EQ(chunkNumbers(kCheckFile), (QList<qint64>{0, 0}));
    EXPECT_EQ(readFile(file->finalFileURL()), bytes);
}

TEST_F(DownloadEngine, AFolderThatCannotRenameOrLinkGetsACheckedCopy)
{
    // The folder's file system has neither the no-replace rename nor links.
    QStringList calls;
    services.fileCalls.renameNoReplace = [&](int, const char *, const char *to) {
        calls << QStringLiteral("rename ") + QString::fromUtf8(to);
        return EINVAL;
    };
    services.fileCalls.link = [&](int, const char *, const char *to) {
        calls << QStringLiteral("link ") + QString::fromUtf8(to);
        return EPERM;
    };
    QFile taken(folder() + QStringLiteral("/report.pdf"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.write("the user's");
    taken.close();
    server.setChunkSize(1000);
    const QByteArray bytes = patternBytes(2500, 6);
    auto report = serve(QStringLiteral("Root-Local/report.pdf"), bytes);
    auto other = serve(QStringLiteral("Root-Local/other.bin"), patternBytes(10, 7));
    start({report, other});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(report->downLoadStatus(), Status::Done);
    EXPECT_EQ(other->downLoadStatus(), Status::Done);
    EXPECT_EQ(report->finalFileURL(), folder() + QStringLiteral("/report(1).pdf"));
    EXPECT_EQ(readFile(report->finalFileURL()), bytes);
    EXPECT_EQ(readFile(other->finalFileURL()), patternBytes(10, 7));
    EXPECT_EQ(readFile(folder() + QStringLiteral("/report.pdf")), QByteArray("the user's"));
    // Each file asked the file system once per road; the taken name was
    // found by the copy itself.
    EXPECT_EQ(calls, (QStringList{"rename report.pdf", "link report.pdf", "rename other.bin", "link other.bin"}));
    EXPECT_EQ(folderEntries(folder()),
              (QStringList{QStringLiteral("other.bin"), QStringLiteral("report(1).pdf"), QStringLiteral("report.pdf")}));
    // The copy is the finished file: deleting the row removes it.
    engine->deleteItemWithModel(report);
    EXPECT_FALSE(QFile::exists(folder() + QStringLiteral("/report(1).pdf")));
}

TEST_F(DownloadEngine, TemporaryFilesOfEarlierRunsAreSweptButNeverOneInUseOrNotTheirs)
{
    // One store of records, as the program's settings are.
    auto stored = std::make_shared<QByteArray>();
    QVDownloadTempRecords::Store store{[stored] { return *stored; },
                                       [stored](const QByteArray &text) { *stored = text; }};
    auto recordsOf = [&](const QString &run) {
        return std::make_shared<QVDownloadTempRecords>(store, run, ::geteuid());
    };
    // What a killed earlier run left: a file still as it made it, one the
    // user has since put in its place, one some process has locked.
    auto earlier = recordsOf(QStringLiteral("earlier"));
    auto leave = [&](const QString &name, const QByteArray &bytes) {
        QFile file(folder() + QLatin1Char('/') + name);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        // The identity the earlier run recorded.
        struct stat info {};
        ::stat(QFile::encodeName(file.fileName()).constData(), &info);
        earlier->add(folder(), name, QVDownloadFile::Identity{info.st_dev, info.st_ino, info.st_size, 0});
    };
    leave(QStringLiteral("1600000000000"), "left by a killed run");
    leave(QStringLiteral("1600000000001"), "replaced");
    leave(QStringLiteral("1600000000002"), "locked");
    // (Made beside it and renamed over it, so that it is another file.)
    QFile replaced(folder() + QStringLiteral("/replacement"));
    ASSERT_TRUE(replaced.open(QIODevice::WriteOnly));
    replaced.write("the user's own");
    replaced.close();
    ASSERT_EQ(::rename(QFile::encodeName(replaced.fileName()).constData(),
                       QFile::encodeName(folder() + QStringLiteral("/1600000000001")).constData()),
              0);
    QFile locked(folder() + QStringLiteral("/1600000000002"));
    ASSERT_TRUE(locked.open(QIODevice::ReadOnly));
    ASSERT_EQ(::flock(locked.handle(), LOCK_EX | LOCK_NB), 0);

    // This run's first download in the folder removes only the file the
    // killed run made, untouched and unused; then its file fails after its
    // first chunk and keeps its temporary file for the continue.
    server.setChunkSize(1000);
    const QByteArray bytes = patternBytes(3000, 21);
    auto failed = serve(QStringLiteral("Root-Local/failed.bin"), bytes);
    server.setChunkSpoiler([](qint64 index, HttpAnswer &answer) {
        if (index == 1)
            answer.setHeader("File-MD5", QByteArray(32, 'd'));
    });
    services.tempRecords = recordsOf(QStringLiteral("first"));
    start({failed});
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_EQ(failed->downLoadStatus(), Status::Failed);
    const QString keptTemp = failed->tmpFileURL();
    ASSERT_TRUE(QFile::exists(keptTemp));
    const std::unique_ptr<QVDownloadEngine> first = std::move(engine);
    EXPECT_FALSE(QFile::exists(folder() + QStringLiteral("/1600000000000")));
    EXPECT_EQ(readFile(folder() + QStringLiteral("/1600000000001")), QByteArray("the user's own"));
    EXPECT_EQ(readFile(folder() + QStringLiteral("/1600000000002")), QByteArray("locked"));
    // The record of the replaced file is forgotten; the locked one and the
    // failed row's stay.
    QStringList names = services.tempRecords->names(folder());
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("1600000000002"), failed->timeStamp()}));

    // Another run downloads into the same folder meanwhile: the failed
    // row's file is in use, and stays.
    server.setChunkSpoiler(nullptr);
    services.tempRecords = recordsOf(QStringLiteral("later"));
    auto fresh = serve(QStringLiteral("Root-Local/fresh.bin"), bytes);
    record.buttonStyles.clear();
    start({fresh});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(fresh->downLoadStatus(), Status::Done);
    EXPECT_TRUE(QFile::exists(keptTemp));
    EXPECT_EQ(readFile(folder() + QStringLiteral("/1600000000002")), QByteArray("locked"));
    names = services.tempRecords->names(folder());
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("1600000000002"), failed->timeStamp()}));

    // The failed row still resumes where it stopped, and its record goes
    // with its temporary file.
    server.clearRequests();
    first->singleContinueWithModel(failed);
    ASSERT_TRUE(TestSupport::waitFor([&] { return failed->downLoadStatus() == Status::Done; }));
    EXPECT_EQ(chunkNumbers(kDownload), (QList<qint64>{1, 2}));
    EXPECT_EQ(readFile(failed->finalFileURL()), bytes);
    TestSupport::waitFor([&] { return services.tempRecords->names(folder()).size() == 1; });
    EXPECT_EQ(services.tempRecords->names(folder()), QStringList{QStringLiteral("1600000000002")});
}
