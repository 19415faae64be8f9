#include "QVDownloadEngine.h"

#include <QDateTime>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include "PublicManager/QVLog.h"
#include "PublicManager/QVPingHelper.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"
#include "QVBufferPool.h"
#include "QVDownloadNaming.h"
#include "QVFileShareApi.h"
#include "QVHttpError.h"
#include "QVNetWork.h"
#include "Support/SerialWorker.h"
#include "TavlinLogText.h"

namespace {


void logInfo(const QString &text)
{
    QVLogInfo(QVLog::ContextDefault, text);
}

} // namespace

QVDownloadEngineServices QVDownloadEngineServices::linuxDefaults()
{
    QVDownloadEngineServices services;
    services.fileShareIp = [] { return QVShareManager::sharedShareManager()->fileShareIp(); };
    services.password = [] { return QVPublicTools::sharedPublicTools()->downLoadFilePassWord(); };
    services.downloadFolder = [] {
        return QVPublicTools::sharedPublicTools()->getDownLoadFilePathWithBookMark().toLocalFile();
    };
    services.probe = [](qint64 type, QVTransferNetworkCheck::Verdict verdict) {
        QVPingHelper::sharedPingHelper()->pingNetworkWithType(type, std::move(verdict));
    };
    services.nowMs = [] { return QDateTime::currentMSecsSinceEpoch(); };
    services.networkReachable = [] { return QVNetWork::shareNetWork()->isConnect(); };
    return services;
}

QVDownloadEngine::QVDownloadEngine(QVDownloadEngineServices services, QObject *parent)
    : QObject(parent), m_services(std::move(services)),
      m_queue(&QVDownLoadFileModel::downLoadStatus, &QVDownLoadFileModel::setDownLoadStatus, Status::Downloading,
              Status::Done),
      m_manager(new QNetworkAccessManager(this)),
      m_networkCheck(new QVTransferNetworkCheck(QVPingHelper::DownloadCheck, m_services.probe,
                                                m_services.timings.networkCheckDelay, this)),
      m_writer(std::make_unique<Support::SerialWorker>("download-write")),
      m_buffers(std::make_shared<QVBufferPool>(qMax(1, m_services.limits.buffers),
                                               qMax<qint64>(1, m_services.limits.bufferBytes)))
{
    // A file-share server never sends the client elsewhere.
    m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_manager->setAutoDeleteReplies(false);
}

QVDownloadEngine::~QVDownloadEngine()
{
    stop();
    // Writes still queued finish before the files they use go.
    m_writer.reset();
}

QVDownloadEngine::FileState &QVDownloadEngine::stateOf(const File &file)
{
    return m_states[file.get()];
}

bool QVDownloadEngine::isCurrent(quint64 step, const File &file) const
{
    return !m_stopped && step == m_step && file && file == m_active;
}

void QVDownloadEngine::addFiles(const QList<File> &files)
{
    QList<File> fresh;
    for (const File &file : files) {
        if (file && !m_queue.contains(file) && !fresh.contains(file))
            fresh.append(file);
    }
    m_queue.addFiles(fresh);
    emit listChanged();
}

void QVDownloadEngine::cancelActive()
{
    ++m_step;
    if (m_fetch && m_fetch->reply) {
        QNetworkReply *reply = std::exchange(m_fetch->reply, nullptr);
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    m_fetch.reset();
    if (m_checkRequest) {
        // Its block runs later with the step it was sent for, long gone.
        m_checkRequest->cancel();
        m_checkRequest.reset();
    }
    m_networkCheck->cancel();
    m_active.reset();
}

// ---------------------------------------------------------------------------
// The chain of one file: check, fetch, write, next

void QVDownloadEngine::checkFileApiWithIndex(int index)
{
    if (m_stopped)
        return;
    // Starting over from the head: whatever was still in flight goes, so that
    // there is never a second chain of work.
    if (m_fetch || m_checkRequest || m_networkCheck->isPending())
        cancelActive();
    // Files with nothing to fetch are settled at once, without a request.
    for (;;) {
        const File file = m_queue.workQueue().objectAtIndex(index);
        if (!file) {
            m_active.reset();
            emit transferFileBtnStyleChanged(1);
            emit listChanged();
            return;
        }
        if (file->fileSizeValue() > 0)
            break;
        m_queue.setResult(file, Status::EmptyFile);
        emit fileChanged(file);
        emit listChanged();
    }

    const File file = m_queue.workQueue().objectAtIndex(index);
    FileState &state = stateOf(file);
    if (file->timeStamp().isEmpty()) {
        // The temporary file's name and folder are fixed once, when the file
        // first starts; a folder changed meanwhile takes the next file.
        const QString folder = m_services.downloadFolder ? m_services.downloadFolder() : QString();
        if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
            logInfo(QStringLiteral("下载失败: no download folder"));
            failQueue(Status::Failed);
            return;
        }
        file->setTimeStamp(QString::number(m_services.nowMs ? m_services.nowMs() : QDateTime::currentMSecsSinceEpoch()));
        file->setDownloadFolder(QFileInfo(folder).absoluteFilePath());
    }
    // Someone removed or replaced the temporary file while the file waited:
    // its verified chunks are gone, so it starts over.
    if (state.temp && !state.temp->isStillInPlace())
        restartFile(file);
    if (state.allVerified) {
        finishFile(file);
        return;
    }
    sendCheckFile(file);
}

void QVDownloadEngine::sendCheckFile(const File &file)
{
    ++m_step;
    m_active = file;
    file->setCurrentChunkBytes(0);
    const quint64 step = m_step;
    auto request = std::make_shared<QVGetDownLoadCheckFileApi>(
        m_services.fileShareIp ? m_services.fileShareIp() : QString(), file->absPath(), file->currentChunks(),
        m_services.password ? m_services.password() : QString());
    request->setManager(m_manager);
    QVHttpTimings timings = request->timings();
    timings.requestTimeout = m_services.timings.checkFileTimeout;
    request->setTimings(timings);
    m_checkRequest = request;
    QPointer<QVDownloadEngine> self(this);
    request->startGlimraHubRequestWithSuccess(
        [self, file, step](const QVHttpTask &, const QVHttpBaseResponse &response) {
            if (self)
                self->onCheckFileAnswer(file, step, response.code);
        },
        [self, file, step](const QVHttpTask &, const TavlinError &error) {
            if (self && !QVHttpError::isCancel(error))
                self->onCheckFileFailure(file, step);
        });
    emit transferFileBtnStyleChanged(0);
    emit listChanged();
}

void QVDownloadEngine::onCheckFileAnswer(const File &file, quint64 step, qint64 code)
{
    if (!isCurrent(step, file))
        return;
    m_checkRequest.reset();
    stateOf(file).noAnswers = 0;
    switch (code) {
    case QVFileShare::Success:
        m_queue.setResult(file, Status::Downloading);
        emit fileChanged(file);
        downLoadFileWithModel(file);
        return;
    case QVFileShare::Busy:
    case QVFileShare::Refused:
        failQueue(Status::Failed);
        emit alertRequested(code == QVFileShare::Busy ? Alert::Busy : Alert::Refused);
        return;
    case QVFileShare::NotFound:
        setResultAndNext(file, Status::NotOnDevice);
        return;
    case QVFileShare::WrongPassword:
        setResultAndNext(file, Status::WrongPassword);
        return;
    default:
        setResultAndNext(file, Status::Failed);
        return;
    }
}

void QVDownloadEngine::onCheckFileFailure(const File &file, quint64 step)
{
    if (!isCurrent(step, file))
        return;
    m_checkRequest.reset();
    ++m_step;
    const quint64 checkStep = m_step;
    m_networkCheck->check([this, file, checkStep](bool reachable) {
        if (!isCurrent(checkStep, file))
            return;
        if (!reachable) {
            m_active.reset();
            failQueue(Status::NetworkLost);
            emit alertRequested(Alert::NetworkLost);
            return;
        }
        // The server takes connections but does not answer: retried a few
        // times, then the file fails and the queue goes on.
        FileState &state = stateOf(file);
        if (++state.noAnswers > m_services.limits.noAnswerRetries) {
            state.noAnswers = 0;
            setResultAndNext(file, Status::Failed);
            return;
        }
        checkFileApiWithIndex(0);
    });
}

void QVDownloadEngine::downLoadFileWithModel(const File &file)
{
    ++m_step;
    m_active = file;
    const quint64 step = m_step;
    const QString password = m_services.password ? m_services.password() : QString();
    QString urlText = (m_services.fileShareIp ? m_services.fileShareIp() : QString()) + QLatin1Char('/')
        + QVFileShare::kDownloadPath;
    if (!password.isEmpty())
        urlText += QStringLiteral("?pwd=") + QString::fromLatin1(QUrl::toPercentEncoding(password));
    QNetworkRequest request{QUrl(urlText, QUrl::StrictMode)};
    request.setRawHeader(QVFileShare::kFilePathHeader.toLatin1(),
                         QVPublicTools::downLoadFileForBase64(file->absPath()).toLatin1());
    request.setRawHeader(QVFileShare::kChunkNumberHeader.toLatin1(), QByteArray::number(file->currentChunks()));
    request.setRawHeader(QVFileShare::kContentTypeHeader.toLatin1(), QVFileShare::kMultipartFormData.toLatin1());
    request.setRawHeader(QVFileShare::kClientApiVersionHeader.toLatin1(), QVFileShare::kClientApiVersion.toLatin1());
    request.setTransferTimeout(int(m_services.timings.chunkTimeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);

    m_fetch = std::make_unique<ChunkFetch>();
    QNetworkReply *reply = m_manager->get(request);
    reply->setReadBufferSize(m_services.limits.readAheadBytes);
    m_fetch->reply = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, file, step] { onChunkHeaders(file, step); });
    connect(reply, &QNetworkReply::readyRead, this, [this, file, step] { onChunkData(file, step); });
    connect(reply, &QNetworkReply::finished, this, [this, file, step] { onChunkFinished(file, step); });
}

void QVDownloadEngine::rejectChunk(const QString &reason)
{
    m_fetch->rejected = true;
    m_fetch->rejection = reason;
    QNetworkReply *reply = std::exchange(m_fetch->reply, nullptr);
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void QVDownloadEngine::onChunkHeaders(const File &file, quint64 step)
{
    if (!isCurrent(step, file) || !m_fetch || !m_fetch->reply || m_fetch->headerRead)
        return;
    QNetworkReply *reply = m_fetch->reply;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 0)
        return;
    QVDownloadChunk::Expectation expectation;
    expectation.chunkIndex = file->currentChunks();
    expectation.knownTotalChunks = file->totalChunks();
    expectation.verifiedBytes = file->downLoadBytes();
    expectation.fileSize = file->fileSizeValue();
    expectation.maxChunkBytes = m_services.limits.maxChunkBytes;
    QList<QPair<QByteArray, QByteArray>> headers;
    for (const auto &header : reply->rawHeaderPairs())
        headers.append({header.first, header.second});
    const QVDownloadChunk::Result result = QVDownloadChunk::readHeaders(status, headers, expectation);
    m_fetch->headerRead = true;
    if (!result.ok()) {
        rejectChunk(QVDownloadChunk::describe(result.error));
        badChunk(file, m_fetch->rejection);
        return;
    }
    m_fetch->header = result.header;
    file->setTotalChunks(result.header.totalChunks);

    FileState &state = stateOf(file);
    if (!state.temp) {
        QString error;
        std::unique_ptr<QVDownloadFile> created =
            QVDownloadFile::createExclusive(file->downloadFolder(), file->timeStamp().toLongLong(), &error);
        if (!created) {
            rejectChunk(error);
            logInfo(QStringLiteral("下载失败: %1").arg(error));
            m_fetch.reset();
            setResultAndNext(file, Status::Failed);
            return;
        }
        file->setTimeStamp(created->name());
        state.temp = std::move(created);
    }
    // The chunk goes exactly after the verified bytes, whatever an earlier
    // attempt left behind.
    const std::shared_ptr<QVDownloadFile> temp = state.temp;
    const qint64 verified = file->downLoadBytes();
    m_writer->post([temp, verified] { temp->truncate(verified); });
}

void QVDownloadEngine::onChunkData(const File &file, quint64 step)
{
    if (!isCurrent(step, file) || !m_fetch || !m_fetch->reply)
        return;
    if (!m_fetch->headerRead) {
        onChunkHeaders(file, step);
        if (!isCurrent(step, file) || !m_fetch || !m_fetch->reply || !m_fetch->headerRead)
            return;
    }
    QNetworkReply *reply = m_fetch->reply;
    const std::shared_ptr<QVDownloadFile> temp = stateOf(file).temp;
    const qint64 before = m_fetch->received;
    while (reply->bytesAvailable() > 0) {
        if (reply->bytesAvailable() > m_fetch->header.chunkSize - m_fetch->received) {
            rejectChunk(QStringLiteral("the body is longer than Current-Chunk-Size"));
            badChunk(file, m_fetch->rejection);
            return;
        }
        // While every buffer is on its way to the disk, the reply keeps the
        // rest (and the network waits): reading goes on when one is back.
        QByteArray buffer = m_buffers->take();
        if (buffer.isNull()) {
            m_buffers->notifyWhenFree([this] {
                QMetaObject::invokeMethod(this, [this] { onChunkData(m_active, m_step); }, Qt::QueuedConnection);
            });
            break;
        }
        const qint64 length = reply->read(buffer.data(), buffer.size());
        if (length <= 0) {
            m_buffers->give(std::move(buffer));
            break;
        }
        m_fetch->hash.addData(QByteArrayView(buffer.constData(), length));
        const qint64 offset = file->downLoadBytes() + m_fetch->received;
        m_writer->post([temp, offset, length, buffer = std::move(buffer), buffers = m_buffers]() mutable {
            temp->writeAt(offset, buffer.constData(), length);
            buffers->give(std::move(buffer));
        });
        m_fetch->received += length;
    }
    if (m_fetch->received != before) {
        file->setCurrentChunkBytes(m_fetch->received);
        emit progressChanged(file, progressOf(*file));
    }
    if (m_fetch->finished && reply->bytesAvailable() == 0)
        endChunk(file);
}

void QVDownloadEngine::onChunkFinished(const File &file, quint64 step)
{
    if (!isCurrent(step, file) || !m_fetch || !m_fetch->reply)
        return;
    m_fetch->finished = true;
    // A failed reply ends now; a whole one once its last bytes are read.
    if (m_fetch->reply->error() != QNetworkReply::NoError) {
        endChunk(file);
        return;
    }
    onChunkData(file, step);
    // An answer whose headers never became readable is judged at once.
    if (isCurrent(step, file) && m_fetch && m_fetch->reply && !m_fetch->headerRead)
        endChunk(file);
}

void QVDownloadEngine::endChunk(const File &file)
{
    QNetworkReply *reply = std::exchange(m_fetch->reply, nullptr);
    reply->disconnect(this);
    reply->deleteLater();
    const std::unique_ptr<ChunkFetch> fetch = std::move(m_fetch);

    const QNetworkReply::NetworkError error = reply->error();
    if (error != QNetworkReply::NoError) {
        logInfo(QStringLiteral("下载失败: %1").arg(escapedForLog(reply->errorString())));
        rollback(file);
        if (isNotConnected(error)) {
            setResultAndNext(file, Status::NetworkLost);
            return;
        }
        if (file->redownloadCount() < 1) {
            file->setRedownloadCount(file->redownloadCount() + 1);
            downLoadFileWithModel(file);
            return;
        }
        file->setRedownloadCount(0);
        setResultAndNext(file, Status::Failed);
        return;
    }
    if (!fetch->headerRead) {
        badChunk(file, QStringLiteral("an answer without chunk headers"));
        return;
    }
    if (fetch->received != fetch->header.chunkSize) {
        badChunk(file, QStringLiteral("the body ended after %1 of %2 bytes")
                           .arg(fetch->received)
                           .arg(fetch->header.chunkSize));
        return;
    }
    const QByteArray md5 = fetch->hash.hexResult();
    if (md5 != fetch->header.md5) {
        badChunk(file, QStringLiteral("chunk %1: MD5 %2 where the server says %3")
                           .arg(file->currentChunks())
                           .arg(QString::fromLatin1(md5), QString::fromLatin1(fetch->header.md5)));
        return;
    }

    // Verified: it counts once its bytes are safely written.
    ++m_step;
    const quint64 writeStep = m_step;
    const std::shared_ptr<QVDownloadFile> temp = stateOf(file).temp;
    const qint64 chunkSize = fetch->header.chunkSize;
    // The engine joins the worker before it goes, so `this` outlives the job.
    m_writer->post([this, temp, file, writeStep, chunkSize] {
        const QString writeError = temp->error();
        QMetaObject::invokeMethod(
            this, [this, file, writeStep, chunkSize, writeError] { onChunkWritten(file, writeStep, chunkSize, writeError); },
            Qt::QueuedConnection);
    });
}

void QVDownloadEngine::onChunkWritten(const File &file, quint64 step, qint64 chunkSize, const QString &error)
{
    if (!isCurrent(step, file))
        return;
    if (!error.isEmpty()) {
        logInfo(QStringLiteral("下载失败: %1").arg(error));
        rollback(file);
        setResultAndNext(file, Status::Failed);
        return;
    }
    FileState &state = stateOf(file);
    state.badChunks = 0;
    file->setDownLoadBytes(file->downLoadBytes() + chunkSize);
    file->setCurrentChunkBytes(0);
    if (file->currentChunks() < file->totalChunks() - 1) {
        file->setCurrentChunks(file->currentChunks() + 1);
        checkFileApiWithIndex(0);
        return;
    }
    file->setCurrentChunks(file->totalChunks());
    state.allVerified = true;
    finishFile(file);
}

void QVDownloadEngine::badChunk(const File &file, QString reason)
{
    logInfo(QStringLiteral("下载失败: %1").arg(reason));
    m_fetch.reset();
    rollback(file);
    FileState &state = stateOf(file);
    if (++state.badChunks >= m_services.limits.chunkAttempts) {
        state.badChunks = 0;
        setResultAndNext(file, Status::Failed);
        return;
    }
    // The chunk did not move on: the same one is checked and fetched again.
    checkFileApiWithIndex(0);
}

void QVDownloadEngine::rollback(const File &file)
{
    file->setCurrentChunkBytes(0);
    FileState &state = stateOf(file);
    if (!state.temp)
        return;
    const std::shared_ptr<QVDownloadFile> temp = state.temp;
    const qint64 verified = file->downLoadBytes();
    m_writer->post([temp, verified] { temp->truncate(verified); });
}

void QVDownloadEngine::restartFile(const File &file)
{
    FileState &state = stateOf(file);
    if (state.temp)
        state.temp->removeTemporary();
    state.temp.reset();
    state.allVerified = false;
    state.badChunks = 0;
    file->setDownLoadBytes(0);
    file->setCurrentChunkBytes(0);
    file->setCurrentChunks(0);
    file->setTotalChunks(0);
}

void QVDownloadEngine::finishFile(const File &file)
{
    m_active = file;
    FileState &state = stateOf(file);
    const QString folder = file->downloadFolder();
    if (!QFileInfo(folder).isDir()) {
        logInfo(QStringLiteral("移动失败 error = the download folder %1 is gone").arg(folder));
        failQueue(Status::Failed);
        checkFileApiWithIndex(0);
        return;
    }
    const qint64 onDisk = state.temp ? state.temp->size() : -1;
    if (onDisk != file->downLoadBytes() || file->downLoadBytes() != file->fileSizeValue()) {
        // The chunks do not make the file the listing announced (or the
        // temporary file was changed): nothing is given the file's name, and
        // a continue starts it over.
        logInfo(QStringLiteral("移动失败 error = %1 holds %2 bytes, %3 verified, %4 listed")
                    .arg(file->tmpFileURL())
                    .arg(onDisk)
                    .arg(file->downLoadBytes())
                    .arg(file->fileSizeValue()));
        restartFile(file);
        setResultAndNext(file, Status::Failed);
        return;
    }

    const QString safeName = QVDownloadNaming::safeFileName(file->name());
    const bool firstChoice = file->tmpFileName().isEmpty();
    QString lastCandidate;
    QString error;
    const std::optional<QString> finalName =
        state.temp->moveToFinalName(safeName, firstChoice, firstChoice ? 1 : 0,
                                     m_services.limits.finalNameTries, &lastCandidate, &error);
    file->setTmpFileName(lastCandidate);
    if (!finalName) {
        logInfo(QStringLiteral("移动失败 error = %1").arg(error));
        setResultAndNext(file, Status::Failed);
        return;
    }
    file->setFinalFileURL(folder + QLatin1Char('/') + *finalName);
    state.finalIdentity = state.temp->identity();
    state.temp.reset();
    state.allVerified = false;
    setResultAndNext(file, Status::Done);
}

void QVDownloadEngine::setResultAndNext(const File &file, qint64 status)
{
    if (file == m_active)
        m_active.reset();
    m_queue.setResult(file, status);
    emit fileChanged(file);
    emit listChanged();
    checkFileApiWithIndex(0);
}

void QVDownloadEngine::failQueue(qint64 status)
{
    const QList<File> queued = m_queue.workQueue().mutableArray();
    m_queue.moveQueueToFail(status);
    m_active.reset();
    for (const File &file : queued)
        emit fileChanged(file);
    emit listChanged();
}

bool QVDownloadEngine::isNotConnected(int networkError) const
{
    if (m_services.networkReachable && !m_services.networkReachable())
        return true;
    return networkError == QNetworkReply::TemporaryNetworkFailureError
        || networkError == QNetworkReply::NetworkSessionFailedError;
}

// ---------------------------------------------------------------------------
// The user's actions

void QVDownloadEngine::singleContinueWithModel(const File &file)
{
    if (m_stopped || !file)
        return;
    if (!m_queue.continueFile(file, Status::Waiting))
        return;
    FileState &state = stateOf(file);
    state.badChunks = 0;
    state.noAnswers = 0;
    emit fileChanged(file);
    emit listChanged();
    if (!m_active && m_queue.head() == file)
        checkFileApiWithIndex(0);
}

void QVDownloadEngine::deleteItemWithModel(const File &file)
{
    if (!file || !m_queue.contains(file))
        return;
    const bool wasActive = file == m_active;
    if (wasActive)
        cancelActive();
    if (file->downLoadStatus() != Status::EmptyFile)
        deleteFileFormWorkSpace(file);
    m_queue.removeFile(file);
    m_states.erase(file.get());
    emit listChanged();
    if (wasActive && !m_stopped) {
        if (m_queue.workQueue().isEmpty())
            emit transferFileBtnStyleChanged(1);
        else
            checkFileApiWithIndex(0);
    }
}

void QVDownloadEngine::deleteFileFormWorkSpace(const File &file)
{
    const auto it = m_states.find(file.get());
    if (it == m_states.end())
        return;
    if (it->second.temp)
        it->second.temp->removeTemporary();
    it->second.temp.reset();
    // The finished file goes only while it is the file this page made; one
    // the user has since replaced or changed stays.
    if (!file->finalFileURL().isEmpty() && it->second.finalIdentity)
        QVDownloadFiles::removeIfUnchanged(file->finalFileURL(), *it->second.finalIdentity);
}

void QVDownloadEngine::networkReconnection()
{
    if (m_stopped)
        return;
    QPointer<QVDownloadEngine> self(this);
    m_networkCheck->probeNow([self](bool reachable) {
        if (!self || self->m_stopped)
            return;
        if (reachable)
            self->reuploadBadNetworkFile();
        else
            emit self->alertRequested(Alert::NetworkLost);
    });
}

void QVDownloadEngine::reuploadBadNetworkFile()
{
    const QList<File> moved = m_queue.moveFailToQueue(Status::NetworkLost, Status::Waiting);
    if (moved.isEmpty())
        return;
    for (const File &file : moved) {
        stateOf(file).noAnswers = 0;
        emit fileChanged(file);
    }
    emit listChanged();
    if (!m_active)
        checkFileApiWithIndex(0);
}

void QVDownloadEngine::cancelHead()
{
    const File head = m_queue.head();
    if (!head)
        return;
    cancelActive();
    deleteFileFormWorkSpace(head);
}

void QVDownloadEngine::stop()
{
    if (m_stopped)
        return;
    cancelActive();
    m_stopped = true;
    for (const File &file : m_queue.fileNormalArray().mutableArray()) {
        if (file->downLoadStatus() == Status::Done)
            continue;
        const auto it = m_states.find(file.get());
        if (it != m_states.end() && it->second.temp) {
            it->second.temp->removeTemporary();
            it->second.temp.reset();
        }
    }
}

float QVDownloadEngine::progressOf(const QVDownLoadFileModel &file)
{
    const qint64 size = file.fileSizeValue();
    if (size <= 0)
        return 0.0f;
    const float progress = float(double(file.downLoadBytes() + file.currentChunkBytes()) / double(size));
    return qMax(progress, 0.05f);
}

QString QVDownloadEngine::creatTargetPathWithModel(const QString &folder, const QVDownLoadFileModel &file)
{
    return folder + QLatin1Char('/') + QVDownloadNaming::safeFileName(file.name());
}

bool QVDownloadEngine::finalFileExists(const File &file)
{
    return file && !file->finalFileURL().isEmpty() && QFileInfo(file->finalFileURL()).isFile();
}
