#pragma once

#include <QObject>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <unordered_map>

#include "Main/Model/QVUploadFileModel.h"
#include "QVTransferNetworkCheck.h"
#include "QVTransferQueue.h"

class QNetworkAccessManager;
class QVHttpBaseRequest;
class QVPieceSender;
namespace Support {
class SerialWorker;
}
class QVUploadPiece;

// What the uploader waits for. Production values are these.
struct QVUploadTimings {
    // getStartBytes and deleteTempFile.
    std::chrono::milliseconds requestTimeout{8000};
    // One piece's POST: idle time, restarted by each byte.
    std::chrono::milliseconds pieceTimeout{90000};
    // From a request without answer to the connection probe.
    std::chrono::milliseconds networkCheckDelay{100};
};

// The local limits and the bounds that keep a misbehaving server from holding
// a file for ever.
struct QVUploadLimits {
    qint64 pieceBytes = 104857600;
    qint64 maxFileBytes = 4000000000;
    // Characters of the Base64 file name.
    quint64 maxNameLength = 256;
    // Requests without answer while the probe still reaches the server, in a
    // row, retried before the file fails.
    int noAnswerRetries = 3;
    // Offsets after a 206 that do not move past the piece before, in a row,
    // before the file fails.
    int stalledRounds = 3;
};

// What the uploader reads from outside. linuxDefaults() gives the share
// manager's file-share address and the process's connection probe; tests
// hand in their own. The Device-ID is this installation's identifier from
// the shared tools.
struct QVUploadEngineServices {
    std::function<QString()> fileShareIp;
    QVTransferNetworkCheck::Probe probe;
    QVUploadTimings timings;
    QVUploadLimits limits;

    static QVUploadEngineServices linuxDefaults();
};

// The upload queue's logic, without widgets. Each file is checked locally
// (size, name length, presence), hashed once on a worker thread, and then
// sent in pieces that the server drives: getStartBytes names the offset it
// wants, a POST carries up to one piece from there (read from the file as it
// goes out), and the answer says 206 (ask again) or 200 (whole). A file that
// failed resumes at the server's offset, in this process or the next.
//
// One chain of work at a time; every answer is checked against the step and
// the file it was sent for, so answers of cancelled or deleted work change
// nothing, and nothing is sent after stop(). Lives on the main thread.
class QVUploadEngine : public QObject
{
    Q_OBJECT
public:
    using File = std::shared_ptr<QVUploadFileModel>;
    using Status = QVUploadFileModel::Status;

    enum class Alert {
        // 210.
        NoSpace,
        // 220.
        Refused,
        // 230.
        Busy,
        // The probe no longer reaches the server.
        NetworkLost,
    };

    explicit QVUploadEngine(QVUploadEngineServices services, QObject *parent = nullptr);
    ~QVUploadEngine() override;

    QVTransferQueue<QVUploadFileModel> &queue() { return m_queue; }
    const QVTransferQueue<QVUploadFileModel> &queue() const { return m_queue; }

    // New local files join the list and the work queue (waiting, code 200,
    // size as it is now, no offset). Answers their models.
    QList<File> addInitialDataWithArray(const QList<QUrl> &urls);
    // Starts the head of the work queue (every caller passes 0): files that
    // fail the local checks are settled without a request.
    void getFileStartBytesWithIndex(int index);

    // A failed row's continue: the file goes back to the queue and resumes
    // at the server's offset.
    void singleContinueWithModel(const File &file);
    // A row's delete: a done file stays (the page shows a tip); a file the
    // server never saw goes at once; otherwise, once the probe reaches the
    // server, the server drops its partial copy and the row goes.
    void deleteFileFromServer(const File &file);
    // The row goes; when it was in transfer the next file starts.
    void deleteModel(const File &file);
    // The network-lost alert's reconnect: probes again; when the server is
    // back, every failed file goes back to the queue.
    void networkReconnection();
    // The leave alert's stop: the piece in flight is cancelled.
    void cancelCurrentTask();
    // The page is leaving: nothing more is sent and answers on their way are
    // dropped.
    void stop();
    bool isStopped() const { return m_stopped; }

    // The file whose work is in flight, if any.
    File currentFile() const { return m_active; }
    // The list index of the file in transfer; 0 when none.
    int getCurrentUploadIndex() const;

    // (bytes sent of the piece + offset) / size, at least 0.05; 1 for an
    // empty file.
    static float progressOf(const QVUploadFileModel &file, qint64 sentOfPiece);

signals:
    // A file's status changed.
    void fileChanged(const QVUploadEngine::File &file);
    void progressChanged(const QVUploadEngine::File &file, float progress);
    // Rows were added or removed.
    void listChanged();
    // Show (or hide) the page's loading view.
    void loadingChanged(bool shown);
    void alertRequested(QVUploadEngine::Alert alert);
    // A file is gone or unreadable (the page shows the tip).
    void fileDoesNotExist();
    // A done file cannot be deleted, or the server did not drop a copy.
    void deleteFailed();

private:
    struct FileState {
        int noAnswers = 0;
        int stalled = 0;
        // Offset of the last piece sent; -1 before one.
        qint64 lastPieceStart = -1;
        // The next getStartBytes answers a 206.
        bool afterPartial = false;
    };
    struct Hashed;

    FileState &stateOf(const File &file);
    bool isCurrent(quint64 step, const File &file) const;
    void cancelActive();
    // The local checks; false (and the file settled) when one fails.
    bool passesLocalChecks(const File &file);
    // The file still is what its MD5 was taken of.
    bool stillMatchesSnapshot(const File &file) const;

    void onHashed(const File &file, quint64 step, const Hashed &result);
    void getFileStartBytesWithModel(const File &file);
    void onStartBytes(const File &file, quint64 step, qint64 code, std::optional<qint64> byteStart);
    void uploadFileWithModel(const File &file);
    void onPieceFinished(const File &file, quint64 step);
    void checkNetWorkStatus(const File &file);
    void missing(const File &file, bool tip);
    void refreshfileUploadArray(const File &file, qint64 status, qint64 code, bool needUploadNext);
    void failWithCode(const File &file, qint64 code);
    void reuploadBadNetworkFile();
    void sendDeleteTempFile(const File &file);

    QVUploadEngineServices m_services;
    QVTransferQueue<QVUploadFileModel> m_queue;
    std::unordered_map<const QVUploadFileModel *, FileState> m_states;
    QNetworkAccessManager *m_manager = nullptr;
    QVTransferNetworkCheck *m_networkCheck = nullptr;
    std::unique_ptr<Support::SerialWorker> m_hasher;

    File m_active;
    quint64 m_step = 0;
    std::shared_ptr<std::atomic_bool> m_hashCancel;
    std::shared_ptr<QVHttpBaseRequest> m_request;
    QVPieceSender *m_sender = nullptr;
    // The body of the piece in flight, and the step it was sent in.
    std::unique_ptr<QVUploadPiece> m_piece;
    quint64 m_pieceStep = 0;
    // Deletes waiting for the probe or the server; each has its own number.
    quint64 m_deleteStep = 0;
    std::shared_ptr<QVHttpBaseRequest> m_deleteRequest;
    bool m_stopped = false;
};
