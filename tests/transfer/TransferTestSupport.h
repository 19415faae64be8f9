#pragma once

// Shared pieces of the transfer tests: a downloader wired to an in-process
// fake file-share server and a download folder of its own, a scripted
// connection probe, and a recorder of what the downloader told its page.

#include <QDir>
#include <QList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "FakeFileShareServer.h"
#include "QVDownloadEngine.h"
#include "TestSupport.h"

namespace Support {
class SerialWorker;
}

namespace TransferTest {

inline const QString kCheckFile = QStringLiteral("api/glimra/fileShare/checkFile");
inline const QString kDownload = QStringLiteral("api/glimra/fileShare/download");

// Bytes that differ from chunk to chunk, the same for the same seed.
QByteArray patternBytes(qint64 size, quint32 seed);
// `plain` in gzip's framing, as a server would code an answer.
QByteArray gzipped(const QByteArray &plain);

// The whole file of `absPath` as the engine would hand it over.
std::shared_ptr<QVDownLoadFileModel> remoteFile(const QString &absPath, qint64 size, const QString &name = {});

// Entries of `folder` (hidden ones too), sorted.
QStringList folderEntries(const QString &folder);
QByteArray readFile(const QString &path);

// The probe's answers, in order; once used up, the last one repeats. Every
// call is recorded.
struct ScriptedProbe {
    QList<bool> answers{true};
    QList<qint64> types;
    int delayMs = 5;

    QVTransferNetworkCheck::Probe probe();
};

// What the engine told its page.
struct EngineRecord {
    QList<QVDownloadEngine::Alert> alerts;
    QList<int> buttonStyles;
    int listChanges = 0;
    QList<float> progress;

    void attach(QVDownloadEngine *engine);
};

// Holds a worker thread at a job of its own until released (or destroyed),
// so that a test can show which work waits for that thread.
class WorkerGate {
public:
    explicit WorkerGate(Support::SerialWorker *worker);
    ~WorkerGate() { release(); }
    WorkerGate(const WorkerGate &) = delete;
    WorkerGate &operator=(const WorkerGate &) = delete;

    void release();

private:
    struct State {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

// A downloader against a fake file-share server on a loopback address of the
// test's own, downloading into a fresh folder.
class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes the engine (after the test has adjusted `services`).
    QVDownloadEngine *makeEngine();
    // A file served at `absPath` and its model.
    std::shared_ptr<QVDownLoadFileModel> serve(const QString &absPath, const QByteArray &bytes,
                                               const QString &name = {});
    // Hands the files over and starts.
    void start(const QList<std::shared_ptr<QVDownLoadFileModel>> &files);
    // Waits until the work queue is empty and nothing is in flight.
    bool waitUntilIdle(int timeoutMs = 20000);
    // Chunk numbers of the requests to `path`, in order.
    QList<qint64> chunkNumbers(const QString &path) const;
    QString folder() const { return m_folder.path(); }

    FakeServers::FakeFileShareServer server;
    ScriptedProbe probe;
    QVDownloadEngineServices services;
    std::unique_ptr<QVDownloadEngine> engine;
    EngineRecord record;

private:
    QTemporaryDir m_folder;
};

} // namespace TransferTest
