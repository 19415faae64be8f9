// Any HTTP answer, through the request base and the answer mapping: the
// input picks the road (maker's web service or receiver's file share), the
// HTTP status, the content type, a transport error and the
// "glimra-api-version" header; the rest is the body. The answer comes from
// an HTTP client of our own, so nothing is sent anywhere.
//
// What must hold: every start ends in exactly one block, after the start
// has returned; a success comes only from a 2xx (or status-less) answer that
// is a JSON object (or nothing at all) within the size limit, of an accepted
// type, without a transport error, and on the web service's road never with
// the code the request handles itself; on the file-share road "content" is left as text
// only when that text is no JSON object or array. The readers of the
// answers then take whatever the mapping gave.

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "FuzzSupport.h"
#include "QVFileShareApi.h"
#include "QVHttpBaseRequest.h"
#include "QVNetWork.h"
#include "QVWebServiceApi.h"

namespace {

constexpr qint64 kMaxAnswerBytes = 4096;

struct Answer {
    int status = 200;
    QByteArray contentType;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray apiVersion;
    bool withApiVersion = false;
    QByteArray body;
};

// A reply that hands out a prepared answer from the event loop, as a real
// one would, reporting its progress first.
class AnswerReply final : public QNetworkReply {
public:
    AnswerReply(const QNetworkRequest &request, QNetworkAccessManager::Operation operation, const Answer &answer,
                QObject *parent)
        : QNetworkReply(parent), m_body(answer.body)
    {
        setRequest(request);
        setUrl(request.url());
        setOperation(operation);
        if (answer.status != 0)
            setAttribute(QNetworkRequest::HttpStatusCodeAttribute, answer.status);
        if (!answer.contentType.isNull())
            setRawHeader("Content-Type", answer.contentType);
        if (answer.withApiVersion)
            setRawHeader(QVFileShare::kGlimraApiVersionHeader, answer.apiVersion);
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        QTimer::singleShot(0, this, [this, error = answer.error] {
            emit metaDataChanged();
            emit downloadProgress(m_body.size(), m_body.size());
            if (isFinished())
                return;
            emit readyRead();
            if (isFinished())
                return;
            if (error != NoError) {
                setError(error, QStringLiteral("failed"));
                emit errorOccurred(error);
            }
            finish();
        });
    }

    void abort() override
    {
        if (isFinished())
            return;
        setError(OperationCanceledError, QStringLiteral("aborted"));
        emit errorOccurred(OperationCanceledError);
        finish();
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_body.size() - m_offset + QNetworkReply::bytesAvailable(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min<qint64>(maxSize, m_body.size() - m_offset);
        if (n <= 0)
            return isFinished() ? -1 : 0;
        memcpy(data, m_body.constData() + m_offset, size_t(n));
        m_offset += n;
        return n;
    }

private:
    void finish()
    {
        setFinished(true);
        emit finished();
    }

    QByteArray m_body;
    qint64 m_offset = 0;
};

class AnswerManager final : public QNetworkAccessManager {
public:
    Answer answer;

protected:
    QNetworkReply *createRequest(Operation operation, const QNetworkRequest &request, QIODevice *) override
    {
        return new AnswerReply(request, operation, answer, this);
    }
};

class WebRequest final : public QVHttpBaseRequest {
public:
    QString requestBaseUrl() const override { return QStringLiteral("http://127.0.0.1:9"); }
    QString requestSuffixUrl() const override { return QStringLiteral("api/check"); }
    qint64 httpRequestType() const override { return method; }
    qint64 method = GET;
};

const int kStatuses[] = {200, 200, 204, 299, 0, 100, 199, 300, 304, 404, 500, 600};
const char *const kTypes[] = {nullptr,           "application/json", "application/json; charset=utf-8",
                              "TEXT/HTML",       "text/plain;x",     "image/png",
                              "",                "application/jsonx"};
const QNetworkReply::NetworkError kErrors[] = {
    QNetworkReply::NoError,           QNetworkReply::NoError,
    QNetworkReply::NoError,           QNetworkReply::ConnectionRefusedError,
    QNetworkReply::RemoteHostClosedError, QNetworkReply::TimeoutError,
    QNetworkReply::ProtocolFailure,   QNetworkReply::ContentNotFoundError,
};

bool isJsonObject(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    return error.error == QJsonParseError::NoError && document.isObject();
}

bool isJsonContainer(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    return error.error == QJsonParseError::NoError && (document.isObject() || document.isArray());
}

// What the program reads from an answer, as it reads it.
void readAnswer(const QVHttpTask &task, const QVHttpBaseResponse &response)
{
    QVGetSeriesWithNameApi::macSeriesIds(response);
    QVCheckNewVersionApi::versionData(response);
    QVGetRootMenuListApi::glimraApiVersion(task);
    for (const char *key : {"enableShareFile", "checkRes", "upload", "download", "path", "size"}) {
        const QJsonValue value = QVJsonValue::member(response.content, QString::fromLatin1(key));
        QVJsonValue::boolValue(value);
        QVJsonValue::integerValue(value);
    }
    if (response.content.isArray()) {
        for (const QJsonValue &entry : response.content.toArray())
            QVJsonValue::integerValue(QVJsonValue::member(entry, QStringLiteral("size")));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The system's reachability may say otherwise; these answers need none.
    QVNetWork::shareNetWork()->setIsConnect(true);
    FuzzSupport::Input in(data, size);
    const uint8_t road = in.byte();
    Answer answer;
    answer.status = kStatuses[in.byte() % std::size(kStatuses)];
    const char *type = kTypes[in.byte() % std::size(kTypes)];
    answer.contentType = type ? QByteArray(type) : QByteArray();
    answer.error = kErrors[in.byte() % std::size(kErrors)];
    answer.withApiVersion = road & 2;
    answer.apiVersion = in.chunk();
    answer.body = in.rest();
    const bool fileShare = road & 1;

    auto request = std::make_shared<WebRequest>();
    if (!fileShare)
        request->method = (road >> 2) % 4;
    auto *manager = new AnswerManager;
    manager->answer = answer;
    request->setManager(manager);
    request->setMaxAnswerBytes(kMaxAnswerBytes);

    int ends = 0;
    bool succeeded = false;
    QVHttpBaseResponse response;
    QVHttpTask task;
    auto success = [&](const QVHttpTask &t, const QVHttpBaseResponse &r) {
        ++ends;
        succeeded = true;
        task = t;
        response = r;
    };
    auto failure = [&](const QVHttpTask &, const TavlinError &) { ++ends; };
    if (fileShare)
        request->startGlimraHubRequestWithSuccess(success, failure);
    else
        request->startQUAVRequestWithSuccess(success, failure);
    if (ends != 0)
        std::abort();
    if (road & 0x80)
        request->cancel();
    for (int i = 0; i < 10 && ends == 0; ++i)
        FuzzSupport::runEvents();
    if (ends != 1)
        std::abort();
    if (succeeded) {
        const QByteArray mime = answer.contentType.split(';').first().trimmed().toLower();
        if ((answer.status != 0 && (answer.status < 200 || answer.status > 299))
            || answer.error != QNetworkReply::NoError || answer.body.size() > kMaxAnswerBytes
            || !(isJsonObject(answer.body) || answer.body.trimmed().isEmpty())
            || (!answer.contentType.isEmpty() && !QVHttpBaseRequest::acceptableContentTypes().contains(mime))
            || (road & 0x80))
            std::abort();
        if (!fileShare && response.code == QVHttpBaseRequest::kWebServiceInternalErrorCode)
            std::abort();
        if (fileShare && response.content.isString() && isJsonContainer(response.content.toString()))
            std::abort();
        readAnswer(task, response);
    }
    QVFeedbackApi::isAccepted(answer.body);
    request.reset();
    FuzzSupport::runEvents();
    return 0;
}
