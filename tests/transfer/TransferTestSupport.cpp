#include "TransferTestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include "Support/SerialWorker.h"

#include <zlib.h>

namespace TransferTest {

QByteArray patternBytes(qint64 size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = seed * 2654435761u + 1;
    for (qint64 i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = char(state >> 24);
    }
    return bytes;
}

QByteArray gzipped(const QByteArray &plain)
{
    z_stream stream {};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(plain.size()))) + 32, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(plain.constData()));
    stream.avail_in = uInt(plain.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

std::shared_ptr<QVDownLoadFileModel> remoteFile(const QString &absPath, qint64 size, const QString &name)
{
    auto file = std::make_shared<QVDownLoadFileModel>();
    file->setAbsPath(absPath);
    file->setName(name.isNull() ? absPath.section(QLatin1Char('/'), -1) : name);
    file->setFileSize(QString::number(size));
    return file;
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

WorkerGate::WorkerGate(Support::SerialWorker *worker)
{
    worker->post([state = m_state] {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->opened.wait(lock, [&] { return state->open; });
    });
}

void WorkerGate::release()
{
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->open = true;
    }
    m_state->opened.notify_all();
}

QVTransferNetworkCheck::Probe ScriptedProbe::probe()
{
    return [this](qint64 type, QVTransferNetworkCheck::Verdict verdict) {
        types.append(type);
        const bool answer = answers.isEmpty() ? false : answers.size() > 1 ? answers.takeFirst() : answers.first();
        QTimer::singleShot(delayMs, [verdict, answer] { verdict(answer); });
    };
}

void EngineRecord::attach(QVDownloadEngine *engine)
{
    QObject::connect(engine, &QVDownloadEngine::alertRequested, [this](QVDownloadEngine::Alert alert) {
        alerts.append(alert);
    });
    QObject::connect(engine, &QVDownloadEngine::transferFileBtnStyleChanged, [this](int style) {
        buttonStyles.append(style);
    });
    QObject::connect(engine, &QVDownloadEngine::listChanged, [this] { ++listChanges; });
    QObject::connect(engine, &QVDownloadEngine::progressChanged,
                     [this](const QVDownloadEngine::File &, float value) { progress.append(value); });
}

void EngineFixture::SetUp()
{
    ASSERT_TRUE(m_folder.isValid());
    ASSERT_TRUE(server.listen(TestSupport::uniqueLoopbackAddress()));
    const QString base = server.baseUrl();
    const QString folderPath = m_folder.path();
    services.fileShareIp = [base] { return base; };
    services.password = [] { return QString(); };
    services.downloadFolder = [folderPath] { return folderPath; };
    services.probe = probe.probe();
    // Each file starts a millisecond after the one before.
    auto now = std::make_shared<qint64>(1700000000000);
    services.nowMs = [now] { return (*now)++; };
    services.networkReachable = [] { return true; };
    services.timings.checkFileTimeout = std::chrono::milliseconds(1500);
    services.timings.chunkTimeout = std::chrono::milliseconds(3000);
    services.timings.networkCheckDelay = std::chrono::milliseconds(10);
}

void EngineFixture::TearDown()
{
    engine.reset();
    // Replies the engine let go are deleted later.
    TestSupport::runPostedEvents();
}

QVDownloadEngine *EngineFixture::makeEngine()
{
    engine = std::make_unique<QVDownloadEngine>(services);
    record.attach(engine.get());
    return engine.get();
}

std::shared_ptr<QVDownLoadFileModel> EngineFixture::serve(const QString &absPath, const QByteArray &bytes,
                                                          const QString &name)
{
    server.addFile(absPath, bytes);
    return remoteFile(absPath, bytes.size(), name);
}

void EngineFixture::start(const QList<std::shared_ptr<QVDownLoadFileModel>> &files)
{
    if (!engine)
        makeEngine();
    engine->addFiles(files);
    engine->checkFileApiWithIndex(0);
}

bool EngineFixture::waitUntilIdle(int timeoutMs)
{
    return TestSupport::waitFor(
        [&] { return engine->queue().workQueue().isEmpty() && !record.buttonStyles.isEmpty() && record.buttonStyles.last() == 1; },
        timeoutMs);
}

QList<qint64> EngineFixture::chunkNumbers(const QString &path) const
{
    QList<qint64> numbers;
    for (const FakeServers::HttpRequest &request : server.requestsTo(path))
        numbers.append(request.header("Chunk-Number").toLongLong());
    return numbers;
}

} // namespace TransferTest
