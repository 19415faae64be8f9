#include "QVWebServiceApi.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include "PublicManager/QVPublicTools.h"
#include "QVAnswerReader.h"
#include "QVServiceAddresses.h"

using namespace QVWebService;

QString QVGetSeriesWithNameApi::requestBaseUrl() const
{
    return QVServiceAddresses::webServiceUrl();
}

QVariantMap QVGetSeriesWithNameApi::requestAppendArgument() const
{
    return {{QStringLiteral("name"), kSeriesName}};
}

std::optional<QList<qint64>> QVGetSeriesWithNameApi::macSeriesIds(const QVHttpBaseResponse &response)
{
    if (response.code != kSuccessCode || !response.data.isArray())
        return std::nullopt;
    QList<qint64> ids;
    for (const QJsonValue &entry : response.data.toArray()) {
        if (!entry.isObject())
            continue;
        const QJsonObject object = entry.toObject();
        if (object.value(QStringLiteral("platform")).toString() != kSeriesPlatform
            || object.value(QStringLiteral("desc")).toString() != kSeriesDesc)
            continue;
        if (const auto id = QVJsonValue::integerValue(object.value(QStringLiteral("seriesId"))))
            ids.append(*id);
    }
    return ids;
}

QString QVCheckNewVersionApi::requestBaseUrl() const
{
    return QVServiceAddresses::webServiceUrl();
}

QVariantMap QVCheckNewVersionApi::requestAppendArgument() const
{
    return {{QStringLiteral("seriesId"), m_seriesId}, {QStringLiteral("version"), QVPublicTools::appVersion()}};
}

std::optional<QJsonObject> QVCheckNewVersionApi::versionData(const QVHttpBaseResponse &response)
{
    if (response.code != kSuccessCode || !response.data.isObject())
        return std::nullopt;
    return response.data.toObject();
}

QVFeedbackInfo QVFeedbackInfo::current()
{
    QVFeedbackInfo info;
    QVPublicTools *tools = QVPublicTools::sharedPublicTools();
    info.version = QVPublicTools::appVersion();
    info.build = QVPublicTools::appBuild();
    info.operatingSystemVersion = QVPublicTools::operatingSystemVersion();
    info.mac = tools->getMacAddress();
    const QString language = tools->systemLanguage();
    if (!language.isEmpty())
        info.language = language;
    return info;
}

QVFeedbackApi::QVFeedbackApi(QObject *parent)
    : QObject(parent), m_timings(QVHttpBaseRequest::defaultTimings())
{
}

void QVFeedbackApi::setManager(QNetworkAccessManager *manager)
{
    m_manager = manager;
}

QVFeedbackApi::~QVFeedbackApi()
{
    m_completion = nullptr;
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

QJsonObject QVFeedbackApi::feedbackBody(const QVFeedbackInfo &info, const QString &content)
{
    QJsonObject body{
        {QStringLiteral("version"), QStringLiteral("%1_%2").arg(info.version, info.build)},
        {QStringLiteral("platform"), kFeedbackPlatformPrefix + info.operatingSystemVersion},
        {QStringLiteral("mac"), info.mac},
        {QStringLiteral("content"), content},
    };
    if (info.language && !info.language->isEmpty())
        body.insert(QStringLiteral("language"), *info.language);
    return body;
}

bool QVFeedbackApi::isAccepted(const QByteArray &answer)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(answer, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    return QVJsonValue::integerValue(document.object().value(QStringLiteral("code"))) == kSuccessCode;
}

void QVFeedbackApi::send(const QString &content, Completion completion)
{
    send(QVFeedbackInfo::current(), content, std::move(completion));
}

void QVFeedbackApi::send(const QVFeedbackInfo &info, const QString &content, Completion completion)
{
    cancel();
    m_completion = std::move(completion);
    const QString server = QVServiceAddresses::apiServerUrl();
    const QUrl url(server + kFeedbackPath, QUrl::StrictMode);
    if (server.isEmpty() || !url.isValid() || url.host().isEmpty()) {
        // No server to send to: refused at once, told after send() has returned.
        QTimer::singleShot(0, this, [completion = std::exchange(m_completion, nullptr)] {
            if (completion)
                completion(false);
        });
        return;
    }
    if (!m_manager)
        m_manager = new QNetworkAccessManager(this);

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setTransferTimeout(int(m_timings.feedbackTimeout.count()));
    const QByteArray body = QJsonDocument(feedbackBody(info, content)).toJson(QJsonDocument::Compact);
    QNetworkReply *reply = m_manager->post(request, body);
    m_reply = reply;
    QVAnswerReader *answer = QVAnswerReader::attach(reply, m_maxAnswerBytes);
    connect(reply, &QNetworkReply::finished, this, [this, reply, answer] {
        if (reply != m_reply)
            return;
        m_reply = nullptr;
        reply->deleteLater();
        const QByteArray bytes = answer->takeBody();
        const bool accepted = reply->error() == QNetworkReply::NoError && !answer->tooLarge() && isAccepted(bytes);
        finish(accepted);
    });
}

void QVFeedbackApi::cancel()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
    // A cancelled send is not accepted; told after cancel() has returned.
    if (m_completion)
        QTimer::singleShot(0, this, [completion = std::exchange(m_completion, nullptr)] {
            if (completion)
                completion(false);
        });
}

void QVFeedbackApi::finish(bool accepted)
{
    if (auto completion = std::exchange(m_completion, nullptr))
        completion(accepted);
}
