#include "QVUploadEngine.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QPointer>
#include <QUrl>

#include "PublicManager/QVLog.h"
#include "PublicManager/QVPingHelper.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"
#include "QVFileShareApi.h"
#include "QVHttpError.h"
#include "QVMd5.h"
#include "QVPieceSender.h"
#include "Support/SerialWorker.h"
#include "QVUploadPiece.h"
#include "TavlinLogText.h"

namespace {

void logInfo(const QString &text)
{
    QVLogInfo(QVLog::ContextDefault, text);
}

// Bytes the hash reads at a time.
constexpr qint64 kHashBlock = 1024 * 1024;

} // namespace

struct QVUploadEngine::Hashed {
    bool ok = false;
    QString md5;
    QVUploadFileModel::Snapshot snapshot;
    QString error;
};

QVUploadEngineServices QVUploadEngineServices::linuxDefaults()
{
    QVUploadEngineServices services;
    services.fileShareIp = [] { return QVShareManager::sharedShareManager()->fileShareIp(); };
    services.probe = [](qint64 type, QVTransferNetworkCheck::Verdict verdict) {
        QVPingHelper::sharedPingHelper()->pingNetworkWithType(type, std::move(verdict));
    };
    return services;
}

QVUploadEngine::QVUploadEngine(QVUploadEngineServices services, QObject *parent)
    : QObject(parent), m_services(std::move(services)),
      m_queue(&QVUploadFileModel::uploadStatus, &QVUploadFileModel::setUploadStatus, Status::Uploading, Status::Done),
      m_manager(new QNetworkAccessManager(this)),
      m_networkCheck(new QVTransferNetworkCheck(QVPingHelper::UploadCheck, m_services.probe,
                                                m_services.timings.networkCheckDelay, this)),
      m_hasher(std::make_unique<Support::SerialWorker>("upload-hash")), m_sender(new QVPieceSender(this))
{
    // A file-share server never sends the client elsewhere.
    m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_manager->setAutoDeleteReplies(false);
    connect(m_sender, &QVPieceSender::uploadProgress, this, [this](qint64 sent, qint64) {
        if (m_piece && isCurrent(m_pieceStep, m_active))
            emit progressChanged(m_active, progressOf(*m_active, sent));
    });
    connect(m_sender, &QVPieceSender::finished, this, [this] {
        const File file = m_active;
        onPieceFinished(file, m_pieceStep);
    });
}

QVUploadEngine::~QVUploadEngine()
{
    stop();
    // A hash still running sees its cancel flag and ends soon.
    m_hasher.reset();
}

QVUploadEngine::FileState &QVUploadEngine::stateOf(const File &file)
{
    return m_states[file.get()];
}

bool QVUploadEngine::isCurrent(quint64 step, const File &file) const
{
    return !m_stopped && step == m_step && file && file == m_active;
}

QList<QVUploadEngine::File> QVUploadEngine::addInitialDataWithArray(const QList<QUrl> &urls)
{
    QList<File> files;
    for (const QUrl &url : urls)
        files.append(std::make_shared<QVUploadFileModel>(QVUploadFileModel::withURL(url)));
    m_queue.addFiles(files);
    emit listChanged();
    return files;
}

void QVUploadEngine::cancelActive()
{
    ++m_step;
    if (m_hashCancel)
        m_hashCancel->store(true);
    m_hashCancel.reset();
    // The piece's connection goes with it: no more of it reaches the server.
    m_sender->abort();
    m_piece.reset();
    if (m_request) {
        // Its block runs later with the step it was sent for, long gone.
        m_request->cancel();
        m_request.reset();
    }
    m_networkCheck->cancel();
    if (m_active)
        emit loadingChanged(false);
    m_active.reset();
}

// ---------------------------------------------------------------------------
// The chain of one file: checks, hash, offset, piece, next

void QVUploadEngine::getFileStartBytesWithIndex(int index)
{
    if (m_stopped)
        return;
    // Starting over from the head: whatever was in flight goes, so that there
    // is never a second chain of work.
    if (m_active || m_networkCheck->isPending())
        cancelActive();
    File file;
    for (;;) {
        file = m_queue.workQueue().objectAtIndex(index);
        if (!file) {
            emit listChanged();
            return;
        }
        if (passesLocalChecks(file))
            break;
    }

    ++m_step;
    m_active = file;
    const quint64 step = m_step;
    emit loadingChanged(true);
    if (!file->fileMd5().isEmpty()) {
        getFileStartBytesWithModel(file);
        return;
    }
    auto cancel = std::make_shared<std::atomic_bool>(false);
    m_hashCancel = cancel;
    const QString path = file->fileURL().toLocalFile();
    // The engine joins the worker before it goes, so `this` outlives the job;
    // a result queued to an engine that has gone is dropped with it.
    m_hasher->post([this, file, step, path, cancel] {
        Hashed result;
        const auto before = QVUploadFileModel::snapshotOf(path);
        QFile source(path);
        if (!before || !source.open(QIODevice::ReadOnly)) {
            result.error = QStringLiteral("cannot open %1").arg(path);
        } else {
            QVMd5 md5;
            QByteArray block(kHashBlock, Qt::Uninitialized);
            qint64 total = 0;
            for (;;) {
                if (cancel->load())
                    return;
                const qint64 read = source.read(block.data(), block.size());
                if (read < 0) {
                    result.error = source.errorString();
                    break;
                }
                if (read == 0)
                    break;
                md5.addData(QByteArrayView(block.constData(), read));
                total += read;
            }
            const auto after = QVUploadFileModel::snapshotOf(path);
            if (result.error.isEmpty() && (!after || *after != *before || total != before->size))
                result.error = QStringLiteral("%1 changed while it was read").arg(path);
            if (result.error.isEmpty()) {
                result.ok = true;
                result.md5 = QString::fromLatin1(md5.hexResult());
                result.snapshot = *before;
            }
        }
        QMetaObject::invokeMethod(
            this, [this, file, step, result] { onHashed(file, step, result); }, Qt::QueuedConnection);
    });
}

bool QVUploadEngine::passesLocalChecks(const File &file)
{
    const QVUploadLimits &limits = m_services.limits;
    if (file->fileSize().isEmpty()) {
        missing(file, true);
        return false;
    }
    if (file->fileSizeValue() > limits.maxFileBytes) {
        refreshfileUploadArray(file, Status::TooLarge, QVFileShare::Success, false);
        return false;
    }
    if (file->fileNameLength() > limits.maxNameLength) {
        refreshfileUploadArray(file, Status::NameTooLong, QVFileShare::Success, false);
        return false;
    }
    if (file->fileHasBeenMoved()) {
        missing(file, true);
        return false;
    }
    return true;
}

bool QVUploadEngine::stillMatchesSnapshot(const File &file) const
{
    const auto now = QVUploadFileModel::snapshotOf(file->fileURL().toLocalFile());
    return now && file->snapshot() && *now == *file->snapshot();
}

void QVUploadEngine::missing(const File &file, bool tip)
{
    if (tip)
        emit fileDoesNotExist();
    // What the MD5 was taken of is gone: a continue hashes the file anew.
    file->setFileMd5(QString());
    file->setSnapshot(std::nullopt);
    refreshfileUploadArray(file, Status::Missing, QVFileShare::Success, false);
}

void QVUploadEngine::onHashed(const File &file, quint64 step, const Hashed &result)
{
    if (!isCurrent(step, file))
        return;
    m_hashCancel.reset();
    if (!result.ok) {
        logInfo(QStringLiteral("upload: %1").arg(result.error));
        emit loadingChanged(false);
        m_active.reset();
        missing(file, true);
        getFileStartBytesWithIndex(0);
        return;
    }
    // The size the server is told is the one the MD5 was taken of.
    file->setFileMd5(result.md5);
    file->setSnapshot(result.snapshot);
    file->setFileSize(QString::number(result.snapshot.size));
    if (result.snapshot.size > m_services.limits.maxFileBytes) {
        emit loadingChanged(false);
        m_active.reset();
        refreshfileUploadArray(file, Status::TooLarge, QVFileShare::Success, false);
        getFileStartBytesWithIndex(0);
        return;
    }
    getFileStartBytesWithModel(file);
}

void QVUploadEngine::getFileStartBytesWithModel(const File &file)
{
    if (file->fileHasBeenMoved() || !stillMatchesSnapshot(file)) {
        emit loadingChanged(false);
        m_active.reset();
        missing(file, file->fileHasBeenMoved());
        getFileStartBytesWithIndex(0);
        return;
    }
    ++m_step;
    m_active = file;
    const quint64 step = m_step;
    auto request = std::make_shared<QVGetFileShareStartBytesApi>(
        m_services.fileShareIp ? m_services.fileShareIp() : QString(), file->fileURL(), file->fileSize(),
        file->fileMd5());
    request->setManager(m_manager);
    QVHttpTimings timings = request->timings();
    timings.requestTimeout = m_services.timings.requestTimeout;
    request->setTimings(timings);
    m_request = request;
    QPointer<QVUploadEngine> self(this);
    request->startGlimraHubRequestWithSuccess(
        [self, file, step](const QVHttpTask &task, const QVHttpBaseResponse &response) {
            if (!self || !self->isCurrent(step, file))
                return;
            // An HTTP failure status is no answer of the file-share API.
            if (task.statusCode < 200 || task.statusCode > 299) {
                logInfo(QStringLiteral("getFileStartBytesWithIndex error = HTTP %1").arg(task.statusCode));
                self->m_request.reset();
                emit self->loadingChanged(false);
                self->checkNetWorkStatus(file);
                return;
            }
            self->onStartBytes(file, step, response.code, response.byteStart);
        },
        [self, file, step](const QVHttpTask &, const TavlinError &error) {
            if (!self || QVHttpError::isCancel(error) || !self->isCurrent(step, file))
                return;
            logInfo(QStringLiteral("getFileStartBytesWithIndex error = %1").arg(escapedForLog(error.description)));
            self->m_request.reset();
            emit self->loadingChanged(false);
            self->checkNetWorkStatus(file);
        });
}

void QVUploadEngine::onStartBytes(const File &file, quint64 step, qint64 code, std::optional<qint64> byteStart)
{
    if (!isCurrent(step, file))
        return;
    m_request.reset();
    emit loadingChanged(false);
    // (A getStartBytes answer alone does not end a run of pieces without
    // answer: a server may answer it and fail every piece.)
    FileState &state = stateOf(file);
    switch (code) {
    case QVFileShare::Success:
        break;
    case QVFileShare::NoSpace:
    case QVFileShare::Refused:
    case QVFileShare::Busy:
        failWithCode(file, code);
        return;
    default:
        failWithCode(file, QVUploadFileModel::OtherFailureCode);
        return;
    }
    // The offset must lie inside the file the MD5 was taken of.
    if (!byteStart || *byteStart < 0 || *byteStart > file->fileSizeValue()) {
        logInfo(QStringLiteral("upload: the server names offset %1 of a %2-byte file")
                    .arg(byteStart ? QString::number(*byteStart) : QStringLiteral("none"))
                    .arg(file->fileSizeValue()));
        failWithCode(file, QVUploadFileModel::OtherFailureCode);
        return;
    }
    // After a 206 the server must have moved on; a server that keeps asking
    // for the same bytes gets a few rounds, not for ever.
    if (state.afterPartial) {
        state.afterPartial = false;
        if (*byteStart <= state.lastPieceStart && file->fileSizeValue() > 0) {
            if (++state.stalled >= m_services.limits.stalledRounds) {
                logInfo(QStringLiteral("upload: the server stays at offset %1").arg(*byteStart));
                failWithCode(file, QVUploadFileModel::OtherFailureCode);
                return;
            }
        } else {
            state.stalled = 0;
        }
    }
    file->setStartBytes(QString::number(*byteStart));
    refreshfileUploadArray(file, Status::Uploading, QVFileShare::Success, false);
    uploadFileWithModel(file);
}

void QVUploadEngine::uploadFileWithModel(const File &file)
{
    if (file->fileHasBeenMoved() || !stillMatchesSnapshot(file)) {
        m_active.reset();
        missing(file, file->fileHasBeenMoved());
        getFileStartBytesWithIndex(0);
        return;
    }
    ++m_step;
    m_active = file;
    const quint64 step = m_step;
    const qint64 offset = file->startBytesValue();
    const qint64 length = qMin(m_services.limits.pieceBytes, file->fileSizeValue() - offset);
    auto *piece = new QVUploadPiece(file->fileURL().toLocalFile(), offset, length);
    if (!piece->openPiece()) {
        delete piece;
        m_active.reset();
        missing(file, false);
        getFileStartBytesWithIndex(0);
        return;
    }
    stateOf(file).lastPieceStart = offset;

    const QString base = m_services.fileShareIp ? m_services.fileShareIp() : QString();
    // In this order, as the server's peers send them.
    const QVPieceSender::HeaderList headers{
        {QVFileShare::kContentTypeHeader.toLatin1(), QVFileShare::kFormUrlEncoded.toLatin1()},
        {QVFileShare::kFileMd5Header.toLatin1(), file->fileMd5().toLatin1()},
        {QVFileShare::kFileSizeHeader.toLatin1(), file->fileSize().toLatin1()},
        {QVFileShare::kFileNameHeader.toLatin1(), QVPublicTools::getLocalFileName(file->fileURL()).toLatin1()},
        {QVFileShare::kDeviceIdHeader.toLatin1(), QVPublicTools::sharedPublicTools()->deviceUDID().toUtf8()},
        {QVFileShare::kBytesStartHeader.toLatin1(), file->startBytes().toLatin1()},
    };
    m_piece.reset(piece);
    m_pieceStep = step;
    m_sender->post(QUrl(QStringLiteral("%1/%2").arg(base, QVFileShare::kUploadFilePath)), headers, piece,
                   m_services.timings.pieceTimeout);
}

void QVUploadEngine::onPieceFinished(const File &file, quint64 step)
{
    if (!m_piece || !isCurrent(step, file))
        return;
    const bool shortRead = m_piece->shortRead();
    m_piece.reset();
    const QVPieceSender::Outcome &outcome = m_sender->outcome();

    if (shortRead) {
        // The file shrank under the piece: nothing of it may count.
        logInfo(QStringLiteral("uploadFileWithFileURL error = %1 changed while it was sent")
                    .arg(file->fileURL().toLocalFile()));
        m_active.reset();
        missing(file, false);
        getFileStartBytesWithIndex(0);
        return;
    }
    const int httpStatus = outcome.httpStatus;
    if (!outcome.error.isEmpty()) {
        logInfo(QStringLiteral("uploadFileWithFileURL error = %1").arg(outcome.error));
        checkNetWorkStatus(file);
        return;
    }
    if (httpStatus < 200 || httpStatus > 299) {
        logInfo(QStringLiteral("uploadFileWithFileURL error = HTTP %1").arg(httpStatus));
        checkNetWorkStatus(file);
        return;
    }
    const QByteArray body = outcome.body;
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject()) {
        // Neither error nor a readable answer: the file cannot be said to be
        // anywhere, so it fails rather than waiting for ever.
        logInfo(QStringLiteral("uploadFileWithModel %1").arg(escapedForLog(body, 200)));
        failWithCode(file, QVUploadFileModel::OtherFailureCode);
        return;
    }
    logInfo(QStringLiteral("uploadFileWithModel %1").arg(escapedForLog(body, 500)));
    const QVHttpBaseResponse response = QVHttpBaseResponse::fromJsonObject(document.object());
    FileState &state = stateOf(file);
    state.noAnswers = 0;
    switch (response.code) {
    case QVFileShare::Success:
        emit progressChanged(file, 1.0f);
        m_active.reset();
        refreshfileUploadArray(file, Status::Done, QVFileShare::Success, true);
        return;
    case QVFileShare::PartialContent:
        // The server names the next offset; the client never computes it.
        state.afterPartial = true;
        getFileStartBytesWithModel(file);
        return;
    case QVFileShare::NoSpace:
    case QVFileShare::Refused:
    case QVFileShare::Busy:
        failWithCode(file, response.code);
        return;
    default:
        failWithCode(file, QVUploadFileModel::OtherFailureCode);
        return;
    }
}

void QVUploadEngine::failWithCode(const File &file, qint64 code)
{
    m_active.reset();
    refreshfileUploadArray(file, Status::Failed, code, true);
    switch (code) {
    case QVFileShare::NoSpace:
        emit alertRequested(Alert::NoSpace);
        break;
    case QVFileShare::Refused:
        emit alertRequested(Alert::Refused);
        break;
    case QVFileShare::Busy:
        emit alertRequested(Alert::Busy);
        break;
    default:
        break;
    }
}

void QVUploadEngine::refreshfileUploadArray(const File &file, qint64 status, qint64 code, bool needUploadNext)
{
    file->setRequestCode(code);
    m_queue.setResult(file, status);
    emit fileChanged(file);
    emit listChanged();
    if (needUploadNext)
        getFileStartBytesWithIndex(0);
}

void QVUploadEngine::checkNetWorkStatus(const File &file)
{
    m_active = file;
    ++m_step;
    const quint64 step = m_step;
    QPointer<QVUploadEngine> self(this);
    m_networkCheck->check([self, file, step](bool reachable) {
        if (!self || !self->isCurrent(step, file))
            return;
        if (reachable) {
            // The server takes connections yet did not answer: a few more
            // tries from the server's offset, then the file fails.
            if (++self->stateOf(file).noAnswers > self->m_services.limits.noAnswerRetries) {
                self->stateOf(file).noAnswers = 0;
                self->failWithCode(file, QVUploadFileModel::OtherFailureCode);
                return;
            }
            self->m_active.reset();
            self->getFileStartBytesWithIndex(0);
            return;
        }
        self->m_active.reset();
        const QList<File> queued = self->m_queue.workQueue().mutableArray();
        for (const File &each : queued)
            each->setRequestCode(QVFileShare::Success);
        self->m_queue.moveQueueToFail(Status::NetworkLost);
        for (const File &each : queued)
            emit self->fileChanged(each);
        emit self->listChanged();
        emit self->alertRequested(Alert::NetworkLost);
    });
}

// ---------------------------------------------------------------------------
// The user's actions

void QVUploadEngine::singleContinueWithModel(const File &file)
{
    if (m_stopped || !file)
        return;
    const bool startNow = m_queue.continueFile(file, Status::Waiting);
    if (!m_queue.isQueued(file))
        return;
    file->setRequestCode(QVFileShare::Success);
    FileState &state = stateOf(file);
    state.noAnswers = 0;
    state.stalled = 0;
    state.afterPartial = false;
    emit fileChanged(file);
    emit listChanged();
    if (startNow && !m_active)
        getFileStartBytesWithIndex(0);
}

void QVUploadEngine::deleteFileFromServer(const File &file)
{
    if (m_stopped || !file || !m_queue.contains(file))
        return;
    const qint64 status = file->uploadStatus();
    if (status == Status::Done) {
        emit deleteFailed();
        return;
    }
    if (status == Status::TooLarge || status == Status::NameTooLong || status == Status::FormatNotSupported
        || file->startBytes() == QStringLiteral("-1") || file->fileMd5().isEmpty()) {
        deleteModel(file);
        return;
    }
    emit loadingChanged(true);
    const quint64 deleteStep = ++m_deleteStep;
    QPointer<QVUploadEngine> self(this);
    m_services.probe(QVPingHelper::UploadDelete, [self, file, deleteStep](bool reachable) {
        if (!self || self->m_stopped || deleteStep != self->m_deleteStep || !self->m_queue.contains(file))
            return;
        if (!reachable) {
            emit self->loadingChanged(false);
            emit self->alertRequested(Alert::NetworkLost);
            return;
        }
        self->sendDeleteTempFile(file);
    });
}

void QVUploadEngine::sendDeleteTempFile(const File &file)
{
    // A piece still on its way would make the copy anew after the server
    // dropped it: the file's own work stops first.
    const bool wasActive = file == m_active;
    if (wasActive)
        cancelActive();
    const quint64 deleteStep = m_deleteStep;
    auto request = std::make_shared<QVGetDeleteTempFileApi>(
        m_services.fileShareIp ? m_services.fileShareIp() : QString(), file->sourceFileURL(), file->fileMd5());
    request->setManager(m_manager);
    QVHttpTimings timings = request->timings();
    timings.requestTimeout = m_services.timings.requestTimeout;
    request->setTimings(timings);
    m_deleteRequest = request;
    QPointer<QVUploadEngine> self(this);
    auto resume = [self] {
        // The file kept its row: the queue's head goes on where it was.
        if (self && !self->m_active && !self->m_stopped && !self->m_queue.workQueue().isEmpty())
            self->getFileStartBytesWithIndex(0);
    };
    request->startGlimraHubRequestWithSuccess(
        [self, file, deleteStep, resume](const QVHttpTask &, const QVHttpBaseResponse &response) {
            if (!self || self->m_stopped || deleteStep != self->m_deleteStep)
                return;
            self->m_deleteRequest.reset();
            emit self->loadingChanged(false);
            logInfo(QStringLiteral("deleteFileFromServer response = %1").arg(response.code));
            switch (response.code) {
            case QVFileShare::Success:
                self->deleteModel(file);
                resume();
                return;
            case QVFileShare::Refused:
                emit self->alertRequested(Alert::Refused);
                break;
            case QVFileShare::Busy:
                emit self->alertRequested(Alert::Busy);
                break;
            default:
                emit self->deleteFailed();
                break;
            }
            resume();
        },
        [self, deleteStep, resume](const QVHttpTask &, const TavlinError &error) {
            if (!self || self->m_stopped || deleteStep != self->m_deleteStep || QVHttpError::isCancel(error))
                return;
            self->m_deleteRequest.reset();
            emit self->loadingChanged(false);
            emit self->deleteFailed();
            logInfo(QStringLiteral("deleteFileFromServer error = %1").arg(escapedForLog(error.description)));
            resume();
        });
}

void QVUploadEngine::deleteModel(const File &file)
{
    if (!file || !m_queue.contains(file))
        return;
    const bool wasActive = file == m_active;
    if (wasActive)
        cancelActive();
    m_queue.removeFile(file);
    m_states.erase(file.get());
    emit listChanged();
    if (wasActive && !m_stopped)
        getFileStartBytesWithIndex(0);
}

void QVUploadEngine::networkReconnection()
{
    if (m_stopped)
        return;
    emit loadingChanged(true);
    QPointer<QVUploadEngine> self(this);
    m_networkCheck->probeNow([self](bool reachable) {
        if (!self || self->m_stopped)
            return;
        emit self->loadingChanged(false);
        if (reachable)
            self->reuploadBadNetworkFile();
        else
            emit self->alertRequested(Alert::NetworkLost);
    });
}

void QVUploadEngine::reuploadBadNetworkFile()
{
    const QList<File> moved = m_queue.moveFailToQueue([](const QVUploadFileModel &) { return true; },
                                                      [](QVUploadFileModel &file) {
                                                          file.setUploadStatus(Status::Waiting);
                                                          file.setRequestCode(QVFileShare::Success);
                                                      });
    for (const File &file : moved) {
        FileState &state = stateOf(file);
        state.noAnswers = 0;
        state.stalled = 0;
        state.afterPartial = false;
        emit fileChanged(file);
    }
    emit listChanged();
    if (!m_active)
        getFileStartBytesWithIndex(0);
}

void QVUploadEngine::cancelCurrentTask()
{
    cancelActive();
}

void QVUploadEngine::stop()
{
    if (m_stopped)
        return;
    cancelActive();
    ++m_deleteStep;
    if (m_deleteRequest) {
        m_deleteRequest->cancel();
        m_deleteRequest.reset();
    }
    m_stopped = true;
}

int QVUploadEngine::getCurrentUploadIndex() const
{
    if (!m_active)
        return 0;
    const qsizetype index = m_queue.fileNormalArray().indexOfObject(m_active);
    return index < 0 ? 0 : int(index);
}

float QVUploadEngine::progressOf(const QVUploadFileModel &file, qint64 sentOfPiece)
{
    const qint64 size = file.fileSizeValue();
    if (size <= 0)
        return 1.0f;
    const float progress = float(double(sentOfPiece + qMax<qint64>(0, file.startBytesValue())) / double(size));
    return qBound(0.05f, progress, 1.0f);
}
