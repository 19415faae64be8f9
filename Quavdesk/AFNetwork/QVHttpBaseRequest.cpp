#include "QVHttpBaseRequest.h"

#include "TavlinLogText.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>

#include "QVHttpError.h"
#include "QVHttpLog.h"
#include "QVNetWork.h"
#include "QVQueryString.h"

namespace {

// The answer as one log line: its texts are the server's (a receiver's file
// names), so nothing in them may break or disguise the line; it is not cut.
QString answerForLog(const QJsonDocument &document)
{
    const QByteArray json = document.toJson(QJsonDocument::Compact);
    return escapedForLog(json, json.size());
}

QVHttpTimings &defaultTimingsStorage()
{
    static QVHttpTimings timings;
    return timings;
}

bool isPasswordKey(const QString &key)
{
    return key.compare(QLatin1String("pwd"), Qt::CaseInsensitive) == 0
        || key.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0;
}

QString headersText(const QList<QPair<QString, QString>> &headers)
{
    QJsonObject object;
    for (const auto &header : headers)
        object.insert(header.first, header.second);
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString parametersText(const QVariantMap &parameters)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonObject::fromVariantMap(QVHttpBaseRequest::redactedParameters(parameters)))
            .toJson(QJsonDocument::Compact));
}

TavlinError transportError(QNetworkReply::NetworkError error, const QString &text)
{
    using namespace QVHttpError;
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return urlError(CannotConnectToHost, text);
    case QNetworkReply::RemoteHostClosedError:
        return urlError(NetworkConnectionLost, text);
    case QNetworkReply::HostNotFoundError:
        return urlError(CannotFindHost, text);
    case QNetworkReply::TimeoutError:
        return urlError(TimedOut, text);
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return urlError(NotConnectedToInternet, text);
    case QNetworkReply::ProtocolFailure:
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolInvalidOperationError:
        return urlError(BadServerResponse, text);
    default:
        return urlError(Unknown, text);
    }
}

} // namespace

QByteArray QVHttpTask::responseHeader(const QByteArray &name) const
{
    for (const auto &header : responseHeaders) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return {};
}

bool QVHttpTask::hasResponseHeader(const QByteArray &name) const
{
    for (const auto &header : responseHeaders) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// One exchange of a request object: from its start to the block that ends
// it. Ends exactly once, through finish().
class QVHttpBaseRequest::Task : public QObject {
public:
    Task(QVHttpBaseRequest *request, Road road, SuccessBlock success, FailureBlock failure)
        : m_request(request), m_keepAlive(request->weak_from_this().lock()), m_road(road),
          m_success(std::move(success)), m_failure(std::move(failure))
    {
    }

    QVHttpTask &info() { return m_info; }

    void setLogDetails(QString url, QList<QPair<QString, QString>> headers, QVariantMap parameters, bool logAnswer)
    {
        m_logUrl = std::move(url);
        m_logHeaders = std::move(headers);
        m_logParameters = std::move(parameters);
        m_logAnswer = logAnswer;
    }

    // Ends without sending: reported after the caller's start has returned.
    void failLater(const TavlinError &error)
    {
        m_pendingError = error;
        QTimer::singleShot(0, this, [this] {
            finishWithFailure(m_cancelled ? QVHttpError::urlError(QVHttpError::Cancelled) : m_pendingError);
        });
    }

    void attach(QNetworkReply *reply, qint64 maxAnswerBytes)
    {
        m_reply = reply;
        connect(reply, &QNetworkReply::downloadProgress, this, [this, maxAnswerBytes](qint64 received, qint64) {
            if (received > maxAnswerBytes && m_reply && !m_tooLarge) {
                m_tooLarge = true;
                m_reply->abort();
            }
        });
        connect(reply, &QNetworkReply::finished, this, &Task::onFinished);
    }

    void cancel()
    {
        if (m_done || m_cancelled)
            return;
        m_cancelled = true;
        if (m_reply)
            m_reply->abort();
    }

    // The request object is going away: end silently, its caller has let go.
    void abandon()
    {
        m_success = nullptr;
        m_failure = nullptr;
        m_done = true;
        m_request = nullptr;
        releaseReply(true);
        deleteLater();
    }

private:
    void onFinished()
    {
        if (m_done || !m_reply)
            return;
        QNetworkReply *reply = m_reply;
        m_info.statusCode = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        for (const auto &header : reply->rawHeaderPairs())
            m_info.responseHeaders.append({header.first, header.second});

        using namespace QVHttpError;
        const QNetworkReply::NetworkError error = reply->error();
        if (m_cancelled) {
            // Reported once cancel() has returned.
            releaseReply(false);
            m_done = true;
            QTimer::singleShot(0, this, [this] { deliverFailure(urlError(Cancelled, QStringLiteral("cancelled"))); });
            return;
        }
        if (m_tooLarge)
            return finishWithFailure(urlError(DataLengthExceedsMaximum, QStringLiteral("answer too large")));
        // A transfer time-out aborts the reply as a cancel would; only our
        // own cancel sets the flag, so any other abort is the time-out.
        if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError)
            return finishWithFailure(urlError(TimedOut, QStringLiteral("timed out")));
        if (m_info.statusCode != 0 && (m_info.statusCode < 200 || m_info.statusCode > 299))
            return finishWithFailure(
                urlError(BadServerResponse, QStringLiteral("HTTP status %1").arg(m_info.statusCode)));
        if (error != QNetworkReply::NoError)
            return finishWithFailure(transportError(error, reply->errorString()));

        const QByteArray contentType = reply->rawHeader("Content-Type");
        if (!contentType.isEmpty()) {
            const QByteArray mime = contentType.split(';').first().trimmed().toLower();
            if (!acceptableContentTypes().contains(mime))
                return finishWithFailure(urlError(CannotDecodeContentData,
                                                  QStringLiteral("unacceptable content type %1")
                                                      .arg(QString::fromLatin1(mime))));
        }
        const QByteArray bytes = reply->readAll();
        // An answer without a body is no fault: it succeeds with nothing in
        // it (code 0), and each caller takes its branch for other codes.
        const bool emptyAnswer = bytes.trimmed().isEmpty();
        QJsonDocument document;
        if (!emptyAnswer) {
            QJsonParseError parseError;
            document = QJsonDocument::fromJson(bytes, &parseError);
            if (parseError.error != QJsonParseError::NoError || !document.isObject())
                return finishWithFailure(urlError(CannotParseResponse, QStringLiteral("answer is not a JSON object")));
        }

        if (m_logAnswer) {
            QVHttpLog::write(QVHttpLog::Level::Debug, QVHttpLog::kHttpContext,
                             QStringLiteral("requestUrl = %1 \n headers = %2 \n parameters = %3  \n responseObject = %4")
                                 .arg(redactedUrl(m_logUrl), headersText(m_logHeaders),
                                      parametersText(m_logParameters),
                                      emptyAnswer ? QStringLiteral("(null)") : answerForLog(document)));
        }

        QVHttpBaseResponse response =
            emptyAnswer ? QVHttpBaseResponse{} : QVHttpBaseResponse::fromJsonObject(document.object());
        if (m_road == Road::FileShare) {
            response.decodeContentText();
            return finishWithSuccess(response);
        }
        if (response.code == kWebServiceSuccessCode)
            return finishWithSuccess(response);
        // A code the request handled itself still ends the exchange: in the
        // failure block, so that no caller waits for an answer forever.
        if (m_request && m_request->handleErrorCode(response.code))
            return finishWithFailure(requestError(response.code, response.code == InternalError
                                                                     ? QStringLiteral("HTTP request internal error")
                                                                     : QStringLiteral("handled by the request")));
        finishWithSuccess(response);
    }

    void releaseReply(bool abort)
    {
        if (!m_reply)
            return;
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        if (abort)
            reply->abort();
        reply->deleteLater();
    }

    void finishWithSuccess(const QVHttpBaseResponse &response)
    {
        releaseReply(false);
        m_done = true;
        detach();
        if (auto success = std::move(m_success))
            success(m_info, response);
        m_failure = nullptr;
        deleteLater();
    }

    void finishWithFailure(const TavlinError &error)
    {
        releaseReply(false);
        m_done = true;
        deliverFailure(error);
    }

    void deliverFailure(const TavlinError &error)
    {
        detach();
        m_success = nullptr;
        if (auto failure = std::move(m_failure))
            failure(m_info, error);
        deleteLater();
    }

    void detach()
    {
        if (m_request)
            m_request->taskEnded(this);
    }

    QPointer<QVHttpBaseRequest> m_request;
    // Holds a shared request object until its block has run; released when
    // this task is deleted, outside any of its callbacks.
    std::shared_ptr<QVHttpBaseRequest> m_keepAlive;
    Road m_road;
    SuccessBlock m_success;
    FailureBlock m_failure;
    QPointer<QNetworkReply> m_reply;
    QVHttpTask m_info;
    TavlinError m_pendingError;
    QString m_logUrl;
    QList<QPair<QString, QString>> m_logHeaders;
    QVariantMap m_logParameters;
    bool m_logAnswer = false;
    bool m_cancelled = false;
    bool m_tooLarge = false;
    bool m_done = false;
};

QVHttpBaseRequest::QVHttpBaseRequest() : m_timings(defaultTimingsStorage()) {}

QVHttpBaseRequest::~QVHttpBaseRequest()
{
    const QList<Task *> tasks = std::exchange(m_tasks, {});
    for (Task *task : tasks)
        task->abandon();
}

QString QVHttpBaseRequest::requestBaseUrl() const
{
    return QString();
}

QString QVHttpBaseRequest::requestSuffixUrl() const
{
    return QString();
}

QList<QPair<QString, QString>> QVHttpBaseRequest::requestHeader() const
{
    return {};
}

QVariantMap QVHttpBaseRequest::requestAppendArgument() const
{
    return {};
}

qint64 QVHttpBaseRequest::httpRequestType() const
{
    return GET;
}

double QVHttpBaseRequest::requestTimeoutInterval() const
{
    return std::chrono::duration<double>(m_timings.requestTimeout).count();
}

qint64 QVHttpBaseRequest::splicingUrlType() const
{
    return 0;
}

bool QVHttpBaseRequest::handleErrorCode(qint64 code) const
{
    if (code == kWebServiceInternalErrorCode) {
        QVHttpLog::write(QVHttpLog::Level::Error, QVHttpLog::kHttpContext, QStringLiteral("HTTP request internal error"));
        return true;
    }
    return false;
}

QString QVHttpBaseRequest::completeUrl() const
{
    QString url = requestBaseUrl() + QLatin1Char('/') + requestSuffixUrl();
    if (splicingUrlType() == 1) {
        const QVariantMap arguments = requestAppendArgument();
        if (!arguments.isEmpty())
            url += QLatin1Char('?') + QVQueryString::queryStringWithParameters(arguments);
    }
    return url;
}

QNetworkAccessManager *QVHttpBaseRequest::manager()
{
    if (!m_manager)
        m_manager = new QNetworkAccessManager(this);
    return m_manager;
}

void QVHttpBaseRequest::setManager(QNetworkAccessManager *manager)
{
    if (m_manager && m_manager->parent() == this && m_manager != manager)
        m_manager->deleteLater();
    m_manager = manager;
    if (manager && !manager->parent())
        manager->setParent(this);
}

void QVHttpBaseRequest::startQUAVRequestWithSuccess(SuccessBlock success, FailureBlock failure)
{
    start(Road::WebService, std::move(success), std::move(failure));
}

void QVHttpBaseRequest::startGlimraHubRequestWithSuccess(SuccessBlock success, FailureBlock failure)
{
    start(Road::FileShare, std::move(success), std::move(failure));
}

void QVHttpBaseRequest::start(Road road, SuccessBlock success, FailureBlock failure)
{
    using namespace QVHttpError;
    auto *task = new Task(this, road, std::move(success), std::move(failure));
    m_tasks.append(task);

    const qint64 method = httpRequestType();
    static const QByteArray kMethodNames[] = {"GET", "POST", "PUT", "DELETE"};
    if (method >= GET && method <= DELETE)
        task->info().method = kMethodNames[method];

    if (road == Road::WebService && !QVNetWork::shareNetWork()->isConnect())
        return task->failLater(urlError(NotConnectedToInternet, QStringLiteral("no network")));
    if (method < GET || method > DELETE || (road == Road::FileShare && method != GET))
        return task->failLater(requestError(UnsupportedMethod, QStringLiteral("method not sent on this road")));

    const QString baseUrl = completeUrl();
    const QVariantMap parameters = splicingUrlType() == 1 ? QVariantMap() : requestAppendArgument();
    const QByteArray encodedParameters = QVQueryString::formEncodedParameters(parameters);
    const bool parametersInQuery = method == GET || method == DELETE;

    QString urlText = baseUrl;
    if (parametersInQuery && !encodedParameters.isEmpty())
        urlText += (urlText.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?'))
            + QString::fromLatin1(encodedParameters);
    const QUrl url(urlText, QUrl::StrictMode);
    task->info().url = url;
    if (!url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return task->failLater(urlError(BadURL, QStringLiteral("no valid address")));

    QNetworkRequest request(url);
    const QList<QPair<QString, QString>> headers = requestHeader();
    bool hasContentType = false;
    for (const auto &header : headers) {
        const QByteArray name = header.first.toUtf8();
        const QByteArray value = header.second.toUtf8();
        request.setRawHeader(name, value);
        task->info().requestHeaders.append({name, value});
        hasContentType |= header.first.compare(QLatin1String("Content-Type"), Qt::CaseInsensitive) == 0;
    }
    // The receiver's server never sends the client elsewhere: an answer that
    // tries to is refused like any other non-success status.
    if (road == Road::FileShare)
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    const auto timeout = std::chrono::milliseconds(qMax<qint64>(1, qRound64(requestTimeoutInterval() * 1000.0)));
    request.setTransferTimeout(int(qMin<qint64>(timeout.count(), INT_MAX)));

    // Only GET and POST answers are logged on the web-service road.
    const bool logAnswer = road == Road::FileShare || method == GET || method == POST;
    task->setLogDetails(baseUrl, headers, parameters, logAnswer);

    QNetworkReply *reply = nullptr;
    if (parametersInQuery) {
        reply = method == GET ? manager()->get(request) : manager()->deleteResource(request);
    } else {
        if (!hasContentType)
            request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        reply = method == POST ? manager()->post(request, encodedParameters) : manager()->put(request, encodedParameters);
    }
    task->attach(reply, m_maxAnswerBytes);
}

void QVHttpBaseRequest::taskEnded(Task *task)
{
    m_tasks.removeOne(task);
}

void QVHttpBaseRequest::cancel()
{
    const QList<Task *> tasks = m_tasks;
    for (Task *task : tasks)
        task->cancel();
}

void QVHttpBaseRequest::setDefaultTimings(const QVHttpTimings &timings)
{
    defaultTimingsStorage() = timings;
}

QVHttpTimings QVHttpBaseRequest::defaultTimings()
{
    return defaultTimingsStorage();
}

const QList<QByteArray> &QVHttpBaseRequest::acceptableContentTypes()
{
    static const QList<QByteArray> types = {
        "application/json", "text/html", "text/json", "text/javascript", "text/plain",
        "image/gif", "multipart/form-data", "application/octet-stream",
    };
    return types;
}

QString QVHttpBaseRequest::redactedUrl(const QString &url)
{
    static const QRegularExpression passwordPair(QStringLiteral("([?&](?:pwd|password)=)[^&#]*"),
                                                 QRegularExpression::CaseInsensitiveOption);
    QString redacted = url;
    redacted.replace(passwordPair, QStringLiteral("\\1***"));
    return redacted;
}

QVariantMap QVHttpBaseRequest::redactedParameters(const QVariantMap &parameters)
{
    QVariantMap redacted = parameters;
    for (auto it = redacted.begin(); it != redacted.end(); ++it) {
        if (isPasswordKey(it.key()))
            it.value() = QStringLiteral("***");
    }
    return redacted;
}
