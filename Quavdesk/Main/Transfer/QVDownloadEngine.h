#pragma once

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

#include "Main/Model/QVDownLoadFileModel.h"
#include "QVDownloadChunk.h"
#include "QVDownloadFile.h"
#include "QVMd5.h"
#include "QVTransferNetworkCheck.h"
#include "QVTransferQueue.h"

class QNetworkAccessManager;
class QNetworkReply;
class QVGetDownLoadCheckFileApi;
class QVBufferPool;
namespace Support {
class SerialWorker;
}

// What the downloader waits for. Production values are these.
struct QVDownloadTimings {
    // The check before each chunk.
    std::chrono::milliseconds checkFileTimeout{8000};
    // A chunk's request: idle time, restarted by each byte.
    std::chrono::milliseconds chunkTimeout{120000};
    // From a check without answer to the connection probe.
    std::chrono::milliseconds networkCheckDelay{100};
};

// Bounds that keep a misbehaving server from holding a file for ever.
struct QVDownloadLimits {
    // Unusable answers in a row for one chunk (wrong MD5, bad headers, a
    // body of the wrong length) before the file fails.
    int chunkAttempts = 3;
    // Checks without answer while the probe still reaches the server, in a
    // row, retried before the file fails.
    int noAnswerRetries = 3;
    qint64 maxChunkBytes = QVDownloadChunk::kDefaultMaxChunkBytes;
    // Final names tried ("name", "name(1)", ...) before the move fails.
    int finalNameTries = 10000;
    // What a chunk in flight may hold in memory: the network thread reads
    // ahead this far, and this many buffers of this size carry the bytes to
    // the disk; the server waits while all are busy.
    qint64 readAheadBytes = 256 * 1024;
    int buffers = 4;
    qint64 bufferBytes = 512 * 1024;
};

// What the downloader reads from outside. linuxDefaults() gives the share
// manager's file-share address, the shared tools' folder password and
// download folder, the process's connection probe, the system clock and the
// reachability flag; tests hand in their own.
struct QVDownloadEngineServices {
    std::function<QString()> fileShareIp;
    std::function<QString()> password;
    // The download folder's absolute path; empty when none is set.
    std::function<QString()> downloadFolder;
    QVTransferNetworkCheck::Probe probe;
    // Milliseconds since 1970.
    std::function<qint64()> nowMs;
    // The system says the network is there.
    std::function<bool()> networkReachable;
    QVDownloadTimings timings;
    QVDownloadLimits limits;

    static QVDownloadEngineServices linuxDefaults();
};

// The download queue's logic, without widgets: the files handed over from
// the browser download one after the other, chunk by chunk. Before each
// chunk the server is asked whether it can serve it (checkFile); the chunk's
// MD5 is checked against the one the server sends, its bytes go to a
// temporary file named by the milliseconds since 1970 in the download folder,
// and the file gets its own name (or "name(n).ext") once every chunk is in.
// A failed file keeps its verified chunks and resumes at the first
// unverified one when continued.
//
// One chain of work at a time: each step starts the next only when it ends,
// and every answer is checked against the step it belongs to, so answers of
// cancelled or deleted work change nothing. Lives on the main thread; file
// writes run on a worker thread of its own, in order.
class QVDownloadEngine : public QObject
{
    Q_OBJECT
public:
    using File = std::shared_ptr<QVDownLoadFileModel>;
    using Status = QVDownLoadFileModel::Status;

    enum class Alert {
        // 230 to a check.
        Busy,
        // 220 to a check.
        Refused,
        // The probe no longer reaches the server.
        NetworkLost,
    };

    explicit QVDownloadEngine(QVDownloadEngineServices services, QObject *parent = nullptr);
    ~QVDownloadEngine() override;

    QVTransferQueue<QVDownLoadFileModel> &queue() { return m_queue; }
    const QVTransferQueue<QVDownLoadFileModel> &queue() const { return m_queue; }

    // The browser's hand-over: the files join the list and the work queue.
    void addFiles(const QList<File> &files);
    // Checks and starts the next chunk of the head of the work queue (every
    // caller passes 0); with nothing queued the page shows "done".
    void checkFileApiWithIndex(int index);

    // A failed row's continue: the file goes back to the queue and resumes
    // at its first unverified chunk.
    void singleContinueWithModel(const File &file);
    // A row's delete: stops the file's work, removes its temporary file (and
    // the finished file, while it is unchanged) and the row.
    void deleteItemWithModel(const File &file);
    // The network-lost alert's reconnect: probes again; when the server is
    // back, the files that lost the network go back to the queue.
    void networkReconnection();
    // The leave alert's stop: cancels the head's work and removes its
    // temporary file.
    void cancelHead();
    // The page is leaving: nothing more is sent, answers still on their way
    // are dropped, and the temporary files of unfinished files go (they could
    // never be resumed without the page).
    void stop();
    bool isStopped() const { return m_stopped; }

    // (verified bytes + bytes of the chunk in flight) / size, at least 0.05;
    // 0 for a file without size.
    static float progressOf(const QVDownLoadFileModel &file);
    // The folder's path joined with the file's name made safe. Offered to the
    // page; the download itself takes its name when it is moved.
    static QString creatTargetPathWithModel(const QString &folder, const QVDownLoadFileModel &file);
    // The finished file is still in the download folder (the folder button
    // reveals it, or tells the user it is gone).
    static bool finalFileExists(const File &file);

signals:
    // A file's status or text changed.
    void fileChanged(const QVDownloadEngine::File &file);
    // Bytes of a file arrived.
    void progressChanged(const QVDownloadEngine::File &file, float progress);
    // Rows were added, removed or moved.
    void listChanged();
    // 0 while work is pending ("cancel"), 1 when the queue is empty ("done").
    void transferFileBtnStyleChanged(int style);
    void alertRequested(QVDownloadEngine::Alert alert);

private:
    struct FileState {
        std::shared_ptr<QVDownloadFile> temp;
        std::optional<QVDownloadFile::Identity> finalIdentity;
        int badChunks = 0;
        int noAnswers = 0;
        // Every chunk is in; only the move to the final name is left.
        bool allVerified = false;
    };
    struct ChunkFetch {
        QNetworkReply *reply = nullptr;
        QVDownloadChunk::Header header;
        bool headerRead = false;
        // The reply has ended; its last bytes may still wait to be read.
        bool finished = false;
        bool rejected = false;
        bool cancelled = false;
        QString rejection;
        qint64 received = 0;
        QVMd5 hash;
    };

    FileState &stateOf(const File &file);
    // Ends whatever step is in flight; its answers are then dropped.
    void cancelActive();
    bool isCurrent(quint64 step, const File &file) const;

    void sendCheckFile(const File &file);
    void onCheckFileAnswer(const File &file, quint64 step, qint64 code);
    void onCheckFileFailure(const File &file, quint64 step);
    void downLoadFileWithModel(const File &file);
    void onChunkHeaders(const File &file, quint64 step);
    void onChunkData(const File &file, quint64 step);
    void onChunkFinished(const File &file, quint64 step);
    // The reply has ended and every byte of it is read: the chunk's verdict.
    void endChunk(const File &file);
    void onChunkWritten(const File &file, quint64 step, qint64 chunkSize, const QString &error);
    void rejectChunk(const QString &reason);
    void badChunk(const File &file, QString reason);
    void finishFile(const File &file);
    // Cuts the temporary file back to the verified bytes, after any write
    // still pending.
    void rollback(const File &file);
    // Forgets every chunk of the file; it starts over with a new temporary
    // file.
    void restartFile(const File &file);
    void setResultAndNext(const File &file, qint64 status);
    void failQueue(qint64 status);
    void deleteFileFormWorkSpace(const File &file);
    void reuploadBadNetworkFile();
    bool isNotConnected(int networkError) const;

    QVDownloadEngineServices m_services;
    QVTransferQueue<QVDownLoadFileModel> m_queue;
    std::unordered_map<const QVDownLoadFileModel *, FileState> m_states;
    QNetworkAccessManager *m_manager = nullptr;
    QVTransferNetworkCheck *m_networkCheck = nullptr;
    std::unique_ptr<Support::SerialWorker> m_writer;
    std::shared_ptr<QVBufferPool> m_buffers;

    // The file whose step is in flight, and the step's number; every new
    // step and every cancel takes a new number.
    File m_active;
    quint64 m_step = 0;
    std::shared_ptr<QVGetDownLoadCheckFileApi> m_checkRequest;
    std::unique_ptr<ChunkFetch> m_fetch;
    bool m_stopped = false;
};
